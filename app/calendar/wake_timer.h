#pragma once
// The platform's side of waking the computer for a bell: a waitable timer set with resume, so
// the system leaves sleep or hibernation at the wake time (app/schedule/wake_time.h), and what
// the power plan says of such timers.
//
// Thread policy: every method is safe from any thread (one mutex, never held while waiting);
// arming is done off the user-interface thread and off the clock's path.

#include <cstdint>
#include <mutex>
#include <optional>

#include "app/schedule/wake_time.h"
#include "runtime/handles.h"

namespace belvane {

class WakeTimer {
 public:
  // Makes the timer (manual reset: it stays signalled once it has fired, until armed again).
  WakeTimer();
  WakeTimer(const WakeTimer&) = delete;
  WakeTimer& operator=(const WakeTimer&) = delete;

  // Arms the timer for `wake` (nothing: cancels it) as answer number `number`; an answer older
  // than the last one armed is dropped (answers are worked out on threads that may finish out of
  // order), and the same time is not armed twice. True when the timer is armed for `wake`.
  bool Arm(std::uint64_t number, const std::optional<WakeTime>& wake);
  // The wake armed last; nothing when none.
  std::optional<WakeTime> Armed();
  // Whether the timer is what woke the computer just now (`now`: clock seconds as WakeTime
  // counts them): it has fired, and its time lies in the few minutes before `now`.
  bool WokeAt(std::int64_t now);
  // A sign of a resume (the system's power message, or the clock seen to jump) at `tick_ms`
  // (GetTickCount64): true for the first sign of a resume; the signs that follow it within
  // kSameResumeMs are of the same resume.
  bool FirstSignOfResume(std::uint64_t tick_ms);
  static constexpr std::uint64_t kSameResumeMs = 60000;

 private:
  std::mutex mutex_;  // guards what follows
  OwnedKernelHandle timer_;
  std::uint64_t number_ = 0;
  std::optional<WakeTime> armed_;
  std::optional<std::uint64_t> resumed_at_;  // the tick of the last resume's first sign
};

// Whether the active power plan forbids wake timers (on mains power); false when the platform
// cannot say (the power functions are bound late and may be missing).
bool WakeTimersForbidden();

// The clock's seconds of the local time now, as WakeTime counts them.
std::int64_t LocalClockSecondNow();

}  // namespace belvane
