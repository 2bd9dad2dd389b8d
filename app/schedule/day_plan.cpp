#include "app/schedule/day_plan.h"

#include <cstdint>
#include <cstdio>

#include "runtime/civil_date.h"

namespace belvane {
namespace {

// The file's words as GBK bytes, spelt out rather than left to the execution character set: the
// fuzz build (clang, whose only execution set is UTF-8) then reads the same files as the program.
constexpr std::string_view kDefaultName = "\xB3\xA3\xB9\xE6";     // 常规
constexpr std::string_view kQuiet = "\xCD\xA3\xC1\xE5";           // 停铃
constexpr std::string_view kWeekly = "\xC3\xBF\xD6\xDC";          // 每周
constexpr std::string_view kDated = "\xC8\xD5\xC6\xDA";           // 日期
constexpr std::string_view kAs = "\xB0\xB4";                      // 按
constexpr std::string_view kNothingApplied = "\xC4\xAC\xC8\xCF";  // 默认
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
  enum class Section { kNone, kWeekly, kSeasonal, kDated, kQuiet, kUnknown };
  DayPlan plan;
  Section section = Section::kNone;
  std::string header;  // as UnreadLine::section gives it
  WeekPlan* week = nullptr;

  std::size_t pos = 0;
  while (pos < file_text.size()) {
    const std::size_t start = pos;
    while (pos < file_text.size() && file_text[pos] != '\r' && file_text[pos] != '\n') ++pos;
    const std::string_view raw = file_text.substr(start, pos - start);
    if (pos < file_text.size()) ++pos;
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      const std::optional<std::string_view> name = HeaderName(line);
      std::optional<DateRange> range;
      if (name && StartsWith(*name, kWeekly) && name->size() > kWeekly.size() &&
          IsBlank((*name)[kWeekly.size()])) {
        range = ParseDateRange(Trim(name->substr(kWeekly.size())));
      }
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
          if (s.range.from == range->from && s.range.to == range->to) week = &s.week;
        }
        if (!week) week = &plan.seasons.emplace_back(SeasonalWeek{*range, {}}).week;
      } else if (name && *name == kDated) {
        section = Section::kDated;
        header = "[" + std::string(kDated) + "]";
      } else if (name && *name == kQuiet) {
        section = Section::kQuiet;
        header = "[" + std::string(kQuiet) + "]";
      } else {
        // The header is listed once, ahead of its lines, so that writing keeps the section.
        section = Section::kUnknown;
        header = std::string(line);
        bool listed = false;
        for (const UnreadLine& u : plan.unread) {
          listed = listed || (u.section == header && u.text == header);
        }
        if (!listed) plan.unread.push_back({header, header});
      }
      continue;
    }

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
          week->days[static_cast<std::size_t>(*weekday)] = std::move(value);
          read = true;
        }
      } else if (section == Section::kDated) {
        const std::optional<PlanDate> date = ParsePlanDate(key);
        std::optional<PlanValue> value = ParseValue(text, exists, true);
        if (date && value) {
          plan.dates.push_back({*date, std::move(*value)});
          read = true;
        }
      } else if (const std::optional<DateRange> range = ParseDateRange(key)) {
        plan.quiet.push_back({*range, std::string(text)});
        read = true;
      }
    }
    if (!read) {
      plan.unread.push_back({section == Section::kNone ? std::string() : header, std::string(raw)});
    }
  }
  return plan;
}

std::string WriteDayPlan(const DayPlan& plan) {
  std::string out;
  std::vector<std::string> written;  // section headers written
  auto put = [&out](std::string_view line) {
    out += line;
    out += "\r\n";
  };
  auto put_unread = [&](const std::string& section) {
    for (const UnreadLine& u : plan.unread) {
      if (u.section == section && u.text != section) put(u.text);
    }
  };
  auto has_unread = [&](const std::string& section) {
    for (const UnreadLine& u : plan.unread) {
      if (u.section == section) return true;
    }
    return false;
  };
  auto open = [&](const std::string& header) {
    if (!out.empty()) out += "\r\n";
    put(header);
    written.push_back(header);
  };
  auto put_week = [&](const WeekPlan& week) {
    for (std::size_t d = 0; d < 7; ++d) {
      if (week.days[d]) put(std::string(kWeekdays[d]) + "=" + PlanValueText(*week.days[d]));
    }
  };

  // Lines that stood before any header stay before every header.
  put_unread("");
  written.emplace_back();

  const std::string weekly = "[" + std::string(kWeekly) + "]";
  bool any_day = false;
  for (const auto& day : plan.weekly.days) any_day = any_day || day.has_value();
  if (any_day || has_unread(weekly)) {
    open(weekly);
    put_week(plan.weekly);
    put_unread(weekly);
  }
  for (const SeasonalWeek& season : plan.seasons) {
    const std::string header = SeasonHeader(season.range);
    open(header);
    put_week(season.week);
    put_unread(header);
  }
  const std::string dated = "[" + std::string(kDated) + "]";
  if (!plan.dates.empty() || has_unread(dated)) {
    open(dated);
    for (const DatedLine& line : plan.dates) {
      put(PlanDateText(line.date) + "=" + PlanValueText(line.value));
    }
    put_unread(dated);
  }
  const std::string quiet = "[" + std::string(kQuiet) + "]";
  if (!plan.quiet.empty() || has_unread(quiet)) {
    open(quiet);
    for (const QuietRange& range : plan.quiet) put(DateRangeText(range.range) + "=" + range.reason);
    put_unread(quiet);
  }
  // Sections that could not be read, each once, in the order they came.
  for (const UnreadLine& u : plan.unread) {
    bool done = false;
    for (const std::string& w : written) done = done || w == u.section;
    if (done) continue;
    open(u.section);
    put_unread(u.section);
  }
  return out;
}

DayChoice ResolveDay(const DayPlan& plan, PlanDate date) {
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
