// The audio layer over the real library: binding through the stubs, playing a WAV through the
// player to the captured output device, and the program's own start-up path in a folder of its
// own (a child program): the library written and played, a broken library's fatal messages.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "audio/audio_entry_table.h"
#include "audio/audio_library.h"
#include "audio/music_player.h"
#include "tests/audio/audio_test_support.h"

namespace belvane {
namespace {

using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

// Polls `done` every 20 ms for up to `ms`.
template <class Done>
bool WaitFor(Done done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

// Tests that need an output device run only with the capture device (as CTest runs them).
#define REQUIRE_DEVICE() \
  if (!test::HaveCapture()) GTEST_SKIP() << "no capture device configured"

// Initialises the process's output once for every test here (the default device is the ALSA
// file device when the test runs with capture).
bool OutputReady() {
  static const bool ready = ProcessMusicPlayer().Init(nullptr);
  return ready;
}

TEST(AudioBinding, StubsBindAndPassArgumentsThrough) {
  REQUIRE_DEVICE();
  ASSERT_TRUE(OutputReady());
  TempFolder folder("stub");
  const std::string wav = test::MakeWav(44100, 2, 44100);
  ASSERT_TRUE(test::WriteFileBytes(folder.File("a.wav"), wav));

  // A fresh table: each call below goes through its entry's stub, with floats, doubles and
  // 64-bit values in both directions.
  AudioEntryTable table;
  using F = AudioFunction;
  const DWORD stream =
      table.Entry<F::kStreamCreateFile>()(FALSE, folder.File("a.wav").c_str(), 0, 0, 0);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(table.Entry<F::kChannelSeconds2Bytes>()(stream, 0.5), 88200u);
  EXPECT_DOUBLE_EQ(table.Entry<F::kChannelBytes2Seconds>()(stream, 88200), 0.5);
  EXPECT_EQ(table.Entry<F::kChannelGetLength>()(stream, bass::kPosByte), 176400u);
  EXPECT_TRUE(table.Entry<F::kChannelSetPosition>()(stream, 88200, bass::kPosByte));
  EXPECT_EQ(table.Entry<F::kChannelGetPosition>()(stream, bass::kPosByte), 88200u);
  EXPECT_TRUE(table.Entry<F::kChannelSetAttribute>()(stream, bass::kAttribVolume, 0.25f));
  float volume = 0;
  EXPECT_TRUE(table.Entry<F::kChannelGetAttribute>()(stream, bass::kAttribVolume, &volume));
  EXPECT_FLOAT_EQ(volume, 0.25f);
  EXPECT_TRUE(table.Entry<F::kStreamFree>()(stream));
  EXPECT_EQ(table.Entry<F::kChannelIsActive>()(stream), 0u);
  EXPECT_EQ(table.Entry<F::kErrorGetCode>()(), bass::kErrorHandle);

  // The stubs bound the process's table to the library's own functions.
  HMODULE library = GetModuleHandleA("bass");
  ASSERT_NE(library, nullptr);
  AudioEntryTable& entries = ProcessAudioEntries();
  for (F f : {F::kStreamCreateFile, F::kChannelSeconds2Bytes, F::kErrorGetCode}) {
    EXPECT_TRUE(entries.IsBound(f));
    EXPECT_EQ(entries.Address(f),
              reinterpret_cast<void*>(
                  GetProcAddress(library, kAudioEntryNames[static_cast<std::size_t>(f)].function)));
  }
}

TEST(AudioPlayback, PlayerPlaysAWavToTheDeviceByteForByte) {
  REQUIRE_DEVICE();
  ASSERT_TRUE(OutputReady());
  TempFolder folder("play");
  const std::string wav = test::MakeWav(44100, 2, 22050, 7);
  ASSERT_TRUE(test::WriteFileBytes(folder.File("铃声.wav"), wav));
  test::ClearCapture();

  MusicPlayer& player = ProcessMusicPlayer();
  EXPECT_EQ(player.State(), -2);
  ASSERT_NE(player.OpenFile(folder.File("铃声.wav").c_str()), 0u);
  EXPECT_EQ(player.State(), 0);
  EXPECT_EQ(player.GetLength(), 500);
  ASSERT_TRUE(player.Play());
  EXPECT_THAT(player.State(), ::testing::AnyOf(1, 2));
  EXPECT_TRUE(WaitFor([&] { return player.State() == 0; }, 20000)) << "never ended";

  const std::string data = test::WavData(wav);
  EXPECT_TRUE(WaitFor([&] { return test::ReadCapture().find(data) != std::string::npos; }, 10000))
      << "captured " << test::ReadCapture().size() << " bytes, not the file's " << data.size();

  // A missing file after a good one: the good one is freed and nothing is held.
  EXPECT_EQ(player.OpenFile(folder.File("missing.wav").c_str()), 0u);
  EXPECT_EQ(player.State(), -2);
  EXPECT_TRUE(player.Path().IsEmpty());
}

TEST(AudioPlayback, SecondOpenWhilePlayingLeavesOnlyTheSecond) {
  REQUIRE_DEVICE();
  ASSERT_TRUE(OutputReady());
  TempFolder folder("two");
  ASSERT_TRUE(test::WriteFileBytes(folder.File("a.wav"), test::MakeWav(44100, 2, 441000)));
  ASSERT_TRUE(test::WriteFileBytes(folder.File("b.wav"), test::MakeWav(22050, 1, 11025)));
  MusicPlayer player;
  const DWORD first = player.OpenFile(folder.File("a.wav").c_str());
  ASSERT_NE(first, 0u);
  player.Play();
  // The program's cycle: Stop, OpenFile, Play.
  player.Stop();
  const DWORD second = player.OpenFile(folder.File("b.wav").c_str());
  ASSERT_NE(second, 0u);
  EXPECT_NE(second, first);
  // The first is freed: its handle is dead.
  AudioEntryTable& entries = ProcessAudioEntries();
  EXPECT_EQ(entries.Entry<AudioFunction::kChannelIsActive>()(first), 0u);
  EXPECT_EQ(entries.Entry<AudioFunction::kErrorGetCode>()(), bass::kErrorHandle);
  player.Play();
  EXPECT_TRUE(WaitFor([&] { return player.State() == 0; }, 20000));
  player.CloseStream();
}

// --- The start-up path in a folder of its own ---------------------------------------------

// The report line of a "DLL ERROR" box: no owner, OK with the error icon.
std::string DllErrorLine(const std::string& text) {
  return "box\t0\t" + std::to_string(MB_OK | MB_ICONERROR) + "\tDLL ERROR\t" + text + "\n";
}

TEST(AudioStartUp, EmptyFolderGetsTheLibraryWrittenAndPlaysAWav) {
  REQUIRE_DEVICE();
  TempFolder folder("startup");
  const std::string wav = test::MakeWav(44100, 2, 8820, 3);
  ASSERT_TRUE(test::WriteFileBytes(folder.File("start.wav"), wav));
  test::ClearCapture();
  const test::ChildRun run = test::RunChild(folder, "play \"" + folder.File("start.wav") + "\"");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_TRUE(test::ReadFileBytes(folder.File("bass.dll")) == AudioLibraryImage().View());
  EXPECT_THAT(run.report, ::testing::StartsWith("init 1\nopen 1\nstate "));
  EXPECT_THAT(run.report, HasSubstr("state 1\n"));
  EXPECT_THAT(run.report, HasSubstr("state 0\nended\ndone\nexit-hook\n"));
  EXPECT_THAT(run.report, Not(HasSubstr("box")));
  if (test::HaveCapture()) {
    EXPECT_TRUE(WaitFor(
        [&] { return test::ReadCapture().find(test::WavData(wav)) != std::string::npos; }, 10000));
  }
}

TEST(AudioStartUp, EndingWhilePlayingEndsCleanly) {
  REQUIRE_DEVICE();
  // The exit sequence releases the library while its playback threads and a watcher polling
  // the player are still running; that must not fault. Several rounds: it is a race.
  TempFolder folder("leave");
  ASSERT_TRUE(test::WriteFileBytes(folder.File("long.wav"), test::MakeWav(44100, 2, 441000)));
  for (int round = 0; round < 3; ++round) {
    DeleteFileA(folder.File("report.txt").c_str());
    const test::ChildRun run =
        test::RunChild(folder, "leave \"" + folder.File("long.wav") + "\" watch");
    EXPECT_EQ(run.exit_code, 0u) << "round " << round;
    EXPECT_EQ(run.report, "init 1\nopen 1\ndone\nexit-hook\n") << "round " << round;
  }
}

TEST(AudioStartUp, AUsersOwnLibraryIsKeptAndUsed) {
  TempFolder folder("own");
  // Another build of the interface: one whose BASS_Init always fails, so the program's
  // message shows that this one was used (and start-up goes on past it).
  const std::string own = test::ReadFileBytes(test::ProgramFolder() + "\\partial_bass.dll");
  ASSERT_FALSE(own.empty());
  ASSERT_TRUE(test::WriteFileBytes(folder.File("bass.dll"), own));
  const test::ChildRun run = test::RunChild(folder, "provision");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.report, "box\t0\t0\t错误\t无法播放音乐，请关闭重试\ninit 0\ndone\nexit-hook\n");
  EXPECT_EQ(test::ReadFileBytes(folder.File("bass.dll")), own);
}

TEST(AudioStartUp, ZeroByteLibraryEndsTheProgramNamingBass) {
  TempFolder folder("zero");
  ASSERT_TRUE(test::WriteFileBytes(folder.File("bass.dll"), ""));
  const test::ChildRun run = test::RunChild(folder, "provision");
  EXPECT_EQ(run.exit_code, 0u);
  // The box, then the exit sequence; the start-up step never returned.
  EXPECT_EQ(run.report,
            DllErrorLine("同目录下无法找到DLL文件:\"bass\".请与作者联系.") + "exit-hook\n");
  EXPECT_EQ(test::ReadFileBytes(folder.File("bass.dll")), "");
}

TEST(AudioStartUp, LibraryLackingAFunctionEndsTheProgramNamingIt) {
  TempFolder folder("lacking");
  ASSERT_TRUE(
      test::CopyFileTo(test::ProgramFolder() + "\\partial_bass.dll", folder.File("bass.dll")));
  const test::ChildRun run = test::RunChild(folder, "lasterror");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.report, DllErrorLine("无法定位DLL文件:\"bass\"当中的\"BASS_ErrorGetCode\"函数.") +
                            "exit-hook\n");
}

}  // namespace
}  // namespace belvane
