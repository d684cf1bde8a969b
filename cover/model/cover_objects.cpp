#include "cover/model/cover_objects.h"

#include "common/resource_locale.h"
#include "cover/model/time_text.h"
#include "imaging/font_height.h"
#include "imaging/image_table.h"
#include "imaging/picture_file.h"
#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

using cover::FrameType;

namespace {

using cover::clamped;
using PicturePtr = CPictureCache::PicturePtr;

cover::FrameFont frameFontOf(const gdi::LOGFONTA& font)
{
    cover::FrameFont out;
    out.face.assign(font.lfFaceName, ::strnlen(font.lfFaceName, sizeof font.lfFaceName));
    out.height = font.lfHeight;
    out.weight = font.lfWeight;
    out.italic = font.lfItalic;
    out.underline = font.lfUnderline;
    out.strikeOut = font.lfStrikeOut;
    out.charSet = font.lfCharSet;
    return out;
}

// A face or file name read from a line, up to any line break: no name holds one, and a frame line
// cannot carry it.
std::string_view plainName(std::string_view field) { return field.substr(0, field.find_first_of("\r\n")); }

// Pen styles of the file are the device context's.
gdi::Pen blackPen(int style, int width) { return gdi::Pen{style, width, 0xff000000}; }

// The brush a frame's fill is combined into the page with: the dots of the 5, 10 and 15 % shades
// (the same dots wherever a sheet is drawn, and black on a bilevel page), black, and white (which
// leaves the page as it is) for anything else.
gdi::Brush fillBrush(int fill)
{
    switch (fill) {
    case 5:
        return {false, qRgb(0, 0, 0), gdi::kShade5};
    case 10:
        return {false, qRgb(0, 0, 0), gdi::kShade10};
    case 15:
        return {false, qRgb(0, 0, 0), gdi::kShade15};
    case 100:
        return {false, qRgb(0, 0, 0)};
    default:
        return {false, qRgb(255, 255, 255)};
    }
}

// Decoded pictures a reading of a sheet keeps for its later frames, in bytes; the newest stays
// whatever its size.
constexpr size_t kPictureCacheBytes = size_t{64} << 20;

thread_local CPictureCache* currentPictureCache = nullptr;

// The first page of a file of any kind pagefilelib reads; none for a file it does not read, or a
// picture past the bound.
PicturePtr decodePicture(const std::string& path)
{
    bool known = false;
    return qelta::imaging::readPicture(path, 0, known);
}

// The picture at most at the size of a frame, reduced as the image service reduces pictures (thin
// black lines of a bilevel picture survive): one bit a pixel for a bilevel picture, else 32-bit.
QImage keptPicture(const PicturePtr& picture, const gdi::RECT& frame)
{
    const auto within = [](int64_t extent, uint32_t size) {
        return static_cast<uint32_t>(std::clamp<int64_t>(std::abs(extent), 1, size));
    };
    const uint32_t width = within(int64_t{frame.right} - frame.left, picture->width);
    const uint32_t height = within(int64_t{frame.bottom} - frame.top, picture->height);
    PicturePtr kept = picture;
    if (width != picture->width || height != picture->height) {
        const IKRESIZEINFO source{qelta::imaging::images().add(picture), {}};
        const IKHANDLE reduced = IKResize(&source, static_cast<int32_t>(width), static_cast<int32_t>(height), 1, 0,
                                          nullptr, nullptr, nullptr);
        IKFreeMemory(source.image);
        kept = reduced ? qelta::imaging::images().find(reduced) : nullptr;
        if (reduced)
            IKFreeMemory(reduced);
        if (!kept)
            return {};
    }
    const bool bilevel = kept->kind == qelta::imaging::PixelKind::Bilevel;
    QImage image(static_cast<int>(width), static_cast<int>(height), bilevel ? QImage::Format_Mono : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    if (bilevel)
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // a set bit is black, as in the page
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = kept->row(y);
        uchar* out = image.scanLine(static_cast<int>(y));
        if (bilevel) {
            std::memcpy(out, in, kept->stride());
            continue;
        }
        auto* pixels = reinterpret_cast<QRgb*>(out);
        for (uint32_t x = 0; x < width; ++x)
            pixels[x] = qRgb(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
    }
    return image;
}

// DrawText flags of the text objects: word breaks, no ampersand prefixes.
constexpr unsigned kTextFormat = gdi::DT_WORDBREAK | gdi::DT_NOPREFIX;

// Font dialog flags: screen fonts, start from the given font, effects.
constexpr int kFontDialogFlags = 321;
// File dialog flags: file must exist, hide read-only, prompt on overwrite.
constexpr int kFileDialogFlags = 0x1006;

} // namespace

// ---- CtqRect ----

namespace {

// A size read from a line (a font height, a pen width), held to the tallest page either way.
int boundedSize(int value)
{
    return std::clamp(value, -cover::kMaxPageHeight, cover::kMaxPageHeight);
}

} // namespace

void ParseRectFields(std::string_view line, gdi::RECT& rect)
{
    const cover::FrameRect r = cover::frameRectOf(cover::splitFrameLine(line));
    const auto bounded = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -cover::kMaxCoordinate, cover::kMaxCoordinate)); };
    rect = {bounded(r.left), bounded(r.top), bounded(int64_t{r.left} + r.width), bounded(int64_t{r.top} + r.height)};
}

