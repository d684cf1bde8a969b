#include "imaging/imagekit.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/library.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct TiffOptions {
    uint16_t compression = COMPRESSION_CCITTFAX4;
    uint32_t group3Options = 0;
    int pages = 3;
    uint32_t width = 1728, height = 40;
    bool withResolution = true;
    float xResolution = 200, yResolution = 100;
    uint16_t unit = RESUNIT_INCH;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1;
    const char* mode = "w"; // libtiff's open mode: "b" big-endian, "8" BigTIFF
};

// Writes pages of stripes through libtiff, as the suite's page writer does.
bool writeTiff(const std::string& path, const TiffOptions& o)
{
    TIFF* tif = TIFFOpen(path.c_str(), o.mode);
    if (!tif)
        return false;
    const size_t rowBytes = (size_t{o.width} * o.bitsPerSample * o.samplesPerPixel + 7) / 8;
    std::vector<unsigned char> row(rowBytes);
    bool ok = true;
    for (int page = 0; page < o.pages && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, o.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, o.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, o.bitsPerSample);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, o.samplesPerPixel);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, o.samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, o.compression);
        if (o.compression == COMPRESSION_CCITTFAX3)
            TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, o.group3Options);
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, o.height);
        if (o.withResolution) {
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, o.unit);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, o.xResolution);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, o.yResolution);
        }
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, o.pages);
        for (uint32_t y = 0; y < o.height && ok; ++y) {
            for (size_t x = 0; x < rowBytes; ++x)
                row[x] = static_cast<unsigned char>(((x + y + page) % 7 == 0) ? 0xf0 : 0x00);
            ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tif) == 1;
    }
    TIFFClose(tif);
    return ok;
}

void putLe16(std::string& s, size_t at, uint16_t v)
{
    s[at] = static_cast<char>(v & 0xff);
    s[at + 1] = static_cast<char>(v >> 8);
}

void putLe32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

uint16_t getLe16(const std::string& s, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}

uint32_t getLe32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// A little-endian TIFF built byte by byte: pages of 8x1 uncompressed pixels that share one strip.
// nextOfLast links the last directory on (0 ends the chain).
std::string handMadeTiff(uint32_t pages, uint32_t stripOffset = 8, uint32_t nextOfLast = 0)
{
    constexpr uint32_t kFirstIfd = 16, kEntries = 8, kIfdSize = 2 + kEntries * 12 + 4;
    std::string s(kFirstIfd + pages * kIfdSize, '\0');
    s.replace(0, 4, "II*\0", 4);
    putLe32(s, 4, kFirstIfd);
    s[8] = '\x5a';
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const Entry entries[kEntries] = {{256, 4, 8}, {257, 4, 1}, {258, 3, 1}, {259, 3, 1},
                                     {262, 3, 0}, {273, 4, stripOffset}, {278, 4, 1}, {279, 4, 1}};
    for (uint32_t p = 0; p < pages; ++p) {
        const uint32_t at = kFirstIfd + p * kIfdSize;
        putLe16(s, at, kEntries);
        for (uint32_t e = 0; e < kEntries; ++e) {
            const uint32_t entry = at + 2 + e * 12;
            putLe16(s, entry, entries[e].tag);
            putLe16(s, entry + 2, entries[e].type);
            putLe32(s, entry + 4, 1);
            if (entries[e].type == 3)
                putLe16(s, entry + 8, static_cast<uint16_t>(entries[e].value));
            else
                putLe32(s, entry + 8, entries[e].value);
        }
        putLe32(s, at + 2 + kEntries * 12, p + 1 < pages ? at + kIfdSize : nextOfLast);
    }
    return s;
}

