// The job-result listener over noticelib.
#pragma once

#include "resultmonitor/monitor_controller.h"

#include <optional>
#include <utility>

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
    /// What one sender address may send, from the next Start (burst 0: no bound); the library's
    /// bound unless this is called.
    void SetAddressLimit(int nBurst, int nIntervalMs);

private:
    NoticeListener* m_hNotice = nullptr;
    std::optional<std::pair<int, int>> m_AddressLimit;
};
