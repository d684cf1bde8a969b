// The user's and the machine's well-known folders, mapped onto the XDG base directories.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class KnownFolder {
    AppData,       ///< the user's application data (roaming): $XDG_DATA_HOME
    CommonAppData, ///< application data shared by every user of the machine: the installation's "common" folder
    LocalAppData,  ///< the user's machine-local application data: $XDG_STATE_HOME
    Documents,     ///< the user's documents: XDG_DOCUMENTS_DIR, else ~/Documents
    Temp,          ///< temporary files: $TMPDIR, else /tmp
};

/// Answers where a known folder is; tests inject their own.
class FolderProvider {
public:
    virtual ~FolderProvider() = default;
    /// The folder's path without a trailing separator, or nothing when it cannot be determined.
    virtual std::optional<std::string> folder(KnownFolder which) const = 0;
};

/// The provider over the XDG base directories (all below the relocated root when QELTA_ROOT is set).
class XdgFolderProvider : public FolderProvider {
public:
    std::optional<std::string> folder(KnownFolder which) const override;
};

/// Where the known folder is, through the current provider.
std::optional<std::string> knownFolder(KnownFolder which);

/// True when path lies in the user's private area: the folder of the user's registry hive, or at or
/// below the user's application data folders (KnownFolder::AppData and KnownFolder::LocalAppData),
/// never in the machine's state folder. What the suite makes there only this user may read. A
/// relative path counts from the working folder. The folders are compared as folders, so a home
/// reached through a link and its real path count alike; links below them are not followed.
bool isPrivatePath(std::string_view path);

/// Where a path lies in the private area: its absolute form (".", ".." and empty levels taken out)
/// and the length of the leading part of it that is the private folder it lies in.
struct PrivatePlace {
    std::string absolute;
    size_t rootLength = 0;
};

/// The place of path in the private area, or nothing when it lies outside (see isPrivatePath).
std::optional<PrivatePlace> privatePlaceOf(std::string_view path);

/// Installs a provider (null restores the XDG provider); gives back the previous one.
std::shared_ptr<const FolderProvider> setFolderProvider(std::shared_ptr<const FolderProvider> provider);

} // namespace platform
