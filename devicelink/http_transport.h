// The HTTP transport of the device link: one SOAP message posted over HTTP/1.1 and the device's
// complete answer (status line, headers and body) collected, every socket step bounded by the
// caller's time-out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace CMSoapSLib_Ostrel_R1 {

/// Results of an exchange.
enum TransportCode : int32_t {
    TRANSPORT_OK = 0,            ///< the answer was received (possibly cut short by a receive time-out)
    TRANSPORT_EMPTY_INPUT = 1,   ///< url, action or message empty (or holding line breaks); nothing was done
    TRANSPORT_NO_CONNECTION = 2, ///< no connection, or a send failed
    TRANSPORT_UNREADABLE = 3,    ///< the answer could not be read: too large, malformed chunks, or cut
                                 ///< short before the end its head announced
    TRANSPORT_STARTUP = 6,       ///< the socket layer could not be started
};

/// A time-out of -1 (or any negative value) waits this long at most.
inline constexpr int kMaxTimeoutMs = 60000;
/// The longest answer accepted, head included.
inline constexpr size_t kMaxAnswerBytes = 8u << 20;
/// Bytes asked for in each receive step.
inline constexpr int kReceiveBlockBytes = 10240;

/// The time-out actually waited for: negative values become kMaxTimeoutMs.
int BoundedTimeout(int timeoutMs);

/// How long a whole exchange may take, however its device trickles its bytes: four step
/// time-outs, at most kMaxTimeoutMs.
int ExchangeDeadlineMs(int timeoutMs);

/// The parts of an "http://host[:port]/path" address.
struct UrlParts {
    std::string host;
    int port = 80;
    std::string path; ///< from the first '/' after the host, the '/' included; may be empty
};

/// Splits a URL. Without "://" host and path are empty. A ':' counts as the port separator only
/// before the path; the port is read like atoi (leading digits, 0 when none).
UrlParts SplitUrl(std::string_view url);

/// The request head: request line, Host (always with its port), Content-Type, Content-Length and
/// SOAPAction, then the empty line.
std::string RequestHead(const UrlParts& url, std::string_view soapAction, size_t messageLength);

/// Collects an answer as it arrives and says when it is complete: after Content-Length body
/// bytes, after the last chunk of a chunked body (which is decoded), otherwise when the peer
/// closes. Never holds more than its limit.
class CHttpAnswer {
public:
    enum class State { Incomplete, Complete, Failed };

    explicit CHttpAnswer(size_t maxBytes = kMaxAnswerBytes) : maxBytes_(maxBytes) {}

    /// Takes the next bytes received.
    State append(const char* data, size_t size);
    /// No more bytes come (the peer closed, or a receive failed or timed out): an answer whose
    /// head announced its length or chunks and that did not reach their end is Failed; any other
    /// is Complete as it stands.
    State end();
    State state() const { return state_; }
    /// The answer as far as it went: the head, the empty line and the body (decoded when it
    /// came in chunks).
    std::string text() const;

private:
    enum class Framing { Unknown, Length, Chunked, UntilClose };
    void process(size_t searchFrom);
    void readHead();
    void readChunks();

    size_t maxBytes_;
    State state_ = State::Incomplete;
    Framing framing_ = Framing::Unknown;
    std::string raw_;
    size_t bodyStart_ = 0;  // offset of the body in raw_ once the head is complete
    size_t bodyLength_ = 0; // Content-Length
    size_t chunkPos_ = 0;   // next unread byte of a chunked body in raw_
    size_t chunkLeft_ = 0;  // data bytes left of the current chunk
    bool inChunk_ = false, inTrailer_ = false;
    std::string decoded_;
};

/// Posts message to url with the given SOAP action and collects the answer. Each step (connect,
/// send of the head, send of the message, each receive) waits at most BoundedTimeout(timeoutMs),
/// and the whole exchange at most ExchangeDeadlineMs(timeoutMs), which ends the answer as a
/// receive time-out does. An answer cut short before the end its head announced is
/// TRANSPORT_UNREADABLE. receiveSize bytes are asked for per receive (kReceiveBlockBytes when not
/// positive).
int32_t HttpExchange(std::string_view url, std::string_view soapAction, std::string_view message,
                     std::string& answer, int timeoutMs, int receiveSize);

} // namespace CMSoapSLib_Ostrel_R1
