// Audio library benchmark, per format (WAV, mp3, m4a, wma; 30-second stereo tones):
//  - open to playing: BASS_StreamCreateFile + BASS_ChannelPlay until the call returns playing;
//  - play to first bytes: BASS_ChannelPlay until the first bytes reach the device (the ALSA file
//    device's capture file, BELVANE_CAPTURE, starts to grow);
//  - CPU per minute: process CPU time while the whole file plays through the capture device
//    (which runs about four times faster than real time), scaled to one minute of audio. It
//    includes Wine's own audio work in this process.
// Prints one line per format; medians and maxima over the repetitions.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/bass/bass_api.h"

namespace {

using namespace belvane::bass;

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

std::string CapturePath() {
  const char* unix_path = std::getenv("BELVANE_CAPTURE");
  return unix_path ? std::string("Z:") + unix_path : std::string();
}

long long CaptureSize() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(CapturePath().c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits until the previous run's writer has finished, then empties the capture file.
void ResetCapture() {
  long long last = -1;
  for (int quiet = 0; quiet < 3;) {
    Sleep(50);
    const long long now = CaptureSize();
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
  HANDLE f = CreateFileA(CapturePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10000.0;
  };
  return ms(kernel) + ms(user);
}

struct Figures {
  double median;
  double max;
};

Figures Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v.back()};
}

}  // namespace

int main() {
  if (CapturePath().empty()) {
    std::printf("BELVANE_CAPTURE is not set: run through the run_audio_bench target\n");
    return 1;
  }
  if (!BASS_Init(kDeviceDefault, 44100, 0, nullptr, nullptr)) {
    std::printf("BASS_Init failed: %d\n", BASS_ErrorGetCode());
    return 1;
  }
  constexpr int kRuns = 10;
  std::printf("%-5s %22s %22s %16s %10s\n", "", "open->playing ms", "play->first bytes ms",
              "CPU ms/min", "speed");
  std::printf("%-5s %11s %10s %11s %10s\n", "", "median", "max", "median", "max");
  for (const char* format : {"wav", "mp3", "m4a", "wma"}) {
    const std::string path = std::string("bench_audio\\tone30.") + format;
    // Warm-up: the first Media Foundation use loads its libraries.
    if (DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0)) {
      BASS_StreamFree(s);
    } else {
      std::printf("%-5s cannot open (%d)\n", format, BASS_ErrorGetCode());
      continue;
    }
    std::vector<double> open_ms, first_ms;
    for (int i = 0; i < kRuns; ++i) {
      ResetCapture();
      const double t0 = NowMs();
      const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
      BASS_ChannelPlay(s, FALSE);
      const double t1 = NowMs();
      if (BASS_ChannelIsActive(s) == kActivePlaying) open_ms.push_back(t1 - t0);
      BASS_StreamFree(s);
    }
    for (int i = 0; i < kRuns; ++i) {
      const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
      ResetCapture();
      const double t0 = NowMs();
      BASS_ChannelPlay(s, FALSE);
      double t1 = 0;
      while (NowMs() - t0 < 3000) {
        if (CaptureSize() > 0) {
          t1 = NowMs();
          break;
        }
      }
      if (t1 > 0) first_ms.push_back(t1 - t0);
      BASS_StreamFree(s);
    }
    ResetCapture();
    const DWORD s = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    const double seconds = BASS_ChannelBytes2Seconds(s, BASS_ChannelGetLength(s, kPosByte));
    const double cpu0 = CpuMs(), wall0 = NowMs();
    BASS_ChannelPlay(s, FALSE);
    while (BASS_ChannelIsActive(s) != kActiveStopped) Sleep(20);
    const double cpu = CpuMs() - cpu0, wall = NowMs() - wall0;
    BASS_StreamFree(s);

    if (open_ms.empty() || first_ms.empty()) {
      std::printf("%-5s no figures (open %zu, first %zu)\n", format, open_ms.size(),
                  first_ms.size());
      continue;
    }
    const Figures open = Summarise(open_ms), first = Summarise(first_ms);
    std::printf("%-5s %11.1f %10.1f %11.1f %10.1f %16.0f %9.1fx\n", format, open.median, open.max,
                first.median, first.max, cpu * 60.0 / seconds, seconds * 1000.0 / wall);
  }
  BASS_Free();
  return 0;
}
