#include "app/calendar/plan_view_model.h"

#include <gtest/gtest.h>

namespace belvane {
namespace {

using Section = DatedLineRef::Section;
using Kind = PlanValue::Kind;

PlanDate D(int month, int day) {
  return {2027, month, day};
}
PlanValue Named(const char* name) {
  return {Kind::kTimetable, name, {}, 0};
}
PlanValue Quiet(const char* reason = "") {
  return {Kind::kQuiet, {}, reason, 0};
}
PlanValue AsWeekday(int weekday) {
  return {Kind::kAsWeekday, {}, {}, weekday};
}

// A plan's dated and quiet lines as the file writes them, in file order.
std::string Lines(const DayPlan& plan) {
  std::string text;
  for (const DatedLine& l : plan.dates)
    text += PlanDateText(l.date) + "=" + PlanValueText(l.value) + ";";
  for (const QuietRange& q : plan.quiet) text += DateRangeText(q.range) + "=" + q.reason + ";";
  return text;
}

TEST(PlanViewModelTest, DatedRowsAreByFirstDateWithTheDecidingLineFirst) {
  DayPlan plan;
  plan.dates = {{D(6, 7), Named("考试")},
                {D(2, 7), AsWeekday(4)},
                {D(7, 10), Quiet("补课取消")},
                {D(6, 7), Named("常规")}};
  plan.quiet = {{{D(7, 10), D(8, 31)}, "暑假"}, {{D(1, 25), D(2, 20)}, ""}};
  struct Row {
    Section section;
    int index;
    const char* date;
    const char* plan;
    const char* note;
  };
  const Row expected[] = {
      {Section::kQuiet, 1, "2027-01-25~2027-02-20", "停铃", ""},
      {Section::kDated, 1, "2027-02-07", "按周五", ""},
      {Section::kDated, 0, "2027-06-07", "考试", ""},
      {Section::kDated, 3, "2027-06-07", "常规", "同一天前面已有一行，此行不起作用"},
      {Section::kDated, 2, "2027-07-10", "停铃", "补课取消"},
      {Section::kQuiet, 0, "2027-07-10~2027-08-31", "停铃", "暑假"},
  };
  const std::vector<DatedRow> rows = DatedRows(plan);
  ASSERT_EQ(rows.size(), std::size(expected));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].line, (DatedLineRef{expected[i].section, expected[i].index}));
    EXPECT_EQ(rows[i].date, expected[i].date);
    EXPECT_EQ(rows[i].plan, expected[i].plan);
    EXPECT_EQ(rows[i].note, expected[i].note);
  }
}

