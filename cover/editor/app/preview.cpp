#include "cover/editor/app/preview.h"

#include "uiwidgets/control_name.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace cvr {

namespace {

// The page with its 2-pixel frame and its 3-pixel shadow on the right and at the bottom.
class CPagePane : public QWidget {
public:
    CPagePane(const QImage& page, std::function<QSize()> size, QWidget* parent)
        : QWidget(parent), m_Page(page), m_Size(std::move(size))
    {
    }
    QSize sizeHint() const override { return m_Size() + QSize(24, 24); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const QSize size = m_Size();
        const QRect paper(QPoint(std::max(8, (width() - size.width()) / 2), 8), size);
        painter.drawImage(paper.adjusted(1, 1, 0, 0), m_Page);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.drawRect(paper);
        painter.setPen(QPen(palette().color(QPalette::Shadow), 3));
        painter.drawLine(paper.right() + 1, paper.top() + 3, paper.right() + 1, paper.bottom() + 1);
        painter.drawLine(paper.left() + 3, paper.bottom() + 1, paper.right() + 1, paper.bottom() + 1);
    }

private:
    QImage m_Page;
    std::function<QSize()> m_Size;
};

} // namespace

CtqHeaderPreview::CtqHeaderPreview(const QImage& page, QSize pageSize, std::function<void()> print,
                                   std::function<void()> close, QWidget* parent)
    : QWidget(parent), m_Page(page), m_BaseSize(pageSize), m_Close(std::move(close))
{
    setObjectName(QStringLiteral("preview"));
    auto* bar = Named(new QWidget(this), print ? IDD_PREVIEW_PRINT : IDD_PREVIEW_SHEET);
    auto* buttons = new QHBoxLayout(bar);
    const auto button = [&](int id, const QString& text) {
        auto* b = Named(new QPushButton(text, bar), id);
        buttons->addWidget(b);
        return b;
    };
    connect(button(ID_PREVIEW_ZOOMIN, tr("Zoom in")), &QPushButton::clicked, this, [this] { zoom(1); });
    connect(button(ID_PREVIEW_ZOOMOUT, tr("Zoom out")), &QPushButton::clicked, this, [this] { zoom(-1); });
    if (print)
        connect(button(ID_PREVIEW_PRINT, tr("Print")), &QPushButton::clicked, this, [print] { print(); });
    connect(button(ID_PREVIEW_CLOSE, tr("&Close")), &QPushButton::clicked, this, [this] { m_Close(); });
    buttons->addStretch(1);
    m_pScroll = new QScrollArea(this);
    m_pScroll->setWidgetResizable(true);
    m_pPages = new CPagePane(m_Page, [this] { return PageSize(); }, m_pScroll);
    m_pScroll->setWidget(m_pPages);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addWidget(m_pScroll, 1);
    zoom(0);
}

QPushButton* CtqHeaderPreview::Button(int id) const
{
    return findChild<QPushButton*>(ControlName(id));
}

QSize CtqHeaderPreview::PageSize() const
{
    // The whole page, then one and a half and twice its size.
    return m_BaseSize * (2 + m_nZoom) / 2;
}

void CtqHeaderPreview::zoom(int step)
{
    m_nZoom = std::clamp(m_nZoom + step, 0, 2);
    Button(ID_PREVIEW_ZOOMIN)->setEnabled(m_nZoom < 2);
    Button(ID_PREVIEW_ZOOMOUT)->setEnabled(m_nZoom > 0);
    m_pPages->setMinimumSize(PageSize() + QSize(24, 24));
    m_pPages->update();
}

void CtqHeaderPreview::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_Close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CtqHeaderPreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QPushButton* in = Button(ID_PREVIEW_ZOOMIN); in && !isAncestorOf(focusWidget()))
        in->setFocus();
}

} // namespace cvr
