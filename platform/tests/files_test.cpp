#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/text.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using qelta::test::readTextFile;
using qelta::test::runInChild;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

std::vector<std::string> folderEntries(const std::string& folder) { return listFiles(folder, "*"); }

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void appendLine(const std::string& path, const char* line)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd >= 0) {
        [[maybe_unused]] auto n = ::write(fd, line, std::strlen(line));
        ::close(fd);
    }
}

} // namespace

TEST(PathText, SplitsAndJoins)
{
    EXPECT_EQ(nativePath("C:\\Fax\\Inbox\\a.tif"), "C:/Fax/Inbox/a.tif");
    EXPECT_EQ(nativePath(""), "");
    EXPECT_EQ(joinPath("a", "b"), "a/b");
    EXPECT_EQ(joinPath("a/", "b"), "a/b");
    EXPECT_EQ(joinPath("/", "b"), "/b");
    EXPECT_EQ(joinPath("", "b"), "b");
    EXPECT_EQ(parentPath("name"), ".");
    EXPECT_EQ(parentPath("/name"), "/");
    EXPECT_EQ(parentPath("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(parentPath("rel/c.txt"), "rel");
    EXPECT_EQ(fileNameOf("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(fileNameOf("c.txt"), "c.txt");
    EXPECT_EQ(fileNameOf("/a/b/"), "");
}

// A name in a failure's reason stays on its line whatever it holds; a plain name reads as it is.
TEST(ReasonText, NamesCannotMakeLinesAndTheSystemsTextIsTheFailedCalls)
{
    const struct {
        std::string name, shown;
    } cases[] = {
        {"/home/ann/page 1.tif", "/home/ann/page 1.tif"},
        {"/tmp/\xC3\xBC\xE6\x97\xA5.tif", "/tmp/\xC3\xBC\xE6\x97\xA5.tif"},
        {"C:\\faxes\\a.tif", "C:\\faxes\\a.tif"},
        {"", ""},
        {"page\nREASON - all fine.tif", "\"page\\nREASON - all fine.tif\""},
        {"a\r\tb\x1B[2Jc\x7F", "\"a\\r\\tb\\x1B[2Jc\\x7F\""},
        {"\"quoted\" \\ name", "\"\\\"quoted\\\" \\\\ name\""},
        {"next\xC2\x85line\xE2\x80\xA8" "end", "\"next\\u0085line\\u2028end\""},
        {"bad\xFFutf8", "\"bad\\xFFutf8\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quotedName(c.name), c.shown) << c.name;
        EXPECT_EQ(quotedName(c.name).find('\n'), std::string::npos);
    }
    EXPECT_EQ(quotedText("Office MFP"), "\"Office MFP\"");

    EXPECT_EQ(withSystemError("the folder x cannot be made", ENOTDIR), "the folder x cannot be made: Not a directory");
    errno = ENOENT; // what an earlier call left: never told for a step that was no system call
    EXPECT_EQ(withSystemError("the index cannot be read", 0), "the index cannot be read");
}

TEST(PathProbe, ExistsOnlyAtExactlyThatPath)
{
    ScopedStateRoot root;
    const std::string file = joinPath(root.path(), "f.txt");
    writeTextFile(file, "x");
    EXPECT_TRUE(pathExists(file));
    EXPECT_TRUE(pathExists(root.path()));
    EXPECT_FALSE(pathExists(file + "/")); // a file is no folder
    EXPECT_FALSE(pathExists(joinPath(root.path(), "F.TXT")));
    EXPECT_FALSE(pathExists(""));
    const std::string dangling = joinPath(root.path(), "dangling");
    ASSERT_EQ(::symlink("missing-target", dangling.c_str()), 0);
    EXPECT_FALSE(pathExists(dangling));
}

TEST(CreateDirectories, AbsoluteRelativeRepeatedAndTrailingSeparators)
{
    ScopedStateRoot root;
    EXPECT_TRUE(createDirectories(root.path() + "/a/b/c"));
    EXPECT_TRUE(isDirectory(root.path() + "/a/b/c"));
    EXPECT_TRUE(createDirectories(root.path() + "/a/b/c")); // already there
    EXPECT_TRUE(createDirectories(root.path() + "//x///y//"));
    EXPECT_TRUE(isDirectory(root.path() + "/x/y"));

    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(root.path().c_str()), 0);
    const bool relative = createDirectories("rel/one/two/");
    const bool dotted = createDirectories("./rel/three");
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_TRUE(relative);
    EXPECT_TRUE(dotted);
    EXPECT_TRUE(isDirectory(root.path() + "/rel/one/two"));
    EXPECT_TRUE(isDirectory(root.path() + "/rel/three"));

    std::error_code ec;
    EXPECT_FALSE(createDirectories("", &ec));
    EXPECT_TRUE(ec);
}

TEST(CreateDirectories, FailsThroughARegularFile)
{
    ScopedStateRoot root;
    const std::string file = joinPath(root.path(), "plain");
    writeTextFile(file, "x");
    std::error_code ec;
    EXPECT_FALSE(createDirectories(file + "/sub/deeper", &ec));
    EXPECT_EQ(ec, std::errc::not_a_directory);
    EXPECT_FALSE(createDirectories(file, &ec)); // the last level itself is a file
    EXPECT_EQ(readTextFile(file), "x");
}

TEST(CreateDirectories, ReportsPermissionDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    ScopedStateRoot root;
    const std::string locked = joinPath(root.path(), "locked");
    ASSERT_TRUE(createDirectories(locked));
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    std::error_code ec;
    EXPECT_FALSE(createDirectories(locked + "/a/b", &ec));
    EXPECT_EQ(ec, std::errc::permission_denied);
    ::chmod(locked.c_str(), 0755);
}

TEST(ReadFile, StatusesAndStamp)
{
    ScopedStateRoot root;
    const std::string file = joinPath(root.path(), "data.bin");
    const std::string content("ab\0cd", 5);
    writeTextFile(file, content);
    std::string out = "stale";
    std::error_code ec;

    EXPECT_EQ(readFile(joinPath(root.path(), "missing"), out, 100, &ec), ReadStatus::NotFound);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(readFile(file + "/below", out, 100), ReadStatus::NotFound);
    EXPECT_EQ(readFile(file, out, 4, &ec), ReadStatus::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(readFile(root.path(), out, 100, &ec), ReadStatus::Failed);
    EXPECT_EQ(ec, std::errc::is_a_directory);

    FileStamp stamp;
    ASSERT_EQ(readFile(file, out, 5, nullptr, &stamp), ReadStatus::Ok); // exactly at the limit
    EXPECT_EQ(out, content);
    EXPECT_TRUE(stamp.exists);
    EXPECT_EQ(stamp, fileStamp(file));

    writeTextFile(file, "");
    EXPECT_EQ(readFile(file, out, 0), ReadStatus::Ok);
    EXPECT_TRUE(out.empty());
}

TEST(ReadFile, RefusesWhatIsNoRegularFileWithoutWaiting)
{
    // A FIFO nobody writes to, a device and a folder: each is refused at once, never read or waited on.
    ScopedStateRoot root;
    const std::string fifo = joinPath(root.path(), "fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string target = joinPath(root.path(), "copy");
    for (const std::string& path : {fifo, std::string("/dev/zero"), root.path()}) {
        const int result = runInChild([&] {
            std::string out;
            std::error_code ec;
            const bool refused = readFile(path, out, 1 << 20, &ec) == ReadStatus::Failed && ec
                                 && openRegularFile(path, O_RDONLY) < 0 && !copyFileAtomic(path, target);
            return refused ? 0 : 1;
        });
        EXPECT_EQ(result, 0) << path << (result < 0 ? ": blocked" : ": read");
    }
    EXPECT_EQ(folderEntries(root.path()), std::vector<std::string>{}) << "no copy, no temporary";
}

TEST(WriteFileAtomic, ReplacesKeepsModeAndLeavesNoTemporary)
{
    ScopedStateRoot root;
    const std::string file = joinPath(root.path(), "fax.ini");
    const mode_t oldMask = ::umask(022);
    const bool created = writeFileAtomic(file, "one");
    ::umask(oldMask);
    ASSERT_TRUE(created);
    EXPECT_EQ(modeOf(file), 0644u); // a new file: 0666 less the umask, not the temporary's 0600

    const FileStamp before = fileStamp(file);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomic(file, "two, longer"));
    EXPECT_EQ(readTextFile(file), "two, longer");
    EXPECT_EQ(modeOf(file), 0640u);
    EXPECT_NE(fileStamp(file), before);
    EXPECT_EQ(folderEntries(root.path()), std::vector<std::string>{"fax.ini"});

    ASSERT_TRUE(writeFileAtomic(file, ""));
    EXPECT_EQ(readTextFile(file), "");

    // The owner stays where the process may keep it (only root may give a file away).
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(writeFileAtomic(file, "three"));
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(modeOf(file), 0640u);
    }
    ASSERT_TRUE(copyFileAtomic(file, file + ".bak"));
    EXPECT_EQ(readTextFile(file + ".bak"), readTextFile(file));
    EXPECT_EQ(folderEntries(root.path()), (std::vector<std::string>{"fax.ini", "fax.ini.bak"}));
}

// What the suite makes in the user's private area (the hive's folder and the application data
// folders) only the user may read, whatever the umask; elsewhere only the owner may change it
// (0644 and 0755 at most, less the umask), and a replaced file keeps its mode but for writing by
// group and others.
TEST(PrivateArea, WhatIsMadeThereIsTheUsersAloneWhateverTheUmask)
{
    ScopedStateRoot root;
    const std::string shared = joinPath(root.path(), "shared/books");
    const std::string data = joinPath(root.path(), "home/.local/share");
    // A folder kept private outside the area (a trial run's sending log, say) holds the user's alone too.
    struct Case {
        std::string folder;
        bool own, kept = false;
    } const cases[] = {
        {joinPath(data, "qelta/phonebook"), true},
        {joinPath(root.path(), "user"), true},
        {joinPath(root.path(), "home/.local/state/resultmonitor/pending"), true},
        {shared, false},
        {joinPath(root.path(), "trial/log"), true, true},
    };
    for (const mode_t umask : {mode_t{022}, mode_t{0}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.folder + " umask " + std::to_string(umask));
            const mode_t file = c.own ? 0600 : 0644 & ~umask, folder = c.own ? 0700 : 0755 & ~umask;
            const std::string existing = joinPath(c.folder, "existing.pbk");
            const mode_t previous = ::umask(umask);
            const bool made = (c.kept ? keepFolderPrivate(c.folder) : createDirectories(c.folder))
                              && writeFileAtomic(joinPath(c.folder, "new.pbk"), "new")
                              && createFolder(joinPath(c.folder, "00000001"))
                              && createFileForWriting(joinPath(c.folder, "00000001/desktop.xml")).valid()
                              && copyFileAtomic(joinPath(c.folder, "new.pbk"), joinPath(c.folder, "00000001/job.tif"))
                              && FileLock(joinPath(c.folder, "HKCU.reg")).locked()
                              && createOwnFile(joinPath(c.folder, "job.prn"), O_WRONLY | O_EXCL).valid();
            ::umask(previous);
            ASSERT_TRUE(made);
            EXPECT_EQ(modeOf(c.folder), folder);
            EXPECT_EQ(modeOf(joinPath(c.folder, "new.pbk")), file);
            EXPECT_EQ(modeOf(joinPath(c.folder, "00000001")), folder);
            EXPECT_EQ(modeOf(joinPath(c.folder, "00000001/desktop.xml")), file);
            EXPECT_EQ(modeOf(joinPath(c.folder, "00000001/job.tif")), file);
            EXPECT_EQ(modeOf(joinPath(c.folder, "HKCU.reg.lock")), file);
            // A job stream, which holds the fax number and any pass code, is the user's alone wherever it goes.
            EXPECT_EQ(modeOf(joinPath(c.folder, "job.prn")), 0600u);
            // A file replaced keeps its mode only outside the private area, and others lose writing.
            writeTextFile(existing, "old");
            ASSERT_EQ(::chmod(existing.c_str(), 0666), 0);
            ASSERT_TRUE(writeFileAtomic(existing, "replaced"));
            EXPECT_EQ(modeOf(existing), c.own ? 0600u : 0644u);
            EXPECT_EQ(readTextFile(existing), "replaced");
        }
        // The levels above the private area (the home, its .local) are the suite's too.
        for (const char* level : {"home", "home/.local", "shared", "trial"})
            EXPECT_EQ(modeOf(joinPath(root.path(), level)), 0755 & ~umask) << level << " umask " << umask;
        for (const char* level : {"home", "user", "shared", "trial"})
            std::filesystem::remove_all(joinPath(root.path(), level));
    }
    // The application data folder is made private with the suite's levels; the home's levels are not.
    const mode_t previous = ::umask(022);
    ASSERT_TRUE(createDirectories(joinPath(data, "qelta/logs")));
    ::umask(previous);
    EXPECT_EQ(modeOf(joinPath(root.path(), "home/.local")), 0755u);
    EXPECT_EQ(modeOf(data), 0700u);
    // Where the private area ends: the machine's folder, a sibling whose name starts alike, a way out.
    EXPECT_TRUE(isPrivatePath(joinPath(root.path(), "user//HKCU.reg")));
    EXPECT_FALSE(isPrivatePath(joinPath(root.path(), "machine/HKLM.reg")));
    EXPECT_FALSE(isPrivatePath(joinPath(root.path(), "home/.local/shared/x")));
    EXPECT_FALSE(isPrivatePath(joinPath(data, "../../Documents/cover.cvr")));

    // A home reached through a link: its folders are the same through the link and by their real path.
    std::filesystem::remove_all(joinPath(root.path(), "home"));
    const std::string real = joinPath(root.path(), "disk/users/ann");
    ASSERT_TRUE(createDirectories(real));
    ASSERT_EQ(::symlink(real.c_str(), joinPath(root.path(), "home").c_str()), 0);
    ASSERT_TRUE(createDirectories(joinPath(data, "qelta")));
    ASSERT_TRUE(createDirectories(joinPath(real, ".local/shared")));
    const struct {
        std::string path;
        bool own;
    } linked[] = {
        {joinPath(data, "qelta/book.xml"), true},
        {joinPath(real, ".local/share/qelta/book.xml"), true},
        {joinPath(real, ".local/share/qelta/new/deeper/book.xml"), true},
        {joinPath(real, ".local/share"), true},
        {joinPath(real, ".local/shared/book.xml"), false},
        {joinPath(real, ".local"), false},
        {joinPath(root.path(), "disk/users/ann/.local/share/../shared/x"), false},
    };
    for (const auto& l : linked) {
        EXPECT_EQ(isPrivatePath(l.path), l.own) << l.path;
        {
            // One operation's checks on the files of a folder answer alike, also after a first look.
            const PrivateCheckScope scope(joinPath(real, ".local/share/qelta"));
            EXPECT_EQ(isPrivatePath(l.path), l.own) << l.path << " in a scope";
            EXPECT_EQ(isPrivatePath(l.path), l.own) << l.path << " in a scope, again";
        }
        if (!l.path.ends_with("book.xml"))
            continue;
        ::umask(0);
        const bool made = createDirectories(parentPath(l.path)) && writeFileAtomic(l.path, "x");
        ::umask(previous);
        ASSERT_TRUE(made) << l.path;
        EXPECT_EQ(modeOf(l.path), l.own ? 0600u : 0644u) << l.path;
        EXPECT_EQ(modeOf(parentPath(l.path)), l.own ? 0700u : 0755u) << l.path;
    }
}

// Within one operation's scope the levels below its folder are looked at on every check: an entry
// folder that another user holds by the next open is refused then, as without a scope.
TEST(PrivateArea, AScopeLooksAtTheLevelsBelowItsFolderEveryTime)
{
    ScopedStateRoot root;
    const std::string logs = joinPath(root.path(), "home/.local/share/qelta/logs");
    const std::string entry = joinPath(logs, "00000001");
    ASSERT_TRUE(createDirectories(entry));
    const PrivateCheckScope scope(logs);
    ASSERT_TRUE(createFileForWriting(joinPath(entry, "desktop.xml")).valid());
    ASSERT_TRUE(FileLock(joinPath(logs, "root.xml")).locked());
    if (::geteuid() != 0)
        return; // only root can give the entry's folder to another user
    ASSERT_EQ(::chown(entry.c_str(), 65534, 65534), 0);
    std::error_code error;
    EXPECT_FALSE(createFileForWriting(joinPath(entry, "desktop.xml"), &error).valid());
    EXPECT_EQ(error.value(), EACCES);
    std::string text;
    EXPECT_EQ(readFile(joinPath(entry, "desktop.xml"), text, 1024), ReadStatus::Failed);
    EXPECT_FALSE(writeFileAtomic(joinPath(entry, "desktop.xml"), "x"));
    EXPECT_TRUE(FileLock(joinPath(logs, "root.xml")).locked()) << "the folder itself is still the user's";
}

// Folders and files an earlier run left open to others are mended: the owner's bits stay, links
// are not followed, another user's files are moved aside, and nothing outside the area changes.
TEST(PrivateArea, MendingTakesFromOthersWhatTheyMayDo)
{
    ScopedStateRoot root;
    const std::string qelta = joinPath(root.path(), "home/.local/share/qelta");
    const std::string entry = joinPath(qelta, "logs/00000001");
    const std::string outside = joinPath(root.path(), "shared");
    const mode_t previous = ::umask(022);
    for (const std::string& folder : {entry, outside})
        ASSERT_EQ(std::filesystem::create_directories(folder), true);
    ::umask(previous);
    for (const std::string& folder : {qelta, joinPath(qelta, "logs"), entry, outside})
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    const struct {
        std::string path;
        mode_t before, after;
    } files[] = {
        {joinPath(entry, "desktop.xml"), 0644, 0600},
        {joinPath(qelta, "book.pbk"), 0640, 0600},
        {joinPath(qelta, "readonly.pbk"), 0444, 0400},
        {joinPath(outside, "cover.cvr"), 0644, 0644},
    };
    for (const auto& f : files) {
        writeTextFile(f.path, "x");
        ASSERT_EQ(::chmod(f.path.c_str(), f.before), 0);
    }
    ASSERT_EQ(::symlink(joinPath(outside, "cover.cvr").c_str(), joinPath(qelta, "link.cvr").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), joinPath(qelta, "linked").c_str()), 0);
    const std::string others = joinPath(qelta, "others.pbk");
    if (::geteuid() == 0) {
        writeTextFile(others, "x");
        ASSERT_EQ(::chmod(others.c_str(), 0644), 0);
        ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    }

    mendPrivateFolder(outside);
    mendPrivateFolder(qelta);
    for (const std::string& folder : {qelta, joinPath(qelta, "logs"), entry})
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    EXPECT_EQ(modeOf(outside), 0755u);
    for (const auto& f : files)
        EXPECT_EQ(modeOf(f.path), f.after) << f.path;
    if (::geteuid() == 0) {
        EXPECT_FALSE(pathExists(others));
        EXPECT_EQ(modeOf(others + ".foreign"), 0644u);
    }
}

// At start the folders the private area lies in are readied: what an earlier umask left open loses
// writing by others, a private folder that another user put in its place (a link of theirs) is moved
// aside from the user's own folder and never entered, and a home of another user's (a start under
// another user with that user's HOME) is left as it is, with nothing made or written there.
TEST(PrivateArea, TheFoldersItLiesInAreReadiedAtStart)
{
    ScopedStateRoot root;
    const std::string home = joinPath(root.path(), "home"), local = joinPath(home, ".local");
    const std::string share = joinPath(local, "share"), state = joinPath(local, "state");
    const std::string theirs = joinPath(root.path(), "theirs");
    auto namesIn = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    ASSERT_TRUE(std::filesystem::create_directories(state));
    for (const std::string& folder : {local, state})
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_TRUE(std::filesystem::create_directories(joinPath(theirs, "qelta")));
        writeTextFile(joinPath(theirs, "qelta/book.pbk"), "theirs");
        ASSERT_EQ(::symlink(theirs.c_str(), share.c_str()), 0);
        for (const std::string& p : {theirs, joinPath(theirs, "qelta"), joinPath(theirs, "qelta/book.pbk"), share})
            ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(theirs.c_str(), 0777), 0);
    }
    EXPECT_TRUE(mendPrivateRoots().empty());
    EXPECT_EQ(modeOf(local), 0755u);
    EXPECT_EQ(modeOf(state), 0755u);
    if (asRoot) {
        EXPECT_EQ(namesIn(theirs), std::vector<std::string>{"qelta"});
        EXPECT_EQ(namesIn(joinPath(theirs, "qelta")), std::vector<std::string>{"book.pbk"});
        EXPECT_EQ(namesIn(local), (std::vector<std::string>{"share.foreign", "state"}));
        // The stores make the user's own folder in its place.
        ASSERT_TRUE(createDirectories(joinPath(share, "qelta/phonebook")));
        EXPECT_TRUE(isOwnFolder(share));
        EXPECT_EQ(modeOf(share), 0700u);
    }
    if (!asRoot)
        return;

    // A home of another user's: nothing is moved, mended, made or written there.
    std::filesystem::remove_all(home);
    const std::string book = joinPath(share, "qelta/book.pbk");
    ASSERT_TRUE(std::filesystem::create_directories(joinPath(share, "qelta")));
    writeTextFile(book, "ann's");
    for (const auto& e : std::filesystem::recursive_directory_iterator(home))
        ASSERT_EQ(::lchown(e.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(local.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(book.c_str(), 0644), 0);
    const auto foreign = mendPrivateRoots();
    ASSERT_EQ(foreign.size(), 1u);
    EXPECT_EQ(foreign[0].path, home);
    EXPECT_EQ(foreign[0].owner, 65534u);
    mendPrivateFolder(joinPath(share, "qelta"));
    EXPECT_EQ(modeOf(local), 0777u);
    EXPECT_EQ(modeOf(book), 0644u);
    EXPECT_FALSE(mayUsePath(book));
    EXPECT_FALSE(createDirectories(joinPath(share, "qelta/phonebook")));
    EXPECT_FALSE(createDirectories(joinPath(state, "resultmonitor/pending")));
    EXPECT_FALSE(createFileForWriting(book).valid());
    EXPECT_FALSE(writeFileAtomic(book, "root's"));
    // The suite's own reads refuse the folder too, so the bytes are read past it.
    std::ifstream kept(book, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "ann's");
    EXPECT_EQ(namesIn(local), std::vector<std::string>{"share"});
    EXPECT_EQ(namesIn(joinPath(share, "qelta")), std::vector<std::string>{"book.pbk"});
}

TEST(WriteFileAtomic, FailsCleanly)
{
    ScopedStateRoot root;
    std::error_code ec;
    EXPECT_FALSE(writeFileAtomic(joinPath(root.path(), "no/such/folder/f"), "x", &ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);

    // A folder in the way of the target: the rename fails and the temporary goes away.
    ASSERT_TRUE(createDirectories(joinPath(root.path(), "taken")));
    EXPECT_FALSE(writeFileAtomic(joinPath(root.path(), "taken"), "x", &ec));
    EXPECT_TRUE(ec);
    EXPECT_TRUE(folderEntries(root.path()).empty());

    // What the new content names must be flushed first: when a file flushed along fails, the old
    // content stays and the temporary goes away; with every flush done, the content is replaced.
    const std::string index = joinPath(root.path(), "index.xml");
    writeTextFile(index, "old");
    const int closed[] = {-1};
    EXPECT_FALSE(writeFileAtomic(index, "new", &ec, closed));
    EXPECT_EQ(ec, std::errc::bad_file_descriptor);
    EXPECT_EQ(readTextFile(index), "old");
    EXPECT_EQ(folderEntries(root.path()), std::vector<std::string>{"index.xml"});
    const FileDescriptor named = createFileForWriting(joinPath(root.path(), "taken/entry"));
    const FileDescriptor folders[] = {openFolder(root.path()), openFolder(joinPath(root.path(), "taken"))};
    ASSERT_TRUE(named.valid() && folders[0].valid() && folders[1].valid() && writeAll(named.get(), "entry"));
    const int along[] = {named.get(), folders[0].get(), folders[1].get()};
    EXPECT_TRUE(writeFileAtomic(index, "new", &ec, along));
    EXPECT_EQ(readTextFile(index), "new");

    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    const std::string folder = joinPath(root.path(), "readonly");
    const std::string file = joinPath(folder, "f.ini");
    writeTextFile(file, "old");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(writeFileAtomic(file, "new", &ec));
    EXPECT_EQ(ec, std::errc::permission_denied);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(readTextFile(file), "old");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"f.ini"});
}

TEST(WriteFileAtomic, RemoveStaleTemporariesTakesOnlyThatFilesLeftovers)
{
    ScopedStateRoot root;
    const std::string file = joinPath(root.path(), "data.ini");
    writeTextFile(file, "keep");
    const std::vector<std::string> keep{".data.ini.tmp-12345", ".data.ini.tmp-1234567", ".data.ini.tmp-123456.bak",
                                        ".other.ini.tmp-123456", ".data.ini.tmp-123456x", "data.ini.tmp-123456"};
    for (const auto& name : keep)
        writeTextFile(joinPath(root.path(), name), "k");
    writeTextFile(joinPath(root.path(), ".data.ini.tmp-abcDEF"), "stale");
    writeTextFile(joinPath(root.path(), ".data.ini.tmp-0a1b2c"), "stale");

    removeStaleTemporaries(file);
    std::vector<std::string> expected = keep;
    expected.push_back("data.ini");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderEntries(root.path()), expected);
}

