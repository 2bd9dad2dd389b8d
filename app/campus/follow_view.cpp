#include "app/campus/follow_view.h"

#include <cmath>
#include <cstdio>

namespace belvane {

namespace {

// "3.2": seconds to a tenth.
std::string Tenths(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

// Local minus server: a positive offset is a clock ahead of the server's.
std::string OffsetWords(double offset_seconds) {
  return std::string("本机时钟比服务器") + (offset_seconds > 0 ? "快 " : "慢 ") +
         Tenths(std::abs(offset_seconds)) + " 秒";
}

// The offset's words while the clock counts as off (with the record's hysteresis).
std::string OffsetShown(const FollowStatus& status) {
  if (!status.clock_offset_seconds) return {};
  if (status.clock_off) return OffsetWords(*status.clock_offset_seconds);
  return ClockOffsetText(status.clock_offset_seconds);
}

}  // namespace

std::string ClockOffsetText(std::optional<double> offset_seconds) {
  if (!offset_seconds || !(std::abs(*offset_seconds) > kClockOffsetLimitSeconds)) return {};
  return OffsetWords(*offset_seconds);
}

std::vector<std::string> FollowLines(const FollowStatus& status, bool following) {
  if (!following) return {};
  std::vector<std::string> lines{"由 " + status.source + " 管理，" +
                                 (status.last_taken_at.empty()
                                      ? std::string("尚未同步")
                                      : "最后同步 " + status.last_taken_at)};
  if (std::string clock = OffsetShown(status); !clock.empty()) lines.push_back(std::move(clock));
  return lines;
}

std::string FollowStatusText(const FollowStatus& status, bool following) {
  if (!following) return "没有跟随共享文件夹：本机的课表和日历在本机编辑。";
  std::string text = "来源：" + status.source;
  text += status.reachable ? "\r\n状态：可以访问" : "\r\n状态：无法访问（" + status.reason + "）";
  text += "\r\n最后同步：" + (status.last_taken_at.empty() ? "尚未同步" : status.last_taken_at);
  text += "\r\n问题：" + (status.problem.empty() ? "无" : status.problem);
  text += "\r\n时钟：";
  if (!status.clock_offset_seconds) {
    text += "没有取得服务器的时间";
  } else if (std::string clock = OffsetShown(status); !clock.empty()) {
    text += clock;
  } else {
    text += "与服务器一致（相差 " + Tenths(std::abs(*status.clock_offset_seconds)) + " 秒）";
  }
  if (status.on_server_time) text += "，按服务器时间响铃";
  if (!status.report_problem.empty()) text += "\r\n回报：" + status.report_problem;
  return text;
}

}  // namespace belvane
