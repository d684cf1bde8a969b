#include "platform/tcp_listener.h"

#include "platform/files.h"
#include "platform/tcp.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long accepting pauses when the process or the kernel is out of descriptors or memory and no
// connection can give up its place.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// Peer addresses whose message rate is followed at once; beyond, a new address is refused until
// the rates of others have run out.
constexpr size_t kMaxRatedAddresses = 4096;

struct Connection {
    FileDescriptor socket;
    uint32_t address = 0; // the peer's IPv4 address
    Clock::time_point accepted, lastActive, deadline;
    std::string bytes;
};

enum class ReadResult { Pending, Ended, Dropped };

// Takes what the peer has sent so far without waiting.
ReadResult readAvailable(Connection& connection, size_t maxBytes)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(connection.socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return ReadResult::Ended;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? ReadResult::Pending : ReadResult::Dropped;
        }
        if (connection.bytes.size() + static_cast<size_t>(n) > maxBytes)
            return ReadResult::Dropped;
        connection.bytes.append(buffer, static_cast<size_t>(n));
        connection.lastActive = Clock::now();
    }
}

// With on, closing the socket resets the connection, so that its peer sees an error rather than an
// orderly end; also when the kernel closes it because the process died. Without, it ends in order.
bool resetOnClose(int socket, bool on)
{
    const linger abort{on ? 1 : 0, 0};
    return ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort) == 0;
}

// Closes a connection with a reset (every accepted connection is set to be).
void resetConnection(Connection& connection)
{
    resetOnClose(connection.socket.get(), true);
    connection.socket.reset();
}

// Milliseconds from now until a point in time, rounded up, for poll.
int millisecondsUntil(Clock::time_point when, Clock::time_point now)
{
    if (when <= now)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<long long>(left, 60'000));
}

} // namespace

struct TcpListener::State {
    FileDescriptor listening;
    FileDescriptor wakeRead, wakeWrite;
    TcpListenerLimits limits;
    MessageHandler handler;
    std::atomic<bool> stopping{false};
    std::mutex stopMutex;
    std::thread thread;
    std::thread::id threadId;
    uint16_t port = 0;

    std::vector<Connection> open;
    std::unordered_map<uint32_t, int> openPerAddress;
    // Per peer address, the time from which its next message is as if none had come before
    // (messages are taken while it lies less than the burst's intervals ahead).
    std::unordered_map<uint32_t, Clock::time_point> rateClock;

    void run();
    // Reads what a connection has; false once it is done with (handed on, dropped or refused).
    bool serve(Connection& connection, bool readable, Clock::time_point now);
    void finish(Connection& connection);
    bool withinRate(uint32_t address, Clock::time_point now);
    void acceptPending(Clock::time_point& acceptPausedUntil);
    void add(Connection connection);
    // Drops the least active connection, of the address given or else of the address holding the most.
    bool dropLeastActive(std::optional<uint32_t> ofAddress);
    void forget(const Connection& connection);
    Clock::time_point nextDeadline(const Connection& connection) const;
};

Clock::time_point TcpListener::State::nextDeadline(const Connection& connection) const
{
    if (limits.silentTimeoutMs > 0 && connection.bytes.empty())
        return std::min(connection.deadline, connection.accepted + std::chrono::milliseconds(limits.silentTimeoutMs));
    return connection.deadline;
}

bool TcpListener::State::withinRate(uint32_t address, Clock::time_point now)
{
    if (limits.messagesPerAddress <= 0)
        return true;
    const auto interval = std::chrono::milliseconds(std::max(limits.messageIntervalPerAddressMs, 0));
    const auto burst = interval * (limits.messagesPerAddress - 1);
    auto found = rateClock.find(address);
    if (found == rateClock.end()) {
        if (rateClock.size() >= kMaxRatedAddresses)
            std::erase_if(rateClock, [now](const auto& entry) { return entry.second <= now; });
        if (rateClock.size() >= kMaxRatedAddresses)
            return false;
        found = rateClock.emplace(address, now).first;
    }
    Clock::time_point& next = found->second;
    if (next > now + burst)
        return false;
    next = std::max(next, now) + interval;
    return true;
}

