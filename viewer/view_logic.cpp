#include "viewer/view_logic.h"

#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "imaging/page_proportions.h"
#include "platform/registry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace viewer {
namespace {

std::string Unquoted(std::string text)
{
    if (!text.empty() && text.front() == '"')
        text.erase(0, 1);
    if (!text.empty() && text.back() == '"')
        text.pop_back();
    return text;
}

int Shifted(int size, int step) { return step >= 0 ? size << step : size >> -step; }

int ClampFlag(int value) { return value != 0 ? 1 : 0; }

// A length worked out wide (a page's height times a zoom), as laid out: 0 to kMaxDisplayExtent.
int LaidOutExtent(double extent) { return static_cast<int>(std::clamp(extent, 0.0, double{kMaxDisplayExtent})); }

const char* const kViewerKeyPrefix = "Software\\Kovra\\Qelta Viewer\\";
const char* const kBarStateValue = "TqlVwTL";

struct SettingField {
    const char* name;
    int CViewerSettings::*field;
};
constexpr SettingField kSettingFields[] = {
    {"CmplJustify", &CViewerSettings::cmplJustify},   {"CmplRow", &CViewerSettings::cmplRow},
    {"ViewScale", &CViewerSettings::viewScale},       {"ViewJustify", &CViewerSettings::viewJustify},
    {"ViewGradation", &CViewerSettings::viewGradation}, {"WindowLeft", &CViewerSettings::windowLeft},
    {"WindowTop", &CViewerSettings::windowTop},       {"WindowRight", &CViewerSettings::windowRight},
    {"WindowBottom", &CViewerSettings::windowBottom}, {"WindowZoom", &CViewerSettings::windowZoom},
    {"CmplWidth", &CViewerSettings::cmplWidth},
};

} // namespace

CViewerCommandLine ParseViewerCommandLine(const std::vector<std::string>& args,
                                          const std::function<bool(const std::string&)>& exists)
{
    CViewerCommandLine line;
    bool documentTaken = false;
    for (const std::string& arg : args) {
        if (arg.empty())
            continue;
        const char letter = arg.size() > 1 ? static_cast<char>(arg[1] & ~0x20) : 0;
        const bool quotedTitle = letter == 'T' && arg.size() > 2 && arg[2] == '"';
        // An absolute path (a further "/" outside a quoted title) is a path, found or not.
        const bool namesPath = arg[0] == '/' && !quotedTitle && arg.find('/', 1) != std::string::npos;
        const bool switchLike = (arg[0] == '/' || arg[0] == '-') && !namesPath;
        if (switchLike && !exists(Unquoted(arg))) {
            if (letter == 'T') {
                line.title = Unquoted(arg.substr(2));
                line.titleGiven = true;
            } else if (letter == 'S') {
                line.sendRegistration = true;
            }
            continue; // "/P" turns the annotation tools off, as they always are
        }
        if (!documentTaken) {
            line.document = Unquoted(arg);
            documentTaken = true;
        }
    }
    line.annotationTools = false;
    return line;
}

void CViewerSettings::Clamp(int screenWidth)
{
    viewScale = std::clamp(viewScale, 1, 6);
    if (cmplRow < 1 || cmplRow > 4)
        cmplRow = 2;
    cmplWidth = std::clamp(cmplWidth, 0, std::max(0, screenWidth));
    cmplJustify = ClampFlag(cmplJustify);
    viewJustify = ClampFlag(viewJustify);
    viewGradation = ClampFlag(viewGradation);
    windowZoom = ClampFlag(windowZoom);
}

void CViewerSettings::StoreWindow(int left, int top, int right, int bottom, bool maximised, bool minimised)
{
    if (!maximised && !minimised) {
        if (left < 0) {
            right -= left;
            left = 0;
        }
        if (top < 0) {
            bottom -= top;
            top = 0;
        }
        windowLeft = left;
        windowTop = top;
        windowRight = right;
        windowBottom = bottom;
    }
    windowZoom = maximised ? 1 : 0;
}

