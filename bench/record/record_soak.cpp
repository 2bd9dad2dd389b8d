// Soak of the bell path with its record: 10,000 playbacks (open, play, a watcher, the result
// and the first sound's time read back, one record line each) through the program's own player,
// watcher and record writer, with every tenth file missing. Prints the process's handles, threads
// and memory every 1,000 playbacks, the lines the record holds at the end and how long after the
// open each first sound went out. Not a test: run it and read the figures (flat is the goal).

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "app/bell/bell.h"
#include "app/bell/bell_record.h"
#include "app/bell/playback.h"
#include "app/bell/record_events.h"
#include "audio/music_player.h"
#include "runtime/record_writer.h"
#include "tests/e2e/noise_wav.h"

namespace {

using namespace belvane;

constexpr int kPlaybacks = 10000;

int ThreadCount() {
  const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  CloseHandle(snap);
  return count;
}

// This process's open handles: GetProcessHandleCount where the platform counts them (Wine
// answers 0), else the handle table as a probe sees it: a new handle takes the lowest free
// slot, so a leak pushes the value of the next handle up.
unsigned long HandleCount() {
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) return handles;
  const HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const unsigned long slot = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(probe) / 4);
  CloseHandle(probe);
  return slot;
}

void Report(int done) {
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("%6d playbacks  handles %5lu  threads %3d  working set %6.1f MB\n", done,
              HandleCount(), ThreadCount(), memory.WorkingSetSize / 1048576.0);
  std::fflush(stdout);
}

// 50 ms of quiet noise.
bool WriteWav(const char* path) {
  std::ofstream out(path, std::ios::binary);
  out << belvane::e2e::NoiseWav(0.05, 1);
  return static_cast<bool>(out);
}

}  // namespace

int main() {
  CreateDirectoryA("record_soak", nullptr);
  const TextValue file = "record_soak\\铃.wav";
  const TextValue missing = "record_soak\\缺失.wav";
  const TextValue record = "record_soak\\Belvane日志.txt";
  const TextValue old_record = "record_soak\\Belvane日志.old.txt";
  DeleteFileA(record.CStr());
  DeleteFileA(old_record.CStr());
  if (!WriteWav(file.CStr())) return 1;

  MusicPlayer& player = ProcessMusicPlayer();
  if (!player.Init(nullptr)) std::printf("no output device: the plays are recorded as such\n");
  PlaybackWatcher watcher(player, 5);
  RecordWriter writer;
  if (!writer.Start(record, old_record)) return 1;
  std::atomic<int> ended{0};
  int timed = 0;
  std::int64_t late_sum = 0, late_max = 0;

  Report(0);
  const ULONGLONG start = GetTickCount64();
  for (int i = 1; i <= kPlaybacks; ++i) {
    const TextValue& path = i % 10 == 0 ? missing : file;
    const RecordTime asked = LocalRecordTime();
    player.Stop();
    const bool opened = player.OpenFile(path) != 0;
    const bool played = player.Play() != FALSE;
    const StartOutcome outcome = OutcomeOfStart(player, path, opened, played);
    const BellResult result = ClassifyPlay(outcome.facts);
    watcher.Start([&ended] { ended.fetch_add(1); });
    // As a bell's line: late by its first sound, here counted from the open.
    std::int64_t late = 0;
    if (result == BellResult::kPlayed) {
      const std::optional<std::uint64_t> at = outcome.sounded_at;
      const std::optional<RecordTime> sounded = at ? LocalRecordTimeOf(*at) : std::nullopt;
      if (sounded) {
        late = LatenessMs(0, *sounded) - LatenessMs(0, asked);
        ++timed;
        late_max = std::max(late_max, late);
        late_sum += late;
      }
    }
    writer.Add(ScheduledBellLine(LocalRecordTime(), i, "08:30:00", path.View(), result, late));
    if (i % 1000 == 0) Report(i);
  }
  watcher.Stop();
  player.CloseStream();
  writer.Stop(60000);
  const ULONGLONG took = GetTickCount64() - start;
  Report(kPlaybacks);

  int lines = 0, played = 0;
  for (const TextValue& name : {old_record, record}) {
    std::ifstream in(name.CStr(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      ++lines;
      played += line.find(BellResultText(BellResult::kPlayed)) != std::string::npos ? 1 : 0;
    }
  }
  std::printf(
      "%d playbacks in %.1f s; %d watcher ends seen; record: %llu written, %llu dropped, "
      "%d lines in the files (%d played)\n",
      kPlaybacks, took / 1000.0, ended.load(),
      static_cast<unsigned long long>(writer.LinesWritten()),
      static_cast<unsigned long long>(writer.LinesDropped()), lines, played);
  std::printf("first sound after the open: %d timed, mean %.1f ms, max %lld ms\n", timed,
              timed ? static_cast<double>(late_sum) / timed : 0.0,
              static_cast<long long>(late_max));
  return lines == kPlaybacks ? 0 : 2;
}
