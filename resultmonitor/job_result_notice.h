// One job-result notice as the device reports it: a 600-byte record whose fields are read at fixed
// offsets. The record comes from the network, so every text is read within its own room and
// numbers are read as little-endian values whatever the host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

/// Size of a notice record.
inline constexpr size_t kJobResultNoticeBytes = 600;

/// Notice kinds the monitor accepts (others are dropped on the listener's thread).
inline constexpr uint32_t kNoticeKindFirst = 1;
inline constexpr uint32_t kNoticeKindLast = 2;

/// Where each field lies in the record and how much room a text has (its NUL included).
struct JobResultNoticeLayout {
    static constexpr size_t kKindOffset = 4;
    static constexpr size_t kResultCodeOffset = 80;
    static constexpr size_t kJobNameOffset = 185;
    static constexpr size_t kJobNameRoom = 217;
    static constexpr size_t kJobTimeOffset = 402;
    static constexpr size_t kJobTimeRoom = 70;
    static constexpr size_t kPrinterNameOffset = 472;
    static constexpr size_t kPrinterNameRoom = 33;
    static constexpr size_t kFaxNumberOffset = 505;
    static constexpr size_t kFaxNumberRoom = 95;
};

/// A heap copy of one notice record, made on the listener's thread and handled on the UI thread.
class CJobResultNotice {
public:
    /// Copies the first kJobResultNoticeBytes of pRecord.
    explicit CJobResultNotice(const void* pRecord);
    virtual ~CJobResultNotice() = default;

    /// The notice kind (32-bit, little-endian, at offset 4).
    uint32_t GetNoticeKind() const;
    /// The result code (16-bit, little-endian, at offset 80): low byte the result, high byte the phase.
    uint16_t GetResultCode() const;
    /// The texts, each ending at its first NUL or at the end of its room.
    std::string GetJobName() const;
    std::string GetJobTime() const;
    std::string GetPrinterName() const;
    std::string GetFaxNumber() const;

    /// The record's bytes as they arrived.
    const std::array<unsigned char, kJobResultNoticeBytes>& GetBytes() const { return m_bytes; }

    /// The kind of a record not yet copied: what the listener's thread checks before copying.
    static uint32_t ReadNoticeKind(const void* pRecord);

private:
    std::string TextAt(size_t nOffset, size_t nRoom) const;

    std::array<unsigned char, kJobResultNoticeBytes> m_bytes{};
};
