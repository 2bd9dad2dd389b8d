// The plan file on any text: no fault, and
// - every date of 2027 and 2028 gets one answer: a timetable that exists, or no bells with a
//   reason, and the line that decided;
// - the plan written and read again decides every such date alike, keeps the same lines aside
//   and writes the same text again;
// - a date with sessions rings one row a second, each on that date, and rings alike read again.
// Input: the plan file's bytes, in whatever encoding a plan is saved in, read as ReadPlanFile
// reads them (DetectFileEncoding, then to GBK); the stand-in for the platform's conversion to GBK
// knows the plan's own words and the seed timetables' names.
// fuzz-sources: app/schedule/day_plan.cpp app/schedule/exam_day.cpp runtime/text_convert.cpp
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/schedule/day_plan.h"
#include "runtime/text_convert.h"

namespace belvane {
namespace {

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

// GBK bytes: this build's literals are UTF-8.
constexpr std::string_view kDefault = "\xB3\xA3\xB9\xE6";  // 常规

// The timetables of the seed plans (夏季, 考试, 冬季, 补课) and any name starting with "T".
bool Exists(std::string_view name) {
  return name == "\xCF\xC4\xBC\xBE" || name == "\xBF\xBC\xCA\xD4" || name == "\xB6\xAC\xBC\xBE" ||
         name == "\xB2\xB9\xBF\xCE" || (!name.empty() && name.front() == 'T');
}

// GBK of the characters the plan's words and the seed timetables' names are made of; any other
// character becomes "?", as the platform's conversion makes what GBK lacks.
std::string GbkFromUtf8(std::string_view utf8) {
  constexpr std::u32string_view kKnown =
      U"一二三四五六日周每期停铃按常规夏季考试冬补课元旦暑假开始结束前后分同时打表是否语文数学";
  constexpr std::string_view kKnownGbk =
      "\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9\xC8\xD5\xD6\xDC\xC3\xBF"
      "\xC6\xDA\xCD\xA3\xC1\xE5\xB0\xB4\xB3\xA3\xB9\xE6\xCF\xC4\xBC\xBE\xBF\xBC"
      "\xCA\xD4\xB6\xAC\xB2\xB9\xBF\xCE\xD4\xAA\xB5\xA9\xCA\xEE\xBC\xD9"
      "\xBF\xAA\xCA\xBC\xBD\xE1\xCA\xF8\xC7\xB0\xBA\xF3\xB7\xD6\xCD\xAC\xCA\xB1\xB4\xF2\xB1\xED"
      "\xCA\xC7\xB7\xF1\xD3\xEF\xCE\xC4\xCA\xFD\xD1\xA7";
  std::string gbk;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += length;
    const std::size_t known = kKnown.find(c);
    if (c < 0x80) {
      gbk += static_cast<char>(c);
    } else {
      gbk += known == kKnown.npos ? "?" : kKnownGbk.substr(2 * known, 2);
    }
  }
  return gbk;
}

// The plan file's text as the program reads it.
std::string PlanText(std::string_view bytes) {
  const FileEncoding encoding = DetectFileEncoding(bytes);
  if (encoding == FileEncoding::kGbk) return std::string(bytes);
  return GbkFromUtf8(Utf8TextOfFile(bytes, encoding));
}

std::vector<std::pair<std::string, std::string>> Unread(const DayPlan& plan) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const UnreadLine& u : plan.unread) lines.emplace_back(u.section, u.text);
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace
}  // namespace belvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace belvane;
  const std::string file = PlanText(std::string_view(reinterpret_cast<const char*>(data), size));
  const DayPlan plan = ReadDayPlan(file, &Exists);
  const std::string text = WriteDayPlan(plan);
  const DayPlan again = ReadDayPlan(text, &Exists);

  // A date's answer depends on the lines holding it and its weekday alone, and the lines holding
  // it change only where a date or range starts or ends: the first seven days after each such
  // change stand for every date of 2027 and 2028, at a fraction of the cost.
  const int first = ClockDayOf({2027, 1, 1});
  const int end = ClockDayOf({2029, 1, 1});
  std::vector<bool> checked(static_cast<std::size_t>(end - first), false);
  auto from = [&](PlanDate date, int shift) {
    for (int day = ClockDayOf(date) + shift, n = 0; n < 7; ++day, ++n) {
      if (day >= first && day < end) checked[static_cast<std::size_t>(day - first)] = true;
    }
  };
  from({2027, 1, 1}, 0);
  for (const DatedLine& line : plan.dates) from(line.date, 0), from(line.date, 1);
  for (const QuietRange& q : plan.quiet) from(q.range.from, 0), from(q.range.to, 1);
  for (const SeasonalWeek& s : plan.seasons) from(s.range.from, 0), from(s.range.to, 1);
  for (const ExamSessionLine& s : plan.exams.sessions)
    from(s.session.date, 0), from(s.session.date, 1);
  for (int day = first; day < end; ++day) {
    if (!checked[static_cast<std::size_t>(day - first)]) continue;
    const PlanDate date = DateOfClockDay(day);
    const DayChoice choice = ResolveDay(plan, date);
    Require(!choice.why.empty(), "the deciding line is named");
    if (choice.quiet) {
      Require(choice.name.empty() && !choice.reason.empty(), "no bells: no name, a reason");
    } else {
      Require(choice.reason.empty() && (choice.name == kDefault || Exists(choice.name)),
              "bells: a timetable that exists");
    }
    Require((choice.step == DayChoice::Step::kDefault) == (choice.why == "\xC4\xAC\xC8\xCF"),
            "the default step and only it says so");  // 默认
    Require(ResolveDay(again, date) == choice, "read again, the plan decides alike");
    const ExamDay exams = WorkOutExamDay(plan.exams, date);
    Require(exams.sessions == choice.exams, "the date's sessions are the choice's");
    Require(exams.sessions.empty() == exams.rows.empty() || !exams.off_date.empty() ||
                !exams.clashes.empty(),
            "a date with sessions rings");
    for (std::size_t i = 0; i < exams.rows.size(); ++i) {
      Require(exams.rows[i].second >= 0 && exams.rows[i].second < kSecondsPerExamDay,
              "every row on its date");
      Require(i == 0 || exams.rows[i - 1].second < exams.rows[i].second, "one row a second");
    }
    Require(WorkOutExamDay(again.exams, date) == exams, "read again, the sessions ring alike");
  }
  Require(Unread(again) == Unread(plan), "read again, the same lines are kept aside");
  Require(WriteDayPlan(again) == text, "read again, the plan writes the same text");
  return 0;
}
