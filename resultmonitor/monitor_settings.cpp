#include "resultmonitor/monitor_settings.h"

#include "common/registry_helper.h"

#include <algorithm>
#include <string>

uint32_t CRegistryMonitorSettings::ReadDword(std::string_view valueName, uint32_t dwDefault) const
{
    return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).ReadDword(kProductSubkey, valueName, dwDefault);
}

int CRegistryMonitorSettings::WriteDword(std::string_view valueName, uint32_t dwValue)
{
    return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteDword(kProductSubkey, valueName, dwValue);
}

int PlacedViewPosition(int64_t nPosition)
{
    return nPosition >= kViewTopLeft && nPosition <= kViewBottomRight ? static_cast<int>(nPosition) : kViewBottomRight;
}

uint32_t PlacedDisplayTime(uint32_t dwDisplayTime)
{
    return std::clamp(dwDisplayTime, kDisplayTimeMinMs, kDisplayTimeMaxMs);
}

CViewSettings ReadViewSettings(const IMonitorSettings& settings)
{
    CViewSettings view;
    // Stored as a DWORD: a negative number written by hand reads as a large one, placed as 3 too.
    view.nPosition = PlacedViewPosition(settings.ReadDword(kSettingViewPosition, kViewBottomRight));
    view.bEnableAnimation = settings.ReadDword(kSettingEnableAnimation, 1) != 0 ? 1 : 0;
    view.dwDisplayTime = PlacedDisplayTime(settings.ReadDword(kSettingDisplayTime, 5000));
    return view;
}

void PublishListenerValues(const std::string& strAddress, int nPort)
{
    const CRegistryHelper rtn(HKEY_CURRENT_USER, kProductKeyPrefix);
    rtn.WriteString(kRtnSubkey, kRtnServerPort, std::to_string(nPort));
    rtn.WriteString(kRtnSubkey, kRtnAddress, strAddress);
    rtn.WriteDword(kRtnSubkey, kRtnRunning, 1);
}

void ClearListenerValues()
{
    const CRegistryHelper rtn(HKEY_CURRENT_USER, kProductKeyPrefix);
    rtn.WriteString(kRtnSubkey, kRtnServerPort, "");
    rtn.WriteString(kRtnSubkey, kRtnAddress, "");
    rtn.WriteDword(kRtnSubkey, kRtnRunning, 0);
}
