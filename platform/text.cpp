#include "platform/text.h"

#include <algorithm>
#include <climits>

namespace platform {

namespace {
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
} // namespace

std::string asciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

std::string asciiUpper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

int compareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(lowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(lowerAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view utf8Prefix(std::string_view s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t cut = maxBytes;
    // Step back over continuation bytes to the lead byte of the sequence that straddles the cut.
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return s.substr(0, cut);
}

int decodeUtf8(std::string_view s, size_t pos, char32_t& cp)
{
    const auto c = static_cast<unsigned char>(s[pos]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int len;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return -1;
    }
    for (int k = 1; k < len; ++k) {
        if (pos + k >= s.size() || (static_cast<unsigned char>(s[pos + k]) & 0xC0) != 0x80)
            return -k; // the lead byte and the continuation bytes that belonged to it
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + k]) & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return -len; // overlong, surrogate or beyond U+10FFFF
    return len;
}

bool isValidUtf8(std::string_view s)
{
    char32_t cp;
    for (size_t i = 0; i < s.size();) {
        const int n = decodeUtf8(s, i, cp);
        if (n < 0)
            return false;
        i += static_cast<size_t>(n);
    }
    return true;
}

std::optional<int> leadingInt(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    const size_t digits = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (magnitude < limit)
            magnitude = std::min(limit, magnitude * 10 + (s[i] - '0'));
    if (i == digits)
        return std::nullopt;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

std::string_view trimBlanks(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

namespace {

// A code point that could end or break a line where the text is shown.
bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029; }

// True when the name is shown as it is.
bool isPlainName(std::string_view name)
{
    if (name.starts_with('"'))
        return false;
    for (size_t pos = 0; pos < name.size();) {
        char32_t cp = 0;
        const int n = decodeUtf8(name, pos, cp);
        if (n < 0 || isControl(cp))
            return false;
        pos += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string quotedText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        const int n = decodeUtf8(text, pos, cp);
        if (n < 0) { // a byte of no character: as a byte
            const auto byte = static_cast<unsigned char>(text[pos++]);
            out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
            continue;
        }
        if (cp == '\n' || cp == '\r' || cp == '\t')
            out += {'\\', cp == '\n' ? 'n' : cp == '\r' ? 'r' : 't'};
        else if (cp < 0x80 && isControl(cp))
            out += {'\\', 'x', kHex[cp >> 4], kHex[cp & 0xF]};
        else if (isControl(cp))
            out += {'\\', 'u', kHex[(cp >> 12) & 0xF], kHex[(cp >> 8) & 0xF], kHex[(cp >> 4) & 0xF], kHex[cp & 0xF]};
        else if (cp == '"' || cp == '\\')
            out += {'\\', static_cast<char>(cp)};
        else
            out.append(text.substr(pos, static_cast<size_t>(n)));
        pos += static_cast<size_t>(n);
    }
    out += '"';
    return out;
}

std::string quotedName(std::string_view name) { return isPlainName(name) ? std::string(name) : quotedText(name); }
} // namespace platform
