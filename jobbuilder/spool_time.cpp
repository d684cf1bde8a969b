#include "jobbuilder/spool_time.h"

#include "common/registry_helper.h"
#include "platform/calendar.h"
#include "platform/registry.h"

#include <cstdio>

namespace {

// Seconds of a wall-clock time on one continuous scale (time zones and daylight time play no part).
int64_t secondsOf(const platform::LocalTime& t)
{
    return platform::daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
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
    platform::civilFromDays(days, t.year, t.month, t.day);
    t.dayOfWeek = platform::dayOfWeekFromDays(days);
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
    platform::civilFromDays(platform::daysFromCivil(t.year, t.month, t.day), y, m, d);
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
