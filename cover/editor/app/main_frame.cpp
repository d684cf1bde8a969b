#include "cover/editor/app/main_frame.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "common/resource_module.h"
#include "cover/editor/app/editor_texts.h"
#include "cover/editor/menu_pictures.h"
#include "cover/editor/print_texts.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/process.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/frame_placement.h"
#include "uiwidgets/help.h"
#include "uiwidgets/toolbar_ex.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidgetAction>

#include <cstdio>

namespace cvr {

namespace {

enum : int {
    ID_FILE_NEW = 57600, ID_FILE_OPEN = 57601, ID_FILE_SAVE = 57603, ID_FILE_SAVE_AS = 57604, ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607, ID_FILE_PRINT_PREVIEW = 57609, ID_APP_ABOUT = 57664, ID_APP_EXIT = 57665, ID_HELP_INDEX = 57666,
    ID_CONTEXT_HELP = 57669, ID_HELP_FINDER = 57670, ID_HELP = 57671, ID_NOTHING = 57667, ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393, IDS_IDLE = 57345, IDS_APP_TITLE = 57344,
};
/// Status pane 1's id.
constexpr int ID_INDICATOR_KIND = 59143;

// The main menu's items; their texts are strings of the string table (see editor_texts.h).
struct MenuItem {
    int id; // 0: a separator; -1: a popup
    std::vector<MenuItem> items;
};

const std::vector<MenuItem>& mainMenu()
{
    static const std::vector<MenuItem> menu = {
        {-1, {{ID_FILE_SAVE, {}}, {ID_FILE_SAVE_AS, {}}, {0, {}}, {ID_FILE_PRINT_PREVIEW, {}}, {ID_FILE_PRINT, {}}, {0, {}},
              {ID_APP_EXIT, {}}}},
        {-1, {{57635, {}}, {57634, {}}, {57637, {}}, {6000, {}}, {0, {}}, {6001, {}}, {0, {}}, {6002, {}}}},
        {-1, {{-1, {{32813, {}}, {32808, {}}}}, {32797, {}}, {32799, {}}, {0, {}}, {32802, {}}, {32803, {}}, {32804, {}},
              {0, {}}, {32798, {}}, {32805, {}}, {32806, {}}, {0, {}}, {32807, {}}, {0, {}}, {32830, {}}, {32831, {}}}},
        {-1, {{ID_VIEW_TOOLBAR, {}}, {ID_VIEW_STATUS_BAR, {}}, {0, {}},
              {-1, {{ID_ZOOM_ENLARGE, {}}, {ID_ZOOM_DEFAULT, {}}, {ID_ZOOM_REDUCE, {}}}}, {0, {}}, {ID_GRID_SHOW, {}},
              {-1, {{ID_GRID_25, {}}, {ID_GRID_50, {}}, {ID_GRID_100, {}}}}, {ID_GRID_SNAP, {}}, {0, {}}, {32835, {}}}},
        // The items of "Line type" and "Paint" are pictures without texts.
        {-1, {{32769, {}}, {0, {}}, {-1, {{6003, {}}, {6004, {}}, {6005, {}}, {32784, {}}, {32785, {}}, {32786, {}}}},
              {-1, {{32788, {}}, {32789, {}}, {32790, {}}, {32791, {}}, {32837, {}}}}}},
        {-1, {{ID_HELP_FINDER, {}}, {0, {}}, {ID_APP_ABOUT, {}}}},
    };
    return menu;
}

// Commands this program runs now; the editing commands come with their handlers.
bool isHandled(int command)
{
    switch (command) {
    case ID_FILE_NEW: case ID_FILE_OPEN: case ID_FILE_SAVE: case ID_FILE_SAVE_AS: case ID_APP_EXIT: case ID_APP_ABOUT:
    case ID_NOTHING: case ID_HELP_FINDER: case ID_HELP_INDEX: case ID_HELP: case ID_CONTEXT_HELP: case ID_VIEW_TOOLBAR:
    case ID_FILE_PRINT: case ID_FILE_PRINT_SETUP: case ID_FILE_PRINT_PREVIEW: case 32835:
    case ID_VIEW_STATUS_BAR: case ID_ZOOM_ENLARGE: case ID_ZOOM_DEFAULT: case ID_ZOOM_REDUCE: case ID_GRID_SHOW:
    case ID_GRID_25: case ID_GRID_50: case ID_GRID_100: case ID_GRID_SNAP:
        return true;
    default:
        return false;
    }
}

// The editing commands: their states come from the view.
bool isEditCommand(int command)
{
    switch (command) {
    case ID_EDIT_DELETE: case ID_EDIT_IMAGE: case ID_EDIT_STRING: case ID_EDIT_COPY: case ID_EDIT_CUT: case ID_EDIT_PASTE:
    case ID_BRING_TO_FRONT: case ID_SEND_TO_BACK: case ID_FONT_DIALOG: case ID_SENDER_LANG0: case ID_SENDER_LANG1:
    case ID_FONT_FACE: case ID_FONT_POINTS: case ID_FONT_BOLD: case ID_FONT_ITALIC: case ID_FONT_UNDERLINE:
        return true;
    default:
        return IsInsertCommand(command) || IsLineTypeCommand(command) || ShadingFill(command) >= 0;
    }
}

bool isCheckable(int command)
{
    if (IsLineTypeCommand(command) || ShadingFill(command) >= 0 || command == ID_SENDER_LANG0 || command == ID_SENDER_LANG1
        || (command >= ID_FONT_BOLD && command <= ID_FONT_UNDERLINE))
        return true;
    return command == ID_VIEW_TOOLBAR || command == ID_VIEW_STATUS_BAR || (command >= ID_ZOOM_ENLARGE && command <= ID_ZOOM_REDUCE)
           || (command >= ID_GRID_SHOW && command <= ID_GRID_SNAP);
}

// A menu item showing a picture in place of a text: a click runs its action.
class CPictureItem : public QLabel {
public:
    CPictureItem(QAction* action, const QImage& picture, QWidget* parent) : QLabel(parent), m_pAction(action)
    {
        setPixmap(QPixmap::fromImage(picture));
        setContentsMargins(28, 2, 8, 2);
        setAutoFillBackground(true);
        setMouseTracking(true);
        connect(action, &QAction::changed, this, [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        if (!m_pAction->isChecked())
            return;
        // The current choice carries the menu's check mark in the margin, as text items do.
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(foregroundRole()), 2));
        const QPointF middle(contentsMargins().left() / 2.0, height() / 2.0);
        const QPointF tick[] = {middle + QPointF(-5, 0), middle + QPointF(-1.5, 3.5), middle + QPointF(5, -4)};
        painter.drawPolyline(tick, 3);
    }
    void enterEvent(QEnterEvent*) override
    {
        setBackgroundRole(QPalette::Highlight);
        setForegroundRole(QPalette::HighlightedText);
    }
    void leaveEvent(QEvent*) override
    {
        setBackgroundRole(QPalette::Window);
        setForegroundRole(QPalette::WindowText);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && m_pAction->isEnabled())
            m_pAction->trigger();
    }

private:
    QAction* m_pAction;
};

} // namespace

