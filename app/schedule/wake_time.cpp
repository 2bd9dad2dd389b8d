#include "app/schedule/wake_time.h"

#include <cstdio>
#include <map>

#include "app/schedule/clock_planner.h"
#include "app/schedule/passed_over.h"

namespace belvane {

namespace {

// The earliest ringing second of `rows` after `after` (-1: from midnight on); -1 for none.
int FirstRingingAfter(const TimetableSnapshot& rows, int after) {
  int first = -1;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const int second = RingingSecond(rows.Row(row).start_time.View());
    if (second > after && (first < 0 || second < first)) first = second;
  }
  return first;
}

WakeTime WakeFor(int clock_day, int second) {
  const std::int64_t bell = static_cast<std::int64_t>(clock_day) * kSecondsPerDay + second;
  return {bell, bell - kWakeLeadSeconds};
}

}  // namespace

std::optional<WakeTime> NextWakeTime(const DayPlan& plan, int clock_day, int now_second,
                                     const TimetableSnapshot& today_rows,
                                     const RowsOfTimetable& rows_of, int days_ahead) {
  const int today = FirstRingingAfter(today_rows, now_second);
  if (today >= 0) return WakeFor(clock_day, today);
  // Many days ring the same few timetables: each is read once.
  std::map<std::string, int> first_of;
  for (int day = clock_day + 1; day <= clock_day + days_ahead; ++day) {
    const PlanDate date = DateOfClockDay(day);
    const DayChoice choice = ResolveDay(plan, date);
    int first = -1;
    if (!choice.quiet && (choice.exams.empty() || choice.with_timetable)) {
      auto found = first_of.find(choice.name);
      if (found == first_of.end()) {
        const std::shared_ptr<const TimetableSnapshot> rows =
            rows_of ? rows_of(choice.name) : nullptr;
        found = first_of.emplace(choice.name, rows ? FirstRingingAfter(*rows, -1) : -1).first;
      }
      first = found->second;
    }
    // An exam day rings its sessions whatever the plan's other rules say.
    if (!choice.exams.empty()) {
      const ExamDay exams = WorkOutExamDay(plan.exams, date);
      if (!exams.rows.empty() && (first < 0 || exams.rows.front().second < first))
        first = exams.rows.front().second;
    }
    if (first >= 0) return WakeFor(day, first);
  }
  return std::nullopt;
}

std::string WakeTimeText(const WakeTime& wake, int clock_day) {
  std::int64_t day = wake.wake / kSecondsPerDay;
  std::int64_t second = wake.wake % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --day;
  }
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", static_cast<int>(second / 3600),
                static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
  if (day == clock_day) return std::string("下次唤醒 ") + time;
  return "下次唤醒 " + PlanDateText(DateOfClockDay(static_cast<int>(day))) + " " + time;
}

}  // namespace belvane
