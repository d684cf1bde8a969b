// The monitor's hidden frame: the tray icon and its menu, the endpoint other programs find and post
// to (WM_CLOSE ends the monitor), the stop signals, the hand-over of notices to the UI thread, the
// status pop-up, the settings sheet and the sounds, around CResultMonitor.
#pragma once

#include "platform/files.h"
#include "resultmonitor/app/popup_window.h"
#include "resultmonitor/app/settings_sheet.h"
#include "resultmonitor/monitor_controller.h"
#include "uiwidgets/help.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>
namespace platform {
class Endpoint;
}
class CSoundPlayer;
class IPrompter;
class QAction;
class QMenu;
class QSocketNotifier;
class QSystemTrayIcon;

inline constexpr const char* kMonitorClass = "QELTA-RTNAPP_CLASS";
inline constexpr const char* kMonitorTitle = "QELTA-RTNAPP_MAIN";
/// The close request other programs post to the endpoint.
inline constexpr uint32_t kWmClose = 16;
/// Menu and icon ids.
inline constexpr uint32_t kContextMenuId = 129;

/// Runs tasks posted from any thread on the UI thread, in order, one per pass of the event loop, so
/// that a burst of them never holds up the loop's timers and input for longer than one task takes.
/// Tasks still waiting when the poster goes are destroyed unrun.
class CQtUiPoster : public QObject, public IUiPoster {
public:
    CQtUiPoster();
    void Post(std::function<void()> fnTask) override;

private:
    void RunOne();

    std::mutex m_Mutex;
    std::deque<std::function<void()>> m_Tasks;
    bool m_bScheduled = false;
    QTimer* m_pNext = nullptr;
};

/// Plays the monitor's WAVE resources one after another.
class CMonitorSound : public ISoundSink {
public:
    explicit CMonitorSound(CSoundPlayer& player) : m_Player(player) {}
    void PlayWave(uint32_t nWaveId) override;

private:
    CSoundPlayer& m_Player;
};

class CResultFrame : public QObject {
public:
    /// parts: the listener, settings, sound and log; the pop-up and the poster are the frame's own.
    CResultFrame(std::unique_ptr<platform::Endpoint> endpoint, CResultMonitorParts parts, uint32_t dwLocale,
                 IPrompter& prompter, HelpOpener opener = {});
    /// Stops as Close does.
    ~CResultFrame() override;

    /// The frame's start: tray icon, the monitor's start (listener and sending log). Without a
    /// notification area it says so on standard error, works on without the icon and shows the icon
    /// as soon as one appears.
    void Start();
    /// Stops: listener stopped and the values cleared, the notices taken written (CResultMonitor::Stop),
    /// tray icon removed, endpoint released. Then the application is asked to quit. Nothing the
    /// second time.
    void Close();
    /// Answers whether the desktop has a notification area (QSystemTrayIcon's answer unless set).
    void SetTrayProbe(std::function<bool()> fnAvailable) { m_fnTrayAvailable = std::move(fnAvailable); }
    /// How often the frame looks for a notification area while there is none.
    static constexpr int kTrayProbeMs = 1000;

    void ShowStatus();
    /// Opens the settings sheet (window-modal to nothing: the monitor has no window) unless it is open.
    void OpenSettings();

    CResultMonitor& Monitor() { return *m_pMonitor; }
    CResultPopup& Popup() { return *m_pPopup; }
    QMenu* Menu() { return m_pMenu.get(); }
    QAction* Action(uint32_t nCommandId) const;
    bool HasTrayIcon() const { return m_pTray != nullptr; }
    CSettingsSheet* SettingsSheet() const { return m_pSheet; }
    bool IsClosed() const { return m_bClosed; }

    /// Catches SIGTERM and SIGINT for the process from now on: each writes to a pipe, whose reading
    /// end is returned (-1 when none could be made; the signals then keep their default action).
    static int CatchStopSignals();
    /// Closes the frame when the pipe CatchStopSignals gave has something to read.
    void WatchStopSignals(int nStopFd);

private:
    void OnPosted();
    void UpdateCommands();
    /// Shows the tray icon when the desktop has a notification area; true once it is shown.
    bool ShowTrayIcon();

    std::unique_ptr<platform::Endpoint> m_pEndpoint;
    CResultMonitorParts m_Parts;
    IPrompter& m_Prompter;
    HelpOpener m_Opener;
    CQtUiPoster m_Poster;
    std::unique_ptr<CResultPopup> m_pPopup;
    std::unique_ptr<CResultMonitor> m_pMonitor;
    std::unique_ptr<QMenu> m_pMenu;
    QSystemTrayIcon* m_pTray = nullptr;
    QSocketNotifier* m_pPostNotifier = nullptr;
    QSocketNotifier* m_pSignalNotifier = nullptr;
    QPointer<CSettingsSheet> m_pSheet;
    std::function<bool()> m_fnTrayAvailable;
    QTimer* m_pTrayProbe = nullptr;
    bool m_bClosed = false;
};

/// The program: one monitor per user; a second start ends at once with 0. Then the language, the
/// frame and its event loop until Exit, WM_CLOSE, SIGTERM or SIGINT. The folders of the user's that
/// another user holds (MendUserFolders) are shown; when the kept notices' folder cannot be used
/// the monitor says so and ends with 1 before it listens.
int RunResultMonitor(int argc, char** argv, const std::vector<platform::ForeignFolder>& foreign);
