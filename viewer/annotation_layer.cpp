// The annotation layer's list, its page housekeeping, burn-in, the clipboard, the shared helpers of
// the tools and the dispatch of the page view's mouse work.
#include "viewer/annotation_layer.h"

#include "common/resource_locale.h"

#include <QtGui/QPainter>
#include <QtGui/QPen>

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

enum class ClipboardRead { kNotOpened, kRefused, kRead };

ClipboardRead ReadAnnotation(IAnnotationView& view, CAnnotationItem& scratch, std::pair<int, int> pageSize)
{
    if (!view.Clipboard().Open()) {
        view.Prompter().MessageBox(LoadResourceString(IDS_CLIPBOARD_NOT_OPENED), LoadResourceString(IDS_TOOL_CAPTION), MB_ICONEXCLAMATION);
        return ClipboardRead::kNotOpened;
    }
    const std::optional<std::vector<uint8_t>> block = view.Clipboard().Annotation();
    if (!block || !FromClipboardBlock(scratch, *block, pageSize))
        return ClipboardRead::kRefused;
    return ClipboardRead::kRead;
}

/// The index an item keeps when the items for which gone is true leave the list before it; -1
/// when it goes itself.
int IndexAfterRemoval(const CAnnotationList& items, int index, const std::vector<bool>& gone)
{
    if (index < 0 || index >= static_cast<int>(items.size()) || gone[static_cast<size_t>(index)])
        return -1;
    return index - static_cast<int>(std::count(gone.begin(), gone.begin() + index, true));
}

} // namespace

CAnnotationLayer::CAnnotationLayer(IAnnotationView& view, CUndoRecord& undo)
    : m_view(view), m_undo(undo), m_tilt(view, undo)
{
}

CAnnotationLayer::~CAnnotationLayer() = default;

int CAnnotationLayer::Append(std::unique_ptr<CAnnotationItem> item)
{
    m_items.push_back(std::move(item));
    return static_cast<int>(m_items.size()) - 1;
}

bool CAnnotationLayer::PageHasAnnotations(int page) const
{
    return std::any_of(m_items.begin(), m_items.end(), [page](const auto& item) { return item->page == page; });
}

void CAnnotationLayer::ClearAll()
{
    m_items.clear();
    m_view.PageState().SetSelected(-1);
    m_view.PageState().SetRemembered(-1);
}

void CAnnotationLayer::RemovePage(int index)
{
    // The selection follows its item to its new index (or goes with it).
    std::vector<bool> gone(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i)
        gone[i] = m_items[i]->page == index;
    CPageDisplayState& state = m_view.PageState();
    state.SetSelected(IndexAfterRemoval(m_items, state.GetSelected(), gone));
    state.SetRemembered(IndexAfterRemoval(m_items, state.GetRemembered(), gone));
    std::erase_if(m_items, [index](const auto& item) { return item->page == index; });
    for (auto& item : m_items)
        if (item->page > index)
            --item->page;
}

void CAnnotationLayer::InsertPage(int index)
{
    for (auto& item : m_items)
        if (item->page >= index)
            ++item->page;
}

bool CAnnotationLayer::BurnIn(int index, CPageImage& page)
{
    if (!PageHasAnnotations(index))
        return false;
    QImage bitmap = page.Bitmap();
    if (bitmap.isNull() || !BurnInAnnotations(bitmap, m_items, index, m_view.ScreenDpi()))
        return false;
    const IKHANDLE burnt = PageOfBitmap(bitmap);
    if (burnt == 0)
        return false;
    page.SetBitmap(burnt);
    return true;
}

void CAnnotationLayer::EndEdit(int step)
{
    if (step == 1)
        EndTextEdit();
    else if (step == 2)
        Deselect();
}

void CAnnotationLayer::CancelToolWork(int flag)
{
    const CPageDisplayState& state = m_view.PageState();
    if (state.GetEditingAllowed() && !state.GetHideAnnotations() && m_view.Document().PageCount() > 0 &&
        state.GetTool() == kToolTilt)
        m_tilt.Discard(flag != 0);
}

