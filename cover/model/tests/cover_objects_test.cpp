#include "cover/model/cover_document.h"
#include "platform/tests/support/test_support.h"

#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"
#include "imaging/tests/page_pixels.h"

#include <gtest/gtest.h>

#include <cstring>

using qelta::test::ScopedStateRoot;

using namespace qelta::test;

namespace {

int blackRowsAt(const QImage& image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += image.pixel(x, y) == kBlack;
    return n;
}

// The object of a line, made by the document's factory (its own document keeps it).
CtqRect* make(CtqHeaderDoc& doc, std::string_view line)
{
    CtqRect* object = doc.CreateFrame(line);
    EXPECT_NE(object, nullptr) << line;
    return object;
}

QImage drawn(CtqRect& object, gdi::RECT target, int width, int height, ICoverSheetView* view = nullptr)
{
    QImage image = whitePage(width, height);
    gdi::CDeviceContext dc(image);
    object.Draw(dc, target, view);
    return image;
}

// A view that doubles every page coordinate and records what the objects ask of it.
class FakeView : public ICoverSheetView {
public:
    void PageToDevice(gdi::CDeviceContext*, gdi::POINT& point) override
    {
        point.x *= 2;
        point.y *= 2;
    }
    void PageRectToDevice(gdi::CDeviceContext*, gdi::RECT& rect) override
    {
        rect = {rect.left * 2, rect.top * 2, rect.right * 2, rect.bottom * 2};
    }
    gdi::POINT GetScrollPosition() const override { return {5, 7}; }
    int GetScreenPixelsPerInch() const override { return 96; }
    void SetEditTarget(CtqRect* object) override { target = object; }
    const CtqRect* GetEditTarget() const override { return target; }
    bool IsInPlaceEditorVisible() const override { return editorVisible; }
    void ShowInPlaceEditor(const gdi::RECT& rect, const gdi::LOGFONTA& font, const std::string& text) override
    {
        editorRect = rect;
        editorFont = font;
        editorText = text;
        editorVisible = true;
    }
    bool ChooseFont(gdi::LOGFONTA& font, int flags, int& tenths) override
    {
        dialogFont = font;
        dialogFlags = flags;
        dialogTenths = tenths;
        if (!fontAnswer)
            return false;
        std::strcpy(font.lfFaceName, "DejaVu Serif");
        tenths = *fontAnswer;
        return true;
    }
    bool ChooseOpenFile(const std::string& filter, const std::string& extension, int flags, const std::string&,
                        std::string& path) override
    {
        fileFilter = filter + "|" + extension + "|" + std::to_string(flags);
        if (fileAnswer.empty())
            return false;
        path = fileAnswer;
        return true;
    }
    void ShowImageError(const std::string& caption, const std::string& path) override { errors.push_back(caption + ": " + path); }

