// The preview and send steps against a recording job builder and cover service registered by class,
// the real imaging libraries on real TIFF files, and the real phone book component.
#include "common/prompter.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/imagekit_binding.h"
#include "phonebook/dialogs/selection.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/select_dest_logic.h"
#include "sendwizard/sheet_logic.h"
#include "sendwizard/tests/wizard_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <map>
#include <thread>

using platform::com::Bstr;

namespace {

// ---- a recording job builder ----

struct JobToolScript {
    std::vector<std::string> calls;
    std::map<std::string, HRESULT> results; // by method name; S_OK when absent
    HRESULT Result(const std::string& method) const
    {
        const auto found = results.find(method);
        return found == results.end() ? S_OK : found->second;
    }
};
JobToolScript g_job;

std::string A(BSTR text) { return platform::com::ansiFromBstr(text); }

class RecordingJobTool : public platform::com::Object<IQeltaJobTool> {
public:
    HRESULT CleanJob() override { return Note("CleanJob", "CleanJob"); }
    HRESULT FlushJob() override { return Note("FlushJob", "FlushJob"); }
    HRESULT RegisterJobTarget(int32_t type, BSTR name, BSTR number, BSTR sub, BSTR pass, int32_t params,
                              BSTR reserved) override
    {
        return Note("RegisterJobTarget", "RegisterJobTarget(" + std::to_string(type) + "," + A(name) + "," + A(number)
                                             + "," + A(sub) + "," + A(pass) + "," + std::to_string(params) + ","
                                             + A(reserved) + ")");
    }
    HRESULT RegisterJobData(BSTR image, BSTR printer, BSTR user, BSTR password, int32_t mfp, int32_t rtn,
                            BSTR document) override
    {
        imageRegistered = A(image);
        return Note("RegisterJobData", "RegisterJobData(" + A(printer) + "," + A(user) + "," + A(password) + ","
                                           + std::to_string(mfp) + "," + std::to_string(rtn) + "," + A(document) + ")");
    }
    HRESULT RegisterDocumentFiling(int32_t, BSTR, BSTR) override { return Note("RegisterDocumentFiling", "Filing"); }
    HRESULT ConvertJobImage(BSTR source, BSTR target, int32_t paper, int32_t compression, uint32_t x,
                            uint32_t y) override
    {
        const HRESULT hr = Note("ConvertJobImage", "ConvertJobImage(" + std::to_string(paper) + "," +
                                                       std::to_string(compression) + "," + std::to_string(x) + "," +
                                                       std::to_string(y) + ")");
        if (hr == S_OK)
            platform::copyFileAtomic(A(source), A(target));
        return hr;
    }
    HRESULT RegisterAccountNumber(BSTR account, BSTR reserved) override
    {
        return Note("RegisterAccountNumber", "RegisterAccountNumber(" + A(account) + "," + A(reserved) + ")");
    }
    HRESULT RequestImageConverBeforeSending(int, int, int32_t, int32_t) override { return Note("Request", "Request"); }
    HRESULT RegisterDocumentFiling2(int32_t type, BSTR folder, BSTR folderPassword, BSTR filePassword) override
    {
        return Note("RegisterDocumentFiling2", "RegisterDocumentFiling2(" + std::to_string(type) + "," + A(folder) +
                                                   "," + A(folderPassword) + "," + A(filePassword) + ")");
    }
    HRESULT RegisterLogData(BSTR) override { return Note("RegisterLogData", "RegisterLogData"); }
    HRESULT RegisterQeltaHeader(int32_t on) override
    {
        return Note("RegisterQeltaHeader", "RegisterQeltaHeader(" + std::to_string(on) + ")");
    }
    static inline std::string imageRegistered;

private:
    HRESULT Note(const std::string& method, std::string call)
    {
        g_job.calls.push_back(std::move(call));
        return g_job.Result(method);
    }
};

// ---- a recording cover sheet service ----

struct CoverScript {
    HRESULT result = S_OK;
    std::vector<std::string> calls;
};
CoverScript g_cover;

class RecordingCoverTool : public platform::com::Object<IQeltaCoverSheetTool> {
public:
    HRESULT CreateCoverSheetImage(BSTR, int32_t, int32_t, BSTR) override { return E_NOTIMPL; }
    HRESULT CreateCoverSheetImageWithData(BSTR name, BSTR number, BSTR memo, BSTR, BSTR, int32_t page, BSTR cover,
                                          int32_t x, int32_t y, BSTR image) override
    {
        g_cover.calls.push_back(A(name) + "," + A(number) + "," + A(memo) + "," + std::to_string(page) + "," +
                                A(cover) + "," + std::to_string(x) + "x" + std::to_string(y) + ",stretch " +
                                std::to_string(stretch));
        if (g_cover.result == S_OK)
            imaging_test::writeBilevel(A(image), {imaging_test::Bits::pattern(1728, 100, 9)},
                                       {COMPRESSION_CCITTFAX4, float(x), float(y)});
        return g_cover.result;
    }
    HRESULT get_bIsRequestStretch(int32_t* value) override
    {
        *value = stretch;
        return S_OK;
    }
    HRESULT put_bIsRequestStretch(int32_t value) override
    {
        stretch = value;
        return S_OK;
    }

private:
    int32_t stretch = 0;
};

class WizardSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::com::initializeThread();
        g_job = {};
        g_cover = {};
        jobFactory = platform::com::Ptr<IClassFactory>(new platform::com::ClassFactory<RecordingJobTool>());
        coverFactory = platform::com::Ptr<IClassFactory>(new platform::com::ClassFactory<RecordingCoverTool>());
        platform::com::registerClassObject(CLSID_QeltaJobTool, jobFactory.get());
        platform::com::registerClassObject(CLSID_QeltaCoverSheetTool, coverFactory.get());
        BindImageKit();
        temp = *platform::knownFolder(platform::KnownFolder::Temp);
        ASSERT_TRUE(platform::createDirectories(temp));
    }
    void TearDown() override
    {
        platform::com::registerClassObject(CLSID_QeltaJobTool, nullptr);
        platform::com::registerClassObject(CLSID_QeltaCoverSheetTool, nullptr);
        UnbindImageKit();
        platform::com::uninitializeThread();
    }

    // A sheet over a work file of pages at a resolution, with a summary and one document per
    // destination list.
    void MakeSheet(int pages, float xDpi, float yDpi, uint32_t width = 1728, uint32_t height = 200)
    {
        work = root.path() + "/work.tif";
        std::vector<imaging_test::Bits> bits;
        for (int p = 0; p < pages; ++p)
            bits.push_back(imaging_test::Bits::pattern(width, height, static_cast<uint32_t>(p)));
        imaging_test::writeBilevel(work, bits, {COMPRESSION_CCITTFAX4, xDpi, yDpi});
        ASSERT_TRUE(sheet.SetCommandLineValues(work, "A4", "MMR", "Fax", "Report", prompter));
        sheet.m_nModelType = 3;
    }
    void AddDocument(std::vector<CJobDestination> destinations, int cover = 0)
    {
        sheet.AddDocument(std::make_unique<CFaxDocument>(work, destinations, cover, cover ? "/covers/Sales.TQC" : "",
                                                         "Memo", platform::LocalTime{2026, 12, 3, 9, 14, 30, 5, 0}));
    }
    int RunPreview(int i)
    {
        return sheet.CreateJobTool() && sheet.BuildCoverImage(i) && sheet.AppendSourcePages(i)
               && sheet.StampDocumentPages(i, i == 0) && sheet.ConvertDocumentImage(i);
    }
    std::vector<std::string> FaxFiles() const
    {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(temp.c_str())) {
            while (const dirent* entry = ::readdir(dir))
                if (std::string(entry->d_name).rfind("FAX", 0) == 0)
                    names.push_back(entry->d_name);
            ::closedir(dir);
        }
        return names;
    }
    std::string JobLog(const char* name) { return qelta::test::readTextFile(sheet.GetJobFolder() + name); }

    struct NoPrompts : IPrompter {
        int MessageBox(const std::string& text, const std::string&, unsigned) override
        {
            ADD_FAILURE() << "unexpected message box: " << text;
            return IDOK;
        }
    } prompter;
    qelta::test::ScopedStateRoot root;
    platform::com::Ptr<IClassFactory> jobFactory, coverFactory;
    std::string temp, work;
    CPSMainuiLogic sheet;
};

