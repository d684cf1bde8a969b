// The PJL job stream: header lines, the destination block, the fax image and the trailer,
// assembled in a temporary file behind a 260-byte field that holds the file's own path.
#pragma once

#include "jobbuilder/job.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

/// Width of the path field in front of the stream.
inline constexpr size_t kStreamPathField = 260;

/// Values the stream takes from outside the job record.
struct CJobStreamInputs {
    std::string computerName;        ///< PCNAME
    std::string notificationAddress; ///< IPADDRESS ("address:port" or empty)
    std::string spoolTimeText;       ///< SPOOLTIME, also salted into the digests
    /// The digest of a text (empty when no digest server answers).
    std::function<std::string(const std::string&)> digest;
    /// The image to send when it is not the registered one (a converted copy); empty: the registered image.
    std::string imagePath;
};

/// The assembled stream: an open temporary file positioned at the stream, and its length.
/// Closing (destroying) it deletes the file.
class CJobStream {
public:
    CJobStream() = default;
    ~CJobStream() { Discard(); }
    CJobStream(const CJobStream&) = delete;
    CJobStream& operator=(const CJobStream&) = delete;

    int Descriptor() const { return m_fd; }
    const std::string& Path() const { return m_strPath; }
    /// Bytes of the stream proper (from offset 260 on).
    uint64_t Length() const { return m_nLength; }
    /// Closes and deletes the file.
    void Discard();

private:
    friend bool BuildJobStream(const CQeltaJob&, const std::string&, const CJobStreamInputs&, CJobStream&);
    int m_fd = -1;
    std::string m_strPath;
    uint64_t m_nLength = 0;
};

/// The header lines for a job, CR LF after each. False when a line would exceed 1,023 bytes.
bool BuildJobHeader(const CQeltaJob& job, const std::string& jobName, const CJobStreamInputs& inputs,
                    uint32_t imageSize, uint32_t destinationBlockSize, std::string& header);

/// The destination block: 1C 23 3D 01, the count (16 bits, high byte first), then one entry per destination.
std::string BuildDestinationBlock(const CQeltaJob& job);

/// Assembles the whole stream for job in a new temporary file "FAX…" in the temporary folder.
/// On failure nothing is left behind.
bool BuildJobStream(const CQeltaJob& job, const std::string& jobName, const CJobStreamInputs& inputs, CJobStream& out);
