// Loading and saving the timetable through a real list view: the file's rules, the marker that
// is shown but never saved, whole cells, failed saves, and the notifications of row changes.

#include "app/timetable/timetable_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/editing.h"
#include "app/timetable_handlers.h"
#include "app/timetable/timetable_rules.h"
#include "tests/app/test_support.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kMarker(kMissingFileMarker);

bool AllExist(const TextValue&) {
  return true;
}

class TimetableFileTest : public ListViewTest {
 protected:
  void SetRow(int key, const std::string& time, const std::string& music,
              const std::string& seconds) {
    const std::string k = std::to_string(key);
    store_.Set("time", k, time);
    store_.Set("music", k, music);
    store_.Set("remark", k, seconds);
  }
  void Load(const MusicExistsTest& exists = AllExist) { LoadTimetableFrom(store_, exists, rows_); }

  MemoryProfileStore store_;
};

TEST_F(TimetableFileTest, LoadsRowsInKeyOrderWithoutSorting) {
  SetRow(1, "09:00:00", "b.mp3", "32400");
  SetRow(2, "08:00:00", "a.mp3", "28800");
  store_.Set("total", "n", "2");
  Load();
  EXPECT_EQ(Column(0), (Strings{"1", "2"}));
  EXPECT_EQ(Column(1), (Strings{"09:00:00", "08:00:00"}));
  EXPECT_EQ(Column(2), (Strings{"b.mp3", "a.mp3"}));
  EXPECT_EQ(Column(3), (Strings{"32400", "28800"}));
}

TEST_F(TimetableFileTest, RowCountDecidesHowManyRowsLoad) {
  SetRow(1, "08:00:00", "a.mp3", "28800");
  SetRow(2, "09:00:00", "b.mp3", "32400");
  for (const char* junk : {"0", "abc", "-2", ""}) {
    store_.Set("total", "n", junk);
    Load();
    EXPECT_EQ(rows_.Count(), 0) << "count " << junk;
  }
  // Three rows with only keys 1 and 2: the third is created with empty cells.
  store_.Set("total", "n", "3");
  Load();
  ASSERT_EQ(rows_.Count(), 3);
  EXPECT_EQ(Column(0), (Strings{"1", "2", "3"}));
  EXPECT_EQ(Column(1)[2], "");
  EXPECT_EQ(Column(3)[2], "");
  // Keys above n are ignored.
  store_.Set("total", "n", "1");
  Load();
  EXPECT_EQ(Column(2), (Strings{"a.mp3"}));
}

TEST_F(TimetableFileTest, AHugeRowCountReadsAtMostOneRowPerSecondOfTheDay) {
  store_.Set("total", "n", "2147483647");
  Load();
  EXPECT_EQ(store_.keys_read, 1u + 3u * kMaxTimetableRows);
  EXPECT_EQ(rows_.Count(), kMaxTimetableRows);
}

TEST_F(TimetableFileTest, MarkerIsShownButTheBareNameIsSaved) {
  SetRow(1, "08:00:00", "gone.m4a", "28800");
  SetRow(2, "09:00:00", "here.m4a", "32400");
  store_.Set("total", "n", "2");
  Load([](const TextValue& name) { return name.View() == "here.m4a"; });
  EXPECT_EQ(Column(2), (Strings{kMarker + "gone.m4a", "here.m4a"}));
  EXPECT_TRUE(model_.Row(0).music_missing);
  EXPECT_FALSE(model_.Row(1).music_missing);

  // The marker rides with its row through inserts and deletes.
  ASSERT_EQ(AddTimetableEntry(rows_, "07:00:00", "new.m4a"), 0);
  EXPECT_EQ(Column(2), (Strings{"new.m4a", kMarker + "gone.m4a", "here.m4a"}));
  DeleteTimetableRow(rows_, 0);
  EXPECT_TRUE(model_.Row(0).music_missing);
  EXPECT_EQ(model_.Row(0).music_name, TextValue("gone.m4a"));
  EXPECT_EQ(Column(2), (Strings{kMarker + "gone.m4a", "here.m4a"}));

  ASSERT_TRUE(SaveTimetableTo(model_, store_));
  EXPECT_EQ(store_.Get("music", "1"), "gone.m4a");
  EXPECT_EQ(store_.Get("music", "2"), "here.m4a");
}

