#pragma once
// The clock in the program: the clock thread that runs the clock loop over the published
// timetable snapshot and hands what it finds on. Everything here runs on that thread, apart from
// starting and stopping it; what the window does with a due bell is app/bell/bell_start.h.
//
// Thread policy: the clock thread touches no window object and not the timetable model. It
// reads the latest snapshot (app/schedule/timetable_snapshot.h) and posts each finding to the
// main window's thread as a task (ui/ui_task.h); there the time is shown, and a due bell's row
// is checked again in the model (the rows may have changed since) and started.
// Posting, never sending, is what lets the user-interface thread wait for the clock to end.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "app/bell/bell.h"
#include "app/schedule/clock_loop.h"
#include "app/schedule/timetable_snapshot.h"
#include "runtime/worker_thread.h"

namespace belvane {

// What is done with the clock's findings: due_bell and show_time run on the user-interface
// thread, the others on the clock thread.
struct ClockHandlers {
  // A bell was due when the clock looked: its row, start time and second.
  std::function<void(Bell bell)> due_bell;
  // The clock label's new text, "HH:MM:SS".
  std::function<void(const std::string& clock_text)> show_time;
  // Run on the clock thread itself, not posted: the second just checked, for the bell worker
  // to look ahead from. Must only hand work on.
  std::function<void(int current_second)> look_ahead;
  // Also run on the clock thread: rows the clock went past without ringing them, for the bell
  // record. Must only hand work on.
  std::function<void(const PassedOverSpan& span)> passed_over;
  // Also run on the clock thread: the clock reached another day (ClockSink::DayBegins).
  std::function<void(int day)> day_begins;
};

// The clock loop's sink that posts each finding to a window's thread, to run its handler there.
class PostingClockSink final : public ClockSink {
 public:
  // Before the clock thread starts: where its findings go.
  void SetTarget(HWND window, ClockHandlers handlers) {
    window_.store(window);
    handlers_ = std::move(handlers);
  }
  void StartRow(int row, const std::string& start_time) override;
  void ShowTime(const std::string& clock_text) override;
  void LookAhead(int current_second) override;
  void PassedOver(const PassedOverSpan& span) override;
  void DayBegins(int day) override;

 private:
  ClockHandlers handlers_;
  std::atomic<HWND> window_{nullptr};
};

// The clock thread: a ClockLoop over a clock source and the start-time lookup, posting to a
// window. Start from the user-interface thread; Stop and Running from any thread.
class ClockThread {
 public:
  // Both borrowed.
  ClockThread(ClockSource& clock, const StartTimeLookup& lookup);
  ~ClockThread();
  ClockThread(const ClockThread&) = delete;
  ClockThread& operator=(const ClockThread&) = delete;

  // Sets the running flag and starts the thread, posting its findings to `window` to run
  // `handlers` there; false when it has been started before (a clock is started once) or no
  // thread could be started.
  bool Start(HWND window, ClockHandlers handlers);
  // Clears the running flag, cuts the loop's wait short and waits up to `timeout_ms` for the
  // thread; true when it has ended. Called on the clock thread itself it does not wait.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // Whether the thread has been started and has not ended or been stopped.
  bool Running();
  // Whether the clock may still ring: started, and not told to stop. Turns false the moment
  // Stop is called, so that a bell still queued for the window is not started after it.
  bool Ringing() const { return running_.load(); }

 private:
  std::atomic<bool> running_{false};
  std::mutex mutex_;  // guards started_
  EventSleeper sleeper_;
  PostingClockSink sink_;
  ClockLoop loop_;
  WorkerThread thread_;
  bool started_ = false;
};

}  // namespace belvane
