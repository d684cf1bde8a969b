#include "uiwidgets/view_helpers.h"

#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"

#include <QApplication>

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPushButton>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

void ChainTabOrder(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (!widget)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void InitWhenFirstShown(QTabWidget* tabs, QWidget* page, std::function<void()> init)
{
    if (tabs->currentWidget() == page) {
        init();
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(tabs, &QTabWidget::currentChanged, page, [tabs, page, init, connection] {
        if (tabs->currentWidget() != page)
            return;
        const std::function<void()> run = init; // the connection and this lambda go with the disconnect
        QObject::disconnect(*connection);
        run();
    });
}

namespace {

// Watches the view's viewport and refits the columns on every resize.
class CColumnFit : public QObject {
public:
    CColumnFit(QTreeView* view, std::vector<int> widths) : QObject(view), m_pView(view), m_Widths(std::move(widths))
    {
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        view->header()->setStretchLastSection(false);
        view->viewport()->installEventFilter(this);
        connect(view->header(), &QHeaderView::sectionResized, this, [this] {
            if (!m_bFitting && m_pView->isVisible())
                m_bUserWidths = true;
        });
        // Rows added or changed may need the room the view has to spare.
        if (QAbstractItemModel* model = view->model()) {
            connect(model, &QAbstractItemModel::rowsInserted, this, &CColumnFit::FitLater);
            connect(model, &QAbstractItemModel::dataChanged, this, &CColumnFit::FitLater);
            connect(model, &QAbstractItemModel::modelReset, this, &CColumnFit::FitLater);
        }
        Fit();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == m_pView->viewport())
            Fit();
        return false;
    }

private:
    // Once the rows have stopped changing (a list is often filled row by row).
    void FitLater()
    {
        if (m_bFitPending)
            return;
        m_bFitPending = true;
        QTimer::singleShot(0, this, [this] {
            m_bFitPending = false;
            Fit();
        });
    }

    // The width the values of a column need in the rows the view shows.
    int ShownValuesWidth(int column) const
    {
        const QRect shown = m_pView->viewport()->rect();
        QModelIndex index = m_pView->indexAt(QPoint(0, shown.top()));
        int widest = 0;
        for (int rows = 0; index.isValid() && rows < 200; ++rows) {
            if (m_pView->visualRect(index).top() > shown.bottom())
                break;
            widest = std::max(widest, m_pView->sizeHintForIndex(index.siblingAtColumn(column)).width());
            index = m_pView->indexBelow(index);
        }
        return widest;
    }

    // The narrowest a column may get: its header text with the margins and the sort arrow.
    int MinimumWidth(int column) const
    {
        QHeaderView* header = m_pView->header();
        const QString text = m_pView->model()->headerData(column, Qt::Horizontal).toString();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int arrow = header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
        return header->fontMetrics().horizontalAdvance(text) + 4 * margin + arrow;
    }

    void Fit()
    {
        if (m_bUserWidths || !m_pView->model())
            return;
        m_bFitting = true;
        const int columns = std::min(static_cast<int>(m_Widths.size()), m_pView->model()->columnCount());
        const int wanted = std::accumulate(m_Widths.begin(), m_Widths.begin() + columns, 0);
        const int room = m_pView->viewport()->width();
        const double scale = wanted > room && room > 0 ? static_cast<double>(room) / wanted : 1.0;
        int shortfall = 0; // what the columns held at their minimum take beyond their share
        std::vector<int> widths(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            const int share = static_cast<int>(std::floor(m_Widths[static_cast<size_t>(c)] * scale));
            const int least = std::min(MinimumWidth(c), m_Widths[static_cast<size_t>(c)]);
            widths[static_cast<size_t>(c)] = std::max(share, least);
            shortfall += widths[static_cast<size_t>(c)] - share;
        }
        // Taken back from the columns above their minimum, widest first.
        std::vector<int> order(static_cast<size_t>(columns));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return widths[static_cast<size_t>(a)] > widths[static_cast<size_t>(b)]; });
        for (int c : order) {
            int& width = widths[static_cast<size_t>(c)];
            const int take = std::min(width - std::min(MinimumWidth(c), m_Widths[static_cast<size_t>(c)]), shortfall);
            if (take > 0) {
                width -= take;
                shortfall -= take;
            }
        }
        // Room the view has beyond the widths goes to the columns whose values they cut, in order.
        int spare = room - std::accumulate(widths.begin(), widths.end(), 0);
        for (int c = 0; c < columns && spare > 0; ++c) {
            int& width = widths[static_cast<size_t>(c)];
            const int grow = std::min(spare, ShownValuesWidth(c) - width);
            if (grow > 0) {
                width += grow;
                spare -= grow;
            }
        }
        for (int c = 0; c < columns; ++c)
            m_pView->setColumnWidth(c, widths[static_cast<size_t>(c)]);
        m_bFitting = false;
    }

    QPointer<QTreeView> m_pView;
    std::vector<int> m_Widths;
    bool m_bFitting = false, m_bUserWidths = false, m_bFitPending = false;
};

} // namespace

void FitColumnsToView(QTreeView* view, std::vector<int> widths) { new CColumnFit(view, std::move(widths)); }

void SetDialogFrame(QWidget* window)
{
    // Without the customising hint the window manager's default frame applies, buttons and all.
    window->setWindowFlags((window->windowFlags() & Qt::MSWindowsFixedSizeDialogHint) | Qt::Dialog |
                           Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(ControlName(1));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(ControlName(2));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QPixmap LoadResourcePicture(uint32_t nKind, uint32_t nId)
{
    QPixmap pixmap;
    const auto data = LoadResourceData(nKind, nId);
    if (!data.empty())
        pixmap.loadFromData(data.data(), static_cast<uint>(data.size()));
    return pixmap;
}

std::string WidgetFontFace(const QWidget& widget)
{
    QString face = widget.font().family();
    if (face.isEmpty())
        face = QApplication::font().family();
    return face.toUtf8().toStdString();
}

bool FocusFirstField(QWidget* page)
{
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page)) {
            w->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return false;
}
