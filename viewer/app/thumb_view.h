// The thumbnail view ("Reduced view"): every page as a labelled thumbnail in a grid, the current
// page framed; a click or a Shift key picks a page. Its grid is CThumbLayout's.
#pragma once

#include "viewer/view_logic.h"

#include <QAbstractScrollArea>

#include <functional>
#include <memory>
#include <vector>

namespace viewer {

class CTqlVwTLView : public QAbstractScrollArea, public IViewerView {
    Q_OBJECT
public:
    CTqlVwTLView(CTqlVwTLDoc& document, IViewerFrame& frame, CViewerAppValues& app, QWidget* parent = nullptr);

    CThumbDisplayState& State() override { return m_state; }
    void OnReinitialise() override;
    void OnRefresh() override;
    void OnCommand(int id) override;
    void GoToPage(int page) override;
    void Activate() override { setFocus(); }

    const CThumbLayout& Layout() const { return m_layout; }
    /// The page view that shows a picked page, and whose turn the thumbnails follow.
    void SetPageView(IPageView* pageView) { m_pPageView = pageView; }
    /// The quarter turns the thumbnails are shown in (the page view's when they were made).
    int Turns() const { return m_nTurns; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void Relayout();
    void Rebuild();
    void ScrollIntoView();
    void Pick(int page);
    /// Takes the page view's turn; true when it differs from the thumbnails'.
    bool TakeTurns();
    /// Takes the page view's inversion; true when it differs from the thumbnails'.
    bool TakeInvert();
    /// A page's size as its thumbnail shows it: its true proportions, turned.
    std::pair<int, int> ShownSize(const CPageImage& page) const;

    CTqlVwTLDoc& m_doc;
    IViewerFrame& m_frame;
    CViewerAppValues& m_app;
    IPageView* m_pPageView = nullptr;
    CThumbDisplayState m_state;
    int m_nTurns = 0;
    CThumbLayout m_layout;
    std::vector<std::unique_ptr<CDisplayImage>> m_images;
};

/// Tells a key of a key event (Qt key code) as the views know it.
ViewKey ViewKeyOf(int qtKey);
/// Scrolls a scroll area as a key action asks; false for an action that is not a scroll.
bool ScrollByKey(QAbstractScrollArea& area, KeyAction action);
/// The width a view lays its content out at, its vertical scroll bar set to match. With fit, the
/// content (heightAt(width) high) takes the view's whole width when it fits in the height there,
/// else the width the bar leaves, the bar then staying even where the narrower content would fit:
/// decided from the view's whole size, it cannot flip the bar and resize the view without end.
/// Without fit the bar shows as needed and the viewport's width stands.
int FitWidth(QAbstractScrollArea& area, bool fit, const std::function<int(int)>& heightAt);

} // namespace viewer