const CJobDestination kFax{"555-0100", "Ann", kDestinationFax, 1, "12", "34", 0};
const CJobDestination kFax2{"555-0101", "Bob", kDestinationFax, 0, "", "", 1};
const CJobDestination kIFax{"ann@example.com", "Ann mail", kDestinationIFax, 1, "", "", 1};

CJobSummary Summary(std::string jobName)
{
    CJobSummary summary;
    summary.m_strUserName = "ann";
    summary.m_strUserID = "0042";
    summary.m_strJobName = std::move(jobName);
    return summary;
}

TEST_F(WizardSteps, RegistrationSequencesWithBroadcastOnAndOff)
{
    MakeSheet(1, 200, 200);
    AddDocument({kFax, kFax2, kIFax});                 // broadcast: one job for all
    AddDocument({kFax2});                              // without: one job each
    sheet.SetJobSummary(std::make_unique<CJobSummary>(Summary("")));
    ASSERT_EQ(sheet.CreateJobTool(), 1);
    ASSERT_EQ(sheet.RegisterDocumentJob(0), 1);
    EXPECT_EQ(g_job.calls, (std::vector<std::string>{
                               "CleanJob", "RegisterJobData(Fax,ann,0042,3,1,UNKNOWN)", "RegisterLogData",
                               "RegisterJobTarget(0,Ann,555-0100,12,34,1,)", "RegisterJobTarget(0,Bob,555-0101,,,0,)",
                               "RegisterJobTarget(1,Ann mail,ann@example.com,,,1,)"}));
    g_job.calls.clear();
    CJobSummary all = Summary("Q3");
    all.m_bFiling = 1;
    all.m_nFolderType = 2;
    all.m_strFolderName = "Sales";
    all.m_strFolderPassword = "11";
    all.m_strFilePassword = "22";
    all.m_bAccount = 1;
    all.m_strAccountNumber = "777";
    all.m_bHeader = 1;
    all.m_bNotification = 0;
    sheet.SetJobSummary(std::make_unique<CJobSummary>(all));
    ASSERT_EQ(sheet.RegisterDocumentJob(1), 1);
    ASSERT_EQ(sheet.FlushDocumentJob(1), 1);
    EXPECT_EQ(g_job.calls, (std::vector<std::string>{
                               "CleanJob", "RegisterJobData(Fax,ann,0042,3,0,Q3)", "RegisterLogData",
                               "RegisterDocumentFiling2(2,Sales,11,22)", "RegisterAccountNumber(777,)",
                               "RegisterQeltaHeader(1)", "RegisterJobTarget(0,Bob,555-0101,,,0,)", "FlushJob"}));
    EXPECT_EQ(sheet.RegisterDocumentJob(2), 0);
    EXPECT_EQ(sheet.FlushDocumentJob(-1), 0);
}

