#include "imaging/page_formats.h"

#include "imaging/file_beside.h"
#include "imaging/little_endian.h"
#include "imaging/pagefilelib.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qelta::imaging::pagefile {

namespace {

constexpr uint8_t kFaxMagic[4] = {'Q', 'F', 'A', 'X'};
constexpr size_t kFaxHeader = 12, kFaxPageHeader = 20;
constexpr size_t kPcxHeader = 128;
constexpr uint32_t kDcxMagic = 0x3ade68b1;

uint16_t dpiField(double dpi) { return dpi > 0 && dpi < 65536 ? static_cast<uint16_t>(dpi + 0.5) : 0; }

Page bilevelOf(const Page& page) { return page.kind == PixelKind::Bilevel ? page : threshold(page); }

} // namespace

int16_t codeOf(Status status)
{
    switch (status) {
    case Status::Ok:
        return PF_OK;
    case Status::NotFound:
        return PF_ERR_OPEN;
    case Status::Corrupt:
        return PF_ERR_CORRUPT;
    case Status::NoPage:
        return PF_ERR_NO_PAGE;
    case Status::TooLarge:
        return PF_ERR_TOO_LARGE;
    case Status::WriteFailed:
        break;
    }
    return PF_ERR_WRITE;
}

uint16_t compressionCode(Compression compression)
{
    switch (compression) {
    case Compression::None:
        return PF_COMPRESSION_NONE;
    case Compression::Mh:
        return PF_COMPRESSION_MH;
    case Compression::G3OneD:
        return PF_COMPRESSION_G3_MH;
    case Compression::G3TwoD:
        return PF_COMPRESSION_G3_MR;
    case Compression::G4:
        return PF_COMPRESSION_G4;
    case Compression::ClassF:
        return PF_COMPRESSION_CLASS_F;
    case Compression::PackBits:
        return PF_COMPRESSION_PACKBITS;
    case Compression::Lzw:
        break;
    }
    return 0;
}

bool compressionOfCode(int32_t code, Compression& compression)
{
    static constexpr Compression kWritable[] = {Compression::None, Compression::Mh, Compression::G3OneD,
                                                Compression::G3TwoD, Compression::ClassF, Compression::PackBits};
    for (const Compression c : kWritable)
        if (compressionCode(c) == code) {
            compression = c;
            return true;
        }
    return false;
}

int detectType(const uint8_t* head, size_t size)
{
    if (size >= 2 && head[0] == 'B' && head[1] == 'M')
        return PF_TYPE_BMP;
    if (size >= 4
        && ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0)
            || (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43))))
        return PF_TYPE_TIFF;
    if (size >= 4 && std::memcmp(head, kFaxMagic, 4) == 0)
        return PF_TYPE_FAX;
    if (size >= 4 && le32(head) == kDcxMagic)
        return PF_TYPE_NONE; // DCX: no type of this library
    PcxInfo pcx;
    if (size >= kPcxHeader && readPcxHeader(head, kPcxHeader, pcx) == PF_OK)
        return PF_TYPE_PCX;
    return PF_TYPE_NONE;
}

int detectFileType(const std::string& path)
{
    FileDescriptor file(openRegularFile(path, O_RDONLY));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0)
        return PF_ERR_OPEN;
    uint8_t head[kPcxHeader];
    const size_t size = static_cast<size_t>(std::min<off_t>(st.st_size, sizeof head));
    if (size > 0 && !readAt(file.get(), 0, head, size))
        return PF_ERR_OPEN;
    return detectType(head, size);
}

int16_t readWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    FileDescriptor file(openRegularFile(path, O_RDONLY));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0)
        return PF_ERR_OPEN;
    if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes)
        return PF_ERR_TOO_LARGE;
    bytes.resize(static_cast<size_t>(st.st_size));
    if (!bytes.empty() && !readAt(file.get(), 0, bytes.data(), bytes.size()))
        return PF_ERR_CORRUPT; // shrank while read
    return PF_OK;
}

int16_t replaceFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FileBeside file = FileBeside::create(path);
    if (!file.valid())
        return PF_ERR_WRITE;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return PF_ERR_WRITE;
        done += static_cast<size_t>(n);
    }
    return ::fsync(file.fd()) == 0 && file.commit(true) ? PF_OK : PF_ERR_WRITE;
}

// ---- PCX ----

