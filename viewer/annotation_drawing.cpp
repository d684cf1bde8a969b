#include "viewer/annotation_drawing.h"

#include "imaging/page_proportions.h"

#include "viewer/page_rendering.h"

#include <QtGui/QPainter>

#include <algorithm>
#include <array>
#include <cstring>

namespace viewer {

namespace {

constexpr QRgb kWhite = 0xffffffffu, kBlack = 0xff000000u;

QRect qrectOf(const gdi::RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

bool isQuarter(int angle) { return angle == 90 || angle == 270; }

// A page font height at the zoom; a height that the zoom would make 0 (the default size) stays one
// pixel.
int zoomedFontHeight(int pageHeight, double zoom)
{
    const int height = static_cast<int>(pageHeight * zoom);
    return height != 0 || pageHeight == 0 ? height : (pageHeight < 0 ? -1 : 1);
}

// The part `frame` of the item's text word-wrapped into textRect (both in the item's unturned
// frame) as a mask of frame's size (1 where the text is, 0 elsewhere; colour table {transparent,
// colour}), in the item's font at fontHeight.
QImage textMask(const CAnnotationItem& item, const QRect& frame, int fontHeight, const gdi::RECT& textRect,
                QRgb colour)
{
    const int width = frame.width(), height = frame.height();
    QImage canvas(width, height, QImage::Format_RGB32);
    QImage mask(width, height, QImage::Format_Mono);
    if (canvas.isNull() || mask.isNull())
        return {};
    canvas.fill(kWhite);
    mask.fill(0);
    mask.setColorTable({0x00000000u, colour | 0xff000000u});
    if (!item.text.empty()) {
        {
            gdi::CDeviceContext dc(canvas);
            gdi::LOGFONTA font = item.font;
            font.lfHeight = fontHeight;
            dc.SelectFont(font);
            dc.SetViewportOrg({-frame.left(), -frame.top()});
            dc.DrawText(item.text, textRect, gdi::DT_NOPREFIX | gdi::DT_WORDBREAK);
        }
        for (int y = 0; y < height; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            uchar* out = mask.scanLine(y);
            for (int x = 0; x < width; ++x)
                if (qGray(in[x]) < 128)
                    out[x >> 3] |= static_cast<uchar>(0x80u >> (x & 7));
        }
    }
    return mask;
}

// A mask turned into the target's orientation (by angle; 0 keeps it).
QImage turnedMask(const QImage& mask, int angle) { return angle == 0 || mask.isNull() ? mask : TurnBitmap(mask, angle); }

// The part of a (left, top, right, bottom) rectangle kept when its unturned height is made even:
// one pixel off the side that the turn maps the bottom to.
gdi::RECT evenHeight(gdi::RECT r, int angle)
{
    const int unturnedHeight = isQuarter(angle) ? r.right - r.left : r.bottom - r.top;
    if (unturnedHeight % 2 == 0)
        return r;
    switch (angle) {
    case 90: ++r.left; break;
    case 180: ++r.top; break;
    case 270: --r.right; break;
    default: --r.bottom; break;
    }
    return r;
}

// A pixel on a one-bit image through its colour table: true when it shows dark.
int whiteIndexOf(const QImage& mono) { return qGray(mono.colorTable().value(0, kWhite)) >= 128 ? 0 : 1; }

// 32-bit pixels written back into a one-bit image at `at`: dark ones black, light ones white.
void thresholdInto(const QImage& rgb, QImage& mono, QPoint at)
{
    const int white = whiteIndexOf(mono);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = mono.scanLine(at.y() + y);
        for (int x = 0; x < rgb.width(); ++x) {
            const int px = at.x() + x;
            const bool dark = qGray(in[x]) < 128;
            const auto bit = static_cast<uchar>(0x80u >> (px & 7));
            if (dark != (white == 1))
                out[px >> 3] |= bit;
            else
                out[px >> 3] &= static_cast<uchar>(~bit);
        }
    }
}

// ---- on screen ----

struct ScreenPass {
    const CAnnotationList& items;
    int page;
    const CScreenFrame& frame;

