// pagefilelib's exported entries: types, page counts, documents, stepped reads, writes and page
// imports over the imaging library's pages, and plain file access.
#include "imaging/file_beside.h"
#include "imaging/image_table.h"
#include "imaging/page_formats.h"
#include "imaging/pagefilelib.h"
#include "platform/com.h"

#include <tiff.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using namespace qelta::imaging;
using namespace qelta::imaging::pagefile;
using PagePtr = std::shared_ptr<const Page>;

thread_local int16_t lastError = PF_OK;
std::atomic<PageFileMessageBoxFn> messageBox{nullptr};

// Runs an entry: the code starts at 0, a failure sets it, and an exception is a memory failure.
template <class R, class F>
R entry(R failure, F&& body)
{
    bool threw = true;
    const R result = guardedExport(failure, [&] {
        lastError = PF_OK;
        R value = body();
        threw = false;
        return value;
    });
    if (threw)
        lastError = PF_ERR_MEMORY;
    return result;
}

template <class R>
R fail(int16_t code, R failure)
{
    lastError = code;
    return failure;
}

int expectedContent(int type) { return type == PF_TYPE_DOCUMENT ? PF_TYPE_TIFF : type; }

// ---- reading ----

// A file open for reading pages: the TIFF stays open between pages; the other kinds are held whole.
struct Source {
    std::string path;
    int type = PF_TYPE_NONE; // as found by content
    std::unique_ptr<TiffReader> tiff;
    uint32_t tiffCurrent = 0; // the directory the TIFF reader has selected
    std::vector<uint8_t> bytes;
    std::vector<FaxPage> fax;

    int16_t open(const std::string& file, int askedType)
    {
        path = file;
        const int found = detectFileType(path);
        if (found < 0)
            return static_cast<int16_t>(found);
        if (found == PF_TYPE_NONE || found != expectedContent(askedType))
            return PF_ERR_TYPE;
        type = found;
        if (type == PF_TYPE_TIFF) {
            Status status;
            tiff = TiffReader::open(path, status);
            tiffCurrent = 0;
            return tiff ? PF_OK : codeOf(status);
        }
        if (const int16_t code = readWholeFile(path, bytes))
            return code;
        return type == PF_TYPE_FAX ? indexFax(bytes.data(), bytes.size(), fax) : PF_OK;
    }

    // Bytes of the file the source holds in memory (a TIFF is read from the file as its pages are asked).
    size_t heldBytes() const { return bytes.capacity() + fax.capacity() * sizeof(FaxPage); }

    uint32_t pageCount() const
    {
        return type == PF_TYPE_TIFF ? tiff->pageCount() : type == PF_TYPE_FAX ? static_cast<uint32_t>(fax.size()) : 1;
    }

    // Page index (0 = first). Pages read in order cost the same however far into the file.
    int16_t read(uint32_t index, PagePtr& out)
    {
        switch (type) {
        case PF_TYPE_TIFF: {
            Status status = Status::Ok;
            if (index == tiffCurrent + 1)
                status = tiff->next();
            else if (index != tiffCurrent)
                status = tiff->select(index);
            if (status != Status::Ok)
                return codeOf(status);
            tiffCurrent = index;
            auto page = std::make_shared<Page>();
            if (const Status read = tiff->read(*page); read != Status::Ok)
                return codeOf(read);
            out = std::move(page);
            return PF_OK;
        }
        case PF_TYPE_FAX: {
            if (index >= fax.size())
                return PF_ERR_NO_PAGE;
            auto page = std::make_shared<Page>();
            if (const int16_t code = decodeFaxPage(bytes.data(), fax[index], *page))
                return code;
            out = std::move(page);
            return PF_OK;
        }
        case PF_TYPE_PCX: {
            if (index != 0)
                return PF_ERR_NO_PAGE;
            auto page = std::make_shared<Page>();
            if (const int16_t code = decodePcx(bytes.data(), bytes.size(), *page))
                return code;
            out = std::move(page);
            return PF_OK;
        }
        case PF_TYPE_BMP: {
            if (index != 0)
                return PF_ERR_NO_PAGE;
            auto page = std::make_shared<Page>();
            if (const int16_t code = decodeBmp(bytes.data(), bytes.size(), *page))
                return code;
            out = std::move(page);
            return PF_OK;
        }
        default:
            return PF_ERR_TYPE;
        }
    }
};

