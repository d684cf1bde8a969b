#include "jobbuilder/job_tool.h"

#include "common/registry_helper.h"
#include "common/spool_time.h"
#include "jobbuilder/delivery.h"
#include "jobbuilder/job_log.h"
#include "jobbuilder/spool_time.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/text.h"

#include <unistd.h>

using platform::com::ansiFromBstr;
using platform::com::Bstr;

namespace {
constexpr const char* kEncToolProgId = "cryptotool.QeltaEncTool";
constexpr uint32_t kInprocContext = 23;

// The HKLM "FileOutput" path that redirects every job stream to a file; empty when jobs print.
std::string RedirectSetting()
{
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    return platform::nativePath(machine.ReadString(kProductSubkey, "FileOutput", ""));
}

// A file of one send, deleted when the send ends.
struct SendFile {
    SendFile() = default;
    SendFile(const SendFile&) = delete;
    SendFile& operator=(const SendFile&) = delete;
    ~SendFile()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
    std::string path;
};

// The sending-log entry of a job being sent: removed again unless the job reached the device.
class UnsentEntry {
public:
    UnsentEntry(IQeltaLogTool& log, int32_t id) : m_log(log), m_id(id) {}
    UnsentEntry(const UnsentEntry&) = delete;
    UnsentEntry& operator=(const UnsentEntry&) = delete;
    ~UnsentEntry()
    {
        if (m_id != 0)
            m_log.RemoveLogData(m_id);
    }
    void Keep() { m_id = 0; }

private:
    IQeltaLogTool& m_log;
    int32_t m_id;
};

// Initialises the component layer on the calling thread for one scope, balanced at its end.
class ThreadInitialization {
public:
    ThreadInitialization() { platform::com::initializeThread(); }
    ~ThreadInitialization() { platform::com::uninitializeThread(); }
    ThreadInitialization(const ThreadInitialization&) = delete;
    ThreadInitialization& operator=(const ThreadInitialization&) = delete;
};

// Creates an optional outside server on first use and keeps it; false (the reason is the
// thread's error information) when it cannot be had.
template <typename I>
bool EnsureServer(platform::com::Ptr<I>& server, const char* progId)
{
    if (server)
        return true;
    const ThreadInitialization initialized;
    return SUCCEEDED(platform::com::createInstance(progId, kInprocContext, server));
}

// Keeps reason as the thread's error information (what the caller's failure log shows); S_FALSE.
HRESULT Refused(std::string reason)
{
    platform::com::setErrorInfo(std::move(reason));
    return S_FALSE;
}

// The same, unless a call below already gave its reason.
HRESULT RefusedUnlessSaid(const std::string& reason)
{
    std::string said = platform::com::takeErrorInfo();
    return Refused(said.empty() ? reason : std::move(said));
}
} // namespace

CQeltaJobTool::CQeltaJobTool()
{
    m_job.Reset();
    m_imaging = CImagingBinding::Acquire();
    const ThreadInitialization initialized;
    // The notification-address server is optional: without it the job carries an empty address.
    if (SUCCEEDED(platform::com::createInstance(CLSID_ResultReceiverInfo, kInprocContext, m_receiverInfo)))
        m_receiverInfo->Refresh();
    // Without a sending log no job can be recorded, so none can be sent; the object still registers,
    // and a send gives the reason.
    platform::com::takeErrorInfo();
    if (FAILED(platform::com::createInstance(CLSID_QeltaLogTool, kQeltaLogToolProgId, kInprocContext, m_logTool)))
        m_strLogToolFailure = platform::com::takeErrorInfo();
    m_conversion.Load(); // tried again before every use
    platform::com::takeErrorInfo(); // what the optional parts said is no failure of the caller's
}

CQeltaJobTool::~CQeltaJobTool()
{
    m_job.Reset();
    m_imaging.reset();
    m_encTool.reset();
    m_digestTool.reset();
    m_logTool.reset();
    m_receiverInfo.reset();
    m_conversion.Unload();
}

