// Each PC's report at a campus's folder, at a campus's size.
// 1. The file server's side of the reports: one report written the way the follower writes it
//    (the report of that name read first, to see whether another PC holds the name, the folder
//    made, then the report to a temporary name and renamed over the old), kWrites times; its
//    bytes, the file calls each write makes, and what 100 and 1,000 PCs make of it at the server
//    after each look (every 60 s) and after each bell (all PCs within the same 2 s).
// 2. The campus window over 1,000 reports: the folder read, the rows worked out, and the list
//    filled and drawn, kReadings times (target: under a second each).
// Usage: campus_report_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/campus/campus_overview.h"
#include "app/campus/campus_window.h"
#include "app/campus/station_report.h"
#include "runtime/inifile/profile_document.h"
#include "tests/support/file_tree.h"
#include "ui/controls/list_view_control.h"
#include "ui/form_window.h"
#include "ui/window_layer.h"

namespace belvane {
namespace {

constexpr int kWrites = 200;
constexpr int kStations = 1000;
constexpr int kReadings = 5;
// The file calls of one report write, counted from the code: reading the old report (open, size,
// read, close), making the folder, the attributes, the link count (open, query, close), the
// temporary file (create, write, flush, close), its attributes and access list (set, two gets,
// set) and the rename.
constexpr int kCallsPerWrite = 18;
constexpr int kLookSeconds = 60;
constexpr int kBellSpreadSeconds = 2;

double Wall() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return double(t.QuadPart) / double(f.QuadPart);
}

StationReport Typical(int number) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  StationReport report{"教学楼" + std::to_string(number),
                       "CLASS-PC-" + std::to_string(number),
                       "D:\\课铃\\Belvane",
                       "3.4.0",
                       stamp,
                       stamp,
                       "常规",
                       "每周 2026-09-01~2027-01-20 周二",
                       "10:40:00 下课.mp3",
                       "10:30:00",
                       "上课.mp3",
                       "已播放",
                       "+3 ms",
                       0,
                       0.4,
                       true,
                       "",
                       "",
                       stamp};
  return report;
}

// As the follower's report thread does it.
bool WriteAsTheFollower(const TextValue& path, const StationReport& report) {
  if (const auto found = ReadStationReport(path); found && ReportOfAnother(*found, report))
    return false;
  const std::string text = path.Bytes();
  CreateDirectoryA(text.substr(0, text.rfind('\\')).c_str(), nullptr);
  return WriteStationReport(path, report);
}

void ServerSide(const std::string& folder) {
  const StationReport report = Typical(1);
  const TextValue path = StationReportPath(folder, report.name);
  const double bytes = double(StationReportText(report).size());
  int written = 0;
  std::vector<double> times;
  for (int i = 0; i < kWrites; ++i) {
    const double start = Wall();
    written += WriteAsTheFollower(path, report) ? 1 : 0;
    times.push_back((Wall() - start) * 1000);
  }
  std::sort(times.begin(), times.end());
  std::printf(
      "one report: %.0f bytes written and %.0f read back, %d file calls; %d of %d "
      "written, %.2f ms median, %.2f ms p99 (local folder)\n",
      bytes, bytes, kCallsPerWrite, written, kWrites, times[times.size() / 2],
      times[times.size() * 99 / 100]);
  for (const int pcs : {100, 1000}) {
    const double looks = double(pcs) / kLookSeconds;
    const double bells = double(pcs) / kBellSpreadSeconds;
    std::printf(
        "%5d PCs: after looks %.1f reports/s = %.0f calls/s, %.1f KB/s; after a bell "
        "%.0f reports/s = %.0f calls/s, %.0f KB/s for %d s\n",
        pcs, looks, looks * kCallsPerWrite, looks * 2 * bytes / 1024, bells, bells * kCallsPerWrite,
        bells * 2 * bytes / 1024, kBellSpreadSeconds);
  }
}

void CampusWindowSide(const std::string& folder) {
  for (int i = 0; i < kStations; ++i) {
    const StationReport report = Typical(i);
    WriteStationReport(StationReportPath(folder, report.name), report);
  }
  FormWindow form;
  form.CreateTopLevel("STATIC", "campus bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 500);
  ListViewControl list;
  list.CreateListView(form.Handle(), LVS_REPORT | LVS_SINGLESEL, 0, 0, 880, 460);
  for (const std::string& title : CampusColumnTitles()) list.InsertColumn(std::nullopt, title, 100);
  for (int run = 0; run < kReadings; ++run) {
    const double start = Wall();
    const CampusReading reading = ReadCampusReading(folder, kLookSeconds);
    const double read = Wall();
    FillCampusList(list, reading.cells);
    UpdateWindow(form.Handle());
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    const double shown = Wall();
    std::printf(
        "campus window, %zu reports: read and worked out %.0f ms, listed and drawn %.0f "
        "ms, in all %.0f ms (%d rows)\n",
        reading.reports.size(), (read - start) * 1000, (shown - read) * 1000,
        (shown - start) * 1000, list.RowCount());
  }
  DestroyWindow(form.Handle());
}

}  // namespace
}  // namespace belvane

int main() {
  if (!belvane::StartWindowLayer()) {
    std::printf("window layer did not start\n");
    return 1;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "belvane-report-bench";
  belvane::testing::RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  belvane::ServerSide(folder);
  belvane::testing::RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "\\状态").c_str(), nullptr);
  belvane::CampusWindowSide(folder);
  belvane::testing::RemoveTree(folder);
  return 0;
}
