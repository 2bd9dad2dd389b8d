#pragma once
// Calendar dates and date ranges as the plan file writes them ("2027-06-07",
// "2027-07-10~2027-08-31"), and the clock's day count of a date.
//
// Thread policy: plain values and pure functions; safe from any thread.

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace belvane {

// A calendar date of the proleptic Gregorian calendar.
struct PlanDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  auto operator<=>(const PlanDate&) const = default;
};

// "YYYY-MM-DD" exactly (four, two and two digits) naming a date that exists; nothing otherwise.
std::optional<PlanDate> ParsePlanDate(std::string_view text);
// "2027-06-07".
std::string PlanDateText(PlanDate date);
// 0 = Monday ... 6 = Sunday.
int WeekdayOf(PlanDate date);
// "周一" ... "周日" for 0..6; empty out of range.
std::string_view WeekdayName(int weekday);
// The weekday named "周一" ... "周日"; nothing for any other text.
std::optional<int> WeekdayNamed(std::string_view name);
// The date of the clock's day count (local days since 1601-01-01, ClockReading::day), and back.
PlanDate DateOfClockDay(int clock_day);
int ClockDayOf(PlanDate date);

// From and to, both included.
struct DateRange {
  PlanDate from;
  PlanDate to;
  bool Holds(PlanDate date) const { return from <= date && date <= to; }
  // Days held, both ends counted.
  int Days() const { return ClockDayOf(to) - ClockDayOf(from) + 1; }
};
// "from~to" of two plan dates, the end not before the start; nothing otherwise.
std::optional<DateRange> ParseDateRange(std::string_view text);
// "2027-07-10~2027-08-31".
std::string DateRangeText(const DateRange& range);

}  // namespace belvane
