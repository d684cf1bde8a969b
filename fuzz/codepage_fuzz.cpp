// Text of any code type converted to any other: byte 0 picks the source type, byte 1 the
// destination type, byte 2 the destination size; the rest is the text. Nothing may be read past
// the source (the sanitizers see every overread) or written past the destination, and text that
// starts as UTF-8 must be stable after one trip out to another type and back.
#include "xmldoc/codepage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace CXMLDOCLIB_Ostrel;

namespace {

// The source as a zero-terminated copy: for the UCS forms the zero is a whole aligned unit.
std::vector<uint8_t> terminated(const uint8_t* text, size_t size, int32_t type)
{
    size_t unit = 1;
    if (type == CT_UCS2 || type == CT_UCS2_BE || type == CT_UCS2_LE)
        unit = 2;
    else if (type == CT_UCS4_BE)
        unit = 4;
    std::vector<uint8_t> copy(text, text + size);
    copy.resize((size + unit - 1) / unit * unit + unit, 0);
    return copy;
}

// Converts into a buffer of exactly capacity bytes; the result and the bytes up to the zero.
int32_t convert(const uint8_t* in, int32_t inLength, int32_t from, int32_t to, size_t capacity,
                std::vector<uint8_t>& out)
{
    out.assign(capacity, 0);
    return ConvertCodePage(in, inLength, from, out.data(), static_cast<int32_t>(capacity), to, '?', 0);
}

// The text part of a converted buffer: up to its zero unit.
std::vector<uint8_t> textOf(const std::vector<uint8_t>& out, int32_t type)
{
    size_t unit = (type == CT_UCS2 || type == CT_UCS2_BE || type == CT_UCS2_LE) ? 2 : type == CT_UCS4_BE ? 4 : 1;
    size_t n = 0;
    for (; n + unit <= out.size(); n += unit) {
        bool zero = true;
        for (size_t i = 0; i < unit; ++i)
            zero = zero && out[n + i] == 0;
        if (zero)
            break;
    }
    return std::vector<uint8_t>(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 || size > 4096)
        return 0;
    const int32_t from = data[0] % kCodeTypeCount;
    const int32_t to = data[1] % kCodeTypeCount;
    const size_t room = static_cast<size_t>(data[2]) + 1;
    const uint8_t* text = data + 3;
    const size_t length = size - 3;
    const bool routed = IsValidCodeType(from) && IsValidCodeType(to) && ConversionRoute(from, to) != 0;

    std::vector<uint8_t> out;
    if (length > 0) {
        // Limited source: an exact heap copy, so any read past it is caught.
        std::vector<uint8_t> exact(text, text + length);
        const int32_t r = convert(exact.data(), static_cast<int32_t>(length), from, to, room, out);
        if (routed ? (r != 0 && r != 1) : r != -1)
            std::abort();
    }
    const std::vector<uint8_t> copy = terminated(text, length, from);
    const int32_t r = convert(copy.data(), -1, from, to, room, out);
    if (routed ? (r != 0 && r != 1) : r != -1)
        std::abort();

    // UTF-8 out to another type and back twice: the second trip changes nothing. ESC, SO and SI
    // written as characters to ISO-2022-JP read back as shifts, so such texts are left out there.
    const bool shifts = to == CT_ISO_2022_JP && (std::memchr(text, 0x1B, length) || std::memchr(text, 0x0E, length) ||
                                                 std::memchr(text, 0x0F, length));
    if (from == CT_UTF8 && length > 0 && !shifts && IsValidCodeType(to) && ConversionRoute(CT_UTF8, to) != 0 &&
        ConversionRoute(to, CT_UTF8) != 0) {
        const size_t big = 8 * length + 16;
        std::vector<uint8_t> a, b, c, d;
        if (convert(text, static_cast<int32_t>(length), CT_UTF8, to, big, a) != 0)
            std::abort();
        const std::vector<uint8_t> aText = textOf(a, to);
        if (aText.empty())
            return 0;
        if (convert(aText.data(), static_cast<int32_t>(aText.size()), to, CT_UTF8, big, b) != 0)
            std::abort();
        const std::vector<uint8_t> bText = textOf(b, CT_UTF8);
        if (bText.empty())
            return 0;
        if (convert(bText.data(), static_cast<int32_t>(bText.size()), CT_UTF8, to, 8 * bText.size() + 16, c) != 0)
            std::abort();
        const std::vector<uint8_t> cText = textOf(c, to);
        if (cText.empty())
            std::abort();
        if (convert(cText.data(), static_cast<int32_t>(cText.size()), to, CT_UTF8, big, d) != 0)
            std::abort();
        if (textOf(d, CT_UTF8) != bText)
            std::abort();
    }
    return 0;
}
