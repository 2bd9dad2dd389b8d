#pragma once
// The timetable's rules that need no window: time texts, row counts, insertion positions and
// the missing-file marker. The model (timetable.h) and the handlers build on these.

#include <functional>
#include <string_view>

#include "runtime/text_value.h"

namespace belvane {

// One row per second of the day: the most rows a timetable can hold, and so the most a file's
// row count may ask for (a junk count must not hang the program or exhaust its memory).
inline constexpr int kMaxTimetableRows = 86400;

// Shown in front of a music name whose file was missing at load. Display only: the row keeps
// the bare name, and saving writes that.
inline constexpr std::string_view kMissingFileMarker = "--------音乐文件不存在：";

// Columns of a timetable row.
inline constexpr int kSequenceColumn = 0;
inline constexpr int kStartTimeColumn = 1;
inline constexpr int kMusicColumn = 2;
inline constexpr int kSecondsColumn = 3;

// Seconds named by "H:M:S", "M:S" or a plain number of seconds; parts that are not numbers
// count as 0.
int TimeTextToSeconds(const TextValue& text);

// The row count a "total"/"n" value asks for: 0 for an empty, negative or non-numeric value,
// at most kMaxTimetableRows.
int RowCountFromText(const TextValue& text);

// FindInsertPosition's answer when a row already has the given seconds.
inline constexpr int kTimeTaken = -1;

// Where a row of `seconds` goes among `row_count` rows whose seconds `seconds_of_row` gives,
// scanning from the bottom up as the editing rules say: just below the lowest row with fewer
// seconds, 0 when the scan passes the top, kTimeTaken when it meets an equal value first.
int FindInsertPosition(int row_count, const std::function<int(int row)>& seconds_of_row,
                       int seconds);

// The music cell's text for `name`: the name itself, or the marker and the name when the file
// is missing.
TextValue ShownMusicText(const TextValue& name, bool file_exists);

}  // namespace belvane
