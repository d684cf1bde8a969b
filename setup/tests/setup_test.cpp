// driversetupnt and setuphelper through their exports, as the installer loads them, on the
// recording spooler and on a private CUPS server.
#include "setup/driversetupnt.h"
#include "setup/setup_core.h"

#include "common/registry_helper.h"
#include "jobbuilder/job_tool.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/tests/support/cups_server.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "resultmonitor/tests/monitor_process.h"
#include "sample/sample_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Step = platform::RecordingSpooler::Step;

// What the libraries showed, and the answers the next questions get.
struct Box {
    std::string caption, text;
    uint32_t type;
};
std::vector<Box> shown;
std::deque<int32_t> answers;
std::function<void()> whileAsking; // runs while a question is open

int32_t RecordBox(void*, const char* caption, const char* text, uint32_t type)
{
    shown.push_back({caption, text, type});
    if ((type & 0x0F) != 0x04)
        return 1;
    if (whileAsking)
        whileAsking();
    if (answers.empty())
        return 7;
    const int32_t answer = answers.front();
    answers.pop_front();
    return answer;
}

// Both libraries loaded by path, as the installer loads them (they export some names alike).
struct Exports {
    std::shared_ptr<platform::Library> nt = platform::Library::loadPath(DRIVERSETUPNT_PATH);
    std::shared_ptr<platform::Library> helper = platform::Library::loadPath(SETUPHELPER_PATH);
    template <typename F>
    static F* Get(const std::shared_ptr<platform::Library>& library, const char* name)
    {
        return library ? reinterpret_cast<F*>(library->symbol(name)) : nullptr;
    }
    int (*IPD)(void*, const char*, const char*, const char*, const char*, const char*, const char*, const char*) =
        Get<int(void*, const char*, const char*, const char*, const char*, const char*, const char*, const char*)>(nt, "IPD");
    int (*DPD)() = Get<int()>(nt, "DPD");
    int (*MFE)(const char*) = Get<int(const char*)>(nt, "MFE");
    int (*Uninstall)(void*) = Get<int(void*)>(nt, "UninstInitialize");
    int (*PrinterCheck)(const char*, char*) = Get<int(const char*, char*)>(nt, "PrinterCheck");
    int (*GetPort)(void*, char*, size_t) = Get<int(void*, char*, size_t)>(helper, "GetPort");
    int (*USBCheck)() = Get<int()>(helper, "USBCheck");
    int (*SDP)(void*, const char*) = Get<int(void*, const char*)>(helper, "SDP");
    int (*HelperUninstall)() = Get<int()>(helper, "UninstInitialize");
    int (*Is9821)() = Get<int()>(helper, "Is9821");
};

// Starts the private server and points this process's CUPS clients at it; false (the test then
// skipped, or failed under CI) when it cannot start.
bool UsePrivateServer(qelta::test::CPrivateCupsServer& server)
{
    std::string why;
    if (!server.Start(why)) {
        qelta::test::SkipOrFailWithoutCups(why);
        return false;
    }
    server.UseInThisProcess();
    return true;
}

// Prints bytes as one raw document on the printer of that name; false when a step fails.
bool PrintRaw(platform::Spooler& spooler, std::string_view printer, const std::string& bytes)
{
    auto handle = spooler.openPrinter(printer);
    size_t written = 0;
    return handle && handle->startDocument("Fax", "RAW") && handle->startPage()
           && handle->write(bytes.data(), bytes.size(), written) && handle->endPage() && handle->endDocument();
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(exports.IPD && exports.GetPort && exports.HelperUninstall) << platform::Library::lastError();
        Exports::Get<void(DriverSetupMessageBoxFn)>(exports.nt, "DriverSetupSetMessageBox")(RecordBox);
        shown.clear();
        answers.clear();
        whileAsking = nullptr;
        install = root.path() + "/install/";
        source = root.path() + "/media";
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, "TQL Directory", install);
        qelta::test::writeTextFile(source + "/NTlibpagewriter.so", "pagewriter");
        qelta::test::writeTextFile(source + "/NTTqfStl.dll", "driver");
        qelta::test::writeTextFile(source + "/NTTqfStlU.so", "ui");
        qelta::test::writeTextFile(source + "/Sendwizard2.html", "<html></html>");
        WriteList(1);
        spooler = std::make_shared<platform::RecordingSpooler>();
        previous = platform::setSpooler(spooler);
    }
    void TearDown() override { platform::setSpooler(previous); }

    // The printer list with its texts.
    void WriteList(int count, const std::string& extra = {})
    {
        std::string text = "[Printer]\nNum=" + std::to_string(count) + "\n";
        for (int i = 0; i < count; ++i)
            text += "name" + std::to_string(i) + "=Qelta Fax " + std::to_string(i) + "\ndrivername" + std::to_string(i)
                    + "=Qelta Driver\n";
        text += extra;
        text += "[UninstString]\nTitle=Qelta Setup\nMultiDriver1=M1\nMultiDriver2=M2\nMultiDriver3=M3\nCancelString=Cancelled\n"
                "[TelFileDelete]\nTelDel1=T1\nTelDel2=T2\n"
                "[PrinterDriverErr]\nAddPrinterDriverErr=DriverErr\nAddPrinterErr=PrinterErr\nAddPortErr1=P1\nAddPortErr2=P2\n";
        qelta::test::writeTextFile(install + "prname.ini", text);
    }
    // The printer list with one printer of that name and driver.
    void ListOne(const std::string& printer, const std::string& driver)
    {
        WriteList(1);
        platform::writeProfileString("Printer", "name0", printer.c_str(), install + "prname.ini");
        platform::writeProfileString("Printer", "drivername0", driver.c_str(), install + "prname.ini");
    }
    int Install(const char* printer, const char* port = nullptr)
    {
        return exports.IPD(nullptr, "Qelta Driver", printer, nullptr, (source + "/").c_str(), nullptr, port,
                           source.c_str());
    }
    bool Exists(const std::string& path) { return platform::fileStamp(path).exists; }

    qelta::test::ScopedStateRoot root;
    Exports exports;
    std::string install, source;
    std::shared_ptr<platform::RecordingSpooler> spooler;
    std::shared_ptr<platform::Spooler> previous;
};

