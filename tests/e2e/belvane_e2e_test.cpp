// Belvane.exe driven from outside, as a user would: start-up, the timetable file, editing, the
// music folder and closing.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/belvane_app.h"
#include "tests/e2e/noise_wav.h"

namespace belvane::e2e {
namespace {

using Rows = std::vector<Row>;

class BelvaneTest : public ::testing::Test {
 protected:
  // Starts the program; the run folder holds what the test put there first.
  void Launch(int timeout_ms = kStartTimeoutMs) {
    ASSERT_TRUE(app_.Start(timeout_ms)) << "no main window " << app_.Process().SetUpError();
  }
  void WriteConfig(const std::string& text) {
    ASSERT_TRUE(app_.Process().WriteFile(kConfigName, text));
  }
  void PutMusic(const std::vector<std::string>& names) {
    ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
    for (const std::string& name : names) {
      ASSERT_TRUE(app_.Process().WriteFile("mp3\\" + name, "not really music"));
    }
  }
  // The audio library beside the program: a built stand-in of tests/e2e/fixture, or raw bytes.
  static std::string StubLibrary(const char* name) {
    return ReadWholeFile(BuildBinDir() / name).value_or("");
  }

  BelvaneApp app_;
};

std::vector<std::string> Column(const Rows& rows, size_t column) {
  std::vector<std::string> cells;
  for (const Row& row : rows) cells.push_back(row.at(column));
  return cells;
}

std::vector<std::string> Numbers(size_t n) {
  std::vector<std::string> numbers;
  for (size_t i = 1; i <= n; ++i) numbers.push_back(std::to_string(i));
  return numbers;
}

// ---- First start and the main window

TEST_F(BelvaneTest, FirstStartWritesTheDefaultTimetableAndShowsItsSevenRows) {
  ASSERT_EQ(sizeof(kDefaultConfig) - 1, 356u);
  Launch();
  EXPECT_EQ(app_.Config(), std::optional<std::string>(kDefaultConfig));
  EXPECT_EQ(app_.Rows(), DefaultRowsWithMarkers());  // no mp3 folder: every file is missing
  EXPECT_EQ(app_.Music().Count(), 0);
  EXPECT_EQ(app_.Music().Selection(), -1);
}

TEST_F(BelvaneTest, MainWindowHasItsListsColumnsAndListViewInPlace) {
  Launch();
  EXPECT_EQ(app_.Main().Text(), "Belvane");
  EXPECT_EQ(app_.Hours().Count(), 24);
  EXPECT_EQ(app_.Minutes().Count(), 60);
  EXPECT_EQ(app_.Seconds().Count(), 60);
  EXPECT_EQ(app_.Hours().ItemText(9), "09");
  EXPECT_EQ(app_.Hours().ItemText(10), "10");
  EXPECT_EQ(app_.Minutes().ItemText(59), "59");
  EXPECT_EQ(app_.Hours().SelectedText(), "07");
  EXPECT_EQ(app_.Minutes().SelectedText(), "00");
  EXPECT_EQ(app_.Seconds().SelectedText(), "00");

  const RemoteListView list = app_.Timetable();
  ASSERT_TRUE(list.Exists());
  EXPECT_EQ(list.ColumnTitle(0), "顺序");
  EXPECT_EQ(list.ColumnTitle(1), "开始时间");
  EXPECT_EQ(list.ColumnTitle(2), "音乐");
  EXPECT_EQ(list.ColumnTitle(3), "数值");
  EXPECT_EQ(list.ColumnTitle(4), "");
  EXPECT_EQ(list.ExtendedListViewStyle() & 0x423u, 0x423u);
  EXPECT_EQ(list.Style() & (LVS_REPORT | LVS_SINGLESEL), LVS_REPORT | LVS_SINGLESEL);

  const RemoteWindow placeholder = app_.Control(kPlaceholder);
  EXPECT_FALSE(placeholder.Visible());
  const RECT under = placeholder.RectInParent();
  const RECT over = list.RectInParent();
  EXPECT_EQ(std::vector<LONG>({over.left, over.top, over.right, over.bottom}),
            std::vector<LONG>({under.left, under.top, under.right, under.bottom}));
  EXPECT_EQ(app_.Control(kNote).Text(), "可用于学校上下课打铃，考试指令播放等。");
}

// ---- The timetable file

TEST_F(BelvaneTest, ExistingTimetableIsNeverOverwrittenAndLoadsInKeyOrder) {
  // Out of time order, a key above n and a comment: loading keeps the keys' order and
  // start-up never rewrites the file.
  const std::string text = "; kept by hand\r\n" +
                           MakeConfig({{"10:00:00", "c.mp3", "36000"},
                                       {"08:00:00", "a.mp3", "28800"},
                                       {"09:00:00", "b.mp3", "32400"}},
                                      "3") +
                           "[time]\r\n4=12:00:00\r\n";
  WriteConfig(text);
  PutMusic({"a.mp3", "b.mp3", "c.mp3"});
  Launch();
  EXPECT_EQ(app_.Rows(), (Rows{{"1", "10:00:00", "c.mp3", "36000"},
                               {"2", "08:00:00", "a.mp3", "28800"},
                               {"3", "09:00:00", "b.mp3", "32400"}}));

  // Adding relies on time order, which loading never repairs: 08:30:00 goes directly below
  // the lowest row with fewer seconds.
  ASSERT_TRUE(app_.AddAt("08", "30", "00"));
  EXPECT_EQ(Column(app_.Rows(), 1),
            (std::vector<std::string>{"10:00:00", "08:00:00", "08:30:00", "09:00:00"}));
  EXPECT_EQ(app_.Config(), std::optional<std::string>(text));
  EXPECT_TRUE(app_.CloseConfirmed());
  EXPECT_EQ(app_.Config(), std::optional<std::string>(text));  // closing never saves
}

struct CountCase {
  const char* name;
  std::string total_section;  // the whole [total] part of the file, or none
  int rows;
};

class RowCountTest : public BelvaneTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(RowCountTest, LoadsOnlyWhatTheCountAllows) {
  const std::string rows =
      "[time]\r\n1=08:30:00\r\n2=08:40:00\r\n[music]\r\n1=a.mp3\r\n2=b.mp3\r\n"
      "[remark]\r\n1=30600\r\n2=31200\r\n";
  WriteConfig(rows + GetParam().total_section);
  Launch();
  EXPECT_EQ(app_.Timetable().RowCount(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Counts, RowCountTest,
                         ::testing::Values(CountCase{"Zero", "[total]\r\nn=0\r\n", 0},
                                           CountCase{"Letters", "[total]\r\nn=abc\r\n", 0},
                                           CountCase{"Negative", "[total]\r\nn=-3\r\n", 0},
                                           CountCase{"NoTotalSection", "", 0},
                                           CountCase{"One", "[total]\r\nn=1\r\n", 1}),
                         [](const ::testing::TestParamInfo<CountCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(BelvaneTest, CountAboveTheKeysGivesEmptyRows) {
  WriteConfig(
      "[time]\r\n1=08:30:00\r\n2=08:40:00\r\n[music]\r\n1=a.mp3\r\n2=b.mp3\r\n"
      "[remark]\r\n1=30600\r\n2=31200\r\n[total]\r\nn=3\r\n");
  Launch();
  // No mp3 folder: the third row's missing name shows the marker alone.
  EXPECT_EQ(app_.Rows(), (Rows{{"1", "08:30:00", std::string(kMissingMarker) + "a.mp3", "30600"},
                               {"2", "08:40:00", std::string(kMissingMarker) + "b.mp3", "31200"},
                               {"3", "", kMissingMarker, ""}}));
}

TEST_F(BelvaneTest, CountAboveTheKeysWithAMusicFolderGivesAnEmptyMusicCell) {
  WriteConfig(MakeConfig({{"08:30:00", "a.mp3", "30600"}}, "2"));
  PutMusic({"a.mp3"});
  Launch();
  // The empty name names the folder itself, which exists.
  EXPECT_EQ(app_.Rows(), (Rows{{"1", "08:30:00", "a.mp3", "30600"}, {"2", "", "", ""}}));
}

TEST_F(BelvaneTest, HugeCountLoadsAtMostOneRowPerSecondOfTheDay) {
  WriteConfig(MakeConfig({{"08:30:00", "a.mp3", "30600"}}, "1000000000"));
  Launch(180000);
  const RemoteListView list = app_.Timetable();
  ASSERT_EQ(list.RowCount(), 86400);
  EXPECT_EQ(list.CellText(0, 1), "08:30:00");
  EXPECT_EQ(list.CellText(86399, 0), "86400");
  EXPECT_EQ(list.CellText(86399, 1), "");
}

TEST_F(BelvaneTest, SavingFromSevenToFiveRowsKeepsTheOldKeysAboveFive) {
  Launch();
  ASSERT_TRUE(app_.SelectRow(6));
  ASSERT_TRUE(app_.Press(kDeleteButton));
  ASSERT_TRUE(app_.SelectRow(0));
  ASSERT_TRUE(app_.Press(kDeleteButton));
  ASSERT_TRUE(app_.Press(kSaveButton));
  EXPECT_TRUE(app_.ShowsNoBox());  // a successful save is silent

  const std::string ini = app_.Config().value_or("");
  const Rows defaults = DefaultRowsWithMarkers();
  EXPECT_EQ(IniValue(ini, "total", "n"), std::optional<std::string>("5"));
  for (int i = 1; i <= 5; ++i) {
    const Row& row = defaults[static_cast<size_t>(i)];  // rows 2..6 of the default timetable
    const std::string key = std::to_string(i);
    EXPECT_EQ(IniValue(ini, "time", key), std::optional<std::string>(row[1])) << key;
    EXPECT_EQ(IniValue(ini, "remark", key), std::optional<std::string>(row[3])) << key;
    // The marker is display only: the file keeps the bare name.
    EXPECT_EQ(IniValue(ini, "music", key),
              std::optional<std::string>(row[2].substr(sizeof(kMissingMarker) - 1)))
        << key;
  }
  EXPECT_EQ(IniValue(ini, "time", "6"), std::optional<std::string>("10:45:00"));
  EXPECT_EQ(IniValue(ini, "music", "7"), std::optional<std::string>("7.停止答题.m4a"));
  EXPECT_EQ(IniValue(ini, "remark", "7"), std::optional<std::string>("39600"));
  EXPECT_EQ(ini.find(kMissingMarker), std::string::npos);
  EXPECT_TRUE(app_.CloseConfirmed());

  // A file restored later is found again at the next start.
  PutMusic({"2.宣读考试规则.m4a"});
  Launch();
  const Rows rows = app_.Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (Row{"1", "08:40:00", "2.宣读考试规则.m4a", "31200"}));
  EXPECT_EQ(rows[1][2], std::string(kMissingMarker) + "3.监考员启封试卷袋.m4a");
}

TEST_F(BelvaneTest, SaveWritesLongCellsWhole) {
  const std::string long_name = std::string(296, 'a') + ".mp3";
  std::string long_chinese;
  for (int i = 0; i < 150; ++i) long_chinese += "长";
  long_chinese += ".m4a";  // 304 bytes, cut nowhere in the middle of a character
  const std::string long_time = "08:40:00" + std::string(300, '0');
  WriteConfig(
      MakeConfig({{"08:30:00", long_name, "30600"}, {long_time, long_chinese, "31200"}}, "2"));
  Launch();
  EXPECT_EQ(app_.Timetable().CellText(1, 1), long_time);
  ASSERT_TRUE(app_.Press(kSaveButton));
  const std::string ini = app_.Config().value_or("");
  EXPECT_EQ(IniValue(ini, "music", "1"), std::optional<std::string>(long_name));
  EXPECT_EQ(IniValue(ini, "music", "2"), std::optional<std::string>(long_chinese));
  EXPECT_EQ(IniValue(ini, "time", "2"), std::optional<std::string>(long_time));
}

TEST_F(BelvaneTest, FailedSaveIsToldAndKeepsTheRows) {
  Launch();
  ASSERT_TRUE(app_.SelectRow(0));
  ASSERT_TRUE(app_.Press(kDeleteButton));
  {
    // Another program holds the file open without sharing it.
    const HANDLE lock =
        CreateFileW(app_.Process().PathOf(kConfigName).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(app_.Main().Item(kSaveButton).PostClick());
    const RemoteMessageBox box = app_.WaitForBox("错误");
    CloseHandle(lock);
    ASSERT_TRUE(box.Exists()) << "a failed save was not told";
    EXPECT_FALSE(box.Message().empty());
    ASSERT_TRUE(box.Answer(IDOK));
    ASSERT_TRUE(WaitUntil([&] { return app_.ShowsNoBox(); }));
  }
  EXPECT_EQ(app_.Timetable().RowCount(), 6);
  EXPECT_EQ(app_.Config(), std::optional<std::string>(kDefaultConfig));

  // Once the file is free again the same rows save, silently.
  ASSERT_TRUE(app_.Press(kSaveButton));
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_EQ(IniValue(app_.Config().value_or(""), "total", "n"), std::optional<std::string>("6"));
  // The record holds both, in order.
  EXPECT_TRUE(WaitUntil([&] {
    const std::string record = app_.Process().ReadFile("Belvane日志.txt").value_or("");
    const size_t failed = record.find("\t保存\t保存失败\r\n");
    return failed != std::string::npos &&
           record.find("\t保存\t已保存\t时间表 6 行\r\n", failed) != std::string::npos;
  })) << app_.Process().ReadFile("Belvane日志.txt").value_or("");
}

// ---- The music folder

TEST_F(BelvaneTest, MusicListGroupsByPatternAndSkipsFoldersAndOtherFiles) {
  PutMusic({"b.mp3", "a.wav", "乙.mp3", "x.MP3", "d.m4a", "e.aac", "f.wma", "notes.txt",
            "1.组织考生进入考场.m4a"});
  ASSERT_TRUE(app_.Process().MakeFolder("mp3\\sub"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\sub\\g.mp3", "x"));
  ASSERT_TRUE(app_.Process().MakeFolder("mp3\\folder.mp3"));
  Launch();

  const std::vector<std::string> items = app_.Music().Items();
  ASSERT_EQ(items.size(), 8u);
  // Within one pattern the file system's order holds, which is not fixed.
  EXPECT_EQ(std::set<std::string>(items.begin(), items.begin() + 3),
            (std::set<std::string>{"b.mp3", "乙.mp3", "x.MP3"}));
  EXPECT_EQ(std::set<std::string>(items.begin() + 3, items.begin() + 5),
            (std::set<std::string>{"d.m4a", "1.组织考生进入考场.m4a"}));
  EXPECT_EQ(std::vector<std::string>(items.begin() + 5, items.end()),
            (std::vector<std::string>{"e.aac", "f.wma", "a.wav"}));
  EXPECT_EQ(app_.Music().Selection(), 0);

  // A row whose file exists shows the bare name.
  const Rows rows = app_.Rows();
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0][2], "1.组织考生进入考场.m4a");
  EXPECT_EQ(rows[1][2], std::string(kMissingMarker) + "2.宣读考试规则.m4a");
}

TEST_F(BelvaneTest, DemoMusicFolderHoldsEveryFileTheDefaultTimetableNames) {
  const std::filesystem::path demo = BuildBinDir().parent_path() / "demo" / "mp3";
  if (!std::filesystem::is_directory(demo)) GTEST_SKIP() << "the build made no demo music";
  std::error_code ec;
  std::filesystem::copy(demo, app_.Process().PathOf("mp3"), ec);
  ASSERT_FALSE(ec) << ec.message();
  Launch();
  Rows expected = DefaultRowsWithMarkers();
  std::vector<std::string> names;
  for (Row& row : expected) {
    row[2] = row[2].substr(sizeof(kMissingMarker) - 1);
    names.push_back(row[2]);
  }
  EXPECT_EQ(app_.Rows(), expected);
  std::vector<std::string> items = app_.Music().Items();
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, names);
}

TEST_F(BelvaneTest, FileCopiedInWhileRunningIsListedAndItsMarkFollowsIt) {
  PutMusic({"1.组织考生进入考场.m4a"});
  Launch();
  const std::string name = "2.宣读考试规则.m4a";
  const auto listed = [&] {
    const std::vector<std::string> items = app_.Music().Items();
    return std::find(items.begin(), items.end(), name) != items.end();
  };
  ASSERT_FALSE(listed());
  ASSERT_EQ(app_.Rows().at(1)[2], kMissingMarker + name);

  ASSERT_TRUE(app_.Process().WriteFile("mp3\\" + name, "not really music"));
  EXPECT_TRUE(WaitUntil([&] { return listed() && app_.Rows().at(1)[2] == name; }, 3000));
  std::filesystem::remove(app_.Process().PathOf("mp3\\" + name));
  EXPECT_TRUE(
      WaitUntil([&] { return !listed() && app_.Rows().at(1)[2] == kMissingMarker + name; }, 3000));
  EXPECT_EQ(app_.Music().Items(), std::vector<std::string>{"1.组织考生进入考场.m4a"});
}

// The music folder made while the program runs, then a recording copied in from elsewhere as
// Explorer copies (the copy keeps the original's time): the list and the row's mark follow.
TEST_F(BelvaneTest, MusicFolderMadeAndARecordingCopiedInWhileRunningAreFollowed) {
  WriteConfig(MakeConfig({{"08:30:00", "甲.wav", "30600"}, {"08:40:00", "b.wav", "31200"}}, "2"));
  ASSERT_TRUE(app_.Process().MakeFolder("incoming"));
  ASSERT_TRUE(app_.Process().WriteFile("incoming\\甲.wav", NoiseWav(1.0, 7)));
  Launch();
  ASSERT_TRUE(app_.Music().Items().empty());
  ASSERT_EQ(app_.Rows().at(0)[2], std::string(kMissingMarker) + "甲.wav");

  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  ASSERT_TRUE(CopyFileW(app_.Process().PathOf("incoming\\甲.wav").wstring().c_str(),
                        app_.Process().PathOf("mp3\\甲.wav").wstring().c_str(), TRUE));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return app_.Music().Items() == std::vector<std::string>{"甲.wav"} &&
               app_.Rows().at(0)[2] == "甲.wav";
      },
      3000))
      << "the list and the mark did not follow the copy";
  EXPECT_EQ(app_.Rows().at(1)[2], std::string(kMissingMarker) + "b.wav");
}

// ---- Editing

TEST_F(BelvaneTest, AddToAnEmptyTimetableUsesTheListsAsShown) {
  WriteConfig("[total]\r\nn=0\r\n");
  Launch();
  ASSERT_TRUE(app_.Press(kAddButton));  // 07:00:00, and no music to choose
  EXPECT_EQ(app_.Rows(), (Rows{{"1", "07:00:00", "", "25200"}}));
}

TEST_F(BelvaneTest, AddKeepsTimeOrderAndRefusesATakenTime) {
  PutMusic({"乙.mp3"});
  Launch();
  ASSERT_TRUE(app_.AddAt("08", "35", "00"));  // between 08:30:00 and 08:40:00
  ASSERT_TRUE(app_.AddAt("00", "00", "00"));  // top
  ASSERT_TRUE(app_.AddAt("23", "59", "59"));  // bottom
  Rows rows = app_.Rows();
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(Column(rows, 0), Numbers(10));
  // Rows added by hand carry the bare name, never the marker.
  EXPECT_EQ(rows[0], (Row{"1", "00:00:00", "乙.mp3", "0"}));
  EXPECT_EQ(rows[2], (Row{"3", "08:35:00", "乙.mp3", "30900"}));
  EXPECT_EQ(rows[9], (Row{"10", "23:59:59", "乙.mp3", "86399"}));
  EXPECT_EQ(Column(rows, 1),
            (std::vector<std::string>{"00:00:00", "08:30:00", "08:35:00", "08:40:00", "08:45:00",
                                      "08:50:00", "09:00:00", "10:45:00", "11:00:00", "23:59:59"}));

  ASSERT_TRUE(app_.ChooseTime("08", "30", "00"));
  ASSERT_TRUE(app_.Main().Item(kAddButton).PostClick());
  const RemoteMessageBox box = app_.WaitForBox("错误");
  ASSERT_TRUE(box.Exists());
  EXPECT_EQ(box.Message(), "该时间点已有任务");
  ASSERT_TRUE(box.Answer(IDOK));
  ASSERT_TRUE(WaitUntil([&] { return app_.ShowsNoBox(); }));
  EXPECT_EQ(app_.Rows(), rows);

  // Saving writes the added rows in their places, with the bare names.
  ASSERT_TRUE(app_.Press(kSaveButton));
  const std::string ini = app_.Config().value_or("");
  EXPECT_EQ(IniValue(ini, "total", "n"), std::optional<std::string>("10"));
  EXPECT_EQ(IniValue(ini, "time", "3"), std::optional<std::string>("08:35:00"));
  EXPECT_EQ(IniValue(ini, "music", "3"), std::optional<std::string>("乙.mp3"));
  EXPECT_EQ(IniValue(ini, "remark", "10"), std::optional<std::string>("86399"));
}

TEST_F(BelvaneTest, ANamedTimetableChosenBesideTheClockIsEditedAndSavedToItsOwnFile) {
  const std::string exam = MakeConfig({{"08:00:00", "a.mp3", "28800"}}, "1");
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("课表\\考试.ini", exam));
  Launch();
  const RemoteComboBox timetables = app_.Timetables();
  ASSERT_EQ(timetables.Count(), 5);  // 常规, 考试, 新建课表…, 导出为 CSV…, 从 CSV 导入…
  EXPECT_EQ(timetables.SelectedText(), "常规");
  ASSERT_TRUE(timetables.SelectText("考试"));
  ASSERT_TRUE(app_.Settle());
  EXPECT_EQ(app_.Rows(), (Rows{{"1", "08:00:00", std::string(kMissingMarker) + "a.mp3", "28800"}}));
  EXPECT_EQ(timetables.ItemText(4), "删除“考试”…");

