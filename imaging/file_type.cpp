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
#include <unordered_set>
#include <vector>

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

// ---- Later directories without libtiff ----
//
// Reading a directory through libtiff costs far more than finding the next one. Most files hold
// plain pages (a few simple tags of the usual types and values), and each of those is checked here
// from its raw entries, as thoroughly as below: entries, values and strips inside the file. Anything
// else (a tag or value not in this short list, tiles, more directories to check than the budget
// lets through) goes back to libtiff from that directory on, so that a file's result never
// depends on which way its directories were read.

enum class RawVerdict { Plain, Unusual, Broken };

struct RawTiff {
    int fd;
    bool big, bigEndian;
    uint64_t fileSize;
    unsigned countBytes() const { return big ? 8 : 2; }
    unsigned entryBytes() const { return big ? 20 : 12; }
    unsigned valueBytes() const { return big ? 8 : 4; }
};

// One tag of a plain page: the types it may have, its count (0: any) and the values it may take.
struct PlainTag {
    uint16_t tag;
    bool shortType, longType, otherType; // otherType: ASCII, RATIONAL, as the tag needs
    uint32_t count;
    uint32_t low, high; // the value's range when count is 1 and the type SHORT or LONG
};

constexpr uint32_t kAny = std::numeric_limits<uint32_t>::max();

// Sorted by tag. libtiff reads each of these without an error when type, count and value agree.
constexpr PlainTag kPlainTags[] = {
    {TIFFTAG_SUBFILETYPE, false, true, false, 1, 0, kAny},
    {TIFFTAG_IMAGEWIDTH, true, true, false, 1, 1, kAny},
    {TIFFTAG_IMAGELENGTH, true, true, false, 1, 1, kAny},
    {TIFFTAG_BITSPERSAMPLE, true, false, false, 1, 1, 16},
    {TIFFTAG_COMPRESSION, true, false, false, 1, 1, kAny},
    {TIFFTAG_PHOTOMETRIC, true, false, false, 1, 0, 1},
    {TIFFTAG_FILLORDER, true, false, false, 1, 1, 2},
    {TIFFTAG_DOCUMENTNAME, false, false, true, 0, 0, 0},
    {TIFFTAG_IMAGEDESCRIPTION, false, false, true, 0, 0, 0},
    {TIFFTAG_MAKE, false, false, true, 0, 0, 0},
    {TIFFTAG_MODEL, false, false, true, 0, 0, 0},
    {TIFFTAG_STRIPOFFSETS, true, true, false, 0, 0, kAny},
    {TIFFTAG_ORIENTATION, true, false, false, 1, 1, 8},
    {TIFFTAG_SAMPLESPERPIXEL, true, false, false, 1, 1, 1},
    {TIFFTAG_ROWSPERSTRIP, true, true, false, 1, 1, kAny},
    {TIFFTAG_STRIPBYTECOUNTS, true, true, false, 0, 0, kAny},
    {TIFFTAG_XRESOLUTION, false, false, true, 1, 0, 0},
    {TIFFTAG_YRESOLUTION, false, false, true, 1, 0, 0},
    {TIFFTAG_PLANARCONFIG, true, false, false, 1, 1, 1},
    {TIFFTAG_PAGENAME, false, false, true, 0, 0, 0},
    {TIFFTAG_GROUP3OPTIONS, false, true, false, 1, 0, kAny},
    {TIFFTAG_GROUP4OPTIONS, false, true, false, 1, 0, kAny},
    {TIFFTAG_RESOLUTIONUNIT, true, false, false, 1, 1, 3},
    {TIFFTAG_PAGENUMBER, true, false, false, 2, 0, 0},
    {TIFFTAG_SOFTWARE, false, false, true, 0, 0, 0},
    {TIFFTAG_DATETIME, false, false, true, 0, 0, 0},
    {TIFFTAG_ARTIST, false, false, true, 0, 0, 0},
    {TIFFTAG_BADFAXLINES, true, true, false, 1, 0, kAny},
    {TIFFTAG_CLEANFAXDATA, true, false, false, 1, 0, 2},
    {TIFFTAG_CONSECUTIVEBADFAXLINES, true, true, false, 1, 0, kAny},
};

const PlainTag* plainTag(uint16_t tag)
{
    const auto found = std::lower_bound(std::begin(kPlainTags), std::end(kPlainTags), tag,
                                        [](const PlainTag& t, uint16_t value) { return t.tag < value; });
    return found != std::end(kPlainTags) && found->tag == tag ? found : nullptr;
}

