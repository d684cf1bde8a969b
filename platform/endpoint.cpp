#include "platform/endpoint.h"

#include "platform/files.h"
#include "platform/state.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// A post's three numbers ahead of its text.
constexpr size_t kHeaderBytes = 3 * sizeof(uint32_t);

uint64_t fnv1a(std::string_view text)
{
    uint64_t h = 1469598103934665603ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex(uint64_t v, int digits)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(v));
    return buf;
}

// The endpoint folder after checking that only this user can reach it; nothing (with why) otherwise.
// A folder that others may write to could hold their links or sockets in place of ours.
std::optional<std::string> privateFolder(std::string* why = nullptr)
{
    const std::string folder = endpointFolder();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno == ENOENT) {
        createDirectories(parentPath(folder));
        ::mkdir(folder.c_str(), 0700);
    }
    struct stat st {};
    std::string problem;
    if (::lstat(folder.c_str(), &st) != 0)
        problem = std::string("cannot make it: ") + std::strerror(errno);
    else if (!S_ISDIR(st.st_mode))
        problem = "it is no folder";
    else if (st.st_uid != ::geteuid())
        problem = "it belongs to another user";
    else if ((st.st_mode & 077) != 0)
        problem = "other users have access to it";
    if (problem.empty())
        return folder;
    if (why)
        *why = "endpoint folder " + folder + ": " + problem;
    return std::nullopt;
}

std::string handleBase(const std::string& folder, EndpointHandle h) { return joinPath(folder, "h-" + hex(h, 8)); }

// Class and title name one endpoint; the file name comes from both (classes match without regard to case).
std::string nameLockPath(const std::string& folder, std::string_view className, std::string_view title)
{
    std::string key = asciiLower(className);
    key.push_back('\0');
    key.append(title);
    return joinPath(folder, "n-" + hex(fnv1a(key), 16) + "-" + hex(fnv1a(std::string("t") + key), 16) + ".lock");
}

// Open-file-description locks: a live owner holds a write lock on the whole file; anyone can
// test for it without taking it, and the lock dies with its owner.
struct flock wholeFile(short type)
{
    struct flock l;
    std::memset(&l, 0, sizeof l);
    l.l_type = type;
    l.l_whence = SEEK_SET;
    return l;
}

// Opens path and takes its lock without waiting; -1 when someone else holds it. The path is
// checked again after locking, so a file that its previous owner just removed is not taken.
int lockExclusive(const std::string& path)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0)
            return -1;
        struct flock l = wholeFile(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &l) != 0) {
            ::close(fd);
            return -1;
        }
        struct stat held, now;
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::lstat(path.c_str(), &now) == 0
            && held.st_dev == now.st_dev && held.st_ino == now.st_ino)
            return fd;
        ::close(fd); // removed or replaced while we locked it: try the file that is there now
    }
    return -1;
}

