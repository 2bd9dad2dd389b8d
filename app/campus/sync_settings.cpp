#include "app/campus/sync_settings.h"

#include <charconv>
#include <optional>

#include "runtime/gbk.h"
#include "runtime/inifile/profile_document.h"

namespace belvane {

namespace {

constexpr std::string_view kTakenHeader = "[已取]";

// The next comma-separated number of `line`, consuming it and its comma.
std::optional<std::uint64_t> NextNumber(std::string_view& line) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (error != std::errc() || end == line.data() + line.size() || *end != ',') return std::nullopt;
  line.remove_prefix(static_cast<std::size_t>(end - line.data()) + 1);
  return value;
}

const char* YesNo(bool yes) {
  return yes ? "是" : "否";
}

// 是 or 否 as written; nothing for anything else.
std::optional<bool> ReadYesNo(const std::string& text) {
  if (text == "是") return true;
  if (text == "否") return false;
  return std::nullopt;
}

}  // namespace

bool RingsOnServerTime(const SyncSettings& settings) {
  return settings.server_time.value_or(true) && !ServerOfSource(settings.source).empty();
}

std::string SyncSettingsText(const SyncSettings& settings) {
  std::string text = "[同步]\r\n来源=" + settings.source + "\r\n";
  if (settings.interval_seconds != kSyncLookIntervalMs / 1000)
    text += "间隔=" + std::to_string(settings.interval_seconds) + "\r\n";
  if (settings.server_time)
    text += std::string("按服务器时间=") + YesNo(*settings.server_time) + "\r\n";
  if (!settings.name.empty()) text += "名称=" + settings.name + "\r\n";
  if (!settings.report) text += "回报=否\r\n";
  if (!settings.campus_folder.empty()) text += "全校状态=" + settings.campus_folder + "\r\n";
  if (settings.taken.empty()) return text;
  text += "\r\n";
  text += kTakenHeader;
  text += "\r\n";
  int number = 0;
  for (const auto& [name, taken] : settings.taken) {
    text += std::to_string(++number) + "=" + std::to_string(taken.source.size) + "," +
            std::to_string(taken.source.write_time) + "," + std::to_string(taken.local.size) + "," +
            std::to_string(taken.local.write_time) + "," + name + "\r\n";
  }
  return text;
}

SyncSettings ParseSyncSettings(std::string_view bytes) {
  SyncSettings settings;
  const ProfileDocument document = ProfileDocument::FromBytes(bytes);
  // The taken lines are read from the text, as GBK whatever encoding the file was saved in.
  const std::string text = GbkTextOfFile(bytes);
  bytes = text;
  settings.source = document.Read("同步", "来源").Bytes();
  const std::string interval = document.Read("同步", "间隔").Bytes();
  settings.server_time = ReadYesNo(document.Read("同步", "按服务器时间").Bytes());
  settings.name = document.Read("同步", "名称").Bytes();
  settings.report = ReadYesNo(document.Read("同步", "回报").Bytes()).value_or(true);
  settings.campus_folder = document.Read("同步", "全校状态").Bytes();
  bool taken = interval.empty();
  if (!interval.empty() && interval.size() <= 4 &&
      interval.find_first_not_of("0123456789") == std::string::npos) {
    const int seconds = std::stoi(interval);
    taken = seconds >= kMinSyncIntervalSeconds && seconds <= 3600;
    if (taken) settings.interval_seconds = seconds;
  }
  if (!taken) settings.bad_interval = interval;
  bool in_taken = false;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find_first_of("\r\n");
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (line.starts_with('[')) {
      in_taken = line == kTakenHeader;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_taken || equals == std::string_view::npos) continue;
    line.remove_prefix(equals + 1);
    TakenFile taken;
    const auto source_size = NextNumber(line);
    const auto source_time = NextNumber(line);
    const auto local_size = NextNumber(line);
    const auto local_time = NextNumber(line);
    if (!source_size || !source_time || !local_size || !local_time || line.empty()) continue;
    taken.source = {*source_size, *source_time};
    taken.local = {*local_size, *local_time};
    settings.taken[std::string(line)] = taken;
  }
  return settings;
}

SyncSettings ReadSyncSettings(const TextValue& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  return bytes ? ParseSyncSettings(*bytes) : SyncSettings{};
}

bool WriteSyncSettings(const TextValue& path, const SyncSettings& settings) {
  return ReplaceWholeFile(path, SyncSettingsText(settings));
}

}  // namespace belvane
