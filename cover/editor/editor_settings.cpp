#include "cover/editor/editor_settings.h"

#include "cover/editor/view_logic.h"
#include "platform/registry.h"

namespace cvr {

namespace {

std::string keyOf(const std::string& section)
{
    return section.empty() ? std::string(kProfileKey) : std::string(kProfileKey) + "\\" + section;
}

std::optional<platform::RegValue> query(const std::string& section, const std::string& entry)
{
    platform::RegistryKey key;
    platform::RegValue value;
    if (platform::RegistryKey::open(platform::Hive::CurrentUser, keyOf(section), key) != platform::RegStatus::Ok
        || key.query(entry, value) != platform::RegStatus::Ok)
        return std::nullopt;
    return value;
}

bool store(const std::string& section, const std::string& entry, const platform::RegValue& value)
{
    platform::RegistryKey key;
    return platform::RegistryKey::create(platform::Hive::CurrentUser, keyOf(section), key) == platform::RegStatus::Ok
           && key.set(entry, value) == platform::RegStatus::Ok;
}

} // namespace

int CEditorProfile::GetInt(const std::string& section, const std::string& entry, int defaultValue) const
{
    const auto value = query(section, entry);
    if (!value)
        return defaultValue;
    if (value->type == platform::RegType::Dword)
        return static_cast<int>(value->number());
    if (value->type == platform::RegType::String) {
        try {
            return std::stoi(value->text());
        } catch (...) {
            return defaultValue;
        }
    }
    return defaultValue;
}

bool CEditorProfile::WriteInt(const std::string& section, const std::string& entry, int value) const
{
    return store(section, entry, platform::RegValue::dword(static_cast<uint32_t>(value)));
}

std::string CEditorProfile::GetString(const std::string& section, const std::string& entry,
                                      const std::string& defaultValue) const
{
    const auto value = query(section, entry);
    return value && value->type == platform::RegType::String ? value->text() : defaultValue;
}

std::optional<std::string> CEditorProfile::GetBinary(const std::string& section, const std::string& entry) const
{
    const auto value = query(section, entry);
    if (!value || value->type != platform::RegType::Binary)
        return std::nullopt;
    return value->data;
}

bool CEditorProfile::WriteBinary(const std::string& section, const std::string& entry, const std::string& bytes) const
{
    return store(section, entry, platform::RegValue::binary(bytes));
}

FramePlacement ReadFramePlacement(const CEditorProfile& profile)
{
    FramePlacement p;
    p.left = profile.GetInt(kWindowSection, "Left", 0);
    p.top = profile.GetInt(kWindowSection, "Top", 0);
    p.right = profile.GetInt(kWindowSection, "Right", 639);
    p.bottom = profile.GetInt(kWindowSection, "Bottom", 399);
    p.maximized = profile.GetInt(kWindowSection, "Zoom", 0) != 0;
    return p;
}

void WriteFramePlacement(const CEditorProfile& profile, const FramePlacement& p)
{
    profile.WriteInt(kWindowSection, "Left", p.left);
    profile.WriteInt(kWindowSection, "Top", p.top);
    profile.WriteInt(kWindowSection, "Right", p.right);
    profile.WriteInt(kWindowSection, "Bottom", p.bottom);
    profile.WriteInt(kWindowSection, "Zoom", p.maximized ? 1 : 0);
}

FrameGeometry PlaceFrame(const FramePlacement& p, int screenWidth, int screenHeight, int frameSize, int captionHeight)
{
    FrameGeometry g{p.left, p.top, p.right - p.left, p.bottom - p.top};
    if (p.left >= screenWidth)
        g.x = screenWidth - frameSize - captionHeight;
    if (p.top >= screenHeight)
        g.y = screenHeight - 4 * captionHeight - frameSize;
    return g;
}

GridSettings ReadGridSettings(const CEditorProfile& profile)
{
    GridSettings grid;
    grid.shown = profile.GetInt(kGridSection, "DrawGrid", 0) != 0;
    grid.command = ValidGridCommand(profile.GetInt(kGridSection, "GridWidth", 0));
    grid.snap = profile.GetInt(kGridSection, "SnapToGrid", 0) != 0;
    return grid;
}

void WriteGridSettings(const CEditorProfile& profile, const GridSettings& grid)
{
    profile.WriteInt(kGridSection, "DrawGrid", grid.shown ? 1 : 0);
    profile.WriteInt(kGridSection, "SnapToGrid", grid.snap ? 1 : 0);
    profile.WriteInt(kGridSection, "GridWidth", grid.command);
}

} // namespace cvr
