// Fuzzes the WAV reader: header walk (compressed formats' too), format checks, reading, seeking
// and sample conversion.
// clang-format off
// Build and run by hand (from the repository root):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. tests/fuzz/wav_reader_fuzz.cpp -o wav_reader_fuzz
//   ./wav_reader_fuzz -runs=1000000 tests/fuzz/wav_reader/
// clang-format on
// Besides memory errors it checks that the stream's length is what reading gives, that reads
// come in whole frames, and that a seek lands where it says.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/bass/bass_errors.h"
#include "platform/bass/wav_decoder.h"

// The units under test are compiled into the target itself, so that the one file builds it.
#include "platform/bass/byte_source.cpp"
#include "platform/bass/wav_decoder.cpp"

using belvane::bass::ByteSource;
using belvane::bass::MemoryByteSource;
using belvane::bass::WavDecoder;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The header walk that compressed formats take too: what it reports lies inside the file.
  MemoryByteSource whole(data, size);
  belvane::bass::WavInfo info;
  int error = belvane::bass::kErrorUnknown;
  if (belvane::bass::ParseWav(whole, &info, &error)) {
    Check(info.data_offset <= size && info.data_size <= size - info.data_offset);
    Check(info.format.size() >= 16 && info.format.size() <= 4096);
    Check(!info.data_cut || info.data_offset + info.data_size == size);
  } else {
    Check(error == belvane::bass::kErrorFileForm);
  }

  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(data, size), &error);
  if (!decoder) {
    Check(error == belvane::bass::kErrorFileForm || error == belvane::bass::kErrorFormat);
    return 0;
  }
  Check(error == belvane::bass::kErrorOk);
  const uint32_t block = decoder->Format().BlockAlign();
  Check(block != 0 && decoder->Length() % block == 0);
  // Memory never fails a read, so the whole stream comes out: exactly Length() bytes.
  std::vector<uint8_t> out(block * 1000 + 7);
  uint64_t total = 0;
  for (size_t got; (got = decoder->Read(out.data(), out.size())) != 0;) {
    Check(got % block == 0 && got <= out.size());
    total += got;
  }
  Check(total == decoder->Length());
  // A seek into the middle leaves the rest to read; one past the end is refused.
  const uint64_t middle = decoder->Length() / 2 / block * block;
  Check(decoder->Seek(middle));
  uint64_t rest = 0;
  for (size_t got; (got = decoder->Read(out.data(), out.size())) != 0;) rest += got;
  Check(rest == decoder->Length() - middle);
  Check(!decoder->Seek(decoder->Length() + block));
  return 0;
}
