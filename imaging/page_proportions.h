// A page's true proportions: fax pages are often finer across than down (204 x 98 dpi), so their
// pixels are not square and a page drawn pixel for pixel is squashed. Programs that show pages draw
// each page's height stretched by the ratio of its two resolutions; the pixels stay as they are.
#pragma once

#include <cmath>

namespace qelta::imaging {

/// How many times taller than its pixel height a page is shown: its horizontal resolution over its
/// vertical one (2.08 for a 204 x 98 dpi page, 1.04 for 204 x 196); 1 when the two agree or either
/// is unknown. Resolutions no fax has (one 8 times the other or more) are held to that ratio.
inline double pageStretch(int xDpi, int yDpi)
{
    if (xDpi <= 0 || yDpi <= 0 || xDpi == yDpi)
        return 1.0;
    const double stretch = static_cast<double>(xDpi) / yDpi;
    return stretch > 8.0 ? 8.0 : stretch < 0.125 ? 0.125 : stretch;
}

/// A height of pixels at the page's vertical resolution in pixels of its horizontal one (at least 1
/// for a page of any height).
inline int shownHeight(int height, double stretch)
{
    if (height <= 0)
        return height;
    const long shown = std::lround(height * stretch);
    return shown < 1 ? 1 : static_cast<int>(shown);
}

} // namespace qelta::imaging