CViewerSettings ReadViewerSettings(int screenWidth)
{
    CViewerSettings settings;
    const CRegistryHelper registry(HKEY_CURRENT_USER, kViewerKeyPrefix);
    for (const SettingField& f : kSettingFields)
        settings.*f.field = static_cast<int>(
            registry.ReadDword(kViewerSettingsSection, f.name, static_cast<uint32_t>(settings.*f.field)));
    settings.Clamp(screenWidth);
    return settings;
}

void WriteViewerSettingsAtExit(const CViewerSettings& settings)
{
    const CRegistryHelper registry(HKEY_CURRENT_USER, kViewerKeyPrefix);
    for (const char* name : {"ViewGradation", "WindowTop", "WindowBottom", "WindowLeft", "WindowRight", "WindowZoom",
                             "CmplWidth"})
        for (const SettingField& f : kSettingFields)
            if (std::string_view(f.name) == name)
                registry.WriteDword(kViewerSettingsSection, name, static_cast<uint32_t>(settings.*f.field));
}

void WriteReducedViewSettings(int justify, int rows)
{
    const CRegistryHelper registry(HKEY_CURRENT_USER, kViewerKeyPrefix);
    registry.WriteDword(kViewerSettingsSection, "CmplJustify", static_cast<uint32_t>(justify));
    registry.WriteDword(kViewerSettingsSection, "CmplRow", static_cast<uint32_t>(rows));
}

std::optional<std::string> ReadBarState()
{
    platform::RegistryKey key;
    platform::RegValue value;
    const std::string path(kViewerSettingsKey);
    if (platform::RegistryKey::open(platform::Hive::CurrentUser, path, key) != platform::RegStatus::Ok
        || key.query(kBarStateValue, value) != platform::RegStatus::Ok || value.type != platform::RegType::Binary)
        return std::nullopt;
    return value.data;
}

void WriteBarState(const std::string& bytes)
{
    platform::RegistryKey key;
    if (platform::RegistryKey::create(platform::Hive::CurrentUser, kViewerSettingsKey, key) == platform::RegStatus::Ok)
        key.set(kBarStateValue, platform::RegValue::binary(bytes));
}

std::string PagePaneText(int count, int index)
{
    return count < 1 ? std::string() : std::to_string(index + 1) + "/" + std::to_string(count);
}

std::string SizePaneText(int width, int height)
{
    if (width == 0 && height == 0)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "Width: %d Height: %d", width, height);
    return text;
}

std::string FrameCaption(const std::string& documentTitle)
{
    const std::string title = LoadResourceString(IDS_APP_TITLE);
    return documentTitle.empty() ? title : documentTitle + " - " + title;
}

std::string FitPaneText(bool fit) { return fit ? "Size adjustment" : ""; }
std::string GreyPaneText(bool grey) { return grey ? "Grayscale" : ""; }
std::string ZoomPaneText(int percent) { return percent == 0 ? std::string() : std::to_string(percent) + "%"; }

std::string ActivePaneText(int pane)
{
    return pane == 1 ? "Reduced view" : pane == 2 ? "Page viewer" : "";
}

// ---- page view ----------------------------------------------------------------------------------

CPageViewLogic::CPageViewLogic(CPageDisplayState& state, int viewScale, int viewJustify, int viewGradation)
    : m_state(state), m_startStep(std::clamp(viewScale, 1, 6) - 4), m_startFit(viewJustify ? 1 : 0)
{
    m_state.StartFromSettings(m_startStep + 4, m_startFit, viewGradation ? 1 : 0, false);
}

std::pair<double, double> CPageViewLogic::Stretch() const
{
    return m_state.GetRotation() % 2 == 1 ? std::pair{m_stretch, 1.0} : std::pair{1.0, m_stretch};
}

void CPageViewLogic::Layout(int clientWidth)
{
    const bool turned = m_state.GetRotation() % 2 == 1;
    const int rw = turned ? m_pageH : m_pageW, rh = turned ? m_pageW : m_pageH;
    if (rw <= 0 || rh <= 0) {
        m_displayW = m_displayH = 1;
        m_scale = 1.0;
        return;
    }
    const auto [across, down] = Stretch();
    if (m_state.GetFit()) {
        m_scale = static_cast<double>(std::max(clientWidth, 1)) / (rw * across);
        m_displayW = std::max(clientWidth, 1);
        m_displayH = FitHeight(clientWidth);
    } else {
        const int w = Shifted(rw, m_state.GetZoomStep()), h = Shifted(rh, m_state.GetZoomStep());
        m_displayW = qelta::imaging::shownHeight(w, across);
        m_displayH = qelta::imaging::shownHeight(h, down);
        m_scale = static_cast<double>(w) / rw;
    }
}

