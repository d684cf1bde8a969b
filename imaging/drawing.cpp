// IKDrawText, IKRectangle and IKLine: text and shapes painted onto page images through QPainter.
// A bilevel page is painted through a colour copy of the part that changes, written back black where
// darker than half; an RGB page is painted in place. Painting is never antialiased, so shapes land
// on whole pixels.
#include "imaging/device_context.h"
#include "imaging/gui_session.h"
#include "imaging/image_table.h"
#include "imaging/imagekit.h"
#include "platform/com.h"
#include "platform/unicode.h"

#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPen>

#include <algorithm>
#include <cstring>

namespace {

using namespace qelta::imaging;

// Paints onto the part `area` of an image and puts the result in its place. paint draws in the
// image's own coordinates. False for a dead handle.
template <typename Paint>
bool paintImage(IKHANDLE image, QRect area, Paint&& paint)
{
    const auto page = images().find(image);
    if (!page)
        return false;
    area = area.intersected(QRect(0, 0, static_cast<int>(page->width), static_cast<int>(page->height)));
    if (area.isEmpty())
        return true;
    if (!ensureGuiApplication())
        return false;
    auto changed = std::make_shared<Page>(*page);
    if (changed->kind == PixelKind::Rgb) {
        QImage view(changed->pixels.data(), static_cast<int>(changed->width), static_cast<int>(changed->height),
                    static_cast<qsizetype>(changed->stride()), QImage::Format_RGB888);
        QPainter painter(&view);
        painter.setClipRect(area);
        paint(painter);
    } else {
        QImage grey(area.size(), QImage::Format_RGB32);
        for (int y = 0; y < area.height(); ++y) {
            const uint8_t* bits = changed->row(static_cast<uint32_t>(area.top() + y));
            auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
            for (int x = 0; x < area.width(); ++x)
                line[x] = bitAt(bits, static_cast<uint32_t>(area.left() + x)) ? 0xff000000u : 0xffffffffu;
        }
        {
            QPainter painter(&grey);
            painter.translate(-area.left(), -area.top());
            painter.setClipRect(area);
            paint(painter);
        }
        for (int y = 0; y < area.height(); ++y) {
            uint8_t* bits = changed->row(static_cast<uint32_t>(area.top() + y));
            const auto* line = reinterpret_cast<const QRgb*>(grey.constScanLine(y));
            for (int x = 0; x < area.width(); ++x)
                setBit(bits, static_cast<uint32_t>(area.left() + x), qGray(line[x]) < 128);
        }
    }
    return images().replace(image, std::move(changed));
}

// Letters taller than this are drawn this tall (an inch and a quarter at 200 dpi).
constexpr int kMaxTextPixels = 256;

// Coordinates far beyond any page are pulled in, so that no arithmetic on them overflows.
constexpr int kReach = 1 << 24;
int pulledIn(int32_t v) { return std::clamp(v, -kReach, kReach); }

// The pixels [left, right) x [top, bottom) of a rectangle (empty when right <= left or bottom <= top).
QRect boxOf(const IKRECT& r)
{
    return QRect(QPoint(pulledIn(r.left), pulledIn(r.top)), QPoint(pulledIn(r.right) - 1, pulledIn(r.bottom) - 1));
}

// Pen widths below 1 draw one pixel wide; no pen is wider than the largest page.
int penWidthOf(const IKDRAWINFO& info) { return std::clamp(info.penWidth, 1, 65535); }

QColor colourOf(uint32_t rgb) { return QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff); }

// ---- shapes ----

// Shares of 64 pixels a fill pattern covers (64: all); -1 for an unknown pattern.
int patternLevel(int32_t pattern)
{
    switch (pattern) {
    case IK_FILL_NONE:
        return 0;
    case IK_FILL_SOLID:
        return 64;
    case IK_FILL_GREY5:
        return gdi::kShade5;
    case IK_FILL_GREY10:
        return gdi::kShade10;
    case IK_FILL_GREY15:
        return gdi::kShade15;
    default:
        return -1;
    }
}

