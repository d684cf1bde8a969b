#include "sendwizard/set_params_logic.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "jobbuilder/stream_values.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/select_dest_logic.h"
#include "sendwizard/wizard_strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace {

// The buffer the system's user name is read into, terminator included.
constexpr size_t kSystemUserNameBytes = 260;

// The controls that the filing box enables and disables.
constexpr int kFilingControls[] = {IDC_PARAM_MODE_QUICK, IDC_PARAM_MODE_FILE,       IDC_PARAM_MODE_NAME,
                                   IDC_PARAM_FOLDER_LIST, IDC_PARAM_UPDATE_FOLDER,  IDC_PARAM_FOLDER_PASS_LABEL,
                                   IDC_PARAM_FOLDER_PASS, IDC_PARAM_FILE_PASS_LABEL, IDC_PARAM_FILE_PASS,
                                   IDC_PARAM_FOLDER_NAME};

// The controls that follow the header box, and the ones disabled with the header.
constexpr int kHeaderControls[] = {IDC_PARAM_HEADER_TEXT, IDC_PARAM_TAG_DATE, IDC_PARAM_TAG_USER, IDC_PARAM_TAG_TELNO,
                                   IDC_PARAM_TAG_PAGENO};

// Everything a model type without the header and filing disables.
constexpr int kHeaderAndFilingControls[] = {
    IDC_PARAM_HEADER_GROUP, IDC_PARAM_HEADER,      IDC_PARAM_HEADER_TEXT, IDC_PARAM_TAG_DATE,
    IDC_PARAM_TAG_USER,     IDC_PARAM_TAG_TELNO,   IDC_PARAM_FILING_GROUP, IDC_PARAM_FILING,
    IDC_PARAM_MODE_QUICK,   IDC_PARAM_MODE_FILE,   IDC_PARAM_MODE_NAME,   IDC_PARAM_FOLDER_NAME,
    IDC_PARAM_FOLDER_LIST,  IDC_PARAM_UPDATE_FOLDER, IDC_PARAM_FOLDER_PASS_LABEL, IDC_PARAM_FOLDER_PASS,
    IDC_PARAM_FILE_PASS_LABEL, IDC_PARAM_FILE_PASS};

// Which controls each filing mode enables (Quick File, File, Folder Name).
struct ModeRule {
    int nControlId;
    bool bModes[3];
};
constexpr ModeRule kModeTable[] = {
    {IDC_PARAM_UPDATE_FOLDER, {false, true, false}},   {IDC_PARAM_FOLDER_LIST, {false, true, false}},
    {IDC_PARAM_FOLDER_NAME, {false, false, true}},     {IDC_PARAM_FOLDER_PASS_LABEL, {false, true, true}},
    {IDC_PARAM_FOLDER_PASS, {false, true, true}},      {IDC_PARAM_FILE_PASS_LABEL, {false, true, true}},
    {IDC_PARAM_FILE_PASS, {false, true, true}},
};

// The tags the four tag buttons insert.
constexpr const char* kTags[] = {" $DATE ", " $USER ", " $TELNO ", " $PAGENO "};

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kFileTimeEpochSeconds = 11644473600;

// The user's default Job ID names are kept under the product's key.
const CRegistryHelper& UserSettings()
{
    static const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    return user;
}

// Exactly five digits, or (when allowed) nothing at all.
bool IsPassCode(const std::string& text, bool bEmptyAllowed)
{
    if (text.empty())
        return bEmptyAllowed;
    return text.size() == kPassCodeDigits && platform::isDecimalDigits(text);
}

bool FitsLength(const std::string& text, size_t nMaxBytes) { return !text.empty() && text.size() <= nMaxBytes; }

// A FILETIME as a date in the user's short form; empty for a folder without a time stamp.
std::string DateText(uint32_t nLow, uint32_t nHigh)
{
    const uint64_t fileTime = (uint64_t{nHigh} << 32) | nLow;
    if (fileTime == 0)
        return {};
    const auto seconds = static_cast<std::time_t>(static_cast<int64_t>(fileTime / 10000000u) - kFileTimeEpochSeconds);
    return platform::formatLocalDate(platform::localTimeOf(seconds));
}

// STRING 615 with the size put in for its "%d" (sizes are unsigned 32-bit).
std::string SizeText(uint32_t nSize)
{
    std::string text = WizardString(IDS_FOLDER_SIZE);
    const size_t at = text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(nSize));
    return text;
}

} // namespace

