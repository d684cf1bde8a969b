// IKFileType: tells TIFF and BMP files apart from everything else and reads their page facts.
//
// Files come from anywhere, so every size and offset is checked against the file before it is
// believed; a file that does not hold together is no image.
#include "imaging/bmp_header.h"
#include "imaging/file_beside.h"
#include "imaging/tiff_pages.h"
#include "imaging/imagekit.h"
#include "platform/com.h"

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kMaxPages = 100000;              // directories counted at most
constexpr uint64_t kMaxChecks = uint64_t{1} << 22;  // directory entries and strips checked per file at most
constexpr tmsize_t kMaxTiffAllocation = tmsize_t{64} << 20;
constexpr int64_t kMaxBmpDimension = 1000000;

using qelta::imaging::FileDescriptor;
using qelta::imaging::readAt;
using qelta::imaging::roundedDpi;

bool isTiffSignature(const unsigned char* p)
{
    return (p[0] == 'I' && p[1] == 'I' && (p[2] == 0x2a || p[2] == 0x2b) && p[3] == 0)
           || (p[0] == 'M' && p[1] == 'M' && p[2] == 0 && (p[3] == 0x2a || p[3] == 0x2b));
}

// libtiff's messages for one open file: warnings are dropped, an error marks the file as broken.
int onTiffError(TIFF*, void* userData, const char*, const char*, va_list)
{
    *static_cast<bool*>(userData) = true;
    return 1;
}

int onTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Every strip (or tile) of the current directory lies inside the file. Checks stop, with the file
// taken as sound, once the budget is spent.
bool stripsInsideFile(TIFF* tif, uint64_t fileSize, uint64_t& budget)
{
    const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    for (uint32_t i = 0; i < count && budget > 0; ++i, --budget) {
        const uint64_t length = TIFFGetStrileByteCount(tif, i);
        if (length == 0)
            continue;
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        if (offset > fileSize || length > fileSize - offset)
            return false;
    }
    return true;
}

// Bytes per value of a TIFF field type; 0 for types this reader does not know (libtiff skips those).
uint64_t tiffTypeSize(uint16_t type)
{
    switch (type) {
    case TIFF_BYTE:
    case TIFF_ASCII:
    case TIFF_SBYTE:
    case TIFF_UNDEFINED:
        return 1;
    case TIFF_SHORT:
    case TIFF_SSHORT:
        return 2;
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_FLOAT:
    case TIFF_IFD:
        return 4;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_DOUBLE:
    case TIFF_LONG8:
    case TIFF_SLONG8:
    case TIFF_IFD8:
        return 8;
    default:
        return 0;
    }
}

uint64_t unsignedAt(const unsigned char* p, unsigned bytes, bool bigEndian)
{
    uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v = (v << 8) | p[bigEndian ? i : bytes - 1 - i];
    return v;
}

// The current directory's entry table and every value stored outside it lie inside the file.
// libtiff drops a tag whose value cannot be read with no more than a warning; a file cut short
// shows exactly that way.
bool directoryInsideFile(TIFF* tif, uint64_t fileSize, uint64_t& budget)
{
    const int fd = TIFFFileno(tif);
    const bool big = TIFFIsBigTIFF(tif) != 0;
    const bool bigEndian = TIFFIsBigEndian(tif) != 0;
    const unsigned countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, nextBytes = big ? 8 : 4;
    const unsigned valueBytes = big ? 8 : 4;
    const uint64_t offset = TIFFCurrentDirOffset(tif);

    unsigned char field[8];
    if (offset > fileSize || fileSize - offset < countBytes + nextBytes || !readAt(fd, offset, field, countBytes))
        return false;
    const uint64_t entries = unsignedAt(field, countBytes, bigEndian);
    if (entries > (fileSize - offset - countBytes - nextBytes) / entryBytes)
        return false;

    constexpr uint64_t kChunk = 512;
    unsigned char table[kChunk * 20];
    for (uint64_t first = 0; first < entries && budget > 0;) {
        const uint64_t n = std::min<uint64_t>({kChunk, entries - first, budget});
        if (!readAt(fd, offset + countBytes + first * entryBytes, table, static_cast<size_t>(n * entryBytes)))
            return false;
        for (uint64_t i = 0; i < n; ++i) {
            const unsigned char* entry = table + i * entryBytes;
            const uint64_t size = tiffTypeSize(static_cast<uint16_t>(unsignedAt(entry + 2, 2, bigEndian)));
            const uint64_t count = unsignedAt(entry + 4, big ? 8 : 4, bigEndian);
            if (size == 0 || count <= valueBytes / size)
                continue; // unknown type, or the value sits in the entry itself
            if (count > fileSize / size)
                return false;
            const uint64_t at = unsignedAt(entry + 4 + (big ? 8 : 4), valueBytes, bigEndian);
            if (at > fileSize || count * size > fileSize - at)
                return false;
        }
        first += n;
        budget -= n;
    }
    return true;
}

