// Selecting and editing annotations: the segment test, handles, the select drag at every rotation,
// clicks, z-order, the right-click forms, properties and the page view's annotation commands.
#include "viewer/tests/annotation_test_support.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <tuple>

namespace viewer_test {
namespace {

constexpr int kW = 200, kH = 100; // the pages' size at orientation 0

// Five 200 x 100 pages, the Select pointer current, page 0 shown.
class SelectTest : public AnnotationTest {
protected:
    SelectTest() : AnnotationTest(5, kW, kH) { view.state.SetTool(kToolSelect); }

    int AddKind(int kind, gdi::RECT rect, int page = 0) { return Add(makeItem(page, kind, rect, kW, kH)); }
    CAnnotationItem& Item(int index) { return *layer.Items().at(static_cast<size_t>(index)); }
    // The item's rectangle as shown now (window pixels without scroll).
    gdi::RECT Shown(int index)
    {
        const auto [w, h] = SizeInOrientation(kW, kH, view.state.GetRotation());
        return ScreenRectOf(Item(index), view.state.GetRotation(), w, h, view.zoom);
    }
    // A press and a release later than the double-click time.
    void Drag(int index, gdi::POINT from, gdi::POINT to)
    {
        ASSERT_EQ(layer.SelectPress(from.x, from.y, index), 1);
        layer.SelectMove((from.x + to.x) / 2, (from.y + to.y) / 2);
        view.tick += 1000;
        layer.SelectMove(to.x, to.y);
        layer.SelectRelease(to.x, to.y);
    }
    std::vector<int> Lefts() const
    {
        std::vector<int> lefts;
        for (const auto& item : layer.Items())
            lefts.push_back(item->rect.left);
        return lefts;
    }
    void ExpectChangeRecorded(int kind)
    {
        EXPECT_TRUE(undo.HoldsOperation());
        EXPECT_EQ(undo.HeldKind(), kind);
        EXPECT_TRUE(view.document.IsModified());
    }
    void ExpectNothingRecorded()
    {
        EXPECT_FALSE(undo.HoldsOperation());
        EXPECT_FALSE(view.document.IsModified());
    }
};

TEST(SegmentHitTest, HorizontalVerticalAndDiagonalAtSeveralTolerances)
{
    struct Case {
        gdi::POINT a, b, p;
        int tolerance;
        bool hit;
    };
    const Case cases[] = {
        // Horizontal: within t + 8 across, and t + 8 past either end.
        {{0, 0}, {100, 0}, {50, 0}, 1, true},
        {{0, 0}, {100, 0}, {50, 9}, 1, true},
        {{0, 0}, {100, 0}, {50, 10}, 1, false},
        {{0, 0}, {100, 0}, {50, -13}, 5, true},
        {{0, 0}, {100, 0}, {50, -14}, 5, false},
        {{0, 0}, {100, 0}, {109, 0}, 1, true},
        {{0, 0}, {100, 0}, {110, 0}, 1, false},
        // Vertical, drawn upwards.
        {{0, 100}, {0, 0}, {9, 50}, 1, true},
        {{0, 100}, {0, 0}, {10, 50}, 1, false},
        {{0, 100}, {0, 0}, {-28, 50}, 20, true},
        {{0, 100}, {0, 0}, {0, 129}, 20, false},
        // Diagonal: on the line, within the slanted band, outside it, past the end.
        {{0, 0}, {100, 100}, {50, 50}, 1, true},
        {{0, 0}, {100, 100}, {60, 40}, 1, true},
        {{0, 0}, {100, 100}, {70, 30}, 1, false},
        {{0, 0}, {100, 100}, {70, 30}, 20, true},
        {{0, 0}, {100, 100}, {120, 120}, 1, false},
        {{100, 100}, {0, 0}, {70, 30}, 1, false},
        // A segment of one point is a small square.
        {{5, 5}, {5, 5}, {12, 5}, 0, true},
        // Coordinates of a large page at 400 % do not overflow.
        {{0, 0}, {40000, 30000}, {20000, 15000}, 4, true},
        {{0, 0}, {40000, 30000}, {20000, 25000}, 4, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SegmentHit(c.a, c.b, c.p, c.tolerance), c.hit)
            << "(" << c.a.x << "," << c.a.y << ")-(" << c.b.x << "," << c.b.y << ") at (" << c.p.x << "," << c.p.y
            << ") t " << c.tolerance;
}

TEST_F(SelectTest, HandleCodesByKindRotationZoomAndScroll)
{
    const int rectangle = AddKind(kAnnotRectangle, {20, 20, 100, 60});
    const int freehand = AddKind(kAnnotFreehand, {20, 20, 100, 60});
    const int line = AddKind(kAnnotLine, {20, 20, 100, 60});
    const int other = AddKind(kAnnotRectangle, {20, 20, 100, 60}, 1);
    struct Case {
        int index, rotation;
        double zoom;
        gdi::POINT scroll, p;
        int code;
    };
    const Case cases[] = {
        {rectangle, 0, 1.0, {}, {20, 20}, 2},   {rectangle, 0, 1.0, {}, {60, 20}, 3},
        {rectangle, 0, 1.0, {}, {100, 20}, 4},  {rectangle, 0, 1.0, {}, {20, 40}, 5},
        {rectangle, 0, 1.0, {}, {100, 40}, 6},  {rectangle, 0, 1.0, {}, {20, 60}, 7},
        {rectangle, 0, 1.0, {}, {60, 60}, 8},   {rectangle, 0, 1.0, {}, {100, 60}, 9},
        {rectangle, 0, 1.0, {}, {50, 30}, 10},  {rectangle, 0, 1.0, {}, {150, 80}, -1},
        // The squares reach 3 pixels before and 4 after the centre (the far edge excluded).
        {rectangle, 0, 1.0, {}, {17, 17}, 2},   {rectangle, 0, 1.0, {}, {16, 16}, -1},
        {rectangle, 0, 1.0, {}, {103, 63}, 9},  {rectangle, 0, 1.0, {}, {104, 63}, -1},
        // Turned and zoomed: at rotation 1 the rectangle shows at (20, 100, 60, 180), doubled.
        {rectangle, 1, 2.0, {}, {40, 200}, 2},  {rectangle, 1, 2.0, {}, {120, 360}, 9},
        {rectangle, 1, 2.0, {}, {40, 40}, -1},  {rectangle, 2, 1.0, {}, {180, 80}, 9},
        {rectangle, 0, 1.0, {10, 5}, {10, 15}, 2},
        // A stroke is moved by any handle, never resized.
        {freehand, 0, 1.0, {}, {20, 20}, 10},   {freehand, 0, 1.0, {}, {100, 40}, 10},
        {freehand, 0, 1.0, {}, {60, 40}, 10},   {freehand, 0, 1.0, {}, {150, 40}, -1},
        // A line: its ends, then its segment.
        {line, 0, 1.0, {}, {20, 20}, 0},        {line, 0, 1.0, {}, {100, 60}, 1},
        {line, 0, 1.0, {}, {60, 40}, 10},       {line, 0, 1.0, {}, {60, 10}, -1},
        {line, 0, 1.0, {}, {100, 20}, -1},      {line, 1, 1.0, {}, {20, 180}, 0},
        // An item of another page has no handles here.
        {other, 0, 1.0, {}, {50, 30}, -1},      {-1, 0, 1.0, {}, {50, 30}, -1},
    };
    for (const Case& c : cases) {
        view.state.SetRotation(c.rotation);
        view.zoom = c.zoom;
        view.scroll = c.scroll;
        EXPECT_EQ(layer.HitHandle(c.p.x, c.p.y, c.index), c.code)
            << "item " << c.index << " rotation " << c.rotation << " at (" << c.p.x << "," << c.p.y << ")";
    }
}

TEST_F(SelectTest, HitItemTakesTheTopmostDrawnItemOfTheCurrentPage)
{
    CAnnotationItem dot = makeItem(0, kAnnotFreehand, {150, 50, 150, 50}, kW, kH);
    dot.points = {{150, 50}};
    Add(dot);                                                   // 0: one point cannot be hit
    AddKind(kAnnotRectangle, {10, 10, 60, 60});                 // 1
    AddKind(kAnnotPaintRectangle, {40, 40, 90, 90});            // 2: over 1
    AddKind(11, {0, 0, 200, 100});                              // 3: an unknown kind is kept, never hit
    AddKind(kAnnotMarker, {0, 0, 200, 100}, 1);                 // 4: another page
    CAnnotationItem stroke = makeItem(0, kAnnotFreehand, {100, 10, 180, 30}, kW, kH);
    stroke.points = {{100, 10}, {180, 10}, {180, 30}};
    Add(stroke);                                                // 5
    const std::pair<gdi::POINT, int> cases[] = {
        {{20, 20}, 1}, {{50, 50}, 2}, {{150, 50}, -1}, {{195, 95}, -1},
        {{140, 12}, 5}, {{140, 25}, -1}, {{182, 20}, 5},
    };
    for (const auto& [p, index] : cases)
        EXPECT_EQ(layer.HitItem(p.x, p.y), index) << p.x << "," << p.y;
    view.state.SetCurrentPage(1);
    EXPECT_EQ(layer.HitItem(20, 20), 4);
}

TEST_F(SelectTest, DragsAtEveryRotationWriteTheGeometryBackIntoTheItemsFrame)
{
    struct Case {
        const char* name;
        int kind, rotation;
        double zoom;
        gdi::POINT from, to;
        gdi::RECT shown;        // the rectangle shown afterwards
        gdi::RECT own;          // in the item's own frame (orientation 0)
    };
    const Case cases[] = {
        {"move", kAnnotRectangle, 0, 1.0, {50, 30}, {60, 45}, {30, 35, 110, 75}, {30, 35, 110, 75}},
        {"move kept on the page", kAnnotRectangle, 0, 1.0, {50, 30}, {300, 10}, {120, 0, 200, 40}, {120, 0, 200, 40}},
        {"move turned", kAnnotText, 1, 1.0, {40, 140}, {50, 150}, {30, 110, 70, 190}, {10, 30, 90, 70}},
        {"move at 200 % keeps the size", kAnnotStamp, 3, 2.0, {100, 100}, {111, 91}, {90, 32, 170, 192},
         {16, 15, 96, 55}},
        {"corner resize", kAnnotMarker, 2, 1.0, {180, 80}, {190, 90}, {100, 40, 190, 90}, {10, 10, 100, 60}},
        {"corner crossing its anchor", kAnnotRectangle, 0, 1.0, {100, 60}, {5, 5}, {5, 5, 20, 20}, {5, 5, 20, 20}},
        {"edge resize", kAnnotPatchMemo, 3, 1.0, {60, 20}, {70, 5}, {40, 5, 80, 100}, {5, 20, 100, 60}},
        {"edge clipped to the page", kAnnotRectangle, 0, 1.0, {100, 40}, {250, 45}, {20, 20, 200, 60},
         {20, 20, 200, 60}},
        {"freehand corner moves", kAnnotFreehand, 0, 1.0, {20, 20}, {30, 25}, {30, 25, 110, 65}, {30, 25, 110, 65}},
        {"freehand turned", kAnnotFreehand, 1, 1.0, {20, 180}, {30, 170}, {30, 90, 70, 170}, {30, 30, 110, 70}},
        {"line moved by its segment", kAnnotLine, 2, 1.0, {140, 60}, {130, 70}, {90, 50, 170, 90}, {30, 10, 110, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        layer.Items().clear();
        undo.Reset();
        view.document.SetModifiedFlag(false);
        view.state.SetRotation(c.rotation);
        view.zoom = c.zoom;
        const int index = AddKind(c.kind, {20, 20, 100, 60});
        const CAnnotationItem before = Item(index);
        Drag(index, c.from, c.to);
        EXPECT_EQ(Shown(index), c.shown);
        EXPECT_EQ(Item(index).rect, c.own);
        EXPECT_EQ(Item(index).orientation, 0);
        if (c.kind == kAnnotFreehand) {
            EXPECT_EQ(Item(index).points.front().x - before.points.front().x, c.own.left - before.rect.left);
            EXPECT_EQ(Item(index).points.back().y - before.points.back().y, c.own.top - before.rect.top);
        }
        if (c.kind == kAnnotLine) {
            EXPECT_EQ(Item(index).x1 - before.x1, c.own.left - before.rect.left);
            EXPECT_EQ(Item(index).y2 - before.y2, c.own.top - before.rect.top);
        }
        EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kNone);
        ExpectChangeRecorded(CUndoRecord::kChangeAnnotation);
    }
}

TEST_F(SelectTest, ALinesEndDragKeepsTheFixedEndFirst)
{
    struct Case {
        int rotation;
        gdi::POINT from, to;
        CAnnotationPoint first, second;
    };
    const Case cases[] = {
        {0, {20, 20}, {30, 10}, {100, 60}, {30, 10}},    // the start handle
        {0, {100, 60}, {150, 90}, {20, 20}, {150, 90}},  // the end handle
        {1, {20, 180}, {30, 150}, {100, 60}, {50, 30}},  // the start handle, turned
        {2, {180, 80}, {190, 95}, {100, 60}, {10, 5}},
        {3, {40, 100}, {150, 250}, {20, 20}, {200, 0}},  // the end handle, clipped to the page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        layer.Items().clear();
        view.state.SetRotation(c.rotation);
        const int index = AddKind(kAnnotLine, {20, 20, 100, 60});
        Drag(index, c.from, c.to);
        const CAnnotationItem& item = Item(index);
        EXPECT_EQ((CAnnotationPoint{item.x1, item.y1}), c.first);
        EXPECT_EQ((CAnnotationPoint{item.x2, item.y2}), c.second);
        EXPECT_EQ(item.rect.left, std::min(c.first.x, c.second.x));
        EXPECT_EQ(item.rect.bottom, std::max(c.first.y, c.second.y));
        ExpectChangeRecorded(CUndoRecord::kChangeAnnotation);
    }
}

TEST_F(SelectTest, AClickOnAHandleChangesNothingAndRecordsNoUndo)
{
    const int rectangle = AddKind(kAnnotRectangle, {20, 20, 100, 60});
    const int line = AddKind(kAnnotLine, {20, 20, 100, 60}, 0);
    const struct {
        int index;
        gdi::POINT press, release;
    } cases[] = {
        {rectangle, {100, 60}, {100, 60}}, {rectangle, {50, 30}, {51, 31}}, {line, {20, 20}, {21, 21}},
    };
    for (const auto& c : cases) {
        const CAnnotationItem before = Item(c.index);
        ASSERT_EQ(layer.SelectPress(c.press.x, c.press.y, c.index), 1);
        layer.SelectMove(c.release.x, c.release.y);
        view.tick += 100;
        layer.SelectRelease(c.release.x, c.release.y);
        EXPECT_EQ(Item(c.index), before);
        EXPECT_EQ(layer.Overlay().shape, CToolOverlay::kNone);
        ExpectNothingRecorded();
    }
    // A press off the item starts nothing.
    EXPECT_EQ(layer.SelectPress(150, 90, rectangle), 0);
    layer.SelectRelease(150, 90);
    ExpectNothingRecorded();
}

TEST_F(SelectTest, ZOrderMovesOnlyPastOverlappingItemsOfTheSamePage)
{
    struct Case {
        const char* name;
        int id, selected;
        std::vector<int> order; // items named by their left edge
        int selection;
        bool recorded;
    };
    // Left edges name the items: 10 and 30 overlap, 120 overlaps neither, 11 lies on page 1.
    const Case cases[] = {
        {"front past the overlapping item", 59400, 0, {120, 30, 10, 11}, 2, true},
        {"front without overlap", 59400, 1, {10, 120, 30, 11}, 1, false},
        {"front of the top item of its page", 59400, 2, {10, 120, 30, 11}, 2, false},
        {"back past the overlapping item", 59401, 2, {30, 10, 120, 11}, 0, true},
        {"back without overlap", 59401, 1, {10, 120, 30, 11}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        layer.Items().clear();
        undo.Reset();
        view.document.SetModifiedFlag(false);
        AddKind(kAnnotRectangle, {10, 10, 50, 50});
        AddKind(kAnnotRectangle, {120, 10, 150, 50});
        AddKind(kAnnotPaintRectangle, {30, 30, 80, 80});
        AddKind(kAnnotRectangle, {11, 10, 50, 50}, 1);
        layer.Select(c.selected);
        EXPECT_TRUE(layer.OnCommand(c.id));
        EXPECT_EQ(Lefts(), c.order);
        EXPECT_EQ(view.state.GetSelected(), c.selection);
        if (c.recorded) {
            ExpectChangeRecorded(c.id == 59400 ? CUndoRecord::kBringToFront : CUndoRecord::kSendToBack);
            EXPECT_TRUE(undo.Undo());
            EXPECT_EQ(Lefts(), (std::vector<int>{10, 120, 30, 11}));
        } else {
            ExpectNothingRecorded();
        }
    }
}

TEST_F(SelectTest, RightClickFormsActOnTheRememberedItemAndLeaveNoSelection)
{
    struct Case {
        int id;
        std::function<void()> check;
    };
    const Case cases[] = {
        {163, [this] { EXPECT_TRUE(view.editor.visible); }},
        {164,
         [this] {
             EXPECT_EQ(layer.Items().size(), 2u);
             EXPECT_TRUE(view.clipboard.block.has_value());
             ExpectChangeRecorded(CUndoRecord::kDeleteAnnotation);
         }},
        {165,
         [this] {
             EXPECT_EQ(layer.Items().size(), 3u);
             EXPECT_TRUE(view.clipboard.block.has_value());
             ExpectNothingRecorded();
         }},
        {166,
         [this] {
             EXPECT_EQ(Lefts(), (std::vector<int>{120, 30, 10}));
             EXPECT_EQ(view.state.GetRemembered(), 2);
             ExpectChangeRecorded(CUndoRecord::kBringToFront);
         }},
        {167, [this] { ExpectNothingRecorded(); }},
        {168,
         [this] {
             EXPECT_EQ(Item(0).colour, 0x0000FFu);
             ExpectChangeRecorded(CUndoRecord::kChangeAnnotation);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        layer.Items().clear();
        undo.Reset();
        view.document.SetModifiedFlag(false);
        view.clipboard.block.reset();
        view.editor.visible = false;
        view.dialogs.font = std::pair{gdi::LOGFONTA{}, 0x0000FFu};
        AddKind(kAnnotText, {10, 10, 50, 50});
        AddKind(kAnnotRectangle, {120, 10, 150, 50});
        AddKind(kAnnotPaintRectangle, {30, 30, 80, 80});
        view.state.SetTool(kAnnotText);
        view.state.SetRemembered(0);
        CCmdUI ui;
        ASSERT_TRUE(layer.OnUpdateCommand(c.id, ui));
        EXPECT_TRUE(ui.enabled);
        EXPECT_TRUE(layer.OnCommand(c.id));
        EXPECT_EQ(view.state.GetSelected(), -1);
        c.check();
    }
}

TEST_F(SelectTest, PropertiesOfEachKindUseItsDialogAndCaption)
{
    gdi::LOGFONTA font;
    font.lfHeight = -20;
    std::strcpy(font.lfFaceName, "Serif");
    view.dialogs.lineStyle = std::pair{7, 0x008000u};
    view.dialogs.colour = 0x800000u;
    view.dialogs.font = std::pair{font, 0x0000FFu};
    view.dialogs.colourFont = std::tuple{0x00FFFFu, font, 0x000080u};
    struct Case {
        int kind;
        const char* caption;
        bool noWhite;
        std::function<void(const CAnnotationItem&)> check;
    };
    const auto lineStyle = [](const CAnnotationItem& i) {
        EXPECT_EQ(i.width, 7);
        EXPECT_EQ(i.colour, 0x008000u);
    };
    const auto colour = [](const CAnnotationItem& i) { EXPECT_EQ(i.colour, 0x800000u); };
    const auto fontCheck = [font](const CAnnotationItem& i) {
        EXPECT_EQ(i.font, font);
        EXPECT_EQ(i.colour, 0x0000FFu);
    };
    const Case cases[] = {
        {kAnnotFreehand, "Freehand Properties", false, lineStyle},
        {kAnnotMarker, "Marker Properties", true, colour},
        {kAnnotLine, "Line Properties", false, lineStyle},
        {kAnnotRectangle, "Rectangle Properties", false, lineStyle},
        {kAnnotPaintRectangle, "Paint Rectangle Properties", false, colour},
        {kAnnotText, "Text Properties", false, fontCheck},
        {kAnnotPatchMemo, "Patch Memo Properties", false,
         [font](const CAnnotationItem& i) {
             EXPECT_EQ(i.background, 0x00FFFFu);
             EXPECT_EQ(i.font, font);
             EXPECT_EQ(i.colour, 0x000080u);
         }},
        {kAnnotTextFile, "Copy text from file Properties", false, fontCheck},
        {kAnnotStamp, "Stamp Properties", false, fontCheck},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        layer.Items().clear();
        undo.Reset();
        view.document.SetModifiedFlag(false);
        view.dialogs.captions.clear();
        view.dialogs.colourWithoutWhite = false;
        layer.Select(AddKind(c.kind, {20, 20, 100, 60}));
        EXPECT_TRUE(layer.OnCommand(59402));
        EXPECT_EQ(view.dialogs.captions, std::vector<std::string>{c.caption});
        EXPECT_EQ(view.dialogs.colourWithoutWhite, c.noWhite);
        c.check(Item(0));
        EXPECT_EQ(view.state.GetSelected(), 0);
        ExpectChangeRecorded(CUndoRecord::kChangeAnnotation);
    }
    // Cancel changes nothing and records nothing.
    layer.Items().clear();
    undo.Reset();
    view.document.SetModifiedFlag(false);
    view.dialogs.lineStyle.reset();
    layer.Select(AddKind(kAnnotLine, {20, 20, 100, 60}));
    const CAnnotationItem before = Item(0);
    EXPECT_FALSE(layer.Properties(0));
    EXPECT_EQ(Item(0), before);
    ExpectNothingRecorded();
}

TEST_F(SelectTest, SelectShowsTheKindInTheStatusBarAndRepaintsOldAndNew)
{
    const int text = AddKind(kAnnotText, {20, 20, 100, 60});
    const int memo = AddKind(kAnnotPatchMemo, {120, 20, 160, 60});
    const int elsewhere = AddKind(kAnnotStamp, {20, 20, 100, 60}, 2);
    layer.Select(text);
    layer.Select(memo);
    const size_t before = view.invalidated.size();
    layer.Select(elsewhere);
    layer.Select(-1);
    EXPECT_EQ(view.StatusTexts(0),
              (std::vector<std::string>{"Text", "Patch Memo", "Press F1 to display Help.", "Press F1 to display Help."}));
    // Leaving the memo repaints its area with the handles' margins; the other page's item is not shown.
    ASSERT_EQ(view.invalidated.size(), before + 1);
    EXPECT_EQ(view.invalidated[before], (gdi::RECT{117, 17, 164, 64}));
    EXPECT_EQ(view.state.GetSelected(), -1);
}

TEST_F(SelectTest, CommandRulesFollowTheEditorThenTheSelection)
{
    const int text = AddKind(kAnnotText, {20, 20, 100, 60});
    AddKind(kAnnotRectangle, {20, 20, 100, 60}, 1);
    AddKind(kAnnotRectangle, {20, 20, 100, 60});
    const int level = AddKind(kAnnotLine, {20, 70, 100, 70}), upright = AddKind(kAnnotLine, {30, 10, 30, 90});
    struct Case {
        const char* name;
        std::function<void()> setup;
        int id;
        bool enabled;
    };
    const auto selected = [this, text] { layer.Select(text); };
    const Case cases[] = {
        {"cut without a selection", [] {}, ID_EDIT_CUT, false},
        {"cut", selected, ID_EDIT_CUT, true},
        {"copy of another page's item",
         [this] { view.state.SetSelected(1); }, ID_EDIT_COPY, false},
        {"cut with another tool", [&] { selected(); view.state.SetTool(2); }, ID_EDIT_CUT, false},
        {"cut with annotations hidden",
         [&] { selected(); view.state.SetHideAnnotations(1); }, ID_EDIT_CUT, false},
        {"cut without editing", [&] { selected(); view.state.SetEditingAllowed(0); }, ID_EDIT_CUT,
         false},
        {"editor cut without its selection",
         [&] { selected(); view.editor.visible = true; }, ID_EDIT_CUT, false},
        {"editor copy", [this] { view.editor.visible = view.editor.selection = true; }, ID_EDIT_COPY,
         true},
        {"editor paste of text", [this] { view.editor.visible = view.clipboard.text = true; },
         ID_EDIT_PASTE, true},
        {"paste without a block", [] {}, ID_EDIT_PASTE, false},
        {"paste with a block, any tool",
         [this] {
             view.clipboard.block = ToClipboardBlock(makeItem(0, kAnnotMarker, {0, 0, 5, 5}));
             view.state.SetTool(3);
         },
         ID_EDIT_PASTE, true},
        {"paste with the clipboard busy",
         [this] {
             view.clipboard.block = ToClipboardBlock(makeItem(0, kAnnotMarker, {0, 0, 5, 5}));
             view.clipboard.openable = false;
         },
         ID_EDIT_PASTE, false},
        {"undo with nothing held", [] {}, ID_EDIT_UNDO, false},
        {"undo held but not modified", [this] { undo.Record(CUndoRecord::kAddAnnotation, 0); },
         ID_EDIT_UNDO, false},
        {"undo",
         [this] {
             undo.Record(CUndoRecord::kAddAnnotation, 0);
             view.document.SetModifiedFlag(true);
         },
         ID_EDIT_UNDO, true},
        {"editor undo", [this] { view.editor.visible = view.editor.canUndo = true; }, ID_EDIT_UNDO, true},
        {"edit text", selected, 59399, true},
        {"properties", selected, 59402, true},
        {"front", selected, 59400, true},
        {"tool defaults with select", [] {}, 59398, false},
        {"tool defaults with stamp", [this] { view.state.SetTool(kToolStamp); }, 59398, true},
        {"stamp choice without stamps", [this] { view.state.SetTool(kToolStamp); }, 32900, false},
        {"remembered cut without one", [] {}, 164, false},
        {"remembered cut", [this] { view.state.SetRemembered(2); }, 164, true},
        {"remembered cut of another page's item", [this] { view.state.SetRemembered(1); }, 164, false},
        {"remembered edit of a rectangle", [this] { view.state.SetRemembered(2); }, 163, false},
        // A level or upright line has no clipboard picture to give.
        {"cut of a level line", [&] { layer.Select(level); }, ID_EDIT_CUT, false},
        {"copy of an upright line", [&] { layer.Select(upright); }, ID_EDIT_COPY, false},
        {"remembered copy of a level line", [&] { view.state.SetRemembered(level); }, 165, false},
        {"properties of a level line", [&] { layer.Select(level); }, 59402, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.state.SetSelected(-1);
        view.state.SetRemembered(-1);
        view.state.SetTool(kToolSelect);
        view.state.SetHideAnnotations(0);
        view.state.SetEditingAllowed(1);
        view.editor = FakeEditor{};
        view.clipboard.block.reset();
        view.clipboard.openable = true;
        view.clipboard.text = false;
        undo.Reset();
        view.document.SetModifiedFlag(false);
        c.setup();
        CCmdUI ui;
        ASSERT_TRUE(layer.OnUpdateCommand(c.id, ui));
        EXPECT_EQ(ui.enabled, c.enabled);
    }
    CCmdUI ui;
    EXPECT_FALSE(layer.OnUpdateCommand(ID_VIEW_FIT, ui));
    EXPECT_FALSE(layer.OnCommand(ID_PAGE_NEXT));
}

TEST_F(SelectTest, CutCopyAndPasteThroughTheCommands)
{
    const int marker = AddKind(kAnnotMarker, {20, 20, 100, 60});
    layer.Select(marker);
    // A clipboard that cannot be opened cuts nothing.
    view.clipboard.openable = false;
    EXPECT_TRUE(layer.OnCommand(ID_EDIT_CUT));
    EXPECT_EQ(layer.Items().size(), 1u);
    EXPECT_EQ(view.state.GetSelected(), marker);
    ExpectNothingRecorded();
    view.clipboard.openable = true;
    EXPECT_TRUE(layer.OnCommand(ID_EDIT_COPY));
    ASSERT_TRUE(view.clipboard.block.has_value());
    EXPECT_FALSE(view.document.IsModified());
    EXPECT_TRUE(layer.OnCommand(ID_EDIT_CUT));
    EXPECT_TRUE(layer.Items().empty());
    EXPECT_EQ(view.state.GetSelected(), -1);
    ExpectChangeRecorded(CUndoRecord::kDeleteAnnotation);
    view.document.SetModifiedFlag(false);
    EXPECT_TRUE(layer.OnCommand(ID_EDIT_PASTE));
    ASSERT_EQ(layer.Items().size(), 1u);
    EXPECT_EQ(Item(0).rect, (gdi::RECT{0, 0, 80, 40}));
    ExpectChangeRecorded(CUndoRecord::kAddAnnotation);
    // With the editor open the commands are the editor's.
    view.editor.visible = true;
    for (const int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE})
        EXPECT_TRUE(layer.OnCommand(id));
    EXPECT_EQ(view.editor.calls, (std::vector<std::string>{"undo", "cut", "copy", "paste"}));
    EXPECT_EQ(layer.Items().size(), 1u);
}

TEST_F(SelectTest, ToolDefaultsAndTheStampChoice)
{
    view.dialogs.lineStyle = std::pair{5, 0x0000FFu};
    view.dialogs.colour = 0x808080u;
    struct Case {
        int tool;
        const char* caption;
        std::function<void(const CAnnotationDefaults&)> check;
    };
    const Case cases[] = {
        {2, "Freehand Properties",
         [](const CAnnotationDefaults& d) { EXPECT_EQ(std::pair(d.freehandWidth, d.freehandColour), std::pair(5, 0x0000FFu)); }},
        {3, "Marker Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.markerColour, 0x808080u); }},
        {4, "Line Properties",
         [](const CAnnotationDefaults& d) { EXPECT_EQ(std::pair(d.lineWidth, d.lineColour), std::pair(5, 0x0000FFu)); }},
        {5, "Rectangle Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.rectangleWidth, 5); }},
        {6, "Paint Rectangle Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.paintColour, 0x808080u); }},
        // Cancel keeps what was there.
        {7, "Text Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.textColour, 0x123456u); }},
        {8, "Patch Memo Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.memoColour, 0u); }},
        {9, "Copy text from file Properties", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.copyTextColour, 0u); }},
        // The stamp list's current index is kept within the stamps.
        {10, "", [](const CAnnotationDefaults& d) { EXPECT_EQ(d.currentStamp, 2); }},
    };
    view.defaults.textColour = 0x123456u;
    view.dialogs.stampList = [](CAnnotationDefaults& d) {
        d.stampCount = 3;
        d.currentStamp = 7;
        return true;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        view.dialogs.captions.clear();
        view.state.SetTool(c.tool);
        EXPECT_TRUE(layer.OnCommand(59398));
        EXPECT_EQ(view.dialogs.captions, std::vector<std::string>{c.caption});
        c.check(view.defaults);
    }
    // The stamp menu: id - 32900, or one less past the count.
    for (const auto& [id, current] : {std::pair{32901, 1}, std::pair{32903, 2}, std::pair{32900, 0}}) {
        EXPECT_TRUE(layer.OnCommand(id));
        EXPECT_EQ(view.defaults.currentStamp, current) << id;
        CCmdUI ui;
        layer.OnUpdateCommand(ID_STAMP_FIRST + current, ui);
        EXPECT_TRUE(ui.enabled && ui.checked);
        layer.OnUpdateCommand(ID_STAMP_FIRST + current + 1, ui);
        EXPECT_TRUE(ui.enabled && !ui.checked);
    }
}

} // namespace
} // namespace viewer_test