LOGFONTA MakeHeaderFont(const std::string& strFace, int nSize, int nXResolution)
{
    LOGFONTA font{};
    // A point font: the size in tenths of a point, its height in pixels (rounded) at 96 per inch.
    const int64_t tenths = int64_t{nXResolution} * nSize / 400;
    const int64_t pixels = (tenths * kHeaderScreenDpi + 360) / 720;
    font.lfHeight = -static_cast<int32_t>(std::clamp<int64_t>(pixels, 0, INT32_MAX));
    font.lfCharSet = 1; // the default character set
    const std::string_view face = platform::utf8Prefix(strFace, sizeof font.lfFaceName - 1);
    std::memcpy(font.lfFaceName, face.data(), face.size());
    return font;
}

CPPSetParamsLogic::CPPSetParamsLogic(CPSMainuiLogic& sheet, IPrompter& prompter, CFolderUpdate& update,
                                     DefaultFace defaultFace)
    : m_Sheet(sheet), m_Prompter(prompter), m_Update(update), m_DefaultFace(std::move(defaultFace))
{
    // The compression choice is the command line's; the page shows it nowhere.
    Enable(IDC_PARAM_COMPRESSION_GROUP, false);
    Enable(IDC_PARAM_COMPRESSION, false);
}

bool CPPSetParamsLogic::IsEnabled(int nControlId) const
{
    const auto it = m_Enabled.find(nControlId);
    return it == m_Enabled.end() || it->second;
}

