#include "platform/tcp_listener.h"

#include "platform/files.h"
#include "platform/tcp.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
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

// How long accepting pauses when the process or the kernel is out of descriptors or memory.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

struct Connection {
    FileDescriptor socket;
    Clock::time_point deadline;
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
    }
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

    void run();
    void deliver(const std::string& message);
};

void TcpListener::State::deliver(const std::string& message)
{
    if (stopping.load())
        return;
    try {
        handler(message, port);
    } catch (...) {
    }
}

void TcpListener::State::run()
{
    std::vector<Connection> open;
    std::vector<pollfd> polled;
    Clock::time_point acceptPausedUntil{};
    while (!stopping.load()) {
        auto now = Clock::now();
        const bool accepting =
            open.size() < static_cast<size_t>(limits.maxConnections) && now >= acceptPausedUntil;
        polled.clear();
        polled.push_back({wakeRead.get(), POLLIN, 0});
        polled.push_back({accepting ? listening.get() : -1, POLLIN, 0}); // poll skips a negative descriptor
        int timeoutMs = -1;
        if (!accepting && open.size() < static_cast<size_t>(limits.maxConnections))
            timeoutMs = millisecondsUntil(acceptPausedUntil, now);
        for (const Connection& c : open) {
            polled.push_back({c.socket.get(), POLLIN, 0});
            const int left = millisecondsUntil(c.deadline, now);
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
            Connection& c = open[i];
            ReadResult result = ReadResult::Pending;
            if (polled[i + 2].revents != 0)
                result = readAvailable(c, limits.maxMessageBytes);
            if (result == ReadResult::Pending && now >= c.deadline)
                result = ReadResult::Dropped;
            if (result == ReadResult::Ended)
                deliver(c.bytes);
            if (result == ReadResult::Pending)
                stillOpen.push_back(std::move(c));
        }
        open = std::move(stillOpen);

        if (!accepting || polled[1].revents == 0)
            continue;
        while (open.size() < static_cast<size_t>(limits.maxConnections)) {
            FileDescriptor accepted(::accept4(listening.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (accepted.valid()) {
                open.push_back({std::move(accepted), Clock::now() + std::chrono::milliseconds(limits.messageTimeoutMs), {}});
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                acceptPausedUntil = Clock::now() + kAcceptPause;
            break;
        }
    }
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
