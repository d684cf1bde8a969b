#include "viewer/app/thumb_view.h"

#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"
#include "viewer/dialogs/viewer_texts.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace viewer {

ViewKey ViewKeyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return kKeyTab;
    case Qt::Key_PageUp: return kKeyPageUp;
    case Qt::Key_PageDown: return kKeyPageDown;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Home: return kKeyHome;
    case Qt::Key_End: return kKeyEnd;
    default: return kKeyOther;
    }
}

bool ScrollByKey(QAbstractScrollArea& area, KeyAction action)
{
    QScrollBar* v = area.verticalScrollBar();
    QScrollBar* h = area.horizontalScrollBar();
    switch (action) {
    case KeyAction::PageUp: v->setValue(v->value() - v->pageStep()); return true;
    case KeyAction::PageDown: v->setValue(v->value() + v->pageStep()); return true;
    case KeyAction::LineUp: v->setValue(v->value() - v->singleStep()); return true;
    case KeyAction::LineDown: v->setValue(v->value() + v->singleStep()); return true;
    case KeyAction::PageLeft: h->setValue(h->value() - h->pageStep()); return true;
    case KeyAction::PageRight: h->setValue(h->value() + h->pageStep()); return true;
    default: return false;
    }
}

int FitWidth(QAbstractScrollArea& area, bool fit, const std::function<int(int)>& heightAt)
{
    int width = area.viewport()->width();
    Qt::ScrollBarPolicy policy = Qt::ScrollBarAsNeeded;
    if (fit) {
        // The viewport's size without scroll bars (Qt takes a bar that is always on off it).
        const int barWidth = area.verticalScrollBar()->sizeHint().width();
        QSize whole = area.maximumViewportSize();
        if (area.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            whole.rwidth() += barWidth;
        const bool bar = heightAt(whole.width()) > whole.height();
        width = bar ? std::max(1, whole.width() - barWidth) : whole.width();
        policy = bar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    }
    if (area.verticalScrollBarPolicy() != policy)
        area.setVerticalScrollBarPolicy(policy);
    return width;
}

CTqlVwTLView::CTqlVwTLView(CTqlVwTLDoc& document, IViewerFrame& frame, CViewerAppValues& app, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(document), m_frame(frame), m_app(app)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setAutoFillBackground(true);
    m_state.Reset();
    m_state.SetZoomStep(-4);
    m_state.SetGrey(1);
    // Fit last: setting a step clears it. The grid itself is always laid out at step -4.
    m_state.SetFit(app.cmplJustify ? 1 : 0);
}

bool CTqlVwTLView::TakeTurns()
{
    const int turns = m_pPageView ? m_pPageView->PageState().GetRotation() : 0;
    if (turns == m_nTurns)
        return false;
    m_nTurns = turns;
    return true;
}

bool CTqlVwTLView::TakeInvert()
{
    if (!m_pPageView || m_pPageView->PageState().GetInvert() == m_state.GetInvert())
        return false;
    m_state.SetInvert(m_pPageView->PageState().GetInvert());
    return true;
}

std::pair<int, int> CTqlVwTLView::ShownSize(const CPageImage& page) const
{
    if (m_nTurns % 2 == 1)
        return {page.ShownHeight(), page.Width()};
    return {page.Width(), page.ShownHeight()};
}

void CTqlVwTLView::Relayout()
{
    int largestW = 0, largestH = 0;
    for (const auto& page : m_doc.Pages()) { // in their true proportions, as the page view turns them
        const auto [w, h] = ShownSize(*page);
        largestW = std::max(largestW, w);
        largestH = std::max(largestH, h);
    }
    const bool fit = m_state.GetFit() != 0;
    const int width = FitWidth(*this, fit && m_doc.PageCount() > 0, [&](int trialWidth) {
        CThumbLayout trial;
        trial.Layout(trialWidth, m_doc.PageCount(), largestW, largestH, true, m_app.cmplRow, -4);
        return trial.ScrollSize().second;
    });
    m_layout.Layout(width, m_doc.PageCount(), largestW, largestH, fit, m_app.cmplRow, -4);
    const auto [w, h] = m_layout.ScrollSize();
    horizontalScrollBar()->setRange(0, std::max(0, w - viewport()->width()));
    horizontalScrollBar()->setPageStep(std::max(1, w / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, w / 100));
    verticalScrollBar()->setRange(0, std::max(0, h - viewport()->height()));
    verticalScrollBar()->setPageStep(std::max(1, h / 10));
    verticalScrollBar()->setSingleStep(std::max(1, h / 100));
}

void CTqlVwTLView::Rebuild()
{
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_PROCESSING));
    m_frame.SetWaitCursor(true);
    m_images.clear();
    for (const auto& page : m_doc.Pages()) {
        auto image = std::make_unique<CDisplayImage>();
        image->SetFromBitmap(page->Bitmap()); // shares the page's pixels until inverted
        if (m_state.GetInvert())
            image->Invert();
        image->Rotate(90 * m_nTurns);
        m_images.push_back(std::move(image));
    }
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_HELP));
    m_frame.SetWaitCursor(false);
}