TEST_F(WizardSteps, ComponentsMadeOnOneWorkerServeTheNext)
{
    MakeSheet(1, 200, 200);
    AddDocument({kFax});
    sheet.SetJobSummary(std::make_unique<CJobSummary>(Summary("Q3")));
    int created = 0, registered = 0;
    std::thread([&] { created = sheet.CreateJobTool(); }).join();
    std::thread([&] { registered = sheet.RegisterDocumentJob(0) && sheet.FlushDocumentJob(0); }).join();
    EXPECT_EQ(created, 1);
    EXPECT_EQ(registered, 1);
    EXPECT_EQ(g_job.calls.back(), "FlushJob");
}

TEST_F(WizardSteps, EachFailingRegistrationLeavesItsTextAloneInTheJobFolder)
{
    MakeSheet(1, 200, 200);
    AddDocument({kFax});
    CJobSummary all = Summary("Q3");
    all.m_bFiling = all.m_bAccount = all.m_bHeader = 1;
    sheet.SetJobSummary(std::make_unique<CJobSummary>(all));
    ASSERT_EQ(sheet.CreateJobTool(), 1);
    const char* methods[] = {"RegisterJobData", "RegisterLogData", "RegisterDocumentFiling2",
                             "RegisterAccountNumber", "RegisterQeltaHeader", "RegisterJobTarget"};
    for (const char* method : methods) {
        g_job.results = {{method, S_FALSE}};
        EXPECT_EQ(sheet.RegisterDocumentJob(0), 0) << method;
        EXPECT_EQ(JobLog(kSendJobDataLog), std::string("FAILED - IQeltaJobTool::") + method + "()");
    }
    platform::removeFile(sheet.GetJobFolder() + kSendJobDataLog);
    g_job.results = {{"RegisterLogData", E_FAIL}};
    EXPECT_EQ(sheet.RegisterDocumentJob(0), 0);
    EXPECT_FALSE(platform::pathExists(sheet.GetJobFolder() + kSendJobDataLog));
    g_job.results = {{"FlushJob", S_FALSE}};
    EXPECT_EQ(sheet.FlushDocumentJob(0), 0);
    EXPECT_FALSE(platform::pathExists(sheet.GetJobFolder() + kSendJobDataLog));
    EXPECT_FALSE(platform::pathExists(kSendJobDataLog)); // never in the current folder
}

