#include "phonebook/editor/app/main_frame.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/dialogs/phone_book_lock.h"
#include "phonebook/editor/app/converter_dialog.h"
#include "phonebook/editor/app/editor_dialogs.h"
#include "phonebook/editor/editor_dialogs_logic.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/library.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/control_text.h"
#include "uiwidgets/progress_runner.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QCollator>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QSocketNotifier>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

namespace {

// The framework's command ids the frame handles.
enum : int {
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
    ID_HELP = 57670,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_WINDOW_SPLIT = 57653,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT = 57607,
    ID_FILE_MRU_FILE1 = 57616,
    AFX_IDS_IDLEMESSAGE = 61446,
};

// The menus' texts (the main menu's and the context menus'): the string menu id x 10000 + command
// id, a popup's the string menu id x 10000 + its position.
constexpr uint32_t kMainMenu = 128;
QString MenuText(uint32_t nMenu, int nItem) { return ControlText(static_cast<int>(nMenu), nItem); }

// The image of a row: a group or an address.
int RecordIcon(const CAddress& address) { return address.m_nType == PB_RECORD_GROUP ? 137 : 135; }

// The normal image of a folder item by its type.
int FolderIcon(int nType) { return nType == PB_FOLDER_ROOT ? 141 : nType == PB_FOLDER_FAVORITE ? 139 : 131; }

QString FormatName() { return QString::fromLatin1(kRecordDragFormat); }

} // namespace

// ---- record model ----

CRecordModel::CRecordModel(CQeltapbViewLogic& logic, QObject* parent) : QAbstractTableModel(parent), m_Logic(logic)
{
    m_Logic.SetRowsObserver(this);
}

CRecordModel::~CRecordModel() { m_Logic.SetRowsObserver(nullptr); }

int CRecordModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_Logic.RowCount(); }

int CRecordModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kRecordColumns.size());
}

QVariant CRecordModel::data(const QModelIndex& index, int role) const
{
    const CAddress* address = m_Logic.Row(index.row());
    if (!address)
        return {};
    if (role == Qt::DisplayRole)
        return QtText(RecordColumnText(*address, index.column()));
    if (role == Qt::DecorationRole && index.column() == 0)
        return EditorIcon(RecordIcon(*address));
    return {};
}

QVariant CRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(kRecordColumns.size()))
        return {};
    return QtText(LoadResourceString(kRecordColumns[static_cast<size_t>(section)].nTitle));
}

Qt::ItemFlags CRecordModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled : Qt::NoItemFlags;
}

void CRecordModel::OnRowsReset()
{
    beginResetModel();
    endResetModel();
}

void CRecordModel::OnRowAppended(int nRow)
{
    beginInsertRows({}, nRow, nRow);
    endInsertRows();
}

void CRecordModel::OnRowChanged(int nRow) { emit dataChanged(index(nRow, 0), index(nRow, columnCount() - 1)); }

void CRecordModel::OnRowRemoving(int nRow) { beginRemoveRows({}, nRow, nRow); }

void CRecordModel::OnRowRemoved() { endRemoveRows(); }

// ---- record list ----

