#pragma once
// Ringing on the server's clock: the follower publishes how far the file server's clock is ahead
// of the local one, and the clock reads the local clock through a corrected source that applies
// it. A change under kStepCorrectionMs is slewed at no more than 1 s per minute, so every second
// still comes once and in order; a larger one is taken at once (the clock loop then catches up or
// holds, as for a clock set by hand).
//
// Thread policy: ClockCorrection is written by the follower's thread and read by the clock
// thread through atomics only (no lock on the clock's path). CorrectedClock::Now on the clock
// thread only.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/schedule/clock_loop.h"

namespace belvane {

// A change of correction this large or larger is stepped, not slewed.
inline constexpr int kStepCorrectionMs = 2000;
// The slew: one millisecond of correction per this many of the local clock (1 s a minute).
inline constexpr int kSlewMsPerCorrectionMs = 60;

// What the clock rings by: the server's time minus the local time, in milliseconds, while the
// follower trusts an answer from the server; nothing: the local clock.
class ClockCorrection {
 public:
  void Publish(std::optional<std::int32_t> server_minus_local_ms) {
    target_ms_.store(server_minus_local_ms.value_or(0));
    on_server_.store(server_minus_local_ms.has_value());
  }
  std::int32_t TargetMs() const { return target_ms_.load(); }
  // Whether the clock rings on the server's time (the window says so beside the clock).
  bool OnServer() const { return on_server_.load(); }

 private:
  // 32 bits: lock-free on every build, and ±24 days is more than a clock is ever off.
  static_assert(std::atomic<std::int32_t>::is_always_lock_free);
  std::atomic<std::int32_t> target_ms_{0};
  std::atomic<bool> on_server_{false};
};

// The correction applied after `elapsed_ms` more of the local clock: `target_ms` at once when it
// is kStepCorrectionMs or more away, else moved toward it by at most elapsed / 60.
double SlewedCorrectionMs(double applied_ms, std::int32_t target_ms, std::int64_t elapsed_ms);

// A server's answer: its time minus the local clock's at the round trip's middle, and how long
// the round trip took.
struct ServerAnswer {
  std::int32_t server_minus_local_ms = 0;
  std::int64_t round_trip_ms = 0;
};
// An answer is trusted only when its round trip was shorter than this.
inline constexpr std::int64_t kTrustedRoundTripMs = 500;
// The last kAnswersCompared trusted answers spread wider than this keep the correction in use.
inline constexpr std::int32_t kAnswersAgreeMs = 1000;
inline constexpr std::size_t kAnswersCompared = 3;

// Which correction the follower publishes after each look's answer.
class CorrectionChoice {
 public:
  // The correction to ring by after `answer` (nothing: the server did not answer); nothing: the
  // local clock. A slow answer keeps the last trusted correction; so does one that leaves the
  // last three trusted answers more than kAnswersAgreeMs apart. No answer forgets them all.
  std::optional<std::int32_t> Take(const std::optional<ServerAnswer>& answer);

 private:
  std::vector<std::int32_t> recent_;  // the last trusted answers, oldest first
  std::optional<std::int32_t> trusted_;
};

// The local clock with the published correction applied, slewed or stepped.
class CorrectedClock final : public ClockSource {
 public:
  // Both borrowed.
  CorrectedClock(ClockSource& local, const ClockCorrection& correction)
      : local_(local), correction_(correction) {}
  ClockReading Now() override;
  // The correction the last reading carried.
  double AppliedMs() const { return applied_ms_; }

 private:
  ClockSource& local_;
  const ClockCorrection& correction_;
  double applied_ms_ = 0;
  std::optional<std::int64_t> last_local_ms_;
};

}  // namespace belvane
