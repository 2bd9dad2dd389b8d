// A machine without any output device (this test program runs with Wine's audio drivers off).

#include <gtest/gtest.h>

#include "platform/bass/bass_api.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass::test {
namespace {

TEST(NoDevice, DefaultDeviceFailsWithDeviceError) {
  EXPECT_FALSE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
  EXPECT_FALSE(BASS_Init(1, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
  // Nothing was initialised, so nothing can be opened.
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, "x.wav", 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorInit);
  // A failed attempt leaves nothing behind: the next ones fail the same way, each on its own
  // look at the system's devices, and nothing needs freeing.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
  }
  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorInit);
}

TEST(NoDevice, NoSoundDeviceStillRunsStreamsInRealTime) {
  ASSERT_TRUE(BASS_Init(kDeviceNoSound, 44100, 0, nullptr, nullptr));
  WavLayout layout;
  const auto file = WavFile(layout, NoiseSamples(layout, 44100 * 3 / 10));
  const DWORD s = BASS_StreamCreateFile(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_NE(s, 0u);
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_EQ(BASS_ChannelIsActive(s), kActivePlaying);
  ASSERT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 5000));
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_GE(took, 250u);  // 0.3 s of sound takes its time even when nobody hears it
  EXPECT_LT(took, 2000u);
  EXPECT_EQ(BASS_ChannelGetPosition(s, kPosByte), BASS_ChannelGetLength(s, kPosByte));
  EXPECT_TRUE(BASS_StreamFree(s));
  EXPECT_TRUE(BASS_Free());
  // Freed, the default device is looked for again, and still missing.
  EXPECT_FALSE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), kErrorDevice);
}

}  // namespace
}  // namespace belvane::bass::test
