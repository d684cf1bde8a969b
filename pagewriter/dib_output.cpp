// One monochrome bitmap file per page: 62 bytes of headers and palette, then the rows bottom-up.
#include "pagewriter/output_state.h"
#include "pagewriter/pagewriter.h"

#include "platform/com.h"
#include "platform/files.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace pagewriter {
namespace {

constexpr uint32_t kHeaderBytes = 62; // file header 14, info header 40, palette 8
constexpr uint32_t kPixelsPerMetre = 4096;

void putLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

std::string bitmapName(uint32_t pageNumber)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03u", static_cast<unsigned>(pageNumber));
    return outputFileName() + suffix;
}

// The whole file: headers, palette, and the caller's rows from the last to the first.
std::string bitmapFile(const PageOutputFile& file, const uint8_t* bits, uint32_t byteCount, uint32_t rowBytes)
{
    std::string out;
    out.reserve(kHeaderBytes + size_t{rowBytes} * file.dwHeight);
    out += "BM";
    putLe(out, byteCount + kHeaderBytes, 4);
    putLe(out, 0, 4); // two reserved words
    putLe(out, kHeaderBytes, 4);
    putLe(out, 40, 4);
    putLe(out, file.dwWidth, 4);
    putLe(out, file.dwHeight, 4); // positive: bottom-up rows
    putLe(out, 1, 2);             // planes
    putLe(out, 1, 2);             // bits per pixel
    putLe(out, 0, 4);             // no compression
    putLe(out, byteCount, 4);
    putLe(out, kPixelsPerMetre, 4);
    putLe(out, kPixelsPerMetre, 4);
    putLe(out, 0, 4); // colours used
    putLe(out, 0, 4); // important colours
    putLe(out, 0x00000000, 4); // index 0 black
    putLe(out, 0x00FFFFFF, 4); // index 1 white
    for (uint32_t row = file.dwHeight; row-- > 0;)
        out.append(reinterpret_cast<const char*>(bits) + size_t{row} * rowBytes, rowBytes);
    return out;
}

} // namespace
} // namespace pagewriter

using namespace pagewriter;

extern "C" int dibOutputFile(PageOutputFile* file, const void* bits, uint32_t byteCount)
{
    return guardedExport(0, [&] {
        if (!file || !bits)
            return 0;
        // The driver's rows: width div 8 bytes, rounded up to whole 4-byte words.
        const uint64_t rowBytes = (uint64_t{file->dwWidth} / 8 + 3) / 4 * 4;
        // A bitmap reader expects every pixel of a row within ((width + 31) div 32) words.
        const uint64_t bitmapRowBytes = (uint64_t{file->dwWidth} + 31) / 32 * 4;
        if (rowBytes < bitmapRowBytes || rowBytes * file->dwHeight > byteCount
            || byteCount > std::numeric_limits<uint32_t>::max() - kHeaderBytes
            || file->dwWidth > uint32_t{std::numeric_limits<int32_t>::max()}
            || file->dwHeight > uint32_t{std::numeric_limits<int32_t>::max()})
            return 0;
        const std::string name = bitmapName(file->dwPageNumber);
        platform::FileDescriptor fd = platform::createFileForWriting(name);
        if (!fd.valid())
            return 0;
        if (!platform::writeAll(fd.get(), bitmapFile(*file, static_cast<const uint8_t*>(bits), byteCount,
                                                     static_cast<uint32_t>(rowBytes)))) {
            fd.reset();
            platform::removeFile(name);
            return 0;
        }
        return 1;
    });
}
