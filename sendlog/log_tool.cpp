// The sending log's component: one store behind IQeltaLogTool, and the launches of the log
// browser and the viewer.
#include "common/program_start.h"
#include "common/registry_helper.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/ole_date.h"
#include "platform/process.h"
#include "platform/text.h"
#include "sendlog/IQeltaLogTool.h"
#include "sendlog/log_store.h"


using platform::com::ansiFromBstr;
using platform::com::bstrFromAnsi;

namespace {

HRESULT result(int ok) { return ok ? S_OK : S_FALSE; }

// A write to the log folder that failed: the reason, with the folder and the system's text for the
// call that failed, becomes the caller's error information.
HRESULT writeFailed(const char* what)
{
    const int error = CQeltaLog::LastSystemError(); // before the folder is looked up again
    const std::string folder = CQeltaLog::LogDirectory();
    platform::com::setErrorInfo(platform::withSystemError(
        std::string(what) + " in the log folder "
            + (folder.empty() ? std::string("(none is set)") : platform::quotedName(folder)),
        error));
    return S_FALSE;
}

class CQeltaLogTool : public platform::com::Object<IQeltaLogTool> {
public:
    HRESULT LaunchLogBrowser(int32_t) override
    {
        return guardedCall([&]() -> HRESULT {
            const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
            std::string browser = machine.ReadString(kProductSubkey, "LogBrowser", "");
            if (browser.empty())
                browser = "QeltaLog.exe";
            platform::startDetached(SettingProgramPath(browser), {}); // the launch result is not looked at
            return S_OK;
        });
    }

    HRESULT CreateLogData(BSTR bszImageFile, BSTR bszDocumentName, DATE date, int32_t* pNewLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            platform::LocalTime when;
            int32_t id = 0;
            if (!pNewLogID || !platform::localTimeFromDate(date, when))
                return S_FALSE;
            if (!m_log.CreateLogData2(ansiFromBstr(bszImageFile), ansiFromBstr(bszDocumentName), when, id))
                return writeFailed("the sending log entry cannot be made");
            *pNewLogID = id;
            return S_OK;
        });
    }

    HRESULT AddLogProperty(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.AddLogProperty2(lLogID, ansiFromBstr(bszPropKeyName), ansiFromBstr(bszValue)));
        });
    }

    HRESULT AddLogPropertyWithData(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue, BSTR bszValuePath) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.AddLogPropertyWithData2(lLogID, ansiFromBstr(bszPropKeyName), ansiFromBstr(bszValue),
                                                        ansiFromBstr(bszValuePath)));
        });
    }

    HRESULT AddLogDestination(int32_t lLogID, BSTR bszPropKeyName, BSTR bszValue) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.AddLogDestination2(lLogID, ansiFromBstr(bszPropKeyName), ansiFromBstr(bszValue)));
        });
    }

    HRESULT FlushLogDestination(int32_t lLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            if (m_log.FlushLogDestination2(lLogID))
                return S_OK;
            return writeFailed("the sending log entry's destination cannot be written");
        });
    }

    HRESULT FlushLogData(int32_t lLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            m_log.FlushLogData2(lLogID);
            return S_OK;
        });
    }

    HRESULT GetLogData(int32_t lLogID, BSTR* pbszImagePath, BSTR* pbszDocumentName, BSTR* pbszDateString,
                       int32_t* pStatus) override
    {
        return guardedCall([&]() -> HRESULT {
            CLogData data;
            if (!pbszImagePath || !pbszDocumentName || !pbszDateString || !pStatus || !m_log.GetLogData2(lLogID, data))
                return S_FALSE;
            *pbszImagePath = bstrFromAnsi(data.imagePath);
            *pbszDocumentName = bstrFromAnsi(data.documentName);
            *pbszDateString = bstrFromAnsi(data.sentDate);
            *pStatus = data.status;
            return S_OK;
        });
    }

    HRESULT GetLogID(int nIndex, int32_t* lLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            if (lLogID)
                *lLogID = m_log.GetLogIdAt(nIndex);
            return S_OK;
        });
    }

    HRESULT GetLogProperty(int32_t lLogID, BSTR bszPropKeyName, BSTR* pbszValue) override
    {
        return guardedCall([&]() -> HRESULT {
            std::string value;
            if (!pbszValue || !m_log.GetLogProperty2(lLogID, ansiFromBstr(bszPropKeyName), value))
                return S_FALSE;
            *pbszValue = bstrFromAnsi(value);
            return S_OK;
        });
    }

    HRESULT GetDestination(int32_t lLogID, int nIndex, BSTR bszPropKeyName, BSTR* pbszValue) override
    {
        return guardedCall([&]() -> HRESULT {
            std::string value;
            if (!pbszValue || !m_log.GetDestination2(lLogID, nIndex, ansiFromBstr(bszPropKeyName), value))
                return S_FALSE;
            *pbszValue = bstrFromAnsi(value);
            return S_OK;
        });
    }

    HRESULT LaunchPreview(int32_t, BSTR bszDocumentName, BSTR bszPath, int32_t lReserved) override
    {
        return guardedCall([&]() -> HRESULT {
            // The viewer's command line, as separate arguments: [/Edit] /T"title" /P "path".
            if (!StartSettingProgram("Viewer", ViewerArguments(ansiFromBstr(bszDocumentName), ansiFromBstr(bszPath),
                                                               lReserved == 1)))
                return S_FALSE;
            return S_OK;
        });
    }

    HRESULT GetLogCount(int32_t* pCount) override
    {
        return guardedCall([&]() -> HRESULT {
            if (pCount)
                *pCount = m_log.GetLogCount2();
            return S_OK;
        });
    }

    HRESULT FindLogID(BSTR bszCookie, int32_t* pLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            int32_t id = 0;
            if (!pLogID || !m_log.FindLogId2(ansiFromBstr(bszCookie), id))
                return S_FALSE;
            *pLogID = id;
            return S_OK;
        });
    }

    HRESULT ChangeLogStatus(int32_t lLogID, int32_t lNewStatus) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.ChangeLogStatus2(lLogID, lNewStatus));
        });
    }

    HRESULT RegisterRegacyCallback(int32_t lHwnd, int32_t lMessageID, int32_t lEventMask) override
    {
        return guardedCall([&]() -> HRESULT {
            // A registration that could not be stored (the file is damaged or cannot be written) is a
            // failure: the caller would otherwise wait for notices that never come.
            return m_log.RegisterCallback2(static_cast<uint32_t>(lHwnd), static_cast<uint32_t>(lMessageID),
                                           static_cast<uint32_t>(lEventMask))
                       ? S_OK
                       : E_FAIL;
        });
    }

    HRESULT UnRegisterRegacyCallback(int32_t lHwnd) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.UnregisterCallback2(static_cast<uint32_t>(lHwnd)));
        });
    }

    HRESULT RemoveLogData(int32_t lLogID) override
    {
        return guardedCall([&]() -> HRESULT {
            return result(m_log.RemoveLogData2(lLogID));
        });
    }

private:
    CQeltaLog m_log;
};

const platform::com::ServerClass kClasses[] = {
    {CLSID_QeltaLogTool, "QeltaLogTool Class", "sendlog.QeltaLogTool.1", kQeltaLogToolProgId, "Apartment",
     &platform::com::createObject<CQeltaLogTool>},
};

} // namespace

QELTA_SERVER_EXPORTS(kClasses)
