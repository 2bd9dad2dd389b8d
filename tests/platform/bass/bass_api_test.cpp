// The library's contract through its exports: set-up, channel states, positions, attributes,
// errors for files it cannot play, and handles that die with their stream.

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/bass/bass_api.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass::test {
namespace {

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCapture();  // nothing here reads the capture: keep it from growing run after run
    ASSERT_TRUE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  }
  void TearDown() override { BASS_Free(); }

  // A stereo 16-bit WAV of `seconds`, written to the test's folder.
  std::string Wav(double seconds, const std::string& name = "x.wav") {
    WavLayout layout;
    return dir_.Write(name,
                      WavFile(layout, NoiseSamples(layout, static_cast<size_t>(44100 * seconds))));
  }
  DWORD Open(const std::string& path) {
    return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  }

  TempDir dir_;
};

TEST_F(Library, SetUpAndTearDownReportMisuse) {
  EXPECT_FALSE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorAlready);
  EXPECT_FLOAT_EQ(BASS_GetVolume(), 1.0f);
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorInit);
  EXPECT_EQ(Open(Wav(0.1)), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorInit);
  EXPECT_FALSE(BASS_Init(-2, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
  EXPECT_FALSE(BASS_Init(1000, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
  EXPECT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr));  // the first device by number
  // Initialised again after failures and a free, the output really plays.
  const DWORD s = Open(Wav(0.1));
  ASSERT_NE(s, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 5000));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorOk) << "a stream played to its end told as a failed device";
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), BASS_ChannelGetLength(s, kPosByte));
}

TEST_F(Library, InternetStreamsAndPluginsAreNotAvailable) {
  EXPECT_EQ(BASS_StreamCreateURL("http://localhost/x.mp3", 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorNotAvail);
  EXPECT_EQ(BASS_PluginLoad("bass_aac.dll", 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorNotAvail);
}

TEST_F(Library, FilesThatCannotPlayGiveNoStreamAndTheirError) {
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
  std::vector<uint8_t> long_text;
  for (int i = 0; i < 400; ++i) long_text.insert(long_text.end(), text.begin(), text.end());
  WavLayout layout;
  const auto wav = WavFile(layout, NoiseSamples(layout, 1000));
  const std::vector<uint8_t> cut_header(wav.begin(), wav.begin() + 30);  // inside "fmt "
  WavLayout adpcm = layout;
  adpcm.tag = 2;
  WavLayout twelve_bit = layout;
  twelve_bit.bits = 12;
  WavLayout unknown_tag = layout;
  unknown_tag.tag = 0x1234;  // no codec has it
  ASSERT_TRUE(CreateDirectoryA(dir_.Path("folder.mp3").c_str(), nullptr));
  // An ftyp box of 16 bytes, then a box whose 64-bit size wraps the position back to the start:
  // opening it looped for ever.
  const char head[] =
      "\0\0\0\x10"
      "ftypM4A \0\0\0\0"
      "\0\0\0\x01"
      "free"
      "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xF0";
  std::vector<uint8_t> wrapping(head, head + sizeof head - 1);
  wrapping.resize(4096, 0);

  struct Case {
    std::string path;
    int error;
  } cases[] = {
      {dir_.Path("missing.mp3"), kErrorFileOpen},
      {dir_.Path("folder.mp3"), kErrorFileOpen},
      {dir_.Write("empty.mp3", {}), kErrorFileForm},
      {dir_.Write("empty.wav", {}), kErrorFileForm},
      {dir_.Write("cut.wav", cut_header), kErrorFileForm},
      {dir_.Write("text.mp3", long_text), kErrorFileForm},
      {dir_.Write("text.wav", long_text), kErrorFileForm},
      {dir_.Write("wrapping.m4a", wrapping), kErrorFileForm},
      {dir_.Write("adpcm.wav", WavFile(adpcm, NoiseSamples(layout, 100))), kErrorFormat},
      {dir_.Write("twelve.wav", WavFile(twelve_bit, NoiseSamples(layout, 100))), kErrorFormat},
      {dir_.Write("unknown.wav", WavFile(unknown_tag, NoiseSamples(layout, 100))), kErrorFormat},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Open(c.path), 0u) << c.path;
    EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.path;
  }
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, Wav(0.1).c_str(), 1 << 30, 0, 0), 0u);  // past the end
  EXPECT_NE(BASS_ErrorGetCode(), kErrorOk);
}

