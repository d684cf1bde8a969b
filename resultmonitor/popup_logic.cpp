#include "resultmonitor/popup_logic.h"

#include "resultmonitor/monitor_settings.h"

namespace {

bool atTop(int nPosition)
{
    return nPosition == kViewTopLeft || nPosition == kViewTopRight;
}

} // namespace

CPopupRect PopupFinalRect(int nPosition, const CPopupRect& area)
{
    const int nPlaced = PlacedViewPosition(nPosition);
    const bool bLeft = nPlaced == kViewTopLeft || nPlaced == kViewBottomLeft;
    CPopupRect r;
    r.left = bLeft ? area.left + kPopupMargin : area.right - kPopupMargin - kPopupWidth;
    r.top = atTop(nPlaced) ? area.top + kPopupMargin : area.bottom - kPopupMargin - kPopupHeight;
    r.right = r.left + kPopupWidth;
    r.bottom = r.top + kPopupHeight;
    return r;
}

CPopupRect PopupTextRect(int nClientWidth, int nClientHeight)
{
    // The client area less 22 pixels left and right and 4 above and below, moved 20 right and 4 down.
    return {22 + 20, 4 + 4, nClientWidth - 22 + 20, nClientHeight - 4 + 4};
}

int PopupFontPointSize(uint32_t dwLocale)
{
    return dwLocale == 1041 ? 9 : 8;
}

void CResultPopupLogic::StopTimers()
{
    if (m_bSlideTimer)
        m_host.KillPopupTimer(kSlideTimerId);
    if (m_bDisplayTimer)
        m_host.KillPopupTimer(kDisplayTimerId);
    m_bSlideTimer = m_bDisplayTimer = false;
}

void CResultPopupLogic::StartSlide(int nDirection)
{
    m_nStepsLeft = kSlideSteps;
    m_nDirection = nDirection;
    m_bSlideTimer = true;
    m_host.SetPopupTimer(kSlideTimerId, kSlideIntervalMs);
}

void CResultPopupLogic::Close()
{
    StopTimers();
    if (m_bOpen)
        m_host.DestroyPopupWindow();
    m_bOpen = false;
}

void CResultPopupLogic::ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate,
                                  uint32_t dwDisplayTime)
{
    StopTimers();
    m_nIconId = nIconId;
    m_nPosition = PlacedViewPosition(nPosition);
    m_strText = strText;
    m_dwDisplayTime = dwDisplayTime;
    if (m_bOpen)
        m_host.HidePopupWindow();
    m_bOpen = true;
    const CPopupRect final = PopupFinalRect(m_nPosition, m_host.AvailableArea());
    m_nLeft = final.left;
    m_nTop = final.top;
    if (bAnimate == 1) {
        // Start a whole height beyond the final place, on the screen edge's side.
        m_nTop += atTop(m_nPosition) ? -kPopupHeight : kPopupHeight;
        StartSlide(0);
    }
    m_host.MovePopup(m_nLeft, m_nTop);
    m_host.ShowPopupWindow();
}

void CResultPopupLogic::OnTimer(int nTimerId)
{
    if (nTimerId == kDisplayTimerId) {
        if (!m_bDisplayTimer)
            return;
        m_host.KillPopupTimer(kDisplayTimerId);
        m_bDisplayTimer = false;
        StartSlide(1);
        return;
    }
    if (nTimerId != kSlideTimerId || !m_bSlideTimer)
        return;
    if (m_nStepsLeft > 0) {
        // Sliding in moves away from the screen edge, sliding out toward it.
        const bool bDown = atTop(m_nPosition) == (m_nDirection == 0);
        m_nTop += bDown ? kSlideStepPixels : -kSlideStepPixels;
        m_host.MovePopup(m_nLeft, m_nTop);
        m_host.ShowPopupWindow();
        m_nStepsLeft -= m_nDirection == 0 ? 1 : 4;
        m_host.RepaintPopup();
        return;
    }
    m_host.KillPopupTimer(kSlideTimerId);
    m_bSlideTimer = false;
    if (m_nDirection == 1) {
        Close();
        return;
    }
    m_bDisplayTimer = true;
    m_host.SetPopupTimer(kDisplayTimerId, m_dwDisplayTime);
}

void CResultPopupLogic::OnClick()
{
    Close();
}

void CResultPopupLogic::OnMouseMove()
{
    if (!m_bOpen || m_bSlideTimer)
        return;
    if (m_bDisplayTimer)
        m_host.KillPopupTimer(kDisplayTimerId);
    m_bDisplayTimer = false;
    StartSlide(1);
}
