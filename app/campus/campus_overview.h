#pragma once
// What the campus window (the system menu's "全校状态…") shows: every PC's report at a source
// (app/campus/station_report.h), one row each, and which rows need the office's eye:
//   red    the report is older than three look intervals (or has no time), the PC missed a bell
//          today, its clock is more than 1 s off without ringing on the server's time, or its
//          last bell did not sound;
//   amber  its timetable today is not the one the source's plan gives for today.
//
// Thread policy: the row functions are pure; ReadCampusReports and PlannedTimetable read the
// source (a share that may hang): never on the user-interface thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/campus/station_report.h"
#include "app/schedule/plan_date.h"

namespace belvane {

enum class RowAlarm { kNone, kAmber, kRed };

// What a row is judged against.
struct CampusRowBasis {
  std::int64_t now_seconds = 0;    // local time, as ReportTimeSeconds counts it
  int look_interval_seconds = 60;  // 间隔 of the source's followers
  std::string planned_timetable;   // today's by the source's plan; empty: unknown
};

RowAlarm CampusRowAlarm(const StationReport& report, const CampusRowBasis& basis);

// "2026-12-08 10:31:06" as seconds since 1970 (the clock it was written by); none when it is
// not such a time.
std::optional<std::int64_t> ReportTimeSeconds(std::string_view text);
// How long ago: "刚刚" (under a minute, or ahead of now), "2 分钟前", "3 小时前", "2 天前"; "未知"
// without a time.
std::string ReportAgeText(std::optional<std::int64_t> written, std::int64_t now_seconds);

// The list's columns, and a report's cells under them.
std::vector<std::string> CampusColumnTitles();
std::vector<std::string> CampusRowCells(const StationReport& report, std::int64_t now_seconds);
// The list as a CSV file's text (GBK, CR LF): the titles, then a row's cells and its state
// ("正常", "注意", "异常").
std::string CampusCsvText(const std::vector<StationReport>& reports, const CampusRowBasis& basis);

// Every readable report in "<source>\状态", ordered by name; `problem` gets the system's reason
// when the folder cannot be listed (a source no PC has reported to yet lists nothing).
std::vector<StationReport> ReadCampusReports(const std::string& source, std::string& problem);
// The timetable the source's plan rings on `date` ("停铃" on a quiet day), as a following PC
// works it out.
std::string PlannedTimetable(const std::string& source, PlanDate date);

// One reading of the folder for the campus window: the reports, what they were judged against
// (now, `look_interval_seconds`, the plan's timetable today), each row's cells and colour, and
// the system's reason when the folder could not be listed.
struct CampusReading {
  std::vector<StationReport> reports;
  CampusRowBasis basis;
  std::vector<std::vector<std::string>> cells;
  std::vector<RowAlarm> alarms;
  std::string problem;
};
CampusReading ReadCampusReading(const std::string& folder, int look_interval_seconds);

}  // namespace belvane
