// Drawing annotations: on the screen over the page at the view's zoom and rotation, burnt into a
// 1-bit page at 100 %, and as the picture that goes with a copied item; the quarter turns of
// bitmaps that turned texts need, and the bitmap routines of printing. Drawing goes through the
// suite's device context on 32-bit images; 1-bit results are thresholded back.
#pragma once

#include "viewer/annotation_item.h"

#include <QtGui/QImage>

#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace viewer {

class CDisplayImage;

/// How the page is shown: the zoom, the rotation, the current page's size in that orientation at
/// 100 %, inversion, and the display image the page is drawn from (for the page under markers and
/// texts; may be null).
struct CScreenFrame {
    double zoom = 1.0;
    int rotation = 0;
    int pageWidth = 0, pageHeight = 0;
    bool invert = false;
    CDisplayImage* image = nullptr;
    int displayWidth = 0, displayHeight = 0;
    int screenDpi = 96; ///< pixels per inch of the screen, at which font heights are given
};

/// Draws the items of page in list order, and the handles of the selected item, into a painter
/// whose coordinates are the scrolled view's (0, 0 the page's top-left corner at the zoom); only
/// items meeting area need be drawn.
void DrawAnnotationsOnScreen(QPainter& painter, const CAnnotationList& items, int page, int selected,
                             const CScreenFrame& frame, const QRect& area);
/// Draws the page's items into a 1-bit page bitmap (Format_Mono, 0 white) at 100 %; false when the
/// page has none. The bitmap keeps everything else.
/// Font heights are the screen's at screenDpi, where the texts were made.
bool BurnInAnnotations(QImage& page, const CAnnotationList& items, int pageIndex, int screenDpi);
/// A 1-bit picture of the item's rectangle size with the item drawn at its top-left corner; null
/// when it cannot be made.
QImage AnnotationPicture(const CAnnotationItem& item, int screenDpi);

/// Bits of a device-dependent bitmap: rows top-down, each padded to a multiple of 16 bits; 1-bit
/// pixels most significant bit first, 4-bit pixels high nibble first, 16- and 24-bit pixels as 2
/// or 3 bytes in their stored order.
struct CRawBitmap {
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<uint8_t> bits;
    static int RowBytes(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 15) >> 4) << 1; }
    int RowBytes() const { return RowBytes(width, bitsPerPixel); }
};
/// A bitmap turned by 90 (clockwise: (x, y) to (h - 1 - y, x)), 180 or 270 degrees; 1, 4, 8, 16
/// and 24 bits per pixel; none when the source has no bits, is of another depth or the angle is
/// another.
std::optional<CRawBitmap> TurnBitmap(const CRawBitmap& source, int angle);
/// The same for images: Format_Mono, Format_Indexed8, Format_Grayscale8, Format_RGB16 and
/// Format_RGB888 (the colour table kept); null otherwise.
QImage TurnBitmap(const QImage& source, int angle);

/// The frame of a patch memo around rect (in the target's coordinates): thickness n lines along
/// the box (the rectangle less 2n on the right and bottom) and a shadow 2n thick starting 3n from
/// the box's ends, all turned by angle within the rectangle. Calls fill(QRect) for each run.
template <typename Fill>
void ForEachPatchMemoFrameRun(const gdi::RECT& rect, int angle, int thickness, Fill&& fill);

// ---- bitmap routines ----

/// The page rectangle scaled into a printable area of horzRes x vertRes for a page of a x b.
gdi::RECT FitToPrinter(int horzRes, int vertRes, int pageWidth, int pageHeight, const gdi::RECT& rect);
/// Prints a page bitmap stretched to (x, y, width, height) in bands of 32 rows, only the bands
/// the painter's clip shows; at 200 dpi the bitmap's own size is used, its height stretched by the
/// page's stretch (CPageImage::Stretch) to its true proportions.
void BandedPrint(QPainter& painter, int x, int y, int width, int height, const QImage& page, int logPixelsX,
                 double stretch = 1.0);
/// Source row i to destination row height - 1 - i, pixels in reverse order (1 bit per pixel, most
/// significant bit first); the destination starts cleared and only its bits are set.
void MirrorRows(unsigned char* destination, const unsigned char* source, int width, int height, int rowBytes);
/// The part of a path after its last backslash; the whole path without one.
std::string FileNameOfPath(const std::string& path);

// ---- implementation of the template above ----

template <typename Fill>
void ForEachPatchMemoFrameRun(const gdi::RECT& r, int angle, int thickness, Fill&& fill)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return;
    const int t = thickness < 1 ? 1 : thickness, n = 2 * t, b = 3 * t;
    // The figure at angle 0 in a frame of the rectangle's unturned size (u x v), then each run
    // turned back into the rectangle.
    const bool quarter = angle == 90 || angle == 270;
    const int u = quarter ? h : w, v = quarter ? w : h;
    auto run = [&](int left, int top, int right, int bottom) {
        if (right <= left || bottom <= top)
            return;
        const gdi::RECT turned = TurnRectBy(angle, {left, top, right, bottom}, w, h);
        fill(QRect(r.left + turned.left, r.top + turned.top, turned.right - turned.left, turned.bottom - turned.top));
    };
    for (int i = 0; i < t; ++i) {
        run(0, i, u - n, i + 1);                 // top, left to right - n
        run(u - n - i, 0, u - n - i + 1, v - n); // right, top to bottom - n
        run(1, v - n - i, u - n + 1, v - n - i + 1); // bottom, from right - n back to the left
        run(i, 1, i + 1, v - n + 1);             // left, from bottom - n back to the top
    }
    for (int i = 0; i < n; ++i) {
        run(u - i, b, u - i + 1, v);     // shadow on the right, from top + b down
        run(b + 1, v - i, u + 1, v - i + 1); // shadow at the bottom, from the right back to left + b
    }
}

} // namespace viewer
