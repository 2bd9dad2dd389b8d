#include "platform/bass/byte_source.h"

#include <cstring>

namespace belvane::bass {

size_t MemoryByteSource::ReadAt(uint64_t pos, void* out, size_t n) {
  if (pos >= size_) return 0;
  if (n > size_ - pos) n = static_cast<size_t>(size_ - pos);
  std::memcpy(out, data_ + pos, n);
  return n;
}

size_t RevocableSource::ReadAt(uint64_t pos, void* out, size_t n) {
  std::lock_guard lock(mutex_);
  return inner_ ? inner_->ReadAt(pos, out, n) : 0;
}

void RevocableSource::Revoke() {
  std::unique_ptr<ByteSource> gone;
  std::lock_guard lock(mutex_);
  gone = std::move(inner_);
}

}  // namespace belvane::bass
