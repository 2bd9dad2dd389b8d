#pragma once
// The bells a clock cycle went past without ringing: the rows of seconds it passed over. A
// catch-up rings only the latest due second of the seconds it checks; a jump forward (the
// computer slept, the program hung, the clock was moved on) checks only the current second.
// The record lists each of those rows, so the morning's record shows what did not ring.
//
// Thread policy: pure; safe from any thread.

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/schedule/clock_planner.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {

// Seconds of the day passed over: `count` seconds from `first` on (across midnight), less
// `except` (the second that rang; -1 = none).
struct PassedOverSpan {
  int first = 0;
  int count = 0;
  int except = -1;
  // A jump of more than a day: the seconds passed over before the last day's, `earlier_count`
  // of them from `earlier_first`, counted as day * kSecondsPerDay + second of the day. 0 = none.
  std::int64_t earlier_first = 0;
  std::int64_t earlier_count = 0;
};

// The rows a span's earlier seconds passed over, summed up rather than listed (they may be many
// days of rows): how many would have rung, and when the first and the last of them would have,
// counted as day * kSecondsPerDay + second of the day. count 0 = none.
struct PassedOverSummary {
  std::int64_t count = 0;
  std::int64_t first = 0;
  std::int64_t last = 0;
  friend bool operator==(const PassedOverSummary&, const PassedOverSummary&) = default;
};

// The second of the day a start-time text rings at: only the clock's own "HH:MM:SS" form
// matches it; -1 for any other text (such a row never rings).
int RingingSecond(std::string_view text);

// The span `plan` passed over, given the cycle before it checked `last_checked` on local day
// `last_day` and this one reads day `day` (any day count that rises by one each midnight; equal
// days when the clock cannot tell). Seconds gone by that the cycle did not check (a jump
// forward) are passed over: those of the last day (every second but the current one) as the
// span, any before them as its earlier seconds; else the due seconds a catch-up superseded. A
// clock moved back passes over nothing. count 0 = nothing.
PassedOverSpan PassedOverBy(const ClockPlan& plan, int last_checked, int last_day, int day);

// The rows that would have rung in the span: for each second in it that a row is due at, the
// first row holding it (the one the clock starts), in the span's order.
std::vector<int> PassedOverRows(const PassedOverSpan& span, const TimetableSnapshot& rows);

// The rows that would have rung in the span's earlier seconds, on each day they cover.
PassedOverSummary SummarizeEarlier(const PassedOverSpan& span, const TimetableSnapshot& rows);

}  // namespace belvane
