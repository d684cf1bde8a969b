#include "jobbuilder/tests/support/job_test_support.h"

#include "platform/com.h"
#include "platform/library.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace jobtest {

void registerServer(const char* name)
{
    const auto library = platform::Library::load(name);
    ASSERT_TRUE(library) << name << ": " << platform::Library::lastError();
    const auto registerFn = library->function<DllRegisterServerFn>("DllRegisterServer");
    ASSERT_TRUE(registerFn) << name;
    ASSERT_EQ(registerFn(), S_OK) << name;
}

void writeFaxTiff(const std::string& path, const std::vector<uint32_t>& widths, uint32_t height)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr) << path;
    const auto pages = static_cast<uint16_t>(widths.size());
    for (uint16_t page = 0; page < pages; ++page) {
        const uint32_t width = widths[page];
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, pages);
        std::vector<unsigned char> row((width + 7) / 8);
        for (uint32_t y = 0; y < height; ++y) {
            for (size_t x = 0; x < row.size(); ++x)
                row[x] = static_cast<unsigned char>((x * 7 + y * (page + 3u)) % 11 == 0 ? 0x3c : 0x00);
            ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
        }
        ASSERT_TRUE(TIFFWriteDirectory(tif));
    }
    TIFFClose(tif);
}

void writeFaxTiff(const std::string& path, int pages, uint32_t height)
{
    writeFaxTiff(path, std::vector<uint32_t>(static_cast<size_t>(pages), 1728), height);
}

std::vector<Page> readPages(const std::string& path)
{
    std::vector<Page> pages;
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return pages;
    do {
        Page p;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &p.compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
        TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &p.group3);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xres);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yres);
        std::string row(static_cast<size_t>(TIFFScanlineSize(tif)), '\0');
        for (uint32_t y = 0; y < p.height; ++y) {
            if (TIFFReadScanline(tif, row.data(), y, 0) != 1)
                break;
            p.rows += row;
        }
        pages.push_back(std::move(p));
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

} // namespace jobtest
