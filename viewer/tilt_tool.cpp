#include "viewer/tilt_tool.h"

#include "common/resource_locale.h"
#include "viewer/tilt_detect.h"
#include "viewer/viewer_document.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace viewer {

namespace {

constexpr int32_t kLineWidth = 2;
constexpr uint32_t kLineColour = 0x0000FF;

} // namespace

std::optional<QImage> StraightenPage(const QImage& page, std::optional<std::pair<int, int>> direction, bool inverted)
{
    if (page.isNull())
        return std::nullopt;
    QImage mono = page.convertToFormat(QImage::Format_Mono);
    if (direction) {
        const auto [a, b] = *direction;
        return LevelMono(mono, std::atan2(static_cast<double>(a), static_cast<double>(b)) * 180 / std::numbers::pi);
    }
    // The ink offered first: the black pixels, or the white ones of an inverted display.
    QImage black = mono.copy();
    const QList<QRgb> colours = black.colorTable();
    if (colours.size() < 2 || qGray(colours[1]) >= 128)
        black.invertPixels();
    QImage white = black.copy();
    white.invertPixels();
    std::optional<double> tilt = DetectTilt(inverted ? white : black);
    if (!tilt)
        tilt = DetectTilt(inverted ? black : white);
    if (!tilt)
        return std::nullopt;
    return LevelMono(mono, *tilt);
}

CTiltTool::CTiltTool(IAnnotationView& view, IUndoRecord& undo) : m_view(view), m_undo(undo) {}

int CTiltTool::CurrentPage() { return ShownPage(m_view); }

bool CTiltTool::HasLine() { return m_view.PageState().GetTiltLine() != 0; }

std::pair<int, int> CTiltTool::SizeNow()
{
    const int angle = TurnAngle(m_line.orientation, m_view.PageState().GetRotation());
    return angle == 90 || angle == 270 ? std::pair{m_line.pageHeight, m_line.pageWidth}
                                       : std::pair{m_line.pageWidth, m_line.pageHeight};
}

std::pair<gdi::POINT, gdi::POINT> CTiltTool::ScreenEnds()
{
    const auto [width, height] = SizeNow();
    return ScreenLineOf(m_line, m_view.PageState().GetRotation(), width, height, m_view.ZoomScale());
}

void CTiltTool::InvalidateLine(int extraX, int extraY)
{
    const auto [width, height] = SizeNow();
    const double zoom = m_view.ZoomScale();
    const gdi::RECT area
        = RepaintArea(ScreenRectOf(m_line, m_view.PageState().GetRotation(), width, height, zoom), m_line.width, zoom);
    const gdi::POINT scroll = m_view.ScrollPosition();
    m_view.Invalidate({area.left - extraX - scroll.x, area.top - extraY - scroll.y, area.right + extraX - scroll.x,
                       area.bottom + extraY - scroll.y});
}

void CTiltTool::InvalidateRubber()
{
    if (const auto line = RubberLine())
        m_view.Invalidate(RepaintArea(Spanned(line->first, line->second), kLineWidth, m_view.ZoomScale()));
}

void CTiltTool::EnterTiltMode() { m_view.TiltDialogs().OpenTiltDialog(*this); }

void CTiltTool::StartLine(int x, int y)
{
    const gdi::POINT scroll = m_view.ScrollPosition();
    m_fixed = m_moving = m_current = {x + scroll.x, y + scroll.y};
    m_hit = -1;
    m_bDragging = true;
    InvalidateRubber();
}

void CTiltTool::MoveLine(int x, int y)
{
    if (!m_bDragging)
        return;
    InvalidateRubber();
    const gdi::POINT scroll = m_view.ScrollPosition();
    if (m_hit == 10)
        m_current = {x + scroll.x, y + scroll.y};
    else
        m_moving = {x + scroll.x, y + scroll.y};
    InvalidateRubber();
}

