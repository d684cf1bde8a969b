/* The fax conversion library ("sendconvlib.dll"), bound by name at run time by the job builder.
 * It turns page images into fax pages for a paper size and a fax compression, and joins fax pages
 * into one multi-page file. Plain C; every function returns 0 for success and a SENDCONV_E_ code
 * otherwise. */
#ifndef QELTA_IMAGING_SENDCONVLIB_H
#define QELTA_IMAGING_SENDCONVLIB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SENDCONV_EXPORT __attribute__((visibility("default")))

/* Size of the work area the caller passes: on failure the library leaves a short message there. */
#define SENDCONV_WORK_AREA 260

#define SENDCONV_OK 0
#define SENDCONV_E_ARGUMENT 1 /* a null or empty path, or an unknown paper or compression name */
#define SENDCONV_E_SOURCE 2   /* the source is missing, unreadable, corrupt or too large */
#define SENDCONV_E_WRITE 3    /* the destination could not be written */
#define SENDCONV_E_INTERNAL 4 /* anything else (out of memory) */
#define SENDCONV_E_UNSUPPORTED 5 /* the call is not offered by this library */

/* Converts every page of the TIFF file src into dst as bilevel fax pages.
 *   paper        "A3", "B4", "A4R", "A4", "B5", "B5R", "A5", "A5R", "85x11", "85x11R", "85x14",
 *                "11x17", "55x85", "85x13", "8K", "16K" or "16KR". The paper decides the fax line
 *                width: 1728 pixels at 200 dpi for papers up to A4 and letter width, 2048 for B4,
 *                2432 for A3, 11x17 and 8K (in proportion at other resolutions). A narrower page is
 *                padded with white on the right, a wider one scaled down to fit. With a rotated
 *                paper ("…R") a landscape page is turned a quarter turn to portrait first.
 *   compression  "MMR" (CCITT G4), "MH" (CCITT G3 1-D) or "MR" (CCITT G3 2-D).
 *   xres, yres   dots per inch of the result (1..1200); a page of another resolution is scaled,
 *                a page without one is taken to have the requested resolution.
 *   work         SENDCONV_WORK_AREA bytes (may be null); a message on failure.
 *   flags        not used.
 * Grey and colour pages become bilevel at half brightness. A page that is already of the paper,
 * resolution and compression is copied as it is coded, without being decoded. dst is written beside
 * itself and renamed into place: a failed conversion leaves an earlier dst as it was. */
SENDCONV_EXPORT int SENDCONVLIB_Convert(const char* src, const char* dst, const char* paper, const char* compression,
                                        unsigned long xres, unsigned long yres, char* work, int flags);

/* Makes output hold the pages of previous followed by the pages of page (fax pages as they are
 * coded, others coded again as they were stored). The earlier pages are not rewritten: where previous and output lie on one file system, output becomes a second name of
 * previous and the new pages are appended to it, so previous holds the combined pages too;
 * otherwise previous is copied first. An existing output is replaced. */
SENDCONV_EXPORT int SENDCONVLIB_Combine(const char* page, const char* previous, const char* output);

/* Sending is done by the job builder through the spooler: always SENDCONV_E_UNSUPPORTED. */
SENDCONV_EXPORT int SENDCONVLIB_Send(const char* path, const char* printer);

typedef int (*SENDCONVLIB_ConvertFn)(const char*, const char*, const char*, const char*, unsigned long, unsigned long,
                                     char*, int);
typedef int (*SENDCONVLIB_CombineFn)(const char*, const char*, const char*);
typedef int (*SENDCONVLIB_SendFn)(const char*, const char*);

#ifdef __cplusplus
}
#endif

#endif
