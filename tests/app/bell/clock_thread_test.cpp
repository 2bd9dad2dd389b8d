// The clock thread as the program wires it, in process: it hands what it finds to the
// user-interface thread as tasks and ends when asked.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/clock_thread.h"
#include "app/schedule/passed_over.h"
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

}  // namespace
}  // namespace belvane::testing
