#include "runtime/files.h"

#include <shlwapi.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "runtime/path_text.h"
#include "runtime/text.h"

namespace belvane {

TextValue ProgramDirectory() {
  const std::string path = ModuleFileName();
  const std::size_t cut = LastBackslash(path);
  return TextValue(cut == std::string::npos ? path : path.substr(0, cut));
}

TextValue ReadProfileText(const TextValue& file, const TextValue& section, const TextValue& key,
                          const TextValue& default_text) {
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD length =
        GetPrivateProfileStringA(section.CStr(), key.CStr(), default_text.CStr(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), file.CStr());
    // A value that filled the buffer may have been cut: ask again with room to spare.
    if (length < buffer.size() - 1) return TextValue(buffer.data());
    buffer.assign(static_cast<std::size_t>(length) + 1024, '\0');
  }
}

bool WriteProfileText(const TextValue& file, const TextValue& section,
                      const std::optional<TextValue>& key, const std::optional<TextValue>& value) {
  return WritePrivateProfileStringA(section.CStr(), key ? key->CStr() : nullptr,
                                    value ? value->CStr() : nullptr, file.CStr()) != FALSE;
}

bool FileExists(const TextValue& path) {
  return PathFileExistsA(path.CStr()) != FALSE;
}

bool WriteWholeFile(const TextValue& path, std::initializer_list<const ByteBlock*> blocks) {
  const OwnedKernelHandle file(CreateFileA(path.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!file) return false;
  bool ok = true;
  for (const ByteBlock* block : blocks) {
    if (block == nullptr) continue;
    const auto bytes = block->Bytes();
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      ok = WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) && written == chunk;
      done += written;
    }
    if (!ok) break;
  }
  return ok;
}

SearchHandle::SearchHandle(SearchHandle&& other) noexcept
    : open_(std::move(other.open_)), found_nothing_(std::exchange(other.found_nothing_, false)) {}

SearchHandle& SearchHandle::operator=(SearchHandle&& other) noexcept {
  if (this != &other) {
    open_ = std::move(other.open_);
    found_nothing_ = std::exchange(other.found_nothing_, false);
  }
  return *this;
}

namespace {

bool Passes(const WIN32_FIND_DATAA& entry, std::optional<DWORD> mask) {
  if (!mask) return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return (entry.dwFileAttributes & *mask) != 0;
}

}  // namespace

TextValue FindFile(const TextValue& pattern, SearchHandle& search,
                   std::optional<DWORD> attribute_mask) {
  WIN32_FIND_DATAA entry;
  bool taken = false;
  if (!pattern.IsEmpty()) {
    EndFindFile(search);
    search.open_.Reset(FindFirstFileA(pattern.CStr(), &entry));
    search.found_nothing_ = !search.open_;
    if (search.found_nothing_) return {};
    taken = Passes(entry, attribute_mask);
  }
  if (!search.IsOpen()) return {};
  while (!taken) {
    if (!FindNextFileA(search.open_.Get(), &entry)) return {};
    taken = Passes(entry, attribute_mask);
  }
  return TextValue(entry.cFileName);
}

void EndFindFile(SearchHandle& search) {
  search.open_.Reset();
  search.found_nothing_ = false;
}

bool ListFolder(const TextValue& folder, std::vector<FolderEntry>& out, DWORD& error) {
  out.clear();
  WIN32_FIND_DATAA entry;
  const OwnedFindHandle search(FindFirstFileA(ConcatTexts(folder, "\\*").CStr(), &entry));
  if (!search) {
    error = GetLastError();
    // Only a drive's empty root finds nothing at all: listed, with no entries.
    return error == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::string_view name = entry.cFileName;
    if (name == "." || name == "..") continue;
    out.push_back({TextValue(name), (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow,
                   (std::uint64_t{entry.ftLastWriteTime.dwHighDateTime} << 32) |
                       entry.ftLastWriteTime.dwLowDateTime,
                   (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search.Get(), &entry));
  error = GetLastError();
  if (error == ERROR_NO_MORE_FILES) return true;
  out.clear();
  return false;
}

std::string SystemErrorText(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer ? buffer : "", buffer ? length : 0);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "错误 " + std::to_string(error) : text;
}

OwnedChangeNotification WatchFolderChanges(const TextValue& folder, DWORD filter) {
  return OwnedChangeNotification(
      FindFirstChangeNotificationW(WideFromGbk(folder.View()).c_str(), FALSE, filter));
}

bool ArmChangeNotification(const OwnedChangeNotification& notification) {
  return notification && FindNextChangeNotification(notification.Get()) != FALSE;
}

}  // namespace belvane