bool identifyTiff(FileDescriptor& file, const char* path, uint64_t fileSize, IKFILEINFO& info)
{
    bool failed = false;
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options)
        return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onTiffError, &failed);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onTiffWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);

    // "m": read through the descriptor, never map a file that may shrink under us.
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFFdOpenExt(file.get(), path, "rm", options.get()));
    if (!tif)
        return false; // the descriptor is still ours
    file.release();    // closed with the TIFF from now on
    if (failed)
        return false;

    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return false;
    constexpr uint32_t kMaxInt = std::numeric_limits<int32_t>::max();
    if (width == 0 || height == 0 || width > kMaxInt || height > kMaxInt)
        return false;

    uint16_t bitsPerSample = 1, samplesPerPixel = 1, compression = COMPRESSION_NONE, unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    const uint32_t bitsPerPixel = uint32_t{bitsPerSample} * samplesPerPixel;
    if (bitsPerPixel == 0 || bitsPerPixel > kMaxInt || !TIFFIsCODECConfigured(compression))
        return false;

    const double toInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    float xResolution = 0, yResolution = 0;
    if (TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xResolution))
        info.resolution = roundedDpi(xResolution * toInch);
    if (TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yResolution))
        info.yResolution = roundedDpi(yResolution * toInch);

    uint64_t budget = kMaxChecks;
    uint32_t pages = 0;
    for (;;) {
        ++pages;
        if (failed || !directoryInsideFile(tif.get(), fileSize, budget)
            || !stripsInsideFile(tif.get(), fileSize, budget))
            return false;
        if (pages >= kMaxPages || TIFFLastDirectory(tif.get()))
            break;
        // A next directory is announced: failing to read it means the file is cut short or broken.
        if (!TIFFReadDirectory(tif.get()))
            return false;
    }
    if (failed)
        return false;

    info.fileType = IK_FILETYPE_TIFF;
    info.width = static_cast<int32_t>(width);
    info.height = static_cast<int32_t>(height);
    info.bitsPerPixel = static_cast<int32_t>(bitsPerPixel);
    info.compression = compression;
    info.pageCount = static_cast<int16_t>(pages > 32767 ? 32767 : pages);
    return true;
}

// A Windows bitmap (information header of 40 bytes or more) or an OS/2 one (12-byte core header).
bool identifyBmp(int fd, uint64_t fileSize, IKFILEINFO& info)
{
    unsigned char head[qelta::imaging::kBmpHeadBytes];
    const auto have = static_cast<size_t>(std::min<uint64_t>(fileSize, sizeof head));
    qelta::imaging::BmpHeader bmp;
    if (!readAt(fd, 0, head, have) || !qelta::imaging::parseBmpHeader(head, have, fileSize, bmp))
        return false;
    if (bmp.dataOffset < 14 + bmp.headerSize || bmp.dataOffset >= fileSize)
        return false;
    if (bmp.width <= 0 || bmp.width > kMaxBmpDimension || bmp.height <= 0 || bmp.height > kMaxBmpDimension)
        return false;
    const unsigned bitCount = bmp.bitsPerPixel;
    const bool core = bmp.headerSize == 12;
    const bool wide = bitCount == 16 || bitCount == 32; // none in OS/2 files
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && (core || !wide))
        return false;
    // 0 plain rows, 1 and 2 run-length coded, 3 plain rows with colour masks.
    if (bmp.compression > qelta::imaging::kBmpBitFields)
        return false;
    if (bmp.compression == qelta::imaging::kBmpPlain || bmp.compression == qelta::imaging::kBmpBitFields) {
        if (bmp.rowBytes() * static_cast<uint64_t>(bmp.height) > fileSize - bmp.dataOffset)
            return false; // pixel rows cut off
    }

    info.fileType = IK_FILETYPE_BMP;
    info.resolution = qelta::imaging::bmpDotsPerInch(bmp.xPelsPerMetre);
    info.yResolution = qelta::imaging::bmpDotsPerInch(bmp.yPelsPerMetre);
    info.width = static_cast<int32_t>(bmp.width);
    info.height = static_cast<int32_t>(bmp.height);
    info.bitsPerPixel = static_cast<int32_t>(bitCount);
    info.compression = 0;
    info.pageCount = 1;
    return true;
}

bool identify(const char* path, IKFILEINFO& info)
{
    if (!path || !*path)
        return false;
    // Non-blocking so that a FIFO or device cannot stall the open; only regular files go further.
    FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        return false;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 8)
        return false;
    const auto fileSize = static_cast<uint64_t>(st.st_size);

    unsigned char magic[4];
    if (!readAt(file.get(), 0, magic, sizeof magic))
        return false;
    if (isTiffSignature(magic))
        return identifyTiff(file, path, fileSize, info);
    if (magic[0] == 'B' && magic[1] == 'M')
        return identifyBmp(file.get(), fileSize, info);
    return false;
}

} // namespace

extern "C" int IKFileType(const char* path, int flags, IKFILEINFO* info)
{
    (void)flags;
    if (info)
        std::memset(info, 0, sizeof *info);
    IKFILEINFO found;
    std::memset(&found, 0, sizeof found);
    if (!guardedExport(false, [&] { return identify(path, found); }))
        return 0;
    if (info)
        *info = found;
    return 1;
}
