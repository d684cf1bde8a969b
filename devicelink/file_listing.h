// The document-filing listing behind the MFPIF_DFAPI_ exports: a device folder (or the canned
// answer beside the library) listed through a BMLinks list_files request, handed out one entry
// at a time.
#pragma once

#include "devicelink/mfplink.h"
#include "xmldoc/dom.h"

#include <cstdint>
#include <string>
#include <string_view>

/// A listing: the node the answer lies under and the next "file" element to hand out.
struct DfapiListing {
    mfpif_Halvet_R1::INodePtr root;
    mfpif_Halvet_R1::INodePtr cursor;
};

namespace mfplink {

/// The canned answer, read instead of asking a device when it exists beside the library.
inline constexpr const char* kCannedAnswerFile = "mfplink.xml";
/// Request and answer captures, rewritten on each listing only when they exist already.
inline constexpr const char* kRequestCaptureFile = "mfplinkReq.xml";
inline constexpr const char* kAnswerCaptureFile = "mfplinkRes.xml";

/// Splits "dfile://host/path" (blanks before and between the parts skipped, none kept in host).
bool ParseTarget(std::string_view target, std::string& host, std::string& path);

/// The converter's code type for a Windows code page (0, US-ASCII, for those it does not know).
int32_t CodeTypeOfCodePage(int codePage);

/// A name in the requested code page (0: unchanged UTF-8; -1: the process code page), cut at a
/// whole character to fit the record's 260 bytes with its terminator. Empty when the converter
/// refuses the text.
std::string ConvertName(std::string_view utf8, int codePage);

/// The path of a file of that name (matched without regard to case) in folder, or "".
std::string FileInFolder(const std::string& folder, std::string_view name);

/// Lists a folder of a device, with the files beside the library in moduleFolder. Null on failure.
DfapiListing* ListFile(const char* target, int timeoutMs, const std::string& moduleFolder);

/// Fills info from the next entry: 1, or 0 at the end or on a bad argument.
int NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage);

} // namespace mfplink