const std::vector<int> kToolbarButtons = {ID_FILE_SAVE, 0, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, 0, 57635, 57634, 57637,
                                          0, 32830, 32831, 0, 15000, 0, 15001, 0, 15002, 15003, 15004};

std::vector<CAccelerator> FrameAccelerators()
{
    return {
        {QKeySequence(Qt::CTRL | Qt::Key_B), 32831},         {QKeySequence(Qt::CTRL | Qt::Key_C), 57634},
        {QKeySequence(Qt::CTRL | Qt::Key_F), 57636},         {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_R), 32830},         {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_V), 57637},         {QKeySequence(Qt::CTRL | Qt::Key_X), 57635},
        {QKeySequence(Qt::Key_Delete), 6000},                {QKeySequence(Qt::Key_F1), ID_HELP_FINDER},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP}, {QKeySequence(Qt::Key_Home), ID_ZOOM_DEFAULT},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), ID_ZOOM_ENLARGE}, {QKeySequence(Qt::CTRL | Qt::Key_PageUp), ID_ZOOM_REDUCE},
    };
}

std::string CAboutDlg::MiscLine()
{
    const std::string tag = platform::joinPath(platform::parentPath(platform::programPath()), "DATA.TAG");
    return platform::readProfileString("TagInfo", "Misc", "", tag);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(ControlName(100));
    setWindowTitle(ControlText(IDD_ABOUTBOX, 0));
    auto* icon = new QLabel(this);
    QPixmap picture;
    const auto data = LoadResourceData(QELTA_RESOURCE_ICON, 2);
    if (!data.empty())
        picture.loadFromData(data.data(), static_cast<uint>(data.size()));
    icon->setPixmap(picture);
    auto* name = new QLabel(ControlText(IDD_ABOUTBOX, kAboutVersionText), this);
    auto* misc = Named(new QLabel(QtText(MiscLine()), this), 117);
    auto* ok = Named(new QPushButton(ControlText(IDD_ABOUTBOX, IDOK), this), IDOK);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(misc);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
}

