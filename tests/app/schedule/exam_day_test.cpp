#include "app/schedule/exam_day.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/schedule/day_plan.h"

namespace belvane {
namespace {

DayPlan Read(std::string_view text) {
  return ReadDayPlan(text, [](std::string_view name) { return name == "夏季"; });
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "|") + part;
  return text;
}

// "08:59:00 a.mp3 数学|..." for the rows, then " ! " and the clashes, " ~ " and the rows on
// another date.
std::string Describe(const ExamDay& day) {
  std::vector<std::string> rows;
  for (const ExamRow& row : day.rows) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", row.second / 3600, row.second / 60 % 60,
                  row.second % 60);
    rows.push_back(std::string(time) + " " + row.music + " " + row.subject);
  }
  std::string text = Joined(rows);
  if (!day.clashes.empty()) text += " ! " + Joined(day.clashes);
  if (!day.off_date.empty()) text += " ~ " + Joined(day.off_date);
  return text;
}

// Each row: the plan, the date, what it rings, whether its timetable rings too, and the lines
// kept aside.
TEST(ExamDayTest, SessionsRingTheTemplateOnTheirDate) {
  const char* const kTwo = "[考试铃]\n开始=s.mp3\n结束=e.mp3\n";
  const struct {
    std::string plan;
    const char* date;
    const char* rings;
    bool with_timetable;
    const char* unread;
  } rows[] = {
      {"[考试]\n2027-06-07 09:00~11:30=语文\n", "2027-06-07",
       "08:30:00 1.组织考生进入考场.m4a 语文|08:40:00 2.宣读考试规则.m4a 语文|"
       "08:45:00 3.监考员启封试卷袋.m4a 语文|08:50:00 4.分发试题卷和答题卷.m4a 语文|"
       "09:00:00 5.请考生开始答题.m4a 语文|11:15:00 6.考前15分钟提醒.m4a 语文|"
       "11:30:00 7.停止答题.m4a 语文",
       false, ""},
      {"[考试]\n2027-06-07 09:00~11:30=语文\n", "2027-06-08", "", false, ""},
      // Minutes and seconds, before and after, on a start with seconds.
      {"[考试]\n 2027-06-07 09:00:30 ~ 10:00 = 数学 \n[考试铃]\n开始前1:30分=a.mp3\n"
       "开始后5分=b.mp3\n结束前0:45分=c.mp3\n结束=d.mp3\n",
       "2027-06-07",
       "08:59:00 a.mp3 数学|09:05:30 b.mp3 数学|09:59:15 c.mp3 数学|10:00:00 d.mp3 数学", false,
       ""},
      // Time order, not file order; on a shared second the earlier session wins.
      {std::string("[考试]\n2027-06-07 10:00~11:00=物理\n2027-06-07 09:00~10:00=化学\n") + kTwo,
       "2027-06-07",
       "09:00:00 s.mp3 化学|10:00:00 e.mp3 化学|11:00:00 e.mp3 物理 ! 2027-06-07 10:00~11:00=物理 "
       "开始",
       false, ""},
      // Across midnight: the row is listed and kept aside, the others ring.
      {"[考试]\n2027-06-07 00:10~01:00=早\n2027-06-07 23:30~23:59:59=晚\n[考试铃]\n"
       "开始前30分=a.mp3\n开始后40分=b.mp3\n",
       "2027-06-07",
       "00:50:00 b.mp3 早|23:00:00 a.mp3 晚 ~ 2027-06-07 00:10~01:00=早 开始前30分|"
       "2027-06-07 23:30~23:59:59=晚 开始后40分",
       false,
       "[考试] 2027-06-07 00:10~01:00=早 开始前30分|[考试] 2027-06-07 23:30~23:59:59=晚 "
       "开始后40分"},
      // Bad lines are kept aside and silence nothing.
      {"[考试]\n2027-06-07 11:00~10:00=反\n2027-06-31 09:00~10:00=x\n2027-06-07 09:00~10:00=\n"
       "2027-06-07 9:00~10:00=语文\n[考试铃]\n开始前=a\n结束后5分=b\n开始前5=c\n开始前1:5分=d\n"
       "同时打课表=也许\n开始=s.mp3\n",
       "2027-06-07", "09:00:00 s.mp3 语文", false,
       "[考试] 2027-06-07 11:00~10:00=反|[考试] 2027-06-31 09:00~10:00=x|"
       "[考试] 2027-06-07 09:00~10:00=|[考试铃] 开始前=a|[考试铃] 结束后5分=b|[考试铃] 开始前5=c|"
       "[考试铃] 开始前1:5分=d|[考试铃] 同时打课表=也许"},
      // The first 同时打课表 decides.
      {"[考试]\n2027-06-07 09:00~10:00=英语\n[考试铃]\n同时打课表=是\n同时打课表=否\n开始=s.mp3\n",
       "2027-06-07", "09:00:00 s.mp3 英语", true, "[考试铃] 同时打课表=否"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.plan);
    const DayPlan plan = Read(row.plan);
    const PlanDate date = ParsePlanDate(row.date).value();
    const ExamDay day = WorkOutExamDay(plan.exams, date);
    EXPECT_EQ(Describe(day), row.rings);
    EXPECT_EQ(day.with_timetable, row.with_timetable);
    std::vector<std::string> unread;
    for (const UnreadLine& u : plan.unread) unread.push_back(u.section + " " + u.text);
    EXPECT_EQ(Joined(unread), row.unread);
    // Written and read again, the plan rings the same.
    EXPECT_EQ(WorkOutExamDay(Read(WriteDayPlan(plan)).exams, date), day);
  }
}

