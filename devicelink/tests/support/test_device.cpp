#include "devicelink/tests/support/test_device.h"

#include "platform/tests/support/loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace qelta::test {

namespace {

// The loopback listener of the tests, its port as a port number; throws when none can be made.
int loopbackListener(int backlog, uint16_t& port)
{
    int chosen = 0;
    const int fd = listenOnLoopback(backlog, chosen);
    if (fd < 0)
        throw std::runtime_error("listen");
    port = static_cast<uint16_t>(chosen);
    return fd;
}

bool readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// The size of the whole request once its head is in (the head and Content-Length body bytes), else 0.
size_t requestSize(const std::string& request)
{
    const size_t end = request.find("\r\n\r\n");
    if (end == std::string::npos)
        return 0;
    const size_t field = request.find("Content-Length: ");
    if (field == std::string::npos || field > end)
        return end + 4;
    return end + 4 + std::stoul(request.substr(field + 16));
}

} // namespace

TestDevice::TestDevice(Script script)
{
    listener_ = loopbackListener(4, port_);
    thread_ = std::thread([this, s = std::move(script)]() mutable { run(std::move(s)); });
}

TestDevice::~TestDevice()
{
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string TestDevice::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TestDevice::request() const
{
    std::lock_guard lock(mutex_);
    return request_;
}

void TestDevice::run(Script script)
{
    while (!stop_ && !readable(listener_, 20)) {
    }
    if (stop_)
        return;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    ++connections_;
    std::string request;
    char buffer[4096];
    size_t expected = 0;
    std::vector<char> block(1 << 16);
    while (!stop_ && (expected == 0 || request.size() < expected)) {
        if (!readable(fd, 20))
            continue;
        const ssize_t n = ::recv(fd, block.data(), block.size(), 0);
        if (n <= 0)
            break;
        request.append(block.data(), static_cast<size_t>(n));
        if (expected == 0)
            expected = requestSize(request);
    }
    {
        std::lock_guard lock(mutex_);
        request_ = request;
    }
    for (const auto& piece : script.pieces) {
        for (int waited = 0; waited < piece.delayMs && !stop_; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        size_t sent = 0;
        while (sent < piece.bytes.size() && !stop_) {
            const ssize_t n = ::send(fd, piece.bytes.data() + sent, piece.bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 20);
            } else
                break;
        }
    }
    // Kept open: wait until the client goes away (or the test ends).
    while (!script.closeAfter && !stop_) {
        if (readable(fd, 20) && ::recv(fd, buffer, sizeof buffer, 0) <= 0)
            break;
    }
    ::close(fd);
}

std::string TestDevice::answer(int status, const std::string& body, const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Type: application/soap+xml\r\n" + extraHeaders
           + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string TestDevice::envelope(const std::string& body)
{
    return "<env:Envelope xmlns:env=\"http://www.w3.org/2001/12/soap-envelope\"><env:Body>" + body
           + "</env:Body></env:Envelope>";
}

FullListener::FullListener(bool fill)
{
    listener_ = loopbackListener(fill ? 0 : 4, port_);
    if (!fill)
        return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port_);
    // Connections nobody accepts fill the queue; once a connect no longer completes, it is full.
    for (int i = 0; i < 16; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 200) == 0)
                break;
        }
    }
}

FullListener::~FullListener()
{
    for (const int fd : fillers_)
        ::close(fd);
    ::close(listener_);
}

uint16_t closedPort()
{
    uint16_t port = 0;
    ::close(loopbackListener(1, port));
    return port;
}

} // namespace qelta::test