void FormatRectField(std::string& text, const gdi::RECT& rect)
{
    for (const int64_t value : {int64_t{rect.left}, int64_t{rect.top}, int64_t{rect.right} - rect.left, int64_t{rect.bottom} - rect.top})
        text.append(std::to_string(clamped(value))).push_back(',');
}

cover::FrameRect CtqRect::frameRect() const
{
    return {m_rect.left, m_rect.top, clamped(int64_t{m_rect.right} - m_rect.left), clamped(int64_t{m_rect.bottom} - m_rect.top)};
}

int CtqRect::Draw(gdi::CDeviceContext&, const gdi::RECT&, ICoverSheetView*) { return 1; }
int CtqRect::GetLogFont(gdi::LOGFONTA&) const { return 0; }
int CtqRect::SetLogFont(const gdi::LOGFONTA&) { return 0; }
int CtqRect::GetPen(int&, int&) const { return 0; }
int CtqRect::SetPen(int, int) { return 0; }
int CtqRect::SetFill(int) { return 0; }
int CtqRect::EditProperties(ICoverSheetView*) { return 0; }
int CtqRect::LoadResources(std::string_view, const std::string&) { return 1; }
int CtqRect::SetText(const std::string&) { return 0; }

int CtqRect::ParseFrameLine(std::string_view line)
{
    ParseRectFields(line, m_rect);
    return 1;
}

std::string CtqRect::GetFrameLine() const
{
    std::string text;
    FormatRectField(text, m_rect);
    text.pop_back();
    return text;
}

// ---- text objects ----

int CtqTextRect::GetLogFont(gdi::LOGFONTA& font) const
{
    font = m_logFont;
    return 1;
}

int CtqTextRect::SetLogFont(const gdi::LOGFONTA& font)
{
    m_logFont = font;
    m_logFont.lfFaceName[sizeof m_logFont.lfFaceName - 1] = '\0';
    return 1;
}

int CtqTextRect::SetText(const std::string& text)
{
    m_strText = text;
    return 1;
}

int CtqTextRect::ParseFrameLine(std::string_view line)
{
    const auto fields = cover::splitFrameLine(line);
    ParseRectFields(line, m_rect);
    const cover::FrameFont font = cover::frameFontOf(fields);
    m_logFont = {};
    const std::string_view face = platform::utf8Prefix(plainName(font.face), sizeof m_logFont.lfFaceName - 1);
    std::memcpy(m_logFont.lfFaceName, face.data(), face.size());
    m_logFont.lfHeight = boundedSize(font.height);
    m_logFont.lfWeight = font.weight;
    m_logFont.lfItalic = static_cast<uint8_t>(font.italic);
    m_logFont.lfUnderline = static_cast<uint8_t>(font.underline);
    m_logFont.lfStrikeOut = static_cast<uint8_t>(font.strikeOut);
    m_logFont.lfCharSet = static_cast<uint8_t>(font.charSet);
    return 1;
}

std::string CtqTextRect::GetFrameLine() const
{
    return cover::textFrameLine(m_type, frameRect(), frameFontOf(m_logFont));
}

void CtqTextRect::drawText(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) const
{
    gdi::LOGFONTA font = m_logFont;
    if (view) {
        gdi::POINT height{0, font.lfHeight};
        view->PageToDevice(&dc, height);
        font.lfHeight = height.y;
    } else {
        font.lfHeight = gdi::MulDiv(font.lfHeight, target.bottom - target.top, m_rect.bottom - m_rect.top);
    }
    const gdi::LOGFONTA previous = dc.SelectFont(font);
    dc.DrawText(GetText(), target, kTextFormat);
    dc.SelectFont(previous);
}

int CtqTextRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view)
{
    drawText(dc, target, view);
    return 1;
}

int CtqTextRect::EditProperties(ICoverSheetView* view)
{
    if (!view)
        return 0;
    gdi::LOGFONTA font = m_logFont;
    if (!ChooseTextFont(*view, font))
        return 0;
    SetLogFont(font);
    return 1;
}

bool ChooseTextFont(ICoverSheetView& view, gdi::LOGFONTA& font)
{
    gdi::LOGFONTA shown = font;
    shown.lfHeight = gdi::DialogFontHeight(font.lfHeight, view.GetScreenPixelsPerInch());
    int tenths = gdi::PointSizeTenthsOfPageHeight(font.lfHeight);
    if (!view.ChooseFont(shown, kFontDialogFlags, tenths))
        return false;
    // A size box holding no size (0) keeps the height the text had.
    shown.lfHeight = tenths > 0 ? gdi::PageFontHeight(tenths) : font.lfHeight;
    font = shown;
    return true;
}

int CtqStaticTextRect::ParseFrameLine(std::string_view line)
{
    CtqTextRect::ParseFrameLine(line);
    const auto fields = cover::splitFrameLine(line);
    m_strText = fields.size() > 12 ? cover::unescapeText(fields[12]) : std::string();
    return 1;
}

std::string CtqStaticTextRect::GetFrameLine() const
{
    return cover::staticTextFrameLine(frameRect(), frameFontOf(m_logFont), m_strText);
}

int CtqStaticTextRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view)
{
    const gdi::POINT origin = dc.GetViewportOrg();
    m_rcDevice = {clamped(int64_t{target.left} + origin.x), clamped(int64_t{target.top} + origin.y),
                  clamped(int64_t{target.right} + origin.x), clamped(int64_t{target.bottom} + origin.y)};
    if (view && view->IsInPlaceEditorVisible() && view->GetEditTarget() == this)
        return 1;
    drawText(dc, target, view);
    return 1;
}

int CtqStaticTextRect::EditProperties(ICoverSheetView* view)
{
    if (!view)
        return 0;
    gdi::RECT rect = m_rect;
    view->PageRectToDevice(nullptr, rect);
    const gdi::POINT scroll = view->GetScrollPosition();
    rect = {clamped(int64_t{rect.left} - scroll.x), clamped(int64_t{rect.top} - scroll.y),
            clamped(int64_t{rect.right} - scroll.x), clamped(int64_t{rect.bottom} - scroll.y)};
    gdi::POINT height{0, m_logFont.lfHeight};
    view->PageToDevice(nullptr, height);
    gdi::LOGFONTA font = m_logFont;
    font.lfHeight = height.y;
    view->SetEditTarget(this);
    view->ShowInPlaceEditor(rect, font, m_strText);
    return 0;
}

CtqTimeRect::CtqTimeRect(const gdi::RECT& rect) : CtqTextRect(FrameType::Time, rect)
{
    m_strText = cover::localTimeText("%H:%M:%S");
}

CtqDateRect::CtqDateRect(const gdi::RECT& rect) : CtqTextRect(FrameType::Date, rect)
{
    m_strText = cover::localTimeText(LoadResourceString(IDS_DATE_FORMAT).c_str());
}

CtqPageRect::CtqPageRect(const gdi::RECT& rect) : CtqTextRect(FrameType::Page, rect)
{
    m_strText = "99";
}

// ---- images ----

CPictureCache::CPictureCache() : m_previous(std::exchange(currentPictureCache, this)) {}

CPictureCache::~CPictureCache() { currentPictureCache = m_previous; }

PicturePtr CPictureCache::Decoded(const std::string& path)
{
    CPictureCache* cache = currentPictureCache;
    if (!cache)
        return decodePicture(path);
    auto& entries = cache->m_entries;
    for (const auto& [name, picture] : entries)
        if (name == path)
            return picture;
    entries.emplace_back(path, decodePicture(path));
    const auto bytes = [](const auto& entry) { return entry.second ? entry.second->pixels.size() : size_t{0}; };
    size_t held = 0;
    for (const auto& entry : entries)
        held += bytes(entry);
    while (entries.size() > 1 && held > kPictureCacheBytes) {
        held -= bytes(entries.front());
        entries.erase(entries.begin());
    }
    return entries.back().second;
}

bool CtqBitmapRect::ReadImage(const std::string& path)
{
    // The one place cover sheets read image files.
    const PicturePtr picture = path.empty() ? nullptr : CPictureCache::Decoded(platform::nativePath(path));
    QImage image = picture ? keptPicture(picture, m_rect) : QImage();
    if (image.isNull())
        return false;
    m_bitmap = std::move(image);
    return true;
}

