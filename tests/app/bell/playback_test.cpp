// Playback as the program drives it: StartPlayback and its watcher drive the play button's
// state and caption, the play button follows its table, and the state itself as plain data. The
// player runs over a fake library that logs its calls.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/playback.h"
#include "app/bell/playback_state.h"
#include "tests/app/wiring_support.h"

namespace belvane::testing {
namespace {

TEST_F(PlaybackTest, StartPlaybackPlaysAndTheCaptionReturnsWhenTheFileEnds) {
  playback_.StartPlayback("C:\\x\\mp3\\a.wav");
  EXPECT_EQ(FakeAudio::calls, (Strings{"Create C:\\x\\mp3\\a.wav", "Play"}));
  EXPECT_EQ(Caption(), kStopCaption);
  EXPECT_EQ(playback_.State(), PlaybackState::kPlaying);
  EXPECT_TRUE(watcher_.Running());

  EXPECT_FALSE(EndedWithin(150)) << "ended while still playing";
  EXPECT_EQ(Caption(), kStopCaption);
  FakeAudio::active = 0;
  ASSERT_TRUE(EndedWithin(2000));
  EXPECT_EQ(Caption(), kPlayCaption);
  EXPECT_TRUE(PumpUntil([&] { return !watcher_.Running(); }, 1000)) << "the watcher went on";
}

TEST_F(PlaybackTest, AFileThatCannotBeOpenedPutsTheCaptionBack) {
  playback_.StartPlayback("C:\\x\\mp3\\missing.wav");
  EXPECT_EQ(Caption(), kStopCaption);
  EXPECT_EQ(player_.State(), -2);
  ASSERT_TRUE(EndedWithin(2000)) << "a watcher over no stream never ended";
  EXPECT_EQ(Caption(), kPlayCaption);
}

// A start whose file is still opening elsewhere holds no stream yet: not an end.
TEST_F(PlaybackTest, AFileStillOpeningKeepsTheStopCaptionUntilItsOpenFails) {
  std::atomic<bool> opening{true};
  watcher_.SetOpeningCheck([&] { return opening.load(); });
  playback_.StartPlayback("C:\\x\\mp3\\missing.wav");
  EXPECT_EQ(player_.State(), -2);
  EXPECT_FALSE(EndedWithin(200)) << "ended while its file was still opening";
  EXPECT_EQ(Caption(), kStopCaption);
  opening = false;
  ASSERT_TRUE(EndedWithin(2000));
  EXPECT_EQ(Caption(), kPlayCaption);
}

TEST_F(PlaybackTest, ANewPlaybackReplacesTheOldOneAndIgnoresItsLateNews) {
  playback_.StartPlayback("a.wav");
  const std::uintptr_t first = playback_.Generation();
  const ULONGLONG before = GetTickCount64();
  playback_.StartPlayback("b.wav");
  EXPECT_LT(GetTickCount64() - before, 500u) << "the new playback waited for the watcher";
  EXPECT_EQ(FakeAudio::calls, (Strings{"Create a.wav", "Play", "Stop", "Create b.wav", "Play"}));
  EXPECT_NE(playback_.Generation(), first);
  // The first playback's end, arriving late, leaves the second one's caption alone.
  playback_.OnPlaybackEnded(first);
  EXPECT_EQ(Caption(), kStopCaption);
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(playback_.State(), PlaybackState::kPlaying) << "a watcher reported while it played";
  EXPECT_TRUE(watcher_.Stop(kThreadStopTimeoutMs));
  EXPECT_FALSE(watcher_.Running());
}

// Playback after playback goes to the one watcher thread that runs; none is started per bell.
TEST_F(PlaybackTest, ANewPlaybackGoesToTheWatcherThreadThatRuns) {
  std::mutex mutex;
  std::set<DWORD> threads;
  std::atomic<int> looks{0};
  std::atomic<bool> opening{true};
  watcher_.SetOpeningCheck([&] {
    std::lock_guard lock(mutex);
    threads.insert(GetCurrentThreadId());
    ++looks;
    return opening.load();
  });
  playback_.StartPlayback("C:\\x\\mp3\\missing-a.wav");
  ASSERT_TRUE(PumpUntil([&] { return looks > 0; }, 2000));
  playback_.StartPlayback("C:\\x\\mp3\\missing-b.wav");
  const int seen = looks;
  ASSERT_TRUE(PumpUntil([&] { return looks > seen; }, 2000));
  EXPECT_EQ(threads.size(), 1u) << "a new watcher thread for the new playback";
  opening = false;
  ASSERT_TRUE(EndedWithin(2000));
  EXPECT_TRUE(PumpUntil([&] { return !watcher_.Running(); }, 1000)) << "it went on idle";
}

TEST_F(PlaybackTest, PlayButtonFollowsItsTable) {
  // No music chosen: nothing, whatever the caption.
  playback_.TogglePlay(music_, "C:\\p\\mp3");
  EXPECT_EQ(Caption(), kPlayCaption);
  button_.Caption(kStopCaption);
  playback_.TogglePlay(music_, "C:\\p\\mp3");
  EXPECT_EQ(Caption(), kStopCaption);
  EXPECT_TRUE(FakeAudio::calls.empty());
  button_.Caption(kPlayCaption);

  music_.AddItem("a.wav", 1);
  music_.AddItem("b.mp3", 2);
  music_.CurrentSelection(1);
  playback_.TogglePlay(music_, "C:\\p\\mp3");
  EXPECT_EQ(FakeAudio::calls, (Strings{"Create C:\\p\\mp3\\b.mp3", "Play"}));
  EXPECT_EQ(Caption(), kStopCaption);

  FakeAudio::calls.clear();
  playback_.TogglePlay(music_, "C:\\p\\mp3");
  EXPECT_EQ(FakeAudio::calls, Strings{"Stop"}) << "stopping does not free the stream";
  EXPECT_EQ(Caption(), kPlayCaption);
  FakeAudio::active = 0;
  ASSERT_TRUE(EndedWithin(2000));
  EXPECT_EQ(Caption(), kPlayCaption);
}

TEST_F(PlaybackTest, AnEndReportedAfterTheControlIsGoneTouchesNothing) {
  {
    PlaybackControl gone(player_, button_, watcher_);
    gone.SetNotifyWindow(window_.Handle());
    gone.StartPlayback("a.wav");
    FakeAudio::active = 0;
    // The watcher reports (a task is queued, not run: nothing pumps here) while the control lives.
    for (int i = 0; i < 200 && watcher_.Running(); ++i) Sleep(10);
    ASSERT_FALSE(watcher_.Running());
    EXPECT_EQ(Caption(), kStopCaption);
  }
  PumpUntil([] { return false; }, 100);  // the queued task runs now
  EXPECT_EQ(Caption(), kStopCaption) << "a report reached a control that was gone";

  // The same, deterministically: a report whose control's token has expired runs nothing.
  std::weak_ptr<PlaybackControl*> expired;
  {
    PlaybackControl* none = nullptr;
    const auto token = std::make_shared<PlaybackControl*>(none);
    expired = token;
  }
  PlaybackEndedReport(window_.Handle(), expired, 1)();
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(Caption(), kStopCaption);
}

TEST(PlaybackControllerTest, CaptionFollowsTheStateAndStaleEndsChangeNothing) {
  PlaybackController controller;
  EXPECT_EQ(controller.State(), PlaybackState::kStopped);
  EXPECT_STREQ(PlayButtonCaption(controller.State()), "播放音乐");
  const std::uintptr_t first = controller.Started();
  EXPECT_STREQ(PlayButtonCaption(controller.State()), "停止播放");
  const std::uintptr_t second = controller.Started();
  EXPECT_NE(first, second);
  EXPECT_FALSE(controller.Ended(first)) << "an older playback's end arrives late";
  EXPECT_EQ(controller.State(), PlaybackState::kPlaying);
  EXPECT_TRUE(controller.Ended(second));
  EXPECT_EQ(controller.State(), PlaybackState::kStopped);

  // Stopped by the user, then the watcher's report of the same playback: still stopped.
  const std::uintptr_t third = controller.Started();
  controller.Stopped();
  EXPECT_EQ(controller.State(), PlaybackState::kStopped);
  controller.Ended(third);
  EXPECT_EQ(controller.State(), PlaybackState::kStopped);
  EXPECT_EQ(controller.Generation(), third);
}

}  // namespace
}  // namespace belvane::testing
