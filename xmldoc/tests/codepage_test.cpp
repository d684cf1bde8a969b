#include "xmldoc/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace CXMLDOCLIB_Ostrel;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kUnwritten = 0xCC;

struct Converted {
    int32_t result;
    Bytes out; // the whole destination buffer
};

// Converts from a heap copy of exactly the given bytes (so that reading past them is caught),
// into a destination prefilled with kUnwritten.
Converted convert(const Bytes& in, int32_t from, int32_t to, int32_t destinationLength = 64,
                  uint32_t replacement = '?', int32_t sourceLength = -2)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[in.size() + 1]);
    if (!in.empty())
        std::memcpy(copy.get(), in.data(), in.size());
    Converted c;
    c.out.assign(destinationLength > 0 ? static_cast<size_t>(destinationLength) : 256, kUnwritten);
    c.result = ConvertCodePage(copy.get(), sourceLength == -2 ? static_cast<int32_t>(in.size()) : sourceLength, from,
                               c.out.data(), destinationLength, to, replacement, 0);
    return c;
}

Bytes bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// The destination starts with expected and nothing after it was written.
::testing::AssertionResult wrote(const Converted& c, const Bytes& expected)
{
    if (c.out.size() < expected.size())
        return ::testing::AssertionFailure() << "destination too small";
    for (size_t i = 0; i < expected.size(); ++i)
        if (c.out[i] != expected[i])
            return ::testing::AssertionFailure()
                   << "byte " << i << ": got 0x" << std::hex << int(c.out[i]) << ", want 0x" << int(expected[i]);
    if (c.out.size() > expected.size() && c.out[expected.size()] != kUnwritten)
        return ::testing::AssertionFailure() << "more written after " << expected.size() << " bytes: 0x" << std::hex
                                             << int(c.out[expected.size()]);
    return ::testing::AssertionSuccess();
}

Bytes ucs2be(std::initializer_list<uint16_t> units)
{
    Bytes b;
    for (uint16_t u : units) {
        b.push_back(static_cast<uint8_t>(u >> 8));
        b.push_back(static_cast<uint8_t>(u));
    }
    return b;
}

const std::vector<int32_t>& validTypes()
{
    static const std::vector<int32_t> types = [] {
        std::vector<int32_t> t;
        for (int32_t i = 0; i < kCodeTypeCount; ++i)
            if (IsValidCodeType(i))
                t.push_back(i);
        return t;
    }();
    return types;
}

// ---------------------------------------------------------------------------------------------------
// The code-type table and the routes

TEST(CodePageTypes, TwentyFiveTypesInUse)
{
    const std::vector<int32_t> expected = {0, 1, 2, 5, 7, 9, 17, 18, 19, 20, 21, 22, 26,
                                           27, 29, 31, 32, 33, 34, 36, 37, 38, 39, 40, 41};
    EXPECT_EQ(validTypes(), expected);
    EXPECT_FALSE(IsValidCodeType(-1));
    EXPECT_FALSE(IsValidCodeType(42));
}

TEST(CodePageTypes, RoutesFollowTheFirstRuleThatApplies)
{
    EXPECT_EQ(ConversionRoute(CT_KOI8_R, CT_KOI8_R), 1);
    EXPECT_EQ(ConversionRoute(CT_UTF8, CT_UCS2_LE), 3);
    EXPECT_EQ(ConversionRoute(CT_SHIFT_JIS, CT_UCS2), 3);
    EXPECT_EQ(ConversionRoute(CT_UCS2_BE, CT_UTF8), 4);
    EXPECT_EQ(ConversionRoute(CT_UCS4_BE, CT_UTF8), 4);
    EXPECT_EQ(ConversionRoute(CT_UCS2_BE, CT_BIG5), 5);
    EXPECT_EQ(ConversionRoute(CT_UTF8, CT_ISO_8859_7), 6);
    EXPECT_EQ(ConversionRoute(CT_EUC_JP, CT_ISO_2022_JP), 2);
    EXPECT_EQ(ConversionRoute(CT_ISO_8859_2, CT_WINDOWS_1250), 0);
    EXPECT_EQ(ConversionRoute(CT_SHIFT_JIS, CT_CP936), 0);
    EXPECT_EQ(ConversionRoute(CT_UCS4_BE, CT_SHIFT_JIS), 0);
    EXPECT_EQ(ConversionRoute(3, 3), 0);
}

