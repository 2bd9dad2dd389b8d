#include "app/clock.h"

#include <cstring>
#include <vector>

#include "app/app_objects.h"
#include "app/timetable_rules.h"
#include "runtime/text.h"
#include "runtime/threads.h"

namespace belvane {

WPARAM PackClockText(std::string_view text) {
  static_assert(sizeof(WPARAM) == 8, "a clock text travels in one 64-bit message parameter");
  WPARAM packed = 0;
  std::memcpy(&packed, text.data(), text.size() < 8 ? text.size() : 8);
  return packed;
}

std::string UnpackClockText(WPARAM packed) {
  char bytes[8];
  std::memcpy(bytes, &packed, 8);
  return std::string(bytes, strnlen(bytes, 8));
}

void StartTimeKeeper::OnRowsLoaded(const TimetableRows&, std::span<const TimetableEntry> loaded) {
  std::vector<TextValue> texts;
  texts.reserve(loaded.size());
  for (const TimetableEntry& entry : loaded) texts.push_back(entry.start_time);
  index_.Load(texts);
}

void StartTimeKeeper::OnRowInserted(const TimetableRows& rows, int row) {
  index_.Insert(row, rows.Cell(row, kStartTimeColumn).View());
}

void StartTimeKeeper::OnRowDeleted(const TimetableRows&, int row) {
  index_.Erase(row);
}

void PostingClockSink::StartRow(int row, const std::string& start_time) {
  PostMessageA(window_.load(), kClockRowMessage, PackClockText(start_time), row);
}

void PostingClockSink::ShowTime(const std::string& clock_text) {
  PostMessageA(window_.load(), kClockTimeMessage, PackClockText(clock_text), 0);
}

ClockThread::ClockThread(ClockSource& clock, const StartTimeLookup& lookup,
                         std::atomic<bool>& running)
    : running_(running), loop_(clock, sleeper_, lookup, sink_, running) {}

ClockThread::~ClockThread() {
  Stop();
}

void ClockThread::RunClock(std::intptr_t self) {
  reinterpret_cast<ClockThread*>(self)->loop_.Run();
}

bool ClockThread::Start(HWND window) {
  std::lock_guard lock(mutex_);
  // The loop's wait stays cut short once stopped, so a stopped clock is not started again.
  if (started_) return false;
  started_ = true;
  sink_.SetWindow(window);
  running_.store(true);
  HANDLE thread = nullptr;
  if (!StartThread(&RunClock, reinterpret_cast<std::intptr_t>(this), &thread)) {
    running_.store(false);
    return false;
  }
  thread_ = thread;
  thread_id_ = GetThreadId(thread);
  return true;
}

bool ClockThread::Stop(int timeout_ms) {
  loop_.Stop();
  std::lock_guard lock(mutex_);
  if (thread_ == nullptr) return true;
  // The clock thread itself (an exit that began there) cannot wait for its own end.
  if (GetCurrentThreadId() == thread_id_) return false;
  const bool ended = WaitForSingleObject(thread_, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
  CloseThreadHandle(thread_);
  thread_ = nullptr;
  thread_id_ = 0;
  return ended;
}

bool ClockThread::Running() {
  std::lock_guard lock(mutex_);
  return thread_ != nullptr;
}

int StartDueRow(std::string_view start_time, const StartTimeLookup& index, TimetableRows& rows,
                ListViewControl& view, const TextValue& music_folder, PlaybackControl& playback) {
  // The rows may have changed since the clock looked: ask again, on the thread that changes them.
  const int row = index.FirstRowAt(start_time);
  if (row < 0) return -1;
  view.SetCurrentRow(row);
  view.SetFocus();
  // The stored name, not the cell: the missing-file marker is for the eye only, and a file put
  // in the folder since the load should play.
  playback.StartPlayback(ConcatTexts(music_folder, "\\", rows.StoredMusicName(row)));
  return row;
}

StartTimeIndex& ProcessStartTimes() {
  static StartTimeIndex* const index = new StartTimeIndex();
  return *index;
}

ClockThread& ProcessClockThread() {
  static SystemClock* const clock = new SystemClock();
  static ClockThread* const thread = new ClockThread(*clock, ProcessStartTimes(), ClockRunning);
  return *thread;
}

void TogglePlay() {
  AppObjects& app = App();
  app.playback.TogglePlay(app.music_list, MusicFolderPath());
}

LRESULT ClockMessageHook(HWND, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case kClockTimeMessage:
      if (HaveAppObjects()) App().clock_label.Caption(TextValue(UnpackClockText(wparam)));
      return 1;
    case kClockRowMessage:
      // Once closing has been confirmed no row starts, whatever was still queued.
      if (HaveAppObjects() && ClockRunning.load()) {
        AppObjects& app = App();
        StartDueRow(UnpackClockText(wparam), ProcessStartTimes(), app.rows, app.timetable_view,
                    MusicFolderPath(), app.playback);
      }
      return 1;
    case kPlaybackEndedMessage:
      if (HaveAppObjects()) App().playback.OnPlaybackEnded(static_cast<std::uintptr_t>(wparam));
      return 1;
    default:
      return 0;
  }
}

void StopClockAndWatcher() {
  ProcessClockThread().Stop();
  ProcessPlaybackWatcher().Stop();
}

}  // namespace belvane
