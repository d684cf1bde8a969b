// The monitor's settings (user values under the product key's "TQLSTL2") and the listener values it
// publishes for the job builder (under "RTN").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kSettingViewPosition = "RtnViewPosition";
inline constexpr const char* kSettingEnableAnimation = "RtnEnableAnimation";
inline constexpr const char* kSettingDisplayTime = "RtnDisplayTime";
inline constexpr const char* kSettingSound = "RtnSound";
inline constexpr const char* kSettingSuccessResult = "RtnSuccessResult";
inline constexpr const char* kSettingNoAlertReservation = "RtnNoAlertFAXRtn1";
inline constexpr const char* kSettingErrorResult = "RtnErrorResult";
inline constexpr const char* kSettingCancelResult = "RtnCancelResult";

/// The published listener values.
inline constexpr const char* kRtnSubkey = "RTN";
inline constexpr const char* kRtnServerPort = "FAXServerPort";
inline constexpr const char* kRtnAddress = "FAXIPAddress";
inline constexpr const char* kRtnRunning = "FAXRunning";

/// Pop-up corners.
enum EViewPosition : int { kViewTopLeft = 0, kViewTopRight = 1, kViewBottomLeft = 2, kViewBottomRight = 3 };

/// The monitor's number settings.
class IMonitorSettings {
public:
    virtual ~IMonitorSettings() = default;
    /// The value, or the default when it is missing.
    virtual uint32_t ReadDword(std::string_view valueName, uint32_t dwDefault) const = 0;
    /// Stores the value; 1 or 0.
    virtual int WriteDword(std::string_view valueName, uint32_t dwValue) = 0;
};

/// The settings in the user's registry.
class CRegistryMonitorSettings : public IMonitorSettings {
public:
    uint32_t ReadDword(std::string_view valueName, uint32_t dwDefault) const override;
    int WriteDword(std::string_view valueName, uint32_t dwValue) override;
};

/// How pop-ups are shown.
struct CViewSettings {
    int nPosition = kViewBottomRight; ///< 0-3; anything else is placed as 3
    int bEnableAnimation = 1;
    uint32_t dwDisplayTime = 5000;    ///< milliseconds, 1000-10000
};

/// The display times the settings page can set, in milliseconds.
inline constexpr uint32_t kDisplayTimeMinMs = 1000;
inline constexpr uint32_t kDisplayTimeMaxMs = 10000;

/// Reads the view settings (defaults 3, 1 and 5000).
CViewSettings ReadViewSettings(const IMonitorSettings& settings);

/// A display time as it is used: one written by hand outside what the settings page can set is
/// brought to the nearest time the page can set (a timer of 2^31 ms or more would never run).
uint32_t PlacedDisplayTime(uint32_t dwDisplayTime);

/// A corner as it is placed: values outside 0-3 give the bottom right.
int PlacedViewPosition(int64_t nPosition);

/// Publishes the listener's address and port with "FAXRunning" 1.
void PublishListenerValues(const std::string& strAddress, int nPort);
/// Clears them: "", "" and 0.
void ClearListenerValues();
