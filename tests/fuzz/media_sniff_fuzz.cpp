// Fuzzes the compressed-file sniffing and container checks (MP4 boxes, ASF header objects, ID3
// tags, ADTS headers) that run before a file reaches the platform's decoder.
// clang-format off
// Build and run by hand (from the repository root):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. tests/fuzz/media_sniff_fuzz.cpp -o media_sniff_fuzz
//   ./media_sniff_fuzz -runs=1000000 tests/fuzz/media_sniff/
// clang-format on
// Besides memory errors it checks that every walk stays within a bounded number of reads (these
// run on the caller's thread) and that no read is asked for outside the file.

#include <cstdint>
#include <cstdlib>

#include "platform/bass/media_sniff.h"

// The units under test are compiled into the target itself, so that the one file builds it.
#include "platform/bass/byte_source.cpp"
#include "platform/bass/media_sniff.cpp"

using belvane::bass::ByteSource;
using belvane::bass::MediaKind;
using belvane::bass::MemoryByteSource;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Memory that counts reads and aborts on one that starts past the end.
class CheckedSource final : public ByteSource {
 public:
  CheckedSource(const uint8_t* data, size_t size) : memory_(data, size) {}
  uint64_t Size() const override { return memory_.Size(); }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override {
    ++reads_;
    Check(pos <= memory_.Size() && n <= 64);
    return memory_.ReadAt(pos, out, n);
  }
  int reads() const { return reads_; }

 private:
  MemoryByteSource memory_;
  int reads_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckedSource source(data, size);
  // Each check runs on the caller's thread: a bounded number of reads, whatever the bytes say.
  auto bounded = [&](auto check) {
    const int before = source.reads();
    check();
    Check(source.reads() - before < 5000);
  };
  MediaKind kind = MediaKind::kUnknown;
  bounded([&] { kind = belvane::bass::SniffMedia(source); });
  bounded([&] { Check(belvane::bass::SkipId3Tags(source) <= size); });
  bounded([&] { belvane::bass::ContainerUsable(kind, source); });
  // Every check, whatever the bytes claim to be.
  bounded([&] { belvane::bass::Mp4HasMovie(source); });
  bounded([&] { belvane::bass::AsfHeaderComplete(source); });
  bounded([&] { belvane::bass::ContainerUsable(MediaKind::kAdts, source); });
  return 0;
}
