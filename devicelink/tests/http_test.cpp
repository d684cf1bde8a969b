// The HTTP transport and the platform's TCP client against a device on the loopback interface.
#include "devicelink/http_transport.h"
#include "devicelink/tests/support/test_device.h"
#include "platform/tcp.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace CMSoapSLib_Ostrel_R1;
using qelta::test::closedPort;
using qelta::test::FullListener;
using qelta::test::TestDevice;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Exchange {
    int32_t code = -1;
    std::string answer;
    long long elapsedMs = 0;
};

Exchange post(const std::string& url, int timeoutMs, const std::string& message = "<m/>")
{
    Exchange e;
    const auto start = Clock::now();
    e.code = HttpExchange(url, "Act", message, e.answer, timeoutMs, kReceiveBlockBytes);
    e.elapsedMs = msSince(start);
    return e;
}

TEST(HttpTransport, SplitsUrls)
{
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://192.0.2.7/kovra-mfp-srv", "192.0.2.7", 80, "/kovra-mfp-srv"},
        {"http://device:8080/a/b", "device", 8080, "/a/b"},
        {"http://device", "device", 80, ""},
        {"http://device:x/p", "device", 0, "/p"},
        // A ':' in the path is no port separator.
        {"http://device/a:b/c", "device", 80, "/a:b/c"},
        {"no scheme here", "", 80, ""},
    };
    for (const auto& c : cases) {
        const UrlParts parts = SplitUrl(c.url);
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
    EXPECT_EQ(RequestHead(SplitUrl("http://device"), "A", 3),
              "POST  HTTP/1.1\r\nHost: device:80\r\nContent-Type: application/soap; charset=\"utf-8\"\r\n"
              "Content-Length: 3\r\nSOAPAction: \"A\"\r\n\r\n");
    EXPECT_EQ(BoundedTimeout(-1), kMaxTimeoutMs);
    EXPECT_EQ(BoundedTimeout(1500), 1500);
    EXPECT_EQ(ExchangeDeadlineMs(200), 800);
    EXPECT_EQ(ExchangeDeadlineMs(20000), kMaxTimeoutMs);
    EXPECT_EQ(ExchangeDeadlineMs(-1), kMaxTimeoutMs);
}

