#include "viewer/viewer_dialog_logic.h"

#include "viewer/annotation_item.h"

#include "common/resource_locale.h"
#include "imaging/pagefilelib.h"
#include "platform/text.h"
#include "viewer/page_file_access.h"
#include "viewer/viewer_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace viewer {

int SpinValue(int value, int delta, int low, int high)
{
    if (delta > 0)
        --value;
    else if (delta < 0)
        ++value;
    return std::clamp(value, low, high);
}

// ---- Change File Format ----

namespace {

const std::vector<std::string> kTiffSubFormats = {
    "No Compression", "Revised CCITT Group 3 MH compression", "CCITT Group 3 MH compression",
    "CCITT Group 3 MR compression", "PackBits compression", "Class F",
};

} // namespace

CChangeFileFormatLogic::CChangeFileFormatLogic() : m_formats{"TIFF File (*.TIF)", "FAX File (*.FAX)"}
{
    SelectFormat(0);
}

void CChangeFileFormatLogic::SelectFormat(int index)
{
    m_nFormat = std::clamp(index, 0, static_cast<int>(m_formats.size()) - 1);
    if (m_formats[static_cast<size_t>(m_nFormat)].find("TIF") != std::string::npos)
        m_subFormats = kTiffSubFormats;
    else
        m_subFormats = {"None"};
    m_nSubFormat = 0;
}

void CChangeFileFormatLogic::SelectSubFormat(int index)
{
    m_nSubFormat = std::clamp(index, 0, static_cast<int>(m_subFormats.size()) - 1);
}

CFileFormat CChangeFileFormatLogic::Result() const
{
    if (m_formats[static_cast<size_t>(m_nFormat)].find("TIF") == std::string::npos)
        return {PF_TYPE_FAX, 0};
    const std::string& sub = m_subFormats[static_cast<size_t>(m_nSubFormat)];
    int compression = PF_COMPRESSION_PACKBITS;
    if (sub == "No Compression")
        compression = PF_COMPRESSION_NONE;
    else if (sub == "Revised CCITT Group 3 MH compression")
        compression = PF_COMPRESSION_MH;
    else if (sub == "CCITT Group 3 MH compression")
        compression = PF_COMPRESSION_G3_MH;
    else if (sub == "CCITT Group 3 MR compression")
        compression = PF_COMPRESSION_G3_MR;
    else if (sub == "Class F")
        compression = PF_COMPRESSION_CLASS_F;
    return {PF_TYPE_TIFF, compression};
}

// ---- File information ----

CFileInfoTexts FileInfoTexts(const PAGEFILEDOCUMENT& record, int pageWidth, int pageHeight, int page, int pageCount)
{
    CFileInfoTexts t;
    const bool fax = record.fileType == PF_TYPE_FAX;
    switch (record.fileType) {
    case PF_TYPE_BMP: t.format = "Bitmap file"; break;
    case PF_TYPE_TIFF: t.format = "TIFF file"; break;
    case PF_TYPE_PCX: t.format = "PCX file"; break;
    case PF_TYPE_FAX: t.format = "FAX file"; break;
    default: break;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, fax ? "%x" : "%d", static_cast<unsigned>(record.version));
    t.version = buffer;
    if (fax) {
        t.compression = "MH compression";
    } else {
        switch (record.compression) {
        case PF_COMPRESSION_NONE: t.compression = "None"; break;
        case PF_COMPRESSION_MH: t.compression = "Revised CCITT Group 3 MH compression"; break;
        case PF_COMPRESSION_G3_MH:
        case PF_COMPRESSION_CLASS_F: t.compression = "CCITT Group 3 MH compression"; break;
        case PF_COMPRESSION_G3_MR: t.compression = "CCITT Group 3 MR compression"; break;
        case PF_COMPRESSION_PACKBITS: t.compression = "PackBits compression"; break;
        default: break;
        }
        t.width = std::to_string(pageWidth);
        t.height = std::to_string(pageHeight);
    }
    t.colours = fax ? "2" : record.colours == 0 ? "Full color" : std::to_string(record.colours);
    std::snprintf(buffer, sizeof buffer, "%d/%d", page, pageCount);
    t.page = buffer;
    return t;
}

CFileInfoLogic::CFileInfoLogic(const CLoadedFile& file, const CPageImageArray& pages) : m_file(file), m_pages(pages) {}

bool CFileInfoLogic::Open()
{
    if (m_file.record.fileType == PF_TYPE_NONE) {
        PageFileShowError(nullptr, nullptr, PF_ERR_OPEN);
        return false;
    }
    m_bOpen = true;
    m_nPage = 1;
    if (LoadedFileChanged(m_file))
        m_strNote = LoadResourceString(IDS_FILE_CHANGED_ON_DISK);
    Fill();
    const bool several = m_pages.size() > 1;
    m_bPrevious = false;
    m_bNext = several;
    m_nFocus = several ? IDC_INFO_NEXT : 0;
    return true;
}

