// The exported text encoders: copy, Base64, and AES-128-ECB followed by Base64.
#include "crypto/enclib.h"

#include "platform/com.h"

#include <openssl/evp.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace {

// ---- Base64 ----

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Output size the encoder is given for len input bytes (the terminator comes on top).
constexpr size_t encodeBufferSize(size_t len) { return (len + 3) / 3 + len + 4; }

// Writes the Base64 text of in[0..len) and a terminating zero. False when capacity (terminator
// included) is too small; out then holds the empty text when it holds anything.
bool base64Encode(const unsigned char* in, size_t len, char* out, size_t capacity)
{
    const size_t needed = (len + 2) / 3 * 4 + 1;
    if (capacity < needed) {
        if (capacity > 0)
            out[0] = '\0';
        return false;
    }
    size_t o = 0;
    size_t i = 0;
    for (; i + 3 <= len; i += 3) {
        const uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = kAlphabet[(v >> 6) & 63];
        out[o++] = kAlphabet[v & 63];
    }
    if (const size_t rest = len - i; rest > 0) {
        const uint32_t v = (uint32_t(in[i]) << 16) | (rest == 2 ? uint32_t(in[i + 1]) << 8 : 0);
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out[o++] = '=';
    }
    out[o] = '\0';
    return true;
}

int base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Decodes src up to its terminator or its first '=' into out, skipping CR and LF. The decoded
// bytes and a terminating zero must fit in capacity bytes. Bits of an incomplete final group are
// dropped. False for a character outside the alphabet or output that does not fit; out then
// holds the empty text.
bool base64Decode(const char* src, unsigned char* out, size_t capacity, size_t& decoded)
{
    decoded = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    for (const char* p = src; *p && *p != '='; ++p) {
        if (*p == '\r' || *p == '\n')
            continue;
        const int v = base64Value(static_cast<unsigned char>(*p));
        if (v < 0) {
            out[0] = 0;
            decoded = 0;
            return false;
        }
        bits = ((bits << 6) | uint32_t(v)) & 0xFFFFFF;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            if (decoded + 1 >= capacity) {
                out[0] = 0;
                decoded = 0;
                return false;
            }
            out[decoded++] = static_cast<unsigned char>(bits >> bitCount);
        }
    }
    out[decoded] = 0;
    return true;
}

// ---- AES-128 key schedules ----

constexpr char kKeyText[] = "Lr4Tq8Wn2Z";
constexpr size_t kBlock = 16;
// Bytes handed to one cipher update; a multiple of the block size that fits an int.
constexpr size_t kChunk = size_t(1) << 20;

// The prepared encrypt and decrypt contexts; made once, then only copied from.
EVP_CIPHER_CTX* preparedEncrypt = nullptr;
EVP_CIPHER_CTX* preparedDecrypt = nullptr;
std::once_flag keySchedulesMade;

// Frees the prepared contexts when the library is unloaded. Made after the cipher library has
// started, so at process exit it runs before that library's own cleanup.
struct PreparedRelease {
    ~PreparedRelease()
    {
        EVP_CIPHER_CTX_free(preparedEncrypt);
        EVP_CIPHER_CTX_free(preparedDecrypt);
        preparedEncrypt = preparedDecrypt = nullptr;
    }
};

EVP_CIPHER_CTX* makeContext(bool encrypt)
{
    unsigned char key[kBlock] = {};
    std::memcpy(key, kKeyText, sizeof kKeyText - 1);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx)
        return nullptr;
    if (EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) != 1
        || EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        return nullptr;
    }
    return ctx;
}

// True when both key schedules are ready. A failed attempt (out of memory) is retried by the next call.
bool ensureKeySchedules()
{
    try {
        std::call_once(keySchedulesMade, [] {
            EVP_CIPHER_CTX* enc = makeContext(true);
            EVP_CIPHER_CTX* dec = enc ? makeContext(false) : nullptr;
            if (!dec) {
                EVP_CIPHER_CTX_free(enc);
                throw std::bad_alloc();
            }
            static PreparedRelease release;
            preparedEncrypt = enc;
            preparedDecrypt = dec;
        });
    } catch (...) {
        return false;
    }
    return true;
}

// Encrypts or decrypts len bytes (a multiple of 16) in place with a private copy of a prepared context.
bool cipherBlocks(const EVP_CIPHER_CTX* prepared, unsigned char* data, size_t len)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx)
        return false;
    bool ok = EVP_CIPHER_CTX_copy(ctx, prepared) == 1;
    for (size_t done = 0; ok && done < len;) {
        const size_t part = std::min(kChunk, len - done);
        int written = 0;
        ok = EVP_CipherUpdate(ctx, data + done, &written, data + done, static_cast<int>(part)) == 1
            && written == static_cast<int>(part);
        done += part;
    }
    EVP_CIPHER_CTX_free(ctx);
    return ok;
}

// The plaintext size for a text of len bytes: at least one block, whole blocks.
size_t paddedSize(size_t len) { return len <= kBlock ? kBlock : (len + kBlock - 1) / kBlock * kBlock; }

// ---- the exports' bodies ----

