// The clock and playback as the program wires them, in process: the clock thread hands what it
// finds to the user-interface thread as tasks and ends when asked, a due time starts the row that
// holds it now in the model, StartPlayback and its watcher drive the play button's state and
// caption, and the play button follows its table. The player runs over a fake library that logs
// its calls.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell_worker.h"
#include "app/clock_thread.h"
#include "app/playback.h"
#include "app/schedule/clock_planner.h"
#include "app/schedule/passed_over.h"
#include "app/timetable_rules.h"
#include "tests/app/test_support.h"
#include "ui/ui_task.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

// The fake library: calls are logged; a path containing "missing" cannot be opened; one
// containing "hang" opens only once `release` is set (a decoder stuck on a damaged file); the
// channel reports `active`.
struct FakeAudio {
  static constexpr DWORD kHungStream = 0x10000;
  static inline HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  static inline std::atomic<int> hung{0};
  static inline std::atomic<int> hung_freed{0};
  static inline std::vector<std::string> calls;
  static inline std::atomic<DWORD> active{1};
  static inline DWORD next_stream = 0x100;
  static inline std::atomic<DWORD> create_thread{0};  // the thread of the latest Create
  static inline std::atomic<int> plays{0};
  static inline std::atomic<int> stops{0};
  // When each open, start and free was made (GetTickCount64), as "Create path", "Play", "Free n".
  static inline std::vector<std::pair<std::string, ULONGLONG>> timed;
  static ULONGLONG TickOf(const std::string& call) {
    for (const auto& [name, tick] : timed) {
      if (name == call) return tick;
    }
    return 0;
  }

  static DWORD WINAPI Create(BOOL, const void* file, QWORD, QWORD, DWORD) {
    const std::string path = static_cast<const char*>(file);
    if (path.find("hang") != std::string::npos) {
      const int n = ++hung;
      WaitForSingleObject(release, INFINITE);
      return kHungStream + n;
    }
    create_thread = GetCurrentThreadId();
    calls.push_back("Create " + path);
    timed.emplace_back("Create " + path, GetTickCount64());
    return path.find("missing") == std::string::npos ? next_stream++ : 0;
  }
  static BOOL WINAPI Free(DWORD stream) {
    if (stream > kHungStream) {
      ++hung_freed;
      return TRUE;
    }
    timed.emplace_back("Free " + std::to_string(stream), GetTickCount64());
    return TRUE;
  }
  static BOOL WINAPI Play(DWORD, BOOL) {
    timed.emplace_back("Play " + std::to_string(plays + 1), GetTickCount64());
    ++plays;
    calls.push_back("Play");
    return TRUE;
  }
  static BOOL WINAPI Stop(DWORD) {
    calls.push_back("Stop");
    ++stops;
    return TRUE;
  }
  static DWORD WINAPI IsActive(DWORD) { return active.load(); }
};

// Pumps this thread's messages for `ms` milliseconds, or until `done` holds.
template <class Done>
bool PumpUntil(Done done, int ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// What the clock's handlers received, on this (the window's) thread.
struct Received {
  Strings times;
  Strings due;
  std::vector<int> rows;
  std::vector<DWORD> threads;  // the thread each handler ran on
};
Received* g_received = nullptr;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (RunUiTask(message, wparam, lparam)) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

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
          nullptr, nullptr};
}

// A message-only window that runs the tasks posted to it, as the main window's hook does.
class RecordingWindow {
 public:
  RecordingWindow() {
    static const ATOM atom = [] {
      WNDCLASSA c{};
      c.lpfnWndProc = &RecordingProcedure;
      c.hInstance = GetModuleHandleA(nullptr);
      c.lpszClassName = "BelvaneRecordingWindow";
      return RegisterClassA(&c);
    }();
    (void)atom;
    window_ = CreateWindowExA(0, "BelvaneRecordingWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    g_received = &received;
  }
  ~RecordingWindow() {
    g_received = nullptr;
    DestroyWindow(window_);
  }
  HWND Handle() const { return window_; }
  Received received;

 private:
  HWND window_ = nullptr;
};

TEST(UiTask, RunsOnTheWindowsThreadOnlyWhatWasPostedThere) {
  EnsureWindowLayer();
  RecordingWindow window;
  std::vector<std::string> ran;
  DWORD ran_on = 0;
  std::thread worker([&] {
    EXPECT_TRUE(PostUiTask(window.Handle(), [&] {
      ran.push_back("first");
      ran_on = GetCurrentThreadId();
    }));
    EXPECT_TRUE(PostUiTask(window.Handle(), [&] { ran.push_back("second, text of any length"); }));
  });
  worker.join();
  EXPECT_TRUE(ran.empty()) << "a task ran on the worker";
  ASSERT_TRUE(PumpUntil([&] { return ran.size() == 2; }, 2000));
  EXPECT_EQ(ran, (Strings{"first", "second, text of any length"}));
  EXPECT_EQ(ran_on, GetCurrentThreadId());

  // A task message that was not posted by PostUiTask (another program's, say) is never called.
  std::function<void()> forged = [&] { ran.push_back("forged"); };
  PostMessageA(window.Handle(), kUiTaskMessage, 0, reinterpret_cast<LPARAM>(&forged));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ran.size(), 2u);
  // No window: nothing is posted and the task is not run.
  EXPECT_FALSE(PostUiTask(nullptr, [&] { ran.push_back("lost"); }));
  EXPECT_EQ(ran.size(), 2u);
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
  std::atomic<bool> running{false};
  ClockThread thread(clock, index, running);

