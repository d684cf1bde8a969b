#include "sample/sample_run.h"

#include "common/data_folders.h"
#include "common/registry_helper.h"
#include "cover/model/cover_file.h"
#include "devicelist/devicelist.h"
#include "pagewriter/pagewriter.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/state.h"
#include "phonebook/dialogs/picker_phone_book.h"
#include "phonebook/dialogs/sheet_logic.h"
#include "phonebook/store/phone_book.h"
#include "sendlog/log_store.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/sheet_logic.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>

namespace {

constexpr const char* kSampleCover = "Sample.TQC";

// The sample cover sheet: a title, the recipient's name and number, the date, the description and
// the page count, in the face every machine of the suite has.
const std::vector<std::string> kSampleCoverLines = {
    "StaticText,560,160,620,80,DejaVu Sans,67,700,0,0,0,0,Fax transmission",
    "DrawingLine,100,290,1528,0,0,3",
    "StaticText,100,340,220,50,DejaVu Sans,39,700,0,0,0,0,To:",
    "NAME,340,340,900,50,DejaVu Sans,39,400,0,0,0,0,",
    "StaticText,100,410,220,50,DejaVu Sans,39,700,0,0,0,0,Fax:",
    "FAX,340,410,900,50,DejaVu Sans,39,400,0,0,0,0,",
    "StaticText,100,480,220,50,DejaVu Sans,39,700,0,0,0,0,Pages:",
    "Page,340,480,300,50,DejaVu Sans,39,400,0,0,0,0,",
    "Date,1300,480,300,50,DejaVu Sans,33,400,0,0,0,0,",
    "DrawingFrame,100,600,1528,700,6,2,0",
    "Memo,130,630,1468,640,DejaVu Sans,33,400,0,0,0,0,",
};

// ---- the sample pages ----

// A 1-bit page, rows of whole bytes, bit 1 white (the page writer's photometric).
class CSamplePage {
public:
    CSamplePage(uint32_t nWidth, uint32_t nHeight)
        : m_nWidth(nWidth), m_nHeight(nHeight), m_nRowBytes((nWidth + 7) / 8), m_Bits(m_nRowBytes * nHeight, 0xFF)
    {
    }
    // Blackens a rectangle, cut to the page.
    void Fill(int nLeft, int nTop, int nWidth, int nHeight)
    {
        const int right = std::min<int>(nLeft + nWidth, static_cast<int>(m_nWidth));
        const int bottom = std::min<int>(nTop + nHeight, static_cast<int>(m_nHeight));
        for (int y = std::max(nTop, 0); y < bottom; ++y)
            for (int x = std::max(nLeft, 0); x < right; ++x)
                m_Bits[static_cast<size_t>(y) * m_nRowBytes + static_cast<size_t>(x) / 8] &=
                    static_cast<uint8_t>(~(0x80u >> (x % 8)));
    }
    // A frame of a given line width.
    void Frame(int nLeft, int nTop, int nWidth, int nHeight, int nLine)
    {
        Fill(nLeft, nTop, nWidth, nLine);
        Fill(nLeft, nTop + nHeight - nLine, nWidth, nLine);
        Fill(nLeft, nTop, nLine, nHeight);
        Fill(nLeft + nWidth - nLine, nTop, nLine, nHeight);
    }
    // A decimal figure of seven bars, nSize tall and nSize / 2 wide.
    void Figure(int nDigit, int nLeft, int nTop, int nSize)
    {
        // Bars a (top) to g (middle) of each figure 0-9, a in the lowest bit.
        static constexpr uint8_t kBars[] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
        const int w = nSize / 2, h = nSize / 2, t = std::max(nSize / 10, 1);
        const uint8_t bars = kBars[nDigit % 10];
        if (bars & 0x01) Fill(nLeft, nTop, w, t);                  // a
        if (bars & 0x02) Fill(nLeft + w - t, nTop, t, h);          // b
        if (bars & 0x04) Fill(nLeft + w - t, nTop + h, t, h);      // c
        if (bars & 0x08) Fill(nLeft, nTop + 2 * h - t, w, t);      // d
        if (bars & 0x10) Fill(nLeft, nTop + h, t, h);              // e
        if (bars & 0x20) Fill(nLeft, nTop, t, h);                  // f
        if (bars & 0x40) Fill(nLeft, nTop + h - t / 2, w, t);      // g
    }
    const std::vector<uint8_t>& Bits() const { return m_Bits; }

private:
    uint32_t m_nWidth, m_nHeight;
    size_t m_nRowBytes;
    std::vector<uint8_t> m_Bits;
};

// One page: a frame, a letterhead bar, the page number in large figures and lines standing for
// text, whose lengths differ from page to page.
CSamplePage MakeSamplePage(int nPage, uint32_t nWidth, uint32_t nHeight)
{
    CSamplePage page(nWidth, nHeight);
    const int w = static_cast<int>(nWidth), h = static_cast<int>(nHeight);
    page.Frame(80, 80, w - 160, h - 160, 6);
    page.Fill(160, 160, w - 320, 60);
    const int size = 360, figureWidth = size / 2 + size / 8;
    const std::string number = std::to_string(nPage);
    int left = (w - figureWidth * static_cast<int>(number.size())) / 2;
    for (char digit : number) {
        page.Figure(digit - '0', left, 320, size);
        left += figureWidth;
    }
    uint32_t seed = 2654435761u * static_cast<uint32_t>(nPage);
    for (int y = 820; y + 16 < h - 200; y += 56) {
        seed = seed * 1664525u + 1013904223u;
        const int length = (w - 320) / 2 + static_cast<int>(seed >> 8) % ((w - 320) / 2);
        page.Fill(160, y, length, 16);
    }
    return page;
}

bool Fail(std::string& strError, std::string text)
{
    strError = std::move(text);
    return false;
}

// Writes a text setting and reads it back: a value the settings cannot keep fails here.
bool WriteSetting(HKEY hive, const char* name, const std::string& value, std::string& strError)
{
    const CRegistryHelper settings(hive, kProductKeyPrefix);
    if (!settings.WriteString(kProductSubkey, name, value) || settings.ReadString(kProductSubkey, name, "") != value)
        return Fail(strError, std::string("cannot keep the setting \"") + name + "\" = \"" + value + "\"");
    return true;
}

// The job stream files there are: the job builder writes P, else the first free of P.0 to P.255.
std::vector<std::string> StreamFiles(const CSampleRun& run)
{
    std::vector<std::string> files;
    for (int n = -1; n <= 255; ++n) {
        const std::string path = n < 0 ? run.m_strStreamFile : run.m_strStreamFile + "." + std::to_string(n);
        if (platform::pathExists(path))
            files.push_back(path);
    }
    return files;
}

// The ids of the sending log's entries, oldest first.
std::vector<int32_t> LogEntryIds()
{
    CQeltaLog log;
    std::vector<int32_t> ids;
    for (int32_t i = 0, count = log.GetLogCount2(); i < count; ++i)
        if (const int32_t id = log.GetLogIdAt(i); id != 0)
            ids.push_back(id);
    return ids;
}

// The folder the wizard beside this program writes its step failure logs to.
std::string WizardJobFolder()
{
    CPSMainuiLogic sheet;
    sheet.ReadTagInfo(platform::parentPath(platform::programPath()));
    return sheet.GetJobFolder();
}

// Notes the stream files and log entries there are before a run, one a line; the file's time is
// the run's start.
bool WriteRunMark(const CSampleRun& run)
{
    std::string mark;
    for (const std::string& stream : StreamFiles(run))
        mark += "stream " + stream + "\n";
    for (const int32_t id : LogEntryIds())
        mark += "log " + std::to_string(id) + "\n";
    return platform::writeFileAtomic(run.m_strRunMark, mark);
}

} // namespace

