#pragma once
// The audio library's public interface (bass.dll): twenty-three exports, all WINAPI, exported under
// their plain names; those it shares with other implementations have the 2.4 signatures. The
// program binds them late and takes its function-pointer types from these declarations with
// decltype, so a wrong signature is a compile error there.
//
// Thread safety: every export may be called from any thread at any time, including while another
// thread frees the same handle; such a call fails with kErrorHandle. A stream handle is never
// handed out again after it was freed (see kHandle* below). The last-error code is kept per
// calling thread.
//
// Devices (BASS_Init): -1 = the system's default output, 0 = no sound (streams run at real-time
// pace and nothing is output), n >= 1 = waveOut device n - 1.
//
// Devices that come and go: BASS_Init may be called again after it failed and after BASS_Free,
// as often as wanted. A stream opens its device afresh on each Play that starts output (and on
// SetPosition while playing), so with -1 a new stream plays on whatever is the system's default
// output at that moment. A device that fails under a playing stream (it refuses a buffer, or
// finishes none for 5 s) ends that stream as stopped, at what was heard, and its thread waits on
// as for any stopped stream; BASS_ChannelIsActive then tells it apart from a stream that played
// to its end or was stopped (kErrorDriver as the thread's error). A later Play opens the output
// afresh, or fails with kErrorDriver while none can be opened.

#include <windows.h>

#include "platform/bass/bass_errors.h"

#ifndef BELVANE_QWORD_DEFINED
#define BELVANE_QWORD_DEFINED
typedef unsigned long long QWORD;  // 64-bit unsigned, as the interface names it
#endif

#ifdef BELVANE_BASS_BUILD
#define BELVANE_BASS_API
#else
#define BELVANE_BASS_API __declspec(dllimport)
#endif

extern "C" {

// Output set-up. Init: frequency and flags are accepted and ignored (each stream plays at its own
// rate); window and guid are ignored. Fails with kErrorDevice when the system has no output
// device (or no device n), kErrorDriver when the device cannot play; nothing of a failed call
// stays behind, so it may simply be called again later. Any thread; concurrent calls: one
// succeeds, the others get kErrorAlready.
BELVANE_BASS_API BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win,
                                       const void* guid);
// Frees every stream and ends the output; the library may be initialised again afterwards (on
// whatever is the default device then).
// Any thread; waits for the streams' feeding threads to end (so never from DllMain). Calls on
// those streams from other threads meanwhile fail with kErrorHandle.
BELVANE_BASS_API BOOL WINAPI BASS_Free(void);
// The outputs BASS_Init can be given: device 0 is no sound, n >= 1 waveOut device n - 1, each
// named as the system names it (GBK; a long name is cut to its first 31 characters) and
// flagged kDeviceFlagEnabled, kDeviceFlagDefault (the output the system plays on now) and
// kDeviceFlagInit (the one initialised). FALSE with kErrorDevice past the last one. The names stay
// valid for the process's life. Any thread; the list is read afresh on each call. Not in the
// program's entry table: a caller looks it up and does without it.
struct BASS_DEVICEINFO {
  const char* name;
  const char* driver;
  DWORD flags;
};
BELVANE_BASS_API BOOL WINAPI BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);

// Opens a stream: from the file named by GBK text `file` (BASS_UNICODE in flags: UTF-16), or,
// with mem TRUE, from `length` bytes at `file`, which must stay valid until the stream is freed.
// offset/length select a window of the file (length 0 = to the end); offset is not used with
// mem. Other flags are ignored. Any thread, several at once. A damaged compressed file fails
// within 15 s at most; while the platform's decoder is still stuck on it, opening the same file
// again fails at once with kErrorBusy, as does any compressed open while four are stuck.
BELVANE_BASS_API DWORD WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset,
                                                    QWORD length, DWORD flags);
// Internet streams are not available: always 0 with kErrorNotAvail. Any thread.
BELVANE_BASS_API DWORD WINAPI BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags,
                                                   void(CALLBACK* proc)(const void* buffer,
                                                                        DWORD length, void* user),
                                                   void* user);
// Stops and frees a stream; its handle is dead from then on. Any thread, also while another
// thread is using the handle (that call completes or fails with kErrorHandle).
BELVANE_BASS_API BOOL WINAPI BASS_StreamFree(DWORD handle);