namespace {

// Counts a question for as long as it is open.
struct OpenQuestion {
    explicit OpenQuestion(int& open) : m_nOpen(open) { ++m_nOpen; }
    ~OpenQuestion() { --m_nOpen; }
    OpenQuestion(const OpenQuestion&) = delete;
    OpenQuestion& operator=(const OpenQuestion&) = delete;
    int& m_nOpen;
};

} // namespace

int CCountingPrompter::MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags)
{
    const OpenQuestion open(m_nOpen);
    return m_Inner.MessageBox(strText, strCaption, nFlags);
}

std::optional<std::string> CCountingPrompter::BrowseForFolder(const std::string& strTitle, const std::string& strStart)
{
    const OpenQuestion open(m_nOpen);
    return m_Inner.BrowseForFolder(strTitle, strStart);
}

std::optional<FontChoice> CCountingPrompter::ChooseFont(const FontChoice& initial)
{
    const OpenQuestion open(m_nOpen);
    return m_Inner.ChooseFont(initial);
}

std::optional<std::string> CCountingPrompter::GetOpenFileName(FileQuestion& question)
{
    const OpenQuestion open(m_nOpen);
    return m_Inner.GetOpenFileName(question);
}

std::optional<std::string> CCountingPrompter::GetSaveFileName(FileQuestion& question)
{
    const OpenQuestion open(m_nOpen);
    return m_Inner.GetSaveFileName(question);
}

CtqMainFrame::CtqMainFrame(CtqHeaderApp& app, CtqHeaderDoc& document, CCountingPrompter& prompter,
                           const IScreenMetricsProvider& metrics)
    : m_App(app), m_Doc(document), m_Prompter(prompter), m_Metrics(metrics)
{
    setObjectName(QString::fromLatin1(kFrameClass));
    setAcceptDrops(true);
}

CtqMainFrame::~CtqMainFrame() = default;

QAction* CtqMainFrame::Action(int command) const
{
    const auto it = m_Actions.find(command);
    return it == m_Actions.end() ? nullptr : it->second;
}

void CtqMainFrame::createMenus()
{
    // outer: the position of the menu bar's popup that holds these items.
    const std::function<void(QMenu*, const std::vector<MenuItem>&, int)> fill = [&](QMenu* menu, const std::vector<MenuItem>& items,
                                                                                     int outer) {
        for (int position = 0; position < static_cast<int>(items.size()); ++position) {
            const MenuItem& item = items[static_cast<size_t>(position)];
            if (item.id == 0) {
                menu->addSeparator();
            } else if (item.id < 0) {
                QMenu* popup = menu->addMenu(ControlText(IDM_MAIN, NestedPopupPosition(outer, position)));
                fill(popup, item.items, outer);
            } else {
                const bool pictured = IsLineTypeCommand(item.id) || ShadingFill(item.id) >= 0;
                QAction* action = menu->addAction(pictured ? QString() : ControlText(IDM_MAIN, item.id));
                action->setObjectName(ControlName(item.id));
                m_Actions[item.id] = action;
            }
        }
    };
    const std::vector<MenuItem>& tops = mainMenu();
    for (int position = 0; position < static_cast<int>(tops.size()); ++position) {
        QMenu* menu = menuBar()->addMenu(ControlText(IDM_MAIN, position));
        fill(menu, tops[static_cast<size_t>(position)].items, position);
    }
    // The commands without a menu entry, and the toolbar's own.
    std::vector<int> unlisted = {ID_FILE_NEW, ID_FILE_OPEN, ID_NOTHING, ID_FILE_PRINT_SETUP, ID_HELP_INDEX, ID_HELP, ID_CONTEXT_HELP,
                                 57636, 15000, 15001, 15002, 15003, 15004, ID_SENDER_LANG0, ID_SENDER_LANG1};
    unlisted.insert(unlisted.end(), kInsertCommands.begin(), kInsertCommands.end());
    for (int id : unlisted) {
        if (!m_Actions.count(id)) {
            auto* action = new QAction(this);
            action->setObjectName(ControlName(id));
            m_Actions[id] = action;
        }
    }
    for (auto& [id, action] : m_Actions) {
        const int command = id;
        action->setCheckable(isCheckable(command));
        action->setEnabled(isHandled(command) || isEditCommand(command));
        if (const CommandPrompt prompt = CommandPromptOf(command); !prompt.status.isEmpty() || prompt.hasTip) {
            action->setStatusTip(prompt.status);
            if (prompt.hasTip)
                action->setToolTip(prompt.tip);
        }
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    }
    // The zoom and the grid size are each one choice of several: their items show a dot.
    for (const std::initializer_list<int> group : {std::initializer_list<int>{ID_ZOOM_ENLARGE, ID_ZOOM_DEFAULT, ID_ZOOM_REDUCE},
                                                   std::initializer_list<int>{ID_GRID_25, ID_GRID_50, ID_GRID_100}}) {
        auto* exclusive = new QActionGroup(this);
        for (int command : group)
            exclusive->addAction(m_Actions[command]);
    }
    // The accelerators: keys of the frame, whichever control has the focus.
    int index = 0;
    for (const CAccelerator& accelerator : FrameAccelerators()) {
        auto* key = new QAction(this);
        key->setObjectName(QStringLiteral("accel%1").arg(index++));
        key->setShortcut(accelerator.keys);
        key->setShortcutContext(Qt::WindowShortcut);
        const int command = accelerator.command;
        connect(key, &QAction::triggered, this, [this, command] {
            if (QAction* action = Action(command); !action || action->isEnabled())
                OnCommand(command);
        });
        addAction(key);
    }
}

