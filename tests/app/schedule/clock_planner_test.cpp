#include "app/schedule/clock_planner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace belvane {
namespace {

// A timetable as a plain map from start-time text to its first row.
class FakeLookup final : public StartTimeLookup {
 public:
  void Add(const std::string& text, int row) { rows_.emplace(text, row); }
  int FirstRowAt(std::string_view text) const override {
    asked.emplace_back(text);
    const auto found = rows_.find(std::string(text));
    return found == rows_.end() ? -1 : found->second;
  }
  mutable std::vector<std::string> asked;

 private:
  std::map<std::string, int> rows_;
};

int At(int h, int m, int s) {
  return h * 3600 + m * 60 + s;
}

TEST(ClockTextTest, TwoDigitFieldsAndWholeDay) {
  EXPECT_EQ(ClockText(At(9, 5, 3)), "09:05:03");
  EXPECT_EQ(ClockText(At(23, 59, 59)), "23:59:59");
  EXPECT_EQ(ClockText(0), "00:00:00");
  EXPECT_EQ(ClockText(kSecondsPerDay), "00:00:00");
  EXPECT_EQ(ClockText(-1), "23:59:59");
  EXPECT_EQ(SecondOfDay({8, 30, 0, 999}), At(8, 30, 0));
  EXPECT_EQ(SecondOfDay({23, 59, 60, 500}), At(23, 59, 59));  // a leap second stays in the day
  // Milliseconds are dropped, never rounded: the last second of the day never shows 24:00:00.
  EXPECT_EQ(ClockText(SecondOfDay({23, 59, 59, 400})), "23:59:59");
  EXPECT_EQ(ClockText(SecondOfDay({23, 59, 59, 600})), "23:59:59");
}

TEST(ClockWaitTest, EndsJustAfterTheNextSecondBegins) {
  EXPECT_EQ(MillisecondsToNextSecond(0), 1000 + kWakeMarginMs);
  EXPECT_EQ(MillisecondsToNextSecond(985, 15), 30);
  EXPECT_EQ(MillisecondsToNextSecond(999, 15), 16);
  EXPECT_EQ(MillisecondsToNextSecond(1500, 15), 16);  // a reading past 999 is clamped
  EXPECT_EQ(MillisecondsToNextSecond(-5, 0), 1000);
}

TEST(PlanCycleTest, FirstCycleChecksOnlyTheCurrentSecond) {
  FakeLookup rows;
  rows.Add("08:29:59", 0);
  rows.Add("08:30:00", 1);
  const ClockPlan plan = PlanCycle(kNoSecondChecked, At(8, 30, 0), rows);
  EXPECT_EQ(plan.step, ClockStep::kFirst);
  EXPECT_EQ(plan.checked_count, 1);
  EXPECT_EQ(plan.start_row, 1);
  EXPECT_EQ(plan.start_second, At(8, 30, 0));
}

TEST(PlanCycleTest, OnTimeChecksTheNextSecond) {
  FakeLookup rows;
  rows.Add("08:30:00", 4);
  ClockPlan plan = PlanCycle(At(8, 29, 59), At(8, 30, 0), rows);
  EXPECT_EQ(plan.step, ClockStep::kOnTime);
  EXPECT_EQ(plan.checked_count, 1);
  EXPECT_EQ(plan.start_row, 4);
  EXPECT_EQ(rows.asked, std::vector<std::string>{"08:30:00"});

  plan = PlanCycle(At(8, 30, 0), At(8, 30, 1), rows);
  EXPECT_EQ(plan.start_row, -1);
  EXPECT_EQ(plan.start_second, -1);
}

TEST(PlanCycleTest, EarlyWakeInTheSameSecondChecksNothing) {
  FakeLookup rows;
  rows.Add("08:30:00", 0);
  const ClockPlan plan = PlanCycle(At(8, 30, 0), At(8, 30, 0), rows);
  EXPECT_EQ(plan.step, ClockStep::kSameSecond);
  EXPECT_EQ(plan.checked_count, 0);
  EXPECT_EQ(plan.start_row, -1);  // already started by the cycle that checked it
  EXPECT_TRUE(rows.asked.empty());
}

TEST(PlanCycleTest, LateWakeStartsARowOfASecondPassedOver) {
  FakeLookup rows;
  rows.Add("08:30:00", 7);
  const ClockPlan plan = PlanCycle(At(8, 29, 59), At(8, 30, 1), rows);
  EXPECT_EQ(plan.step, ClockStep::kCatchUp);
  EXPECT_EQ(plan.checked_count, 2);
  EXPECT_EQ(plan.FirstChecked(), At(8, 30, 0));
  EXPECT_EQ(plan.start_row, 7);
  EXPECT_EQ(plan.start_second, At(8, 30, 0));
}

TEST(PlanCycleTest, StallStartsTheLatestDueSecondAndSupersedesTheRest) {
  FakeLookup rows;
  rows.Add("10:00:01", 3);
  rows.Add("10:00:02", 4);
  rows.Add("10:00:04", 5);  // after the stall: not yet due
  const ClockPlan plan = PlanCycle(At(10, 0, 0), At(10, 0, 3), rows);
  EXPECT_EQ(plan.checked_count, 3);
  EXPECT_EQ(plan.due_seconds, 2);
  EXPECT_EQ(plan.start_row, 4);
  EXPECT_EQ(plan.start_second, At(10, 0, 2));
  EXPECT_EQ(rows.asked, (std::vector<std::string>{"10:00:03", "10:00:02", "10:00:01"}));
}

TEST(PlanCycleTest, CatchUpIsBoundedAtSixtySeconds) {
  FakeLookup rows;
  rows.Add("12:00:01", 1);  // the oldest second of a 60 s gap: still caught up
  ClockPlan plan = PlanCycle(At(12, 0, 0), At(12, 1, 0), rows);
  EXPECT_EQ(plan.step, ClockStep::kCatchUp);
  EXPECT_EQ(plan.checked_count, kMaxCatchUpSeconds);
  EXPECT_EQ(plan.start_row, 1);

  // 61 s: the computer slept or the clock moved forward; what was passed over stays silent.
  plan = PlanCycle(At(12, 0, 0), At(12, 1, 1), rows);
  EXPECT_EQ(plan.step, ClockStep::kJump);
  EXPECT_EQ(plan.checked_count, 1);
  EXPECT_EQ(plan.start_row, -1);

  rows.Add("13:00:00", 2);
  plan = PlanCycle(At(12, 0, 0), At(13, 0, 0), rows);
  EXPECT_EQ(plan.step, ClockStep::kJump);
  EXPECT_EQ(plan.start_row, 2);  // the new current second's row does start
}

TEST(PlanCycleTest, ClockSetBackWithinTheBoundStartsNothingAgain) {
  FakeLookup rows;
  rows.Add("09:00:00", 0);
  rows.Add("09:00:05", 1);
  rows.Add("09:00:09", 2);
  rows.Add("09:00:11", 3);
  rows.Add("23:59:59", 4);
  // 09:00:10 was checked, then time synchronisation set the clock back 5 s: what rang does not
  // ring again, and 09:00:10 stays the last checked until the clock reaches it.
  ClockPlan plan = PlanCycle(At(9, 0, 10), At(9, 0, 5), rows);
  EXPECT_EQ(plan.step, ClockStep::kSteppedBack);
  EXPECT_EQ(plan.checked_count, 0);
  EXPECT_EQ(plan.start_row, -1);
  EXPECT_EQ(plan.last_checked, At(9, 0, 10));
  EXPECT_TRUE(rows.asked.empty());
  EXPECT_EQ(PlanCycle(At(9, 0, 10), At(9, 0, 9), rows).start_row, -1);
  EXPECT_EQ(PlanCycle(At(9, 0, 10), At(9, 0, 11), rows).start_row, 3);
  // Back across midnight, with the day told or not.
  EXPECT_EQ(PlanCycle(1, At(23, 59, 59), rows).step, ClockStep::kSteppedBack);
  EXPECT_EQ(PlanCycle(1, At(23, 59, 59), rows, -1).step, ClockStep::kSteppedBack);
  EXPECT_EQ(PlanCycle(At(9, 1, 5), At(9, 0, 5), rows).step, ClockStep::kSteppedBack);

  // Further back than the bound, or to the next day, rings the new current second as usual.
  for (const auto& [last, days_on] : {std::pair{At(9, 1, 6), kDaysUntold},
                                      {At(10, 0, 5), 0},
                                      {At(9, 0, 5), 1},
                                      {At(9, 0, 7), 1}}) {
    plan = PlanCycle(last, At(9, 0, 5), rows, days_on);
    EXPECT_EQ(plan.step, ClockStep::kJump) << last << " " << days_on;
    EXPECT_EQ(plan.start_row, 1) << last << " " << days_on;
    EXPECT_EQ(plan.last_checked, At(9, 0, 5));
  }
}

TEST(PlanCycleTest, MidnightIsConsecutive) {
  FakeLookup rows;
  rows.Add("23:59:59", 0);
  rows.Add("00:00:00", 1);
  ClockPlan plan = PlanCycle(At(23, 59, 59), 0, rows);
  EXPECT_EQ(plan.step, ClockStep::kOnTime);
  EXPECT_EQ(plan.start_row, 1);

  // Late across midnight: both seconds are checked, the later (00:00:00) starts.
  plan = PlanCycle(At(23, 59, 58), 1, rows);
  EXPECT_EQ(plan.step, ClockStep::kCatchUp);
  EXPECT_EQ(plan.checked_count, 3);
  EXPECT_EQ(plan.FirstChecked(), At(23, 59, 59));
  EXPECT_EQ(plan.due_seconds, 2);
  EXPECT_EQ(plan.start_row, 1);
  EXPECT_EQ(plan.start_second, 0);

  plan = PlanCycle(At(23, 59, 58), At(23, 59, 59), rows);
  EXPECT_EQ(plan.start_row, 0);
}

TEST(PlanCycleTest, ChecksEverySecondOfACatchUpExactlyOnce) {
  FakeLookup rows;
  const ClockPlan plan = PlanCycle(At(23, 59, 30), At(0, 0, 30), rows);
  ASSERT_EQ(plan.checked_count, 60);
  ASSERT_EQ(rows.asked.size(), 60u);
  for (int i = 0; i < 60; ++i) {
    EXPECT_EQ(rows.asked[59 - i], ClockText(At(23, 59, 31) + i)) << i;
  }
}

}  // namespace
}  // namespace belvane
