// Writes a program's icon picture (a BMP resource) as the PNG an icon theme takes, at its own size
// or at SIZE x SIZE pixels: the small picture is enlarged by whole pixels first, so that it stays
// crisp, and smoothed only for what is left.
//   qelta-icon-png IN.bmp OUT.png [SIZE]
#include <QImage>

#include <algorithm>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int size = argc == 4 ? std::atoi(argv[3]) : 0;
    if ((argc != 3 && argc != 4) || (argc == 4 && (size < 1 || size > 1024))) {
        std::fprintf(stderr, "usage: qelta-icon-png IN.bmp OUT.png [SIZE]\n");
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "qelta-icon-png: cannot read %s\n", argv[1]);
        return 1;
    }
    if (size > 0 && image.size() != QSize(size, size)) {
        const int whole = std::max(1, size / std::max(image.width(), image.height()));
        image = image.scaled(image.size() * whole, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "qelta-icon-png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
