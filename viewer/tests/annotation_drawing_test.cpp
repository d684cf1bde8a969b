// Annotation drawing by its pixels: burning into 1-bit pages (colours, turns, the patch memo's
// frame, even text heights), a burnt page saved and read back, drawing on screen over a page, the
// bitmap turns at every depth and the print helpers.
#include "imaging/page_qimage.h"
#include "imaging/pagefilelib.h"
#include "imaging/tests/tiff_pages_support.h"
#include "viewer/annotation_drawing.h"
#include "viewer/page_file_access.h"
#include "viewer/page_rendering.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

using namespace viewer;

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000;

QImage whitePage(int w, int h, bool black = false)
{
    QImage page(w, h, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(black ? 1 : 0);
    return page;
}

CAnnotationItem itemOf(int kind, uint32_t colour, gdi::RECT rect, std::string text = {})
{
    CAnnotationItem item;
    item.kind = kind;
    item.colour = colour;
    item.background = kColourWhite;
    item.width = 3;
    item.rect = rect;
    item.x1 = rect.left, item.y1 = rect.top, item.x2 = rect.right, item.y2 = rect.bottom;
    item.points = {{rect.left, rect.top}, {rect.right, rect.bottom}, {rect.left, rect.bottom}};
    item.text = std::move(text);
    item.font.lfHeight = -29; // 60 page pixels at 96 dpi
    std::strcpy(item.font.lfFaceName, "DejaVu Sans");
    return item;
}

CAnnotationList listOf(std::vector<CAnnotationItem> items)
{
    CAnnotationList list;
    for (CAnnotationItem& item : items)
        list.push_back(std::make_unique<CAnnotationItem>(std::move(item)));
    return list;
}

// Black pixels of a 1-bit page inside a rectangle.
int blackIn(const QImage& page, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += page.pixelIndex(x, y);
    return count;
}

TEST(AnnotationBurn, ColoursBurnBlackButWhiteBurnsWhiteOnBlack)
{
    const gdi::RECT r{20, 20, 180, 100};
    const QRect inside(20, 20, 160, 80);
    struct Case {
        int kind;
        uint32_t colour;
        bool blackPage;
        int black; // black pixels inside: -1 some but not all
    } cases[] = {
        {kAnnotPaintRectangle, kRed, false, 160 * 80},
        {kAnnotPaintRectangle, kBlue, false, 160 * 80},
        {kAnnotPaintRectangle, kColourWhite, true, 0},
        {kAnnotText, kRed, false, -1},
        {kAnnotText, kColourWhite, false, -1},
        {kAnnotMarker, kRed, false, -1},
        {kAnnotMarker, kColourWhite, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " colour " << std::hex << c.colour);
        QImage page = whitePage(200, 120, c.blackPage);
        const QImage before = page.copy();
        CAnnotationItem item = itemOf(c.kind, c.colour, r, "WWW WWW");
        item.page = 1;
        auto items = listOf({itemOf(kAnnotPaintRectangle, 0, {0, 0, 200, 120}), item});
        ASSERT_TRUE(BurnInAnnotations(page, items, 1, 96));
        const int black = blackIn(page, inside);
        if (c.black >= 0) {
            EXPECT_EQ(black, c.black);
        } else {
            EXPECT_GT(black, 0);
            EXPECT_LT(black, 160 * 80);
        }
        // Page 0's item and everything outside the rectangle stay as they were.
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x)
                if (!inside.contains(x, y)) {
                    ASSERT_EQ(page.pixelIndex(x, y), before.pixelIndex(x, y)) << x << "," << y;
                }
    }
    // The white text is the red one's negative within its box; the white marker the red one's.
    for (const int kind : {kAnnotText, kAnnotMarker}) {
        QImage red = whitePage(200, 120), white = whitePage(200, 120);
        BurnInAnnotations(red, listOf({itemOf(kind, kRed, r, "WWW WWW")}), 0, 96);
        BurnInAnnotations(white, listOf({itemOf(kind, kColourWhite, r, "WWW WWW")}), 0, 96);
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                ASSERT_NE(red.pixelIndex(x, y), white.pixelIndex(x, y)) << kind << " at " << x << "," << y;
    }
    // The marker's cross hatch runs diagonally from the rectangle's corner every 8 pixels.
    QImage hatched = whitePage(200, 120);
    BurnInAnnotations(hatched, listOf({itemOf(kAnnotMarker, kRed, r)}), 0, 96);
    const std::pair<int, int> hatch[] = {{0, 0}, {7, 0}, {1, 1}, {6, 1}, {3, 4}, {4, 4}, {8, 8}, {15, 8}};
    for (const auto& [x, y] : hatch)
        EXPECT_EQ(hatched.pixelIndex(20 + x, 20 + y), 1) << x << "," << y;
    EXPECT_EQ(blackIn(hatched, QRect(20, 20, 8, 8)), 16);
    QImage page = whitePage(50, 50);
    EXPECT_FALSE(BurnInAnnotations(page, listOf({itemOf(kAnnotPaintRectangle, 0, r)}), 3, 96));
    EXPECT_FALSE(BurnInAnnotations(page, listOf({itemOf(11, 0, r)}), 0, 96));
}

