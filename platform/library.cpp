#include "platform/library.h"

#include "platform/files.h"
#include "platform/text.h"

#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {
thread_local std::string tlsLastError;

std::string findNoCase(const std::string& folder, const std::vector<std::string>& candidates)
{
    for (const auto& c : candidates)
        if (pathExists(joinPath(folder, c)))
            return joinPath(folder, c);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    std::string found;
    while (const dirent* e = ::readdir(dir)) {
        for (const auto& c : candidates)
            if (equalsNoCase(e->d_name, c)) {
                found = joinPath(folder, e->d_name);
                break;
            }
        if (!found.empty())
            break;
    }
    ::closedir(dir);
    return found;
}
} // namespace

std::string modulePathOf(const void* address)
{
    Dl_info info{};
    if (::dladdr(address, &info) && info.dli_fname && *info.dli_fname) {
        char resolved[4096];
        if (::realpath(info.dli_fname, resolved))
            return resolved;
        return info.dli_fname;
    }
    return {};
}

std::string programPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = '\0';
    return buf;
}

std::string libraryFolder()
{
    static const std::string folder = [] {
        static const int anchor = 0;
        return parentPath(modulePathOf(&anchor));
    }();
    return folder;
}

std::string resolveLibraryName(std::string_view fileName)
{
    if (fileName.empty() || fileName.find('/') != std::string_view::npos || fileName.find('\\') != std::string_view::npos
        || fileName == "." || fileName == "..")
        return {};
    std::vector<std::string> candidates{std::string(fileName)};
    const std::string lower = asciiLower(fileName);
    if (lower.size() > 4 && lower.ends_with(".dll")) {
        const std::string base(fileName.substr(0, fileName.size() - 4));
        candidates.push_back("lib" + base + ".so");
        candidates.push_back(base + ".so");
    }
    return findNoCase(libraryFolder(), candidates);
}

std::shared_ptr<Library> Library::load(std::string_view fileName)
{
    const std::string path = resolveLibraryName(fileName);
    if (path.empty()) {
        tlsLastError = "library not found in " + libraryFolder() + ": " + std::string(fileName);
        return nullptr;
    }
    return loadPath(path);
}

std::shared_ptr<Library> Library::loadPath(const std::string& path)
{
    if (path.empty() || path.front() != '/') {
        tlsLastError = "not an absolute library path: " + path;
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        tlsLastError = why ? why : "dlopen failed";
        return nullptr;
    }
    return std::shared_ptr<Library>(new Library(handle, path));
}

void* Library::symbol(const char* name) const
{
    return name ? ::dlsym(handle_, name) : nullptr;
}

std::string Library::lastError() { return tlsLastError; }

Library::~Library()
{
    if (handle_)
        ::dlclose(handle_);
}

} // namespace platform