  ASSERT_TRUE(app_.AddAt("23", "59", "59"));
  ASSERT_TRUE(app_.Press(kSaveButton));
  EXPECT_TRUE(app_.ShowsNoBox());
  // What "4.保存" writes for a timetable, in its own file; the default one stays as it was.
  EXPECT_EQ(app_.Process().ReadFile("课表\\考试.ini"),
            MakeConfig({{"08:00:00", "a.mp3", "28800"}, {"23:59:59", "", "86399"}}, "2"));
  EXPECT_EQ(app_.Config(), std::optional<std::string>(kDefaultConfig));
}

// The name dialog, driven from the drop-down: a new timetable gets its file, and a rename
// moves the file and the plan's lines that named it.
TEST_F(BelvaneTest, TimetablesAreMadeAndRenamedThroughTheNameDialog) {
  constexpr int kNameEdit = 1022;
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("课表\\考试.ini",
                                       MakeConfig({{"08:00:00", "a.mp3", "28800"}}, "1")));
  ASSERT_TRUE(
      app_.Process().WriteFile("Belvane日历.ini", "; 期末周\r\n[日期]\r\n2027-06-07=考试\r\n"));
  Launch();
  const RemoteComboBox timetables = app_.Timetables();
  const auto answer = [&](std::string_view caption, const wchar_t* name) {
    const RemoteWindow dialog = app_.Process().WaitForDialog(caption);
    if (!dialog.Exists()) return false;
    SendMessageW(dialog.Item(kNameEdit).Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
    return dialog.Item(IDOK).PostClick() &&
           WaitUntil([&] { return !dialog.Exists(); }, kActionTimeoutMs);
  };

  ASSERT_TRUE(timetables.SelectText("新建课表…"));
  ASSERT_TRUE(answer("新建课表", L"晚自习"));
  EXPECT_TRUE(WaitUntil([&] { return app_.Process().Exists("课表\\晚自习.ini"); }));
  EXPECT_EQ(timetables.SelectedText(), "晚自习");

  ASSERT_TRUE(timetables.SelectText("考试"));
  ASSERT_TRUE(timetables.SelectText("重命名“考试”…"));
  ASSERT_TRUE(answer("重命名课表", L"期末"));
  EXPECT_TRUE(WaitUntil([&] { return app_.Process().Exists("课表\\期末.ini"); }));
  EXPECT_FALSE(app_.Process().Exists("课表\\考试.ini"));
  EXPECT_EQ(timetables.SelectedText(), "期末");
  const std::string plan = app_.Process().ReadFile("Belvane日历.ini").value_or("");
  EXPECT_NE(plan.find("2027-06-07=期末"), std::string::npos) << plan;
  EXPECT_EQ(plan.find("考试"), std::string::npos) << plan;
}

// A delete from the drop-down names the plan's lines that will ring 常规 instead; Cancel keeps
// the file, OK removes it and shows 常规.
TEST_F(BelvaneTest, DeletingATimetableListsThePlansLinesThatFallBack) {
  ASSERT_TRUE(app_.Process().MakeFolder("课表"));
  ASSERT_TRUE(app_.Process().WriteFile("课表\\考试.ini",
                                       MakeConfig({{"08:00:00", "a.mp3", "28800"}}, "1")));
  const std::string plan =
      "[每周]\r\n周五=考试\r\n[日期]\r\n2027-06-07=考试\r\n2027-06-08=常规\r\n";
  ASSERT_TRUE(app_.Process().WriteFile("Belvane日历.ini", plan));
  Launch();
  const RemoteComboBox timetables = app_.Timetables();
  ASSERT_TRUE(timetables.SelectText("考试"));
  const auto ask_delete = [&] {
    EXPECT_TRUE(timetables.SelectText("删除“考试”…"));
    return app_.WaitForBox("删除课表");
  };

  RemoteMessageBox box = ask_delete();
  ASSERT_TRUE(box.Exists());
  EXPECT_EQ(box.Message(),
            "确定删除课表“考试”吗？删除后无法恢复。\r\n\r\n日历中以下各行将改为打常规铃：\r\n"
            "周五=考试\r\n2027-06-07=考试");
  ASSERT_TRUE(box.Answer(IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return app_.ShowsNoBox(); }));
  ASSERT_TRUE(app_.Settle());
  EXPECT_TRUE(app_.Process().Exists("课表\\考试.ini"));
  EXPECT_EQ(timetables.SelectedText(), "考试");

