#include "app/schedule/clock_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/schedule/clock_correction.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {
namespace {

constexpr std::int64_t kDayMs = std::int64_t{kSecondsPerDay} * 1000;

// Simulated time in milliseconds from midnight of day 0.
struct SimTime {
  std::int64_t ms = 0;
  std::int64_t Second() const { return ms / 1000; }
};

// Tells the day as the system clock does, simulated day 0 being kSimDay0.
class SimClock final : public ClockSource {
 public:
  static constexpr int kSimDay0 = 155000;
  explicit SimClock(SimTime& time) : time_(time) {}
  ClockReading Now() override {
    const std::int64_t in_day = time_.ms % kDayMs;
    const int s = static_cast<int>(in_day / 1000);
    return ClockReading{s / 3600, s / 60 % 60, s % 60, static_cast<int>(in_day % 1000),
                        kSimDay0 + static_cast<int>(time_.ms / kDayMs)};
  }

 private:
  SimTime& time_;
};

// Wakes late by up to 900 ms, now and then 20 ms early (timers do), and rarely stalls 3 s; stops
// the run once the simulated time passes `end_ms`.
class SimSleeper final : public Sleeper {
 public:
  SimSleeper(SimTime& time, std::atomic<bool>& running, std::int64_t end_ms)
      : time_(time), running_(running), end_ms_(end_ms) {}
  void Wait(int milliseconds) override {
    std::int64_t ms = milliseconds;
    const int roll = static_cast<int>(random_() % 1000);
    if (roll < 2) {
      ms += 3000;
      ++stalls;
    } else if (roll < 20) {
      ms = ms > 20 ? ms - 20 : 0;
    } else {
      ms += random_() % 901;
    }
    time_.ms += ms;
    if (time_.ms >= end_ms_) running_.store(false);
  }
  void Interrupt() override {}
  int stalls = 0;

 private:
  SimTime& time_;
  std::atomic<bool>& running_;
  std::int64_t end_ms_;
  std::mt19937 random_{42};
};

// Records what the loop asked for, per absolute simulated second.
class CountingLookup final : public StartTimeLookup {
 public:
  CountingLookup(const StartTimeLookup& inner, const SimTime& time) : inner_(inner), time_(time) {}
  int FirstRowAt(std::string_view text) const override {
    // The asked second lies at most a minute back from now: find its absolute second.
    const int asked = (text[0] - '0') * 36000 + (text[1] - '0') * 3600 + (text[3] - '0') * 600 +
                      (text[4] - '0') * 60 + (text[6] - '0') * 10 + (text[7] - '0');
    const std::int64_t now = time_.Second();
    const std::int64_t back = ((now % kSecondsPerDay) - asked + kSecondsPerDay) % kSecondsPerDay;
    // The look one second ahead, for a precise wait, checks nothing.
    if (back == kSecondsPerDay - 1) {
      ++looks_ahead;
      return inner_.FirstRowAt(text);
    }
    const std::int64_t absolute = now - back;
    if (absolute >= static_cast<std::int64_t>(checks.size())) checks.resize(absolute + 1, 0);
    ++checks[absolute];
    return inner_.FirstRowAt(text);
  }
  mutable std::vector<int> checks;  // absolute second -> times checked
  mutable std::int64_t looks_ahead = 0;

 private:
  const StartTimeLookup& inner_;
  const SimTime& time_;
};

// Work takes time: each start costs 0..150 ms of simulated time, sometimes running into the next
// second.
class SimSink final : public ClockSink {
 public:
  explicit SimSink(SimTime& time) : time_(time) {}
  void StartRow(int row, const std::string& start_time) override {
    starts.push_back({time_.Second(), row, start_time});
    time_.ms += fixed_work_ms >= 0 ? fixed_work_ms : random_() % 151;
  }
  void ShowTime(const std::string& clock_text) override { shown.push_back(clock_text); }
  void LookAhead(int current_second) override { looked_ahead.push_back(current_second); }
  struct Start {
    std::int64_t at_second;
    int row;
    std::string start_time;
  };
  std::vector<Start> starts;
  std::vector<std::string> shown;
  std::vector<int> looked_ahead;
  int fixed_work_ms = -1;  // -1 = random

