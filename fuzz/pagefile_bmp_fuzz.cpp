// BMP files from anywhere, read through pagefilelib: the header is checked before the image
// loader sees the file. A page that comes back has the size its header gives.
#include "fuzz/scratch_file.h"
#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::ScratchFile file("pagefile-bmp");
    file.fill(data, size);
    const PFHANDLE reader = PageFileReadBitmapOpen(file.path.c_str(), PF_TYPE_BMP, 1, 0);
    if (!reader)
        return 0;
    const IKHANDLE bitmap = PageFileReadBitmapEnd(PF_TYPE_BMP, reader);
    if (bitmap) {
        const auto page = qelta::imaging::images().find(bitmap);
        if (!page || page->width == 0 || page->pixels.size() != page->stride() * page->height)
            std::abort();
        IKFreeMemory(bitmap);
    }
    return 0;
}
