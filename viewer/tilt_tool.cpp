#include "viewer/tilt_tool.h"

#include "viewer/viewer_document.h"

namespace viewer {

std::optional<QImage> StraightenPage(const QImage&, std::optional<std::pair<int, int>>) { return std::nullopt; }

CTiltTool::CTiltTool(IAnnotationView& view, IUndoRecord& undo) : m_view(view), m_undo(undo) {}

void CTiltTool::EnterTiltMode() {}
void CTiltTool::StartLine(int, int) {}
void CTiltTool::MoveLine(int, int) {}
void CTiltTool::EndLine(int, int) {}
int CTiltTool::HitTest(int, int) { return -1; }
bool CTiltTool::PressOnLine(int, int) { return false; }
void CTiltTool::ReleaseOnLine(int, int) {}
void CTiltTool::Discard(bool) {}
std::optional<std::pair<gdi::POINT, gdi::POINT>> CTiltTool::RubberLine() const { return std::nullopt; }
const CAnnotationItem* CTiltTool::Line() const { return nullptr; }
std::optional<std::pair<gdi::POINT, gdi::POINT>> CTiltTool::ReferenceLine() { return std::nullopt; }
int CTiltTool::LineOrientation() { return 0; }
std::pair<int, int> CTiltTool::PageSize() { return {0, 0}; }
void CTiltTool::Correct(std::optional<std::pair<int, int>>) {}
void CTiltTool::End() {}

} // namespace viewer
