/* The imaging libraries' exported functions, bound by name at run time by the suite. The base
 * library (loaded as "IK6COM.DLL" and "IK6FILE.DLL") holds pages, files and conversions without
 * any drawing; the drawing library (loaded as "IK6PRINT.DLL" and "IK6EFFECT.DLL") draws text and
 * shapes, loads image files of every common format, resizes and pastes. Both share one table of
 * images. Plain C so that both C and C++ callers can use them. */
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
 * file, a page that does not exist, or a page too large to hold. A fax page (one strip coded G4, MH
 * or MR) is held as it is coded and decoded when its pixels are first needed: damaged coding then
 * fails that call (IKGetImageType answers 0), and a save in the same coding copies it unread. */
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

/* ---- pages ---- */

/* Makes a page of width x height filled with the colour (red, green, blue), each 0-255.
 * bitsPerPixel 1 makes a bilevel page (white where the colour's brightness is at least half,
 * else black), 24 an RGB page. The page has no resolution until IKSetDpi. flags and the three texts
 * are not used. Returns 0 for another depth, a bad colour or a size beyond the library's limits. */
IK_EXPORT IKHANDLE IKCreateImage(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t red, int32_t green,
                                 int32_t blue, int32_t flags, const char* reserved1, const char* reserved2,
                                 const char* reserved3);

/* Sets the resolution of an image in dots per inch. Returns 1, or 0 for a dead handle or a
 * resolution below 1 or above 65535. */
IK_EXPORT int IKSetDpi(IKHANDLE image, int32_t xDpi, int32_t yDpi);

/* A new image of image's pixels at another depth: bitsPerPixel 1 gives a bilevel image, black where
 * the brightness (0-255) is below threshold; 24 gives RGB. The source stays as it is. dither, mode
 * and flags are not used. Returns 0 for a dead handle, another depth or a threshold beyond 0-256. */
IK_EXPORT IKHANDLE IKConvertColor(IKHANDLE image, int32_t bitsPerPixel, int32_t dither, int32_t mode,
                                  int32_t threshold, int32_t flags);

typedef IKHANDLE (*IKCreateImageFn)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                                    const char*, const char*);
typedef int (*IKSetDpiFn)(IKHANDLE, int32_t, int32_t);
typedef IKHANDLE (*IKConvertColorFn)(IKHANDLE, int32_t, int32_t, int32_t, int32_t, int32_t);

/* What IKGetImageType tells about an image in memory; 48 bytes. */
typedef struct IKIMAGEINFO {
    int32_t size;         /* sizeof(IKIMAGEINFO), set by the library */
    int32_t bitsPerPixel; /* 1 (bilevel) or 24 (RGB) */
    int32_t xResolution;  /* dots per inch, 0 when the image has none */
    int32_t yResolution;
    int32_t width;        /* pixels */
    int32_t height;
    int32_t bytesPerLine;
    int32_t reserved[5];
} IKIMAGEINFO;

/* Fills *info (and *copy, when not null) with the facts of a loaded image. Returns 1, or 0 (the
 * records untouched) for a dead handle or a null info. */
IK_EXPORT int IKGetImageType(IKIMAGEINFO* info, IKHANDLE image, IKIMAGEINFO* copy);

typedef int (*IKGetImageTypeFn)(IKIMAGEINFO*, IKHANDLE, IKIMAGEINFO*);

/* The pixels of a loaded image, row after row from the top, each row bytesPerLine bytes (bilevel:
 * one bit a pixel, the leftmost in the highest bit, 1 = black; RGB: red, green, blue bytes). Returns
 * the number of bytes the image holds and copies them when size is at least that; 0 for a dead
 * handle. */
IK_EXPORT size_t IKGetImageBits(IKHANDLE image, void* buffer, size_t size);

typedef size_t (*IKGetImageBitsFn)(IKHANDLE, void*, size_t);

/* ---- drawing (the drawing library) ---- */

/* A rectangle in pixels of an image: [left, right) x [top, bottom). For IKLine the two end points
 * (left, top) and (right, bottom). */
typedef struct IKRECT {
    int32_t left, top, right, bottom;
} IKRECT;

#pragma pack(push, 1)
/* Text attributes for IKDrawText; 60 bytes. The three bytes callers set to 1 are not used. */
typedef struct IKFONT {
    uint8_t charSet;     /* the character-set code of the text's font; fonts are chosen by face alone */
    uint8_t reserved1;
    char faceName[32];   /* NUL-terminated; a face the system lacks is replaced by a similar one */
    int16_t pointSize;   /* points, at 96 pixels per inch (a point is 4/3 pixel) */
    uint8_t bold, italic, underline, strikeOut; /* 0 or 1 */
    uint8_t one40;       /* callers put 1 here */
    uint8_t reserved2[7];
    uint8_t one48, one49; /* callers put 1 here */
    uint8_t reserved3[10];
} IKFONT;
#pragma pack(pop)

/* Line styles of IKDRAWINFO.lineStyle. */
#define IK_LINE_NONE 0
#define IK_LINE_SOLID 1
#define IK_LINE_DASH 2
#define IK_LINE_DOT 3
#define IK_LINE_DASHDOT 4
#define IK_LINE_DASHDOTDOT 5
#define IK_LINE_INSIDEFRAME 6

/* Fill patterns of IKDRAWINFO.fillPattern: none, solid, and ordered grey shades of 10 %, 15 % and
 * 5 % of the pixels (fixed to the image's pixel grid, so that adjoining fills meet seamlessly). */
