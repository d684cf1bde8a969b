#include "platform/files.h"

#include "platform/known_folders.h"
#include "platform/state.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

void setError(std::error_code* error, int err)
{
    if (error)
        *error = std::error_code(err, std::generic_category());
}

constexpr size_t kTempSuffixLength = 6;
constexpr size_t kMaxTempBaseLength = 64; // keeps the temporary's name within the file system's limit

std::string tempPrefixFor(const std::string& path)
{
    std::string base = fileNameOf(path);
    if (base.size() > kMaxTempBaseLength)
        base.resize(kMaxTempBaseLength);
    return "." + base + ".tmp-";
}

// Flushes a file or folder; a folder on a file system that flushes no folders counts as flushed.
bool flushDescriptor(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        struct stat st {};
        return errno == EINVAL && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    }
    return true;
}

bool syncFolder(const std::string& folder)
{
    const FileDescriptor dfd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dfd.valid() && flushDescriptor(dfd.get());
}

std::string randomSuffix()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string out(kTempSuffixLength, 'x');
    for (auto& c : out)
        c = kLetters[random() % (sizeof kLetters - 1)];
    return out;
}

// The modes of what the suite makes in the user's private area: only the user may read or enter it.
constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;
// The most the suite gives what it makes elsewhere, whatever the umask: only the owner may change it.
constexpr mode_t kSharedFileMode = 0644;
constexpr mode_t kSharedFolderMode = 0755;
// What a replaced file's mode may not pass on: writing by group and others.
constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

// Gives a file or folder just opened or made in the private area its private mode, whatever the umask
// left of it and whatever mode it had before. False (errno EACCES) when it is another user's.
bool keepPrivate(int fd, mode_t mode)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return true; // nothing to go by: the caller's next step on fd fails just as well
    if (st.st_uid != ::geteuid()) {
        errno = EACCES;
        return false;
    }
    if ((st.st_mode & 07777) != mode)
        ::fchmod(fd, mode);
    return true;
}

// The home's length in path when the private folder (the first rootLength bytes of path) lies in
// the home; 0 when it lies elsewhere.
size_t homeLengthIn(const std::string& path, size_t rootLength)
{
    std::string home = homeDirectory();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home.size() <= 1 || home.size() >= rootLength || !path.starts_with(home) || path[home.size()] != '/')
        return 0;
    return home.size();
}

// The owner of the first level from the home to the private folder (the folder itself not
// counted) that is not this user's, links followed; nothing when every level is this user's or
// the private folder does not lie in the home.
std::optional<uid_t> ownerAbove(const PrivatePlace& place)
{
    const std::string& path = place.absolute;
    const size_t home = homeLengthIn(path, place.rootLength);
    for (size_t end = home; end != 0 && end < place.rootLength; end = path.find('/', end + 1)) {
        struct stat st {};
        if (::stat(path.substr(0, end).c_str(), &st) != 0)
            return std::nullopt;
        if (st.st_uid != ::geteuid())
            return st.st_uid;
    }
    return std::nullopt;
}

// True when a level of a path in the private area, from its private folder on and as far as the
// path exists, is another user's (a file or link planted while an earlier umask left a folder
// open): the suite neither reads nor writes through it. Past a link of the user's own the path goes
// where the user sent it, and is not looked at further. So for a home of another user's, or a level
// of it above the private folder.
bool othersHold(const PrivatePlace& place)
{
    const std::string& path = place.absolute;
    if (ownerAbove(place))
        return true; // a start under another user with this user's HOME
    for (size_t end = place.rootLength;; end = path.find('/', end + 1)) {
        const std::string level = path.substr(0, std::min(end, path.size()));
        struct stat st {};
        if (!privateCheckStat(level, false, st))
            return false;
        if (st.st_uid != ::geteuid())
            return true;
        if (S_ISLNK(st.st_mode)) {
            if (end != place.rootLength)
                return false;
            // The private folder itself may be a link of the user's: the folder it leads to counts too.
            if (!privateCheckStat(level, true, st))
                return false;
            if (st.st_uid != ::geteuid())
                return true;
        }
        if (end >= path.size())
            return false;
    }
}

