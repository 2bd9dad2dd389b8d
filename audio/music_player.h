#pragma once
// MusicPlayer: the one object through which the program plays sound. It holds at most one stream
// of the audio library and the path that stream was opened from, and reaches the library only
// through an AudioEntryTable (the process-wide one unless a test gives its own).
//
// Thread policy: every operation may be called from any thread. The user-interface thread plays
// and stops (a due row reaches it from the clock as a posted task; the clock thread never calls
// the player), the playback watcher asks State, and the exit hook calls Destroy from whichever
// thread ends the program. The operations are serialised by one internal
// lock, held only around the library calls themselves. An entry is bound before the lock is
// taken: a failed binding shows a modal box and ends the program, whose exit hook must still be
// able to take the lock. Nothing that waits on a window runs under the lock.
//
// Sentinels: stream handle 0 = none; State -2 = no stream; GetPosition -1 and GetLength -2 = no
// stream; GetStreamVolume -1 = no stream or no value.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "audio/audio_entry_table.h"
#include "audio/device_retry.h"
#include "audio/output_choice.h"
#include "runtime/text_value.h"

namespace belvane {

class MusicPlayer {
 public:
  // An empty player (no stream, no path) over `entries`, which must outlive it.
  explicit MusicPlayer(AudioEntryTable& entries = ProcessAudioEntries());
  ~MusicPlayer() = default;
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // --- Life cycle ---------------------------------------------------------------------------
  // The exit-time release: drops the path. The stream is left to the library (which is not
  // freed either), and the object stays usable, so a watcher still polling it at exit is safe.
  void Destroy();
  // A new player with the same stream and its own copy of the path (no library call).
  std::unique_ptr<MusicPlayer> Copy() const;

  // --- Output -------------------------------------------------------------------------------
  // BASS_Init(-1 = default device, 44100, 0, window, null); true when it succeeded. The result
  // is remembered: while no device is initialised, OpenFile tries again first and a thread of
  // the player's own tries every 10 s, without a window (device_retry.h).
  bool Init(HWND window);
  // The background retry's step: BASS_Init(-1, 44100, 0, null, null) when one is due at `now_ms`
  // (GetTickCount64's clock); the milliseconds until the next is due, -1 for none.
  std::int64_t RetryDeviceInBackground(std::int64_t now_ms);
  // BASS_Free; true when it succeeded. The library frees every stream, so the player lets go of
  // its own.
  bool Free();
  // Counts the player's BASS_Free calls, raised before and after each, and the default output's
  // moves (OutputMoved): a stream opened (or readied) under an earlier count may be dead, freed
  // with the output, or readied on an output no longer wanted. Any thread, no lock.
  std::uint64_t DeviceGeneration() const { return device_generation_.load(); }
  // Told once when the output device goes missing (false: an attempt to initialise it failed,
  // the first at start-up included, or a playback failed for the device) and once when it is
  // initialised again (true); never for each failed retry in between. Called on whichever
  // thread noticed, under the player's lock: it must be quick and must not call the player.
  using DeviceObserver = std::function<void(bool back)>;
  void SetDeviceObserver(DeviceObserver observer);
  // The outputs the library lists (BASS_GetDeviceInfo from 1 on); none where it cannot list
  // them. Asks the system: never on the clock's path. Any thread.
  std::vector<OutputInfo> Outputs();
  // The output every later BASS_Init is given (kDefaultOutput: the default one). When it differs
  // from the one initialised, the library is freed (every stream with it) and initialised on
  // it now; false when that failed (the retry then goes on as for a missing device).
  bool UseOutput(int device);
  // The output the player initialises (kDefaultOutput or a library number).
  int OutputDevice() const { return output_device_.load(); }
  // The default output changed under streams opened before: raises the device generation, so
  // that none of them is started (BellPort::DeviceGeneration).
  void OutputMoved() { device_generation_ += 2; }

  // --- Stream -------------------------------------------------------------------------------
  // Frees the held stream, then opens `path` (GBK) with BASS_StreamCreateFile; returns the new
  // stream, or 0 when the file cannot be opened (the player then holds none). While no device
  // is initialised, BASS_Init is tried first.
  DWORD OpenFile(const TextValue& path);
  // With a stream: empties the path, BASS_StreamFree, and lets go of the handle; the library's
  // result. 0 with no stream.
  BOOL CloseStream();
  // The held stream (0 = none) and the path it was opened from (empty with none).
  DWORD Stream() const;
  TextValue Path() const;

  // --- Streams readied ahead (not held until started) --------------------------------------
  // Binds what a start uses (stream create and free, play, stop) on the calling thread: a
  // missing function takes the fatal path there, as an open at the second did. The
  // user-interface thread calls it before handing a start to a worker.
  void BindStartFunctions();
  // The same, and the error query, each where the loaded library has it (never fatal): at
  // start-up, so that the first bell is readied ahead like every later one. A missing one still
  // takes the fatal path where it is first used, as before.
  void BindStartFunctionsIfPresent();
  // Opens `path` (GBK) as a stream of its own and readies its output so that a start is
  // immediate (the library's BASS_ChannelUpdate, skipped where it has none). The held stream is
  // untouched. 0 when the file cannot be opened, or when BindStartFunctions has not bound what
  // a start needs yet (this never binds: a worker calls it). While no device is initialised,
  // BASS_Init is tried first.
  DWORD OpenPrimed(const TextValue& path);
  // Frees a stream from OpenPrimed that was never started.
  void FreeUnheld(DWORD stream);
  // Stops the held stream, starts `stream` (from OpenPrimed, opened from `path`) and holds it:
  // the old playback stops before the new one sounds. The stream held before is handed back,
  // stopped, in `replaced` (0: none), for the caller to free with FreeUnheld once the new sound
  // is under way, so that freeing it takes nothing from the start. The library's result for the
  // start; a start that fails for the device is tried once more on a device initialised
  // afresh, as Play does.
  BOOL StartPrimed(DWORD stream, const TextValue& path, DWORD* replaced);

