#include "runtime/datetime.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

namespace belvane {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (month 1-12; months outside carry over).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y += (m - 1 >= 0 ? (m - 1) / 12 : (m - 12) / 12);
  m = ((m - 1) % 12 + 12) % 12 + 1;
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2), month, day};
}

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
