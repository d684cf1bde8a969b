// The job-result listener over noticelib.
#pragma once

#include "resultmonitor/monitor_controller.h"

struct NoticeListener;

class CNoticeListener : public IJobResultListener {
public:
    CNoticeListener() = default;
    /// Stops and frees the listener.
    ~CNoticeListener() override;
    CNoticeListener(const CNoticeListener&) = delete;
    CNoticeListener& operator=(const CNoticeListener&) = delete;

    /// Creates the listener, sets the callback and starts it; any failing call leaves nothing open.
    int Start(const std::string& strAddress, int& nPort, JobResultCallback pfnCallback, void* pContext) override;
    /// Stops and destroys the listener; nothing when none runs.
    void Stop() override;

private:
    NoticeListener* m_hNotice = nullptr;
};
