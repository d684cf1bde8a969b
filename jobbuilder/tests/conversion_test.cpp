// Conversion before sending: the paper each page size is sent on, and the page-by-page conversion
// through the imaging and conversion libraries.
#include "jobbuilder/conversion.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/tests/support/test_support.h"
#include "jobbuilder/tests/support/job_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using jobtest::readTiff;
using jobtest::writeFaxTiff;

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
    writeFaxTiff(image, {1728, 2048, 1000, 1728});
    const auto converted = ConvertBeforeSending(*imaging_, conversion_, {3, 0, 200, 200}, image);
    ASSERT_TRUE(converted);
    const auto source = readTiff(image);
    const auto pages = readTiff(*converted);
    ASSERT_EQ(pages.size(), 4u);
    const uint32_t widths[] = {1728, 2048, 1728, 1728};
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].width, widths[i]) << i;
        if (i != 2) {
            EXPECT_TRUE(pages[i].bits == source[i].bits) << i;
        }
    }
    // Only the result stays, and it is a file of its own.
    EXPECT_EQ(tempFiles(), std::vector<std::string>{platform::fileNameOf(*converted)});
    EXPECT_NE(*converted, image + ".TMP");
    ::unlink(converted->c_str());

    const std::string single = root_.path() + "/single.tif";
    writeFaxTiff(single, 1);
    const auto one = ConvertBeforeSending(*imaging_, conversion_, {3, 2, 200, 200}, single);
    ASSERT_TRUE(one);
    const auto alone = readTiff(*one);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_TRUE(alone[0].bits == readTiff(single).at(0).bits);
}

TEST_F(ConvertBeforeSendingTest, FailuresLeaveNoFiles)
{
    const std::string image = root_.path() + "/scan.tif";
    writeFaxTiff(image, 2);
    qelta::test::writeTextFile(root_.path() + "/text.tif", "not an image");
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 3, 200, 200}, image)) << "no such compression";
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {17, 0, 200, 200}, image)) << "no such paper";
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 0, 200, 200}, root_.path() + "/text.tif"));
    EXPECT_FALSE(ConvertBeforeSending(*imaging_, conversion_, {3, 0, 0, 0}, image)) << "the library refuses 0 dpi";
    EXPECT_TRUE(tempFiles().empty());
}