// Sets the dots of a fill of `level` 64ths (64: every pixel) in area (inside the page) to colour;
// what lies between the dots stays as it was drawn before. Written straight into the page: wide
// fills never go through QPainter, whose large fills hand work to threads of its own.
void fillArea(Page& page, const QRect& area, uint32_t colour, int level)
{
    const bool dark = qGray(static_cast<QRgb>(colour)) < 128;
    const uint8_t rgb[3] = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)};
    gdi::ForEachShadeDot(level, area, [&](int x, int y) {
        uint8_t* row = page.row(static_cast<uint32_t>(y));
        if (page.kind == PixelKind::Bilevel)
            setBit(row, static_cast<uint32_t>(x), dark);
        else
            std::memcpy(row + size_t(x) * 3, rgb, 3);
    });
}

// The dashes of a line style (solid styles give Qt::SolidLine); false for an unknown style.
bool penStyleOf(int32_t style, Qt::PenStyle& pen)
{
    switch (style) {
    case IK_LINE_NONE:
        pen = Qt::NoPen;
        return true;
    case IK_LINE_SOLID:
    case IK_LINE_INSIDEFRAME:
        pen = Qt::SolidLine;
        return true;
    case IK_LINE_DASH:
        pen = Qt::DashLine;
        return true;
    case IK_LINE_DOT:
        pen = Qt::DotLine;
        return true;
    case IK_LINE_DASHDOT:
        pen = Qt::DashDotLine;
        return true;
    case IK_LINE_DASHDOTDOT:
        pen = Qt::DashDotDotLine;
        return true;
    default:
        return false;
    }
}

