#include "viewer/page_file_access.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <utility>

namespace viewer {

namespace {

int16_t lastError() { return PageFileGetLastError(); }

// The file of the library message that ShowPageFileError shows on this thread; null between them.
thread_local const std::string* shownAbout = nullptr;

// The path as the file system knows it, for telling a link file already visited.
std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// Each link file is expanded once: one met again is a cycle, or a fan-out that would list the
// same pages over and over.
int16_t expand(const std::vector<std::string>& sources, std::vector<std::string>& files, int depth,
               std::set<std::string>& met)
{
    for (const std::string& source : sources) {
        const int type = GetFileType(source);
        if (type > 0) {
            if (files.size() >= static_cast<size_t>(kMaxConvertedPages))
                return PF_ERR_TOO_LARGE;
            files.push_back(source);
            continue;
        }
        if (type < 0 && type != PF_TYPE_NONE)
            return static_cast<int16_t>(type);
        if (!IsLinkFileName(source))
            return PF_ERR_OPEN;
        if (!met.insert(canonical(source)).second)
            return kLinkFilesRepeat;
        if (depth >= kMaxLinkDepth)
            return kLinkFilesTooDeep;
        std::vector<std::string> listed;
        if (const int16_t code = ReadLinkFile(source, listed); code != PF_OK)
            return code;
        if (const int16_t code = expand(listed, files, depth + 1, met); code != PF_OK)
            return code;
    }
    return PF_OK;
}

// The page as a bilevel page (a colour page made black below half brightness); the handle given is
// spent.
IKHANDLE bilevel(IKHANDLE page)
{
    IKIMAGEINFO info{};
    info.size = sizeof info;
    if (IKGetImageType(&info, page, nullptr) == 1 && info.bitsPerPixel == 1)
        return page;
    const IKHANDLE converted = IKConvertColor(page, 1, 0, 0, 128, 0);
    IKFreeMemory(page);
    return converted;
}

// Reads one page (page 1 = first) into bitmap, taking over previous's open file when it read the
// same file; previous becomes this page's reader. count and appValue go to the library as they are.
int16_t readOnePage(const std::string& path, int type, int page, int count, intptr_t appValue, PFHANDLE& previous,
                    IKHANDLE& bitmap)
{
    bitmap = 0;
    const PFHANDLE reader = PageFileReadPagesOpen(path.c_str(), type, page, count, previous, appValue);
    if (const int16_t code = lastError(); code != PF_OK)
        return code;
    if (reader == 0)
        return PF_OK;
    previous = reader;
    while (PageFileReadStep(type, reader) != 0) {
        PageFileReadPagesYield(type, reader);
        if (const int16_t code = lastError(); code != PF_OK)
            return code;
    }
    if (const int16_t code = lastError(); code != PF_OK)
        return code;
    IKHANDLE bitmaps[1] = {0};
    const int32_t stored = PageFileReadPagesEnd(type, reader, bitmaps, appValue);
    if (const int16_t code = lastError(); code != PF_OK) {
        if (stored > 0)
            IKFreeMemory(bitmaps[0]);
        return code;
    }
    if (stored > 0)
        bitmap = bitmaps[0];
    return PF_OK;
}

// Writes the bitmaps as one file, or appends them to it.
int16_t writeBitmaps(const std::vector<IKHANDLE>& bitmaps, const std::string& path, int type, int compression,
                     int append, intptr_t appValue)
{
    if (bitmaps.empty())
        return PF_ERR_ARGUMENT;
    const PFHANDLE writer = PageFileWriteBitmapsOpen(bitmaps.data(), type, compression, append,
                                                     static_cast<int32_t>(bitmaps.size()), path.c_str(), appValue);
    int16_t code = lastError();
    if (writer == 0)
        return code != PF_OK ? code : PF_ERR_WRITE;
    while (code == PF_OK && PageFileWriteStep(writer, type) != 0)
        code = lastError();
    if (code == PF_OK)
        code = lastError();
    const int32_t written = PageFileWriteEnd(writer, type);
    if (code == PF_OK)
        code = lastError();
    if (code == PF_OK && written != 1)
        code = PF_ERR_WRITE;
    return code;
}

// Bytes of the page as a one-bit page.
int64_t bilevelBytes(IKHANDLE page)
{
    IKIMAGEINFO info{};
    info.size = sizeof info;
    if (IKGetImageType(&info, page, nullptr) != 1)
        return 0;
    return (int64_t{info.width} + 7) / 8 * info.height;
}

// The pages of a conversion, read in order and written in batches: a batch goes to the file when
// it holds kBatchPages pages or kBatchBytes bytes, and at the end.
class PageCopier {
public:
    PageCopier(const std::string& destination, int targetType, int compression)
        : m_destination(destination), m_type(targetType), m_compression(compression)
    {
    }
    ~PageCopier()
    {
        for (const IKHANDLE page : m_batch)
            IKFreeMemory(page);
    }
    PageCopier(const PageCopier&) = delete;
    PageCopier& operator=(const PageCopier&) = delete;

