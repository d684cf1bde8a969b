// Unit tests of the library's SHA-1: the FIPS 180-1 vectors, every length around the block
// boundary against OpenSSL, and updates split at arbitrary points.
#include "xmldoc/sha1.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace CXMLDOCLIB_Ostrel;

std::string hex(const uint8_t* digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 20; ++i) {
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

/// The digest of data fed in pieces of the given sizes (the rest in one last piece).
std::string digestOf(const std::string& data, const std::vector<size_t>& pieces = {})
{
    Sha1Context c;
    sha1Init(c);
    size_t at = 0;
    for (size_t n : pieces) {
        sha1Update(c, data.data() + at, n);
        at += n;
    }
    sha1Update(c, data.data() + at, data.size() - at);
    uint8_t digest[20];
    sha1Final(digest, c);
    return hex(digest);
}

std::string openssl(const std::string& data)
{
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr), 1);
    EXPECT_EQ(length, 20u);
    return hex(digest);
}

TEST(Sha1, StandardVectors)
{
    EXPECT_EQ(digestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(digestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");

    const std::string chunk(1000, 'a');
    Sha1Context c;
    sha1Init(c);
    for (int i = 0; i < 1000; ++i)
        sha1Update(c, chunk.data(), chunk.size());
    uint8_t digest[20];
    sha1Final(digest, c);
    EXPECT_EQ(hex(digest), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, EveryLengthAroundTheBlockBoundary)
{
    std::string data;
    for (size_t length = 0; length <= 200; ++length) {
        EXPECT_EQ(digestOf(data), openssl(data)) << length << " bytes";
        data.push_back(static_cast<char>(length * 37 + 0x80)); // high bytes too
    }
    for (size_t length : {55, 56, 63, 64, 65, 119, 120, 128})
        EXPECT_EQ(digestOf(std::string(length, 'q')), openssl(std::string(length, 'q'))) << length;
}

TEST(Sha1, SplitUpdatesGiveTheSameDigest)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::string data(random() % 700, '\0');
        for (char& ch : data)
            ch = static_cast<char>(random());
        std::vector<size_t> pieces;
        for (size_t left = data.size(); left > 0;) {
            const size_t n = random() % 4 == 0 ? 0 : random() % (left < 130 ? left + 1 : 130);
            pieces.push_back(n); // empty updates included
            left -= n;
        }
        EXPECT_EQ(digestOf(data, pieces), openssl(data)) << data.size() << " bytes in " << pieces.size() << " pieces";
    }
    const std::string text(300, 'z');
    std::vector<size_t> bytes(text.size() - 1, 1); // byte by byte
    EXPECT_EQ(digestOf(text, bytes), openssl(text));
}

} // namespace
