// The exported functions: argument checks, the per-thread last error, the output device and the
// stream table. Thread policy: the library state below has one lock (held briefly, never while
// decoding or talking to a device); each stream has its own lock (channel.h). No exception ever
// leaves an export.

#include <windows.h>

#include <cmath>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "platform/bass/acm_decoder.h"
#include "platform/bass/bass_api.h"
#include "platform/bass/channel.h"
#include "platform/bass/handle_table.h"
#include "platform/bass/file_byte_source.h"
#include "platform/bass/mf_decoder.h"
#include "platform/bass/wav_decoder.h"

namespace belvane::bass {
namespace {

constexpr QWORD kBadQword = ~QWORD{0};
constexpr UINT kPathCodePage = 936;  // narrow paths are GBK

struct Library {
  std::mutex mutex;
  bool initialised = false;
  int device = 0;
  unsigned epoch = 0;  // counts BASS_Init calls: a stream opened across a Free is dropped
  HandleTable<Channel> streams;
  // Every device name handed out: callers keep the pointers, so none is ever dropped.
  std::set<std::string> names;
};

// Never destroyed: at process exit other threads may still be inside an export, and the
// streams' threads are gone before any destructor could join them.
Library& Lib() {
  static Library* lib = new Library;
  return *lib;
}

thread_local int t_error = kErrorOk;

// Sets the calling thread's error and gives back `result`.
template <typename R>
R Fail(int error, R result) {
  t_error = error;
  return result;
}

// Runs an export's body with no exception escaping: out of memory is kErrorMemory, anything
// else kErrorUnknown.
template <typename R, typename F>
R Guarded(R failed, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Fail(kErrorMemory, failed);
  } catch (...) {
    return Fail(kErrorUnknown, failed);
  }
}

// The live stream of a handle; null with kErrorHandle.
std::shared_ptr<Channel> Find(DWORD handle) {
  std::shared_ptr<Channel> c = Lib().streams.Find(handle);
  if (!c) t_error = kErrorHandle;
  return c;
}

bool ValidVolume(float v) {
  return !std::isnan(v) && v >= 0.0f && v <= 1.0f;
}

std::wstring WidePath(const char* text) {
  const int n = MultiByteToWideChar(kPathCodePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kPathCodePage, 0, text, -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

// Picks the decoder for a source: WAV by its format, Media Foundation for everything else.
// `identity` names the file (empty for memory).
std::unique_ptr<Decoder> OpenDecoder(std::unique_ptr<ByteSource> source, const std::wstring& path,
                                     bool whole_file, const std::string& identity, int* error) {
  if (source->Size() == 0) {
    *error = kErrorFileForm;
    return nullptr;
  }
  if (WavDecoder::LooksLikeWav(*source)) {
    // PCM and float ourselves; compressed WAV through the system's codecs.
    WavInfo info;
    if (!ParseWav(*source, &info, error)) return nullptr;
    if (WavDecoder::Plays(info)) return WavDecoder::Open(std::move(source), error);
    return AcmDecoder::Open(std::move(source), info, error);
  }
  return MfDecoder::Open(std::move(source), path, whole_file, identity, error);
}

// A command's argument check failed: `error` for the thread, and false.
bool Refuse(int error, int* out) {
  *out = error;
  return false;
}

// The BOOL exports that act on one channel: find it, run the command (which checks its own
// arguments after the handle), and keep the thread's error.
template <typename Command>
BOOL ChannelCommand(DWORD handle, Command command) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    auto c = Find(handle);
    int error = kErrorOk;
    if (!c) return FALSE;
    if (!command(*c, &error)) return Fail(error, FALSE);
    t_error = kErrorOk;
    return TRUE;
  });
}

// GetPosition and GetLength: a byte count from the channel, or kBadQword with the thread's error.
template <typename Query>
QWORD ByteQuery(DWORD handle, DWORD mode, Query query) {
  return Guarded<QWORD>(kBadQword, [&]() -> QWORD {
    auto c = Find(handle);
    if (!c) return kBadQword;
    if (mode != kPosByte) return Fail(kErrorIllParam, kBadQword);
    uint64_t bytes = 0;
    int error = kErrorOk;
    if (!query(*c, &bytes, &error)) return Fail(error, kBadQword);
    t_error = kErrorOk;
    return bytes;
  });
}

}  // namespace
}  // namespace belvane::bass

namespace belvane::bass {
namespace {

// The waveOut device the system plays on now (the mapper's preferred one); -1 when unknown.
int PreferredWaveOut() {
  constexpr UINT kMapperPreferredGet = 0x2015;  // DRVM_MAPPER_PREFERRED_GET
  DWORD id = ~DWORD{0}, flags = 0;
  if (waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER)),
                     kMapperPreferredGet, reinterpret_cast<DWORD_PTR>(&id),
                     reinterpret_cast<DWORD_PTR>(&flags)) != MMSYSERR_NOERROR) {
    return waveOutGetNumDevs() > 0 ? 0 : -1;
  }
  return static_cast<int>(id);
}

