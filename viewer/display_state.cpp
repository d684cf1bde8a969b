#include "viewer/display_state.h"

namespace viewer {

void CThumbDisplayState::SetZoomStep(int step)
{
    m_nZoomStep = step;
    if (step != 0)
        m_nFit = 0;
}

void CThumbDisplayState::SetFit(int fit)
{
    m_nFit = fit;
    if (fit != 0)
        m_nZoomStep = 0;
}

void CThumbDisplayState::ToggleFit() { SetFit(!m_nFit); }

bool CThumbDisplayState::StepUp()
{
    if (m_nZoomStep >= kMaxZoomStep)
        return false;
    if (m_nZoomStep != -1)
        m_nFit = 0;
    ++m_nZoomStep;
    return true;
}

bool CThumbDisplayState::StepDown()
{
    if (m_nZoomStep <= kMinZoomStep)
        return false;
    if (m_nZoomStep != 1)
        m_nFit = 0;
    --m_nZoomStep;
    return true;
}

void CThumbDisplayState::Reset() { *this = CThumbDisplayState(); }

void CPageDisplayState::Reset()
{
    CThumbDisplayState::Reset();
    m_nRotation = 0;
    m_nEditingAllowed = 0;
    m_nTool = kToolHand;
    m_nSelected = m_nRemembered = -1;
    m_nHide = m_nTiltLine = m_nHandDrag = m_nButtonDown = m_nCaptured = m_nMouseFlag = 0;
}

void CPageDisplayState::StartFromSettings(int viewScale, int viewJustify, int viewGradation, bool editingAllowed)
{
    Reset();
    SetZoomStep(viewScale - 4);
    SetFit(viewJustify);
    SetGrey(viewGradation);
    SetEditingAllowed(editingAllowed ? 1 : 0);
}

} // namespace viewer