    // Takes the page (owned from now on).
    int16_t Add(IKHANDLE page)
    {
        m_batch.push_back(page);
        const int64_t bytes = bilevelBytes(page);
        m_total += bytes;
        m_held += bytes;
        if (m_total > kMaxConvertedBytes)
            return PF_ERR_TOO_LARGE;
        return m_batch.size() >= kBatchPages || m_held >= kBatchBytes ? Flush() : int16_t{PF_OK};
    }
    int16_t Flush()
    {
        if (m_batch.empty())
            return PF_OK;
        const int16_t code = writeBitmaps(m_batch, m_destination, m_type, m_compression, m_written ? 1 : 0, 0);
        m_written = m_written || code == PF_OK;
        for (const IKHANDLE page : m_batch)
            IKFreeMemory(page);
        m_batch.clear();
        m_held = 0;
        return code;
    }
    bool Written() const { return m_written; }

private:
    static constexpr size_t kBatchPages = 32;
    static constexpr int64_t kBatchBytes = int64_t{32} << 20;
    std::string m_destination;
    int m_type, m_compression;
    std::vector<IKHANDLE> m_batch;
    int64_t m_total = 0, m_held = 0;
    bool m_written = false;
};

// The type and page count of each file, each distinct file asked once; PF_ERR_TOO_LARGE past
// kMaxConvertedPages in all.
int16_t countPages(const std::vector<std::string>& files, std::vector<std::pair<int, int>>& counts, int& total)
{
    std::map<std::string, std::pair<int, int>> known;
    total = 0;
    for (const std::string& file : files) {
        auto it = known.find(file);
        if (it == known.end()) {
            const int type = GetFileType(file);
            if (type <= 0 || type > PF_TYPE_DOCUMENT)
                return type < 0 ? static_cast<int16_t>(type) : int16_t{PF_ERR_OPEN};
            const int pages = CountPages(file, type);
            if (const int16_t code = lastError(); code != PF_OK)
                return code;
            if (pages < 1)
                return PF_ERR_CORRUPT;
            it = known.emplace(file, std::pair{type, pages}).first;
        }
        counts.push_back(it->second);
        total += it->second.second;
        if (total > kMaxConvertedPages)
            return PF_ERR_TOO_LARGE;
    }
    return PF_OK;
}

// Copies every page of the files in order into the destination.
int16_t copyPages(const std::vector<std::string>& files, const std::string& destination, int targetType,
                  int compression, const ConversionProgress& progress)
{
    std::vector<std::pair<int, int>> counts;
    int total = 0;
    if (const int16_t code = countPages(files, counts, total); code != PF_OK)
        return code;
    PageCopier copier(destination, targetType, compression);
    const auto copy = [&]() -> int16_t {
        PFHANDLE previous = 0;
        int done = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            const auto [type, pages] = counts[i];
            for (int page = 1; page <= pages; ++page) {
                IKHANDLE bitmap = 0;
                if (const int16_t code = readOnePage(files[i], type, page, 1, 0, previous, bitmap); code != PF_OK)
                    return code;
                if (bitmap == 0)
                    return PF_ERR_NO_PAGE;
                if (const int16_t code = copier.Add(bitmap); code != PF_OK)
                    return code;
                ++done;
                if (progress && !progress(done * 100 / total))
                    return kConversionCancelled;
            }
        }
        return copier.Flush();
    };
    const int16_t code = copy();
    if (code != PF_OK && copier.Written())
        std::remove(destination.c_str());
    return code;
}

} // namespace

std::string UpperExtension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext;
}

std::string NamingFile(const std::string& text, const std::string& path)
{
    return path.empty() ? text : text + "\n\n" + path;
}

std::string PageFileMessageText(const char* text)
{
    const std::string said = text ? text : "";
    return shownAbout ? NamingFile(said, *shownAbout) : said;
}

void ShowPageFileError(int code, const std::string& path)
{
    // The library calls the message box on this thread before it returns; its owner stays the
    // library's own business.
    const std::string* const outer = std::exchange(shownAbout, &path);
    PageFileShowError(nullptr, nullptr, code);
    shownAbout = outer;
}

bool IsLinkFileName(const std::string& path)
{
    const std::string ext = UpperExtension(path);
    return ext == "LNK" || ext == "TQS";
}

int GetFileType(const std::string& path)
{
    const int32_t type = PageFileGetType(path.c_str());
    const int16_t code = lastError();
    return code != PF_OK ? code : static_cast<int>(type & 0xFFFF);
}

int CountPages(const std::string& path, int type)
{
    switch (type) {
    case PF_TYPE_BMP:
    case PF_TYPE_PCX:
        return 1;
    case PF_TYPE_TIFF:
        return PageFileCountTiffPages(path.c_str());
    case PF_TYPE_FAX:
        return PageFileCountFaxPages(path.c_str());
    case PF_TYPE_DOCUMENT:
        return PageFileCountDocumentPages(path.c_str());
    default:
        return -1;
    }
}

