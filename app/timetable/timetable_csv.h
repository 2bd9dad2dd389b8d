#pragma once
// A timetable's rows as a spreadsheet holds them: "时间,音乐", a header row optional; times
// "8:00" or "08:00:00", the music a file name of the music folder. Rows read become
// "HH:MM:SS" rows in time order, as rows added by hand are, so the clock finds them.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <span>
#include <string>
#include <vector>

#include "app/schedule/timetable_snapshot.h"
#include "runtime/csv.h"

namespace belvane {

// What a CSV file of rows holds: the rows in time order, and every line that cannot be read
// (a second taken twice counts too: a timetable rings once a second). The caller replaces the
// shown timetable by all the rows or, while there are problems, changes nothing.
struct TimetableCsvRead {
  std::vector<TimetableEntry> rows;
  std::vector<CsvLineProblem> problems;
};
TimetableCsvRead TimetableFromCsv(const std::vector<CsvRow>& rows);

// The file's text (GBK, CR LF): the header, then each row's time and music as the rows hold them.
std::string TimetableCsvText(std::span<const TimetableEntry> rows);

inline constexpr const char* kTimetableCsvHeader[] = {"时间", "音乐"};

}  // namespace belvane
