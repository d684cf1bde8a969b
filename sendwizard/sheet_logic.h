// The wizard sheet without its widgets: what the command line and the printer give the job, the
// job's records, the flags the pages share, and the preview and send steps that turn the work file
// into fax jobs for the job builder.
#pragma once

#include "common/cover_notice.h"
#include "cover/imageservice/IQeltaCoverSheetTool.h"
#include "jobbuilder/IQeltaJobTool.h"
#include "phonebook/store/IBookmanagerTool.h"
#include "platform/com.h"
#include "sendlog/IQeltaLogTool.h"
#include "sendwizard/job_records.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class IPrompter;
class CPrinterQuestions;

/// The wizard's pages, in the order the sheet shows them, with their dialog ids.
enum : int {
    IDD_SELECT_DESTINATION = 107,
    IDD_SELECT_COVER = 110,
    IDD_SET_PARAMS = 121,
    IDD_PREVIEW = 111,
    IDD_READY_TO_SEND = 108,
};

/// The help topic of each page (an anchor of the help file), and of everything else.
struct PageHelpTopic {
    int nDialogId;
    uint32_t nTopic;
};
inline constexpr PageHelpTopic kPageHelpTopics[] = {
    {IDD_SELECT_DESTINATION, 131201}, {IDD_SELECT_COVER, 131202}, {IDD_SET_PARAMS, 131203},
    {IDD_PREVIEW, 131204},            {IDD_READY_TO_SEND, 131205},
};
inline constexpr uint32_t kGeneralHelpTopic = 131200;

/// The help topic of a page's help id (0x20000 + its dialog id); kGeneralHelpTopic for anything else.
uint32_t HelpTopicFor(uint32_t nHelpId);

/// The failure logs of the steps, in the job folder.
inline constexpr const char* kCreateJobDataLog = "createjobdata1.log";
inline constexpr const char* kSendJobDataLog = "sendjobdata1.log";

/// The tag text written with every page of a job image.
inline constexpr const char* kJobImageTags = "Document\rDescription:\rPage:\rSoftware:\rDateTime:\rArtist:\r";

/// Screen pixels per inch used when the header font is turned into points.
inline constexpr int kHeaderScreenDpi = 96;

/// One phone book record as the destination page takes it.
struct CPhoneBookRecord {
    int nKind = 0;
    std::string strName, strNumber, strSubAddress, strPassCode;
    int bFCode = 0, bReceptionConfirm = 0;
};

class CPSMainuiLogic {
public:
    CPSMainuiLogic();
    /// Drops the documents with their files and releases the components.
    ~CPSMainuiLogic();
    CPSMainuiLogic(const CPSMainuiLogic&) = delete;
    CPSMainuiLogic& operator=(const CPSMainuiLogic&) = delete;

    // ---- start-up ----

    /// Stores the command line's values and reads the work file's resolutions and page count.
    /// False (after STRING 2004) when the imaging library does not know the work file.
    bool SetCommandLineValues(const std::string& strFilePath, const std::string& strPaper,
                              const std::string& strCompression, const std::string& strPrinter,
                              const std::string& strText, IPrompter& prompter);
    /// Reads "Version", "Company" (default "KOVRA") and "Misc" of DATA.TAG in a folder.
    void ReadTagInfo(const std::string& strFolder);
    /// Reads the printer's port and driver and the model type "device.env" in strFolder gives
    /// for that driver (0 when none).
    void ReadPrinterInfo(const std::string& strFolder);
    /// Starts asking the print system, off the caller's thread, which printer the job goes to (the
    /// user-defined one or strCommandLinePrinter) and what it is; until the answers are in,
    /// PrinterKnown is false and the pages that depend on the printer wait.
    void AskPrinter(const std::string& strCommandLinePrinter, const std::string& strFolder);
    /// Who is told (on the questions' thread) that an answer is in; empty: nobody.
    void SetPrinterWake(std::function<void()> wake);
    /// Takes an answer that is in (a user-defined printer that cannot be used is told, STRING
    /// 3115). True once the printer is known: printer, port, driver and model type are set.
    bool TakePrinterAnswer(IPrompter& prompter);
    /// Waits on the caller's thread until the printer is known.
    void WaitForPrinter(IPrompter& prompter);
    /// False while the print system is still being asked about the printer.
    bool PrinterKnown() const { return m_bPrinterKnown; }
    /// Deletes the work file (when the sheet closes), unless a send left a destination without it.
    void DeleteWorkFile();

    // ---- the cover sheet editor's notice ----

    /// Takes a posted 1124: only lParam 1815 with wParam 1 to 3 counts. True when it counted (the
    /// re-list flag is then set); the caller forwards it to the cover page when that page is active.
    bool OnCoverSheetSaved(uint32_t wParam, int32_t lParam);
    bool GetRelistFlag() const { return m_bRelist.load(); }
    void SetRelistFlag(bool bRelist) { m_bRelist = bRelist; }

    // ---- lists ----

