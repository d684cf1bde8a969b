// What the viewer program and its two views decide without a display: the command line, the
// "SetUp" settings, the status panes' texts, the page view's layout, zoom, turns, scrolling, keys,
// command rules and tool dispatch, and the thumbnail view's grid, hit test and keys.
#pragma once

#include "viewer/display_state.h"
#include "viewer/viewer_document.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

// ---- program start ------------------------------------------------------------------------------

/// What the command line asks for.
struct CViewerCommandLine {
    std::string title;       ///< "/T": the rest of the element, quotes removed
    bool titleGiven = false;
    bool sendRegistration = false; ///< "/S"
    bool annotationTools = false;  ///< always off: editing is never allowed
    std::string document;          ///< the first other element, quotes removed; empty for none
};

/// Reads the argument vector: "/T", "/P" and "/S" in any case; other elements beginning with "/" or
/// "-" are skipped unless exists() says they name a file or they hold a further "/" (an absolute
/// path, outside a quoted title); the first other element is the document.
CViewerCommandLine ParseViewerCommandLine(const std::vector<std::string>& args,
                                          const std::function<bool(const std::string&)>& exists);

/// The "SetUp" values (HKCU "Software\Kovra\Qelta Viewer\SetUp", DWORDs).
struct CViewerSettings {
    int cmplJustify = 1, cmplRow = 2;
    int viewScale = 4, viewJustify = 1, viewGradation = 1;
    int windowLeft = 0, windowTop = 0, windowRight = 400, windowBottom = 300;
    int windowZoom = 0;
    int cmplWidth = 200;

    /// Values read back within range: ViewScale 1 to 6, CmplRow 1 to 4 (else 2), CmplWidth 0 to
    /// the screen width, flags 0 or 1. A 0 column count or a huge scale would break the views.
    void Clamp(int screenWidth);
    /// The window rectangle is a first run's (nothing stored yet, or that rectangle stored back).
    bool IsFirstRunWindow() const
    {
        const CViewerSettings first;
        return windowLeft == first.windowLeft && windowTop == first.windowTop && windowRight == first.windowRight
               && windowBottom == first.windowBottom;
    }
    /// The window rectangle stored at close: a negative left or top moves the rectangle back to 0.
    void StoreWindow(int left, int top, int right, int bottom, bool maximised, bool minimised);
};
inline constexpr const char* kViewerSettingsKey = "Software\\Kovra\\Qelta Viewer";
inline constexpr const char* kViewerSettingsSection = "SetUp";

/// Reads and writes the settings (names as stored).
CViewerSettings ReadViewerSettings(int screenWidth);
void WriteViewerSettingsAtExit(const CViewerSettings& settings);
void WriteReducedViewSettings(int justify, int rows);
/// The bars' state, one binary value "TqlVwTL" of the program's key; nothing when none is stored.
std::optional<std::string> ReadBarState();
void WriteBarState(const std::string& bytes);

/// The frame's caption for a document title: "title - Qelta Viewer", the program's name alone
/// without a title.
std::string FrameCaption(const std::string& documentTitle);

// ---- status bar ---------------------------------------------------------------------------------

/// The texts of panes 1 to 6 (pane 0 takes its text as it stands).
std::string PagePaneText(int count, int index);
std::string SizePaneText(int width, int height);
std::string FitPaneText(bool fit);
std::string GreyPaneText(bool grey);
std::string ZoomPaneText(int percent);
std::string ActivePaneText(int pane);

// ---- page view ----------------------------------------------------------------------------------

/// The annotation layer's share of the mouse work. Editing stays off in this viewer: the program
/// binds a layer that does nothing.
class IToolWork {
public:
    enum Call {
        kStartMoveResize, kStartStroke, kPlaceStamp, kStartLine, kStartRubberBand, kTiltPress,
        kFollow, kEndMoveResize, kEndStroke, kEndRubberBand, kEndLine, kEndTilt, kEditSelected,
    };
    virtual ~IToolWork() = default;
    virtual void Work(Call call, int tool, int x, int y)
    {
        static_cast<void>(call);
        static_cast<void>(tool);
        static_cast<void>(x);
        static_cast<void>(y);
    }
};

