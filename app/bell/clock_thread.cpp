#include "app/bell/clock_thread.h"

#include "app/schedule/bell_preparation.h"
#include "app/schedule/passed_over.h"
#include "runtime/text.h"
#include "ui/ui_task.h"

namespace belvane {

void PostingClockSink::StartRow(int row, const std::string& start_time) {
  Bell bell;
  bell.row = row;
  bell.start_time = start_time;
  bell.second = RingingSecond(start_time);
  PostUiTask(window_.load(), [due_bell = handlers_.due_bell, bell = std::move(bell)]() mutable {
    if (due_bell) due_bell(std::move(bell));
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

void PostingClockSink::DayBegins(int day) {
  if (handlers_.day_begins) handlers_.day_begins(day);
}

ClockThread::ClockThread(ClockSource& clock, const StartTimeLookup& lookup)
    : loop_(clock, sleeper_, lookup, sink_, running_) {}

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

int RowOfBell(const Bell& bell, const Timetable& timetable) {
  if (bell.row >= 0 && bell.row < timetable.Count() &&
      timetable.Row(bell.row).start_time.View() == bell.start_time)
    return bell.row;
  return timetable.FirstRowAt(bell.start_time);
}

int RowOfBell(const Bell& bell, const TimetableSnapshot& rows) {
  if (bell.row >= 0 && bell.row < rows.RowCount() &&
      rows.Row(bell.row).start_time.View() == bell.start_time)
    return bell.row;
  return rows.FirstRowAt(bell.start_time);
}

namespace {

// Plays the file of `entry`, the row `bell.row` of timetable `timetable_name`.
void PlayBell(Bell bell, const TimetableEntry& entry, const std::string& timetable_name,
              const TextValue& music_folder, PlaybackControl& playback, BellStarted started) {
  // The row's name, not the cell: the missing-file marker is for the eye only, and a file put
  // in the folder since the load should play.
  bell.music_name = entry.music_name;
  bell.timetable = timetable_name;
  bell.path = MusicFilePath(music_folder, bell.music_name);
  const TextValue path = bell.path;
  playback.StartPlayback(path, [bell = std::move(bell),
                                started = std::move(started)](const StartOutcome& outcome) mutable {
    bell.outcome = outcome;
    if (started) started(bell);
  });
}

}  // namespace

int StartDueBell(Bell bell, const Timetable& timetable, ListViewControl& view,
                 const TextValue& music_folder, PlaybackControl& playback, BellStarted started) {
  // Asked again on the thread that changes the rows.
  bell.row = RowOfBell(bell, timetable);
  if (bell.row < 0) return -1;
  const int row = bell.row;
  view.SetCurrentRow(bell.row);
  view.SetFocus();
  PlayBell(std::move(bell), timetable.Row(row), timetable.Name().Bytes(), music_folder, playback,
           std::move(started));
  return row;
}

int StartDueBellOf(Bell bell, const TimetableSnapshot& rows, const TextValue& music_folder,
                   PlaybackControl& playback, BellStarted started) {
  bell.row = RowOfBell(bell, rows);
  if (bell.row < 0) return -1;
  const int row = bell.row;
  PlayBell(std::move(bell), rows.Row(row), rows.Name(), music_folder, playback, std::move(started));
  return row;
}

}  // namespace belvane