CQeltapbView::CQeltapbView(CQeltapbViewLogic& logic, QWidget* parent)
    : QTreeView(parent), m_Logic(logic), m_pModel(new CRecordModel(logic, this))
{
    setModel(m_pModel);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsMovable(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    for (size_t i = 0; i < kRecordColumns.size(); ++i)
        header()->resizeSection(static_cast<int>(i), kRecordColumns[i].nWidth);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_Logic.SortByColumn(column);
        header()->setSortIndicatorShown(true);
        header()->setSortIndicator(column, m_Logic.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
}

int CQeltapbView::SelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CQeltapbView::startDrag(Qt::DropActions supportedActions)
{
    static_cast<void>(supportedActions);
    const CAddress* address = m_Logic.Row(SelectedRow());
    if (!address)
        return;
    const auto bytes = EncodeRecordDrag(address->m_nID);
    auto* data = new QMimeData;
    data->setData(FormatName(), QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(EditorIcon(address->m_nType == PB_RECORD_GROUP ? 143 : 144).pixmap(32, 32));
    drag->setHotSpot(QPoint(16, 16));
    // The drop itself takes the row away (only when the move succeeded).
    drag->exec(Qt::MoveAction);
}

// ---- folder tree ----

CQeltapbTreeView::CQeltapbTreeView(CQeltapbDoc& doc, CQeltapbTreeViewLogic& logic, QWidget* parent)
    : QTreeWidget(parent), m_Doc(doc), m_Logic(logic)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_Doc.AddObserver(this);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { OnCurrentChanged(item); });
}

CQeltapbTreeView::~CQeltapbTreeView() { m_Doc.RemoveObserver(this); }

CFolder* CQeltapbTreeView::FolderOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<CFolder*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

void CQeltapbTreeView::OnCurrentChanged(QTreeWidgetItem* item)
{
    if (m_bSelect == 1 && item)
        if (const CFolder* folder = FolderOf(item))
            m_Doc.SelectFolder(folder->m_nID);
}

void CQeltapbTreeView::OnUpdate(int nHint)
{
    if (nHint != kHintAll)
        return;
    m_bSelect = 0;
    m_pDropItem = nullptr;
    clear();
    m_pRoot = nullptr;
    const auto& folders = m_Doc.Folders();
    auto item = [](QTreeWidgetItem* parent, const QString& text, CFolder* folder, int icon) {
        auto* added = new QTreeWidgetItem(parent, QStringList(text));
        added->setIcon(0, EditorIcon(icon));
        added->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(folder)));
        return added;
    };
    if (!folders.empty()) {
        m_pRoot = new QTreeWidgetItem(this, QStringList(QtText(LoadResourceString(IDS_TREE_ROOT))));
        m_pRoot->setIcon(0, EditorIcon(141));
        m_pRoot->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(folders.front().get())));
        for (size_t i = 1; i < folders.size(); ++i)
            item(m_pRoot, QtText(folders[i]->m_strName), folders[i].get(), FolderIcon(folders[i]->m_nType));
        m_pRoot->setExpanded(true);
        setCurrentItem(m_pRoot);
    }
    m_bSelect = 1;
}

void CQeltapbTreeView::OnFolderAdded(CFolder* pFolder)
{
    if (!m_pRoot)
        return;
    auto* added = new QTreeWidgetItem(m_pRoot, QStringList(QtText(pFolder->m_strName)));
    added->setIcon(0, EditorIcon(FolderIcon(pFolder->m_nType)));
    added->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(pFolder)));
    m_pRoot->setExpanded(true);
    setCurrentItem(added);
}

void CQeltapbTreeView::Highlight(QTreeWidgetItem* item)
{
    if (item == m_pDropItem)
        return;
    if (m_pDropItem) {
        m_pDropItem->setData(0, Qt::BackgroundRole, {});
        m_pDropItem->setData(0, Qt::ForegroundRole, {});
    }
    m_pDropItem = item;
    if (m_pDropItem) {
        m_pDropItem->setData(0, Qt::BackgroundRole, palette().brush(QPalette::Highlight));
        m_pDropItem->setData(0, Qt::ForegroundRole, palette().brush(QPalette::HighlightedText));
    }
}

void CQeltapbTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    m_bDragKnown = event->mimeData()->hasFormat(FormatName()) &&
                   DecodeRecordDrag(event->mimeData()->data(FormatName()).toStdString()).has_value();
    if (!m_bDragKnown) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CQeltapbTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (!m_bDragKnown || !m_Logic.CanDropOn(FolderOf(item))) {
        Highlight(nullptr);
        event->ignore();
        return;
    }
    Highlight(item);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CQeltapbTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    Highlight(nullptr);
    m_bDragKnown = false;
    event->accept();
}

void CQeltapbTreeView::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    Highlight(nullptr);
    const std::optional<int> record = event->mimeData()->hasFormat(FormatName())
                                          ? DecodeRecordDrag(event->mimeData()->data(FormatName()).toStdString())
                                          : std::nullopt;
    m_bDragKnown = false;
    if (!record || !m_Logic.Drop(*record, FolderOf(item))) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

// ---- frame ----

