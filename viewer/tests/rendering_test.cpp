// Page rendering against per-pixel references of its mappings: turns, reductions, inversion,
// palette and drawing, on random pages.
#include "imaging/page_qimage.h"
#include "viewer/page_rendering.h"

#include <QtGui/QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

namespace {

using namespace viewer;

// A random bilevel page in the viewer's form (colour 0 white, 1 black).
QImage randomMono(int w, int h, unsigned seed, int blackPercent = 50)
{
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, static_cast<int>(random() % 100) < blackPercent ? 1 : 0);
    return image;
}

// The index of every pixel, 1-bit and 8-bit alike.
int at(const QImage& image, int x, int y)
{
    return image.format() == QImage::Format_Mono ? image.pixelIndex(x, y) : image.constScanLine(y)[x];
}

// The turn each angle must give, pixel by pixel.
void expectTurned(const QImage& source, const QImage& turned, int degrees)
{
    const int w = source.width(), h = source.height();
    ASSERT_EQ(turned.size(), degrees == 180 ? source.size() : QSize(h, w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int tx = degrees == 90 ? y : degrees == 270 ? h - 1 - y : w - 1 - x;
            const int ty = degrees == 90 ? w - 1 - x : degrees == 270 ? x : h - 1 - y;
            ASSERT_EQ(at(turned, tx, ty), at(source, x, y)) << degrees << " at " << x << "," << y;
        }
}

TEST(Rendering, TurnsFollowTheMappingAndUndoEachOther)
{
    const QSize sizes[] = {{1, 1}, {7, 9}, {13, 21}, {9, 7}, {16, 8}, {1728, 2290}};
    unsigned seed = 1;
    for (const QSize size : sizes) {
        const QImage page = randomMono(size.width(), size.height(), seed++);
        for (const int degrees : {90, 180, 270}) {
            CDisplayImage image;
            image.SetFromBitmap(page);
            ASSERT_TRUE(image.Rotate(degrees));
            expectTurned(page, image.Bitmap(), degrees);
        }
        // The same page as the document holds it, its rows packed closer than a new image's.
        const CPageImage held(qelta::imaging::pageOfImage(page, 200));
        for (const int degrees : {90, 180, 270}) {
            CDisplayImage image;
            image.SetFromBitmap(held.Bitmap());
            ASSERT_TRUE(image.Rotate(degrees));
            expectTurned(page, image.Bitmap(), degrees);
        }
        CDisplayImage back;
        back.SetFromBitmap(page);
        ASSERT_TRUE(back.Rotate(90));
        ASSERT_TRUE(back.Rotate(270));
        EXPECT_EQ(back.Bitmap(), page) << size.width() << "x" << size.height();
        ASSERT_TRUE(back.Rotate(180));
        ASSERT_TRUE(back.Rotate(180));
        EXPECT_EQ(back.Bitmap(), page);
        EXPECT_TRUE(back.Rotate(360));
        EXPECT_EQ(back.Bitmap(), page);
    }
}

TEST(Rendering, EightBitImagesTurnPixelByPixel)
{
    for (const QSize size : {QSize(14, 18), QSize(26, 42), QSize(64, 30)}) {
        CDisplayImage image;
        image.SetFromBitmap(randomMono(size.width(), size.height(), 7));
        ASSERT_TRUE(image.ReduceByStep(2, true));
        const QImage grey = image.Bits();
        ASSERT_EQ(grey.format(), QImage::Format_Indexed8);
        for (const int degrees : {90, 180, 270}) {
            CDisplayImage turned;
            turned.SetFromBitmap(randomMono(size.width(), size.height(), 7));
            ASSERT_TRUE(turned.ReduceByStep(2, true));
            ASSERT_TRUE(turned.Rotate(degrees));
            expectTurned(grey, turned.Bits(), degrees);
        }
        ASSERT_TRUE(image.Rotate(90));
        ASSERT_TRUE(image.Rotate(270));
        EXPECT_EQ(image.Bits(), grey);
    }
}

TEST(Rendering, GreyReductionsCountSetBits)
{
    const QImage page = randomMono(61, 45, 3, 30);
    for (const int step : {2, 4, 8}) {
        CDisplayImage image;
        image.SetFromBitmap(page);
        ASSERT_TRUE(image.ReduceByStep(step, true));
        const QImage& bits = image.Bits();
        ASSERT_EQ(bits.size(), QSize(61 / step, 45 / step));
        for (int y = 0; y < bits.height(); ++y)
            for (int x = 0; x < bits.width(); ++x) {
                int count = 0;
                for (int r = 0; r < step; ++r)
                    for (int c = 0; c < step; ++c)
                        count += page.pixelIndex(x * step + c, y * step + r);
                ASSERT_EQ(at(bits, x, y), count * 64 / (step * step)) << step;
            }
        // The page's set bits are black: more of them shows darker.
        EXPECT_EQ(image.IndexTable()[0], 64);
        EXPECT_EQ(image.IndexTable()[64], 0);
    }
}

TEST(Rendering, PlainReductionsKeepEveryStepthPixel)
{
    const QImage page = randomMono(50, 37, 4);
    CDisplayImage image;
    image.SetFromBitmap(page);
    ASSERT_TRUE(image.ReduceByStep(4, false));
    ASSERT_TRUE(image.HasBitmap());
    for (int y = 0; y < 37 / 4; ++y)
        for (int x = 0; x < 50 / 4; ++x)
            ASSERT_EQ(image.Bitmap().pixelIndex(x, y), page.pixelIndex(4 * x, 4 * y));
}

TEST(Rendering, AreaAveragesMatchNaiveSpans)
{
    const QImage page = randomMono(1728, 300, 5, 20);
    CDisplayImage image;
    image.SetFromBitmap(page);
    ASSERT_TRUE(image.ReduceToSize(600, 107, true));
    const QImage& bits = image.Bits();
    ASSERT_EQ(bits.size(), QSize(600, 107));
    for (int y = 0; y < 107; y += 5)
        for (int x = 0; x < 600; ++x) {
            const int x0 = x * 1728 / 600, x1 = (x + 1) * 1728 / 600, y0 = y * 300 / 107, y1 = (y + 1) * 300 / 107;
            int count = 0;
            for (int r = y0; r < y1; ++r)
                for (int c = x0; c < x1; ++c)
                    count += page.pixelIndex(c, r);
            ASSERT_EQ(at(bits, x, y), count * 64 / ((x1 - x0) * (y1 - y0))) << x << "," << y;
        }
    // A target not smaller than the source fails and leaves the image.
    CDisplayImage same;
    same.SetFromBitmap(page);
    EXPECT_FALSE(same.ReduceToSize(1728, 100, true));
    EXPECT_TRUE(same.HasBitmap());
    EXPECT_TRUE(same.ReduceToSize(0, 100, true)) << "a zero size does nothing";
    EXPECT_EQ(same.Bitmap(), page);
}

TEST(Rendering, AllWhitePagesGiveTheWhiteLevel)
{
    // Bits whose set bits are white (colour 1 white) count up to 64; the viewer's pages (set bits
    // black) count 0 and show white through the reversed index table.
    struct Case {
        QList<QRgb> colours;
        int fill;
        int value;
        int shown;
    } cases[] = {
        {{qRgb(0, 0, 0), qRgb(255, 255, 255)}, 1, 64, 64},
        {{qRgb(255, 255, 255), qRgb(0, 0, 0)}, 0, 0, 64},
    };
    for (const Case& c : cases)
        for (const int step : {2, 4, 8}) {
            QImage page(32, 24, QImage::Format_Mono);
            page.setColorTable(c.colours);
            page.fill(c.fill);
            CDisplayImage image;
            image.SetFromBitmap(page);
            ASSERT_TRUE(image.ReduceByStep(step, true));
            for (int y = 0; y < image.Height(); ++y)
                for (int x = 0; x < image.Width(); ++x) {
                    ASSERT_EQ(at(image.Bits(), x, y), c.value);
                    ASSERT_EQ(image.IndexTable()[static_cast<size_t>(c.value)], c.shown);
                }
        }
}

TEST(Rendering, InvertingTwiceRestoresBothForms)
{
    const QImage page = randomMono(33, 17, 9);
    CDisplayImage bitmap;
    bitmap.SetFromBitmap(page);
    bitmap.Invert();
    EXPECT_NE(bitmap.Bitmap(), page);
    EXPECT_EQ(bitmap.Bitmap().pixelIndex(3, 4), 1 - page.pixelIndex(3, 4));
    bitmap.Invert();
    EXPECT_EQ(bitmap.Bitmap(), page);

    for (const bool grey : {false, true}) {
        CDisplayImage bits;
        bits.SetFromBitmap(page);
        if (grey) {
            ASSERT_TRUE(bits.ReduceByStep(2, true));
        } else {
            ASSERT_TRUE(bits.ToBits());
        }
        const auto table = bits.IndexTable();
        bits.Invert();
        EXPECT_EQ(bits.IndexTable()[0], table[grey ? 64 : 1]);
        EXPECT_EQ(bits.IndexTable()[32], table[32]);
        bits.Invert();
        EXPECT_EQ(bits.IndexTable(), table);
    }
}

TEST(Rendering, TooSmallReductionsFailUnchanged)
{
    const QImage page = randomMono(7, 9, 2);
    for (const bool grey : {false, true}) {
        CDisplayImage image;
        image.SetFromBitmap(page);
        EXPECT_FALSE(image.ReduceByStep(8, grey));
        EXPECT_TRUE(image.HasBitmap());
        EXPECT_FALSE(image.HasBits());
        EXPECT_EQ(image.Bitmap(), page);
    }
    CDisplayImage empty;
    EXPECT_FALSE(empty.Rotate(90));
    EXPECT_FALSE(empty.ReduceByStep(2, true));
    EXPECT_FALSE(empty.ToBits());
}

TEST(Rendering, PaletteAndColourIndexes)
{
    const auto& palette = ViewPalette();
    EXPECT_EQ(palette[1], qRgb(3, 3, 3));
    EXPECT_EQ(palette[2], qRgb(7, 7, 7));
    EXPECT_EQ(palette[63], qRgb(251, 251, 251));
    EXPECT_EQ(palette[64], qRgb(255, 255, 255));
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(PaletteIndexOfColour(AnnotationColours()[i]), 65 + static_cast<int>(i));
        EXPECT_EQ(palette[65 + i], RgbOfColorref(AnnotationColours()[i]));
    }
    EXPECT_EQ(PaletteIndexOfColour(0x123456), 65);
    EXPECT_EQ(RgbOfColorref(0x0000FF), qRgb(255, 0, 0));

    // The page's white drawn in an unlisted colour shows black; its black stays black.
    QImage page(16, 16, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
    page.setPixel(0, 0, 1);
    CDisplayImage image;
    image.SetFromBitmap(page);
    ASSERT_TRUE(image.ToBits());
    for (const auto& [colour, shown] : {std::pair<uint32_t, QRgb>{0x123456, qRgb(0, 0, 0)},
                                        std::pair<uint32_t, QRgb>{0x0000FF, qRgb(255, 0, 0)}}) {
        QImage target(16, 16, QImage::Format_RGB32);
        target.fill(Qt::green);
        QPainter painter(&target);
        ASSERT_TRUE(image.DrawRegionInColour(painter, 0, 0, 16, 16, 16, 16, colour, false));
        painter.end();
        EXPECT_EQ(target.pixel(5, 5), shown);
        EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 0));
    }
    CDisplayImage noBits;
    noBits.SetFromBitmap(page);
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter painter(&target);
    EXPECT_FALSE(noBits.DrawRegion(painter, 0, 0, 4, 4, 16, 16));
    EXPECT_FALSE(image.DrawRegion(painter, 0, 0, 0, 4, 16, 16));
}

