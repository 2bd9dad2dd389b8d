#include "app/schedule/day_plan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>

#include "runtime/civil_date.h"

namespace belvane {
namespace {

// The file's words as GBK bytes, spelt out rather than left to the execution character set: the
// fuzz build (clang, whose only execution set is UTF-8) then reads the same files as the program.
constexpr std::string_view kDefaultName = "\xB3\xA3\xB9\xE6";        // 常规
constexpr std::string_view kQuiet = "\xCD\xA3\xC1\xE5";              // 停铃
constexpr std::string_view kWeekly = "\xC3\xBF\xD6\xDC";             // 每周
constexpr std::string_view kDated = "\xC8\xD5\xC6\xDA";              // 日期
constexpr std::string_view kAs = "\xB0\xB4";                         // 按
constexpr std::string_view kExams = "\xBF\xBC\xCA\xD4";              // 考试
constexpr std::string_view kExamBells = "\xBF\xBC\xCA\xD4\xC1\xE5";  // 考试铃
constexpr std::string_view kYes = "\xCA\xC7";                        // 是
constexpr std::string_view kNo = "\xB7\xF1";                         // 否
constexpr std::string_view kNothingApplied = "\xC4\xAC\xC8\xCF";     // 默认
constexpr std::string_view kWeekdays[7] = {
    "\xD6\xDC\xD2\xBB", "\xD6\xDC\xB6\xFE", "\xD6\xDC\xC8\xFD", "\xD6\xDC\xCB\xC4",
    "\xD6\xDC\xCE\xE5", "\xD6\xDC\xC1\xF9", "\xD6\xDC\xC8\xD5"};  // 周一 ... 周日

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

constexpr std::int64_t kDay0 = DaysFromCivil(1601, 1, 1);

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads `n` ASCII digits; -1 when any is not one.
int Digits(std::string_view s) {
  int value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The header's name: the bytes between "[" and the first "]" that is a character of its own (a
// GBK pair's trail byte may be "]"). Nothing when no such "]" ends the line.
std::optional<std::string_view> HeaderName(std::string_view line) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b >= 0x81 && b <= 0xFE && i + 1 < line.size()) {
      ++i;
    } else if (b == ']') {
      if (i + 1 != line.size()) return std::nullopt;
      return Trim(line.substr(1, i - 1));
    }
  }
  return std::nullopt;
}

// A value of a weekly or dated line; nothing when it names no timetable.
std::optional<PlanValue> ParseValue(std::string_view text, const TimetableExists& exists,
                                    bool dated) {
  PlanValue value;
  if (text == kQuiet || (StartsWith(text, kQuiet) && IsBlank(text[kQuiet.size()]))) {
    value.kind = PlanValue::Kind::kQuiet;
    value.reason = std::string(Trim(text.substr(kQuiet.size())));
    return value;
  }
  if (StartsWith(text, kAs)) {
    if (const std::optional<int> weekday = WeekdayNamed(text.substr(kAs.size()))) {
      if (!dated) return std::nullopt;
      value.kind = PlanValue::Kind::kAsWeekday;
      value.weekday = *weekday;
      return value;
    }
  }
  if (text.empty() || (text != kDefaultName && !(exists && exists(text)))) return std::nullopt;
  value.name = std::string(text);
  return value;
}

std::string SeasonHeader(const DateRange& range) {
  return "[" + std::string(kWeekly) + " " + DateRangeText(range) + "]";
}

// The weekly plan's entry for a weekday on a date, and the line that gave it; nothing when
// neither the season holding the date nor [每周] has one.
struct WeekEntry {
  const PlanValue* value = nullptr;
  DayChoice::Step step = DayChoice::Step::kDefault;
  std::string why;
};

WeekEntry WeekEntryFor(const DayPlan& plan, PlanDate date, int weekday) {
  const SeasonalWeek* season = nullptr;
  int shortest = 0;
  for (const SeasonalWeek& s : plan.seasons) {
    if (!s.range.Holds(date)) continue;
    const int days = s.range.Days();
    if (!season || days < shortest) {
      season = &s;
      shortest = days;
    }
  }
  const std::size_t day = static_cast<std::size_t>(weekday);
  // "按周X" is no weekly entry: a plan built by hand that has one there gets none.
  auto usable = [day](const WeekPlan& week) {
    return week.days[day] && week.days[day]->kind != PlanValue::Kind::kAsWeekday;
  };
  if (season && usable(season->week)) {
    return {&*season->week.days[day], DayChoice::Step::kSeasonal,
            std::string(kWeekly) + " " + DateRangeText(season->range) + " " +
                std::string(kWeekdays[day])};
  }
  if (usable(plan.weekly)) {
    return {&*plan.weekly.days[day], DayChoice::Step::kWeekly,
            std::string(kWeekly) + " " + std::string(kWeekdays[day])};
  }
  return {};
}