    CtqRect* target = nullptr;
    bool editorVisible = false;
    gdi::RECT editorRect;
    gdi::LOGFONTA editorFont, dialogFont;
    std::string editorText, fileFilter, fileAnswer;
    int dialogFlags = 0;
    int dialogTenths = 0;
    std::optional<int> fontAnswer;
    std::vector<std::string> errors;
};

TEST(CoverObjects, EveryKindReadsAndWritesItsFrameLine)
{
    struct Case {
        const char* line;
        const char* written; // null: the line itself
        const char* className;
    } const cases[] = {
        {"StaticText,60,472,159,60,Times New Roman,39,400,0,0,0,0,Mr./Ms.", nullptr, "CtqStaticTextRect"},
        {"staticText,1,2,3,4,Arial,33,700,1,1,1,2,a\\\\\\054b\\nc", "StaticText,1,2,3,4,Arial,33,700,1,1,1,2,a\\\\\\054b\\nc", "CtqStaticTextRect"},
        {"Memo,216,1296,1339,531,Times New Roman,33,0,0,0,0,0", "Memo,216,1296,1339,531,Times New Roman,33,0,0,0,0,0,", "CtqMemoRect"},
        {"FAX,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressFaxRect"},
        {"COMPANY,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressCompanyRect"},
        {"SECTION,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressSectionRect"},
        {"POST,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressPostRect"},
        {"NAME,240,472,469,60,Times New Roman,39,400,0,0,0,0", "NAME,240,472,469,60,Times New Roman,39,400,0,0,0,0,", "CtqAddressNameRect"},
        {"TELEPHONE,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressTelephoneRect"},
        {"mr,1,2,3,4,Arial,33,400,0,0,0,0,", "Mr,1,2,3,4,Arial,33,400,0,0,0,0,", "CtqAddressMrRect"},
        {"ZIP,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressZipRect"},
        {"ADDRESS1,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressAddress1Rect"},
        {"ADDRESS2,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqAddressAddress2Rect"},
        {"UserCompany,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserCompanyRect"},
        {"UserSection,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserSectionRect"},
        {"UserPost,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserPostRect"},
        {"UserName,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserNameRect"},
        {"UserID,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserIDRect"},
        {"UserFaxNumber,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserFaxNumberRect"},
        {"UserZip,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserZipRect"},
        {"UserAddress1,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqUserAddress1Rect"},
        {"Time,1515,216,138,39,Times New Roman,33,0,0,0,0,0", "Time,1515,216,138,39,Times New Roman,33,0,0,0,0,0,", "CtqTimeRect"},
        {"Date,1318,216,177,39,Times New Roman,33,0,0,0,0,0,", nullptr, "CtqDateRect"},
        {"Page,1,2,3,4,Arial,33,400,0,0,0,0,", nullptr, "CtqPageRect"},
        {"Bitmap,10,20,30,40,/no/such/logo.bmp", nullptr, "CtqBitmapRect"},
        {"DrawingFrame,196,1276,1378,571,6,2,0", nullptr, "CtqDrawingFrameRect"},
        {"DrawingFrame,1,2,3,4,0,1,7,extra,fields", "DrawingFrame,1,2,3,4,0,1,7", "CtqDrawingFrameRect"},
        {"DrawingLine,59,551,649,0,0,2", nullptr, "CtqDrawingLineRect"},
        {"DrawingLine,700,10,-600,30,1,3", nullptr, "CtqDrawingLineRect"},
        {"PAGECUT,0,2000,1728,0,2,1", "PageCut,0,2000,1728,0,2,1", "CtqDrawingCutterRect"},
        // Fields a line lacks read as empty and 0; numbers beyond 32 bits are cut to the limit.
        {"NAME,5", "NAME,5,0,0,0,,0,0,0,0,0,0,", "CtqAddressNameRect"},
        // A face or file name ends at a line break, which no frame line can carry.
        {"NAME,1,2,3,4,Arial\nBold,33,400,0,0,0,0", "NAME,1,2,3,4,Arial,33,400,0,0,0,0,", "CtqAddressNameRect"},
        {"Bitmap,1,2,3,4,a.bmp\r\nb", "Bitmap,1,2,3,4,a.bmp", "CtqBitmapRect"},
        // Edges are held five metres from the page's corner at the most.
        {"DrawingLine,2147483000,0,99999999999,-5,x,2", "DrawingLine,39370,0,0,-5,0,2", "CtqDrawingLineRect"},
        {"DrawingLine,-39371,39000,-99999999999,999,0,2", "DrawingLine,-39370,39000,0,370,0,2", "CtqDrawingLineRect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CtqHeaderDoc doc;
        CtqRect* object = make(doc, c.line);
        ASSERT_NE(object, nullptr);
        EXPECT_STREQ(object->GetRuntimeClass(), c.className);
        const std::string written = object->GetFrameLine();
        EXPECT_EQ(written, c.written ? c.written : c.line);
        // What is written reads back as the same object.
        CtqHeaderDoc other;
        CtqRect* again = make(other, written);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->GetFrameLine(), written);
    }
    CtqHeaderDoc doc;
    for (const char* line : {"", "NAME", "Unknown,1,2,3,4", ",1,2,3,4"})
        EXPECT_EQ(doc.CreateFrame(line), nullptr) << line;
}

TEST(CoverObjects, PropertiesOfTheKinds)
{
    CtqHeaderDoc doc;
    CtqRect* text = make(doc, "StaticText,1,2,3,4,Arial,33,700,1,0,1,128,a\\054b\\nc");
    gdi::LOGFONTA font;
    ASSERT_EQ(text->GetLogFont(font), 1);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfHeight, 33);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic + font.lfStrikeOut, 2);
    EXPECT_EQ(font.lfCharSet, 128);
    EXPECT_EQ(text->GetText(), "a,b\nc");
    EXPECT_EQ(text->IsTextFrame(), 1);
    EXPECT_EQ(text->HasPen() + text->HasFill(), 0);
    CtqRect* frame = make(doc, "DrawingFrame,1,2,3,4,6,2,15");
    int style = -1, width = -1;
    EXPECT_EQ(frame->GetPen(style, width), 1);
    EXPECT_EQ(style * 10 + width, 62);
    EXPECT_EQ(frame->GetFill(), 15);
    EXPECT_EQ(frame->GetLogFont(font), 0);
    CtqRect* line = make(doc, "DrawingLine,1,2,3,4,0,1");
    CtqRect* cut = make(doc, "PageCut,0,100,1728,0,2,1");
    EXPECT_EQ(frame->GetTrackKind() * 100 + line->GetTrackKind() * 10 + cut->GetTrackKind(), 10 - 1);
    EXPECT_EQ(frame->IsBoxObject() + line->IsBoxObject() + cut->IsBoxObject(), 1);
    EXPECT_EQ(line->HasPen() - cut->HasPen(), 1);
    EXPECT_EQ(make(doc, "Page,1,2,3,4,A,1,0,0,0,0,0")->GetText(), "99");
    EXPECT_EQ(make(doc, "Time,1,2,3,4,A,1,0,0,0,0,0")->GetText().size(), 8u);  // hh:mm:ss
    EXPECT_EQ(make(doc, "Date,1,2,3,4,A,1,0,0,0,0,0")->GetText().size(), 10u); // mm/dd/yyyy
}

