#include "devicelink/http_transport.h"

#include "platform/tcp.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <vector>

namespace CMSoapSLib_Ostrel_R1 {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
// A chunk-size line longer than this is not one.
constexpr size_t kMaxChunkLine = 1024;

// Leading decimal digits as atoi reads them (0 when none), held below 65536 + 1.
int leadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long>(value * 10 + (text[i] - '0'), 65536);
    return static_cast<int>(value);
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

} // namespace

int BoundedTimeout(int timeoutMs) { return timeoutMs < 0 ? kMaxTimeoutMs : timeoutMs; }

int ExchangeDeadlineMs(int timeoutMs) { return std::min(BoundedTimeout(timeoutMs), kMaxTimeoutMs / 4) * 4; }

UrlParts SplitUrl(std::string_view url)
{
    UrlParts parts;
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return parts;
    const std::string_view rest = url.substr(scheme + 3);
    const size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
        parts.host = authority.substr(0, colon);
        parts.port = leadingNumber(authority.substr(colon + 1));
    } else {
        parts.host = authority;
    }
    if (slash != std::string_view::npos)
        parts.path = rest.substr(slash);
    return parts;
}

std::string RequestHead(const UrlParts& url, std::string_view soapAction, size_t messageLength)
{
    std::string head;
    head.reserve(160 + url.path.size() + url.host.size() + soapAction.size());
    head.append("POST ").append(url.path).append(" HTTP/1.1\r\n");
    head.append("Host: ").append(url.host).append(":").append(std::to_string(url.port)).append("\r\n");
    head.append("Content-Type: application/soap; charset=\"utf-8\"\r\n");
    head.append("Content-Length: ").append(std::to_string(messageLength)).append("\r\n");
    head.append("SOAPAction: \"").append(soapAction).append("\"\r\n");
    head.append("\r\n");
    return head;
}

// ---- the answer ----

CHttpAnswer::State CHttpAnswer::append(const char* data, size_t size)
{
    if (state_ != State::Incomplete)
        return state_;
    // Bytes beyond the limit count only when the answer is not complete without them.
    const bool cut = size > maxBytes_ - raw_.size();
    const size_t searchFrom = raw_.size() >= 3 ? raw_.size() - 3 : 0;
    raw_.append(data, cut ? maxBytes_ - raw_.size() : size);
    process(searchFrom);
    if (cut && state_ == State::Incomplete)
        state_ = State::Failed;
    return state_;
}

CHttpAnswer::State CHttpAnswer::end()
{
    if (state_ == State::Incomplete)
        state_ = framing_ == Framing::Length || framing_ == Framing::Chunked ? State::Failed : State::Complete;
    return state_;
}

void CHttpAnswer::process(size_t searchFrom)
{
    if (framing_ == Framing::Unknown) {
        const size_t end = raw_.find(kHeadEnd, searchFrom);
        if (end == std::string::npos)
            return;
        bodyStart_ = end + kHeadEnd.size();
        readHead();
        if (state_ != State::Incomplete)
            return;
    }
    switch (framing_) {
    case Framing::Length:
        if (raw_.size() - bodyStart_ >= bodyLength_)
            state_ = State::Complete;
        break;
    case Framing::Chunked:
        readChunks();
        break;
    default:
        break;
    }
}

void CHttpAnswer::readHead()
{
    framing_ = Framing::UntilClose;
    bool haveLength = false, chunked = false, encoded = false;
    std::string_view head(raw_.data(), bodyStart_ - kHeadEnd.size());
    // The status line first, then one field per line.
    size_t pos = head.find("\r\n");
    while (pos != std::string_view::npos) {
        pos += 2;
        const size_t eol = head.find("\r\n", pos);
        const std::string_view line = head.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        pos = eol;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = platform::trimBlanks(line.substr(0, colon));
        const std::string_view value = platform::trimBlanks(line.substr(colon + 1));
        if (platform::equalsNoCase(name, "Content-Length")) {
            if (value.empty() || value.size() > 12 || value.find_first_not_of("0123456789") != std::string_view::npos) {
                state_ = State::Failed;
                return;
            }
            const size_t length = static_cast<size_t>(std::stoull(std::string(value)));
            if ((haveLength && length != bodyLength_) || length > maxBytes_) {
                state_ = State::Failed;
                return;
            }
            haveLength = true;
            bodyLength_ = length;
        } else if (platform::equalsNoCase(name, "Transfer-Encoding")) {
            encoded = true;
            const size_t comma = value.rfind(',');
            chunked = platform::equalsNoCase(platform::trimBlanks(comma == std::string_view::npos ? value : value.substr(comma + 1)),
                                             "chunked");
        }
    }
    if (encoded)
        framing_ = chunked ? Framing::Chunked : Framing::UntilClose;
    else if (haveLength)
        framing_ = Framing::Length;
    chunkPos_ = bodyStart_;
}

