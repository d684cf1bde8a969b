// The clipboard block of one annotation. Any program may put bytes under the block's MIME type, so
// the reader trusts nothing: every count is checked against the block's size before it is used and
// nothing past the block's end is read.
#include "viewer/annotation_item.h"

#include "imaging/little_endian.h"

#include <algorithm>
#include <cstring>

namespace viewer {

namespace {

// Offsets of the fixed part.
constexpr size_t kPage = 0, kKind = 4, kWidth = 8, kColour = 12, kBackground = 16, kFont = 20, kStyle = 80,
                 kRect = 84, kLine = 100, kOrientation = 116, kPageWidth = 120, kPageHeight = 124, kCount = 128,
                 kData = 132;
constexpr size_t kFontBytes = 60;
constexpr size_t kFaceBytes = sizeof(gdi::LOGFONTA::lfFaceName);
constexpr size_t kFaceLimit = kFaceBytes - 1;

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    void U32(size_t at, uint32_t value)
    {
        for (size_t i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    void I32(size_t at, int32_t value) { U32(at, static_cast<uint32_t>(value)); }

private:
    std::vector<uint8_t>& m_bytes;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint32_t U32(size_t at) const { return qelta::imaging::le32(m_bytes.data() + at); }
    int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }

private:
    std::span<const uint8_t> m_bytes;
};

void WriteFont(Writer& out, std::vector<uint8_t>& bytes, const gdi::LOGFONTA& font)
{
    size_t at = kFont;
    for (const int32_t value : {font.lfHeight, font.lfWidth, font.lfEscapement, font.lfOrientation, font.lfWeight}) {
        out.I32(at, value);
        at += 4;
    }
    for (const uint8_t value : {font.lfItalic, font.lfUnderline, font.lfStrikeOut, font.lfCharSet, font.lfOutPrecision,
                                font.lfClipPrecision, font.lfQuality, font.lfPitchAndFamily})
        bytes[at++] = value;
    std::memcpy(bytes.data() + at, font.lfFaceName, kFaceBytes);
}

/// The face name ends at its first zero byte, and at most at 31 bytes, cut back to the start of a
/// UTF-8 character so that no character is split.
void ReadFaceName(const uint8_t* face, char (&name)[kFaceBytes])
{
    size_t length = 0;
    while (length < kFaceBytes && face[length] != 0)
        ++length;
    if (length > kFaceLimit) {
        length = kFaceLimit;
        while (length > 0 && (face[length] & 0xC0) == 0x80)
            --length;
    }
    std::memset(name, 0, kFaceBytes);
    std::memcpy(name, face, length);
}

gdi::LOGFONTA ReadFont(const Reader& in, std::span<const uint8_t> bytes)
{
    gdi::LOGFONTA font;
    size_t at = kFont;
    for (int32_t* value : {&font.lfHeight, &font.lfWidth, &font.lfEscapement, &font.lfOrientation, &font.lfWeight}) {
        *value = in.I32(at);
        at += 4;
    }
    for (uint8_t* value : {&font.lfItalic, &font.lfUnderline, &font.lfStrikeOut, &font.lfCharSet, &font.lfOutPrecision,
                           &font.lfClipPrecision, &font.lfQuality, &font.lfPitchAndFamily})
        *value = bytes[at++];
    ReadFaceName(bytes.data() + at, font.lfFaceName);
    return font;
}

// True when every coordinate, size and width of the item is one a page can hold, so that no
// shift, turn, zoom or distance of paste, hit test and drawing leaves the 32-bit range.
bool WithinAPage(const CAnnotationItem& item)
{
    const auto within = [](int32_t value, int32_t limit) { return value >= -limit && value <= limit; };
    const auto onPage = [&](int32_t value) { return within(value, kMaxPageSide); };
    if (!onPage(item.rect.left) || !onPage(item.rect.top) || !onPage(item.rect.right) || !onPage(item.rect.bottom)
        || !onPage(item.x1) || !onPage(item.y1) || !onPage(item.x2) || !onPage(item.y2)
        || item.pageWidth < 0 || item.pageWidth > kMaxPageSide || item.pageHeight < 0
        || item.pageHeight > kMaxPageSide)
        return false;
    if (!std::all_of(item.points.begin(), item.points.end(),
                     [&](const CAnnotationPoint& p) { return onPage(p.x) && onPage(p.y); }))
        return false;
    return item.width >= 0 && item.width <= gdi::kMaxPenWidth && within(item.font.lfHeight, kMaxPageSide)
           && within(item.font.lfWidth, kMaxPageSide);
}

static_assert(kFont + 20 + 8 + kFaceBytes == kFont + kFontBytes && kFont + kFontBytes == kStyle);
static_assert(kData + 4 == kAnnotationBlockHeader);

} // namespace

std::vector<uint8_t> ToClipboardBlock(const CAnnotationItem& item)
{
    size_t count = 0, data = 0;
    if (IsTextKind(item.kind)) {
        count = item.text.size();
        data = count;
    } else if (item.kind == kAnnotFreehand) {
        count = item.points.size();
        data = 8 * count;
    }
    if (count > INT32_MAX / 8)
        return {};
    std::vector<uint8_t> bytes(kAnnotationBlockHeader + data, 0);
    Writer out(bytes);
    out.I32(kPage, item.page);
    out.I32(kKind, item.kind);
    out.I32(kWidth, item.width);
    out.U32(kColour, item.colour);
    out.U32(kBackground, item.background);
    WriteFont(out, bytes, item.font);
    out.I32(kStyle, item.style);
    out.I32(kRect, item.rect.left);
    out.I32(kRect + 4, item.rect.top);
    out.I32(kRect + 8, item.rect.right);
    out.I32(kRect + 12, item.rect.bottom);
    out.I32(kLine, item.x1);
    out.I32(kLine + 4, item.y1);
    out.I32(kLine + 8, item.x2);
    out.I32(kLine + 12, item.y2);
    out.I32(kOrientation, item.orientation);
    out.I32(kPageWidth, item.pageWidth);
    out.I32(kPageHeight, item.pageHeight);
    out.U32(kCount, static_cast<uint32_t>(count));
    if (IsTextKind(item.kind)) {
        std::memcpy(bytes.data() + kData, item.text.data(), count);
    } else if (item.kind == kAnnotFreehand) {
        size_t at = kData;
        for (const CAnnotationPoint& point : item.points) {
            out.I32(at, point.x);
            out.I32(at + 4, point.y);
            at += 8;
        }
    }
    return bytes;
}

bool FromClipboardBlock(CAnnotationItem& item, std::span<const uint8_t> block,
                        std::optional<std::pair<int, int>> pageSize)
{
    if (block.size() < kAnnotationBlockHeader)
        return false;
    const Reader in(block);
    CAnnotationItem read;
    read.page = in.I32(kPage);
    read.kind = in.I32(kKind);
    read.rect = {in.I32(kRect), in.I32(kRect + 4), in.I32(kRect + 8), in.I32(kRect + 12)};
    // A rectangle the other way round would turn every width below into nonsense.
    if (read.rect.left > read.rect.right || read.rect.top > read.rect.bottom)
        return false;
    if (pageSize && (int64_t{read.rect.right} - read.rect.left > pageSize->first ||
                     int64_t{read.rect.bottom} - read.rect.top > pageSize->second))
        return false;
    const uint64_t count = in.U32(kCount);
    const uint64_t room = block.size() - kData;
    if (IsTextKind(read.kind)) {
        // The text and its zero byte lie within the block; the text ends at its first zero byte.
        if (count >= room)
            return false;
        const uint8_t* text = block.data() + kData;
        const auto* end = static_cast<const uint8_t*>(std::memchr(text, 0, room));
        if (end == nullptr)
            return false;
        read.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(end - text));
    } else if (read.kind == kAnnotFreehand) {
        if (count > room / 8)
            return false;
        read.points.resize(static_cast<size_t>(count));
        size_t at = kData;
        for (CAnnotationPoint& point : read.points) {
            point = {in.I32(at), in.I32(at + 4)};
            at += 8;
        }
    }
    read.width = in.I32(kWidth);
    read.colour = in.U32(kColour);
    read.background = in.U32(kBackground);
    read.font = ReadFont(in, block);
    read.style = in.I32(kStyle);
    read.x1 = in.I32(kLine);
    read.y1 = in.I32(kLine + 4);
    read.x2 = in.I32(kLine + 8);
    read.y2 = in.I32(kLine + 12);
    read.orientation = in.I32(kOrientation);
    read.pageWidth = in.I32(kPageWidth);
    read.pageHeight = in.I32(kPageHeight);
    if (!WithinAPage(read))
        return false;
    item = std::move(read);
    return true;
}

} // namespace viewer
