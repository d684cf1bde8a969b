// The creation tools: click or drag, each tool's item and style, freehand, lines, texts in place,
// text from a file and stamps.
#include "viewer/tests/annotation_test_support.h"

#include "platform/tests/support/test_support.h"

#include <cstring>
#include <functional>

namespace viewer_test {
namespace {

constexpr int kPageW = 400, kPageH = 300;

gdi::LOGFONTA fontNamed(const char* face, int height)
{
    gdi::LOGFONTA font;
    font.lfHeight = height;
    std::strncpy(font.lfFaceName, face, sizeof font.lfFaceName - 1);
    return font;
}

class ToolsTest : public AnnotationTest {
protected:
    ToolsTest() : AnnotationTest(3, kPageW, kPageH)
    {
        view.state.SetCurrentPage(1);
        CAnnotationDefaults& d = view.defaults;
        d.freehandWidth = 3;
        d.freehandColour = 0x000001;
        d.markerColour = 0x000002;
        d.lineWidth = 5;
        d.lineColour = 0x000003;
        d.rectangleWidth = 7;
        d.rectangleColour = 0x000004;
        d.rectangleStyle = 9;
        d.paintColour = 0x000005;
        d.textFont = fontNamed("Text", 24);
        d.textColour = 0x000006;
        d.memoFont = fontNamed("Memo", -12);
        d.memoTextColour = 0x000007;
        d.memoColour = 0x000008;
        d.copyTextFont = fontNamed("Copy", 18);
        d.copyTextColour = 0x000009;
        d.stampFont = fontNamed("Unused", 30);
        d.stampColour = 0x00000A;
    }

    /// A press at from, a move to `to` after ms milliseconds and a release there; the tool's item
    /// (or editor) when the release is no click.
    void Band(int tool, gdi::POINT from, gdi::POINT to, uint32_t ms = 1000)
    {
        layer.BandPress(from.x, from.y);
        view.tick += ms;
        layer.BandMove(to.x, to.y);
        if (layer.BandRelease(to.x, to.y))
            layer.CreateFromBand(tool);
    }
    void Line(gdi::POINT from, std::vector<gdi::POINT> moves, gdi::POINT to)
    {
        layer.LinePress(from.x, from.y);
        for (const gdi::POINT p : moves)
            layer.LineMove(p.x, p.y);
        layer.LineRelease(to.x, to.y);
    }
    void Stroke(gdi::POINT from, std::vector<gdi::POINT> moves, gdi::POINT to)
    {
        layer.StrokePress(from.x, from.y);
        for (const gdi::POINT p : moves)
            layer.StrokeMove(p.x, p.y);
        layer.StrokeRelease(to.x, to.y);
    }
    void SetStamp(const char* text, int count = 1, int current = 0)
    {
        view.defaults.stampCount = count;
        view.defaults.currentStamp = current;
        for (int i = 0; i < count; ++i) {
            CStampRecord& stamp = view.defaults.stamps[static_cast<size_t>(i)];
            std::snprintf(stamp.text, sizeof stamp.text, "%s%d", text, i);
            stamp.font = fontNamed("Stamp", 16 + i);
            stamp.colour = 0x000100 + static_cast<uint32_t>(i);
        }
    }
    std::string WriteFile(const std::string& name, const std::string& content)
    {
        const std::string path = view.root.path() + "/" + name;
        qelta::test::writeTextFile(path, content);
        return path;
    }
    const CAnnotationItem& Last() { return *layer.Items().back(); }