TEST(AnnotationBurn, PicturesHoldTheItemAtTheirCorner)
{
    // The clipboard picture: the rectangle's size, the item burnt with its corner at (0, 0) on the
    // background its colour asks for.
    CAnnotationItem freehand = itemOf(kAnnotFreehand, kRed, {100, 50, 140, 90});
    freehand.points = {{100, 50}, {139, 50}, {139, 89}};
    freehand.width = 1;
    struct Case {
        CAnnotationItem item;
        int black; // -1: the stroke's pixels only
    } cases[] = {
        {itemOf(kAnnotPaintRectangle, kRed, {100, 50, 140, 90}), 40 * 40},
        {itemOf(kAnnotPaintRectangle, kColourWhite, {100, 50, 140, 90}), 0},
        {itemOf(kAnnotText, kColourWhite, {100, 50, 140, 91}), 40 * 40}, // the odd row keeps the black background
        {freehand, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.kind);
        const QImage picture = AnnotationPicture(c.item, 96);
        ASSERT_EQ(picture.size(), QSize(40, c.item.rect.bottom - 50));
        ASSERT_EQ(picture.format(), QImage::Format_Mono);
        if (c.black >= 0) {
            EXPECT_EQ(blackIn(picture, QRect(0, 0, 40, 40)), c.black);
            continue;
        }
        EXPECT_EQ(blackIn(picture, picture.rect()), 39 + 39);
        EXPECT_EQ(picture.pixelIndex(0, 0), 1);
        EXPECT_EQ(picture.pixelIndex(39, 38), 1);
        EXPECT_EQ(picture.pixelIndex(39, 39), 0);
    }
    EXPECT_TRUE(AnnotationPicture(itemOf(kAnnotText, kRed, {5, 5, 5, 40}), 96).isNull());
    EXPECT_TRUE(AnnotationPicture(itemOf(11, kRed, {5, 5, 50, 40}), 96).isNull());
}

TEST(AnnotationBurn, TurnedItemsBurnAsTheTurnedPage)
{
    // An item written at rotation o burns as the same item drawn upright on the page in that
    // orientation, the page then turned back.
    const QSize upright(300, 200);
    const gdi::RECT r{31, 17, 181, 120}; // odd height: the turned side loses its pixel
    for (const int orientation : {1, 2, 3}) {
        for (const int kind : {kAnnotText, kAnnotPatchMemo, kAnnotStamp, kAnnotPaintRectangle}) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation << " kind " << kind);
            const auto [ow, oh] = SizeInOrientation(upright.width(), upright.height(), orientation);
            CAnnotationItem item = itemOf(kind, kColourWhite, r, "Qelta memo text\nwraps");
            item.background = kBlue;
            QImage drawn = whitePage(ow, oh);
            ASSERT_TRUE(BurnInAnnotations(drawn, listOf({item}), 0, 96));
            item.orientation = orientation;
            item.pageWidth = ow;
            item.pageHeight = oh;
            QImage page = whitePage(upright.width(), upright.height());
            ASSERT_TRUE(BurnInAnnotations(page, listOf({item}), 0, 96));
            const QImage expected = orientation == 1   ? TurnMonoClockwise(drawn)
                                    : orientation == 2 ? TurnMonoHalf(drawn)
                                                       : TurnMonoCounterClockwise(drawn);
            ASSERT_EQ(page, expected);
        }
    }
}

