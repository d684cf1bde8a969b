// TIFF pages from anywhere: the first pages are loaded (and one saved again) through the imaging
// library, and the whole file is converted to fax pages. Whatever is accepted must come out as a
// readable fax file of the paper's width.
#include "fuzz/scratch_file.h"
#include "imaging/imagekit.h"
#include "imaging/sendconvlib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kPagesLoaded = 4;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::ScratchFile scratch("tiffpage", ".out.tif");
    scratch.fill(data, size);

    for (int page = 0; page < kPagesLoaded; ++page) {
        const IKHANDLE image = IKTiffFileLoad(scratch.path.c_str(), page, 0, nullptr, nullptr, nullptr);
        if (!image)
            break;
        // A page that loads, and whose pixels decode, can be stored again (a fax page is held as it
        // is coded and decoded when its pixels are first needed).
        IKIMAGEINFO facts{};
        if (page == 0 && IKGetImageType(&facts, image, nullptr) == 1
            && IKTiffFileSave(scratch.output.c_str(), image, IK_COMPRESSION_G4, 0, 0, nullptr, 1, 0, nullptr, nullptr,
                              nullptr)
                   != 1)
            std::abort();
        if (IKFreeMemory(image) != 1 || IKFreeMemory(image) != 0)
            std::abort();
    }
    ::unlink(scratch.output.c_str());

    char work[SENDCONV_WORK_AREA];
    std::memset(work, 'x', sizeof work);
    const int result = SENDCONVLIB_Convert(scratch.path.c_str(), scratch.output.c_str(), "A4R", "MR", 200, 100,
                                           work, 0);
    if (std::memchr(work, '\0', sizeof work) == nullptr)
        std::abort();
    if (result == SENDCONV_OK) {
        IKFILEINFO info;
        if (IKFileType(scratch.output.c_str(), 0, &info) != 1 || info.width != 1728 || info.bitsPerPixel != 1
            || info.compression != 3 || info.resolution != 200 || info.yResolution != 100)
            std::abort();
    } else if (result != SENDCONV_E_SOURCE) {
        std::abort(); // the arguments are sound and the scratch folder writable
    }
    ::unlink(scratch.output.c_str());
    return 0;
}