int16_t readPcxHeader(const uint8_t* data, size_t size, PcxInfo& info)
{
    if (size < kPcxHeader || data[0] != 0x0a || data[2] != 1)
        return PF_ERR_CORRUPT;
    info.version = data[1];
    if (info.version != 0 && info.version != 2 && info.version != 3 && info.version != 4 && info.version != 5)
        return PF_ERR_CORRUPT;
    info.bitsPerPixel = data[3];
    info.planes = data[65];
    // Colour planes of one bit (up to 16 colours), packed indexes of 1, 2, 4 or 8 bits, or RGB planes.
    const unsigned bits = info.bitsPerPixel, planes = info.planes;
    const bool known = (bits == 1 && planes >= 1 && planes <= 4)
                       || ((bits == 2 || bits == 4 || bits == 8) && planes == 1) || (bits == 8 && planes == 3);
    if (!known)
        return PF_ERR_CORRUPT;
    const uint16_t xMin = le16(data + 4), yMin = le16(data + 6), xMax = le16(data + 8), yMax = le16(data + 10);
    if (xMax < xMin || yMax < yMin)
        return PF_ERR_CORRUPT;
    info.width = uint32_t{xMax} - xMin + 1;
    info.height = uint32_t{yMax} - yMin + 1;
    if (le16(data + 66) < (uint64_t{info.width} * bits + 7) / 8)
        return PF_ERR_CORRUPT;
    info.xDpi = le16(data + 12);
    info.yDpi = le16(data + 14);
    return PF_OK;
}

int16_t decodePcx(const uint8_t* data, size_t size, Page& page)
{
    PcxInfo info;
    if (const int16_t code = readPcxHeader(data, size, info))
        return code;
    const bool bilevel = info.bitsPerPixel == 1 && info.planes == 1;
    if (!fitsLimits(bilevel ? PixelKind::Bilevel : PixelKind::Rgb, info.width, info.height))
        return PF_ERR_TOO_LARGE;
    const size_t lineBytes = le16(data + 66);
    const uint64_t total = uint64_t{lineBytes} * info.planes * info.height;
    // The 8-bit palette: 769 bytes at the end of the file, after the pixels.
    size_t end = size;
    const uint8_t* palette = nullptr;
    if (info.bitsPerPixel == 8 && info.planes == 1) {
        if (size < kPcxHeader + 769 || data[size - 769] != 0x0c)
            return PF_ERR_CORRUPT;
        palette = data + size - 768;
        end = size - 769;
    }
    // One coded pair gives at most 63 bytes: fewer coded bytes cannot hold the rows.
    if (total > uint64_t{end - kPcxHeader} * 63)
        return PF_ERR_CORRUPT;
    std::vector<uint8_t> plain(static_cast<size_t>(total));
    size_t in = kPcxHeader, out = 0;
    while (out < plain.size()) {
        if (in >= end)
            return PF_ERR_CORRUPT;
        uint8_t value = data[in++];
        size_t run = 1;
        if ((value & 0xc0) == 0xc0) {
            if (in >= end)
                return PF_ERR_CORRUPT;
            run = value & 0x3f;
            value = data[in++];
        }
        run = std::min(run, plain.size() - out);
        std::memset(plain.data() + out, value, run);
        out += run;
    }
    page = blankPage(bilevel ? PixelKind::Bilevel : PixelKind::Rgb, info.width, info.height);
    page.xDpi = info.xDpi;
    page.yDpi = info.yDpi;
    const size_t rowBytes = lineBytes * info.planes;
    const unsigned depth = info.bitsPerPixel * info.planes;
    for (uint32_t y = 0; y < info.height; ++y) {
        const uint8_t* line = plain.data() + y * rowBytes;
        uint8_t* row = page.row(y);
        if (!bilevel && depth <= 4) {
            // Indexes into the header's 16 colours: a bit from each plane, or packed in one plane.
            const uint8_t* pal = data + 16;
            for (uint32_t x = 0; x < info.width; ++x) {
                unsigned index = 0;
                if (info.planes > 1) {
                    for (unsigned p = 0; p < info.planes; ++p)
                        index |= ((line[p * lineBytes + x / 8] >> (7 - x % 8)) & 1u) << p;
                } else {
                    const size_t bit = size_t{x} * info.bitsPerPixel;
                    index = (line[bit / 8] >> (8 - info.bitsPerPixel - bit % 8)) & ((1u << info.bitsPerPixel) - 1);
                }
                std::memcpy(row + size_t{x} * 3, pal + index * 3, 3);
            }
        } else if (bilevel) {
            // Colour 1 is white unless the header's palette says it is the darker one.
            const uint8_t* pal = data + 16;
            const bool oneIsWhite = (pal[0] + pal[1] + pal[2] == pal[3] + pal[4] + pal[5])
                                    || pal[3] + pal[4] + pal[5] > pal[0] + pal[1] + pal[2];
            for (size_t i = 0; i < page.stride(); ++i)
                row[i] = static_cast<uint8_t>(oneIsWhite ? ~line[i] : line[i]);
        } else if (palette) {
            for (uint32_t x = 0; x < info.width; ++x)
                std::memcpy(row + size_t{x} * 3, palette + size_t{line[x]} * 3, 3);
        } else {
            for (uint32_t x = 0; x < info.width; ++x)
                for (unsigned c = 0; c < 3; ++c)
                    row[size_t{x} * 3 + c] = line[c * lineBytes + x];
        }
    }
    if (bilevel && info.width % 8) {
        const auto mask = static_cast<uint8_t>(0xff00u >> (info.width % 8));
        for (uint32_t y = 0; y < info.height; ++y)
            page.row(y)[page.stride() - 1] &= mask;
    }
    return PF_OK;
}

