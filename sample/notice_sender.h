// The device's side of a job-result notice, for the trial run and the tests: one notice record sent
// to the address and port a result listener publishes, in noticelib's protocol.
#pragma once

#include <string>
#include <string_view>

/// Connects to address:port, writes record, ends the sending direction and waits until the
/// listener closes the connection: by then it has handed the notice on or dropped it. False when
/// the connection, the send or that wait fails or takes longer than timeoutMs milliseconds in all.
bool SendNotice(const std::string& strAddress, int nPort, std::string_view record, int timeoutMs = 10000);
