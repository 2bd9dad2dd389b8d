// The per-value store against real INI files, the way the program loads and saves its timetable.

#include "app/timetable/profile_store.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/default_config.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable_handlers.h"
#include "app/timetable/timetable_rules.h"
#include "tests/app/test_support.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

using ProfileFileTest = ListViewTest;

TEST_F(ProfileFileTest, LoadsTheDefaultTimetableWithMarkersWhenTheFilesAreMissing) {
  ScratchFolder folder;
  PerValueProfileStore store(folder.Write("t.ini", std::string(DefaultConfigBytes())));
  LoadTimetableFrom(
      store, [](const TextValue&) { return false; }, rows_);
  ASSERT_EQ(rows_.Count(), 7);
  EXPECT_EQ(Column(0), (Strings{"1", "2", "3", "4", "5", "6", "7"}));
  EXPECT_EQ(Column(1)[0], "08:30:00");
  EXPECT_EQ(Column(2)[0], std::string(kMissingFileMarker) + "1.组织考生进入考场.m4a");
  EXPECT_EQ(Column(3)[6], "39600");
}

TEST_F(ProfileFileTest, SavesEveryValueAndKeepsOtherSections) {
  ScratchFolder folder;
  const std::string path = folder.Write("t.ini", "[other]\r\nx=1\r\n[time]\r\n9=keep\r\n");
  rows_.Insert(0, {"08:00:00", "a b.mp3", "28800", false});
  rows_.Insert(1, {"09:00:00", "", "32400", false});
  PerValueProfileStore store(path);
  ASSERT_TRUE(SaveTimetableTo(model_, store));
  const std::vector<TextValue> back = store.ReadValues({{"time", "1"},
                                                        {"music", "1"},
                                                        {"music", "2"},
                                                        {"total", "n"},
                                                        {"other", "x"},
                                                        {"time", "9"}});
  EXPECT_EQ(back, (std::vector<TextValue>{"08:00:00", "a b.mp3", "", "2", "1", "keep"}));
  // An empty cell is written as an empty value: key, "=" and nothing after it.
  EXPECT_NE(folder.Read("t.ini").find("2=\r\n"), std::string::npos);
}

TEST_F(ProfileFileTest, ALockedFileFailsTheSaveWithAMessageAndKeepsItsBytes) {
  ScratchFolder folder;
  const std::string before = std::string(DefaultConfigBytes());
  const std::string path = folder.Write("t.ini", before);
  rows_.Insert(0, {"08:00:00", "a.mp3", "28800", false});

  // Opened by someone else with no sharing: every profile write fails. (A read-only attribute
  // would not do here: the tests may run with rights that ignore it.)
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  PerValueProfileStore store(path);
  MessageBoxRecorder boxes;
  EXPECT_FALSE(SaveTimetableOrTell(model_, store));
  CloseHandle(lock);
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].caption, TextValue("错误"));
  EXPECT_EQ(folder.Read("t.ini"), before);
  EXPECT_EQ(rows_.Count(), 1);
}

}  // namespace
}  // namespace belvane::testing
