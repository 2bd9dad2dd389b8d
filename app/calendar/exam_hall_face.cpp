#include "app/calendar/exam_hall_face.h"

#include <cstdio>
#include <optional>

#include "app/schedule/exam_day.h"
#include "app/schedule/session_csv.h"

namespace belvane {

namespace {

std::string HourMinuteSecond(int second) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", second / 3600 % 100, second / 60 % 60,
                second % 60);
  return text;
}

// "08:12", or "1:45:03" from an hour on.
std::string Countdown(int seconds) {
  char text[24];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace

ExamHallFace ExamHallFaceAt(int now, const std::vector<ExamSession>& sessions,
                            std::span<const TimetableEntry> rows) {
  ExamHallFace face;
  face.time = HourMinuteSecond(now);

  const ExamSession* running = nullptr;
  const ExamSession* next = nullptr;
  const ExamSession* ended = nullptr;
  for (const ExamSession& s : sessions) {
    if (s.start_second <= now && now < s.end_second) {
      if (!running || s.start_second > running->start_second) running = &s;
    } else if (s.start_second > now) {
      if (!next || s.start_second < next->start_second) next = &s;
    } else if (!ended || s.end_second > ended->end_second) {
      ended = &s;
    }
  }
  if (const ExamSession* shown = running ? running : next ? next : ended) {
    face.session = shown->subject + "  " + ExamClockText(shown->start_second) + "~" +
                   ExamClockText(shown->end_second);
    if (running) {
      face.countdown = "距离结束 " + Countdown(running->end_second - now);
    } else if (next) {
      face.countdown = "距离开考 " + Countdown(next->start_second - now);
    } else {
      face.countdown = "考试结束";
    }
  } else {
    face.session = "今天没有考试";
  }

  // The first row after this second; a row on this second is ringing now.
  std::optional<int> first;
  const TimetableEntry* first_row = nullptr;
  for (const TimetableEntry& row : rows) {
    const std::optional<int> second = SpreadsheetTimeSeconds(row.start_time.View());
    if (!second || *second <= now || (first && *second >= *first)) continue;
    first = second;
    first_row = &row;
  }
  if (first_row)
    face.next = "下一条 " + HourMinuteSecond(*first) + "  " + first_row->music_name.Bytes();
  return face;
}

}  // namespace belvane
