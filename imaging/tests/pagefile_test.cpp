// pagefilelib through its exported entries: every type and compression written and read back,
// what libtiff finds in our TIFFs, detection, hostile headers, documents, plain files and codes.
#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"
#include "imaging/tests/tiff_pages_support.h"

#include <gmock/gmock.h>

#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <set>

namespace {

using namespace imaging_test;
using qelta::imaging::images;
using qelta::imaging::Page;
using qelta::imaging::PixelKind;

// ---- files built by hand, independent of the code under test ----

// A PCX of 8 bits with a palette (planes 1) or 24 bits (planes 3); every byte coded as a pair.
std::string makePcx(uint32_t w, uint32_t h, unsigned planes, const std::vector<uint8_t>& plain,
                    const std::string& palette768 = {})
{
    std::string s(128, '\0');
    s[0] = 0x0a;
    s[1] = 5;
    s[2] = 1;
    s[3] = 8;
    s[8] = static_cast<char>((w - 1) & 0xff);
    s[9] = static_cast<char>((w - 1) >> 8);
    s[10] = static_cast<char>((h - 1) & 0xff);
    s[11] = static_cast<char>((h - 1) >> 8);
    s[65] = static_cast<char>(planes);
    s[66] = static_cast<char>(w & 0xff);
    s[67] = static_cast<char>(w >> 8);
    for (const uint8_t b : plain) {
        s += static_cast<char>(0xc1);
        s += static_cast<char>(b);
    }
    if (planes == 1)
        s += '\x0c' + palette768;
    return s;
}

// A BMP with the given header size (12: the OS/2 core header, else 40), depth, compression and
// resolution, palette entries (0x00RRGGBB) and pixel bytes as stored.
std::string rawBmp(uint32_t headerSize, uint32_t w, uint32_t h, unsigned bits, uint32_t compression,
                   uint32_t pelsPerMetre, const std::vector<uint32_t>& palette, const std::string& pixels)
{
    const bool core = headerSize == 12;
    const uint32_t offset = 14 + headerSize + static_cast<uint32_t>(palette.size()) * (core ? 3 : 4);
    std::string s = "BM";
    put32(s, offset + static_cast<uint32_t>(pixels.size()));
    put32(s, 0);
    put32(s, offset);
    put32(s, headerSize);
    if (core) {
        put16(s, w);
        put16(s, h);
        put16(s, 1);
        put16(s, bits);
    } else {
        for (const uint32_t v : {w, h})
            put32(s, v);
        put16(s, 1);
        put16(s, bits);
        for (const uint32_t v : {compression, static_cast<uint32_t>(pixels.size()), pelsPerMetre, pelsPerMetre,
                                 static_cast<uint32_t>(palette.size()), 0u})
            put32(s, v);
    }
    s.resize(14 + headerSize, '\0'); // a longer header's further fields: none
    for (const uint32_t rgb : palette) {
        s += {static_cast<char>(rgb & 0xff), static_cast<char>((rgb >> 8) & 0xff), static_cast<char>(rgb >> 16)};
        if (!core)
            s += '\0';
    }
    return s + pixels;
}

// A PCX of `planes` planes of `bits` bits, index(x, y) into the header's 16 colours, each line run-length
// coded on its own.
template <class Index>
std::string makeIndexedPcx(uint32_t w, uint32_t h, unsigned bits, unsigned planes, const std::vector<uint32_t>& colours,
                           Index index)
{
    std::string s(128, '\0');
    s[0] = 0x0a;
    s[1] = 5;
    s[2] = 1;
    s[3] = static_cast<char>(bits);
    s[8] = static_cast<char>(w - 1);
    s[10] = static_cast<char>(h - 1);
    for (size_t i = 0; i < colours.size(); ++i)
        for (unsigned c = 0; c < 3; ++c)
            s[16 + i * 3 + c] = static_cast<char>(colours[i] >> (16 - 8 * c));
    s[65] = static_cast<char>(planes);
    const uint32_t lineBytes = ((w * bits + 7) / 8 + 1) & ~1u;
    s[66] = static_cast<char>(lineBytes);
    for (uint32_t y = 0; y < h; ++y)
        for (unsigned p = 0; p < planes; ++p) {
            std::string line(lineBytes, '\0');
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t v = planes > 1 ? (index(x, y) >> p) & 1 : index(x, y);
                const uint32_t bit = x * bits;
                line[bit / 8] = static_cast<char>(line[bit / 8] | (v << (8 - bits - bit % 8)));
            }
            for (size_t i = 0; i < line.size();) {
                size_t run = 1;
                while (i + run < line.size() && run < 63 && line[i + run] == line[i])
                    ++run;
                if (run > 1 || (line[i] & 0xc0) == 0xc0)
                    s += static_cast<char>(0xc0 | run);
                s += line[i];
                i += run;
            }
        }
    return s;
}

Bits bitsOf(const Page& page)
{
    Bits bits(page.width, page.height);
    for (uint32_t y = 0; y < page.height; ++y)
        for (uint32_t x = 0; x < page.width; ++x)
            bits.set(x, y, qelta::imaging::bitAt(page.row(y), x));
    return bits;
}

class PageFile : public TempFolder {
protected:
    IKHANDLE load(const Bits& bits, float dpi = 200)
    {
        const std::string file = path("source-" + std::to_string(sources_++) + ".tif");
        PageFormat format;
        format.xDpi = format.yDpi = dpi;
        writeBilevel(file, {bits}, format);
        return IKTiffFileLoad(file.c_str(), 0, 0, nullptr, nullptr, nullptr);
    }

    // Writes the bitmaps through the stepped writer; the error code.
    int write(const std::vector<IKHANDLE>& bitmaps, int type, int compression, int append, const std::string& file)
    {
        const PFHANDLE writer = PageFileWriteBitmapsOpen(bitmaps.data(), type, compression, append,
                                                         static_cast<int32_t>(bitmaps.size()), file.c_str(), 7);
        if (!writer)
            return PageFileGetLastError();
        while (PageFileWriteStep(writer, type) != 0) {
        }
        if (PageFileGetLastError() != 0) {
            PageFileWriteEnd(writer, type);
            return PageFileGetLastError();
        }
        PageFileWriteEnd(writer, type);
        return PageFileGetLastError();
    }

