#include "cover/editor/view_logic.h"

#include <algorithm>
#include <cstdlib>

namespace cvr {

namespace {

constexpr int kTenthsPerInch = 254;
constexpr int kPageDpi = 200;

bool inRect(gdi::POINT p, const gdi::RECT& r)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

gdi::RECT inflated(gdi::RECT r, int dx, int dy)
{
    return {r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

gdi::RECT offset(gdi::RECT r, int dx, int dy)
{
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A page position on the nearest grid line, in tenths of millimetres, kept within the extent.
int snapTenths(int pageValue, int pageExtent, int step)
{
    int v = step * ((pageValue * kTenthsPerInch / kPageDpi + step / 2) / step);
    const int limit = pageExtent * kTenthsPerInch / kPageDpi;
    if (v > limit)
        v = step * (limit / step);
    return v;
}

int tenthsToPage(int tenths) { return tenths * kPageDpi / kTenthsPerInch; }

} // namespace

int GridStep(int gridCommand)
{
    switch (gridCommand) {
    case ID_GRID_50: return 50;
    case ID_GRID_100: return 100;
    default: return 25;
    }
}

int ValidGridCommand(int stored)
{
    return stored >= ID_GRID_25 && stored <= ID_GRID_100 ? stored : ID_GRID_25;
}

std::vector<int> GridLines(int pageExtent, int step)
{
    std::vector<int> lines;
    if (step <= 0)
        return lines;
    for (int r = 0; r < pageExtent * kTenthsPerInch / kPageDpi; r += step)
        lines.push_back(r * kPageDpi / kTenthsPerInch);
    return lines;
}

int CViewConversion::zoomed(int v) const
{
    if (m_nZoom == ID_ZOOM_ENLARGE)
        return v * 2;
    if (m_nZoom == ID_ZOOM_REDUCE)
        return v / 2;
    return v;
}

int CViewConversion::ToDeviceX(int x) const
{
    const int64_t v = zoomed(x);
    // A screen that tells no size converts by its logical dpi.
    if (m_Metrics.horzSize <= 0 || m_Metrics.horzRes <= 0)
        return static_cast<int>(v * m_Metrics.logPixelsX / kPageDpi);
    return static_cast<int>(v * kTenthsPerInch / kPageDpi * m_Metrics.horzRes / m_Metrics.horzSize);
}

int CViewConversion::ToDeviceY(int y) const
{
    const int64_t v = zoomed(y);
    if (m_Metrics.vertSize <= 0 || m_Metrics.vertRes <= 0)
        return static_cast<int>(v * m_Metrics.logPixelsY / kPageDpi);
    return static_cast<int>(v * kTenthsPerInch / kPageDpi * m_Metrics.vertRes / m_Metrics.vertSize);
}

gdi::POINT CViewConversion::ToPage(gdi::POINT p) const
{
    int64_t x, y;
    if (m_Metrics.horzSize <= 0 || m_Metrics.horzRes <= 0)
        x = int64_t{p.x} * kPageDpi / std::max(1, m_Metrics.logPixelsX);
    else
        x = int64_t{m_Metrics.horzSize} * p.x / m_Metrics.horzRes * kPageDpi / kTenthsPerInch;
    if (m_Metrics.vertSize <= 0 || m_Metrics.vertRes <= 0)
        y = int64_t{p.y} * kPageDpi / std::max(1, m_Metrics.logPixelsY);
    else
        y = int64_t{m_Metrics.vertSize} * p.y / m_Metrics.vertRes * kPageDpi / kTenthsPerInch;
    if (m_nZoom == ID_ZOOM_REDUCE) {
        x *= 2;
        y *= 2;
    } else if (m_nZoom == ID_ZOOM_ENLARGE) {
        x /= 2;
        y /= 2;
    }
    return {static_cast<int>(x), static_cast<int>(y)};
}

gdi::RECT Normalized(gdi::RECT r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

int HitTest(gdi::POINT p, gdi::RECT r, int trackKind, int tol)
{
    const gdi::RECT box = trackKind != 0 ? Normalized(r) : r;
    if (!inRect(p, inflated(box, tol, tol)))
        return HIT_NONE;
    if (trackKind < 0)
        return HIT_LINE;
    if (trackKind > 0) {
        if (inRect(p, {r.left - tol, r.top - tol, r.left + tol, r.top + tol}))
            return HIT_LINE_START;
        if (inRect(p, {r.right - tol, r.bottom - tol, r.right + tol, r.bottom + tol}))
            return HIT_LINE_END;
        return HIT_LINE;
    }
    const bool alongSide = p.y >= r.top && p.y < r.bottom;
    if (inRect(p, {r.left - tol, r.top - tol, r.left + tol, r.bottom + tol}))
        return alongSide ? HIT_LEFT : (p.y > r.top + tol ? HIT_BOTTOMLEFT : HIT_TOPLEFT);
    if (inRect(p, {r.right - tol, r.top - tol, r.right + tol, r.bottom + tol}))
        return alongSide ? HIT_RIGHT : (p.y > r.top + tol ? HIT_BOTTOMRIGHT : HIT_TOPRIGHT);
    if (inRect(p, {r.left + tol, r.top - tol, r.right - tol, r.top + tol}))
        return HIT_TOP;
    if (inRect(p, {r.left + tol, r.bottom - tol, r.right - tol, r.bottom + tol}))
        return HIT_BOTTOM;
    return HIT_MOVE;
}

gdi::POINT TrackAnchor(const gdi::RECT& r, gdi::POINT point, int code)
{
    switch (code) {
    case HIT_TOPLEFT:
    case HIT_LINE_START: return {r.right, r.bottom};
    case HIT_BOTTOMLEFT: return {r.right, r.top};
    case HIT_TOPRIGHT: return {r.left, r.bottom};
    case HIT_BOTTOMRIGHT:
    case HIT_LINE_END: return {r.left, r.top};
    default: return point;
    }
}

gdi::RECT TrackRect(const TrackStart& start, gdi::POINT p, const TrackBounds& b)
{
    const int code = start.code;
    const gdi::POINT a = start.anchor;
    bool horizontal = false, vertical = false;
    if (code == HIT_LINE_START || code == HIT_LINE_END) {
        if (std::abs(p.y - a.y) < std::abs(p.x - a.x)) {
            p.y = a.y;
            horizontal = true;
        } else {
            p.x = a.x;
            vertical = true;
        }
    }
    const int s = std::max(1, b.gridStep);
    if (b.snap && code != HIT_MOVE && code != HIT_LINE) {
        const int x = snapTenths(p.x, b.pageWidth, s);
        const int y = snapTenths(p.y, b.pageHeight, s);
        if (!vertical)
            p.x = tenthsToPage(x);
        if (!horizontal)
            p.y = tenthsToPage(y);
    }
    gdi::RECT r = start.rect;
    switch (code) {
    case HIT_MOVE:
    case HIT_LINE: {
        r = offset(r, p.x - a.x, p.y - a.y);
        if (r.right > b.pageWidth)
            r = offset(r, b.pageWidth - r.right, 0);
        else if (r.left < 0)
            r = offset(r, -r.left, 0);
        if (r.bottom > b.pageHeight)
            r = offset(r, 0, b.pageHeight - r.bottom);
        else if (r.top < 0)
            r = offset(r, 0, -r.top);
        if (b.snap) {
            const int x = snapTenths(r.left, b.pageWidth, s);
            const int y = snapTenths(r.top, b.pageHeight, s);
            r = offset(r, tenthsToPage(x) - r.left, tenthsToPage(y) - r.top);
            if (r.right > b.pageWidth)
                r = offset(r, tenthsToPage(x - s) - r.left, 0);
            if (r.bottom > b.pageHeight)
                r = offset(r, 0, tenthsToPage(y - s) - r.top);
        }
        break;
    }
    case HIT_LEFT: r.left = p.x; break;
    case HIT_RIGHT: r.right = p.x; break;
    case HIT_TOP: r.top = p.y; break;
    case HIT_BOTTOM: r.bottom = p.y; break;
    case HIT_LINE_END: r = {a.x, a.y, p.x, p.y}; break;
    default: r = {p.x, p.y, a.x, a.y}; break; // corners and a line's first end
    }
    if (code < HIT_LINE)
        r = Normalized(r);
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, b.pageWidth);
    r.bottom = std::min(r.bottom, b.pageHeight);
    return r;
}

bool IsQuickClick(const ScreenMetrics& m, int64_t elapsedMs, gdi::POINT press, gdi::POINT release)
{
    return elapsedMs >= 0 && elapsedMs < m.doubleClickMs && std::abs(release.x - press.x) <= m.doubleClickCx
           && std::abs(release.y - press.y) <= m.doubleClickCy;
}

CHeaderViewLogic::CHeaderViewLogic(CtqHeaderDoc& document, const IScreenMetricsProvider& metrics)
    : m_Doc(document), m_Metrics(metrics.Metrics())
{
}

bool CHeaderViewLogic::SetZoom(int zoomCommand)
{
    if (zoomCommand == m_nZoom || zoomCommand < ID_ZOOM_ENLARGE || zoomCommand > ID_ZOOM_REDUCE)
        return false;
    m_nZoom = zoomCommand;
    return true;
}

gdi::POINT CHeaderViewLogic::PageSizeOnScreen() const
{
    return Conversion().ToDevice(gdi::POINT{m_Doc.m_nPageWidth, m_Doc.m_nPageHeight});
}

void CHeaderViewLogic::SetGrid(bool shown, int gridCommand, bool snap)
{
    m_bGrid = shown;
    m_nGridCommand = ValidGridCommand(gridCommand);
    m_bSnap = snap;
}

bool CHeaderViewLogic::OnGridCommand(int command)
{
    switch (command) {
    case ID_GRID_SHOW: m_bGrid = !m_bGrid; return true;
    case ID_GRID_SNAP: m_bSnap = !m_bSnap; return true;
    case ID_GRID_25:
    case ID_GRID_50:
    case ID_GRID_100: m_nGridCommand = command; return m_bGrid;
    default: return false;
    }
}

std::vector<gdi::POINT> CHeaderViewLogic::GridDots(const gdi::RECT& clip) const
{
    std::vector<gdi::POINT> dots;
    if (!m_bGrid)
        return dots;
    const CViewConversion c = Conversion();
    const int step = GridStep(m_nGridCommand);
    const std::vector<int> columns = GridLines(m_Doc.m_nPageWidth, step);
    for (int row : GridLines(m_Doc.m_nPageHeight, step)) {
        const int y = c.ToDeviceY(row);
        if (y < clip.top || y >= clip.bottom)
            continue;
        for (int column : columns) {
            const int x = c.ToDeviceX(column);
            if (x >= clip.left && x < clip.right)
                dots.push_back({x, y});
        }
    }
    return dots;
}

CtqRect* CHeaderViewLogic::Selection() const
{
    if (m_nSelection < 0 || static_cast<size_t>(m_nSelection) >= m_Doc.m_objects.GetSize())
        return nullptr;
    return m_Doc.m_objects.GetAt(static_cast<size_t>(m_nSelection));
}

void CHeaderViewLogic::ClearSelection()
{
    for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i)
        m_Doc.m_objects.GetAt(i)->m_bSelected = 0;
    m_nSelection = -1;
    m_bTracking = false;
}

void CHeaderViewLogic::Select(CtqRect* object)
{
    ClearSelection();
    for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i) {
        if (m_Doc.m_objects.GetAt(i) == object) {
            m_nSelection = static_cast<int>(i);
            object->m_bSelected = 1;
        }
    }
}

int CHeaderViewLogic::HitAt(gdi::POINT devicePoint) const
{
    const CtqRect* selected = Selection();
    if (!selected)
        return HIT_NONE;
    return HitTest(devicePoint, Conversion().ToDevice(selected->GetRect()), selected->GetTrackKind());
}

TrackBounds CHeaderViewLogic::bounds() const
{
    return {m_Doc.m_nPageWidth, m_Doc.m_nPageHeight, m_bSnap, GridStep(m_nGridCommand)};
}

std::vector<const CtqRect*> CHeaderViewLogic::Press(gdi::POINT devicePoint, int64_t tickMs)
{
    std::vector<const CtqRect*> changed;
    const CViewConversion c = Conversion();
    int code = HitAt(devicePoint);
    if (code == HIT_NONE) {
        CtqRect* old = Selection();
        for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i)
            m_Doc.m_objects.GetAt(i)->m_bSelected = 0;
        m_nSelection = -1;
        for (size_t i = m_Doc.m_objects.GetSize(); i-- > 0;) {
            const CtqRect* object = m_Doc.m_objects.GetAt(i);
            gdi::RECT r = object->GetRect();
            if (!object->IsBoxObject()) {
                int style = 0, width = 0;
                if (object->HasPen())
                    object->GetPen(style, width);
                r = inflated(Normalized(r), width, width);
            }
            if (inRect(devicePoint, inflated(c.ToDevice(r), 1, 1))) {
                m_nSelection = static_cast<int>(i);
                break;
            }
        }
        CtqRect* now = Selection();
        if (now != old) {
            if (old)
                changed.push_back(old);
            if (now)
                changed.push_back(now);
        }
        code = HitAt(devicePoint);
    }
    CtqRect* selected = Selection();
    if (!selected)
        return changed;
    selected->m_bSelected = 1;
    const gdi::POINT page = c.ToPage(devicePoint);
    m_Start = {selected->GetRect(), TrackAnchor(selected->GetRect(), page, code), code};
    m_Band = m_Start.rect;
    m_PressDevice = devicePoint;
    m_nPressTick = tickMs;
    m_bTracking = true;
    return changed;
}

gdi::RECT CHeaderViewLogic::TrackTo(gdi::POINT devicePoint)
{
    if (m_bTracking)
        m_Band = TrackRect(m_Start, Conversion().ToPage(devicePoint), bounds());
    return m_Band;
}

bool CHeaderViewLogic::Release(gdi::POINT devicePoint, int64_t tickMs)
{
    if (!m_bTracking)
        return false;
    m_bTracking = false;
    CtqRect* selected = Selection();
    if (!selected || IsQuickClick(m_Metrics, tickMs - m_nPressTick, m_PressDevice, devicePoint))
        return false;
    const gdi::RECT r = TrackRect(m_Start, Conversion().ToPage(devicePoint), bounds());
    if (r == selected->GetRect())
        return false;
    selected->SetRect(r);
    m_Doc.SetModifiedFlag(true);
    if (selected->GetTrackKind() < 0)
        m_Doc.m_nPageCut = r.top;
    return true;
}

} // namespace cvr
