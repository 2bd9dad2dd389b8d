#include "audio/music_player.h"

#include <atomic>
#include <cmath>
#include <tuple>

#include "runtime/files.h"
#include "runtime/text.h"

namespace belvane {

namespace {

constexpr double kVolumeScale = 100.0;
constexpr double kMillisecondsPerSecond = 1000.0;

// Seconds as whole milliseconds, truncated toward zero; -1 when the library gave no usable
// number (a failed conversion must not become an out-of-range integer conversion).
std::int64_t MillisecondsOf(double seconds) {
  const double ms = std::trunc(seconds * kMillisecondsPerSecond);
  if (!(ms > -9.0e18 && ms < 9.0e18)) return -1;
  return static_cast<std::int64_t>(ms);
}

bool InVolumeRange(int volume) {
  return volume >= 0 && volume <= 100;
}

// A library volume (0..1, a float) as the whole percentage it was set from. Rounded, not
// truncated: 0.57f is 0.56999..., and a volume set to 57 must read back as 57.
int PercentOf(double volume) {
  return static_cast<int>(std::lround(volume * kVolumeScale));
}

// An export of the loaded library that is not in the entry table; null where the library has
// none (another implementation) or none is loaded yet.
template <class Function>
Function* OptionalExport(const char* name) {
  const HMODULE library = GetModuleHandleA("bass.dll");
  return library
             ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name)))
             : nullptr;
}

}  // namespace

MusicPlayer::MusicPlayer(AudioEntryTable& entries) : entries_(entries) {}

template <AudioFunction F, class Body>
auto MusicPlayer::Locked(Body body) {
  auto function = entries_.Bound<F>();
  std::lock_guard lock(mutex_);
  return body(function);
}

template <AudioFunction... F, class Result, class Body>
Result MusicPlayer::OnStream(Result no_stream, Body body) {
  // With no stream there is nothing to call, so there is nothing to bind either.
  if (!(entries_.IsBound(F) && ...) && Stream() == 0) return no_stream;
  const auto functions = std::make_tuple(entries_.Bound<F>()...);
  std::lock_guard lock(mutex_);
  if (stream_ == 0) return no_stream;
  return std::apply([&](auto... function) { return body(stream_, function...); }, functions);
}

void MusicPlayer::Destroy() {
  std::lock_guard lock(mutex_);
  path_ = TextValue();
}

std::unique_ptr<MusicPlayer> MusicPlayer::Copy() const {
  auto copy = std::make_unique<MusicPlayer>(entries_);
  std::lock_guard lock(mutex_);
  copy->stream_ = stream_;
  copy->path_ = path_;
  return copy;
}

bool MusicPlayer::Init(HWND window) {
  return Locked<AudioFunction::kInit>([&](auto init) {
    return AttemptInitLocked(init, window, static_cast<std::int64_t>(GetTickCount64()));
  });
}

bool MusicPlayer::AttemptInitLocked(AudioEntryPointer<AudioFunction::kInit> init, HWND window,
                                    std::int64_t now_ms) {
  const bool ok = init(output_device_.load(), 44100, 0, window, nullptr) != FALSE;
  TellLocked(device_.Attempted(ok, now_ms));
  if (!ok) {
    if (!retry_thread_) {
      retry_thread_ = std::make_unique<DeviceRetryThread>(
          [this](std::int64_t now_ms) { return RetryDeviceInBackground(now_ms); });
    } else {
      retry_thread_->Wake();
    }
  }
  return ok;
}

std::vector<OutputInfo> MusicPlayer::Outputs() {
  std::vector<OutputInfo> outputs;
  const auto info = OptionalExport<decltype(BASS_GetDeviceInfo)>("BASS_GetDeviceInfo");
  if (!info) return outputs;
  // Bounded: a library that answered for every number would otherwise never end the list.
  constexpr DWORD kMostOutputs = 64;
  BASS_DEVICEINFO device{};
  for (DWORD n = 1; n <= kMostOutputs && info(n, &device); ++n) {
    if (!(device.flags & bass::kDeviceFlagEnabled) || device.name == nullptr) continue;
    outputs.push_back(OutputInfo{static_cast<int>(n), device.name,
                                 (device.flags & bass::kDeviceFlagDefault) != 0});
  }
  return outputs;
}

