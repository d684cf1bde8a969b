// The annotation model: the clipboard block, the undo record and the layer's list.
#include "viewer/tests/annotation_test_support.h"

#include "imaging/page_qimage.h"

#include <QtGui/QPainter>

#include <cstring>
#include <functional>

namespace viewer_test {
namespace {

using ModelTest = AnnotationTest;

// ---- the clipboard block ------------------------------------------------------------------------

// A block built by hand: little-endian values at the offsets given.
struct Bytes {
    explicit Bytes(size_t size) : bytes(size, 0) {}
    Bytes& At(size_t offset, uint32_t value)
    {
        for (size_t i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        return *this;
    }
    Bytes& Raw(size_t offset, std::string_view raw)
    {
        std::memcpy(bytes.data() + offset, raw.data(), raw.size());
        return *this;
    }
    std::vector<uint8_t> bytes;
};

// An item whose every field differs, so that a field written at a wrong offset shows.
CAnnotationItem everyField(int kind)
{
    CAnnotationItem item;
    item.page = 3;
    item.kind = kind;
    item.width = 5;
    item.colour = 0x00112233;
    item.background = 0x00445566;
    item.font.lfHeight = -21;
    item.font.lfWidth = 7;
    item.font.lfEscapement = 900;
    item.font.lfOrientation = 450;
    item.font.lfWeight = 700;
    item.font.lfItalic = 1;
    item.font.lfUnderline = 2;
    item.font.lfStrikeOut = 3;
    item.font.lfCharSet = 4;
    item.font.lfOutPrecision = 5;
    item.font.lfClipPrecision = 6;
    item.font.lfQuality = 7;
    item.font.lfPitchAndFamily = 8;
    std::strcpy(item.font.lfFaceName, "Times New Roman");
    item.style = 9;
    item.rect = {-10, 11, 12, 13};
    item.x1 = 14;
    item.y1 = 15;
    item.x2 = -16;
    item.y2 = 17;
    item.orientation = 3;
    item.pageWidth = 1728;
    item.pageHeight = 2290;
    return item;
}

// The fixed part of everyField's block, written offset by offset.
Bytes everyFieldBytes(int kind, size_t size, uint32_t count)
{
    Bytes b(size);
    b.At(0, 3).At(4, static_cast<uint32_t>(kind)).At(8, 5).At(12, 0x00112233).At(16, 0x00445566);
    b.At(20, static_cast<uint32_t>(-21)).At(24, 7).At(28, 900).At(32, 450).At(36, 700);
    b.Raw(40, std::string_view("\x01\x02\x03\x04\x05\x06\x07\x08", 8)).Raw(48, "Times New Roman");
    b.At(80, 9).At(84, static_cast<uint32_t>(-10)).At(88, 11).At(92, 12).At(96, 13);
    b.At(100, 14).At(104, 15).At(108, static_cast<uint32_t>(-16)).At(112, 17);
    b.At(116, 3).At(120, 1728).At(124, 2290).At(128, count);
    return b;
}

TEST(AnnotationBlock, EachKindIsLaidOutAsTheTableAndReadsBack)
{
    struct Case {
        const char* name;
        int kind;
        std::string text;
        std::vector<CAnnotationPoint> points;
        std::function<Bytes()> expected;
    };
    const Case cases[] = {
        {"marker", kAnnotMarker, "", {}, [] { return everyFieldBytes(kAnnotMarker, 136, 0); }},
        {"rectangle keeps no text", kAnnotRectangle, "", {}, [] { return everyFieldBytes(kAnnotRectangle, 136, 0); }},
        {"unknown kind", 42, "", {}, [] { return everyFieldBytes(42, 136, 0); }},
        {"text of 5", kAnnotText, "Hallo", {}, [] { return everyFieldBytes(kAnnotText, 141, 5).Raw(132, "Hallo"); }},
        {"patch memo, UTF-8", kAnnotPatchMemo, "\xc3\xa9t\xc3\xa9", {},
         [] { return everyFieldBytes(kAnnotPatchMemo, 141, 5).Raw(132, "\xc3\xa9t\xc3\xa9"); }},
        {"empty stamp", kAnnotStamp, "", {}, [] { return everyFieldBytes(kAnnotStamp, 136, 0); }},
        {"text from file", kAnnotTextFile, "a\r\nb", {},
         [] { return everyFieldBytes(kAnnotTextFile, 140, 4).Raw(132, "a\r\nb"); }},
        {"freehand of one point", kAnnotFreehand, "", {{-1, 2}},
         [] { return everyFieldBytes(kAnnotFreehand, 144, 1).At(132, static_cast<uint32_t>(-1)).At(136, 2); }},
        {"freehand of three points", kAnnotFreehand, "", {{1, 2}, {3, 4}, {5, 6}}, [] {
             return everyFieldBytes(kAnnotFreehand, 160, 3).At(132, 1).At(136, 2).At(140, 3).At(144, 4).At(148, 5).At(152, 6);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAnnotationItem item = everyField(c.kind);
        item.text = c.text;
        item.points = c.points;
        const std::vector<uint8_t> block = ToClipboardBlock(item);
        EXPECT_EQ(block, c.expected().bytes);
        if (IsTextKind(c.kind)) {
            ASSERT_EQ(block.size(), 136 + c.text.size());
            EXPECT_EQ(block[132 + c.text.size()], 0);
        }
        CAnnotationItem read;
        read.text = "left over";
        read.points = {{9, 9}};
        ASSERT_TRUE(FromClipboardBlock(read, block, std::nullopt));
        EXPECT_EQ(read, item);
        ASSERT_TRUE(FromClipboardBlock(read, block, std::pair{22, 2}));
        EXPECT_EQ(read, item);
    }
}

TEST(AnnotationBlock, ARectangleKindWritesNeitherTextNorPoints)
{
    CAnnotationItem item = everyField(kAnnotLine);
    item.text = "stray";
    item.points = {{1, 1}};
    EXPECT_EQ(ToClipboardBlock(item), everyFieldBytes(kAnnotLine, 136, 0).bytes);
}

TEST(AnnotationBlock, HostileBlocksAreRefusedAndLeaveTheItemAlone)
{
    const auto text = [](uint32_t count, size_t size, std::string_view data) {
        return everyFieldBytes(kAnnotText, size, count).Raw(132, data).bytes;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> block;
        std::optional<std::pair<int, int>> page;
    };
    const Case cases[] = {
        {"empty", {}, std::nullopt},
        {"one byte short", everyFieldBytes(kAnnotMarker, 135, 0).bytes, std::nullopt},
        {"text count past the end", text(10, 141, "Hallo"), std::nullopt},
        {"text filling the block without its zero", text(9, 141, "Hallo1234"), std::nullopt},
        {"text without a zero byte anywhere", text(4, 141, "Hallo1234"), std::nullopt},
        {"text count at the largest", text(0xFFFFFFFF, 141, "Hallo"), std::nullopt},
        {"freehand count past the end", everyFieldBytes(kAnnotFreehand, 144, 2).bytes, std::nullopt},
        {"freehand count at the largest", everyFieldBytes(kAnnotFreehand, 144, 0xFFFFFFFF).bytes, std::nullopt},
        {"freehand count overflowing eight times", everyFieldBytes(kAnnotFreehand, 144, 0x20000001).bytes,
         std::nullopt},
        {"rectangle the wrong way round", everyFieldBytes(kAnnotMarker, 136, 0).At(84, 20).bytes, std::nullopt},
        {"rectangle wider than the page", everyFieldBytes(kAnnotMarker, 136, 0).bytes, std::pair{21, 2}},
        {"rectangle taller than the page", everyFieldBytes(kAnnotMarker, 136, 0).bytes, std::pair{22, 1}},
        {"rectangle spanning the whole int range",
         everyFieldBytes(kAnnotMarker, 136, 0).At(84, 0x80000000u).At(92, 0x7FFFFFFF).bytes, std::pair{1728, 2290}},
        {"rectangle at the far end of the int range",
         everyFieldBytes(kAnnotMarker, 136, 0).At(84, 0x7FFFFF00).At(88, 0x7FFFFF00).At(92, 0x7FFFFF10).At(96, 0x7FFFFF10)
             .bytes, std::nullopt},
        {"line point past the largest page", everyFieldBytes(kAnnotLine, 136, 0).At(100, 65536).bytes, std::nullopt},
        {"line point at the smallest int", everyFieldBytes(kAnnotLine, 136, 0).At(112, 0x80000000u).bytes,
         std::nullopt},
        {"freehand point far off",
         everyFieldBytes(kAnnotFreehand, 144, 1).At(132, 0x40000000).At(136, 2).bytes, std::nullopt},
        {"pen of a million pixels", everyFieldBytes(kAnnotLine, 136, 0).At(8, 1000000).bytes, std::nullopt},
        {"negative pen", everyFieldBytes(kAnnotLine, 136, 0).At(8, 0xFFFFFFFF).bytes, std::nullopt},
        {"font height at the smallest int", everyFieldBytes(kAnnotText, 137, 0).At(20, 0x80000000u).bytes,
         std::nullopt},
        {"page size past the largest page", everyFieldBytes(kAnnotMarker, 136, 0).At(120, 70000).bytes, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAnnotationItem item = everyField(kAnnotStamp);
        item.text = "kept";
        const CAnnotationItem before = item;
        // Exactly the block's bytes on the heap, so that a read past them is caught by the sanitizer.
        const auto heap = std::make_unique<uint8_t[]>(c.block.size());
        std::copy(c.block.begin(), c.block.end(), heap.get());
        EXPECT_FALSE(FromClipboardBlock(item, {heap.get(), c.block.size()}, c.page));
        EXPECT_EQ(item, before);
    }
}

TEST(AnnotationBlock, TextEndsAtItsZeroByteAndFaceNamesAreCutOnCharacters)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> block;
        std::string text;
        std::string face;
    };
    const std::string a29(29, 'A'), a30(30, 'A'), a31(31, 'A');
    const Case cases[] = {
        {"text shorter than its count", everyFieldBytes(kAnnotText, 141, 5).Raw(132, "Hi").bytes, "Hi",
         "Times New Roman"},
        {"32 bytes of face name", everyFieldBytes(kAnnotText, 136, 0).Raw(48, a31 + "B").bytes, "", a31},
        {"a two-byte character across byte 31",
         everyFieldBytes(kAnnotText, 136, 0).Raw(48, a30 + "\xc3\xa9").bytes, "", a30},
        {"a two-byte character ending at byte 31",
         everyFieldBytes(kAnnotText, 136, 0).Raw(48, a29 + "\xc3\xa9" + "B").bytes, "", a29 + "\xc3\xa9"},
        {"a four-byte character across byte 31",
         everyFieldBytes(kAnnotText, 136, 0).Raw(48, a29 + "\xf0\x9f\x98\x80").bytes, "", a29},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAnnotationItem item;
        ASSERT_TRUE(FromClipboardBlock(item, c.block, std::nullopt));
        EXPECT_EQ(item.text, c.text);
        EXPECT_EQ(std::string(item.font.lfFaceName), c.face);
        EXPECT_EQ(item.font.lfFaceName[31], '\0');
    }
}

// ---- geometry ----------------------------------------------------------------------------------

TEST(AnnotationGeometry, TurnsBetweenEveryPairOfOrientationsAndBack)
{
    // A 300 x 200 page at orientation 0 is 200 x 300 at orientations 1 and 3.
    const auto size = [](int o) { return SizeInOrientation(300, 200, o); };
    const gdi::RECT rect{10, 20, 50, 35};
    const gdi::POINT point{7, 11};
    // The turn of a point by each angle, the page being 300 x 200 in the target orientation.
    EXPECT_EQ(TurnPointBy(90, point, 300, 200).x, 289);
    EXPECT_EQ(TurnPointBy(90, point, 300, 200).y, 7);
    EXPECT_EQ(TurnPointBy(180, point, 300, 200).x, 293);
    EXPECT_EQ(TurnPointBy(180, point, 300, 200).y, 189);
    EXPECT_EQ(TurnPointBy(270, point, 300, 200).x, 11);
    EXPECT_EQ(TurnPointBy(270, point, 300, 200).y, 193);
    for (int from = 0; from < 4; ++from)
        for (int to = 0; to < 4; ++to) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const int angle = TurnAngle(from, to);
            EXPECT_EQ(angle, ((from - to + 4) % 4) * 90);
            const auto [w, h] = size(to);
            // A rectangle turns as its corners do, and stays normalised.
            const gdi::RECT turned = TurnRect(rect, from, to, w, h);
            EXPECT_EQ(turned, Spanned(TurnPointBy(angle, {rect.left, rect.top}, w, h),
                                      TurnPointBy(angle, {rect.right, rect.bottom}, w, h)));
            EXPECT_EQ(turned.right - turned.left, angle % 180 ? 15 : 40);
            // Written back with the first orientation's size, it is where it was.
            const auto [w0, h0] = size(from);
            EXPECT_EQ(TurnRect(turned, to, from, w0, h0), rect);
            const gdi::POINT back = TurnPointBy(TurnAngle(to, from), TurnPointBy(angle, point, w, h), w0, h0);
            EXPECT_EQ(back.x, point.x);
            EXPECT_EQ(back.y, point.y);
        }
    // A vector turns as the difference of two turned points.
    for (const int angle : {0, 90, 180, 270}) {
        const gdi::POINT a = TurnPointBy(angle, {5, 9}, 300, 200), b = TurnPointBy(angle, {12, 4}, 300, 200);
        const gdi::POINT v = TurnVector(angle, {7, -5});
        EXPECT_EQ(v.x, b.x - a.x) << angle;
        EXPECT_EQ(v.y, b.y - a.y) << angle;
    }
}

// ---- the list -----------------------------------------------------------------------------------

TEST_F(ModelTest, RemovingAPageDropsItsItemsRenumbersLaterOnesAndKeepsTheSelectionOnItsItem)
{
    for (const int page : {0, 2, 3, 2, 4, 1})
        Add(makeItem(page, kAnnotMarker, {1, 1, 5, 5}));
    view.state.SetSelected(4); // the item on page 4
    view.state.SetRemembered(3);
    layer.RemovePage(2);
    std::vector<int> pages;
    for (const auto& item : layer.Items())
        pages.push_back(item->page);
    EXPECT_EQ(pages, (std::vector<int>{0, 2, 3, 1}));
    EXPECT_EQ(view.state.GetSelected(), 2);
    EXPECT_EQ(view.state.GetRemembered(), -1);
    EXPECT_FALSE(layer.PageHasAnnotations(4));
    EXPECT_TRUE(layer.PageHasAnnotations(3));

    layer.InsertPage(1);
    pages.clear();
    for (const auto& item : layer.Items())
        pages.push_back(item->page);
    EXPECT_EQ(pages, (std::vector<int>{0, 3, 4, 2}));

    layer.ClearAll();
    EXPECT_TRUE(layer.Items().empty());
    EXPECT_EQ(view.state.GetSelected(), -1);
}

// ---- the undo record ----------------------------------------------------------------------------

QImage pattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x * 7 + y * 3 + seed) % 5 == 0)
                image.setPixel(x, y, 1);
    return image;
}