// A bottom-up 1-bit bitmap with a two-colour palette.
std::string handMadeBmp(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter)
{
    const uint32_t rowBytes = ((static_cast<uint32_t>(width) + 31) / 32) * 4;
    const uint32_t dataOffset = 14 + 40 + 8;
    const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    std::string s(dataOffset + rowBytes * rows, '\0');
    s[0] = 'B';
    s[1] = 'M';
    putLe32(s, 2, static_cast<uint32_t>(s.size()));
    putLe32(s, 10, dataOffset);
    putLe32(s, 14, 40);
    putLe32(s, 18, static_cast<uint32_t>(width));
    putLe32(s, 22, static_cast<uint32_t>(height));
    putLe16(s, 26, 1);
    putLe16(s, 28, 1);
    putLe32(s, 38, static_cast<uint32_t>(xPelsPerMeter));
    putLe32(s, 42, static_cast<uint32_t>(yPelsPerMeter));
    putLe32(s, 46, 2);
    putLe32(s, 58, 0x00ffffff); // palette: black, white
    for (size_t i = dataOffset; i < s.size(); i += 3)
        s[i] = '\x55';
    return s;
}

// The record as IKFileType leaves it, with every byte set beforehand so untouched bytes show.
struct Query {
    int result;
    IKFILEINFO info;
};

Query query(const std::string& path)
{
    Query q;
    std::memset(&q.info, 0xab, sizeof q.info);
    q.result = IKFileType(path.c_str(), 0, &q.info);
    return q;
}

bool isZeroed(const IKFILEINFO& info)
{
    const IKFILEINFO zero{};
    return std::memcmp(&info, &zero, sizeof info) == 0;
}

class FileType : public imaging_test::TempFolder {
protected:
    std::string write(const std::string& name, const std::string& bytes) const
    {
        imaging_test::writeBytes(path(name), bytes);
        return path(name);
    }

    std::string read(const std::string& name) const { return imaging_test::readBytes(path(name)); }

    // Expects IKFileType to refuse the file and leave a zeroed record.
    void expectRefused(const std::string& file) const
    {
        const Query q = query(file);
        EXPECT_EQ(q.result, 0) << file;
        EXPECT_TRUE(isZeroed(q.info)) << file;
    }
};

} // namespace