    // Every page of the file, read one by one as the viewer does, each reader given the one before.
    std::vector<std::shared_ptr<const Page>> readAll(const std::string& file, int type, int pages, int* error = nullptr)
    {
        std::vector<std::shared_ptr<const Page>> out;
        PFHANDLE previous = 0;
        for (int page = 1; page <= pages; ++page) {
            const PFHANDLE reader = PageFileReadPagesOpen(file.c_str(), type, page, 1, previous, 0);
            if (!reader)
                break;
            while (PageFileReadStep(type, reader) != 0 && PageFileReadPagesYield(type, reader) != 0) {
            }
            IKHANDLE bitmap = 0;
            const int stored = PageFileReadPagesEnd(type, reader, &bitmap, 0);
            if (PageFileGetLastError() != 0 || stored != 1)
                break;
            out.push_back(images().find(bitmap));
            IKFreeMemory(bitmap);
            previous = reader;
        }
        if (error)
            *error = PageFileGetLastError();
        return out;
    }

    int sources_ = 0;
};

// ---- every type and compression ----

TEST_F(PageFile, EveryTypeAndCompressionReadsBackTheSamePixels)
{
    struct Case {
        int type, compression;
        bool multiPage;
        uint16_t tiffCompression; // 0: no TIFF
        uint32_t group3Options;
    };
    const Case cases[] = {
        {PF_TYPE_BMP, 0, false, 0, 0},
        {PF_TYPE_PCX, 0, false, 0, 0},
        {PF_TYPE_FAX, 0, true, 0, 0},
        {PF_TYPE_TIFF, PF_COMPRESSION_NONE, true, COMPRESSION_NONE, 0},
        {PF_TYPE_TIFF, PF_COMPRESSION_MH, true, COMPRESSION_CCITTRLE, 0},
        {PF_TYPE_TIFF, PF_COMPRESSION_G3_MH, true, COMPRESSION_CCITTFAX3, 0},
        {PF_TYPE_TIFF, PF_COMPRESSION_G3_MR, true, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING},
        {PF_TYPE_TIFF, PF_COMPRESSION_CLASS_F, true, COMPRESSION_CCITTFAX3, GROUP3OPT_FILLBITS},
        {PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, true, COMPRESSION_PACKBITS, 0},
        {PF_TYPE_DOCUMENT, PF_COMPRESSION_PACKBITS, true, COMPRESSION_PACKBITS, 0},
    };
    const Bits first = Bits::pattern(203, 61, 1), second = Bits::pattern(1728, 40, 2);
    const IKHANDLE a = load(first), b = load(second);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " compression " << c.compression);
        const std::string file = path("out-" + std::to_string(c.type) + "-" + std::to_string(c.compression));
        std::vector<IKHANDLE> pages = {a};
        if (c.multiPage)
            pages.push_back(b);
        ASSERT_EQ(write(pages, c.type, c.compression, 0, file), 0);
        EXPECT_EQ(PageFileGetType(file.c_str()), c.type == PF_TYPE_DOCUMENT ? PF_TYPE_TIFF : c.type);
        if (c.type == PF_TYPE_FAX) {
            EXPECT_EQ(PageFileCountFaxPages(file.c_str()), 2);
        } else if (c.type == PF_TYPE_TIFF) {
            EXPECT_EQ(PageFileCountTiffPages(file.c_str()), 2);
        } else if (c.type == PF_TYPE_DOCUMENT) {
            EXPECT_EQ(PageFileCountDocumentPages(file.c_str()), 2);
        }

        const auto read = readAll(file, c.type, static_cast<int>(pages.size()));
        ASSERT_EQ(read.size(), pages.size());
        EXPECT_EQ(bitsOf(*read[0]), first);
        EXPECT_NEAR(read[0]->xDpi, 200, 0.5);
        EXPECT_NEAR(read[0]->yDpi, 200, 0.5);
        if (c.multiPage) {
            EXPECT_EQ(bitsOf(*read[1]), second);
        }

        if (c.tiffCompression) {
            const auto tiff = readTiff(file);
            ASSERT_EQ(tiff.size(), 2u);
            for (size_t i = 0; i < tiff.size(); ++i) {
                EXPECT_EQ(tiff[i].compression, c.tiffCompression);
                EXPECT_EQ(tiff[i].group3Options, c.group3Options);
                EXPECT_EQ(tiff[i].photometric, PHOTOMETRIC_MINISWHITE);
                EXPECT_EQ(tiff[i].xDpi, 200);
                EXPECT_EQ(tiff[i].pageNumber, i);
                EXPECT_EQ(tiff[i].pageTotal, 2);
            }
            EXPECT_EQ(tiff[0].bits, first);
            EXPECT_EQ(tiff[1].bits, second);
            TIFF* tif = TIFFOpen(file.c_str(), "r");
            ASSERT_TRUE(tif);
            uint16_t clean = 0;
            EXPECT_EQ(TIFFGetField(tif, TIFFTAG_CLEANFAXDATA, &clean) == 1, c.compression == PF_COMPRESSION_CLASS_F);
            TIFFClose(tif);
        }
        if (c.type == PF_TYPE_BMP || c.type == PF_TYPE_PCX) {
            const std::string bytes = readBytes(file);
            ASSERT_GT(bytes.size(), 30u);
            EXPECT_EQ(bytes[c.type == PF_TYPE_BMP ? 28 : 3], 1) << "one bit a pixel";
        }
    }
    IKFreeMemory(a);
    IKFreeMemory(b);
}

