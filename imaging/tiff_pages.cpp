#include "imaging/tiff_pages.h"

#include "imaging/file_beside.h"

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/file.h>
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
TiffPtr openTiff(int fd, const std::string& name, const char* mode, ErrorSink& sink)
{
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) {
        ::close(fd);
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onTiffError, &sink);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onTiffWarning, &sink);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
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
};

Status findChainEnd(int fd, ChainEnd& end)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Status::Corrupt;
    end.fileSize = static_cast<uint64_t>(st.st_size);
    unsigned char header[16];
    if (end.fileSize < 8 || !readAt(fd, 0, header, std::min<uint64_t>(16, end.fileSize)))
        return Status::Corrupt;
    const bool bigEndian = header[0] == 'M';
    if (header[0] != header[1] || (header[0] != 'I' && header[0] != 'M'))
        return Status::Corrupt;
    auto value = [bigEndian](const unsigned char* p, unsigned bytes) {
        uint64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i)
            v = (v << 8) | p[bigEndian ? i : bytes - 1 - i];
        return v;
    };
    const uint64_t version = value(header + 2, 2);
    unsigned countBytes = 2, entryBytes = 12;
    if (version == 42) {
        end.pointerBytes = 4;
        end.pointerAt = 4;
    } else if (version == 43 && end.fileSize >= 16 && value(header + 4, 2) == 8 && value(header + 6, 2) == 0) {
        end.pointerBytes = 8;
        end.pointerAt = 8;
        countBytes = 8;
        entryBytes = 20;
    } else {
        return Status::Corrupt;
    }
    uint64_t offset = value(header + end.pointerAt, end.pointerBytes);
    std::unordered_set<uint64_t> seen;
    unsigned char field[8];
    while (offset != 0) {
        if (end.pages >= kMaxPages)
            return Status::TooLarge;
        if (!seen.insert(offset).second || offset > end.fileSize - countBytes - end.pointerBytes
            || !readAt(fd, offset, field, countBytes))
            return Status::Corrupt;
        const uint64_t entries = value(field, countBytes);
        if (entries > (end.fileSize - offset - countBytes - end.pointerBytes) / entryBytes)
            return Status::Corrupt;
        end.pointerAt = offset + countBytes + entries * entryBytes;
        if (!readAt(fd, end.pointerAt, field, end.pointerBytes))
            return Status::Corrupt;
        offset = value(field, end.pointerBytes);
        ++end.pages;
    }
    return Status::Ok;
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
        return bilevel ? COMPRESSION_CCITTFAX3 : COMPRESSION_LZW;
    case Compression::G4:
        break;
    }
    return bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
}

} // namespace

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

Status TiffReader::read(Page& page)
{
    TIFF* tif = state_->tif.get();
    ErrorSink& sink = state_->sink;
    sink.failed = false;
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)
        || width == 0 || height == 0)
        return Status::Corrupt;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, compression = COMPRESSION_NONE, unit = RESUNIT_INCH;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE, orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (!TIFFIsCODECConfigured(compression))
        return Status::Corrupt;

    const bool bilevel = bitsPerSample == 1 && samplesPerPixel == 1
                         && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    const bool direct = bilevel && !TIFFIsTiled(tif) && orientation == ORIENTATION_TOPLEFT;
    if (!fitsLimits(direct ? PixelKind::Bilevel : PixelKind::Rgb, width, height))
        return Status::TooLarge;

    Page read;
    read.kind = direct ? PixelKind::Bilevel : PixelKind::Rgb;
    read.width = width;
    read.height = height;
    float x = 0, y = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x))
        read.xDpi = dotsPerInch(x, unit);
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
        read.yDpi = dotsPerInch(y, unit);

    sink.warnings = 0;
    const Status status = direct ? readBilevelStrips(tif, read, photometric) : readThroughRgba(tif, read, sink);
    if (status != Status::Ok)
        return status;
    if (sink.failed || sink.warnings > 0)
        return Status::Corrupt;
    // Tiled or turned bilevel pages came through RGBA: back to one bit, exactly.
    page = bilevel && !direct ? threshold(read) : std::move(read);
    return Status::Ok;
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
    case COMPRESSION_CCITTFAX3: {
        uint32_t options = 0;
        TIFFGetField(state_->tif.get(), TIFFTAG_GROUP3OPTIONS, &options);
        return options & GROUP3OPT_2DENCODING ? Compression::G3TwoD : Compression::G3OneD;
    }
    default:
        return Compression::G4; // LZW for colour pages
    }
}