int16_t ReadPages(const std::string& path, CPageImageArray& pages, int type, int first, int end, int readOption,
                  intptr_t appValue, bool& busy)
{
    CBusyScope scope(busy);
    PFHANDLE previous = 0;
    for (int page = first + 1; page <= end; ++page) {
        IKHANDLE bitmap = 0;
        if (const int16_t code = readOnePage(path, type, page, readOption, appValue, previous, bitmap); code != PF_OK)
            return code;
        if (bitmap == 0)
            continue;
        const IKHANDLE one = bilevel(bitmap);
        // Fax pages are held coded: a page whose coding is damaged fails here, not when shown.
        if (one == 0 || IKGetImageBits(one, nullptr, 0) == 0) {
            if (one != 0)
                IKFreeMemory(one);
            return PF_ERR_CORRUPT;
        }
        pages.push_back(std::make_unique<CPageImage>(one));
    }
    return PF_OK;
}

int16_t WritePages(const std::vector<IKHANDLE>& bitmaps, const std::string& path, int type, int compression,
                   int readOption, intptr_t appValue, bool& busy)
{
    static_cast<void>(readOption);
    if (bitmaps.empty())
        return PF_ERR_ARGUMENT;
    CBusyScope scope(busy);
    return writeBitmaps(bitmaps, path, type, compression, 0, appValue);
}

int16_t DescribeFile(const std::string& path, PAGEFILEDOCUMENT& record)
{
    record = PAGEFILEDOCUMENT{};
    PAGEFILEDOCUMENT* document = PageFileOpenDocument(path.c_str());
    if (document == nullptr) {
        const int16_t code = lastError();
        return code != PF_OK ? code : PF_ERR_OPEN;
    }
    record = *document;
    PageFileCloseDocument(document);
    return PF_OK;
}

int16_t DescribeLoadedFile(const std::string& path, CLoadedFile& file)
{
    file = CLoadedFile{path, {}, platform::fileStamp(path)};
    return DescribeFile(path, file.record);
}

bool LoadedFileChanged(const CLoadedFile& file)
{
    // The contents' identity: a change of owner or mode alone leaves the file the one read.
    const platform::FileStamp now = platform::fileStamp(file.path);
    const platform::FileStamp& then = file.stamp;
    return !then.exists || !now.exists || now.device != then.device || now.inode != then.inode
           || now.size != then.size || now.modifiedNs != then.modifiedNs;
}

int16_t ReadLinkFile(const std::string& path, std::vector<std::string>& paths)
{
    const int32_t file = PageFileOpen(path.c_str(), nullptr, PF_OPEN_READ);
    if (file == -1)
        return PF_ERR_OPEN;
    const int32_t size = PageFileSeek(file, 0, 2);
    if (size <= 0) {
        PageFileClose(file);
        return size == 0 ? int16_t{PF_OK} : int16_t{PF_ERR_OPEN};
    }
    if (size > kMaxLinkFileBytes) {
        PageFileClose(file);
        return PF_ERR_TOO_LARGE;
    }
    std::string text(static_cast<size_t>(size), '\0');
    const bool whole = PageFileSeek(file, 0, 0) == 0 && PageFileReadBlock(file, text.data(), size) == size;
    PageFileClose(file);
    if (!whole)
        return PF_ERR_OPEN;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            paths.push_back(line);
        start = next;
    }
    return PF_OK;
}

int16_t ExpandSources(const std::vector<std::string>& sources, std::vector<std::string>& files)
{
    std::set<std::string> open;
    return expand(sources, files, 0, open);
}

int16_t ConvertFiles(const std::vector<std::string>& sources, const std::string& destination, int targetType,
                     int compression, int option, bool& busy, const ConversionProgress& progress)
{
    static_cast<void>(option);
    CBusyScope scope(busy);
    std::vector<std::string> files;
    if (const int16_t code = ExpandSources(sources, files); code != PF_OK)
        return code;
    if (files.empty())
        return PF_ERR_OPEN; // nothing to convert: an empty link file
    if (targetType == PF_TYPE_LINK) {
        const int32_t file = PageFileOpen(destination.c_str(), nullptr, PF_OPEN_CREATE);
        if (file == -1)
            return lastError() != PF_OK ? lastError() : int16_t{PF_ERR_WRITE};
        bool written = true;
        for (const std::string& path : files) {
            const std::string line = path + "\r\n";
            written = written && PageFileWriteBlock(file, line.data(), static_cast<int32_t>(line.size()))
                                     == static_cast<int32_t>(line.size());
        }
        PageFileClose(file);
        return written ? int16_t{PF_OK} : int16_t{PF_ERR_WRITE};
    }
    return copyPages(files, destination, targetType, compression, progress);
}

} // namespace viewer
