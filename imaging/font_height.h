// Font heights of page text. Pages are laid out at 200 pixels an inch, while the font dialog
// speaks in screen pixels and tenths of a point; these convert between them.
#pragma once

#include "imaging/device_context.h"

#include <cstdlib>

namespace gdi {

/// The font dialog's height (negative: the character height in screen pixels) of a page height.
inline int DialogFontHeight(int pageHeight, int logPixelsY)
{
    return -MulDiv(pageHeight, logPixelsY, 200);
}

/// The page height of a size chosen in tenths of a point.
inline int PageFontHeight(int pointSizeTenths)
{
    return MulDiv(pointSizeTenths, 200, 720);
}

/// The size in tenths of a point of a page height, as the font dialog shows it at the start.
inline int PointSizeTenthsOfPageHeight(int pageHeight)
{
    return MulDiv(std::abs(pageHeight), 720, 200);
}

} // namespace gdi
