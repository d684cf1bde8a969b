// What a converter module of the phone book editor is built against. A converter module is a
// shared library in a folder of its own under the converter directory, beside "converter.xml"
// (what it is, the file extension it handles, its two function names) and "converter.tmx" (its
// translated texts). The editor loads it by its full path and calls one of its functions on a
// worker thread while the progress display is up:
//
//   import: fn(chosen file, book path, book, progress display, converter folder)
//   export: fn(book path, chosen file, book, progress display, converter folder)
//
// The book is the editor's phone book object, opened on the book; an import adds its records
// through it. The converter folder ends with "/". A module may move the progress bar by posting
// the progress message (QELTA_CONVERTER_PROGRESS_MESSAGE, registered with
// platform::registerMessage) to the display's handle with wParam 1 and the percentage as lParam;
// it touches nothing else of the program. Return 1 for success, anything else for failure.
#pragma once

#include "common/progress_runner.h"
#include "phonebook/store/IBookmanagerTool.h"

#include <cstdint>

/// The registered name of the progress display's message.
#define QELTA_CONVERTER_PROGRESS_MESSAGE kProgressMessageName

extern "C" {
/// The form of both functions of a converter module.
typedef int (*QeltaConverterFunction)(const char* source, const char* destination, IBookmanagerTool* book,
                                      uint32_t progressWindow, const char* converterDirectory);
}

/// Declares an exported converter function: QELTA_CONVERTER_FUNCTION(MyImport) { ... return 1; }
#define QELTA_CONVERTER_FUNCTION(name)                                                                         \
    extern "C" __attribute__((visibility("default"))) int name(const char* source, const char* destination,    \
                                                                IBookmanagerTool* book, uint32_t progressWindow, \
                                                                const char* converterDirectory)
