// Numbers as the library reads and writes them: always the classic form ("0.5", never "0,5"),
// whatever locale the process has set.
#pragma once

#include <boost/lexical_cast/bad_lexical_cast.hpp>

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace CXMLDOCLIB_Ostrel {

/// A whole number's text.
inline std::string numberText(int32_t value)
{
    char buf[16];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

/// A floating-point number's text with up to 16 significant digits, the shortest form that has them.
inline std::string numberText(double value)
{
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 16).ptr);
}

/// The number that the whole of text spells (an optional sign, then digits; for a floating-point
/// number also a fraction and exponent). Anything else throws boost::bad_lexical_cast.
template <typename T>
T parseNumberText(std::string_view text)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    T value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || (digits.front() == '-' && text.front() == '+') || error != std::errc()
        || end != digits.data() + digits.size())
        throw boost::bad_lexical_cast();
    return value;
}

} // namespace CXMLDOCLIB_Ostrel
