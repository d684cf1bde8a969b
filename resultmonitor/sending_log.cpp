#include "resultmonitor/sending_log.h"

#include "platform/bstr.h"
#include "sendlog/IQeltaLogTool.h"

namespace {

class CLogToolResultLog : public IResultLog {
public:
    explicit CLogToolResultLog(platform::com::Ptr<IQeltaLogTool> pTool) : m_pTool(std::move(pTool)) {}

    HRESULT FindLogID(const std::string& strCookie, int32_t* pLogID) override
    {
        const platform::com::Bstr cookie(strCookie);
        return m_pTool->FindLogID(cookie.get(), pLogID);
    }

    HRESULT ChangeLogStatus(int32_t lLogID, int32_t lNewStatus) override
    {
        return m_pTool->ChangeLogStatus(lLogID, lNewStatus);
    }

private:
    platform::com::Ptr<IQeltaLogTool> m_pTool;
};

} // namespace

std::unique_ptr<IResultLog> CreateSendingLog()
{
    platform::com::Ptr<IQeltaLogTool> pTool;
    const HRESULT hr = platform::com::createInstance(
        kQeltaLogToolProgId, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, pTool);
    if (FAILED(hr) || !pTool)
        return nullptr;
    return std::make_unique<CLogToolResultLog>(std::move(pTool));
}
