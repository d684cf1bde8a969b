#include "platform/system_info.h"

#include "platform/tcp.h"
#include "platform/text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ifaddrs.h>
#include <locale.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {
std::atomic<uint32_t> codePageOverride{0};
std::atomic<uint32_t> publishedAddressOverride{0};

// How long the host name's resolution may take.
constexpr int kHostResolveTimeoutMs = 3000;

bool isLoopback(uint32_t address) { return (ntohl(address) >> 24) == 127; }
} // namespace

std::string computerName()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return "LOCALHOST";
    std::string name(host);
    if (const auto dot = name.find('.'); dot != std::string::npos)
        name.resize(dot);
    name = asciiUpper(name);
    return std::string(utf8Prefix(name, 15));
}

std::vector<uint32_t> hostNameIPv4Addresses()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return {};
    return resolveIPv4All(host, kHostResolveTimeoutMs);
}

std::vector<uint32_t> interfaceIPv4Addresses()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    std::vector<uint32_t> found;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
            continue;
        const uint32_t address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        if (std::find(found.begin(), found.end(), address) == found.end())
            found.push_back(address);
    }
    ::freeifaddrs(list);
    return found;
}

std::optional<uint32_t> choosePublishedIPv4(std::span<const uint32_t> hostList, std::span<const uint32_t> interfaces)
{
    for (const auto list : {hostList, interfaces})
        for (const uint32_t a : list)
            if (a != 0 && !isLoopback(a))
                return a;
    for (const auto list : {hostList, interfaces})
        for (const uint32_t a : list)
            if (a != 0)
                return a;
    return std::nullopt;
}

std::string publishedIPv4Address()
{
    if (const uint32_t pinned = publishedAddressOverride.load())
        return formatIPv4(pinned);
    if (const char* v = std::getenv("QELTA_HOST_ADDRESS"); v && *v) {
        uint32_t pinned = 0;
        if (parseIPv4(v, pinned) && pinned != 0)
            return formatIPv4(pinned);
    }
    const auto chosen = choosePublishedIPv4(hostNameIPv4Addresses(), interfaceIPv4Addresses());
    return chosen ? formatIPv4(*chosen) : std::string();
}

void setPublishedIPv4Override(uint32_t address) { publishedAddressOverride.store(address); }

std::string userName()
{
    char buf[16384];
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &result) == 0 && result && result->pw_name)
        return result->pw_name;
    if (const char* u = std::getenv("USER"); u && *u)
        return u;
    return std::to_string(::getuid());
}

LocalTime localTimeOf(std::time_t t)
{
    std::tm tm{};
    ::localtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.dayOfWeek = tm.tm_wday;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    return lt;
}

LocalTime localTime()
{
    const auto now = std::chrono::system_clock::now();
    const auto t = std::chrono::system_clock::to_time_t(now);
    LocalTime lt = localTimeOf(t);
    lt.milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return lt;
}

int32_t timeZoneStandardBiasMinutes()
{
    // The standard offset is the one in force on whichever of 1 January and 1 July is not in
    // daylight time (zones without daylight time give the same answer for both).
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    for (int month : {0, 6}) {
        std::tm probe{};
        probe.tm_year = tm.tm_year;
        probe.tm_mon = month;
        probe.tm_mday = 1;
        probe.tm_hour = 12;
        probe.tm_isdst = -1;
        const std::time_t t = ::mktime(&probe);
        std::tm local{};
        ::localtime_r(&t, &local);
        if (local.tm_isdst == 0)
            return static_cast<int32_t>(-local.tm_gmtoff / 60);
    }
    return static_cast<int32_t>(-tm.tm_gmtoff / 60);
}

uint32_t processCodePage()
{
    if (const uint32_t o = codePageOverride.load())
        return o;
    if (const char* v = std::getenv("QELTA_CODEPAGE"); v && *v) {
        char* end = nullptr;
        const unsigned long cp = std::strtoul(v, &end, 10);
        if (end && *end == '\0' && cp > 0 && cp <= 0xFFFF)
            return static_cast<uint32_t>(cp);
    }
    return kUtf8CodePage;
}

void setProcessCodePage(uint32_t codePage) { codePageOverride.store(codePage); }

std::string formatLocalTimeText(const LocalTime& time, const char* format)
{
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_wday = time.dayOfWeek;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!locale)
        locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    char buffer[256] = {};
    const size_t length = locale ? ::strftime_l(buffer, sizeof buffer, format, &tm, locale) : 0;
    if (locale)
        ::freelocale(locale);
    return std::string(buffer, length);
}

std::string formatLocalDate(const LocalTime& time) { return formatLocalTimeText(time, "%x"); }

std::string formatLocalTime(const LocalTime& time) { return formatLocalTimeText(time, "%X"); }

} // namespace platform
