#include "platform/state.h"

#include "platform/install_layout.h"
#include "platform/library.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

std::string envOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether this process runs from the build tree it was built in (its libraries where the build put them).
bool runsFromBuildTree()
{
    static const bool fromBuild = [] {
        char resolved[4096];
        return ::realpath(kBuildLibraryFolder, resolved) && libraryFolder() == resolved;
    }();
    return fromBuild;
}

// A folder of the layout below `prefix`: relative names go below it, absolute ones stand as they are.
std::string underPrefix(const std::string& prefix, const char* folder)
{
    if (folder[0] == '/')
        return folder;
    return prefix == "/" ? "/" + std::string(folder) : prefix + "/" + folder;
}

// The folder an installer set for this process (setMachineStateFolder); empty when none.
std::string& machineFolderOverride()
{
    static std::string folder;
    return folder;
}

} // namespace

std::string installPrefix()
{
    const std::string folder = libraryFolder();
    const std::string privateFolder = std::string("/") + kInstallLibraryFolder;
    if (folder.size() > privateFolder.size() && folder.ends_with(privateFolder))
        return folder.substr(0, folder.size() - privateFolder.size());
    return parentOf(folder);
}

std::string dataFolder() { return underPrefix(installPrefix(), kInstallDataFolder); }

std::string installedMachineStateFolder(const std::string& prefix)
{
    // The local state folder leaves the prefix for /usr and /opt/NAME, as the GNU layout has it.
    std::string state;
    if (kInstallLocalStateFolder[0] == '/')
        state = kInstallLocalStateFolder;
    else if (prefix == "/usr")
        state = std::string("/") + kInstallLocalStateFolder;
    else if (prefix.starts_with("/opt/"))
        state = std::string("/") + kInstallLocalStateFolder + prefix;
    else
        state = underPrefix(prefix, kInstallLocalStateFolder);
    return state + "/lib/qelta";
}

std::optional<std::string> stateRoot()
{
    const char* v = std::getenv(kStateRootVariable);
    if (!v || !*v)
        return std::nullopt;
    return std::string(v);
}

void setMachineStateFolder(std::string folder) { machineFolderOverride() = std::move(folder); }

std::string machineStateFolder()
{
    if (const std::string& folder = machineFolderOverride(); !folder.empty())
        return folder;
    if (auto root = stateRoot())
        return *root + "/machine";
    if (runsFromBuildTree())
        return installPrefix() + "/var";
    return installedMachineStateFolder(installPrefix());
}

std::string homeDirectory()
{
    if (auto root = stateRoot())
        return *root + "/home";
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string userStateFolder()
{
    if (auto root = stateRoot())
        return *root + "/user";
    return envOr("XDG_CONFIG_HOME", homeDirectory() + "/.config") + "/qelta";
}

std::string systemFolder() { return machineStateFolder() + "/system"; }

std::string installDirectory()
{
    if (auto root = stateRoot())
        return *root + "/install";
    return dataFolder();
}

} // namespace platform
