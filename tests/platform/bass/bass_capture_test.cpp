// What reaches the device: WAV playback captured byte for byte through the ALSA file device, and
// compressed files (compressed WAV too) decoded to the right length.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/bass/bass_api.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass::test {
namespace {

class Capture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  }
  static void TearDownTestSuite() { BASS_Free(); }

  // Plays a stream from its position to its end and gives back all the device received.
  static std::vector<uint8_t> PlayToEnd(DWORD stream) {
    ClearCapture();
    const CaptureWriters before = ReadCaptureWriters();
    EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(stream) == kActiveStopped; }, 60000));
    return FinishedCapture(before);
  }
};

// The captured bytes hold `expected` once, surrounded by nothing but silence.
::testing::AssertionResult HoldsExactly(const std::vector<uint8_t>& captured,
                                        const std::vector<uint8_t>& expected, uint8_t silence) {
  if (expected.size() < 64) return ::testing::AssertionFailure() << "expected data too short";
  const auto at =
      std::search(captured.begin(), captured.end(), expected.begin(), expected.begin() + 64);
  if (at == captured.end()) {
    return ::testing::AssertionFailure()
           << "start of the data not found in " << captured.size() << " captured bytes";
  }
  const size_t pos = static_cast<size_t>(at - captured.begin());
  if (captured.size() - pos < expected.size()) {
    return ::testing::AssertionFailure()
           << "capture ends " << expected.size() - (captured.size() - pos) << " bytes early";
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (captured[pos + i] != expected[i]) {
      return ::testing::AssertionFailure() << "first difference at data byte " << i;
    }
  }
  for (size_t i = 0; i < captured.size(); ++i) {
    if ((i < pos || i >= pos + expected.size()) && captured[i] != silence) {
      return ::testing::AssertionFailure() << "non-silent byte outside the data at " << i;
    }
  }
  return ::testing::AssertionSuccess();
}

struct LayoutCase {
  const char* name;
  WavLayout layout;
};

class WavLayouts : public Capture, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WavLayouts, PlaysByteExact) {
  const WavLayout& layout = GetParam().layout;
  const size_t frames = layout.rate / 4;
  const auto samples = NoiseSamples(layout, frames);
  TempDir dir;
  const std::string path = dir.Write("x.wav", WavFile(layout, samples));
  const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  auto expected = ExpectedOutput(layout, samples);
  if (layout.cut_data) {
    // The data chunk is cut short: what is there plays, down to the last whole frame.
    const size_t in_block = layout.channels * layout.bits / 8u;
    const size_t whole = (samples.size() - layout.cut_data) / in_block;
    expected.resize(whole * expected.size() / frames);
  }
  EXPECT_EQ(BASS_ChannelGetLength(s, kPosByte), expected.size());
  EXPECT_TRUE(HoldsExactly(PlayToEnd(s), expected, layout.bits == 8 ? 0x80 : 0));
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), expected.size());
  EXPECT_TRUE(BASS_StreamFree(s));
}

WavLayout Layout(uint16_t tag, uint16_t bits, uint16_t channels, uint32_t rate) {
  WavLayout l;
  l.tag = tag;
  l.sub_tag = tag;
  l.bits = bits;
  l.channels = channels;
  l.rate = rate;
  return l;
}
WavLayout Extensible(uint16_t sub_tag, uint16_t bits) {
  WavLayout l = Layout(0xFFFE, bits, 2, 44100);
  l.sub_tag = sub_tag;
  return l;
}
WavLayout OddChunk() {
  WavLayout l = Layout(1, 16, 2, 44100);
  l.odd_chunk_first = true;
  return l;
}
WavLayout Cut() {
  WavLayout l = Layout(1, 16, 2, 44100);
  l.cut_data = 1001;  // not a whole number of frames
  return l;
}

