// The editor's own settings: its profile under HKCU "Software\KOVRA\Cover Sheet Editor" (one key
// per section), the frame's placement from it, and the grid settings of the view.
#pragma once

#include <optional>
#include <string>

namespace cvr {

/// The profile key and its sections.
inline constexpr const char* kProfileKey = "Software\\KOVRA\\Cover Sheet Editor";
inline constexpr const char* kWindowSection = "Window Position";
inline constexpr const char* kGridSection = "TQLCVR";
/// The toolbar's state: one binary value of that name in the profile key itself (section "").
inline constexpr const char* kBarStateKey = "TqlCvrTL";

/// Values of the application profile (HKCU): numbers as 32-bit values, texts, bytes.
class CEditorProfile {
public:
    int GetInt(const std::string& section, const std::string& entry, int defaultValue) const;
    bool WriteInt(const std::string& section, const std::string& entry, int value) const;
    std::string GetString(const std::string& section, const std::string& entry, const std::string& defaultValue) const;
    std::optional<std::string> GetBinary(const std::string& section, const std::string& entry) const;
    bool WriteBinary(const std::string& section, const std::string& entry, const std::string& bytes) const;
};

/// The frame's stored placement.
struct FramePlacement {
    int left = 0, top = 0, right = 639, bottom = 399;
    bool maximized = false;
};
FramePlacement ReadFramePlacement(const CEditorProfile& profile);
void WriteFramePlacement(const CEditorProfile& profile, const FramePlacement& placement);

/// Where the frame opens: x, y, width, height. A left or top at or beyond the screen's edge is
/// pulled back by the frame and caption sizes.
struct FrameGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};
FrameGeometry PlaceFrame(const FramePlacement& placement, int screenWidth, int screenHeight, int frameSize,
                         int captionHeight);

/// The view's grid settings.
struct GridSettings {
    bool shown = false;
    int command = 32793;
    bool snap = false;
};
GridSettings ReadGridSettings(const CEditorProfile& profile);
void WriteGridSettings(const CEditorProfile& profile, const GridSettings& grid);

} // namespace cvr
