#include "platform/files.h"

#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

void setError(std::error_code* error, int err)
{
    if (error)
        *error = std::error_code(err, std::generic_category());
}

std::string tempPrefixFor(const std::string& path) { return "." + fileNameOf(path) + ".tmp-"; }

void syncFolder(const std::string& folder)
{
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
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

bool writeAll(int fd, std::string_view data)
{
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
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

bool isDirectory(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectories(const std::string& path, std::error_code* error)
{
    if (path.empty()) {
        setError(error, ENOENT);
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
            if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, errno);
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::NotFound : ReadStatus::Failed;
    }
    const ReadStatus status = readOpenFile(fd, out, maxBytes, error, stamp);
    ::close(fd);
    return status;
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

ReadStatus readFilePrefix(const std::string& path, std::string& out, size_t maxBytes, std::error_code* error)
{
    out.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        setError(error, errno);
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::NotFound : ReadStatus::Failed;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        setError(error, errno);
        return ReadStatus::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, EINVAL);
        return ReadStatus::Failed;
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

bool writeFileAtomic(const std::string& path, std::string_view content, std::error_code* error)
{
    const std::string folder = parentPath(path);
    auto temp = createTempFile(folder, tempPrefixFor(path), {}, error);
    if (!temp)
        return false;
    const int fd = ::open(temp->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    int err = errno;
    // Keep an existing file's permission bits; a new file gets the usual 0666 less the umask.
    if (ok) {
        struct stat st;
        mode_t mode;
        if (::stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(fd, mode);
    }
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp->c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp->c_str());
        setError(error, err);
        return false;
    }
    syncFolder(folder);
    return true;
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
        if (name.size() == prefix.size() + 6 && name.substr(0, prefix.size()) == prefix)
            ::unlink(joinPath(folder, name).c_str());
    }
    ::closedir(dir);
}

std::optional<std::string> createTempFile(const std::string& folder, std::string_view prefix, std::string_view suffix,
                                          std::error_code* error)
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
    ::close(fd);
    return std::string(buf.data());
}

FileLock::FileLock(const std::string& path)
{
    const std::string lockPath = path + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno == ENOENT && createDirectories(parentPath(lockPath)))
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = std::error_code(errno, std::generic_category());
        return;
    }
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

std::vector<std::string> listFiles(const std::string& folder, std::string_view pattern)
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
        if (::stat(joinPath(folder, name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
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
