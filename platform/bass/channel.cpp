#include "platform/bass/channel.h"

#include <objbase.h>

#include <cmath>
#include <new>

#include "platform/bass/bass_api.h"

namespace belvane::bass {

namespace {

// The system's time as a FILETIME value, to the microsecond where the platform can (Windows 8
// on); the coarse clock elsewhere.
uint64_t WallClockNow() {
  using Reader = void(WINAPI*)(FILETIME*);
  static const Reader precise = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Reader>(reinterpret_cast<void*>(
                        GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")))
                  : nullptr;
  }();
  FILETIME now{};
  if (precise) {
    precise(&now);
  } else {
    GetSystemTimeAsFileTime(&now);
  }
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

}  // namespace

std::atomic<float>& MasterVolume() {
  static std::atomic<float> volume{1.0f};
  return volume;
}

Channel::Channel(std::unique_ptr<Decoder> decoder, int device, SinkOpener open_sink)
    : decoder_(std::move(decoder)),
      format_(decoder_->Format()),
      device_(device),
      open_sink_(std::move(open_sink)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!wake_) throw std::bad_alloc();  // the export turns it into kErrorMemory
}

Channel::~Channel() {
  Shutdown();
}

void Channel::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (dead_) return;
    dead_ = true;
    quit_ = true;
    sink_.reset();
    run_ = Run::kStopped;
  }
  SetEvent(wake_.Get());
  if (feeder_.joinable()) feeder_.join();
}

bool Channel::Play(bool restart, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  if (restart || (run_ == Run::kStopped && at_end_)) {
    // From the beginning: a restart, or a replay of a stream that has played to its end.
    EndRunLocked();
    run_start_ = 0;
    need_seek_ = true;
    at_end_ = false;
  } else if (run_ == Run::kPlaying) {
    return true;
  } else if ((run_ == Run::kPaused || run_ == Run::kPrimed) && sink_) {
    const uint64_t now = WallClockNow();
    sink_->Resume();
    sound_start_.Resumed(sink_->Queued(), now);
    run_ = Run::kPlaying;
    progress_ms_ = GetTickCount64();  // nothing was due to finish while paused
    return StartFeederLocked(error);
  }
  if (!StartRunLocked(error)) return false;
  return StartFeederLocked(error);
}

bool Channel::MakeFeederLocked() {
  if (feeder_.joinable()) return true;
  try {
    feeder_ = std::thread([this] { Feed(); });
  } catch (...) {
    return false;
  }
  return true;
}

bool Channel::StartFeederLocked(int* error) {
  if (!MakeFeederLocked()) {
    EndRunLocked();
    *error = kErrorMemory;
    return false;
  }
  SetEvent(wake_.Get());
  return true;
}

bool Channel::Prime(int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  if (run_ != Run::kStopped) return true;
  if (at_end_) {
    run_start_ = 0;
    need_seek_ = true;
    at_end_ = false;
  }
  // A run opened paused: the buffers queue at the device and wait for Play's Resume.
  if (!StartRunLocked(error, /*paused=*/true)) return false;
  if (run_ == Run::kPlaying) run_ = Run::kPrimed;
  // The feeding thread is made now rather than at Play: making a thread costs a millisecond or
  // more, which at Play is taken from the sound's first moments. Play makes it if this fails.
  MakeFeederLocked();
  return true;
}

bool Channel::StartRunLocked(int* error, bool paused) {
  if (need_seek_) {
    if (!decoder_->Seek(run_start_)) {
      *error = kErrorPosition;
      return false;
    }
    need_seek_ = false;
    eof_ = false;
  }
  played_ = 0;
  device_failed_ = false;
  if (open_sink_) {
    sink_ = open_sink_(format_, wake_.Get(), error);
    if (!sink_) return false;
  } else if (device_ == 0) {
    sink_ = OpenNullSink(format_);
  } else {
    const UINT id = device_ < 0 ? WAVE_MAPPER : static_cast<UINT>(device_ - 1);
    sink_ = OpenWaveOutSink(id, format_, wake_.Get(), error);
    if (!sink_) return false;
  }
  if (paused) sink_->Pause();
  sound_start_.RunOpened(paused);
  run_ = Run::kPlaying;
  progress_ms_ = GetTickCount64();
  // The first buffers go out now, on the caller's thread: the sound starts without waiting for
  // the feeding thread, and the channel never looks stalled before its first buffer.
  PumpLocked();
  return true;
}

void Channel::EndRunLocked() {
  if (sink_) {
    played_ += sink_->Reap();
    sink_.reset();
  }
  // Continue later from what was heard; the decoder ran ahead by the queued buffers.
  run_start_ += played_;
  played_ = 0;
  need_seek_ = true;
  run_ = Run::kStopped;
}

void Channel::DeviceFailedLocked() {
  EndRunLocked();
  device_failed_ = true;
}

