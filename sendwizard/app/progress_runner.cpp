#include "sendwizard/app/progress_runner.h"

#include "platform/endpoint.h"
#include "uiwidgets/worker_dialogs.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// One run: the worker, and the first failure it reported.
struct Job {
    const IProgressRunner::Worker& worker;
    std::atomic<int> nFailure{0};
};

// A worker's reports as posts to its dialog, from the worker's thread. A post is never dropped
// while the dialog takes posts: a full queue (the dialog is busy) is waited out. Once the dialog
// has gone, reports are dropped; the failure is kept for the answer all the same.
class PostingSink : public IProgressSink {
public:
    PostingSink(Job& job, platform::EndpointHandle hDialog) : m_Job(job), m_hDialog(hDialog) {}
    void Progress(int nPercent) override { Post(1, nPercent); }
    void Fail(int nCode) override
    {
        int none = 0;
        m_Job.nFailure.compare_exchange_strong(none, nCode);
        Post(3, nCode);
    }

private:
    void Post(uint32_t wParam, int32_t lParam)
    {
        while (!platform::postMessage(m_hDialog, ProgressMessage(), wParam, lParam)
               && platform::endpointExists(m_hDialog))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Job& m_Job;
    platform::EndpointHandle m_hDialog;
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

CQtProgressRunner::~CQtProgressRunner() { delete m_pDialog.data(); }

int CQtProgressRunner::Run(const std::string& strCaption, const Worker& worker)
{
    delete m_pDialog.data();
    m_pDialog = new CDProgress(m_pParent);
    Job job{worker};
    m_pDialog->Run(strCaption, 0, RunPosting, &job);
    // The dialog's code; a failure whose post could not reach it (no endpoint) still counts.
    return m_pDialog->ResultCode() != 0 ? m_pDialog->ResultCode() : job.nFailure.load();
}