int CtqBitmapRect::ParseFrameLine(std::string_view line)
{
    const auto fields = cover::splitFrameLine(line);
    ParseRectFields(line, m_rect);
    m_strFileName = fields.size() > 5 ? std::string(plainName(fields[5])) : std::string();
    m_bitmap = QImage();
    ReadImage(m_strFileName);
    return 1;
}

int CtqBitmapRect::LoadResources(std::string_view line, const std::string& coverPath)
{
    const auto fields = cover::splitFrameLine(line);
    ParseRectFields(line, m_rect);
    m_strFileName = fields.size() > 5 ? std::string(plainName(fields[5])) : std::string();
    m_bitmap = QImage();
    if (m_strFileName.empty())
        return 0;
    const std::string stored = platform::nativePath(m_strFileName);
    if (!coverPath.empty() && stored.front() != '/' && ReadImage(platform::joinPath(platform::parentPath(coverPath), stored)))
        return 1;
    return ReadImage(m_strFileName) ? 1 : 0;
}

std::string CtqBitmapRect::GetFrameLine() const
{
    return cover::bitmapFrameLine(frameRect(), m_strFileName);
}

int CtqBitmapRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view)
{
    if (m_strFileName.empty())
        return 1;
    if (!m_bitmap.isNull()) {
        dc.StretchBlt(target, m_bitmap, gdi::SRCAND);
        return 1;
    }
    if (!view)
        return 1; // a page made from the sheet leaves the place empty
    // In the editor a picture that could not be read shows as a crossed box with its file's name,
    // so the frame can be seen and chosen again.
    const gdi::Brush previousBrush = dc.SelectBrush(gdi::Brush{});
    const gdi::Pen previousPen = dc.SelectPen(blackPen(gdi::PS_SOLID, 1));
    dc.Rectangle(target);
    dc.MoveTo(target.left, target.top);
    dc.LineTo(target.right - 1, target.bottom - 1);
    dc.MoveTo(target.left, target.bottom - 1);
    dc.LineTo(target.right - 1, target.top);
    const gdi::RECT& box = target; // a box object's rectangle is kept normalized
    if (int64_t{box.right} - box.left >= 24 && int64_t{box.bottom} - box.top >= 18) { // room for a line of text
        const gdi::LOGFONTA previousFont = dc.SelectFont(gdi::LOGFONTA{});
        dc.DrawText(platform::fileNameOf(platform::nativePath(m_strFileName)),
                    {clamped(int64_t{box.left} + 3), clamped(int64_t{box.top} + 3), box.right, box.bottom},
                    gdi::DT_NOPREFIX);
        dc.SelectFont(previousFont);
    }
    dc.SelectPen(previousPen);
    dc.SelectBrush(previousBrush);
    return 1;
}

int CtqBitmapRect::EditProperties(ICoverSheetView* view)
{
    if (!view)
        return 0;
    const std::string folder = m_strFileName.empty() ? std::string() : platform::parentPath(platform::nativePath(m_strFileName));
    std::string path;
    if (!view->ChooseOpenFile(LoadResourceString(IDS_BITMAP_FILTER), "BMP", kFileDialogFlags, folder, path))
        return 0;
    // A name that cannot stand in a frame line is refused like a file that cannot be read.
    if (path.find_first_of(",\r\n") != std::string::npos || !ReadImage(path)) {
        view->ShowImageError(LoadResourceString(IDS_EDITOR_CAPTION), path);
        return 2;
    }
    m_strFileName = path;
    return 1;
}

// ---- drawing objects ----

int CtqDrawingRect::GetPen(int& style, int& width) const
{
    style = m_nPenStyle;
    width = m_nPenWidth;
    return 1;
}

int CtqDrawingRect::SetPen(int style, int width)
{
    m_nPenStyle = style;
    m_nPenWidth = width;
    return 1;
}

int CtqDrawingRect::ParseFrameLine(std::string_view line)
{
    const auto fields = cover::splitFrameLine(line);
    ParseRectFields(line, m_rect);
    m_nPenStyle = fields.size() > 5 ? cover::fieldNumber(fields[5]) : 0;
    m_nPenWidth = fields.size() > 6 ? boundedSize(cover::fieldNumber(fields[6])) : 0;
    return 1;
}

std::string CtqDrawingRect::GetFrameLine() const
{
    return cover::penFrameLine(m_type, frameRect(), m_nPenStyle, m_nPenWidth);
}

