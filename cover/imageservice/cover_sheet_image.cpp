#include "cover/imageservice/cover_sheet_image.h"

#include "cover/model/cover_file.h"
#include "cover/model/frame_line.h"
#include "cover/model/time_text.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <utility>

namespace {

// Texts shown in place of recipient data.
constexpr const char* kDefaultName = "Name";
constexpr const char* kDefaultFaxNo = "Fax number";

// The text tags of the written page: every field empty.
constexpr const char* kTags = "Document\rDescription:\rPage:\rSoftware:\rDateTime:\rArtist:\r";

// Screen resolution that turns page-pixel font heights into points for fonts of other character
// sets; a constant, so that drawing never depends on the monitor.
constexpr int kScreenPixelsPerInch = 96;


// Line feeds of a stored text become CR LF for drawing.
std::string withCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The kinds this service draws; every other kind of the file is left out.
int kindOf(std::string_view keyword)
{
    const auto type = cover::frameTypeOf(keyword);
    if (!type)
        return CFrame::kNone;
    switch (*type) {
    case cover::FrameType::Name:
        return CFrame::kName;
    case cover::FrameType::Fax:
        return CFrame::kFax;
    case cover::FrameType::StaticText:
        return CFrame::kStaticText;
    case cover::FrameType::Memo:
        return CFrame::kMemo;
    case cover::FrameType::Date:
        return CFrame::kDate;
    case cover::FrameType::Time:
        return CFrame::kTime;
    case cover::FrameType::Page:
        return CFrame::kPage;
    case cover::FrameType::Bitmap:
        return CFrame::kBitmap;
    case cover::FrameType::DrawingFrame:
        return CFrame::kDrawingFrame;
    case cover::FrameType::DrawingLine:
        return CFrame::kDrawingLine;
    case cover::FrameType::PageCut:
        return CFrame::kPageCut;
    default:
        return CFrame::kNone;
    }
}

// The imaging library's line style for a stored pen style.
int32_t lineStyleOf(int penStyle)
{
    switch (penStyle) {
    case 0:
        return IK_LINE_SOLID;
    case 1:
        return IK_LINE_DASH;
    case 2:
        return IK_LINE_DOT;
    case 3:
        return IK_LINE_DASHDOT;
    case 4:
        return IK_LINE_DASHDOTDOT;
    case 6:
        return IK_LINE_INSIDEFRAME;
    default:
        return IK_LINE_NONE;
    }
}

// The imaging library's fill pattern for a stored fill (not 0).
int32_t fillPatternOf(int fill)
{
    switch (fill) {
    case 5:
        return IK_FILL_GREY5;
    case 10:
        return IK_FILL_GREY10;
    case 15:
        return IK_FILL_GREY15;
    default:
        return IK_FILL_SOLID;
    }
}

IKDRAWINFO penOf(int32_t width, int32_t style, int32_t pattern)
{
    IKDRAWINFO info{};
    info.penWidth = width;
    info.lineStyle = style;
    info.fillPattern = pattern;
    return info;
}

// Frees an image of the library when it goes out of scope.
class ImageHolder {
public:
    ImageHolder(const CImageKit& kit, IKHANDLE image) : kit_(kit), image_(image) {}
    ~ImageHolder()
    {
        if (image_)
            kit_.m_pfnFreeMemory(image_);
    }
    ImageHolder(const ImageHolder&) = delete;
    ImageHolder& operator=(const ImageHolder&) = delete;
    IKHANDLE get() const { return image_; }
    IKHANDLE release() { return std::exchange(image_, 0); }
    void reset(IKHANDLE image)
    {
        if (image_)
            kit_.m_pfnFreeMemory(image_);
        image_ = image;
    }

private:
    const CImageKit& kit_;
    IKHANDLE image_;
};

} // namespace

// ---- CFrame ----

CFrame::CFrame()
    : m_strName(kDefaultName), m_strFaxNo(kDefaultFaxNo), m_strDate(cover::localTimeText("%x")), m_strTime(cover::localTimeText("%X"))
{
}

