// The editing view's arithmetic: conversions at each zoom, the grid, the handle test and tracking.
#include "cover/editor/editor_settings.h"
#include "cover/editor/view_logic.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace cvr;

namespace {

struct FixedMetrics : IScreenMetricsProvider {
    ScreenMetrics m;
    ScreenMetrics Metrics() const override { return m; }
};

// A 1920-pixel screen 508 mm wide: 96 pixels an inch.
ScreenMetrics screen96()
{
    ScreenMetrics m;
    m.horzRes = 1920;
    m.vertRes = 1080;
    m.horzSize = 5080;
    m.vertSize = 2857;
    return m;
}

} // namespace

TEST(CoverViewLogic, ConversionsAtEachZoomAndWithoutAScreenSize)
{
    ScreenMetrics headless;
    headless.horzSize = headless.vertSize = 0;
    headless.logPixelsX = headless.logPixelsY = 120;
    const struct {
        ScreenMetrics metrics;
        int zoom;
        int pageX, deviceX; // 200 page pixels are an inch
    } rows[] = {
        {screen96(), ID_ZOOM_DEFAULT, 200, 96},
        {screen96(), ID_ZOOM_ENLARGE, 200, 192},
        {screen96(), ID_ZOOM_REDUCE, 200, 48},
        {screen96(), ID_ZOOM_REDUCE, 1, 0}, // halved first, integer division
        {screen96(), ID_ZOOM_DEFAULT, 1728, 829},
        {headless, ID_ZOOM_DEFAULT, 200, 120},
        {headless, ID_ZOOM_ENLARGE, 1728, 2073},
        {headless, ID_ZOOM_REDUCE, 200, 60},
    };
    for (const auto& r : rows) {
        const CViewConversion c(r.metrics, r.zoom);
        EXPECT_EQ(c.ToDeviceX(r.pageX), r.deviceX) << r.zoom << " " << r.pageX;
        // Back to the page within the rounding of one device pixel.
        const int back = c.ToPage({r.deviceX, 0}).x;
        EXPECT_NEAR(back, r.pageX, r.zoom == ID_ZOOM_REDUCE ? 5 : 3) << r.zoom << " " << r.deviceX;
    }
    const CViewConversion c(screen96(), ID_ZOOM_DEFAULT);
    EXPECT_EQ(c.ToDeviceY(2290), 2290 * 254 / 200 * 1080 / 2857);
}

TEST(CoverViewLogic, GridLinesOfTenMillimetresAndTheGridCommands)
{
    const std::vector<int> rows = GridLines(2290, GridStep(ID_GRID_100));
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(std::vector<int>(rows.begin(), rows.begin() + 4), (std::vector<int>{0, 78, 157, 236}));
    EXPECT_LT(rows.back(), 2290);
    EXPECT_EQ(rows.size(), 30u); // 0 to 290 mm
    EXPECT_EQ(GridStep(ID_GRID_25), 25);
    EXPECT_EQ(GridStep(ID_GRID_50), 50);
    for (int stored : {0, 1, 32792, 32796, -5})
        EXPECT_EQ(ValidGridCommand(stored), ID_GRID_25) << stored;
    EXPECT_EQ(ValidGridCommand(ID_GRID_100), ID_GRID_100);
}

