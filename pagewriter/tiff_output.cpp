// The multi-page TIFF file: header, then per page the strip, the two resolution rationals and a
// 14-entry directory, each directory linked from the one before (or from the header).
#include "pagewriter/output_state.h"
#include "pagewriter/packbits.h"
#include "pagewriter/pagewriter.h"

#include "platform/com.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace pagewriter {

std::string& outputFileName()
{
    static std::string name;
    return name;
}

namespace {

enum FieldType : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

struct DirectoryEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t value;
    bool emit;
};

constexpr size_t kEntryCount = 14;
constexpr size_t kEntryBytes = 12;
constexpr size_t kRationalBytes = 16;                                  // x and y resolution
constexpr size_t kDirectoryBytes = 2 + kEntryCount * kEntryBytes + 4; // count, entries, next offset
constexpr size_t kPageTailBytes = kRationalBytes + kDirectoryBytes;
constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kMaxDimension = 0xFFFF; // width and height are written as SHORT values

enum Slot { kWidth = 1, kLength = 2, kBitsPerSample = 3, kCompression = 4, kStripOffsets = 7, kRowsPerStrip = 9,
            kStripByteCounts = 10, kXResolution = 11, kYResolution = 12 };

// The directory template: a page rewrites its values into it before it is written.
std::array<DirectoryEntry, kEntryCount>& directoryTemplate()
{
    static std::array<DirectoryEntry, kEntryCount> entries = {{
        {254, kLong, 0, true},     // NewSubfileType
        {256, kShort, 0, true},    // ImageWidth
        {257, kShort, 0, true},    // ImageLength
        {258, kShort, 1, true},    // BitsPerSample
        {259, kShort, 1, true},    // Compression
        {262, kShort, 1, true},    // PhotometricInterpretation: 0 is black
        {266, kShort, 1, true},    // FillOrder
        {273, kLong, 0, true},     // StripOffsets
        {277, kShort, 1, true},    // SamplesPerPixel
        {278, kLong, 0, true},     // RowsPerStrip
        {279, kLong, 0, true},     // StripByteCounts
        {282, kRational, 0, true}, // XResolution
        {283, kRational, 0, true}, // YResolution
        {296, kShort, 2, true},    // ResolutionUnit: inch
    }};
    return entries;
}

// The compression memory of the page being written.
PackBitsBlock& packBitsMemory()
{
    static PackBitsBlock block;
    return block;
}

uint8_t* putLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    return p + 2;
}

uint8_t* putLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    return p + 4;
}

std::string_view bytesOf(const void* p, size_t n) { return {static_cast<const char*>(p), n}; }

// Writes the rationals at tail and, after them, the directory with a count of 0 (patched once the
// page is on disk). The page starts at stripOffset; the rationals follow its strip of stripBytes.
void buildPageTail(uint8_t* tail, const PageOutputFile& file, uint32_t stripOffset, uint32_t stripBytes,
                   uint16_t bitsPerSample, uint16_t compression)
{
    const uint32_t rationals = stripOffset + stripBytes;
    auto& entries = directoryTemplate();
    entries[kWidth].value = file.dwWidth;
    entries[kLength].value = file.dwHeight;
    entries[kRowsPerStrip].value = file.dwHeight;
    entries[kBitsPerSample].value = bitsPerSample;
    entries[kCompression].value = compression;
    entries[kStripOffsets].value = stripOffset;
    entries[kStripByteCounts].value = stripBytes;
    entries[kXResolution].value = rationals;
    entries[kYResolution].value = rationals + 8;

    uint8_t* p = putLe32(putLe32(tail, file.wXResolution), 1);
    p = putLe32(putLe32(p, file.wYResolution), 1);
    p = putLe16(p, 0);
    for (const DirectoryEntry& e : entries) {
        if (!e.emit)
            continue;
        p = putLe16(putLe16(p, e.tag), e.type);
        p = putLe32(putLe32(p, 1), e.type == kShort ? (e.value & 0xFFFF) : e.value);
    }
    putLe32(p, 0);
}

uint16_t emittedEntries()
{
    uint16_t n = 0;
    for (const DirectoryEntry& e : directoryTemplate())
        n = static_cast<uint16_t>(n + (e.emit ? 1 : 0));
    return n;
}