// ---- writing ----

int16_t writePages(const std::string& path, int type, int32_t compressionCode, bool append,
                   const std::vector<PagePtr>& pages)
{
    if (path.empty() || pages.empty())
        return PF_ERR_ARGUMENT;
    std::vector<const Page*> plain;
    for (const auto& page : pages)
        plain.push_back(page.get());
    switch (type) {
    case PF_TYPE_TIFF:
    case PF_TYPE_DOCUMENT: {
        PageOptions options;
        if (!compressionOfCode(compressionCode, options.compression))
            return PF_ERR_COMPRESSION;
        return saveTiffPages(path, plain, options, append, true) ? PF_OK : PF_ERR_WRITE;
    }
    case PF_TYPE_BMP:
    case PF_TYPE_PCX: {
        // A file already there holds its one page: nothing is appended to it, and it stays.
        struct stat st {};
        if (pages.size() > 1 || (append && ::stat(path.c_str(), &st) == 0 && st.st_size > 0))
            return PF_ERR_ONE_PAGE;
        const auto bytes = type == PF_TYPE_BMP ? encodeBmp(*pages[0]) : encodePcx(*pages[0]);
        return bytes.empty() ? PF_ERR_WRITE : replaceFile(path, bytes);
    }
    case PF_TYPE_FAX: {
        std::vector<uint8_t> before;
        std::vector<FaxPage> kept;
        if (append && somethingAt(path)) {
            if (const int16_t code = readWholeFile(path, before))
                return code;
            if (!before.empty())
                if (const int16_t code = indexFax(before.data(), before.size(), kept))
                    return code; // never replace a file that is no FAX file
        }
        std::vector<uint8_t> out;
        if (const int16_t code = encodeFax(before.data(), kept, plain, out))
            return code;
        return replaceFile(path, out);
    }
    default:
        return PF_ERR_TYPE;
    }
}

// ---- handles ----

struct Operation {
    virtual ~Operation() = default;
};

struct Reader : Operation {
    std::unique_ptr<Source> source;
    uint32_t first = 0, count = 1;
    intptr_t appValue = 0;
    bool done = false, parked = false;
    int16_t result = PF_OK;
    std::vector<PagePtr> pages;
};

struct Writer : Operation {
    std::vector<PagePtr> pages;
    std::string path;
    int type = 0;
    int32_t compression = 0;
    bool append = false, done = false;
    int16_t result = PF_OK;
};

struct Import : Operation {
    Reader read;
    Writer write;
};

// Live operations by handle. Handles count up and are never given out twice. Readers that were
// ended stay parked for the next page's reader; the oldest are closed beyond kMaxParked, or while
// the files the parked readers hold in memory come to more than kMaxParkedBytes. The newest parked
// reader stays whatever it holds: the next page of the file just read costs no new opening.
class Operations {
public:
    static constexpr size_t kMaxParked = 8;
    static constexpr size_t kMaxParkedBytes = size_t{16} << 20;

    PFHANDLE add(std::unique_ptr<Operation> op)
    {
        const std::lock_guard lock(mutex_);
        const PFHANDLE handle = next_++;
        live_.emplace(handle, std::move(op));
        return handle;
    }

    template <class T>
    T* find(PFHANDLE handle)
    {
        const std::lock_guard lock(mutex_);
        const auto it = live_.find(handle);
        return it == live_.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }

    std::unique_ptr<Operation> take(PFHANDLE handle)
    {
        const std::lock_guard lock(mutex_);
        const auto it = live_.find(handle);
        if (it == live_.end())
            return nullptr;
        auto op = std::move(it->second);
        live_.erase(it);
        return op;
    }

