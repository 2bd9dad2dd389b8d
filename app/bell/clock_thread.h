#pragma once
// The clock in the program: the clock thread that runs the clock loop over the published
// timetable snapshot, and what the user-interface thread does with what that thread finds.
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
#include <string_view>

#include "app/bell/bell.h"
#include "app/bell/playback.h"
#include "app/schedule/clock_loop.h"
#include "app/schedule/timetable_snapshot.h"
#include "app/timetable/timetable.h"
#include "runtime/worker_thread.h"
#include "ui/controls/list_view_control.h"

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

// The row of `timetable` that `bell` rings for now: the row the clock found while it still holds
// the bell's start time, else the first row that holds it (the rows may have changed since the
// clock looked); -1 when none does.
int RowOfBell(const Bell& bell, const Timetable& timetable);

// The row of `rows` that `bell` rings for, as RowOfBell does for the model.
int RowOfBell(const Bell& bell, const TimetableSnapshot& rows);

// Hears a started bell, its outcome filled in, on the thread that made the start.
using BellStarted = std::function<void(const Bell& bell)>;

// A due bell reaches the user-interface thread: its row (RowOfBell) is made current and
// focused in `view`, and its file (MusicFilePath of `music_folder` and the row's music name)
// played; `started` then hears the bell, its row, music name, path and outcome filled in.
// Returns the row; -1 when no row holds the bell's time any more (nothing is started).
int StartDueBell(Bell bell, const Timetable& timetable, ListViewControl& view,
                 const TextValue& music_folder, PlaybackControl& playback, BellStarted started);
// A due bell of a timetable the window does not show (today's, read from its file): as
// StartDueBell, from `rows`, with no row made current.
int StartDueBellOf(Bell bell, const TimetableSnapshot& rows, const TextValue& music_folder,
                   PlaybackControl& playback, BellStarted started);

}  // namespace belvane
