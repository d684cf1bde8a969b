#include "sendwizard/sheet_logic.h"

#include "common/data_folders.h"
#include "common/prompter.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "sendwizard/command_line.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/printer_info.h"
#include "sendwizard/wizard_strings.h"

#include <cstdio>
#include <sys/stat.h>

using platform::com::Bstr;

uint32_t HelpTopicFor(uint32_t nHelpId)
{
    for (const PageHelpTopic& page : kPageHelpTopics)
        if (nHelpId == 0x20000u + static_cast<uint32_t>(page.nDialogId))
            return page.nTopic;
    return kGeneralHelpTopic;
}

CPSMainuiLogic::CPSMainuiLogic() = default;

CPSMainuiLogic::~CPSMainuiLogic() { DropDocuments(); }

bool CPSMainuiLogic::SetCommandLineValues(const std::string& strFilePath, const std::string& strPaper,
                                          const std::string& strCompression, const std::string& strPrinter,
                                          const std::string& strText, IPrompter& prompter)
{
    m_strFirstFilePath = m_strFilePath = strFilePath;
    m_strPaper = strPaper;
    m_strCompression = strCompression;
    m_strPrinter = strPrinter;
    m_strText = strText;
    IKFILEINFO info{};
    if (!strFilePath.empty() && ImageKitFileType(strFilePath, info) == 1) {
        m_nXResolution = info.resolution;
        m_nYResolution = info.yResolution;
        m_nPageCount = info.pageCount;
        return true;
    }
    if (strFilePath.empty())
        m_strFailureReason = "no page file was given";
    else if (!platform::pathExists(strFilePath))
        m_strFailureReason = "the page file " + platform::quotedName(strFilePath) + " does not exist";
    else
        m_strFailureReason = "the page file " + platform::quotedName(strFilePath) + " is not a fax image that can be read";
    ShowFailure(prompter, MB_ICONWARNING);
    return false;
}

void CPSMainuiLogic::ReadTagInfo(const std::string& strFolder)
{
    const std::string tagFile = platform::joinPath(strFolder, "DATA.TAG");
    m_strVersion = platform::readProfileString("TagInfo", "Version", "", tagFile);
    m_strCompany = platform::readProfileString("TagInfo", "Company", "KOVRA", tagFile);
    m_strMisc = platform::readProfileString("TagInfo", "Misc", "", tagFile);
}

void CPSMainuiLogic::ReadPrinterInfo(const std::string& strFolder)
{
    ::ReadPrinterInfo(m_strPrinter, m_strPortName, m_strDriverName);
    SetModelType(strFolder);
}

void CPSMainuiLogic::SetModelType(const std::string& strFolder)
{
    m_nModelType = kUnknownModelType;
    if (!m_strDriverName.empty())
        m_nModelType = ReadModelTypeFile(platform::joinPath(strFolder, "device.env"), m_strDriverName);
    if (m_nModelType == kUnknownModelType)
        m_nModelType = 0;
}

void CPSMainuiLogic::AskPrinter(const std::string& strCommandLinePrinter, const std::string& strFolder)
{
    m_pPrinterQuestions.reset();
    m_strProgramFolder = strFolder;
    m_bPrinterKnown = false;
    m_pPrinterQuestions = std::make_unique<CPrinterQuestions>(strCommandLinePrinter);
}

void CPSMainuiLogic::SetPrinterWake(std::function<void()> wake)
{
    if (m_pPrinterQuestions)
        m_pPrinterQuestions->SetWake(std::move(wake));
}

bool CPSMainuiLogic::TakePrinterAnswer(IPrompter& prompter)
{
    if (m_bPrinterKnown)
        return true;
    if (!m_pPrinterQuestions || !m_pPrinterQuestions->TakeAnswer(prompter))
        return false;
    m_strPrinter = m_pPrinterQuestions->Printer();
    m_strPortName = m_pPrinterQuestions->PortName();
    m_strDriverName = m_pPrinterQuestions->DriverName();
    SetModelType(m_strProgramFolder);
    m_bPrinterKnown = true;
    return true;
}

void CPSMainuiLogic::WaitForPrinter(IPrompter& prompter)
{
    if (m_bPrinterKnown || !m_pPrinterQuestions)
        return;
    m_pPrinterQuestions->WaitForAnswers(prompter);
    TakePrinterAnswer(prompter);
}

void CPSMainuiLogic::DeleteWorkFile()
{
    if (!m_strFilePath.empty() && m_bKeepWorkFile == 0)
        platform::removeFile(m_strFilePath);
}

bool CPSMainuiLogic::OnCoverSheetSaved(uint32_t wParam, int32_t lParam)
{
    if (lParam != kCoverSheetSavedMark || wParam < 1 || wParam > 3)
        return false;
    m_bRelist = true;
    return true;
}

int CPSMainuiLogic::GetPaperIndex() const { return ::GetPaperIndex(m_strPaper); }

CFaxDocument* CPSMainuiLogic::GetDocument(int i) const
{
    return i >= 0 && i < GetDocumentCount() ? m_Documents[static_cast<size_t>(i)].get() : nullptr;
}

void CPSMainuiLogic::DropDocuments()
{
    if (!m_strPreviewImagePath.empty())
        platform::removeFile(m_strPreviewImagePath);
    m_strPreviewImagePath.clear();
    for (const auto& document : m_Documents)
        document->DeleteFiles();
    m_Documents.clear();
}

