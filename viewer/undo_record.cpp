// The one-step undo record. Each record replaces what was held; an undo empties it.
#include "viewer/annotation_layer.h"


#include <algorithm>
#include <cmath>

namespace viewer {

CUndoRecord::~CUndoRecord() = default;

void CUndoRecord::Bind(IAnnotationView* view, CAnnotationLayer* layer)
{
    m_pView = view;
    m_pLayer = layer;
    Reset();
}

void CUndoRecord::Reset()
{
    m_bHolds = false;
    m_kind = kDeletePage;
    m_nPage = -1;
    m_nAnnotation = -1;
    m_saved.clear();
    m_order.clear();
    m_page = QImage();
}

void CUndoRecord::RecordDelete(int index, const QImage& page)
{
    Reset();
    if (!m_pView)
        return;
    m_kind = kDeletePage;
    m_nPage = index;
    m_page = page.copy();
    if (m_pLayer)
        for (const auto& item : m_pLayer->Items())
            if (item->page == index)
                m_saved.push_back(*item);
    m_bHolds = true;
}

// The document records before it inserts: a page going in at the page count is appended.
void CUndoRecord::RecordInsert(int index)
{
    Reset();
    if (!m_pView)
        return;
    m_kind = index >= m_pView->Document().PageCount() ? kAppendPage : kInsertPage;
    m_nPage = index;
    m_bHolds = true;
}

void CUndoRecord::RecordTilt(int index, const QImage& page)
{
    Reset();
    if (!m_pView)
        return;
    m_kind = kTiltCorrection;
    m_nPage = index;
    m_page = page.copy();
    m_bHolds = true;
}

bool CUndoRecord::Record(Kind kind, int index)
{
    Reset();
    if (!m_pView || !m_pLayer || kind < kDeleteAnnotation || kind > kSendToBack)
        return false;
    const CAnnotationList& items = m_pLayer->Items();
    if (index < 0 || index >= static_cast<int>(items.size()))
        return false;
    m_kind = kind;
    m_nAnnotation = index;
    if (kind == kDeleteAnnotation || kind == kChangeAnnotation)
        m_saved.push_back(*items[static_cast<size_t>(index)]);
    if (kind == kBringToFront || kind == kSendToBack)
        for (const auto& item : items)
            m_order.push_back(item.get());
    m_bHolds = true;
    return true;
}

bool CUndoRecord::Undo()
{
    if (!m_pView || !m_pLayer || !m_bHolds) {
        Reset();
        return false;
    }
    CTqlVwTLDoc& document = m_pView->Document();
    CPageDisplayState& state = m_pView->PageState();
    CAnnotationList& items = m_pLayer->Items();
    const int count = static_cast<int>(items.size());
    const bool known = m_nAnnotation >= 0 && m_nAnnotation < count;
    const auto at = static_cast<size_t>(m_nAnnotation);
    switch (m_kind) {
    case kDeletePage:
        document.InsertPageAt(m_nPage, PageOfBitmap(m_page));
        m_pLayer->InsertPage(m_nPage);
        for (CAnnotationItem& saved : m_saved)
            m_pLayer->Append(std::make_unique<CAnnotationItem>(std::move(saved)));
        document.PagesChanged();
        break;
    case kInsertPage:
    case kAppendPage:
        document.RemovePageAt(m_nPage);
        m_pLayer->RemovePage(m_nPage);
        document.PagesChanged();
        break;
    case kDeleteAnnotation:
        if (!m_saved.empty()) {
            const int restored = m_pLayer->Append(std::make_unique<CAnnotationItem>(std::move(m_saved.front())));
            state.SetTool(kToolSelect);
            m_pLayer->Select(restored);
        }
        break;
    case kAddAnnotation:
        if (known) {
            m_pLayer->InvalidateItem(*items[at]);
            if (state.GetSelected() >= 0)
                m_pLayer->Select(-1);
            items.erase(items.begin() + m_nAnnotation);
            state.SetSelected(-1);
        }
        break;
    case kChangeAnnotation:
        if (known && !m_saved.empty()) {
            m_pLayer->InvalidateItem(*items[at]);
            *items[at] = std::move(m_saved.front());
            state.SetTool(kToolSelect);
            m_pLayer->Select(m_nAnnotation);
        }
        break;
    case kBringToFront:
    case kSendToBack:
        // The former order, when the list still holds exactly the items it held then.
        if (known && m_order.size() == items.size() &&
            std::all_of(m_order.begin(), m_order.end(), [&items](const CAnnotationItem* wanted) {
                return std::any_of(items.begin(), items.end(), [wanted](const auto& item) { return item.get() == wanted; });
            })) {
            for (auto& item : items)
                static_cast<void>(item.release());
            for (size_t i = 0; i < m_order.size(); ++i)
                items[i].reset(const_cast<CAnnotationItem*>(m_order[i]));
            state.SetTool(kToolSelect);
            m_pLayer->Select(m_nAnnotation);
        }
        break;
    case kTiltCorrection:
        document.ReplacePageAt(m_nPage, PageOfBitmap(m_page));
        document.PagesChanged();
        break;
    }
    Reset();
    return true;
}

} // namespace viewer
