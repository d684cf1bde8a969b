#include "platform/ini.h"

#include "platform/files.h"
#include "platform/ini_format.h"
#include "platform/state.h"
#include "platform/text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view withoutTrailingBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// For lookups an absent or unreadable file reads as an empty one.
ProfileText loadForReading(std::string_view fileName)
{
    const std::string path = resolveProfilePath(fileName);
    std::string text;
    if (path.empty() || readFile(path, text, kMaxProfileBytes) != ReadStatus::Ok)
        text.clear();
    return ProfileText::parse(text);
}

size_t copyValue(std::string_view value, char* buffer, size_t size)
{
    const size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n;
}

// Names each followed by a NUL, then one more NUL. A list that does not fit is cut to size - 2 bytes
// and still ends with the two NULs.
size_t copyList(const std::vector<std::string>& names, char* buffer, size_t size)
{
    std::string list;
    for (const auto& name : names)
        list.append(name).append(1, '\0');
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2)
            buffer[1] = '\0';
        return list.size();
    }
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

} // namespace

std::string resolveProfilePath(std::string_view fileName)
{
    std::string path = nativePath(fileName);
    if (path.empty() || path.find('/') != std::string::npos)
        return path;
    return joinPath(systemFolder(), path);
}

std::string readProfileString(std::string_view section, std::string_view key, std::string_view def,
                              std::string_view fileName)
{
    if (auto value = loadForReading(fileName).value(section, key))
        return std::move(*value);
    return std::string(withoutTrailingBlanks(def));
}

size_t readProfileString(const char* section, const char* key, const char* def, char* buffer, size_t size,
                         std::string_view fileName)
{
    if (!buffer || size == 0)
        return 0;
    const ProfileText profile = loadForReading(fileName);
    if (!section)
        return copyList(profile.sectionNames(), buffer, size);
    if (!key)
        return copyList(profile.keyNames(section), buffer, size);
    if (const auto value = profile.value(section, key))
        return copyValue(*value, buffer, size);
    return copyValue(withoutTrailingBlanks(def ? def : ""), buffer, size);
}

int readProfileInt(std::string_view section, std::string_view key, int def, std::string_view fileName)
{
    const auto value = loadForReading(fileName).value(section, key);
    if (!value)
        return def;
    return platform::leadingInt(*value).value_or(def);
}

std::vector<std::string> readProfileSection(std::string_view section, std::string_view fileName)
{
    return loadForReading(fileName).sectionEntries(section);
}

std::vector<std::string> readProfileSectionNames(std::string_view fileName)
{
    return loadForReading(fileName).sectionNames();
}

std::vector<std::string> readProfileKeyNames(std::string_view section, std::string_view fileName)
{
    return loadForReading(fileName).keyNames(section);
}

namespace {

// Applies edit to the profile file at path under its lock and replaces the file atomically when the
// text changed. An existing file that cannot be read is never replaced. edit answers whether it
// changed anything; unchanged answers unchangedResult.
template <typename Edit>
bool editProfileFile(const std::string& path, bool removing, bool unchangedResult, Edit edit)
{
    if (removing && !pathExists(path))
        return true; // nothing to remove, and no file (nor lock file) is made for it

    FileLock lock(path);
    if (!lock.locked())
        return false;
    removeStaleTemporaries(path);
    std::string original;
    const ReadStatus status = readFile(path, original, kMaxProfileBytes);
    if (status == ReadStatus::NotFound && removing)
        return true;
    if (status != ReadStatus::Ok && status != ReadStatus::NotFound)
        return false; // an existing file we cannot read is never replaced

    ProfileText profile = ProfileText::parse(original);
    if (!edit(profile))
        return unchangedResult;
    const std::string updated = profile.serialize();
    if (status == ReadStatus::Ok && updated == original)
        return true;
    if (updated.size() > kMaxProfileBytes)
        return false; // it could not be read back
    return createDirectories(parentPath(path)) && writeFileAtomic(path, updated);
}

} // namespace

bool writeProfileString(const char* section, const char* key, const char* value, std::string_view fileName)
{
    if (!section || !ProfileText::isValidSectionName(section))
        return false;
    if (key && !ProfileText::isValidKeyName(key))
        return false;
    if (key && value && !ProfileText::isValidValue(value))
        return false;
    const std::string path = resolveProfilePath(fileName);
    if (path.empty() || fileNameOf(path).empty())
        return false;
    const bool removing = !key || !value;
    return editProfileFile(path, removing, removing, [&](ProfileText& profile) {
        if (!key)
            return profile.removeSection(section);
        if (!value)
            return profile.removeKey(section, key);
        return profile.setValue(section, key, value);
    });
}

bool writeProfileSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values,
                         std::string_view fileName)
{
    if (!ProfileText::isValidSectionName(section))
        return false;
    for (const auto& [key, value] : values)
        if (!ProfileText::isValidKeyName(key) || !ProfileText::isValidValue(value))
            return false;
    const std::string path = resolveProfilePath(fileName);
    if (path.empty() || fileNameOf(path).empty())
        return false;
    return editProfileFile(path, false, true, [&](ProfileText& profile) { return profile.setValues(section, values); });
}

} // namespace platform