HRESULT CQeltaJobTool::CleanJob()
{
    return guardedCall([&]() -> HRESULT {
        m_job.Reset();
        return S_OK;
    });
}

HRESULT CQeltaJobTool::FlushJob()
{
    return guardedCall([&]() -> HRESULT {
        if (!m_job.m_bJobDataRegistered)
            return Refused("the job tool holds no job: no page file was registered (RegisterJobData)");
        if (!m_job.m_bDestinationRegistered)
            return Refused("the job tool holds no destination for the job (RegisterJobTarget)");
        // A page count below 1 would leave no spooler page to split the stream into.
        if (m_job.m_nPageCount <= 0)
            return Refused("the page file " + platform::quotedName(m_job.m_strImagePath) + " has no pages");
        FixSpoolTime(m_job);
        // The log entry carries the name the device reports the job back under.
        const std::string jobName = m_job.JobName();
        const int32_t logId = RecordInLog(jobName);
        if (logId == 0)
            return S_FALSE; // the reason is the thread's error information
        // Until the job has reached the device its entry goes again on every way out, so the log
        // never lists a fax that never left; a later try records the job afresh.
        UnsentEntry entry(*m_logTool.get(), logId);

        // The converted image is a file of this send alone, deleted when the send ends however it
        // ends; the record keeps the registered image, so a later try converts again from it.
        SendFile converted;
        if (m_job.m_bConversionRequested) {
            const CConversionRequest request{m_job.m_nConversionPaperType, m_job.m_nConversionCompressionType,
                                             m_job.m_nConversionXResolution, m_job.m_nConversionYResolution};
            platform::com::takeErrorInfo();
            auto path = m_imaging ? ConvertBeforeSending(*m_imaging, m_conversion, request, m_job.m_strImagePath)
                                  : std::nullopt;
            if (!path)
                return RefusedUnlessSaid("the page file " + platform::quotedName(m_job.m_strImagePath)
                                         + " cannot be converted");
            converted.path = std::move(*path);
        }

        bool delivered = false;
        {
            CJobStream stream;
            if (!BuildStream(jobName, stream, converted.path))
                return S_FALSE; // the reason is the thread's error information
            auto target = CreateRedirectTarget(RedirectSetting());
            delivered = target ? DeliverToFile(stream, std::move(*target))
                               : DeliverToPrinter(stream, m_job.m_strPrinterName, jobName, m_job.m_nPageCount);
        }
        if (!delivered)
            return S_FALSE; // the reason is the thread's error information
        entry.Keep();
        m_job.Reset();
        return S_OK;
    });
}

int32_t CQeltaJobTool::RecordInLog(const std::string& jobName)
{
    if (!m_logTool) {
        const std::string why = m_strLogToolFailure.empty() ? "the sending log cannot be created" : m_strLogToolFailure;
        Refused("the job cannot be recorded in the sending log: " + why);
        return 0;
    }
    platform::com::takeErrorInfo();
    const int32_t id = RecordJobInLog(*m_logTool.get(), m_job, jobName,
                                      [this](const std::string& plain, std::string& encoded) {
                                          return EncodePassword(plain, encoded);
                                      });
    if (id == 0) {
        const std::string said = platform::com::takeErrorInfo();
        Refused("the job cannot be recorded in the sending log: "
                + (said.empty() ? std::string("the sending log refused the entry") : said));
    }
    return id;
}

