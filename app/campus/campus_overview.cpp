#include "app/campus/campus_overview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/bell/bell_record.h"
#include "app/campus/campus.h"
#include "app/schedule/day_plan.h"
#include "app/timetable/timetable_library.h"
#include "runtime/civil_date.h"
#include "runtime/csv.h"
#include "runtime/files.h"

namespace belvane {

namespace {

// Digits at `text[at..at+count)` as a number; none when any is not a digit.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::string OffsetText(const StationReport& report) {
  if (!report.clock_offset_seconds) return {};
  char text[48];
  std::snprintf(text, sizeof text, "%+.1f s", *report.clock_offset_seconds);
  return report.on_server_time ? std::string(text) + " 按服务器时间" : std::string(text);
}

const char* AlarmText(RowAlarm alarm) {
  return alarm == RowAlarm::kRed ? "异常" : alarm == RowAlarm::kAmber ? "注意" : "正常";
}

// Local time now, as ReportTimeSeconds counts, and today's date.
std::int64_t LocalSecondsNow(PlanDate& today) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  today = {now.wYear, now.wMonth, now.wDay};
  return DaysFromCivil(now.wYear, now.wMonth, now.wDay) * 86400 + now.wHour * 3600 +
         now.wMinute * 60 + now.wSecond;
}

}  // namespace

std::optional<std::int64_t> ReportTimeSeconds(std::string_view text) {
  // "YYYY-MM-DD HH:MM:SS"
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 ||
      *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 59)
    return std::nullopt;
  return DaysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string ReportAgeText(std::optional<std::int64_t> written, std::int64_t now_seconds) {
  if (!written) return "未知";
  const std::int64_t age = now_seconds - *written;
  if (age < 60) return "刚刚";
  if (age < 3600) return std::to_string(age / 60) + " 分钟前";
  if (age < 86400) return std::to_string(age / 3600) + " 小时前";
  return std::to_string(age / 86400) + " 天前";
}

RowAlarm CampusRowAlarm(const StationReport& report, const CampusRowBasis& basis) {
  const std::optional<std::int64_t> written = ReportTimeSeconds(report.written_at);
  // A report without a readable time proves nothing about the PC now.
  const bool stale = !written || basis.now_seconds - *written >
                                     std::int64_t{3} * std::max(basis.look_interval_seconds, 1);
  const bool clock_off = report.clock_offset_seconds && !report.on_server_time &&
                         std::fabs(*report.clock_offset_seconds) > kClockOffsetLimitSeconds;
  const bool silent = !report.last_bell_result.empty() &&
                      report.last_bell_result != BellResultText(BellResult::kPlayed);
  if (stale || report.missed_today > 0 || clock_off || silent) return RowAlarm::kRed;
  if (!basis.planned_timetable.empty() && report.timetable != basis.planned_timetable)
    return RowAlarm::kAmber;
  return RowAlarm::kNone;
}

std::vector<std::string> CampusColumnTitles() {
  return {"电脑", "最后回报", "今日课表", "上次铃声", "结果", "今日错过", "时钟偏差", "音量"};
}

std::vector<std::string> CampusRowCells(const StationReport& report, std::int64_t now_seconds) {
  std::string last_bell = report.last_bell_at;
  if (!report.last_bell_file.empty())
    last_bell += (last_bell.empty() ? "" : " ") + report.last_bell_file;
  std::string result = report.last_bell_result;
  if (!result.empty() && !report.last_bell_lateness.empty())
    result += " " + report.last_bell_lateness;
  return {report.name,
          ReportAgeText(ReportTimeSeconds(report.written_at), now_seconds),
          report.timetable,
          last_bell,
          result,
          std::to_string(report.missed_today),
          OffsetText(report),
          report.volume};
}

std::string CampusCsvText(const std::vector<StationReport>& reports, const CampusRowBasis& basis) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(reports.size() + 1);
  rows.push_back(CampusColumnTitles());
  rows.back().push_back("状态");
  rows.back().push_back("写入时间");
  for (const StationReport& report : reports) {
    rows.push_back(CampusRowCells(report, basis.now_seconds));
    rows.back().push_back(AlarmText(CampusRowAlarm(report, basis)));
    rows.back().push_back(report.written_at);
  }
  return CsvText(rows);
}

std::vector<StationReport> ReadCampusReports(const std::string& source, std::string& problem) {
  std::string folder = source;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  folder += kReportFolder;
  std::vector<FolderEntry> entries;
  DWORD error = 0;
  std::vector<StationReport> reports;
  if (!ListFolder(TextValue(folder), entries, error)) {
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      problem = SystemErrorText(error);
    return reports;
  }
  for (const FolderEntry& entry : entries) {
    const std::string_view name = entry.name.View();
    // The writers' temporary names end otherwise: only whole reports are read.
    if (entry.folder || name.size() < 5 || name.substr(name.size() - 4) != ".ini") continue;
    if (std::optional<StationReport> report =
            ReadStationReport(TextValue(folder + "\\" + std::string(name)))) {
      // The file's name is the PC's, even when 名称 inside was left out.
      if (report->name.empty()) report->name = std::string(name.substr(0, name.size() - 4));
      reports.push_back(std::move(*report));
    }
  }
  std::sort(reports.begin(), reports.end(),
            [](const StationReport& a, const StationReport& b) { return a.name < b.name; });
  return reports;
}

std::string PlannedTimetable(const std::string& source, PlanDate date) {
  const PlanFileRead read = ReadPlanFile(TextValue(source));
  // Unreadable now: unknown, rather than a plan of nothing that would mark every row.
  if (!read.problem.empty()) return {};
  const DayChoice choice = ResolveDay(read.plan, date);
  return choice.quiet ? "停铃" : choice.name;
}

CampusReading ReadCampusReading(const std::string& folder, int interval_seconds) {
  CampusReading reading;
  PlanDate today;
  reading.basis.now_seconds = LocalSecondsNow(today);
  reading.basis.look_interval_seconds = interval_seconds;
  reading.reports = ReadCampusReports(folder, reading.problem);
  reading.basis.planned_timetable = PlannedTimetable(folder, today);
  reading.cells.reserve(reading.reports.size());
  reading.alarms.reserve(reading.reports.size());
  for (const StationReport& report : reading.reports) {
    reading.cells.push_back(CampusRowCells(report, reading.basis.now_seconds));
    reading.alarms.push_back(CampusRowAlarm(report, reading.basis));
  }
  return reading;
}

}  // namespace belvane
