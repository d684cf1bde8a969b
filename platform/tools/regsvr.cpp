// qelta-regsvr: registers (or with -u removes) component server libraries of the suite.
//   qelta-regsvr [-u] LIBRARY...
// LIBRARY is a file name in the suite's library folder, e.g. cryptotool.dll or libcryptotool.so.
#include "platform/com.h"
#include "platform/library.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    bool unregister = false;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "-u") == 0) {
        unregister = true;
        first = 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [-u] LIBRARY...\n", argv[0]);
        return 2;
    }
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        auto library = platform::Library::load(argv[i]);
        if (!library) {
            std::fprintf(stderr, "%s: %s\n", argv[i], platform::Library::lastError().c_str());
            ++failures;
            continue;
        }
        const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
        const auto fn = library->function<DllRegisterServerFn>(entry);
        const HRESULT hr = fn ? fn() : CO_E_ERRORINDLL;
        if (FAILED(hr)) {
            std::fprintf(stderr, "%s: %s failed (0x%08X)\n", argv[i], entry, static_cast<unsigned>(hr));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
