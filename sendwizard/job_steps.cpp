// The preview steps (cover page, work file pages, header stamp, conversion) and the send steps
// (registration, flush) of each fax document.
#include "sendwizard/sheet_logic.h"

#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/known_folders.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/wizard_strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

using platform::com::Bstr;

namespace {

// Deletes the temporary files of a step unless the step kept them.
class StepFiles {
public:
    ~StepFiles()
    {
        for (const auto& path : m_paths)
            platform::removeFile(path);
    }
    const std::string& Add(const std::string& path)
    {
        m_paths.push_back(path);
        return path;
    }
    void KeepAll() { m_paths.clear(); }

private:
    std::vector<std::string> m_paths;
};

// A loaded page image, freed when it goes.
class PageImage {
public:
    PageImage(const std::string& path, int page)
    {
        const CImageKitTable& kit = ImageKit();
        if (kit.pfnTiffFileLoad)
            m_image = kit.pfnTiffFileLoad(path.c_str(), page, 0, "", "", "");
    }
    ~PageImage()
    {
        if (m_image && ImageKit().pfnFreeMemory)
            ImageKit().pfnFreeMemory(m_image);
    }
    PageImage(const PageImage&) = delete;
    PageImage& operator=(const PageImage&) = delete;
    IKHANDLE Get() const { return m_image; }

private:
    IKHANDLE m_image = 0;
};

// Appends an image as the next page of a job image (an empty file starts a new TIFF), MMR with the
// job tags.
bool AppendPage(const std::string& path, IKHANDLE image)
{
    const CImageKitTable& kit = ImageKit();
    return kit.pfnTiffFileSave && kit.pfnTiffFileSave(path.c_str(), image, IK_COMPRESSION_G4, 1, 1, kJobImageTags, 1, 0,
                                                      "", "", "") == 1;
}

// A component call's result: S_OK goes on; a negative result (a component error) ends the step
// without a log; anything else ends it with the call's text in the log.
enum class CallResult { Ok, Failed, Error };
CallResult Check(HRESULT hr) { return hr == S_OK ? CallResult::Ok : FAILED(hr) ? CallResult::Error : CallResult::Failed; }

// The reason of a failed component call: what the component said (the file, folder, queue or
// component and the system's reason), else the fallback.
std::string ComponentFailure(const std::string& fallback)
{
    std::string said = platform::com::takeErrorInfo();
    return said.empty() ? fallback : said;
}

// "FAILED - IQeltaJobTool::FlushJob()" as a reason: "IQeltaJobTool::FlushJob() failed".
std::string CallFailed(std::string_view text)
{
    constexpr std::string_view kPrefix = "FAILED - ";
    if (text.starts_with(kPrefix))
        text.remove_prefix(kPrefix.size());
    return std::string(text) + " failed";
}

// Why no temporary file could be made for a job image.
std::string NoTempFile()
{
    const std::string error = platform::systemErrorText(); // before anything else can change errno
    const auto folder = platform::knownFolder(platform::KnownFolder::Temp);
    return "no temporary file can be made in "
        + (folder ? platform::quotedName(*folder) : std::string("the temporary folder")) + ": " + error;
}

std::string PageOf(int page, const std::string& path)
{
    return "page " + std::to_string(page + 1) + " of " + platform::quotedName(path);
}

} // namespace

