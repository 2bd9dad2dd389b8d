// The bell worker under the play button: files are opened off the user-interface thread, a
// start that hangs on its file holds up nothing behind it, what was handed over runs before the
// worker ends, and a bell's first moments are left to it. The player runs over the fake library.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/bell_worker.h"
#include "app/bell/playback.h"
#include "tests/app/wiring_support.h"

namespace belvane::testing {
namespace {

TEST_F(PlaybackTest, WithTheBellWorkerNoFileIsOpenedOnThisThread) {
  SharedTimetable timetable;
  BellWorker worker(player_, timetable);
  ASSERT_TRUE(worker.Start("C:\\x\\mp3"));
  playback_.SetStarter([&](const TextValue& path, StartDone&& done, bool scheduled) {
    return worker.StartBell(path, std::move(done), scheduled);
  });
  FakeAudio::plays = 0;
  playback_.StartPlayback("C:\\x\\mp3\\a.wav");
  EXPECT_EQ(Caption(), kStopCaption);  // at once, whatever the worker is doing
  ASSERT_TRUE(PumpUntil([] { return FakeAudio::plays.load() == 1; }, 5000));
  EXPECT_NE(FakeAudio::create_thread.load(), GetCurrentThreadId());
  // A stop handed over after a start is never overtaken by it: the start is made first, or,
  // while its file still opens, given up, so that file never sounds after the stop.
  ASSERT_TRUE(worker.StartBell("c.wav"));
  ASSERT_TRUE(worker.StopBell());
  const auto created = [](const std::string& call) {
    return [call] {
      return std::find(FakeAudio::calls.begin(), FakeAudio::calls.end(), call) !=
             FakeAudio::calls.end();
    };
  };
  ASSERT_TRUE(PumpUntil(created("Create c.wav"), 5000));
  PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(worker.Stop(kThreadStopTimeoutMs));
  // The files were missing when looked at, so each was opened at its start (no stream ahead),
  // off this thread.
  const Strings head{"Create C:\\x\\mp3\\a.wav", "Play", "Stop", "Create c.wav"};
  ASSERT_GE(FakeAudio::calls.size(), head.size());
  EXPECT_EQ(Strings(FakeAudio::calls.begin(), FakeAudio::calls.begin() + 4), head);
  const Strings tail(FakeAudio::calls.begin() + 4, FakeAudio::calls.end());
  EXPECT_TRUE(tail.empty() || tail == (Strings{"Play", "Stop"})) << "c.wav sounded after the stop";
  EXPECT_FALSE(worker.StopBell());

  // A worker that has ended takes no start: it is made here, as before.
  FakeAudio::calls.clear();
  playback_.StartPlayback("b.wav");
  ASSERT_GE(FakeAudio::calls.size(), 2u);
  EXPECT_EQ(Strings(FakeAudio::calls.end() - 2, FakeAudio::calls.end()),
            (Strings{"Create b.wav", "Play"}));
  EXPECT_EQ(FakeAudio::create_thread.load(), GetCurrentThreadId());
}

// A start whose file hangs on opening holds up nothing handed over after it: a later start, or
// a stop, gives it up, and its outcome (for its record line) is told then, as not opened.
TEST_F(PlaybackTest, ALaterStartOrStopReleasesWhatWaitsBehindAHungStart) {
  SharedTimetable timetable;
  BellWorker worker(player_, timetable);
  ASSERT_TRUE(worker.Start("C:\\x\\mp3"));
  std::atomic<int> ran{0};
  std::atomic<bool> opened{true};
  ASSERT_TRUE(worker.StartBell("hang1.wav", [&](const StartOutcome& outcome) {
    opened = outcome.facts.opened;
    ran = 1;
  }));
  ASSERT_TRUE(worker.StartBell("hang2.wav", [&](const StartOutcome&) { ran = ran == 1 ? 2 : -1; }));
  EXPECT_TRUE(PumpUntil([&] { return ran.load() == 1; }, 5000)) << "the later start held it";
  EXPECT_FALSE(opened.load());
  ASSERT_TRUE(worker.StopBell());
  EXPECT_TRUE(PumpUntil([&] { return ran.load() == 2; }, 5000)) << "the stop held it: " << ran;
}

// What was handed over before the worker is told to end still runs, in order: starts (their
// files waited for, their outcomes told: the bell record's lines) and stops. A start whose file
// hangs is given up within the wait.
TEST_F(PlaybackTest, WhatWasHandedOverBeforeTheWorkerEndsStillRuns) {
  SharedTimetable timetable;
  BellWorker worker(player_, timetable);
  FakeAudio::plays = 0;
  Strings ran;  // by the worker
  const auto note = [&](const char* what) -> StartDone {
    return [&ran, what](const StartOutcome& outcome) {
      ran.push_back(what + std::to_string(FakeAudio::plays) +
                    (outcome.facts.playing ? " playing" : ""));
    };
  };
  ASSERT_TRUE(worker.Start("C:\\x\\mp3"));
  ASSERT_TRUE(worker.StartBell("hang1.wav", note("hang1 ")));
  ASSERT_TRUE(worker.StopBell());
  ASSERT_TRUE(worker.StartBell("a.wav", note("a ")));
  ASSERT_TRUE(worker.Stop(kStartOpenWaitMs));  // time enough for a.wav on a loaded machine
  ASSERT_TRUE(worker.Start("C:\\x\\mp3"));
  ASSERT_TRUE(worker.StartBell("hang2.wav", note("hang2 ")));
  ASSERT_TRUE(worker.Stop(kThreadStopTimeoutMs)) << "a hung start held the end";
  EXPECT_EQ(ran, (Strings{"hang1 0", "a 1 playing", "hang2 1"}));
}

// A bell's first moments at the device are left to it: the stream it replaced is freed, and the
// next bell's file opened ahead, only once they are over.
TEST_F(PlaybackTest, WhatFollowsABellWaitsOutItsFirstMoments) {
  const ScratchFolder folder;
  const std::string b = folder.Write("b.wav", "RIFF");
  const std::string a = folder.Path() + "\\a.wav";  // not on disk: opened at its start
  SharedTimetable timetable;
  BellWorker worker(player_, timetable);
  ASSERT_TRUE(worker.Start(folder.Path()));
  FakeAudio::plays = 0;
  const DWORD first_stream = FakeAudio::next_stream;
  ASSERT_TRUE(worker.StartBell(a));
  ASSERT_TRUE(PumpUntil([] { return FakeAudio::plays.load() == 1; }, 5000));
  timetable.Publish(std::make_shared<TimetableSnapshot>(
      std::vector<TimetableEntry>{{"00:01:40", "b.wav", "100"}}));
  worker.LookAhead(99);
  ASSERT_TRUE(PumpUntil([&] { return FakeAudio::TickOf("Create " + b) != 0; }, 5000));
  ASSERT_TRUE(worker.StartBell(b));
  const std::string freed = "Free " + std::to_string(first_stream);
  ASSERT_TRUE(PumpUntil([&] { return FakeAudio::TickOf(freed) != 0; }, 5000));
  EXPECT_TRUE(worker.Stop(kThreadStopTimeoutMs));
  // A tick of the coarse clock is allowed for.
  const ULONGLONG quiet = kQuietAfterStartMs - 20;
  EXPECT_GE(FakeAudio::TickOf("Create " + b) - FakeAudio::TickOf("Play 1"), quiet);
  ASSERT_NE(FakeAudio::TickOf("Play 2"), 0u);
  EXPECT_GE(FakeAudio::TickOf(freed) - FakeAudio::TickOf("Play 2"), quiet);
  EXPECT_EQ(std::count(FakeAudio::calls.begin(), FakeAudio::calls.end(), "Create " + b), 1)
      << "b.wav did not start from the stream made ready ahead";
}

}  // namespace
}  // namespace belvane::testing