std::string SamplePhoneBookPath()
{
    const std::string folder = GetPhoneBookDirectory();
    return folder.empty() ? std::string() : platform::joinPath(folder, std::string(kSampleBookName) + ".xml");
}

bool WriteSamplePhoneBook(std::string& strError)
{
    const std::string path = SamplePhoneBookPath();
    if (path.empty()) {
        strError = "no phone book folder";
        return false;
    }
    if (platform::pathExists(path))
        return true;
    auto address = [](int kind, const char* name, const char* where, bool favorite) {
        AddressValues values;
        values.kind = kind;
        values.name = name;
        values.initial = std::string(1, name[0]);
        (kind == PB_RECORD_IFAX ? values.mailAddress : values.faxNumber) = where;
        values.favorite = favorite;
        return values;
    };
    const AddressValues addresses[] = {
        address(PB_RECORD_FAX, kSampleBookFaxName, "0301234567", true),
        address(PB_RECORD_FAX, "Bruno Costa", "0409876543", false),
        address(PB_RECORD_FAX, "Head office", "0891112223", true),
        address(PB_RECORD_IFAX, "Scan desk", "scan@example.com", false),
    };
    CPickerPhoneBook book;
    bool ok = book.Initiate(path, 0) == 1;
    std::vector<int32_t> ids;
    for (const AddressValues& values : addresses) {
        int32_t id = 0;
        ok = ok && StoreAddressRecord(book, values, kRootFolderId, id, 0) == 1;
        ids.push_back(id);
    }
    int32_t group = 0;
    ok = ok && StoreGroupRecord(book, "Sales team", false, {ids[0], ids[1]}, kRootFolderId, group, 0) == 1;
    // A folder of its own, with a fax record that has a sub-address and pass code.
    int32_t folder = 0, customer = 0;
    AddressValues fcode = address(PB_RECORD_FAX, "Delta Print", "0715554443", false);
    fcode.useFCode = true;
    fcode.subAddress = "12";
    fcode.passCode = "3456";
    ok = ok && book.CreateNewFolder(kSampleBookFolder, folder) == 1 &&
         StoreAddressRecord(book, fcode, folder, customer, 0) == 1 &&
         StoreAddressRecord(book, address(PB_RECORD_IFAX, "Echo Labs", "fax@echo.example", false), folder, customer,
                            0) == 1;
    if (!ok) {
        book.Reset();
        platform::removeFile(path);
        strError = "cannot write the sample phone book " + path;
    }
    return ok;
}

