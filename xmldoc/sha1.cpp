#include "xmldoc/sha1.h"

#include <cstring>

namespace CXMLDOCLIB_Ostrel {

namespace {
inline uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
} // namespace

void sha1Init(Sha1Context& c)
{
    c.state[0] = 0x67452301;
    c.state[1] = 0xEFCDAB89;
    c.state[2] = 0x98BADCFE;
    c.state[3] = 0x10325476;
    c.state[4] = 0xC3D2E1F0;
    c.count[0] = c.count[1] = 0;
    std::memset(c.buffer, 0, sizeof c.buffer);
}

void sha1Transform(Sha1Context& c, const uint8_t block[64])
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t(block[4 * i]) << 24) | (uint32_t(block[4 * i + 1]) << 16) | (uint32_t(block[4 * i + 2]) << 8)
            | block[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = c.state[0], b = c.state[1], d3 = c.state[2], d = c.state[3], e = c.state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & d3) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ d3 ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & d3) | (b & d) | (d3 & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ d3 ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = d3;
        d3 = rotl(b, 30);
        b = a;
        a = t;
    }
    c.state[0] += a;
    c.state[1] += b;
    c.state[2] += d3;
    c.state[3] += d;
    c.state[4] += e;
}

void sha1Update(Sha1Context& c, const void* data, size_t length)
{
    const auto* in = static_cast<const uint8_t*>(data);
    size_t buffered = (c.count[0] / 8) % 64;
    const uint32_t low = c.count[0] + static_cast<uint32_t>(length << 3);
    if (low < c.count[0])
        ++c.count[1];
    c.count[0] = low;
    c.count[1] += static_cast<uint32_t>(static_cast<uint64_t>(length) >> 29);
    size_t i = 0;
    if (buffered + length >= 64) {
        i = 64 - buffered;
        std::memcpy(c.buffer + buffered, in, i);
        sha1Transform(c, c.buffer);
        for (; i + 64 <= length; i += 64)
            sha1Transform(c, in + i);
        buffered = 0;
    }
    std::memcpy(c.buffer + buffered, in + i, length - i);
}

void sha1Final(uint8_t digest[20], Sha1Context& c)
{
    uint8_t count[8];
    for (int i = 0; i < 8; ++i)
        count[i] = static_cast<uint8_t>(c.count[i < 4 ? 1 : 0] >> ((3 - (i & 3)) * 8));
    const uint8_t pad = 0x80, zero = 0;
    sha1Update(c, &pad, 1);
    while ((c.count[0] / 8) % 64 != 56)
        sha1Update(c, &zero, 1);
    sha1Update(c, count, 8);
    for (int i = 0; i < 20; ++i)
        digest[i] = static_cast<uint8_t>(c.state[i / 4] >> ((3 - (i & 3)) * 8));
}

} // namespace CXMLDOCLIB_Ostrel