int CPageViewLogic::FitHeight(int clientWidth) const
{
    const bool turned = m_state.GetRotation() % 2 == 1;
    const int rw = turned ? m_pageH : m_pageW, rh = turned ? m_pageW : m_pageH;
    if (rw <= 0 || rh <= 0)
        return 1;
    const auto [across, down] = Stretch();
    return std::max(1, LaidOutExtent(rh * down * (static_cast<double>(std::max(clientWidth, 1)) / (rw * across))));
}

int CPageViewLogic::Divisor() const
{
    const int step = m_state.GetZoomStep();
    if (step < 0)
        return 1 << -step;
    return m_state.GetFit() ? -1 : 1;
}

std::pair<int, int> CPageViewLogic::ScrollSize() const
{
    if (m_state.GetPageCount() < 1)
        return {0, 0};
    return {m_state.GetFit() ? 0 : m_displayW, m_displayH};
}

std::pair<int, int> CPageViewLogic::AnchorScroll(int clientWidth, int clientHeight) const
{
    const auto [totalW, totalH] = ScrollSize();
    const int right = std::max(0, totalW - clientWidth), bottom = std::max(0, totalH - clientHeight);
    switch (m_state.GetRotation()) {
    case 1: return {0, bottom};
    case 2: return {right, bottom};
    case 3: return {right, 0};
    default: return {0, 0};
    }
}

std::pair<int, int> CPageViewLogic::LayerScroll(int scrollX, int scrollY) const
{
    const auto [across, down] = Stretch();
    return {static_cast<int>(std::lround(scrollX / across)), static_cast<int>(std::lround(scrollY / down))};
}

std::pair<int, int> CPageViewLogic::LayerPoint(int x, int y, int scrollX, int scrollY) const
{
    const auto [across, down] = Stretch();
    const auto [layerX, layerY] = LayerScroll(scrollX, scrollY);
    return {static_cast<int>(std::lround((x + scrollX) / across)) - layerX,
            static_cast<int>(std::lround((y + scrollY) / down)) - layerY};
}

gdi::RECT CPageViewLogic::ScreenArea(const gdi::RECT& r, int scrollX, int scrollY) const
{
    const auto [across, down] = Stretch();
    const auto [layerX, layerY] = LayerScroll(scrollX, scrollY);
    return {static_cast<int32_t>(std::floor((r.left + layerX) * across)) - scrollX,
            static_cast<int32_t>(std::floor((r.top + layerY) * down)) - scrollY,
            static_cast<int32_t>(std::ceil((r.right + layerX) * across)) - scrollX,
            static_cast<int32_t>(std::ceil((r.bottom + layerY) * down)) - scrollY};
}

bool CPageViewLogic::Enlarge()
{
    if (m_state.GetPageCount() < 1 || m_state.GetZoomStep() >= kMaxZoomStep)
        return false;
    int step = m_state.GetZoomStep();
    if (m_state.GetFit()) {
        const double x = m_scale;
        step = x >= 2 ? 1 : x >= 1 ? 0 : x >= 0.5 ? -1 : x >= 0.25 ? -2 : -3;
    }
    m_state.SetFit(0);
    m_state.SetZoomStep(step + 1);
    return true;
}

bool CPageViewLogic::Reduce()
{
    if (m_state.GetPageCount() < 1 || m_state.GetZoomStep() < kMinZoomStep + 1)
        return false;
    int step = m_state.GetZoomStep();
    if (m_state.GetFit()) {
        const double x = m_scale;
        step = x > 2 ? 2 : x > 1 ? 1 : x > 0.5 ? 0 : x > 0.25 ? -1 : -2;
    }
    m_state.SetFit(0);
    m_state.SetZoomStep(step - 1);
    return true;
}

