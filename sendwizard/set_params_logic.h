// The Set Job Parameter page without its widgets: compression, the driver header and its font,
// broadcasting, job-end notification, the default Job ID, document filing with the device's folder
// list and the account number, handed to the sheet's job settings on Next.
#pragma once

#include "common/header_font.h"
#include "sendwizard/folder_info.h"
#include "sendwizard/folder_update.h"
#include "sendwizard/sheet_logic.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class IPrompter;

/// The page's controls.
enum : int {
    IDC_PARAM_BROADCAST = 1069,
    IDC_PARAM_HEADER = 1070,
    IDC_PARAM_NOTIFY = 1071,
    IDC_PARAM_COMPRESSION_GROUP = 1072,
    IDC_PARAM_ACCOUNT_GROUP = 1073,
    IDC_PARAM_ACCOUNT = 1074,
    IDC_PARAM_COMPRESSION = 1077,
    IDC_PARAM_HEADER_GROUP = 1078,
    IDC_PARAM_HEADER_TEXT = 1079,
    IDC_PARAM_FOLDER_LIST = 1081,
    IDC_PARAM_MODE_FILE = 1082,
    IDC_PARAM_MODE_QUICK = 1083,
    IDC_PARAM_FILING = 1084,
    IDC_PARAM_FOLDER_PASS = 1085,
    IDC_PARAM_FOLDER_PASS_LABEL = 1086,
    IDC_PARAM_UPDATE_FOLDER = 1087,
    IDC_PARAM_FILING_GROUP = 1088,
    IDC_PARAM_FILE_PASS = 1089,
    IDC_PARAM_FILE_PASS_LABEL = 1090,
    IDC_PARAM_MODE_NAME = 1091,
    IDC_PARAM_FOLDER_NAME = 1092,
    IDC_PARAM_ACCOUNT_NUMBER = 1098,
    IDC_PARAM_TAG_DATE = 1099,
    IDC_PARAM_TAG_USER = 1100,
    IDC_PARAM_TAG_TELNO = 1101,
    IDC_PARAM_TAG_PAGENO = 1102,
    IDC_PARAM_KEEP_USER = 1103,
    IDC_PARAM_USER_NAME = 1104,
    IDC_PARAM_JOB_NAME = 1105,
    IDC_PARAM_KEEP_JOB = 1106,
};

/// The page's texts.
enum : uint32_t {
    IDS_COMPRESSION_MMR = 610,
    IDS_COMPRESSION_MH = 611,
    IDS_COMPRESSION_MR = 612,
    IDS_FOLDER_SIZE = 615, ///< "%d bytes"
    IDS_FOLDER_COLUMN_NAME = 620,
    IDS_FOLDER_COLUMN_SIZE = 621,
    IDS_FOLDER_COLUMN_DATE = 622,
    IDS_NO_USER_FOLDER = 2001,
    IDS_BAD_ACCOUNT_NUMBER = 2006,
    IDS_BAD_USER_NAME = 2007,
    IDS_BAD_JOB_NAME = 2008,
    IDS_BAD_FOLDER_PASSCODE = 2009,
    IDS_BAD_FILE_PASSCODE = 2100,
    IDS_BAD_FOLDER_NAME = 2101,
};

/// The pictures of the page: the tag buttons' bitmaps (1099 to 1102 in order) and the folder icons.
inline constexpr uint32_t kTagBitmaps[4] = {141, 142, 143, 144};
inline constexpr uint32_t kFolderIcons[3] = {131, 134, 139};

/// Filing modes (the radio group 1083, 1082, 1091).
enum : int { kFilingQuick = 0, kFilingFile = 1, kFilingFolderName = 2 };

/// The longest texts the device takes, in bytes.
inline constexpr size_t kMaxJobUserName = 16;
inline constexpr size_t kMaxJobName = 80;
inline constexpr size_t kMaxFilingFolderName = 28;
/// Pass codes and the account number: exactly this many digits.
inline constexpr size_t kPassCodeDigits = 5;

/// One column of the folder list.
struct FolderColumn {
    uint32_t nTitle;
    int nWidth;
    bool bRightAligned;
};

/// The texts and image of one folder row.
struct FolderRowView {
    std::string strName, strSize, strDate;
    int nImage = 0; ///< 0 folder, 1 protected folder, 2 main folder
    bool operator==(const FolderRowView&) const = default;
};

