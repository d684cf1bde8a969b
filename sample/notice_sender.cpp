#include "sample/notice_sender.h"

#include "platform/tcp.h"

#include <chrono>

bool SendNotice(const std::string& strAddress, int nPort, std::string_view record, int timeoutMs)
{
    if (nPort <= 0 || nPort > 0xFFFF)
        return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        return ms.count() > 0 ? static_cast<int>(ms.count()) : 0;
    };
    auto connection = platform::TcpConnection::connect(strAddress, static_cast<uint16_t>(nPort), timeoutMs);
    if (!connection || !connection->sendAll(record, left()) || !connection->finishSending())
        return false;
    // The listener sends nothing: the next read ends when it closes the connection.
    char byte = 0;
    bool timedOut = false;
    return connection->receive(&byte, 1, left(), &timedOut) == 0 && !timedOut;
}
