#include "resultmonitor/settings_pages_logic.h"

#include <algorithm>

namespace {

// The corner pictures: plain, and when the corner is selected.
struct CornerIcons {
    uint32_t nPlain;
    uint32_t nSelected;
};
constexpr CornerIcons kCornerIcons[] = {{137, 142}, {138, 144}, {139, 141}, {140, 143}};

} // namespace

void CViewSettingPageLogic::OnInitDialog()
{
    m_nPosition = PlacedViewPosition(m_settings.ReadDword(kSettingViewPosition, kViewBottomRight));
    m_bAnimation = m_settings.ReadDword(kSettingEnableAnimation, 1) != 0;
    m_dwDisplayTime = PlacedDisplayTime(m_settings.ReadDword(kSettingDisplayTime, 5000));
    m_bSound = m_settings.ReadDword(kSettingSound, 1) != 0;
    m_bChanged = false;
    m_bInitialized = true;
}

uint32_t CViewSettingPageLogic::PictureIcon(int nControlId) const
{
    const int nCorner = nControlId - IDC_PICTURE_TOP_LEFT;
    if (nCorner < 0 || nCorner > 3)
        return 0;
    return nCorner == m_nPosition ? kCornerIcons[nCorner].nSelected : kCornerIcons[nCorner].nPlain;
}

int CViewSettingPageLogic::SliderPosition() const
{
    const uint32_t nTenths = m_dwDisplayTime / kDisplayTimeSliderUnitMs;
    return static_cast<int>(std::clamp<uint32_t>(nTenths, kDisplayTimeSliderMin, kDisplayTimeSliderMax));
}

void CViewSettingPageLogic::OnPositionClicked(int nControlId)
{
    if (nControlId < IDC_POSITION_TOP_LEFT || nControlId > IDC_POSITION_BOTTOM_RIGHT)
        return;
    m_nPosition = nControlId - IDC_POSITION_TOP_LEFT;
    m_bChanged = true;
}

void CViewSettingPageLogic::OnAnimationClicked(bool bChecked)
{
    m_bAnimation = bChecked;
    m_bChanged = true;
}

void CViewSettingPageLogic::OnSoundClicked(bool bChecked)
{
    m_bSound = bChecked;
    m_bChanged = true;
}

void CViewSettingPageLogic::OnSliderMoved(int nSliderPosition)
{
    const int nPlaced = std::clamp(nSliderPosition, kDisplayTimeSliderMin, kDisplayTimeSliderMax);
    m_dwDisplayTime = static_cast<uint32_t>(nPlaced) * kDisplayTimeSliderUnitMs;
    m_bChanged = true;
}

void CViewSettingPageLogic::OnApply()
{
    m_settings.WriteDword(kSettingViewPosition, static_cast<uint32_t>(m_nPosition));
    m_settings.WriteDword(kSettingEnableAnimation, m_bAnimation ? 1 : 0);
    m_settings.WriteDword(kSettingDisplayTime, m_dwDisplayTime);
    m_settings.WriteDword(kSettingSound, m_bSound ? 1 : 0);
    m_bChanged = false;
}

void CMessageTypePageLogic::OnInitDialog()
{
    m_bSuccess = m_settings.ReadDword(kSettingSuccessResult, 1) != 0;
    m_bNoReservationAlert = m_settings.ReadDword(kSettingNoAlertReservation, 1) != 0;
    m_bError = m_settings.ReadDword(kSettingErrorResult, 1) != 0;
    // Ticked when missing, though the handling shows no cancelled job until the value is stored.
    m_bCancel = m_settings.ReadDword(kSettingCancelResult, 1) != 0;
    m_bChanged = false;
    m_bInitialized = true;
}

bool CMessageTypePageLogic::* CMessageTypePageLogic::Box(int nControlId)
{
    switch (nControlId) {
    case IDC_SHOW_SUCCESS: return &CMessageTypePageLogic::m_bSuccess;
    case IDC_SHOW_ERROR: return &CMessageTypePageLogic::m_bError;
    case IDC_SHOW_CANCEL: return &CMessageTypePageLogic::m_bCancel;
    case IDC_NO_RESERVATION_ALERT: return &CMessageTypePageLogic::m_bNoReservationAlert;
    default: return nullptr;
    }
}

bool CMessageTypePageLogic::IsChecked(int nControlId) const
{
    const auto box = Box(nControlId);
    return box && this->*box;
}

void CMessageTypePageLogic::OnCheckClicked(int nControlId, bool bChecked)
{
    if (const auto box = Box(nControlId)) {
        this->*box = bChecked;
        m_bChanged = true;
    }
}

void CMessageTypePageLogic::OnApply()
{
    m_settings.WriteDword(kSettingSuccessResult, m_bSuccess ? 1 : 0);
    m_settings.WriteDword(kSettingNoAlertReservation, m_bNoReservationAlert ? 1 : 0);
    m_settings.WriteDword(kSettingErrorResult, m_bError ? 1 : 0);
    m_settings.WriteDword(kSettingCancelResult, m_bCancel ? 1 : 0);
    m_bChanged = false;
}
