// The fax conversion library: pages of any TIFF become fax pages of one paper width, and fax files
// grow page by page without their earlier pages being written again.
#include "imaging/sendconvlib.h"

#include "imaging/file_beside.h"
#include "imaging/tiff_pages.h"
#include "platform/com.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string_view>

namespace {

using namespace qelta::imaging;

constexpr unsigned long kMaxDpi = 1200;

struct Paper {
    const char* name;
    uint32_t lineWidth; // fax line at 200 dpi
    bool rotated;
};

constexpr Paper kPapers[] = {
    {"A3", 2432, false},    {"B4", 2048, false},     {"A4R", 1728, true},  {"A4", 1728, false},
    {"B5", 1728, false},    {"B5R", 1728, true},     {"A5", 1728, false},  {"A5R", 1728, true},
    {"85x11", 1728, false}, {"85x11R", 1728, true},  {"85x14", 1728, false}, {"11x17", 2432, false},
    {"55x85", 1728, false}, {"85x13", 1728, false},  {"8K", 2432, false},  {"16K", 1728, false},
    {"16KR", 1728, true},
};

struct FaxCompression {
    const char* name;
    Compression compression;
};

constexpr FaxCompression kCompressions[] = {
    {"MMR", Compression::G4}, {"MH", Compression::G3OneD}, {"MR", Compression::G3TwoD}};

template <typename Entry, size_t N>
const Entry* lookUp(const Entry (&table)[N], const char* name)
{
    if (!name)
        return nullptr;
    for (const auto& entry : table)
        if (platform::equalsNoCase(name, entry.name))
            return &entry;
    return nullptr;
}

bool empty(const char* path) { return !path || !*path; }

// Leaves a message in the caller's work area and hands the code on.
__attribute__((format(printf, 3, 4))) int fail(char* work, int code, const char* format, ...)
{
    if (work) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(work, SENDCONV_WORK_AREA, format, args);
        va_end(args);
    }
    return code;
}

const char* why(Status status)
{
    switch (status) {
    case Status::NotFound:
        return "missing or unreadable";
    case Status::TooLarge:
        return "too large";
    case Status::NoPage:
        return "page missing";
    default:
        return "corrupt";
    }
}

// What becomes of a page of this size and resolution on the paper at xres x yres: turned first when
// the paper is rotated and the page landscape, then scaled to width x height, then padded to the line.
struct FaxPlan {
    bool turn = false;
    uint32_t width = 0, height = 0, lineWidth = 0;
};

Status planFaxPage(uint32_t pageWidth, uint32_t pageHeight, double xDpi, double yDpi, const Paper& paper,
                   unsigned long xres, unsigned long yres, FaxPlan& plan)
{
    plan.turn = paper.rotated && pageWidth > pageHeight;
    if (plan.turn) {
        std::swap(pageWidth, pageHeight);
        std::swap(xDpi, yDpi);
    }
    plan.lineWidth = static_cast<uint32_t>((uint64_t{paper.lineWidth} * xres + 100) / 200);
    // Within half a dot the page has the requested resolution already; none given counts as that too.
    auto from = [](double dpi, unsigned long wanted) {
        return dpi <= 0 || std::fabs(dpi - static_cast<double>(wanted)) < 0.5 ? static_cast<double>(wanted) : dpi;
    };
    double width = pageWidth * (static_cast<double>(xres) / from(xDpi, xres));
    double height = pageHeight * (static_cast<double>(yres) / from(yDpi, yres));
    if (width > plan.lineWidth) {
        height = height * plan.lineWidth / width; // down to the line, keeping the aspect
        width = plan.lineWidth;
    }
    if (!(height < kMaxSide + 0.5) || !(width >= 0))
        return Status::TooLarge;
    plan.width = static_cast<uint32_t>(std::clamp<long>(std::lround(width), 1, plan.lineWidth));
    plan.height = static_cast<uint32_t>(std::max<long>(std::lround(height), 1));
    if (!fitsLimits(PixelKind::Bilevel, plan.lineWidth, plan.height))
        return Status::TooLarge;
    return Status::Ok;
}

// True when the plan leaves a page of this size as it is.
bool unchanged(const FaxPlan& plan, uint32_t width, uint32_t height)
{
    return !plan.turn && plan.width == width && plan.height == height && plan.lineWidth == width;
}

