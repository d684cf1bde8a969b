// Unit tests of the generated code-page tables: the size of every row, known characters of each
// code set, the choice among codes that share a character, and that every from-Unicode entry
// decodes back to its value.
#include "xmldoc/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using namespace CXMLDOCLIB_Ostrel;

uint16_t toU(int32_t type, uint32_t code)
{
    const CodeTypeTables& t = kCodeTypeTables[type];
    return code < t.toUnicodeCount ? t.toUnicode[code] : 0;
}

uint32_t fromU(int32_t type, uint32_t value)
{
    const CodeTypeTables& t = kCodeTypeTables[type];
    if (value >= t.fromUnicodeCount)
        return 0;
    return t.fromUnicodeBytes ? static_cast<const uint8_t*>(t.fromUnicode)[value]
                              : static_cast<const uint16_t*>(t.fromUnicode)[value];
}

struct Row {
    int32_t type;
    uint32_t toCount;
    uint32_t fromCount;
    bool bytes;
};

const Row kRows[] = {
    {0, 256, 256, true},        {1, 256, 256, true},        {2, 256, 734, false},       {5, 256, 8471, false},
    {7, 255, 8218, false},      {9, 256, 352, false},       {17, 256, 8483, false},     {18, 256, 8483, false},
    {19, 256, 8483, false},     {20, 255, 8483, false},     {21, 256, 8483, false},     {22, 255, 8483, false},
    {26, 64588, 65510, false},  {27, 65104, 65510, false},  {29, 63999, 65510, false},  {33, 63487, 65510, false},
    {34, 63958, 65381, false},  {36, 256, 9633, false},
};

TEST(CodePageTables, RowSizes)
{
    bool tableDriven[kCodeTypeCount] = {};
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.type);
        const CodeTypeTables& t = kCodeTypeTables[r.type];
        tableDriven[r.type] = true;
        ASSERT_NE(t.toUnicode, nullptr);
        ASSERT_NE(t.fromUnicode, nullptr);
        EXPECT_EQ(t.toUnicodeCount, r.toCount);
        EXPECT_EQ(t.fromUnicodeCount, r.fromCount);
        EXPECT_EQ(t.fromUnicodeBytes, r.bytes);
        EXPECT_EQ(t.toUnicode[0], 0);
        EXPECT_EQ(fromU(r.type, 0), 0u);
    }
    for (int32_t type = 0; type < kCodeTypeCount; ++type) {
        if (tableDriven[type])
            continue;
        SCOPED_TRACE(type);
        const CodeTypeTables& t = kCodeTypeTables[type];
        EXPECT_EQ(t.toUnicode, nullptr);
        EXPECT_EQ(t.toUnicodeCount, 0u);
        EXPECT_EQ(t.fromUnicode, nullptr);
        EXPECT_EQ(t.fromUnicodeCount, 0u);
        EXPECT_FALSE(t.fromUnicodeBytes);
    }
}

TEST(CodePageTables, EveryFromUnicodeEntryDecodesBack)
{
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.type);
        const CodeTypeTables& t = kCodeTypeTables[r.type];
        int32_t failures = 0;
        for (uint32_t value = 1; value < t.fromUnicodeCount && failures < 5; ++value) {
            uint32_t code = fromU(r.type, value);
            if (code != 0 && toU(r.type, code) != value) {
                ADD_FAILURE() << std::hex << "U+" << value << " -> 0x" << code << " -> U+" << toU(r.type, code);
                ++failures;
            }
        }
    }
}

