/* pagefilelib: page-image files for the cover sheet editor, the cover sheet renderer and the viewer.
 * Types are told by content: BMP, TIFF, PCX and the suite's FAX files are read and written, and
 * plain files are opened, read, written and cut. Bitmaps are the imaging library's page images
 * (IKHANDLE, freed with IKFreeMemory). Every call sets the code that PageFileGetLastError returns
 * (per thread). Paths are UTF-8.
 *
 * Long operations (reading, writing, importing a page) are handles: open, step until the step
 * returns 0, end. This library does the work in the first step.
 *
 * FAX files (type 4), all numbers little-endian:
 *   file header, 12 bytes:
 *     0  4  magic "QFAX"
 *     4  2  layout version, 1
 *     6  2  page count, at least 1
 *     8  4  0
 *   then for each page, a 20-byte page header followed by the page's data:
 *     0  4  width in pixels
 *     4  4  height in pixels (rows)
 *     8  2  horizontal resolution, dots per inch (0 = not known)
 *    10  2  vertical resolution, dots per inch (0 = not known)
 *    12  4  length of the data in bytes
 *    16  4  0
 *   The data holds the rows top down, each coded in modified Huffman (T.4 one-dimensional runs,
 *   starting with a white run, no EOL codes) and padded to a whole byte: what TIFF compression 2
 *   holds. A set pixel is black.
 */
#ifndef QELTA_IMAGING_PAGEFILELIB_H
#define QELTA_IMAGING_PAGEFILELIB_H

#include "imaging/imagekit.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PF_EXPORT __attribute__((visibility("default")))

/* File types. */
#define PF_TYPE_NONE 0     /* unsupported, also DCX */
#define PF_TYPE_BMP 1      /* read 1, 4, 8, 24 and 32 bits, RLE8 and RLE4; written with 1 bit */
#define PF_TYPE_TIFF 2
#define PF_TYPE_PCX 3      /* read 1 to 4 one-bit planes, 2, 4, 8 and 24 bits; written with 1 bit */
#define PF_TYPE_FAX 4
#define PF_TYPE_DOCUMENT 5 /* the suite's documents: TIFF files, detected as PF_TYPE_TIFF */
#define PF_TYPE_LINK 6     /* a list of paths; written by the caller with the plain file calls */

/* Compressions of TIFF files (this library's codes, not TIFF's). */
#define PF_COMPRESSION_NONE 1
#define PF_COMPRESSION_MH 2       /* TIFF 2: modified Huffman */
#define PF_COMPRESSION_G3_MH 3    /* TIFF 3, one-dimensional */
#define PF_COMPRESSION_G3_MR 4    /* TIFF 3, two-dimensional */
#define PF_COMPRESSION_G4 5       /* TIFF 4: read and reported only */
#define PF_COMPRESSION_CLASS_F 6  /* TIFF 3, one-dimensional, byte-aligned EOLs, the Class F tags */
#define PF_COMPRESSION_PACKBITS 32773
/* Colour pages asked for a fax compression are stored with LZW, reported as 0. */

/* Error codes (16-bit). */
#define PF_OK 0
#define PF_ERR_ARGUMENT (-1)    /* a missing or impossible argument */
#define PF_ERR_TYPE (-2)        /* not a file type the call handles */
#define PF_ERR_CORRUPT (-3)     /* the file does not hold together */
#define PF_ERR_NO_PAGE (-4)     /* the page does not exist */
#define PF_ERR_TOO_LARGE (-5)   /* beyond the library's limits */
#define PF_ERR_WRITE (-6)       /* the file could not be written */
#define PF_ERR_MEMORY (-7)
#define PF_ERR_HANDLE (-8)      /* not a live handle of this library */
#define PF_ERR_COMPRESSION (-9) /* a compression the type cannot store */
#define PF_ERR_ONE_PAGE (-10)   /* BMP and PCX files hold one page: nothing can be appended */
#define PF_ERR_OPEN (-24)       /* the file cannot be opened */

/* A reader, writer or page import; 0 is none. */
typedef uintptr_t PFHANDLE;