// Reads count unsigned values of type at a field (in the entry or at its offset).
bool readValues(const RawTiff& f, const unsigned char* entry, uint16_t type, uint64_t count,
                std::vector<uint64_t>& values)
{
    const uint64_t size = tiffTypeSize(type);
    const unsigned char* field = entry + 4 + (f.big ? 8 : 4);
    std::vector<unsigned char> bytes(static_cast<size_t>(count * size));
    if (count * size <= f.valueBytes())
        std::memcpy(bytes.data(), field, bytes.size());
    else if (!readAt(f.fd, unsignedAt(field, f.valueBytes(), f.bigEndian), bytes.data(), bytes.size()))
        return false;
    values.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = unsignedAt(bytes.data() + i * size, static_cast<unsigned>(size), f.bigEndian);
    return true;
}

// Where the directory after the (already checked) one at offset starts; 0 for none.
uint64_t nextDirectoryOffset(const RawTiff& f, uint64_t offset)
{
    unsigned char field[8];
    if (!readAt(f.fd, offset, field, f.countBytes()))
        return 0;
    const uint64_t entries = unsignedAt(field, f.countBytes(), f.bigEndian);
    if (!readAt(f.fd, offset + f.countBytes() + entries * f.entryBytes(), field, f.valueBytes()))
        return 0;
    return unsignedAt(field, f.valueBytes(), f.bigEndian);
}

// Compressions whose directories libtiff reads without codec peculiarities (uncompressed strips
// it measures against the image, and may estimate anew).
bool plainCompression(uint64_t compression)
{
    switch (compression) {
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_ADOBE_DEFLATE:
        return TIFFIsCODECConfigured(static_cast<uint16_t>(compression)) != 0;
    default:
        return false;
    }
}