TEST_F(WizardSteps, PreviewKeepsResolutionsAndCountsTheCoverPage)
{
    struct Row {
        float x, y;
        int cover;
    };
    for (const Row& row : {Row{200, 200, 0}, Row{200, 100, 1}, Row{400, 400, 1}}) {
        SCOPED_TRACE(std::to_string(row.x) + "x" + std::to_string(row.y));
        sheet.DropDocuments();
        MakeSheet(3, row.x, row.y);
        AddDocument({kFax}, row.cover);
        sheet.SetJobSummary(std::make_unique<CJobSummary>(Summary("Q3")));
        ASSERT_EQ(RunPreview(0), 1);
        const CFaxDocument& document = *sheet.GetDocument(0);
        const auto pages = jobtest::readTiff(document.m_strImagePath);
        ASSERT_EQ(pages.size(), 3u + static_cast<size_t>(row.cover));
        for (const auto& page : pages)
            EXPECT_EQ(page.yDpi, row.y);
        EXPECT_EQ(jobtest::readTiff(document.m_strLogImagePath).size(), pages.size());
        EXPECT_EQ(jobtest::readTiff(sheet.m_strPreviewImagePath).size(), pages.size());
        if (row.cover) {
            ASSERT_EQ(g_cover.calls.size(), 1u);
            EXPECT_EQ(g_cover.calls[0], "Ann,555-0100,Memo,4,/covers/Sales.TQC," + std::to_string(int(row.x)) + "x" +
                                            std::to_string(int(row.y)) + ",stretch 1");
            g_cover.calls.clear();
        }
        EXPECT_EQ(g_job.calls.back(), "ConvertJobImage(3,0," + std::to_string(int(row.x)) + "," +
                                          std::to_string(int(row.y)) + ")");
    }
    sheet.DropDocuments();
    EXPECT_TRUE(FaxFiles().empty());
}

