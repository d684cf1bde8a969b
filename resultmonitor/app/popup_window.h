// The result pop-up: a frameless, topmost tool window shown without taking the focus, whose
// slide, display time, clicks and mouse moves CResultPopupLogic decides.
#pragma once

#include "resultmonitor/monitor_controller.h"
#include "resultmonitor/popup_logic.h"

#include <QFont>
#include <QWidget>

#include <map>

inline constexpr const char* kPopupTitle = "QELTA-RTNAPP_POPUP";

class CResultPopup : public QWidget, public IPopupHost, public IPopupSink {
public:
    /// dwLocale: the locale the program runs in (the font is a point larger for Japanese).
    explicit CResultPopup(uint32_t dwLocale, QWidget* parent = nullptr);

    // IPopupSink
    void ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate,
                   uint32_t dwDisplayTime) override;

    // IPopupHost
    CPopupRect AvailableArea() const override;
    void MovePopup(int nLeft, int nTop) override;
    void ShowPopupWindow() override;
    void HidePopupWindow() override;
    void DestroyPopupWindow() override;
    void RepaintPopup() override;
    void SetPopupTimer(int nTimerId, uint32_t nIntervalMs) override;
    void KillPopupTimer(int nTimerId) override;

    CResultPopupLogic& Logic() { return m_logic; }
    /// Runs the logic's timer as if it had fired (the tests tick the slide themselves).
    void Tick(int nTimerId) { m_logic.OnTimer(nTimerId); }
    bool IsTimerRunning(int nTimerId) const { return m_timers.count(nTimerId) != 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CResultPopupLogic m_logic;
    QPixmap m_icon;
    /// The logic's timer ids and Qt's.
    std::map<int, int> m_timers;
};
