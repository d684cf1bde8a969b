#include "sendwizard/app/page_display.h"

#include "sendwizard/imagekit_binding.h"
#include "sendwizard/page_view.h"

#include <QPainter>

#include <cstring>
#include <vector>

namespace {

// A copy of a loaded image's pixels; null when the handle is dead.
QImage CopyImage(IKHANDLE hImage)
{
    const CImageKitTable& kit = ImageKit();
    IKIMAGEINFO info{};
    if (!hImage || !kit.pfnGetImageType || !kit.pfnGetImageBits || !kit.pfnGetImageType(&info, hImage, nullptr))
        return {};
    std::vector<uint8_t> pixels(kit.pfnGetImageBits(hImage, nullptr, 0));
    if (pixels.empty() || kit.pfnGetImageBits(hImage, pixels.data(), pixels.size()) != pixels.size()
        || pixels.size() < size_t(info.bytesPerLine) * size_t(info.height))
        return {};
    const bool bilevel = info.bitsPerPixel == 1;
    QImage image(info.width, info.height, bilevel ? QImage::Format_Mono : QImage::Format_RGB888);
    if (image.isNull())
        return {};
    if (bilevel)
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // 1 = black
    for (int y = 0; y < info.height; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + size_t(y) * size_t(info.bytesPerLine), size_t(info.bytesPerLine));
    return image;
}

} // namespace

CIkDisp::CIkDisp(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void CIkDisp::SetImageHandle(IKHANDLE hImage)
{
    m_Image = CopyImage(hImage);
    update();
}

void CIkDisp::SetZoom(double dZoom)
{
    if (dZoom > 0)
        m_dZoom = dZoom;
    update();
}

bool CIkDisp::DisplayAction(long nMode)
{
    if (nMode < kDisplayFitWidth || nMode > kDisplayZoomFactor)
        return false;
    m_dZoom = DisplayZoomFor(static_cast<int>(nMode), m_dZoom, m_Image.width(), m_Image.height(), width(), height());
    update();
    return true;
}

void CIkDisp::paintEvent(QPaintEvent*)
{
    if (m_Image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, m_Image.width() * m_dZoom, m_Image.height() * m_dZoom), m_Image);
}