TEST_F(WizardSteps, TheHeaderIsDrawnOnlyInsideItsBand)
{
    MakeSheet(2, 200, 200, 1728, 600);
    // White pages, so that every black pixel afterwards is the header's.
    imaging_test::writeBilevel(work, {imaging_test::Bits(1728, 600), imaging_test::Bits(1728, 600)},
                               {COMPRESSION_CCITTFAX4, 200, 200});
    AddDocument({kFax});
    CJobSummary summary = Summary("Q3");
    summary.m_bHeader = 1;
    summary.m_strHeaderText = "FROM $USER $PAGENO";
    summary.m_strHeaderUserName = "Ann";
    LOGFONTA font;
    font.lfHeight = -20;
    font.lfWeight = 700;
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    summary.m_HeaderFont = font;
    sheet.SetJobSummary(std::make_unique<CJobSummary>(summary));
    ASSERT_EQ(sheet.CreateJobTool() && sheet.BuildCoverImage(0) && sheet.AppendSourcePages(0) &&
                  sheet.StampDocumentPages(0, 1),
              1);
    const auto pages = jobtest::readTiff(sheet.GetDocument(0)->m_strImagePath);
    ASSERT_EQ(pages.size(), 2u);
    for (const auto& page : pages) {
        int inside = 0, outside = 0;
        for (uint32_t y = 0; y < page.height; ++y)
            for (uint32_t x = 0; x < page.width; ++x)
                (y < 40 ? inside : outside) += page.bits.at(x, y);
        EXPECT_GT(inside, 50);
        EXPECT_EQ(outside, 0);
    }
    EXPECT_NE(pages[0].bits, pages[1].bits); // the page numbers differ
}

TEST_F(WizardSteps, FailuresLeaveNoTemporaryFiles)
{
    MakeSheet(2, 200, 200);
    AddDocument({kFax}, 1);
    sheet.SetJobSummary(std::make_unique<CJobSummary>(Summary("Q3")));
    ASSERT_EQ(sheet.CreateJobTool(), 1);

    g_cover.result = S_FALSE;
    EXPECT_EQ(sheet.BuildCoverImage(0), 0);
    EXPECT_EQ(JobLog(kCreateJobDataLog), "Failed - IQeltaCoverSheetTool::CreateCoverSheetImageWithData()");
    platform::com::registerClassObject(CLSID_QeltaCoverSheetTool, nullptr);
    EXPECT_EQ(sheet.BuildCoverImage(0), 0);
    EXPECT_EQ(JobLog(kCreateJobDataLog), "Failed CoCreateInstance");
    EXPECT_TRUE(FaxFiles().empty());

    // A damaged second page: appending fails, and so does stamping a file that lost a page.
    platform::com::registerClassObject(CLSID_QeltaCoverSheetTool, coverFactory.get());
    g_cover.result = S_OK;
    ASSERT_EQ(sheet.BuildCoverImage(0), 1);
    std::string bytes = imaging_test::readBytes(work);
    imaging_test::writeBytes(work, bytes.substr(0, bytes.size() * 2 / 3));
    EXPECT_EQ(sheet.AppendSourcePages(0), 0);
    EXPECT_EQ(sheet.StampDocumentPages(0, 1), 0); // the cover file holds one page of three
    imaging_test::writeBytes(work, bytes);

    // Damaged coding inside an intact fax page (one strip, as a fax program writes it): the page
    // is refused, never copied on as it is coded.
    {
        TIFF* tif = TIFFOpen(work.c_str(), "w");
        ASSERT_TRUE(tif);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1728u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 200u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 200u);
        const imaging_test::Bits pattern = imaging_test::Bits::pattern(1728, 200);
        std::vector<uint8_t> strip(216 * 200);
        for (uint32_t y = 0; y < 200; ++y)
            for (uint32_t x = 0; x < 1728; ++x)
                if (pattern.at(x, y))
                    strip[y * 216 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        ASSERT_GT(TIFFWriteEncodedStrip(tif, 0, strip.data(), static_cast<tmsize_t>(strip.size())), 0);
        TIFFClose(tif);
        tif = TIFFOpen(work.c_str(), "r");
        const uint64_t at = TIFFGetStrileOffset(tif, 0), size = TIFFGetStrileByteCount(tif, 0);
        TIFFClose(tif);
        std::string damaged = imaging_test::readBytes(work);
        for (uint64_t i = at + size / 3; i < at + size / 3 + 40; ++i)
            damaged[i] = static_cast<char>(0xff);
        imaging_test::writeBytes(work, damaged);
        IKFILEINFO info{};
        ASSERT_EQ(ImageKitFileType(work, info), 1) << "the file itself holds together";
        const int pages = sheet.m_nPageCount;
        sheet.m_nPageCount = 1;
        EXPECT_EQ(sheet.AppendSourcePages(0), 0);
        sheet.m_nPageCount = pages;
        imaging_test::writeBytes(work, bytes);
    }

    g_job.results = {{"ConvertJobImage", S_FALSE}};
    sheet.DropDocuments();
    AddDocument({kFax});
    EXPECT_EQ(sheet.BuildCoverImage(0) && sheet.AppendSourcePages(0) && sheet.StampDocumentPages(0, 1), 1);
    EXPECT_EQ(sheet.ConvertDocumentImage(0), 0);
    sheet.DropDocuments();
    EXPECT_TRUE(FaxFiles().empty());
}

