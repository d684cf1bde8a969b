// The viewer's document: the pages of the file shown, its format, and the command table of the whole
// viewer. It opens, saves, converts and edits the page list; viewing commands pass on to the views.
// Display-free: the views, the frame, the annotation layer, the undo record, the clipboard and the
// nested dialogs are reached through the small interfaces below, whose defaults do nothing.
#pragma once

#include "common/prompter.h"
#include "viewer/annotation_item.h"
#include "viewer/display_state.h"
#include "viewer/page_file_access.h"
#include "viewer/page_rendering.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

/// Command ids of the viewer.
enum ViewerCommand : int {
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_PROPERTIES = 32771,
    ID_PAGE_COPY = 32772,
    ID_PAGE_DELETE = 32773,
    ID_PAGE_PASTE_BEFORE = 32819,
    ID_PAGE_PASTE_END = 32820,
    ID_PAGE_INSERT_FILES = 32797,
    ID_PAGE_ADD_FILES = 32798,
    ID_PAGE_JUMP = 32795,
    ID_PAGE_FIRST = 32793,
    ID_PAGE_LAST = 32794,
    ID_PAGE_NEXT = 32791,
    ID_PAGE_PREVIOUS = 32817,
    ID_VIEW_FIT = 32776,
    ID_VIEW_ENLARGE = 32778,
    ID_VIEW_RESTORE = 32779,
    ID_VIEW_REDUCE = 32780,
    ID_VIEW_ROTATE_LEFT = 32781,
    ID_VIEW_ROTATE_RIGHT = 32782,
    ID_VIEW_ROTATE_180 = 32783,
    ID_VIEW_INVERT = 32785,
    ID_VIEW_GREY = 32786,
    ID_TOOL_SETTINGS = 32816,
    ID_TOOL_HAND = 32800,
    ID_TOOL_SELECT = 32801,
    ID_TOOL_FIRST_ANNOTATION = 32803,
    ID_TOOL_LAST_ANNOTATION = 32811,
    ID_TOOL_STAMP_CHOICE = 32822,
    ID_TOOL_TILT = 32821,
    ID_TOOL_HIDE_ANNOTATIONS = 32799,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_CUT = 57635,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_ANNOTATION_FIRST = 59398, ///< tool defaults, Edit, Bring to front, Send to back, Property (59398-59402)
    ID_ANNOTATION_LAST = 59402,
    ID_CONTEXT_FIRST = 163, ///< the right-clicked annotation's Edit ... Property (163-168)
    ID_CONTEXT_LAST = 168,
    ID_STAMP_FIRST = 32900,
    ID_STAMP_LAST = 32919,
};

/// Document types and compressions of the Save As filter's ten entries, in order.
struct CFileFormat {
    int type = 0;
    int compression = 0;
    bool operator==(const CFileFormat&) const = default;
};
/// String 60036: the Save As filter.
extern const char* const kSaveAsFilter;
/// String 60034: the Open filter.
extern const char* const kOpenFilter;
/// The format of Save As entry index (0-9); the first entry's for any other index.
CFileFormat SaveAsFormatOfEntry(int index);
/// The Save As entry that a file of that type and compression selects at the start.
int SaveAsEntryOfFormat(int type, int compression);

/// The extensions the Open dialog takes (compared in upper case).
bool IsOpenableExtension(const std::string& path);
/// The Open dialog's checks on a chosen file, its message boxes under caption: "Cannot open file"
/// for a file that cannot be read, "This file format is not supported" for another extension.
bool CheckFileToOpen(const std::string& path, IPrompter& prompter, const std::string& caption);

/// What the document shows or enables for a command.
struct CCmdUI {
    bool enabled = false;
    bool checked = false;
};

/// A view of the document (Okular's observer idea): the document tells it what changed and hands it
/// the viewing commands. Every call has an empty default.
class IViewerView {
public:
    virtual ~IViewerView() = default;
    /// The view's display state record.
    virtual CThumbDisplayState& State() = 0;
    /// The pages came or went: the view takes the state's page count and current page anew.
    virtual void OnReinitialise() {}
    /// The page's pixels changed: the view draws again.
    virtual void OnRefresh() {}
    /// A viewing command of the view's own (zoom, turn, page, tool, annotation ...).
    virtual void OnCommand(int id) { static_cast<void>(id); }
    /// Enables and checks a command the view decides; false when it has no rule for it.
    virtual bool OnUpdateCommand(int id, CCmdUI& ui)
    {
        static_cast<void>(id);
        static_cast<void>(ui);
        return false;
    }
    /// Shows page (0-based; -1 the last).
    virtual void GoToPage(int page) { static_cast<void>(page); }
    /// Takes the focus.
    virtual void Activate() {}
};

