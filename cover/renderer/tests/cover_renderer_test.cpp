#include "cover/renderer/cover_renderer.h"

#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace coverrender;
using qelta::test::ScopedStateRoot;
using qelta::test::readTextFile;
using qelta::test::writeTextFile;

namespace {

std::string coverFile(const std::string& folder, const std::vector<std::string>& lines, int lang = 0)
{
    std::string text = "[TQLCVR]\r\nFrames=" + std::to_string(lines.size()) + "\r\nLang=" + std::to_string(lang) + "\r\n";
    for (size_t i = 0; i < lines.size(); ++i)
        text += "Frame." + std::to_string(i + 1) + "=" + lines[i] + "\r\n";
    const std::string path = platform::joinPath(folder, "sheet.tqc");
    writeTextFile(path, text);
    return path;
}

// 2026-03-04 05:06:07 and the milliseconds given.
LocalTime at(int milliseconds)
{
    LocalTime t;
    t.year = 2026, t.month = 3, t.day = 4, t.hour = 5, t.minute = 6, t.second = 7;
    t.milliseconds = milliseconds;
    return t;
}

// A clock that moves on one millisecond per reading.
struct SteppingClock {
    int calls = 0;
    LocalTime operator()() { return at(calls++); }
};

TEST(CoverRenderer, ComposedNumbers)
{
    struct Case {
        bool second;
        const char *country, *area, *number, *expected;
    } cases[] = {
        {true, "81", "06", "1234-5678", "+81-6-1234-5678"},
        {true, "1", "212", "555-0100", "+1-212-555-0100"},
        {true, "1", "212", "", "+1-212-"},
        {true, "81", "3", "1234", "+81-3-1234"},
        {true, "44", "020", "7946", "+44-020-7946"}, // only Japan's area codes lose their 0
        {true, "", "06", "1234", "-06-1234"},
        {true, "81", "", "1234", "+811234"},
        {false, "81", "03", "1234-5678", "(03)1234-5678"},
        {false, "81", "", "1234", "1234"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(composedNumber(c.second, c.country, c.area, c.number), c.expected) << c.country << "/" << c.area;
}

TEST(CoverRenderer, MemoCapacityWithInjectedMetrics)
{
    ScopedStateRoot root;
    Renderer renderer;
    // Height and width from the font's face name, the character set from the line.
    renderer.setMetrics([](const gdi::LOGFONTA& font) {
        const std::string face = font.lfFaceName;
        if (face == "Zero")
            return TextMetrics{0, 10, 0};
        return TextMetrics{20, 10, font.lfCharSet};
    });
    struct Case {
        std::vector<std::string> lines;
        int expected;
    } cases[] = {
        {{"Memo,0,0,400,200,F,20,400,0,0,0,0,"}, 400},
        {{"Memo,0,0,400,200,F,20,400,0,0,0,2,"}, 800},
        {{"Memo,0,0,409,219,F,20,400,0,0,0,0,"}, 400},
        {{"Memo,0,0,100,40,F,20,400,0,0,0,0,", "Memo,0,0,400,200,F,20,400,0,0,0,0,", "Memo,0,0,200,40,F,20,400,0,0,0,0,"}, 400},
        {{"Memo,0,0,400,200,Zero,20,400,0,0,0,0,"}, 0},
        {{"Memo,0,0,-400,200,F,20,400,0,0,0,0,"}, 0},
        {{"memo,0,0,400,200,F,20,400,0,0,0,0,", "StaticText,0,0,400,200,F,20,400,0,0,0,0,x"}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renderer.maxMemoLength(coverFile(root.path(), c.lines)), c.expected) << c.lines.front();
    EXPECT_EQ(renderer.maxMemoLength(platform::joinPath(root.path(), "missing.tqc")), 0);
}

TEST(CoverRenderer, MemoCapacityWithRealFont)
{
    ScopedStateRoot root;
    Renderer renderer;
    const int capacity = renderer.maxMemoLength(coverFile(root.path(), {"Memo,0,0,1200,400,DejaVu Sans,40,400,0,0,0,0,"}));
    EXPECT_GT(capacity, 0);
    EXPECT_LT(capacity, 1200 * 400);
}

class PageFiles : public ::testing::Test {
protected:
    ScopedStateRoot root;
    std::string out = platform::joinPath(root.path(), "out");
    std::string cover;
    SteppingClock clock;
    Renderer renderer;

    void SetUp() override
    {
        ASSERT_TRUE(platform::createDirectories(out));
        cover = coverFile(root.path(), {"DrawingLine,10,10,100,0,0,1", "PageCut,0,300,1728,0,0,1"});
        renderer.setClock([this] { return clock(); });
    }
    std::string nameAt(int milliseconds) const { return platform::joinPath(out, pageFileName(at(milliseconds))); }
};

TEST_F(PageFiles, NameFromTheClockAndThePageReadBack)
{
    const std::string path = renderer.writePageFile(cover, {}, out);
    // The first reading fills the sheet's time fields, the second names the file.
    EXPECT_EQ(path, platform::joinPath(out, "C260304050607001.TQG"));

    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, height = 0;
    uint16_t compression = 0, unit = 0, bits = 0;
    float xres = 0, yres = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    EXPECT_EQ(width, 1728u);
    EXPECT_EQ(height, 300u);
    EXPECT_EQ(compression, COMPRESSION_PACKBITS);
    EXPECT_EQ(bits, 1);
    EXPECT_EQ(xres, 200.f);
    EXPECT_EQ(yres, 200.f);
    EXPECT_EQ(unit, RESUNIT_INCH);
    EXPECT_EQ(TIFFNumberOfDirectories(tiff), 1);
    TIFFClose(tiff);

    PAGEFILEDOCUMENT* document = PageFileOpenDocument(path.c_str());
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->fileType, PF_TYPE_TIFF);
    EXPECT_EQ(document->pageCount, 1);
    EXPECT_EQ(document->width, 1728u);
    EXPECT_EQ(document->height, 300u);
    EXPECT_EQ(document->compression, PF_COMPRESSION_PACKBITS);
    EXPECT_EQ(document->xDpi, 200);
    EXPECT_EQ(document->yDpi, 200);
    PageFileCloseDocument(document);

    // The line is black in the page pagefilelib reads back, and only there.
    const PFHANDLE reader = PageFileReadBitmapOpen(path.c_str(), PF_TYPE_TIFF, 1, 0);
    ASSERT_NE(reader, 0u);
    while (PageFileReadStep(PF_TYPE_TIFF, reader) != 0) {
    }
    const IKHANDLE page = PageFileReadBitmapEnd(PF_TYPE_TIFF, reader);
    ASSERT_NE(page, 0u);
    const auto pixels = qelta::imaging::images().find(page);
    ASSERT_TRUE(pixels);
    ASSERT_EQ(pixels->kind, qelta::imaging::PixelKind::Bilevel);
    size_t black = 0;
    for (uint32_t y = 0; y < pixels->height; ++y)
        for (uint32_t x = 0; x < pixels->width; ++x)
            black += qelta::imaging::bitAt(pixels->row(y), x);
    EXPECT_EQ(black, 100u);
    EXPECT_TRUE(qelta::imaging::bitAt(pixels->row(10), 10) && qelta::imaging::bitAt(pixels->row(10), 109));
    IKFreeMemory(page);
}

TEST_F(PageFiles, TakenNamesAreNeverOverwritten)
{
    // Names for milliseconds 1-9 taken: the tenth try takes 10.
    for (int ms = 1; ms <= 9; ++ms)
        writeTextFile(nameAt(ms), "taken " + std::to_string(ms));
    EXPECT_EQ(renderer.writePageFile(cover, {}, out), nameAt(10));
    platform::removeFile(nameAt(10));

    // Ten taken: failure, all ten as they were, nothing added.
    clock.calls = 0;
    writeTextFile(nameAt(10), "taken 10");
    EXPECT_EQ(renderer.writePageFile(cover, {}, out), "");
    for (int ms = 1; ms <= 10; ++ms)
        EXPECT_EQ(readTextFile(nameAt(ms)), "taken " + std::to_string(ms));
    EXPECT_EQ(platform::listFiles(out, "*").size(), 10u);
}

TEST_F(PageFiles, UnwritableFolderLeavesNoFile)
{
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(out.c_str(), 0555), 0);
        EXPECT_EQ(renderer.writePageFile(cover, {}, out), "");
        chmod(out.c_str(), 0755);
        EXPECT_TRUE(platform::listFiles(out, "*").empty());
    }
    // A folder no process may create files in, also the superuser.
    EXPECT_EQ(renderer.writePageFile(cover, {}, "/proc/self"), "");
}

} // namespace