bool CPageViewLogic::RestoreDefault()
{
    CCmdUI ui;
    Update(ID_VIEW_RESTORE, ui);
    if (!ui.enabled)
        return false;
    m_state.SetRotation(0);
    m_state.SetZoomStep(m_startStep);
    m_state.SetFit(m_startFit);
    m_state.SetInvert(0);
    return true;
}

bool CPageViewLogic::ToggleGrey()
{
    m_state.ToggleGrey();
    return m_state.GetZoomStep() < 0 || m_state.GetFit();
}

namespace {
int ToolOfCommand(int id)
{
    if (id == ID_TOOL_HAND)
        return kToolHand;
    if (id == ID_TOOL_SELECT)
        return kToolSelect;
    if (id >= ID_TOOL_FIRST_ANNOTATION && id <= ID_TOOL_LAST_ANNOTATION)
        return id - ID_TOOL_FIRST_ANNOTATION + 2;
    if (id == ID_TOOL_STAMP_CHOICE)
        return kToolStamp;
    if (id == ID_TOOL_TILT)
        return kToolTilt;
    return -1;
}
} // namespace

bool CPageViewLogic::Update(int id, CCmdUI& ui, int stampCount) const
{
    const bool pages = m_state.GetPageCount() > 0;
    const int step = m_state.GetZoomStep();
    const bool fit = m_state.GetFit() != 0;
    const bool selection = m_state.ToolsWork() && m_state.GetTool() == kToolSelect && m_state.GetSelected() >= 0;
    ui = CCmdUI{};
    switch (id) {
    case ID_VIEW_FIT: ui = {pages, fit}; return true;
    case ID_VIEW_ENLARGE: ui.enabled = pages && step < kMaxZoomStep; return true;
    case ID_VIEW_RESTORE:
        ui.enabled = pages && (m_state.GetRotation() || step || fit || m_state.GetGrey() || m_state.GetInvert());
        return true;
    case ID_VIEW_REDUCE: ui.enabled = pages && step >= kMinZoomStep + 1; return true;
    case ID_VIEW_ROTATE_LEFT:
    case ID_VIEW_ROTATE_RIGHT:
    case ID_VIEW_ROTATE_180: ui.enabled = pages; return true;
    case ID_VIEW_INVERT: ui = {pages, m_state.GetInvert() != 0}; return true;
    case ID_VIEW_GREY: ui = {pages && (step < 0 || fit), m_state.GetGrey() != 0}; return true;
    case ID_PAGE_NEXT: ui.enabled = m_state.GetCurrentPage() < m_state.GetPageCount() - 1; return true;
    case ID_PAGE_PREVIOUS: ui.enabled = m_state.GetCurrentPage() > 0; return true;
    case ID_TOOL_HAND: ui = {pages, m_state.GetTool() == kToolHand}; return true;
    case ID_TOOL_HIDE_ANNOTATIONS:
        ui = {m_state.GetEditingAllowed() && pages, m_state.GetHideAnnotations() != 0};
        return true;
    case ID_EDIT_UNDO: return true; // no undo record holds an operation while editing is off
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case 59399:
    case 59400:
    case 59401:
    case 59402: ui.enabled = selection; return true;
    case 59398: ui.enabled = m_state.ToolsWork() && m_state.GetTool() >= 2 && m_state.GetTool() <= 10; return true;
    default: break;
    }
    if (id >= ID_STAMP_FIRST && id <= ID_STAMP_LAST) {
        ui.enabled = m_state.ToolsWork() && m_state.GetTool() == kToolStamp && stampCount > 0;
        return true;
    }
    const int tool = ToolOfCommand(id);
    if (tool < 0)
        return false;
    ui = {m_state.ToolsWork(), m_state.GetTool() == tool};
    return true;
}

bool CPageViewLogic::SelectTool(int id)
{
    const int tool = ToolOfCommand(id);
    if (tool < 0)
        return false;
    if (tool == kToolTilt) {
        if (m_state.GetTool() == kToolTilt)
            return true;
        m_state.SetTiltLine(0);
    }
    m_state.SetTool(tool);
    return true;
}

