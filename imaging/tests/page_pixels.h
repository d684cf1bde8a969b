// Test helpers for drawings on 32-bit page images: white pages and rows or columns as text.
#pragma once

#include <QtGui/QImage>

#include <string>

namespace qelta::test {

inline constexpr QRgb kBlack = 0xff000000, kWhite = 0xffffffff;

inline QImage whitePage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kWhite);
    return image;
}

// The pixels (x, y) for x from x0 to x1 (exclusive): '#' black, '.' white, '?' anything else.
inline std::string pixelsOf(const QImage& image, int x0, int y0, int dx, int dy, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        const QRgb p = image.pixel(x0 + i * dx, y0 + i * dy);
        out += p == kBlack ? '#' : p == kWhite ? '.' : '?';
    }
    return out;
}

inline std::string row(const QImage& image, int y, int x0, int x1) { return pixelsOf(image, x0, y, 1, 0, x1 - x0); }
inline std::string column(const QImage& image, int x, int y0, int y1) { return pixelsOf(image, x, y0, 0, 1, y1 - y0); }

} // namespace qelta::test
