// BMP files: every size, offset and run is checked against the file and the image before a byte
// is taken from it or a pixel is set.
#include "imaging/little_endian.h"
#include "imaging/page_formats.h"
#include "imaging/pagefilelib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace qelta::imaging::pagefile {

namespace {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// Dark enough to be black on a bilevel page (the usual luminance weights).
bool isDark(Rgb c) { return (c.r * 11 + c.g * 16 + c.b * 5) / 32 < 128; }

void putRgb(Page& page, uint32_t y, uint32_t x, Rgb c)
{
    uint8_t* p = page.row(y) + size_t{x} * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// One channel of a bit-field pixel, scaled to 0-255; 0 for an empty mask.
uint8_t channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t top = mask >> shift;
    return static_cast<uint8_t>(uint64_t{(pixel & mask) >> shift} * 255 / top);
}

// Run-length coded rows (RLE8, or RLE4 with two pixels a byte) onto an RGB page already filled with
// colour 0: a run or a jump that leaves its row or the image, and data that ends before the image
// does, make the file corrupt.
int16_t decodeRuns(const BmpInfo& info, const uint8_t* data, size_t size, const std::array<Rgb, 256>& palette,
                   Page& page)
{
    const bool four = info.header.compression == kBmpRle4;
    const uint32_t width = info.width, height = info.height;
    auto index = [four](const uint8_t* bytes, uint32_t i) {
        return four ? (i % 2 ? bytes[i / 2] & 0x0f : bytes[i / 2] >> 4) : bytes[i];
    };
    auto pageRow = [&](uint32_t stored) { return info.header.topDown ? stored : height - 1 - stored; };
    size_t in = info.header.dataOffset;
    uint32_t x = 0, y = 0; // y counts stored rows
    for (;;) {
        if (size - in < 2) // no end-of-bitmap code: whole only when every row was ended
            return y >= height ? PF_OK : PF_ERR_CORRUPT;
        const uint8_t count = data[in], code = data[in + 1];
        in += 2;
        if (count > 0) { // a run of count pixels
            if (y >= height || count > width - x)
                return PF_ERR_CORRUPT;
            const uint8_t pair[1] = {code};
            for (uint32_t i = 0; i < count; ++i, ++x)
                putRgb(page, pageRow(y), x, palette[index(pair, four ? i % 2 : 0)]);
            continue;
        }
        switch (code) {
        case 0: // end of line
            if (y >= height)
                return PF_ERR_CORRUPT;
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return PF_OK;
        case 2: { // jump right and up
            if (size - in < 2)
                return PF_ERR_CORRUPT;
            const uint8_t right = data[in], up = data[in + 1];
            in += 2;
            if (right > width - x || up > height - y)
                return PF_ERR_CORRUPT;
            x += right;
            y += up;
            break;
        }
        default: { // code pixels stored as they are, padded to a whole 16-bit word
            const size_t bytes = four ? (code + 1u) / 2 : code;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (y >= height || code > width - x || size - in < padded)
                return PF_ERR_CORRUPT;
            for (uint32_t i = 0; i < code; ++i, ++x)
                putRgb(page, pageRow(y), x, palette[index(data + in, i)]);
            in += padded;
        }
        }
    }
}

} // namespace

int16_t readBmpHeader(const uint8_t* data, size_t size, BmpInfo& info)
{
    BmpHeader& h = info.header;
    if (!parseBmpHeader(data, std::min(size, kBmpHeadBytes), size, h) || h.planes != 1)
        return PF_ERR_CORRUPT;
    const unsigned bits = h.bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && (bits != 32 || h.headerSize == 12))
        return PF_ERR_TYPE;
    const bool known = h.compression == kBmpPlain || (h.compression == kBmpRle8 && bits == 8)
                       || (h.compression == kBmpRle4 && bits == 4)
                       || (h.compression == kBmpBitFields && bits == 32 && h.headerSize != 64);
    if (!known)
        return PF_ERR_TYPE;
    if (h.width <= 0 || h.height <= 0)
        return PF_ERR_CORRUPT;
    if (!fitsLimits(bits == 1 ? PixelKind::Bilevel : PixelKind::Rgb, static_cast<uint64_t>(h.width),
                    static_cast<uint64_t>(h.height)))
        return PF_ERR_TOO_LARGE;
    info.width = static_cast<uint32_t>(h.width);
    info.height = static_cast<uint32_t>(h.height);
    info.bitsPerPixel = bits;
    info.colours = bits <= 8 ? (h.coloursUsed ? h.coloursUsed : 1u << bits) : 0;
    info.xDpi = bmpDotsPerInch(h.xPelsPerMetre);
    info.yDpi = bmpDotsPerInch(h.yPelsPerMetre);
    if (info.colours > (1u << std::min(bits, 8u)))
        return PF_ERR_CORRUPT;
    if (h.dataOffset < uint64_t{h.paletteOffset} + uint64_t{h.paletteEntry} * info.colours || h.dataOffset >= size)
        return PF_ERR_CORRUPT;
    const bool runs = h.compression == kBmpRle8 || h.compression == kBmpRle4;
    if (!runs && h.rowBytes() * info.height > size - h.dataOffset)
        return PF_ERR_CORRUPT;
    return PF_OK;
}