TEST(CreateTempFile, UniqueNamesWithPrefixAndSuffix)
{
    ScopedStateRoot root;
    const auto a = createTempFile(root.path(), "job-", ".tif");
    const auto b = createTempFile(root.path(), "job-", ".tif");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    for (const auto& p : {*a, *b}) {
        EXPECT_EQ(parentPath(p), root.path());
        EXPECT_TRUE(fileNameOf(p).starts_with("job-")) << p;
        EXPECT_TRUE(p.ends_with(".tif")) << p;
        EXPECT_EQ(fileNameOf(p).size(), 4u + 6u + 4u) << p;
        EXPECT_EQ(fileStamp(p).size, 0u);
    }
    std::error_code ec;
    EXPECT_FALSE(createTempFile(joinPath(root.path(), "missing"), "x", {}, &ec));
    EXPECT_TRUE(ec);
}

TEST(FileLock, ExcludesOtherThreads)
{
    ScopedStateRoot root;
    const std::string path = joinPath(root.path(), "sub/shared.ini"); // the lock creates the folder
    std::atomic<int> sequence{0};
    int holderReleased = -1, waiterAcquired = -1;
    auto held = std::make_unique<FileLock>(path);
    ASSERT_TRUE(held->locked()) << held->error().message();
    std::thread waiter([&] {
        FileLock lock(path);
        waiterAcquired = sequence.fetch_add(1);
        EXPECT_TRUE(lock.locked());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // give the waiter a chance to jump the lock
    holderReleased = sequence.fetch_add(1);
    FileLock moved(std::move(*held)); // a move keeps the lock
    held.reset();
    EXPECT_TRUE(moved.locked());
    moved = FileLock(joinPath(root.path(), "other")); // assigning drops the old lock
    waiter.join();
    EXPECT_LT(holderReleased, waiterAcquired);
}

TEST(FileLock, ExcludesOtherProcesses)
{
    ScopedStateRoot root;
    const std::string path = joinPath(root.path(), "shared.ini");
    const std::string folder = joinPath(root.path(), "covers");
    ASSERT_TRUE(createDirectories(folder));
    // A lock file beside the file, and a lock on a folder that leaves nothing in it.
    const std::function<FileLock()> locks[] = {[&] { return FileLock(path); }, [&] { return FileLock::onFolder(folder); }};
    for (const auto& makeLock : locks) {
        const std::string journal = joinPath(root.path(), "journal");
        removeFile(journal);
        int locked[2], go[2];
        ASSERT_EQ(::pipe(locked), 0);
        ASSERT_EQ(::pipe(go), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const FileLock lock = makeLock();
            char c = lock.locked() ? 'L' : 'E';
            if (::write(locked[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1)
                ::_exit(2);
            ::usleep(100 * 1000); // the parent is meanwhile blocked on the lock (or wrongly got it)
            appendLine(journal, "child releases\n");
            ::_exit(0); // exiting closes the lock file and so releases the lock
        }
        char c = 0;
        ASSERT_EQ(::read(locked[0], &c, 1), 1);
        ASSERT_EQ(c, 'L');
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        {
            const FileLock lock = makeLock();
            EXPECT_TRUE(lock.locked());
            appendLine(journal, "parent acquires\n");
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(readTextFile(journal), "child releases\nparent acquires\n");
        for (int fd : {locked[0], locked[1], go[0], go[1]})
            ::close(fd);
    }
    EXPECT_TRUE(folderEntries(folder).empty());
    EXPECT_FALSE(FileLock::onFolder(joinPath(root.path(), "missing")).locked());
}

TEST(MatchesWildcard, CaseInsensitiveStarsAndQuestionMarks)
{
    EXPECT_TRUE(matchesWildcard("cover.xml", "*.xml"));
    EXPECT_TRUE(matchesWildcard("COVER.XML", "*.xml"));
    EXPECT_TRUE(matchesWildcard("job12.tqc", "*.TQC"));
    EXPECT_FALSE(matchesWildcard("cover.xml.bak", "*.xml"));
    EXPECT_FALSE(matchesWildcard("coverxml", "*.xml"));
    EXPECT_TRUE(matchesWildcard("a1.tif", "a?.tif"));
    EXPECT_FALSE(matchesWildcard("a.tif", "a?.tif"));
    EXPECT_FALSE(matchesWildcard("a12.tif", "a?.tif"));
    EXPECT_TRUE(matchesWildcard("fax-2024-07.log", "fax*20*-*.log"));
    EXPECT_TRUE(matchesWildcard("abcbcd", "*bc*d"));
    EXPECT_TRUE(matchesWildcard("x", "**?**"));
    EXPECT_TRUE(matchesWildcard("", "*"));
    EXPECT_TRUE(matchesWildcard("", ""));
    EXPECT_FALSE(matchesWildcard("a", ""));
    EXPECT_FALSE(matchesWildcard("", "?"));

    const std::string many(5000, 'a');
    EXPECT_FALSE(matchesWildcard(many, "*a*a*a*a*b"));
    EXPECT_FALSE(matchesWildcard(many, "*a*a*a*a*a*a*a*a*a*a*a*a*?b*"));
    EXPECT_TRUE(matchesWildcard(many + "b", "*a*a*a*a*b"));
}

TEST(ListFiles, SortedMatchingRegularFilesOnly)
{
    ScopedStateRoot root;
    for (const char* name : {"b.xml", "A.XML", "c.txt", "a.xml"})
        writeTextFile(joinPath(root.path(), name), "x");
    ASSERT_TRUE(createDirectories(joinPath(root.path(), "folder.xml")));
    ASSERT_EQ(::symlink("missing", joinPath(root.path(), "dangling.xml").c_str()), 0);
    EXPECT_EQ(listFiles(root.path(), "*.xml"), (std::vector<std::string>{"A.XML", "a.xml", "b.xml"}));
    EXPECT_TRUE(listFiles(joinPath(root.path(), "missing"), "*").empty());
}
