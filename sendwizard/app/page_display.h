// The page display: shows one page image at a zoom factor.
#pragma once

#include "imaging/imagekit.h"

#include <QImage>
#include <QWidget>

class CIkDisp : public QWidget {
    Q_OBJECT
public:
    explicit CIkDisp(QWidget* parent = nullptr);
    /// Shows the image (a copy of its pixels); 0 clears the display.
    void SetImageHandle(IKHANDLE hImage);
    double GetZoom() const { return m_dZoom; }
    void SetZoom(double dZoom);
    /// Redisplays in a mode (fit width, whole page, zoom factor); false for another mode.
    bool DisplayAction(long nMode);
    const QImage& Image() const { return m_Image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_Image;
    double m_dZoom = 1.0;
};