TEST_F(PageFile, ColourFilesReadAsRgb)
{
    const auto colour = [](uint32_t x, uint32_t y) { return (x * 40u) << 16 | (y * 50u) << 8 | ((x + y) * 20u); };
    std::vector<uint32_t> palette16, palette256;
    for (uint32_t i = 0; i < 16; ++i)
        palette16.push_back(i * 0x101010u);
    for (uint32_t i = 0; i < 256; ++i)
        palette256.push_back(i << 16 | (255 - i) << 8 | (i / 2));
    std::string pcxPalette;
    for (uint32_t i = 0; i < 256; ++i)
        pcxPalette += {static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(i / 2)};
    std::vector<uint32_t> headerColours;
    for (uint32_t i = 0; i < 16; ++i)
        headerColours.push_back((i * 17) << 16 | (255 - i * 17) << 8 | (i * 5));
    const uint32_t w = 5, h = 3;
    const std::string rle8("\x05\x01\x00\x00"                 // bottom row: 5 x colour 1, end of line
                           "\x00\x03\x02\x03\x04\x00"         // 2 3 4 as they are, padded
                           "\x00\x02\x01\x01"                 // 1 right and 1 up
                           "\x01\x06\x00\x01",                // 1 x colour 6, end of bitmap
                           18);
    const uint8_t rle8Indexes[3][5] = {{0, 0, 0, 0, 6}, {2, 3, 4, 0, 0}, {1, 1, 1, 1, 1}};
    const std::string rle4("\x05\x12\x00\x00"                 // bottom row: 1 2 1 2 1
                           "\x00\x03\x34\x50\x02\x67\x00\x00" // 3 4 5 as they are, then 6 7
                           "\x00\x05\x89\xab\xc0\x00\x00\x01", // 8 to 12 as they are, padded; end
                           20);
    const uint8_t rle4Indexes[3][5] = {{8, 9, 10, 11, 12}, {3, 4, 5, 6, 7}, {1, 2, 1, 2, 1}};
    std::vector<uint8_t> indexes, planes;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            indexes.push_back(static_cast<uint8_t>(x * 50 + y));
    for (uint32_t y = 0; y < h; ++y)
        for (unsigned c = 0; c < 3; ++c)
            for (uint32_t x = 0; x < w; ++x)
                planes.push_back(static_cast<uint8_t>(colour(x, y) >> (16 - 8 * c)));

    struct Case {
        std::string name, bytes;
        int type;
        std::function<uint32_t(uint32_t, uint32_t)> expected; // 0xRRGGBB
        uint16_t colours;
    };
    const Case cases[] = {
        {"c4.bmp", makeBmp(w, h, 4, palette16, [](uint32_t x, uint32_t y) { return (x + 3 * y) % 16; }),
         PF_TYPE_BMP, [](uint32_t x, uint32_t y) { return ((x + 3 * y) % 16) * 0x111111u & 0xf0f0f0u; }, 16},
        {"c8.bmp", makeBmp(w, h, 8, palette256, [](uint32_t x, uint32_t y) { return x * 50 + y; }), PF_TYPE_BMP,
         [&](uint32_t x, uint32_t y) { return palette256[x * 50 + y]; }, 256},
        {"c24.bmp", makeBmp(w, h, 24, {}, colour), PF_TYPE_BMP, colour, 0},
        {"c32.bmp", makeBmp(w, h, 32, {}, colour), PF_TYPE_BMP, colour, 0},
        {"c8.pcx", makePcx(w, h, 1, indexes, pcxPalette), PF_TYPE_PCX,
         [&](uint32_t x, uint32_t y) { return palette256[x * 50 + y]; }, 256},
        {"c24.pcx", makePcx(w, h, 3, planes), PF_TYPE_PCX, colour, 0},
        // Runs, pixels stored as they are (padded to a word), jumps over pixels left in colour 0,
        // end of line and end of bitmap; rows bottom up.
        {"rle8.bmp", rawBmp(40, w, h, 8, 1, 7874, palette256, rle8), PF_TYPE_BMP,
         [&](uint32_t x, uint32_t y) { return palette256[rle8Indexes[y][x]]; }, 256},
        {"rle4.bmp", rawBmp(40, w, h, 4, 2, 7874, palette16, rle4), PF_TYPE_BMP,
         [&](uint32_t x, uint32_t y) { return palette16[rle4Indexes[y][x]]; }, 16},
        {"planes16.pcx",
         makeIndexedPcx(w, h, 1, 4, headerColours, [](uint32_t x, uint32_t y) { return (x + 3 * y) % 16; }),
         PF_TYPE_PCX, [&](uint32_t x, uint32_t y) { return headerColours[(x + 3 * y) % 16]; }, 16},
        {"planes8.pcx",
         makeIndexedPcx(w, h, 1, 3, headerColours, [](uint32_t x, uint32_t y) { return (x + 2 * y) % 8; }),
         PF_TYPE_PCX, [&](uint32_t x, uint32_t y) { return headerColours[(x + 2 * y) % 8]; }, 8},
        {"packed2.pcx", makeIndexedPcx(w, h, 2, 1, headerColours, [](uint32_t x, uint32_t y) { return (x + y) % 4; }),
         PF_TYPE_PCX, [&](uint32_t x, uint32_t y) { return headerColours[(x + y) % 4]; }, 4},
        {"packed4.pcx",
         makeIndexedPcx(w, h, 4, 1, headerColours, [](uint32_t x, uint32_t y) { return (2 * x + y) % 16; }),
         PF_TYPE_PCX, [&](uint32_t x, uint32_t y) { return headerColours[(2 * x + y) % 16]; }, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path(c.name), c.bytes);
        EXPECT_EQ(PageFileGetType(path(c.name).c_str()), c.type);
        const PFHANDLE reader = PageFileReadBitmapOpen(path(c.name).c_str(), c.type, 1, 0);
        ASSERT_NE(reader, 0u) << PageFileGetLastError();
        EXPECT_EQ(PageFileReadStep(c.type, reader), 0);
        const IKHANDLE bitmap = PageFileReadBitmapEnd(c.type, reader);
        ASSERT_NE(bitmap, 0u) << PageFileGetLastError();
        const auto page = images().find(bitmap);
        ASSERT_EQ(page->kind, PixelKind::Rgb);
        ASSERT_EQ(page->width, w);
        ASSERT_EQ(page->height, h);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* p = page->row(y) + x * 3;
                EXPECT_EQ(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2], c.expected(x, y)) << x << "," << y;
            }
        IKFreeMemory(bitmap);
        PAGEFILEDOCUMENT* doc = PageFileOpenDocument(path(c.name).c_str());
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->colours, c.colours);
        EXPECT_EQ(doc->width, w);
        PageFileCloseDocument(doc);
    }

    // A colour TIFF comes as RGB too.
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (unsigned c = 0; c < 3; ++c)
                rgb.push_back(static_cast<uint8_t>(colour(x, y) >> (16 - 8 * c)));
    writeContone(path("rgb.tif"), w, h, 3, rgb);
    const PFHANDLE reader = PageFileReadBitmapOpen(path("rgb.tif").c_str(), PF_TYPE_TIFF, 1, 0);
    const IKHANDLE bitmap = PageFileReadBitmapEnd(PF_TYPE_TIFF, reader);
    ASSERT_NE(bitmap, 0u);
    const auto page = images().find(bitmap);
    ASSERT_EQ(page->kind, PixelKind::Rgb);
    EXPECT_EQ(page->pixels, rgb);
    IKFreeMemory(bitmap);
}