TEST(PlanViewModelTest, AnEditGoesToTheSectionItsDatesAndValueCallFor) {
  DayPlan start;
  start.dates = {{D(6, 7), Named("考试")}, {D(6, 8), Named("考试")}};
  start.quiet = {{{D(1, 1), D(1, 1)}, "元旦"}};
  struct Case {
    const char* what;
    std::optional<DatedLineRef> replacing;
    DatedEdit edit;
    DatedLineRef placed;
    const char* lines;
  };
  const Case cases[] = {
      {"a new day",
       std::nullopt,
       {{D(3, 1), D(3, 1)}, AsWeekday(0)},
       {Section::kDated, 2},
       "2027-06-07=考试;2027-06-08=考试;2027-03-01=按周一;2027-01-01~2027-01-01=元旦;"},
      {"a new range",
       std::nullopt,
       {{D(7, 1), D(7, 2)}, Quiet("运动会")},
       {Section::kQuiet, 1},
       "2027-06-07=考试;2027-06-08=考试;2027-01-01~2027-01-01=元旦;2027-07-01~2027-07-02=运动会;"},
      {"a day changed in place",
       DatedLineRef{Section::kDated, 0},
       {{D(6, 9), D(6, 9)}, Quiet("停电")},
       {Section::kDated, 0},
       "2027-06-09=停铃 停电;2027-06-08=考试;2027-01-01~2027-01-01=元旦;"},
      {"a day widened into a range",
       DatedLineRef{Section::kDated, 0},
       {{D(6, 7), D(6, 9)}, Quiet()},
       {Section::kQuiet, 1},
       "2027-06-08=考试;2027-01-01~2027-01-01=元旦;2027-06-07~2027-06-09=;"},
      {"a one-day range stays a range",
       DatedLineRef{Section::kQuiet, 0},
       {{D(1, 2), D(1, 2)}, Quiet("元旦")},
       {Section::kQuiet, 0},
       "2027-06-07=考试;2027-06-08=考试;2027-01-02~2027-01-02=元旦;"},
      {"a range given a timetable becomes a day",
       DatedLineRef{Section::kQuiet, 0},
       {{D(1, 1), D(1, 1)}, Named("考试")},
       {Section::kDated, 2},
       "2027-06-07=考试;2027-06-08=考试;2027-01-01=考试;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DayPlan plan = start;
    EXPECT_EQ(DatedEditProblem(c.edit), "");
    EXPECT_EQ(PutDatedEdit(plan, c.replacing, c.edit), c.placed);
    EXPECT_EQ(Lines(plan), c.lines);
    // Saved and read again, every line still stands.
    const DayPlan read = ReadDayPlan(WriteDayPlan(plan), [](std::string_view) { return true; });
    EXPECT_EQ(Lines(read), c.lines);
    EXPECT_TRUE(read.unread.empty());
    if (c.replacing) {
      // Opened again, the line gives back the edit it was made from.
      const DatedEdit again = EditOfLine(plan, c.placed);
      EXPECT_EQ(again.dates.from, c.edit.dates.from);
      EXPECT_EQ(again.dates.to, c.edit.dates.to);
      EXPECT_EQ(PlanValueText(again.value), PlanValueText(c.edit.value));
    }
  }
  DayPlan plan = start;
  DeleteDatedLine(plan, {Section::kDated, 0});
  DeleteDatedLine(plan, {Section::kQuiet, 5});
  EXPECT_EQ(Lines(plan), "2027-06-08=考试;2027-01-01~2027-01-01=元旦;");

  // Changed in place, a line keeps its place in the file, among the user's comments.
  DayPlan file = ReadDayPlan(
      "[日期]\r\n; 期末\r\n2027-06-07=考试\r\n2027-06-08=考试\r\n[停铃]\r\n"
      "2027-01-01~2027-01-01=元旦\r\n",
      [](std::string_view name) { return name == "考试"; });
  PutDatedEdit(file, DatedLineRef{Section::kDated, 0}, {{D(6, 9), D(6, 9)}, Quiet("停电")});
  PutDatedEdit(file, DatedLineRef{Section::kQuiet, 0}, {{D(1, 1), D(1, 2)}, Quiet("元旦")});
  EXPECT_EQ(WriteDayPlan(file),
            "[日期]\r\n; 期末\r\n2027-06-09=停铃 停电\r\n2027-06-08=考试\r\n[停铃]\r\n"
            "2027-01-01~2027-01-02=元旦\r\n");

  EXPECT_NE(DatedEditProblem({{D(6, 9), D(6, 7)}, Quiet()}), "");
  EXPECT_NE(DatedEditProblem({{D(6, 7), D(6, 9)}, Named("考试")}), "");
  EXPECT_NE(DatedEditProblem({{D(6, 7), D(6, 9)}, AsWeekday(2)}), "");
}

TEST(PlanViewModelTest, WeekdayChoicesRoundTripAndOfferEveryNameThePlanUses) {
  DayPlan plan;
  plan.weekly.days[0] = Named("考试");
  plan.seasons = {{{D(5, 1), D(9, 30)}, {}}};
  plan.seasons[0].week.days[2] = Named("夏季");
  plan.dates = {{D(6, 7), Named("旧课表")}};
  const std::vector<std::string> names = NamesOffered({"常规", "考试"}, plan);
  EXPECT_EQ(names, (std::vector<std::string>{"常规", "考试", "夏季", "旧课表"}));
  EXPECT_EQ(WeekdayChoiceTexts(names, false).front(), "（默认）");
  EXPECT_EQ(WeekdayChoiceTexts(names, true).front(), "（同每周）");
  EXPECT_EQ(WeekdayChoiceTexts(names, true).size(), names.size() + 2);

  const std::optional<PlanValue> entries[] = {std::nullopt, Quiet(), Named("常规"), Named("夏季")};
  const int indexes[] = {0, 1, 2, 4};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(WeekdayChoiceIndex(entries[i], names), indexes[i]);
    const std::optional<PlanValue> back = WeekdayChoiceValue(indexes[i], names);
    ASSERT_EQ(back.has_value(), entries[i].has_value());
    if (back) {
      EXPECT_EQ(PlanValueText(*back), PlanValueText(*entries[i]));
    }
  }
  EXPECT_FALSE(WeekdayChoiceValue(-1, names));
  EXPECT_FALSE(WeekdayChoiceValue(6, names));
}

