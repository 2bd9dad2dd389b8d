#pragma once
// The rows an exam day rings, as a timetable: the clock, the bell worker and the record take
// them as they take any timetable's.
//
// Thread policy: pure; safe from any thread.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/exam_day.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {

// The name of an exam day's rows (TimetableSnapshot::Name).
inline constexpr const char* kExamRowsName = "考试";

// Whether a music file of the music folder is there.
using MusicExists = std::function<bool(std::string_view music)>;

// The rows of a date with sessions: the sessions' rows first, by second, each "HH:MM:SS" with
// its source "考试 <科目>" and its missing-file mark from `exists`; then, when the date's
// timetable rings too, `timetable`'s rows as they are, their source `timetable_name`. A
// timetable row on a second an exam row holds stays listed but never rings (the clock takes the
// first row of a time).
std::vector<TimetableEntry> ExamDayRows(const ExamDay& day,
                                        std::span<const TimetableEntry> timetable,
                                        std::string_view timetable_name, const MusicExists& exists);

// "考试 语文".
std::string ExamRowSource(std::string_view subject);

}  // namespace belvane
