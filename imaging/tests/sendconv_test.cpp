#include "imaging/sendconvlib.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/library.h"

#include <cstring>

using namespace imaging_test;

namespace {

class SendConv : public TempFolder {
protected:
    int convert(const std::string& src, const std::string& dst, const char* paper = "A4",
                const char* compression = "MMR", unsigned long xres = 200, unsigned long yres = 200)
    {
        std::memset(work_, 'x', sizeof work_);
        return SENDCONVLIB_Convert(src.c_str(), dst.c_str(), paper, compression, xres, yres, work_, 0);
    }

    // The single page of a converted file.
    static ReadPage onlyPage(const std::string& file)
    {
        auto pages = readTiff(file);
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? ReadPage{} : pages[0];
    }

    char work_[SENDCONV_WORK_AREA];
};

bool whiteFrom(const Bits& bits, uint32_t column)
{
    for (uint32_t y = 0; y < bits.height; ++y)
        for (uint32_t x = column; x < bits.width; ++x)
            if (bits.at(x, y))
                return false;
    return true;
}

} // namespace

TEST_F(SendConv, FaxCompressionsKeepEveryPixel)
{
    const std::vector<Bits> source = {Bits::pattern(1728, 120, 1), Bits::pattern(1728, 90, 2)};
    writeBilevel(path("src.tif"), source);
    struct Case {
        const char* name;
        uint16_t tag;
        uint32_t group3;
    };
    for (const Case c : {Case{"MMR", COMPRESSION_CCITTFAX4, 0}, {"MH", COMPRESSION_CCITTFAX3, 0},
                         {"mr", COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING}}) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(convert(path("src.tif"), path("fax.tif"), "A4", c.name), SENDCONV_OK) << work_;
        const auto pages = readTiff(path("fax.tif"));
        ASSERT_EQ(pages.size(), 2u);
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].compression, c.tag);
            EXPECT_EQ(pages[i].group3Options, c.group3);
            EXPECT_EQ(pages[i].photometric, PHOTOMETRIC_MINISWHITE);
            EXPECT_FLOAT_EQ(pages[i].xDpi, 200);
            EXPECT_FLOAT_EQ(pages[i].yDpi, 200);
            EXPECT_EQ(pages[i].pageNumber, i);
            EXPECT_EQ(pages[i].pageTotal, 2);
            EXPECT_TRUE(pages[i].bits == source[i]);
        }
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"fax.tif", "src.tif"}));
}

TEST_F(SendConv, PagesMeetTheLineWidthOfThePaper)
{
    // Narrower than the line: padded with white, the page itself unchanged.
    const Bits narrow = Bits::pattern(1000, 80);
    writeBilevel(path("narrow.tif"), {narrow});
    ASSERT_EQ(convert(path("narrow.tif"), path("a4.tif")), SENDCONV_OK) << work_;
    ReadPage page = onlyPage(path("a4.tif"));
    ASSERT_EQ(page.width, 1728u);
    ASSERT_EQ(page.height, 80u);
    EXPECT_TRUE(whiteFrom(page.bits, 1000));
    for (uint32_t y = 0; y < 80; ++y)
        for (uint32_t x = 0; x < 1000; ++x)
            ASSERT_EQ(page.bits.at(x, y), narrow.at(x, y)) << x << "," << y;

    ASSERT_EQ(convert(path("narrow.tif"), path("b4.tif"), "B4"), SENDCONV_OK);
    EXPECT_EQ(onlyPage(path("b4.tif")).width, 2048u);
    ASSERT_EQ(convert(path("narrow.tif"), path("a3.tif"), "11x17"), SENDCONV_OK);
    EXPECT_EQ(onlyPage(path("a3.tif")).width, 2432u);

    // Twice the resolution: the 200 dpi page is enlarged to the 3456 dots of an A4 line.
    writeBilevel(path("full.tif"), {Bits::pattern(1728, 50)});
    ASSERT_EQ(convert(path("full.tif"), path("fine.tif"), "A4", "MMR", 400, 400), SENDCONV_OK);
    page = onlyPage(path("fine.tif"));
    EXPECT_EQ(page.width, 3456u);
    EXPECT_EQ(page.height, 100u);
    EXPECT_FLOAT_EQ(page.xDpi, 400);

    // Wider than the line: reduced to it, keeping the aspect.
    writeBilevel(path("wide.tif"), {Bits::pattern(3456, 200)});
    ASSERT_EQ(convert(path("wide.tif"), path("reduced.tif")), SENDCONV_OK);
    page = onlyPage(path("reduced.tif"));
    EXPECT_EQ(page.width, 1728u);
    EXPECT_EQ(page.height, 100u);
}

