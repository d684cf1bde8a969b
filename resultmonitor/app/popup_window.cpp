#include "resultmonitor/app/popup_window.h"

#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

CResultPopup::CResultPopup(uint32_t dwLocale, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_logic(*this)
{
    setObjectName(QLatin1String(kPopupTitle));
    setWindowTitle(QLatin1String(kPopupTitle));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    setFixedSize(kPopupWidth, kPopupHeight);
    QFont font = QApplication::font();
    font.setPointSize(PopupFontPointSize(dwLocale));
    setFont(font);
    move(10, 10);
}

void CResultPopup::ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate,
                             uint32_t dwDisplayTime)
{
    m_icon = LoadResourcePicture(QELTA_RESOURCE_ICON, nIconId);
    m_logic.ShowPopup(nPosition, nIconId, strText, bAnimate, dwDisplayTime);
    update();
}

CPopupRect CResultPopup::AvailableArea() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

void CResultPopup::MovePopup(int nLeft, int nTop)
{
    move(nLeft, nTop);
}

void CResultPopup::ShowPopupWindow()
{
    if (!isVisible())
        show();
}

void CResultPopup::HidePopupWindow()
{
    hide();
}

void CResultPopup::DestroyPopupWindow()
{
    // The window is kept for the next message; hidden it is as good as gone.
    hide();
}

void CResultPopup::RepaintPopup()
{
    update();
}

void CResultPopup::SetPopupTimer(int nTimerId, uint32_t nIntervalMs)
{
    KillPopupTimer(nTimerId);
    m_timers[nTimerId] = startTimer(static_cast<int>(nIntervalMs), Qt::PreciseTimer);
}

void CResultPopup::KillPopupTimer(int nTimerId)
{
    const auto it = m_timers.find(nTimerId);
    if (it == m_timers.end())
        return;
    killTimer(it->second);
    m_timers.erase(it);
}

void CResultPopup::timerEvent(QTimerEvent* event)
{
    for (const auto& [nId, nQtId] : m_timers) {
        if (nQtId == event->timerId()) {
            m_logic.OnTimer(nId);
            return;
        }
    }
    QWidget::timerEvent(event);
}

void CResultPopup::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        m_logic.OnClick();
}

void CResultPopup::mouseMoveEvent(QMouseEvent*)
{
    m_logic.OnMouseMove();
}

void CResultPopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const uint32_t rgb = kPopupBackground;
    painter.fillRect(rect(), QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    if (m_logic.GetText().empty())
        return;
    if (!m_icon.isNull())
        painter.drawPixmap(kPopupIconX, kPopupIconY, m_icon);
    painter.setFont(font());
    painter.setPen(Qt::black);
    const CPopupRect r = PopupTextRect(width(), height());
    // Tabs line the labels' values up; an ampersand is shown as it stands.
    painter.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, QtText(m_logic.GetText()));
}
