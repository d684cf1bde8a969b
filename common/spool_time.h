// The spool-time text that stamps a job and names its sending-log entry. The job builder and the
// sending log both make it here, so a job and its log entry always carry the same text.
#pragma once

#include "platform/system_info.h"

#include <cstdint>
#include <string>

/// True when t holds a real calendar date and time of day (day of week 0-6).
bool IsValidSpoolTime(const platform::LocalTime& t);

/// "%s, %2d %s %4d %s %d": day-of-week name, day, month name, year, "%H:%M:%S" and the time-zone
/// bias in minutes, e.g. "Th,  3 Dec 2026 09:05:07 -540". Empty for a date that is not valid.
std::string FormatSpoolTimeText(const platform::LocalTime& t, int32_t biasMinutes);

/// The same with the platform's standard time-zone bias.
std::string FormatSpoolTimeText(const platform::LocalTime& t);
