#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/state.h"
#include "platform/system_info.h"
#include "platform/tcp.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fstream>
#include <thread>
#include <vector>

using namespace platform;
using qelta::test::readTextFile;
using qelta::test::runInChild;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

// Sets (or, with nothing, removes) an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* v = std::getenv(name))
            previous_ = v;
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
        ::tzset();
    }
    ~ScopedEnv()
    {
        previous_ ? ::setenv(name_, previous_->c_str(), 1) : ::unsetenv(name_);
        ::tzset();
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

bool isBelow(const std::string& path, const std::string& root) { return path.starts_with(root + "/"); }

void anchorInTestProgram() {}

} // namespace

TEST(SystemInfo, ComputerAndUserName)
{
    const std::string name = computerName();
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 15u);
    EXPECT_EQ(name.find('.'), std::string::npos) << name;
    for (char c : name)
        EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
    EXPECT_FALSE(userName().empty());
}

TEST(SystemInfo, LocalTimeOfAFixedInstant)
{
    {
        ScopedEnv tz("TZ", "UTC");
        const LocalTime t = localTimeOf(1700000000); // 2023-11-14 22:13:20 UTC, a Tuesday
        EXPECT_EQ(t.year, 2023);
        EXPECT_EQ(t.month, 11);
        EXPECT_EQ(t.day, 14);
        EXPECT_EQ(t.dayOfWeek, 2);
        EXPECT_EQ(t.hour, 22);
        EXPECT_EQ(t.minute, 13);
        EXPECT_EQ(t.second, 20);
        EXPECT_EQ(t.milliseconds, 0);
        const LocalTime leap = localTimeOf(951825600);
        EXPECT_EQ(leap.month * 100 + leap.day, 229);
    }
    ScopedEnv tz("TZ", "JST-9"); // crosses midnight into Wednesday
    const LocalTime t = localTimeOf(1700000000);
    EXPECT_EQ(t.day, 15);
    EXPECT_EQ(t.dayOfWeek, 3);
    EXPECT_EQ(t.hour, 7);
}

TEST(SystemInfo, StandardBiasIgnoresDaylightTime)
{
    const std::pair<const char*, int> zones[] = {
        {"UTC0", 0},
        {"JST-9", -540},
        {"EST5EDT,M3.2.0,M11.1.0", 300},
        {"IST-5:30", -330},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", -600}, // southern hemisphere: daylight time spans New Year
        {"UTC", 0},
        {"Asia/Tokyo", -540},
        {"America/New_York", 300},
        {"Asia/Kolkata", -330},
        {"Australia/Sydney", -600},
    };
    for (const auto& [zone, bias] : zones) {
        if (std::string(zone).find('/') != std::string::npos && !pathExists(std::string("/usr/share/zoneinfo/") + zone))
            continue; // no time zone database for the named zones
        ScopedEnv tz("TZ", zone);
        EXPECT_EQ(timeZoneStandardBiasMinutes(), bias) << zone;
    }
}

TEST(SystemInfo, ProcessCodePageOverrides)
{
    {
        ScopedEnv cp("QELTA_CODEPAGE", std::nullopt);
        EXPECT_EQ(processCodePage(), kUtf8CodePage);
        setProcessCodePage(932);
        EXPECT_EQ(processCodePage(), 932u);
        setProcessCodePage(0);
        EXPECT_EQ(processCodePage(), kUtf8CodePage);
    }
    {
        ScopedEnv cp("QELTA_CODEPAGE", "1252");
        EXPECT_EQ(processCodePage(), 1252u);
        setProcessCodePage(932); // an explicit override beats the variable
        EXPECT_EQ(processCodePage(), 932u);
        setProcessCodePage(0);
        EXPECT_EQ(processCodePage(), 1252u);
    }
    for (const char* garbage : {"", "utf8", "932x", "0", "-1", "70000", "99999999999999999999"}) {
        ScopedEnv cp("QELTA_CODEPAGE", garbage);
        EXPECT_EQ(processCodePage(), kUtf8CodePage) << garbage;
    }
}

