// What the monitor uses of the sending log: an entry found by its cookie and its status changed.
#pragma once

#include "platform/com.h"

#include <cstdint>
#include <memory>
#include <string>

/// The sending log as the monitor sees it. Both calls answer S_OK when the log did the work.
class IResultLog {
public:
    virtual ~IResultLog() = default;
    virtual HRESULT FindLogID(const std::string& strCookie, int32_t* pLogID) = 0;
    virtual HRESULT ChangeLogStatus(int32_t lLogID, int32_t lNewStatus) = 0;
};

/// The sending log component, created by its program identifier on the calling thread (which must
/// have initialised the component layer); null when it cannot be created.
std::unique_ptr<IResultLog> CreateSendingLog();
