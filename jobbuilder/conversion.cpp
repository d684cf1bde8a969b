#include "jobbuilder/conversion.h"

#include "platform/com.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/text.h"

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
    std::optional<std::string> Make(const std::string& folder, const char* suffix, std::error_code& error)
    {
        auto path = platform::createTempFile(folder, "FAX", suffix, &error);
        if (path)
            m_paths.push_back(*path);
        return path;
    }
    /// Keeps the file: it is no longer deleted at the end.
    void Keep(const std::string& path) { std::erase(m_paths, path); }

private:
    std::vector<std::string> m_paths;
};

// Keeps why a conversion failed as the thread's error information; nothing converted.
std::nullopt_t Refuse(const std::string& reason)
{
    platform::com::setErrorInfo(reason);
    return std::nullopt;
}

std::string PageOf(int page, const std::string& path)
{
    return "page " + std::to_string(page + 1) + " of " + platform::quotedName(path);
}

std::string Named(const std::string& name) { return platform::quotedName(name); }

// Moves a file over another. When both names are already one file, only the source name goes.
// 0, or the errno of the call that failed.
int moveFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return errno;
    if (::unlink(from.c_str()) != 0 && errno != ENOENT)
        return errno;
    return 0;
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
    if (!library) {
        platform::com::setErrorInfo("the conversion library sendconvlib.dll cannot be loaded: "
                                    + platform::Library::lastError());
        return false;
    }
    auto convert = library->function<SENDCONVLIB_ConvertFn>("SENDCONVLIB_Convert");
    auto combine = library->function<SENDCONVLIB_CombineFn>("SENDCONVLIB_Combine");
    auto send = library->function<SENDCONVLIB_SendFn>("SENDCONVLIB_Send");
    if (!convert || !combine || !send) {
        platform::com::setErrorInfo("the conversion library " + Named(library->path()) + " lacks a conversion function");
        return false;
    }
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
        return Refuse("the conversion asked for is unknown (paper " + std::to_string(request.paperType)
                      + ", compression " + std::to_string(request.compressionType) + ")");
    if (!imaging.m_pfnFileType || !imaging.m_pfnTiffFileLoad || !imaging.m_pfnTiffFileSave || !imaging.m_pfnFreeMemory)
        return Refuse("the imaging libraries IK6COM.DLL and IK6FILE.DLL cannot be loaded");
    if (!conversion.Load())
        return std::nullopt; // the reason is the thread's error information
    IKFILEINFO info{};
    if (imaging.m_pfnFileType(image.c_str(), 0, &info) != 1 || info.pageCount <= 0)
        return Refuse("the page file " + Named(image) + " cannot be converted: it is not a fax image with pages");
    const int pages = info.pageCount;

    const auto folder = platform::knownFolder(platform::KnownFolder::Temp);
    std::error_code error;
    if (!folder)
        return Refuse("no temporary folder is known");
    if (!platform::createDirectories(*folder, &error))
        return Refuse(platform::withSystemError("the temporary folder " + Named(*folder) + " cannot be made",
                                                error.value()));
    TempFiles temp;
    // The result is a new file of its own, never one that was there before.
    std::optional<std::string> output, pageFile, convertedFile, previousFile;
    if (!(output = temp.Make(*folder, ".TMP", error)) || !(pageFile = temp.Make(*folder, "", error))
        || !(convertedFile = temp.Make(*folder, "", error)) || !(previousFile = temp.Make(*folder, "", error)))
        return Refuse(platform::withSystemError("no temporary file for the conversion can be made in " + Named(*folder),
                                                error.value()));

    static const char kTags[] = "Document\rDescription:\rPage:\rSoftware:\rDateTime:\rArtist:\r";
    for (int page = 0; page < pages; ++page) {
        const IKHANDLE handle = imaging.m_pfnTiffFileLoad(image.c_str(), page, 0, "", "", "");
        if (handle == 0)
            return Refuse(PageOf(page, image) + " cannot be converted: it cannot be read");
        errno = 0;
        const int saved = imaging.m_pfnTiffFileSave(pageFile->c_str(), handle, IK_COMPRESSION_G4, 0, 1, kTags, 1, 0,
                                                    "", "", "");
        const int saveError = saved != 1 ? errno : 0; // 0 when the library failed in no system call
        imaging.m_pfnFreeMemory(handle);
        if (saved != 1)
            return Refuse(platform::withSystemError(
                PageOf(page, image) + " cannot be converted: it cannot be written to " + Named(*pageFile), saveError));

        IKFILEINFO pageInfo{};
        if (imaging.m_pfnFileType(pageFile->c_str(), 0, &pageInfo) != 1)
            return Refuse(PageOf(page, image) + " cannot be converted: its copy " + Named(*pageFile) + " cannot be read");
        const char* paper = PaperFromSize(pageInfo.width, pageInfo.height, pageInfo.resolution);
        std::string message;
        if (const int result = conversion.Convert(*pageFile, *convertedFile, paper, compression,
                                                  static_cast<unsigned long>(request.xResolution),
                                                  static_cast<unsigned long>(request.yResolution), &message);
            result != 0)
            return Refuse(PageOf(page, image) + " (" + std::to_string(pageInfo.width) + " x "
                          + std::to_string(pageInfo.height) + " pixels, " + paper + ") cannot be converted to "
                          + compression + " at " + std::to_string(request.xResolution) + " x "
                          + std::to_string(request.yResolution) + " dpi: the conversion library answered "
                          + std::to_string(result) + (message.empty() ? std::string() : " (" + message + ")"));

        // Names are freed before files move onto them: a file renamed over another makes the file
        // system start writing it out at once, which these files of the moment never need.
        if (page == 0) {
            ::unlink(output->c_str());
            if (const int moveError = moveFile(*convertedFile, *output))
                return Refuse(platform::withSystemError(
                    "the converted " + PageOf(page, image) + " cannot be moved to " + Named(*output), moveError));
        } else {
            // The pages so far move aside (no copy of them is made), and the library joins the
            // new page to them under the output name.
            ::unlink(previousFile->c_str());
            if (const int moveError = moveFile(*output, *previousFile))
                return Refuse(platform::withSystemError("the converted pages of " + Named(image) + " cannot be moved to "
                                                            + Named(*previousFile),
                                                        moveError));
            if (const int result = conversion.Combine(*convertedFile, *previousFile, *output); result != 0)
                return Refuse("the converted " + PageOf(page, image)
                              + " cannot be joined to the pages before it: the conversion library answered "
                              + std::to_string(result));
        }
        ::unlink(pageFile->c_str());
        ::unlink(convertedFile->c_str());
    }
    temp.Keep(*output);
    return output;
}