void CtqMainFrame::createPictures()
{
    const ScreenMetrics metrics = m_Metrics.Metrics();
    std::vector<int> commands(std::begin(kLineTypeCommands), std::end(kLineTypeCommands));
    commands.insert(commands.end(), std::begin(kShadingCommands), std::end(kShadingCommands));
    for (int command : commands) {
        QAction* action = Action(command);
        auto* menu = action ? qobject_cast<QMenu*>(action->parent()) : nullptr;
        if (!menu)
            continue;
        // The item becomes a picture with the same name and handler.
        auto* item = new QWidgetAction(menu);
        item->setObjectName(action->objectName());
        item->setCheckable(action->isCheckable());
        item->setEnabled(action->isEnabled());
        item->setDefaultWidget(new CPictureItem(item, MenuPicture(command, metrics.menuHeight, metrics.logPixelsY), menu));
        connect(item, &QAction::triggered, this, [this, command, menu] {
            menu->close();
            OnCommand(command);
        });
        menu->insertAction(action, item);
        menu->removeAction(action);
        action->deleteLater();
        m_Actions[command] = item;
    }
}

bool CtqMainFrame::Create()
{
    setWindowIcon([] {
        QPixmap icon;
        const auto data = LoadResourceData(QELTA_RESOURCE_ICON, 2);
        if (!data.empty())
            icon.loadFromData(data.data(), static_cast<uint>(data.size()));
        return QIcon(icon);
    }());
    m_pView = new CtqHeaderView(m_Doc, m_Metrics, m_Prompter, this, &m_App);
    setCentralWidget(m_pView);
    m_pView->SetModifiedHandler([this] { UpdateFrame(); });
    m_pView->SetCommandHandler([this](int command) { OnCommand(command); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateFrame(); });
    m_pCommands = std::make_unique<CFileCommands>(
        m_Doc, m_Prompter, [this] { m_pView->CommitEdit(); },
        [this] {
            m_pView->OnInitialUpdate();
            UpdateFrame();
        },
        [](uint32_t wParam) { NotifyCoverSheetSaved(wParam); });

    // Placement from the profile.
    const FramePlacement placement = ReadFramePlacement(m_Profile);
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
    const int frame = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const FrameGeometry g = PlaceFrame(placement, screen.width(), screen.height(), frame, caption);
    PlaceFrameOnScreen(this, QRect(g.x, g.y, std::max(g.width, 200), std::max(g.height, 150)));

    createMenus();

    // Toolbar with the font combos, status bar with three panes.
    m_MenuManager.Install(this);
    if (!m_MenuManager.LoadToolbar(2, kToolbarButtons, QSize(21, 21)))
        return false;
    m_MenuManager.m_bAutoAccel = false; // the menu texts carry their keys
    m_MenuManager.SetAccelerators(FrameAccelerators());
    m_pToolBar = new CFontToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar2"));
    m_pToolBar->setWindowTitle(QtText(LoadResourceString(IDS_TOOLBAR)));
    m_pToolBar->LoadButtons(kToolbarButtons, m_MenuManager, [this](int id) { return Action(id); });
    m_pToolBar->SetHandlers([this](int command) { OnCommand(command); }, [this] { m_pView->setFocus(); });
    if (!m_pToolBar->CreateFontCombos())
        return false;
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    // A frame narrower than its toolbar would hide buttons behind the overflow arrow: it grows to hold them.
    if (const int needed = m_pToolBar->sizeHint().width(); width() < needed)
        resize(needed, height());
    // Tab goes down the window: the toolbar's combos, then the sheet.
    QWidget::setTabOrder(m_pToolBar->NameCombo(), m_pToolBar->SizeCombo());
    QWidget::setTabOrder(m_pToolBar->SizeCombo(), m_pView);

    const QFontMetrics fm(statusBar()->font());
    for (int pane = 0; pane < 3; ++pane) {
        auto* label = new QLabel(statusBar());
        label->setObjectName(QStringLiteral("pane%1").arg(pane));
        if (pane == 0) {
            label->setText(QtText(LoadResourceString(IDS_IDLE)));
            statusBar()->addWidget(label, 1);
        } else {
            if (pane == 1)
                label->setObjectName(ControlName(ID_INDICATOR_KIND));
            label->setFrameShape(QFrame::Panel);
            label->setFrameShadow(QFrame::Sunken);
            label->setFixedWidth(fm.averageCharWidth() * (pane == 1 ? 18 : 10));
            statusBar()->addPermanentWidget(label);
        }
        m_Panes.push_back(label);
    }
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        m_Panes[0]->setText(message.isEmpty() ? QtText(LoadResourceString(IDS_IDLE)) : message);
    });

    if (const auto state = m_Profile.GetBinary("", kBarStateKey))
        restoreState(QByteArray(state->data(), static_cast<qsizetype>(state->size())));

    createPictures();
    InstallHelpKey(this, [this] { OnCommand(ID_HELP_FINDER); });
    UpdateFrame();
    return true;
}

