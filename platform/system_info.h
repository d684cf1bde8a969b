// Facts about the machine, the user, the clock and the process code page.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

/// The computer name: the host name cut at the first dot, upper case, at most 15 bytes.
std::string computerName();

/// The login name of the user running this process.
std::string userName();

/// The IPv4 addresses (network byte order) the host name resolves to, in the resolver's order;
/// empty when it does not resolve within a few seconds.
std::vector<uint32_t> hostNameIPv4Addresses();

/// The IPv4 addresses (network byte order) of the host's network interfaces that are up, in the
/// order the system lists them.
std::vector<uint32_t> interfaceIPv4Addresses();

/// The address to tell peers on the network: the first address of hostList outside 127.0.0.0/8,
/// else the first such address of interfaces, else the first loopback address of either list
/// (hostList first). 0.0.0.0 is never chosen. Nothing when no list holds an address.
std::optional<uint32_t> choosePublishedIPv4(std::span<const uint32_t> hostList, std::span<const uint32_t> interfaces);

/// This host's IPv4 address for peers, dotted: the override when one is set, else
/// choosePublishedIPv4 over the host name's addresses and the interfaces' ("" when there is none).
/// A Debian host name usually resolves to 127.0.1.1, which no other machine reaches, hence the rule.
std::string publishedIPv4Address();

/// Pins publishedIPv4Address to an address (network byte order; tests pin 127.0.0.1); 0 restores
/// the default. The variable QELTA_HOST_ADDRESS, when set to a dotted address, pins it for a whole
/// process; an explicit override beats it.
void setPublishedIPv4Override(uint32_t address);

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