void CTiltTool::EndLine(int x, int y)
{
    if (!m_bDragging)
        return;
    MoveLine(x, y);
    m_bDragging = false;
    CPageDisplayState& state = m_view.PageState();
    CTqlVwTLDoc& document = m_view.Document();
    const double zoom = m_view.ZoomScale();
    m_line.Reset();
    m_line.page = CurrentPage();
    m_line.kind = kAnnotLine;
    m_line.width = kLineWidth;
    m_line.colour = kLineColour;
    m_line.x1 = ToPage(m_fixed.x, zoom);
    m_line.y1 = ToPage(m_fixed.y, zoom);
    m_line.x2 = ToPage(m_moving.x, zoom);
    m_line.y2 = ToPage(m_moving.y, zoom);
    m_line.rect = Spanned({m_line.x1, m_line.y1}, {m_line.x2, m_line.y2});
    m_line.orientation = state.GetRotation();
    if (m_line.page < document.PageCount()) {
        const CPageImage& page = *document.Pages()[static_cast<size_t>(m_line.page)];
        std::tie(m_line.pageWidth, m_line.pageHeight)
            = SizeInOrientation(page.Width(), page.Height(), m_line.orientation);
    }
    state.SetTiltLine(1);
    InvalidateLine();
    m_view.UpdateWindow();
}

int CTiltTool::HitTest(int x, int y)
{
    if (!HasLine() || m_line.page != CurrentPage())
        return -1;
    const gdi::POINT scroll = m_view.ScrollPosition();
    const gdi::POINT p{x + scroll.x, y + scroll.y};
    const auto [a, b] = ScreenEnds();
    if (PtInRect(HandleRect(a), p))
        return 0;
    if (PtInRect(HandleRect(b), p))
        return 1;
    const int percent = static_cast<int>(std::lround(m_view.ZoomScale() * 100));
    return SegmentHit(a, b, p, std::max(1, gdi::MulDiv(m_line.width, percent, 100))) ? 10 : -1;
}

bool CTiltTool::PressOnLine(int x, int y)
{
    m_pressPoint = {x, y};
    m_pressTick = m_view.TickCount();
    const int hit = HitTest(x, y);
    if (hit < 0)
        return false;
    const auto [a, b] = ScreenEnds();
    m_hit = hit;
    if (hit == 0) {
        m_fixed = b;
        m_moving = a;
    } else {
        // The second end moves; a move carries both ends along from the press point.
        m_fixed = a;
        m_moving = b;
    }
    const gdi::POINT scroll = m_view.ScrollPosition();
    m_current = {x + scroll.x, y + scroll.y};
    m_bDragging = true;
    return true;
}

void CTiltTool::ReleaseOnLine(int x, int y)
{
    if (!m_bDragging || m_hit < 0)
        return;
    MoveLine(x, y);
    m_bDragging = false;
    const int hit = std::exchange(m_hit, -1);
    const auto [clickX, clickY] = m_view.DoubleClickSize();
    const uint32_t elapsed = m_view.TickCount() - m_pressTick;
    if (elapsed < static_cast<uint32_t>(std::max(0, m_view.DoubleClickTime()))
        && std::abs(x - m_pressPoint.x) <= clickX / 2 && std::abs(y - m_pressPoint.y) <= clickY / 2) {
        InvalidateLine(clickX, clickY);
        return;
    }
    InvalidateLine();
    const double zoom = m_view.ZoomScale();
    const int angle = TurnAngle(m_view.PageState().GetRotation(), m_line.orientation);
    if (hit == 10) {
        const gdi::POINT drag = TurnVector(angle, {x - m_pressPoint.x, y - m_pressPoint.y});
        const int dx = ToPage(drag.x, zoom), dy = ToPage(drag.y, zoom);
        m_line.x1 += dx;
        m_line.y1 += dy;
        m_line.x2 += dx;
        m_line.y2 += dy;
    } else {
        const gdi::POINT first = hit == 0 ? m_moving : m_fixed, second = hit == 0 ? m_fixed : m_moving;
        const gdi::POINT a = TurnPointBy(angle, {ToPage(first.x, zoom), ToPage(first.y, zoom)}, m_line.pageWidth,
                                         m_line.pageHeight);
        const gdi::POINT b = TurnPointBy(angle, {ToPage(second.x, zoom), ToPage(second.y, zoom)}, m_line.pageWidth,
                                         m_line.pageHeight);
        m_line.x1 = a.x;
        m_line.y1 = a.y;
        m_line.x2 = b.x;
        m_line.y2 = b.y;
    }
    m_line.rect = Spanned({m_line.x1, m_line.y1}, {m_line.x2, m_line.y2});
    InvalidateLine();
}

