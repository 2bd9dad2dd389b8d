#pragma once
// What the plan window (app/calendar/plan_window.h) shows of the plan being edited and how its
// edits go into that plan, without a window: the dated list's rows, the seasonal plans' summaries,
// the weekday drop-downs' choices, the dated line's edit, the exam part's lists and edits, and the
// preview's heading.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <optional>
#include <string>
#include <vector>

#include "app/schedule/day_plan.h"

namespace belvane {

// A line of the dated list: a [日期] line or a [停铃] range, by its place in the plan.
struct DatedLineRef {
  enum class Section { kDated, kQuiet };
  Section section = Section::kDated;
  int index = 0;  // into DayPlan::dates or DayPlan::quiet
  bool operator==(const DatedLineRef&) const = default;
};

// One row of the dated list.
struct DatedRow {
  DatedLineRef line;
  std::string date;  // "2027-06-07", "2027-07-10~2027-08-31"
  std::string plan;  // "考试", "按周五", "停铃"
  std::string note;  // a quiet line's reason, or why a [日期] line never decides
};
// Every [日期] line and [停铃] range, by their first date; on one date the [日期] lines come
// first (they decide), each section in file order.
std::vector<DatedRow> DatedRows(const DayPlan& plan);

// What the dated line's dialog edits: one date (from == to) or a range of days, and the value.
struct DatedEdit {
  DateRange dates;
  PlanValue value;
};
// The edit as the dialog starts with it for an existing line.
DatedEdit EditOfLine(const DayPlan& plan, DatedLineRef line);
// Why the edit cannot go into the plan (a text for the user's box); empty when it can.
std::string DatedEditProblem(const DatedEdit& edit);
// Puts the edit into the plan in place of `replacing`, or as a new line after the others. A
// range is a [停铃] line; one day is a [日期] line, except that a [停铃] line stays one. A line
// that changes section goes to the end of its new one. Returns where the line now is.
DatedLineRef PutDatedEdit(DayPlan& plan, std::optional<DatedLineRef> replacing,
                          const DatedEdit& edit);
// Removes the line; no effect when there is no such line.
void DeleteDatedLine(DayPlan& plan, DatedLineRef line);

// The timetables the drop-downs offer: `listed` (ListTimetableNames: "常规" first), then any
// name the plan uses that is not listed, so that no entry is lost to a choice it lacks.
std::vector<std::string> NamesOffered(std::vector<std::string> listed, const DayPlan& plan);
// A weekday drop-down's texts: the no-entry text ("（默认）", or "（同每周）" in a seasonal
// plan), "停铃", then `names`.
std::vector<std::string> WeekdayChoiceTexts(const std::vector<std::string>& names, bool seasonal);
// The drop-down's index for an entry: 0 none, 1 quiet, 2 on the names.
int WeekdayChoiceIndex(const std::optional<PlanValue>& entry,
                       const std::vector<std::string>& names);
// The entry an index stands for (none for 0 or an index outside the choices).
std::optional<PlanValue> WeekdayChoiceValue(int index, const std::vector<std::string>& names);

// "2027-05-01~2027-09-30  周一~周五=夏季 周六=停铃": the range, then the entries, runs of
// neighbouring days with one value joined; "（同每周）" when it has none.
std::string SeasonSummary(const SeasonalWeek& season);
// An unreadable line as the window lists it: "[每周] 周八=常规", or the text alone when it
// is its section's header.
std::string UnreadLineText(const UnreadLine& line);

// The preview's heading for a date: "2027-06-07 周一：考试（日期 2027-06-07）",
// "2027-07-12 周一 停铃：暑假（停铃 2027-07-10~2027-08-31）"; on a date with sessions
// "2027-06-07 周一：考试 2 场（语文 09:00~11:30; 数学 15:00~17:00），同时打常规".
std::string PreviewHeading(PlanDate date, const DayChoice& choice);

// ---- The exam part

// "09:00~11:30", "09:00:30~11:30".
std::string ExamTimesText(const ExamSession& session);
// Why the session cannot go into the plan (a text for the user's box); empty when it can.
std::string ExamSessionProblem(const ExamSession& session);
// The plan's sessions, in file order.
std::vector<ExamSession> PlanSessions(const ExamPlan& exams);
// Of `imported`, those the plan does not hold yet (nor an earlier imported line), in order.
std::vector<ExamSession> SessionsToAdd(const ExamPlan& exams,
                                       const std::vector<ExamSession>& imported);
// Appends the sessions after the plan's own.
void AddSessions(ExamPlan& exams, const std::vector<ExamSession>& sessions);

// Before the template is edited: a plan without [考试铃] takes the default template as its own
// lines, so that an edit (同时打课表 too) never leaves a template without the announcements it
// rang.
void OwnExamTemplate(ExamPlan& exams);
// "恢复默认": the default template's seven lines, 同时打课表 as it was.
void RestoreDefaultExamTemplate(ExamPlan& exams);

// The template line's dialog: when ("开始前", "开始", "开始后", "结束前", "结束", by index) and
// the minutes ("30", "1:30"; none for 开始 and 结束).
std::vector<std::string> ExamBellKindTexts();
struct ExamBellChoice {
  int kind = 0;
  std::string minutes;
  bool operator==(const ExamBellChoice&) const = default;
};
ExamBellChoice ChoiceOfExamBell(const ExamBell& bell);
// The line the choice and the file make; nothing when they make none (bad minutes, no file).
std::optional<ExamBell> ExamBellOfChoice(const ExamBellChoice& choice, const std::string& music);

}  // namespace belvane