    int angleOf(const CAnnotationItem& item) const { return TurnAngle(item.orientation, frame.rotation); }
    gdi::RECT rectOf(const CAnnotationItem& item) const
    {
        return ScreenRectOf(item, frame.rotation, frame.pageWidth, frame.pageHeight, frame.zoom);
    }
    gdi::POINT pointOf(const CAnnotationItem& item, gdi::POINT p) const
    {
        const gdi::POINT t = TurnPointBy(angleOf(item), p, frame.pageWidth, frame.pageHeight);
        return {ToScreen(t.x, frame.zoom), ToScreen(t.y, frame.zoom)};
    }
    QRgb fill() const { return frame.invert ? kBlack : kWhite; }
    int fontHeight(const CAnnotationItem& item) const
    {
        return zoomedFontHeight(PageFontHeight(item.font.lfHeight, frame.screenDpi), frame.zoom);
    }
    bool meets(const CAnnotationItem& item, const QRect& area) const
    {
        return item.page == page && IsDrawnKind(item.kind)
               && qrectOf(RepaintArea(rectOf(item), item.width, frame.zoom)).intersects(area);
    }

    void pen(QPainter& painter, const CAnnotationItem& item) const
    {
        painter.setPen(QPen(QColor::fromRgb(RgbOfColorref(item.colour)), ScreenPenWidth(item.width, frame.zoom),
                            Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
    }

    // Kinds 2, 4, 5 and 6, which draw straight onto the painter.
    void drawPenKind(QPainter& painter, const CAnnotationItem& item) const
    {
        switch (item.kind) {
        case kAnnotFreehand: {
            if (item.points.size() < 2)
                return;
            QPolygon polygon;
            polygon.reserve(static_cast<int>(item.points.size()));
            for (const CAnnotationPoint& p : item.points) {
                const gdi::POINT s = pointOf(item, {p.x, p.y});
                polygon << QPoint(s.x, s.y);
            }
            pen(painter, item);
            painter.drawPolyline(polygon);
            return;
        }
        case kAnnotLine: {
            const gdi::POINT a = pointOf(item, {item.x1, item.y1}), b = pointOf(item, {item.x2, item.y2});
            pen(painter, item);
            painter.drawLine(a.x, a.y, b.x, b.y);
            return;
        }
        case kAnnotRectangle: {
            const gdi::RECT r = rectOf(item);
            const QPoint corners[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom},
                                      {r.left, r.top}};
            pen(painter, item);
            painter.drawPolyline(corners, 5);
            return;
        }
        case kAnnotPaintRectangle:
            painter.fillRect(qrectOf(rectOf(item)), QColor::fromRgb(RgbOfColorref(item.colour)));
            return;
        default: return;
        }
    }

    // The item's text (textRect in its unturned frame) turned by the item's angle into target (the
    // frame's place on screen), only the part inside clip being made.
    void drawTurnedText(QPainter& painter, const CAnnotationItem& item, const QRect& target, const QRect& clip,
                        const gdi::RECT& textRect) const
    {
        const QRect part = target.intersected(clip);
        if (part.isEmpty())
            return;
        const int angle = angleOf(item);
        const int uw = isQuarter(angle) ? target.height() : target.width();
        const int uh = isQuarter(angle) ? target.width() : target.height();
        const QRect shown = part.translated(-target.topLeft());
        const gdi::RECT frameRect = TurnRectBy((360 - angle) % 360,
                                               {shown.left(), shown.top(), shown.right() + 1, shown.bottom() + 1}, uw, uh);
        const QImage mask = turnedMask(
            textMask(item, qrectOf(frameRect), fontHeight(item), textRect, RgbOfColorref(item.colour)), angle);
        if (!mask.isNull())
            painter.drawImage(part.topLeft(), mask);
    }

    // The text of kinds 7, 9 and 10 in its colour over what the painter holds at r (r already made
    // of even unturned height).
    void drawTextOnly(QPainter& painter, const CAnnotationItem& item, const gdi::RECT& r, const QRect& clip) const
    {
        const int angle = angleOf(item);
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int uw = isQuarter(angle) ? h : w, uh = isQuarter(angle) ? w : h;
        if (uw > 0 && uh > 0)
            drawTurnedText(painter, item, qrectOf(r), clip, {0, 0, uw, uh});
    }

    void drawPatchMemo(QPainter& painter, const CAnnotationItem& item, const QRect& clip) const
    {
        const int angle = angleOf(item);
        const gdi::RECT r = rectOf(item);
        const int n1 = std::max(1, static_cast<int>(frame.zoom)), n2 = 2 * n1;
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int uw = isQuarter(angle) ? h : w, uh = isQuarter(angle) ? w : h;
        const int bw = uw - n2, bh = (uh - n2) - (uh - n2) % 2;
        if (bw > 0 && bh > 0) {
            const QRect box = qrectOf(TurnRectBy(angle, {0, 0, bw, bh}, w, h)).translated(r.left, r.top);
            painter.fillRect(box.intersected(clip), QColor::fromRgb(RgbOfColorref(item.background)));
            drawTurnedText(painter, item, box, clip, {5 * n1, 5 * n1, uw - 7 * n1, uh - 7 * n1});
        }
        const QColor edge = QColor::fromRgb(frame.invert ? kWhite : kBlack);
        ForEachPatchMemoFrameRun(r, angle, n1, [&](const QRect& run) { painter.fillRect(run.intersected(clip), edge); });
    }

    // An item drawn into an off-screen composition whose painter is translated to screen
    // coordinates: as on screen, except that a marker multiplies its colour over what is there and
    // a text draws over it (what lies below is in the composition already).
    void drawNested(QPainter& painter, const CAnnotationItem& item, const QRect& clip) const
    {
        switch (item.kind) {
        case kAnnotMarker:
            painter.setCompositionMode(frame.invert ? QPainter::RasterOp_SourceAndNotDestination
                                                    : QPainter::RasterOp_SourceAndDestination);
            painter.fillRect(qrectOf(rectOf(item)), QColor::fromRgb(RgbOfColorref(item.colour)));
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            return;
        case kAnnotText:
        case kAnnotTextFile:
        case kAnnotStamp: drawTextOnly(painter, item, evenHeight(rectOf(item), angleOf(item)), clip); return;
        case kAnnotPatchMemo: drawPatchMemo(painter, item, clip); return;
        default: drawPenKind(painter, item); return;
        }
    }

    // The items below index `count` meeting `part` drawn into canvas, whose (0, 0) is part's
    // top-left corner; markers left out with markersOut.
    void drawBelow(QImage& canvas, size_t count, const QRect& part, bool markersOut) const
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(-part.topLeft());
        for (size_t i = 0; i < count && i < items.size(); ++i) {
            const CAnnotationItem& below = *items[i];
            if ((markersOut && below.kind == kAnnotMarker) || !meets(below, part))
                continue;
            drawNested(painter, below, part);
        }
    }

