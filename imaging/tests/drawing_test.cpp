// Pages made, drawn on, loaded, scaled, pasted and converted through the exported entries, checked
// by reading what IKTiffFileSave writes back with libtiff.
#include "imaging/imagekit.h"
#include "imaging/tests/tiff_pages_support.h"

#include <gtest/gtest.h>

#include <QtGui/QColor>
#include <QtGui/QImage>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using imaging_test::Bits;
using imaging_test::ReadPage;

class DrawingTest : public imaging_test::TempFolder {
protected:
    void TearDown() override
    {
        for (const IKHANDLE h : made_)
            IKFreeMemory(h);
        TempFolder::TearDown();
    }

    IKHANDLE keep(IKHANDLE h)
    {
        if (h)
            made_.push_back(h);
        return h;
    }
    IKHANDLE page(int32_t width, int32_t height, int32_t bits = 1, int32_t grey = 255)
    {
        return keep(IKCreateImage(width, height, bits, grey, grey, grey, 0, "", "", ""));
    }
    // The image as libtiff reads it from an uncompressed save.
    ReadPage read(IKHANDLE image)
    {
        const std::string file = path("read.tif");
        EXPECT_EQ(IKTiffFileSave(file.c_str(), image, IK_COMPRESSION_NONE, 0, 0, nullptr, 1, 0, "", "", ""), 1);
        const auto pages = imaging_test::readTiff(file);
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? ReadPage{} : pages.front();
    }
    static size_t black(const Bits& bits, int x0, int y0, int x1, int y1)
    {
        size_t n = 0;
        for (int y = std::max(0, y0); y < std::min<int>(y1, bits.height); ++y)
            for (int x = std::max(0, x0); x < std::min<int>(x1, bits.width); ++x)
                n += bits.at(x, y);
        return n;
    }
    static IKDRAWINFO pen(int32_t width, int32_t style, int32_t fill = IK_FILL_NONE, uint32_t colour = 0)
    {
        IKDRAWINFO info{};
        info.penWidth = width;
        info.lineStyle = style;
        info.fillPattern = fill;
        info.penColor = info.fillColor = colour;
        return info;
    }
    static IKFONT font(int16_t points, const char* face = "DejaVu Sans")
    {
        IKFONT f{};
        std::strncpy(f.faceName, face, sizeof f.faceName - 1);
        f.pointSize = points;
        f.one40 = f.one48 = f.one49 = 1;
        return f;
    }

    std::vector<IKHANDLE> made_;
};

TEST_F(DrawingTest, PagesAreMadeInTheirColourOrRefused)
{
    struct Case {
        int32_t width, height, bits, grey;
        bool made;
        bool blackPage;
    };
    const Case cases[] = {
        {13, 5, 1, 255, true, false}, {13, 5, 1, 127, true, true}, {13, 5, 1, 128, true, false},
        {9, 4, 24, 10, true, false},  {0, 5, 1, 255, false, false}, {5, -1, 1, 255, false, false},
        {5, 5, 8, 255, false, false}, {5, 5, 1, 256, false, false}, {70000, 5, 1, 255, false, false},
        {60000, 60000, 24, 255, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " bits " << c.bits << " grey " << c.grey);
        const IKHANDLE h = page(c.width, c.height, c.bits, c.grey);
        ASSERT_EQ(h != 0, c.made);
        if (!h)
            continue;
        const ReadPage p = read(h);
        EXPECT_EQ(p.width, static_cast<uint32_t>(c.width));
        if (c.bits == 1)
            EXPECT_EQ(black(p.bits, 0, 0, c.width, c.height), c.blackPage ? size_t(c.width * c.height) : 0u);
        else
            EXPECT_EQ(TIFFGetR(p.rgba.at(0)), 10u);
    }
    EXPECT_EQ(IKSetDpi(page(8, 8), 0, 200), 0);
    EXPECT_EQ(IKSetDpi(page(8, 8), 200, 70000), 0);
    EXPECT_EQ(IKSetDpi(12345, 200, 200), 0);
    const IKHANDLE h = page(8, 8);
    ASSERT_EQ(IKSetDpi(h, 300, 150), 1);
    const ReadPage p = read(h);
    EXPECT_FLOAT_EQ(p.xDpi, 300);
    EXPECT_FLOAT_EQ(p.yDpi, 150);
}

