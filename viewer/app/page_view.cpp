#include "viewer/app/page_view.h"

#include "viewer/app/thumb_view.h"

#include "common/resource_locale.h"
#include "common/resource_module.h"
#include "uiwidgets/control_name.h"
#include "viewer/dialogs/viewer_texts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <span>

namespace viewer {

// Qt's shapes for the cursors that match one; the annotation tools' own pictures (141-149, 174-176)
// come from the language module as .cur files: a directory of 6 bytes, then one entry of 16 bytes
// holding the hot spot (at 10 and 12), the image's size (at 14) and its offset (at 18).
QCursor ViewCursor(int cursor)
{
    switch (cursor) {
    case 140: return Qt::OpenHandCursor;
    case 169: return Qt::SizeAllCursor;
    case 170: return Qt::SizeVerCursor;
    case 171: return Qt::SizeBDiagCursor;
    case 172: return Qt::SizeFDiagCursor;
    case 173: return Qt::SizeHorCursor;
    default: break;
    }
    const std::span<const unsigned char> data = LoadResourceData(QELTA_RESOURCE_CURSOR, static_cast<uint32_t>(cursor));
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(data[at] | data[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (data.size() < 22 || u16(0) != 0 || u16(2) != 2 || u16(4) == 0)
        return Qt::ArrowCursor;
    const uint32_t size = u32(14);
    const uint32_t offset = u32(18);
    if (offset > data.size() || size > data.size() - offset)
        return Qt::ArrowCursor;
    const QImage image = QImage::fromData(data.data() + offset, static_cast<int>(size));
    if (image.isNull())
        return Qt::ArrowCursor;
    return QCursor(QPixmap::fromImage(image), static_cast<int>(u16(10)), static_cast<int>(u16(12)));
}

CTqlVwTLPageView::CTqlVwTLPageView(CTqlVwTLDoc& document, IViewerFrame& frame, CViewerSettings& settings,
                                   CViewerAppValues& app, IPrompter& prompter, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(document), m_frame(frame), m_settings(settings), m_app(app),
      m_prompter(prompter), m_logic(m_state, settings.viewScale, settings.viewJustify, settings.viewGradation),
      m_pEdit(new CAnnotationEdit(viewport(), [this] { Activate(); })),
      m_dialogs(this, prompter, frame, [this] { return ScreenDpi(); }), m_tiltHost(this, prompter),
      m_layer(*this, m_undo)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true); // the cursor follows the handles and the reference line
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setAutoFillBackground(true);
    UpdateCursor(0, 0);
    m_undo.Bind(this, &m_layer);
    m_doc.SetAnnotationLayer(&m_layer);
    m_doc.SetUndoRecord(&m_undo);
}

CTqlVwTLPageView::~CTqlVwTLPageView()
{
    m_settings.viewScale = m_state.GetZoomStep() + 4;
    m_settings.viewJustify = m_state.GetFit();
    m_settings.viewGradation = m_state.GetGrey();
    m_tiltHost.CloseTiltDialog();
    m_doc.SetAnnotationLayer(nullptr);
    m_doc.SetUndoRecord(nullptr);
    m_undo.Bind(nullptr, nullptr);
}

// The layer works on the page zoomed alike both ways; the view shows it stretched to its true
// proportions. The layer's points, scroll position and areas pass through the logic's mapping.
gdi::POINT CTqlVwTLPageView::ScrollPosition() const
{
    const auto [x, y] = m_logic.LayerScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    return {x, y};
}

std::pair<int, int> CTqlVwTLPageView::ClientSize() const
{
    return m_logic.LayerPoint(viewport()->width(), viewport()->height(), 0, 0);
}

std::pair<int, int> CTqlVwTLPageView::LayerPoint(const QPoint& point) const
{
    return m_logic.LayerPoint(point.x(), point.y(), horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CTqlVwTLPageView::Invalidate(const gdi::RECT& layerRect)
{
    const gdi::RECT rect =
        m_logic.ScreenArea(layerRect, horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect area(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (area.isEmpty())
        return;
    m_pending += area;
    viewport()->update(area);
}

void CTqlVwTLPageView::UpdateWindow()
{
    if (viewport()->isVisible() && !m_pending.isEmpty())
        viewport()->repaint(m_pending);
    m_pending = QRegion();
}

void CTqlVwTLPageView::SetStatusText(int pane, const std::string& text) { m_frame.SetStatusText(pane, text); }

void CTqlVwTLPageView::SetWaitCursor(bool wait) { m_frame.SetWaitCursor(wait); }

uint32_t CTqlVwTLPageView::TickCount()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

int CTqlVwTLPageView::DoubleClickTime() { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); }

std::pair<int, int> CTqlVwTLPageView::DoubleClickSize()
{
    // Qt gives the distance a second click may lie from the first; the rectangle spans it both ways.
    const int distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    return distance > 0 ? std::pair{2 * distance, 2 * distance} : std::pair{4, 4};
}

void CTqlVwTLPageView::UpdateCursor(int x, int y)
{
    const int tool = m_state.GetTool();
    const bool selection = m_state.GetSelected() >= 0;
    int hitCode = 0;
    bool onLine = false;
    const auto [lx, ly] = LayerPoint(QPoint(x, y));
    if (m_state.ToolsWork() && tool == kToolSelect && selection)
        hitCode = m_layer.HitHandle(lx, ly, m_state.GetSelected());
    if (m_state.ToolsWork() && tool == kToolTilt && m_state.GetTiltLine())
        onLine = m_layer.Tilt().HitTest(lx, ly) == 10;
    const int cursor = CursorOfTool(tool, selection, hitCode, m_state.GetTiltLine() != 0, onLine);
    if (cursor != m_cursor) {
        m_cursor = cursor;
        viewport()->setCursor(ViewCursor(cursor));
    }
}

void CTqlVwTLPageView::EdgeScroll(int x, int y)
{
    const int right = viewport()->width(), bottom = viewport()->height();
    if (x < 0)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (x > right)
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (y < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y > bottom)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void CTqlVwTLPageView::ShowPanes()
{
    const int count = m_state.GetPageCount(), page = m_state.GetCurrentPage();
    m_frame.SetStatusText(1, PagePaneText(count, page));
    const bool valid = page >= 0 && page < m_doc.PageCount();
    m_frame.SetStatusText(2, valid ? SizePaneText(m_doc.Pages()[static_cast<size_t>(page)]->Width(),
                                                  m_doc.Pages()[static_cast<size_t>(page)]->Height())
                                   : std::string());
    m_frame.SetStatusText(3, FitPaneText(m_state.GetFit()));
    m_frame.SetStatusText(4, GreyPaneText(m_state.GetGrey()));
}

void CTqlVwTLPageView::Relayout()
{
    const int page = m_state.GetCurrentPage();
    if (page >= 0 && page < m_doc.PageCount()) {
        const CPageImage& image = *m_doc.Pages()[static_cast<size_t>(page)];
        m_logic.SetPageSize(image.Width(), image.Height(), image.Stretch());
    } else {
        m_logic.SetPageSize(0, 0);
    }
    // With fit there is no horizontal scrolling: the page takes the width left by the vertical bar.
    m_logic.Layout(FitWidth(*this, m_state.GetFit() && m_doc.PageCount() > 0,
                            [this](int width) { return m_logic.FitHeight(width); }));
    m_frame.SetStatusText(5, m_doc.PageCount() > 0 ? ZoomPaneText(m_logic.ZoomPercent()) : std::string());
}

void CTqlVwTLPageView::Rebuild(bool busy)
{
    m_image.reset();
    const int page = m_state.GetCurrentPage();
    if (page < 0 || page >= m_doc.PageCount())
        return;
    if (busy) {
        m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_PROCESSING));
        m_frame.SetWaitCursor(true);
    }
    const CPageImage& source = *m_doc.Pages()[static_cast<size_t>(page)];
    auto image = std::make_unique<CDisplayImage>();
    // Made for the screen's pixels: the page's size there (turned and in its true proportions) times
    // the device pixel ratio, which a scaled screen has above 1.
    const qreal ratio = viewport()->devicePixelRatio();
    const int deviceW = std::max(1, static_cast<int>(std::lround(m_logic.DisplayWidth() * ratio)));
    const int deviceH = std::max(1, static_cast<int>(std::lround(m_logic.DisplayHeight() * ratio)));
    const bool turned = m_state.GetRotation() % 2 == 1;
    const int pageW = turned ? deviceH : deviceW, pageH = turned ? deviceW : deviceH; // before the turn
    if (m_state.GetFit() && pageW >= source.Width() && pageH >= source.Height()
        && int64_t{pageW} * pageH <= kMaxStretchedPixels) {
        // Stretched once to its size on the screen; a page enlarged further (as an extreme 1 x 65535
        // page would be) stays as it is and is stretched only where drawn.
        const QImage bitmap = source.Bitmap();
        image->SetFromBitmap(bitmap.scaled(pageW, pageH, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                 .convertToFormat(QImage::Format_Mono, bitmap.colorTable()));
    } else {
        image->SetFromBitmap(source.Bitmap());
    }
    if (m_state.GetInvert())
        image->Invert();
    image->Rotate(90 * m_state.GetRotation());
    const int iw = image->Width(), ih = image->Height();
    if (deviceW < iw || deviceH < ih) {
        // Reduced, the way it shrinks only: a stretched page may still be enlarged down its height
        // when drawn. A zoom step that halves the page both ways counts the grey levels by blocks.
        const int w = std::min(deviceW, iw), h = std::min(deviceH, ih);
        const int step = static_cast<int>(std::lround(static_cast<double>(iw) / w));
        const bool blocks = (step == 2 || step == 4 || step == 8) && std::abs(iw / step - w) <= 1
                            && std::abs(ih / step - h) <= 1;
        // Grey levels need a reduction both ways; a page reduced only one way (65535 x 1, or a
        // stretched page at nearly its size) drops rows and columns instead.
        if (!(blocks && image->ReduceByStep(step, m_state.GetGrey())) && !image->ReduceToSize(w, h, m_state.GetGrey()))
            image->ReduceToSize(w, h, false);
    }
    m_image = std::move(image);
    if (busy) {
        m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_HELP));
        m_frame.SetWaitCursor(false);
    }
}

void CTqlVwTLPageView::SetScrollSizes()
{
    const auto [w, h] = m_logic.ScrollSize();
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, w - client.width()));
    horizontalScrollBar()->setPageStep(std::max(1, w / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, w / 100));
    verticalScrollBar()->setRange(0, std::max(0, h - client.height()));
    verticalScrollBar()->setPageStep(std::max(1, h / 10));
    verticalScrollBar()->setSingleStep(std::max(1, h / 100));
}

void CTqlVwTLPageView::AnchorScroll()
{
    const auto [x, y] = m_logic.AnchorScroll(viewport()->width(), viewport()->height());
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CTqlVwTLPageView::OnReinitialise()
{
    m_state.SetPageCount(m_doc.PageCount());
    m_state.SetCurrentPage(std::clamp(m_state.GetCurrentPage(), 0, std::max(0, m_doc.PageCount() - 1)));
    ShowPanes();
    if (m_doc.PageCount() > 0) {
        Relayout();
        Rebuild(true);
    } else {
        m_logic.SetPageSize(0, 0);
        m_image.reset();
    }
    SetScrollSizes();
    AnchorScroll();
    viewport()->update();
}

void CTqlVwTLPageView::OnRefresh() { OnReinitialise(); }

void CTqlVwTLPageView::AfterZoom()
{
    m_frame.SetStatusText(3, FitPaneText(m_state.GetFit()));
    m_frame.SetStatusText(4, GreyPaneText(m_state.GetGrey()));
    Relayout();
    Rebuild(true);
    SetScrollSizes();
    AnchorScroll();
    viewport()->update();
}

void CTqlVwTLPageView::OnCommand(int id)
{
    CCmdUI ui;
    if (!OnUpdateCommand(id, ui) || !ui.enabled)
        return;
    if (m_layer.OnCommand(id))
        return;
    switch (id) {
    case ID_VIEW_FIT: m_logic.ToggleFit(); AfterZoom(); return;
    case ID_VIEW_ENLARGE: if (m_logic.Enlarge()) AfterZoom(); return;
    case ID_VIEW_REDUCE: if (m_logic.Reduce()) AfterZoom(); return;
    case ID_VIEW_RESTORE: if (m_logic.RestoreDefault()) AfterZoom(); return;
    case ID_VIEW_ROTATE_LEFT: m_state.RotateLeft(); AfterZoom(); return;
    case ID_VIEW_ROTATE_RIGHT: m_state.RotateRight(); AfterZoom(); return;
    case ID_VIEW_ROTATE_180: m_state.Rotate180(); AfterZoom(); return;
    case ID_VIEW_INVERT:
        m_state.ToggleInvert();
        Rebuild(true);
        viewport()->update();
        return;
    case ID_VIEW_GREY:
        if (m_logic.ToggleGrey()) {
            Rebuild(true);
            viewport()->update();
        }
        m_frame.SetStatusText(3, FitPaneText(m_state.GetFit()));
        m_frame.SetStatusText(4, GreyPaneText(m_state.GetGrey()));
        return;
    case ID_PAGE_NEXT: GoToPage(m_state.GetCurrentPage() + 1); return;
    case ID_PAGE_PREVIOUS: GoToPage(m_state.GetCurrentPage() - 1); return;
    case ID_TOOL_HIDE_ANNOTATIONS:
        m_state.SetTool(kToolHand);
        m_state.ToggleHideAnnotations();
        viewport()->update();
        break;
    default: {
        const bool tilting = m_state.GetTool() == kToolTilt;
        if (!m_logic.SelectTool(id))
            return;
        if (id == ID_TOOL_TILT && !tilting)
            m_layer.Tilt().EnterTiltMode();
        if (id == ID_TOOL_STAMP_CHOICE)
            m_layer.OnCommand(ID_ANNOTATION_FIRST); // the stamp tool's defaults
        break;
    }
    }
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    UpdateCursor(at.x(), at.y());
}

bool CTqlVwTLPageView::OnUpdateCommand(int id, CCmdUI& ui)
{
    return m_layer.OnUpdateCommand(id, ui) || m_logic.Update(id, ui, m_app.annotationDefaults.stampCount);
}

void CTqlVwTLPageView::GoToPage(int page)
{
    if (page == -1)
        page = m_doc.PageCount() - 1;
    if (page < 0 || page >= m_doc.PageCount())
        return;
    m_state.SetCurrentPage(page);
    ShowPanes();
    Relayout();
    Rebuild(true);
    SetScrollSizes();
    AnchorScroll();
    viewport()->update();
}

void CTqlVwTLPageView::paintEvent(QPaintEvent* event)
{
    m_pending -= event->region();
    if (!m_image || m_doc.PageCount() == 0 || !m_doc.Loaded())
        return;
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    m_image->Draw(painter, 0, 0, m_logic.DisplayWidth(), m_logic.DisplayHeight());
    if (m_state.GetEditingAllowed() && !m_state.GetHideAnnotations()) {
        // The layer draws the page zoomed alike both ways: the painter stretches it as the page.
        const auto [across, down] = m_logic.Stretch();
        painter.scale(across, down);
        m_layer.Draw(painter, painter.transform().inverted().mapRect(QRectF(event->rect())).toAlignedRect());
    }
}

void CTqlVwTLPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_doc.PageCount() == 0)
        return;
    if (m_state.GetFit())
        viewport()->update();
    Relayout();
    if (m_logic.Divisor() == -1)
        Rebuild(false);
    SetScrollSizes();
    AnchorScroll();
}

