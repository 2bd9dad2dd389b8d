#include "app/timetable/timetable_csv.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>

#include "app/schedule/session_csv.h"

namespace belvane {

namespace {

std::string Cell(const CsvRow& row, std::size_t k) {
  return k < row.fields.size() ? std::string(TrimmedField(row.fields[k])) : std::string();
}

bool IsHeader(const CsvRow& row) {
  return Cell(row, 0) == kTimetableCsvHeader[0] && Cell(row, 1) == kTimetableCsvHeader[1];
}

// A bare file name (or none: a row added by hand may have none): no folder part, nothing the file
// system refuses, and no "?", which is what a character GBK lacks became on the way in. Walked as
// GBK: a trail byte may be "\" or "|".
bool UsableMusicName(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (c < 32 ||
        std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      return false;
  }
  return name != "." && name != "..";
}

std::string TimeText(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

}  // namespace

TimetableCsvRead TimetableFromCsv(const std::vector<CsvRow>& rows) {
  TimetableCsvRead read;
  std::map<int, int> line_of_second;  // the rows taken, by second
  std::vector<std::pair<int, TimetableEntry>> taken;
  bool first = true;
  for (const CsvRow& row : rows) {
    const auto refuse = [&read, &row](std::string why) {
      read.problems.push_back({row.line, std::move(why)});
    };
    if (row.unclosed_quote) {
      refuse("引号没有配对，文件可能不完整");
      continue;
    }
    if (BlankRow(row)) continue;
    const bool header = first && IsHeader(row);
    first = false;
    if (header) continue;
    const std::string time_text = Cell(row, 0);
    const std::string music = Cell(row, 1);
    const std::optional<int> seconds = SpreadsheetTimeSeconds(time_text);
    if (!seconds) {
      refuse("时间无法识别：“" + time_text + "”（应如 8:00 或 08:00:00）");
      continue;
    }
    if (!UsableMusicName(music)) {
      refuse("音乐文件名无法使用：“" + music +
             "”（应为音乐文件夹中的文件名，不能含有 \\ / : * ? \" < > | 或本机无法显示的字符）");
      continue;
    }
    if (std::string extra = ExtraCellsProblem(row, 2); !extra.empty()) {
      refuse(std::move(extra));
      continue;
    }
    const auto [at, added] = line_of_second.try_emplace(*seconds, row.line);
    if (!added) {
      refuse("与第 " + std::to_string(at->second) + " 行的时间相同：同一秒只能打一次铃");
      continue;
    }
    taken.emplace_back(*seconds,
                       TimetableEntry{TimeText(*seconds), music, std::to_string(*seconds), false});
  }
  std::stable_sort(taken.begin(), taken.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  read.rows.reserve(taken.size());
  for (auto& [seconds, entry] : taken) read.rows.push_back(std::move(entry));
  return read;
}

std::string TimetableCsvText(std::span<const TimetableEntry> rows) {
  std::vector<std::vector<std::string>> cells;
  cells.reserve(rows.size() + 1);
  cells.push_back({std::begin(kTimetableCsvHeader), std::end(kTimetableCsvHeader)});
  for (const TimetableEntry& row : rows)
    cells.push_back({row.start_time.Bytes(), row.music_name.Bytes()});
  return CsvText(cells);
}

}  // namespace belvane
