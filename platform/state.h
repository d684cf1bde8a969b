// Where the suite keeps its persistent state.
//
// One environment variable, QELTA_ROOT, relocates everything: with it set, the hives, the install
// directory, the system folder and the per-user folders all live below that one directory, which is
// how every test runs hermetically. Without it, per-user state follows the XDG base directories and
// machine-wide state lives with the installation (beside the library folder).
#pragma once

#include <optional>
#include <string>

namespace platform {

/// Name of the variable that relocates all persistent state.
inline constexpr const char* kStateRootVariable = "QELTA_ROOT";

/// The relocated root, when QELTA_ROOT is set and not empty.
std::optional<std::string> stateRoot();

/// Folder of the machine-wide state of this installation (HKLM and HKCR hives, system and common folders).
std::string machineStateFolder();

/// Folder of the current user's registry hive.
std::string userStateFolder();

/// The installation's system folder, where a bare profile-file name is looked for.
std::string systemFolder();

/// The suite's install directory (program files, DATA.TAG and the like).
std::string installDirectory();

/// The home directory used for the per-user folders ($HOME, or the relocated root's "home").
std::string homeDirectory();

} // namespace platform
