#pragma once
// Exam days: the plan's sessions and the template of announcements each session rings, and the
// rows a date with sessions rings.
//
// In the plan file (both sections optional):
//   [考试]     2027-06-07 09:00~11:30=语文         a session: date, start~end (HH:MM[:SS]), subject
//   [考试铃]   开始前30分=1.组织考生进入考场.m4a     an announcement: when, and its file in mp3
//              同时打课表=是                          the date's timetable rings too
// When is 开始 or 结束, or 开始前N分 / 开始后N分 / 结束前N分 with N minutes or M:SS. Without
// [考试铃] the template is the seven announcements of DefaultExamBells.
//
// A date with sessions rings the template over each session, in time order, whatever else the
// plan says of the date (a vacation, a quiet date line); its timetable rings too only with
// 同时打课表=是. Two rows on one second: the first session's wins (within a session, the first
// template line's), the other is listed. A row that would fall on another date is listed and
// never rings.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/exam_session.h"
#include "app/schedule/plan_date.h"

namespace belvane {

inline constexpr int kSecondsPerExamDay = 24 * 60 * 60;

// One template line: its file rings `offset` seconds after the session's start or end (before
// when negative).
struct ExamBell {
  enum class Anchor { kStart, kEnd };
  Anchor anchor = Anchor::kStart;
  int offset = 0;
  std::string music;  // GBK, a file of the music folder
  int line = -1;      // where it stands in DayPlan::lines; -1: not read from the file
  bool operator==(const ExamBell&) const = default;
};

// A session and where it stands in DayPlan::lines (-1: not read from the file).
struct ExamSessionLine {
  ExamSession session;
  int line = -1;
};

// The plan's exam sections as read.
struct ExamPlan {
  std::vector<ExamSessionLine> sessions;  // [考试], in file order
  std::vector<ExamBell> bells;            // [考试铃]'s announcements, in file order
  bool has_template = false;              // [考试铃] is in the file (or was made): else default
  bool with_timetable = false;            // 同时打课表=是
  int with_timetable_line = -1;           // its line; -1: none in the file
};

// The seven announcements rung without [考试铃].
std::vector<ExamBell> DefaultExamBells();
// The template in force: [考试铃]'s lines, or the default one without that section.
std::vector<ExamBell> ExamTemplate(const ExamPlan& plan);

// "2027-06-07 09:00~11:30" / "... 09:00:30~11:30" and "语文": a session; nothing when either is
// not one (a bad date or time, the end not after the start, an empty subject).
std::optional<ExamSession> ParseExamSession(std::string_view key, std::string_view subject);
// The session's key as the file writes it: seconds only where they are not 0.
std::string ExamSessionKey(const ExamSession& session);
// "2027-06-07 09:00~11:30=语文".
std::string ExamSessionText(const ExamSession& session);
// "HH:MM" or "HH:MM:SS" of a second of the day.
std::string ExamClockText(int second);
// "开始前30分" and a file name: an announcement; nothing when the key is none or the name empty.
std::optional<ExamBell> ParseExamBell(std::string_view key, std::string_view music);
// "开始前30分", "开始后1:30分", "结束".
std::string ExamBellKey(const ExamBell& bell);
// "同时打课表".
std::string_view WithTimetableKey();

// One row of an exam day.
struct ExamRow {
  int second = 0;       // of the day
  std::string music;    // GBK
  std::string subject;  // its session's
  bool operator==(const ExamRow&) const = default;
};

// What a date's sessions ring.
struct ExamDay {
  std::vector<ExamSession> sessions;  // the date's, in time order
  std::vector<ExamRow> rows;          // by second, one per second
  // What cannot ring as written: a row on a second an earlier one holds, or on another date
  // ("2027-06-07 00:10~01:00=语文 开始前30分"), as the plan window lists it.
  std::vector<std::string> clashes;
  std::vector<std::string> off_date;
  bool with_timetable = false;
  bool operator==(const ExamDay&) const = default;
};

// The rows `plan`'s sessions ring on `date`; no sessions and no rows when it has none.
ExamDay WorkOutExamDay(const ExamPlan& plan, PlanDate date);

// Every row of every session that would fall on another date, as ExamDay::off_date lists it.
std::vector<std::string> OffDateRows(const ExamPlan& plan);

// The record's and the window's words for a date's sessions: "2 场" and
// "语文 09:00~11:30; 数学 15:00~17:00".
std::string ExamCountText(const std::vector<ExamSession>& sessions);
std::string ExamSessionsText(const std::vector<ExamSession>& sessions);

}  // namespace belvane
