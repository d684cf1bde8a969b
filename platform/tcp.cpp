#include "platform/tcp.h"

#include "platform/text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A point in time timeoutMs from now; a negative time-out never ends.
class Deadline {
public:
    explicit Deadline(int timeoutMs)
        : unlimited_(timeoutMs < 0), end_(Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs))
    {
    }
    // Milliseconds left for poll: -1 without limit, 0 when the time is up.
    int remaining() const
    {
        if (unlimited_)
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }
    bool unlimited() const { return unlimited_; }

private:
    bool unlimited_;
    Clock::time_point end_;
};

// Waits for events on fd until the deadline: >0 ready, 0 time is up, <0 an error.
int waitFor(int fd, short events, const Deadline& deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, deadline.remaining());
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return -1;
        return rc;
    }
}

// The last label of a host name is "invalid": such names never resolve.
bool underInvalid(std::string_view host)
{
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    const std::string lower = asciiLower(host);
    return lower == "invalid" || lower.ends_with(".invalid");
}

// The resolver's answer, shared with its worker so that a worker left behind at the time-out
// only ever touches its own copy.
struct Resolution {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<uint32_t> addresses;
};

std::vector<uint32_t> lookUp(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return {};
    std::vector<uint32_t> found;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr)
            continue;
        const uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        if (std::find(found.begin(), found.end(), address) == found.end())
            found.push_back(address);
    }
    ::freeaddrinfo(list);
    return found;
}

