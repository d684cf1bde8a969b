// The spooler over a real CUPS server: a private cupsd on the loopback interface with a raw queue
// whose backend keeps every job. Raw documents arrive unchanged, abandoned ones never arrive, and
// a job sent by FlushJob reaches the device byte for byte as the redirect file receives it; a job
// for a queue the server lacks says why it was refused.
#include "common/registry_helper.h"
#include "jobbuilder/job_tool.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/spooler.h"
#include "platform/tests/support/cups_server.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

namespace {

using namespace std::chrono_literals;
using platform::com::Bstr;
using platform::com::Ptr;

class CupsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = std::make_unique<qelta::test::CPrivateCupsServer>();
        if (!server_->Start(why_))
            return;
        // Every CUPS client of this process talks to the private server.
        ::setenv("CUPS_SERVER", server_->Address().c_str(), 1);
        ready_ = true;
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override
    {
        if (!ready_)
            return qelta::test::SkipOrFailWithoutCups(why_);
    }

    static std::string randomBytes(size_t size, unsigned seed)
    {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (auto& c : bytes)
            c = static_cast<char>(random());
        return bytes;
    }

    // Sends bytes as one raw document in pieces; false when any step fails.
    static bool printRaw(const std::string& bytes, const char* name)
    {
        auto printer = platform::makeCupsSpooler()->openPrinter(server_->Queue());
        if (!printer || !printer->startDocument(name, "RAW") || !printer->startPage())
            return false;
        for (size_t at = 0; at < bytes.size();) {
            size_t written = 0;
            if (!printer->write(bytes.data() + at, std::min<size_t>(7000, bytes.size() - at), written))
                return false;
            at += written;
        }
        return printer->endPage() && printer->endDocument();
    }

    static inline std::unique_ptr<qelta::test::CPrivateCupsServer> server_;
    static inline std::string why_;
    static inline bool ready_ = false;
};

} // namespace

TEST_F(CupsTest, RawDocumentsArriveUnchangedAndAbandonedOnesNever)
{
    EXPECT_FALSE(platform::makeCupsSpooler()->openPrinter("no_such_queue"));
    const size_t before = server_->WaitForJobs(0, 0ms).size();
    {
        // Abandoned twice: explicitly, and by closing the printer in the middle of the document.
        auto printer = platform::makeCupsSpooler()->openPrinter(server_->Queue());
        ASSERT_TRUE(printer);
        ASSERT_TRUE(printer->startDocument("cancelled", "RAW"));
        ASSERT_TRUE(printer->startPage());
        size_t written = 0;
        ASSERT_TRUE(printer->write("partial", 7, written));
        printer->cancelDocument();
        auto closed = platform::makeCupsSpooler()->openPrinter(server_->Queue());
        ASSERT_TRUE(closed && closed->startDocument("closed", "RAW") && closed->startPage());
        ASSERT_TRUE(closed->write("partial", 7, written));
    }
    const std::string bytes = randomBytes(300 * 1024, 7);
    ASSERT_TRUE(printRaw(bytes, "complete"));
    auto jobs = server_->WaitForJobs(before + 1, 30s);
    ASSERT_EQ(jobs.size(), before + 1);
    EXPECT_TRUE(jobs.back() == bytes) << "the raw document changed on its way";
    // Nothing else turns up later.
    jobs = server_->WaitForJobs(before + 2, 3s);
    EXPECT_EQ(jobs.size(), before + 1);
}

TEST_F(CupsTest, FlushJobSendsTheStreamTheRedirectFileReceives)
{
    qelta::test::ScopedStateRoot root;
    platform::com::initializeThread();
    for (const char* server :
         {"qeltamd5lib.dll", "resultreceiver.dll", "cryptotool.dll", "sendlog.dll", "jobbuilder.dll"}) {
        jobtest::registerServer(server);
        ASSERT_FALSE(HasFatalFailure());
    }
    const std::string image = root.path() + "/scan.tif";
    jobtest::writeFaxTiff(image, 3);
    const std::string out = root.path() + "/out.pjl";
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    // Both jobs get the same spool time: one second after a last spool time half an hour ahead.
    const std::time_t later = std::time(nullptr) + 1800;
    char last[32];
    std::strftime(last, sizeof last, "%Y/%m/%d,%H:%M:%S", std::localtime(&later));

    const size_t before = server_->WaitForJobs(0, 0ms).size();
    Ptr<IQeltaJobTool> tool;
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, 23, tool), S_OK);
    for (const std::string& target : {out, std::string()}) {
        ASSERT_EQ(machine.WriteString(kProductSubkey, "FileOutput", target), 1);
        ASSERT_EQ(machine.WriteString(kProductSubkey, "LastSpoolTime", last), 1);
        Bstr path(image), queue(server_->Queue()), user("alice"), password(""), document("Quarterly report");
        ASSERT_EQ(tool->RegisterJobData(path.get(), queue.get(), user.get(), password.get(), 3, 1, document.get()), S_OK);
        Bstr name("Bob"), number("0123"), empty("");
        ASSERT_EQ(tool->RegisterJobTarget(0, name.get(), number.get(), empty.get(), empty.get(), 0, empty.get()), S_OK);
        ASSERT_EQ(tool->FlushJob(), S_OK) << (target.empty() ? "to the printer" : "to the file");
    }
    {
        // A queue the server lacks: the job is refused when it is registered, and the reason names
        // the printer, the queue asked for and the server's answer.
        Bstr path(image), queue("No Such Fax"), user("alice"), password(""), document("Report");
        platform::com::takeErrorInfo();
        EXPECT_EQ(tool->RegisterJobData(path.get(), queue.get(), user.get(), password.get(), 0, 1, document.get()), S_FALSE);
        const std::string reason = platform::com::takeErrorInfo();
        EXPECT_EQ(reason.rfind("the print queue \"No Such Fax\" cannot be opened (CUPS answered for \"No_Such_Fax\": ", 0), 0u)
            << reason;
        EXPECT_NE(reason.find("not exist"), std::string::npos) << reason;
    }
    tool.reset();
    platform::com::uninitializeThread();

    const std::string redirected = qelta::test::readTextFile(out);
    ASSERT_EQ(redirected.rfind("\x1B%-12345X@PJL\r\n", 0), 0u);
    const auto jobs = server_->WaitForJobs(before + 1, 30s);
    ASSERT_EQ(jobs.size(), before + 1);
    EXPECT_TRUE(jobs.back() == redirected) << "the device got " << jobs.back().size() << " bytes, the file "
                                           << redirected.size();
}
