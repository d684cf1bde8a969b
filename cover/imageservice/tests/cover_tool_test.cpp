// The cover sheet image service as the send wizard uses it: covertool registered, created through
// the registry, and its TIFF output read back with libtiff.
#include "cover/imageservice/IQeltaCoverSheetTool.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using imaging_test::Bits;
using imaging_test::ReadPage;
using platform::com::Bstr;
using platform::com::Ptr;

struct Box {
    int left, top, width, height;
    bool contains(uint32_t x, uint32_t y) const
    {
        return static_cast<int>(x) >= left && static_cast<int>(x) < left + width && static_cast<int>(y) >= top
            && static_cast<int>(y) < top + height;
    }
};

// Black pixels of a page inside (or, with outside set, outside every one of) the boxes.
size_t blackIn(const ReadPage& page, const std::vector<Box>& boxes, bool outside = false)
{
    size_t count = 0;
    for (uint32_t y = 0; y < page.height; ++y)
        for (uint32_t x = 0; x < page.width; ++x) {
            bool inside = false;
            for (const Box& b : boxes)
                inside = inside || b.contains(x, y);
            if (inside != outside && page.bits.at(x, y))
                ++count;
        }
    return count;
}

std::string textLine(const std::string& keyword, const Box& b, const std::string& rest = "")
{
    return keyword + "," + std::to_string(b.left) + "," + std::to_string(b.top) + "," + std::to_string(b.width) + ","
        + std::to_string(b.height) + ",DejaVu Sans,39,400,0,0,0,0," + rest;
}

class CoverToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = platform::Library::load("covertool.dll");
        ASSERT_TRUE(library_) << platform::Library::lastError();
        const auto registerServer = library_->function<DllRegisterServerFn>("DllRegisterServer");
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);
        platform::com::initializeThread();
        ASSERT_EQ(platform::com::createInstance(kQeltaCoverSheetToolProgId, CLSCTX_ALL, tool_), S_OK);
        folder_ = root_.path() + "/covers";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override
    {
        tool_.reset();
        platform::com::uninitializeThread();
    }

    std::string writeCover(const std::vector<std::string>& lines, std::optional<int> frames = std::nullopt)
    {
        std::string text = "[TQLCVR]\r\n";
        if (frames.value_or(0) >= 0 || !frames)
            text += "Frames=" + std::to_string(frames.value_or(static_cast<int>(lines.size()))) + "\r\nLang=0\r\n";
        for (size_t i = 0; i < lines.size(); ++i)
            text += "Frame." + std::to_string(i + 1) + "=" + lines[i] + "\r\n";
        const std::string path = folder_ + "/sheet.TQC";
        qelta::test::writeTextFile(path, text);
        return path;
    }

    HRESULT make(const std::string& cover, int32_t x = 200, int32_t y = 200)
    {
        return tool_->CreateCoverSheetImage(Bstr(cover).get(), x, y, Bstr(output()).get());
    }

    HRESULT makeWithData(const std::string& cover, const std::string& name, int32_t page)
    {
        return tool_->CreateCoverSheetImageWithData(Bstr(name).get(), Bstr("0123 456").get(), Bstr("").get(),
                                                    Bstr("2026-12-09").get(), Bstr("14:00").get(), page,
                                                    Bstr(cover).get(), 200, 200, Bstr(output()).get());
    }

    // The one page of the output file.
    ReadPage page()
    {
        const auto pages = imaging_test::readTiff(output());
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? ReadPage{} : pages.front();
    }

    std::string output() const { return folder_ + "/cover.tif"; }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<platform::Library> library_;
    Ptr<IQeltaCoverSheetTool> tool_;
    std::string folder_;
};