/// What a key asks the view for.
enum class KeyAction { None, OtherPane, PageUp, PageDown, LineUp, LineDown, PageLeft, PageRight,
                       RowUp, RowDown, PreviousPage, NextPage };
enum ViewKey { kKeyTab, kKeyPageUp, kKeyPageDown, kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyHome, kKeyEnd, kKeyOther };

/// The most pixels a fitted page is enlarged to ahead of drawing (4 MB at one bit a pixel).
inline constexpr int64_t kMaxStretchedPixels = int64_t{1} << 25;

/// The longest a page or a thumbnail cell is laid out on the screen, in pixels. A hostile 1 x 65,535
/// page fitted to a wide window would reach past the int range; the limit leaves room for a
/// scaled screen's device pixels above it.
inline constexpr int kMaxDisplayExtent = 1 << 28;

/// The page view's decisions over its display state.
class CPageViewLogic {
public:
    /// Start-up: ViewScale (1-6), ViewJustify and ViewGradation, editing never allowed.
    CPageViewLogic(CPageDisplayState& state, int viewScale, int viewJustify, int viewGradation);

    CPageDisplayState& State() { return m_state; }
    /// The current page's size (unrotated) and how many times taller than its pixels it is shown
    /// (its resolutions' ratio, CPageImage::Stretch); (0, 0) without pages.
    void SetPageSize(int width, int height, double stretch = 1.0)
    {
        m_pageW = width;
        m_pageH = height;
        m_stretch = stretch > 0 ? stretch : 1.0;
    }
    /// Relayout for a client width.
    void Layout(int clientWidth);
    /// With fit, the display height for a client width (the width Layout would be given), at most
    /// kMaxDisplayExtent.
    int FitHeight(int clientWidth) const;

    /// The page's size on the screen, zoomed, turned and stretched to its true proportions.
    int DisplayWidth() const { return m_displayW; }
    int DisplayHeight() const { return m_displayH; }
    /// The zoom of the page's pixels across its own width (1.0 at 100 %); down its height they are
    /// also stretched.
    double Scale() const { return m_scale; }
    /// The page's stretch on the screen, across and down: a quarter turn takes it across.
    std::pair<double, double> Stretch() const;
    /// 1, 2, 4, 8, or -1 for fit.
    int Divisor() const;
    int ZoomPercent() const { return static_cast<int>(m_scale * 100); }
    /// Scroll sizes: (display width or 0 with fit, display height); (0, 0) without pages.
    std::pair<int, int> ScrollSize() const;
    /// The scroll position where the page's own top-left corner lies, for a client of that size.
    std::pair<int, int> AnchorScroll(int clientWidth, int clientHeight) const;
    /// The scroll position as the annotation layer sees it: the layer works on the page zoomed
    /// alike both ways (Scale), which the screen shows stretched.
    std::pair<int, int> LayerScroll(int scrollX, int scrollY) const;
    /// A point of the view's client area (scrolled by scrollX, scrollY) as the layer sees it.
    std::pair<int, int> LayerPoint(int x, int y, int scrollX, int scrollY) const;
    /// A rectangle of the layer's client area on the view's client area, rounded outwards.
    gdi::RECT ScreenArea(const gdi::RECT& layerRect, int scrollX, int scrollY) const;

    /// The zoom commands; true when the step or fit changed (relayout and rebuild).
    bool Enlarge();
    bool Reduce();
    bool RestoreDefault();
    void ToggleFit() { m_state.ToggleFit(); }
    /// Grey-scale: true when the image must be rebuilt (below 100 % or fit).
    bool ToggleGrey();

    /// The command rules of the page view; false for a command it has no rule for.
    bool Update(int id, CCmdUI& ui, int stampCount = 0) const;
    /// Sets the tool of a tool command (32800, 32801, 32803-32811, 32821, 32822); false otherwise.
    bool SelectTool(int id);