    void drawMarker(QPainter& painter, size_t index, const QRect& area) const
    {
        const CAnnotationItem& item = *items[index];
        const QRect whole = qrectOf(rectOf(item));
        const QRect part = whole.intersected(area);
        if (part.isEmpty())
            return;
        const QColor colour = QColor::fromRgb(RgbOfColorref(item.colour));
        QImage canvas(part.size(), QImage::Format_RGB32);
        bool drawn = false;
        if (frame.image && !canvas.isNull()) {
            canvas.fill(fill());
            QPainter region(&canvas);
            drawn = frame.image->DrawRegionInColour(region, part.left(), part.top(), part.width(), part.height(),
                                                    frame.displayWidth, frame.displayHeight, item.colour, frame.invert);
        }
        if (drawn) {
            drawBelow(canvas, index, part, true);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(part.topLeft(), canvas);
        } else {
            painter.setCompositionMode(frame.invert ? QPainter::RasterOp_SourceAndNotDestination
                                                    : QPainter::RasterOp_SourceAndDestination);
            painter.fillRect(part, colour);
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void drawText(QPainter& painter, size_t index, const QRect& area) const
    {
        const CAnnotationItem& item = *items[index];
        const gdi::RECT r = evenHeight(rectOf(item), angleOf(item));
        const QRect part = qrectOf(r).intersected(area);
        if (part.isEmpty())
            return;
        QImage canvas(part.size(), QImage::Format_RGB32);
        if (canvas.isNull())
            return;
        canvas.fill(fill());
        bool drawn = false;
        if (frame.image) {
            QPainter region(&canvas);
            drawn = frame.image->DrawRegion(region, part.left(), part.top(), part.width(), part.height(),
                                            frame.displayWidth, frame.displayHeight);
        }
        if (drawn)
            drawBelow(canvas, index, part, false);
        {
            QPainter over(&canvas);
            over.translate(-part.topLeft());
            drawTextOnly(over, item, r, part);
        }
        painter.setCompositionMode(drawn ? QPainter::CompositionMode_Source : QPainter::RasterOp_SourceAndDestination);
        painter.drawImage(part.topLeft(), canvas);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void drawHandles(QPainter& painter, const CAnnotationItem& item) const
    {
        if (item.kind == kAnnotLine) {
            for (const gdi::POINT p : {pointOf(item, {item.x1, item.y1}), pointOf(item, {item.x2, item.y2})})
                painter.fillRect(qrectOf(HandleRect(p)), Qt::black);
            return;
        }
        const QRect pageRect(0, 0, ToScreen(frame.pageWidth, frame.zoom), ToScreen(frame.pageHeight, frame.zoom));
        for (const gdi::RECT& handle : HandleRects(rectOf(item)))
            painter.fillRect(qrectOf(handle).intersected(pageRect), Qt::black);
    }
};

// ---- burn in ----

// The hatch of a burnt marker: a diagonal cross every 8 pixels from the bitmap's corner (1 where
// the hatch is; colour table {background, colour}).
QImage crossHatch(int width, int height, QRgb colour, QRgb background)
{
    QImage hatch(width, height, QImage::Format_Mono);
    if (hatch.isNull())
        return hatch;
    hatch.setColorTable({background, colour});
    hatch.fill(0);
    for (int y = 0; y < height; ++y) {
        uchar* line = hatch.scanLine(y);
        const int a = y & 7, b = 7 - (y & 7);
        for (int x = 0; x < width; ++x)
            if ((x & 7) == a || (x & 7) == b)
                line[x >> 3] |= static_cast<uchar>(0x80u >> (x & 7));
    }
    return hatch;
}

// One item into a 1-bit page's device context: turned by angle with the page's size W x H, at
// 100 %, white on black for a white item and black on white otherwise.
void burnItem(gdi::CDeviceContext& dc, const CAnnotationItem& item, int angle, int width, int height, int screenDpi)
{
    const bool white = item.colour == kColourWhite;
    const QRgb colour = white ? kWhite : kBlack, background = white ? kBlack : kWhite;
    auto turned = [&](int x, int y) { return TurnPointBy(angle, {x, y}, width, height); };
    const gdi::RECT r = TurnRectBy(angle, item.rect, width, height);
    dc.SelectPen(gdi::Pen{gdi::PS_SOLID, item.width, colour});
    switch (item.kind) {
    case kAnnotFreehand: {
        std::vector<gdi::POINT> points;
        points.reserve(item.points.size());
        for (const CAnnotationPoint& p : item.points)
            points.push_back(turned(p.x, p.y));
        dc.Polyline(points.data(), static_cast<int>(points.size()));
        return;
    }
    case kAnnotMarker: {
        if (r.right > r.left && r.bottom > r.top)
            dc.StretchBlt(r, crossHatch(r.right - r.left, r.bottom - r.top, colour, background), gdi::SRCAND);
        return;
    }
    case kAnnotLine: {
        const gdi::POINT a = turned(item.x1, item.y1), b = turned(item.x2, item.y2);
        dc.MoveTo(a.x, a.y);
        dc.LineTo(b.x, b.y);
        return;
    }
    case kAnnotRectangle: {
        const gdi::POINT corners[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom},
                                      {r.left, r.top}};
        dc.Polyline(corners, 5);
        return;
    }
    case kAnnotPaintRectangle: dc.FillSolidRect(r, colour); return;
    case kAnnotText:
    case kAnnotPatchMemo:
    case kAnnotTextFile:
    case kAnnotStamp: {
        const bool memo = item.kind == kAnnotPatchMemo;
        const int uw = item.rect.right - item.rect.left, uh = item.rect.bottom - item.rect.top;
        const int bw = memo ? uw - 2 : uw, bh = (memo ? uh - 2 : uh) - (memo ? uh - 2 : uh) % 2;
        if (bw > 0 && bh > 0) {
            const gdi::RECT textRect = memo ? gdi::RECT{5, 5, uw - 7, uh - 7} : gdi::RECT{0, 0, bw, bh};
            QImage bitmap =
                textMask(item, QRect(0, 0, bw, bh), PageFontHeight(item.font.lfHeight, screenDpi), textRect, colour);
            if (!bitmap.isNull()) {
                bitmap.setColorTable({background, colour});
                bitmap = turnedMask(bitmap, angle);
                const gdi::RECT box{item.rect.left, item.rect.top, item.rect.left + bw, item.rect.top + bh};
                dc.StretchBlt(TurnRectBy(angle, box, width, height), bitmap, memo ? gdi::SRCCOPY : gdi::SRCAND);
            }
        }
        if (memo)
            ForEachPatchMemoFrameRun(r, angle, 1, [&](const QRect& run) {
                dc.FillSolidRect({run.left(), run.top(), run.right() + 1, run.bottom() + 1}, kBlack);
            });
        return;
    }
    default: return;
    }
}

// Pixel access of the raw bitmap depths.
struct PixelMover {
    int bpp;
    void move(const uint8_t* from, int fx, uint8_t* to, int tx) const
    {
        switch (bpp) {
        case 1:
            if ((from[fx >> 3] >> (7 - (fx & 7))) & 1)
                to[tx >> 3] |= static_cast<uint8_t>(0x80u >> (tx & 7));
            return;
        case 4: {
            const int v = (from[fx >> 1] >> ((fx & 1) ? 0 : 4)) & 0x0F;
            to[tx >> 1] |= static_cast<uint8_t>(v << ((tx & 1) ? 0 : 4));
            return;
        }
        default: {
            const int bytes = bpp / 8;
            std::memcpy(to + static_cast<ptrdiff_t>(tx) * bytes, from + static_cast<ptrdiff_t>(fx) * bytes,
                        static_cast<size_t>(bytes));
            return;
        }
        }
    }
};

int bitsOfFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Mono: return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8: return 8;
    case QImage::Format_RGB16: return 16;
    case QImage::Format_RGB888: return 24;
    default: return 0;
    }
}

} // namespace

void DrawAnnotationsOnScreen(QPainter& painter, const CAnnotationList& items, int page, int selected,
                             const CScreenFrame& frame, const QRect& area)
{
    if (frame.zoom <= 0 || area.isEmpty())
        return;
    const ScreenPass pass{items, page, frame};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (size_t i = 0; i < items.size(); ++i) {
        const CAnnotationItem& item = *items[i];
        if (!pass.meets(item, area))
            continue;
        switch (item.kind) {
        case kAnnotMarker: pass.drawMarker(painter, i, area); break;
        case kAnnotText:
        case kAnnotTextFile:
        case kAnnotStamp: pass.drawText(painter, i, area); break;
        case kAnnotPatchMemo: pass.drawPatchMemo(painter, item, area); break;
        default: pass.drawPenKind(painter, item); break;
        }
    }
    if (selected >= 0 && static_cast<size_t>(selected) < items.size()) {
        const CAnnotationItem& item = *items[static_cast<size_t>(selected)];
        if (item.page == page && IsDrawnKind(item.kind))
            pass.drawHandles(painter, item);
    }
    painter.restore();
}

bool BurnInAnnotations(QImage& page, const CAnnotationList& items, int pageIndex, int screenDpi)
{
    if (page.format() != QImage::Format_Mono || page.isNull())
        return false;
    const int width = page.width(), height = page.height();
    QRect box;
    bool any = false;
    for (const auto& item : items) {
        if (item->page != pageIndex || !IsDrawnKind(item->kind))
            continue;
        any = true;
        const gdi::RECT r = TurnRect(item->rect, item->orientation, 0, width, height);
        box = box.united(qrectOf(RepaintArea(r, std::max(item->width, 1), 1.0)));
    }
    if (!any)
        return false;
    box = box.intersected(page.rect());
    if (box.isEmpty())
        return true;
    QImage canvas = page.copy(box).convertToFormat(QImage::Format_RGB32);
    if (canvas.isNull())
        return false;
    {
        gdi::CDeviceContext dc(canvas);
        dc.SetViewportOrg({-box.left(), -box.top()});
        for (const auto& item : items)
            if (item->page == pageIndex && IsDrawnKind(item->kind))
                burnItem(dc, *item, TurnAngle(item->orientation, 0), width, height, screenDpi);
    }
    thresholdInto(canvas, page, box.topLeft());
    return true;
}

QImage AnnotationPicture(const CAnnotationItem& item, int screenDpi)
{
    const int width = item.rect.right - item.rect.left, height = item.rect.bottom - item.rect.top;
    if (width <= 0 || height <= 0 || !IsDrawnKind(item.kind))
        return {};
    QImage canvas(width, height, QImage::Format_RGB32);
    QImage picture(width, height, QImage::Format_Mono);
    if (canvas.isNull() || picture.isNull())
        return {};
    canvas.fill(item.colour == kColourWhite ? kBlack : kWhite);
    {
        gdi::CDeviceContext dc(canvas);
        dc.SetViewportOrg({-item.rect.left, -item.rect.top});
        burnItem(dc, item, 0, item.pageWidth, item.pageHeight, screenDpi);
    }
    picture.setColorTable({kWhite, kBlack});
    picture.fill(0);
    thresholdInto(canvas, picture, {0, 0});
    return picture;
}

std::optional<CRawBitmap> TurnBitmap(const CRawBitmap& source, int angle)
{
    const int bpp = source.bitsPerPixel, w = source.width, h = source.height;
    if ((bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24) || w <= 0 || h <= 0
        || (angle != 90 && angle != 180 && angle != 270)
        || source.bits.size() < static_cast<size_t>(source.RowBytes()) * static_cast<size_t>(h))
        return std::nullopt;
    CRawBitmap out;
    out.bitsPerPixel = bpp;
    out.width = angle == 180 ? w : h;
    out.height = angle == 180 ? h : w;
    const size_t fromRow = static_cast<size_t>(source.RowBytes()), toRow = static_cast<size_t>(out.RowBytes());
    out.bits.assign(toRow * static_cast<size_t>(out.height), 0);
    const PixelMover mover{bpp};
    for (int y = 0; y < h; ++y) {
        const uint8_t* line = source.bits.data() + fromRow * static_cast<size_t>(y);
        for (int x = 0; x < w; ++x) {
            int tx = 0, ty = 0;
            switch (angle) {
            case 90: tx = h - 1 - y, ty = x; break;
            case 180: tx = w - 1 - x, ty = h - 1 - y; break;
            default: tx = y, ty = w - 1 - x; break;
            }
            mover.move(line, x, out.bits.data() + toRow * static_cast<size_t>(ty), tx);
        }
    }
    return out;
}

QImage TurnBitmap(const QImage& source, int angle)
{
    const int bpp = bitsOfFormat(source.format());
    if (bpp == 0 || source.isNull())
        return {};
    CRawBitmap raw;
    raw.width = source.width();
    raw.height = source.height();
    raw.bitsPerPixel = bpp;
    const size_t rowBytes = static_cast<size_t>(raw.RowBytes());
    const size_t used = (static_cast<size_t>(raw.width) * static_cast<size_t>(bpp) + 7) / 8;
    raw.bits.assign(rowBytes * static_cast<size_t>(raw.height), 0);
    for (int y = 0; y < raw.height; ++y)
        std::memcpy(raw.bits.data() + rowBytes * static_cast<size_t>(y), source.constScanLine(y), used);
    if (bpp == 1 && raw.width % 8 != 0) // bits past the last pixel are not the image's
        for (int y = 0; y < raw.height; ++y)
            raw.bits[rowBytes * static_cast<size_t>(y) + used - 1] &= static_cast<uint8_t>(0xFF00u >> (raw.width % 8));
    const std::optional<CRawBitmap> turned = TurnBitmap(raw, angle);
    if (!turned)
        return {};
    QImage out(turned->width, turned->height, source.format());
    if (out.isNull())
        return out;
    out.setColorTable(source.colorTable());
    const size_t outRow = static_cast<size_t>(turned->RowBytes());
    const size_t outUsed = (static_cast<size_t>(turned->width) * static_cast<size_t>(bpp) + 7) / 8;
    for (int y = 0; y < turned->height; ++y)
        std::memcpy(out.scanLine(y), turned->bits.data() + outRow * static_cast<size_t>(y), outUsed);
    return out;
}

gdi::RECT FitToPrinter(int horzRes, int vertRes, int pageWidth, int pageHeight, const gdi::RECT& rect)
{
    if (pageWidth <= 0 || pageHeight <= 0)
        return {};
    const int64_t a = pageWidth, b = pageHeight, c = horzRes;
    int64_t d = vertRes, f = c;
    const int64_t e = b * c / a;
    if (d < e)
        f = std::min(a * d / b, c);
    else if (e < d)
        d = e;
    return {static_cast<int32_t>(f * rect.left / a), static_cast<int32_t>(d * rect.top / b),
            static_cast<int32_t>(f * rect.right / a), static_cast<int32_t>(d * rect.bottom / b)};
}

void BandedPrint(QPainter& painter, int x, int y, int width, int height, const QImage& page, int logPixelsX,
                 double stretch)
{
    if (page.isNull())
        return;
    const QImage mono = page.format() == QImage::Format_Mono ? page : page.convertToFormat(QImage::Format_Mono);
    if (logPixelsX == 200) {
        width = mono.width();
        height = qelta::imaging::shownHeight(mono.height(), stretch);
    }
    if (width <= 0 || height <= 0 || painter.device() == nullptr)
        return;
    const QRect visible = ShownPart(painter);
    // Each band is stretched from the page as the whole stretched bitmap would have it.
    std::vector<int> column(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i)
        column[static_cast<size_t>(i)] = static_cast<int>(int64_t{i} * mono.width() / width);
    constexpr int kBand = 32;
    QImage band(width, kBand, QImage::Format_Mono);
    if (band.isNull())
        return;
    band.setColorTable(mono.colorTable());
    for (int offset = 0; offset < height; offset += kBand) {
        const int rows = std::min(kBand, height - offset);
        if (!visible.intersects(QRect(x, y + offset, width, rows)))
            continue;
        band.fill(0);
        for (int r = 0; r < rows; ++r) {
            const uchar* in = mono.constScanLine(static_cast<int>(int64_t{offset + r} * mono.height() / height));
            uchar* out = band.scanLine(r);
            for (int i = 0; i < width; ++i) {
                const int sx = column[static_cast<size_t>(i)];
                if ((in[sx >> 3] >> (7 - (sx & 7))) & 1)
                    out[i >> 3] |= static_cast<uchar>(0x80u >> (i & 7));
            }
        }
        painter.drawImage(QPoint(x, y + offset), band, QRect(0, 0, width, rows));
    }
}

void MirrorRows(unsigned char* destination, const unsigned char* source, int width, int height, int rowBytes)
{
    static const std::array<uint8_t, 256> reversed = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b))
                    t[static_cast<size_t>(i)] |= static_cast<uint8_t>(0x80 >> b);
        return t;
    }();
    if (width <= 0 || height <= 0)
        return;
    const int bytes = (width + 7) / 8, pad = bytes * 8 - width;
    for (int i = 0; i < height; ++i) {
        const unsigned char* from = source + static_cast<ptrdiff_t>(i) * rowBytes;
        unsigned char* to = destination + static_cast<ptrdiff_t>(height - 1 - i) * rowBytes;
        // The row's bytes reversed, then moved back by the padding so that pixel width - 1 lands
        // in column 0; the padding bits of the source fall off the front.
        for (int k = 0; k < bytes; ++k) {
            const unsigned high = reversed[from[bytes - 1 - k]];
            const unsigned low = k + 1 < bytes ? reversed[from[bytes - 2 - k]] : 0;
            to[k] |= static_cast<unsigned char>(pad == 0 ? high : (high << pad) | (low >> (8 - pad)));
        }
    }
}

std::string FileNameOfPath(const std::string& path)
{
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace viewer
