#include "app/schedule/exam_rows.h"

#include <cstdio>
#include <map>

namespace belvane {

std::string ExamRowSource(std::string_view subject) {
  return std::string(kExamRowsName) + " " + std::string(subject);
}

std::vector<TimetableEntry> ExamDayRows(const ExamDay& day,
                                        std::span<const TimetableEntry> timetable,
                                        std::string_view timetable_name,
                                        const MusicExists& exists) {
  std::vector<TimetableEntry> rows;
  rows.reserve(day.rows.size() + timetable.size());
  // One look per file: a template names the same seven files for every session.
  std::map<std::string, bool> there;
  for (const ExamRow& row : day.rows) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", row.second / 3600, row.second / 60 % 60,
                  row.second % 60);
    TimetableEntry& entry = rows.emplace_back();
    entry.start_time = TextValue(time);
    entry.music_name = TextValue(row.music);
    entry.seconds = TextValue(std::to_string(row.second));
    const auto [it, added] = there.try_emplace(row.music, true);
    if (added && exists) it->second = exists(row.music);
    entry.music_missing = !it->second;
    entry.source = ExamRowSource(row.subject);
  }
  if (!day.with_timetable) return rows;
  for (const TimetableEntry& row : timetable) {
    TimetableEntry& entry = rows.emplace_back(row);
    if (entry.source.empty()) entry.source = std::string(timetable_name);
  }
  return rows;
}

}  // namespace belvane
