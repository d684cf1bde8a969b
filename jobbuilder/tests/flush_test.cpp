// Sending a job with FlushJob: what it records in the sending log and in which order, what a
// failure leaves behind and how a later try goes, conversion before sending, and the stream that
// reaches the redirect file and the printer.
#include "common/registry_helper.h"
#include "crypto/IQeltaEncTool.h"
#include "jobbuilder/job_tool.h"
#include "jobbuilder/spool_time.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/ole_date.h"
#include "platform/spooler.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendlog/IQeltaLogTool.h"
#include "jobbuilder/tests/support/job_test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ctime>
#include <string>
#include <vector>

namespace {

using platform::RecordingSpooler;
using platform::com::Bstr;
using platform::com::Ptr;
using jobtest::readTiff;
using jobtest::registerServer;
using jobtest::writeFaxTiff;

constexpr const char* kPrinter = "Office MFP";
constexpr uint32_t kInproc = 23;

// The parts of a job stream.
struct Stream {
    std::string header, block, image, trailer;
    std::string value(const std::string& prefix) const
    {
        const size_t at = header.find(prefix);
        if (at == std::string::npos)
            return "<missing>";
        std::string v = header.substr(at + prefix.size(), header.find("\r\n", at) - at - prefix.size());
        if (v.size() >= 2 && v.front() == '"')
            v = v.substr(1, v.size() - 2);
        return v;
    }
};

Stream splitStream(const std::string& bytes)
{
    Stream s;
    const std::string enter = "@PJL ENTER LANGUAGE=QELTA\r\n";
    const size_t end = bytes.find(enter);
    if (end == std::string::npos)
        return s;
    s.header = bytes.substr(0, end + enter.size());
    const size_t imageSize = std::stoul(s.value("@PJL SET FAXIMAGESIZE="));
    const size_t blockSize = std::stoul(s.value("@PJL SET TOTALDATASIZE=")) - imageSize;
    s.block = bytes.substr(s.header.size(), blockSize);
    s.image = bytes.substr(s.header.size() + blockSize, imageSize);
    s.trailer = bytes.substr(s.header.size() + blockSize + imageSize);
    return s;
}

// A sending log that writes down every call and fails the one a test names.
struct FakeLogState {
    std::vector<std::string> calls;
    int failAt = 0; // 1 = the first call fails; 0 = none
    DATE date = 0;
};
FakeLogState g_log;

class FakeLogTool : public platform::com::Object<IQeltaLogTool> {
public:
    HRESULT LaunchLogBrowser(int32_t) override { return S_OK; }
    HRESULT CreateLogData(BSTR image, BSTR document, DATE date, int32_t* id) override
    {
        g_log.date = date;
        *id = 42;
        return Record("CreateLogData " + A(image) + "|" + A(document));
    }
    HRESULT AddLogProperty(int32_t id, BSTR name, BSTR value) override
    {
        return Record("AddLogProperty " + std::to_string(id) + " " + A(name) + "=" + A(value));
    }
    HRESULT AddLogPropertyWithData(int32_t id, BSTR name, BSTR value, BSTR path) override
    {
        return Record("AddLogPropertyWithData " + std::to_string(id) + " " + A(name) + "=" + A(value) + "|" + A(path));
    }
    HRESULT AddLogDestination(int32_t id, BSTR name, BSTR value) override
    {
        return Record("AddLogDestination " + std::to_string(id) + " " + A(name) + "=" + A(value));
    }
    HRESULT FlushLogDestination(int32_t id) override { return Record("FlushLogDestination " + std::to_string(id)); }
    HRESULT FlushLogData(int32_t id) override { return Record("FlushLogData " + std::to_string(id)); }
    HRESULT GetLogData(int32_t, BSTR*, BSTR*, BSTR*, int32_t*) override { return S_FALSE; }
    HRESULT GetLogID(int, int32_t*) override { return S_FALSE; }
    HRESULT GetLogProperty(int32_t, BSTR, BSTR*) override { return S_FALSE; }
    HRESULT GetDestination(int32_t, int, BSTR, BSTR*) override { return S_FALSE; }
    HRESULT LaunchPreview(int32_t, BSTR, BSTR, int32_t) override { return S_FALSE; }
    HRESULT GetLogCount(int32_t*) override { return S_FALSE; }
    HRESULT FindLogID(BSTR, int32_t*) override { return S_FALSE; }
    HRESULT ChangeLogStatus(int32_t, int32_t) override { return S_FALSE; }
    HRESULT RegisterRegacyCallback(int32_t, int32_t, int32_t) override { return S_FALSE; }
    HRESULT UnRegisterRegacyCallback(int32_t) override { return S_FALSE; }
    HRESULT RemoveLogData(int32_t id) override
    {
        g_log.calls.push_back("RemoveLogData " + std::to_string(id));
        return S_OK;
    }

private:
    static std::string A(BSTR b) { return platform::com::ansiFromBstr(b); }
    HRESULT Record(std::string call)
    {
        g_log.calls.push_back(std::move(call));
        return static_cast<int>(g_log.calls.size()) == g_log.failAt ? S_FALSE : S_OK;
    }
};

class FlushTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler_ = RecordingSpooler::install(kPrinter);
        platform::com::initializeThread();
        for (const char* server :
             {"qeltamd5lib.dll", "resultreceiver.dll", "cryptotool.dll", "sendlog.dll", "jobbuilder.dll"}) {
            registerServer(server);
            if (HasFatalFailure())
                return;
        }
        if (fakeLog_) {
            g_log = {};
            factory_ = Ptr<IClassFactory>(new platform::com::ClassFactory<FakeLogTool>());
            platform::com::registerClassObject(CLSID_QeltaLogTool, factory_.get());
        }
        image_ = root_.path() + "/scan.tif";
        writeFaxTiff(image_, 3);
        ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, tool_), S_OK);
    }

    void TearDown() override
    {
        tool_.reset();
        if (fakeLog_)
            platform::com::registerClassObject(CLSID_QeltaLogTool, nullptr);
        platform::setSpooler(nullptr);
        platform::com::uninitializeThread();
    }

    const CQeltaJob& job() const { return static_cast<const CQeltaJobTool*>(tool_.get())->Job(); }

    HRESULT registerData(const std::string& document = "Report", const std::string& password = "")
    {
        Bstr i(image_), p(kPrinter), u("alice"), pw(password), d(document);
        return tool_->RegisterJobData(i.get(), p.get(), u.get(), pw.get(), 3, 1, d.get());
    }
    HRESULT registerTarget(int32_t type, const std::string& number, const std::string& name,
                           const std::string& sub = "", const std::string& pass = "", int32_t params = 0)
    {
        Bstr n(name), f(number), s(sub), c(pass);
        return tool_->RegisterJobTarget(type, n.get(), f.get(), s.get(), c.get(), params, nullptr);
    }
    void setMachineValue(const char* name, const std::string& value)
    {
        ASSERT_EQ(CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, name, value), 1);
    }
    // The next job gets exactly this spool time plus one second, whenever it is sent.
    void pinSpoolTime()
    {
        if (pinned_.empty()) {
            const std::time_t later = std::time(nullptr) + 1800;
            char buf[32];
            std::strftime(buf, sizeof buf, "%Y/%m/%d,%H:%M:%S", std::localtime(&later));
            pinned_ = buf;
        }
        setMachineValue("LastSpoolTime", pinned_);
    }
    // What is left in the temporary folder (stream files and converted images must not be).
    std::vector<std::string> tempFiles() const
    {
        return platform::listFiles(*platform::knownFolder(platform::KnownFolder::Temp), "*");
    }
    std::string printed(size_t index = 0) const
    {
        std::string all;
        const auto documents = spooler_->documents();
        for (const auto& page : documents.at(index).pages)
            all += page;
        return all;
    }
    Ptr<IQeltaLogTool> realLog()
    {
        Ptr<IQeltaLogTool> log;
        EXPECT_EQ(platform::com::createInstance(CLSID_QeltaLogTool, kInproc, log), S_OK);
        return log;
    }
    int32_t logCount()
    {
        int32_t count = -1;
        realLog()->GetLogCount(&count);
        return count;
    }
    std::string encrypt(const std::string& plain)
    {
        Ptr<IQeltaEncTool> enc;
        EXPECT_EQ(platform::com::createInstance("cryptotool.QeltaEncTool", kInproc, enc), S_OK);
        Bstr in(plain), out;
        EXPECT_EQ(enc->EncryptString(2, in.get(), out.out()), S_OK);
        return out.ansi();
    }

    bool fakeLog_ = false;
    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<RecordingSpooler> spooler_;
    Ptr<IClassFactory> factory_;
    std::string image_, pinned_;
    Ptr<IQeltaJobTool> tool_;
};