  box = ask_delete();
  ASSERT_TRUE(box.Exists());
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !app_.Process().Exists("课表\\考试.ini"); }));
  ASSERT_TRUE(app_.Settle());
  EXPECT_EQ(timetables.SelectedText(), "常规");
  EXPECT_EQ(timetables.Count(), 4);  // 常规, 新建课表…, 导出为 CSV…, 从 CSV 导入…
  // The lines stay as they were written: they ring 常规 now that the file is gone.
  EXPECT_EQ(app_.Process().ReadFile("Belvane日历.ini"), std::optional<std::string>(plan));
}

// ---- The follow window

// The system menu's "跟随共享文件夹…": 测试 reads the folder typed and says what it found;
// Cancel follows nothing.
TEST_F(BelvaneTest, FollowWindowsTestSaysWhatTheFolderHolds) {
  constexpr WPARAM kFollowMenuItem = 0x0140;
  constexpr int kSource = 1301, kTest = 1303, kTestResult = 1304;
  ASSERT_TRUE(app_.Process().MakeFolder("共享"));
  ASSERT_TRUE(app_.Process().MakeFolder("共享\\mp3"));
  ASSERT_TRUE(app_.Process().WriteFile("共享\\Belvane配置.ini", kDefaultConfig));
  for (const char* name : {"共享\\mp3\\上课.mp3", "共享\\mp3\\下课.wav", "共享\\mp3\\说明.txt"})
    ASSERT_TRUE(app_.Process().WriteFile(name, "not really music"));
  Launch();

  ASSERT_TRUE(PostMessageW(app_.Main().Handle(), WM_SYSCOMMAND, kFollowMenuItem, 0));
  const RemoteWindow window = app_.Process().WaitForDialog("跟随共享文件夹");
  ASSERT_TRUE(window.Exists());
  const RemoteWindow result = window.Item(kTestResult);
  ASSERT_TRUE(window.Item(kTest).PostClick());
  EXPECT_TRUE(WaitUntil([&] { return result.Text() == "请先填写来源。"; })) << result.Text();

  // Blanks around the folder are not part of it.
  const std::wstring typed = L"  " + app_.Process().PathOf("共享").wstring() + L"  ";
  SendMessageW(window.Item(kSource).Handle(), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(typed.c_str()));
  ASSERT_TRUE(window.Item(kTest).PostClick());
  EXPECT_TRUE(WaitUntil([&] { return result.Text() == "可以读取：1 个课表，2 个音乐文件"; }))
      << result.Text();

  ASSERT_TRUE(window.Item(IDCANCEL).PostClick());
  EXPECT_TRUE(WaitUntil([&] { return !window.Exists(); }));
  ASSERT_TRUE(app_.Settle());
  EXPECT_FALSE(app_.Process().Exists("Belvane同步.ini"));
  EXPECT_TRUE(app_.ShowsNoBox());
}

