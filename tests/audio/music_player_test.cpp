// The music player over a fake entry table: which library calls each operation makes, with
// which arguments, and what it gives back.

#include "audio/music_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace belvane {
namespace {

using ::testing::ElementsAre;

// The fake library: every call is logged; results are set by the test.
struct FakeLibrary {
  static inline std::vector<std::string> calls;
  static inline BOOL init_result = TRUE;
  static inline DWORD next_stream = 0x10001;
  static inline DWORD active = bass::kActiveStopped;
  static inline float volume = 0.0f;
  static inline BOOL attribute_result = TRUE;
  static inline int failing_plays = 0;  // the next plays that fail with `error`
  static inline int error = 41;

  static void Reset() {
    calls.clear();
    init_result = TRUE;
    next_stream = 0x10001;
    active = bass::kActiveStopped;
    volume = 0.0f;
    attribute_result = TRUE;
    failing_plays = 0;
    error = 41;
  }
  static void Log(std::string call) { calls.push_back(std::move(call)); }
  static std::string Hex(DWORD v) {
    char text[16];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(v));
    return text;
  }

  static BOOL WINAPI Init(int device, DWORD freq, DWORD flags, HWND win, const void* guid) {
    Log("Init " + std::to_string(device) + " " + std::to_string(freq) + " " +
        std::to_string(flags) + (win ? " win" : " 0") + (guid ? " guid" : " null"));
    return init_result;
  }
  static BOOL WINAPI Free() {
    Log("Free");
    return TRUE;
  }
  static DWORD WINAPI StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                       DWORD flags) {
    const std::string path = static_cast<const char*>(file);
    Log("Create " + std::to_string(mem) + " " + path + " " + std::to_string(offset) + " " +
        std::to_string(length) + " " + std::to_string(flags));
    return path.find("missing") == std::string::npos ? next_stream++ : 0;
  }
  static BOOL WINAPI StreamFree(DWORD h) {
    Log("StreamFree " + Hex(h));
    return TRUE;
  }
  static BOOL WINAPI Play(DWORD h, BOOL restart) {
    Log("Play " + Hex(h) + " " + std::to_string(restart));
    if (failing_plays == 0) return TRUE;
    --failing_plays;
    return FALSE;
  }
  static BOOL WINAPI Pause(DWORD h) {
    Log("Pause " + Hex(h));
    return TRUE;
  }
  static BOOL WINAPI Stop(DWORD h) {
    Log("Stop " + Hex(h));
    return TRUE;
  }
  static DWORD WINAPI IsActive(DWORD h) {
    Log("IsActive " + Hex(h));
    return active;
  }
  static BOOL WINAPI SetVolume(float v) {
    Log("SetVolume " + std::to_string(v));
    volume = v;
    return TRUE;
  }
  static float WINAPI GetVolume() { return volume; }
  // 176400 bytes per second: 16-bit stereo at 44100 Hz.
  static QWORD WINAPI GetPosition(DWORD, DWORD mode) { return mode == 0 ? 264600 : 7; }
  static QWORD WINAPI GetLength(DWORD, DWORD mode) { return mode == 0 ? 1764000 : 7; }
  static double WINAPI Bytes2Seconds(DWORD, QWORD bytes) { return bytes / 176400.0; }
  static QWORD WINAPI Seconds2Bytes(DWORD, double seconds) {
    return static_cast<QWORD>(seconds * 176400.0);
  }
  static BOOL WINAPI SetPosition(DWORD h, QWORD pos, DWORD mode) {
    Log("SetPosition " + Hex(h) + " " + std::to_string(pos) + " " + std::to_string(mode));
    return TRUE;
  }
  static BOOL WINAPI SetAttribute(DWORD h, DWORD attrib, float value) {
    Log("SetAttribute " + Hex(h) + " " + std::to_string(attrib) + " " + std::to_string(value));
    return TRUE;
  }
  static BOOL WINAPI GetAttribute(DWORD, DWORD attrib, float* value) {
    if (attrib == bass::kAttribVolume && attribute_result) *value = 0.375f;
    return attribute_result;
  }
  static int WINAPI ErrorGetCode() { return error; }
  static DWORD WINAPI PluginLoad(const char* file, DWORD flags) {
    Log("PluginLoad " + std::string(file) + " " + std::to_string(flags));
    return 0;
  }
};

class MusicPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeLibrary::Reset();
    using F = AudioFunction;
    fake_.Set<F::kInit>(&FakeLibrary::Init);
    fake_.Set<F::kFree>(&FakeLibrary::Free);
    fake_.Set<F::kStreamCreateFile>(&FakeLibrary::StreamCreateFile);
    fake_.Set<F::kStreamFree>(&FakeLibrary::StreamFree);
    fake_.Set<F::kChannelPlay>(&FakeLibrary::Play);
    fake_.Set<F::kChannelPause>(&FakeLibrary::Pause);
    fake_.Set<F::kChannelStop>(&FakeLibrary::Stop);
    fake_.Set<F::kChannelIsActive>(&FakeLibrary::IsActive);
    fake_.Set<F::kSetVolume>(&FakeLibrary::SetVolume);
    fake_.Set<F::kGetVolume>(&FakeLibrary::GetVolume);
    fake_.Set<F::kChannelGetPosition>(&FakeLibrary::GetPosition);
    fake_.Set<F::kChannelGetLength>(&FakeLibrary::GetLength);
    fake_.Set<F::kChannelBytes2Seconds>(&FakeLibrary::Bytes2Seconds);
    fake_.Set<F::kChannelSeconds2Bytes>(&FakeLibrary::Seconds2Bytes);
    fake_.Set<F::kChannelSetPosition>(&FakeLibrary::SetPosition);
    fake_.Set<F::kChannelSetAttribute>(&FakeLibrary::SetAttribute);
    fake_.Set<F::kChannelGetAttribute>(&FakeLibrary::GetAttribute);
    fake_.Set<F::kErrorGetCode>(&FakeLibrary::ErrorGetCode);
    fake_.Set<F::kPluginLoad>(&FakeLibrary::PluginLoad);
  }
  std::vector<std::string>& Calls() { return FakeLibrary::calls; }
  // The device's comings and goings, among the library calls.
  void ObserveDevice() {
    player_.SetDeviceObserver([](bool back) { FakeLibrary::Log(back ? "(back)" : "(lost)"); });
  }

  AudioEntryTable fake_;
  MusicPlayer player_{fake_};
};

TEST_F(MusicPlayerTest, WithoutAStreamNothingReachesTheLibrary) {
  EXPECT_EQ(player_.State(), -2);
  EXPECT_EQ(player_.Play(), 0);
  EXPECT_EQ(player_.Play(TRUE), 0);
  EXPECT_EQ(player_.Stop(), 0);
  EXPECT_EQ(player_.Pause(), 0);
  EXPECT_EQ(player_.CloseStream(), 0);
  EXPECT_EQ(player_.GetPosition(), -1);
  EXPECT_EQ(player_.GetLength(), -2);
  EXPECT_EQ(player_.SetPosition(500), 0);
  EXPECT_EQ(player_.SetStreamVolume(50), 0);
  EXPECT_EQ(player_.GetStreamVolume(), -1);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(player_.Stream(), 0u);
  EXPECT_TRUE(player_.Path().IsEmpty());
}

TEST_F(MusicPlayerTest, InitUsesTheDefaultDeviceAndReportsTheResult) {
  EXPECT_TRUE(player_.Init(nullptr));
  FakeLibrary::init_result = FALSE;
  EXPECT_FALSE(player_.Init(nullptr));
  EXPECT_THAT(Calls(), ElementsAre("Init -1 44100 0 0 null", "Init -1 44100 0 0 null"));
}