CMainFrame::CMainFrame(IPrompter& prompter, IBookDialogs& dialogs, const std::string& strBookPath,
                       IProgressRunner* progress, QWidget* parent)
    : QMainWindow(parent), m_Prompter(prompter), m_Dialogs(dialogs)
{
    setObjectName(QString::fromLatin1(kPhoneBookEditorClass));
    if (!progress) {
        m_pOwnProgress = std::make_unique<CQtProgressRunner>(this);
        progress = m_pOwnProgress.get();
    }
    m_pProgress = progress;
    m_pDoc = std::make_unique<CQeltapbDoc>(dialogs, *progress);
    m_pDoc->SetPathName(strBookPath);
    m_pDoc->SetPrompter(&m_Prompter);
    // The book opened at start enters the recent files, as every book opened does.
    if (!strBookPath.empty())
        m_Recent.Add(m_pDoc->GetPathName());
    m_pDoc->SetSystemErrorHandler([this] {
        m_Prompter.MessageBox(LoadResourceString(IDS_SYSTEM_ERROR), LoadResourceString(IDS_EDITOR_TITLE), MB_ICONWARNING);
    });
    m_pListLogic = std::make_unique<CQeltapbViewLogic>(*m_pDoc, dialogs, prompter);
    // Rows sort by the locale's collation, letters of any script without regard to case.
    auto collator = std::make_shared<QCollator>();
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    m_pListLogic->SetTextOrder([collator](const std::string& a, const std::string& b) {
        if (collator->locale() != QLocale())
            collator->setLocale(QLocale());
        return collator->compare(QtText(a), QtText(b));
    });
    m_pTreeLogic = std::make_unique<CQeltapbTreeViewLogic>(*m_pDoc, prompter, [this](const std::string& name, const FolderNameInUse& inUse) {
        return m_RenameOverride ? m_RenameOverride(name, inUse) : RunRenameFolder(m_Prompter, name, inUse, this);
    });
    m_pDoc->AddObserver(this);

    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pTree = new CQeltapbTreeView(*m_pDoc, *m_pTreeLogic, m_pSplitter);
    m_pList = new CQeltapbView(*m_pListLogic, m_pSplitter);
    m_pSplitter->addWidget(m_pTree);
    m_pSplitter->addWidget(m_pList);
    m_pSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_pSplitter);
    ChainTabOrder({m_pTree, m_pList});

    BuildMenus();
    statusBar()->showMessage(QtText(LoadResourceString(AFX_IDS_IDLEMESSAGE)));
    resize(760, 460);
    m_pSplitter->setSizes({760 / 4, 760 * 3 / 4});
    m_pList->setFocus();

    connect(m_pTree, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowFolderMenu);
    connect(m_pList, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowRecordMenu);
    connect(m_pList, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        m_pListLogic->OpenRow(index.row(), this);
    });
    // The status bar follows the selected record as it is now; without one it shows the idle text.
    auto follow = [this] {
        UpdateStatus();
        UpdateActions();
    };
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, follow);
    connect(m_pList->model(), &QAbstractItemModel::modelReset, this, follow);
    connect(m_pList->model(), &QAbstractItemModel::rowsRemoved, this, follow);
    connect(m_pList->model(), &QAbstractItemModel::dataChanged, this, &CMainFrame::UpdateStatus);
    InstallHelpKey(this, [this] { ShowHelp(); });
    UpdateTitle();
    UpdateActions();
}

CMainFrame::~CMainFrame()
{
    m_pDoc->RemoveObserver(this);
    // The views observe the document: they go first.
    delete m_pSplitter;
}

QAction* CMainFrame::Action(int nId) const
{
    const auto it = m_Actions.find(nId);
    return it == m_Actions.end() ? nullptr : it->second;
}

QAction* CMainFrame::AddAction(int nId, const QString& text, const QKeySequence& key)
{
    auto* action = new QAction(text, this);
    action->setObjectName(ControlName(nId));
    if (!key.isEmpty())
        action->setShortcut(key);
    // The prompt: the status bar's text before the line feed, the tool tip after it.
    const QString prompt = QtText(LoadResourceString(static_cast<uint32_t>(nId)));
    const qsizetype feed = prompt.indexOf(QLatin1Char('\n'));
    action->setStatusTip(prompt.left(feed));
    if (feed >= 0)
        action->setToolTip(prompt.mid(feed + 1));
    addAction(action);
    m_Actions[nId] = action;
    return action;
}

