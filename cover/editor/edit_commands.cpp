#include "cover/editor/edit_commands.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "cover/model/cover_file.h"
#include "imaging/font_height.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace cvr {

namespace {

template <class T>
bool is(const CtqRect* object)
{
    return dynamic_cast<const T*>(object) != nullptr;
}

struct KindName {
    bool (*test)(const CtqRect*);
    uint32_t id;
};

// Tested in this order.
const KindName kKindNames[] = {
    {is<CtqStaticTextRect>, 4097},       {is<CtqBitmapRect>, 4098},          {is<CtqMemoRect>, 4099},
    {is<CtqAddressFaxRect>, 4100},       {is<CtqAddressCompanyRect>, 4101},  {is<CtqAddressSectionRect>, 4102},
    {is<CtqAddressPostRect>, 4103},      {is<CtqAddressNameRect>, 4104},     {is<CtqAddressTelephoneRect>, 4105},
    {is<CtqAddressMrRect>, 4106},        {is<CtqAddressZipRect>, 61207},     {is<CtqAddressAddress1Rect>, 61208},
    {is<CtqAddressAddress2Rect>, 61209}, {is<CtqUserCompanyRect>, 4114},     {is<CtqUserSectionRect>, 4115},
    {is<CtqUserPostRect>, 4116},         {is<CtqUserZipRect>, 61204},        {is<CtqUserAddress1Rect>, 61205},
    {is<CtqUserNameRect>, 4117},         {is<CtqUserIDRect>, 4118},          {is<CtqUserFaxNumberRect>, 4119},
    {is<CtqDateRect>, 4108},             {is<CtqTimeRect>, 4109},            {is<CtqPageRect>, 4110},
    {is<CtqDrawingFrameRect>, 4111},     {is<CtqDrawingLineRect>, 4112},     {is<CtqDrawingCutterRect>, 4113},
};

// The object an insert command makes, before it has a place.
std::unique_ptr<CtqRect> newObject(int command)
{
    using cover::FrameType;
    switch (command) {
    case 32798: return std::make_unique<CtqBitmapRect>();
    case 32805: return std::make_unique<CtqDrawingFrameRect>();
    case 32806: return std::make_unique<CtqDrawingLineRect>();
    case 32807: return std::make_unique<CtqDrawingCutterRect>();
    default: break;
    }
    static const std::pair<int, FrameType> texts[] = {
        {32797, FrameType::StaticText}, {32799, FrameType::Memo},         {32802, FrameType::Date},
        {32803, FrameType::Time},       {32804, FrameType::Page},         {32808, FrameType::Fax},
        {32813, FrameType::Name},       {32810, FrameType::Company},      {32811, FrameType::Section},
        {32812, FrameType::Post},       {32814, FrameType::Telephone},    {32809, FrameType::Mr},
        {32827, FrameType::Zip},        {32828, FrameType::Address1},     {32829, FrameType::Address2},
        {32817, FrameType::UserName},   {32818, FrameType::UserId},       {32819, FrameType::UserCompany},
        {32820, FrameType::UserSection}, {32821, FrameType::UserPost},    {32822, FrameType::UserFaxNumber},
        {32832, FrameType::UserZip},    {32833, FrameType::UserAddress1},
    };
    for (const auto& [id, type] : texts)
        if (id == command)
            return CreateTextObject(type);
    return nullptr;
}

} // namespace

const std::vector<int> kInsertCommands = {32797, 32799, 32802, 32803, 32804, 32798, 32805, 32806, 32807,
                                          32808, 32813, 32810, 32811, 32812, 32814, 32809, 32827, 32828,
                                          32829, 32817, 32818, 32819, 32820, 32821, 32822, 32832, 32833};

bool IsInsertCommand(int command)
{
    return std::find(kInsertCommands.begin(), kInsertCommands.end(), command) != kInsertCommands.end();
}

uint32_t KindNameId(const CtqRect* object)
{
    for (const KindName& kind : kKindNames)
        if (kind.test(object))
            return kind.id;
    return 0;
}

std::string KindStatusText(const CtqRect* object)
{
    const uint32_t id = object ? KindNameId(object) : 0;
    if (id == 0)
        return {};
    std::string text = LoadResourceString(id);
    if (!is<CtqDrawingCutterRect>(object))
        text += " " + LoadResourceString(IDS_KIND_FRAME);
    return text;
}

gdi::RECT DefaultRect(const CtqHeaderDoc& document, const ScrollState& scroll)
{
    const auto offset = [](int extent, int position, int total) {
        return total > 0 ? static_cast<int>(int64_t{extent} * std::max(position, 0) / total) : 0;
    };
    const int left = 20 + offset(document.m_nPageWidth, scroll.x, scroll.totalWidth);
    const int top = 20 + offset(document.m_nPageHeight, scroll.y, scroll.totalHeight);
    return {left, top, left + 314, top + 78};
}

