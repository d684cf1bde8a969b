// mfplink's exported functions: the document-filing API (the folders of a device's document
// filing listed over SOAP/HTTP, one fixed-size record at a time), the printer-port address
// lookup, and the SOAP session factory. Callable from C.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MFPLINK_API __attribute__((visibility("default")))

/// One listed entry, 304 bytes, little-endian. The caller allocates it and sets cbSize to 304
/// once; each filled record is zeroed first (all but cbSize).
typedef struct MFPIF_DFAPI_FileInfo {
    int32_t cbSize;         /* 304 */
    char name[260];         /* the entry's name in the requested code page, always terminated */
    uint32_t size;          /* from the entry's "size" */
    int32_t dir;            /* 1 for a folder ("dir" is "true"), 2 otherwise */
    uint32_t dateLow;       /* not filled */
    uint32_t dateHigh;      /* not filled */
    uint8_t reserved1[16];
    int32_t password;       /* 1 when "password" is "true", else 0 */
    uint8_t reserved2[4];
} MFPIF_DFAPI_FileInfo;

/// A listing, from MFPIF_DFAPI_ListFile until MFPIF_DFAPI_CloseFile.
typedef struct DfapiListing DfapiListing;

/// 1.
MFPLINK_API int MFPIF_DFAPI_Initialize(void);
/// 1.
MFPLINK_API int MFPIF_DFAPI_Terminate(void);
/// Lists the folder of target "dfile://host/path" (or the canned answer "mfplink.xml" beside the
/// library). timeoutMs bounds each network step; -1 waits at most a minute. Further arguments are
/// ignored. Null on failure.
MFPLINK_API DfapiListing* MFPIF_DFAPI_ListFile(const char* target, int timeoutMs, ...);
/// Fills info with the next entry: 1, or 0 at the end or on a bad argument. codePage 0 keeps
/// names as received (UTF-8), -1 is the process code page, others a Windows code page.
MFPLINK_API int MFPIF_DFAPI_NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage);
/// Releases a listing; null is ignored.
MFPLINK_API void MFPIF_DFAPI_CloseFile(DfapiListing* listing);
/// The dotted IPv4 address of the device behind a printer's port, copied into buffer (cut and
/// terminated when short). The length of the address plus one, or 0 when none was found.
MFPLINK_API int MFPIF_DFAPI_GetIPAddrByPrinterPort(const char* printerName, const char* portName, char* buffer,
                                                   unsigned bufferSize);
/// 1, the API revision.
MFPLINK_API int MFPIF_DFAPI_ProtocolVer(void);

/// 1, the session interface revision.
MFPLINK_API int getInterfaceRevision(void);
/// 0.
MFPLINK_API int initialize(void);
/// 0.
MFPLINK_API int uninitialize(void);

#ifdef __cplusplus
}

#include "xmldoc/dom.h"

/// A new SOAP session in *out (what *out held is released): 0, or E_OUTOFMEMORY with null.
extern "C" MFPLINK_API int32_t createNode(mfpif_Halvet_R1::INodePtr unused, mfpif_Halvet_R1::INodePtr* out);

static_assert(sizeof(MFPIF_DFAPI_FileInfo) == 304);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, name) == 4);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, size) == 264);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, dir) == 268);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, dateLow) == 272);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, dateHigh) == 276);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, reserved1) == 280);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, password) == 296);
static_assert(offsetof(MFPIF_DFAPI_FileInfo, reserved2) == 300);
#endif