    /// The one item added since `before`: undo holds its addition, the document is marked, and
    /// an undo takes it away again.
    CAnnotationItem ExpectAdded(size_t before)
    {
        EXPECT_EQ(layer.Items().size(), before + 1);
        if (layer.Items().size() != before + 1)
            return {};
        const CAnnotationItem item = Last();
        EXPECT_TRUE(view.document.IsModified());
        EXPECT_TRUE(undo.HoldsOperation());
        EXPECT_EQ(undo.HeldKind(), CUndoRecord::kAddAnnotation);
        EXPECT_TRUE(undo.Undo());
        EXPECT_EQ(layer.Items().size(), before);
        return item;
    }
    void ExpectNothingAdded(size_t before)
    {
        EXPECT_EQ(layer.Items().size(), before);
        EXPECT_FALSE(view.document.IsModified());
        EXPECT_FALSE(undo.HoldsOperation());
    }
};

TEST(StampTextTest, ExpandsDateTimeAndPercentSigns)
{
    std::tm afternoon{};
    afternoon.tm_year = 126; // 2026
    afternoon.tm_mon = 0;
    afternoon.tm_mday = 9;
    afternoon.tm_hour = 15;
    afternoon.tm_min = 5;
    afternoon.tm_sec = 9;
    std::tm morning = afternoon;
    morning.tm_year = 100; // 2000
    morning.tm_hour = 0;
    std::tm noon = afternoon;
    noon.tm_hour = 12;
    const struct {
        const char* text;
        const std::tm& when;
        const char* expected;
    } cases[] = {
        {"%%x", afternoon, "%x"},
        {"100%", afternoon, "100"},
        {"%", afternoon, ""},
        {"%y%%", afternoon, "y%"},
        {"%X", afternoon, "P.M. 15:05:09"},
        {"%X", morning, "A.M. 00:05:09"},
        {"%X", noon, "P.M. 12:05:09"},
        {"On %x.", afternoon, "On 26/01/09."},
        {"%x", morning, "00/01/09"},
        {"Paid %x %X", morning, "Paid 00/01/09 A.M. 00:05:09"},
        {"%\xC3\xA9t\xC3\xA9", afternoon, "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAnnotationLayer::ExpandStampText(c.text, c.when), c.expected) << c.text;
}

// Tools 3, 5 and 6: a quick release near the press creates nothing; a slower or larger one creates
// the item, even of zero width.
TEST_F(ToolsTest, BandCreatesAfterADragOnly)
{
    const struct {
        int tool;
        gdi::POINT to;
        uint32_t ms;
        bool creates;
        gdi::RECT rect;
    } cases[] = {
        {kAnnotMarker, {12, 11}, 100, false, {}},
        {kAnnotRectangle, {10, 10}, 0, false, {}},
        {kAnnotPaintRectangle, {8, 9}, 200, false, {}},
        {kAnnotMarker, {10, 10}, 2000, true, {10, 10, 10, 10}},
        {kAnnotRectangle, {10, 40}, 100, true, {10, 10, 10, 40}},
        {kAnnotPaintRectangle, {60, 3}, 100, true, {10, 3, 60, 10}},
        {kAnnotPaintRectangle, {-30, 900}, 100, true, {0, 10, 10, kPageH}},
        {kAnnotRectangle, {900, -5}, 100, true, {10, 0, kPageW, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tool << " to " << c.to.x << "," << c.to.y);
        view.document.SetModifiedFlag(false);
        undo.Reset();
        Band(c.tool, {10, 10}, c.to, c.ms);
        EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kNone);
        if (!c.creates) {
            ExpectNothingAdded(0);
            continue;
        }
        const CAnnotationItem item = ExpectAdded(0);
        EXPECT_EQ(item.kind, c.tool);
        EXPECT_EQ(item.rect, c.rect);
    }
}

// Every tool's item takes its style from the defaults, lies on the current page in the current
// rotation, has its geometry divided by the zoom, is on top, marks the document and can be undone.
TEST_F(ToolsTest, EachToolTakesItsStyleFromTheDefaults)
{
    view.zoom = 2.0;
    view.scroll = {5, 7};
    view.state.SetRotation(1); // the page is 300 x 400 now
    const std::string file = WriteFile("note.txt", "from a file");
    view.dialogs.openFile = file;
    SetStamp("Stamp ");
    const CAnnotationDefaults& d = view.defaults;
    const gdi::RECT band{7, 8, 27, 23}; // (10, 10)-(50, 40) scrolled, halved
    auto band3 = [&](int tool) { return [this, tool] { Band(tool, {10, 10}, {50, 40}); }; };
    auto typed = [&](int tool) {
        return [this, tool] {
            Band(tool, {10, 10}, {50, 40});
            view.editor.text = "typed";
            layer.EndTextEdit();
        };
    };
    const gdi::LOGFONTA none;
    const struct {
        std::function<void()> create;
        int kind;
        int32_t width;
        uint32_t colour;
        gdi::LOGFONTA font;
        uint32_t background;
        int32_t style;
        const char* text;
        std::optional<gdi::RECT> repainted; // in window pixels
    } cases[] = {
        {[this] { Stroke({10, 10}, {{30, 20}}, {50, 40}); }, kAnnotFreehand, d.freehandWidth, d.freehandColour,
         none, 0, 0, "", std::nullopt},
        // The band, one pixel more right and below.
        {band3(kAnnotMarker), kAnnotMarker, d.lineWidth, d.markerColour, none, 0, 0, "", gdi::RECT{10, 10, 51, 41}},
        // The band out by trunc(200 % x (width + 1)).
        {[this] { Line({50, 40}, {{10, 10}}, {10, 10}); }, kAnnotLine, d.lineWidth, d.lineColour, none, 0, 0, "",
         gdi::RECT{-2, -2, 62, 52}},
        {band3(kAnnotRectangle), kAnnotRectangle, d.rectangleWidth, d.rectangleColour, none, 0, d.rectangleStyle,
         "", gdi::RECT{-6, -6, 66, 56}},
        {band3(kAnnotPaintRectangle), kAnnotPaintRectangle, 0, d.paintColour, none, 0, 0, "",
         gdi::RECT{10, 10, 51, 41}},
        {typed(kAnnotText), kAnnotText, 0, d.textColour, d.textFont, 0, 0, "typed", std::nullopt},
        {typed(kAnnotPatchMemo), kAnnotPatchMemo, 0, d.memoTextColour, d.memoFont, d.memoColour, 0, "typed",
         std::nullopt},
        {band3(kAnnotTextFile), kAnnotTextFile, 0, d.copyTextColour, d.copyTextFont, 0, 0, "from a file",
         gdi::RECT{10, 10, 51, 41}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const size_t before = layer.Items().size();
        view.document.SetModifiedFlag(false);
        c.create();
        if (c.repainted) {
            ASSERT_FALSE(view.invalidated.empty());
            EXPECT_EQ(view.invalidated.back(), *c.repainted);
        }
        CAnnotationItem expected;
        expected.page = 1;
        expected.kind = c.kind;
        expected.width = c.width;
        expected.colour = c.colour;
        expected.background = c.background;
        expected.text = c.text;
        expected.font = c.font;
        expected.style = c.style;
        expected.rect = band;
        if (c.kind == kAnnotFreehand)
            expected.points = {{7, 8}, {17, 13}, {27, 23}};
        if (c.kind == kAnnotLine)
            std::tie(expected.x1, expected.y1, expected.x2, expected.y2) = std::make_tuple(27, 23, 7, 8);
        expected.orientation = 1;
        expected.pageWidth = kPageH;
        expected.pageHeight = kPageW;
        EXPECT_EQ(Last(), expected);
        ExpectAdded(before);
        // Each kept for the next, so that every item is created on top of others.
        c.create();
    }

    // The stamp: its own record's font and colour, at the press point.
    view.document.SetModifiedFlag(false);
    const size_t before = layer.Items().size();
    layer.PlaceStamp(10, 10);
    const gdi::RECT repainted = view.invalidated.back();
    const CAnnotationItem stamp = ExpectAdded(before);
    EXPECT_EQ(stamp.kind, kAnnotStamp);
    EXPECT_EQ(stamp.text, "Stamp 0");
    EXPECT_EQ(stamp.font, d.stamps[0].font);
    EXPECT_EQ(stamp.colour, d.stamps[0].colour);
    EXPECT_EQ(stamp.width, 0);
    EXPECT_EQ(stamp.page, 1);
    EXPECT_EQ(stamp.orientation, 1);
    EXPECT_EQ(stamp.rect.left, 7);
    EXPECT_EQ(stamp.rect.top, 8);
    // At 200 % from the press point, one pixel more right and below.
    EXPECT_EQ(repainted.left, 10);
    EXPECT_EQ(repainted.top, 10);
    EXPECT_NEAR(repainted.right, 10 + 2 * (stamp.rect.right - stamp.rect.left) + 1, 1);
}

// Lines need no drag; their ends stay on the page. Freehand skips repeated points and clips.
TEST_F(ToolsTest, LinesAndStrokesKeepTheirPointsOnThePage)
{
    layer.LinePress(20, 30);
    EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kLine);
    layer.LineRelease(20, 30);
    CAnnotationItem line = ExpectAdded(0);
    EXPECT_EQ(std::tie(line.x1, line.y1, line.x2, line.y2), std::make_tuple(20, 30, 20, 30));
    EXPECT_EQ(line.rect, (gdi::RECT{20, 30, 20, 30}));
    EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kNone);

    view.document.SetModifiedFlag(false);
    Line({20, 30}, {{500, -40}}, {500, -40});
    line = ExpectAdded(0);
    EXPECT_EQ(std::tie(line.x1, line.y1, line.x2, line.y2), std::make_tuple(20, 30, kPageW, 0));

    // At 200 %, (21, 20) and (20, 20) are two points on screen and one on the page: both are kept
    // as drawn; returning to the same window point adds none.
    view.zoom = 2.0;
    view.document.SetModifiedFlag(false);
    Stroke({20, 20}, {{20, 20}, {21, 20}, {21, 20}, {21, 20}, {40, 30}, {-9, 1000}, {-9, 1000}}, {-9, 1000});
    const CAnnotationItem stroke = ExpectAdded(0);
    const std::vector<CAnnotationPoint> points{{10, 10}, {10, 10}, {20, 15}, {0, kPageH}};
    EXPECT_EQ(stroke.points, points);
    EXPECT_EQ(stroke.rect, (gdi::RECT{0, 10, 20, kPageH}));
}

// Copy text from file: the dialog, at most 65,536 bytes, and each failure's message with nothing
// created.
TEST_F(ToolsTest, TextFromAFile)
{
    std::string big(70000, 'a');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    const struct {
        const char* name;
        std::optional<std::string> path;
        const char* message;
        std::string text;
    } cases[] = {
        {"large", WriteFile("large.txt", big), nullptr, big.substr(0, 65536)},
        {"short", WriteFile("short.TXT", "two\r\nlines"), nullptr, "two\r\nlines"},
        {"zero byte", WriteFile("zero.txt", std::string("ab\0cd", 5)), nullptr, "ab"},
        {"cancelled", std::nullopt, nullptr, ""},
        {"empty", WriteFile("empty.txt", ""), "Incorrect file size", ""},
        {"missing", view.root.path() + "/missing.txt", "Cannot open file", ""},
        {"folder", view.root.path(), "Cannot open file", ""},
        {"unreadable", std::string("/proc/self/mem"), "Cannot read file", ""},
    };
    view.lastDirectory = "/some/folder";
    view.prompter.expectedCaption = "Select text file";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.document.SetModifiedFlag(false);
        undo.Reset();
        view.dialogs.openFile = c.path;
        if (c.message)
            view.prompter.script.emplace_back(c.message, IDOK);
        Band(kAnnotTextFile, {10, 10}, {90, 50});
        EXPECT_TRUE(view.prompter.script.empty());
        EXPECT_EQ(view.dialogs.captions.back(), "Select text file");
        EXPECT_EQ(view.dialogs.openFilter, "Text File (*.TXT)|*.TXT|All Files (*.*)|*.*|");
        EXPECT_EQ(view.dialogs.openFolder, "/some/folder");
        if (c.message) {
            EXPECT_EQ(view.prompter.flagsShown.back(), unsigned{MB_OK | MB_ICONEXCLAMATION});
        }
        if (!c.path || c.message) {
            ExpectNothingAdded(0);
            continue;
        }
        EXPECT_EQ(ExpectAdded(0).text, c.text);
    }
}

// Texts written in place: the editor's placement and font, and what ending the edit keeps.
TEST_F(ToolsTest, TextEditKeepsOnlyAChangedText)
{
    view.zoom = 2.0;
    view.scroll = {4, 6};
    // The band follows the pointer within the page (800 x 600 at 200 %), drawn in window pixels.
    layer.BandPress(10, 10);
    view.tick += 1000;
    layer.BandMove(2000, -50);
    EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kRectangle);
    EXPECT_EQ(layer.Overlay().rect, (gdi::RECT{10, -6, 800 - 4, 10}));
    layer.BandMove(90, 50);
    EXPECT_EQ(layer.Overlay().rect, (gdi::RECT{10, 10, 90, 50}));
    ASSERT_TRUE(layer.BandRelease(90, 50));
    EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kNone);
    layer.CreateFromBand(kAnnotText);
    EXPECT_TRUE(view.editor.visible);
    EXPECT_EQ(view.editor.rect, (gdi::RECT{10, 10, 90, 50}));
    EXPECT_EQ(view.editor.text, "");
    EXPECT_EQ(view.editor.font.lfHeight, 24 * 200 / 96 * 2);
    EXPECT_EQ(view.editor.colour, view.defaults.textColour);

