#include "sendwizard/preview_page_logic.h"

#include "common/header_font.h"
#include "common/program_start.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "jobbuilder/stream_values.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/page_view.h"
#include "sendwizard/wizard_strings.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

// A failing step's text, thrown out of a worker's body.
struct StepFailure {
    const char* text;
};

// The pause that lets the user see the finished bar.
constexpr std::chrono::milliseconds kFinishedPause{500};

// A name as the job stream carries it: the bytes it refuses (quotation marks, control bytes) left
// out, so that a name typed or passed in never fails the whole send.
std::string StreamName(std::string text)
{
    std::erase_if(text, [](char c) { return !jobcheck::IsQuotableByte(c); });
    return text;
}

void Require(int ok, const char* text)
{
    if (!ok)
        throw StepFailure{text};
}

// Runs a worker's body; a failing step's text goes into the job folder's log, followed by what
// details gives, the page file that is kept and the reason, and the failure is reported. No
// destination got the fax from the failed step on, so the page file stays. 1 when the body ran
// through.
int RunWorker(CPSMainuiLogic& sheet, const char* log, const std::function<void(IProgressSink&)>& body,
              IProgressSink& sink, const std::function<std::string()>& details = {})
{
    sheet.m_strFailureReason.clear();
    try {
        body(sink);
        return 1;
    } catch (const StepFailure& failure) {
        sheet.m_bKeepWorkFile = 1;
        std::string lines = failure.text + (details ? details() : std::string());
        if (!sheet.m_strFilePath.empty())
            lines += "\nKEPT - " + platform::quotedName(sheet.m_strFilePath);
        lines += "\nREASON - ";
        lines += sheet.m_strFailureReason.empty() ? std::string(failure.text) : sheet.m_strFailureReason;
        sheet.WriteStepLog(log, lines + "\n");
        sink.Fail(kWorkerFailure);
        return 0;
    }
}

// Tells of a job that could not be made or sent; the wizard then ends non-zero.
void ReportJobFailure(CPSMainuiLogic& sheet, IPrompter& prompter)
{
    sheet.m_bJobFailed = 1;
    sheet.ShowFailure(prompter, MB_ICONEXCLAMATION);
}

// One line for every destination of the job, in order, saying whether it went out: the documents
// before sentDocuments did, the others did not.
std::string SendOutcome(const CPSMainuiLogic& sheet, int sentDocuments)
{
    std::string lines;
    for (int i = 0; i < sheet.GetDocumentCount(); ++i)
        for (const CJobDestination& destination : sheet.GetDocument(i)->m_Destinations) {
            lines += i < sentDocuments ? "\nSENT - " : "\nNOT SENT - ";
            lines += destination.m_strNumber;
            if (!destination.m_strName.empty())
                lines += " " + destination.m_strName;
        }
    return lines;
}

} // namespace

int SendJobWorker(CPSMainuiLogic& sheet, IProgressSink& sink)
{
    int sentDocuments = 0;
    const int sent = RunWorker(sheet, kSendJobLog, [&sheet, &sentDocuments](IProgressSink& progress) {
        Require(sheet.CreateJobTool(), "FAILED - SendJobData0");
        const int n = sheet.GetDocumentCount();
        for (int i = 0; i < n; ++i) {
            Require(sheet.RegisterDocumentJob(i), "FAILED - SendJobData1");
            progress.Progress(i * 100 / n + 100 / n / 2);
            Require(sheet.FlushDocumentJob(i), "FAILED - SendJobData2");
            ++sentDocuments;
            progress.Progress((i * 100 + 100) / n);
        }
        progress.Progress(100);
    }, sink, [&] { return SendOutcome(sheet, sentDocuments); });
    if (sent)
        std::this_thread::sleep_for(kFinishedPause);
    return sent;
}

bool SendJob(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress)
{
    if (progress.Run(WizardString(IDS_SENDING), [&sheet](IProgressSink& sink) { return SendJobWorker(sheet, sink); })
        == 0)
        return true;
    ReportJobFailure(sheet, prompter);
    return false;
}

CPPPreviewLogic::CPPPreviewLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress)
    : m_Sheet(sheet), m_Prompter(prompter), m_Progress(progress)
{
    ResetView(true);
}

void CPPPreviewLogic::ResetView(bool bResetPage)
{
    m_nMode = kDisplayWholePage;
    m_dZoom = 1.0;
    m_dShownZoom = m_dZoom;
    if (bResetPage)
        m_nPageNumber = 1;
}