// "A" in the encoding of a type.
Bytes letterA(int32_t type)
{
    switch (type) {
    case CT_UCS2:
    case CT_UCS2_BE:
        return {0x00, 0x41};
    case CT_UCS2_LE:
        return {0x41, 0x00};
    case CT_UCS4_BE:
        return {0x00, 0x00, 0x00, 0x41};
    default:
        return {0x41};
    }
}

TEST(CodePageTypes, EveryRoutedPairConvertsAndEveryOtherIsRefused)
{
    for (int32_t from : validTypes()) {
        for (int32_t to : validTypes()) {
            SCOPED_TRACE(::testing::Message() << from << " -> " << to);
            const Converted c = convert(letterA(from), from, to);
            if (ConversionRoute(from, to) == 0) {
                EXPECT_EQ(c.result, -1);
                EXPECT_TRUE(wrote(c, {}));
                continue;
            }
            ASSERT_EQ(c.result, 0);
            // Read the output back as UTF-8: "A" and the end.
            int32_t outType = to;
            Converted back = convert(c.out, outType, CT_UTF8, 64, '?', -1);
            EXPECT_EQ(back.result, 0);
            EXPECT_TRUE(wrote(back, {0x41, 0x00}));
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Arguments, results and the end of a conversion

TEST(CodePageConvert, RefusedCalls)
{
    uint8_t src[2] = {0x41, 0}, dst[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
    EXPECT_EQ(ConvertCodePage(src, 0, CT_UTF8, dst, 4, CT_UTF8, '?', 0), -1);
    EXPECT_EQ(ConvertCodePage(src, 1, CT_UTF8, dst, 4, CT_UTF8, '?', 1), -1);
    EXPECT_EQ(ConvertCodePage(src, 1, CT_UTF8, dst, 0, CT_UTF8, '?', 0), -1);
    EXPECT_EQ(ConvertCodePage(nullptr, 1, CT_UTF8, dst, 4, CT_UTF8, '?', 0), -1);
    EXPECT_EQ(ConvertCodePage(src, 1, CT_UTF8, nullptr, 4, CT_UTF8, '?', 0), -1);
    EXPECT_EQ(ConvertCodePage(src, 1, 3, dst, 4, CT_UTF8, '?', 0), -1);
    EXPECT_EQ(ConvertCodePage(src, 1, CT_UTF8, dst, 4, 42, '?', 0), -1);
    // Two single-byte types have no route: refused, nothing written.
    EXPECT_EQ(ConvertCodePage(src, 1, CT_ISO_8859_2, dst, 4, CT_WINDOWS_1250, '?', 0), -1);
    EXPECT_EQ(dst[0], kUnwritten);
}

TEST(CodePageConvert, LimitReachedReadsAsTheZeroCharacter)
{
    const Converted c = convert({0x41}, CT_WINDOWS_1252, CT_UTF8);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(wrote(c, {0x41, 0x00}));
}

TEST(CodePageConvert, NegativeLimitsStopAtTheZeroCharacter)
{
    const Converted c = convert({0x41, 0x42, 0x00}, CT_ISO_8859_1, CT_UTF8, -1, '?', -1);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(wrote(c, {0x41, 0x42, 0x00}));
}

TEST(CodePageConvert, TruncationIsReported)
{
    // Room for "AB" but not the zero.
    Converted c = convert(bytes("AB"), CT_UTF8, CT_UTF8, 2);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {0x41, 0x42}));
    // A two-byte character with one byte of room leaves the destination untouched.
    c = convert({0x82, 0xA0}, CT_SHIFT_JIS, CT_SHIFT_JIS, 1);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {}));
    // Whole characters only: "é" needs two bytes, one is left after "A".
    c = convert({0x41, 0xE9}, CT_ISO_8859_1, CT_UTF8, 2);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {0x41}));
    // Exactly enough room, zero included.
    c = convert(bytes("AB"), CT_UTF8, CT_UTF8, 3);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(wrote(c, {0x41, 0x42, 0x00}));
}

