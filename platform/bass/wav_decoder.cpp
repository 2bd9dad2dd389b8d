#include "platform/bass/wav_decoder.h"

#include <cmath>
#include <cstring>

#include "platform/bass/bass_api.h"

namespace belvane::bass {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kScratchFrames = 4096;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int16_t ClampToS16(double v) {
  const double scaled = std::nearbyint(v * 32768.0);
  if (scaled >= 32767.0) return 32767;
  if (scaled <= -32768.0) return -32768;
  return static_cast<int16_t>(scaled);
}
void PutS16(uint8_t* out, int16_t v) {
  out[0] = static_cast<uint8_t>(v & 0xFF);
  out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

bool WavDecoder::LooksLikeWav(ByteSource& source) {
  uint8_t head[12];
  return source.ReadAt(0, head, sizeof head) == sizeof head && std::memcmp(head, "RIFF", 4) == 0 &&
         std::memcmp(head + 8, "WAVE", 4) == 0;
}

std::unique_ptr<WavDecoder> WavDecoder::Open(std::unique_ptr<ByteSource> source, int* error) {
  *error = kErrorFileForm;
  if (!LooksLikeWav(*source)) return nullptr;
  const uint64_t size = source->Size();
  std::unique_ptr<WavDecoder> d(new WavDecoder());
  bool have_fmt = false, have_data = false;
  uint64_t data_size = 0;
  uint16_t tag = 0, channels = 0, bits = 0;
  uint32_t rate = 0, block = 0;
  // Chunks may come in any order; an odd-sized chunk is followed by one pad byte.
  for (uint64_t pos = 12; pos + 8 <= size && !(have_fmt && have_data);) {
    uint8_t head[8];
    if (source->ReadAt(pos, head, 8) != 8) break;
    const uint64_t chunk = Le32(head + 4);
    const uint64_t body = pos + 8;
    if (std::memcmp(head, "fmt ", 4) == 0) {
      uint8_t fmt[40] = {};
      if (chunk < 16 || source->ReadAt(body, fmt, chunk < 40 ? chunk : 40) < 16) return nullptr;
      tag = Le16(fmt);
      channels = Le16(fmt + 2);
      rate = Le32(fmt + 4);
      block = Le16(fmt + 12);
      bits = Le16(fmt + 14);
      if (tag == kFormatExtensible) {
        // The sub-format GUID's first two bytes carry the real format tag.
        if (chunk < 40) return nullptr;
        tag = Le16(fmt + 24);
      }
      have_fmt = true;
    } else if (std::memcmp(head, "data", 4) == 0) {
      d->data_offset_ = body;
      // A data chunk cut short by the end of the file plays as far as it goes.
      data_size = body + chunk <= size ? chunk : size - body;
      have_data = true;
    }
    pos = body + chunk + (chunk & 1);
  }
  if (!have_fmt || !have_data) return nullptr;

  *error = kErrorFormat;
  if (channels == 0 || channels > 8 || rate == 0 || rate > 384000) return nullptr;
  if (tag == kFormatPcm) {
    switch (bits) {
      case 8:
        d->sample_ = Sample::kU8;
        break;
      case 16:
        d->sample_ = Sample::kS16;
        break;
      case 24:
        d->sample_ = Sample::kS24;
        break;
      case 32:
        d->sample_ = Sample::kS32;
        break;
      default:
        return nullptr;
    }
  } else if (tag == kFormatFloat) {
    if (bits == 32) {
      d->sample_ = Sample::kF32;
    } else if (bits == 64) {
      d->sample_ = Sample::kF64;
    } else {
      return nullptr;
    }
  } else {
    return nullptr;
  }
  d->in_block_ = channels * (bits / 8u);
  if (block != d->in_block_) return nullptr;
  d->out_.rate = rate;
  d->out_.channels = channels;
  d->out_.bits = d->sample_ == Sample::kU8 ? 8 : 16;
  d->frames_ = data_size / d->in_block_;  // a trailing partial frame is dropped
  d->source_ = std::move(source);
  *error = kErrorOk;
  return d;
}

size_t WavDecoder::Read(uint8_t* out, size_t bytes) {
  const uint32_t out_block = out_.BlockAlign();
  size_t want = bytes / out_block;
  if (want > frames_ - frame_) want = static_cast<size_t>(frames_ - frame_);
  size_t done = 0;
  while (done < want) {
    size_t n = want - done < kScratchFrames ? want - done : kScratchFrames;
    uint8_t* target = out + done * out_block;
    const uint64_t at = data_offset_ + frame_ * in_block_;
    size_t got;
    if (sample_ == Sample::kU8 || sample_ == Sample::kS16) {
      got = source_->ReadAt(at, target, n * in_block_) / in_block_;
    } else {
      scratch_.resize(kScratchFrames * in_block_);
      got = source_->ReadAt(at, scratch_.data(), n * in_block_) / in_block_;
      Convert(scratch_.data(), target, got);
    }
    frame_ += got;
    done += got;
    if (got < n) break;  // read error: end the stream here
  }
  return done * out_block;
}

void WavDecoder::Convert(const uint8_t* in, uint8_t* out, size_t frames) const {
  const size_t samples = frames * out_.channels;
  for (size_t i = 0; i < samples; ++i) {
    int16_t v = 0;
    switch (sample_) {
      case Sample::kS24:  // keep the top 16 bits
        v = static_cast<int16_t>(in[3 * i + 1] | (in[3 * i + 2] << 8));
        break;
      case Sample::kS32:
        v = static_cast<int16_t>(in[4 * i + 2] | (in[4 * i + 3] << 8));
        break;
      case Sample::kF32: {
        float f;
        std::memcpy(&f, in + 4 * i, 4);
        v = ClampToS16(std::isnan(f) ? 0.0 : f);
        break;
      }
      case Sample::kF64: {
        double f;
        std::memcpy(&f, in + 8 * i, 8);
        v = ClampToS16(std::isnan(f) ? 0.0 : f);
        break;
      }
      default:
        break;
    }
    PutS16(out + 2 * i, v);
  }
}

bool WavDecoder::Seek(uint64_t byte) {
  const uint64_t frame = byte / out_.BlockAlign();
  if (frame > frames_) return false;
  frame_ = frame;
  return true;
}

}  // namespace belvane::bass
