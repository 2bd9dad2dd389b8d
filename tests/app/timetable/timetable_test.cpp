// The timetable model as plain data: no window, no player.

#include "app/timetable/timetable.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/timetable_file.h"
#include "app/timetable/timetable_rules.h"
#include "tests/app/test_support.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

TimetableEntry Entry(const char* time, const char* seconds, const char* music = "m.mp3") {
  return {time, music, seconds, false};
}

Strings StartTimes(const Timetable& timetable) {
  Strings texts;
  for (const TimetableEntry& entry : timetable.Rows()) texts.push_back(entry.start_time.Bytes());
  return texts;
}

// Adds as the editing rules do; returns the row or kTimeTaken.
int Add(Timetable& timetable, const char* time) {
  const int position = timetable.InsertPosition(TimeTextToSeconds(time));
  if (position == kTimeTaken) return kTimeTaken;
  return timetable.Insert(position, NewTimetableEntry(time, "x.mp3"));
}

TEST(TimetableTest, AddsInSecondsOrderAndRefusesATakenSecond) {
  Timetable timetable;
  EXPECT_EQ(Add(timetable, "08:30:00"), 0);
  EXPECT_EQ(Add(timetable, "09:00:00"), 1);
  EXPECT_EQ(Add(timetable, "08:45:00"), 1);
  EXPECT_EQ(Add(timetable, "00:00:00"), 0);
  EXPECT_EQ(Add(timetable, "08:45:00"), kTimeTaken);
  EXPECT_EQ(Add(timetable, "8:45:0"), kTimeTaken) << "the same second, written otherwise";
  EXPECT_EQ(StartTimes(timetable), (Strings{"00:00:00", "08:30:00", "08:45:00", "09:00:00"}));
  EXPECT_EQ(timetable.Row(2).seconds, TextValue("31500"));
  EXPECT_EQ(timetable.Row(2).music_name, TextValue("x.mp3"));
}

TEST(TimetableTest, SecondsTextsOrderAsNumbersAndStayAsLoaded) {
  Timetable timetable;
  // Empty and non-numeric texts count as 0; a long text is kept whole.
  const std::string long_text = "30600" + std::string(400, ' ') + "tail";
  timetable.Load(
      {Entry("a", ""), Entry("b", "abc"), Entry("c", long_text.c_str()), Entry("d", "32400")});
  EXPECT_EQ(timetable.InsertPosition(0), kTimeTaken) << "an empty seconds text is 0";
  EXPECT_EQ(timetable.InsertPosition(30600), kTimeTaken) << "a number then text reads as it";
  EXPECT_EQ(timetable.InsertPosition(31000), 3);
  EXPECT_EQ(timetable.InsertPosition(40000), 4);
  EXPECT_EQ(timetable.Row(2).seconds.Bytes(), long_text);

  MemoryProfileStore store;
  ASSERT_TRUE(SaveTimetableTo(timetable, store));
  EXPECT_EQ(store.Get("remark", "3"), long_text);
  EXPECT_EQ(store.Get("remark", "1"), "");
  EXPECT_EQ(store.Get("total", "n"), "4");
}

TEST(TimetableTest, ScansFromTheBottomInUnsortedRows) {
  Timetable timetable;
  timetable.Load({Entry("x", "40000"), Entry("y", "30000"), Entry("z", "50000")});
  EXPECT_EQ(timetable.InsertPosition(35000), 2);
  EXPECT_EQ(timetable.InsertPosition(40000), 2) << "a duplicate above a smaller row is not met";
}

TEST(TimetableTest, InsertAndDeleteOutsideTheRowsBehaveLikeTheListView) {
  Timetable timetable;
  EXPECT_EQ(timetable.Insert(5, Entry("01:00:00", "3600")), 0);  // beyond the end appends
  EXPECT_EQ(timetable.Insert(-1, Entry("02:00:00", "7200")), 1);
  EXPECT_FALSE(timetable.Delete(2));
  EXPECT_FALSE(timetable.Delete(-1));
  EXPECT_EQ(timetable.Count(), 2);
  EXPECT_EQ(timetable.Row(2).start_time, TextValue());
}