void CtqMainFrame::UpdateFrame()
{
    // "[*]" shows the unsaved-changes mark; one in the file name is written twice to stand as itself.
    QString name = QtText(m_Doc.GetTitle());
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(name + QStringLiteral("[*] - ") + QtText(LoadResourceString(IDS_APP_TITLE)));
    setWindowModified(m_Doc.IsModified());
    for (int command : std::initializer_list<int>{ID_ZOOM_ENLARGE, ID_ZOOM_DEFAULT, ID_ZOOM_REDUCE, ID_GRID_SHOW, ID_GRID_25, ID_GRID_50, ID_GRID_100,
                        ID_GRID_SNAP})
        if (QAction* action = Action(command))
            action->setChecked(m_pView->IsChecked(command));
    if (QAction* action = Action(ID_VIEW_TOOLBAR))
        action->setChecked(m_pToolBar && !m_pToolBar->isHidden());
    if (QAction* action = Action(ID_VIEW_STATUS_BAR))
        action->setChecked(!statusBar()->isHidden());
    if (!m_pView)
        return;
    for (const auto& [command, action] : m_Actions) {
        if (!isEditCommand(command))
            continue;
        // A preview shows the sheet as it prints: nothing changes it while it shows.
        const CommandState state = m_pView->State(command);
        action->setEnabled(state.enabled && !m_bPrintPreview);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
    // The "Line type" and "Paint" popups, by the selection.
    const std::pair<int, bool> popups[] = {{6003, m_pView->Commands().LineTypePopupEnabled()},
                                           {32788, m_pView->Commands().ShadingPopupEnabled()}};
    for (const auto& [first, enabled] : popups)
        if (QAction* action = Action(first))
            if (auto* menu = qobject_cast<QMenu*>(action->parent()))
                menu->menuAction()->setEnabled(enabled && !m_bPrintPreview);
    const CtqRect* selected = m_bPrintPreview ? nullptr : m_pView->Logic().Selection();
    if (m_Panes.size() > 1) {
        m_Panes[2]->clear();
        m_Panes[1]->setText(QtText(KindStatusText(selected)));
        m_Panes[1]->setEnabled(selected != nullptr);
    }
    if (m_pToolBar && m_pToolBar->NameCombo()) {
        const gdi::LOGFONTA font = m_pView->Commands().CurrentFont();
        if (!m_pToolBar->NameCombo()->hasFocus())
            m_pToolBar->ShowFace(font.lfFaceName);
        if (!m_pToolBar->SizeCombo()->hasFocus())
            m_pToolBar->ShowSize(PointsOfHeight(font.lfHeight));
    }
}

bool CtqMainFrame::IsModalOpen() const
{
    return m_Prompter.Open() > 0 || QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr;
}

void CtqMainFrame::showHelp()
{
    m_pView->CommitEdit();
    OpenHelp(ProgramHelpFolder(), kHelpFile, kHelpContext, m_Prompter,
             HelpWarning{{}, LoadResourceString(IDS_APP_CAPTION)}, m_HelpOpener);
}

bool CtqMainFrame::OnCommand(int command)
{
    switch (command) {
    case ID_FILE_NEW: m_pCommands->New(); break;
    case ID_FILE_OPEN: m_pCommands->Open(); break;
    case ID_FILE_SAVE: m_pCommands->Save(); break;
    case ID_FILE_SAVE_AS: m_pCommands->SaveAs(); break;
    case ID_APP_EXIT:
        m_pView->CommitEdit();
        close();
        return true;
    case ID_APP_ABOUT: {
        CAboutDlg about(this);
        about.exec();
        return true;
    }
    case ID_NOTHING: m_pView->CommitEdit(); return true;
    case ID_HELP_FINDER:
    case ID_HELP_INDEX:
    case ID_HELP:
    case ID_CONTEXT_HELP: showHelp(); return true;
    case ID_VIEW_TOOLBAR: m_pToolBar->setVisible(m_pToolBar->isHidden()); break;
    case ID_VIEW_STATUS_BAR: statusBar()->setVisible(statusBar()->isHidden()); break;
    case ID_FILE_PRINT: PrintSheet(); break;
    case ID_FILE_PRINT_PREVIEW: StartPreview(true); break;
    case 32835: StartPreview(false); break;
    case 2:
        if (m_pPreview)
            ClosePreview();
        break;
    case ID_FILE_PRINT_SETUP: {
        m_pView->CommitEdit();
        QPageSetupDialog setup(&Printer(), this);
        setup.exec();
        break;
    }
    case ID_FONT_FACE: {
        m_pView->CommitEdit();
        gdi::LOGFONTA chosen;
        if (m_pToolBar->GetChosenFont(m_pView->Commands().CurrentFont(), chosen) == 0 && m_pView->Commands().ApplyFace(chosen))
            m_pView->viewport()->update();
        break;
    }
    case ID_FONT_POINTS:
        m_pView->CommitEdit();
        if (m_pView->Commands().FontCommand(ID_FONT_POINTS, m_pToolBar->GetSize()))
            m_pView->viewport()->update();
        break;
    default:
        if (!m_pView->OnCommand(command))
            return false;
        if (command >= ID_GRID_SHOW && command <= ID_GRID_SNAP)
            WriteGridSettings(m_Profile, {m_pView->Logic().GridShown(), m_pView->Logic().GridCommand(), m_pView->Logic().Snap()});
        break;
    }
    UpdateFrame();
    return true;
}

QPrinter& CtqMainFrame::Printer()
{
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}

bool CtqMainFrame::PrintSheet()
{
    m_pView->CommitEdit();
    QPrinter& printer = Printer();
    // The cover sheet is one page.
    printer.setFromTo(1, 1);
    const bool chosen = m_PrintDialog ? m_PrintDialog(printer) : [&] {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, 1);
        dialog.setFromTo(1, 1);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!chosen)
        return false;
    const auto failed = [this](const std::string& reason) {
        m_Prompter.MessageBox(FormatText(IDS_PRINT_FAILED, reason), LoadResourceString(IDS_APP_CAPTION), MB_ICONWARNING);
        return false;
    };
    const CMemoTextGuard memos(m_Doc); // memo frames print empty
    const int printerDpi = printer.resolution();
    const int dpi = PrintDrawingDpi(printerDpi);
    QImage page(gdi::MulDiv(m_Doc.m_nPageWidth, dpi, 200), gdi::MulDiv(m_Doc.m_nPageHeight, dpi, 200), QImage::Format_RGB32);
    if (page.isNull())
        return failed(LoadResourceString(IDS_PRINT_NO_MEMORY));
    page.fill(Qt::white);
    page.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    page.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    try {
        m_pView->PrintPage(page);
    } catch (const std::exception& error) {
        return failed(error.what());
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return failed(printer.outputFileName().isEmpty() ? LoadResourceString(IDS_PRINTER_NOT_OPENED)
                                                         : Utf8Text(printer.outputFileName()));
    painter.drawImage(QRect(0, 0, gdi::MulDiv(m_Doc.m_nPageWidth, printerDpi, 200), gdi::MulDiv(m_Doc.m_nPageHeight, printerDpi, 200)),
                      page);
    if (!painter.end())
        return failed(Utf8Text(printer.outputFileName()));
    return true;
}

bool CtqMainFrame::StartPreview(bool printerPage)
{
    m_pView->CommitEdit();
    if (m_pPreview)
        return false;
    const ScreenMetrics metrics = m_Metrics.Metrics();
    QSize pageSize(gdi::MulDiv(1728, metrics.logPixelsX, 200), gdi::MulDiv(2290, metrics.logPixelsY, 200));
    if (printerPage) {
        const QRectF paper = Printer().pageLayout().fullRect(QPageLayout::Inch);
        pageSize = QSize(static_cast<int>(std::lround(paper.width() * metrics.logPixelsX)),
                         static_cast<int>(std::lround(paper.height() * metrics.logPixelsY)));
    }
    m_pPreviewMemos = std::make_unique<CMemoTextGuard>(m_Doc); // memo frames preview empty
    QImage page(pageSize, QImage::Format_RGB32);
    bool drawn = !page.isNull();
    if (drawn) {
        page.fill(Qt::white);
        page.setDotsPerMeterX(static_cast<int>(std::lround(metrics.logPixelsX / 0.0254)));
        page.setDotsPerMeterY(static_cast<int>(std::lround(metrics.logPixelsY / 0.0254)));
        try {
            m_pView->PrintPage(page);
        } catch (const std::exception&) {
            drawn = false;
        }
    }
    if (!drawn) {
        m_pPreviewMemos.reset();
        m_Prompter.MessageBox(LoadResourceString(IDS_COMMAND_FAILED), LoadResourceString(IDS_APP_CAPTION), MB_ICONWARNING);
        return false;
    }
    std::function<void()> print;
    if (printerPage)
        print = [this] {
            ClosePreview();
            PrintSheet();
        };
    m_pPreview = new CtqHeaderPreview(page, pageSize, print, [this] { ClosePreview(); }, this);
    m_pView->hide();
    takeCentralWidget();
    setCentralWidget(m_pPreview);
    m_bPrintPreview = true;
    statusBar()->showMessage(QtText(m_Doc.GetTitle()));
    UpdateFrame();
    m_pPreview->Button(ID_PREVIEW_ZOOMIN)->setFocus();
    return true;
}

void CtqMainFrame::ClosePreview()
{
    if (!m_pPreview)
        return;
    m_pPreviewMemos.reset();
    takeCentralWidget()->deleteLater();
    m_pPreview = nullptr;
    setCentralWidget(m_pView);
    m_pView->show();
    m_pView->setFocus();
    m_bPrintPreview = false;
    statusBar()->clearMessage();
    UpdateFrame();
}

void CtqMainFrame::OnOpenDocMessage(const std::string& text)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    ClosePreview(); // the other sheet shows in the editing view
    const StartRequest request = ParseStartArguments({text});
    if (request.kind == StartRequest::Path) {
        // As Open: an answer No keeps the changes marked until the other sheet is open.
        m_pView->CommitEdit();
        if (m_pCommands->AskToSave(false))
            m_pCommands->OpenPath(request.path);
    } else if (request.kind == StartRequest::Empty) {
        m_pCommands->New();
    }
    UpdateFrame();
}

