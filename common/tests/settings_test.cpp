#include "common/data_folders.h"
#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/state.h"
#include "platform/tests/support/test_support.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

// Known folders chosen by the test; a folder left out does not resolve.
class FakeFolders : public platform::FolderProvider {
public:
    explicit FakeFolders(std::map<platform::KnownFolder, std::string> folders) : folders_(std::move(folders)) {}
    std::optional<std::string> folder(platform::KnownFolder which) const override
    {
        auto it = folders_.find(which);
        return it == folders_.end() ? std::nullopt : std::optional<std::string>(it->second);
    }

private:
    std::map<platform::KnownFolder, std::string> folders_;
};

class DataFolders : public ::testing::Test {
protected:
    void useFolders(std::map<platform::KnownFolder, std::string> folders)
    {
        platform::setFolderProvider(std::make_shared<FakeFolders>(std::move(folders)));
    }
    void TearDown() override { platform::setFolderProvider(nullptr); }

    std::string baseFolder()
    {
        char buffer[kMaxPathBytes] = "untouched";
        const int ok = GetDataBaseFolder(buffer, sizeof buffer);
        return ok ? std::string(buffer) : "<failed:" + std::string(buffer) + ">";
    }

    ScopedStateRoot root;
    CRegistryHelper user{HKEY_CURRENT_USER, kProductKeyPrefix};
    CRegistryHelper machine{HKEY_LOCAL_MACHINE, kProductKeyPrefix};
};

} // namespace

TEST(RegistryHelper, StringsAndNumbersRoundTrip)
{
    ScopedStateRoot root;
    const CRegistryHelper user(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\");
    EXPECT_EQ(user.ReadString("TqlStl2", "Missing", "fallback"), "fallback");
    EXPECT_EQ(user.ReadDword("TqlStl2", "Missing", 7u), 7u);

    EXPECT_EQ(user.WriteString("TqlStl2", "CvrFile", "/home/u/covers"), 1);
    EXPECT_EQ(user.WriteDword("TqlStl2", "PopupSeconds", 0xFFFFFFFFu), 1);
    // One key whatever the spelling of prefix and subkey.
    const CRegistryHelper upper(HKEY_CURRENT_USER, "SOFTWARE\\KOVRA\\");
    EXPECT_EQ(upper.ReadString("TQLSTL2", "cvrfile", ""), "/home/u/covers");
    EXPECT_EQ(upper.ReadDword("TQLSTL2", "popupseconds", 0), 0xFFFFFFFFu);

    // Stored as a string with its terminator.
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::open(platform::Hive::CurrentUser, "SOFTWARE\\Kovra\\TqlStl2", key),
              platform::RegStatus::Ok);
    platform::RegValue value;
    ASSERT_EQ(key.query("CvrFile", value), platform::RegStatus::Ok);
    EXPECT_EQ(value.type, platform::RegType::String);
    EXPECT_EQ(value.data, std::string("/home/u/covers\0", 15));

    // Text read whatever the type; numbers only from number values.
    EXPECT_EQ(user.WriteDword("TqlStl2", "Letter", 0x41), 1);
    EXPECT_EQ(user.ReadString("TqlStl2", "Letter", "d"), "A");
    EXPECT_EQ(user.ReadDword("TqlStl2", "CvrFile", 9u), 9u);
}

