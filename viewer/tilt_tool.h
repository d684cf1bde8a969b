// The tilt correction: the reference line the user drags over the page (kept by the annotation
// layer, drawn like a line annotation), and the straightening of the current page along it or
// along the tilt found in the page itself. Display-free.
#pragma once

#include "viewer/annotation_host.h"
#include "viewer/viewer_dialog_logic.h"

#include <QtGui/QImage>

#include <optional>
#include <utility>

namespace viewer {

class IUndoRecord;

/// Finds the tilt of a 1-bit page (Format_Mono) and straightens it: along the direction (a, b)
/// given (the angle atan(a / b)), or along the tilt found in the page, offered first with its black
/// pixels as ink (its white ones when inverted), then the other way. The result has the page's
/// size and kind; nothing when no tilt can be found.
std::optional<QImage> StraightenPage(const QImage& page, std::optional<std::pair<int, int>> direction,
                                     bool inverted = false);

class CTiltTool : public ITiltTool {
public:
    CTiltTool(IAnnotationView& view, IUndoRecord& undo);

    /// Tool 11 became current: opens the dialog, or activates it.
    void EnterTiltMode();
    /// The rubber line: a press without a line, the moves, the release that completes it.
    void StartLine(int x, int y);
    void MoveLine(int x, int y);
    void EndLine(int x, int y);
    /// 0 or 1 an end's grip, 10 the line, -1 nothing (window pixels).
    int HitTest(int x, int y);
    /// A press on the line starts dragging an end or the line; false when it missed.
    bool PressOnLine(int x, int y);
    void ReleaseOnLine(int x, int y);
    /// Drops the line (and with close the dialog); only while editing is allowed, annotations are
    /// shown, pages exist and tool 11 is current.
    void Discard(bool close);

    /// The line while it is dragged, in window pixels.
    std::optional<std::pair<gdi::POINT, gdi::POINT>> RubberLine() const;
    /// The reference line as a line item, when present.
    const CAnnotationItem* Line() const;

    // The dialog's calls.
    std::optional<std::pair<gdi::POINT, gdi::POINT>> ReferenceLine() override;
    int LineOrientation() override;
    std::pair<int, int> PageSize() override;
    void Correct(std::optional<std::pair<int, int>> direction) override;
    /// Closes the dialog with the line and makes the hand tool (0) current.
    void End() override;

private:
    int CurrentPage();
    bool HasLine();
    /// The line's ends in the current orientation at the zoom (scrolled window pixels).
    std::pair<gdi::POINT, gdi::POINT> ScreenEnds();
    /// The current orientation's page size for the line (from the size it was stored with).
    std::pair<int, int> SizeNow();
    /// Repaints the line's area (window pixels), widened by extra on each side.
    void InvalidateLine(int extraX = 0, int extraY = 0);
    /// Repaints the rubber line as it stands.
    void InvalidateRubber();

    IAnnotationView& m_view;
    IUndoRecord& m_undo;
    CAnnotationItem m_line;
    bool m_bDragging = false;
    gdi::POINT m_fixed, m_moving; // scrolled window pixels
    int m_hit = -1;               // what the press grabbed: 0, 1 an end, 10 the line, -1 a new line
    gdi::POINT m_pressPoint;      // window pixels
    uint32_t m_pressTick = 0;
    gdi::POINT m_current;         // where a move has got to (scrolled window pixels)
};

} // namespace viewer