TEST(CoverObjectsDrawing, LinesScaleTheirPenAndDrawTheSameSegmentEitherWay)
{
    CtqHeaderDoc doc;
    // Width 3 at twice the page size is 6 pixels; width 1 stays 1.
    CtqRect* wide = make(doc, "DrawingLine,10,10,50,0,0,3");
    const QImage twice = drawn(*wide, {20, 20, 120, 20}, 140, 40);
    EXPECT_EQ(blackRowsAt(twice, 60), 6);
    EXPECT_EQ(row(twice, 20, 15, 125), std::string(5, '.') + std::string(100, '#') + std::string(5, '.'));
    CtqRect* thin = make(doc, "DrawingLine,10,10,50,0,0,1");
    EXPECT_EQ(blackRowsAt(drawn(*thin, {30, 30, 130, 30}, 140, 40), 60), 1);
    // Stored right to left or left to right: the same pixels.
    CtqRect* leftward = make(doc, "DrawingLine,60,10,-50,20,0,1");
    CtqRect* rightward = make(doc, "DrawingLine,10,30,50,-20,0,1");
    const QImage a = drawn(*leftward, {60, 10, 10, 30}, 80, 40), b = drawn(*rightward, {10, 30, 60, 10}, 80, 40);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.pixel(10, 30), kBlack);
    EXPECT_EQ(a.pixel(60, 10), kWhite); // the far end is not drawn
}

TEST(CoverObjectsDrawing, PageCutIsTwoDottedLinesOnePixelApart)
{
    CtqHeaderDoc doc;
    CtqRect* cut = make(doc, "PageCut,0,50,40,0,0,5");
    const QImage image = drawn(*cut, cut->m_rect, 50, 60);
    // From (41, 50) leftwards to (0, 50), and from (42, 51) to (0, 51): three pixels on, three off.
    std::string first(50, '.'), second(50, '.');
    for (int step = 0; step < 41; ++step)
        if (step % 6 < 3)
            first[static_cast<size_t>(41 - step)] = '#';
    for (int step = 0; step < 42; ++step)
        if (step % 6 < 3)
            second[static_cast<size_t>(42 - step)] = '#';
    EXPECT_EQ(row(image, 50, 0, 50), first);
    EXPECT_EQ(row(image, 51, 0, 50), second);
    EXPECT_EQ(row(image, 49, 0, 50), std::string(50, '.'));
    EXPECT_EQ(row(image, 52, 0, 50), std::string(50, '.'));
}