TEST_F(SendConv, LowerResolutionKeepsThinLines)
{
    Bits bits(1728, 200);
    for (uint32_t x = 0; x < 1728; ++x)
        bits.set(x, 101); // one row, on the row that halving drops when it merely samples
    for (uint32_t y = 0; y < 200; ++y)
        bits.set(777, y);
    writeBilevel(path("src.tif"), {bits});
    ASSERT_EQ(convert(path("src.tif"), path("fax.tif"), "A4", "MH", 200, 100), SENDCONV_OK) << work_;
    const ReadPage page = onlyPage(path("fax.tif"));
    ASSERT_EQ(page.width, 1728u);
    ASSERT_EQ(page.height, 100u);
    EXPECT_FLOAT_EQ(page.yDpi, 100);
    for (uint32_t x = 0; x < 1728; ++x)
        ASSERT_TRUE(page.bits.at(x, 50)) << x;
    for (uint32_t y = 0; y < 100; ++y) {
        ASSERT_TRUE(page.bits.at(777, y)) << y;
        ASSERT_EQ(page.bits.at(778, y), y == 50) << y;
    }
}

TEST_F(SendConv, RotatedPapersTurnLandscapePages)
{
    Bits landscape(300, 200);
    landscape.set(10, 5); // near the top left corner
    writeBilevel(path("land.tif"), {landscape});

    ASSERT_EQ(convert(path("land.tif"), path("turned.tif"), "A4R"), SENDCONV_OK) << work_;
    ReadPage page = onlyPage(path("turned.tif"));
    ASSERT_EQ(page.width, 1728u);
    ASSERT_EQ(page.height, 300u);
    // A quarter to the left: the top edge becomes the left edge.
    EXPECT_TRUE(page.bits.at(5, 289));
    EXPECT_EQ(std::count(page.bits.black.begin(), page.bits.black.end(), 1), 1);

    ASSERT_EQ(convert(path("land.tif"), path("kept.tif"), "A4"), SENDCONV_OK);
    page = onlyPage(path("kept.tif"));
    EXPECT_EQ(page.height, 200u);
    EXPECT_TRUE(page.bits.at(10, 5));

    // Portrait pages stay as they are.
    writeBilevel(path("portrait.tif"), {Bits::pattern(200, 300)});
    ASSERT_EQ(convert(path("portrait.tif"), path("portrait-fax.tif"), "A4R"), SENDCONV_OK);
    EXPECT_EQ(onlyPage(path("portrait-fax.tif")).height, 300u);
}

TEST_F(SendConv, GreyAndColourBecomeBilevel)
{
    // Left half dark, right half light.
    std::vector<uint8_t> rgb, grey;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            const uint8_t v = x < 32 ? 100 : 160;
            rgb.insert(rgb.end(), {v, static_cast<uint8_t>(v + 20), static_cast<uint8_t>(v - 30)});
            grey.push_back(v);
        }
    writeContone(path("rgb.tif"), 64, 16, 3, rgb);
    writeContone(path("grey.tif"), 64, 16, 1, grey);
    for (const char* name : {"rgb.tif", "grey.tif"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(convert(path(name), path("fax.tif")), SENDCONV_OK) << work_;
        const ReadPage page = onlyPage(path("fax.tif"));
        ASSERT_EQ(page.bitsPerSample, 1);
        ASSERT_EQ(page.width, 1728u);
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                ASSERT_EQ(page.bits.at(x, y), x < 32) << x << "," << y;
        EXPECT_TRUE(whiteFrom(page.bits, 32));
    }
}

TEST_F(SendConv, RefusedCallsLeaveTheDestination)
{
    writeBilevel(path("src.tif"), {Bits::pattern(100, 10)});
    writeBytes(path("dst.tif"), "earlier");
    EXPECT_EQ(convert(path("src.tif"), path("dst.tif"), "A6"), SENDCONV_E_ARGUMENT);
    EXPECT_NE(std::strstr(work_, "A6"), nullptr) << work_;
    EXPECT_EQ(convert(path("src.tif"), path("dst.tif"), "A4", "JBIG"), SENDCONV_E_ARGUMENT);
    EXPECT_EQ(convert(path("src.tif"), path("dst.tif"), nullptr), SENDCONV_E_ARGUMENT);
    EXPECT_EQ(convert(path("src.tif"), path("dst.tif"), "A4", "MMR", 0, 200), SENDCONV_E_ARGUMENT);
    EXPECT_EQ(convert(path("src.tif"), "", "A4"), SENDCONV_E_ARGUMENT);

    EXPECT_EQ(convert(path("missing.tif"), path("dst.tif")), SENDCONV_E_SOURCE);
    EXPECT_NE(std::strstr(work_, "missing.tif"), nullptr) << work_;
    EXPECT_LT(std::strlen(work_), size_t{SENDCONV_WORK_AREA});
    const std::string source = readBytes(path("src.tif"));
    writeBytes(path("cut.tif"), source.substr(0, source.size() - 20));
    EXPECT_EQ(convert(path("cut.tif"), path("dst.tif")), SENDCONV_E_SOURCE);
    EXPECT_EQ(SENDCONVLIB_Convert(path("missing.tif").c_str(), path("dst.tif").c_str(), "A4", "MMR", 200, 200,
                                  nullptr, 0),
              SENDCONV_E_SOURCE);

    EXPECT_EQ(readBytes(path("dst.tif")), "earlier");
    EXPECT_EQ(entries(), (std::vector<std::string>{"cut.tif", "dst.tif", "src.tif"}));

    ASSERT_EQ(convert(path("src.tif"), path("dst.tif")), SENDCONV_OK);
    EXPECT_STREQ(work_, "");
}

