// Pages for the page writer's tests: packed 1-bit rows (0 is black) and what libtiff should read.
#pragma once

#include "imaging/tests/tiff_pages_support.h"
#include "pagewriter/pagewriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pagewriter_test {

using imaging_test::Bits;

// A page as the driver hands it over: rows of (width + 7) / 8 bytes.
struct PackedPage {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> bytes;

    uint32_t rowBytes() const { return (width + 7) / 8; }

    // Mostly white with scattered marks, like text on a fax page; the seed varies it.
    static PackedPage faxLike(uint32_t width, uint32_t height, uint32_t seed = 0)
    {
        PackedPage page{width, height, {}};
        page.bytes.resize(size_t{page.rowBytes()} * height, 0xFF);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < page.rowBytes(); ++x)
                if ((x + y + seed) % 11 == 0 || (y % 40 == seed % 40 && x % 3 == 0))
                    page.bytes[size_t{y} * page.rowBytes() + x] = static_cast<uint8_t>((x * 31 + y * 7 + seed) & 0xFF);
        return page;
    }

    // PackBits' worst case: no two neighbouring bytes alike, so the strip outgrows the image.
    static PackedPage alternating(uint32_t width, uint32_t height)
    {
        PackedPage page{width, height, {}};
        page.bytes.resize(size_t{page.rowBytes()} * height);
        for (size_t i = 0; i < page.bytes.size(); ++i)
            page.bytes[i] = (i % 2) ? 0x00 : 0xFF;
        return page;
    }

    // Black where a bit is 0 (photometric min-is-black), as libtiff's reader gives it.
    Bits bits() const
    {
        Bits out(width, height);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                out.set(x, y, ((bytes[size_t{y} * rowBytes() + x / 8] >> (7 - x % 8)) & 1) == 0);
        return out;
    }
};

inline PageOutputFile outputRecord(uint32_t width, uint32_t height, uint16_t xDpi = 200, uint16_t yDpi = 200)
{
    PageOutputFile file{};
    file.hFile = -1;
    file.dwWidth = width;
    file.dwHeight = height;
    file.wXResolution = xDpi;
    file.wYResolution = yDpi;
    return file;
}

} // namespace pagewriter_test
