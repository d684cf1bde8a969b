#include "cover/model/cover_document.h"

#include "common/resource_locale.h"
#include "cover/model/cover_file.h"
#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>
#include <stdexcept>

using cover::FrameType;

namespace {

// Values every document of the process shares: the recipient captions (loaded by each new
// document) and the default frame lines (loaded once).
struct Shared {
    std::mutex mutex;
    std::array<std::string, 7> captions; // company, section, post, name, zip, address 1, address 2
    bool defaultsLoaded = false;
    std::vector<std::string> defaultLines;
};

Shared& shared()
{
    static Shared instance;
    return instance;
}

std::string caption(size_t index)
{
    Shared& s = shared();
    const std::lock_guard lock(s.mutex);
    return s.captions[index];
}

// Where a picture name of the sheet at sheetPath is looked for first: beside the sheet when it is
// relative.
std::string pictureBesideSheet(const std::string& name, const std::string& sheetPath)
{
    const std::string native = platform::nativePath(name);
    if (native.empty() || native.front() == '/' || sheetPath.empty())
        return native;
    return platform::joinPath(platform::parentPath(sheetPath), native);
}

// The name a picture of the sheet at from takes in the sheet saved at to. A relative name that finds
// the picture beside the old sheet is made relative to the new folder when the picture lies in it
// or below, else absolute; any other name (absolute, or finding nothing) stays as it is, and so does
// every name when the folder is the same.
std::string movedPictureName(const std::string& name, const std::string& from, const std::string& to)
{
    namespace fs = std::filesystem;
    const std::string native = platform::nativePath(name);
    if (native.empty() || native.front() == '/' || from.empty())
        return name;
    std::error_code error;
    const fs::path oldFolder = fs::absolute(platform::parentPath(from), error).lexically_normal();
    const fs::path newFolder = fs::absolute(platform::parentPath(to), error).lexically_normal();
    const std::string picture = pictureBesideSheet(name, from);
    if (error || oldFolder == newFolder || !platform::pathExists(picture))
        return name;
    const fs::path absolute = fs::absolute(picture, error).lexically_normal();
    const fs::path relative = absolute.lexically_relative(newFolder);
    const bool below = !relative.empty() && *relative.begin() != "..";
    std::string moved = below ? relative.string() : absolute.string();
    if (name.find('\\') != std::string::npos && name.find('/') == std::string::npos && below)
        std::replace(moved.begin(), moved.end(), '/', '\\'); // the separators the name was written with
    // A name that cannot stand in a frame line stays as it was.
    return error || moved.find_first_of(",\r\n") != std::string::npos ? name : moved;
}

} // namespace

std::unique_ptr<CtqTextRect> CreateTextObject(FrameType type)
{
    switch (type) {
    case FrameType::StaticText: return std::make_unique<CtqStaticTextRect>();
    case FrameType::Memo: return std::make_unique<CtqMemoRect>();
    case FrameType::Fax: return std::make_unique<CtqAddressFaxRect>();
    case FrameType::Company: return std::make_unique<CtqAddressCompanyRect>();
    case FrameType::Section: return std::make_unique<CtqAddressSectionRect>();
    case FrameType::Post: return std::make_unique<CtqAddressPostRect>();
    case FrameType::Name: return std::make_unique<CtqAddressNameRect>();
    case FrameType::Telephone: return std::make_unique<CtqAddressTelephoneRect>();
    case FrameType::Mr: return std::make_unique<CtqAddressMrRect>();
    case FrameType::Zip: return std::make_unique<CtqAddressZipRect>();
    case FrameType::Address1: return std::make_unique<CtqAddressAddress1Rect>();
    case FrameType::Address2: return std::make_unique<CtqAddressAddress2Rect>();
    case FrameType::UserCompany: return std::make_unique<CtqUserCompanyRect>();
    case FrameType::UserSection: return std::make_unique<CtqUserSectionRect>();
    case FrameType::UserPost: return std::make_unique<CtqUserPostRect>();
    case FrameType::UserName: return std::make_unique<CtqUserNameRect>();
    case FrameType::UserId: return std::make_unique<CtqUserIDRect>();
    case FrameType::UserFaxNumber: return std::make_unique<CtqUserFaxNumberRect>();
    case FrameType::UserZip: return std::make_unique<CtqUserZipRect>();
    case FrameType::UserAddress1: return std::make_unique<CtqUserAddress1Rect>();
    case FrameType::Time: return std::make_unique<CtqTimeRect>();
    case FrameType::Date: return std::make_unique<CtqDateRect>();
    case FrameType::Page: return std::make_unique<CtqPageRect>();
    default: return nullptr;
    }
}

