// The one conversion between the imaging library's page images (IKHANDLE) and Qt's images, for the
// programs that draw pages with Qt (the cover sheet renderer, the viewer).
#pragma once

#include "imaging/imagekit.h"

#include <QtGui/QImage>

namespace qelta::imaging {

/// A bilevel page as a Format_Mono image (colour 0 white, 1 black) that shares the page's pixels
/// until it is changed (Qt copies them on the first write). A null image for a dead handle, pixels
/// that do not decode, or a page that is not bilevel.
QImage monoImageOfPage(IKHANDLE page);

/// A new bilevel page of the image: a one-bit image keeps its bits (black where its colour is dark),
/// any other is made black where its brightness is below half (qGray below 128). dpi 0 leaves the
/// page without a resolution; yDpi is the vertical one when it differs (-1: dpi both ways). 0 for a
/// null image or one beyond the library's limits.
IKHANDLE pageOfImage(const QImage& image, int dpi = 0, int yDpi = -1);

} // namespace qelta::imaging
