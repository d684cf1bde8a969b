// The editor's own dialogs: Rename Folder (DIALOG 1000) and About (DIALOG 1012).
#pragma once

#include "phonebook/editor/editor_dialogs_logic.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

class CDFolderName : public QDialog {
    Q_OBJECT
public:
    CDFolderName(CDFolderNameLogic& logic, QWidget* parent = nullptr);
    void accept() override;

private:
    CDFolderNameLogic& m_Logic;
    QLineEdit* m_pName;
};

/// Runs Rename Folder over a folder's name, refusing names inUse says another folder has; the new
/// name after OK, nothing after Cancel.
std::optional<std::string> RunRenameFolder(IPrompter& prompter, const std::string& strName, const FolderNameInUse& inUse,
                                           QWidget* parent);

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    /// notice: the notice line (DATA.TAG's "Misc").
    CAboutDlg(const std::string& strNotice, QWidget* parent = nullptr);
};

/// An icon of the editor's pictures by resource id (folders 131-142, drag pictures 143 and 144,
/// the program 128).
QIcon EditorIcon(int nId);
