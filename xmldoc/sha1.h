// SHA-1 (FIPS 180-1), incremental, over byte buffers. The XPath comparison of node sets uses it to
// turn long strings into fixed 20-byte keys.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CXMLDOCLIB_Ostrel {

struct Sha1Context {
    uint32_t state[5];
    uint32_t count[2]; ///< bits hashed so far: low word, high word
    uint8_t buffer[64];
};

void sha1Init(Sha1Context& context);
void sha1Update(Sha1Context& context, const void* data, size_t length);
/// Pads, hashes the length and writes the 20-byte digest (the output comes first).
void sha1Final(uint8_t digest[20], Sha1Context& context);
/// Processes one 64-byte block.
void sha1Transform(Sha1Context& context, const uint8_t block[64]);

} // namespace CXMLDOCLIB_Ostrel
