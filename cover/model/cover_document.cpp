#include "cover/model/cover_document.h"

#include "common/resource_locale.h"
#include "cover/model/cover_file.h"
#include "platform/files.h"
#include "platform/text.h"

#include <array>
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
    std::vector<std::string> lines;
    lines.reserve(m_objects.GetSize());
    try {
        for (size_t i = 0; i < m_objects.GetSize(); ++i)
            lines.push_back(m_objects.GetAt(i)->GetFrameLine());
    } catch (const std::invalid_argument&) {
        return 0; // a face or file name that cannot stand in a frame line
    }
    if (!cover::writeCoverSheetFile(path, m_bLang != 0, lines))
        return 0;
    m_strPathName = path;
    m_bModified = false;
    return 1;
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
