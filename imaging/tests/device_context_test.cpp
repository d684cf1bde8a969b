#include "imaging/device_context.h"

#include <QtGui/QFontMetrics>

#include "imaging/tests/page_pixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace gdi;

using namespace qelta::test;

namespace {

// A pattern of on and off runs repeated to a length.
std::string runs(std::initializer_list<int> pattern, size_t length)
{
    std::string out;
    while (out.size() < length) {
        bool on = true;
        for (const int n : pattern) {
            out.append(static_cast<size_t>(n), on ? '#' : '.');
            on = !on;
        }
    }
    return out.substr(0, length);
}

TEST(MulDiv, RoundsHalvesAwayFromZeroWithA64BitProduct)
{
    struct Case {
        int a, b, c, result;
    } const cases[] = {
        {10, 3, 4, 8},     {-10, 3, 4, -8},   {10, -3, 4, -8},  {-10, -3, 4, 8},     {10, 3, -4, -8},
        {7, 1, 2, 4},      {-7, 1, 2, -4},    {1, 1, 3, 0},     {2, 1, 3, 1},        {5, 0, 7, 0},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MAX, 2, 2, INT_MAX},            {1 << 30, 4, 2, -1},
        {5, 7, 0, -1},     {INT_MIN, 1, 1, -1},
        // Font sizes in tenths of a point to page pixels at 200 dpi: 12, 14 and 24 points.
        {120, 200, 720, 33}, {140, 200, 720, 39}, {240, 200, 720, 67},
        // A page-pixel height as a screen character height at 96 dpi.
        {33, 96, 200, 16},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << " * " << c.b << " / " << c.c;
}

TEST(FontOfLogFont, PositiveHeightIsTheCellNegativeTheCharacter)
{
    LOGFONTA record{};
    std::strcpy(record.lfFaceName, "DejaVu Sans");
    QImage page = whitePage(1, 1);
    CDeviceContext session(page); // makes the application Qt's fonts need
    for (const int height : {8, 16, 33, 39, 67, 200}) {
        SCOPED_TRACE(height);
        record.lfHeight = height;
        QFont font = fontOfLogFont(record);
        const QFontMetrics fits(font);
        EXPECT_LE(fits.ascent() + fits.descent(), height);
        font.setPixelSize(font.pixelSize() + 1);
        const QFontMetrics larger(font);
        EXPECT_GT(larger.ascent() + larger.descent(), height);
        EXPECT_LT(font.pixelSize(), height); // the cell holds more than the character
        record.lfHeight = -height;
        EXPECT_EQ(fontOfLogFont(record).pixelSize(), height);
    }
    record.lfHeight = 0;
    EXPECT_EQ(fontOfLogFont(record).pixelSize(), 12);
    record.lfHeight = INT_MIN;
    EXPECT_EQ(fontOfLogFont(record).pixelSize(), kMaxFontPixels);
    record.lfWeight = 0;
    EXPECT_EQ(fontOfLogFont(record).weight(), QFont::Normal);
    record.lfWeight = 700;
    record.lfItalic = record.lfUnderline = record.lfStrikeOut = 1;
    const QFont bold = fontOfLogFont(record);
    EXPECT_EQ(bold.weight(), QFont::Bold);
    EXPECT_TRUE(bold.italic() && bold.underline() && bold.strikeOut());
}

TEST(DeviceContext, TheSevenPenStylesOnePixelWide)
{
    struct Case {
        int style;
        std::string pixels; // x 0 to 49 of the line from (0, 5) to (48, 5)
    } const cases[] = {
        {PS_SOLID, std::string(48, '#') + ".."},
        {PS_DASH, runs({18, 6}, 48) + ".."},
        {PS_DOT, runs({3, 3}, 48) + ".."},
        {PS_DASHDOT, runs({9, 6, 3, 6}, 48) + ".."},
        {PS_DASHDOTDOT, runs({9, 3, 3, 3, 3, 3}, 48) + ".."},
        {PS_NULL, std::string(50, '.')},
        {PS_INSIDEFRAME, std::string(48, '#') + ".."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        QImage image = whitePage(50, 12);
        {
            CDeviceContext dc(image);
            dc.SelectPen({c.style, 1, kBlack});
            dc.MoveTo(0, 5);
            dc.LineTo(48, 5);
        }
        EXPECT_EQ(row(image, 5, 0, 50), c.pixels);
        EXPECT_EQ(row(image, 4, 0, 50), std::string(50, '.'));
        EXPECT_EQ(row(image, 6, 0, 50), std::string(50, '.'));
    }
}

TEST(DeviceContext, WidePensAreSolidCentredAndFlatEnded)
{
    for (const int style : {PS_SOLID, PS_DASH, PS_DOT}) {
        QImage image = whitePage(40, 20);
        {
            CDeviceContext dc(image);
            dc.SelectPen({style, 4, kBlack});
            dc.MoveTo(5, 10);
            dc.LineTo(30, 10);
            dc.MoveTo(35, 2);
            dc.LineTo(35, 18);
        }
        EXPECT_EQ(column(image, 15, 0, 20), std::string(8, '.') + "####" + std::string(8, '.'));
        EXPECT_EQ(row(image, 10, 0, 32), std::string(5, '.') + std::string(25, '#') + "..");
        EXPECT_EQ(row(image, 10, 32, 40), ".####...");
    }
}

TEST(DeviceContext, LinesFromFarOffThePageKeepTheirPixelsAndDashes)
{
    // The part of a long line on the page is the part the whole line steps through there, with its
    // dashes where the whole line puts them: stepped pixel by pixel from its start (18 on, 6 off).
    struct Case {
        POINT from, to, origin;
    } const cases[] = {
        {{-200003, 5}, {60, 5}, {0, 0}},          {{-300000, -100000}, {3000, 1000}, {0, 0}},
        {{20, -150001}, {27, 90000}, {0, 0}},     {{-99999, 100040}, {100000, -99959}, {7, -3}},
        {{100, 20}, {-250000, 40}, {0, 0}},       {{-50000, -50000}, {-10, -10}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.x << "," << c.from.y << " to " << c.to.x << "," << c.to.y);
        QImage image = whitePage(64, 48);
        {
            CDeviceContext dc(image);
            dc.SetViewportOrg(c.origin);
            dc.SelectPen({PS_DASH, 1, kBlack});
            dc.MoveTo(c.from.x, c.from.y);
            dc.LineTo(c.to.x, c.to.y);
        }
        QImage expected = whitePage(64, 48);
        const int64_t dx = std::abs(int64_t{c.to.x} - c.from.x), dy = -std::abs(int64_t{c.to.y} - c.from.y);
        int64_t error = dx + dy, x = c.from.x, y = c.from.y;
        for (int64_t step = 0; step < std::max(dx, -dy); ++step) {
            if (step % 24 < 18 && QRect(0, 0, 64, 48).contains(int(x + c.origin.x), int(y + c.origin.y)))
                expected.setPixel(int(x + c.origin.x), int(y + c.origin.y), kBlack);
            const int64_t twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x += c.from.x < c.to.x ? 1 : -1;
            }
            if (twice <= dx) {
                error += dx;
                y += c.from.y < c.to.y ? 1 : -1;
            }
        }
        EXPECT_EQ(image, expected);
        EXPECT_EQ(expected == whitePage(64, 48), c.from.x == -50000); // only the last one misses the page
    }
}

TEST(DeviceContext, RectanglesPolylinesAndViewportOrigin)
{
    QImage image = whitePage(30, 20);
    {
        CDeviceContext dc(image);
        dc.SelectPen({PS_SOLID, 1, kBlack});
        dc.Rectangle({2, 2, 8, 6}); // null brush: the outline alone, on its outermost pixels
        dc.SelectPen({PS_INSIDEFRAME, 2, kBlack});
        dc.Rectangle({10, 2, 16, 8});
        dc.SelectPen({PS_SOLID, 2, kBlack});
        dc.Rectangle({20, 4, 26, 10}); // centred: from one pixel outside to one inside
        dc.SetViewportOrg({1, 12});
        dc.SelectPen({PS_SOLID, 1, kBlack});
        const POINT open[] = {{0, 0}, {4, 0}, {4, 4}};
        dc.Polyline(open, 3);
    }
    EXPECT_EQ(row(image, 2, 0, 10), "..######..");
    EXPECT_EQ(row(image, 3, 0, 10), "..#....#..");
    EXPECT_EQ(row(image, 5, 0, 10), "..######..");
    EXPECT_EQ(row(image, 6, 0, 10), "..........");
    EXPECT_EQ(column(image, 10, 0, 10), "..######..");
    EXPECT_EQ(row(image, 4, 9, 17), ".##..##.");
    // Edges 20 and 25, 4 and 9; two pixels wide from one pixel before each edge.
    EXPECT_EQ(row(image, 3, 18, 28), ".#######..");
    EXPECT_EQ(row(image, 6, 18, 28), ".##...##..");
    EXPECT_EQ(row(image, 9, 18, 28), ".#######..");
    EXPECT_EQ(row(image, 10, 18, 28), "..........");
    EXPECT_EQ(row(image, 12, 0, 8), ".#####..");
    EXPECT_EQ(column(image, 5, 11, 18), ".####.."); // the polyline's last point is not drawn
}

TEST(DeviceContext, RasterOperationsCombineWithThePage)
{
    QImage image = whitePage(8, 8);
    QImage checker(2, 2, QImage::Format_RGB32);
    checker.setPixel(0, 0, kBlack);
    checker.setPixel(1, 0, kWhite);
    checker.setPixel(0, 1, kWhite);
    checker.setPixel(1, 1, kBlack);
    {
        CDeviceContext dc(image);
        dc.FillSolidRect({0, 0, 8, 4}, kBlack);
        dc.SelectBrush({false, qRgb(229, 229, 229)});
        EXPECT_TRUE(dc.PatBlt({0, 2, 8, 6}, PATAND)); // grey over white, black stays black
        EXPECT_FALSE(dc.PatBlt({0, 0, 1, 1}, 0x12345678));
        EXPECT_TRUE(dc.StretchBlt({4, 4, 8, 8}, checker, SRCAND));
        EXPECT_FALSE(dc.StretchBlt({0, 0, 8, 8}, QImage(), SRCAND));
    }
    EXPECT_EQ(image.pixel(0, 2), kBlack);
    EXPECT_EQ(image.pixel(0, 4), qRgb(229, 229, 229));
    EXPECT_EQ(image.pixel(0, 7), kWhite);
    // Stretched twice: black squares of 2 x 2 where the image is black, the page kept where white.
    EXPECT_EQ(image.pixel(4, 4), kBlack);
    EXPECT_EQ(image.pixel(5, 5), kBlack);
    EXPECT_EQ(image.pixel(6, 4), qRgb(229, 229, 229));
    EXPECT_EQ(image.pixel(7, 7), kBlack);
    EXPECT_EQ(image.pixel(4, 6), kWhite);
}

TEST(DeviceContext, TextWrapsAtWordsInTheSelectedFont)
{
    QImage wide = whitePage(400, 80), narrow = whitePage(400, 80);
    LOGFONTA font{};
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    font.lfHeight = 20;
    for (auto* image : {&wide, &narrow}) {
        CDeviceContext dc(*image);
        dc.SelectFont(font);
        dc.DrawText("word word", {0, 0, image == &wide ? 400 : 60, 80}, DT_WORDBREAK | DT_NOPREFIX);
    }
    auto inkRows = [](const QImage& image) {
        int last = -1;
        for (int y = 0; y < image.height(); ++y)
            if (row(image, y, 0, image.width()).find('#') != std::string::npos)
                last = y;
        return last;
    };
    EXPECT_GT(inkRows(wide), 5);
    EXPECT_LT(inkRows(wide), 20);
    EXPECT_GT(inkRows(narrow), 20); // the second word went to a second line
}

} // namespace
