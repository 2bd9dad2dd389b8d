#pragma once
// The clock in the program: the start-time index kept in step with the timetable, the clock
// thread that runs the clock loop, and what the user-interface thread does with what that
// thread finds.
//
// Thread policy: the clock thread touches no window object and no timetable row. It reads the
// start-time index (which locks itself) and posts the due start time and the clock text to the
// main window; the user-interface thread shows the time, checks the due time against the index
// again (the rows may have changed since) and starts the row. Posting, never sending, is what
// lets the user-interface thread wait for the clock thread to end.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "app/playback.h"
#include "app/schedule/clock_loop.h"
#include "app/schedule/start_time_index.h"
#include "app/timetable_rows.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

// Posted by the clock thread: wParam = the clock text, packed (PackClockText).
inline constexpr UINT kClockTimeMessage = WM_APP + 0x101;
// Posted by the clock thread: wParam = the due start-time text, packed; lParam = the row the
// clock found it at (a hint only: the receiver looks the text up again).
inline constexpr UINT kClockRowMessage = WM_APP + 0x102;

// A text of up to eight bytes carried in one message parameter (a clock text is exactly eight),
// and back. A longer text packs as its first eight bytes.
WPARAM PackClockText(std::string_view text);
std::string UnpackClockText(WPARAM packed);

// Keeps a start-time index in step with the timetable's rows (load, insert, delete).
class StartTimeKeeper final : public TimetableObserver {
 public:
  explicit StartTimeKeeper(StartTimeIndex& index) : index_(index) {}
  void OnRowsLoaded(const TimetableRows& rows, std::span<const TimetableEntry> loaded) override;
  void OnRowInserted(const TimetableRows& rows, int row) override;
  void OnRowDeleted(const TimetableRows& rows, int row) override;

 private:
  StartTimeIndex& index_;
};

// The clock loop's sink that posts each outcome to a window.
class PostingClockSink final : public ClockSink {
 public:
  explicit PostingClockSink(HWND window = nullptr) : window_(window) {}
  void SetWindow(HWND window) { window_.store(window); }
  void StartRow(int row, const std::string& start_time) override;
  void ShowTime(const std::string& clock_text) override;

 private:
  std::atomic<HWND> window_;
};

// The clock thread: RunClock, a ClockLoop over a clock source and the start-time lookup,
// posting to a window. Start from the user-interface thread; Stop and Running from any thread.
class ClockThread {
 public:
  // Everything is borrowed; `running` is the ClockRunning flag.
  ClockThread(ClockSource& clock, const StartTimeLookup& lookup, std::atomic<bool>& running);
  ~ClockThread();
  ClockThread(const ClockThread&) = delete;
  ClockThread& operator=(const ClockThread&) = delete;

  // Sets the running flag and starts the thread, posting to `window`; false when it has been
  // started before (a clock is started once) or no thread could be started.
  bool Start(HWND window);
  // Clears the running flag, cuts the loop's wait short and waits up to `timeout_ms` for the
  // thread; true when it has ended. Called on the clock thread itself it does not wait.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // Whether the thread has been started and not yet stopped.
  bool Running();

 private:
  static void RunClock(std::intptr_t self);

  std::atomic<bool>& running_;
  // Stop may come from an exit that began on another thread than the user-interface thread.
  std::mutex mutex_;
  EventSleeper sleeper_;
  PostingClockSink sink_;
  ClockLoop loop_;
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
  bool started_ = false;
};

// A due start time reaches the user-interface thread: the first row that holds it now is made
// current and focused and its file (folder + "\" + the row's stored music name) played.
// Returns that row; -1 when no row holds the time any more.
int StartDueRow(std::string_view start_time, const StartTimeLookup& index, TimetableRows& rows,
                ListViewControl& view, const TextValue& music_folder, PlaybackControl& playback);

// The process's start-time index and clock thread (over the system clock and ClockRunning).
// Never destroyed: a clock thread that outlived its bounded wait at exit still finds them.
StartTimeIndex& ProcessStartTimes();
ClockThread& ProcessClockThread();

// The play button's click handler over the application's objects (user-interface thread).
void TogglePlay();

// The main window's hook for the clock's and the watcher's messages (user-interface thread).
LRESULT ClockMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Stops the clock thread and the playback watcher, each with a bounded wait; safe to call
// twice and from the clock thread itself.
void StopClockAndWatcher();

}  // namespace belvane
