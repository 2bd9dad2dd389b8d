#include "runtime/datetime.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>

namespace belvane {
namespace {

TEST(EncodeDateTime, FollowsTheOleDateConvention) {
  EXPECT_EQ(EncodeDateTime(1900, 3, 1, 0, 0, 0), 61.0);  // 1900 is not a leap year
  EXPECT_EQ(EncodeDateTime(1899, 12, 30, 12, 0, 0), 0.5);
  EXPECT_EQ(EncodeDateTime(1899, 12, 31, 0, 0, 0), 1.0);
  EXPECT_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0), 2.0);
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);  // negated whole, not -0.75
  EXPECT_EQ(EncodeDateTime(1898, 12, 31, 0, 0, 0), -364.0);
  EXPECT_EQ(EncodeDateTime(2000, 3, 1, 0, 0, 0), 36586.0);  // 2000 is a leap year
  EXPECT_EQ(EncodeDateTime(2022, 7, 4, 0, 0, 0), 44746.0);
}

TEST(TimeOfDay, RoundsToTheNearestSecondWithoutRollingOverForWholeSeconds) {
  const DateTime midnight = EncodeDateTime(2022, 7, 4, 0, 0, 0);
  EXPECT_EQ(HourOf(midnight), 0);
  EXPECT_EQ(MinuteOf(midnight), 0);
  EXPECT_EQ(SecondOf(midnight), 0);
  const DateTime last = EncodeDateTime(2022, 7, 4, 23, 59, 59);
  EXPECT_EQ(HourOf(last), 23);
  EXPECT_EQ(MinuteOf(last), 59);
  EXPECT_EQ(SecondOf(last), 59);
  EXPECT_EQ(SecondOf(44746.0 + 43200.6 / 86400.0), 1);  // 12:00:00.6
  EXPECT_EQ(SecondOf(44746.0 + 43200.4 / 86400.0), 0);
  // Near midnight: .4 stays in the day's last second; .6 rounds to second 86400 of the day,
  // which the rule reads as hour 24. Only values with a fraction of a second get there, and
  // CurrentDateTime never makes one; the clock label is built from whole seconds of the day
  // (app/schedule), never from these three.
  const DateTime before_half = 44746.0 + 86399.4 / 86400.0;
  EXPECT_EQ(HourOf(before_half), 23);
  EXPECT_EQ(MinuteOf(before_half), 59);
  EXPECT_EQ(SecondOf(before_half), 59);
  const DateTime after_half = 44746.0 + 86399.6 / 86400.0;
  EXPECT_EQ(HourOf(after_half), 24);
  EXPECT_EQ(MinuteOf(after_half), 0);
  EXPECT_EQ(SecondOf(after_half), 0);
  // Every second of a day reads back as itself.
  for (int s = 0; s < 86400; s += 7) {
    const DateTime v = EncodeDateTime(2026, 12, 7, s / 3600, s % 3600 / 60, s % 60);
    ASSERT_EQ(HourOf(v) * 3600 + MinuteOf(v) * 60 + SecondOf(v), s);
  }
  // Negative values keep their time of day: 1899-12-29 06:00.
  EXPECT_EQ(HourOf(-1.25), 6);
}

TEST(DateText, StopsAtTheLastNonZeroField) {
  EXPECT_EQ(DateText(EncodeDateTime(2022, 7, 4, 16, 23, 0)), "2022年7月4日16时23分");
  EXPECT_EQ(DateText(EncodeDateTime(2022, 7, 4, 0, 0, 0)), "2022年7月4日");
  EXPECT_EQ(DateText(EncodeDateTime(2022, 7, 4, 9, 0, 0)), "2022年7月4日9时");
  EXPECT_EQ(DateText(EncodeDateTime(2022, 7, 4, 0, 0, 5)), "2022年7月4日0时0分5秒");
  EXPECT_EQ(DateText(EncodeDateTime(1900, 2, 28, 0, 0, 0)), "1900年2月28日");
  EXPECT_EQ(DateText(EncodeDateTime(1899, 12, 29, 6, 0, 0)), "1899年12月29日6时");
}

TEST(CurrentDateTime, IsTheLocalClockInWholeSeconds) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const DateTime now = CurrentDateTime();
  SYSTEMTIME after;
  GetLocalTime(&after);
  auto at = [](const SYSTEMTIME& t) {
    return EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  };
  EXPECT_GE(now, at(before));
  EXPECT_LE(now, at(after));
  // Milliseconds are dropped, not kept as a fraction of a second.
  double whole;
  const double seconds = std::modf(now, &whole) * 86400.0;
  EXPECT_NEAR(seconds, std::round(seconds), 1e-4);
}

}  // namespace
}  // namespace belvane
