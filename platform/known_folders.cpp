#include "platform/known_folders.h"

#include "platform/files.h"
#include "platform/state.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::mutex providerMutex;
std::shared_ptr<const FolderProvider> currentProvider;

std::string xdgOr(const char* variable, const std::string& fallback)
{
    if (stateRoot()) // relocated: ignore the caller's environment entirely
        return fallback;
    const char* v = std::getenv(variable);
    return (v && v[0] == '/') ? std::string(v) : fallback;
}

std::string withoutTrailingSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// XDG_DOCUMENTS_DIR from user-dirs.dirs: a line XDG_DOCUMENTS_DIR="$HOME/Documents".
std::optional<std::string> documentsFromUserDirs(const std::string& home)
{
    const std::string config = xdgOr("XDG_CONFIG_HOME", home + "/.config");
    std::string text;
    if (readFile(config + "/user-dirs.dirs", text, 64 * 1024) != ReadStatus::Ok)
        return std::nullopt;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line = trimBlanks(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
        if (!line.starts_with(key))
            continue;
        std::string_view value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::string path(value);
        if (path.starts_with("$HOME"))
            path = home + path.substr(5);
        if (!path.empty() && path[0] == '/')
            return withoutTrailingSlash(path);
    }
    return std::nullopt;
}

// The absolute form of a path with "." and empty levels dropped and ".." taken back, without
// looking at the file system.
std::string lexicallyAbsolute(std::string_view path)
{
    std::string whole;
    if (!path.starts_with('/')) {
        std::vector<char> cwd(4096);
        if (::getcwd(cwd.data(), cwd.size()))
            whole = cwd.data();
        whole += '/';
    }
    whole.append(path);
    std::vector<std::string_view> levels;
    for (size_t start = 0; start < whole.size();) {
        const size_t end = std::min(whole.find('/', start), whole.size());
        const std::string_view level = std::string_view(whole).substr(start, end - start);
        start = end + 1;
        if (level.empty() || level == ".")
            continue;
        if (level == "..") {
            if (!levels.empty())
                levels.pop_back();
            continue;
        }
        levels.push_back(level);
    }
    std::string out;
    for (const std::string_view level : levels) {
        out += '/';
        out.append(level);
    }
    return out.empty() ? "/" : out;
}

// True when path (absolute, as lexicallyAbsolute gives) is folder or lies below it.
bool atOrBelow(const std::string& path, const std::string& folder)
{
    return path.starts_with(folder) && (path.size() == folder.size() || folder == "/" || path[folder.size()] == '/');
}

} // namespace

std::optional<std::string> XdgFolderProvider::folder(KnownFolder which) const
{
    const std::string home = homeDirectory();
    switch (which) {
    case KnownFolder::AppData:
        return withoutTrailingSlash(xdgOr("XDG_DATA_HOME", home + "/.local/share"));
    case KnownFolder::LocalAppData:
        return withoutTrailingSlash(xdgOr("XDG_STATE_HOME", home + "/.local/state"));
    case KnownFolder::CommonAppData:
        return machineStateFolder() + "/common";
    case KnownFolder::Documents:
        if (!stateRoot())
            if (auto d = documentsFromUserDirs(home))
                return d;
        return home + "/Documents";
    case KnownFolder::Temp:
        if (auto root = stateRoot())
            return *root + "/tmp";
        return withoutTrailingSlash(xdgOr("TMPDIR", "/tmp"));
    }
    return std::nullopt;
}

std::optional<std::string> knownFolder(KnownFolder which)
{
    std::shared_ptr<const FolderProvider> provider;
    {
        std::lock_guard lock(providerMutex);
        provider = currentProvider;
    }
    if (!provider) {
        static const XdgFolderProvider xdg;
        return xdg.folder(which);
    }
    return provider->folder(which);
}

// What a scope keeps: the folder, the private folders, and the status of each level looked at that
// is the folder, lies above it or is a private folder (by path and by whether links were followed).
struct PrivateCheckScope::Memo {
    std::string folder;
    std::string machine;
    std::vector<std::string> roots;
    struct Status {
        struct stat st;
        int error; ///< errno of a failed look, else 0
    };
    std::vector<std::pair<std::string, Status>> seen[2]; // [follow]
    Memo* outer = nullptr;