const std::string& TiffReader::message() const { return state_->sink.message; }

// ---- Writing ----

struct TiffWriter::State {
    ErrorSink sink;
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
    state->tif = openTiff(own, name, "a", state->sink);
    if (!state->tif || state->sink.failed) {
        status = Status::Corrupt;
        return nullptr;
    }
    return std::unique_ptr<TiffWriter>(new TiffWriter(std::move(state)));
}

uint32_t TiffWriter::pagesBefore() const { return state_->end.pages; }

bool TiffWriter::write(const Page& page, const PageOptions& options)
{
    TIFF* tif = state_->tif.get();
    if (!tif || !state_->ok)
        return false;
    if (state_->end.pages + state_->written >= kMaxPages || !fitsLimits(page.kind, page.width, page.height)
        || page.pixels.size() != page.stride() * page.height)
        return state_->ok = false;
    const bool bilevel = page.kind == PixelKind::Bilevel;
    const uint16_t compression = tiffCompression(options.compression, bilevel);
    const size_t stride = page.stride();
    const uint32_t rowsPerStrip = compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4
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
    if (compression == COMPRESSION_CCITTFAX3)
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                     options.compression == Compression::G3TwoD ? uint32_t{GROUP3OPT_2DENCODING} : uint32_t{0});
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (page.xDpi > 0 && page.yDpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, page.xDpi);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, page.yDpi);
    }
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, options.number, options.total);
    for (const auto& text : options.text)
        TIFFSetField(tif, text.tag, text.value.c_str());

    // libtiff may encode in place, and the page may be shared: rows go through a copy.
    std::vector<uint8_t> row(stride);
    for (uint32_t y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), page.row(y), stride);
        if (TIFFWriteScanline(tif, row.data(), y, 0) != 1)
            return state_->ok = false;
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
    state_->appending = false;
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

Page scaleBilevel(const Page& page, uint32_t width, uint32_t height)
{
    Page out = blankPage(PixelKind::Bilevel, width, height);
    out.xDpi = page.xDpi * width / page.width;
    out.yDpi = page.yDpi * height / page.height;
    const uint64_t sw = page.width, sh = page.height;
    const bool narrower = width < sw, lower = height < sh;
    // Reduced: each target pixel covers the source pixels [edge[x], edge[x + 1]).
    // Enlarged: each repeats the source pixel whose centre lies nearest.
    std::vector<uint32_t> edge(size_t{width} + 1);
    for (uint64_t x = 0; x <= width; ++x)
        edge[x] = static_cast<uint32_t>(narrower ? x * sw / width : std::min<uint64_t>(sw - 1, (2 * x + 1) * sw / (2 * width)));
    std::vector<uint8_t> merged(page.stride());
    for (uint64_t y = 0; y < height; ++y) {
        const uint8_t* source;
        if (lower) {
            const auto first = static_cast<uint32_t>(y * sh / height), last = static_cast<uint32_t>((y + 1) * sh / height);
            if (last - first == 1) {
                source = page.row(first);
            } else {
                std::memcpy(merged.data(), page.row(first), merged.size());
                for (uint32_t r = first + 1; r < last; ++r) {
                    const uint8_t* more = page.row(r);
                    for (size_t i = 0; i < merged.size(); ++i)
                        merged[i] |= more[i];
                }
                source = merged.data();
            }
        } else {
            source = page.row(static_cast<uint32_t>((2 * y + 1) * sh / (2 * height)));
        }
        uint8_t* row = out.row(static_cast<uint32_t>(y));
        if (width == sw) {
            std::memcpy(row, source, out.stride());
            continue;
        }
        for (uint32_t x = 0; x < width; ++x)
            if (narrower ? anyBlack(source, edge[x], edge[x + 1]) : bitAt(source, edge[x]))
                setBlack(row, x);
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