// Texts that take both the run loop and the character loop: ASCII runs between mapped and
// unmapped double-byte codes, a lone lead byte, malformed UTF-8. A destination limit anywhere cuts
// the whole conversion's output after a whole character; a source limit reads the text as if it
// ended there (the copy convert makes ends there too, so a read past it is caught).
TEST(CodePageConvert, EveryLimitCutsTheWholeConversion)
{
    struct Case {
        int32_t from, to;
        Bytes text;
    } const cases[] = {
        {CT_SHIFT_JIS, CT_UTF8, bytes("ab \x82\xa0\x88\x9f cdefghijk\xb1\x81\x40xyz\xff\x85\x40 end.")},
        {CT_CP936, CT_UTF8, bytes("abc\xd6\xd0\xce\xc4 some ascii \x80\xfe\xfe q\xa4\xa2 tail")},
        {CT_UTF8, CT_SHIFT_JIS, bytes("ab \xe3\x81\x82\xe4\xb8\xad cdefghij \xe2\x82\xac\xc3\xa9\xc0\x80\xed\xa0\x80 \xef\xbd\xb1z")},
        {CT_UTF8, CT_CP936, bytes("\xe4\xb8\xad\xe6\x96\x87 plain words \xe3\x81 x\xf0\x9f\x98\x80 \xc2\xa5 end")},
    };
    for (const Case& c : cases) {
        const Converted whole = convert(c.text, c.from, c.to, 256);
        ASSERT_EQ(whole.result, 0);
        const size_t length = static_cast<size_t>(std::find(whole.out.begin(), whole.out.end(), 0) - whole.out.begin());
        size_t last = 0;
        for (int32_t limit = 1; limit <= static_cast<int32_t>(length); ++limit) {
            const Converted cut = convert(c.text, c.from, c.to, limit);
            EXPECT_EQ(cut.result, 1) << limit;
            const size_t kept = static_cast<size_t>(
                std::find(cut.out.begin(), cut.out.end(), kUnwritten) - cut.out.begin());
            EXPECT_TRUE(kept <= static_cast<size_t>(limit) && kept + 3 >= static_cast<size_t>(limit) && kept >= last)
                << limit << ": " << kept;
            EXPECT_TRUE(std::equal(cut.out.begin(), cut.out.begin() + static_cast<long>(kept), whole.out.begin()))
                << limit;
            last = kept;
        }
        for (size_t end = 1; end <= c.text.size(); ++end) {
            const Bytes head(c.text.begin(), c.text.begin() + static_cast<long>(end));
            const Converted limited = convert(c.text, c.from, c.to, 256, '?', static_cast<int32_t>(end));
            const Converted alone = convert(head, c.from, c.to, 256);
            EXPECT_EQ(limited.result, alone.result) << end;
            EXPECT_EQ(limited.out, alone.out) << end;
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Replacement in the table-driven kinds

TEST(CodePageReplacement, UnmappableCodesAndValues)
{
    // 0x80 has no character in US-ASCII.
    EXPECT_TRUE(wrote(convert({0x80}, CT_US_ASCII, CT_UTF8), {0x3F, 0x00}));
    // U+0100 has no ISO-8859-1 code.
    EXPECT_TRUE(wrote(convert(ucs2be({0x100, 0x41}), CT_UCS2_BE, CT_ISO_8859_1), {0x3F, 0x41, 0x00}));
    // ISO-8859-7 in its 1987 form: 0xA4 has no character.
    EXPECT_TRUE(wrote(convert({0xA4}, CT_ISO_8859_7, CT_UCS2_BE), {0x00, 0x3F, 0x00, 0x00}));
    // The replacement is written as a code of the destination type.
    EXPECT_TRUE(wrote(convert(ucs2be({0x4E00}), CT_UCS2_BE, CT_WINDOWS_1252, 64, 0xA4), {0xA4, 0x00}));
}

TEST(CodePageReplacement, ZeroReplacementEndsTheOutput)
{
    Converted c = convert(ucs2be({0x41, 0x100, 0x42}), CT_UCS2_BE, CT_ISO_8859_1, 64, 0);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(wrote(c, {0x41, 0x00}));
    c = convert({0x41, 0x80, 0x42}, CT_US_ASCII, CT_UTF8, 64, 0);
    EXPECT_TRUE(wrote(c, {0x41, 0x00}));
}

// ---------------------------------------------------------------------------------------------------
// Shift_JIS, EUC-JP, ISO-2022-JP

TEST(CodePageJapanese, ShiftJis)
{
    EXPECT_TRUE(wrote(convert({0x82, 0xA0, 0xB1}, CT_SHIFT_JIS, CT_UCS2_BE), ucs2be({0x3042, 0xFF71, 0})));
    EXPECT_TRUE(wrote(convert(ucs2be({0x3042, 0xFF71, 0x41}), CT_UCS2_BE, CT_SHIFT_JIS), {0x82, 0xA0, 0xB1, 0x41, 0}));
    // A character with two codes is written with the preferred (higher) one.
    EXPECT_TRUE(wrote(convert(ucs2be({0x2235}), CT_UCS2_BE, CT_SHIFT_JIS), {0xFA, 0x5B, 0}));
    EXPECT_TRUE(wrote(convert(ucs2be({0x2252}), CT_UCS2_BE, CT_SHIFT_JIS), {0x87, 0x90, 0}));
    EXPECT_TRUE(wrote(convert(ucs2be({0x2170}), CT_UCS2_BE, CT_SHIFT_JIS), {0xFA, 0x40, 0}));
}

TEST(CodePageJapanese, EucJp)
{
    EXPECT_TRUE(wrote(convert({0xA4, 0xA2, 0x8E, 0xB1, 0x41}, CT_EUC_JP, CT_UCS2_BE),
                      ucs2be({0x3042, 0xFF71, 0x41, 0})));
    EXPECT_TRUE(wrote(convert(ucs2be({0x3042, 0xFF71, 0x41}), CT_UCS2_BE, CT_EUC_JP),
                      {0xA4, 0xA2, 0x8E, 0xB1, 0x41, 0x00}));
    // SS3 (JIS X 0212) has no Shift_JIS form: one replacement, the next character intact.
    EXPECT_TRUE(wrote(convert({0x8F, 0xA2, 0xB7, 0xA4, 0xA2}, CT_EUC_JP, CT_UCS2_BE), ucs2be({0x3F, 0x3042, 0})));
    // 0x8E with a byte outside the half-width range.
    EXPECT_TRUE(wrote(convert({0x8E, 0xE0}, CT_EUC_JP, CT_UCS2_BE), ucs2be({0x3F, 0})));
    // An extension code of code page 932 has no EUC-JP form.
    EXPECT_TRUE(wrote(convert(ucs2be({0x2235}), CT_UCS2_BE, CT_EUC_JP), {0x3F, 0x00}));
    // Between the Japanese types directly.
    EXPECT_TRUE(wrote(convert({0x82, 0xA0, 0xB1}, CT_SHIFT_JIS, CT_EUC_JP), {0xA4, 0xA2, 0x8E, 0xB1, 0x00}));
    EXPECT_TRUE(wrote(convert({0xB0, 0xA1}, CT_EUC_JP, CT_SHIFT_JIS), {0x88, 0x9F, 0x00}));
}

TEST(CodePageJapanese, Iso2022JpWriting)
{
    // Each set change writes its escape; the zero character returns to ASCII first.
    EXPECT_TRUE(wrote(convert(ucs2be({0x3042, 0x41}), CT_UCS2_BE, CT_ISO_2022_JP),
                      {0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x42, 0x41, 0x00}));
    EXPECT_TRUE(wrote(convert(ucs2be({0x3042}), CT_UCS2_BE, CT_ISO_2022_JP),
                      {0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x42, 0x00}));
    EXPECT_TRUE(wrote(convert(ucs2be({0xFF71, 0xFF72}), CT_UCS2_BE, CT_ISO_2022_JP),
                      {0x1B, 0x28, 0x49, 0x31, 0x32, 0x1B, 0x28, 0x42, 0x00}));
    EXPECT_TRUE(wrote(convert(ucs2be({0x2235}), CT_UCS2_BE, CT_ISO_2022_JP), {0x3F, 0x00}));
    // The escape and its character fit together or not at all.
    Converted c = convert(ucs2be({0x41, 0x3042}), CT_UCS2_BE, CT_ISO_2022_JP, 5);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {0x41}));
    // Closing the text needs the escape and the zero.
    c = convert(ucs2be({0x3042}), CT_UCS2_BE, CT_ISO_2022_JP, 7);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {0x1B, 0x24, 0x42, 0x24, 0x22}));
}