std::vector<uint8_t> bitsOf(const QImage& image)
{
    std::vector<uint8_t> bits;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        bits.insert(bits.end(), row, row + (image.width() + 7) / 8);
    }
    return bits;
}

std::vector<std::pair<int, std::string>> listOf(const CAnnotationLayer& layer)
{
    std::vector<std::pair<int, std::string>> list;
    for (const auto& item : layer.Items())
        list.emplace_back(item->page, item->text);
    return list;
}

CAnnotationItem textOn(int page, const char* text)
{
    CAnnotationItem item = makeItem(page, kAnnotText, {2, 2, 20, 10});
    item.text = text;
    return item;
}

TEST(UndoRecord, EachKindPutsBackWhatItRemembered)
{
    struct Case {
        const char* name;
        CUndoRecord::Kind kind;
        std::function<void(AnnotationSetup&)> change;
        std::vector<std::pair<int, std::string>> list; // after the undo
        int pages;
        int tool;
    };
    const auto sample = [](AnnotationSetup& s) {
        s.view.document.ReplacePageAt(2, qelta::imaging::pageOfImage(pattern(64, 40, 2), 200));
        s.Add(textOn(1, "a"));
        s.Add(textOn(2, "b"));
        s.Add(textOn(2, "c"));
        s.Add(textOn(3, "d"));
    };
    const std::vector<std::pair<int, std::string>> before{{1, "a"}, {2, "b"}, {2, "c"}, {3, "d"}};
    const Case cases[] = {
        {"delete a page with annotations", CUndoRecord::kDeletePage,
         [](AnnotationSetup& s) {
             s.view.state.SetCurrentPage(2);
             ASSERT_TRUE(s.view.document.OnCommand(ID_PAGE_DELETE));
             EXPECT_EQ(listOf(s.layer), (std::vector<std::pair<int, std::string>>{{1, "a"}, {2, "d"}}));
         },
         {{1, "a"}, {3, "d"}, {2, "b"}, {2, "c"}}, 5, 0},
        {"paste a page before the current one", CUndoRecord::kInsertPage,
         [](AnnotationSetup& s) {
             s.view.pageClipboard.image = pattern(30, 20, 1);
             s.view.state.SetCurrentPage(2);
             ASSERT_TRUE(s.view.document.OnCommand(ID_PAGE_PASTE_BEFORE));
             EXPECT_EQ(s.view.document.PageCount(), 6);
         },
         before, 5, 0},
        {"paste a page at the end", CUndoRecord::kAppendPage,
         [](AnnotationSetup& s) {
             s.view.pageClipboard.image = pattern(30, 20, 1);
             ASSERT_TRUE(s.view.document.OnCommand(ID_PAGE_PASTE_END));
             EXPECT_EQ(s.view.document.PageCount(), 6);
         },
         before, 5, 0},
        {"delete an annotation", CUndoRecord::kDeleteAnnotation,
         [](AnnotationSetup& s) {
             ASSERT_TRUE(s.undo.Record(CUndoRecord::kDeleteAnnotation, 1));
             s.layer.Items().erase(s.layer.Items().begin() + 1);
         },
         {{1, "a"}, {2, "c"}, {3, "d"}, {2, "b"}}, 5, kToolSelect},
        {"add an annotation", CUndoRecord::kAddAnnotation,
         [](AnnotationSetup& s) {
             s.view.state.SetSelected(s.Add(textOn(0, "new")));
             ASSERT_TRUE(s.undo.Record(CUndoRecord::kAddAnnotation, 4));
         },
         before, 5, 0},
        {"change an annotation", CUndoRecord::kChangeAnnotation,
         [](AnnotationSetup& s) {
             ASSERT_TRUE(s.undo.Record(CUndoRecord::kChangeAnnotation, 2));
             s.layer.Items()[2]->text = "changed";
             s.layer.Items()[2]->rect = {0, 0, 1, 1};
         },
         before, 5, kToolSelect},
        {"bring to front", CUndoRecord::kBringToFront,
         [](AnnotationSetup& s) {
             ASSERT_TRUE(s.undo.Record(CUndoRecord::kBringToFront, 1));
             auto& items = s.layer.Items();
             std::rotate(items.begin() + 1, items.begin() + 2, items.end());
         },
         before, 5, kToolSelect},
        {"send to back", CUndoRecord::kSendToBack,
         [](AnnotationSetup& s) {
             ASSERT_TRUE(s.undo.Record(CUndoRecord::kSendToBack, 3));
             auto& items = s.layer.Items();
             std::rotate(items.begin(), items.begin() + 3, items.end());
         },
         before, 5, kToolSelect},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnnotationSetup s;
        sample(s);
        s.view.state.SetTool(0);
        const CAnnotationItem* third = s.layer.Items()[2].get();
        const std::vector<uint8_t> page2 = bitsOf(s.view.PageBitmap(2));
        c.change(s);
        ASSERT_TRUE(s.undo.HoldsOperation());
        EXPECT_EQ(s.undo.HeldKind(), c.kind);
        EXPECT_TRUE(s.undo.Undo());
        EXPECT_FALSE(s.undo.HoldsOperation());
        EXPECT_EQ(listOf(s.layer), c.list);
        EXPECT_EQ(s.view.document.PageCount(), c.pages);
        EXPECT_EQ(s.view.state.GetPageCount(), c.pages);
        EXPECT_EQ(s.view.state.GetTool(), c.tool);
        EXPECT_EQ(bitsOf(s.view.PageBitmap(2)), page2);
        if (c.kind == CUndoRecord::kChangeAnnotation) {
            EXPECT_EQ(*s.layer.Items()[2], textOn(2, "c"));
        }
        if (c.kind == CUndoRecord::kBringToFront || c.kind == CUndoRecord::kSendToBack) {
            EXPECT_EQ(s.layer.Items()[2].get(), third); // the very items, not copies
        }
        // One step only: a second undo does nothing.
        const auto list = listOf(s.layer);
        EXPECT_FALSE(s.undo.Undo());
        EXPECT_EQ(listOf(s.layer), list);
        EXPECT_EQ(s.view.document.PageCount(), c.pages);
    }
}

