#include "app/schedule/day_plan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace belvane {
namespace {

DayPlan Read(std::string_view text) {
  return ReadDayPlan(text, [](std::string_view name) {
    return name == "夏季" || name == "考试" || name == "冬季" || name == "补课";
  });
}

PlanDate Date(const char* text) {
  return ParsePlanDate(text).value();
}

TEST(DayPlanTest, DatesAreExactAndClockDaysCountFrom1601) {
  EXPECT_EQ(ClockDayOf(Date("1601-01-01")), 0);
  EXPECT_EQ(WeekdayOf(Date("1601-01-01")), 0);
  EXPECT_EQ(ClockDayOf(Date("1970-01-01")), 134774);
  EXPECT_EQ(WeekdayOf(Date("2027-01-01")), 4);
  const int last = ClockDayOf(Date("9999-12-31"));
  ASSERT_EQ(last, 3067670);
  PlanDate previous = DateOfClockDay(0);
  for (int day = 1; day <= last; ++day) {
    const PlanDate date = DateOfClockDay(day);
    // The day after `previous`, whatever month or year ends.
    const bool next =
        (date.year == previous.year && date.month == previous.month &&
         date.day == previous.day + 1) ||
        (date.day == 1 && ((date.year == previous.year && date.month == previous.month + 1) ||
                           (date.year == previous.year + 1 && date.month == 1 &&
                            previous.month == 12 && previous.day == 31)));
    ASSERT_TRUE(next && ParsePlanDate(PlanDateText(date)) && ClockDayOf(date) == day)
        << PlanDateText(date);
    previous = date;
  }
  EXPECT_FALSE(ParsePlanDate("2027-6-07"));
  EXPECT_FALSE(ParsePlanDate("2100-02-29"));
  EXPECT_TRUE(ParsePlanDate("2000-02-29"));
}

// "step name (why)", or "step 停铃 reason (why)" for a day without bells.
std::string Describe(const DayChoice& c) {
  static const char* const kSteps[] = {"dated", "range", "weekly", "season", "default"};
  std::string text = kSteps[static_cast<int>(c.step)];
  text += c.quiet ? " 停铃 " + c.reason + c.name : " " + c.name + c.reason;
  return text + " (" + c.why + ")";
}

// Each row: the plan, the date, the choice, and the lines the plan kept aside ("|" between).
TEST(DayPlanTest, ResolvesEachDateByTheFirstStepThatApplies) {
  const struct {
    const char *plan, *date, *choice, *unread;
  } rows[] = {
      {"", "2027-06-07", "default 常规 (默认)", ""},
      {"[日期]\r\n 2027-06-07 =\t考试 \r\n", "2027-06-07", "dated 考试 (日期 2027-06-07)", ""},
      {"[日期]\n2027-01-01=停铃 元旦\n", "2027-01-01", "dated 停铃 元旦 (日期 2027-01-01)", ""},
      {"[停铃]\n2027-07-10~2027-08-31=暑假\n", "2027-07-20",
       "range 停铃 暑假 (停铃 2027-07-10~2027-08-31)", ""},
      {"[停铃]\n2027-07-10~2027-08-31=\n", "2027-08-31",
       "range 停铃 停铃 2027-07-10~2027-08-31 (停铃 2027-07-10~2027-08-31)", ""},
      {"[每周]\n周一=考试\n[每周 2027-05-01~2027-09-30]\n周一=夏季\n", "2027-06-07",
       "season 夏季 (每周 2027-05-01~2027-09-30 周一)", ""},
      {"[每周 2027-05-01~2027-09-30]\n周一=夏季\n[每周]\n周二=考试\n", "2027-05-04",
       "weekly 考试 (每周 周二)", ""},
      {"[每周 2027-05-01~2027-09-30]\n周一=夏季\n[每周]\n周日=停铃\n", "2027-06-08",
       "default 常规 (默认)", ""},
      {"[每周]\n周日=停铃\n", "2027-02-07", "weekly 停铃 每周 周日 (每周 周日)", ""},
      // A make-up Saturday in the vacation rings the summer Monday.
      {"[停铃]\n2027-07-10~2027-08-31=暑假\n[日期]\n2027-07-17=按周一\n"
       "[每周 2027-05-01~2027-09-30]\n周一=夏季\n",
       "2027-07-17", "dated 夏季 (日期 2027-07-17)", ""},
      {"[日期]\n2027-06-07=按周日\n[每周]\n周日=停铃\n", "2027-06-07",
       "dated 停铃 日期 2027-06-07 (日期 2027-06-07)", ""},
      {"[日期]\n2027-06-07=按周三\n", "2027-06-07", "dated 常规 (日期 2027-06-07)", ""},
      // The shortest season holding the date; between equal lengths the first.
      {"[每周 2027-01-01~2027-12-31]\n周一=冬季\n[每周 2027-06-01~2027-06-30]\n周一=考试\n",
       "2027-06-14", "season 考试 (每周 2027-06-01~2027-06-30 周一)", ""},
      {"[每周 2027-06-01~2027-06-30]\n周一=考试\n[每周 2027-06-02~2027-07-01]\n周一=冬季\n",
       "2027-06-14", "season 考试 (每周 2027-06-01~2027-06-30 周一)", ""},
      {"[日期]\n2027-06-07=考试\n2027-06-07=冬季\n", "2027-06-07", "dated 考试 (日期 2027-06-07)",
       ""},
      {"[停铃]\n2027-07-01~2027-07-31=甲\n2027-06-01~2027-08-31=乙\n", "2027-07-20",
       "range 停铃 甲 (停铃 2027-07-01~2027-07-31)", ""},
      {"[每周]\n周一=考试\n周一=冬季\n", "2027-06-07", "weekly 考试 (每周 周一)", "周一=冬季"},
      // Year ends and 29 February.
      {"[每周 2027-12-25~2027-12-31]\n周五=冬季\n周六=冬季\n", "2027-12-31",
       "season 冬季 (每周 2027-12-25~2027-12-31 周五)", ""},
      {"[每周 2027-12-25~2027-12-31]\n周五=冬季\n周六=冬季\n", "2028-01-01", "default 常规 (默认)",
       ""},
      {"[停铃]\n2027-01-01~2027-01-01=元旦\n", "2027-01-01",
       "range 停铃 元旦 (停铃 2027-01-01~2027-01-01)", ""},
      {"[停铃]\n2027-12-31~2028-01-01=元旦\n", "2028-01-01",
       "range 停铃 元旦 (停铃 2027-12-31~2028-01-01)", ""},
      {"[日期]\n2028-02-29=考试\n", "2028-02-29", "dated 考试 (日期 2028-02-29)", ""},
      // Lines that cannot be read fall through and are kept aside.
      {"[日期]\n2027-02-29=考试\n", "2027-03-01", "default 常规 (默认)", "2027-02-29=考试"},
      {"[日期]\n2027-02-30=停铃\n2027-6-07=停铃\n", "2027-06-07", "default 常规 (默认)",
       "2027-02-30=停铃|2027-6-07=停铃"},
      {"[每周]\n周八=停铃\n周一=无此表\n周一=按周二\n周一 停铃\n", "2027-06-07",
       "default 常规 (默认)", "周八=停铃|周一=无此表|周一=按周二|周一 停铃"},
      {"[每周]\n周一=停铃x\n[日期]\n2027-06-07=\n", "2027-06-07", "default 常规 (默认)",
       "周一=停铃x|2027-06-07="},
      {"[停铃]\n2027-08-31~2027-07-10=暑假\n", "2027-07-20", "default 常规 (默认)",
       "2027-08-31~2027-07-10=暑假"},
      {"周一=停铃\n[foo]\n周一=停铃\n[每周 2027-13-01~2027-09-30]\n周一=停铃\n[每周]junk\n"
       "周一=停铃\n",
       "2027-06-07", "default 常规 (默认)",
       "周一=停铃|[foo]|周一=停铃|[每周 2027-13-01~2027-09-30]|周一=停铃|[每周]junk|周一=停铃"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.plan) + " @ " + row.date);
    const DayPlan plan = Read(row.plan);
    EXPECT_EQ(Describe(ResolveDay(plan, Date(row.date))), row.choice);
    std::string unread;
    for (const UnreadLine& u : plan.unread) unread += (unread.empty() ? "" : "|") + u.text;
    EXPECT_EQ(unread, row.unread);
  }
}

