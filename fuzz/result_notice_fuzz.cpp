// Feeds arbitrary job-result records (cut or padded to a record's size) through the notice's
// decoding and the building of the texts the monitor shows: every text stays within its room and
// holds no NUL, and the result's kind and text agree with the code.
#include "resultmonitor/job_result_notice.h"
#include "resultmonitor/result_texts.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkText(const std::string& text, size_t room)
{
    check(text.size() <= room);
    check(text.find('\0') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::array<unsigned char, kJobResultNoticeBytes> record{};
    std::memcpy(record.data(), data, std::min(size, record.size()));
    const CJobResultNotice notice(record.data());
    using L = JobResultNoticeLayout;
    checkText(notice.GetJobName(), L::kJobNameRoom);
    checkText(notice.GetJobTime(), L::kJobTimeRoom);
    checkText(notice.GetPrinterName(), L::kPrinterNameRoom);
    checkText(notice.GetFaxNumber(), L::kFaxNumberRoom);
    check(notice.GetNoticeKind() == CJobResultNotice::ReadNoticeKind(record.data()));

    const uint16_t code = notice.GetResultCode();
    const EResultKind kind = GetResultKind(code);
    check(kind >= kResultFinished && kind <= kResultCancelled);
    const std::string text = GetResultText(code);
    check(!text.empty());
    const std::string message = BuildResultMessage(notice);
    check(message.compare(0, text.size(), text) == 0);
    check(message.size() == text.size() + 2 + 3 * 13 + 2 + notice.GetPrinterName().size() +
                                notice.GetJobName().size() + notice.GetFaxNumber().size());
    check(BuildLogCookie(notice) == notice.GetJobName() + "-" + notice.GetJobTime());
    const CResultKindTraits& traits = GetResultKindTraits(kind);
    check(traits.pszSettingName != nullptr && traits.lLogStatus >= 1 && traits.lLogStatus <= 4);
    return 0;
}
