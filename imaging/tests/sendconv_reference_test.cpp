// Converted fax pages pinned pixel for pixel: each row of the table is converted through the
// library and the decoded rows of every page are compared with a digest of the pages the conversion
// gave when the table was made. Any change to reading, scaling, turning, padding or coding that moves a
// single pixel shows up here.
#include "imaging/sendconvlib.h"
#include "imaging/tests/tiff_pages_support.h"

#include "platform/tests/support/test_support.h"

#include <cstdio>
#include <functional>

using namespace imaging_test;

namespace {

// MD5 of a page's size and its rows packed one bit a pixel (1 = black), in hex.
std::string pageDigest(const ReadPage& page)
{
    std::string data = std::to_string(page.width) + "x" + std::to_string(page.height) + ":";
    const size_t stride = (page.width + 7) / 8;
    for (uint32_t y = 0; y < page.height; ++y) {
        std::string row(stride, '\0');
        for (uint32_t x = 0; x < page.width; ++x)
            if (page.bits.at(x, y))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        data += row;
    }
    return qelta::test::md5Hex(data);
}

// The text-like page of the job builder's benchmark: stripes of dotted "letters".
Bits benchPage(uint32_t width, uint32_t height, uint32_t page)
{
    Bits bits(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        const bool textLine = (y / 24) % 2 == 0 && y % 24 < 16;
        for (uint32_t x = 0; textLine && x < width; ++x)
            if (((x / 8) * 13 + y / 24 + page) % 5 < 3 && ((0x6d >> (7 - x % 8)) & 1))
                bits.set(x, y);
    }
    return bits;
}

// A small grey ramp with a dark block: thresholded at half brightness.
std::vector<uint8_t> greyRamp(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> values(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            values[size_t{y} * width + x] =
                static_cast<uint8_t>(x > width / 3 && x < width / 2 && y > height / 4 ? 20 : (x * 255) / width);
    return values;
}

struct Case {
    const char* name;
    std::function<void(const std::string&)> write;
    const char* paper;
    const char* compression;
    unsigned long xres, yres;
    std::vector<std::string> digests; // one a page
};

} // namespace

TEST_F(TempFolder, ConvertedPagesStayPixelIdentical)
{
    const PageFormat g4{COMPRESSION_CCITTFAX4, 200, 200};
    auto at = [](float x, float y) { return PageFormat{COMPRESSION_CCITTFAX4, x, y}; };
    const Case cases[] = {
        {"bench text page", [&](const std::string& p) { writeBilevel(p, {benchPage(1728, 2292, 0), benchPage(1728, 2292, 1)}, g4); },
         "A4", "MH", 200, 200, {"753f55465e3a99148857ae0d4afaf097", "afc7735f8cb2d494e82d30da57516002"}},
        {"already the size", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(1728, 300, 4)}, g4); }, "A4",
         "MMR", 200, 200, {"3773acf76a47dce02b7ee188c8a5bb5f"}},
        {"wider", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(2200, 400, 5)}, g4); }, "A4", "MMR", 200,
         200, {"a65f003a0cd6e02f05e21b534c4355f8"}},
        {"narrower", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(1000, 300, 6)}, g4); }, "B4", "MR",
         200, 200, {"c9413e7077f3a7fb8dee8b64d58a2542"}},
        {"rotated paper", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(2339, 1654, 7)}, g4); }, "A4R",
         "MMR", 200, 200, {"04a05d78a4c587291ffdb1e187f58d79"}},
        {"204 x 98", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(1728, 1100, 8)}, at(204, 98)); }, "A4",
         "MMR", 200, 200, {"2b30907ed03be1391bb2d59cd60c5d7c"}},
        {"204 x 196 letter", [&](const std::string& p) { writeBilevel(p, {benchPage(1728, 2200, 2)}, at(204, 196)); },
         "A4", "MMR", 200, 200, {"580daba60a5d70db7964adf23611d37d"}},
        {"400 x 400", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(3456, 1200, 9)}, at(400, 400)); },
         "A4", "MMR", 200, 200, {"30c670da5018b8d92de339175a41a63d"}},
        {"300 x 300", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(2550, 900, 10)}, at(300, 300)); },
         "A4", "MMR", 200, 200, {"c58d954cbbccc92161770913557271a7"}},
        {"200 to 400", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(1700, 500, 11)}, g4); }, "A4",
         "MMR", 400, 400, {"deb2c63b7e48fa8062a81b991130d815"}},
        {"200 to 200 x 100", [&](const std::string& p) { writeBilevel(p, {Bits::pattern(1728, 501, 12)}, g4); }, "A4",
         "MH", 200, 100, {"650dc56a9a24581ee11da614e157320e"}},
        {"grey", [&](const std::string& p) { writeContone(p, 900, 260, 1, greyRamp(900, 260), 150); }, "A4", "MMR",
         200, 200, {"b2d4172d984db614f3cf8d1488dc7688"}},
        {"odd widths", [&](const std::string& p) {
             writeBilevel(p, {Bits::pattern(1001, 77, 13), Bits::pattern(2203, 333, 14), Bits::pattern(1733, 95, 15)},
                          at(203, 197));
         }, "A4", "MMR", 200, 200, {"fa5791d3ac4e9246cfa99f313b88692f", "b25f25c70a7bc341ed55cca9704bca5f", "a9c63330f3718ea4749040ddbd6c70a9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string src = path("src.tif"), dst = path("dst.tif");
        c.write(src);
        char work[SENDCONV_WORK_AREA] = {};
        ASSERT_EQ(SENDCONVLIB_Convert(src.c_str(), dst.c_str(), c.paper, c.compression, c.xres, c.yres, work, 0),
                  SENDCONV_OK)
            << work;
        const auto pages = readTiff(dst);
        ASSERT_EQ(pages.size(), c.digests.size());
        for (size_t i = 0; i < pages.size(); ++i)
            EXPECT_EQ(pageDigest(pages[i]), c.digests[i]) << "page " << i;
    }
}