/// The page view adds its own display state (editing allowed, tool, selection).
class IPageView : public IViewerView {
public:
    virtual CPageDisplayState& PageState() = 0;
    CThumbDisplayState& State() override { return PageState(); }
};

/// The annotation layer of the page view, as far as the document uses it.
class IAnnotationLayer {
public:
    virtual ~IAnnotationLayer() = default;
    /// Ends an annotation edit in progress (steps 1 and 2).
    virtual void EndEdit(int step) { static_cast<void>(step); }
    /// Cancels the current tool's work (0 or 1).
    virtual void CancelToolWork(int flag) { static_cast<void>(flag); }
    /// Draws page's annotations into its bitmap; false when it has none.
    virtual bool BurnIn(int index, CPageImage& page)
    {
        static_cast<void>(index);
        static_cast<void>(page);
        return false;
    }
    virtual void RemovePage(int index) { static_cast<void>(index); }
    /// An empty annotation list for a page inserted at index.
    virtual void InsertPage(int index) { static_cast<void>(index); }
    virtual void ClearAll() {}
};

/// The one-step undo record, as far as the document uses it.
class IUndoRecord {
public:
    virtual ~IUndoRecord() = default;
    /// A page deleted at index (its bitmap copied in page).
    virtual void RecordDelete(int index, const QImage& page)
    {
        static_cast<void>(index);
        static_cast<void>(page);
    }
    /// A page inserted at index.
    virtual void RecordInsert(int index) { static_cast<void>(index); }
    /// A page about to be straightened (its bitmap copied in page).
    virtual void RecordTilt(int index, const QImage& page)
    {
        static_cast<void>(index);
        static_cast<void>(page);
    }
    virtual void Reset() {}
};

/// The clipboard's page pictures (image MIME data).
class IPageClipboard {
public:
    virtual ~IPageClipboard() = default;
    /// False when the clipboard cannot be used now.
    virtual bool Open() = 0;
    virtual void SetImage(const QImage& image) = 0;
    /// The picture held, if any.
    virtual std::optional<QImage> Image() = 0;
};

/// The system clipboard through QGuiApplication (none without an application object).
class CQtPageClipboard : public IPageClipboard {
public:
    bool Open() override;
    void SetImage(const QImage& image) override;
    std::optional<QImage> Image() override;
};

/// The values the Settings dialog edits.
struct CSettingsValues {
    int adjust = 1;
    int lines = 2;
    int readOption = 0;
    intptr_t appValue = 0;
};

/// The frame's status bar and cursor, and the dialogs the document opens.
class IViewerFrame {
public:
    virtual ~IViewerFrame() = default;
    virtual void SetStatusText(int pane, const std::string& text)
    {
        static_cast<void>(pane);
        static_cast<void>(text);
    }
    virtual void SetWaitCursor(bool wait) { static_cast<void>(wait); }
    /// The document's title changed (the file name; empty for a new document).
    virtual void SetDocumentTitle(const std::string& title) { static_cast<void>(title); }
    /// The Save As file dialog: the path and the filter entry chosen, nothing when cancelled.
    virtual std::optional<std::pair<std::string, int>> SaveAsFile(const std::string& filter, int entry,
                                                                  const std::string& name)
    {
        static_cast<void>(filter);
        static_cast<void>(entry);
        static_cast<void>(name);
        return std::nullopt;
    }
    /// An open file dialog under title; the path chosen, nothing when cancelled.
    virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                                const std::string& folder)
    {
        static_cast<void>(title);
        static_cast<void>(filter);
        static_cast<void>(folder);
        return std::nullopt;
    }
    /// Change File Format (dialog 119): the format chosen, nothing on Cancel.
    virtual std::optional<CFileFormat> ChangeFileFormat() { return std::nullopt; }
    /// Page jump (dialog 134): the page chosen (0-based), nothing on Cancel.
    virtual std::optional<int> PageJump(int count, int current)
    {
        static_cast<void>(count);
        static_cast<void>(current);
        return std::nullopt;
    }
    /// Settings (dialog 135) over values; true on OK with values changed.
    virtual bool Settings(CSettingsValues& values)
    {
        static_cast<void>(values);
        return false;
    }
    /// Runs a link file's conversion behind a progress display with Cancel: work is given the report
    /// that answers false once the user cancelled; its answer is returned. Without a display the work
    /// runs in line and is never cancelled.
    virtual int16_t RunConversion(const std::function<int16_t(const ConversionProgress&)>& work)
    {
        return work([](int) { return true; });
    }
    /// File information (dialog 102) over the file the pages were read from and the pages.
    virtual void FileInformation(const CLoadedFile& file, const CPageImageArray& pages)
    {
        static_cast<void>(file);
        static_cast<void>(pages);
    }
};

