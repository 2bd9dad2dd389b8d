#include "app/schedule/exam_day.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace belvane {
namespace {

// GBK bytes spelt out, as the plan reader's words are: the fuzz build's literals are UTF-8.
constexpr std::string_view kStart = "\xBF\xAA\xCA\xBC";  // 开始
constexpr std::string_view kEnd = "\xBD\xE1\xCA\xF8";    // 结束
constexpr std::string_view kBefore = "\xC7\xB0";         // 前
constexpr std::string_view kAfter = "\xBA\xF3";          // 后
constexpr std::string_view kMinutes = "\xB7\xD6";        // 分
constexpr std::string_view kWithTimetable =
    "\xCD\xAC\xCA\xB1\xB4\xF2\xBF\xCE\xB1\xED";     // 同时打课表
constexpr std::string_view kSessions = "\xB3\xA1";  // 场

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool TakePrefix(std::string_view& s, std::string_view prefix) {
  if (s.substr(0, prefix.size()) != prefix) return false;
  s.remove_prefix(prefix.size());
  return true;
}

// One to `most` ASCII digits; -1 otherwise.
int Number(std::string_view s, std::size_t most) {
  if (s.empty() || s.size() > most) return -1;
  int value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "H:MM" or "HH:MM[:SS]" of one day: its second; -1 otherwise.
int ClockSecond(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return -1;
  const int hour = Number(text.substr(0, colon), 2);
  std::string_view rest = text.substr(colon + 1);
  int second = 0;
  if (rest.size() == 5 && rest[2] == ':') {
    second = Number(rest.substr(3), 2);
    if (rest.substr(3).size() != 2) return -1;
    rest = rest.substr(0, 2);
  }
  const int minute = rest.size() == 2 ? Number(rest, 2) : -1;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return -1;
  return hour * 3600 + minute * 60 + second;
}

// "30" minutes or "1:30" minutes and seconds: seconds; -1 otherwise.
int OffsetSeconds(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    const int minutes = Number(text, 4);
    return minutes < 0 ? -1 : minutes * 60;
  }
  const int minutes = Number(text.substr(0, colon), 4);
  const std::string_view seconds = text.substr(colon + 1);
  const int s = seconds.size() == 2 ? Number(seconds, 2) : -1;
  if (minutes < 0 || s < 0 || s > 59) return -1;
  return minutes * 60 + s;
}

std::string OffsetText(int seconds) {
  char text[32];
  if (seconds % 60 == 0) {
    std::snprintf(text, sizeof text, "%d", seconds / 60);
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  }
  return text;
}

ExamBell Announcement(ExamBell::Anchor anchor, int minutes, const char* music) {
  return ExamBell{anchor, minutes * 60, music, -1};
}

// A row as the lists name it: its session's line and its template key.
std::string RowName(const ExamSession& session, const ExamBell& bell) {
  return ExamSessionText(session) + " " + ExamBellKey(bell);
}

int SecondOf(const ExamSession& session, const ExamBell& bell) {
  return (bell.anchor == ExamBell::Anchor::kStart ? session.start_second : session.end_second) +
         bell.offset;
}

}  // namespace

std::vector<ExamBell> DefaultExamBells() {
  using A = ExamBell::Anchor;
  return {
      Announcement(A::kStart, -30,
                   "1.\xD7\xE9\xD6\xAF\xBF\xBC\xC9\xFA\xBD\xF8\xC8\xEB\xBF\xBC\xB3\xA1.m4a"),
      Announcement(A::kStart, -20, "2.\xD0\xFB\xB6\xC1\xBF\xBC\xCA\xD4\xB9\xE6\xD4\xF2.m4a"),
      Announcement(A::kStart, -15,
                   "3.\xBC\xE0\xBF\xBC\xD4\xB1\xC6\xF4\xB7\xE2\xCA\xD4\xBE\xED\xB4\xFC.m4a"),
      Announcement(
          A::kStart, -10,
          "4.\xB7\xD6\xB7\xA2\xCA\xD4\xCC\xE2\xBE\xED\xBA\xCD\xB4\xF0\xCC\xE2\xBE\xED.m4a"),
      Announcement(A::kStart, 0, "5.\xC7\xEB\xBF\xBC\xC9\xFA\xBF\xAA\xCA\xBC\xB4\xF0\xCC\xE2.m4a"),
      Announcement(A::kEnd, -15,
                   "6.\xBF\xBC\xC7\xB0"
                   "15\xB7\xD6\xD6\xD3\xCC\xE1\xD0\xD1.m4a"),
      Announcement(A::kEnd, 0, "7.\xCD\xA3\xD6\xB9\xB4\xF0\xCC\xE2.m4a"),
  };
}

std::vector<ExamBell> ExamTemplate(const ExamPlan& plan) {
  // A section holding nothing that rings (only 同时打课表, or only bad lines) leaves the default:
  // a session never goes without its announcements.
  return plan.bells.empty() ? DefaultExamBells() : plan.bells;
}