void CPPSetParamsLogic::Warn(uint32_t nTextId)
{
    m_Prompter.MessageBox(WizardString(nTextId), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
}

void CPPSetParamsLogic::MakeHeaderFont()
{
    const HeaderFontSetting font = ReadHeaderFontSetting(m_DefaultFace);
    m_HeaderFont = ::MakeHeaderFont(font.strFace, font.nSize, m_Sheet.m_nXResolution);
}

void CPPSetParamsLogic::OnInitDialog()
{
    const int model = m_Sheet.m_nModelType;
    const bool filingModel = model == 3;
    MakeHeaderFont();

    m_CompressionItems = {WizardString(IDS_COMPRESSION_MMR), WizardString(IDS_COMPRESSION_MH)};
    if (model != 3)
        m_CompressionItems.push_back(WizardString(IDS_COMPRESSION_MR));

    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    if (filingModel && machine.ReadDword(kProductSubkey, "EnablePCHeader", 0) != 0) {
        Enable(IDC_PARAM_HEADER_GROUP, true);
        Enable(IDC_PARAM_HEADER, true);
        ApplyHeaderBox();
    } else {
        for (int id : {IDC_PARAM_HEADER_GROUP, IDC_PARAM_HEADER})
            Enable(id, false);
        for (int id : kHeaderControls)
            Enable(id, false);
    }

    if (model != 0 && model != 3) {
        m_bNotification = 0;
        Enable(IDC_PARAM_NOTIFY, false);
    }

    if (filingModel) {
        ApplyFiling();
        m_nProtocolVersion = m_Update.ProtocolVersion();
        m_strFolderInfoPath = FolderInfoPath(m_Sheet.GetJobFolder());
        ShowFolders(ReadFolderInfo(m_strFolderInfoPath, m_Sheet.m_strPortName));
        Enable(IDC_PARAM_ACCOUNT_NUMBER, m_bAccount != 0);
    } else {
        for (int id : kHeaderAndFilingControls)
            Enable(id, false);
        for (int id : {IDC_PARAM_ACCOUNT_GROUP, IDC_PARAM_ACCOUNT, IDC_PARAM_ACCOUNT_NUMBER})
            Enable(id, false);
    }
    m_bChanged = true;
    m_bInitialized = true;
}

void CPPSetParamsLogic::OnSelectCompression()
{
    m_nCompression = CompressionCodeOf(m_Sheet.m_strCompression, m_Sheet.m_nModelType, m_Prompter);
}

void CPPSetParamsLogic::OnSetActive()
{
    const int model = m_Sheet.m_nModelType;
    const bool broadcast = CanBroadcast(m_Sheet.m_Destinations, model, m_Sheet.IsCoverAttached());
    if (!broadcast)
        m_bBroadcast = 0;
    Enable(IDC_PARAM_BROADCAST, broadcast);
    if (model == 3)
        Enable(IDC_PARAM_ACCOUNT_NUMBER, m_bAccount != 0);

    const CRegistryHelper& user = UserSettings();
    m_bKeepJobName = user.ReadDword(kProductSubkey, "JobIDAlwaysUse", 0) == 1 ? 1 : 0;
    m_bKeepUserName = user.ReadDword(kProductSubkey, "JobIDAlwaysUseName", 0) == 1 ? 1 : 0;
    if (m_bKeepJobName)
        m_strJobName = user.ReadString(kProductSubkey, "JobIDPassCode", "");
    if (m_bKeepUserName)
        m_strUserName = user.ReadString(kProductSubkey, "JobIDUserName", "");
    if (m_strUserName.empty())
        m_strUserName = std::string(platform::utf8Prefix(platform::userName(), kSystemUserNameBytes - 1));
    if (m_strJobName.empty())
        m_strJobName = m_Sheet.m_strText;
    if (m_strJobName.empty())
        m_bKeepJobName = 0;
    if (m_strUserName.empty())
        m_bKeepUserName = 0;
}

bool CPPSetParamsLogic::OnWizardNext()
{
    if (m_bKeepUserName && !FitsLength(m_strUserName, kMaxJobUserName)) {
        Warn(IDS_BAD_USER_NAME);
        m_bKeepUserName = 0;
        return false;
    }
    if (m_bKeepJobName && !FitsLength(m_strJobName, kMaxJobName)) {
        Warn(IDS_BAD_JOB_NAME);
        m_bKeepJobName = 0;
        return false;
    }
    const bool folderMode = m_bFiling && (m_nFilingMode == kFilingFile || m_nFilingMode == kFilingFolderName);
    if (m_bFiling && m_nFilingMode == kFilingFolderName
        && (!FitsLength(m_strFolderName, kMaxFilingFolderName) || !jobcheck::IsQuotableValue(m_strFolderName))) {
        Warn(IDS_BAD_FOLDER_NAME);
        return false;
    }
    // The device may list a name that the job stream cannot carry: filing into it would fail the send.
    if (m_bFiling && m_nFilingMode == kFilingFile && m_nSelected >= 0 && m_nSelected < RowCount()
        && !jobcheck::IsQuotableValue(m_Folders[static_cast<size_t>(m_nSelected)].strName)) {
        Warn(IDS_BAD_FOLDER_NAME);
        return false;
    }
    if (folderMode && !IsPassCode(m_strFolderPassCode, true)) {
        Warn(IDS_BAD_FOLDER_PASSCODE);
        m_strFolderPassCode.clear();
        return false;
    }
    if (folderMode && !IsPassCode(m_strFilePassCode, true)) {
        Warn(IDS_BAD_FILE_PASSCODE);
        m_strFilePassCode.clear();
        return false;
    }
    if (m_bAccount && !IsPassCode(m_strAccountNumber, false)) {
        Warn(IDS_BAD_ACCOUNT_NUMBER);
        m_strAccountNumber.clear();
        return false;
    }

    const CRegistryHelper& user = UserSettings();
    if (m_bKeepUserName)
        user.WriteString(kProductSubkey, "JobIDUserName", m_strUserName);
    if (m_bKeepJobName)
        user.WriteString(kProductSubkey, "JobIDPassCode", m_strJobName);
    user.WriteDword(kProductSubkey, "JobIDAlwaysUseName", static_cast<uint32_t>(m_bKeepUserName));
    user.WriteDword(kProductSubkey, "JobIDAlwaysUse", static_cast<uint32_t>(m_bKeepJobName));

    if (m_bChanged) {
        m_bSettingsChanged = true;
        m_bChanged = false;
        // The preview rebuilds the job from the new settings.
        m_Sheet.m_bChanged = 1;
    }
    if (m_bSettingsChanged) {
        std::string folderName;
        int folderType = 0;
        if (!FolderOfMode(folderName, folderType))
            return false;
        m_Sheet.m_JobParameters.Assign(m_bBroadcast, m_bNotification, m_bHeader, m_strHeaderText, m_bFiling,
                                       folderType, folderName, m_strFolderPassCode, m_strFilePassCode, m_bAccount,
                                       m_strAccountNumber, m_HeaderFont);
    }
    return true;
}

bool CPPSetParamsLogic::FolderOfMode(std::string& strName, int& nType)
{
    strName.clear();
    nType = 0;
    // Without filing no folder is asked for: the device files nothing.
    if (!m_bFiling || m_nFilingMode == kFilingQuick)
        return true;
    if (m_nFilingMode == kFilingFolderName) {
        strName = m_strFolderName;
        nType = kFolderListed;
        return true;
    }
    if (m_nSelected < 0 || m_nSelected >= RowCount()) {
        Warn(IDS_NO_USER_FOLDER);
        return false;
    }
    const CFilingFolder& folder = m_Folders[static_cast<size_t>(m_nSelected)];
    strName = folder.strName;
    nType = folder.nFolderType;
    return true;
}

void CPPSetParamsLogic::ApplyHeaderBox()
{
    for (int id : kHeaderControls)
        Enable(id, m_bHeader != 0);
}

void CPPSetParamsLogic::OnHeader(int bChecked)
{
    m_bHeader = bChecked ? 1 : 0;
    ApplyHeaderBox();
    m_bChanged = true;
}

void CPPSetParamsLogic::ApplyFiling()
{
    for (int id : kFilingControls)
        Enable(id, m_bFiling != 0);
    ApplyModeTable();
    if (m_bFiling && m_nFilingMode == kFilingFile)
        EnsureRowSelected();
}

void CPPSetParamsLogic::ApplyModeTable()
{
    const int mode = std::clamp(m_nFilingMode, 0, 2);
    for (const ModeRule& rule : kModeTable)
        Enable(rule.nControlId, m_bFiling && rule.bModes[mode]);
}

void CPPSetParamsLogic::OnFiling(int bChecked)
{
    m_bFiling = bChecked ? 1 : 0;
    ApplyFiling();
    m_bChanged = true;
}

void CPPSetParamsLogic::OnFilingMode(int nMode)
{
    m_nFilingMode = std::clamp(nMode, 0, 2);
    ApplyModeTable();
    if (m_nFilingMode == kFilingFile)
        EnsureRowSelected();
    m_bChanged = true;
}

void CPPSetParamsLogic::EnsureRowSelected()
{
    if (m_Folders.empty())
        return;
    // The first row, then the one selected before: the earlier selection wins.
    const int before = m_nSelected;
    OnFolderSelected(0);
    if (before >= 0)
        OnFolderSelected(before);
}

void CPPSetParamsLogic::OnFolderSelected(int nRow)
{
    m_nSelected = nRow >= 0 && nRow < RowCount() ? nRow : -1;
    // In mode File the folder pass code is asked for only by a protected folder.
    if (m_bFiling && m_nFilingMode == kFilingFile) {
        const bool bProtected = m_nSelected >= 0 && m_Folders[static_cast<size_t>(m_nSelected)].bPassword != 0;
        Enable(IDC_PARAM_FOLDER_PASS_LABEL, bProtected);
        Enable(IDC_PARAM_FOLDER_PASS, bProtected);
    }
    m_bChanged = true;
}

void CPPSetParamsLogic::OnAccount(int bChecked)
{
    m_bAccount = bChecked ? 1 : 0;
    Enable(IDC_PARAM_ACCOUNT_NUMBER, m_bAccount != 0);
    m_bChanged = true;
}

std::string CPPSetParamsLogic::TagName(int nButtonId)
{
    const int index = nButtonId - IDC_PARAM_TAG_DATE;
    if (index < 0 || index >= static_cast<int>(std::size(kTags)))
        return {};
    const std::string tag = kTags[index];
    return tag.substr(1, tag.size() - 2);
}

size_t CPPSetParamsLogic::InsertTag(int nButtonId, size_t nCaret)
{
    const int index = nButtonId - IDC_PARAM_TAG_DATE;
    if (index < 0 || index >= static_cast<int>(std::size(kTags)))
        return nCaret;
    nCaret = std::min(nCaret, m_strHeaderText.size());
    // Never inside a character.
    while (nCaret > 0 && (static_cast<unsigned char>(m_strHeaderText[nCaret]) & 0xC0) == 0x80)
        --nCaret;
    const std::string tag = kTags[index];
    m_strHeaderText.insert(nCaret, tag);
    m_bChanged = true;
    return nCaret + tag.size();
}

void CPPSetParamsLogic::ShowFolders(std::vector<CFilingFolder> folders)
{
    m_Folders = std::move(folders);
    m_nSelected = -1;
    if (!m_Folders.empty())
        OnFolderSelected(0);
}

void CPPSetParamsLogic::OnUpdateFolder()
{
    m_bChanged = true;
    if (m_Sheet.m_nModelType != 3 || !m_bInitialized)
        return;
    const FolderUpdateTarget target{m_Sheet.m_strPrinter, m_Sheet.m_strPortName, m_strFolderInfoPath};
    std::vector<CFilingFolder> folders = m_Folders;
    if (m_Update.Update(target, folders))
        ShowFolders(std::move(folders));
}

std::vector<FolderColumn> CPPSetParamsLogic::Columns() const
{
    if (m_nProtocolVersion <= 1)
        return {{IDS_FOLDER_COLUMN_NAME, 310, false}};
    return {{IDS_FOLDER_COLUMN_NAME, 150, false}, {IDS_FOLDER_COLUMN_SIZE, 80, true}, {IDS_FOLDER_COLUMN_DATE, 80, false}};
}

FolderRowView CPPSetParamsLogic::Row(int nRow) const
{
    FolderRowView view;
    if (nRow < 0 || nRow >= RowCount())
        return view;
    const CFilingFolder& folder = m_Folders[static_cast<size_t>(nRow)];
    view.strName = folder.strName;
    view.nImage = folder.nFolderType == kFolderMain ? 2 : folder.bPassword != 0 ? 1 : 0;
    if (m_nProtocolVersion > 1) {
        view.strSize = SizeText(folder.nSize);
        view.strDate = DateText(folder.nLowDateTime, folder.nHighDateTime);
    }
    return view;
}
