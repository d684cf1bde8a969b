// What the PJL job stream takes as values: the one definition that the job builder checks its
// registrations against and that callers use to clean texts before they register them.
#pragma once

#include <cstddef>
#include <string_view>

namespace jobcheck {

/// Longest PJL header line, CR LF included.
inline constexpr size_t kMaxHeaderLine = 1023;
/// Most destinations one job carries (the destination block counts them in 16 bits).
inline constexpr size_t kMaxDestinations = 65535;

/// A byte that may stand inside a quoted PJL value: no quotation mark and no control byte.
inline bool IsQuotableByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return c != '"' && byte >= 0x20 && byte != 0x7F;
}

/// Safe inside a quoted PJL value.
inline bool IsQuotableValue(std::string_view text)
{
    for (char c : text)
        if (!IsQuotableByte(c))
            return false;
    return true;
}

/// Safe inside a destination entry and in the job name it can become: quotable, and no ';' or '/'.
inline bool IsDestinationField(std::string_view text)
{
    for (char c : text)
        if (c == ';' || c == '/' || !IsQuotableByte(c))
            return false;
    return true;
}

/// True when prefix + quoted value + CR LF stays within one header line.
inline bool FitsQuotedLine(std::string_view prefix, std::string_view value)
{
    return prefix.size() + value.size() + 4 <= kMaxHeaderLine;
}

} // namespace jobcheck
