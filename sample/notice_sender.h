// The device's side of a job-result notice, for the trial run and the tests: one notice record sent
// to the address and port a result listener publishes, in noticelib's protocol.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Connects to address:port, writes record, ends the sending direction and waits until the
/// listener closes the connection: by then it has handed the notice on or dropped it. False when
/// the connection, the send or that wait fails or takes longer than timeoutMs milliseconds in all.
bool SendNotice(const std::string& strAddress, int nPort, std::string_view record, int timeoutMs = 10000);

/// A 600-byte notice record as a device writes it: the kind and the result code little-endian, and
/// each text cut to its room less one byte (the rest zeros).
std::string BuildNoticeRecord(uint32_t nKind, uint16_t wResultCode, std::string_view jobName, std::string_view jobTime,
                              std::string_view printerName, std::string_view faxNumber);