void CTqlVwTLPageView::mousePressEvent(QMouseEvent* event)
{
    m_doc.ActivatePane(2);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    const int scrollX = horizontalScrollBar()->value(), scrollY = verticalScrollBar()->value();
    CLayerToolWork layer(m_logic, m_layer, scrollX, scrollY);
    if (m_logic.Press(p.x(), p.y(), scrollX, scrollY, layer) && m_state.GetTool() == kToolHand) {
        m_cursor = -1;
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
}

void CTqlVwTLPageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const int scrollX = horizontalScrollBar()->value(), scrollY = verticalScrollBar()->value();
    CLayerToolWork layer(m_logic, m_layer, scrollX, scrollY);
    const auto [x, y] = m_logic.Move(p.x(), p.y(), scrollX, scrollY, layer);
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
    if (m_state.GetButtonDown() && m_state.ToolsWork()) {
        EdgeScroll(p.x(), p.y());
        viewport()->update(); // the band or line follows
    } else if (!m_state.GetHandDrag()) {
        UpdateCursor(p.x(), p.y());
    }
}

void CTqlVwTLPageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool dragging = m_state.GetButtonDown() != 0;
    CLayerToolWork layer(m_logic, m_layer, horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_logic.Release(p.x(), p.y(), layer);
    if (dragging)
        viewport()->update();
    m_cursor = -1;
    UpdateCursor(p.x(), p.y());
}

void CTqlVwTLPageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    CLayerToolWork layer(m_logic, m_layer, horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_logic.DoubleClick(p.x(), p.y(), layer);
}

void CTqlVwTLPageView::keyPressEvent(QKeyEvent* event)
{
    const KeyAction action =
        CPageViewLogic::Key(ViewKeyOf(event->key()), event->modifiers().testFlag(Qt::ShiftModifier));
    if (action == KeyAction::OtherPane)
        m_doc.ActivatePane(1);
    else if (!ScrollByKey(*this, action))
        QAbstractScrollArea::keyPressEvent(event);
}

bool CTqlVwTLPageView::focusNextPrevChild(bool)
{
    m_doc.ActivatePane(1);
    return true;
}

void AddViewSubmenus(QMenu* menu, int menuId, int firstPopup, const std::function<QAction*(QMenu*, int)>& add)
{
    QMenu* zoom = menu->addMenu(ControlText(menuId, firstPopup));
    add(zoom, ID_VIEW_ENLARGE);
    add(zoom, ID_VIEW_RESTORE);
    add(zoom, ID_VIEW_REDUCE);
    QMenu* rotate = menu->addMenu(ControlText(menuId, firstPopup + 1));
    add(rotate, ID_VIEW_ROTATE_LEFT);
    add(rotate, ID_VIEW_ROTATE_RIGHT);
    add(rotate, ID_VIEW_ROTATE_180);
    QMenu* image = menu->addMenu(ControlText(menuId, firstPopup + 2));
    add(image, ID_VIEW_INVERT);
    add(image, ID_VIEW_GREY);
}

