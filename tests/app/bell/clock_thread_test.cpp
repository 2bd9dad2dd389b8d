// The clock thread as the program wires it, in process: it hands what it finds to the
// user-interface thread as tasks and ends when asked, and a due bell starts the row that holds
// its time now in the model.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/clock_thread.h"
#include "app/schedule/clock_planner.h"
#include "app/schedule/passed_over.h"
#include "app/timetable/timetable_rules.h"
#include "app/timetable/timetable_view.h"
#include "tests/app/wiring_support.h"

namespace belvane::testing {
namespace {

// The handlers a ClockThread runs on the window's thread, recording into g_received.
ClockHandlers RecordingHandlers() {
  return {[](Bell bell) {
            if (!g_received) return;
            g_received->due.push_back(bell.start_time);
            g_received->rows.push_back(bell.row);
            g_received->threads.push_back(GetCurrentThreadId());
          },
          [](const std::string& clock_text) {
            if (!g_received) return;
            g_received->times.push_back(clock_text);
            g_received->threads.push_back(GetCurrentThreadId());
          },
          nullptr, nullptr, nullptr};
}

// A clock whose reading is set by the test; each reading is 990 ms into its second, so the
// loop's waits are short.
class SteppedClock final : public ClockSource {
 public:
  explicit SteppedClock(int second) : second_(second) {}
  ClockReading Now() override {
    // Two readings a cycle (one to plan, one to aim the wait): the second moves every cycle.
    const int s = second_ + calls_++ / 2;
    return ClockReading{s / 3600 % 24, s / 60 % 60, s % 60, 990};
  }

 private:
  int second_;
  std::atomic<int> calls_{0};
};

TEST(ClockThread, PostsTimesAndDueRowsThenEndsWhenStopped) {
  EnsureWindowLayer();
  RecordingWindow window;
  const int start = 8 * 3600 + 29 * 60 + 58;  // 08:29:58
  const std::vector<TextValue> texts = {"08:00:00", "08:30:00", "08:30:00"};
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(texts);
  SteppedClock clock(start);
  ClockThread thread(clock, index);

  ASSERT_TRUE(thread.Start(window.Handle(), RecordingHandlers()));
  EXPECT_TRUE(thread.Ringing());
  EXPECT_FALSE(thread.Start(window.Handle(), RecordingHandlers())) << "a clock starts once";
  ASSERT_TRUE(PumpUntil([&] { return window.received.times.size() >= 4; }, 5000));
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs));
  EXPECT_FALSE(thread.Ringing());
  EXPECT_FALSE(thread.Running());

  const Strings first = {window.received.times.begin(), window.received.times.begin() + 3};
  EXPECT_EQ(first, (Strings{"08:29:58", "08:29:59", "08:30:00"}));
  ASSERT_EQ(window.received.due, Strings{"08:30:00"});
  EXPECT_EQ(window.received.rows[0], 1) << "the upper of two rows at the same time";
  for (DWORD on : window.received.threads) EXPECT_EQ(on, GetCurrentThreadId());

  // Nothing more arrives once stopped.
  const std::size_t seen = window.received.times.size();
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(window.received.times.size(), seen);
}

TEST(ClockThread, StopsPromptlyInTheMiddleOfAWait) {
  RecordingWindow window;
  const TimetableSnapshot index;
  SystemClock clock;
  ClockThread thread(clock, index);
  ASSERT_TRUE(thread.Start(window.Handle(), RecordingHandlers()));
  PumpUntil([&] { return !window.received.times.empty(); }, 3000);
  const ULONGLONG before = GetTickCount64();
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs));
  EXPECT_LT(GetTickCount64() - before, 500u) << "the wait was not cut short";
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs)) << "stopping twice is harmless";
}

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
