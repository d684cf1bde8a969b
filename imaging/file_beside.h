// Files written beside their target and renamed into place, so that a target is never seen half
// written. Internal to the imaging libraries.
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelta::imaging {

using platform::FileDescriptor;

// Reads exactly size bytes at offset; false at the end of the file or on an error.
bool readAt(int fd, uint64_t offset, void* buffer, size_t size);

// Opens path when it is a regular file (a FIFO or device never blocks the open); -1 otherwise.
int openRegularFile(const std::string& path, int flags);

// True when something, even a dangling link, is at path.
bool somethingAt(const std::string& path);

// True when both paths name one file.
bool sameFile(const std::string& a, const std::string& b);

// A file with a unique name in the folder of a target, removed again unless committed.
class FileBeside {
public:
    // A new empty file; check valid().
    static FileBeside create(const std::string& target);
    // A second name of source (a hard link), or a copy of it where the file system links no files
    // across; check valid().
    static FileBeside linkOrCopy(const std::string& source, const std::string& target);

    ~FileBeside();
    FileBeside(FileBeside&&) noexcept;
    FileBeside& operator=(FileBeside&&) = delete;
    FileBeside(const FileBeside&) = delete;
    FileBeside& operator=(const FileBeside&) = delete;

    bool valid() const { return file_.get() >= 0; }
    bool linked() const { return linked_; }
    int fd() const { return file_.get(); }
    const std::string& path() const { return path_; }
    // Renames the file over the target; with replace false only when nothing is there yet.
    bool commit(bool replace);

private:
    explicit FileBeside(std::string target) : target_(std::move(target)) {}
    std::string target_, path_;
    FileDescriptor file_;
    bool linked_ = false, committed_ = false;
};

} // namespace qelta::imaging
