// The job builder's registrations: what each one accepts, what it stores, what a refusal leaves
// behind, and that FlushJob never reaches the spooler while there is no sending log to record in.
#include "crypto/IQeltaEncTool.h"
#include "crypto/enclib.h"
#include "jobbuilder/job_tool.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/spooler.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "jobbuilder/tests/support/job_test_support.h"

#include <gtest/gtest.h>
#include <thread>
#include <tiffio.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using platform::RecordingSpooler;
using platform::com::Bstr;
using platform::com::Ptr;
using jobtest::registerServer;
using jobtest::writeFaxTiff;

constexpr const char* kPrinter = "Office MFP";
constexpr uint32_t kInproc = 23;

// What RegisterJobData stores, for comparing before and after a refusal.
auto jobData(const CQeltaJob& j)
{
    return std::tuple(j.m_strImagePath, j.m_strPrinterName, j.m_strUserName, j.m_strPassword, j.m_nModelType,
                      j.m_bJobEndNotification, j.m_strDocumentName, j.m_nPageCount, j.m_bJobDataRegistered);
}

class JobToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler_ = RecordingSpooler::install(kPrinter);
        platform::com::initializeThread();
        std::vector<const char*> servers = {"qeltamd5lib.dll", "resultreceiver.dll", "jobbuilder.dll"};
        if (withEncryption_)
            servers.push_back("cryptotool.dll");
        for (const char* server : servers) {
            registerServer(server);
            if (HasFatalFailure())
                return;
        }
        onePage_ = root_.path() + "/one.tif";
        threePages_ = root_.path() + "/three.tif";
        writeFaxTiff(onePage_, 1);
        writeFaxTiff(threePages_, 3);
        IQeltaJobTool* raw = nullptr;
        ASSERT_EQ(platform::com::createObject<CQeltaJobTool>(IQeltaJobTool::iid, reinterpret_cast<void**>(&raw)), S_OK);
        tool_ = Ptr<IQeltaJobTool>::adopt(raw);
    }

    void TearDown() override
    {
        tool_.reset();
        platform::setSpooler(nullptr);
        platform::com::uninitializeThread();
    }

    const CQeltaJob& job() const { return static_cast<const CQeltaJobTool*>(tool_.get())->Job(); }

    HRESULT registerData(const std::string& image, const std::string& printer = kPrinter,
                         const std::string& user = "alice", const std::string& password = "",
                         int32_t mfpType = 3, int32_t notify = 1, const std::string& document = "Report")
    {
        Bstr i(image), p(printer), u(user), pw(password), d(document);
        return tool_->RegisterJobData(i.get(), p.get(), u.get(), pw.get(), mfpType, notify, d.get());
    }

    HRESULT registerTarget(int32_t type, const std::string& number, const std::string& sub = "",
                           const std::string& pass = "", int32_t params = 0, const std::string& name = "")
    {
        Bstr n(name), f(number), s(sub), c(pass), reserved("x");
        return tool_->RegisterJobTarget(type, n.get(), f.get(), s.get(), c.get(), params, reserved.get());
    }

    HRESULT filing2(int32_t type, const std::string& folder, const std::string& folderPw, const std::string& filePw)
    {
        Bstr f(folder), a(folderPw), b(filePw);
        return tool_->RegisterDocumentFiling2(type, f.get(), a.get(), b.get());
    }

    bool withEncryption_ = true;
    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<RecordingSpooler> spooler_;
    std::string onePage_, threePages_;
    Ptr<IQeltaJobTool> tool_;
};

class JobToolWithoutEncryptionTest : public JobToolTest {
protected:
    JobToolWithoutEncryptionTest() { withEncryption_ = false; }
};

// An encryption server whose answers a test chooses.
struct FakeEncAnswer {
    HRESULT hr = S_OK;
    bool null = false;
    std::string text;
};
FakeEncAnswer g_fakeEnc;

class FakeEncTool : public platform::com::Object<IQeltaEncTool> {
public:
    HRESULT EncryptString(int32_t, BSTR, BSTR* out) override
    {
        *out = g_fakeEnc.null ? nullptr : platform::com::bstrFromAnsi(g_fakeEnc.text);
        return g_fakeEnc.hr;
    }
    HRESULT DecryptString(int32_t, BSTR, BSTR* out) override
    {
        *out = nullptr;
        return S_OK;
    }
};

} // namespace