TEST_F(ModelTest, UndoingAnAddRepaintsItsAreaOnlyOnThePageShown)
{
    struct Case {
        int page;
        int rotation;
        std::vector<gdi::RECT> invalidated;
    };
    // Zoom 2 and scroll (10, 5): {10, 10, 20, 30} of width 1 shows at {20, 20, 40, 60}, widened by
    // trunc(2 x 2) = 4 on every side, less the scroll. Turned a quarter to the left the 40 x 64 page
    // shows it at {10, 44, 30, 54}.
    const Case cases[] = {{1, 0, {{6, 11, 34, 59}}}, {1, 1, {{6, 79, 54, 107}}}, {3, 0, {}}};
    view.zoom = 2.0;
    view.scroll = {10, 5};
    view.state.SetCurrentPage(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        view.state.SetRotation(c.rotation);
        CAnnotationItem item = makeItem(c.page, kAnnotLine, {10, 10, 20, 30});
        ASSERT_TRUE(undo.Record(CUndoRecord::kAddAnnotation, Add(item)));
        view.invalidated.clear();
        EXPECT_TRUE(undo.Undo());
        EXPECT_TRUE(layer.Items().empty());
        EXPECT_EQ(view.invalidated, c.invalidated);
    }
}

TEST_F(ModelTest, UndoOfATiltCorrectionRestoresThePageByteForByte)
{
    const QImage before = pattern(64, 40, 3);
    view.document.ReplacePageAt(1, qelta::imaging::pageOfImage(before, 200));
    undo.RecordTilt(1, view.PageBitmap(1));
    view.document.ReplacePageAt(1, qelta::imaging::pageOfImage(pattern(64, 40, 4), 200));
    view.document.SetModifiedFlag(true);
    ASSERT_TRUE(undo.Undo());
    const QImage after = view.PageBitmap(1);
    EXPECT_EQ(bitsOf(after), bitsOf(before));
    EXPECT_EQ(after.dotsPerMeterX(), view.PageBitmap(0).dotsPerMeterX());
    EXPECT_EQ(view.document.PageCount(), 5);
    EXPECT_EQ(view.calls, std::vector<std::string>{"reinit"});
    EXPECT_FALSE(undo.Undo());
}