/// The application's values the document reads and updates; the program fills them.
struct CViewerAppValues {
    int readOption = 0;
    intptr_t appValue = 0;
    bool sendRegistration = false;
    std::string installDir; ///< with a trailing "/"
    std::string lastFile, lastDir;
    bool busy = false;
    int cmplJustify = 1, cmplRow = 2;
    /// Stores "CmplJustify" and "CmplRow" (set by the program).
    std::function<void(int justify, int rows)> storeReducedView;
    /// The styles, fonts and stamps of new annotations: all zero at start, never stored.
    CAnnotationDefaults annotationDefaults;
};

/// The registered message that announces a save to the user's programs, and its two wParams.
inline constexpr const char* kSaveAnnounceMessage = "VELMORA for Windows";
inline constexpr uint32_t kSaveAnnounceStart = 120, kSaveAnnounceEnd = 121;
/// Texts of the viewer's string table.
enum ViewerString : uint32_t {
    IDS_APP_TITLE = 57344, ///< the application title, the caption of the document's and dialogs' messages
    IDS_STATUS_HELP = 57345,
    IDS_STATUS_PROCESSING = 59403,
    IDS_TOOL_CAPTION = 60012, ///< the caption of the tools' messages (clipboard, tilt)
    IDS_TEXT_FILE_TITLE = 60016,
    IDS_CANNOT_OPEN_FILE = 60068,
    IDS_PAGE_OUT_OF_RANGE = 60073,
    IDS_NOT_ENOUGH_MEMORY = 60074,
    IDS_CANNOT_READ_FILE = 60075,
    IDS_INCORRECT_FILE_SIZE = 60076,
    IDS_CLIPBOARD_NOT_OPENED = 60080,
    IDS_CLIPBOARD_TOO_LARGE = 60081,
    IDS_TILT_NOT_FOUND = 60082,
    IDS_DRAG_TILT_LINE = 60083,
    IDS_LINE_OUT_OF_RANGE = 60087,
    IDS_FILE_CHANGED_ON_DISK = 60090,
    IDS_LINK_FILES_REPEAT = 60091,
    IDS_LINK_FILES_TOO_DEEP = 60092,
    IDS_FORMAT_NOT_SUPPORTED = 60093,
    IDS_OPEN_TITLE = 60094,
    IDS_INSERT_TITLE = 60095,
    IDS_ADD_TITLE = 60096,
    IDS_REGISTER_SAVED = 60097,
    IDS_LINK_NOT_SAVED = 60098,
    IDS_CHANGE_TO_MULTIPAGE = 60099,
    IDS_SAVE_CURRENT_PAGE = 60100,
    IDS_CLIPBOARD_EMPTY = 60101,
    IDS_SAVE_CHANGES = 60102, ///< "%1": the document's path, or IDS_UNTITLED
    IDS_UNTITLED = 60103,
    IDS_STAMP_SIZE_RANGE = 60104,
};

/// At a viewer's start: removes the private temporary folders of viewers that were killed, and
/// the temporary files that killed saves left beside document (none when empty).
void SweepStaleTemporaries(const std::string& document);

class CTqlVwTLDoc {
public:
    CTqlVwTLDoc(CViewerAppValues& app, IPrompter& prompter, IViewerFrame& frame, IPageClipboard& clipboard);
    ~CTqlVwTLDoc();
    CTqlVwTLDoc(const CTqlVwTLDoc&) = delete;
    CTqlVwTLDoc& operator=(const CTqlVwTLDoc&) = delete;

