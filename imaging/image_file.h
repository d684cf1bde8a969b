// Image files read by the drawing library for the suite's own drawing code.
#pragma once

#include "imaging/imagekit.h"

#include <QtGui/QImage>

#include <string>

namespace qelta::imaging {

/// The first page of an image file of any common kind (TIFF, BMP, PNG, ...) as IKFileLoad reads it,
/// in 32-bit RGB with the file's resolution; a null image for a missing, unreadable or too large file.
IK_EXPORT QImage readImageFile(const std::string& path);

} // namespace qelta::imaging
