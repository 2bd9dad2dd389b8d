#include "app/schedule/timetable_snapshot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace belvane {
namespace {

std::vector<TextValue> Texts(std::initializer_list<const char*> texts) {
  return std::vector<TextValue>(texts.begin(), texts.end());
}

std::shared_ptr<const TimetableSnapshot> Snapshot(std::initializer_list<const char*> texts) {
  return std::make_shared<TimetableSnapshot>(TimetableSnapshot::FromStartTimes(Texts(texts)));
}

TEST(TimetableSnapshotTest, SameTimeTwiceStartsTheUpperRow) {
  const auto snapshot = Snapshot({"07:00:00", "08:30:00", "08:30:00", "09:00:00"});
  EXPECT_EQ(snapshot->FirstRowAt("08:30:00"), 1);
  EXPECT_EQ(PlanCycle(30599, 30600, *snapshot).start_row, 1);
  EXPECT_EQ(snapshot->RowCount(), 4);
  EXPECT_EQ(snapshot->Row(3).start_time, TextValue("09:00:00"));
  EXPECT_EQ(snapshot->Row(4).start_time, TextValue()) << "out of range gives the empty row";
  EXPECT_EQ(snapshot->Row(-1).start_time, TextValue());
}

TEST(TimetableSnapshotTest, TextsMatchByteForByteOnly) {
  const auto snapshot = Snapshot({"8:30:00", "08:30:00 ", "\xB0\xCB:30:00", ""});
  EXPECT_EQ(snapshot->FirstRowAt("8:30:00"), 0);  // found by its own text...
  for (int last : {kNoSecondChecked, 30599, 30590}) {
    EXPECT_EQ(PlanCycle(last, 30600, *snapshot).start_row, -1);  // ...never by the clock's
  }
  EXPECT_EQ(snapshot->FirstRowAt("08:30:00"), -1);
  EXPECT_EQ(snapshot->FirstRowAt(""), 3);
  EXPECT_EQ(TimetableSnapshot().FirstRowAt(""), -1);
}

TEST(TimetableSnapshotTest, FullDayFindsEverySecond) {
  std::vector<TextValue> day;
  for (int s = 0; s < kSecondsPerDay; ++s) day.emplace_back(ClockText(s));
  const TimetableSnapshot snapshot = TimetableSnapshot::FromStartTimes(day);
  for (int s = 0; s < kSecondsPerDay; s += 997) EXPECT_EQ(snapshot.FirstRowAt(ClockText(s)), s);
  EXPECT_EQ(snapshot.FirstRowAt("23:59:59"), kSecondsPerDay - 1);
}

TEST(SharedTimetableTest, AHeldSnapshotOutlivesThePublishingOfTheNext) {
  SharedTimetable shared;
  ASSERT_NE(shared.Current(), nullptr) << "the empty timetable before the first publish";
  EXPECT_EQ(shared.FirstRowAt("08:00:00"), -1);

  shared.Publish(Snapshot({"08:00:00"}));
  const std::shared_ptr<const TimetableSnapshot> held = shared.Current();
  shared.Publish(Snapshot({"07:00:00", "08:00:00"}));
  EXPECT_EQ(held->FirstRowAt("08:00:00"), 0) << "a reader's snapshot never changes under it";
  EXPECT_EQ(shared.FirstRowAt("08:00:00"), 1);
  shared.Publish(nullptr);
  EXPECT_EQ(shared.Current()->RowCount(), 0);
}

// A reader on another thread always sees one whole snapshot: the row it finds holds the text it
// asked for, whatever the publisher does meanwhile.
TEST(SharedTimetableTest, ReadersSeeWholeSnapshotsWhilePublishing) {
  SharedTimetable shared;
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const auto snapshot = shared.Current();
      const int row = snapshot->FirstRowAt("08:00:00");
      if (row >= 0 && snapshot->Row(row).start_time.View() != "08:00:00") ++torn;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    std::vector<TextValue> texts(static_cast<std::size_t>(i % 7), TextValue("07:00:00"));
    texts.emplace_back("08:00:00");
    shared.Publish(std::make_shared<TimetableSnapshot>(TimetableSnapshot::FromStartTimes(texts)));
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace belvane
