#include "app/bell/bell_record.h"

#include <algorithm>
#include <cstdio>

#include "audio/device_retry.h"

namespace belvane {

namespace {

constexpr std::int64_t kMsPerDay = 86400 * 1000;

// The stamp, then each field after a tab.
template <class... Field>
std::string Line(const RecordTime& time, const Field&... fields) {
  std::string line = RecordStamp(time);
  ((line += '\t', line += std::string_view(fields)), ...);
  return line;
}

std::string Count(const char* label, int n, const char* unit) {
  return std::string(label) + " " + std::to_string(n) + " " + unit;
}

}  // namespace

std::string RecordStamp(const RecordTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

const char* BellResultText(BellResult result) {
  switch (result) {
    case BellResult::kPlayed:
      return "已播放";
    case BellResult::kFileMissing:
      return "文件缺失";
    case BellResult::kCannotPlay:
      return "无法播放";
    case BellResult::kNoDevice:
      return "无音频设备";
    case BellResult::kMissed:
      return "错过";
  }
  return "";
}

BellResult ClassifyPlay(const PlayFacts& facts) {
  if (facts.opened && facts.playing) return BellResult::kPlayed;
  if (!facts.opened && !facts.file_exists) return BellResult::kFileMissing;
  // The same rule the player retries the device by.
  if (IsDeviceError(facts.library_error)) return BellResult::kNoDevice;
  return BellResult::kCannotPlay;
}

std::int64_t LatenessMs(int due_second, const RecordTime& now) {
  const std::int64_t now_ms =
      (std::int64_t{now.hour} * 3600 + now.minute * 60 + now.second) * 1000 + now.millisecond;
  const std::int64_t ms = now_ms - std::int64_t{due_second} * 1000;
  return ms <= -kEarlyToleranceMs ? ms + kMsPerDay : ms;
}

bool DailyLook::Due(const RecordTime& now, int* next_ms) {
  const int ms_into_day = ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.millisecond;
  *next_ms = std::min(static_cast<int>(kMsPerDay) - ms_into_day + 50, 60 * 1000);
  const int day = DayOf(now);
  if (day == day_) return false;
  day_ = day;
  return true;
}

std::string LatenessText(std::int64_t ms) {
  return (ms < 0 ? "-" : "+") + std::to_string(ms < 0 ? -ms : ms) + " ms";
}

std::string StartedLine(const RecordTime& time, std::string_view folder, int rows,
                        int missing_rows) {
  return Line(time, "启动", folder, Count("时间表", rows, "行"),
              Count("文件缺失", missing_rows, "行"));
}

std::string EndedLine(const RecordTime& time) {
  return Line(time, "退出");
}

std::string SecondCopyLine(const RecordTime& time) {
  return Line(time, "再次启动", "已切换到正在运行的窗口");
}

std::string MissingFileLine(const RecordTime& time, int row, std::string_view start_time,
                            std::string_view music) {
  return Line(time, "文件缺失", std::to_string(row), start_time, music);
}

std::string ScheduledBellLine(const RecordTime& time, int row, std::string_view start_time,
                              std::string_view music, BellResult result, std::int64_t lateness_ms,
                              std::string_view timetable, const BellHeard& heard) {
  std::string result_text = BellResultText(result);
  if (!heard.silent_reason.empty()) result_text = "无声（" + heard.silent_reason + "）";
  std::string line = Line(time, "定时", std::to_string(row), start_time, music, result_text,
                          LatenessText(lateness_ms));
  if (!timetable.empty()) (line += '\t') += timetable;
  if (heard.muted) line += "\t静音";
  return line;
}

std::string VolumeLine(const RecordTime& time, std::string_view kind, std::string_view file,
                       std::string_view text) {
  std::string line = Line(time, "音量", kind);
  if (!file.empty()) (line += '\t') += file;
  if (!text.empty()) (line += '\t') += text;
  return line;
}

std::string TodayLine(const RecordTime& time, std::string_view name, std::string_view why) {
  return Line(time, "今日", name, why);
}

std::string ExamTodayLine(const RecordTime& time, std::string_view count, std::string_view sessions,
                          std::string_view with_timetable) {
  std::string line = Line(time, "今日", "考试", count, sessions);
  if (!with_timetable.empty()) (line += "\t同时打课表 ") += with_timetable;
  return line;
}

std::string PlanUnreadLine(const RecordTime& time, std::string_view line) {
  return Line(time, "日历", "无法识别", line);
}

std::string FileUnreadableLine(const RecordTime& time, bool plan, std::string_view file,
                               std::string_view reason) {
  return Line(time, plan ? "日历" : "课表", "无法读取", file, reason);
}

std::string MissedSummaryLine(const RecordTime& time, std::int64_t rows, const RecordTime& first,
                              const RecordTime& last) {
  return Line(time, BellResultText(BellResult::kMissed), std::to_string(rows) + " 行",
              RecordStamp(first) + "~" + RecordStamp(last));
}

std::string ManualPlayLine(const RecordTime& time, std::string_view music, BellResult result) {
  return Line(time, "手动", "播放", music, BellResultText(result));
}

std::string ManualStopLine(const RecordTime& time, std::string_view music) {
  return Line(time, "手动", "停止", music);
}

std::string SaveLine(const RecordTime& time, bool saved, int rows) {
  return saved ? Line(time, "保存", "已保存", Count("时间表", rows, "行"))
               : Line(time, "保存", "保存失败");
}

std::string AudioDeviceLine(const RecordTime& time, bool back) {
  return Line(time, "音频设备", back ? "恢复" : "丢失");
}

std::string OutputLine(const RecordTime& time, std::string_view name, bool missing) {
  return missing ? Line(time, "设备", "未找到", name, "改用默认") : Line(time, "设备", name);
}

std::string MediaMissingLine(const RecordTime& time) {
  return Line(time, "解码", "缺少媒体功能", "mp3/m4a/wma 无法播放，请安装媒体功能包");
}

std::string AutostartLine(const RecordTime& time, bool on, bool done, std::string_view command) {
  if (!done) return Line(time, "开机自动启动", on ? "开启失败" : "关闭失败");
  return on ? Line(time, "开机自动启动", "已开启", command) : Line(time, "开机自动启动", "已关闭");
}

std::string WakeLine(const RecordTime& time, std::string_view what) {
  return Line(time, "唤醒", what);
}

std::string SyncUnreachableLine(const RecordTime& time, std::string_view source,
                                std::string_view reason) {
  return Line(time, "同步", "无法访问", source, reason);
}

std::string SyncBackLine(const RecordTime& time) {
  return Line(time, "同步", "恢复");
}

std::string SyncFilesLine(const RecordTime& time, bool removed,
                          const std::vector<std::string>& names) {
  std::string line =
      Line(time, "同步", removed ? "已删除" : "已更新", std::to_string(names.size()) + " 个文件");
  for (std::size_t i = 0; i < names.size() && i < kSyncNamesListed; ++i) line += '\t' + names[i];
  if (names.size() > kSyncNamesListed) line += "\t等";
  return line;
}

std::string SyncNotTakenLine(const RecordTime& time, std::string_view name, std::string_view why) {
  return Line(time, "同步", "未取", name, why);
}

std::string SyncBackedUpLine(const RecordTime& time, std::string_view name) {
  return Line(time, "同步", "已备份", name);
}

std::string SyncFolderEmptyLine(const RecordTime& time, std::string_view folder) {
  return Line(time, "同步", "文件夹为空", folder);
}

std::string SyncIntervalLine(const RecordTime& time, std::string_view interval, int used_seconds) {
  return Line(time, "同步", "间隔无效", interval, "使用 " + std::to_string(used_seconds) + " 秒");
}

std::string ClockOffLine(const RecordTime& time, std::string_view offset) {
  return Line(time, "时钟", "偏差", offset);
}

std::string ClockBackLine(const RecordTime& time) {
  return Line(time, "时钟", "正常");
}

}  // namespace belvane