void Channel::ReapLocked() {
  const uint64_t finished = sink_->Reap();
  played_ += finished;
  if (finished > 0) progress_ms_ = GetTickCount64();
}

void Channel::PumpLocked() {
  ReapLocked();
  if (sink_->Queued() > 0 && GetTickCount64() - progress_ms_ > OutputSink::kStallMs) {
    DeviceFailedLocked();  // the device has stopped taking sound: stop rather than play on
    return;
  }
  while (!eof_) {
    size_t capacity = 0;
    uint8_t* buffer = sink_->FreeBuffer(&capacity);
    if (!buffer) break;
    const size_t n = decoder_->Read(buffer, capacity);
    if (n == 0) {
      eof_ = true;
      break;
    }
    ApplyVolume(buffer, n);
    const uint64_t now = WallClockNow();
    if (!sink_->Submit(n)) {
      DeviceFailedLocked();  // the device went away: stop rather than spin
      return;
    }
    sound_start_.Submitted(now);
  }
  if (eof_ && sink_->Queued() == 0) {
    EndRunLocked();
    need_seek_ = false;  // the decoder really is at the end
    at_end_ = true;
  }
}

void Channel::ApplyVolume(uint8_t* data, size_t bytes) const {
  const float gain = volume_ * MasterVolume().load(std::memory_order_relaxed);
  if (gain >= 1.0f) return;  // full volume passes the samples through untouched
  if (format_.bits == 8) {
    for (size_t i = 0; i < bytes; ++i) {
      data[i] = static_cast<uint8_t>(128 + std::lrintf((data[i] - 128) * gain));
    }
    return;
  }
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const int16_t s = static_cast<int16_t>(data[i] | (data[i + 1] << 8));
    const int16_t v = static_cast<int16_t>(std::lrintf(s * gain));
    data[i] = static_cast<uint8_t>(v & 0xFF);
    data[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
}

void Channel::Feed() {
  // Media Foundation decoders are used from here: give the thread an apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    std::unique_lock lock(mutex_);
    while (!quit_) {
      DWORD wait = INFINITE;
      if (run_ == Run::kPlaying && sink_) {
        PumpLocked();
        if (run_ == Run::kPlaying) wait = sink_->WaitHintMs();
      }
      lock.unlock();
      WaitForSingleObject(wake_.Get(), wait);
      lock.lock();
    }
  } catch (...) {
    // Nothing in the loop throws by design; never let anything leave the thread.
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

bool Channel::Pause(int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  if (run_ == Run::kPlaying) {
    ReapLocked();
    sink_->Pause();
    sound_start_.Paused();
    run_ = Run::kPaused;
  }
  return true;
}

bool Channel::Stop(int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  if (run_ != Run::kStopped) EndRunLocked();
  return true;
}

DWORD Channel::State(int* why) {
  std::lock_guard lock(mutex_);
  if (why) *why = run_ == Run::kStopped && device_failed_ ? kErrorDriver : kErrorOk;
  switch (run_) {
    case Run::kPlaying:
      return sink_ && sink_->Queued() == 0 && !eof_ ? kActiveStalled : kActivePlaying;
    case Run::kPaused:
      return kActivePaused;
    default:
      return kActiveStopped;
  }
}

bool Channel::Position(uint64_t* bytes, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  if (sink_ && run_ == Run::kPlaying) ReapLocked();
  *bytes = run_start_ + played_;
  return true;
}

bool Channel::Length(uint64_t* bytes, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  *bytes = decoder_->Length();
  return true;
}

bool Channel::SetPosition(uint64_t bytes, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  const uint32_t block = format_.BlockAlign();
  bytes -= bytes % block;
  if (bytes > decoder_->Length()) {
    *error = kErrorPosition;
    return false;
  }
  // A primed run is dropped like a stopped one: its queued buffers are from the old position.
  const Run was = run_ == Run::kPrimed ? Run::kStopped : run_;
  if (sink_) sink_.reset();
  run_start_ = bytes;
  played_ = 0;
  at_end_ = false;
  if (!decoder_->Seek(bytes)) {
    need_seek_ = true;
    run_ = Run::kStopped;
    *error = kErrorPosition;
    return false;
  }
  need_seek_ = false;
  eof_ = false;
  run_ = Run::kStopped;
  if (was == Run::kPlaying) {
    if (!StartRunLocked(error)) return false;
    SetEvent(wake_.Get());
  } else if (was == Run::kPaused) {
    run_ = Run::kPaused;  // the new run opens on the next Play
  }
  return true;
}

bool Channel::SetVolume(float volume, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  volume_ = volume;
  return true;
}

bool Channel::StartTime(uint64_t* filetime, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  const std::optional<uint64_t> at = sound_start_.At();
  if (!at) {
    *error = kErrorStart;
    return false;
  }
  *filetime = *at;
  return true;
}

bool Channel::Volume(float* volume, int* error) {
  std::lock_guard lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  *volume = volume_;
  return true;
}

}  // namespace belvane::bass
