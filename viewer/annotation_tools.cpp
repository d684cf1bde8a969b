// The creation tools: the rubber band and the click test, markers, rectangles, lines, freehand
// strokes, texts written in place, text read from a file, and stamps.
#include "viewer/annotation_layer.h"

#include "common/resource_locale.h"
#include "imaging/device_context.h"
#include "imaging/gui_session.h"
#include "platform/files.h"

#include <QtGui/QFontMetrics>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace viewer {

namespace {

constexpr const char* kTextFileFilter = "Text File (*.TXT)|*.TXT|All Files (*.*)|*.*|";
/// The most a copy-text item takes from its file.
constexpr size_t kTextFileLimit = 65536;

/// The page at the zoom: (0, 0) to (width, height) in scrolled view pixels.
gdi::RECT Inflated(const gdi::RECT& r, int near, int far)
{
    return {r.left - near, r.top - near, r.right + far, r.bottom + far};
}

/// Repaints a rectangle given in scrolled view pixels.
void InvalidateScrolled(IAnnotationView& view, const gdi::RECT& r)
{
    const gdi::POINT scroll = view.ScrollPosition();
    view.Invalidate({r.left - scroll.x, r.top - scroll.y, r.right - scroll.x, r.bottom - scroll.y});
}

/// A new item of the kind on the current page, in the current rotation with that page size.
std::unique_ptr<CAnnotationItem> NewItem(CAnnotationLayer& layer, int kind)
{
    auto item = std::make_unique<CAnnotationItem>();
    item->kind = kind;
    item->page = layer.CurrentPage();
    item->orientation = layer.View().PageState().GetRotation();
    std::tie(item->pageWidth, item->pageHeight) = layer.PageSizeNow();
    return item;
}

/// Puts the item on top of the list, remembers the addition for undo and marks the document.
int AddItem(CAnnotationLayer& layer, std::unique_ptr<CAnnotationItem> item)
{
    const int index = layer.Append(std::move(item));
    layer.UndoRecord().Record(CUndoRecord::kAddAnnotation, index);
    layer.SetModified();
    return index;
}

/// Why a text file gave no text.
enum class TextFileError { None, Open, Memory, Read, Empty };

/// The first bytes of a text file, up to its first zero byte.
TextFileError ReadTextFile(const std::string& path, std::string& text)
{
    platform::FileDescriptor fd(platform::openRegularFile(path, O_RDONLY));
    if (!fd.valid())
        return TextFileError::Open;
    std::string buffer;
    try {
        buffer.resize(kTextFileLimit);
    } catch (const std::bad_alloc&) {
        return TextFileError::Memory;
    }
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(fd.get(), buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return TextFileError::Read;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (done == 0)
        return TextFileError::Empty;
    buffer.resize(done);
    text = buffer.substr(0, std::min(done, ::strnlen(buffer.data(), done)));
    return TextFileError::None;
}

std::string TextFileMessage(TextFileError error)
{
    switch (error) {
    case TextFileError::Open: return LoadResourceString(IDS_CANNOT_OPEN_FILE);
    case TextFileError::Memory: return LoadResourceString(IDS_NOT_ENOUGH_MEMORY);
    case TextFileError::Read: return LoadResourceString(IDS_CANNOT_READ_FILE);
    case TextFileError::Empty: return LoadResourceString(IDS_INCORRECT_FILE_SIZE);
    case TextFileError::None: break;
    }
    return {};
}

} // namespace

// ---- the band -----------------------------------------------------------------------------------

void CAnnotationLayer::BandPress(int x, int y)
{
    m_pressPoint = {x, y};
    m_pressTick = m_view.TickCount();
    m_start = m_current = Scrolled(x, y);
    m_band = {m_start.x, m_start.y, m_start.x, m_start.y};
    ShowOverlay(BandOverlay(m_band));
}

void CAnnotationLayer::BandMove(int x, int y)
{
    m_current = Scrolled(x, y);
    const gdi::RECT page = PageOnScreen();
    m_band = Spanned(ClampToRect(m_start, page), ClampToRect(m_current, page));
    ShowOverlay(BandOverlay(m_band));
}

bool CAnnotationLayer::BandRelease(int x, int y)
{
    ShowOverlay(CToolOverlay{});
    return !IsClick(x, y);
}

void CAnnotationLayer::CreateFromBand(int tool)
{
    const CAnnotationDefaults& defaults = m_view.Defaults();
    const double zoom = m_view.ZoomScale();
    if (tool == kAnnotText || tool == kAnnotPatchMemo) {
        m_editKind = tool;
        m_editFont = tool == kAnnotText ? defaults.textFont : defaults.memoFont;
        m_editColour = tool == kAnnotText ? defaults.textColour : defaults.memoTextColour;
        m_editStartText.clear();
        m_bEditExisting = false;
        m_editItem = -1;
        m_editBand = m_band;
        gdi::LOGFONTA font = m_editFont;
        font.lfHeight = ToScreen(PageFontHeight(font.lfHeight, m_view.ScreenDpi()), zoom);
        const gdi::POINT scroll = m_view.ScrollPosition();
        m_view.Editor().Open({m_band.left - scroll.x, m_band.top - scroll.y, m_band.right - scroll.x,
                              m_band.bottom - scroll.y},
                             font, m_editColour, std::string());
        return;
    }

    auto item = NewItem(*this, tool);
    item->rect = ToPage(m_band, zoom);
    gdi::RECT area = Inflated(m_band, 0, 1);
    switch (tool) {
    case kAnnotMarker:
        item->width = defaults.lineWidth;
        item->colour = defaults.markerColour;
        break;
    case kAnnotRectangle: {
        item->width = defaults.rectangleWidth;
        item->colour = defaults.rectangleColour;
        item->style = defaults.rectangleStyle;
        const int margin = ScreenPenWidth(item->width + 1, zoom);
        area = Inflated(m_band, margin, margin);
        break;
    }
    case kAnnotPaintRectangle:
        item->colour = defaults.paintColour;
        break;
    case kAnnotTextFile: {
        const std::optional<std::string> path =
            m_view.Dialogs().OpenFile(LoadResourceString(IDS_TEXT_FILE_TITLE), kTextFileFilter, m_view.LastDirectory());
        if (!path)
            return;
        const TextFileError error = ReadTextFile(*path, item->text);
        if (error != TextFileError::None) {
            m_view.Prompter().MessageBox(TextFileMessage(error), LoadResourceString(IDS_TEXT_FILE_TITLE), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        item->font = defaults.copyTextFont;
        item->colour = defaults.copyTextColour;
        break;
    }
    default: return;
    }
    AddItem(*this, std::move(item));
    InvalidateScrolled(m_view, area);
    m_view.UpdateWindow();
}

// ---- lines ----------------------------------------------------------------------------------------

void CAnnotationLayer::LinePress(int x, int y)
{
    m_pressPoint = {x, y};
    m_pressTick = m_view.TickCount();
    m_start = m_current = Scrolled(x, y);
    ShowOverlay(LineOverlay(m_start, m_current));
}

void CAnnotationLayer::LineMove(int x, int y)
{
    m_current = ClampToRect(Scrolled(x, y), PageOnScreen());
    ShowOverlay(LineOverlay(m_start, m_current));
}

void CAnnotationLayer::LineRelease(int, int)
{
    ShowOverlay(CToolOverlay{});
    const CAnnotationDefaults& defaults = m_view.Defaults();
    const double zoom = m_view.ZoomScale();
    auto item = NewItem(*this, kAnnotLine);
    item->width = defaults.lineWidth;
    item->colour = defaults.lineColour;
    item->x1 = ToPage(m_start.x, zoom);
    item->y1 = ToPage(m_start.y, zoom);
    item->x2 = ToPage(m_current.x, zoom);
    item->y2 = ToPage(m_current.y, zoom);
    item->rect = Spanned({item->x1, item->y1}, {item->x2, item->y2});
    const int margin = ScreenPenWidth(item->width + 1, zoom);
    AddItem(*this, std::move(item));
    InvalidateScrolled(m_view, Inflated(Spanned(m_start, m_current), margin, margin));
    m_view.UpdateWindow();
}

// ---- freehand ------------------------------------------------------------------------------------
// The stroke's item is in the list from the press on. Its points are kept in page pixels as they
// come (each divided by the zoom, as a division of the whole stroke at the release would give), so
// that a repaint during the stroke draws it where it is; repeats are told apart in view pixels.

void CAnnotationLayer::StrokePress(int x, int y)
{
    const CAnnotationDefaults& defaults = m_view.Defaults();
    const double zoom = m_view.ZoomScale();
    m_current = ClampToRect(Scrolled(x, y), PageOnScreen());
    auto item = NewItem(*this, kAnnotFreehand);
    item->width = defaults.freehandWidth;
    item->colour = defaults.freehandColour;
    const CAnnotationPoint point{ToPage(m_current.x, zoom), ToPage(m_current.y, zoom)};
    item->points.push_back(point);
    item->rect = {point.x, point.y, point.x, point.y};
    const int width = item->width;
    m_stroke = AddItem(*this, std::move(item));
    InvalidateScrolled(m_view, RepaintArea(Spanned(m_current, m_current), width, zoom));
}

void CAnnotationLayer::StrokeMove(int x, int y)
{
    if (m_stroke < 0 || m_stroke >= static_cast<int>(m_items.size()))
        return;
    const gdi::POINT next = ClampToRect(Scrolled(x, y), PageOnScreen());
    if (next.x == m_current.x && next.y == m_current.y)
        return;
    const double zoom = m_view.ZoomScale();
    CAnnotationItem& item = *m_items[static_cast<size_t>(m_stroke)];
    const CAnnotationPoint point{ToPage(next.x, zoom), ToPage(next.y, zoom)};
    item.points.push_back(point);
    item.rect = {std::min(item.rect.left, point.x), std::min(item.rect.top, point.y),
                 std::max(item.rect.right, point.x), std::max(item.rect.bottom, point.y)};
    InvalidateScrolled(m_view, RepaintArea(Spanned(m_current, next), item.width, zoom));
    m_current = next;
}

void CAnnotationLayer::StrokeRelease(int x, int y)
{
    StrokeMove(x, y);
    if (m_stroke >= 0 && m_stroke < static_cast<int>(m_items.size()))
        InvalidateItem(*m_items[static_cast<size_t>(m_stroke)]);
    m_stroke = -1;
}

// ---- stamps ---------------------------------------------------------------------------------------

std::string CAnnotationLayer::ExpandStampText(const std::string& text, const std::tm& now)
{
    std::string out;
    char buffer[64];
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            break;
        if (text[i] == 'x') {
            std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", now.tm_year % 100, now.tm_mon + 1, now.tm_mday);
            out += buffer;
        } else if (text[i] == 'X') {
            std::snprintf(buffer, sizeof buffer, now.tm_hour < 12 ? "A.M. %02d:%02d:%02d" : "P.M. %02d:%02d:%02d",
                          now.tm_hour, now.tm_min, now.tm_sec);
            out += buffer;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CAnnotationLayer::PlaceStamp(int x, int y)
{
    CAnnotationDefaults& defaults = m_view.Defaults();
    const int count = std::min(defaults.stampCount, kMaxStamps);
    if (count <= 0)
        return;
    defaults.currentStamp = std::clamp(defaults.currentStamp, 0, count - 1);
    const CStampRecord& stamp = defaults.stamps[static_cast<size_t>(defaults.currentStamp)];

    const std::time_t clock = std::time(nullptr);
    std::tm now{};
    localtime_r(&clock, &now);
    auto item = NewItem(*this, kAnnotStamp);
    item->text = ExpandStampText(std::string(stamp.text, ::strnlen(stamp.text, sizeof stamp.text)), now);
    item->font = stamp.font;
    item->colour = stamp.colour;

    // The text's extent as one line in the page's pixels, with a fifth more room.
    gdi::LOGFONTA font = stamp.font;
    font.lfHeight = PageFontHeight(font.lfHeight, m_view.ScreenDpi());
    qelta::imaging::ensureGuiApplication();
    const QFontMetrics metrics(gdi::fontOfLogFont(font));
    const int cx = metrics.horizontalAdvance(QString::fromUtf8(item->text)) * 120 / 100;
    const int cy = metrics.height() * 120 / 100;

    const double zoom = m_view.ZoomScale();
    const gdi::POINT p = Scrolled(x, y);
    const gdi::RECT page = PageOnScreen();
    const gdi::POINT from = ClampToRect(p, page);
    const gdi::POINT to = ClampToRect({p.x + ToScreen(cx, zoom), p.y + ToScreen(cy, zoom)}, page);
    const gdi::RECT rect{from.x, from.y, to.x, to.y};
    item->rect = ToPage(rect, zoom);
    AddItem(*this, std::move(item));
    InvalidateScrolled(m_view, Inflated(rect, 0, 1));
    m_view.UpdateWindow();
}

// ---- text in place ---------------------------------------------------------------------------------

void CAnnotationLayer::EndTextEdit()
{
    IAnnotationEditor& editor = m_view.Editor();
    if (!editor.IsVisible())
        return;
    const std::string text = editor.Text();
    if (text != m_editStartText) {
        if (m_bEditExisting) {
            if (m_editItem >= 0 && m_editItem < static_cast<int>(m_items.size())) {
                CAnnotationItem& item = *m_items[static_cast<size_t>(m_editItem)];
                item.text = text;
                SetModified();
                InvalidateItem(item);
            }
        } else {
            auto item = NewItem(*this, m_editKind);
            item->text = text;
            item->font = m_editFont;
            item->colour = m_editColour;
            if (m_editKind == kAnnotPatchMemo)
                item->background = m_view.Defaults().memoColour;
            item->rect = ToPage(m_editBand, m_view.ZoomScale());
            const int index = AddItem(*this, std::move(item));
            InvalidateItem(*m_items[static_cast<size_t>(index)]);
        }
    }
    editor.Hide();
    m_bEditExisting = false;
    m_editItem = -1;
    m_view.Activate();
}

void CAnnotationLayer::OpenEditor(int index)
{
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return;
    const CAnnotationItem& item = *m_items[static_cast<size_t>(index)];
    if (item.kind != kAnnotText && item.kind != kAnnotPatchMemo)
        return;
    // A text being written elsewhere is kept before the editor moves.
    EndTextEdit();
    m_undo.Record(CUndoRecord::kChangeAnnotation, index);

    const double zoom = m_view.ZoomScale();
    const auto [width, height] = PageSizeNow();
    const gdi::RECT turned = ScreenRectOf(item, m_view.PageState().GetRotation(), width, height, zoom);
    const gdi::POINT scroll = m_view.ScrollPosition();
    const int left = turned.left - scroll.x, top = turned.top - scroll.y;
    const gdi::RECT place{left, top, left + ToScreen(item.rect.right - item.rect.left, zoom),
                          top + ToScreen(item.rect.bottom - item.rect.top, zoom)};

    m_editKind = item.kind;
    m_editFont = item.font;
    m_editColour = item.colour;
    m_editStartText = item.text;
    m_bEditExisting = true;
    m_editItem = index;
    gdi::LOGFONTA font = item.font;
    font.lfHeight = ToScreen(PageFontHeight(font.lfHeight, m_view.ScreenDpi()), zoom);
    m_view.Editor().Open(place, font, item.colour, item.text);
}

} // namespace viewer
