// A TCP listener over IPv4 that takes one message per connection: the bytes a peer sends before it
// ends its sending direction. Connections are accepted as soon as they come and read on the
// listener's own thread, many at once, each within a bounded time, so a peer that stalls or trickles
// holds up nobody else: a connection silent for long is dropped early, and when the listener holds
// as many connections as it may, a new one takes the place of the least active of the address that
// holds the most (of its own address first when that address is at its own bound). A connection that
// carries too much or too little, stalls or fails is reset and its bytes are dropped, so that its
// peer never takes it for a message handed on; so is every connection of a process that ends while
// its message is being handed on. What one peer address may hand on is bounded too: beyond a burst,
// one message each interval.
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
    size_t minMessageBytes = 0; ///< a shorter message is dropped without the handler, counting for nothing
    int messageTimeoutMs = 0;   ///< a connection not ended this long after it was accepted is dropped
    int silentTimeoutMs = 0;    ///< one that has sent nothing this long after it was accepted is dropped (0: no own bound)
    int maxConnections = 16;    ///< connections read at once; a further one takes the place of the least active
    int maxConnectionsPerAddress = 0; ///< connections one peer address may hold at once (0: no own bound)
    int messagesPerAddress = 0; ///< messages one peer address may hand on at once (0: no bound) ...
    int messageIntervalPerAddressMs = 0; ///< ... and then one more each this long
    /// a peer on this host whose socket is not this user's is reset unhandled (peerOwner), counting for
    /// nothing against its address's messages
    bool refuseOtherUsers = false;
};

class TcpListener {
public:
    /// Called on the listener's thread with the whole message of one connection and the port
    /// listened on; true when it took the message. The connection is closed after it returns: in
    /// order when the message was taken, so a peer that waits for the close knows it was; with a
    /// reset when it was refused (false, or an exception, which is swallowed), as is every
    /// connection whose message is not handed on (the peer's address has sent what it may for now,
    /// too little or too much, too late), so the peer sees an error instead.
    using MessageHandler = std::function<bool(std::string_view message, uint16_t port)>;

    /// Listens on a dotted IPv4 address of this host (every address when empty) and a port (0: the
    /// kernel chooses one; port() tells which). Null on failure, with the reason in why when given.
    static std::unique_ptr<TcpListener> start(std::string_view address, uint16_t port, const TcpListenerLimits& limits,
                                              MessageHandler handler, ListenError* why = nullptr);

    /// The port listened on.
    uint16_t port() const { return port_; }

    /// Stops listening, resets every open connection and waits for the thread to end: the handler is
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
