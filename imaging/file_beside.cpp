#include "imaging/file_beside.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace qelta::imaging {

namespace {

constexpr int kNameAttempts = 100;

// "<folder>/.<name>.<random>.tmp": hidden, and recognisably ours when a crash leaves one behind.
std::string candidateName(const std::string& target)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string base = platform::fileNameOf(target);
    if (base.size() > 64)
        base.resize(64);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    return platform::parentPath(target) + "/." + base + suffix;
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
        if (!platform::writeAll(to, std::string_view(buffer, static_cast<size_t>(n))))
            return false;
    }
}

} // namespace

int openRegularFile(const std::string& path, int flags)
{
    FileDescriptor file(::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Back to blocking reads and writes for the file itself.
    const int status = ::fcntl(file.get(), F_GETFL);
    if (status < 0 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return -1;
    return file.release();
}

bool somethingAt(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}

FileBeside FileBeside::create(const std::string& target)
{
    FileBeside file(target);
    for (int attempt = 0; attempt < kNameAttempts && !file.valid(); ++attempt) {
        std::string candidate = candidateName(target);
        file.file_.reset(::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
        if (file.valid())
            file.path_ = std::move(candidate);
        else if (errno != EEXIST)
            break;
    }
    return file;
}

FileBeside FileBeside::linkOrCopy(const std::string& source, const std::string& target)
{
    FileBeside file(target);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = candidateName(target);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.path_ = std::move(candidate);
            file.linked_ = true;
            file.file_.reset(openRegularFile(file.path_, O_RDWR));
            return file; // a link to something that is no regular file is invalid and removed
        }
        if (errno != EEXIST)
            break; // another file system, or one without links: copy
    }
    FileDescriptor from(openRegularFile(source, O_RDONLY));
    if (from.get() < 0)
        return file;
    FileBeside copy = create(target);
    if (copy.valid() && (!copyContents(from.get(), copy.fd()) || ::lseek(copy.fd(), 0, SEEK_SET) != 0))
        copy.file_.reset();
    return copy;
}

FileBeside::FileBeside(FileBeside&& other) noexcept
    : target_(std::move(other.target_)), path_(std::move(other.path_)), file_(std::move(other.file_)),
      linked_(other.linked_), committed_(other.committed_)
{
    other.path_.clear();
}

FileBeside::~FileBeside()
{
    file_.reset();
    if (!committed_ && !path_.empty())
        ::unlink(path_.c_str());
}

bool FileBeside::commit(bool replace)
{
    if (!valid())
        return false;
    if (replace) {
        if (::rename(path_.c_str(), target_.c_str()) != 0)
            return false;
    } else if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
        // File systems without the no-replace rename: a link fails just as well on an existing name.
        if ((errno != EINVAL && errno != ENOSYS) || ::link(path_.c_str(), target_.c_str()) != 0)
            return false;
        ::unlink(path_.c_str());
    }
    committed_ = true;
    return true;
}

bool readAt(int fd, uint64_t offset, void* buffer, size_t size)
{
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace qelta::imaging
