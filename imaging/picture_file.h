// Pictures of image files: the one reader through which cover sheet pictures and the drawing
// library's image files are read (pagefilelib's stepped bitmap read), with the bound on their size.
#pragma once

#include "imaging/tiff_pages.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qelta::imaging {

// Pictures with more pixels than this are not shown: no cover sheet needs more, and a picture that
// large would take hundreds of megabytes once scaled or drawn.
constexpr uint64_t kMaxPicturePixels = uint64_t{64} << 20;

// Page `index` (0 = first) of a file of any kind pagefilelib reads; none for a missing file, one
// that does not read, a page past the file's end or a picture past kMaxPicturePixels. `known` is
// set to whether pagefilelib knows the file's kind at all.
std::shared_ptr<const Page> readPicture(const std::string& path, uint32_t index, bool& known);

} // namespace qelta::imaging