TEST_F(BelvaneTest, DeleteRemovesTheSelectedRowOnlyAndRenumbers) {
  Launch();
  ASSERT_TRUE(app_.Press(kDeleteButton));  // no row ever selected: nothing goes
  EXPECT_EQ(app_.Rows(), DefaultRowsWithMarkers());

  ASSERT_TRUE(app_.SelectRow(2));
  ASSERT_TRUE(app_.Press(kDeleteButton));
  const Rows rows = app_.Rows();
  EXPECT_EQ(Column(rows, 0), Numbers(6));
  EXPECT_EQ(Column(rows, 1), (std::vector<std::string>{"08:30:00", "08:40:00", "08:50:00",
                                                       "09:00:00", "10:45:00", "11:00:00"}));
  EXPECT_EQ(app_.Config(), std::optional<std::string>(kDefaultConfig));  // until saved
}

// ---- Closing and keys

TEST_F(BelvaneTest, CloseAsksEveryTimeAndOnlyOkEnds) {
  Launch();
  ASSERT_TRUE(app_.AddAt("12", "00", "00"));  // an unsaved edit
  ASSERT_TRUE(app_.Main().PostClose());
  RemoteMessageBox box = app_.WaitForBox("防止误操作");
  ASSERT_TRUE(box.Exists());
  EXPECT_EQ(box.Message(), "关闭前，记得保存哦，真的关闭吗？");
  ASSERT_TRUE(box.Answer(IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return app_.ShowsNoBox(); }, kStartTimeoutMs));
  ASSERT_TRUE(app_.Settle());
  EXPECT_TRUE(app_.Process().Running());
  EXPECT_EQ(app_.Timetable().RowCount(), 8);

  ASSERT_TRUE(app_.Main().PostClose());
  box = app_.WaitForBox("防止误操作");
  ASSERT_TRUE(box.Exists());
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_EQ(app_.Process().WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(app_.Config(), std::optional<std::string>(kDefaultConfig));
}