bool CFrame::Parse(std::string_view line, const CCoverRecipientData& data, const std::string& coverPath)
{
    const auto fields = cover::splitFrameLine(line);
    if (fields.size() < 6)
        return false;
    const int kind = kindOf(fields[0]);
    if (kind == kNone)
        return false;

    const bool text = kind <= kPage;
    if ((text && fields.size() < 12) || (kind == kStaticText && fields.size() < 13)
        || ((kind == kDrawingFrame || kind == kDrawingLine) && fields.size() < 7)
        || (kind == kDrawingFrame && fields.size() < 8))
        return false;

    m_nKind = kind;
    const cover::FrameRect rect = cover::frameRectOf(fields);
    m_nLeft = rect.left;
    m_nTop = rect.top;
    m_nWidth = rect.width;
    m_nHeight = rect.height;
    if (text) {
        const cover::FrameFont font = cover::frameFontOf(fields);
        m_strFace = std::string(platform::utf8Prefix(font.face, 127));
        m_nFontHeight = font.height;
        m_nWeight = font.weight;
        m_bItalic = static_cast<unsigned char>(font.italic);
        m_bUnderline = static_cast<unsigned char>(font.underline);
        m_bStrikeOut = static_cast<unsigned char>(font.strikeOut);
        m_nCharSet = static_cast<unsigned char>(font.charSet);
    }
    switch (kind) {
    case kStaticText:
        m_strText = withCrLf(cover::unescapeText(fields[12]));
        break;
    case kBitmap: {
        const std::string name = platform::nativePath(fields[5]);
        m_strImagePath = platform::pathExists(name) ? name : platform::joinPath(platform::parentPath(coverPath), name);
        break;
    }
    case kDrawingFrame:
        m_nFill = cover::fieldNumber(fields[7]);
        [[fallthrough]];
    case kDrawingLine:
        m_nPenStyle = cover::fieldNumber(fields[5]);
        m_nPenWidth = cover::fieldNumber(fields[6]);
        break;
    default:
        break;
    }
    if (data.m_bUse) {
        m_strName = data.m_strName;
        m_strFaxNo = data.m_strFaxNo;
        m_strMemo = data.m_strMemo;
        m_strDate = data.m_strDate;
        m_strTime = data.m_strTime;
        m_nPageNo = data.m_nPageNo;
    }
    return true;
}

int CFrame::Right() const { return cover::clamped(int64_t{m_nLeft} + m_nWidth); }
int CFrame::Bottom() const { return cover::clamped(int64_t{m_nTop} + m_nHeight); }

bool CFrame::DrawObject(const CImageKit& kit, IKHANDLE* page, int nXResolution, int nYResolution) const
{
    const IKRECT target{m_nLeft, m_nTop, Right(), Bottom()};
    switch (m_nKind) {
    case kBitmap:
        return DrawBitmap(kit, page, nXResolution, nYResolution);
    case kDrawingFrame: {
        const IKDRAWINFO pen = penOf(m_nPenWidth, lineStyleOf(m_nPenStyle), m_nFill ? fillPatternOf(m_nFill) : 0);
        return kit.m_pfnRectangle(*page, &target, &pen, IK_DRAW_PAINT) == 1;
    }
    case kDrawingLine: {
        const IKDRAWINFO pen = penOf(m_nPenWidth, lineStyleOf(m_nPenStyle), IK_FILL_NONE);
        return kit.m_pfnLine(*page, &target, &pen, IK_DRAW_PAINT) == 1;
    }
    case kPageCut:
        return true;
    default:
        return DrawText(kit, *page);
    }
}

bool CFrame::DrawText(const CImageKit& kit, IKHANDLE page) const
{
    if (m_nWidth < 1 || m_nHeight < 1)
        return true;
    std::string text;
    switch (m_nKind) {
    case kName:
        text = m_strName;
        break;
    case kFax:
        text = m_strFaxNo;
        break;
    case kMemo:
        text = m_strMemo;
        break;
    case kStaticText:
        text = m_strText;
        break;
    case kDate:
        text = m_strDate;
        break;
    case kTime:
        text = m_strTime;
        break;
    case kPage:
        text = std::to_string(m_nPageNo);
        break;
    default:
        return false;
    }
    if (text.empty() && (m_nKind == kName || m_nKind == kFax || m_nKind == kMemo))
        return true;

    IKFONT font{};
    font.charSet = m_nCharSet;
    const std::string_view face = platform::utf8Prefix(m_strFace, sizeof font.faceName - 1);
    std::memcpy(font.faceName, face.data(), face.size());
    const int divisor = m_nCharSet == 0 ? 115 : kScreenPixelsPerInch;
    font.pointSize = static_cast<int16_t>(std::clamp(static_cast<long long>(m_nFontHeight) * 72 / divisor,
                                                     0LL, 32767LL));
    font.bold = m_nWeight >= 700 ? 1 : 0;
    font.italic = m_bItalic;
    font.underline = m_bUnderline;
    font.strikeOut = m_bStrikeOut;
    font.one40 = font.one48 = font.one49 = 1;
    const IKRECT target{m_nLeft, m_nTop, Right(), Bottom()};
    return kit.m_pfnDrawText(page, &target, &font, text.c_str(), 0, 1, 2) == 1;
}

