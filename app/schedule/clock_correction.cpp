#include "app/schedule/clock_correction.h"

#include <algorithm>
#include <cmath>

namespace belvane {

namespace {

constexpr std::int64_t kDayMs = std::int64_t{kSecondsPerDay} * 1000;
// The local clock seen to move further than this between two readings (set by hand, a sleep)
// slews no further than it would in this time.
constexpr std::int64_t kLongestSlewStepMs = 60'000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

double SlewedCorrectionMs(double applied_ms, std::int32_t target_ms, std::int64_t elapsed_ms) {
  const double gap = target_ms - applied_ms;
  if (std::fabs(gap) >= kStepCorrectionMs) return target_ms;
  const double most =
      static_cast<double>(std::clamp<std::int64_t>(elapsed_ms, 0, kLongestSlewStepMs)) /
      kSlewMsPerCorrectionMs;
  return std::fabs(gap) <= most ? target_ms : applied_ms + (gap > 0 ? most : -most);
}

std::optional<std::int32_t> CorrectionChoice::Take(const std::optional<ServerAnswer>& answer) {
  if (!answer) {
    recent_.clear();
    trusted_.reset();
    return trusted_;
  }
  if (answer->round_trip_ms >= kTrustedRoundTripMs) return trusted_;
  recent_.push_back(answer->server_minus_local_ms);
  if (recent_.size() > kAnswersCompared) recent_.erase(recent_.begin());
  const auto [low, high] = std::minmax_element(recent_.begin(), recent_.end());
  if (recent_.size() == kAnswersCompared && *high - *low > kAnswersAgreeMs) return trusted_;
  trusted_ = answer->server_minus_local_ms;
  return trusted_;
}

ClockReading CorrectedClock::Now() {
  const ClockReading local = local_.Now();
  const std::int64_t local_ms = std::int64_t{local.day} * kDayMs +
                                std::int64_t{SecondOfDay(local)} * 1000 + local.millisecond;
  const std::int32_t target = correction_.TargetMs();
  // The first reading takes the correction as it is: nothing has rung by the local clock yet.
  applied_ms_ = last_local_ms_ ? SlewedCorrectionMs(applied_ms_, target, local_ms - *last_local_ms_)
                               : static_cast<double>(target);
  last_local_ms_ = local_ms;
  if (applied_ms_ == 0) return local;
  const std::int64_t ms = local_ms + static_cast<std::int64_t>(std::llround(applied_ms_));
  const std::int64_t in_day = ms - FloorDiv(ms, kDayMs) * kDayMs;
  const int second = static_cast<int>(in_day / 1000);
  // A source that does not tell the day keeps not telling it.
  const int day = local.day == 0 ? 0 : static_cast<int>(FloorDiv(ms, kDayMs));
  return ClockReading{second / 3600, second / 60 % 60, second % 60, static_cast<int>(in_day % 1000),
                      day};
}

}  // namespace belvane
