// The sending log store: one entry per sent job in a folder of the per-user log directory, an
// index of all entries in root.xml, and notices to registered windows when entries change.
#pragma once

#include "platform/system_info.h"

#include <cstdint>
#include <string>
#include <vector>

/// One entry of the index: its identifier and log cookie.
class CLogID {
public:
    int32_t m_nID = 0;
    std::string m_strCookie;
    uint32_t m_nCodePage = 0;
};

/// The index as last read from root.xml.
class CLogIndex {
public:
    std::vector<CLogID> m_entries;
    int m_bLoaded = 0;
};

/// What GetLogData2 reads of an entry.
struct CLogData {
    std::string imagePath, logImagePath, documentName, sentDate;
    int32_t status = 0;
};

/// The store. Every operation reads what it needs from disk, so stores in several processes see
/// each other's entries; every change runs under the log directory's lock and replaces files whole.
class CQeltaLog {
public:
    /// codePage: the code page of the texts callers give and take (the process's, by default).
    explicit CQeltaLog(uint32_t codePage = platform::processCodePage());

    /// The log directory: HKCU "LogDirectory", else base/company/qelta/logs (stored back); created when missing.
    static std::string LogDirectory();
    /// The folder of an entry: its identifier as eight hexadecimal digits in the log directory.
    static std::string EntryFolder(int32_t id);

    /// The log cookie of a job: "document name-spool-time text".
    static std::string MakeCookie(const std::string& documentName, const platform::LocalTime& date);

    int CreateLogData2(const std::string& imagePath, const std::string& documentName, const platform::LocalTime& date,
                       int32_t& newId);
    int AddLogProperty2(int32_t id, const std::string& name, const std::string& value);
    /// Copies sourcePath into the entry as fileName (a plain file name) and stores that copy's path under name.
    int AddLogPropertyWithData2(int32_t id, const std::string& name, const std::string& fileName,
                                const std::string& sourcePath);
    int AddLogDestination2(int32_t id, const std::string& field, const std::string& value);
    int FlushLogDestination2(int32_t id);
    /// Why this thread's last operation failed: the errno of the system call that failed in it, 0
    /// when no system call failed (a damaged file, a bad identifier) or the operation succeeded.
    static int LastSystemError();
    /// Tells the registered windows that the entry is written, then pauses 500 ms. Always 1.
    int FlushLogData2(int32_t id);
    int GetLogData2(int32_t id, CLogData& data);
    int GetLogProperty2(int32_t id, const std::string& name, std::string& value);
    int GetDestination2(int32_t id, int32_t index, const std::string& field, std::string& value);
    int ChangeLogStatus2(int32_t id, int32_t status);
    /// The number of entries the index lists, or -1.
    int32_t GetLogCount2();
    /// The identifier at a position of the index as it is now, or 0 for a position outside it.
    int32_t GetLogIdAt(int32_t index);
    /// The newest entry with that cookie (compared without regard to case).
    int FindLogId2(const std::string& cookie, int32_t& id);
    int RemoveLogData2(int32_t id);
    int RegisterCallback2(uint32_t window, uint32_t message, uint32_t mask);
    int UnregisterCallback2(uint32_t window);

private:
    /// Removes an entry's index element from the index text this process wrote last (false when
    /// that text is not the file's any more, or holds no such element).
    bool RemoveFromKnownIndex(const std::string& rootPath, int32_t id);
    /// The same through the index read as a document (which checks that it reads as an index),
    /// rewritten from the list of entries.
    bool RemoveFromIndexDocument(const std::string& directory, int32_t id);

    CLogIndex m_index;
    uint32_t m_nCodePage;
};