// "\n" as written by hand, "\r\n" as the program writes.
std::string Crlf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// Written back, the file keeps every line as it stood; an edit changes its own line in place, a
// new line goes to the end of its section's block, a new section to the end.
TEST(DayPlanTest, WritingKeepsTheFileAsWrittenAndChangesOnlyWhatWasEdited) {
  const std::string file =
      "; 本校铃声日历\nx=1\n[停铃]\n2027-07-10 ~ 2027-08-31=暑假\n\n"
      "; 夏季作息\n[每周 2027-05-01~2027-09-30]\n周一=夏季\n周九=夏季\n"
      "[日期]\r\n; 元旦放假\r\n2027-01-01=停铃  元旦\r\n2027-02-07=按周五\r\n\r\n"
      "[每周]\n  周日 = 停铃\n; 周六也停\n周六=停铃\n\n[foo]\na=b";
  const struct {
    const char* what;
    std::function<void(DayPlan&)> edit;
    std::vector<std::pair<std::string, std::string>> changes;  // line before -> after ("" none)
    std::string added;                                         // after the last line
  } cases[] = {
      {"nothing", [](DayPlan&) {}, {}, {}},
      {"weekdays changed, renamed and removed",
       [](DayPlan& p) {
         p.weekly.days[6] = PlanValue{PlanValue::Kind::kTimetable, "补课", {}, 0};
         p.weekly.days[5].reset();
         RenameInPlan(p, "夏季", "冬季");
       },
       {{"  周日 = 停铃\n", "周日=补课\n"}, {"周六=停铃\n", ""}, {"周一=夏季\n", "周一=冬季\n"}},
       {}},
      {"a weekday added: at the end of its section, before the blank line",
       [](DayPlan& p) {
         p.weekly.days[0] = PlanValue{PlanValue::Kind::kQuiet, {}, "", 0};
       },
       {{"周六=停铃\n", "周六=停铃\n周一=停铃\n"}},
       {}},
      {"dated lines changed, removed and added",
       [](DayPlan& p) {
         p.dates[0].value.reason = "新年";
         p.dates.erase(p.dates.begin() + 1);
         p.dates.push_back({Date("2027-06-07"), {PlanValue::Kind::kTimetable, "考试", {}, 0}});
       },
       {{"2027-01-01=停铃  元旦\r\n", "2027-01-01=停铃 新年\r\n2027-06-07=考试\r\n"},
        {"2027-02-07=按周五\r\n", ""}},
       {}},
      {"a season's range changed in place; a new season at the end",
       [](DayPlan& p) {
         p.seasons[0].range.to = Date("2027-08-31");
         p.seasons.push_back({*ParseDateRange("2027-11-01~2028-01-31"), {}});
         p.seasons.back().week.days[1] = PlanValue{PlanValue::Kind::kTimetable, "冬季", {}, 0};
       },
       {{"[每周 2027-05-01~2027-09-30]\n", "[每周 2027-05-01~2027-08-31]\n"}},
       "\r\n[每周 2027-11-01~2028-01-31]\r\n周二=冬季\r\n"},
      {"a season removed with its block",
       [](DayPlan& p) { p.seasons.clear(); },
       {{"; 夏季作息\n[每周 2027-05-01~2027-09-30]\n周一=夏季\n周九=夏季\n", ""}},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DayPlan plan = Read(file);
    c.edit(plan);
    std::string expected = Crlf(file + "\n");
    for (const auto& [before, after] : c.changes) {
      const std::size_t at = expected.find(Crlf(before));
      ASSERT_NE(at, std::string::npos) << before;
      expected.replace(at, Crlf(before).size(), Crlf(after));
    }
    expected += c.added;
    const std::string text = WriteDayPlan(plan);
    EXPECT_EQ(text, expected);
    // Read again, it is the plan as edited, and writes itself unchanged.
    const DayPlan again = Read(text);
    EXPECT_EQ(WriteDayPlan(again), text);
    for (int day = ClockDayOf(Date("2027-01-01")); day < ClockDayOf(Date("2028-03-01")); ++day)
      ASSERT_EQ(ResolveDay(again, DateOfClockDay(day)), ResolveDay(plan, DateOfClockDay(day)));
  }

  // A plan made without a file: its sections in order, a blank line between.
  DayPlan made;
  made.weekly.days[6] = PlanValue{PlanValue::Kind::kQuiet, {}, "", 0};
  made.quiet.push_back({*ParseDateRange("2027-07-10~2027-08-31"), "暑假"});
  EXPECT_EQ(WriteDayPlan(made),
            "[每周]\r\n周日=停铃\r\n\r\n[停铃]\r\n2027-07-10~2027-08-31=暑假\r\n");
}

TEST(DayPlanTest, RenameChangesEveryLineNamingTheTimetableAndNoOther) {
  DayPlan plan = Read(
      "[每周]\n周三=考试\n周四=冬季\n[每周 2027-05-01~2027-09-30]\n周一=考试\n[日期]\n"
      "2027-06-07=考试\n2027-06-08=按周一\n[停铃]\n2027-07-10~2027-08-31=考试\n");
  EXPECT_EQ(LinesNaming(plan, "考试"),
            (std::vector<std::string>{"周三=考试", "周一=考试", "2027-06-07=考试"}));
  EXPECT_EQ(RenameInPlan(plan, "考试", "补课"), 3);
  EXPECT_TRUE(LinesNaming(plan, "考试").empty());
  EXPECT_EQ(LinesNaming(plan, "补课"),
            (std::vector<std::string>{"周三=补课", "周一=补课", "2027-06-07=补课"}));
  EXPECT_EQ(ResolveDay(plan, Date("2027-06-08")).name, "补课");
  EXPECT_EQ(plan.quiet[0].reason, "考试");
}

}  // namespace
}  // namespace belvane
