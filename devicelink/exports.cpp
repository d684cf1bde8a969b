// mfplink's exported functions. No exception leaves any of them.
#include "devicelink/file_listing.h"
#include "devicelink/mfplink.h"
#include "devicelink/port_lookup.h"
#include "devicelink/soap_session.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/library.h"

#include <string>

namespace {

// The folder of this library, where the canned answer and the capture files live.
const std::string& moduleFolder()
{
    static const std::string folder = [] {
        static const int anchor = 0;
        const std::string path = platform::modulePathOf(&anchor);
        return path.empty() ? std::string() : platform::parentPath(path);
    }();
    return folder;
}

// The library-level start and end steps of the API: nothing to start.
int startLibrary() { return 0; }
int endLibrary() { return 0; }
int startSessions() { return 0; }
int endSessions() { return 0; }

} // namespace

extern "C" {

int MFPIF_DFAPI_Initialize(void)
{
    return guardedExport(0, [] {
        if (startLibrary() < 0)
            return 0;
        if (startSessions() < 0) {
            endLibrary();
            return 0;
        }
        return 1;
    });
}

int MFPIF_DFAPI_Terminate(void)
{
    return guardedExport(0, [] {
        endSessions();
        endLibrary();
        return 1;
    });
}

DfapiListing* MFPIF_DFAPI_ListFile(const char* target, int timeoutMs, ...)
{
    return guardedExport<DfapiListing*>(
        nullptr, [&] { return mfplink::ListFile(target, timeoutMs, moduleFolder()); });
}

int MFPIF_DFAPI_NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage)
{
    return guardedExport(0, [&] { return mfplink::NextFile(listing, info, codePage); });
}

void MFPIF_DFAPI_CloseFile(DfapiListing* listing)
{
    guardedExport(0, [&] {
        delete listing;
        return 0;
    });
}

int MFPIF_DFAPI_GetIPAddrByPrinterPort(const char* printerName, const char* portName, char* buffer,
                                       unsigned bufferSize)
{
    return guardedExport(0, [&] {
        mfplink::PrinterPortAddressLookup lookup(true, -1);
        std::string address;
        if (lookup.Lookup(portName ? portName : "", printerName ? printerName : "", address) != 0)
            return 0;
        return mfplink::CopyAddress(address, buffer, bufferSize);
    });
}

int MFPIF_DFAPI_ProtocolVer(void)
{
    return guardedExport(0, [] { return 1; });
}

int getInterfaceRevision(void)
{
    return guardedExport(0, [] { return 1; });
}

int initialize(void)
{
    return guardedExport(0, [] { return 0; });
}

int uninitialize(void)
{
    return guardedExport(0, [] { return 0; });
}

int32_t createNode(mfpif_Halvet_R1::INodePtr unused, mfpif_Halvet_R1::INodePtr* out)
{
    unused.reset();
    return guardedExport<int32_t>(E_FAIL, [&]() -> int32_t {
        if (!out)
            return E_POINTER;
        try {
            *out = CMSoapSLib_Ostrel_R1::CreateSession();
            return S_OK;
        } catch (const std::bad_alloc&) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    });
}

} // extern "C"
