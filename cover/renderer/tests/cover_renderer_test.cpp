#include "cover/renderer/cover_renderer.h"

#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

// Black pixels of a rendered page in [left, right) x [top, bottom).
int blackIn(const QImage& page, int left, int top, int right, int bottom)
{
    int black = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            black += qGray(page.pixel(x, y)) < 128;
    return black;
}

TEST(CoverRenderer, ShadesAreDotsOverWhatLiesBeneath)
{
    ScopedStateRoot root;
    Renderer renderer;
    // Three shaded frames without a pen on the page's 8-pixel grid, the title of the default
    // sheet under the first one.
    const std::string title = "StaticText,64,64,256,64,DejaVu Serif,67,400,0,0,0,0,Fax";
    const std::vector<std::string> shades = {"DrawingFrame,64,64,256,64,5,1,5", "DrawingFrame,64,192,256,64,5,1,10",
                                             "DrawingFrame,64,320,256,64,5,1,15"};
    auto lines = shades;
    lines.insert(lines.begin(), title);
    const auto page = renderer.render(coverFile(root.path(), lines), {});
    const auto text = renderer.render(coverFile(root.path(), {title}), {});
    const auto dots = renderer.render(coverFile(root.path(), shades), {});
    ASSERT_TRUE(page && text && dots);
    const int share[] = {3, 6, 10}; // of every 64 pixels
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(blackIn(*dots, 64, 64 + 128 * i, 320, 128 + 128 * i), share[i] * 256) << shades[i];
    // The title shows through its frame: all its pixels, and the dots between its letters.
    const int letters = blackIn(*text, 64, 64, 320, 128);
    ASSERT_GT(letters, 500);
    int kept = 0;
    for (int y = 64; y < 128; ++y)
        for (int x = 64; x < 320; ++x)
            kept += qGray(text->pixel(x, y)) < 128 && qGray(page->pixel(x, y)) < 128;
    EXPECT_EQ(kept, letters);
    EXPECT_GT(blackIn(*page, 64, 64, 320, 128), letters);
}

// ---- sheets that would take a process's memory or time: rendered by this program run again ----

constexpr rlim_t kChildCpuSeconds = 20;

// The child's part: renders the sheet named by COVER_CHILD_SHEET within kChildCpuSeconds of
// processor time, then writes its peak resident memory (kB) to COVER_CHILD_REPORT.
TEST(CoverRendererChild, RendersTheSheetItIsGiven)
{
    const char* sheet = std::getenv("COVER_CHILD_SHEET");
    const char* report = std::getenv("COVER_CHILD_REPORT");
    if (!sheet || !report)
        GTEST_SKIP() << "run by the tests below in a process of its own";
    const rlimit cpu{kChildCpuSeconds, kChildCpuSeconds};
    ASSERT_EQ(setrlimit(RLIMIT_CPU, &cpu), 0);
    Renderer renderer;
    ASSERT_TRUE(renderer.render(sheet, {}));
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            std::ofstream(report) << std::atol(line.c_str() + 6) << "\n";
}

struct ChildRun {
    int exitCode = -1;
    long peakKb = -1;
};

ChildRun renderInChild(const std::string& sheet)
{
    const std::string report = platform::parentPath(sheet) + "/peak.txt";
    platform::removeFile(report);
    ::setenv("COVER_CHILD_SHEET", sheet.c_str(), 1);
    ::setenv("COVER_CHILD_REPORT", report.c_str(), 1);
    ChildRun run;
    run.exitCode = platform::runProgram(platform::programPath(), {"--gtest_filter=CoverRendererChild.*"});
    ::unsetenv("COVER_CHILD_SHEET");
    ::unsetenv("COVER_CHILD_REPORT");
    std::ifstream(report) >> run.peakKb;
    return run;
}

TEST(CoverRenderer, HugePicturesAndFarLinesStayWithinMemoryAndTime)
{
    ScopedStateRoot root;
    const std::string folder = platform::joinPath(root.path(), "sheets");
    ASSERT_TRUE(platform::createDirectories(folder));
    imaging_test::writeHugeG4(platform::joinPath(folder, "huge.tif"));
    ASSERT_LT(std::filesystem::file_size(platform::joinPath(folder, "huge.tif")), 64u << 10);

    const ChildRun plain = renderInChild(coverFile(folder, {"DrawingLine,10,10,100,0,0,1"}));
    ASSERT_EQ(plain.exitCode, 0);
    ASSERT_GT(plain.peakKb, 0);

    // Four frames of one picture of 268 megapixels: far less memory than one picture's worth.
    std::vector<std::string> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back("Bitmap," + std::to_string(100 + 400 * i) + ",100,300,300,huge.tif");
    const ChildRun picture = renderInChild(coverFile(folder, pictures));
    EXPECT_EQ(picture.exitCode, 0);
    EXPECT_LT(picture.peakKb - plain.peakKb, 200L << 10) << "kB beyond a plain sheet";

    // One-pixel dashed frames and lines from far beyond the page: only their part on the page is
    // drawn, well within the child's processor time.
    std::vector<std::string> far;
    for (int i = 0; i < 60; ++i) {
        far.push_back("DrawingFrame,-16000000,-16000" + std::to_string(100 + i) + ",32000000,32000000,1,1,0");
        far.push_back("DrawingLine,-16000000,-16000000,32000000,32000" + std::to_string(100 + i) + ",3,1");
    }
    EXPECT_EQ(renderInChild(coverFile(folder, far)).exitCode, 0);
}

} // namespace