TEST_F(SetupTest, InstallMakesTheQueueAndCopiesTheFiles)
{
    spooler->setDevices({"qelta", "socket"});
    EXPECT_EQ(Install("Qelta Fax #1"), 0);
    const auto queues = spooler->queues();
    ASSERT_EQ(queues.size(), 1u);
    EXPECT_EQ(queues[0].definition.name, "Qelta_Fax__1");
    EXPECT_EQ(queues[0].definition.info, "Qelta Fax #1");
    EXPECT_EQ(queues[0].definition.deviceUri, "qelta:/QELTA");
    EXPECT_NE(queues[0].ppd.find("*NickName: \"Qelta Driver\""), std::string::npos);
    EXPECT_EQ(queues[0].ppd.find("cupsFilter"), std::string::npos);
    EXPECT_EQ(spooler->makeAndModel("Qelta_Fax__1"), "Qelta Driver");
    for (const char* file : {"libpagewriter.so", "TqfStl.dll", "TqfStlU.so", "Sendwizard2.html"})
        EXPECT_TRUE(Exists(install + "driver/" + file)) << file;
    EXPECT_TRUE(shown.empty());

    // The printer already there (by its description): nothing is made again.
    EXPECT_EQ(Install("Qelta Fax #1"), 0);
    EXPECT_EQ(spooler->queues().size(), 1u);
    // The driver's own PPD, and a port that is a URI, are used as they stand.
    qelta::test::writeTextFile(source + "/Qelta Driver.ppd", "*PPD-Adobe: \"4.3\"\n*NickName: \"Qelta Driver\"\n*Own: 1\n");
    EXPECT_EQ(Install("Second", "socket://192.0.2.7:9100"), 0);
    ASSERT_EQ(spooler->queues().size(), 2u);
    EXPECT_EQ(spooler->queues()[1].definition.deviceUri, "socket://192.0.2.7:9100");
    EXPECT_NE(spooler->queues()[1].ppd.find("*Own: 1"), std::string::npos);
    EXPECT_TRUE(shown.empty());
}

TEST_F(SetupTest, InstallFailuresAreShown)
{
    // A scheme no backend offers: the port failure is told and the installation goes on.
    spooler->setDevices({"socket"});
    EXPECT_EQ(Install("Fax A", "LPT9"), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Qelta Setup");
    EXPECT_EQ(shown[0].text, "P1\n\nP2\n\nThe print server has no backend for \"qelta:\" ports.");
    EXPECT_EQ(spooler->queues().size(), 1u);

    // The spooler refuses the queue: told, 0, the copied files stay.
    shown.clear();
    spooler->setDevices({"qelta"});
    spooler->failAt(Step::AddQueue);
    EXPECT_EQ(Install("Fax B"), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "PrinterErr\n\nThe print server refused the queue \"Fax_B\": refused");
    EXPECT_EQ(spooler->queues().size(), 1u);
    EXPECT_TRUE(Exists(install + "driver/libpagewriter.so"));
}

TEST_F(SetupTest, PrinterCheckAndQueueNames)
{
    struct Case {
        std::string printer, queue;
    };
    const std::vector<Case> names{{"Fax", "Fax"},
                                  {"a b\tc/d\\e?f'g\"h#i@j:k\x7fl\x01m", "a_b_c_d_e_f_g_h_i_j_k_l_m"},
                                  {std::string(200, 'x'), std::string(127, 'x')},
                                  {std::string(126, 'x') + "\xc3\xa9", std::string(126, 'x')}};
    for (const auto& c : names)
        EXPECT_EQ(platform::queueNameFor(c.printer), c.queue) << c.printer;

    spooler->addPrinter("Fax");
    spooler->addPrinter("Fax_(1)"); // "Fax (1)" by its queue name
    spooler->addPrinter("other");
    spooler->setPlace("other", {}, "Office");
    struct Check {
        std::string name, free;
        int taken;
    };
    // A description alone ("Office") takes no name.
    const std::vector<Check> checks{{"Fax", "Fax (2)", 1}, {"Free", "Free", 0}, {"Office", "Office", 0},
                                    {"FAX", "FAX (2)", 1}, {std::string(300, 'y'), std::string(259, 'y'), 0}};
    for (const auto& c : checks) {
        char buffer[setup::kPathBytes + 8];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(exports.PrinterCheck(c.name.c_str(), buffer), c.taken) << c.name;
        EXPECT_EQ(std::string(buffer), c.free);
        EXPECT_EQ(buffer[setup::kPathBytes], '#');
    }
}

TEST_F(SetupTest, UninstallAsksOnlyForSeveralPrinters)
{
    spooler->setDevices({"qelta"});
    ASSERT_EQ(Install("Qelta Fax 0"), 0);
    ASSERT_EQ(Install("Qelta Fax 1"), 0);
    WriteList(2);
    answers = {7};
    EXPECT_EQ(exports.Uninstall(nullptr), -1);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "M1\nM2\n\nM3");
    EXPECT_EQ(shown[1].text, "Cancelled");
    EXPECT_EQ(spooler->queues().size(), 2u);
    EXPECT_TRUE(Exists(install + "prname.ini"));
    EXPECT_TRUE(Exists(install + "driver/TqfStl.dll"));

    shown.clear();
    WriteList(1);
    EXPECT_EQ(exports.Uninstall(nullptr), 0);
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(spooler->queues().size(), 1u);
    EXPECT_EQ(spooler->queues()[0].definition.info, "Qelta Fax 1");
    EXPECT_FALSE(Exists(install + "prname.ini"));
    EXPECT_FALSE(Exists(install + "driver/TqfStl.dll"));
    EXPECT_FALSE(Exists(install + "driver/Sendwizard2.html"));
}

