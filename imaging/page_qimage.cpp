#include "imaging/page_qimage.h"

#include "imaging/image_table.h"

#include <cstring>
#include <memory>
#include <new>

namespace qelta::imaging {

namespace {

void releasePage(void* info)
{
    delete static_cast<std::shared_ptr<const Page>*>(info);
}

} // namespace

QImage monoImageOfPage(IKHANDLE handle)
{
    std::shared_ptr<const Page> page = images().find(handle);
    if (!page || page->kind != PixelKind::Bilevel || page->width == 0 || page->height == 0)
        return {};
    auto* keep = new std::shared_ptr<const Page>(page);
    // The const constructor: the image never writes into the page it shares.
    QImage image(page->pixels.data(), static_cast<int>(page->width), static_cast<int>(page->height),
                 static_cast<qsizetype>(page->stride()), QImage::Format_Mono, releasePage, keep);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    if (page->xDpi > 0 && page->yDpi > 0) {
        image.setDotsPerMeterX(static_cast<int>(page->xDpi / 0.0254 + 0.5));
        image.setDotsPerMeterY(static_cast<int>(page->yDpi / 0.0254 + 0.5));
    }
    return image;
}

IKHANDLE pageOfImage(const QImage& image, int dpi, int yDpi)
{
    if (image.isNull() || !fitsLimits(PixelKind::Bilevel, static_cast<uint64_t>(image.width()),
                                      static_cast<uint64_t>(image.height())))
        return 0;
    try {
        Page page = blankPage(PixelKind::Bilevel, static_cast<uint32_t>(image.width()),
                              static_cast<uint32_t>(image.height()));
        page.xDpi = dpi;
        page.yDpi = yDpi < 0 ? dpi : yDpi;
        const size_t stride = page.stride();
        if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) {
            const QImage mono = image.convertToFormat(QImage::Format_Mono);
            const QList<QRgb> colours = mono.colorTable();
            const bool zeroBlack = !colours.isEmpty() && qGray(colours[0]) < 128;
            const bool oneBlack = colours.size() < 2 || qGray(colours[1]) < 128;
            for (uint32_t y = 0; y < page.height; ++y) {
                const uchar* from = mono.constScanLine(static_cast<int>(y));
                uint8_t* to = page.row(y);
                for (size_t i = 0; i < stride; ++i)
                    to[i] = zeroBlack ? (oneBlack ? 0xFF : static_cast<uint8_t>(~from[i])) : (oneBlack ? from[i] : 0);
                if (page.width % 8 != 0)
                    to[stride - 1] &= static_cast<uint8_t>(0xFF00u >> (page.width % 8));
            }
        } else {
            const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
            for (uint32_t y = 0; y < page.height; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(static_cast<int>(y)));
                uint8_t* row = page.row(y);
                for (uint32_t x = 0; x < page.width; ++x)
                    if (qGray(line[x]) < 128)
                        setBlack(row, x);
            }
        }
        return addImage(std::move(page));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

} // namespace qelta::imaging
