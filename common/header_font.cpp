#include "common/header_font.h"

#include "common/registry_helper.h"

#include <cstdint>

HeaderFontSetting ReadHeaderFontSetting(const std::function<std::string()>& defaultFace)
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    HeaderFontSetting font;
    font.strFace = user.ReadString(kProductSubkey, kHeaderFontFaceValue, "");
    font.nSize = static_cast<int32_t>(user.ReadDword(kProductSubkey, kHeaderFontSizeValue, 0));
    if (!font.strFace.empty() && font.nSize > 0)
        return font;
    const std::string fallback = defaultFace ? defaultFace() : std::string();
    font.nSize = kDefaultHeaderFontSize;
    if (fallback.empty()) {
        font.strFace = kFallbackHeaderFace;
        return font;
    }
    font.strFace = fallback;
    user.WriteString(kProductSubkey, kHeaderFontFaceValue, font.strFace);
    user.WriteDword(kProductSubkey, kHeaderFontSizeValue, static_cast<uint32_t>(font.nSize));
    return font;
}