int CtqDrawingRect::scaledPenWidth(const gdi::RECT& target) const
{
    if (m_nPenWidth == 1)
        return 1;
    const int64_t targetWidth = std::abs(int64_t{target.right} - target.left), targetHeight = std::abs(int64_t{target.bottom} - target.top);
    const int64_t ownWidth = std::abs(int64_t{m_rect.right} - m_rect.left), ownHeight = std::abs(int64_t{m_rect.bottom} - m_rect.top);
    return targetWidth > targetHeight ? gdi::MulDiv(m_nPenWidth, clamped(targetWidth), clamped(ownWidth))
                                      : gdi::MulDiv(m_nPenWidth, clamped(targetHeight), clamped(ownHeight));
}

int CtqDrawingRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView*)
{
    const gdi::POINT outline[] = {{target.left, target.top}, {target.right, target.top}, {target.right, target.bottom},
                                  {target.left, target.bottom}, {target.left, target.top}};
    const gdi::Pen previous = dc.SelectPen(blackPen(m_nPenStyle, m_nPenWidth));
    dc.Polyline(outline, 5);
    dc.SelectPen(previous);
    return 1;
}

int CtqDrawingFrameRect::SetFill(int fill)
{
    m_nFill = fill;
    return 1;
}

int CtqDrawingFrameRect::ParseFrameLine(std::string_view line)
{
    CtqDrawingRect::ParseFrameLine(line);
    const auto fields = cover::splitFrameLine(line);
    m_nFill = fields.size() > 7 ? cover::fieldNumber(fields[7]) : 0;
    return 1;
}

std::string CtqDrawingFrameRect::GetFrameLine() const
{
    return cover::drawingFrameLine(frameRect(), m_nPenStyle, m_nPenWidth, m_nFill);
}

int CtqDrawingFrameRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView*)
{
    const gdi::Brush previousBrush = dc.SelectBrush(gdi::Brush{});
    const gdi::Pen previousPen = dc.SelectPen(blackPen(m_nPenStyle, scaledPenWidth(target)));
    if (m_nFill == 100)
        dc.FillSolidRect(target, qRgb(0, 0, 0));
    dc.Rectangle(target);
    dc.SelectBrush(fillBrush(m_nFill));
    dc.PatBlt(target, gdi::PATAND);
    dc.SelectBrush(previousBrush);
    dc.SelectPen(previousPen);
    return 1;
}

int CtqDrawingLineRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView*)
{
    const gdi::Pen previous = dc.SelectPen(blackPen(m_nPenStyle, scaledPenWidth(target)));
    if (target.right < target.left) {
        dc.MoveTo(target.right, target.bottom);
        dc.LineTo(target.left, target.top);
    } else {
        dc.MoveTo(target.left, target.top);
        dc.LineTo(target.right, target.bottom);
    }
    dc.SelectPen(previous);
    return 1;
}

int CtqDrawingCutterRect::Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView*)
{
    const gdi::Pen previous = dc.SelectPen(blackPen(gdi::PS_DOT, 1));
    dc.MoveTo(clamped(int64_t{target.right} + 1), target.bottom);
    dc.LineTo(target.left, target.top);
    dc.MoveTo(clamped(int64_t{target.right} + 2), clamped(int64_t{target.bottom} + 1));
    dc.LineTo(target.left, clamped(int64_t{target.top} + 1));
    dc.SelectPen(previous);
    return 1;
}

// ---- the array ----

size_t CtqRtArray::Add(std::unique_ptr<CtqRect> object)
{
    m_objects.push_back(std::move(object));
    return m_objects.size() - 1;
}

bool CtqRtArray::Remove(const CtqRect* object)
{
    const auto found = std::find_if(m_objects.begin(), m_objects.end(), [&](const auto& o) { return o.get() == object; });
    if (found == m_objects.end())
        return false;
    m_objects.erase(found);
    return true;
}

bool CtqRtArray::MoveToEnd(const CtqRect* object)
{
    const auto found = std::find_if(m_objects.begin(), m_objects.end(), [&](const auto& o) { return o.get() == object; });
    if (found == m_objects.end())
        return false;
    std::rotate(found, found + 1, m_objects.end());
    return true;
}

bool CtqRtArray::MoveToFront(const CtqRect* object)
{
    const auto found = std::find_if(m_objects.begin(), m_objects.end(), [&](const auto& o) { return o.get() == object; });
    if (found == m_objects.end())
        return false;
    std::rotate(m_objects.begin(), found, found + 1);
    return true;
}
