#include "jobbuilder/conversion.h"

#include "platform/files.h"
#include "platform/known_folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char* kPaperNames[kPaperTypes] = {"A3",    "B4",     "A4R",   "A4",    "B5",    "B5R",
                                                  "A5",    "A5R",    "85x11", "85x11R", "85x14", "11x17",
                                                  "55x85", "85x13",  "8K",    "16K",   "16KR"};
constexpr const char* kCompressionNames[kCompressionTypes] = {"MMR", "MH", "MR"};

constexpr int kFailedCall = 999;
constexpr size_t kPathBuffer = 260;

// The temporary files of one conversion; whatever is still listed is deleted at the end.
class TempFiles {
public:
    ~TempFiles()
    {
        for (const auto& path : m_paths)
            ::unlink(path.c_str());
    }
    std::optional<std::string> Make(const std::string& folder, const char* suffix = "")
    {
        auto path = platform::createTempFile(folder, "FAX", suffix);
        if (path)
            m_paths.push_back(*path);
        return path;
    }
    /// Keeps the file: it is no longer deleted at the end.
    void Keep(const std::string& path) { std::erase(m_paths, path); }

private:
    std::vector<std::string> m_paths;
};

// Moves a file over another. When both names are already one file, only the source name goes.
bool moveFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0 && errno != ENOENT)
        return false;
    return true;
}

} // namespace

const char* PaperName(int paperType)
{
    return paperType >= 0 && paperType < kPaperTypes ? kPaperNames[paperType] : nullptr;
}

const char* CompressionName(int compressionType)
{
    return compressionType >= 0 && compressionType < kCompressionTypes ? kCompressionNames[compressionType] : nullptr;
}

const char* PaperFromSize(int w, int h, int r)
{
    int a4 = 0, b4 = 0, a3 = 0;
    if (r == 200)
        a4 = 1728, b4 = 2048, a3 = 2432;
    else if (r == 400)
        a4 = 3456, b4 = 4096, a3 = 4864;
    else
        return "A4";
    if (w <= a4)
        return "A4";
    if (w <= b4)
        return "B4";
    if (w <= a3)
        return "A3";
    return h >= a3 ? "A4" : "A4R";
}

bool CConversionBinding::Load()
{
    if (m_library)
        return true;
    auto library = platform::Library::load("sendconvlib.dll");
    if (!library)
        return false;
    auto convert = library->function<SENDCONVLIB_ConvertFn>("SENDCONVLIB_Convert");
    auto combine = library->function<SENDCONVLIB_CombineFn>("SENDCONVLIB_Combine");
    auto send = library->function<SENDCONVLIB_SendFn>("SENDCONVLIB_Send");
    if (!convert || !combine || !send)
        return false;
    m_library = std::move(library);
    m_pfnConvert = convert;
    m_pfnCombine = combine;
    m_pfnSend = send;
    return true;
}

void CConversionBinding::Unload()
{
    m_pfnConvert = nullptr;
    m_pfnCombine = nullptr;
    m_pfnSend = nullptr;
    m_library.reset();
}

int CConversionBinding::Convert(const std::string& src, const std::string& dst, const char* paper,
                                const char* compression, unsigned long xres, unsigned long yres,
                                std::string* message) const
{
    // The library takes fixed 260-byte buffers; a longer path cannot be passed whole.
    if (!m_pfnConvert || src.size() >= kPathBuffer || dst.size() >= kPathBuffer)
        return kFailedCall;
    char work[SENDCONV_WORK_AREA] = {};
    int result = kFailedCall;
    try {
        result = m_pfnConvert(src.c_str(), dst.c_str(), paper, compression, xres, yres, work, 0);
    } catch (...) {
        result = kFailedCall;
    }
    if (message) {
        work[sizeof work - 1] = '\0';
        *message = work;
    }
    return result;
}

int CConversionBinding::Combine(const std::string& page, const std::string& previous, const std::string& output) const
{
    if (!m_pfnCombine)
        return kFailedCall;
    try {
        return m_pfnCombine(page.c_str(), previous.c_str(), output.c_str());
    } catch (...) {
        return kFailedCall;
    }
}

std::optional<std::string> ConvertBeforeSending(const CImagingBinding& imaging, CConversionBinding& conversion,
                                                const CConversionRequest& request, const std::string& image)
{
    const char* compression = CompressionName(request.compressionType);
    if (!PaperName(request.paperType) || !compression)
        return std::nullopt;
    if (!imaging.m_pfnFileType || !imaging.m_pfnTiffFileLoad || !imaging.m_pfnTiffFileSave
        || !imaging.m_pfnFreeMemory || !conversion.Load())
        return std::nullopt;
    IKFILEINFO info{};
    if (imaging.m_pfnFileType(image.c_str(), 0, &info) != 1 || info.pageCount <= 0)
        return std::nullopt;
    const int pages = info.pageCount;

    const auto folder = platform::knownFolder(platform::KnownFolder::Temp);
    if (!folder || !platform::createDirectories(*folder))
        return std::nullopt;
    TempFiles temp;
    // The result is a new file of its own, never one that was there before.
    const auto output = temp.Make(*folder, ".TMP");
    const auto pageFile = temp.Make(*folder);
    const auto convertedFile = temp.Make(*folder);
    const auto previousFile = temp.Make(*folder);
    if (!output || !pageFile || !convertedFile || !previousFile)
        return std::nullopt;

    static const char kTags[] = "Document\rDescription:\rPage:\rSoftware:\rDateTime:\rArtist:\r";
    for (int page = 0; page < pages; ++page) {
        const IKHANDLE handle = imaging.m_pfnTiffFileLoad(image.c_str(), page, 0, "", "", "");
        if (handle == 0)
            return std::nullopt;
        const int saved = imaging.m_pfnTiffFileSave(pageFile->c_str(), handle, IK_COMPRESSION_G4, 0, 1, kTags, 1, 0,
                                                    "", "", "");
        imaging.m_pfnFreeMemory(handle);
        if (saved != 1)
            return std::nullopt;

        IKFILEINFO pageInfo{};
        if (imaging.m_pfnFileType(pageFile->c_str(), 0, &pageInfo) != 1)
            return std::nullopt;
        const char* paper = PaperFromSize(pageInfo.width, pageInfo.height, pageInfo.resolution);
        if (conversion.Convert(*pageFile, *convertedFile, paper, compression,
                               static_cast<unsigned long>(request.xResolution),
                               static_cast<unsigned long>(request.yResolution))
            != 0)
            return std::nullopt;

        // Names are freed before files move onto them: a file renamed over another makes the file
        // system start writing it out at once, which these files of the moment never need.
        if (page == 0) {
            ::unlink(output->c_str());
            if (!moveFile(*convertedFile, *output))
                return std::nullopt;
        } else {
            // The pages so far move aside (no copy of them is made), and the library joins the
            // new page to them under the output name.
            ::unlink(previousFile->c_str());
            if (!moveFile(*output, *previousFile) || conversion.Combine(*convertedFile, *previousFile, *output) != 0)
                return std::nullopt;
        }
        ::unlink(pageFile->c_str());
        ::unlink(convertedFile->c_str());
    }
    temp.Keep(*output);
    return output;
}