    void AddDestination(const CJobDestination& destination) { m_Destinations.push_back(destination); }
    void AddDocument(std::unique_ptr<CFaxDocument> document) { m_Documents.push_back(std::move(document)); }
    int GetDocumentCount() const { return static_cast<int>(m_Documents.size()); }
    CFaxDocument* GetDocument(int i) const;
    /// Deletes the preview image and every document's files, then the documents.
    void DropDocuments();
    /// Makes summary the current job summary (the old one is dropped).
    void SetJobSummary(std::unique_ptr<CJobSummary> summary) { m_pJobSummary = std::move(summary); }
    const CJobSummary* GetJobSummary() const { return m_pJobSummary.get(); }

    // ---- preview and send steps: 1 on success, 0 on failure ----

    int CreateJobTool();
    int BuildCoverImage(int i);
    int AppendSourcePages(int i);
    int StampDocumentPages(int i, int bFirst);
    int ConvertDocumentImage(int i);
    int RegisterDocumentJob(int i);
    int FlushDocumentJob(int i);
    /// Why the last preview or send step failed, in words: what the component told (the component,
    /// file, folder or queue and the system's reason), else what the step found wrong.
    std::string m_strFailureReason;
    /// Draws the header line of one page into the top band of image.
    int StampHeader(uintptr_t image, const CJobSummary& summary, const LOGFONTA& font, int nPage, int nTotal);

    // ---- services for the pages ----

    /// Reads one phone book record; 1, or 0 for a missing book or record, a group or a missing value.
    /// The book stays open between reads and is read again only when its file changed.
    int ReadPhoneBookRecord(const std::string& strBookPath, int32_t lRecordID, CPhoneBookRecord& record);
    /// Lets go of the open phone book (at the end of an import); the next read opens it afresh.
    void ReleasePhoneBook();
    int LaunchLogBrowserFromWizard();
    /// The company of the installed product: "Company" of DATA.TAG in the install folder (HKLM
    /// "TQL Directory"), empty when there is none. The default cover sheet folder is built with it.
    static std::string GetInstallCompany();
    /// The per-user job folder (data folder / Company / "QELTA" /), else the program's folder.
    std::string GetJobFolder() const;
    static std::string MakeFilingTarget(const std::string& strAddress) { return "dfile://" + strAddress + "//"; }
    std::string GetDocumentImagePath(int i) const;
    static uint32_t GetFileSize(const std::string& strPath);

    // ---- what the command line, DATA.TAG and the printer gave ----

    std::string m_strCompany = "KOVRA", m_strVersion, m_strMisc;
    std::string m_strFirstFilePath, m_strFilePath, m_strPaper, m_strCompression, m_strPrinter, m_strText;
    std::string m_strPortName, m_strDriverName;
    std::string m_strPreviewImagePath;
    int m_nModelType = 99;
    int m_nXResolution = 0, m_nYResolution = 0, m_nPageCount = 0;
    int GetPaperIndex() const;

    std::vector<CJobDestination> m_Destinations;
    CJobParameters m_JobParameters;
    int m_bSkip = 0;
    /// Set when the job could not be made or sent, so some destination did not get the fax: the
    /// work file stays.
    int m_bKeepWorkFile = 0;
    /// Set when the job could not be made or sent (the user was told), cleared when the preview makes
    /// the job anew: the wizard then ends with a non-zero status.
    int m_bJobFailed = 0;
    /// Set when a page changed what the job is made of, so the preview rebuilds it; nothing is
    /// built before the first preview.
    int m_bChanged = 1;
    /// The cover page's choice: attach flag, cover path (empty when none is attached) and description.
    int m_bAttachCover = 0;
    std::string m_strCoverPath, m_strCoverMemo;
    /// True when the cover page attaches a cover to the job.
    bool IsCoverAttached() const { return m_bAttachCover != 0 && !m_strCoverPath.empty(); }

    /// Writes text alone into the job folder's log file (the last failure only).
    void WriteStepLog(const char* name, const std::string& text) const;
    /// Tells of a failure: STRING 2004 (caption STRING 128, nFlags) with the reason on a line below
    /// it, and the same line on stderr, followed by the work file when it is kept.
    void ShowFailure(IPrompter& prompter, unsigned nFlags) const;

private:
    /// The job builder, the sending log and the phone book, created on first use.
    template <typename I>
    bool EnsureComponent(platform::com::Ptr<I>& component, const CLSID& clsid, const char* progId);
    /// The model type "device.env" in strFolder gives for the driver (0 when none).
    void SetModelType(const std::string& strFolder);
    /// Keeps reason as the failure's reason; 0, the failed step's result.
    int Fail(std::string reason);

    std::vector<std::unique_ptr<CFaxDocument>> m_Documents;
    std::unique_ptr<CJobSummary> m_pJobSummary;
    std::mutex m_ComponentMutex;
    platform::com::Ptr<IQeltaJobTool> m_pJobTool;
    platform::com::Ptr<IQeltaLogTool> m_pLogTool;
    platform::com::Ptr<IBookmanagerTool> m_pBookTool;
    std::atomic<bool> m_bRelist{false};
    bool m_bPrinterKnown = true;
    std::string m_strProgramFolder;
    std::unique_ptr<CPrinterQuestions> m_pPrinterQuestions;
};
