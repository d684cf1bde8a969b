// Conversion before sending: the paper each page size is sent on, and the page-by-page conversion
// through the imaging and conversion libraries.
#include "jobbuilder/conversion.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

namespace {

// Pages of the given widths at 200 dpi; each page's first row holds its page number.
void writePages(const std::string& path, const std::vector<uint32_t>& widths, uint32_t height = 64)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (size_t page = 0; page < widths.size(); ++page) {
        const uint32_t width = widths[page];
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
        std::vector<unsigned char> row((width + 7) / 8, 0);
        for (uint32_t y = 0; y < height; ++y) {
            row.assign(row.size(), 0);
            if (y == 0)
                row[0] = static_cast<unsigned char>(page + 1);
            ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
        }
        ASSERT_TRUE(TIFFWriteDirectory(tif));
    }
    TIFFClose(tif);
}

struct PageFacts {
    uint32_t width = 0;
    unsigned char marker = 0;
};

std::vector<PageFacts> pageFacts(const std::string& path)
{
    std::vector<PageFacts> pages;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return pages;
    do {
        PageFacts p;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
        std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tif)));
        if (TIFFReadScanline(tif, row.data(), 0, 0) == 1)
            p.marker = row[0];
        pages.push_back(p);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

} // namespace

TEST(PaperFromSize, FollowsTheFaxWidths)
{
    EXPECT_STREQ(PaperFromSize(1728, 2292, 200), "A4");
    EXPECT_STREQ(PaperFromSize(2048, 2867, 200), "B4");
    EXPECT_STREQ(PaperFromSize(2432, 3437, 200), "A3");
    EXPECT_STREQ(PaperFromSize(3000, 1700, 200), "A4R");
    EXPECT_STREQ(PaperFromSize(3000, 2432, 200), "A4");
    EXPECT_STREQ(PaperFromSize(1729, 100, 200), "B4");
    EXPECT_STREQ(PaperFromSize(3457, 100, 400), "B4");
    EXPECT_STREQ(PaperFromSize(4865, 4863, 400), "A4R");
    EXPECT_STREQ(PaperFromSize(5000, 9000, 300), "A4");
    EXPECT_STREQ(PaperFromSize(100, 100, 0), "A4");
}

class ConvertBeforeSendingTest : public ::testing::Test {
protected:
    std::vector<std::string> tempFiles() const
    {
        return platform::listFiles(*platform::knownFolder(platform::KnownFolder::Temp), "*");
    }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<CImagingBinding> imaging_ = CImagingBinding::Acquire();
    CConversionBinding conversion_;
};

TEST_F(ConvertBeforeSendingTest, PagesKeepTheirOrderAndGetTheirOwnPaper)
{
    const std::string image = root_.path() + "/mixed.tif";
    // An A4 page, a B4 page and a narrow page that is padded to the A4 line.
    writePages(image, {1728, 2048, 1000, 1728});
    const auto converted = ConvertBeforeSending(*imaging_, conversion_, {3, 0, 200, 200}, image);
    ASSERT_TRUE(converted);
    const auto pages = pageFacts(*converted);
    ASSERT_EQ(pages.size(), 4u);
    const uint32_t widths[] = {1728, 2048, 1728, 1728};
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].width, widths[i]) << i;
        EXPECT_EQ(pages[i].marker, i + 1) << i;
    }
    // Only the result stays, and it is a file of its own.
    EXPECT_EQ(tempFiles(), std::vector<std::string>{platform::fileNameOf(*converted)});
    EXPECT_NE(*converted, image + ".TMP");
    ::unlink(converted->c_str());

    const std::string single = root_.path() + "/single.tif";
    writePages(single, {1728});
    const auto one = ConvertBeforeSending(*imaging_, conversion_, {3, 2, 200, 200}, single);
    ASSERT_TRUE(one);
    EXPECT_EQ(pageFacts(*one).size(), 1u);
}

TEST_F(ConvertBeforeSendingTest, FailuresLeaveNoFiles)
{
    const std::string image = root_.path() + "/scan.tif";
    writePages(image, {1728, 1728});
    qelta::test::writeTextFile(root_.path() + "/text.tif", "not an image");
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 3, 200, 200}, image)) << "no such compression";
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {17, 0, 200, 200}, image)) << "no such paper";
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 0, 200, 200}, root_.path() + "/text.tif"));
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 0, 0, 0}, image)) << "the library refuses 0 dpi";
    EXPECT_TRUE(tempFiles().empty());
}
