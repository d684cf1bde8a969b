// The ENCLIB_* exports, checked against AES-128-ECB and Base64 computed here with OpenSSL itself.
#include "crypto/enclib.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <climits>
#include <cstring>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// ---- reference encodings ----

Bytes referenceAes(bool encrypt, const Bytes& data)
{
    const unsigned char key[16] = {'L', 'r', '4', 'T', 'q', '8', 'W', 'n', '2', 'Z', 0, 0, 0, 0, 0, 0};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    Bytes out(data.size() + 16);
    int n = 0, tail = 0;
    const bool ok = ctx && EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) == 1
        && EVP_CIPHER_CTX_set_padding(ctx, 0) == 1
        && EVP_CipherUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size())) == 1
        && EVP_CipherFinal_ex(ctx, out.data() + n, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    EXPECT_TRUE(ok);
    out.resize(static_cast<size_t>(n + tail));
    return out;
}

std::string referenceBase64(const Bytes& data)
{
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), static_cast<int>(data.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The text zero-filled to whole blocks (at least one), encrypted, in Base64.
std::string referenceType2(const std::string& text)
{
    Bytes block = bytesOf(text);
    block.resize(text.size() <= 16 ? 16 : (text.size() + 15) / 16 * 16, 0);
    return referenceBase64(referenceAes(true, block));
}

// ---- calling the exports ----

struct Result {
    int rc = 0;
    bool null = true; // the result pointer was null after the call
    std::string text;
};

Result call(int (*fn)(int, const char*, char**), int type, const char* src)
{
    char* out = nullptr;
    Result r;
    r.rc = fn(type, src, &out);
    r.null = out == nullptr;
    if (out)
        r.text = out;
    ENCLIB_EncryptFree(out);
    return r;
}

Result encrypt(int type, const std::string& src) { return call(ENCLIB_EncryptString, type, src.c_str()); }
Result decrypt(int type, const std::string& src) { return call(ENCLIB_DecryptString, type, src.c_str()); }

// A text of the given length made of the non-zero bytes, varied by seed.
std::string sampleText(size_t length, unsigned seed = 0)
{
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(1 + (i * 37 + seed) % 255);
    return text;
}

// ---- the types ----

TEST(EnclibCopy, BothDirectionsCopyTheTextAndReportItsLength)
{
    for (const std::string text : {"", "x", "password with spaces", "ünïcödé"}) {
        const Result e = encrypt(ENCLIB_TYPE_COPY, text);
        EXPECT_EQ(e.rc, static_cast<int>(text.size()));
        EXPECT_EQ(e.text, text);
        const Result d = decrypt(ENCLIB_TYPE_COPY, text);
        EXPECT_EQ(d.rc, static_cast<int>(text.size()));
        EXPECT_EQ(d.text, text);
    }
}

TEST(EnclibBase64, ThreeLettersGiveFourCharactersAndBack)
{
    const Result e = encrypt(ENCLIB_TYPE_BASE64, "abc");
    EXPECT_EQ(e.rc, 3);
    EXPECT_EQ(e.text, referenceBase64(bytesOf("abc")));
    EXPECT_EQ(e.text.size(), 4u);

    const Result d = decrypt(ENCLIB_TYPE_BASE64, e.text);
    EXPECT_EQ(d.rc, 4); // the length of the encoded text
    EXPECT_EQ(d.text, "abc");
}

TEST(EnclibBase64, EncodingMatchesTheReferenceForEveryFinalGroup)
{
    for (size_t length = 0; length <= 40; ++length) {
        const std::string text = sampleText(length, 7);
        const Result e = encrypt(ENCLIB_TYPE_BASE64, text);
        EXPECT_EQ(e.rc, static_cast<int>(length));
        EXPECT_EQ(e.text, referenceBase64(bytesOf(text))) << "length " << length;
    }
}

TEST(EnclibBase64, DecoderSkipsLineBreaksStopsAtPaddingAndDropsPartialBits)
{
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, "YW\r\nJj\n").text, "abc");
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, "\r\n\r\nYWJj\r\n").text, "abc");
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, "YQ==YWJj").text, "a");  // nothing after the first '='
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, "YWJjZA").text, "abcd"); // padding may be left out
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, "YWJjZ").text, "abc");   // 6 bits make no byte
    const Result d = decrypt(ENCLIB_TYPE_BASE64, "YW\r\nJj");
    EXPECT_EQ(d.rc, 6);
}