void CtqMainFrame::closeEvent(QCloseEvent* event)
{
    // Closing while a preview shows ends the preview only: the sheet and its changes stay.
    if (m_bPrintPreview) {
        ClosePreview();
        event->ignore();
        return;
    }
    m_pView->CommitEdit();
    if (!m_pCommands->AskToSave()) {
        event->ignore();
        return;
    }
    if (!isMinimized()) {
        const QRect normal = normalGeometry();
        WriteFramePlacement(m_Profile, {normal.left(), normal.top(), normal.left() + normal.width(),
                                        normal.top() + normal.height(), isMaximized()});
    }
    const QByteArray state = saveState();
    m_Profile.WriteBinary("", kBarStateKey, std::string(state.constData(), static_cast<size_t>(state.size())));
    WriteGridSettings(m_Profile, {m_pView->Logic().GridShown(), m_pView->Logic().GridCommand(), m_pView->Logic().Snap()});
    event->accept();
}

void CtqMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_bFirstShow) {
        m_bFirstShow = false;
        if (ReadFramePlacement(m_Profile).maximized)
            setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void CtqMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CtqMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    ClosePreview(); // the dropped sheet shows in the editing view
    m_pView->CommitEdit();
    if (m_pCommands->AskToSave(false))
        m_pCommands->OpenPath(Utf8Text(urls.front().toLocalFile()));
    UpdateFrame();
}