bool MusicPlayer::UseOutput(int device) {
  if (output_device_.exchange(device) == device) return true;
  // Nothing initialised yet (or no library): the next attempt takes the new output.
  if (!entries_.IsBound(AudioFunction::kFree) || !entries_.IsBound(AudioFunction::kInit))
    return true;
  std::lock_guard lock(mutex_);
  if (device_.status() != DeviceRetryPlan::Status::kReady) return true;
  FreeLocked(entries_.Entry<AudioFunction::kFree>());
  stream_ = 0;
  path_ = TextValue();
  return AttemptInitLocked(entries_.Entry<AudioFunction::kInit>(), nullptr,
                           static_cast<std::int64_t>(GetTickCount64()));
}

void MusicPlayer::SetDeviceObserver(DeviceObserver observer) {
  std::lock_guard lock(mutex_);
  device_observer_ = std::move(observer);
}

void MusicPlayer::TellLocked(DeviceRetryPlan::Change change) {
  if (change == DeviceRetryPlan::Change::kNone || !device_observer_) return;
  try {
    device_observer_(change == DeviceRetryPlan::Change::kBack);
  } catch (...) {
    // A line not recorded must never cost the playback that noticed the change.
  }
}

std::int64_t MusicPlayer::RetryDeviceInBackground(std::int64_t now_ms) {
  std::lock_guard lock(mutex_);
  if (device_.BackgroundDueInMs(now_ms) != 0) return device_.BackgroundDueInMs(now_ms);
  // The failed attempt bound the entry; this thread must never bind (a failure shows a box).
  if (!entries_.IsBound(AudioFunction::kInit)) return -1;
  AttemptInitLocked(entries_.Entry<AudioFunction::kInit>(), nullptr, now_ms);
  return device_.BackgroundDueInMs(now_ms);
}

BOOL MusicPlayer::FreeLocked(AudioEntryPointer<AudioFunction::kFree> free) {
  // Raised before, so a stream checked while the library frees is already out of date, and
  // after, so one begun meanwhile is too.
  ++device_generation_;
  const BOOL result = free();
  ++device_generation_;
  return result;
}

bool MusicPlayer::Free() {
  return Locked<AudioFunction::kFree>([&](auto free) {
    const BOOL result = FreeLocked(free);
    if (result) {
      // The library has freed every stream; a handle kept now would name a dead stream.
      stream_ = 0;
      path_ = TextValue();
    }
    return result != FALSE;
  });
}

void MusicPlayer::RetryDeviceBeforePlayback() {
  if (!entries_.IsBound(AudioFunction::kInit)) return;
  std::lock_guard lock(mutex_);
  if (device_.RetryBeforePlayback()) {
    AttemptInitLocked(entries_.Entry<AudioFunction::kInit>(), nullptr,
                      static_cast<std::int64_t>(GetTickCount64()));
  }
}

DWORD MusicPlayer::OpenFile(const TextValue& path) {
  RetryDeviceBeforePlayback();
  auto create = entries_.Bound<AudioFunction::kStreamCreateFile>();
  auto stream_free = entries_.Bound<AudioFunction::kStreamFree>();
  std::lock_guard lock(mutex_);
  if (stream_ != 0) {
    path_ = TextValue();
    stream_free(stream_);
    stream_ = 0;
  }
  stream_ = create(FALSE, path.CStr(), 0, 0, 0);
  if (stream_ != 0) path_ = path;
  return stream_;
}