int copyText(const char* src, size_t len, char** dst)
{
    char* out = static_cast<char*>(std::malloc(len + 1));
    *dst = out;
    if (!out)
        return ENCLIB_E_NOMEMORY;
    std::memcpy(out, src, len + 1);
    return static_cast<int>(len);
}

// Base64 of len bytes into a new buffer at *dst.
int encodeToBuffer(const unsigned char* data, size_t len, char** dst)
{
    const size_t n = encodeBufferSize(len);
    char* out = static_cast<char*>(std::malloc(n + 1));
    *dst = out;
    if (!out)
        return ENCLIB_E_NOMEMORY;
    return base64Encode(data, len, out, n + 1) ? 0 : ENCLIB_E_BASE64;
}

int encryptAes(const char* src, size_t len, char** dst)
{
    if (!ensureKeySchedules()) {
        *dst = nullptr;
        return ENCLIB_E_NOMEMORY;
    }
    const size_t size = paddedSize(len);
    auto* blocks = static_cast<unsigned char*>(std::calloc(size, 1));
    if (!blocks) {
        *dst = nullptr;
        return ENCLIB_E_NOMEMORY;
    }
    std::memcpy(blocks, src, len);
    if (!cipherBlocks(preparedEncrypt, blocks, size)) {
        std::free(blocks);
        *dst = nullptr;
        return ENCLIB_E_NOMEMORY;
    }
    const int rc = encodeToBuffer(blocks, size, dst);
    std::free(blocks);
    return rc < 0 ? rc : static_cast<int>(len);
}

int decodeBase64(const char* src, size_t len, char** dst)
{
    auto* out = static_cast<unsigned char*>(std::malloc(len + 2));
    *dst = reinterpret_cast<char*>(out);
    if (!out)
        return ENCLIB_E_NOMEMORY;
    size_t decoded = 0;
    return base64Decode(src, out, len + 1, decoded) ? static_cast<int>(len) : ENCLIB_E_BASE64;
}

int decryptAes(const char* src, size_t len, char** dst)
{
    if (!ensureKeySchedules()) {
        *dst = nullptr;
        return ENCLIB_E_NOMEMORY;
    }
    // Whole blocks of the decoded bytes and a terminator; the decoded bytes never outnumber the characters.
    const size_t capacity = paddedSize(len) + 1;
    auto* out = static_cast<unsigned char*>(std::malloc(capacity));
    *dst = reinterpret_cast<char*>(out);
    if (!out)
        return ENCLIB_E_NOMEMORY;
    size_t decoded = 0;
    if (!base64Decode(src, out, capacity, decoded))
        return ENCLIB_E_BASE64;
    // Only whole cipher blocks are decrypted; anything else is not a text this library encrypted.
    if (decoded == 0 || decoded % kBlock != 0) {
        out[0] = 0;
        return ENCLIB_E_BASE64;
    }
    if (!cipherBlocks(preparedDecrypt, out, decoded)) {
        out[0] = 0;
        return ENCLIB_E_NOMEMORY;
    }
    out[decoded] = 0;
    return static_cast<int>(len);
}

// Lengths beyond what the result can report are refused like a buffer that cannot be had.
bool lengthFits(size_t len) { return len <= size_t(INT_MAX) - 64; }

// The checks both directions make before any work: 0 and the source length, or a negative code.
int checkArguments(int type, const char* src, char** dst, size_t& len)
{
    if (!src || !dst)
        return ENCLIB_E_NULL;
    if (type != ENCLIB_TYPE_COPY && type != ENCLIB_TYPE_BASE64 && type != ENCLIB_TYPE_AES)
        return ENCLIB_E_TYPE;
    len = std::strlen(src);
    if (!lengthFits(len)) {
        *dst = nullptr;
        return ENCLIB_E_NOMEMORY;
    }
    return 0;
}

// Runs one direction of an export inside the export guard: arguments checked, the copy type
// copied, the other types converted by convert(len).
template <typename Convert>
int guardedConversion(int type, const char* src, char** dst, Convert convert)
{
    return guardedExport(static_cast<int>(ENCLIB_E_NOMEMORY), [&] {
        size_t len = 0;
        if (const int rc = checkArguments(type, src, dst, len); rc < 0)
            return rc;
        return type == ENCLIB_TYPE_COPY ? copyText(src, len, dst) : convert(len);
    });
}

} // namespace

extern "C" {

int ENCLIB_EncryptString(int type, const char* src, char** dst)
{
    return guardedConversion(type, src, dst, [&](size_t len) {
        if (type != ENCLIB_TYPE_BASE64)
            return encryptAes(src, len, dst);
        const int rc = encodeToBuffer(reinterpret_cast<const unsigned char*>(src), len, dst);
        return rc < 0 ? rc : static_cast<int>(len);
    });
}

int ENCLIB_DecryptString(int type, const char* src, char** dst)
{
    return guardedConversion(type, src, dst, [&](size_t len) {
        return type == ENCLIB_TYPE_BASE64 ? decodeBase64(src, len, dst) : decryptAes(src, len, dst);
    });
}

void ENCLIB_EncryptFree(char* p) { std::free(p); }

} // extern "C"
