// The tilt correction: the tilt found in synthetic pages of text and the pages levelled, in either
// polarity; pages that give no tilt changing nothing; the manual correction along a drawn line at
// every display rotation; the reference line dragged, moved and clicked across rotations.
#include "imaging/page_qimage.h"
#include "viewer/tests/annotation_test_support.h"
#include "viewer/tilt_detect.h"
#include "viewer/tilt_tool.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

using namespace viewer_test;

constexpr int kWidth = 1728, kHeight = 2290;

QImage whitePage(int width, int height)
{
    QImage page(width, height, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
    return page;
}

uint32_t mix(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// Lines of "words" 48 rows apart on a white page, their rows falling by `degrees` to the right:
// each page pixel takes the ink of the level text under it turned back about the centre.
QImage textPage(double degrees, int width = kWidth, int height = kHeight)
{
    QImage page = whitePage(width, height);
    const double angle = degrees * std::numbers::pi / 180, c = std::cos(angle), s = std::sin(angle);
    const double cx = width / 2.0, cy = height / 2.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const int u = static_cast<int>(std::floor(cx + dx * c + dy * s));
            const int v = static_cast<int>(std::floor(cy - dx * s + dy * c));
            if (u < 150 || u >= width - 150 || v < 150 || v >= height - 150)
                continue;
            const int line = (v - 150) / 48, row = (v - 150) % 48, cell = u / 12, col = u % 12;
            const uint32_t h = mix(static_cast<uint32_t>(line), static_cast<uint32_t>(cell));
            if (row >= 23 || h % 7 == 0)
                continue;
            const bool stem = col == 2 || col == 3;
            const bool ink = row >= 8 ? stem || (h % 2 && (col == 8 || col == 9))
                                            || (h % 3 == 0 && col >= 2 && col <= 9 && (row <= 9 || row >= 21))
                                      : h % 5 == 0 && stem;
            if (ink)
                page.setPixel(x, y, 1);
        }
    return page;
}

// A thick straight stroke from a to b.
QImage strokePage(QPointF a, QPointF b, int width = kWidth, int height = kHeight)
{
    QImage page = whitePage(width, height);
    const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
    for (int i = 0; i <= static_cast<int>(length); ++i) {
        const QPointF p = a + (b - a) * (i / length);
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                page.setPixel(static_cast<int>(p.x()) + dx, static_cast<int>(p.y()) + dy, 1);
    }
    return page;
}

// The bounding box of the ink.
QRect inkBounds(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (page.pixelIndex(x, y) == 1)
                box |= QRect(x, y, 1, 1);
    return box;
}

std::pair<int, int> xy(gdi::POINT p) { return {p.x, p.y}; }

bool sameBits(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    const int bytes = (a.width() + 7) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), static_cast<size_t>(bytes)) != 0)
            return false;
    return true;
}

TEST(TiltDetection, SkewedTextComesOutLevelInEitherPolarity)
{
    struct Case {
        double degrees;
        bool whiteOnBlack; // the page's ink is white
        bool inverted;     // the display's invert flag
    } cases[] = {
        {2.3, false, false}, {-4.0, false, false}, {9.0, false, false},
        {2.3, false, true},  {2.3, true, false},   {-4.0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.degrees << " white on black " << c.whiteOnBlack << " inverted "
                                        << c.inverted);
        QImage page = textPage(c.degrees);
        QImage ink = page;
        if (c.whiteOnBlack)
            page.invertPixels();
        const std::optional<double> found = DetectTilt(ink);
        ASSERT_TRUE(found);
        EXPECT_NEAR(*found, c.degrees, 0.1);

        const std::optional<QImage> level = StraightenPage(page, std::nullopt, c.inverted);
        ASSERT_TRUE(level);
        EXPECT_EQ(level->size(), page.size());
        EXPECT_EQ(level->format(), QImage::Format_Mono);
        EXPECT_EQ(level->colorTable(), page.colorTable());
        QImage levelInk = *level;
        if (c.whiteOnBlack)
            levelInk.invertPixels();
        // The corners the turn uncovers are white, whatever the page's ground.
        EXPECT_EQ(level->pixelIndex(0, 0), 0);
        const std::optional<double> residual = DetectTilt(levelInk);
        ASSERT_TRUE(residual);
        EXPECT_NEAR(*residual, 0.0, 0.1);
    }
}

