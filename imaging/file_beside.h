// File helpers of the imaging libraries: files written beside their target and renamed into
// place, so that a target is never seen half written.
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelta::imaging {

using platform::FileDescriptor;

using platform::FileReplacement;
using platform::openRegularFile;

// Reads exactly size bytes at offset; false at the end of the file or on an error.
bool readAt(int fd, uint64_t offset, void* buffer, size_t size);

// True when something, even a dangling link, is at path.
bool somethingAt(const std::string& path);

// True when both paths name one file.
bool sameFile(const std::string& a, const std::string& b);

// A file with a unique name in the folder of a target, removed again unless committed: the
// platform's replacement file, flushed and renamed into place.
using FileBeside = platform::FileReplacement;

} // namespace qelta::imaging
