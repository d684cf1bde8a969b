// Slow work on a worker thread behind a progress display: what the worker reports, and the runner
// that waits for it. Programs pass the progress dialog's runner; tests run workers in line.
#pragma once

#include <functional>
#include <string>

/// The failure code a worker reports.
inline constexpr int kWorkerFailure = 999;

/// What a worker reports while it runs.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    /// The work done so far, 0 to 100.
    virtual void Progress(int nPercent) = 0;
    /// The work failed with code; the display closes with it as its result.
    virtual void Fail(int nCode) = 0;
};

/// Runs a worker on a thread of its own behind a progress display and waits for it.
class IProgressRunner {
public:
    virtual ~IProgressRunner() = default;
    using Worker = std::function<int(IProgressSink&)>;
    /// Runs worker under caption; 0 when it ended without failing, else the failure code it gave.
    virtual int Run(const std::string& strCaption, const Worker& worker) = 0;
};