// True when a live process holds the lock on path.
bool heldByLiveOwner(const std::string& path)
{
    const FileDescriptor file(openRegularFile(path, O_RDONLY | O_NOFOLLOW));
    if (!file.valid())
        return false;
    struct flock l = wholeFile(F_WRLCK);
    return ::fcntl(file.get(), F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK;
}

bool socketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string endpointFolder()
{
    if (auto root = stateRoot())
        return *root + "/run";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        return std::string(runtime) + "/qelta";
    return "/tmp/qelta-" + std::to_string(::getuid());
}

uint32_t registerMessage(std::string_view name)
{
    // Each name gets the next free number of 0xC000-0xFFFF from a table that every process of the
    // user shares, one "number name" line per name (names in lower case): two names never share a number.
    constexpr uint32_t kFirst = 0xC000, kLast = 0xFFFF;
    constexpr size_t kMaxName = 255;
    if (name.empty() || name.size() > kMaxName
        || std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return 0;
    const auto folder = privateFolder();
    if (!folder)
        return 0;
    const std::string key = asciiLower(name);
    const std::string path = joinPath(*folder, "messages.tbl");
    FileLock lock(path);
    if (!lock.locked())
        return 0;
    std::string table;
    const ReadStatus status = readFile(path, table, (kLast - kFirst + 1) * (kMaxName + 6));
    if (status != ReadStatus::Ok && status != ReadStatus::NotFound)
        return 0;
    std::vector<bool> taken(kLast - kFirst + 1, false);
    uint32_t next = kFirst;
    for (size_t pos = 0; pos < table.size();) {
        const size_t end = table.find('\n', pos);
        if (end == std::string::npos || end - pos < 6 || table[pos + 4] != ' ')
            return 0; // damaged: left for the user to see, never rewritten
        const std::string_view line(table.data() + pos, end - pos);
        char* stop = nullptr;
        const std::string digits(line.substr(0, 4));
        const unsigned long number = std::strtoul(digits.c_str(), &stop, 16);
        if (*stop != '\0' || number < kFirst || number > kLast || taken[number - kFirst])
            return 0;
        if (line.substr(5) == key)
            return static_cast<uint32_t>(number);
        taken[number - kFirst] = true;
        next = std::max<uint32_t>(next, static_cast<uint32_t>(number) + 1);
        pos = end + 1;
    }
    if (next > kLast) { // the end was reached once: take a gap, if any
        const auto gap = std::find(taken.begin(), taken.end(), false);
        if (gap == taken.end())
            return 0;
        next = kFirst + static_cast<uint32_t>(gap - taken.begin());
    }
    removeStaleTemporaries(path);
    if (!writeFileAtomic(path, table + hex(next, 4) + " " + key + "\n"))
        return 0;
    return next;
}

std::unique_ptr<Endpoint> Endpoint::create(std::string_view className, std::string_view title, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::unique_ptr<Endpoint> {
        if (error)
            *error = why;
        return nullptr;
    };
    std::string why;
    const auto folder = privateFolder(&why);
    if (!folder)
        return fail(why);
    std::unique_ptr<Endpoint> e(new Endpoint());
    e->nameLockPath_ = nameLockPath(*folder, className, title);
    e->nameLock_ = lockExclusive(e->nameLockPath_);
    if (e->nameLock_ < 0)
        return fail("an endpoint of that class and title exists");

    // A handle nobody holds: a random one, locked; a stale one left by a dead process is taken over.
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 64 && e->handleLock_ < 0; ++attempt) {
        const EndpointHandle h = 1 + random() % 0xFFFFFFFEu;
        const std::string base = handleBase(*folder, h);
        const int fd = lockExclusive(base + ".lock");
        if (fd < 0)
            continue;
        // The handle's lock file names the class, so that finders by class alone can tell.
        const std::string classKey = asciiLower(className);
        if (::ftruncate(fd, 0) != 0
            || ::pwrite(fd, classKey.data(), classKey.size(), 0) != static_cast<ssize_t>(classKey.size())) {
            ::close(fd);
            continue;
        }
        e->handle_ = h;
        e->handleLock_ = fd;
        e->handleLockPath_ = base + ".lock";
        e->socketPath_ = base + ".sock";
    }
    if (e->handleLock_ < 0)
        return fail("no free handle");

    ::unlink(e->socketPath_.c_str()); // a dead owner's socket
    sockaddr_un address;
    if (!socketAddress(e->socketPath_, address))
        return fail("endpoint folder path too long: " + e->socketPath_);
    e->socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (e->socket_ < 0 || ::bind(e->socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(std::string("cannot open the endpoint's socket: ") + std::strerror(errno));

    // The name file tells finders the handle; it is valid while its lock is held.
    const std::string text = hex(e->handle_, 8);
    if (::ftruncate(e->nameLock_, 0) != 0 || ::pwrite(e->nameLock_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        return fail("cannot record the endpoint's handle");
    return e;
}

std::unique_ptr<Endpoint> Endpoint::createUnlessBusy(std::string_view className, std::string_view title,
                                                     std::initializer_list<std::string_view> busyClasses, bool* busy,
                                                     std::string* error)
{
    if (busy)
        *busy = false;
    std::string why;
    const auto folder = privateFolder(&why);
    if (!folder) {
        if (error)
            *error = why;
        return nullptr;
    }
    // Every caller tests and registers under this one lock, so no two of them can both find the
    // other absent. It dies with its holder like the endpoints' own locks.
    const FileDescriptor guard(::open(joinPath(*folder, "exclusive.lock").c_str(),
                                      O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    struct flock l = wholeFile(F_WRLCK);
    int locked = -1;
    if (guard.valid())
        while ((locked = ::fcntl(guard.get(), F_OFD_SETLKW, &l)) != 0 && errno == EINTR) {
        }
    if (locked != 0) {
        if (error)
            *error = std::string("cannot lock the endpoint folder: ") + std::strerror(errno);
        return nullptr;
    }
    const bool taken = findEndpoint(className, title) != 0
        || std::any_of(busyClasses.begin(), busyClasses.end(),
                       [](std::string_view c) { return findEndpointByClass(c) != 0; });
    if (taken) {
        if (busy)
            *busy = true;
        if (error)
            *error = "a live endpoint holds it";
        return nullptr;
    }
    auto endpoint = create(className, title, &why);
    if (!endpoint) {
        // Only a live holder makes the name lock fail: one that appeared since the test is busy too.
        if (busy)
            *busy = findEndpoint(className, title) != 0;
        if (error)
            *error = why;
    }
    return endpoint; // the guard is released when its descriptor closes
}

Endpoint::~Endpoint()
{
    if (socket_ >= 0) {
        ::close(socket_);
        ::unlink(socketPath_.c_str());
    }
    if (nameLock_ >= 0) {
        if (handle_ != 0) // ours: nobody else can hold the name while we hold its lock
            ::unlink(nameLockPath_.c_str());
        ::close(nameLock_);
    }
    if (handleLock_ >= 0) {
        ::unlink(handleLockPath_.c_str());
        ::close(handleLock_);
    }
}

bool Endpoint::receive(PostedMessage& message, int timeoutMs)
{
    pollfd p{socket_, POLLIN, 0};
    if (timeoutMs > 0 && ::poll(&p, 1, timeoutMs) <= 0)
        return false;
    // The three numbers, then the text; one byte more than the longest text tells a longer one.
    char data[kHeaderBytes + kMaxPostText + 1];
    const ssize_t n = ::recv(socket_, data, sizeof data, MSG_DONTWAIT);
    if (n < static_cast<ssize_t>(kHeaderBytes) || n > static_cast<ssize_t>(kHeaderBytes + kMaxPostText))
        return false;
    uint32_t numbers[3];
    std::memcpy(numbers, data, kHeaderBytes);
    message.message = numbers[0];
    message.wParam = numbers[1];
    message.lParam = static_cast<int32_t>(numbers[2]);
    message.text.assign(data + kHeaderBytes, static_cast<size_t>(n) - kHeaderBytes);
    return true;
}

EndpointHandle findEndpoint(std::string_view className, std::string_view title)
{
    const auto folder = privateFolder();
    if (!folder)
        return 0;
    const std::string path = nameLockPath(*folder, className, title);
    const FileDescriptor file(openRegularFile(path, O_RDONLY | O_NOFOLLOW));
    std::string text;
    if (!heldByLiveOwner(path) || !file.valid() || readOpenFile(file.get(), text, 64) != ReadStatus::Ok
        || text.size() != 8)
        return 0; // no live owner, or being set up right now
    const EndpointHandle h = static_cast<EndpointHandle>(std::strtoul(text.c_str(), nullptr, 16));
    return endpointExists(h) ? h : 0;
}

EndpointHandle findEndpointByClass(std::string_view className)
{
    const auto folder = privateFolder();
    if (!folder)
        return 0;
    const std::string wanted = asciiLower(className);
    for (const std::string& name : listFiles(*folder, "h-*.lock")) {
        const std::string path = joinPath(*folder, name);
        std::string text;
        if (name.size() != 15 || !heldByLiveOwner(path) || readFile(path, text, 256) != ReadStatus::Ok || text != wanted)
            continue;
        const EndpointHandle h = static_cast<EndpointHandle>(std::strtoul(name.substr(2, 8).c_str(), nullptr, 16));
        if (h != 0 && endpointExists(h))
            return h;
    }
    return 0;
}

bool endpointExists(EndpointHandle handle)
{
    const auto folder = handle != 0 ? privateFolder() : std::nullopt;
    return folder && heldByLiveOwner(handleBase(*folder, handle) + ".lock");
}

bool postMessage(EndpointHandle handle, uint32_t message, uint32_t wParam, int32_t lParam)
{
    return postMessage(handle, message, wParam, lParam, {});
}

bool postMessage(EndpointHandle handle, uint32_t message, uint32_t wParam, int32_t lParam, std::string_view text)
{
    if (text.size() > kMaxPostText || !endpointExists(handle))
        return false;
    const auto folder = privateFolder();
    const std::string socketPath = folder ? handleBase(*folder, handle) + ".sock" : std::string();
    sockaddr_un address;
    struct stat st {};
    // Sending follows links: take only the socket itself.
    if (!folder || ::lstat(socketPath.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || !socketAddress(socketPath, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const uint32_t numbers[3] = {message, wParam, static_cast<uint32_t>(lParam)};
    std::string data(reinterpret_cast<const char*>(numbers), kHeaderBytes);
    data.append(text);
    const ssize_t n = ::sendto(fd, data.data(), data.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    return n == static_cast<ssize_t>(data.size());
}

int broadcastMessage(uint32_t message, uint32_t wParam, int32_t lParam)
{
    const auto folder = privateFolder();
    if (!folder)
        return 0;
    int reached = 0;
    for (const std::string& name : listFiles(*folder, "h-*.lock")) {
        if (name.size() != 15)
            continue;
        const auto h = static_cast<EndpointHandle>(std::strtoul(name.substr(2, 8).c_str(), nullptr, 16));
        if (h != 0 && postMessage(h, message, wParam, lParam))
            ++reached;
    }
    return reached;
}

} // namespace platform