int CPSMainuiLogic::BuildCoverImage(int i)
{
    CFaxDocument* document = GetDocument(i);
    if (!document)
        return 0;
    StepFiles files;
    const std::string image = document->NewTempFile(1);
    if (image.empty())
        return Fail(NoTempFile());
    files.Add(image);
    if (document->m_bCover != 1) {
        files.KeepAll();
        return 1;
    }
    auto fail = [&](const char* text) {
        if (text)
            WriteStepLog(kCreateJobDataLog, text);
        document->m_strImagePath.clear();
        return Fail(
            ComponentFailure("the cover sheet " + platform::quotedName(document->m_strCoverPath) + " cannot be drawn"));
    };
    platform::com::initializeThread();
    platform::com::takeErrorInfo(); // nothing of an earlier call
    platform::com::Ptr<IQeltaCoverSheetTool> cover;
    if (FAILED(platform::com::createInstance(CLSID_QeltaCoverSheetTool, kQeltaCoverSheetToolProgId,
                                             CLSCTX_INPROC_SERVER, cover))
        || !cover)
        return fail("Failed CoCreateInstance");
    const CJobDestination* destination = document->GetFirstDestination();
    const Bstr name(destination ? destination->m_strName : std::string());
    const Bstr number(destination ? destination->m_strNumber : std::string());
    const Bstr memo(document->m_strMemo);
    const Bstr date(platform::formatLocalDate(document->m_CreationTime));
    const Bstr time(platform::formatLocalTime(document->m_CreationTime));
    const Bstr coverPath(document->m_strCoverPath);
    const Bstr imagePath(image);
    HRESULT hr = cover->put_bIsRequestStretch(1);
    if (SUCCEEDED(hr))
        hr = cover->CreateCoverSheetImageWithData(name.get(), number.get(), memo.get(), date.get(), time.get(),
                                                  m_nPageCount + 1, coverPath.get(), m_nXResolution, m_nYResolution,
                                                  imagePath.get());
    switch (Check(hr)) {
    case CallResult::Ok:
        files.KeepAll();
        return 1;
    case CallResult::Failed:
        return fail("Failed - IQeltaCoverSheetTool::CreateCoverSheetImageWithData()");
    case CallResult::Error:
        break;
    }
    return fail(nullptr);
}

int CPSMainuiLogic::AppendSourcePages(int i)
{
    CFaxDocument* document = GetDocument(i);
    if (!document || document->m_strImagePath.empty())
        return Fail("no fax document " + std::to_string(i));
    if (m_nPageCount <= 0)
        return Fail("the page file " + platform::quotedName(m_strFilePath) + " has no pages");
    const CImageKitTable& kit = ImageKit();
    for (int p = 0; p < m_nPageCount; ++p) {
        const PageImage page(m_strFilePath, p);
        // A page that does not load fails the job: a fax short of a page would go out as complete.
        // Its pixels must decode too (the image facts need them): a fax page is copied on as it is
        // coded, so damaged coding in the work file would otherwise reach the device.
        IKIMAGEINFO info{};
        if (!page.Get() || !kit.pfnGetImageType || kit.pfnGetImageType(&info, page.Get(), &info) == 0)
            return Fail(PageOf(p, m_strFilePath) + " cannot be read (it is missing or its coding is damaged)");
        errno = 0;
        if (!AppendPage(document->m_strImagePath, page.Get())) {
            const int error = errno; // 0 when the library failed in no system call
            return Fail(platform::withSystemError(
                PageOf(p, m_strFilePath) + " cannot be written to " + platform::quotedName(document->m_strImagePath),
                error));
        }
    }
    return 1;
}