    // An empty text, and a text dropped by Escape (the editor hidden first), create nothing.
    layer.EndTextEdit();
    EXPECT_FALSE(view.editor.visible);
    ExpectNothingAdded(0);
    Band(kAnnotPatchMemo, {10, 10}, {90, 50});
    EXPECT_EQ(view.editor.font.lfHeight, -12 * 200 / 96 * 2);
    view.editor.text = "dropped";
    view.editor.visible = false;
    layer.EndTextEdit();
    ExpectNothingAdded(0);

    // An existing text at rotation 1: the editor over its turned place, with its own width and
    // height; its text changes in place.
    CAnnotationItem memo = makeItem(1, kAnnotPatchMemo, {10, 20, 50, 30}, kPageW, kPageH);
    memo.font = fontNamed("Memo", 48);
    memo.text = "before";
    const int index = Add(memo);
    view.state.SetRotation(1);
    const struct {
        const char* typed;
        bool changes;
    } cases[] = {{"before", false}, {"after", true}, {"", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        view.document.SetModifiedFlag(false);
        const std::string old = layer.Items()[0]->text;
        layer.OpenEditor(index);
        EXPECT_EQ(undo.HeldKind(), CUndoRecord::kChangeAnnotation);
        // Turned by 270 into the 300 x 400 page: (20, 350)-(30, 390), at 200 %, less the scroll.
        EXPECT_EQ(view.editor.rect, (gdi::RECT{40 - 4, 700 - 6, 40 - 4 + 80, 700 - 6 + 20}));
        EXPECT_EQ(view.editor.text, old);
        EXPECT_EQ(view.editor.font.lfHeight, 48 * 200 / 96 * 2);
        view.editor.text = c.typed;
        layer.EndTextEdit();
        EXPECT_EQ(layer.Items().size(), 1u);
        EXPECT_EQ(layer.Items()[0]->text, c.typed);
        EXPECT_EQ(view.document.IsModified(), c.changes);
        if (c.changes) {
            EXPECT_TRUE(undo.Undo());
            EXPECT_EQ(layer.Items()[0]->text, old);
            layer.Items()[0]->text = c.typed;
        }
    }
    // Other kinds are not edited in place.
    const int line = Add(makeItem(1, kAnnotLine, {1, 2, 3, 4}));
    view.editor.calls.clear();
    layer.OpenEditor(line);
    EXPECT_TRUE(view.editor.calls.empty());
}

// Stamps: nothing without stamps; the current one clamped; the size of the text (+ 20 %) at the
// zoom, within the page, stored at 100 %.
TEST_F(ToolsTest, StampsAreSizedByTheirTextAndKeptOnThePage)
{
    layer.PlaceStamp(10, 10);
    ExpectNothingAdded(0);

    SetStamp("No.%% ", 2, 7);
    layer.PlaceStamp(10, 10);
    EXPECT_EQ(view.defaults.currentStamp, 1);
    const CAnnotationItem at100 = ExpectAdded(0);
    EXPECT_EQ(at100.font, view.defaults.stamps[1].font);
    EXPECT_EQ(at100.colour, view.defaults.stamps[1].colour);
    EXPECT_EQ(at100.text, "No.% 1");
    const int w = at100.rect.right - at100.rect.left, h = at100.rect.bottom - at100.rect.top;
    // The font's 17 pixels at 96 dpi are 35 page pixels: a cell of at most that, with a fifth more.
    EXPECT_GE(h, 36);
    EXPECT_LE(h, 42);
    EXPECT_GT(w, h);
    EXPECT_LT(10 + w, kPageW);

    const struct {
        double zoom;
        gdi::POINT at;
        gdi::RECT expected;
    } cases[] = {
        {2.0, {20, 20}, {10, 10, 10 + w, 10 + h}},
        {0.5, {5, 5}, {10, 10, 10 + w, 10 + h}},
        {1.0, {kPageW - 20, kPageH - 5}, {kPageW - 20, kPageH - 5, kPageW, kPageH}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoom);
        view.zoom = c.zoom;
        view.document.SetModifiedFlag(false);
        layer.PlaceStamp(c.at.x, c.at.y);
        const gdi::RECT r = ExpectAdded(0).rect;
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_NEAR(r.right, c.expected.right, 2);
        EXPECT_NEAR(r.bottom, c.expected.bottom, 2);
    }
}

} // namespace
} // namespace viewer_test