void CAnnotationLayer::Work(Call call, int tool, int x, int y)
{
    CPageDisplayState& state = m_view.PageState();
    switch (call) {
    case kStartMoveResize: {
        EndTextEdit();
        const int hit = HitItem(x, y);
        int selected = state.GetSelected();
        if (selected < 0 && hit < 0)
            return;
        if (hit >= 0 && hit != selected) {
            Select(hit);
            selected = hit;
        }
        if (SelectPress(x, y, selected) != 0 || hit == selected)
            return;
        Select(hit);
        if (hit >= 0)
            SelectPress(x, y, hit);
        return;
    }
    case kStartStroke:
        EndTextEdit();
        StrokePress(x, y);
        return;
    case kPlaceStamp:
        EndTextEdit();
        PlaceStamp(x, y);
        return;
    case kStartLine:
        EndTextEdit();
        if (tool == kToolTilt) {
            m_bTiltOnLine = false;
            m_tilt.StartLine(x, y);
        } else {
            LinePress(x, y);
        }
        return;
    case kStartRubberBand:
        EndTextEdit();
        BandPress(x, y);
        return;
    case kTiltPress:
        EndTextEdit();
        m_bTiltOnLine = m_tilt.PressOnLine(x, y);
        if (!m_bTiltOnLine) {
            m_tilt.Discard(false);
            m_tilt.StartLine(x, y);
        }
        return;
    case kFollow:
        switch (tool) {
        case kToolSelect: SelectMove(x, y); break;
        case kAnnotFreehand: StrokeMove(x, y); break;
        case kAnnotLine: LineMove(x, y); break;
        case kToolStamp: break;
        case kToolTilt: m_tilt.MoveLine(x, y); break;
        default: BandMove(x, y); break;
        }
        return;
    case kEndMoveResize:
        SelectRelease(x, y);
        return;
    case kEndStroke:
        StrokeRelease(x, y);
        return;
    case kEndRubberBand:
        if (BandRelease(x, y))
            CreateFromBand(tool);
        return;
    case kEndLine:
        LineRelease(x, y);
        return;
    case kEndTilt:
        if (m_bTiltOnLine)
            m_tilt.ReleaseOnLine(x, y);
        else
            m_tilt.EndLine(x, y);
        m_bTiltOnLine = false;
        return;
    case kEditSelected: {
        const int selected = state.GetSelected();
        if (selected < 0 || selected >= static_cast<int>(m_items.size()) || HitItem(x, y) != selected)
            return;
        const CAnnotationItem& item = *m_items[static_cast<size_t>(selected)];
        if (item.page == CurrentPage() && (item.kind == kAnnotText || item.kind == kAnnotPatchMemo))
            OpenEditor(selected);
        return;
    }
    }
}

void CAnnotationLayer::Draw(QPainter& painter, const QRect& area)
{
    const CPageDisplayState& state = m_view.PageState();
    if (!state.GetEditingAllowed() || state.GetHideAnnotations() || m_view.Document().PageCount() == 0)
        return;
    const double zoom = m_view.ZoomScale();
    const auto [width, height] = PageSizeNow();
    CScreenFrame frame;
    frame.zoom = zoom;
    frame.rotation = state.GetRotation();
    frame.pageWidth = width;
    frame.pageHeight = height;
    frame.invert = state.GetInvert() != 0;
    frame.image = m_view.DisplayImage();
    frame.displayWidth = ToScreen(width, zoom);
    frame.displayHeight = ToScreen(height, zoom);
    frame.screenDpi = m_view.ScreenDpi();
    const int page = CurrentPage();
    DrawAnnotationsOnScreen(painter, m_items, page, state.GetSelected(), frame, area);
    if (const CAnnotationItem* line = m_tilt.Line(); line && line->page == page && state.GetTiltLine()) {
        CAnnotationList one;
        one.push_back(std::make_unique<CAnnotationItem>(*line));
        DrawAnnotationsOnScreen(painter, one, page, -1, frame, area);
    }

    // The overlay is in window pixels; the painter's origin is the page's corner.
    const gdi::POINT scroll = m_view.ScrollPosition();
    const auto at = [scroll](gdi::POINT p) { return QPoint(p.x + scroll.x, p.y + scroll.y); };
    painter.save();
    QPen pen(QColor(255, 0, 0));
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (m_overlay.shape == CToolOverlay::kRectangle) {
        const gdi::RECT& r = m_overlay.rect;
        painter.drawRect(QRect(at({r.left, r.top}), at({r.right, r.bottom})));
    } else if (m_overlay.shape == CToolOverlay::kLine) {
        painter.drawLine(at(m_overlay.from), at(m_overlay.to));
    } else if (const auto rubber = m_tilt.RubberLine()) {
        painter.drawLine(at(rubber->first), at(rubber->second));
    }
    painter.restore();
}

bool CAnnotationLayer::CopyToClipboard(const CAnnotationItem& item)
{
    const QImage picture = AnnotationPicture(item, m_view.ScreenDpi());
    const std::vector<uint8_t> block = ToClipboardBlock(item);
    if (picture.isNull() || block.empty() || !m_view.Clipboard().Open())
        return false;
    m_view.Clipboard().SetAnnotation(block, picture);
    return true;
}

bool CAnnotationLayer::ReadClipboard(CAnnotationItem& scratch, std::pair<int, int> pageSize)
{
    return ReadAnnotation(m_view, scratch, pageSize) == ClipboardRead::kRead;
}