// The choice a value makes, `why` being the line that decided.
DayChoice Choose(DayChoice::Step step, const PlanValue* value, std::string why) {
  DayChoice choice;
  choice.step = step;
  choice.why = std::move(why);
  if (!value) {
    choice.name = std::string(kDefaultName);
  } else if (value->kind == PlanValue::Kind::kQuiet) {
    choice.quiet = true;
    choice.reason = value->reason.empty() ? choice.why : value->reason;
  } else {
    choice.name = value->name;
  }
  return choice;
}

std::string WithTimetableLine(bool yes) {
  return std::string(WithTimetableKey()) + "=" + std::string(yes ? kYes : kNo);
}
std::string ExamBellLine(const ExamBell& bell) {
  return ExamBellKey(bell) + "=" + bell.music;
}

}  // namespace

std::optional<PlanDate> ParsePlanDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const int year = Digits(text.substr(0, 4));
  const int month = Digits(text.substr(5, 2));
  const int day = Digits(text.substr(8, 2));
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return PlanDate{year, month, day};
}

std::string PlanDateText(PlanDate date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

int WeekdayOf(PlanDate date) {
  return ((ClockDayOf(date) % 7) + 7) % 7;
}

std::string_view WeekdayName(int weekday) {
  return weekday >= 0 && weekday < 7 ? kWeekdays[weekday] : std::string_view();
}

std::optional<int> WeekdayNamed(std::string_view name) {
  for (int i = 0; i < 7; ++i) {
    if (name == kWeekdays[i]) return i;
  }
  return std::nullopt;
}

PlanDate DateOfClockDay(int clock_day) {
  const CivilDate date = CivilFromDays(clock_day + kDay0);
  return {static_cast<int>(date.year), date.month, date.day};
}

int ClockDayOf(PlanDate date) {
  return static_cast<int>(DaysFromCivil(date.year, date.month, date.day) - kDay0);
}

std::optional<DateRange> ParseDateRange(std::string_view text) {
  // Positional: the first date's ten ASCII bytes, "~" (blanks allowed around it), the second.
  if (text.size() < 10) return std::nullopt;
  const std::optional<PlanDate> from = ParsePlanDate(text.substr(0, 10));
  const std::string_view rest = Trim(text.substr(10));
  if (!from || rest.empty() || rest.front() != '~') return std::nullopt;
  const std::optional<PlanDate> to = ParsePlanDate(Trim(rest.substr(1)));
  if (!to || *to < *from) return std::nullopt;
  return DateRange{*from, *to};
}

std::string DateRangeText(const DateRange& range) {
  return PlanDateText(range.from) + "~" + PlanDateText(range.to);
}

std::string PlanValueText(const PlanValue& value) {
  switch (value.kind) {
    case PlanValue::Kind::kQuiet:
      return value.reason.empty() ? std::string(kQuiet) : std::string(kQuiet) + " " + value.reason;
    case PlanValue::Kind::kAsWeekday:
      return std::string(kAs) + std::string(WeekdayName(value.weekday));
    case PlanValue::Kind::kTimetable:
      break;
  }
  return value.name;
}

DayPlan ReadDayPlan(std::string_view file_text, const TimetableExists& exists) {
  using Section = PlanFileLine::Section;
  using Kind = PlanFileLine::Kind;
  DayPlan plan;
  Section section = Section::kNone;
  std::string header;  // as UnreadLine::section gives it
  WeekPlan* week = nullptr;
  int season = -1;  // the season's SeasonalWeek::line, in a seasonal section

  std::size_t pos = 0;
  while (pos < file_text.size()) {
    const std::size_t start = pos;
    while (pos < file_text.size() && file_text[pos] != '\r' && file_text[pos] != '\n') ++pos;
    const std::string_view raw = file_text.substr(start, pos - start);
    // CRLF is one line end; a CR or an LF alone is one too.
    if (pos < file_text.size() && file_text[pos++] == '\r' && pos < file_text.size() &&
        file_text[pos] == '\n')
      ++pos;
    const int index = static_cast<int>(plan.lines.size());
    PlanFileLine& kept = plan.lines.emplace_back();
    kept.text = std::string(raw);
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';') {
      kept.section = section;
      if (section == Section::kSeasonal) kept.season = season;
      continue;
    }

    if (line.front() == '[') {
      const std::optional<std::string_view> name = HeaderName(line);
      std::optional<DateRange> range;
      if (name && StartsWith(*name, kWeekly) && name->size() > kWeekly.size() &&
          IsBlank((*name)[kWeekly.size()])) {
        range = ParseDateRange(Trim(name->substr(kWeekly.size())));
      }
      kept.kind = Kind::kHeader;
      if (name && *name == kWeekly) {
        section = Section::kWeekly;
        header = "[" + std::string(kWeekly) + "]";
        week = &plan.weekly;
      } else if (range) {
        // A season's lines may stand under its header more than once: one season a range.
        section = Section::kSeasonal;
        header = SeasonHeader(*range);
        week = nullptr;
        for (SeasonalWeek& s : plan.seasons) {
          if (s.range.from == range->from && s.range.to == range->to) {
            week = &s.week;
            season = s.line;
          }
        }
        if (!week) {
          week = &plan.seasons.emplace_back(SeasonalWeek{*range, {}, index}).week;
          season = index;
        }
        kept.season = season;
        kept.read_as = header;
      } else if (name && *name == kDated) {
        section = Section::kDated;
        header = "[" + std::string(kDated) + "]";
      } else if (name && *name == kQuiet) {
        section = Section::kQuiet;
        header = "[" + std::string(kQuiet) + "]";
      } else if (name && *name == kExams) {
        section = Section::kExams;
        header = "[" + std::string(kExams) + "]";
      } else if (name && *name == kExamBells) {
        section = Section::kExamBells;
        header = "[" + std::string(kExamBells) + "]";
        plan.exams.has_template = true;
      } else {
        // The header is listed once, ahead of its lines.
        section = Section::kUnknown;
        header = std::string(line);
        bool listed = false;
        for (const UnreadLine& u : plan.unread) {
          listed = listed || (u.section == header && u.text == header);
        }
        if (!listed) plan.unread.push_back({header, header});
      }
      kept.section = section;
      continue;
    }

    kept.section = section;
    if (section == Section::kSeasonal) kept.season = season;
    bool read = false;
    const std::size_t equals = line.find('=');  // never a GBK trail byte
    if (equals != std::string_view::npos && section != Section::kNone &&
        section != Section::kUnknown) {
      const std::string_view key = Trim(line.substr(0, equals));
      const std::string_view text = Trim(line.substr(equals + 1));
      if (section == Section::kWeekly || section == Section::kSeasonal) {
        const std::optional<int> weekday = WeekdayNamed(key);
        std::optional<PlanValue> value = ParseValue(text, exists, false);
        // A weekday's second line is ignored, as the profile functions would: kept aside.
        if (weekday && value && !week->days[static_cast<std::size_t>(*weekday)]) {
          kept.weekday = *weekday;
          kept.read_as = std::string(kWeekdays[*weekday]) + "=" + PlanValueText(*value);
          week->days[static_cast<std::size_t>(*weekday)] = std::move(value);
          read = true;
        }
      } else if (section == Section::kDated) {
        const std::optional<PlanDate> date = ParsePlanDate(key);
        std::optional<PlanValue> value = ParseValue(text, exists, true);
        if (date && value) {
          kept.read_as = PlanDateText(*date) + "=" + PlanValueText(*value);
          plan.dates.push_back({*date, std::move(*value), index});
          read = true;
        }
      } else if (section == Section::kExams) {
        if (std::optional<ExamSession> session = ParseExamSession(key, text)) {
          kept.read_as = ExamSessionText(*session);
          plan.exams.sessions.push_back({std::move(*session), index});
          read = true;
        }
      } else if (section == Section::kExamBells) {
        if (key == WithTimetableKey()) {
          // The first line decides, as a weekday's does.
          if ((text == kYes || text == kNo) && plan.exams.with_timetable_line < 0) {
            plan.exams.with_timetable = text == kYes;
            plan.exams.with_timetable_line = index;
            kept.read_as = WithTimetableLine(plan.exams.with_timetable);
            read = true;
          }
        } else if (std::optional<ExamBell> bell = ParseExamBell(key, text)) {
          bell->line = index;
          kept.read_as = ExamBellLine(*bell);
          plan.exams.bells.push_back(std::move(*bell));
          read = true;
        }
      } else if (const std::optional<DateRange> range = ParseDateRange(key)) {
        kept.read_as = DateRangeText(*range) + "=" + std::string(text);
        plan.quiet.push_back({*range, std::string(text), index});
        read = true;
      }
    }
    if (read) {
      kept.kind = Kind::kEntry;
    } else {
      plan.unread.push_back({section == Section::kNone ? std::string() : header, std::string(raw)});
    }
  }
  for (std::string& row : OffDateRows(plan.exams))
    plan.unread.push_back({"[" + std::string(kExams) + "]", std::move(row)});
  return plan;
}

