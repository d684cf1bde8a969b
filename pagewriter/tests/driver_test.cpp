#include "pagewriter/tests/support/page_support.h"

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

using namespace pagewriter_test;
using imaging_test::readBytes;

// The driver stand-in, a plain C program, writes a file through the library as the driver would.
TEST(PageWriterDriver, StandInWritesTiffAndBitmapPages)
{
    qelta::test::ScopedStateRoot root;
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine, "SOFTWARE\\Kovra\\TqlStl2", key),
              platform::RegStatus::Ok);
    const std::string output = root.path() + "/job.tif";
    ASSERT_EQ(platform::runProgram(qelta::test::helperProgram("pagewriter_driver_standin"), {output}), 0);

    struct Expected {
        PackedPage page;
        float xDpi, yDpi;
        uint16_t compression;
    };
    const Expected expected[] = {{PackedPage::faxLike(1728, 100, 0), 200, 200, COMPRESSION_NONE},
                                 {PackedPage::faxLike(1728, 200, 1), 200, 100, COMPRESSION_PACKBITS},
                                 {PackedPage::faxLike(3456, 120, 2), 400, 400, COMPRESSION_PACKBITS}};
    const auto pages = imaging_test::readTiff(output);
    ASSERT_EQ(pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pages[i].compression, expected[i].compression);
        EXPECT_EQ(pages[i].xDpi, expected[i].xDpi);
        EXPECT_EQ(pages[i].yDpi, expected[i].yDpi);
        EXPECT_EQ(pages[i].bitsPerSample, 1);
        EXPECT_TRUE(pages[i].bits == expected[i].page.bits());
    }

    for (uint32_t p : {1u, 2u}) {
        const std::string bitmap = readBytes(output + ".00" + std::to_string(p));
        const PackedPage page = PackedPage::faxLike(1728, 50, p);
        ASSERT_EQ(bitmap.size(), 62u + page.bytes.size());
        for (uint32_t y = 0; y < 50; ++y)
            EXPECT_EQ(bitmap.compare(62 + (49 - y) * 216, 216,
                                     reinterpret_cast<const char*>(page.bytes.data()) + y * 216, 216), 0) << y;
    }
}
