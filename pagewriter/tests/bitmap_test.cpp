#include "pagewriter/tests/support/page_support.h"

using namespace pagewriter_test;
using imaging_test::readBytes;

namespace {

std::string le(uint32_t v, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s.push_back(char((v >> (8 * i)) & 0xFF));
    return s;
}

class PageWriterBitmap : public imaging_test::TempFolder {
protected:
    // Names the output file the bitmap names are built from.
    void nameOutput(const std::string& name)
    {
        PageOutputFile tiff = outputRecord(0, 0);
        ASSERT_EQ(tiffCreateFile(&tiff, path(name).c_str()), 1);
        ASSERT_EQ(tiffCompleteFile(&tiff), 1);
    }
};

} // namespace

TEST_F(PageWriterBitmap, HeadersPaletteAndRowsBottomUp)
{
    nameOutput("job");
    // Width 64: rows of 8 bytes; three rows that tell which is which.
    std::string image;
    for (char c : {'1', '2', '3'})
        image += std::string(8, c);
    PageOutputFile page = outputRecord(64, 3);
    page.dwPageNumber = 7;
    ASSERT_EQ(dibOutputFile(&page, image.data(), uint32_t(image.size())), 1);

    std::string expected = "BM" + le(24 + 62, 4) + le(0, 4) + le(62, 4);
    expected += le(40, 4) + le(64, 4) + le(3, 4) + le(1, 2) + le(1, 2) + le(0, 4) + le(24, 4) + le(4096, 4) + le(4096, 4)
              + le(0, 4) + le(0, 4);
    expected += le(0, 4) + std::string("\xFF\xFF\xFF\x00", 4);
    expected += std::string(8, '3') + std::string(8, '2') + std::string(8, '1');
    EXPECT_EQ(readBytes(path("job.007")), expected);
    EXPECT_EQ(entries(), (std::vector<std::string>{"job", "job.007"}));

    // A width that is not a multiple of 8 but whose rows agree: 41 pixels, 8-byte rows either way.
    page = outputRecord(41, 2);
    page.dwPageNumber = 1012;
    ASSERT_EQ(dibOutputFile(&page, image.data(), 16), 1);
    EXPECT_EQ(readBytes(path("job.1012")).size(), 62u + 16);
}

TEST_F(PageWriterBitmap, RefusalsWriteNothing)
{
    nameOutput("job");
    const std::string image(4096, '\x0F');
    struct Case {
        const char* name;
        uint32_t width, height, byteCount;
    };
    const Case cases[] = {
        {"fewer bytes than rows", 64, 3, 23},
        {"rows shorter than the bitmap's", 33, 2, 16},
        {"rows shorter than the bitmap's, wide", 1761, 1, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageOutputFile page = outputRecord(c.width, c.height);
        page.dwPageNumber = 1;
        EXPECT_EQ(dibOutputFile(&page, image.data(), c.byteCount), 0);
        EXPECT_EQ(entries(), std::vector<std::string>{"job"});
    }

    nameOutput("missing-folder-removed");
    imaging_test::fs::remove_all(path(""));
    PageOutputFile page = outputRecord(64, 1);
    EXPECT_EQ(dibOutputFile(&page, image.data(), 8), 0) << "file cannot be created";
}
