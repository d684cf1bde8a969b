// Shared libraries of the suite, loaded by file name from the suite's own library folder only.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

/// The folder that holds the suite's shared libraries (the folder of the platform library itself).
std::string libraryFolder();

/// Full path of this process's program file.
std::string programPath();

/// Full path of the shared library (or program) that contains the given address.
std::string modulePathOf(const void* addressInModule);

/// Resolves a library file name to a file in the library folder. Names that carry a folder are refused.
/// A Windows-style name "NAME.DLL" also finds "libNAME.so" or "NAME.so"; names match without regard to case.
std::string resolveLibraryName(std::string_view fileName);

/// A loaded library; unloaded when the last owner lets go.
class Library {
public:
    /// Loads fileName from the library folder. Returns null (and sets lastError) when it is not there or does not load.
    static std::shared_ptr<Library> load(std::string_view fileName);

    /// Loads the library at an absolute path (a program's resource modules live beside the program,
    /// not in the library folder). Returns null (and sets lastError) for a relative path or a failed load.
    static std::shared_ptr<Library> loadPath(const std::string& absolutePath);

    /// Address of an exported function, or null when there is none of that name.
    void* symbol(const char* name) const;

    template <typename Fn>
    Fn function(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }

    const std::string& path() const { return path_; }

    /// Why the last load on this thread failed.
    static std::string lastError();

    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

private:
    Library(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

} // namespace platform