int CompressionCodeOf(const std::string& strCompression, int nModelType, IPrompter& prompter)
{
    if (strCompression == "MMR")
        return 0;
    if (strCompression == "MH")
        return 1;
    if (nModelType == 3) {
        prompter.MessageBox(WizardString(IDS_NO_MR), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
        return 0;
    }
    return 2;
}

int CPPPreviewLogic::CompressionCode()
{
    return CompressionCodeOf(m_Sheet.m_strCompression, m_Sheet.m_nModelType, m_Prompter);
}

std::unique_ptr<CJobSummary> CPPPreviewLogic::BuildSummary()
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    auto text = [&](const char* name) { return user.ReadString(kProductSubkey, name, ""); };
    std::string jobName = m_Sheet.m_strText;
    if (user.ReadDword(kProductSubkey, "JobIDAlwaysUse", 0) == 1)
        jobName = text("JobIDPassCode");
    std::string userName = text("UserName");
    if (user.ReadDword(kProductSubkey, "JobIDAlwaysUseName", 0) == 1)
        userName = text("JobIDUserName");
    if (userName.empty())
        userName = platform::userName();

    auto summary = std::make_unique<CJobSummary>();
    const CJobParameters& parameters = m_Sheet.m_JobParameters;
    summary->m_nCompression = CompressionCode();
    summary->m_bBroadcast = parameters.m_bBroadcast;
    summary->m_bNotification = parameters.m_bNotification;
    summary->m_bHeader = parameters.m_bHeader;
    summary->m_strHeaderText = parameters.m_strHeaderText;
    summary->m_bFiling = parameters.m_bFiling;
    summary->m_nFolderType = parameters.m_nFolderType;
    summary->m_strFolderName = parameters.m_strFolderName;
    summary->m_strFolderPassword = parameters.m_strFolderPassword;
    summary->m_strFilePassword = parameters.m_strFilePassword;
    summary->m_bAccount = parameters.m_bAccount;
    summary->m_strAccountNumber = parameters.m_strAccountNumber;
    summary->m_HeaderFont = parameters.m_HeaderFont;
    summary->m_strUserName = StreamName(userName);
    summary->m_strUserID = text("UserIDString");
    summary->m_strHeaderUserName = text(kHeaderUserNameValue);
    summary->m_strHeaderTelNumber = text(kHeaderTelNumberValue);
    summary->m_strJobName = StreamName(jobName);
    return summary;
}

void CPPPreviewLogic::BuildDocuments()
{
    // A document carries the cover flag only with a cover to make it from.
    const int cover = m_Sheet.m_bAttachCover == 1 && !m_Sheet.m_strCoverPath.empty() ? 1 : 0;
    const platform::LocalTime now = platform::localTime();
    auto add = [&](const std::vector<CJobDestination>& destinations) {
        m_Sheet.AddDocument(std::make_unique<CFaxDocument>(m_Sheet.m_strFilePath, destinations, cover,
                                                           cover ? m_Sheet.m_strCoverPath : std::string(),
                                                           m_Sheet.m_strCoverMemo, now));
    };
    if (m_Sheet.m_JobParameters.m_bBroadcast == 1) {
        add(m_Sheet.m_Destinations);
        return;
    }
    for (const CJobDestination& destination : m_Sheet.m_Destinations)
        add({destination});
}

void CPPPreviewLogic::OnSetActive()
{
    m_nButtons = PSWIZB_BACK | PSWIZB_FINISH;
    if (m_Sheet.m_bChanged != 1)
        return;
    m_Sheet.DropDocuments();
    m_Sheet.SetJobSummary(BuildSummary());
    BuildDocuments();
}

int CPPPreviewLogic::ImageWorker(IProgressSink& sink)
{
    RunWorker(m_Sheet, kCreateJobLog, [this](IProgressSink& progress) {
        Require(m_Sheet.CreateJobTool(), "FAILED - CreateJobData0");
        progress.Progress(5);
        const int n = m_Sheet.GetDocumentCount();
        const struct {
            std::function<int(int)> step;
            const char* failure;
            int offset;
        } passes[] = {
            {[this](int i) { return m_Sheet.BuildCoverImage(i); }, "FAILED - CreateJobData1", 5},
            {[this](int i) { return m_Sheet.AppendSourcePages(i); }, "FAILED - CreateJobData2", 25},
            {[this](int i) { return m_Sheet.StampDocumentPages(i, i == 0 ? 1 : 0); }, "FAILED - CreateJobData3", 50},
            {[this](int i) { return m_Sheet.ConvertDocumentImage(i); }, "FAILED - CreateJobData4", 75},
        };
        for (const auto& pass : passes)
            for (int i = 0; i < n; ++i) {
                Require(pass.step(i), pass.failure);
                progress.Progress((i * 100 + 100) / n / 4 + pass.offset);
            }
        progress.Progress(100);
    }, sink);
    std::this_thread::sleep_for(kFinishedPause);
    return 0;
}

