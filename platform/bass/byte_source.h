#pragma once
// Random-access bytes a decoder reads from: a window of a file or of caller-owned memory.
// One instance is used by one thread at a time (the owning channel's lock).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace belvane::bass {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Bytes in the window.
  virtual uint64_t Size() const = 0;
  // Copies up to n bytes from window offset pos; returns the number copied (0 at or past the end
  // and on a read error).
  virtual size_t ReadAt(uint64_t pos, void* out, size_t n) = 0;
};

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

 private:
  FileByteSource(HANDLE file, uint64_t offset, uint64_t size, bool whole)
      : file_(file), offset_(offset), size_(size), whole_(whole) {}
  HANDLE file_;
  uint64_t offset_;
  uint64_t size_;
  bool whole_;
};

// Borrows memory that the caller keeps valid for the stream's life.
class MemoryByteSource final : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override;

 private:
  const uint8_t* data_;
  uint64_t size_;
};

}  // namespace belvane::bass