bool CAnnotationLayer::Paste()
{
    const std::pair<int, int> size = PageSizeNow();
    CAnnotationItem item;
    const ClipboardRead read = ReadAnnotation(m_view, item, size);
    if (read != ClipboardRead::kRead) {
        if (read == ClipboardRead::kRefused)
            m_view.Prompter().MessageBox(LoadResourceString(IDS_CLIPBOARD_TOO_LARGE), LoadResourceString(IDS_TOOL_CAPTION), MB_ICONEXCLAMATION);
        return false;
    }
    // To the page's top-left corner, in the frame of the page as it is shown now.
    const int dx = -item.rect.left, dy = -item.rect.top;
    item.rect = {0, 0, item.rect.right + dx, item.rect.bottom + dy};
    for (CAnnotationPoint& point : item.points)
        point = {point.x + dx, point.y + dy};
    item.x1 += dx;
    item.y1 += dy;
    item.x2 += dx;
    item.y2 += dy;
    item.page = CurrentPage();
    item.orientation = m_view.PageState().GetRotation();
    item.pageWidth = size.first;
    item.pageHeight = size.second;
    const int index = Append(std::make_unique<CAnnotationItem>(std::move(item)));
    m_undo.Record(CUndoRecord::kAddAnnotation, index);
    m_view.PageState().SetTool(kToolSelect);
    Select(index);
    SetModified();
    return true;
}

int ShownPage(IAnnotationView& view)
{
    const int count = view.Document().PageCount();
    return std::clamp(view.PageState().GetCurrentPage(), 0, std::max(0, count - 1));
}

int CAnnotationLayer::CurrentPage() { return ShownPage(m_view); }

std::pair<int, int> CAnnotationLayer::PageSizeNow()
{
    const CPageImageArray& pages = m_view.Document().Pages();
    if (pages.empty())
        return {0, 0};
    const CPageImage& page = *pages[static_cast<size_t>(CurrentPage())];
    return SizeInOrientation(page.Width(), page.Height(), m_view.PageState().GetRotation());
}

gdi::RECT CAnnotationLayer::PageOnScreen()
{
    const auto [width, height] = PageSizeNow();
    const double zoom = m_view.ZoomScale();
    return {0, 0, ToScreen(width, zoom), ToScreen(height, zoom)};
}

gdi::POINT CAnnotationLayer::Scrolled(int x, int y) const
{
    const gdi::POINT scroll = m_view.ScrollPosition();
    return {x + scroll.x, y + scroll.y};
}

void CAnnotationLayer::InvalidateItem(const CAnnotationItem& item)
{
    if (m_view.Document().PageCount() == 0 || item.page != CurrentPage())
        return;
    const auto [width, height] = PageSizeNow();
    const double zoom = m_view.ZoomScale();
    const gdi::RECT area =
        RepaintArea(ScreenRectOf(item, m_view.PageState().GetRotation(), width, height, zoom), item.width, zoom);
    const gdi::POINT scroll = m_view.ScrollPosition();
    m_view.Invalidate({area.left - scroll.x, area.top - scroll.y, area.right - scroll.x, area.bottom - scroll.y});
}

bool CAnnotationLayer::IsClick(int x, int y)
{
    const uint32_t elapsed = m_view.TickCount() - m_pressTick;
    const auto [cx, cy] = m_view.DoubleClickSize();
    const gdi::RECT around{m_pressPoint.x - cx, m_pressPoint.y - cy, m_pressPoint.x + cx, m_pressPoint.y + cy};
    return elapsed < static_cast<uint32_t>(std::max(0, m_view.DoubleClickTime())) && PtInRect(around, {x, y});
}

void CAnnotationLayer::SetModified() { m_view.Document().SetModifiedFlag(true); }

CToolOverlay CAnnotationLayer::BandOverlay(const gdi::RECT& band) const
{
    const gdi::POINT scroll = m_view.ScrollPosition();
    CToolOverlay overlay;
    overlay.shape = CToolOverlay::kRectangle;
    overlay.rect = OffsetRect(band, -scroll.x, -scroll.y);
    return overlay;
}

CToolOverlay CAnnotationLayer::LineOverlay(gdi::POINT from, gdi::POINT to) const
{
    const gdi::POINT scroll = m_view.ScrollPosition();
    CToolOverlay overlay;
    overlay.shape = CToolOverlay::kLine;
    overlay.from = {from.x - scroll.x, from.y - scroll.y};
    overlay.to = {to.x - scroll.x, to.y - scroll.y};
    return overlay;
}

void CAnnotationLayer::ShowOverlay(const CToolOverlay& next)
{
    // The area an overlay covers, with room for its 1-pixel pen.
    const auto repaint = [this](const CToolOverlay& overlay) {
        const gdi::RECT r = overlay.shape == CToolOverlay::kLine ? Spanned(overlay.from, overlay.to) : overlay.rect;
        if (overlay.shape != CToolOverlay::kNone)
            m_view.Invalidate({r.left - 1, r.top - 1, r.right + 2, r.bottom + 2});
    };
    repaint(m_overlay);
    m_overlay = next;
    repaint(m_overlay);
}

} // namespace viewer
