#include "platform/state.h"

#include "platform/library.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

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

// The installation prefix: the parent of the suite's library folder (e.g. /opt/qelta for /opt/qelta/lib).
std::string installPrefix() { return parentOf(libraryFolder()); }

} // namespace

std::optional<std::string> stateRoot()
{
    const char* v = std::getenv(kStateRootVariable);
    if (!v || !*v)
        return std::nullopt;
    return std::string(v);
}

std::string machineStateFolder()
{
    if (auto root = stateRoot())
        return *root + "/machine";
    return installPrefix() + "/var";
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
    return installPrefix();
}

} // namespace platform
