// The viewer program: start-up (language, settings, command line), the main frame with its menu,
// accelerators, toolbar, status bar and the splitter of the thumbnail view beside the page view,
// the Open dialog, help, the About box, placement and closing.
#pragma once

#include "viewer/app/page_view.h"
#include "viewer/app/thumb_view.h"
#include "viewer/dialogs/viewer_dialogs.h"
#include "uiwidgets/cool_menu.h"
#include "uiwidgets/help.h"

#include <QDialog>
#include <QMainWindow>

#include <map>
#include <memory>
#include <string>
#include <vector>

class CToolBarEx;
class QLabel;
class QSplitter;

namespace viewer {

inline constexpr const char* kHelpFile = "PAGEVIEWER.html";
inline constexpr uint32_t kHelpContext = 0x2008D;
/// Toolbar 128's buttons (0 a separator).
extern const std::vector<int> kToolbarButtons;
/// Accelerator table 128.
std::vector<CAccelerator> FrameAccelerators();

enum FrameCommand : int {
    ID_FILE_OPEN = 57601,
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_ENTIRE_PAGE = 32788,
    ID_VIEW_PAGE_AND_REDUCED = 32787,
    ID_VIEW_REDUCED = 32790,
    ID_ANNOTATION_TOOLBOX = 32812,
    ID_HELP_CONTENTS = 57670,
};

/// The About box (dialog 100).
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

class CMainFrame : public QMainWindow, public CQtViewerDialogs {
    Q_OBJECT
public:
    CMainFrame(CViewerSettings& settings, IPrompter& prompter, int screenWidth);
    ~CMainFrame() override;

    CTqlVwTLDoc& Document() { return *m_pDoc; }
    CTqlVwTLPageView* PageView() const { return m_pPageView; }
    CTqlVwTLView* ThumbView() const { return m_pThumbView; }
    QSplitter* Splitter() const { return m_pSplitter; }
    QLabel* StatusPane(int index) const { return m_panes[static_cast<size_t>(index)]; }
    QAction* Action(int command) const;
    CViewerAppValues& AppValues() { return m_app; }

    /// Runs a command of the menu, keys or toolbar.
    void OnCommand(int id);
    /// Enables and checks every action.
    void UpdateActions();
    /// Timers 1 and 2 of the page view's delayed menus (pending: the page view's request): pops up
    /// menu 150 or 161 at the pointer when their conditions hold; the menu shown, or 0.
    int OnTimer(int timer, int pending);
    /// Opens help addresses (tests set their own).
    void SetHelpOpener(HelpOpener opener) { m_helpOpener = std::move(opener); }

    // IViewerFrame
    void SetStatusText(int pane, const std::string& text) override;
    void SetWaitCursor(bool wait) override;
    void SetDocumentTitle(const std::string& title) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();
    void openFile();
    void showHelp();
    void setDisplayMode(int id);

    CViewerSettings& m_settings;
    IPrompter& m_prompter;
    int m_screenWidth;
    CViewerAppValues m_app;
    CQtPageClipboard m_clipboard;
    std::unique_ptr<CTqlVwTLDoc> m_pDoc;
    QSplitter* m_pSplitter = nullptr;
    CTqlVwTLView* m_pThumbView = nullptr;
    CTqlVwTLPageView* m_pPageView = nullptr;
    CToolBarEx* m_pToolBar = nullptr;
    std::vector<QLabel*> m_panes;
    CCoolMenuManager m_menus;
    std::map<int, QAction*> m_actions;
    bool m_firstShow = true;
    HelpOpener m_helpOpener;
};

/// Start-up after the language and the library's message box: the frame over the command line,
/// shown with its document open; null when the document could not be opened.
std::unique_ptr<CMainFrame> StartPageViewer(const std::vector<std::string>& args, IPrompter& prompter,
                                            CViewerSettings& settings, int screenWidth);
/// The whole program over an argument vector: the exit code (1 when the start-up open fails).
int RunPageViewer(const std::vector<std::string>& args, IPrompter& prompter);

} // namespace viewer
