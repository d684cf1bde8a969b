#include "platform/ole_date.h"

#include <cmath>
#include <cstdint>

namespace platform {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days between 1970-01-01 and a date of the proleptic Gregorian calendar.
constexpr int64_t daysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, int& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr int64_t kEpoch = daysFromCivil(1899, 12, 30);
// Day numbers of 0100-01-01 and 9999-12-31, the first and last days a date may fall on.
constexpr int64_t kFirstDay = daysFromCivil(100, 1, 1) - kEpoch;
constexpr int64_t kLastDay = daysFromCivil(9999, 12, 31) - kEpoch;

} // namespace

double dateFromLocalTime(const LocalTime& t)
{
    const double day = static_cast<double>(daysFromCivil(t.year, t.month, t.day) - kEpoch);
    const double seconds = t.hour * 3600.0 + t.minute * 60.0 + t.second + t.milliseconds / 1000.0;
    const double fraction = seconds / static_cast<double>(kSecondsPerDay);
    return day < 0 ? day - fraction : day + fraction;
}

bool localTimeFromDate(double date, LocalTime& t)
{
    if (!std::isfinite(date))
        return false;
    double whole = 0;
    const double fraction = std::fabs(std::modf(date, &whole));
    if (whole < static_cast<double>(kFirstDay) || whole > static_cast<double>(kLastDay))
        return false;

    int64_t day = static_cast<int64_t>(whole);
    int64_t seconds = std::llround(fraction * static_cast<double>(kSecondsPerDay));
    if (seconds >= kSecondsPerDay) { // rounded up to the next midnight
        seconds -= kSecondsPerDay;
        ++day;
        if (day > kLastDay)
            return false;
    }

    LocalTime out;
    civilFromDays(day + kEpoch, out.year, out.month, out.day);
    out.dayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7); // 1899-12-30 was a Saturday
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    t = out;
    return true;
}

} // namespace platform