TEST_F(FileType, FaxTiffsInEveryCompression)
{
    struct Case {
        const char* name;
        uint16_t compression;
        uint32_t group3Options;
    };
    const Case cases[] = {{"g4", COMPRESSION_CCITTFAX4, 0},
                          {"g3-1d", COMPRESSION_CCITTFAX3, 0},
                          {"g3-2d", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING},
                          {"packbits", COMPRESSION_PACKBITS, 0},
                          {"none", COMPRESSION_NONE, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffOptions o;
        o.compression = c.compression;
        o.group3Options = c.group3Options;
        const std::string file = path(std::string(c.name) + ".tif");
        ASSERT_TRUE(writeTiff(file, o));
        const Query q = query(file);
        ASSERT_EQ(q.result, 1);
        EXPECT_EQ(q.info.fileType, IK_FILETYPE_TIFF);
        EXPECT_EQ(q.info.resolution, 200);
        EXPECT_EQ(q.info.yResolution, 100);
        EXPECT_EQ(q.info.width, 1728);
        EXPECT_EQ(q.info.height, 40);
        EXPECT_EQ(q.info.bitsPerPixel, 1);
        EXPECT_EQ(q.info.compression, c.compression);
        EXPECT_EQ(q.info.pageCount, 3);
        EXPECT_EQ(q.info.reserved, 0);
        EXPECT_EQ(q.info.reserved2, 0);
        for (int32_t r : q.info.reserved3)
            EXPECT_EQ(r, 0);
    }
}

TEST_F(FileType, ByteOrdersAndBigTiff)
{
    for (const char* mode : {"wl", "wb", "w8l", "w8b"}) {
        SCOPED_TRACE(mode);
        TiffOptions o;
        o.mode = mode;
        o.compression = mode[1] == '8' ? COMPRESSION_CCITTFAX3 : COMPRESSION_PACKBITS;
        ASSERT_TRUE(writeTiff(path("order.tif"), o));
        const Query q = query(path("order.tif"));
        ASSERT_EQ(q.result, 1);
        EXPECT_EQ(q.info.resolution, 200);
        EXPECT_EQ(q.info.yResolution, 100);
        EXPECT_EQ(q.info.width, 1728);
        EXPECT_EQ(q.info.compression, o.compression);
        EXPECT_EQ(q.info.pageCount, 3);

        const std::string whole = read("order.tif");
        expectRefused(write("order-cut.tif", whole.substr(0, whole.size() - 1)));
    }
}

TEST_F(FileType, TiffResolutionUnitsAndPixelDepth)
{
    TiffOptions centimetres;
    centimetres.unit = RESUNIT_CENTIMETER;
    centimetres.xResolution = 204.0f / 2.54f;
    centimetres.yResolution = 98.0f / 2.54f;
    ASSERT_TRUE(writeTiff(path("cm.tif"), centimetres));
    Query q = query(path("cm.tif"));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.resolution, 204);
    EXPECT_EQ(q.info.yResolution, 98);

    TiffOptions noUnit;
    noUnit.unit = RESUNIT_NONE;
    noUnit.xResolution = 300.4f;
    noUnit.yResolution = 299.6f;
    ASSERT_TRUE(writeTiff(path("none.tif"), noUnit));
    q = query(path("none.tif"));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.resolution, 300);
    EXPECT_EQ(q.info.yResolution, 300);

    TiffOptions missing;
    missing.withResolution = false;
    missing.pages = 1;
    ASSERT_TRUE(writeTiff(path("nores.tif"), missing));
    q = query(path("nores.tif"));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.resolution, 0);
    EXPECT_EQ(q.info.yResolution, 0);
    EXPECT_EQ(q.info.pageCount, 1);

    TiffOptions colour;
    colour.compression = COMPRESSION_PACKBITS;
    colour.bitsPerSample = 8;
    colour.samplesPerPixel = 3;
    colour.width = 31;
    colour.height = 7;
    colour.pages = 2;
    ASSERT_TRUE(writeTiff(path("rgb.tif"), colour));
    q = query(path("rgb.tif"));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.bitsPerPixel, 24);
    EXPECT_EQ(q.info.width, 31);
    EXPECT_EQ(q.info.height, 7);
    EXPECT_EQ(q.info.pageCount, 2);
}

TEST_F(FileType, PageCountOfLongFilesIsClamped)
{
    const Query few = query(write("few.tif", handMadeTiff(5)));
    ASSERT_EQ(few.result, 1);
    EXPECT_EQ(few.info.pageCount, 5);
    EXPECT_EQ(few.info.width, 8);
    EXPECT_EQ(few.info.compression, COMPRESSION_NONE);

    const Query many = query(write("many.tif", handMadeTiff(32768 + 100)));
    ASSERT_EQ(many.result, 1);
    EXPECT_EQ(many.info.pageCount, 32767);
}

TEST_F(FileType, BrokenTiffsAreRefused)
{
    ASSERT_TRUE(writeTiff(path("good.tif"), TiffOptions{}));
    const std::string good = read("good.tif");
    ASSERT_GT(good.size(), 100u);
    expectRefused(write("half.tif", good.substr(0, good.size() / 2)));
    expectRefused(write("header.tif", good.substr(0, 8)));
    expectRefused(write("short.tif", good.substr(0, good.size() - 1)));
    expectRefused(write("magic.tif", good.substr(0, 4)));

    // Directory chains that loop, and strips that lie outside the file.
    expectRefused(write("loop.tif", handMadeTiff(3, 8, 16)));
    expectRefused(write("self.tif", handMadeTiff(1, 8, 16)));
    expectRefused(write("strip.tif", handMadeTiff(2, 1u << 20)));
    // A first directory beyond the end.
    std::string far = handMadeTiff(1);
    putLe32(far, 4, 0x7ffffff0);
    expectRefused(write("far.tif", far));

    // A compression libtiff has no codec for.
    ASSERT_TRUE(writeTiff(path("plain.tif"), TiffOptions{.compression = COMPRESSION_NONE, .pages = 1}));
    std::string unknown = read("plain.tif");
    ASSERT_EQ(unknown.substr(0, 2), "II");
    const uint32_t ifd = getLe32(unknown, 4);
    bool patched = false;
    for (uint32_t e = 0; e < getLe16(unknown, ifd); ++e)
        if (getLe16(unknown, ifd + 2 + e * 12) == TIFFTAG_COMPRESSION) {
            putLe16(unknown, ifd + 2 + e * 12 + 8, 12345);
            patched = true;
        }
    ASSERT_TRUE(patched);
    expectRefused(write("unknown.tif", unknown));
}