TEST_F(SetupTest, RemovalDeletesWorkFilesOnlyInNamedFolders)
{
    const std::string books = root.path() + "/books", covers = root.path() + "/covers";
    qelta::test::writeTextFile(books + "/one.tel", "1");
    qelta::test::writeTextFile(books + "/TWO.TEL", "2");
    qelta::test::writeTextFile(books + "/keep.xml", "x");
    qelta::test::writeTextFile(covers + "/TMP/a.TIF", "a");
    qelta::test::writeTextFile(covers + "/c.cvr", "c");
    std::filesystem::create_directories(books + "/sub.tel");
    std::filesystem::create_symlink(books + "/keep.xml", books + "/link.tel");
    CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);

    // Empty or relative folders: nothing is asked or deleted.
    for (const char* folder : {"", "books", "./"}) {
        machine.WriteString(kProductSubkey, "PBFolder", folder);
        user.WriteString(kProductSubkey, "CvrFile", folder);
        WriteList(0);
        EXPECT_EQ(exports.DPD(), 0);
        EXPECT_TRUE(shown.empty());
        EXPECT_FALSE(Exists(install + "prname.ini"));
    }
    machine.WriteString(kProductSubkey, "PBFolder", books);
    user.WriteString(kProductSubkey, "CvrFile", covers + "/");
    WriteList(0);
    answers = {7};
    EXPECT_EQ(exports.DPD(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "T1\n\nT2");
    EXPECT_TRUE(Exists(books + "/one.tel"));
    EXPECT_FALSE(std::filesystem::exists(covers + "/TMP"));
    EXPECT_TRUE(Exists(covers + "/c.cvr"));

    WriteList(0);
    answers = {6};
    EXPECT_EQ(exports.DPD(), 0);
    EXPECT_FALSE(Exists(books + "/one.tel"));
    EXPECT_FALSE(Exists(books + "/TWO.TEL"));
    EXPECT_TRUE(Exists(books + "/keep.xml"));
    EXPECT_TRUE(std::filesystem::is_symlink(books + "/link.tel"));
    EXPECT_TRUE(std::filesystem::is_directory(books + "/sub.tel"));
}

