#include "common/xml_value.h"

#include "xmldoc/codepage.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace cp = CXMLDOCLIB_Ostrel;

namespace {

constexpr uint32_t kReplacement = '?';

int32_t codeTypeOf(uint32_t codePage)
{
    switch (codePage) {
    case 932:
        return cp::CT_SHIFT_JIS;
    case 936:
        return cp::CT_GB2312;
    case 950:
        return cp::CT_BIG5;
    case 1250:
        return cp::CT_ISO_8859_2;
    case 65001:
        return cp::CT_UTF8;
    default:
        return cp::CT_ISO_8859_1;
    }
}

// Converts length bytes of source into a zero-filled buffer of perUnit bytes per source byte and
// returns the buffer; empty when the conversion is refused or the buffer would be too large.
// A zero-terminated source is read up to its zero rather than its length, so that a UTF-8
// sequence cut off at the end of the text reads as malformed ("?") instead of ending it early.
std::vector<uint8_t> convert(const void* source, size_t length, int32_t from, int32_t to, size_t perUnit,
                             bool zeroTerminated = false)
{
    constexpr size_t kMax = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    if (length == 0 || length > kMax || length > (kMax - 8) / perUnit)
        return {};
    std::vector<uint8_t> out(length * perUnit + 8, 0);
    if (cp::ConvertCodePage(source, zeroTerminated ? -1 : static_cast<int32_t>(length), from, out.data(),
                            static_cast<int32_t>(out.size()), to, kReplacement, 0) < 0)
        return {};
    return out;
}

std::string bytesUpToZero(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return {};
    const void* end = std::memchr(bytes.data(), 0, bytes.size());
    const size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - bytes.data()) : bytes.size();
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

size_t unitsUpToZero(const std::vector<uint8_t>& bytes)
{
    size_t units = 0;
    while (units * 2 + 1 < bytes.size() && (bytes[units * 2] | bytes[units * 2 + 1]) != 0)
        ++units;
    return units;
}

// text of type `from` -> UCS-2 little-endian -> type `to`; UTF-8 to UTF-8 goes directly so that
// characters beyond the 16-bit range survive.
std::string convertText(const std::string& text, int32_t from, int32_t to)
{
    try {
        const bool utf8 = from == cp::CT_UTF8; // std::string's text is always zero-terminated
        if (from == to)
            return bytesUpToZero(convert(text.c_str(), text.size(), from, to, 1, utf8));
        const std::vector<uint8_t> wide = convert(text.c_str(), text.size(), from, cp::CT_UCS2_LE, 4, utf8);
        const size_t units = unitsUpToZero(wide);
        return bytesUpToZero(convert(wide.data(), units * 2, cp::CT_UCS2_LE, to, 3));
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const std::length_error&) {
        return {};
    }
}

struct Entity {
    char character;
    const char* text;
    size_t length;
};

// The writer's and the reader's table; the angle brackets take each other's entity.
constexpr Entity kEntities[] = {
    {'<', "&gt;", 4}, {'>', "&lt;", 4}, {'&', "&amp;", 5}, {'\'', "&apos;", 6}, {'"', "&quot;", 6},
};

} // namespace

std::string ConvertFromCodePage(const std::string& text, uint32_t codePage)
{
    return convertText(text, codeTypeOf(codePage), cp::CT_UTF8);
}

std::string ConvertToCodePage(const std::string& utf8, uint32_t codePage)
{
    return convertText(utf8, cp::CT_UTF8, codeTypeOf(codePage));
}

std::string EscapeXml(const std::string& text)
{
    std::string out;
    try {
        out.reserve(text.size() + text.size() / 4 + 1);
        for (const char c : text) {
            const Entity* hit = nullptr;
            for (const Entity& e : kEntities)
                if (e.character == c) {
                    hit = &e;
                    break;
                }
            if (hit)
                out.append(hit->text, hit->length);
            else
                out.push_back(c);
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
    return out;
}

std::string UnescapeXml(const std::string& text)
{
    std::string out;
    try {
        out.reserve(text.size());
        size_t i = 0;
        while (i < text.size()) {
            const size_t amp = text.find('&', i);
            if (amp == std::string::npos) {
                out.append(text, i, std::string::npos);
                break;
            }
            out.append(text, i, amp - i);
            i = amp;
            const Entity* hit = nullptr;
            for (const Entity& e : kEntities)
                if (text.compare(i, e.length, e.text) == 0) {
                    hit = &e;
                    break;
                }
            if (hit) {
                out.push_back(hit->character);
                i += hit->length;
            } else {
                out.push_back('&');
                ++i;
            }
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
    return out;
}

std::string EncodeXmlValue(const std::string& text, int escape, uint32_t codePage)
{
    return ConvertFromCodePage(escape != 0 ? EscapeXml(text) : text, codePage);
}

std::string DecodeXmlValue(const std::string& stored, int unescape, uint32_t codePage)
{
    const std::string text = ConvertToCodePage(stored, codePage);
    return unescape != 0 ? UnescapeXml(text) : text;
}

bool IsStoredKeyName(const std::string& name)
{
    if (name.empty() || name.size() > 255)
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!(letter || (i > 0 && ((c >= '0' && c <= '9') || c == '-' || c == '.'))))
            return false;
    }
    return true;
}