TEST_F(CoverToolTest, SizeAndResolutionFollowStretchResolutionAndPageCut)
{
    struct Case {
        int32_t stretch, x, y, cut;
        uint32_t width, height;
        float xDpi, yDpi;
    };
    const Case cases[] = {
        {0, 400, 400, 0, 1728, 2338, 200, 200},    {0, 100, 100, 1000, 1728, 1000, 200, 200},
        {1, 100, 100, 0, 864, 1169, 100, 100},     {1, 100, 100, 1001, 864, 500, 100, 100},
        {1, 200, 200, 0, 1728, 2338, 200, 200},    {1, 200, 200, 1000, 1728, 1000, 200, 200},
        {1, 300, 300, 0, 2592, 3507, 300, 300},    {1, 300, 300, 1000, 2592, 1500, 300, 300},
        {1, 400, 400, 0, 3456, 4676, 400, 400},    {1, 400, 400, 1000, 3456, 2000, 400, 400},
        {1, 200, 100, 0, 1728, 1169, 200, 100},    {1, 400, 200, 2290, 3456, 2290, 400, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stretch " << c.stretch << " at " << c.x << "x" << c.y << " cut " << c.cut);
        std::vector<std::string> lines = {"DrawingLine,0,10,1728,0,0,4"};
        if (c.cut)
            lines.push_back("PageCut,0," + std::to_string(c.cut) + ",1728,0,2,1");
        ASSERT_EQ(tool_->put_bIsRequestStretch(c.stretch), S_OK);
        ASSERT_EQ(make(writeCover(lines), c.x, c.y), S_OK);
        const ReadPage p = page();
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_FLOAT_EQ(p.xDpi, c.xDpi);
        EXPECT_FLOAT_EQ(p.yDpi, c.yDpi);
        EXPECT_EQ(p.compression, COMPRESSION_CCITTFAX4);
        EXPECT_EQ(p.bitsPerSample, 1);
        EXPECT_GT(blackIn(p, {{0, 0, static_cast<int>(p.width), static_cast<int>(p.height)}}), 0u);
    }
    int32_t stretch = -1;
    EXPECT_EQ(tool_->get_bIsRequestStretch(&stretch), S_OK);
    EXPECT_EQ(stretch, 1);
    EXPECT_EQ(tool_->get_bIsRequestStretch(nullptr), E_POINTER);
}

TEST_F(CoverToolTest, ShapesArePixelExact)
{
    ASSERT_EQ(make(writeCover({
                  "DrawingFrame,100,100,50,40,0,3,0",    // outline 3 wide, inside the rectangle
                  "DrawingFrame,300,100,20,10,0,1,100",  // solid fill
                  "DrawingLine,100,300,60,0,0,4",        // horizontal, 4 wide, centred
                  "DrawingLine,500,300,0,30,0,2",        // vertical, 2 wide
                  "DrawingFrame,600,600,10,10,5,1,0",    // pen style none, no fill: nothing
              })),
              S_OK);
    const ReadPage p = page();
    ASSERT_EQ(p.width, 1728u);
    Bits expected(p.width, p.height);
    for (uint32_t y = 100; y < 140; ++y)
        for (uint32_t x = 100; x < 150; ++x)
            expected.set(x, y, x < 103 || x >= 147 || y < 103 || y >= 137);
    for (uint32_t y = 100; y < 110; ++y)
        for (uint32_t x = 300; x < 320; ++x)
            expected.set(x, y);
    for (uint32_t y = 298; y < 302; ++y)
        for (uint32_t x = 100; x < 160; ++x)
            expected.set(x, y);
    for (uint32_t y = 300; y < 330; ++y)
        for (uint32_t x = 499; x < 501; ++x)
            expected.set(x, y);
    EXPECT_TRUE(p.bits == expected);
}

TEST_F(CoverToolTest, ShadedFillsCoverTheirShareOfPixels)
{
    struct Case {
        int fill;
        double share;
    };
    for (const Case c : {Case{5, 3 / 64.0}, Case{10, 6 / 64.0}, Case{15, 10 / 64.0}, Case{7, 1.0}}) {
        SCOPED_TRACE(c.fill);
        ASSERT_EQ(make(writeCover({"DrawingFrame,64,64,128,128,5,1," + std::to_string(c.fill)})), S_OK);
        const ReadPage p = page();
        EXPECT_DOUBLE_EQ(static_cast<double>(blackIn(p, {{64, 64, 128, 128}})) / (128 * 128), c.share);
        EXPECT_EQ(blackIn(p, {{64, 64, 128, 128}}, true), 0u);
    }

    // What was drawn before shows between the dots: the default sheet's title under its 5 % frame.
    const std::string title = "StaticText,626,747,520,80,DejaVu Serif,67,400,0,0,0,0,Fax transmission";
    ASSERT_EQ(make(writeCover({title})), S_OK);
    const ReadPage text = page();
    ASSERT_EQ(make(writeCover({title, "DrawingFrame,531,723,689,123,6,2,5"})), S_OK);
    const ReadPage shaded = page();
    size_t letters = 0, kept = 0;
    for (uint32_t y = 723; y < 723 + 123; ++y)
        for (uint32_t x = 531; x < 531 + 689; ++x)
            if (text.bits.at(x, y)) {
                ++letters;
                kept += shaded.bits.at(x, y);
            }
    EXPECT_GT(letters, 1000u);
    EXPECT_EQ(kept, letters);
}

TEST_F(CoverToolTest, PastedImagesArePixelExact)
{
    // A bilevel TIFF named relative to the sheet, and a colour one by its full path.
    const Bits logo = Bits::pattern(64, 48, 3);
    imaging_test::writeBilevel(folder_ + "/logo.tif", {logo}, {});
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 30; ++x) {
            const bool dark = (x / 5 + y / 5) % 2 == 0;
            rgb.insert(rgb.end(), {uint8_t(dark ? 40 : 220), uint8_t(dark ? 20 : 230), uint8_t(dark ? 90 : 200)});
        }
    imaging_test::writeContone(folder_ + "/photo.tif", 30, 20, 3, rgb);

    ASSERT_EQ(make(writeCover({"Bitmap,200,300,64,48,logo.tif", "Bitmap,1710,2330,30,20," + folder_ + "/photo.tif"})),
              S_OK);
    const ReadPage p = page();
    Bits expected(p.width, p.height);
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            expected.set(200 + x, 300 + y, logo.at(x, y));
    // The colour image is clipped at the page's right and bottom edges.
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 18; ++x)
            expected.set(1710 + x, 2330 + y, (x / 5 + y / 5) % 2 == 0);
    EXPECT_TRUE(p.bits == expected);
}

