// Writes a program's icon picture (a BMP resource) as the PNG an icon theme takes.
//   qelta-icon-png IN.bmp OUT.png
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qelta-icon-png IN.bmp OUT.png\n");
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "qelta-icon-png: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "qelta-icon-png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