// Draws the image into a fresh target, clipped or not, through a painter translated by -scroll
// as the scrolled views do (the clip given in the painter's coordinates).
QImage drawn(CDisplayImage& image, QSize target, QRect rect, std::optional<QRect> clip, QPoint scroll = {})
{
    QImage out(target, QImage::Format_RGB32);
    out.fill(Qt::green);
    QPainter painter(&out);
    painter.translate(-scroll);
    if (clip)
        painter.setClipRect(*clip);
    image.Draw(painter, rect.x(), rect.y(), rect.width(), rect.height());
    return out;
}

// Every drawing path: whole multiples, bands, one stretch, the cached reduction, grey bits.
struct DrawCase {
    const char* name;
    QSize image;
    QRect rect;
    bool grey;
};
constexpr DrawCase kDrawCases[] = {
    {"whole multiples", {50, 40}, {3, 5, 200, 160}, false},
    {"bands", {100, 100}, {0, 0, 350, 331}, false},
    {"one stretch", {100, 100}, {2, 2, 150, 151}, false},
    {"smaller, cached", {100, 100}, {1, 1, 60, 70}, false},
    {"bits in bands", {64, 64}, {0, 0, 200, 500}, true},
    {"bits at multiples", {64, 64}, {0, 0, 64, 128}, true},
    {"200 %", {100, 100}, {0, 0, 200, 200}, false},
};

