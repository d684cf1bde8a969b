#include "imaging/imagekit.h"
#include "imaging/tests/tiff_pages_support.h"

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace imaging_test;

namespace {

class TiffFile : public TempFolder {
protected:
    void TearDown() override
    {
        for (IKHANDLE h : loaded_)
            IKFreeMemory(h);
        TempFolder::TearDown();
    }

    IKHANDLE load(const std::string& file, int page = 0)
    {
        const IKHANDLE h = IKTiffFileLoad(file.c_str(), page, 0, nullptr, nullptr, nullptr);
        if (h)
            loaded_.push_back(h);
        return h;
    }

    static int save(const std::string& file, IKHANDLE h, int compression, int append = 0, int overwrite = 1,
                    const char* tags = nullptr)
    {
        return IKTiffFileSave(file.c_str(), h, compression, append, tags ? 1 : 0, tags, overwrite, 0, nullptr,
                              nullptr, nullptr);
    }

    std::vector<IKHANDLE> loaded_;
};

// Keeps writes past a size failing with EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

} // namespace

TEST_F(TiffFile, RoundTripInEveryCompression)
{
    const Bits bits = Bits::pattern(1728, 50);
    writeBilevel(path("src.tif"), {bits}, {.compression = COMPRESSION_CCITTFAX4, .xDpi = 200, .yDpi = 100});
    const IKHANDLE image = load(path("src.tif"));
    ASSERT_NE(image, 0u);

    struct Case {
        int code;
        uint16_t tag;
        uint32_t group3;
    };
    for (const Case c : {Case{IK_COMPRESSION_NONE, COMPRESSION_NONE, 0}, {IK_COMPRESSION_PACKBITS, COMPRESSION_PACKBITS, 0},
                         {IK_COMPRESSION_G3_1D, COMPRESSION_CCITTFAX3, 0},
                         {IK_COMPRESSION_G3_2D, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING},
                         {IK_COMPRESSION_G4, COMPRESSION_CCITTFAX4, 0}, {IK_COMPRESSION_LZW, COMPRESSION_LZW, 0}}) {
        SCOPED_TRACE(c.code);
        ASSERT_EQ(save(path("out.tif"), image, c.code), 1);
        const auto pages = readTiff(path("out.tif"));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].compression, c.tag);
        EXPECT_EQ(pages[0].group3Options & GROUP3OPT_2DENCODING, c.group3);
        EXPECT_EQ(pages[0].photometric, PHOTOMETRIC_MINISWHITE);
        EXPECT_FLOAT_EQ(pages[0].xDpi, 200);
        EXPECT_FLOAT_EQ(pages[0].yDpi, 100);
        EXPECT_TRUE(pages[0].bits == bits);
    }
    EXPECT_EQ(save(path("bad.tif"), image, 7), 0);
    EXPECT_EQ(entries(), (std::vector<std::string>{"out.tif", "src.tif"}));
}

TEST_F(TiffFile, MinIsBlackAndColourPagesLoad)
{
    const Bits bits = Bits::pattern(77, 20, 5);
    writeBilevel(path("black.tif"), {bits}, {.photometric = PHOTOMETRIC_MINISBLACK});
    ASSERT_EQ(save(path("out.tif"), load(path("black.tif")), IK_COMPRESSION_G4), 1);
    EXPECT_TRUE(readTiff(path("out.tif")).at(0).bits == bits);

    std::vector<uint8_t> rgb(31 * 7 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 37);
    writeContone(path("rgb.tif"), 31, 7, 3, rgb, 300);
    // A fax compression asked for a colour page: LZW, pixels kept.
    ASSERT_EQ(save(path("out.tif"), load(path("rgb.tif")), IK_COMPRESSION_G4), 1);
    const auto pages = readTiff(path("out.tif"));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].compression, COMPRESSION_LZW);
    EXPECT_EQ(pages[0].samplesPerPixel, 3);
    EXPECT_FLOAT_EQ(pages[0].xDpi, 300);
    for (size_t i = 0; i < pages[0].rgba.size(); ++i) {
        const uint32_t p = pages[0].rgba[i];
        ASSERT_EQ(TIFFGetR(p), rgb[i * 3]) << i;
        ASSERT_EQ(TIFFGetG(p), rgb[i * 3 + 1]) << i;
        ASSERT_EQ(TIFFGetB(p), rgb[i * 3 + 2]) << i;
    }
}

