#pragma once
// Today's timetable: which one rings today, worked out from the plan (app/schedule/day_plan.h),
// and the snapshot of it the clock reads. The main window shows one timetable to edit; the clock
// rings today's, whichever is shown: the shown model's own snapshots when it is today's (edits
// take effect at once), else today's file as last saved.
//
// A day is worked out once synchronously at start-up, before the clock runs; later on a thread of
// its own: at each change of day (the clock tells it, ClockSink::DayBegins) and when a timetable
// or the plan is saved, created, renamed or deleted. The result comes back to the user-interface
// thread, which publishes it. Tomorrow's snapshot is published ahead, so the clock turns to it at
// midnight by itself, without waiting for any of this.
//
// Thread policy: user-interface thread only, except WorkOutDays (any thread).

#include <windows.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/bell/record_events.h"
#include "app/calendar/wake_timer.h"
#include "app/schedule/day_plan.h"
#include "app/schedule/timetable_snapshot.h"
#include "app/timetable/timetable.h"
#include "runtime/text_value.h"
#include "runtime/worker_pool.h"

namespace belvane {

// A file that working out a day read, or could not read.
struct FileRead {
  std::string file;    // in the program's folder: "Belvane日历.ini", "课表\考试.ini"
  std::string reason;  // why it could not be read for 2 s (the system's reason); empty: read
  bool operator==(const FileRead&) const = default;
};

// What working out a day found: its timetable and the next day's, with their rows read from
// their files (empty rows for a day without bells), and the plan's unreadable lines.
struct DayWork {
  int clock_day = 0;  // ClockReading::day of "today"
  // Whether the plan file exists: without it every day rings 常规, and the record says nothing of
  // days, as before there was a plan.
  bool planned = false;
  DayChoice today;
  DayChoice tomorrow;
  std::shared_ptr<const TimetableSnapshot> today_rows;
  std::shared_ptr<const TimetableSnapshot> tomorrow_rows;
  std::vector<UnreadLine> unread;
  // The plan that decided: the file's, or the last one read when the file cannot be read now.
  std::shared_ptr<const DayPlan> plan;
  // The plan and the timetables read, in that order, each once.
  std::vector<FileRead> reads;
};

// Reads the plan and today's and tomorrow's timetables from the files in `program_dir` (missing
// music marked against `music_folder`). Reads the disk: never on the clock's thread. `loaded`,
// when given, are a timetable's rows just read from its file, taken instead of reading it again.
// `last`, when given, is what was worked out before: a file that cannot be read now is never
// read as empty, what `last` read of it stands in (its plan; a timetable's rows when it read
// that timetable); without it, the empty plan or no rows.
DayWork WorkOutDays(const TextValue& program_dir, const TextValue& music_folder, int clock_day,
                    const std::shared_ptr<const TimetableSnapshot>& loaded = nullptr,
                    const DayWork* last = nullptr);

// Of `reads`, the files that could not be read and have not been told since they were last read
// (`told`, updated: the files told and not read since). Each is told once, not at every reading.
std::vector<FileRead> UnreadableToTell(std::set<std::string>& told,
                                       const std::vector<FileRead>& reads);

class TodaysTimetable {
 public:
  // All borrowed: `published` is what the clock reads, `shown` the main window's model, `record`
  // the bell record its lines go to (none: nothing is recorded), `wake` the timer that wakes the
  // computer for the next bell (none: it is not woken). The timer must outlive the work threads.
  TodaysTimetable(SharedTimetable& published, Timetable& shown, BellRecord* record = nullptr,
                  WakeTimer* wake = nullptr);
  ~TodaysTimetable();
  TodaysTimetable(const TodaysTimetable&) = delete;
  TodaysTimetable& operator=(const TodaysTimetable&) = delete;

  // Start-up, before the clock runs: works `clock_day` out at once and publishes it; from then
  // on results are posted to `window`. Returns what was found, for the start-up's record lines.
  // `shown_as_read`: the shown model holds its file's rows (false when it could not be read).
  const DayWork& Start(HWND window, const TextValue& program_dir, const TextValue& music_folder,
                       int clock_day, bool shown_as_read = true);
  // Records each file the last working out could not read, once until it is read again (at
  // start-up once the record runs; after that with each result).
  void RecordUnreadable();
  // Works today out again, off this thread; `plan`: the plan changed, its unreadable lines are
  // recorded again.
  void FilesChanged(bool plan);
  // The shown model's name changed (another timetable shown).
  void ShownChanged();
  // The clock reached `clock_day` (TellDayBegins has swapped in the rows kept ahead): the new day
  // is worked out and recorded.
  void DayBegan(int clock_day);
  // Ends the work under way (bounded wait); the exit hook.
  void Stop();

  const DayChoice& Today() const { return work_.today; }
  // Whether the model's rows are today's: the clock rings them as they are edited.
  bool ShownIsToday() const;
  // Called with each new answer for today (the main window's line).
  void SetTodayShown(std::function<void()> shown) { today_shown_ = std::move(shown); }

  // Works out the next wake (app/schedule/wake_time.h) off this thread, from what rings today
  // and the plan, and arms the timer for it. Done with every new answer for today, and called
  // when a bell has rung (`delay_ms` later, clear of its first sound) and after a resume. When the
  // power plan forbids wake timers the record says so once.
  void RearmWake(int delay_ms = 0);
  // Called with the window's words for each new wake: "下次唤醒 07:59:00",
  // kWakeForbiddenText, or empty (no bell within the days looked at, or no timer).
  void SetWakeShown(std::function<void(const std::string&)> shown) {
    wake_shown_ = std::move(shown);
  }

 private:
  enum class Record { kNothing, kToday, kTodayAndPlan };
  void Request(int clock_day, Record record);
  void Apply(DayWork work, Record record);
  void Publish();
  void ModelChanged(const std::shared_ptr<const TimetableSnapshot>& rows);
  bool TomorrowIsShown() const;

  SharedTimetable& published_;
  Timetable& shown_;
  BellRecord* const record_;
  WakeTimer* const wake_;
  HWND window_ = nullptr;
  TextValue program_dir_;
  TextValue music_folder_;
  DayWork work_;
  int requested_day_ = 0;  // the day of the latest request
  std::function<void()> today_shown_;
  std::function<void(const std::string&)> wake_shown_;
  std::uint64_t wake_requests_ = 0;  // numbers the answers handed to WakeTimer::Arm
  bool forbidden_told_ = false;      // the record has said wake timers are forbidden
  // Requests are numbered; a result that a later request has overtaken is dropped, and every
  // result once this object is gone (kGone).
  static constexpr int kGone = -1;
  std::shared_ptr<std::atomic<int>> latest_ = std::make_shared<std::atomic<int>>(0);
  std::set<std::string> told_unreadable_;  // UnreadableToTell's
  WorkerPool workers_;
};

// What the window and the record say when the power plan forbids wake timers.
inline constexpr const char* kWakeForbiddenText = "电源设置不允许定时唤醒";

// The main window's line for today: "今日：考试（日期 2027-06-07）", "今日：常规（周三）",
// "今日停铃：元旦", "今日考试 2 场：语文 09:00~11:30; 数学 15:00~17:00".
std::string TodayLineText(const DayChoice& choice);

// The clock's day count of the local date now.
int TodaysClockDay();

}  // namespace belvane