PenEntry LineTypePen(int command)
{
    switch (command) {
    case 6003: return {gdi::PS_INSIDEFRAME, 2};
    case 6004: return {gdi::PS_INSIDEFRAME, 5};
    case 6005: return {gdi::PS_INSIDEFRAME, 8};
    case 32784: return {gdi::PS_INSIDEFRAME, 11};
    case 32785: return {gdi::PS_DOT, 1};
    case 32786: return {gdi::PS_DASH, 1};
    default: return {gdi::PS_INSIDEFRAME, 1};
    }
}

bool IsLineTypeCommand(int command)
{
    return command == 6003 || command == 6004 || command == 6005 || (command >= 32784 && command <= 32786);
}

int ShadingFill(int command)
{
    switch (command) {
    case 32788: return 0;
    case 32789: return 5;
    case 32790: return 10;
    case 32791: return 15;
    case 32837: return 100;
    default: return -1;
    }
}

int ToggledWeight(int weight)
{
    return weight == 0 || weight == 400 ? 700 : 400;
}

int HeightOfPoints(int points)
{
    return gdi::MulDiv(points, 200, 72);
}

int PointsOfHeight(int height)
{
    return height <= 0 ? -height : gdi::MulDiv(height, 72, 200);
}

int DialogHeight(int height, int logPixelsY)
{
    return gdi::DialogFontHeight(height, logPixelsY);
}

int HeightOfTenths(int tenths)
{
    return gdi::PageFontHeight(tenths);
}

std::string ClipboardBlock(const CtqRect& object)
{
    std::string block = object.GetFrameLine();
    block.resize(block.size() + 16, '\0');
    return block;
}

std::optional<std::string> ClipboardLine(std::string_view block)
{
    if (block.size() > kMaxClipboardBlock)
        return std::nullopt;
    const size_t end = block.find('\0');
    if (end == std::string_view::npos || end == 0)
        return std::nullopt;
    return std::string(block.substr(0, end));
}

CEditCommands::CEditCommands(CHeaderViewLogic& view, IEditClipboard& clipboard, IPrompter& prompter,
                             const ICoverSheetApp* profile)
    : m_View(view), m_Doc(view.Document()), m_Clipboard(clipboard), m_Prompter(prompter), m_pProfile(profile)
{
    m_DefaultFont.lfHeight = 33;
    m_DefaultFont.lfCharSet = static_cast<uint8_t>(std::atoi(LoadResourceString(IDS_DEFAULT_CHARSET).c_str()));
    const std::string face = LoadResourceString(IDS_DEFAULT_FACE);
    std::strncpy(m_DefaultFont.lfFaceName, face.c_str(), sizeof m_DefaultFont.lfFaceName - 1);
}

void CEditCommands::SetDefaultFace(const std::string& face)
{
    std::memset(m_DefaultFont.lfFaceName, 0, sizeof m_DefaultFont.lfFaceName);
    std::strncpy(m_DefaultFont.lfFaceName, face.c_str(), sizeof m_DefaultFont.lfFaceName - 1);
}

CtqTextRect* CEditCommands::selectedText() const
{
    return dynamic_cast<CtqTextRect*>(m_View.Selection());
}

CtqRect* CEditCommands::Insert(int command, const ScrollState& scroll)
{
    std::unique_ptr<CtqRect> object = newObject(command);
    if (!object)
        return nullptr;
    gdi::RECT rect = DefaultRect(m_Doc, scroll);
    if (command == 32806) {
        rect.bottom = rect.top;
    } else if (command == 32807) {
        rect = {0, rect.top, m_Doc.m_nPageWidth, rect.top};
    }
    object->SetRect(rect);
    if (auto* text = dynamic_cast<CtqTextRect*>(object.get())) {
        text->SetLogFont(m_DefaultFont);
        if (command == 32797)
            text->SetText(LoadResourceString(IDS_NEW_TEXT));
    } else if (object->HasPen()) {
        const PenEntry pen = LineTypePen(m_nLineType);
        object->SetPen(pen.style, pen.width);
        if (object->HasFill())
            object->SetFill(ShadingFill(m_nShading));
    }
    // The document makes the object from its line, as from a file: the recipient captions, the
    // sender's name and number and the page-cut position come from there.
    std::string line;
    try {
        line = object->GetFrameLine();
    } catch (const std::invalid_argument&) {
        return nullptr; // a face name that cannot stand in a line
    }
    CtqRect* made = m_Doc.CreateFrame(line);
    if (!made)
        return nullptr;
    m_Doc.SetModifiedFlag();
    m_View.Select(made);
    return made;
}