void TcpListener::State::finish(Connection& connection)
{
    // Another user's message is refused before it counts for its address: the refused messages of
    // one user must not use up what the address may hand on for another's.
    if (connection.bytes.size() < limits.minMessageBytes || stopping.load()
        || (limits.refuseOtherUsers && peerOwner(connection.socket.get()) == PeerOwner::OtherUser)
        || !withinRate(connection.address, Clock::now())) {
        resetConnection(connection);
        return;
    }
    bool taken = false;
    try {
        taken = handler(connection.bytes, port);
    } catch (...) {
    }
    // Only a message taken ends in order, and only now: until here the connection was set to be
    // reset when closed, so that a peer whose message dies with the process is not told it was taken.
    if (!taken || !resetOnClose(connection.socket.get(), false))
        resetConnection(connection);
}

bool TcpListener::State::serve(Connection& connection, bool readable, Clock::time_point now)
{
    ReadResult result = ReadResult::Pending;
    if (readable)
        result = readAvailable(connection, limits.maxMessageBytes);
    if (result == ReadResult::Pending && now >= nextDeadline(connection))
        result = ReadResult::Dropped;
    if (result == ReadResult::Ended)
        finish(connection);
    else if (result == ReadResult::Dropped)
        resetConnection(connection);
    return result == ReadResult::Pending;
}

void TcpListener::State::forget(const Connection& connection)
{
    const auto found = openPerAddress.find(connection.address);
    if (found != openPerAddress.end() && --found->second <= 0)
        openPerAddress.erase(found);
}

void TcpListener::State::add(Connection connection)
{
    ++openPerAddress[connection.address];
    open.push_back(std::move(connection));
}

bool TcpListener::State::dropLeastActive(std::optional<uint32_t> ofAddress)
{
    if (open.empty())
        return false;
    if (!ofAddress) {
        const auto most = std::max_element(openPerAddress.begin(), openPerAddress.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        ofAddress = most->first;
    }
    auto victim = open.end();
    for (auto it = open.begin(); it != open.end(); ++it)
        if (it->address == *ofAddress && (victim == open.end() || it->lastActive < victim->lastActive))
            victim = it;
    if (victim == open.end())
        return false;
    resetConnection(*victim);
    forget(*victim);
    open.erase(victim);
    return true;
}

void TcpListener::State::acceptPending(Clock::time_point& acceptPausedUntil)
{
    // Bounded, so that a peer connecting without end still leaves time to read the others.
    for (int taken = 0; taken < limits.maxConnections + 16; ++taken) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        FileDescriptor accepted(::accept4(listening.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                          SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!accepted.valid()) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            // Out of descriptors or memory: a connection gives up its place, or accepting waits.
            if ((errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) && dropLeastActive({}))
                continue;
            acceptPausedUntil = Clock::now() + kAcceptPause;
            return;
        }
        // Reset when closed until its message is taken, also by the kernel when the process dies.
        resetOnClose(accepted.get(), true);
        const uint32_t address = peer.sin_family == AF_INET ? peer.sin_addr.s_addr : 0;
        const int perAddress = limits.maxConnectionsPerAddress;
        const auto held = openPerAddress.find(address);
        if (perAddress > 0 && held != openPerAddress.end() && held->second >= perAddress)
            dropLeastActive(address);
        else if (open.size() >= static_cast<size_t>(limits.maxConnections))
            dropLeastActive({});
        const auto now = Clock::now();
        Connection connection{std::move(accepted), address, now, now,
                              now + std::chrono::milliseconds(limits.messageTimeoutMs), {}};
        // A peer that sent its message with the connection is served at once.
        if (serve(connection, true, now))
            add(std::move(connection));
    }
}