TEST(SystemInfo, PublishedAddressSkipsLoopbackWhereAPeerCouldReachAnother)
{
    auto ip = [](const char* text) {
        uint32_t a = 0;
        EXPECT_TRUE(parseIPv4(text, a)) << text;
        return a;
    };
    struct Case {
        const char* name;
        std::vector<const char*> hostList, interfaces;
        const char* expected; // "" for none
    };
    const Case cases[] = {
        {"Debian host name and a LAN interface", {"127.0.1.1"}, {"127.0.0.1", "192.168.1.20"}, "192.168.1.20"},
        {"host list before interfaces", {"127.0.1.1", "10.0.0.7"}, {"192.168.1.20"}, "10.0.0.7"},
        {"first of the host list", {"10.0.0.7", "192.168.1.20"}, {"172.16.0.2"}, "10.0.0.7"},
        {"host name unresolved: interfaces", {}, {"127.0.0.1", "172.16.0.2", "192.168.1.20"}, "172.16.0.2"},
        {"only loopback: the host name's", {"127.0.1.1"}, {"127.0.0.1"}, "127.0.1.1"},
        {"only loopback interfaces", {}, {"127.0.0.1"}, "127.0.0.1"},
        {"0.0.0.0 never", {"0.0.0.0"}, {"0.0.0.0", "127.0.0.1"}, "127.0.0.1"},
        {"nothing at all", {}, {}, ""},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> hostList, interfaces;
        for (const char* a : c.hostList)
            hostList.push_back(ip(a));
        for (const char* a : c.interfaces)
            interfaces.push_back(ip(a));
        const auto chosen = choosePublishedIPv4(hostList, interfaces);
        EXPECT_EQ(chosen ? formatIPv4(*chosen) : "", c.expected) << c.name;
    }
}

TEST(SystemInfo, PublishedAddressOverrides)
{
    uint32_t loopback = 0, other = 0;
    ASSERT_TRUE(parseIPv4("127.0.0.1", loopback) && parseIPv4("192.0.2.9", other));
    {
        ScopedEnv pin("QELTA_HOST_ADDRESS", std::nullopt);
        // This machine's own answer is one of its addresses (at least a loopback interface exists).
        const std::string own = publishedIPv4Address();
        uint32_t parsed = 0;
        EXPECT_TRUE(parseIPv4(own, parsed)) << own;
        setPublishedIPv4Override(loopback);
        EXPECT_EQ(publishedIPv4Address(), "127.0.0.1");
        setPublishedIPv4Override(0);
        EXPECT_EQ(publishedIPv4Address(), own);
    }
    {
        ScopedEnv pin("QELTA_HOST_ADDRESS", "192.0.2.9");
        EXPECT_EQ(publishedIPv4Address(), "192.0.2.9");
        setPublishedIPv4Override(loopback); // an explicit override beats the variable
        EXPECT_EQ(publishedIPv4Address(), "127.0.0.1");
        setPublishedIPv4Override(0);
    }
    ScopedEnv none("QELTA_HOST_ADDRESS", std::nullopt);
    const std::string own = publishedIPv4Address();
    for (const char* garbage : {"", "host.invalid", "0.0.0.0", "1.2.3.4.5"}) {
        ScopedEnv pin("QELTA_HOST_ADDRESS", garbage);
        EXPECT_EQ(publishedIPv4Address(), own) << garbage;
    }
}

TEST(KnownFolders, RelocatedRootIgnoresTheEnvironment)
{
    ScopedStateRoot root;
    ScopedEnv data("XDG_DATA_HOME", "/elsewhere/data"), state("XDG_STATE_HOME", "/elsewhere/state"),
        config("XDG_CONFIG_HOME", "/elsewhere/config"), tmp("TMPDIR", "/elsewhere/tmp"), home("HOME", "/elsewhere");
    for (auto which : {KnownFolder::AppData, KnownFolder::CommonAppData, KnownFolder::LocalAppData,
                       KnownFolder::Documents, KnownFolder::Temp}) {
        const auto folder = knownFolder(which);
        ASSERT_TRUE(folder) << int(which);
        EXPECT_TRUE(isBelow(*folder, root.path())) << *folder;
    }
    for (const auto& folder : {machineStateFolder(), userStateFolder(), systemFolder(), installDirectory(),
                               homeDirectory()})
        EXPECT_TRUE(isBelow(folder, root.path())) << folder;
}

