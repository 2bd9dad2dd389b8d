#pragma once
// Compressed WAV (IMA and Microsoft ADPCM, A-law, mu-law, and whatever else the system has a
// codec for) through the platform's audio compression manager, converted to PCM a run of source
// blocks at a time. msacm32 is loaded at run time on first use. Memory held: one run of source
// blocks and its conversion, whatever the length of the file.

#include <windows.h>
// After windows.h.
#include <mmreg.h>
#include <msacm.h>

#include <memory>
#include <vector>

#include "platform/bass/byte_source.h"
#include "platform/bass/decoder.h"
#include "platform/bass/wav_decoder.h"

namespace belvane::bass {

class AcmDecoder final : public Decoder {
 public:
  // `info` is what ParseWav read from `source`. On failure null and *error: kErrorFormat when no
  // codec converts the format, kErrorFileForm when the data holds no whole block.
  static std::unique_ptr<AcmDecoder> Open(std::unique_ptr<ByteSource> source, const WavInfo& info,
                                          int* error);
  ~AcmDecoder() override;
  AcmDecoder(const AcmDecoder&) = delete;
  AcmDecoder& operator=(const AcmDecoder&) = delete;

  const PcmFormat& Format() const override { return out_; }
  size_t Read(uint8_t* out, size_t bytes) override;
  bool Seek(uint64_t byte) override;
  uint64_t Length() const override { return length_; }

 private:
  AcmDecoder() = default;
  bool Refill();

  HACMSTREAM stream_ = nullptr;
  std::unique_ptr<ByteSource> source_;
  PcmFormat out_;
  uint64_t data_offset_ = 0;
  uint32_t block_ = 0;           // source block align
  uint64_t blocks_ = 0;          // source blocks in the data
  uint32_t last_block_ = 0;      // bytes of the last block (an encoder may end on a short one)
  uint32_t blocks_per_run_ = 1;  // source blocks converted at a time
  uint64_t length_ = 0;          // output bytes of the whole stream
  uint64_t next_block_ = 0;      // next source block to convert
  uint64_t position_ = 0;        // output bytes handed out (or skipped by a seek)
  size_t skip_ = 0;              // after a seek: output bytes to drop from the next run
  bool start_ = true;            // the next conversion starts a new run of the codec
  std::vector<uint8_t> in_;
  std::vector<uint8_t> pcm_;  // converted bytes; pcm_[pcm_pos_, pcm_used_) not handed out
  size_t pcm_pos_ = 0;
  size_t pcm_used_ = 0;
};

}  // namespace belvane::bass
