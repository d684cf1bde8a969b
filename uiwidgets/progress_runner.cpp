#include "uiwidgets/progress_runner.h"

#include "uiwidgets/worker_dialogs.h"

#include <atomic>

namespace {

// One run: the worker, and the first failure it reported.
struct Job {
    const IProgressRunner::Worker& worker;
    std::atomic<int> nFailure{0};
};

// A worker's reports as posts to its dialog, from the worker's thread; none is lost while the
// dialog takes posts (repeats of one percentage are coalesced). Once the dialog has gone, reports are dropped; the failure is kept for the
// answer all the same.
class PostingSink : public IProgressSink {
public:
    PostingSink(Job& job, platform::EndpointHandle hDialog) : m_Job(job), m_hDialog(hDialog) {}
    // A report of the percentage the bar already shows is not posted again.
    void Progress(int nPercent) override
    {
        if (nPercent == m_nLast)
            return;
        m_nLast = nPercent;
        PostToDialog(m_hDialog, ProgressMessage(), 1, nPercent);
    }
    void Fail(int nCode) override
    {
        int none = 0;
        m_Job.nFailure.compare_exchange_strong(none, nCode);
        PostToDialog(m_hDialog, ProgressMessage(), 3, nCode);
    }

private:
    Job& m_Job;
    platform::EndpointHandle m_hDialog;
    int m_nLast = -1;
};

// The dialog's worker: the runner's worker with a sink over the dialog's handle. A throwing worker
// fails with the workers' failure code instead of ending the program.
int RunPosting(void* data, platform::EndpointHandle hDialog)
{
    Job& job = *static_cast<Job*>(data);
    PostingSink sink(job, hDialog);
    try {
        return job.worker(sink);
    } catch (...) {
        sink.Fail(kWorkerFailure);
        return 0;
    }
}

} // namespace

CQtProgressRunner::CQtProgressRunner(QWidget* parent) : m_pParent(parent) {}

CQtProgressRunner::~CQtProgressRunner() { delete m_pLast.data(); }

int CQtProgressRunner::Run(const std::string& strCaption, const Worker& worker)
{
    QPointer<CDProgress> dialog = new CDProgress(m_pParent);
    Job job{worker};
    dialog->Run(strCaption, 0, RunPosting, &job);
    // The dialog's code; a failure whose post could not reach it (no endpoint) still counts.
    const int result = dialog->ResultCode() != 0 ? dialog->ResultCode() : job.nFailure.load();
    // The dialog of an earlier run has ended (a run started inside this one ended before it).
    delete m_pLast.data();
    m_pLast = dialog;
    return result;
}