TEST_F(DrawingTest, ShapesFollowTheirStylesAndStayInsideTheirRectangles)
{
    const IKHANDLE h = page(200, 100);
    const IKRECT dashed{10, 10, 110, 60};
    const IKDRAWINFO dash = pen(2, IK_LINE_DASH);
    ASSERT_EQ(IKRectangle(h, &dashed, &dash, IK_DRAW_PAINT), 1);
    // Right to left and bottom to top is the same rectangle.
    const IKRECT turned{190, 90, 150, 70};
    const IKDRAWINFO solid = pen(0, IK_LINE_SOLID);
    ASSERT_EQ(IKRectangle(h, &turned, &solid, IK_DRAW_PAINT), 1);
    const IKDRAWINFO none = pen(5, IK_LINE_NONE);
    const IKRECT line{0, 95, 200, 95};
    ASSERT_EQ(IKLine(h, &line, &none, IK_DRAW_PAINT), 1);
    // Unknown styles, patterns and modes are refused and draw nothing.
    const IKDRAWINFO badStyle = pen(1, 7), badFill = pen(1, IK_LINE_SOLID, 3);
    EXPECT_EQ(IKRectangle(h, &dashed, &badStyle, IK_DRAW_PAINT), 0);
    EXPECT_EQ(IKRectangle(h, &dashed, &badFill, IK_DRAW_PAINT), 0);
    EXPECT_EQ(IKLine(h, &line, &solid, 1), 0);
    EXPECT_EQ(IKLine(h, nullptr, &solid, IK_DRAW_PAINT), 0);
    EXPECT_EQ(IKLine(999999, &line, &solid, IK_DRAW_PAINT), 0);

    const Bits bits = read(h).bits;
    // The dashed outline: gaps along its edges, two pixels wide inside the rectangle.
    const size_t top = black(bits, 10, 10, 110, 12);
    EXPECT_GT(top, 60u);
    EXPECT_LT(top, 190u);
    EXPECT_EQ(black(bits, 10, 12, 110, 58) - black(bits, 12, 12, 108, 58), black(bits, 10, 12, 110, 58));
    EXPECT_EQ(black(bits, 12, 12, 108, 58), 0u);
    // The one-pixel outline of the turned rectangle [150, 190) x [70, 90).
    EXPECT_EQ(black(bits, 150, 70, 190, 90), 2u * 40 + 2u * 18);
    EXPECT_EQ(black(bits, 0, 0, 200, 100), black(bits, 10, 10, 110, 60) + black(bits, 150, 70, 190, 90));
}

TEST_F(DrawingTest, FillPatternsAreFixedToThePixelGrid)
{
    const IKHANDLE h = page(64, 32);
    const IKDRAWINFO grey = pen(1, IK_LINE_NONE, IK_FILL_GREY15);
    const IKRECT left{0, 0, 13, 32}, right{13, 0, 64, 32};
    ASSERT_EQ(IKRectangle(h, &left, &grey, IK_DRAW_PAINT), 1);
    ASSERT_EQ(IKRectangle(h, &right, &grey, IK_DRAW_PAINT), 1);
    const IKHANDLE whole = page(64, 32);
    const IKRECT all{0, 0, 64, 32};
    ASSERT_EQ(IKRectangle(whole, &all, &grey, IK_DRAW_PAINT), 1);
    const Bits two = read(h).bits;
    EXPECT_TRUE(two == read(whole).bits);
    EXPECT_EQ(black(two, 0, 0, 64, 32), 10u * 32);
}

TEST_F(DrawingTest, ColouredPenOnAnRgbPage)
{
    const IKHANDLE h = page(20, 10, 24);
    const IKRECT ends{0, 5, 20, 5};
    const IKDRAWINFO red = pen(2, IK_LINE_SOLID, IK_FILL_NONE, 0xff0000);
    ASSERT_EQ(IKLine(h, &ends, &red, IK_DRAW_PAINT), 1);
    const ReadPage p = read(h);
    const uint32_t onLine = p.rgba.at(5 * 20 + 3), off = p.rgba.at(8 * 20 + 3);
    EXPECT_EQ(TIFFGetR(onLine), 255u);
    EXPECT_EQ(TIFFGetG(onLine), 0u);
    EXPECT_EQ(TIFFGetG(off), 255u);
    // Made bilevel: red is darker than half.
    const ReadPage mono = read(keep(IKConvertColor(h, 1, 0, 1, 128, 0)));
    EXPECT_EQ(black(mono.bits, 0, 0, 20, 10), 40u);
    EXPECT_EQ(black(read(keep(IKConvertColor(h, 1, 0, 1, 50, 0))).bits, 0, 0, 20, 10), 0u);
    EXPECT_EQ(IKConvertColor(h, 8, 0, 1, 128, 0), 0u);
}