TEST(RegistryHelper, LongValuesAreReadWholeAndNamesCut)
{
    ScopedStateRoot root;
    const CRegistryHelper user(HKEY_CURRENT_USER, "SOFTWARE\\KOVRA\\");
    // However long, a value is never read as missing; multi-byte letters stay whole.
    for (const std::string& text : {std::string(259, 'y'), std::string(260, 'z'), std::string(300, 'x'),
                                    [] { std::string s; for (int i = 0; i < 200; ++i) s += "\xC3\xBC"; return s; }(),
                                    std::string(70000, 'l')}) {
        ASSERT_EQ(user.WriteString("TQLSTL2", "Long", text), 1);
        EXPECT_EQ(user.ReadString("TQLSTL2", "Long", "default"), text) << text.size();
    }

    // A binary value without a terminator reads as its bytes.
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::open(platform::Hive::CurrentUser, "SOFTWARE\\KOVRA\\TQLSTL2", key),
              platform::RegStatus::Ok);
    ASSERT_EQ(key.set("Raw", platform::RegValue::binary(std::string(260, 'r'))), platform::RegStatus::Ok);
    EXPECT_EQ(user.ReadString("TQLSTL2", "Raw", "default"), std::string(260, 'r'));

    // Value names are cut to 255 bytes, never inside a UTF-8 character.
    const std::string longName = std::string(254, 'n') + "\xC3\xA9" + "tail";
    EXPECT_EQ(user.WriteString("TQLSTL2", longName, "cut"), 1);
    EXPECT_EQ(user.ReadString("TQLSTL2", std::string(254, 'n'), ""), "cut");
}

TEST(RegistryHelper, WriteFailsOnADamagedHive)
{
    ScopedStateRoot root;
    writeTextFile(platform::hiveFilePath(platform::Hive::CurrentUser), "garbage");
    const CRegistryHelper user(HKEY_CURRENT_USER, "SOFTWARE\\KOVRA\\");
    EXPECT_EQ(user.WriteString("TQLSTL2", "v", "x"), 0);
    EXPECT_EQ(user.WriteDword("TQLSTL2", "v", 1), 0);
    EXPECT_EQ(user.ReadString("TQLSTL2", "v", "d"), "d");
    EXPECT_EQ(readTextFile(platform::hiveFilePath(platform::Hive::CurrentUser)), "garbage");
}

TEST_F(DataFolders, BaseFolderFollowsTheChain)
{
    using platform::KnownFolder;
    useFolders({{KnownFolder::AppData, "/r/roaming/"}, {KnownFolder::CommonAppData, "/r/common"},
                {KnownFolder::LocalAppData, "/r/local"}, {KnownFolder::Documents, "/r/docs"},
                {KnownFolder::Temp, "/r/tmp/"}});
    EXPECT_EQ(baseFolder(), "/r/roaming");
    useFolders({{KnownFolder::CommonAppData, "/r/common"}, {KnownFolder::Documents, "/r/docs"}});
    EXPECT_EQ(baseFolder(), "/r/common");
    useFolders({{KnownFolder::LocalAppData, "/r/local"}, {KnownFolder::Documents, "/r/docs"}});
    EXPECT_EQ(baseFolder(), "/r/local");
    useFolders({{KnownFolder::Documents, "/r/docs"}});
    EXPECT_EQ(baseFolder(), "/r/docs");
    useFolders({{KnownFolder::Temp, "/r/tmp/"}});
    EXPECT_EQ(baseFolder(), "/r/tmp") << "one trailing separator removed";
    useFolders({});
    EXPECT_EQ(baseFolder(), "<failed:>") << "never a made-up folder";

    useFolders({{KnownFolder::AppData, "/" + std::string(kMaxPathBytes, 'a')}});
    EXPECT_EQ(baseFolder(), "<failed:>") << "too long is an error with an empty buffer";
    char small[9] = "xxxxxxxx";
    useFolders({{KnownFolder::AppData, "/1234567"}});
    EXPECT_EQ(GetDataBaseFolder(small, 8), 0) << "eight bytes leave no room for the terminator";
    EXPECT_STREQ(small, "");
    EXPECT_EQ(GetDataBaseFolder(small, sizeof small), 1);
    EXPECT_STREQ(small, "/1234567");
}

