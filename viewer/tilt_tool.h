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
/// given (the angle atan(a / b)), or along the tilt found in the page. The result has the page's
/// size and kind; nothing when no tilt can be found.
std::optional<QImage> StraightenPage(const QImage& page, std::optional<std::pair<int, int>> direction);

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
    /// Drops the line (and with close the dialog).
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
    void End() override;

private:
    IAnnotationView& m_view;
    IUndoRecord& m_undo;
    CAnnotationItem m_line;
    bool m_bDragging = false;
    gdi::POINT m_fixed, m_moving; // scrolled window pixels
};

} // namespace viewer