INSTANTIATE_TEST_SUITE_P(Formats, WavLayouts,
                         ::testing::Values(LayoutCase{"Pcm8Mono", Layout(1, 8, 1, 22050)},
                                           LayoutCase{"Pcm16Stereo", Layout(1, 16, 2, 44100)},
                                           LayoutCase{"Pcm24Stereo", Layout(1, 24, 2, 48000)},
                                           LayoutCase{"Pcm32Mono", Layout(1, 32, 1, 44100)},
                                           LayoutCase{"Float32Stereo", Layout(3, 32, 2, 44100)},
                                           LayoutCase{"Float64Mono", Layout(3, 64, 1, 16000)},
                                           LayoutCase{"ExtensiblePcm16", Extensible(1, 16)},
                                           LayoutCase{"ExtensibleFloat", Extensible(3, 32)},
                                           LayoutCase{"OddChunkBeforeFormat", OddChunk()},
                                           LayoutCase{"TruncatedData", Cut()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Capture, MemoryStreamAndFileWindowPlayExactlyTheirBytes) {
  WavLayout layout;
  const auto samples = NoiseSamples(layout, 8000, 7);
  const auto wav = WavFile(layout, samples);
  // The WAV sits inside a bigger file, between junk that must not be played.
  std::vector<uint8_t> outer(1000 + wav.size() + 3000, 0xA5);
  std::fill(outer.begin(), outer.begin() + 1000, 0x5A);
  std::copy(wav.begin(), wav.end(), outer.begin() + 1000);
  TempDir dir;
  const std::string path = dir.Write("outer.bin", outer);

  const DWORD window = BASS_StreamCreateFile(FALSE, path.c_str(), 1000, wav.size(), 0);
  ASSERT_NE(window, 0u) << BASS_ErrorGetCode();
  EXPECT_TRUE(HoldsExactly(PlayToEnd(window), samples, 0));
  BASS_StreamFree(window);

  const DWORD memory = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), 0);
  ASSERT_NE(memory, 0u) << BASS_ErrorGetCode();
  EXPECT_TRUE(HoldsExactly(PlayToEnd(memory), samples, 0));
  BASS_StreamFree(memory);

  // Readied ahead: silent and stopped until Play, then the same bytes, none lost or doubled;
  // readied again after Stop, it starts from where it stopped, as Play alone would.
  const DWORD primed = BASS_StreamCreateFile(FALSE, path.c_str(), 1000, wav.size(), 0);
  ASSERT_NE(primed, 0u);
  ClearCapture();
  ASSERT_TRUE(BASS_ChannelUpdate(primed, 0));
  EXPECT_TRUE(BASS_ChannelUpdate(primed, 0));  // readied once
  Sleep(300);
  EXPECT_EQ(BASS_ChannelIsActive(primed), kActiveStopped);
  const std::vector<uint8_t> before = SettledCapture(0);
  EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](uint8_t b) { return b == 0; }));
  FILETIME sounded{};
  EXPECT_FALSE(BASS_ChannelGetStartTime(primed, &sounded));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorStart);
  FILETIME play{};
  GetSystemTimeAsFileTime(&play);
  EXPECT_TRUE(HoldsExactly(PlayToEnd(primed), samples, 0));
  // Its sound began at Play, not when it was readied; still told once it has ended.
  ASSERT_TRUE(BASS_ChannelGetStartTime(primed, &sounded));
  EXPECT_GE(CompareFileTime(&sounded, &play), 0);
  EXPECT_FALSE(BASS_ChannelGetStartTime(primed, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorIllParam);
  ClearCapture();
  EXPECT_TRUE(BASS_ChannelUpdate(primed, 0));  // at its end: readied from the start again
  EXPECT_TRUE(BASS_ChannelStop(primed));       // and dropped
  EXPECT_EQ(BASS_ChannelIsActive(primed), kActiveStopped);
  Sleep(300);
  const std::vector<uint8_t> dropped = SettledCapture(0);
  EXPECT_TRUE(std::all_of(dropped.begin(), dropped.end(), [](uint8_t b) { return b == 0; }))
      << dropped.size() << " bytes heard of a readied run that was dropped";
  EXPECT_TRUE(HoldsExactly(PlayToEnd(primed), samples, 0));
  BASS_StreamFree(primed);
  EXPECT_FALSE(BASS_ChannelUpdate(primed, 0));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorHandle);
}

