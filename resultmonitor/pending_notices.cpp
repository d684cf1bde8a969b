#include "resultmonitor/pending_notices.h"

#include "platform/files.h"
#include "platform/known_folders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr const char* kPendingSuffix = ".notice";

} // namespace

CPendingNotices::CPendingNotices(std::string strFolder) : m_strFolder(std::move(strFolder)) {}

std::string CPendingNotices::DefaultFolder()
{
    const auto folder = platform::knownFolder(platform::KnownFolder::LocalAppData);
    return folder ? platform::joinPath(platform::joinPath(*folder, "resultmonitor"), "pending") : std::string();
}

std::string CPendingNotices::Keep(const CJobResultNotice& notice)
{
    if (m_strFolder.empty() || !platform::createDirectories(m_strFolder))
        return {};
    // Names sort in the order the notices came: the time they came, then a counter of this run.
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "%020lld-%08llu%s", static_cast<long long>(now), ++m_nSequence % 100000000ULL,
                  kPendingSuffix);
    const auto& bytes = notice.GetBytes();
    if (!platform::writeFileAtomic(platform::joinPath(m_strFolder, name),
                                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        return {};
    return name;
}

void CPendingNotices::Remove(const std::string& strName)
{
    if (!m_strFolder.empty() && !strName.empty())
        platform::removeFile(platform::joinPath(m_strFolder, strName));
}

std::vector<std::pair<std::string, std::shared_ptr<const CJobResultNotice>>> CPendingNotices::LoadAll()
{
    std::vector<std::pair<std::string, std::shared_ptr<const CJobResultNotice>>> kept;
    if (m_strFolder.empty() || !platform::isDirectory(m_strFolder))
        return kept;
    // What a writer killed mid-write left (no writer runs while a monitor starts).
    for (const std::string& name : platform::listFiles(m_strFolder, ".*"))
        platform::removeFile(platform::joinPath(m_strFolder, name));
    std::vector<std::string> names = platform::listFiles(m_strFolder, std::string("*") + kPendingSuffix);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (kept.size() >= kMaxKeptNotices)
            break;
        const std::string path = platform::joinPath(m_strFolder, name);
        std::string bytes;
        if (platform::readFile(path, bytes, kJobResultNoticeBytes) != platform::ReadStatus::Ok
            || bytes.size() != kJobResultNoticeBytes) {
            platform::removeFile(path);
            continue;
        }
        kept.emplace_back(name, std::make_shared<const CJobResultNotice>(bytes.data()));
    }
    return kept;
}
