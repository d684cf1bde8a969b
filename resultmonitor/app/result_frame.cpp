#include "resultmonitor/app/result_frame.h"

#include "common/resource_locale.h"
#include "platform/com.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "resultmonitor/app/settings_sheet.h"
#include "resultmonitor/notice_listener.h"
#include "resultmonitor/pending_notices.h"
#include "resultmonitor/result_texts.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/desktop_entry.h"
#include "uiwidgets/foreign_folders.h"
#include "uiwidgets/qt_prompter.h"
#include "uiwidgets/sound_player.h"
#include "uiwidgets/stop_signals.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The context menu's commands in their order (0: a separator).
constexpr uint32_t kMenuCommands[] = {ID_SHOW_STATUS, ID_PROPERTY, 0, ID_APP_EXIT_MONITOR};

} // namespace

CQtUiPoster::CQtUiPoster() : m_pNext(new QTimer(this))
{
    // A zero timer runs once per pass of the event loop, after the events waiting.
    m_pNext->setSingleShot(true);
    m_pNext->setInterval(0);
    connect(m_pNext, &QTimer::timeout, this, &CQtUiPoster::RunOne);
}

void CQtUiPoster::Post(std::function<void()> fnTask)
{
    bool bSchedule = false;
    {
        const std::lock_guard lock(m_Mutex);
        m_Tasks.push_back(std::move(fnTask));
        bSchedule = !m_bScheduled;
        m_bScheduled = true;
    }
    // Started on this object's thread; when the object is gone first, Qt drops the call.
    if (bSchedule)
        QMetaObject::invokeMethod(m_pNext, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void CQtUiPoster::RunOne()
{
    std::function<void()> task;
    {
        const std::lock_guard lock(m_Mutex);
        if (m_Tasks.empty()) {
            m_bScheduled = false;
            return;
        }
        task = std::move(m_Tasks.front());
        m_Tasks.pop_front();
    }
    task();
    const std::lock_guard lock(m_Mutex);
    if (m_Tasks.empty())
        m_bScheduled = false;
    else
        m_pNext->start();
}

void CMonitorSound::PlayWave(uint32_t nWaveId)
{
    m_Player.PlayResource(nWaveId);
}

int CResultFrame::CatchStopSignals() { return ::CatchStopSignals(); }

void CResultFrame::WatchStopSignals(int nStopFd)
{
    if (!m_pSignalNotifier)
        m_pSignalNotifier = ::WatchStopSignals(this, nStopFd, [this] { Close(); });
}

CResultFrame::CResultFrame(std::unique_ptr<platform::Endpoint> endpoint, CResultMonitorParts parts, uint32_t dwLocale,
                           IPrompter& prompter, HelpOpener opener)
    : m_pEndpoint(std::move(endpoint)), m_Parts(std::move(parts)), m_Prompter(prompter), m_Opener(std::move(opener)),
      m_pPopup(std::make_unique<CResultPopup>(dwLocale))
{
    m_Parts.pPopup = m_pPopup.get();
    m_Parts.pPoster = &m_Poster;
    m_pMonitor = std::make_unique<CResultMonitor>(m_Parts);

    m_pMenu = std::make_unique<QMenu>();
    m_pMenu->setObjectName(ControlName(static_cast<int>(kContextMenuId)));
    for (const uint32_t nCommand : kMenuCommands) {
        if (nCommand == 0) {
            m_pMenu->addSeparator();
            continue;
        }
        QAction* action = m_pMenu->addAction(QtText(LoadResourceString(ControlTextId(kContextMenuId, nCommand))));
        action->setObjectName(ControlName(static_cast<int>(nCommand)));
        connect(action, &QAction::triggered, this, [this, nCommand] {
            if (!m_pMonitor->IsCommandEnabled(nCommand))
                return;
            if (nCommand == ID_SHOW_STATUS)
                ShowStatus();
            else if (nCommand == ID_PROPERTY)
                OpenSettings();
            else
                Close();
        });
    }
    m_pMenu->setDefaultAction(Action(ID_SHOW_STATUS));
    connect(m_pMenu.get(), &QMenu::aboutToShow, this, [this] {
        UpdateCommands();
        // The open sheet comes to the front with the menu, so that it is not lost behind others.
        if (m_pSheet) {
            m_pSheet->raise();
            m_pSheet->activateWindow();
        }
    });

    if (m_pEndpoint) {
        m_pPostNotifier = new QSocketNotifier(m_pEndpoint->descriptor(), QSocketNotifier::Read, this);
        connect(m_pPostNotifier, &QSocketNotifier::activated, this, &CResultFrame::OnPosted);
    }
}

CResultFrame::~CResultFrame()
{
    Close();
    delete m_pSheet;
}

QAction* CResultFrame::Action(uint32_t nCommandId) const
{
    return m_pMenu->findChild<QAction*>(ControlName(static_cast<int>(nCommandId)));
}

void CResultFrame::Start()
{
    if (!ShowTrayIcon()) {
        std::fprintf(stderr, "resultmonitor: the desktop has no notification area; job results are still handled "
                             "and shown, and the icon appears when a notification area does\n");
        m_pTrayProbe = new QTimer(this);
        connect(m_pTrayProbe, &QTimer::timeout, this, [this] {
            if (ShowTrayIcon())
                m_pTrayProbe->stop();
        });
        m_pTrayProbe->start(kTrayProbeMs);
    }
    m_pMonitor->Start();
}

bool CResultFrame::ShowTrayIcon()
{
    if (m_pTray)
        return true;
    if (m_bClosed || !(m_fnTrayAvailable ? m_fnTrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable()))
        return false;
    m_pTray = new QSystemTrayIcon(QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, IDI_TRAY)), this);
    m_pTray->setContextMenu(m_pMenu.get());
    connect(m_pTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            ShowStatus();
    });
    m_pTray->show();
    return true;
}