bool CPageViewLogic::Press(int x, int y, int scrollX, int scrollY, IToolWork& layer)
{
    if (x + scrollX >= m_displayW || y + scrollY >= m_displayH)
        return false;
    const int tool = m_state.GetTool();
    if (tool == kToolHand) {
        m_originX = x;
        m_originY = y;
        m_state.SetHandDrag(1);
        m_state.SetCaptured(1);
        return true;
    }
    if (!m_state.ToolsWork())
        return false;
    IToolWork::Call call = IToolWork::kStartRubberBand;
    switch (tool) {
    case kToolSelect: call = IToolWork::kStartMoveResize; break;
    case 2: call = IToolWork::kStartStroke; break;
    case 4: call = IToolWork::kStartLine; break;
    case kToolStamp: call = IToolWork::kPlaceStamp; break;
    case kToolTilt: call = m_state.GetTiltLine() ? IToolWork::kTiltPress : IToolWork::kStartLine; break;
    default: break;
    }
    layer.Work(call, tool, x, y);
    if (tool != kToolStamp) {
        m_state.SetButtonDown(1);
        m_state.SetCaptured(1);
    }
    return true;
}

std::pair<int, int> CPageViewLogic::Move(int x, int y, int scrollX, int scrollY, IToolWork& layer)
{
    if (m_state.GetTool() == kToolHand) {
        if (!m_state.GetHandDrag())
            return {scrollX, scrollY};
        const std::pair<int, int> target{m_originX + scrollX - x, m_originY + scrollY - y};
        m_originX = x;
        m_originY = y;
        return target;
    }
    if (m_state.GetButtonDown() && m_state.ToolsWork())
        layer.Work(IToolWork::kFollow, m_state.GetTool(), x, y);
    return {scrollX, scrollY};
}

void CPageViewLogic::Release(int x, int y, IToolWork& layer)
{
    const int tool = m_state.GetTool();
    if (tool == kToolHand) {
        m_state.SetHandDrag(0);
        m_state.SetCaptured(0);
        return;
    }
    if (!m_state.GetButtonDown())
        return;
    m_state.SetButtonDown(0);
    m_state.SetCaptured(0);
    IToolWork::Call call = IToolWork::kEndRubberBand;
    switch (tool) {
    case kToolSelect: call = IToolWork::kEndMoveResize; break;
    case 2: call = IToolWork::kEndStroke; break;
    case 4: call = IToolWork::kEndLine; break;
    case kToolTilt:
        call = IToolWork::kEndTilt;
        m_state.SetTiltLine(1);
        break;
    default: break;
    }
    layer.Work(call, tool, x, y);
}

void CPageViewLogic::DoubleClick(int x, int y, IToolWork& layer)
{
    if (m_state.ToolsWork() && m_state.GetTool() == kToolSelect && m_state.GetSelected() >= 0)
        layer.Work(IToolWork::kEditSelected, kToolSelect, x, y);
}

KeyAction CPageViewLogic::Key(ViewKey key, bool shift)
{
    if (key == kKeyTab)
        return KeyAction::OtherPane;
    if (shift)
        return KeyAction::None;
    switch (key) {
    case kKeyPageUp: return KeyAction::PageUp;
    case kKeyPageDown: return KeyAction::PageDown;
    case kKeyUp: return KeyAction::LineUp;
    case kKeyDown: return KeyAction::LineDown;
    case kKeyLeft: return KeyAction::PageLeft;
    case kKeyRight: return KeyAction::PageRight;
    default: return KeyAction::None;
    }
}

int CursorOfTool(int tool, bool selection, int hitCode, bool tiltLine, bool onTiltLine)
{
    if (tool == kToolHand)
        return 140;
    if (tool >= 2 && tool <= 10)
        return 139 + tool;
    if (tool == kToolTilt)
        return !tiltLine ? 174 : onTiltLine ? 176 : 175;
    if (tool != kToolSelect || !selection)
        return 0;
    switch (hitCode) {
    case 2: case 9: return 172;
    case 3: case 8: return 171;
    case 4: case 7: return 170;
    case 5: case 6: return 173;
    case 10: return 169;
    default: return 0;
    }
}

