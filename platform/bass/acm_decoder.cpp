#include "platform/bass/acm_decoder.h"

#include <cstring>

#include "platform/bass/bass_api.h"

namespace belvane::bass {
namespace {

// Output of one conversion at most: a hostile format cannot make the buffer grow without end.
constexpr DWORD kMaxRunOutput = 4u << 20;
// Source bytes per conversion, rounded to whole blocks (at least one).
constexpr uint32_t kRunInput = 16384;

template <typename F>
F Proc(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The audio compression manager's entry points, bound once and kept for the process's life.
struct AcmApi {
  decltype(&::acmFormatSuggest) format_suggest = nullptr;
  decltype(&::acmStreamOpen) open = nullptr;
  decltype(&::acmStreamClose) close = nullptr;
  decltype(&::acmStreamSize) size = nullptr;
  decltype(&::acmStreamPrepareHeader) prepare = nullptr;
  decltype(&::acmStreamUnprepareHeader) unprepare = nullptr;
  decltype(&::acmStreamConvert) convert = nullptr;
  bool ok = false;
};

const AcmApi& Acm() {
  static const AcmApi api = [] {
    AcmApi a;
    HMODULE acm = LoadLibraryW(L"msacm32.dll");
    if (!acm) return a;
    a.format_suggest = Proc<decltype(a.format_suggest)>(acm, "acmFormatSuggest");
    a.open = Proc<decltype(a.open)>(acm, "acmStreamOpen");
    a.close = Proc<decltype(a.close)>(acm, "acmStreamClose");
    a.size = Proc<decltype(a.size)>(acm, "acmStreamSize");
    a.prepare = Proc<decltype(a.prepare)>(acm, "acmStreamPrepareHeader");
    a.unprepare = Proc<decltype(a.unprepare)>(acm, "acmStreamUnprepareHeader");
    a.convert = Proc<decltype(a.convert)>(acm, "acmStreamConvert");
    a.ok = a.format_suggest && a.open && a.close && a.size && a.prepare && a.unprepare && a.convert;
    return a;
  }();
  return api;
}

// The file's format as the codec wants it: WAVEFORMATEX with its extra bytes, cbSize trimmed to
// the bytes the chunk really has.
std::vector<uint8_t> SourceFormat(const WavInfo& info) {
  std::vector<uint8_t> fmt = info.format;
  size_t extra = 0;
  if (fmt.size() >= sizeof(WAVEFORMATEX)) {
    extra = static_cast<size_t>(fmt[16] | (fmt[17] << 8));
    if (extra > fmt.size() - sizeof(WAVEFORMATEX)) extra = fmt.size() - sizeof(WAVEFORMATEX);
  }
  fmt.resize(sizeof(WAVEFORMATEX) + extra);
  fmt[16] = static_cast<uint8_t>(extra & 0xFF);
  fmt[17] = static_cast<uint8_t>(extra >> 8);
  return fmt;
}

}  // namespace

std::unique_ptr<AcmDecoder> AcmDecoder::Open(std::unique_ptr<ByteSource> source,
                                             const WavInfo& info, int* error) {
  *error = kErrorFormat;
  const AcmApi& acm = Acm();
  if (!acm.ok || info.block == 0 || info.channels == 0 || info.rate == 0) return nullptr;
  std::vector<uint8_t> src_format = SourceFormat(info);
  auto* src = reinterpret_cast<WAVEFORMATEX*>(src_format.data());
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.wBitsPerSample = 16;
  if (acm.format_suggest(nullptr, src, &pcm, sizeof pcm,
                         ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) != 0) {
    pcm = WAVEFORMATEX{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acm.format_suggest(nullptr, src, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG) != 0) {
      return nullptr;
    }
  }
  // Our output is 16-bit (or 8-bit unsigned) PCM in the channel counts and rates we play.
  if (pcm.wFormatTag != WAVE_FORMAT_PCM || (pcm.wBitsPerSample != 16 && pcm.wBitsPerSample != 8) ||
      pcm.nChannels == 0 || pcm.nChannels > 8 || pcm.nSamplesPerSec == 0 ||
      pcm.nSamplesPerSec > 384000 || pcm.nBlockAlign != pcm.nChannels * pcm.wBitsPerSample / 8) {
    return nullptr;
  }
  std::unique_ptr<AcmDecoder> d(new AcmDecoder());
  if (acm.open(&d->stream_, nullptr, src, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    d->stream_ = nullptr;
    return nullptr;
  }
  d->out_.rate = pcm.nSamplesPerSec;
  d->out_.channels = pcm.nChannels;
  d->out_.bits = pcm.wBitsPerSample;
  d->block_ = info.block;
  d->data_offset_ = info.data_offset;
  // Encoders end on a short block, its real length in the "fact" sample count: it is padded to
  // a whole block for the codec and the padding's output cut off by that count. Without the count,
  // or when the file itself was cut short, a part block holds nothing we can trust.
  d->blocks_ = info.data_size / info.block;
  d->last_block_ = info.block;
  const uint32_t part = static_cast<uint32_t>(info.data_size % info.block);
  if (part != 0 && info.fact_frames != 0 && !info.data_cut) {
    ++d->blocks_;
    d->last_block_ = part;
  }
  d->blocks_per_run_ = kRunInput / info.block > 0 ? kRunInput / info.block : 1;
  DWORD run_output = 0;
  while (acm.size(d->stream_, d->blocks_per_run_ * d->block_, &run_output,
                  ACM_STREAMSIZEF_SOURCE) != 0 ||
         run_output > kMaxRunOutput) {
    if (d->blocks_per_run_ == 1) return nullptr;
    d->blocks_per_run_ = 1;
  }
  const uint32_t out_block = d->out_.BlockAlign();
  if (run_output < out_block) return nullptr;
  // Output of whole blocks, cut to the sample count the file states when it has one (the last
  // block is often only partly used).
  DWORD block_output = 0;
  if (acm.size(d->stream_, d->block_, &block_output, ACM_STREAMSIZEF_SOURCE) != 0) return nullptr;
  block_output -= block_output % out_block;
  d->length_ = d->blocks_ * block_output;
  if (info.fact_frames != 0 && info.fact_frames * out_block < d->length_) {
    d->length_ = info.fact_frames * out_block;
  }
  if (d->length_ == 0) {
    *error = kErrorFileForm;  // not even one whole block of data
    return nullptr;
  }
  d->in_.resize(static_cast<size_t>(d->blocks_per_run_) * d->block_);
  d->pcm_.resize(run_output);
  d->source_ = std::move(source);
  *error = kErrorOk;
  return d;
}

AcmDecoder::~AcmDecoder() {
  if (stream_) Acm().close(stream_, 0);
}

bool AcmDecoder::Refill() {
  pcm_pos_ = pcm_used_ = 0;
  if (next_block_ >= blocks_) return false;
  const uint64_t left = blocks_ - next_block_;
  const uint32_t blocks = left < blocks_per_run_ ? static_cast<uint32_t>(left) : blocks_per_run_;
  const size_t bytes = static_cast<size_t>(blocks) * block_;
  const size_t present = next_block_ + blocks == blocks_ ? bytes - (block_ - last_block_) : bytes;
  if (source_->ReadAt(data_offset_ + next_block_ * block_, in_.data(), present) != present) {
    return false;  // a read error ends the stream here
  }
  std::memset(in_.data() + present, 0, bytes - present);
  next_block_ += blocks;
  const AcmApi& acm = Acm();
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = in_.data();
  header.cbSrcLength = static_cast<DWORD>(bytes);
  header.pbDst = pcm_.data();
  header.cbDstLength = static_cast<DWORD>(pcm_.size());
  if (acm.prepare(stream_, &header, 0) != 0) return false;
  DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
  if (start_) flags |= ACM_STREAMCONVERTF_START;
  if (next_block_ == blocks_) flags |= ACM_STREAMCONVERTF_END;
  const MMRESULT converted = acm.convert(stream_, &header, flags);
  acm.unprepare(stream_, &header, 0);
  start_ = false;
  if (converted != 0) return false;  // damaged data: end the stream here
  const uint32_t out_block = out_.BlockAlign();
  pcm_used_ = header.cbDstLengthUsed - header.cbDstLengthUsed % out_block;
  if (pcm_used_ > pcm_.size()) pcm_used_ = 0;
  pcm_pos_ = skip_ < pcm_used_ ? skip_ : pcm_used_;
  skip_ = 0;
  return pcm_used_ > 0;
}

size_t AcmDecoder::Read(uint8_t* out, size_t bytes) {
  const uint32_t out_block = out_.BlockAlign();
  bytes -= bytes % out_block;
  if (bytes > length_ - position_) bytes = static_cast<size_t>(length_ - position_);
  size_t done = 0;
  while (done < bytes) {
    if (pcm_pos_ >= pcm_used_ && !Refill()) break;
    size_t n = pcm_used_ - pcm_pos_;
    if (n > bytes - done) n = bytes - done;
    std::memcpy(out + done, pcm_.data() + pcm_pos_, n);
    pcm_pos_ += n;
    done += n;
  }
  position_ += done;
  return done;
}

bool AcmDecoder::Seek(uint64_t byte) {
  const uint32_t out_block = out_.BlockAlign();
  const uint64_t target = byte / out_block * out_block;
  if (target > length_) return false;
  DWORD block_output = 0;
  if (Acm().size(stream_, block_, &block_output, ACM_STREAMSIZEF_SOURCE) != 0) return false;
  block_output -= block_output % out_block;
  if (block_output == 0) return false;
  // Blocks decode on their own: start the codec afresh at the block holding the target.
  next_block_ = target / block_output;
  skip_ = static_cast<size_t>(target % block_output);
  position_ = target;
  pcm_pos_ = pcm_used_ = 0;
  start_ = true;
  return true;
}

}  // namespace belvane::bass