TEST_F(ModelTest, AnUnboundRecordRecordsNothing)
{
    Add(textOn(0, "a"));
    undo.Bind(nullptr, nullptr);
    EXPECT_FALSE(undo.Record(CUndoRecord::kDeleteAnnotation, 0));
    undo.RecordDelete(0, view.PageBitmap(0));
    undo.RecordInsert(0);
    EXPECT_FALSE(undo.HoldsOperation());
    EXPECT_FALSE(undo.Undo());
    undo.Bind(&view, &layer);
    EXPECT_FALSE(undo.Record(CUndoRecord::kDeleteAnnotation, 1)); // no such item
    EXPECT_FALSE(undo.Record(CUndoRecord::kDeletePage, 0));       // the document's kind
    EXPECT_FALSE(undo.HoldsOperation());
}

// ---- paste --------------------------------------------------------------------------------------

TEST_F(ModelTest, PasteTakesTheCurrentPageRotationAndSize)
{
    struct Case {
        const char* name;
        int rotation;
        CAnnotationItem copied;
        std::optional<std::string> message;
        bool openable = true;
    };
    CAnnotationItem freehand = makeItem(4, kAnnotFreehand, {20, 5, 50, 25});
    freehand.points = {{20, 5}, {50, 25}, {30, 5}};
    freehand.orientation = 0;
    CAnnotationItem line = makeItem(4, kAnnotLine, {10, 30, 49, 39});
    line.x1 = 49;
    line.y1 = 30;
    line.x2 = 10;
    line.y2 = 39;
    const Case cases[] = {
        {"freehand onto a page turned a quarter", 1, freehand, std::nullopt},
        {"line, upright", 0, line, std::nullopt},
        {"line as wide as the turned page", 3, makeItem(0, kAnnotLine, {0, 0, 40, 10}), std::nullopt},
        {"wider than the turned page", 1, makeItem(0, kAnnotMarker, {0, 0, 41, 10}), "Clipboard size is too large."},
        {"no block on the clipboard", 0, CAnnotationItem{}, "Clipboard size is too large."},
        {"clipboard that does not open", 0, line, "Clipboard cannot be opened.", false},
    };
    view.state.SetCurrentPage(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        layer.ClearAll();
        undo.Reset();
        view.document.SetModifiedFlag(false);
        view.state.SetTool(5);
        view.state.SetRotation(c.rotation);
        view.clipboard.openable = c.openable;
        view.clipboard.block = std::nullopt;
        if (c.copied.kind != 0)
            view.clipboard.block = ToClipboardBlock(c.copied);
        if (c.message)
            view.prompter.script.emplace_back(*c.message, IDOK);
        const bool pasted = layer.Paste();
        EXPECT_EQ(pasted, !c.message);
        EXPECT_TRUE(view.prompter.script.empty());
        if (!pasted) {
            EXPECT_TRUE(layer.Items().empty());
            EXPECT_FALSE(undo.HoldsOperation());
            EXPECT_FALSE(view.document.IsModified());
            continue;
        }
        ASSERT_EQ(layer.Items().size(), 1u);
        const CAnnotationItem& item = *layer.Items()[0];
        const int dx = -c.copied.rect.left, dy = -c.copied.rect.top;
        EXPECT_EQ(item.page, 2);
        EXPECT_EQ(item.orientation, c.rotation);
        EXPECT_EQ(std::pair(item.pageWidth, item.pageHeight), c.rotation % 2 ? std::pair(40, 64) : std::pair(64, 40));
        EXPECT_EQ(item.rect, (gdi::RECT{0, 0, c.copied.rect.right + dx, c.copied.rect.bottom + dy}));
        EXPECT_EQ(std::tuple(item.x1, item.y1, item.x2, item.y2),
                  std::tuple(c.copied.x1 + dx, c.copied.y1 + dy, c.copied.x2 + dx, c.copied.y2 + dy));
        ASSERT_EQ(item.points.size(), c.copied.points.size());
        for (size_t i = 0; i < item.points.size(); ++i)
            EXPECT_EQ(item.points[i], (CAnnotationPoint{c.copied.points[i].x + dx, c.copied.points[i].y + dy}));
        EXPECT_EQ(item.kind, c.copied.kind);
        EXPECT_EQ(item.width, c.copied.width);
        EXPECT_EQ(view.state.GetTool(), kToolSelect);
        EXPECT_TRUE(view.document.IsModified());
        EXPECT_TRUE(undo.HoldsOperation());
        EXPECT_EQ(undo.HeldKind(), CUndoRecord::kAddAnnotation);
        EXPECT_TRUE(undo.Undo());
        EXPECT_TRUE(layer.Items().empty());
    }
}