// True when the folder path lies in is this user's and only this user may enter or read it (one
// made by keepFolderPrivate, say): what is made there gives others nothing either, should the
// folder be opened later.
bool inFolderOfUserAlone(const std::string& path)
{
    struct stat st {};
    return ::stat(parentPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
           && (st.st_mode & 077) == 0;
}

// Whether path may be used as the private area's rule has it: false (errno EACCES) when another
// user holds a level of it there. own (when given) tells whether what is made at path is this
// user's alone: it lies in the private area or in a folder of this user's alone.
bool mayUse(const std::string& path, bool* own = nullptr)
{
    const auto place = privatePlaceOf(path);
    if (own)
        *own = place.has_value() || inFolderOfUserAlone(path);
    if (place && othersHold(*place)) {
        errno = EACCES;
        return false;
    }
    return true;
}

bool copyContents(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(to, std::string_view(buffer, static_cast<size_t>(n))))
            return false;
    }
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int FileDescriptor::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

namespace {

// Writes all of data through write(p, n, done) -> bytes written or -1, continuing after short writes.
template <typename WriteSome>
bool writeWhole(std::string_view data, WriteSome writeSome)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = writeSome(data.data() + done, data.size() - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = 0; // nothing written, and no error said: errno is not left to tell another call's
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool writeAll(int fd, std::string_view data)
{
    return writeWhole(data, [fd](const char* p, size_t n, size_t) { return ::write(fd, p, n); });
}

bool writeAllAt(int fd, std::string_view data, unsigned long long offset)
{
    return writeWhole(data, [fd, offset](const char* p, size_t n, size_t done) {
        return ::pwrite(fd, p, n, static_cast<off_t>(offset + done));
    });
}

namespace {

// createFile; alone: the file is this user's alone wherever it lies.
FileDescriptor createFileOf(const std::string& path, int flags, bool alone, std::error_code* error)
{
    bool own = false;
    if (!mayUse(path, &own)) {
        setError(error, errno);
        return FileDescriptor();
    }
    own = own || alone;
    FileDescriptor file(::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, own ? kPrivateFileMode : kSharedFileMode));
    if (file.valid() && own && !keepPrivate(file.get(), kPrivateFileMode))
        file.reset();
    if (!file.valid())
        setError(error, errno);
    return file;
}

} // namespace

FileDescriptor createFile(const std::string& path, int flags, std::error_code* error)
{
    return createFileOf(path, flags, false, error);
}

FileDescriptor createOwnFile(const std::string& path, int flags, std::error_code* error)
{
    return createFileOf(path, flags, true, error);
}

bool mayUsePath(const std::string& path) { return mayUse(path); }

FileDescriptor createFileForWriting(const std::string& path, std::error_code* error)
{
    return createFile(path, O_WRONLY | O_TRUNC, error);
}

FileDescriptor createNewFile(const std::string& path, std::error_code* error)
{
    return createFile(path, O_WRONLY | O_EXCL, error);
}

bool syncFile(int fd)
{
    while (::fsync(fd) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool syncFiles(std::span<const int> fds)
{
    // Each flush's outcome: 0, or the error it failed with (errno belongs to the thread that saw it).
    // The data of every file starts on its way at once, before the threads (which may wait for a
    // processor on a busy machine) get to their flushes.
    for (const int fd : fds)
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); // a folder refuses: its flush does it
    std::vector<int> failed(fds.size(), 0);
    auto flushOne = [&failed, &fds](size_t i) { failed[i] = flushDescriptor(fds[i]) ? 0 : (errno != 0 ? errno : EIO); };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < fds.size(); ++i) {
        try {
            threads.emplace_back(flushOne, i);
        } catch (const std::system_error&) {
            flushOne(i); // no thread to be had: this one in turn
        }
    }
    if (!fds.empty())
        flushOne(0);
    for (auto& t : threads)
        t.join();
    for (const int e : failed)
        if (e != 0) {
            errno = e;
            return false;
        }
    return true;
}

FileDescriptor openFolder(const std::string& path, std::error_code* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        setError(error, errno);
    return FileDescriptor(fd);
}

namespace {

// A single path component: not empty, no separator, neither "." nor "..".
bool isSingleComponent(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

int openChildFolder(int parent, const std::string& name)
{
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

HeldFolder HeldFolder::open(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        return HeldFolder(FileDescriptor());
    FileDescriptor folder(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t start = 1; folder.valid() && start < path.size();) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..")
            return HeldFolder(FileDescriptor());
        folder.reset(openChildFolder(folder.get(), name));
    }
    return HeldFolder(std::move(folder));
}

HeldFolder HeldFolder::child(std::string_view name) const
{
    if (!valid() || !isSingleComponent(name))
        return HeldFolder(FileDescriptor());
    return HeldFolder(FileDescriptor(openChildFolder(fd_.get(), std::string(name))));
}

std::vector<std::string> HeldFolder::regularFiles(std::string_view suffix) const
{
    std::vector<std::string> names;
    if (!valid())
        return names;
    // A descriptor of its own: reading the names moves its position and closedir closes it.
    const int listing = ::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return names;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        struct stat st {};
        if (!isSingleComponent(name) || name.size() < suffix.size()
            || !equalsNoCase(name.substr(name.size() - suffix.size()), suffix)
            || ::fstatat(fd_.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool HeldFolder::removeRegularFile(std::string_view name) const
{
    if (!valid() || !isSingleComponent(name))
        return false;
    const std::string entry(name);
    struct stat st {};
    // Removing a name never follows a link: whatever took the name since the check, only the name goes.
    if (::fstatat(fd_.get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    return ::unlinkat(fd_.get(), entry.c_str(), 0) == 0;
}

bool HeldFolder::removeEmptyFolder(std::string_view name) const
{
    if (!valid() || !isSingleComponent(name))
        return false;
    return ::unlinkat(fd_.get(), std::string(name).c_str(), AT_REMOVEDIR) == 0;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string systemErrorText() { return std::strerror(errno ? errno : EIO); }

std::string withSystemError(std::string reason, int error)
{
    if (error != 0)
        reason.append(": ").append(std::strerror(error));
    return reason;
}

std::string nativePath(std::string_view stored)
{
    std::string out(stored);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && out.back() != '/')
        out += '/';
    out.append(name);
    return out;
}

std::string parentPath(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string fileNameOf(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool pathExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool isOwnFolder(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createFolder(const std::string& path, std::error_code* error)
{
    bool own = false;
    if (!mayUse(path, &own) || ::mkdir(path.c_str(), own ? kPrivateFolderMode : kSharedFolderMode) != 0) {
        setError(error, errno);
        return false;
    }
    if (own) {
        // Opened without following a link: what is there now is the folder just made, or nothing is changed.
        const FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.valid())
            keepPrivate(folder.get(), kPrivateFolderMode);
    }
    return true;
}

bool createDirectories(const std::string& path, std::error_code* error)
{
    if (path.empty()) {
        setError(error, ENOENT);
        return false;
    }
    if (isDirectory(path))
        return true;
    // Nothing is made on the way to a folder the suite may not use.
    if (!mayUse(path)) {
        setError(error, errno);
        return false;
    }
    // Walk the components from the shortest prefix to the whole path; every step moves forward,
    // so this ends for every input, relative or absolute, with or without repeated separators.
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        if (next > 0 && next > pos) {
            const std::string prefix = path.substr(0, next);
            if (!createFolder(prefix) && errno != EEXIST) {
                const int err = errno; // isDirectory's stat would overwrite it
                if (!isDirectory(prefix)) {
                    setError(error, err);
                    return false;
                }
            }
        }
        pos = next + 1;
    }
    if (!isDirectory(path)) {
        setError(error, ENOTDIR);
        return false;
    }
    return true;
}

namespace {

// How deep mending goes below the folder it starts at.
constexpr int kMaxMendDepth = 32;
// What a name moved aside gets added: ".foreign", then ".foreign.1" and on when that is taken.
constexpr std::string_view kAsideMark = ".foreign";
constexpr int kMaxAsideNames = 100;

// True for a name that mending gave something moved aside (it is not moved again).
bool isMovedAside(std::string_view name)
{
    while (!name.empty() && name.back() >= '0' && name.back() <= '9')
        name.remove_suffix(1);
    if (name.ends_with('.'))
        name.remove_suffix(1);
    return name.ends_with(kAsideMark);
}

// Moves what another user put at name in the open folder aside to a free name beside it, so that
// no store reads or writes through it, and says so on stderr.
void moveAside(int folder, const std::string& folderPath, const std::string& name, uid_t owner)
{
    const std::string path = joinPath(folderPath, name);
    for (int n = 0; n < kMaxAsideNames; ++n) {
        const std::string aside = name + std::string(kAsideMark) + (n == 0 ? "" : "." + std::to_string(n));
        if (::renameat2(folder, name.c_str(), folder, aside.c_str(), RENAME_NOREPLACE) == 0) {
            std::fprintf(stderr, "qelta: %s belongs to user %u, not to this user: moved aside to %s\n", path.c_str(),
                         static_cast<unsigned>(owner), aside.c_str());
            return;
        }
        if (errno != EEXIST)
            break;
    }
    std::fprintf(stderr, "qelta: %s belongs to user %u, not to this user, and cannot be moved aside: %s\n",
                 path.c_str(), static_cast<unsigned>(owner), std::strerror(errno));
}

// Takes from everything in the open folder, and then from the folder, what others may do, when the
// folder is this user's and others may use it; what another user put there is moved aside. The
// folder comes last: one that a stop left half mended is mended again next time.
void mendFolder(int folder, const std::string& folderPath, int depth)
{
    struct stat st {};
    if (::fstat(folder, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) == 0)
        return;
    // A descriptor of its own: reading the names moves its position and closedir closes it.
    const int listing = depth < kMaxMendDepth ? ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir && listing >= 0)
        ::close(listing);
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (!isSingleComponent(entry->d_name))
            continue;
        struct stat inner {};
        if (::fstatat(folder, entry->d_name, &inner, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (inner.st_uid != ::geteuid()) {
            if (!isMovedAside(entry->d_name))
                moveAside(folder, folderPath, entry->d_name, inner.st_uid);
        } else if (S_ISDIR(inner.st_mode)) {
            const FileDescriptor child(openChildFolder(folder, entry->d_name));
            if (child.valid())
                mendFolder(child.get(), joinPath(folderPath, entry->d_name), depth + 1);
        } else if (S_ISREG(inner.st_mode) && (inner.st_mode & 077) != 0) {
            ::fchmodat(folder, entry->d_name, inner.st_mode & 07700, AT_SYMLINK_NOFOLLOW);
        }
    }
    if (dir)
        ::closedir(dir);
    ::fchmod(folder, st.st_mode & 07700);
}

// Mends the folder at a path as mendFolder does.
void mendFolderAt(const std::string& folder)
{
    // The folder itself may be reached through a link the user made; nothing below it is. One that
    // another user put in the folder's place is moved aside.
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_uid != ::geteuid()) {
        const std::string parent = parentPath(path);
        const FileDescriptor above(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (above.valid())
            moveAside(above.get(), parent, fileNameOf(path), st.st_uid);
        return;
    }
    const FileDescriptor top(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (top.valid())
        mendFolder(top.get(), path, 0);
}

} // namespace

void mendPrivateFolder(const std::string& folder)
{
    const auto place = privatePlaceOf(folder);
    // Only below a private folder that is this user's, in a home of this user's.
    if (place && !othersHold(PrivatePlace{place->absolute.substr(0, place->rootLength), place->rootLength}))
        mendFolderAt(folder);
}

namespace {

// Says on stderr that a folder is another user's and is left as it is, and adds it to foreign.
void leaveForeign(std::vector<ForeignFolder>& foreign, const std::string& path, uid_t owner)
{
    std::fprintf(stderr, "qelta: %s belongs to user %u, not to this user: nothing is changed there\n", path.c_str(),
                 static_cast<unsigned>(owner));
    foreign.push_back({path, static_cast<unsigned>(owner)});
}

} // namespace

std::vector<ForeignFolder> mendPrivateRoots()
{
    std::vector<ForeignFolder> foreign;
    std::vector<std::string> roots{userStateFolder()};
    for (const KnownFolder which : {KnownFolder::AppData, KnownFolder::LocalAppData})
        if (auto folder = knownFolder(which); folder && !folder->empty())
            roots.push_back(*folder);
    for (const std::string& root : roots) {
        const auto place = privatePlaceOf(root);
        if (!place)
            continue;
        const std::string& path = place->absolute;
        if (const auto owner = ownerAbove(*place)) {
            const std::string home = path.substr(0, homeLengthIn(path, place->rootLength));
            if (std::none_of(foreign.begin(), foreign.end(), [&home](const ForeignFolder& f) { return f.path == home; }))
                leaveForeign(foreign, home, *owner);
            continue;
        }
        // From below the home (or from the private folder itself when it lies elsewhere) down to the
        // private folder: what is another user's is moved aside from a parent of this user's and
        // never entered; what is this user's loses writing by others.
        const size_t home = homeLengthIn(path, place->rootLength);
        std::vector<size_t> ends;
        for (size_t end = home == 0 ? place->rootLength : path.find('/', home + 1); end < place->rootLength;
             end = path.find('/', end + 1))
            ends.push_back(end);
        ends.push_back(place->rootLength);
        for (const size_t end : ends) {
            const std::string level = path.substr(0, end);
            struct stat st {};
            if (::lstat(level.c_str(), &st) != 0)
                break;
            if (st.st_uid != ::geteuid()) {
                const std::string parent = parentPath(level);
                struct stat above {};
                const FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                if (folder.valid() && ::fstat(folder.get(), &above) == 0 && above.st_uid == ::geteuid())
                    moveAside(folder.get(), parent, fileNameOf(level), st.st_uid);
                else
                    leaveForeign(foreign, level, st.st_uid);
                break;
            }
            if (S_ISLNK(st.st_mode))
                break; // a link of the user's own: the user sent the folder there
            keepOthersFromWriting(level);
        }
    }
    return foreign;
}

void keepOthersFromWriting(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & kOthersWrite) != 0 && (st.st_mode & S_ISVTX) == 0)
        ::chmod(path.c_str(), st.st_mode & 07777 & ~kOthersWrite);
}

bool keepFolderPrivate(const std::string& path, std::error_code* error)
{
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (!isDirectory(folder)) {
        if (!createDirectories(parentPath(folder), error))
            return false;
        if (::mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
            setError(error, errno);
            return false;
        }
    }
    mendFolderAt(folder);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 077) != 0) {
        setError(error, ::stat(folder.c_str(), &st) == 0 ? EACCES : errno);
        return false;
    }
    return true;
}

namespace {
FileStamp stampOf(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<unsigned long long>(st.st_size);
    s.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.changedNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return s;
}
} // namespace

ReadStatus readFile(const std::string& path, std::string& out, size_t maxBytes, std::error_code* error,
                    FileStamp* stamp)
{
    out.clear();
    const FileDescriptor file(openRegularFile(path, O_RDONLY, error));
    if (!file.valid())
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::NotFound : ReadStatus::Failed;
    return readOpenFile(file.get(), out, maxBytes, error, stamp);
}

ReadStatus readOpenFile(int fd, std::string& out, size_t maxBytes, std::error_code* error, FileStamp* stamp)
{
    out.clear();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        setError(error, errno);
        return ReadStatus::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return ReadStatus::Failed;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        setError(error, EFBIG);
        return ReadStatus::TooLarge;
    }
    if (stamp)
        *stamp = stampOf(st);
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setError(error, errno);
            out.clear();
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) { // grew while we read
            setError(error, EFBIG);
            out.clear();
            return ReadStatus::TooLarge;
        }
        out.append(buf, static_cast<size_t>(n));
        offset += n;
    }
    return ReadStatus::Ok;
}

int openRegularFile(const std::string& path, int flags, std::error_code* error)
{
    if (!mayUse(path)) {
        setError(error, errno);
        return -1;
    }
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer, a device might wait for anything.
    FileDescriptor file(::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0) {
        setError(error, errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        setError(error, errno);
        return -1;
    }
    const int status = ::fcntl(file.get(), F_GETFL);
    if (status < 0 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        setError(error, errno);
        return -1;
    }
    return file.release();
}

FileReplacement::FileReplacement(std::string target) : target_(std::move(target))
{
    const auto temp = knownFolder(KnownFolder::Temp);
    durable_ = !temp || parentPath(target_) != *temp;
}

namespace {

// The file a path finally names when every symbolic link on its last component is followed (the path
// itself when it is no link; a relative link counts from its own folder). Gives up after 40 links.
std::string linkTarget(const std::string& path)
{
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        std::vector<char> buf(4096);
        const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<size_t>(n) >= buf.size())
            return current;
        const std::string link(buf.data(), static_cast<size_t>(n));
        current = link.starts_with('/') ? link : joinPath(parentPath(current), link);
    }
    return current;
}

} // namespace

FileReplacement FileReplacement::create(const std::string& path, std::error_code* error)
{
    bool ownPath = false;
    if (!mayUse(path, &ownPath)) {
        setError(error, errno);
        return FileReplacement(path);
    }
    const std::string target = linkTarget(path);
    FileReplacement file(target);
    const std::string prefix = joinPath(parentPath(target), tempPrefixFor(target));
    // An existing target passes its owner and its mode on, less writing by group and others; a new
    // one gets what the umask leaves of 0644, applied by the kernel (changing the umask would race
    // with other threads). In the user's private area the file is the user's alone either way.
    struct stat st {};
    const bool replacing = ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    bool own = ownPath;
    if (target != path && !mayUse(target, &own)) {
        setError(error, errno);
        return file;
    }
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && !file.valid() && err == EEXIST; ++attempt) {
        std::string candidate = prefix + randomSuffix();
        file.file_.reset(::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW,
                                replacing || own ? kPrivateFileMode : kSharedFileMode));
        err = errno;
        if (file.valid())
            file.path_ = std::move(candidate);
    }
    if (!file.valid()) {
        setError(error, err);
        return file;
    }
    if (replacing && !own) {
        // Owner first: a change of owner clears the set-id bits that the mode then restores.
        if (::fchown(file.fd(), st.st_uid, st.st_gid) != 0 && errno != EPERM) {
            setError(error, errno);
            file.file_.reset();
            return file;
        }
        if (::fchmod(file.fd(), st.st_mode & 07777 & ~kOthersWrite) != 0) {
            setError(error, errno);
            file.file_.reset();
            return file;
        }
    }
    if (own && !keepPrivate(file.fd(), kPrivateFileMode)) {
        setError(error, errno);
        file.file_.reset();
    }
    return file;
}

