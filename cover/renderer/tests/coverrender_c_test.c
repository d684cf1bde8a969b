/* The renderer as the printer driver uses it: a plain C program that loads the library by name,
 * resolves the four entries and frees every result with the global memory calls. */
#include "platform/global_memory.h"

#include <dirent.h>
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

typedef HGLOBAL (*MakeBitmapFn)(const char*, const char*, const char*, const char*, const char*);
typedef int32_t (*MakeBitmapExFn)(const char*, const char*, const char*, char*, const char*, const char*);
typedef HGLOBAL (*MakeBitmapHandleFn)(const char*, const char*, const char*, const char*);
typedef int32_t (*MaxMemoFn)(const char*);

static MakeBitmapFn makeBitmap;
static MakeBitmapExFn makeBitmapEx;
static MakeBitmapHandleFn makeBitmapHandle;
static MaxMemoFn maxMemo;
static int failures;
static char work[512];

#define WIDTH 1728
#define ROW 216

#define CHECK(cond, ...)                                                                                       \
    do {                                                                                                       \
        if (!(cond)) {                                                                                         \
            ++failures;                                                                                        \
            fprintf(stderr, "%s:%d: %s: ", __FILE__, __LINE__, #cond);                                         \
            fprintf(stderr, __VA_ARGS__);                                                                      \
            fputc('\n', stderr);                                                                               \
        }                                                                                                      \
    } while (0)

static const char* writeCover(const char* name, const char* lang, const char* const* lines, int frames)
{
    static char path[600];
    snprintf(path, sizeof path, "%s/%s", work, name);
    FILE* file = fopen(path, "wb");
    if (!file)
        abort();
    fprintf(file, "[TQLCVR]\r\nFrames=%d\r\nLang=%s\r\n", frames, lang);
    for (int i = 0; lines[i]; ++i)
        fprintf(file, "Frame.%d=%s\r\n", i + 1, lines[i]);
    fclose(file);
    return path;
}

static uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

/* The packed bitmap of a sheet, checked for its fixed parts; its rows (top row first) in *rows. */
static int packedPage(const char* cover, const char* fields, const char* memo, const char* sender, uint8_t** rows)
{
    HGLOBAL block = makeBitmapHandle(cover, fields, memo, sender);
    CHECK(block != NULL, "no bitmap for %s", cover);
    if (!block)
        return -1;
    const uint8_t* bytes = GlobalLock(block);
    CHECK(GlobalUnlock(block) == 0, "the block was handed over locked");
    const int height = (int)le32(bytes + 8);
    CHECK(GlobalSize(block) == 48 + (size_t)height * ROW, "block size %zu", GlobalSize(block));
    static const uint8_t header[] = {40, 0, 0, 0, 0xC0, 6, 0, 0};
    CHECK(memcmp(bytes, header, sizeof header) == 0, "size and width");
    CHECK(bytes[12] == 1 && bytes[13] == 0 && bytes[14] == 1 && bytes[15] == 0, "planes and bits");
    CHECK(le32(bytes + 16) == 0 && le32(bytes + 20) == (uint32_t)height * ROW, "compression and image size");
    for (int i = 24; i < 40; ++i)
        CHECK(bytes[i] == 0, "header byte %d", i);
    static const uint8_t palette[] = {0, 0, 0, 0, 255, 255, 255, 0};
    CHECK(memcmp(bytes + 40, palette, sizeof palette) == 0, "colour table");
    *rows = malloc((size_t)height * ROW);
    for (int y = 0; y < height; ++y) /* bottom-up in the block */
        memcpy(*rows + (size_t)y * ROW, bytes + 48 + (size_t)(height - 1 - y) * ROW, ROW);
    CHECK(GlobalFree(block) == NULL, "free");
    return height;
}

static int black(const uint8_t* rows, int x, int y) { return !(rows[(size_t)y * ROW + x / 8] & (0x80 >> (x % 8))); }

static int blackIn(const uint8_t* rows, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += black(rows, x, y);
    return count;
}

static void blankAndCuts(void)
{
    const char* unknown[] = {"Nothing,1,2,3,4", "", "NoComma", NULL};
    uint8_t* rows = NULL;
    int height = packedPage(writeCover("blank.tqc", "0", unknown, 3), NULL, NULL, NULL, &rows);
    CHECK(height == 2290, "default height %d", height);
    for (size_t i = 0; rows && i < (size_t)height * ROW; ++i)
        if (rows[i] != 0xFF) {
            CHECK(rows[i] == 0xFF, "blank sheet byte %zu is %02x", i, rows[i]);
            break;
        }
    free(rows);

    /* Only the first page cut counts; the keyword is matched without regard to case. */
    const char* cuts[] = {"pagecut,0,1500,1728,0,0,1", "PageCut,0,2000,1728,0,0,1", NULL};
    height = packedPage(writeCover("cuts.tqc", "0", cuts, 2), NULL, NULL, NULL, &rows);
    CHECK(height == 1500, "two page cuts: height %d", height);
    free(rows);

    const char* zero[] = {"PageCut,0,0,1728,0,0,1", NULL};
    height = packedPage(writeCover("zerocut.tqc", "0", zero, 1), NULL, NULL, NULL, &rows);
    CHECK(height == 2290, "a cut at 0: height %d", height);
    free(rows);
    const char* huge[] = {"PageCut,0,99999,1728,0,0,1", NULL};
    height = packedPage(writeCover("hugecut.tqc", "0", huge, 1), NULL, NULL, NULL, &rows);
    CHECK(height == 7874, "a cut beyond the bound: height %d", height);
    free(rows);
}

static void framesAndLines(void)
{
    const char* lines[] = {"DrawingFrame,100,10,50,20,0,1,0", "DrawingLine,200,40,100,0,0,1", "PageCut,0,60,1728,0,0,1",
                           NULL};
    uint8_t* rows = NULL;
    const int height = packedPage(writeCover("frames.tqc", "0", lines, 3), NULL, NULL, NULL, &rows);
    CHECK(height == 60, "height %d", height);
    int mismatches = 0;
    for (int y = 0; rows && y < height; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            const int inFrame = x >= 100 && x < 150 && y >= 10 && y < 30
                                && (x == 100 || x == 149 || y == 10 || y == 29);
            const int onLine = y == 40 && x >= 200 && x < 300;
            if (black(rows, x, y) != (inFrame || onLine) && mismatches++ < 5)
                CHECK(0, "pixel %d,%d is %s", x, y, black(rows, x, y) ? "black" : "white");
        }
    free(rows);
}

static void textsInsideRectangles(void)
{
    const char* lines[] = {"NAME,100,100,600,60,DejaVu Sans,40,400,0,0,0,0,",
                           "FAX,100,200,600,60,DejaVu Sans,40,400,0,0,0,0,",
                           "Memo,100,300,1200,300,DejaVu Sans,40,400,0,0,0,0,",
                           "UserFaxNumber,100,700,900,60,DejaVu Sans,40,400,0,0,0,0,",
                           "StaticText,100,800,900,60,DejaVu Sans,40,400,0,0,0,0,Cover",
                           "Page,100,900,600,60,DejaVu Sans,40,400,0,0,0,0,",
                           "PageCut,0,1000,1728,0,0,1", NULL};
    const char* cover = writeCover("texts.tqc", "1", lines, 7);
    /* Name and page given, the fax field a lone tab: empty. */
    const char fields[] = "Co\0Sec\0Post\0Smith\0Zip\0A1\0A2\0Tel\0\t\0Mr\0P1";
    static char sender[2304];
    strcpy(sender, "81");
    strcpy(sender + 128, "06");
    strcpy(sender + 1280 + 5 * 128, "1234-5678");
    uint8_t* rows = NULL;
    const int height = packedPage(cover, fields, "Memo text\nsecond line", sender, &rows);
    CHECK(height == 1000, "height %d", height);
    if (!rows)
        return;
    const int rects[][4] = {{100, 100, 700, 160},  {100, 300, 1300, 600}, {100, 700, 1000, 760},
                            {100, 800, 1000, 860}, {100, 900, 700, 960}};
    int inside = 0;
    for (int i = 0; i < 5; ++i) {
        const int n = blackIn(rows, rects[i][0], rects[i][1], rects[i][2], rects[i][3]);
        CHECK(n > 0, "text %d drew nothing", i);
        inside += n;
    }
    CHECK(blackIn(rows, 0, 0, WIDTH, height) == inside, "black pixels outside the text rectangles");
    CHECK(blackIn(rows, 100, 200, 700, 260) == 0, "the tab field drew text");
    free(rows);
}

static int filesIn(const char* dir)
{
    DIR* d = opendir(dir);
    int count = 0;
    for (struct dirent* e; d && (e = readdir(d));)
        count += e->d_name[0] != '.';
    if (d)
        closedir(d);
    return count;
}

static void pageFiles(void)
{
    const char* lines[] = {"DrawingLine,10,10,100,0,0,1", "PageCut,0,100,1728,0,0,1", NULL};
    const char* cover = writeCover("file.tqc", "0", lines, 2);
    char coverPath[600];
    strcpy(coverPath, cover);
    char out[600];
    snprintf(out, sizeof out, "%s/out", work);
    mkdir(out, 0755);
    char before[600], after[600];
    CHECK(getcwd(before, sizeof before) != NULL, "cwd");

    HGLOBAL block = makeBitmap(coverPath, NULL, NULL, NULL, out);
    CHECK(block != NULL, "no path");
    if (block) {
        const char* path = GlobalLock(block);
        CHECK(GlobalUnlock(block) == 1, "the path block was not handed over locked");
        CHECK(GlobalUnlock(block) == 0, "unlock");
        CHECK(strncmp(path, out, strlen(out)) == 0 && path[strlen(out)] == '/', "path %s", path);
        const char* name = path + strlen(out) + 1;
        CHECK(strlen(name) == 20 && name[0] == 'C' && strcmp(name + 16, ".TQG") == 0, "name %s", name);
        for (int i = 1; i < 16; ++i)
            CHECK(name[i] >= '0' && name[i] <= '9', "name %s", name);
        struct stat st;
        CHECK(stat(path, &st) == 0 && st.st_size > 0, "no file at %s", path);
        CHECK(GlobalFree(block) == NULL, "free");
        /* A freed block is refused, not touched. */
        CHECK(GlobalFree(block) == block && GlobalLock(block) == NULL && GlobalSize(block) == 0, "stale handle");
    }
    char buffer[260];
    CHECK(makeBitmapEx(coverPath, NULL, NULL, buffer, NULL, out) == 1, "Ex failed");
    CHECK(strncmp(buffer, out, strlen(out)) == 0, "Ex path %s", buffer);
    CHECK(filesIn(out) == 2, "two files, found %d", filesIn(out));

    /* A path that does not fit the Ex buffer: failure, and the file is gone. */
    char deep[1200];
    snprintf(deep, sizeof deep, "%s/%0250d", work, 0);
    mkdir(deep, 0755);
    CHECK(makeBitmapEx(coverPath, NULL, NULL, buffer, NULL, deep) == 0, "a path over 260 bytes was reported");
    CHECK(filesIn(deep) == 0, "the file of a failed call stayed");

    /* No output folder, a missing one, a sheet without frames. */
    CHECK(makeBitmap(coverPath, NULL, NULL, NULL, "") == NULL, "empty folder");
    CHECK(makeBitmap(coverPath, NULL, NULL, NULL, NULL) == NULL, "NULL folder");
    snprintf(deep, sizeof deep, "%s/missing", work);
    CHECK(makeBitmap(coverPath, NULL, NULL, NULL, deep) == NULL, "missing folder");
    const char* none[] = {"DrawingLine,10,10,100,0,0,1", NULL};
    const char* empty = writeCover("noframes.tqc", "0", none, 0);
    CHECK(makeBitmap(empty, NULL, NULL, NULL, out) == NULL, "Frames 0 made a file");
    CHECK(makeBitmapEx(empty, NULL, NULL, buffer, NULL, out) == 0, "Frames 0 made a file (Ex)");
    CHECK(makeBitmapHandle(empty, NULL, NULL, NULL) == NULL, "Frames 0 made a bitmap");
    CHECK(maxMemo(empty) == 0, "Frames 0 has a memo");
    CHECK(makeBitmapHandle(NULL, NULL, NULL, NULL) == NULL, "NULL cover");
    CHECK(filesIn(out) == 2, "failed calls left files");

    CHECK(getcwd(after, sizeof after) != NULL && strcmp(before, after) == 0, "current directory changed");
}

int main(void)
{
    void* library = dlopen("libcoverrender.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "cannot load: %s\n", dlerror());
        return 1;
    }
    makeBitmap = (MakeBitmapFn)dlsym(library, "TqlCvrMakeBitmap");
    makeBitmapEx = (MakeBitmapExFn)dlsym(library, "TqlCvrMakeBitmapEx");
    makeBitmapHandle = (MakeBitmapHandleFn)dlsym(library, "TqlCvrMakeBitmapHandle");
    maxMemo = (MaxMemoFn)dlsym(library, "TqlCvrGetMaxMemoLength");
    if (!makeBitmap || !makeBitmapEx || !makeBitmapHandle || !maxMemo) {
        fprintf(stderr, "an entry is missing\n");
        return 1;
    }
    snprintf(work, sizeof work, "%s/coverrenderXXXXXX", getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    if (!mkdtemp(work))
        return 1;
    /* First call of the process: the memo's font needs the Qt application the library starts. */
    const char* memo[] = {"Memo,0,0,1200,400,DejaVu Sans,40,400,0,0,0,0,", NULL};
    const int capacity = maxMemo(writeCover("memo.tqc", "0", memo, 1));
    CHECK(capacity > 0 && capacity < 1200 * 400, "memo capacity %d", capacity);
    blankAndCuts();
    framesAndLines();
    textsInsideRectangles();
    pageFiles();
    /* The library stays loaded: it may have made the process's Qt application. */
    char command[600];
    snprintf(command, sizeof command, "rm -rf '%s'", work);
    if (system(command) != 0)
        ++failures;
    if (failures)
        fprintf(stderr, "%d failure(s)\n", failures);
    return failures ? 1 : 0;
}
