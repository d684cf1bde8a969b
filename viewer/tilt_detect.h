// Finding the tilt of a scanned page and levelling it: a projection-profile search over the ink of
// a 1-bit image, and a nearest-neighbour turn about the page's centre. Display-free.
#pragma once

#include <QtGui/QImage>

#include <optional>

namespace viewer {

/// The widest tilt searched for, in degrees either way.
inline constexpr double kMaxTilt = 15.0;

/// The tilt of the lines of ink in a 1-bit image (Format_Mono; set bits are ink), in degrees:
/// positive when the lines fall to the right (y grows downward). Rows of ink are summed along
/// sheared lines for every candidate angle, coarse to fine, and the angle whose row sums vary most
/// wins. Nothing when the image holds too little ink, is mostly ink, shows no angle standing out,
/// or its best angle lies on the edge of the search.
std::optional<double> DetectTilt(const QImage& ink);

/// The 1-bit image (Format_Mono) turned about its centre so that lines tilted by `tilt` degrees
/// (positive: falling to the right) come out level: nearest neighbour, the same size, colour table
/// and resolution; what the turn uncovers is white. A null image for any other format.
QImage LevelMono(const QImage& image, double tilt);

} // namespace viewer