HRESULT CQeltaJobTool::RegisterJobTarget(int32_t lJobType, BSTR bszName, BSTR bszFAXNo, BSTR bszSubAddress,
                                         BSTR bszPassCode, int32_t lParams, BSTR /*bszReserved*/)
{
    return guardedCall([&]() -> HRESULT {
        if (lJobType != 0 && lJobType != 1)
            return Refused("the destination kind " + std::to_string(lJobType) + " is unknown");
        auto destination = std::make_unique<CJobDestination>();
        destination->m_strNumber = ansiFromBstr(bszFAXNo);
        destination->m_strName = ansiFromBstr(bszName);
        destination->m_strSubAddress = ansiFromBstr(bszSubAddress);
        destination->m_strPassCode = ansiFromBstr(bszPassCode);
        destination->m_bIFax = lJobType == 1 ? 1 : 0;
        destination->m_bFCode = lJobType == 0 && lParams == 1 ? 1 : 0;
        destination->m_bReceptionConfirm = lJobType == 1 && lParams == 1 ? 1 : 0;
        // Numbers, sub-addresses and pass codes are written into the destination block between ';'
        // and '/' separators: a value holding either would change what the device reads. Only an
        // F-code destination carries its sub-address and pass code.
        const bool carriesCodes = destination->m_bFCode == 1;
        if (!jobcheck::IsDestinationField(destination->m_strNumber)
            || (carriesCodes
                && (!jobcheck::IsDestinationField(destination->m_strSubAddress)
                    || !jobcheck::IsDestinationField(destination->m_strPassCode)))
            || m_job.m_destinations.size() >= jobcheck::kMaxDestinations)
            return Refused("the destination " + platform::quotedName(destination->m_strNumber)
                           + " cannot be carried in the job (a number, sub-address or pass code holding ';' or '/', "
                             "or one destination too many)");
        m_job.m_destinations.push_back(std::move(destination));
        m_job.m_bDestinationRegistered = 1;
        return S_OK;
    });
}

HRESULT CQeltaJobTool::RegisterJobData(BSTR bszImagePath, BSTR bszPrinterName, BSTR bszUserName, BSTR bszPassword,
                                       int32_t lMfpType, int32_t bEnableRtn, BSTR bszDocumentName)
{
    return guardedCall([&]() -> HRESULT {
        const std::string imagePath = ansiFromBstr(bszImagePath);
        const std::string printerName = ansiFromBstr(bszPrinterName);
        const std::string userName = ansiFromBstr(bszUserName);
        const std::string documentName = ansiFromBstr(bszDocumentName);
        // Values that travel inside quoted PJL lines must not end the quotes or the line.
        // Only a model of type 3 carries the whole user name and the password.
        const bool mfp = lMfpType == 3;
        if (!jobcheck::IsQuotableValue(printerName) || !jobcheck::IsQuotableValue(userName)
            || !jobcheck::IsQuotableValue(documentName)
            || (mfp && !jobcheck::FitsQuotedLine("@PJL SET MFPUSERNAME=", userName)))
            return Refused("the printer name, user name or document name cannot be carried in the job stream "
                           "(a quotation mark, a control character, or too long)");

        if (imagePath.empty() || !platform::pathExists(imagePath))
            return Refused("the page file " + platform::quotedName(imagePath) + " is not there");
        if (!m_imaging || !m_imaging->FileLibraryLoaded() || !m_imaging->m_pfnFileType)
            return Refused("the imaging library IK6FILE.DLL cannot be loaded");
        IKFILEINFO info{};
        if (m_imaging->m_pfnFileType(imagePath.c_str(), 0, &info) != 1)
            return Refused("the page file " + platform::quotedName(imagePath) + " is not a fax image");
        const int pageCount = info.pageCount;

        // A job the "FileOutput" setting redirects to a file needs no print queue; should that file
        // not be creatable, the delivery falls back to the printer and fails there.
        if (RedirectSetting().empty()) {
            if (!OpenPrinterFor(printerName))
                return S_FALSE; // the reason is the thread's error information
        }
        if (lMfpType < 0 || lMfpType > 3)
            return Refused("the model type " + std::to_string(lMfpType) + " is unknown");

        std::string encoded;
        const std::string password = ansiFromBstr(bszPassword);
        if (!password.empty() && !EncodePassword(password, encoded))
            return S_FALSE; // the reason is the thread's error information
        if (!jobcheck::IsQuotableValue(encoded) || (mfp && !jobcheck::FitsQuotedLine("@PJL SET MFPPASSWORD=", encoded)))
            return Refused("the encoded password cannot be carried in the job stream");

        m_job.m_nPageCount = pageCount;
        m_job.m_strImagePath = imagePath;
        m_job.m_strPrinterName = printerName;
        m_job.m_strUserName = userName;
        m_job.m_strPassword = encoded;
        m_job.m_nModelType = lMfpType;
        m_job.m_bJobEndNotification = bEnableRtn;
        m_job.m_strDocumentName = documentName;
        m_job.m_bJobDataRegistered = 1;
        return S_OK;
    });
}