TEST_F(DrawingTest, TextStaysInItsBoxAndFollowsItsOptions)
{
    const IKRECT box{20, 20, 300, 120};
    const IKFONT f = font(12);
    struct Case {
        const char* text;
        int32_t wrap, align;
        bool secondLine;
    };
    const Case cases[] = {
        {"Fax cover sheet with a rather long line of text", 1, 0, true},
        {"Fax cover sheet with a rather long line of text", 0, 0, false},
        {"One\r\nTwo", 0, 0, true},
        {"One\rTwo", 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const IKHANDLE h = page(400, 200);
        ASSERT_EQ(IKDrawText(h, &box, &f, c.text, 0, c.wrap, c.align), 1);
        const Bits bits = read(h).bits;
        EXPECT_GT(black(bits, 20, 20, 300, 40), 40u);
        EXPECT_EQ(black(bits, 20, 40, 300, 120) > 20, c.secondLine);
        EXPECT_EQ(black(bits, 0, 0, 400, 200), black(bits, 20, 20, 300, 120));
        if (c.align == 1) {
            EXPECT_EQ(black(bits, 20, 20, 100, 120), 0u); // short lines, centred
        }
    }
    // A white background clears the box; an empty box or text draws nothing and counts as drawn.
    const IKHANDLE h = page(400, 200, 1, 0);
    ASSERT_EQ(IKDrawText(h, &box, &f, "", 1, 1, 2), 1);
    const IKRECT empty{50, 50, 50, 90};
    ASSERT_EQ(IKDrawText(h, &empty, &f, "x", 1, 1, 2), 1);
    const Bits bits = read(h).bits;
    EXPECT_EQ(black(bits, 20, 20, 300, 120), 0u);
    EXPECT_EQ(black(bits, 0, 0, 400, 200), 400u * 200 - 280 * 100);
    EXPECT_EQ(IKDrawText(h, &box, nullptr, "x", 0, 1, 2), 0);
    EXPECT_EQ(IKDrawText(h, &box, &f, nullptr, 0, 1, 2), 0);
    EXPECT_EQ(IKDrawText(424242, &box, &f, "x", 0, 1, 2), 0);
}

TEST_F(DrawingTest, ImageFilesOfEveryKindLoad)
{
    // A PNG with a transparent half, a two-colour BMP and the second page of a TIFF.
    QImage png(10, 6, QImage::Format_ARGB32);
    png.fill(Qt::transparent);
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 6; ++y)
            png.setPixelColor(x, y, QColor(0, 0, 200));
    png.setDotsPerMeterX(3937);
    png.setDotsPerMeterY(3937);
    ASSERT_TRUE(png.save(QString::fromStdString(path("half.png"))));
    QImage bmp(9, 3, QImage::Format_Mono);
    bmp.fill(1);
    bmp.setPixel(4, 1, 0);
    ASSERT_TRUE(bmp.save(QString::fromStdString(path("dot.bmp"))));
    const Bits second = Bits::pattern(17, 11, 5);
    imaging_test::writeBilevel(path("two.tif"), {Bits::pattern(8, 8), second});
    imaging_test::writeBytes(path("junk.png"), "\x89PNG\r\n\x1a\n not really");

    const ReadPage p = read(keep(IKFileLoad(path("half.png").c_str(), 0, 0, "", "", "")));
    ASSERT_EQ(p.width, 10u);
    EXPECT_EQ(p.samplesPerPixel, 3);
    EXPECT_EQ(TIFFGetB(p.rgba.at(0)), 200u);
    EXPECT_EQ(TIFFGetR(p.rgba.at(9)), 255u); // transparent became white
    EXPECT_FLOAT_EQ(p.xDpi, 100);

    const IKHANDLE dot = keep(IKFileLoad(path("dot.bmp").c_str(), 0, 0, "", "", ""));
    const ReadPage d = read(dot);
    ASSERT_EQ(d.bitsPerSample, 1);
    const bool dotIsBlack = d.bits.at(4, 1) != d.bits.at(0, 0);
    EXPECT_TRUE(dotIsBlack);
    EXPECT_EQ(black(d.bits, 0, 0, 9, 3), d.bits.at(4, 1) ? 1u : 26u);

    EXPECT_TRUE(read(keep(IKFileLoad(path("two.tif").c_str(), 1, 0, "", "", ""))).bits == second);
    for (const auto& [name, index] : std::vector<std::pair<std::string, int>>{
             {"two.tif", 2}, {"half.png", 1}, {"junk.png", 0}, {"missing.png", 0}, {"", 0}})
        EXPECT_EQ(IKFileLoad(path(name).c_str(), index, 0, "", "", ""), 0u) << name << " " << index;
}

