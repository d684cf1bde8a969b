/* The imaging library's exported functions, bound by name at run time by the suite (libraries
 * "IK6FILE.DLL" and "IK6COM.DLL"). Plain C so that both C and C++ callers can use them. */
#ifndef QELTA_IMAGING_IMAGEKIT_H
#define QELTA_IMAGING_IMAGEKIT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IK_EXPORT __attribute__((visibility("default")))

/* Values of IKFILEINFO.fileType. */
#define IK_FILETYPE_TIFF 1
#define IK_FILETYPE_BMP 2

#pragma pack(push, 1)
/* What IKFileType finds out about an image file; 64 bytes. */
typedef struct IKFILEINFO {
    int32_t fileType;     /* IK_FILETYPE_TIFF or IK_FILETYPE_BMP */
    int32_t resolution;   /* horizontal dots per inch, 0 when the file gives none */
    int32_t yResolution;  /* vertical dots per inch, 0 when the file gives none */
    int32_t width;        /* pixels */
    int32_t height;       /* pixels */
    int32_t bitsPerPixel; /* bits per sample times samples per pixel */
    int32_t compression;  /* the TIFF compression tag value (1 = none, 3 = CCITT G3, 4 = G4, ...); 0 for BMP */
    int32_t reserved;
    int16_t pageCount;    /* pages (TIFF directories), at most 32767 */
    int16_t reserved2;
    int32_t reserved3[7];
} IKFILEINFO;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(IKFILEINFO) == 64, "IKFILEINFO is 64 bytes");
static_assert(offsetof(IKFILEINFO, resolution) == 4 && offsetof(IKFILEINFO, yResolution) == 8
                  && offsetof(IKFILEINFO, width) == 12 && offsetof(IKFILEINFO, height) == 16
                  && offsetof(IKFILEINFO, bitsPerPixel) == 20 && offsetof(IKFILEINFO, compression) == 24
                  && offsetof(IKFILEINFO, reserved) == 28 && offsetof(IKFILEINFO, pageCount) == 32,
              "IKFILEINFO field offsets");
#else
_Static_assert(sizeof(IKFILEINFO) == 64, "IKFILEINFO is 64 bytes");
_Static_assert(offsetof(IKFILEINFO, resolution) == 4 && offsetof(IKFILEINFO, yResolution) == 8
                   && offsetof(IKFILEINFO, width) == 12 && offsetof(IKFILEINFO, height) == 16
                   && offsetof(IKFILEINFO, bitsPerPixel) == 20 && offsetof(IKFILEINFO, compression) == 24
                   && offsetof(IKFILEINFO, reserved) == 28 && offsetof(IKFILEINFO, pageCount) == 32,
               "IKFILEINFO field offsets");
#endif

/* Identifies the image file at path (UTF-8). Returns 1 for a TIFF or BMP file and fills *info (when not
 * null); returns 0, with *info zeroed, for a missing, unreadable, truncated or corrupt file or one that is
 * no image of these kinds. flags is not used. */
IK_EXPORT int IKFileType(const char* path, int flags, IKFILEINFO* info);

typedef int (*IKFileTypeFn)(const char* path, int flags, IKFILEINFO* info);

/* A page image held in memory by the library; 0 is no image. Handles are numbers the library hands
 * out and checks: a handle that was never given out, or was freed already, is refused. */
typedef uintptr_t IKHANDLE;

/* Compressions for IKTiffFileSave. The fax compressions apply to bilevel pages only; a grey or colour
 * page asked for one of them is stored with LZW (lossless) instead. */
#define IK_COMPRESSION_NONE 1
#define IK_COMPRESSION_PACKBITS 2
#define IK_COMPRESSION_G3_1D 3 /* MH */
#define IK_COMPRESSION_G3_2D 4 /* MR */
#define IK_COMPRESSION_G4 5    /* MMR */
#define IK_COMPRESSION_LZW 6

/* Loads page `page` (0 = the first) of the TIFF file at path into memory. Bilevel pages stay bilevel
 * (one bit per pixel, 1 = black); every other kind is held as 24-bit RGB. The page keeps its
 * resolution. flags and the three texts are not used. Returns 0 for a missing, unreadable or corrupt
 * file, a page that does not exist, or a page too large to hold. */
IK_EXPORT IKHANDLE IKTiffFileLoad(const char* path, int page, int flags, const char* reserved1,
                                  const char* reserved2, const char* reserved3);

/* Writes the image as a TIFF page at path with one of the IK_COMPRESSION_ values.
 *   append    0: the file holds this page alone; 1: the page is added after the pages of an
 *             existing TIFF file (a missing file is made).
 *   withTags  1: the tag text is written as text tags.
 *   tags      fields ending in CR, each "Name:value": Document (DocumentName), Description
 *             (ImageDescription), Page (PageName), Software, DateTime, Artist; empty values and
 *             unknown names are left out.
 *   overwrite 1: an existing file may be replaced (append 0); 0: an existing file fails the call.
 * A new file is written beside the target and renamed into place, so a failed save leaves the
 * earlier file as it was. flags and the three texts are not used. Returns 1 on success, else 0. */
IK_EXPORT int IKTiffFileSave(const char* path, IKHANDLE image, int compression, int append, int withTags,
                             const char* tags, int overwrite, int flags, const char* reserved1,
                             const char* reserved2, const char* reserved3);

/* Releases a loaded image. Returns 1, or 0 for a handle that is not a live image. */
IK_EXPORT int IKFreeMemory(IKHANDLE image);

typedef IKHANDLE (*IKTiffFileLoadFn)(const char*, int, int, const char*, const char*, const char*);
typedef int (*IKTiffFileSaveFn)(const char*, IKHANDLE, int, int, int, const char*, int, int, const char*,
                                const char*, const char*);
typedef int (*IKFreeMemoryFn)(IKHANDLE);

#ifdef __cplusplus
}
#endif

#endif