// A view over one A4 page whose tilt tool records what it hands to the undo record.
class TiltToolTest : public ::testing::Test {
protected:
    struct RecordingUndo : IUndoRecord {
        void RecordTilt(int index, const QImage& page) override { recorded.emplace_back(index, page); }
        std::vector<std::pair<int, QImage>> recorded;
    };

    explicit TiltToolTest(int width = kWidth, int height = kHeight) : view(1, width, height), tool(view, undo)
    {
        view.state.SetTool(kToolTilt);
        view.state.SetPageCount(1);
    }

    void SetPage(const QImage& page)
    {
        view.document.ReplacePageAt(0, qelta::imaging::pageOfImage(page, kPageDpi));
        view.calls.clear();
    }

    // Drags a new line between two window points.
    void Drag(gdi::POINT from, gdi::POINT to)
    {
        tool.StartLine(from.x, from.y);
        tool.MoveLine((from.x + to.x) / 2, (from.y + to.y) / 2);
        tool.EndLine(to.x, to.y);
    }

    // The window point of a point of the page's own frame at the rotation, zoom and scroll.
    gdi::POINT Window(gdi::POINT page)
    {
        const int rotation = view.state.GetRotation();
        const auto [width, height] = SizeInOrientation(view.document.Pages()[0]->Width(),
                                                       view.document.Pages()[0]->Height(), rotation);
        const gdi::POINT p = TurnPoint(page, 0, rotation, width, height);
        return {ToScreen(p.x, view.zoom) - view.scroll.x, ToScreen(p.y, view.zoom) - view.scroll.y};
    }

    // The reference line's ends in the page's own frame, as the dialog reads them.
    std::pair<gdi::POINT, gdi::POINT> LineInPage()
    {
        const auto line = tool.ReferenceLine();
        EXPECT_TRUE(line);
        if (!line)
            return {};
        const auto [width, height] = tool.PageSize();
        return {TurnPoint(line->first, tool.LineOrientation(), 0, width, height),
                TurnPoint(line->second, tool.LineOrientation(), 0, width, height)};
    }

    FakeAnnotationView view;
    RecordingUndo undo;
    CTiltTool tool;
};

TEST_F(TiltToolTest, ManualCorrectionLevelsTheDrawnLineOrStandsItUp)
{
    struct Case {
        gdi::POINT a, b; // the stroke and the line along it, in the page's own frame
        int rotation;    // the display's rotation while the line is drawn
        double zoom;
        std::pair<int, int> direction; // handed to the correction
        bool vertical;   // the stroke comes out upright rather than level
    } cases[] = {
        {{200, 1000}, {1500, 1060}, 0, 1.0, {60, 1300}, false},
        {{200, 1060}, {1500, 1000}, 1, 0.5, {-60, 1300}, false},
        {{600, 600}, {1100, 1100}, 0, 1.0, {-500, 500}, true}, // 45 degrees counts as nearer vertical
        {{900, 400}, {800, 1700}, 3, 2.0, {100, 1300}, true},
        {{1500, 1000}, {200, 1090}, 2, 1.0, {-90, 1300}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.a.x << ", " << c.a.y << ") rotation " << c.rotation);
        SetPage(strokePage(QPointF(c.a.x, c.a.y), QPointF(c.b.x, c.b.y)));
        view.state.SetRotation(c.rotation);
        view.zoom = c.zoom;
        Drag(Window(c.a), Window(c.b));
        ASSERT_EQ(view.state.GetTiltLine(), 1);
        const auto [a, b] = LineInPage();
        EXPECT_EQ(xy(a), xy(c.a));
        EXPECT_EQ(xy(b), xy(c.b));
        EXPECT_EQ(CTiltCorrectionLogic::Direction(a, b), c.direction);

        CTiltCorrectionLogic(tool, view.prompter).ManualCorrection();
        const QRect box = inkBounds(view.PageBitmap(0));
        const int across = c.vertical ? box.width() : box.height();
        EXPECT_LE(across, 12) << box.width() << " x " << box.height();
        EXPECT_TRUE(view.document.IsModified());
        // The line goes with the correction; the tool and its dialog stay.
        EXPECT_EQ(view.state.GetTiltLine(), 0);
        EXPECT_EQ(view.state.GetTool(), kToolTilt);
        EXPECT_EQ(view.tiltHost.closed, 0);
        view.document.SetModifiedFlag(false);
    }
    EXPECT_EQ(undo.recorded.size(), std::size(cases));
}

