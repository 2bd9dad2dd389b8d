#pragma once
// Exam sessions as a spreadsheet holds them: "日期,开始,结束,科目", a header row optional.
// Dates "2027-06-07" or "2027/6/7"; times "9:00" or "09:00:00"; blanks around a cell ignored.
// Written back with the header, dates "2027-06-07" and times "09:00" ("09:00:30" when the
// seconds are not 0), so what a spreadsheet saves again reads as the same sessions.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/exam_session.h"
#include "runtime/csv.h"

namespace belvane {

// Seconds after midnight of a time of day as a spreadsheet writes it: "H:MM" or "H:MM:SS"
// (hour 0 to 23 in one or two digits, minutes and seconds in two); nothing otherwise.
std::optional<int> SpreadsheetTimeSeconds(std::string_view text);
// "2027-06-07", "2027/6/7" (either separator, month and day in one or two digits) naming a date
// that exists; nothing otherwise.
std::optional<PlanDate> SpreadsheetDate(std::string_view text);

// What a CSV file of sessions holds: every session it names, in file order, and every line
// that cannot be read. The caller adds all the sessions or, while there are problems, none.
struct SessionCsvRead {
  std::vector<ExamSession> sessions;
  std::vector<CsvLineProblem> problems;
};
SessionCsvRead SessionsFromCsv(const std::vector<CsvRow>& rows);

// The file's text (GBK, CR LF): the header, then each session a row.
std::string SessionsCsvText(const std::vector<ExamSession>& sessions);

// The header row of the sessions' file.
inline constexpr const char* kSessionCsvHeader[] = {"日期", "开始", "结束", "科目"};

// Why the row's cells after the first `used` cannot be taken: a cell there that is not blank
// (a spreadsheet writes empty cells after the last column it has seen used); empty when none.
std::string ExtraCellsProblem(const CsvRow& row, std::size_t used);
// Whether every cell of the row is blank (a row a spreadsheet writes as ",,,").
bool BlankRow(const CsvRow& row);

}  // namespace belvane
