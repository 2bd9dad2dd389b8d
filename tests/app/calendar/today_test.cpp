#include "app/calendar/today.h"

#include <set>

#include <gtest/gtest.h>

#include "tests/app/test_support.h"

namespace belvane {
namespace {

// A timetable file of rows (time, music).
std::string TimetableText(const std::vector<std::pair<std::string, std::string>>& rows) {
  std::string time = "[time]\r\n", music = "[music]\r\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    time += std::to_string(i + 1) + "=" + rows[i].first + "\r\n";
    music += std::to_string(i + 1) + "=" + rows[i].second + "\r\n";
  }
  return time + music + "[total]\r\nn=" + std::to_string(rows.size()) + "\r\n";
}

// A day is worked out from the folder's files: the plan's answer with its timetable's rows
// (missing music marked), the next day's ahead, the unreadable lines; no plan file, no plan.
TEST(TodayTest, ADayIsWorkedOutFromThePlanAndTheTimetableFilesItNames) {
  testing::ScratchFolder folder;
  folder.MakeFolder("mp3");
  folder.MakeFolder("课表");
  folder.Write("mp3\\a.wav", "x");
  folder.Write("Belvane配置.ini", TimetableText({{"08:00:00", "a.wav"}}));
  const TextValue music = folder.Path() + "\\mp3";
  const int day = ClockDayOf({2027, 6, 7});
  EXPECT_FALSE(WorkOutDays(folder.Path(), music, day).planned);

  folder.Write("课表\\考试.ini", TimetableText({{"09:00:00", "a.wav"}, {"10:00:00", "b.wav"}}));
  folder.Write("Belvane日历.ini",
               "[日期]\r\n2027-06-07=考试\r\n2027-06-08=停铃 端午\r\n2027-06-09=补考\r\n");
  DayWork work = WorkOutDays(folder.Path(), music, day);
  EXPECT_TRUE(work.planned);
  EXPECT_EQ(work.today.name, "考试");
  ASSERT_EQ(work.today_rows->RowCount(), 2);
  EXPECT_EQ(work.today_rows->Name(), "考试");
  EXPECT_FALSE(work.today_rows->Row(0).music_missing);
  EXPECT_TRUE(work.today_rows->Row(1).music_missing);
  EXPECT_TRUE(work.tomorrow.quiet);
  EXPECT_EQ(work.tomorrow_rows->RowCount(), 0);
  ASSERT_EQ(work.unread.size(), 1u) << "a timetable that has no file";
  EXPECT_EQ(work.unread[0].text, "2027-06-09=补考");

  work = WorkOutDays(folder.Path(), music, day - 1);
  EXPECT_EQ(work.today.name, "常规");
  EXPECT_EQ(work.today_rows->RowCount(), 1);
  EXPECT_EQ(work.tomorrow_rows->Name(), "考试");

  // A session: the template's rows, then (同时打课表) the dated timetable's; ahead too.
  folder.Write("Belvane日历.ini",
               "[日期]\r\n2027-06-07=考试\r\n[考试]\r\n2027-06-07 09:00~11:00=语文\r\n"
               "[考试铃]\r\n同时打课表=是\r\n开始=a.wav\r\n结束=c.wav\r\n");
  work = WorkOutDays(folder.Path(), music, day - 1);
  ASSERT_EQ(work.tomorrow_rows->RowCount(), 4);
  EXPECT_EQ(work.tomorrow_rows->Row(1).start_time.View(), "11:00:00");
  EXPECT_TRUE(work.tomorrow_rows->Row(1).music_missing);
  EXPECT_EQ(work.tomorrow_rows->Row(1).source, "考试 语文");
  EXPECT_EQ(work.tomorrow_rows->Row(3).source, "考试");
  EXPECT_EQ(work.tomorrow_rows->FirstRowAt("09:00:00"), 0);
}

// The clock rings today's timetable whichever the window shows: the model's rows, edits and
// all, while it shows today's; today's file as saved otherwise; tomorrow's kept ahead.
TEST(TodayTest, TheClockRingsTodaysRowsWhicheverTimetableIsShown) {
  testing::ScratchFolder folder;
  folder.MakeFolder("课表");
  folder.Write("Belvane配置.ini", TimetableText({{"08:00:00", "a.wav"}}));
  folder.Write("课表\\考试.ini", TimetableText({{"09:00:00", "a.wav"}}));
  folder.Write("Belvane日历.ini", "[日期]\r\n2027-06-07=考试\r\n");
  const int day = ClockDayOf({2027, 6, 7});
  SharedTimetable published;
  Timetable shown;
  shown.Load({NewTimetableEntry("08:00:00", "a.wav")});
  TodaysTimetable today(published, shown);
  today.Start(nullptr, folder.Path(), folder.Path() + "\\mp3", day);
  EXPECT_EQ(published.Current()->Name(), "考试");
  shown.Insert(1, NewTimetableEntry("10:00:00", "a.wav"));
  EXPECT_EQ(published.FirstRowAt("10:00:00"), -1) << "the shown 常规 is not today's";

  shown.SetName("考试");
  shown.Load({NewTimetableEntry("09:00:00", "a.wav")});
  today.ShownChanged();
  EXPECT_EQ(published.Current(), shown.Snapshot());
  shown.Insert(1, NewTimetableEntry("11:00:00", "a.wav"));
  EXPECT_EQ(published.FirstRowAt("11:00:00"), 1) << "today's shown: edits ring at once";

  EXPECT_TRUE(published.EnterDay(day + 1)) << "tomorrow was published ahead";
  EXPECT_EQ(published.Current()->Name(), "常规");
  EXPECT_EQ(published.FirstRowAt("08:00:00"), 0);
}

// A plan or timetable that cannot be read for 2 s is never read as empty: what was last read of
// it stands in, and it is told once until it has been read again.
TEST(TodayTest, AFileThatCannotBeReadKeepsWhatWasLastReadAndIsToldOnce) {
  testing::ScratchFolder folder;
  folder.MakeFolder("课表");
  folder.Write("Belvane配置.ini", TimetableText({{"08:00:00", "a.wav"}}));
  const std::string exam =
      folder.Write("课表\\考试.ini", TimetableText({{"09:00:00", "a.wav"}, {"10:00:00", "a.wav"}}));
  const std::string plan = folder.Write("Belvane日历.ini", "[日期]\r\n2027-06-07=考试\r\n");
  const TextValue music = folder.Path() + "\\mp3";
  const int day = ClockDayOf({2027, 6, 7});
  const DayWork read = WorkOutDays(folder.Path(), music, day);
  ASSERT_EQ(read.today_rows->RowCount(), 2);
  EXPECT_TRUE(read.reads.empty() || read.reads[0].reason.empty());

  const struct {
    const char* what;
    const std::string* held;
    const DayWork* last;
    const char* today;
    int rows;
    const char* file;  // told unreadable
  } cases[] = {
      {"the plan: the last plan decides", &plan, &read, "考试", 2, "Belvane日历.ini"},
      {"the plan, at start-up: 常规, told", &plan, nullptr, "常规", 1, "Belvane日历.ini"},
      {"today's timetable: its last rows ring", &exam, &read, "考试", 2, "课表\\考试.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const HANDLE held =
        CreateFileA(c.held->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const DayWork work = WorkOutDays(folder.Path(), music, day, nullptr, c.last);
    CloseHandle(held);
    EXPECT_EQ(work.today.name, c.today);
    EXPECT_EQ(work.today_rows->RowCount(), c.rows);
    std::string told;
    for (const FileRead& r : work.reads) {
      if (!r.reason.empty()) told += r.file;
    }
    EXPECT_EQ(told, c.file);
  }

  // Told once; again only after it has been read in between.
  std::set<std::string> told;
  const std::vector<FileRead> unreadable{{"Belvane日历.ini", "拒绝访问。"}, {"课表\\考试.ini", ""}};
  EXPECT_EQ(UnreadableToTell(told, unreadable).size(), 1u);
  EXPECT_TRUE(UnreadableToTell(told, unreadable).empty());
  EXPECT_TRUE(UnreadableToTell(told, {{"Belvane日历.ini", ""}}).empty());
  EXPECT_EQ(UnreadableToTell(told, unreadable).size(), 1u);
}

TEST(TodayTest, TheMainWindowsLineSaysWhatRingsAndWhy) {
  using Step = DayChoice::Step;
  const struct {
    DayChoice choice;
    const char* line;
  } cases[] = {
      {{Step::kDated, false, "考试", "", "日期 2027-06-07"}, "今日：考试（日期 2027-06-07）"},
      {{Step::kWeekly, false, "常规", "", "每周 周三"}, "今日：常规（周三）"},
      {{Step::kSeasonal, false, "夏季", "", "每周 2027-05-01~2027-09-30 周一"},
       "今日：夏季（周一，2027-05-01~2027-09-30）"},
      {{Step::kDefault, false, "常规", "", "默认"}, "今日：常规"},
      {{Step::kWeekly,
        false,
        "常规",
        "",
        "每周 周一",
        {{{2027, 6, 7}, 32400, 41400, "语文"}, {{2027, 6, 7}, 54000, 61200, "数学"}},
        true},
       "今日考试 2 场：语文 09:00~11:30; 数学 15:00~17:00（同时打常规）"},
      {{Step::kQuietRange,
        true,
        "",
        "暑假",
        "停铃 2027-07-10~2027-08-31",
        {{{2027, 7, 12}, 32400, 36000, "补考"}},
        true},
       "今日考试 1 场：补考 09:00~10:00"},
      {{Step::kDated, true, "", "元旦", "日期 2027-01-01"}, "今日停铃：元旦"},
  };
  for (const auto& c : cases) EXPECT_EQ(TodayLineText(c.choice), c.line) << c.choice.why;
}

}  // namespace
}  // namespace belvane
