// The peer of the page benchmarks: every page of a bilevel TIFF decoded and coded again by libtiff
// calls alone, one strip a page, into a new file; no scaling, the sizes stay.
#pragma once

#include <tiffio.h>

#include <string>
#include <vector>

/// Recodes source into target with compression (for CCITT G3 one-dimensional: no options). False
/// when a file cannot be opened or a page not decoded or coded.
inline bool RecodeWithLibtiff(const std::string& source, const std::string& target, uint16_t compression)
{
    TIFF* in = TIFFOpen(source.c_str(), "r");
    TIFF* out = in ? TIFFOpen(target.c_str(), "w") : nullptr;
    bool ok = in && out;
    std::vector<unsigned char> strip;
    while (ok) {
        uint32_t width = 0, height = 0;
        float xDpi = 0, yDpi = 0;
        TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(in, TIFFTAG_XRESOLUTION, &xDpi);
        TIFFGetField(in, TIFFTAG_YRESOLUTION, &yDpi);
        const tmsize_t size = TIFFStripSize(in);
        strip.resize(static_cast<size_t>(size));
        TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
        if (compression == COMPRESSION_CCITTFAX3)
            TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, uint32_t{0});
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, height);
        TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(out, TIFFTAG_XRESOLUTION, xDpi);
        TIFFSetField(out, TIFFTAG_YRESOLUTION, yDpi);
        ok = TIFFNumberOfStrips(in) == 1 && TIFFReadEncodedStrip(in, 0, strip.data(), size) == size
             && TIFFWriteEncodedStrip(out, 0, strip.data(), size) >= 0 && TIFFWriteDirectory(out);
        if (!TIFFReadDirectory(in))
            break;
    }
    if (in)
        TIFFClose(in);
    if (out)
        TIFFClose(out);
    return ok;
}