  ASSERT_TRUE(thread.Start(window.Handle(), RecordingHandlers()));
  EXPECT_TRUE(running.load());
  EXPECT_FALSE(thread.Start(window.Handle(), RecordingHandlers())) << "a clock starts once";
  ASSERT_TRUE(PumpUntil([&] { return window.received.times.size() >= 4; }, 5000));
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs));
  EXPECT_FALSE(running.load());
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
  std::atomic<bool> running{false};
  ClockThread thread(clock, index, running);
  ASSERT_TRUE(thread.Start(window.Handle(), RecordingHandlers()));
  PumpUntil([&] { return !window.received.times.empty(); }, 3000);
  const ULONGLONG before = GetTickCount64();
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs));
  EXPECT_LT(GetTickCount64() - before, 500u) << "the wait was not cut short";
  EXPECT_TRUE(thread.Stop(kThreadStopTimeoutMs)) << "stopping twice is harmless";
}

class PlaybackTest : public ListViewTest {
 protected:
  void SetUp() override {
    ListViewTest::SetUp();
    FakeAudio::calls.clear();
    FakeAudio::timed.clear();
    FakeAudio::active = 1;
    FakeAudio::hung = 0;
    FakeAudio::hung_freed = 0;
    ResetEvent(FakeAudio::release);
    using F = AudioFunction;
    entries_.Set<F::kStreamCreateFile>(&FakeAudio::Create);
    entries_.Set<F::kStreamFree>(&FakeAudio::Free);
    entries_.Set<F::kChannelPlay>(&FakeAudio::Play);
    entries_.Set<F::kChannelStop>(&FakeAudio::Stop);
    entries_.Set<F::kChannelIsActive>(&FakeAudio::IsActive);
    HWND button = CreateWindowExA(0, "BUTTON", kPlayCaption, WS_CHILD, 0, 0, 80, 20, parent_,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(button_.AttachToWindow(button));
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_NOTIFY | LBS_HASSTRINGS, 0, 0, 80,
                                80, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(music_.AttachToWindow(list));
    playback_.SetNotifyWindow(window_.Handle());
  }
  void TearDown() override {
    // Opens still stuck end before the player they use goes.
    SetEvent(FakeAudio::release);
    EXPECT_TRUE(PumpUntil([] { return FakeAudio::hung_freed == FakeAudio::hung; }, 5000));
    watcher_.Stop();
    ListViewTest::TearDown();
  }
  std::string Caption() const { return button_.Caption().Bytes(); }
  // Pumps until the watcher's report has reached the control and stopped it.
  bool EndedWithin(int ms) {
    return PumpUntil([&] { return playback_.State() == PlaybackState::kStopped; }, ms);
  }

  AudioEntryTable entries_;
  MusicPlayer player_{entries_};
  PlaybackWatcher watcher_{player_, 20};
  ButtonControl button_;
  ListBoxControl music_;
  RecordingWindow window_;
  PlaybackControl playback_{player_, button_, watcher_};
};

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

TEST_F(PlaybackTest, ANewPlaybackEndsTheOldWatcherAndIgnoresItsLateNews) {
  playback_.StartPlayback("a.wav");
  const std::uintptr_t first = playback_.Generation();
  const ULONGLONG before = GetTickCount64();
  playback_.StartPlayback("b.wav");
  EXPECT_LT(GetTickCount64() - before, 500u) << "the old watcher did not end when told";
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

TEST_F(PlaybackTest, WithTheBellWorkerNoFileIsOpenedOnThisThread) {
  SharedTimetable timetable;
  BellWorker worker(player_, timetable);
  ASSERT_TRUE(worker.Start("C:\\x\\mp3"));
  playback_.SetStarter([&](const TextValue& path, StartDone&& done) {
    return worker.StartBell(path, std::move(done));
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
