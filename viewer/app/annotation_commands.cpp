#include "viewer/app/annotation_commands.h"

#include "common/resource_locale.h"

#include <algorithm>

namespace viewer {
namespace {

enum : int {
    kToolDefaults = 59398,
    kEditText = 59399,
    kBringToFront = 59400,
    kSendToBack = 59401,
    kProperties = 59402,
    kEditRemembered = 163,
    kCutRemembered = 164,
    kCopyRemembered = 165,
    kFrontRemembered = 166,
    kBackRemembered = 167,
    kPropertiesRemembered = 168,
    kToolCaptionBase = 60016, ///< tool n's defaults caption is string 60016 + n (60018 for freehand)
};

bool IsEditorForm(int id) { return id == ID_EDIT_UNDO || id == ID_EDIT_CUT || id == ID_EDIT_COPY || id == ID_EDIT_PASTE; }

bool IsLayerCommand(int id)
{
    return IsEditorForm(id) || (id >= kEditText && id <= kProperties) || (id >= ID_CONTEXT_FIRST && id <= ID_CONTEXT_LAST);
}

} // namespace

bool CAnnotationCommands::ToolsWork()
{
    const CPageDisplayState& state = m_view.PageState();
    return state.GetEditingAllowed() && !state.GetHideAnnotations() && state.GetPageCount() > 0;
}

bool CAnnotationCommands::Gate(int id)
{
    const CPageDisplayState& state = m_view.PageState();
    switch (id) {
    case ID_EDIT_UNDO: return state.GetPageCount() > 0 && m_undo.HoldsOperation() && m_view.Document().IsModified();
    case ID_EDIT_PASTE:
        return ToolsWork() && m_view.Clipboard().Open() && m_view.Clipboard().Annotation().has_value();
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case kEditText:
    case kBringToFront:
    case kSendToBack:
    case kProperties: return ToolsWork() && state.GetTool() == kToolSelect && state.GetSelected() >= 0;
    default: return ToolsWork() && state.GetRemembered() >= 0; // the right-click forms
    }
}

bool CAnnotationCommands::Update(int id, CCmdUI& ui)
{
    ui = CCmdUI{};
    const CPageDisplayState& state = m_view.PageState();
    if (id == kToolDefaults) {
        ui.enabled = ToolsWork() && state.GetTool() >= 2 && state.GetTool() <= kToolStamp;
        return true;
    }
    if (id >= ID_STAMP_FIRST && id <= ID_STAMP_LAST) {
        const CAnnotationDefaults& defaults = m_view.Defaults();
        ui.enabled = ToolsWork() && state.GetTool() == kToolStamp && defaults.stampCount > 0;
        ui.checked = defaults.currentStamp == id - ID_STAMP_FIRST;
        return true;
    }
    if (!IsLayerCommand(id))
        return false;
    // While the editor is open the edit commands are its own.
    if (IsEditorForm(id) && m_view.Editor().IsVisible()) {
        if (!m_layer.OnUpdateCommand(id, ui))
            ui = CCmdUI{};
        return true;
    }
    if (!Gate(id))
        return true;
    if (!m_layer.OnUpdateCommand(id, ui))
        ui = CCmdUI{true, false};
    return true;
}

bool CAnnotationCommands::Run(int id)
{
    if (id == kToolDefaults) {
        ToolDefaults();
        return true;
    }
    if (id >= ID_STAMP_FIRST && id <= ID_STAMP_LAST) {
        ChooseStamp(id);
        return true;
    }
    if (!IsLayerCommand(id))
        return false;
    const size_t before = m_layer.Items().size();
    if (m_layer.OnCommand(id)) {
        if (id == ID_EDIT_PASTE && m_layer.Items().size() > before)
            m_view.Document().SetModifiedFlag();
        return true;
    }
    if (IsEditorForm(id) && m_view.Editor().IsVisible())
        return true;
    switch (id) {
    case ID_EDIT_UNDO: m_undo.Undo(); break;
    case ID_EDIT_CUT: m_layer.CutAnnotation(false); break;
    case ID_EDIT_COPY: m_layer.CopyAnnotation(false); break;
    case ID_EDIT_PASTE:
        if (m_layer.Paste())
            m_view.Document().SetModifiedFlag();
        break;
    case kEditText: m_layer.EditTextAnnotation(false); break;
    case kBringToFront: m_layer.BringToFront(0); break;
    case kSendToBack: m_layer.SendToBack(0); break;
    case kProperties: m_layer.Properties(0); break;
    case kEditRemembered: m_layer.EditTextAnnotation(true); break;
    case kCutRemembered: m_layer.CutAnnotation(true); break;
    case kCopyRemembered: m_layer.CopyAnnotation(true); break;
    case kFrontRemembered: m_layer.BringToFront(1); break;
    case kBackRemembered: m_layer.SendToBack(1); break;
    case kPropertiesRemembered: m_layer.Properties(1); break;
    default: break;
    }
    return true;
}

bool CAnnotationCommands::ToolDefaults()
{
    const int tool = m_view.PageState().GetTool();
    if (tool < 2 || tool > kToolStamp)
        return false;
    // The dialogs work on a copy: Cancel leaves the application's defaults as they were.
    CAnnotationDefaults d = m_view.Defaults();
    IAnnotationDialogs& dialogs = m_view.Dialogs();
    const std::string caption = tool == kToolStamp ? std::string() : LoadResourceString(kToolCaptionBase + tool);
    bool ok = false;
    switch (tool) {
    case 2: ok = dialogs.LineStyle(caption, d.freehandWidth, d.freehandColour); break;
    case 3: ok = dialogs.Colour(caption, d.markerColour, true); break;
    case 4: ok = dialogs.LineStyle(caption, d.lineWidth, d.lineColour); break;
    case 5: ok = dialogs.LineStyle(caption, d.rectangleWidth, d.rectangleColour); break;
    case 6: ok = dialogs.Colour(caption, d.paintColour, false); break;
    case 7: ok = dialogs.Font(caption, d.textFont, d.textColour); break;
    case 8: ok = dialogs.ColourFont(caption, d.memoColour, d.memoFont, d.memoTextColour); break;
    case 9: ok = dialogs.Font(caption, d.copyTextFont, d.copyTextColour); break;
    default:
        ok = dialogs.StampList(caption, d);
        d.currentStamp = std::clamp(d.currentStamp, 0, std::max(0, d.stampCount - 1));
        break;
    }
    if (ok)
        m_view.Defaults() = d;
    return ok;
}

void CAnnotationCommands::ChooseStamp(int id)
{
    CAnnotationDefaults& defaults = m_view.Defaults();
    int stamp = id - ID_STAMP_FIRST;
    if (stamp >= defaults.stampCount)
        stamp = id - ID_STAMP_FIRST - 1;
    defaults.currentStamp = std::max(0, stamp);
}

} // namespace viewer
