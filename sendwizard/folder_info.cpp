#include "sendwizard/folder_info.h"

#include "common/registry_helper.h"
#include "platform/ini.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

namespace {

constexpr const char* kPathValue = "DocuinfoPath";

// Leading decimal digits with an optional sign, as signed or unsigned text, cut to 32 bits.
uint32_t LowBits(const std::string& text)
{
    return static_cast<uint32_t>(std::strtoll(text.c_str(), nullptr, 10));
}

std::string Key(size_t i, const char* name) { return std::to_string(i) + "-" + name; }

} // namespace

std::string FolderInfoPath(const std::string& strJobFolder)
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    std::string path = user.ReadString(kProductSubkey, kPathValue, "");
    if (path.empty()) {
        path = strJobFolder + "folder.info";
        user.WriteString(kProductSubkey, kPathValue, path);
    }
    return path;
}

std::string FolderInfoSection(const std::string& strPortName)
{
    std::string section;
    for (const char c : strPortName) {
        if (c == '%' || c == '[' || c == ']' || c == '\r' || c == '\n') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            section += escaped;
        } else {
            section += c;
        }
    }
    return section;
}

std::vector<CFilingFolder> ReadFolderInfo(const std::string& strPath, const std::string& strPortName)
{
    std::unordered_map<std::string, std::string> values;
    for (const std::string& line : platform::readProfileSection(FolderInfoSection(strPortName), strPath)) {
        const size_t eq = line.find('=');
        std::string key = line.substr(0, eq);
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        values.emplace(std::move(key), eq == std::string::npos ? "" : line.substr(eq + 1));
    }
    auto value = [&](const std::string& key) {
        std::string lower = key;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto it = values.find(lower);
        return it == values.end() ? std::string() : it->second;
    };
    const long long count = std::min<long long>(std::atoll(value("FolderCount").c_str()), kMaxCachedFolders);
    std::vector<CFilingFolder> folders;
    for (size_t i = 0; static_cast<long long>(i) < count; ++i) {
        CFilingFolder folder;
        folder.strName = value(Key(i, "Name")).substr(0, kMaxFolderNameBytes);
        if (folder.strName.empty())
            continue;
        folder.bPassword = static_cast<int>(LowBits(value(Key(i, "Pass"))));
        folder.nSize = LowBits(value(Key(i, "SizeLow")));
        folder.nLowDateTime = LowBits(value(Key(i, "LowDateTime")));
        folder.nHighDateTime = LowBits(value(Key(i, "HighDateTime")));
        folder.nFolderType = static_cast<int>(LowBits(value(Key(i, "FolderType"))));
        folders.push_back(std::move(folder));
    }
    return folders;
}

bool WriteFolderInfo(const std::string& strPath, const std::string& strPortName,
                     const std::vector<CFilingFolder>& folders)
{
    std::vector<std::pair<std::string, std::string>> values;
    values.reserve(1 + 6 * folders.size());
    values.emplace_back("FolderCount", std::to_string(folders.size()));
    for (size_t i = 0; i < folders.size(); ++i) {
        const CFilingFolder& f = folders[i];
        values.emplace_back(Key(i, "Name"), f.strName);
        values.emplace_back(Key(i, "Pass"), std::to_string(f.bPassword));
        values.emplace_back(Key(i, "SizeLow"), std::to_string(f.nSize));
        // The time halves keep their classic signed form.
        values.emplace_back(Key(i, "LowDateTime"), std::to_string(static_cast<int32_t>(f.nLowDateTime)));
        values.emplace_back(Key(i, "HighDateTime"), std::to_string(static_cast<int32_t>(f.nHighDateTime)));
        values.emplace_back(Key(i, "FolderType"), std::to_string(f.nFolderType));
    }
    return platform::writeProfileSection(FolderInfoSection(strPortName), values, strPath);
}