// `wide` as GBK; what the code page cannot show becomes '?'.
std::string GbkOf(const wchar_t* wide) {
  const int n = WideCharToMultiByte(kPathCodePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kPathCodePage, 0, wide, -1, text.data(), n, nullptr, nullptr);
  text.resize(static_cast<size_t>(n - 1));
  return text;
}

}  // namespace
}  // namespace belvane::bass

using namespace belvane::bass;

extern "C" {

BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* guid) {
  (void)freq, (void)flags, (void)win, (void)guid;
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    if (lib.initialised) return Fail(kErrorAlready, FALSE);
    if (device < kDeviceDefault) return Fail(kErrorDevice, FALSE);
    if (device != kDeviceNoSound) {
      const UINT count = waveOutGetNumDevs();
      if (count == 0) return Fail(kErrorDevice, FALSE);
      if (device > 0 && static_cast<UINT>(device) > count) return Fail(kErrorDevice, FALSE);
      // A device that is listed but cannot play the usual format is a driver fault.
      WAVEFORMATEX probe{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
      const UINT id = device < 0 ? WAVE_MAPPER : static_cast<UINT>(device - 1);
      if (waveOutOpen(nullptr, id, &probe, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR) {
        return Fail(kErrorDriver, FALSE);
      }
    }
    lib.initialised = true;
    lib.device = device;
    ++lib.epoch;
    MasterVolume().store(1.0f);
    t_error = kErrorOk;
    return TRUE;
  });
}

BOOL WINAPI BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    if (info == nullptr) return Fail(kErrorIllParam, FALSE);
    std::string name = "No sound";
    DWORD flags = kDeviceFlagEnabled;
    if (device > 0) {
      // Asked of the system outside the lock: a driver may be slow to answer.
      const UINT count = waveOutGetNumDevs();
      if (device > count) return Fail(kErrorDevice, FALSE);
      WAVEOUTCAPSW caps{};
      if (waveOutGetDevCapsW(device - 1, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return Fail(kErrorDevice, FALSE);
      caps.szPname[MAXPNAMELEN - 1] = L'\0';
      name = GbkOf(caps.szPname);
      if (PreferredWaveOut() == static_cast<int>(device - 1)) flags |= kDeviceFlagDefault;
    }
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    if (lib.initialised && (lib.device == static_cast<int>(device) ||
                            (lib.device == kDeviceDefault && (flags & kDeviceFlagDefault))))
      flags |= kDeviceFlagInit;
    info->name = lib.names.insert(std::move(name)).first->c_str();
    info->driver = "";
    info->flags = flags;
    t_error = kErrorOk;
    return TRUE;
  });
}

BOOL WINAPI BASS_Free(void) {
  return Guarded<BOOL>(FALSE, []() -> BOOL {
    Library& lib = Lib();
    {
      std::lock_guard lock(lib.mutex);
      if (!lib.initialised) return Fail(kErrorInit, FALSE);
      lib.initialised = false;
    }
    for (auto& c : lib.streams.RemoveAll()) c->Shutdown();
    t_error = kErrorOk;
    return TRUE;
  });
}

DWORD WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                   DWORD flags) {
  return Guarded<DWORD>(0, [&]() -> DWORD {
    Library& lib = Lib();
    int device;
    unsigned epoch;
    {
      std::lock_guard lock(lib.mutex);
      if (!lib.initialised) return Fail(kErrorInit, DWORD{0});
      device = lib.device;
      epoch = lib.epoch;
    }
    if (!file) return Fail(kErrorIllParam, DWORD{0});
    int error = kErrorOk;
    std::unique_ptr<Decoder> decoder;
    if (mem) {
      if (length == 0) return Fail(kErrorIllParam, DWORD{0});
      auto source = std::make_unique<MemoryByteSource>(static_cast<const uint8_t*>(file), length);
      decoder = OpenDecoder(std::move(source), std::wstring(), false, std::string(), &error);
    } else {
      const std::wstring path = (flags & kUnicode) ? std::wstring(static_cast<const wchar_t*>(file))
                                                   : WidePath(static_cast<const char*>(file));
      if (path.empty()) return Fail(kErrorFileOpen, DWORD{0});
      auto source = FileByteSource::Open(path, offset, length, &error);
      if (!source) return Fail(error, DWORD{0});
      const bool whole = source->IsWholeFile();
      const std::string identity = source->Identity();
      decoder = OpenDecoder(std::move(source), path, whole, identity, &error);
    }
    if (!decoder) return Fail(error, DWORD{0});
    auto channel = std::make_shared<Channel>(std::move(decoder), device);
    DWORD handle;
    {
      std::lock_guard lock(lib.mutex);
      if (!lib.initialised || lib.epoch != epoch) return Fail(kErrorInit, DWORD{0});
      handle = lib.streams.Add(channel);
    }
    if (!handle) return Fail(kErrorMemory, DWORD{0});
    t_error = kErrorOk;
    return handle;
  });
}