void CTqlVwTLView::ScrollIntoView()
{
    const auto [x, y] = m_layout.ScrollIntoView(m_state.GetCurrentPage(), horizontalScrollBar()->value(),
                                                verticalScrollBar()->value(), viewport()->width(),
                                                viewport()->height());
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CTqlVwTLView::OnReinitialise()
{
    TakeTurns();
    m_state.SetPageCount(m_doc.PageCount());
    m_state.SetCurrentPage(std::clamp(m_state.GetCurrentPage(), 0, std::max(0, m_doc.PageCount() - 1)));
    Relayout();
    if (m_doc.PageCount() > 0)
        Rebuild();
    else
        m_images.clear();
    ScrollIntoView();
    viewport()->update();
}

void CTqlVwTLView::OnRefresh() { OnReinitialise(); }

void CTqlVwTLView::OnCommand(int id)
{
    switch (id) {
    case ID_VIEW_INVERT:
        m_state.ToggleInvert();
        Rebuild();
        viewport()->update();
        return;
    case ID_VIEW_ROTATE_LEFT:
    case ID_VIEW_ROTATE_RIGHT:
    case ID_VIEW_ROTATE_180:
    case ID_VIEW_RESTORE: {
        // After the page view's: the thumbnails show the pages as it now turns them (and, after
        // Restore default, no longer inverted when it is not).
        const bool turned = TakeTurns();
        const bool inverted = TakeInvert();
        if ((turned || inverted) && m_doc.PageCount() > 0) {
            Relayout();
            Rebuild();
            ScrollIntoView();
            viewport()->update();
        }
        return;
    }
    case ID_PAGE_NEXT:
    case ID_PAGE_PREVIOUS: {
        const int page = m_state.GetCurrentPage() + (id == ID_PAGE_NEXT ? 1 : -1);
        if (page >= 0 && page < m_state.GetPageCount())
            GoToPage(page);
        return;
    }
    default: return;
    }
}

void CTqlVwTLView::GoToPage(int page)
{
    if (page == -1)
        page = m_doc.PageCount() - 1;
    if (page < 0 || page >= m_doc.PageCount())
        return;
    m_state.SetCurrentPage(page);
    ScrollIntoView();
    viewport()->update();
}

void CTqlVwTLView::paintEvent(QPaintEvent*)
{
    if (m_doc.PageCount() == 0 || !m_doc.Loaded())
        return;
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const int w = m_layout.CellWidth(), h = m_layout.CellHeight(), gap = m_layout.Gap();
    const QColor grey(128, 128, 128);
    for (int i = 0; i < m_doc.PageCount(); ++i) {
        const auto [x, y] = m_layout.CellCorner(i);
        if (m_layout.DrawsLabel()) {
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.drawText(QPoint(x, y - gap + 5 + painter.fontMetrics().ascent()),
                             QStringLiteral("P.%1").arg(i + 1));
        }
        if (m_layout.DrawsImage() && i < static_cast<int>(m_images.size())) {
            const auto [shownW, shownH] = ShownSize(*m_doc.Pages()[static_cast<size_t>(i)]);
            m_images[static_cast<size_t>(i)]->Draw(painter, x, y, static_cast<int>(shownW * m_layout.Scale()),
                                                   static_cast<int>(shownH * m_layout.Scale()));
        }
        painter.setPen(grey);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(x - 1, y - 1, w + 1, h + 1);
        painter.drawRect(x - 2, y - 2, w + 3, h + 3);
        painter.setPen(Qt::white);
        painter.drawLine(x + w + 2, y - 1, x + w + 2, y + h + 2);
        painter.drawLine(x + w + 2, y + h + 2, x - 1, y + h + 2);
        const int column = i % m_layout.Columns(), row = i / m_layout.Columns();
        const QRect frame(QPoint(column * (w + gap) + gap - 4, row * (h + gap) + gap - 4),
                          QPoint((gap + w) * (column + 1) + 4 - 1, (gap + h) * (row + 1) + 4 - 1));
        painter.setPen(i == m_state.GetCurrentPage() ? QColor(0xEF, 0x10, 0x42) : QColor(192, 192, 192));
        painter.drawRect(frame);
    }
}

void CTqlVwTLView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    viewport()->update();
    Relayout();
    ScrollIntoView();
}

void CTqlVwTLView::Pick(int page)
{
    const int previous = m_state.GetCurrentPage();
    m_state.SetCurrentPage(page);
    if (m_doc.PageCount() > 0 && page != previous) {
        viewport()->update();
        ScrollIntoView();
        m_doc.EndAnnotationEdit(); // no tool work runs while editing is off
        if (m_pPageView)
            m_pPageView->GoToPage(page);
    }
}

void CTqlVwTLView::mousePressEvent(QMouseEvent* event)
{
    m_doc.ActivatePane(1);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    Pick(m_layout.HitTest(p.x(), p.y(), m_state.GetCurrentPage()));
}

void CTqlVwTLView::keyPressEvent(QKeyEvent* event)
{
    const ViewKey key = ViewKeyOf(event->key());
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    if (key == kKeyTab) {
        m_doc.ActivatePane(2);
        return;
    }
    if (shift) {
        if (m_doc.PageCount() > 0)
            Pick(m_layout.ShiftKey(key, m_state.GetCurrentPage()));
        return;
    }
    if (!ScrollByKey(*this, CPageViewLogic::Key(key, false)))
        QAbstractScrollArea::keyPressEvent(event);
}

bool CTqlVwTLView::focusNextPrevChild(bool)
{
    m_doc.ActivatePane(2);
    return true;
}

void CTqlVwTLView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu%1").arg(IDR_THUMB_MENU));
    QAction* properties = menu.addAction(ControlText(IDR_THUMB_MENU, ID_FILE_PROPERTIES));
    properties->setObjectName(ControlName(ID_FILE_PROPERTIES));
    properties->setEnabled(m_doc.PageCount() > 0);
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                   : viewport()->mapToGlobal(QPoint(5, 5));
    if (menu.exec(at) == properties)
        m_doc.OnCommand(ID_FILE_PROPERTIES);
}

} // namespace viewer