TEST_F(BelvaneTest, EscAndEnterDoNothing) {
  Launch();
  ASSERT_TRUE(app_.Main().PressKey(VK_ESCAPE));
  ASSERT_TRUE(app_.Main().PressKey(VK_RETURN));
  ASSERT_TRUE(app_.Settle());
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(app_.Process().Running());
  EXPECT_TRUE(app_.Main().Visible());
  EXPECT_EQ(app_.Rows(), DefaultRowsWithMarkers());
}

// ---- Fatal errors inside the program's window procedures

// Visible "DLL ERROR" boxes of the program.
int DllErrorBoxes(const AppUnderTest& app) {
  int boxes = 0;
  for (HWND hwnd : app.TopLevelWindows()) {
    if (RemoteWindow(hwnd).Text() == "DLL ERROR") ++boxes;
  }
  return boxes;
}

// The one "DLL ERROR" box says `message`; after OK the exit sequence runs and the process ends
// with code 0 (not the abort's 3), with no second box.
void ExpectOneDllErrorThenCodeZero(const AppUnderTest& app, const std::string& message,
                                   HWND main = nullptr) {
  const RemoteMessageBox box(app.WaitForDialog("DLL ERROR", 15000, main).Handle());
  ASSERT_TRUE(box.Exists()) << "no DLL ERROR box";
  EXPECT_EQ(box.Message(), message);
  EXPECT_EQ(DllErrorBoxes(app), 1);
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_EQ(app.WaitForExit(10000), std::optional<DWORD>(0));
}