bool CFrame::DrawBitmap(const CImageKit& kit, IKHANDLE* page, int nXResolution, int nYResolution) const
{
    const ImageHolder loaded(kit, kit.m_pfnFileLoad(m_strImagePath.c_str(), 0, 0, "", "", ""));
    IKHANDLE pasted = 0;
    if (loaded.get()) {
        const IKRESIZEINFO source{loaded.get(), {}};
        const ImageHolder resized(kit, kit.m_pfnResize(&source, m_nWidth, m_nHeight, 1, 0, "", "", ""));
        if (resized.get()) {
            kit.m_pfnSetDpi(resized.get(), nXResolution, nYResolution);
            pasted = kit.m_pfnPasteImage(resized.get(), *page, cover::clamped(int64_t{m_nLeft} + m_nWidth / 2), cover::clamped(int64_t{m_nTop} + m_nHeight / 2),
                                         0xffffff, 0);
        }
    }
    if (!pasted)
        return DrawCrossedBox(kit, *page);
    ImageHolder result(kit, pasted);
    if (const IKHANDLE converted = kit.m_pfnConvertColor(pasted, 1, 0, 1, 128, 0))
        result.reset(converted);
    kit.m_pfnSetDpi(result.get(), nXResolution, nYResolution);
    kit.m_pfnFreeMemory(*page);
    *page = result.release();
    return true;
}

bool CFrame::DrawCrossedBox(const CImageKit& kit, IKHANDLE page) const
{
    const IKDRAWINFO pen = penOf(4, IK_LINE_SOLID, IK_FILL_NONE);
    const int right = Right(), bottom = Bottom();
    const IKRECT box{m_nLeft, m_nTop, right, bottom};
    const IKRECT down{m_nLeft, m_nTop, right, bottom};
    const IKRECT up{m_nLeft, bottom, right, m_nTop};
    kit.m_pfnRectangle(page, &box, &pen, IK_DRAW_PAINT);
    kit.m_pfnLine(page, &down, &pen, IK_DRAW_PAINT);
    kit.m_pfnLine(page, &up, &pen, IK_DRAW_PAINT);
    return true;
}

// ---- CCoverSheetImage ----

bool CCoverSheetImage::ReadCoverSheet(const std::string& path)
{
    m_frames.clear();
    cover::CoverSheetFile file;
    if (path.empty() || cover::readCoverSheetFile(path, 0, file) != cover::CoverReadStatus::Ok)
        return false;
    for (const std::string& line : file.lines) {
        if (line.empty())
            continue;
        CFrame frame;
        if (frame.Parse(line, m_data, path))
            m_frames.push_back(std::move(frame));
    }
    return true;
}

void CCoverSheetImage::SetOutputGeometry(bool bStretch, int nXResolution, int nYResolution)
{
    if (!bStretch) {
        m_nWidth = cover::kPageWidth;
        m_nHeight = kDefaultPageHeight;
        m_nXResolution = m_nYResolution = cover::kPageResolution;
        return;
    }
    // The page's size scaled to the resolution, cut toward zero (400 dpi gives 3456 x 4676).
    const auto scaled = [](long long size, int resolution) {
        return static_cast<int>(std::clamp(size * resolution / cover::kPageResolution, -(1LL << 30), 1LL << 30));
    };
    m_nWidth = scaled(cover::kPageWidth, nXResolution);
    m_nHeight = scaled(kDefaultPageHeight, nYResolution);
    m_nXResolution = nXResolution;
    m_nYResolution = nYResolution;
}

bool CCoverSheetImage::Render(const CImageKit& kit, const std::string& imagePath)
{
    if (!kit.Complete())
        return false;

    int pageHeight = kDefaultPageHeight;
    const auto cut = std::find_if(m_frames.begin(), m_frames.end(),
                                  [](const CFrame& frame) { return frame.m_nKind == CFrame::kPageCut; });
    if (cut != m_frames.end()) {
        pageHeight = cut->m_nTop;
        if (pageHeight < 1 || pageHeight > kMaxPageHeight)
            return false;
        // The cut page at the output resolution, on both axes alike.
        m_nHeight = static_cast<int>(static_cast<long long>(pageHeight) * m_nYResolution / cover::kPageResolution);
    }

    ImageHolder page(kit, kit.m_pfnCreateImage(cover::kPageWidth, pageHeight, 1, 255, 255, 255, 0, "", "", ""));
    if (!page.get() || kit.m_pfnSetDpi(page.get(), cover::kPageResolution, cover::kPageResolution) != 1)
        return false;
    for (const CFrame& frame : m_frames) {
        IKHANDLE current = page.release();
        const bool drawn = frame.DrawObject(kit, &current, m_nXResolution, m_nYResolution);
        page.reset(current);
        if (!drawn)
            return false;
    }
    const IKRESIZEINFO source{page.get(), {}};
    const ImageHolder output(kit, kit.m_pfnResize(&source, m_nWidth, m_nHeight, 0, 0, "", "", ""));
    // The library's save: G4, a single page, the tag list, replacing what the path holds.
    return output.get() && kit.m_pfnSetDpi(output.get(), m_nXResolution, m_nYResolution) == 1
        && kit.m_pfnTiffFileSave(imagePath.c_str(), output.get(), IK_COMPRESSION_G4, 0, 1, kTags, 1, 0, "", "", "")
        == 1;
}
