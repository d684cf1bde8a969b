#include "resultmonitor/notice_listener.h"

#include "notice/noticelib.h"

CNoticeListener::~CNoticeListener()
{
    Stop();
}

int CNoticeListener::Start(const std::string& strAddress, int& nPort, JobResultCallback pfnCallback, void* pContext)
{
    Stop();
    NoticeHandle handle = nullptr;
    int nResult = NoticeCreate(&handle);
    if (nResult != NOTICE_OK)
        return nResult;
    nResult = NoticeSetCallback(handle, pfnCallback, pContext);
    if (nResult == NOTICE_OK && m_AddressLimit)
        nResult = NoticeSetAddressLimit(handle, m_AddressLimit->first, m_AddressLimit->second);
    if (nResult == NOTICE_OK)
        nResult = NoticeStart(handle, strAddress.c_str(), &nPort);
    if (nResult != NOTICE_OK) {
        NoticeDestroy(handle);
        return nResult;
    }
    m_hNotice = handle;
    return NOTICE_OK;
}

void CNoticeListener::Stop()
{
    if (!m_hNotice)
        return;
    NoticeStop(m_hNotice);
    NoticeDestroy(m_hNotice);
    m_hNotice = nullptr;
}

void CNoticeListener::SetAddressLimit(int nBurst, int nIntervalMs)
{
    m_AddressLimit = std::make_pair(nBurst, nIntervalMs);
}
