#include "app/clock_thread.h"

#include "app/app_objects.h"
#include "app/bell_worker.h"
#include "app/record_events.h"
#include "runtime/text.h"
#include "ui/ui_task.h"

namespace belvane {

void PostingClockSink::StartRow(int row, const std::string& start_time) {
  PostUiTask(window_.load(), [due_row = handlers_.due_row, row, start_time] {
    if (due_row) due_row(row, start_time);
  });
}

void PostingClockSink::ShowTime(const std::string& clock_text) {
  PostUiTask(window_.load(), [show_time = handlers_.show_time, clock_text] {
    if (show_time) show_time(clock_text);
  });
}

void PostingClockSink::LookAhead(int current_second) {
  if (handlers_.look_ahead) handlers_.look_ahead(current_second);
}

void PostingClockSink::PassedOver(const PassedOverSpan& span) {
  RecordPassedOver(span);
}

ClockThread::ClockThread(ClockSource& clock, const StartTimeLookup& lookup,
                         std::atomic<bool>& running, ClockHandlers handlers)
    : running_(running),
      sink_(std::move(handlers)),
      loop_(clock, sleeper_, lookup, sink_, running) {}

ClockThread::~ClockThread() {
  Stop();
}

bool ClockThread::Start(HWND window) {
  std::lock_guard lock(mutex_);
  // The loop's wait stays cut short once stopped, so a stopped clock is not started again.
  if (started_) return false;
  started_ = true;
  sink_.SetWindow(window);
  running_.store(true);
  if (!thread_.Start([this] { loop_.Run(); })) {
    running_.store(false);
    return false;
  }
  return true;
}

bool ClockThread::Stop(int timeout_ms) {
  loop_.Stop();
  return thread_.Stop(timeout_ms);
}

bool ClockThread::Running() {
  return thread_.Running();
}

int StartDueRow(std::string_view start_time, const Timetable& timetable, ListViewControl& view,
                const TextValue& music_folder, PlaybackControl& playback) {
  // The rows may have changed since the clock looked: ask again, on the thread that changes them.
  const int row = timetable.FirstRowAt(start_time);
  if (row < 0) return -1;
  view.SetCurrentRow(row);
  view.SetFocus();
  // The model's name, not the cell: the missing-file marker is for the eye only, and a file put
  // in the folder since the load should play.
  playback.StartPlayback(ConcatTexts(music_folder, "\\", timetable.Row(row).music_name));
  return row;
}

namespace {

void ShowClockText(const std::string& clock_text) {
  if (HaveAppObjects()) App().clock_label.Caption(TextValue(clock_text));
}

void StartDueRowOfApp(int, const std::string& start_time) {
  // Once closing has been confirmed no row starts, whatever was still queued.
  if (!HaveAppObjects() || !ClockRunning.load()) return;
  AppObjects& app = App();
  const int row =
      StartDueRow(start_time, app.timetable, app.timetable_list, MusicFolderPath(), app.playback);
  RecordScheduledBell(app.timetable, row, start_time, MusicFolderPath());
}

}  // namespace

SharedTimetable& ProcessTimetable() {
  static SharedTimetable* const timetable = new SharedTimetable();
  return *timetable;
}

ClockThread& ProcessClockThread() {
  static SystemClock* const clock = new SystemClock();
  static ClockThread* const thread = new ClockThread(
      *clock, ProcessTimetable(), ClockRunning, {&StartDueRowOfApp, &ShowClockText, [](int second) {
                                                   ProcessBellWorker().LookAhead(second);
                                                 }});
  return *thread;
}

void StopClockAndWatcher() {
  ProcessClockThread().Stop();
  ProcessBellWorker().Stop();
  ProcessPlaybackWatcher().Stop();
}

}  // namespace belvane
