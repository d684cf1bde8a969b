#include "cover/renderer/cover_renderer.h"

#include "cover/model/cover_document.h"
#include "cover/model/cover_file.h"
#include "cover/model/frame_line.h"
#include "imaging/gui_session.h"
#include "imaging/page_qimage.h"
#include "imaging/pagefilelib.h"
#include "platform/files.h"
#include "platform/text.h"

#include <QtGui/QFontMetrics>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace coverrender {

using cover::FrameType;

namespace {

// Recipient field i goes to the objects of this kind.
constexpr std::array<FrameType, 11> kRecipientKinds = {
    FrameType::Company, FrameType::Section,   FrameType::Post, FrameType::Name, FrameType::Zip, FrameType::Address1,
    FrameType::Address2, FrameType::Telephone, FrameType::Fax, FrameType::Mr,   FrameType::Page,
};

// Sender block offsets.
constexpr size_t kCountryOffset = 0;
constexpr size_t kAreaOffset = 128;
constexpr size_t kFirstSetOffset = 256;
constexpr size_t kSecondSetOffset = 1280;
enum SenderField { Company, Section, Post, Name, IdNumber, FaxNumber, Zip, Address };

std::string senderField(const char* block, size_t offset)
{
    if (!block)
        return {};
    const char* field = block + offset;
    return std::string(field, strnlen(field, 128));
}

std::string senderSetField(const char* block, bool secondLanguage, SenderField field)
{
    return senderField(block, (secondLanguage ? kSecondSetOffset : kFirstSetOffset) + 128 * size_t(field));
}

// The eleven recipient fields; a lone tab reads as empty.
std::array<std::string, 11> recipientFields(const char* list)
{
    std::array<std::string, 11> fields;
    if (!list)
        return fields;
    for (std::string& field : fields) {
        field = list;
        list += field.size() + 1;
        if (field == "\t")
            field.clear();
    }
    return fields;
}

// The kind a keyword names: six keywords match without regard to case, the others exactly.
std::optional<FrameType> kindOfKeyword(std::string_view keyword)
{
    for (int i = 0; i <= static_cast<int>(FrameType::PageCut); ++i) {
        const auto type = static_cast<FrameType>(i);
        const bool anyCase = type == FrameType::Zip || type == FrameType::Address1 || type == FrameType::Address2
                             || type == FrameType::UserZip || type == FrameType::UserAddress1
                             || type == FrameType::PageCut;
        const std::string_view name = cover::keywordOf(type);
        if (anyCase ? platform::equalsNoCase(keyword, name) : keyword == name)
            return type;
    }
    return std::nullopt;
}

std::optional<FrameType> kindOfLine(std::string_view line)
{
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    return kindOfKeyword(line.substr(0, comma));
}

std::string twoDigits(const char* format, int a, int b, int c)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

TextMetrics fontMetrics(const gdi::LOGFONTA& font)
{
    if (!qelta::imaging::ensureGuiApplication())
        return {};
    const QFontMetrics metrics(gdi::fontOfLogFont(font));
    return {metrics.height(), metrics.maxWidth(), font.lfCharSet};
}

int pageHeightOfCut(int top)
{
    if (top <= 0)
        return kDefaultPageHeight;
    return std::min(top, cover::kMaxPageHeight);
}

// Writes the page over the reserved (empty) file at path; false on any error.
bool writeTiffPage(const QImage& image, const std::string& path)
{
    const IKHANDLE page = qelta::imaging::pageOfImage(image, cover::kPageResolution);
    if (!page)
        return false;
    const PFHANDLE writer = PageFileWriteBitmapOpen(page, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0, path.c_str());
    bool written = false;
    if (writer != 0 && PageFileGetLastError() == PF_OK) {
        while (PageFileWriteStep(writer, PF_TYPE_TIFF) != 0) {
        }
        written = PageFileGetLastError() == PF_OK;
        written = PageFileWriteEnd(writer, PF_TYPE_TIFF) == 1 && written;
    } else if (writer != 0) {
        PageFileWriteEnd(writer, PF_TYPE_TIFF);
    }
    IKFreeMemory(page);
    return written;
}

} // namespace

