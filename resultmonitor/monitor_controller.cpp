#include "resultmonitor/monitor_controller.h"

#include "common/resource_locale.h"
#include "resultmonitor/job_result_notice.h"
#include "resultmonitor/result_texts.h"

#include <cstdio>

CResultMonitor::CResultMonitor(CResultMonitorParts parts)
    : m_parts(std::move(parts)), m_Pending(m_parts.strPendingFolder), m_pAlive(std::make_shared<CResultMonitor*>(this))
{
}

CResultMonitor::~CResultMonitor()
{
    StopListener();
}

void CResultMonitor::Start()
{
    ClearListenerValues();
    ReloadViewSettings();
    m_pLog = m_parts.fnCreateLog ? m_parts.fnCreateLog() : nullptr;
    for (auto& [strName, pNotice] : m_Pending.LoadAll())
        Enqueue({std::move(pNotice), std::move(strName)});
    StartListener(0);
}

void CResultMonitor::Stop()
{
    StopListener();
    const auto end = std::chrono::steady_clock::now() + kStopWriteTime;
    while (std::chrono::steady_clock::now() < end) {
        const std::optional<CWaiting> waiting = TakeNextWaiting();
        if (!waiting)
            return;
        const CJobResultNotice& notice = *waiting->pNotice;
        UpdateLog(notice, GetResultKindTraits(GetResultKind(notice.GetResultCode())).lLogStatus);
        m_Pending.Remove(waiting->strKeptName);
    }
}

int CResultMonitor::StartListener(int nPort)
{
    if (m_bListening)
        return 1;
    const std::string strAddress = m_parts.fnOwnAddress ? m_parts.fnOwnAddress() : std::string();
    int nInUse = nPort;
    if (m_parts.pListener->Start(strAddress, nInUse, &CResultMonitor::OnNotice, this) != 0)
        return 0;
    m_bListening = true;
    m_strAddress = strAddress;
    m_nPort.store(nInUse);
    PublishListenerValues(m_strAddress, nInUse);
    return 1;
}

void CResultMonitor::StopListener()
{
    if (!m_bListening)
        return;
    m_parts.pListener->Stop();
    m_bListening = false;
    m_nPort.store(0);
    m_strAddress.clear();
    ClearListenerValues();
}

int CResultMonitor::OnNotice(int, int nPort, const void* pNotice, void* pContext)
{
    auto* self = static_cast<CResultMonitor*>(pContext);
    if (!self || !pNotice)
        return 1;
    // The first notices may come before the port in use is known here: not taken, so not lost.
    const int nListened = self->m_nPort.load();
    if (nListened == 0)
        return 0;
    if (nPort != nListened)
        return 1;
    const uint32_t nKind = CJobResultNotice::ReadNoticeKind(pNotice);
    if (nKind < kNoticeKindFirst || nKind > kNoticeKindLast)
        return 1;
    // Only this thread adds, so the count checked here can only fall before the notice is queued.
    if (self->WaitingCount() >= kMaxWaitingNotices)
        return 0;
    auto pCopy = std::make_shared<const CJobResultNotice>(pNotice);
    // Confirmed to the sender only once kept where the next start finds it.
    std::string strName = self->m_Pending.Keep(*pCopy);
    if (strName.empty())
        return 0;
    self->Enqueue({std::move(pCopy), std::move(strName)});
    return 1;
}

void CResultMonitor::Enqueue(CWaiting waiting)
{
    {
        const std::lock_guard lock(m_WaitingMutex);
        m_Waiting.push_back(std::move(waiting));
    }
    std::weak_ptr<CResultMonitor*> alive = m_pAlive;
    m_parts.pPoster->Post([alive] {
        if (const auto monitor = alive.lock())
            (*monitor)->HandleNextWaiting();
    });
}

size_t CResultMonitor::WaitingCount() const
{
    const std::lock_guard lock(m_WaitingMutex);
    return m_Waiting.size();
}

std::optional<CResultMonitor::CWaiting> CResultMonitor::TakeNextWaiting()
{
    const std::lock_guard lock(m_WaitingMutex);
    if (m_Waiting.empty())
        return std::nullopt;
    CWaiting waiting = std::move(m_Waiting.front());
    m_Waiting.pop_front();
    return waiting;
}

void CResultMonitor::HandleNextWaiting()
{
    if (const std::optional<CWaiting> waiting = TakeNextWaiting()) {
        OnJobResult(*waiting->pNotice);
        m_Pending.Remove(waiting->strKeptName);
    }
}

void CResultMonitor::UpdateLog(const CJobResultNotice& notice, int32_t lStatus)
{
    if (!m_pLog)
        return;
    int32_t lLogID = 0;
    if (m_pLog->FindLogID(BuildLogCookie(notice), &lLogID) == S_OK)
        m_pLog->ChangeLogStatus(lLogID, lStatus);
}

void CResultMonitor::OnJobResult(const CJobResultNotice& notice)
{
    const std::string strMessage = BuildResultMessage(notice);
    const CResultKindTraits& traits = GetResultKindTraits(GetResultKind(notice.GetResultCode()));
    const IMonitorSettings& settings = *m_parts.pSettings;
    const uint32_t dwShowSetting = settings.ReadDword(traits.pszSettingName, traits.dwSettingDefault);
    const bool bShown = traits.bShownWhenZero ? dwShowSetting == 0 : dwShowSetting != 0;
    const bool bSound = settings.ReadDword(kSettingSound, 1) != 0;

    UpdateLog(notice, traits.lLogStatus);
    if (bSound)
        m_parts.pSound->PlayWave(traits.nWaveId);
    if (bShown)
        m_parts.pPopup->ShowPopup(m_view.nPosition, traits.nIconId, strMessage, m_view.bEnableAnimation,
                                  m_view.dwDisplayTime);
}

std::string CResultMonitor::StatusText() const
{
    const std::string strIp = LoadResourceString(IDS_STATUS_IP);
    const std::string strPort = LoadResourceString(IDS_STATUS_PORT);
    return "[" + strIp + " = " + m_strAddress + "]  [" + strPort + " = " + std::to_string(m_nPort.load()) + "]";
}

void CResultMonitor::ShowStatus()
{
    if (m_parts.pSettings->ReadDword(kSettingSound, 1) != 0)
        m_parts.pSound->PlayWave(IDW_STATUS);
    ReloadViewSettings();
    m_parts.pPopup->ShowPopup(m_view.nPosition, IDI_RESULT_FINISHED, StatusText(), m_view.bEnableAnimation,
                              m_view.dwDisplayTime);
}

void CResultMonitor::ReloadViewSettings()
{
    m_view = ReadViewSettings(*m_parts.pSettings);
}

bool CResultMonitor::IsCommandEnabled(uint32_t nCommandId) const
{
    if (nCommandId == ID_PROPERTY || nCommandId == ID_APP_EXIT_MONITOR)
        return !m_bSettingsOpen;
    return true;
}