// Sessions come before every other step; the timetable that step picks rings too on 同时打课表.
TEST(ExamDayTest, ADateWithSessionsRingsThemWhateverElseThePlanSays) {
  const std::string sessions = "[考试]\n2027-07-12 09:00~10:00=补考\n";
  for (const char* plan :
       {"[停铃]\n2027-07-10~2027-08-31=暑假\n", "[日期]\n2027-07-12=停铃 台风\n"}) {
    const DayChoice choice = ResolveDay(Read(sessions + plan), {2027, 7, 12});
    EXPECT_TRUE(choice.quiet);
    ASSERT_EQ(choice.exams.size(), 1u);
    EXPECT_EQ(choice.exams[0].subject, "补考");
    EXPECT_FALSE(choice.with_timetable);
  }
  const DayPlan both = Read(sessions + "[考试铃]\n同时打课表=是\n[每周]\n周一=夏季\n");
  const DayChoice choice = ResolveDay(both, {2027, 7, 12});
  EXPECT_TRUE(choice.with_timetable);
  EXPECT_EQ(choice.name, "夏季");
  EXPECT_TRUE(ResolveDay(both, {2027, 7, 19}).exams.empty());

  // A template of nothing that rings (only 同时打课表) is the default one.
  EXPECT_EQ(WorkOutExamDay(both.exams, {2027, 7, 12}).rows.size(), 7u);
}

// What the user wrote stays; edits are written in place, new lines at the end of their section.
TEST(ExamDayTest, WritingKeepsTheFileAndPutsEditsInPlace) {
  DayPlan plan = Read(
      "; 期末\r\n[考试]\r\n2027-06-07 09:00~11:30=语文\r\n2027-06-07 9:00~x=坏\r\n\r\n"
      "[每周]\r\n周一=夏季\r\n");
  plan.exams.sessions[0].session.subject = "语文一";
  plan.exams.sessions.push_back({ExamSession{{2027, 6, 8}, 9 * 3600, 11 * 3600 + 30, "数学"}, -1});
  plan.exams.bells.push_back({ExamBell::Anchor::kEnd, -90, "x.mp3", -1});
  plan.exams.with_timetable = true;
  EXPECT_EQ(WriteDayPlan(plan),
            "; 期末\r\n[考试]\r\n2027-06-07 09:00~11:30=语文一\r\n2027-06-07 9:00~x=坏\r\n"
            "2027-06-08 09:00~11:00:30=数学\r\n\r\n[每周]\r\n周一=夏季\r\n\r\n[考试铃]\r\n"
            "同时打课表=是\r\n结束前1:30分=x.mp3\r\n");
}

}  // namespace
}  // namespace belvane
