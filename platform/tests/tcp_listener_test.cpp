// The platform's TCP listener at its limits, over real sockets on 127.0.0.1, and who holds the
// peer of a connection.
#include "platform/system_info.h"
#include "platform/tcp.h"
#include "platform/tcp_listener.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <future>
#include <netinet/in.h>
#include <optional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

std::unique_ptr<TcpConnection> Peer(uint16_t port, std::string_view bytes, bool finish)
{
    auto c = TcpConnection::connect("127.0.0.1", port, 5000);
    EXPECT_TRUE(c && c->sendAll(bytes, 5000) && (!finish || c->finishSending()));
    return c;
}

bool Closed(TcpConnection& c, int waitMs)
{
    char byte = 0;
    bool timedOut = false;
    const long n = c.receive(&byte, 1, waitMs, &timedOut);
    return n < 0 || (n == 0 && !timedOut);
}

} // namespace

TEST(TcpListener, APeerBeyondTheLimitTakesTheLeastActivesPlaceAndAThrowingHandlerStopsNothing)
{
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> messages;
    TcpListenerLimits limits;
    limits.maxMessageBytes = 8;
    limits.messageTimeoutMs = 2000;
    limits.maxConnections = 2;
    ListenError why = ListenError::Failed;
    auto listener = TcpListener::start(
        "127.0.0.1", 0, limits,
        [&](std::string_view message, uint16_t) {
            std::lock_guard lock(mutex);
            messages.emplace_back(message);
            arrived.notify_all();
            if (message == "throw")
                throw std::runtime_error("handler failed");
            return true;
        },
        &why);
    ASSERT_TRUE(listener);
    EXPECT_EQ(why, ListenError::None);
    auto waitFor = [&](size_t count) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, 20s, [&] { return messages.size() >= count; });
    };

    auto thrower = Peer(listener->port(), "throw", true);
    ASSERT_TRUE(waitFor(1));
    EXPECT_TRUE(Closed(*thrower, 5000));

    // Two peers that stall take both slots; the third takes the place of the one quiet longest.
    auto first = Peer(listener->port(), "1234", false);
    ASSERT_FALSE(Closed(*first, 50));
    auto second = Peer(listener->port(), "5678", false);
    ASSERT_FALSE(Closed(*second, 50)); // both are being read before the third connects
    auto third = Peer(listener->port(), "third", true);
    ASSERT_TRUE(waitFor(2));
    EXPECT_TRUE(Closed(*first, 0));
    EXPECT_FALSE(Closed(*second, 0));
    EXPECT_TRUE(Closed(*third, 5000));
    EXPECT_TRUE(Closed(*first, 5000));
    EXPECT_TRUE(Closed(*second, 5000));
    std::lock_guard lock(mutex);
    EXPECT_EQ(messages, (std::vector<std::string>{"throw", "third"}));
}

// A peer is told its message was taken only once it was: a connection whose listener's process
// dies while the message is being handed on (before it is written anywhere) is reset, never ended
// in order; one whose message was taken ends in order.
TEST(TcpListener, AConnectionEndsInOrderOnlyOnceItsMessageIsTaken)
{
    for (const bool dies : {true, false}) {
        SCOPED_TRACE(dies ? "the process dies while handing the message on" : "the message is taken");
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const FileDescriptor fromChild(pipeFds[0]);
        FileDescriptor toParent(pipeFds[1]);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TcpListenerLimits limits;
            limits.maxMessageBytes = 8;
            limits.messageTimeoutMs = 10000;
            const int out = toParent.get();
            auto listener = TcpListener::start("127.0.0.1", 0, limits, [out, dies](std::string_view, uint16_t) {
                [[maybe_unused]] const ssize_t n = ::write(out, "m", 1);
                while (dies)
                    ::pause(); // until killed, the message written nowhere
                return true;
            });
            const uint16_t port = listener ? listener->port() : 0;
            [[maybe_unused]] const ssize_t n = ::write(out, &port, sizeof port);
            for (;;)
                ::pause();
        }
        toParent.reset();
        auto fromListener = [&](void* into, size_t size) {
            pollfd p{fromChild.get(), POLLIN, 0};
            return ::poll(&p, 1, 10000) == 1 && ::read(fromChild.get(), into, size) == static_cast<ssize_t>(size);
        };
        uint16_t port = 0;
        char handed = 0;
        const bool listening = fromListener(&port, sizeof port) && port != 0;
        auto peer = listening ? Peer(port, "message", true) : nullptr;
        const bool handedOn = peer && fromListener(&handed, 1);
        if (dies)
            ::kill(child, SIGKILL);
        char byte = 0;
        bool timedOut = false;
        errno = 0;
        const long n = handedOn ? peer->receive(&byte, 1, 5000, &timedOut) : -2;
        const int error = errno;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_TRUE(handedOn);
        if (dies) {
            EXPECT_EQ(n, -1);
            EXPECT_EQ(error, ECONNRESET);
        } else {
            EXPECT_EQ(n, 0);
            EXPECT_FALSE(timedOut);
        }
    }
}

