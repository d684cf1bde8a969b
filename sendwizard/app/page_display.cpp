#include "sendwizard/app/page_display.h"

#include "imaging/page_proportions.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/page_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A copy of a loaded image's pixels and its resolutions (info); null when the handle is dead.
QImage CopyImage(IKHANDLE hImage, IKIMAGEINFO& info)
{
    const CImageKitTable& kit = ImageKit();
    info = IKIMAGEINFO{};
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

CIkDisp::CIkDisp(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus); // the arrow keys and Page keys scroll the page
}

void CIkDisp::SetImageHandle(IKHANDLE hImage)
{
    IKIMAGEINFO info{};
    m_Image = CopyImage(hImage, info);
    m_dStretch = m_Image.isNull() ? 1.0 : qelta::imaging::pageStretch(info.xResolution, info.yResolution);
    Fit();
}

QSize CIkDisp::ShownSize() const
{
    return {m_Image.width(), qelta::imaging::shownHeight(m_Image.height(), m_dStretch)};
}

void CIkDisp::SetZoom(double dZoom)
{
    if (dZoom > 0)
        m_dZoom = dZoom;
    UpdateScrollBars();
}

bool CIkDisp::DisplayAction(long nMode)
{
    if (nMode < kDisplayWholePage || nMode > kDisplayZoomFactor)
        return false;
    m_nMode = nMode;
    Fit();
    return true;
}

void CIkDisp::Fit()
{
    if (m_nMode == kDisplayWholePage || m_nMode == kDisplayFillArea) {
        // The whole page fits without scroll bars; a filled view scrolls along one side, whose bar
        // takes its room from the other.
        const QSize area = maximumViewportSize();
        const QSize shown = ShownSize();
        double zoom = DisplayZoomFor(static_cast<int>(m_nMode), m_dZoom, shown.width(), shown.height(),
                                     area.width(), area.height());
        if (m_nMode == kDisplayFillArea && !m_Image.isNull()) {
            const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
            if (shown.height() * zoom > area.height() + 0.5)
                zoom = static_cast<double>(std::max(1, area.width() - bar)) / shown.width();
            else if (shown.width() * zoom > area.width() + 0.5)
                zoom = static_cast<double>(std::max(1, area.height() - bar)) / shown.height();
        }
        if (zoom != m_dZoom) {
            m_dZoom = zoom;
            emit ZoomChanged(m_dZoom);
        }
    }
    UpdateScrollBars();
}

QSize CIkDisp::ContentSize() const
{
    if (m_Image.isNull())
        return {};
    const QSize shown = ShownSize();
    return {static_cast<int>(std::floor(shown.width() * m_dZoom)), static_cast<int>(std::floor(shown.height() * m_dZoom))};
}

void CIkDisp::UpdateScrollBars()
{
    const QSize content = ContentSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(std::max(1, view.width() / 20));
    verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(std::max(1, view.height() / 20));
    const bool movable = content.width() > view.width() || content.height() > view.height();
    viewport()->setCursor(movable ? Qt::OpenHandCursor : Qt::ArrowCursor);
    viewport()->update();
}

QPoint CIkDisp::ScrollPosition() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }

void CIkDisp::ScrollToTop()
{
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void CIkDisp::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Fit();
}

void CIkDisp::paintEvent(QPaintEvent*)
{
    if (m_Image.isNull())
        return;
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize content = ContentSize();
    const QSize view = viewport()->size();
    // A page smaller than the view stands in its middle; a larger one moves with the scroll bars. The
    // painter draws the page at the device's pixels (a scaled screen has more than the view's units).
    const int x = content.width() < view.width() ? (view.width() - content.width()) / 2 : -horizontalScrollBar()->value();
    const int y = content.height() < view.height() ? (view.height() - content.height()) / 2 : -verticalScrollBar()->value();
    const QSize shown = ShownSize();
    painter.drawImage(QRectF(x, y, shown.width() * m_dZoom, shown.height() * m_dZoom), m_Image);
}

void CIkDisp::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    m_bDragging = true;
    m_DragStart = event->position().toPoint();
    m_DragScroll = ScrollPosition();
    if (horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0)
        viewport()->setCursor(Qt::ClosedHandCursor);
}

void CIkDisp::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging)
        return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint moved = event->position().toPoint() - m_DragStart;
    horizontalScrollBar()->setValue(m_DragScroll.x() - moved.x());
    verticalScrollBar()->setValue(m_DragScroll.y() - moved.y());
}

void CIkDisp::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_bDragging)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    m_bDragging = false;
    UpdateScrollBars(); // the hand opens again
}