TEST_F(SetupTest, RemovalFollowsNoLinkToTheFolderItDeletesIn)
{
    namespace fs = std::filesystem;
    const std::string books = root.path() + "/books", others = root.path() + "/others";
    qelta::test::writeTextFile(books + "/one.tel", "mine");
    qelta::test::writeTextFile(others + "/one.tel", "someone else's");
    fs::create_directories(root.path() + "/up");
    fs::create_symlink(others, root.path() + "/link");
    fs::create_symlink(root.path(), root.path() + "/up/root");
    CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);

    // A folder reached through a link, at its end (also with a trailing separator) or above it.
    for (const std::string& folder : {root.path() + "/link", root.path() + "/link/", root.path() + "/link//",
                                      root.path() + "/up/root/others"}) {
        machine.WriteString(kProductSubkey, "PBFolder", folder);
        WriteList(0);
        answers = {6};
        EXPECT_EQ(exports.DPD(), 0);
        EXPECT_TRUE(shown.empty()) << folder;
        EXPECT_TRUE(Exists(others + "/one.tel")) << folder;
    }

    // The folder swapped for a link while the user answers: the files removed are those of the
    // folder that was checked.
    machine.WriteString(kProductSubkey, "PBFolder", books + "/");
    WriteList(0);
    answers = {6};
    whileAsking = [&] {
        fs::rename(books, books + ".old");
        fs::create_symlink(others, books);
    };
    EXPECT_EQ(exports.DPD(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(Exists(others + "/one.tel"));
    EXPECT_FALSE(Exists(books + ".old/one.tel"));
}

TEST_F(SetupTest, RemovalTakesOnlyTheSuitesQueueWhateverTheUsersQueuesAreCalled)
{
    // The user's own queues, listed before the suite's: one described as the suite's printer, one
    // named as its queue; neither prints with the suite's driver.
    spooler->addPrinter("Accounts_Laser");
    spooler->setMakeAndModel("Accounts_Laser", "Office Laser 2000");
    spooler->setPlace("Accounts_Laser", "", "Qelta Fax 0");
    spooler->addPrinter("Qelta_Fax_1");
    spooler->setMakeAndModel("Qelta_Fax_1", "Office Laser 2000");
    spooler->addPrinter("Qelta_Fax_0");
    spooler->setMakeAndModel("Qelta_Fax_0", "Qelta Driver");
    spooler->setPlace("Qelta_Fax_0", "", "Qelta Fax 0");
    WriteList(2);
    answers = {6};
    EXPECT_EQ(exports.Uninstall(nullptr), 0);
    EXPECT_FALSE(spooler->hasPrinter("Qelta_Fax_0"));
    EXPECT_TRUE(spooler->hasPrinter("Accounts_Laser"));
    EXPECT_TRUE(spooler->hasPrinter("Qelta_Fax_1"));

    // With the suite's queue gone, the helper's removal finds nothing of its own either.
    WriteList(0, "name=Qelta Fax 0\ndrivername=Qelta Driver\n");
    EXPECT_EQ(exports.HelperUninstall(), 0);
    EXPECT_TRUE(spooler->hasPrinter("Accounts_Laser"));
}

// The queue the setup made is recorded for the name it was given: every later lookup of the name
// takes it, whatever queues of the user's come and go beside it, and the removal takes exactly it.
TEST_F(SetupTest, TheRecordedQueueIsThePrinterWhateverComesBesideIt)
{
    spooler->setDevices({"qelta"});
    const auto user = [&](const std::string& queue, const std::string& driver) {
        spooler->addPrinter(queue);
        spooler->setMakeAndModel(queue, driver);
        spooler->setPlace(queue, "", "Qelta Fax");
    };
    const auto meant = [&](const std::string& printer) {
        const auto queues = setup::ListQueues(*spooler);
        const auto* queue = platform::findPrinterQueue(queues, printer, platform::recordedPrinterLookup());
        return queue ? queue->name : std::string("(none)");
    };
    user("Front_Desk", "Other Driver");
    ASSERT_TRUE(spooler->setDefaultDestination("Front_Desk"));
    EXPECT_EQ(meant("Qelta Fax"), "(none)"); // described so, but of another driver
    user("Qelta_Fax", "Other Driver");        // the printer's queue name is taken
    ListOne("Qelta Fax", "Qelta Driver");
    ASSERT_EQ(Install("Qelta Fax"), 0);
    EXPECT_EQ(meant("Qelta Fax"), "Qelta_Fax_(1)");
    EXPECT_EQ(exports.SDP(nullptr, "Qelta Fax"), 0);
    EXPECT_EQ(spooler->defaultDestination(), "Qelta_Fax_(1)");

    // The user's namesake goes, and a queue of the user's own with the suite's driver takes the
    // printer's queue name and description: the name still means the recorded queue, and a second
    // installation makes no second printer.
    spooler->removePrinter("Qelta_Fax");
    user("Qelta_Fax", "Qelta Driver");
    EXPECT_EQ(meant("Qelta Fax"), "Qelta_Fax_(1)");
    ASSERT_EQ(Install("Qelta Fax"), 0);
    EXPECT_EQ(spooler->queues().size(), 1u);

    // Without an install folder the default is still made, from the record; a printer that cannot
    // be made the default is told.
    CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    ASSERT_TRUE(spooler->setDefaultDestination("Qelta_Fax"));
    ASSERT_EQ(machine.WriteString(kProductSubkey, "TQL Directory", ""), 1);
    EXPECT_EQ(exports.SDP(nullptr, "Qelta Fax"), 0);
    EXPECT_EQ(spooler->defaultDestination(), "Qelta_Fax_(1)");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(exports.SDP(nullptr, "Nobody"), 0);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("SDP: \"Nobody\" is not made the default printer: the machine settings name no install folder"),
              std::string::npos) << told;
    ASSERT_EQ(machine.WriteString(kProductSubkey, "TQL Directory", install), 1);

    EXPECT_EQ(exports.DPD(), 0);
    EXPECT_FALSE(spooler->hasPrinter("Qelta_Fax_(1)"));
    EXPECT_TRUE(spooler->hasPrinter("Qelta_Fax"));
    EXPECT_TRUE(platform::recordedPrinters().empty());
}

TEST_F(SetupTest, PortsDefaultPrinterAndHelperRemoval)
{
    spooler->setDevices({"LPT1:", "COM1:", "COM10:", "FILE:", "lpt1:"});
    struct Case {
        std::string before;
        size_t size;
        std::string after;
        int count;
    };
    const std::vector<Case> cases{{"", 64, "LPT1:,COM10:", 2}, {"", 7, "LPT1:", 1}, {"", 3, "", 0}, {"X", 64, "XLPT1:,COM10:", 2}};
    for (const auto& c : cases) {
        char buffer[80] = {};
        std::memcpy(buffer, c.before.data(), c.before.size());
        EXPECT_EQ(exports.GetPort(nullptr, buffer, c.size), c.count) << c.size;
        EXPECT_EQ(std::string(buffer), c.after);
    }
    EXPECT_EQ(exports.USBCheck(), 0);
    spooler->setDevices({"FILE:", "file:/dev/null", "serial:/dev/ttyS0", "usb://Qelta/Fax"});
    char list[64] = "";
    EXPECT_EQ(exports.GetPort(nullptr, list, sizeof list), 1);
    EXPECT_STREQ(list, "usb://Qelta/Fax");
    EXPECT_EQ(exports.USBCheck(), 1);
    spooler->setDevices({});
    list[0] = '\0';
    EXPECT_EQ(exports.GetPort(nullptr, list, sizeof list), 0);
    EXPECT_STREQ(list, "");
    EXPECT_EQ(exports.Is9821(), 0);

    EXPECT_EQ(exports.SDP(nullptr, "Missing"), 0);
    EXPECT_EQ(spooler->defaultDestination(), std::nullopt);
    spooler->setDevices({"qelta"});
    ASSERT_EQ(Install("Office Fax"), 0);
    EXPECT_EQ(exports.SDP(nullptr, "Office Fax"), 0);
    EXPECT_EQ(spooler->defaultDestination(), "Office_Fax");

    WriteList(0, "name=Office Fax\ndrivername=Other Driver\n");
    EXPECT_EQ(exports.HelperUninstall(), 0);
    EXPECT_EQ(spooler->queues().size(), 1u);
    WriteList(0, "name=Office Fax\ndrivername=Qelta Driver\n");
    EXPECT_EQ(exports.HelperUninstall(), 0);
    EXPECT_TRUE(spooler->queues().empty());
}

