#include "uiwidgets/frame_placement.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QStyle>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// Decorations of a usual window manager (title bar and borders), used until the real ones are known.
constexpr QMargins kUsualDecorations(8, 32, 8, 8);
// How long after the first show the real decorations may still arrive and move the frame in.
constexpr qint64 kSettleMs = 3000;

QRect AvailableAreaFor(const QRect& client)
{
    QScreen* screen = QGuiApplication::screenAt(client.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins Decorations(const QWidget& window)
{
    const QRect frame = window.frameGeometry(), client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// Moves the frame in once, when the window manager has put its decorations around it.
class CFrameKeeper : public QObject {
public:
    explicit CFrameKeeper(QWidget* window) : QObject(window), m_pWindow(window)
    {
        setObjectName(kName);
        window->installEventFilter(this);
    }
    static constexpr const char* kName = "qelta-frame-keeper";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_pWindow)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_Shown.start();
            Check();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (m_Shown.isValid())
                Check();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Check()
    {
        if (m_Shown.elapsed() > kSettleMs || m_pWindow->isMaximized() || m_pWindow->isFullScreen()) {
            deleteLater();
            return;
        }
        const QMargins frame = Decorations(*m_pWindow);
        if (frame.isNull())
            return; // not decorated yet
        // Once, with the real decorations: later moves and sizes are the user's or the program's.
        deleteLater();
        m_pWindow->removeEventFilter(this);
        const QRect area = AvailableAreaFor(m_pWindow->geometry());
        if (area.isEmpty())
            return;
        const QRect fitted = FitFrameToArea(m_pWindow->geometry(), frame, area);
        if (fitted != m_pWindow->geometry())
            m_pWindow->setGeometry(fitted);
    }

    QPointer<QWidget> m_pWindow;
    QElapsedTimer m_Shown;
};

} // namespace

QRect FitFrameToArea(const QRect& client, const QMargins& frame, const QRect& area)
{
    if (area.isEmpty())
        return client;
    const int width = std::max(1, std::min(client.width(), area.width() - frame.left() - frame.right()));
    const int height = std::max(1, std::min(client.height(), area.height() - frame.top() - frame.bottom()));
    const int left = area.left() + frame.left(), top = area.top() + frame.top();
    const int x = std::max(left, std::min(client.x(), area.right() + 1 - frame.right() - width));
    const int y = std::max(top, std::min(client.y(), area.bottom() + 1 - frame.bottom() - height));
    return {x, y, width, height};
}

void PlaceFrameOnScreen(QWidget* window, const QRect& client)
{
    const QRect area = AvailableAreaFor(client);
    window->setGeometry(FitFrameToArea(client, kUsualDecorations, area));
    if (!window->findChild<QObject*>(QLatin1String(CFrameKeeper::kName), Qt::FindDirectChildrenOnly))
        new CFrameKeeper(window);
}

void KeepTitleWhole(QWidget* window)
{
    QFont font = QApplication::font();
    font.setBold(true); // as most title bars draw it
    // The title bar's icon and its three buttons, each about a bar's height wide, and the margins.
    const int bar = std::max(20, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    const int width = QFontMetrics(font).horizontalAdvance(window->windowTitle()) + 5 * bar;
    window->setMinimumWidth(std::max(window->minimumWidth(), width));
}
