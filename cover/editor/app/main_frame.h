// The cover sheet editor's application and main frame: start-up (language, single instance, the
// command line), the menus, keys, toolbar and status bar, the file commands, help, About box and
// closing, and the hand-over of a second editor's command line.
#pragma once

#include "common/prompter.h"
#include "cover/editor/app/header_view.h"
#include "cover/editor/app/preview.h"
#include "cover/editor/print_texts.h"
#include "cover/editor/editor_settings.h"
#include "cover/editor/file_commands.h"
#include "uiwidgets/cool_menu.h"
#include "uiwidgets/help.h"

#include <QDialog>
#include <QMainWindow>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CFontToolBar;
class QLabel;
class QPrinter;
class QSocketNotifier;
namespace platform {
class Endpoint;
}

namespace cvr {

/// The frame's window class, which makes the editor one per user.
inline constexpr const char* kFrameClass = "TQLCVR";
/// The registered message a second editor posts its command line with.
inline constexpr const char* kOpenDocMessage = "VelmoraHeaderOpenDoc";
/// The help file and the one context every help request opens.
inline constexpr const char* kHelpFile = "COVEREDITOR.html";
inline constexpr uint32_t kHelpContext = 131214;
/// The toolbar's buttons (0 a separator), in its strip's order.
extern const std::vector<int> kToolbarButtons;
/// The frame's accelerators.
std::vector<CAccelerator> FrameAccelerators();

/// The About box (dialog 100): the program and DATA.TAG's "Misc" line in control 117.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
    /// DATA.TAG's "Misc" line beside the program (empty when missing).
    static std::string MiscLine();
};

/// The editor's questions go through this: it counts those open, so that work arriving from
/// outside (a hand-over) waits until the user has answered them.
class CCountingPrompter : public IPrompter {
public:
    explicit CCountingPrompter(IPrompter& inner) : m_Inner(inner) {}
    /// Questions open now.
    int Open() const { return m_nOpen; }

    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override;
    std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart) override;
    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
    std::optional<std::string> GetOpenFileName(FileQuestion& question) override;
    std::optional<std::string> GetSaveFileName(FileQuestion& question) override;

private:
    IPrompter& m_Inner;
    int m_nOpen = 0;
};

class CtqHeaderApp;

class CtqMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CtqMainFrame(CtqHeaderApp& app, CtqHeaderDoc& document, CCountingPrompter& prompter, const IScreenMetricsProvider& metrics);
    ~CtqMainFrame() override;

    /// Bars, menus, pictures and placement. False when a part could not be made.
    bool Create();
    CtqHeaderView* View() const { return m_pView; }
    CFontToolBar* ToolBar() const { return m_pToolBar; }
    CCoolMenuManager& MenuManager() { return m_MenuManager; }
    CFileCommands& FileCommands() { return *m_pCommands; }
    QLabel* StatusPane(int index) const { return m_Panes[static_cast<size_t>(index)]; }
    /// The action of a command (named "id<command>"), null when the frame has none.
    QAction* Action(int command) const;

    /// Runs a command; false for one the frame does not handle.
    bool OnCommand(int command);
    /// A second editor's command line: raise, then a path is opened after the question to save.
    void OnOpenDocMessage(const std::string& text);
    /// Shows the title ("<document> - Cover Sheet Editor") and the commands' states.
    void UpdateFrame();
    /// True while the editor shows a dialog, question or popup menu the user has to finish first.
    bool IsModalOpen() const;

    /// The printer the sheet prints on and its page setup keeps.
    QPrinter& Printer();
    /// The print question: true to print with the printer as set (tests set another).
    void SetPrintDialog(std::function<bool(QPrinter&)> dialog) { m_PrintDialog = std::move(dialog); }
    /// Prints the sheet after the print question; false when nothing was printed.
    bool PrintSheet();

    /// A preview: the printer's page with Print (57609), else the sheet's own page (32835). False
    /// when it could not start.
    bool StartPreview(bool printerPage);
    void ClosePreview();
    CtqHeaderPreview* Preview() const { return m_pPreview; }

    /// Opens help addresses (the desktop's handler unless a test sets another).
    void SetHelpOpener(HelpOpener opener) { m_HelpOpener = std::move(opener); }

    bool m_bPrintPreview = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();
    void createPictures();
    void showHelp();

    CtqHeaderApp& m_App;
    CtqHeaderDoc& m_Doc;
    CCountingPrompter& m_Prompter;
    const IScreenMetricsProvider& m_Metrics;
    CEditorProfile m_Profile;
    CtqHeaderView* m_pView = nullptr;
    CFontToolBar* m_pToolBar = nullptr;
    std::vector<QLabel*> m_Panes;
    CCoolMenuManager m_MenuManager;
    std::unique_ptr<CFileCommands> m_pCommands;
    std::map<int, QAction*> m_Actions;
    bool m_bFirstShow = true;
    HelpOpener m_HelpOpener;
    std::unique_ptr<QPrinter> m_pPrinter;
    CtqHeaderPreview* m_pPreview = nullptr;
    std::unique_ptr<CMemoTextGuard> m_pPreviewMemos;
    std::function<bool(QPrinter&)> m_PrintDialog;
};

/// The application object: the document, the frame, the profile, the hand-over endpoint.
class CtqHeaderApp : public ICoverSheetApp {
public:
    CtqHeaderApp(IPrompter& prompter, const IScreenMetricsProvider& metrics);
    ~CtqHeaderApp() override;

    /// Makes the frame for a start request and shows it; endpoint (may be null) takes the posts of
    /// later editors. False when the frame could not be made.
    bool InitInstance(const StartRequest& request, std::unique_ptr<platform::Endpoint> endpoint);
    CtqMainFrame* Frame() const { return m_pFrame.get(); }
    CtqHeaderDoc& Document() { return *m_pDoc; }

    // ICoverSheetApp
    void SetCurrentDocument(CtqHeaderDoc* document) override { m_pCurrent = document; }
    int GetNoDefaultObjects() const override { return m_bStartedWithArgument; }
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) const override;

private:
    void drainPosts();
    void handOver();

    CCountingPrompter m_Prompter;
    const IScreenMetricsProvider& m_Metrics;
    int m_bStartedWithArgument = 0;
    CtqHeaderDoc* m_pCurrent = nullptr;
    std::unique_ptr<CtqHeaderDoc> m_pDoc;
    std::unique_ptr<CtqMainFrame> m_pFrame;
    std::unique_ptr<platform::Endpoint> m_pEndpoint;
    QSocketNotifier* m_pNotifier = nullptr;
    uint32_t m_nOpenDocMessage = 0;
    /// Command lines handed over and not yet opened: each waits until no dialog is open.
    std::deque<std::string> m_HandedOver;
    bool m_bHandingOver = false;
};

/// The whole program: language, single instance (a second editor hands its command line over and
/// ends with 0), the frame, the event loop. The exit code.
int RunCoverEditor(const std::vector<std::string>& args, IPrompter& prompter, const IScreenMetricsProvider& metrics);

} // namespace cvr