namespace {

using FileSection = PlanFileLine::Section;

std::string WeekdayLine(int day, const PlanValue& value) {
  return std::string(kWeekdays[day]) + "=" + PlanValueText(value);
}
std::string DatedLineText(const DatedLine& line) {
  return PlanDateText(line.date) + "=" + PlanValueText(line.value);
}
std::string QuietLineText(const QuietRange& range) {
  return DateRangeText(range.range) + "=" + range.reason;
}

// A run of the file's lines: a header and the lines under it up to the next, with the comments
// standing right above the header (they speak of it); the first block has no header.
struct Block {
  std::size_t begin = 0, end = 0;
  FileSection section = FileSection::kNone;
  int season = -1;
};

std::vector<Block> BlocksOf(const std::vector<PlanFileLine>& lines) {
  std::vector<Block> blocks{{}};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != PlanFileLine::Kind::kHeader) continue;
    std::size_t begin = i;
    while (begin > blocks.back().begin) {
      const std::string_view above = Trim(lines[begin - 1].text);
      if (above.empty() || above.front() != ';') break;
      --begin;
    }
    blocks.back().end = begin;
    blocks.push_back({begin, i, lines[i].section, lines[i].season});
  }
  blocks.back().end = lines.size();
  return blocks;
}

}  // namespace