    void park(PFHANDLE handle)
    {
        std::vector<std::unique_ptr<Operation>> closed; // closed after the lock is let go
        const std::lock_guard lock(mutex_);
        // Readers taken over by their successors since they were parked are gone from the list.
        std::erase_if(parked_, [this](PFHANDLE h) { return live_.count(h) == 0; });
        parked_.push_back(handle);
        const auto heldBy = [this](PFHANDLE h) {
            const auto* reader = dynamic_cast<const Reader*>(live_.at(h).get());
            return reader && reader->source ? reader->source->heldBytes() : size_t{0};
        };
        size_t held = 0;
        for (const PFHANDLE h : parked_)
            held += heldBy(h);
        while (parked_.size() > 1 && (parked_.size() > kMaxParked || held > kMaxParkedBytes)) {
            const auto it = live_.find(parked_.front());
            held -= heldBy(parked_.front());
            closed.push_back(std::move(it->second));
            live_.erase(it);
            parked_.pop_front();
        }
    }

private:
    std::mutex mutex_;
    PFHANDLE next_ = 0x10001;
    std::unordered_map<PFHANDLE, std::unique_ptr<Operation>> live_;
    std::deque<PFHANDLE> parked_;
};

Operations& operations()
{
    static Operations table;
    return table;
}

void runRead(Reader& reader)
{
    if (reader.done)
        return;
    reader.done = true;
    for (uint32_t i = 0; i < reader.count; ++i) {
        PagePtr page;
        reader.result = reader.source->read(reader.first + i, page);
        if (reader.result != PF_OK)
            return;
        reader.pages.push_back(std::move(page));
    }
}

void runWrite(Writer& writer)
{
    if (writer.done)
        return;
    writer.done = true;
    writer.result = writePages(writer.path, writer.type, writer.compression, writer.append, writer.pages);
}

// A reader of pages [page - 1, page - 1 + count), taking over previous's open file when it read
// the same file.
int16_t openReader(Reader& reader, const char* path, int32_t type, int32_t page, int32_t count, PFHANDLE previous)
{
    if (!path || !*path || page < 1 || count < 0 || count > 65535)
        return PF_ERR_ARGUMENT;
    reader.first = static_cast<uint32_t>(page - 1);
    reader.count = count == 0 ? 1 : static_cast<uint32_t>(count);
    if (previous)
        if (const auto* before = operations().find<Reader>(previous);
            before && before->source && before->source->path == path
            && before->source->type == expectedContent(type)) {
            auto spent = operations().take(previous);
            reader.source = std::move(static_cast<Reader&>(*spent).source);
            return PF_OK;
        }
    reader.source = std::make_unique<Source>();
    return reader.source->open(path, type);
}

PFHANDLE readPagesOpen(const char* path, int32_t type, int32_t page, int32_t count, PFHANDLE previous,
                       intptr_t appValue)
{
    auto reader = std::make_unique<Reader>();
    reader->appValue = appValue;
    if (const int16_t code = openReader(*reader, path, type, page, count, previous))
        return fail(code, PFHANDLE{0});
    return operations().add(std::move(reader));
}

int32_t readStep(PFHANDLE handle)
{
    auto* reader = operations().find<Reader>(handle);
    if (!reader || reader->parked)
        return fail(PF_ERR_HANDLE, 0);
    runRead(*reader);
    if (reader->result != PF_OK)
        lastError = reader->result;
    return 0;
}

int32_t readPagesEnd(PFHANDLE handle, IKHANDLE* bitmaps)
{
    auto* reader = operations().find<Reader>(handle);
    if (!reader || reader->parked)
        return fail(PF_ERR_HANDLE, 0);
    if (!bitmaps)
        return fail(PF_ERR_ARGUMENT, 0);
    runRead(*reader);
    int32_t stored = 0;
    for (auto& page : reader->pages)
        bitmaps[stored++] = images().add(std::move(page));
    reader->pages.clear();
    reader->parked = true;
    lastError = reader->result;
    operations().park(handle);
    return stored;
}