std::string composedNumber(bool secondLanguage, const std::string& country, const std::string& area,
                           const std::string& number)
{
    std::string text;
    if (secondLanguage) {
        if (!country.empty())
            text += "+" + country;
        if (!area.empty())
            text += "-" + (country == "81" && area.front() == '0' ? area.substr(1) : area) + "-";
    } else if (!area.empty()) {
        text += "(" + area + ")";
    }
    return text + number;
}

int memoCapacity(int width, int height, const TextMetrics& metrics)
{
    if (metrics.height <= 0 || metrics.maxCharWidth <= 0)
        return 0;
    const long long lines = std::max(height, 0) / metrics.height;
    const long long columns = std::max(width, 0) / metrics.maxCharWidth;
    const long long capacity = lines * columns * (metrics.charSet == 2 ? 2 : 1);
    return static_cast<int>(std::min<long long>(capacity, INT32_MAX));
}

std::string pageFileName(const LocalTime& time)
{
    char name[64];
    std::snprintf(name, sizeof name, "C%02d%02d%02d%02d%02d%02d%03d.TQG", time.year % 100, time.month, time.day,
                  time.hour, time.minute, time.second, time.milliseconds);
    return name;
}

Renderer::Renderer() : m_clock(platform::localTime), m_metrics(fontMetrics) {}

bool Renderer::loadSheet(const std::string& coverPath, const Texts& texts, CtqRtArray& objects, int& pageHeight)
{
    cover::CoverSheetFile file;
    if (cover::readCoverSheetFile(coverPath, 0, file) != cover::CoverReadStatus::Ok || file.frames < 1)
        return false;
    const bool second = file.language;
    const LocalTime now = m_clock();
    const std::string country = senderField(texts.sender, kCountryOffset);
    const std::string area = senderField(texts.sender, kAreaOffset);
    bool cutSeen = false;
    const CPictureCache pictures; // a picture shown by several frames is decoded once
    for (const std::string& line : file.lines) {
        const auto kind = kindOfLine(line);
        if (!kind)
            continue;
        std::unique_ptr<CtqRect> object;
        switch (*kind) {
        case FrameType::Bitmap: object = std::make_unique<CtqBitmapRect>(); break;
        case FrameType::DrawingFrame: object = std::make_unique<CtqDrawingFrameRect>(); break;
        case FrameType::DrawingLine: object = std::make_unique<CtqDrawingLineRect>(); break;
        case FrameType::PageCut:
            if (cutSeen)
                continue;
            object = std::make_unique<CtqDrawingCutterRect>();
            break;
        default: {
            auto text = CreateTextObject(*kind);
            if (!text)
                continue;
            std::string initial;
            switch (*kind) {
            case FrameType::Memo: initial = texts.memo ? texts.memo : ""; break;
            case FrameType::UserCompany: initial = senderSetField(texts.sender, second, Company); break;
            case FrameType::UserSection: initial = senderSetField(texts.sender, second, Section); break;
            case FrameType::UserPost: initial = senderSetField(texts.sender, second, Post); break;
            case FrameType::UserName: initial = senderSetField(texts.sender, second, Name); break;
            case FrameType::UserZip: initial = senderSetField(texts.sender, second, Zip); break;
            case FrameType::UserAddress1: initial = senderSetField(texts.sender, second, Address); break;
            case FrameType::UserId:
                initial = composedNumber(second, country, area, senderSetField(texts.sender, second, IdNumber));
                break;
            case FrameType::UserFaxNumber:
                initial = composedNumber(second, country, area, senderSetField(texts.sender, second, FaxNumber));
                break;
            case FrameType::Time: initial = twoDigits("%02d:%02d:%02d", now.hour, now.minute, now.second); break;
            case FrameType::Date: initial = twoDigits("%04d/%02d/%02d", now.year, now.month, now.day); break;
            default: break; // recipient fields and Page start empty; StaticText reads its line
            }
            text->SetText(initial);
            object = std::move(text);
        }
        }
        if (*kind == FrameType::Bitmap)
            object->LoadResources(line, coverPath); // an unreadable image draws nothing
        else
            object->ParseFrameLine(line);
        if (*kind == FrameType::PageCut) {
            cutSeen = true;
            pageHeight = pageHeightOfCut(object->m_rect.top);
        }
        objects.Add(std::move(object));
    }
    return true;
}