void CMainFrame::BuildMenus()
{
    QStyle* look = style();
    auto command = [this](int id, const QString& text, const QKeySequence& key, auto handler) {
        QAction* action = AddAction(id, text, key);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    command(ID_FILE_NEWADDRESS, MenuText(kMainMenu, ID_FILE_NEWADDRESS), QKeySequence(Qt::CTRL | Qt::Key_N),
            [this] { DocumentCommand(m_pDoc->OnFileNewAddress(this)); });
    command(ID_FILE_NEWGROUP, MenuText(kMainMenu, ID_FILE_NEWGROUP), QKeySequence(Qt::CTRL | Qt::Key_G),
            [this] { DocumentCommand(m_pDoc->OnFileNewGroup(this)); });
    command(ID_FILE_NEWFOLDER, MenuText(kMainMenu, ID_FILE_NEWFOLDER), QKeySequence(Qt::CTRL | Qt::Key_F),
            [this] { DocumentCommand(m_pDoc->OnFileNewFolder(this)); });
    command(ID_FILE_OPENPHONEBOOK, MenuText(kMainMenu, ID_FILE_OPENPHONEBOOK), {}, [this] {
        const bool opened = m_pDoc->OnFileOpenPhoneBook(this);
        if (opened)
            m_Recent.Add(m_pDoc->GetPathName());
        DocumentCommand(opened);
    });
    command(ID_FILE_IMPORT, MenuText(kMainMenu, ID_FILE_IMPORT), {}, [this] { ConvertBook(ConverterKind::Import); });
    command(ID_FILE_EXPORT, MenuText(kMainMenu, ID_FILE_EXPORT), {}, [this] { ConvertBook(ConverterKind::Export); });
    command(ID_APP_EXIT, MenuText(kMainMenu, ID_APP_EXIT), {}, [this] { close(); });
    command(ID_EDIT_DELETE, MenuText(kMainMenu, ID_EDIT_DELETE), QKeySequence(Qt::Key_Delete),
            [this] { m_pListLogic->DeleteRow(m_pList->SelectedRow()); });
    command(ID_EDIT_OPEN, MenuText(kMainMenu, ID_EDIT_OPEN), QKeySequence(Qt::Key_Return),
            [this] { m_pListLogic->OpenRow(m_pList->SelectedRow(), this); });
    command(ID_VIEW_REFRESH, MenuText(kMainMenu, ID_VIEW_REFRESH), QKeySequence(Qt::Key_F5), [this] { m_pDoc->ReloadAll(); });
    QAction* statusBarShown = command(ID_VIEW_STATUS_BAR, MenuText(kMainMenu, ID_VIEW_STATUS_BAR), {}, [this](bool on) { statusBar()->setVisible(on); });
    statusBarShown->setCheckable(true);
    statusBarShown->setChecked(true);
    QAction* toolBarShown = AddAction(ID_VIEW_TOOLBAR, MenuText(kMainMenu, ID_VIEW_TOOLBAR));
    toolBarShown->setCheckable(true);
    toolBarShown->setChecked(true);
    command(ID_WINDOW_SPLIT, MenuText(kMainMenu, ID_WINDOW_SPLIT), {}, [this] {
        const int width = m_pSplitter->width();
        m_pSplitter->setSizes({width / 4, width * 3 / 4});
    });
    command(ID_HELP, MenuText(kMainMenu, ID_HELP), QKeySequence(Qt::Key_F1), [this] { ShowHelp(); });
    command(ID_APP_ABOUT, MenuText(kMainMenu, ID_APP_ABOUT), {}, [this] { ShowAbout(); });
    command(ID_EDIT_DELETEFOLDER, MenuText(kMainMenu, ID_EDIT_DELETEFOLDER), QKeySequence(Qt::CTRL | Qt::Key_D), [this] { m_pTreeLogic->DeleteFolder(); });
    command(ID_EDIT_RENAMEFOLDER, MenuText(kMainMenu, ID_EDIT_RENAMEFOLDER), QKeySequence(Qt::Key_F2), [this] { m_pTreeLogic->RenameFolder(); });
    // The framework's keys: Ctrl+O makes a file the document path, Ctrl+S writes nothing (the
    // book is written only by the phone book object), Ctrl+P prints the record list.
    command(ID_FILE_OPEN, MenuText(kMainMenu, ID_FILE_OPEN), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenFile(); });
    command(ID_FILE_SAVE, MenuText(kMainMenu, ID_FILE_SAVE), QKeySequence(Qt::CTRL | Qt::Key_S), [] {});
    command(ID_FILE_PRINT, MenuText(kMainMenu, ID_FILE_PRINT), QKeySequence(Qt::CTRL | Qt::Key_P), [this] { PrintList(); });
    // Each key acts only in the view whose command it is: DEL and Enter in the record list, Ctrl+D
    // and F2 in the folder tree. The menus reach the commands from anywhere.
    const std::pair<int, QWidget*> keys[] = {{ID_EDIT_DELETE, m_pList}, {ID_EDIT_OPEN, m_pList},
                                             {ID_EDIT_DELETEFOLDER, m_pTree}, {ID_EDIT_RENAMEFOLDER, m_pTree}};
    for (const auto& [id, view] : keys) {
        QAction* action = Action(id);
        removeAction(action);
        action->setShortcutContext(Qt::WidgetShortcut);
        view->addAction(action);
    }
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, &CMainFrame::SwitchPane);
    connect(previous, &QShortcut::activated, this, &CMainFrame::SwitchPane);

    m_pFileMenu = menuBar()->addMenu(MenuText(kMainMenu, 0));
    m_pFileMenu->addAction(Action(ID_FILE_NEWADDRESS));
    m_pFileMenu->addAction(Action(ID_FILE_NEWGROUP));
    m_pFileMenu->addAction(Action(ID_FILE_NEWFOLDER));
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(Action(ID_FILE_OPENPHONEBOOK));
    m_pFileMenu->addAction(Action(ID_FILE_IMPORT));
    m_pFileMenu->addAction(Action(ID_FILE_EXPORT));
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(Action(ID_APP_EXIT));
    QMenu* edit = menuBar()->addMenu(MenuText(kMainMenu, 1));
    edit->addAction(Action(ID_EDIT_DELETE));
    edit->addAction(Action(ID_EDIT_OPEN));
    QMenu* view = menuBar()->addMenu(MenuText(kMainMenu, 2));
    view->addAction(Action(ID_VIEW_REFRESH));
    view->addSeparator();
    view->addAction(Action(ID_VIEW_STATUS_BAR));
    view->addAction(Action(ID_VIEW_TOOLBAR));
    view->addAction(Action(ID_WINDOW_SPLIT));
    QMenu* help = menuBar()->addMenu(MenuText(kMainMenu, 3));
    help->addAction(Action(ID_HELP));
    help->addSeparator();
    help->addAction(Action(ID_APP_ABOUT));
    for (QMenu* menu : {m_pFileMenu, edit, view, help})
        menu->setToolTipsVisible(false);

    QToolBar* tools = addToolBar(QtText(LoadResourceString(IDS_TOOLBAR)));
    tools->setObjectName(ControlName(ID_VIEW_TOOLBAR));
    tools->setIconSize(QSize(16, 16));
    Action(ID_FILE_OPENPHONEBOOK)->setIcon(look->standardIcon(QStyle::SP_DialogOpenButton));
    Action(ID_FILE_NEWADDRESS)->setIcon(EditorIcon(135));
    Action(ID_FILE_NEWGROUP)->setIcon(EditorIcon(137));
    Action(ID_FILE_NEWFOLDER)->setIcon(look->standardIcon(QStyle::SP_FileDialogNewFolder));
    Action(ID_EDIT_OPEN)->setIcon(look->standardIcon(QStyle::SP_FileDialogInfoView));
    Action(ID_EDIT_DELETE)->setIcon(look->standardIcon(QStyle::SP_TrashIcon));
    Action(ID_APP_ABOUT)->setIcon(look->standardIcon(QStyle::SP_MessageBoxInformation));
    tools->addAction(Action(ID_FILE_OPENPHONEBOOK));
    tools->addSeparator();
    tools->addAction(Action(ID_FILE_NEWADDRESS));
    tools->addSeparator();
    tools->addAction(Action(ID_FILE_NEWGROUP));
    tools->addAction(Action(ID_FILE_NEWFOLDER));
    tools->addSeparator();
    tools->addAction(Action(ID_EDIT_OPEN));
    tools->addAction(Action(ID_EDIT_DELETE));
    tools->addSeparator();
    tools->addAction(Action(ID_APP_ABOUT));
    connect(toolBarShown, &QAction::toggled, tools, &QToolBar::setVisible);
    UpdateRecentFiles();
}

