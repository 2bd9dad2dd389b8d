#include "platform/bass/channel.h"

#include <objbase.h>

#include <cmath>
#include <cstring>
#include <system_error>
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
    : reading_(std::make_shared<Reading>(std::move(decoder))),
      format_(reading_->decoder->Format()),
      length_(reading_->decoder->Length()),
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
    ++run_serial_;
    run_ = Run::kStopped;
  }
  SetEvent(wake_.Get());
  if (!feeder_.joinable()) return;
  // The thread library may refuse a join or a detach of a thread that has just ended; that
  // must never end the process from a free.
  try {
    {
      std::lock_guard lock(reading_->mutex);
      if (reading_->feeder_inside) {
        // A read that blocks must hold up no free (nor the player, nor the next bell).
        reading_->orphaned = true;
        feeder_.detach();
        return;
      }
    }
    feeder_.join();
  } catch (const std::system_error&) {
    // A thread object still joinable ends the process when destroyed: keep it, unjoined.
    if (feeder_.joinable()) static_cast<void>(new (std::nothrow) std::thread(std::move(feeder_)));
  }
}

bool Channel::Play(bool restart, int* error) {
  std::unique_lock lock(mutex_);
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
    if (!sink_->Resume()) {
      // The device went between the priming and now: a start that sounds nothing must fail as
      // the device's, so that it is tried again on a device initialised afresh.
      DeviceFailedLocked();
      *error = kErrorDriver;
      return false;
    }
    sound_start_.Resumed(sink_->Queued(), now);
    run_ = Run::kPlaying;
    progress_ms_ = GetTickCount64();  // nothing was due to finish while paused
    return StartFeederLocked(error);
  }
  if (!StartRunLocked(lock, error)) return false;
  return StartFeederLocked(error);
}

bool Channel::MakeFeederLocked() {
  // Shut down while a first read was under way: nothing is left to feed, or to join it.
  if (feeder_.joinable() || quit_) return true;
  try {
    feeder_ = std::thread([this, reading = reading_]() mutable { Feed(std::move(reading)); });
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
  std::unique_lock lock(mutex_);
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
  if (!StartRunLocked(lock, error, /*paused=*/true)) return false;
  // The feeding thread is made now rather than at Play: making a thread costs a millisecond or
  // more, which at Play is taken from the sound's first moments. Play makes it if this fails.
  MakeFeederLocked();
  return true;
}

bool Channel::StartRunLocked(std::unique_lock<std::mutex>& lock, int* error, bool paused) {
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
  ++run_serial_;
  if (paused) sink_->Pause();
  sound_start_.RunOpened(paused);
  run_ = paused ? Run::kPrimed : Run::kPlaying;
  progress_ms_ = GetTickCount64();
  // The first buffers go out now, on the caller's thread: the sound starts without waiting for
  // the feeding thread, and the channel never looks stalled before its first buffer.
  if (PumpLocked(lock, /*feeder=*/false) == Fill::kSeekFailed) {
    EndRunLocked();
    *error = kErrorPosition;
    return false;
  }
  if (dead_) {  // shut down while the first buffers were read
    *error = kErrorHandle;
    return false;
  }
  return true;
}

void Channel::EndRunLocked() {
  if (sink_) {
    played_ += sink_->Reap();
    sink_.reset();
  }
  ++run_serial_;
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

Channel::Fill Channel::PumpLocked(std::unique_lock<std::mutex>& lock, bool feeder) {
  ReapLocked();
  if (sink_->Queued() > 0 && GetTickCount64() - progress_ms_ > OutputSink::kStallMs) {
    DeviceFailedLocked();  // the device has stopped taking sound: stop rather than play on
    return Fill::kDone;
  }
  Reading& reading = *reading_;  // kept alive by the feeding thread's own reference
  while (!decoding_ && sink_ && (run_ == Run::kPlaying || run_ == Run::kPrimed) &&
         (need_seek_ || !eof_)) {
    size_t capacity = 0;
    if (!sink_->FreeBuffer(&capacity)) break;
    const uint64_t serial = run_serial_;
    const bool seek = need_seek_;
    const uint64_t seek_to = run_start_;
    if (reading.scratch.size() < capacity) reading.scratch.resize(capacity);
    uint8_t* const scratch = reading.scratch.data();
    decoding_ = true;
    if (feeder) {
      std::lock_guard inside(reading.mutex);
      reading.feeder_inside = true;
    }
    lock.unlock();
    const bool sought = !seek || reading.decoder->Seek(seek_to);
    const size_t n = sought ? reading.decoder->Read(scratch, capacity) : 0;
    if (feeder) {
      std::lock_guard inside(reading.mutex);
      reading.feeder_inside = false;
      if (reading.orphaned) return Fill::kOrphaned;
    }
    lock.lock();
    decoding_ = false;
    if (serial != run_serial_) {
      need_seek_ = true;  // the run ended or moved meanwhile: these bytes are not its own
      continue;
    }
    if (!sought) return Fill::kSeekFailed;
    if (seek) {
      need_seek_ = false;
      eof_ = false;
    }
    if (n == 0) {
      eof_ = true;
      break;
    }
    uint8_t* const buffer = sink_->FreeBuffer(&capacity);
    if (!buffer) break;
    std::memcpy(buffer, scratch, n);
    ApplyVolume(buffer, n);
    const uint64_t now = WallClockNow();
    if (!sink_->Submit(n)) {
      DeviceFailedLocked();  // the device went away: stop rather than spin
      return Fill::kDone;
    }
    sound_start_.Submitted(now);
  }
  if (sink_ && (run_ == Run::kPlaying || run_ == Run::kPrimed) && eof_ && !need_seek_ &&
      sink_->Queued() == 0) {
    EndRunLocked();
    need_seek_ = false;  // the decoder really is at the end
    at_end_ = true;
  }
  return Fill::kDone;
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

void Channel::Feed(std::shared_ptr<Reading> reading) {
  // Media Foundation decoders are used from here: give the thread an apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    std::unique_lock lock(mutex_);
    while (!quit_) {
      DWORD wait = INFINITE;
      if (run_ == Run::kPlaying && sink_) {
        const Fill fill = PumpLocked(lock, /*feeder=*/true);
        if (fill == Fill::kOrphaned) {
          reading.reset();  // the channel is gone: the decoder goes here, inside the apartment
          break;
        }
        if (fill == Fill::kSeekFailed) EndRunLocked();
        if (run_ == Run::kPlaying && sink_) wait = sink_->WaitHintMs();
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
  *bytes = length_;
  return true;
}

bool Channel::SetPosition(uint64_t bytes, int* error) {
  std::unique_lock lock(mutex_);
  if (dead_) {
    *error = kErrorHandle;
    return false;
  }
  const uint32_t block = format_.BlockAlign();
  bytes -= bytes % block;
  if (bytes > length_) {
    *error = kErrorPosition;
    return false;
  }
  // A primed run is dropped like a stopped one: its queued buffers are from the old position.
  const Run was = run_ == Run::kPrimed ? Run::kStopped : run_;
  if (sink_) sink_.reset();
  ++run_serial_;
  run_start_ = bytes;
  played_ = 0;
  at_end_ = false;
  // Moved by the run that opens next, on whichever thread has the decoder then.
  need_seek_ = true;
  run_ = Run::kStopped;
  if (was == Run::kPlaying) {
    if (!StartRunLocked(lock, error)) return false;
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
