// Drawing annotations: on the screen over the page at the view's zoom and rotation, burnt into a
// 1-bit page at 100 %, and as the picture that goes with a copied item; the quarter turns of
// bitmaps that turned texts need, and the bitmap routines of printing. Drawing goes through the
// suite's device context on 32-bit images; 1-bit results are thresholded back.
#pragma once

#include "viewer/annotation_item.h"

#include <QtGui/QImage>

#include <string>

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
};

/// Draws the items of page in list order, and the handles of the selected item, into a painter
/// whose coordinates are the scrolled view's (0, 0 the page's top-left corner at the zoom); only
/// items meeting area need be drawn.
void DrawAnnotationsOnScreen(QPainter& painter, const CAnnotationList& items, int page, int selected,
                             const CScreenFrame& frame, const QRect& area);
/// Draws the page's items into a 1-bit page bitmap (Format_Mono, 0 white) at 100 %; false when the
/// page has none. The bitmap keeps everything else.
bool BurnInAnnotations(QImage& page, const CAnnotationList& items, int pageIndex);
/// A 1-bit picture of the item's rectangle size with the item drawn at its top-left corner; null
/// when it cannot be made.
QImage AnnotationPicture(const CAnnotationItem& item);
/// A bitmap turned by 90 (clockwise), 180 or 270 degrees; 1, 4, 8, 16 and 24 bits per pixel; null
/// when the source is empty or of another depth.
QImage TurnBitmap(const QImage& source, int angle);

// ---- bitmap routines ----

/// The page rectangle scaled into a printable area of horzRes x vertRes for a page of a x b.
gdi::RECT FitToPrinter(int horzRes, int vertRes, int pageWidth, int pageHeight, const gdi::RECT& rect);
/// Prints a page bitmap stretched to (x, y, width, height) in bands of 32 rows; at 200 dpi the
/// bitmap's own size is used.
void BandedPrint(QPainter& painter, int x, int y, int width, int height, const QImage& page, int logPixelsX);
/// Source row i to destination row height - 1 - i, pixels in reverse order (1 bit per pixel, most
/// significant bit first); the destination starts cleared and only its bits are set.
void MirrorRows(unsigned char* destination, const unsigned char* source, int width, int height, int rowBytes);
/// The part of a path after its last backslash; the whole path without one.
std::string FileNameOfPath(const std::string& path);

} // namespace viewer
