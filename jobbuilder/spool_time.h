// The spool time of a job: chosen once per job, always at least one second after the previous
// job's (HKEY_LOCAL_MACHINE "LastSpoolTime"), unless that one lies more than an hour ahead.
#pragma once

#include "jobbuilder/job.h"

#include <optional>
#include <string>
#include <string_view>

/// Reads "Y/M/D,h:m:s" (six decimal numbers, padded or not). Nothing when it is not a valid time.
std::optional<platform::LocalTime> ParseLastSpoolTime(std::string_view text);

/// The spool time for a job starting at now after the last one: one second past last when now is
/// not later than last and not more than an hour before it; otherwise now.
platform::LocalTime NextSpoolTime(const platform::LocalTime& now, const std::optional<platform::LocalTime>& last);

/// "%Y/%m/%d,%H:%M:%S", or with padded == false "%d/%d/%d,%d:%d:%d".
std::string FormatLastSpoolTime(const platform::LocalTime& t, bool padded);

/// Fixes the job's spool time if it is not fixed yet: reads and rewrites "LastSpoolTime" as one
/// step under the registry's lock, so jobs built at the same time get distinct times. A registry
/// failure is ignored; the spool time is fixed all the same.
void FixSpoolTime(CQeltaJob& job);