// A program that holds the result monitor's endpoint and ignores the close request, in a child
// process; killed by the caller.
pid_t StartDeafMonitor()
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        auto endpoint = platform::Endpoint::create("QELTA-RTNAPP_CLASS", "QELTA-RTNAPP_MAIN");
        const char byte = endpoint ? 1 : 0;
        (void)!::write(ready[1], &byte, 1);
        ::sleep(15);
        std::_Exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1 && byte == 1;
    ::close(ready[0]);
    return started ? pid : -1;
}

TEST_F(SetupTest, UninstallClosesTheResultMonitorWithinTheBound)
{
    {
        monitor_test::MonitorProcess monitor;
        ASSERT_TRUE(monitor.Started());
        ASSERT_NE(monitor.WaitUntilListening(), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(exports.Uninstall(nullptr), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(monitor.WaitForEnd(2000), 0);
        EXPECT_EQ(monitor_test::ReadPublished(), monitor_test::kCleared);
        EXPECT_FALSE(Exists(install + "prname.ini"));
    }
    // One that ignores the request delays the removal by 5 s at most.
    WriteList(1);
    const pid_t deaf = StartDeafMonitor();
    ASSERT_GT(deaf, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exports.Uninstall(nullptr), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(4900));
    EXPECT_LT(took, std::chrono::milliseconds(5900));
    EXPECT_FALSE(Exists(install + "prname.ini"));
    ::kill(deaf, SIGKILL);
    ::waitpid(deaf, nullptr, 0);
}

TEST_F(SetupTest, OnAPrivateCupsServer)
{
    qelta::test::CPrivateCupsServer server;
    if (!UsePrivateServer(server))
        return;
    platform::setSpooler(nullptr);
    auto cups = platform::currentSpooler();

    ASSERT_EQ(Install("Qelta Fax 0"), 0);
    ASSERT_EQ(Install("Qelta Fax 1", "qeltatest:/nowhere"), 0);
    EXPECT_TRUE(shown.empty()) << shown.front().text;
    EXPECT_EQ(cups->deviceUri("Qelta_Fax_0"), "qelta:/QELTA");
    EXPECT_EQ(cups->deviceUri("Qelta_Fax_1"), "qeltatest:/nowhere");
    EXPECT_EQ(cups->makeAndModel("Qelta_Fax_0"), "Qelta Driver");
    if (qelta::test::CPrivateCupsServer::CanListDevices()) {
        // The driver's backend announces its scheme; a scheme without a backend cannot be a port. The
        // server runs every backend it has (the system's too), so a loaded machine is given time.
        const auto devices = cups->listDevices(std::chrono::seconds(15));
        ASSERT_TRUE(devices);
        EXPECT_NE(std::find(devices->begin(), devices->end(), "qelta"), devices->end());
        EXPECT_EQ(Install("Qelta Fax 2", "nobackend:/x"), 0);
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].text, "P1\n\nP2\n\nThe print server has no backend for \"nobackend:\" ports.");
        EXPECT_EQ(shown[1].text.rfind("PrinterErr\n\nThe print server refused the queue \"Qelta_Fax_2\": ", 0), 0u);
        shown.clear();
    }
    // A printer list without texts: the boxes still have a caption and say why, as the server said it.
    qelta::test::writeTextFile(install + "prname.ini", "[Printer]\nNum=0\n");
    EXPECT_EQ(Install("Qelta Fax 3", "nobackend:/y"), 0);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().caption, "Qelta Driver");
    EXPECT_EQ(shown.back().text.rfind("The print server refused the queue \"Qelta_Fax_3\": ", 0), 0u) << shown.back().text;
    EXPECT_NE(shown.back().text.find("nobackend"), std::string::npos) << shown.back().text;
    EXPECT_FALSE(cups->hasPrinter("Qelta_Fax_3"));
    shown.clear();
    WriteList(1);
    char name[setup::kPathBytes];
    EXPECT_EQ(exports.PrinterCheck("Qelta Fax 0", name), 1);
    EXPECT_STREQ(name, "Qelta Fax 0 (1)");

    // A raw job arrives as it was sent.
    const std::string bytes("\x1b%-12345X@PJL\r\n\0\xff raw", 20);
    ASSERT_TRUE(PrintRaw(*cups, "Qelta_Fax_0", bytes));
    const auto jobs = server.WaitForJobs(1, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], bytes);

    char ports[512] = "";
    EXPECT_GE(exports.GetPort(nullptr, ports, sizeof ports), 2);
    EXPECT_NE(std::string(ports).find("qelta:/QELTA"), std::string::npos) << ports;
    EXPECT_EQ(exports.SDP(nullptr, "Qelta Fax 1"), 0);
    EXPECT_EQ(cups->defaultDestination(), "Qelta_Fax_1");

    WriteList(0, "name=Qelta Fax 1\ndrivername=Qelta Driver\n");
    EXPECT_EQ(exports.HelperUninstall(), 0);
    EXPECT_FALSE(cups->hasPrinter("Qelta_Fax_1"));
    WriteList(1);
    EXPECT_EQ(exports.Uninstall(nullptr), 0);
    EXPECT_FALSE(cups->hasPrinter("Qelta_Fax_0"));
    EXPECT_TRUE(cups->hasPrinter(server.Queue()));
    EXPECT_FALSE(Exists(install + "driver/TqfStl.dll"));
    ::unsetenv("CUPS_SERVER");
}

} // namespace