QMenu* PageViewMenu(QWidget* parent, bool pages)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("menu%1").arg(IDR_PAGE_MENU));
    const auto add = [&](QMenu* into, int id) {
        QAction* action = into->addAction(ControlText(IDR_PAGE_MENU, id));
        action->setObjectName(ControlName(id));
        action->setData(id);
        action->setEnabled(pages);
        return action;
    };
    AddViewSubmenus(menu, IDR_PAGE_MENU, 0, add);
    menu->addSeparator();
    add(menu, ID_FILE_PROPERTIES);
    return menu;
}

void CTqlVwTLPageView::contextMenuEvent(QContextMenuEvent* event)
{
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    const QPoint at = mouse ? event->globalPos() : viewport()->mapToGlobal(QPoint(5, 5));
    // With the mouse on an annotation its own menu opens; from the keyboard always the view menu.
    const auto [lx, ly] = LayerPoint(event->pos());
    const int hit = mouse && m_state.ToolsWork() ? m_layer.HitItem(lx, ly) : -1;
    if (hit >= 0 && hit < static_cast<int>(m_layer.Items().size())
        && IsDrawnKind(m_layer.Items()[static_cast<size_t>(hit)]->kind)) {
        const bool selectTool = m_state.GetTool() == kToolSelect;
        if (!selectTool)
            m_state.SetRemembered(hit);
        if (!selectTool || m_state.GetSelected() != hit)
            m_layer.Select(hit);
        std::unique_ptr<QMenu> menu(AnnotationMenu(this, m_layer.Items()[static_cast<size_t>(hit)]->kind, selectTool));
        QAction* chosen = menu->exec(at);
        // The right-click forms work on the remembered annotation, selecting it themselves.
        if (!selectTool)
            m_layer.Select(-1);
        if (chosen && chosen->data().isValid())
            m_doc.OnCommand(chosen->data().toInt());
        return;
    }
    std::unique_ptr<QMenu> menu(PageViewMenu(this, m_doc.PageCount() > 0));
    if (QAction* chosen = menu->exec(at); chosen && chosen->data().isValid())
        m_doc.OnCommand(chosen->data().toInt());
}