TEST(CoverObjectsDrawing, FramesAndTheirFills)
{
    // Shades are black dots that a bilevel page keeps (3, 6 and 10 of every 64 pixels), never grey.
    struct Case {
        int fill;
        int dots; // black pixels of a 64 x 64 frame without a pen
    } const cases[] = {{0, 0}, {5, 3 * 64}, {10, 6 * 64}, {15, 10 * 64}, {100, 64 * 64}, {7, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fill);
        CtqHeaderDoc doc;
        CtqRect* frame = make(doc, "DrawingFrame,0,0,10,5,6," + std::string("2,") + std::to_string(c.fill));
        // Twice the size: the inside-frame pen is 4 pixels wide along the larger extent.
        const QImage image = drawn(*frame, {2, 2, 22, 12}, 24, 14);
        EXPECT_EQ(row(image, 7, 0, 24).substr(0, 6), "..####");
        EXPECT_EQ(row(image, 7, 0, 24).substr(18), "####..");
        EXPECT_EQ(row(image, 2, 0, 24), ".." + std::string(20, '#') + "..");
        EXPECT_EQ(image.pixel(1, 7), kWhite);

        CtqRect* shade = make(doc, "DrawingFrame,8,8,64,64,5,1," + std::to_string(c.fill));
        const QImage shaded = drawn(*shade, shade->GetRect(), 80, 80);
        int black = 0, other = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x) {
                black += shaded.pixel(x, y) == kBlack;
                other += shaded.pixel(x, y) != kBlack && shaded.pixel(x, y) != kWhite;
            }
        EXPECT_EQ(black, c.dots);
        EXPECT_EQ(other, 0);
    }
}

TEST(CoverObjectsDrawing, BitmapsStretchOverTheirTargetAndDarkenThePage)
{
    ScopedStateRoot root;
    QImage logo(2, 1, QImage::Format_RGB32);
    logo.setPixel(0, 0, kBlack);
    logo.setPixel(1, 0, kWhite);
    const std::string path = root.path() + "/logo.bmp";
    ASSERT_TRUE(logo.save(QString::fromStdString(path)));
    CtqHeaderDoc doc;
    CtqRect* bitmap = make(doc, "Bitmap,0,0,2,1," + path);
    QImage image = whitePage(8, 4);
    {
        gdi::CDeviceContext dc(image);
        dc.FillSolidRect({0, 2, 8, 4}, qRgb(128, 128, 128));
        bitmap->Draw(dc, {0, 0, 8, 4}, nullptr);
    }
    EXPECT_EQ(row(image, 0, 0, 8), "####....");
    EXPECT_EQ(image.pixel(5, 3), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(3, 3), kBlack);
    // A file that is missing draws nothing on a page and keeps its line; in the editor's view it
    // is a crossed box with the file's name.
    CtqRect* missing = make(doc, "Bitmap,0,0,2,1,/no/such/logo.bmp");
    EXPECT_EQ(drawn(*missing, {0, 0, 8, 4}, 8, 4), whitePage(8, 4));
    EXPECT_EQ(missing->GetFrameLine(), "Bitmap,0,0,2,1,/no/such/logo.bmp");
    FakeView view;
    const QImage marked = drawn(*missing, {10, 10, 210, 70}, 220, 80, &view);
    for (const auto& [x, y] : {std::pair{10, 10}, {209, 10}, {10, 69}, {209, 69}})
        EXPECT_EQ(marked.pixel(x, y), kBlack) << x << "," << y; // the box's corners
    for (const int x : {150, 180, 200})
        EXPECT_EQ(blackRowsAt(marked, x), 4) << x; // its top and bottom and the two lines of the cross
    EXPECT_EQ(blackRowsAt(marked, 5), 0) << "nothing beside the box";
    CtqRect* other = make(doc, "Bitmap,0,0,2,1,/no/such/WWWWWWWW.bmp");
    EXPECT_NE(drawn(*other, {10, 10, 210, 70}, 220, 80, &view), marked) << "the name is drawn";
    // A name beside the cover sheet file is found there.
    CtqBitmapRect beside;
    EXPECT_EQ(beside.LoadResources("Bitmap,0,0,2,1,logo.bmp", root.path() + "/sheet.tqc"), 1);
    EXPECT_EQ(beside.LoadResources("Bitmap,0,0,2,1,other.bmp", root.path() + "/sheet.tqc"), 0);
    EXPECT_EQ(beside.GetFrameLine(), "Bitmap,0,0,2,1,other.bmp");
}