CtqHeaderDoc::CtqHeaderDoc(ICoverSheetApp* app) : m_pApp(app)
{
    if (m_pApp)
        m_pApp->SetCurrentDocument(this);
}

void CtqHeaderDoc::DeleteContents() { m_objects.RemoveAll(); }

CtqRect* CtqHeaderDoc::CreateFrame(std::string_view line)
{
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos)
        return nullptr;
    const auto type = cover::frameTypeOf(line.substr(0, comma));
    if (!type)
        return nullptr;
    std::unique_ptr<CtqRect> object;
    std::string text;
    switch (*type) {
    case FrameType::Bitmap:
        object = std::make_unique<CtqBitmapRect>();
        break;
    case FrameType::DrawingFrame:
        object = std::make_unique<CtqDrawingFrameRect>();
        break;
    case FrameType::DrawingLine:
        object = std::make_unique<CtqDrawingLineRect>();
        break;
    case FrameType::PageCut:
        if (m_nPageCut != -1)
            return nullptr;
        object = std::make_unique<CtqDrawingCutterRect>();
        break;
    default: {
        auto textRect = CreateTextObject(*type);
        switch (*type) {
        case FrameType::Fax: textRect->SetText(LoadResourceString(IDS_CAPTION_FAX)); break;
        case FrameType::Telephone: textRect->SetText(LoadResourceString(IDS_CAPTION_TELEPHONE)); break;
        case FrameType::Mr: textRect->SetText(LoadResourceString(IDS_CAPTION_MR)); break;
        case FrameType::Company: textRect->SetText(caption(0)); break;
        case FrameType::Section: textRect->SetText(caption(1)); break;
        case FrameType::Post: textRect->SetText(caption(2)); break;
        case FrameType::Name: textRect->SetText(caption(3)); break;
        case FrameType::Zip: textRect->SetText(caption(4)); break;
        case FrameType::Address1: textRect->SetText(caption(5)); break;
        case FrameType::Address2: textRect->SetText(caption(6)); break;
        case FrameType::UserName:
        case FrameType::UserId:
            textRect->SetText(m_pApp ? m_pApp->GetProfileString(cover::kCoverSection, *type == FrameType::UserName ? "User4" : "User5", "")
                                     : std::string());
            break;
        default:
            break;
        }
        object = std::move(textRect);
    }
    }
    if (*type == FrameType::Bitmap)
        object->LoadResources(line, m_strPathName); // an image that cannot be read leaves the object without one
    else
        object->ParseFrameLine(line);
    CtqRect* made = object.get();
    m_objects.Add(std::move(object));
    if (*type == FrameType::PageCut)
        m_nPageCut = made->m_rect.top;
    return made;
}

int CtqHeaderDoc::RemoveFrame(CtqRect* object)
{
    return m_objects.Remove(object) ? 1 : 0;
}

