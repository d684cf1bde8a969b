// The notices the monitor has taken but not yet handled, kept one file each in the user's state
// folder until their handling is done: the listener confirms a notice to its sender only once it is
// kept here, so a monitor that ends (or is killed) before handling it leaves it for the next start.
#pragma once

#include "resultmonitor/job_result_notice.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

/// Kept notices a start reads at most.
inline constexpr size_t kMaxKeptNotices = 1024;

class CPendingNotices {
public:
    /// Keeps its files in strFolder (made when the first notice is kept).
    explicit CPendingNotices(std::string strFolder);

    /// The folder in the user's state where the monitor keeps them; empty when that is not known.
    static std::string DefaultFolder();

    /// Keeps a notice (written whole and flushed before this returns); its name for Remove, or empty
    /// when it could not be kept.
    std::string Keep(const CJobResultNotice& notice);
    /// Forgets a kept notice once it was handled.
    void Remove(const std::string& strName);
    /// The notices kept, oldest first, at most kMaxKeptNotices; a file that is not a whole notice
    /// is removed.
    std::vector<std::pair<std::string, std::shared_ptr<const CJobResultNotice>>> LoadAll();

private:
    std::string m_strFolder;
    unsigned long long m_nSequence = 0;
};
