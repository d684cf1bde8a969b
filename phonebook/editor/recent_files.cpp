#include "phonebook/editor/recent_files.h"

#include "common/registry_helper.h"
#include "phonebook/editor/startup.h"

#include <algorithm>

namespace {

constexpr const char* kListKey = "Recent File List";

CRegistryHelper Settings() { return CRegistryHelper(HKEY_CURRENT_USER, std::string(kEditorSettingsKey) + "\\"); }

std::string ValueName(size_t i) { return "File" + std::to_string(i + 1); }

} // namespace

CRecentFileList::CRecentFileList()
{
    const CRegistryHelper settings = Settings();
    for (size_t i = 0; i < kRecentFiles; ++i) {
        const std::string file = settings.ReadString(kListKey, ValueName(i), "");
        if (file.empty())
            break;
        m_Files.push_back(file);
    }
}

void CRecentFileList::Add(const std::string& strPath)
{
    std::erase(m_Files, strPath);
    m_Files.insert(m_Files.begin(), strPath);
    if (m_Files.size() > kRecentFiles)
        m_Files.resize(kRecentFiles);
    Write();
}

void CRecentFileList::Remove(const std::string& strPath)
{
    std::erase(m_Files, strPath);
    Write();
}

void CRecentFileList::Write() const
{
    // A list that got shorter ends with an empty value, as a missing one ends it when read.
    const CRegistryHelper settings = Settings();
    for (size_t i = 0; i < kRecentFiles; ++i)
        settings.WriteString(kListKey, ValueName(i), i < m_Files.size() ? m_Files[i] : std::string());
}
