// Belvane.exe's bell record and its one copy per folder, driven from outside: the lines a real
// run writes for its start, a bell that plays, a bell whose file is missing, one whose file
// cannot play, the play button, a save and the end; a record that cannot be written; one
// deleted while the program runs; rotation; a second start; the system menu's items (the logon
// entry in the registry, the record, the about box); a dated line added in the plan window.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "resources/version.h"
#include "runtime/gbk.h"
#include "tests/e2e/belvane_app.h"
#include "tests/e2e/noise_wav.h"

namespace belvane::e2e {
namespace {

constexpr char kRecord[] = "Belvane日志.txt";
constexpr char kOldRecord[] = "Belvane日志.old.txt";

// The record's lines, each checked for its stamp and CRLF end.
std::vector<std::string> Lines(const std::string& text) {
  static const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t.*)");
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a line without CRLF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at, end - at));
    EXPECT_TRUE(std::regex_match(lines.back(), stamp)) << lines.back();
    at = end + 2;
  }
  return lines;
}

// The fields after the stamp.
std::string Fields(const std::string& line) {
  return line.size() > 24 ? line.substr(24) : "";
}

class RecordTest : public ::testing::Test {
 protected:
  explicit RecordTest(std::string_view gbk_subfolder = {}) : app_(gbk_subfolder) {}
  std::string Record() const { return app_.Process().ReadFile(kRecord).value_or(""); }
  bool RecordHas(const std::string& fields, int timeout_ms = 10000) const {
    return WaitUntil([&] { return Record().find("\t" + fields) != std::string::npos; }, timeout_ms);
  }

  BelvaneApp app_;
};

TEST_F(RecordTest, ARunRecordsItsStartBellsPlayButtonSaveAndEnd) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\上课铃.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\长音乐.wav", NoiseWav(60.0, 7)));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\坏.wav", NoiseWav(1.0, 7).substr(0, 20)));
  const std::string bell = TimeTextIn(5), gone = TimeTextIn(7), bad = TimeTextIn(9);
  ASSERT_TRUE(app_.Process().WriteFile(
      kConfigName,
      MakeConfig({{bell, "上课铃.wav", "0"}, {gone, "缺失.wav", "0"}, {bad, "坏.wav", "0"}}, "3")));
  // The bell level at its highest: whatever Wine's output lets be read or set of it, a failure
  // is told at most once over the three bells, and the bells ring on.
  ASSERT_TRUE(app_.Process().WriteFile("Belvane设置.ini", "[声音]\r\n最低音量=100\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();

  ASSERT_TRUE(RecordHas("定时\t1\t" + bell + "\t上课铃.wav\t已播放\t+")) << Record();
  ASSERT_TRUE(RecordHas("定时\t2\t" + gone + "\t缺失.wav\t文件缺失\t+")) << Record();
  ASSERT_TRUE(RecordHas("定时\t3\t" + bad + "\t坏.wav\t无法播放\t+")) << Record();
  {
    const std::string record = Record();
    std::size_t told = 0;
    for (std::size_t at = record.find("\t音量\t无法调整\t"); at != std::string::npos;
         at = record.find("\t音量\t无法调整\t", at + 1))
      ++told;
    EXPECT_LE(told, 1u) << record;
  }
  const std::vector<std::string> items = app_.Music().Items();
  const auto at = std::find(items.begin(), items.end(), "长音乐.wav");
  ASSERT_NE(at, items.end());
  ASSERT_TRUE(app_.Music().Select(static_cast<int>(at - items.begin())));
  // The missing file's bell counts as playing until its watcher's first look.
  ASSERT_TRUE(WaitUntil([&] { return app_.Control(kPlayButton).Text() == "播放音乐"; }, 5000));
  ASSERT_TRUE(app_.Press(kPlayButton));
  ASSERT_TRUE(RecordHas("手动\t播放\t长音乐.wav\t已播放")) << Record();
  ASSERT_TRUE(app_.Press(kPlayButton));
  ASSERT_TRUE(RecordHas("手动\t停止\t长音乐.wav")) << Record();
  ASSERT_TRUE(app_.Press(kSaveButton));
  ASSERT_TRUE(RecordHas("保存\t已保存\t时间表 3 行")) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());

  const std::vector<std::string> lines = Lines(Record());
  ASSERT_EQ(lines.size(), 9u) << Record();
  EXPECT_EQ(Fields(lines[0]).rfind("启动\t", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("\t时间表 3 行\t文件缺失 1 行"), std::string::npos) << lines[0];
  EXPECT_EQ(Fields(lines[1]), "文件缺失\t2\t" + gone + "\t缺失.wav");
  EXPECT_EQ(Fields(lines[8]), "退出");
  // The lateness of a bell that played: from its second to its first sound, which went out
  // before the line was made.
  const std::smatch late = [&] {
    std::smatch m;
    std::regex_search(lines[2], m, std::regex(R"(\t\+(\d+) ms$)"));
    return m;
  }();
  ASSERT_FALSE(late.empty()) << lines[2];
  EXPECT_LT(std::stoi(late[1]), 1000) << lines[2];
  const auto ms_of_day = [](const std::string& hms, int ms) {
    return ((std::stoi(hms.substr(0, 2)) * 60 + std::stoi(hms.substr(3, 2))) * 60 +
            std::stoi(hms.substr(6, 2))) *
               1000 +
           ms;
  };
  const int made = ms_of_day(lines[2].substr(11, 8), std::stoi(lines[2].substr(20, 3)));
  EXPECT_LE(std::stoi(late[1]), (made - ms_of_day(bell, 0) + 86400000) % 86400000) << lines[2];
}

// Today's date as the plan writes it.
std::string TodayText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
  return text;
}