class FlushWithFakeLogTest : public FlushTest {
protected:
    FlushWithFakeLogTest() { fakeLog_ = true; }
};

} // namespace

TEST_F(FlushWithFakeLogTest, RecordsEveryPropertyAndDestinationInOrder)
{
    const std::string document(100, 'd');
    ASSERT_EQ(registerData(document, "secret"), S_OK);
    const std::string logImage = root_.path() + "/log.tif";
    writeFaxTiff(logImage, 1);
    ASSERT_EQ(tool_->RegisterLogData(Bstr(logImage).get()), S_OK);
    ASSERT_EQ(tool_->RegisterDocumentFiling2(1, Bstr("Box").get(), Bstr("1234").get(), Bstr("5678").get()), S_OK);
    ASSERT_EQ(tool_->RegisterAccountNumber(Bstr("00123").get(), nullptr), S_OK);
    ASSERT_EQ(registerTarget(1, "a@example.com", "Alice", "", "", 1), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob", "77", "99", 1), S_OK);
    ASSERT_EQ(tool_->FlushJob(), S_OK);

    const std::string doc80(80, 'd');
    const std::vector<std::string> expected = {
        "CreateLogData " + image_ + "|" + doc80,
        "AddLogPropertyWithData 42 logImagePath=log_image.tif|" + logImage,
        "AddLogProperty 42 pageNumber=3",
        "AddLogProperty 42 printerName=Office MFP",
        "AddLogProperty 42 userName=alice",
        "AddLogProperty 42 passWord=" + encrypt("secret"),
        "AddLogProperty 42 useAccountNumber=ON",
        "AddLogProperty 42 accountNumber=00123",
        "AddLogProperty 42 useDocumentFiling=ON",
        "AddLogProperty 42 documentFilingFolderType=1",
        "AddLogProperty 42 documentFilingFolderName=Box",
        "AddLogProperty 42 documentFilingFolderPassword=" + encrypt("1234"),
        "AddLogProperty 42 documentFilingFilePassword=" + encrypt("5678"),
        "AddLogDestination 42 name=Alice",
        "AddLogDestination 42 number=a@example.com",
        "AddLogDestination 42 isIFaxAddress=on",
        "AddLogDestination 42 useFcode=off",
        "AddLogDestination 42 subAddress=",
        "AddLogDestination 42 passCode=",
        "AddLogDestination 42 receptionConfirm=on",
        "FlushLogDestination 42",
        "AddLogDestination 42 name=Bob",
        "AddLogDestination 42 number=0123",
        "AddLogDestination 42 isIFaxAddress=off",
        "AddLogDestination 42 useFcode=on",
        "AddLogDestination 42 subAddress=77",
        "AddLogDestination 42 passCode=99",
        "AddLogDestination 42 receptionConfirm=off",
        "FlushLogDestination 42",
        "FlushLogData 42",
    };
    EXPECT_EQ(g_log.calls, expected);
    EXPECT_NE(encrypt("1234"), "1234");

    // The entry's date is the job's spool time, the one the stream was stamped with.
    platform::LocalTime logged;
    ASSERT_TRUE(platform::localTimeFromDate(g_log.date, logged));
    const auto spooled = ParseLastSpoolTime(
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "LastSpoolTime", ""));
    ASSERT_TRUE(spooled);
    EXPECT_EQ(FormatLastSpoolTime(logged, true), FormatLastSpoolTime(*spooled, true));
    ASSERT_EQ(spooler_->documents().size(), 1u);
    EXPECT_EQ(spooler_->documents()[0].name, doc80 + std::string(20, 'd')) << "the spooler document keeps the whole name";
    EXPECT_EQ(splitStream(printed()).value("@PJL SET JOBNAME="), doc80);
}

