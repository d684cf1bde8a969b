// The progress display programs run their workers behind: the shared progress dialog, fed by posts
// from the worker's thread.
#pragma once

#include "common/progress_runner.h"
#include "uiwidgets/worker_dialogs.h"

#include <QPointer>

/// Runs each worker as the worker of a fresh progress dialog (no Cancel). The worker's reports
/// become posts of the dialog's message: Progress as wParam 1 with the percentage, Fail as wParam 3
/// with the code; the worker thread touches no widget. The answer is the dialog's result code.
/// Each run owns its dialog until it returns: a run started from the event loop of another run's
/// dialog gets a dialog of its own and leaves the running one alone.
class CQtProgressRunner : public IProgressRunner {
public:
    /// The dialogs open over parent (none: over the application).
    explicit CQtProgressRunner(QWidget* parent = nullptr);
    ~CQtProgressRunner() override;
    /// 0 when the worker ended without failing, else the first failure code it reported (999 when
    /// it threw).
    int Run(const std::string& strCaption, const Worker& worker) override;
    /// The dialog of the run that ended last, kept until another one ends; null before any.
    const CDProgress* LastDialog() const { return m_pLast.data(); }

private:
    QWidget* m_pParent;
    QPointer<CDProgress> m_pLast; // the parent may have deleted it

};