TEST(HttpTransport, CollectsAnswersByTheirFraming)
{
    using State = CHttpAnswer::State;
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        State state;
        std::string text;
    } cases[] = {
        {"length", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab", "cdeXYZ"}, State::Complete,
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nabcde"},
        {"head split at its end", {"HTTP/1.1 200 OK\r\ncontent-length: 0\r", "\n\r", "\n"}, State::Complete,
         "HTTP/1.1 200 OK\r\ncontent-length: 0\r\n\r\n"},
        {"until close", {"HTTP/1.1 200 OK\r\n\r\n<a/>"}, State::Incomplete, "HTTP/1.1 200 OK\r\n\r\n<a/>"},
        {"chunked", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n<a>\r\n4;x=1\r\n</a>\r", "\n0\r\nT: 1\r\n\r\n"},
         State::Complete, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n<a></a>"},
        {"chunked wins over length", {"HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n"},
         State::Complete, "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\nx"},
        {"bad chunk size", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"}, State::Failed, ""},
        {"chunk without its line end", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nxyz"}, State::Failed, ""},
        {"huge chunk", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n"}, State::Failed, ""},
        {"bad length", {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"}, State::Failed, ""},
        {"two lengths", {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"}, State::Failed, ""},
        {"length over the limit", {"HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\n\r\n"}, State::Failed, ""},
    };
    for (const auto& c : cases) {
        CHttpAnswer answer;
        for (const auto& p : c.pieces)
            answer.append(p.data(), p.size());
        EXPECT_EQ(answer.state(), c.state) << c.name;
        if (c.state != State::Failed) {
            EXPECT_EQ(answer.text(), c.text) << c.name;
        }
    }
    CHttpAnswer small(16);
    EXPECT_EQ(small.append("HTTP/1.1 200 OK\r\n", 17), State::Failed);
}

TEST(HttpTransport, AChunkedAnswersLinesHaveOneLimitHoweverTheBytesArrive)
{
    // Chunk size lines and trailer fields alike may be 1024 bytes long: at the limit the answer is
    // read, one byte over it fails, whether the answer comes at once or a byte at a time.
    using State = CHttpAnswer::State;
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const auto sizeLine = [](size_t length) { return "1;" + std::string(length - 2, 'e') + "\r\nx\r\n0\r\n\r\n"; };
    const auto trailer = [](size_t length) { return "1\r\nx\r\n0\r\nT:" + std::string(length - 2, 't') + "\r\n\r\n"; };
    const struct {
        const char* name;
        std::string body;
        State state;
    } cases[] = {
        {"size line at the limit", sizeLine(1024), State::Complete},
        {"size line over the limit", sizeLine(1025), State::Failed},
        {"trailer at the limit", trailer(1024), State::Complete},
        {"trailer over the limit", trailer(1025), State::Failed},
    };
    for (const auto& c : cases) {
        const std::string text = head + c.body;
        CHttpAnswer whole;
        EXPECT_EQ(whole.append(text.data(), text.size()), c.state) << c.name;
        CHttpAnswer bytes;
        State state = State::Incomplete;
        for (size_t at = 0; at < text.size() && state == State::Incomplete; ++at)
            state = bytes.append(text.data() + at, 1);
        EXPECT_EQ(state, c.state) << c.name << ", a byte at a time";
        if (c.state == State::Complete) {
            EXPECT_EQ(bytes.text(), head + "x") << c.name;
        }
    }
}

TEST(HttpTransport, PostsTheExactRequestAndReadsTheAnswer)
{
    const std::string reply = TestDevice::answer(200, "<ok/>");
    TestDevice device({{{reply}}});
    const auto e = post("http://" + device.address() + "/kovra-mfp-srv", 5000, "<m>\xC3\xA9</m>");
    EXPECT_EQ(e.code, TRANSPORT_OK);
    EXPECT_EQ(e.answer, reply);
    EXPECT_EQ(device.request(), "POST /kovra-mfp-srv HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(device.port())
                                    + "\r\nContent-Type: application/soap; charset=\"utf-8\"\r\nContent-Length: 9\r\n"
                                      "SOAPAction: \"Act\"\r\n\r\n<m>\xC3\xA9</m>");
}

TEST(HttpTransport, ScriptedAnswers)
{
    const std::string whole = TestDevice::answer(200, "<ok/>");
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n<o\r\n3\r\nk/>\r\n0\r\n\r\n";
    const std::string oversize = "HTTP/1.1 200 OK\r\n\r\n" + std::string(kMaxAnswerBytes + 1, 'x');
    // The head, then the body one byte at a time: each well within the step time-out, the whole
    // far beyond the deadline.
    const std::string slowBody(80, ' ');
    TestDevice::Script trickle{{{"HTTP/1.1 200 OK\r\nContent-Length: 80\r\n\r\n"}}};
    for (const char c : slowBody)
        trickle.pieces.push_back({std::string(1, c), 150});
    struct Case {
        const char* name;
        TestDevice::Script script;
        int timeoutMs;
        int32_t code;
        std::string answer;
    } cases[] = {
        {"slow pieces", {{{whole.substr(0, 10), 50}, {whole.substr(10, 30), 100}, {whole.substr(40), 100}}}, 2000,
         TRANSPORT_OK, whole},
        // Content-Length reached: the exchange ends although the device keeps the connection.
        {"kept open after the answer", {{{whole}}, false}, 30000, TRANSPORT_OK, whole},
        {"chunked, kept open", {{{chunked}}, false}, 30000, TRANSPORT_OK,
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n<ok/>"},
        {"silence", {{}, false}, 300, TRANSPORT_OK, ""},
        {"closed early", {{{"HTTP/1.1 200 OK\r\nCont"}}}, 2000, TRANSPORT_OK, "HTTP/1.1 200 OK\r\nCont"},
        // Answers short of the end their head announced are no answers.
        {"cut by the time-out", {{{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}}, false}, 300,
         TRANSPORT_UNREADABLE, ""},
        {"closed before its length", {{{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(330, 'x')}}},
         2000, TRANSPORT_UNREADABLE, ""},
        {"closed between chunks", {{{chunked.substr(0, chunked.find("3\r\n"))}}}, 2000, TRANSPORT_UNREADABLE, ""},
        {"trickled past the deadline", trickle, 200, TRANSPORT_UNREADABLE, ""},
        {"over-size", {{{oversize}}}, 5000, TRANSPORT_UNREADABLE, ""},
    };
    for (auto& c : cases) {
        TestDevice device(c.script);
        const auto e = post("http://" + device.address() + "/x", c.timeoutMs);
        EXPECT_EQ(e.code, c.code) << c.name;
        EXPECT_EQ(e.answer, c.answer) << c.name;
        EXPECT_LT(e.elapsedMs, 10000) << c.name;
    }
}

TEST(HttpTransport, FailsWithoutAConnection)
{
    FullListener full;
    struct Case {
        const char* name;
        std::string url;
        int timeoutMs;
        platform::ConnectError why;
    } cases[] = {
        {"backlog full", "http://127.0.0.1:" + std::to_string(full.port()) + "/", 300, platform::ConnectError::TimedOut},
        {"refused", "http://127.0.0.1:" + std::to_string(closedPort()) + "/", 5000, platform::ConnectError::Refused},
        {"invalid name", "http://device.invalid/x", 5000, platform::ConnectError::NotResolved},
    };
    for (const auto& c : cases) {
        const auto e = post(c.url, c.timeoutMs);
        EXPECT_EQ(e.code, TRANSPORT_NO_CONNECTION) << c.name;
        EXPECT_LT(e.elapsedMs, 3000) << c.name;
        const UrlParts parts = SplitUrl(c.url);
        platform::ConnectError why = platform::ConnectError::None;
        EXPECT_FALSE(platform::TcpConnection::connect(parts.host, static_cast<uint16_t>(parts.port), c.timeoutMs, &why));
        EXPECT_EQ(why, c.why) << c.name;
    }
    std::string answer;
    EXPECT_EQ(HttpExchange("", "A", "m", answer, 100, 10), TRANSPORT_EMPTY_INPUT);
    EXPECT_EQ(HttpExchange("http://h/", "", "m", answer, 100, 10), TRANSPORT_EMPTY_INPUT);
    EXPECT_EQ(HttpExchange("http://h/", "A", "", answer, 100, 10), TRANSPORT_EMPTY_INPUT);
    EXPECT_EQ(HttpExchange("http://h/", "A\r\nX: y", "m", answer, 100, 10), TRANSPORT_EMPTY_INPUT);
    EXPECT_EQ(HttpExchange("http://127.0.0.1:0/", "A", "m", answer, 100, 10), TRANSPORT_NO_CONNECTION);
    EXPECT_TRUE(answer.empty());
}

TEST(TcpConnection, SendsEverythingAcrossPartialSendsAndBoundsEachStep)
{
    // A message far larger than the socket buffers goes out in many partial sends.
    const std::string body(32u << 20, 'b');
    const std::string message = "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    {
        TestDevice device({{{"done"}}});
        auto connection = platform::TcpConnection::connect("127.0.0.1", device.port(), 5000);
        ASSERT_TRUE(connection);
        EXPECT_TRUE(connection->sendAll(message, 20000));
        char buffer[8] = {};
        EXPECT_EQ(connection->receive(buffer, sizeof buffer, 5000), 4);
        bool timedOut = true;
        EXPECT_EQ(connection->receive(buffer, sizeof buffer, 5000, &timedOut), 0); // closed
        EXPECT_FALSE(timedOut);
        EXPECT_EQ(device.request().size(), message.size());
    }
    // Nobody reads: the send gives up at its time-out; nobody writes: so does the receive.
    FullListener deaf(false);
    auto connection = platform::TcpConnection::connect("127.0.0.1", deaf.port(), 2000);
    ASSERT_TRUE(connection);
    const auto start = Clock::now();
    EXPECT_FALSE(connection->sendAll(message, 300));
    char buffer[8];
    bool timedOut = false;
    EXPECT_EQ(connection->receive(buffer, sizeof buffer, 200, &timedOut), 0);
    EXPECT_TRUE(timedOut);
    EXPECT_LT(msSince(start), 5000);
}

TEST(TcpConnection, ResolvesDottedAndNamedHosts)
{
    uint32_t address = 0;
    ASSERT_TRUE(platform::parseIPv4("127.1", address));
    EXPECT_EQ(platform::formatIPv4(address), "127.0.0.1");
    EXPECT_FALSE(platform::parseIPv4("1.2.3.4.5", address));
    EXPECT_FALSE(platform::parseIPv4("device", address));
    EXPECT_EQ(platform::formatIPv4(platform::resolveIPv4("localhost", 5000).value_or(0)), "127.0.0.1");
    EXPECT_FALSE(platform::resolveIPv4("printer.INVALID.", 5000));
    EXPECT_FALSE(platform::resolveIPv4("", 5000));
}

} // namespace
