#include "common/xml_value.h"
#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlEscape, SpecialCharactersAndTheSwappedBrackets)
{
    EXPECT_EQ(EscapeXml("a<b"), "a&gt;b");
    EXPECT_EQ(EscapeXml("a>b"), "a&lt;b");
    EXPECT_EQ(EscapeXml("<&'\">"), "&gt;&amp;&apos;&quot;&lt;");
    EXPECT_EQ(EscapeXml("plain"), "plain");
    EXPECT_EQ(EscapeXml(""), "");
}

TEST(XmlEscape, UnescapeIsTheExactInverse)
{
    EXPECT_EQ(UnescapeXml("a&gt;b"), "a<b");
    EXPECT_EQ(UnescapeXml("a&lt;b"), "a>b");
    EXPECT_EQ(UnescapeXml("&amp;&apos;&quot;"), "&'\"");
    const std::string all = "x<y>z & 'q' \"r\" &amp; &lt;";
    EXPECT_EQ(UnescapeXml(EscapeXml(all)), all);
}

TEST(XmlEscape, UnescapeIsOnePassAndKeepsLoneAmpersands)
{
    EXPECT_EQ(UnescapeXml("&amp;lt;"), "&lt;");
    EXPECT_EQ(UnescapeXml("a & b"), "a & b");
    EXPECT_EQ(UnescapeXml("&"), "&");
    EXPECT_EQ(UnescapeXml("&&gt;"), "&<");
    EXPECT_EQ(UnescapeXml("&gt"), "&gt");  // cut entity
    EXPECT_EQ(UnescapeXml("&#60;"), "&#60;"); // character references are not the store's
}

TEST(XmlCodePage, Windows1252IsStoredAsLatin1)
{
    const std::string cafe = "Caf\xE9";
    EXPECT_EQ(ConvertFromCodePage(cafe, 1252), "Caf\xC3\xA9");
    EXPECT_EQ(ConvertToCodePage("Caf\xC3\xA9", 1252), cafe);
    // 0x80 is not the euro sign here: U+0080, and back to 0x80.
    EXPECT_EQ(ConvertFromCodePage("\x80", 1252), "\xC2\x80");
    EXPECT_EQ(ConvertToCodePage("\xC2\x80", 1252), "\x80");
    // A character without a code becomes "?".
    EXPECT_EQ(ConvertToCodePage("\xE2\x82\xAC!", 1252), "?!");
}

TEST(XmlCodePage, OtherCodePagesAreLatin1)
{
    // Cyrillic in Windows-1251 goes through ISO-8859-1 and comes back as the same bytes.
    std::string cyrillic;
    for (int c = 0xC0; c <= 0xFF; ++c)
        cyrillic.push_back(static_cast<char>(c));
    const std::string stored = ConvertFromCodePage(cyrillic, 1251);
    EXPECT_EQ(stored.size(), 2 * cyrillic.size());
    EXPECT_EQ(ConvertToCodePage(stored, 1251), cyrillic);
}

TEST(XmlCodePage, DoubleByteCodePages)
{
    const std::string sjis = "\x82\xA0\x82\xA2 \x8A\xBF\x8E\x9A \xB1\xB2"; // あい 漢字 ｱｲ
    const std::string utf8 = ConvertFromCodePage(sjis, 932);
    EXPECT_EQ(utf8, "\xE3\x81\x82\xE3\x81\x84 \xE6\xBC\xA2\xE5\xAD\x97 \xEF\xBD\xB1\xEF\xBD\xB2");
    EXPECT_EQ(ConvertToCodePage(utf8, 932), sjis);
    // 936 is GB 2312 (EUC-CN), 950 Big5, 1250 ISO-8859-2.
    EXPECT_EQ(ConvertFromCodePage("\xD6\xD0", 936), "\xE4\xB8\xAD"); // 中
    EXPECT_EQ(ConvertFromCodePage("\xA4\xA4", 950), "\xE4\xB8\xAD");
    EXPECT_EQ(ConvertFromCodePage("\xA9", 1250), "\xC5\xA0"); // Š (0x8A in Windows-1250)
    EXPECT_EQ(ConvertToCodePage("\xE4\xB8\xAD", 950), "\xA4\xA4");
}

TEST(XmlCodePage, Utf8PassesThroughAndMalformedBytesBecomeQuestionMarks)
{
    const std::string valid = "A\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80";
    EXPECT_EQ(ConvertFromCodePage(valid, 65001), valid);
    EXPECT_EQ(ConvertToCodePage(valid, 65001), valid);
    EXPECT_EQ(ConvertFromCodePage("a\xFF" "b\xC3", 65001), "a?b?");
    EXPECT_EQ(ConvertToCodePage("\xE3\x81" "A\x80", 65001), "?A?");
    EXPECT_EQ(ConvertToCodePage("\xED\xA0\x80", 65001), "?");
}

TEST(XmlCodePage, EmptyText)
{
    EXPECT_EQ(ConvertFromCodePage("", 1252), "");
    EXPECT_EQ(ConvertToCodePage("", 932), "");
    EXPECT_EQ(EncodeXmlValue("", 1, 65001), "");
}

// Runs with the process code page set for the duration of a test.
class ProcessCodePage : public ::testing::Test {
protected:
    void TearDown() override { platform::setProcessCodePage(0); }
};

TEST_F(ProcessCodePage, ValuesRoundTripInTheProcessCodePage)
{
    struct Case {
        uint32_t codePage;
        std::string text, stored;
    };
    const Case cases[] = {
        {932, "a<b \x82\xA0&\xB1", "a&gt;b \xE3\x81\x82&amp;\xEF\xBD\xB1"},
        {1252, "Caf\xE9 'x'", "Caf\xC3\xA9 &apos;x&apos;"},
        {65001, "\xE2\x82\xAC > \"", "\xE2\x82\xAC &lt; &quot;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        platform::setProcessCodePage(c.codePage);
        const uint32_t codePage = platform::processCodePage();
        ASSERT_EQ(codePage, c.codePage);
        const std::string stored = EncodeXmlValue(c.text, 1, codePage);
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(DecodeXmlValue(stored, 1, codePage), c.text);
    }
}

TEST(XmlValue, FlagsSelectEscaping)
{
    EXPECT_EQ(EncodeXmlValue("a<b", 1, 1252), "a&gt;b");
    EXPECT_EQ(DecodeXmlValue("a&gt;b", 1, 1252), "a<b");
    EXPECT_EQ(EncodeXmlValue("a<b", 0, 1252), "a<b");
    EXPECT_EQ(DecodeXmlValue("a&gt;b", 0, 1252), "a&gt;b");
}

} // namespace
