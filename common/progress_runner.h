// Slow work on a worker thread behind a progress display: what the worker reports, and the runner
// that waits for it. Programs pass the progress dialog's runner; tests run workers in line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

/// The failure code a worker reports.
inline constexpr int kWorkerFailure = 999;

/// The registered name of the progress display's message: wParam 1 with the percentage in lParam,
/// 2 for the end, 3 for the end with an error code in lParam.
inline constexpr const char* kProgressMessageName = "AFX_DPROGRESS_H__F9A1C069_ABD4_4B3B_BE6F_9878AB8926EE__INCLUDED_";

/// What a worker reports while it runs.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    /// The work done so far, 0 to 100.
    virtual void Progress(int nPercent) = 0;
    /// The work failed with code; the display closes with it as its result.
    virtual void Fail(int nCode) = 0;
    /// The progress display's endpoint handle, which code outside the program may post the progress
    /// message to; 0 when the display has none (workers run in line).
    virtual uint32_t DisplayHandle() const { return 0; }
};

/// Runs a worker on a thread of its own behind a progress display and waits for it.
class IProgressRunner {
public:
    virtual ~IProgressRunner() = default;
    using Worker = std::function<int(IProgressSink&)>;
    /// Runs worker under caption; 0 when it ended without failing, else the failure code it gave.
    virtual int Run(const std::string& strCaption, const Worker& worker) = 0;
};