TEST(InstallLayout, TheMachineFolderFollowsTheLinuxLayoutAndTheBuildTreeKeepsItsOwn)
{
    // prefix | machine state folder of an installation there
    const std::pair<const char*, const char*> cases[] = {
        {"/usr", "/var/lib/qelta"},
        {"/usr/local", "/usr/local/var/lib/qelta"},
        {"/opt/qelta", "/var/opt/qelta/lib/qelta"},
        {"/home/ann/stage/usr", "/home/ann/stage/usr/var/lib/qelta"},
        {"/", "/var/lib/qelta"},
    };
    for (const auto& [prefix, folder] : cases)
        EXPECT_EQ(installedMachineStateFolder(prefix), folder) << prefix;

    // This test runs from the build tree: its prefix is the build folder, its data and machine state
    // are there too, and the help pages and language modules lie in the data folder.
    ScopedEnv noRoot(kStateRootVariable, std::nullopt);
    EXPECT_EQ(installPrefix(), parentPath(libraryFolder()));
    EXPECT_EQ(dataFolder(), installPrefix() + "/share/qelta");
    EXPECT_EQ(machineStateFolder(), installPrefix() + "/var");
    EXPECT_TRUE(pathExists(dataFolder() + "/Sendwizard2.html"));
}

TEST(KnownFolders, FollowXdgVariablesWithoutARoot)
{
    ScopedStateRoot scratch;
    const std::string home = scratch.path() + "/home";
    ScopedEnv noRoot(kStateRootVariable, std::nullopt), homeVar("HOME", home),
        data("XDG_DATA_HOME", scratch.path() + "/data/"), state("XDG_STATE_HOME", "relative/state"),
        config("XDG_CONFIG_HOME", std::nullopt), tmp("TMPDIR", scratch.path() + "/tmp");
    EXPECT_EQ(knownFolder(KnownFolder::AppData), scratch.path() + "/data");
    EXPECT_EQ(knownFolder(KnownFolder::LocalAppData), home + "/.local/state"); // relative values are ignored
    EXPECT_EQ(knownFolder(KnownFolder::Temp), scratch.path() + "/tmp");
    EXPECT_EQ(knownFolder(KnownFolder::Documents), home + "/Documents");
    {
        ScopedEnv relTmp("TMPDIR", "tmp");
        EXPECT_EQ(knownFolder(KnownFolder::Temp), "/tmp");
    }

    writeTextFile(home + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/FromDefaultConfig\"\n");
    EXPECT_EQ(knownFolder(KnownFolder::Documents), home + "/FromDefaultConfig");

    ScopedEnv configHome("XDG_CONFIG_HOME", scratch.path() + "/cfg");
    writeTextFile(scratch.path() + "/cfg/user-dirs.dirs", "# XDG_DOCUMENTS_DIR=\"$HOME/Commented\"\n"
                                                          "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                          "  XDG_DOCUMENTS_DIR=\"$HOME/Docs/\"\r\n");
    EXPECT_EQ(knownFolder(KnownFolder::Documents), home + "/Docs");
}

TEST(KnownFolders, InjectedProviderAndRestore)
{
    struct Fake : FolderProvider {
        std::optional<std::string> folder(KnownFolder which) const override
        {
            if (which == KnownFolder::Temp)
                return "/fake/temp";
            return std::nullopt;
        }
    };
    ScopedStateRoot root;
    auto fake = std::make_shared<const Fake>();
    const auto previous = setFolderProvider(fake);
    EXPECT_EQ(knownFolder(KnownFolder::Temp), "/fake/temp");
    EXPECT_EQ(knownFolder(KnownFolder::AppData), std::nullopt);
    EXPECT_EQ(setFolderProvider(previous), fake);
    EXPECT_EQ(knownFolder(KnownFolder::Temp), root.path() + "/tmp");
}

TEST(Library, LoadsByWindowsOrNativeNameWithoutRegardToCase)
{
    for (const char* name : {"SAMPLELIB.DLL", "libSampleLib.so", "samplelib.dll", "LIBSAMPLELIB.SO"}) {
        const auto lib = Library::load(name);
        ASSERT_TRUE(lib) << name << ": " << Library::lastError();
        EXPECT_EQ(parentPath(lib->path()), libraryFolder());
        const auto answer = lib->function<int (*)()>("SampleAnswer");
        ASSERT_NE(answer, nullptr) << name;
        EXPECT_EQ(answer(), 42);
        EXPECT_EQ(lib->symbol("NoSuchFunction"), nullptr);
        EXPECT_EQ(lib->symbol(nullptr), nullptr);
    }
}

