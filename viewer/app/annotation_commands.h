// The page view's commands on annotations, without a display: which are enabled and checked, and
// what each runs. The in-place editor's and the annotation layer's answers come first; the view's
// own rules (editing allowed, annotations shown, pages, the tool, a selection) gate the rest. The
// tool defaults and the stamp choice are the view's own.
#pragma once

#include "viewer/annotation_layer.h"

namespace viewer {

class CAnnotationCommands {
public:
    CAnnotationCommands(IAnnotationView& view, CAnnotationLayer& layer, CUndoRecord& undo)
        : m_view(view), m_layer(layer), m_undo(undo) {}

    /// Enables and checks a command on annotations; false for any other command.
    bool Update(int id, CCmdUI& ui);
    /// Runs a command on annotations found enabled; false for any other command.
    bool Run(int id);
    /// The current tool's defaults through its dialog, stored in the application on OK.
    bool ToolDefaults();
    /// The stamp of a stamp command (32900 + n) becomes the current one.
    void ChooseStamp(int id);

private:
    bool ToolsWork();
    /// The view's own condition of a command on annotations, before the layer's answer.
    bool Gate(int id);

    IAnnotationView& m_view;
    CAnnotationLayer& m_layer;
    CUndoRecord& m_undo;
};

} // namespace viewer