CtqHeaderApp::CtqHeaderApp(IPrompter& prompter, const IScreenMetricsProvider& metrics)
    : m_Prompter(prompter), m_Metrics(metrics)
{
}

CtqHeaderApp::~CtqHeaderApp()
{
    delete m_pNotifier;
    m_pFrame.reset();
    m_pDoc.reset();
}

std::string CtqHeaderApp::GetProfileString(const std::string& section, const std::string& entry,
                                           const std::string& defaultValue) const
{
    return CEditorProfile().GetString(section, entry, defaultValue);
}

bool CtqHeaderApp::InitInstance(const StartRequest& request, std::unique_ptr<platform::Endpoint> endpoint)
{
    m_bStartedWithArgument = request.kind == StartRequest::Sample ? 0 : 1;
    m_pDoc = std::make_unique<CtqHeaderDoc>(this);
    m_pFrame = std::make_unique<CtqMainFrame>(*this, *m_pDoc, m_Prompter, m_Metrics);
    if (!m_pFrame->Create())
        return false;
    const GridSettings grid = ReadGridSettings(CEditorProfile());
    m_pFrame->View()->Logic().SetGrid(grid.shown, grid.command, grid.snap);
    m_pDoc->OnNewDocument();
    m_pDoc->SetModifiedFlag(false);
    m_pFrame->View()->OnInitialUpdate();
    m_pFrame->show();
    if (request.kind == StartRequest::Path)
        m_pFrame->FileCommands().OpenPath(request.path);
    m_pFrame->UpdateFrame();

    m_pEndpoint = std::move(endpoint);
    m_nOpenDocMessage = platform::registerMessage(kOpenDocMessage);
    if (m_pEndpoint) {
        m_pNotifier = new QSocketNotifier(m_pEndpoint->descriptor(), QSocketNotifier::Read);
        QObject::connect(m_pNotifier, &QSocketNotifier::activated, m_pNotifier, [this] { drainPosts(); });
    }
    return true;
}