TEST(Library, RefusesFoldersAndReportsMissingLibraries)
{
    for (const std::string& name : {std::string(".."), std::string("."), std::string(""), std::string("./libSampleLib.so"),
                                   std::string("..\\lib\\SAMPLELIB.DLL"), libraryFolder() + "/libSampleLib.so"}) {
        EXPECT_EQ(Library::load(name), nullptr) << name;
        EXPECT_FALSE(Library::lastError().empty());
    }
    EXPECT_EQ(Library::load("NoSuchLibrary.dll"), nullptr);
    EXPECT_NE(Library::lastError().find("NoSuchLibrary.dll"), std::string::npos) << Library::lastError();
}

TEST(Library, LibraryFolderAndProgramPath)
{
    EXPECT_TRUE(pathExists(joinPath(libraryFolder(), "libfaxplatform.so"))) << libraryFolder();
    EXPECT_EQ(modulePathOf(reinterpret_cast<const void*>(&platform::joinPath)),
              joinPath(libraryFolder(), "libfaxplatform.so"));
    EXPECT_EQ(programPath(), modulePathOf(reinterpret_cast<const void*>(&anchorInTestProgram)));
    EXPECT_EQ(fileNameOf(programPath()), "platform_system_test");
}

TEST(Process, ExitCodesSignalsAndArguments)
{
    ScopedStateRoot root;
    EXPECT_EQ(runProgram("/bin/sh", {"-c", "exit 3"}), 3);
    EXPECT_EQ(runProgram("/bin/sh", {"-c", "kill -TERM $$"}), 128 + SIGTERM);

    const std::string out = joinPath(root.path(), "arg.txt");
    const std::string tricky = "a b \"c\" 'd' $HOME;*";
    auto started = startProgram("/bin/sh", {"-c", "printf %s \"$1\" > \"$2\"; exit $#", "sh", tricky, out});
    ASSERT_TRUE(started);
    EXPECT_EQ(waitProgram(*started), 2);
    EXPECT_EQ(readTextFile(out), tricky);

    std::string error;
    EXPECT_FALSE(startProgram(joinPath(root.path(), "no-such-program"), {}, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(runProgram(out, {}, &error), -1); // not executable
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(startDetached(joinPath(root.path(), "no-such-program"), {}));
}

TEST(Process, DetachedProgramIsReaped)
{
    ScopedStateRoot root;
    const std::string pidFile = joinPath(root.path(), "pid");
    ASSERT_TRUE(startDetached("/bin/sh", {"-c", "echo $$ > \"$1.part\" && mv \"$1.part\" \"$1\"", "sh", pidFile}));
    pid_t pid = 0;
    bool gone = false;
    // A zombie still answers kill(pid, 0); only once the waiter reaped it does the pid vanish.
    for (int i = 0; i < 1000 && !gone; ++i) {
        if (pid == 0)
            pid = static_cast<pid_t>(std::atoi(readTextFile(pidFile).c_str()));
        if (pid > 0)
            gone = ::kill(pid, 0) != 0 && errno == ESRCH;
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(gone) << "child " << pid << " was not reaped";
    int status = 0;
    EXPECT_LE(::waitpid(-1, &status, WNOHANG), 0);
}

#ifndef __SANITIZE_ADDRESS__ // the sanitizer needs far more address space than the limit leaves
TEST(Process, NoThreadForTheWaiterIsAnErrorAndStartsNothing)
{
    // With no room left for a thread's stack, a detached start fails as a result, not an exception,
    // and leaves no child behind that nobody would reap.
    ScopedStateRoot root;
    const std::string marker = joinPath(root.path(), "started");
    const int result = runInChild([&] {
        unsigned long long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (1u << 20);
        const rlimit r{limit, limit};
        if (::setrlimit(RLIMIT_AS, &r) != 0)
            return 3;
        std::string error;
        try {
            if (startDetached("/bin/sh", {"-c", "touch \"$1\"", "sh", marker}, &error))
                return 1;
        } catch (...) {
            return 2;
        }
        return error.empty() ? 4 : 0;
    });
    EXPECT_EQ(result, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(pathExists(marker));
}
#endif