// Channel state. Play (restart FALSE) resumes a paused or stopped channel where it was, and
// starts a channel that has played to its end from its beginning; restart TRUE always starts
// from the beginning. Play opens the output when it starts one (see "Devices that come and go"
// above): kErrorDriver when the device cannot be opened now. Play, Pause and Stop are idempotent;
// Pause of a stopped channel does nothing and succeeds. Any thread: each runs under the stream's
// lock (Play decodes the first buffers on the calling thread, so it returns with sound already
// queued).
BELVANE_BASS_API BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart);
BELVANE_BASS_API BOOL WINAPI BASS_ChannelPause(DWORD handle);
BELVANE_BASS_API BOOL WINAPI BASS_ChannelStop(DWORD handle);
// kActiveStopped / kActivePlaying / kActiveStalled / kActivePaused; 0 with kErrorHandle too.
// The thread's error also says why a stopped stream stopped: kErrorDriver when its device
// failed under it (until a new Play, Prime or SetPosition starts a run), kErrorOk when it played
// to its end, was stopped, or never played. Any thread; cheap enough to poll.
BELVANE_BASS_API DWORD WINAPI BASS_ChannelIsActive(DWORD handle);
// Readies a stopped stream so that the next BASS_ChannelPlay (restart FALSE) starts at once: its
// output is opened and its first buffers decoded and queued, without a sound. The stream still
// reads as stopped; BASS_ChannelStop or a restart drops what was readied. `length` is ignored.
// Other states: nothing done, TRUE. Any thread. Not in the program's entry table: a caller
// looks it up and does without it when it is missing.
BELVANE_BASS_API BOOL WINAPI BASS_ChannelUpdate(DWORD handle, DWORD length);
// When the channel's sound began, as the system's time (UTC, to the microsecond where the
// platform can): the moment the first buffer of its current output run was handed to a running
// device. A primed channel (BASS_ChannelUpdate) is marked when Play starts its device, not when
// its buffers were queued; Pause and Play keep the mark; a Play after Stop, a restart or a
// SetPosition while playing marks afresh. The mark stays readable after the channel stopped.
// kErrorStart while the current run has not sounded (never played, or primed only),
// kErrorIllParam for a null `time`. Any thread. Not in the program's entry table and not in
// other implementations of this interface: a caller looks it up and does without it.
BELVANE_BASS_API BOOL WINAPI BASS_ChannelGetStartTime(DWORD handle, FILETIME* time);

// Global volume 0..1, applied to the samples of every stream on top of the channel volume, from
// the next buffer on (about 400 ms later). Any thread.
BELVANE_BASS_API BOOL WINAPI BASS_SetVolume(float volume);
// The global volume; -1 with kErrorInit before BASS_Init. Any thread.
BELVANE_BASS_API float WINAPI BASS_GetVolume(void);

// Positions and lengths, mode kPosByte only: bytes of the channel's output format, which is
// 16-bit PCM (8-bit unsigned for 8-bit WAV files) at the file's rate and channel count.
// Failures give (QWORD)-1. Any thread. Positions advance a buffer (50 ms) at a time.
BELVANE_BASS_API QWORD WINAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode);
BELVANE_BASS_API QWORD WINAPI BASS_ChannelGetLength(DWORD handle, DWORD mode);
BELVANE_BASS_API BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// Conversions in the channel's output format; failures give -1 (seconds) or (QWORD)-1 (bytes).
// Any thread.
BELVANE_BASS_API double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
BELVANE_BASS_API QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos);

// Attribute kAttribVolume only (0..1, applied from the next buffer on); others fail with
// kErrorIllParam. Any thread.
BELVANE_BASS_API BOOL WINAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BELVANE_BASS_API BOOL WINAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);

// The last error of the calling thread (kError*); every other export sets it. Any thread.
BELVANE_BASS_API int WINAPI BASS_ErrorGetCode(void);
// Plug-ins are not available: always 0 with kErrorNotAvail. Any thread.
BELVANE_BASS_API DWORD WINAPI BASS_PluginLoad(const char* file, DWORD flags);

}  // extern "C"

namespace belvane::bass {

// BASS_ChannelIsActive results.
inline constexpr DWORD kActiveStopped = 0;
inline constexpr DWORD kActivePlaying = 1;
inline constexpr DWORD kActiveStalled = 2;  // playing, but the output ran dry before the end
inline constexpr DWORD kActivePaused = 3;

inline constexpr DWORD kAttribVolume = 2;
inline constexpr DWORD kPosByte = 0;
inline constexpr DWORD kUnicode = 0x80000000u;  // BASS_StreamCreateFile: the path is UTF-16

// Devices for BASS_Init.
inline constexpr int kDeviceDefault = -1;
inline constexpr int kDeviceNoSound = 0;
// BASS_DEVICEINFO flags.
inline constexpr DWORD kDeviceFlagEnabled = 1;
inline constexpr DWORD kDeviceFlagDefault = 2;
inline constexpr DWORD kDeviceFlagInit = 4;

// Handles: low 16 bits = slot + 1, high 16 bits = the slot's generation (1..0xFFFF). A slot is
// reused only after every other free slot, and each reuse takes the next generation.
inline constexpr DWORD kHandleSlotBits = 16;

}  // namespace belvane::bass
