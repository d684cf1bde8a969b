// The viewer program's display-free decisions: command line, settings, the page view and the
// thumbnail view.
#include "viewer/view_logic.h"

#include "common/program_start.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace viewer {
namespace {

TEST(ViewerCommandLine, ReadsTheVectorsProgramsStartItWith)
{
    const std::set<std::string> files{"/tmp/fax dir/page.tif", "/srv/a.tif"};
    const auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    struct Case {
        std::vector<std::string> args;
        std::string title, document;
        bool titleGiven, send;
    } cases[] = {
        {ViewerArguments("Fax log 12", "/tmp/fax dir/page.tif", false), "Fax log 12", "/tmp/fax dir/page.tif", true,
         false},
        {ViewerArguments("Fax log 12", "/tmp/fax dir/page.tif", true), "Fax log 12", "/tmp/fax dir/page.tif", true,
         false},
        {{"/t\"two words\"", "/p", "/s", "/srv/a.tif"}, "two words", "/srv/a.tif", true, true},
        {{"-x", "/S", "/srv/a.tif", "other.tif"}, "", "/srv/a.tif", false, true},
        {{"/Tbare", "missing.tif"}, "bare", "missing.tif", true, false},
        {{"/P"}, "", "", false, false},
        // Absolute paths are paths, there or not; switches and quoted titles stay what they are.
        {{"/srv/missing.tif"}, "", "/srv/missing.tif", false, false},
        {{"/tank/Report.tif"}, "", "/tank/Report.tif", false, false},
        {{"/Edit", "/T\"Fax 1/2\"", "/P", "/srv/missing.tif"}, "Fax 1/2", "/srv/missing.tif", true, false},
        {{"-s", "/tmp/fax dir/page.tif"}, "", "/tmp/fax dir/page.tif", false, true},
    };
    for (const Case& c : cases) {
        const CViewerCommandLine line = ParseViewerCommandLine(c.args, exists);
        EXPECT_EQ(line.title, c.title);
        EXPECT_EQ(line.document, c.document);
        EXPECT_EQ(line.titleGiven, c.titleGiven);
        EXPECT_EQ(line.sendRegistration, c.send);
        EXPECT_FALSE(line.annotationTools);
    }
}

TEST(ViewerSettings, ClampsWhatWouldBreakTheViewsAndKeepsTheNormalRectangle)
{
    CViewerSettings first;
    EXPECT_EQ(std::tie(first.windowLeft, first.windowTop, first.windowRight, first.windowBottom, first.cmplWidth),
              std::make_tuple(0, 0, 400, 300, 200));
    CViewerSettings s;
    s.viewScale = 40;
    s.cmplRow = 0;
    s.cmplWidth = 99999;
    s.viewJustify = 7;
    s.cmplJustify = -1;
    s.Clamp(1920);
    EXPECT_EQ(std::tie(s.viewScale, s.cmplRow, s.cmplWidth, s.viewJustify, s.cmplJustify),
              std::make_tuple(6, 2, 1920, 1, 1));
    s.viewScale = 0;
    s.cmplWidth = -5;
    s.Clamp(1920);
    EXPECT_EQ(std::tie(s.viewScale, s.cmplWidth), std::make_tuple(1, 0));

    s.StoreWindow(-10, 20, 390, 320, false, false);
    EXPECT_EQ(std::tie(s.windowLeft, s.windowTop, s.windowRight, s.windowBottom, s.windowZoom),
              std::make_tuple(0, 20, 400, 320, 0));
    s.StoreWindow(0, 0, 1920, 1080, true, false);
    EXPECT_EQ(std::tie(s.windowLeft, s.windowRight, s.windowZoom), std::make_tuple(0, 400, 1));
}

TEST(ViewerStatusPanes, Texts)
{
    EXPECT_EQ(PagePaneText(3, 0), "1/3");
    EXPECT_EQ(PagePaneText(0, 0), "");
    EXPECT_EQ(SizePaneText(1728, 2200), "Width: 1728 Height: 2200");
    EXPECT_EQ(SizePaneText(0, 0), "");
    EXPECT_EQ(ZoomPaneText(50), "50%");
    EXPECT_EQ(ZoomPaneText(0), "");
    EXPECT_EQ(ActivePaneText(1), "Reduced view");
    EXPECT_EQ(ActivePaneText(2), "Page viewer");
    EXPECT_EQ(FitPaneText(true) + GreyPaneText(true), "Size adjustmentGrayscale");
}

struct PageView {
    CPageDisplayState state;
    CPageViewLogic logic{state, 4, 1, 1};
    PageView(int pages = 3)
    {
        state.SetPageCount(pages);
        logic.SetPageSize(1000, 2000);
    }
    void AtStep(int step)
    {
        state.SetFit(0);
        state.SetZoomStep(step);
    }
};

TEST(PageViewLogic, ZoomFromFitAndItsLimits)
{
    struct Case {
        bool enlarge;
        int step;
    } cases[] = {{true, 0}, {false, -1}};
    for (const Case& c : cases) {
        PageView v;
        v.logic.Layout(600); // fit at 0.6
        ASSERT_DOUBLE_EQ(v.logic.Scale(), 0.6);
        EXPECT_EQ(v.logic.Divisor(), -1);
        EXPECT_TRUE(c.enlarge ? v.logic.Enlarge() : v.logic.Reduce());
        EXPECT_EQ(v.state.GetZoomStep(), c.step);
        EXPECT_EQ(v.state.GetFit(), 0);
    }
    PageView v;
    v.AtStep(2);
    EXPECT_FALSE(v.logic.Enlarge());
    v.state.SetZoomStep(-3);
    EXPECT_FALSE(v.logic.Reduce());
    v.logic.Layout(600);
    EXPECT_EQ(std::make_pair(v.logic.DisplayWidth(), v.logic.Divisor()), std::make_pair(125, 8));
    EXPECT_EQ(v.logic.ZoomPercent(), 12);
    EXPECT_TRUE(v.logic.RestoreDefault());
    EXPECT_EQ(std::make_pair(v.state.GetZoomStep(), v.state.GetFit()), std::make_pair(0, 1));
}

TEST(PageViewLogic, FourLeftTurnsGiveTheUnrotatedPictureAndItsCorner)
{
    PageView v;
    v.AtStep(0);
    const int anchors[][2] = {{0, 700}, {900, 1700}, {1900, 0}, {0, 0}};
    for (int turn = 0; turn < 4; ++turn) {
        v.state.RotateLeft();
        v.logic.Layout(100);
        const bool turned = v.state.GetRotation() % 2;
        EXPECT_EQ(std::make_pair(v.logic.DisplayWidth(), v.logic.DisplayHeight()),
                  turned ? std::make_pair(2000, 1000) : std::make_pair(1000, 2000));
        EXPECT_EQ(v.logic.AnchorScroll(100, 300), std::make_pair(anchors[turn][0], anchors[turn][1]));
    }
    EXPECT_EQ(v.state.GetRotation(), 0);
}

TEST(PageViewLogic, FitOfAHostileSlimPageIsWorkedOutWideAndLaidOutWithinTheLimit)
{
    // A 1 x 65,535 page fitted to a window: its height times the window's width, stretched for a
    // standard resolution, lies far past the int range in a wide window.
    struct Case {
        int width, height;
        double stretch;
        int client, turns;
        int64_t height_shown;
    } const cases[] = {
        {1, 65535, 1.0, 1920, 0, int64_t{65535} * 1920},
        {1, 65535, 2.0, 1920, 0, int64_t{65535} * 2 * 1920},
        {1, 65535, 2.0, 40000, 0, kMaxDisplayExtent},
        {1, 65535, 1.0, 2147483647, 0, kMaxDisplayExtent},
        {65535, 1, 2.0, 40000, 1, kMaxDisplayExtent}, // a quarter turn stands it up
        {65535, 1, 1.0, 40000, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " at " << c.client << ", turns " << c.turns);
        PageView v;
        v.logic.SetPageSize(c.width, c.height, c.stretch);
        for (int turn = 0; turn < c.turns; ++turn)
            v.state.RotateLeft();
        v.logic.Layout(c.client);
        EXPECT_EQ(v.logic.DisplayHeight(), c.height_shown);
        EXPECT_EQ(v.logic.FitHeight(c.client), c.height_shown);
        EXPECT_EQ(v.logic.ScrollSize().second, c.height_shown);
    }
    // The reduced view's grid of such pages stays within the limit too, every row of it.
    CThumbLayout grid;
    grid.Layout(40000, 100, 1, 65535 * 2, true, 1);
    EXPECT_GT(grid.CellHeight(), 0);
    EXPECT_LE(grid.ScrollSize().second, kMaxDisplayExtent);
    EXPECT_LT(grid.CellCorner(99).second, grid.ScrollSize().second);
}

TEST(PageViewLogic, GreyRebuildsOnlyBelowFullSize)
{
    PageView v;
    v.AtStep(0);
    EXPECT_FALSE(v.logic.ToggleGrey());
    v.state.SetZoomStep(-1);
    EXPECT_TRUE(v.logic.ToggleGrey());
}

TEST(PageViewLogic, NoPagesDisablesEverythingButTheHand)
{
    PageView v(0);
    v.state.SetEditingAllowed(1);
    for (int id : std::initializer_list<int>{ID_VIEW_FIT, ID_VIEW_ENLARGE, ID_VIEW_RESTORE, ID_VIEW_REDUCE, ID_VIEW_ROTATE_LEFT,
                   ID_VIEW_ROTATE_RIGHT, ID_VIEW_ROTATE_180, ID_VIEW_INVERT, ID_VIEW_GREY, ID_PAGE_NEXT,
                   ID_PAGE_PREVIOUS, ID_TOOL_SELECT, 32805, ID_TOOL_LAST_ANNOTATION, ID_TOOL_TILT, ID_TOOL_STAMP_CHOICE,
                   ID_TOOL_HIDE_ANNOTATIONS, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 59398, 59399,
                   59400, 59401, 59402, ID_STAMP_FIRST}) {
        CCmdUI ui;
        EXPECT_TRUE(v.logic.Update(id, ui, 5)) << id;
        EXPECT_FALSE(ui.enabled) << id;
    }
    CCmdUI hand;
    v.logic.Update(ID_TOOL_HAND, hand);
    EXPECT_FALSE(hand.enabled);
    EXPECT_TRUE(hand.checked);
    PageView with;
    with.logic.Update(ID_TOOL_HAND, hand);
    EXPECT_TRUE(hand.enabled);
}

TEST(PageViewLogic, ClicksOutsideThePageAndTheHand)
{
    PageView v;
    v.AtStep(-1); // 500 x 1000
    v.logic.Layout(300);
    IToolWork none;
    EXPECT_FALSE(v.logic.Press(450, 10, 60, 0, none));
    EXPECT_FALSE(v.logic.Press(10, 990, 0, 20, none));
    EXPECT_EQ(v.state.GetHandDrag(), 0);
    EXPECT_TRUE(v.logic.Press(100, 100, 0, 0, none));
    EXPECT_EQ(v.logic.Move(90, 80, 0, 0, none), std::make_pair(10, 20));
    EXPECT_EQ(v.logic.Move(80, 80, 10, 20, none), std::make_pair(20, 20));
    v.logic.Release(80, 80, none);
    EXPECT_EQ(v.state.GetHandDrag(), 0);
}

TEST(PageViewLogic, ToolsReachTheAnnotationLayer)
{
    struct Recording : IToolWork {
        std::vector<Call> calls;
        void Work(Call call, int, int, int) override { calls.push_back(call); }
    };
    using C = IToolWork;
    struct Case {
        int command;
        std::vector<C::Call> calls;
    } cases[] = {
        {ID_TOOL_SELECT, {C::kStartMoveResize, C::kFollow, C::kEndMoveResize, C::kEditSelected}},
        {32803, {C::kStartStroke, C::kFollow, C::kEndStroke}},
        {32804, {C::kStartRubberBand, C::kFollow, C::kEndRubberBand}},
        {32805, {C::kStartLine, C::kFollow, C::kEndLine}},
        {32809, {C::kStartRubberBand, C::kFollow, C::kEndRubberBand}},
        {ID_TOOL_LAST_ANNOTATION, {C::kPlaceStamp}},
        {ID_TOOL_TILT, {C::kStartLine, C::kFollow, C::kEndTilt}},
        {ID_TOOL_HAND, {}},
    };
    for (const Case& c : cases) {
        PageView v;
        v.state.SetEditingAllowed(1);
        v.state.SetSelected(0);
        v.logic.Layout(600);
        ASSERT_TRUE(v.logic.SelectTool(c.command));
        Recording layer;
        v.logic.Press(10, 10, 0, 0, layer);
        v.logic.Move(20, 20, 0, 0, layer);
        v.logic.Release(20, 20, layer);
        v.logic.DoubleClick(20, 20, layer);
        EXPECT_EQ(layer.calls, c.calls) << c.command;
    }
    PageView off; // editing never allowed in the program: the layer hears nothing
    off.logic.Layout(600);
    off.logic.SelectTool(32803);
    Recording layer;
    off.logic.Press(10, 10, 0, 0, layer);
    off.logic.Release(10, 10, layer);
    EXPECT_TRUE(layer.calls.empty());
}

TEST(PageViewLogic, TimerMenusOnlyForTheirPendingRequestAndTool)
{
    struct Case {
        int timer, pending, tool, editing, hide, pages, menu;
    } cases[] = {
        {1, 1, 2, 1, 0, 3, 150}, {1, 1, 10, 1, 0, 3, 150}, {2, 2, 10, 1, 0, 3, 161}, {2, 2, 9, 1, 0, 3, 0},
        {1, 2, 2, 1, 0, 3, 0},   {1, 1, 1, 1, 0, 3, 0},    {1, 1, 2, 0, 0, 3, 0},    {1, 1, 2, 1, 1, 3, 0},
        {2, 2, 10, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CPageDisplayState state;
        state.SetTool(c.tool);
        state.SetEditingAllowed(c.editing);
        state.SetHideAnnotations(c.hide);
        state.SetPageCount(c.pages);
        EXPECT_EQ(TimerMenu(c.timer, c.pending, state), c.menu) << c.timer << " " << c.tool;
    }
}

TEST(PageViewLogic, CursorsByToolAndHit)
{
    struct Case {
        int tool;
        bool selection;
        int hit;
        bool line, onLine;
        int cursor;
    } cases[] = {
        {0, false, 0, false, false, 140}, {2, false, 0, false, false, 141}, {10, false, 0, false, false, 149},
        {11, false, 0, false, false, 174}, {11, false, 0, true, false, 175}, {11, false, 0, true, true, 176},
        {1, false, 10, false, false, 0},  {1, true, 10, false, false, 169}, {1, true, 2, false, false, 172},
        {1, true, 8, false, false, 171},  {1, true, 7, false, false, 170},  {1, true, 5, false, false, 173},
        {1, true, 0, false, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CursorOfTool(c.tool, c.selection, c.hit, c.line, c.onLine), c.cursor) << c.tool << " " << c.hit;
}

TEST(ThumbLayout, GridGapsAndShiftKeys)
{
    CThumbLayout grid;
    grid.Layout(200, 5, 1728, 2200, true, 2);
    EXPECT_EQ(grid.Columns(), 2);
    EXPECT_EQ(grid.Gap(), 30);
    EXPECT_EQ(grid.CellWidth(), 55);
    EXPECT_EQ(grid.ScrollSize().second, 3 * (30 + grid.CellHeight()) + 30);
    const auto [x, y] = grid.CellCorner(3);
    EXPECT_EQ(grid.HitTest(x + 1, y + 1, 0), 3);
    EXPECT_EQ(grid.HitTest(x - 5, y + 1, 4), 4); // the gap between cells
    EXPECT_EQ(grid.ShiftKey(kKeyDown, 3), 4);    // last row: the last page
    EXPECT_EQ(grid.ShiftKey(kKeyDown, 4), 4);
    EXPECT_EQ(grid.ShiftKey(kKeyUp, 1), 0);
    EXPECT_EQ(grid.ShiftKey(kKeyRight, 4), 4);

    CThumbLayout narrow;
    narrow.Layout(200, 3, 15, 15, false, 2);
    EXPECT_EQ(std::make_pair(narrow.CellWidth(), narrow.Columns()), std::make_pair(0, 1));
    EXPECT_FALSE(narrow.DrawsLabel());
    EXPECT_FALSE(narrow.DrawsImage());

    CThumbLayout tall;
    tall.Layout(200, 12, 1728, 2200, true, 2);
    const auto scroll = tall.ScrollIntoView(11, 0, 0, 200, 300);
    EXPECT_EQ(scroll.second, tall.ScrollSize().second - 300);
}

} // namespace
} // namespace viewer