// The facts that files of other programs give (no resolution, an OS/2 header, a compression the
// library has no code for) read the same through IKFileType, the document record and the page.
TEST_F(PageFile, FilesOfOtherProgramsTellTheSameFactsEverywhere)
{
    const Bits bits = Bits::pattern(37, 5, 4);
    std::string monoRows; // bottom up, padded to 4 bytes, a set bit black (colour 1)
    for (uint32_t y = bits.height; y-- > 0;) {
        std::string line(8, '\0');
        for (uint32_t x = 0; x < bits.width; ++x)
            if (bits.at(x, y))
                line[x / 8] = static_cast<char>(line[x / 8] | (0x80 >> (x % 8)));
        monoRows += line;
    }
    const std::string bgrRows("\x00\x00\xff\x00\xff\x00\xff\x00\x00\x00\x00\x00" // bottom: red green blue
                              "\xff\xff\xff\x00\x00\x00\x80\x80\x80\x00\x00\x00",
                              24);
    const std::vector<uint8_t> bgrPixels = {255, 255, 255, 0, 0, 0, 128, 128, 128,
                                            255, 0, 0, 0, 255, 0, 0, 0, 255};
    writeBytes(path("plain.bmp"), rawBmp(40, 37, 5, 1, 0, 0, {0xffffff, 0}, monoRows));
    writeBytes(path("os2.bmp"), rawBmp(12, 37, 5, 1, 0, 0, {0xffffff, 0}, monoRows));
    writeBytes(path("v5.bmp"), rawBmp(124, 3, 2, 24, 0, 0, {}, bgrRows));
    PageFormat deflate;
    deflate.compression = COMPRESSION_ADOBE_DEFLATE;
    writeBilevel(path("deflate.tif"), {bits}, deflate);
    std::vector<uint8_t> photo;
    for (uint32_t i = 0; i < 32 * 16; ++i)
        for (const uint32_t c : {i % 32 * 8, i / 32 * 16, 128u})
            photo.push_back(static_cast<uint8_t>(c));
    ASSERT_TRUE(TIFFIsCODECConfigured(COMPRESSION_JPEG));
    writeContone(path("jpeg.tif"), 32, 16, 3, photo, 300, COMPRESSION_JPEG);
    writeContone(path("lzw.tif"), 32, 16, 3, photo, 300, COMPRESSION_LZW);
    auto decoded = [this](const std::string& name) { // what libtiff makes of a colour page
        std::vector<uint8_t> rgb;
        const auto pages = readTiff(path(name));
        for (const uint32_t abgr : pages.at(0).rgba)
            rgb.insert(rgb.end(), {static_cast<uint8_t>(TIFFGetR(abgr)), static_cast<uint8_t>(TIFFGetG(abgr)),
                                   static_cast<uint8_t>(TIFFGetB(abgr))});
        return rgb;
    };

    struct Case {
        std::string name;
        int type, bitsPerPixel;
        uint16_t dpi, compression; // the document record's; 0: none, or no code of this library
        Bits bits;                 // bilevel pages
        std::vector<uint8_t> rgb;  // colour pages
    };
    const Case cases[] = {
        {"plain.bmp", PF_TYPE_BMP, 1, 0, 0, bits, {}},          // netpbm: no resolution
        {"os2.bmp", PF_TYPE_BMP, 1, 0, 0, bits, {}},            // netpbm -os2: the 12-byte core header
        {"v5.bmp", PF_TYPE_BMP, 24, 0, 0, {}, bgrPixels},       // ImageMagick: the 124-byte header
        {"deflate.tif", PF_TYPE_TIFF, 1, 200, 0, bits, {}},     // tiffcp -c zip
        {"jpeg.tif", PF_TYPE_TIFF, 24, 300, 0, {}, decoded("jpeg.tif")}, // tiffcp -c jpeg
        {"lzw.tif", PF_TYPE_TIFF, 24, 300, 0, {}, decoded("lzw.tif")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        IKFILEINFO info{};
        EXPECT_EQ(IKFileType(file.c_str(), 0, &info), 1);
        EXPECT_EQ(info.fileType, c.type == PF_TYPE_BMP ? IK_FILETYPE_BMP : IK_FILETYPE_TIFF);
        EXPECT_EQ(info.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(info.resolution, c.dpi);
        EXPECT_EQ(info.yResolution, c.dpi);

        PAGEFILEDOCUMENT* doc = PageFileOpenDocument(file.c_str());
        ASSERT_TRUE(doc) << PageFileGetLastError();
        EXPECT_EQ(doc->fileType, c.type);
        EXPECT_EQ(doc->compression, c.compression);
        EXPECT_EQ(doc->xDpi, c.dpi);
        EXPECT_EQ(doc->yDpi, c.dpi);
        EXPECT_EQ(static_cast<int32_t>(doc->width), info.width);
        PageFileCloseDocument(doc);

        const auto read = readAll(file, c.type, 1);
        ASSERT_EQ(read.size(), 1u) << PageFileGetLastError();
        EXPECT_EQ(read[0]->xDpi, c.dpi);
        EXPECT_EQ(read[0]->yDpi, c.dpi);
        if (c.rgb.empty()) {
            EXPECT_EQ(bitsOf(*read[0]), c.bits);
        } else {
            ASSERT_EQ(read[0]->kind, PixelKind::Rgb);
            EXPECT_EQ(read[0]->pixels, c.rgb);
        }
    }
}

// ---- the FAX layout ----

TEST_F(PageFile, FaxFileLayoutIsPinnedByteForByte)
{
    Bits bits(16, 2);
    for (uint32_t x = 0; x < 4; ++x)
        bits.set(x, 1);
    const IKHANDLE image = load(bits);
    ASSERT_EQ(write({image}, PF_TYPE_FAX, 0, 0, path("pin.fax")), 0);
    const std::string expected = std::string("QFAX") + std::string("\x01\x00\x01\x00\x00\x00\x00\x00", 8)
                                 + std::string("\x10\x00\x00\x00\x02\x00\x00\x00\xc8\x00\xc8\x00\x04\x00\x00\x00"
                                               "\x00\x00\x00\x00",
                                               20)
                                 // white 16; then white 0, black 4, white 12; each row padded to a byte
                                 + std::string("\xa8\x35\x64\x00", 4);
    EXPECT_EQ(readBytes(path("pin.fax")), expected);

    // Appending keeps the first page's bytes and adds the second after them.
    ASSERT_EQ(write({image}, PF_TYPE_FAX, 0, 1, path("pin.fax")), 0);
    const std::string twice = readBytes(path("pin.fax"));
    EXPECT_EQ(twice.substr(0, 6), std::string("QFAX\x01\x00", 6));
    EXPECT_EQ(twice[6], 2);
    EXPECT_EQ(twice.substr(12), expected.substr(12) + expected.substr(12));
    IKFreeMemory(image);
}

TEST_F(PageFile, ModifiedHuffmanRowsEndingOnAByteBoundaryReadBack)
{
    // White 14 then black 2: the row's last code ends exactly at its last byte, where libtiff's
    // decoder would otherwise read past the data and call the page damaged.
    Bits bits(16, 2);
    for (uint32_t y = 0; y < 2; ++y)
        bits.set(14, y), bits.set(15, y);
    const IKHANDLE image = load(bits);
    for (const int type : {PF_TYPE_FAX, PF_TYPE_TIFF}) {
        const std::string file = path("edge-" + std::to_string(type));
        ASSERT_EQ(write({image}, type, PF_COMPRESSION_MH, 0, file), 0);
        const auto read = readAll(file, type, 1);
        ASSERT_EQ(read.size(), 1u) << type;
        EXPECT_EQ(bitsOf(*read[0]), bits);
    }
    EXPECT_EQ(readTiff(path("edge-2")).at(0).bits, bits);
    IKFreeMemory(image);
}

// ---- detection and hostile files ----

TEST_F(PageFile, DetectsTypesByContent)
{
    const IKHANDLE image = load(Bits::pattern(40, 20));
    ASSERT_EQ(write({image}, PF_TYPE_BMP, 0, 0, path("bmp.txt")), 0);
    ASSERT_EQ(write({image}, PF_TYPE_PCX, 0, 0, path("pcx.bmp")), 0);
    ASSERT_EQ(write({image}, PF_TYPE_FAX, 0, 0, path("fax.tif")), 0);
    ASSERT_EQ(write({image}, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0, path("tiff.pcx")), 0);
    IKFreeMemory(image);
    writeBytes(path("empty"), "");
    writeBytes(path("garbage"), std::string(300, '\x5a'));
    writeBytes(path("dcx"), std::string("\xb1\x68\xde\x3a", 4) + std::string(200, '\0'));
    writeBytes(path("short"), "B");
    struct Case {
        std::string name;
        int type, error;
    };
    const Case cases[] = {
        {"bmp.txt", PF_TYPE_BMP, 0}, {"pcx.bmp", PF_TYPE_PCX, 0}, {"fax.tif", PF_TYPE_FAX, 0},
        {"tiff.pcx", PF_TYPE_TIFF, 0}, {"empty", PF_TYPE_NONE, 0}, {"garbage", PF_TYPE_NONE, 0},
        {"dcx", PF_TYPE_NONE, 0}, {"short", PF_TYPE_NONE, 0}, {"missing", PF_TYPE_NONE, PF_ERR_OPEN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageFileGetType(path(c.name).c_str()), c.type) << c.name;
        EXPECT_EQ(PageFileGetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(PageFileCountTiffPages(path("missing").c_str()), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_OPEN);
    EXPECT_EQ(PageFileCountFaxPages(path("tiff.pcx").c_str()), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_TYPE);
}

TEST_F(PageFile, HeaderValuesBeyondTheFileFailWithACode)
{
    const IKHANDLE image = load(Bits::pattern(64, 30));
    ASSERT_EQ(write({image}, PF_TYPE_FAX, 0, 0, path("good.fax")), 0);
    ASSERT_EQ(write({image}, PF_TYPE_PCX, 0, 0, path("good.pcx")), 0);
    IKFreeMemory(image);
    const std::string fax = readBytes(path("good.fax")), pcx = readBytes(path("good.pcx"));
    const std::string bmp = makeBmp(8, 8, 8, std::vector<uint32_t>(256, 0), [](uint32_t, uint32_t) { return 1u; });
    auto patched = [](std::string s, size_t at, std::string bytes) { return s.replace(at, bytes.size(), bytes); };
    // A 4 x 2 RLE8 picture of the given runs.
    auto runs = [](const std::string& data, unsigned bits = 8) {
        return rawBmp(40, 4, 2, bits, bits == 8 ? 1 : 2, 0, {0, 0xffffff}, data);
    };
    const std::string sixteen =
        makeIndexedPcx(64, 8, 1, 4, std::vector<uint32_t>(16, 0x808080), [](uint32_t x, uint32_t y) { return x ^ y; });
    struct Case {
        std::string name, bytes;
        int type, error;
    };
    const Case cases[] = {
        {"pages.fax", patched(fax, 6, std::string("\x09\x00", 2)), PF_TYPE_FAX, PF_ERR_CORRUPT},
        {"length.fax", patched(fax, 24, std::string("\xff\xff\x00\x00", 4)), PF_TYPE_FAX, PF_ERR_CORRUPT},
        {"rows.fax", patched(fax, 16, std::string("\xff\x7f\x00\x00", 4)), PF_TYPE_FAX, PF_ERR_CORRUPT},
        {"huge.fax", patched(fax, 12, std::string("\xff\xff\xff\x00", 4)), PF_TYPE_FAX, PF_ERR_TOO_LARGE},
        {"data.fax", patched(fax, 32, std::string(8, '\xff')), PF_TYPE_FAX, PF_ERR_CORRUPT},
        {"cut.fax", fax.substr(0, fax.size() - 3), PF_TYPE_FAX, PF_ERR_CORRUPT},
        {"version.fax", patched(fax, 4, std::string("\x02\x00", 2)), PF_TYPE_FAX, PF_ERR_TYPE},
        {"rows.pcx", patched(pcx, 10, std::string("\xff\x7f", 2)), PF_TYPE_PCX, PF_ERR_CORRUPT},
        {"cut.pcx", pcx.substr(0, 140), PF_TYPE_PCX, PF_ERR_CORRUPT},
        // A line shorter than the width: no PCX file at all.
        {"line.pcx", patched(pcx, 66, std::string("\x01\x00", 2)), PF_TYPE_PCX, PF_ERR_TYPE},
        {"rows.bmp", patched(bmp, 22, std::string("\x00\x10\x00\x00", 4)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"palette.bmp", patched(bmp, 46, std::string("\x01\x01\x00\x00", 4)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"offset.bmp", patched(bmp, 10, std::string("\xff\xff\x00\x00", 4)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"depth.bmp", patched(bmp, 28, std::string("\x10\x00", 2)), PF_TYPE_BMP, PF_ERR_TYPE},
        {"huge.bmp", patched(bmp, 18, std::string("\x00\x00\x00\x7f", 4)), PF_TYPE_BMP, PF_ERR_TOO_LARGE},
        // Every run, jump and line of a run-length coded file stays inside its row and the image,
        // and the data reaches the end of the picture.
        {"run.bmp", runs(std::string("\x05\x01\x00\x01", 4)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"verbatim.bmp", runs(std::string("\x00\x05\x01\x01\x01\x01\x01\x00\x00\x01", 10)), PF_TYPE_BMP,
         PF_ERR_CORRUPT},
        {"run4.bmp", runs(std::string("\x03\x11\x02\x11\x00\x01", 6), 4), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"jump.bmp", runs(std::string("\x00\x02\x01\x03\x00\x01", 6)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"lines.bmp", runs(std::string("\x00\x00\x00\x00\x00\x00\x04\x01\x00\x01", 10)), PF_TYPE_BMP,
         PF_ERR_CORRUPT},
        {"cut-run.bmp", runs(std::string("\x04\x01\x00\x00\x04", 5)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"cut-verbatim.bmp", runs(std::string("\x04\x01\x00\x00\x00\x04\x01\x01", 8)), PF_TYPE_BMP,
         PF_ERR_CORRUPT},
        {"no-end.bmp", runs(std::string("\x04\x01\x00\x00", 4)), PF_TYPE_BMP, PF_ERR_CORRUPT},
        {"rle8-of-4-bits.bmp", rawBmp(40, 4, 2, 4, 1, 0, {0, 0xffffff}, std::string("\x00\x01", 2)), PF_TYPE_BMP,
         PF_ERR_TYPE},
        {"cut16.pcx", sixteen.substr(0, sixteen.size() - 5), PF_TYPE_PCX, PF_ERR_CORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path(c.name), c.bytes);
        const PFHANDLE reader = PageFileReadBitmapOpen(path(c.name).c_str(), c.type, 1, 0);
        const int openError = PageFileGetLastError();
        const IKHANDLE bitmap = reader ? PageFileReadBitmapEnd(c.type, reader) : 0;
        EXPECT_EQ(bitmap, 0u);
        EXPECT_EQ(reader ? PageFileGetLastError() : openError, c.error);
    }
}

// ---- documents, readers and imports ----

TEST_F(PageFile, DocumentRecordHoldsItsFieldsAtTheirBytes)
{
    PageFormat g4;
    g4.compression = COMPRESSION_CCITTFAX4;
    writeBilevel(path("doc.tqg"), {Bits::pattern(1728, 30), Bits::pattern(1728, 20)}, g4);
    PAGEFILEDOCUMENT* doc = PageFileOpenDocument(path("doc.tqg").c_str());
    ASSERT_TRUE(doc);
    EXPECT_EQ(PageFileGetLastError(), 0);
    const auto* bytes = reinterpret_cast<const uint8_t*>(doc);
    auto at = [bytes](size_t i) { return static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8); };
    EXPECT_EQ(at(2), PF_TYPE_TIFF);
    EXPECT_EQ(at(4), 42);
    EXPECT_EQ(at(16), PF_COMPRESSION_G4);
    EXPECT_EQ(at(18), 2);
    EXPECT_EQ(doc->pageCount, 2);
    EXPECT_EQ(doc->width, 1728u);
    EXPECT_EQ(doc->xDpi, 200);
    EXPECT_EQ(PageFileCloseDocument(doc), 1);
    EXPECT_EQ(PageFileCloseDocument(doc), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_HANDLE);
    EXPECT_EQ(PageFileOpenDocument(path("none").c_str()), nullptr);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_OPEN);

    const IKHANDLE image = load(Bits::pattern(30, 30));
    ASSERT_EQ(write({image}, PF_TYPE_FAX, 0, 0, path("doc.fax")), 0);
    IKFreeMemory(image);
    doc = PageFileOpenDocument(path("doc.fax").c_str());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->fileType, PF_TYPE_FAX);
    EXPECT_EQ(doc->version, 1);
    EXPECT_EQ(doc->compression, PF_COMPRESSION_MH);
    EXPECT_EQ(doc->colours, 2);
    PageFileCloseDocument(doc);
}

TEST_F(PageFile, ReadersContinueFromTheirPredecessorAndSeveralPagesComeAtOnce)
{
    std::vector<Bits> pages;
    for (uint32_t i = 0; i < 5; ++i)
        pages.push_back(Bits::pattern(100, 20 + i, i));
    PageFormat g4;
    g4.compression = COMPRESSION_CCITTFAX4;
    writeBilevel(path("five.tif"), pages, g4);
    const auto read = readAll(path("five.tif"), PF_TYPE_TIFF, 6);
    ASSERT_EQ(read.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(bitsOf(*read[i]), pages[i]);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_NO_PAGE);

    // Pages 2 to 4 from one reader; its predecessor is spent once taken over.
    const PFHANDLE one = PageFileReadPagesOpen(path("five.tif").c_str(), PF_TYPE_TIFF, 1, 1, 0, 0);
    IKHANDLE bitmaps[3] = {};
    ASSERT_EQ(PageFileReadPagesEnd(PF_TYPE_TIFF, one, bitmaps, 0), 1);
    IKFreeMemory(bitmaps[0]);
    const PFHANDLE three = PageFileReadPagesOpen(path("five.tif").c_str(), PF_TYPE_TIFF, 2, 3, one, 0);
    ASSERT_NE(three, 0u);
    EXPECT_EQ(PageFileReadStep(PF_TYPE_TIFF, one), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_HANDLE);
    ASSERT_EQ(PageFileReadPagesEnd(PF_TYPE_TIFF, three, bitmaps, 0), 3);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(bitsOf(*images().find(bitmaps[i])), pages[i + 1]);
        IKFreeMemory(bitmaps[i]);
    }
    // A reader of another type is refused with a code.
    EXPECT_EQ(PageFileReadPagesOpen(path("five.tif").c_str(), PF_TYPE_FAX, 1, 1, 0, 0), 0u);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_TYPE);
}

TEST_F(PageFile, ParkedReadersKeepFewBytesOfTheirFiles)
{
    // A reader taking over its parked predecessor opens nothing, so a file deleted after the first
    // read shows whether the predecessor was still parked.
    const auto readParked = [](const std::string& file, PFHANDLE previous) {
        const PFHANDLE reader = PageFileReadPagesOpen(file.c_str(), PF_TYPE_BMP, 1, 1, previous, 0);
        IKHANDLE bitmap = 0;
        const bool read = reader && PageFileReadPagesEnd(PF_TYPE_BMP, reader, &bitmap, 0) == 1;
        IKFreeMemory(bitmap);
        return read ? reader : PFHANDLE{0};
    };
    const std::string small = makeBmp(8, 8, 1, {0, 0xffffff}, [](uint32_t x, uint32_t y) { return x == y; });
    writeBytes(path("a.bmp"), small);
    writeBytes(path("b.bmp"), small);
    // A small picture in a file of 18 MB (what follows its pixels is not read), held whole by its reader.
    writeBytes(path("big.bmp"), small + std::string(size_t{18} << 20, '\0'));

    // Small files stay parked for the readers after them.
    const PFHANDLE a = readParked(path("a.bmp"), 0), b = readParked(path("b.bmp"), 0);
    ASSERT_TRUE(a && b);
    fs::remove(path("a.bmp"));
    fs::remove(path("b.bmp"));
    EXPECT_NE(readParked(path("a.bmp"), a), 0u);
    // A large one sends the older parked readers away, and stays itself for its next reader.
    const PFHANDLE large = readParked(path("big.bmp"), 0);
    ASSERT_NE(large, 0u);
    EXPECT_EQ(readParked(path("b.bmp"), b), 0u);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_OPEN);
    fs::remove(path("big.bmp"));
    EXPECT_NE(readParked(path("big.bmp"), large), 0u);
}

TEST_F(PageFile, ImportsCombineSourcesIntoOneFile)
{
    const Bits a = Bits::pattern(50, 30, 1), b = Bits::pattern(70, 20, 2), c = Bits::pattern(60, 10, 3);
    const IKHANDLE ia = load(a), ib = load(b), ic = load(c);
    ASSERT_EQ(write({ia}, PF_TYPE_BMP, 0, 0, path("a.bmp")), 0);
    ASSERT_EQ(write({ib}, PF_TYPE_PCX, 0, 0, path("b.pcx")), 0);
    ASSERT_EQ(write({ib, ic}, PF_TYPE_FAX, 0, 0, path("bc.fax")), 0);
    for (const IKHANDLE h : {ia, ib, ic})
        IKFreeMemory(h);

    for (const int target : {PF_TYPE_TIFF, PF_TYPE_FAX}) {
        SCOPED_TRACE(target);
        const std::string out = path("all-" + std::to_string(target));
        auto import = [&](PFHANDLE handle) {
            ASSERT_NE(handle, 0u) << PageFileGetLastError();
            while (PageFileImportPageStep(handle) != 0) {
            }
            EXPECT_EQ(PageFileImportPageClose(handle), 1);
            EXPECT_EQ(PageFileGetLastError(), 0);
        };
        EXPECT_EQ(PageFileImportBeginBmp(1), 1);
        import(PageFileImportPageOpenBmp(path("a.bmp").c_str(), out.c_str(), target, PF_COMPRESSION_G3_MR, 0, 0));
        EXPECT_EQ(PageFileImportBeginPcx(1), 1);
        import(PageFileImportPageOpenPcx(path("b.pcx").c_str(), out.c_str(), target, PF_COMPRESSION_G3_MR, 0, 1));
        EXPECT_EQ(PageFileImportBeginFax(2), 1);
        import(PageFileImportPageOpenFax(path("bc.fax").c_str(), out.c_str(), target, PF_COMPRESSION_MH, 0, 1, 2, 0));
        EXPECT_EQ(PageFileImportPageOpenFax(path("bc.fax").c_str(), out.c_str(), target, 1, 0, 1, 3, 0), 0u);
        EXPECT_EQ(PageFileGetLastError(), PF_ERR_NO_PAGE);
        const auto read = readAll(out, target, 3);
        ASSERT_EQ(read.size(), 3u);
        EXPECT_EQ(bitsOf(*read[0]), a);
        EXPECT_EQ(bitsOf(*read[1]), b);
        EXPECT_EQ(bitsOf(*read[2]), c);
    }
    // A BMP holds one page: a second one is refused and the first stays.
    const std::string before = readBytes(path("a.bmp"));
    const PFHANDLE more = PageFileImportPageOpenPcx(path("b.pcx").c_str(), path("a.bmp").c_str(), PF_TYPE_BMP, 0, 0, 1);
    ASSERT_NE(more, 0u);
    EXPECT_EQ(PageFileImportPageClose(more), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_ONE_PAGE);
    EXPECT_EQ(readBytes(path("a.bmp")), before);
}

TEST_F(PageFile, FailedWritesLeaveFilesAsTheyWere)
{
    const IKHANDLE image = load(Bits::pattern(30, 30));
    writeBytes(path("notfax"), "this is no fax file, and appending must not replace it");
    const std::string before = readBytes(path("notfax"));
    EXPECT_EQ(write({image}, PF_TYPE_FAX, 0, 1, path("notfax")), PF_ERR_CORRUPT);
    EXPECT_EQ(write({image}, PF_TYPE_TIFF, PF_COMPRESSION_G3_MH, 1, path("notfax")), PF_ERR_WRITE);
    EXPECT_EQ(readBytes(path("notfax")), before);
    EXPECT_EQ(write({image}, PF_TYPE_TIFF, 7, 0, path("x.tif")), PF_ERR_COMPRESSION);
    EXPECT_EQ(write({image}, PF_TYPE_LINK, 0, 0, path("x.lnk")), PF_ERR_TYPE);
    EXPECT_EQ(write({image}, PF_TYPE_PCX, 0, 0, path("no-such-folder/x.pcx")), PF_ERR_WRITE);
    EXPECT_EQ(write({image + 1000}, PF_TYPE_PCX, 0, 0, path("x.pcx")), PF_ERR_HANDLE);
    EXPECT_THAT(entries(), testing::UnorderedElementsAre("notfax", "source-0.tif"));

    // The renderer's form: one bitmap, PackBits, the file complete after its step.
    const PFHANDLE writer = PageFileWriteBitmapOpen(image, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0, path("c.tqg").c_str());
    ASSERT_NE(writer, 0u);
    EXPECT_EQ(PageFileWriteStep(writer, PF_TYPE_TIFF), 0);
    EXPECT_EQ(PageFileWriteEnd(writer, PF_TYPE_TIFF), 1);
    EXPECT_EQ(PageFileWriteEnd(writer, PF_TYPE_TIFF), 0);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_HANDLE);
    EXPECT_EQ(readTiff(path("c.tqg")).size(), 1u);
    IKFreeMemory(image);
}

// ---- plain files and codes ----

TEST_F(PageFile, PlainFileAccess)
{
    const std::string file = path("send.lnk");
    const int32_t out = PageFileOpen(file.c_str(), nullptr, PF_OPEN_CREATE);
    ASSERT_GE(out, 0);
    EXPECT_EQ(PageFileWriteBlock(out, "a.tif\r\nb.tif\r\n", 14), 14);
    EXPECT_EQ(PageFileSeek(out, 0, 2), 14);
    EXPECT_EQ(PageFileSeek(out, 7, 0), 7);
    EXPECT_EQ(PageFileWrite(out, nullptr, 0), 0); // cuts the file here
    EXPECT_EQ(PageFileSeek(out, 0, 2), 7);
    EXPECT_EQ(PageFileSeek(out, 0, 1), -1);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_ARGUMENT);
    EXPECT_EQ(PageFileClose(out), 0);
    EXPECT_EQ(readBytes(file), "a.tif\r\n");

    const int32_t in = PageFileOpen(file.c_str(), nullptr, PF_OPEN_READ);
    ASSERT_GE(in, 0);
    char buffer[32] = {};
    EXPECT_EQ(PageFileReadBlock(in, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "a.tif\r\n");
    EXPECT_EQ(PageFileRead(in, buffer, 4), 0);
    EXPECT_EQ(PageFileWrite(in, "x", 1), -1);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_WRITE);
    EXPECT_EQ(PageFileClose(in), 0);
    EXPECT_EQ(PageFileClose(in), -1);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_HANDLE);
    EXPECT_EQ(PageFileRead(0, buffer, 1), -1) << "a descriptor this library did not open";

    EXPECT_EQ(PageFileOpen(file.c_str(), nullptr, PF_OPEN_EXIST), 1);
    EXPECT_EQ(PageFileOpen(path("gone").c_str(), nullptr, PF_OPEN_EXIST), -1);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_OPEN);
    EXPECT_EQ(PageFileOpen(path("gone").c_str(), nullptr, PF_OPEN_READWRITE), -1);
    EXPECT_EQ(PageFileGetLastError(), PF_ERR_OPEN);
    EXPECT_THAT(entries(), testing::ElementsAre("send.lnk"));
}

