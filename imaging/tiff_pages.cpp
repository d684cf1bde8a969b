#include "imaging/tiff_pages.h"

#include "imaging/file_beside.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace qelta::imaging {

namespace {

// libtiff allocates at most this much at once for one file (decoded strips, raw strip buffers).
constexpr tmsize_t kMaxTiffAllocation = tmsize_t{256} << 20;

struct ErrorSink {
    bool failed = false;
    unsigned warnings = 0;
    std::string message;
};

int onTiffError(TIFF*, void* userData, const char* module, const char* format, va_list args)
{
    auto* sink = static_cast<ErrorSink*>(userData);
    if (sink->message.empty()) {
        char text[200];
        std::vsnprintf(text, sizeof text, format, args);
        sink->message = std::string(module ? module : "libtiff") + ": " + text;
    }
    sink->failed = true;
    return 1;
}

// Warnings are counted: while pixels are decoded they tell of damaged data (bad fax lines).
int onTiffWarning(TIFF*, void* userData, const char*, const char*, va_list)
{
    ++static_cast<ErrorSink*>(userData)->warnings;
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Opens fd (which libtiff owns from then on, even when the open fails) with errors sent to sink.
using OptionsPtr = std::unique_ptr<TIFFOpenOptions, OptionsDeleter>;

// Options that send libtiff's errors and warnings to sink.
OptionsPtr openOptions(ErrorSink& sink)
{
    OptionsPtr options(TIFFOpenOptionsAlloc());
    if (options) {
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onTiffError, &sink);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onTiffWarning, &sink);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    }
    return options;
}

TiffPtr openTiff(int fd, const std::string& name, const char* mode, ErrorSink& sink)
{
    const OptionsPtr options = openOptions(sink);
    if (!options) {
        ::close(fd);
        return nullptr;
    }
    TiffPtr tif(TIFFFdOpenExt(fd, name.c_str(), mode, options.get()));
    if (!tif)
        ::close(fd);
    return tif;
}

double dotsPerInch(float value, uint16_t unit)
{
    const double dpi = double{value} * (unit == RESUNIT_CENTIMETER ? 2.54 : 1.0);
    return std::isfinite(dpi) && dpi > 0 ? dpi : 0;
}

void clearRowTails(Page& page)
{
    if (page.kind != PixelKind::Bilevel || page.width % 8 == 0)
        return;
    const auto mask = static_cast<uint8_t>(0xff00u >> (page.width % 8));
    const size_t last = page.stride() - 1;
    for (uint32_t y = 0; y < page.height; ++y)
        page.row(y)[last] &= mask;
}



// Any black pixel in [from, to) of a packed row.
bool anyBlack(const uint8_t* row, uint32_t from, uint32_t to)
{
    for (; from < to && (from & 7); ++from)
        if (bitAt(row, from))
            return true;
    for (; from + 8 <= to; from += 8)
        if (row[from >> 3])
            return true;
    for (; from < to; ++from)
        if (bitAt(row, from))
            return true;
    return false;
}

// Rows of a stripped bilevel page go straight into the page: no unpacking.
Status readBilevelStrips(TIFF* tif, Page& page, uint16_t photometric)
{
    const size_t stride = page.stride();
    if (TIFFScanlineSize64(tif) != stride)
        return Status::Corrupt;
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > page.height)
        rowsPerStrip = page.height;
    const uint32_t strips = (page.height - 1) / rowsPerStrip + 1;
    if (TIFFNumberOfStrips(tif) < strips)
        return Status::Corrupt;
    page.pixels.assign(stride * page.height, 0);
    for (uint32_t strip = 0; strip < strips; ++strip) {
        const uint32_t first = strip * rowsPerStrip;
        const uint32_t rows = std::min(rowsPerStrip, page.height - first);
        const auto expected = static_cast<tmsize_t>(stride * rows);
        if (TIFFReadEncodedStrip(tif, strip, page.row(first), expected) != expected)
            return Status::Corrupt;
    }
    if (photometric == PHOTOMETRIC_MINISBLACK)
        for (auto& byte : page.pixels)
            byte = static_cast<uint8_t>(~byte);
    clearRowTails(page);
    return Status::Ok;
}

// Every other kind of page through libtiff's RGBA reader, composed over white.
Status readThroughRgba(TIFF* tif, Page& page, ErrorSink& sink)
{
    char why[1024] = "";
    if (!TIFFRGBAImageOK(tif, why)) {
        if (sink.message.empty())
            sink.message = why;
        return Status::Corrupt;
    }
    const size_t pixels = size_t{page.width} * page.height;
    std::vector<uint8_t> raster(pixels * 4);
    if (!TIFFReadRGBAImageOriented(tif, page.width, page.height, reinterpret_cast<uint32_t*>(raster.data()),
                                   ORIENTATION_TOPLEFT, 1))
        return Status::Corrupt;
    // In place from four bytes a pixel to three; libtiff hands out alpha premultiplied.
    for (size_t i = 0; i < pixels; ++i) {
        uint32_t abgr;
        std::memcpy(&abgr, raster.data() + i * 4, 4);
        const uint32_t white = 255 - TIFFGetA(abgr);
        raster[i * 3] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetR(abgr) + white));
        raster[i * 3 + 1] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetG(abgr) + white));
        raster[i * 3 + 2] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetB(abgr) + white));
    }
    raster.resize(pixels * 3);
    page.pixels = std::move(raster);
    return Status::Ok;
}

// Where an existing file's directory chain ends, found without trusting libtiff to stop.
struct ChainEnd {
    uint32_t pages = 0;
    uint64_t fileSize = 0;
    uint64_t pointerAt = 0; // the zero pointer that ends the chain
    unsigned pointerBytes = 4;
    uint64_t lastDirectory = 0; // 0: the file has none
    bool bigEndian = false;
    unsigned countBytes = 2, entryBytes = 12;
    std::array<unsigned char, 16> header{};
};

