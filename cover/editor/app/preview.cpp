#include "cover/editor/app/preview.h"

#include "common/resource_locale.h"
#include "cover/editor/app/editor_texts.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>

namespace cvr {

namespace {

// The preview buttons' pictures: bitmaps 201 to 212, four states of each button in this order.
constexpr std::array<const char*, 3> kPictureButtons = {"ZOOMIN", "ZOOMOUT", "PRINT"};
constexpr char kPictureStates[] = "UDFX";
constexpr uint32_t kFirstPreviewPicture = 201;

// A button drawn wholly by its four pictures; the button's plain look where they are missing.
class CBitmapButton : public QPushButton {
public:
    CBitmapButton(const QString& text, const QString& pictureName, QWidget* parent) : QPushButton(text, parent)
    {
        setAccessibleName(QString(text).remove(QLatin1Char('&')));
        setToolTip(accessibleName());
        for (size_t i = 0; i < m_Pictures.size(); ++i)
            m_Pictures[i] = LoadPreviewPicture(pictureName + QLatin1Char(kPictureStates[i]));
    }
    QSize sizeHint() const override { return m_Pictures[0].isNull() ? QPushButton::sizeHint() : m_Pictures[0].size(); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const size_t state = !isEnabled() ? 3 : isDown() ? 1 : hasFocus() ? 2 : 0;
        const QPixmap& picture = m_Pictures[state].isNull() ? m_Pictures[0] : m_Pictures[state];
        if (picture.isNull()) {
            QPushButton::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.drawPixmap(rect(), picture);
    }

private:
    std::array<QPixmap, 4> m_Pictures;
};

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
        const QRect sheet = paper.adjusted(1, 1, 0, 0);
        if (m_Shown.size() != sheet.size()) // averaged, so that thin lines stay when the page is made smaller
            m_Shown = m_Page.scaled(sheet.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(sheet, m_Shown);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.drawRect(paper);
        painter.setPen(QPen(palette().color(QPalette::Shadow), 3));
        painter.drawLine(paper.right() + 1, paper.top() + 3, paper.right() + 1, paper.bottom() + 1);
        painter.drawLine(paper.left() + 3, paper.bottom() + 1, paper.right() + 1, paper.bottom() + 1);
    }

private:
    QImage m_Page;
    QImage m_Shown; ///< m_Page at the size shown
    std::function<QSize()> m_Size;
};

} // namespace

QPixmap LoadPreviewPicture(const QString& name)
{
    for (size_t button = 0; button < kPictureButtons.size(); ++button)
        for (size_t state = 0; state < 4; ++state)
            if (name == QLatin1String(kPictureButtons[button]) + QLatin1Char(kPictureStates[state]))
                return LoadResourcePicture(QELTA_RESOURCE_BITMAP,
                                           kFirstPreviewPicture + static_cast<uint32_t>(button * 4 + state));
    return {};
}

CtqHeaderPreview::CtqHeaderPreview(const QImage& page, QSize pageSize, std::function<void()> print,
                                   std::function<void()> close, QWidget* parent)
    : QWidget(parent), m_Page(page), m_BaseSize(pageSize), m_Close(std::move(close))
{
    setObjectName(QStringLiteral("preview"));
    const int dialog = print ? IDD_PREVIEW_PRINT : IDD_PREVIEW_SHEET;
    auto* bar = Named(new QWidget(this), dialog);
    auto* buttons = new QHBoxLayout(bar);
    const auto button = [&](int id, QPushButton* b) {
        buttons->addWidget(Named(b, id));
        return b;
    };
    const auto pictured = [&](int id, const char* picture) {
        return button(id, new CBitmapButton(ControlText(dialog, id), QLatin1String(picture), bar));
    };
    connect(pictured(ID_PREVIEW_ZOOMIN, "ZOOMIN"), &QPushButton::clicked, this, [this] { zoom(1); });
    connect(pictured(ID_PREVIEW_ZOOMOUT, "ZOOMOUT"), &QPushButton::clicked, this, [this] { zoom(-1); });
    if (print)
        connect(pictured(ID_PREVIEW_PRINT, "PRINT"), &QPushButton::clicked, this, [print] { print(); });
    connect(button(ID_PREVIEW_CLOSE, new QPushButton(ControlText(dialog, ID_PREVIEW_CLOSE), bar)), &QPushButton::clicked, this,
            [this] { m_Close(); });
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
    // The whole page fitted into the view as the preview starts, then halfway, then the page's own size.
    const QSize room = (m_pScroll->maximumViewportSize() - QSize(24, 24)).expandedTo(QSize(1, 1));
    QSize fitted = m_BaseSize.scaled(room, Qt::KeepAspectRatio);
    if (fitted.width() > m_BaseSize.width())
        fitted = m_BaseSize;
    return fitted + (m_BaseSize - fitted) * m_nZoom / 2;
}

void CtqHeaderPreview::zoom(int step)
{
    m_nZoom = std::clamp(m_nZoom + step, 0, 2);
    Button(ID_PREVIEW_ZOOMIN)->setEnabled(m_nZoom < 2);
    Button(ID_PREVIEW_ZOOMOUT)->setEnabled(m_nZoom > 0);
    m_pPages->setMinimumSize(m_nZoom == 0 ? QSize(0, 0) : PageSize() + QSize(24, 24));
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