void CtqHeaderApp::drainPosts()
{
    platform::PostedMessage message;
    while (m_pEndpoint->receive(message, 0))
        if (message.message == m_nOpenDocMessage && m_nOpenDocMessage != 0)
            m_HandedOver.push_back(message.text);
    handOver();
}

void CtqHeaderApp::handOver()
{
    // A dialog of the editor works on the sheet shown (an object's font, the name it is saved
    // under): the sheet is replaced only once the user has finished with it.
    if (m_bHandingOver)
        return;
    if (!m_HandedOver.empty() && m_pFrame->IsModalOpen()) {
        QTimer::singleShot(100, m_pFrame.get(), [this] { handOver(); });
        return;
    }
    m_bHandingOver = true;
    while (!m_HandedOver.empty() && !m_pFrame->IsModalOpen()) {
        const std::string text = std::move(m_HandedOver.front());
        m_HandedOver.pop_front();
        m_pFrame->OnOpenDocMessage(text);
    }
    m_bHandingOver = false;
    if (!m_HandedOver.empty())
        QTimer::singleShot(100, m_pFrame.get(), [this] { handOver(); });
}

int RunCoverEditor(const std::vector<std::string>& args, IPrompter& prompter, const IScreenMetricsProvider& metrics)
{
    CSDLocale locale("", "CVR");
    if (!locale.StartWithLocale(CSDLocale::PickStartLocale()))
        return 1;
    struct Restore {
        ~Restore() { SetCurrentResourceLocale(nullptr); }
    } restore;

    std::string line;
    for (const std::string& arg : args)
        line += (line.empty() ? "" : " ") + arg;
    // One editor per user: the test and the registration are one step, so of two editors started
    // at once one wins and the other hands its command line over.
    const std::string title = LoadResourceString(IDS_APP_TITLE);
    std::unique_ptr<platform::Endpoint> endpoint;
    for (int attempt = 0; attempt < 20 && !endpoint; ++attempt) {
        bool busy = false;
        std::string error;
        endpoint = platform::Endpoint::createUnlessBusy(kFrameClass, title, {kFrameClass}, &busy, &error);
        if (endpoint)
            break;
        if (!busy) {
            std::fprintf(stderr, "covereditor: %s; running without the one-editor check\n", error.c_str());
            break;
        }
        const platform::EndpointHandle first = platform::findEndpointByClass(kFrameClass);
        const uint32_t message = platform::registerMessage(kOpenDocMessage);
        if (first != 0 && message != 0 && platform::postMessage(first, message, 0, 0, line))
            return 0;
        QThread::msleep(50); // the first one is going away or still coming up
    }
    CtqHeaderApp app(prompter, metrics);
    if (!app.InitInstance(ParseStartArguments(args), std::move(endpoint)))
        return 1;
    return QApplication::exec();
}

} // namespace cvr