int CtqHeaderDoc::OnOpenDocument(const std::string& path)
{
    if (m_bBusy)
        return 0;
    cover::CoverSheetFile file;
    if (cover::readCoverSheetFile(path, -1, file) != cover::CoverReadStatus::Ok || file.frames < 0)
        return 0; // the sheet shown stays as it was
    m_nPageCut = -1;
    m_bLang = file.language ? 1 : 0;
    m_bBusy = 1;
    DeleteContents();
    m_strPathName = path;
    m_bModified = false;
    try {
        const CPictureCache pictures; // a picture shown by several frames is decoded once
        for (const std::string& line : file.lines)
            CreateFrame(line); // whole, as the image service and the renderer read it
    } catch (...) {
        m_bBusy = 0;
        throw;
    }
    m_bBusy = 0;
    return 1;
}

int CtqHeaderDoc::OnSaveDocument(const std::string& path)
{
    if (m_bBusy)
        return 0;
    // The picture names as the sheet at path must store them; the objects take them once it is written.
    std::vector<std::pair<CtqBitmapRect*, std::string>> renamed;
    for (size_t i = 0; i < m_objects.GetSize(); ++i)
        if (auto* picture = dynamic_cast<CtqBitmapRect*>(m_objects.GetAt(i))) {
            std::string name = movedPictureName(picture->m_strFileName, m_strPathName, path);
            if (name != picture->m_strFileName)
                renamed.emplace_back(picture, std::move(name));
        }
    std::vector<std::string> lines;
    lines.reserve(m_objects.GetSize());
    for (auto& [picture, name] : renamed)
        std::swap(picture->m_strFileName, name);
    bool written = false;
    try {
        for (size_t i = 0; i < m_objects.GetSize(); ++i)
            lines.push_back(m_objects.GetAt(i)->GetFrameLine());
        written = cover::writeCoverSheetFile(path, m_bLang != 0, lines);
    } catch (const std::invalid_argument&) {
        // a face or file name that cannot stand in a frame line
    }
    if (!written) {
        for (auto& [picture, name] : renamed)
            std::swap(picture->m_strFileName, name); // the names they had
        return 0;
    }
    m_strPathName = path;
    m_bModified = false;
    return 1;
}

std::vector<std::string> CtqHeaderDoc::MissingPictures() const
{
    std::vector<std::string> missing;
    for (size_t i = 0; i < m_objects.GetSize(); ++i) {
        const auto* picture = dynamic_cast<const CtqBitmapRect*>(m_objects.GetAt(i));
        if (!picture || picture->m_strFileName.empty() || !picture->m_bitmap.isNull())
            continue;
        std::string where = pictureBesideSheet(picture->m_strFileName, m_strPathName);
        if (std::find(missing.begin(), missing.end(), where) == missing.end())
            missing.push_back(std::move(where));
    }
    return missing;
}

std::string CtqHeaderDoc::GetTitle() const
{
    return m_strPathName.empty() ? std::string("Untitled") : platform::fileNameOf(m_strPathName);
}

int CtqHeaderDoc::OnNewDocument()
{
    m_nPageCut = -1;
    if (m_bBusy)
        return 0;
    m_nPageWidth = cover::kPageWidth;
    m_nPageHeight = 2290;
    DeleteContents();
    m_strPathName.clear();
    std::vector<std::string> defaults;
    {
        Shared& s = shared();
        const std::lock_guard lock(s.mutex);
        for (size_t i = 0; i < s.captions.size(); ++i)
            s.captions[i] = LoadResourceString(static_cast<uint32_t>(IDS_CAPTION_COMPANY + i));
        if (!s.defaultsLoaded) {
            s.defaultsLoaded = true;
            for (int i = 0; i < kDefaultFrameCount; ++i)
                s.defaultLines.emplace_back(platform::utf8Prefix(LoadResourceString(IDS_DEFAULT_FRAME_FIRST + i), kMaxDefaultFrameLine));
            if (!m_pApp || m_pApp->GetNoDefaultObjects() == 0)
                defaults = s.defaultLines;
        }
    }
    for (const std::string& line : defaults)
        CreateFrame(line);
    m_bModified = false;
    return 1;
}
