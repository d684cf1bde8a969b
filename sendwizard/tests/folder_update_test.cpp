// Update Folder: the address from the printer's port or typed in, the retry question, the cached
// list after a failure; against a scripted stand-in for mfplink, then end to end against a copy of
// the real library (its canned answer, a refused port, a device that never answers).
#include "sendwizard/folder_update.h"

#include "devicelink/tests/support/test_device.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "sendwizard/tests/wizard_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

namespace {

using wizard_test::ScriptedPrompter;

const std::string kAskAddress = "Can not address ip address of the printer. Or The printer seems to be not plugged in. "
                                "\nDo you want addressing by manual ?";
const std::string kNoFolders = "The folder name was not acquired. \nThe ip address of printer seems to be invalid.  "
                               "Or The printer seems to be not plugged in.";
const std::string kUnknownError = "Unknown System Error. Please re install Qelta Driver.";

// A FILETIME whose low half reads negative when stored signed.
constexpr uint64_t kNow = 0x01DB2C3D80000000ULL;

// The printer-name entry: answers in turn (nothing = Cancel).
class ScriptedEntry : public IPrinterNameEntry {
public:
    ~ScriptedEntry() override { EXPECT_TRUE(answers.empty()) << "printer name not asked for"; }
    bool Ask(std::string& strText) override
    {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected printer-name entry";
            return false;
        }
        const std::optional<std::string> answer = answers.front();
        answers.erase(answers.begin());
        if (answer)
            strText = *answer;
        return answer.has_value();
    }
    std::vector<std::optional<std::string>> answers;
};

// Runs the worker on a thread of its own, as the busy dialog does, and checks that the caller's list
// is left alone while it runs.
class ThreadRunner : public IDiscoverRunner {
public:
    int Run(const std::string& strCaption, const std::string& strText, int nCancelA, int nCancelB,
            const Worker& worker) override
    {
        EXPECT_EQ(strCaption, "Updating Folder List...");
        EXPECT_EQ(strText, "Updating...");
        EXPECT_EQ(nCancelA, 0);
        EXPECT_EQ(nCancelB, 0);
        const std::vector<std::string> before = Names();
        int result = -1;
        std::thread thread([&] { result = worker(); });
        thread.join();
        EXPECT_EQ(Names(), before) << "the caller's list changed while the dialog was open";
        ++runs;
        return result;
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const CFilingFolder& f : *watched)
            names.push_back(f.strName);
        return names;
    }
    const std::vector<CFilingFolder>* watched = nullptr;
    int runs = 0;
};

struct Script {
    int initialize = 1;
    std::string portAddress;            // "" when the port gives no address
    std::vector<std::string> reachable; // targets that list
    std::vector<std::string> log;
};

// mfplink's document-filing exports, scripted; every call but NextFile is logged.
class ScriptedApi : public IFilingApi {
public:
    explicit ScriptedApi(Script& script) : m_Script(script) {}
    int Initialize() override { return Log("Initialize"), m_Script.initialize; }
    int Terminate() override { return Log("Terminate"), 1; }
    DfapiListing* ListFile(const char* target, int timeoutMs, int) override
    {
        Log("ListFile " + std::string(target) + " " + std::to_string(timeoutMs));
        const auto& r = m_Script.reachable;
        m_nNext = 0;
        return std::find(r.begin(), r.end(), target) == r.end() ? nullptr : reinterpret_cast<DfapiListing*>(this);
    }
    int NextFile(DfapiListing*, MFPIF_DFAPI_FileInfo* info, int) override
    {
        struct Entry {
            const char* name;
            int dir;
            uint32_t size;
            int password;
        };
        static constexpr Entry kEntries[] = {{"Sales", 1, 4096, 1}, {"memo.tif", 2, 3221225472u, 0}, {"odd", 0, 1, 0}};
        if (m_nNext >= std::size(kEntries))
            return 0;
        const Entry& e = kEntries[m_nNext++];
        std::strcpy(info->name, e.name);
        info->dir = e.dir;
        info->size = e.size;
        info->password = e.password;
        return 1;
    }
    void CloseFile(DfapiListing*) override { Log("CloseFile"); }
    int GetIPAddrByPrinterPort(const char* printer, const char* port, char* buffer, unsigned size) override
    {
        Log("GetIPAddr " + std::string(printer) + " " + port + " " + std::to_string(size));
        std::strcpy(buffer, m_Script.portAddress.c_str());
        return m_Script.portAddress.empty() ? 0 : static_cast<int>(m_Script.portAddress.size() + 1);
    }
    int ProtocolVer() override { return Log("ProtocolVer"), 1; }

private:
    void Log(std::string text) { m_Script.log.push_back(std::move(text)); }
    Script& m_Script;
    size_t m_nNext = 0;
};

