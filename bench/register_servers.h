// Registers the component servers a benchmark creates, from the suite's library folder.
#pragma once

#include "sample/sample_run.h"

#include <cstdio>
#include <initializer_list>
#include <span>

/// Registers each library's classes in the state root's HKCR; false (after a message) when one fails.
inline bool RegisterServers(std::span<const char* const> names)
{
    const std::vector<std::string> failed = RegisterServerLibraries(names);
    for (const std::string& reason : failed)
        std::fprintf(stderr, "cannot register %s\n", reason.c_str());
    return failed.empty();
}

inline bool RegisterServers(std::initializer_list<const char*> names)
{
    return RegisterServers(std::span<const char* const>(names.begin(), names.size()));
}
