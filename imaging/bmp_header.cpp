#include "imaging/bmp_header.h"
#include "imaging/little_endian.h"

namespace qelta::imaging {

bool parseBmpHeader(const uint8_t* data, size_t have, uint64_t fileSize, BmpHeader& header)
{
    constexpr size_t kFileHeader = 14;
    if (have < kFileHeader + 4 || fileSize < have || data[0] != 'B' || data[1] != 'M')
        return false;
    header = BmpHeader{};
    header.dataOffset = le32(data + 10);
    header.headerSize = le32(data + 14);
    const uint32_t size = header.headerSize;
    if ((size != 12 && size < 40) || size > fileSize - kFileHeader)
        return false;
    const uint8_t* head = data + kFileHeader;
    if (size == 12) {
        if (have < kFileHeader + 12)
            return false;
        header.width = le16(head + 4);
        header.height = le16(head + 6);
        header.planes = le16(head + 8);
        header.bitsPerPixel = le16(head + 10);
        header.paletteOffset = kFileHeader + 12;
        header.paletteEntry = 3;
        return true;
    }
    if (have < kFileHeader + 40)
        return false;
    header.width = static_cast<int32_t>(le32(head + 4));
    const auto height = static_cast<int32_t>(le32(head + 8));
    if (height == INT32_MIN)
        return false;
    header.topDown = height < 0;
    header.height = height < 0 ? -int64_t{height} : height;
    header.planes = le16(head + 12);
    header.bitsPerPixel = le16(head + 14);
    header.compression = le32(head + 16);
    header.xPelsPerMetre = static_cast<int32_t>(le32(head + 24));
    header.yPelsPerMetre = static_cast<int32_t>(le32(head + 28));
    header.coloursUsed = le32(head + 32);
    header.paletteOffset = kFileHeader + size;
    if (header.compression == kBmpBitFields && size != 64) { // OS/2 2.x uses 3 for Huffman coding
        // Masks at the end of the 40-byte header's fields: inside a longer header, else after it.
        constexpr size_t at = kFileHeader + 40;
        const unsigned count = size >= 56 ? 4 : 3;
        if (size == 40)
            header.paletteOffset += 12;
        if (have < at + 4 * count)
            return false;
        for (unsigned i = 0; i < count; ++i)
            header.masks[i] = le32(data + at + 4 * i);
    }
    return true;
}

uint16_t bmpDotsPerInch(int32_t pelsPerMetre)
{
    // 65535 dpi at most: 2580000 pels a metre.
    return pelsPerMetre > 0 && pelsPerMetre < 2580000 ? static_cast<uint16_t>(pelsPerMetre * 0.0254 + 0.5) : 0;
}

} // namespace qelta::imaging
