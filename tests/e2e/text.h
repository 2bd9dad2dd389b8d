#pragma once
// GBK (code page 936) <-> UTF-16 for the black-box driver: the program under test speaks GBK,
// the window messages it is read through speak UTF-16.

#include <windows.h>

#include <string>
#include <string_view>

namespace belvane::e2e {

// GBK bytes to UTF-16; invalid bytes become U+FFFD as the platform decides.
inline std::wstring Widen(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
  return wide;
}

// UTF-16 to GBK bytes; characters GBK lacks become "?".
inline std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string gbk(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), gbk.data(), n, nullptr,
                      nullptr);
  return gbk;
}

}  // namespace belvane::e2e
