// The settings sheet's two pages without widgets: View Window Setting (corner, animation, display
// time, sound) and Message Type Setting (which results are shown).
#pragma once

#include "resultmonitor/monitor_settings.h"

#include <cstdint>
#include <string>

/// Dialog and control ids of the pages (controls are found by the object name "id<number>").
enum ESettingsControlId : int {
    IDD_VIEW_WINDOW_SETTING = 106,
    IDD_MESSAGE_TYPE_SETTING = 107,
    IDC_POSITION_TOP_LEFT = 1000,
    IDC_POSITION_TOP_RIGHT = 1001,
    IDC_POSITION_BOTTOM_LEFT = 1002,
    IDC_POSITION_BOTTOM_RIGHT = 1003,
    IDC_PICTURE_TOP_LEFT = 1005,
    IDC_PICTURE_TOP_RIGHT = 1006,
    IDC_PICTURE_BOTTOM_LEFT = 1007,
    IDC_PICTURE_BOTTOM_RIGHT = 1008,
    IDC_ENABLE_ANIMATION = 1010,
    IDC_DISPLAY_TIME_SLIDER = 1011,
    IDC_DISPLAY_TIME_EDIT = 1012,
    IDC_PLAY_SOUND = 1015,
    IDC_SHOW_ERROR = 1016,
    IDC_SHOW_CANCEL = 1017,
    IDC_SHOW_SUCCESS = 1018,
    IDC_NO_RESERVATION_ALERT = 1020,
};

/// The display-time slider: tenths of a second from 10 to 100, a tick every 10.
inline constexpr int kDisplayTimeSliderMin = 10;
inline constexpr int kDisplayTimeSliderMax = 100;
inline constexpr int kDisplayTimeSliderTick = 10;
inline constexpr uint32_t kDisplayTimeSliderUnitMs = 100;
static_assert(kDisplayTimeSliderMin * kDisplayTimeSliderUnitMs == kDisplayTimeMinMs
              && kDisplayTimeSliderMax * kDisplayTimeSliderUnitMs == kDisplayTimeMaxMs);

class CViewSettingPageLogic {
public:
    explicit CViewSettingPageLogic(IMonitorSettings& settings) : m_settings(settings) {}

    /// Reads position, animation, display time and sound (defaults 3, 1, 5000, 1).
    void OnInitDialog();

    int GetPosition() const { return m_nPosition; }
    /// The radio button of the position (1000-1003).
    int CheckedPositionControl() const { return IDC_POSITION_TOP_LEFT + m_nPosition; }
    /// The icon a corner picture (1005-1008) shows: the selected corner's own, else the plain one.
    uint32_t PictureIcon(int nControlId) const;
    bool GetAnimation() const { return m_bAnimation; }
    bool GetSound() const { return m_bSound; }
    uint32_t GetDisplayTime() const { return m_dwDisplayTime; }
    /// The slider's position for the display time, within the slider's range.
    int SliderPosition() const;
    /// The read-only edit's text: the display time in milliseconds.
    std::string DisplayTimeText() const { return std::to_string(m_dwDisplayTime); }
    bool IsChanged() const { return m_bChanged; }
    /// True once OnInitDialog ran (the page was shown): only then does the sheet apply it.
    bool IsInitialized() const { return m_bInitialized; }

    /// A position radio button was clicked (1000-1003).
    void OnPositionClicked(int nControlId);
    void OnAnimationClicked(bool bChecked);
    void OnSoundClicked(bool bChecked);
    /// The slider moved: display time = position x 100 ms.
    void OnSliderMoved(int nSliderPosition);

    /// Writes the four values.
    void OnApply();

private:
    IMonitorSettings& m_settings;
    int m_nPosition = kViewBottomRight;
    bool m_bAnimation = true;
    uint32_t m_dwDisplayTime = 5000;
    bool m_bSound = true;
    bool m_bChanged = false;
    bool m_bInitialized = false;
};

class CMessageTypePageLogic {
public:
    explicit CMessageTypePageLogic(IMonitorSettings& settings) : m_settings(settings) {}

    /// Reads the four message-type settings, each missing one as 1 (ticked).
    void OnInitDialog();

    /// The state of a check box (1016, 1017, 1018, 1020).
    bool IsChecked(int nControlId) const;
    void OnCheckClicked(int nControlId, bool bChecked);
    bool IsChanged() const { return m_bChanged; }
    /// True once OnInitDialog ran (the page was shown): only then does the sheet apply it.
    bool IsInitialized() const { return m_bInitialized; }

    /// Writes the four values.
    void OnApply();

private:
    /// The state behind a check box; null for any other control.
    static bool CMessageTypePageLogic::* Box(int nControlId);

    IMonitorSettings& m_settings;
    bool m_bSuccess = true;
    bool m_bNoReservationAlert = true;
    bool m_bError = true;
    bool m_bCancel = true;
    bool m_bChanged = false;
    bool m_bInitialized = false;
};
