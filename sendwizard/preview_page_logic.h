// The Preview page without its widgets: it rebuilds the job when an earlier page changed it, makes
// the fax image behind a progress display, shows it page by page, and sends the job on Finish.
#pragma once

#include "common/progress_runner.h"
#include "sendwizard/sheet_logic.h"

#include <string>

class IPrompter;

/// The page's controls.
enum : int {
    IDC_PREVIEW_DISPLAY = 1039,
    IDC_PAGE_LABEL = 1043,
    IDC_PAGE_NUMBER = 1044,
    IDC_PAGE_SPIN = 1041,
    IDC_VIEW_MODE_GROUP = 1045,
    IDC_MODE_SCALE = 1046,
    IDC_MODE_FIT = 1047,
    IDC_MODE_ACTUAL = 1048,
    IDC_PREVIEW_ZOOM_SLIDER = 1049,
    IDC_PREVIEW_ZOOM_PERCENT = 1050,
    IDC_ZOOM = 1051,
    IDC_EDIT_IMAGE = 1052,
};

/// The wizard buttons a page allows.
enum : int { PSWIZB_BACK = 1, PSWIZB_NEXT = 2, PSWIZB_FINISH = 4 };

/// The job image size from which models 1 and 2 refuse a job.
inline constexpr uint32_t kMaxJobImageBytes = 4u * 1024u * 1024u;
/// The logs of the two workers, in the job folder: the failing step's text alone.
inline constexpr const char* kCreateJobLog = "createjob.log";
inline constexpr const char* kSendJobLog = "sendjob.log";

/// The send worker: prepares the job builder, then registers and flushes every document in turn
/// (progress i x 100 / n + 100 / n / 2, then (i x 100 + 100) / n, then 100). 1 when all went out;
/// otherwise 0 with the failing step's text in "sendjob.log", followed by one line for every
/// destination saying whether it was sent, the work file kept and the failure reported.
int SendJobWorker(CPSMainuiLogic& sheet, IProgressSink& sink);

/// Runs the send worker behind the progress display (STRING 721); a failure shows STRING 2004.
/// True when the job went out.
bool SendJob(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress);

/// The compression code of the command line's name (0 MMR, 1 MH, 2 MR); "MR" or any other name on
/// model type 3 shows STRING 2002 and gives 0.
int CompressionCodeOf(const std::string& strCompression, int nModelType, IPrompter& prompter);

class CPPPreviewLogic {
public:
    CPPPreviewLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress);

    /// Rebuilds the summary and the documents when the sheet's changed flag is set; Back and Finish.
    /// The caller then makes the image (CreateImage) once the page is shown.
    void OnSetActive();
    /// Makes the fax image when the job was rebuilt, counts its pages and shows the first; applies
    /// the size rule of models 1 and 2.
    void CreateImage();
    /// Sends the job (unless making its image failed). True: the wizard closes.
    bool OnWizardFinish();
    /// True when Back goes to the first page (the destination page skipped the others).
    bool BackToFirstPage() const { return m_Sheet.m_bSkip != 0; }

    /// The compression code of the command line's name (0 MMR, 1 MH, 2 MR); "MR" on model type 3
    /// shows STRING 2002 and gives 0.
    int CompressionCode();
    /// The summary of the job from the job settings and the user's settings.
    std::unique_ptr<CJobSummary> BuildSummary();
    /// The documents: one for every destination with broadcast on, else one per destination.
    void BuildDocuments();

    /// The image worker: the job builder, then the four image steps of every document; a failure
    /// is logged in "createjob.log" and reported. Always 0.
    int ImageWorker(IProgressSink& sink);

    /// Moves by step pages; false (nothing moves) outside the pages.
    bool StepPage(int nStep);
    /// Turns to the page typed in the page box: the number the text starts with (what follows it,
    /// such as the "/ count" the box shows, is left aside); false, nothing moved, without a number
    /// or for one outside the pages.
    bool GoToPage(const std::string& strTyped);
    /// View modes: 1 scale (the whole page), 2 fit to area (the page fills the view), 3 actual size
    /// with the zoom factor.
    void SetMode(int nMode);
    /// The zoom the display fitted the page at in modes 1 and 2, which the slider and the
    /// percentage then show.
    void SetShownZoom(double dZoom);
    /// The zoom slider's position (1..100): the zoom factor in hundredths, mode 3.
    void SetZoomPosition(int nPosition);
    /// Starts the viewer (HKLM "Viewer") on the image; false when none is set.
    bool Zoom();

    /// The image shown and its pages: page number 1-based, -1 for nothing.
    const std::string& GetImagePath() const { return m_strImagePath; }
    int GetPageNumber() const { return m_nPageNumber; }
    int GetPageCount() const { return m_nPageCount; }
    int GetMode() const { return m_nMode; }
    double GetZoom() const { return m_dZoom; }
    /// The zoom shown: the zoom factor in mode 3, else the fitted zoom.
    int GetZoomPosition() const;
    std::string GetZoomText() const;
    /// The page shown and the page count ("1 / 3"); empty while no page is shown (before the image
    /// is made, and when making it failed or it has no page).
    std::string GetPageText() const;
    /// True while a page of a made image is shown.
    bool HasPages() const { return m_nPageNumber > 0 && m_nPageCount > 0; }
    /// Zoom (the viewer) is offered only for an image with pages.
    bool IsViewerEnabled() const { return m_bControlsEnabled && HasPages(); }
    /// The slider and the percentage are usable only in mode 3.
    bool IsZoomEnabled() const { return m_bControlsEnabled && m_nMode == 3; }
    /// False once making the image failed: every preview control is disabled.
    bool AreControlsEnabled() const { return m_bControlsEnabled; }
    int GetButtons() const { return m_nButtons; }
    bool HasFailed() const { return m_bFailed; }

private:
    void ResetView(bool bResetPage);

    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    IProgressRunner& m_Progress;
    std::string m_strImagePath;
    int m_nPageNumber = -1, m_nPageCount = 0, m_nMode = 1;
    double m_dZoom = 1.0, m_dShownZoom = 1.0;
    int m_nButtons = PSWIZB_BACK | PSWIZB_FINISH;
    bool m_bFailed = false, m_bControlsEnabled = true;
};
