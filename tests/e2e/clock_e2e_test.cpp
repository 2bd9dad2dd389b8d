// Belvane.exe's clock and playback driven from outside: rows that come due, the play button,
// and what reaches the sound device (captured through the ALSA file device named by the
// test's environment).
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/belvane_app.h"
#include "tests/e2e/noise_wav.h"

namespace belvane::e2e {
namespace {

// 4 KiB from the start, middle or end of a WAV's samples: found in the capture only if that
// part of that file played.
constexpr size_t kHeader = 44;
constexpr size_t kProbe = 4096;
std::string FirstOf(const std::string& wav) {
  return wav.substr(kHeader, kProbe);
}
std::string MiddleOf(const std::string& wav) {
  return wav.substr(kHeader + (wav.size() - kHeader) / 2 / kWavFrameBytes * kWavFrameBytes, kProbe);
}
std::string LastOf(const std::string& wav) {
  return wav.substr(wav.size() - kProbe);
}

// The capture file named by the test's environment, as this Windows process sees it.
std::wstring CapturePath() {
  const char* unix_path = std::getenv("BELVANE_E2E_CAPTURE");
  if (!unix_path) return {};
  std::wstring path = L"Z:";
  for (const char* p = unix_path; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

std::string ReadCapture() {
  return ReadWholeFile(CapturePath()).value_or("");
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(CapturePath().empty()) << "BELVANE_E2E_CAPTURE is not set";
    // Start each test with an empty capture; the device appends to it.
    const HANDLE file =
        CreateFileW(CapturePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }

  // A timetable of one row due `ahead` seconds from now, playing `music`.
  void OneRowDueIn(int ahead, const std::string& music) {
    ASSERT_TRUE(
        app_.Process().WriteFile(kConfigName, MakeConfig({{TimeTextIn(ahead), music, "0"}}, "1")));
  }
  void PutMusic(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
    ASSERT_TRUE(app_.Process().WriteFile("mp3\\" + name, bytes));
  }
  std::string PlayCaption() const { return app_.Control(kPlayButton).Text(); }
  bool CaptionBecomes(const char* caption, int timeout_ms) const {
    return WaitUntil([&] { return PlayCaption() == caption; }, timeout_ms);
  }
  // True once the device has received nothing new for a while (it plays faster than real time).
  static bool CaptureSettles() {
    size_t last = ReadCapture().size();
    return WaitUntil(
        [&] {
          Sleep(300);
          const size_t now = ReadCapture().size();
          const bool still = now == last;
          last = now;
          return still;
        },
        10000);
  }
  bool Captured(const std::string& samples, int timeout_ms) const {
    return WaitUntil([&] { return ReadCapture().find(samples) != std::string::npos; }, timeout_ms);
  }

  BelvaneApp app_;
};

TEST_F(ClockTest, DueRowIsSelectedPlaysAndTheCaptionReturnsAtItsEnd) {
  const std::string wav = NoiseWav(1.0, 1);
  PutMusic("due.wav", wav);
  OneRowDueIn(4, "due.wav");
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  EXPECT_EQ(app_.Timetable().SelectedRow(), -1);
  EXPECT_EQ(PlayCaption(), "播放音乐");

  ASSERT_TRUE(CaptionBecomes("停止播放", 9000)) << "the due row did not start";
  EXPECT_EQ(app_.Timetable().SelectedRow(), 0);
  EXPECT_TRUE(Captured(MiddleOf(wav), 5000));
  // The device has the last samples once the file has ended; the watcher looks once a second.
  ASSERT_TRUE(Captured(LastOf(wav), 5000));
  EXPECT_TRUE(CaptionBecomes("播放音乐", 2000)) << "the caption stayed after the end";
}

// The system menu's "声音…": the window fills in the state now; 试听 plays today's first file
// as a bell would (heard on the device), and OK writes Belvane设置.ini.
TEST_F(ClockTest, SoundWindowsTrialIsHeardAndItsSettingsAreSaved) {
  constexpr WPARAM kSoundMenuItem = 0x0150;
  constexpr int kLevel = 1502, kState = 1504, kTry = 1505;
  const std::string wav = NoiseWav(1.0, 3);
  PutMusic("due.wav", wav);
  OneRowDueIn(3000, "due.wav");
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(PostMessageW(app_.Main().Handle(), WM_SYSCOMMAND, kSoundMenuItem, 0));
  const RemoteWindow window = app_.Process().WaitForDialog("声音");
  ASSERT_TRUE(window.Exists());
  ASSERT_TRUE(WaitUntil([&] { return window.Item(kState).Text().starts_with("当前："); }))
      << window.Item(kState).Text();
  EXPECT_EQ(window.Item(kLevel).Text(), "60");
  SendMessageW(window.Item(kLevel).Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"75"));
  ASSERT_TRUE(window.Item(kTry).PostClick());
  EXPECT_TRUE(Captured(MiddleOf(wav), 8000)) << "the trial was not heard";
  ASSERT_TRUE(window.Item(IDOK).PostClick());
  ASSERT_TRUE(WaitUntil([&] { return !window.Exists(); }, 5000)) << "OK did not close it";
  const std::string saved = app_.Process().ReadFile("Belvane设置.ini").value_or("");
  EXPECT_NE(saved.find("[声音]\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("最低音量=75\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("取消静音=是\r\n"), std::string::npos) << saved;
}

TEST_F(ClockTest, PlayButtonPlaysTheChosenFileAndStopsIt) {
  const std::string wav = NoiseWav(60.0, 2);
  PutMusic("long.wav", wav);
  ASSERT_TRUE(app_.Process().WriteFile(kConfigName, "[total]\r\nn=0\r\n"));
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_EQ(app_.Music().Selection(), 0);

  ASSERT_TRUE(app_.Press(kPlayButton));
  EXPECT_EQ(PlayCaption(), "停止播放");
  EXPECT_TRUE(Captured(FirstOf(wav), 5000));
  ASSERT_TRUE(app_.Press(kPlayButton));
  EXPECT_EQ(PlayCaption(), "播放音乐");
  ASSERT_TRUE(CaptureSettles());
  EXPECT_EQ(ReadCapture().find(LastOf(wav)), std::string::npos) << "played on after the stop";
  EXPECT_EQ(PlayCaption(), "播放音乐");
}

TEST_F(ClockTest, DueRowReplacesAFilePlayedByHand) {
  const std::string by_hand = NoiseWav(60.0, 3);
  const std::string due = NoiseWav(1.0, 4);
  PutMusic("long.wav", by_hand);
  PutMusic("due.wav", due);
  OneRowDueIn(5, "due.wav");
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  const std::vector<std::string> items = app_.Music().Items();
  const auto at = std::find(items.begin(), items.end(), "long.wav");
  ASSERT_NE(at, items.end());
  ASSERT_TRUE(app_.Music().Select(static_cast<int>(at - items.begin())));

  ASSERT_TRUE(app_.Press(kPlayButton));
  EXPECT_EQ(PlayCaption(), "停止播放");
  EXPECT_TRUE(Captured(FirstOf(by_hand), 5000));
  ASSERT_TRUE(WaitUntil([&] { return app_.Timetable().SelectedRow() == 0; }, 10000))
      << "the due row was not selected";
  EXPECT_TRUE(Captured(MiddleOf(due), 5000));
  EXPECT_TRUE(CaptionBecomes("播放音乐", 5000)) << "the caption stayed after the due file's end";
  ASSERT_TRUE(CaptureSettles());
  EXPECT_EQ(ReadCapture().find(LastOf(by_hand)), std::string::npos) << "the first file went on";
}

TEST_F(ClockTest, EmptyMusicListMakesThePlayButtonDoNothing) {
  // A file in a subfolder plays when due but is not listed: the list stays empty.
  const std::string due = NoiseWav(2.0, 5);
  ASSERT_TRUE(app_.Process().MakeFolder("mp3\\sub"));
  ASSERT_TRUE(app_.Process().WriteFile("mp3\\sub\\due.wav", due));
  OneRowDueIn(5, "sub\\due.wav");
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_EQ(app_.Music().Count(), 0);

  ASSERT_TRUE(app_.Press(kPlayButton));
  EXPECT_EQ(PlayCaption(), "播放音乐");
  ASSERT_TRUE(CaptionBecomes("停止播放", 10000)) << "the due row did not start";
  ASSERT_TRUE(app_.Press(kPlayButton));  // not even a stop
  EXPECT_EQ(PlayCaption(), "停止播放");
  EXPECT_TRUE(Captured(MiddleOf(due), 5000));
  EXPECT_TRUE(CaptionBecomes("播放音乐", 5000));
}

TEST_F(ClockTest, DueRowWhoseFileIsGonePutsTheCaptionBack) {
  ASSERT_TRUE(app_.Process().MakeFolder("mp3"));
  OneRowDueIn(4, "gone.wav");
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(WaitUntil([&] { return app_.Timetable().SelectedRow() == 0; }, 9000))
      << "the due row was not selected";
  // Nothing could be opened, so nothing plays: whatever the caption showed at the start, past
  // a watcher's first look (about a second) it must read "播放音乐".
  const ULONGLONG due = GetTickCount64();
  EXPECT_TRUE(WaitUntil(
      [&] { return GetTickCount64() - due >= 2500 && PlayCaption() == "播放音乐"; }, 5000));
  EXPECT_TRUE(app_.ShowsNoBox());
}

TEST_F(ClockTest, ClockLabelShowsTheLocalTime) {
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  EXPECT_TRUE(app_.Process().Exists("bass.dll"));
  const RemoteWindow label = app_.Control(kClockLabel);
  // The label changes once a second: poll until it and this process's clock agree.
  EXPECT_TRUE(WaitUntil([&] { return label.Text() == TimeTextIn(0); }, 3000))
      << label.Text() << " vs " << TimeTextIn(0);
}

TEST_F(ClockTest, ClosingWithOkWhilePlayingExitsWithCodeZero) {
  const std::string wav = NoiseWav(60.0, 6);
  PutMusic("long.wav", wav);
  ASSERT_TRUE(app_.Start()) << app_.Process().SetUpError();
  ASSERT_TRUE(app_.Press(kPlayButton));
  ASSERT_TRUE(Captured(FirstOf(wav), 5000));
  ASSERT_TRUE(app_.Main().PostClose());
  const RemoteMessageBox box = app_.WaitForBox("防止误操作");
  ASSERT_TRUE(box.Exists());
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_EQ(app_.Process().WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace belvane::e2e