int16_t decodeBmp(const uint8_t* data, size_t size, Page& page)
{
    BmpInfo info;
    if (const int16_t code = readBmpHeader(data, size, info))
        return code;
    const BmpHeader& h = info.header;
    std::array<Rgb, 256> palette{}; // indexes past the file's colours are black
    for (uint32_t i = 0; i < info.colours; ++i) {
        const uint8_t* entry = data + h.paletteOffset + size_t{i} * h.paletteEntry;
        palette[i] = {entry[2], entry[1], entry[0]};
    }
    const bool bilevel = info.bitsPerPixel == 1;
    page = blankPage(bilevel ? PixelKind::Bilevel : PixelKind::Rgb, info.width, info.height);
    page.xDpi = info.xDpi;
    page.yDpi = info.yDpi;

    if (h.compression == kBmpRle8 || h.compression == kBmpRle4) {
        for (uint32_t y = 0; y < info.height; ++y)
            for (uint32_t x = 0; x < info.width; ++x)
                putRgb(page, y, x, palette[0]);
        return decodeRuns(info, data, size, palette, page);
    }

    const uint64_t rowBytes = h.rowBytes();
    const bool alpha = h.compression == kBmpBitFields && h.masks[3] != 0;
    for (uint32_t stored = 0; stored < info.height; ++stored) {
        const uint8_t* in = data + h.dataOffset + stored * rowBytes;
        const uint32_t y = h.topDown ? stored : info.height - 1 - stored;
        for (uint32_t x = 0; x < info.width; ++x) {
            switch (info.bitsPerPixel) {
            case 1:
                if (isDark(palette[(in[x / 8] >> (7 - x % 8)) & 1]))
                    setBlack(page.row(y), x);
                break;
            case 4:
                putRgb(page, y, x, palette[x % 2 ? in[x / 2] & 0x0f : in[x / 2] >> 4]);
                break;
            case 8:
                putRgb(page, y, x, palette[in[x]]);
                break;
            case 24:
                putRgb(page, y, x, {in[x * 3 + 2], in[x * 3 + 1], in[x * 3]});
                break;
            default: { // 32
                const uint8_t* p = in + size_t{x} * 4;
                if (h.compression != kBmpBitFields) {
                    putRgb(page, y, x, {p[2], p[1], p[0]});
                    break;
                }
                const uint32_t v = le32(p);
                Rgb c{channel(v, h.masks[0]), channel(v, h.masks[1]), channel(v, h.masks[2])};
                if (alpha) { // laid over white
                    const unsigned a = channel(v, h.masks[3]);
                    for (uint8_t* part : {&c.r, &c.g, &c.b})
                        *part = static_cast<uint8_t>((*part * a + 255 * (255 - a) + 127) / 255);
                }
                putRgb(page, y, x, c);
            }
            }
        }
    }
    return PF_OK;
}

std::vector<uint8_t> encodeBmp(const Page& source)
{
    const Page page = source.kind == PixelKind::Bilevel ? source : threshold(source);
    const uint32_t rowBytes = (page.width + 31) / 32 * 4, offset = 14 + 40 + 8;
    auto perMetre = [](double dpi) { return dpi > 0 && dpi < 65536 ? static_cast<uint32_t>(dpi / 0.0254 + 0.5) : 0u; };
    std::vector<uint8_t> out;
    out.reserve(offset + size_t{rowBytes} * page.height);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + rowBytes * page.height);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, page.width);
    put32(out, page.height); // rows bottom up
    put16(out, 1);
    put16(out, 1);
    put32(out, kBmpPlain);
    put32(out, rowBytes * page.height);
    put32(out, perMetre(page.xDpi)); // 0: the page has no resolution
    put32(out, perMetre(page.yDpi));
    put32(out, 2);
    put32(out, 2);
    put32(out, 0x00ffffff); // colour 0 white, colour 1 black: a set bit is black, as in the page
    put32(out, 0);
    for (uint32_t y = page.height; y-- > 0;) {
        out.insert(out.end(), page.row(y), page.row(y) + page.stride());
        out.insert(out.end(), rowBytes - page.stride(), 0);
    }
    return out;
}

} // namespace qelta::imaging::pagefile
