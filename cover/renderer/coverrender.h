/* coverrender: the printer driver's cover sheet renderer. A cover sheet file is filled with the
 * recipient's fields, a memo and the sender's details and drawn as a one-bit page 1728 pixels wide
 * at 200 dpi, written as a TIFF page file or handed back as a packed bitmap. Results are global
 * memory blocks of the platform layer (platform/global_memory.h): the caller frees them with
 * GlobalUnlock / GlobalFree. Paths are UTF-8. The calls must not overlap (they are serialised).
 *
 * Recipient fields: eleven consecutive NUL-terminated strings (company, section, post, name, zip,
 * address 1, address 2, telephone, fax, title, page); a field that is exactly one tab is empty.
 * Sender block: COVERRENDER_SENDER_SIZE bytes, eighteen fields of 128 bytes, each NUL-terminated
 * within its 128 bytes: country code (0), area code (128), then company, section, post, name, ID
 * number, fax number, zip, address for sheets of "Lang" 0 (256 + 128 x i) and the same eight for
 * "Lang" 1 (1280 + 128 x i). A NULL list, memo or block counts as empty.
 *
 * Packed bitmap: a 40-byte BITMAPINFOHEADER (width 1728, the page height, 1 plane, 1 bit, no
 * compression, image size = height x 216), the colours black then white (4 bytes each) and the rows
 * bottom-up, 216 bytes each; a set bit is white. */
#ifndef QELTA_COVER_COVERRENDER_H
#define QELTA_COVER_COVERRENDER_H

#include "platform/global_memory.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define COVERRENDER_FIELDS 11
#define COVERRENDER_SENDER_FIELD 128
#define COVERRENDER_SENDER_SIZE 2304
/* Room the Ex form's path buffer must have. */
#define COVERRENDER_PATH_MAX 260
#define CR_EXPORT __attribute__((visibility("default")))

/* Renders the sheet into a new page file "CyymmddhhmmssSSS.TQG" (local time) in outputDirectory.
 * The file's path in a locked block, or NULL (no file is left behind). */
CR_EXPORT HGLOBAL TqlCvrMakeBitmap(const char* coverPath, const char* recipientFields, const char* memo,
                                   const char* sender, const char* outputDirectory);
/* As TqlCvrMakeBitmap, the path copied into pathBuffer (at most COVERRENDER_PATH_MAX bytes with its
 * NUL). 1, or 0 on failure (also when the path does not fit; no file is then left). */
CR_EXPORT int32_t TqlCvrMakeBitmapEx(const char* coverPath, const char* recipientFields, const char* memo,
                                     char* pathBuffer, const char* sender, const char* outputDirectory);
/* The packed bitmap in an unlocked block, or NULL. */
CR_EXPORT HGLOBAL TqlCvrMakeBitmapHandle(const char* coverPath, const char* recipientFields, const char* memo,
                                         const char* sender);
/* Characters the sheet's memo can take (the largest of its memo frames); 0 without frames. */
CR_EXPORT int32_t TqlCvrGetMaxMemoLength(const char* coverPath);

#ifdef __cplusplus
}
#endif

#endif