TEST_F(Capture, ChannelAndGlobalVolumeScaleTheSamples) {
  WavLayout layout;
  const auto samples = NoiseSamples(layout, 8000, 3);
  const auto wav = WavFile(layout, samples);
  const DWORD s = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), 0);
  ASSERT_NE(s, 0u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(s, kAttribVolume, 0.5f));
  ASSERT_TRUE(BASS_SetVolume(0.5f));
  std::vector<uint8_t> expected(samples.size());
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    const int16_t v = static_cast<int16_t>(samples[i] | (samples[i + 1] << 8));
    const auto scaled = static_cast<int16_t>(std::lrintf(v * 0.25f));
    expected[i] = static_cast<uint8_t>(scaled & 0xFF);
    expected[i + 1] = static_cast<uint8_t>((scaled >> 8) & 0xFF);
  }
  const auto captured = PlayToEnd(s);
  BASS_SetVolume(1.0f);
  EXPECT_TRUE(HoldsExactly(captured, expected, 0));
  BASS_StreamFree(s);
}

TEST_F(Capture, ChannelVolumeScalesEightBitSamplesAroundTheirMiddle) {
  const WavLayout layout = Layout(1, 8, 1, 22050);
  const auto samples = NoiseSamples(layout, 8000, 5);
  const auto wav = WavFile(layout, samples);
  const DWORD s = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), 0);
  ASSERT_NE(s, 0u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(s, kAttribVolume, 0.5f));
  std::vector<uint8_t> expected(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    expected[i] = static_cast<uint8_t>(128 + std::lrintf((samples[i] - 128) * 0.5f));
  }
  EXPECT_TRUE(HoldsExactly(PlayToEnd(s), expected, 0x80));
  BASS_StreamFree(s);
}

// Decoded length of the 2-second stereo tone the build makes, in bytes: codecs add or trim a
// few milliseconds of padding, so allow a tenth of a second.
constexpr double kToneBytes = 2.0 * 44100 * 4;
constexpr double kToneTolerance = 0.1 * 44100 * 4;

class Compressed : public Capture, public ::testing::WithParamInterface<const char*> {};

TEST_P(Compressed, DecodesToTheRightLength) {
  const DWORD s = BASS_StreamCreateFile(FALSE, FixturePath(GetParam()).c_str(), 0, 0, 0);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(s, kPosByte)), kToneBytes, kToneTolerance);
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(s, BASS_ChannelGetLength(s, kPosByte)), 2.0, 0.1);
  const auto captured = PlayToEnd(s);
  const auto loud = std::count_if(captured.begin(), captured.end(), [](uint8_t b) { return b; });
  EXPECT_NEAR(static_cast<double>(captured.size()), kToneBytes, kToneTolerance);
  EXPECT_GT(loud, captured.size() / 2);  // a tone, not silence
  BASS_StreamFree(s);
}

INSTANTIATE_TEST_SUITE_P(Formats, Compressed, ::testing::Values("tone.mp3", "tone.m4a", "tone.wma"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(n.find('.') + 1);
                         });

// Compressed WAV through the system's codecs, held to what ffmpeg's own decoder makes of the same
// file: the same length to the sample, and samples within the codec's rounding.
struct CodecCase {
  const char* file;
  int tolerance;  // largest difference allowed in any 16-bit sample
};

class CompressedWav : public Capture, public ::testing::WithParamInterface<CodecCase> {};

