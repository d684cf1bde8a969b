#include "uiwidgets/worker_dialogs.h"

#include "common/progress_runner.h"

#include "uiwidgets/control_text.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>

namespace {

constexpr int kTickMs = 500;
std::atomic<unsigned> g_nextTitle{0};

} // namespace

bool PostToDialog(platform::EndpointHandle dialog, uint32_t message, uint32_t wParam, int32_t lParam)
{
    while (!platform::postMessage(dialog, message, wParam, lParam)) {
        if (!platform::endpointExists(dialog))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

uint32_t ProgressMessage()
{
    static const uint32_t message = platform::registerMessage(kProgressMessageName);
    return message;
}

uint32_t DiscoverMessage()
{
    static const uint32_t message = platform::registerMessage("AFX_DDISCOVER_H__63BA7395_27D2_402F_989E_ABCADAE1714B__INCLUDED_");
    return message;
}

CWorkerDialog::CWorkerDialog(QWidget* parent, int dialogId, uint32_t message, uint32_t endParam)
    : QDialog(parent), m_nMessage(message), m_nEndParam(endParam)
{
    setObjectName(ControlName(dialogId));
    m_pCancel = new QPushButton(ControlText(dialogId, 2), this);
    m_pCancel->setObjectName(ControlName(2));
    m_pCancel->setAutoDefault(false);
    connect(m_pCancel, &QPushButton::clicked, this, &CWorkerDialog::reject);
}

CWorkerDialog::~CWorkerDialog()
{
    m_hEndpoint.reset();
    if (m_worker.joinable())
        m_worker.join();
}

int CWorkerDialog::RunWorker(DialogWorker worker, void* data, bool cancel, bool showCancel)
{
    m_bCancel = cancel;
    m_bCancelPressed = false;
    m_bEnded = false;
    m_nCounter = 0;
    m_pCancel->setVisible(showCancel);
    m_pCancel->setEnabled(true);
    const std::string title = "dialog-" + std::to_string(QCoreApplication::applicationPid()) + "-" + std::to_string(g_nextTitle++);
    m_hEndpoint = platform::Endpoint::create("QELTA-WorkerDialog", title);
    if (m_hEndpoint) {
        m_pNotifier = new QSocketNotifier(m_hEndpoint->descriptor(), QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CWorkerDialog::Drain);
    }
    if (worker) {
        m_bWorkerRunning = true;
        const platform::EndpointHandle handle = Handle();
        m_worker = std::thread([this, worker, data, handle] {
            worker(data, handle);
            PostToDialog(handle, m_nMessage, m_nEndParam, 0);
            m_bWorkerRunning = false;
            QMetaObject::invokeMethod(this, [this] { WorkerEnded(); }, Qt::QueuedConnection);
        });
    } else {
        m_pTimer = new QTimer(this);
        connect(m_pTimer, &QTimer::timeout, this, [this] { OnTick(); });
        m_pTimer->start(kTickMs);
    }
    const int result = exec();
    StopTimer();
    delete m_pNotifier;
    m_pNotifier = nullptr;
    m_hEndpoint.reset(); // later posts of the worker fail
    if (m_worker.joinable())
        m_worker.join();
    return result;
}

void CWorkerDialog::PostSelf(uint32_t wParam, int32_t lParam)
{
    if (m_hEndpoint)
        platform::postMessage(m_hEndpoint->handle(), m_nMessage, wParam, lParam);
}

void CWorkerDialog::StopTimer()
{
    if (m_pTimer) {
        m_pTimer->stop();
        delete m_pTimer;
        m_pTimer = nullptr;
    }
}

void CWorkerDialog::Drain()
{
    platform::PostedMessage message;
    while (m_hEndpoint && m_hEndpoint->receive(message, 0)) {
        if (message.message == m_nMessage && !m_bCancelPressed && !m_bEnded)
            OnMessage(message.wParam, message.lParam);
    }
}

void CWorkerDialog::done(int result)
{
    m_bEnded = true; // posts still queued behind the closing one are not looked at
    QDialog::done(result);
}

void CWorkerDialog::WorkerEnded()
{
    if (m_bCancelPressed) {
        QDialog::reject();
        return;
    }
    // The thread's end post is lost when the dialog's queue was full (or it has no endpoint):
    // what is queued is taken first, then the worker's return stands for the end.
    Drain();
    if (!m_bEnded)
        OnMessage(m_nEndParam, 0);
    OnWorkerEnded();
}

void CWorkerDialog::reject()
{
    // Escape comes here too: without Cancel it is ignored.
    if (!m_bCancel || m_bCancelPressed)
        return;
    OnCancel();
    if (!m_bWorkerRunning) {
        QDialog::reject();
        return;
    }
    // Ask the worker to stop: its endpoint goes away; close once it has returned.
    m_bCancelPressed = true;
    m_pCancel->setEnabled(false);
    delete m_pNotifier;
    m_pNotifier = nullptr;
    m_hEndpoint.reset();
}

CDProgress::CDProgress(QWidget* parent) : CWorkerDialog(parent, IDD_PROGRESS, ProgressMessage(), 2)
{
    m_pBar = new QProgressBar(this);
    m_pBar->setObjectName(ControlName(IDC_PROGRESS_BAR));
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    m_pDone = new QPushButton(ControlText(IDD_PROGRESS, 1), this);
    m_pDone->setObjectName(ControlName(1));
    m_pDone->hide();
    connect(m_pDone, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pCancel);
    buttons->addWidget(m_pDone);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBar);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

int CDProgress::Run(const std::string& title, int cancel, DialogWorker worker, void* data)
{
    if (!title.empty())
        setWindowTitle(QString::fromStdString(title));
    m_nResultCode = 0;
    m_pDone->hide();
    if (m_bKeepOpen && !m_strDone.empty())
        m_pDone->setText(QString::fromStdString(m_strDone));
    return RunWorker(worker, data, cancel == 1);
}

void CDProgress::SetKeepOpen(bool keepOpen, const std::string& doneText)
{
    m_bKeepOpen = keepOpen;
    m_strDone = doneText;
}

int CDProgress::Position() const { return m_pBar->value(); }

void CDProgress::OnMessage(uint32_t wParam, int32_t lParam)
{
    switch (wParam) {
    case 1:
        if (lParam >= 0 && lParam <= 100)
            m_pBar->setValue(m_pBar->minimum() + (m_pBar->maximum() - m_pBar->minimum()) * lParam / 100);
        break;
    case 2:
        if (m_bKeepOpen)
            break; // the worker's end shows DONE instead
        m_nResultCode = 0;
        accept();
        break;
    case 3:
        m_nResultCode = lParam;
        accept();
        break;
    default: break;
    }
}

void CDProgress::OnTick()
{
    m_nCounter += 10;
    if (m_nCounter < 100) {
        PostSelf(1, m_nCounter);
        return;
    }
    StopTimer();
    PostSelf(2, 0);
}

void CDProgress::OnWorkerEnded()
{
    if (m_bKeepOpen)
        m_pDone->show();
}

CDDiscover::CDDiscover(QWidget* parent) : CWorkerDialog(parent, IDD_DISCOVER, DiscoverMessage(), 1)
{
    // The animation: a busy indicator that needs no resource, so it can never fail to start.
    auto* animation = new QProgressBar(this);
    animation->setObjectName(ControlName(IDC_DISCOVER_ANIMATION));
    animation->setRange(0, 0);
    animation->setFixedSize(80, 16);
    animation->setTextVisible(false);
    m_pText = new QLabel(this);
    m_pText->setObjectName(ControlName(IDC_DISCOVER_TEXT));
    m_pText->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(animation);
    top->addWidget(m_pText, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

int CDDiscover::Run(const std::string& title, const std::string& text, int cancel, DialogWorker worker, void* data)
{
    return Run(title, text, cancel, 0, worker, data);
}

int CDDiscover::Run(const std::string& title, const std::string& text, int cancelA, int cancelB, DialogWorker worker,
                    void* data)
{
    setWindowTitle(QString::fromStdString(title));
    m_pText->setText(QString::fromStdString(text));
    m_nResultCode = 0;
    return RunWorker(worker, data, cancelA == 1 || cancelB == 1, cancelA == 1);
}

void CDDiscover::OnMessage(uint32_t wParam, int32_t lParam)
{
    if (wParam == 3)
        m_nResultCode = lParam;
    if (wParam == 1 || wParam == 3)
        accept();
}

void CDDiscover::OnTick()
{
    m_nCounter += 10;
    if (m_nCounter < 100)
        return;
    StopTimer();
    PostSelf(1, 0);
}
