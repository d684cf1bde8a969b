#include "platform/ole_date.h"

#include "platform/calendar.h"

#include <cmath>
#include <cstdint>

namespace platform {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

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
    out.dayOfWeek = dayOfWeekFromDays(day + kEpoch);
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    t = out;
    return true;
}

} // namespace platform