TEST(PlanViewModelTest, SummariesAndHeadingsReadAsTheWindowShowsThem) {
  SeasonalWeek summer{{D(5, 1), D(9, 30)}, {}};
  EXPECT_EQ(SeasonSummary(summer), "2027-05-01~2027-09-30  （同每周）");
  for (int day = 0; day < 5; ++day) summer.week.days[day] = Named("夏季");
  summer.week.days[6] = Quiet("周末");
  EXPECT_EQ(SeasonSummary(summer), "2027-05-01~2027-09-30  周一~周五=夏季 周日=停铃 周末");
  summer.week.days[2] = Quiet();
  EXPECT_EQ(SeasonSummary(summer),
            "2027-05-01~2027-09-30  周一~周二=夏季 周三=停铃 周四~周五=夏季 周日=停铃 周末");

  EXPECT_EQ(UnreadLineText({"[每周]", "周八=常规"}), "[每周] 周八=常规");
  EXPECT_EQ(UnreadLineText({"[每周 2027-13-01~2027-09-30]", "[每周 2027-13-01~2027-09-30]"}),
            "[每周 2027-13-01~2027-09-30]");

  struct Case {
    PlanDate date;
    DayChoice choice;
    const char* heading;
  };
  const Case cases[] = {
      {D(6, 7),
       {DayChoice::Step::kDated, false, "考试", "日期 2027-06-07", "日期 2027-06-07"},
       "2027-06-07 周一：考试（日期 2027-06-07）"},
      {D(7, 12),
       {DayChoice::Step::kQuietRange, true, "", "暑假", "停铃 2027-07-10~2027-08-31"},
       "2027-07-12 周一 停铃：暑假（停铃 2027-07-10~2027-08-31）"},
      {D(6, 13),
       {DayChoice::Step::kWeekly, true, "", "每周 周日", "每周 周日"},
       "2027-06-13 周日 停铃（每周 周日）"},
      // Sessions ring before anything else the plan says of the date.
      {D(6, 7),
       {DayChoice::Step::kQuietRange,
        true,
        "",
        "停铃",
        "停铃 2027-06-01~2027-06-30",
        {{D(6, 7), 9 * 3600, 11 * 3600 + 1800, "语文"}, {D(6, 7), 15 * 3600, 17 * 3600, "数学"}}},
       "2027-06-07 周一：考试 2 场（语文 09:00~11:30; 数学 15:00~17:00）"},
      {D(6, 8),
       {DayChoice::Step::kWeekly,
        false,
        "常规",
        "每周 周二",
        "每周 周二",
        {{D(6, 8), 9 * 3600, 11 * 3600, "英语"}},
        true},
       "2027-06-08 周二：考试 1 场（英语 09:00~11:00），同时打常规"},
  };
  for (const Case& c : cases) EXPECT_EQ(PreviewHeading(c.date, c.choice), c.heading);
}

// The exam part: a session the file would not read back is refused, an import adds only what
// the plan lacks, and a template line goes through its dialog's choice and back unchanged.
TEST(PlanViewModelTest, ExamSessionsAndTemplateLinesAsTheExamPartEditsThem) {
  const ExamSession chinese{D(6, 7), 9 * 3600, 11 * 3600 + 1800, "语文"};
  EXPECT_EQ(ExamTimesText(chinese), "09:00~11:30");
  EXPECT_EQ(ExamSessionProblem(chinese), "");
  ExamSession bad = chinese;
  bad.end_second = bad.start_second;
  EXPECT_NE(ExamSessionProblem(bad), "");
  for (const char* subject : {"", "语\r\n文"}) {
    bad = chinese;
    bad.subject = subject;
    EXPECT_NE(ExamSessionProblem(bad), "") << subject;
  }

  ExamPlan exams;
  AddSessions(exams, {chinese});
  const ExamSession maths{D(6, 7), 15 * 3600, 17 * 3600, "数学"};
  EXPECT_EQ(SessionsToAdd(exams, {chinese, maths, maths}), std::vector<ExamSession>{maths});

  // An edit of a plan without [考试铃] starts from the default seven lines; 恢复默认 keeps
  // 同时打课表.
  OwnExamTemplate(exams);
  EXPECT_TRUE(exams.has_template);
  EXPECT_EQ(exams.bells, DefaultExamBells());
  exams.bells.clear();
  exams.with_timetable = true;
  OwnExamTemplate(exams);
  EXPECT_TRUE(exams.bells.empty());
  RestoreDefaultExamTemplate(exams);
  EXPECT_EQ(exams.bells, DefaultExamBells());
  EXPECT_TRUE(exams.with_timetable);

  for (const char* key : {"开始前30分", "开始", "开始后1:30分", "结束前15分", "结束"}) {
    const std::optional<ExamBell> bell = ParseExamBell(key, "a.m4a");
    ASSERT_TRUE(bell) << key;
    EXPECT_EQ(ExamBellOfChoice(ChoiceOfExamBell(*bell), "a.m4a"), bell) << key;
  }
  EXPECT_EQ(ChoiceOfExamBell(*ParseExamBell("开始前30分", "a.m4a")), (ExamBellChoice{0, "30"}));
  EXPECT_FALSE(ExamBellOfChoice({0, ""}, "a.m4a"));
  EXPECT_FALSE(ExamBellOfChoice({3, "1:99"}, "a.m4a"));
  EXPECT_FALSE(ExamBellOfChoice({1, ""}, ""));
}

}  // namespace
}  // namespace belvane
