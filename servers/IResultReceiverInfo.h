// The notification-address server: where the result monitor listens for job-result notices, as it
// publishes that under HKEY_CURRENT_USER "SOFTWARE\Kovra\RTN".
#pragma once

#include "platform/com.h"

struct IResultReceiverInfo : IDispatch {
    static constexpr IID iid = platform::com::guid("{EF0C3AD5-F9D6-4030-BD26-76D2E58ECC87}");
    using parent = IDispatch;

    /// Reads the published address again. S_OK when the monitor is listening, S_FALSE when not.
    virtual HRESULT Refresh() = 0;
    /// Held for a later use; answers E_NOTIMPL.
    virtual HRESULT Reserved() = 0;
    /// The port (as text) and the IPv4 address read by the last Refresh; S_FALSE (and empty
    /// texts) when none is published. The caller frees both.
    virtual HRESULT GetReceiverAddress(BSTR* pbszPort, BSTR* pbszAddress) = 0;

protected:
    ~IResultReceiverInfo() = default;
};

inline constexpr CLSID CLSID_ResultReceiverInfo = platform::com::guid("{1B93BD4B-D45A-48DD-A9FF-D7C7744FA346}");
