#pragma once
// Our own RIFF WAVE reader: PCM 8/16/24/32-bit, IEEE float 32/64-bit, WAVE_FORMAT_EXTENSIBLE,
// chunks in any order with their pad bytes, and a data chunk that is cut short by the end of
// the file (played as far as it goes). Reads straight from the source: nothing is held in memory
// beyond one conversion buffer.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bass/byte_source.h"
#include "platform/bass/decoder.h"

namespace belvane::bass {

// What a RIFF WAVE file's headers say.
struct WavInfo {
  uint16_t tag = 0;      // as in the file (0xFFFE for the extensible layout)
  uint16_t sub_tag = 0;  // the real format: the tag, or the extensible layout's sub-format
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t block = 0;
  uint16_t bits = 0;
  std::vector<uint8_t>
      format;  // the whole "fmt " chunk body, a compressed format's extra bytes too
  uint64_t data_offset = 0;
  uint64_t data_size = 0;    // clipped to the file
  bool data_cut = false;     // the file ends before the data chunk does
  uint64_t fact_frames = 0;  // the "fact" chunk's sample count (compressed formats), 0 if none
};

// Walks the chunks to "fmt " and "data"; false with *error = kErrorFileForm when either is
// missing, cut short, or the walk meets a damaged chunk first. Bounded: a fixed number of reads.
bool ParseWav(ByteSource& source, WavInfo* info, int* error);

class WavDecoder final : public Decoder {
 public:
  // True when the source starts like a RIFF WAVE file (decide before parsing).
  static bool LooksLikeWav(ByteSource& source);
  // True for the formats this reader decodes itself (PCM and float); others go to a codec.
  static bool Plays(const WavInfo& info);
  // Parses the headers; on failure null and *error (kErrorFileForm or kErrorFormat).
  static std::unique_ptr<WavDecoder> Open(std::unique_ptr<ByteSource> source, int* error);

  const PcmFormat& Format() const override { return out_; }
  size_t Read(uint8_t* out, size_t bytes) override;
  bool Seek(uint64_t byte) override;
  uint64_t Length() const override { return frames_ * out_.BlockAlign(); }

 private:
  enum class Sample { kU8, kS16, kS24, kS32, kF32, kF64 };
  WavDecoder() = default;
  void Convert(const uint8_t* in, uint8_t* out, size_t frames) const;

  std::unique_ptr<ByteSource> source_;
  PcmFormat out_;
  Sample sample_ = Sample::kS16;
  uint32_t in_block_ = 0;
  uint64_t data_offset_ = 0;
  uint64_t frames_ = 0;
  uint64_t frame_ = 0;  // next frame to read
  std::vector<uint8_t> scratch_;
};

}  // namespace belvane::bass
