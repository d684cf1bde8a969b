// The page view: the current page at the chosen zoom, turn, inversion and grey scale, scrolled by
// the hand tool and the keys. Its decisions are CPageViewLogic's; this widget draws and scrolls.
#pragma once

#include "viewer/view_logic.h"

#include <QAbstractScrollArea>
#include <QCursor>

#include <functional>
#include <memory>

class QMenu;
class QPrinter;

namespace viewer {

class CTqlVwTLPageView : public QAbstractScrollArea, public IPageView {
    Q_OBJECT
public:
    /// settings: ViewScale, ViewJustify and ViewGradation are read now; the zoom step + 4, the fit
    /// flag and the grey-scale flag are written back on destruction.
    CTqlVwTLPageView(CTqlVwTLDoc& document, IViewerFrame& frame, CViewerSettings& settings, QWidget* parent = nullptr);
    ~CTqlVwTLPageView() override;

    CPageDisplayState& PageState() override { return m_state; }
    void OnReinitialise() override;
    void OnRefresh() override;
    void OnCommand(int id) override;
    bool OnUpdateCommand(int id, CCmdUI& ui) override;
    void GoToPage(int page) override;
    void Activate() override { setFocus(); }

    const CPageViewLogic& Logic() const { return m_logic; }
    /// Prints every page at the one scale that fits the largest page into the printable area.
    void Print(QPrinter& printer);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void Relayout();
    void Rebuild(bool busy);
    void SetScrollSizes();
    void AnchorScroll();
    void ShowPanes();
    void AfterZoom();

    CTqlVwTLDoc& m_doc;
    IViewerFrame& m_frame;
    CViewerSettings& m_settings;
    CPageDisplayState m_state;
    CPageViewLogic m_logic;
    IToolWork m_noTools; // editing stays off: the annotation layer does nothing
    std::unique_ptr<CDisplayImage> m_image;
};

/// A cursor resource of the page view: Qt's shape where one matches (140, 169 to 173), else the
/// picture in the language module (141 to 149, 174 to 176); the arrow for any other id.
QCursor ViewCursor(int cursor);
/// The view's menu 132: Zoom, Rotate, Image and Properties; greyed without pages.
QMenu* PageViewMenu(QWidget* parent, bool pages);
/// The "&Zoom", "&Rotate" and "&Image" submenus that the frame's View menu and menu 132 share.
void AddViewSubmenus(QMenu* menu, const std::function<QAction*(QMenu*, const char*, int)>& add);

} // namespace viewer
