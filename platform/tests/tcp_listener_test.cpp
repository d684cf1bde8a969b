// The platform's TCP listener at its limits, over real sockets on 127.0.0.1.
#include "platform/tcp.h"
#include "platform/tcp_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
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
