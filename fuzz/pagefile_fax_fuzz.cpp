// FAX files from anywhere: the page table is checked against the bytes, the first pages are
// decoded, and a decoded page written again gives a file that reads back to the same pixels.
#include "imaging/page_formats.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace qelta::imaging;
    std::vector<pagefile::FaxPage> pages;
    if (pagefile::indexFax(data, size, pages) != 0)
        return 0;
    for (size_t i = 0; i < pages.size() && i < 3; ++i) {
        if (pages[i].offset + pages[i].length > size)
            std::abort();
        Page page;
        if (pagefile::decodeFaxPage(data, pages[i], page) != 0)
            continue;
        if (page.width != pages[i].width || page.height != pages[i].height)
            std::abort();
        std::vector<uint8_t> again;
        std::vector<pagefile::FaxPage> index;
        Page back;
        if (pagefile::encodeFax(nullptr, {}, {&page}, again) != 0 || pagefile::indexFax(again.data(), again.size(), index) != 0
            || pagefile::decodeFaxPage(again.data(), index.at(0), back) != 0 || back.pixels != page.pixels)
            std::abort();
    }
    return 0;
}
