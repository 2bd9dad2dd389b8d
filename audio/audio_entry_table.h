#pragma once
// AudioEntryTable: the twenty late-bound entry points of the audio library, in table order.
// Each entry starts at a binding stub of its own; the first call through it binds the function
// (BindLibraryFunction: a missing library or function is fatal) and then calls on with the
// caller's arguments, so that call completes as if it had gone straight to the library and
// every later call does. The entries are typed by the library's own prototypes (decltype), so a
// wrong signature is a compile error. A library once bound is pinned: it stays loaded until the
// process ends, even when the exit sequence releases it (threads may still be inside it).
//
// The stubs always bind into the process-wide table (ProcessAudioEntries); another table (a
// test's) starts at the same stubs and is bound by Bound() or pointed elsewhere by Set().
//
// Thread policy: safe from any thread. Any thread may bind an entry first; two threads binding
// the same entry store the same address, and the store is atomic.

#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>

#include "platform/bass/bass_api.h"

namespace belvane {

// The entries, in table order.
enum class AudioFunction : std::size_t {
  kInit,
  kFree,
  kStreamCreateFile,
  kStreamCreateUrl,
  kStreamFree,
  kChannelPlay,
  kChannelPause,
  kChannelStop,
  kSetVolume,
  kGetVolume,
  kChannelGetPosition,
  kChannelBytes2Seconds,
  kChannelGetLength,
  kChannelSeconds2Bytes,
  kChannelSetPosition,
  kChannelIsActive,
  kChannelSetAttribute,
  kChannelGetAttribute,
  kErrorGetCode,
  kPluginLoad,
};
inline constexpr std::size_t kAudioEntryCount = 20;

// Where an entry binds from: library name (as LoadLibraryA takes it) and function name.
struct AudioEntryName {
  const char* library;
  const char* function;
};

// Names of the entries in table order (index = AudioFunction).
extern const std::array<AudioEntryName, kAudioEntryCount> kAudioEntryNames;

// The prototypes of the entries in table order, taken from the library's own declarations.
template <class... Prototypes>
struct AudioPrototypeList {
  static constexpr std::size_t kSize = sizeof...(Prototypes);
};
using AudioPrototypes = AudioPrototypeList<
    decltype(BASS_Init), decltype(BASS_Free), decltype(BASS_StreamCreateFile),
    decltype(BASS_StreamCreateURL), decltype(BASS_StreamFree), decltype(BASS_ChannelPlay),
    decltype(BASS_ChannelPause), decltype(BASS_ChannelStop), decltype(BASS_SetVolume),
    decltype(BASS_GetVolume), decltype(BASS_ChannelGetPosition),
    decltype(BASS_ChannelBytes2Seconds), decltype(BASS_ChannelGetLength),
    decltype(BASS_ChannelSeconds2Bytes), decltype(BASS_ChannelSetPosition),
    decltype(BASS_ChannelIsActive), decltype(BASS_ChannelSetAttribute),
    decltype(BASS_ChannelGetAttribute), decltype(BASS_ErrorGetCode), decltype(BASS_PluginLoad)>;
static_assert(AudioPrototypes::kSize == kAudioEntryCount);

namespace audio_detail {
template <std::size_t I, class List>
struct PrototypeAt;
template <std::size_t I, class First, class... Rest>
struct PrototypeAt<I, AudioPrototypeList<First, Rest...>>
    : PrototypeAt<I - 1, AudioPrototypeList<Rest...>> {};
template <class First, class... Rest>
struct PrototypeAt<0, AudioPrototypeList<First, Rest...>> {
  using Type = First;
};
}  // namespace audio_detail

// Pointer to the function entry I holds.
template <std::size_t I>
using AudioEntryPointerAt = typename audio_detail::PrototypeAt<I, AudioPrototypes>::Type*;
template <AudioFunction F>
using AudioEntryPointer = AudioEntryPointerAt<static_cast<std::size_t>(F)>;

class AudioEntryTable {
 public:
  // Every entry at its binding stub.
  AudioEntryTable();
  AudioEntryTable(const AudioEntryTable&) = delete;
  AudioEntryTable& operator=(const AudioEntryTable&) = delete;

  // What the entry holds now: its binding stub, or the bound function. Calling it always works.
  template <AudioFunction F>
  AudioEntryPointer<F> Entry() const {
    return reinterpret_cast<AudioEntryPointer<F>>(Address(F));
  }
  // The bound function, binding the entry now when it still holds its stub (fatal on failure).
  template <AudioFunction F>
  AudioEntryPointer<F> Bound() {
    return reinterpret_cast<AudioEntryPointer<F>>(IsBound(F) ? Address(F) : Bind(F));
  }
  // Points an entry at another function of the same prototype (a test's stand-in).
  template <AudioFunction F>
  void Set(AudioEntryPointer<F> function) {
    Store(F, reinterpret_cast<void*>(function));
  }

  // The address an entry holds.
  void* Address(AudioFunction f) const;
  // True once the entry no longer holds its binding stub.
  bool IsBound(AudioFunction f) const;
  // Binds the entry when its library is loaded already and has the function; false, and the
  // entry left at its stub, otherwise. Never fatal: a later call still takes the fatal path.
  bool TryBind(AudioFunction f);
  // Binds the entry through BindLibraryFunction, stores the address and returns it.
  void* Bind(AudioFunction f);
  // The binding stub of an entry (what it holds before its first call).
  static void* StubAddress(AudioFunction f);

 private:
  void Store(AudioFunction f, void* address);
  // Pins the library that holds `address` (it is never unloaded under a running thread), then
  // stores the entry.
  void PinAndStore(AudioFunction f, void* address);

  std::array<std::atomic<void*>, kAudioEntryCount> entries_;
};

// The process-wide table through which the program reaches the library; its stubs bind into
// it. Never destroyed, so a worker thread may still call through it while the process ends.
AudioEntryTable& ProcessAudioEntries();

}  // namespace belvane
