// Image files from anywhere: IKFileType reads the bytes from a file, as the suite hands it paths.
// Whatever it accepts must describe at least one page of a real size; its first pages are then
// loaded, saved again and converted into fax pages, which must never fail unsafely.
#include "imaging/imagekit.h"
#include "imaging/sendconvlib.h"

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
    if (IKFileType(file.path.c_str(), 0, &info) != 1)
        return 0;
    if (info.pageCount < 1 || info.width <= 0)
        std::abort();
    static const std::string saved = file.path + ".page.tif";
    static const std::string converted = file.path + ".fax.tif";
    for (int page = 0; page < 3 && page < info.pageCount; ++page) {
        const IKHANDLE image = IKTiffFileLoad(file.path.c_str(), page, 0, "", "", "");
        if (image == 0)
            continue;
        IKTiffFileSave(saved.c_str(), image, IK_COMPRESSION_G4, 0, 1, "Document\rSoftware:fuzz\r", 1, 0, "", "", "");
        if (IKFreeMemory(image) != 1 || IKFreeMemory(image) != 0)
            std::abort();
    }
    char work[SENDCONV_WORK_AREA] = {};
    SENDCONVLIB_Convert(file.path.c_str(), converted.c_str(), "A4", "MMR", 200, 100, work, 0);
    if (work[SENDCONV_WORK_AREA - 1] != '\0')
        std::abort();
    ::unlink(saved.c_str());
    ::unlink(converted.c_str());
    return 0;
}