TEST_F(ModelTest, SavingBurnsAnnotationsInOnlyWhenTheFileIsWritten)
{
    Add(makeItem(1, kAnnotPaintRectangle, {10, 10, 20, 20}));
    const QImage blank = view.PageBitmap(1);
    view.document.SetModifiedFlag(true);
    // A failed save keeps the page clean and the annotation editable.
    view.frame.saveAs = std::pair{view.root.path() + "/missing/folder/page.tif", 5}; // TIFF, PackBits
    LibraryMessages messages;
    EXPECT_TRUE(view.document.OnCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(messages.codes().size(), 1u);
    EXPECT_EQ(bitsOf(view.PageBitmap(1)), bitsOf(blank));
    EXPECT_EQ(layer.Items().size(), 1u);
    EXPECT_TRUE(view.document.IsModified());
    // A written file holds the annotation, the page takes it and the list is cleared.
    view.frame.saveAs = std::pair{view.root.path() + "/page.tif", 5};
    EXPECT_TRUE(view.document.OnCommand(ID_FILE_SAVE_AS));
    EXPECT_FALSE(view.document.IsModified());
    EXPECT_TRUE(layer.Items().empty());
    const QImage saved = view.PageBitmap(1);
    EXPECT_NE(bitsOf(saved), bitsOf(blank));
    EXPECT_EQ(saved.pixelIndex(15, 15), 1);
    EXPECT_EQ(saved.pixelIndex(30, 30), 0);
}

// The same 12-point text typed on screens of 96, 144 and 192 pixels an inch (16, 24 and 32 pixels
// high there) is one size on the page: burnt in, copied and shown.
TEST(AnnotationText, FontHeightsAreConvertedAtTheScreensOwnDpi)
{
    const auto outputs = [](int dpi) {
        AnnotationSetup s(1, 600, 300);
        s.view.screenDpi = dpi;
        CAnnotationItem text = makeItem(0, kAnnotText, {20, 20, 580, 280}, 600, 300);
        text.text = "HHHH";
        text.font.lfHeight = -(12 * dpi / 72);
        s.Add(text);
        std::vector<std::vector<uint8_t>> out;
        EXPECT_TRUE(s.layer.CopyToClipboard(text));
        out.push_back(bitsOf(s.view.clipboard.picture.convertToFormat(QImage::Format_Mono)));
        QImage screen(600, 300, QImage::Format_RGB32);
        screen.fill(Qt::white);
        {
            QPainter painter(&screen);
            s.layer.Draw(painter, screen.rect());
        }
        out.push_back(bitsOf(screen.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)));
        EXPECT_TRUE(s.layer.BurnIn(0, *s.view.document.Pages()[0]));
        out.push_back(bitsOf(s.view.PageBitmap(0)));
        return out;
    };
    const auto at96 = outputs(96);
    for (const int dpi : {144, 192}) {
        const auto other = outputs(dpi);
        const char* names[] = {"copied", "shown", "burnt in"};
        for (size_t i = 0; i < at96.size(); ++i)
            EXPECT_EQ(other[i], at96[i]) << names[i] << " at " << dpi << " dpi";
    }
}