PFHANDLE writeOpen(std::vector<IKHANDLE> bitmaps, int32_t type, int32_t compression, int32_t append,
                   const char* path)
{
    if (!path || !*path)
        return fail(PF_ERR_ARGUMENT, PFHANDLE{0});
    auto writer = std::make_unique<Writer>();
    for (const IKHANDLE bitmap : bitmaps) {
        auto page = images().find(bitmap);
        if (!page)
            return fail(PF_ERR_HANDLE, PFHANDLE{0});
        writer->pages.push_back(std::move(page));
    }
    if (type != PF_TYPE_BMP && type != PF_TYPE_TIFF && type != PF_TYPE_PCX && type != PF_TYPE_FAX
        && type != PF_TYPE_DOCUMENT)
        return fail(PF_ERR_TYPE, PFHANDLE{0});
    Compression unused;
    if ((type == PF_TYPE_TIFF || type == PF_TYPE_DOCUMENT) && !compressionOfCode(compression, unused))
        return fail(PF_ERR_COMPRESSION, PFHANDLE{0});
    writer->path = path;
    writer->type = type;
    writer->compression = compression;
    writer->append = append != 0;
    return operations().add(std::move(writer));
}

// ---- page imports ----

PFHANDLE importOpen(int sourceType, const char* source, const char* destination, int32_t targetType,
                    int32_t compression, int32_t append, int32_t page)
{
    if (!destination || !*destination)
        return fail(PF_ERR_ARGUMENT, PFHANDLE{0});
    auto import = std::make_unique<Import>();
    if (const int16_t code = openReader(import->read, source, sourceType, page, 1, 0))
        return fail(code, PFHANDLE{0});
    if (import->read.first >= import->read.source->pageCount())
        return fail(PF_ERR_NO_PAGE, PFHANDLE{0});
    if (targetType != PF_TYPE_BMP && targetType != PF_TYPE_TIFF && targetType != PF_TYPE_PCX
        && targetType != PF_TYPE_FAX && targetType != PF_TYPE_DOCUMENT)
        return fail(PF_ERR_TYPE, PFHANDLE{0});
    import->write.path = destination;
    import->write.type = targetType;
    import->write.compression = compression;
    import->write.append = append != 0;
    return operations().add(std::move(import));
}

int16_t runImport(Import& import)
{
    runRead(import.read);
    if (import.read.result != PF_OK)
        return import.read.result;
    import.write.pages = std::move(import.read.pages);
    import.read.pages.clear();
    runWrite(import.write);
    return import.write.result;
}

// ---- documents ----

std::mutex documentsMutex;
std::unordered_set<PAGEFILEDOCUMENT*> documents;

// Colours of a palette depth; 0 (full colour) above 8 bits.
uint16_t coloursOfDepth(int bits) { return bits >= 1 && bits <= 8 ? static_cast<uint16_t>(1u << bits) : 0; }

