// Where the suite keeps its persistent state.
//
// One environment variable, QELTA_ROOT, relocates everything: with it set, the hives, the install
// directory, the system folder and the per-user folders all live below that one directory, which is
// how every test runs hermetically. Without it, per-user state follows the XDG base directories and
// the installation follows the Linux layout: libraries in a private folder below the library folder
// (lib/qelta), help pages and language modules in share/qelta, and machine-wide state in the local
// state folder (/var/lib/qelta for the prefix /usr). A build tree has the same shape, with its
// libraries in lib/ and its machine state in var/.
#pragma once

#include <optional>
#include <string>

namespace platform {

/// Name of the variable that relocates all persistent state.
inline constexpr const char* kStateRootVariable = "QELTA_ROOT";

/// The relocated root, when QELTA_ROOT is set and not empty.
std::optional<std::string> stateRoot();

/// The installation's prefix (/usr for /usr/lib/qelta), or the build folder when run from a build tree.
std::string installPrefix();

/// Folder of the suite's read-only data: help pages and the "resources" folder of language modules.
std::string dataFolder();

/// The machine state folder of an installation at `prefix`: the local state folder's "lib/qelta",
/// which the layout moves out of the prefix for /usr (/var/lib/qelta) and /opt/NAME (/var/opt/NAME/lib/qelta).
std::string installedMachineStateFolder(const std::string& prefix);

/// Folder of the machine-wide state of this installation (HKLM and HKCR hives, system and common folders).
std::string machineStateFolder();

/// Makes this process keep its machine-wide state in `folder` instead of where the layout (or
/// QELTA_ROOT) puts it: an installer writes the machine folder of the installation it lays down,
/// perhaps a staged one. Call it before any other use of the state; empty goes back to the layout.
void setMachineStateFolder(std::string folder);

/// Folder of the current user's registry hive.
std::string userStateFolder();

/// The installation's system folder, where a bare profile-file name is looked for.
std::string systemFolder();

/// The suite's install directory (program files, DATA.TAG and the like): the data folder when installed.
std::string installDirectory();

/// The home directory used for the per-user folders ($HOME, or the relocated root's "home").
std::string homeDirectory();

} // namespace platform
