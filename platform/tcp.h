// A small TCP client over IPv4 in which every blocking step is bounded by a time-out: name
// resolution, connect, send and receive. Sends never raise SIGPIPE, so a peer that closed the
// connection is an error to the caller, never the end of the process. A negative time-out waits
// without limit; callers that talk to devices pass a bounded one.
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Reads a dotted IPv4 address the way the classic resolver does ("192.0.2.7", also "127.1" or
/// hexadecimal parts); address is in network byte order. False when the text is not one.
bool parseIPv4(std::string_view text, uint32_t& address);

/// The dotted form "a.b.c.d" of an address in network byte order.
std::string formatIPv4(uint32_t address);

/// The first IPv4 address of a host name or dotted address, waiting at most timeoutMs
/// milliseconds for the resolver. Names under ".invalid" fail at once without asking it.
std::optional<uint32_t> resolveIPv4(std::string_view host, int timeoutMs);

/// Every IPv4 address of a host name or dotted address, in the resolver's order without repeats,
/// as resolveIPv4 finds them; empty when it does not resolve in time.
std::vector<uint32_t> resolveIPv4All(std::string_view host, int timeoutMs);

/// Whose socket is at the other end of a connection.
enum class PeerOwner {
    Remote,    ///< another host's (a device's): the peer is on none of this host's sockets
    ThisUser,  ///< a socket of this host that belongs to this process's effective user
    OtherUser, ///< a socket of this host of another user or of none any longer, or a loopback peer not found
};

/// Who holds the peer of a connected TCP socket. A peer on this host has a socket of the host with
/// the user that made it; a peer that has closed its socket has no user any longer. The kernel's
/// socket diagnostics find that socket by its two ends at a cost that does not grow with the host's
/// sockets; where they cannot be asked, the host's tables of TCP sockets (/proc/net/tcp, and
/// /proc/net/tcp6 for an IPv6 socket) are read through.
PeerOwner peerOwner(int socket);

/// The two ways peerOwner finds the peer's socket.
enum class OwnerLookup {
    Diagnostics, ///< an exact lookup through the kernel's socket diagnostics (netlink)
    Tables,      ///< a reading of the host's tables of TCP sockets
};

/// peerOwner by one way alone; nothing when that way cannot tell (no socket diagnostics, or
/// diagnostics that do not find this end of the connection either).
std::optional<PeerOwner> peerOwnerBy(int socket, OwnerLookup way);

/// Why a connection could not be made.
enum class ConnectError { None, NotResolved, Refused, TimedOut, Failed };

/// A connected TCP stream; shut down in both directions and closed when destroyed.
class TcpConnection {
public:
    /// Resolves host and connects to port, all within timeoutMs milliseconds. Null on failure,
    /// with the reason in why when given.
    static std::unique_ptr<TcpConnection> connect(std::string_view host, uint16_t port, int timeoutMs,
                                                  ConnectError* why = nullptr);

    /// Sends all of data, continuing after partial sends, within timeoutMs milliseconds in all.
    /// False when the time ran out or the peer is gone.
    bool sendAll(std::string_view data, int timeoutMs);

    /// Receives up to size bytes, waiting at most timeoutMs milliseconds for them. The count
    /// received; 0 when the peer closed the connection or the time ran out (timedOut tells which);
    /// -1 on an error.
    long receive(void* buffer, size_t size, int timeoutMs, bool* timedOut = nullptr);

    /// Ends the sending direction: the peer reads the end of the stream, and receiving goes on.
    /// False on an error.
    bool finishSending();

    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

private:
    explicit TcpConnection(FileDescriptor socket) : socket_(std::move(socket)) {}
    FileDescriptor socket_;
};

} // namespace platform
