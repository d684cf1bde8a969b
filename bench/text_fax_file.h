// A many-page fax file of "text" for the benchmarks that read page files: every page 1-bit at
// 200 dpi, short strokes on every other band of rows, shifted from page to page. G4 pages are one
// strip; other compressions use strips of 64 rows.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

inline void WriteTextFaxFile(const std::string& path, uint16_t compression, uint32_t width, uint32_t height, int pages)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return;
    std::vector<uint8_t> row(width / 8);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, compression == COMPRESSION_CCITTFAX4 ? height : 64u);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, pages);
        for (uint32_t y = 0; y < height; ++y) {
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = (y / 12) % 2 && (i + y / 24 + page) % 5 < 3 ? static_cast<uint8_t>(0x3c >> (y % 3)) : 0;
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}
