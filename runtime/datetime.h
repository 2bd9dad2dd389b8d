#pragma once
// DateTime: the OLE Automation date (days since 1899-12-30, fraction = part of the day; dates
// before day 0 stored negated), proleptic Gregorian, whole seconds.
// Thread safety: every function is stateless and safe from any thread.

#include <cstdint>

#include "runtime/text_value.h"

namespace belvane {

using DateTime = double;

// The DateTime of a calendar date and time of day (month 1-12).
DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

// Hour, minute and second of v, rounded to the nearest second (halves up); never rolls over
// into the next day for values built by EncodeDateTime.
int HourOf(DateTime v);
int MinuteOf(DateTime v);
int SecondOf(DateTime v);

// "2022年7月4日16时23分": date, then hour/minute/second down to the last non-zero field.
TextValue DateText(DateTime v);

// Now, from the local clock (GetLocalTime), milliseconds dropped.
DateTime CurrentDateTime();

}  // namespace belvane