TEST_F(TiffFile, AppendKeepsPageOrderAndEarlierBytes)
{
    std::vector<Bits> bits;
    for (uint32_t seed = 0; seed < 3; ++seed)
        bits.push_back(Bits::pattern(300, 40 + seed, seed));
    writeBilevel(path("src.tif"), bits);
    std::vector<IKHANDLE> images;
    for (int page = 0; page < 3; ++page)
        images.push_back(load(path("src.tif"), page));
    ASSERT_NE(images[2], 0u);
    EXPECT_EQ(load(path("src.tif"), 3), 0u);

    // A missing file is made by the first append.
    ASSERT_EQ(save(path("out.tif"), images[0], IK_COMPRESSION_G4, 1), 1);
    const std::string before = readBytes(path("out.tif"));
    ASSERT_EQ(save(path("out.tif"), images[1], IK_COMPRESSION_G3_2D, 1), 1);
    ASSERT_EQ(save(path("out.tif"), images[2], IK_COMPRESSION_PACKBITS, 1, 0), 1);
    const std::string after = readBytes(path("out.tif"));
    // Only the link to the new directory changed in what was there.
    EXPECT_LE(differingBytes(before, after), 4u);

    const auto pages = readTiff(path("out.tif"));
    ASSERT_EQ(pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(pages[i].bits == bits[i]) << i;
        EXPECT_EQ(pages[i].pageNumber, i);
    }
    // The same file rewritten in place by someone else: the next append goes by what it holds now.
    writeBytes(path("out.tif"), before);
    ASSERT_EQ(save(path("out.tif"), images[2], IK_COMPRESSION_G4, 1), 1);
    const auto rewritten = readTiff(path("out.tif"));
    ASSERT_EQ(rewritten.size(), 2u);
    EXPECT_TRUE(rewritten[0].bits == bits[0]);
    EXPECT_TRUE(rewritten[1].bits == bits[2]);
    // Appending to something that is no TIFF fails and leaves it.
    writeBytes(path("text.tif"), "no picture");
    EXPECT_EQ(save(path("text.tif"), images[0], IK_COMPRESSION_G4, 1), 0);
    EXPECT_EQ(readBytes(path("text.tif")), "no picture");
}

TEST_F(TiffFile, HandlesAreChecked)
{
    writeBilevel(path("src.tif"), {Bits::pattern(64, 8)});
    const IKHANDLE image = IKTiffFileLoad(path("src.tif").c_str(), 0, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(image, 0u);
    IKIMAGEINFO info{}, copy{};
    ASSERT_EQ(IKGetImageType(&info, image, &copy), 1);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 8);
    EXPECT_EQ(info.bitsPerPixel, 1);
    EXPECT_EQ(info.xResolution, 200);
    EXPECT_EQ(std::memcmp(&info, &copy, sizeof info), 0);
    EXPECT_EQ(IKGetImageType(&info, image + 1000, nullptr), 0);
    EXPECT_EQ(IKGetImageType(nullptr, image, nullptr), 0);
    std::vector<uint8_t> pixels(IKGetImageBits(image, nullptr, 0));
    ASSERT_EQ(pixels.size(), 8u * 8u); // 64 pixels a row: 8 bytes
    EXPECT_EQ(IKGetImageBits(image, pixels.data(), pixels.size()), pixels.size());
    EXPECT_EQ(pixels[7 * 8] & 0x80, 0x80); // the pattern's left edge is black
    EXPECT_EQ(IKGetImageBits(image + 1000, pixels.data(), pixels.size()), 0u);
    EXPECT_EQ(save(path("out.tif"), image + 1000, IK_COMPRESSION_G4), 0);
    EXPECT_EQ(IKFreeMemory(0), 0);
    EXPECT_EQ(IKFreeMemory(image + 1000), 0);
    EXPECT_EQ(IKFreeMemory(image), 1);
    EXPECT_EQ(IKFreeMemory(image), 0);
    EXPECT_EQ(save(path("out.tif"), image, IK_COMPRESSION_G4), 0);
    EXPECT_EQ(save(path("out.tif"), 0, IK_COMPRESSION_G4), 0);
    EXPECT_FALSE(fs::exists(path("out.tif")));
    // Handles are never given out twice.
    const IKHANDLE again = load(path("src.tif"));
    EXPECT_NE(again, image);
}