// The phone book "Office.xml" of the phone book directory, opened through its own component.
struct OfficeBook {
    OfficeBook()
    {
        jobtest::registerServer("booktool.dll");
        EXPECT_EQ(platform::com::createInstance(CLSID_BookmanagerTool, CLSCTX_INPROC_SERVER, book), S_OK);
        Bstr directory;
        EXPECT_EQ(book->GetPhonebookDirectory(directory.out()), S_OK);
        path = directory.ansi() + "/Office.xml";
        EXPECT_EQ(book->Initiate(Bstr(path).get()), S_OK);
    }
    int32_t Record(int type, const char* name, const std::vector<std::pair<const char*, const char*>>& values)
    {
        int32_t id = 0;
        EXPECT_EQ(book->CreateNewRecord(type, Bstr(name).get(), 1, &id, 0), S_OK);
        for (const auto& [key, value] : values)
            EXPECT_EQ(book->AddRecordValue(id, type, Bstr(key).get(), Bstr(value).get()), S_OK);
        EXPECT_EQ(book->FlushRecord(id, 0), S_OK);
        return id;
    }
    platform::com::Ptr<IBookmanagerTool> book;
    std::string path;
};

TEST_F(WizardSteps, PhoneBookRecordsAreReadThroughTheComponent)
{
    OfficeBook office;
    auto& book = office.book;
    const std::string& path = office.path;
    auto record = [&](int type, const char* name, std::vector<std::pair<const char*, const char*>> values) {
        return office.Record(type, name, values);
    };
    const int32_t fax = record(0, "Ann", {{"faxNumber", "555-0100"}, {"faxFCode", "true"}, {"faxSubAddress", "12"},
                                          {"faxPassCode", "34"}});
    const int32_t faxTrue = record(0, "Bob", {{"faxNumber", "555-0101"}, {"faxFCode", "TRUE"}, {"faxSubAddress", ""},
                                              {"faxPassCode", ""}});
    const int32_t ifax = record(1, "Cy", {{"mailAddress", "cy@example.com"}, {"receptionConfirm", "true"}});
    const int32_t ifaxOne = record(1, "Di", {{"mailAddress", "di@example.com"}, {"receptionConfirm", "1"}});
    int32_t group = 0;
    ASSERT_EQ(book->CreateNewGroup(Bstr("Team").get(), 1, &group, 0), S_OK);
    ASSERT_EQ(book->AddRecord2Group(group, fax), S_OK);
    ASSERT_EQ(book->FlushGroup(group, 0), S_OK);
    book = nullptr;

    CPhoneBookRecord read;
    ASSERT_EQ(sheet.ReadPhoneBookRecord(path, fax, read), 1);
    EXPECT_EQ(read.nKind, 0);
    EXPECT_EQ(read.strName, "Ann");
    EXPECT_EQ(read.strNumber, "555-0100");
    EXPECT_EQ(read.bFCode, 1);
    EXPECT_EQ(read.strSubAddress, "12");
    EXPECT_EQ(read.strPassCode, "34");
    ASSERT_EQ(sheet.ReadPhoneBookRecord(path, faxTrue, read), 1);
    EXPECT_EQ(read.bFCode, 0);
    ASSERT_EQ(sheet.ReadPhoneBookRecord(path, ifax, read), 1);
    EXPECT_EQ(read.nKind, 1);
    EXPECT_EQ(read.strNumber, "cy@example.com");
    EXPECT_EQ(read.bReceptionConfirm, 1);
    ASSERT_EQ(sheet.ReadPhoneBookRecord(path, ifaxOne, read), 1);
    EXPECT_EQ(read.bReceptionConfirm, 0);
    EXPECT_EQ(sheet.ReadPhoneBookRecord(path, group, read), 0);
    EXPECT_EQ(sheet.ReadPhoneBookRecord(path, 9999, read), 0);
}