TEST_F(DataFolders, PhoneBookDirectoryIsBuiltStoredAndCreated)
{
    const std::string appData = root.path() + "/Users/u/AppData/Roaming";
    useFolders({{platform::KnownFolder::AppData, appData}});
    const std::string install = root.path() + "/Program Files/Qelta/";
    machine.WriteString("TQLSTL2", "TQL Directory", install);
    writeTextFile(install + "DATA.TAG", "[TagInfo]\nCompany=ACME\nVersion=2.0\n");

    const std::string expected = appData + "/ACME/qelta/phonebook";
    EXPECT_EQ(GetCompanyName(), "ACME");
    EXPECT_EQ(GetPhoneBookDirectory(), expected);
    EXPECT_EQ(user.ReadString("TQLSTL2", "PhonebookDirectory", ""), expected);
    EXPECT_TRUE(platform::isDirectory(expected));

    // Once stored, the value is used as it stands, even with a trailing separator; '\' reads as '/'.
    user.WriteString("TQLSTL2", "PhonebookDirectory", root.path() + "\\books\\mine\\");
    EXPECT_EQ(GetPhoneBookDirectory(), root.path() + "/books/mine/");
    EXPECT_TRUE(platform::isDirectory(root.path() + "/books/mine"));
}

TEST_F(DataFolders, EmptyCompanyLeavesNoEmptyLevel)
{
    useFolders({{platform::KnownFolder::AppData, root.path() + "/data"}});
    EXPECT_EQ(GetCompanyName(), "");
    EXPECT_EQ(GetPhoneBookDirectory(), root.path() + "/data/qelta/phonebook");
    EXPECT_EQ(user.ReadString("TQLSTL2", "PhonebookDirectory", ""), root.path() + "/data/qelta/phonebook");
    EXPECT_TRUE(platform::isDirectory(root.path() + "/data/qelta/phonebook"));
}

TEST_F(DataFolders, TagFileWithoutInstallDirectoryIsLookedForInTheSystemFolder)
{
    writeTextFile(platform::systemFolder() + "/DATA.TAG", "[taginfo]\ncompany = \"Sys Co\"\n");
    EXPECT_EQ(GetCompanyName(), "Sys Co");
}

TEST_F(DataFolders, NoBaseFolderMeansNoDirectory)
{
    useFolders({});
    EXPECT_EQ(GetPhoneBookDirectory(), "");
    EXPECT_EQ(user.ReadString("TQLSTL2", "PhonebookDirectory", "<none>"), "<none>") << "nothing stored";
}

TEST_F(DataFolders, RelativeStoredDirectoryIsCreatedBelowTheWorkingFolder)
{
    const std::string previous = platform::parentPath(platform::programPath());
    ASSERT_EQ(::chdir(root.path().c_str()), 0);
    user.WriteString("TQLSTL2", "PhonebookDirectory", "rel\\a\\b");
    EXPECT_EQ(GetPhoneBookDirectory(), "rel/a/b");
    EXPECT_TRUE(platform::isDirectory(root.path() + "/rel/a/b"));
    ASSERT_EQ(::chdir(previous.c_str()), 0);
}

// At start every program takes back from other users what an earlier run left open to them in the
// user's own folders; the machine's hive and a folder the settings put outside stay as they are.
TEST_F(DataFolders, TheUsersOwnFoldersAreMendedAtStart)
{
    const std::string install = root.path() + "/install/";
    machine.WriteString("TQLSTL2", "TQL Directory", install);
    writeTextFile(install + "DATA.TAG", "[TagInfo]\nCompany=ACME\n");
    const std::string data = root.path() + "/home/.local/share", state = root.path() + "/home/.local/state";
    user.WriteString("TQLSTL2", "LogDirectory", data + "/logs elsewhere");
    user.WriteString("TQLSTL2", "PhonebookDirectory", root.path() + "/shared/books");
    const std::string own[] = {
        platform::hiveFilePath(platform::Hive::CurrentUser),
        data + "/ACME/qelta/phonebook/book.pbk",
        data + "/ACME/qelta/cvrfile/cover.cvr",
        data + "/logs elsewhere/00000001/desktop.xml",
        state + "/resultmonitor/pending/00000000000000000001-00000001.notice",
        state + "/noticelib/port",
        state + "/qelta/cvrfileTMP/17/cover.TIF",
    };
    const std::string others[] = {root.path() + "/shared/books/book.pbk",
                                  platform::hiveFilePath(platform::Hive::LocalMachine)};
    // The hives hold the settings above: they are kept as written, only their modes opened.
    auto make = [](const std::string& file) {
        if (!platform::pathExists(file))
            writeTextFile(file, "x");
    };
    for (const std::string& file : own) {
        make(file);
        for (std::string folder = platform::parentPath(file); folder.size() > root.path().size();
             folder = platform::parentPath(folder))
            ASSERT_EQ(::chmod(folder.c_str(), 0755), 0) << folder;
        ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    }
    for (const std::string& file : others) {
        make(file);
        ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
        ASSERT_EQ(::chmod(platform::parentPath(file).c_str(), 0755), 0);
    }

    MendUserFolders();
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    for (const std::string& file : own) {
        EXPECT_EQ(mode(file), 0600u) << file;
        EXPECT_EQ(mode(platform::parentPath(file)), 0700u) << file;
    }
    for (const std::string& file : others) {
        EXPECT_EQ(mode(file), 0644u) << file;
        EXPECT_EQ(mode(platform::parentPath(file)), 0755u) << file;
    }
}