QPen penOf(const IKDRAWINFO& info, Qt::PenStyle style, int width)
{
    QPen pen(colourOf(info.penColor));
    pen.setStyle(style);
    pen.setWidth(width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

int drawRectangle(IKHANDLE image, const IKRECT* rect, const IKDRAWINFO* info, int32_t mode)
{
    Qt::PenStyle style;
    const int level = info ? patternLevel(info->fillPattern) : -1;
    if (!rect || !info || mode != IK_DRAW_PAINT || !penStyleOf(info->lineStyle, style) || level < 0)
        return 0;
    const auto page = images().find(image);
    if (!page)
        return 0;
    const IKRECT turned{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                        std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    const QRect box = boxOf(turned);
    const QRect area = box.intersected(QRect(0, 0, static_cast<int>(page->width), static_cast<int>(page->height)));
    if (area.isEmpty())
        return 1;
    const int width = penWidthOf(*info);
    // Dashes need a stroke; solid outlines, and dashed ones too wide for their rectangle, are
    // bands along the four edges, inside the rectangle.
    const bool stroked = style != Qt::SolidLine && style != Qt::NoPen && 2 * width < std::min(box.width(), box.height());
    auto changed = std::make_shared<Page>(*page);
    if (level > 0)
        fillArea(*changed, area, info->fillColor, level);
    if (style != Qt::NoPen && !stroked) {
        const int w = std::min(width, box.width()), h = std::min(width, box.height());
        for (const QRect& band : {QRect(box.left(), box.top(), box.width(), h),
                                  QRect(box.left(), box.bottom() - h + 1, box.width(), h),
                                  QRect(box.left(), box.top(), w, box.height()),
                                  QRect(box.right() - w + 1, box.top(), w, box.height())})
            fillArea(*changed, band.intersected(area), info->penColor, 64);
    }
    if (!images().replace(image, std::move(changed)))
        return 0;
    if (!stroked)
        return 1;
    const bool drawn = paintImage(image, box, [&](QPainter& painter) {
        painter.setPen(penOf(*info, style, width));
        painter.setBrush(Qt::NoBrush);
        const double half = width / 2.0;
        painter.drawRect(QRectF(box.left() + half, box.top() + half, box.width() - width, box.height() - width));
    });
    return drawn ? 1 : 0;
}

int drawLine(IKHANDLE image, const IKRECT* ends, const IKDRAWINFO* info, int32_t mode)
{
    Qt::PenStyle style;
    if (!ends || !info || mode != IK_DRAW_PAINT || !penStyleOf(info->lineStyle, style))
        return 0;
    if (!images().find(image))
        return 0;
    if (style == Qt::NoPen)
        return 1;
    const int width = penWidthOf(*info);
    const QPoint from(pulledIn(ends->left), pulledIn(ends->top)), to(pulledIn(ends->right), pulledIn(ends->bottom));
    const QRect reach = QRect(from, to)
                            .normalized()
                            .adjusted(-width, -width, width, width);
    const bool drawn = paintImage(image, reach, [&](QPainter& painter) {
        QPen pen = penOf(*info, style, width);
        painter.setPen(pen);
        // Aliased painting samples pixels at whole coordinates: a horizontal line at y, w wide,
        // covers the rows y - w / 2 to y - w / 2 + w - 1.
        painter.drawLine(QLineF(from, to));
    });
    return drawn ? 1 : 0;
}

// ---- text ----

// Texts come in the process code page, as every narrow string of the suite.
QString fromAnsi(std::string_view text) { return QString::fromStdU16String(platform::ansiToWide(text)); }

QString textOf(const char* text)
{
    QString s = fromAnsi(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

int drawText(IKHANDLE image, const IKRECT* rect, const IKFONT* font, const char* text, int32_t background,
             int32_t wrap, int32_t align)
{
    if (!rect || !font || !text)
        return 0;
    if (!images().find(image))
        return 0;
    const QRect box = boxOf(*rect);
    if (box.isEmpty())
        return 1;
    const auto face = std::string(font->faceName, ::strnlen(font->faceName, sizeof font->faceName));
    if (background == 1) {
        IKDRAWINFO white{};
        white.lineStyle = IK_LINE_NONE;
        white.fillPattern = IK_FILL_SOLID;
        white.fillColor = 0xffffff;
        if (drawRectangle(image, rect, &white, IK_DRAW_PAINT) != 1)
            return 0;
    }
    const bool drawn = paintImage(image, box, [&](QPainter& painter) {
        QFont qfont(fromAnsi(face));
        // Points at 96 pixels per inch, as every caller measures them, up to the largest letters
        // a page can use.
        qfont.setPixelSize(std::clamp(font->pointSize * 96 / 72, 1, kMaxTextPixels));
        qfont.setBold(font->bold != 0);
        qfont.setItalic(font->italic != 0);
        qfont.setUnderline(font->underline != 0);
        qfont.setStrikeOut(font->strikeOut != 0);
        qfont.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(qfont);
        painter.setPen(Qt::black);
        int flags = Qt::AlignTop | (align == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
        if (wrap == 1)
            flags |= Qt::TextWordWrap;
        painter.drawText(box, flags, textOf(text));
    });
    return drawn ? 1 : 0;
}

} // namespace

extern "C" int IKDrawText(IKHANDLE image, const IKRECT* rect, const IKFONT* font, const char* text, int32_t background,
                          int32_t wrap, int32_t align)
{
    return guardedExport(0, [&] { return drawText(image, rect, font, text, background, wrap, align); });
}

extern "C" int IKRectangle(IKHANDLE image, const IKRECT* rect, const IKDRAWINFO* info, int32_t mode)
{
    return guardedExport(0, [&] { return drawRectangle(image, rect, info, mode); });
}

extern "C" int IKLine(IKHANDLE image, const IKRECT* ends, const IKDRAWINFO* info, int32_t mode)
{
    return guardedExport(0, [&] { return drawLine(image, ends, info, mode); });
}
