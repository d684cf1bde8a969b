#include "common/spool_time.h"

#include <cstdio>

namespace {
const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Th", "Fr", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}
} // namespace

bool IsValidSpoolTime(const platform::LocalTime& t)
{
    return t.year >= 1601 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1
        && t.day <= daysIn(t.year, t.month) && t.dayOfWeek >= 0 && t.dayOfWeek <= 6 && t.hour >= 0 && t.hour <= 23
        && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::string FormatSpoolTimeText(const platform::LocalTime& t, int32_t biasMinutes)
{
    if (!IsValidSpoolTime(t))
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %2d %s %4d %02d:%02d:%02d %d", kDayNames[t.dayOfWeek], t.day,
                  kMonthNames[t.month - 1], t.year, t.hour, t.minute, t.second, static_cast<int>(biasMinutes));
    return buf;
}

std::string FormatSpoolTimeText(const platform::LocalTime& t)
{
    return FormatSpoolTimeText(t, platform::timeZoneStandardBiasMinutes());
}