    /// Mouse work; scroll is the scroll position. Press answers false when it was ignored.
    bool Press(int x, int y, int scrollX, int scrollY, IToolWork& layer);
    /// A move; for the hand tool the new scroll position (origin + scroll - point).
    std::pair<int, int> Move(int x, int y, int scrollX, int scrollY, IToolWork& layer);
    void Release(int x, int y, IToolWork& layer);
    void DoubleClick(int x, int y, IToolWork& layer);

    /// A key (Shift held or not).
    static KeyAction Key(ViewKey key, bool shift);

private:
    CPageDisplayState& m_state;
    int m_startStep, m_startFit;
    int m_pageW = 0, m_pageH = 0;
    double m_stretch = 1.0;
    int m_displayW = 1, m_displayH = 1;
    double m_scale = 1.0;
    int m_originX = 0, m_originY = 0;
};

/// The annotation layer's work with the view's points made the layer's (CPageViewLogic::LayerPoint).
class CLayerToolWork : public IToolWork {
public:
    CLayerToolWork(const CPageViewLogic& logic, IToolWork& layer, int scrollX, int scrollY)
        : m_logic(logic), m_layer(layer), m_scrollX(scrollX), m_scrollY(scrollY)
    {
    }
    void Work(Call call, int tool, int x, int y) override
    {
        const auto [lx, ly] = m_logic.LayerPoint(x, y, m_scrollX, m_scrollY);
        m_layer.Work(call, tool, lx, ly);
    }

private:
    const CPageViewLogic& m_logic;
    IToolWork& m_layer;
    int m_scrollX, m_scrollY;
};

/// The cursor resource of the page view's client area: 140 the hand, 141-149 tools 2 to 10, 174
/// (no reference line), 175 or 176 (on the line) the tilt tool, 169-173 by the selection's hit code
/// with tool 1; 0 the arrow.
int CursorOfTool(int tool, bool selection, int hitCode, bool tiltLine, bool onTiltLine);

/// The frame's timers 1 and 2 (the page view's delayed menus): the menu to pop up, 150 (Property of
/// the tool's defaults) for timer 1 with tools 2 to 10, 161 (the stamp names) for timer 2 with the
/// stamp tool; 0 when the page view's pending request is another or the tools do not work.
int TimerMenu(int timer, int pending, const CPageDisplayState& state);

// ---- thumbnail view -----------------------------------------------------------------------------

/// The thumbnail view's grid.
class CThumbLayout {
public:
    /// Lays out count pages whose largest width and height are given, in a client of that width.
    void Layout(int clientWidth, int pageCount, int largestWidth, int largestHeight, bool fit, int columnsSetting,
                int step = -4);

    int CellWidth() const { return m_cellW; }
    int CellHeight() const { return m_cellH; }
    int Columns() const { return m_columns; }
    int Gap() const { return m_gap; }
    double Scale() const { return m_scale; }
    /// Top-left corner of page i's cell.
    std::pair<int, int> CellCorner(int page) const;
    std::pair<int, int> ScrollSize() const;
    /// Whether the label and the image are drawn.
    bool DrawsLabel() const { return m_cellW > 4 && m_cellH > 4; }
    bool DrawsImage() const { return DrawsLabel() && m_cellW > 16 && m_cellH > 16; }
    /// The page under a point (client plus scroll); current when none.
    int HitTest(int x, int y, int current) const;
    /// The scroll position that shows page's cell.
    std::pair<int, int> ScrollIntoView(int page, int scrollX, int scrollY, int clientWidth, int clientHeight) const;
    /// The page a Shift key selects; current when it does nothing.
    int ShiftKey(ViewKey key, int current) const;

private:
    int m_count = 0;
    int m_cellW = 1, m_cellH = 1, m_columns = 1, m_gap = 30;
    double m_scale = 1.0;
};

} // namespace viewer