  // --- Playing (each 0 without a library call when no stream is held) ----------------------
  // BASS_ChannelPlay(stream, restart); restart left out = false (resume where it stopped).
  // When it fails for the device (IsDeviceError), the output is freed and initialised again on
  // the current default device, the path opened again and played from its start.
  BOOL Play(std::optional<BOOL> restart = std::nullopt);
  // BASS_ChannelPause(stream).
  BOOL Pause();
  // BASS_ChannelStop(stream).
  BOOL Stop();
  // BASS_ChannelIsActive(stream): 0 stopped, 1 playing, 2 stalled, 3 paused; -2 with no stream.
  int State();
  // State for the playback watcher: when the held stream has stopped because its device failed
  // (the library says so in its error right after; one without the error query never does),
  // the device observer hears of the loss at once, and only once until the device is back.
  int WatchState();
  // When the held stream began to sound, as a FILETIME value of the system's time (the library's
  // BASS_ChannelGetStartTime); nothing with no stream, before it sounded, or with a library
  // that cannot tell (the caller then goes by when its start returned).
  std::optional<std::uint64_t> SoundStartTime();

  // --- Volume -------------------------------------------------------------------------------
  // BASS_SetVolume(volume / 100); outside 0..100: 0 and nothing done.
  BOOL SetMasterVolume(int volume);
  // BASS_GetVolume x 100, rounded to a whole percentage (-100 when the library has no output
  // yet).
  int GetMasterVolume();
  // BASS_ChannelSetAttribute(stream, volume attribute, volume / 100); outside 0..100 or with
  // no stream: 0 and nothing done.
  BOOL SetStreamVolume(int volume);
  // The stream's volume x 100, rounded to a whole percentage; -1 with no stream or when the
  // library gives no value.
  int GetStreamVolume();

  // --- Position (milliseconds) --------------------------------------------------------------
  // Play position; -1 with no stream.
  std::int64_t GetPosition();
  // Length of the stream; -2 with no stream.
  std::int64_t GetLength();
  // Moves the play position; the library's result, 0 with no stream.
  BOOL SetPosition(std::int64_t milliseconds);
  // The bytes of `stream` (held or not) its device has finished playing; -1 when it cannot be
  // told (no such stream, or a library without the position query: never fatal). No lock: the
  // library takes any handle from any thread.
  std::int64_t StreamBytesHeard(DWORD stream);
  // Whether `stream` (held or not) reads as stopped, and then whether its device ended it.
  // Never fatal; false when it cannot be told.
  bool StreamStopped(DWORD stream, bool* device_failed);

  // --- Other --------------------------------------------------------------------------------
  // BASS_ErrorGetCode: the last error of the calling thread.
  int LastError();
  // The same without binding (a worker asks it): 0 while the entry is unbound.
  int LastErrorIfBound();
  // BASS_PluginLoad(folder + "\" + name, 0) for every file matching folder + "\bass*.dll".
  void LoadPlugins(const TextValue& folder);

 private:
  // Runs body(stream, functions...) under the lock when a stream is held, else gives
  // `no_stream` without binding or calling anything.
  template <AudioFunction... F, class Result, class Body>
  Result OnStream(Result no_stream, Body body);
  // Runs body(function) under the lock, the entry bound first.
  template <AudioFunction F, class Body>
  auto Locked(Body body);

  // BASS_Init under the lock, its result recorded; the first failure starts the retry thread.
  bool AttemptInitLocked(AudioEntryPointer<AudioFunction::kInit> init, HWND window,
                         std::int64_t now_ms);
  // Tells the observer of a change, under the lock.
  void TellLocked(DeviceRetryPlan::Change change);
  // A start that succeeded: the observer hears the device is back if it was told lost.
  void TellStartedLocked();
  // Play's answer to a device failure (see Play).
  BOOL PlayOnNewDevice();
  // While no device is initialised, BASS_Init once more before a stream is opened.
  void RetryDeviceBeforePlayback();

  // BASS_Free under the lock, the device generation raised around it.
  BOOL FreeLocked(AudioEntryPointer<AudioFunction::kFree> free);

  AudioEntryTable& entries_;
  std::atomic<std::uint64_t> device_generation_{0};
  std::atomic<int> output_device_{kDefaultOutput};
  mutable std::mutex mutex_;
  DWORD stream_ = 0;                // guarded by mutex_
  TextValue path_;                  // guarded by mutex_
  DeviceRetryPlan device_;          // guarded by mutex_
  DeviceObserver device_observer_;  // guarded by mutex_
  // Created by the first failed attempt. Last, so that it stops before anything it uses goes.
  std::unique_ptr<DeviceRetryThread> retry_thread_;  // guarded by mutex_
};

// The process's one player, over ProcessAudioEntries(). Created empty on first use and never
// destroyed (the exit hook calls Destroy), so worker threads may use it until the process ends.
MusicPlayer& ProcessMusicPlayer();

}  // namespace belvane