std::optional<ExamSession> ParseExamSession(std::string_view key, std::string_view subject) {
  key = Trim(key);
  subject = Trim(subject);
  if (key.size() < 10 || subject.empty()) return std::nullopt;
  const std::optional<PlanDate> date = ParsePlanDate(key.substr(0, 10));
  const std::string_view times = key.substr(10);
  if (!date || times.empty() || !IsBlank(times.front())) return std::nullopt;
  const std::size_t tilde = times.find('~');
  if (tilde == std::string_view::npos) return std::nullopt;
  const int start = ClockSecond(Trim(times.substr(0, tilde)));
  const int end = ClockSecond(Trim(times.substr(tilde + 1)));
  if (start < 0 || end <= start) return std::nullopt;
  return ExamSession{*date, start, end, std::string(subject)};
}

std::string ExamClockText(int second) {
  char text[32];
  if (second % 60 == 0) {
    std::snprintf(text, sizeof text, "%02d:%02d", second / 3600, second / 60 % 60);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", second / 3600, second / 60 % 60,
                  second % 60);
  }
  return text;
}

std::string ExamSessionKey(const ExamSession& session) {
  return PlanDateText(session.date) + " " + ExamClockText(session.start_second) + "~" +
         ExamClockText(session.end_second);
}

std::string ExamSessionText(const ExamSession& session) {
  return ExamSessionKey(session) + "=" + session.subject;
}

std::optional<ExamBell> ParseExamBell(std::string_view key, std::string_view music) {
  key = Trim(key);
  music = Trim(music);
  if (music.empty()) return std::nullopt;
  ExamBell bell;
  bell.music = std::string(music);
  if (TakePrefix(key, kStart)) {
    bell.anchor = ExamBell::Anchor::kStart;
  } else if (TakePrefix(key, kEnd)) {
    bell.anchor = ExamBell::Anchor::kEnd;
  } else {
    return std::nullopt;
  }
  if (key.empty()) return bell;
  int sign = 0;
  if (TakePrefix(key, kBefore)) {
    sign = -1;
  } else if (bell.anchor == ExamBell::Anchor::kStart && TakePrefix(key, kAfter)) {
    sign = 1;
  }
  if (sign == 0 || key.size() < kMinutes.size() ||
      key.substr(key.size() - kMinutes.size()) != kMinutes)
    return std::nullopt;
  const int offset = OffsetSeconds(key.substr(0, key.size() - kMinutes.size()));
  if (offset < 0) return std::nullopt;
  bell.offset = sign * offset;
  return bell;
}

std::string ExamBellKey(const ExamBell& bell) {
  std::string key(bell.anchor == ExamBell::Anchor::kStart ? kStart : kEnd);
  if (bell.offset == 0) return key;
  key += bell.offset < 0 ? kBefore : kAfter;
  return key + OffsetText(bell.offset < 0 ? -bell.offset : bell.offset) + std::string(kMinutes);
}

std::string_view WithTimetableKey() {
  return kWithTimetable;
}

ExamDay WorkOutExamDay(const ExamPlan& plan, PlanDate date) {
  ExamDay day;
  for (const ExamSessionLine& s : plan.sessions) {
    if (s.session.date == date) day.sessions.push_back(s.session);
  }
  if (day.sessions.empty()) return day;
  day.with_timetable = plan.with_timetable;
  std::stable_sort(
      day.sessions.begin(), day.sessions.end(),
      [](const ExamSession& a, const ExamSession& b) { return a.start_second < b.start_second; });
  const std::vector<ExamBell> bells = ExamTemplate(plan);
  std::set<int> taken;
  for (const ExamSession& session : day.sessions) {
    for (const ExamBell& bell : bells) {
      const int second = SecondOf(session, bell);
      if (second < 0 || second >= kSecondsPerExamDay) {
        day.off_date.push_back(RowName(session, bell));
      } else if (!taken.insert(second).second) {
        day.clashes.push_back(RowName(session, bell));
      } else {
        day.rows.push_back({second, bell.music, session.subject});
      }
    }
  }
  std::stable_sort(day.rows.begin(), day.rows.end(),
                   [](const ExamRow& a, const ExamRow& b) { return a.second < b.second; });
  return day;
}

std::vector<std::string> OffDateRows(const ExamPlan& plan) {
  std::vector<std::string> rows;
  const std::vector<ExamBell> bells = ExamTemplate(plan);
  for (const ExamSessionLine& s : plan.sessions) {
    for (const ExamBell& bell : bells) {
      const int second = SecondOf(s.session, bell);
      if (second < 0 || second >= kSecondsPerExamDay) rows.push_back(RowName(s.session, bell));
    }
  }
  return rows;
}

std::string ExamCountText(const std::vector<ExamSession>& sessions) {
  return std::to_string(sessions.size()) + " " + std::string(kSessions);
}

std::string ExamSessionsText(const std::vector<ExamSession>& sessions) {
  std::string text;
  for (const ExamSession& s : sessions) {
    if (!text.empty()) text += "; ";
    text += s.subject + " " + ExamClockText(s.start_second) + "~" + ExamClockText(s.end_second);
  }
  return text;
}

}  // namespace belvane