uint64_t valueAt(const unsigned char* p, unsigned bytes, bool bigEndian)
{
    uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v = (v << 8) | p[bigEndian ? i : bytes - 1 - i];
    return v;
}

// The file's size and header; first is the offset of its first directory.
Status readChainStart(int fd, const struct stat& st, ChainEnd& end, uint64_t& first)
{
    end = ChainEnd{};
    end.fileSize = static_cast<uint64_t>(st.st_size);
    unsigned char* header = end.header.data();
    if (end.fileSize < 8 || !readAt(fd, 0, header, std::min<uint64_t>(16, end.fileSize)))
        return Status::Corrupt;
    end.bigEndian = header[0] == 'M';
    if (header[0] != header[1] || (header[0] != 'I' && header[0] != 'M'))
        return Status::Corrupt;
    const uint64_t version = valueAt(header + 2, 2, end.bigEndian);
    if (version == 42) {
        end.pointerBytes = 4;
        end.pointerAt = 4;
    } else if (version == 43 && end.fileSize >= 16 && valueAt(header + 4, 2, end.bigEndian) == 8
               && valueAt(header + 6, 2, end.bigEndian) == 0) {
        end.pointerBytes = 8;
        end.pointerAt = 8;
        end.countBytes = 8;
        end.entryBytes = 20;
    } else {
        return Status::Corrupt;
    }
    first = valueAt(header + end.pointerAt, end.pointerBytes, end.bigEndian);
    return Status::Ok;
}

// Follows the chain from the directory at offset (the one end.pointerAt points to) to its end.
Status followChain(int fd, ChainEnd& end, uint64_t offset)
{
    std::unordered_set<uint64_t> seen;
    unsigned char field[8];
    while (offset != 0) {
        if (end.pages >= kMaxPages)
            return Status::TooLarge;
        if (!seen.insert(offset).second || offset > end.fileSize - end.countBytes - end.pointerBytes
            || !readAt(fd, offset, field, end.countBytes))
            return Status::Corrupt;
        const uint64_t entries = valueAt(field, end.countBytes, end.bigEndian);
        if (entries > (end.fileSize - offset - end.countBytes - end.pointerBytes) / end.entryBytes)
            return Status::Corrupt;
        end.lastDirectory = offset;
        end.pointerAt = offset + end.countBytes + entries * end.entryBytes;
        if (!readAt(fd, end.pointerAt, field, end.pointerBytes))
            return Status::Corrupt;
        offset = valueAt(field, end.pointerBytes, end.bigEndian);
        ++end.pages;
    }
    return Status::Ok;
}

// Chain ends this process has appended to, so that the next append to the same file (a document
// grown page by page) starts at its last directory instead of walking every one before it. An
// entry holds only while the file keeps the size and modification time it had when its pages were
// last written, and its last directory still ends the chain there.
class KnownEnds {
public:
    static KnownEnds& instance()
    {
        static KnownEnds ends;
        return ends;
    }

    bool find(int fd, const struct stat& st, ChainEnd& end)
    {
        ChainEnd known;
        {
            const std::lock_guard lock(mutex_);
            const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.same(st); });
            if (found == entries_.end())
                return false;
            known = found->end;
        }
        unsigned char header[16];
        unsigned char field[8];
        if (!readAt(fd, 0, header, std::min<uint64_t>(16, known.fileSize))
            || std::memcmp(header, known.header.data(), std::min<uint64_t>(16, known.fileSize)) != 0
            || !readAt(fd, known.lastDirectory, field, known.countBytes))
            return false;
        const uint64_t entries = valueAt(field, known.countBytes, known.bigEndian);
        if (known.pointerAt != known.lastDirectory + known.countBytes + entries * known.entryBytes
            || !readAt(fd, known.pointerAt, field, known.pointerBytes)
            || valueAt(field, known.pointerBytes, known.bigEndian) != 0)
            return false;
        end = known;
        return true;
    }

    void remember(const struct stat& st, const ChainEnd& end)
    {
        const std::lock_guard lock(mutex_);
        forgetLocked(st);
        if (entries_.size() >= kEntries)
            entries_.erase(entries_.begin());
        entries_.push_back({st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, end});
    }

    void forget(int fd)
    {
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return;
        const std::lock_guard lock(mutex_);
        forgetLocked(st);
    }

private:
    static constexpr size_t kEntries = 16;

    struct Entry {
        dev_t device;
        ino_t inode;
        off_t size;
        time_t modified;
        long modifiedNs;
        ChainEnd end;

        bool same(const struct stat& st) const
        {
            return device == st.st_dev && inode == st.st_ino && size == st.st_size && modified == st.st_mtim.tv_sec
                   && modifiedNs == st.st_mtim.tv_nsec;
        }
        bool sameFile(const struct stat& st) const { return device == st.st_dev && inode == st.st_ino; }
    };

    void forgetLocked(const struct stat& st)
    {
        std::erase_if(entries_, [&](const Entry& e) { return e.sameFile(st); });
    }

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

Status findChainEnd(int fd, ChainEnd& end)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Status::Corrupt;
    if (KnownEnds::instance().find(fd, st, end))
        return Status::Ok;
    uint64_t first = 0;
    const Status status = readChainStart(fd, st, end, first);
    return status == Status::Ok ? followChain(fd, end, first) : status;
}

// After pages were appended: the new end, found from the old one, is kept for the next append.
void rememberChainEnd(int fd, const ChainEnd& before, uint32_t written)
{
    struct stat st {};
    unsigned char field[8];
    ChainEnd end = before;
    if (::fstat(fd, &st) != 0 || !readAt(fd, before.pointerAt, field, before.pointerBytes))
        return KnownEnds::instance().forget(fd);
    end.fileSize = static_cast<uint64_t>(st.st_size);
    if (before.pages == 0 && !readAt(fd, 0, end.header.data(), std::min<uint64_t>(16, end.fileSize)))
        return KnownEnds::instance().forget(fd);
    if (followChain(fd, end, valueAt(field, before.pointerBytes, before.bigEndian)) != Status::Ok
        || end.pages != before.pages + written || end.lastDirectory == 0)
        return KnownEnds::instance().forget(fd);
    KnownEnds::instance().remember(st, end);
}