void CPPPreviewLogic::CreateImage()
{
    if (m_Sheet.m_bChanged == 1) {
        m_Sheet.m_bChanged = 0;
        // A new job: whatever an earlier image's failure stopped is open again.
        m_bFailed = false;
        m_Sheet.m_bJobFailed = 0;
        m_Sheet.m_bKeepWorkFile = 0;
        m_bControlsEnabled = true;
        m_nButtons = PSWIZB_BACK | PSWIZB_FINISH;
        m_nPageNumber = -1;
        m_nPageCount = 0;
        m_strImagePath.clear();
        const int result = m_Progress.Run(WizardString(IDS_CREATING_IMAGE),
                                          [this](IProgressSink& sink) { return ImageWorker(sink); });
        if (result != 0) {
            ReportJobFailure(m_Sheet, m_Prompter);
            m_nButtons = PSWIZB_FINISH;
            m_bControlsEnabled = false;
            m_bFailed = true;
            return;
        }
        m_strImagePath = m_Sheet.m_strPreviewImagePath;
        // The pages are counted from the file's directories; an unreadable page already failed its step.
        IKFILEINFO info{};
        m_nPageCount = ImageKitFileType(m_strImagePath, info) == 1 ? std::max(0, static_cast<int>(info.pageCount)) : 0;
        if (m_nPageCount > 0)
            m_nPageNumber = 1;
    }
    if (m_nPageNumber > 0)
        ResetView(true);
    if (m_Sheet.m_nModelType == 1 || m_Sheet.m_nModelType == 2) {
        // Each document goes out as its own job, so each is held to the limit.
        for (int i = 0; i < m_Sheet.GetDocumentCount(); ++i)
            if (CPSMainuiLogic::GetFileSize(m_Sheet.GetDocumentImagePath(i)) >= kMaxJobImageBytes) {
                m_Prompter.MessageBox(WizardString(IDS_IMAGE_TOO_LARGE), WizardString(IDS_CAPTION),
                                      MB_ICONEXCLAMATION);
                m_nButtons = PSWIZB_BACK;
                break;
            }
    }
}

bool CPPPreviewLogic::OnWizardFinish()
{
    if (m_bFailed) {
        m_bFailed = false;
        return true;
    }
    if (!SendJob(m_Sheet, m_Prompter, m_Progress))
        m_nButtons = PSWIZB_FINISH;
    return true;
}

bool CPPPreviewLogic::StepPage(int nStep)
{
    const int index = m_nPageNumber - 1 + nStep;
    if (m_nPageNumber < 1 || index < 0 || index >= m_nPageCount)
        return false;
    m_nPageNumber = index + 1;
    return true;
}

bool CPPPreviewLogic::GoToPage(const std::string& strTyped)
{
    const char* first = strTyped.data();
    const char* const last = first + strTyped.size();
    while (first != last && (*first == ' ' || *first == '\t'))
        ++first;
    int page = 0;
    const auto [end, error] = std::from_chars(first, last, page);
    if (error != std::errc() || end == first)
        return false;
    if (m_nPageNumber < 1 || page < 1 || page > m_nPageCount)
        return false;
    m_nPageNumber = page;
    return true;
}

void CPPPreviewLogic::SetMode(int nMode)
{
    if (nMode >= 1 && nMode <= 3)
        m_nMode = nMode;
}

void CPPPreviewLogic::SetZoomPosition(int nPosition)
{
    m_dZoom = ZoomOfSliderPosition(nPosition);
    m_nMode = 3;
}

void CPPPreviewLogic::SetShownZoom(double dZoom)
{
    if (dZoom > 0)
        m_dShownZoom = dZoom;
}

int CPPPreviewLogic::GetZoomPosition() const
{
    return SliderPositionOfZoom(m_nMode == kDisplayZoomFactor ? m_dZoom : m_dShownZoom);
}

std::string CPPPreviewLogic::GetZoomText() const
{
    return FormatPageText(WizardString(IDS_ZOOM_PERCENT), GetZoomPosition(), 0);
}

std::string CPPPreviewLogic::GetPageText() const
{
    return HasPages() ? FormatPageText(WizardString(IDS_PAGE_OF), m_nPageNumber, m_nPageCount) : std::string();
}

bool CPPPreviewLogic::Zoom()
{
    const std::string title = FormatText("%s - %s", {WizardString(IDS_CAPTION), WizardString(IDS_PREVIEW)});
    return StartSettingProgram("Viewer", ViewerArguments(title, m_strImagePath, false));
}
