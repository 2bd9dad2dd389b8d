#pragma once
// The clock loop: what the clock thread runs. Each cycle reads the local time once, starts the
// row the planner chooses, shows the time, then waits until just after the next wall-clock second
// begins, so no second is skipped by drift. The clock, the wait and what a cycle does with its
// result are injected, so the loop runs against a simulated clock in tests and benchmarks.
//
// Thread policy: Run, RunCycle, LastChecked and Stats on the clock thread only (or after it has
// ended); Stop from any thread (it is how the user-interface thread ends the loop before
// closing). The sinks are called on the clock thread.

#include <atomic>
#include <cstdint>
#include <string>

#include "app/schedule/clock_planner.h"
#include "app/schedule/passed_over.h"
#include "runtime/handles.h"

namespace belvane {

// Reads the local time of day with milliseconds.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // One reading of the local time.
  virtual ClockReading Now() = 0;
};

// The platform's local clock (GetLocalTime).
class SystemClock final : public ClockSource {
 public:
  ClockReading Now() override;
};

// A wait that another thread can cut short.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Waits up to `milliseconds`, less when Interrupt has been called (before or during the wait).
  virtual void Wait(int milliseconds) = 0;
  // Ends the current wait and every later one at once; safe from any thread.
  virtual void Interrupt() = 0;
  // As Wait, but ending within about a millisecond of the time asked: the wait before a due
  // second. Only its last moments use the finer timer, so an idle clock costs what it did.
  virtual void WaitPrecise(int milliseconds) { Wait(milliseconds); }
};

// The real wait: a manual-reset event waited on with a relative timeout, so setting the system
// clock during a wait neither lengthens nor shortens it. Interruption is sticky (the event stays
// set), so a Stop that lands between the running-flag check and the wait is not lost. Should the
// event not be created, waits fall back to a plain Sleep (correct, but not cut short).
//
// WaitPrecise waits coarsely until kPreciseWindowMs before the end, then on a high-resolution
// waitable timer where the platform has one, else on an ordinary one with the system timer
// resolution raised to 1 ms for that window only, and spins through the last kSpinMs.
class EventSleeper final : public Sleeper {
 public:
  // The last part of a precise wait that runs on the finer timer.
  static constexpr int kPreciseWindowMs = 40;
  // Of that, the very end that is spun rather than slept.
  static constexpr double kSpinMs = 2.0;

  EventSleeper();
  EventSleeper(const EventSleeper&) = delete;
  EventSleeper& operator=(const EventSleeper&) = delete;

  void Wait(int milliseconds) override;
  void Interrupt() override;
  void WaitPrecise(int milliseconds) override;

 private:
  OwnedKernelHandle event_;  // holds nothing when it could not be created
  OwnedKernelHandle timer_;  // made on the first precise wait; nothing when none could be
  bool timer_high_resolution_ = false;
  bool timer_tried_ = false;
};

// What the loop does with a cycle's outcome; the application carries it to the window. Post to
// the user-interface thread rather than send: a sink that waits on that thread deadlocks with a
// user-interface thread that is waiting for the clock thread to end.
class ClockSink {
 public:
  virtual ~ClockSink() = default;
  // Row `row` is due; `start_time` is the text it was found under, so a receiver on another
  // thread can check that the row still holds it (the list may have changed since).
  virtual void StartRow(int row, const std::string& start_time) = 0;
  // The clock label's text, "HH:MM:SS"; called when it changes.
  virtual void ShowTime(const std::string& clock_text) = 0;
  // Every cycle that checked a second, after the start: the second now current, so that the
  // next bell can be made ready ahead of its second. Runs on the clock thread: hand work on.
  virtual void LookAhead(int /*current_second*/) {}
  // Seconds this cycle went past without ringing them (passed_over.h); called after StartRow.
  virtual void PassedOver(const PassedOverSpan&) {}
  // The clock reads a day other than the one it last told (its first cycle, midnight, a clock
  // set to another date), before it looks up any second of it. Runs on the clock thread: it may
  // only swap what is ready and hand work on.
  virtual void DayBegins(int /*day*/) {}
};

// Counts over a run, for tests and benchmarks.
struct ClockStats {
  std::int64_t cycles = 0;
  std::int64_t seconds_checked = 0;  // over every cycle
  std::int64_t due_seconds = 0;      // checked seconds that had a row
  std::int64_t rows_started = 0;     // one a cycle at most; due_seconds - rows_started superseded
  std::int64_t catch_up_cycles = 0;  // cycles that checked more than one second
  std::int64_t jumps = 0;            // cycles that found the clock moved beyond the bound or back
};

class ClockLoop {
 public:
  // Everything given is borrowed and must outlive the loop. `running` is its owner's flag
  // (the clock thread's): the loop runs while it is true.
  ClockLoop(ClockSource& clock, Sleeper& sleeper, const StartTimeLookup& lookup, ClockSink& sink,
            std::atomic<bool>& running);
  ClockLoop(const ClockLoop&) = delete;
  ClockLoop& operator=(const ClockLoop&) = delete;

  // Runs cycles until the running flag is false; returns within one cycle's work of Stop.
  void Run();
  // One cycle: read, plan, start, show; returns the milliseconds to wait before the next one.
  int RunCycle();
  // Whether the wait after the last cycle ends at a second that has a row (a precise wait).
  bool NextWaitPrecise() const { return next_wait_precise_; }
  // Clears the running flag and cuts the current wait short; safe from any thread. Clearing the
  // flag alone also ends the loop, but only after the current wait (up to about a second).
  void Stop();

  // Last second of the day checked; kNoSecondChecked before the first cycle.
  int LastChecked() const { return last_checked_; }
  const ClockStats& Stats() const { return stats_; }

 private:
  ClockSource& clock_;
  Sleeper& sleeper_;
  const StartTimeLookup& lookup_;
  ClockSink& sink_;
  std::atomic<bool>& running_;
  int last_checked_ = kNoSecondChecked;
  bool next_wait_precise_ = false;
  int last_day_ = 0;
  int told_day_ = 0;  // the last day given to DayBegins
  std::string shown_;
  ClockStats stats_;
};

}  // namespace belvane
