#include "audio/audio_entry_table.h"

#include <type_traits>
#include <utility>

#include "runtime/late_binding.h"

namespace belvane {

const std::array<AudioEntryName, kAudioEntryCount> kAudioEntryNames = {{
    {"bass", "BASS_Init"},
    {"bass", "BASS_Free"},
    {"bass", "BASS_StreamCreateFile"},
    {"bass", "BASS_StreamCreateURL"},
    {"bass", "BASS_StreamFree"},
    {"bass", "BASS_ChannelPlay"},
    {"bass", "BASS_ChannelPause"},
    {"bass", "BASS_ChannelStop"},
    {"bass", "BASS_SetVolume"},
    {"bass", "BASS_GetVolume"},
    {"bass", "BASS_ChannelGetPosition"},
    {"bass", "BASS_ChannelBytes2Seconds"},
    {"bass", "BASS_ChannelGetLength"},
    {"bass", "BASS_ChannelSeconds2Bytes"},
    {"bass", "BASS_ChannelSetPosition"},
    {"bass", "BASS_ChannelIsActive"},
    {"bass", "BASS_ChannelSetAttribute"},
    {"bass", "BASS_ChannelGetAttribute"},
    {"bass", "BASS_ErrorGetCode"},
    // The plug-in loader binds from the plug-in folder's copy of the library.
    {"Plugins\\bass.dll", "BASS_PluginLoad"},
}};

namespace {

// The binding stub of entry I: binds the process-wide entry, then calls the library with the
// caller's arguments (all scalars and pointers, passed on unchanged).
template <std::size_t I, class Result, class... Args>
struct BindingStub {
  static Result WINAPI Call(Args... args) {
    void* address = ProcessAudioEntries().Bind(static_cast<AudioFunction>(I));
    return reinterpret_cast<AudioEntryPointerAt<I>>(address)(args...);
  }
};

// Entry I's stub, its result and parameters taken from the entry's pointer type. Deduced from a
// WINAPI pointer: a plain function type would not match the 32-bit build's stdcall prototypes.
template <std::size_t I, class Result, class... Args>
void* StubOf(Result(WINAPI*)(Args...)) {
  return reinterpret_cast<void*>(&BindingStub<I, Result, Args...>::Call);
}

template <std::size_t... I>
std::array<void*, kAudioEntryCount> MakeStubs(std::index_sequence<I...>) {
  return {StubOf<I>(AudioEntryPointerAt<I>{})...};
}

// The stubs are compared with entries to tell bound from unbound. A function-local static, so
// a table built during static initialisation still finds them.
const std::array<void*, kAudioEntryCount>& Stubs() {
  static const std::array<void*, kAudioEntryCount> stubs =
      MakeStubs(std::make_index_sequence<kAudioEntryCount>{});
  return stubs;
}

std::size_t IndexOf(AudioFunction f) {
  return static_cast<std::size_t>(f);
}

}  // namespace

AudioEntryTable::AudioEntryTable() {
  for (std::size_t i = 0; i < kAudioEntryCount; ++i) {
    entries_[i].store(Stubs()[i], std::memory_order_relaxed);
  }
}

void* AudioEntryTable::Address(AudioFunction f) const {
  return entries_[IndexOf(f)].load(std::memory_order_acquire);
}

bool AudioEntryTable::IsBound(AudioFunction f) const {
  return Address(f) != StubAddress(f);
}

void* AudioEntryTable::Bind(AudioFunction f) {
  const AudioEntryName& name = kAudioEntryNames[IndexOf(f)];
  // The binder's own slot store is not atomic, so it gets no slot: the entry is stored here.
  void* address = BindLibraryFunction(name.library, name.function, nullptr);
  PinAndStore(f, address);
  return address;
}

void AudioEntryTable::PinAndStore(AudioFunction f, void* address) {
  // Pin the library: the exit sequence releases it while the process still runs, and the
  // library's playback threads and our watcher threads may still be inside it then; unloading
  // it under them crashes the program on its way out. A pinned library goes with the process.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     static_cast<LPCSTR>(address), &module);
  Store(f, address);
}

bool AudioEntryTable::TryBind(AudioFunction f) {
  if (IsBound(f)) return true;
  const AudioEntryName& name = kAudioEntryNames[IndexOf(f)];
  HMODULE module = GetModuleHandleA(name.library);
  if (!module) return false;
  void* address = reinterpret_cast<void*>(GetProcAddress(module, name.function));
  if (!address) return false;
  PinAndStore(f, address);
  return true;
}

void* AudioEntryTable::StubAddress(AudioFunction f) {
  return Stubs()[IndexOf(f)];
}

void AudioEntryTable::Store(AudioFunction f, void* address) {
  entries_[IndexOf(f)].store(address, std::memory_order_release);
}

AudioEntryTable& ProcessAudioEntries() {
  // Leaked on purpose: worker threads may call through it while the process ends.
  static AudioEntryTable* const table = new AudioEntryTable();
  return *table;
}

}  // namespace belvane