int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t i) {
  return static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// The captured bytes hold `expected` once, each 16-bit sample within `tolerance`, followed by
// nothing but silence. The device's output starts with silence: the data starts where the first
// samples match best.
::testing::AssertionResult HoldsClosely(const std::vector<uint8_t>& captured,
                                        const std::vector<uint8_t>& expected, int tolerance) {
  if (captured.size() < expected.size()) {
    return ::testing::AssertionFailure()
           << "captured " << captured.size() << " of " << expected.size() << " bytes";
  }
  const size_t probe = 2000;
  size_t best_at = 0;
  int64_t best_error = INT64_MAX;
  for (size_t at = 0; at + expected.size() <= captured.size(); at += 2) {
    int64_t error = 0;
    for (size_t i = 0; i < probe && error < best_error; ++i) {
      error += std::abs(SampleAt(captured, at / 2 + i) - SampleAt(expected, i));
    }
    if (error < best_error) best_error = error, best_at = at;
  }
  for (size_t i = 0; i < expected.size() / 2; ++i) {
    const int difference = std::abs(SampleAt(captured, best_at / 2 + i) - SampleAt(expected, i));
    if (difference > tolerance) {
      return ::testing::AssertionFailure() << "sample " << i << " off by " << difference;
    }
  }
  for (size_t i = best_at + expected.size(); i < captured.size(); ++i) {
    if (captured[i] != 0) {
      return ::testing::AssertionFailure() << "sound after the end, at byte " << i - best_at;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_P(CompressedWav, PlaysToTheEndLikeTheReferenceDecoder) {
  const std::string name = GetParam().file;
  const auto reference = ReadAll(FixturePath(name + ".raw"));
  ASSERT_GT(reference.size(), 20000u);
  const DWORD s = BASS_StreamCreateFile(FALSE, FixturePath(name).c_str(), 0, 0, 0);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_ChannelGetLength(s, kPosByte), reference.size());
  // Two seconds, up to the silence an encoder adds to fill its last block.
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(s, BASS_ChannelGetLength(s, kPosByte)), 2.0, 0.025);
  EXPECT_TRUE(HoldsClosely(PlayToEnd(s), reference, GetParam().tolerance));
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), reference.size());
  // From a position inside a block: the rest of the same samples.
  const QWORD middle = BASS_ChannelSeconds2Bytes(s, 1.2345);
  ASSERT_TRUE(BASS_ChannelSetPosition(s, middle, kPosByte));
  EXPECT_TRUE(HoldsClosely(PlayToEnd(s), {reference.begin() + middle, reference.end()},
                           GetParam().tolerance));
  BASS_StreamFree(s);
}

INSTANTIATE_TEST_SUITE_P(Formats, CompressedWav,
                         // The platform's IMA decoder rounds its steps differently.
                         ::testing::Values(CodecCase{"tone-ima.wav", 64},
                                           CodecCase{"tone-msadpcm.wav", 2},
                                           CodecCase{"tone-alaw.wav", 0},
                                           CodecCase{"tone-mulaw.wav", 0}),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           return n.substr(5, n.find('.') - 5);
                         });

TEST_F(Capture, CompressedFromMemoryAndFromAChineseFileName) {
  TempDir dir;
  const std::string named = dir.Path("上课铃声.mp3");
  ASSERT_TRUE(CopyFileA(FixturePath("tone.mp3").c_str(), named.c_str(), FALSE));
  const DWORD by_name = BASS_StreamCreateFile(FALSE, named.c_str(), 0, 0, 0);
  ASSERT_NE(by_name, 0u) << BASS_ErrorGetCode();
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(by_name, kPosByte)), kToneBytes,
              kToneTolerance);
  BASS_StreamFree(by_name);

  HANDLE f =
      CreateFileA(named.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> bytes(GetFileSize(f, nullptr));
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  const DWORD memory = BASS_StreamCreateFile(TRUE, bytes.data(), 0, bytes.size(), 0);
  ASSERT_NE(memory, 0u) << BASS_ErrorGetCode();
  const auto captured = PlayToEnd(memory);
  EXPECT_NEAR(static_cast<double>(captured.size()), kToneBytes, kToneTolerance);
  BASS_StreamFree(memory);
}

}  // namespace
}  // namespace belvane::bass::test
