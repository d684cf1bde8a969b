#include "viewer/annotation_layer.h"

namespace viewer {

bool CAnnotationLayer::OnCommand(int) { return false; }
bool CAnnotationLayer::OnUpdateCommand(int, CCmdUI&) { return false; }
void CAnnotationLayer::Select(int) {}
void CAnnotationLayer::Deselect() {}
int CAnnotationLayer::HitItem(int, int) { return -1; }
int CAnnotationLayer::HitHandle(int, int, int) { return -1; }
int CAnnotationLayer::SelectPress(int, int, int) { return 0; }
void CAnnotationLayer::SelectMove(int, int) {}
void CAnnotationLayer::SelectRelease(int, int) {}
bool CAnnotationLayer::CutAnnotation(bool) { return false; }
bool CAnnotationLayer::CopyAnnotation(bool) { return false; }
bool CAnnotationLayer::EditTextAnnotation(bool) { return false; }
bool CAnnotationLayer::Properties(int) { return false; }
bool CAnnotationLayer::BringToFront(int) { return false; }
bool CAnnotationLayer::SendToBack(int) { return false; }

} // namespace viewer