std::vector<std::string> NamesOf(const std::vector<CFilingFolder>& folders)
{
    std::vector<std::string> names;
    for (const CFilingFolder& f : folders)
        names.push_back(f.strName);
    return names;
}

CFilingFolder Cached(std::string name)
{
    CFilingFolder folder;
    folder.strName = std::move(name);
    return folder;
}

TEST(FolderUpdate, AddressesRetriesAndTheCachedList)
{
    const std::vector<std::string> kOld = {"Old"};
    const std::vector<std::string> kListed = {"Main Folder", "Sales", "memo.tif"};
    const std::vector<std::string> kCached = {"Cached A", "Cached B"};
    const std::string kLookup = "GetIPAddr Fax socket://10.0.0.5:9100 260";
    struct Case {
        const char* name;
        int initialize;
        std::string portAddress;
        std::vector<std::string> reachable;
        std::vector<std::string> messages;
        std::vector<int> answers;
        std::vector<std::optional<std::string>> typed;
        bool updated;
        std::vector<std::string> folders;
        std::vector<std::string> log;
        std::string address;
    } cases[] = {
        {"the client does not start", 0, "10.0.0.5", {}, {kUnknownError}, {}, {}, false, kOld, {"Initialize"}, ""},
        {"no address, then No", 1, "", {}, {kAskAddress}, {IDNO}, {}, false, kOld,
         {"Initialize", kLookup, "Terminate"}, ""},
        {"no address, then Yes and Cancel", 1, "", {}, {kAskAddress}, {IDYES}, {std::nullopt}, false, kOld,
         {"Initialize", kLookup, "Terminate"}, ""},
        {"no address, then Yes with a typed address", 1, "", {"dfile://192.0.2.9//"}, {kAskAddress}, {IDYES},
         {"192.0.2.9"}, true, kListed,
         {"Initialize", kLookup, "ListFile dfile://192.0.2.9// 20000", "CloseFile", "Terminate"}, "192.0.2.9"},
        {"the port's address lists", 1, "10.0.0.5", {"dfile://10.0.0.5//"}, {}, {}, {}, true, kListed,
         {"Initialize", kLookup, "ListFile dfile://10.0.0.5// 20000", "CloseFile", "Terminate"}, "10.0.0.5"},
        {"a failure, then a new address that lists", 1, "10.0.0.5", {"dfile://10.0.0.6:8080//"}, {kAskAddress},
         {IDYES}, {"10.0.0.6:8080"}, true, kListed,
         {"Initialize", kLookup, "ListFile dfile://10.0.0.5// 20000", "ListFile dfile://10.0.0.6:8080// 20000",
          "CloseFile", "Terminate"},
         "10.0.0.6:8080"},
        {"a failure, then No: the main folder alone", 1, "10.0.0.5", {}, {kAskAddress}, {IDNO}, {}, true,
         {"Main Folder"}, {"Initialize", kLookup, "ListFile dfile://10.0.0.5// 20000", "Terminate"}, "10.0.0.5"},
        {"a failure after a typed address: the cache", 1, "", {}, {kAskAddress, kNoFolders}, {IDYES}, {"192.0.2.9"},
         true, kCached, {"Initialize", kLookup, "ListFile dfile://192.0.2.9// 20000", "Terminate"}, "192.0.2.9"},
        {"a failure, a new address that fails too: the cache", 1, "10.0.0.5", {}, {kAskAddress, kNoFolders}, {IDYES},
         {"10.0.0.6"}, true, kCached,
         {"Initialize", kLookup, "ListFile dfile://10.0.0.5// 20000", "ListFile dfile://10.0.0.6// 20000",
          "Terminate"},
         "10.0.0.6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qelta::test::ScopedStateRoot root;
        const FolderUpdateTarget target{"Fax", "socket://10.0.0.5:9100", root.path() + "/jobs/folder.info"};
        ASSERT_TRUE(WriteFolderInfo(target.strFolderInfoPath, target.strPortName, {Cached("Cached A"), Cached("Cached B")}));
        Script script{c.initialize, c.portAddress, c.reachable, {}};
        std::vector<CFilingFolder> folders = {Cached("Old")};
        {
            ScriptedPrompter prompter;
            prompter.expected = c.messages;
            prompter.answers = c.answers;
            ScriptedEntry entry;
            entry.answers = c.typed;
            ThreadRunner runner;
            runner.watched = &folders;
            CFolderUpdate update(prompter, entry, runner, [&] { return std::make_unique<ScriptedApi>(script); },
                                 [] { return kNow; });
            EXPECT_EQ(update.Update(target, folders), c.updated);
            EXPECT_EQ(update.Address(), c.address);
        }
        EXPECT_EQ(NamesOf(folders), c.folders);
        EXPECT_EQ(script.log, c.log);
        // Only a listing rewrites the cache, and then with exactly what is shown.
        EXPECT_EQ(NamesOf(ReadFolderInfo(target.strFolderInfoPath, target.strPortName)),
                  c.folders == kListed ? kListed : kCached);
        if (c.folders.front() == "Main Folder") {
            const CFilingFolder& main = folders.front();
            EXPECT_EQ(main.nFolderType, kFolderMain);
            EXPECT_EQ(main.nSize, 0u);
            EXPECT_EQ(main.bPassword, 0);
            EXPECT_EQ(main.nLowDateTime, 0x80000000u);
            EXPECT_EQ(main.nHighDateTime, 0x01DB2C3Du);
        }
        if (c.folders == kListed) {
            EXPECT_EQ(folders[1].nFolderType, kFolderListed);
            EXPECT_EQ(folders[1].bPassword, 1);
            EXPECT_EQ(folders[2].nSize, 3221225472u);
            EXPECT_EQ(folders[2].nLowDateTime + folders[2].nHighDateTime, 0u);
        }
    }
}

// The real mfplink, copied into a folder of its own so that its canned answer is this test's.
class ListingEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = root.path() + "/lib/libmfplink.so";
        ASSERT_TRUE(platform::createDirectories(root.path() + "/lib"));
        const std::string built = platform::resolveLibraryName("mfplink.dll");
        ASSERT_FALSE(built.empty());
        std::filesystem::copy_file(built, library);
        spooler = platform::RecordingSpooler::install("Fax");
    }
    void TearDown() override { platform::setSpooler(nullptr); }

    // A port the registry's TCP/IP monitor knows, with the address (and port) to reach.
    static void SetPortAddress(const std::string& port, const std::string& address)
    {
        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine,
                                                "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
                                                "Standard TCP/IP Port\\Ports\\" + port,
                                                key),
                  platform::RegStatus::Ok);
        ASSERT_EQ(key.set("IPAddress", platform::RegValue::string(address)), platform::RegStatus::Ok);
    }

    bool Update(const FolderUpdateTarget& target, std::vector<CFilingFolder>& folders, ScriptedPrompter& prompter,
                ScriptedEntry& entry, std::string* address = nullptr)
    {
        ThreadRunner runner;
        runner.watched = &folders;
        const std::string path = library;
        CFolderUpdate update(prompter, entry, runner, [path] { return MakeMfplinkFilingApi(path); },
                             [] { return kNow; });
        EXPECT_EQ(update.ProtocolVersion(), 1);
        const bool updated = update.Update(target, folders);
        if (address)
            *address = update.Address();
        return updated;
    }

    qelta::test::ScopedStateRoot root;
    std::string library;
    std::shared_ptr<platform::RecordingSpooler> spooler;
};

