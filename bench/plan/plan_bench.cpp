// The day plan at a large school's size: a plan file of 2,000 lines (every kind of section) and
// 50 timetables of 500 rows in a fresh folder, then
// 1. start-up's share: the plan file read from disk and read as a plan (each name it gives
//    checked against the timetable folder once), and the 50 timetables loaded through the
//    program's timetable store (target: under 200 ms together);
// 2. the date rule: ResolveDay over 100,000 dates of 2027 and 2028 (target: microseconds).
// Usage: plan_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/schedule/day_plan.h"
#include "app/timetable/timetable_library.h"
#include "runtime/files.h"
#include "tests/support/file_tree.h"

namespace belvane {
namespace {

using testing::RemoveTree;

constexpr int kTimetables = 50;
constexpr int kRows = 500;
constexpr int kPlanLines = 2000;
constexpr int kResolutions = 100000;
const char* const kMusic[] = {"1.预备铃.mp3", "2.上课铃.mp3", "3.下课铃.mp3", "4.眼保健操.mp3",
                              "5.广播操.mp3", "6.午休.mp3",   "7.放学.mp3"};

double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

void PutFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD put = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
  // An old file time: the platform's cached copy of a recent profile file is not what a
  // program meets at start-up.
  FILETIME old{};
  SYSTEMTIME st{2020, 1, 0, 1, 0, 0, 0, 0};
  SystemTimeToFileTime(&st, &old);
  SetFileTime(f, nullptr, nullptr, &old);
  CloseHandle(f);
}

std::string TempFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  for (int counter = 1;; ++counter) {
    const std::string path = std::string(temp) + "belvane_bench_plan_" +
                             std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
  }
}

std::string TimetableName(int i) {
  return "课表" + std::to_string(i + 1);
}

// A school day of rows from 06:00 on, a bell every two minutes or so.
std::string TimetableText(int shift) {
  std::string time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  for (int i = 0; i < kRows; ++i) {
    const int s = 6 * 3600 + i * 127 + shift;
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    const std::string k = std::to_string(i + 1);
    time += k + "=" + t + "\r\n";
    music += k + "=" + kMusic[(i + shift) % 7] + "\r\n";
    remark += k + "=" + std::to_string(60 + i % 240) + "\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + std::to_string(kRows) + "\r\n";
}

std::string DateText(int clock_day) {
  return PlanDateText(DateOfClockDay(clock_day));
}

// 2,000 lines: a weekly plan, 24 seasons, 300 vacations and holidays, dated lines for the rest
// (make-up days, exam days, single quiet days), comments and a few lines the reader keeps aside.
std::string PlanText() {
  std::vector<std::string> lines;
  const int base = ClockDayOf({2027, 1, 1});
  lines.push_back("; 日历：学校的每一天响哪张课表");
  lines.push_back("[每周]");
  for (int d = 0; d < 7; ++d) {
    lines.push_back(std::string(WeekdayName(d)) + "=" + (d < 5 ? TimetableName(d) : "停铃"));
  }
  for (int s = 0; s < 24; ++s) {
    const int from = base + s * 30, to = from + 20 + s % 90;
    lines.push_back("[每周 " + DateText(from) + "~" + DateText(to) + "]");
    for (int d = 0; d < 5; ++d) {
      lines.push_back(std::string(WeekdayName(d)) + "=" + TimetableName((s * 5 + d) % kTimetables));
    }
  }
  lines.push_back("[停铃]");
  for (int q = 0; q < 300; ++q) {
    const int from = base + (q * 7) % 730;
    lines.push_back(DateText(from) + "~" + DateText(from + q % 40) + "=" + (q % 3 ? "假期" : ""));
  }
  lines.push_back("[日期]");
  lines.push_back("2027-02-30=补课");  // kept aside
  lines.push_back("2027-03-01=无此课表");
  for (int i = 0; static_cast<int>(lines.size()) < kPlanLines; ++i) {
    const std::string date = DateText(base + (i * 3) % 731);
    switch (i % 4) {
      case 0:
        lines.push_back(date + "=按" + std::string(WeekdayName(i % 7)));
        break;
      case 1:
        lines.push_back(date + "=停铃 校庆");
        break;
      default:
        lines.push_back(date + "=" + TimetableName(i % kTimetables));
        break;
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

void Run() {
  const std::string dir = TempFolder();
  const std::string table_dir = dir + "\\课表";
  CreateDirectoryA(table_dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\mp3").c_str(), nullptr);
  for (const char* name : kMusic) PutFile(dir + "\\mp3\\" + name, "x");
  for (int i = 0; i < kTimetables; ++i) {
    PutFile(table_dir + "\\" + TimetableName(i) + ".ini", TimetableText(i));
  }
  const std::string plan_path = dir + "\\Belvane日历.ini";
  const std::string plan_text = PlanText();
  PutFile(plan_path, plan_text);
  std::printf("plan file: %zu bytes; %d timetables of %d rows\n", plan_text.size(), kTimetables,
              kRows);

  // 1. The plan and the timetables, read by the program's own code (the plan against the
  // timetables' files, each timetable with its missing music marked).
  const TextValue folder(dir);
  double start = Now();
  const DayPlan plan = ReadPlanFile(folder).plan;
  const double plan_read = Now() - start;

  start = Now();
  std::size_t rows = 0;
  for (int i = 0; i < kTimetables; ++i)
    rows += ReadNamedTimetable(folder, TimetableName(i), TextValue(dir + "\\mp3")).rows.size();
  const double tables_read = Now() - start;
  std::printf("plan read: %.1f ms (%zu dated, %zu vacations, %zu seasons, %zu kept aside)\n",
              plan_read * 1e3, plan.dates.size(), plan.quiet.size(), plan.seasons.size(),
              plan.unread.size());
  std::printf("timetables loaded: %.1f ms (%zu rows)\n", tables_read * 1e3, rows);
  std::printf("together: %.1f ms (target < 200 ms)\n", (plan_read + tables_read) * 1e3);

  // 2. The date rule, over every date of two years in turn.
  const int base = ClockDayOf({2027, 1, 1});
  std::vector<PlanDate> dates;
  for (int d = 0; d < 731; ++d) dates.push_back(DateOfClockDay(base + d));
  std::size_t quiet = 0, named = 0;
  start = Now();
  for (int i = 0; i < kResolutions; ++i) {
    const DayChoice choice = ResolveDay(plan, dates[static_cast<std::size_t>(i) % dates.size()]);
    if (choice.quiet) ++quiet;
    named += choice.name.size();
  }
  const double resolving = Now() - start;
  std::printf("ResolveDay: %.0f ns per date over %d dates (%zu quiet)\n",
              resolving * 1e9 / kResolutions, kResolutions, quiet);

  // The file as the program would write it back, read again: the same plan.
  const std::string written = WriteDayPlan(plan);
  start = Now();
  const std::vector<std::string> names = ListTimetableNames(folder);
  const DayPlan again = ReadDayPlan(written, [&](std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  });
  const double reread = Now() - start;
  bool same = true;
  for (const PlanDate& date : dates)
    same = same && ResolveDay(again, date) == ResolveDay(plan, date);
  std::printf("written back: %zu bytes, read again in %.1f ms, every date alike: %s\n",
              written.size(), reread * 1e3, same ? "yes" : "NO");
  RemoveTree(dir);
}

}  // namespace
}  // namespace belvane

int main() {
  belvane::Run();
  return 0;
}