// No device at start-up: each playback tries again first, until one is initialised.
TEST_F(MusicPlayerTest, FailedInitIsTriedAgainBeforeEachPlaybackUntilItWorks) {
  ObserveDevice();
  FakeLibrary::init_result = FALSE;
  EXPECT_FALSE(player_.Init(nullptr));
  EXPECT_EQ(player_.OpenFile("a.wav"), 0x10001u);
  FakeLibrary::init_result = TRUE;
  player_.OpenFile("b.wav");
  player_.OpenFile("c.wav");
  EXPECT_THAT(Calls(), ElementsAre("Init -1 44100 0 0 null", "(lost)", "Init -1 44100 0 0 null",
                                   "Create 0 a.wav 0 0 0", "Init -1 44100 0 0 null", "(back)",
                                   "StreamFree 10001", "Create 0 b.wav 0 0 0", "StreamFree 10002",
                                   "Create 0 c.wav 0 0 0"));
}

TEST_F(MusicPlayerTest, BackgroundRetryIsDueTenSecondsAfterEachFailedAttempt) {
  const std::int64_t start = static_cast<std::int64_t>(GetTickCount64());
  EXPECT_EQ(player_.RetryDeviceInBackground(start), -1);  // nothing tried yet
  ObserveDevice();
  FakeLibrary::init_result = FALSE;
  player_.Init(nullptr);
  const std::int64_t failed = static_cast<std::int64_t>(GetTickCount64());
  Calls().clear();
  const std::int64_t wait = player_.RetryDeviceInBackground(failed);
  EXPECT_GT(wait, kDeviceRetryIntervalMs - 1000);
  EXPECT_LE(wait, kDeviceRetryIntervalMs);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(player_.RetryDeviceInBackground(failed + 10000), kDeviceRetryIntervalMs);
  EXPECT_EQ(player_.RetryDeviceInBackground(failed + 15000), 5000);
  FakeLibrary::init_result = TRUE;
  EXPECT_EQ(player_.RetryDeviceInBackground(failed + 20000), -1);
  EXPECT_EQ(player_.RetryDeviceInBackground(failed + 40000), -1);
  player_.OpenFile("a.wav");
  EXPECT_THAT(Calls(), ElementsAre("Init -1 44100 0 0 null", "Init -1 44100 0 0 null", "(back)",
                                   "Create 0 a.wav 0 0 0"));
}

// A device that went away: the failed play frees the output, initialises it again and plays
// the file from its start; any other failure is only reported.
TEST_F(MusicPlayerTest, PlayFailingForTheDeviceStartsAgainOnANewOutput) {
  ObserveDevice();
  player_.OpenFile("a.wav");
  FakeLibrary::failing_plays = 1;
  FakeLibrary::error = bass::kErrorFileForm;
  EXPECT_EQ(player_.Play(), 0);
  const std::uint64_t generation = player_.DeviceGeneration();
  FakeLibrary::failing_plays = 1;
  FakeLibrary::error = bass::kErrorDriver;
  EXPECT_EQ(player_.Play(), TRUE);
  // Streams readied before are dead: those who hold one can tell.
  EXPECT_NE(player_.DeviceGeneration(), generation);
  EXPECT_EQ(player_.Stream(), 0x10002u);
  EXPECT_EQ(player_.Path(), TextValue("a.wav"));
  EXPECT_THAT(Calls(), ElementsAre("Create 0 a.wav 0 0 0", "Play 10001 0", "Play 10001 0", "(lost)",
                                   "Free", "Init -1 44100 0 0 null", "(back)",
                                   "Create 0 a.wav 0 0 0", "Play 10002 1"));

  // No device any more: the playback ends with no stream, and the next one tries first.
  Calls().clear();
  FakeLibrary::failing_plays = 1;
  FakeLibrary::init_result = FALSE;
  EXPECT_EQ(player_.Play(), 0);
  EXPECT_EQ(player_.State(), -2);
  FakeLibrary::init_result = TRUE;
  player_.OpenFile("b.wav");
  EXPECT_EQ(player_.Play(), TRUE);
  EXPECT_THAT(Calls(), ElementsAre("Play 10002 0", "(lost)", "Free", "Init -1 44100 0 0 null",
                                   "Init -1 44100 0 0 null", "(back)", "Create 0 b.wav 0 0 0",
                                   "Play 10003 0"));
}

