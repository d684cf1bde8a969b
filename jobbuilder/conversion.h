// Image conversion for the job builder: the conversion library "sendconvlib.dll" bound by name, the
// immediate conversion of a file, and the page-by-page conversion a job asks for before sending.
#pragma once

#include "imaging/sendconvlib.h"
#include "jobbuilder/imaging_binding.h"
#include "platform/library.h"

#include <memory>
#include <optional>
#include <string>

/// Paper names by index (0 "A3" … 16 "16KR") and compression names (0 "MMR", 1 "MH", 2 "MR").
inline constexpr int kPaperTypes = 17;
inline constexpr int kCompressionTypes = 3;
const char* PaperName(int paperType);
const char* CompressionName(int compressionType);

/// The paper a page of w x h pixels at r dots per inch is sent on.
const char* PaperFromSize(int w, int h, int r);

/// The conversion library's three functions. Counts as loaded only when the library loaded and all
/// three were found; a failed load is tried again on the next use.
class CConversionBinding {
public:
    /// Loads the library unless it is loaded already. True when it is loaded.
    bool Load();
    bool Loaded() const { return m_library != nullptr; }
    void Unload();

    /// SENDCONVLIB_Convert with the paths, names and a zeroed work area; a failure escaping the
    /// call counts as 999. The library's message, if any, lands in message.
    int Convert(const std::string& src, const std::string& dst, const char* paper, const char* compression,
                unsigned long xres, unsigned long yres, std::string* message = nullptr) const;
    /// SENDCONVLIB_Combine; a failure escaping the call counts as 999.
    int Combine(const std::string& page, const std::string& previous, const std::string& output) const;

private:
    std::shared_ptr<platform::Library> m_library; // shared: stays loaded while any binding holds it
    SENDCONVLIB_ConvertFn m_pfnConvert = nullptr;
    SENDCONVLIB_CombineFn m_pfnCombine = nullptr;
    SENDCONVLIB_SendFn m_pfnSend = nullptr;
};

/// What a job asked to be converted to before sending.
struct CConversionRequest {
    int paperType = 0;
    int compressionType = 0;
    int xResolution = 0;
    int yResolution = 0;
};

/// Converts every page of image into a new temporary file, page by page: each page is split out
/// with the imaging library, converted on the paper its size calls for, and joined to the pages
/// before it. Returns the new file's path; on failure every file it made is gone.
std::optional<std::string> ConvertBeforeSending(const CImagingBinding& imaging, CConversionBinding& conversion,
                                                const CConversionRequest& request, const std::string& image);
