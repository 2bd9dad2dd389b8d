#include "runtime/path_text.h"

#include <windows.h>

namespace belvane {

std::string ModuleFileName() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A cut may stop a byte short, before a double-byte character that did not fit: only a
    // length two short of the room is surely whole.
    if (length + 1 < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut off: try again with more room
  }
}

std::size_t LastBackslash(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (static_cast<unsigned char>(path[i]) >= 0x80) {
      ++i;  // skip the trail byte: 0x5C can be one
    } else if (path[i] == '\\') {
      last = i;
    }
  }
  return last;
}

std::wstring PathIdentity(std::wstring_view path) {
  std::wstring identity(path);
  for (wchar_t& c : identity)
    if (c == L'/') c = L'\\';
  while (identity.size() > 1 && identity.back() == L'\\') identity.pop_back();
  if (!identity.empty()) CharUpperBuffW(identity.data(), static_cast<DWORD>(identity.size()));
  return identity;
}

}  // namespace belvane
