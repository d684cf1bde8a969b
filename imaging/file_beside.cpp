#include "imaging/file_beside.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qelta::imaging {

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
