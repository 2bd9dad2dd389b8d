#pragma once
// The plan of which timetable rings on which date: the file "Belvane日历.ini" as data, and the
// rule that picks a date's timetable from it.
//
// The file (GBK, CRLF, edited by hand too), every section optional:
//   [每周]                      周一=常规 ... 周日=停铃          the weekly plan
//   [每周 2027-05-01~2027-09-30] 周一=夏季                       a seasonal weekly plan
//   [日期]                      2027-02-07=按周五, 2027-01-01=停铃 元旦
//   [停铃]                      2027-07-10~2027-08-31=暑假
//   [考试], [考试铃]             exam sessions and their announcements (app/schedule/exam_day.h)
// A value is a timetable's name, "停铃" with an optional reason after one blank, or (in [日期]
// only) "按周一" ... "按周日". Dates are YYYY-MM-DD; a range "from~to" holds both ends.
//
// A date with exam sessions rings their announcements whatever the steps below say, and the
// timetable they pick only with 同时打课表=是.
// Which timetable rings on date D, the first step that applies:
//   1. the first [日期] line for D; "按周X" rings what a day of weekday X rings in D's weekly
//      plan (step 3), whatever step 2 says;
//   2. a [停铃] range holding D (the first in the file): no bells;
//   3. the weekly plan holding D: the seasonal section with the shortest range holding D (ties:
//      the first in the file), else [每周]; its entry for D's weekday, else [每周]'s, else 常规;
//   4. 常规.
// A line that cannot be read is kept aside, as written, and counts as absent: a bad line never
// silences a day, it falls through to the next step.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <array>
#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/exam_day.h"
#include "app/schedule/plan_date.h"

namespace belvane {

// The timetable of "Belvane配置.ini"; always exists.
inline constexpr const char* kDefaultTimetableName = "常规";
// The value, and the reserved name, of a day without bells.
inline constexpr const char* kQuietValue = "停铃";

// A line's value.
struct PlanValue {
  enum class Kind { kTimetable, kQuiet, kAsWeekday };
  Kind kind = Kind::kTimetable;
  std::string name;    // kTimetable: the timetable's name
  std::string reason;  // kQuiet: the text after the blank, possibly empty
  int weekday = 0;     // kAsWeekday: 0 = Monday ... 6 = Sunday
};
// The value as the file writes it: "考试", "停铃 元旦", "停铃", "按周五".
std::string PlanValueText(const PlanValue& value);

// A weekly plan: an entry (timetable or quiet) per weekday, Monday first; none where absent.
struct WeekPlan {
  std::array<std::optional<PlanValue>, 7> days;
};
// `line`, in each of these: where it stands in DayPlan::lines (a season: its first header); -1
// for one not read from the file, which writing adds.
struct SeasonalWeek {
  DateRange range;
  WeekPlan week;
  int line = -1;
};
struct DatedLine {
  PlanDate date;
  PlanValue value;
  int line = -1;
};
struct QuietRange {
  DateRange range;
  std::string reason;  // possibly empty
  int line = -1;
};
// A line that could not be read, kept as written, with the header of the section it stood in
// ("[每周]", "[每周 2027-13-01~2027-09-30]"; empty before any header).
struct UnreadLine {
  std::string section;
  std::string text;
};

// A line of the file as read. Writing goes through these, so what the user wrote stays where it
// stood (comments, blank lines, lines that cannot be read, the order of everything) and only
// what was edited changes.
struct PlanFileLine {
  enum class Kind { kOther, kHeader, kEntry };  // kOther: blank, comment or not read
  enum class Section { kNone, kWeekly, kSeasonal, kDated, kQuiet, kExams, kExamBells, kUnknown };
  Kind kind = Kind::kOther;
  Section section = Section::kNone;  // of the block it stands in
  std::string text;                  // as written, without its line end
  std::string read_as;               // a season's header or an entry as WriteDayPlan puts it
  int season = -1;                   // kSeasonal: the season's SeasonalWeek::line
  int weekday = -1;                  // a weekly or seasonal entry's day
};

struct DayPlan {
  WeekPlan weekly;                    // [每周]
  std::vector<SeasonalWeek> seasons;  // [每周 from~to], in file order
  std::vector<DatedLine> dates;       // [日期], in file order (a later line for a date is kept
                                      // but never decides)
  std::vector<QuietRange> quiet;      // [停铃], in file order
  ExamPlan exams;                     // [考试] and [考试铃]
  std::vector<UnreadLine> unread;     // in file order
  std::vector<PlanFileLine> lines;    // the file as read; empty for a plan made otherwise
};

// Whether a timetable of this name exists (has its file); the default one always does.
using TimetableExists = std::function<bool(std::string_view name)>;

// Reads the plan file's text (GBK, as ReadPlanFile hands it over whatever encoding the file was
// saved in; CRLF, LF or CR), every line kept in `lines`. Blank lines and comment lines (";"
// first) are skipped; every other line that cannot be read (a bad or impossible date, an unknown
// weekday, a range ending before it starts, a value naming no timetable `exists` knows, a line
// outside any known section, an exam session or announcement that is none) goes to `unread`, as
// written; so does each announcement of a session that would fall on another date, after the
// file's lines, under "[考试]" (ExamDay::off_date's text).
DayPlan ReadDayPlan(std::string_view file_text, const TimetableExists& exists);
// The plan as file text, GBK with CRLF: the file's lines as read, each entry the plan still has
// in its place (as written when unchanged, else rewritten), an entry it no longer has left out
// (a removed season with its whole block); then a new entry at the end of its section's last
// block, and a section the file lacks at the end ([每周], new seasons, [日期], [停铃], [考试],
// [考试铃], each only when it has a line), after one blank line.
std::string WriteDayPlan(const DayPlan& plan);

// Which timetable rings on a date, and why.
struct DayChoice {
  enum class Step { kDated, kQuietRange, kWeekly, kSeasonal, kDefault };
  Step step = Step::kDefault;
  bool quiet = false;
  std::string name;    // the timetable that rings; empty when quiet
  std::string reason;  // quiet: the reason given, else the deciding line (`why`)
  // The deciding line: "日期 2027-06-07", "停铃 2027-07-10~2027-08-31",
  // "每周 2027-05-01~2027-09-30 周一", "每周 周三", "默认".
  std::string why;
  // The date's exam sessions, in time order: they ring, and the timetable above rings too only
  // when `with_timetable`.
  std::vector<ExamSession> exams = std::vector<ExamSession>();
  bool with_timetable = false;
  bool operator==(const DayChoice&) const = default;
};
DayChoice ResolveDay(const DayPlan& plan, PlanDate date);
// The same without the date's exam sessions: the timetable the steps above pick.
DayChoice ResolveTimetable(const DayPlan& plan, PlanDate date);

// The plan's lines whose value names timetable `name`, as the file writes them ("周一=考试",
// "2027-06-07=考试"), in file order.
std::vector<std::string> LinesNaming(const DayPlan& plan, std::string_view name);
// Every value naming `from` names `to` instead; returns how many changed.
int RenameInPlan(DayPlan& plan, std::string_view from, std::string_view to);

}  // namespace belvane