std::vector<uint8_t> encodePcx(const Page& source)
{
    const Page page = bilevelOf(source);
    std::vector<uint8_t> out(kPcxHeader, 0);
    out[0] = 0x0a;
    out[1] = 5;
    out[2] = 1;
    out[3] = 1;
    auto set16 = [&out](size_t at, uint32_t v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    set16(8, page.width - 1);
    set16(10, page.height - 1);
    set16(12, dpiField(page.xDpi));
    set16(14, dpiField(page.yDpi));
    std::memset(out.data() + 19, 0xff, 3); // colour 0 black, colour 1 white
    out[65] = 1;
    const size_t lineBytes = (page.stride() + 1) & ~size_t{1}; // even, as readers expect
    set16(66, static_cast<uint32_t>(lineBytes));
    out[68] = 1;
    std::vector<uint8_t> line(lineBytes);
    for (uint32_t y = 0; y < page.height; ++y) {
        std::fill(line.begin(), line.end(), 0xff);
        const uint8_t* row = page.row(y);
        for (size_t i = 0; i < page.stride(); ++i)
            line[i] = static_cast<uint8_t>(~row[i]);
        if (page.width % 8) // pixels past the width are white
            line[page.stride() - 1] |= static_cast<uint8_t>(0xffu >> (page.width % 8));
        for (size_t i = 0; i < lineBytes;) {
            size_t run = 1;
            while (i + run < lineBytes && run < 63 && line[i + run] == line[i])
                ++run;
            if (run > 1 || (line[i] & 0xc0) == 0xc0)
                out.push_back(static_cast<uint8_t>(0xc0 | run));
            out.push_back(line[i]);
            i += run;
        }
    }
    return out;
}

// ---- FAX ----

int16_t indexFax(const uint8_t* data, size_t size, std::vector<FaxPage>& pages)
{
    pages.clear();
    if (size < kFaxHeader || std::memcmp(data, kFaxMagic, 4) != 0)
        return PF_ERR_CORRUPT;
    if (le16(data + 4) != kFaxVersion)
        return PF_ERR_TYPE;
    const uint16_t count = le16(data + 6);
    if (count == 0 || count > (size - kFaxHeader) / kFaxPageHeader)
        return PF_ERR_CORRUPT;
    pages.reserve(count);
    uint64_t at = kFaxHeader;
    for (uint16_t i = 0; i < count; ++i) {
        if (size - at < kFaxPageHeader)
            return PF_ERR_CORRUPT;
        const uint8_t* head = data + at;
        FaxPage page;
        page.width = le32(head);
        page.height = le32(head + 4);
        page.xDpi = le16(head + 8);
        page.yDpi = le16(head + 10);
        page.length = le32(head + 12);
        page.offset = at + kFaxPageHeader;
        if (!fitsLimits(PixelKind::Bilevel, page.width, page.height))
            return page.width == 0 || page.height == 0 ? PF_ERR_CORRUPT : PF_ERR_TOO_LARGE;
        // Every row takes at least one byte.
        if (page.length > size - page.offset || page.length < page.height)
            return PF_ERR_CORRUPT;
        at = page.offset + page.length;
        pages.push_back(page);
    }
    return PF_OK;
}

int16_t decodeFaxPage(const uint8_t* data, const FaxPage& entry, Page& page)
{
    const Status status = decodeMhRows(data + entry.offset, entry.length, entry.width, entry.height, page);
    if (status != Status::Ok)
        return status == Status::WriteFailed ? PF_ERR_MEMORY : codeOf(status);
    page.xDpi = entry.xDpi;
    page.yDpi = entry.yDpi;
    return PF_OK;
}

int16_t encodeFax(const uint8_t* from, const std::vector<FaxPage>& kept, const std::vector<const Page*>& pages,
                  std::vector<uint8_t>& out)
{
    const size_t count = kept.size() + pages.size();
    if (count == 0 || count > 65535)
        return PF_ERR_TOO_LARGE;
    out.assign(kFaxMagic, kFaxMagic + 4);
    put16(out, kFaxVersion);
    put16(out, static_cast<uint32_t>(count));
    put32(out, 0);
    auto pageHeader = [&out](uint32_t width, uint32_t height, uint16_t xDpi, uint16_t yDpi, size_t length) {
        put32(out, width);
        put32(out, height);
        put16(out, xDpi);
        put16(out, yDpi);
        put32(out, static_cast<uint32_t>(length));
        put32(out, 0);
    };
    for (const FaxPage& page : kept) {
        pageHeader(page.width, page.height, page.xDpi, page.yDpi, page.length);
        out.insert(out.end(), from + page.offset, from + page.offset + page.length);
    }
    for (const Page* source : pages) {
        const Page page = bilevelOf(*source);
        const std::vector<uint8_t> rows = encodeMhRows(page);
        if (rows.empty() || rows.size() > UINT32_MAX)
            return PF_ERR_WRITE;
        pageHeader(page.width, page.height, dpiField(page.xDpi), dpiField(page.yDpi), rows.size());
        out.insert(out.end(), rows.begin(), rows.end());
    }
    return PF_OK;
}

} // namespace qelta::imaging::pagefile