TEST(CoverViewLogic, HandleCodesFivePixelsEitherSideOfEachEdgeAndEnd)
{
    const gdi::RECT box{100, 100, 200, 160};
    const gdi::RECT line{100, 100, 300, 100};
    const gdi::RECT reversed{300, 100, 100, 100};
    const gdi::RECT cut{0, 500, 800, 500};
    const struct {
        gdi::RECT rect;
        int kind;
        gdi::POINT p;
        int code;
    } rows[] = {
        {box, 0, {150, 130}, HIT_MOVE},      {box, 0, {94, 130}, HIT_NONE},
        {box, 0, {95, 130}, HIT_LEFT},       {box, 0, {104, 130}, HIT_LEFT},
        {box, 0, {105, 130}, HIT_MOVE},      {box, 0, {195, 130}, HIT_RIGHT},
        {box, 0, {204, 130}, HIT_RIGHT},     {box, 0, {205, 130}, HIT_NONE},
        {box, 0, {150, 95}, HIT_TOP},        {box, 0, {150, 104}, HIT_TOP},
        {box, 0, {150, 94}, HIT_NONE},       {box, 0, {150, 155}, HIT_BOTTOM},
        {box, 0, {150, 164}, HIT_BOTTOM},    {box, 0, {150, 165}, HIT_NONE},
        {box, 0, {98, 97}, HIT_TOPLEFT},     {box, 0, {98, 162}, HIT_BOTTOMLEFT},
        {box, 0, {202, 97}, HIT_TOPRIGHT},   {box, 0, {202, 162}, HIT_BOTTOMRIGHT},
        {line, 1, {96, 100}, HIT_LINE_START}, {line, 1, {104, 104}, HIT_LINE_START},
        {line, 1, {296, 96}, HIT_LINE_END},  {line, 1, {200, 100}, HIT_LINE},
        {line, 1, {200, 106}, HIT_NONE},     {line, 1, {306, 100}, HIT_NONE},
        {reversed, 1, {296, 100}, HIT_LINE_START}, // the first end stays the first after normalizing
        {cut, -1, {400, 496}, HIT_LINE},     {cut, -1, {400, 506}, HIT_NONE},
    };
    for (const auto& r : rows)
        EXPECT_EQ(HitTest(r.p, r.rect, r.kind), r.code) << r.p.x << "," << r.p.y << " kind " << r.kind;
}

TEST(CoverViewLogic, TrackingPerHandleCode)
{
    const TrackBounds free{1728, 2290, false, 25};
    const TrackBounds snap{1728, 2290, true, 100}; // 10 mm: lines at 0, 78, 157, ... 1653 across
    const gdi::RECT box{100, 100, 300, 200};
    const struct {
        const char* what;
        TrackStart start;
        gdi::POINT p;
        TrackBounds bounds;
        gdi::RECT expected;
    } rows[] = {
        {"move", {box, {150, 150}, HIT_MOVE}, {170, 160}, free, {120, 110, 320, 210}},
        {"move stops at the right edge", {box, {150, 150}, HIT_MOVE}, {1700, 150}, free, {1528, 100, 1728, 200}},
        {"move stops at the top", {box, {150, 150}, HIT_MOVE}, {150, 0}, free, {100, 0, 300, 100}},
        {"move snaps its corner", {box, {150, 150}, HIT_MOVE}, {170, 160}, snap, {157, 78, 357, 178}},
        {"snap past the edge goes one step left", {{0, 0, 100, 50}, {50, 25}, HIT_MOVE}, {1700, 25}, snap,
         {1574, 0, 1674, 50}},
        {"right edge", {box, {300, 150}, HIT_RIGHT}, {420, 999}, free, {100, 100, 420, 200}},
        {"right edge snapped", {box, {300, 150}, HIT_RIGHT}, {420, 999}, snap, {100, 100, 393, 200}},
        {"left edge past the right turns around", {box, {100, 150}, HIT_LEFT}, {400, 150}, free, {300, 100, 400, 200}},
        {"top-left corner", {box, TrackAnchor(box, {100, 100}, HIT_TOPLEFT), HIT_TOPLEFT}, {50, 60}, free,
         {50, 60, 300, 200}},
        {"corner off the page is clamped", {box, TrackAnchor(box, {300, 200}, HIT_BOTTOMRIGHT), HIT_BOTTOMRIGHT},
         {2000, 3000}, free, {100, 100, 1728, 2290}},
        {"line end stays horizontal", {{100, 100, 300, 100}, {100, 100}, HIT_LINE_END}, {400, 130}, free,
         {100, 100, 400, 100}},
        {"line end goes vertical", {{100, 100, 300, 100}, {100, 100}, HIT_LINE_END}, {130, 400}, free,
         {100, 100, 100, 400}},
        {"line start keeps the order", {{100, 100, 300, 100}, {300, 100}, HIT_LINE_START}, {500, 90}, free,
         {500, 100, 300, 100}},
        {"page cut moves down", {{0, 500, 1728, 500}, {800, 500}, HIT_LINE}, {800, 900}, free, {0, 900, 1728, 900}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(TrackRect(r.start, r.p, r.bounds), r.expected) << r.what;
}

TEST(CoverViewLogic, PressSelectsFromTheTopDragsAndAQuickClickChangesNothing)
{
    CtqHeaderDoc doc;
    doc.OnNewDocument();
    doc.DeleteContents(); // no default sheet
    doc.CreateFrame("DrawingFrame,100,100,400,200,0,2,0");
    doc.CreateFrame("StaticText,200,150,200,100,Times New Roman,33,400,0,0,0,0,Top");
    doc.CreateFrame("PageCut,0,1500,1728,0,0,1");
    FixedMetrics metrics;
    metrics.m.horzSize = metrics.m.vertSize = 0;
    metrics.m.logPixelsX = metrics.m.logPixelsY = 200; // device = page
    CHeaderViewLogic view(doc, metrics);

    // The text lies on top of the frame: it is found first.
    auto changed = view.Press({250, 200}, 1000);
    EXPECT_EQ(view.SelectionIndex(), 1);
    EXPECT_EQ(changed.size(), 1u);
    EXPECT_TRUE(view.Tracking());
    EXPECT_EQ(view.TrackCode(), HIT_MOVE);
    EXPECT_FALSE(view.Release({251, 201}, 1100)) << "a quick click";
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetRect(), (gdi::RECT{200, 150, 400, 250}));
    EXPECT_FALSE(doc.IsModified());

    view.Press({250, 200}, 2000);
    view.TrackTo({270, 220});
    EXPECT_TRUE(view.Release({300, 230}, 3000));
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetRect(), (gdi::RECT{250, 180, 450, 280}));
    EXPECT_TRUE(doc.IsModified());

    // The page cut: its new top is the document's page-cut position.
    changed = view.Press({800, 1500}, 5000);
    EXPECT_EQ(view.SelectionIndex(), 2);
    EXPECT_EQ(changed.size(), 2u) << "old and new selection";
    EXPECT_EQ(doc.m_objects.GetAt(1)->m_bSelected, 0);
    EXPECT_TRUE(view.Release({800, 1800}, 9000));
    EXPECT_EQ(doc.m_nPageCut, 1800);

    // A press on nothing clears the selection.
    view.Press({1600, 2200}, 10000);
    EXPECT_EQ(view.Selection(), nullptr);
    EXPECT_FALSE(view.Tracking());
}

