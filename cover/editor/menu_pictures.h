// The pictures of the "Line type" and "Paint" menu items: one line across the middle, or a fill, on
// a one-bit picture 64 pixels wide and one menu line high.
#pragma once

#include <QImage>

namespace cvr {

/// Line-type commands (solid 1, 2, 3, 4 points; dotted; dashed) and shading commands.
inline constexpr int kLineTypeCommands[] = {6003, 6004, 6005, 32784, 32785, 32786};
inline constexpr int kShadingCommands[] = {32788, 32789, 32790, 32791, 32837};
inline constexpr int kMenuPictureWidth = 64;

/// The picture of a line-type or shading command; a null image for another command.
QImage MenuPicture(int command, int menuHeight, int logPixelsY);

} // namespace cvr
