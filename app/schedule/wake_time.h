#pragma once
// When the computer is to be woken from sleep: a minute before the next bell, so that the clock,
// the prepared bell and the output are ready at its second. The next bell is today's next row
// (of the rows the clock rings today), else the first row of the next day that rings as the plan
// resolves it (ResolveDay: a 停铃 day and a vacation ring nothing, a make-up day rings, a date
// with exam sessions rings their announcements), looked for a bounded number of days ahead.
//
// Thread policy: pure; safe from any thread (`rows_of` is called on the caller's thread).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/schedule/day_plan.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {

// How long before a bell the computer is woken.
inline constexpr int kWakeLeadSeconds = 60;
// How many days after today are looked at for a bell (a long vacation arms nothing).
inline constexpr int kWakeDaysAhead = 14;

// A bell and the wake before it, counted as the clock counts them: day * kSecondsPerDay +
// second of the day (so a wake before a bell just after midnight falls on the day before).
struct WakeTime {
  std::int64_t bell = 0;
  std::int64_t wake = 0;
  friend bool operator==(const WakeTime&, const WakeTime&) = default;
};

// The rows timetable `name` rings, read from its file; null counts as none.
using RowsOfTimetable =
    std::function<std::shared_ptr<const TimetableSnapshot>(const std::string& name)>;

// The next wake after `now_second` of clock day `clock_day`: today's first ringing row after
// now in `today_rows`, else the earliest ringing row of the first later day (up to
// `days_ahead`) the plan gives bells. `rows_of` is asked once per timetable name. Nothing when
// no bell comes within those days.
std::optional<WakeTime> NextWakeTime(const DayPlan& plan, int clock_day, int now_second,
                                     const TimetableSnapshot& today_rows,
                                     const RowsOfTimetable& rows_of,
                                     int days_ahead = kWakeDaysAhead);

// The window's words for a wake: "下次唤醒 07:59:00" on `clock_day`, else with its date
// "下次唤醒 2027-06-08 07:59:00".
std::string WakeTimeText(const WakeTime& wake, int clock_day);

}  // namespace belvane