struct Shown {
    void* owner;
    std::string caption, text;
    int32_t code;
};
std::vector<Shown> shown;

int32_t recordBox(void* owner, const char* caption, const char* text, int32_t code)
{
    shown.push_back({owner, caption, text, code});
    return 6;
}

TEST_F(PageFile, EveryCodeHasItsOwnTextShownThroughTheInstalledBox)
{
    shown.clear();
    PageFileSetMessageBox(recordBox);
    const int32_t codes[] = {PF_ERR_ARGUMENT, PF_ERR_TYPE,     PF_ERR_CORRUPT, PF_ERR_NO_PAGE,
                             PF_ERR_TOO_LARGE, PF_ERR_WRITE,   PF_ERR_MEMORY,  PF_ERR_HANDLE,
                             PF_ERR_COMPRESSION, PF_ERR_ONE_PAGE, PF_ERR_OPEN, 1234};
    int owner = 0;
    for (const int32_t code : codes) {
        PageFileGetType(path("missing").c_str()); // leaves an error behind
        EXPECT_EQ(PageFileShowError(&owner, code == 1234 ? "Viewer" : nullptr, code), 6);
        EXPECT_EQ(PageFileGetLastError(), 0);
    }
    PageFileSetMessageBox(nullptr);
    ASSERT_EQ(shown.size(), std::size(codes));
    std::set<std::string> texts;
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].owner, &owner);
        EXPECT_EQ(shown[i].code, codes[i]);
        EXPECT_EQ(shown[i].caption, codes[i] == 1234 ? "Viewer" : "Page Image File");
        texts.insert(shown[i].text);
    }
    EXPECT_EQ(texts.size(), shown.size());
    EXPECT_THAT(shown.back().text, testing::HasSubstr("1234"));
}

} // namespace

