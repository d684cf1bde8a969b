// The page view: the current page at the chosen zoom, turn, inversion and grey scale, scrolled by
// the hand tool and the keys, with the annotations laid over it and the tools that make them. Its
// decisions are CPageViewLogic's and, on annotations, the annotation layer's, which also does the
// tools' work; this widget draws, scrolls and gives the layer what it needs of a window.
#pragma once

#include "viewer/annotation_layer.h"
#include "viewer/app/annotation_widgets.h"
#include "viewer/view_logic.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QRegion>

#include <functional>
#include <memory>

class QMenu;
class QPrinter;

namespace viewer {

class CTqlVwTLPageView : public QAbstractScrollArea, public IPageView, public IAnnotationView {
    Q_OBJECT
public:
    /// settings: ViewScale, ViewJustify and ViewGradation are read now; the zoom step + 4, the fit
    /// flag and the grey-scale flag are written back on destruction. The annotation layer and the
    /// undo record are bound to the document until the view goes.
    CTqlVwTLPageView(CTqlVwTLDoc& document, IViewerFrame& frame, CViewerSettings& settings, CViewerAppValues& app,
                     IPrompter& prompter, QWidget* parent = nullptr);
    ~CTqlVwTLPageView() override;

    CPageDisplayState& PageState() override { return m_state; }
    void OnReinitialise() override;
    void OnRefresh() override;
    void OnCommand(int id) override;
    bool OnUpdateCommand(int id, CCmdUI& ui) override;
    void GoToPage(int page) override;
    void Activate() override { setFocus(); }

    const CPageViewLogic& Logic() const { return m_logic; }
    CAnnotationLayer& Layer() { return m_layer; }
    CUndoRecord& UndoRecord() { return m_undo; }
    CAnnotationEdit& Edit() { return *m_pEdit; }
    CQtTiltDialogHost& TiltDialogHost() { return m_tiltHost; }
    /// Prints every page at the one scale that fits the largest page into the printable area.
    void Print(QPrinter& printer);
    /// Prints page index at the top-left of a printable area of horzRes x vertRes device pixels at
    /// logPixelsX; with editing allowed and annotations shown they are burnt into a copy of the page.
    void PrintPage(QPainter& painter, int index, int horzRes, int vertRes, int logPixelsX);

    // IAnnotationView
    double ZoomScale() const override { return m_logic.Scale(); }
    gdi::POINT ScrollPosition() const override;
    std::pair<int, int> ClientSize() const override;
    CDisplayImage* DisplayImage() override { return m_image.get(); }
    void Invalidate(const gdi::RECT& rect) override;
    void UpdateWindow() override;
    void SetStatusText(int pane, const std::string& text) override;
    void SetWaitCursor(bool wait) override;
    CTqlVwTLDoc& Document() override { return m_doc; }
    CAnnotationDefaults& Defaults() override { return m_app.annotationDefaults; }
    std::string LastDirectory() override { return m_app.lastDir; }
    IPrompter& Prompter() override { return m_prompter; }
    IAnnotationClipboard& Clipboard() override { return m_clipboard; }
    IAnnotationEditor& Editor() override { return *m_pEdit; }
    IAnnotationDialogs& Dialogs() override { return m_dialogs; }
    ITiltDialogHost& TiltDialogs() override { return m_tiltHost; }
    uint32_t TickCount() override;
    int DoubleClickTime() override;
    std::pair<int, int> DoubleClickSize() override;
    int ScreenDpi() override { return logicalDpiX(); }

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
    /// The client area's cursor at (x, y) for the current tool.
    void UpdateCursor(int x, int y);
    /// One line of scrolling towards a point outside the client area while a tool drags.
    void EdgeScroll(int x, int y);
    /// A point of the client area as the annotation layer sees it.
    std::pair<int, int> LayerPoint(const QPoint& point) const;

    CTqlVwTLDoc& m_doc;
    IViewerFrame& m_frame;
    CViewerSettings& m_settings;
    CViewerAppValues& m_app;
    IPrompter& m_prompter;
    CPageDisplayState m_state;
    CPageViewLogic m_logic;
    // What the layer reaches through the view: they outlive it.
    CAnnotationEdit* m_pEdit; // a child of the viewport
    CQtAnnotationClipboard m_clipboard;
    CQtAnnotationDialogs m_dialogs;
    CQtTiltDialogHost m_tiltHost;
    CUndoRecord m_undo;
    CAnnotationLayer m_layer;
    std::unique_ptr<CDisplayImage> m_image;
    QRegion m_pending; // invalidated, not yet drawn
    int m_cursor = -1;
};

/// A cursor resource of the page view: Qt's shape where one matches (140, 169 to 173), else the
/// picture in the language module (141 to 149, 174 to 176); the arrow for any other id.
QCursor ViewCursor(int cursor);
/// The view's menu 132: Zoom, Rotate, Image and Properties; greyed without pages.
QMenu* PageViewMenu(QWidget* parent, bool pages);
/// The "&Zoom", "&Rotate" and "&Image" submenus that the frame's View menu and menu 132 share: their
/// texts are menuId's strings of the popup positions firstPopup to firstPopup + 2; add(submenu,
/// command) adds an item with that menu's text of the command.
void AddViewSubmenus(QMenu* menu, int menuId, int firstPopup, const std::function<QAction*(QMenu*, int)>& add);

} // namespace viewer