TEST_F(JobToolTest, FlushJobWithoutASendingLogNeverReachesTheSpooler)
{
    EXPECT_EQ(tool_->FlushJob(), S_FALSE);
    EXPECT_EQ(tool_->CleanJob(), S_OK);
    EXPECT_EQ(tool_->FlushJob(), S_FALSE);
    EXPECT_TRUE(spooler_->calls().empty());

    ASSERT_EQ(registerData(onePage_), S_OK);
    EXPECT_EQ(tool_->FlushJob(), S_FALSE) << "no destination yet";
    ASSERT_EQ(registerTarget(0, "0123"), S_OK);
    const std::vector<std::string> registration = {"open Office MFP", "close"};
    EXPECT_EQ(spooler_->calls(), registration);
    EXPECT_EQ(tool_->FlushJob(), S_FALSE);
    EXPECT_EQ(spooler_->calls(), registration);
    EXPECT_TRUE(spooler_->documents().empty());
    // A failed flush keeps the registrations.
    EXPECT_EQ(job().m_bJobDataRegistered, 1);
    EXPECT_EQ(job().m_destinations.size(), 1u);
}

TEST_F(JobToolTest, RegisterJobTargetTypesAndFlags)
{
    for (int32_t type : {2, -1})
        EXPECT_EQ(registerTarget(type, "0123", "", "", 1), S_FALSE) << type;
    EXPECT_TRUE(job().m_destinations.empty());
    EXPECT_EQ(job().m_bDestinationRegistered, 0);

    ASSERT_EQ(registerTarget(1, "a@example.com", "", "", 1, "Alice"), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "77", "1234", 1, "Bob"), S_OK);
    ASSERT_EQ(registerTarget(0, "0456", "", "", 2), S_OK);
    ASSERT_EQ(registerTarget(1, "b@example.com", "", "", 0), S_OK);
    ASSERT_EQ(registerTarget(0, "0789", "", "", -1), S_OK);
    EXPECT_EQ(job().m_bDestinationRegistered, 1);

    struct Expected {
        const char* number;
        int ifax, fcode, confirm;
    };
    const Expected expected[] = {
        {"a@example.com", 1, 0, 1}, {"0123", 0, 1, 0}, {"0456", 0, 0, 0}, {"b@example.com", 1, 0, 0}, {"0789", 0, 0, 0}};
    ASSERT_EQ(job().m_destinations.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const CJobDestination& d = *job().m_destinations[i];
        EXPECT_EQ(d.m_strNumber, expected[i].number) << i;
        EXPECT_EQ(d.m_bIFax, expected[i].ifax) << i;
        EXPECT_EQ(d.m_bFCode, expected[i].fcode) << i;
        EXPECT_EQ(d.m_bReceptionConfirm, expected[i].confirm) << i;
    }
    const CJobDestination& fcode = *job().m_destinations[1];
    EXPECT_EQ(std::tie(fcode.m_strName, fcode.m_strSubAddress, fcode.m_strPassCode), std::tuple("Bob", "77", "1234"));

    // Null texts count as empty ones.
    ASSERT_EQ(tool_->RegisterJobTarget(0, nullptr, nullptr, nullptr, nullptr, 1, nullptr), S_OK);
    const CJobDestination& blank = *job().m_destinations.back();
    EXPECT_EQ(blank.m_strNumber + blank.m_strName + blank.m_strSubAddress + blank.m_strPassCode, "");
    EXPECT_EQ(blank.m_bFCode, 1);
}

TEST_F(JobToolTest, RegisterJobTargetRefusesSeparatorsAndControlBytes)
{
    ASSERT_EQ(registerTarget(0, "0123", "1", "2", 1), S_OK);
    // A quotation mark would also end the quoted job name the first number can become.
    for (const char* bad : {";", "/", "\"", "\n", "\r", "\x1B", "\x7F"}) {
        const std::string value = std::string("12") + bad + "34";
        EXPECT_EQ(registerTarget(0, value, "1", "2", 1), S_FALSE) << "number " << int(*bad);
        EXPECT_EQ(registerTarget(0, "0456", value, "2", 1), S_FALSE) << "sub-address " << int(*bad);
        EXPECT_EQ(registerTarget(0, "0456", "1", value, 1), S_FALSE) << "pass code " << int(*bad);
        EXPECT_EQ(registerTarget(1, value, "", "", 1), S_FALSE) << "address " << int(*bad);
    }
    ASSERT_EQ(job().m_destinations.size(), 1u);
    EXPECT_EQ(job().m_destinations[0]->m_strNumber, "0123");
}

