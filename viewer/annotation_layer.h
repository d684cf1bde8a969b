// The annotation layer of the page view: the items of the whole document in one list in z-order,
// the creation tools, selection and editing, the clipboard, and the tilt tool's reference line;
// and the one-step undo record. Display-free: the page view reaches them through IAnnotationView.
// Nothing here runs unless the view's display state allows editing.
#pragma once

#include "viewer/annotation_drawing.h"
#include "viewer/annotation_host.h"
#include "viewer/tilt_tool.h"
#include "viewer/view_logic.h"
#include "viewer/viewer_document.h"

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace viewer {

class CAnnotationLayer;

/// The one-step undo record: one operation held at a time, emptied by an undo, no redo.
class CUndoRecord : public IUndoRecord {
public:
    enum Kind : int {
        kDeletePage = 0,
        kInsertPage = 1,
        kAppendPage = 2,
        kDeleteAnnotation = 3,
        kAddAnnotation = 4,
        kChangeAnnotation = 5,
        kBringToFront = 6,
        kSendToBack = 7,
        kTiltCorrection = 8,
    };
    CUndoRecord() = default;
    ~CUndoRecord() override;
    CUndoRecord(const CUndoRecord&) = delete;
    CUndoRecord& operator=(const CUndoRecord&) = delete;

    /// Binds the record to the page view and its layer, and resets it; null unbinds.
    void Bind(IAnnotationView* view, CAnnotationLayer* layer);

    // The document's records (kinds 0, 1 or 2, and 8).
    void RecordDelete(int index, const QImage& page) override;
    void RecordInsert(int index) override;
    void RecordTilt(int index, const QImage& page) override;
    /// The layer's records: kinds 3 to 7 with the annotation index. False without a bound view.
    bool Record(Kind kind, int index);
    void Reset() override;

    bool HoldsOperation() const { return m_bHolds; }
    Kind HeldKind() const { return m_kind; }
    /// Undoes the operation held and resets; false when nothing is held or no view is bound.
    bool Undo();

private:
    IAnnotationView* m_pView = nullptr;
    CAnnotationLayer* m_pLayer = nullptr;
    bool m_bHolds = false;
    Kind m_kind = kDeletePage;
    int m_nPage = -1;
    int m_nAnnotation = -1;
    std::vector<CAnnotationItem> m_saved;           // copies, owned
    std::vector<const CAnnotationItem*> m_order;    // the list in its former order, not owned
    QImage m_page;                                  // a copy of a page bitmap
};

/// What the view draws over the page while a tool drags: a rubber band or a line, in window pixels.
struct CToolOverlay {
    enum Shape { kNone, kRectangle, kLine } shape = kNone;
    gdi::RECT rect;
    gdi::POINT from, to;
};

class CAnnotationLayer : public IAnnotationLayer, public IToolWork {
public:
    CAnnotationLayer(IAnnotationView& view, CUndoRecord& undo);
    ~CAnnotationLayer() override;
    CAnnotationLayer(const CAnnotationLayer&) = delete;
    CAnnotationLayer& operator=(const CAnnotationLayer&) = delete;

    // ---- the list (annotation_layer.cpp) ------------------------------------------------------
    CAnnotationList& Items() { return m_items; }
    const CAnnotationList& Items() const { return m_items; }
    /// Appends an item on top; its index.
    int Append(std::unique_ptr<CAnnotationItem> item);
    bool PageHasAnnotations(int page) const;
    void ClearAll() override;
    void RemovePage(int index) override;
    void InsertPage(int index) override;
    /// Burns the page's items into the page's bitmap; false when it has none.
    bool BurnIn(int index, CPageImage& page) override;
    void EndEdit(int step) override;
    void CancelToolWork(int flag) override;
    /// The mouse work the view's logic hands over.
    void Work(Call call, int tool, int x, int y) override;

    /// Draws the current page's items, the selection's handles, the reference line and the drag
    /// overlay over the page (the painter in window pixels, scroll already applied).
    void Draw(QPainter& painter, const QRect& area);
    const CToolOverlay& Overlay() const { return m_overlay; }

    /// Puts the item and its picture on the clipboard; nothing when either cannot be made.
    bool CopyToClipboard(const CAnnotationItem& item);
    /// Reads the clipboard's block into scratch within the page size; "Clipboard cannot be opened."
    /// when the clipboard does not open.
    bool ReadClipboard(CAnnotationItem& scratch, std::pair<int, int> pageSize);
    /// Pastes the clipboard's item on the current page's top-left corner, on top, selected.
    bool Paste();

    // Helpers every part of the layer uses.
    int CurrentPage();
    /// The current page's size in the current orientation (page pixels); (0, 0) without pages.
    std::pair<int, int> PageSizeNow();
    /// The current page at the zoom, in scrolled window pixels.
    gdi::RECT PageOnScreen();
    /// A window point plus the scroll position.
    gdi::POINT Scrolled(int x, int y) const;
    /// Repaints the item's area when it lies on the page shown.
    void InvalidateItem(const CAnnotationItem& item);
    /// Whether a release at (x, y) now is a click after the last press (time and distance).
    bool IsClick(int x, int y);
    /// The view, the undo record.
    IAnnotationView& View() { return m_view; }
    CUndoRecord& UndoRecord() { return m_undo; }
    /// Marks the document modified.
    void SetModified();
    /// The drag overlay of a band or a line given in scrolled window pixels.
    CToolOverlay BandOverlay(const gdi::RECT& band) const;
    CToolOverlay LineOverlay(gdi::POINT from, gdi::POINT to) const;
    /// Replaces the overlay, repainting where the old one was and where the new one is.
    void ShowOverlay(const CToolOverlay& next);

    // ---- creation tools (annotation_tools.cpp) ------------------------------------------------
    void BandPress(int x, int y);
    void BandMove(int x, int y);
    /// Ends the band; false after a click (nothing to create).
    bool BandRelease(int x, int y);
    /// Creates the item of tool 3, 5, 6 or 9 from the band, or opens the editor for 7 and 8.
    void CreateFromBand(int tool);
    void LinePress(int x, int y);
    void LineMove(int x, int y);
    void LineRelease(int x, int y);
    void StrokePress(int x, int y);
    void StrokeMove(int x, int y);
    void StrokeRelease(int x, int y);
    void PlaceStamp(int x, int y);
    /// Ends the in-place edit: a changed text is stored (an existing item) or made a new item.
    void EndTextEdit();
    /// Opens the editor over an existing text or patch memo.
    void OpenEditor(int index);
    /// A stamp's text with "%x" (date), "%X" (time) and "%c" (c) expanded, a last "%" dropped.
    static std::string ExpandStampText(const std::string& text, const std::tm& now);

    // ---- selection and editing (annotation_select.cpp) ----------------------------------------
    // The page view's commands on annotations: true when the layer handled or decided the command
    // (the in-place editor's forms first, then the annotation forms).
    bool OnCommand(int id);
    bool OnUpdateCommand(int id, CCmdUI& ui);
    void Select(int index);
    /// Selects none when editing is allowed, pages exist and annotations are shown.
    void Deselect();
    /// The item under a window point on the current page (top first), -1 for none.
    int HitItem(int x, int y);
    /// The hit code of a window point on an item: 0, 1 line ends, 2 to 9 handles, 10 move, -1 none.
    int HitHandle(int x, int y, int index);
    /// Starts a move or resize of the item; 0 when the point misses it.
    int SelectPress(int x, int y, int index);
    void SelectMove(int x, int y);
    void SelectRelease(int x, int y);
    bool CutAnnotation(bool remembered);
    bool CopyAnnotation(bool remembered);
    bool EditTextAnnotation(bool remembered);
    bool Properties(int flag);
    bool BringToFront(int flag);
    bool SendToBack(int flag);

private:
    // The select drag's band or line shown as the overlay (annotation_select.cpp).
    void ShowSelectOverlay();

public:

    // ---- tilt correction (tilt_tool.cpp) ------------------------------------------------------
    CTiltTool& Tilt() { return m_tilt; }

private:
    IAnnotationView& m_view;
    CUndoRecord& m_undo;
    CAnnotationList m_items;
    CToolOverlay m_overlay;
    CTiltTool m_tilt;

    // The drag shared by the tools and the select drag.
    gdi::POINT m_pressPoint;
    uint32_t m_pressTick = 0;
    gdi::POINT m_start, m_current; // scrolled window pixels
    gdi::RECT m_band;
    int m_changing = -1;           // the item being changed
    int m_hitCode = -1;
    gdi::RECT m_anchor;            // the fixed corner or edges of a resize, the rectangle of a move

    // The text edit.
    int m_editKind = 0;
    gdi::LOGFONTA m_editFont;
    uint32_t m_editColour = 0;
    std::string m_editStartText;
    bool m_bEditExisting = false;
    int m_editItem = -1;
    gdi::RECT m_editBand;

    // The freehand stroke in progress (its item's index), -1 for none.
    int m_stroke = -1;

    // Whether the tilt tool's press grabbed its line (else it started a new one).
    bool m_bTiltOnLine = false;
};

} // namespace viewer