// The phone book dialogs choosing records of one book.
struct ChosenRecords : IPhoneBookExports {
    int SelectPhoneBook(void*, std::string& strPath, std::string& strBookName) override
    {
        strPath = path;
        strBookName = "Office";
        return 1;
    }
    int SelectDestinations(void*, const std::string&, PB2APISelection** selection, int) override
    {
        *selection = NewSelection(ids, false);
        return 1;
    }
    void Free(PB2APISelection* selection) override { FreeSelection(selection); }
    std::string path;
    std::vector<int32_t> ids;
};

TEST_F(WizardSteps, ImportReadsWhatAnotherProgramChangedInTheBook)
{
    OfficeBook office;
    const int32_t ann = office.Record(0, "Ann", {{"faxNumber", "555-0100"}, {"faxFCode", "false"}});
    const int32_t bob = office.Record(0, "Bob", {{"faxNumber", "555-0200"}, {"faxFCode", "false"}});
    office.book = nullptr;
    // Another program gives a record a new number, through a store of its own.
    const auto renumber = [&](int32_t id, const char* number) {
        return qelta::test::runInChild([&] {
            platform::com::Ptr<IBookmanagerTool> other;
            return platform::com::createInstance(CLSID_BookmanagerTool, CLSCTX_INPROC_SERVER, other) == S_OK
                    && other->Initiate(Bstr(office.path).get()) == S_OK
                    && other->UpdateRecordValue(id, Bstr("faxNumber").get(), Bstr(number).get()) == S_OK
                ? 0
                : 1;
        });
    };
    sheet.m_nModelType = 3;
    ChosenRecords exports;
    exports.path = office.path;
    exports.ids = {ann, bob};
    wizard_test::ScriptedPrompter prompter;
    bool changed = false;
    CPPSelectDestLogic page(sheet, prompter, exports, [&](const std::string& path, int32_t id, CPhoneBookRecord& record) {
        const int read = sheet.ReadPhoneBookRecord(path, id, record);
        if (!changed)
            changed = renumber(bob, "555-0222") == 0; // while the import runs
        return read;
    });
    ASSERT_EQ(page.ImportFromPhoneBook(), 2);
    ASSERT_TRUE(changed);
    ASSERT_EQ(renumber(ann, "555-0111"), 0); // between two imports
    exports.ids = {ann};
    ASSERT_EQ(page.ImportFromPhoneBook(), 1);
    std::vector<std::string> numbers;
    for (const CJobDestination& d : sheet.m_Destinations)
        numbers.push_back(d.m_strName + " " + d.m_strNumber);
    EXPECT_EQ(numbers, (std::vector<std::string>{"Ann 555-0100", "Bob 555-0222", "Ann 555-0111"}));
}