/// The header font of a face and a size in tenths of a point, made for a work file of a horizontal
/// resolution: a point font of resolution x size / 400 tenths, its height in pixels at 96 per inch.
LOGFONTA MakeHeaderFont(const std::string& strFace, int nSize, int nXResolution);

class CPPSetParamsLogic {
public:
    /// The face of the page's own font, else of the icon-title font; empty when neither is known.
    using DefaultFace = std::function<std::string()>;

    /// update: Update Folder, working on the folder records of this page.
    CPPSetParamsLogic(CPSMainuiLogic& sheet, IPrompter& prompter, CFolderUpdate& update,
                      DefaultFace defaultFace = {});

    // ---- the page's values ----
    int m_nCompression = -1;
    int m_bHeader = 0;
    std::string m_strHeaderText;
    int m_bBroadcast = 1;
    int m_bNotification = 1;
    int m_bFiling = 0;
    int m_nFilingMode = kFilingFile;
    std::string m_strFolderName;
    std::string m_strFolderPassCode;
    std::string m_strFilePassCode;
    int m_bAccount = 0;
    std::string m_strAccountNumber;
    std::string m_strUserName, m_strJobName;
    int m_bKeepUserName = 0, m_bKeepJobName = 0;

    /// First set-up: the header font, the compression choices, the model type's gating and, on
    /// model type 3, the cached folder list. The caller then posts OnSelectCompression.
    void OnInitDialog();
    bool IsInitialized() const { return m_bInitialized; }
    /// The page's own posted message: selects the command line's compression in the combo.
    void OnSelectCompression();
    /// Each activation: the broadcast rule and the Job ID defaults.
    void OnSetActive();
    /// Next: false (after a message) keeps the page; otherwise the job settings are filled.
    bool OnWizardNext();

    // ---- handlers ----
    void OnHeader(int bChecked);
    void OnFiling(int bChecked);
    void OnFilingMode(int nMode);
    /// The list's selection moved to a row (-1: none).
    void OnFolderSelected(int nRow);
    void OnAccount(int bChecked);
    /// A tag button: its tag goes into the header text at the caret (a byte offset); the caret
    /// after the tag is returned.
    size_t InsertTag(int nButtonId, size_t nCaret);
    /// The tag a tag button inserts, without its spaces ("$DATE"): the button's name for the user.
    static std::string TagName(int nButtonId);
    /// Update Folder (model type 3).
    void OnUpdateFolder();
    /// A value changed without a rule of its own (the edits, the plain boxes, the combo).
    void OnChanged() { m_bChanged = true; }

    // ---- what the controls show ----
    bool IsEnabled(int nControlId) const;
    bool IsChanged() const { return m_bChanged; }
    const std::vector<std::string>& CompressionItems() const { return m_CompressionItems; }
    std::vector<FolderColumn> Columns() const;
    int RowCount() const { return static_cast<int>(m_Folders.size()); }
    FolderRowView Row(int nRow) const;
    int SelectedRow() const { return m_nSelected; }
    const std::vector<CFilingFolder>& Folders() const { return m_Folders; }
    const LOGFONTA& HeaderFont() const { return m_HeaderFont; }

private:
    void Enable(int nControlId, bool bEnable) { m_Enabled[nControlId] = bEnable; }
    void Warn(uint32_t nTextId);
    void MakeHeaderFont();
    void ApplyHeaderBox();
    void ApplyFiling();
    void ApplyModeTable();
    void EnsureRowSelected();
    void ShowFolders(std::vector<CFilingFolder> folders);
    /// The folder name and type the job gets; false (after STRING 2001) when none is selected.
    bool FolderOfMode(std::string& strName, int& nType);

    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    CFolderUpdate& m_Update;
    DefaultFace m_DefaultFace;
    bool m_bInitialized = false;
    bool m_bChanged = false;
    /// Once set, every Next fills the job settings.
    bool m_bSettingsChanged = false;
    std::unordered_map<int, bool> m_Enabled;
    std::vector<std::string> m_CompressionItems;
    int m_nProtocolVersion = 0;
    std::string m_strFolderInfoPath;
    std::vector<CFilingFolder> m_Folders;
    int m_nSelected = -1;
    LOGFONTA m_HeaderFont{};
};
