// BMP files through the drawing library's image-file loader and Qt's BMP writer: the header is
// checked here first, so nothing it says is believed beyond the file's bytes.
#include "imaging/image_table.h"
#include "imaging/page_formats.h"
#include "imaging/pagefilelib.h"

#include <QtCore/QBuffer>
#include <QtGui/QImage>

#include <cstring>

namespace qelta::imaging::pagefile {

int16_t readBmp(const std::string& path, const std::vector<uint8_t>& bytes, IKHANDLE& image)
{
    BmpInfo info;
    if (const int16_t code = readBmpHeader(bytes.data(), bytes.size(), info))
        return code;
    image = IKFileLoad(path.c_str(), 0, 0, nullptr, nullptr, nullptr);
    const auto page = images().find(image);
    if (!page)
        return PF_ERR_CORRUPT;
    // The file changed under us: what was checked is not what was read.
    if (page->width != info.width || page->height != info.height) {
        IKFreeMemory(image);
        image = 0;
        return PF_ERR_CORRUPT;
    }
    return PF_OK;
}

std::vector<uint8_t> encodeBmp(const Page& source)
{
    const Page page = source.kind == PixelKind::Bilevel ? source : threshold(source);
    QImage image(static_cast<int>(page.width), static_cast<int>(page.height), QImage::Format_Mono);
    if (image.isNull())
        return {};
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // a set bit is black, as in the page
    for (uint32_t y = 0; y < page.height; ++y)
        std::memcpy(image.scanLine(static_cast<int>(y)), page.row(y), page.stride());
    if (page.xDpi > 0 && page.yDpi > 0) {
        image.setDotsPerMeterX(static_cast<int>(page.xDpi / 0.0254 + 0.5));
        image.setDotsPerMeterY(static_cast<int>(page.yDpi / 0.0254 + 0.5));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "BMP"))
        return {};
    return {bytes.begin(), bytes.end()};
}

} // namespace qelta::imaging::pagefile