void CResultFrame::Close()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_pTrayProbe)
        m_pTrayProbe->stop();
    m_pMonitor->Stop();
    if (m_pSheet)
        m_pSheet->reject();
    if (m_pTray) {
        m_pTray->hide();
        delete m_pTray;
        m_pTray = nullptr;
    }
    if (m_pPostNotifier) {
        m_pPostNotifier->setEnabled(false);
        delete m_pPostNotifier;
        m_pPostNotifier = nullptr;
    }
    m_pEndpoint.reset();
    m_pPopup->hide();
    QCoreApplication::quit();
}

void CResultFrame::ShowStatus()
{
    m_pMonitor->ShowStatus();
}

void CResultFrame::OpenSettings()
{
    if (m_pSheet || m_bClosed) {
        if (m_pSheet) {
            m_pSheet->raise();
            m_pSheet->activateWindow();
        }
        return;
    }
    auto* sheet = new CSettingsSheet(*m_Parts.pSettings, m_Prompter, m_Opener);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowIcon(QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, IDI_TRAY)));
    m_pSheet = sheet;
    m_pMonitor->SetSettingsOpen(true);
    UpdateCommands();
    connect(sheet, &QDialog::finished, this, [this] {
        m_pMonitor->SetSettingsOpen(false);
        m_pMonitor->ReloadViewSettings();
        UpdateCommands();
    });
    sheet->show();
    sheet->raise();
    sheet->activateWindow();
}

void CResultFrame::UpdateCommands()
{
    for (const uint32_t nCommand : kMenuCommands)
        if (QAction* action = nCommand ? Action(nCommand) : nullptr)
            action->setEnabled(m_pMonitor->IsCommandEnabled(nCommand));
}

void CResultFrame::OnPosted()
{
    platform::PostedMessage message;
    while (m_pEndpoint && m_pEndpoint->receive(message, 0)) {
        if (message.message == kWmClose) {
            Close();
            return;
        }
    }
}

int RunResultMonitor(int argc, char** argv, const std::vector<platform::ForeignFolder>& foreign)
{
    // From the start: a stop asked for while the monitor starts ends it as soon as it runs.
    const int nStopFd = CResultFrame::CatchStopSignals();
    bool bBusy = false;
    std::string strError;
    auto endpoint = platform::Endpoint::createUnlessBusy(kMonitorClass, kMonitorTitle, {}, &bBusy, &strError);
    if (!endpoint) {
        if (bBusy)
            return 0;
        std::fprintf(stderr, "resultmonitor: %s\n", strError.c_str());
        return 1;
    }
    platform::com::initializeThread();
    CSDLocale locale("", "RESULTMONITOR");
    const uint32_t dwLocale = CSDLocale::PickStartLocale();
    if (!locale.StartWithLocale(dwLocale)) {
        std::fprintf(stderr, "resultmonitor: the language 0x%X cannot be used\n", dwLocale);
        return 1;
    }
    int nResult = 0;
    {
        QApplication application(argc, argv);
        NameDesktopEntry("resultmonitor");
        QApplication::setQuitOnLastWindowClosed(false);
        CNoticeListener listener;
        CRegistryMonitorSettings settings;
        CSoundPlayer player;
        CMonitorSound sound(player);
        CResultMonitorParts parts;
        parts.pListener = &listener;
        parts.pSettings = &settings;
        parts.pSound = &sound;
        parts.fnOwnAddress = [] { return platform::publishedIPv4Address(); };
        CQtPrompter prompter;
        // A monitor that cannot keep what it takes takes nothing: no port is published.
        const std::string strKept = CPendingNotices::DefaultFolder();
        if (!platform::mayUsePath(strKept)) {
            const std::string strText = FolderUnusableText(strKept);
            std::fprintf(stderr, "resultmonitor: %s\n", strText.c_str());
            if (foreign.empty())
                prompter.MessageBox(strText, {}, MB_ICONERROR);
            WarnOfForeignFolders(foreign, prompter);
            SetCurrentResourceLocale(nullptr);
            platform::com::uninitializeThread();
            return 1;
        }
        WarnOfForeignFolders(foreign, prompter);
        CResultFrame frame(std::move(endpoint), std::move(parts), dwLocale, prompter);
        frame.WatchStopSignals(nStopFd);
        frame.Start();
        nResult = QApplication::exec();
        frame.Close();
    }
    SetCurrentResourceLocale(nullptr);
    platform::com::uninitializeThread();
    return nResult;
}
