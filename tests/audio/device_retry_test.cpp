// When the player tries the output device again: the decision alone, and the thread that runs
// the background half.

#include "audio/device_retry.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/bass/bass_errors.h"

namespace belvane {
namespace {

TEST(DeviceRetryPlan, RetriesOnlyWhileTheLastAttemptFailed) {
  DeviceRetryPlan plan;
  // Start-up makes the first attempt; nothing is retried before it.
  EXPECT_FALSE(plan.RetryBeforePlayback());
  EXPECT_EQ(plan.BackgroundDueInMs(0), -1);

  plan.Attempted(false, 1000);
  EXPECT_TRUE(plan.RetryBeforePlayback());
  EXPECT_EQ(plan.BackgroundDueInMs(1000), 10000);
  EXPECT_EQ(plan.BackgroundDueInMs(10999), 1);
  EXPECT_EQ(plan.BackgroundDueInMs(11000), 0);
  EXPECT_EQ(plan.BackgroundDueInMs(500000), 0);  // long overdue is simply due

  // A retry before a playback also counts: the next background one is 10 s after it.
  plan.Attempted(false, 7000);
  EXPECT_EQ(plan.BackgroundDueInMs(11000), 6000);

  plan.Attempted(true, 8000);
  EXPECT_FALSE(plan.RetryBeforePlayback());
  EXPECT_EQ(plan.BackgroundDueInMs(100000), -1);
}

// The record gets one line when the device goes and one when it is back, never one per retry.
TEST(DeviceRetryPlan, TellsLostAndBackOnceEachWay) {
  using Change = DeviceRetryPlan::Change;
  DeviceRetryPlan found;
  EXPECT_EQ(found.Attempted(true, 0), Change::kNone);  // there from the start: nothing to tell
  EXPECT_EQ(found.PlaybackLostDevice(), Change::kLost);
  EXPECT_EQ(found.PlaybackLostDevice(), Change::kNone);
  EXPECT_EQ(found.Attempted(false, 10), Change::kNone);  // the retry after the loss
  EXPECT_EQ(found.Attempted(false, 10010), Change::kNone);
  EXPECT_EQ(found.Attempted(true, 20010), Change::kBack);
  EXPECT_EQ(found.Attempted(true, 20020), Change::kNone);
  EXPECT_EQ(found.PlaybackLostDevice(), Change::kLost);
  EXPECT_EQ(found.Attempted(true, 20030), Change::kBack);  // back at once on a new default
  // A stream's device failed, and the next start found a working one without a new output.
  EXPECT_EQ(found.PlaybackStarted(), Change::kNone);
  EXPECT_EQ(found.PlaybackLostDevice(), Change::kLost);
  EXPECT_EQ(found.PlaybackStarted(), Change::kBack);
  EXPECT_EQ(found.PlaybackStarted(), Change::kNone);

  DeviceRetryPlan missing;  // none at start-up
  EXPECT_EQ(missing.Attempted(false, 0), Change::kLost);
  EXPECT_EQ(missing.Attempted(false, 10000), Change::kNone);
  EXPECT_EQ(missing.PlaybackStarted(), Change::kNone);  // nothing initialised: not back
  EXPECT_EQ(missing.Attempted(true, 20000), Change::kBack);
}

TEST(DeviceRetryPlan, DeviceErrorsAreTheOutputsNotTheFiles) {
  for (int e : {bass::kErrorDriver, bass::kErrorDevice, bass::kErrorStart, bass::kErrorInit}) {
    EXPECT_TRUE(IsDeviceError(e)) << e;
  }
  for (int e : {bass::kErrorOk, bass::kErrorFileOpen, bass::kErrorFormat, bass::kErrorHandle,
                bass::kErrorPosition, bass::kErrorFileForm, bass::kErrorCodec, bass::kErrorBusy,
                bass::kErrorMemory}) {
    EXPECT_FALSE(IsDeviceError(e)) << e;
  }
  // A watched stream: only a stopped one whose library blames the device.
  EXPECT_TRUE(EndedForTheDevice(0, bass::kErrorDriver));
  EXPECT_FALSE(EndedForTheDevice(0, bass::kErrorOk));       // played to its end
  EXPECT_FALSE(EndedForTheDevice(0, bass::kErrorHandle));   // freed meanwhile
  EXPECT_FALSE(EndedForTheDevice(1, bass::kErrorDriver));   // still playing
  EXPECT_FALSE(EndedForTheDevice(3, bass::kErrorDriver));   // paused
  EXPECT_FALSE(EndedForTheDevice(-2, bass::kErrorDriver));  // no stream
}

TEST(DeviceRetryThread, StepsAtOnceWhenDueAndWhenWokenAndStopsWhenGone) {
  std::atomic<int> steps{0};
  HANDLE stepped = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  {
    DeviceRetryThread thread([&](std::int64_t) -> std::int64_t {
      ++steps;
      SetEvent(stepped);
      return steps < 3 ? 0 : -1;  // due twice more at once, then only when woken
    });
    ASSERT_TRUE(thread.Running());
    ASSERT_EQ(WaitForSingleObject(stepped, 5000), WAIT_OBJECT_0);
    while (steps < 3) ASSERT_EQ(WaitForSingleObject(stepped, 5000), WAIT_OBJECT_0);
    Sleep(200);
    EXPECT_EQ(steps, 3);
    // Steps 2 and 3 may both have signalled before the loop waited: drop the spare signal.
    ResetEvent(stepped);
    thread.Wake();
    ASSERT_EQ(WaitForSingleObject(stepped, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(steps, 4);
  }
  // Gone: the thread was waited for, so no step can follow.
  Sleep(100);
  EXPECT_EQ(steps, 4);
  CloseHandle(stepped);
}

}  // namespace
}  // namespace belvane