TEST_F(CoverToolTest, MissingImageDrawsCrossedBoxAndStillWrites)
{
    ASSERT_EQ(make(writeCover({"Bitmap,100,100,200,100,C:\\nowhere\\missing.bmp"})), S_OK);
    const ReadPage p = page();
    EXPECT_TRUE(p.bits.at(100, 100) && p.bits.at(299, 199) && p.bits.at(103, 150) && p.bits.at(200, 103));
    EXPECT_TRUE(p.bits.at(200, 150)); // where the diagonals cross
    EXPECT_FALSE(p.bits.at(200, 120) || p.bits.at(130, 150));
    // The diagonals' ends, 4 pixels wide, reach a little past the corners.
    EXPECT_GT(blackIn(p, {{100, 100, 200, 100}}, true), 0u);
    EXPECT_EQ(blackIn(p, {{97, 97, 206, 106}}, true), 0u);
}

// Little-endian fields of the hand-made picture files below.
void put(std::string& bytes, size_t at, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A one-bit PCX file of bits (colour 0 black, colour 1 white), every byte coded as a run of one.
std::string pcxOf(const Bits& bits)
{
    std::string file(128, '\0');
    const uint32_t lineBytes = (bits.width + 15) / 16 * 2;
    file[0] = 0x0a, file[1] = 5, file[2] = 1, file[3] = 1, file[65] = 1, file[68] = 1;
    put(file, 8, bits.width - 1, 2);
    put(file, 10, bits.height - 1, 2);
    put(file, 19, 0xffffff, 3);
    put(file, 66, lineBytes, 2);
    for (uint32_t y = 0; y < bits.height; ++y)
        for (uint32_t i = 0; i < lineBytes; ++i) {
            uint8_t byte = 0xff;
            for (uint32_t x = i * 8; x < std::min(i * 8 + 8, bits.width); ++x)
                if (bits.at(x, y))
                    byte &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
            file += '\xc1';
            file += static_cast<char>(byte);
        }
    return file;
}

// A run-length coded 8-bit BMP of bits (index 0 white, 1 black), rows bottom up.
std::string rle8BmpOf(const Bits& bits)
{
    std::string runs;
    for (uint32_t y = bits.height; y-- > 0;) {
        for (uint32_t x = 0; x < bits.width;) {
            uint32_t run = 1;
            while (x + run < bits.width && run < 255 && bits.at(x + run, y) == bits.at(x, y))
                ++run;
            runs += static_cast<char>(run);
            runs += static_cast<char>(bits.at(x, y));
            x += run;
        }
        runs += std::string("\0\0", 2);
    }
    runs += std::string("\0\1", 2);
    std::string file(14 + 40 + 8, '\0');
    file[0] = 'B', file[1] = 'M';
    put(file, 2, static_cast<uint32_t>(file.size() + runs.size()), 4);
    put(file, 10, static_cast<uint32_t>(file.size()), 4);
    put(file, 14, 40, 4);
    put(file, 18, bits.width, 4);
    put(file, 22, bits.height, 4);
    put(file, 26, 1, 2);
    put(file, 28, 8, 2);
    put(file, 30, 1, 4); // BI_RLE8
    put(file, 34, static_cast<uint32_t>(runs.size()), 4);
    put(file, 46, 2, 4);
    put(file, 54, 0xffffff, 4);
    return file + runs;
}

TEST_F(CoverToolTest, PicturesOfThePageFileKindsArePixelExact)
{
    // The kinds the editor offers besides TIFF, named relative to the sheet.
    const Bits logo = Bits::pattern(64, 48, 7);
    imaging_test::writeBytes(folder_ + "/logo.pcx", pcxOf(logo));
    imaging_test::writeBytes(folder_ + "/logo.bmp", rle8BmpOf(logo));
    for (const char* name : {"logo.pcx", "logo.bmp"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(make(writeCover({"Bitmap,200,300,64,48," + std::string(name)})), S_OK);
        const ReadPage p = page();
        Bits expected(p.width, p.height);
        for (uint32_t y = 0; y < 48; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                expected.set(200 + x, 300 + y, logo.at(x, y));
        EXPECT_TRUE(p.bits == expected);
    }
}

// The child's part of the test below: makes the image of the sheet COVER_TOOL_CHILD_SHEET as
// COVER_TOOL_CHILD_IMAGE, then writes its peak resident memory (kB) to COVER_TOOL_CHILD_REPORT.
class CoverToolChild : public CoverToolTest {};

TEST_F(CoverToolChild, MakesTheImageItIsGiven)
{
    const char* sheet = std::getenv("COVER_TOOL_CHILD_SHEET");
    const char* image = std::getenv("COVER_TOOL_CHILD_IMAGE");
    const char* report = std::getenv("COVER_TOOL_CHILD_REPORT");
    if (!sheet || !image || !report)
        GTEST_SKIP() << "run by the test below in a process of its own";
    ASSERT_EQ(tool_->CreateCoverSheetImage(Bstr(sheet).get(), 200, 200, Bstr(image).get()), S_OK);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            std::ofstream(report) << std::atol(line.c_str() + 6) << "\n";
}

TEST_F(CoverToolTest, HugePicturesAreCrossedBoxesWithinBoundedMemory)
{
    imaging_test::writeHugeG4(folder_ + "/huge.tif");
    // Peak memory (kB) of a process that makes the image of the sheet of these lines.
    const auto peakOf = [this](const std::vector<std::string>& lines) {
        const std::string sheet = writeCover(lines), report = folder_ + "/peak.txt";
        std::filesystem::remove(report);
        ::setenv("COVER_TOOL_CHILD_SHEET", sheet.c_str(), 1);
        ::setenv("COVER_TOOL_CHILD_IMAGE", output().c_str(), 1);
        ::setenv("COVER_TOOL_CHILD_REPORT", report.c_str(), 1);
        // The child only measures. In a sanitizer build its leak check at exit is left out: the
        // leak checker's own tracer crashes on this child's threads there, and the same drawing is
        // leak-checked in the tests above, in process.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::optional<std::string> sanitizer = asan ? std::optional<std::string>(asan) : std::nullopt;
        if (sanitizer)
            ::setenv("ASAN_OPTIONS", (*sanitizer + ":detect_leaks=0").c_str(), 1);
        EXPECT_EQ(platform::runProgram(platform::programPath(), {"--gtest_filter=CoverToolChild.*"}), 0);
        if (sanitizer)
            ::setenv("ASAN_OPTIONS", sanitizer->c_str(), 1);
        for (const char* name : {"COVER_TOOL_CHILD_SHEET", "COVER_TOOL_CHILD_IMAGE", "COVER_TOOL_CHILD_REPORT"})
            ::unsetenv(name);
        long kb = -1;
        std::ifstream(report) >> kb;
        return kb;
    };
    const long plain = peakOf({"DrawingLine,10,10,100,0,0,1"});
    ASSERT_GT(plain, 0);
    // A picture of 268 megapixels in two frames: the crossed box in each, and far less memory
    // than the picture takes at the depth of the page it would be pasted on.
    const long huge = peakOf({"Bitmap,100,100,300,300,huge.tif", "Bitmap,600,100,300,300,huge.tif"});
    EXPECT_LT(huge - plain, 100L << 10) << "kB beyond a plain sheet";
    const ReadPage p = page();
    for (const uint32_t left : {100u, 600u}) {
        EXPECT_TRUE(p.bits.at(left + 150, 250)) << "the diagonals cross at the centre of the frame at " << left;
        EXPECT_FALSE(p.bits.at(left + 150, 200));
    }
}

TEST_F(CoverToolTest, TextsLandInTheirBoxes)
{
    const Box name{100, 100, 600, 60}, fax{100, 200, 600, 60}, memo{100, 300, 600, 60}, number{100, 400, 200, 60},
        note{100, 500, 800, 200};
    const std::string cover = writeCover({textLine("NAME", name), textLine("fax", fax), textLine("Memo", memo),
                                          textLine("Page", number), textLine("StaticText", note, "a\\054b\\nC:\\\\")});
    // Without data: "Name", "Fax number", no memo, "99".
    ASSERT_EQ(make(cover), S_OK);
    ReadPage p = page();
    EXPECT_GT(blackIn(p, {name}), 50u);
    EXPECT_GT(blackIn(p, {fax}), 50u);
    EXPECT_EQ(blackIn(p, {memo}), 0u);
    EXPECT_GT(blackIn(p, {number}), 20u);
    EXPECT_GT(blackIn(p, {{note.left, note.top, note.width, 40}}), 20u);      // "a,b"
    EXPECT_GT(blackIn(p, {{note.left, note.top + 40, note.width, 40}}), 20u); // "C:\" on the second line
    EXPECT_EQ(blackIn(p, {name, fax, number, note}, true), 0u);
    const size_t withDefaults = blackIn(p, {name});

    // With data and an empty name: no name, but the page number still.
    ASSERT_EQ(makeWithData(cover, "", 3), S_OK);
    p = page();
    EXPECT_EQ(blackIn(p, {name}), 0u);
    EXPECT_GT(blackIn(p, {number}), 10u);
    ASSERT_EQ(makeWithData(cover, "A much longer recipient name", 3), S_OK);
    EXPECT_GT(blackIn(page(), {name}), withDefaults);
}

TEST_F(CoverToolTest, KindsTheServiceDoesNotDrawLeaveTheRestWhite)
{
    const Box b{100, 100, 400, 60};
    ASSERT_EQ(make(writeCover({
                  textLine("COMPANY", b), textLine("ADDRESS1", b), textLine("UserName", b), textLine("UserFaxNumber", b),
                  textLine("StaticText", b),         // empty text: 12 fields only
                  "NAME,100,100,400,60,DejaVu Sans", // too few fields
                  "Unknown,1,2,3,4,5,6,7",
                  "",
              })),
              S_OK);
    EXPECT_EQ(blackIn(page(), {{0, 0, 1728, 2338}}), 0u);
}

TEST_F(CoverToolTest, FileFormsAndFailures)
{
    // No "Frames": a blank page; a missing frame key is skipped; the first page cut sets the height.
    ASSERT_EQ(make(writeCover({"DrawingLine,0,10,100,0,0,2"}, -1)), S_OK);
    EXPECT_EQ(blackIn(page(), {{0, 0, 1728, 2338}}), 0u);
    ASSERT_EQ(make(writeCover({"PageCut,0,1200,1728,0,2,1", "PageCut,0,900,1728,0,2,1"})), S_OK);
    EXPECT_EQ(page().height, 1200u);

    // Failures leave S_FALSE: no sheet, a page cut beyond any page, a folder that is not there.
    EXPECT_EQ(make(folder_ + "/missing.TQC"), S_FALSE);
    EXPECT_EQ(make(writeCover({"PageCut,0,0,1728,0,2,1"})), S_FALSE);
    EXPECT_EQ(make(writeCover({"PageCut,0,2000000000,1728,0,2,1"})), S_FALSE);
    EXPECT_EQ(tool_->CreateCoverSheetImage(Bstr(writeCover({})).get(), 200, 200,
                                           Bstr(folder_ + "/no/such/folder/x.tif").get()),
              S_FALSE);
    ASSERT_EQ(tool_->put_bIsRequestStretch(1), S_OK);
    EXPECT_EQ(make(writeCover({}), 0, 0), S_FALSE);
    EXPECT_EQ(make(writeCover({}), 1000000, 1000000), S_FALSE);
}

TEST_F(CoverToolTest, ObjectsOnSeveralThreadsEachGetTheirImages)
{
    const std::string cover = writeCover({textLine("NAME", {100, 100, 600, 60}), "DrawingFrame,10,10,50,50,0,2,10"});
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (size_t t = 0; t < failures.size(); ++t)
        threads.emplace_back([&, t] {
            platform::com::initializeThread();
            {
                Ptr<IQeltaCoverSheetTool> tool;
                if (platform::com::createInstance(kQeltaCoverSheetToolProgId, CLSCTX_ALL, tool) != S_OK) {
                    failures[t] = 100;
                } else {
                    const std::string out = folder_ + "/thread" + std::to_string(t) + ".tif";
                    for (int i = 0; i < 5; ++i)
                        if (tool->CreateCoverSheetImage(Bstr(cover).get(), 200, 200, Bstr(out).get()) != S_OK)
                            ++failures[t];
                }
            }
            platform::com::uninitializeThread();
        });
    for (auto& thread : threads)
        thread.join();
    for (size_t t = 0; t < failures.size(); ++t) {
        EXPECT_EQ(failures[t], 0);
        EXPECT_EQ(imaging_test::readTiff(folder_ + "/thread" + std::to_string(t) + ".tif").size(), 1u);
    }
}

} // namespace