TEST_F(JobToolTest, RegisterJobTargetStopsAtTheDestinationCountLimit)
{
    Bstr number("1");
    for (size_t i = 0; i < jobcheck::kMaxDestinations; ++i)
        if (tool_->RegisterJobTarget(0, nullptr, number.get(), nullptr, nullptr, 0, nullptr) != S_OK)
            FAIL() << "destination " << i << " refused";
    EXPECT_EQ(job().m_destinations.size(), 65535u);
    EXPECT_EQ(tool_->RegisterJobTarget(0, nullptr, number.get(), nullptr, nullptr, 0, nullptr), S_FALSE);
    EXPECT_EQ(job().m_destinations.size(), 65535u);
}

TEST_F(JobToolTest, RegisterJobDataStoresTheJobAndTheEncodedPassword)
{
    ASSERT_EQ(registerData(threePages_, kPrinter, "J\xC3\xBCrgen M\xC3\xBCller", "s3cret!", 2, 1, "Quarterly report"), S_OK);
    const CQeltaJob& j = job();
    EXPECT_EQ(jobData(j), std::tuple(threePages_, kPrinter, "J\xC3\xBCrgen M\xC3\xBCller", j.m_strPassword, 2, 1,
                                     "Quarterly report", 3, 1));

    ASSERT_FALSE(j.m_strPassword.empty());
    EXPECT_NE(j.m_strPassword, "s3cret!");
    const auto crypto = platform::Library::load("cryptotool.dll");
    ASSERT_TRUE(crypto);
    const auto decrypt = crypto->function<int (*)(int, const char*, char**)>("ENCLIB_DecryptString");
    const auto release = crypto->function<void (*)(char*)>("ENCLIB_EncryptFree");
    ASSERT_TRUE(decrypt && release);
    char* plain = nullptr;
    ASSERT_GE(decrypt(ENCLIB_TYPE_AES, j.m_strPassword.c_str(), &plain), 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(std::string(plain), "s3cret!");
    release(plain);

    // A later registration replaces the earlier one; an empty password is stored empty.
    ASSERT_EQ(registerData(onePage_, kPrinter, "bob", "", 0, 0, ""), S_OK);
    EXPECT_EQ(jobData(j), std::tuple(onePage_, kPrinter, "bob", "", 0, 0, "", 1, 1));
}

TEST_F(JobToolTest, RegisterJobDataRefusalsKeepTheEarlierRegistration)
{
    ASSERT_EQ(registerData(onePage_, kPrinter, "alice", "pw", 3, 1, "Report"), S_OK);
    const auto before = jobData(job());
    const std::string text = root_.path() + "/notes.tif";
    qelta::test::writeTextFile(text, "not an image\n");
    for (const char* odd : {"Office \"MFP\"", "Office\rMFP", "Office\x01MFP"})
        spooler_->addPrinter(odd); // known, so only the name itself can be the reason

    auto refused = [&](HRESULT hr, const char* what) {
        EXPECT_EQ(hr, S_FALSE) << what;
        EXPECT_EQ(jobData(job()), before) << what;
    };
    refused(registerData(threePages_, kPrinter, "bob", "", 4), "model type 4");
    refused(registerData(threePages_, kPrinter, "bob", "", -1), "model type -1");
    refused(registerData(root_.path() + "/missing.tif", kPrinter, "bob"), "missing image");
    refused(registerData(""), "no image");
    refused(registerData(text, kPrinter, "bob"), "not an image");
    refused(registerData(threePages_, "Other MFP", "bob"), "unknown printer");
    spooler_->failAt(RecordingSpooler::Step::Open);
    refused(registerData(threePages_, kPrinter, "bob"), "printer does not open");
    refused(registerData(threePages_, "Office \"MFP\"", "bob"), "quote in printer");
    refused(registerData(threePages_, "Office\rMFP", "bob"), "CR in printer");
    refused(registerData(threePages_, "Office\x01MFP", "bob"), "control byte in printer");
    refused(registerData(threePages_, kPrinter, "bo\"b"), "quote in user");
    refused(registerData(threePages_, kPrinter, "bob\r\n@PJL SET X=1"), "CR LF in user");
    refused(registerData(threePages_, kPrinter, "b\x1B" "ob"), "ESC in user");
    refused(registerData(threePages_, kPrinter, "bob", "", 3, 1, "Re\"port"), "quote in document");
    refused(registerData(threePages_, kPrinter, "bob", "", 3, 1, "Re\nport"), "LF in document");
    refused(registerData(threePages_, kPrinter, "bob", "", 3, 1, "Re\x7Fport"), "DEL in document");
    // "@PJL SET MFPUSERNAME=" + quoted name + CR LF fits 1023 bytes up to a 998-byte name.
    refused(registerData(threePages_, kPrinter, std::string(1000, 'u')), "1000-byte user");
    refused(registerData(threePages_, kPrinter, std::string(999, 'u')), "999-byte user");

    EXPECT_EQ(registerData(threePages_, kPrinter, std::string(998, 'u')), S_OK);
    EXPECT_EQ(job().m_strUserName.size(), 998u);
}

TEST_F(JobToolTest, RegisterJobDataRefusesUnusableEncryptionResults)
{
    Ptr<IClassFactory> factory(new platform::com::ClassFactory<FakeEncTool>());
    platform::com::registerClassObject(CLSID_QeltaEncTool, factory.get());
    g_fakeEnc = {S_OK, false, "ZW5jb2RlZA=="};
    ASSERT_EQ(registerData(onePage_, kPrinter, "alice", "1234"), S_OK);
    EXPECT_EQ(job().m_strPassword, "ZW5jb2RlZA==");
    const auto before = jobData(job());

    const FakeEncAnswer bad[] = {{S_OK, true, ""}, {S_OK, false, ""}, {E_FAIL, false, "ZW5j"}, {S_OK, false, "ab\"cd"}};
    for (const auto& answer : bad) {
        g_fakeEnc = answer;
        EXPECT_EQ(registerData(threePages_, kPrinter, "bob", "5678"), S_FALSE) << answer.text;
        EXPECT_EQ(jobData(job()), before) << answer.text;
    }
    platform::com::registerClassObject(CLSID_QeltaEncTool, nullptr);
    g_fakeEnc = {};
}

TEST_F(JobToolWithoutEncryptionTest, OnlyAnEmptyPasswordRegistersWithoutTheEncryptionServer)
{
    EXPECT_EQ(registerData(onePage_, kPrinter, "alice", "1234"), S_FALSE);
    EXPECT_EQ(job().m_bJobDataRegistered, 0);
    EXPECT_EQ(registerData(onePage_, kPrinter, "alice", ""), S_OK);
    EXPECT_EQ(job().m_strPassword, "");
    EXPECT_EQ(job().m_bJobDataRegistered, 1);
}

TEST_F(JobToolTest, DocumentFilingChecksTypeAndPasswords)
{
    const CQeltaJob& j = job();
    auto filing = [&] {
        return std::tie(j.m_nFilingFolderType, j.m_strFilingFolderName, j.m_strFilingFolderPassword,
                        j.m_strFilingFilePassword, j.m_bFiling);
    };
    ASSERT_EQ(filing2(1, "Team", "0042", "9999"), S_OK);
    EXPECT_EQ(filing(), std::tuple(1, "Team", "0042", "9999", 1));

    EXPECT_EQ(filing2(3, "Other", "1", "2"), S_FALSE);
    EXPECT_EQ(filing2(-1, "Other", "1", "2"), S_FALSE);
    EXPECT_EQ(filing2(2, "Other", "12a", "2"), S_FALSE);
    EXPECT_EQ(filing2(2, "Other", "1", "2 "), S_FALSE);
    EXPECT_EQ(filing2(2, "Ot\"her", "1", "2"), S_FALSE);
    EXPECT_EQ(filing2(2, "Ot\nher", "1", "2"), S_FALSE);
    Bstr folder("Other"), letter("12a"), empty("");
    EXPECT_EQ(tool_->RegisterDocumentFiling(0, folder.get(), letter.get()), S_FALSE);
    EXPECT_EQ(tool_->RegisterDocumentFiling(3, folder.get(), empty.get()), S_FALSE);
    EXPECT_EQ(filing(), std::tuple(1, "Team", "0042", "9999", 1));

    // The short form has no file password: it clears the earlier one.
    Bstr digits("31");
    ASSERT_EQ(tool_->RegisterDocumentFiling(1, folder.get(), digits.get()), S_OK);
    EXPECT_EQ(filing(), std::tuple(1, "Other", "31", "", 1));
    ASSERT_EQ(filing2(1, "Team", "0042", "9999"), S_OK);
    ASSERT_EQ(tool_->RegisterDocumentFiling(2, folder.get(), empty.get()), S_OK);
    EXPECT_EQ(filing(), std::tuple(2, "Other", "", "", 1));
}

TEST_F(JobToolTest, AccountNumberIsDigitsOnly)
{
    Bstr hyphen("12-3"), leadingZeros("00123");
    EXPECT_EQ(tool_->RegisterAccountNumber(hyphen.get(), nullptr), S_FALSE);
    EXPECT_EQ(job().m_bAccountNumber, 0);
    EXPECT_EQ(job().m_strAccountNumber, "");
    ASSERT_EQ(tool_->RegisterAccountNumber(leadingZeros.get(), nullptr), S_OK);
    EXPECT_EQ(job().m_bAccountNumber, 1);
    EXPECT_EQ(job().m_strAccountNumber, "00123");
    EXPECT_EQ(tool_->RegisterAccountNumber(hyphen.get(), nullptr), S_FALSE);
    EXPECT_EQ(job().m_strAccountNumber, "00123");
}

TEST_F(JobToolTest, ConversionTablesBoundPaperAndCompression)
{
    const CQeltaJob& j = job();
    auto conversion = [&] {
        return std::tie(j.m_nConversionPaperType, j.m_nConversionCompressionType, j.m_nConversionXResolution,
                        j.m_nConversionYResolution, j.m_bConversionRequested);
    };
    for (int paper : {0, 16})
        for (int compression : {0, 2}) {
            ASSERT_EQ(tool_->RequestImageConverBeforeSending(paper, compression, 200 + paper, -7), S_OK);
            EXPECT_EQ(conversion(), std::tuple(paper, compression, 200 + paper, -7, 1));
        }
    for (auto [paper, compression] : {std::pair(17, 0), std::pair(-1, 0), std::pair(0, 3), std::pair(0, -1)})
        EXPECT_EQ(tool_->RequestImageConverBeforeSending(paper, compression, 1, 1), S_FALSE) << paper << compression;
    EXPECT_EQ(conversion(), std::tuple(16, 2, 216, -7, 1));

    Bstr src(onePage_), dst(root_.path() + "/out.tif");
    EXPECT_EQ(tool_->ConvertJobImage(src.get(), dst.get(), 17, 0, 200, 200), S_FALSE);
    EXPECT_EQ(tool_->ConvertJobImage(src.get(), dst.get(), 0, 3, 200, 200), S_FALSE);
}

TEST_F(JobToolTest, LogDataAndDriverHeader)
{
    Bstr missing(root_.path() + "/missing.tif"), present(onePage_);
    EXPECT_EQ(tool_->RegisterLogData(missing.get()), S_FALSE);
    EXPECT_EQ(tool_->RegisterLogData(nullptr), S_FALSE);
    EXPECT_EQ(job().m_bLogImageRegistered, 0);
    ASSERT_EQ(tool_->RegisterLogData(present.get()), S_OK);
    EXPECT_EQ(job().m_strLogImagePath, onePage_);
    EXPECT_EQ(job().m_bLogImageRegistered, 1);

    EXPECT_EQ(tool_->RegisterQeltaHeader(2), S_OK);
    EXPECT_EQ(job().m_nDriverHeader, 2);
    EXPECT_EQ(tool_->RegisterQeltaHeader(1), S_OK);
    EXPECT_EQ(job().m_nDriverHeader, 1);
}

TEST_F(JobToolTest, CleanJobForgetsEverythingAndTheObjectStaysUsable)
{
    ASSERT_EQ(registerData(threePages_, kPrinter, "alice", "1234", 3, 1, "Report"), S_OK);
    ASSERT_EQ(registerTarget(0, "0123", "1", "2", 1, "Bob"), S_OK);
    ASSERT_EQ(filing2(1, "Team", "1", "2"), S_OK);
    Bstr account("42"), log(onePage_);
    ASSERT_EQ(tool_->RegisterAccountNumber(account.get(), nullptr), S_OK);
    ASSERT_EQ(tool_->RegisterLogData(log.get()), S_OK);
    ASSERT_EQ(tool_->RequestImageConverBeforeSending(5, 1, 200, 100), S_OK);
    ASSERT_EQ(tool_->RegisterQeltaHeader(1), S_OK);
    CJobStream stream;
    ASSERT_TRUE(static_cast<CQeltaJobTool*>(tool_.get())->BuildStream("Report", stream));
    ASSERT_EQ(job().m_bSpoolTimeFixed, 1);

    EXPECT_EQ(tool_->CleanJob(), S_OK);
    const CQeltaJob& j = job();
    EXPECT_EQ(j.m_nPageCount, 0);
    EXPECT_EQ(j.m_nFilingFolderType, 0);
    EXPECT_EQ(j.m_nModelType, 99);
    for (int flag : {j.m_bFiling, j.m_bJobDataRegistered, j.m_bLogImageRegistered, j.m_bDestinationRegistered,
                     j.m_bJobEndNotification, j.m_bAccountNumber, j.m_bSpoolTimeFixed, j.m_bConversionRequested,
                     j.m_nDriverHeader, j.m_nConversionPaperType, j.m_nConversionCompressionType,
                     j.m_nConversionXResolution, j.m_nConversionYResolution})
        EXPECT_EQ(flag, 0);
    for (const std::string* text : {&j.m_strImagePath, &j.m_strLogImagePath, &j.m_strPrinterName, &j.m_strUserName,
                                    &j.m_strPassword, &j.m_strFilingFolderName, &j.m_strFilingFolderPassword,
                                    &j.m_strFilingFilePassword, &j.m_strDocumentName, &j.m_strAccountNumber})
        EXPECT_EQ(*text, "");
    EXPECT_TRUE(j.m_destinations.empty());

    // The servers stay: a password still encrypts after the reset.
    EXPECT_EQ(registerData(onePage_, kPrinter, "bob", "5678"), S_OK);
    EXPECT_FALSE(j.m_strPassword.empty());
    EXPECT_EQ(registerTarget(1, "a@example.com"), S_OK);
    EXPECT_EQ(j.m_destinations.size(), 1u);
}

TEST_F(JobToolTest, JobNameIsTheDocumentNameOrTheFirstDestination)
{
    ASSERT_EQ(registerData(onePage_, kPrinter, "alice", "", 3, 0, ""), S_OK);
    ASSERT_EQ(registerTarget(0, "0123"), S_OK);
    ASSERT_EQ(registerTarget(0, "0456"), S_OK);
    EXPECT_EQ(job().JobName(), "FAX - 0123");
    ASSERT_EQ(registerData(onePage_, kPrinter, "alice", "", 3, 0, "Minutes"), S_OK);
    EXPECT_EQ(job().JobName(), "Minutes");
}

TEST_F(JobToolTest, CreatedThroughTheRegistry)
{
    Ptr<IQeltaJobTool> byProgId, byClsid;
    ASSERT_EQ(platform::com::createInstance(kQeltaJobToolProgId, kInproc, byProgId), S_OK);
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, kInproc, byClsid), S_OK);
    ASSERT_TRUE(byProgId && byClsid);
    EXPECT_NE(byProgId.get(), byClsid.get());
    Bstr account("7");
    EXPECT_EQ(byProgId->RegisterAccountNumber(account.get(), nullptr), S_OK);
    EXPECT_EQ(byClsid->RegisterQeltaHeader(1), S_OK);
    EXPECT_EQ(byClsid->FlushJob(), S_FALSE);
}

TEST_F(JobToolTest, ThreadInitialisationIsBalanced)
{
    // On a thread of its own, an object that creates its servers leaves the thread as it found it.
    std::thread([this] {
        {
            Ptr<IQeltaJobTool> tool;
            ASSERT_EQ(platform::com::createObject<CQeltaJobTool>(IQeltaJobTool::iid, tool.out()), S_OK);
            Bstr i(threePages_), p(kPrinter), u("alice"), pw("1234"), d("Report");
            EXPECT_EQ(tool->RegisterJobData(i.get(), p.get(), u.get(), pw.get(), 3, 1, d.get()), S_OK);
        }
        EXPECT_FALSE(platform::com::threadInitialized());
    }).join();
}
