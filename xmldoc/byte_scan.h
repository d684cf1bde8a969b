// Finding one byte in the short runs a parse meets (names, values, the text between tags): sixteen
// bytes at a time where the processor allows it, with no library call for runs of a few bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace CXMLDOCLIB_Ostrel {

/// Where byte c first occurs in the length bytes at text, or null.
inline const char* findByte(const char* text, std::size_t length, char c)
{
    constexpr std::size_t kShort = 64; // beyond that the library's scan is the faster
    // What is left to look at is counted down rather than worked out as length less an index,
    // so the count can be seen never to wrap (and the library call to be dead for short runs).
    const char* at = text;
    std::size_t left = length;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (std::size_t blocks = 0; left >= 16 && blocks < kShort / 16; ++blocks, at += 16, left -= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))
            return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    if (left > kShort)
        return static_cast<const char*>(std::memchr(at, c, left));
    for (; left > 0; ++at, --left)
        if (*at == c)
            return at;
    return nullptr;
}

/// True when the length bytes at a and b are the same (short runs compared without a call).
inline bool sameBytes(const char* a, const char* b, std::size_t length)
{
    if (length >= 8 && length <= 16) {
        uint64_t x[2], y[2];
        std::memcpy(&x[0], a, 8);
        std::memcpy(&y[0], b, 8);
        std::memcpy(&x[1], a + length - 8, 8);
        std::memcpy(&y[1], b + length - 8, 8);
        return x[0] == y[0] && x[1] == y[1];
    }
    if (length < 8) {
        for (std::size_t i = 0; i < length; ++i)
            if (a[i] != b[i])
                return false;
        return true;
    }
    return std::memcmp(a, b, length) == 0;
}

} // namespace CXMLDOCLIB_Ostrel
