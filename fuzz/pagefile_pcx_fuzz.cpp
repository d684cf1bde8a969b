// PCX files from anywhere: a decoded page has the header's size, and a one-bit page written again
// decodes to the same pixels.
#include "imaging/page_formats.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace qelta::imaging;
    Page page;
    if (pagefile::decodePcx(data, size, page) != 0)
        return 0;
    pagefile::PcxInfo info;
    if (pagefile::readPcxHeader(data, size, info) != 0 || page.width != info.width || page.height != info.height
        || page.pixels.size() != page.stride() * page.height)
        std::abort();
    if (page.kind == PixelKind::Bilevel) {
        const auto again = pagefile::encodePcx(page);
        Page back;
        if (pagefile::decodePcx(again.data(), again.size(), back) != 0 || back.pixels != page.pixels)
            std::abort();
    }
    return 0;
}