// Makes page a fax page of the paper at xres x yres.
Status toFaxPage(Page& page, const Paper& paper, unsigned long xres, unsigned long yres)
{
    if (page.kind == PixelKind::Rgb)
        page = threshold(page);
    FaxPlan plan;
    if (const Status status = planFaxPage(page.width, page.height, page.xDpi, page.yDpi, paper, xres, yres, plan);
        status != Status::Ok)
        return status;
    if (plan.turn)
        page = turnLeft(page);
    // Scaled straight onto the line: no second page for the white on the right.
    if (plan.width != page.width || plan.height != page.height)
        page = scaleBilevel(page, plan.width, plan.height, plan.lineWidth);
    else if (plan.width < plan.lineWidth)
        page = padRight(page, plan.lineWidth);
    page.xDpi = static_cast<double>(xres);
    page.yDpi = static_cast<double>(yres);
    return Status::Ok;
}

// Reads the current page of reader as a fax page of the paper. A page that stays as it is and is
// coded as wanted already is taken coded (coded then holds it): it is neither decoded nor coded again.
Status readFaxPage(TiffReader& reader, const Paper& paper, unsigned long xres, unsigned long yres,
                   Compression wanted, Page& page, CodedStrip& coded)
{
    FaxPlan plan;
    if (reader.readCoded(page, coded) && coded.compression == wanted
        && planFaxPage(page.width, page.height, page.xDpi, page.yDpi, paper, xres, yres, plan) == Status::Ok
        && unchanged(plan, page.width, page.height)) {
        page.xDpi = static_cast<double>(xres);
        page.yDpi = static_cast<double>(yres);
        return Status::Ok;
    }
    coded.data.clear();
    if (const Status status = reader.read(page); status != Status::Ok)
        return status;
    return toFaxPage(page, paper, xres, yres);
}

int convert(const char* src, const char* dst, const char* paperName, const char* compressionName,
            unsigned long xres, unsigned long yres, char* work)
{
    if (empty(src) || empty(dst))
        return fail(work, SENDCONV_E_ARGUMENT, "no source or destination file given");
    const Paper* paper = lookUp(kPapers, paperName);
    if (!paper)
        return fail(work, SENDCONV_E_ARGUMENT, "unknown paper \"%.40s\"", paperName ? paperName : "");
    const FaxCompression* compression = lookUp(kCompressions, compressionName);
    if (!compression)
        return fail(work, SENDCONV_E_ARGUMENT, "unknown compression \"%.40s\"",
                    compressionName ? compressionName : "");
    if (xres < 1 || xres > kMaxDpi || yres < 1 || yres > kMaxDpi)
        return fail(work, SENDCONV_E_ARGUMENT, "resolution %lux%lu out of range", xres, yres);

    Status status;
    const auto reader = TiffReader::open(src, status);
    if (!reader)
        return fail(work, SENDCONV_E_SOURCE, "%.200s: %s", src, why(status));
    const uint32_t pages = reader->pageCount();
    if (pages == 0 || pages > kMaxPages)
        return fail(work, SENDCONV_E_SOURCE, "%.200s: %u pages", src, pages);

    FileBeside file = FileBeside::create(dst);
    if (!file.valid())
        return fail(work, SENDCONV_E_WRITE, "cannot write beside %.200s: %s", dst, std::strerror(errno));
    const auto writer = TiffWriter::create(file.fd(), dst);
    if (!writer)
        return fail(work, SENDCONV_E_WRITE, "cannot write %.200s", dst);

    PageOptions options;
    options.compression = compression->compression;
    options.total = static_cast<uint16_t>(pages);
    Page page;
    CodedStrip coded;
    for (uint32_t index = 0; index < pages; ++index) {
        status = index == 0 ? Status::Ok : reader->next();
        if (status == Status::Ok)
            status = readFaxPage(*reader, *paper, xres, yres, compression->compression, page, coded);
        if (status != Status::Ok)
            return fail(work, SENDCONV_E_SOURCE, "%.160s: page %u %s %.60s", src, index + 1, why(status),
                        reader->message().c_str());
        options.number = static_cast<uint16_t>(index);
        if (!writer->write(page, options, coded.data.empty() ? nullptr : &coded))
            return fail(work, SENDCONV_E_WRITE, "cannot write page %u to %.200s", index + 1, dst);
    }
    if (!writer->finish() || !file.commit(true))
        return fail(work, SENDCONV_E_WRITE, "cannot write %.200s: %s", dst, std::strerror(errno));
    if (work)
        work[0] = '\0';
    return SENDCONV_OK;
}

