#include "app/clock_thread.h"

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
  if (handlers_.passed_over) handlers_.passed_over(span);
}

ClockThread::ClockThread(ClockSource& clock, const StartTimeLookup& lookup,
                         std::atomic<bool>& running)
    : running_(running), loop_(clock, sleeper_, lookup, sink_, running) {}

ClockThread::~ClockThread() {
  Stop();
}

bool ClockThread::Start(HWND window, ClockHandlers handlers) {
  std::lock_guard lock(mutex_);
  // The loop's wait stays cut short once stopped, so a stopped clock is not started again.
  if (started_) return false;
  started_ = true;
  sink_.SetTarget(window, std::move(handlers));
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

}  // namespace belvane
