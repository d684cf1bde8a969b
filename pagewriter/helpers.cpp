// The driver's helpers: product settings in the registry, memory, and overlap-safe copies.
#include "pagewriter/pagewriter.h"

#include "platform/com.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kProfileBufferBytes = 128;
constexpr uintptr_t kFirstTextAddress = 0x10000; // below this a value is a number, not an address

// Windows error codes for registry results.
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorInvalidParameter = 87;

int32_t errorCode(platform::RegStatus status)
{
    switch (status) {
    case platform::RegStatus::Ok:
        return 0;
    case platform::RegStatus::NotFound:
        return kErrorFileNotFound;
    case platform::RegStatus::InvalidName:
        return kErrorInvalidParameter;
    case platform::RegStatus::Corrupt:
    case platform::RegStatus::IoError:
    case platform::RegStatus::Reentered:
        break;
    }
    return kErrorAccessDenied;
}

// The value's text, or the default when the key or value cannot be read or is not a string.
std::string profileText(const char* valueName, const char* defaultText)
{
    platform::RegistryKey key;
    platform::RegValue value;
    if (platform::RegistryKey::open(platform::Hive::LocalMachine, platform::kProductKey, key) == platform::RegStatus::Ok
        && key.query(valueName ? valueName : "", value) == platform::RegStatus::Ok
        && (value.type == platform::RegType::String || value.type == platform::RegType::ExpandString))
        return value.text();
    return defaultText ? defaultText : "";
}

// The leading decimal number of text (after blanks and a sign), held within int's range.
int leadingNumber(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    long long n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        n = std::min<long long>(n * 10 + (text[i] - '0'), 1LL + INT_MAX);
    n = negative ? -n : n;
    return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

} // namespace

extern "C" int myGetProfileData32(void*, const char* valueName, const char* defaultText, char* buffer)
{
    return guardedExport(0, [&] {
        const std::string text = profileText(valueName, defaultText);
        if (!buffer)
            return leadingNumber(text);
        const std::string_view kept = platform::utf8Prefix(text, kProfileBufferBytes - 1);
        std::memcpy(buffer, kept.data(), kept.size());
        buffer[kept.size()] = '\0';
        return static_cast<int>(kept.size());
    });
}

extern "C" int32_t myWriteProfileData32(void*, const char* valueName, uintptr_t value)
{
    return guardedExport(kErrorAccessDenied, [&] {
        platform::RegistryKey key;
        const platform::RegStatus opened = platform::RegistryKey::open(platform::Hive::LocalMachine, platform::kProductKey, key);
        if (opened != platform::RegStatus::Ok)
            return errorCode(opened);
        // The value is stored without its terminating zero.
        platform::RegValue stored;
        stored.type = platform::RegType::String;
        stored.data = value < kFirstTextAddress ? std::to_string(static_cast<int>(value))
                                                : std::string(reinterpret_cast<const char*>(value));
        return errorCode(key.set(valueName ? valueName : "", stored));
    });
}

extern "C" void* xmalloc32(void** out, size_t size)
{
    return guardedExport<void*>(nullptr, [&]() -> void* {
        void* p = std::malloc(size);
        if (out)
            *out = p;
        return p;
    });
}

extern "C" void free32(void** p)
{
    guardedExport(0, [&] {
        if (p) {
            std::free(*p);
            *p = nullptr;
        }
        return 0;
    });
}

namespace {
void* copyBytes(void* destination, const void* source, size_t count)
{
    return guardedExport<void*>(nullptr, [&] { return std::memmove(destination, source, count); });
}
} // namespace

extern "C" void* memcpy3232(void* destination, const void* source, size_t count) { return copyBytes(destination, source, count); }
extern "C" void* memcpy3216(void* destination, const void* source, size_t count) { return copyBytes(destination, source, count); }
extern "C" void* memcpy1616(void* destination, const void* source, size_t count) { return copyBytes(destination, source, count); }
extern "C" void* memcpy1632(void* destination, const void* source, size_t count) { return copyBytes(destination, source, count); }