TEST_F(Library, TruncatedCompressedFiles) {
  const auto mp3 = ReadAll(FixturePath("tone.mp3"));
  ASSERT_GT(mp3.size(), 10000u);
  // Cut in half: what is there plays, and the stream ends.
  const DWORD half = Open(dir_.Write("half.mp3", {mp3.begin(), mp3.begin() + mp3.size() / 2}));
  ASSERT_NE(half, 0u) << BASS_ErrorGetCode();
  ASSERT_TRUE(BASS_ChannelPlay(half, FALSE));
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(half) == kActiveStopped; }, 10000));
  const double played = BASS_ChannelBytes2Seconds(half, BASS_ChannelGetPosition(half, kPosByte));
  EXPECT_NEAR(played, 1.0, 0.2);
  // Cut inside the headers: no stream, the format error, and no hang (Wine's reader never
  // returns for some of these when given them).
  for (const char* name :
       {"tone.mp3", "tone.m4a", "tone.wma", "tone-ima.wav", "tone-msadpcm.wav"}) {
    const auto bytes = ReadAll(FixturePath(name));
    const DWORD stub =
        Open(dir_.Write(std::string("stub-") + name, {bytes.begin(), bytes.begin() + 100}));
    EXPECT_EQ(stub, 0u) << name;
    EXPECT_EQ(BASS_ErrorGetCode(), kErrorFileForm) << name;
    // Cut in half: plays what is there, or the format error when the index was at the end.
    const DWORD s = Open(
        dir_.Write(std::string("half-") + name, {bytes.begin(), bytes.begin() + bytes.size() / 2}));
    EXPECT_EQ(BASS_ErrorGetCode(), s ? kErrorOk : kErrorFileForm) << name;
    BASS_StreamFree(s);
  }
  // A compressed WAV cut inside a block: the whole blocks before the cut play, then it ends.
  const auto ima = ReadAll(FixturePath("tone-ima.wav"));
  const DWORD cut =
      Open(dir_.Write("cut-ima.wav", {ima.begin(), ima.begin() + ima.size() / 2 + 333}));
  ASSERT_NE(cut, 0u) << BASS_ErrorGetCode();
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(cut, BASS_ChannelGetLength(cut, kPosByte)), 1.0, 0.06);
  ASSERT_TRUE(BASS_ChannelPlay(cut, FALSE));
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(cut) == kActiveStopped; }, 10000));
  EXPECT_EQ(BASS_ChannelGetPosition(cut, kPosByte), BASS_ChannelGetLength(cut, kPosByte));
}

TEST_F(Library, PlaysThroughToStoppedAndPlaysAgainFromTheStart) {
  const DWORD s = Open(Wav(0.3));
  ASSERT_NE(s, 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorOk);
  EXPECT_EQ(BASS_ChannelIsActive(s), kActiveStopped);
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);
  EXPECT_TRUE(BASS_ChannelPlay(s, FALSE));  // already playing: nothing changes
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 10000));
  const QWORD length = BASS_ChannelGetLength(s, kPosByte);
  EXPECT_EQ(length, 44100u * 3 / 10 * 4);
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), length);

  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);
  EXPECT_LT(BASS_ChannelGetPosition(s, kPosByte), length);
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 10000));
  EXPECT_TRUE(BASS_StreamFree(s));
}