TEST_F(SendConv, CombineGrowsThePageFileInOrder)
{
    std::vector<Bits> bits;
    for (uint32_t i = 0; i < 3; ++i) {
        bits.push_back(Bits::pattern(1728, 60 + i * 10, i));
        writeBilevel(path("src" + std::to_string(i) + ".tif"), {bits[i]});
        ASSERT_EQ(convert(path("src" + std::to_string(i) + ".tif"), path("p" + std::to_string(i) + ".tif"), "A4",
                          i == 1 ? "MR" : "MMR"),
                  SENDCONV_OK);
    }
    // As the job builder does: each call adds one page to the file of the call before.
    ASSERT_EQ(SENDCONVLIB_Combine(path("p1.tif").c_str(), path("p0.tif").c_str(), path("out1.tif").c_str()),
              SENDCONV_OK);
    const std::string two = readBytes(path("out1.tif"));
    ASSERT_EQ(SENDCONVLIB_Combine(path("p2.tif").c_str(), path("out1.tif").c_str(), path("out2.tif").c_str()),
              SENDCONV_OK);
    // The earlier pages were not written again.
    const std::string three = readBytes(path("out2.tif"));
    EXPECT_GT(three.size(), two.size());
    EXPECT_LE(differingBytes(two, three), 4u);

    const auto pages = readTiff(path("out2.tif"));
    ASSERT_EQ(pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(pages[i].bits == bits[i]) << i;
        EXPECT_EQ(pages[i].pageNumber, i);
        EXPECT_FLOAT_EQ(pages[i].yDpi, 200);
    }
    EXPECT_EQ(pages[1].compression, COMPRESSION_CCITTFAX3);
    EXPECT_EQ(pages[1].group3Options, uint32_t{GROUP3OPT_2DENCODING});
    EXPECT_EQ(pages[2].compression, COMPRESSION_CCITTFAX4);

    // Refusals leave everything as it was.
    EXPECT_EQ(SENDCONVLIB_Combine(path("missing.tif").c_str(), path("out2.tif").c_str(), path("out3.tif").c_str()),
              SENDCONV_E_SOURCE);
    EXPECT_EQ(SENDCONVLIB_Combine(path("p2.tif").c_str(), path("src9.tif").c_str(), path("out3.tif").c_str()),
              SENDCONV_E_SOURCE);
    writeBytes(path("text.tif"), "no picture");
    EXPECT_EQ(SENDCONVLIB_Combine(path("p2.tif").c_str(), path("text.tif").c_str(), path("out3.tif").c_str()),
              SENDCONV_E_SOURCE);
    EXPECT_EQ(SENDCONVLIB_Combine(nullptr, path("out2.tif").c_str(), path("out3.tif").c_str()),
              SENDCONV_E_ARGUMENT);
    EXPECT_EQ(readBytes(path("out2.tif")), three);
    EXPECT_EQ(readBytes(path("text.tif")), "no picture");
    EXPECT_FALSE(fs::exists(path("out3.tif")));
    for (const auto& name : entries())
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST_F(SendConv, BoundByNameAsTheJobBuilderDoes)
{
    const auto library = platform::Library::load("sendconvlib.dll");
    ASSERT_TRUE(library) << platform::Library::lastError();
    const auto send = library->function<SENDCONVLIB_SendFn>("SENDCONVLIB_Send");
    ASSERT_TRUE(send);
    EXPECT_EQ(send("fax.tif", "printer"), SENDCONV_E_UNSUPPORTED);
    EXPECT_TRUE(library->function<SENDCONVLIB_ConvertFn>("SENDCONVLIB_Convert"));
    EXPECT_TRUE(library->function<SENDCONVLIB_CombineFn>("SENDCONVLIB_Combine"));
    // Nothing of the page module is exported.
    EXPECT_FALSE(library->symbol("_ZN5qelta7imaging9thresholdERKNS0_4PageE"));
}
