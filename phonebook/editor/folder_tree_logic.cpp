#include "phonebook/editor/folder_tree_logic.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/editor/record_list_logic.h"
#include "platform/bstr.h"

#include <algorithm>

using platform::com::Bstr;

CQeltapbTreeViewLogic::CQeltapbTreeViewLogic(CQeltapbDoc& doc, IPrompter& prompter, RenameDialog rename)
    : m_Doc(doc), m_Prompter(prompter), m_Rename(std::move(rename))
{
}

bool CQeltapbTreeViewLogic::CanEditFolder() const
{
    const int current = m_Doc.CurrentFolderID();
    return current != kRootFolderId && current != kFavoriteFolderId;
}

bool CQeltapbTreeViewLogic::DeleteFolder()
{
    IBookmanagerTool* book = m_Doc.BookTool();
    if (!book || !CanEditFolder())
        return false;
    if (m_Prompter.MessageBox(LoadResourceString(IDS_DELETE_QUESTION), LoadResourceString(IDS_EDITOR_TITLE),
                              MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    if (book->RemoveFolder(m_Doc.CurrentFolderID()) != S_OK)
        return false;
    m_Doc.ReloadAll();
    return true;
}

bool CQeltapbTreeViewLogic::RenameFolder()
{
    IBookmanagerTool* book = m_Doc.BookTool();
    if (!book || !CanEditFolder())
        return false;
    const int32_t id = m_Doc.CurrentFolderID();
    int32_t type = 0;
    Bstr name;
    if (book->GetFolderInfo(id, &type, name.out()) != S_OK)
        return false;
    const std::string old = name.ansi();
    const std::optional<std::string> renamed = m_Rename(old, [this](const std::string& strName) { return NameInUse(strName); });
    if (!renamed || *renamed == old)
        return false;
    const Bstr newName(*renamed);
    if (book->RenameFolder(id, newName.get()) != S_OK)
        return false;
    m_Doc.ReloadAll();
    return true;
}

bool CQeltapbTreeViewLogic::NameInUse(const std::string& strName) const
{
    const int current = m_Doc.CurrentFolderID();
    return std::ranges::any_of(m_Doc.Folders(), [&](const std::unique_ptr<CFolder>& folder) {
        return folder->m_nType == PB_FOLDER_USER && folder->m_nID != current && folder->m_strName == strName;
    });
}

bool CQeltapbTreeViewLogic::CanDropOn(const CFolder* pFolder) const
{
    return pFolder && pFolder->m_nType != PB_FOLDER_FAVORITE && pFolder->m_nID != m_Doc.CurrentFolderID();
}

bool CQeltapbTreeViewLogic::Drop(int nRecordID, const CFolder* pFolder)
{
    if (!CanDropOn(pFolder) || !m_Doc.MoveRecord(nRecordID, pFolder->m_nID))
        return false;
    if (m_Doc.CurrentFolderID() == kFavoriteFolderId)
        return true;
    for (const auto& address : m_Doc.Records())
        if (address->m_nID == nRecordID) {
            m_Doc.RemoveRecord(address.get());
            break;
        }
    return true;
}