// Appends the pages of reader to the TIFF open as fd; SENDCONV_OK or a code.
int appendPages(TiffReader& reader, uint32_t pages, int fd, const char* name, std::unique_ptr<TiffWriter>& writer)
{
    Status status;
    writer = TiffWriter::append(fd, name, status);
    if (!writer)
        return status == Status::WriteFailed ? SENDCONV_E_WRITE : SENDCONV_E_SOURCE;
    PageOptions options;
    options.total = static_cast<uint16_t>(std::min<uint32_t>(writer->pagesBefore() + pages, kMaxPages));
    Page page;
    CodedStrip coded;
    for (uint32_t index = 0; index < pages; ++index) {
        status = index == 0 ? Status::Ok : reader.next();
        // Fax pages are joined as they are coded; others are decoded and coded as they were stored.
        const bool asCoded = status == Status::Ok && reader.readCoded(page, coded);
        if (status == Status::Ok && !asCoded)
            status = reader.read(page);
        if (status != Status::Ok) {
            writer->discard();
            return SENDCONV_E_SOURCE;
        }
        options.compression = asCoded ? coded.compression : reader.storedCompression();
        options.number = static_cast<uint16_t>(writer->pagesBefore() + index);
        if (!writer->write(page, options, asCoded ? &coded : nullptr)) {
            writer->discard();
            return SENDCONV_E_WRITE;
        }
    }
    return writer->finish() ? SENDCONV_OK : SENDCONV_E_WRITE;
}

int combine(const char* pageFile, const char* previous, const char* output)
{
    if (empty(pageFile) || empty(previous) || empty(output))
        return SENDCONV_E_ARGUMENT;
    Status status;
    const auto reader = TiffReader::open(pageFile, status);
    if (!reader)
        return SENDCONV_E_SOURCE;
    // Counted before anything is appended: page may be previous itself.
    const uint32_t pages = reader->pageCount();
    if (pages == 0 || pages > kMaxPages)
        return SENDCONV_E_SOURCE;

    if (sameFile(previous, output)) {
        const FileDescriptor file(openRegularFile(output, O_RDWR));
        if (file.get() < 0)
            return SENDCONV_E_SOURCE;
        std::unique_ptr<TiffWriter> writer;
        return appendPages(*reader, pages, file.get(), output, writer);
    }

    if (const FileDescriptor check(openRegularFile(previous, O_RDONLY)); check.get() < 0)
        return SENDCONV_E_SOURCE;
    // A second name of previous beside output (or a copy of it), grown there and renamed into place.
    FileBeside file = FileBeside::linkOrCopy(previous, output);
    if (!file.valid())
        return SENDCONV_E_WRITE;
    std::unique_ptr<TiffWriter> writer; // goes before the file it writes to
    const int result = appendPages(*reader, pages, file.fd(), output, writer);
    if (result != SENDCONV_OK)
        return result;
    if (!file.commit(true)) {
        writer->rollBack(); // previous shares the grown file when linked
        return SENDCONV_E_WRITE;
    }
    return SENDCONV_OK;
}

} // namespace

extern "C" int SENDCONVLIB_Convert(const char* src, const char* dst, const char* paper, const char* compression,
                                   unsigned long xres, unsigned long yres, char* work, int)
{
    // A result no conversion gives marks a conversion stopped by an exception.
    constexpr int kStopped = INT_MIN;
    const int rc = guardedExport(kStopped, [&] { return convert(src, dst, paper, compression, xres, yres, work); });
    return rc == kStopped ? fail(work, SENDCONV_E_INTERNAL, "internal error") : rc;
}

extern "C" int SENDCONVLIB_Combine(const char* page, const char* previous, const char* output)
{
    return guardedExport(static_cast<int>(SENDCONV_E_INTERNAL), [&] { return combine(page, previous, output); });
}

extern "C" int SENDCONVLIB_Send(const char*, const char*) { return SENDCONV_E_UNSUPPORTED; }
