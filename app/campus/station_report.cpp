#include "app/campus/station_report.h"

#include <charconv>
#include <cstdio>

#include "app/bell/bell_record.h"
#include "runtime/file_name.h"
#include "runtime/inifile/profile_document.h"

namespace belvane {

namespace {

constexpr const char* kSection = "状态";

// A value on one line: a line end in a name would start a key of its own.
std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

std::string Line(const RecordTime& time, std::string_view a, std::string_view b = {},
                 std::string_view c = {}, std::string_view d = {}) {
  std::string line = RecordStamp(time);
  for (const std::string_view field : {a, b, c, d}) {
    if (field.empty()) break;
    line += '\t';
    line += field;
  }
  return line;
}

}  // namespace

TextValue StationReportPath(std::string_view source_path, std::string_view name) {
  std::string path(source_path);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return TextValue(path + kReportFolder + "\\" + std::string(name) + ".ini");
}

std::string StationReportText(const StationReport& report) {
  std::string text = std::string("[") + kSection + "]\r\n";
  const auto add = [&text](const char* key, std::string_view value) {
    text += key;
    text += '=';
    text += OneLine(value);
    text += "\r\n";
  };
  char offset[32] = "";
  if (report.clock_offset_seconds)
    std::snprintf(offset, sizeof offset, "%+.1f s", *report.clock_offset_seconds);
  add("名称", report.name);
  add("计算机", report.computer);
  add("文件夹", report.folder);
  add("版本", report.version);
  add("上次查看", report.looked_at);
  add("上次取得", report.taken_at);
  add("今日课表", report.timetable);
  add("今日原因", report.timetable_why);
  add("下一个铃", report.next_bell);
  add("上次铃声", report.last_bell_at);
  add("上次铃声文件", report.last_bell_file);
  add("上次铃声结果", report.last_bell_result);
  add("上次铃声延迟", report.last_bell_lateness);
  add("今日错过", std::to_string(report.missed_today));
  add("时钟偏差", offset);
  add("按服务器时间", report.on_server_time ? "是" : "否");
  add("输出设备", report.output);
  add("音量", report.volume);
  add("写入时间", report.written_at);
  return text;
}

StationReport ParseStationReport(std::string_view bytes) {
  const ProfileDocument document = ProfileDocument::FromBytes(bytes);
  const auto read = [&document](const char* key) { return document.Read(kSection, key).Bytes(); };
  StationReport report;
  report.name = read("名称");
  report.computer = read("计算机");
  report.folder = read("文件夹");
  report.version = read("版本");
  report.looked_at = read("上次查看");
  report.taken_at = read("上次取得");
  report.timetable = read("今日课表");
  report.timetable_why = read("今日原因");
  report.next_bell = read("下一个铃");
  report.last_bell_at = read("上次铃声");
  report.last_bell_file = read("上次铃声文件");
  report.last_bell_result = read("上次铃声结果");
  report.last_bell_lateness = read("上次铃声延迟");
  const std::string missed = read("今日错过");
  std::from_chars(missed.data(), missed.data() + missed.size(), report.missed_today);
  const std::string offset = read("时钟偏差");
  double seconds = 0;
  const char* begin = offset.data() + (offset.starts_with('+') ? 1 : 0);
  if (const auto [end, error] = std::from_chars(begin, offset.data() + offset.size(), seconds);
      error == std::errc() && end != begin)
    report.clock_offset_seconds = seconds;
  report.on_server_time = read("按服务器时间") == "是";
  report.output = read("输出设备");
  report.volume = read("音量");
  report.written_at = read("写入时间");
  return report;
}

bool WriteStationReport(const TextValue& path, const StationReport& report) {
  return ReplaceWholeFile(path, StationReportText(report));
}

std::optional<StationReport> ReadStationReport(const TextValue& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return ParseStationReport(*bytes);
}

bool ReportOfAnother(const StationReport& found, const StationReport& ours) {
  return !SameFileName(found.computer, ours.computer) || !SameFileName(found.folder, ours.folder);
}

std::string ClockServerLine(const RecordTime& time, std::string_view step) {
  return Line(time, "时钟", "按服务器", step);
}

std::string ClockLocalLine(const RecordTime& time) {
  return Line(time, "时钟", "本机");
}

std::string ReportClashLine(const RecordTime& time, const StationReport& found) {
  return Line(time, "同步", "名称重复", found.name, found.computer + "\t" + found.folder);
}

std::string ReportRefusedLine(const RecordTime& time, std::string_view reason) {
  return Line(time, "同步", "无法回报", reason);
}

}  // namespace belvane