TEST_F(WizardSteps, JobFolderIsBelowTheDataFolderAndCompany)
{
    sheet.m_strCompany = "ACME";
    const std::string folder = sheet.GetJobFolder();
    EXPECT_EQ(folder.substr(folder.size() - 12), "/ACME/QELTA/");
    EXPECT_TRUE(platform::isDirectory(folder));
    EXPECT_EQ(CPSMainuiLogic::MakeFilingTarget("192.0.2.7"), "dfile://192.0.2.7//");
    EXPECT_EQ(CPSMainuiLogic::GetFileSize(root.path() + "/missing"), 0u);
}

TEST_F(WizardSteps, WithoutBroadcastEachDestinationGetsItsOwnJobAndCover)
{
    MakeSheet(2, 200, 200);
    sheet.m_nModelType = 0;
    const CJobDestination kCy{"555-0102", "Cy", kDestinationFax, 0, "", "", 0};
    for (const CJobDestination& destination : {kFax, kFax2, kCy})
        sheet.AddDestination(destination);
    sheet.m_bAttachCover = 1;
    sheet.m_strCoverPath = "/covers/Sales.TQC";
    LOGFONTA font;
    font.lfHeight = -16;
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    sheet.m_JobParameters.Assign(0, 1, 1, "$PAGENO", 0, 0, "", "", "", 0, "", font);
    wizard_test::RecordingProgress progress;
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    preview.CreateImage();
    ASSERT_EQ(progress.failure, 0);
    ASSERT_EQ(g_cover.calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(g_cover.calls[i].starts_with(std::vector<std::string>{"Ann,555-0100,", "Bob,555-0101,",
                                                                          "Cy,555-0102,"}[i]))
            << g_cover.calls[i];
    EXPECT_EQ(preview.GetPageCount(), 3) << "the cover and two pages";
    g_job.calls.clear();
    EXPECT_TRUE(preview.OnWizardFinish());
    const std::string user = sheet.GetJobSummary()->m_strUserName;
    std::vector<std::string> expected;
    for (const CJobDestination& destination : {kFax, kFax2, kCy}) {
        for (const std::string& call :
             {std::string("CleanJob"), "RegisterJobData(Fax," + user + ",,0,1,Report)", std::string("RegisterLogData"),
              std::string("RegisterQeltaHeader(1)")})
            expected.push_back(call);
        expected.push_back("RegisterJobTarget(0," + destination.m_strName + "," + destination.m_strNumber + "," +
                           destination.m_strSubAddress + "," + destination.m_strPassCode + "," +
                           std::to_string(destination.m_bFCode) + ",)");
        expected.push_back("FlushJob");
    }
    EXPECT_EQ(g_job.calls, expected);

    // A conversion that fails ends the image worker at its fourth pass.
    g_job.results["ConvertJobImage"] = S_FALSE;
    sheet.m_bChanged = 1;
    struct : IPrompter {
        int MessageBox(const std::string& text, const std::string&, unsigned) override
        {
            EXPECT_TRUE(text.starts_with("Unknown System Error. Please re install Qelta Driver.\nthe pages of "))
                << text;
            return IDOK;
        }
    } told;
    CPPPreviewLogic again(sheet, told, progress);
    again.OnSetActive();
    again.CreateImage();
    EXPECT_EQ(progress.failure, kWorkerFailure);
    EXPECT_TRUE(JobLog(kCreateJobLog).starts_with("FAILED - CreateJobData4\nKEPT - " + sheet.m_strFilePath
                                                  + "\nREASON - the pages of "))
        << JobLog(kCreateJobLog);
    EXPECT_EQ(progress.values, (std::vector<int>{5, 13, 21, 30, 33, 41, 50, 58, 66, 75}));
}

} // namespace