std::vector<std::string> RegisterServerLibraries(std::span<const char* const> names)
{
    std::vector<std::string> failed;
    for (const char* name : names) {
        const auto library = platform::Library::load(name);
        if (!library) {
            failed.push_back(std::string(name) + ": " + platform::Library::lastError());
            continue;
        }
        const auto registerFn = library->function<DllRegisterServerFn>("DllRegisterServer");
        if (!registerFn || registerFn() != S_OK)
            failed.push_back(std::string(name) + ": DllRegisterServer failed");
    }
    return failed;
}

std::optional<CSampleRun> SampleRunPaths()
{
    const auto root = platform::stateRoot();
    if (!root)
        return std::nullopt;
    CSampleRun run;
    run.m_strSpoolFolder = *root + "/spool";
    run.m_strStreamFile = *root + "/out/fax-job.pjl";
    run.m_strLogFolder = *root + "/log";
    run.m_strCoverFolder = *root + "/covers/";
    run.m_strRunMark = *root + "/run-start.txt";
    return run;
}

namespace {

// The folders, the servers, the settings, the sample cover sheet and phone book of a run.
bool PrepareSampleState(const CSampleRun* run, std::string& strError)
{
    if (!run) {
        strError = std::string(platform::kStateRootVariable) + " is not set";
        return false;
    }
    // The run's work files, job streams, sending log and cover sheets hold the fax numbers, pages
    // and pass codes: they lie outside the user's private area, and are kept from others all the same.
    for (const std::string& folder : {run->m_strSpoolFolder, platform::parentPath(run->m_strStreamFile),
                                      run->m_strLogFolder, run->m_strCoverFolder}) {
        std::error_code error;
        if (!platform::keepFolderPrivate(folder, &error)) {
            strError = "cannot make the folder " + folder + " this user's alone: " + error.message();
            return false;
        }
    }
    if (const auto failed = RegisterJobServers(); !failed.empty()) {
        strError = "cannot register " + failed.front();
        return false;
    }
    // The wizard takes the printer of its command line unless the driver environment program chose
    // another for this state folder (scripts/run-envsetup.sh), and the job builder writes the job
    // stream to "FileOutput" instead of a print queue.
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    constexpr uint32_t kUnset = 0xFFFFFFFFu;
    if (user.ReadDword(kProductSubkey, kUseUserDefinedPrinterValue, kUnset) == kUnset
        && !user.WriteDword(kProductSubkey, kUseUserDefinedPrinterValue, 0)) {
        strError = "cannot write the setting \"" + std::string(kUseUserDefinedPrinterValue) + "\"";
        return false;
    }
    // The wizard starts the cover sheet editor and the viewer (Zoom) beside it by these names.
    if (!WriteSetting(HKEY_LOCAL_MACHINE, "FileOutput", run->m_strStreamFile, strError)
        || !WriteSetting(HKEY_LOCAL_MACHINE, "CvrEditor", "covereditor", strError)
        || !WriteSetting(HKEY_LOCAL_MACHINE, "Viewer", "pageviewer", strError)
        || !WriteSetting(HKEY_CURRENT_USER, "LogDirectory", run->m_strLogFolder, strError)
        || !WriteSetting(HKEY_CURRENT_USER, "CvrFile", run->m_strCoverFolder, strError))
        return false;
    // A cover sheet kept from an earlier run (perhaps edited) stays as it is.
    const std::string cover = run->m_strCoverFolder + kSampleCover;
    if (!platform::pathExists(cover) && !cover::writeCoverSheetFile(cover, false, kSampleCoverLines)) {
        strError = "cannot write the sample cover sheet " + cover;
        return false;
    }
    return WriteSamplePhoneBook(strError);
}

} // namespace