TEST_F(Library, PauseStopAndRestartAreIdempotent) {
  const DWORD s = Open(Wav(20));
  ASSERT_NE(s, 0u);
  EXPECT_TRUE(BASS_ChannelPause(s));  // stopped: nothing to pause
  EXPECT_EQ(BASS_ChannelIsActive(s), kActiveStopped);
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(s, kPosByte) > 0; }, 5000));

  EXPECT_TRUE(BASS_ChannelPause(s));
  EXPECT_TRUE(BASS_ChannelPause(s));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePaused);
  const QWORD paused_at = BASS_ChannelGetPosition(s, kPosByte);
  Sleep(300);
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), paused_at);
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePaused);

  EXPECT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(s, kPosByte) > paused_at; }, 5000));

  EXPECT_TRUE(BASS_ChannelStop(s));
  EXPECT_TRUE(BASS_ChannelStop(s));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActiveStopped);
  const QWORD stopped_at = BASS_ChannelGetPosition(s, kPosByte);
  EXPECT_GT(stopped_at, paused_at);

  // Play after Stop goes on from where it stopped; a restart goes back to the beginning.
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_GE(BASS_ChannelGetPosition(s, kPosByte), stopped_at);
  ASSERT_TRUE(BASS_ChannelPlay(s, TRUE));
  EXPECT_LT(BASS_ChannelGetPosition(s, kPosByte), stopped_at);
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);

  BASS_ChannelPause(s);
  EXPECT_TRUE(BASS_ChannelStop(s));  // stop from paused
  EXPECT_EQ(BASS_ChannelIsActive(s), kActiveStopped);
  EXPECT_TRUE(BASS_StreamFree(s));
}

TEST_F(Library, PositionsLengthsAndConversions) {
  const DWORD s = Open(Wav(2));
  ASSERT_NE(s, 0u);
  const QWORD length = BASS_ChannelGetLength(s, kPosByte);
  EXPECT_EQ(length, 2u * 44100 * 4);
  EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(s, length), 2.0);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(s, 0.5), 44100u / 2 * 4);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(s, -1.0), ~QWORD{0});
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);

  EXPECT_TRUE(BASS_ChannelSetPosition(s, 44100 * 4 + 3, kPosByte));  // rounded to a frame
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), 44100u * 4);
  EXPECT_FALSE(BASS_ChannelSetPosition(s, length + 4, kPosByte));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorPosition);
  EXPECT_EQ(BASS_ChannelGetPosition(s, 1), ~QWORD{0});  // only byte positions
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);

  // Playing from a set position ends after the rest of the data.
  ASSERT_TRUE(BASS_ChannelSetPosition(s, length - 44100 * 4 / 5, kPosByte));
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_GE(BASS_ChannelGetPosition(s, kPosByte), length - 44100 * 4 / 5);
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 10000));
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), length);
  BASS_StreamFree(s);
}

TEST_F(Library, VolumesStayInRange) {
  const DWORD s = Open(Wav(0.1));
  ASSERT_NE(s, 0u);
  float v = -1;
  EXPECT_TRUE(BASS_ChannelGetAttribute(s, kAttribVolume, &v));
  EXPECT_FLOAT_EQ(v, 1.0f);
  EXPECT_TRUE(BASS_ChannelSetAttribute(s, kAttribVolume, 0.25f));
  EXPECT_TRUE(BASS_ChannelGetAttribute(s, kAttribVolume, &v));
  EXPECT_FLOAT_EQ(v, 0.25f);
  EXPECT_FALSE(BASS_ChannelSetAttribute(s, kAttribVolume, 1.5f));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);
  EXPECT_FALSE(BASS_ChannelSetAttribute(s, 1, 0.5f));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);
  EXPECT_FALSE(BASS_ChannelGetAttribute(s, kAttribVolume, nullptr));

  EXPECT_TRUE(BASS_SetVolume(0.3f));
  EXPECT_FLOAT_EQ(BASS_GetVolume(), 0.3f);
  EXPECT_FALSE(BASS_SetVolume(-0.1f));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);
  EXPECT_FLOAT_EQ(BASS_GetVolume(), 0.3f);
  BASS_StreamFree(s);
}