    /// The first view is the thumbnail view, the second the page view.
    void SetViews(IViewerView* thumbnailView, IPageView* pageView);
    /// Null gives back the layer and record that do nothing (the page view going first).
    void SetAnnotationLayer(IAnnotationLayer* layer) { m_pLayer = layer ? layer : &m_noLayer; }
    void SetUndoRecord(IUndoRecord* undo) { m_pUndo = undo ? undo : &m_noUndo; }

    /// Empties the document with an empty title.
    bool OnNewDocument();
    /// Opens path: on success the pages, format and path are the file's and the views start anew;
    /// on failure the library's message was shown and the document is as it was.
    bool OnOpenDocument(const std::string& path);
    /// Saves (the Save steps): false after telling the user why, the document still modified.
    bool OnSaveDocument(const std::string& path);
    /// Every page deleted, not modified.
    void DeleteContents();
    /// Before the document closes: asks to save changes; false when the user cancels.
    bool SaveModified();
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    /// Runs a command; false when the document has no entry for it.
    bool OnCommand(int id);
    /// Enables and checks a command; false when the document has no entry for it.
    bool OnUpdateCommand(int id, CCmdUI& ui);

    /// Ends any annotation edit in the page view.
    void EndAnnotationEdit();
    /// Gives pane 1 (thumbnail view) or 2 (page view) the focus and remembers it.
    void ActivatePane(int pane);
    /// Activates the remembered pane (1 when none).
    void RestoreFocus();

    const CPageImageArray& Pages() const { return m_pages; }
    /// Page edits of the undo record and the tilt correction: a new page made from bitmap (owned
    /// from now on) at index (0 to the count), the page at index removed, or its bitmap replaced.
    /// The views learn of them through PagesChanged.
    void InsertPageAt(int index, IKHANDLE bitmap);
    void RemovePageAt(int index);
    void ReplacePageAt(int index, IKHANDLE bitmap);
    /// The page counts of both views brought up to date (the current page kept within them), then
    /// both views start anew.
    void PagesChanged();
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    const std::string& PathName() const { return m_strPath; }
    /// The file the pages were read from or last saved to, as it was then (file type 0: none).
    const CLoadedFile& LoadedFile() const { return m_loadedFile; }
    const std::string& Title() const { return m_strTitle; }
    int FormatType() const { return m_nType; }
    int Compression() const { return m_nCompression; }
    bool Loaded() const { return m_bLoaded; }
    /// This viewer's private temporary document (link files are converted into it).
    const std::string& TemporaryDocument() const { return m_strTempDoc; }

private:
    bool EditingAllowed() const;
    int CurrentPage() const;
    /// Shows a failure about the file at path: the library's text (or the viewer's own for its
    /// codes), naming the file.
    void ShowError(int code, const std::string& path);
    void Message(const std::string& text, unsigned flags);
    // Reads every page of path (link files through the temporary document) under the wait cursor and
    // the status text "Processing ..."; the library's code.
    int16_t LoadInto(const std::string& path, CPageImageArray& pages, CLoadedFile& file, int& type);
    int16_t ReadInto(const std::string& path, CPageImageArray& pages, CLoadedFile& file, int& type);
    void TakePages(CPageImageArray&& pages);
    void UpdateViews();
    bool SaveAs();
    bool InsertFromFile(bool insert);
    void CopyPage();
    void DeletePage();
    void PastePage(bool atEnd);
    void RegisterSend(const std::string& path);
    bool SendListHas(const std::string& path);
    void ForwardToViews(int id, bool both);

    CViewerAppValues& m_app;
    IPrompter& m_prompter;
    IViewerFrame& m_frame;
    IPageClipboard& m_clipboard;
    IViewerView* m_pThumbView = nullptr;
    IPageView* m_pPageView = nullptr;
    IAnnotationLayer* m_pLayer = nullptr;
    IUndoRecord* m_pUndo = nullptr;
    IAnnotationLayer m_noLayer;
    IUndoRecord m_noUndo;

    CPageImageArray m_pages;
    CLoadedFile m_loadedFile;
    std::string m_strPath;
    std::string m_strTitle;
    int m_nType = 0, m_nCompression = 0;
    CFileFormat m_chosen;
    bool m_bFormatChosen = false;
    bool m_bLoaded = false;
    int m_nFocusedPane = 0;
    bool m_bModified = false;
    std::string m_strTempFolder, m_strTempDoc;
};

} // namespace viewer