int CPSMainuiLogic::StampDocumentPages(int i, int bFirst)
{
    CFaxDocument* document = GetDocument(i);
    if (!document || document->m_strImagePath.empty())
        return Fail("no fax document " + std::to_string(i));
    const int total = document->m_bCover == 1 ? m_nPageCount + 1 : m_nPageCount;
    StepFiles files;
    const std::string stamped = document->NewTempFile(0);
    if (stamped.empty())
        return Fail(NoTempFile());
    files.Add(stamped);
    std::string preview;
    if (bFirst) {
        preview = document->NewTempFile(0);
        if (preview.empty())
            return Fail(NoTempFile());
        files.Add(preview);
    }
    const CJobSummary* summary = GetJobSummary();
    for (int k = 0; k < total; ++k) {
        const PageImage page(document->m_strImagePath, k);
        if (!page.Get())
            return Fail(PageOf(k, document->m_strImagePath) + " cannot be read");
        if (summary && summary->m_HeaderFont)
            StampHeader(page.Get(), *summary, *summary->m_HeaderFont, k + 1, total); // a failed stamp leaves the page
        errno = 0;
        if (!AppendPage(stamped, page.Get()) || (bFirst && !AppendPage(preview, page.Get()))) {
            const int error = errno; // 0 when the library failed in no system call
            return Fail(platform::withSystemError(
                PageOf(k, document->m_strImagePath) + " cannot be written to a temporary file", error));
        }
    }
    files.KeepAll();
    if (bFirst) {
        if (!m_strPreviewImagePath.empty())
            platform::removeFile(m_strPreviewImagePath);
        m_strPreviewImagePath = preview;
    }
    document->DeleteFiles();
    document->m_strLogImagePath.clear();
    document->m_strImagePath = stamped;
    return 1;
}

int CPSMainuiLogic::StampHeader(uintptr_t image, const CJobSummary& summary, const LOGFONTA& font, int nPage,
                                int nTotal)
{
    if (summary.m_bHeader != 1)
        return 1;
    const std::string text = summary.ExpandHeaderMacros(nPage, nTotal);
    if (text.empty())
        return 1;
    const CImageKitTable& kit = ImageKit();
    IKIMAGEINFO info{};
    const int32_t width = kit.pfnGetImageType && kit.pfnGetImageType(&info, image, &info) != 0 ? info.width : 1024;
    const bool halfHeight = m_nXResolution == 200 && m_nYResolution == 100;
    const int32_t cell = std::abs(font.lfHeight);
    const IKRECT band{0, 0, width, halfHeight ? 4 * cell : 2 * cell};

    IKFONT attributes{};
    attributes.charSet = font.lfCharSet;
    // The face name ends at its NUL or at the end of its field, whichever comes first.
    const size_t faceLength = ::strnlen(font.lfFaceName, sizeof font.lfFaceName);
    std::memcpy(attributes.faceName, font.lfFaceName, std::min(faceLength, sizeof attributes.faceName - 1));
    const int points = cell * 72 / kHeaderScreenDpi;
    attributes.pointSize = static_cast<int16_t>(halfHeight ? 2 * points : points);
    attributes.bold = font.lfWeight >= 700 ? 1 : 0;
    attributes.italic = font.lfItalic ? 1 : 0;
    attributes.underline = font.lfUnderline ? 1 : 0;
    attributes.strikeOut = font.lfStrikeOut ? 1 : 0;
    attributes.one40 = attributes.one48 = attributes.one49 = 1;
    return ImageKitDrawText(band, image, band, attributes, text.c_str(), 1, 1, 2) == 1 ? 1 : 0;
}

int CPSMainuiLogic::ConvertDocumentImage(int i)
{
    CFaxDocument* document = GetDocument(i);
    if (!document || !m_pJobTool)
        return Fail(!document ? "no fax document " + std::to_string(i) : std::string("no job tool"));
    StepFiles files;
    const std::string converted = document->NewTempFile(0);
    if (converted.empty())
        return Fail(NoTempFile());
    files.Add(converted);
    const Bstr source(document->m_strImagePath), target(converted);
    const int compression = m_pJobSummary ? m_pJobSummary->m_nCompression : 0;
    // A failed conversion fails the step: the job would otherwise send a file that was never written.
    platform::com::takeErrorInfo(); // nothing of an earlier call
    if (m_pJobTool->ConvertJobImage(source.get(), target.get(), GetPaperIndex(), compression,
                                    static_cast<uint32_t>(m_nXResolution), static_cast<uint32_t>(m_nYResolution))
        != S_OK)
        return Fail(
            ComponentFailure("the pages of " + platform::quotedName(document->m_strImagePath) + " cannot be converted"));
    files.KeepAll();
    if (!document->m_strLogImagePath.empty())
        platform::removeFile(document->m_strLogImagePath);
    document->m_strLogImagePath = document->m_strImagePath;
    document->m_strImagePath = converted;
    return 1;
}