TEST(CodePageJapanese, Iso2022JpReading)
{
    EXPECT_TRUE(wrote(convert({0x1B, 0x28, 0x49, 0x31}, CT_ISO_2022_JP, CT_UCS2_BE), ucs2be({0xFF71, 0})));
    for (uint8_t final : {0x40, 0x42, 0x44}) {
        EXPECT_TRUE(wrote(convert({0x1B, 0x24, final, 0x24, 0x22, 0x1B, 0x28, 0x4A, 0x41}, CT_ISO_2022_JP, CT_UCS2_BE),
                          ucs2be({0x3042, 0x41, 0})));
    }
    // SO and SI switch to half-width katakana and back.
    EXPECT_TRUE(wrote(convert({0x0E, 0x31, 0x0F, 0x31}, CT_ISO_2022_JP, CT_UCS2_BE), ucs2be({0xFF71, 0x31, 0})));
    // An escape that starts no known sequence is a character; so is one with two bytes left.
    EXPECT_TRUE(wrote(convert({0x1B, 0x28, 0x5A}, CT_ISO_2022_JP, CT_UCS2_BE), ucs2be({0x1B, 0x28, 0x5A, 0})));
    EXPECT_TRUE(wrote(convert({0x41, 0x1B, 0x28}, CT_ISO_2022_JP, CT_UCS2_BE), ucs2be({0x41, 0x1B, 0x28, 0})));
    // An escape with exactly three bytes left is recognised.
    EXPECT_TRUE(wrote(convert({0x1B, 0x24, 0x42}, CT_ISO_2022_JP, CT_UCS2_BE), ucs2be({0})));
}

