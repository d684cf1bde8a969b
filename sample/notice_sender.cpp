#include "sample/notice_sender.h"

#include "platform/tcp.h"

#include <algorithm>
#include <chrono>
#include <cstring>

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

std::string BuildNoticeRecord(uint32_t nKind, uint16_t wResultCode, std::string_view jobName, std::string_view jobTime,
                              std::string_view printerName, std::string_view faxNumber)
{
    std::string record(600, '\0');
    for (int i = 0; i < 4; ++i)
        record[4 + i] = static_cast<char>((nKind >> (8 * i)) & 0xFF);
    record[80] = static_cast<char>(wResultCode & 0xFF);
    record[81] = static_cast<char>(wResultCode >> 8);
    // offset, room (its NUL included), text
    const struct {
        size_t offset, room;
        std::string_view text;
    } texts[] = {{185, 217, jobName}, {402, 70, jobTime}, {472, 33, printerName}, {505, 95, faxNumber}};
    for (const auto& t : texts)
        std::memcpy(record.data() + t.offset, t.text.data(), std::min(t.text.size(), t.room - 1));
    return record;
}
