#include "audio/music_player.h"

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

}  // namespace

MusicPlayer::MusicPlayer(AudioEntryTable& entries) : entries_(entries) {}

template <AudioFunction F, class Body>
auto MusicPlayer::Locked(Body body) {
  auto function = entries_.Bound<F>();
  std::lock_guard lock(mutex_);
  return body(function);
}

template <AudioFunction... F, class Result, class Body>
Result MusicPlayer::OnStream(Result noStream, Body body) {
  // With no stream there is nothing to call, so there is nothing to bind either.
  if (!(entries_.IsBound(F) && ...) && Stream() == 0) return noStream;
  const auto functions = std::make_tuple(entries_.Bound<F>()...);
  std::lock_guard lock(mutex_);
  if (stream_ == 0) return noStream;
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
  return Locked<AudioFunction::kInit>(
      [&](auto init) { return init(bass::kDeviceDefault, 44100, 0, window, nullptr) != FALSE; });
}

bool MusicPlayer::Free() {
  return Locked<AudioFunction::kFree>([&](auto free) {
    const BOOL result = free();
    if (result) {
      // The library has freed every stream; a handle kept now would name a dead stream.
      stream_ = 0;
      path_ = TextValue();
    }
    return result != FALSE;
  });
}

DWORD MusicPlayer::OpenFile(const TextValue& path) {
  auto create = entries_.Bound<AudioFunction::kStreamCreateFile>();
  auto streamFree = entries_.Bound<AudioFunction::kStreamFree>();
  std::lock_guard lock(mutex_);
  if (stream_ != 0) {
    path_ = TextValue();
    streamFree(stream_);
    stream_ = 0;
  }
  stream_ = create(FALSE, path.CStr(), 0, 0, 0);
  if (stream_ != 0) path_ = path;
  return stream_;
}

DWORD MusicPlayer::OpenPrimed(const TextValue& path) {
  auto create = entries_.Bound<AudioFunction::kStreamCreateFile>();
  const DWORD stream = create(FALSE, path.CStr(), 0, 0, 0);
  if (stream == 0) return 0;
  // Looked up, not bound: a library without it still plays, only later at the second.
  using Update = decltype(BASS_ChannelUpdate)*;
  static const Update update = [] {
    const HMODULE library = GetModuleHandleA("bass.dll");
    return library ? reinterpret_cast<Update>(
                         reinterpret_cast<void*>(GetProcAddress(library, "BASS_ChannelUpdate")))
                   : nullptr;
  }();
  if (update) update(stream, 0);
  return stream;
}

void MusicPlayer::FreeUnheld(DWORD stream) {
  if (stream != 0) entries_.Bound<AudioFunction::kStreamFree>()(stream);
}

BOOL MusicPlayer::StartPrimed(DWORD stream, const TextValue& path) {
  auto stop = entries_.Bound<AudioFunction::kChannelStop>();
  auto play = entries_.Bound<AudioFunction::kChannelPlay>();
  auto streamFree = entries_.Bound<AudioFunction::kStreamFree>();
  DWORD previous = 0;
  BOOL started = FALSE;
  {
    std::lock_guard lock(mutex_);
    previous = stream_;
    if (previous != 0) stop(previous);
    stream_ = stream;
    path_ = path;
    started = play(stream, FALSE);
  }
  if (previous != 0 && previous != stream) streamFree(previous);
  return started;
}

BOOL MusicPlayer::CloseStream() {
  return OnStream<AudioFunction::kStreamFree>(BOOL{0}, [&](DWORD stream, auto streamFree) {
    path_ = TextValue();
    // Let go of the handle too: a freed handle must never reach the library again.
    stream_ = 0;
    return streamFree(stream);
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
  return OnStream<AudioFunction::kChannelPlay>(
      BOOL{0}, [&](DWORD stream, auto play) { return play(stream, restart.value_or(FALSE)); });
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
      -2, [](DWORD stream, auto isActive) { return static_cast<int>(isActive(stream)); });
}

BOOL MusicPlayer::SetMasterVolume(int volume) {
  if (!InVolumeRange(volume)) return 0;
  return Locked<AudioFunction::kSetVolume>(
      [&](auto setVolume) { return setVolume(static_cast<float>(volume / kVolumeScale)); });
}

int MusicPlayer::GetMasterVolume() {
  return Locked<AudioFunction::kGetVolume>([](auto getVolume) { return PercentOf(getVolume()); });
}

BOOL MusicPlayer::SetStreamVolume(int volume) {
  if (!InVolumeRange(volume)) return 0;
  return OnStream<AudioFunction::kChannelSetAttribute>(
      BOOL{0}, [&](DWORD stream, auto setAttribute) {
        return setAttribute(stream, bass::kAttribVolume, static_cast<float>(volume / kVolumeScale));
      });
}

int MusicPlayer::GetStreamVolume() {
  return OnStream<AudioFunction::kChannelGetAttribute>(-1, [](DWORD stream, auto getAttribute) {
    float value = 0;
    if (!getAttribute(stream, bass::kAttribVolume, &value)) return -1;
    return PercentOf(value);
  });
}

std::int64_t MusicPlayer::GetPosition() {
  return OnStream<AudioFunction::kChannelGetPosition, AudioFunction::kChannelBytes2Seconds>(
      std::int64_t{-1}, [](DWORD stream, auto getPosition, auto toSeconds) {
        return MillisecondsOf(toSeconds(stream, getPosition(stream, bass::kPosByte)));
      });
}

std::int64_t MusicPlayer::GetLength() {
  return OnStream<AudioFunction::kChannelGetLength, AudioFunction::kChannelBytes2Seconds>(
      std::int64_t{-2}, [](DWORD stream, auto getLength, auto toSeconds) {
        return MillisecondsOf(toSeconds(stream, getLength(stream, bass::kPosByte)));
      });
}

BOOL MusicPlayer::SetPosition(std::int64_t milliseconds) {
  return OnStream<AudioFunction::kChannelSeconds2Bytes, AudioFunction::kChannelSetPosition>(
      BOOL{0}, [&](DWORD stream, auto toBytes, auto setPosition) {
        const QWORD bytes = toBytes(stream, milliseconds / kMillisecondsPerSecond);
        return setPosition(stream, bytes, bass::kPosByte);
      });
}

int MusicPlayer::LastError() {
  // The library keeps the last error per calling thread; the lock does not change that.
  return Locked<AudioFunction::kErrorGetCode>([](auto errorGetCode) { return errorGetCode(); });
}

void MusicPlayer::LoadPlugins(const TextValue& folder) {
  auto pluginLoad = entries_.Bound<AudioFunction::kPluginLoad>();
  SearchHandle search;
  for (TextValue name = FindFile(ConcatTexts(folder, "\\bass*.dll"), search); !name.IsEmpty();
       name = FindFile(TextValue(), search)) {
    const TextValue file = ConcatTexts(folder, "\\", name);
    std::lock_guard lock(mutex_);
    pluginLoad(file.CStr(), 0);
  }
  EndFindFile(search);
}

MusicPlayer& ProcessMusicPlayer() {
  // Leaked on purpose: watcher threads may still poll it while the process ends.
  static MusicPlayer* const player = new MusicPlayer(ProcessAudioEntries());
  return *player;
}

}  // namespace belvane