std::string CPSMainuiLogic::GetDocumentImagePath(int i) const
{
    const CFaxDocument* document = GetDocument(i);
    return document ? document->m_strImagePath : std::string();
}

uint32_t CPSMainuiLogic::GetFileSize(const std::string& strPath)
{
    struct stat st {};
    if (strPath.empty() || ::stat(strPath.c_str(), &st) != 0)
        return 0;
    return static_cast<uint32_t>(static_cast<unsigned long long>(st.st_size) & 0xFFFFFFFFu);
}

std::string CPSMainuiLogic::GetInstallCompany() { return GetCompanyName(); }

std::string CPSMainuiLogic::GetJobFolder() const
{
    char base[kMaxPathBytes] = {};
    if (GetDataBaseFolder(base, sizeof base) == 1) {
        const std::string folder = platform::joinPath(platform::joinPath(base, m_strCompany), "QELTA");
        if (platform::createDirectories(folder))
            return folder + "/";
    }
    return platform::parentPath(platform::programPath()) + "/";
}

void CPSMainuiLogic::WriteStepLog(const char* name, const std::string& text) const
{
    platform::writeFileAtomic(GetJobFolder() + name, text);
}

void CPSMainuiLogic::ShowFailure(IPrompter& prompter, unsigned nFlags) const
{
    std::string text = WizardString(IDS_UNKNOWN_ERROR);
    if (!m_strFailureReason.empty()) {
        text += "\n" + m_strFailureReason;
        std::fprintf(stderr, "sendwizard: %s\n", m_strFailureReason.c_str());
    }
    if (m_bKeepWorkFile && !m_strFilePath.empty())
        std::fprintf(stderr, "sendwizard: the pages are kept in %s\n", platform::quotedName(m_strFilePath).c_str());
    prompter.MessageBox(text, WizardString(IDS_CAPTION), nFlags);
}

template <typename I>
bool CPSMainuiLogic::EnsureComponent(platform::com::Ptr<I>& component, const CLSID& clsid, const char* progId)
{
    std::lock_guard lock(m_ComponentMutex);
    if (component)
        return true;
    // Once per thread: the phone book is made again for every import.
    if (!platform::com::threadInitialized())
        platform::com::initializeThread();
    return SUCCEEDED(platform::com::createInstance(clsid, progId, CLSCTX_INPROC_SERVER, component)) && component;
}

int CPSMainuiLogic::Fail(std::string reason)
{
    m_strFailureReason = std::move(reason);
    return 0;
}

int CPSMainuiLogic::CreateJobTool()
{
    platform::com::takeErrorInfo(); // nothing of an earlier call
    if (EnsureComponent(m_pJobTool, CLSID_QeltaJobTool, kQeltaJobToolProgId))
        return 1;
    const std::string said = platform::com::takeErrorInfo();
    return Fail(said.empty() ? "the component " + std::string(kQeltaJobToolProgId) + " cannot be created" : said);
}

int CPSMainuiLogic::ReadPhoneBookRecord(const std::string& strBookPath, int32_t lRecordID, CPhoneBookRecord& record)
{
    if (!EnsureComponent(m_pBookTool, CLSID_BookmanagerTool, kBookmanagerToolProgId))
        return 0;
    IBookmanagerTool& book = *m_pBookTool.get();
    const Bstr path(strBookPath);
    if (book.Initiate(path.get()) != S_OK)
        return 0; // "ERROR - Initiate"
    int32_t type = -1, parent = 0;
    Bstr name;
    if (book.GetRecordInfo(lRecordID, &type, name.out(), &parent) != S_OK)
        return 0; // "ERROR - GetRecordInfo"
    auto value = [&](const char* key, std::string& out) {
        const Bstr keyName(key);
        Bstr text;
        if (book.GetRecordValue(lRecordID, keyName.get(), text.out()) != S_OK)
            return false; // "ERROR - GetRecordValue"
        out = text.ansi();
        return true;
    };
    CPhoneBookRecord read;
    read.nKind = type;
    read.strName = name.ansi();
    std::string flag;
    if (type == kDestinationIFax) {
        if (!value("mailAddress", read.strNumber) || !value("receptionConfirm", flag))
            return 0;
        read.bReceptionConfirm = flag == "true" ? 1 : 0;
    } else if (type == kDestinationFax) {
        if (!value("faxNumber", read.strNumber) || !value("faxFCode", flag) || !value("faxSubAddress", read.strSubAddress)
            || !value("faxPassCode", read.strPassCode))
            return 0;
        read.bFCode = flag == "true" ? 1 : 0;
    } else {
        return 0; // "ERROR - Invalid Record Type"
    }
    record = std::move(read);
    return 1;
}

void CPSMainuiLogic::ReleasePhoneBook()
{
    std::lock_guard lock(m_ComponentMutex);
    m_pBookTool.reset();
}

int CPSMainuiLogic::LaunchLogBrowserFromWizard()
{
    if (!EnsureComponent(m_pLogTool, CLSID_QeltaLogTool, kQeltaLogToolProgId))
        return 0;
    return m_pLogTool->LaunchLogBrowser(0) == S_OK ? 1 : 0;
}