int CPSMainuiLogic::RegisterDocumentJob(int i)
{
    const CFaxDocument* document = GetDocument(i);
    const CJobSummary* summary = GetJobSummary();
    if (!document || !summary || !m_pJobTool)
        return Fail(!document ? "no fax document " + std::to_string(i) : !summary ? "no job summary" : "no job tool");
    IQeltaJobTool& job = *m_pJobTool.get();
    platform::com::takeErrorInfo(); // nothing of an earlier call
    auto step = [&](HRESULT hr, const char* text) {
        const CallResult result = Check(hr);
        if (result == CallResult::Failed)
            WriteStepLog(kSendJobDataLog, text);
        if (result != CallResult::Ok)
            Fail(ComponentFailure(CallFailed(text)));
        return result == CallResult::Ok;
    };
    job.CleanJob();
    const Bstr image(document->m_strImagePath), printer(m_strPrinter), user(summary->m_strUserName),
        userId(summary->m_strUserID),
        jobName(summary->m_strJobName.empty() ? WizardString(IDS_UNKNOWN_JOB) : summary->m_strJobName),
        logImage(document->m_strLogImagePath), empty("");
    if (!step(job.RegisterJobData(image.get(), printer.get(), user.get(), userId.get(), m_nModelType,
                                  summary->m_bNotification, jobName.get()),
              "FAILED - IQeltaJobTool::RegisterJobData()")
        || !step(job.RegisterLogData(logImage.get()), "FAILED - IQeltaJobTool::RegisterLogData()"))
        return 0;
    if (summary->m_bFiling == 1) {
        const Bstr folder(summary->m_strFolderName), folderPassword(summary->m_strFolderPassword),
            filePassword(summary->m_strFilePassword);
        if (!step(job.RegisterDocumentFiling2(summary->m_nFolderType, folder.get(), folderPassword.get(),
                                              filePassword.get()),
                  "FAILED - IQeltaJobTool::RegisterDocumentFiling2()"))
            return 0;
    }
    if (summary->m_bAccount == 1) {
        const Bstr account(summary->m_strAccountNumber);
        if (!step(job.RegisterAccountNumber(account.get(), empty.get()), "FAILED - IQeltaJobTool::RegisterAccountNumber()"))
            return 0;
    }
    if (summary->m_bHeader == 1 && !step(job.RegisterQeltaHeader(1), "FAILED - IQeltaJobTool::RegisterQeltaHeader()"))
        return 0;
    for (const CJobDestination& destination : document->m_Destinations) {
        const bool ifax = destination.m_nKind == kDestinationIFax;
        const Bstr name(destination.m_strName), number(destination.m_strNumber),
            subAddress(destination.m_strSubAddress), passCode(destination.m_strPassCode);
        if (!step(job.RegisterJobTarget(ifax ? 1 : 0, name.get(), number.get(), subAddress.get(), passCode.get(),
                                        ifax ? destination.m_bReceptionConfirm : destination.m_bFCode, empty.get()),
                  "FAILED - IQeltaJobTool::RegisterJobTarget()"))
            return 0;
    }
    return 1;
}

int CPSMainuiLogic::FlushDocumentJob(int i)
{
    if (!GetDocument(i) || !m_pJobTool)
        return Fail(!m_pJobTool ? std::string("no job tool") : "no fax document " + std::to_string(i));
    platform::com::takeErrorInfo(); // nothing of an earlier call
    if (m_pJobTool->FlushJob() == S_OK) // "FAILED - IQeltaJobTool::FlushJob()" goes nowhere
        return 1;
    return Fail(ComponentFailure(CallFailed("FAILED - IQeltaJobTool::FlushJob()")));
}
