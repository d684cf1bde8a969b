// IKTiffFileLoad, IKTiffFileSave and IKFreeMemory: TIFF pages held in memory behind checked handles.
#include "imaging/image_table.h"
#include "imaging/imagekit.h"
#include "imaging/tiff_pages.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/text.h"

#include <tiffio.h>

#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <time.h>

namespace {

using namespace qelta::imaging;

constexpr size_t kMaxTagText = 64 << 10; // of the whole tag text, and so of every value

// "Name:value" fields, each ended by CR (a LF after it is tolerated), as TIFF text tags.
std::vector<TextTag> parseTags(const char* tags)
{
    struct Known {
        const char* name;
        uint32_t tag;
    };
    static constexpr Known kKnown[] = {{"Document", TIFFTAG_DOCUMENTNAME}, {"Description", TIFFTAG_IMAGEDESCRIPTION},
                                       {"Page", TIFFTAG_PAGENAME},         {"Software", TIFFTAG_SOFTWARE},
                                       {"DateTime", TIFFTAG_DATETIME},     {"Artist", TIFFTAG_ARTIST}};
    std::vector<TextTag> out;
    if (!tags)
        return out;
    std::string_view rest(tags, ::strnlen(tags, kMaxTagText));
    while (!rest.empty()) {
        const size_t end = rest.find('\r');
        std::string_view field = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        while (!field.empty() && field.front() == '\n')
            field.remove_prefix(1);
        const size_t colon = field.find(':');
        if (colon == std::string_view::npos || colon + 1 == field.size())
            continue;
        for (const auto& known : kKnown)
            if (platform::equalsNoCase(field.substr(0, colon), known.name))
                out.push_back({known.tag, std::string(field.substr(colon + 1))});
    }
    return out;
}

bool compressionOf(int code, Compression& compression)
{
    switch (code) {
    case IK_COMPRESSION_NONE:
        compression = Compression::None;
        return true;
    case IK_COMPRESSION_PACKBITS:
        compression = Compression::PackBits;
        return true;
    case IK_COMPRESSION_G3_1D:
        compression = Compression::G3OneD;
        return true;
    case IK_COMPRESSION_G3_2D:
        compression = Compression::G3TwoD;
        return true;
    case IK_COMPRESSION_G4:
        compression = Compression::G4;
        return true;
    case IK_COMPRESSION_LZW:
        compression = Compression::Lzw;
        return true;
    default:
        return false;
    }
}

// The file pages were last loaded from, kept open: a caller going through a file page by page
// reads it through one reader, each page found from the one before. A file that changed (or another
// name) opens anew.
struct OpenFile {
    // File times advance in clock ticks: a file changed this shortly before it was opened could
    // change again without its stamp showing it, so such a reader is not used again.
    static constexpr long long kRacyNs = 50'000'000;

    std::mutex mutex;
    std::string path;
    platform::FileStamp stamp;
    long long openedNs = 0;
    std::unique_ptr<TiffReader> reader;
    uint32_t current = 0;

    bool stillValid(const std::string& name) const
    {
        return reader && name == path && stamp.modifiedNs + kRacyNs < openedNs
               && stamp.changedNs + kRacyNs < openedNs && platform::fileStamp(name) == stamp;
    }

    // The reader of path standing at page index; null when the file or page cannot be read.
    TiffReader* at(const std::string& name, uint32_t index)
    {
        if (!stillValid(name)) {
            reader.reset();
            const int fd = platform::openRegularFile(name, O_RDONLY);
            if (fd < 0)
                return nullptr;
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            openedNs = now.tv_sec * 1'000'000'000LL + now.tv_nsec;
            const platform::FileStamp opened = platform::openFileStamp(fd);
            Status status;
            reader = TiffReader::open(fd, name, status);
            if (!reader)
                return nullptr;
            path = name;
            stamp = opened;
            current = 0;
            if (index == 0)
                return reader.get();
        } else if (index == current) {
            return reader.get();
        }
        const Status status = index == current + 1 ? reader->next() : reader->select(index);
        if (status != Status::Ok) {
            reader.reset(); // the next call starts from a fresh reader
            return nullptr;
        }
        current = index;
        return reader.get();
    }
};

IKHANDLE load(const char* path, int index)
{
    if (!path || !*path || index < 0)
        return 0;
    static OpenFile file;
    const std::lock_guard lock(file.mutex);
    TiffReader* reader = file.at(path, static_cast<uint32_t>(index));
    if (!reader)
        return 0;
    // A fax page stays coded until someone needs its pixels: a page copied to another file is never
    // decoded.
    Page header;
    auto coded = std::make_shared<CodedStrip>();
    if (reader->readCoded(header, *coded))
        return images().addCoded(std::move(header), std::move(coded));
    auto page = std::make_shared<Page>();
    if (reader->read(*page) != Status::Ok)
        return 0;
    return images().add(std::move(page));
}

bool save(const char* path, IKHANDLE image, int compressionCode, bool append, bool withTags, const char* tags,
          bool overwrite)
{
    if (!path || !*path)
        return false;
    PageOptions options;
    if (!compressionOf(compressionCode, options.compression))
        return false;
    std::shared_ptr<const Page> page;
    auto coded = images().findCoded(image, page);
    if (coded && coded->compression != options.compression)
        coded = nullptr;
    if (!coded) {
        page = images().find(image);
        if (!page)
            return false;
        // Coded once and kept: saving the same page again (a second file) copies the strip.
        auto made = std::make_shared<CodedStrip>();
        if (encodeCoded(*page, options.compression, *made)) {
            coded = std::move(made);
            images().keepCoded(image, page, coded);
        }
    }
    if (withTags)
        options.text = parseTags(tags);

    return saveTiffPages(path, {page.get()}, options, append, overwrite, {coded.get()});
}

} // namespace

extern "C" IKHANDLE IKTiffFileLoad(const char* path, int page, int, const char*, const char*, const char*)
{
    return guardedExport(IKHANDLE{0}, [&] { return load(path, page); });
}

extern "C" int IKTiffFileSave(const char* path, IKHANDLE image, int compression, int append, int withTags,
                              const char* tags, int overwrite, int, const char*, const char*, const char*)
{
    return guardedExport(0, [&] {
        return save(path, image, compression, append != 0, withTags != 0, tags, overwrite != 0) ? 1 : 0;
    });
}

extern "C" int IKFreeMemory(IKHANDLE image)
{
    return guardedExport(0, [&] { return images().remove(image) ? 1 : 0; });
}