TEST(AnnotationBurn, PatchMemoFrameAndShadowAtEveryZoom)
{
    // A memo of an empty text: the 1-pixel frame around the box (the rectangle less 2N on the right
    // and bottom) and the 2N shadow starting 3N from the box's ends; N is 1 when burnt, whatever the
    // zoom, and max(1, trunc(zoom)) on screen.
    const gdi::RECT r{10, 10, 60, 50};
    CAnnotationItem memo = itemOf(kAnnotPatchMemo, 0, r);
    memo.background = kColourWhite;
    QImage burnt = whitePage(80, 70);
    ASSERT_TRUE(BurnInAnnotations(burnt, listOf({memo}), 0, 96));
    auto at = [&](const QImage& image, int x, int y) {
        return image.format() == QImage::Format_Mono ? image.pixelIndex(x, y) == 1 : qGray(image.pixel(x, y)) < 128;
    };
    struct Probe {
        int x, y;
        bool black;
    };
    struct Case {
        double zoom; // 0: burnt
        std::vector<Probe> probes;
    } cases[] = {
        {0, {{10, 10, true}, {57, 10, true}, {58, 10, true}, {58, 47, true}, {10, 48, true}, {11, 11, false},
             {57, 11, false}, {58, 11, true}, {59, 12, false}, {59, 13, true}, {60, 13, true}, {61, 13, false},
             {60, 49, true}, {13, 49, false}, {14, 49, true}, {14, 50, true}, {14, 51, false}, {30, 30, false}}},
        {1, {{10, 10, true}, {58, 10, true}, {11, 11, false}, {59, 12, false}, {59, 13, true}, {60, 13, true},
             {13, 49, false}, {14, 50, true}}},
        {2, {{20, 20, true}, {21, 21, true}, {22, 22, false}, {116, 20, true}, {115, 21, true}, {117, 25, false},
             {117, 26, true}, {120, 26, true}, {121, 26, false}, {117, 97, true}, {26, 98, false}, {27, 98, true}}},
        {3.5, {{35, 35, true}, {37, 37, true}, {38, 38, false}, {202, 50, true}, {204, 50, true}, {205, 43, false},
               {205, 44, true}, {210, 44, true}, {211, 44, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "zoom " << c.zoom);
        QImage screen(260, 220, QImage::Format_RGB32);
        screen.fill(Qt::white);
        if (c.zoom > 0) {
            QPainter painter(&screen);
            CScreenFrame frame;
            frame.zoom = c.zoom;
            frame.pageWidth = 80;
            frame.pageHeight = 70;
            DrawAnnotationsOnScreen(painter, listOf({memo}), 0, -1, frame, screen.rect());
        }
        const QImage& image = c.zoom > 0 ? screen : burnt;
        for (const Probe& p : c.probes)
            EXPECT_EQ(at(image, p.x, p.y), p.black) << p.x << "," << p.y;
    }
}

TEST(AnnotationBurn, OddTextHeightsLoseTheirLastRow)
{
    // A white text 101 pixels high burns a black box 100 high; turned, the pixel goes from the side
    // the item's bottom turns to.
    struct Case {
        int orientation;
        QRect box; // the black box on the upright 200 x 300 page
    } cases[] = {
        {0, QRect(20, 30, 50, 100)},
        {1, QRect(70, 20, 100, 50)}, // 90: the item's bottom is the page's left
        {2, QRect(130, 170, 50, 100)},
        {3, QRect(30, 230, 100, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        CAnnotationItem item = itemOf(kAnnotText, kColourWhite, {20, 30, 70, 131});
        item.orientation = c.orientation;
        QImage page = whitePage(200, 300);
        ASSERT_TRUE(BurnInAnnotations(page, listOf({item}), 0, 96));
        EXPECT_EQ(blackIn(page, page.rect()), c.box.width() * c.box.height());
        EXPECT_EQ(blackIn(page, c.box), c.box.width() * c.box.height());
    }
    // On screen at 100 %, over a white window, without a page region: the box is 100 rows.
    QImage screen(200, 200, QImage::Format_RGB32);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        CScreenFrame frame;
        frame.pageWidth = frame.pageHeight = 200;
        frame.invert = true; // the fill is black
        DrawAnnotationsOnScreen(painter, listOf({itemOf(kAnnotText, kColourWhite, {20, 30, 70, 131})}), 0, -1, frame,
                                screen.rect());
    }
    EXPECT_EQ(screen.pixel(20, 129), qRgb(0, 0, 0));
    EXPECT_EQ(screen.pixel(20, 130), qRgb(255, 255, 255));
}

TEST(AnnotationBurn, SavedPageReadsBackWithTheAnnotations)
{
    const std::string path = ::testing::TempDir() + "/annotated-page.tif";
    QImage page = whitePage(432, 300);
    auto items = listOf({itemOf(kAnnotText, kRed, {10, 10, 400, 90}, "Received with thanks"),
                         itemOf(kAnnotPatchMemo, kBlue, {30, 120, 300, 280}, "Call back"),
                         itemOf(kAnnotLine, kRed, {5, 290, 420, 295}), itemOf(kAnnotMarker, kRed, {300, 100, 420, 200})});
    ASSERT_TRUE(BurnInAnnotations(page, items, 0, 96));
    ASSERT_GT(blackIn(page, page.rect()), 1000);
    const IKHANDLE handle = qelta::imaging::pageOfImage(page, 200);
    ASSERT_NE(handle, 0);
    bool busy = false;
    ASSERT_EQ(WritePages({handle}, path, PF_TYPE_TIFF, PF_COMPRESSION_G3_MR, 0, 0, busy), PF_OK);
    IKFreeMemory(handle);
    CPageImageArray read;
    ASSERT_EQ(ReadPages(path, read, PF_TYPE_TIFF, 0, 1, 0, 0, busy), PF_OK);
    ASSERT_EQ(read.size(), 1u);
    const QImage back = read[0]->Bitmap();
    ASSERT_EQ(back.size(), page.size());
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            ASSERT_EQ(back.pixelIndex(x, y), page.pixelIndex(x, y)) << x << "," << y;
    std::remove(path.c_str());
}

TEST(AnnotationScreen, MarkersTextsAndHandlesOverThePage)
{
    // A 100 x 100 page, its left half black, shown at 200 % from bits (so the page is drawn under
    // markers and texts) and from a bitmap (markers multiply their colour over the window).
    QImage pageImage = whitePage(100, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 50; ++x)
            pageImage.setPixel(x, y, 1);
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    auto paint = itemOf(kAnnotPaintRectangle, kBlue, {40, 40, 60, 60});
    auto marker = itemOf(kAnnotMarker, kRed, {30, 30, 70, 70});
    auto stamp = itemOf(kAnnotStamp, kRed, {0, 80, 100, 100}, "");
    auto far = itemOf(kAnnotPaintRectangle, kBlue, {90, 0, 100, 10});
    struct Probe {
        int x, y;
        QRgb colour;
    };
    struct Case {
        bool bits;
        QRect area;
        int selected;
        std::vector<Probe> probes;
    } cases[] = {
        // The marker shows the page's white in red, its black as black, and the paint rectangle
        // below it (markers leave out only other markers); the stamp shows the page under it.
        {true, QRect(0, 0, 200, 200), -1,
         {{62, 62, black}, {138, 62, red}, {100, 100, blue}, {20, 180, black}, {180, 180, white}, {190, 10, blue}}},
        // Without bits: the marker's colour combined with what the window holds.
        {false, QRect(0, 0, 200, 200), -1, {{62, 62, black}, {138, 62, red}, {100, 100, black}, {180, 180, white}}},
        // Only what meets the area is drawn.
        {true, QRect(0, 0, 20, 20), -1, {{190, 10, white}, {100, 100, white}}},
        // The selected paint rectangle's handles: black squares, clipped to the page.
        {true, QRect(0, 0, 200, 200), 3,
         {{180, 0, black}, {183, 3, black}, {184, 4, blue}, {176, 0, white}, {199, 3, black}, {200, 3, qRgb(1, 2, 3)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bits " << c.bits << " selected " << c.selected);
        CDisplayImage image;
        image.SetFromBitmap(pageImage.scaled(200, 200).convertToFormat(QImage::Format_Mono, pageImage.colorTable()));
        if (c.bits) {
            ASSERT_TRUE(image.ToBits());
        }
        QImage window(220, 220, QImage::Format_RGB32);
        window.fill(qRgb(1, 2, 3));
        {
            QPainter painter(&window);
            image.Draw(painter, 0, 0, 200, 200);
            CScreenFrame frame;
            frame.zoom = 2;
            frame.pageWidth = frame.pageHeight = 100;
            frame.image = &image;
            frame.displayWidth = frame.displayHeight = 200;
            DrawAnnotationsOnScreen(painter, listOf({paint, marker, stamp, far}), 0, c.selected, frame, c.area);
        }
        for (const Probe& p : c.probes)
            EXPECT_EQ(window.pixel(p.x, p.y) & 0xffffff, p.colour & 0xffffff) << p.x << "," << p.y;
    }
}

TEST(AnnotationScreen, TilesPaintAsTheWhole)
{
    // Repainting a window tile by tile (each tile its own area and clip) gives the whole repaint,
    // for texts written at every rotation and shown at every rotation, memos and markers.
    QImage pageImage = whitePage(120, 90);
    for (int y = 0; y < 90; y += 7)
        for (int x = 0; x < 120; ++x)
            pageImage.setPixel(x, y, 1);
    std::vector<CAnnotationItem> written;
    for (int o = 0; o < 4; ++o) {
        const auto [w, h] = SizeInOrientation(120, 90, o);
        CAnnotationItem text = itemOf(o % 2 ? kAnnotText : kAnnotPatchMemo, kRed, {5, 7, w - 9, h / 2 + 1},
                                      "Tiles paint as the whole window does");
        text.font.lfHeight = -7;
        text.background = 0x00FFFF;
        text.orientation = o;
        text.pageWidth = w, text.pageHeight = h;
        written.push_back(text);
    }
    written.push_back(itemOf(kAnnotMarker, kBlue, {20, 10, 70, 60}));
    written.push_back(itemOf(kAnnotStamp, 0x008000, {30, 30, 100, 75}, "Stamped 12:00"));
    written.back().font.lfHeight = -9;
    const auto items = listOf(written);
    for (int rotation = 0; rotation < 4; ++rotation) {
        SCOPED_TRACE(rotation);
        const auto [w, h] = SizeInOrientation(120, 90, rotation);
        const double zoom = 1.5;
        const int dw = static_cast<int>(w * zoom), dh = static_cast<int>(h * zoom);
        CDisplayImage image;
        image.SetFromBitmap(pageImage.scaled(180, 135).convertToFormat(QImage::Format_Mono, pageImage.colorTable()));
        ASSERT_TRUE(image.Rotate(90 * rotation));
        ASSERT_TRUE(image.ToBits());
        CScreenFrame frame;
        frame.zoom = zoom;
        frame.rotation = rotation;
        frame.pageWidth = w, frame.pageHeight = h;
        frame.image = &image;
        frame.displayWidth = dw, frame.displayHeight = dh;
        auto paint = [&](QImage& window, const QRect& area) {
            QPainter painter(&window);
            painter.setClipRect(area);
            image.Draw(painter, 0, 0, dw, dh);
            DrawAnnotationsOnScreen(painter, items, 0, 4, frame, area);
        };
        QImage whole(dw, dh, QImage::Format_RGB32), tiled(dw, dh, QImage::Format_RGB32);
        paint(whole, whole.rect());
        for (int y = 0; y < dh; y += 23)
            for (int x = 0; x < dw; x += 37)
                paint(tiled, QRect(x, y, 37, 23));
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(tiled.pixel(x, y), whole.pixel(x, y)) << x << "," << y;
    }
}

// ---- turns ----

// Pixel values packed into rows padded to 16 bits; 16- and 24-bit pixels as v, v + 16, v + 32.
CRawBitmap packed(int bpp, int width, const std::vector<int>& values)
{
    CRawBitmap raw;
    raw.bitsPerPixel = bpp;
    raw.width = width;
    raw.height = static_cast<int>(values.size()) / width;
    raw.bits.assign(static_cast<size_t>(raw.RowBytes() * raw.height), 0);
    for (int y = 0; y < raw.height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = values[static_cast<size_t>(y * width + x)];
            uint8_t* row = raw.bits.data() + y * raw.RowBytes();
            if (bpp == 1)
                row[x / 8] |= static_cast<uint8_t>(v << (7 - x % 8));
            else if (bpp == 4)
                row[x / 2] |= static_cast<uint8_t>(v << (x % 2 ? 0 : 4));
            else
                for (int b = 0; b < bpp / 8; ++b)
                    row[x * bpp / 8 + b] = static_cast<uint8_t>(v + 16 * b);
        }
    return raw;
}

TEST(TurnBitmap, EveryDepthFollowsTheMapping)
{
    // 3 x 2, a quarter turn clockwise: the result's top-right pixel is the source's top-left.
    for (const int bpp : {1, 4, 8, 16, 24}) {
        SCOPED_TRACE(bpp);
        const bool bit = bpp == 1;
        const std::vector<int> source = bit ? std::vector<int>{1, 0, 0, 0, 1, 1} : std::vector<int>{1, 2, 3, 4, 5, 6};
        const std::vector<int> turned = bit ? std::vector<int>{0, 1, 1, 0, 1, 0} : std::vector<int>{4, 1, 5, 2, 6, 3};
        const auto result = TurnBitmap(packed(bpp, 3, source), 90);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->width, 2);
        EXPECT_EQ(result->height, 3);
        EXPECT_EQ(result->bits, packed(bpp, 2, turned).bits);
        // Odd sizes at random: four quarter turns, two half turns, and 90 then 270 give the source back.
        std::mt19937 random(static_cast<unsigned>(bpp));
        std::vector<int> values(13 * 7);
        for (int& v : values)
            v = static_cast<int>(random() % (bpp >= 8 ? 200 : 1 << bpp));
        const CRawBitmap start = packed(bpp, 13, values);
        for (const auto& turns : {std::vector<int>{90, 90, 90, 90}, {180, 180}, {90, 270}, {270, 90}}) {
            CRawBitmap at = start;
            for (const int angle : turns)
                at = *TurnBitmap(at, angle);
            EXPECT_EQ(at.bits, start.bits);
            EXPECT_EQ(at.width, 13);
        }
    }
    EXPECT_FALSE(TurnBitmap(packed(32, 1, {1}), 90));
    EXPECT_FALSE(TurnBitmap(CRawBitmap{3, 2, 8, {}}, 90));
    EXPECT_FALSE(TurnBitmap(packed(8, 3, {1, 2, 3}), 45));

    // Images: a 3 x 2 one-bit image, its padding bits set, turned clockwise.
    QImage mono = whitePage(3, 2);
    mono.scanLine(0)[0] = 0x9F; // pixels 1 0 0, then padding
    mono.scanLine(1)[0] = 0x00;
    const QImage turned = TurnBitmap(mono, 90);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    EXPECT_EQ(turned.pixelIndex(1, 0), 1);
    EXPECT_EQ(turned.pixelIndex(0, 0) + turned.pixelIndex(0, 1) + turned.pixelIndex(1, 1) + turned.pixelIndex(0, 2)
                  + turned.pixelIndex(1, 2),
              0);
    EXPECT_EQ(turned.colorTable(), mono.colorTable());
    EXPECT_TRUE(TurnBitmap(QImage(3, 2, QImage::Format_ARGB32), 90).isNull());
}

TEST(TurnBitmap, MirrorRowsIsThePagesHalfTurn)
{
    // Rows with garbage in their padding: only the width's pixels move, and the result is the
    // page's half turn.
    for (const int width : {1, 7, 8, 9, 63, 64, 65}) {
        SCOPED_TRACE(width);
        const int height = 5, rowBytes = 12;
        std::mt19937 random(static_cast<unsigned>(width));
        std::vector<unsigned char> source(static_cast<size_t>(rowBytes * height));
        for (auto& b : source)
            b = static_cast<unsigned char>(random());
        std::vector<unsigned char> destination(source.size(), 0);
        MirrorRows(destination.data(), source.data(), width, height, rowBytes);
        QImage page = whitePage(width, height);
        for (int y = 0; y < height; ++y)
            std::memcpy(page.scanLine(y), source.data() + y * rowBytes, static_cast<size_t>((width + 7) / 8));
        const QImage half = TurnMonoHalf(page);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < rowBytes * 8; ++x) {
                const int bit = (destination[static_cast<size_t>(y * rowBytes + x / 8)] >> (7 - x % 8)) & 1;
                const int expected = x < width ? page.pixelIndex(width - 1 - x, height - 1 - y) : 0;
                ASSERT_EQ(bit, expected) << x << "," << y;
                if (x < width) {
                    ASSERT_EQ(half.pixelIndex(x, y), expected);
                }
            }
    }
}

// ---- printing and paths ----

TEST(BitmapRoutines, FitToPrinterKeepsTheProportions)
{
    struct Case {
        int c, d, a, b;
        gdi::RECT rect, expected;
    } cases[] = {
        {4800, 6600, 1728, 2290, {0, 0, 1728, 2290}, {0, 0, 4800, 6361}},        // the width limits
        {4800, 2000, 1728, 1100, {0, 0, 1728, 1100}, {0, 0, 3141, 2000}},        // the height limits
        {4800, 2000, 100, 10, {0, 0, 100, 10}, {0, 0, 4800, 480}},
        {300, 600, 100, 200, {0, 0, 100, 200}, {0, 0, 300, 600}},                // exactly fits
        {4800, 6600, 1728, 2290, {864, 1145, 1728, 2290}, {2400, 3180, 4800, 6361}}, // a smaller page
        {100000, 100000, 60000, 50000, {0, 0, 60000, 50000}, {0, 0, 100000, 83333}}, // no overflow
        {4800, 6600, 0, 2290, {0, 0, 1, 1}, {0, 0, 0, 0}},                       // no page
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitToPrinter(c.c, c.d, c.a, c.b, c.rect), c.expected) << c.c << " " << c.d << " " << c.a << " " << c.b;
}

TEST(BitmapRoutines, BandedPrintDrawsTheVisibleBandsStretched)
{
    std::mt19937 random(7);
    QImage page = whitePage(100, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 100; ++x)
            page.setPixel(x, y, static_cast<int>(random() % 2));
    struct Case {
        int dpi, width, height;
        QRect clip;
    } cases[] = {
        {200, 999, 999, QRect(0, 0, 400, 400)},  // at 200 dpi the page's own size
        {600, 300, 270, QRect(0, 0, 400, 400)},  // stretched
        {600, 300, 270, QRect(0, 70, 400, 10)},  // bands 64 to 95 only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        QImage sheet(400, 400, QImage::Format_RGB32);
        sheet.fill(qRgb(9, 9, 9));
        {
            QPainter painter(&sheet);
            painter.setClipRect(c.clip);
            BandedPrint(painter, 5, 6, c.width, c.height, page, c.dpi);
        }
        const int w = c.dpi == 200 ? 100 : c.width, h = c.dpi == 200 ? 90 : c.height;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) {
                const int px = x - 5, py = y - 6;
                if (!(px >= 0 && px < w && py >= 0 && py < h && c.clip.contains(x, y))) {
                    ASSERT_EQ(sheet.pixel(x, y) & 0xffffff, 0x090909u) << x << "," << y;
                    continue;
                }
                const QRgb expected = page.pixelIndex(px * 100 / w, py * 90 / h) ? 0x000000 : 0xffffff;
                ASSERT_EQ(sheet.pixel(x, y) & 0xffffff, expected) << x << "," << y;
            }
    }
}

TEST(BitmapRoutines, FileNameOfPath)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Fax\\In\\page.tif", "page.tif"}, {"page.tif", "page.tif"}, {"C:\\Fax\\", ""}, {"", ""}, {"a/b", "a/b"}};
    for (const auto& [path, name] : cases)
        EXPECT_EQ(FileNameOfPath(path), name) << path;
}

} // namespace