void CMainFrame::UpdateActions()
{
    const bool records = m_pDoc->CanCreateRecords();
    Action(ID_FILE_NEWADDRESS)->setEnabled(records);
    Action(ID_FILE_NEWGROUP)->setEnabled(records);
    const bool row = CQeltapbViewLogic::CanEditRow(m_pList->SelectedRow());
    Action(ID_EDIT_DELETE)->setEnabled(row);
    Action(ID_EDIT_OPEN)->setEnabled(row);
    const bool folder = m_pTreeLogic->CanEditFolder();
    Action(ID_EDIT_DELETEFOLDER)->setEnabled(folder);
    Action(ID_EDIT_RENAMEFOLDER)->setEnabled(folder);
}

void CMainFrame::UpdateStatus()
{
    const CAddress* address = m_pListLogic->Row(m_pList->SelectedRow());
    statusBar()->showMessage(QtText(address ? RecordStatusText(*address) : LoadResourceString(AFX_IDS_IDLEMESSAGE)));
}

void CMainFrame::UpdateTitle()
{
    const std::string book = m_pDoc->Title();
    setWindowTitle(QtText((book.empty() ? "" : book + " - ") + LoadResourceString(IDS_EDITOR_TITLE)));
}

void CMainFrame::UpdateRecentFiles()
{
    for (QAction* action : m_RecentActions)
        delete action;
    m_RecentActions.clear();
    const auto& files = m_Recent.Files();
    for (size_t i = 0; i < files.size(); ++i) {
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QtText(files[i])), this);
        action->setObjectName(ControlName(ID_FILE_MRU_FILE1 + static_cast<int>(i)));
        const std::string path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { OpenRecent(path); });
        m_pFileMenu->insertAction(m_pRecentSeparator, action);
        m_RecentActions.push_back(action);
    }
    if (!m_RecentActions.empty())
        m_RecentActions.push_back(m_pFileMenu->insertSeparator(m_pRecentSeparator));
}