TEST(EnclibBase64, CharacterOutsideTheAlphabetFailsWithAnEmptyBuffer)
{
    for (const char* bad : {"*", "YW*j", "YW Jj", "YWJj\t", "YW-_", "YWJj\x80"}) {
        const Result d = decrypt(ENCLIB_TYPE_BASE64, bad);
        EXPECT_EQ(d.rc, ENCLIB_E_BASE64) << bad;
        EXPECT_FALSE(d.null) << bad; // the buffer is handed out all the same
        EXPECT_EQ(d.text, "") << bad;
    }
}

TEST(EnclibAes, KnownAnswersAndLengths)
{
    struct Case {
        std::string text;
        size_t encodedLength;
    };
    const Case cases[] = {
        {"", 24},                 // one block of zero bytes
        {"secret", 24},
        {std::string(15, 'a'), 24},
        {std::string(16, 'b'), 24},
        {std::string(17, 'c'), 44},
        {std::string(32, 'd'), 44},
        {std::string(33, 'e'), 64},
    };
    for (const Case& c : cases) {
        const Result e = encrypt(ENCLIB_TYPE_AES, c.text);
        EXPECT_EQ(e.rc, static_cast<int>(c.text.size()));
        EXPECT_EQ(e.text, referenceType2(c.text)) << '"' << c.text << '"';
        EXPECT_EQ(e.text.size(), c.encodedLength) << '"' << c.text << '"';
    }
}

TEST(EnclibAes, DecryptsWhatTheReferenceEncrypted)
{
    const std::string encoded = referenceType2("Fax line 2");
    const Result d = decrypt(ENCLIB_TYPE_AES, encoded);
    EXPECT_EQ(d.rc, static_cast<int>(encoded.size()));
    EXPECT_EQ(d.text, "Fax line 2");
}

TEST(EnclibAes, LongTextCrossesCipherChunks)
{
    const std::string text = sampleText((5u << 19) + 3, 11); // 2.5 MiB and a bit
    const Result e = encrypt(ENCLIB_TYPE_AES, text);
    ASSERT_EQ(e.rc, static_cast<int>(text.size()));
    EXPECT_TRUE(e.text == referenceType2(text));
    const Result d = decrypt(ENCLIB_TYPE_AES, e.text);
    EXPECT_EQ(d.rc, static_cast<int>(e.text.size()));
    EXPECT_TRUE(d.text == text);
}

// ---- round trips ----

TEST(EnclibRoundTrip, EveryLengthUpTo100)
{
    for (size_t length = 0; length <= 100; ++length) {
        const std::string text = sampleText(length, static_cast<unsigned>(length));
        for (const int type : {ENCLIB_TYPE_COPY, ENCLIB_TYPE_BASE64, ENCLIB_TYPE_AES}) {
            const Result e = encrypt(type, text);
            ASSERT_EQ(e.rc, static_cast<int>(length)) << "type " << type << " length " << length;
            const Result d = decrypt(type, e.text);
            EXPECT_EQ(d.rc, static_cast<int>(e.text.size()));
            // For whole blocks there is no padding block: the text must still end with a zero byte.
            EXPECT_EQ(d.text, text) << "type " << type << " length " << length;
        }
    }
}

TEST(EnclibRoundTrip, NonAsciiUtf8Text)
{
    const std::string text = "Grüße aus Köln – 東京 – пароль ✓";
    for (const int type : {ENCLIB_TYPE_BASE64, ENCLIB_TYPE_AES}) {
        const Result e = encrypt(type, text);
        EXPECT_EQ(e.rc, static_cast<int>(text.size()));
        EXPECT_EQ(decrypt(type, e.text).text, text);
    }
}

// ---- failures ----

TEST(EnclibFailures, UnknownTypesLeaveTheResultPointerAlone)
{
    for (const int type : {3, -1, 5, INT_MIN, INT_MAX}) {
        char sentinel = 0;
        char* out = &sentinel;
        EXPECT_EQ(ENCLIB_EncryptString(type, "text", &out), ENCLIB_E_TYPE);
        EXPECT_EQ(out, &sentinel);
        EXPECT_EQ(ENCLIB_DecryptString(type, "dGV4dA==", &out), ENCLIB_E_TYPE);
        EXPECT_EQ(out, &sentinel);
    }
}

TEST(EnclibFailures, NullArgumentsGiveMinus3ForEveryType)
{
    for (const int type : {0, 1, 2, 3}) {
        char sentinel = 0;
        char* out = &sentinel;
        EXPECT_EQ(ENCLIB_EncryptString(type, nullptr, &out), ENCLIB_E_NULL);
        EXPECT_EQ(ENCLIB_DecryptString(type, nullptr, &out), ENCLIB_E_NULL);
        EXPECT_EQ(out, &sentinel);
        EXPECT_EQ(ENCLIB_EncryptString(type, "text", nullptr), ENCLIB_E_NULL);
        EXPECT_EQ(ENCLIB_DecryptString(type, "dGV4dA==", nullptr), ENCLIB_E_NULL);
    }
    ENCLIB_EncryptFree(nullptr);
}