std::string WriteDayPlan(const DayPlan& plan) {
  using Kind = PlanFileLine::Kind;
  const std::vector<PlanFileLine>& lines = plan.lines;
  const std::vector<Block> blocks = BlocksOf(lines);
  auto season_of = [&plan](int line) -> const SeasonalWeek* {
    for (const SeasonalWeek& s : plan.seasons) {
      if (line >= 0 && s.line == line) return &s;
    }
    return nullptr;
  };
  auto week_of = [&](FileSection section, int season) -> const WeekPlan* {
    if (section == FileSection::kWeekly) return &plan.weekly;
    const SeasonalWeek* s = season_of(season);
    return s ? &s->week : nullptr;
  };
  // The last block of each section: where its new lines go.
  auto last_block = [&blocks](FileSection section, int season) {
    int last = -1;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      if (blocks[b].section == section && blocks[b].season == season) last = static_cast<int>(b);
    }
    return last;
  };
  // The weekdays written so far, per week.
  std::map<const WeekPlan*, std::array<bool, 7>> written;
  auto new_days = [&written](const WeekPlan& week, std::vector<std::string>& out) {
    const std::array<bool, 7>& done = written[&week];
    for (int d = 0; d < 7; ++d) {
      if (week.days[d] && !done[d]) out.push_back(WeekdayLine(d, *week.days[d]));
    }
  };
  auto is_new = [&lines](int line) { return line < 0 || line >= static_cast<int>(lines.size()); };
  // The template's new lines: 同时打课表 when set and not in the file, then new announcements.
  auto exam_bell_lines = [&](std::vector<std::string>& added) {
    if (plan.exams.with_timetable && is_new(plan.exams.with_timetable_line))
      added.push_back(WithTimetableLine(true));
    for (const ExamBell& bell : plan.exams.bells) {
      if (is_new(bell.line)) added.push_back(ExamBellLine(bell));
    }
  };

  std::vector<std::string> out;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const Block& block = blocks[b];
    // A season no longer in the plan goes with its whole block.
    if (block.section == FileSection::kSeasonal && !season_of(block.season)) continue;
    std::size_t insert_at = out.size();
    for (std::size_t i = block.begin; i < block.end; ++i) {
      const PlanFileLine& line = lines[i];
      std::optional<std::string> now;  // the line as the plan has it now; nothing: gone
      if (line.kind == Kind::kOther) {
        out.push_back(line.text);
        const std::string_view text = Trim(line.text);
        if (!text.empty() && text.front() != ';') insert_at = out.size();
        continue;
      }
      if (line.kind == Kind::kHeader) {
        const SeasonalWeek* s =
            line.section == FileSection::kSeasonal ? season_of(line.season) : nullptr;
        now = s ? SeasonHeader(s->range) : line.read_as;
      } else if (line.section == FileSection::kWeekly || line.section == FileSection::kSeasonal) {
        const WeekPlan* week = week_of(line.section, line.season);
        const int d = line.weekday;
        if (week && d >= 0 && d < 7 && week->days[d] && !written[week][d]) {
          written[week][d] = true;
          now = WeekdayLine(d, *week->days[d]);
        }
      } else if (line.section == FileSection::kDated) {
        for (const DatedLine& d : plan.dates) {
          if (d.line == static_cast<int>(i)) now = DatedLineText(d);
        }
      } else if (line.section == FileSection::kQuiet) {
        for (const QuietRange& q : plan.quiet) {
          if (q.line == static_cast<int>(i)) now = QuietLineText(q);
        }
      } else if (line.section == FileSection::kExams) {
        for (const ExamSessionLine& s : plan.exams.sessions) {
          if (s.line == static_cast<int>(i)) now = ExamSessionText(s.session);
        }
      } else if (line.section == FileSection::kExamBells) {
        for (const ExamBell& bell : plan.exams.bells) {
          if (bell.line == static_cast<int>(i)) now = ExamBellLine(bell);
        }
        if (plan.exams.with_timetable_line == static_cast<int>(i))
          now = WithTimetableLine(plan.exams.with_timetable);
      }
      if (!now) continue;
      out.push_back(*now == line.read_as ? line.text : *now);
      insert_at = out.size();
    }
    // New lines at the end of their section's last block, before its trailing blank lines.
    if (static_cast<int>(b) != last_block(block.section, block.season)) continue;
    std::vector<std::string> added;
    if (block.section == FileSection::kWeekly || block.section == FileSection::kSeasonal) {
      if (const WeekPlan* week = week_of(block.section, block.season)) new_days(*week, added);
    } else if (block.section == FileSection::kDated) {
      for (const DatedLine& d : plan.dates) {
        if (is_new(d.line)) added.push_back(DatedLineText(d));
      }
    } else if (block.section == FileSection::kQuiet) {
      for (const QuietRange& q : plan.quiet) {
        if (is_new(q.line)) added.push_back(QuietLineText(q));
      }
    } else if (block.section == FileSection::kExams) {
      for (const ExamSessionLine& s : plan.exams.sessions) {
        if (is_new(s.line)) added.push_back(ExamSessionText(s.session));
      }
    } else if (block.section == FileSection::kExamBells) {
      exam_bell_lines(added);
    }
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(insert_at), added.begin(), added.end());
  }

  // Sections the file lacks, at the end, a blank line before each.
  auto open_section = [&out](const std::string& header, std::vector<std::string> section_lines,
                             bool even_empty = false) {
    if (section_lines.empty() && !even_empty) return;
    if (!out.empty() && !Trim(out.back()).empty()) out.emplace_back();
    out.push_back(header);
    out.insert(out.end(), section_lines.begin(), section_lines.end());
  };
  if (last_block(FileSection::kWeekly, -1) < 0) {
    std::vector<std::string> days;
    new_days(plan.weekly, days);
    open_section("[" + std::string(kWeekly) + "]", std::move(days));
  }
  for (const SeasonalWeek& season : plan.seasons) {
    if (last_block(FileSection::kSeasonal, season.line) >= 0 && !is_new(season.line)) continue;
    std::vector<std::string> days;
    new_days(season.week, days);
    // A season with no entry of its own still stands: it keeps [每周]'s days for its range.
    open_section(SeasonHeader(season.range), std::move(days), true);
  }
  if (last_block(FileSection::kDated, -1) < 0) {
    std::vector<std::string> dated;
    for (const DatedLine& d : plan.dates) dated.push_back(DatedLineText(d));
    open_section("[" + std::string(kDated) + "]", std::move(dated));
  }
  if (last_block(FileSection::kQuiet, -1) < 0) {
    std::vector<std::string> quiet;
    for (const QuietRange& q : plan.quiet) quiet.push_back(QuietLineText(q));
    open_section("[" + std::string(kQuiet) + "]", std::move(quiet));
  }
  if (last_block(FileSection::kExams, -1) < 0) {
    std::vector<std::string> sessions;
    for (const ExamSessionLine& s : plan.exams.sessions)
      sessions.push_back(ExamSessionText(s.session));
    open_section("[" + std::string(kExams) + "]", std::move(sessions));
  }
  if (last_block(FileSection::kExamBells, -1) < 0) {
    std::vector<std::string> bells;
    exam_bell_lines(bells);
    open_section("[" + std::string(kExamBells) + "]", std::move(bells));
  }

  std::string text;
  for (const std::string& line : out) {
    text += line;
    text += "\r\n";
  }
  return text;
}

