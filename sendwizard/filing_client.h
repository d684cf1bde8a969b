// The send wizard's client of the device link's document-filing interface: lists the folders of a
// device's document filing and finds a device's address from a printer's port. The interface is
// initialised on demand, once.
#pragma once

#include "devicelink/mfplink.h"

#include <memory>
#include <string>

/// The time a folder listing may take, in milliseconds: a silent device fails after it.
inline constexpr int kFilingListTimeoutMs = 20000;
/// The code page names are listed in: the process's own.
inline constexpr int kFilingCodePage = -1;

/// The document-filing exports of mfplink.
class IFilingApi {
public:
    virtual ~IFilingApi() = default;
    virtual int Initialize() = 0;
    virtual int Terminate() = 0;
    virtual DfapiListing* ListFile(const char* target, int timeoutMs, int secondTimeoutMs) = 0;
    virtual int NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage) = 0;
    virtual void CloseFile(DfapiListing* listing) = 0;
    virtual int GetIPAddrByPrinterPort(const char* printer, const char* port, char* buffer, unsigned size) = 0;
    virtual int ProtocolVer() = 0;
};

/// mfplink bound by name from the suite's library folder; without it every call answers 0.
std::unique_ptr<IFilingApi> MakeMfplinkFilingApi();
/// The same exports from the mfplink at an absolute path (a copy with its own canned answer).
std::unique_ptr<IFilingApi> MakeMfplinkFilingApi(const std::string& strLibraryPath);

class CFilingClient {
public:
    /// api: mfplink's exports unless given.
    explicit CFilingClient(std::unique_ptr<IFilingApi> api = {});
    /// 1 when the interface is initialised (now or before); 0 when the library refuses.
    int Initialize();
    /// Ends the interface when it was initialised.
    void Terminate();
    /// Starts a listing of target ("dfile://address//"), bounded by kFilingListTimeoutMs; null on failure.
    DfapiListing* ListFile(const std::string& target);
    /// Fills record (zeroed first, cbSize 304) with the next entry: 1, or 0 at the end.
    int NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo& record);
    /// Releases a listing: 1, or 0 without calling the library when the interface cannot be initialised.
    int CloseFile(DfapiListing* listing);
    /// The device address behind a printer's port in address: nonzero when one was found.
    int GetIPAddrByPrinterPort(const std::string& printer, const std::string& port, std::string& address);
    /// The interface's protocol version.
    int GetProtocolVersion();

private:
    std::unique_ptr<IFilingApi> m_pApi;
    int m_bInitialized = 0;
    int m_nReserved = 0;
};
