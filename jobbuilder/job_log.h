// Recording a job in the sending log before it is sent: which calls are made on the log, in which
// order, with which property names and values.
#pragma once

#include "jobbuilder/job.h"
#include "sendlog/IQeltaLogTool.h"

#include <functional>
#include <string>

/// Encodes a password as the encryption service does for the user password; false when it cannot.
using CPasswordEncoder = std::function<bool(const std::string& plain, std::string& encoded)>;

/// Records the job under jobName (cut to 80 bytes, the same bytes the stream's JOBNAME carries).
/// Returns the new entry's identifier, or 0 when a call failed; the calls after a failed one are
/// not made, and an entry left unfinished by a failure is removed again.
int32_t RecordJobInLog(IQeltaLogTool& log, const CQeltaJob& job, const std::string& jobName,
                       const CPasswordEncoder& encodePassword);