// The directory at offset, checked from its raw entries; next is where the one after it starts.
RawVerdict rawDirectory(const RawTiff& f, uint64_t offset, uint64_t& budget, uint64_t& next)
{
    const unsigned countBytes = f.countBytes(), entryBytes = f.entryBytes(), nextBytes = f.valueBytes();
    unsigned char field[8];
    if (offset > f.fileSize || f.fileSize - offset < countBytes + nextBytes || !readAt(f.fd, offset, field, countBytes))
        return RawVerdict::Broken;
    const uint64_t entries = unsignedAt(field, countBytes, f.bigEndian);
    if (entries > (f.fileSize - offset - countBytes - nextBytes) / entryBytes)
        return RawVerdict::Broken;
    // Large directories, and checks the budget would cut short, are left to libtiff.
    if (entries == 0 || entries > std::size(kPlainTags) || budget < entries + 2)
        return RawVerdict::Unusual;
    unsigned char table[std::size(kPlainTags) * 20 + 8];
    const size_t tableBytes = static_cast<size_t>(entries * entryBytes) + nextBytes;
    if (!readAt(f.fd, offset + countBytes, table, tableBytes))
        return RawVerdict::Broken;

    uint32_t width = 0, height = 0, rowsPerStrip = kAny;
    const unsigned char *offsets = nullptr, *byteCounts = nullptr;
    uint16_t lastTag = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        const unsigned char* entry = table + i * entryBytes;
        const auto tag = static_cast<uint16_t>(unsignedAt(entry, 2, f.bigEndian));
        const auto type = static_cast<uint16_t>(unsignedAt(entry + 2, 2, f.bigEndian));
        const uint64_t count = unsignedAt(entry + 4, f.big ? 8 : 4, f.bigEndian);
        const PlainTag* plain = plainTag(tag);
        if (!plain || (i > 0 && tag <= lastTag) || (plain->count != 0 && count != plain->count) || count == 0)
            return RawVerdict::Unusual;
        lastTag = tag;
        const bool typeFits = type == TIFF_SHORT ? plain->shortType
                              : type == TIFF_LONG ? plain->longType
                              : plain->otherType && (type == TIFF_ASCII || type == TIFF_RATIONAL);
        if (!typeFits || (type == TIFF_ASCII) != (plain->otherType && plain->count == 0) || count > (1u << 20))
            return RawVerdict::Unusual;
        if ((type == TIFF_SHORT || type == TIFF_LONG) && plain->count == 1) {
            const uint64_t value = unsignedAt(entry + 4 + (f.big ? 8 : 4), type == TIFF_SHORT ? 2 : 4, f.bigEndian);
            if (value < plain->low || value > plain->high)
                return RawVerdict::Unusual;
            if (tag == TIFFTAG_IMAGEWIDTH)
                width = static_cast<uint32_t>(value);
            else if (tag == TIFFTAG_IMAGELENGTH)
                height = static_cast<uint32_t>(value);
            else if (tag == TIFFTAG_ROWSPERSTRIP)
                rowsPerStrip = static_cast<uint32_t>(value);
            else if (tag == TIFFTAG_COMPRESSION && !plainCompression(value))
                return RawVerdict::Unusual;
        }
        if (tag == TIFFTAG_STRIPOFFSETS)
            offsets = entry;
        else if (tag == TIFFTAG_STRIPBYTECOUNTS)
            byteCounts = entry;
    }
    if (width == 0 || height == 0 || !offsets || !byteCounts)
        return RawVerdict::Unusual;
    const uint64_t strips = rowsPerStrip >= height ? 1 : (uint64_t{height} + rowsPerStrip - 1) / rowsPerStrip;
    const uint64_t offsetCount = unsignedAt(offsets + 4, f.big ? 8 : 4, f.bigEndian);
    const uint64_t byteCountCount = unsignedAt(byteCounts + 4, f.big ? 8 : 4, f.bigEndian);
    if (offsetCount != strips || byteCountCount != strips || budget < entries + strips)
        return RawVerdict::Unusual;

    // As directoryInsideFile: each value kept outside its entry lies inside the file.
    for (uint64_t i = 0; i < entries; ++i) {
        const unsigned char* entry = table + i * entryBytes;
        const uint64_t size = tiffTypeSize(static_cast<uint16_t>(unsignedAt(entry + 2, 2, f.bigEndian)));
        const uint64_t count = unsignedAt(entry + 4, f.big ? 8 : 4, f.bigEndian);
        if (size == 0 || count <= f.valueBytes() / size)
            continue;
        if (count > f.fileSize / size)
            return RawVerdict::Broken;
        const uint64_t at = unsignedAt(entry + 4 + (f.big ? 8 : 4), f.valueBytes(), f.bigEndian);
        if (at > f.fileSize || count * size > f.fileSize - at)
            return RawVerdict::Broken;
    }
    // As stripsInsideFile: every strip with data lies inside the file.
    std::vector<uint64_t> stripAt, length;
    if (!readValues(f, offsets, static_cast<uint16_t>(unsignedAt(offsets + 2, 2, f.bigEndian)), strips, stripAt)
        || !readValues(f, byteCounts, static_cast<uint16_t>(unsignedAt(byteCounts + 2, 2, f.bigEndian)), strips,
                       length))
        return RawVerdict::Broken;
    // A lone strip without a length is one libtiff estimates (as it may any uncompressed strip:
    // those pages are left to it).
    if (strips == 1 && length[0] == 0 && stripAt[0] != 0)
        return RawVerdict::Unusual;
    budget -= entries;
    for (size_t i = 0; i < strips; ++i, --budget)
        if (length[i] != 0 && (stripAt[i] > f.fileSize || length[i] > f.fileSize - stripAt[i]))
            return RawVerdict::Broken;
    next = unsignedAt(table + entries * entryBytes, nextBytes, f.bigEndian);
    return RawVerdict::Plain;
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
    uint32_t pages = 1;
    if (failed || !directoryInsideFile(tif.get(), fileSize, budget) || !stripsInsideFile(tif.get(), fileSize, budget))
        return false;
    // The plain directories after the first, from their raw entries; libtiff goes on from the
    // first one that is not plain.
    const RawTiff raw{TIFFFileno(tif.get()), TIFFIsBigTIFF(tif.get()) != 0, TIFFIsBigEndian(tif.get()) != 0, fileSize};
    std::unordered_set<uint64_t> seen{TIFFCurrentDirOffset(tif.get())};
    uint64_t next = TIFFLastDirectory(tif.get()) ? 0 : nextDirectoryOffset(raw, TIFFCurrentDirOffset(tif.get()));
    bool plain = true;
    while (next != 0 && pages < kMaxPages) {
        if (!seen.insert(next).second)
            return false; // a loop: libtiff refuses to read a directory twice
        uint64_t after = 0;
        const RawVerdict verdict = rawDirectory(raw, next, budget, after);
        if (verdict == RawVerdict::Broken)
            return false;
        if (verdict == RawVerdict::Unusual) {
            plain = false;
            break;
        }
        ++pages;
        next = after;
    }
    if (!plain) {
        // libtiff reads that directory (walking to it), and every one after it.
        if (!TIFFSetDirectory(tif.get(), static_cast<tdir_t>(pages)))
            return false;
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