// A [日期] line for today rings 课表\考试.ini: its row rings, 常规's row at the same second does
// not, and its line carries the timetable's name. A 停铃 line for today rings nothing and says why.
TEST_F(RecordTest, ThePlanDecidesWhichTimetableRingsToday) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\考试铃.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\上课铃.wav", NoiseWav(1.0, 7)));
  const std::string due = TimeTextIn(5);
  ASSERT_TRUE(app_.Process().WriteFile(kConfigName, MakeConfig({{due, "上课铃.wav", "0"}}, "1")));
  ASSERT_TRUE(
      app_.Process().WriteFile("课表\\考试.ini", MakeConfig({{due, "考试铃.wav", "0"}}, "1")));
  ASSERT_TRUE(
      app_.Process().WriteFile("Belvane日历.ini", "[日期]\r\n" + TodayText() + "=考试\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("今日\t考试\t日期 " + TodayText())) << Record();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t考试铃.wav\t", 15000)) << Record();
  EXPECT_NE(Record().find(" ms\t考试\r\n"), std::string::npos) << Record();
  EXPECT_EQ(Record().find("上课铃.wav"), std::string::npos) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());

  const std::string quiet = TimeTextIn(5);
  ASSERT_TRUE(app_.Process().WriteFile(kConfigName, MakeConfig({{quiet, "上课铃.wav", "0"}}, "1")));
  ASSERT_TRUE(
      app_.Process().WriteFile("Belvane日历.ini", "[日期]\r\n" + TodayText() + "=停铃 运动会\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("今日\t停铃\t运动会")) << Record();
  Sleep(7000);
  EXPECT_EQ(Record().find("\t" + quiet + "\t"), std::string::npos) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A session today: the template's file rings at its 开始 and 常规's row at that second does not,
// its line ending with the session; with 同时打课表=是 常规's rows ring too.
TEST_F(RecordTest, ASessionTodayRingsItsTemplateInsteadOfTheTimetableUnlessToldBoth) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\考试铃.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\上课铃.wav", NoiseWav(1.0, 7)));
  for (const bool both : {false, true}) {
    SCOPED_TRACE(both ? "同时打课表=是" : "the exam alone");
    const std::string due = TimeTextIn(6), later = TimeTextIn(8);
    ASSERT_TRUE(app_.Process().WriteFile(
        kConfigName, MakeConfig({{due, "上课铃.wav", "0"}, {later, "上课铃.wav", "0"}}, "2")));
    ASSERT_TRUE(app_.Process().WriteFile("Belvane日历.ini", "[考试]\r\n" + TodayText() + " " + due +
                                                                "~23:59:59=语文\r\n[考试铃]\r\n" +
                                                                (both ? "同时打课表=是\r\n" : "") +
                                                                "开始=考试铃.wav\r\n"));
    ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
    ASSERT_TRUE(RecordHas("今日\t考试\t1 场\t语文 ")) << Record();
    ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t考试铃.wav\t已播放\t", 15000)) << Record();
    EXPECT_NE(Record().find(" ms\t考试 语文\r\n"), std::string::npos) << Record();
    if (both) {
      ASSERT_TRUE(RecordHas("定时\t3\t" + later + "\t上课铃.wav\t已播放\t", 10000)) << Record();
      EXPECT_EQ(Record().find("\t" + due + "\t上课铃.wav"), std::string::npos) << Record();
    } else {
      // The first run: no line of the record names 常规's file.
      Sleep(3000);
      EXPECT_EQ(Record().find("上课铃.wav"), std::string::npos) << Record();
    }
    EXPECT_TRUE(app_.CloseConfirmed());
  }
}

// Started seconds before midnight: midnight_check.sh moves the local time of every Wine
// program it starts by a zone (TZ) that makes it about 23:59:42. After midnight the window's
// line and the record name tomorrow's dated timetable, and its bell rings at 00:00:05 where
// 常规's at the same second does not.
TEST_F(RecordTest, AfterMidnightTheNewDaysTimetableIsToldAndRings) {
  if (GetEnvironmentVariableA("BELVANE_E2E_MIDNIGHT", nullptr, 0) == 0)
    GTEST_SKIP() << "needs the local time moved to just before midnight (midnight_check.sh)";
  SYSTEMTIME now;
  GetLocalTime(&now);
  // The program must be up, and its first day told, before midnight.
  ASSERT_TRUE(now.wHour == 23 && now.wMinute == 59 && now.wSecond <= 48)
      << now.wHour << ":" << now.wMinute << ":" << now.wSecond;
  FILETIME stamp;
  SystemTimeToFileTime(&now, &stamp);
  ULARGE_INTEGER day{{stamp.dwLowDateTime, stamp.dwHighDateTime}};
  day.QuadPart += 86400ULL * 10000000ULL;
  stamp = {day.LowPart, day.HighPart};
  SYSTEMTIME next;
  FileTimeToSystemTime(&stamp, &next);
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", next.wYear, next.wMonth, next.wDay);
  const std::string tomorrow = date;

  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\考试铃.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\上课铃.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(
      app_.Process().WriteFile(kConfigName, MakeConfig({{"00:00:05", "上课铃.wav", "5"}}, "1")));
  ASSERT_TRUE(app_.Process().WriteFile("课表\\考试.ini",
                                       MakeConfig({{"00:00:05", "考试铃.wav", "5"}}, "1")));
  ASSERT_TRUE(app_.Process().WriteFile("Belvane日历.ini", "[日期]\r\n" + tomorrow + "=考试\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  // Told before midnight, or the new day's news is not what is tested.
  ASSERT_TRUE(RecordHas("今日\t常规\t", 12000)) << Record();
  EXPECT_EQ(app_.Control(BELVANE_ID_TODAY_LINE).Text().rfind("今日：常规", 0), 0u);

  ASSERT_TRUE(RecordHas("今日\t考试\t日期 " + tomorrow, 40000)) << Record();
  EXPECT_TRUE(WaitUntil(
      [&] {
        // The next wake follows on the line.
        return app_.Control(BELVANE_ID_TODAY_LINE)
            .Text()
            .starts_with("今日：考试（日期 " + tomorrow + "）");
      },
      5000))
      << app_.Control(BELVANE_ID_TODAY_LINE).Text();
  ASSERT_TRUE(RecordHas("定时\t1\t00:00:05\t考试铃.wav\t已播放\t", 20000)) << Record();
  EXPECT_NE(Record().find(" ms\t考试\r\n"), std::string::npos) << Record();
  EXPECT_EQ(Record().find("上课铃.wav"), std::string::npos) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A plan Notepad saved as UTF-8 without a byte-order mark (its default) decides today as the
// same plan in GBK does: its [日期] line for today rings 课表\考试.ini.
TEST_F(RecordTest, APlanSavedAsUtf8WithoutAMarkRingsTheTimetableItNames) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\考试铃.wav", NoiseWav(1.0, 7)));
  const std::string due = TimeTextIn(5);
  ASSERT_TRUE(app_.Process().WriteFile(kConfigName, MakeConfig({}, "0")));
  ASSERT_TRUE(
      app_.Process().WriteFile("课表\\考试.ini", MakeConfig({{due, "考试铃.wav", "0"}}, "1")));
  const std::string today = TodayText();
  const std::u8string plan =
      u8"[日期]\r\n" + std::u8string(today.begin(), today.end()) + u8"=考试\r\n";
  ASSERT_TRUE(app_.Process().WriteFile("Belvane日历.ini", std::string(plan.begin(), plan.end())));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("今日\t考试\t日期 " + today)) << Record();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t考试铃.wav\t", 15000)) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// The plan window opened from 日历…: a dated line for today added through its dialog (the date,
// a timetable other than the one it offers first) and saved is in the plan file, and today
// rings that timetable at once: the main window's line and the record say so.
TEST_F(RecordTest, ADatedLineAddedInThePlanWindowIsSavedAndDecidesToday) {
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  for (const char* name : {"课表\\考试.ini", "课表\\夏季.ini"})
    ASSERT_TRUE(app_.Process().WriteFile(name, MakeConfig({}, "0")));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(app_.Control(BELVANE_ID_PLAN_BUTTON).PostClick());
  const RemoteWindow plan = app_.Process().WaitForDialog("日历：哪天用哪个课表");
  ASSERT_TRUE(plan.Exists());
  ASSERT_TRUE(plan.Item(BELVANE_ID_PLAN_DATED_ADD).PostClick());
  const RemoteWindow dated =
      app_.Process().WaitForDialog("按日期", kActionTimeoutMs, plan.Handle());
  ASSERT_TRUE(dated.Exists());
  SYSTEMTIME today{};
  GetLocalTime(&today);
  ASSERT_TRUE(dated.Item(BELVANE_ID_DATED_FROM)
                  .SendWithData(DTM_SETSYSTEMTIME, GDT_VALID, &today, sizeof today));
  const RemoteComboBox value(dated.Item(BELVANE_ID_DATED_VALUE).Handle());
  EXPECT_EQ(value.SelectedText(), "考试");
  ASSERT_TRUE(value.SelectText("夏季"));
  ASSERT_TRUE(dated.Item(BELVANE_ID_DATED_OK).PostClick());
  ASSERT_TRUE(WaitUntil([&] { return !dated.Exists(); }));
  EXPECT_EQ(RemoteListView(plan.Item(BELVANE_ID_PLAN_DATED).Handle()).Rows(2),
            (std::vector<std::vector<std::string>>{{TodayText(), "夏季"}}));
  ASSERT_TRUE(plan.Item(BELVANE_ID_PLAN_SAVE).PostClick());
  ASSERT_TRUE(WaitUntil([&] { return !plan.Exists(); }));

  const std::string file = app_.Process().ReadFile("Belvane日历.ini").value_or("");
  EXPECT_NE(file.find("[日期]\r\n" + TodayText() + "=夏季\r\n"), std::string::npos) << file;
  EXPECT_TRUE(RecordHas("今日\t夏季\t日期 " + TodayText())) << Record();
  EXPECT_TRUE(WaitUntil([&] {
    return app_.Control(BELVANE_ID_TODAY_LINE)
        .Text()
        .starts_with("今日：夏季（日期 " + TodayText() + "）");
  })) << app_.Control(BELVANE_ID_TODAY_LINE).Text();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// Sessions imported from a spreadsheet's CSV through the plan window's 导入… are in the plan
// file exactly once saved; a file with a line that cannot be read adds nothing.
TEST_F(RecordTest, SessionsImportedFromACsvInThePlanWindowAreSavedExactly) {
  const std::string plan_before = "; 期末\r\n[每周]\r\n周六=停铃\r\n";
  ASSERT_TRUE(app_.Process().WriteFile("Belvane日历.ini", plan_before));
  ASSERT_TRUE(app_.Process().WriteFile(
      "exams.csv",
      "日期,开始,结束,科目\r\n2027/6/7,9:00,11:30,语文\r\n\"2027-06-07\",15:00,"
      "17:00:00,数学\r\n"));
  ASSERT_TRUE(app_.Process().WriteFile("bad.csv",
                                       "2027/6/8,9:00,11:00,英语\r\n2027/6/31,9:00,"
                                       "11:00,物理\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(app_.Control(BELVANE_ID_PLAN_BUTTON).PostClick());
  const RemoteWindow plan = app_.Process().WaitForDialog("日历：哪天用哪个课表");
  ASSERT_TRUE(plan.Exists());
  const RemoteListView exams(plan.Item(BELVANE_ID_PLAN_EXAMS).Handle());

  // 导入…, the system's open box given the file's path, then the preview.
  auto import = [&](const char* name) {
    if (!plan.Item(BELVANE_ID_PLAN_EXAM_IMPORT).PostClick()) return RemoteWindow();
    HWND box = nullptr;
    WaitUntil([&] {
      for (HWND window : app_.Process().TopLevelWindows()) {
        const RemoteWindow w(window);
        if (window != plan.Handle() && window != app_.Main().Handle() &&
            w.ClassName() == "#32770" && GetWindow(window, GW_OWNER) == plan.Handle())
          box = window;
      }
      return box != nullptr;
    });
    if (!box) return RemoteWindow();
    const RemoteWindow open(box);
    RemoteWindow file = open.Item(0x47C);  // the file name box (cmb13), else its edit (edt1)
    if (!file.Exists()) file = open.Item(0x480);
    if (const RemoteWindow edit = file.ChildOfClass("Edit"); edit.Exists()) file = edit;
    const std::wstring path = app_.Process().PathOf(name).wstring();
    SendMessageW(file.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    open.Item(IDOK).PostClick();
    return app_.Process().WaitForDialog("从 CSV 导入考试", kActionTimeoutMs, plan.Handle());
  };

  const RemoteWindow refused = import("bad.csv");
  ASSERT_TRUE(refused.Exists());
  const std::vector<std::string> lines =
      RemoteListBox(refused.Item(BELVANE_ID_CSV_LINES).Handle()).Items();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("第 2 行：");
  })) << (lines.empty() ? "" : lines[0]);
  EXPECT_FALSE(refused.Item(IDOK).Visible() && IsWindowEnabled(refused.Item(IDOK).Handle()));
  ASSERT_TRUE(refused.PostClose());
  ASSERT_TRUE(WaitUntil([&] { return !refused.Exists(); }));
  EXPECT_EQ(exams.RowCount(), 0);

  const RemoteWindow preview = import("exams.csv");
  ASSERT_TRUE(preview.Exists());
  ASSERT_TRUE(preview.Item(IDOK).PostClick());
  ASSERT_TRUE(WaitUntil([&] { return !preview.Exists(); }));
  EXPECT_EQ(exams.Rows(3),
            (std::vector<std::vector<std::string>>{{"2027-06-07", "09:00~11:30", "语文"},
                                                   {"2027-06-07", "15:00~17:00", "数学"}}));
  ASSERT_TRUE(plan.Item(BELVANE_ID_PLAN_SAVE).PostClick());
  ASSERT_TRUE(WaitUntil([&] { return !plan.Exists(); }));
  EXPECT_EQ(
      app_.Process().ReadFile("Belvane日历.ini").value_or(""),
      plan_before + "\r\n[考试]\r\n2027-06-07 09:00~11:30=语文\r\n2027-06-07 15:00~17:00=数学\r\n");
  EXPECT_TRUE(app_.CloseConfirmed());
}

// The today line names the wake a minute before the next row; a resume the system tells the
// main window is recorded, once however many times it is told.
TEST_F(RecordTest, TheNextWakeIsShownAndAResumeIsRecorded) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  // Clear of midnight, where the wake would name its date.
  if (now.wHour == 23 && now.wMinute >= 55) GTEST_SKIP() << "too close to midnight";
  const std::string next = TimeTextIn(180);
  ASSERT_TRUE(app_.Process().WriteFile(
      kConfigName,
      MakeConfig({{TimeTextIn(600), "上课铃.wav", "0"}, {next, "上课铃.wav", "0"}}, "2")));
  const int minute = std::stoi(next.substr(3, 2));
  char wake[32];
  std::snprintf(wake, sizeof wake, "下次唤醒 %02d:%02d:%s",
                std::stoi(next.substr(0, 2)) - (minute == 0 ? 1 : 0), (minute + 59) % 60,
                next.substr(6, 2).c_str());
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  EXPECT_TRUE(WaitUntil([&] {
    return app_.Control(BELVANE_ID_TODAY_LINE).Text().find(wake) != std::string::npos;
  })) << app_.Control(BELVANE_ID_TODAY_LINE).Text()
      << " / " << wake;
  const HWND main = app_.Main().Handle();
  ASSERT_TRUE(PostMessageW(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0));
  ASSERT_TRUE(PostMessageW(main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0));
  ASSERT_TRUE(RecordHas("唤醒\t用户")) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
  const std::string record = Record();
  EXPECT_EQ(record.find("\t唤醒\t"), record.rfind("\t唤醒\t")) << record;
}

// A campus PC follows a shared folder (here one inside its own): set up so, with the source
// holding `config` as its 常规 and a 1 s bell, and the looks `interval` seconds apart.
class FollowTest : public RecordTest {
 protected:
  void Follow(const std::string& config, int interval = 5) {
    ASSERT_TRUE(app_.Process().MakeFolder("共享"));
    ASSERT_TRUE(app_.Process().MakeFolder("共享\\mp3"));
    ASSERT_TRUE(app_.Process().WriteFile("共享\\mp3\\上课铃.wav", NoiseWav(1.0, 7)));
    ASSERT_TRUE(app_.Process().WriteFile("共享\\" + std::string(kConfigName), config));
    source_ = GbkFromWide(app_.Process().PathOf("共享").wstring()).Bytes();
    ASSERT_TRUE(app_.Process().WriteFile(
        "Belvane同步.ini",
        "[同步]\r\n来源=" + source_ + "\r\n间隔=" + std::to_string(interval) + "\r\n"));
  }
  // Moves the source away and back, as a server that goes and comes back.
  bool MoveSource(const char* from, const char* to) {
    return WaitUntil(
        [&] {
          std::error_code error;
          std::filesystem::rename(app_.Process().PathOf(from), app_.Process().PathOf(to), error);
          return !error;
        },
        5000);
  }
  int Count(const std::string& fields) const {
    const std::string record = Record();
    int n = 0;
    for (std::size_t at = 0; (at = record.find("\t" + fields, at)) != std::string::npos; ++at) ++n;
    return n;
  }
  std::string source_;
};

// Started after the source changed, the PC rings the source's timetable within its first looks,
// and while it follows, the timetables cannot be edited here.
TEST_F(FollowTest, TheSourcesTimetableRingsWithinTheFirstLooksAndEditingIsOff) {
  const std::string due = TimeTextIn(10);
  Follow(MakeConfig({{due, "上课铃.wav", "0"}}, "1"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("同步\t已更新\t")) << Record();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t上课铃.wav\t", 15000)) << Record();
  EXPECT_EQ(app_.Process().ReadFile(kConfigName), MakeConfig({{due, "上课铃.wav", "0"}}, "1"));
  for (const int id : {kAddButton, kDeleteButton, kSaveButton})
    EXPECT_FALSE(IsWindowEnabled(app_.Control(id).Handle())) << id;
  EXPECT_TRUE(IsWindowEnabled(app_.Control(kPlayButton).Handle()));
  const RemoteComboBox choice(app_.Control(kTimetableChoice).Handle());
  EXPECT_EQ(choice.Count(), 1) << "only the timetables: no new, rename or delete";
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A timetable still being written at the source (cut short) is not taken; once whole it is.
TEST_F(FollowTest, AHalfWrittenTimetableAtTheSourceIsNotTaken) {
  Follow(MakeConfig({}, "0"));
  ASSERT_TRUE(app_.Process().MakeFolder("共享\\课表"));
  const std::string whole =
      MakeConfig({{"08:00:00", "上课铃.wav", "28800"}, {"09:00:00", "上课铃.wav", "32400"}}, "2");
  const std::string half = whole.substr(0, whole.find("[music]") + 10);
  ASSERT_TRUE(app_.Process().WriteFile("共享\\课表\\考试.ini", half));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("同步\t未取\t课表\\考试.ini\t")) << Record();
  EXPECT_FALSE(app_.Process().Exists("课表\\考试.ini"));
  ASSERT_TRUE(app_.Process().WriteFile("共享\\课表\\考试.ini", whole));
  ASSERT_TRUE(WaitUntil([&] { return app_.Process().ReadFile("课表\\考试.ini") == whole; }, 20000))
      << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A plan saved by Notepad, without a line end after its last line, is taken and decides today.
TEST_F(FollowTest, APlanWithoutALastLineEndIsTakenAndDecidesToday) {
  Follow(MakeConfig({}, "0"));
  ASSERT_TRUE(app_.Process().MakeFolder("共享\\课表"));
  ASSERT_TRUE(app_.Process().WriteFile("共享\\课表\\考试.ini", MakeConfig({}, "0")));
  ASSERT_TRUE(
      app_.Process().WriteFile("共享\\Belvane日历.ini", "[日期]\r\n" + TodayText() + "=考试"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("今日\t考试\t日期 " + TodayText(), 15000)) << Record();
  EXPECT_EQ(Count("同步\t未取\t"), 0) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A timetable renamed at the source, the plan naming the new name: today never falls back to
// 常规 between the looks that take the two.
TEST_F(FollowTest, ATimetableRenamedAtTheSourceNeverLeavesTodayWithoutItsTimetable) {
  Follow(MakeConfig({}, "0"));
  ASSERT_TRUE(app_.Process().MakeFolder("共享\\课表"));
  const std::string exam = MakeConfig({{"08:00:00", "上课铃.wav", "28800"}}, "1");
  ASSERT_TRUE(app_.Process().WriteFile("共享\\课表\\考试.ini", exam));
  ASSERT_TRUE(
      app_.Process().WriteFile("共享\\Belvane日历.ini", "[日期]\r\n" + TodayText() + "=考试\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("今日\t考试\t", 15000)) << Record();
  const std::size_t before = Record().size();
  ASSERT_TRUE(MoveSource("共享\\课表\\考试.ini", "共享\\课表\\期末.ini"));
  Sleep(1000);  // a look may come between the rename and the new plan, as at a real server
  ASSERT_TRUE(
      app_.Process().WriteFile("共享\\Belvane日历.ini", "[日期]\r\n" + TodayText() + "=期末\r\n"));
  ASSERT_TRUE(RecordHas("今日\t期末\t", 20000)) << Record();
  ASSERT_TRUE(WaitUntil([&] { return !app_.Process().Exists("课表\\考试.ini"); }, 15000))
      << Record();
  EXPECT_EQ(Record().find("\t今日\t常规", before), std::string::npos) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// The source gone and back: one line each, and the local copy rings meanwhile.
TEST_F(FollowTest, ASourceThatGoesAndComesBackGivesOneLineEachAndTheBellsRingOn) {
  const std::string due = TimeTextIn(16);
  Follow(MakeConfig({{due, "上课铃.wav", "0"}}, "1"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("同步\t已更新\t")) << Record();
  ASSERT_TRUE(MoveSource("共享", "共享.离线"));
  ASSERT_TRUE(RecordHas("同步\t无法访问\t" + source_ + "\t")) << Record();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t上课铃.wav\t", 20000)) << Record();
  ASSERT_TRUE(MoveSource("共享.离线", "共享"));
  ASSERT_TRUE(RecordHas("同步\t恢复", 15000)) << Record();
  Sleep(6000);  // one more look: nothing more to say
  EXPECT_EQ(Count("同步\t无法访问\t"), 1) << Record();
  EXPECT_EQ(Count("同步\t恢复"), 1) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

// The report `name` at the source, when there.
std::optional<std::string> FollowReport(const BelvaneApp& app, const std::string& name) {
  return app.Process().ReadFile("共享\\状态\\" + name + ".ini");
}

// Two copies in two folders, named apart, follow one source: both report there within a look.
TEST_F(FollowTest, TwoCopiesNamedApartBothReportAtTheSourceWithinOneLook) {
  Follow(MakeConfig({}, "0"));
  ASSERT_TRUE(app_.Process().WriteFile(
      "Belvane同步.ini", "[同步]\r\n来源=" + source_ + "\r\n间隔=5\r\n名称=体育馆\r\n"));
  BelvaneApp other;
  ASSERT_TRUE(other.Process().WriteFile(
      "Belvane同步.ini", "[同步]\r\n来源=" + source_ + "\r\n间隔=5\r\n名称=三号考场\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(other.Start()) << other.Process().SetUpError();
  ASSERT_TRUE(WaitUntil(
      [&] { return FollowReport(app_, "体育馆") && FollowReport(app_, "三号考场"); }, 8000));
  const std::string gym = FollowReport(app_, "体育馆").value_or("");
  EXPECT_TRUE(gym.starts_with("[状态]\r\n名称=体育馆\r\n")) << gym;
  EXPECT_NE(
      gym.find("\r\n文件夹=" + GbkFromWide(app_.Process().Folder().wstring()).Bytes() + "\r\n"),
      std::string::npos)
      << gym;
  EXPECT_NE(gym.find("\r\n按服务器时间=否\r\n"), std::string::npos) << "a local source: " << gym;
  EXPECT_EQ(Count("同步\t名称重复"), 0) << Record();
  EXPECT_TRUE(other.CloseConfirmed());
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A bell's result is at the source within 5 s of it, though the next look is a minute away.
TEST_F(FollowTest, ABellsResultIsReportedWithinSecondsOfIt) {
  const std::string due = TimeTextIn(10);
  Follow(MakeConfig({{due, "上课铃.wav", "0"}}, "1"), 60);
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t上课铃.wav\t", 20000)) << Record();
  const ULONGLONG rang = GetTickCount64();
  ASSERT_TRUE(WaitUntil(
      [&] {
        return FollowReport(app_, ComputerName()).value_or("").find("\r\n上次铃声=" + due) !=
               std::string::npos;
      },
      5000))
      << FollowReport(app_, ComputerName()).value_or("");
  EXPECT_LT(GetTickCount64() - rang, 5000u);
  const std::string report = FollowReport(app_, ComputerName()).value_or("");
  EXPECT_NE(report.find("\r\n上次铃声文件=上课铃.wav\r\n"), std::string::npos) << report;
  const std::string record = Record();
  const std::string bell = "\t定时\t1\t" + due + "\t上课铃.wav\t";
  const std::size_t from = record.find(bell) + bell.size();
  const std::string result = record.substr(from, record.find('\t', from) - from);
  EXPECT_NE(report.find("\r\n上次铃声结果=" + result + "\r\n"), std::string::npos)
      << report << record;
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A source that refuses the report ("状态" is a file there): one line, the bells ring on and
// nothing else in the record changes.
TEST_F(FollowTest, ASourceThatRefusesTheReportLeavesTheBellsAndSaysItOnce) {
  const std::string due = TimeTextIn(12);
  Follow(MakeConfig({{due, "上课铃.wav", "0"}}, "1"));
  ASSERT_TRUE(app_.Process().WriteFile("共享\\状态", "not a folder"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("同步\t无法回报\t")) << Record();
  ASSERT_TRUE(RecordHas("定时\t1\t" + due + "\t上课铃.wav\t", 20000)) << Record();
  Sleep(6000);  // another look and the bell's report: nothing more to say
  EXPECT_EQ(Count("同步\t无法回报\t"), 1) << Record();
  EXPECT_EQ(Count("同步\t未取"), 0) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A system without Media Foundation (Windows 7 N, a trimmed image): start-up says so once, in
// the record and below the list, and WAV still rings. Wine hides mfplat.dll only when told so
// in the environment the suite starts with (ctest belvane_no_media_e2e_tests).
TEST_F(RecordTest, WithoutMediaFoundationStartUpSaysSoOnceAndWavStillRings) {
  char overrides[512] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  if (std::string(overrides).find("mfplat=d") == std::string::npos)
    GTEST_SKIP() << "runs with WINEDLLOVERRIDES=mfplat=d";
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\a.wav", NoiseWav(1.0, 7)));
  const std::string bell = TimeTextIn(4);
  ASSERT_TRUE(app_.Process().WriteFile(kConfigName, MakeConfig({{bell, "a.wav", "0"}}, "1")));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  const std::string line = "解码\t缺少媒体功能\tmp3/m4a/wma 无法播放，请安装媒体功能包";
  ASSERT_TRUE(RecordHas(line)) << Record();
  EXPECT_TRUE(WaitUntil(
      [&] {
        return app_.Control(BELVANE_ID_FOLLOW_LINE).Text() ==
               "缺少媒体功能：mp3/m4a/wma 无法播放，请安装媒体功能包";
      },
      5000))
      << app_.Control(BELVANE_ID_FOLLOW_LINE).Text();
  ASSERT_TRUE(RecordHas("定时\t1\t" + bell + "\ta.wav\t已播放\t+")) << Record();
  const std::string record = Record();
  EXPECT_EQ(record.find(line), record.rfind(line)) << record;
}

// Log-off or shut-down ends the process without a close: the end is written when the session
// ends, and once only.
TEST_F(RecordTest, AnEndingSessionWritesTheEndLine) {
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("启动\t"));
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(app_.Main().Handle(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL,
                                  kActionTimeoutMs, &result));
  const std::vector<std::string> lines = Lines(Record());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(Fields(lines.back()), "退出") << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
  EXPECT_EQ(Lines(Record()).size(), lines.size()) << Record();
}

TEST_F(RecordTest, ARecordThatCannotBeWrittenLeavesTheBellsRingingWithoutABox) {
  ASSERT_TRUE(app_.Process().MakeFolder(kRecord));  // the record's name is taken by a folder
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\a.wav", NoiseWav(3.0, 7)));
  ASSERT_TRUE(
      app_.Process().WriteFile(kConfigName, MakeConfig({{TimeTextIn(4), "a.wav", "0"}}, "1")));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  EXPECT_TRUE(WaitUntil([&] { return app_.Control(kPlayButton).Text() == "停止播放"; }, 9000));
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(app_.CloseConfirmed());
}

// Removed as a Unix program removes it: a Windows process's delete leaves the name under Wine
// while the program holds the file open. Wine tells nothing of a Unix program's end: the file's
// going is waited for.
bool RemoveFromUnix(const AppUnderTest& app, std::string_view gbk_name) {
  std::wstring command = L"rm -- " + WideFromGbk(gbk_name);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(L"Z:\\bin\\rm", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      app.Folder().c_str(), &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return WaitUntil([&] { return !app.Exists(gbk_name); }, kActionTimeoutMs);
}

TEST_F(RecordTest, ARecordDeletedWhileRunningComesBackWithTheNextLine) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\a.wav", NoiseWav(1.0, 7)));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("启动\t"));
  ASSERT_TRUE(RemoveFromUnix(app_.Process(), kRecord));
  ASSERT_TRUE(app_.Music().Select(0));
  ASSERT_TRUE(app_.Press(kPlayButton));
  ASSERT_TRUE(RecordHas("手动\t播放\ta.wav\t已播放")) << Record();
  EXPECT_EQ(Record().find("\t启动\t"), std::string::npos) << Record();
  EXPECT_TRUE(app_.CloseConfirmed());
}

TEST_F(RecordTest, ARecordAboutToPassOneMiBIsRenamedAndANewOneBegins) {
  std::string full;
  while (full.size() < 1024 * 1024 - 40) full += std::string(62, 'x') + "\r\n";
  ASSERT_TRUE(app_.Process().WriteFile(kRecord, full));
  ASSERT_TRUE(app_.Process().WriteFile(kOldRecord, "older\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("启动\t"));
  EXPECT_EQ(app_.Process().ReadFile(kOldRecord), std::optional<std::string>(full));
  EXPECT_EQ(Lines(Record()).size(), 1u + 7u) << "the start and the default rows' missing files";
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A program started from a path of our own; ended at the end of the test.
class Process {
 public:
  explicit Process(const std::filesystem::path& exe) {
    std::wstring command = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       exe.parent_path().c_str(), &startup, &info)) {
      CloseHandle(info.hThread);
      handle_ = info.hProcess;
      id_ = info.dwProcessId;
    }
  }
  ~Process() {
    if (!handle_) return;
    TerminateProcess(handle_, 1);
    WaitForSingleObject(handle_, kActionTimeoutMs);
    CloseHandle(handle_);
  }
  bool Started() const { return handle_ != nullptr; }
  std::optional<DWORD> WaitForExit(int timeout_ms) const {
    if (WaitForSingleObject(handle_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return code;
  }
  // Its visible top-level windows.
  std::vector<HWND> Windows() const {
    struct Search {
      DWORD id;
      std::vector<HWND> found;
    } search{id_, {}};
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == s->id && IsWindowVisible(window)) s->found.push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// Runs a Unix program (Wine starts one it is given by its path on Z:) and waits until `done`
// holds: Wine hands back no process to wait for.
bool RunUnix(std::wstring command, const std::function<bool()>& done) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  return WaitUntil(done);
}

// The Unix path of `path`, a file or folder that exists.
std::wstring UnixPath(const std::filesystem::path& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* name = unix_name ? unix_name(path.c_str()) : nullptr;
  if (name == nullptr) return {};
  std::wstring wide(std::strlen(name), L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), static_cast<int>(wide.size() + 1)) -
      1));
  HeapFree(GetProcessHeap(), 0, name);
  return wide;
}

TEST(OneCopyTest, ASecondStartFromTheSameFolderHandsOverAndEndsAtOnce) {
  // A folder with a Chinese name, deep enough to pass the old path limit's half.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::filesystem::path folder = std::filesystem::path(temp) /
                                       (L"铃声 考试-" + std::to_wstring(GetCurrentProcessId())) /
                                       std::wstring(120, L'深');
  std::filesystem::create_directories(folder);
  struct Cleanup {
    std::filesystem::path root;
    ~Cleanup() {
      std::error_code ec;
      std::filesystem::remove_all(root, ec);
    }
  } cleanup{folder.parent_path()};
  const std::filesystem::path exe = folder / L"Belvane.exe";
  ASSERT_TRUE(CopyFileW((BuildBinDir() / L"Belvane.exe").c_str(), exe.c_str(), FALSE));
  {
    Process first(exe);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitUntil([&] { return !first.Windows().empty(); }, kStartTimeoutMs));
    const std::filesystem::path record = folder / L"Belvane日志.txt";
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadWholeFile(record).value_or("").find("\t启动\t") != std::string::npos; },
        kStartTimeoutMs))
        << "no start line";
    // Its main window, not a box it may show.
    HWND main = nullptr;
    for (const HWND window : first.Windows()) {
      wchar_t title[32] = {};
      GetWindowTextW(window, title, 32);
      if (std::wstring(title) == L"Belvane") main = window;
    }
    ASSERT_NE(main, nullptr);
    // The start line comes before start-up is done (the audio library, the clock): wait until
    // the window handles messages, or the minimise waits on a busy thread.
    ASSERT_TRUE(WaitUntil(
        [&] {
          DWORD_PTR result = 0;
          return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
        },
        kStartTimeoutMs));
    // The dialog shows itself once its start-up returns, which can undo a minimise made
    // earlier: minimise until it stays so.
    ASSERT_TRUE(WaitUntil([&] {
      if (IsWindowVisible(main) && !IsIconic(main)) ShowWindow(main, SW_MINIMIZE);
      return IsWindowVisible(main) && IsIconic(main);
    }));
    // Whatever the second copy would write, it must not: take the timetable away first.
    ASSERT_TRUE(WaitUntil([&] { return DeleteFileW((folder / L"Belvane配置.ini").c_str()); }));

    // The same folder under another case.
    std::wstring upper = exe.wstring();
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    Process second{std::filesystem::path(upper)};
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(10000), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) == FALSE; })) << "not brought back";
    EXPECT_FALSE(std::filesystem::exists(folder / L"Belvane配置.ini"));
    const std::string text = ReadWholeFile(record).value_or("");
    EXPECT_NE(text.find("\t再次启动\t已切换到正在运行的窗口\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\t启动\t"), text.rfind("\t启动\t")) << "a second start line";

    // The same folder through a symbolic link, made from the Unix side (Wine's own call says
    // yes and makes nothing), and removed there before the folder goes.
    const std::filesystem::path link = folder.parent_path() / L"link";
    const std::wstring unix_link = UnixPath(folder.parent_path()) + L"/link";
    ASSERT_TRUE(RunUnix(L"Z:\\bin\\ln -s \"" + UnixPath(folder) + L"\" \"" + unix_link + L"\"",
                        [&] { return std::filesystem::exists(link / L"Belvane.exe"); }));
    struct Unlink {
      std::wstring unix_link;
      std::filesystem::path link;
      ~Unlink() {
        RunUnix(L"Z:\\bin\\rm \"" + unix_link + L"\"",
                [&] { return !std::filesystem::exists(link); });
      }
    } unlink{unix_link, link};
    ASSERT_TRUE(WaitUntil([&] {
      if (!IsIconic(main)) ShowWindow(main, SW_MINIMIZE);
      return IsIconic(main) != FALSE;
    }));
    Process linked{link / L"Belvane.exe"};
    ASSERT_TRUE(linked.Started());
    EXPECT_EQ(linked.WaitForExit(10000), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) == FALSE; })) << "not brought back";
    EXPECT_FALSE(std::filesystem::exists(folder / L"Belvane配置.ini"));
    const std::string linked_text = ReadWholeFile(record).value_or("");
    EXPECT_EQ(linked_text.find("\t启动\t"), linked_text.rfind("\t启动\t")) << linked_text;

    // Another folder's copy runs beside it.
    BelvaneApp other;
    ASSERT_TRUE(other.Start()) << other.Process().SetUpError();
    EXPECT_TRUE(IsWindow(main));
  }
}

// The current user's logon entry "Belvane", as Windows reads it; put back as it was at the end.
class RunEntry {
 public:
  RunEntry() { before_ = Read(); }
  ~RunEntry() {
    if (before_) {
      Write(*before_);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Belvane");
    }
  }
  static std::optional<std::wstring> Read() {
    wchar_t value[2048] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, L"Belvane", RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
      return std::nullopt;
    return std::wstring(value);
  }
  static bool Write(const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Belvane", REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  std::optional<std::wstring> before_;
};

// Runs from a folder whose name has Chinese characters and a space.
class SystemMenuTest : public RecordTest {
 protected:
  SystemMenuTest() : RecordTest("学校 铃声") {}
  bool Choose(int item) const {
    return PostMessageW(app_.Main().Handle(), WM_SYSCOMMAND, item, 0) && app_.Settle();
  }
  std::string Folder() const { return GbkFromWide(app_.Process().Folder().wstring()).Bytes(); }
};

TEST_F(SystemMenuTest, AutostartWritesThisExesQuotedPathAndRemovesIt) {
  RunEntry guard;
  // Left by a copy in a folder that has since moved: not this program's.
  ASSERT_TRUE(RunEntry::Write(L"\"C:\\旧的铃声\\Belvane.exe\""));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  const std::wstring quoted = L"\"" + (app_.Process().Folder() / L"Belvane.exe").wstring() + L"\"";
  ASSERT_NE(quoted.find(L"学校 铃声\\Belvane.exe"), std::wstring::npos);

  ASSERT_TRUE(Choose(BELVANE_SYSMENU_AUTOSTART));
  EXPECT_TRUE(RunEntry::Read() == quoted);
  EXPECT_TRUE(RecordHas("开机自动启动\t已开启\t" + GbkFromWide(quoted).Bytes() + "\r\n"))
      << Record();

  ASSERT_TRUE(Choose(BELVANE_SYSMENU_AUTOSTART));
  EXPECT_FALSE(RunEntry::Read().has_value());
  EXPECT_TRUE(RecordHas("开机自动启动\t已关闭\r\n")) << Record();
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(app_.CloseConfirmed());
}

TEST_F(SystemMenuTest, AboutBoxTellsVersionBuildDateAndFolder) {
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(PostMessageW(app_.Main().Handle(), WM_SYSCOMMAND, BELVANE_SYSMENU_ABOUT, 0));
  const RemoteMessageBox box = app_.WaitForBox("关于 Belvane");
  ASSERT_TRUE(box.Exists());
  const std::string text = box.Message();
  EXPECT_NE(text.find(std::string("Belvane ") + BELVANE_VERSION_TEXT), std::string::npos) << text;
  EXPECT_NE(text.find(BELVANE_BUILD_DATE), std::string::npos) << text;
  EXPECT_NE(text.find(Folder()), std::string::npos) << text;
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_TRUE(app_.CloseConfirmed());
}

// The top-level windows of any process whose title holds `part`.
std::vector<HWND> WindowsTitled(const std::wstring& part) {
  struct Search {
    const std::wstring& part;
    std::vector<HWND> found;
  } search{part, {}};
  EnumWindows(
      [](HWND window, LPARAM data) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t title[512] = {};
        GetWindowTextW(window, title, 512);
        if (std::wstring(title).find(s->part) != std::wstring::npos) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(SystemMenuTest, OpenRecordShowsItInTheTextEditorOrSaysThereIsNone) {
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(RecordHas("启动\t"));
  ASSERT_TRUE(Choose(BELVANE_SYSMENU_OPEN_RECORD));
  std::vector<HWND> editor;
  EXPECT_TRUE(WaitUntil([&] { return !(editor = WindowsTitled(L"Belvane日志")).empty(); },
                        kStartTimeoutMs));
  for (const HWND window : editor) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    EXPECT_NE(id, GetProcessId(nullptr));
    if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, kActionTimeoutMs);
      CloseHandle(process);
    }
  }
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(app_.CloseConfirmed());
}

TEST_F(SystemMenuTest, OpenRecordSaysSoWhenThereIsNoneYet) {
  ASSERT_TRUE(app_.Process().MakeFolder(kRecord));  // no record can be written
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(PostMessageW(app_.Main().Handle(), WM_SYSCOMMAND, BELVANE_SYSMENU_OPEN_RECORD, 0));
  const RemoteMessageBox box = app_.WaitForBox("播放记录");
  ASSERT_TRUE(box.Exists());
  EXPECT_NE(box.Message().find("还没有播放记录"), std::string::npos) << box.Message();
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_TRUE(app_.CloseConfirmed());
}

}  // namespace
}  // namespace belvane::e2e
