// A device on the loopback interface for the device link's tests: a thread that accepts one
// connection on 127.0.0.1, keeps the request it receives and plays a scripted answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qelta::test {

class TestDevice {
public:
    /// One piece of the answer, sent after a pause.
    struct Piece {
        std::string bytes;
        int delayMs = 0;
    };
    /// What the device does once it has read the request.
    struct Script {
        std::vector<Piece> pieces;
        /// Close the connection after the last piece; otherwise keep it open until the client closes.
        bool closeAfter = true;
    };

    explicit TestDevice(Script script);
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    uint16_t port() const { return port_; }
    /// "127.0.0.1:<port>".
    std::string address() const;
    /// The request as received (head and body), once the device has read it.
    std::string request() const;
    /// How many connections were accepted.
    int connections() const { return connections_; }

    /// A complete HTTP answer with Content-Length.
    static std::string answer(int status, const std::string& body, const std::string& extraHeaders = {});
    /// A SOAP envelope (prefix "env") around body.
    static std::string envelope(const std::string& body);

private:
    void run(Script script);
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::string request_;
    std::thread thread_;
};

/// A listener that never accepts. Filled, its backlog is full and a connect to it waits until
/// the caller's time-out; otherwise connects complete but nobody reads what is sent.
class FullListener {
public:
    explicit FullListener(bool fill = true);
    ~FullListener();
    uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    uint16_t port_ = 0;
    std::vector<int> fillers_;
};

/// A port on 127.0.0.1 where nothing listens.
uint16_t closedPort();

} // namespace qelta::test