TEST_F(TimetableFileTest, AHandAddedNameThatLooksMarkedIsSavedAsItStands) {
  ASSERT_EQ(AddTimetableEntry(rows_, "07:00:00", TextValue(kMarker + "x.mp3")), 0);
  EXPECT_FALSE(model_.Row(0).music_missing);
  ASSERT_TRUE(SaveTimetableTo(model_, store_));
  EXPECT_EQ(store_.Get("music", "1"), kMarker + "x.mp3");
}

TEST_F(TimetableFileTest, SavesLongCellsWhole) {
  const std::string long_name = std::string(300, 'n') + ".mp3";
  SetRow(1, "08:00:00", long_name, "28800");
  store_.Set("total", "n", "1");
  Load();
  ASSERT_TRUE(SaveTimetableTo(model_, store_));
  EXPECT_EQ(store_.Get("music", "1"), long_name);
}

TEST_F(TimetableFileTest, SavingFewerRowsLeavesHigherKeysAndWritesTheCount) {
  for (int k = 1; k <= 7; ++k) SetRow(k, "0" + std::to_string(k) + ":00:00", "m.mp3", "1");
  store_.Set("total", "n", "7");
  Load();
  DeleteTimetableRow(rows_, 6);
  DeleteTimetableRow(rows_, 0);
  ASSERT_TRUE(SaveTimetableTo(model_, store_));
  EXPECT_EQ(store_.Get("total", "n"), "5");
  EXPECT_EQ(store_.Get("time", "1"), "02:00:00");
  EXPECT_EQ(store_.Get("time", "5"), "06:00:00");
  EXPECT_EQ(store_.Get("time", "6"), "06:00:00");  // key 6 left as the old file had it
  EXPECT_EQ(store_.Get("time", "7"), "07:00:00");

  while (rows_.Count() > 0) DeleteTimetableRow(rows_, 0);
  ASSERT_TRUE(SaveTimetableTo(model_, store_));
  EXPECT_EQ(store_.Get("total", "n"), "0");
  EXPECT_TRUE(store_.Has("time", "1"));
}

TEST_F(TimetableFileTest, AFailedSaveIsToldAndKeepsTheRows) {
  SetRow(1, "08:00:00", "a.mp3", "28800");
  SetRow(2, "09:00:00", "b.mp3", "32400");
  store_.Set("total", "n", "2");
  Load();
  store_.Set("total", "n", "old");
  store_.fail_from_write = 4;  // the second row's time

  MessageBoxRecorder boxes;
  EXPECT_FALSE(SaveTimetableOrTell(model_, store_));
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].caption, TextValue("错误"));
  EXPECT_EQ(boxes.requests[0].text, TextValue(kSaveFailedText));
  EXPECT_EQ(rows_.Count(), 2);
  EXPECT_EQ(store_.writes, 4);                 // stopped at the failure...
  EXPECT_EQ(store_.Get("total", "n"), "old");  // ...so no count is written over unwritten rows

  store_.fail_from_write = -1;
  EXPECT_TRUE(SaveTimetableOrTell(model_, store_));
  EXPECT_EQ(boxes.requests.size(), 1u);  // success stays silent
}

// Every change reaches the model and the list view together, and the model's snapshot follows.
TEST_F(TimetableFileTest, ModelAndListViewChangeTogether) {
  SetRow(1, "08:00:00", "a.mp3", "28800");
  store_.Set("total", "n", "1");
  Load();
  const std::shared_ptr<const TimetableSnapshot> loaded = model_.Snapshot();
  AddTimetableEntry(rows_, "09:00:00", "b.mp3");
  {
    MessageBoxRecorder boxes;
    AddTimetableEntry(rows_, "09:00:00", "c.mp3");  // taken: no change anywhere
  }
  DeleteTimetableRow(rows_, -1);  // nothing to delete
  EXPECT_EQ(Column(1), (Strings{"08:00:00", "09:00:00"}));
  EXPECT_EQ(Column(2), (Strings{"a.mp3", "b.mp3"}));
  ASSERT_EQ(model_.Count(), 2);
  EXPECT_EQ(model_.Row(1).music_name, TextValue("b.mp3"));
  EXPECT_EQ(model_.FirstRowAt("09:00:00"), 1);
  EXPECT_EQ(loaded->RowCount(), 1) << "a snapshot taken earlier never changes";
  DeleteTimetableRow(rows_, 0);
  EXPECT_EQ(Column(0), (Strings{"1"}));
  EXPECT_EQ(model_.FirstRowAt("09:00:00"), 0);
  EXPECT_EQ(model_.FirstRowAt("08:00:00"), -1);
}

}  // namespace
}  // namespace belvane::testing