// A page of the imaging library: a one-pixel black border and a diagonal, bilevel or in colour.
qelta::imaging::Page framedPage(uint32_t width, uint32_t height, bool colour)
{
    qelta::imaging::Page page;
    page.kind = colour ? qelta::imaging::PixelKind::Rgb : qelta::imaging::PixelKind::Bilevel;
    page.width = width;
    page.height = height;
    page.pixels.assign(page.stride() * height, colour ? 255 : 0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y) {
                if (colour)
                    std::memset(page.row(y) + 3 * x, 0, 3);
                else
                    qelta::imaging::setBlack(page.row(y), x);
            }
    return page;
}

// Writes a page as a file of one of pagefilelib's kinds.
void writePageFile(const std::string& path, qelta::imaging::Page page, int32_t type, int32_t compression)
{
    const IKHANDLE image = qelta::imaging::addImage(std::move(page));
    const PFHANDLE writer = PageFileWriteBitmapOpen(image, type, compression, 0, path.c_str());
    ASSERT_NE(writer, 0u) << path;
    while (PageFileWriteStep(writer, type) != 0) {
    }
    EXPECT_EQ(PageFileWriteEnd(writer, type), 1) << path;
    IKFreeMemory(image);
}

TEST(CoverObjectsDrawing, PicturesOfEveryPageFileKindAreKeptAtMostAtTheirFrameSize)
{
    ScopedStateRoot root;
    struct Case {
        const char* name;
        int32_t type, compression;
        bool colour;
    } const cases[] = {
        {"p.bmp", PF_TYPE_BMP, 0, false},          {"p.pcx", PF_TYPE_PCX, 0, false},
        {"p.fax", PF_TYPE_FAX, 0, false},          {"p.tif", PF_TYPE_TIFF, PF_COMPRESSION_MH, false},
        {"c.tif", PF_TYPE_TIFF, PF_COMPRESSION_NONE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = root.path() + "/" + c.name;
        writePageFile(path, framedPage(400, 200, c.colour), c.type, c.compression);
        CtqHeaderDoc doc;
        // Reduced to a frame of a tenth: the one-pixel border survives, one bit a pixel when the
        // file is bilevel.
        auto& small = static_cast<CtqBitmapRect&>(*make(doc, "Bitmap,0,0,40,20," + path));
        EXPECT_EQ(small.m_bitmap.size(), QSize(40, 20));
        EXPECT_EQ(small.m_bitmap.format(), c.colour ? QImage::Format_RGB32 : QImage::Format_Mono);
        const QImage image = drawn(small, small.GetRect(), 40, 20);
        if (!c.colour) {
            EXPECT_EQ(row(image, 0, 0, 40), std::string(40, '#'));
            EXPECT_EQ(row(image, 10, 0, 40), "#.........#" + std::string(28, '.') + "#");
        }
        // A frame larger than the picture keeps the picture as it is.
        auto& large = static_cast<CtqBitmapRect&>(*make(doc, "Bitmap,0,0,800,400," + path));
        EXPECT_EQ(large.m_bitmap.size(), QSize(400, 200));
    }

    // Pictures of up to 64 megapixels are shown, larger ones draw as missing pictures.
    const std::string largest = root.path() + "/largest.tif", beyond = root.path() + "/beyond.tif";
    writePageFile(largest, framedPage(8192, 8192, false), PF_TYPE_TIFF, PF_COMPRESSION_MH);
    writePageFile(beyond, framedPage(8193, 8192, false), PF_TYPE_TIFF, PF_COMPRESSION_MH);
    CtqBitmapRect picture({0, 0, 64, 64});
    EXPECT_TRUE(picture.ReadImage(largest));
    EXPECT_EQ(picture.m_bitmap.size(), QSize(64, 64));
    CtqHeaderDoc doc;
    CtqRect* tooLarge = make(doc, "Bitmap,0,0,64,64," + beyond);
    EXPECT_TRUE(static_cast<CtqBitmapRect*>(tooLarge)->m_bitmap.isNull());
    EXPECT_EQ(drawn(*tooLarge, tooLarge->GetRect(), 64, 64), whitePage(64, 64));
}

TEST(CoverObjectsDrawing, TextScalesItsFontWithTheTargetOrThroughTheView)
{
    CtqHeaderDoc doc;
    CtqRect* text = make(doc, "StaticText,0,0,200,40,DejaVu Sans,20,400,0,0,0,0,HIH");
    auto inkHeight = [](const QImage& image) {
        int top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            if (row(image, y, 0, image.width()).find('#') != std::string::npos) {
                top = std::min(top, y);
                bottom = y;
            }
        return bottom - top + 1;
    };
    const int single = inkHeight(drawn(*text, {0, 0, 200, 40}, 420, 90));
    const int doubled = inkHeight(drawn(*text, {0, 0, 400, 80}, 420, 90));
    FakeView view;
    const int viewed = inkHeight(drawn(*text, {0, 0, 400, 80}, 420, 90, &view));
    EXPECT_GT(single, 8);
    EXPECT_NEAR(doubled, 2 * single, 2);
    EXPECT_EQ(viewed, doubled);
    // While the view edits the object in place, its text is not drawn; the device rectangle is
    // where it was drawn, moved by the viewport origin.
    auto& staticText = static_cast<CtqStaticTextRect&>(*text);
    view.target = text;
    view.editorVisible = true;
    QImage image = whitePage(420, 90);
    {
        gdi::CDeviceContext dc(image);
        dc.SetViewportOrg({3, 4});
        text->Draw(dc, {0, 0, 400, 80}, &view);
    }
    EXPECT_EQ(image, whitePage(420, 90));
    EXPECT_EQ(staticText.m_rcDevice, (gdi::RECT{3, 4, 403, 84}));
}

TEST(CoverObjectsEditing, FontDialogInPlaceEditorAndImageChoice)
{
    CtqHeaderDoc doc;
    FakeView view;
    CtqRect* name = make(doc, "NAME,10,20,100,40,Times New Roman,33,400,0,0,0,0");
    EXPECT_EQ(name->EditProperties(&view), 0); // cancelled
    EXPECT_EQ(view.dialogFont.lfHeight, -16);  // 33 page pixels at 96 dpi
    EXPECT_EQ(view.dialogTenths, 119);          // and the dialog opens at their size, 11.9 points
    EXPECT_EQ(view.dialogFlags, 321);
    view.fontAnswer = 140;
    EXPECT_EQ(name->EditProperties(&view), 1);
    EXPECT_EQ(name->GetFrameLine(), "NAME,10,20,100,40,DejaVu Serif,39,400,0,0,0,0,");
    // A size box with no size in it ("abc" gives 0) keeps the height.
    view.fontAnswer = 0;
    EXPECT_EQ(name->EditProperties(&view), 1);
    EXPECT_EQ(name->GetFrameLine(), "NAME,10,20,100,40,DejaVu Serif,39,400,0,0,0,0,");

    CtqRect* text = make(doc, "StaticText,10,20,100,40,Arial,33,400,0,0,0,0,old");
    EXPECT_EQ(text->EditProperties(&view), 0);
    EXPECT_EQ(view.target, text);
    EXPECT_EQ(view.editorRect, (gdi::RECT{15, 33, 215, 113}));
    EXPECT_EQ(view.editorFont.lfHeight, 66);
    EXPECT_EQ(view.editorText, "old");
    EXPECT_EQ(view.target->SetText("new, line\n"), 1);
    EXPECT_EQ(text->GetFrameLine(), "StaticText,10,20,100,40,Arial,33,400,0,0,0,0,new\\054 line\\n");

    ScopedStateRoot root;
    const std::string good = root.path() + "/good.bmp", bad = root.path() + "/bad.bmp";
    ASSERT_TRUE(whitePage(3, 3).save(QString::fromStdString(good)));
    qelta::test::writeTextFile(bad, "no image");
    auto* bitmap = static_cast<CtqBitmapRect*>(make(doc, "Bitmap,0,0,3,3," + good));
    ASSERT_FALSE(bitmap->m_bitmap.isNull());
    EXPECT_EQ(bitmap->EditProperties(&view), 0); // cancelled
    EXPECT_EQ(view.fileFilter, "Bitmap file (*.bmp)|*.bmp;*.dib;*.rle|PCX file(*.pcx)|*.pcx|TIFF file (*.tif)|*.tif|||BMP|4102");
    view.fileAnswer = bad;
    EXPECT_EQ(bitmap->EditProperties(&view), 2);
    EXPECT_EQ(bitmap->m_strFileName, good);
    EXPECT_FALSE(bitmap->m_bitmap.isNull());
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "Cover Sheet Editor: " + bad);
    view.fileAnswer = good;
    EXPECT_EQ(bitmap->EditProperties(&view), 1);
    // Drawing objects have nothing to edit.
    EXPECT_EQ(make(doc, "DrawingLine,1,2,3,4,0,1")->EditProperties(&view), 0);
}

} // namespace
