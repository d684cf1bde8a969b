// The editor's own dialogs without their widgets: Rename Folder and About.
#pragma once

#include <string>

class IPrompter;

/// Dialog and control ids.
enum : int {
    IDD_RENAME_FOLDER = 1000,
    IDC_FOLDER_NAME = 1001,
    IDD_ABOUTBOX = 1012,
    IDC_ABOUT_NOTICE = 1012,
};
/// Texts of the dialogs.
enum : uint32_t { IDS_EMPTY_FOLDER_NAME = 5003 };
/// The longest notice line of the About box, in bytes.
inline constexpr size_t kMaxAboutNotice = 259;

/// Rename Folder: OK with an empty name complains and keeps the dialog open.
class CDFolderNameLogic {
public:
    CDFolderNameLogic(IPrompter& prompter, std::string strName) : m_Prompter(prompter), m_strName(std::move(strName)) {}
    const std::string& Name() const { return m_strName; }
    void SetName(std::string strName) { m_strName = std::move(strName); }
    /// True when the dialog may end with OK; an empty name shows STRING 5003 first.
    bool Accept();

private:
    IPrompter& m_Prompter;
    std::string m_strName;
};

/// The About box's notice line: "Misc" of [TagInfo] in DATA.TAG of the folder, at most 259 bytes
/// (never a split character), empty when there is none.
std::string ReadAboutNotice(const std::string& strFolder);