bool CEditCommands::Remove()
{
    CtqRect* selected = m_View.Selection();
    if (!selected)
        return false;
    const bool pageCut = is<CtqDrawingCutterRect>(selected);
    if (!m_Doc.RemoveFrame(selected))
        return false;
    if (pageCut)
        m_Doc.m_nPageCut = -1;
    m_View.ClearSelection();
    m_Doc.SetModifiedFlag();
    return true;
}

bool CEditCommands::Copy()
{
    const CtqRect* selected = m_View.Selection();
    if (!selected)
        return false;
    try {
        return m_Clipboard.Put(ClipboardBlock(*selected), selected->GetFrameLine());
    } catch (const std::invalid_argument&) {
        return false;
    }
}

bool CEditCommands::Cut()
{
    if (!m_View.Selection())
        return false;
    Copy();
    return Remove();
}

CtqRect* CEditCommands::Paste()
{
    const std::optional<std::string> block = m_Clipboard.Block();
    if (!block)
        return nullptr;
    const std::optional<std::string> line = ClipboardLine(*block);
    if (!line)
        return nullptr;
    if (m_Doc.m_nPageCut >= 0 && line->substr(0, line->find(',')) == "PageCut") {
        m_Prompter.MessageBox(LoadResourceString(IDS_SECOND_PAGE_CUT), LoadResourceString(IDS_PASTE_CAPTION),
                              MB_ICONEXCLAMATION);
        return nullptr;
    }
    CtqRect* made = m_Doc.CreateFrame(*line);
    if (!made)
        return nullptr;
    // Moved without clamping to the page; a coordinate at the farthest an edge may lie stays there.
    const auto moved = [](int v) { return v >= cover::kMaxCoordinate ? v : std::min(v + 10, cover::kMaxCoordinate); };
    const gdi::RECT& old = made->GetRect();
    const gdi::RECT rect{moved(old.left), moved(old.top), moved(old.right), moved(old.bottom)};
    made->SetRect(rect);
    if (is<CtqDrawingCutterRect>(made))
        m_Doc.m_nPageCut = rect.top; // the page ends where its cut is drawn
    m_Doc.SetModifiedFlag();
    m_Clipboard.Clear();
    return made;
}

bool CEditCommands::BringToFront()
{
    CtqRect* selected = m_View.Selection();
    if (!selected || !m_Doc.m_objects.MoveToEnd(selected))
        return false;
    m_View.Select(selected);
    m_Doc.SetModifiedFlag();
    return true;
}

bool CEditCommands::SendToBack()
{
    CtqRect* selected = m_View.Selection();
    if (!selected || m_View.SelectionIndex() == 0 || !m_Doc.m_objects.MoveToFront(selected))
        return false;
    m_View.Select(selected);
    m_Doc.SetModifiedFlag();
    return true;
}

bool CEditCommands::LineType(int command)
{
    CtqRect* selected = m_View.Selection();
    if (!selected) {
        m_nLineType = command;
        return false;
    }
    if (!selected->HasPen())
        return false;
    const PenEntry pen = LineTypePen(command);
    selected->SetPen(pen.style, pen.width);
    m_Doc.SetModifiedFlag();
    return true;
}

bool CEditCommands::Shading(int command)
{
    CtqRect* selected = m_View.Selection();
    if (!selected) {
        m_nShading = command;
        return false;
    }
    if (!selected->HasFill() || ShadingFill(command) < 0)
        return false;
    selected->SetFill(ShadingFill(command));
    m_Doc.SetModifiedFlag();
    return true;
}

std::vector<const CtqRect*> CEditCommands::SetSenderLanguage(int lang)
{
    m_Doc.m_bLang = lang;
    std::vector<const CtqRect*> changed;
    const auto profile = [this](const char* entry) {
        return m_pProfile ? m_pProfile->GetProfileString(cover::kCoverSection, entry, "") : std::string();
    };
    for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i) {
        CtqRect* object = m_Doc.m_objects.GetAt(i);
        if (is<CtqUserNameRect>(object))
            object->SetText(profile("User4"));
        else if (is<CtqUserIDRect>(object))
            object->SetText(profile("User5"));
        else if (is<CtqMyAddressRect>(object))
            object->SetText({});
        else
            continue;
        changed.push_back(object);
        m_Doc.SetModifiedFlag();
    }
    return changed;
}

gdi::LOGFONTA CEditCommands::CurrentFont() const
{
    if (const CtqTextRect* text = selectedText()) {
        gdi::LOGFONTA font;
        text->GetLogFont(font);
        return font;
    }
    return m_DefaultFont;
}