TEST_F(TiltToolTest, AutoCorrectionReplacesThePageAndRecordsTheFormerBitmap)
{
    const QImage skewed = textPage(2.3);
    SetPage(skewed);
    const QImage before = view.PageBitmap(0).copy();
    tool.EnterTiltMode();
    ASSERT_EQ(view.tiltHost.tool, &tool);
    Drag({100, 100}, {400, 120});
    CTiltCorrectionLogic(tool, view.prompter).AutoCorrection();

    ASSERT_EQ(undo.recorded.size(), 1u);
    EXPECT_EQ(undo.recorded[0].first, 0);
    EXPECT_TRUE(sameBits(undo.recorded[0].second, before));
    const QImage after = view.PageBitmap(0);
    EXPECT_FALSE(sameBits(after, before));
    const std::optional<double> residual = DetectTilt(after);
    ASSERT_TRUE(residual);
    EXPECT_NEAR(*residual, 0.0, 0.1);
    EXPECT_EQ(view.document.Pages()[0]->Width(), kWidth);
    EXPECT_TRUE(view.document.IsModified());
    EXPECT_EQ(view.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_FALSE(view.calls.empty()); // the views start anew
    EXPECT_EQ(view.state.GetTiltLine(), 0);
}

// The layer's tilt tool over the view's own undo record.
class TiltUndoTest : public AnnotationTest {
protected:
    TiltUndoTest() : AnnotationTest(2, kWidth, kHeight) {}
};

TEST_F(TiltUndoTest, UndoAfterACorrectionRestoresThePageBitForBit)
{
    view.document.ReplacePageAt(1, qelta::imaging::pageOfImage(textPage(-4.0), kPageDpi));
    view.state.SetCurrentPage(1);
    view.state.SetTool(kToolTilt);
    const QImage before = view.PageBitmap(1).copy();
    const QImage other = view.PageBitmap(0).copy();
    CTiltCorrectionLogic(layer.Tilt(), view.prompter).AutoCorrection();
    ASSERT_TRUE(undo.HoldsOperation());
    EXPECT_EQ(undo.HeldKind(), CUndoRecord::kTiltCorrection);
    ASSERT_FALSE(sameBits(view.PageBitmap(1), before));

    EXPECT_TRUE(undo.Undo());
    EXPECT_TRUE(sameBits(view.PageBitmap(1), before));
    EXPECT_TRUE(sameBits(view.PageBitmap(0), other));
    EXPECT_EQ(view.document.PageCount(), 2);
    EXPECT_FALSE(undo.Undo());
    EXPECT_TRUE(sameBits(view.PageBitmap(1), before));
}

// The resolution a page image gives, across and down.
std::pair<int, int> dpiOf(const QImage& page)
{
    return {static_cast<int>(std::lround(page.dotsPerMeterX() * 0.0254)),
            static_cast<int>(std::lround(page.dotsPerMeterY() * 0.0254))};
}

TEST_F(TiltUndoTest, PagesKeepTheirResolutionThroughEveryEdit)
{
    // A standard-resolution fax page: finer across than down.
    view.document.ReplacePageAt(1, qelta::imaging::pageOfImage(textPage(-4.0), 204, 98));
    view.state.SetCurrentPage(1);
    const std::pair<int, int> fax{204, 98};
    ASSERT_EQ(dpiOf(view.PageBitmap(1)), fax);

    view.state.SetTool(kToolTilt);
    CTiltCorrectionLogic(layer.Tilt(), view.prompter).AutoCorrection();
    ASSERT_FALSE(sameBits(view.PageBitmap(1), textPage(-4.0)));
    EXPECT_EQ(dpiOf(view.PageBitmap(1)), fax) << "tilt correction";
    ASSERT_TRUE(undo.Undo());
    EXPECT_EQ(dpiOf(view.PageBitmap(1)), fax) << "undo of the tilt";

    Add(makeItem(1, kAnnotRectangle, {10, 10, 300, 200}, kWidth, kHeight));
    ASSERT_TRUE(layer.BurnIn(1, *view.document.Pages()[1]));
    EXPECT_EQ(dpiOf(view.PageBitmap(1)), fax) << "burn-in";

    view.state.SetTool(kToolHand);
    ASSERT_TRUE(view.document.OnCommand(ID_PAGE_DELETE));
    ASSERT_EQ(view.document.PageCount(), 1);
    ASSERT_TRUE(undo.Undo());
    ASSERT_EQ(view.document.PageCount(), 2);
    EXPECT_EQ(dpiOf(view.PageBitmap(1)), fax) << "undo of the deletion";
}

TEST_F(TiltToolTest, CorrectionsThatFindNoTiltChangeNothing)
{
    struct Case {
        const char* name;
        QImage page;
        bool manual;
        const char* message;
    } cases[] = {
        {"blank", whitePage(kWidth, kHeight), false, "Tilt cannot be detected."},
        {"black", [] { QImage p = whitePage(kWidth, kHeight); p.fill(1); return p; }(), false,
         "Tilt cannot be detected."},
        {"scattered dots",
         [] {
             QImage p = whitePage(kWidth, kHeight);
             for (int y = 0; y < kHeight; ++y)
                 for (int x = 0; x < kWidth; ++x)
                     if (mix(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) % 20 == 0)
                         p.setPixel(x, y, 1);
             return p;
         }(),
         false, "Tilt cannot be detected."},
        {"tilted beyond the search", textPage(25.0), false, "Tilt cannot be detected."},
        {"level text", textPage(0.0), false, nullptr},
        {"manual without a line", textPage(2.3), true, "Please drag and correct tilt."},
        {"manual along a level line", textPage(2.3), true, nullptr},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetPage(c.page);
        const QImage before = view.PageBitmap(0).copy();
        if (c.message)
            view.prompter.script.emplace_back(c.message, IDOK);
        else
            Drag({100, 300}, {900, 300});
        CTiltCorrectionLogic logic(tool, view.prompter);
        if (c.manual)
            logic.ManualCorrection();
        else
            logic.AutoCorrection();
        if (c.message) {
            EXPECT_EQ(view.prompter.flagsShown.back(), MB_ICONEXCLAMATION);
        }
        EXPECT_TRUE(sameBits(view.PageBitmap(0), before));
        EXPECT_FALSE(view.document.IsModified());
        EXPECT_TRUE(undo.recorded.empty());
        EXPECT_TRUE(view.calls.empty());
    }
}

// A line from (100, 50) to (200, 80) of a 400 x 300 page, drawn at one rotation and grabbed at
// another: an end dragged to a window point, or the line moved by a window vector.
class TiltLineTest : public TiltToolTest {
protected:
    TiltLineTest() : TiltToolTest(400, 300) {}
};

TEST_F(TiltLineTest, EndsAndMovesFollowThePageAcrossRotations)
{
    struct Case {
        int drawn, edited;
        double zoom;
        gdi::POINT scroll;
        int grab;          // 0, 1 an end, 10 the middle
        gdi::POINT to;     // an end: where it goes (page frame); the middle: the window vector
        uint32_t elapsed;  // between press and release, ms
        gdi::POINT first, second; // the ends afterwards, page frame
    } cases[] = {
        // Drawn at 90, moved at 0: the page's own directions.
        {1, 0, 1.0, {0, 0}, 10, {50, 20}, 1000, {150, 70}, {250, 100}},
        // Drawn at 0, moved at 90 at 200 % and scrolled: a window vector (40, 60) is (30, -20) of
        // the page turned back.
        {0, 1, 2.0, {10, 20}, 10, {40, 60}, 1000, {70, 70}, {170, 100}},
        {0, 2, 1.0, {0, 0}, 0, {150, 100}, 1000, {150, 100}, {200, 80}},
        {3, 3, 1.0, {5, 0}, 1, {250, 200}, 1000, {100, 50}, {250, 200}},
        {2, 1, 0.5, {0, 0}, 0, {20, 250}, 1000, {20, 250}, {200, 80}},
        // A quick click does not move the line; a slow one or one beyond the click distance does.
        {0, 0, 1.0, {0, 0}, 10, {1, 1}, 100, {100, 50}, {200, 80}},
        {0, 0, 1.0, {0, 0}, 0, {101, 51}, 100, {100, 50}, {200, 80}},
        {0, 0, 1.0, {0, 0}, 10, {1, 1}, 600, {101, 51}, {201, 81}},
        {0, 0, 1.0, {0, 0}, 10, {3, 0}, 100, {103, 50}, {203, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "drawn " << c.drawn << " edited " << c.edited << " grab " << c.grab
                                        << " elapsed " << c.elapsed);
        view.zoom = 1.0;
        view.scroll = {};
        view.state.SetRotation(c.drawn);
        tool.Discard(false);
        Drag(Window({100, 50}), Window({200, 80}));

        view.state.SetRotation(c.edited);
        view.zoom = c.zoom;
        view.scroll = c.scroll;
        const gdi::POINT grip = c.grab == 0 ? Window({100, 50}) : c.grab == 1 ? Window({200, 80}) : Window({150, 65});
        EXPECT_EQ(tool.HitTest(grip.x, grip.y), c.grab);
        ASSERT_TRUE(tool.PressOnLine(grip.x, grip.y));
        const gdi::POINT release = c.grab == 10 ? gdi::POINT{grip.x + c.to.x, grip.y + c.to.y} : Window(c.to);
        tool.MoveLine(release.x, release.y);
        ASSERT_TRUE(tool.RubberLine());
        view.tick += c.elapsed;
        tool.ReleaseOnLine(release.x, release.y);
        EXPECT_FALSE(tool.RubberLine());
        const auto [first, second] = LineInPage();
        EXPECT_EQ(xy(first), xy(c.first));
        EXPECT_EQ(xy(second), xy(c.second));
        ASSERT_TRUE(tool.Line());
        EXPECT_EQ(tool.Line()->rect, (gdi::RECT{std::min(tool.Line()->x1, tool.Line()->x2),
                                                std::min(tool.Line()->y1, tool.Line()->y2),
                                                std::max(tool.Line()->x1, tool.Line()->x2),
                                                std::max(tool.Line()->y1, tool.Line()->y2)}));
    }
    // Off the line nothing is grabbed; the view then starts a new line.
    EXPECT_FALSE(tool.PressOnLine(390, 290));
}

TEST_F(TiltLineTest, DiscardAndEndFollowTheToolsState)
{
    tool.EnterTiltMode();
    Drag({10, 10}, {100, 40});
    struct Case {
        int editing, hidden, tool;
        bool close;
        int lineAfter, closed;
    } cases[] = {
        {0, 0, kToolTilt, true, 1, 0},
        {1, 1, kToolTilt, true, 1, 0},
        {1, 0, kToolSelect, true, 1, 0},
        {1, 0, kToolTilt, false, 0, 0},
        {1, 0, kToolTilt, true, 0, 1},
    };
    for (const Case& c : cases) {
        view.state.SetEditingAllowed(c.editing);
        view.state.SetHideAnnotations(c.hidden);
        view.state.SetTool(c.tool);
        view.state.SetTiltLine(1);
        view.tiltHost.closed = 0;
        tool.Discard(c.close);
        EXPECT_EQ(view.state.GetTiltLine(), c.lineAfter);
        EXPECT_EQ(view.tiltHost.closed, c.closed);
    }
    view.state.SetTool(kToolTilt);
    view.state.SetTiltLine(1);
    tool.End();
    EXPECT_EQ(view.state.GetTool(), kToolHand);
    EXPECT_EQ(view.state.GetTiltLine(), 0);
    EXPECT_EQ(view.tiltHost.tool, nullptr);
}

} // namespace