TEST_F(ModelTest, OpeningADocumentLeavesNoAnnotationOrUndoOfTheOneBefore)
{
    Add(makeItem(0, kAnnotPaintRectangle, {10, 10, 20, 20}));
    layer.Select(0);
    ASSERT_TRUE(view.document.OnCommand(ID_PAGE_DELETE)); // the undo record holds page 0
    ASSERT_TRUE(undo.HoldsOperation());
    Add(makeItem(0, kAnnotPaintRectangle, {10, 10, 20, 20}));
    const std::string blank = writeTiff(view.root.path() + "/blank.tif", 1);
    ASSERT_TRUE(view.document.OnOpenDocument(blank));
    EXPECT_TRUE(layer.Items().empty());
    EXPECT_FALSE(layer.PageHasAnnotations(0));
    EXPECT_EQ(view.state.GetSelected(), -1);
    EXPECT_FALSE(undo.HoldsOperation());
    // Nothing of the former document reaches the new one's file.
    const QImage before = view.PageBitmap(0);
    view.frame.saveAs = std::pair{view.root.path() + "/saved.tif", 5};
    EXPECT_TRUE(view.document.OnCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(bitsOf(view.PageBitmap(0)), bitsOf(before));
    EXPECT_EQ(view.document.PageCount(), 1);
}

} // namespace
} // namespace viewer_test
