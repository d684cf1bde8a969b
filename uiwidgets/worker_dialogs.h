// The dialogs that keep the user waiting while slow work runs on a worker thread: CDProgress shows a
// progress bar, CDDiscover a busy indicator with a text. The worker talks to its dialog only by
// posting the dialog's registered message to the endpoint handle it was given (platform::postMessage,
// from any thread, from C modules too); it never touches the dialog itself.
//
// CDProgress message: wParam 1 sets the bar to lParam percent; 2 closes with result code 0; 3 closes
// with result code lParam. CDDiscover message: wParam 1 closes; 3 closes with result code lParam. Cancel while a worker runs drops
// the dialog's endpoint (the worker's posts then fail and platform::endpointExists answers false,
// which is its signal to stop) and closes the dialog once the worker has returned.
#pragma once

#include "platform/endpoint.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class QTimer;

/// A worker: runs on its own thread with the caller's data and the dialog's endpoint handle; its
/// answer is not looked at (the result code travels by message 3).
using DialogWorker = int (*)(void* data, platform::EndpointHandle dialog);

/// Posts to a worker dialog from any thread, waiting while its queue is full (a busy dialog), so
/// that no report is lost; false once the dialog has gone (or never had an endpoint).
bool PostToDialog(platform::EndpointHandle dialog, uint32_t message, uint32_t wParam, int32_t lParam);

/// The registered message numbers of the two dialogs (the same in every process of the user).
uint32_t ProgressMessage();
uint32_t DiscoverMessage();

/// Control ids of the two dialogs.
enum : int {
    IDD_PROGRESS = 120,
    IDD_DISCOVER = 140,
    IDC_PROGRESS_BAR = 1015,
    IDC_DISCOVER_TEXT = 1090,
    IDC_DISCOVER_ANIMATION = 100,
};

/// What both dialogs share: the endpoint, the worker thread or the timer, Cancel and Escape.
class CWorkerDialog : public QDialog {
    Q_OBJECT
public:
    ~CWorkerDialog() override;
    /// The endpoint handle workers post to; 0 outside a run.
    platform::EndpointHandle Handle() const { return m_hEndpoint ? m_hEndpoint->handle() : 0; }
    /// True while the worker of the current run has not returned.
    bool WorkerRunning() const { return m_bWorkerRunning.load(); }

protected:
    /// endParam: the wParam the worker thread posts when the worker has returned.
    CWorkerDialog(QWidget* parent, int dialogId, uint32_t message, uint32_t endParam);
    /// Opens the endpoint, starts the worker (or the timer without one) and runs modally; the dialog's
    /// result. Cancel is shown when showCancel; Cancel and Escape work when cancel.
    int RunWorker(DialogWorker worker, void* data, bool cancel, bool showCancel);
    int RunWorker(DialogWorker worker, void* data, bool cancel) { return RunWorker(worker, data, cancel, cancel); }
    /// One post of the dialog's message.
    virtual void OnMessage(uint32_t wParam, int32_t lParam) = 0;
    /// A timer step without a worker (every 500 ms).
    virtual void OnTick() = 0;
    /// The worker returned (on the user-interface thread).
    virtual void OnWorkerEnded() {}
    /// The user cancelled (Cancel or Escape, while cancelling is allowed).
    virtual void OnCancel() {}
    /// Posts the dialog's own message to itself, as a worker would.
    void PostSelf(uint32_t wParam, int32_t lParam);
    void StopTimer();
    void reject() override;
    void done(int result) override;

    QPushButton* m_pCancel = nullptr;
    int m_nCounter = 0;

private:
    void Drain();
    void WorkerEnded();

    uint32_t m_nMessage;
    uint32_t m_nEndParam;
    bool m_bCancel = false;
    bool m_bCancelPressed = false;
    bool m_bEnded = false;
    std::unique_ptr<platform::Endpoint> m_hEndpoint;
    QSocketNotifier* m_pNotifier = nullptr;
    QTimer* m_pTimer = nullptr;
    std::thread m_worker;
    std::atomic<bool> m_bWorkerRunning{false};
};

class CDProgress : public CWorkerDialog {
    Q_OBJECT
public:
    explicit CDProgress(QWidget* parent = nullptr);
    /// Runs modally: title (kept when empty), Cancel shown when cancel is 1, the worker (or, without
    /// one, a timer that fills the bar in about five seconds). The dialog's result (1 when a message
    /// closed it, 0 after Cancel).
    int Run(const std::string& title, int cancel, DialogWorker worker, void* data);
    /// Keeps the dialog open when the worker returns, with a DONE button of that text (set before Run).
    void SetKeepOpen(bool keepOpen, const std::string& doneText);
    /// The result code message 3 left (0 otherwise).
    int ResultCode() const { return m_nResultCode; }
    /// The bar's position, 0 to 100.
    int Position() const;

protected:
    void OnMessage(uint32_t wParam, int32_t lParam) override;
    void OnTick() override;
    void OnWorkerEnded() override;

private:
    QProgressBar* m_pBar;
    QPushButton* m_pDone;
    bool m_bKeepOpen = false;
    std::string m_strDone;
    int m_nResultCode = 0;
};

class CDDiscover : public CWorkerDialog {
    Q_OBJECT
public:
    explicit CDDiscover(QWidget* parent = nullptr);
    /// Runs modally with a title and a text until the worker (or, without one, a five-second timer)
    /// has ended; Cancel and Escape close it only when cancel is 1. The dialog's result.
    int Run(const std::string& title, const std::string& text, int cancel, DialogWorker worker, void* data);
    /// The send wizard's form: Cancel is shown when cancelA is 1 and works when cancelA or cancelB is
    /// 1. The result code starts at 0 and is read afterwards with ResultCode().
    int Run(const std::string& title, const std::string& text, int cancelA, int cancelB, DialogWorker worker,
            void* data);
    /// 0 success, 1 cancelled, any other value the failure code a worker posted with message 3.
    int ResultCode() const { return m_nResultCode; }

protected:
    void OnMessage(uint32_t wParam, int32_t lParam) override;
    void OnTick() override;
    void OnCancel() override { m_nResultCode = 1; }

private:
    QLabel* m_pText;
    int m_nResultCode = 0;
};