void MusicPlayer::BindStartFunctions() {
  entries_.Bound<AudioFunction::kStreamCreateFile>();
  entries_.Bound<AudioFunction::kStreamFree>();
  entries_.Bound<AudioFunction::kChannelPlay>();
  entries_.Bound<AudioFunction::kChannelStop>();
}

void MusicPlayer::BindStartFunctionsIfPresent() {
  for (AudioFunction f :
       {AudioFunction::kStreamCreateFile, AudioFunction::kStreamFree, AudioFunction::kChannelPlay,
        AudioFunction::kChannelStop, AudioFunction::kErrorGetCode}) {
    entries_.TryBind(f);
  }
}

DWORD MusicPlayer::OpenPrimed(const TextValue& path) {
  for (AudioFunction f : {AudioFunction::kStreamCreateFile, AudioFunction::kStreamFree,
                          AudioFunction::kChannelPlay, AudioFunction::kChannelStop}) {
    if (!entries_.IsBound(f)) return 0;
  }
  RetryDeviceBeforePlayback();
  auto create = entries_.Bound<AudioFunction::kStreamCreateFile>();
  const DWORD stream = create(FALSE, path.CStr(), 0, 0, 0);
  if (stream == 0) return 0;
  // Looked up, not bound: a library without it still plays, only later at the second.
  static const auto update = OptionalExport<decltype(BASS_ChannelUpdate)>("BASS_ChannelUpdate");
  if (update) update(stream, 0);
  return stream;
}

void MusicPlayer::FreeUnheld(DWORD stream) {
  if (stream != 0) entries_.Bound<AudioFunction::kStreamFree>()(stream);
}

BOOL MusicPlayer::StartPrimed(DWORD stream, const TextValue& path, DWORD* replaced) {
  auto stop = entries_.Bound<AudioFunction::kChannelStop>();
  auto play = entries_.Bound<AudioFunction::kChannelPlay>();
  DWORD previous = 0;
  BOOL started = FALSE;
  {
    std::lock_guard lock(mutex_);
    previous = stream_;
    if (previous != 0) stop(previous);
    stream_ = stream;
    path_ = path;
    started = play(stream, FALSE);
    if (started) TellStartedLocked();
  }
  // A device lost since the stream was readied: start again on the current one.
  if (!started && Stream() == stream) started = PlayOnNewDevice();
  *replaced = previous != stream ? previous : 0;
  return started;
}

BOOL MusicPlayer::CloseStream() {
  return OnStream<AudioFunction::kStreamFree>(BOOL{0}, [&](DWORD stream, auto stream_free) {
    path_ = TextValue();
    // Let go of the handle too: a freed handle must never reach the library again.
    stream_ = 0;
    return stream_free(stream);
  });
}

DWORD MusicPlayer::Stream() const {
  std::lock_guard lock(mutex_);
  return stream_;
}

TextValue MusicPlayer::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

BOOL MusicPlayer::Play(std::optional<BOOL> restart) {
  const BOOL played = OnStream<AudioFunction::kChannelPlay>(
      BOOL{0}, [&](DWORD stream, auto play) { return play(stream, restart.value_or(FALSE)); });
  if (played) {
    std::lock_guard lock(mutex_);
    TellStartedLocked();
  }
  if (played || Stream() == 0) return played;
  return PlayOnNewDevice();
}

void MusicPlayer::TellStartedLocked() {
  TellLocked(device_.PlaybackStarted());
}