// Later pages of a fax file, each changed in one way: counted, or the file refused, as libtiff
// reading every directory would have it.
TEST_F(FileType, LaterPagesHoldTogetherOrTheFileIsRefused)
{
    ASSERT_TRUE(writeTiff(path("fax.tif"), TiffOptions{.pages = 4}));
    const std::string fax = read("fax.tif");
    ASSERT_EQ(fax.substr(0, 2), "II");
    std::vector<uint32_t> ifds{getLe32(fax, 4)};
    while (ifds.size() < 4)
        ifds.push_back(getLe32(fax, ifds.back() + 2 + getLe16(fax, ifds.back()) * 12u));
    // The value field of a tag's entry in the third directory.
    auto valueOf = [&](uint16_t tag) -> size_t {
        for (uint32_t e = 0; e < getLe16(fax, ifds[2]); ++e)
            if (getLe16(fax, ifds[2] + 2 + e * 12) == tag)
                return ifds[2] + 2 + e * 12 + 8;
        ADD_FAILURE() << "no tag " << tag;
        return 0;
    };
    const size_t nextOfThird = ifds[2] + 2 + getLe16(fax, ifds[2]) * 12u;
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
        bool asShort;
        int pages; // 0: refused
    } const cases[] = {
        {"unchanged", valueOf(TIFFTAG_SUBFILETYPE), FILETYPE_PAGE, false, 4},
        {"palette without colours", valueOf(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_PALETTE, true, 0},
        {"strip beyond the end", valueOf(TIFFTAG_STRIPBYTECOUNTS), 1u << 24, false, 0},
        {"strip length missing", valueOf(TIFFTAG_STRIPBYTECOUNTS), 0, false, 4},
        {"no codec", valueOf(TIFFTAG_COMPRESSION), 12345, true, 4},
        {"no height", valueOf(TIFFTAG_IMAGELENGTH), 0, false, 0},
        {"loop", nextOfThird, ifds[1], false, 0},
        {"directory beyond the end", nextOfThird, 0x7ffffff0, false, 0},
    };
    for (const Case& c : cases) {
        std::string bytes = fax;
        if (c.asShort)
            putLe16(bytes, c.at, static_cast<uint16_t>(c.value));
        else
            putLe32(bytes, c.at, c.value);
        const Query q = query(write("changed.tif", bytes));
        EXPECT_EQ(q.result, c.pages ? 1 : 0) << c.name;
        if (c.pages) {
            EXPECT_EQ(q.info.pageCount, c.pages) << c.name;
        }
    }
}

TEST_F(FileType, MonochromeBitmap)
{
    Query q = query(write("fax.bmp", handMadeBmp(37, 20, 7874, 3937)));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.fileType, IK_FILETYPE_BMP);
    EXPECT_EQ(q.info.resolution, 200);
    EXPECT_EQ(q.info.yResolution, 100);
    EXPECT_EQ(q.info.width, 37);
    EXPECT_EQ(q.info.height, 20);
    EXPECT_EQ(q.info.bitsPerPixel, 1);
    EXPECT_EQ(q.info.compression, 0);
    EXPECT_EQ(q.info.pageCount, 1);
    EXPECT_EQ(q.info.reserved, 0);

    q = query(write("topdown.bmp", handMadeBmp(64, -3, 0, -5)));
    ASSERT_EQ(q.result, 1);
    EXPECT_EQ(q.info.height, 3);
    EXPECT_EQ(q.info.resolution, 0);
    EXPECT_EQ(q.info.yResolution, 0);
}

