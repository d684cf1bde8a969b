// Rows of any content and width through the page writer's PackBits path: the first two bytes give
// the page width, the rest are the rows. libtiff must decode the written strip back to the rows.
#include "fuzz/scratch_file.h"
#include "pagewriter/pagewriter.h"

#include <tiffio.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::ScratchFile scratch("pagewriter", ".tif");
    static const bool quiet = (TIFFSetWarningHandler(nullptr), TIFFSetErrorHandler(nullptr), true);
    (void)quiet;
    if (size < 3)
        return 0;
    const uint32_t width = 1 + ((uint32_t(data[0]) << 8 | data[1]) % 8192);
    const uint32_t rowBytes = (width + 7) / 8;
    const uint8_t* rows = data + 2;
    const uint32_t height = uint32_t((size - 2) / rowBytes);
    if (height == 0)
        return 0;

    PageOutputFile file{};
    file.hFile = -1;
    file.dwWidth = width;
    file.dwHeight = height;
    file.wXResolution = file.wYResolution = 200;
    if (tiffCreateFile(&file, scratch.output.c_str()) != 1
        || tiffAppendPage(&file, rows, uint32_t(size - 2), PAGEWRITER_COMPRESSION_PACKBITS, 1, nullptr) != 1
        || tiffCompleteFile(&file) != 1)
        std::abort();

    TIFF* tif = TIFFOpen(scratch.output.c_str(), "r");
    if (!tif)
        std::abort();
    uint32_t readWidth = 0, readHeight = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &readWidth) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &readHeight)
        || readWidth != width || readHeight != height || TIFFScanlineSize(tif) != tmsize_t(rowBytes))
        std::abort();
    std::vector<uint8_t> row(rowBytes);
    for (uint32_t y = 0; y < height; ++y)
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1 || std::memcmp(row.data(), rows + size_t{y} * rowBytes, rowBytes) != 0)
            std::abort();
    TIFFClose(tif);
    return 0;
}
