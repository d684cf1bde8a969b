#include "jobbuilder/spool_time.h"

#include "common/registry_helper.h"
#include "platform/registry.h"

#include <cstdio>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's civil algorithms).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Seconds of a wall-clock time on one continuous scale (time zones and daylight time play no part).
int64_t secondsOf(const platform::LocalTime& t)
{
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

platform::LocalTime timeOf(int64_t seconds)
{
    platform::LocalTime t;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    civilFromDays(days, t.year, t.month, t.day);
    t.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool validTime(const platform::LocalTime& t)
{
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59
        || t.second < 0 || t.second > 59 || t.year < 1601 || t.year > 9999)
        return false;
    int y, m, d;
    civilFromDays(daysFromCivil(t.year, t.month, t.day), y, m, d);
    return y == t.year && m == t.month && d == t.day; // rejects 31 April and the like
}

} // namespace

std::optional<platform::LocalTime> ParseLastSpoolTime(std::string_view text)
{
    static const char delimiters[] = {'/', '/', ',', ':', ':', '\0'};
    int numbers[6];
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t start = pos;
        long value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 6)
            value = value * 10 + (text[pos++] - '0');
        if (pos == start)
            return std::nullopt;
        numbers[i] = static_cast<int>(value);
        if (i < 5) {
            if (pos >= text.size() || text[pos] != delimiters[i])
                return std::nullopt;
            ++pos;
        }
    }
    if (pos != text.size())
        return std::nullopt;
    platform::LocalTime t;
    t.year = numbers[0];
    t.month = numbers[1];
    t.day = numbers[2];
    t.hour = numbers[3];
    t.minute = numbers[4];
    t.second = numbers[5];
    if (!validTime(t))
        return std::nullopt;
    return timeOf(secondsOf(t)); // fills in the day of the week
}

platform::LocalTime NextSpoolTime(const platform::LocalTime& now, const std::optional<platform::LocalTime>& last)
{
    if (!last)
        return now;
    const int64_t n = secondsOf(now);
    const int64_t l = secondsOf(*last);
    if (n <= l && n + 3600 >= l) {
        platform::LocalTime next = timeOf(l + 1);
        next.milliseconds = now.milliseconds;
        return next;
    }
    return now;
}

std::string FormatLastSpoolTime(const platform::LocalTime& t, bool padded)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, padded ? "%04d/%02d/%02d,%02d:%02d:%02d" : "%d/%d/%d,%d:%d:%d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    return buf;
}

void FixSpoolTime(CQeltaJob& job)
{
    if (job.m_bSpoolTimeFixed)
        return;
    const platform::LocalTime now = platform::localTime();
    platform::LocalTime chosen = now;
    bool decided = false;
    platform::RegistryKey key;
    if (platform::RegistryKey::create(platform::Hive::LocalMachine, std::string(kProductKeyPrefix) + kProductSubkey, key)
        == platform::RegStatus::Ok) {
        key.update("LastSpoolTime", [&](const platform::RegValue* current) {
            // A value that does not hold six numbers counts as empty.
            const auto last = current ? ParseLastSpoolTime(current->text()) : std::nullopt;
            chosen = NextSpoolTime(now, last);
            decided = true;
            return std::optional<platform::RegValue>(platform::RegValue::string(FormatLastSpoolTime(chosen, last.has_value())));
        });
    }
    if (!decided)
        chosen = now;
    job.m_spoolTime = chosen;
    job.m_bSpoolTimeFixed = 1;
}
