// File services: bounded reads, atomic replacement, cross-process locks, unique temporary files,
// directory creation and case-insensitive name matching.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

/// Owns an open file descriptor and closes it at the end of its life.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    /// Gives the descriptor up without closing it.
    int release();
    /// Closes the descriptor held, if any, and takes fd.
    void reset(int fd = -1);

private:
    int fd_;
};

/// Writes all of data to fd, continuing after short writes. False on an error (errno is the failed
/// write's, 0 when it wrote nothing and gave none).
bool writeAll(int fd, std::string_view data);

/// Writes all of data to fd at offset (the file position stays), continuing after short writes. False on an error.
bool writeAllAt(int fd, std::string_view data, unsigned long long offset);

/// Opens the file at path with the open(2) flags given (O_WRONLY or O_RDWR, O_TRUNC, O_EXCL ...),
/// creating it when missing. A file in the user's private area (isPrivatePath), or in a folder that
/// only this user may enter (one made by keepFolderPrivate), is this user's alone, 0600 whatever the
/// umask, also one that was there already; elsewhere a new file gets 0644 less the umask. In the private area a file, or a level of its path, that another user holds is neither
/// opened nor written through (error EACCES), nor is anything in a private folder that lies in a
/// home of another user's or below a level of the home that is; so for every function here that
/// opens or makes a file or folder. Invalid when it cannot.
FileDescriptor createFile(const std::string& path, int flags, std::error_code* error = nullptr);

/// Whether the suite may read and write at path: false (errno EACCES) when it lies in the user's
/// private area and another user holds it or a level of it, or the home it lies in (see createFile).
bool mayUsePath(const std::string& path);

/// Opens or creates the file at path as createFile does, and makes it this user's alone (0600)
/// wherever it lies: for what holds what only the user may read, written outside the private area.
FileDescriptor createOwnFile(const std::string& path, int flags, std::error_code* error = nullptr);

/// Creates the file at path anew for writing (emptied when it exists), as createFile. Invalid when it cannot.
FileDescriptor createFileForWriting(const std::string& path, std::error_code* error = nullptr);

/// Creates an empty file at path only when nothing of that name exists (the name is taken atomically,
/// also against other processes), as createFile. Invalid (error EEXIST) when the name is taken.
FileDescriptor createNewFile(const std::string& path, std::error_code* error = nullptr);

/// Flushes what was written to fd to the storage device. False on an error.
bool syncFile(int fd);

/// Flushes several open files or folders to the storage device at the same time, each on a thread of
/// its own, so the file system can take them in one journal commit instead of one after the other.
/// Waits for every flush; false when any failed. A folder on a file system that flushes no folders
/// counts as flushed.
bool syncFiles(std::span<const int> fds);

/// Opens a folder for reading its names or flushing it. Invalid when it cannot.
FileDescriptor openFolder(const std::string& path, std::error_code* error = nullptr);

