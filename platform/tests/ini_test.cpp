#include "platform/ini.h"
#include "platform/ini_format.h"

#include "platform/files.h"
#include "platform/state.h"
#include "platform/tests/support/test_support.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using platform::readProfileInt;
using platform::readProfileString;
using platform::writeProfileString;
using qelta::test::readTextFile;
using qelta::test::writeTextFile;

namespace {

using Strings = std::vector<std::string>;

class IniTest : public ::testing::Test {
protected:
    std::string file(const std::string& name = "test.ini") const { return root_.path() + "/" + name; }

    // A profile with the given text, returned as its path.
    std::string profile(const std::string& text, const std::string& name = "test.ini")
    {
        writeTextFile(file(name), text);
        return file(name);
    }

    // The buffer form, seen as the bytes it wrote (including NULs) and its result.
    static std::pair<std::string, size_t> readBuffer(const char* section, const char* key, const char* def,
                                                     size_t size, const std::string& path)
    {
        std::string buffer(size + 4, '#');
        const size_t n = readProfileString(section, key, def, buffer.data(), size, path);
        return {buffer.substr(0, size), n};
    }

    qelta::test::ScopedStateRoot root_;
};

TEST_F(IniTest, LookupIgnoresCaseTrimsAndStripsOneMatchingQuotePair)
{
    const auto path = profile("[Fax Setup]\n"
                              "  Resolution   =   Fine  \n"
                              "Double=\"two words\"\n"
                              "Single=' padded '\n"
                              "Nested=\"'inner'\"\n"
                              "Mismatched=\"open'\n"
                              "Lone=\"\n"
                              "Empty=\"\"\n"
                              "Bare\n");
    EXPECT_EQ(readProfileString("fax setup", "RESOLUTION", "x", path), "Fine");
    EXPECT_EQ(readProfileString("FAX SETUP", "double", "x", path), "two words");
    EXPECT_EQ(readProfileString("Fax Setup", "Single", "x", path), " padded ");
    EXPECT_EQ(readProfileString("Fax Setup", "Nested", "x", path), "'inner'");
    EXPECT_EQ(readProfileString("Fax Setup", "Mismatched", "x", path), "\"open'");
    EXPECT_EQ(readProfileString("Fax Setup", "Lone", "x", path), "\"");
    EXPECT_EQ(readProfileString("Fax Setup", "Empty", "x", path), "");
    EXPECT_EQ(readProfileString("Fax Setup", "Bare", "x", path), "");
}

TEST_F(IniTest, FirstOccurrenceWinsAndUnsectionedOrCommentedLinesNeverMatch)
{
    const auto path = profile("Orphan=1\n"
                              "[A]\n"
                              "Key=first\n"
                              "KEY=second\n"
                              "; Hidden=yes\n"
                              "  ;Also=yes\n"
                              "=nokey\n"
                              "[a]\n"
                              "Key=third\n"
                              "Other=later\n");
    EXPECT_EQ(readProfileString("A", "Key", "d", path), "first");
    EXPECT_EQ(readProfileString("A", "Other", "d", path), "d");
    EXPECT_EQ(readProfileString("A", "Hidden", "d", path), "d");
    EXPECT_EQ(readProfileString("A", "Also", "d", path), "d");
    EXPECT_EQ(readProfileString("", "Orphan", "d", path), "d");
    EXPECT_EQ(platform::readProfileSectionNames(path), Strings({"A"}));
    EXPECT_EQ(platform::readProfileKeyNames("a", path), Strings({"Key"}));
}

TEST_F(IniTest, DefaultLosesTrailingBlanks)
{
    EXPECT_EQ(readProfileString("S", "K", "  fallback \t ", file("missing.ini")), "  fallback");
    EXPECT_EQ(readBuffer("S", "K", nullptr, 8, file("missing.ini")), std::make_pair(std::string("\0#######", 8), size_t(0)));
    EXPECT_EQ(readBuffer("S", "K", "ab  ", 8, file("missing.ini")).second, 2u);
}

TEST_F(IniTest, BufferFormCutsValuesAndLists)
{
    const auto path = profile("[S]\nK=abcdef\nLonger=1\n[Second]\n");
    EXPECT_EQ(readBuffer("S", "K", "", 7, path), std::make_pair(std::string("abcdef\0", 7), size_t(6)));
    EXPECT_EQ(readBuffer("S", "K", "", 4, path), std::make_pair(std::string("abc\0", 4), size_t(3)));
    EXPECT_EQ(readBuffer("S", "K", "", 1, path), std::make_pair(std::string("\0", 1), size_t(0)));
    EXPECT_EQ(readBuffer("S", "K", "", 0, path), std::make_pair(std::string(), size_t(0)));
    EXPECT_EQ(readProfileString("S", "K", "", nullptr, 10, path), 0u);

    EXPECT_EQ(readBuffer("S", nullptr, "", 12, path), std::make_pair(std::string("K\0Longer\0\0##", 12), size_t(9)));
    EXPECT_EQ(readBuffer("s", nullptr, "", 6, path), std::make_pair(std::string("K\0Lo\0\0", 6), size_t(4)));
    EXPECT_EQ(readBuffer(nullptr, nullptr, "", 10, path), std::make_pair(std::string("S\0Second\0\0", 10), size_t(9)));
    EXPECT_EQ(readBuffer(nullptr, nullptr, "", 2, path), std::make_pair(std::string("\0\0", 2), size_t(0)));
    EXPECT_EQ(readBuffer(nullptr, nullptr, "", 1, path), std::make_pair(std::string("\0", 1), size_t(0)));
    EXPECT_EQ(readBuffer("Absent", nullptr, "", 4, path), std::make_pair(std::string("\0\0##", 4), size_t(0)));
}

TEST_F(IniTest, IntegersTakeLeadingDigitsAndClamp)
{
    const auto path = profile("[N]\nPlain=42\nNeg= -17 \nPlus=+5\nTail=12abc\nWord=abc\nEmpty=\nSign=-\n"
                              "Quoted=\"7\"\nHuge=99999999999999999999\nTiny=-99999999999999999999\n"
                              "Max=2147483647\nMin=-2147483648\n");
    EXPECT_EQ(readProfileInt("N", "Plain", -1, path), 42);
    EXPECT_EQ(readProfileInt("N", "Neg", -1, path), -17);
    EXPECT_EQ(readProfileInt("N", "Plus", -1, path), 5);
    EXPECT_EQ(readProfileInt("N", "Tail", -1, path), 12);
    EXPECT_EQ(readProfileInt("N", "Quoted", -1, path), 7);
    for (const char* key : {"Word", "Empty", "Sign", "Absent"})
        EXPECT_EQ(readProfileInt("N", key, -1, path), -1) << key;
    EXPECT_EQ(readProfileInt("N", "Huge", -1, path), INT_MAX);
    EXPECT_EQ(readProfileInt("N", "Tiny", -1, path), INT_MIN);
    EXPECT_EQ(readProfileInt("N", "Max", -1, path), INT_MAX);
    EXPECT_EQ(readProfileInt("N", "Min", -1, path), INT_MIN);
}

TEST_F(IniTest, SectionListingsKeepFileOrder)
{
    const auto path = profile("[Modem]\n; comment\n  Port = ttyS0 \nSpeed=\"9600\"\nFlag\n\n[Cover]\n[modem]\nLate=1\n");
    EXPECT_EQ(platform::readProfileSection("MODEM", path), Strings({"Port=ttyS0", "Speed=\"9600\"", "Flag="}));
    EXPECT_EQ(platform::readProfileSection("Absent", path), Strings());
    EXPECT_EQ(platform::readProfileSectionNames(path), Strings({"Modem", "Cover"}));
    EXPECT_EQ(platform::readProfileKeyNames("Modem", path), Strings({"Port", "Speed", "Flag"}));
    EXPECT_EQ(platform::readProfileKeyNames("Cover", path), Strings());
}

TEST_F(IniTest, BareNamesLiveInTheSystemFolderAndBackslashesAreSeparators)
{
    EXPECT_EQ(platform::resolveProfilePath("FAX.INI"), platform::systemFolder() + "/FAX.INI");
    ASSERT_TRUE(writeProfileString("S", "K", "bare", "FAX.INI"));
    EXPECT_EQ(readTextFile(platform::systemFolder() + "/FAX.INI"), "[S]\nK=bare\n");

    profile("[S]\nK=nested\n", "sub/dir/fax.ini");
    EXPECT_EQ(readProfileString("S", "K", "", root_.path() + "\\sub\\dir\\fax.ini"), "nested");
}

TEST_F(IniTest, WritesCreateFolderFileSectionAndKey)
{
    const std::string path = file("new/folder/fax.ini");
    ASSERT_TRUE(writeProfileString("Fax", "Key", "Value", path));
    EXPECT_EQ(readTextFile(path), "[Fax]\nKey=Value\n");
    ASSERT_TRUE(writeProfileString("Fax", "Second", " spaced ", path));
    ASSERT_TRUE(writeProfileString("Other", "K", "\"q\"", path));
    EXPECT_EQ(readTextFile(path), "[Fax]\nKey=Value\nSecond= spaced \n\n[Other]\nK=\"q\"\n");
    EXPECT_EQ(readProfileString("Other", "K", "", path), "q");
}

TEST_F(IniTest, NewKeysFollowTheSectionsLastNonBlankLine)
{
    const auto path = profile("[A]\nx=1\n; note\n\n\n[B]\ny=2");
    ASSERT_TRUE(writeProfileString("a", "z", "3", path));
    ASSERT_TRUE(writeProfileString("B", "w", "4", path));
    ASSERT_TRUE(writeProfileString("C", "v", "5", path));
    EXPECT_EQ(readTextFile(path), "[A]\nx=1\n; note\nz=3\n\n\n[B]\ny=2\nw=4\n\n[C]\nv=5\n");
}

TEST_F(IniTest, ReplacingAKeyChangesOnlyItsLine)
{
    const std::string before = "top level junk\n"
                               "; header comment\n"
                               "[Fax]  trailing words\n"
                               "\t Speed =  9600 ; not a comment\n"
                               "weird line without equals\n"
                               "\n"
                               "  ; indented comment\n"
                               "speed=dup\n"
                               "[Next]\n"
                               "Speed=other\n";
    const auto path = profile(before);
    ASSERT_TRUE(writeProfileString("FAX", "SPEED", "14400", path));
    std::string expected = before;
    expected.replace(expected.find("\t Speed"), std::string("\t Speed =  9600 ; not a comment").size(), "SPEED=14400");
    EXPECT_EQ(readTextFile(path), expected);
    EXPECT_EQ(readProfileString("Next", "Speed", "", path), "other");
}

TEST_F(IniTest, CrlfFilesStayCrlf)
{
    const auto path = profile("[A]\r\nx=1\r\n");
    ASSERT_TRUE(writeProfileString("A", "x", "2", path));
    ASSERT_TRUE(writeProfileString("A", "y", "3", path));
    ASSERT_TRUE(writeProfileString("B", "z", "4", path));
    EXPECT_EQ(readTextFile(path), "[A]\r\nx=2\r\ny=3\r\n\r\n[B]\r\nz=4\r\n");
    EXPECT_EQ(readProfileString("A", "x", "", path), "2");
}

TEST_F(IniTest, DeletingKeysAndSections)
{
    const auto path = profile("; keep\n[A]\nx=1\ny=2\n\n[B]\n; b's comment\nz=3\n\n[a]\nw=4\n[C]\nv=5\n");
    ASSERT_TRUE(writeProfileString("A", "X", nullptr, path));
    EXPECT_EQ(readTextFile(path), "; keep\n[A]\ny=2\n\n[B]\n; b's comment\nz=3\n\n[a]\nw=4\n[C]\nv=5\n");
    ASSERT_TRUE(writeProfileString("b", nullptr, nullptr, path));
    EXPECT_EQ(readTextFile(path), "; keep\n[A]\ny=2\n\n[a]\nw=4\n[C]\nv=5\n");
    ASSERT_TRUE(writeProfileString("A", nullptr, "ignored", path));
    EXPECT_EQ(readTextFile(path), "; keep\n[C]\nv=5\n");

    const auto stamp = platform::fileStamp(path);
    EXPECT_TRUE(writeProfileString("C", "absent", nullptr, path));
    EXPECT_TRUE(writeProfileString("Absent", nullptr, nullptr, path));
    EXPECT_EQ(platform::fileStamp(path), stamp);

    EXPECT_TRUE(writeProfileString("S", "K", nullptr, file("none.ini")));
    EXPECT_TRUE(writeProfileString("S", nullptr, nullptr, file("gone/none.ini")));
    EXPECT_FALSE(platform::pathExists(file("none.ini")));
    EXPECT_FALSE(platform::pathExists(file("gone")));
}

TEST_F(IniTest, RefusedNamesAndValuesChangeNothing)
{
    const std::string before = "[A]\r\nx=1\r\n";
    const auto path = profile(before);
    struct Case {
        const char *section, *key, *value;
    };
    for (const Case c : std::vector<Case>{{nullptr, "x", "1"},
                                          {"", "x", "1"},
                                          {"  ", "x", "1"},
                                          {"A]", "x", "1"},
                                          {"[A", "x", "1"},
                                          {"A\nB", "x", "1"},
                                          {"A\r", nullptr, nullptr},
                                          {"A", "", "1"},
                                          {"A", " ", "1"},
                                          {"A", "x=y", "1"},
                                          {"A", "x\n", "1"},
                                          {"A", "x\rz", nullptr},
                                          {"A", "[x", "1"},
                                          {"A", " ;x", "1"},
                                          {"A", "x", "1\n[B]"},
                                          {"A", "x", "1\r"}}) {
        EXPECT_FALSE(writeProfileString(c.section, c.key, c.value, path))
            << (c.section ? c.section : "(null)") << " / " << (c.key ? c.key : "(null)");
        EXPECT_EQ(readTextFile(path), before);
    }
    EXPECT_FALSE(writeProfileString("A", "x", "1", ""));
}

TEST_F(IniTest, UnreadableFilesAreNeverReplaced)
{
    const std::string big = "[A]\nx=1\n" + std::string(16u << 20, ';');
    const auto path = profile(big);
    EXPECT_FALSE(writeProfileString("A", "x", "2", path));
    EXPECT_FALSE(writeProfileString("A", nullptr, nullptr, path));
    EXPECT_EQ(readTextFile(path), big);
    EXPECT_EQ(readProfileString("A", "x", "def", path), "def");

    ASSERT_TRUE(platform::createDirectories(file("folder.ini")));
    EXPECT_FALSE(writeProfileString("A", "x", "2", file("folder.ini")));
    EXPECT_FALSE(writeProfileString("A", "x", nullptr, file("folder.ini")));
    EXPECT_TRUE(platform::isDirectory(file("folder.ini")));
}

TEST_F(IniTest, ConcurrentWritersLoseNothing)
{
    const std::string path = file("shared.ini");
    constexpr int kThreads = 4, kKeys = 100;
    std::vector<std::thread> writers;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            const std::string section = "S" + std::to_string(t % 2);
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
                if (!writeProfileString(section.c_str(), key.c_str(), std::to_string(k).c_str(), path))
                    ++failures[t];
            }
        });
    for (auto& w : writers)
        w.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0);
        const std::string section = "S" + std::to_string(t % 2);
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(readProfileInt(section, "T" + std::to_string(t) + "K" + std::to_string(k), -1, path), k);
    }
    EXPECT_EQ(platform::readProfileKeyNames("S0", path).size(), size_t(2 * kKeys));
}

} // namespace