TEST(CodePageTables, SingleByteCodeSets)
{
    EXPECT_EQ(toU(CT_US_ASCII, 0x41), 0x41);
    EXPECT_EQ(toU(CT_US_ASCII, 0x80), 0);
    EXPECT_EQ(fromU(CT_US_ASCII, 0xE9), 0u);
    for (uint32_t b = 1; b < 256; ++b) {
        EXPECT_EQ(toU(CT_ISO_8859_1, b), b);
        EXPECT_EQ(fromU(CT_ISO_8859_1, b), b);
    }
    EXPECT_EQ(toU(CT_ISO_8859_2, 0xA1), 0x0104);
    EXPECT_EQ(fromU(CT_ISO_8859_2, 0x02DD), 0xBDu);
    EXPECT_EQ(toU(CT_ISO_8859_5, 0xF0), 0x2116);
    EXPECT_EQ(toU(CT_ISO_8859_7, 0xC1), 0x0391);
    EXPECT_EQ(toU(CT_ISO_8859_7, 0xA4), 0);
    EXPECT_EQ(toU(CT_ISO_8859_7, 0xA5), 0);
    EXPECT_EQ(toU(CT_ISO_8859_7, 0xAA), 0);
    EXPECT_EQ(toU(CT_ISO_8859_7, 0xFF), 0);
    EXPECT_EQ(fromU(CT_ISO_8859_7, 0x20AC), 0u);
    EXPECT_EQ(toU(CT_ISO_8859_9, 0xFE), 0x015F);
    EXPECT_EQ(toU(CT_WINDOWS_1250, 0x8A), 0x0160);
    EXPECT_EQ(toU(CT_WINDOWS_1251, 0xC0), 0x0410);
    EXPECT_EQ(toU(CT_WINDOWS_1252, 0x80), 0x20AC);
    EXPECT_EQ(fromU(CT_WINDOWS_1252, 0x2122), 0x99u);
    EXPECT_EQ(toU(CT_WINDOWS_1252, 0x81), 0);
    EXPECT_EQ(toU(CT_WINDOWS_1253, 0xC1), 0x0391);
    EXPECT_EQ(toU(CT_WINDOWS_1254, 0xF0), 0x011F);
    EXPECT_EQ(toU(CT_WINDOWS_1255, 0xE0), 0x05D0);
    EXPECT_EQ(toU(CT_KOI8_R, 0xC1), 0x0430);
    EXPECT_EQ(fromU(CT_KOI8_R, 0x25A0), 0x94u);
}

TEST(CodePageTables, CodePage932)
{
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0x41), 0x41);
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0xB1), 0xFF71);
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0x82A0), 0x3042);
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0x81E0), 0x2252);
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0xFC4B), 0x9ED1);
    EXPECT_EQ(toU(CT_SHIFT_JIS, 0x82), 0);
    EXPECT_EQ(fromU(CT_SHIFT_JIS, 0x3042), 0x82A0u);
    EXPECT_EQ(fromU(CT_SHIFT_JIS, 0xFF71), 0xB1u);
    EXPECT_EQ(fromU(CT_SHIFT_JIS, 0x2252), 0x8790u);
    EXPECT_EQ(fromU(CT_SHIFT_JIS, 0x2170), 0xFA40u);
    EXPECT_EQ(fromU(CT_SHIFT_JIS, 0x2235), 0xFA5Bu);
}

TEST(CodePageTables, ChineseCodeSets)
{
    EXPECT_EQ(toU(CT_CP936, 0xB0A1), 0x554A);
    EXPECT_EQ(toU(CT_CP936, 0x80), 0x20AC);
    EXPECT_EQ(fromU(CT_CP936, 0x554A), 0xB0A1u);
    EXPECT_EQ(toU(CT_GB2312, 0xB0A1), 0x554A);
    EXPECT_EQ(toU(CT_GB2312, 0x8140), 0);
    EXPECT_EQ(fromU(CT_GB2312, 0x554A), 0xB0A1u);
    EXPECT_EQ(toU(CT_BIG5, 0xA440), 0x4E00);
    EXPECT_EQ(fromU(CT_BIG5, 0x4E00), 0xA440u);
    EXPECT_EQ(toU(CT_BIG5, 0xF9D6), 0); // beyond the table
    EXPECT_EQ(toU(CT_CP950, 0xA440), 0x4E00);
    EXPECT_EQ(toU(CT_CP950, 0xF9FE), 0x2593);
}

TEST(CodePageTables, CodePage950SharedCharacters)
{
    const struct {
        uint32_t value, code, other;
    } shared[] = {
        {0x2550, 0xF9F9, 0xA2A4}, {0x255E, 0xF9E9, 0xA2A5}, {0x2561, 0xF9EB, 0xA2A7}, {0x256A, 0xF9EA, 0xA2A6},
        {0x256D, 0xA27E, 0xF9FA}, {0x256E, 0xA2A1, 0xF9FB}, {0x256F, 0xA2A3, 0xF9FD}, {0x2570, 0xA2A2, 0xF9FC},
        {0x5341, 0xA451, 0xA2CC}, {0x5345, 0xA4CA, 0xA2CE},
    };
    for (const auto& s : shared) {
        SCOPED_TRACE(s.value);
        EXPECT_EQ(fromU(CT_CP950, s.value), s.code);
        EXPECT_EQ(toU(CT_CP950, s.code), s.value);
        EXPECT_EQ(toU(CT_CP950, s.other), s.value);
    }
}

} // namespace