// The file an appending writer works on, for libtiff. While libtiff opens it, the header it reads
// names the last directory as the first: libtiff links a new directory to the last one it finds
// from there, which then takes one step instead of one for every page before. Nothing else is
// read differently, and the header in the file stays as it is.
struct AppendFile {
    int fd = -1;
    bool opening = false;
    uint64_t pointerField = 0; // where the header holds the first directory's offset
    unsigned pointerBytes = 4;
    unsigned char lastDirectory[8] = {};

    static tmsize_t read(thandle_t handle, void* buffer, tmsize_t size)
    {
        auto* file = static_cast<AppendFile*>(handle);
        const off_t at = ::lseek(file->fd, 0, SEEK_CUR);
        auto* bytes = static_cast<unsigned char*>(buffer);
        tmsize_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(file->fd, bytes + done, static_cast<size_t>(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && done == 0)
                return -1;
            if (n <= 0)
                break;
            done += n;
        }
        if (file->opening && at >= 0 && done > 0)
            for (unsigned i = 0; i < file->pointerBytes; ++i) {
                const uint64_t place = file->pointerField + i;
                if (place >= static_cast<uint64_t>(at) && place < static_cast<uint64_t>(at) + static_cast<uint64_t>(done))
                    bytes[place - static_cast<uint64_t>(at)] = file->lastDirectory[i];
            }
        return done;
    }
    static tmsize_t write(thandle_t handle, void* buffer, tmsize_t size)
    {
        auto* file = static_cast<AppendFile*>(handle);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        tmsize_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(file->fd, bytes + done, static_cast<size_t>(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return done > 0 ? done : -1;
            done += n;
        }
        return done;
    }
    static toff_t seek(thandle_t handle, toff_t offset, int whence)
    {
        if (offset > static_cast<toff_t>(std::numeric_limits<off_t>::max()))
            return static_cast<toff_t>(-1);
        return static_cast<toff_t>(::lseek(static_cast<AppendFile*>(handle)->fd, static_cast<off_t>(offset), whence));
    }
    static int close(thandle_t handle) { return ::close(static_cast<AppendFile*>(handle)->fd); }
    static toff_t size(thandle_t handle)
    {
        struct stat st {};
        return ::fstat(static_cast<AppendFile*>(handle)->fd, &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
    }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}
};

// openTiff for an appending writer's file (see AppendFile); the descriptor is closed with the TIFF.
TiffPtr openAppending(AppendFile& file, const std::string& name, ErrorSink& sink)
{
    const OptionsPtr options = openOptions(sink);
    if (!options) {
        ::close(file.fd);
        return nullptr;
    }
    file.opening = true;
    TiffPtr tif(TIFFClientOpenExt(name.c_str(), "am", &file, AppendFile::read, AppendFile::write, AppendFile::seek,
                                  AppendFile::close, AppendFile::size, AppendFile::map, AppendFile::unmap,
                                  options.get()));
    file.opening = false;
    if (!tif)
        ::close(file.fd);
    return tif;
}

uint16_t tiffCompression(Compression compression, bool bilevel)
{
    switch (compression) {
    case Compression::None:
        return COMPRESSION_NONE;
    case Compression::PackBits:
        return COMPRESSION_PACKBITS;
    case Compression::Lzw:
        return COMPRESSION_LZW;
    case Compression::G3OneD:
    case Compression::G3TwoD:
    case Compression::ClassF:
        return bilevel ? COMPRESSION_CCITTFAX3 : COMPRESSION_LZW;
    case Compression::Mh:
        return bilevel ? COMPRESSION_CCITTRLE : COMPRESSION_LZW;
    case Compression::G4:
        break;
    }
    return bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
}

// Bytes of a fax page's coded data libtiff gathers before it writes them to the file.
constexpr tmsize_t kFaxChunk = 64 << 10;

// A memory file, for coding through libtiff without touching the disk.
int memoryFile() { return ::memfd_create("qelta-rows", MFD_CLOEXEC); }

// libtiff's decoder looks a few bits ahead: when the last row's last code ends exactly where the
// data ends, it reports a premature end. Zero bits after the rows are never read as a row.
constexpr size_t kMhPadding = 2;

// The rows of a bilevel page in modified Huffman, as libtiff codes them (each row byte aligned).
std::vector<uint8_t> mhRowsOf(const Page& page)
{
    FileDescriptor file(memoryFile());
    if (file.get() < 0 || page.kind != PixelKind::Bilevel)
        return {};
    ErrorSink sink;
    {
        const int own = ::dup(file.get());
        if (own < 0)
            return {};
        const TiffPtr tif = openTiff(own, "rows", "w", sink);
        if (!tif)
            return {};
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, page.height);
        std::vector<uint8_t> row(page.stride());
        for (uint32_t y = 0; y < page.height; ++y) {
            std::memcpy(row.data(), page.row(y), row.size());
            if (TIFFWriteScanline(tif.get(), row.data(), y, 0) != 1)
                return {};
        }
        if (!TIFFWriteDirectory(tif.get()) || sink.failed)
            return {};
    }
    // libtiff reads the header from where the descriptor stands.
    const int own = ::lseek(file.get(), 0, SEEK_SET) == 0 ? ::dup(file.get()) : -1;
    if (own < 0)
        return {};
    const TiffPtr tif = openTiff(own, "rows", "rm", sink);
    if (!tif || TIFFNumberOfStrips(tif.get()) != 1)
        return {};
    const uint64_t size = TIFFGetStrileByteCount(tif.get(), 0);
    std::vector<uint8_t> rows(size);
    if (size == 0 || TIFFReadRawStrip(tif.get(), 0, rows.data(), static_cast<tmsize_t>(size)) != static_cast<tmsize_t>(size))
        return {};
    return rows;
}

} // namespace

