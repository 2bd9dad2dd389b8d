#include "platform/bass/output_sink.h"

#include <mmreg.h>

#include "platform/bass/bass_api.h"

namespace belvane::bass {
namespace {

// KSDATAFORMAT_SUBTYPE_PCM, spelled out: the cross import libraries do not carry it.
constexpr GUID kSubtypePcm = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

class WaveOutSink final : public OutputSink {
 public:
  WaveOutSink(HWAVEOUT out, size_t bytes) : out_(out) {
    for (Slot& s : slots_) {
      s.data.resize(bytes);
      s.header.lpData = reinterpret_cast<LPSTR>(s.data.data());
      s.header.dwBufferLength = static_cast<DWORD>(bytes);
      waveOutPrepareHeader(out_, &s.header, sizeof s.header);
    }
  }
  ~WaveOutSink() override {
    waveOutReset(out_);  // marks every queued buffer done
    for (Slot& s : slots_) waveOutUnprepareHeader(out_, &s.header, sizeof s.header);
    waveOutClose(out_);
  }
  WaveOutSink(const WaveOutSink&) = delete;
  WaveOutSink& operator=(const WaveOutSink&) = delete;

  uint8_t* FreeBuffer(size_t* capacity) override {
    if (queued_ == kBuffers) return nullptr;
    Slot& s = slots_[(oldest_ + queued_) % kBuffers];
    *capacity = s.data.size();
    return s.data.data();
  }
  bool Submit(size_t n) override {
    Slot& s = slots_[(oldest_ + queued_) % kBuffers];
    s.header.dwBufferLength = static_cast<DWORD>(n);
    s.header.dwFlags &= ~WHDR_DONE;
    if (waveOutWrite(out_, &s.header, sizeof s.header) != MMSYSERR_NOERROR) return false;
    ++queued_;
    return true;
  }
  uint64_t Reap() override {
    uint64_t bytes = 0;
    // The driver sets WHDR_DONE from its own thread; buffers finish in queue order.
    while (queued_ > 0) {
      Slot& s = slots_[oldest_];
      if (!(__atomic_load_n(&s.header.dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE)) break;
      bytes += s.header.dwBufferLength;
      oldest_ = (oldest_ + 1) % kBuffers;
      --queued_;
    }
    return bytes;
  }
  int Queued() const override { return queued_; }
  void Pause() override { waveOutPause(out_); }
  bool Resume() override { return waveOutRestart(out_) == MMSYSERR_NOERROR; }
  // Completions signal the wake event; the timeout only guards against a lost signal.
  DWORD WaitHintMs() const override { return 100; }

 private:
  struct Slot {
    WAVEHDR header{};
    std::vector<uint8_t> data;
  };
  HWAVEOUT out_;
  Slot slots_[kBuffers];
  int oldest_ = 0;
  int queued_ = 0;
};

class NullSink final : public OutputSink {
 public:
  NullSink(const PcmFormat& format, size_t bytes)
      : bytes_per_second_(format.BytesPerSecond()), scratch_(bytes) {}

  uint8_t* FreeBuffer(size_t* capacity) override {
    if (queued_ == kBuffers) return nullptr;
    *capacity = scratch_.size();
    return scratch_.data();
  }
  bool Submit(size_t n) override {
    // Buffers play back to back: each ends its duration after the previous one.
    const int64_t now = NowMs();
    const int64_t start = queued_ > 0 ? ends_[(oldest_ + queued_ - 1) % kBuffers] : now;
    const int i = (oldest_ + queued_) % kBuffers;
    ends_[i] = start + static_cast<int64_t>(n * 1000 / bytes_per_second_);
    sizes_[i] = n;
    ++queued_;
    return true;
  }
  uint64_t Reap() override {
    if (paused_) return 0;
    const int64_t now = NowMs();
    uint64_t bytes = 0;
    while (queued_ > 0 && ends_[oldest_] <= now) {
      bytes += sizes_[oldest_];
      oldest_ = (oldest_ + 1) % kBuffers;
      --queued_;
    }
    return bytes;
  }
  int Queued() const override { return queued_; }
  void Pause() override {
    if (!paused_) {
      paused_ = true;
      paused_at_ = NowMs();
    }
  }
  bool Resume() override {
    if (!paused_) return true;
    paused_ = false;
    const int64_t held = NowMs() - paused_at_;
    for (int k = 0; k < queued_; ++k) ends_[(oldest_ + k) % kBuffers] += held;
    return true;
  }
  DWORD WaitHintMs() const override {
    if (paused_ || queued_ == 0) return 100;
    const int64_t left = ends_[oldest_] - NowMs();
    return left <= 0 ? 0 : static_cast<DWORD>(left);
  }

 private:
  static int64_t NowMs() { return static_cast<int64_t>(GetTickCount64()); }
  uint32_t bytes_per_second_;
  std::vector<uint8_t> scratch_;
  int64_t ends_[kBuffers] = {};
  size_t sizes_[kBuffers] = {};
  int oldest_ = 0;
  int queued_ = 0;
  bool paused_ = false;
  int64_t paused_at_ = 0;
};

}  // namespace

size_t BufferBytes(const PcmFormat& format) {
  const size_t block = format.BlockAlign();
  const size_t frames = static_cast<size_t>(format.rate) * OutputSink::kBufferMs / 1000;
  return (frames ? frames : 1) * block;
}

std::unique_ptr<OutputSink> OpenWaveOutSink(UINT device, const PcmFormat& format, HANDLE wake,
                                            int* error) {
  WAVEFORMATEXTENSIBLE wfx{};
  wfx.Format.wFormatTag = WAVE_FORMAT_PCM;
  wfx.Format.nChannels = format.channels;
  wfx.Format.nSamplesPerSec = format.rate;
  wfx.Format.wBitsPerSample = format.bits;
  wfx.Format.nBlockAlign = static_cast<WORD>(format.BlockAlign());
  wfx.Format.nAvgBytesPerSec = format.BytesPerSecond();
  if (format.channels > 2) {
    // More than two channels need the extensible form to say which speakers they are.
    static const DWORD kMasks[9] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    wfx.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    wfx.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    wfx.Samples.wValidBitsPerSample = format.bits;
    wfx.dwChannelMask = kMasks[format.channels];
    wfx.SubFormat = kSubtypePcm;
  }
  HWAVEOUT out = nullptr;
  const MMRESULT r =
      waveOutOpen(&out, device, &wfx.Format, reinterpret_cast<DWORD_PTR>(wake), 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    *error = r == WAVERR_BADFORMAT ? kErrorFormat : kErrorDriver;
    return nullptr;
  }
  return std::make_unique<WaveOutSink>(out, BufferBytes(format));
}

std::unique_ptr<OutputSink> OpenNullSink(const PcmFormat& format) {
  return std::make_unique<NullSink>(format, BufferBytes(format));
}

}  // namespace belvane::bass
