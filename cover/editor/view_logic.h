// The editing view without widgets: page-to-screen conversions at the view's zoom, the grid, the
// handle test, the selection and the tracking of a press (move, resize, line ends, page cut).
#pragma once

#include "cover/model/cover_document.h"
#include "imaging/device_context.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace cvr {

/// Zoom commands.
enum : int { ID_ZOOM_ENLARGE = 6006, ID_ZOOM_DEFAULT = 6007, ID_ZOOM_REDUCE = 6008 };
/// Grid commands: shown, the three steps, snap.
enum : int { ID_GRID_SHOW = 32792, ID_GRID_25 = 32793, ID_GRID_50 = 32794, ID_GRID_100 = 32795, ID_GRID_SNAP = 32796 };

/// Hit codes of the handle test.
enum : int {
    HIT_NONE = 0, HIT_MOVE = 1, HIT_LEFT = 2, HIT_RIGHT = 3, HIT_TOP = 4, HIT_BOTTOM = 5, HIT_TOPLEFT = 6,
    HIT_BOTTOMLEFT = 7, HIT_TOPRIGHT = 8, HIT_BOTTOMRIGHT = 9, HIT_LINE = 10, HIT_LINE_START = 11, HIT_LINE_END = 12,
};
/// Handle tolerance in device pixels.
inline constexpr int kHandleTolerance = 5;

/// What the view reads of the screen. Sizes in tenths of millimetres; 0 when the screen does not
/// tell its size (the logical dpi then stands in).
struct ScreenMetrics {
    int horzRes = 1024, vertRes = 768;
    int horzSize = 0, vertSize = 0;
    int logPixelsX = 96, logPixelsY = 96;
    int menuHeight = 19;
    int doubleClickMs = 500;
    int doubleClickCx = 4, doubleClickCy = 4;
};

/// The one source of screen metrics; programs read the screen, tests set them.
class IScreenMetricsProvider {
public:
    virtual ~IScreenMetricsProvider() = default;
    virtual ScreenMetrics Metrics() const = 0;
};

/// The step of a grid command in tenths of millimetres (32793 for anything else).
int GridStep(int gridCommand);
/// A stored grid command as the view takes it: 32793 to 32795 as they are, anything else 32793.
int ValidGridCommand(int stored);

/// Page positions of the grid lines along a page extent (rows or columns), for a step.
std::vector<int> GridLines(int pageExtent, int step);

/// Page pixels to screen device units and back, at a zoom command.
class CViewConversion {
public:
    CViewConversion(const ScreenMetrics& metrics, int zoomCommand) : m_Metrics(metrics), m_nZoom(zoomCommand) {}
    int ToDeviceX(int x) const;
    int ToDeviceY(int y) const;
    gdi::POINT ToDevice(gdi::POINT p) const { return {ToDeviceX(p.x), ToDeviceY(p.y)}; }
    gdi::RECT ToDevice(const gdi::RECT& r) const
    {
        return {ToDeviceX(r.left), ToDeviceY(r.top), ToDeviceX(r.right), ToDeviceY(r.bottom)};
    }
    /// A point in device units (client point plus scroll position) in page pixels.
    gdi::POINT ToPage(gdi::POINT p) const;

private:
    int zoomed(int v) const;
    ScreenMetrics m_Metrics;
    int m_nZoom;
};

/// The handle test of a point against an object's rectangle, both in device units.
int HitTest(gdi::POINT point, gdi::RECT rect, int trackKind, int tolerance = kHandleTolerance);

/// A rectangle with left <= right and top <= bottom.
gdi::RECT Normalized(gdi::RECT r);

/// What a tracking step works from.
struct TrackStart {
    gdi::RECT rect;    ///< the object's rectangle at the press, page pixels
    gdi::POINT anchor; ///< the press in page pixels, or the corner opposite the handle
    int code = HIT_NONE;
};
/// The grid and the page a tracking step keeps to.
struct TrackBounds {
    int pageWidth = 1728, pageHeight = 2290;
    bool snap = false;
    int gridStep = 25;
};

/// The anchor of a press at point (page pixels) with a handle code on rect.
gdi::POINT TrackAnchor(const gdi::RECT& rect, gdi::POINT point, int code);
/// The rectangle a tracking step gives for the pointer at point (page pixels).
gdi::RECT TrackRect(const TrackStart& start, gdi::POINT point, const TrackBounds& bounds);
/// True when a release comes within the double-click time and area of its press.
bool IsQuickClick(const ScreenMetrics& metrics, int64_t elapsedMs, gdi::POINT press, gdi::POINT release);

/// The view's state and its mouse handling over the document.
class CHeaderViewLogic {
public:
    CHeaderViewLogic(CtqHeaderDoc& document, const IScreenMetricsProvider& metrics);

    CtqHeaderDoc& Document() const { return m_Doc; }
    const ScreenMetrics& Metrics() const { return m_Metrics; }
    CViewConversion Conversion() const { return {m_Metrics, m_nZoom}; }

    int Zoom() const { return m_nZoom; }
    /// Sets the zoom; false when it already was that zoom.
    bool SetZoom(int zoomCommand);
    /// The page in device units.
    gdi::POINT PageSizeOnScreen() const;

    bool GridShown() const { return m_bGrid; }
    int GridCommand() const { return m_nGridCommand; }
    bool Snap() const { return m_bSnap; }
    void SetGrid(bool shown, int gridCommand, bool snap);
    /// A command of the grid menu; true when the grid as drawn changed.
    bool OnGridCommand(int command);
    /// The grid dots (device units) inside the clip rectangle (device units).
    std::vector<gdi::POINT> GridDots(const gdi::RECT& clip) const;

    /// The selected object, null when none.
    CtqRect* Selection() const;
    int SelectionIndex() const { return m_nSelection; }
    /// Drops the selection (new document, removal).
    void ClearSelection();
    /// Selects an object of the document (null: none).
    void Select(CtqRect* object);

    /// A press at a device point (client point plus scroll). Returns the objects whose look
    /// changed (the old and the new selection). Starts tracking when an object is selected.
    std::vector<const CtqRect*> Press(gdi::POINT devicePoint, int64_t tickMs);
    bool Tracking() const { return m_bTracking; }
    int TrackCode() const { return m_Start.code; }
    /// The rubber band (page pixels) for the pointer at a device point.
    gdi::RECT TrackTo(gdi::POINT devicePoint);
    const gdi::RECT& Band() const { return m_Band; }
    /// The release: true when the object was changed (moved or resized, modified flag set).
    bool Release(gdi::POINT devicePoint, int64_t tickMs);
    /// Ends tracking without changing anything (capture lost).
    void CancelTracking() { m_bTracking = false; }

    /// The hit code at a device point on the selected object (0 when nothing is selected).
    int HitAt(gdi::POINT devicePoint) const;

private:
    TrackBounds bounds() const;

    CtqHeaderDoc& m_Doc;
    ScreenMetrics m_Metrics;
    int m_nZoom = ID_ZOOM_DEFAULT;
    bool m_bGrid = false;
    int m_nGridCommand = ID_GRID_25;
    bool m_bSnap = false;
    int m_nSelection = -1;
    bool m_bTracking = false;
    TrackStart m_Start;
    gdi::RECT m_Band;
    gdi::POINT m_PressDevice;
    int64_t m_nPressTick = 0;
};

} // namespace cvr
