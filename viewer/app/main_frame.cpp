#include "viewer/app/main_frame.h"

#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "imaging/pagefilelib.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/state.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/frame_placement.h"
#include "uiwidgets/stop_signals.h"
#include "uiwidgets/toolbar_ex.h"
#include "viewer/dialogs/viewer_texts.h"
#include "viewer/page_file_access.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QCursor>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace viewer {

const std::vector<int> kToolbarButtons{ID_TOOL_HAND, 0, ID_PAGE_PREVIOUS, ID_PAGE_NEXT, 0, ID_VIEW_FIT,
                                       ID_VIEW_ENLARGE, ID_VIEW_REDUCE, 0, ID_VIEW_ROTATE_LEFT, ID_VIEW_ROTATE_RIGHT,
                                       ID_VIEW_ROTATE_180, 0, ID_VIEW_INVERT, ID_VIEW_GREY, 0, ID_VIEW_ENTIRE_PAGE,
                                       ID_VIEW_PAGE_AND_REDUCED, ID_VIEW_REDUCED, 0, ID_APP_ABOUT};

std::vector<CAccelerator> FrameAccelerators()
{
    return {
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), ID_VIEW_ENLARGE},
        {QKeySequence(Qt::Key_Home), ID_VIEW_RESTORE},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), ID_VIEW_REDUCE},
        {QKeySequence(Qt::CTRL | Qt::Key_R), ID_VIEW_INVERT},
        {QKeySequence(Qt::CTRL | Qt::Key_K), ID_VIEW_GREY},
        {QKeySequence(Qt::CTRL | Qt::Key_F), ID_PAGE_NEXT},
        {QKeySequence(Qt::CTRL | Qt::Key_B), ID_PAGE_PREVIOUS},
        {QKeySequence(Qt::Key_F1), ID_HELP_CONTENTS},
    };
}

namespace {

// A status pane that asks for its nominal width (or its text's, when longer) but gives way to a
// narrow frame, its text then cut with an ellipsis rather than drawn over its neighbours.
class CStatusPane : public QLabel {
public:
    CStatusPane(const QString& nominal, QWidget* parent)
        : QLabel(parent), m_nominal(nominal.isEmpty() ? 0 : fontMetrics().horizontalAdvance(nominal) + 8)
    {
    }
    QSize sizeHint() const override
    {
        return {std::max(m_nominal, fontMetrics().horizontalAdvance(text()) + 8), QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + 4, QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(2, 0, -2, 0);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }

private:
    int m_nominal;
};

IPrompter* g_libraryPrompter = nullptr;

// The library's messages, naming the file each one is about, in a warning box.
int32_t ShowLibraryMessage(void*, const char* caption, const char* text, int32_t)
{
    return g_libraryPrompter
               ? g_libraryPrompter->MessageBox(PageFileMessageText(text), caption ? caption : "", MB_ICONWARNING)
               : 0;
}

std::string MiscLine()
{
    const std::string tag = platform::joinPath(platform::parentPath(platform::programPath()), "DATA.TAG");
    return platform::readProfileString("TagInfo", "Misc", "", tag);
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(ControlName(IDD_ABOUTBOX));
    setWindowTitle(ControlText(IDD_ABOUTBOX, 0));
    auto* name = new QLabel(ControlText(IDD_ABOUTBOX, kAboutVersionText), this);
    auto* misc = new QLabel(QString::fromStdString(MiscLine()), this);
    misc->setObjectName(ControlName(117));
    auto* ok = Named(new QPushButton(ControlText(IDD_ABOUTBOX, IDOK), this), IDOK);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(misc);
    auto* row = new QHBoxLayout(this);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
}

CMainFrame::CMainFrame(CViewerSettings& settings, IPrompter& prompter, int screenWidth)
    : CQtViewerDialogs(prompter, this), m_settings(settings), m_prompter(prompter), m_screenWidth(screenWidth)
{
    setObjectName(QStringLiteral("TqlVwTLClass"));
    setWindowTitle(QString::fromStdString(LoadResourceString(IDS_APP_TITLE)));
    m_app.cmplJustify = settings.cmplJustify;
    m_app.cmplRow = settings.cmplRow;
    std::string install =
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "TQL Directory", "");
    if (install.empty())
        install = platform::installDirectory();
    if (!install.empty() && install.back() != '/')
        install += '/';
    m_app.installDir = install;
    m_app.storeReducedView = [this](int justify, int rows) {
        m_settings.cmplJustify = justify;
        m_settings.cmplRow = rows;
        WriteReducedViewSettings(justify, rows);
    };
    m_pDoc = std::make_unique<CTqlVwTLDoc>(m_app, prompter, *this, m_clipboard);

    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pThumbView = new CTqlVwTLView(*m_pDoc, *this, m_app, m_pSplitter);
    m_pThumbView->setObjectName(QStringLiteral("thumbnailView"));
    m_pPageView = new CTqlVwTLPageView(*m_pDoc, *this, settings, m_app, prompter, m_pSplitter);
    m_pPageView->setObjectName(QStringLiteral("pageView"));
    m_pThumbView->SetPageView(m_pPageView);
    m_pSplitter->addWidget(m_pThumbView);
    m_pSplitter->addWidget(m_pPageView);
    m_pSplitter->setStretchFactor(1, 1);
    setCentralWidget(m_pSplitter);
    m_pDoc->SetViews(m_pThumbView, m_pPageView);