TEST(TimetableTest, MissingFlagAndBareNameRideWithTheirRowAndSaveBare) {
  Timetable timetable;
  timetable.Load({{"08:00:00", "gone.m4a", "28800", true}, {"09:00:00", "here.m4a", "32400"}});
  Add(timetable, "07:00:00");
  ASSERT_TRUE(timetable.Delete(2));
  EXPECT_TRUE(timetable.Row(1).music_missing);
  MemoryProfileStore store;
  ASSERT_TRUE(SaveTimetableTo(timetable, store));
  EXPECT_EQ(store.Get("music", "2"), "gone.m4a") << "the marker is never saved";
  EXPECT_EQ(store.Get("time", "1"), "07:00:00");
}

TEST(TimetableTest, ReadsTheFileIntoEntriesWithoutAWindow) {
  MemoryProfileStore store;
  store.Set("time", "1", "09:00:00");
  store.Set("music", "1", "b.mp3");
  store.Set("remark", "1", "32400");
  store.Set("total", "n", "2");
  const std::vector<TimetableEntry> entries =
      ReadTimetableFrom(store, [](const TextValue& name) { return name.View() != "b.mp3"; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].start_time, TextValue("09:00:00"));
  EXPECT_TRUE(entries[0].music_missing);
  EXPECT_EQ(entries[1].start_time, TextValue()) << "a key the file lacks reads empty";
}

TEST(TimetableTest, PublishesAFreshSnapshotOnEveryChange) {
  SharedTimetable shared;
  Timetable timetable(&shared);
  timetable.Load({Entry("08:00:00", "28800")});
  EXPECT_EQ(shared.Current(), timetable.Snapshot());
  const auto loaded = shared.Current();
  Add(timetable, "07:00:00");
  EXPECT_EQ(shared.FirstRowAt("08:00:00"), 1);
  EXPECT_EQ(loaded->FirstRowAt("08:00:00"), 0) << "the clock's older snapshot is unchanged";
  timetable.Delete(0);
  EXPECT_EQ(shared.FirstRowAt("08:00:00"), 0);
  EXPECT_EQ(shared.Current()->Row(0).music_name, TextValue("m.mp3"));
  EXPECT_EQ(Add(timetable, "08:00:00"), kTimeTaken);
  EXPECT_EQ(shared.Current(), timetable.Snapshot()) << "a refused add publishes nothing new";
}

// Random loads, inserts and deletes over a few texts (so duplicates are common), checked after
// every step against a plain vector searched from the top.
TEST(TimetableTest, LookupStaysInStepWithTheRowsUnderRandomEdits) {
  std::mt19937 random(20261207);
  std::vector<std::string> pool;
  for (int i = 0; i < 12; ++i) pool.push_back(ClockText(28800 + i));
  pool.push_back("8:00:00");
  auto pick = [&] { return pool[random() % pool.size()]; };

  SharedTimetable shared;
  Timetable timetable(&shared);
  std::vector<std::string> naive;
  for (int step = 0; step < 1500; ++step) {
    const int what = static_cast<int>(random() % 100);
    const int size = static_cast<int>(naive.size());
    if (what < 3) {
      std::vector<TimetableEntry> entries;
      naive.clear();
      for (int n = static_cast<int>(random() % 30); n > 0; --n) {
        naive.push_back(pick());
        entries.push_back({naive.back(), "m", "0"});
      }
      timetable.Load(std::move(entries));
    } else if (what < 60) {
      const int row = static_cast<int>(random() % (size + 1));
      const std::string text = pick();
      naive.insert(naive.begin() + row, text);
      ASSERT_EQ(timetable.Insert(row, {text, "m", "0"}), row);
    } else {
      if (size == 0) continue;
      const int row = static_cast<int>(random() % size);
      naive.erase(naive.begin() + row);
      ASSERT_TRUE(timetable.Delete(row));
    }
    ASSERT_EQ(StartTimes(timetable), naive) << "step " << step;
    for (const std::string& text : pool) {
      int first = -1;
      for (std::size_t r = 0; r < naive.size() && first < 0; ++r)
        if (naive[r] == text) first = static_cast<int>(r);
      ASSERT_EQ(timetable.FirstRowAt(text), first) << "step " << step << " text " << text;
      ASSERT_EQ(shared.FirstRowAt(text), first) << "step " << step << " text " << text;
    }
  }
}

}  // namespace
}  // namespace belvane::testing
