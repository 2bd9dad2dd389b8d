// Shows the plan window over a sample program folder (a school year's plan around today: an exam
// day today, a seasonal plan, holidays, one line that cannot be read, an exam week's sessions
// from today with a clash; two timetables, one music file missing) for a few seconds, for
// screenshots of the real rendering. The folder is made in the temporary folder and left there.
// With "hall", the exam-hall clock instead, a session starting in a little over eight minutes.
// The plan window's "考场时钟" opens that clock too.
// Usage: ui_plan_preview.exe [hall] [seconds]  (default 5)

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/calendar/exam_hall_window.h"
#include "app/calendar/plan_window.h"
#include "app/schedule/exam_rows.h"
#include "app/schedule/day_plan.h"
#include "runtime/byte_block.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "ui/window_layer.h"

namespace {

using namespace belvane;

void Write(const TextValue& path, const std::string& text) {
  WriteWholeFile(path, ByteBlock(text));
}

// A timetable file of "time|music" rows.
std::string TimetableText(std::initializer_list<std::pair<const char*, const char*>> rows) {
  std::string time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  int n = 0;
  for (const auto& [t, m] : rows) {
    ++n;
    time += std::to_string(n) + "=" + t + "\r\n";
    music += std::to_string(n) + "=" + m + "\r\n";
    remark += std::to_string(n) + "=0\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + std::to_string(n) + "\r\n";
}

std::string Shifted(PlanDate date, int days) {
  return PlanDateText(DateOfClockDay(ClockDayOf(date) + days));
}

TextValue MakeSampleFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const TextValue dir = ConcatTexts(temp, "belvane-plan-preview");
  CreateDirectoryA(dir.CStr(), nullptr);
  CreateDirectoryA(ConcatTexts(dir, "\\mp3").CStr(), nullptr);
  CreateDirectoryA(ConcatTexts(dir, "\\课表").CStr(), nullptr);
  for (const char* music : {"上课铃.mp3", "下课铃.mp3", "1.组织考生进入考场.m4a",
                            "5.请考生开始答题.m4a", "7.停止答题.m4a"})
    Write(ConcatTexts(dir, "\\mp3\\", music), "");
  Write(ConcatTexts(dir, "\\Belvane配置.ini"),
        TimetableText({{"07:50:00", "上课铃.mp3"}, {"08:35:00", "下课铃.mp3"}}));
  Write(ConcatTexts(dir, "\\课表\\考试.ini"), TimetableText({{"08:30:00", "1.组织考生进入考场.m4a"},
                                                             {"08:40:00", "2.宣读考试规则.m4a"},
                                                             {"09:00:00", "5.请考生开始答题.m4a"},
                                                             {"11:00:00", "7.停止答题.m4a"}}));
  Write(ConcatTexts(dir, "\\课表\\夏季.ini"),
        TimetableText({{"08:00:00", "上课铃.mp3"}, {"08:45:00", "下课铃.mp3"}}));

  SYSTEMTIME now{};
  GetLocalTime(&now);
  const PlanDate today{now.wYear, now.wMonth, now.wDay};
  const std::string year = std::to_string(today.year);
  Write(ConcatTexts(dir, "\\Belvane日历.ini"),
        "[每周]\r\n周一=常规\r\n周二=常规\r\n周三=常规\r\n周四=常规\r\n周五=常规\r\n"
        "周六=停铃\r\n周日=停铃 周末\r\n周八=常规\r\n\r\n"
        "[每周 " +
            year + "-05-01~" + year +
            "-09-30]\r\n周一=夏季\r\n周二=夏季\r\n周三=夏季\r\n"
            "周四=夏季\r\n周五=夏季\r\n\r\n"
            "[日期]\r\n" +
            PlanDateText(today) + "=考试\r\n" + Shifted(today, 1) + "=考试\r\n" +
            Shifted(today, 5) + "=按周五\r\n" + year +
            "-10-01=停铃 国庆节\r\n\r\n"
            "[停铃]\r\n" +
            year + "-07-10~" + year + "-08-31=暑假\r\n" + year + "-01-25~" + year +
            "-02-20=寒假\r\n\r\n"
            "[考试]\r\n" +
            PlanDateText(today) + " 09:00~11:00=语文\r\n" + PlanDateText(today) +
            " 11:30~13:00=历史\r\n" + PlanDateText(today) + " 15:00~17:00=数学\r\n" +
            Shifted(today, 1) + " 09:00~11:00=英语\r\n" + Shifted(today, 1) +
            " 15:00~16:30=物理\r\n");
  return dir;
}

UINT g_seconds = 5;

void CALLBACK EndPreview(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND window = FindWindowA("#32770", "日历：哪天用哪个课表"))
    PostMessageA(window, WM_CLOSE, 0, 0);
  if (HWND window = FindWindowW(L"BelvaneExamHallClock", nullptr))
    PostMessageW(window, WM_CLOSE, 0, 0);
}

// Today's session starting 8 to 9 minutes after the preview starts, on a minute, and its rows.
ExamHallDay SampleExamDay() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const PlanDate today{now.wYear, now.wMonth, now.wDay};
  const int second = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  const int start = std::min((second / 60 + 9) * 60, kSecondsPerExamDay - 2 * 3600 - 60);
  ExamPlan plan;
  plan.sessions.push_back({{today, start, start + 2 * 3600, "语文"}, -1});
  const ExamDay day = WorkOutExamDay(plan, today);
  return {day.sessions,
          std::make_shared<const TimetableSnapshot>(
              ExamDayRows(day, {}, "", [](std::string_view) { return true; }), kExamRowsName),
          std::nullopt};
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  std::string arguments = command_line ? command_line : "";
  const bool hall = arguments.starts_with("hall");
  if (hall) arguments.erase(0, 4);
  if (!arguments.empty()) g_seconds = static_cast<UINT>(std::atoi(arguments.c_str()));
  if (!StartWindowLayer()) return 1;
  if (hall) {
    SetTimer(nullptr, 0, g_seconds * 1000, &EndPreview);
    RunExamHallClock(nullptr, [day = SampleExamDay()] { return day; });
    StopWindowLayer();
    return 0;
  }
  const TextValue dir = MakeSampleFolder();
  SetTimer(nullptr, 0, g_seconds * 1000, &EndPreview);
  OpenPlanWindow(
      nullptr, dir, ConcatTexts(dir, "\\mp3"), false,
      {{"上课铃.mp3", "下课铃.mp3", "1.组织考生进入考场.m4a", "5.请考生开始答题.m4a",
        "7.停止答题.m4a"},
       [](HWND owner) { RunExamHallClock(owner, [day = SampleExamDay()] { return day; }); }});
  StopWindowLayer();
  return 0;
}
