// Many streams opened, played and freed from several threads at once, with other threads poking
// at the same handles: no crash, no stale handle coming back to life, and no handles, threads or
// memory left behind.

#include <windows.h>
// After windows.h, which they rely on.
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/bass/bass_api.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass::test {
namespace {

struct Usage {
  DWORD handles = 0;
  int threads = 0;
  size_t private_bytes = 0;
};

Usage Measure() {
  Usage u;
  GetProcessHandleCount(GetCurrentProcess(), &u.handles);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID == GetCurrentProcessId()) ++u.threads;
  }
  CloseHandle(snap);
  PROCESS_MEMORY_COUNTERS_EX m{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m),
                       sizeof m);
  u.private_bytes = m.PrivateUsage;
  return u;
}

class Stress : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCapture();
    ASSERT_TRUE(BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr));
  }
  void TearDown() override { BASS_Free(); }
};

// One round: `threads` workers each open, play, stop and free `per_thread` streams from a file
// and from memory, while a prober calls into whatever handles were handed out lately.
void Round(const std::string& path, const std::vector<uint8_t>& wav, int threads, int per_thread) {
  std::atomic<DWORD> recent[16] = {};
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread prober([&] {
    while (!done) {
      for (auto& h : recent) {
        const DWORD s = h.load();
        BASS_ChannelIsActive(s);
        BASS_ChannelGetPosition(s, kPosByte);
        BASS_ChannelSetAttribute(s, kAttribVolume, 0.5f);
      }
      Sleep(1);
    }
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < per_thread; ++i) {
        const DWORD s = (i % 2) ? BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0)
                                : BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), 0);
        if (!s) {
          ++failures;
          continue;
        }
        recent[(t * per_thread + i) % 16] = s;
        if (i % 4 != 3) BASS_ChannelPlay(s, FALSE);
        if (i % 4 == 1) BASS_ChannelStop(s);
        if (!BASS_StreamFree(s)) ++failures;
        if (BASS_ChannelPlay(s, FALSE) || BASS_ErrorGetCode() != kErrorHandle) ++failures;
      }
    });
  }
  for (auto& w : workers) w.join();
  done = true;
  prober.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST_F(Stress, ManyStreamsFromManyThreadsLeaveNothingBehind) {
  TempDir dir;
  WavLayout layout;
  const auto wav = WavFile(layout, NoiseSamples(layout, 4410));
  const std::string path = dir.Write("short.wav", wav);

  Round(path, wav, 4, 10);  // warm-up: the audio system's own threads and caches
  Sleep(500);
  const Usage before = Measure();
  for (int r = 0; r < 3; ++r) Round(path, wav, 6, 40);
  Sleep(500);
  const Usage after = Measure();

  EXPECT_LE(after.handles, before.handles + 8);
  EXPECT_LE(after.threads, before.threads + 1);
  EXPECT_LE(after.private_bytes, before.private_bytes + 4 * 1024 * 1024);
}

TEST_F(Stress, FreeingAStreamWhileAnotherThreadPlaysItIsSafe) {
  TempDir dir;
  WavLayout layout;
  const std::string path = dir.Write("long.wav", WavFile(layout, NoiseSamples(layout, 441000)));
  for (int i = 0; i < 20; ++i) {
    const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(s, 0u);
    std::thread player([s] {
      for (int k = 0; k < 50; ++k) {
        BASS_ChannelPlay(s, k % 5 == 0);
        BASS_ChannelPause(s);
        BASS_ChannelSetPosition(s, 4 * k, kPosByte);
      }
    });
    Sleep(i % 3);
    EXPECT_TRUE(BASS_StreamFree(s));
    player.join();
    EXPECT_EQ(BASS_ChannelIsActive(s), kActiveStopped);
  }
}

TEST_F(Stress, MemoryPerStreamStaysBoundedWhateverTheLength) {
  TempDir dir;
  WavLayout layout;
  // Two minutes of WAV (21 MB) and ten minutes of mp3 (106 MB decoded).
  const std::string wav = dir.Write("long.wav", WavFile(layout, NoiseSamples(layout, 44100 * 120)));
  // Warm up Media Foundation so its one-time set-up is not counted.
  BASS_StreamFree(BASS_StreamCreateFile(FALSE, FixturePath("tone.mp3").c_str(), 0, 0, 0));
  const Usage before = Measure();
  const DWORD a = BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 0, 0);
  const DWORD b = BASS_StreamCreateFile(FALSE, FixturePath("long.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_GT(BASS_ChannelGetLength(b, kPosByte), 100u * 1024 * 1024);
  BASS_ChannelPlay(a, FALSE);
  BASS_ChannelPlay(b, FALSE);
  Sleep(500);
  EXPECT_EQ(BASS_ChannelIsActive(a), kActivePlaying);
  EXPECT_EQ(BASS_ChannelIsActive(b), kActivePlaying);
  const Usage playing = Measure();
  EXPECT_LT(playing.private_bytes, before.private_bytes + 16 * 1024 * 1024);
  BASS_StreamFree(a);
  BASS_StreamFree(b);
}

}  // namespace
}  // namespace belvane::bass::test
