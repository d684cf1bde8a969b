// The result monitor without its windows: the listener and the values it publishes, the hand-over
// of notices from the listener's thread to the UI thread, the handling of each job result (sending
// log, sound, pop-up) and the status pop-up. The tray program backs the interfaces below.
#pragma once

#include "resultmonitor/monitor_settings.h"
#include "resultmonitor/pending_notices.h"
#include "resultmonitor/sending_log.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CJobResultNotice;

/// The listener's callback: called on the listener's thread with a value to ignore, the port the
/// notice came in on, the 600-byte record and the context given at start. Returns 1 when it took the
/// notice, 0 when it could not (its sender is then told so).
using JobResultCallback = int (*)(int nIgnored, int nPort, const void* pNotice, void* pContext);

/// The job-result listener.
class IJobResultListener {
public:
    virtual ~IJobResultListener() = default;
    /// Listens on strAddress (every address when empty) and nPort (0: one is chosen; the port in use
    /// is written back). 0 on success.
    virtual int Start(const std::string& strAddress, int& nPort, JobResultCallback pfnCallback, void* pContext) = 0;
    /// Stops listening; no callback runs once it returns.
    virtual void Stop() = 0;
};

/// Plays the monitor's sounds by WAVE id; never blocks the caller for the sound's length.
class ISoundSink {
public:
    virtual ~ISoundSink() = default;
    virtual void PlayWave(uint32_t nWaveId) = 0;
};

/// Shows a message in the pop-up.
class IPopupSink {
public:
    virtual ~IPopupSink() = default;
    virtual void ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate,
                           uint32_t dwDisplayTime) = 0;
};

/// Runs a task on the UI thread later. A task that can no longer run is destroyed unrun.
class IUiPoster {
public:
    virtual ~IUiPoster() = default;
    virtual void Post(std::function<void()> fnTask) = 0;
};

/// What the monitor works with.
struct CResultMonitorParts {
    IJobResultListener* pListener = nullptr;
    IPopupSink* pPopup = nullptr;
    ISoundSink* pSound = nullptr;
    IMonitorSettings* pSettings = nullptr;
    IUiPoster* pPoster = nullptr;
    /// Makes the sending log object (null: there is none and log updates are skipped).
    std::function<std::unique_ptr<IResultLog>()> fnCreateLog = CreateSendingLog;
    /// The address published for the listener.
    std::function<std::string()> fnOwnAddress;
    /// Where notices taken but not yet handled are kept (empty: nowhere, and none is taken).
    std::string strPendingFolder = CPendingNotices::DefaultFolder();
};

/// Notices taken and waiting to be handled, at most: beyond, the listener refuses new ones until
/// the UI thread has caught up (so memory stays flat under a flood and a real notice that comes
/// after it waits behind few).
inline constexpr size_t kMaxWaitingNotices = 64;
/// How long a stop spends writing the waiting notices into the sending log; those left stay kept
/// for the next start.
inline constexpr std::chrono::milliseconds kStopWriteTime{3000};

/// Menu commands.
enum EMonitorCommand : uint32_t {
    ID_APP_EXIT_MONITOR = 32771,
    ID_PROPERTY = 32772,
    ID_SHOW_STATUS = 32773,
};

class CResultMonitor {
public:
    explicit CResultMonitor(CResultMonitorParts parts);
    /// Stops the listener (clearing the published values).
    ~CResultMonitor();
    CResultMonitor(const CResultMonitor&) = delete;
    CResultMonitor& operator=(const CResultMonitor&) = delete;

    /// Start-up once this is the only monitor: clears the published values (a crashed run may have
    /// left them), reads the view settings, makes the sending log object, queues the notices an
    /// earlier run took but did not handle, and starts listening.
    void Start();
    /// The end: stops listening (clearing the published values), then writes the notices still
    /// waiting into the sending log for at most kStopWriteTime, without pop-ups or sounds; those
    /// left stay kept for the next start.
    void Stop();
    /// Listens on nPort (0: any) and publishes address and port; 1, or 0 with nothing published.
    int StartListener(int nPort);
    /// Stops listening and clears the published values; nothing when not listening.
    void StopListener();

    /// The listener's callback: a notice of kind 1 or 2 on the port listened on is copied, kept
    /// (CPendingNotices) and queued for the UI thread; 1. While kMaxWaitingNotices wait, when it
    /// cannot be kept, or before the port in use is known, 0: it is not taken. Notices of other
    /// kinds or ports are dropped (1).
    static int OnNotice(int nIgnored, int nPort, const void* pNotice, void* pContext);
    /// Handles the oldest waiting notice on the UI thread (nothing when none waits).
    void HandleNextWaiting();
    /// Notices taken and not yet handled.
    size_t WaitingCount() const;

    /// Handles one job result on the UI thread.
    void OnJobResult(const CJobResultNotice& notice);
    /// The status pop-up: address and port, sound 143, the view settings read again, icon 134.
    void ShowStatus();
    /// The status pop-up's text.
    std::string StatusText() const;
    /// Reads the view settings again (after the settings sheet closed).
    void ReloadViewSettings();

    /// While the settings sheet runs, Property and Exit are disabled.
    void SetSettingsOpen(bool bOpen) { m_bSettingsOpen = bOpen; }
    bool IsSettingsOpen() const { return m_bSettingsOpen; }
    bool IsCommandEnabled(uint32_t nCommandId) const;

    bool IsListening() const { return m_bListening; }
    int GetPort() const { return m_nPort.load(); }
    const std::string& GetAddress() const { return m_strAddress; }
    bool HasLog() const { return m_pLog != nullptr; }
    const CViewSettings& GetViewSettings() const { return m_view; }

private:
    struct CWaiting {
        std::shared_ptr<const CJobResultNotice> pNotice;
        std::string strKeptName;
    };
    /// Queues a notice for the UI thread.
    void Enqueue(CWaiting waiting);
    /// The oldest waiting notice, no longer waiting; nothing when none waits.
    std::optional<CWaiting> TakeNextWaiting();
    /// The sending log update of one result.
    void UpdateLog(const CJobResultNotice& notice, int32_t lStatus);

    CResultMonitorParts m_parts;
    CPendingNotices m_Pending;
    mutable std::mutex m_WaitingMutex;
    std::deque<CWaiting> m_Waiting;
    std::unique_ptr<IResultLog> m_pLog;
    CViewSettings m_view;
    std::atomic<int> m_nPort{0};
    std::string m_strAddress;
    bool m_bListening = false;
    bool m_bSettingsOpen = false;
    /// Tasks posted to the UI thread hold it weakly: once the monitor is gone they do nothing.
    std::shared_ptr<CResultMonitor*> m_pAlive;
};
