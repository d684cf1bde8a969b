// The page display: shows one page image at a zoom factor, or fitted to the view, with scroll bars,
// the wheel and dragging to reach the parts outside the view.
#pragma once

#include "imaging/imagekit.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

class CIkDisp : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CIkDisp(QWidget* parent = nullptr);
    /// Shows the image (a copy of its pixels); 0 clears the display.
    void SetImageHandle(IKHANDLE hImage);
    double GetZoom() const { return m_dZoom; }
    void SetZoom(double dZoom);
    /// Redisplays in a mode (whole page, filling the view, zoom factor); false for another mode.
    /// The two fitting modes fit again whenever the view changes size.
    bool DisplayAction(long nMode);
    const QImage& Image() const { return m_Image; }
    /// The page's size in its true proportions (at 100 %): a page finer across than down (204 x 98
    /// dpi) is shown taller than its pixels.
    QSize ShownSize() const;
    /// Where the view stands in the zoomed page (the scroll bars' values).
    QPoint ScrollPosition() const;
    /// Shows the page's top left corner.
    void ScrollToTop();

signals:
    /// The zoom changed by a fit (a mode, or a new view size in a fitting mode).
    void ZoomChanged(double dZoom);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Fit();
    void UpdateScrollBars();
    QSize ContentSize() const;

    QImage m_Image;
    double m_dStretch = 1.0; ///< the page's stretch down its height
    double m_dZoom = 1.0;
    long m_nMode = 0; ///< the last display action; 0 before any
    QPoint m_DragStart, m_DragScroll;
    bool m_bDragging = false;
};