constexpr char kNoAudioLibrary[] = "同目录下无法找到DLL文件:\"bass\".请与作者联系.";

// Start-up binds BASS_Init inside the main dialog's init handler. A bass.dll in the folder is
// kept whatever it holds, and where none can be put (here a folder takes its name, as a folder
// the program may not write leaves it absent) the binding fails in that handler.
TEST_F(BelvaneTest, BadAudioLibraryFailsInTheInitHandlerWithOneBoxAndCodeZero) {
  struct Case {
    const char* what;
    std::optional<std::string> library;  // nothing: a folder named bass.dll
    std::string message;
  };
  const Case cases[] = {
      {"0 bytes", std::string(), kNoAudioLibrary},
      {"lacks BASS_Init", StubLibrary("e2e_bass_without_init.dll"),
       "无法定位DLL文件:\"bass\"当中的\"BASS_Init\"函数."},
      {"cannot be put", std::nullopt, kNoAudioLibrary},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BelvaneApp app;
    ASSERT_TRUE(c.library ? app.Process().WriteFile("bass.dll", *c.library)
                          : app.Process().MakeFolder("bass.dll"));
    ASSERT_TRUE(app.Process().Start()) << app.Process().SetUpError();
    ExpectOneDllErrorThenCodeZero(app.Process(), c.message);
    if (c.library) {
      EXPECT_EQ(app.Process().ReadFile("bass.dll"), c.library);
    }
  }
}

constexpr char kNoStreamFunction[] = "无法定位DLL文件:\"bass\"当中的\"BASS_StreamCreateFile\"函数.";

TEST_F(BelvaneTest, BindingFailureFromThePlayButtonShowsOneBoxAndEndsWithCodeZero) {
  ASSERT_TRUE(app_.Process().WriteFile("bass.dll", StubLibrary("e2e_bass_init_only.dll")));
  PutMusic({"a.wav"});
  Launch();
  ASSERT_EQ(app_.Music().Selection(), 0);
  ASSERT_TRUE(app_.Control(kPlayButton).PostClick());
  ExpectOneDllErrorThenCodeZero(app_.Process(), kNoStreamFunction, app_.Main().Handle());
}

// The clock's posted row message fails to bind. A second row that comes due while the box is up
// is still handled (it is selected) but shows no second box and does not end the process.
TEST_F(BelvaneTest, BindingFailureFromADueRowShowsOneBoxAndEndsWithCodeZero) {
  ASSERT_TRUE(app_.Process().WriteFile("bass.dll", StubLibrary("e2e_bass_init_only.dll")));
  PutMusic({"a.wav"});
  WriteConfig(MakeConfig({{TimeTextIn(7), "a.wav", "0"}, {TimeTextIn(10), "a.wav", "0"}}, "2"));
  Launch();
  ASSERT_TRUE(app_.WaitForBox("DLL ERROR", 15000).Exists()) << "the due row showed no box";
  EXPECT_EQ(app_.Timetable().SelectedRow(), 0);
  EXPECT_TRUE(WaitUntil([&] { return app_.Timetable().SelectedRow() == 1; }, 8000));
  EXPECT_TRUE(app_.Process().Running());
  ExpectOneDllErrorThenCodeZero(app_.Process(), kNoStreamFunction, app_.Main().Handle());
}

// ---- The audio device comes and goes (a double of the audio library beside the program)

// The double's log: (GetTickCount64, event) per line.
struct DeviceEvent {
  unsigned long long tick;
  std::string what;
};
std::vector<DeviceEvent> DoubleLog(const AppUnderTest& app) {
  std::vector<DeviceEvent> events;
  const std::string log = app.ReadFile("bass_double.log").value_or("");
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    const size_t space = line.find(' ');
    if (space != std::string::npos) {
      events.push_back({std::stoull(line.substr(0, space)), line.substr(space + 1)});
    }
    at = end + 2;
  }
  return events;
}
// The events with each path cut to its file name ("play a.wav").
std::vector<std::string> Events(const std::vector<DeviceEvent>& log) {
  std::vector<std::string> events;
  for (const DeviceEvent& e : log) {
    const size_t drive = e.what.find(":\\");  // the path starts a letter before
    const size_t slash = e.what.rfind('\\');
    events.push_back(drive == std::string::npos || drive == 0
                         ? e.what
                         : e.what.substr(0, drive - 1) + e.what.substr(slash + 1));
  }
  return events;
}