TEST(EnclibFailures, AesInputThatIsNotWholeBlocksFailsCleanly)
{
    // Decoded lengths 3, 0, 1, 0, 15, 17, 0 bytes: never whole cipher blocks.
    const std::string inputs[] = {"AAAA", "A", "AA==", "", referenceBase64(Bytes(15, 1)),
                                  referenceBase64(Bytes(17, 1)), "\r\n="};
    for (const std::string& input : inputs) {
        const Result d = decrypt(ENCLIB_TYPE_AES, input);
        EXPECT_EQ(d.rc, ENCLIB_E_BASE64) << '"' << input << '"';
        EXPECT_FALSE(d.null) << '"' << input << '"';
        EXPECT_EQ(d.text, "") << '"' << input << '"';
    }
    EXPECT_EQ(decrypt(ENCLIB_TYPE_AES, "*AAAAAAAAAAAAAAAAAAAAA==").rc, ENCLIB_E_BASE64);
}

TEST(EnclibFailures, RandomBase64DecryptsOnlyAsWholeBlocks)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 400; ++round) {
        Bytes data(rng() % 200);
        for (auto& b : data)
            b = static_cast<unsigned char>(rng());
        std::string encoded = referenceBase64(data);
        if (round % 3 == 0 && encoded.size() > 4)
            encoded.insert(rng() % encoded.size(), "\r\n");
        const Result d = decrypt(ENCLIB_TYPE_AES, encoded);
        if (data.empty() || data.size() % 16 != 0) {
            EXPECT_EQ(d.rc, ENCLIB_E_BASE64) << data.size();
            EXPECT_EQ(d.text, "");
            continue;
        }
        ASSERT_EQ(d.rc, static_cast<int>(encoded.size()));
        const Bytes plain = referenceAes(false, data);
        const std::string expected(reinterpret_cast<const char*>(plain.data()), strnlen(reinterpret_cast<const char*>(plain.data()), plain.size()));
        EXPECT_EQ(d.text, expected);
    }
}

TEST(EnclibFailures, RandomCharactersNeverOverflow)
{
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n*";
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string input(rng() % 90, 'A');
        for (char& c : input)
            c = kChars[rng() % (sizeof kChars - 1)];
        for (const int type : {ENCLIB_TYPE_BASE64, ENCLIB_TYPE_AES}) {
            const Result d = decrypt(type, input);
            EXPECT_TRUE(d.rc == static_cast<int>(input.size()) || d.rc == ENCLIB_E_BASE64) << d.rc;
            EXPECT_FALSE(d.null);
        }
    }
}

TEST(EnclibFailures, VeryLongInputs)
{
    // 2 MiB of 'A' decode to 1.5 MiB of zero bytes: whole blocks, any text.
    const std::string whole(2u << 20, 'A');
    const Result d = decrypt(ENCLIB_TYPE_AES, whole);
    EXPECT_EQ(d.rc, static_cast<int>(whole.size()));
    EXPECT_LE(d.text.size(), (3u << 19));
    // One character more leaves its bits unused; three more give two extra bytes.
    EXPECT_EQ(decrypt(ENCLIB_TYPE_AES, whole + "A").rc, static_cast<int>(whole.size() + 1));
    EXPECT_EQ(decrypt(ENCLIB_TYPE_AES, whole + "AAA").rc, ENCLIB_E_BASE64);
    EXPECT_EQ(decrypt(ENCLIB_TYPE_BASE64, whole + "AAA").rc, static_cast<int>(whole.size() + 3));
}

// ---- threads ----

TEST(EnclibThreads, ConcurrentAesCallsAgree)
{
    // No type-2 call happens before the threads start, so they also race to make the key schedules.
    constexpr int kThreads = 8;
    std::vector<std::string> texts;
    std::vector<std::string> expected;
    for (size_t i = 0; i < 24; ++i) {
        texts.push_back(sampleText(i * 5, static_cast<unsigned>(i)));
        expected.push_back(referenceType2(texts.back()));
    }
    std::latch start(kThreads);
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < 20; ++round) {
                for (size_t i = 0; i < texts.size(); ++i) {
                    const Result e = encrypt(ENCLIB_TYPE_AES, texts[i]);
                    const Result d = decrypt(ENCLIB_TYPE_AES, e.text);
                    if (e.text != expected[i] || d.text != texts[i])
                        ++mismatches[static_cast<size_t>(t)];
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[static_cast<size_t>(t)], 0) << "thread " << t;
}

} // namespace
