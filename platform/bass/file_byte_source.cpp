#include "platform/bass/file_byte_source.h"

#include "platform/bass/bass_api.h"

namespace belvane::bass {

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::wstring& path, uint64_t offset,
                                                     uint64_t length, int* error) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    *error = kErrorFileOpen;
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) {
    *error = kErrorFileOpen;
    return nullptr;
  }
  const uint64_t file_size = static_cast<uint64_t>(size.QuadPart);
  if (offset > file_size) {
    *error = kErrorFileForm;
    return nullptr;
  }
  uint64_t window = file_size - offset;
  if (length != 0 && length < window) window = length;
  const bool whole = offset == 0 && window == file_size;
  return std::unique_ptr<FileByteSource>(
      new FileByteSource(std::move(file), offset, window, whole));
}

FileByteSource::~FileByteSource() = default;

size_t FileByteSource::ReadAt(uint64_t pos, void* out, size_t n) {
  if (pos >= size_) return 0;
  if (n > size_ - pos) n = static_cast<size_t>(size_ - pos);
  size_t done = 0;
  while (done < n) {
    // Positioned reads through OVERLAPPED offsets: no shared file pointer to keep in step.
    OVERLAPPED at{};
    const uint64_t abs = offset_ + pos + done;
    at.Offset = static_cast<DWORD>(abs);
    at.OffsetHigh = static_cast<DWORD>(abs >> 32);
    DWORD chunk = n - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n - done);
    DWORD got = 0;
    if (!ReadFile(file_.Get(), static_cast<uint8_t*>(out) + done, chunk, &got, &at) || got == 0)
      break;
    done += got;
  }
  return done;
}

std::string FileByteSource::Identity() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file_.Get(), &info)) return std::string();
  return std::to_string(info.dwVolumeSerialNumber) + ":" +
         std::to_string((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

}  // namespace belvane::bass
