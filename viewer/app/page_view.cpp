#include "viewer/app/page_view.h"

#include "viewer/app/thumb_view.h"

#include "common/resource_locale.h"
#include "common/resource_module.h"
#include "uiwidgets/control_name.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>
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
                                   QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(document), m_frame(frame), m_settings(settings),
      m_logic(m_state, settings.viewScale, settings.viewJustify, settings.viewGradation)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(ViewCursor(CursorOfTool(kToolHand, false, 0, false, false)));
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setAutoFillBackground(true);
}

CTqlVwTLPageView::~CTqlVwTLPageView()
{
    m_settings.viewScale = m_state.GetZoomStep() + 4;
    m_settings.viewJustify = m_state.GetFit();
    m_settings.viewGradation = m_state.GetGrey();
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
        m_logic.SetPageSize(image.Width(), image.Height());
    } else {
        m_logic.SetPageSize(0, 0);
    }
    // With fit there is no horizontal scrolling: the page takes the width left by the vertical bar.
    m_logic.Layout(viewport()->width());
    m_frame.SetStatusText(5, m_doc.PageCount() > 0 ? ZoomPaneText(m_logic.ZoomPercent()) : std::string());
}

void CTqlVwTLPageView::Rebuild(bool busy)
{
    m_image.reset();
    const int page = m_state.GetCurrentPage();
    if (page < 0 || page >= m_doc.PageCount())
        return;
    if (busy) {
        m_frame.SetStatusText(0, kStatusProcessing);
        m_frame.SetWaitCursor(true);
    }
    const CPageImage& source = *m_doc.Pages()[static_cast<size_t>(page)];
    auto image = std::make_unique<CDisplayImage>();
    const double scale = m_logic.Scale();
    const bool turned = m_state.GetRotation() % 2 == 1;
    if (m_state.GetFit() && scale >= 1) {
        // Stretched into the rotated display size's unrotated counterpart.
        const QImage bitmap = source.Bitmap();
        image->SetFromBitmap(bitmap
                                 .scaled(static_cast<int>(source.Width() * scale),
                                         static_cast<int>(source.Height() * scale), Qt::IgnoreAspectRatio,
                                         Qt::FastTransformation)
                                 .convertToFormat(QImage::Format_Mono, bitmap.colorTable()));
    } else {
        image->SetFromBitmap(source.Bitmap());
    }
    if (m_state.GetInvert())
        image->Invert();
    image->Rotate(90 * m_state.GetRotation());
    const int divisor = m_logic.Divisor();
    if (divisor == -1 && scale < 1) {
        const int rw = turned ? source.Height() : source.Width(), rh = turned ? source.Width() : source.Height();
        image->ReduceToSize(static_cast<int>(rw * scale), static_cast<int>(rh * scale), m_state.GetGrey());
    } else if (divisor > 1) {
        image->ReduceByStep(divisor, m_state.GetGrey());
    }
    m_image = std::move(image);
    if (busy) {
        m_frame.SetStatusText(0, kStatusHelp);
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
    if (!m_logic.Update(id, ui) || !ui.enabled)
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
    default: m_logic.SelectTool(id); return;
    }
}

bool CTqlVwTLPageView::OnUpdateCommand(int id, CCmdUI& ui) { return m_logic.Update(id, ui); }

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

void CTqlVwTLPageView::paintEvent(QPaintEvent*)
{
    if (!m_image || m_doc.PageCount() == 0 || !m_doc.Loaded())
        return;
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const auto [w, h] = m_logic.DrawnSize(m_image->Width(), m_image->Height());
    const auto [x, y] = m_logic.DrawPosition(m_image->Width(), m_image->Height());
    m_image->Draw(painter, x, y, w, h);
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
    if (m_logic.Press(p.x(), p.y(), horizontalScrollBar()->value(), verticalScrollBar()->value(), m_noTools)
        && m_state.GetTool() == kToolHand)
        viewport()->setCursor(Qt::ClosedHandCursor);
}

void CTqlVwTLPageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const auto [x, y] = m_logic.Move(p.x(), p.y(), horizontalScrollBar()->value(), verticalScrollBar()->value(),
                                     m_noTools);
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CTqlVwTLPageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    m_logic.Release(p.x(), p.y(), m_noTools);
    viewport()->setCursor(ViewCursor(CursorOfTool(m_state.GetTool(), m_state.GetSelected() >= 0, 0,
                                                   m_state.GetTiltLine(), false)));
}

void CTqlVwTLPageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    m_logic.DoubleClick(p.x(), p.y(), m_noTools);
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

void AddViewSubmenus(QMenu* menu, const std::function<QAction*(QMenu*, const char*, int)>& add)
{
    QMenu* zoom = menu->addMenu(QStringLiteral("&Zoom"));
    add(zoom, "En&large", ID_VIEW_ENLARGE);
    add(zoom, "Restore &default", ID_VIEW_RESTORE);
    add(zoom, "R&educe", ID_VIEW_REDUCE);
    QMenu* rotate = menu->addMenu(QStringLiteral("&Rotate"));
    add(rotate, "Rotate 90 to &left", ID_VIEW_ROTATE_LEFT);
    add(rotate, "Rotate 90 to &right", ID_VIEW_ROTATE_RIGHT);
    add(rotate, "Rotate &180", ID_VIEW_ROTATE_180);
    QMenu* image = menu->addMenu(QStringLiteral("&Image"));
    add(image, "White/black &invert", ID_VIEW_INVERT);
    add(image, "&Grayscale display", ID_VIEW_GREY);
}

QMenu* PageViewMenu(QWidget* parent, bool pages)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("menu132"));
    const auto add = [&](QMenu* into, const char* text, int id) {
        QAction* action = into->addAction(QString::fromUtf8(text));
        action->setObjectName(ControlName(id));
        action->setData(id);
        action->setEnabled(pages);
        return action;
    };
    AddViewSubmenus(menu, add);
    menu->addSeparator();
    add(menu, "&Properties...", ID_FILE_PROPERTIES);
    return menu;
}

void CTqlVwTLPageView::contextMenuEvent(QContextMenuEvent* event)
{
    // Editing is off, so no annotation is ever hit: the view menu opens, at (5, 5) from the keyboard.
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                   : viewport()->mapToGlobal(QPoint(5, 5));
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
    int largestW = 1, largestH = 1;
    for (const auto& page : pages) {
        largestW = std::max(largestW, page->Width());
        largestH = std::max(largestH, page->Height());
    }
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    // One scale for all pages, as a fraction: the largest page fits the printable area.
    int num = area.width(), den = largestW;
    if (static_cast<long long>(area.height()) * largestW < static_cast<long long>(area.width()) * largestH) {
        num = area.height();
        den = largestH;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            printer.newPage();
        const CPageImage& page = *pages[i];
        const QRect target(0, 0, static_cast<int>(static_cast<long long>(page.Width()) * num / den),
                           static_cast<int>(static_cast<long long>(page.Height()) * num / den));
        painter.drawImage(target, page.Bitmap());
    }
    painter.end();
}

} // namespace viewer
