#include "viewer/annotation_layer.h"

namespace viewer {

CAnnotationLayer::CAnnotationLayer(IAnnotationView& view, CUndoRecord& undo)
    : m_view(view), m_undo(undo), m_tilt(view, undo)
{
}
CAnnotationLayer::~CAnnotationLayer() = default;
int CAnnotationLayer::Append(std::unique_ptr<CAnnotationItem> item)
{
    m_items.push_back(std::move(item));
    return static_cast<int>(m_items.size()) - 1;
}
bool CAnnotationLayer::PageHasAnnotations(int) const { return false; }
void CAnnotationLayer::ClearAll() {}
void CAnnotationLayer::RemovePage(int) {}
void CAnnotationLayer::InsertPage(int) {}
bool CAnnotationLayer::BurnIn(int, CPageImage&) { return false; }
void CAnnotationLayer::EndEdit(int) {}
void CAnnotationLayer::CancelToolWork(int) {}
void CAnnotationLayer::Work(Call, int, int, int) {}
void CAnnotationLayer::Draw(QPainter&, const QRect&) {}
bool CAnnotationLayer::CopyToClipboard(const CAnnotationItem&) { return false; }
bool CAnnotationLayer::ReadClipboard(CAnnotationItem&, std::pair<int, int>) { return false; }
bool CAnnotationLayer::Paste() { return false; }
int CAnnotationLayer::CurrentPage() { return 0; }
std::pair<int, int> CAnnotationLayer::PageSizeNow() { return {0, 0}; }
gdi::POINT CAnnotationLayer::Scrolled(int x, int y) const
{
    const gdi::POINT scroll = m_view.ScrollPosition();
    return {x + scroll.x, y + scroll.y};
}
void CAnnotationLayer::InvalidateItem(const CAnnotationItem&) {}
bool CAnnotationLayer::IsClick(int, int) { return false; }
void CAnnotationLayer::SetModified() {}

} // namespace viewer