void CHttpAnswer::readChunks()
{
    for (;;) {
        const size_t available = raw_.size() - chunkPos_;
        if (inChunk_) {
            const size_t take = std::min(chunkLeft_, available);
            decoded_.append(raw_, chunkPos_, take);
            chunkPos_ += take;
            chunkLeft_ -= take;
            if (chunkLeft_ > 0 || raw_.size() - chunkPos_ < 2)
                return;
            if (raw_.compare(chunkPos_, 2, "\r\n") != 0) {
                state_ = State::Failed;
                return;
            }
            chunkPos_ += 2;
            inChunk_ = false;
            continue;
        }
        const size_t eol = raw_.find("\r\n", chunkPos_);
        if (eol == std::string::npos) {
            // The line so far, less a '\r' that may begin its end: over the limit fails now, as it
            // would once the end came.
            if (available - (available > 0 && raw_.back() == '\r' ? 1 : 0) > kMaxChunkLine)
                state_ = State::Failed;
            return;
        }
        const std::string_view line(raw_.data() + chunkPos_, eol - chunkPos_);
        chunkPos_ = eol + 2;
        if (line.size() > kMaxChunkLine) { // a size line or a trailer field alike
            state_ = State::Failed;
            return;
        }
        if (inTrailer_) {
            if (line.empty()) {
                state_ = State::Complete;
                return;
            }
            continue;
        }
        size_t size = 0, digits = 0;
        for (; digits < line.size() && platform::hexDigitValue(line[digits]) >= 0; ++digits) {
            size = size * 16 + static_cast<size_t>(platform::hexDigitValue(line[digits]));
            if (size > maxBytes_) {
                state_ = State::Failed;
                return;
            }
        }
        const std::string_view extension = platform::trimBlanks(line.substr(digits));
        if (digits == 0 || (!extension.empty() && extension.front() != ';')) {
            state_ = State::Failed;
            return;
        }
        if (size == 0)
            inTrailer_ = true;
        else
            inChunk_ = true, chunkLeft_ = size;
    }
}

std::string CHttpAnswer::text() const
{
    switch (framing_) {
    case Framing::Length:
        return raw_.substr(0, bodyStart_ + std::min(bodyLength_, raw_.size() - bodyStart_));
    case Framing::Chunked:
        return raw_.substr(0, bodyStart_) + decoded_;
    default:
        return raw_;
    }
}

// ---- the exchange ----

int32_t HttpExchange(std::string_view url, std::string_view soapAction, std::string_view message,
                     std::string& answer, int timeoutMs, int receiveSize)
{
    if (url.empty() || soapAction.empty() || message.empty() || hasLineBreak(url) || hasLineBreak(soapAction))
        return TRANSPORT_EMPTY_INPUT;
    const UrlParts parts = SplitUrl(url);
    if (parts.port <= 0 || parts.port > 65535)
        return TRANSPORT_NO_CONNECTION;
    // Every step waits its time-out, but never past the exchange's deadline.
    using Clock = std::chrono::steady_clock;
    const int timeout = BoundedTimeout(timeoutMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ExchangeDeadlineMs(timeoutMs));
    const auto stepTimeout = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, timeout));
    };
    auto connection = platform::TcpConnection::connect(parts.host, static_cast<uint16_t>(parts.port), stepTimeout());
    if (!connection)
        return TRANSPORT_NO_CONNECTION;
    if (!connection->sendAll(RequestHead(parts, soapAction, message.size()), stepTimeout())
        || !connection->sendAll(message, stepTimeout()))
        return TRANSPORT_NO_CONNECTION;

    const size_t blockBytes = static_cast<size_t>(receiveSize > 0 ? receiveSize : kReceiveBlockBytes);
    std::unique_ptr<char[]> block(new (std::nothrow) char[blockBytes]);
    if (!block)
        return TRANSPORT_UNREADABLE;
    CHttpAnswer collected;
    auto state = CHttpAnswer::State::Incomplete;
    while (state == CHttpAnswer::State::Incomplete) {
        // The deadline ends the answer as a receive time-out does, also for a device that is
        // still sending.
        long received = 0;
        if (Clock::now() < deadline) {
            std::fill_n(block.get(), blockBytes, '\0');
            received = connection->receive(block.get(), blockBytes, stepTimeout());
        }
        state = received > 0 ? collected.append(block.get(), static_cast<size_t>(received)) : collected.end();
    }
    if (state == CHttpAnswer::State::Failed)
        return TRANSPORT_UNREADABLE;
    answer.append(collected.text());
    return TRANSPORT_OK;
}

} // namespace CMSoapSLib_Ostrel_R1