bool CQeltaJobTool::EncodePassword(const std::string& password, std::string& encoded)
{
    if (!EnsureServer(m_encTool, kEncToolProgId)) {
        RefusedUnlessSaid("the component " + std::string(kEncToolProgId) + " cannot be created");
        return false;
    }
    Bstr source(password);
    Bstr result;
    if (m_encTool->EncryptString(2, source.get(), result.out()) != S_OK) {
        RefusedUnlessSaid("the component " + std::string(kEncToolProgId) + " cannot encode a password");
        return false;
    }
    encoded = result.ansi();
    // A non-empty password must never travel as an empty one.
    if (encoded.empty()) {
        Refused("the component " + std::string(kEncToolProgId) + " encoded a password as nothing");
        return false;
    }
    return true;
}

HRESULT CQeltaJobTool::RegisterFiling(int32_t lFolderType, BSTR bszFolderName, BSTR bszFolderPassword,
                                      BSTR bszFilePassword)
{
    const std::string folderName = ansiFromBstr(bszFolderName);
    const std::string folderPassword = ansiFromBstr(bszFolderPassword);
    const std::string filePassword = ansiFromBstr(bszFilePassword);
    if (lFolderType < 0 || lFolderType > 2 || !platform::isDecimalDigits(folderPassword) || !platform::isDecimalDigits(filePassword)
        || !jobcheck::IsQuotableValue(folderName)
        || (lFolderType == 1 && !jobcheck::FitsQuotedLine("@PJL SET FILINGFOLDERPATH=", folderName)))
        return Refused("the document filing folder or its pass codes cannot be carried in the job");
    m_job.m_nFilingFolderType = lFolderType;
    m_job.m_strFilingFolderName = folderName;
    m_job.m_strFilingFolderPassword = folderPassword;
    m_job.m_strFilingFilePassword = filePassword;
    m_job.m_bFiling = 1;
    return S_OK;
}

HRESULT CQeltaJobTool::RegisterDocumentFiling(int32_t lFolderType, BSTR bszFolderName, BSTR bszPassword)
{
    return guardedCall([&]() -> HRESULT {
        return RegisterFiling(lFolderType, bszFolderName, bszPassword, nullptr);
    });
}

HRESULT CQeltaJobTool::RegisterDocumentFiling2(int32_t lFolderType, BSTR bszFolderName, BSTR bszFolderPassword,
                                               BSTR bszFilePassword)
{
    return guardedCall([&]() -> HRESULT {
        return RegisterFiling(lFolderType, bszFolderName, bszFolderPassword, bszFilePassword);
    });
}

HRESULT CQeltaJobTool::ConvertJobImage(BSTR bszSrcPath, BSTR bszDestPath, int32_t lPaperSize,
                                       int32_t lCompressionType, uint32_t dwXres, uint32_t dwYres)
{
    return guardedCall([&]() -> HRESULT {
        const char* paper = PaperName(lPaperSize);
        const char* compression = CompressionName(lCompressionType);
        if (!paper || !compression)
            return Refused("the conversion asked for is unknown (paper " + std::to_string(lPaperSize) + ", compression "
                           + std::to_string(lCompressionType) + ")");
        if (!m_conversion.Load())
            return S_FALSE; // the reason is the thread's error information
        const std::string source = ansiFromBstr(bszSrcPath);
        std::string message;
        const int result = m_conversion.Convert(source, ansiFromBstr(bszDestPath), paper, compression, dwXres, dwYres,
                                                &message);
        if (result == 0)
            return S_OK;
        return Refused("the page file " + platform::quotedName(source) + " cannot be converted to " + paper + " "
                       + compression + " at " + std::to_string(dwXres) + " x " + std::to_string(dwYres)
                       + " dpi: the conversion library answered " + std::to_string(result)
                       + (message.empty() ? std::string() : " (" + message + ")"));
    });
}

