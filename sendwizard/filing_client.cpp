#include "sendwizard/filing_client.h"

#include "platform/library.h"

#include <cstring>

namespace {

constexpr unsigned kAddressBufferSize = 260;

class CMfplinkApi : public IFilingApi {
public:
    explicit CMfplinkApi(std::shared_ptr<platform::Library> library) : m_pLibrary(std::move(library)) {}
    int Initialize() override { return Call<int (*)()>("MFPIF_DFAPI_Initialize", 0); }
    int Terminate() override { return Call<int (*)()>("MFPIF_DFAPI_Terminate", 0); }
    DfapiListing* ListFile(const char* target, int timeoutMs, int secondTimeoutMs) override
    {
        return Call<DfapiListing* (*)(const char*, int, ...)>("MFPIF_DFAPI_ListFile", static_cast<DfapiListing*>(nullptr), target, timeoutMs,
                                                             secondTimeoutMs);
    }
    int NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage) override
    {
        return Call<int (*)(DfapiListing*, MFPIF_DFAPI_FileInfo*, int)>("MFPIF_DFAPI_NextFile", 0, listing, info,
                                                                        codePage);
    }
    void CloseFile(DfapiListing* listing) override
    {
        if (const auto fn = Bind<void (*)(DfapiListing*)>("MFPIF_DFAPI_CloseFile"))
            fn(listing);
    }
    int GetIPAddrByPrinterPort(const char* printer, const char* port, char* buffer, unsigned size) override
    {
        return Call<int (*)(const char*, const char*, char*, unsigned)>("MFPIF_DFAPI_GetIPAddrByPrinterPort", 0, printer,
                                                                        port, buffer, size);
    }
    int ProtocolVer() override { return Call<int (*)()>("MFPIF_DFAPI_ProtocolVer", 0); }

private:
    template <typename Fn>
    Fn Bind(const char* name) const
    {
        return m_pLibrary ? m_pLibrary->function<Fn>(name) : nullptr;
    }
    template <typename Fn, typename R, typename... A>
    R Call(const char* name, R missing, A... args) const
    {
        const Fn fn = Bind<Fn>(name);
        return fn ? fn(args...) : missing;
    }
    std::shared_ptr<platform::Library> m_pLibrary;
};

} // namespace

std::unique_ptr<IFilingApi> MakeMfplinkFilingApi()
{
    return std::make_unique<CMfplinkApi>(platform::Library::load("mfplink.dll"));
}

std::unique_ptr<IFilingApi> MakeMfplinkFilingApi(const std::string& strLibraryPath)
{
    return std::make_unique<CMfplinkApi>(platform::Library::loadPath(strLibraryPath));
}

CFilingClient::CFilingClient(std::unique_ptr<IFilingApi> api)
    : m_pApi(api ? std::move(api) : MakeMfplinkFilingApi())
{
    (void)m_nReserved;
}

int CFilingClient::Initialize()
{
    if (!m_bInitialized)
        m_bInitialized = m_pApi->Initialize() == 1 ? 1 : 0;
    return m_bInitialized;
}

void CFilingClient::Terminate()
{
    if (!m_bInitialized)
        return;
    m_pApi->Terminate();
    m_bInitialized = 0;
}

DfapiListing* CFilingClient::ListFile(const std::string& target)
{
    if (!Initialize())
        return nullptr;
    // A bounded wait: "wait forever" would hang the page on a silent device.
    return m_pApi->ListFile(target.c_str(), kFilingListTimeoutMs, kFilingListTimeoutMs);
}

int CFilingClient::NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo& record)
{
    if (!Initialize())
        return 0;
    // Fields the library leaves alone (the date words) must not carry the previous entry's values.
    std::memset(&record, 0, sizeof record);
    record.cbSize = sizeof record;
    return m_pApi->NextFile(listing, &record, kFilingCodePage) == 1 ? 1 : 0;
}

int CFilingClient::CloseFile(DfapiListing* listing)
{
    if (!Initialize())
        return 0;
    m_pApi->CloseFile(listing);
    return 1;
}

int CFilingClient::GetIPAddrByPrinterPort(const std::string& printer, const std::string& port, std::string& address)
{
    char buffer[kAddressBufferSize] = {};
    const int found = m_pApi->GetIPAddrByPrinterPort(printer.c_str(), port.c_str(), buffer, kAddressBufferSize);
    buffer[kAddressBufferSize - 1] = '\0';
    address = found ? buffer : "";
    return found;
}

int CFilingClient::GetProtocolVersion() { return m_pApi->ProtocolVer(); }