#define IK_FILL_NONE 0
#define IK_FILL_SOLID 1
#define IK_FILL_GREY10 2
#define IK_FILL_GREY15 4
#define IK_FILL_GREY5 6

/* The drawing operation of IKRectangle and IKLine: paint with the pen and fill colours. */
#define IK_DRAW_PAINT 2

/* Pen and fill of IKRectangle and IKLine; 32 bytes. */
typedef struct IKDRAWINFO {
    int32_t penWidth;    /* pixels; below 1 draws 1 pixel wide */
    int32_t lineStyle;   /* IK_LINE_ */
    int32_t fillPattern; /* IK_FILL_; IKLine ignores it */
    uint32_t penColor;   /* 0x00RRGGBB; on a bilevel image black when darker than half */
    uint32_t fillColor;  /* the same for the fill */
    int32_t reserved[3];
} IKDRAWINFO;

/* Draws text into rect of the image, clipped to it, from its top left corner. Lines break at line
 * feeds (CR LF and lone CR count as one) and, when wrap is 1, between words at the rectangle's
 * width. background 1 first paints the rectangle white; align 1 centres each line, other values
 * keep lines to the left. Text and face name are in the process code page. Returns 1 when drawn
 * (an empty rectangle or text draws nothing and counts as drawn), 0 for a dead handle, a missing
 * argument or no fonts. */
IK_EXPORT int IKDrawText(IKHANDLE image, const IKRECT* rect, const IKFONT* font, const char* text,
                         int32_t background, int32_t wrap, int32_t align);

/* Draws a rectangle: first the fill, then the outline, pen wide, inside the rectangle. A rectangle
 * given with right < left or bottom < top is turned round. Returns 1 when drawn, 0 for a dead
 * handle, a missing argument, an unknown style, pattern or mode. */
IK_EXPORT int IKRectangle(IKHANDLE image, const IKRECT* rect, const IKDRAWINFO* info, int32_t mode);

/* Draws a line from (left, top) to (right, bottom), pen wide, centred on the line, with flat ends:
 * the last point itself is not drawn. Returns as IKRectangle. */
IK_EXPORT int IKLine(IKHANDLE image, const IKRECT* ends, const IKDRAWINFO* info, int32_t mode);

/* Loads an image file of any common kind (TIFF, BMP, PNG, JPEG, GIF, ...); for a TIFF file page
 * `page` (0 = first). Bilevel images stay bilevel, others become RGB (transparent parts white).
 * The image keeps the file's resolution. flags and the three texts are not used. Returns 0 for a
 * missing, unreadable or too large file. */
IK_EXPORT IKHANDLE IKFileLoad(const char* path, int32_t page, int32_t flags, const char* reserved1,
                              const char* reserved2, const char* reserved3);

/* Names the image IKResize works on. */
typedef struct IKRESIZEINFO {
    IKHANDLE image;
    int32_t reserved[4];
} IKRESIZEINFO;

/* A new image of source->image scaled to width x height; its resolution scales along. smooth 1
 * averages RGB pixels (for pictures), 0 takes the nearest ones; bilevel images keep every thin line
 * when reduced. flags and the three texts are not used. Returns 0 for a dead handle or a size
 * beyond the library's limits. */
IK_EXPORT IKHANDLE IKResize(const IKRESIZEINFO* source, int32_t width, int32_t height, int32_t smooth, int32_t flags,
                            const char* reserved1, const char* reserved2, const char* reserved3);

/* A new image: target with source pasted over it, centred on (centerX, centerY) (the source's top
 * left corner at centerX - width / 2, centerY - height / 2), clipped to the target. The result has
 * the target's depth and resolution (an RGB source on a bilevel target is black where darker than
 * half). colour and options are not used. Returns 0 for a dead handle. */
IK_EXPORT IKHANDLE IKPasteImage(IKHANDLE source, IKHANDLE target, int32_t centerX, int32_t centerY, uint32_t colour,
                                int32_t options);

typedef int (*IKDrawTextFn)(IKHANDLE, const IKRECT*, const IKFONT*, const char*, int32_t, int32_t, int32_t);
typedef int (*IKRectangleFn)(IKHANDLE, const IKRECT*, const IKDRAWINFO*, int32_t);
typedef int (*IKLineFn)(IKHANDLE, const IKRECT*, const IKDRAWINFO*, int32_t);
typedef IKHANDLE (*IKFileLoadFn)(const char*, int32_t, int32_t, const char*, const char*, const char*);
typedef IKHANDLE (*IKResizeFn)(const IKRESIZEINFO*, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                               const char*);
typedef IKHANDLE (*IKPasteImageFn)(IKHANDLE, IKHANDLE, int32_t, int32_t, uint32_t, int32_t);

#ifdef __cplusplus
static_assert(sizeof(IKFONT) == 60 && offsetof(IKFONT, faceName) == 2 && offsetof(IKFONT, pointSize) == 34
                  && offsetof(IKFONT, bold) == 36 && offsetof(IKFONT, one40) == 40 && offsetof(IKFONT, one48) == 48,
              "IKFONT layout");
static_assert(sizeof(IKDRAWINFO) == 32, "IKDRAWINFO is 32 bytes");
static_assert(sizeof(IKIMAGEINFO) == 48 && offsetof(IKIMAGEINFO, width) == 16, "IKIMAGEINFO layout");
#endif

#ifdef __cplusplus
}
#endif

#endif