void CMainFrame::OnUpdate(int nHint)
{
    // Reloaded rows come in the book's order: no column shows a sort.
    m_pList->header()->setSortIndicatorShown(false);
    if (nHint == kHintAll)
        UpdateTitle(); // a book refused, or shown again
    UpdateActions();
}

void CMainFrame::DocumentCommand(bool bChanged)
{
    if (!bChanged)
        return;
    UpdateTitle();
    UpdateRecentFiles();
    UpdateActions();
}

void CMainFrame::ConvertBook(ConverterKind kind)
{
    m_pDoc->OnFileConvert(kind, m_Prompter, [this](ConverterKind which, const std::string& path,
                                                   platform::com::Ptr<IBookmanagerTool> book, IConversionGuard& guard) {
        return RunConverterDialog(which, path, std::move(book), m_Prompter, *m_pProgress, guard, this);
    });
}

void CMainFrame::StartContextMenu(QMenu& menu, int nMenuId)
{
    menu.setObjectName(ControlName(nMenuId));
    QMenu* add = menu.addMenu(MenuText(static_cast<uint32_t>(nMenuId), 0));
    add->addAction(Action(ID_FILE_NEWADDRESS));
    add->addAction(Action(ID_FILE_NEWGROUP));
    add->addAction(Action(ID_FILE_NEWFOLDER));
}

void CMainFrame::ShowFolderMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_pTree->itemAt(pos);
    if (!item)
        return;
    // The folder clicked becomes the current one first, so the commands act on it.
    m_pTree->setCurrentItem(item);
    UpdateActions();
    QMenu menu(this);
    StartContextMenu(menu, 131);
    menu.addAction(Action(ID_EDIT_DELETEFOLDER));
    menu.addAction(Action(ID_EDIT_RENAMEFOLDER));
    menu.exec(m_pTree->viewport()->mapToGlobal(pos));
}

