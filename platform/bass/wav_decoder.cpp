#include "platform/bass/wav_decoder.h"

#include <cmath>
#include <cstring>

#include "platform/bass/bass_errors.h"

namespace belvane::bass {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kScratchFrames = 4096;
// Real files have a few chunks before their data; walking thousands would cost a read each.
constexpr int kMaxChunks = 1024;
constexpr uint64_t kMaxFormatBytes = 4096;

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

bool ParseWav(ByteSource& source, WavInfo* info, int* error) {
  *error = kErrorFileForm;
  if (!WavDecoder::LooksLikeWav(source)) return false;
  const uint64_t size = source.Size();
  bool have_fmt = false, have_data = false;
  // Chunks may come in any order; an odd-sized chunk is followed by one pad byte. Chunk sizes
  // are 32-bit, so 64-bit sums of them cannot wrap.
  uint64_t pos = 12;
  for (int n = 0; size - pos >= 8 && !(have_fmt && have_data); ++n) {
    uint8_t head[8];
    if (n == kMaxChunks || source.ReadAt(pos, head, 8) != 8) return false;
    const uint64_t chunk = Le32(head + 4);
    const uint64_t body = pos + 8;
    if (std::memcmp(head, "fmt ", 4) == 0) {
      // The format with a compressed format's extra bytes, as far as the file and a sane size
      // allow.
      uint64_t keep = chunk < size - body ? chunk : size - body;
      if (keep > kMaxFormatBytes) keep = kMaxFormatBytes;
      info->format.resize(static_cast<size_t>(keep));
      if (chunk < 16 || keep < 16 ||
          source.ReadAt(body, info->format.data(), info->format.size()) != keep) {
        return false;
      }
      const uint8_t* fmt = info->format.data();
      info->tag = Le16(fmt);
      info->channels = Le16(fmt + 2);
      info->rate = Le32(fmt + 4);
      info->block = Le16(fmt + 12);
      info->bits = Le16(fmt + 14);
      info->sub_tag = info->tag;
      if (info->tag == kFormatExtensible) {
        // The sub-format GUID's first two bytes carry the real format tag.
        if (keep < 40) return false;
        info->sub_tag = Le16(fmt + 24);
      }
      have_fmt = true;
    } else if (std::memcmp(head, "fact", 4) == 0 && chunk >= 4) {
      // Compressed formats state their length in samples here.
      uint8_t count[4];
      if (source.ReadAt(body, count, 4) == 4) info->fact_frames = Le32(count);
    } else if (std::memcmp(head, "data", 4) == 0) {
      info->data_offset = body;
      // A data chunk cut short by the end of the file plays as far as it goes (0xFFFFFFFF is
      // what streaming writers leave when they never learn the length).
      info->data_size = chunk <= size - body ? chunk : size - body;
      info->data_cut = info->data_size < chunk;
      have_data = true;
    }
    if (chunk + (chunk & 1) >= size - body) break;  // the last chunk, or one running past the end
    pos = body + chunk + (chunk & 1);
  }
  return have_fmt && have_data;
}

bool WavDecoder::Plays(const WavInfo& info) {
  return info.sub_tag == kFormatPcm || info.sub_tag == kFormatFloat;
}

std::unique_ptr<WavDecoder> WavDecoder::Open(std::unique_ptr<ByteSource> source, int* error) {
  WavInfo info;
  if (!ParseWav(*source, &info, error)) return nullptr;
  std::unique_ptr<WavDecoder> d(new WavDecoder());
  d->data_offset_ = info.data_offset;
  const uint64_t data_size = info.data_size;
  const uint16_t tag = info.sub_tag, channels = info.channels, bits = info.bits;
  const uint32_t rate = info.rate, block = info.block;

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
      if (scratch_.size() < n * in_block_) scratch_.resize(n * in_block_);
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
