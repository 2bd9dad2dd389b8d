#include "app/calendar/today.h"

#include <algorithm>

#include "app/bell/record_events.h"
#include "app/schedule/clock_planner.h"
#include "app/schedule/wake_time.h"
#include "app/schedule/bell_preparation.h"
#include "app/schedule/exam_rows.h"
#include "app/timetable/timetable_library.h"
#include "runtime/files.h"
#include "ui/ui_task.h"

namespace belvane {

namespace {

// The rows a choice rings: its timetable's file as last saved, or none on a day without bells.
// A file that cannot be read is added to `reads` with its reason, and what `last` read of that
// timetable rings instead.
std::shared_ptr<const TimetableSnapshot> RowsOf(const DayChoice& choice,
                                                const TextValue& program_dir,
                                                const TextValue& music_folder, const DayWork* last,
                                                std::vector<FileRead>& reads) {
  if (choice.quiet)
    return std::make_shared<const TimetableSnapshot>(std::vector<TimetableEntry>{}, kQuietValue);
  TimetableFileRead read = ReadNamedTimetable(program_dir, choice.name, music_folder);
  reads.push_back({TimetableFileName(choice.name), read.problem});
  if (!read.problem.empty() && last) {
    for (const auto& rows : {last->today_rows, last->tomorrow_rows}) {
      // An exam day's rows are no timetable's, whatever their name: each carries its source.
      if (rows && rows->Name() == choice.name &&
          !(rows->RowCount() > 0 && !rows->Row(0).source.empty()))
        return rows;
    }
  }
  return std::make_shared<const TimetableSnapshot>(std::move(read.rows), choice.name);
}

// The rows a date rings: its sessions' (with its timetable's on 同时打课表), else its timetable's.
std::shared_ptr<const TimetableSnapshot> DayRowsOf(const DayChoice& choice, const DayPlan& plan,
                                                   int clock_day, const TextValue& program_dir,
                                                   const TextValue& music_folder,
                                                   const DayWork* last,
                                                   std::vector<FileRead>& reads) {
  if (choice.exams.empty()) return RowsOf(choice, program_dir, music_folder, last, reads);
  std::vector<TimetableEntry> timetable;
  if (choice.with_timetable && !choice.quiet) {
    const auto rows = RowsOf(choice, program_dir, music_folder, last, reads);
    for (int row = 0; row < rows->RowCount(); ++row) timetable.push_back(rows->Row(row));
  }
  const ExamDay day = WorkOutExamDay(plan.exams, DateOfClockDay(clock_day));
  return std::make_shared<const TimetableSnapshot>(
      ExamDayRows(day, timetable, choice.name,
                  [&music_folder](std::string_view music) {
                    return FileExists(MusicFilePath(music_folder, TextValue(music)));
                  }),
      kExamRowsName);
}

}  // namespace

DayWork WorkOutDays(const TextValue& program_dir, const TextValue& music_folder, int clock_day,
                    const std::shared_ptr<const TimetableSnapshot>& loaded, const DayWork* last) {
  DayWork work;
  work.clock_day = clock_day;
  PlanFileRead read = ReadPlanFile(program_dir);
  work.planned = read.exists;
  if (read.exists) work.reads.push_back({kPlanFileName, read.problem});
  // Read as empty, an unreadable plan would ring 常规 on every holiday.
  work.plan = !read.problem.empty() && last && last->plan
                  ? last->plan
                  : std::make_shared<const DayPlan>(std::move(read.plan));
  work.today = ResolveDay(*work.plan, DateOfClockDay(clock_day));
  work.tomorrow = ResolveDay(*work.plan, DateOfClockDay(clock_day + 1));
  work.today_rows =
      loaded && !work.today.quiet && work.today.exams.empty() && loaded->Name() == work.today.name
          ? loaded
          : DayRowsOf(work.today, *work.plan, clock_day, program_dir, music_folder, last,
                      work.reads);
  // Most days ring what the day before rang: read once.
  const bool same = work.tomorrow.quiet == work.today.quiet &&
                    work.tomorrow.name == work.today.name && work.today.exams.empty() &&
                    work.tomorrow.exams.empty();
  work.tomorrow_rows = same ? work.today_rows
                            : DayRowsOf(work.tomorrow, *work.plan, clock_day + 1, program_dir,
                                        music_folder, last, work.reads);
  work.unread = work.plan->unread;
  return work;
}

std::vector<FileRead> UnreadableToTell(std::set<std::string>& told,
                                       const std::vector<FileRead>& reads) {
  std::vector<FileRead> tell;
  for (const FileRead& read : reads) {
    if (read.reason.empty()) {
      told.erase(read.file);
    } else if (told.insert(read.file).second) {
      tell.push_back(read);
    }
  }
  return tell;
}

TodaysTimetable::TodaysTimetable(SharedTimetable& published, Timetable& shown, BellRecord* record,
                                 WakeTimer* wake)
    : published_(published), shown_(shown), record_(record), wake_(wake) {}

TodaysTimetable::~TodaysTimetable() {
  latest_->store(kGone);
  shown_.SetSnapshotObserver({});
}

const DayWork& TodaysTimetable::Start(HWND window, const TextValue& program_dir,
                                      const TextValue& music_folder, int clock_day,
                                      bool shown_as_read) {
  window_ = window;
  program_dir_ = program_dir;
  music_folder_ = music_folder;
  // The shown timetable was read from its file a moment ago: not read again.
  work_ = WorkOutDays(program_dir_, music_folder_, clock_day,
                      shown_.Modified() || !shown_as_read ? nullptr : shown_.Snapshot());
  requested_day_ = clock_day;
  shown_.SetSnapshotObserver(
      [this](const std::shared_ptr<const TimetableSnapshot>& rows) { ModelChanged(rows); });
  Publish();
  if (today_shown_) today_shown_();
  RearmWake();
  return work_;
}

void TodaysTimetable::FilesChanged(bool plan) {
  if (!window_) return;
  // The day last asked for: a change of day may still be under way.
  Request(requested_day_, plan ? Record::kTodayAndPlan : Record::kNothing);
}

void TodaysTimetable::ShownChanged() {
  Publish();
}

void TodaysTimetable::DayBegan(int clock_day) {
  if (window_ && clock_day != requested_day_) Request(clock_day, Record::kToday);
}

void TodaysTimetable::RecordUnreadable() {
  for (const FileRead& read : UnreadableToTell(told_unreadable_, work_.reads))
    if (record_) record_->FileUnreadable(read.file == kPlanFileName, read.file, read.reason);
}

void TodaysTimetable::Stop() {
  latest_->fetch_add(1);
  workers_.Stop();
}

bool TodaysTimetable::ShownIsToday() const {
  return !work_.today.quiet && work_.today.exams.empty() &&
         shown_.Name().View() == work_.today.name;
}

void TodaysTimetable::Request(int clock_day, Record record) {
  requested_day_ = clock_day;
  const int number = latest_->fetch_add(1) + 1;
  const HWND window = window_;
  // What was read last stands in for a file that cannot be read now.
  workers_.Run([this, latest = latest_, number, record, window, clock_day,
                program_dir = program_dir_, music_folder = music_folder_, last = work_] {
    DayWork work = WorkOutDays(program_dir, music_folder, clock_day, nullptr, &last);
    if (latest->load() != number) return;
    // `this` is reached on its own thread only, and only while the number is still the latest:
    // the destructor, on that thread, puts it out of reach.
    PostUiTask(window, [this, latest, number, record, work = std::move(work)]() mutable {
      if (latest->load() != number) return;
      Apply(std::move(work), record);
    });
  });
}

void TodaysTimetable::Apply(DayWork work, Record record) {
  const bool new_day = work.clock_day != work_.clock_day;
  const bool changed = new_day || !(work.today == work_.today);
  work_ = std::move(work);
  Publish();
  // A new day is told once; so is a plan or a timetable that changes what rings today.
  if (record_ && work_.planned && (changed || record == Record::kToday))
    record_->Today(work_.today);
  if (record_ && record == Record::kTodayAndPlan) record_->PlanUnread(work_.unread);
  RecordUnreadable();
  if (today_shown_) today_shown_();
  RearmWake();
}

void TodaysTimetable::RearmWake(int delay_ms) {
  if (!window_ || !wake_) return;
  const std::uint64_t number = ++wake_requests_;
  // What the clock rings today: the model's rows while it shows today's timetable.
  std::shared_ptr<const TimetableSnapshot> today =
      ShownIsToday() ? shown_.Snapshot() : work_.today_rows;
  workers_.Run([this, latest = latest_, number, window = window_, wake = wake_, plan = work_.plan,
                day = work_.clock_day, today = std::move(today), tomorrow = work_.tomorrow_rows,
                program_dir = program_dir_, music_folder = music_folder_, delay_ms] {
    if (delay_ms > 0) Sleep(static_cast<DWORD>(delay_ms));
    const std::int64_t now =
        LocalClockSecondNow() - static_cast<std::int64_t>(day) * kSecondsPerDay;
    // Past the day worked out (midnight under way): nothing of it is left, the next day's
    // answer follows.
    const int now_second = static_cast<int>(std::clamp<std::int64_t>(now, -1, kSecondsPerDay));
    const RowsOfTimetable rows_of = [&](const std::string& name) {
      if (tomorrow && tomorrow->Name() == name) return tomorrow;
      TimetableFileRead read = ReadNamedTimetable(program_dir, name, music_folder);
      return std::make_shared<const TimetableSnapshot>(std::move(read.rows), name);
    };
    const TimetableSnapshot no_rows;
    const DayPlan no_plan;
    const std::optional<WakeTime> next =
        NextWakeTime(plan ? *plan : no_plan, day, now_second, today ? *today : no_rows, rows_of);
    wake->Arm(number, next);
    const bool forbidden = WakeTimersForbidden();
    std::string text = forbidden ? kWakeForbiddenText : next ? WakeTimeText(*next, day) : "";
    PostUiTask(window, [this, latest, forbidden, text = std::move(text)] {
      if (latest->load() == kGone) return;
      if (forbidden && !forbidden_told_ && record_) record_->Wake(kWakeForbiddenText);
      forbidden_told_ = forbidden_told_ || forbidden;
      if (wake_shown_) wake_shown_(text);
    });
  });
}

void TodaysTimetable::Publish() {
  const bool today_shown = ShownIsToday();
  published_.PublishFor(work_.clock_day, today_shown ? shown_.Snapshot() : work_.today_rows);
  const bool tomorrow_shown = TomorrowIsShown();
  published_.PublishFor(work_.clock_day + 1,
                        tomorrow_shown ? shown_.Snapshot() : work_.tomorrow_rows);
}

void TodaysTimetable::ModelChanged(const std::shared_ptr<const TimetableSnapshot>& rows) {
  if (ShownIsToday()) published_.PublishFor(work_.clock_day, rows);
  if (TomorrowIsShown()) published_.PublishFor(work_.clock_day + 1, rows);
}

bool TodaysTimetable::TomorrowIsShown() const {
  // An exam day's rows are its sessions' (and a timetable's as saved), never the model's.
  return !work_.tomorrow.quiet && work_.tomorrow.exams.empty() &&
         shown_.Name().View() == work_.tomorrow.name;
}

std::string TodayLineText(const DayChoice& choice) {
  if (!choice.exams.empty()) {
    // "今日考试 2 场：语文 09:00~11:30; 数学 15:00~17:00", and what rings with them.
    std::string line =
        "今日考试 " + ExamCountText(choice.exams) + "：" + ExamSessionsText(choice.exams);
    if (choice.with_timetable && !choice.quiet) line += "（同时打" + choice.name + "）";
    return line;
  }
  if (choice.quiet) return "今日停铃：" + choice.reason;
  std::string line = "今日：" + choice.name;
  switch (choice.step) {
    case DayChoice::Step::kDated:
      return line + "（" + choice.why + "）";
    case DayChoice::Step::kWeekly:
    case DayChoice::Step::kSeasonal: {
      // "每周 周三" shows as "（周三）"; a season's range follows its weekday.
      std::string_view why = choice.why;
      if (why.starts_with("每周 ")) why.remove_prefix(std::string_view("每周 ").size());
      const std::size_t blank = why.rfind(' ');
      if (blank == std::string_view::npos) return line + "（" + std::string(why) + "）";
      return line + "（" + std::string(why.substr(blank + 1)) + "，" +
             std::string(why.substr(0, blank)) + "）";
    }
    default:
      return line;
  }
}

int TodaysClockDay() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return ClockDayOf(PlanDate{now.wYear, now.wMonth, now.wDay});
}

}  // namespace belvane
