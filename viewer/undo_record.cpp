#include "viewer/annotation_layer.h"

namespace viewer {

CUndoRecord::~CUndoRecord() = default;
void CUndoRecord::Bind(IAnnotationView* view, CAnnotationLayer* layer)
{
    m_pView = view;
    m_pLayer = layer;
    Reset();
}
void CUndoRecord::RecordDelete(int, const QImage&) {}
void CUndoRecord::RecordInsert(int) {}
void CUndoRecord::RecordTilt(int, const QImage&) {}
bool CUndoRecord::Record(Kind, int) { return false; }
void CUndoRecord::Reset() {}
bool CUndoRecord::Undo() { return false; }

} // namespace viewer
