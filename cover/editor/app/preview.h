// The two previews of the cover sheet: the printer's page with a Print button, or the cover sheet
// page at its own size without one. A bar of buttons over the pages, each page drawn with a frame
// and a shadow.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>

class QPushButton;
class QScrollArea;

namespace cvr {

/// Preview bars and their buttons.
enum : int { IDD_PREVIEW_PRINT = 30724, IDD_PREVIEW_SHEET = 30725, ID_PREVIEW_ZOOMIN = 58117, ID_PREVIEW_ZOOMOUT = 58118,
             ID_PREVIEW_PRINT = 58116, ID_PREVIEW_CLOSE = 58112 };

/// A preview button's picture by its resource name: the button's name and a state, U up, D down,
/// F focused or X disabled ("ZOOMINU" ... "PRINTX"), from the language module or the program's
/// own resources; null for any other name.
QPixmap LoadPreviewPicture(const QString& name);

class CtqHeaderPreview : public QWidget {
    Q_OBJECT
public:
    /// page: the sheet drawn for the page; pageSize: the page in screen pixels at the first zoom;
    /// print: the Print button's action (none: no Print button); close: ends the preview.
    CtqHeaderPreview(const QImage& page, QSize pageSize, std::function<void()> print, std::function<void()> close,
                     QWidget* parent);

    /// The page as shown now (screen pixels): first the whole page fitted into the view (never
    /// beyond pageSize), then between the two, then pageSize.
    QSize PageSize() const;
    int ZoomStep() const { return m_nZoom; }
    QPushButton* Button(int id) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void zoom(int step);

    QImage m_Page;
    QSize m_BaseSize;
    int m_nZoom = 0; ///< 0 the whole page fitted, 2 pageSize
    QWidget* m_pPages = nullptr;
    QScrollArea* m_pScroll = nullptr;
    std::function<void()> m_Close;
};

} // namespace cvr
