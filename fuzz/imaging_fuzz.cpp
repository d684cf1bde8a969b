// Image files from anywhere: IKFileType reads the bytes from a file, as the suite hands it paths.
// Whatever it accepts must describe at least one page of a real size.
#include "imaging/imagekit.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per process, rewritten for every input.
struct ScratchFile {
    std::string path;
    int fd = -1;

    ScratchFile()
    {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/qelta-imaging-fuzz-XXXXXX";
        fd = ::mkstemp(path.data());
        if (fd < 0)
            std::abort();
    }
    ~ScratchFile()
    {
        ::close(fd);
        ::unlink(path.c_str());
    }

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ScratchFile file;
    file.fill(data, size);
    IKFILEINFO info;
    if (IKFileType(file.path.c_str(), 0, &info) == 1 && (info.pageCount < 1 || info.width <= 0))
        std::abort();
    return 0;
}
