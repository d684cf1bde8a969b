// What a job result means: its kind, the text shown for it, and per kind whether it is shown, its
// icon, its sound and the status its sending log entry gets.
#pragma once

#include <cstdint>
#include <string>

class CJobResultNotice;

/// Result kinds.
enum EResultKind : int {
    kResultFinished = 0,
    kResultReserved = 1,
    kResultFailed = 2,
    kResultCancelled = 3,
};

/// String ids of the monitor's texts.
enum EResultStringId : uint32_t {
    IDS_PROPERTY = 400,
    IDS_STATUS_IP = 10000,
    IDS_STATUS_PORT = 10001,
    IDS_PREFIX_RESERVATION = 20000,
    IDS_PREFIX_TRANSMIT = 20001,
    IDS_PREFIX_RESULT = 20002,
    IDS_JOB_RESERVED = 20003,
    IDS_JOB_FINISHED = 20004,
    IDS_RESULT_FIRST = 20100,
    IDS_PARTLY_SUCCEED = 32775,
};

/// Icons and sounds.
enum EResultResourceId : uint32_t {
    IDI_TRAY = 128,
    IDI_RESULT_RESERVED = 133,
    IDI_RESULT_FINISHED = 134,
    IDI_RESULT_CANCELLED = 135,
    IDI_RESULT_FAILED = 136,
    IDW_RESERVED = 139,
    IDW_FINISHED = 141,
    IDW_FAILED = 142,
    IDW_CANCELLED = 143,
    IDW_STATUS = 143,
};

/// The kind of a result code: low byte 0x30 is reserved in phase 0x10 and finished otherwise, 0x22
/// cancelled, any other failed.
EResultKind GetResultKind(uint16_t wResultCode);

/// The string id of a result byte: 0-31 -> 20100, 32-90 -> 20069 + byte, 0xC8 -> 32775; 0 (the empty
/// text) for any other byte.
uint32_t ResultStringId(uint8_t byResult);

/// The string id of the prefix for a phase (the result code's high byte).
uint32_t PhasePrefixId(uint8_t byPhase);

/// The first line shown for a result code: the whole text for the successful kinds, else the phase
/// prefix and the result's text.
std::string GetResultText(uint16_t wResultCode);

/// The message shown for a notice: the result text, a blank line, then the printer, the job name and
/// the FAX number on a line each.
std::string BuildResultMessage(const CJobResultNotice& notice);

/// The sending log entry's cookie of a notice: job name and job time text joined by "-".
std::string BuildLogCookie(const CJobResultNotice& notice);

/// What a kind does.
struct CResultKindTraits {
    const char* pszSettingName; ///< the message-type setting that decides whether it is shown
    uint32_t dwSettingDefault;  ///< its value when missing
    bool bShownWhenZero;        ///< shown when the setting is 0 (else when it is nonzero)
    uint32_t nIconId;
    uint32_t nWaveId;
    int32_t lLogStatus;         ///< the status its sending log entry gets
};

/// The traits of a kind.
const CResultKindTraits& GetResultKindTraits(EResultKind eKind);