TEST_F(FileType, BrokenBitmapsAreRefused)
{
    const std::string good = handMadeBmp(37, 20, 7874, 7874);
    struct Case {
        const char* name;
        size_t at;
        uint32_t value;
    };
    const Case cases[] = {{"zero width", 18, 0},
                          {"negative width", 18, static_cast<uint32_t>(-5)},
                          {"huge width", 18, 1000001},
                          {"zero height", 22, 0},
                          {"huge height", 22, static_cast<uint32_t>(-1000001)},
                          {"lowest height", 22, 0x80000000u},
                          {"header beyond file", 14, 0x7fffffff},
                          {"short header", 14, 12},
                          {"data beyond file", 10, 0x10000},
                          {"data inside headers", 10, 20},
                          {"rows cut off", 22, 21},
                          {"no bit count", 28, 0},
                          {"odd bit count", 28, 3},
                          {"unknown compression", 30, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        if (c.at == 28)
            putLe16(bad, c.at, static_cast<uint16_t>(c.value));
        else
            putLe32(bad, c.at, c.value);
        expectRefused(write("bad.bmp", bad));
    }
    expectRefused(write("cut.bmp", good.substr(0, good.size() - 1)));
    expectRefused(write("tiny.bmp", good.substr(0, 30)));
}

TEST_F(FileType, WhatIsNoImage)
{
    std::mt19937 random(20240501);
    std::string noise(4096, '\0');
    for (auto& c : noise)
        c = static_cast<char>(random() & 0xff);
    noise[0] = 'x';
    expectRefused(write("noise.bin", noise));
    expectRefused(write("noise-tiff.tif", std::string("II*\0", 4) + noise.substr(4)));
    expectRefused(write("noise-bmp.bmp", "BM" + noise.substr(2)));
    expectRefused(write("empty.tif", ""));
    expectRefused(write("text.txt", "just some text, no picture at all\n"));
    expectRefused(dir_.string());
    expectRefused(path("missing.tif"));
    ASSERT_EQ(::mkfifo(path("pipe.tif").c_str(), 0600), 0);
    expectRefused(path("pipe.tif"));

    IKFILEINFO info;
    std::memset(&info, 0xab, sizeof info);
    EXPECT_EQ(IKFileType(nullptr, 0, &info), 0);
    EXPECT_TRUE(isZeroed(info));
}

TEST_F(FileType, RecordIsOptional)
{
    ASSERT_TRUE(writeTiff(path("g4.tif"), TiffOptions{}));
    EXPECT_EQ(IKFileType(path("g4.tif").c_str(), 0, nullptr), 1);
    EXPECT_EQ(IKFileType(path("missing.tif").c_str(), 0, nullptr), 0);
}

TEST_F(FileType, BoundByNameAsTheSuiteDoes)
{
    ASSERT_TRUE(writeTiff(path("g4.tif"), TiffOptions{}));
    write("fax.bmp", handMadeBmp(37, 20, 7874, 3937));

    const auto library = platform::Library::load("IK6FILE.DLL");
    ASSERT_TRUE(library) << platform::Library::lastError();
    const auto fileType = library->function<IKFileTypeFn>("IKFileType");
    ASSERT_TRUE(fileType);
    for (const char* name : {"g4.tif", "fax.bmp", "missing.tif"}) {
        SCOPED_TRACE(name);
        const Query direct = query(path(name));
        IKFILEINFO bound;
        std::memset(&bound, 0xab, sizeof bound);
        EXPECT_EQ(fileType(path(name).c_str(), 0, &bound), direct.result);
        EXPECT_EQ(std::memcmp(&bound, &direct.info, sizeof bound), 0);
    }
    EXPECT_TRUE(platform::Library::load("ik6com.dll")) << platform::Library::lastError();
}
