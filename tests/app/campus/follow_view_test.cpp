#include "app/campus/follow_view.h"

#include <gtest/gtest.h>

namespace belvane {
namespace {

using Lines = std::vector<std::string>;

TEST(FollowView, TodayLineAddsTheSourceTheLastSyncAndAClockBeyondTheLimit) {
  FollowStatus status;
  status.source = "\\\\教务处\\铃声";
  status.last_taken_at = "10:31:05";
  const struct {
    std::optional<double> offset;
    const char* clock;  // "" when the line says nothing of it
  } rows[] = {
      {std::nullopt, ""},  // not a UNC path, or the server does not tell its time
      {0.4, ""},
      {1.0, ""},  // the limit itself is no offset to show
      {-1.0, ""},
      {3.24, "本机时钟比服务器快 3.2 秒"},
      {-1.26, "本机时钟比服务器慢 1.3 秒"},
  };
  for (const auto& row : rows) {
    status.clock_offset_seconds = row.offset;
    Lines expected{"由 \\\\教务处\\铃声 管理，最后同步 10:31:05"};
    if (*row.clock) expected.push_back(row.clock);
    EXPECT_EQ(FollowLines(status, true), expected) << row.offset.value_or(0);
    EXPECT_EQ(ClockOffsetText(row.offset), row.clock);
  }
  // Once off, the line stays until the clock is back within half a second, as the record does.
  status.clock_offset_seconds = 0.8;
  status.clock_off = true;
  EXPECT_EQ(FollowLines(status, true).back(), "本机时钟比服务器快 0.8 秒");
  status.clock_off = false;
  EXPECT_EQ(FollowLines(status, false), Lines{}) << "not following: the line as it was";
  status.last_taken_at.clear();
  status.clock_offset_seconds.reset();
  EXPECT_EQ(FollowLines(status, true), Lines{"由 \\\\教务处\\铃声 管理，尚未同步"});
}

TEST(FollowView, StatusSaysWhyTheSourceCannotBeReadAndHowTheClockStands) {
  FollowStatus status{"Z:\\铃声", false, "找不到网络路径。", "", "课表\\考试.ini 读不完整", 0.3};
  EXPECT_EQ(FollowStatusText(status, true),
            "来源：Z:\\铃声\r\n状态：无法访问（找不到网络路径。）\r\n最后同步：尚未同步\r\n"
            "问题：课表\\考试.ini 读不完整\r\n时钟：与服务器一致（相差 0.3 秒）");
  status = {"D:\\共享", true, "", "08:00:00", "", std::nullopt};
  EXPECT_EQ(FollowStatusText(status, true),
            "来源：D:\\共享\r\n状态：可以访问\r\n最后同步：08:00:00\r\n问题：无\r\n"
            "时钟：没有取得服务器的时间");
  status.clock_offset_seconds = 2.0;
  status.on_server_time = true;
  status.report_problem = "无法写入回报：拒绝访问。";
  EXPECT_TRUE(FollowStatusText(status, true)
                  .ends_with("，按服务器时间响铃\r\n回报：无法写入回报：拒绝访问。"))
      << FollowStatusText(status, true);
}

}  // namespace
}  // namespace belvane