int TimerMenu(int timer, int pending, const CPageDisplayState& state)
{
    if (timer != pending || !state.ToolsWork())
        return 0;
    const int tool = state.GetTool();
    if (timer == 1 && tool >= 2 && tool <= 10)
        return 150;
    if (timer == 2 && tool == kToolStamp)
        return 161;
    return 0;
}

// ---- thumbnail view -----------------------------------------------------------------------------

void CThumbLayout::Layout(int clientWidth, int pageCount, int largestWidth, int largestHeight, bool fit,
                          int columnsSetting, int step)
{
    m_count = pageCount;
    const double largest = largestWidth > 0 ? largestWidth : 1;
    if (fit) {
        m_columns = std::clamp(columnsSetting, 1, 4);
        m_gap = std::min(30, std::max(0, clientWidth) / (2 * m_columns + 1));
        m_cellW = std::max(0, (clientWidth - (m_columns + 1) * m_gap) / m_columns);
        m_scale = m_cellW / largest;
        m_cellH = LaidOutExtent(largestHeight * m_scale);
    } else {
        m_gap = 30;
        m_cellW = Shifted(largestWidth, step);
        m_cellH = Shifted(largestHeight, step);
        m_scale = m_cellW / largest;
        m_columns = m_cellW == 0 ? 1 : std::max(1, (clientWidth - m_gap) / (m_cellW + m_gap));
    }
    // The whole grid stays within the laid-out limit, however tall a hostile page is.
    const int rows = std::max(1, (pageCount + m_columns - 1) / m_columns);
    m_cellH = std::min(m_cellH, std::max(0, (kMaxDisplayExtent - m_gap) / rows - m_gap));
}

std::pair<int, int> CThumbLayout::CellCorner(int page) const
{
    const int column = page % m_columns, row = page / m_columns;
    return {column * (m_cellW + m_gap) + m_gap, row * (m_cellH + m_gap) + m_gap};
}

std::pair<int, int> CThumbLayout::ScrollSize() const
{
    if (m_count < 1)
        return {0, 0};
    const int rows = (m_count + m_columns - 1) / m_columns;
    return {(m_gap + m_cellW) * m_columns + m_gap, rows * (m_gap + m_cellH) + m_gap};
}

int CThumbLayout::HitTest(int x, int y, int current) const
{
    for (int i = 0; i < m_count; ++i) {
        const int column = i % m_columns, row = i / m_columns;
        const int left = column * (m_gap + m_cellW) + m_gap, top = row * (m_gap + m_cellH) + m_gap;
        if (x >= left && x < (column + 1) * (m_gap + m_cellW) && y >= top && y < (row + 1) * (m_gap + m_cellH))
            return i;
    }
    return current;
}

std::pair<int, int> CThumbLayout::ScrollIntoView(int page, int scrollX, int scrollY, int clientWidth,
                                                 int clientHeight) const
{
    const int column = page % m_columns, row = page / m_columns;
    if (column * (m_cellW + m_gap) < scrollX || (column + 1) * (m_gap + m_cellW) > scrollX + clientWidth)
        scrollX = column * (m_cellW + m_gap);
    if (row * (m_cellH + m_gap) < scrollY || (row + 1) * (m_gap + m_cellH) > scrollY + clientHeight)
        scrollY = row * (m_cellH + m_gap);
    const auto [totalW, totalH] = ScrollSize();
    scrollX = totalW > clientWidth ? std::clamp(scrollX, 0, totalW - clientWidth) : 0;
    scrollY = totalH > clientHeight ? std::clamp(scrollY, 0, totalH - clientHeight) : 0;
    return {scrollX, scrollY};
}

int CThumbLayout::ShiftKey(ViewKey key, int current) const
{
    const int last = m_count - 1;
    switch (key) {
    case kKeyPageUp:
    case kKeyUp: return std::max(0, current - m_columns);
    case kKeyPageDown:
    case kKeyDown: return current >= last ? current : std::min(last, current + m_columns);
    case kKeyLeft: return current > 0 ? current - 1 : current;
    case kKeyRight: return current < last ? current + 1 : current;
    default: return current;
    }
}

} // namespace viewer