std::optional<QImage> Renderer::render(const std::string& coverPath, const Texts& texts)
{
    CtqRtArray objects;
    int pageHeight = kDefaultPageHeight;
    if (!loadSheet(coverPath, texts, objects, pageHeight))
        return std::nullopt;
    const auto fields = recipientFields(texts.recipientFields);
    for (size_t i = 0; i < fields.size(); ++i)
        for (size_t n = 0; n < objects.GetSize(); ++n) {
            CtqRect* object = objects.GetAt(n);
            const auto* text = dynamic_cast<const CtqTextRect*>(object);
            if (text && text->GetType() == kRecipientKinds[i])
                object->SetText(fields[i]);
        }
    QImage page(cover::kPageWidth, pageHeight, QImage::Format_RGB32);
    if (page.isNull())
        return std::nullopt;
    {
        gdi::CDeviceContext dc(page);
        dc.SelectBrush({});
        dc.PatBlt({0, 0, page.width(), page.height()}, gdi::WHITENESS);
        for (size_t n = 0; n < objects.GetSize(); ++n) {
            CtqRect* object = objects.GetAt(n);
            object->Draw(dc, object->GetRect(), nullptr);
        }
    }
    return page;
}

std::string Renderer::writePageFile(const std::string& coverPath, const Texts& texts,
                                    const std::string& outputDirectory)
{
    if (outputDirectory.empty() || !platform::isDirectory(outputDirectory))
        return {};
    const auto page = render(coverPath, texts);
    if (!page)
        return {};
    // The name is reserved by creating the file exclusively; a taken name waits and takes the next.
    std::string path;
    for (int attempt = 0; attempt < kNameTries && path.empty(); ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string candidate = platform::joinPath(outputDirectory, pageFileName(m_clock()));
        std::error_code error;
        if (platform::createNewFile(candidate, &error).valid())
            path = std::move(candidate);
        else if (error != std::errc::file_exists)
            return {};
    }
    if (path.empty())
        return {};
    if (!writeTiffPage(*page, path)) {
        platform::removeFile(path);
        return {};
    }
    return path;
}

HGLOBAL Renderer::packBitmap(const QImage& page)
{
    const int height = page.height();
    const size_t imageSize = size_t(height) * kPackedRowBytes;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, 40 + 8 + imageSize);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return nullptr;
    }
    const auto put32 = [bytes](size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(page.width()));
    put32(8, static_cast<uint32_t>(height));
    bytes[12] = 1; // planes
    bytes[14] = 1; // bits per pixel
    put32(20, static_cast<uint32_t>(imageSize));
    // Colour table: black (all 0), then white.
    bytes[44] = bytes[45] = bytes[46] = 255;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        uint8_t* row = bytes + 48 + size_t(height - 1 - y) * kPackedRowBytes;
        for (int x = 0; x < page.width(); ++x)
            if (qGray(line[x]) >= 128)
                row[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
    GlobalUnlock(block);
    return block;
}

int Renderer::maxMemoLength(const std::string& coverPath)
{
    cover::CoverSheetFile file;
    if (cover::readCoverSheetFile(coverPath, 0, file) != cover::CoverReadStatus::Ok || file.frames < 1)
        return 0;
    int largest = 0;
    for (const std::string& line : file.lines) {
        if (kindOfLine(line) != FrameType::Memo)
            continue;
        CtqMemoRect memo;
        memo.ParseFrameLine(line);
        gdi::LOGFONTA font;
        memo.GetLogFont(font);
        const gdi::RECT& rect = memo.GetRect();
        const int capacity = memoCapacity(static_cast<int>(std::min<long long>(INT32_MAX, (long long)rect.right - rect.left)),
                                          static_cast<int>(std::min<long long>(INT32_MAX, (long long)rect.bottom - rect.top)),
                                          m_metrics(font));
        largest = std::max(largest, capacity);
    }
    return largest;
}

} // namespace coverrender