int32_t roundedDpi(double dotsPerInch)
{
    if (!std::isfinite(dotsPerInch) || dotsPerInch <= 0)
        return 0;
    const double rounded = std::round(dotsPerInch);
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

bool fitsLimits(PixelKind kind, uint64_t width, uint64_t height)
{
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return false;
    return width * height <= (kind == PixelKind::Bilevel ? kMaxBilevelPixels : kMaxRgbPixels);
}

Page blankPage(PixelKind kind, uint32_t width, uint32_t height)
{
    Page page;
    page.kind = kind;
    page.width = width;
    page.height = height;
    page.pixels.assign(page.stride() * height, kind == PixelKind::Bilevel ? 0 : 0xff);
    return page;
}

// ---- Reading ----

struct TiffReader::State {
    ErrorSink sink; // outlives the TIFF that reports to it
    TiffPtr tif;
};

TiffReader::TiffReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
TiffReader::~TiffReader() = default;

std::unique_ptr<TiffReader> TiffReader::open(const std::string& path, Status& status)
{
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0) {
        status = Status::NotFound;
        return nullptr;
    }
    return open(fd, path, status);
}

std::unique_ptr<TiffReader> TiffReader::open(int fd, const std::string& path, Status& status)
{
    auto state = std::make_unique<State>();
    // "m": read through the descriptor, never map a file that may shrink under us.
    state->tif = openTiff(fd, path, "rm", state->sink);
    if (!state->tif || state->sink.failed) {
        status = Status::Corrupt;
        return nullptr;
    }
    status = Status::Ok;
    return std::unique_ptr<TiffReader>(new TiffReader(std::move(state)));
}

uint32_t TiffReader::pageCount() { return TIFFNumberOfDirectories(state_->tif.get()); }

Status TiffReader::select(uint32_t index)
{
    state_->sink.failed = false;
    if (index >= kMaxPages || !TIFFSetDirectory(state_->tif.get(), index))
        return state_->sink.failed && index < pageCount() ? Status::Corrupt : Status::NoPage;
    return state_->sink.failed ? Status::Corrupt : Status::Ok;
}

Status TiffReader::next()
{
    state_->sink.failed = false;
    if (TIFFLastDirectory(state_->tif.get()))
        return Status::NoPage;
    if (!TIFFReadDirectory(state_->tif.get()) || state_->sink.failed)
        return Status::Corrupt;
    return Status::Ok;
}

namespace {

// The tags of the current directory that say how its pixels are stored.
struct PageTags {
    bool sized = false; // width and height given, both above 0
    uint32_t width = 0, height = 0, rowsPerStrip = 0;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, compression = COMPRESSION_NONE;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE, orientation = ORIENTATION_TOPLEFT, fillOrder = FILLORDER_MSB2LSB;
    bool photometricGiven = false;
    double xDpi = 0, yDpi = 0;

    explicit PageTags(TIFF* tif)
    {
        sized = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)
                && width > 0 && height > 0;
        uint16_t unit = RESUNIT_INCH;
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        photometricGiven = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
        float x = 0, y = 0;
        if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x))
            xDpi = dotsPerInch(x, unit);
        if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
            yDpi = dotsPerInch(y, unit);
    }
};

} // namespace

Status TiffReader::read(Page& page)
{
    TIFF* tif = state_->tif.get();
    ErrorSink& sink = state_->sink;
    sink.failed = false;
    const PageTags tags(tif);
    if (!tags.sized)
        return Status::Corrupt;
    if (!TIFFIsCODECConfigured(tags.compression))
        return Status::Corrupt;

    const bool bilevel = tags.bitsPerSample == 1 && tags.samplesPerPixel == 1
                         && (tags.photometric == PHOTOMETRIC_MINISWHITE || tags.photometric == PHOTOMETRIC_MINISBLACK);
    const bool direct = bilevel && !TIFFIsTiled(tif) && tags.orientation == ORIENTATION_TOPLEFT;
    if (!fitsLimits(direct ? PixelKind::Bilevel : PixelKind::Rgb, tags.width, tags.height))
        return Status::TooLarge;

    Page read;
    read.kind = direct ? PixelKind::Bilevel : PixelKind::Rgb;
    read.width = tags.width;
    read.height = tags.height;
    read.xDpi = tags.xDpi;
    read.yDpi = tags.yDpi;

    sink.warnings = 0;
    const Status status = direct ? readBilevelStrips(tif, read, tags.photometric) : readThroughRgba(tif, read, sink);
    if (status != Status::Ok)
        return status;
    if (sink.failed || sink.warnings > 0)
        return Status::Corrupt;
    // Tiled or turned bilevel pages came through RGBA: back to one bit, exactly.
    page = bilevel && !direct ? threshold(read) : std::move(read);
    return Status::Ok;
}

