#include "app/timetable/timetable_library.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/gbk_save.h"
#include "app/timetable_choice.h"
#include "tests/app/test_support.h"

namespace belvane {
namespace {

std::string Repeat(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

TEST(TimetableNames, NewNamesAreRefusedOrAcceptedAsTheFileSystemAndThePlanNeed) {
  const std::vector<std::string> names = {"常规", "Exam", "考试"};
  struct Case {
    std::string name;
    bool accepted;
    std::string renaming;
  };
  const Case cases[] = {
      {"", false, {}},
      {Repeat("课", 33), false, {}},
      {Repeat("课", 32), true, {}},
      {Repeat("a", 33), false, {}},
      {"常规", false, {}},
      {"停铃", false, {}},
      {"停铃日", false, {}},  // the plan would read "停铃日" as no bells
      {"按周五", false, {}},  // and this as a make-up day
      {"按周", false, {}},
      {"按时", true, {}},
      {"a\\b", false, {}},
      {"a:b", false, {}},
      {"CON", false, {}},
      {"com1.txt", false, {}},
      {"a.", false, {}},
      {"a ", false, {}},
      {"\x81", false, {}},      // a lead byte alone
      {"\xD5\x5C", true, {}},   // 誠: its second byte is "\"
      {"\x81\x61", true, {}},   // 乤: its second byte is "a", not a case of 丄 (81 41)
      {"期中", true, {}},       // not there yet
      {"考试", false, {}},      // there already
      {"EXAM", false, {}},      // the same file, in other letters' case
      {"EXAM", true, "Exam"},   // a timetable renamed to its own name in other case
      {"考试", false, "Exam"},  // renaming onto another
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NewTimetableNameProblem(c.name, names, c.renaming).empty(), c.accepted)
        << c.name << " renaming " << c.renaming;
  }
  EXPECT_EQ(NewTimetableNameProblem("exam", names), "已有同名课表“Exam”。");
  EXPECT_EQ(NewTimetableNameProblem("\x81\x41", {"常规", "\x81\x61"}), "");
  EXPECT_EQ(NewTimetableNameProblem("按周五", names),
            "课表名称不能以“停铃”或“按周”开头：日历中它们另有含义。");
}

// The plan names a timetable as the file system names its file: ASCII letters without case, a
// double-byte character exactly (its second byte may look like a letter). A line naming the
// file in other case is read with the file's own name, so it rings, renames and deletes with it.
TEST(TimetableNames, ThePlanFindsTimetableFilesAsTheFileSystemDoes) {
  testing::ScratchFolder folder;
  folder.MakeFolder("课表");
  for (const char* name : {"exam", "考试", "\x81\x61"})
    folder.Write(std::string("课表\\") + name + ".ini", "[total]\r\nn=0\r\n");
  const struct {
    const char* written;
    const char* read;  // empty: the line cannot be read
  } cases[] = {
      {"exam", "exam"},         {"Exam", "exam"}, {"EXAM", "exam"}, {"考试", "考试"},
      {"\x81\x61", "\x81\x61"}, {"\x81\x41", ""}, {"exams", ""},    {"常规", "常规"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    folder.Write("Belvane日历.ini", std::string("[每周]\r\n周一=") + c.written + "\r\n");
    const PlanFileRead read = ReadPlanFile(folder.Path());
    EXPECT_TRUE(read.exists);
    EXPECT_EQ(read.problem, "");
    const std::optional<PlanValue>& monday = read.plan.weekly.days[0];
    EXPECT_EQ(monday ? monday->name : std::string(), c.read);
  }
}

// A plan held open by another program for a moment is waited for, not read as absent (which
// would ring 常规 on a holiday).
TEST(TimetableNames, APlanHeldForAMomentIsWaitedFor) {
  testing::ScratchFolder folder;
  const std::string path = folder.Write("Belvane日历.ini", "[日期]\r\n2027-01-01=停铃 元旦\r\n");
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(300);
    CloseHandle(held);
  });
  const PlanFileRead read = ReadPlanFile(folder.Path());
  release.join();
  EXPECT_EQ(read.plan.dates.size(), 1u);
  EXPECT_EQ(read.problem, "");
}

// A file a save would replace, as Notepad saved it: UTF-8 holding a character GBK lacks refuses
// the save with a box naming the character, its line and the file; what GBK holds may be saved.
TEST(SavingAsGbk, AFileHoldingACharacterGbkLacksIsRefusedWithABox) {
  testing::ScratchFolder folder;
  testing::MessageBoxRecorder boxes;
  const std::u8string lacking = u8"[每周]\r\n周一=常规 ♫\r\n";
  const std::string path =
      folder.Write("Belvane日历.ini", std::string(lacking.begin(), lacking.end()));
  EXPECT_FALSE(MaySaveAsGbk(nullptr, path));
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_NE(boxes.requests[0].text.Bytes().find("第 2 行的字符 U+266B"), std::string::npos);
  EXPECT_NE(boxes.requests[0].text.Bytes().find(path), std::string::npos);
  const std::u8string held = u8"[每周]\r\n周一=常规\r\n";
  folder.Write("Belvane日历.ini", std::string(held.begin(), held.end()));
  EXPECT_TRUE(MaySaveAsGbk(nullptr, path));
  EXPECT_TRUE(MaySaveAsGbk(nullptr, folder.Path() + "\\none.ini"));
  EXPECT_EQ(boxes.requests.size(), 1u);
}

TEST(TimetableChoiceItems, ListTheTimetablesThenNewThenTheShownOnesActions) {
  using Kind = TimetableChoiceItem::Kind;
  const TimetableChoiceItem create{Kind::kCreate, "新建课表…", ""};
  const auto timetable = [](const std::string& name) {
    return TimetableChoiceItem{Kind::kTimetable, name, name};
  };
  // The items before the two CSV ones, which come last for whichever timetable is shown.
  const auto TimetableChoiceItems = [](const std::vector<std::string>& names, std::string shown) {
    std::vector<TimetableChoiceItem> items = belvane::TimetableChoiceItems(names, shown);
    EXPECT_EQ(std::vector(items.end() - 2, items.end()),
              (std::vector<TimetableChoiceItem>{{Kind::kExportCsv, "导出为 CSV…", shown},
                                                {Kind::kImportCsv, "从 CSV 导入…", shown}}));
    items.resize(items.size() - 2);
    return items;
  };
  EXPECT_EQ(TimetableChoiceItems({"常规", "期中", "考试"}, "常规"),
            (std::vector<TimetableChoiceItem>{timetable("常规"), timetable("期中"),
                                              timetable("考试"), create}));
  EXPECT_EQ(TimetableChoiceItems({"常规", "期中", "考试"}, "考试"),
            (std::vector<TimetableChoiceItem>{timetable("常规"),
                                              timetable("期中"),
                                              timetable("考试"),
                                              create,
                                              {Kind::kRename, "重命名“考试”…", "考试"},
                                              {Kind::kDelete, "删除“考试”…", "考试"}}));
  // The shown one's file has gone: it stays in its place until another is shown, so the
  // drop-down still says what the list shows.
  EXPECT_EQ(TimetableChoiceItems({"常规", "A", "考试"}, "B"),
            (std::vector<TimetableChoiceItem>{timetable("常规"),
                                              timetable("A"),
                                              timetable("B"),
                                              timetable("考试"),
                                              create,
                                              {Kind::kRename, "重命名“B”…", "B"},
                                              {Kind::kDelete, "删除“B”…", "B"}}));
  // A followed campus folder manages them: the timetables can be shown, nothing else.
  EXPECT_EQ(belvane::TimetableChoiceItems({"常规", "考试"}, "考试", true),
            (std::vector<TimetableChoiceItem>{timetable("常规"), timetable("考试")}));
}

}  // namespace
}  // namespace belvane
