// The sending log's interface: jobs are recorded, read back, found by cookie, changed in status
// and removed; registered windows hear of each change. Methods answer S_OK when the store did the
// work and S_FALSE otherwise.
#pragma once

#include "platform/com.h"

/// An OLE Automation date: days since 1899-12-30, the fraction the time of day.
using DATE = double;

struct IQeltaLogTool : IDispatch {
    static constexpr IID iid = platform::com::guid("{7238DCB6-145A-4991-AB7D-B0D7A24EF95F}");
    using parent = IDispatch;

    virtual HRESULT LaunchLogBrowser(int32_t lReserved) = 0;
    virtual HRESULT CreateLogData(BSTR bszImageFile, BSTR bszDocumentName, DATE date, int32_t* pNewLogID) = 0;
    virtual HRESULT AddLogProperty(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue) = 0;
    virtual HRESULT AddLogPropertyWithData(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue, BSTR bszValuePath) = 0;
    virtual HRESULT AddLogDestination(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue) = 0;
    virtual HRESULT FlushLogDestination(int32_t lLogID) = 0;
    virtual HRESULT FlushLogData(int32_t lLogID) = 0;
    virtual HRESULT GetLogData(int32_t lLogID, BSTR* pbszImagePath, BSTR* pbszDocumentName, BSTR* pbszDateString,
                               int32_t* pStatus) = 0;
    virtual HRESULT GetLogID(int nIndex, int32_t* lLogID) = 0;
    virtual HRESULT GetLogProperty(int32_t lLogID, BSTR bszPropKeyName, BSTR* pbszValue) = 0;
    virtual HRESULT GetDestination(int32_t lLogID, int nIndex, BSTR bszPropKeyName, BSTR* pbszValue) = 0;
    virtual HRESULT LaunchPreview(int32_t hWndParent, BSTR bszDocumentName, BSTR bszPath, int32_t lReserved) = 0;
    virtual HRESULT GetLogCount(int32_t* pCount) = 0;
    virtual HRESULT FindLogID(BSTR bszCookie, int32_t* pLogID) = 0;
    virtual HRESULT ChangeLogStatus(int32_t lLogID, int32_t lNewStatus) = 0;
    virtual HRESULT RegisterRegacyCallback(int32_t lHwnd, int32_t lMessageID, int32_t lEventMask) = 0;
    virtual HRESULT UnRegisterRegacyCallback(int32_t lHwnd) = 0;
    virtual HRESULT RemoveLogData(int32_t lLogID) = 0;

protected:
    ~IQeltaLogTool() = default;
};

inline constexpr CLSID CLSID_QeltaLogTool = platform::com::guid("{C9B2EE4C-CC90-4000-B985-0F045CD51EF0}");
inline constexpr const char* kQeltaLogToolProgId = "sendlog.QeltaLogTool";
