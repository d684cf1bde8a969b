#include "imaging/device_context.h"

#include "imaging/gui_session.h"
#include "platform/unicode.h"

#include <QtGui/QFontMetrics>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace gdi {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    int64_t product = int64_t{a} * b, divisor = c;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const int64_t result = product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
    if (result > std::numeric_limits<int32_t>::max() || result < -std::numeric_limits<int32_t>::max())
        return -1;
    return static_cast<int>(result);
}

namespace {

// Default character height of a record with height 0.
constexpr int kDefaultFontPixels = 12;
// Coordinates far beyond any page are pulled in, so that no arithmetic on them overflows.
constexpr int kReach = 1 << 24;
int pulledIn(int v) { return std::clamp(v, -kReach, kReach); }

// Texts and face names come in the process code page, as every narrow string of the suite.
QString fromAnsi(std::string_view text) { return QString::fromStdU16String(platform::ansiToWide(text)); }

// On and off runs, in pixels, of the one-pixel styled pens.
struct Dashes {
    int count;
    int runs[6];
    int period;
};
constexpr Dashes kDashes[] = {
    {2, {18, 6}, 24},             // PS_DASH
    {2, {3, 3}, 6},               // PS_DOT
    {4, {9, 6, 3, 6}, 24},        // PS_DASHDOT
    {6, {9, 3, 3, 3, 3, 3}, 24},  // PS_DASHDOTDOT
};

bool patternOn(int style, int step)
{
    if (style < PS_DASH || style > PS_DASHDOTDOT)
        return true;
    const Dashes& d = kDashes[style - PS_DASH];
    int at = step % d.period;
    for (int i = 0; i < d.count; ++i) {
        if (at < d.runs[i])
            return i % 2 == 0;
        at -= d.runs[i];
    }
    return true;
}

int penPixels(const Pen& pen) { return std::clamp(pen.width, 1, kMaxPenWidth); }

int cellHeight(QFont font, int pixels)
{
    font.setPixelSize(pixels);
    const QFontMetrics metrics(font);
    return metrics.ascent() + metrics.descent();
}

// Ordered 8 x 8 threshold map of the shades: a shade of n/64 blackens the cells below n.
constexpr uint8_t kShadeMap[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

QRect rectOf(const RECT& r)
{
    const int left = pulledIn(std::min(r.left, r.right)), right = pulledIn(std::max(r.left, r.right));
    const int top = pulledIn(std::min(r.top, r.bottom)), bottom = pulledIn(std::max(r.top, r.bottom));
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

bool IsShadeDot(int level, int x, int y) { return level >= 64 || kShadeMap[y & 7][x & 7] < level; }

std::optional<LineSpan> ClipLine(double x0, double y0, double x1, double y1, double left, double top, double right,
                                 double bottom)
{
    // Liang and Barsky: the segment's parameter range inside each of the four half-planes.
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    LineSpan span;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            span.enter = std::max(span.enter, t);
        else
            span.leave = std::min(span.leave, t);
    }
    if (span.enter > span.leave)
        return std::nullopt;
    return span;
}

QFont fontOfLogFont(const LOGFONTA& logFont)
{
    QFont font(fromAnsi(std::string_view(logFont.lfFaceName, ::strnlen(logFont.lfFaceName, sizeof logFont.lfFaceName))));
    font.setWeight(static_cast<QFont::Weight>(logFont.lfWeight <= 0 ? 400 : std::min(logFont.lfWeight, 1000)));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    font.setStyleStrategy(QFont::NoAntialias);
    const int64_t height = logFont.lfHeight;
    int pixels = kDefaultFontPixels;
    if (height < 0) {
        pixels = static_cast<int>(std::min<int64_t>(-height, kMaxFontPixels));
    } else if (height > 0) {
        // The largest character height whose cell fits the height asked for.
        const int wanted = static_cast<int>(std::min<int64_t>(height, kMaxFontPixels));
        constexpr int kReference = 256;
        const int referenceCell = std::max(1, cellHeight(font, kReference));
        pixels = std::clamp(MulDiv(wanted, kReference, referenceCell), 1, kMaxFontPixels);
        while (pixels > 1 && cellHeight(font, pixels) > wanted)
            --pixels;
        while (pixels < kMaxFontPixels && cellHeight(font, pixels + 1) <= wanted)
            ++pixels;
    }
    font.setPixelSize(std::max(1, pixels));
    return font;
}

CDeviceContext::CDeviceContext(QImage& image) : m_image(image)
{
    qelta::imaging::ensureGuiApplication();
    if (m_image.format() != QImage::Format_RGB32)
        m_image = m_image.convertToFormat(QImage::Format_RGB32);
    m_painter = std::make_unique<QPainter>(&m_image);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::TextAntialiasing, false);
}

CDeviceContext::~CDeviceContext() = default;

Pen CDeviceContext::SelectPen(const Pen& pen) { return std::exchange(m_pen, pen); }
Brush CDeviceContext::SelectBrush(const Brush& brush) { return std::exchange(m_brush, brush); }
LOGFONTA CDeviceContext::SelectFont(const LOGFONTA& font) { return std::exchange(m_font, font); }

POINT CDeviceContext::SetViewportOrg(POINT origin)
{
    const POINT before = m_viewportOrg;
    m_viewportOrg = {pulledIn(origin.x), pulledIn(origin.y)};
    m_painter->resetTransform();
    m_painter->translate(m_viewportOrg.x, m_viewportOrg.y);
    return before;
}

int CDeviceContext::GetDeviceCaps(int index) const
{
    const int dotsPerMetre = index == LOGPIXELSX ? m_image.dotsPerMeterX() : index == LOGPIXELSY ? m_image.dotsPerMeterY() : 0;
    return static_cast<int>(std::lround(dotsPerMetre * 0.0254));
}

void CDeviceContext::MoveTo(int x, int y)
{
    m_position = {pulledIn(x), pulledIn(y)};
    m_patternStep = 0;
}

void CDeviceContext::LineTo(int x, int y)
{
    const POINT to{pulledIn(x), pulledIn(y)};
    strokeLine(m_position, to);
    m_position = to;
}

void CDeviceContext::Polyline(const POINT* points, int count)
{
    if (!points || count < 2 || m_pen.style == PS_NULL)
        return;
    if (penPixels(m_pen) > 1) {
        QPolygon polygon;
        for (int i = 0; i < count; ++i)
            polygon << QPoint(pulledIn(points[i].x), pulledIn(points[i].y));
        QPen pen(QColor::fromRgb(m_pen.colour), penPixels(m_pen), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        m_painter->setPen(pen);
        m_painter->drawPolyline(polygon);
        return;
    }
    m_patternStep = 0;
    for (int i = 1; i < count; ++i)
        strokeThin({pulledIn(points[i - 1].x), pulledIn(points[i - 1].y)}, {pulledIn(points[i].x), pulledIn(points[i].y)});
}

void CDeviceContext::strokeLine(POINT from, POINT to)
{
    if (m_pen.style == PS_NULL)
        return;
    const int width = penPixels(m_pen);
    if (width == 1) {
        strokeThin(from, to);
        return;
    }
    // Wide pens draw solid whatever their style, centred on the line, with flat ends; only the
    // part within a pen's width of the device is stroked.
    const QRect device = visibleArea();
    const auto span = ClipLine(from.x, from.y, to.x, to.y, double(device.left()) - width, double(device.top()) - width,
                               double(device.right()) + width, double(device.bottom()) + width);
    if (!span)
        return;
    const QLineF line(from.x, from.y, to.x, to.y);
    QPen pen(QColor::fromRgb(m_pen.colour), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    m_painter->setPen(pen);
    m_painter->drawLine(QLineF(line.pointAt(span->enter), line.pointAt(span->leave)));
}

QRect CDeviceContext::visibleArea() const
{
    return QRect(QPoint(0, 0), m_image.size()).translated(-m_viewportOrg.x, -m_viewportOrg.y);
}

void CDeviceContext::strokeThin(POINT from, POINT to)
{
    // Bresenham's line without its last point, the style's runs going on from the line before.
    // Step k lies k pixels along the major axis and round-half-up(k x minor / major) along the
    // other, where the error-term loop puts it; so only the steps near the device are visited.
    const int64_t dx = std::abs(int64_t{to.x} - from.x), dy = std::abs(int64_t{to.y} - from.y);
    const int64_t steps = std::max(dx, dy);
    const int firstStep = m_patternStep;
    m_patternStep = static_cast<int>((m_patternStep + steps) % 24);
    const QRect visible = visibleArea();
    const auto span = steps == 0 ? std::nullopt
                                 : ClipLine(from.x, from.y, to.x, to.y, visible.left() - 1.0, visible.top() - 1.0,
                                            visible.right() + 1.0, visible.bottom() + 1.0);
    if (!span)
        return;
    const int64_t major = steps, minor = std::min(dx, dy);
    const int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
    const int64_t first = std::clamp<int64_t>(static_cast<int64_t>(std::floor(span->enter * double(steps))) - 2, 0, steps);
    const int64_t last = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(span->leave * double(steps))) + 2, 0, steps);
    std::vector<QPoint> pixels;
    for (int64_t k = first; k < last; ++k) {
        const int64_t across = (2 * k * minor + major) / (2 * major);
        const int64_t x = from.x + sx * (dx >= dy ? k : across), y = from.y + sy * (dx >= dy ? across : k);
        if (patternOn(m_pen.style, static_cast<int>((firstStep + k) % 24)) && visible.contains(int(x), int(y)))
            pixels.emplace_back(int(x), int(y));
    }
    if (pixels.empty())
        return;
    m_painter->setPen(QPen(QColor::fromRgb(m_pen.colour), 1));
    m_painter->drawPoints(pixels.data(), static_cast<int>(pixels.size()));
}

void CDeviceContext::FillSolidRect(const RECT& rect, QRgb colour)
{
    m_painter->fillRect(rectOf(rect), QColor::fromRgb(colour));
}

void CDeviceContext::Rectangle(const RECT& rect)
{
    const QRect box = rectOf(rect);
    if (box.isEmpty())
        return;
    if (!m_brush.null)
        m_painter->fillRect(box, QColor::fromRgb(m_brush.colour));
    if (m_pen.style == PS_NULL)
        return;
    const int width = penPixels(m_pen);
    if (width == 1 && m_pen.style != PS_SOLID && m_pen.style != PS_INSIDEFRAME) {
        const POINT corners[] = {{box.left(), box.top()}, {box.right(), box.top()}, {box.right(), box.bottom()},
                                 {box.left(), box.bottom()}, {box.left(), box.top()}};
        Polyline(corners, 5);
        return;
    }
    // Solid bands along the four edges: a pen w wide centred on the outermost pixels covers w
    // pixels from w / 2 before them; an inside-frame pen keeps its bands inside the rectangle.
    const bool inside = m_pen.style == PS_INSIDEFRAME;
    const int shift = inside ? 0 : width / 2;
    const QRect outer = inside ? box
                               : QRect(QPoint(box.left() - shift, box.top() - shift),
                                       QPoint(box.right() - shift + width - 1, box.bottom() - shift + width - 1));
    const int w = std::min(width, outer.width()), h = std::min(width, outer.height());
    const int rightBand = inside ? outer.right() - w + 1 : box.right() - shift;
    const int bottomBand = inside ? outer.bottom() - h + 1 : box.bottom() - shift;
    const QColor colour = QColor::fromRgb(m_pen.colour);
    m_painter->fillRect(QRect(outer.left(), outer.top(), outer.width(), h), colour);
    m_painter->fillRect(QRect(outer.left(), bottomBand, outer.width(), h), colour);
    m_painter->fillRect(QRect(outer.left(), outer.top(), w, outer.height()), colour);
    m_painter->fillRect(QRect(rightBand, outer.top(), w, outer.height()), colour);
}

bool CDeviceContext::PatBlt(const RECT& rect, uint32_t rop)
{
    const QRect box = rectOf(rect);
    switch (rop) {
    case BLACKNESS:
        m_painter->fillRect(box, Qt::black);
        return true;
    case WHITENESS:
        m_painter->fillRect(box, Qt::white);
        return true;
    case PATCOPY:
    case PATAND:
        if (m_brush.null)
            return true;
        if (m_brush.shade > 0) {
            shade(box, rop == PATCOPY);
            return true;
        }
        m_painter->setCompositionMode(rop == PATAND ? QPainter::RasterOp_SourceAndDestination
                                                    : QPainter::CompositionMode_SourceOver);
        m_painter->fillRect(box, QColor::fromRgb(m_brush.colour));
        m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return true;
    default:
        return false;
    }
}

void CDeviceContext::shade(const QRect& box, bool white)
{
    if (white)
        m_painter->fillRect(box, Qt::white);
    // The dots are placed on the device's pixels and drawn in logical coordinates.
    const QRect device = box.intersected(visibleArea()).translated(m_viewportOrg.x, m_viewportOrg.y);
    std::vector<QPoint> dots;
    ForEachShadeDot(m_brush.shade, device,
                    [&](int x, int y) { dots.emplace_back(x - m_viewportOrg.x, y - m_viewportOrg.y); });
    if (dots.empty())
        return;
    m_painter->setPen(QPen(Qt::black, 1));
    m_painter->drawPoints(dots.data(), static_cast<int>(dots.size()));
}

bool CDeviceContext::StretchBlt(const RECT& rect, const QImage& image, uint32_t rop)
{
    if (image.isNull() || (rop != SRCCOPY && rop != SRCAND))
        return false;
    const int64_t left = pulledIn(rect.left), top = pulledIn(rect.top);
    const int64_t width = int64_t{pulledIn(rect.right)} - left, height = int64_t{pulledIn(rect.bottom)} - top;
    if (width == 0 || height == 0)
        return true;
    // Only the part of the target on the device is made: each of its pixels takes the nearest
    // source pixel (a negative extent mirrors the image).
    const QRect device = visibleArea();
    const QRect target = QRect(QPoint(static_cast<int>(std::min(left, left + width)), static_cast<int>(std::min(top, top + height))),
                               QSize(static_cast<int>(std::abs(width)), static_cast<int>(std::abs(height))))
                             .intersected(device);
    if (target.isEmpty())
        return true;
    // One-bit and 32-bit images are read where they are; others are converted first.
    const QImage::Format format = image.format();
    const bool mono = format == QImage::Format_Mono;
    const QImage source = mono || format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    const QList<QRgb> colours = source.colorTable();
    const QRgb clear = colours.value(0, 0xffffffffu) | 0xff000000u, set = colours.value(1, 0xff000000u) | 0xff000000u;
    QImage part(target.size(), QImage::Format_RGB32);
    for (int y = 0; y < target.height(); ++y) {
        const int64_t sy = (target.top() + y - top) * source.height() / height;
        const uchar* in = source.constScanLine(static_cast<int>(std::clamp<int64_t>(sy, 0, source.height() - 1)));
        auto* out = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const auto sx = static_cast<size_t>(std::clamp<int64_t>((target.left() + x - left) * source.width() / width, 0, source.width() - 1));
            out[x] = mono ? ((in[sx >> 3] >> (7 - (sx & 7))) & 1 ? set : clear)
                          : reinterpret_cast<const QRgb*>(in)[sx] | 0xff000000u;
        }
    }
    m_painter->setCompositionMode(rop == SRCAND ? QPainter::RasterOp_SourceAndDestination : QPainter::CompositionMode_Source);
    m_painter->drawImage(target.topLeft(), part);
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}

void CDeviceContext::DrawText(std::string_view text, const RECT& rect, unsigned format)
{
    if (text.empty() || !qelta::imaging::ensureGuiApplication())
        return;
    int flags = Qt::AlignTop | ((format & DT_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft);
    if (format & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    if (!(format & DT_NOPREFIX))
        flags |= Qt::TextShowMnemonic;
    QString string = fromAnsi(text);
    string.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_painter->setFont(fontOfLogFont(m_font));
    m_painter->setPen(Qt::black);
    m_painter->drawText(rectOf(rect), flags, string);
}

} // namespace gdi
