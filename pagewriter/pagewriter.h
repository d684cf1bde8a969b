/* The page writer: the printer driver's functions for writing rendered pages to disk as a
 * multi-page TIFF file (one 1-bit strip per page, raw or PackBits) or as one monochrome bitmap file
 * per page, plus the driver's settings, memory and copy helpers.
 *
 * Plain C, usable from the driver's C code. Every function returns 1 for success and 0 for failure
 * unless said otherwise. The library keeps the output file name in one process-wide place, so it
 * serves one output file at a time and its calls must not overlap. */
#ifndef QELTA_PAGEWRITER_H
#define QELTA_PAGEWRITER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PAGEWRITER_EXPORT __attribute__((visibility("default")))

/* The caller's record of an open output file, 28 bytes, little-endian, no padding:
 *
 *   offset  size  field
 *        0     4  hFile         int32 file descriptor of the open TIFF file, -1 when closed
 *        4     4  dwEndOffset   where the next page goes (8 right after the header)
 *        8     4  dwReserved    not used by the page writer
 *       12     4  dwWidth       page width in pixels
 *       16     4  dwHeight      page height in rows
 *       20     4  dwPageNumber  page number, used in bitmap file names
 *       24     2  wXResolution  dots per inch
 *       26     2  wYResolution  dots per inch
 *
 * The driver fills width, height, page number and resolutions before each page; the page writer
 * keeps hFile and dwEndOffset. */
typedef struct PageOutputFile {
    int32_t hFile;
    uint32_t dwEndOffset;
    uint32_t dwReserved;
    uint32_t dwWidth;
    uint32_t dwHeight;
    uint32_t dwPageNumber;
    uint16_t wXResolution;
    uint16_t wYResolution;
} PageOutputFile;

#ifdef __cplusplus
#define QELTA_PAGEWRITER_ASSERT(condition, text) static_assert(condition, text)
#else
#define QELTA_PAGEWRITER_ASSERT(condition, text) _Static_assert(condition, text)
#endif
QELTA_PAGEWRITER_ASSERT(sizeof(PageOutputFile) == 28, "PageOutputFile is 28 bytes");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, dwEndOffset) == 4, "dwEndOffset at 4");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, dwReserved) == 8, "dwReserved at 8");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, dwWidth) == 12, "dwWidth at 12");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, dwHeight) == 16, "dwHeight at 16");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, dwPageNumber) == 20, "dwPageNumber at 20");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, wXResolution) == 24, "wXResolution at 24");
QELTA_PAGEWRITER_ASSERT(offsetof(PageOutputFile, wYResolution) == 26, "wYResolution at 26");
#undef QELTA_PAGEWRITER_ASSERT

/* Compression code that asks tiffAppendPage for PackBits; any other value writes the bits raw. */
#define PAGEWRITER_COMPRESSION_PACKBITS 32773

/* Creates the TIFF file at path anew (paths of at most 259 bytes), remembers path as the output
 * file name and writes the 8-byte header. Sets hFile and dwEndOffset = 8. */
PAGEWRITER_EXPORT int tiffCreateFile(PageOutputFile* file, const char* path);

/* Appends one page of dwWidth x dwHeight pixels: byteCount bytes of bits (alternativeBits instead
 * when not null), rows of (dwWidth + 7) / 8 bytes for PackBits, of which at most dwHeight rows are
 * read. A bits-per-sample value of 0 is written as 1. On failure the output file is closed and deleted and hFile becomes -1. */
PAGEWRITER_EXPORT int tiffAppendPage(PageOutputFile* file, const void* bits, uint32_t byteCount, int compression,
                   int bitsPerSample, const void* alternativeBits);

/* Closes the TIFF file and sets hFile to -1; 0 when it was not open. */
PAGEWRITER_EXPORT int tiffCompleteFile(PageOutputFile* file);

/* Writes one page as the bitmap file "<output file name>.<page number as %03d>": rows of
 * ((dwWidth / 8 + 3) / 4) * 4 bytes, the caller's first row at the top. Refuses a byteCount
 * below dwHeight rows and a width whose bitmap rows are longer than that row length. */
PAGEWRITER_EXPORT int dibOutputFile(PageOutputFile* file, const void* bits, uint32_t byteCount);

/* Reads value valueName of HKEY_LOCAL_MACHINE "Software\KOVRA\TqlStl2". With a buffer (at least
 * 128 bytes): leaves the value's text (or defaultText when it cannot be read), at most 127 bytes
 * and a terminator, in it and returns its length. Without a buffer: returns that text's leading
 * decimal number. */
PAGEWRITER_EXPORT int myGetProfileData32(void* reserved, const char* valueName, const char* defaultText, char* buffer);

/* Writes a string value under HKEY_LOCAL_MACHINE "Software\KOVRA\TqlStl2": value below 0x10000
 * is stored as its decimal text, any other value is the address of a zero-terminated text. Returns
 * 0, or a Windows error code (2 key or value not found, 5 access denied, 87 bad name). */
PAGEWRITER_EXPORT int32_t myWriteProfileData32(void* reserved, const char* valueName, uintptr_t value);

/* Allocates size bytes, stores the pointer in *out (when out is not null) and returns it. */
PAGEWRITER_EXPORT void* xmalloc32(void** out, size_t size);

/* Frees *p (from xmalloc32) and sets it to null; nothing for null. */
PAGEWRITER_EXPORT void free32(void** p);

/* Copies count bytes, correct for overlapping areas; returns destination. */
PAGEWRITER_EXPORT void* memcpy3232(void* destination, const void* source, size_t count);
PAGEWRITER_EXPORT void* memcpy3216(void* destination, const void* source, size_t count);
PAGEWRITER_EXPORT void* memcpy1616(void* destination, const void* source, size_t count);
PAGEWRITER_EXPORT void* memcpy1632(void* destination, const void* source, size_t count);

#ifdef __cplusplus
}
#endif

#endif