#pragma pack(push, 1)
/* What PageFileOpenDocument tells about a file; 24 bytes. */
typedef struct PAGEFILEDOCUMENT {
    uint16_t size;        /* 0: bytes of this record */
    uint16_t fileType;    /* 2: PF_TYPE_ */
    uint16_t version;     /* 4: TIFF 42, BMP info header size, PCX version byte, FAX layout version */
    uint16_t pageCount;   /* 6: at most 65535 */
    uint32_t width;       /* 8: of the first page */
    uint32_t height;      /* 12 */
    uint16_t compression; /* 16: PF_COMPRESSION_ of the first page; 0 for other kinds, BMP and PCX */
    uint16_t colours;     /* 18: 2, 16 or 256; 0 = full colour */
    uint16_t xDpi, yDpi;  /* 20, 22: 0 = not known */
} PAGEFILEDOCUMENT;
#pragma pack(pop)

/* Shows a message; the suite's programs install one that opens a warning box. Returns what the box
 * returns. Without one, PageFileShowError writes the message to standard error. */
typedef int32_t (*PageFileMessageBoxFn)(void* owner, const char* caption, const char* text, int32_t code);

/* Installs the message box (NULL: back to standard error). Not a page-file operation: it leaves
 * PageFileGetLastError as it is. */
PF_EXPORT void PageFileSetMessageBox(PageFileMessageBoxFn show);

/* The code of the calling thread's last call. */
PF_EXPORT int16_t PageFileGetLastError(void);
/* Shows the text of code (caption NULL: "Page Image File"). Returns the box's result. */
PF_EXPORT int32_t PageFileShowError(void* owner, const char* caption, int32_t code);

/* The file's type by its content: PF_TYPE_NONE for an empty file or one of no known kind (no
 * error), PF_ERR_OPEN for a missing one. */
PF_EXPORT int32_t PageFileGetType(const char* path);
/* Pages of a TIFF, FAX or document file; 0 with the error on failure. */
PF_EXPORT int32_t PageFileCountTiffPages(const char* path);
PF_EXPORT int32_t PageFileCountFaxPages(const char* path);
PF_EXPORT int32_t PageFileCountDocumentPages(const char* path);

/* The record of a file of any readable type; NULL on failure. Close with PageFileCloseDocument. */
PF_EXPORT PAGEFILEDOCUMENT* PageFileOpenDocument(const char* path);
PF_EXPORT int32_t PageFileCloseDocument(PAGEFILEDOCUMENT* document);

/* Reads `count` pages (0 or 1: one) from page `page` (1 = first) of the file of type `type`. Given
 * the reader of the pages just before (`previous`, of the same file), the file is not opened again:
 * the new reader takes over the open file and `previous` is spent. appValue is kept, not used. */
PF_EXPORT PFHANDLE PageFileReadPagesOpen(const char* path, int32_t type, int32_t page, int32_t count,
                                         PFHANDLE previous, intptr_t appValue);
/* One step; nonzero while more steps are needed. */
PF_EXPORT int32_t PageFileReadStep(int32_t type, PFHANDLE reader);
PF_EXPORT int32_t PageFileReadPagesYield(int32_t type, PFHANDLE reader);
/* Stores the pages read into bitmaps (room for `count` handles) and returns how many were stored.
 * The ended reader stays parked for a following PageFileReadPagesOpen of the next pages; the library
 * keeps the last 8 parked readers and closes older ones. */
PF_EXPORT int32_t PageFileReadPagesEnd(int32_t type, PFHANDLE reader, IKHANDLE* bitmaps, intptr_t appValue);
/* One page (1 = first) into one bitmap; option is not used. */
PF_EXPORT PFHANDLE PageFileReadBitmapOpen(const char* path, int32_t type, int32_t page, int32_t option);
PF_EXPORT IKHANDLE PageFileReadBitmapEnd(int32_t type, PFHANDLE reader);

/* Writes `count` (0 or 1: one) bitmaps as the file at path of type `type` with `compression` (TIFF:
 * PF_COMPRESSION_; others 0). append 1 adds the pages after those of an existing TIFF or FAX file
 * (a missing file is made). The file is written beside the target and renamed over it by the first
 * step (or the end): it appears whole or not at all. */
PF_EXPORT PFHANDLE PageFileWriteBitmapsOpen(const IKHANDLE* bitmaps, int32_t type, int32_t compression,
                                            int32_t append, int32_t count, const char* path, intptr_t appValue);