TEST_F(TiffFile, ExistingFilesSurviveRefusedAndFailedSaves)
{
    writeBilevel(path("src.tif"), {Bits::pattern(1728, 400)}, {.compression = COMPRESSION_NONE});
    const IKHANDLE image = load(path("src.tif"));
    ASSERT_NE(image, 0u);
    writeBytes(path("old.tif"), "earlier file");

    EXPECT_EQ(save(path("old.tif"), image, IK_COMPRESSION_G4, 0, 0), 0);
    EXPECT_EQ(readBytes(path("old.tif")), "earlier file");

    {
        // Room for a few bytes only: the new file cannot be written, the earlier one stays.
        const FileSizeLimit limit(4096);
        EXPECT_EQ(save(path("old.tif"), image, IK_COMPRESSION_NONE), 0);
    }
    EXPECT_EQ(readBytes(path("old.tif")), "earlier file");

    ASSERT_EQ(save(path("fax.tif"), image, IK_COMPRESSION_G4), 1);
    const std::string fax = readBytes(path("fax.tif"));
    {
        // An append that runs out of room puts the file back as it was.
        const FileSizeLimit limit(fax.size() + 4096);
        EXPECT_EQ(save(path("fax.tif"), image, IK_COMPRESSION_NONE, 1), 0);
    }
    EXPECT_EQ(readBytes(path("fax.tif")), fax);
    EXPECT_EQ(entries(), (std::vector<std::string>{"fax.tif", "old.tif", "src.tif"}));

    EXPECT_EQ(save(path("old.tif"), image, IK_COMPRESSION_G4, 0, 1), 1);
    EXPECT_EQ(readTiff(path("old.tif")).size(), 1u);
}

TEST_F(TiffFile, BrokenFilesLoadAsNothing)
{
    writeBilevel(path("good.tif"), {Bits::pattern(500, 300)}, {.compression = COMPRESSION_CCITTFAX4});
    const std::string good = readBytes(path("good.tif"));
    for (size_t cut : {size_t{8}, good.size() / 2, good.size() - 1}) {
        writeBytes(path("cut.tif"), good.substr(0, cut));
        EXPECT_EQ(load(path("cut.tif")), 0u) << cut;
    }
    std::string scrambled = good;
    for (size_t i = 8; i < 200 && i < scrambled.size(); ++i)
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5a);
    writeBytes(path("scrambled.tif"), scrambled);
    EXPECT_EQ(load(path("scrambled.tif")), 0u);
    writeBytes(path("text.tif"), "II*\0 not really");
    EXPECT_EQ(load(path("text.tif")), 0u);
    EXPECT_EQ(load(path("missing.tif")), 0u);
    EXPECT_EQ(load(dir_.string()), 0u);
    EXPECT_EQ(load(path("good.tif"), -1), 0u);
    EXPECT_EQ(IKTiffFileLoad(nullptr, 0, 0, nullptr, nullptr, nullptr), 0u);

    // A page wider than any page may be.
    TIFF* tif = TIFFOpen(path("wide.tif").c_str(), "w");
    ASSERT_TRUE(tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t{70000});
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t{1});
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    std::vector<uint8_t> row(70000 / 8);
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), 0, 0), 1);
    TIFFClose(tif);
    EXPECT_EQ(load(path("wide.tif")), 0u);
}

TEST_F(TiffFile, TextTags)
{
    writeBilevel(path("src.tif"), {Bits::pattern(64, 8)});
    ASSERT_EQ(save(path("out.tif"), load(path("src.tif")), IK_COMPRESSION_G4, 0, 1,
                   "Document:Quarterly report\r\nPage:Cover\rArtist:\rColour:blue\rSoftware:Qelta\r"),
              1);
    TIFF* tif = TIFFOpen(path("out.tif").c_str(), "r");
    ASSERT_TRUE(tif);
    const char* text = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_DOCUMENTNAME, &text));
    EXPECT_STREQ(text, "Quarterly report");
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_PAGENAME, &text));
    EXPECT_STREQ(text, "Cover");
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_SOFTWARE, &text));
    EXPECT_STREQ(text, "Qelta");
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_ARTIST, &text));
    TIFFClose(tif);
}
