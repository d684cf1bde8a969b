// The platform's TCP listener at its limits, over real sockets on 127.0.0.1.
#include "platform/tcp.h"
#include "platform/tcp_listener.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <string>
#include <poll.h>
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
