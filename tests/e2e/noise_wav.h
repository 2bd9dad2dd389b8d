#pragma once
// Music files for the black-box suites and the record soak: 16-bit stereo PCM WAV at 44100 Hz
// of quiet noise, each seed's samples its own (so a capture tells which file played), and the
// local time a few seconds ahead as a timetable row's start time.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace belvane::e2e {

inline constexpr int kWavRate = 44100;
inline constexpr int kWavFrameBytes = 4;  // 16-bit stereo

// The whole file: `seconds` of noise from `seed`.
inline std::string NoiseWav(double seconds, std::uint32_t seed) {
  const auto data_bytes = static_cast<std::uint32_t>(seconds * kWavRate) * kWavFrameBytes;
  std::string wav;
  const auto put = [&wav](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  wav += "RIFF";
  put(36 + data_bytes, 4);
  wav += "WAVEfmt ";
  put(16, 4);
  put(1, 2);  // PCM
  put(2, 2);
  put(kWavRate, 4);
  put(kWavRate * kWavFrameBytes, 4);
  put(kWavFrameBytes, 2);
  put(16, 2);
  wav += "data";
  put(data_bytes, 4);
  std::uint32_t state = seed;
  for (std::uint32_t i = 0; i < data_bytes / 2; ++i) {
    state = state * 1664525u + 1013904223u;
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>((state >> 16) % 4001) - 2000), 2);
  }
  return wav;
}

// Local time `ahead` seconds from now as HH:MM:SS (across midnight).
inline std::string TimeTextIn(int ahead) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const int t = (now.wHour * 3600 + now.wMinute * 60 + now.wSecond + ahead + 86400) % 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
  return text;
}

}  // namespace belvane::e2e
