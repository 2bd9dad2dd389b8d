#pragma once
// Each PC's report at the followed folder: "<来源>\状态\<名称>.ini", one section, GBK, CRLF,
// what the office needs to see of a bell PC without walking to it:
//   [状态]
//   名称=体育馆
//   计算机=GYM-PC
//   文件夹=D:\铃声
//   版本=3.4.0
//   上次查看=2026-12-08 10:31:05
//   上次取得=2026-12-08 10:31:05
//   今日课表=考试
//   今日原因=日期 2026-12-08
//   下一个铃=10:40:00 下课.mp3
//   上次铃声=10:30:00
//   上次铃声文件=上课.mp3
//   上次铃声结果=已播放
//   上次铃声延迟=+3 ms
//   今日错过=0
//   时钟偏差=+0.4 s
//   按服务器时间=是
//   输出设备=扬声器
//   音量=35%
//   写入时间=2026-12-08 10:31:06
// 输出设备 and 音量 are the last bell's: the output it rang on and the volume it rang with
// ("35%", "35%，静音", "60%（原 12%）" where the bell level raised it). An empty value is unknown
// (时钟偏差 without a server answer, 下一个铃 with none left today, 音量 where the platform has no
// volume interface).
//
// Thread policy: pure, apart from the file functions, which touch only the file named.

#include <optional>
#include <string>
#include <string_view>

#include "app/bell/bell_record.h"
#include "runtime/text_value.h"

namespace belvane {

inline constexpr const char* kReportFolder = "状态";

struct StationReport {
  std::string name;      // 名称 (also the file's name)
  std::string computer;  // the computer that wrote it
  std::string folder;    // the program's folder there
  std::string version;
  std::string looked_at;  // "2026-12-08 10:31:05": the last look at the source
  std::string taken_at;   // the last look that found the source as it is
  std::string timetable;  // today's timetable ("停铃" on a quiet day)
  std::string timetable_why;
  std::string next_bell;  // "10:40:00 下课.mp3"
  std::string last_bell_at;
  std::string last_bell_file;
  std::string last_bell_result;  // as the record writes it: "已播放", "错过", ...
  std::string last_bell_lateness;
  int missed_today = 0;
  std::optional<double> clock_offset_seconds;  // local minus server
  bool on_server_time = false;
  std::string output;  // the last bell's output
  std::string volume;  // and its volume as it rang
  std::string written_at;
  friend bool operator==(const StationReport&, const StationReport&) = default;
};

// "<source>\状态\<name>.ini".
TextValue StationReportPath(std::string_view source_path, std::string_view name);

std::string StationReportText(const StationReport& report);
// The report in a file's bytes; fields missing or unreadable stay as a new report has them.
StationReport ParseStationReport(std::string_view bytes);

// Writes the report whole to `path` (a temporary name, then a rename); true when written.
bool WriteStationReport(const TextValue& path, const StationReport& report);
// The report at `path`; nothing when it is missing or cannot be read.
std::optional<StationReport> ReadStationReport(const TextValue& path);

// Whether `found`, the report at our name's file, was written by another computer or folder.
bool ReportOfAnother(const StationReport& found, const StationReport& ours);

// The record's lines:
//   时钟	按服务器	+3.2 s                the clock stepped to the server's time
//   时钟	本机                          it rings on the local clock
//   同步	名称重复	体育馆	GYM-PC	D:\铃声   the report's name is another PC's
//   同步	无法回报	拒绝访问。            the source refused the report
std::string ClockServerLine(const RecordTime& time, std::string_view step);
std::string ClockLocalLine(const RecordTime& time);
std::string ReportClashLine(const RecordTime& time, const StationReport& found);
std::string ReportRefusedLine(const RecordTime& time, std::string_view reason);

}  // namespace belvane