BOOL MusicPlayer::PlayOnNewDevice() {
  // The library keeps the last error per thread: this is the failed Play's.
  auto error_get_code = entries_.Bound<AudioFunction::kErrorGetCode>();
  if (!IsDeviceError(error_get_code())) return FALSE;
  auto free = entries_.Bound<AudioFunction::kFree>();
  auto init = entries_.Bound<AudioFunction::kInit>();
  auto create = entries_.Bound<AudioFunction::kStreamCreateFile>();
  auto play = entries_.Bound<AudioFunction::kChannelPlay>();
  TextValue path;
  {
    std::lock_guard lock(mutex_);
    if (stream_ == 0) return FALSE;
    path = path_;
    TellLocked(device_.PlaybackLostDevice());
    // Freeing lets go of the device that failed; the library frees every stream with it.
    FreeLocked(free);
    stream_ = 0;
    path_ = TextValue();
    if (!AttemptInitLocked(init, nullptr, static_cast<std::int64_t>(GetTickCount64())))
      return FALSE;
  }
  // Opened and started without the lock: a file that stalls must hold up no other caller.
  const DWORD stream = create(FALSE, path.CStr(), 0, 0, 0);
  if (stream == 0) return FALSE;
  const BOOL played = play(stream, TRUE);
  std::lock_guard lock(mutex_);
  if (stream_ != 0) {
    // Another stream was opened or started meanwhile: it is the one wanted now. (Whatever held
    // a stream bound the free; never bound here, under the lock.)
    if (entries_.IsBound(AudioFunction::kStreamFree))
      entries_.Entry<AudioFunction::kStreamFree>()(stream);
    return FALSE;
  }
  stream_ = stream;
  path_ = path;
  return played;
}

BOOL MusicPlayer::Pause() {
  return OnStream<AudioFunction::kChannelPause>(
      BOOL{0}, [](DWORD stream, auto pause) { return pause(stream); });
}

BOOL MusicPlayer::Stop() {
  return OnStream<AudioFunction::kChannelStop>(
      BOOL{0}, [](DWORD stream, auto stop) { return stop(stream); });
}

int MusicPlayer::State() {
  return OnStream<AudioFunction::kChannelIsActive>(
      -2, [](DWORD stream, auto is_active) { return static_cast<int>(is_active(stream)); });
}

int MusicPlayer::WatchState() {
  // Never bound here: the watcher's thread must not take the fatal path for the error query.
  const bool can_tell = entries_.IsBound(AudioFunction::kErrorGetCode);
  return OnStream<AudioFunction::kChannelIsActive>(-2, [&](DWORD stream, auto is_active) {
    const int state = static_cast<int>(is_active(stream));
    // Asked at once, on this thread and under the lock: the error is the state query's own.
    if (can_tell && EndedForTheDevice(state, entries_.Entry<AudioFunction::kErrorGetCode>()()))
      TellLocked(device_.PlaybackLostDevice());
    return state;
  });
}

std::optional<std::uint64_t> MusicPlayer::SoundStartTime() {
  // Looked up only with a stream held, so the library is loaded; a miss is asked again later
  // (cheap, and only once per bell).
  std::lock_guard lock(mutex_);
  if (stream_ == 0) return std::nullopt;
  using StartTime = decltype(BASS_ChannelGetStartTime);
  static std::atomic<StartTime*> found{nullptr};
  StartTime* start_time = found.load();
  if (!start_time) {
    start_time = OptionalExport<StartTime>("BASS_ChannelGetStartTime");
    if (!start_time) return std::nullopt;
    found.store(start_time);
  }
  FILETIME at{};
  if (!start_time(stream_, &at)) return std::nullopt;
  return (std::uint64_t{at.dwHighDateTime} << 32) | at.dwLowDateTime;
}

BOOL MusicPlayer::SetMasterVolume(int volume) {
  if (!InVolumeRange(volume)) return 0;
  return Locked<AudioFunction::kSetVolume>(
      [&](auto set_volume) { return set_volume(static_cast<float>(volume / kVolumeScale)); });
}

int MusicPlayer::GetMasterVolume() {
  return Locked<AudioFunction::kGetVolume>([](auto get_volume) { return PercentOf(get_volume()); });
}

