#pragma once
// One stream: its decoder, its output run and the thread that keeps the output fed.
//
// State machine (one lock, re-checked on every call): Stopped -> Play -> Playing -> Pause ->
// Paused -> Play -> Playing; Stopped -> Prime -> Primed (the output open and paused with the
// first buffers queued; reads as stopped) -> Play -> Playing; Stop from any state -> Stopped; at
// the end of the data the state becomes Stopped once the last buffer has finished playing. A
// device that fails while playing (it refuses a buffer, or finishes none for
// OutputSink::kStallMs) also ends the run as Stopped, at what was heard; the next Play opens the
// output afresh. Play, Pause and Stop are idempotent. Every public method is safe from any
// thread; after Shutdown every call fails with kErrorHandle. The feeding thread is started on the
// first Play and joined by Shutdown.
//
// The decoder is called with the lock let go, by one thread at a time (whichever took its turn):
// a read that blocks (a drive that stalls, a network file cut off) holds up no Stop, no State and
// no free. Bytes read for a run that has ended or moved meanwhile are dropped.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/bass/decoder.h"
#include "platform/bass/output_sink.h"
#include "platform/bass/scoped_handle.h"
#include "platform/bass/sound_start.h"

namespace belvane::bass {

// The library-wide volume (0..1) that every channel applies on top of its own.
std::atomic<float>& MasterVolume();

class Channel {
 public:
  // Opens the output of one run (OpenWaveOutSink's shape); for tests, in place of a device.
  using SinkOpener =
      std::function<std::unique_ptr<OutputSink>(const PcmFormat& format, HANDLE wake, int* error)>;

  // device: -1 = default waveOut device, 0 = no sound, n >= 1 = waveOut device n - 1. Each run
  // opens the device afresh, so the default device is whichever is default at that Play.
  Channel(std::unique_ptr<Decoder> decoder, int device, SinkOpener open_sink = nullptr);
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Each returns false with *error set on failure.
  bool Play(bool restart, int* error);
  bool Pause(int* error);
  bool Stop(int* error);
  // Readies a stopped channel so that the next Play (restart FALSE) only starts the device:
  // decodes the first buffers and queues them at a paused output. Nothing is heard. Does
  // nothing in any other state.
  bool Prime(int* error);
  // kActive* (0 after Shutdown). With `why`: for a stopped channel whose last run its device
  // ended (refused a buffer, or finished none for OutputSink::kStallMs) kErrorDriver, else
  // kErrorOk; so a caller can tell a failed device from a stream that played to its end or was
  // stopped. A new run clears it.
  DWORD State(int* why = nullptr);
  // Bytes heard so far (whole buffers), the stream's length, and a new position.
  bool Position(uint64_t* bytes, int* error);
  bool Length(uint64_t* bytes, int* error);
  bool SetPosition(uint64_t bytes, int* error);
  // Output format, fixed for the stream's life (readable without the lock).
  const PcmFormat& Format() const { return format_; }
  bool SetVolume(float volume, int* error);
  bool Volume(float* volume, int* error);
  // When the current or last run began to sound (SoundStart), as a FILETIME value of the
  // system's time; kErrorStart when it has not.
  bool StartTime(uint64_t* filetime, int* error);
  // Stops output and joins the feeding thread; idempotent. Not from the feeding thread. A feeding
  // thread inside a decoder call is not waited for: it ends when the call returns and lets go
  // of the decoder then.
  void Shutdown();

 private:
  // What the decoder is read with: shared with the feeding thread, which may outlive the channel
  // while a read blocks.
  struct Reading {
    explicit Reading(std::unique_ptr<Decoder> d) : decoder(std::move(d)) {}
    const std::unique_ptr<Decoder> decoder;
    std::vector<uint8_t> scratch;  // the bytes of one read, used by the thread whose turn it is
    std::mutex mutex;              // guards what follows
    bool feeder_inside = false;    // the feeding thread is in a decoder call
    bool orphaned = false;         // the channel is gone: the feeding thread ends after its call
  };
  enum class Fill { kDone, kSeekFailed, kOrphaned };

  // Opens the output for a run from run_start_ and queues its first buffers; `paused`: at a
  // paused output (Prime).
  bool StartRunLocked(std::unique_lock<std::mutex>& lock, int* error, bool paused = false);
  // Ends the run because its device failed.
  void DeviceFailedLocked();
  // Takes back the sink's finished buffers into played_ and progress_ms_.
  void ReapLocked();
  // Makes the feeding thread unless it runs; false when it could not be made.
  bool MakeFeederLocked();
  // Starts the feeding thread unless it runs, then wakes it; on failure the run ends.
  bool StartFeederLocked(int* error);
  // Fills the run's free buffers from the decoder, each decoder call with `lock` let go; stops
  // early when another thread has the decoder (it fills on when it is back). kSeekFailed: the
  // run could not be moved to run_start_; kOrphaned (`feeder` only): the channel went during the
  // call, and nothing of it may be touched.
  Fill PumpLocked(std::unique_lock<std::mutex>& lock, bool feeder);
  void EndRunLocked();
  void ApplyVolume(uint8_t* data, size_t bytes) const;
  void Feed(std::shared_ptr<Reading> reading);

  enum class Run { kStopped, kPrimed, kPlaying, kPaused };

  std::mutex mutex_;
  const std::shared_ptr<Reading> reading_;
  const PcmFormat format_;
  const uint64_t length_;  // the decoder's, fixed at open
  const int device_;
  const SinkOpener open_sink_;
  ScopedHandle wake_;  // auto-reset; set by commands and by waveOut completions
  std::unique_ptr<OutputSink> sink_;
  std::thread feeder_;
  Run run_ = Run::kStopped;
  uint64_t run_start_ = 0;   // stream position where the current output run began
  uint64_t played_ = 0;      // bytes of the current run that have finished playing
  bool need_seek_ = false;   // the decoder is not at run_start_
  bool decoding_ = false;    // a thread is in a decoder call, the lock let go
  uint64_t run_serial_ = 0;  // changes whenever the output run is replaced or ended
  bool eof_ = false;         // the decoder has no more data for this run
  bool at_end_ = false;      // the last run played to the end of the data
  bool quit_ = false;
  bool dead_ = false;
  float volume_ = 1.0f;
  // The last run was ended by its device failing, not by Stop or the end of the data.
  bool device_failed_ = false;
  // When the current run last had a buffer finish (or began): the stalled-device bound.
  uint64_t progress_ms_ = 0;
  SoundStart sound_start_;
};

}  // namespace belvane::bass
