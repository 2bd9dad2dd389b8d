// Shows the campus window over five sample reports (one red for a missed bell, one red for a
// report 10 minutes old, one amber on another timetable than the plan's) for a few seconds, for
// screenshots of the real rendering.
// Usage: ui_campus_preview.exe [seconds]  (default 5)

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/campus/campus_overview.h"
#include "app/campus/campus_window.h"
#include "runtime/civil_date.h"
#include "runtime/worker_pool.h"
#include "tests/support/file_tree.h"
#include "ui/window_layer.h"

namespace {

using namespace belvane;

void CALLBACK EndPreview(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND window = FindWindowA("#32770", "全校状态")) PostMessageA(window, WM_CLOSE, 0, 0);
}

// Local time `ago` seconds back, as a report writes it.
std::string Ago(int ago) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const std::int64_t at = DaysFromCivil(now.wYear, now.wMonth, now.wDay) * 86400 +
                          now.wHour * 3600 + now.wMinute * 60 + now.wSecond - ago;
  const CivilDate date = CivilFromDays(at / 86400);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", int(date.year), date.month,
                date.day, int(at % 86400 / 3600), int(at % 3600 / 60), int(at % 60));
  return text;
}

StationReport Report(const char* name, int ago, const char* timetable, const char* result,
                     int missed, double offset, bool server, const char* volume) {
  StationReport report;
  report.name = name;
  report.written_at = Ago(ago);
  report.timetable = timetable;
  report.last_bell_at = "10:30:00";
  report.last_bell_file = "上课.mp3";
  report.last_bell_result = result;
  report.last_bell_lateness = "+3 ms";
  report.missed_today = missed;
  report.clock_offset_seconds = offset;
  report.on_server_time = server;
  report.volume = volume;
  return report;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  UINT seconds = 5;
  if (command_line && *command_line) seconds = static_cast<UINT>(std::atoi(command_line));
  if (!StartWindowLayer()) return 1;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "belvane-campus-preview";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\状态").c_str(), nullptr);
  for (const StationReport& report :
       {Report("体育馆", 20, "常规", "已播放", 0, 3.2, true, "80%"),
        Report("一号教学楼", 75, "常规", "已播放", 0, 0.3, false, "65%"),
        Report("三号考场", 40, "考试", "已播放", 0, -0.2, true, "70%"),
        Report("图书馆", 600, "常规", "已播放", 0, 0.1, true, "50%"),
        Report("实验楼", 30, "常规", "错过", 1, 0.4, true, "")})
    WriteStationReport(StationReportPath(folder, report.name), report);
  SetTimer(nullptr, 0, seconds * 1000, &EndPreview);
  WorkerPool workers;
  OpenCampusWindow(
      nullptr,
      {[folder] { return folder; }, [](const std::string&) { return true; }, [] { return 60; }},
      workers);
  workers.Stop();
  testing::RemoveTree(folder);
  StopWindowLayer();
  return 0;
}
