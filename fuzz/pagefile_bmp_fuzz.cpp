// BMP files from anywhere, read through pagefilelib: plain rows and RLE8 and RLE4 runs. A page that
// comes back has the size and resolution that IKFileType and the document record tell, and a
// one-bit page written again reads back the same.
#include "fuzz/scratch_file.h"
#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"

#include <cstdint>
#include <cstdlib>

namespace {

IKHANDLE readPage(const char* path)
{
    const PFHANDLE reader = PageFileReadBitmapOpen(path, PF_TYPE_BMP, 1, 0);
    return reader ? PageFileReadBitmapEnd(PF_TYPE_BMP, reader) : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using qelta::imaging::images;
    static fuzzsupport::ScratchFile file("pagefile-bmp", ".out.bmp");
    file.fill(data, size);
    const IKHANDLE bitmap = readPage(file.path.c_str());
    if (!bitmap)
        return 0;
    const auto page = images().find(bitmap);
    if (!page || page->width == 0 || page->pixels.size() != page->stride() * page->height)
        std::abort();
    IKFILEINFO info{};
    PAGEFILEDOCUMENT* doc = PageFileOpenDocument(file.path.c_str());
    if (!doc || IKFileType(file.path.c_str(), 0, &info) != 1 || info.fileType != IK_FILETYPE_BMP
        || static_cast<uint32_t>(info.width) != page->width || static_cast<uint32_t>(info.height) != page->height
        || doc->width != page->width || doc->height != page->height || info.resolution != page->xDpi
        || doc->xDpi != page->xDpi || doc->yDpi != page->yDpi)
        std::abort();
    PageFileCloseDocument(doc);
    if (page->kind == qelta::imaging::PixelKind::Bilevel) {
        const PFHANDLE writer = PageFileWriteBitmapOpen(bitmap, PF_TYPE_BMP, 0, 0, file.output.c_str());
        if (!writer || PageFileWriteEnd(writer, PF_TYPE_BMP) != 1)
            std::abort();
        const IKHANDLE again = readPage(file.output.c_str());
        const auto back = images().find(again);
        if (!back || back->pixels != page->pixels || back->xDpi != page->xDpi)
            std::abort();
        IKFreeMemory(again);
    }
    IKFreeMemory(bitmap);
    return 0;
}