TEST_F(DrawingTest, ResizingAndPastingArePixelExact)
{
    const Bits logo = Bits::pattern(7, 5, 1);
    imaging_test::writeBilevel(path("logo.tif"), {logo}, {});
    const IKHANDLE loaded = keep(IKFileLoad(path("logo.tif").c_str(), 0, 0, "", "", ""));
    // Doubled: every pixel becomes a 2 x 2 block, and the resolution doubles along.
    const IKRESIZEINFO source{loaded, {}};
    const IKHANDLE doubled = keep(IKResize(&source, 14, 10, 1, 0, "", "", ""));
    const ReadPage big = read(doubled);
    EXPECT_FLOAT_EQ(big.xDpi, 400);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 14; ++x)
            ASSERT_EQ(big.bits.at(x, y), logo.at(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(IKResize(&source, 0, 10, 1, 0, "", "", ""), 0u);
    EXPECT_EQ(IKResize(nullptr, 10, 10, 1, 0, "", "", ""), 0u);

    // Pasted with its centre (3, 2) on (1, 1) of a black page: clipped at the top left; on an RGB
    // page black and white.
    const IKHANDLE target = page(12, 9, 1, 0);
    const IKHANDLE pasted = keep(IKPasteImage(loaded, target, 1, 1, 0xffffff, 0));
    const Bits out = read(pasted).bits;
    for (uint32_t y = 0; y < 9; ++y)
        for (uint32_t x = 0; x < 12; ++x)
            ASSERT_EQ(out.at(x, y), x < 5 && y < 4 ? logo.at(x + 2, y + 1) : true) << x << "," << y;
    EXPECT_EQ(black(read(target).bits, 0, 0, 12, 9), 108u); // the target itself is unchanged
    const ReadPage colour = read(keep(IKPasteImage(loaded, page(12, 9, 24), 6, 4, 0, 0)));
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            ASSERT_EQ(TIFFGetR(colour.rgba.at((y + 2) * 12 + x + 3)), logo.at(x, y) ? 0u : 255u);
    EXPECT_EQ(IKPasteImage(loaded, 777777, 1, 1, 0, 0), 0u);
}

// What a child process reports: text drawn on a worker thread first, then on the main thread.
void drawTextWithoutApplicationOrDisplay()
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    IKFONT f{};
    std::strcpy(f.faceName, "DejaVu Sans");
    f.pointSize = 10;
    const IKHANDLE h = IKCreateImage(100, 40, 1, 255, 255, 255, 0, "", "", "");
    const IKRECT box{0, 0, 100, 40};
    int fromThread = 0;
    std::thread([&] { fromThread = IKDrawText(h, &box, &f, "Hi", 0, 1, 2); }).join();
    const int fromMain = IKDrawText(h, &box, &f, "there", 0, 1, 2);
    std::exit(fromThread == 1 && fromMain == 1 ? 0 : 1);
}

// A process with no application object and no display gets one on the offscreen platform, made on
// first use by whichever thread draws first.
TEST(DrawingProcess, DrawsTextWithoutApplicationOrDisplay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(drawTextWithoutApplicationOrDisplay(), ::testing::ExitedWithCode(0), "");
}

} // namespace