namespace {

using platform::ProfileText;

// Setting several keys at once gives the text that setting them one by one gives.
TEST(ProfileTextSetValues, MatchesOneByOne)
{
    const std::vector<std::pair<std::string, std::string>> values = {
        {"count", "4"}, {"0-Name", "A"}, {"new", "x"}, {"Last", ""}};
    const char* texts[] = {
        "",
        "[s]",
        "[s]\n",
        "[s]\r\n\r\nk=1\r\n\r\n[t]\r\nCount=9\r\n",
        "; c\n[S]\nCOUNT = 1\n0-name=old\n0-Name=dup\n\n\n[t]\nx=1",
        "[s]\nk=1",
        "[s]\nk=1\n;tail comment\n\n",
        "[t]\na=1\n",
        "[s]\n[s]\nCount=2\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ProfileText one = ProfileText::parse(text), all = ProfileText::parse(text);
        for (const auto& [key, value] : values)
            ASSERT_TRUE(one.setValue("s", key, value));
        ASSERT_TRUE(all.setValues("s", values));
        EXPECT_EQ(all.serialize(), one.serialize());
    }
    ProfileText refused = ProfileText::parse("[s]\nk=1\n");
    EXPECT_FALSE(refused.setValues("s", {{"a", "1"}, {"b", "two\nlines"}}));
    EXPECT_FALSE(refused.setValues("s", {{"a", "1"}, {"A", "2"}}));
    EXPECT_EQ(refused.serialize(), "[s]\nk=1\n");
}

} // namespace
