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

// Creates an optional outside server on first use and keeps it; false when it cannot be had.
template <typename I>
bool EnsureServer(platform::com::Ptr<I>& server, const char* progId)
{
    if (server)
        return true;
    const ThreadInitialization initialized;
    return SUCCEEDED(platform::com::createInstance(progId, kInprocContext, server));
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
    // Without a sending log no job can be recorded, so none can be sent; the object still registers.
    platform::com::createInstance(CLSID_QeltaLogTool, kInprocContext, m_logTool);
    m_conversion.Load(); // tried again before every use
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
        // A page count below 1 would leave no spooler page to split the stream into.
        if (!m_job.m_bJobDataRegistered || !m_job.m_bDestinationRegistered || m_job.m_nPageCount <= 0)
            return S_FALSE;
        FixSpoolTime(m_job);
        // The log entry carries the name the device reports the job back under.
        const std::string jobName = m_job.JobName();
        const int32_t logId = RecordInLog(jobName);
        if (logId == 0)
            return S_FALSE;
        // Until the job has reached the device its entry goes again on every way out, so the log
        // never lists a fax that never left; a later try records the job afresh.
        UnsentEntry entry(*m_logTool.get(), logId);

        // The converted image is a file of this send alone, deleted when the send ends however it
        // ends; the record keeps the registered image, so a later try converts again from it.
        SendFile converted;
        if (m_job.m_bConversionRequested) {
            const CConversionRequest request{m_job.m_nConversionPaperType, m_job.m_nConversionCompressionType,
                                             m_job.m_nConversionXResolution, m_job.m_nConversionYResolution};
            auto path = m_imaging ? ConvertBeforeSending(*m_imaging, m_conversion, request, m_job.m_strImagePath)
                                  : std::nullopt;
            if (!path)
                return S_FALSE;
            converted.path = std::move(*path);
        }

        bool delivered = false;
        {
            CJobStream stream;
            if (BuildStream(jobName, stream, converted.path)) {
                auto target = CreateRedirectTarget(RedirectSetting());
                delivered = target ? DeliverToFile(stream, std::move(*target))
                                   : DeliverToPrinter(stream, m_job.m_strPrinterName, jobName, m_job.m_nPageCount);
            }
        }
        if (!delivered)
            return S_FALSE;
        entry.Keep();
        m_job.Reset();
        return S_OK;
    });
}

int32_t CQeltaJobTool::RecordInLog(const std::string& jobName)
{
    if (!m_logTool)
        return 0;
    return RecordJobInLog(*m_logTool.get(), m_job, jobName, [this](const std::string& plain, std::string& encoded) {
        return EncodePassword(plain, encoded);
    });
}

HRESULT CQeltaJobTool::RegisterJobTarget(int32_t lJobType, BSTR bszName, BSTR bszFAXNo, BSTR bszSubAddress,
                                         BSTR bszPassCode, int32_t lParams, BSTR /*bszReserved*/)
{
    return guardedCall([&]() -> HRESULT {
        if (lJobType != 0 && lJobType != 1)
            return S_FALSE;
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
            return S_FALSE;
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
            return S_FALSE;

        if (imagePath.empty() || !platform::pathExists(imagePath) || !m_imaging || !m_imaging->FileLibraryLoaded())
            return S_FALSE;
        IKFILEINFO info{};
        if (!m_imaging->m_pfnFileType || m_imaging->m_pfnFileType(imagePath.c_str(), 0, &info) != 1)
            return S_FALSE;
        const int pageCount = info.pageCount;

        // A job the "FileOutput" setting redirects to a file needs no print queue; should that file
        // not be creatable, the delivery falls back to the printer and fails there.
        if (RedirectSetting().empty()) {
            if (!OpenPrinterFor(printerName))
                return S_FALSE; // the reason is the thread's error information
        }
        if (lMfpType < 0 || lMfpType > 3)
            return S_FALSE;

        std::string encoded;
        const std::string password = ansiFromBstr(bszPassword);
        if (!password.empty() && !EncodePassword(password, encoded))
            return S_FALSE;
        if (!jobcheck::IsQuotableValue(encoded) || (mfp && !jobcheck::FitsQuotedLine("@PJL SET MFPPASSWORD=", encoded)))
            return S_FALSE;

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
    if (!EnsureServer(m_encTool, kEncToolProgId))
        return false;
    Bstr source(password);
    Bstr result;
    if (m_encTool->EncryptString(2, source.get(), result.out()) != S_OK)
        return false;
    encoded = result.ansi();
    // A non-empty password must never travel as an empty one.
    return !encoded.empty();
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
        return S_FALSE;
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
        if (!paper || !compression || !m_conversion.Load())
            return S_FALSE;
        return m_conversion.Convert(ansiFromBstr(bszSrcPath), ansiFromBstr(bszDestPath), paper, compression, dwXres, dwYres)
                       == 0
                   ? S_OK
                   : S_FALSE;
    });
}

HRESULT CQeltaJobTool::RegisterAccountNumber(BSTR bszAccountNumber, BSTR /*bszReserved*/)
{
    return guardedCall([&]() -> HRESULT {
        const std::string number = ansiFromBstr(bszAccountNumber);
        if (!platform::isDecimalDigits(number) || !jobcheck::FitsQuotedLine("@PJL SET ACCOUNTNUMBER=", number))
            return S_FALSE;
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
            return S_FALSE;
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
    if (!EnsureServer(m_digestTool, kQeltaMD5ToolProgId))
        return {};
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