// A device that fails under a playing stream ends it quietly: the watcher's look tells the loss
// once, a stream that played to its end tells nothing, and the next start that sounds on a
// working device tells it back.
TEST_F(MusicPlayerTest, StreamEndedByItsDeviceIsToldLostAsTheWatcherSeesIt) {
  ObserveDevice();
  EXPECT_EQ(player_.WatchState(), -2);
  EXPECT_TRUE(player_.Init(nullptr));
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.Play(), TRUE);
  FakeLibrary::error = bass::kErrorOk;
  EXPECT_EQ(player_.WatchState(), 0);  // played to its end
  FakeLibrary::active = bass::kActivePlaying;
  FakeLibrary::error = bass::kErrorDriver;
  EXPECT_EQ(player_.WatchState(), 1);
  FakeLibrary::active = bass::kActiveStopped;
  EXPECT_EQ(player_.WatchState(), 0);
  EXPECT_EQ(player_.WatchState(), 0);
  player_.OpenFile("b.wav");
  EXPECT_EQ(player_.Play(), TRUE);
  EXPECT_THAT(Calls(), ElementsAre("Init -1 44100 0 0 null", "Create 0 a.wav 0 0 0", "Play 10001 0",
                                   "IsActive 10001", "IsActive 10001", "IsActive 10001", "(lost)",
                                   "IsActive 10001", "StreamFree 10001", "Create 0 b.wav 0 0 0",
                                   "Play 10002 0", "(back)"));

  // The same for a start readied ahead, as the clock's bells start.
  Calls().clear();
  EXPECT_EQ(player_.WatchState(), 0);
  player_.BindStartFunctions();
  // The stream it replaced comes back stopped, for the caller to free once the start is made.
  DWORD replaced = 0;
  EXPECT_EQ(player_.StartPrimed(player_.OpenPrimed("c.wav"), "c.wav", &replaced), TRUE);
  EXPECT_EQ(replaced, 0x10002u);
  EXPECT_THAT(Calls(), ElementsAre("IsActive 10002", "(lost)", "Create 0 c.wav 0 0 0", "Stop 10002",
                                   "Play 10003 0", "(back)"));
}

TEST_F(MusicPlayerTest, OpenHoldsTheStreamAndPlayCycleReachesIt) {
  EXPECT_EQ(player_.OpenFile("C:\\音乐\\a.wav"), 0x10001u);
  EXPECT_EQ(player_.Path(), TextValue("C:\\音乐\\a.wav"));
  EXPECT_EQ(player_.State(), 0);
  EXPECT_EQ(player_.Play(), TRUE);
  FakeLibrary::active = bass::kActivePlaying;
  EXPECT_EQ(player_.State(), 1);
  EXPECT_EQ(player_.Play(TRUE), TRUE);
  EXPECT_EQ(player_.Stop(), TRUE);
  EXPECT_THAT(Calls(), ElementsAre("Create 0 C:\\音乐\\a.wav 0 0 0", "IsActive 10001",
                                   "Play 10001 0", "IsActive 10001", "Play 10001 1", "Stop 10001"));
}

TEST_F(MusicPlayerTest, SecondOpenFreesTheFirst) {
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.OpenFile("b.wav"), 0x10002u);
  EXPECT_EQ(player_.Path(), TextValue("b.wav"));
  EXPECT_THAT(Calls(),
              ElementsAre("Create 0 a.wav 0 0 0", "StreamFree 10001", "Create 0 b.wav 0 0 0"));
}