bool TiffReader::readCoded(Page& header, CodedStrip& coded)
{
    TIFF* tif = state_->tif.get();
    ErrorSink& sink = state_->sink;
    sink.failed = false;
    const PageTags tags(tif);
    if (TIFFIsTiled(tif) || !tags.sized || !fitsLimits(PixelKind::Bilevel, tags.width, tags.height)
        || tags.bitsPerSample != 1 || tags.samplesPerPixel != 1 || !tags.photometricGiven
        || tags.photometric != PHOTOMETRIC_MINISWHITE || tags.orientation != ORIENTATION_TOPLEFT
        || tags.fillOrder != FILLORDER_MSB2LSB || tags.rowsPerStrip < tags.height || TIFFNumberOfStrips(tif) != 1)
        return false;
    // Only the codings the writer stores with the same tags.
    uint32_t options = 0;
    uint16_t clean = 0;
    if (tags.compression == COMPRESSION_CCITTFAX4) {
        TIFFGetFieldDefaulted(tif, TIFFTAG_GROUP4OPTIONS, &options);
        if (options != 0)
            return false;
        coded.compression = Compression::G4;
    } else if (tags.compression == COMPRESSION_CCITTFAX3) {
        TIFFGetFieldDefaulted(tif, TIFFTAG_GROUP3OPTIONS, &options);
        const bool marked = TIFFGetField(tif, TIFFTAG_CLEANFAXDATA, &clean) != 0;
        if (!marked && options == 0)
            coded.compression = Compression::G3OneD;
        else if (!marked && options == GROUP3OPT_2DENCODING)
            coded.compression = Compression::G3TwoD;
        else if (marked && clean == CLEANFAXDATA_CLEAN && options == GROUP3OPT_FILLBITS)
            coded.compression = Compression::ClassF;
        else
            return false;
    } else {
        return false;
    }
    const uint64_t size = TIFFGetStrileByteCount(tif, 0);
    if (size == 0 || size > static_cast<uint64_t>(kMaxTiffAllocation) || sink.failed)
        return false;
    coded.data.resize(size);
    if (TIFFReadRawStrip(tif, 0, coded.data.data(), static_cast<tmsize_t>(size)) != static_cast<tmsize_t>(size)
        || sink.failed) {
        coded.data.clear();
        return false;
    }
    header = Page{};
    header.width = tags.width;
    header.height = tags.height;
    header.xDpi = tags.xDpi;
    header.yDpi = tags.yDpi;
    return true;
}

Compression TiffReader::storedCompression()
{
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(state_->tif.get(), TIFFTAG_COMPRESSION, &compression);
    switch (compression) {
    case COMPRESSION_NONE:
        return Compression::None;
    case COMPRESSION_PACKBITS:
        return Compression::PackBits;
    case COMPRESSION_LZW:
        return Compression::Lzw;
    case COMPRESSION_CCITTRLE:
        return Compression::Mh;
    case COMPRESSION_CCITTFAX3: {
        uint32_t options = 0;
        uint16_t clean = 0;
        TIFFGetField(state_->tif.get(), TIFFTAG_GROUP3OPTIONS, &options);
        if (options & GROUP3OPT_2DENCODING)
            return Compression::G3TwoD;
        return TIFFGetField(state_->tif.get(), TIFFTAG_CLEANFAXDATA, &clean) ? Compression::ClassF : Compression::G3OneD;
    }
    default:
        return Compression::G4; // LZW for colour pages
    }
}

const std::string& TiffReader::message() const { return state_->sink.message; }

// ---- Writing ----

struct TiffWriter::State {
    ErrorSink sink;
    AppendFile file; // what libtiff appends through; outlives the TIFF
    TiffPtr tif;
    int fd = -1;          // the caller's descriptor, kept for putting an appended file back
    bool appending = false;
    bool ok = true;
    ChainEnd end;
    uint32_t written = 0;
};

TiffWriter::TiffWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

TiffWriter::~TiffWriter() { discard(); }

void TiffWriter::discard()
{
    if (state_->tif) {
        state_->ok = false;
        finish();
    }
}

std::unique_ptr<TiffWriter> TiffWriter::create(int fd, const std::string& name)
{
    auto state = std::make_unique<State>();
    state->fd = fd;
    const int own = ::dup(fd);
    if (own < 0)
        return nullptr;
    state->tif = openTiff(own, name, "w", state->sink);
    if (!state->tif || state->sink.failed)
        return nullptr;
    return std::unique_ptr<TiffWriter>(new TiffWriter(std::move(state)));
}

std::unique_ptr<TiffWriter> TiffWriter::append(int fd, const std::string& name, Status& status)
{
    auto state = std::make_unique<State>();
    state->fd = fd;
    state->appending = true;
    // Two appenders at once would link their pages to the same directory.
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) {
            status = Status::WriteFailed;
            return nullptr;
        }
    status = findChainEnd(fd, state->end);
    if (status != Status::Ok)
        return nullptr;
    const int own = ::dup(fd);
    if (own < 0) {
        status = Status::WriteFailed;
        return nullptr;
    }
    AppendFile& file = state->file;
    file.fd = own;
    if (state->end.pages > 0) {
        const unsigned bytes = state->end.pointerBytes == 8 ? 8 : 4;
        file.pointerField = bytes;
        file.pointerBytes = bytes;
        for (unsigned i = 0; i < bytes; ++i) {
            const unsigned shift = 8 * (state->end.bigEndian ? bytes - 1 - i : i);
            file.lastDirectory[i] = static_cast<unsigned char>(state->end.lastDirectory >> shift);
        }
    } else {
        file.pointerBytes = 0; // no directory yet: libtiff links the first one from the header
    }
    state->tif = openAppending(file, name, state->sink);
    if (!state->tif || state->sink.failed) {
        status = Status::Corrupt;
        return nullptr;
    }
    return std::unique_ptr<TiffWriter>(new TiffWriter(std::move(state)));
}

uint32_t TiffWriter::pagesBefore() const { return state_->end.pages; }

