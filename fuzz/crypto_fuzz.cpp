// Feeds arbitrary bytes to the cryptotool decoders of every type, and round-trips them as a text
// through AES encryption: a decoder must never read or write out of bounds, and a text must come back.
#include "crypto/enclib.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    for (const int type : {ENCLIB_TYPE_COPY, ENCLIB_TYPE_BASE64, ENCLIB_TYPE_AES}) {
        char* out = nullptr;
        ENCLIB_DecryptString(type, input.c_str(), &out);
        ENCLIB_EncryptFree(out);
    }

    // The text is the input up to its first zero byte.
    const char* text = input.c_str();
    char* encrypted = nullptr;
    if (ENCLIB_EncryptString(ENCLIB_TYPE_AES, text, &encrypted) != static_cast<int>(std::strlen(text)) || !encrypted)
        std::abort();
    char* decrypted = nullptr;
    if (ENCLIB_DecryptString(ENCLIB_TYPE_AES, encrypted, &decrypted) < 0 || !decrypted || std::strcmp(decrypted, text) != 0)
        std::abort();
    ENCLIB_EncryptFree(decrypted);
    ENCLIB_EncryptFree(encrypted);
    return 0;
}
