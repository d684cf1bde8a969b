#include "viewer/annotation_layer.h"

namespace viewer {

void CAnnotationLayer::BandPress(int, int) {}
void CAnnotationLayer::BandMove(int, int) {}
bool CAnnotationLayer::BandRelease(int, int) { return false; }
void CAnnotationLayer::CreateFromBand(int) {}
void CAnnotationLayer::LinePress(int, int) {}
void CAnnotationLayer::LineMove(int, int) {}
void CAnnotationLayer::LineRelease(int, int) {}
void CAnnotationLayer::StrokePress(int, int) {}
void CAnnotationLayer::StrokeMove(int, int) {}
void CAnnotationLayer::StrokeRelease(int, int) {}
void CAnnotationLayer::PlaceStamp(int, int) {}
void CAnnotationLayer::EndTextEdit() {}
void CAnnotationLayer::OpenEditor(int) {}
std::string CAnnotationLayer::ExpandStampText(const std::string& text, const std::tm&) { return text; }

} // namespace viewer
