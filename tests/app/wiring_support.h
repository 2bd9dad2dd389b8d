#pragma once
// What the clock, playback and bell worker tests share: a fake audio library that logs its
// calls, a window that runs the tasks posted to it, and the play button's fixture over them.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/playback.h"
#include "tests/app/test_support.h"
#include "ui/ui_task.h"
#include "tests/support/message_pump.h"

namespace belvane::testing {

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

using belvane::testing::PumpUntil;

// What the clock's handlers received, on this (the window's) thread.
struct Received {
  Strings times;
  Strings due;
  std::vector<int> rows;
  std::vector<DWORD> threads;  // the thread each handler ran on
};
inline Received* g_received = nullptr;

inline LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (RunUiTask(message, wparam, lparam)) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
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

}  // namespace belvane::testing