void CTqlVwTLPageView::Print(QPrinter& printer)
{
    const CPageImageArray& pages = m_doc.Pages();
    if (pages.empty())
        return;
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            printer.newPage();
        PrintPage(painter, static_cast<int>(i), area.width(), area.height(), printer.logicalDpiX());
    }
    painter.end();
}

void CTqlVwTLPageView::PrintPage(QPainter& painter, int index, int horzRes, int vertRes, int logPixelsX)
{
    const CPageImageArray& pages = m_doc.Pages();
    if (index < 0 || index >= static_cast<int>(pages.size()))
        return;
    // One scale for all pages: the one that fits the largest page, in its true proportions, into the
    // printable area.
    int largestW = 1, largestH = 1;
    for (const auto& page : pages) {
        largestW = std::max(largestW, page->Width());
        largestH = std::max(largestH, page->ShownHeight());
    }
    const CPageImage& page = *pages[static_cast<size_t>(index)];
    const gdi::RECT target =
        FitToPrinter(horzRes, vertRes, largestW, largestH, {0, 0, page.Width(), page.ShownHeight()});
    // Annotations go into a copy: the page itself keeps its pixels.
    QImage burnt;
    if (m_state.GetEditingAllowed() && !m_state.GetHideAnnotations() && m_layer.PageHasAnnotations(index)) {
        burnt = page.Bitmap().copy();
        BurnInAnnotations(burnt, m_layer.Items(), index, ScreenDpi());
    }
    BandedPrint(painter, target.left, target.top, target.right - target.left, target.bottom - target.top,
                burnt.isNull() ? page.Bitmap() : burnt, logPixelsX, page.Stretch());
}

} // namespace viewer
