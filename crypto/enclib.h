// cryptotool's exported functions: a text copied, Base64-encoded, or AES-128-encrypted and then
// Base64-encoded, and back. Callable from C.
//
// Every result buffer is allocated by the library and released with ENCLIB_EncryptFree only. The
// result pointer is left untouched after ENCLIB_E_TYPE and ENCLIB_E_NULL; after any other result it
// holds the library's buffer (or null when that could not be allocated), so a caller that sets it
// to null beforehand may always release it afterwards.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define ENCLIB_API __attribute__((visibility("default")))

/// Encoding types.
enum {
    ENCLIB_TYPE_COPY = 0,   /* the text as it is */
    ENCLIB_TYPE_BASE64 = 1, /* Base64 of the text's bytes */
    ENCLIB_TYPE_AES = 2,    /* AES-128-ECB of the zero-padded text, then Base64 */
};

/// Negative results.
enum {
    ENCLIB_E_TYPE = -1,     /* the type is not 0, 1 or 2 */
    ENCLIB_E_NOMEMORY = -2, /* a buffer could not be allocated */
    ENCLIB_E_NULL = -3,     /* null source text or null result address */
    ENCLIB_E_BASE64 = -4,   /* Base64 encoding or decoding failed */
};

/// Encodes src with the given type into a new buffer at *dst. Returns the length of src in bytes, or a negative code.
ENCLIB_API int ENCLIB_EncryptString(int type, const char* src, char** dst);

/// Decodes src with the given type into a new buffer at *dst. Returns the length of src in bytes
/// (not of the decoded text), or a negative code.
ENCLIB_API int ENCLIB_DecryptString(int type, const char* src, char** dst);

/// Releases a buffer handed out by the two functions above; null is ignored.
ENCLIB_API void ENCLIB_EncryptFree(char* p);

#ifdef __cplusplus
}
#endif