FileReplacement FileReplacement::linkOrCopy(const std::string& source, const std::string& path)
{
    if (!mayUse(path))
        return FileReplacement(path);
    const std::string target = linkTarget(path);
    FileReplacement file(target);
    const std::string prefix = joinPath(parentPath(target), tempPrefixFor(target));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix + randomSuffix();
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.path_ = std::move(candidate);
            file.linked_ = true;
            file.file_.reset(openRegularFile(file.path_, O_RDWR));
            return file; // a link to something that is no regular file is invalid and removed
        }
        if (errno != EEXIST)
            break; // another file system, or one without links: copy
    }
    const FileDescriptor from(openRegularFile(source, O_RDONLY));
    if (!from.valid())
        return file;
    FileReplacement copy = create(target);
    if (copy.valid() && (!copyContents(from.get(), copy.fd()) || ::lseek(copy.fd(), 0, SEEK_SET) != 0))
        copy.file_.reset();
    return copy;
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : target_(std::move(other.target_)), path_(std::move(other.path_)), file_(std::move(other.file_)),
      linked_(other.linked_), committed_(other.committed_), flushed_(other.flushed_), durable_(other.durable_)
{
    other.path_.clear();
}

FileReplacement::~FileReplacement()
{
    file_.reset();
    if (!committed_ && !path_.empty())
        ::unlink(path_.c_str());
}