TEST_F(ListingEndToEnd, TheCannedAnswerBecomesTheListAndTheCache)
{
    spooler->addPrinter("Fax", "socket://192.0.2.7:9100");
    qelta::test::writeTextFile(root.path() + "/lib/mfplink.xml",
                               "<a><files>"
                               "<file><name>Sales</name><dir>true</dir><size>4096</size><password>true</password>"
                               "<date>2024-05-01</date></file>"
                               "<file><name>memo.tif</name><dir>false</dir><size>3221225472</size></file>"
                               "<file><name>no kind</name><size>1</size></file>"
                               "<file><name>Public</name><dir>true</dir><password>false</password></file>"
                               "</files></a>");
    const FolderUpdateTarget target{"Fax", "socket://192.0.2.7:9100", root.path() + "/jobs/folder.info"};
    std::vector<CFilingFolder> folders;
    ScriptedPrompter prompter;
    ScriptedEntry entry;
    std::string address;
    ASSERT_TRUE(Update(target, folders, prompter, entry, &address));
    EXPECT_EQ(address, "192.0.2.7");
    EXPECT_EQ(NamesOf(folders), (std::vector<std::string>{"Main Folder", "Sales", "memo.tif", "Public"}));
    EXPECT_EQ(qelta::test::readTextFile(target.strFolderInfoPath),
              "[socket://192.0.2.7:9100]\n"
              "FolderCount=4\n"
              "0-Name=Main Folder\n0-Pass=0\n0-SizeLow=0\n0-LowDateTime=-2147483648\n0-HighDateTime=31140925\n"
              "0-FolderType=2\n"
              "1-Name=Sales\n1-Pass=1\n1-SizeLow=4096\n1-LowDateTime=0\n1-HighDateTime=0\n1-FolderType=1\n"
              "2-Name=memo.tif\n2-Pass=0\n2-SizeLow=3221225472\n2-LowDateTime=0\n2-HighDateTime=0\n2-FolderType=1\n"
              "3-Name=Public\n3-Pass=0\n3-SizeLow=0\n3-LowDateTime=0\n3-HighDateTime=0\n3-FolderType=1\n");
}