void TcpListener::State::run()
{
    std::vector<pollfd> polled;
    Clock::time_point acceptPausedUntil{};
    while (!stopping.load()) {
        auto now = Clock::now();
        const bool accepting = now >= acceptPausedUntil;
        polled.clear();
        polled.push_back({wakeRead.get(), POLLIN, 0});
        polled.push_back({accepting ? listening.get() : -1, POLLIN, 0}); // poll skips a negative descriptor
        int timeoutMs = accepting ? -1 : millisecondsUntil(acceptPausedUntil, now);
        for (const Connection& c : open) {
            polled.push_back({c.socket.get(), POLLIN, 0});
            const int left = millisecondsUntil(nextDeadline(c), now);
            timeoutMs = timeoutMs < 0 ? left : std::min(timeoutMs, left);
        }
        if (::poll(polled.data(), polled.size(), timeoutMs) < 0 && errno != EINTR)
            break;
        if (stopping.load())
            break;

        now = Clock::now();
        std::vector<Connection> stillOpen;
        stillOpen.reserve(open.size());
        for (size_t i = 0; i < open.size(); ++i) {
            if (serve(open[i], polled[i + 2].revents != 0, now))
                stillOpen.push_back(std::move(open[i]));
            else
                forget(open[i]);
        }
        open = std::move(stillOpen);

        if (accepting && polled[1].revents != 0)
            acceptPending(acceptPausedUntil);
    }
    // Whatever was still being read was not taken: its peers see a reset, not an orderly end.
    for (Connection& c : open)
        resetConnection(c);
    open.clear();
    openPerAddress.clear();
}

TcpListener::TcpListener(std::unique_ptr<State> state, uint16_t port) : state_(std::move(state)), port_(port) {}

std::unique_ptr<TcpListener> TcpListener::start(std::string_view address, uint16_t port, const TcpListenerLimits& limits,
                                                MessageHandler handler, ListenError* why)
{
    auto fail = [why](ListenError error) {
        if (why)
            *why = error;
        return nullptr;
    };
    uint32_t bound = htonl(INADDR_ANY);
    if (!address.empty() && !parseIPv4(address, bound))
        return fail(ListenError::BadAddress);

    auto state = std::make_unique<State>();
    state->limits = limits;
    state->limits.maxConnections = std::max(limits.maxConnections, 1);
    state->limits.maxMessageBytes = std::max(limits.maxMessageBytes, limits.minMessageBytes);
    state->limits.messageTimeoutMs = std::max(limits.messageTimeoutMs, 1);
    state->handler = std::move(handler);
    state->listening.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!state->listening.valid())
        return fail(ListenError::Failed);
    // A port whose earlier connections linger in TIME_WAIT can be taken again; one that another
    // socket listens on still cannot.
    const int on = 1;
    ::setsockopt(state->listening.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = bound;
    if (::bind(state->listening.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
        return fail(errno == EADDRINUSE      ? ListenError::InUse
                    : errno == EADDRNOTAVAIL ? ListenError::AddressNotAvailable
                                             : ListenError::Failed);
    socklen_t length = sizeof at;
    if (::listen(state->listening.get(), SOMAXCONN) != 0
        || ::getsockname(state->listening.get(), reinterpret_cast<sockaddr*>(&at), &length) != 0)
        return fail(errno == EADDRINUSE ? ListenError::InUse : ListenError::Failed);

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(ListenError::Failed);
    state->wakeRead.reset(wake[0]);
    state->wakeWrite.reset(wake[1]);
    state->port = ntohs(at.sin_port);
    try {
        State* s = state.get();
        state->thread = std::thread([s] { s->run(); });
    } catch (const std::system_error&) {
        return fail(ListenError::Failed);
    }
    state->threadId = state->thread.get_id();
    if (why)
        *why = ListenError::None;
    const uint16_t listened = state->port;
    return std::unique_ptr<TcpListener>(new TcpListener(std::move(state), listened));
}

bool TcpListener::stop()
{
    if (std::this_thread::get_id() == state_->threadId)
        return false;
    std::lock_guard lock(state_->stopMutex);
    if (!state_->thread.joinable())
        return true;
    state_->stopping.store(true);
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(state_->wakeWrite.get(), &wake, 1);
    state_->thread.join();
    state_->listening.reset();
    return true;
}

TcpListener::~TcpListener() { stop(); }

} // namespace platform
