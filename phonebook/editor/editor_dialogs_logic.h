// The editor's own dialogs without their widgets: Rename Folder and About.
#pragma once

#include "phonebook/dialogs/folder_name_check.h"

#include <string>

class IPrompter;

/// Dialog and control ids.
enum : int {
    IDD_RENAME_FOLDER = 1000,
    IDC_FOLDER_NAME = 1001,
    IDD_ABOUTBOX = 1012,
    IDC_ABOUT_NOTICE = 1012,
};
/// The About box's version line, which has no control id of its own. The dialogs' texts are the
/// strings dialog id x 10000 + control id (control 0: the caption; a label takes the id of the
/// control it names).
inline constexpr int kAboutVersionText = 9001;
/// Texts of the dialogs.
enum : uint32_t { IDS_EMPTY_FOLDER_NAME = 5003 };
/// The longest notice line of the About box, in bytes.
inline constexpr size_t kMaxAboutNotice = 259;

/// Rename Folder: OK with an empty name, or with a name another folder of the book has, complains
/// and keeps the dialog open.
class CDFolderNameLogic {
public:
    /// inUse: whether another user folder of the book has a name (null: none is known).
    CDFolderNameLogic(IPrompter& prompter, std::string strName, FolderNameInUse inUse = {})
        : m_Prompter(prompter), m_strName(std::move(strName)), m_InUse(std::move(inUse))
    {
    }
    const std::string& Name() const { return m_strName; }
    void SetName(std::string strName) { m_strName = std::move(strName); }
    /// True when the dialog may end with OK; an empty name shows STRING 5003 first, a name in use
    /// the phone book dialogs' refusal of it (STRING 1101), as New Folder does.
    bool Accept();

private:
    IPrompter& m_Prompter;
    std::string m_strName;
    FolderNameInUse m_InUse;
};

/// The About box's notice line: "Misc" of [TagInfo] in DATA.TAG of the folder, at most 259 bytes
/// (never a split character), empty when there is none.
std::string ReadAboutNotice(const std::string& strFolder);