int16_t describe(const std::string& path, PAGEFILEDOCUMENT& doc)
{
    Source source;
    const int type = detectFileType(path);
    if (type < 0)
        return static_cast<int16_t>(type);
    if (type == PF_TYPE_NONE)
        return PF_ERR_TYPE;
    if (const int16_t code = source.open(path, type))
        return code;
    doc.fileType = static_cast<uint16_t>(type);
    doc.pageCount = static_cast<uint16_t>(std::min<uint32_t>(65535, source.pageCount()));
    switch (type) {
    case PF_TYPE_TIFF: {
        IKFILEINFO info{};
        if (!IKFileType(path.c_str(), 0, &info) || info.fileType != IK_FILETYPE_TIFF)
            return PF_ERR_CORRUPT;
        uint8_t head[4] = {};
        FileDescriptor file(openRegularFile(path, O_RDONLY));
        if (file.get() < 0 || !readAt(file.get(), 0, head, 4))
            return PF_ERR_OPEN;
        doc.version = head[0] == 'I' ? head[2] : head[3];
        doc.width = static_cast<uint32_t>(info.width);
        doc.height = static_cast<uint32_t>(info.height);
        // Compressions this library has no code for (LZW, Deflate, JPEG, ...) are 0.
        const int tag = info.compression;
        const bool coded = tag == COMPRESSION_NONE || tag == COMPRESSION_CCITTRLE || tag == COMPRESSION_CCITTFAX3
                           || tag == COMPRESSION_CCITTFAX4 || tag == COMPRESSION_PACKBITS;
        doc.compression = coded ? compressionCode(source.tiff->storedCompression()) : 0;
        doc.colours = coloursOfDepth(info.bitsPerPixel);
        doc.xDpi = static_cast<uint16_t>(std::clamp(info.resolution, 0, 65535));
        doc.yDpi = static_cast<uint16_t>(std::clamp(info.yResolution, 0, 65535));
        return PF_OK;
    }
    case PF_TYPE_BMP: {
        BmpInfo info;
        if (const int16_t code = readBmpHeader(source.bytes.data(), source.bytes.size(), info))
            return code;
        doc.version = static_cast<uint16_t>(info.header.headerSize);
        doc.width = info.width;
        doc.height = info.height;
        doc.colours = static_cast<uint16_t>(info.colours);
        doc.xDpi = info.xDpi;
        doc.yDpi = info.yDpi;
        return PF_OK;
    }
    case PF_TYPE_PCX: {
        PcxInfo info;
        if (const int16_t code = readPcxHeader(source.bytes.data(), source.bytes.size(), info))
            return code;
        doc.version = info.version;
        doc.width = info.width;
        doc.height = info.height;
        doc.colours = coloursOfDepth(static_cast<int>(info.bitsPerPixel * info.planes));
        doc.xDpi = info.xDpi;
        doc.yDpi = info.yDpi;
        return PF_OK;
    }
    default: { // FAX
        const FaxPage& first = source.fax.front();
        doc.version = kFaxVersion;
        doc.width = first.width;
        doc.height = first.height;
        doc.compression = PF_COMPRESSION_MH;
        doc.colours = 2;
        doc.xDpi = first.xDpi;
        doc.yDpi = first.yDpi;
        return PF_OK;
    }
    }
}

int32_t countPages(const char* path, int type)
{
    if (!path || !*path)
        return fail(PF_ERR_ARGUMENT, 0);
    Source source;
    if (const int16_t code = source.open(path, type))
        return fail(code, 0);
    return static_cast<int32_t>(source.pageCount());
}

// ---- plain files ----

std::mutex filesMutex;
std::unordered_set<int> openFiles;

bool isOurFile(int32_t file)
{
    const std::lock_guard lock(filesMutex);
    return openFiles.count(file) != 0;
}

