// Test pages written and read straight through libtiff, independent of the code under test.
#pragma once

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace imaging_test {

namespace fs = std::filesystem;

// A bilevel picture, one byte a pixel (1 = black).
struct Bits {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> black;

    Bits() = default;
    Bits(uint32_t w, uint32_t h) : width(w), height(h), black(size_t{w} * h) {}
    bool at(uint32_t x, uint32_t y) const { return black[size_t{y} * width + x] != 0; }
    void set(uint32_t x, uint32_t y, bool b = true) { black[size_t{y} * width + x] = b; }
    bool operator==(const Bits&) const = default;

    // Text and graphics alike: diagonal strokes, dots and a frame, different for every seed.
    static Bits pattern(uint32_t w, uint32_t h, uint32_t seed = 0)
    {
        Bits bits(w, h);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                bits.set(x, y, (x + 2 * y + seed) % 13 < 3 || ((x * 7 + y * 11 + seed) % 29 == 0) || x == 0
                                   || y == h - 1);
        return bits;
    }
};

struct PageFormat {
    uint16_t compression = COMPRESSION_PACKBITS;
    float xDpi = 200, yDpi = 200; // 0: no resolution tags
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
};

// What libtiff finds in one page of a file.
struct ReadPage {
    uint32_t width = 0, height = 0;
    float xDpi = 0, yDpi = 0;
    uint16_t compression = 0, photometric = 0, bitsPerSample = 0, samplesPerPixel = 0;
    uint32_t group3Options = 0;
    uint16_t pageNumber = 0, pageTotal = 0;
    Bits bits;                 // bilevel pages, 1 = black
    std::vector<uint32_t> rgba; // other pages, top down
};

inline void writeBilevelPage(TIFF* tif, const Bits& bits, const PageFormat& format)
{
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t{FILETYPE_PAGE});
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, bits.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, bits.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, format.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, format.compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t{16});
    if (format.xDpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, double{format.xDpi});
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, double{format.yDpi});
    }
    const bool invert = format.photometric == PHOTOMETRIC_MINISBLACK;
    std::vector<uint8_t> row((bits.width + 7) / 8);
    for (uint32_t y = 0; y < bits.height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (uint32_t x = 0; x < bits.width; ++x)
            if (bits.at(x, y) != invert)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    }
    ASSERT_TRUE(TIFFWriteDirectory(tif));
}

// A bilevel TIFF of these pages.
inline void writeBilevel(const std::string& path, const std::vector<Bits>& pages,
                         const PageFormat& format = {})
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_TRUE(tif);
    for (const auto& page : pages)
        writeBilevelPage(tif, page, format);
    TIFFClose(tif);
}

// An 8-bit grey (samples 1) or RGB (samples 3) page, one value or triple a pixel, top down.
inline void writeContone(const std::string& path, uint32_t width, uint32_t height, uint16_t samples,
                         const std::vector<uint8_t>& values, float dpi = 200, uint16_t compression = COMPRESSION_LZW)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_TRUE(tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, double{dpi});
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, double{dpi});
    std::vector<uint8_t> row(size_t{width} * samples);
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(row.size() * y), row.size(), row.begin());
        ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    }
    TIFFClose(tif);
}

// Every page of a TIFF as libtiff decodes it; empty when libtiff cannot open it.
inline std::vector<ReadPage> readTiff(const std::string& path)
{
    std::vector<ReadPage> pages;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return pages;
    do {
        ReadPage p;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xDpi);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yDpi);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bitsPerSample);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samplesPerPixel);
        if (p.compression == COMPRESSION_CCITTFAX3)
            TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &p.group3Options);
        TIFFGetField(tif, TIFFTAG_PAGENUMBER, &p.pageNumber, &p.pageTotal);
        if (p.bitsPerSample == 1 && p.samplesPerPixel == 1) {
            p.bits = Bits(p.width, p.height);
            std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
            const bool invert = p.photometric == PHOTOMETRIC_MINISBLACK;
            for (uint32_t y = 0; y < p.height; ++y) {
                EXPECT_EQ(TIFFReadScanline(tif, row.data(), y, 0), 1);
                for (uint32_t x = 0; x < p.width; ++x)
                    p.bits.set(x, y, (((row[x / 8] >> (7 - x % 8)) & 1) != 0) != invert);
            }
        } else {
            p.rgba.resize(size_t{p.width} * p.height);
            EXPECT_TRUE(TIFFReadRGBAImageOriented(tif, p.width, p.height, p.rgba.data(), ORIENTATION_TOPLEFT, 1));
        }
        pages.push_back(std::move(p));
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

// A 16384 x 16383 bilevel G4 TIFF of a few kilobytes: a black frame on white. Decoded it is 32 MB
// bilevel and far more at any other depth.
inline void writeHugeG4(const std::string& path)
{
    constexpr uint32_t kWidth = 16384, kHeight = 16383;
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kHeight);
    std::vector<uint8_t> edge(kWidth / 8, 0xff), inside(kWidth / 8, 0);
    inside.front() = 0x80;
    inside.back() = 0x01;
    for (uint32_t y = 0; y < kHeight; ++y)
        ASSERT_EQ(TIFFWriteScanline(tiff, (y == 0 || y == kHeight - 1 ? edge : inside).data(), y, 0), 1);
    TIFFClose(tiff);
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes where two strings differ in their common length.
inline size_t differingBytes(const std::string& a, const std::string& b)
{
    size_t n = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += a[i] != b[i];
    return n;
}

// Each test in its own folder.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "qelta-imaging-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Names in the folder, to see that nothing was left behind.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

// ---- BMP files built by hand ----

inline void put16(std::string& s, uint32_t v)
{
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>((v >> 8) & 0xff);
}
inline void put32(std::string& s, uint32_t v)
{
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

// A BMP of `bits` per pixel: colour(x, y) gives an RGB value, palette indexes for depths up to 8.
template <class Colour>
inline std::string makeBmp(uint32_t w, uint32_t h, unsigned bits, const std::vector<uint32_t>& palette, Colour colour)
{
    const uint32_t rowBytes = (w * bits + 31) / 32 * 4;
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
    std::string s = "BM";
    put32(s, offset + rowBytes * h);
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, w);
    put32(s, h);
    put16(s, 1);
    put16(s, bits);
    put32(s, 0);
    put32(s, rowBytes * h);
    put32(s, 7874); // 200 dpi
    put32(s, 7874);
    put32(s, static_cast<uint32_t>(palette.size()));
    put32(s, 0);
    for (const uint32_t rgb : palette)
        put32(s, rgb); // B G R 0 read little-endian from 0x00RRGGBB
    for (uint32_t row = 0; row < h; ++row) {
        const uint32_t y = h - 1 - row; // bottom up
        std::string line(rowBytes, '\0');
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t v = colour(x, y);
            if (bits <= 8)
                line[x * bits / 8] = static_cast<char>(line[x * bits / 8] | (v << (8 - bits - (x * bits) % 8)));
            else
                for (unsigned c = 0; c < bits / 8; ++c)
                    line[x * bits / 8 + c] = static_cast<char>(c < 3 ? (v >> (8 * c)) & 0xff : 0xff);
        }
        s += line;
    }
    return s;
}

} // namespace imaging_test
