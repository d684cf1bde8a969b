#include "viewer/page_file_access.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <set>
#include <climits>

namespace viewer {

namespace {

int16_t lastError() { return PageFileGetLastError(); }

// The path as the file system knows it, for telling a link file already visited.
std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

int16_t expand(const std::vector<std::string>& sources, std::vector<std::string>& files, int depth,
               std::set<std::string>& open)
{
    for (const std::string& source : sources) {
        const int type = GetFileType(source);
        if (type > 0) {
            files.push_back(source);
            continue;
        }
        if (type < 0 && type != PF_TYPE_NONE)
            return static_cast<int16_t>(type);
        if (!IsLinkFileName(source) || depth >= kMaxLinkDepth)
            return PF_ERR_OPEN;
        const std::string key = canonical(source);
        if (open.count(key) != 0)
            return PF_ERR_OPEN; // a link file that lists itself, directly or not
        std::vector<std::string> listed;
        if (const int16_t code = ReadLinkFile(source, listed); code != PF_OK)
            return code;
        open.insert(key);
        const int16_t code = expand(listed, files, depth + 1, open);
        open.erase(key);
        if (code != PF_OK)
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

using ImportBegin = int32_t (*)(int32_t);

PFHANDLE importPage(int type, const std::string& source, const std::string& destination, int targetType,
                    int compression, int option, int append, int page)
{
    switch (type) {
    case PF_TYPE_BMP:
        return PageFileImportPageOpenBmp(source.c_str(), destination.c_str(), targetType, compression, option, append);
    case PF_TYPE_PCX:
        return PageFileImportPageOpenPcx(source.c_str(), destination.c_str(), targetType, compression, option, append);
    case PF_TYPE_FAX:
        return PageFileImportPageOpenFax(source.c_str(), destination.c_str(), targetType, compression, option, append,
                                         page, 0);
    case PF_TYPE_DOCUMENT:
        return PageFileImportPageOpenDocument(source.c_str(), destination.c_str(), targetType, compression, option,
                                              append, page);
    default:
        return PageFileImportPageOpenTiff(source.c_str(), destination.c_str(), targetType, compression, option, append,
                                          page);
    }
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
        const PFHANDLE reader = PageFileReadPagesOpen(path.c_str(), type, page, readOption, previous, appValue);
        if (const int16_t code = lastError(); code != PF_OK)
            return code;
        if (reader == 0)
            continue;
        previous = reader;
        while (PageFileReadStep(type, reader) != 0) {
            PageFileReadPagesYield(type, reader);
            if (const int16_t code = lastError(); code != PF_OK)
                return code;
        }
        if (const int16_t code = lastError(); code != PF_OK)
            return code;
        IKHANDLE bitmaps[1] = {0};
        const int32_t count = PageFileReadPagesEnd(type, reader, bitmaps, appValue);
        if (const int16_t code = lastError(); code != PF_OK) {
            for (int32_t i = 0; i < count && i < 1; ++i)
                IKFreeMemory(bitmaps[i]);
            return code;
        }
        for (int32_t i = 0; i < count && i < 1; ++i) {
            if (bitmaps[i] == 0)
                continue;
            const IKHANDLE page = bilevel(bitmaps[i]);
            // Fax pages are held coded: a page whose coding is damaged fails here, not when shown.
            if (page == 0 || IKGetImageBits(page, nullptr, 0) == 0) {
                if (page != 0)
                    IKFreeMemory(page);
                return PF_ERR_CORRUPT;
            }
            pages.push_back(std::make_unique<CPageImage>(page));
        }
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
    const PFHANDLE writer = PageFileWriteBitmapsOpen(bitmaps.data(), type, compression, 0,
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

int16_t GetCompression(const std::string& path, int& compression)
{
    compression = 0;
    PAGEFILEDOCUMENT* document = PageFileOpenDocument(path.c_str());
    if (document == nullptr) {
        const int16_t code = lastError();
        return code != PF_OK ? code : PF_ERR_OPEN;
    }
    compression = document->compression;
    PageFileCloseDocument(document);
    return PF_OK;
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
                     int compression, int option, bool& busy)
{
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
    int append = 0;
    for (const std::string& source : files) {
        const int type = GetFileType(source);
        if (type <= 0)
            return type < 0 ? static_cast<int16_t>(type) : int16_t{PF_ERR_OPEN};
        const int pages = CountPages(source, type);
        if (const int16_t code = lastError(); code != PF_OK)
            return code;
        static const ImportBegin begins[] = {nullptr, PageFileImportBeginBmp, PageFileImportBeginTiff,
                                             PageFileImportBeginPcx, PageFileImportBeginFax,
                                             PageFileImportBeginDocument};
        if (type < 1 || type > 5)
            return PF_ERR_OPEN;
        begins[type](pages);
        for (int page = 1; page <= pages; ++page) {
            const PFHANDLE import = importPage(type, source, destination, targetType, compression, option, append, page);
            if (const int16_t code = lastError(); code != PF_OK)
                return code;
            if (import == 0)
                continue;
            while (PageFileImportPageStep(import) != 0) {
            }
            const int16_t stepped = lastError();
            PageFileImportPageClose(import);
            if (stepped != PF_OK)
                return stepped;
            if (const int16_t code = lastError(); code != PF_OK)
                return code;
            append = 1;
        }
    }
    return lastError();
}

} // namespace viewer
