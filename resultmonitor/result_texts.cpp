#include "resultmonitor/result_texts.h"

#include "common/resource_locale.h"
#include "resultmonitor/job_result_notice.h"
#include "resultmonitor/monitor_settings.h"

EResultKind GetResultKind(uint16_t wResultCode)
{
    const uint8_t byResult = wResultCode & 0xFF;
    const uint8_t byPhase = wResultCode >> 8;
    if (byResult == 0x30)
        return byPhase == 0x10 ? kResultReserved : kResultFinished;
    if (byResult == 0x22)
        return kResultCancelled;
    return kResultFailed;
}

uint32_t ResultStringId(uint8_t byResult)
{
    if (byResult <= 31)
        return IDS_RESULT_FIRST;
    if (byResult <= 90)
        return 20069u + byResult;
    if (byResult == 0xC8)
        return IDS_PARTLY_SUCCEED;
    return 0;
}

uint32_t PhasePrefixId(uint8_t byPhase)
{
    switch (byPhase) {
    case 0x10: return IDS_PREFIX_RESERVATION;
    case 0x11: return IDS_PREFIX_TRANSMIT;
    default: return IDS_PREFIX_RESULT;
    }
}

std::string GetResultText(uint16_t wResultCode)
{
    switch (GetResultKind(wResultCode)) {
    case kResultFinished: return LoadResourceString(IDS_JOB_FINISHED);
    case kResultReserved: return LoadResourceString(IDS_JOB_RESERVED);
    default: break;
    }
    return LoadResourceString(PhasePrefixId(wResultCode >> 8)) + LoadResourceString(ResultStringId(wResultCode & 0xFF));
}

std::string BuildResultMessage(const CJobResultNotice& notice)
{
    return GetResultText(notice.GetResultCode()) + "\n\n" + "Printer:    \t" + notice.GetPrinterName() + "\n" +
           "Job Name:   \t" + notice.GetJobName() + "\n" + "FAX Number: \t" + notice.GetFaxNumber();
}

std::string BuildLogCookie(const CJobResultNotice& notice)
{
    return notice.GetJobName() + "-" + notice.GetJobTime();
}

const CResultKindTraits& GetResultKindTraits(EResultKind eKind)
{
    static const CResultKindTraits kTraits[] = {
        {kSettingSuccessResult, 1, false, IDI_RESULT_FINISHED, IDW_FINISHED, 2},
        {kSettingNoAlertReservation, 1, true, IDI_RESULT_RESERVED, IDW_RESERVED, 1},
        {kSettingErrorResult, 1, false, IDI_RESULT_FAILED, IDW_FAILED, 4},
        // Cancelled jobs are shown only when the user ticked them: missing counts as 0 here, though the
        // settings page shows the box ticked until it is applied.
        {kSettingCancelResult, 0, false, IDI_RESULT_CANCELLED, IDW_CANCELLED, 3},
    };
    return kTraits[static_cast<int>(eKind) & 3];
}