void CFileInfoLogic::Fill()
{
    const auto count = static_cast<int>(m_pages.size());
    const CPageImage* page = m_nPage >= 1 && m_nPage <= count ? m_pages[static_cast<size_t>(m_nPage - 1)].get() : nullptr;
    m_texts = FileInfoTexts(m_file.record, page ? page->Width() : 0, page ? page->Height() : 0, m_nPage, count);
}

void CFileInfoLogic::Next()
{
    const auto count = static_cast<int>(m_pages.size());
    if (!m_bOpen || m_nPage >= count)
        return;
    ++m_nPage;
    Fill();
    m_bPrevious = true;
    m_bNext = m_nPage < count;
    m_nFocus = m_bNext ? IDC_INFO_NEXT : IDC_INFO_PREVIOUS;
}

void CFileInfoLogic::Previous()
{
    if (!m_bOpen || m_nPage <= 1)
        return;
    --m_nPage;
    Fill();
    m_bNext = true;
    m_bPrevious = m_nPage > 1;
    m_nFocus = m_bPrevious ? IDC_INFO_PREVIOUS : IDC_INFO_NEXT;
}

// ---- colour list ----

const std::array<CColourItem, 16>& ColourItems()
{
    static const std::array<CColourItem, 16> items = {{
        {"BLACK", 0x000000}, {"BROWN", 0x000080}, {"GREEN", 0x008000}, {"OLIVE", 0x008080},
        {"DARK BLUE", 0x800000}, {"PURPLE", 0x800080}, {"BRUISH GREEN", 0x808000}, {"GRAY", 0x808080},
        {"SILVER", 0xC0C0C0}, {"RED", 0x0000FF}, {"YELLOWISH GREEN", 0x00FF00}, {"YELLOW", 0x00FFFF},
        {"BLUE", 0xFF0000}, {"PURPLISH RED", 0xFF00FF}, {"LIGHT BLUE", 0xFFFF00}, {"WHITE", 0xFFFFFF},
    }};
    return items;
}

int CColourListLogic::Select(uint32_t colour)
{
    m_nSelected = 0;
    for (int i = 0; i < Count(); ++i)
        if (ColourItems()[static_cast<size_t>(i)].colour == colour) {
            m_nSelected = i;
            break;
        }
    return m_nSelected;
}

void CColourListLogic::SelectIndex(int index) { m_nSelected = std::clamp(index, 0, Count() - 1); }

uint32_t CColourListLogic::SelectedColour() const { return ColourItems()[static_cast<size_t>(m_nSelected)].colour; }

// ---- Settings ----

CSettingsLogic::CSettingsLogic(int adjust, int lines, int readOption, intptr_t appValue)
    : m_nAdjust(adjust), m_nReadOption(readOption), m_nAppValue(appValue)
{
    if (lines >= 1 && lines <= 4)
        m_nLines = lines;
}

bool CSettingsLogic::Accept(IPrompter& prompter) const
{
    if (m_nLines < 1 || m_nLines > 4) {
        prompter.MessageBox(LoadResourceString(IDS_LINE_OUT_OF_RANGE), LoadResourceString(IDS_APP_TITLE), MB_OK);
        return false;
    }
    return true;
}

// ---- Page jump ----

bool CPageJumpLogic::Accept(IPrompter& prompter) const
{
    if (m_nValue <= 0 || m_nValue > m_nCount) {
        prompter.MessageBox(LoadResourceString(IDS_PAGE_OUT_OF_RANGE), LoadResourceString(IDS_APP_TITLE), MB_OK);
        return false;
    }
    return true;
}

// ---- Tilt correction ----

gdi::POINT TurnPoint(gdi::POINT p, int from, int to, int width, int height)
{
    return TurnPointBy(TurnAngle(from, to), p, width, height);
}

std::pair<int, int> CTiltCorrectionLogic::Direction(gdi::POINT a, gdi::POINT b)
{
    if (std::abs(a.y - b.y) >= std::abs(a.x - b.x)) {
        // Nearer vertical: A the lower end (larger y).
        if (b.y > a.y)
            std::swap(a, b);
        return {b.x - a.x, a.y - b.y};
    }
    // Nearer horizontal: A the right end (larger x).
    if (b.x > a.x)
        std::swap(a, b);
    return {a.y - b.y, a.x - b.x};
}

void CTiltCorrectionLogic::AutoCorrection() { m_tool.Correct(std::nullopt); }

void CTiltCorrectionLogic::ManualCorrection()
{
    const auto line = m_tool.ReferenceLine();
    if (!line) {
        m_prompter.MessageBox(LoadResourceString(IDS_DRAG_TILT_LINE), LoadResourceString(IDS_TOOL_CAPTION), MB_ICONEXCLAMATION);
        return;
    }
    const auto [width, height] = m_tool.PageSize();
    const int from = m_tool.LineOrientation();
    const gdi::POINT a = TurnPoint(line->first, from, 0, width, height);
    const gdi::POINT b = TurnPoint(line->second, from, 0, width, height);
    m_tool.Correct(Direction(a, b));
}