void CMainFrame::ShowRecordMenu(const QPoint& pos)
{
    const bool onRow = m_pList->indexAt(pos).isValid();
    UpdateActions();
    QMenu menu(this);
    StartContextMenu(menu, 132);
    // Delete and Open are greyed away from the rows only while the menu is open.
    const bool was = Action(ID_EDIT_DELETE)->isEnabled();
    Action(ID_EDIT_DELETE)->setEnabled(was && onRow);
    Action(ID_EDIT_OPEN)->setEnabled(was && onRow);
    menu.addAction(Action(ID_EDIT_DELETE));
    menu.addAction(Action(ID_EDIT_OPEN));
    menu.setDefaultAction(Action(ID_EDIT_OPEN));
    // Away from the rows it opens under the selected row, else at the point when it lies in the
    // list, else at the list's top-left corner.
    QPoint at = pos;
    const int selected = m_pList->SelectedRow();
    if (!onRow && selected >= 0)
        at = m_pList->visualRect(m_pList->model()->index(selected, 0)).bottomLeft();
    else if (!onRow && !m_pList->viewport()->rect().contains(pos))
        at = QPoint(0, 0);
    menu.exec(m_pList->viewport()->mapToGlobal(at));
    UpdateActions();
}

void CMainFrame::ShowHelp()
{
    OpenHelp(ProgramHelpFolder(), kEditorHelpFile, kEditorHelpContext, m_Prompter,
             HelpWarning{"", LoadResourceString(IDS_EDITOR_TITLE)}, m_HelpOpener);
}

void CMainFrame::ShowAbout()
{
    CAboutDlg about(ReadAboutNotice(platform::parentPath(platform::programPath())), this);
    about.exec();
}

void CMainFrame::OpenFile()
{
    FileQuestion question;
    question.strTitle = LoadResourceString(IDS_OPEN_TITLE);
    question.strFilter = LoadResourceString(IDS_OPEN_FILTER);
    question.strFolder = platform::parentPath(m_pDoc->GetPathName());
    question.bMustExist = true;
    const std::optional<std::string> file = m_Prompter.GetOpenFileName(question);
    if (file)
        OpenRecent(*file);
}

void CMainFrame::OpenRecent(const std::string& strPath)
{
    if (!m_pDoc->OpenBookFile(strPath)) {
        // A book that is gone or refused leaves the list (the message has named it).
        m_Recent.Remove(strPath);
        UpdateRecentFiles();
        return;
    }
    m_Recent.Add(m_pDoc->GetPathName());
    DocumentCommand(true);
}

void CMainFrame::PrintList()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The rows as the list shows them, under the column titles.
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const CRecordColumn& column : kRecordColumns)
        html += QStringLiteral("<th align=\"left\">%1</th>").arg(QtText(LoadResourceString(column.nTitle)).toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (int row = 0; row < m_pListLogic->RowCount(); ++row) {
        html += QStringLiteral("<tr>");
        for (size_t column = 0; column < kRecordColumns.size(); ++column)
            html += QStringLiteral("<td>%1</td>").arg(
                QtText(RecordColumnText(*m_pListLogic->Row(row), static_cast<int>(column))).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    QTextDocument document;
    document.setHtml(html + QStringLiteral("</table>"));
    document.print(&printer);
}

void CMainFrame::SwitchPane()
{
    (m_pTree->hasFocus() ? static_cast<QWidget*>(m_pList) : m_pTree)->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::HoldEndpoint(platform::Endpoint& endpoint)
{
    m_pEndpoint = &endpoint;
    delete m_pNotifier;
    m_pNotifier = new QSocketNotifier(endpoint.descriptor(), QSocketNotifier::Read, this);
    const uint32_t front = platform::registerMessage(kEditorFrontMessage);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this, front] {
        platform::PostedMessage message;
        while (m_pEndpoint && m_pEndpoint->receive(message))
            if (message.message == front) {
                if (isMinimized())
                    showNormal();
                raise();
                activateWindow();
            }
    });
}

void CMainFrame::StartLoading()
{
    QTimer::singleShot(0, this, [this] { m_pDoc->LoadBook(); });
}

// ---- host ----

CQtEditorHost::~CQtEditorHost() = default;

void CQtEditorHost::CreateFrame(const std::string& strBookPath)
{
    m_pFrame = std::make_unique<CMainFrame>(m_Prompter, m_Dialogs, strBookPath);
}

int CQtEditorHost::Run(platform::Endpoint& endpoint)
{
    m_pFrame->HoldEndpoint(endpoint);
    m_pFrame->show();
    m_pFrame->StartLoading();
    const int result = QApplication::exec();
    m_pFrame.reset();
    return result;
}
