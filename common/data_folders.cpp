#include "common/data_folders.h"

#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/known_folders.h"
#include "platform/state.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

std::optional<platform::KnownFolder> folderFor(int csidl)
{
    switch (csidl) {
    case CSIDL_APPDATA:
        return platform::KnownFolder::AppData;
    case CSIDL_COMMON_APPDATA:
        return platform::KnownFolder::CommonAppData;
    case CSIDL_LOCAL_APPDATA:
        return platform::KnownFolder::LocalAppData;
    case CSIDL_PERSONAL:
        return platform::KnownFolder::Documents;
    default:
        return std::nullopt;
    }
}

// Copies text into buffer when it fits with its terminator; otherwise leaves an empty buffer.
int copyIfFits(const std::string& text, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    if (text.size() >= size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

// The cover sheet folder setting.
constexpr const char* kCoverFolderValue = "CvrFile";

} // namespace

int LoadShellFolderPath(char* buffer, size_t size, int csidl)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    const auto which = folderFor(csidl);
    const auto path = which ? platform::knownFolder(*which) : std::nullopt;
    if (!path || path->empty())
        return 0;
    const size_t n = path->size() < size ? path->size() : size - 1;
    std::memcpy(buffer, path->data(), n);
    buffer[n] = '\0';
    return 1;
}

int GetDataBaseFolder(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    std::optional<std::string> found;
    for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL}) {
        char path[4096];
        if (LoadShellFolderPath(path, sizeof path, csidl)) {
            found = path;
            break;
        }
    }
    if (!found)
        found = platform::knownFolder(platform::KnownFolder::Temp);
    if (!found || found->empty()) {
        buffer[0] = '\0';
        return 0;
    }
    if (found->size() > 1 && (found->back() == '/' || found->back() == '\\'))
        found->pop_back();
    return copyIfFits(*found, buffer, size);
}

std::string GetCompanyName()
{
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    const std::string tagFile = machine.ReadString(kProductSubkey, "TQL Directory", "") + "DATA.TAG";
    char company[kMaxPathBytes];
    platform::readProfileString("TagInfo", "Company", "", company, sizeof company, tagFile);
    return company;
}

std::string GetUserDataDirectory(const char* valueName, const char* tail)
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    std::string directory = platform::nativePath(user.ReadString(kProductSubkey, valueName, ""));
    if (directory.empty()) {
        char base[kMaxPathBytes];
        if (!GetDataBaseFolder(base, sizeof base))
            return {};
        // An empty company name leaves no empty level (and so no doubled separator) behind.
        directory = platform::joinPath(platform::joinPath(base, GetCompanyName()), std::string_view(tail).substr(1));
        user.WriteString(kProductSubkey, valueName, directory);
    }
    if (!platform::pathExists(directory))
        platform::createDirectories(directory); // a failure shows in the caller's first file operation
    return directory;
}

std::string GetPhoneBookDirectory() { return GetUserDataDirectory("PhonebookDirectory", "/qelta/phonebook"); }

std::string CoverFolderOfValue(const std::string& strValue)
{
    std::string value;
    for (const char c : platform::nativePath(strValue))
        if (c != '/' || value.empty() || value.back() != '/')
            value += c;
    if (value.empty())
        return {};
    if (value.back() == '/')
        return value;
    const size_t slash = value.rfind('/');
    return slash == std::string::npos ? std::string("./") : value.substr(0, slash + 1);
}

std::string GetCoverFolder()
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    std::string value = user.ReadString(kProductSubkey, kCoverFolderValue, "");
    if (value.empty()) {
        value = CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, kCoverFolderValue, "");
        if (value.empty()) {
            // The default names the cover folder itself (its trailing "/").
            char base[kMaxPathBytes];
            if (!GetDataBaseFolder(base, sizeof base))
                return {};
            value = platform::joinPath(platform::joinPath(base, GetCompanyName()), "qelta/cvrfile/");
        }
        user.WriteString(kProductSubkey, kCoverFolderValue, value);
    }
    // Made on first use, so that the editor's first sheet lands where the wizard lists.
    const std::string folder = CoverFolderOfValue(value);
    if (!platform::pathExists(folder))
        platform::createDirectories(folder); // a failure shows as an empty list or a failed save
    return folder;
}

std::string ReadCoverFolder()
{
    return CoverFolderOfValue(
        CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).ReadString(kProductSubkey, kCoverFolderValue, ""));
}

std::string CoverWorkFolderOf(const std::string& coverFolder)
{
    if (coverFolder.empty())
        return {};
    return coverFolder.back() == '/' ? coverFolder + "TMP" : coverFolder + "/TMP";
}

std::vector<platform::ForeignFolder> MendUserFolders()
{
    std::vector<platform::ForeignFolder> foreign = platform::mendPrivateRoots();
    std::vector<std::string> folders{platform::userStateFolder()};
    char base[kMaxPathBytes];
    if (GetDataBaseFolder(base, sizeof base)) {
        const std::string company = platform::joinPath(base, GetCompanyName());
        folders.push_back(platform::joinPath(company, "qelta")); // phone books, sending log, cover sheets
    }
    // Where the settings put the phone books or the sending log elsewhere in the private area.
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    for (const char* value : {"PhonebookDirectory", "LogDirectory"})
        folders.push_back(platform::nativePath(user.ReadString(kProductSubkey, value, "")));
    // The local folders of the result monitor's kept notices, of the notice library's remembered
    // port and of the cover pictures.
    if (const auto local = platform::knownFolder(platform::KnownFolder::LocalAppData))
        for (const char* name : {"resultmonitor", "noticelib", "qelta"})
            folders.push_back(platform::joinPath(*local, name));
    for (const std::string& folder : folders)
        if (!folder.empty())
            platform::mendPrivateFolder(folder);
    return foreign;
}
