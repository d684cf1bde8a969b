// Small text helpers shared by the platform layer and the suite: ASCII case folding and
// UTF-8-safe cuts. Every narrow string of the suite is UTF-8 (the process code page).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Only the characters "0123456789" (the empty text passes).
constexpr bool isDecimalDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

/// The value of a hexadecimal digit (either case), or -1.
constexpr int hexDigitValue(char c)
{
    return (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
}

/// ASCII-only lower-casing; bytes >= 0x80 are left alone.
std::string asciiLower(std::string_view s);

/// ASCII-only upper-casing; bytes >= 0x80 are left alone.
std::string asciiUpper(std::string_view s);

/// Equality ignoring ASCII case.
bool equalsNoCase(std::string_view a, std::string_view b);

/// Three-way comparison ignoring ASCII case (byte order after folding).
int compareNoCase(std::string_view a, std::string_view b);

/// Ordering functor for containers keyed without regard to ASCII case.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return compareNoCase(a, b) < 0; }
};

/// The longest prefix of at most maxBytes bytes that does not end inside a UTF-8 sequence.
std::string_view utf8Prefix(std::string_view s, size_t maxBytes);

/// Decodes the UTF-8 sequence at s[pos]: its length in bytes with the code point in cp, or, for a
/// malformed sequence, minus the number of bytes it spans (at least one) so a caller can step over it.
int decodeUtf8(std::string_view s, size_t pos, char32_t& cp);

/// True when s is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view s);

/// Optional blanks, an optional sign and the decimal digits up to the first other byte, clamped to
/// int (the profile files' number rule); none when no digit follows.
std::optional<int> leadingInt(std::string_view s);

/// Leading and trailing blanks (space, tab, CR, LF, VT, FF) removed.
std::string_view trimBlanks(std::string_view s);

/// A name (of a file, folder, queue) as a failure's reason shows it, in one line: unchanged when it
/// holds no control character (C0, DEL, C1, the Unicode line and paragraph separators) and does not
/// start with a quotation mark; otherwise in quotation marks, with '"' and '\\' escaped by a '\\'
/// and control characters written as \n, \r, \t, \xNN (a byte) or \uNNNN.
std::string quotedName(std::string_view name);

/// The same escapes, always in quotation marks.
std::string quotedText(std::string_view text);

} // namespace platform