std::vector<uint32_t> resolveBefore(std::string_view host, const Deadline& deadline)
{
    uint32_t address = 0;
    if (parseIPv4(host, address))
        return {address};
    if (host.empty() || underInvalid(host) || host.find('\0') != std::string_view::npos)
        return {};
    auto state = std::make_shared<Resolution>();
    try {
        std::thread([state, name = std::string(host)] {
            auto found = lookUp(name);
            std::lock_guard lock(state->mutex);
            state->addresses = std::move(found);
            state->finished = true;
            state->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return {};
    }
    std::unique_lock lock(state->mutex);
    if (deadline.unlimited())
        state->done.wait(lock, [&] { return state->finished; });
    else
        state->done.wait_for(lock, std::chrono::milliseconds(deadline.remaining()), [&] { return state->finished; });
    return state->finished ? state->addresses : std::vector<uint32_t>{};
}

std::optional<uint32_t> firstOf(const std::vector<uint32_t>& addresses)
{
    return addresses.empty() ? std::nullopt : std::optional<uint32_t>(addresses.front());
}

void setWhy(ConnectError* why, ConnectError value)
{
    if (why)
        *why = value;
}

// One end of a TCP connection, an IPv4 address as its IPv4-mapped IPv6 form: the address's four
// 32-bit words as they lie in memory, and the port.
struct SocketEnd {
    uint32_t words[4] = {};
    uint16_t port = 0;
    bool operator==(const SocketEnd&) const = default;
};

std::optional<SocketEnd> endOf(const sockaddr_storage& address)
{
    SocketEnd end;
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        end.words[2] = htonl(0xFFFF);
        end.words[3] = v4.sin_addr.s_addr;
        end.port = ntohs(v4.sin_port);
        return end;
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        std::memcpy(end.words, &v6.sin6_addr, sizeof end.words);
        end.port = ntohs(v6.sin6_port);
        return end;
    }
    return std::nullopt;
}

bool isMapped(const SocketEnd& end) { return end.words[0] == 0 && end.words[1] == 0 && end.words[2] == htonl(0xFFFF); }

bool onLoopback(const SocketEnd& end)
{
    if (isMapped(end))
        return (ntohl(end.words[3]) >> 24) == 127;
    return end.words[0] == 0 && end.words[1] == 0 && end.words[2] == 0 && end.words[3] == htonl(1);
}

// Reads hexadecimal digits into value; false unless text is all of them.
template <typename T>
bool parseHex(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// A socket end as the tables print it: the address's 32-bit words in hexadecimal as they lie in
// memory (one for IPv4, four for IPv6), a colon, the port.
std::optional<SocketEnd> parseTableEnd(std::string_view text, bool v6)
{
    const size_t colon = text.find(':');
    const size_t digits = v6 ? 32 : 8;
    SocketEnd end;
    if (colon != digits || !parseHex(text.substr(colon + 1), end.port))
        return std::nullopt;
    uint32_t words[4] = {};
    for (size_t i = 0; i < digits / 8; ++i)
        if (!parseHex(text.substr(i * 8, 8), words[i]))
            return std::nullopt;
    if (v6) {
        std::memcpy(end.words, words, sizeof end.words);
    } else {
        end.words[2] = htonl(0xFFFF);
        end.words[3] = words[0];
    }
    return end;
}

// The whitespace-separated fields of a line.
std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(" \t\n", at);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(line.find_first_of(" \t\n", start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

// In the table file, the owner of the socket whose own end is local and whose other end is remote:
// its user, or -1 for a socket no process holds any longer; nothing when there is none.
std::optional<long long> ownerInTable(const char* file, bool v6, const SocketEnd& local, const SocketEnd& remote)
{
    std::FILE* table = std::fopen(file, "re");
    if (!table)
        return std::nullopt;
    std::optional<long long> owner;
    char* line = nullptr;
    size_t room = 0;
    bool heading = true;
    while (!owner && ::getline(&line, &room, table) >= 0) {
        if (std::exchange(heading, false))
            continue;
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode ...
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (fields.size() < 10)
            continue;
        const auto ownEnd = parseTableEnd(fields[1], v6), otherEnd = parseTableEnd(fields[2], v6);
        if (!ownEnd || !otherEnd || *ownEnd != local || *otherEnd != remote)
            continue;
        // A socket in TIME_WAIT, or one its process closed (no inode), is held by nobody: its user is not told.
        auto number = [](std::string_view text, unsigned long long& value) {
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            return error == std::errc() && end == text.data() + text.size();
        };
        unsigned long long uid = 0, inode = 0;
        const bool held = fields[3] != "06" && number(fields[7], uid) && number(fields[9], inode) && inode != 0;
        owner = held ? static_cast<long long>(uid) : -1;
    }
    std::free(line);
    std::fclose(table);
    return owner;
}

// The owner of the socket whose own end is local and whose other end is remote, as the kernel's
// socket diagnostics answer an exact lookup of it: its user, or -1 for a socket no process holds
// any longer; an empty answer when there is no such socket; nothing when the diagnostics cannot be
// asked. The cost is one request, whatever the number of the host's sockets.
std::optional<std::optional<long long>> ownerByDiagnostics(const SocketEnd& local, const SocketEnd& remote)
{
    const FileDescriptor diag(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!diag.valid())
        return std::nullopt;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = 1;
    inet_diag_req_v2& request = message.request;
    // Two IPv4 ends are looked up as IPv4, which also finds an IPv6 socket that carries IPv4.
    const bool v4 = isMapped(local) && isMapped(remote);
    request.sdiag_family = v4 ? AF_INET : AF_INET6;
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = ~0u;
    request.id.idiag_sport = htons(local.port);
    request.id.idiag_dport = htons(remote.port);
    if (v4) {
        request.id.idiag_src[0] = local.words[3];
        request.id.idiag_dst[0] = remote.words[3];
    } else {
        std::memcpy(request.id.idiag_src, local.words, sizeof local.words);
        std::memcpy(request.id.idiag_dst, remote.words, sizeof remote.words);
    }
    request.id.idiag_cookie[0] = request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(diag.get(), &message, sizeof message, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel)
        != static_cast<ssize_t>(sizeof message))
        return std::nullopt;
    // The kernel answers while it takes the request; the wait only bounds a kernel that does not.
    alignas(nlmsghdr) char answer[8192];
    ssize_t length = -1;
    sockaddr_nl from{};
    for (;;) {
        if (waitFor(diag.get(), POLLIN, Deadline(1000)) <= 0)
            return std::nullopt;
        socklen_t fromLength = sizeof from;
        length = ::recvfrom(diag.get(), answer, sizeof answer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                            &fromLength);
        if (length >= 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    // Only the kernel's answer counts; one cut short is no answer.
    if (length < 0 || from.nl_pid != 0)
        return std::nullopt;
    for (auto* reply = reinterpret_cast<const nlmsghdr*>(answer); NLMSG_OK(reply, length);
         reply = NLMSG_NEXT(reply, length)) {
        if (reply->nlmsg_seq != message.header.nlmsg_seq)
            continue;
        if (reply->nlmsg_type == NLMSG_ERROR) {
            if (reply->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                return std::nullopt;
            // No such socket, or (with the same code) no diagnostics for the family: the caller tells which.
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(reply));
            return error->error == -ENOENT ? std::optional<std::optional<long long>>(std::optional<long long>())
                                           : std::nullopt;
        }
        if (reply->nlmsg_type != SOCK_DIAG_BY_FAMILY || reply->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            return std::nullopt;
        const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(reply));
        // With no connection of these ends the lookup may answer with a socket listening on the
        // local end: that one is not the peer.
        SocketEnd ownEnd, otherEnd;
        ownEnd.port = ntohs(found->id.idiag_sport);
        otherEnd.port = ntohs(found->id.idiag_dport);
        if (found->idiag_family == AF_INET) {
            ownEnd.words[2] = otherEnd.words[2] = htonl(0xFFFF);
            ownEnd.words[3] = found->id.idiag_src[0];
            otherEnd.words[3] = found->id.idiag_dst[0];
        } else {
            std::memcpy(ownEnd.words, found->id.idiag_src, sizeof ownEnd.words);
            std::memcpy(otherEnd.words, found->id.idiag_dst, sizeof otherEnd.words);
        }
        if (ownEnd != local || otherEnd != remote)
            return std::optional<long long>();
        // A socket in TIME_WAIT, or one its process closed (no inode), is held by nobody.
        const bool held = found->idiag_state != TCP_TIME_WAIT && found->idiag_inode != 0;
        return std::optional<long long>(held ? static_cast<long long>(found->idiag_uid) : -1);
    }
    return std::nullopt;
}

} // namespace

std::optional<PeerOwner> peerOwnerBy(int socket, OwnerLookup way)
{
    sockaddr_storage own{}, other{};
    socklen_t ownLength = sizeof own, otherLength = sizeof other;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&own), &ownLength) != 0
        || ::getpeername(socket, reinterpret_cast<sockaddr*>(&other), &otherLength) != 0)
        return PeerOwner::OtherUser;
    const auto here = endOf(own), peer = endOf(other);
    if (!here || !peer)
        return PeerOwner::OtherUser;
    // The peer's socket has the peer's end as its own and this end as its other.
    std::optional<long long> owner;
    if (way == OwnerLookup::Diagnostics) {
        const auto answer = ownerByDiagnostics(*peer, *here);
        if (!answer)
            return std::nullopt;
        // "None" is believed only from diagnostics that find this end of the same connection.
        if (!*answer) {
            const auto self = ownerByDiagnostics(*here, *peer);
            if (!self || !*self)
                return std::nullopt;
        }
        owner = *answer;
    } else {
        // An IPv4 end shows in the IPv4 table, or in the IPv6 one when the peer's socket is an IPv6 socket.
        if (isMapped(*peer))
            owner = ownerInTable("/proc/net/tcp", false, *peer, *here);
        if (!owner)
            owner = ownerInTable("/proc/net/tcp6", true, *peer, *here);
    }
    if (!owner)
        return onLoopback(*peer) ? PeerOwner::OtherUser : PeerOwner::Remote;
    return *owner == static_cast<long long>(::geteuid()) ? PeerOwner::ThisUser : PeerOwner::OtherUser;
}

PeerOwner peerOwner(int socket)
{
    if (const auto owner = peerOwnerBy(socket, OwnerLookup::Diagnostics))
        return *owner;
    return *peerOwnerBy(socket, OwnerLookup::Tables);
}

bool parseIPv4(std::string_view text, uint32_t& address)
{
    if (text.empty() || text.size() > 63)
        return false;
    char buffer[64];
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    in_addr a{};
    if (::inet_aton(buffer, &a) == 0)
        return false;
    address = a.s_addr;
    return true;
}

std::string formatIPv4(uint32_t address)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::optional<uint32_t> resolveIPv4(std::string_view host, int timeoutMs)
{
    return firstOf(resolveBefore(host, Deadline(timeoutMs)));
}

std::vector<uint32_t> resolveIPv4All(std::string_view host, int timeoutMs)
{
    return resolveBefore(host, Deadline(timeoutMs));
}

std::unique_ptr<TcpConnection> TcpConnection::connect(std::string_view host, uint16_t port, int timeoutMs,
                                                      ConnectError* why)
{
    setWhy(why, ConnectError::Failed);
    const Deadline deadline(timeoutMs);
    const auto address = firstOf(resolveBefore(host, deadline));
    if (!address) {
        setWhy(why, deadline.remaining() == 0 ? ConnectError::TimedOut : ConnectError::NotResolved);
        return nullptr;
    }
    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return nullptr;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = *address;
    int rc = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (rc != 0 && errno != EINPROGRESS && errno != EINTR) {
        setWhy(why, errno == ECONNREFUSED ? ConnectError::Refused : ConnectError::Failed);
        return nullptr;
    }
    if (rc != 0) {
        rc = waitFor(socket.get(), POLLOUT, deadline);
        if (rc == 0) {
            setWhy(why, ConnectError::TimedOut);
            return nullptr;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (rc < 0 || ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            setWhy(why, error == ECONNREFUSED ? ConnectError::Refused : ConnectError::Failed);
            return nullptr;
        }
    }
    setWhy(why, ConnectError::None);
    return std::unique_ptr<TcpConnection>(new TcpConnection(std::move(socket)));
}

bool TcpConnection::sendAll(std::string_view data, int timeoutMs)
{
    const Deadline deadline(timeoutMs);
    while (!data.empty()) {
        const ssize_t n = ::send(socket_.get(), data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        if (waitFor(socket_.get(), POLLOUT, deadline) <= 0)
            return false;
    }
    return true;
}

long TcpConnection::receive(void* buffer, size_t size, int timeoutMs, bool* timedOut)
{
    if (timedOut)
        *timedOut = false;
    const Deadline deadline(timeoutMs);
    for (;;) {
        const ssize_t n = ::recv(socket_.get(), buffer, size, 0);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        const int rc = waitFor(socket_.get(), POLLIN, deadline);
        if (rc == 0) {
            if (timedOut)
                *timedOut = true;
            return 0;
        }
        if (rc < 0)
            return -1;
    }
}

bool TcpConnection::finishSending() { return ::shutdown(socket_.get(), SHUT_WR) == 0; }

TcpConnection::~TcpConnection()
{
    if (socket_.valid())
        ::shutdown(socket_.get(), SHUT_RDWR);
}

} // namespace platform
