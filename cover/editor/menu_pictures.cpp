#include "cover/editor/menu_pictures.h"

#include "imaging/device_context.h"

#include <QPainter>

namespace cvr {

QImage MenuPicture(int command, int menuHeight, int logPixelsY)
{
    QImage picture(kMenuPictureWidth, menuHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const int middle = menuHeight / 2;
    const auto row = [&](int width, int on, int off) {
        const int top = middle - width / 2;
        for (int y = std::max(0, top); y < std::min(menuHeight, top + width); ++y)
            for (int x = 0; x < kMenuPictureWidth; ++x)
                if (off == 0 || x % (on + off) < on)
                    picture.setPixel(x, y, qRgb(0, 0, 0));
    };
    switch (command) {
    case 6003: row(gdi::MulDiv(1, logPixelsY, 72), 1, 0); break;
    case 6004: row(gdi::MulDiv(2, logPixelsY, 72), 1, 0); break;
    case 6005: row(gdi::MulDiv(3, logPixelsY, 72), 1, 0); break;
    case 32784: row(gdi::MulDiv(4, logPixelsY, 72), 1, 0); break;
    case 32785: row(1, 3, 3); break;   // dotted
    case 32786: row(1, 18, 6); break;  // dashed
    case 32788: break;                 // white
    case 32789: picture.fill(QColor(0xF2, 0xF2, 0xF2)); break;
    case 32790: picture.fill(QColor(0xE5, 0xE5, 0xE5)); break;
    case 32791: picture.fill(QColor(0xD8, 0xD8, 0xD8)); break;
    case 32837: picture.fill(Qt::black); break;
    default: return {};
    }
    // One bit a pixel: the greys become dot patterns, as a one-bit picture shows them.
    return picture.convertToFormat(QImage::Format_Mono, Qt::MonoOnly | Qt::OrderedDither);
}

} // namespace cvr
