/* The imaging library's exported query functions, bound by name at run time by the suite
 * (library "IK6FILE.DLL"). Plain C so that both C and C++ callers can use them. */
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

#ifdef __cplusplus
}
#endif

#endif
