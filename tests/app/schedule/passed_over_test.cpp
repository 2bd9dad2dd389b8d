#include "app/schedule/passed_over.h"

#include "app/schedule/clock_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace belvane {
namespace {

TimetableSnapshot Rows(std::vector<TextValue> times) {
  return TimetableSnapshot::FromStartTimes(times);
}

constexpr int k0800 = 8 * 3600;

// Plans the cycle from `last` to `now` over `rows` and lists the rows it passed over.
std::vector<int> Passed(const TimetableSnapshot& rows, int last, int now, int last_day = 0,
                        int day = 0) {
  const ClockPlan plan = PlanCycle(last, now, rows);
  return PassedOverRows(PassedOverBy(plan, last, last_day, day), rows);
}

TEST(PassedOverTest, OnTimeFirstAndSingleCatchUpPassNothingOver) {
  const TimetableSnapshot rows = Rows({"08:00:00", "08:00:05"});
  EXPECT_TRUE(Passed(rows, k0800 - 1, k0800).empty());             // on time
  EXPECT_TRUE(Passed(rows, kNoSecondChecked, k0800 + 5).empty());  // first cycle
  EXPECT_TRUE(Passed(rows, k0800 - 3, k0800 + 2).empty());         // one due second caught up
}

TEST(PassedOverTest, CatchUpListsTheSupersededRowsNotTheOneThatRang) {
  // Rows 0 and 2 share nothing; row 3 repeats row 0's time and never rings.
  const TimetableSnapshot rows = Rows({"08:00:00", "08:00:10", "08:00:20", "08:00:00"});
  EXPECT_EQ(Passed(rows, k0800 - 1, k0800 + 30), (std::vector<int>{0, 1}));
}

TEST(PassedOverTest, JumpForwardListsEveryRowBetweenInOrderAcrossMidnight) {
  const TimetableSnapshot rows =
      Rows({"00:30:00", "23:00:00", "07:00:00", "7:00:00", "06:59:59", "22:00:00"});
  // 22:00 on day 1 to 07:00 on day 2: 22:00 was checked, 07:00 is checked now.
  EXPECT_EQ(Passed(rows, 22 * 3600, 7 * 3600, 1, 2), (std::vector<int>{1, 0, 4}));
}

TEST(PassedOverTest, ClockMovedBackPassesNothingOver) {
  const TimetableSnapshot rows = Rows({"07:30:00"});
  EXPECT_TRUE(Passed(rows, k0800, 7 * 3600, 5, 5).empty());
  // Back across midnight: the day says so.
  EXPECT_TRUE(Passed(rows, 3600, 23 * 3600, 5, 4).empty());
}

TEST(PassedOverTest, AJumpOfADayOrMoreListsEveryRowButTheCurrentSecondsOnce) {
  const TimetableSnapshot rows = Rows({"08:00:00", "09:00:00", "07:00:00"});
  EXPECT_EQ(Passed(rows, k0800, k0800, 1, 3), (std::vector<int>{1, 2}));
}

// A jump of a day or more lists the last day's rows and sums up those of the days before.
TEST(PassedOverTest, AJumpOfDaysListsTheLastDayAndSumsUpTheRest) {
  const TimetableSnapshot rows = Rows({"08:00:00", "12:00:00", "08:00:00"});
  constexpr std::int64_t kDay = kSecondsPerDay, k1200 = 12 * 3600;
  const struct {
    int last, last_day, now, day;
    std::vector<int> listed;
    PassedOverSummary summed;
  } cases[] = {
      {10 * 3600, 1, 9 * 3600, 2, {1, 0}, {}},
      {k1200, 1, k1200 + 1, 2, {0, 1}, {}},  // the one second before the last day has no row
      {k1200 - 1, 1, k1200 + 1, 2, {0, 1}, {1, kDay + k1200, kDay + k1200}},
      {k0800, 1, k0800, 4, {1}, {4, kDay + k1200, 3 * kDay + k0800}},
      {10 * 3600, 10, 10 * 3600, 375, {1, 0}, {728, 10 * kDay + k1200, 374 * kDay + k0800}},
      {k0800 + 1, 2, k0800 - 1, 2, {}, {}},  // set back: nothing
  };
  for (const auto& c : cases) {
    const ClockPlan plan = PlanCycle(c.last, c.now, rows, c.day - c.last_day);
    const PassedOverSpan span = PassedOverBy(plan, c.last, c.last_day, c.day);
    EXPECT_EQ(PassedOverRows(span, rows), c.listed) << c.last_day << " " << c.day;
    EXPECT_EQ(SummarizeEarlier(span, rows), c.summed) << c.last_day << " " << c.day;
  }
}

TEST(PassedOverTest, RingingSecondAcceptsOnlyTheClocksOwnForm) {
  EXPECT_EQ(RingingSecond("08:30:05"), 8 * 3600 + 30 * 60 + 5);
  EXPECT_EQ(RingingSecond("23:59:59"), 86399);
  for (const char* text : {"8:30:05", "24:00:00", "08:60:00", "08-30-05", "", "08:30:05 "})
    EXPECT_EQ(RingingSecond(text), -1) << text;
}

// The loop hands the span to its sink after the row it starts: here a night's sleep.
TEST(PassedOverTest, TheClockLoopReportsWhatAJumpForwardPassedOver) {
  struct Clock final : ClockSource {
    ClockReading reading;
    ClockReading Now() override { return reading; }
  } clock;
  struct Sink final : ClockSink {
    std::vector<std::string> events;
    void StartRow(int row, const std::string&) override {
      events.push_back("start " + std::to_string(row));
    }
    void ShowTime(const std::string&) override {}
    void PassedOver(const PassedOverSpan& span) override {
      events.push_back("passed " + std::to_string(span.first) + "+" + std::to_string(span.count));
    }
  } sink;
  struct NoSleep final : Sleeper {
    void Wait(int) override {}
    void Interrupt() override {}
  } sleeper;
  const TimetableSnapshot rows = Rows({"07:00:00", "23:00:00"});
  std::atomic<bool> running{true};
  ClockLoop loop(clock, sleeper, rows, sink, running);
  clock.reading = {22, 0, 0, 0, 10};
  loop.RunCycle();
  clock.reading = {7, 0, 0, 0, 11};
  loop.RunCycle();
  EXPECT_EQ(sink.events, (std::vector<std::string>{"start 0", "passed 79201+32399"}));
  clock.reading = {6, 0, 0, 0, 11};  // set back an hour: nothing passed over
  loop.RunCycle();
  EXPECT_EQ(sink.events.size(), 2u);
}

}  // namespace
}  // namespace belvane