bool FileReplacement::flush(std::span<const int> alongWith, std::error_code* error)
{
    if (!valid() || committed_) {
        setError(error, EBADF);
        return false;
    }
    std::vector<int> fds{fd()};
    fds.insert(fds.end(), alongWith.begin(), alongWith.end());
    flushed_ = syncFiles(fds);
    if (!flushed_)
        setError(error, errno);
    return flushed_;
}

bool FileReplacement::commit(bool replace, std::error_code* error)
{
    if (!valid() || committed_) {
        setError(error, EBADF);
        return false;
    }
    if (durable_ && !flushed_ && ::fsync(fd()) != 0) {
        setError(error, errno);
        return false;
    }
    if (replace) {
        if (::rename(path_.c_str(), target_.c_str()) != 0) {
            setError(error, errno);
            return false;
        }
    } else if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
        // File systems without the no-replace rename: a link fails just as well on an existing name.
        if ((errno != EINVAL && errno != ENOSYS) || ::link(path_.c_str(), target_.c_str()) != 0) {
            setError(error, errno);
            return false;
        }
        ::unlink(path_.c_str());
    }
    committed_ = true; // the descriptor stays open for writers that still hold it
    if (durable_)
        syncFolder(parentPath(target_));
    return true;
}

ReadStatus readFilePrefix(const std::string& path, std::string& out, size_t maxBytes, std::error_code* error)
{
    out.clear();
    FileDescriptor fd(openRegularFile(path, O_RDONLY));
    if (!fd.valid()) {
        setError(error, errno);
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::NotFound : ReadStatus::Failed;
    }
    out.resize(maxBytes);
    size_t done = 0;
    while (done < maxBytes) {
        const ssize_t n = ::pread(fd.get(), out.data() + done, maxBytes - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setError(error, errno);
            out.clear();
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return ReadStatus::Ok;
}

bool writeFileAtomic(const std::string& path, std::string_view content, std::error_code* error,
                     std::span<const int> flushAlong)
{
    FileReplacement file = FileReplacement::create(path, error);
    if (!file.valid())
        return false;
    if (!writeAll(file.fd(), content)) {
        setError(error, errno);
        return false;
    }
    if (!flushAlong.empty() && !file.flush(flushAlong, error))
        return false;
    return file.commit(true, error);
}

bool copyFileAtomic(const std::string& source, const std::string& target, std::error_code* error)
{
    const FileDescriptor from(openRegularFile(source, O_RDONLY, error));
    if (!from.valid())
        return false;
    FileReplacement file = FileReplacement::create(target, error);
    if (!file.valid())
        return false;
    if (!copyContents(from.get(), file.fd())) {
        setError(error, errno);
        return false;
    }
    return file.commit(true, error);
}

void removeStaleTemporaries(const std::string& path)
{
    const std::string folder = parentPath(path);
    const std::string prefix = tempPrefixFor(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name.size() == prefix.size() + kTempSuffixLength && name.substr(0, prefix.size()) == prefix)
            ::unlink(joinPath(folder, name).c_str());
    }
    ::closedir(dir);
}

std::optional<std::string> createTempFile(const std::string& folder, std::string_view prefix, std::string_view suffix,
                                          std::error_code* error, FileDescriptor* file)
{
    std::string name = joinPath(folder.empty() ? "." : folder, prefix);
    name += "XXXXXX";
    name.append(suffix);
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    const int fd = ::mkostemps(buf.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) {
        setError(error, errno);
        return std::nullopt;
    }
    if (file)
        file->reset(fd);
    else
        ::close(fd);
    return std::string(buf.data());
}

FileLock::FileLock(const std::string& path)
{
    const std::string lockPath = path + ".lock";
    // Never through a link, and never waiting on a FIFO or device put in the lock file's place.
    const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    fd_ = createFile(lockPath, flags).release();
    if (fd_ < 0 && errno == ENOENT && createDirectories(parentPath(lockPath)))
        fd_ = createFile(lockPath, flags).release();
    if (fd_ < 0) {
        error_ = std::error_code(errno, std::generic_category());
        return;
    }
    lockDescriptor();
}

FileLock FileLock::onFolder(const std::string& folder)
{
    FileLock lock;
    lock.fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock.fd_ < 0) {
        lock.error_ = std::error_code(errno, std::generic_category());
        return lock;
    }
    lock.lockDescriptor();
    return lock;
}

