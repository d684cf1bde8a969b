/* The data of a resource module: string tables by numeric id and the icons, bitmaps and sounds of one
 * program in one language. A language module is a shared library "res" + module code + language +
 * ".so" in the "resources" folder beside the program, exporting QeltaResourceModuleData; the
 * program's own (English) texts are the same tables compiled into the program. Modules are made by
 * the CMake function qelta_resource_module (cmake/QeltaResources.cmake). Plain C. */
#ifndef QELTA_COMMON_RESOURCE_MODULE_H
#define QELTA_COMMON_RESOURCE_MODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Layout version; a module of another version is not used. */
#define QELTA_RESOURCE_VERSION 1

/* Kinds of binary resources. */
#define QELTA_RESOURCE_ICON 1
#define QELTA_RESOURCE_BITMAP 2
#define QELTA_RESOURCE_SOUND 3
/* A mouse pointer: a .cur file of one image, its hot spot in the directory entry. */
#define QELTA_RESOURCE_CURSOR 4

/* One string of a string table: its id and its UTF-8 text. */
typedef struct QeltaResourceString {
    uint32_t id;
    const char* text;
} QeltaResourceString;

/* One icon, bitmap, sound or cursor: the bytes of its file. */
typedef struct QeltaResourceBlob {
    uint32_t kind; /* QELTA_RESOURCE_ICON, _BITMAP, _SOUND or _CURSOR */
    uint32_t id;
    const unsigned char* data;
    uint32_t size;
} QeltaResourceBlob;

typedef struct QeltaResourceModule {
    uint32_t version;       /* QELTA_RESOURCE_VERSION */
    const char* moduleCode; /* the program's code, e.g. "SENDWIZARD2" */
    const char* language;   /* three-letter language abbreviation, e.g. "DEU" */
    uint32_t stringCount;
    const QeltaResourceString* strings;
    uint32_t blobCount;
    const QeltaResourceBlob* blobs;
} QeltaResourceModule;

/* The export every language module has: its data, valid while the module is loaded. */
typedef const QeltaResourceModule* (*QeltaResourceModuleDataFn)(void);
#define QELTA_RESOURCE_ENTRY "QeltaResourceModuleData"

#ifdef __cplusplus
}
#endif

#endif
