// A TCP listener over IPv4 that takes one message per connection: the bytes a peer sends before it
// ends its sending direction. Connections are accepted and read on the listener's own thread, many
// at once, each within a bounded time, so a peer that stalls holds up nobody else; a connection
// that carries too much, stalls or fails is closed and its bytes are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace platform {

/// Why a listener could not start.
enum class ListenError { None, BadAddress, AddressNotAvailable, InUse, Failed };

/// How a listener treats its connections.
struct TcpListenerLimits {
    size_t maxMessageBytes = 0; ///< a connection that carries more is dropped as soon as it does
    int messageTimeoutMs = 0;   ///< a connection not ended this long after it was accepted is dropped
    int maxConnections = 16;    ///< connections read at once; further ones wait in the kernel's queue
};

class TcpListener {
public:
    /// Called on the listener's thread with the whole message of one connection and the port
    /// listened on; the connection is closed after it returns, so a peer that waits for the close
    /// knows its message was taken. Exceptions it raises are swallowed.
    using MessageHandler = std::function<void(std::string_view message, uint16_t port)>;

    /// Listens on a dotted IPv4 address of this host (every address when empty) and a port (0: the
    /// kernel chooses one; port() tells which). Null on failure, with the reason in why when given.
    static std::unique_ptr<TcpListener> start(std::string_view address, uint16_t port, const TcpListenerLimits& limits,
                                              MessageHandler handler, ListenError* why = nullptr);

    /// The port listened on.
    uint16_t port() const { return port_; }

    /// Stops listening, closes every open connection and waits for the thread to end: the handler is
    /// not called once this returns. From the handler itself (where it cannot wait for its own thread)
    /// it does nothing and answers false; true otherwise, also when already stopped.
    bool stop();

    /// Stops as stop() does; must not run on the listener's own thread.
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

private:
    struct State;
    TcpListener(std::unique_ptr<State> state, uint16_t port);
    std::unique_ptr<State> state_;
    uint16_t port_ = 0;
};

} // namespace platform
