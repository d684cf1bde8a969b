/* A plain C program calling the exports: the header must compile as C and the library must link
 * and answer without a C++ caller. No QApplication exists here, so the dialog exports answer -1. */
#include "phonebook/dialogs/pb2api.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#define CHECK(condition)                                                  \
    do {                                                                  \
        if (!(condition)) {                                               \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            return 1;                                                     \
        }                                                                 \
    } while (0)

int main(void)
{
    char buffer[8];
    char path[16] = "";
    char name[16] = "";
    PB2APISelection* selection = NULL;

    CHECK(offsetof(PB2APISelection, flag) == 0);
    CHECK(offsetof(PB2APISelection, count) == sizeof(int));
    CHECK(offsetof(PB2APISelection, ids) > offsetof(PB2APISelection, count));

    memset(buffer, 'x', sizeof buffer);
    CHECK(PB2APIGetPhoneBookDirectory(buffer, 0) == 1);
    CHECK(buffer[0] == 'x');
    CHECK(PB2APIGetPhoneBookDirectory(buffer, 4) == 1);
    CHECK(strlen(buffer) < 4);

    CHECK(PB2APISelectDestination(NULL) == -1);
    CHECK(PB2APISelectDestinationWithPhoneBook(NULL, "Book", &selection, 99) == -1);
    CHECK(selection == NULL);
    CHECK(PB2APISelectPhoneBook(NULL, path, name, (int)sizeof path, 1, 1) == -1);
    PB2APIFree(NULL);
    puts("ok");
    return 0;
}
