// The folder tree without its widget: the grey rules of the folder commands, Delete Folder, Rename
// Folder, and where a dragged record may be dropped.
#pragma once

#include "phonebook/dialogs/folder_name_check.h"
#include "phonebook/editor/bookmanager_doc.h"

#include <functional>
#include <optional>
#include <string>

class IPrompter;

/// The tree's commands.
enum : int { ID_EDIT_DELETEFOLDER = 32787, ID_EDIT_RENAMEFOLDER = 32788 };
/// The tree's root text.
enum : uint32_t { IDS_TREE_ROOT = 4004 };

class CQeltapbTreeViewLogic {
public:
    /// Asks for a folder's new name, starting from the old one, refusing names inUse says another
    /// folder has; nothing after Cancel.
    using RenameDialog = std::function<std::optional<std::string>(const std::string& strName, const FolderNameInUse& inUse)>;
    CQeltapbTreeViewLogic(CQeltapbDoc& doc, IPrompter& prompter, RenameDialog rename);

    /// Delete Folder and Rename Folder are off on the root and the favourite folder.
    bool CanEditFolder() const;
    /// Asks, removes the current folder and reloads; a failure ends silently. True when removed.
    bool DeleteFolder();
    /// Renames the current folder through the dialog and reloads; the same name does nothing.
    bool RenameFolder();
    /// A user folder other than the current one has that name (compared case-sensitively, as the
    /// phone book dialogs compare a new folder's name).
    bool NameInUse(const std::string& strName) const;

    /// A record may be dropped on a folder other than the favourite and the current one.
    bool CanDropOn(const CFolder* pFolder) const;
    /// Moves a dragged record of the list into a folder. Its row goes when the move succeeded,
    /// except in the favourite folder (the record stays a favourite). True when it moved.
    bool Drop(int nRecordID, const CFolder* pFolder);

private:
    CQeltapbDoc& m_Doc;
    IPrompter& m_Prompter;
    RenameDialog m_Rename;
};