// A program started as root with a user's HOME (sudo -E, su without "-") finds the user's folders
// another user's: it moves, mends, makes and writes nothing there and answers whose they are, and
// the user's next start finds every file where it was, as it was.
TEST(UserFolders, AStartUnderAnotherUserChangesNothingInTheHome)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "starting as another user takes root";
    ScopedStateRoot root;
    const std::string home = root.path() + "/ann";
    ASSERT_EQ(::mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
    // A start in a process of its own, as the user or as root, with the home's own folders.
    auto start = [&home](bool asUser, const std::function<int()>& body) {
        return qelta::test::runInChild([&] {
            ::unsetenv("QELTA_ROOT");
            for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
                ::unsetenv(variable);
            ::setenv("HOME", home.c_str(), 1);
            if (asUser && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                return 255;
            return body();
        });
    };
    auto snapshot = [&home] {
        std::map<std::string, std::string> entries; // owner, then the bytes of a file
        for (const auto& e : std::filesystem::recursive_directory_iterator(home)) {
            struct stat st {};
            EXPECT_EQ(::lstat(e.path().c_str(), &st), 0);
            entries[e.path().string()] =
                std::to_string(st.st_uid) + (S_ISDIR(st.st_mode) ? "/" : ":" + readTextFile(e.path().string()));
        }
        return entries;
    };
    // The user's settings, a phone book and a kept notice.
    ASSERT_EQ(start(true,
                    [] {
                        const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
                        const std::string books = GetPhoneBookDirectory();
                        const auto local = platform::knownFolder(platform::KnownFolder::LocalAppData);
                        const std::string pending = local ? *local + "/resultmonitor/pending" : std::string();
                        if (!user.WriteString(kProductSubkey, "HeaderUserName", "Ann") || books.empty()
                            || !platform::writeFileAtomic(books + "/Ann.pbk", "<book/>")
                            || !platform::createDirectories(pending)
                            || !platform::writeFileAtomic(pending + "/00000000000000000001-00000001.notice", "n"))
                            return 1;
                        return 0;
                    }),
              0);
    const auto before = snapshot();
    ASSERT_GE(before.size(), 9u);

    EXPECT_EQ(start(false,
                    [&home] {
                        const auto foreign = MendUserFolders();
                        if (foreign.size() != 1 || foreign[0].path != home || foreign[0].owner != 65534)
                            return 1;
                        const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
                        if (user.WriteString(kProductSubkey, "HeaderUserName", "root"))
                            return 2;
                        GetPhoneBookDirectory();
                        GetCoverFolder();
                        return 0;
                    }),
              0);
    EXPECT_EQ(snapshot(), before);

    EXPECT_EQ(start(true,
                    [] {
                        if (!MendUserFolders().empty())
                            return 1;
                        const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
                        return user.ReadString(kProductSubkey, "HeaderUserName", "") == "Ann" ? 0 : 2;
                    }),
              0);
    const auto after = snapshot();
    for (const auto& [path, entry] : before)
        EXPECT_EQ(after.count(path) ? after.at(path) : "<gone>", entry) << path;
    for (const auto& [path, entry] : after) {
        EXPECT_EQ(path.find(".foreign"), std::string::npos) << path;
        EXPECT_FALSE(entry.starts_with("0")) << path << " is root's";
    }
}