TEST(CoverEditorSettings, PlacementPulledBackOnScreenAndTheProfileKept)
{
    // Screen 1280 x 1024, frame 4, caption 20.
    const struct {
        FramePlacement stored;
        FrameGeometry expected;
    } rows[] = {
        {{0, 0, 639, 399, false}, {0, 0, 639, 399}},
        {{1280, 100, 1880, 500, false}, {1280 - 4 - 20, 100, 600, 400}},
        {{100, 1100, 700, 1500, false}, {100, 1024 - 80 - 4, 600, 400}},
        {{1279, 1023, 1500, 1200, false}, {1279, 1023, 221, 177}},
    };
    for (const auto& r : rows) {
        const FrameGeometry g = PlaceFrame(r.stored, 1280, 1024, 4, 20);
        EXPECT_EQ(g.x, r.expected.x);
        EXPECT_EQ(g.y, r.expected.y);
        EXPECT_EQ(g.width, r.expected.width);
        EXPECT_EQ(g.height, r.expected.height);
    }

    qelta::test::ScopedStateRoot root;
    const CEditorProfile profile;
    const FramePlacement defaults = ReadFramePlacement(profile);
    EXPECT_EQ(defaults.right, 639);
    EXPECT_EQ(defaults.bottom, 399);
    WriteFramePlacement(profile, {10, 20, 810, 620, true});
    const FramePlacement back = ReadFramePlacement(profile);
    EXPECT_EQ(back.left, 10);
    EXPECT_EQ(back.bottom, 620);
    EXPECT_TRUE(back.maximized);
    // A grid step of another command reads as 2.5 mm; the rest as stored.
    profile.WriteInt("TQLCVR", "GridWidth", 40000);
    profile.WriteInt("TQLCVR", "DrawGrid", 1);
    EXPECT_EQ(ReadGridSettings(profile).command, ID_GRID_25);
    EXPECT_TRUE(ReadGridSettings(profile).shown);
    WriteGridSettings(profile, {false, ID_GRID_50, true});
    EXPECT_EQ(ReadGridSettings(profile).command, ID_GRID_50);
    EXPECT_TRUE(ReadGridSettings(profile).snap);
    EXPECT_FALSE(profile.GetBinary("", kBarStateKey).has_value());
    profile.WriteBinary("", kBarStateKey, std::string("\0\1\2", 3));
    EXPECT_EQ(profile.GetBinary("", kBarStateKey), std::string("\0\1\2", 3));
}