 private:
  SimTime& time_;
  std::mt19937 random_{7};
};

// A day with a row every second, run through midnight into the next day. "Misses none" means:
// every second from the first cycle's to the last cycle's is checked exactly once, and each cycle
// starts the row of its latest due second; a due second that shares its cycle with a later one
// is superseded (starting it would cut it off at once), which the accounting counts apart.
TEST(ClockLoopTest, SimulatedDayWithARowEverySecondMissesNone) {
  std::vector<TextValue> day;
  for (int s = 0; s < kSecondsPerDay; ++s) day.emplace_back(ClockText(s));
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(day);

  SimTime time{123};
  std::atomic<bool> running{true};
  SimClock clock(time);
  SimSleeper sleeper(time, running, kDayMs + 10'000);
  CountingLookup lookup(index, time);
  SimSink sink(time);
  ClockLoop loop(clock, sleeper, lookup, sink, running);
  loop.Run();

  const std::int64_t last = static_cast<std::int64_t>(lookup.checks.size()) - 1;
  ASSERT_GT(last, kSecondsPerDay);  // crossed midnight
  for (std::int64_t s = 0; s <= last; ++s) ASSERT_EQ(lookup.checks[s], 1) << "second " << s;

  const ClockStats& stats = loop.Stats();
  EXPECT_EQ(stats.seconds_checked, last + 1);
  EXPECT_EQ(stats.due_seconds, last + 1);
  EXPECT_EQ(stats.jumps, 0);
  EXPECT_GT(sleeper.stalls, 0);
  EXPECT_GT(stats.catch_up_cycles, 0);
  EXPECT_GT(lookup.looks_ahead, 0);
  EXPECT_EQ(stats.rows_started, static_cast<std::int64_t>(sink.starts.size()));
  // Every row is due, so every cycle that checked a second starts its current one, and no second
  // starts twice.
  std::int64_t previous = -1;
  for (const SimSink::Start& start : sink.starts) {
    ASSERT_EQ(start.row, start.at_second % kSecondsPerDay);
    ASSERT_EQ(start.start_time, ClockText(start.row));
    ASSERT_GT(start.at_second, previous);
    previous = start.at_second;
  }
  EXPECT_GT(stats.due_seconds - stats.rows_started, 0);  // the stalls superseded some
  EXPECT_EQ(sink.shown.front(), "00:00:00");
  EXPECT_EQ(sink.shown.back(), ClockText(static_cast<int>(last % kSecondsPerDay)));
}

// The clock moved around midnight, read each second (half a second in) from one setting to the
// next; each row rings once for each day it comes round, and a bell that rang before the clock
// was set back across midnight does not ring again.
TEST(ClockLoopTest, AClockMovedAcrossMidnightRingsEachRowOnceADay) {
  const TextValue rows[] = {"23:59:55", "23:59:59", "00:00:00", "00:00:05", "00:00:12"};
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(rows);
  // A simulated second: `day` 0 or 1, then the time of day.
  const auto at = [](int day, int h, int m, int s) {
    return std::int64_t{day} * kSecondsPerDay + h * 3600 + m * 60 + s;
  };
  struct Case {
    const char* what;
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;  // first and last second of each
    std::vector<std::string> rung;                            // "day start-time", in order
  };
  const std::vector<std::string> once = {"0 23:59:55", "0 23:59:59", "1 00:00:00", "1 00:00:05",
                                         "1 00:00:12"};
  const Case cases[] = {
      {"second by second", {{at(0, 23, 59, 50), at(1, 0, 0, 13)}}, once},
      {"a stall over midnight catches up with the latest row",
       {{at(0, 23, 59, 50), at(0, 23, 59, 58)}, {at(1, 0, 0, 2), at(1, 0, 0, 13)}},
       {"0 23:59:55", "1 00:00:00", "1 00:00:05", "1 00:00:12"}},
      {"set back across midnight",
       {{at(0, 23, 59, 50), at(1, 0, 0, 10)}, {at(0, 23, 59, 54), at(1, 0, 0, 13)}},
       once},
      {"set forward a day to the same second",
       {{at(0, 23, 59, 54), at(0, 23, 59, 55)}, {at(1, 23, 59, 55), at(1, 23, 59, 55)}},
       {"0 23:59:55", "1 23:59:55"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimTime time;
    SimClock clock(time);
    SimSink sink(time);
    sink.fixed_work_ms = 0;
    EventSleeper sleeper;
    std::atomic<bool> running{true};
    ClockLoop loop(clock, sleeper, index, sink, running);
    for (const auto& [first, last] : c.runs) {
      for (std::int64_t s = first; s <= last; ++s) {
        time.ms = s * 1000 + 500;
        loop.RunCycle();
      }
    }
    std::vector<std::string> rung;
    for (const SimSink::Start& start : sink.starts)
      rung.push_back(std::to_string(start.at_second / kSecondsPerDay) + " " + start.start_time);
    EXPECT_EQ(rung, c.rung);
  }
}

// A clock that always reads the start of a second, so each wait is a full second.
class FixedClock final : public ClockSource {
 public:
  ClockReading Now() override { return ClockReading{8, 30, 0, 0}; }
};

class SignalSink final : public ClockSink {
 public:
  void StartRow(int row, const std::string&) override { started_row = row; }
  void ShowTime(const std::string& text) override {
    shown = text;
    cycles.fetch_add(1);
  }
  std::atomic<int> cycles{0};
  int started_row = -1;
  std::string shown;
};

TEST(ClockLoopTest, StopEndsAWaitingLoop) {
  const TextValue row[] = {"08:30:00"};
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(row);
  FixedClock clock;
  EventSleeper sleeper;
  SignalSink sink;
  std::atomic<bool> running{true};
  ClockLoop loop(clock, sleeper, index, sink, running);
  std::thread thread([&] { loop.Run(); });
  while (sink.cycles.load() == 0) std::this_thread::yield();
  loop.Stop();  // the loop is in (or about to enter) a wait of about a second
  thread.join();
  EXPECT_FALSE(running.load());
  EXPECT_EQ(sink.started_row, 0);
  EXPECT_EQ(sink.shown, "08:30:00");
}

TEST(ClockLoopTest, InterruptIsStickyAndAClearedFlagRunsNoCycle) {
  EventSleeper sleeper;
  sleeper.Interrupt();
  sleeper.Wait(600'000);  // returns at once, or the test times out
  sleeper.WaitPrecise(600'000);
  sleeper.WaitPrecise(EventSleeper::kPreciseWindowMs / 2);  // within the timer's window only

  const TimetableSnapshot index;
  FixedClock clock;
  SignalSink sink;
  std::atomic<bool> running{false};
  ClockLoop loop(clock, sleeper, index, sink, running);
  loop.Run();
  EXPECT_EQ(sink.cycles.load(), 0);
}

TEST(ClockLoopTest, CycleShowsTimeOnChangeAndAimsPastTheNextSecond) {
  SimTime time{(8 * 3600 + 29 * 60 + 59) * 1000 + 400};
  SimClock clock(time);
  // The loop reads whatever snapshot is published when it looks.
  SharedTimetable index;
  const TextValue row[] = {"08:30:00"};
  index.Publish(std::make_shared<TimetableSnapshot>(TimetableSnapshot::FromStartTimes(row)));
  SimSink sink(time);
  sink.fixed_work_ms = 0;
  EventSleeper sleeper;
  std::atomic<bool> running{true};
  ClockLoop loop(clock, sleeper, index, sink, running);

  // A row is due at the next second: the wait aims just past it, on the precise timer.
  EXPECT_EQ(loop.RunCycle(), 600 + kDueWakeMarginMs);
  EXPECT_TRUE(loop.NextWaitPrecise());
  EXPECT_EQ(loop.LastChecked(), 8 * 3600 + 29 * 60 + 59);
  time.ms += 100;  // an early wake in the same second
  EXPECT_EQ(loop.RunCycle(), 500 + kDueWakeMarginMs);
  EXPECT_EQ(sink.shown.size(), 1u);
  // The same second is not looked ahead from twice.
  EXPECT_EQ(sink.looked_ahead, std::vector<int>{8 * 3600 + 29 * 60 + 59});
  time.ms += 500 + kDueWakeMarginMs;
  // Nothing due after it: back to the ordinary wait.
  EXPECT_EQ(loop.RunCycle(), 1000 - kDueWakeMarginMs + kWakeMarginMs);
  EXPECT_FALSE(loop.NextWaitPrecise());
  ASSERT_EQ(sink.starts.size(), 1u);
  EXPECT_EQ(sink.starts[0].start_time, "08:30:00");
  EXPECT_EQ(sink.shown.back(), "08:30:00");

  // Work that runs into the next second: go again at once.
  const TextValue rows[] = {"08:30:00", "08:30:01"};
  index.Publish(std::make_shared<TimetableSnapshot>(TimetableSnapshot::FromStartTimes(rows)));
  sink.starts.clear();
  sink.fixed_work_ms = 50;
  time.ms = (8 * 3600 + 30 * 60 + 1) * 1000 + 990;
  EXPECT_EQ(loop.RunCycle(), 0);
  ASSERT_EQ(sink.starts.size(), 1u);
  EXPECT_EQ(sink.starts[0].row, 1);

  // Time synchronisation sets the clock back a second just after: neither row rings again.
  for (const int s : {0, 1}) {
    time.ms = (8 * 3600 + 30 * 60 + s) * 1000 + 500;
    loop.RunCycle();
  }
  EXPECT_EQ(sink.starts.size(), 1u);
}

// A day's rows are published ahead and the clock turns to them itself at the day's first
// cycle, before it looks up any of its seconds; rows for a day other than today or tomorrow are
// dropped, and a day nobody worked out keeps the rows it had.
TEST(ClockLoopTest, ADaysRowsPublishedAheadAreTakenOverBeforeItsFirstSecond) {
  struct ScriptedClock final : ClockSource {
    std::vector<ClockReading> readings;
    std::size_t next = 0;
    // Each cycle reads twice: to plan, and to aim its wait.
    ClockReading Now() override { return readings[std::min(next++ / 2, readings.size() - 1)]; }
  } clock;
  clock.readings = {{23, 59, 59, 10, 10}, {0, 0, 0, 10, 11}, {0, 0, 1, 10, 14}};
  struct DaySink final : ClockSink {
    SharedTimetable* shared = nullptr;
    std::vector<int> days;
    std::vector<std::string> started;
    void StartRow(int row, const std::string& start_time) override {
      started.push_back(shared->Current()->Name() + " " + std::to_string(row) + " " + start_time);
    }
    void ShowTime(const std::string&) override {}
    void DayBegins(int day) override {
      days.push_back(day);
      shared->EnterDay(day);
    }
  } sink;
  const auto rows = [](const char* name, std::vector<TextValue> times) {
    std::vector<TimetableEntry> entries(times.size());
    for (std::size_t i = 0; i < times.size(); ++i) entries[i].start_time = times[i];
    return std::make_shared<const TimetableSnapshot>(std::move(entries), name);
  };
  SharedTimetable shared;
  sink.shared = &shared;
  shared.PublishFor(10, rows("常规", {"23:59:59"}));
  shared.PublishFor(11, rows("考试", {"07:00:00", "00:00:00"}));
  shared.PublishFor(12, rows("停铃", {"00:00:00"}));  // neither today nor tomorrow: dropped
  SimTime time;
  std::atomic<bool> running{true};
  SimSleeper sleeper(time, running, kDayMs);
  ClockLoop loop(clock, sleeper, shared, sink, running);
  for (int cycle = 0; cycle < 3; ++cycle) loop.RunCycle();
  EXPECT_EQ(sink.days, (std::vector<int>{10, 11, 14}));
  EXPECT_EQ(sink.started, (std::vector<std::string>{"常规 0 23:59:59", "考试 1 00:00:00"}));
  EXPECT_EQ(shared.Current()->Name(), "考试") << "a day not worked out keeps the rows it had";
  EXPECT_EQ(shared.CurrentDay(), 14);
}

// The server's answers through the follower's choice to the corrected clock the loop reads, an
// hour of rows ten seconds apart: whatever the answers do, every row rings once and in order; a
// change under 2 s is slewed (no reading moves the correction by more than 1 s a minute), a
// larger one stepped; slow or disagreeing answers keep the last trusted correction.
TEST(ClockLoopTest, ServerCorrectionRingsEveryRowOnce) {
  std::vector<TextValue> rows;
  for (int s = 8 * 3600 + 5; s < 9 * 3600; s += 10) rows.emplace_back(ClockText(s));
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(rows);
  struct Event {
    int at;  // local seconds after 08:00:00
    std::optional<ServerAnswer> answer;
  };
  struct Case {
    const char* what;
    std::vector<Event> events;
    std::int32_t final_ms;
    bool stepped;
  };
  const auto fast = [](std::int32_t ms) { return ServerAnswer{ms, 20}; };
  const Case cases[] = {
      {"slew up", {{10, fast(1500)}}, 1500, false},
      {"slew down", {{0, fast(1500)}, {30, fast(0)}}, 0, false},
      {"step forward", {{10, fast(3200)}}, 3200, true},
      {"step back", {{0, fast(3200)}, {30, fast(0)}}, 0, true},
      {"a server lost and back",
       {{0, fast(1500)}, {60, std::nullopt}, {200, fast(1500)}},
       1500,
       false},
      {"slow and disagreeing answers keep the last trusted",
       {{0, fast(1500)}, {20, fast(1600)}, {40, fast(5000)}, {60, ServerAnswer{1500, 700}}},
       1600,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimTime time{8 * 3600 * 1000 - 300};
    SimClock local(time);
    ClockCorrection correction;
    CorrectionChoice choice;
    CorrectedClock clock(local, correction);
    SimSink sink(time);
    sink.fixed_work_ms = 0;
    EventSleeper sleeper;
    std::atomic<bool> running{true};
    ClockLoop loop(clock, sleeper, index, sink, running);
    std::mt19937 jitter{3};
    std::size_t next = 0;
    double applied = 0, widest = 0;
    bool first = true;
    while (time.ms < 9 * 3600 * 1000 - 20'000) {
      for (; next < c.events.size() && time.ms >= (8 * 3600 + c.events[next].at) * 1000; ++next)
        correction.Publish(choice.Take(c.events[next].answer));
      time.ms += loop.RunCycle() + static_cast<int>(jitter() % 40);
      if (!first) widest = std::max(widest, std::fabs(clock.AppliedMs() - applied));
      first = false;
      applied = clock.AppliedMs();
    }
    EXPECT_EQ(applied, c.final_ms);
    EXPECT_EQ(widest >= kStepCorrectionMs, c.stepped) << widest;
    if (!c.stepped) {
      EXPECT_LT(widest, 1050.0 / kSlewMsPerCorrectionMs);
    }
    ASSERT_GE(sink.starts.size(), rows.size() - 2);
    for (std::size_t i = 0; i < sink.starts.size(); ++i)
      ASSERT_EQ(sink.starts[i].start_time, rows[i].View()) << "start " << i;
  }
}

}  // namespace
}  // namespace belvane
