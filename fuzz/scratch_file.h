// A scratch file for fuzz targets whose code under test reads a path: one file per process,
// rewritten in place for every input, and removed with any outputs named beside it at exit.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzzsupport {

struct ScratchFile {
    std::string path;
    std::string output; // path + suffix, for targets that also write a file
    int fd = -1;

    explicit ScratchFile(const char* tag, const char* outputSuffix = nullptr)
    {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/qelta-" + tag + "-fuzz-XXXXXX";
        fd = ::mkstemp(path.data());
        if (fd < 0)
            std::abort();
        if (outputSuffix)
            output = path + outputSuffix;
    }
    ~ScratchFile()
    {
        ::close(fd);
        ::unlink(path.c_str());
        if (!output.empty())
            ::unlink(output.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    void fill(const uint8_t* data, size_t size) const
    {
        if (::ftruncate(fd, 0) != 0)
            std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
    }
};

} // namespace fuzzsupport