TEST_F(ListingEndToEnd, ARefusedPortAsksThenShowsTheCache)
{
    SetPortAddress("QeltaPort1", "127.0.0.1:" + std::to_string(qelta::test::closedPort()));
    const FolderUpdateTarget target{"Fax", "QeltaPort1", root.path() + "/jobs/folder.info"};
    const std::string cache = "[QeltaPort1]\nFolderCount=1\n0-Name=Kept\n0-Pass=1\n";
    qelta::test::writeTextFile(target.strFolderInfoPath, cache);
    std::vector<CFilingFolder> folders;
    ScriptedPrompter prompter;
    prompter.expected = {kAskAddress, kNoFolders};
    prompter.answers = {IDYES};
    ScriptedEntry entry;
    const std::string typed = "127.0.0.1:" + std::to_string(qelta::test::closedPort());
    entry.answers = {typed};
    std::string address;
    ASSERT_TRUE(Update(target, folders, prompter, entry, &address));
    EXPECT_EQ(address, typed);
    ASSERT_EQ(NamesOf(folders), std::vector<std::string>{"Kept"});
    EXPECT_EQ(folders[0].bPassword, 1);
    EXPECT_EQ(qelta::test::readTextFile(target.strFolderInfoPath), cache);
}

TEST_F(ListingEndToEnd, ASilentDeviceFailsAfterTheTimeOut)
{
    qelta::test::FullListener silent(false);
    SetPortAddress("QeltaPort2", "127.0.0.1:" + std::to_string(silent.port()));
    const FolderUpdateTarget target{"Fax", "QeltaPort2", root.path() + "/jobs/folder.info"};
    std::vector<CFilingFolder> folders;
    ScriptedPrompter prompter;
    prompter.expected = {kAskAddress};
    prompter.answers = {IDNO};
    ScriptedEntry entry;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Update(target, folders, prompter, entry));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(seconds.count(), kFilingListTimeoutMs / 1000 - 1);
    EXPECT_LT(seconds.count(), 3 * kFilingListTimeoutMs / 1000 / 2);
    EXPECT_EQ(NamesOf(folders), std::vector<std::string>{"Main Folder"});
}

} // namespace
