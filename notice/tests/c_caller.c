/* A plain C program using the library: the header must compile as C99 and the five calls must link
 * and answer without a C++ caller. */
#include "notice/noticelib.h"

#include <stddef.h>
#include <stdio.h>

#define CHECK(condition)                                                          \
    do {                                                                          \
        if (!(condition)) {                                                       \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            return 1;                                                             \
        }                                                                         \
    } while (0)

static int OnNotice(int ignored, int port, const void* notice, void* context)
{
    (void)ignored;
    (void)port;
    (void)notice;
    (void)context;
    return 1;
}

int main(void)
{
    NoticeHandle handle = NULL;
    int port = 0;

    CHECK(NoticeCreate(NULL) == NOTICE_E_ARGUMENT);
    CHECK(NoticeCreate(&handle) == NOTICE_OK && handle != NULL);
    CHECK(NoticeStart(handle, "127.0.0.1", &port) == NOTICE_E_STATE);
    CHECK(NoticeSetCallback(handle, OnNotice, NULL) == NOTICE_OK);
    CHECK(NoticeStart(handle, "127.0.0.1", &port) == NOTICE_OK);
    CHECK(port > 0 && port <= 65535);
    CHECK(NoticeStop(handle) == NOTICE_OK);
    CHECK(NoticeDestroy(handle) == NOTICE_OK);
    puts("ok");
    return 0;
}