namespace {

TEST(PageFileLibrary, ExportsItsEntriesByNameAndNothingOfItsInside)
{
    Dl_info info{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&PageFileGetType), &info), 0);
    void* library = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(library) << info.dli_fname;
    const char* names[] = {
        "PageFileGetLastError", "PageFileShowError", "PageFileGetType", "PageFileCountTiffPages",
        "PageFileCountFaxPages", "PageFileCountDocumentPages", "PageFileOpenDocument", "PageFileCloseDocument",
        "PageFileReadPagesOpen", "PageFileReadStep", "PageFileReadPagesYield", "PageFileReadPagesEnd",
        "PageFileReadBitmapOpen", "PageFileReadBitmapEnd", "PageFileWriteBitmapsOpen", "PageFileWriteBitmapOpen",
        "PageFileWriteStep", "PageFileWriteEnd", "PageFileImportBeginBmp", "PageFileImportBeginTiff",
        "PageFileImportBeginPcx", "PageFileImportBeginFax", "PageFileImportBeginDocument",
        "PageFileImportPageOpenBmp", "PageFileImportPageOpenTiff", "PageFileImportPageOpenPcx",
        "PageFileImportPageOpenFax", "PageFileImportPageOpenDocument", "PageFileImportPageStep",
        "PageFileImportPageClose", "PageFileOpen", "PageFileClose", "PageFileRead", "PageFileSeek", "PageFileWrite",
        "PageFileReadBlock", "PageFileWriteBlock", "PageFileSetMessageBox"};
    for (const char* name : names)
        EXPECT_TRUE(::dlsym(library, name)) << name;
    // The codecs inside stay inside.
    EXPECT_FALSE(::dlsym(library, "_ZN5qelta7imaging8pagefile10detectTypeEPKhm"));
    ::dlclose(library);
}

} // namespace