BOOL MusicPlayer::SetStreamVolume(int volume) {
  if (!InVolumeRange(volume)) return 0;
  return OnStream<AudioFunction::kChannelSetAttribute>(BOOL{0}, [&](DWORD stream,
                                                                    auto set_attribute) {
    return set_attribute(stream, bass::kAttribVolume, static_cast<float>(volume / kVolumeScale));
  });
}

int MusicPlayer::GetStreamVolume() {
  return OnStream<AudioFunction::kChannelGetAttribute>(-1, [](DWORD stream, auto get_attribute) {
    float value = 0;
    if (!get_attribute(stream, bass::kAttribVolume, &value)) return -1;
    return PercentOf(value);
  });
}

std::int64_t MusicPlayer::GetPosition() {
  return OnStream<AudioFunction::kChannelGetPosition, AudioFunction::kChannelBytes2Seconds>(
      std::int64_t{-1}, [](DWORD stream, auto get_position, auto to_seconds) {
        return MillisecondsOf(to_seconds(stream, get_position(stream, bass::kPosByte)));
      });
}

std::int64_t MusicPlayer::GetLength() {
  return OnStream<AudioFunction::kChannelGetLength, AudioFunction::kChannelBytes2Seconds>(
      std::int64_t{-2}, [](DWORD stream, auto get_length, auto to_seconds) {
        return MillisecondsOf(to_seconds(stream, get_length(stream, bass::kPosByte)));
      });
}

BOOL MusicPlayer::SetPosition(std::int64_t milliseconds) {
  return OnStream<AudioFunction::kChannelSeconds2Bytes, AudioFunction::kChannelSetPosition>(
      BOOL{0}, [&](DWORD stream, auto to_bytes, auto set_position) {
        const QWORD bytes = to_bytes(stream, milliseconds / kMillisecondsPerSecond);
        return set_position(stream, bytes, bass::kPosByte);
      });
}

int MusicPlayer::LastError() {
  // The library keeps the last error per calling thread; the lock does not change that.
  return Locked<AudioFunction::kErrorGetCode>([](auto error_get_code) { return error_get_code(); });
}

std::int64_t MusicPlayer::StreamBytesHeard(DWORD stream) {
  if (stream == 0 || !entries_.TryBind(AudioFunction::kChannelGetPosition)) return -1;
  const QWORD bytes = entries_.Entry<AudioFunction::kChannelGetPosition>()(stream, bass::kPosByte);
  return bytes == static_cast<QWORD>(-1) ? -1 : static_cast<std::int64_t>(bytes);
}

bool MusicPlayer::StreamStopped(DWORD stream, bool* device_failed) {
  *device_failed = false;
  if (stream == 0 || !entries_.TryBind(AudioFunction::kChannelIsActive)) return false;
  const DWORD state = entries_.Entry<AudioFunction::kChannelIsActive>()(stream);
  if (state != bass::kActiveStopped) return false;
  *device_failed = EndedForTheDevice(0, LastErrorIfBound());
  return true;
}

int MusicPlayer::LastErrorIfBound() {
  if (!entries_.IsBound(AudioFunction::kErrorGetCode)) return 0;
  return entries_.Entry<AudioFunction::kErrorGetCode>()();
}

void MusicPlayer::LoadPlugins(const TextValue& folder) {
  auto plugin_load = entries_.Bound<AudioFunction::kPluginLoad>();
  SearchHandle search;
  for (TextValue name = FindFile(ConcatTexts(folder, "\\bass*.dll"), search); !name.IsEmpty();
       name = FindFile(TextValue(), search)) {
    const TextValue file = ConcatTexts(folder, "\\", name);
    std::lock_guard lock(mutex_);
    plugin_load(file.CStr(), 0);
  }
  EndFindFile(search);
}

MusicPlayer& ProcessMusicPlayer() {
  // Leaked on purpose: watcher threads may still poll it while the process ends.
  static MusicPlayer* const player = new MusicPlayer(ProcessAudioEntries());
  return *player;
}

}  // namespace belvane
