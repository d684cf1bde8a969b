// IKCreateImage, IKSetDpi and IKConvertColor: pages made, described and converted without drawing.
#include "imaging/image_table.h"
#include "imaging/imagekit.h"
#include "imaging/tiff_pages.h"
#include "platform/com.h"

#include <cstring>

namespace {

using namespace qelta::imaging;

constexpr int32_t kMaxDpi = 65535;

bool isChannel(int32_t value) { return value >= 0 && value <= 255; }

// Brightness 0-255 of a colour, weighted as the thresholds of the library weigh it.
unsigned brightness(int32_t red, int32_t green, int32_t blue)
{
    return (299u * static_cast<unsigned>(red) + 587u * static_cast<unsigned>(green) + 114u * static_cast<unsigned>(blue))
        / 1000u;
}

IKHANDLE create(int32_t width, int32_t height, int32_t bits, int32_t red, int32_t green, int32_t blue)
{
    if ((bits != 1 && bits != 24) || !isChannel(red) || !isChannel(green) || !isChannel(blue) || width < 1
        || height < 1)
        return 0;
    const PixelKind kind = bits == 1 ? PixelKind::Bilevel : PixelKind::Rgb;
    if (!fitsLimits(kind, static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
        return 0;
    Page page = blankPage(kind, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    if (kind == PixelKind::Bilevel) {
        if (brightness(red, green, blue) < 128) {
            std::memset(page.pixels.data(), 0xff, page.pixels.size());
            for (uint32_t y = 0; y < page.height && page.width % 8; ++y)
                page.row(y)[page.stride() - 1] &= static_cast<uint8_t>(0xff00u >> (page.width % 8));
        }
    } else if (red != 255 || green != 255 || blue != 255) {
        for (size_t i = 0; i < page.pixels.size(); i += 3) {
            page.pixels[i] = static_cast<uint8_t>(red);
            page.pixels[i + 1] = static_cast<uint8_t>(green);
            page.pixels[i + 2] = static_cast<uint8_t>(blue);
        }
    }
    return addImage(std::move(page));
}

int setDpi(IKHANDLE image, int32_t xDpi, int32_t yDpi)
{
    if (xDpi < 1 || yDpi < 1 || xDpi > kMaxDpi || yDpi > kMaxDpi)
        return 0;
    const auto page = images().find(image);
    if (!page)
        return 0;
    if (page->xDpi == xDpi && page->yDpi == yDpi)
        return 1;
    auto changed = std::make_shared<Page>(*page);
    changed->xDpi = xDpi;
    changed->yDpi = yDpi;
    return images().replace(image, std::move(changed)) ? 1 : 0;
}

IKHANDLE convert(IKHANDLE image, int32_t bits, int32_t level)
{
    if ((bits != 1 && bits != 24) || level < 0 || level > 256)
        return 0;
    const auto page = images().find(image);
    if (!page)
        return 0;
    const PixelKind kind = bits == 1 ? PixelKind::Bilevel : PixelKind::Rgb;
    if (page->kind == kind)
        return addImage(Page(*page));
    return addImage(kind == PixelKind::Bilevel ? threshold(*page, static_cast<unsigned>(level)) : expandToRgb(*page));
}

int imageType(IKIMAGEINFO* info, IKHANDLE image, IKIMAGEINFO* copy)
{
    const auto page = info ? images().find(image) : nullptr;
    if (!page)
        return 0;
    IKIMAGEINFO facts{};
    facts.size = sizeof(IKIMAGEINFO);
    facts.bitsPerPixel = page->kind == PixelKind::Bilevel ? 1 : 24;
    facts.xResolution = roundedDpi(page->xDpi);
    facts.yResolution = roundedDpi(page->yDpi);
    facts.width = static_cast<int32_t>(page->width);
    facts.height = static_cast<int32_t>(page->height);
    facts.bytesPerLine = static_cast<int32_t>(page->stride());
    *info = facts;
    if (copy)
        *copy = facts;
    return 1;
}

} // namespace

extern "C" int IKGetImageType(IKIMAGEINFO* info, IKHANDLE image, IKIMAGEINFO* copy)
{
    return guardedExport(0, [&] { return imageType(info, image, copy); });
}

extern "C" size_t IKGetImageBits(IKHANDLE image, void* buffer, size_t size)
{
    return guardedExport(size_t{0}, [&] {
        const auto page = images().find(image);
        if (!page)
            return size_t{0};
        const size_t bytes = page->pixels.size();
        if (buffer && size >= bytes)
            std::memcpy(buffer, page->pixels.data(), bytes);
        return bytes;
    });
}

extern "C" IKHANDLE IKCreateImage(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t red, int32_t green,
                                  int32_t blue, int32_t, const char*, const char*, const char*)
{
    return guardedExport(IKHANDLE{0}, [&] { return create(width, height, bitsPerPixel, red, green, blue); });
}

extern "C" int IKSetDpi(IKHANDLE image, int32_t xDpi, int32_t yDpi)
{
    return guardedExport(0, [&] { return setDpi(image, xDpi, yDpi); });
}

extern "C" IKHANDLE IKConvertColor(IKHANDLE image, int32_t bitsPerPixel, int32_t, int32_t, int32_t threshold, int32_t)
{
    return guardedExport(IKHANDLE{0}, [&] { return convert(image, bitsPerPixel, threshold); });
}