HRESULT CQeltaJobTool::RegisterAccountNumber(BSTR bszAccountNumber, BSTR /*bszReserved*/)
{
    return guardedCall([&]() -> HRESULT {
        const std::string number = ansiFromBstr(bszAccountNumber);
        if (!platform::isDecimalDigits(number) || !jobcheck::FitsQuotedLine("@PJL SET ACCOUNTNUMBER=", number))
            return Refused("the account number is not a number of digits the job can carry");
        m_job.m_strAccountNumber = number;
        m_job.m_bAccountNumber = 1;
        return S_OK;
    });
}

HRESULT CQeltaJobTool::RequestImageConverBeforeSending(int nPaperType, int nCompressionType, int32_t lXResolution,
                                                       int32_t lYResolution)
{
    return guardedCall([&]() -> HRESULT {
        if (nPaperType < 0 || nPaperType >= kPaperTypes || nCompressionType < 0 || nCompressionType >= kCompressionTypes)
            return S_FALSE;
        m_job.m_nConversionPaperType = nPaperType;
        m_job.m_nConversionCompressionType = nCompressionType;
        m_job.m_nConversionXResolution = lXResolution;
        m_job.m_nConversionYResolution = lYResolution;
        m_job.m_bConversionRequested = 1;
        return S_OK;
    });
}

HRESULT CQeltaJobTool::RegisterLogData(BSTR bszLogImagePath)
{
    return guardedCall([&]() -> HRESULT {
        const std::string path = ansiFromBstr(bszLogImagePath);
        if (path.empty() || !platform::pathExists(path))
            return Refused("the log image " + platform::quotedName(path) + " is not there");
        m_job.m_strLogImagePath = path;
        m_job.m_bLogImageRegistered = 1;
        return S_OK;
    });
}

HRESULT CQeltaJobTool::RegisterQeltaHeader(int32_t bHeader)
{
    return guardedCall([&]() -> HRESULT {
        m_job.m_nDriverHeader = bHeader;
        return S_OK;
    });
}

std::string CQeltaJobTool::Digest(const std::string& text)
{
    if (!EnsureServer(m_digestTool, kQeltaMD5ToolProgId)) {
        platform::com::takeErrorInfo(); // optional: the stream carries no digests
        return {};
    }
    Bstr source(text);
    Bstr digest;
    if (FAILED(m_digestTool->MakeDigest(source.get(), digest.out())))
        return {};
    return digest.ansi();
}

std::string CQeltaJobTool::NotificationAddress()
{
    if (!m_receiverInfo)
        return {};
    Bstr port, address;
    if (m_receiverInfo->GetReceiverAddress(port.out(), address.out()) != S_OK || port.ansi().empty()
        || address.ansi().empty())
        return {};
    return address.ansi() + ":" + port.ansi();
}

bool CQeltaJobTool::BuildStream(const std::string& jobName, CJobStream& stream, const std::string& imagePath)
{
    FixSpoolTime(m_job);
    CJobStreamInputs inputs;
    inputs.computerName = platform::computerName();
    inputs.notificationAddress = NotificationAddress();
    inputs.spoolTimeText = FormatSpoolTimeText(m_job.m_spoolTime);
    inputs.digest = [this](const std::string& text) { return Digest(text); };
    inputs.imagePath = imagePath;
    return BuildJobStream(m_job, jobName, inputs, stream);
}

namespace {
const platform::com::ServerClass kClasses[] = {
    {CLSID_QeltaJobTool, "QeltaJobTool Class", kQeltaJobToolProgIdVersion, kQeltaJobToolProgId, "Apartment",
     &platform::com::createObject<CQeltaJobTool>},
};
} // namespace

QELTA_SERVER_EXPORTS(kClasses)
