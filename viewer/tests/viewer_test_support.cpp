#include "viewer/tests/viewer_test_support.h"

#include "platform/tests/support/test_support.h"

#include <fstream>
#include <sstream>

namespace viewer_test {

namespace {

int32_t recordMessage(void*, const char*, const char*, int32_t code)
{
    LibraryMessages::codes().push_back(code);
    return IDOK;
}

} // namespace

std::vector<int>& LibraryMessages::codes()
{
    static std::vector<int> shown;
    return shown;
}

LibraryMessages::LibraryMessages()
{
    codes().clear();
    PageFileSetMessageBox(recordMessage);
}

LibraryMessages::~LibraryMessages() { PageFileSetMessageBox(nullptr); }

std::string writeTiff(const std::string& path, int pages, uint16_t compression, uint32_t width, uint32_t height)
{
    std::vector<imaging_test::Bits> bits;
    for (int i = 0; i < pages; ++i)
        bits.push_back(imaging_test::Bits::pattern(width, height, static_cast<uint32_t>(i)));
    imaging_test::PageFormat format;
    format.compression = compression;
    imaging_test::writeBilevel(path, bits, format);
    return path;
}

std::string writeBmp(const std::string& path, uint32_t width, uint32_t height)
{
    qelta::test::writeTextFile(path, imaging_test::makeBmp(width, height, 1, {0x000000, 0xFFFFFF},
                                                           [](uint32_t x, uint32_t y) { return (x + y) % 5 ? 1u : 0u; }));
    return path;
}

std::string bytesOf(const std::string& path) { return qelta::test::readTextFile(path); }

std::pair<int, uint16_t> tiffFacts(const std::string& path)
{
    TIFFSetErrorHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return {0, 0};
    uint16_t compression = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    int pages = 0;
    do
        ++pages;
    while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return {pages, compression};
}

} // namespace viewer_test
