#pragma once
// What the exam-hall clock shows at a second of the day, worked out from today's sessions and
// the rows the clock rings today: the time, the current or next session, a countdown to its
// start or end, and the next announcement.
//
// Thread policy: pure; safe from any thread.

#include <span>
#include <string>
#include <vector>

#include "app/schedule/exam_session.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {

struct ExamHallFace {
  std::string time;     // "09:12:05"
  std::string session;  // "语文  09:00~11:30"; "今天没有考试"
  std::string countdown;  // "距离开考 08:12", "距离结束 1:45:03", "考试结束"; empty: no session
  std::string next;  // "下一条 09:30:00  5.请考生开始答题.m4a"; empty when none is left
  bool operator==(const ExamHallFace&) const = default;
};

// The face at `now` (seconds after midnight) for today's `sessions` (any order) and `rows` (the
// day's rows as published; their "HH:MM:SS" times, in any order). The session shown: the one
// running (the latest started), else the next to start, else the last ended.
ExamHallFace ExamHallFaceAt(int now, const std::vector<ExamSession>& sessions,
                            std::span<const TimetableEntry> rows);

}  // namespace belvane
