#include "app/calendar/exam_hall_face.h"

#include <gtest/gtest.h>

namespace belvane {
namespace {

constexpr int H = 3600;
constexpr int M = 60;

TimetableEntry Row(const char* time, const char* music) {
  return {TextValue(time), TextValue(music), {}, false, {}};
}

TEST(ExamHallFaceTest, ShowsTheRunningOrNextSessionItsCountdownAndTheNextRow) {
  const std::vector<ExamSession> day{{{2027, 6, 7}, 15 * H, 17 * H, "数学"},
                                     {{2027, 6, 7}, 9 * H, 11 * H + 30 * M, "语文"}};
  // Out of order, as an exam day's rows with the timetable's rows after them are.
  const std::vector<TimetableEntry> rows{Row("09:00:00", "5.开始.m4a"),
                                         Row("08:30:00", "1.进场.m4a"),
                                         Row("11:30:00", "7.停止.m4a"), Row("8:05", "早读.mp3")};
  struct Case {
    int now;
    ExamHallFace face;
  };
  const Case cases[] = {
      {8 * H, {"08:00:00", "语文  09:00~11:30", "距离开考 1:00:00", "下一条 08:05:00  早读.mp3"}},
      {8 * H + 51 * M + 48,
       {"08:51:48", "语文  09:00~11:30", "距离开考 08:12", "下一条 09:00:00  5.开始.m4a"}},
      // On the start second the session runs; the row ringing now is not "next".
      {9 * H, {"09:00:00", "语文  09:00~11:30", "距离结束 2:30:00", "下一条 11:30:00  7.停止.m4a"}},
      {10 * H + 44 * M + 57,
       {"10:44:57", "语文  09:00~11:30", "距离结束 45:03", "下一条 11:30:00  7.停止.m4a"}},
      // Between sessions the next one counts down; no row is left.
      {11 * H + 30 * M, {"11:30:00", "数学  15:00~17:00", "距离开考 3:30:00", ""}},
      {17 * H, {"17:00:00", "数学  15:00~17:00", "考试结束", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(ExamHallFaceAt(c.now, day, rows), c.face) << c.now;

  EXPECT_EQ(ExamHallFaceAt(7 * H, {}, rows),
            (ExamHallFace{"07:00:00", "今天没有考试", "", "下一条 08:05:00  早读.mp3"}));
}

}  // namespace
}  // namespace belvane