int32_t readFrom(int32_t file, void* buffer, int32_t count)
{
    if (!isOurFile(file))
        return fail(PF_ERR_HANDLE, -1);
    if (count < 0 || (!buffer && count > 0))
        return fail(PF_ERR_ARGUMENT, -1);
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(file, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(PF_ERR_CORRUPT, -1);
        if (n == 0)
            break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

int32_t writeTo(int32_t file, const void* buffer, int32_t count)
{
    if (!isOurFile(file))
        return fail(PF_ERR_HANDLE, -1);
    if (count < 0 || (!buffer && count > 0))
        return fail(PF_ERR_ARGUMENT, -1);
    if (count == 0) {
        const off_t at = ::lseek(file, 0, SEEK_CUR);
        return at >= 0 && ::ftruncate(file, at) == 0 ? 0 : fail(PF_ERR_WRITE, -1);
    }
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(file, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(PF_ERR_WRITE, -1);
        done += static_cast<int32_t>(n);
    }
    return done;
}

} // namespace

extern "C" {

void PageFileSetMessageBox(PageFileMessageBoxFn show) { messageBox.store(show); }

int16_t PageFileGetLastError(void) { return lastError; }

int32_t PageFileShowError(void* owner, const char* caption, int32_t code)
{
    return entry(int32_t{0}, [&] {
        static const std::unordered_map<int32_t, const char*> kTexts = {
            {PF_OK, "The operation completed successfully."},
            {PF_ERR_ARGUMENT, "A value passed to the page image file library is not valid."},
            {PF_ERR_TYPE, "The file is not of a type that can be read or written here."},
            {PF_ERR_CORRUPT, "The file is damaged or does not hold together."},
            {PF_ERR_NO_PAGE, "The page does not exist in the file."},
            {PF_ERR_TOO_LARGE, "The page or file is too large."},
            {PF_ERR_WRITE, "The file could not be written."},
            {PF_ERR_MEMORY, "There is not enough memory."},
            {PF_ERR_HANDLE, "The handle is not valid."},
            {PF_ERR_COMPRESSION, "The compression cannot be used for this file type."},
            {PF_ERR_ONE_PAGE, "The file type holds one page only."},
            {PF_ERR_OPEN, "The file cannot be opened."},
        };
        const auto it = kTexts.find(code);
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "Unknown error (code %d).", static_cast<int>(code));
        const char* text = it != kTexts.end() ? it->second : unknown;
        const char* title = caption ? caption : "Page Image File";
        if (const PageFileMessageBoxFn show = messageBox.load())
            return show(owner, title, text, code);
        std::fprintf(stderr, "%s: %s\n", title, text);
        return int32_t{1};
    });
}

int32_t PageFileGetType(const char* path)
{
    return entry(int32_t{PF_TYPE_NONE}, [&] {
        if (!path || !*path)
            return fail(PF_ERR_ARGUMENT, int32_t{PF_TYPE_NONE});
        const int type = detectFileType(path);
        return type < 0 ? fail(static_cast<int16_t>(type), int32_t{PF_TYPE_NONE}) : int32_t{type};
    });
}

int32_t PageFileCountTiffPages(const char* path)
{
    return entry(int32_t{0}, [&] { return countPages(path, PF_TYPE_TIFF); });
}

int32_t PageFileCountFaxPages(const char* path)
{
    return entry(int32_t{0}, [&] { return countPages(path, PF_TYPE_FAX); });
}

int32_t PageFileCountDocumentPages(const char* path)
{
    return entry(int32_t{0}, [&] { return countPages(path, PF_TYPE_DOCUMENT); });
}

PAGEFILEDOCUMENT* PageFileOpenDocument(const char* path)
{
    return entry(static_cast<PAGEFILEDOCUMENT*>(nullptr), [&]() -> PAGEFILEDOCUMENT* {
        if (!path || !*path)
            return fail(PF_ERR_ARGUMENT, static_cast<PAGEFILEDOCUMENT*>(nullptr));
        auto doc = std::make_unique<PAGEFILEDOCUMENT>();
        *doc = PAGEFILEDOCUMENT{};
        doc->size = sizeof(PAGEFILEDOCUMENT);
        if (const int16_t code = describe(path, *doc))
            return fail(code, static_cast<PAGEFILEDOCUMENT*>(nullptr));
        const std::lock_guard lock(documentsMutex);
        documents.insert(doc.get());
        return doc.release();
    });
}

int32_t PageFileCloseDocument(PAGEFILEDOCUMENT* document)
{
    return entry(int32_t{0}, [&] {
        const std::lock_guard lock(documentsMutex);
        if (documents.erase(document) == 0)
            return fail(PF_ERR_HANDLE, int32_t{0});
        delete document;
        return int32_t{1};
    });
}

PFHANDLE PageFileReadPagesOpen(const char* path, int32_t type, int32_t page, int32_t count, PFHANDLE previous,
                               intptr_t appValue)
{
    return entry(PFHANDLE{0}, [&] { return readPagesOpen(path, type, page, count, previous, appValue); });
}

int32_t PageFileReadStep(int32_t, PFHANDLE reader)
{
    return entry(int32_t{0}, [&] { return readStep(reader); });
}

int32_t PageFileReadPagesYield(int32_t, PFHANDLE reader)
{
    return entry(int32_t{0}, [&] { return readStep(reader); });
}

int32_t PageFileReadPagesEnd(int32_t, PFHANDLE reader, IKHANDLE* bitmaps, intptr_t)
{
    return entry(int32_t{0}, [&] { return readPagesEnd(reader, bitmaps); });
}

PFHANDLE PageFileReadBitmapOpen(const char* path, int32_t type, int32_t page, int32_t)
{
    return entry(PFHANDLE{0}, [&] { return readPagesOpen(path, type, page, 1, 0, 0); });
}

IKHANDLE PageFileReadBitmapEnd(int32_t, PFHANDLE handle)
{
    return entry(IKHANDLE{0}, [&] {
        auto* reader = operations().find<Reader>(handle);
        if (!reader || reader->parked)
            return fail(PF_ERR_HANDLE, IKHANDLE{0});
        runRead(*reader);
        const auto op = operations().take(handle);
        if (reader->result != PF_OK || reader->pages.empty())
            return fail(reader->result ? reader->result : PF_ERR_NO_PAGE, IKHANDLE{0});
        return images().add(std::move(reader->pages.front()));
    });
}

PFHANDLE PageFileWriteBitmapsOpen(const IKHANDLE* bitmaps, int32_t type, int32_t compression, int32_t append,
                                  int32_t count, const char* path, intptr_t)
{
    return entry(PFHANDLE{0}, [&] {
        if (!bitmaps || count < 0 || count > 65535)
            return fail(PF_ERR_ARGUMENT, PFHANDLE{0});
        return writeOpen(std::vector<IKHANDLE>(bitmaps, bitmaps + (count == 0 ? 1 : count)), type, compression,
                         append, path);
    });
}

PFHANDLE PageFileWriteBitmapOpen(IKHANDLE bitmap, int32_t type, int32_t compression, int32_t append, const char* path)
{
    return entry(PFHANDLE{0}, [&] { return writeOpen({bitmap}, type, compression, append, path); });
}

int32_t PageFileWriteStep(PFHANDLE handle, int32_t)
{
    return entry(int32_t{0}, [&] {
        auto* writer = operations().find<Writer>(handle);
        if (!writer)
            return fail(PF_ERR_HANDLE, int32_t{0});
        runWrite(*writer);
        lastError = writer->result;
        return int32_t{0};
    });
}

int32_t PageFileWriteEnd(PFHANDLE handle, int32_t)
{
    return entry(int32_t{0}, [&] {
        const auto op = operations().take(handle);
        auto* writer = dynamic_cast<Writer*>(op.get());
        if (!writer)
            return fail(PF_ERR_HANDLE, int32_t{0});
        runWrite(*writer);
        lastError = writer->result;
        return writer->result == PF_OK ? int32_t{1} : int32_t{0};
    });
}

#define QELTA_IMPORT_BEGIN(name)                                                                                     \
    int32_t name(int32_t pages)                                                                                       \
    {                                                                                                                  \
        return entry(int32_t{0}, [&] { return pages < 1 ? fail(PF_ERR_ARGUMENT, int32_t{0}) : int32_t{1}; });        \
    }
QELTA_IMPORT_BEGIN(PageFileImportBeginBmp)
QELTA_IMPORT_BEGIN(PageFileImportBeginTiff)
QELTA_IMPORT_BEGIN(PageFileImportBeginPcx)
QELTA_IMPORT_BEGIN(PageFileImportBeginFax)
QELTA_IMPORT_BEGIN(PageFileImportBeginDocument)
#undef QELTA_IMPORT_BEGIN

PFHANDLE PageFileImportPageOpenBmp(const char* source, const char* destination, int32_t targetType,
                                   int32_t compression, int32_t, int32_t append)
{
    return entry(PFHANDLE{0}, [&] {
        return importOpen(PF_TYPE_BMP, source, destination, targetType, compression, append, 1);
    });
}

PFHANDLE PageFileImportPageOpenTiff(const char* source, const char* destination, int32_t targetType,
                                    int32_t compression, int32_t, int32_t append, int32_t page)
{
    return entry(PFHANDLE{0}, [&] {
        return importOpen(PF_TYPE_TIFF, source, destination, targetType, compression, append, page);
    });
}

PFHANDLE PageFileImportPageOpenPcx(const char* source, const char* destination, int32_t targetType,
                                   int32_t compression, int32_t, int32_t append)
{
    return entry(PFHANDLE{0}, [&] {
        return importOpen(PF_TYPE_PCX, source, destination, targetType, compression, append, 1);
    });
}

PFHANDLE PageFileImportPageOpenFax(const char* source, const char* destination, int32_t targetType,
                                   int32_t compression, int32_t, int32_t append, int32_t page, int32_t)
{
    return entry(PFHANDLE{0}, [&] {
        return importOpen(PF_TYPE_FAX, source, destination, targetType, compression, append, page);
    });
}

PFHANDLE PageFileImportPageOpenDocument(const char* source, const char* destination, int32_t targetType,
                                        int32_t compression, int32_t, int32_t append, int32_t page)
{
    return entry(PFHANDLE{0}, [&] {
        return importOpen(PF_TYPE_DOCUMENT, source, destination, targetType, compression, append, page);
    });
}

int32_t PageFileImportPageStep(PFHANDLE handle)
{
    return entry(int32_t{0}, [&] {
        auto* import = operations().find<Import>(handle);
        if (!import)
            return fail(PF_ERR_HANDLE, int32_t{0});
        lastError = runImport(*import);
        return int32_t{0};
    });
}

int32_t PageFileImportPageClose(PFHANDLE handle)
{
    return entry(int32_t{0}, [&] {
        const auto op = operations().take(handle);
        auto* import = dynamic_cast<Import*>(op.get());
        if (!import)
            return fail(PF_ERR_HANDLE, int32_t{0});
        lastError = runImport(*import);
        return lastError == PF_OK ? int32_t{1} : int32_t{0};
    });
}

int32_t PageFileOpen(const char* path, void*, int32_t style)
{
    return entry(int32_t{-1}, [&] {
        if (!path || !*path)
            return fail(PF_ERR_ARGUMENT, int32_t{-1});
        if (style & PF_OPEN_EXIST)
            return somethingAt(path) && ::access(path, F_OK) == 0 ? int32_t{1} : fail(PF_ERR_OPEN, int32_t{-1});
        int fd;
        if (style & PF_OPEN_CREATE)
            fd = platform::createFile(path, O_RDWR | O_TRUNC).release();
        else if ((style & 3) == PF_OPEN_READWRITE)
            fd = openRegularFile(path, O_RDWR);
        else if ((style & 3) == PF_OPEN_READ)
            fd = openRegularFile(path, O_RDONLY);
        else
            return fail(PF_ERR_ARGUMENT, int32_t{-1});
        if (fd < 0)
            return fail(PF_ERR_OPEN, int32_t{-1});
        const std::lock_guard lock(filesMutex);
        openFiles.insert(fd);
        return int32_t{fd};
    });
}

int32_t PageFileClose(int32_t file)
{
    return entry(int32_t{-1}, [&] {
        {
            const std::lock_guard lock(filesMutex);
            if (openFiles.erase(file) == 0)
                return fail(PF_ERR_HANDLE, int32_t{-1});
        }
        return ::close(file) == 0 ? int32_t{0} : fail(PF_ERR_WRITE, int32_t{-1});
    });
}

int32_t PageFileRead(int32_t file, void* buffer, int32_t count)
{
    return entry(int32_t{-1}, [&] { return readFrom(file, buffer, count); });
}

int32_t PageFileReadBlock(int32_t file, void* buffer, int32_t count)
{
    return entry(int32_t{-1}, [&] { return readFrom(file, buffer, count); });
}

int32_t PageFileSeek(int32_t file, int32_t offset, int32_t origin)
{
    return entry(int32_t{-1}, [&] {
        if (!isOurFile(file))
            return fail(PF_ERR_HANDLE, int32_t{-1});
        if (origin != 0 && origin != 2)
            return fail(PF_ERR_ARGUMENT, int32_t{-1});
        const off_t at = ::lseek(file, offset, origin == 0 ? SEEK_SET : SEEK_END);
        if (at < 0)
            return fail(PF_ERR_ARGUMENT, int32_t{-1});
        return at > INT32_MAX ? fail(PF_ERR_TOO_LARGE, int32_t{-1}) : static_cast<int32_t>(at);
    });
}

int32_t PageFileWrite(int32_t file, const void* buffer, int32_t count)
{
    return entry(int32_t{-1}, [&] { return writeTo(file, buffer, count); });
}

int32_t PageFileWriteBlock(int32_t file, const void* buffer, int32_t count)
{
    return entry(int32_t{-1}, [&] { return writeTo(file, buffer, count); });
}

} // extern "C"
