#include "resultmonitor/job_result_notice.h"

#include <algorithm>
#include <cstring>

static_assert(JobResultNoticeLayout::kFaxNumberOffset + JobResultNoticeLayout::kFaxNumberRoom == kJobResultNoticeBytes);

namespace {

uint32_t littleEndian32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

CJobResultNotice::CJobResultNotice(const void* pRecord)
{
    std::memcpy(m_bytes.data(), pRecord, kJobResultNoticeBytes);
}

uint32_t CJobResultNotice::ReadNoticeKind(const void* pRecord)
{
    return littleEndian32(static_cast<const unsigned char*>(pRecord) + JobResultNoticeLayout::kKindOffset);
}

uint32_t CJobResultNotice::GetNoticeKind() const
{
    return ReadNoticeKind(m_bytes.data());
}

uint16_t CJobResultNotice::GetResultCode() const
{
    const unsigned char* p = m_bytes.data() + JobResultNoticeLayout::kResultCodeOffset;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::string CJobResultNotice::TextAt(size_t nOffset, size_t nRoom) const
{
    const auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(nOffset);
    const auto last = first + static_cast<std::ptrdiff_t>(nRoom);
    return std::string(first, std::find(first, last, 0));
}

std::string CJobResultNotice::GetJobName() const
{
    return TextAt(JobResultNoticeLayout::kJobNameOffset, JobResultNoticeLayout::kJobNameRoom);
}

std::string CJobResultNotice::GetJobTime() const
{
    return TextAt(JobResultNoticeLayout::kJobTimeOffset, JobResultNoticeLayout::kJobTimeRoom);
}

std::string CJobResultNotice::GetPrinterName() const
{
    return TextAt(JobResultNoticeLayout::kPrinterNameOffset, JobResultNoticeLayout::kPrinterNameRoom);
}

std::string CJobResultNotice::GetFaxNumber() const
{
    return TextAt(JobResultNoticeLayout::kFaxNumberOffset, JobResultNoticeLayout::kFaxNumberRoom);
}
