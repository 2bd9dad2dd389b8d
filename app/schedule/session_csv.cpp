#include "app/schedule/session_csv.h"

#include "app/schedule/exam_day.h"

#include <cstdio>

namespace belvane {

namespace {

// The number of 1 to `most` decimal digits; -1 for anything else.
int Digits(std::string_view text, std::size_t most) {
  if (text.empty() || text.size() > most) return -1;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string Cell(const CsvRow& row, std::size_t k) {
  return k < row.fields.size() ? std::string(TrimmedField(row.fields[k])) : std::string();
}

bool IsHeader(const CsvRow& row) {
  for (std::size_t k = 0; k < std::size(kSessionCsvHeader); ++k) {
    if (Cell(row, k) != kSessionCsvHeader[k]) return false;
  }
  return true;
}

// "“2027-13-01”".
std::string Quoted(std::string_view text) {
  return "“" + std::string(text) + "”";
}

}  // namespace

std::optional<int> SpreadsheetTimeSeconds(std::string_view text) {
  const std::size_t first = text.find(':');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = text.find(':', first + 1);
  const std::string_view minutes = text.substr(first + 1, second - first - 1);
  const int hour = Digits(text.substr(0, first), 2);
  const int minute = minutes.size() == 2 ? Digits(minutes, 2) : -1;
  int seconds = 0;
  if (second != std::string_view::npos) {
    const std::string_view rest = text.substr(second + 1);
    seconds = rest.size() == 2 ? Digits(rest, 2) : -1;
  }
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || seconds < 0 || seconds > 59)
    return std::nullopt;
  return hour * 3600 + minute * 60 + seconds;
}

std::optional<PlanDate> SpreadsheetDate(std::string_view text) {
  const std::size_t first = text.find_first_of("-/");
  if (first != 4) return std::nullopt;
  const std::size_t second = text.find(text[first], first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const int year = Digits(text.substr(0, 4), 4);
  const int month = Digits(text.substr(first + 1, second - first - 1), 2);
  const int day = Digits(text.substr(second + 1), 2);
  if (year < 0 || month < 0 || day < 0) return std::nullopt;
  // The plan's own reading decides which dates exist.
  char plan_form[32];
  std::snprintf(plan_form, sizeof plan_form, "%04d-%02d-%02d", year, month, day);
  return ParsePlanDate(plan_form);
}

std::string ExtraCellsProblem(const CsvRow& row, std::size_t used) {
  for (std::size_t k = used; k < row.fields.size(); ++k) {
    if (!TrimmedField(row.fields[k]).empty())
      return "多出一列：" + Quoted(TrimmedField(row.fields[k]));
  }
  return {};
}

bool BlankRow(const CsvRow& row) {
  for (const std::string& field : row.fields) {
    if (!TrimmedField(field).empty()) return false;
  }
  return true;
}

SessionCsvRead SessionsFromCsv(const std::vector<CsvRow>& rows) {
  SessionCsvRead read;
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
    const std::string date_text = Cell(row, 0);
    const std::string start_text = Cell(row, 1);
    const std::string end_text = Cell(row, 2);
    const std::string subject = Cell(row, 3);
    const std::optional<PlanDate> date = SpreadsheetDate(date_text);
    const std::optional<int> start = SpreadsheetTimeSeconds(start_text);
    const std::optional<int> end = SpreadsheetTimeSeconds(end_text);
    if (!date) {
      refuse("日期无法识别：" + Quoted(date_text) + "（应如 2027-06-07 或 2027/6/7）");
    } else if (!start) {
      refuse("开始时间无法识别：" + Quoted(start_text) + "（应如 9:00 或 09:00:00）");
    } else if (!end) {
      refuse("结束时间无法识别：" + Quoted(end_text) + "（应如 11:30 或 11:30:00）");
    } else if (*end <= *start) {
      refuse("结束时间" + Quoted(end_text) + "不在开始时间" + Quoted(start_text) + "之后");
    } else if (subject.empty()) {
      refuse("没有科目");
    } else if (subject.find_first_of("\r\n") != std::string::npos) {
      refuse("科目中有换行");
    } else if (std::string extra = ExtraCellsProblem(row, 4); !extra.empty()) {
      refuse(std::move(extra));
    } else {
      read.sessions.push_back({*date, *start, *end, subject});
    }
  }
  return read;
}

std::string SessionsCsvText(const std::vector<ExamSession>& sessions) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(sessions.size() + 1);
  rows.push_back({std::begin(kSessionCsvHeader), std::end(kSessionCsvHeader)});
  for (const ExamSession& s : sessions) {
    rows.push_back({PlanDateText(s.date), ExamClockText(s.start_second),
                    ExamClockText(s.end_second), s.subject});
  }
  return CsvText(rows);
}

}  // namespace belvane