    createMenus();
    m_menus.LoadToolbar(128, kToolbarButtons, QSize(21, 21));
    m_pToolBar = new CToolBarEx(this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar128"));
    m_pToolBar->LoadButtons(kToolbarButtons, m_menus, [this](int id) { return Action(id); });
    addToolBar(Qt::TopToolBarArea, m_pToolBar);

    const char* const widths[] = {"10000/10000", "Width:10000 Height:100000", "Size adjustment", "Grayscale",
                                  "100%", "Reduced view"};
    for (int i = 0; i < 7; ++i) {
        auto* pane = new CStatusPane(i == 0 ? QString() : QString::fromUtf8(widths[i - 1]), statusBar());
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        if (i == 0)
            statusBar()->addWidget(pane, 1);
        else
            statusBar()->addPermanentWidget(pane);
        m_panes.push_back(pane);
    }
    m_panes[0]->setText(QString::fromStdString(LoadResourceString(IDS_STATUS_HELP)));
    m_menus.SetAccelerators(FrameAccelerators());
    m_menus.Install(this);
    if (const auto state = ReadBarState())
        restoreState(QByteArray(state->data(), static_cast<qsizetype>(state->size())));

    setAcceptDrops(true);
    PlaceFrameOnScreen(this, QRect(settings.windowLeft, settings.windowTop,
                                   std::max(1, settings.windowRight - settings.windowLeft),
                                   std::max(1, settings.windowBottom - settings.windowTop)));
    m_pSplitter->setSizes({settings.cmplWidth, std::max(1, width() - settings.cmplWidth)});
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
    UpdateActions();
}

CMainFrame::~CMainFrame()
{
    // Focus moves while the views are deleted: no update may reach them half gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // The views go before the document they watch (the page view writes its settings back).
    delete m_pSplitter;
    m_pDoc->SetViews(nullptr, nullptr);
}

QAction* CMainFrame::Action(int command) const
{
    const auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::createMenus()
{
    std::map<int, QKeySequence> keys;
    for (const CAccelerator& accelerator : FrameAccelerators())
        keys[accelerator.command] = accelerator.keys;
    // Each item's text is the main menu's string of its command.
    const auto add = [&](QMenu* menu, int id) {
        QAction* action = menu->addAction(ControlText(IDR_MAINFRAME, id));
        action->setObjectName(ControlName(id));
        if (const auto it = keys.find(id); it != keys.end()) {
            action->setShortcut(it->second);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_actions[id] = action;
        return action;
    };
    // A popup of the menu bar is named by its position.
    const auto popup = [&](int position) { return menuBar()->addMenu(ControlText(IDR_MAINFRAME, position)); };
    QMenu* file = popup(0);
    add(file, ID_FILE_PROPERTIES);
    file->addSeparator();
    add(file, ID_APP_EXIT);
    QMenu* view = popup(1);
    add(view, ID_VIEW_FIT);
    AddViewSubmenus(view, IDR_MAINFRAME, NestedPopupPosition(1, 1), add);
    view->addSeparator();
    add(view, ID_VIEW_ENTIRE_PAGE);
    add(view, ID_VIEW_REDUCED);
    add(view, ID_VIEW_PAGE_AND_REDUCED);
    view->addSeparator();
    add(view, ID_VIEW_TOOLBAR)->setCheckable(true);
    add(view, ID_VIEW_STATUS_BAR)->setCheckable(true);
    QMenu* page = popup(2);
    add(page, ID_PAGE_NEXT);
    add(page, ID_PAGE_PREVIOUS);
    add(page, ID_PAGE_FIRST);
    add(page, ID_PAGE_LAST);
    add(page, ID_PAGE_JUMP);
    QMenu* tool = popup(3);
    add(tool, ID_TOOL_SETTINGS);
    QMenu* help = popup(4);
    add(help, ID_HELP_CONTENTS);
    help->addSeparator();
    add(help, ID_APP_ABOUT);
    // The toolbar's own commands that no menu holds (their texts: toolbar 128's strings).
    for (int id : {ID_TOOL_HAND}) {
        auto* action = new QAction(ControlText(IDR_MAINFRAME, id), this);
        action->setObjectName(ControlName(id));
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_actions[id] = action;
    }
    for (QAction* action : menuBar()->actions())
        if (QMenu* menu = action->menu())
            connect(menu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
}

void CMainFrame::UpdateActions()
{
    for (const auto& [id, action] : m_actions) {
        CCmdUI ui{true, false};
        switch (id) {
        case ID_VIEW_TOOLBAR: ui.checked = m_pToolBar && m_pToolBar->isVisible(); break;
        case ID_VIEW_STATUS_BAR: ui.checked = statusBar()->isVisible(); break;
        case ID_APP_EXIT:
        case ID_APP_ABOUT:
        case ID_HELP_CONTENTS:
        case ID_VIEW_ENTIRE_PAGE:
        case ID_VIEW_REDUCED:
        case ID_VIEW_PAGE_AND_REDUCED: break;
        default:
            if (!m_pDoc->OnUpdateCommand(id, ui))
                m_pPageView->OnUpdateCommand(id, ui);
            break;
        }
        action->setEnabled(ui.enabled);
        if (ui.checked && !action->isCheckable())
            action->setCheckable(true);
        if (action->isCheckable())
            action->setChecked(ui.checked);
    }
}

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case ID_APP_EXIT: close(); return;
    case ID_APP_ABOUT: {
        m_pDoc->EndAnnotationEdit();
        CAboutDlg about(this);
        about.exec();
        return;
    }
    case ID_HELP_CONTENTS: showHelp(); return;
    case ID_FILE_OPEN: openFile(); return;
    case ID_VIEW_TOOLBAR: m_pToolBar->setVisible(!m_pToolBar->isVisible()); break;
    case ID_VIEW_STATUS_BAR: statusBar()->setVisible(!statusBar()->isVisible()); break;
    case ID_VIEW_ENTIRE_PAGE:
    case ID_VIEW_REDUCED:
    case ID_VIEW_PAGE_AND_REDUCED: setDisplayMode(id); return;
    default: m_pDoc->OnCommand(id); break;
    }
    UpdateActions();
}

int CMainFrame::OnTimer(int timer, int pending)
{
    const int menuId = TimerMenu(timer, pending, m_pPageView->PageState());
    if (menuId == 0)
        return 0;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu%1").arg(menuId));
    if (menuId == IDR_PROPERTY_MENU) {
        menu.addAction(ControlText(IDR_PROPERTY_MENU, ID_ANNOTATION_FIRST))->setData(ID_ANNOTATION_FIRST);
    } else {
        // The stamps' names, the current one checked; without stamps one greyed item.
        const CAnnotationDefaults& defaults = m_app.annotationDefaults;
        const int count = std::clamp(defaults.stampCount, 0, static_cast<int>(defaults.stamps.size()));
        for (int i = 0; i < count; ++i) {
            const CStampRecord& record = defaults.stamps[static_cast<size_t>(i)];
            QAction* stamp = menu.addAction(QtText(std::string(record.name, ::strnlen(record.name, sizeof record.name))));
            stamp->setData(ID_STAMP_FIRST + i);
            stamp->setCheckable(true);
            stamp->setChecked(i == defaults.currentStamp);
        }
        if (count == 0) {
            QAction* stamp = menu.addAction(ControlText(IDR_STAMP_MENU, ID_STAMP_FIRST));
            stamp->setData(ID_STAMP_FIRST);
            stamp->setEnabled(false);
        }
    }
    if (QAction* chosen = menu.exec(QCursor::pos()); chosen && chosen->data().isValid())
        m_pDoc->OnCommand(chosen->data().toInt());
    return menuId;
}

void CMainFrame::setDisplayMode(int id)
{
    m_pDoc->EndAnnotationEdit();
    const int total = m_pSplitter->width();
    const int column = id == ID_VIEW_ENTIRE_PAGE ? 0 : id == ID_VIEW_REDUCED ? m_screenWidth : m_settings.cmplWidth;
    m_pSplitter->setSizes({std::min(column, total), std::max(0, total - column)});
}

void CMainFrame::openFile()
{
    m_pDoc->EndAnnotationEdit();
    const auto path = OpenFile(LoadResourceString(IDS_OPEN_TITLE), kOpenFilter, m_app.lastDir);
    if (!path || !CheckFileToOpen(*path, m_prompter, LoadResourceString(IDS_APP_TITLE)) || !m_pDoc->SaveModified())
        return;
    if (m_pDoc->OnOpenDocument(*path))
        m_app.lastDir = platform::parentPath(*path);
    UpdateActions();
}

void CMainFrame::showHelp()
{
    m_pDoc->EndAnnotationEdit();
    OpenHelp(ProgramHelpFolder(), kHelpFile, kHelpContext, m_prompter, {{}, LoadResourceString(IDS_APP_TITLE)}, m_helpOpener);
}

void CMainFrame::SetStatusText(int pane, const std::string& text)
{
    if (pane >= 0 && pane < static_cast<int>(m_panes.size()))
        m_panes[static_cast<size_t>(pane)]->setText(QString::fromStdString(text));
}

void CMainFrame::SetDocumentTitle(const std::string& title)
{
    setWindowTitle(QString::fromStdString(FrameCaption(title)));
}

void CMainFrame::SetWaitCursor(bool wait)
{
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_pDoc->SaveModified()) {
        event->ignore();
        return;
    }
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    m_settings.StoreWindow(normal.left(), normal.top(), normal.right() + 1, normal.bottom() + 1, isMaximized(),
                           isMinimized());
    const QByteArray bars = saveState();
    WriteBarState(std::string(bars.constData(), static_cast<size_t>(bars.size())));
    if (m_pSplitter->sizes().value(0) > 0 && m_pSplitter->sizes().value(0) < m_screenWidth)
        m_settings.cmplWidth = m_pSplitter->sizes().value(0);
    event->accept();
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        if (m_settings.windowZoom) {
            showMaximized();
        } else if (m_settings.IsFirstRunWindow() && statusBar()->sizeHint().width() > width()) {
            // A first run's 400 pixels would cut the status panes: the frame starts as wide as
            // they are whole (within the screen), measured now that the bar shows as it will (its
            // size grip included). A placement the user left is kept as it was.
            PlaceFrameOnScreen(this, QRect(geometry().topLeft(), QSize(statusBar()->sizeHint().width(), height())));
        }
    }
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_pDoc->EndAnnotationEdit();
    if (event->type() == QEvent::PaletteChange) {
        m_pThumbView->viewport()->repaint();
        m_pPageView->viewport()->repaint();
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return;
    const std::string path = urls.front().toLocalFile().toStdString();
    if (m_pDoc->SaveModified())
        m_pDoc->OnOpenDocument(path);
    UpdateActions();
}

std::unique_ptr<CMainFrame> StartPageViewer(const std::vector<std::string>& args, IPrompter& prompter,
                                            CViewerSettings& settings, int screenWidth)
{
    const CViewerCommandLine line = ParseViewerCommandLine(args, [](const std::string& path) {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    });
    SweepStaleTemporaries(line.document);
    auto frame = std::make_unique<CMainFrame>(settings, prompter, screenWidth);
    frame->AppValues().sendRegistration = line.sendRegistration;
    const bool opened = line.document.empty() ? frame->Document().OnNewDocument()
                                              : frame->Document().OnOpenDocument(line.document);
    if (!opened)
        return nullptr;
    frame->UpdateActions();
    frame->show();
    if (line.titleGiven)
        frame->setWindowTitle(QString::fromStdString(line.title));
    return frame;
}

int RunPageViewer(const std::vector<std::string>& args, IPrompter& prompter)
{
    CSDLocale locale("", "ZPG");
    if (!locale.StartWithLocale(CSDLocale::PickStartLocale()))
        return 1;
    struct Restore {
        ~Restore()
        {
            SetCurrentResourceLocale(nullptr);
            PageFileSetMessageBox(nullptr);
            g_libraryPrompter = nullptr;
        }
    } restore;
    g_libraryPrompter = &prompter;
    PageFileSetMessageBox(ShowLibraryMessage);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1920;
    CViewerSettings settings = ReadViewerSettings(screenWidth);
    int code = 0;
    // A stop signal ends the program as its last window would: the document, and with it the
    // private temporary folder, goes on the way out.
    // A signal during the start (a message box of the open, the conversion's progress) ends every
    // event loop running and the program once the start has unwound.
    bool stopped = false;
    QObject stopWatch;
    WatchStopSignals(&stopWatch, CatchStopSignals(), [&stopped] {
        stopped = true;
        QCoreApplication::exit(0);
    });
    {
        const std::unique_ptr<CMainFrame> frame = StartPageViewer(args, prompter, settings, screenWidth);
        if (!frame)
            return stopped ? 0 : 1;
        if (!stopped)
            code = QApplication::exec();
    }
    WriteViewerSettingsAtExit(settings);
    return code;
}

} // namespace viewer
