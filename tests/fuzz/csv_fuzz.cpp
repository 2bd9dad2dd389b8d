// The CSV reader on any (GBK) text, and the session and timetable readers on its rows: no fault;
// rows begin on increasing lines; rows written and read again keep their cells; what the readers
// take is well formed, written and read again alike; each line refused is a row's.
// fuzz-sources: runtime/csv.cpp app/schedule/session_csv.cpp app/timetable/timetable_csv.cpp
// fuzz-sources: app/schedule/day_plan.cpp app/schedule/exam_day.cpp runtime/text_convert.cpp
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/session_csv.h"
#include "app/timetable/timetable_csv.h"
#include "runtime/csv.h"

namespace {

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace belvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<CsvRow> rows = ParseCsv(text);

  const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n') +
                                         std::count(text.begin(), text.end(), '\r'));
  std::set<int> row_lines;
  int last = 0;
  for (const CsvRow& row : rows) {
    Require(row.line > last && row.line <= lines, "rows on increasing lines within the text");
    Require(!row.fields.empty(), "a row has a cell");
    last = row.line;
    row_lines.insert(row.line);
  }

  // A row that is one empty cell writes as a blank line, which reads as no row.
  std::vector<std::vector<std::string>> kept;
  for (const CsvRow& row : rows) {
    if (!row.unclosed_quote && !(row.fields.size() == 1 && row.fields[0].empty()))
      kept.push_back(row.fields);
  }
  const std::vector<CsvRow> again = ParseCsv(CsvText(kept));
  Require(again.size() == kept.size(), "rows written and read again are as many");
  for (std::size_t k = 0; k < kept.size(); ++k)
    Require(again[k].fields == kept[k] && !again[k].unclosed_quote, "and keep their cells");

  const SessionCsvRead sessions = SessionsFromCsv(rows);
  for (const ExamSession& s : sessions.sessions) {
    Require(s.start_second >= 0 && s.start_second < s.end_second && s.end_second < 86400,
            "a session ends after it starts, on its date");
    Require(!s.subject.empty(), "a session has a subject");
  }
  for (const CsvLineProblem& p : sessions.problems)
    Require(row_lines.count(p.line) == 1 && !p.why.empty(), "a session problem names a row");
  const SessionCsvRead sessions_again =
      SessionsFromCsv(ParseCsv(SessionsCsvText(sessions.sessions)));
  Require(sessions_again.problems.empty(), "written sessions read without problems");
  Require(sessions_again.sessions == sessions.sessions, "written sessions read alike");

  const TimetableCsvRead timetable = TimetableFromCsv(rows);
  for (std::size_t k = 0; k < timetable.rows.size(); ++k) {
    const TimetableEntry& e = timetable.rows[k];
    Require(e.start_time.Length() == 8 && e.start_time.View()[2] == ':', "rows are HH:MM:SS");
    Require(
        k == 0 || std::stoi(timetable.rows[k - 1].seconds.Bytes()) < std::stoi(e.seconds.Bytes()),
        "rows in time order, one a second");
  }
  for (const CsvLineProblem& p : timetable.problems)
    Require(row_lines.count(p.line) == 1 && !p.why.empty(), "a timetable problem names a row");
  const std::string written = TimetableCsvText(timetable.rows);
  const TimetableCsvRead timetable_again = TimetableFromCsv(ParseCsv(written));
  Require(timetable_again.problems.empty() && TimetableCsvText(timetable_again.rows) == written,
          "written rows read without problems and alike");
  return 0;
}