namespace {

// Driver names beyond ASCII reach CUPS as they are and are removed by them, also from a queue
// that an earlier installation made with a PPD file whose declared encoding was not its bytes'.
TEST_F(SetupTest, DriverNamesBeyondAsciiOnAPrivateCupsServer)
{
    qelta::test::CPrivateCupsServer server;
    if (!UsePrivateServer(server))
        return;
    platform::setSpooler(nullptr);
    auto cups = platform::currentSpooler();
    const std::string latin = "Qelta Dr\xC3\xAFver", wide = "Qelta \xE4\xBC\xA0\xE7\x9C\x9F";
    for (const std::string& driver : {latin, wide}) {
        ASSERT_EQ(exports.IPD(nullptr, driver.c_str(), "Fax B", nullptr, source.c_str(), nullptr, nullptr, source.c_str()), 0);
        EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown[0].text);
        EXPECT_EQ(cups->makeAndModel("Fax_B"), driver);
        ListOne("Fax B", driver);
        EXPECT_EQ(exports.DPD(), 0);
        EXPECT_FALSE(cups->hasPrinter("Fax_B")) << driver;
    }

    std::string ppd = platform::minimalPpd("Qelta Driver");
    const std::string nick = "*NickName: \"Qelta Driver";
    ppd.replace(ppd.find(nick), nick.size(), "*NickName: \"" + latin);
    const std::string ppdPath = root.path() + "/old.ppd";
    qelta::test::writeTextFile(ppdPath, ppd);
    ASSERT_TRUE(cups->addQueue({"Fax_B", "Fax B", "qelta:/QELTA", ppdPath}));
    ASSERT_EQ(cups->makeAndModel("Fax_B"), "Qelta Dr\xC3\x83\xC2\xAFver");
    ListOne("Fax B", latin);
    EXPECT_EQ(exports.DPD(), 0);
    EXPECT_FALSE(cups->hasPrinter("Fax_B"));
    ::unsetenv("CUPS_SERVER");
}

// The installer stand-in, a C program under AddressSanitizer, calls every export in a process of
// its own against a private CUPS server, without a display.
TEST_F(SetupTest, InstallerStandInCallsEveryExport)
{
    qelta::test::CPrivateCupsServer server;
    if (!UsePrivateServer(server))
        return;
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    qelta::test::writeTextFile(install + "prname.ini", "[Printer]\nNum=1\nname0=Qelta Fax\ndrivername0=Qelta Driver\n"
                                                       "name=Qelta Fax\ndrivername=Qelta Driver\n");
    const std::string out = root.path() + "/standin.txt";
    EXPECT_EQ(platform::runProgram(INSTALLER_STANDIN, {DRIVERSETUPNT_PATH, SETUPHELPER_PATH, source, out}), 0);
    EXPECT_FALSE(platform::makeCupsSpooler()->hasPrinter("Qelta_Fax"));
    ::unsetenv("CUPS_SERVER");
    const std::string results = qelta::test::readTextFile(out);
    for (const char* line : {"PrinterCheck=0 Qelta Fax\n", "IPD=0\n", "USBCheck=0\n", "Is9821=0\n", "SDP=0\n",
                             "SETUPHELPERr=0 \n", "HelperUninstInitialize=0\n", "HelperUninstUnInitialize=0\n", "MFE=1\n",
                             "UninstInitialize=0\n", "UninstUnInitialize=0\n"})
        EXPECT_NE(results.find(line), std::string::npos) << line << results;
    EXPECT_NE(results.find("qelta:/QELTA"), std::string::npos) << results;
    EXPECT_FALSE(Exists(install + "prname.ini"));
    EXPECT_FALSE(Exists(source + "/scratch.tmp"));
}

} // namespace