bool TiffWriter::write(const Page& page, const PageOptions& options, const CodedStrip* coded)
{
    TIFF* tif = state_->tif.get();
    if (!tif || !state_->ok)
        return false;
    if (coded && (coded->compression != options.compression || page.kind != PixelKind::Bilevel || coded->data.empty()))
        coded = nullptr;
    if (state_->end.pages + state_->written >= kMaxPages || !fitsLimits(page.kind, page.width, page.height)
        || (!coded && page.pixels.size() != page.stride() * page.height))
        return state_->ok = false;
    const bool bilevel = page.kind == PixelKind::Bilevel;
    const uint16_t compression = tiffCompression(options.compression, bilevel);
    const size_t stride = page.stride();
    const uint32_t rowsPerStrip = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4
                                          || compression == COMPRESSION_CCITTRLE
                                      ? page.height // one strip a page, as fax readers expect
                                      : static_cast<uint32_t>(std::clamp<size_t>((64 << 10) / stride, 1, page.height));
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t{FILETYPE_PAGE});
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bilevel ? 1 : 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_CCITTFAX3 && options.compression == Compression::ClassF) {
        // Class F: one-dimensional with byte-aligned EOLs, and the data declared clean.
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, uint32_t{GROUP3OPT_FILLBITS});
        TIFFSetField(tif, TIFFTAG_BADFAXLINES, uint32_t{0});
        TIFFSetField(tif, TIFFTAG_CLEANFAXDATA, uint16_t{CLEANFAXDATA_CLEAN});
        TIFFSetField(tif, TIFFTAG_CONSECUTIVEBADFAXLINES, uint32_t{0});
    } else if (compression == COMPRESSION_CCITTFAX3) {
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                     options.compression == Compression::G3TwoD ? uint32_t{GROUP3OPT_2DENCODING} : uint32_t{0});
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (page.xDpi > 0 && page.yDpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, page.xDpi);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, page.yDpi);
    }
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, options.number, options.total);
    for (const auto& text : options.text)
        TIFFSetField(tif, text.tag, text.value.c_str());

    if (coded) {
        if (TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(coded->data.data()), static_cast<tmsize_t>(coded->data.size()))
                < 0
            || !TIFFWriteDirectory(tif) || state_->sink.failed)
            return state_->ok = false;
        ++state_->written;
        return true;
    }
    if (compression == COMPRESSION_CCITTRLE) {
        // Coded apart and padded, so that libtiff reads its own rows back (see kMhPadding).
        std::vector<uint8_t> rows = mhRowsOf(page);
        if (rows.empty())
            return state_->ok = false;
        rows.resize(rows.size() + kMhPadding, 0);
        if (TIFFWriteRawStrip(tif, 0, rows.data(), static_cast<tmsize_t>(rows.size())) < 0 || !TIFFWriteDirectory(tif)
            || state_->sink.failed)
            return state_->ok = false;
        ++state_->written;
        return true;
    }
    if (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) {
        // One strip, coded from the page's own rows: the fax encoders only read them. The coded
        // bytes go to the file kFaxChunk at a time; left to itself, libtiff would take room for
        // the whole page and more anew for every page.
        if (!TIFFWriteBufferSetup(tif, nullptr, kFaxChunk)
            || TIFFWriteEncodedStrip(tif, 0, const_cast<uint8_t*>(page.row(0)),
                                     static_cast<tmsize_t>(stride * page.height))
                   < 0)
            return state_->ok = false;
    } else {
        // Strip by strip. libtiff may encode in place, and the page may be shared: strips go through a copy.
        std::vector<uint8_t> strip(stride * rowsPerStrip);
        for (uint32_t first = 0, index = 0; first < page.height; first += rowsPerStrip, ++index) {
            const size_t bytes = stride * std::min(rowsPerStrip, page.height - first);
            std::memcpy(strip.data(), page.row(first), bytes);
            if (TIFFWriteEncodedStrip(tif, index, strip.data(), static_cast<tmsize_t>(bytes)) < 0)
                return state_->ok = false;
        }
    }
    if (!TIFFWriteDirectory(tif) || state_->sink.failed)
        return state_->ok = false;
    ++state_->written;
    return true;
}

bool TiffWriter::finish()
{
    if (state_->tif) {
        state_->tif.reset();
        if (state_->sink.failed)
            state_->ok = false;
        if (!state_->ok)
            rollBack();
        else if (state_->appending)
            rememberChainEnd(state_->fd, state_->end, state_->written);
    }
    return state_->ok;
}

void TiffWriter::rollBack()
{
    if (!state_->appending || state_->tif)
        return;
    // The earlier last directory points nowhere again and whatever came after it is cut off.
    const unsigned char zero[8] = {};
    const ssize_t n = ::pwrite(state_->fd, zero, state_->end.pointerBytes, static_cast<off_t>(state_->end.pointerAt));
    const int cut = ::ftruncate(state_->fd, static_cast<off_t>(state_->end.fileSize));
    (void)n;
    (void)cut;
    KnownEnds::instance().forget(state_->fd);
    state_->appending = false;
}

// ---- Whole files ----

namespace {

enum class Append { Done, Failed, NoFile };

// Pages after those of an existing TIFF, in place. NoFile when there is nothing to append to (no
// file, or an empty one).
Append appendTo(const std::string& path, const std::vector<const Page*>& pages, PageOptions options,
                const std::vector<const CodedStrip*>& coded)
{
    FileDescriptor file(openRegularFile(path, O_RDWR));
    if (file.get() < 0)
        return errno == ENOENT ? Append::NoFile : Append::Failed;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0)
        return Append::Failed;
    if (st.st_size == 0)
        return Append::NoFile;
    Status status;
    const auto writer = TiffWriter::append(file.get(), path, status);
    if (!writer)
        return Append::Failed;
    const auto total = static_cast<uint16_t>(std::min<size_t>(kMaxPages, writer->pagesBefore() + pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
        options.number = static_cast<uint16_t>(writer->pagesBefore() + i);
        options.total = total;
        if (!writer->write(*pages[i], options, i < coded.size() ? coded[i] : nullptr))
            return Append::Failed;
    }
    return writer->finish() ? Append::Done : Append::Failed;
}

} // namespace

bool saveTiffPages(const std::string& path, const std::vector<const Page*>& pages, PageOptions options, bool append,
                   bool overwrite, const std::vector<const CodedStrip*>& coded)
{
    if (pages.empty() || pages.size() > kMaxPages)
        return false;
    if (append) {
        const Append appended = appendTo(path, pages, options, coded);
        if (appended != Append::NoFile)
            return appended == Append::Done;
        overwrite = true; // an empty file holds no page to keep
    } else if (!overwrite && somethingAt(path)) {
        return false; // fails early; the rename below checks again
    }
    FileBeside file = FileBeside::create(path);
    if (!file.valid())
        return false;
    const auto writer = TiffWriter::create(file.fd(), path);
    if (!writer)
        return false;
    for (size_t i = 0; i < pages.size(); ++i) {
        options.number = static_cast<uint16_t>(i);
        options.total = static_cast<uint16_t>(pages.size());
        if (!writer->write(*pages[i], options, i < coded.size() ? coded[i] : nullptr))
            return false;
    }
    return writer->finish() && file.commit(overwrite);
}

