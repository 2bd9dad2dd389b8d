#pragma once
// The clock's planning, as plain functions of the last checked second of the day and the current
// wall-clock reading, so that every rule (catch-up, its bound, midnight, a clock moved back) can
// be tested without waiting. Nothing here reads a clock, sleeps or touches a window.
//
// Thread policy: every function here is pure and safe from any thread; `PlanCycle` calls the
// lookup it is given on the calling thread.

#include <string>
#include <string_view>

namespace belvane {

inline constexpr int kSecondsPerDay = 86400;
// Widest gap, in seconds, that one cycle catches up; a longer one (the computer slept, the clock
// was moved forward) starts only rows of the current second.
inline constexpr int kMaxCatchUpSeconds = 60;
// How far past the start of the next wall-clock second a cycle aims to wake: enough to absorb a
// timer that fires a little early, small against the second itself.
inline constexpr int kWakeMarginMs = 15;
// The margin when a row is due at the next second: that wake starts a bell, so it is made with
// a precise wait (see Sleeper::WaitPrecise) and aims at the second itself. The reading's
// milliseconds are cut, not rounded, so the wake lands within a millisecond after the second;
// one that came early anyway finds the old second checked and waits again, briefly.
inline constexpr int kDueWakeMarginMs = 0;
// `last_checked` of a clock that has not run a cycle yet.
inline constexpr int kNoSecondChecked = -1;
// `days_on` when the clock does not tell the day.
inline constexpr int kDaysUntold = -1000000;

// One reading of the local time of day, as the platform clock gives it.
struct ClockReading {
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59 (a leap second's 60 counts as 59)
  int millisecond = 0;  // 0..999
  int day = 0;          // local days since a fixed date (0 when the source does not say)
};

// Seconds since midnight of a reading, 0..86399; out-of-range fields are clamped.
int SecondOfDay(const ClockReading& reading);

// The clock text "HH:MM:SS" (two digits a field) of a second of the day, taken modulo one day.
std::string ClockText(int second_of_day);

// Milliseconds to wait, from a reading taken `millisecond` ms into its second, so the wait ends
// `margin_ms` after the next wall-clock second begins. Always at least `margin_ms`.
int MillisecondsToNextSecond(int millisecond, int margin_ms = kWakeMarginMs);

// Which row, if any, starts at a given start-time text. Implemented by the timetable snapshot
// (timetable_snapshot.h) and by SharedTimetable, which hands the latest one to the clock.
class StartTimeLookup {
 public:
  virtual ~StartTimeLookup() = default;
  // Lowest row index whose start-time text equals `text` byte for byte; -1 = none.
  virtual int FirstRowAt(std::string_view text) const = 0;
};

// How one cycle relates to the one before it.
enum class ClockStep {
  kFirst,        // no cycle before: only the current second is checked
  kSameSecond,   // still in the last checked second (an early wake): nothing is checked
  kOnTime,       // the next second: one second is checked
  kCatchUp,      // 2..kMaxCatchUpSeconds seconds on: every second passed over is checked too
  kSteppedBack,  // 1..kMaxCatchUpSeconds seconds back (time synchronisation): nothing is checked,
                 // since those seconds were; the last checked second holds until it is reached
  kJump,         // further on, or further back: only the current second is checked
};

// What one cycle checks and starts. The checked seconds are the `checked_count` seconds of the
// day ending at `current_second`, counted back across midnight.
struct ClockPlan {
  ClockStep step = ClockStep::kFirst;
  int current_second = 0;  // second of the day of the reading
  int checked_count = 0;   // 0 (same second), 1, or up to kMaxCatchUpSeconds
  int start_second = -1;   // latest checked second that has a row; -1 = none
  int start_row = -1;      // first row of that second; -1 = none
  int due_seconds = 0;     // checked seconds that have a row; those other than the started one
                           // are superseded by it (starting them would cut them off at once)
  int last_checked = kNoSecondChecked;  // what the next cycle passes as its `last_checked`

  // First checked second of the day; meaningful when checked_count > 0.
  int FirstChecked() const;
};

// Plans one cycle. `last_checked` is the plan's `last_checked` of the previous cycle (or
// kNoSecondChecked), `now` the second of the day of this cycle's reading, `days_on` the local
// days from the day of `last_checked` to that of `now` (kDaysUntold: the nearer way round the
// clock face is taken, so 23:59:59 to 00:00:00 is one second on and the reverse one back).
//
// The seconds from the one after `last_checked` up to `now` are checked when that is 1 to
// kMaxCatchUpSeconds seconds forward. A clock set back by up to that bound checks nothing: the
// seconds it went back over were checked, and a bell that rang must not ring again; seconds
// after `last_checked` are checked as usual once reached. Any other distance is a clock that
// jumped: forward past the bound, or back further, or to the same second of another day; then
// only `now` is checked, so seconds passed over start nothing. Of the checked seconds that have a
// row, the latest one is started.
ClockPlan PlanCycle(int last_checked, int now, const StartTimeLookup& lookup,
                    int days_on = kDaysUntold);

}  // namespace belvane
