// IKFileLoad, IKResize and IKPasteImage: image files, scaling and pasting.
#include "imaging/gui_session.h"
#include "imaging/image_table.h"
#include "imaging/imagekit.h"
#include "imaging/picture_file.h"
#include "imaging/tiff_pages.h"
#include "platform/com.h"

#include <QtGui/QImage>
#include <QtGui/QImageReader>
#include <QtGui/QPainter>

#include <cmath>
#include <cstring>

namespace {

using namespace qelta::imaging;

double dpiOf(int dotsPerMetre) { return dotsPerMetre > 0 ? std::round(dotsPerMetre * 0.0254) : 0; }

// A page of a decoded image: two-colour images stay bilevel, others are laid over white.
bool pageOf(const QImage& decoded, Page& page)
{
    const auto width = static_cast<uint32_t>(decoded.width()), height = static_cast<uint32_t>(decoded.height());
    const bool twoColour = decoded.format() == QImage::Format_Mono || decoded.format() == QImage::Format_MonoLSB;
    const PixelKind kind = twoColour ? PixelKind::Bilevel : PixelKind::Rgb;
    if (!fitsLimits(kind, width, height))
        return false;
    page = blankPage(kind, width, height);
    page.xDpi = dpiOf(decoded.dotsPerMeterX());
    page.yDpi = dpiOf(decoded.dotsPerMeterY());
    if (twoColour) {
        const QImage grey = decoded.convertToFormat(QImage::Format_Grayscale8);
        for (uint32_t y = 0; y < height; ++y) {
            const uchar* line = grey.constScanLine(static_cast<int>(y));
            for (uint32_t x = 0; x < width; ++x)
                if (line[x] < 128)
                    setBlack(page.row(y), x);
        }
        return true;
    }
    QImage rgb(decoded.size(), QImage::Format_RGB888);
    rgb.fill(Qt::white);
    {
        QPainter painter(&rgb);
        painter.drawImage(0, 0, decoded);
    }
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(page.row(y), rgb.constScanLine(static_cast<int>(y)), page.stride());
    return true;
}

// Page `index` (0 = first) of an image file. The kinds pagefilelib reads go through it, the one
// reader of pictures; other common kinds (PNG, JPEG, ...) through Qt, one page. Either way a
// picture past kMaxPicturePixels is not loaded.
IKHANDLE loadFile(const char* path, int32_t index)
{
    if (!path || !*path || index < 0)
        return 0;
    bool known = false;
    if (auto picture = readPicture(path, static_cast<uint32_t>(index), known))
        return images().add(std::move(picture));
    if (known || index != 0 || !ensureGuiApplication())
        return 0;
    QImageReader reader(QString::fromUtf8(path));
    reader.setDecideFormatFromContent(true);
    const auto within = [](const QSize& size) {
        return uint64_t(size.width()) * uint64_t(size.height()) <= kMaxPicturePixels;
    };
    if (const QSize size = reader.size(); size.isValid() && !within(size))
        return 0;
    QImage decoded;
    Page page;
    if (!reader.read(&decoded) || decoded.isNull() || !within(decoded.size()) || !pageOf(decoded, page))
        return 0;
    return addImage(std::move(page));
}

IKHANDLE resize(const IKRESIZEINFO* source, int32_t width, int32_t height, int32_t smooth)
{
    if (!source || width < 1 || height < 1)
        return 0;
    const auto page = images().find(source->image);
    if (!page || !fitsLimits(page->kind, static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
        return 0;
    const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    if (page->kind == PixelKind::Bilevel)
        return addImage(scaleBilevel(*page, w, h));
    if (!ensureGuiApplication())
        return 0;
    const QImage view(page->pixels.data(), static_cast<int>(page->width), static_cast<int>(page->height),
                      static_cast<qsizetype>(page->stride()), QImage::Format_RGB888);
    const QImage scaled = view.scaled(width, height, Qt::IgnoreAspectRatio,
                                      smooth == 1 ? Qt::SmoothTransformation : Qt::FastTransformation)
                              .convertToFormat(QImage::Format_RGB888);
    if (scaled.width() != width || scaled.height() != height)
        return 0;
    Page out = blankPage(PixelKind::Rgb, w, h);
    out.xDpi = page->xDpi * w / page->width;
    out.yDpi = page->yDpi * h / page->height;
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(out.row(y), scaled.constScanLine(static_cast<int>(y)), out.stride());
    return addImage(std::move(out));
}

IKHANDLE paste(IKHANDLE sourceHandle, IKHANDLE targetHandle, int32_t centerX, int32_t centerY)
{
    const auto source = images().find(sourceHandle);
    const auto target = images().find(targetHandle);
    if (!source || !target)
        return 0;
    // The source at the target's depth.
    Page converted;
    const Page* from = source.get();
    if (source->kind != target->kind) {
        converted = target->kind == PixelKind::Bilevel ? threshold(*source) : expandToRgb(*source);
        from = &converted;
    }
    Page out(*target);
    const int64_t left = int64_t{centerX} - from->width / 2, top = int64_t{centerY} - from->height / 2;
    const int64_t x0 = std::max<int64_t>(0, left), x1 = std::min<int64_t>(out.width, left + from->width);
    const int64_t y0 = std::max<int64_t>(0, top), y1 = std::min<int64_t>(out.height, top + from->height);
    for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* in = from->row(static_cast<uint32_t>(y - top));
        uint8_t* row = out.row(static_cast<uint32_t>(y));
        if (out.kind == PixelKind::Rgb) {
            if (x1 > x0)
                std::memcpy(row + x0 * 3, in + (x0 - left) * 3, static_cast<size_t>(x1 - x0) * 3);
            continue;
        }
        for (int64_t x = x0; x < x1; ++x)
            setBit(row, static_cast<uint32_t>(x), bitAt(in, static_cast<uint32_t>(x - left)));
    }
    return addImage(std::move(out));
}

} // namespace

extern "C" IKHANDLE IKFileLoad(const char* path, int32_t page, int32_t, const char*, const char*, const char*)
{
    return guardedExport(IKHANDLE{0}, [&] { return loadFile(path, page); });
}

extern "C" IKHANDLE IKResize(const IKRESIZEINFO* source, int32_t width, int32_t height, int32_t smooth, int32_t,
                             const char*, const char*, const char*)
{
    return guardedExport(IKHANDLE{0}, [&] { return resize(source, width, height, smooth); });
}

extern "C" IKHANDLE IKPasteImage(IKHANDLE source, IKHANDLE target, int32_t centerX, int32_t centerY, uint32_t, int32_t)
{
    return guardedExport(IKHANDLE{0}, [&] { return paste(source, target, centerX, centerY); });
}