PF_EXPORT PFHANDLE PageFileWriteBitmapOpen(IKHANDLE bitmap, int32_t type, int32_t compression, int32_t append,
                                           const char* path);
PF_EXPORT int32_t PageFileWriteStep(PFHANDLE writer, int32_t type);
/* Finishes the file and frees the writer; returns 1 when the file was written. */
PF_EXPORT int32_t PageFileWriteEnd(PFHANDLE writer, int32_t type);

/* Conversion: prepares the import of a source of `pages` pages (1 for BMP and PCX); returns 1. */
PF_EXPORT int32_t PageFileImportBeginBmp(int32_t pages);
PF_EXPORT int32_t PageFileImportBeginTiff(int32_t pages);
PF_EXPORT int32_t PageFileImportBeginPcx(int32_t pages);
PF_EXPORT int32_t PageFileImportBeginFax(int32_t pages);
PF_EXPORT int32_t PageFileImportBeginDocument(int32_t pages);
/* Copies one page of source (page 1 = first) into destination of targetType with compression;
 * option is not used; append as for PageFileWriteBitmapsOpen. 0 = nothing to do (see the error). */
PF_EXPORT PFHANDLE PageFileImportPageOpenBmp(const char* source, const char* destination, int32_t targetType,
                                             int32_t compression, int32_t option, int32_t append);
PF_EXPORT PFHANDLE PageFileImportPageOpenTiff(const char* source, const char* destination, int32_t targetType,
                                              int32_t compression, int32_t option, int32_t append, int32_t page);
PF_EXPORT PFHANDLE PageFileImportPageOpenPcx(const char* source, const char* destination, int32_t targetType,
                                             int32_t compression, int32_t option, int32_t append);
PF_EXPORT PFHANDLE PageFileImportPageOpenFax(const char* source, const char* destination, int32_t targetType,
                                             int32_t compression, int32_t option, int32_t append, int32_t page,
                                             int32_t reserved);
PF_EXPORT PFHANDLE PageFileImportPageOpenDocument(const char* source, const char* destination,
                                                  int32_t targetType, int32_t compression, int32_t option,
                                                  int32_t append, int32_t page);
/* For an import of every type: one step (nonzero while busy), and the end (1 = page written). */
PF_EXPORT int32_t PageFileImportPageStep(PFHANDLE import);
PF_EXPORT int32_t PageFileImportPageClose(PFHANDLE import);

/* Plain files. Styles: PF_OPEN_READ, PF_OPEN_READWRITE, PF_OPEN_CREATE (made empty, read and write),
 * PF_OPEN_EXIST (probe: 1 when the file exists, nothing stays open). record is not used. Returns a
 * handle, -1 on failure. */
#define PF_OPEN_READ 0
#define PF_OPEN_READWRITE 2
#define PF_OPEN_CREATE 0x1000
#define PF_OPEN_EXIST 0x4000
PF_EXPORT int32_t PageFileOpen(const char* path, void* record, int32_t style);
PF_EXPORT int32_t PageFileClose(int32_t file);
/* Bytes read, -1 on failure. */
PF_EXPORT int32_t PageFileRead(int32_t file, void* buffer, int32_t count);
PF_EXPORT int32_t PageFileReadBlock(int32_t file, void* buffer, int32_t count);
/* origin 0 from the start, 2 from the end; the new position (so the size for 0 from the end). */
PF_EXPORT int32_t PageFileSeek(int32_t file, int32_t offset, int32_t origin);
/* Bytes written, -1 on failure; count 0 cuts the file at the current position. */
PF_EXPORT int32_t PageFileWrite(int32_t file, const void* buffer, int32_t count);
PF_EXPORT int32_t PageFileWriteBlock(int32_t file, const void* buffer, int32_t count);

#ifdef __cplusplus
static_assert(sizeof(PAGEFILEDOCUMENT) == 24 && offsetof(PAGEFILEDOCUMENT, fileType) == 2
                  && offsetof(PAGEFILEDOCUMENT, version) == 4 && offsetof(PAGEFILEDOCUMENT, compression) == 16
                  && offsetof(PAGEFILEDOCUMENT, colours) == 18,
              "PAGEFILEDOCUMENT layout");
}
#endif

#endif