TEST(CodePageJapanese, Iso2022JpToItselfKeepsTheReadersSet)
{
    // 0x29 0x21 has no character; the replacement is written in ASCII, but the reader stays in the
    // two-byte set for the character after it.
    const Converted c =
        convert({0x1B, 0x24, 0x42, 0x29, 0x21, 0x24, 0x22, 0x1B, 0x28, 0x42}, CT_ISO_2022_JP, CT_ISO_2022_JP);
    EXPECT_TRUE(wrote(c, {0x3F, 0x1B, 0x24, 0x42, 0x24, 0x22, 0x1B, 0x28, 0x42, 0x00}));
}

// ---------------------------------------------------------------------------------------------------
// UCS-2, UCS-4, UTF-8

TEST(CodePageUnicode, Ucs2ByteOrderMark)
{
    EXPECT_TRUE(wrote(convert({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}, CT_UCS2, CT_UTF8), {0x41, 0x42, 0x00}));
    EXPECT_TRUE(wrote(convert({0xFE, 0xFF, 0x00, 0x41}, CT_UCS2, CT_UTF8), {0x41, 0x00}));
    EXPECT_TRUE(wrote(convert({0x00, 0x41}, CT_UCS2, CT_UTF8), {0x41, 0x00}));
    // A mark alone is an empty text.
    EXPECT_TRUE(wrote(convert({0xFF, 0xFE}, CT_UCS2, CT_UTF8), {0x00}));
    // Writing: the mark, then big-endian; to itself a little-endian source becomes big-endian.
    Converted c = convert({0x41}, CT_UTF8, CT_UCS2, 4);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {0xFE, 0xFF, 0x00, 0x41}));
    EXPECT_TRUE(wrote(convert({0xFF, 0xFE, 0x41, 0x00}, CT_UCS2, CT_UCS2), {0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00}));
    // The mark and the first character fit together or not at all.
    c = convert({0x41}, CT_UTF8, CT_UCS2, 3);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(wrote(c, {}));
    EXPECT_TRUE(wrote(convert({0x41}, CT_UTF8, CT_UCS2_LE), {0x41, 0x00, 0x00, 0x00}));
}

TEST(CodePageUnicode, Ucs4)
{
    EXPECT_TRUE(wrote(convert({0x00, 0x01, 0xF6, 0x00}, CT_UCS4_BE, CT_UTF8), {0xF0, 0x9F, 0x98, 0x80, 0x00}));
    EXPECT_TRUE(
        wrote(convert({0xF0, 0x9F, 0x98, 0x80}, CT_UTF8, CT_UCS4_BE), {0x00, 0x01, 0xF6, 0x00, 0, 0, 0, 0}));
    // A partial unit at the end of the source ends it.
    EXPECT_TRUE(wrote(convert({0x00, 0x00, 0x00, 0x41, 0x00, 0x00}, CT_UCS4_BE, CT_UTF8), {0x41, 0x00}));
}