    bool keeps(const std::string& level) const
    {
        return atOrBelow(folder, level) || level == "/" || level == machine
            || std::find(roots.begin(), roots.end(), level) != roots.end();
    }
};

namespace {

thread_local PrivateCheckScope::Memo* currentMemo = nullptr;

// The private folders and the machine's state folder, as absolute paths.
void privateFolders(std::string& machine, std::vector<std::string>& roots)
{
    if (const PrivateCheckScope::Memo* memo = currentMemo) {
        machine = memo->machine;
        roots = memo->roots;
        return;
    }
    machine = lexicallyAbsolute(machineStateFolder());
    roots = {lexicallyAbsolute(userStateFolder())};
    for (const KnownFolder which : {KnownFolder::AppData, KnownFolder::LocalAppData})
        if (auto folder = knownFolder(which); folder && !folder->empty())
            roots.push_back(lexicallyAbsolute(*folder));
    std::erase(roots, "/"); // a root of "/" would take in every file
}

// The identity of the folder at path (links followed), when there is one.
std::optional<std::pair<dev_t, ino_t>> folderIdentity(const std::string& path)
{
    struct stat st {};
    if (!privateCheckStat(path, true, st) || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return std::pair{st.st_dev, st.st_ino};
}

} // namespace

PrivateCheckScope::PrivateCheckScope(std::string_view folder) : memo_(std::make_unique<Memo>())
{
    privateFolders(memo_->machine, memo_->roots);
    memo_->folder = lexicallyAbsolute(folder);
    memo_->outer = currentMemo;
    currentMemo = memo_.get();
}

PrivateCheckScope::~PrivateCheckScope() { currentMemo = memo_->outer; }

bool privateCheckStat(const std::string& level, bool follow, struct stat& st)
{
    PrivateCheckScope::Memo* memo = currentMemo;
    if (!memo || !memo->keeps(level))
        return (follow ? ::stat(level.c_str(), &st) : ::lstat(level.c_str(), &st)) == 0;
    auto& seen = memo->seen[follow ? 1 : 0];
    const auto found = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == level; });
    if (found != seen.end()) {
        if (found->second.error != 0) {
            errno = found->second.error;
            return false;
        }
        st = found->second.st;
        return true;
    }
    PrivateCheckScope::Memo::Status status{};
    if ((follow ? ::stat(level.c_str(), &status.st) : ::lstat(level.c_str(), &status.st)) != 0) {
        status.error = errno;
        // The folder, or a level above it, that is not there yet may be made by the operation: it
        // is looked at again.
        if (atOrBelow(memo->folder, level))
            return false;
    }
    seen.emplace_back(level, status);
    st = status.st;
    errno = status.error;
    return status.error == 0;
}

std::optional<PrivatePlace> privatePlaceOf(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    PrivatePlace place{lexicallyAbsolute(path), 0};
    std::string machine;
    std::vector<std::string> roots;
    privateFolders(machine, roots);
    if (atOrBelow(place.absolute, machine))
        return std::nullopt;
    for (const std::string& root : roots)
        if (atOrBelow(place.absolute, root)) {
            place.rootLength = root.size();
            return place;
        }
    // The same folders under other names (a home reached through a link, or the real path of one):
    // the levels of the path, the longest first, are compared with the folders themselves.
    const auto rootId = folderIdentity("/");
    const auto machineId = folderIdentity(machine);
    std::vector<std::pair<dev_t, ino_t>> rootIds;
    for (const std::string& root : roots)
        if (auto id = folderIdentity(root); id && id != rootId)
            rootIds.push_back(*id);
    if (rootIds.empty())
        return std::nullopt;
    for (size_t end = place.absolute.size(); end > 1; end = place.absolute.rfind('/', end - 1)) {
        const auto id = folderIdentity(place.absolute.substr(0, end));
        if (!id)
            continue;
        if (id == machineId)
            return std::nullopt;
        if (std::find(rootIds.begin(), rootIds.end(), *id) != rootIds.end()) {
            place.rootLength = end;
            return place;
        }
    }
    return std::nullopt;
}

bool isPrivatePath(std::string_view path) { return privatePlaceOf(path).has_value(); }

std::shared_ptr<const FolderProvider> setFolderProvider(std::shared_ptr<const FolderProvider> provider)
{
    std::lock_guard lock(providerMutex);
    auto previous = std::move(currentProvider);
    currentProvider = std::move(provider);
    return previous;
}

} // namespace platform
