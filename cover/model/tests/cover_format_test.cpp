// Frame lines and cover sheet files: every written form, the text escape, and files read and
// written on disk.
#include "cover/model/cover_file.h"
#include "cover/model/frame_line.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include "platform/files.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace cover;

const FrameRect kRect{240, 472, 469, 60};
const FrameFont kFont{"Times New Roman", 39, 400, 0, 0, 0, 0};

TEST(FrameLine, WrittenFormsAreExact)
{
    struct Case {
        std::string written, expected;
    };
    const Case cases[] = {
        {textFrameLine(FrameType::Name, kRect, kFont), "NAME,240,472,469,60,Times New Roman,39,400,0,0,0,0,"},
        {textFrameLine(FrameType::UserFaxNumber, {1, 2, 3, 4}, {"Arial", 33, 700, 1, 0, 1, 128}),
         "UserFaxNumber,1,2,3,4,Arial,33,700,1,0,1,128,"},
        {staticTextFrameLine(kRect, kFont, "Hello"), "StaticText,240,472,469,60,Times New Roman,39,400,0,0,0,0,Hello"},
        {staticTextFrameLine(kRect, kFont, ""), "StaticText,240,472,469,60,Times New Roman,39,400,0,0,0,0,"},
        {bitmapFrameLine({10, 20, 300, 200}, "C:\\Pictures\\logo.bmp"), "Bitmap,10,20,300,200,C:\\Pictures\\logo.bmp"},
        {drawingFrameLine({5, 6, 7, 8}, 1, 3, 15), "DrawingFrame,5,6,7,8,1,3,15"},
        {penFrameLine(FrameType::DrawingLine, {900, 10, -400, 0}, 0, 2), "DrawingLine,900,10,-400,0,0,2"},
        {penFrameLine(FrameType::PageCut, {0, 2290, 1728, 0}, 2, 1), "PageCut,0,2290,1728,0,2,1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.written, c.expected);
    EXPECT_THROW(textFrameLine(FrameType::Name, kRect, {"Bad,Face", 39, 400, 0, 0, 0, 0}), std::invalid_argument);
    EXPECT_THROW(bitmapFrameLine(kRect, "a\nb"), std::invalid_argument);
    EXPECT_THROW(penFrameLine(FrameType::Memo, kRect, 0, 1), std::invalid_argument);
}

TEST(FrameLine, LinesWithAndWithoutTheTrailingCommaReadAlike)
{
    const std::string defaultLine = "NAME,240,472,469,60,Times New Roman,39,400,0,0,0,0";
    const auto fields = splitFrameLine(defaultLine);
    EXPECT_EQ(fields, splitFrameLine(defaultLine + ","));
    ASSERT_EQ(fields.size(), 12u);
    EXPECT_EQ(frameTypeOf(fields[0]), FrameType::Name);
    const FrameRect rect = frameRectOf(fields);
    const FrameFont font = frameFontOf(fields);
    // Read back and written again: the default line gains its comma.
    EXPECT_EQ(textFrameLine(FrameType::Name, rect, font), defaultLine + ",");

    EXPECT_EQ(splitFrameLine("a,,b,"), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(splitFrameLine("a,b,,"), (std::vector<std::string_view>{"a", "b", ""}));
    EXPECT_TRUE(splitFrameLine("").empty());
    // Fields beyond the line read as empty and 0.
    EXPECT_EQ(frameFontOf(splitFrameLine("NAME,1,2")).face, "");
    EXPECT_EQ(frameRectOf(splitFrameLine("NAME,1,2")).width, 0);
}

TEST(FrameLine, KeywordsAndNumbers)
{
    EXPECT_EQ(frameTypeOf("staticText"), FrameType::StaticText);
    EXPECT_EQ(frameTypeOf("PAGECUT"), FrameType::PageCut);
    EXPECT_EQ(frameTypeOf("userid"), FrameType::UserId);
    EXPECT_EQ(frameTypeOf("mr"), FrameType::Mr);
    EXPECT_FALSE(frameTypeOf("Picture"));
    EXPECT_FALSE(frameTypeOf(""));
    EXPECT_EQ(keywordOf(FrameType::Fax), "FAX");

    struct Case {
        const char* field;
        int value;
    };
    for (const Case c : {Case{"42", 42}, Case{"-17", -17}, Case{" 8px", 8}, Case{"abc", 0}, Case{"", 0},
                         Case{"99999999999", 2147483647}, Case{"-99999999999", -2147483647 - 1}})
        EXPECT_EQ(fieldNumber(c.field), c.value) << c.field;

    EXPECT_EQ(fontHeightOfPoints(12), 33);
    EXPECT_EQ(fontHeightOfPoints(14), 39);
    EXPECT_EQ(fontHeightOfPoints(24), 67);
}

TEST(FrameLine, TextEscapeRoundTrips)
{
    struct Case {
        std::string text, stored;
    };
    const Case cases[] = {
        {"\\,\n", "\\\\\\054\\n"},
        {"\\054", "\\\\054"},
        {"a,b,c", "a\\054b\\054c"},
        {"ends in \\", "ends in \\\\"},
        {"two\nlines\n", "two\\nlines\\n"},
        {"cr\r\nlf", "cr\\015\\nlf"},
        {"\\n", "\\\\n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeText(c.text), c.stored);
        EXPECT_EQ(unescapeText(c.stored), c.text);
        EXPECT_EQ(escapeText(c.text).find_first_of(",\r\n"), std::string::npos);
    }
    // Other backslashes are ordinary characters.
    EXPECT_EQ(unescapeText("C:\\temp\\x"), "C:\\temp\\x");
    EXPECT_EQ(unescapeText("\\05"), "\\05");
    EXPECT_EQ(unescapeText("\\"), "\\");
}

class CoverFileTest : public ::testing::Test {
protected:
    std::string path(const std::string& name = "sheet.TQC") const { return root_.path() + "/" + name; }
    qelta::test::ScopedStateRoot root_;
};

TEST_F(CoverFileTest, WrittenFileReadsBackLineForLine)
{
    const std::string longText(5000, 'x');
    const std::vector<std::string> lines = {
        staticTextFrameLine(kRect, kFont, "Dear \\ recipient,\r\nsee below\n" + longText + " "),
        textFrameLine(FrameType::Date, kRect, kFont),
        penFrameLine(FrameType::PageCut, {0, 2290, 1728, 0}, 2, 1),
        penFrameLine(FrameType::PageCut, {0, 1000, 1728, 0}, 2, 1),
    };
    ASSERT_TRUE(writeCoverSheetFile(path(), true, lines));
    EXPECT_EQ(qelta::test::readTextFile(path()).substr(0, 29), "[TQLCVR]\nFrames=4\nLang=1\nFram");

    CoverSheetFile file;
    ASSERT_EQ(readCoverSheetFile(path(), -1, file), CoverReadStatus::Ok);
    EXPECT_EQ(file.frames, 4);
    EXPECT_TRUE(file.language);
    ASSERT_EQ(file.lines.size(), 4u);
    EXPECT_EQ(file.lines[1], lines[1]);
    // Lines far beyond any reader's buffer come back whole, with the text's own line breaks and
    // trailing blank.
    const auto fields = splitFrameLine(file.lines[0]);
    ASSERT_EQ(fields.size(), 13u);
    EXPECT_EQ(unescapeText(fields[12]), "Dear \\ recipient,\r\nsee below\n" + longText + " ");
    // Both page cuts are kept; the first is first.
    EXPECT_EQ(frameRectOf(splitFrameLine(file.lines[2])).top, 2290);
    EXPECT_EQ(frameRectOf(splitFrameLine(file.lines[3])).top, 1000);
}

TEST_F(CoverFileTest, FrameCountsAndMissingKeys)
{
    struct Case {
        const char* text;
        int framesDefault;
        int frames;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"[TQLCVR]\nFrames=0\n", -1, 0, {}},
        {"[TQLCVR]\nFrames=-1\nFrame.1=NAME,1,2,3,4\n", 0, -1, {}},
        {"[TQLCVR]\nFrame.1=NAME,1,2,3,4\n", -1, -1, {}},
        {"[TQLCVR]\nFrame.1=NAME,1,2,3,4\n", 0, 0, {}},
        {"[TQLCVR]\nFrames=many\n", 0, 0, {}},
        // Keys in any case and order; a missing key gives no line.
        {"[tqlcvr]\r\nframe.3=C\r\nFRAMES=3\r\nFrame.1=A\r\n", 0, 3, {"A", "C"}},
        // A gap loses nothing after it; keys past the count, written otherwise or repeated are not
        // frames (the first of a name wins).
        {"[TQLCVR]\nFrames=6\nFrame.1=A\nFrame.6=F\nFrame.7=G\nFrame.05=E\nFrame.x=X\nframe.6=dup\n", 0, 6, {"A", "F"}},
        // A count far beyond the keys reads only the keys there are.
        {"[TQLCVR]\nFrames=2000000000\nFrame.1=A\nFrame.2000000000=Z\n", 0, 2000000000, {"A", "Z"}},
        {"[Other]\nFrames=2\nFrame.1=A\n", 7, 7, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        qelta::test::writeTextFile(path(), c.text);
        CoverSheetFile file;
        ASSERT_EQ(readCoverSheetFile(path(), c.framesDefault, file), CoverReadStatus::Ok);
        EXPECT_EQ(file.frames, c.frames);
        EXPECT_EQ(file.lines, c.lines);
    }
    CoverSheetFile file;
    EXPECT_EQ(readCoverSheetFile(path("missing.TQC"), 0, file), CoverReadStatus::NotFound);
    EXPECT_EQ(readCoverSheetFile(root_.path(), 0, file), CoverReadStatus::Failed);
}

TEST_F(CoverFileTest, SavingReplacesTheWholeFileOrNothing)
{
    ASSERT_TRUE(writeCoverSheetFile(path(), false, {"NAME,1,2,3,4", "FAX,1,2,3,4", "Memo,1,2,3,4"}));
    // Fewer objects: no stale keys beyond the new count.
    ASSERT_TRUE(writeCoverSheetFile(path(), false, {"Date,1,2,3,4"}));
    EXPECT_EQ(qelta::test::readTextFile(path()), "[TQLCVR]\nFrames=1\nLang=0\nFrame.1=Date,1,2,3,4\n");
    ASSERT_TRUE(writeCoverSheetFile(path(), false, {}));
    EXPECT_EQ(qelta::test::readTextFile(path()), "[TQLCVR]\nFrames=0\nLang=0\n");

    // Lines that a profile read would trim or unquote are kept as they are.
    const std::vector<std::string> odd = {" lead", "trail\t", "\"quoted\"", "'single'", "\"", "'x\"", ""};
    ASSERT_TRUE(writeCoverSheetFile(path(), false, odd));
    CoverSheetFile file;
    ASSERT_EQ(readCoverSheetFile(path(), 0, file), CoverReadStatus::Ok);
    EXPECT_EQ(file.lines, odd);

    // A line that would break the file is refused and the old file stays.
    ASSERT_TRUE(writeCoverSheetFile(path(), true, {"Time,1,2,3,4"}));
    const std::string before = qelta::test::readTextFile(path());
    EXPECT_FALSE(writeCoverSheetFile(path(), false, {"NAME,1,2,3,4", "StaticText,1,2,3,4,A,1,1,0,0,0,0,a\nb"}));
    EXPECT_EQ(qelta::test::readTextFile(path()), before);
    // A folder in the way: the write reports failure.
    std::filesystem::create_directories(path("folder.TQC"));
    EXPECT_FALSE(writeCoverSheetFile(path("folder.TQC"), false, {}));
    // No temporary file is left beside the sheet.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root_.path()))
        files += entry.path().filename().string().find("sheet.TQC") != std::string::npos;
    EXPECT_EQ(files, 1u);
}

TEST_F(CoverFileTest, NothingButTheSheetStaysInTheFolderAfterKilledAndFinishedSaves)
{
    std::filesystem::create_directories(path("covers"));
    const std::string sheet = path("covers/Mine.TQC");
    const std::vector<std::string> lines(4000, "StaticText,1,2,3,4,DejaVu Sans,33,400,0,0,0,0," + std::string(200, 'x'));
    // Saves killed at random points, and a writer that died with its temporary written.
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                writeCoverSheetFile(sheet, false, lines);
        }
        ::usleep(static_cast<useconds_t>(2000 + 1500 * kill));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) {
        platform::FileReplacement left = platform::FileReplacement::create(sheet);
        ::_exit(left.valid() && ::write(left.fd(), "half", 4) == 4 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(dead, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // The next save leaves the sheet alone in its folder, whole.
    ASSERT_TRUE(writeCoverSheetFile(sheet, true, {"Date,1,2,3,4"}));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path("covers")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Mine.TQC"});
    CoverSheetFile file;
    ASSERT_EQ(readCoverSheetFile(sheet, 0, file), CoverReadStatus::Ok);
    EXPECT_EQ(file.lines, std::vector<std::string>{"Date,1,2,3,4"});
}

} // namespace
