#include "jobbuilder/tests/support/job_test_support.h"

#include "platform/com.h"
#include "platform/library.h"

#include <gtest/gtest.h>

namespace jobtest {

void registerServer(const char* name)
{
    const auto library = platform::Library::load(name);
    ASSERT_TRUE(library) << name << ": " << platform::Library::lastError();
    const auto registerFn = library->function<DllRegisterServerFn>("DllRegisterServer");
    ASSERT_TRUE(registerFn) << name;
    ASSERT_EQ(registerFn(), S_OK) << name;
}

void writeFaxTiff(const std::string& path, const std::vector<uint32_t>& widths, uint32_t height)
{
    std::vector<imaging_test::Bits> pages;
    for (size_t page = 0; page < widths.size(); ++page)
        pages.push_back(imaging_test::Bits::pattern(widths[page], height, static_cast<uint32_t>(page)));
    imaging_test::writeBilevel(path, pages, {COMPRESSION_CCITTFAX4, 200, 200});
}

void writeFaxTiff(const std::string& path, int pages, uint32_t height)
{
    writeFaxTiff(path, std::vector<uint32_t>(static_cast<size_t>(pages), 1728), height);
}

} // namespace jobtest
