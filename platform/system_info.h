// Facts about the machine, the user, the clock and the process code page.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

/// The computer name: the host name cut at the first dot, upper case, at most 15 bytes.
std::string computerName();

/// The login name of the user running this process.
std::string userName();

/// A broken-down local time, as the suite's time stamps use it.
struct LocalTime {
    int year = 0, month = 0, dayOfWeek = 0, day = 0; // month 1-12, dayOfWeek 0 = Sunday
    int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

/// The current local time.
LocalTime localTime();

/// The local time of a given instant.
LocalTime localTimeOf(std::time_t t);

/// A local time formatted by strftime's format in the user's time locale (the process locale is not
/// touched); empty when the text would exceed 255 bytes.
std::string formatLocalTimeText(const LocalTime& time, const char* format);

/// The date of a local time in the short form of the user's locale (LC_ALL, LC_TIME, LANG;
/// "12/31/26" in the "C" locale).
std::string formatLocalDate(const LocalTime& time);

/// The time of day of a local time in the form of the user's locale ("23:59:58" in the "C" locale).
std::string formatLocalTime(const LocalTime& time);

/// The standard-time bias of the local time zone in minutes: UTC = local time + bias.
/// Daylight saving never enters it, so every program that builds a value from it agrees.
int32_t timeZoneStandardBiasMinutes();

/// The code page of the process's narrow strings: 65001 (UTF-8) unless overridden.
uint32_t processCodePage();

/// Overrides the process code page (tests run other code pages this way); 0 restores the default.
/// The variable QELTA_CODEPAGE, when set to a number, overrides it for a whole process.
void setProcessCodePage(uint32_t codePage);

/// The code page of UTF-8.
inline constexpr uint32_t kUtf8CodePage = 65001;

} // namespace platform
