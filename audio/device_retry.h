#pragma once
// When the player tries the output device again. A school PC often boots before its speakers or
// its audio service are ready, and USB speakers come and go; after start-up's one box the
// player keeps trying by itself, quietly:
// - before each playback, while no device is initialised (never before the first attempt, which
//   start-up makes);
// - in the background, every kDeviceRetryIntervalMs after the last attempt, while no device is
//   initialised;
// - when a playback fails because of the device (IsDeviceError), the output is freed and
//   initialised again on the current default device at once.
// A device that fails under a playing stream ends it quietly; the playback watcher hears it
// from the library (EndedForTheDevice) and tells the loss then, not hours later at the next
// bell, whose start then initialises again as above or simply sounds on a working device.
// The plan also tells when the device went missing and when it came back, once each way: the
// bell record writes a line for each, never one per failed retry.
//
// DeviceRetryPlan is the decision alone, with time given by the caller (milliseconds of any
// steady clock). DeviceRetryThread is the background half: a thread of its own that never
// touches a window and is not on the clock's path to a bell.
//
// Thread policy: a DeviceRetryPlan is plain data, guarded by its owner. DeviceRetryThread's
// methods are safe from any thread; its step runs on its own thread.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "runtime/handles.h"
#include "runtime/worker_thread.h"

namespace belvane {

inline constexpr std::int64_t kDeviceRetryIntervalMs = 10000;

// Whether a failed library call's error code says the output device is missing or broken (as
// opposed to the file or the stream): the one rule for both the retry and the bell record's
// "无音频设备".
bool IsDeviceError(int error);

// Whether a watched stream's state (BASS_ChannelIsActive) and the library's error right after it
// say the stream stopped because its device failed, not because it played to its end.
bool EndedForTheDevice(int state, int error);

class DeviceRetryPlan {
 public:
  enum class Status {
    kUntried,  // no attempt yet
    kReady,    // the last attempt initialised a device
    kMissing,  // the last attempt failed: no device is initialised
  };

  // Whether the device went missing or came back.
  enum class Change { kNone, kLost, kBack };

  // Records an attempt to initialise the output and its result: kLost for the first failure
  // since a device was last there (or the first attempt of all), kBack for the first success
  // after one was missing.
  Change Attempted(bool initialised, std::int64_t now_ms) {
    status_ = initialised ? Status::kReady : Status::kMissing;
    last_attempt_ms_ = now_ms;
    return Absent(!initialised);
  }
  // A playback failed because of the device while one was initialised: kLost unless it was
  // already told. The retry that follows is an Attempted of its own.
  Change PlaybackLostDevice() { return Absent(true); }
  // A playback started on the initialised device: kBack when it was told lost (a stream's
  // device failed, and the library found a working one for the next start by itself).
  Change PlaybackStarted() { return status_ == Status::kReady ? Absent(false) : Change::kNone; }
  Status status() const { return status_; }

  // Whether a playback about to start should try to initialise the output first.
  bool RetryBeforePlayback() const { return status_ == Status::kMissing; }
  // Milliseconds until the background retry is due (0: now), or -1 while none is due (a device
  // is initialised, or nothing was tried yet).
  std::int64_t BackgroundDueInMs(std::int64_t now_ms) const;

 private:
  Change Absent(bool absent) {
    if (absent == absent_) return Change::kNone;
    absent_ = absent;
    return absent ? Change::kLost : Change::kBack;
  }

  Status status_ = Status::kUntried;
  std::int64_t last_attempt_ms_ = 0;
  bool absent_ = false;  // told as lost and not yet as back
};

// A thread that runs `step` whenever it is due. `step(now_ms)` makes an attempt if one is due
// and returns the milliseconds until it next wants to run, or -1 for "not until woken". The
// step runs once at the start. What the step borrows must outlive a step in progress (the
// process's player is never destroyed).
class DeviceRetryThread {
 public:
  using Step = std::function<std::int64_t(std::int64_t now_ms)>;
  // Starts the thread; Running() tells whether one could be started.
  explicit DeviceRetryThread(Step step);
  // Stops the thread and waits for it with a bounded wait (a step in progress completes first
  // within it); a thread that outlives the wait keeps its share of the state and runs no
  // further step.
  ~DeviceRetryThread();
  DeviceRetryThread(const DeviceRetryThread&) = delete;
  DeviceRetryThread& operator=(const DeviceRetryThread&) = delete;

  // Makes the thread look again now (its due time may have changed).
  void Wake();
  bool Running() { return thread_.Running(); }

 private:
  // What the thread shares with its owner.
  struct State {
    Step step;
    OwnedKernelHandle wake;  // auto-reset
    std::atomic<bool> quit{false};
  };
  static void Run(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  WorkerThread thread_;
};

}  // namespace belvane
