#include "viewer/annotation_item.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace viewer {

int TurnAngle(int from, int to)
{
    switch (from - to) {
    case 1:
    case -3: return 90;
    case 2:
    case -2: return 180;
    case 3:
    case -1: return 270;
    default: return 0;
    }
}

gdi::POINT TurnPointBy(int angle, gdi::POINT p, int width, int height)
{
    switch (angle) {
    case 90: return {width - p.y, p.x};
    case 180: return {width - p.x, height - p.y};
    case 270: return {p.y, height - p.x};
    default: return p;
    }
}

gdi::RECT TurnRectBy(int angle, const gdi::RECT& r, int width, int height)
{
    switch (angle) {
    case 90: return {width - r.bottom, r.left, width - r.top, r.right};
    case 180: return {width - r.right, height - r.bottom, width - r.left, height - r.top};
    case 270: return {r.top, height - r.right, r.bottom, height - r.left};
    default: return r;
    }
}

gdi::RECT TurnRect(const gdi::RECT& rect, int from, int to, int width, int height)
{
    return TurnRectBy(TurnAngle(from, to), rect, width, height);
}

int ToScreen(int value, double zoom) { return static_cast<int>(value * zoom); }

int ToPage(int value, double zoom) { return zoom > 0 ? static_cast<int>(value / zoom) : 0; }

gdi::RECT ToScreen(const gdi::RECT& r, double zoom)
{
    return {ToScreen(r.left, zoom), ToScreen(r.top, zoom), ToScreen(r.right, zoom), ToScreen(r.bottom, zoom)};
}

gdi::RECT ToPage(const gdi::RECT& r, double zoom)
{
    return {ToPage(r.left, zoom), ToPage(r.top, zoom), ToPage(r.right, zoom), ToPage(r.bottom, zoom)};
}

std::pair<int, int> SizeInOrientation(int width, int height, int rotation)
{
    return rotation % 2 ? std::pair{height, width} : std::pair{width, height};
}

gdi::RECT ScreenRectOf(const CAnnotationItem& item, int rotation, int width, int height, double zoom)
{
    return ToScreen(TurnRect(item.rect, item.orientation, rotation, width, height), zoom);
}

std::pair<gdi::POINT, gdi::POINT> ScreenLineOf(const CAnnotationItem& item, int rotation, int width, int height,
                                               double zoom)
{
    const int angle = TurnAngle(item.orientation, rotation);
    const gdi::POINT a = TurnPointBy(angle, {item.x1, item.y1}, width, height);
    const gdi::POINT b = TurnPointBy(angle, {item.x2, item.y2}, width, height);
    return {{ToScreen(a.x, zoom), ToScreen(a.y, zoom)}, {ToScreen(b.x, zoom), ToScreen(b.y, zoom)}};
}

int ScreenPenWidth(int width, double zoom) { return std::max(1, static_cast<int>(zoom * width)); }

gdi::RECT RepaintArea(const gdi::RECT& r, int width, double zoom)
{
    int near = 3, far = 4;
    if (width > 0) {
        const int u = std::max(1, static_cast<int>(zoom * (width + 1)));
        near = std::max(u, 3);
        far = std::max(u, 4);
    }
    return {r.left - near, r.top - near, r.right + far, r.bottom + far};
}

gdi::RECT Spanned(gdi::POINT a, gdi::POINT b)
{
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

gdi::RECT BoundingBox(const std::vector<CAnnotationPoint>& points)
{
    if (points.empty())
        return {};
    gdi::RECT r{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const CAnnotationPoint& p : points) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return r;
}

gdi::RECT OffsetRect(const gdi::RECT& r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

gdi::POINT ClampToRect(gdi::POINT p, const gdi::RECT& r)
{
    return {std::clamp(p.x, r.left, r.right), std::clamp(p.y, r.top, r.bottom)};
}

gdi::POINT TurnVector(int angle, gdi::POINT d)
{
    switch (angle) {
    case 90: return {-d.y, d.x};
    case 180: return {-d.x, -d.y};
    case 270: return {d.y, -d.x};
    default: return d;
    }
}

int PageFontHeight(int lfHeight, int screenDpi)
{
    return static_cast<int>(int64_t{lfHeight} * kPageDpi / (screenDpi > 0 ? screenDpi : 96));
}

gdi::RECT HandleRect(gdi::POINT c) { return {c.x - 3, c.y - 3, c.x + 4, c.y + 4}; }

std::array<gdi::RECT, 8> HandleRects(const gdi::RECT& r)
{
    const int mx = r.left + (r.right - r.left) / 2, my = r.top + (r.bottom - r.top) / 2;
    return {HandleRect({r.left, r.top}),    HandleRect({mx, r.top}),    HandleRect({r.right, r.top}),
            HandleRect({r.left, my}),       HandleRect({r.right, my}),  HandleRect({r.left, r.bottom}),
            HandleRect({mx, r.bottom}),     HandleRect({r.right, r.bottom})};
}

bool SegmentHit(gdi::POINT a, gdi::POINT b, gdi::POINT p, int t)
{
    // 64-bit throughout: page coordinates at 400 % may be large and the products exceed 32 bits.
    const long long m = static_cast<long long>(t) + 8;
    if (p.x < std::min(a.x, b.x) - m || p.x > std::max(a.x, b.x) + m || p.y < std::min(a.y, b.y) - m
        || p.y > std::max(a.y, b.y) + m)
        return false;
    const long long dx = static_cast<long long>(a.x) - b.x, dy = static_cast<long long>(a.y) - b.y;
    if ((std::llabs(dx) <= m && std::llabs(static_cast<long long>(a.x) - p.x) <= m)
        || (std::llabs(dy) <= m && std::llabs(static_cast<long long>(a.y) - p.y) <= m))
        return true;
    const long long near = static_cast<long long>(t) + 16;
    bool hit = true;
    if (dy != 0) {
        const long long xa = b.x + (static_cast<long long>(p.y) - b.y) * (dx + 16) / dy;
        const long long xb = b.x + (static_cast<long long>(p.y) - b.y) * (dx - 16) / dy;
        hit = hit && (std::llabs(p.x - xa) <= near || std::llabs(p.x - xb) <= near);
    }
    if (dx != 0) {
        const long long ya = b.y + (static_cast<long long>(p.x) - b.x) * (dy + 16) / dx;
        const long long yb = b.y + (static_cast<long long>(p.x) - b.x) * (dy - 16) / dx;
        hit = hit && (std::llabs(p.y - ya) <= near || std::llabs(p.y - yb) <= near);
    }
    return hit;
}

} // namespace viewer
