// Registers the component servers a benchmark creates, from the suite's library folder.
#pragma once

#include "platform/com.h"
#include "platform/library.h"

#include <cstdio>
#include <initializer_list>

/// Registers each library's classes in the state root's HKCR; false (after a message) when one fails.
inline bool RegisterServers(std::initializer_list<const char*> names)
{
    bool all = true;
    for (const char* name : names) {
        const auto library = platform::Library::load(name);
        const auto registerFn = library ? library->function<DllRegisterServerFn>("DllRegisterServer") : nullptr;
        if (!registerFn || registerFn() != S_OK) {
            std::fprintf(stderr, "cannot register %s\n", name);
            all = false;
        }
    }
    return all;
}