/// A folder held open and reached without following a symbolic link anywhere on its path, so that
/// what is done in it stays in that folder even when its path is changed meanwhile (the folder, or
/// one above it, swapped for a link). Names handled in it are single components.
class HeldFolder {
public:
    /// Opens the absolute path one component at a time, refusing every link (trailing separators
    /// are ignored); invalid when it cannot.
    static HeldFolder open(const std::string& path);
    bool valid() const { return fd_.valid(); }
    /// The subfolder name, held the same way; invalid when it is no folder or a link.
    HeldFolder child(std::string_view name) const;
    /// Names of the regular files (no links) directly in the folder whose names end with suffix
    /// without regard to ASCII case (an empty suffix: all), sorted.
    std::vector<std::string> regularFiles(std::string_view suffix) const;
    /// Removes name when it is a regular file; a link, folder or anything else stays. False when
    /// nothing was removed.
    bool removeRegularFile(std::string_view name) const;
    /// Removes the subfolder name when it is empty. False when nothing was removed.
    bool removeEmptyFolder(std::string_view name) const;

private:
    explicit HeldFolder(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

/// Removes the file at path. False when it could not be removed (also when it was not there).
bool removeFile(const std::string& path);

/// The system's text for errno, for a failure's reason (that of EIO when the failed call set none).
std::string systemErrorText();

/// A failure's reason followed by ": " and the system's text for error, the errno that the failed
/// call gave; the reason alone when error is 0 (the step that failed was no system call).
std::string withSystemError(std::string reason, int error);

/// Stored paths may carry Windows separators: every '\' becomes '/'.
std::string nativePath(std::string_view stored);

/// Joins a folder and a name with exactly the one '/' between them that the caller asked for.
std::string joinPath(std::string_view folder, std::string_view name);

/// The folder part of a path ("." when it has none).
std::string parentPath(std::string_view path);

/// The last component of a path.
std::string fileNameOf(std::string_view path);

/// True when something (file, folder, anything but a dangling link) exists at exactly this path.
bool pathExists(const std::string& path);

/// True when a folder exists at this path.
bool isDirectory(const std::string& path);

/// True when the folder at path is this user's and is itself no link.
bool isOwnFolder(const std::string& path);

/// Creates every missing level of a folder path, relative or absolute. True when the folder exists
/// afterwards. A level made in the user's private area (isPrivatePath) or in a folder that only this
/// user may enter is this user's alone, 0700 whatever the umask; elsewhere it gets 0755 less the umask. Nothing is made on the way to a
/// folder of the private area that the suite may not use (see createFile).
bool createDirectories(const std::string& path, std::error_code* error = nullptr);

/// Creates the one folder path (its parent must exist), with the mode createDirectories gives. False
/// when it cannot, also when something of that name exists (error EEXIST).
bool createFolder(const std::string& path, std::error_code* error = nullptr);

/// Takes from a folder of the user's private area (isPrivatePath) that others may read or enter, and
/// from what it holds, what others may do: folders become 0700 and files 0600 (the owner's own bits
/// stay as they are). What another user owns there (a file, folder or link planted while the folder
/// was open, or one in the folder's own place) is moved aside to its name + ".foreign" (".foreign.1"
/// and on when taken), and stderr says so. No link is followed below folder. A folder that others
/// could not enter already is left with all it holds, so a start on a mended folder costs a look at
/// the folder alone. Nothing is done outside the private area, nor where the private folder the
/// folder lies in, or a level above it in the home, is another user's (see mendPrivateRoots).
void mendPrivateFolder(const std::string& folder);

/// A folder where the suite's folders of this user lie that belongs to another user, and its owner.
struct ForeignFolder {
    std::string path;
    unsigned owner = 0;
};

/// Readies the private folders of the user's private area (the hive's folder, the application data
/// folders) as a program starts. When the home they lie in is another user's (a start under another
/// user with this user's HOME), nothing is renamed or made there (no store uses it either, see
/// createFile) and the home is answered. Otherwise, from below the home down to each private folder:
/// a level that another user put there (a folder, file or link) is moved aside from its parent to its
/// name + ".foreign" as mendPrivateFolder does, never entered; one whose parent is not this user's
/// is left alone and answered; a level that is this user's loses writing by group and others. What is
/// answered is said on stderr.
std::vector<ForeignFolder> mendPrivateRoots();

/// Takes writing by group and others from the file or folder at path when it is this user's (a link,
/// another user's or a sticky folder stays as it is): for what an earlier umask left open.
void keepOthersFromWriting(const std::string& path);

/// Makes folder (and the missing levels above it, as createDirectories does) a folder of this user
/// alone wherever it lies: a new one 0700, an existing one mended as mendPrivateFolder does. For
/// folders outside the private area that hold what only the user may read. False when it is not
/// such a folder afterwards (another user's, say).
bool keepFolderPrivate(const std::string& folder, std::error_code* error = nullptr);

/// The outcome of a bounded read.
enum class ReadStatus { Ok, NotFound, TooLarge, Failed };

struct FileStamp;

/// Reads a whole file of at most maxBytes bytes into out; stamp (when given) receives the identity of
/// the file that was read.
ReadStatus readFile(const std::string& path, std::string& out, size_t maxBytes, std::error_code* error = nullptr,
                    FileStamp* stamp = nullptr);

/// The same for a file the caller has open (read from its start; the descriptor stays open).
ReadStatus readOpenFile(int fd, std::string& out, size_t maxBytes, std::error_code* error = nullptr,
                        FileStamp* stamp = nullptr);

/// Opens path only when it is a regular file: the open never blocks on a FIFO or device, and anything
/// but a regular file gives -1 with errno EINVAL (EISDIR for a folder). flags are open(2) flags; the
/// descriptor returned blocks as usual.
int openRegularFile(const std::string& path, int flags, std::error_code* error = nullptr);

/// A new file beside a target, written through its descriptor and put in the target's place as one
/// step, so that readers see the old or the new file, never a part of one. The file is created
/// exclusively in the target's folder, with the target's mode less writing by group and others and
/// (where the process may) owner, or as createFile makes a new file; in the user's private area
/// (isPrivatePath) or a folder only this user may enter it is this user's alone (0600) either way. It is removed again unless committed. A target that is a symbolic link
/// stays one: the file that takes a place is the one the link leads to. A target in the temporary
/// folder (KnownFolder::Temp) is renamed without flushing: nothing there has to outlive a restart.
class FileReplacement {
public:
    /// A new empty file beside target; check valid().
    static FileReplacement create(const std::string& target, std::error_code* error = nullptr);
    /// A second name of source (a hard link) beside target, or a copy of it where the file system
    /// links no files across; check valid(). A source that is no regular file gives an invalid object.
    static FileReplacement linkOrCopy(const std::string& source, const std::string& target);

    ~FileReplacement();
    FileReplacement(FileReplacement&&) noexcept;
    FileReplacement& operator=(FileReplacement&&) = delete;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool valid() const { return file_.valid(); }
    bool linked() const { return linked_; }
    int fd() const { return file_.get(); }
    const std::string& path() const { return path_; }
    /// Flushes the file now, together with the open files or folders in alongWith (all at once, see
    /// syncFiles); commit then renames without flushing again. Write nothing to the file after it.
    bool flush(std::span<const int> alongWith = {}, std::error_code* error = nullptr);
    /// Flushes the file (unless flush did), renames it over the target (with replace false only when
    /// nothing is there yet) and flushes the folder.
    bool commit(bool replace = true, std::error_code* error = nullptr);

private:
    explicit FileReplacement(std::string target);
    std::string target_, path_;
    FileDescriptor file_;
    bool linked_ = false, committed_ = false, flushed_ = false, durable_ = true;
};

/// Reads at most maxBytes bytes from the start of a regular file of any size into out.
ReadStatus readFilePrefix(const std::string& path, std::string& out, size_t maxBytes, std::error_code* error = nullptr);

/// Replaces the file at path with content as one step (see FileReplacement). The open files or
/// folders in flushAlong, which the new content may name, reach the storage device before it takes
/// the path's place: they are flushed together with it.
bool writeFileAtomic(const std::string& path, std::string_view content, std::error_code* error = nullptr,
                     std::span<const int> flushAlong = {});

/// Replaces target with a copy of the regular file source as one step (see FileReplacement).
bool copyFileAtomic(const std::string& source, const std::string& target, std::error_code* error = nullptr);

/// Removes temporary files that writeFileAtomic left behind for path when a writer died mid-write.
/// Call only while holding the path's lock, so no live writer's temporary file is taken.
void removeStaleTemporaries(const std::string& path);

/// Creates a new empty file "<prefix>XXXXXX<suffix>" in folder with a unique name; returns its path.
/// With file given, the file stays open there for reading and writing (use it rather than the name).
std::optional<std::string> createTempFile(const std::string& folder, std::string_view prefix,
                                          std::string_view suffix = {}, std::error_code* error = nullptr,
                                          FileDescriptor* file = nullptr);

/// An exclusive cross-process lock held on a separate lock file ("<path>.lock") for the object's lifetime.
/// Other processes and other threads of this process that lock the same path wait.
class FileLock {
public:
    /// Locks path + ".lock", creating the lock file (and its folder) when missing. Blocks until granted.
    explicit FileLock(const std::string& path);
    /// Locks a folder itself, making no lock file: for files in a user's own folders, where a lock
    /// file would stay behind. Writers that lock the folder of a file this way wait for each other.
    static FileLock onFolder(const std::string& folder);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;

    /// False when the lock file could not be opened or locked.
    bool locked() const { return fd_ >= 0; }
    const std::error_code& error() const { return error_; }

private:
    FileLock() = default;
    void lockDescriptor();
    int fd_ = -1;
    std::error_code error_;
};

/// Numbered claims shared by every process: a claim is a lock on one byte of a claims file, held
/// until it is released or the object, or its process, ends. A number claimed by one object cannot
/// be claimed by another object or process at the same time; an object may claim it again.
class Claims {
public:
    /// Claims recorded in the file at path (created, with its folder, on first use).
    explicit Claims(std::string path) : path_(std::move(path)) {}
    /// True when the number is this object's now; false when another holds it or the file fails.
    bool claim(unsigned long number);
    /// Gives up a claim of this object (nothing when it holds none).
    void release(unsigned long number);

private:
    bool open();
    std::string path_;
    FileDescriptor file_;
};

/// Case-insensitive wildcard match of a file name ('*' any run, '?' one byte), as the shell's name search.
bool matchesWildcard(std::string_view name, std::string_view pattern);

/// Names of the regular files in folder that match pattern without regard to case, sorted by name.
std::vector<std::string> listFiles(const std::string& folder, std::string_view pattern);

/// Names of the folders in folder (no links) that match pattern without regard to case, sorted by name.
std::vector<std::string> listFolders(const std::string& folder, std::string_view pattern);

/// The identity of a file's current contents: changes whenever the file is replaced or rewritten.
struct FileStamp {
    unsigned long long device = 0, inode = 0, size = 0;
    long long modifiedNs = 0, changedNs = 0;
    bool exists = false;
    bool operator==(const FileStamp&) const = default;
};

/// The stamp of the file at path (exists == false when there is none).
FileStamp fileStamp(const std::string& path);

/// The stamp of a file the caller has open.
FileStamp openFileStamp(int fd);

} // namespace platform