std::optional<std::string> PrepareSampleCover(std::string& strError)
{
    const auto run = SampleRunPaths();
    if (!PrepareSampleState(run ? &*run : nullptr, strError))
        return std::nullopt;
    return run->m_strCoverFolder + kSampleCover;
}

std::optional<CSampleRun> PrepareSampleRun(std::string& strError)
{
    auto run = SampleRunPaths();
    if (!PrepareSampleState(run ? &*run : nullptr, strError))
        return std::nullopt;
    if (!WriteRunMark(*run)) {
        strError = "cannot write " + run->m_strRunMark;
        return std::nullopt;
    }
    // A work file of its own for every run, as the driver writes them.
    const auto work = platform::createTempFile(run->m_strSpoolFolder, "sample-", ".tif");
    if (!work || !WriteSampleFax(*work, kSamplePages)) {
        if (work)
            platform::removeFile(*work);
        strError = "cannot write a sample fax in " + run->m_strSpoolFolder;
        return std::nullopt;
    }
    run->m_strWorkFile = *work;
    run->m_Args = {"-SA4", "-CMMR", std::string("-P") + kSamplePrinter, "-DSample fax", *work};
    return run;
}

bool WriteSampleFax(const std::string& strPath, int nPages)
{
    // A4 at 200 dpi on the fax line width.
    constexpr uint32_t kWidth = 1728, kHeight = 2339;
    if (nPages < 1 || nPages > 99)
        return false;
    PageOutputFile file{};
    file.hFile = -1;
    if (!tiffCreateFile(&file, strPath.c_str()))
        return false;
    for (int page = 1; page <= nPages; ++page) {
        file.dwWidth = kWidth;
        file.dwHeight = kHeight;
        file.dwPageNumber = static_cast<uint32_t>(page);
        file.wXResolution = file.wYResolution = 200;
        const CSamplePage bits = MakeSamplePage(page, kWidth, kHeight);
        // A failed page closes and deletes the file.
        if (!tiffAppendPage(&file, bits.Bits().data(), static_cast<uint32_t>(bits.Bits().size()),
                            PAGEWRITER_COMPRESSION_PACKBITS, 1, nullptr))
            return false;
    }
    if (!tiffCompleteFile(&file)) {
        platform::removeFile(strPath);
        return false;
    }
    return true;
}