namespace {

// A network device's stand-in: takes one connection on a loopback port and keeps every byte until
// the sender closes it (at most 60 s).
class StandInDevice {
public:
    StandInDevice()
    {
        listener_ = qelta::test::listenOnLoopback(4, port_);
        if (listener_ < 0)
            return;
        thread_ = std::thread([this] {
            pollfd wait{listener_, POLLIN, 0};
            if (::poll(&wait, 1, 60000) != 1)
                return;
            const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            char buffer[65536];
            for (ssize_t got; connection >= 0 && (got = ::recv(connection, buffer, sizeof buffer, 0)) > 0;)
                received_.append(buffer, static_cast<size_t>(got));
            if (connection >= 0)
                ::close(connection);
        });
    }
    ~StandInDevice()
    {
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    int port() const { return port_; }
    /// Everything the one connection brought, once its sender closed it.
    const std::string& Received()
    {
        if (thread_.joinable())
            thread_.join();
        return received_;
    }

private:
    int listener_ = -1, port_ = 0;
    std::string received_;
    std::thread thread_;
};

// A fax job the job builder sends to the printer IPD made, by the printer's name as the driver
// starts the wizard with it, reaches the driver's backend byte for byte as the same job redirected
// to a file; and so it reaches a network device through a raw queue on the server's own socket
// backend (package cups; missing, it fails the test under CI).
TEST_F(SetupTest, TheJobBuilderPrintsRawToTheInstalledPrinter)
{
    qelta::test::CPrivateCupsServer server;
    if (!UsePrivateServer(server))
        return;
    platform::setSpooler(nullptr);
    ASSERT_EQ(Install("Qelta Fax"), 0);
    ASSERT_EQ(platform::currentSpooler()->deviceUri("Qelta_Fax"), "qelta:/QELTA");
    // The wizard's printer facts, by the printer's name.
    EXPECT_TRUE(platform::currentSpooler()->hasPrinter("Qelta Fax"));
    EXPECT_EQ(platform::currentSpooler()->deviceUri("Qelta Fax"), "qelta:/QELTA");
    EXPECT_EQ(platform::currentSpooler()->makeAndModel("Qelta Fax"), "Qelta Driver");

    platform::com::initializeThread();
    for (const char* name : {"qeltamd5lib.dll", "resultreceiver.dll", "cryptotool.dll", "sendlog.dll", "jobbuilder.dll"}) {
        jobtest::registerServer(name);
        ASSERT_FALSE(HasFatalFailure());
    }
    const std::string image = root.path() + "/scan.tif", out = root.path() + "/out.pjl";
    jobtest::writeFaxTiff(image, 2);
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    // Both jobs of a printer get the same spool time: one second after a last spool time half an
    // hour ahead. The redirected job is left in redirected.
    const std::time_t later = std::time(nullptr) + 1800;
    char last[32];
    std::strftime(last, sizeof last, "%Y/%m/%d,%H:%M:%S", std::localtime(&later));
    std::string redirected;
    const auto sendTwice = [&](const char* printer) {
        platform::com::Ptr<IQeltaJobTool> tool;
        ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, 23, tool), S_OK);
        for (const std::string& target : {out, std::string()}) {
            ASSERT_EQ(machine.WriteString(kProductSubkey, "FileOutput", target), 1);
            ASSERT_EQ(machine.WriteString(kProductSubkey, "LastSpoolTime", last), 1);
            platform::com::Bstr path(image), queue(printer), user("alice"), password(""), document("Report");
            ASSERT_EQ(tool->RegisterJobData(path.get(), queue.get(), user.get(), password.get(), 2, 1, document.get()), S_OK);
            platform::com::Bstr name("Bob"), number("0123"), empty("");
            ASSERT_EQ(tool->RegisterJobTarget(0, name.get(), number.get(), empty.get(), empty.get(), 0, empty.get()), S_OK);
            ASSERT_EQ(tool->FlushJob(), S_OK) << (target.empty() ? "to the printer " : "to the file for ") << printer;
            if (!target.empty()) {
                redirected = qelta::test::readTextFile(out);
                platform::removeFile(out);
            }
        }
    };
    sendTwice("Qelta Fax");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_FALSE(redirected.empty());
    const auto jobs = server.WaitForJobs(1, std::chrono::seconds(30));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0] == redirected) << "the device got " << jobs[0].size() << " bytes, the file " << redirected.size();

    if (server.AddSystemBackend("socket")) {
        StandInDevice device;
        ASSERT_GT(device.port(), 0);
        const std::string port = "socket://127.0.0.1:" + std::to_string(device.port());
        ASSERT_EQ(Install("Front Office Fax", port.c_str()), 0);
        EXPECT_TRUE(shown.empty()) << shown.front().text;
        EXPECT_EQ(platform::currentSpooler()->deviceUri("Front Office Fax"), port);
        sendTwice("Front Office Fax");
        ASSERT_FALSE(HasFatalFailure());
        const std::string& received = device.Received();
        EXPECT_TRUE(received == redirected) << "the device got " << received.size() << " bytes, the file "
                                            << redirected.size();
        EXPECT_EQ(received.rfind("\x1b%-12345X@PJL", 0), 0u);
    } else if (qelta::test::runningInCi()) {
        ADD_FAILURE() << "CI is set, but this machine has no socket backend (package cups): the network device "
                         "cannot be tried";
    } else {
        std::printf("no socket backend on this machine (package cups): the network device is not tried\n");
    }
    platform::com::uninitializeThread();
    ::unsetenv("CUPS_SERVER");
}

} // namespace