// Who holds the peer of an accepted connection, told by the kernel's socket diagnostics, by the
// host's tables and by peerOwner, which must agree: this user's socket over IPv4 and an IPv6 socket
// carrying IPv4, another user's, and one whose process closed it (held by nobody any longer), on
// loopback and on the host's own address.
TEST(PeerOwner, BothWaysTellThisUsersSocketFromAnotherUsersAndAClosedOne)
{
    std::vector<std::string> addresses{"127.0.0.1"};
    if (const std::string own = publishedIPv4Address(); !own.empty() && !own.starts_with("127."))
        addresses.push_back(own);
    for (const std::string& address : addresses) {
        SCOPED_TRACE(address);
        uint32_t ip = 0;
        ASSERT_TRUE(parseIPv4(address, ip));
        const FileDescriptor listening(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = ip;
        socklen_t length = sizeof at;
        ASSERT_TRUE(listening.valid());
        ASSERT_EQ(::bind(listening.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
        ASSERT_EQ(::listen(listening.get(), 8), 0);
        ASSERT_EQ(::getsockname(listening.get(), reinterpret_cast<sockaddr*>(&at), &length), 0);
        const uint16_t port = ntohs(at.sin_port);
        auto accepted = [&] {
            pollfd p{listening.get(), POLLIN, 0};
            return FileDescriptor(::poll(&p, 1, 5000) == 1 ? ::accept4(listening.get(), nullptr, nullptr, SOCK_CLOEXEC)
                                                           : -1);
        };
        auto expectOwner = [](int socket, PeerOwner expected, const char* what) {
            SCOPED_TRACE(what);
            const std::optional<PeerOwner> diagnosed = peerOwnerBy(socket, OwnerLookup::Diagnostics);
            ASSERT_TRUE(diagnosed) << "the socket diagnostics answer";
            EXPECT_EQ(*diagnosed, expected);
            EXPECT_EQ(peerOwnerBy(socket, OwnerLookup::Tables), expected);
            EXPECT_EQ(peerOwner(socket), expected);
        };

        {
            const auto v4 = TcpConnection::connect(address, port, 5000);
            ASSERT_TRUE(v4);
            expectOwner(accepted().get(), PeerOwner::ThisUser, "this user's IPv4 socket");
        }
        if (const FileDescriptor v6(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0)); v6.valid()) {
            sockaddr_in6 to{};
            to.sin6_family = AF_INET6;
            to.sin6_port = htons(port);
            to.sin6_addr.s6_addr[10] = to.sin6_addr.s6_addr[11] = 0xFF;
            std::memcpy(&to.sin6_addr.s6_addr[12], &ip, 4);
            ASSERT_EQ(::connect(v6.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
            expectOwner(accepted().get(), PeerOwner::ThisUser, "this user's IPv6 socket carrying IPv4");
        }
        {
            auto closed = TcpConnection::connect(address, port, 5000);
            ASSERT_TRUE(closed);
            const FileDescriptor server = accepted();
            closed.reset();
            expectOwner(server.get(), PeerOwner::OtherUser, "a socket its process closed");
        }
        if (::geteuid() == 0) {
            int connected[2], done[2];
            ASSERT_EQ(::pipe(connected), 0);
            ASSERT_EQ(::pipe(done), 0);
            const FileDescriptor connectedRead(connected[0]), connectedWrite(connected[1]);
            const FileDescriptor doneRead(done[0]), doneWrite(done[1]);
            auto nobody = std::async(std::launch::async, [&] {
                return qelta::test::runInChild([&] {
                    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                        return 2;
                    const auto held = TcpConnection::connect(address, port, 5000);
                    char byte = 0;
                    if (!held || ::write(connectedWrite.get(), "c", 1) != 1 || ::read(doneRead.get(), &byte, 1) != 1)
                        return 3;
                    return 0;
                });
            });
            pollfd p{connectedRead.get(), POLLIN, 0};
            ASSERT_EQ(::poll(&p, 1, 10000), 1);
            expectOwner(accepted().get(), PeerOwner::OtherUser, "another user's socket");
            ASSERT_EQ(::write(doneWrite.get(), "d", 1), 1);
            EXPECT_EQ(nobody.get(), 0);
        }
    }
}