TEST(CodePageUnicode, ValuesAboveFfffAreReplacedInUcs2)
{
    EXPECT_TRUE(wrote(convert({0x00, 0x01, 0xF6, 0x00}, CT_UCS4_BE, CT_UCS2_BE), {0x00, 0x3F, 0x00, 0x00}));
    EXPECT_TRUE(wrote(convert({0xF0, 0x9F, 0x98, 0x80, 0x41}, CT_UTF8, CT_UCS2_LE), {0x3F, 0x00, 0x41, 0x00, 0, 0}));
    // ... and in the table-driven types.
    EXPECT_TRUE(wrote(convert({0xF0, 0x9F, 0x98, 0x80}, CT_UTF8, CT_SHIFT_JIS), {0x3F, 0x00}));
}

TEST(CodePageUnicode, Utf8LengthBoundaries)
{
    struct Case {
        uint16_t value;
        Bytes utf8;
    };
    const Case cases[] = {
        {0x7F, {0x7F}},
        {0x80, {0xC2, 0x80}},
        {0x7FF, {0xDF, 0xBF}},
        {0x800, {0xE0, 0xA0, 0x80}},
        {0xFFFF, {0xEF, 0xBF, 0xBF}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value);
        Bytes withZero = k.utf8;
        withZero.push_back(0);
        EXPECT_TRUE(wrote(convert(ucs2be({k.value}), CT_UCS2_BE, CT_UTF8), withZero));
        EXPECT_TRUE(wrote(convert(k.utf8, CT_UTF8, CT_UCS2_BE), ucs2be({k.value, 0})));
    }
    EXPECT_TRUE(wrote(convert({0xF4, 0x8F, 0xBF, 0xBF}, CT_UTF8, CT_UCS4_BE), {0x00, 0x10, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(CodePageUnicode, MalformedUtf8IsOneReplacementEach)
{
    const std::string cases[] = {
        "\x80",                     // stray continuation
        "\xBF",                     //
        "\xC3",                     // missing continuation (followed by "A")
        "\xE3\x81",                 //
        "\xF0\x9F\x98",             //
        "\xC0\x80",                 // overlong
        "\xC1\xBF",                 //
        "\xE0\x80\x80",             //
        "\xE0\x9F\xBF",             //
        "\xF0\x8F\xBF\xBF",         //
        "\xED\xA0\x80",             // surrogates
        "\xED\xBF\xBF",             //
        "\xF4\x90\x80\x80",         // above U+10FFFF
        "\xF7\xBF\xBF\xBF",         //
        "\xF8\x88\x80\x80\x80",     // five- and six-byte forms
        "\xFC\x84\x80\x80\x80\x80", //
        "\xFE",                     //
        "\xFF",                     //
    };
    for (const std::string& bad : cases) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        EXPECT_TRUE(wrote(convert(bytes(bad + "A"), CT_UTF8, CT_UTF8), {0x3F, 0x41, 0x00}));
        EXPECT_TRUE(wrote(convert(bytes("x" + bad + bad + "y"), CT_UTF8, CT_UCS2_BE), ucs2be({'x', '?', '?', 'y', 0})));
    }
    // Valid forms pass through unchanged.
    const std::string good = "A\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    Bytes expected = bytes(good);
    expected.push_back(0);
    EXPECT_TRUE(wrote(convert(bytes(good), CT_UTF8, CT_UTF8), expected));
}

// ---------------------------------------------------------------------------------------------------
// The end of the source: nothing is read past it (the source is an exact heap copy)

TEST(CodePageSourceEnd, LeadByteAtTheEndOfALimitedSourceEndsIt)
{
    const int32_t types[] = {CT_SHIFT_JIS, CT_EUC_JP, CT_CP936, CT_CP950, CT_GB2312, CT_BIG5};
    for (int32_t type : types) {
        SCOPED_TRACE(type);
        const uint8_t lead = type == CT_SHIFT_JIS ? 0x88 : 0xB0;
        const Converted c = convert({0x41, lead}, type, CT_UTF8);
        EXPECT_EQ(c.result, 0);
        EXPECT_TRUE(wrote(c, {0x41, 0x00}));
    }
    EXPECT_TRUE(wrote(convert({0x41, 0x8F, 0xA2}, CT_EUC_JP, CT_UTF8), {0x41, 0x00}));
    EXPECT_TRUE(wrote(convert({0x1B, 0x24, 0x42, 0x24}, CT_ISO_2022_JP, CT_UTF8), {0x00}));
    // A UTF-8 sequence cut by the limit.
    EXPECT_TRUE(wrote(convert({0x41, 0xE3, 0x81}, CT_UTF8, CT_UTF8), {0x41, 0x00}));
    EXPECT_TRUE(wrote(convert({0x41, 0xE3}, CT_UTF8, CT_UTF8), {0x41, 0x00}));
    // An odd byte at the end of a UCS-2 source.
    EXPECT_TRUE(wrote(convert({0x00, 0x41, 0x00}, CT_UCS2_BE, CT_UTF8), {0x41, 0x00}));
}

TEST(CodePageSourceEnd, ZeroTrailByteIsTheTerminator)
{
    const int32_t types[] = {CT_SHIFT_JIS, CT_EUC_JP, CT_CP936, CT_CP950, CT_GB2312, CT_BIG5};
    for (int32_t type : types) {
        SCOPED_TRACE(type);
        const uint8_t lead = type == CT_SHIFT_JIS ? 0x88 : 0xB0;
        // Limited: the zero ends the text even with bytes after it.
        EXPECT_TRUE(wrote(convert({0x41, lead, 0x00, 0xA1, 0xA1}, type, CT_UTF8), {0x41, 0x00}));
        // Unlimited: nothing after the zero is read.
        EXPECT_TRUE(wrote(convert({0x41, lead, 0x00}, type, CT_UTF8, 64, '?', -1), {0x41, 0x00}));
    }
    EXPECT_TRUE(wrote(convert({0x8F, 0xA2, 0x00}, CT_EUC_JP, CT_UTF8, 64, '?', -1), {0x00}));
    EXPECT_TRUE(wrote(convert({0x8F, 0x00}, CT_EUC_JP, CT_UTF8, 64, '?', -1), {0x00}));
    EXPECT_TRUE(wrote(convert({0x1B, 0x24, 0x42, 0x24, 0x00}, CT_ISO_2022_JP, CT_UTF8, 64, '?', -1), {0x00}));
    EXPECT_TRUE(wrote(convert({0x41, 0x1B, 0x00}, CT_ISO_2022_JP, CT_UTF8, 64, '?', -1), {0x41, 0x1B, 0x00}));
    EXPECT_TRUE(wrote(convert({0x1B, 0x28, 0x00}, CT_ISO_2022_JP, CT_UTF8, 64, '?', -1), {0x1B, 0x28, 0x00}));
    // A UTF-8 lead before the zero is one replacement; the zero still ends the text.
    EXPECT_TRUE(wrote(convert({0x41, 0xE3, 0x00}, CT_UTF8, CT_UTF8, 64, '?', -1), {0x41, 0x3F, 0x00}));
    EXPECT_TRUE(wrote(convert({0xF0, 0x9F, 0x98, 0x00}, CT_UTF8, CT_UTF8, 64, '?', -1), {0x3F, 0x00}));
}

// ---------------------------------------------------------------------------------------------------
// Round trips over every table

Bytes codeBytes(uint32_t code)
{
    if (code <= 0xFF)
        return {static_cast<uint8_t>(code)};
    return {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
}

uint32_t preferredCode(int32_t type, uint32_t value)
{
    const CodeTypeTables& t = kCodeTypeTables[type];
    if (value >= t.fromUnicodeCount)
        return 0;
    return t.fromUnicodeBytes ? static_cast<const uint8_t*>(t.fromUnicode)[value]
                              : static_cast<const uint16_t*>(t.fromUnicode)[value];
}

TEST(CodePageTables, EveryCodeRoundTripsThroughUcs2)
{
    const int32_t tableTypes[] = {0, 1, 2, 5, 7, 9, 17, 18, 19, 20, 21, 22, 26, 27, 29, 33, 34, 36};
    for (int32_t type : tableTypes) {
        const CodeTypeTables& t = kCodeTypeTables[type];
        ASSERT_NE(t.toUnicode, nullptr) << "type " << type;
        int mapped = 0;
        for (uint32_t code = 1; code < t.toUnicodeCount; ++code) {
            const uint16_t value = t.toUnicode[code];
            if (value == 0)
                continue;
            ++mapped;
            SCOPED_TRACE(::testing::Message() << "type " << type << " code 0x" << std::hex << code);
            uint8_t wide[8];
            const Bytes in = codeBytes(code);
            ASSERT_EQ(ConvertCodePage(in.data(), static_cast<int32_t>(in.size()), type, wide, 8, CT_UCS2_BE, '?', 0), 0);
            ASSERT_EQ((wide[0] << 8) | wide[1], value);
            ASSERT_EQ((wide[2] << 8) | wide[3], 0);
            uint8_t back[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
            ASSERT_EQ(ConvertCodePage(wide, 2, CT_UCS2_BE, back, 4, type, '?', 0), 0);
            // A character the from-Unicode table cannot hold (Big5 has a few beyond its count)
            // comes back as the replacement.
            const uint32_t preferred = preferredCode(type, value);
            Bytes expected = codeBytes(preferred == 0 ? '?' : preferred);
            if (preferred == 0) {
                ASSERT_GE(value, t.fromUnicodeCount);
            } else if (preferred != code) {
                ASSERT_EQ(t.toUnicode[preferred], value); // another code of the same character
            }
            expected.push_back(0);
            ASSERT_EQ(Bytes(back, back + expected.size()), expected);
        }
        EXPECT_GT(mapped, 0) << "type " << type;
    }
}

TEST(CodePageTables, PreferredCodesOfCodePage950)
{
    const struct {
        uint16_t value, code;
    } cases[] = {{0x2550, 0xF9F9}, {0x255E, 0xF9E9}, {0x2561, 0xF9EB}, {0x256A, 0xF9EA}, {0x256D, 0xA27E},
                 {0x256E, 0xA2A1}, {0x256F, 0xA2A3}, {0x2570, 0xA2A2}, {0x5341, 0xA451}, {0x5345, 0xA4CA}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.value);
        EXPECT_TRUE(wrote(convert(ucs2be({k.value}), CT_UCS2_BE, CT_CP950),
                          {static_cast<uint8_t>(k.code >> 8), static_cast<uint8_t>(k.code), 0x00}));
    }
}

TEST(CodePageTables, SingleByteCodesOfDoubleByteCodePages)
{
    // 0x80 is the euro sign by itself in code page 936; it is neither a lead nor written as two bytes.
    EXPECT_TRUE(wrote(convert({0x80, 0x41}, CT_CP936, CT_UCS2_BE), ucs2be({0x20AC, 0x41, 0})));
    EXPECT_TRUE(wrote(convert(ucs2be({0x20AC, 0x41}), CT_UCS2_BE, CT_CP936), {0x80, 0x41, 0x00}));
}

TEST(CodePageTables, JapaneseTypesAgreeOnJis0208)
{
    // Every JIS X 0208 character of Shift_JIS converts to EUC-JP and ISO-2022-JP and back.
    const CodeTypeTables& t = kCodeTypeTables[CT_SHIFT_JIS];
    int checked = 0;
    for (uint32_t lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF)
            continue;
        for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
            const uint32_t code = (lead << 8) | trail;
            if (trail == 0x7F || code >= t.toUnicodeCount || t.toUnicode[code] == 0)
                continue;
            if (preferredCode(CT_SHIFT_JIS, t.toUnicode[code]) != code)
                continue;
            SCOPED_TRACE(::testing::Message() << std::hex << code);
            for (int32_t other : {CT_EUC_JP, CT_ISO_2022_JP}) {
                const uint8_t in[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
                uint8_t mid[16] = {}, back[4] = {};
                ASSERT_EQ(ConvertCodePage(in, 2, CT_SHIFT_JIS, mid, 16, other, '?', 0), 0);
                ASSERT_EQ(ConvertCodePage(mid, -1, other, back, 4, CT_SHIFT_JIS, '?', 0), 0);
                ASSERT_EQ(Bytes(back, back + 3), (Bytes{in[0], in[1], 0}));
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 6000);
}

} // namespace
