// The wizard sheet's widgets: the QWizard with its five pages, the host endpoint that receives the
// cover sheet editor's notices in the event loop, and help on F1.
#pragma once

#include "common/prompter.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/startup.h"
#include "uiwidgets/help.h"
#include "uiwidgets/qt_prompter.h"

#include <QObject>
#include <QWizard>
#include <QWizardPage>

#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;
class IPhoneBookExports;

/// One page of the sheet; the page issues give each its controls. OnSetActive runs on every
/// activation, Back included.
class CWizardPage : public QWizardPage {
    Q_OBJECT
public:
    CWizardPage(CPSMainuiLogic& sheet, int nDialogId, uint32_t nTitleId, uint32_t nSubtitleId);
    int DialogId() const { return m_nDialogId; }
    /// The page after this one in the sheet's order (-1 for the last).
    int nextId() const override { return m_nNextId; }
    /// The page after this one in the sheet's order, even where no button leads there.
    int SheetNextId() const { return m_nNextId; }
    void SetNextId(int nNextId) { m_nNextId = nNextId; }
    /// Called each time the page becomes the current one.
    virtual void OnSetActive() { ++m_nActivations; }
    /// Called once the print system's answers about the printer are in (the model type is known).
    virtual void OnPrinterKnown() {}
    /// No page leads on while the printer is not known.
    bool isComplete() const override;
    /// The cover sheet editor saved a sheet (wParam 1 Save As, 2 Save, 3 other).
    virtual void OnCoverSheetSaved(uint32_t wParam) { m_nLastCoverNotice = wParam; }
    /// Cancel was pressed on this page: true lets the sheet close.
    int Activations() const { return m_nActivations; }
    uint32_t LastCoverNotice() const { return m_nLastCoverNotice; }

protected:
    CPSMainuiLogic& m_Sheet;

private:
    int m_nDialogId;
    int m_nNextId = -1;
    int m_nActivations = 0;
    uint32_t m_nLastCoverNotice = 0;
};

class CPSMainui : public QWizard {
    Q_OBJECT
public:
    /// The pages run their workers behind progress (the progress dialog when none is given); help
    /// opens through opener (the desktop's handler when none is given).
    CPSMainui(CPSMainuiLogic& sheet, IPrompter& prompter, HelpOpener opener = {}, QWidget* parent = nullptr,
              IProgressRunner* progress = nullptr);
    ~CPSMainui() override;
    /// The page with a dialog id; null when there is none.
    CWizardPage* PageOf(int nDialogId) const;
    /// Takes one message posted to the host endpoint.
    void OnHostMessage(uint32_t nMessage, uint32_t wParam, int32_t lParam);
    /// Shows the help of the current page (F1).
    void ShowHelp();
    /// Back: to the first page when the destination page skipped the others, else the page before.
    void GoBack();
    /// Shows the About box (DATA.TAG's version and second line).
    void ShowAbout();
    /// Cancel and Escape on every page: closes only when the user confirms (STRING 750).
    void reject() override;
    /// Room for the largest page, whichever page is shown.
    QSize sizeHint() const override;
    /// Finish: the current page's check, then the sheet closes.
    void done(int result) override;

    /// A page's step that may run a worker behind a modal dialog, from a button of the sheet or
    /// from the page itself. The dialog's loop still delivers clicks queued before it showed (a
    /// button's shortcut clicks it a moment later), so while a step runs the sheet takes no Back,
    /// Next, Finish or Cancel; Finish on the Preview page is carried out once the step has ended,
    /// as when it was pressed before the image was made.
    class Step {
    public:
        explicit Step(QWizard* sheet);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        CPSMainui* m_pSheet;
    };
    bool StepRunning() const { return m_nSteps > 0; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void GoNext();
    void FinishAfterStep();
    /// Takes an answer of the print system about the printer; once it is known the pages work.
    void OnPrinterAnswer();

    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    HelpOpener m_Opener;
    int m_nSteps = 0;
    bool m_bFinishWaiting = false;
    std::unique_ptr<IProgressRunner> m_pOwnProgress;
    std::unique_ptr<IPhoneBookExports> m_pPhoneBookExports;
};

/// Feeds the posts of the host endpoint to the sheet from the event loop.
class CWizardHostWnd : public QObject {
    Q_OBJECT
public:
    CWizardHostWnd(platform::Endpoint& endpoint, CPSMainui& sheet);

private:
    void Drain();
    platform::Endpoint& m_Endpoint;
    CPSMainui& m_Sheet;
    QSocketNotifier* m_pNotifier;
};

/// Runs the real sheet modally.
class CQtSheetRunner : public ISheetRunner {
public:
    explicit CQtSheetRunner(IPrompter& prompter) : m_Prompter(prompter) {}
    int Run(CPSMainuiLogic& sheet, platform::Endpoint* host) override;
    bool ShowsBeforePrinterKnown() const override { return true; }

private:
    IPrompter& m_Prompter;
};