TEST_F(FlushWithFakeLogTest, UnnamedJobWithoutOptionsLogsItsJobNameAndTheJobImage)
{
    ASSERT_EQ(registerData(""), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
    ASSERT_EQ(registerTarget(0, "0456", "Carol"), S_OK);
    ASSERT_EQ(tool_->FlushJob(), S_OK);
    ASSERT_GE(g_log.calls.size(), 13u);
    EXPECT_EQ(g_log.calls[0], "CreateLogData " + image_ + "|FAX - 0123");
    EXPECT_EQ(g_log.calls[1], "AddLogPropertyWithData 42 logImagePath=log_image.tif|" + image_);
    const std::vector<std::string> options(g_log.calls.begin() + 5, g_log.calls.begin() + 13);
    const std::vector<std::string> expected = {
        "AddLogProperty 42 passWord=",
        "AddLogProperty 42 useAccountNumber=OFF",
        "AddLogProperty 42 accountNumber=",
        "AddLogProperty 42 useDocumentFiling=OFF",
        "AddLogProperty 42 documentFilingFolderType=0",
        "AddLogProperty 42 documentFilingFolderName=",
        "AddLogProperty 42 documentFilingFolderPassword=",
        "AddLogProperty 42 documentFilingFilePassword=",
    };
    EXPECT_EQ(options, expected);
    EXPECT_EQ(spooler_->documents().at(0).name, "FAX - 0123");
}

TEST_F(FlushWithFakeLogTest, AFailedLogCallStopsTheJobAndTakesTheEntryAway)
{
    ASSERT_EQ(registerData(), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
    for (int failing : {1, 2, 7, 15, 21}) {
        g_log = {};
        g_log.failAt = failing;
        EXPECT_EQ(tool_->FlushJob(), S_FALSE) << failing;
        ASSERT_GE(g_log.calls.size(), static_cast<size_t>(failing));
        // Nothing after the failed call, only the removal of what was begun.
        const size_t extra = g_log.calls.size() - static_cast<size_t>(failing);
        if (failing == 1) {
            EXPECT_EQ(extra, 0u);
        } else {
            ASSERT_EQ(extra, 1u) << failing;
            EXPECT_EQ(g_log.calls.back(), "RemoveLogData 42");
        }
        EXPECT_TRUE(spooler_->documents().empty()) << failing;
        EXPECT_EQ(job().m_bJobDataRegistered, 1);
    }
    g_log = {};
    EXPECT_EQ(tool_->FlushJob(), S_OK);
    EXPECT_EQ(g_log.calls.front().rfind("CreateLogData", 0), 0u);
    EXPECT_EQ(spooler_->documents().size(), 1u);
}

TEST_F(FlushTest, SentJobIsFoundByTheNameAndSpoolTimeItCarries)
{
    const std::string out = root_.path() + "/out.pjl";
    setMachineValue("FileOutput", out);
    for (const char* document : {"Quarterly report", ""}) {
        ::unlink(out.c_str());
        ASSERT_EQ(registerData(document), S_OK);
        ASSERT_EQ(tool_->RegisterDocumentFiling2(1, Bstr("Box").get(), Bstr("1234").get(), Bstr("").get()), S_OK);
        ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
        ASSERT_EQ(tool_->FlushJob(), S_OK);
        EXPECT_TRUE(spooler_->documents().empty()) << "the redirect file takes the job";

        // The cookie a job-result notice rebuilds from the stream's own fields.
        const Stream stream = splitStream(qelta::test::readTextFile(out));
        const std::string cookie = stream.value("@PJL SET JOBNAME=") + "-" + stream.value("@PJL SET SPOOLTIME=");
        EXPECT_EQ(stream.value("@PJL SET JOBNAME="), *document ? document : "FAX - 0123");
        auto log = realLog();
        int32_t id = 0;
        ASSERT_EQ(log->FindLogID(Bstr(cookie).get(), &id), S_OK) << cookie;
        Bstr password;
        ASSERT_EQ(log->GetLogProperty(id, Bstr("documentFilingFolderPassword").get(), password.out()), S_OK);
        EXPECT_EQ(password.ansi(), encrypt("1234"));
    }
    EXPECT_EQ(logCount(), 2);
}

TEST_F(FlushTest, FileOutputAndPrinterReceiveTheSameBytes)
{
    const std::string out = root_.path() + "/out.pjl";
    qelta::test::writeTextFile(out, "an earlier job");
    for (const std::string& target : {out, std::string(), root_.path() + "/no such folder/out.pjl"}) {
        setMachineValue("FileOutput", target);
        pinSpoolTime();
        ASSERT_EQ(registerData(), S_OK);
        ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
        ASSERT_EQ(tool_->FlushJob(), S_OK) << target;
        EXPECT_EQ(tool_->FlushJob(), S_FALSE) << "the record was reset";
    }
    EXPECT_EQ(qelta::test::readTextFile(out), "an earlier job");
    const std::string redirected = qelta::test::readTextFile(out + ".0");
    ASSERT_EQ(spooler_->documents().size(), 2u) << "a folder that does not exist sends to the printer";
    EXPECT_EQ(printed(0), redirected);
    EXPECT_EQ(printed(1), redirected);
    EXPECT_EQ(spooler_->documents()[0].pages.size(), 3u);
    const Stream stream = splitStream(redirected);
    EXPECT_EQ(stream.image, qelta::test::readTextFile(image_));
    EXPECT_EQ(stream.trailer, "\x1B%-12345X@PJL EOJ\r\n\x1B%-12345X");
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(FlushTest, ARedirectedJobNeedsNoPrintQueue)
{
    const std::string out = root_.path() + "/out.pjl";
    // The redirect file takes the job; a path that cannot be made falls back to the printer, which
    // the print system does not know: the send fails and nothing is printed.
    const struct {
        std::string target;
        HRESULT flushed;
    } rows[] = {{out, S_OK}, {root_.path() + "/no such folder/out.pjl", S_FALSE}};
    for (const auto& row : rows) {
        setMachineValue("FileOutput", row.target);
        Bstr i(image_), p("No Queue"), u("alice"), empty(""), d("Report");
        ASSERT_EQ(tool_->RegisterJobData(i.get(), p.get(), u.get(), empty.get(), 0, 0, d.get()), S_OK) << row.target;
        ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
        EXPECT_EQ(tool_->FlushJob(), row.flushed) << row.target;
    }
    EXPECT_EQ(splitStream(qelta::test::readTextFile(out)).image, qelta::test::readTextFile(image_));
    EXPECT_TRUE(spooler_->documents().empty());
    setMachineValue("FileOutput", "");
    Bstr i(image_), p("No Queue"), u("alice"), empty(""), d("Report");
    EXPECT_EQ(tool_->RegisterJobData(i.get(), p.get(), u.get(), empty.get(), 0, 0, d.get()), S_FALSE)
        << "a printed job needs its queue";
}

TEST_F(FlushTest, RetryAfterAFailedDeliveryIsLoggedOnce)
{
    ASSERT_EQ(registerData(), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
    ASSERT_EQ(tool_->RequestImageConverBeforeSending(3, 1, 200, 200), S_OK);
    spooler_->failAt(RecordingSpooler::Step::Write, 2);
    EXPECT_EQ(tool_->FlushJob(), S_FALSE);
    ASSERT_EQ(spooler_->documents().size(), 1u);
    EXPECT_TRUE(spooler_->documents()[0].cancelled) << "a broken stream never reaches the device";
    EXPECT_FALSE(spooler_->documents()[0].ended);
    EXPECT_EQ(job().m_strImagePath, image_) << "the record still names the registered image";
    EXPECT_TRUE(tempFiles().empty()) << "neither the stream nor the converted image stays";
    EXPECT_EQ(logCount(), 0) << "a fax that never left is not in the log";

    EXPECT_EQ(tool_->FlushJob(), S_OK);
    EXPECT_EQ(logCount(), 1) << "one send, one entry";
    ASSERT_EQ(spooler_->documents().size(), 2u);
    EXPECT_TRUE(spooler_->documents()[1].ended);
    // The entry is the one of the job that went out: found by the name and spool time it carried.
    const Stream sent = splitStream(printed(1));
    int32_t id = 0;
    EXPECT_EQ(realLog()->FindLogID(
                  Bstr(sent.value("@PJL SET JOBNAME=") + "-" + sent.value("@PJL SET SPOOLTIME=")).get(), &id),
              S_OK);
    EXPECT_TRUE(tempFiles().empty());
    EXPECT_TRUE(platform::pathExists(image_));
}

TEST_F(FlushTest, ConversionBeforeSendingSendsFaxPagesAndLogsTheOriginal)
{
    const std::string out = root_.path() + "/out.pjl";
    setMachineValue("FileOutput", out);
    ASSERT_EQ(registerData(), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
    ASSERT_EQ(tool_->RequestImageConverBeforeSending(3, 1, 200, 200), S_OK);
    ASSERT_EQ(tool_->FlushJob(), S_OK);

    const std::string sent = root_.path() + "/sent.tif";
    qelta::test::writeTextFile(sent, splitStream(qelta::test::readTextFile(out)).image);
    const auto source = readTiff(image_);
    const auto converted = readTiff(sent);
    ASSERT_EQ(converted.size(), 3u);
    for (size_t i = 0; i < converted.size(); ++i) {
        EXPECT_TRUE(converted[i].bits == source[i].bits) << "page " << i;
        EXPECT_EQ(converted[i].compression, COMPRESSION_CCITTFAX3);
        EXPECT_EQ(converted[i].group3Options & GROUP3OPT_2DENCODING, 0u);
        EXPECT_EQ(converted[i].photometric, source[i].photometric);
        EXPECT_FLOAT_EQ(converted[i].yDpi, 200);
    }
    // The log keeps the image as it was registered.
    auto log = realLog();
    int32_t id = 0;
    ASSERT_EQ(log->GetLogID(0, &id), S_OK);
    Bstr logImage;
    ASSERT_EQ(log->GetLogProperty(id, Bstr("logImagePath").get(), logImage.out()), S_OK);
    EXPECT_EQ(qelta::test::readTextFile(logImage.ansi()), qelta::test::readTextFile(image_));
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(FlushTest, FailedConversionSendsNothingAndLeavesNoFiles)
{
    ASSERT_EQ(registerData(), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
    ASSERT_EQ(tool_->RequestImageConverBeforeSending(3, 0, 0, 0), S_OK) << "resolutions are taken as they come";
    EXPECT_EQ(tool_->FlushJob(), S_FALSE);
    EXPECT_TRUE(spooler_->calls().size() == 2u) << "only the printer check of the registration";
    EXPECT_TRUE(tempFiles().empty());
    EXPECT_EQ(logCount(), 0) << "the entry made before the conversion went again";
}

TEST_F(FlushTest, ConvertJobImageConvertsAtOnce)
{
    const std::string out = root_.path() + "/converted.tif";
    Bstr src(image_), dst(out);
    ASSERT_EQ(tool_->ConvertJobImage(src.get(), dst.get(), 3, 0, 200, 200), S_OK);
    const auto pages = readTiff(out);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[2].bits == readTiff(image_).at(2).bits);
    EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
    Bstr missing(root_.path() + "/missing.tif");
    EXPECT_EQ(tool_->ConvertJobImage(missing.get(), dst.get(), 3, 0, 200, 200), S_FALSE);
    EXPECT_EQ(readTiff(out).size(), 3u) << "a failed conversion leaves the earlier file";

    // The libraries stay loaded while any job object still uses them.
    Ptr<IQeltaJobTool> second;
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, second), S_OK);
    tool_.reset();
    ::unlink(out.c_str());
    EXPECT_EQ(second->ConvertJobImage(src.get(), dst.get(), 3, 1, 200, 200), S_OK);
    EXPECT_EQ(readTiff(out).size(), 3u);
    tool_ = std::move(second);
    ASSERT_EQ(registerData(), S_OK);
}

TEST_F(FlushTest, AValueThatWouldBreakItsPjlLineStopsTheJob)
{
    // The notification-address server hands over what the registry holds, CR LF and all.
    const CRegistryHelper rtn(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\");
    rtn.WriteString("RTN", "FAXIPAddress", "192.0.2.5");
    rtn.WriteDword("RTN", "FAXRunning", 1);
    for (const char* port : {"6000\r\n@PJL SET FAXMEMORYBOXCOUNT=9", "60\"00", "6000"}) {
        rtn.WriteString("RTN", "FAXServerPort", port);
        tool_.reset();
        ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, tool_), S_OK);
        ASSERT_EQ(registerData(), S_OK);
        // A destination without F-code never carries its sub-address or pass code.
        ASSERT_EQ(registerTarget(0, "0123", "Bob", "1/2;3", "4;5/6", 0), S_OK);
        const bool clean = std::string(port) == "6000";
        EXPECT_EQ(tool_->FlushJob(), clean ? S_OK : S_FALSE) << port;
        EXPECT_EQ(spooler_->documents().size(), clean ? 1u : 0u) << port;
        EXPECT_TRUE(tempFiles().empty()) << port;
    }
    const Stream stream = splitStream(printed(0));
    EXPECT_EQ(stream.value("@PJL SET IPADDRESS="), "192.0.2.5:6000");
    EXPECT_EQ(stream.block.substr(6), "0123;");
}

// Every refused FlushJob says why through the thread's error information, with the system's text
// of the call that failed, and names the print queue only when the queue failed: no job, a sending
// log that is not registered or whose folder or index cannot be written, a page that cannot be
// converted, a stream that cannot be built.
TEST_F(FlushTest, EachRefusedFlushNamesItsCause)
{
    const std::string notAFolder = root_.path() + "/plain-file";
    qelta::test::writeTextFile(notAFolder, "");
    const std::string temp = *platform::knownFolder(platform::KnownFolder::Temp);
    const struct {
        const char* name;
        bool registered; // the job's data and one destination are registered first
        std::function<void()> breakIt;
        std::string reasonStart, reasonEnd;
    } cases[] = {
        {"nothing registered", false, [] {}, "the job tool holds no job: no page file was registered", ""},
        {"log folder", true, [&] {
             ASSERT_EQ(CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix)
                           .WriteString(kProductSubkey, "LogDirectory", notAFolder + "/log"), 1);
         }, "the job cannot be recorded in the sending log: the sending log entry cannot be made in the log folder "
                + notAFolder + "/log: ", "Not a directory"},
        {"sending log not registered", true, [&] {
             ASSERT_EQ(platform::deleteKeyTree(platform::Hive::ClassesRoot,
                                               "CLSID\\" + platform::com::guidToString(CLSID_QeltaLogTool)),
                       platform::RegStatus::Ok);
             tool_.reset();
             ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, tool_), S_OK);
             ASSERT_EQ(registerData(), S_OK);
             ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
         }, "the job cannot be recorded in the sending log: the component sendlog.QeltaLogTool", " is not registered"},
        {"conversion", true, [&] { ASSERT_EQ(tool_->RequestImageConverBeforeSending(3, 0, 0, 0), S_OK); },
         "page 1 of " + image_ + " (",
         "cannot be converted to MMR at 0 x 0 dpi: the conversion library answered 1 (resolution 0x0 out of range)"},
        {"log index", true, [&] {
             ASSERT_EQ(CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix)
                           .WriteString(kProductSubkey, "LogDirectory", root_.path() + "/log-with-a-folder-index"), 1);
             ASSERT_TRUE(platform::createDirectories(root_.path() + "/log-with-a-folder-index/root.xml"));
         }, "the job cannot be recorded in the sending log: the sending log entry cannot be made in the log folder "
                + root_.path() + "/log-with-a-folder-index: ", "Is a directory"},
        {"conversion's temporary folder", true, [&] {
             ASSERT_EQ(tool_->RequestImageConverBeforeSending(3, 0, 200, 200), S_OK);
             std::filesystem::remove_all(temp);
             qelta::test::writeTextFile(temp, "");
         }, "the temporary folder " + temp + " cannot be made: Not a directory", "Not a directory"},
        {"stream", true, [&] {
             std::filesystem::remove_all(temp);
             qelta::test::writeTextFile(temp, "");
         }, "the job stream cannot be built: the temporary folder " + temp + " cannot be made: Not a directory",
         "Not a directory"},
        {"queue", true, [&] { spooler_->failAt(RecordingSpooler::Step::Open, 1); },
         "the print queue \"Office MFP\" cannot be opened", ")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(tool_->CleanJob(), S_OK);
        if (c.registered) {
            ASSERT_EQ(registerData(), S_OK);
            ASSERT_EQ(registerTarget(0, "0123", "Bob"), S_OK);
        }
        ASSERT_NO_FATAL_FAILURE(c.breakIt());
        platform::com::takeErrorInfo();
        EXPECT_EQ(tool_->FlushJob(), S_FALSE);
        const std::string reason = platform::com::takeErrorInfo();
        EXPECT_TRUE(reason.starts_with(c.reasonStart)) << reason;
        EXPECT_TRUE(reason.ends_with(c.reasonEnd)) << reason;
        EXPECT_TRUE(c.reasonStart.starts_with("the print queue") || reason.find("print queue") == std::string::npos)
            << reason;
        EXPECT_TRUE(spooler_->documents().empty());
        // Each case breaks one thing only: what the one before broke is mended.
        CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "LogDirectory", "");
        registerServer("sendlog.dll");
        if (std::filesystem::is_regular_file(temp))
            std::filesystem::remove(temp);
        platform::createDirectories(temp);
        tool_.reset();
        ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, tool_), S_OK);
    }
}
