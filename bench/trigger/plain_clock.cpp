// The trigger benchmark's reference: the plain clock loop (each cycle reads the local time,
// compares its text with every row's start time, starts the first match through the program's
// player, then sleeps 1000 ms), driving the same audio library as the program.
//
// Usage: plain_clock.exe WAV FIRST STEP COUNT
//   rows at seconds of the day FIRST, FIRST+STEP, ... (COUNT rows), each playing WAV; the loop
//   ends a few seconds after the last row. Prints the rows it started and the cycles it ran.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/schedule/clock_planner.h"
#include "audio/music_player.h"

int main(int argc, char** argv) {
  using namespace belvane;
  if (argc < 5) {
    std::fprintf(stderr, "usage: plain_clock WAV FIRST STEP COUNT\n");
    return 2;
  }
  const std::string wav = argv[1];
  const int first = std::atoi(argv[2]);
  const int step = std::atoi(argv[3]);
  const int count = std::atoi(argv[4]);
  std::vector<std::string> rows;
  for (int i = 0; i < count; ++i) rows.push_back(ClockText(first + i * step));
  const int last = (first + (count - 1) * step) % kSecondsPerDay;

  MusicPlayer& player = ProcessMusicPlayer();
  if (!player.Init(nullptr)) {
    std::fprintf(stderr, "plain_clock: no audio output\n");
    return 1;
  }
  int started = 0;
  int cycles = 0;
  for (;;) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int second = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
    const std::string text = ClockText(second);
    ++cycles;
    for (const std::string& row : rows) {
      if (row != text) continue;
      player.Stop();
      player.OpenFile(TextValue(wav));
      player.Play();
      ++started;
      break;
    }
    const int past = (second - last + kSecondsPerDay) % kSecondsPerDay;
    if (past >= 3 && past < 600) break;
    Sleep(1000);
  }
  std::printf("plain_clock: %d of %d rows started in %d cycles\n", started, count, cycles);
  // Let the library end its streams' threads and decoders before the process tears down.
  player.Free();
  return 0;
}