bool CEditCommands::SetFont(const gdi::LOGFONTA& font)
{
    CtqRect* selected = m_View.Selection();
    if (!selected) {
        m_DefaultFont = font;
        return true;
    }
    if (!selected->IsTextFrame())
        return false;
    selected->SetLogFont(font);
    m_Doc.SetModifiedFlag();
    return true;
}

bool CEditCommands::FontCommand(int command, int points)
{
    if (m_View.Selection() && !selectedText())
        return false;
    gdi::LOGFONTA font = CurrentFont();
    switch (command) {
    case ID_FONT_POINTS:
        if (points <= 0)
            return false;
        font.lfHeight = HeightOfPoints(points);
        break;
    case ID_FONT_BOLD: font.lfWeight = ToggledWeight(font.lfWeight); break;
    case ID_FONT_ITALIC: font.lfItalic = font.lfItalic ? 0 : 1; break;
    case ID_FONT_UNDERLINE: font.lfUnderline = font.lfUnderline ? 0 : 1; break;
    default: return false;
    }
    return SetFont(font);
}

bool CEditCommands::ApplyFace(const gdi::LOGFONTA& face)
{
    if (m_View.Selection() && !selectedText())
        return false;
    gdi::LOGFONTA font = CurrentFont();
    std::memcpy(font.lfFaceName, face.lfFaceName, sizeof font.lfFaceName);
    font.lfCharSet = face.lfCharSet;
    font.lfEscapement = face.lfEscapement;
    font.lfOrientation = face.lfOrientation;
    font.lfStrikeOut = face.lfStrikeOut;
    font.lfOutPrecision = face.lfOutPrecision;
    font.lfClipPrecision = face.lfClipPrecision;
    font.lfQuality = face.lfQuality;
    font.lfPitchAndFamily = face.lfPitchAndFamily;
    return SetFont(font);
}

bool CEditCommands::FontDialog(ICoverSheetView& view)
{
    if (m_View.Selection() && !selectedText())
        return false;
    gdi::LOGFONTA font = CurrentFont();
    if (!ChooseTextFont(view, font))
        return false;
    return SetFont(font);
}

bool CEditCommands::LineTypePopupEnabled() const
{
    const CtqRect* selected = m_View.Selection();
    return selected && selected->HasPen();
}

bool CEditCommands::ShadingPopupEnabled() const
{
    const CtqRect* selected = m_View.Selection();
    return selected && selected->HasFill();
}

CommandState CEditCommands::State(int command, bool editorVisible, bool clipboardHasData) const
{
    static_cast<void>(editorVisible);
    const CtqRect* selected = m_View.Selection();
    const bool fontTarget = !selected || selected->IsTextFrame();
    if (IsLineTypeCommand(command)) {
        if (!selected)
            return {true, command == m_nLineType};
        if (!selected->HasPen())
            return {false, false};
        PenEntry pen;
        selected->GetPen(pen.style, pen.width);
        return {true, pen == LineTypePen(command)};
    }
    if (ShadingFill(command) >= 0) {
        if (!selected)
            return {true, command == m_nShading};
        if (!selected->HasFill())
            return {false, false};
        return {true, selected->GetFill() == ShadingFill(command)};
    }
    if (command == ID_SET_PAGE_CUT)
        return {m_Doc.m_nPageCut < 0, false};
    if (IsInsertCommand(command))
        return {true, false};
    const gdi::LOGFONTA font = CurrentFont();
    switch (command) {
    case ID_EDIT_DELETE:
    case ID_EDIT_CUT:
    case ID_BRING_TO_FRONT:
    case ID_SEND_TO_BACK: return {selected != nullptr, false};
    case ID_EDIT_COPY: return {selected && !is<CtqDrawingCutterRect>(selected), false};
    case ID_EDIT_PASTE: return {clipboardHasData, false};
    case ID_EDIT_STRING: return {is<CtqStaticTextRect>(selected), false};
    case ID_EDIT_IMAGE: return {is<CtqBitmapRect>(selected), false};
    case ID_SENDER_LANG1: return {true, m_Doc.m_bLang == 1};
    case ID_SENDER_LANG0: return {true, m_Doc.m_bLang == 0};
    case ID_FONT_DIALOG:
    case ID_FONT_FACE:
    case ID_FONT_POINTS: return {fontTarget, false};
    case ID_FONT_BOLD: return {fontTarget, font.lfWeight != 0 && font.lfWeight != 400};
    case ID_FONT_ITALIC: return {fontTarget, font.lfItalic != 0};
    case ID_FONT_UNDERLINE: return {fontTarget, font.lfUnderline != 0};
    default: return {false, false};
    }
}

} // namespace cvr