class DeviceTest : public BelvaneTest {
 protected:
  void UseDouble(const std::string& settings) {
    ASSERT_TRUE(app_.Process().WriteFile("bass.dll", StubLibrary("e2e_bass_double.dll")));
    ASSERT_TRUE(app_.Process().WriteFile("bass_double.ini", "[double]\r\n" + settings));
    PutMusic({"a.wav", "b.wav"});
  }
  bool Logged(const std::string& event, int timeout_ms) const {
    return WaitUntil(
        [&] {
          const auto events = Events(DoubleLog(app_.Process()));
          return std::find(events.begin(), events.end(), event) != events.end();
        },
        timeout_ms);
  }
  std::string PlayCaption() const { return app_.Control(kPlayButton).Text(); }
  // The record's events: each line's fields without its stamp, a start line cut to its kind and
  // a bell's without its lateness.
  std::vector<std::string> RecordEvents() const {
    const std::string text = app_.Process().ReadFile("Belvane日志.txt").value_or("");
    std::vector<std::string> events;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
      const size_t tab = text.find('\t', at);
      std::string fields = tab < end ? text.substr(tab + 1, end - tab - 1) : "";
      if (fields.rfind("启动\t", 0) == 0) fields = "启动";
      if (fields.rfind("定时\t", 0) == 0) fields.erase(fields.rfind('\t'));
      events.push_back(fields);
    }
    return events;
  }
  bool Recorded(const std::string& event, int timeout_ms) const {
    return WaitUntil(
        [&] {
          const auto events = RecordEvents();
          return std::find(events.begin(), events.end(), event) != events.end();
        },
        timeout_ms);
  }
};

// No device at start-up: the one box, then quiet retries. The first bell's own retries (ahead
// of its second and at it) still find none; the background one 10 s later does, and the next
// bell rings. The record tells the device missing once and back once.
// What Wine shows of the volume in a session without a sound device (the double plays): the
// bell level cannot read it, says so once, ahead of the first bell, and every bell rings.
const std::string kNoVolume = "音量\t无法调整\t无默认输出设备 0x80070490";

TEST_F(DeviceTest, NoDeviceAtStartUpRingsTheFirstBellAfterOneAppears) {
  UseDouble("fail_inits=3\r\n");
  const std::string at_a = TimeTextIn(8), at_b = TimeTextIn(30);
  WriteConfig(MakeConfig({{at_a, "a.wav", "0"}, {at_b, "b.wav", "0"}}, "2"));
  int boxes = 0;
  ASSERT_TRUE(app_.Start(kStartTimeoutMs, &boxes)) << app_.Process().SetUpError();
  EXPECT_EQ(boxes, 1);
  ASSERT_TRUE(WaitUntil([&] { return app_.Timetable().SelectedRow() == 0; }, 15000))
      << "the first bell was not handled";
  ASSERT_TRUE(Logged("play b.wav", 40000)) << "the second bell did not sound";
  const std::vector<DeviceEvent> log = DoubleLog(app_.Process());
  EXPECT_EQ(Events(log), (std::vector<std::string>{"init fail", "init fail", "init fail", "init ok",
                                                   "open b.wav", "play b.wav"}));
  ASSERT_EQ(log.size(), 6u);
  // Start-up, then the first bell ahead and at its second; the background retry 10 s after the
  // last found the device, well before the second bell.
  EXPECT_GE(log[3].tick - log[2].tick, 9500u);
  EXPECT_LE(log[3].tick - log[2].tick, 12000u);
  EXPECT_GE(log[4].tick - log[3].tick, 2000u);
  EXPECT_TRUE(WaitUntil([&] { return PlayCaption() == "播放音乐"; }, 5000));
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(Recorded("定时\t2\t" + at_b + "\tb.wav\t已播放", 5000));
  EXPECT_TRUE(app_.CloseConfirmed());
  EXPECT_EQ(RecordEvents(),
            (std::vector<std::string>{"启动", "音频设备\t丢失", kNoVolume,
                                      "定时\t1\t" + at_a + "\ta.wav\t无音频设备", "音频设备\t恢复",
                                      "定时\t2\t" + at_b + "\tb.wav\t已播放", "退出"}));
}

