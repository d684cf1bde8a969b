// The editor's frame: the folder tree and the record list side by side over one document, the
// menus, accelerators, toolbar and status bar, help, and the endpoint other programs find it by.
#pragma once

#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/folder_tree_logic.h"
#include "phonebook/editor/recent_files.h"
#include "phonebook/editor/record_list_logic.h"
#include "phonebook/editor/startup.h"
#include "uiwidgets/help.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QTreeView>
#include <QTreeWidget>

#include <map>
#include <memory>

class IPrompter;
class QAction;
class QMenu;
class QSocketNotifier;
class QSplitter;

/// The rows of the record list: a model over the list logic's rows.
class CRecordModel : public QAbstractTableModel, public CQeltapbViewLogic::IRowsObserver {
    Q_OBJECT
public:
    explicit CRecordModel(CQeltapbViewLogic& logic, QObject* parent = nullptr);
    ~CRecordModel() override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void OnRowsReset() override;
    void OnRowAppended(int nRow) override;
    void OnRowChanged(int nRow) override;
    void OnRowRemoving(int nRow) override;
    void OnRowRemoved() override;

private:
    CQeltapbViewLogic& m_Logic;
};

/// The record list: report rows of the current folder; rows are dragged onto the tree.
class CQeltapbView : public QTreeView {
    Q_OBJECT
public:
    CQeltapbView(CQeltapbViewLogic& logic, QWidget* parent = nullptr);
    /// The selected row, -1 without one.
    int SelectedRow() const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    CQeltapbViewLogic& m_Logic;
    CRecordModel* m_pModel;
};

/// The folder tree: the root with every other folder under it; a drop target for records.
class CQeltapbTreeView : public QTreeWidget, public IBookDocObserver {
    Q_OBJECT
public:
    CQeltapbTreeView(CQeltapbDoc& doc, CQeltapbTreeViewLogic& logic, QWidget* parent = nullptr);
    ~CQeltapbTreeView() override;
    /// The folder of an item (null for none).
    static CFolder* FolderOf(const QTreeWidgetItem* item);
    /// The item drawn as the drop target, null when none.
    QTreeWidgetItem* DropHighlight() const { return m_pDropItem; }

    void OnUpdate(int nHint) override;
    void OnFolderAdded(CFolder* pFolder) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Highlight(QTreeWidgetItem* item);
    void OnCurrentChanged(QTreeWidgetItem* item);

    CQeltapbDoc& m_Doc;
    CQeltapbTreeViewLogic& m_Logic;
    QTreeWidgetItem* m_pRoot = nullptr;
    QTreeWidgetItem* m_pDropItem = nullptr;
    int m_bSelect = 1;
    bool m_bDragKnown = false;
};

class CMainFrame : public QMainWindow, public IBookDocObserver {
    Q_OBJECT
public:
    /// progress: the display the loading runs behind (null: the shared progress dialog).
    CMainFrame(IPrompter& prompter, IBookDialogs& dialogs, const std::string& strBookPath,
               IProgressRunner* progress = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CQeltapbDoc& Document() { return *m_pDoc; }
    CQeltapbTreeView* TreeView() const { return m_pTree; }
    CQeltapbView* ListView() const { return m_pList; }
    QSplitter* Splitter() const { return m_pSplitter; }
    /// The action of a command id (named "id<command>").
    QAction* Action(int nId) const;

    /// Replaces Rename Folder's dialog (tests).
    void SetRenameDialog(CQeltapbTreeViewLogic::RenameDialog dialog) { m_RenameOverride = std::move(dialog); }
    /// Replaces the desktop's help handler (tests).
    void SetHelpOpener(HelpOpener opener) { m_HelpOpener = std::move(opener); }
    /// Takes the front requests posted to the editor's endpoint.
    void HoldEndpoint(platform::Endpoint& endpoint);
    /// Runs the first loading once the window is up (queued).
    void StartLoading();

    void OnUpdate(int nHint) override;

private:
    QAction* AddAction(int nId, const QString& text, const QKeySequence& key = {});
    void BuildMenus();
    void UpdateActions();
    void UpdateTitle();
    void UpdateStatus();
    void UpdateRecentFiles();
    /// A context menu's name and its "New" popup.
    void StartContextMenu(QMenu& menu, int nMenuId);
    void ShowFolderMenu(const QPoint& pos);
    void ShowRecordMenu(const QPoint& pos);
    void ShowHelp();
    void ShowAbout();
    void OpenFile();
    /// Opens a book file at once (Ctrl+O, a recent file); a missing one is named and leaves the list.
    void OpenRecent(const std::string& strPath);
    void PrintList();
    void SwitchPane();
    void DocumentCommand(bool bChanged);
    /// Import Phone Book or Export Phone Book: the document's backup around the dialog.
    void ConvertBook(ConverterKind kind);

    IPrompter& m_Prompter;
    IBookDialogs& m_Dialogs;
    std::unique_ptr<IProgressRunner> m_pOwnProgress;
    IProgressRunner* m_pProgress = nullptr;
    std::unique_ptr<CQeltapbDoc> m_pDoc;
    std::unique_ptr<CQeltapbViewLogic> m_pListLogic;
    std::unique_ptr<CQeltapbTreeViewLogic> m_pTreeLogic;
    CQeltapbTreeView* m_pTree = nullptr;
    CQeltapbView* m_pList = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentSeparator = nullptr;
    std::vector<QAction*> m_RecentActions;
    std::map<int, QAction*> m_Actions;
    CRecentFileList m_Recent;
    CQeltapbTreeViewLogic::RenameDialog m_RenameOverride;
    HelpOpener m_HelpOpener;
    QSocketNotifier* m_pNotifier = nullptr;
    platform::Endpoint* m_pEndpoint = nullptr;
};

/// The program's host: the frame over the book, shown and run by the application.
class CQtEditorHost : public IEditorHost {
public:
    CQtEditorHost(IPrompter& prompter, IBookDialogs& dialogs) : m_Prompter(prompter), m_Dialogs(dialogs) {}
    ~CQtEditorHost() override;
    void CreateFrame(const std::string& strBookPath) override;
    int Run(platform::Endpoint& endpoint) override;
    CMainFrame* Frame() const { return m_pFrame.get(); }

private:
    IPrompter& m_Prompter;
    IBookDialogs& m_Dialogs;
    std::unique_ptr<CMainFrame> m_pFrame;
};
