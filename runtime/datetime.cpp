#include "runtime/datetime.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

#include "runtime/civil_date.h"

namespace belvane {

namespace {

const std::int64_t kDayZero = DaysFromCivil(1899, 12, 30);

// Seconds of the day in v's fraction, rounded to the nearest second (halves up).
int SecondsOfDay(DateTime v) {
  double whole;
  const double fraction = std::modf(v, &whole);
  return static_cast<int>(std::fabs(fraction) * 86400.0 + 0.5);
}

}  // namespace

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  const double kSecondFraction = 1.0 / 86400.0;
  const double f = (hour * 3600 + minute * 60 + second) * kSecondFraction;
  const std::int64_t days = DaysFromCivil(year, month, day) - kDayZero;
  // Before day 0 the whole value is negated: 1899-12-29 06:00 is -1.25, not -0.75.
  return days >= 0 ? static_cast<double>(days) + f : -(static_cast<double>(-days) + f);
}

int HourOf(DateTime v) {
  return SecondsOfDay(v) / 3600;
}
int MinuteOf(DateTime v) {
  return SecondsOfDay(v) % 3600 / 60;
}
int SecondOf(DateTime v) {
  return SecondsOfDay(v) % 60;
}

TextValue DateText(DateTime v) {
  double whole;
  std::modf(v, &whole);
  const CivilDate date = CivilFromDays(kDayZero + static_cast<std::int64_t>(whole));
  const int s = SecondsOfDay(v);
  const int hour = s / 3600, minute = s % 3600 / 60, second = s % 60;
  char buffer[128];
  int n = std::snprintf(buffer, sizeof buffer, "%lld年%d月%d日", static_cast<long long>(date.year),
                        date.month, date.day);
  const std::size_t used = static_cast<std::size_t>(n);
  if (second != 0) {
    std::snprintf(buffer + used, sizeof buffer - used, "%d时%d分%d秒", hour, minute, second);
  } else if (minute != 0) {
    std::snprintf(buffer + used, sizeof buffer - used, "%d时%d分", hour, minute);
  } else if (hour != 0) {
    std::snprintf(buffer + used, sizeof buffer - used, "%d时", hour);
  }
  return TextValue(buffer);
}

DateTime CurrentDateTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

}  // namespace belvane
