#include "platform/ole_date.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace platform;

namespace {

LocalTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    LocalTime t;
    std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds) =
        std::tie(year, month, day, hour, minute, second, ms);
    return t;
}

auto fields(const LocalTime& t)
{
    return std::tuple(t.year, t.month, t.day, t.dayOfWeek, t.hour, t.minute, t.second, t.milliseconds);
}

// The date decodes to the given time (milliseconds 0) on the given day of the week.
void expectDecodes(double date, LocalTime expected, int dayOfWeek)
{
    expected.dayOfWeek = dayOfWeek;
    LocalTime t;
    ASSERT_TRUE(localTimeFromDate(date, t)) << date;
    EXPECT_EQ(fields(t), fields(expected)) << date;
}

} // namespace

// Every second of a day after the epoch and of one before it (where the fraction runs against the
// sign of the integer part) comes back exactly.
TEST(OleDate, EverySecondOfADayRoundTrips)
{
    for (const auto& [day, dayOfWeek] : {std::pair(at(2026, 12, 3), 4), std::pair(at(1850, 6, 15), 6)}) {
        int failures = 0;
        for (int s = 0; s < 86400 && failures < 5; ++s) {
            LocalTime in = day;
            std::tie(in.hour, in.minute, in.second) = std::tuple(s / 3600, s / 60 % 60, s % 60);
            LocalTime out;
            const bool ok = localTimeFromDate(dateFromLocalTime(in), out);
            in.dayOfWeek = dayOfWeek;
            if (!ok || fields(out) != fields(in)) {
                ADD_FAILURE() << "second " << s << " of " << day.year;
                ++failures;
            }
        }
    }
}

TEST(OleDate, KnownValues)
{
    EXPECT_EQ(dateFromLocalTime(at(1899, 12, 30)), 0.0);
    EXPECT_EQ(dateFromLocalTime(at(1900, 1, 1)), 2.0);
    EXPECT_EQ(dateFromLocalTime(at(1900, 3, 1)), 61.0) << "1900 is no leap year";
    EXPECT_EQ(dateFromLocalTime(at(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(dateFromLocalTime(at(1899, 12, 30, 18)), 0.75);
    EXPECT_DOUBLE_EQ(dateFromLocalTime(at(2026, 12, 3, 9, 5, 7)), 46359 + (9 * 3600 + 5 * 60 + 7) / 86400.0);
    EXPECT_DOUBLE_EQ(dateFromLocalTime(at(2026, 12, 3, 0, 0, 0, 500)), 46359 + 0.5 / 86400);

    expectDecodes(0.0, at(1899, 12, 30), 6);
    expectDecodes(2.0, at(1900, 1, 1), 1);
    expectDecodes(-1.25, at(1899, 12, 29, 6), 5);
    expectDecodes(-0.25, at(1899, 12, 30, 6), 6); // a negative fraction of day zero still counts forward
    expectDecodes(dateFromLocalTime(at(2026, 12, 3, 9, 5, 7)), at(2026, 12, 3, 9, 5, 7), 4);
    expectDecodes(-657434.0, at(100, 1, 1), 5);
    expectDecodes(2958465.5, at(9999, 12, 31, 12), 5);
}

TEST(OleDate, RoundsToTheNearestSecondAndCarries)
{
    expectDecodes(dateFromLocalTime(at(2026, 12, 3, 9, 5, 7, 499)), at(2026, 12, 3, 9, 5, 7), 4);
    expectDecodes(dateFromLocalTime(at(2026, 12, 3, 9, 5, 7, 501)), at(2026, 12, 3, 9, 5, 8), 4);
    expectDecodes(46359 + 0.999999 / 86400, at(2026, 12, 3, 0, 0, 1), 4);
    // 23:59:59.6 carries through seconds, minutes and hours into the next day, month and year.
    expectDecodes(dateFromLocalTime(at(2026, 12, 3, 23, 59, 59, 600)), at(2026, 12, 4), 5);
    expectDecodes(dateFromLocalTime(at(2026, 12, 31, 23, 59, 59, 600)), at(2027, 1, 1), 5);
    // Before the epoch the carry still moves forward in time.
    expectDecodes(dateFromLocalTime(at(1899, 12, 28, 23, 59, 59, 600)), at(1899, 12, 29), 5);
    expectDecodes(dateFromLocalTime(at(1899, 12, 29, 23, 59, 59, 600)), at(1899, 12, 30), 6);
}

TEST(OleDate, LeapDays)
{
    EXPECT_EQ(dateFromLocalTime(at(2024, 2, 29, 12)), 45351.5);
    expectDecodes(45351.5, at(2024, 2, 29, 12), 4);
    expectDecodes(45352.5, at(2024, 3, 1, 12), 5);
    expectDecodes(dateFromLocalTime(at(2024, 2, 28, 23, 59, 59, 700)), at(2024, 2, 29), 4);
    expectDecodes(dateFromLocalTime(at(2000, 2, 29)), at(2000, 2, 29), 2);
    expectDecodes(dateFromLocalTime(at(1600, 2, 29, 1)), at(1600, 2, 29, 1), 2);
}

TEST(OleDate, InvalidDatesAreRefused)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const LocalTime untouched = at(2001, 2, 3, 4, 5, 6);
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), inf, -inf, -657435.0, -657435.5, 2958466.0,
                             1e300, -1e300, 2958465.99999999 /* rounds into the year 10000 */}) {
        LocalTime t = untouched;
        EXPECT_FALSE(localTimeFromDate(bad, t)) << bad;
        EXPECT_EQ(fields(t), fields(untouched)) << bad;
    }
    expectDecodes(-657434.99, at(100, 1, 1, 23, 45, 36), 5);
    expectDecodes(2958465.9999, at(9999, 12, 31, 23, 59, 51), 5);
}