void CTiltTool::Discard(bool close)
{
    CPageDisplayState& state = m_view.PageState();
    if (!state.GetEditingAllowed() || state.GetHideAnnotations() || m_view.Document().PageCount() == 0
        || state.GetTool() != kToolTilt)
        return;
    if (m_bDragging)
        InvalidateRubber();
    m_bDragging = false;
    m_hit = -1;
    if (HasLine()) {
        state.SetTiltLine(0);
        if (m_line.page == CurrentPage())
            InvalidateLine();
    }
    if (close)
        m_view.TiltDialogs().CloseTiltDialog();
}

std::optional<std::pair<gdi::POINT, gdi::POINT>> CTiltTool::RubberLine() const
{
    if (!m_bDragging)
        return std::nullopt;
    const gdi::POINT scroll = m_view.ScrollPosition();
    gdi::POINT a = m_fixed, b = m_moving;
    if (m_hit == 10) {
        const int dx = m_current.x - m_pressPoint.x - scroll.x, dy = m_current.y - m_pressPoint.y - scroll.y;
        a = {a.x + dx, a.y + dy};
        b = {b.x + dx, b.y + dy};
    }
    return std::pair{gdi::POINT{a.x - scroll.x, a.y - scroll.y}, gdi::POINT{b.x - scroll.x, b.y - scroll.y}};
}

const CAnnotationItem* CTiltTool::Line() const
{
    return m_view.PageState().GetTiltLine() ? &m_line : nullptr;
}

std::optional<std::pair<gdi::POINT, gdi::POINT>> CTiltTool::ReferenceLine()
{
    if (!HasLine())
        return std::nullopt;
    return std::pair{gdi::POINT{m_line.x1, m_line.y1}, gdi::POINT{m_line.x2, m_line.y2}};
}

int CTiltTool::LineOrientation() { return m_line.orientation; }

std::pair<int, int> CTiltTool::PageSize()
{
    CTqlVwTLDoc& document = m_view.Document();
    if (document.PageCount() == 0)
        return {0, 0};
    const CPageImage& page = *document.Pages()[static_cast<size_t>(CurrentPage())];
    return {page.Width(), page.Height()};
}

void CTiltTool::Correct(std::optional<std::pair<int, int>> direction)
{
    CPageDisplayState& state = m_view.PageState();
    CTqlVwTLDoc& document = m_view.Document();
    if (!state.GetEditingAllowed() || document.PageCount() == 0)
        return;
    const int index = CurrentPage();
    m_view.SetWaitCursor(true);
    const QImage before = document.Pages()[static_cast<size_t>(index)]->Bitmap();
    const std::optional<QImage> result = StraightenPage(before, direction, state.GetInvert() != 0);
    // A page that came out as it was is no change: nothing to mark or to undo.
    if (result && !result->isNull() && *result != before) {
        if (const IKHANDLE straightened = PageOfBitmap(*result)) {
            m_undo.RecordTilt(index, before.copy());
            document.ReplacePageAt(index, straightened);
            document.SetModifiedFlag();
            document.PagesChanged();
        }
    }
    m_view.SetWaitCursor(false);
    if (!result)
        m_view.Prompter().MessageBox(LoadResourceString(IDS_TILT_NOT_FOUND), LoadResourceString(IDS_TOOL_CAPTION), MB_ICONEXCLAMATION);
    Discard(false);
}

void CTiltTool::End()
{
    Discard(false);
    m_view.TiltDialogs().CloseTiltDialog();
    m_view.PageState().SetTool(kToolHand);
}

} // namespace viewer
