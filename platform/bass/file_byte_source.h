#pragma once
// A window of a file as a ByteSource (Windows).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/bass/byte_source.h"
#include "platform/bass/scoped_handle.h"

namespace belvane::bass {

// Owns a file handle opened for shared reading.
class FileByteSource final : public ByteSource {
 public:
  // Opens path (UTF-16) and selects [offset, offset + length), length 0 = to the end. On
  // failure returns null and sets *error (kErrorFileOpen, or kErrorFileForm for a window outside
  // the file).
  static std::unique_ptr<FileByteSource> Open(const std::wstring& path, uint64_t offset,
                                              uint64_t length, int* error);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override;
  // True when the window is the whole file (so the file can be handed to others by name).
  bool IsWholeFile() const { return whole_; }
  // The file itself, whatever name reached it (volume and file index); empty when unknown.
  std::string Identity() const;

 private:
  FileByteSource(ScopedHandle file, uint64_t offset, uint64_t size, bool whole)
      : file_(std::move(file)), offset_(offset), size_(size), whole_(whole) {}
  ScopedHandle file_;
  uint64_t offset_;
  uint64_t size_;
  bool whole_;
};

}  // namespace belvane::bass
