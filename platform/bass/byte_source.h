#pragma once
// Random-access bytes a decoder reads from: a window of a file (file_byte_source.h) or of
// caller-owned memory. Platform-free, so the readers built on it run under the fuzzer too.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

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

// A source handed to code that may outlive the caller's interest in it (the platform decoder's
// threads): Revoke drops the wrapped source (closing its file, forgetting borrowed memory) and
// every later read finds no bytes. A read in progress finishes before Revoke returns, so nothing
// reads borrowed memory after its owner has been told it may free it. Any thread.
class RevocableSource final : public ByteSource {
 public:
  explicit RevocableSource(std::unique_ptr<ByteSource> inner)
      : size_(inner->Size()), inner_(std::move(inner)) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override;
  void Revoke();

 private:
  const uint64_t size_;
  std::mutex mutex_;
  std::unique_ptr<ByteSource> inner_;
};

}  // namespace belvane::bass
