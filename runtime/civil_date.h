#pragma once
// Calendar arithmetic of the proleptic Gregorian calendar, exact for any year: days from
// 1970-01-01 and back (after H. Hinnant's algorithms). Header-only and free of the platform, so
// the plan's reader, which is fuzzed natively, uses the same arithmetic as the runtime.
//
// Thread safety: pure functions.

#include <cstdint>

namespace belvane {

// Days from 1970-01-01 of a date (month 1-12; months outside carry over into the year).
constexpr std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
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

// The date `z` days from 1970-01-01.
constexpr CivilDate CivilFromDays(std::int64_t z) {
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

}  // namespace belvane