std::vector<uint8_t> encodeMhRows(const Page& page) { return mhRowsOf(page); }

namespace {

// A reader of a memory file just written, from its start (the file stays open for the caller).
std::unique_ptr<TiffReader> readerFromStart(const FileDescriptor& file, const char* name)
{
    // libtiff reads the header from where the descriptor stands.
    const int own = ::lseek(file.get(), 0, SEEK_SET) == 0 ? ::dup(file.get()) : -1;
    if (own < 0)
        return nullptr;
    Status status;
    return TiffReader::open(own, name, status);
}

} // namespace

Status decodeMhRows(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Page& page)
{
    if (!fitsLimits(PixelKind::Bilevel, width, height))
        return Status::TooLarge;
    // Every row takes at least one byte: fewer bytes cannot hold the rows.
    if (!data || size < height)
        return Status::Corrupt;
    FileDescriptor file(memoryFile());
    if (file.get() < 0)
        return Status::WriteFailed;
    {
        ErrorSink sink;
        const int own = ::dup(file.get());
        if (own < 0)
            return Status::WriteFailed;
        const TiffPtr tif = openTiff(own, "rows", "w", sink);
        if (!tif)
            return Status::WriteFailed;
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, height);
        std::vector<uint8_t> padded(data, data + size);
        padded.resize(size + kMhPadding, 0);
        if (TIFFWriteRawStrip(tif.get(), 0, padded.data(), static_cast<tmsize_t>(padded.size())) < 0
            || !TIFFWriteDirectory(tif.get()) || sink.failed)
            return Status::WriteFailed;
    }
    const auto reader = readerFromStart(file, "rows");
    return reader ? reader->read(page) : Status::Corrupt;
}

Status decodeCoded(const Page& header, const CodedStrip& coded, Page& page)
{
    if (!fitsLimits(PixelKind::Bilevel, header.width, header.height))
        return Status::TooLarge;
    FileDescriptor file(memoryFile());
    if (file.get() < 0)
        return Status::WriteFailed;
    {
        const auto writer = TiffWriter::create(file.get(), "coded");
        PageOptions options;
        options.compression = coded.compression;
        if (!writer || !writer->write(header, options, &coded) || !writer->finish())
            return Status::WriteFailed;
    }
    const auto reader = readerFromStart(file, "coded");
    return reader ? reader->read(page) : Status::Corrupt;
}

bool encodeCoded(const Page& page, Compression compression, CodedStrip& coded)
{
    if (page.kind != PixelKind::Bilevel
        || (compression != Compression::G4 && compression != Compression::G3OneD
            && compression != Compression::G3TwoD && compression != Compression::ClassF))
        return false;
    FileDescriptor file(memoryFile());
    if (file.get() < 0)
        return false;
    {
        const auto writer = TiffWriter::create(file.get(), "coded");
        PageOptions options;
        options.compression = compression;
        if (!writer || !writer->write(page, options) || !writer->finish())
            return false;
    }
    const auto reader = readerFromStart(file, "coded");
    Page header;
    return reader && reader->readCoded(header, coded) && coded.compression == compression;
}

// ---- Transforms ----

Page threshold(const Page& rgb, unsigned level)
{
    Page out = blankPage(PixelKind::Bilevel, rgb.width, rgb.height);
    out.xDpi = rgb.xDpi;
    out.yDpi = rgb.yDpi;
    for (uint32_t y = 0; y < rgb.height; ++y) {
        const uint8_t* in = rgb.row(y);
        uint8_t* row = out.row(y);
        for (uint32_t x = 0; x < rgb.width; ++x, in += 3)
            if (299u * in[0] + 587u * in[1] + 114u * in[2] < level * 1000u)
                setBlack(row, x);
    }
    return out;
}

Page expandToRgb(const Page& bilevel)
{
    Page out = blankPage(PixelKind::Rgb, bilevel.width, bilevel.height);
    out.xDpi = bilevel.xDpi;
    out.yDpi = bilevel.yDpi;
    for (uint32_t y = 0; y < bilevel.height; ++y) {
        const uint8_t* in = bilevel.row(y);
        uint8_t* row = out.row(y);
        for (uint32_t x = 0; x < bilevel.width; ++x)
            if (bitAt(in, x))
                std::memset(row + size_t{x} * 3, 0, 3);
    }
    return out;
}

namespace {

// Where each target pixel of a row takes its source pixels from, as bit masks over 64 source
// pixels read from the byte-aligned start of the target byte's span. Reduced: a target pixel is
// black when any source pixel in [edge[x], edge[x + 1]) is; enlarged: it repeats the source pixel
// whose centre lies nearest.
class ColumnMap {
public:
    ColumnMap(uint32_t sourceWidth, uint32_t width)
        : width_(width), narrower_(width < sourceWidth), halved_(sourceWidth == 2 * uint64_t{width})
    {
        const uint64_t sw = sourceWidth;
        edge_.resize(size_t{width} + 1);
        for (uint64_t x = 0; x <= width; ++x)
            edge_[x] = static_cast<uint32_t>(narrower_ ? x * sw / width
                                                       : std::min<uint64_t>(sw - 1, (2 * x + 1) * sw / (2 * width)));
        const size_t bytes = (size_t{width} + 7) / 8;
        base_.resize(bytes);
        masks_.assign(bytes * 8, 0);
        for (size_t byte = 0; byte < bytes && windowed_; ++byte) {
            const uint32_t first = static_cast<uint32_t>(byte * 8);
            const uint32_t last = std::min<uint32_t>(width, first + 8); // target pixels [first, last)
            base_[byte] = edge_[first] / 8;
            const uint32_t origin = base_[byte] * 8;
            for (uint32_t x = first; x < last; ++x) {
                const uint32_t from = edge_[x], to = narrower_ ? edge_[x + 1] : edge_[x] + 1;
                if (to - origin > 64) {
                    windowed_ = false; // a span too wide for one window: pixel by pixel instead
                    break;
                }
                uint64_t mask = 0;
                for (uint32_t s = from; s < to; ++s)
                    mask |= uint64_t{1} << (63 - (s - origin));
                masks_[byte * 8 + (x - first)] = mask;
            }
        }
    }

