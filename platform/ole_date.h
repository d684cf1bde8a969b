// OLE Automation dates: a double counting days since 1899-12-30 00:00, its fraction the time of day.
// Before 1899-12-30 the integer part is negative while the fraction still counts forward from
// midnight as its absolute value: -1.25 is 1899-12-29 06:00.
#pragma once

#include "platform/system_info.h"

namespace platform {

/// The date of a local time, milliseconds included. The fields must hold a real calendar date and
/// time of day; dayOfWeek is not read.
double dateFromLocalTime(const LocalTime& t);

/// The local time of a date, rounded to the nearest second (milliseconds 0, dayOfWeek filled in).
/// False, leaving t untouched, for NaN, infinities and dates outside the years 100 to 9999.
bool localTimeFromDate(double date, LocalTime& t);

} // namespace platform