TEST_F(Library, FreedHandlesStayDeadAndAreNeverHandedOutAgain) {
  const std::string path = Wav(0.05);
  std::set<DWORD> seen;
  for (int i = 0; i < 300; ++i) {
    const DWORD s = Open(path);
    ASSERT_NE(s, 0u);
    EXPECT_TRUE(seen.insert(s).second) << "handle " << s << " handed out twice";
    if (i % 3 == 0) BASS_ChannelPlay(s, FALSE);
    ASSERT_TRUE(BASS_StreamFree(s));
    EXPECT_FALSE(BASS_ChannelPlay(s, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);
  }
  const DWORD old = *seen.begin();
  EXPECT_FALSE(BASS_StreamFree(old));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);
  EXPECT_EQ(BASS_ChannelIsActive(old), kActiveStopped);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);
  EXPECT_EQ(BASS_ChannelGetLength(0, kPosByte), ~QWORD{0});
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);

  // BASS_Free ends every stream with it.
  const DWORD live = Open(path);
  ASSERT_TRUE(BASS_ChannelPlay(live, FALSE));
  ASSERT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_ChannelStop(live));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);
}

TEST_F(Library, LastErrorBelongsToTheCallingThread) {
  EXPECT_EQ(Open(dir_.Path("missing.wav")), 0u);
  int other = -100;
  std::thread([&] { other = BASS_ErrorGetCode(); }).join();
  EXPECT_EQ(other, kErrorOk);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorFileOpen);
  std::thread([] { BASS_PluginLoad("x", 0); }).join();
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorFileOpen);
}

TEST_F(Library, NoSoundDeviceRunsInRealTime) {
  ASSERT_TRUE(BASS_Free());
  ASSERT_TRUE(BASS_Init(kDeviceNoSound, 44100, 0, nullptr, nullptr));
  const DWORD s = Open(Wav(0.3));
  ASSERT_NE(s, 0u);
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  ASSERT_TRUE(BASS_ChannelPause(s));
  Sleep(200);
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 5000));
  EXPECT_GE(GetTickCount64() - start, 450u);  // 0.3 s of sound plus the 0.2 s pause
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), BASS_ChannelGetLength(s, kPosByte));
}

}  // namespace
}  // namespace belvane::bass::test

namespace belvane::bass::test {
namespace {

// The program never frees its stream or the library: ending the process while a stream plays
// must neither hang nor crash. The child is this test program again, run on ExitChild alone.
TEST(Exit, ExitChild) {
  char flag[8] = {};
  if (!GetEnvironmentVariableA("BASS_EXIT_CHILD", flag, sizeof flag)) GTEST_SKIP();
  TempDir dir;
  WavLayout layout;
  const std::string path = dir.Write("x.wav", WavFile(layout, NoiseSamples(layout, 441000)));
  if (!BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr)) ExitProcess(2);
  const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  if (!s || !BASS_ChannelPlay(s, FALSE)) ExitProcess(3);
  const DWORD mp3 = BASS_StreamCreateFile(FALSE, FixturePath("long.mp3").c_str(), 0, 0, 0);
  if (!mp3 || !BASS_ChannelPlay(mp3, FALSE)) ExitProcess(4);
  Sleep(200);
  ExitProcess(7);
}

TEST(Exit, EndingTheProcessWhileAStreamPlaysIsClean) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=Exit.ExitChild";
  SetEnvironmentVariableA("BASS_EXIT_CHILD", "1");
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &si, &pi);
  SetEnvironmentVariableA("BASS_EXIT_CHILD", nullptr);
  ASSERT_TRUE(started);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
}  // namespace belvane::bass::test