void CTiltCorrectionLogic::Close() { m_tool.End(); }

// ---- Line style ----

CLineStyleLogic::CLineStyleLogic(int width, uint32_t colour)
{
    if (width >= 1 && width <= 32)
        m_nWidth = width;
    m_colours.Select(colour);
}

bool CLineStyleLogic::Accept(IPrompter& prompter) const
{
    if (m_nWidth < 1 || m_nWidth > 32) {
        prompter.MessageBox(LoadResourceString(IDS_STAMP_SIZE_RANGE), LoadResourceString(IDS_APP_TITLE), MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

// ---- stamps ----

std::string ReplaceSelection(const std::string& text, int selectionStart, int selectionEnd, const std::string& insert)
{
    const auto size = static_cast<int>(text.size());
    int from = std::clamp(std::min(selectionStart, selectionEnd), 0, size);
    int to = std::clamp(std::max(selectionStart, selectionEnd), 0, size);
    return text.substr(0, static_cast<size_t>(from)) + insert + text.substr(static_cast<size_t>(to));
}

CEditStampLogic::CEditStampLogic(const CStampRecord& record) : m_record(record) {}

std::string CEditStampLogic::Name() const { return std::string(m_record.name, strnlen(m_record.name, sizeof m_record.name)); }

std::string CEditStampLogic::Text() const { return std::string(m_record.text, strnlen(m_record.text, sizeof m_record.text)); }

void CEditStampLogic::Accept(const std::string& name, const std::string& text)
{
    // Both are cut on a character boundary: a character cut in two would show as garbage.
    const std::string_view keptName = platform::utf8Prefix(name, sizeof m_record.name);
    const std::string_view keptText = platform::utf8Prefix(text, kMaxStampText);
    std::memset(m_record.name, 0, sizeof m_record.name);
    std::memcpy(m_record.name, keptName.data(), keptName.size());
    std::memset(m_record.reserved, 0, 4);
    std::memset(m_record.text, 0, sizeof m_record.text);
    std::memcpy(m_record.text, keptText.data(), keptText.size());
}

CStampListLogic::CStampListLogic(const std::array<CStampRecord, kMaxStamps>& stamps, int count, int current,
                                 const gdi::LOGFONTA& defaultFont, uint32_t defaultColour)
    : m_stamps(stamps), m_nCount(std::clamp(count, 0, kMaxStamps)), m_defaultFont(defaultFont),
      m_defaultColour(defaultColour)
{
    m_nSelection = current >= 0 && current < m_nCount ? current : -1;
    if (m_nCount > 0)
        m_strPreview = CEditStampLogic(m_stamps[0]).Text();
}

std::vector<std::string> CStampListLogic::Names() const
{
    std::vector<std::string> names;
    for (int i = 0; i < m_nCount; ++i)
        names.push_back(CEditStampLogic(m_stamps[static_cast<size_t>(i)]).Name());
    return names;
}

void CStampListLogic::Select(int index)
{
    m_nSelection = index >= 0 && index < m_nCount ? index : -1;
    if (m_nSelection >= 0)
        m_strPreview = CEditStampLogic(m_stamps[static_cast<size_t>(m_nSelection)]).Text();
}

std::string CStampListLogic::Preview() const { return m_strPreview; }

void CStampListLogic::Create(IStampEditor& editor)
{
    if (m_nCount >= kMaxStamps)
        return;
    CStampRecord record;
    record.font = m_defaultFont;
    record.colour = m_defaultColour;
    if (!editor.Edit("Create Text Stamp", record))
        return;
    m_stamps[static_cast<size_t>(m_nCount)] = record;
    ++m_nCount;
    Select(m_nCount - 1);
}

void CStampListLogic::Delete()
{
    if (m_nSelection < 0 || m_nSelection >= m_nCount)
        return;
    for (int i = m_nSelection; i + 1 < m_nCount; ++i)
        m_stamps[static_cast<size_t>(i)] = m_stamps[static_cast<size_t>(i + 1)];
    m_stamps[static_cast<size_t>(m_nCount - 1)] = CStampRecord{};
    --m_nCount;
    if (m_nCount == 0) {
        m_nSelection = -1;
        m_strPreview.clear();
        return;
    }
    Select(std::min(m_nSelection, m_nCount - 1));
}

void CStampListLogic::Edit(IStampEditor& editor)
{
    if (m_nSelection < 0 || m_nSelection >= m_nCount)
        return;
    CStampRecord copy = m_stamps[static_cast<size_t>(m_nSelection)];
    if (!editor.Edit("Edit Text Stamp Properties", copy))
        return;
    m_stamps[static_cast<size_t>(m_nSelection)] = copy;
    m_nSelection = -1;
}

} // namespace viewer
