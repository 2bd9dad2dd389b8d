#include "app/schedule/passed_over.h"

#include <algorithm>
#include <cstdint>

namespace belvane {

namespace {

int Wrap(int second) {
  const int s = second % kSecondsPerDay;
  return s < 0 ? s + kSecondsPerDay : s;
}

std::int64_t Wrap(std::int64_t second) {
  const std::int64_t s = second % kSecondsPerDay;
  return s < 0 ? s + kSecondsPerDay : s;
}

// The rows that ring, each with its second: the first row of each clock-form start time.
template <class Visit>
void ForEachRingingRow(const TimetableSnapshot& rows, Visit visit) {
  for (int row = 0; row < rows.RowCount(); ++row) {
    const std::string_view text = rows.Row(row).start_time.View();
    const int second = RingingSecond(text);
    if (second < 0) continue;
    if (rows.FirstRowAt(text) != row) continue;  // a later row of a taken time never rings
    visit(row, second);
  }
}

}  // namespace

int RingingSecond(std::string_view text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return -1;
  int fields[3];
  for (int i = 0; i < 3; ++i) {
    const char high = text[i * 3];
    const char low = text[i * 3 + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return -1;
    fields[i] = (high - '0') * 10 + (low - '0');
  }
  if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return -1;
  return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

PassedOverSpan PassedOverBy(const ClockPlan& plan, int last_checked, int last_day, int day) {
  PassedOverSpan span;
  if (last_checked < 0 || plan.step == ClockStep::kSteppedBack) return span;
  // The seconds gone by, told by the days as well: the planner sees only the time of day.
  const std::int64_t elapsed =
      std::int64_t{day - last_day} * kSecondsPerDay + plan.current_second - last_checked;
  if (elapsed > plan.checked_count) {
    // Seconds went by unchecked (a jump forward): all of them, at most one day's worth.
    if (elapsed - plan.checked_count >= kSecondsPerDay - 1) {
      span.first = Wrap(plan.current_second + 1);
      span.count = kSecondsPerDay - 1;
      span.earlier_count = elapsed - plan.checked_count - span.count;
      span.earlier_first = std::int64_t{last_day} * kSecondsPerDay + last_checked + 1;
    } else {
      span.first = Wrap(last_checked + 1);
      span.count = static_cast<int>(elapsed) - plan.checked_count;
    }
    return span;
  }
  // A catch-up rings only the latest due second; the others were superseded by it.
  if (plan.step == ClockStep::kCatchUp && plan.due_seconds > 1) {
    span.first = plan.FirstChecked();
    span.count = plan.checked_count;
    span.except = plan.start_second;
  }
  return span;
}

std::vector<int> PassedOverRows(const PassedOverSpan& span, const TimetableSnapshot& rows) {
  // By row rather than by second: a span may be a whole day, and most seconds have no row.
  std::vector<std::pair<int, int>> found;  // (offset in the span, row)
  ForEachRingingRow(rows, [&](int row, int second) {
    if (second == span.except) return;
    const int offset = Wrap(second - span.first);
    if (offset < span.count) found.emplace_back(offset, row);
  });
  std::sort(found.begin(), found.end());
  std::vector<int> result;
  result.reserve(found.size());
  for (const auto& [offset, row] : found) result.push_back(row);
  return result;
}

PassedOverSummary SummarizeEarlier(const PassedOverSpan& span, const TimetableSnapshot& rows) {
  PassedOverSummary summary;
  if (span.earlier_count <= 0) return summary;
  const std::int64_t from = span.earlier_first;
  const std::int64_t to = from + span.earlier_count - 1;
  ForEachRingingRow(rows, [&](int, int second) {
    // The row's first and last ringing within [from, to].
    const std::int64_t first = from + Wrap(second - from);
    if (first > to) return;
    const std::int64_t last = to - Wrap(to - second);
    summary.first = summary.count == 0 ? first : std::min(summary.first, first);
    summary.last = summary.count == 0 ? last : std::max(summary.last, last);
    summary.count += (last - first) / kSecondsPerDay + 1;
  });
  return summary;
}

}  // namespace belvane
