// Following a shared folder at a school's size: a source of 50 timetables of 40 rows, the plan
// and 500 music files (4 KB each), taken once into a fresh local folder; then the look the
// follower makes every 60 s when nothing changed (the source and the local folders listed, the
// decision, nothing copied): its CPU time on the looking thread (target: under 50 ms of one
// core) and its wall time, over kLooks looks.
// Usage: campus_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/bell/bell_record.h"
#include "app/campus/sync_engine.h"
#include "tests/support/file_tree.h"

namespace belvane {
namespace {

constexpr int kTimetables = 50;
constexpr int kRows = 40;
constexpr int kMusic = 500;
constexpr int kLooks = 50;

void PutFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD put = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
  CloseHandle(f);
}

std::string Timetable() {
  std::string time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  for (int row = 1; row <= kRows; ++row) {
    char start[16];
    std::snprintf(start, sizeof start, "%02d:%02d:00", 7 + row / 4, row % 4 * 15);
    time += std::to_string(row) + "=" + start + "\r\n";
    music += std::to_string(row) + "=铃声" + std::to_string(row % kMusic) + ".mp3\r\n";
    remark += std::to_string(row) + "=10\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + std::to_string(kRows) + "\r\n";
}

// CPU time (user and kernel) of the calling thread, in seconds.
double ThreadCpu() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return double((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

double Wall() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return double(t.QuadPart) / double(f.QuadPart);
}

int Run() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root =
      std::string(temp) + "belvane_campus_bench_" + std::to_string(GetCurrentProcessId());
  const std::string source = root + "\\来源", local = root + "\\本机";
  for (const std::string& folder : {root, source, source + "\\课表", source + "\\mp3", local})
    CreateDirectoryA(folder.c_str(), nullptr);
  const std::string timetable = Timetable();
  PutFile(source + "\\Belvane配置.ini", timetable);
  for (int i = 0; i < kTimetables - 1; ++i)
    PutFile(source + "\\课表\\课表" + std::to_string(i) + ".ini", timetable);
  PutFile(source + "\\Belvane日历.ini", "[每周]\r\n周一=课表1\r\n");
  const std::string sound(4096, 'x');
  for (int i = 0; i < kMusic; ++i)
    PutFile(source + "\\mp3\\铃声" + std::to_string(i) + ".mp3", sound);

  std::atomic<bool> stop{false};
  SharedSyncSettings settings;
  settings.path = local + "\\Belvane同步.ini";
  settings.settings.source = source;
  SyncEngine engine(
      local, settings, {}, [] { return std::int64_t{0}; }, stop);
  // The first take comes in batches, one look 2 s after another.
  std::size_t taken = 0;
  std::int64_t tick = 0;
  double wall = Wall();
  for (bool again = true; again; tick += 2000) {
    const LookReport report = engine.Look(tick, {});
    taken += report.changed.size();
    again = report.again_soon;
  }
  std::printf("first take: %zu files in %.0f ms (wall)\n", taken, (Wall() - wall) * 1000);

  double cpu = ThreadCpu();
  wall = Wall();
  std::size_t changed = 0;
  for (int look = 0; look < kLooks; ++look)
    changed += engine.Look(tick += 60000, {}).changed.size();
  cpu = ThreadCpu() - cpu;
  wall = Wall() - wall;
  std::printf(
      "a look with nothing changed (%d timetables, %d music files): %.2f ms CPU, "
      "%.2f ms wall (mean of %d; %zu files taken meanwhile)\n",
      kTimetables, kMusic, cpu * 1000 / kLooks, wall * 1000 / kLooks, kLooks, changed);
  testing::RemoveTree(root);
  return changed == 0 && taken == std::size_t(kTimetables + kMusic + 1) ? 0 : 1;
}

}  // namespace
}  // namespace belvane

int main() {
  return belvane::Run();
}
