#pragma once
// A decoder turns a source into the channel's output format: interleaved 16-bit signed PCM, or
// 8-bit unsigned PCM for 8-bit WAV sources, at the source's own rate and channel count.
// Positions are byte offsets in that format. Used by one thread at a time (the channel hands out
// turns; the call itself runs without its lock).

#include <cstddef>
#include <cstdint>

namespace belvane::bass {

struct PcmFormat {
  uint32_t rate = 0;
  uint16_t channels = 0;
  uint16_t bits = 16;  // 8 or 16
  uint32_t BlockAlign() const { return channels * (bits / 8u); }
  uint32_t BytesPerSecond() const { return rate * BlockAlign(); }
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual const PcmFormat& Format() const = 0;
  // Fills up to `bytes` (a multiple of the block align); returns the bytes written, 0 at the end
  // of the data or on a read error.
  virtual size_t Read(uint8_t* out, size_t bytes) = 0;
  // Moves to an output byte offset (rounded down to a whole frame); false when out of range.
  virtual bool Seek(uint64_t byte) = 0;
  // Output bytes of the whole stream (an estimate for compressed sources).
  virtual uint64_t Length() const = 0;
};

}  // namespace belvane::bass
