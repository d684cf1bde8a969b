/* Stands in for the printer driver: writes a three-page TIFF file and two bitmap pages through the
 * page writer's exports, the way the driver calls them.
 *
 *   pagewriter_driver_standin OUTPUT
 *
 * Page p (seed p) holds the pattern of the tests' faxLike pages. Exit code 0 when every call
 * succeeded, else the number of the step that failed. */
#include "pagewriter/pagewriter.h"

#include <stdio.h>
#include <string.h>

struct PageSpec {
    uint32_t width, height;
    uint16_t xDpi, yDpi;
    int compression;
};

static void fill(uint8_t* bits, uint32_t width, uint32_t height, uint32_t seed)
{
    const uint32_t rowBytes = (width + 7) / 8;
    uint32_t x, y;
    memset(bits, 0xFF, (size_t)rowBytes * height);
    for (y = 0; y < height; ++y)
        for (x = 0; x < rowBytes; ++x)
            if ((x + y + seed) % 11 == 0 || (y % 40 == seed % 40 && x % 3 == 0))
                bits[(size_t)y * rowBytes + x] = (uint8_t)((x * 31 + y * 7 + seed) & 0xFF);
}

int main(int argc, char** argv)
{
    static const struct PageSpec pages[3] = {
        {1728, 100, 200, 200, 1},
        {1728, 200, 200, 100, PAGEWRITER_COMPRESSION_PACKBITS},
        {3456, 120, 400, 400, PAGEWRITER_COMPRESSION_PACKBITS},
    };
    PageOutputFile file;
    char text[128];
    void* bits = NULL;
    void* copy = NULL;
    uint32_t p;

    if (argc != 2)
        return 100;
    memset(&file, 0, sizeof file);
    file.hFile = -1;
    if (myWriteProfileData32(NULL, "PageCount", 3) != 0 || myGetProfileData32(NULL, "PageCount", "0", text) != 1
        || strcmp(text, "3") != 0 || myGetProfileData32(NULL, "PageCount", "0", NULL) != 3)
        return 1;
    if (!tiffCreateFile(&file, argv[1]))
        return 2;
    for (p = 0; p < 3; ++p) {
        const uint32_t size = (pages[p].width + 7) / 8 * pages[p].height;
        if (!xmalloc32(&bits, size) || !xmalloc32(&copy, size))
            return 3;
        fill(bits, pages[p].width, pages[p].height, p);
        file.dwWidth = pages[p].width;
        file.dwHeight = pages[p].height;
        file.wXResolution = pages[p].xDpi;
        file.wYResolution = pages[p].yDpi;
        /* The second page comes as alternative bits, the plain bits then being stale. */
        memcpy3232(copy, bits, size);
        if (p == 1)
            memset(bits, 0, size);
        if (!tiffAppendPage(&file, p == 1 ? bits : copy, size, pages[p].compression, 0, p == 1 ? copy : NULL))
            return 4;
        free32(&bits);
        free32(&copy);
    }
    if (!tiffCompleteFile(&file) || file.hFile != -1 || tiffCompleteFile(&file))
        return 5;

    /* Bitmap pages 1 and 2 of 1728 x 50: rows of 216 bytes. */
    for (p = 1; p <= 2; ++p) {
        file.dwWidth = 1728;
        file.dwHeight = 50;
        file.dwPageNumber = p;
        if (!xmalloc32(&bits, 216 * 50))
            return 6;
        fill(bits, 1728, 50, p);
        if (!dibOutputFile(&file, bits, 216 * 50))
            return 7;
        free32(&bits);
    }
    return 0;
}