DayChoice ResolveDay(const DayPlan& plan, PlanDate date) {
  DayChoice choice = ResolveTimetable(plan, date);
  // Sessions come before every other rule; the timetable picked stays for 同时打课表.
  ExamDay exams = WorkOutExamDay(plan.exams, date);
  choice.exams = std::move(exams.sessions);
  choice.with_timetable = !choice.exams.empty() && exams.with_timetable;
  return choice;
}

DayChoice ResolveTimetable(const DayPlan& plan, PlanDate date) {
  for (const DatedLine& line : plan.dates) {
    if (line.date != date) continue;
    std::string why = std::string(kDated) + " " + PlanDateText(date);
    if (line.value.kind != PlanValue::Kind::kAsWeekday) {
      return Choose(DayChoice::Step::kDated, &line.value, std::move(why));
    }
    // What a day of that weekday rings in this date's weekly plan, the vacation notwithstanding.
    return Choose(DayChoice::Step::kDated, WeekEntryFor(plan, date, line.value.weekday).value,
                  std::move(why));
  }
  for (const QuietRange& range : plan.quiet) {
    if (!range.range.Holds(date)) continue;
    DayChoice choice;
    choice.step = DayChoice::Step::kQuietRange;
    choice.quiet = true;
    choice.why = std::string(kQuiet) + " " + DateRangeText(range.range);
    choice.reason = range.reason.empty() ? choice.why : range.reason;
    return choice;
  }
  WeekEntry entry = WeekEntryFor(plan, date, WeekdayOf(date));
  if (entry.value) return Choose(entry.step, entry.value, std::move(entry.why));
  return Choose(DayChoice::Step::kDefault, nullptr, std::string(kNothingApplied));
}