// No device at start-up and nobody to answer the box: the window and the clock run under it,
// and the device, back for the row's own retry, rings the row while the box still waits.
TEST_F(DeviceTest, NoDeviceAtStartUpHoldsNoBellWhileItsBoxIsUnanswered) {
  UseDouble("fail_inits=1\r\n");
  const std::string at_a = TimeTextIn(8);
  WriteConfig(MakeConfig({{at_a, "a.wav", "0"}}, "1"));
  ASSERT_TRUE(app_.Start(kStartTimeoutMs, nullptr, false)) << "the box held the window";
  const RemoteMessageBox box = app_.WaitForBox("错误");
  ASSERT_TRUE(box.Exists());
  EXPECT_EQ(box.Message(), "无法播放音乐，请关闭重试");
  EXPECT_TRUE(app_.Main().Visible());
  ASSERT_TRUE(Logged("play a.wav", 15000)) << "the bell waited for the box";
  EXPECT_TRUE(Recorded("定时\t1\t" + at_a + "\ta.wav\t已播放", 5000));
  EXPECT_TRUE(box.Exists()) << "the box went without an answer";
  // Closed with the box still up: the program ends, rather than lingering hidden behind it.
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A device that goes away while the program runs: the bell that fails ends (the caption comes
// back), and the next bell initialises the output again and rings. The record tells the loss
// when the playback ends, and the device back when the next bell initialises it again.
TEST_F(DeviceTest, DeviceLostWhilePlayingIsInitialisedAgainByTheNextBell) {
  UseDouble("lose_at_play=1\r\nplay_ms=60000\r\n");
  const std::string at_a = TimeTextIn(6), at_b = TimeTextIn(14);
  WriteConfig(MakeConfig({{at_a, "a.wav", "0"}, {at_b, "b.wav", "0"}}, "2"));
  int boxes = 0;
  ASSERT_TRUE(app_.Start(kStartTimeoutMs, &boxes)) << app_.Process().SetUpError();
  EXPECT_EQ(boxes, 0);
  ASSERT_TRUE(Logged("play a.wav", 12000)) << "the first bell did not sound";
  ASSERT_TRUE(WaitUntil([&] { return PlayCaption() == "停止播放"; }, 3000));
  // The device went 300 ms in; the watcher looks once a second.
  EXPECT_TRUE(WaitUntil([&] { return PlayCaption() == "播放音乐"; }, 4000))
      << "the failed playback still shows as playing";
  // The loss is recorded as the watcher sees it, long before the next bell finds it.
  EXPECT_TRUE(Recorded("音频设备\t丢失", 3000)) << "the loss waited for the next bell";
  const std::vector<std::string> by_loss = Events(DoubleLog(app_.Process()));
  EXPECT_EQ(std::find(by_loss.begin(), by_loss.end(), "play fail b.wav"), by_loss.end());
  ASSERT_TRUE(Logged("play b.wav", 15000)) << "the second bell did not sound";
  EXPECT_EQ(
      Events(DoubleLog(app_.Process())),
      (std::vector<std::string>{"init ok", "open a.wav", "play a.wav", "open b.wav",
                                "play fail b.wav", "free", "init ok", "open b.wav", "play b.wav"}));
  EXPECT_EQ(PlayCaption(), "停止播放");
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(Recorded("定时\t2\t" + at_b + "\tb.wav\t已播放", 5000));
  EXPECT_TRUE(app_.CloseConfirmed());
  EXPECT_EQ(RecordEvents(),
            (std::vector<std::string>{"启动", kNoVolume, "定时\t1\t" + at_a + "\ta.wav\t已播放",
                                      "音频设备\t丢失", "音频设备\t恢复",
                                      "定时\t2\t" + at_b + "\tb.wav\t已播放", "退出"}));
}

// A default output that moves between the bell's preparation and its second (a projector's
// HDMI taking over): the bell is prepared again on the new one before its second and rings
// there, and the record names the output before the bell's line.
TEST_F(DeviceTest, DefaultOutputThatMovesBeforeTheSecondStillRingsOnTheNewOne) {
  UseDouble("move_default_at_open=1\r\n");
  const std::string at_a = TimeTextIn(8);
  WriteConfig(MakeConfig({{at_a, "a.wav", "0"}}, "1"));
  Launch();
  ASSERT_TRUE(Logged("play a.wav on HDMI", 15000)) << "the bell did not ring on the new output";
  EXPECT_EQ(
      Events(DoubleLog(app_.Process())),
      (std::vector<std::string>{"init ok", "open a.wav", "open a.wav", "play a.wav on HDMI"}));
  const std::string bell = "定时\t1\t" + at_a + "\ta.wav\t已播放";
  ASSERT_TRUE(Recorded(bell, 5000));
  const std::vector<std::string> events = RecordEvents();
  const auto output = std::find(events.begin(), events.end(), "设备\tHDMI");
  EXPECT_LT(output, std::find(events.begin(), events.end(), bell)) << "no output line before it";
  EXPECT_TRUE(app_.CloseConfirmed());
}

// The first line of the log naming `event` (paths cut as Events does); null when none.
const DeviceEvent* FindEvent(const std::vector<DeviceEvent>& log, const std::string& event) {
  const std::vector<std::string> events = Events(log);
  const auto at = std::find(events.begin(), events.end(), event);
  return at == events.end() ? nullptr : &log[static_cast<size_t>(at - events.begin())];
}

// The first bell after start-up is opened ahead of its second like every later one, not at it.
TEST_F(DeviceTest, FirstBellAfterStartUpIsOpenedAhead) {
  UseDouble("");
  WriteConfig(MakeConfig({{TimeTextIn(12), "a.wav", "0"}}, "1"));
  Launch();
  ASSERT_TRUE(Logged("play a.wav", 20000)) << "the bell did not sound";
  const std::vector<DeviceEvent> log = DoubleLog(app_.Process());
  const DeviceEvent* open = FindEvent(log, "open a.wav");
  const DeviceEvent* play = FindEvent(log, "play a.wav");
  ASSERT_TRUE(open && play);
  EXPECT_GE(play->tick - open->tick, 1000u) << "opened at its second, not ahead";
  EXPECT_TRUE(app_.CloseConfirmed());
}

// A file whose open hangs for 25 s, played by hand and then due: the click answers at once, the
// window answers while it hangs, the bells due meanwhile sound on their seconds, the hanging
// file is not opened again for its own row, and it never sounds late over the later bells.
TEST_F(DeviceTest, StalledOpenDelaysNoOtherBellAndTheWindowAnswers) {
  UseDouble("stall_ms=25000\r\nplay_ms=500\r\n");
  PutMusic({"stall.wav"});
  WriteConfig(MakeConfig({{TimeTextIn(14), "stall.wav", "0"},
                          {TimeTextIn(18), "a.wav", "0"},
                          {TimeTextIn(21), "b.wav", "0"}},
                         "3"));
  Launch();
  const std::vector<std::string> items = app_.Music().Items();
  const auto at = std::find(items.begin(), items.end(), "stall.wav");
  ASSERT_NE(at, items.end());
  ASSERT_TRUE(app_.Music().Select(static_cast<int>(at - items.begin())));
  const ULONGLONG click = GetTickCount64();
  ASSERT_TRUE(app_.Press(kPlayButton));
  EXPECT_LT(GetTickCount64() - click, 1000u) << "the click waited for the open";
  ASSERT_TRUE(Logged("stall stall.wav", 3000)) << "the file played by hand was not opened";
  Sleep(1500);  // past the watcher's first look
  EXPECT_EQ(PlayCaption(), "停止播放") << "the caption went back while the file still opened";
  // Its row comes due while the open hangs: the row becomes current all the same.
  EXPECT_TRUE(WaitUntil([&] { return app_.Timetable().SelectedRow() == 0; }, 20000));
  ASSERT_TRUE(Logged("play a.wav", 10000)) << "the bell after the stalled one did not sound";
  EXPECT_EQ(app_.Timetable().SelectedRow(), 1);
  ASSERT_TRUE(Logged("play b.wav", 6000));
  const std::vector<DeviceEvent> log = DoubleLog(app_.Process());
  const DeviceEvent* stall = FindEvent(log, "stall stall.wav");
  const DeviceEvent* a = FindEvent(log, "play a.wav");
  const DeviceEvent* b = FindEvent(log, "play b.wav");
  ASSERT_TRUE(stall && a && b);
  // 3 s apart as due, both long before the hanging open ended.
  EXPECT_LT(b->tick - stall->tick, 25000u);
  EXPECT_GE(b->tick - a->tick, 2700u);
  EXPECT_LE(b->tick - a->tick, 3300u);
  // Wait for the hanging open to end: its stream is let go, never played.
  ASSERT_TRUE(Logged("open stall.wav", 30000));
  Sleep(1500);
  const std::vector<std::string> events = Events(DoubleLog(app_.Process()));
  EXPECT_EQ(std::count(events.begin(), events.end(), "stall stall.wav"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "play stall.wav"), 0);
  EXPECT_TRUE(app_.ShowsNoBox());
  EXPECT_TRUE(app_.CloseConfirmed());
}

}  // namespace
}  // namespace belvane::e2e