void prepare(CDisplayImage& image, const DrawCase& c)
{
    image.SetFromBitmap(randomMono(c.grey ? c.image.width() * 2 : c.image.width(),
                                   c.grey ? c.image.height() * 2 : c.image.height(), 11));
    if (c.grey) {
        ASSERT_TRUE(image.ReduceByStep(2, true));
    }
}

TEST(Rendering, ClippedDrawingsEqualTheFullOneInsideTheClip)
{
    const QRect clips[] = {{10, 20, 37, 51}, {0, 0, 5, 5}, {90, 100, 200, 300}};
    for (const DrawCase& c : kDrawCases) {
        CDisplayImage image;
        prepare(image, c);
        const QSize target(400, 520);
        const QImage full = drawn(image, target, c.rect, std::nullopt);
        for (const QRect& clip : clips) {
            const QImage part = drawn(image, target, c.rect, clip);
            for (int y = 0; y < target.height(); ++y)
                for (int x = 0; x < target.width(); ++x)
                    ASSERT_EQ(part.pixel(x, y), clip.contains(x, y) ? full.pixel(x, y) : qRgb(0, 255, 0))
                        << c.name << " at " << x << "," << y;
        }
    }
    // At whole multiples every target pixel shows its source pixel.
    CDisplayImage image;
    const QImage page = randomMono(50, 40, 12);
    image.SetFromBitmap(page);
    const QImage full = drawn(image, {400, 520}, {3, 5, 200, 160}, std::nullopt);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(full.pixel(3 + x, 5 + y), page.pixelIndex(x / 4, y / 4) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
}

// A scrolled view's painter is translated: the device then shows the drawing's part at the scroll
// position, however far it lies from the drawing's top-left corner, clipped or not.
TEST(Rendering, TranslatedPaintersShowThePartAtTheirScrollPosition)
{
    const QPoint scrolls[] = {{0, 0}, {30, 30}, {60, 60}, {99, 99}, {0, 250}, {150, 333}, {300, 420}};
    const QSize device(100, 100);
    for (const DrawCase& c : kDrawCases) {
        CDisplayImage image;
        prepare(image, c);
        const QImage full = drawn(image, {400, 520}, c.rect, std::nullopt);
        for (const QPoint& scroll : scrolls) {
            const std::optional<QRect> clips[] = {std::nullopt, QRect(scroll + QPoint(10, 20), QSize(50, 30))};
            for (const std::optional<QRect>& clip : clips) {
                const QImage part = drawn(image, device, c.rect, clip, scroll);
                for (int y = 0; y < device.height(); ++y)
                    for (int x = 0; x < device.width(); ++x) {
                        const QPoint at = QPoint(x, y) + scroll;
                        ASSERT_EQ(part.pixel(x, y), !clip || clip->contains(at) ? full.pixel(at) : qRgb(0, 255, 0))
                            << c.name << " scrolled to " << scroll.x() << "," << scroll.y()
                            << (clip ? ", clipped" : "") << " at " << x << "," << y;
                    }
            }
        }
    }
}

// On a scaled screen (a device pixel ratio above 1) and through a stretching painter the page is
// made at the device's own pixels: the device shows what an unscaled one shows for the rectangle
// that the drawing covers there, pixel for pixel, scrolled or not.
TEST(Rendering, ScaledScreensAndStretchedPaintersGetTheDevicesOwnPixels)
{
    const struct {
        double ratio, across, down; // device pixel ratio; the painter's scale
    } scalings[] = {{2, 1, 1}, {3, 1, 1}, {1, 1, 204.0 / 98}, {2, 204.0 / 98, 1}};
    const QPoint scroll(7, 9);
    for (const DrawCase& c : kDrawCases)
        for (const auto& k : scalings) {
            CDisplayImage image;
            prepare(image, c);
            const QSize device(static_cast<int>(400 * k.ratio), static_cast<int>(520 * k.ratio));
            QImage scaled(device, QImage::Format_RGB32);
            scaled.fill(Qt::green);
            scaled.setDevicePixelRatio(k.ratio);
            {
                QPainter painter(&scaled);
                painter.translate(-scroll);
                painter.scale(k.across, k.down);
                image.Draw(painter, c.rect.x(), c.rect.y(), c.rect.width(), c.rect.height());
            }
            // The rectangle in device pixels, each edge rounded.
            const auto edge = [](double at) { return static_cast<int>(std::lround(at)); };
            const double sx = k.ratio * k.across, sy = k.ratio * k.down;
            const QRect expected(QPoint(edge(c.rect.x() * sx - scroll.x() * k.ratio),
                                        edge(c.rect.y() * sy - scroll.y() * k.ratio)),
                                 QPoint(edge((c.rect.x() + c.rect.width()) * sx - scroll.x() * k.ratio) - 1,
                                        edge((c.rect.y() + c.rect.height()) * sy - scroll.y() * k.ratio) - 1));
            CDisplayImage again;
            prepare(again, c);
            const QImage plain = drawn(again, device, expected, std::nullopt);
            const QString name = QString("%1 at %2, scaled %3 x %4")
                                     .arg(c.name).arg(k.ratio).arg(k.across).arg(k.down);
            for (int y = 0; y < device.height(); ++y)
                for (int x = 0; x < device.width(); ++x)
                    ASSERT_EQ(scaled.pixel(x, y), plain.pixel(x, y)) << name.toStdString() << " at " << x << "," << y;
        }
}

TEST(Rendering, PagesShareTheirPixelsWithTheirBitmaps)
{
    const QImage picture = randomMono(45, 30, 13);
    CPageImage page(qelta::imaging::pageOfImage(picture, 200));
    ASSERT_EQ(page.Width(), 45);
    ASSERT_EQ(page.Height(), 30);
    const QImage a = page.Bitmap(), b = page.Bitmap();
    EXPECT_EQ(a.constBits(), b.constBits()) << "both share the page's pixels";
    EXPECT_EQ(a, picture);
    QImage changed = a;
    changed.setPixel(0, 0, 1 - changed.pixelIndex(0, 0));
    EXPECT_EQ(page.Bitmap(), picture) << "a change copies, the page stays";

    // A picture of any other kind becomes black below half brightness.
    QImage colour(4, 1, QImage::Format_RGB32);
    const QRgb pixels[] = {qRgb(0, 0, 0), qRgb(127, 127, 127), qRgb(128, 128, 128), qRgb(255, 255, 255)};
    for (int x = 0; x < 4; ++x)
        colour.setPixel(x, 0, pixels[x]);
    CPageImage converted(qelta::imaging::pageOfImage(colour));
    const QImage bits = converted.Bitmap();
    EXPECT_EQ(bits.pixelIndex(0, 0), 1);
    EXPECT_EQ(bits.pixelIndex(1, 0), 1);
    EXPECT_EQ(bits.pixelIndex(2, 0), 0);
    EXPECT_EQ(bits.pixelIndex(3, 0), 0);
    CPageImage empty(0);
    EXPECT_EQ(empty.Width(), 1);
    EXPECT_EQ(empty.Bitmap().pixelIndex(0, 0), 0);
}

} // namespace
