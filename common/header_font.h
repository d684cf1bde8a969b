// The driver header's font and sender texts in the user's settings (HKCU "SOFTWARE\KOVRA\TQLSTL2"):
// the driver environment program sets them, the send wizard's job parameters read them.
#pragma once

#include <functional>
#include <string>

inline constexpr const char* kHeaderFontFaceValue = "HeaderFontFace";
inline constexpr const char* kHeaderFontSizeValue = "HeaderFontSize"; ///< tenths of a point
inline constexpr const char* kHeaderUserNameValue = "HeaderUserName";
inline constexpr const char* kHeaderTelNumberValue = "HeaderTelNumber";

/// The header font size stored when none is set, in tenths of a point.
inline constexpr int kDefaultHeaderFontSize = 240;
/// The face used when no default face is known (nothing is stored then).
inline constexpr const char* kFallbackHeaderFace = "Tahoma";

struct HeaderFontSetting {
    std::string strFace;
    int nSize = kDefaultHeaderFontSize; ///< tenths of a point
};

/// The stored header font. An empty face or a size that is not positive gives the default face
/// (defaultFace: the window's own font face, empty when none is known) and 240, which are written
/// back; with no default face known, "Tahoma" and 240, written nowhere.
HeaderFontSetting ReadHeaderFontSetting(const std::function<std::string()>& defaultFace);