CSampleResults FindSampleResults(const CSampleRun& run)
{
    CSampleResults results;
    std::string mark;
    if (platform::readFile(run.m_strRunMark, mark, 1 << 24) != platform::ReadStatus::Ok)
        return results;
    std::set<std::string> earlier;
    std::istringstream lines(mark);
    for (std::string line; std::getline(lines, line);)
        earlier.insert(line);
    for (const std::string& stream : StreamFiles(run))
        if (!earlier.contains("stream " + stream))
            results.m_StreamFiles.push_back(stream);
    for (const int32_t id : LogEntryIds())
        if (!earlier.contains("log " + std::to_string(id)))
            results.m_LogEntries.push_back(CQeltaLog::EntryFolder(id));
    // The step logs are made anew on each failure: those written since the mark are this run's.
    std::error_code error;
    const auto since = std::filesystem::last_write_time(run.m_strRunMark, error);
    const std::string folder = WizardJobFolder();
    for (const char* name : {kCreateJobLog, kCreateJobDataLog, kSendJobLog, kSendJobDataLog}) {
        const std::string path = folder + name;
        const auto written = std::filesystem::last_write_time(path, error);
        if (error || written < since)
            continue;
        std::string text;
        platform::readFile(path, text, 1 << 16);
        results.m_FailureLogs.emplace_back(path, text);
    }
    return results;
}

std::optional<std::string> PjlHeaderValue(const std::string& stream, const std::string& name)
{
    const std::string prefix = "@PJL SET " + name + "=";
    // The header ends where the fax data starts.
    const size_t end = stream.find("@PJL ENTER LANGUAGE=");
    size_t at = 0;
    while ((at = stream.find(prefix, at)) != std::string::npos && at < end) {
        if (at == 0 || stream[at - 1] == '\n') {
            const size_t valueAt = at + prefix.size();
            const size_t lineEnd = stream.find("\r\n", valueAt);
            std::string value = stream.substr(valueAt, lineEnd == std::string::npos ? std::string::npos : lineEnd - valueAt);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return value;
        }
        at += prefix.size();
    }
    return std::nullopt;
}

std::optional<CSampleJob> NewestSampleJob(const CSampleRun& run)
{
    std::optional<CSampleJob> newest;
    std::filesystem::file_time_type newestTime{};
    for (const std::string& path : StreamFiles(run)) {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(path, error);
        if (error || (newest && time < newestTime))
            continue;
        std::string header;
        if (platform::readFilePrefix(path, header, 64 * 1024) != platform::ReadStatus::Ok)
            continue;
        const auto jobName = PjlHeaderValue(header, "JOBNAME");
        const auto spoolTime = PjlHeaderValue(header, "SPOOLTIME");
        if (!jobName || !spoolTime)
            continue;
        newest = CSampleJob{path, *jobName, *spoolTime, PjlHeaderValue(header, "IPADDRESS").value_or("")};
        newestTime = time;
    }
    return newest;
}

std::optional<CSampleLogEntry> FindSampleLogEntry(const std::string& strCookie)
{
    CQeltaLog log;
    int32_t id = 0;
    CLogData data;
    if (!log.FindLogId2(strCookie, id) || !log.GetLogData2(id, data))
        return std::nullopt;
    return CSampleLogEntry{CQeltaLog::EntryFolder(id), data.status};
}
