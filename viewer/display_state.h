// The viewing settings each view keeps: the thumbnail view's record and the page view's, which adds
// rotation, editing and the mouse handling's flags. Values and a few rules; the views act on them.
#pragma once

namespace viewer {

/// Zoom steps: the page is shown at 2 to the power of the step.
inline constexpr int kMinZoomStep = -3;
inline constexpr int kMaxZoomStep = 2;

/// Tools of the page view.
enum ViewerTool : int { kToolHand = 0, kToolSelect = 1, kToolStamp = 10, kToolTilt = 11 };

class CThumbDisplayState {
public:
    virtual ~CThumbDisplayState() = default;

    int GetZoomStep() const { return m_nZoomStep; }
    /// Stores the step; a nonzero step clears fit.
    void SetZoomStep(int step);
    int GetFit() const { return m_nFit; }
    /// Stores fit; a nonzero fit sets the zoom step to 0.
    void SetFit(int fit);
    /// Inverts fit; turning it on sets the zoom step to 0.
    void ToggleFit();
    /// One step larger; false at step 2. Fit is cleared unless the new step is 0.
    bool StepUp();
    /// One step smaller; false at step -3. Fit is cleared unless the old step was 1.
    bool StepDown();
    int GetCurrentPage() const { return m_nCurrentPage; }
    void SetCurrentPage(int page) { m_nCurrentPage = page; }
    int GetPageCount() const { return m_nPageCount; }
    void SetPageCount(int count) { m_nPageCount = count; }
    int GetGrey() const { return m_nGrey; }
    void SetGrey(int grey) { m_nGrey = grey; }
    void ToggleGrey() { m_nGrey = !m_nGrey; }
    int GetInvert() const { return m_nInvert; }
    void SetInvert(int invert) { m_nInvert = invert; }
    void ToggleInvert() { m_nInvert = !m_nInvert; }
    /// Every field back to its start value.
    virtual void Reset();

private:
    int m_nZoomStep = 0;
    int m_nFit = 0;
    int m_nCurrentPage = 0;
    int m_nPageCount = 0;
    int m_nGrey = 0;
    int m_nInvert = 0;
};

class CPageDisplayState : public CThumbDisplayState {
public:
    /// Quarter turns, 0 to 3.
    int GetRotation() const { return m_nRotation; }
    void SetRotation(int rotation) { m_nRotation = rotation; }
    /// A quarter turn to the left (+1, 3 wraps to 0).
    void RotateLeft() { m_nRotation = (m_nRotation + 1) % 4; }
    /// A quarter turn to the right (-1, 0 wraps to 3).
    void RotateRight() { m_nRotation = (m_nRotation + 3) % 4; }
    /// A half turn (-2, wrapping).
    void Rotate180() { m_nRotation = (m_nRotation + 2) % 4; }
    int GetEditingAllowed() const { return m_nEditingAllowed; }
    void SetEditingAllowed(int allowed) { m_nEditingAllowed = allowed; }
    int GetTool() const { return m_nTool; }
    void SetTool(int tool) { m_nTool = tool; }
    int GetSelected() const { return m_nSelected; }
    void SetSelected(int index) { m_nSelected = index; }
    int GetRemembered() const { return m_nRemembered; }
    void SetRemembered(int index) { m_nRemembered = index; }
    int GetHideAnnotations() const { return m_nHide; }
    void SetHideAnnotations(int hide) { m_nHide = hide; }
    void ToggleHideAnnotations() { m_nHide = !m_nHide; }
    /// The tools work: editing is allowed, annotations are shown and there are pages.
    bool ToolsWork() const { return m_nEditingAllowed && !m_nHide && GetPageCount() > 0; }
    int GetTiltLine() const { return m_nTiltLine; }
    void SetTiltLine(int present) { m_nTiltLine = present; }
    int GetHandDrag() const { return m_nHandDrag; }
    void SetHandDrag(int drag) { m_nHandDrag = drag; }
    int GetButtonDown() const { return m_nButtonDown; }
    void SetButtonDown(int down) { m_nButtonDown = down; }
    int GetCaptured() const { return m_nCaptured; }
    void SetCaptured(int captured) { m_nCaptured = captured; }
    int GetMouseFlag() const { return m_nMouseFlag; }
    void SetMouseFlag(int flag) { m_nMouseFlag = flag; }
    void Reset() override;

    /// The page view's start: reset, then the settings ("ViewScale" - 4, "ViewJustify",
    /// "ViewGradation") and the application's editing flag.
    void StartFromSettings(int viewScale, int viewJustify, int viewGradation, bool editingAllowed);

private:
    int m_nRotation = 0;
    int m_nEditingAllowed = 0;
    int m_nTool = kToolHand;
    int m_nSelected = -1;
    int m_nRemembered = -1;
    int m_nHide = 0;
    int m_nTiltLine = 0, m_nHandDrag = 0, m_nButtonDown = 0, m_nCaptured = 0, m_nMouseFlag = 0;
};

} // namespace viewer