// Fax pages loaded from a file stay in their coded form until drawn on, and pages loaded one after
// another come from the file as it is now: a drawing must never be lost to a copy of the strip as
// loaded, nor a page read from a file that changed since the last load.
TEST_F(DrawingTest, LoadedFaxPagesKeepEveryChange)
{
    const std::vector<Bits> source = {Bits::pattern(1728, 200, 1), Bits::pattern(1728, 150, 2)};
    imaging_test::writeBilevel(path("fax.tif"), source, {COMPRESSION_CCITTFAX4, 200, 200});
    auto save = [&](IKHANDLE image, const std::string& name, int compression, int append = 0) {
        return IKTiffFileSave(path(name).c_str(), image, compression, append, 0, nullptr, 1, 0, "", "", "");
    };
    auto load = [&](const std::string& name, int index) {
        return keep(IKTiffFileLoad(path(name).c_str(), index, 0, "", "", ""));
    };
    const IKHANDLE first = load("fax.tif", 0);
    ASSERT_NE(first, 0u);
    ASSERT_EQ(save(first, "copy.tif", IK_COMPRESSION_G4), 1);
    EXPECT_TRUE(imaging_test::readTiff(path("copy.tif")).at(0).bits == source[0]);

    // Drawn on after a save, then saved twice in the coding it had: both saves hold the drawing.
    IKFONT font{};
    std::strcpy(font.faceName, "DejaVu Sans");
    font.pointSize = 20;
    const IKRECT band{0, 0, 1728, 60};
    const IKDRAWINFO white = pen(1, IK_LINE_SOLID, IK_FILL_SOLID, 0xffffff);
    ASSERT_EQ(IKRectangle(first, &band, &white, IK_DRAW_PAINT), 1);
    ASSERT_EQ(IKDrawText(first, &band, &font, "Page 1 of 2", 1, 1, 0), 1);
    ASSERT_EQ(save(first, "drawn.tif", IK_COMPRESSION_G4), 1);
    ASSERT_EQ(save(first, "drawn-again.tif", IK_COMPRESSION_G4), 1);
    const ReadPage drawn = imaging_test::readTiff(path("drawn.tif")).at(0);
    EXPECT_FALSE(drawn.bits == source[0]);
    EXPECT_GT(black(drawn.bits, 0, 0, 1728, 60), 0u);
    EXPECT_EQ(black(drawn.bits, 0, 60, 1728, 200), black(source[0], 0, 60, 1728, 200));
    EXPECT_TRUE(imaging_test::readTiff(path("drawn-again.tif")).at(0).bits == drawn.bits);
    ASSERT_EQ(save(first, "mr.tif", IK_COMPRESSION_G3_2D), 1);
    EXPECT_TRUE(imaging_test::readTiff(path("mr.tif")).at(0).bits == drawn.bits) << "another coding, the same pixels";
    // A new resolution is a change too.
    const IKHANDLE second = load("fax.tif", 1);
    ASSERT_EQ(IKSetDpi(second, 100, 100), 1);
    ASSERT_EQ(save(second, "dpi.tif", IK_COMPRESSION_G4), 1);
    EXPECT_FLOAT_EQ(imaging_test::readTiff(path("dpi.tif")).at(0).xDpi, 100);

    // The file grows between two loads (a page appended in place), then is replaced under its name.
    ASSERT_EQ(save(first, "fax.tif", IK_COMPRESSION_G4, 1), 1);
    const IKHANDLE third = load("fax.tif", 2);
    ASSERT_NE(third, 0u) << "the page appended since the last load";
    EXPECT_TRUE(read(third).bits == drawn.bits);
    imaging_test::writeBilevel(path("new.tif"), {Bits::pattern(1000, 90, 3), Bits::pattern(800, 70, 4)},
                               {COMPRESSION_CCITTFAX4, 200, 200});
    ASSERT_EQ(std::rename(path("new.tif").c_str(), path("fax.tif").c_str()), 0);
    const IKHANDLE replaced = load("fax.tif", 1);
    ASSERT_NE(replaced, 0u);
    EXPECT_TRUE(read(replaced).bits == Bits::pattern(800, 70, 4));
    EXPECT_EQ(load("fax.tif", 2), 0u) << "the new file has two pages";
}
