#include "app/schedule/wake_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace belvane {
namespace {

// 2027-01-01 is a Friday. Weekends ring nothing; a winter vacation the week after next.
constexpr const char* kPlan =
    "[每周]\r\n周六=停铃\r\n周日=停铃\r\n[停铃]\r\n2027-01-11~2027-01-15=寒假\r\n";

int Day(const char* date) {
  return ClockDayOf(ParsePlanDate(date).value());
}

std::shared_ptr<const TimetableSnapshot> Rows(std::vector<TextValue> times) {
  return std::make_shared<const TimetableSnapshot>(TimetableSnapshot::FromStartTimes(times));
}

TEST(WakeTimeTest, WakesAMinuteBeforeTheNextBellThePlanRings) {
  struct Case {
    const char* what;
    std::string plan;
    const char* today;
    int now;
    std::vector<TextValue> today_rows;
    const char* bell_date;  // nullptr: no wake
    int bell_second;
    const char* text;
  };
  const std::vector<TextValue> regular = {"12:00:00", "08:00:00", "8:00", "12:00:00"};
  const Case cases[] = {
      {"a row later today", kPlan, "2027-01-01", 7 * 3600, regular, "2027-01-01", 8 * 3600,
       "下次唤醒 07:59:00"},
      {"the next row, not the first", kPlan, "2027-01-04", 9 * 3600, regular, "2027-01-04",
       12 * 3600, "下次唤醒 11:59:00"},
      {"none left today", kPlan, "2027-01-04", 13 * 3600, regular, "2027-01-05", 8 * 3600,
       "下次唤醒 2027-01-05 07:59:00"},
      {"a row at this very second has rung", kPlan, "2027-01-04", 12 * 3600, regular, "2027-01-05",
       8 * 3600, "下次唤醒 2027-01-05 07:59:00"},
      {"停铃 weekend skipped", kPlan, "2027-01-01", 13 * 3600, regular, "2027-01-04", 8 * 3600,
       "下次唤醒 2027-01-04 07:59:00"},
      {"a vacation skipped, from a quiet day",
       kPlan,
       "2027-01-10",
       9 * 3600,
       {},
       "2027-01-18",
       8 * 3600,
       "下次唤醒 2027-01-18 07:59:00"},
      {"a make-up Sunday rings", std::string(kPlan) + "[日期]\r\n2027-01-03=按周五\r\n",
       "2027-01-01", 13 * 3600, regular, "2027-01-03", 8 * 3600, "下次唤醒 2027-01-03 07:59:00"},
      {"a bell just after midnight wakes the day before",
       std::string(kPlan) + "[日期]\r\n2027-01-08=考试\r\n", "2027-01-07", 13 * 3600, regular,
       "2027-01-08", 30, "下次唤醒 23:59:30"},
      {"a plan saved with tomorrow off", std::string(kPlan) + "[日期]\r\n2027-01-05=停铃 校庆\r\n",
       "2027-01-04", 13 * 3600, regular, "2027-01-06", 8 * 3600, "下次唤醒 2027-01-06 07:59:00"},
      {"an exam in the vacation rings its first announcement",
       std::string(kPlan) + "[考试]\r\n2027-01-12 09:00~11:00=补考\r\n",
       "2027-01-10",
       9 * 3600,
       {},
       "2027-01-12",
       8 * 3600 + 30 * 60,
       "下次唤醒 2027-01-12 08:29:00"},
      {"nothing rings within the days looked at",
       std::string(kPlan) + "[停铃]\r\n2027-01-02~2027-03-01=长假\r\n", "2027-01-01", 13 * 3600,
       regular, nullptr, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DayPlan plan = ReadDayPlan(c.plan, [](std::string_view name) { return name == "考试"; });
    int asked = 0;
    const RowsOfTimetable rows_of = [&](const std::string& name) {
      ++asked;
      if (name == "考试") return Rows({"00:00:30"});
      return name == kDefaultTimetableName ? Rows(regular) : nullptr;
    };
    const TimetableSnapshot today = TimetableSnapshot::FromStartTimes(c.today_rows);
    const auto wake = NextWakeTime(plan, Day(c.today), c.now, today, rows_of);
    EXPECT_LE(asked, 2);  // each timetable read once, however many days ring it
    if (c.bell_date == nullptr) {
      EXPECT_FALSE(wake.has_value());
      continue;
    }
    ASSERT_TRUE(wake.has_value());
    const std::int64_t bell = static_cast<std::int64_t>(Day(c.bell_date)) * 86400 + c.bell_second;
    EXPECT_EQ(*wake, (WakeTime{bell, bell - 60}));
    EXPECT_EQ(WakeTimeText(*wake, Day(c.today)), c.text);
  }
}

}  // namespace
}  // namespace belvane