namespace {

// Runs the real send wizard on args with the test driver's scenario preloaded; its exit code, and
// the driver's report in report. Under AddressSanitizer the driver comes before its runtime.
int DriveWizard(const std::string& scenario, const std::vector<std::string>& args, const std::string& report)
{
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::optional<std::string> sanitizer = asan ? std::optional<std::string>(asan) : std::nullopt;
    ::setenv("ASAN_OPTIONS", (sanitizer.value_or("") + ":verify_asan_link_order=0").c_str(), 1);
    ::setenv("QELTA_WIZARD_DRIVER", scenario.c_str(), 1);
    ::setenv("QELTA_WIZARD_DRIVER_REPORT", report.c_str(), 1);
    ::setenv("LD_PRELOAD", WIZARD_DRIVER, 1);
    const int code = platform::runProgram(SENDWIZARD, args);
    for (const char* variable : {"LD_PRELOAD", "QELTA_WIZARD_DRIVER", "QELTA_WIZARD_DRIVER_REPORT"})
        ::unsetenv(variable);
    sanitizer ? ::setenv("ASAN_OPTIONS", sanitizer->c_str(), 1) : ::unsetenv("ASAN_OPTIONS");
    return code;
}

// A queue of the user's described as the suite's printer but printing through another driver
// neither takes the printer's name nor is the printer: the printer check gives the name itself,
// the installation makes the printer under it beside the user's queue, makes it the default in
// place of the user's default, and the wizard started as the driver starts it sends to it, never
// to the user's queue; the removal leaves the user's queue and gives the default back. While the
// record names the printer, a queue of the user's that takes the queue name after the printer's
// queue was deleted by hand gets no job: the send fails, says which queue is gone and keeps the fax.
TEST_F(SetupTest, AUsersQueueWithThePrintersDescriptionIsLeftAlone)
{
    qelta::test::CPrivateCupsServer server;
    if (!UsePrivateServer(server))
        return;
    platform::setSpooler(nullptr);
    auto cups = platform::currentSpooler();
    const std::string ppd = root.path() + "/other.ppd", frontJobs = root.path() + "/front",
                      userJobs = root.path() + "/namesake";
    qelta::test::writeTextFile(ppd, platform::minimalPpd("Other Driver"));
    ASSERT_TRUE(platform::createDirectories(frontJobs));
    ASSERT_TRUE(platform::createDirectories(userJobs));
    // The user's queue writes its jobs to a folder of its own.
    ASSERT_TRUE(cups->addQueue({"Front_Desk", "Qelta Fax", "qeltatest:" + frontJobs, ppd}));
    ASSERT_TRUE(cups->setDefaultDestination(server.Queue()));
    ListOne("Qelta Fax", "Qelta Driver");
    // Before the installation the name means no queue: a description names only the suite's.
    EXPECT_FALSE(cups->hasPrinter("Qelta Fax"));

    // As the installer does it: the printer check chooses the name, the installation takes it.
    char name[setup::kPathBytes];
    EXPECT_EQ(exports.PrinterCheck("Qelta Fax", name), 0);
    ASSERT_STREQ(name, "Qelta Fax");
    for (int run = 0; run < 2; ++run) // a second installation finds the printer the first made
        ASSERT_EQ(Install(name), 0);
    EXPECT_TRUE(shown.empty());
    const auto queues = setup::ListQueues(*cups);
    ASSERT_EQ(queues.size(), 3u);
    const auto* front = platform::findPrinterQueue(queues, "Front_Desk");
    ASSERT_TRUE(front);
    EXPECT_EQ(front->info, "Qelta Fax");
    EXPECT_EQ(front->makeAndModel, "Other Driver");
    EXPECT_EQ(cups->makeAndModel("Qelta_Fax"), "Qelta Driver");
    EXPECT_EQ(cups->deviceUri("Qelta Fax"), "qelta:/QELTA");
    EXPECT_EQ(exports.PrinterCheck("Qelta Fax", name), 1); // now the printer has the name
    EXPECT_STREQ(name, "Qelta Fax (1)");

    EXPECT_EQ(exports.SDP(nullptr, "Qelta Fax"), 0);
    EXPECT_EQ(cups->defaultDestination(), "Qelta_Fax");
    EXPECT_EQ(exports.SDP(nullptr, "Qelta Fax"), 0); // again: the user's default is still the one remembered

    const std::string bytes("\x1b%-12345X@PJL\r\nfax", 18);
    ASSERT_TRUE(PrintRaw(*cups, "Qelta Fax", bytes));
    const auto jobs = server.WaitForJobs(1, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], bytes);

    // The wizard as the driver starts it, walked to Finish: its job reaches the suite's queue.
    const std::string report = root.path() + "/driver-report.txt";
    const auto sendAsTheDriverDoes = [&](std::string& driven, std::string& workFile) {
        std::string why;
        const auto run = PrepareSampleRun(why);
        if (!run) {
            ADD_FAILURE() << why;
            return -1;
        }
        const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
        EXPECT_EQ(machine.WriteString(kProductSubkey, "FileOutput", ""), 1);
        EXPECT_EQ(run->m_Args[2], "-PQelta Fax");
        workFile = run->m_strWorkFile;
        const int code = DriveWizard("send", run->m_Args, report);
        driven = qelta::test::readTextFile(report);
        return code;
    };
    std::string driven, workFile;
    EXPECT_EQ(sendAsTheDriverDoes(driven, workFile), 0);
    EXPECT_NE(driven.find("\ndone\n"), std::string::npos) << driven;
    EXPECT_EQ(driven.find("box "), std::string::npos) << driven;
    const auto sent = server.WaitForJobs(2, std::chrono::seconds(30));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].rfind("\x1b%-12345X@PJL", 0), 0u);
    EXPECT_NE(sent[1].find("0123456"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // a job sent astray would be written by now
    EXPECT_TRUE(platform::listFiles(frontJobs, "*").empty());

    EXPECT_EQ(exports.DPD(), 0);
    EXPECT_FALSE(cups->hasPrinter("Qelta_Fax"));
    EXPECT_TRUE(cups->hasPrinter("Front_Desk"));
    EXPECT_EQ(cups->defaultDestination(), server.Queue());
    EXPECT_TRUE(platform::recordedPrinters().empty());

    // Installed again, its queue deleted by hand, and a queue of the user's of another driver made
    // under the queue's name.
    ListOne("Qelta Fax", "Qelta Driver");
    ASSERT_EQ(Install("Qelta Fax"), 0);
    ASSERT_TRUE(cups->removeQueue("Qelta_Fax"));
    ASSERT_TRUE(cups->addQueue({"qelta_fax", "", "qeltatest:" + userJobs, ppd}));
    EXPECT_NE(sendAsTheDriverDoes(driven, workFile), 0);
    EXPECT_NE(driven.find("the queue \"Qelta_Fax\" that the setup made for \"Qelta Fax\" is gone"), std::string::npos)
        << driven;
    EXPECT_TRUE(Exists(workFile)) << "the fax did not go out: its pages stay";
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(platform::listFiles(userJobs, "*").empty());
    EXPECT_TRUE(platform::listFiles(frontJobs, "*").empty());
    EXPECT_EQ(server.WaitForJobs(3, std::chrono::milliseconds(100)).size(), 2u);

    EXPECT_EQ(exports.DPD(), 0);
    EXPECT_TRUE(cups->hasPrinter("qelta_fax"));
    EXPECT_TRUE(platform::recordedPrinters().empty());
    ::unsetenv("CUPS_SERVER");
}

} // namespace