std::vector<std::string> LinesNaming(const DayPlan& plan, std::string_view name) {
  std::vector<std::string> lines;
  auto names = [name](const PlanValue& v) {
    return v.kind == PlanValue::Kind::kTimetable && v.name == name;
  };
  auto week_lines = [&](const WeekPlan& week) {
    for (std::size_t d = 0; d < 7; ++d) {
      if (week.days[d] && names(*week.days[d])) {
        lines.push_back(std::string(kWeekdays[d]) + "=" + week.days[d]->name);
      }
    }
  };
  week_lines(plan.weekly);
  for (const SeasonalWeek& season : plan.seasons) week_lines(season.week);
  for (const DatedLine& line : plan.dates) {
    if (names(line.value)) lines.push_back(PlanDateText(line.date) + "=" + line.value.name);
  }
  return lines;
}

int RenameInPlan(DayPlan& plan, std::string_view from, std::string_view to) {
  int changed = 0;
  auto rename = [&](PlanValue& v) {
    if (v.kind == PlanValue::Kind::kTimetable && v.name == from) {
      v.name = std::string(to);
      ++changed;
    }
  };
  auto rename_week = [&](WeekPlan& week) {
    for (auto& day : week.days) {
      if (day) rename(*day);
    }
  };
  rename_week(plan.weekly);
  for (SeasonalWeek& season : plan.seasons) rename_week(season.week);
  for (DatedLine& line : plan.dates) rename(line.value);
  return changed;
}

}  // namespace belvane
