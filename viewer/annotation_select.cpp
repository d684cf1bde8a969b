// Selection and editing with the Select pointer: hit tests, handles, the move and resize drag, the
// clipboard and property commands, z-order, and the page view's annotation command rules.
#include "viewer/annotation_layer.h"

#include "common/resource_locale.h"

#include <algorithm>
#include <array>

namespace viewer {

namespace {

// The tool command's text of each kind (2 to 10); property dialogs add " Properties".
constexpr std::array<const char*, 9> kKindNames = {
    "Freehand", "Marker", "Line", "Rectangle", "Paint Rectangle", "Text", "Patch Memo", "Copy text from file", "Stamp",
};

std::string KindName(int kind) { return IsDrawnKind(kind) ? kKindNames[static_cast<size_t>(kind - kAnnotFreehand)] : ""; }
std::string PropertiesCaption(int kind) { return KindName(kind) + " Properties"; }

bool Intersects(const gdi::RECT& a, const gdi::RECT& b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

gdi::RECT Clipped(const gdi::RECT& r, const gdi::RECT& page)
{
    return {std::clamp(r.left, page.left, page.right), std::clamp(r.top, page.top, page.bottom),
            std::clamp(r.right, page.left, page.right), std::clamp(r.bottom, page.top, page.bottom)};
}

// The item's rectangle as shown now (scrolled window pixels).
gdi::RECT ScreenRect(CAnnotationLayer& layer, const CAnnotationItem& item)
{
    const auto [w, h] = layer.PageSizeNow();
    return ScreenRectOf(item, layer.View().PageState().GetRotation(), w, h, layer.View().ZoomScale());
}

// The selected (or right-clicked) item when it is a drawn kind on the current page; else -1.
int TargetIndex(CAnnotationLayer& layer, bool remembered)
{
    const CPageDisplayState& state = layer.View().PageState();
    const int index = remembered ? state.GetRemembered() : state.GetSelected();
    if (index < 0 || index >= static_cast<int>(layer.Items().size()))
        return -1;
    const CAnnotationItem& item = *layer.Items()[static_cast<size_t>(index)];
    return item.page == layer.CurrentPage() && IsDrawnKind(item.kind) ? index : -1;
}

// The tool defaults of the current tool through its dialog, stored on OK.
void EditToolDefaults(IAnnotationView& view)
{
    IAnnotationDialogs& dialogs = view.Dialogs();
    const int tool = view.PageState().GetTool();
    const std::string caption = PropertiesCaption(tool);
    // The dialog works on a copy: Cancel leaves the defaults as they were.
    CAnnotationDefaults d = view.Defaults();
    bool ok = false;
    switch (tool) {
    case kAnnotFreehand: ok = dialogs.LineStyle(caption, d.freehandWidth, d.freehandColour); break;
    case kAnnotLine: ok = dialogs.LineStyle(caption, d.lineWidth, d.lineColour); break;
    case kAnnotRectangle: ok = dialogs.LineStyle(caption, d.rectangleWidth, d.rectangleColour); break;
    case kAnnotMarker: ok = dialogs.Colour(caption, d.markerColour, true); break;
    case kAnnotPaintRectangle: ok = dialogs.Colour(caption, d.paintColour, false); break;
    case kAnnotText: ok = dialogs.Font(caption, d.textFont, d.textColour); break;
    case kAnnotTextFile: ok = dialogs.Font(caption, d.copyTextFont, d.copyTextColour); break;
    case kAnnotPatchMemo: ok = dialogs.ColourFont(caption, d.memoColour, d.memoFont, d.memoTextColour); break;
    case kAnnotStamp:
        ok = dialogs.StampList("", d);
        d.stampCount = std::clamp(d.stampCount, 0, kMaxStamps);
        d.currentStamp = std::clamp(d.currentStamp, 0, std::max(0, d.stampCount - 1));
        break;
    default: break;
    }
    if (ok)
        view.Defaults() = d;
}

} // namespace

// ---- the page view's command rules ------------------------------------------------------------

bool CAnnotationLayer::OnCommand(int id)
{
    IAnnotationEditor& editor = m_view.Editor();
    CCmdUI ui;
    if (!OnUpdateCommand(id, ui))
        return false;
    switch (id) {
    case ID_EDIT_UNDO:
        if (editor.IsVisible())
            editor.Undo();
        else if (ui.enabled)
            m_undo.Undo();
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        if (editor.IsVisible())
            id == ID_EDIT_CUT ? editor.Cut() : editor.Copy();
        else if (ui.enabled)
            id == ID_EDIT_CUT ? CutAnnotation(false) : CopyAnnotation(false);
        return true;
    case ID_EDIT_PASTE:
        if (editor.IsVisible())
            editor.Paste();
        else if (ui.enabled && Paste())
            SetModified();
        return true;
    default: break;
    }
    if (!ui.enabled)
        return true;
    switch (id) {
    case 59399: EditTextAnnotation(false); break;
    case 59400: BringToFront(0); break;
    case 59401: SendToBack(0); break;
    case 59402: Properties(0); break;
    case 163: EditTextAnnotation(true); break;
    case 164: CutAnnotation(true); break;
    case 165: CopyAnnotation(true); break;
    case 166: BringToFront(1); break;
    case 167: SendToBack(1); break;
    case 168: Properties(1); break;
    case 59398: EditToolDefaults(m_view); break;
    default: {
        // A stamp of the choice menu; the menu lists the stamps in order.
        CAnnotationDefaults& defaults = m_view.Defaults();
        int stamp = id - ID_STAMP_FIRST;
        if (stamp >= defaults.stampCount)
            stamp = id - ID_STAMP_FIRST - 1;
        defaults.currentStamp = std::clamp(stamp, 0, std::max(0, defaults.stampCount - 1));
        break;
    }
    }
    return true;
}

bool CAnnotationLayer::OnUpdateCommand(int id, CCmdUI& ui)
{
    const bool known = id == ID_EDIT_UNDO || id == ID_EDIT_CUT || id == ID_EDIT_COPY || id == ID_EDIT_PASTE
                       || (id >= ID_ANNOTATION_FIRST && id <= ID_ANNOTATION_LAST)
                       || (id >= ID_CONTEXT_FIRST && id <= ID_CONTEXT_LAST) || (id >= ID_STAMP_FIRST && id <= ID_STAMP_LAST);
    if (!known)
        return false;
    ui = CCmdUI{};
    CPageDisplayState& state = m_view.PageState();
    IAnnotationEditor& editor = m_view.Editor();
    const bool pages = state.GetPageCount() > 0;
    const bool tools = state.ToolsWork();
    const int tool = state.GetTool();
    const bool selectTool = tools && tool == kToolSelect && state.GetSelected() >= 0;
    const int selected = selectTool ? TargetIndex(*this, false) : -1;
    const int remembered = tools ? TargetIndex(*this, true) : -1;
    // The clipboard takes a picture of the item: a level or upright line has none to give.
    const auto copyable = [this](int index) {
        if (index < 0)
            return false;
        const gdi::RECT& r = m_items[static_cast<size_t>(index)]->rect;
        return r.right > r.left && r.bottom > r.top;
    };
    const auto editable = [this](int index) {
        return index >= 0 && (m_items[static_cast<size_t>(index)]->kind == kAnnotText
                              || m_items[static_cast<size_t>(index)]->kind == kAnnotPatchMemo);
    };
    switch (id) {
    case ID_EDIT_UNDO:
        ui.enabled = editor.IsVisible() ? editor.CanUndo()
                                        : pages && m_undo.HoldsOperation() && m_view.Document().IsModified();
        break;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY: ui.enabled = editor.IsVisible() ? editor.HasSelection() : copyable(selected); break;
    case ID_EDIT_PASTE:
        ui.enabled = editor.IsVisible() ? m_view.Clipboard().Open() && m_view.Clipboard().HasText()
                                        : tools && m_view.Clipboard().Open() && m_view.Clipboard().Annotation().has_value();
        break;
    case 59399: ui.enabled = editable(selected); break;
    case 59400:
    case 59401:
    case 59402: ui.enabled = selected >= 0; break;
    case 163: ui.enabled = editable(remembered); break;
    case 164:
    case 165: ui.enabled = copyable(remembered); break;
    case 166:
    case 167:
    case 168: ui.enabled = remembered >= 0; break;
    case 59398: ui.enabled = tools && tool >= 2 && tool <= kToolStamp; break;
    default: {
        const CAnnotationDefaults& defaults = m_view.Defaults();
        ui.enabled = tools && tool == kToolStamp && defaults.stampCount > 0;
        ui.checked = ui.enabled && defaults.currentStamp == id - ID_STAMP_FIRST;
        break;
    }
    }
    return true;
}

// ---- selection ------------------------------------------------------------------------------

void CAnnotationLayer::Select(int index)
{
    CPageDisplayState& state = m_view.PageState();
    const int count = static_cast<int>(m_items.size());
    const int old = state.GetSelected();
    if (old >= 0 && old < count)
        InvalidateItem(*m_items[static_cast<size_t>(old)]);
    state.SetSelected(index);
    std::string status = LoadResourceString(IDS_STATUS_HELP);
    if (index >= 0 && index < count) {
        const CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
        InvalidateItem(item);
        if (item.page == CurrentPage() && IsDrawnKind(item.kind))
            status = KindName(item.kind);
    }
    m_view.SetStatusText(0, status);
}

void CAnnotationLayer::Deselect()
{
    const CPageDisplayState& state = m_view.PageState();
    if (state.ToolsWork())
        Select(-1);
}

int CAnnotationLayer::HitItem(int x, int y)
{
    const gdi::POINT p = Scrolled(x, y);
    const int page = CurrentPage();
    const int rotation = m_view.PageState().GetRotation();
    const std::pair<int, int> size = PageSizeNow();
    const int w = size.first, h = size.second; // named, so that the lambda below may capture them
    const double zoom = m_view.ZoomScale();
    for (int i = static_cast<int>(m_items.size()) - 1; i >= 0; --i) {
        const CAnnotationItem& item = *m_items[static_cast<size_t>(i)];
        if (item.page != page || !IsDrawnKind(item.kind))
            continue;
        const int tolerance = ScreenPenWidth(item.width, zoom);
        if (item.kind == kAnnotFreehand) {
            const int angle = TurnAngle(item.orientation, rotation);
            const auto screen = [&](const CAnnotationPoint& q) {
                const gdi::POINT t = TurnPointBy(angle, {q.x, q.y}, w, h);
                return gdi::POINT{ToScreen(t.x, zoom), ToScreen(t.y, zoom)};
            };
            for (size_t k = 1; k < item.points.size(); ++k)
                if (SegmentHit(screen(item.points[k - 1]), screen(item.points[k]), p, tolerance))
                    return i;
        } else if (item.kind == kAnnotLine) {
            const auto [a, b] = ScreenLineOf(item, rotation, w, h, zoom);
            if (SegmentHit(a, b, p, tolerance))
                return i;
        } else if (PtInRect(ScreenRectOf(item, rotation, w, h, zoom), p)) {
            return i;
        }
    }
    return -1;
}

int CAnnotationLayer::HitHandle(int x, int y, int index)
{
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return -1;
    const CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
    if (item.page != CurrentPage() || !IsDrawnKind(item.kind))
        return -1;
    const gdi::POINT p = Scrolled(x, y);
    const gdi::RECT rect = ScreenRect(*this, item);
    const std::array<gdi::RECT, 8> handles = HandleRects(rect);
    if (item.kind == kAnnotLine) {
        const auto [w, h] = PageSizeNow();
        const double zoom = m_view.ZoomScale();
        const auto [a, b] = ScreenLineOf(item, m_view.PageState().GetRotation(), w, h, zoom);
        if (PtInRect(HandleRect(a), p))
            return 0;
        if (PtInRect(HandleRect(b), p))
            return 1;
        const int tolerance = std::max(1, gdi::MulDiv(item.width, static_cast<int>(zoom * 100), 100));
        return SegmentHit(a, b, p, tolerance) ? 10 : -1;
    }
    for (size_t k = 0; k < handles.size(); ++k)
        if (PtInRect(handles[k], p))
            return item.kind == kAnnotFreehand ? 10 : static_cast<int>(k) + 2;
    return PtInRect(rect, p) ? 10 : -1;
}

// ---- the select drag ------------------------------------------------------------------------

void CAnnotationLayer::ShowSelectOverlay()
{
    if (m_hitCode == 0 || m_hitCode == 1)
        ShowOverlay(LineOverlay(m_start, m_current));
    else if (m_hitCode >= 2)
        ShowOverlay(BandOverlay(m_band));
    else
        ShowOverlay(CToolOverlay{});
}

int CAnnotationLayer::SelectPress(int x, int y, int index)
{
    m_pressPoint = {x, y};
    m_pressTick = m_view.TickCount();
    m_hitCode = HitHandle(x, y, index);
    if (m_hitCode < 0) {
        m_changing = -1;
        return 0;
    }
    const CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
    m_changing = index;
    m_anchor = ScreenRect(*this, item);
    m_band = m_anchor;
    m_start = m_current = Scrolled(x, y);
    if (m_hitCode == 0 || m_hitCode == 1) {
        const auto [w, h] = PageSizeNow();
        const auto [a, b] = ScreenLineOf(item, m_view.PageState().GetRotation(), w, h, m_view.ZoomScale());
        // The fixed end becomes the start, the grabbed end follows the pointer.
        m_start = m_hitCode == 0 ? b : a;
        m_current = m_hitCode == 0 ? a : b;
    }
    ShowSelectOverlay();
    return 1;
}

void CAnnotationLayer::SelectMove(int x, int y)
{
    if (m_hitCode < 0 || m_changing < 0)
        return;
    const gdi::RECT page = PageOnScreen();
    const gdi::POINT p = Scrolled(x, y);
    const gdi::RECT& a = m_anchor;
    switch (m_hitCode) {
    case 0:
    case 1: m_current = ClampToRect(p, page); break;
    case 2: m_band = Spanned({a.right, a.bottom}, {p.x, p.y}); break;
    case 4: m_band = Spanned({a.left, a.bottom}, {p.x, p.y}); break;
    case 7: m_band = Spanned({a.right, a.top}, {p.x, p.y}); break;
    case 9: m_band = Spanned({a.left, a.top}, {p.x, p.y}); break;
    case 3: m_band = Spanned({a.left, p.y}, {a.right, a.bottom}); break;
    case 8: m_band = Spanned({a.left, a.top}, {a.right, p.y}); break;
    case 5: m_band = Spanned({p.x, a.top}, {a.right, a.bottom}); break;
    case 6: m_band = Spanned({a.left, a.top}, {p.x, a.bottom}); break;
    case 10: {
        // The offset keeps the rectangle within the page.
        int dx = p.x - m_start.x, dy = p.y - m_start.y;
        dx = std::max(std::min(dx, page.right - a.right), page.left - a.left);
        dy = std::max(std::min(dy, page.bottom - a.bottom), page.top - a.top);
        m_current = {m_start.x + dx, m_start.y + dy};
        m_band = OffsetRect(a, dx, dy);
        break;
    }
    default: return;
    }
    if (m_hitCode >= 2 && m_hitCode <= 9)
        m_band = Clipped(m_band, page);
    ShowSelectOverlay();
}

void CAnnotationLayer::SelectRelease(int x, int y)
{
    const int code = m_hitCode;
    const int index = m_changing;
    if (code < 0 || index < 0 || index >= static_cast<int>(m_items.size())) {
        m_hitCode = -1;
        m_changing = -1;
        return;
    }
    const bool click = IsClick(x, y);
    if (!click)
        SelectMove(x, y);
    m_hitCode = -1;
    m_changing = -1;
    ShowSelectOverlay();
    CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
    const gdi::POINT scroll = m_view.ScrollPosition();
    if (click) {
        // Only the handles are repainted, widened by the double-click size.
        const auto [cx, cy] = m_view.DoubleClickSize();
        const gdi::RECT r = OffsetRect(m_anchor, -scroll.x, -scroll.y);
        m_view.Invalidate({r.left - 3 - cx, r.top - 3 - cy, r.right + 4 + cx, r.bottom + 4 + cy});
        return;
    }
    m_undo.Record(CUndoRecord::kChangeAnnotation, index);
    InvalidateItem(item);
    const double zoom = m_view.ZoomScale();
    const int back = TurnAngle(m_view.PageState().GetRotation(), item.orientation);
    const int w = item.pageWidth, h = item.pageHeight;
    const auto toItem = [&](gdi::POINT q) { return TurnPointBy(back, {ToPage(q.x, zoom), ToPage(q.y, zoom)}, w, h); };
    if (code == 0 || code == 1) {
        const gdi::POINT fixed = toItem(m_start), moved = toItem(m_current);
        item.x1 = fixed.x;
        item.y1 = fixed.y;
        item.x2 = moved.x;
        item.y2 = moved.y;
        item.rect = Spanned({item.x1, item.y1}, {item.x2, item.y2});
    } else if (code == 10) {
        // Every kind is shifted by the offset in its own frame, so a move never changes its size.
        const gdi::POINT turned = TurnVector(back, {m_current.x - m_start.x, m_current.y - m_start.y});
        const int dx = ToPage(turned.x, zoom), dy = ToPage(turned.y, zoom);
        if (item.kind == kAnnotFreehand) {
            for (CAnnotationPoint& q : item.points) {
                q.x += dx;
                q.y += dy;
            }
            item.rect = BoundingBox(item.points);
        } else if (item.kind == kAnnotLine) {
            item.x1 += dx;
            item.y1 += dy;
            item.x2 += dx;
            item.y2 += dy;
            item.rect = Spanned({item.x1, item.y1}, {item.x2, item.y2});
        } else {
            item.rect = OffsetRect(item.rect, dx, dy);
        }
    } else {
        item.rect = TurnRectBy(back, ToPage(m_band, zoom), w, h);
    }
    SetModified();
    InvalidateItem(item);
    m_view.UpdateWindow();
}

// ---- commands on the selected or right-clicked item -------------------------------------------

bool CAnnotationLayer::CutAnnotation(bool remembered)
{
    const int index = TargetIndex(*this, remembered);
    if (index < 0)
        return false;
    // An item that could not be put on the clipboard stays where it is.
    if (!CopyToClipboard(*m_items[static_cast<size_t>(index)]))
        return false;
    CPageDisplayState& state = m_view.PageState();
    InvalidateItem(*m_items[static_cast<size_t>(index)]);
    m_undo.Record(CUndoRecord::kDeleteAnnotation, index);
    Select(-1);
    m_items.erase(m_items.begin() + index);
    const int other = state.GetRemembered();
    state.SetRemembered(other == index ? -1 : other > index ? other - 1 : other);
    SetModified();
    return true;
}

bool CAnnotationLayer::CopyAnnotation(bool remembered)
{
    const int index = TargetIndex(*this, remembered);
    if (index < 0)
        return false;
    CopyToClipboard(*m_items[static_cast<size_t>(index)]);
    return true;
}

bool CAnnotationLayer::EditTextAnnotation(bool remembered)
{
    const int index = TargetIndex(*this, remembered);
    if (index < 0)
        return false;
    const int kind = m_items[static_cast<size_t>(index)]->kind;
    if (kind != kAnnotText && kind != kAnnotPatchMemo)
        return false;
    if (remembered)
        Select(index);
    OpenEditor(index);
    if (remembered)
        Select(-1);
    return true;
}

bool CAnnotationLayer::Properties(int flag)
{
    const int index = TargetIndex(*this, flag != 0);
    if (index < 0)
        return false;
    CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
    if (flag)
        Select(index);
    IAnnotationDialogs& dialogs = m_view.Dialogs();
    const std::string caption = PropertiesCaption(item.kind);
    CAnnotationItem edited = item;
    bool ok = false;
    switch (item.kind) {
    case kAnnotFreehand:
    case kAnnotLine:
    case kAnnotRectangle: ok = dialogs.LineStyle(caption, edited.width, edited.colour); break;
    case kAnnotMarker: ok = dialogs.Colour(caption, edited.colour, true); break;
    case kAnnotPaintRectangle: ok = dialogs.Colour(caption, edited.colour, false); break;
    case kAnnotPatchMemo: ok = dialogs.ColourFont(caption, edited.background, edited.font, edited.colour); break;
    default: ok = dialogs.Font(caption, edited.font, edited.colour); break;
    }
    if (ok) {
        m_undo.Record(CUndoRecord::kChangeAnnotation, index);
        InvalidateItem(item); // the old width's area
        item = std::move(edited);
        SetModified();
        Select(index);
    }
    if (flag)
        Select(-1);
    return ok;
}

namespace {

// Moves the item just above the topmost (or just below the lowest) item of its page that it overlaps.
bool Reorder(CAnnotationLayer& layer, int flag, bool toFront)
{
    CAnnotationList& items = layer.Items();
    const int index = TargetIndex(layer, flag != 0);
    if (index < 0)
        return false;
    const int rotation = layer.View().PageState().GetRotation();
    const std::pair<int, int> size = layer.PageSizeNow();
    const int w = size.first, h = size.second;
    const auto turned = [&](const CAnnotationItem& it) { return TurnRect(it.rect, it.orientation, rotation, w, h); };
    const CAnnotationItem& item = *items[static_cast<size_t>(index)];
    const gdi::RECT rect = turned(item);
    const auto overlaps = [&](int k) {
        const CAnnotationItem& other = *items[static_cast<size_t>(k)];
        return other.page == item.page && IsDrawnKind(other.kind) && Intersects(rect, turned(other));
    };
    int target = -1;
    if (toFront) {
        for (int k = static_cast<int>(items.size()) - 1; k > index && target < 0; --k)
            if (overlaps(k))
                target = k;
    } else {
        for (int k = 0; k < index && target < 0; ++k)
            if (overlaps(k))
                target = k;
    }
    // Nothing overlapping: the order stays and no step is recorded.
    if (target >= 0) {
        layer.UndoRecord().Record(toFront ? CUndoRecord::kBringToFront : CUndoRecord::kSendToBack, index);
        const auto first = items.begin();
        if (toFront)
            std::rotate(first + index, first + index + 1, first + target + 1);
        else
            std::rotate(first + target, first + index, first + index + 1);
        CPageDisplayState& state = layer.View().PageState();
        if (flag)
            state.SetRemembered(target);
        state.SetSelected(-1); // the old index now names another item
        layer.SetModified();
        layer.Select(target);
    }
    if (flag)
        layer.Select(-1);
    return target >= 0;
}

} // namespace

bool CAnnotationLayer::BringToFront(int flag) { return Reorder(*this, flag, true); }

bool CAnnotationLayer::SendToBack(int flag) { return Reorder(*this, flag, false); }

} // namespace viewer
