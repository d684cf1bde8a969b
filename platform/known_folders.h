// The user's and the machine's well-known folders, mapped onto the XDG base directories.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

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

/// For one operation on the files of a folder: while it lives, the calling thread's private-area
/// checks (privatePlaceOf, and those of the file functions of platform/files.h) look at the folder,
/// the levels above it and the private folders once, as they were when first looked at; the levels
/// below the folder are looked at on every check. The levels above a store's folder do not change
/// within one of its operations, so each file the operation opens is checked at the cost of its own
/// levels. Scopes nest on a thread; the innermost one holds.
class PrivateCheckScope {
public:
    explicit PrivateCheckScope(std::string_view folder);
    ~PrivateCheckScope();
    PrivateCheckScope(const PrivateCheckScope&) = delete;
    PrivateCheckScope& operator=(const PrivateCheckScope&) = delete;

    struct Memo;

private:
    std::unique_ptr<Memo> memo_;
};

/// The status of one level of a path as a private-area check sees it (lstat(2) when follow is false,
/// else stat(2)), through the innermost PrivateCheckScope. False when there is none.
bool privateCheckStat(const std::string& level, bool follow, struct stat& st);

/// Installs a provider (null restores the XDG provider); gives back the previous one.
std::shared_ptr<const FolderProvider> setFolderProvider(std::shared_ptr<const FolderProvider> provider);

} // namespace platform
