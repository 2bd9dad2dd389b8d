// A due bell on the window's side, in process: it starts the row that holds its time now in the
// model.

#include <vector>

#include <gtest/gtest.h>

#include "app/bell/bell_start.h"
#include "app/schedule/clock_planner.h"
#include "app/schedule/passed_over.h"
#include "app/timetable/timetable_view.h"
#include "tests/app/wiring_support.h"

namespace belvane::testing {
namespace {

// The bell the clock found at `row` under `start_time`.
Bell DueBell(int row, const char* start_time) {
  Bell bell;
  bell.row = row;
  bell.start_time = start_time;
  bell.second = RingingSecond(start_time);
  return bell;
}

TEST_F(PlaybackTest, DueBellStartsTheRowThatHoldsItNow) {
  SharedTimetable published;
  Timetable timetable(&published);
  TimetableView rows(timetable, view_);
  rows.Load({{"08:30:00", "a.wav", "30600", false},
             {"09:00:00", "b.wav", "32400", true},
             {"8:30:00", "c.wav", "30600", false}});
  EXPECT_EQ(published.Current()->RowCount(), 3);
  EXPECT_EQ(published.FirstRowAt("09:00:00"), 1);

  // The row's stored name plays, not the marker the cell shows; the started bell carries its
  // row, file and outcome to the record.
  std::vector<Bell> started;
  const auto keep = [&](const Bell& bell) { started.push_back(bell); };
  EXPECT_EQ(StartDueBell(DueBell(1, "09:00:00"), timetable, view_, "C:\\p\\mp3", playback_, keep),
            1);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].path, TextValue("C:\\p\\mp3\\b.wav"));
  EXPECT_EQ(started[0].music_name, TextValue("b.wav"));
  EXPECT_EQ(started[0].second, 32400);
  EXPECT_TRUE(started[0].outcome.facts.playing);
  EXPECT_EQ(view_.SelectionMark(), 1);
  EXPECT_TRUE(view_.IsRowSelected(1));
  EXPECT_EQ(FakeAudio::calls, (Strings{"Create C:\\p\\mp3\\b.wav", "Play"}));
  EXPECT_EQ(Caption(), kStopCaption);

  // A row inserted above moves the due row down; the model and the clock's snapshot follow.
  rows.Insert(0, {"07:00:00", "z.wav", "25200", false});
  EXPECT_EQ(published.FirstRowAt("08:30:00"), 1);
  FakeAudio::calls.clear();
  EXPECT_EQ(StartDueBell(DueBell(0, "08:30:00"), timetable, view_, "C:\\p\\mp3", playback_, keep),
            1);
  EXPECT_EQ(FakeAudio::calls, (Strings{"Stop", "Create C:\\p\\mp3\\a.wav", "Play"}));
  EXPECT_EQ(started.back().row, 1);

  // Deleted since the clock looked: nothing starts. "8:30:00" never equals a clock text.
  rows.Delete(1);
  FakeAudio::calls.clear();
  EXPECT_EQ(StartDueBell(DueBell(1, "08:30:00"), timetable, view_, "C:\\p\\mp3", playback_, keep),
            -1);
  EXPECT_TRUE(FakeAudio::calls.empty());
  EXPECT_EQ(published.FirstRowAt("8:30:00"), 2);
  EXPECT_EQ(published.FirstRowAt(ClockText(30600)), -1);
}

}  // namespace
}  // namespace belvane::testing