    // Builds a target row from a source row that has at least 8 readable bytes past its end.
    void apply(const uint8_t* source, uint8_t* row) const
    {
        const size_t bytes = base_.size();
        if (halved_) {
            // Half the width (400 to 200 dpi): each target byte from two source bytes, by table.
            static const auto pairs = [] {
                std::array<uint8_t, 256> table{};
                for (unsigned v = 0; v < 256; ++v)
                    for (unsigned pair = 0; pair < 4; ++pair)
                        if ((v >> (6 - 2 * pair)) & 3)
                            table[v] = static_cast<uint8_t>(table[v] | (8u >> pair));
                return table;
            }();
            for (size_t byte = 0; byte < bytes; ++byte)
                row[byte] = static_cast<uint8_t>(pairs[source[2 * byte]] << 4 | pairs[source[2 * byte + 1]]);
            return;
        }
        if (!windowed_) {
            for (uint32_t x = 0; x < width_; ++x)
                if (narrower_ ? anyBlack(source, edge_[x], edge_[x + 1]) : bitAt(source, edge_[x]))
                    setBlack(row, x);
            return;
        }
        for (size_t byte = 0; byte < bytes; ++byte) {
            uint64_t window;
            std::memcpy(&window, source + base_[byte], 8);
            if (window == 0)
                continue; // fax pages are mostly white
            window = __builtin_bswap64(window);
            const uint64_t* mask = &masks_[byte * 8];
            unsigned value = 0;
            for (unsigned bit = 0; bit < 8; ++bit)
                value |= unsigned{(window & mask[bit]) != 0} << (7 - bit);
            row[byte] = static_cast<uint8_t>(value);
        }
    }

private:
    uint32_t width_;
    bool narrower_;
    bool halved_;
    bool windowed_ = true;
    std::vector<uint32_t> edge_;
    std::vector<uint32_t> base_;  // per target byte: the first source byte of its window
    std::vector<uint64_t> masks_; // per target pixel
};

} // namespace

Page scaleBilevel(const Page& page, uint32_t width, uint32_t height, uint32_t lineWidth)
{
    // Rows are made from the left; what lies past width stays white.
    Page out = blankPage(PixelKind::Bilevel, std::max(width, lineWidth), height);
    out.xDpi = page.xDpi * width / page.width;
    out.yDpi = page.yDpi * height / page.height;
    const uint64_t sw = page.width, sh = page.height;
    const bool lower = height < sh;
    const size_t stride = page.stride();
    const auto columns = width == sw ? nullptr : std::make_unique<ColumnMap>(page.width, width);
    // A source row, or several merged, with room for the last window to read past the row's end.
    std::vector<uint8_t> merged(stride + 8, 0);
    int64_t made = -1; // the source row (or the first of the merged rows) of the last target row
    for (uint64_t y = 0; y < height; ++y) {
        uint8_t* row = out.row(static_cast<uint32_t>(y));
        uint32_t first, last;
        if (lower) {
            first = static_cast<uint32_t>(y * sh / height);
            last = static_cast<uint32_t>((y + 1) * sh / height);
        } else {
            first = static_cast<uint32_t>((2 * y + 1) * sh / (2 * height));
            last = first + 1;
        }
        if (y > 0 && static_cast<int64_t>(first) == made && last - first == 1) {
            std::memcpy(row, out.row(static_cast<uint32_t>(y - 1)), out.stride()); // a repeated row
            continue;
        }
        made = first;
        if (!columns && last - first == 1) {
            std::memcpy(row, page.row(first), stride); // a kept row
            continue;
        }
        std::memcpy(merged.data(), page.row(first), stride);
        for (uint32_t r = first + 1; r < last; ++r) {
            const uint8_t* more = page.row(r);
            for (size_t i = 0; i < stride; ++i)
                merged[i] |= more[i];
        }
        if (columns)
            columns->apply(merged.data(), row);
        else
            std::memcpy(row, merged.data(), stride);
    }
    return out;
}

Page turnLeft(const Page& page)
{
    Page out = blankPage(PixelKind::Bilevel, page.height, page.width);
    out.xDpi = page.yDpi;
    out.yDpi = page.xDpi;
    const size_t stride = page.stride();
    for (uint32_t y = 0; y < page.height; ++y) {
        const uint8_t* row = page.row(y);
        for (size_t byte = 0; byte < stride; ++byte) {
            if (!row[byte])
                continue; // fax pages are mostly white
            for (uint32_t x = static_cast<uint32_t>(byte * 8); x < std::min<uint64_t>(page.width, byte * 8 + 8); ++x)
                if (bitAt(row, x))
                    setBlack(out.row(page.width - 1 - x), y);
        }
    }
    return out;
}

Page padRight(const Page& page, uint32_t width)
{
    Page out = blankPage(PixelKind::Bilevel, std::max(width, page.width), page.height);
    out.xDpi = page.xDpi;
    out.yDpi = page.yDpi;
    // Bits past the old width are 0 already, so whole rows are copied.
    for (uint32_t y = 0; y < page.height; ++y)
        std::memcpy(out.row(y), page.row(y), page.stride());
    return out;
}

} // namespace qelta::imaging