DWORD WINAPI BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags,
                                  void(CALLBACK* proc)(const void*, DWORD, void*), void* user) {
  (void)url, (void)offset, (void)flags, (void)proc, (void)user;
  return Fail(kErrorNotAvail, DWORD{0});
}

BOOL WINAPI BASS_StreamFree(DWORD handle) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::shared_ptr<Channel> c = Lib().streams.Remove(handle);
    if (!c) return Fail(kErrorHandle, FALSE);
    c->Shutdown();
    t_error = kErrorOk;
    return TRUE;
  });
}

BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
  return ChannelCommand(handle,
                        [&](Channel& c, int* error) { return c.Play(restart != FALSE, error); });
}

BOOL WINAPI BASS_ChannelPause(DWORD handle) {
  return ChannelCommand(handle, [](Channel& c, int* error) { return c.Pause(error); });
}

BOOL WINAPI BASS_ChannelStop(DWORD handle) {
  return ChannelCommand(handle, [](Channel& c, int* error) { return c.Stop(error); });
}

BOOL WINAPI BASS_ChannelUpdate(DWORD handle, DWORD length) {
  (void)length;  // the output's own buffer depth is what gets readied
  return ChannelCommand(handle, [](Channel& c, int* error) { return c.Prime(error); });
}

BOOL WINAPI BASS_ChannelGetStartTime(DWORD handle, FILETIME* time) {
  return ChannelCommand(handle, [&](Channel& c, int* error) {
    if (!time) return Refuse(kErrorIllParam, error);
    uint64_t at = 0;
    if (!c.StartTime(&at, error)) return false;
    time->dwLowDateTime = static_cast<DWORD>(at);
    time->dwHighDateTime = static_cast<DWORD>(at >> 32);
    return true;
  });
}

DWORD WINAPI BASS_ChannelIsActive(DWORD handle) {
  return Guarded<DWORD>(kActiveStopped, [&]() -> DWORD {
    auto c = Find(handle);
    if (!c) return kActiveStopped;
    int why = kErrorOk;
    const DWORD state = c->State(&why);
    t_error = why;
    return state;
  });
}

BOOL WINAPI BASS_SetVolume(float volume) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::lock_guard lock(Lib().mutex);
    if (!Lib().initialised) return Fail(kErrorInit, FALSE);
    if (!ValidVolume(volume)) return Fail(kErrorIllParam, FALSE);
    MasterVolume().store(volume);
    t_error = kErrorOk;
    return TRUE;
  });
}

float WINAPI BASS_GetVolume(void) {
  return Guarded<float>(-1.0f, []() -> float {
    std::lock_guard lock(Lib().mutex);
    if (!Lib().initialised) return Fail(kErrorInit, -1.0f);
    t_error = kErrorOk;
    return MasterVolume().load();
  });
}

QWORD WINAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  return ByteQuery(handle, mode, [](Channel& c, uint64_t* bytes, int* error) {
    return c.Position(bytes, error);
  });
}

QWORD WINAPI BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  return ByteQuery(handle, mode,
                   [](Channel& c, uint64_t* bytes, int* error) { return c.Length(bytes, error); });
}

BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  return ChannelCommand(handle, [&](Channel& c, int* error) {
    if (mode != kPosByte) return Refuse(kErrorIllParam, error);
    return c.SetPosition(pos, error);
  });
}

double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  return Guarded<double>(-1.0, [&]() -> double {
    auto c = Find(handle);
    if (!c) return -1.0;
    t_error = kErrorOk;
    return static_cast<double>(pos / c->Format().BlockAlign()) / c->Format().rate;
  });
}

QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  return Guarded<QWORD>(kBadQword, [&]() -> QWORD {
    auto c = Find(handle);
    if (!c) return kBadQword;
    if (std::isnan(pos) || pos < 0 || pos > 1e9) return Fail(kErrorIllParam, kBadQword);
    t_error = kErrorOk;
    const auto frames = static_cast<QWORD>(pos * c->Format().rate);
    return frames * c->Format().BlockAlign();
  });
}

BOOL WINAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  return ChannelCommand(handle, [&](Channel& c, int* error) {
    if (attrib != kAttribVolume || !ValidVolume(value)) return Refuse(kErrorIllParam, error);
    return c.SetVolume(value, error);
  });
}

BOOL WINAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  return ChannelCommand(handle, [&](Channel& c, int* error) {
    if (attrib != kAttribVolume || !value) return Refuse(kErrorIllParam, error);
    return c.Volume(value, error);
  });
}

int WINAPI BASS_ErrorGetCode(void) {
  return t_error;
}

DWORD WINAPI BASS_PluginLoad(const char* file, DWORD flags) {
  (void)file, (void)flags;
  return Fail(kErrorNotAvail, DWORD{0});
}

}  // extern "C"
