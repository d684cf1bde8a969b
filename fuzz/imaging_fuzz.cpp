// Image files from anywhere: IKFileType reads the bytes from a file, as the suite hands it paths.
// Whatever it accepts must describe at least one page of a real size.
#include "fuzz/scratch_file.h"
#include "imaging/imagekit.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::ScratchFile file("imaging");
    file.fill(data, size);
    IKFILEINFO info;
    if (IKFileType(file.path.c_str(), 0, &info) == 1 && (info.pageCount < 1 || info.width <= 0))
        std::abort();
    return 0;
}