// Writes one page at the end offset; false on any failure (the caller then drops the file).
bool writePage(PageOutputFile& file, const uint8_t* bits, uint32_t byteCount, int compression, int bitsPerSample)
{
    if (!bits && byteCount > 0)
        return false;
    if (file.dwWidth > kMaxDimension || file.dwHeight > kMaxDimension)
        return false;
    const bool packBitsAsked = compression == PAGEWRITER_COMPRESSION_PACKBITS;
    PackBitsBlock& block = packBitsMemory();
    std::string_view strip = bytesOf(bits, byteCount);
    if (packBitsAsked) {
        // The page's rows and no more: a byte count beyond the page never reads past it.
        const uint32_t rowBytes = (file.dwWidth + 7) / 8;
        const auto pageBytes = static_cast<uint32_t>(std::min<uint64_t>(byteCount, uint64_t{rowBytes} * file.dwHeight));
        if (!packBits(bits, pageBytes, rowBytes, block) || !block.reserve(kPageTailBytes))
            return false;
        strip = bytesOf(block.data(), block.used());
    }
    const uint32_t stripOffset = file.dwEndOffset;
    // A page goes after the header, and every offset in the file is 32 bits.
    if (stripOffset < kHeaderBytes || strip.size() + kPageTailBytes > std::numeric_limits<uint32_t>::max() - stripOffset)
        return false;
    const auto stripBytes = static_cast<uint32_t>(strip.size());
    const uint32_t directory = stripOffset + stripBytes + kRationalBytes;

    std::array<uint8_t, kPageTailBytes> ownTail;
    uint8_t* tail = packBitsAsked ? block.end() : ownTail.data();
    buildPageTail(tail, file, stripOffset, stripBytes, bitsPerSample == 0 ? uint16_t{1} : static_cast<uint16_t>(bitsPerSample),
                  packBitsAsked ? uint16_t{PAGEWRITER_COMPRESSION_PACKBITS} : uint16_t{1});
    const int fd = file.hFile;
    if (packBitsAsked) {
        // The compressed page is one block: strip, rationals and directory go out in one write.
        if (!platform::writeAllAt(fd, bytesOf(block.data(), block.used() + kPageTailBytes), stripOffset))
            return false;
    } else if (!platform::writeAllAt(fd, strip, stripOffset)
               || !platform::writeAllAt(fd, bytesOf(tail, kPageTailBytes), stripOffset + uint64_t{stripBytes})) {
        return false;
    }
    if (!platform::syncFile(fd))
        return false;
    uint8_t count[2], link[4];
    putLe16(count, emittedEntries());
    putLe32(link, directory);
    if (!platform::writeAllAt(fd, bytesOf(count, 2), directory)
        || !platform::writeAllAt(fd, bytesOf(link, 4), stripOffset - 4))
        return false;
    file.dwEndOffset = directory + static_cast<uint32_t>(kDirectoryBytes);
    return true;
}

void closeRecord(PageOutputFile& file)
{
    platform::FileDescriptor(file.hFile).reset();
    file.hFile = -1;
}

} // namespace

} // namespace pagewriter

using namespace pagewriter;

extern "C" int tiffCreateFile(PageOutputFile* file, const char* path)
{
    return guardedExport(0, [&] {
        if (!file || !path || std::strlen(path) > kMaxOutputPath)
            return 0;
        // The name is remembered once the file exists, so a later failure removes the file created.
        platform::FileDescriptor fd = platform::createFileForWriting(path);
        if (!fd.valid())
            return 0;
        outputFileName() = path;
        const uint8_t header[kHeaderBytes] = {'I', 'I', 42, 0, 0, 0, 0, 0};
        if (!platform::writeAll(fd.get(), bytesOf(header, sizeof header))) {
            fd.reset();
            platform::removeFile(outputFileName());
            return 0;
        }
        file->hFile = fd.release();
        file->dwEndOffset = kHeaderBytes;
        return 1;
    });
}

extern "C" int tiffAppendPage(PageOutputFile* file, const void* bits, uint32_t byteCount, int compression,
                              int bitsPerSample, const void* alternativeBits)
{
    return guardedExport(0, [&] {
        if (!file || file->hFile < 0)
            return 0;
        // Whatever happens, the compression memory goes; a page not written takes the file with it.
        struct PageEnd {
            PageOutputFile& file;
            bool written = false;
            ~PageEnd()
            {
                packBitsMemory().release();
                if (written)
                    return;
                closeRecord(file);
                platform::removeFile(outputFileName());
            }
        } end{*file};
        const void* source = alternativeBits ? alternativeBits : bits;
        end.written = writePage(*file, static_cast<const uint8_t*>(source), byteCount, compression, bitsPerSample);
        return end.written ? 1 : 0;
    });
}

extern "C" int tiffCompleteFile(PageOutputFile* file)
{
    return guardedExport(0, [&] {
        if (!file || file->hFile < 0)
            return 0;
        closeRecord(*file);
        return 1;
    });
}