TEST_F(MusicPlayerTest, MissingFileAfterAGoodOneLeavesNoStream) {
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.OpenFile("missing.wav"), 0u);
  EXPECT_TRUE(player_.Path().IsEmpty());
  EXPECT_EQ(player_.Stream(), 0u);
  EXPECT_EQ(player_.State(), -2);
  EXPECT_EQ(player_.Play(), 0);
  EXPECT_THAT(Calls(), ElementsAre("Create 0 a.wav 0 0 0", "StreamFree 10001",
                                   "Create 0 missing.wav 0 0 0"));
}

TEST_F(MusicPlayerTest, ClosedStreamIsNeverFreedOrPlayedAgain) {
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.CloseStream(), TRUE);
  EXPECT_EQ(player_.CloseStream(), 0);
  EXPECT_EQ(player_.Play(), 0);
  player_.OpenFile("b.wav");
  EXPECT_THAT(Calls(),
              ElementsAre("Create 0 a.wav 0 0 0", "StreamFree 10001", "Create 0 b.wav 0 0 0"));
}

TEST_F(MusicPlayerTest, VolumesAreScaledAndRangeChecked) {
  EXPECT_EQ(player_.SetMasterVolume(-1), 0);
  EXPECT_EQ(player_.SetMasterVolume(101), 0);
  EXPECT_EQ(player_.SetMasterVolume(57), TRUE);
  EXPECT_EQ(player_.GetMasterVolume(), 57);
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.SetStreamVolume(101), 0);
  EXPECT_EQ(player_.SetStreamVolume(100), TRUE);
  EXPECT_EQ(player_.GetStreamVolume(), 38);  // 0.375 rounded
  FakeLibrary::attribute_result = FALSE;
  EXPECT_EQ(player_.GetStreamVolume(), -1);
  EXPECT_THAT(Calls(), ElementsAre("SetVolume 0.570000", "Create 0 a.wav 0 0 0",
                                   "SetAttribute 10001 2 1.000000"));
}

TEST_F(MusicPlayerTest, PositionsAreMilliseconds) {
  player_.OpenFile("a.wav");
  EXPECT_EQ(player_.GetPosition(), 1500);
  EXPECT_EQ(player_.GetLength(), 10000);
  EXPECT_EQ(player_.SetPosition(2500), TRUE);
  EXPECT_EQ(Calls().back(), "SetPosition 10001 441000 0");
}

TEST_F(MusicPlayerTest, OtherOperations) {
  EXPECT_EQ(player_.LastError(), 41);
  player_.OpenFile("a.wav");
  auto copy = player_.Copy();
  EXPECT_EQ(copy->Stream(), player_.Stream());
  EXPECT_EQ(copy->Path(), player_.Path());
  // Free releases every stream of the library: the player must not keep a dead handle.
  EXPECT_TRUE(player_.Free());
  EXPECT_EQ(player_.State(), -2);
  // Destroy keeps the stream (the library still owns it) and drops the path.
  copy->Destroy();
  EXPECT_TRUE(copy->Path().IsEmpty());
  EXPECT_EQ(copy->Stream(), 0x10001u);
}

TEST_F(MusicPlayerTest, ConcurrentCallersSeeAConsistentPlayer) {
  // The clock, the watchers and the user-interface thread all use the one player.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 200; ++i) {
        if (t == 0) {
          player_.Stop();
          player_.OpenFile(i % 5 == 0 ? "missing.wav" : "a.wav");
          player_.Play();
        } else {
          const int state = player_.State();
          EXPECT_TRUE(state == -2 || state == 0) << state;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // Every stream opened was freed exactly once before the next was created.
  DWORD held = 0;
  for (const std::string& call : Calls()) {
    if (call.rfind("Create", 0) == 0) {
      EXPECT_EQ(held, 0u);
      held = call.find("missing") == std::string::npos ? 1 : 0;
    } else if (call.rfind("StreamFree", 0) == 0) {
      EXPECT_EQ(held, 1u);
      held = 0;
    }
  }
}

}  // namespace
}  // namespace belvane
