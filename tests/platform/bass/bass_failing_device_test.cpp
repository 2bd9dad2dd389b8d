// An output device that fails while playing: the ALSA file device's pipe ends after 256 KiB (this
// test program's environment), as a device whose service dies would. Under Wine the waveOut
// buffers still finish, so what can be shown is that nothing hangs: every stream ends as
// stopped, the library goes on opening and playing streams, and freeing is prompt.

#include <gtest/gtest.h>

#include "platform/bass/bass_api.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass::test {
namespace {

TEST(FailingDevice, StreamsStillEndAsStoppedAndTheLibraryGoesOn) {
  ASSERT_TRUE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  WavLayout layout;
  const auto file = WavFile(layout, NoiseSamples(layout, 44100 * 2));  // 352,800 bytes of sound
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const DWORD s = BASS_StreamCreateFile(TRUE, file.data(), 0, file.size(), 0);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    EXPECT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 15000));
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(BASS_StreamFree(s));
    EXPECT_LT(GetTickCount64() - start, 2000u);
  }
  // Output ended and set up again on the same failed device.
  EXPECT_TRUE(BASS_Free());
  ASSERT_TRUE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  const DWORD s = BASS_StreamCreateFile(TRUE, file.data(), 0, file.size(), 0);
  ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
  EXPECT_TRUE(WaitFor([&] { return BASS_ChannelIsActive(s) == kActiveStopped; }, 15000));
  EXPECT_TRUE(BASS_Free());
}

}  // namespace
}  // namespace belvane::bass::test
