#include "app/schedule/clock_planner.h"

#include <algorithm>
#include <cstdint>

namespace belvane {

namespace {

int Wrap(int second) {
  int s = second % kSecondsPerDay;
  return s < 0 ? s + kSecondsPerDay : s;
}

}  // namespace

int SecondOfDay(const ClockReading& reading) {
  const int h = std::clamp(reading.hour, 0, 23);
  const int m = std::clamp(reading.minute, 0, 59);
  const int s = std::clamp(reading.second, 0, 59);
  return h * 3600 + m * 60 + s;
}

std::string ClockText(int second_of_day) {
  const int s = Wrap(second_of_day);
  const int fields[3] = {s / 3600, s / 60 % 60, s % 60};
  std::string text(8, ':');
  for (int i = 0; i < 3; ++i) {
    text[i * 3] = static_cast<char>('0' + fields[i] / 10);
    text[i * 3 + 1] = static_cast<char>('0' + fields[i] % 10);
  }
  return text;
}

int MillisecondsToNextSecond(int millisecond, int margin_ms) {
  return 1000 - std::clamp(millisecond, 0, 999) + std::max(margin_ms, 0);
}

int ClockPlan::FirstChecked() const {
  return Wrap(current_second - checked_count + 1);
}

ClockPlan PlanCycle(int last_checked, int now, const StartTimeLookup& lookup, int days_on) {
  ClockPlan plan;
  plan.current_second = Wrap(now);
  plan.last_checked = plan.current_second;
  if (last_checked < 0 || last_checked >= kSecondsPerDay) {
    plan.step = ClockStep::kFirst;
    plan.checked_count = 1;
  } else {
    std::int64_t forward = plan.current_second - last_checked;
    if (days_on == kDaysUntold) {
      forward = Wrap(static_cast<int>(forward));
      if (forward > kSecondsPerDay / 2) forward -= kSecondsPerDay;
    } else {
      forward += std::int64_t{days_on} * kSecondsPerDay;
    }
    if (forward == 0) {
      plan.step = ClockStep::kSameSecond;
      plan.checked_count = 0;
    } else if (forward > 0 && forward <= kMaxCatchUpSeconds) {
      plan.step = forward == 1 ? ClockStep::kOnTime : ClockStep::kCatchUp;
      plan.checked_count = static_cast<int>(forward);
    } else if (forward < 0 && forward >= -kMaxCatchUpSeconds) {
      plan.step = ClockStep::kSteppedBack;
      plan.checked_count = 0;
      plan.last_checked = last_checked;
    } else {
      plan.step = ClockStep::kJump;
      plan.checked_count = 1;
    }
  }
  // Newest first: the first second with a row found is the one to start.
  for (int back = 0; back < plan.checked_count; ++back) {
    const int second = Wrap(plan.current_second - back);
    const int row = lookup.FirstRowAt(ClockText(second));
    if (row < 0) continue;
    ++plan.due_seconds;
    if (plan.start_row < 0) {
      plan.start_row = row;
      plan.start_second = second;
    }
  }
  return plan;
}

}  // namespace belvane
