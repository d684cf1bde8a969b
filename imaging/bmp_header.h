// The headers of Windows and OS/2 bitmap files, read in one place for the file-type query and
// pagefilelib. Internal to the imaging libraries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelta::imaging {

// Values of the information header's compression field.
constexpr uint32_t kBmpPlain = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpBitFields = 3;

// Bytes from the start of a file that hold every header this reader knows, masks included.
constexpr size_t kBmpHeadBytes = 14 + 124 + 16;

struct BmpHeader {
    uint32_t headerSize = 0; // 12: OS/2 core header (16-bit sizes, 3-byte palette entries)
    uint32_t dataOffset = 0;
    int64_t width = 0, height = 0; // as stored; height made positive, see topDown
    bool topDown = false;          // a negative height: rows stored top down
    unsigned planes = 0, bitsPerPixel = 0;
    uint32_t compression = kBmpPlain;
    uint32_t coloursUsed = 0;                // 0: all the depth allows
    int32_t xPelsPerMetre = 0, yPelsPerMetre = 0; // 0: the file gives none
    uint32_t masks[4] = {};                  // red, green, blue, alpha of bit-field pixels
    uint32_t paletteOffset = 0;              // of the colour table in the file
    unsigned paletteEntry = 4;               // bytes per colour: B, G, R (, 0)

    // Bytes of one stored row of plain pixels (rows are padded to 4 bytes).
    uint64_t rowBytes() const { return (static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4; }
};

// Reads the file header and the information header from the first `have` bytes of a file of
// fileSize bytes. False when they are no bitmap headers or reach past the file; what the fields
// say (sizes, depths, where the pixels are) is for the caller to check.
bool parseBmpHeader(const uint8_t* data, size_t have, uint64_t fileSize, BmpHeader& header);

// Dots per inch of a pels-per-metre field, rounded; 0 for none or a value no page has.
uint16_t bmpDotsPerInch(int32_t pelsPerMetre);

} // namespace qelta::imaging