void FileLock::lockDescriptor()
{
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        error_ = std::error_code(errno, std::generic_category());
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FileLock::~FileLock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the description releases the lock
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), error_(other.error_) { other.fd_ = -1; }

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        error_ = other.error_;
        other.fd_ = -1;
    }
    return *this;
}

bool Claims::open()
{
    if (file_.valid())
        return true;
    const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    file_ = createFile(path_, flags);
    if (!file_.valid() && errno == ENOENT && createDirectories(parentPath(path_)))
        file_ = createFile(path_, flags);
    return file_.valid();
}

namespace {

// Open-file-description locks: held per open file, so two objects of one process exclude each other too.
bool lockByte(int fd, short type, unsigned long number)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(number);
    lock.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

} // namespace

bool Claims::claim(unsigned long number) { return open() && lockByte(file_.get(), F_WRLCK, number); }

void Claims::release(unsigned long number)
{
    if (file_.valid())
        lockByte(file_.get(), F_UNLCK, number);
}

bool matchesWildcard(std::string_view name, std::string_view pattern)
{
    // Iterative match with a single backtrack point for the last '*': linear in practice, no recursion.
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    auto same = [](char a, char b) { return equalsNoCase(std::string_view(&a, 1), std::string_view(&b, 1)); };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

namespace {

// Names in folder that match pattern and whose status (lstat when follow is false) passes keep, sorted.
template <typename Keep>
std::vector<std::string> listNames(const std::string& folder, std::string_view pattern, bool follow, Keep keep)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name(e->d_name);
        if (name == "." || name == ".." || !matchesWildcard(name, pattern))
            continue;
        struct stat st;
        const std::string path = joinPath(folder, name);
        if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0 && keep(st))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::vector<std::string> listFiles(const std::string& folder, std::string_view pattern)
{
    return listNames(folder, pattern, true, [](const struct stat& st) { return S_ISREG(st.st_mode); });
}

std::vector<std::string> listFolders(const std::string& folder, std::string_view pattern)
{
    return listNames(folder, pattern, false, [](const struct stat& st) { return S_ISDIR(st.st_mode); });
}

FileStamp fileStamp(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return FileStamp{};
    return stampOf(st);
}

FileStamp openFileStamp(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return FileStamp{};
    return stampOf(st);
}

} // namespace platform
