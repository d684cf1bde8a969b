// Sending log event notification: programs that show the sending log register an endpoint with
// the log store and are posted a message whenever an entry is written, removed or changes status.
//
// The registrations live in "eventlist.plm" in the log directory, so every process that uses the
// store shares them and they outlive the program that registered. Every operation starts from the
// file and reads and rewrites it under the file's cross-process lock; the file is replaced
// atomically, never removed first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sendlog {

/// Event bits of a registration's mask, and the event a post carries in wParam.
inline constexpr uint32_t kEventEntryWritten = 1;
inline constexpr uint32_t kEventEntryRemoved = 2;
inline constexpr uint32_t kEventStatusChanged = 4;

/// The name of the registration file in the log directory.
inline constexpr const char* kEventListFileName = "eventlist.plm";

/// The largest registration file that is read.
inline constexpr size_t kEventListMaxBytes = 1024 * 1024;

/// One registration: posts of message to the endpoint window for the events in mask.
struct CRegacyCallback {
    uint32_t window = 0;  // endpoint handle
    uint32_t message = 0; // message number posted
    uint32_t mask = 0;    // event bits wanted
    bool operator==(const CRegacyCallback&) const = default;
};

/// The archive of a list of registrations as the registration file holds it: the first record
/// names the class (FFFF, schema FFFF, name length, "CRegacyCallback"), every later one refers to
/// it as 0x8001; each then holds the window, message and mask, all little-endian. An empty list
/// is empty.
std::string encodeEventList(const std::vector<CRegacyCallback>& list);

/// Parses an archive made by encodeEventList; false for anything else (out then holds the
/// registrations before the damage).
bool decodeEventList(const std::string& data, std::vector<CRegacyCallback>& out);

/// Reads a registration file. False when it is missing, larger than kEventListMaxBytes, or damaged.
bool ReadEventList(const std::string& path, std::vector<CRegacyCallback>& out);

/// Replaces a registration file atomically. False when it cannot be written or the list would
/// make a file too large to read back. The caller holds the file's lock.
bool WriteEventList(const std::string& path, const std::vector<CRegacyCallback>& list);

/// Adds a registration in the log directory (a window registered again is added again). A missing
/// file counts as empty; a damaged one is left alone and the call fails.
bool RegisterCallback(const std::string& logDirectory, uint32_t hwnd, uint32_t message, uint32_t mask);

/// Removes the first registration of a window. False when the file cannot be read or rewritten or
/// the window is not registered; the file is then unchanged.
bool UnregisterCallback(const std::string& logDirectory, uint32_t hwnd);

/// Posts each registration whose mask shares a bit with event its message, wParam = event and
/// lParam = entryId. Registrations whose endpoint no longer exists are dropped from the file.
/// Nothing is posted while the file is missing or damaged.
void PostLogEvent(const std::string& logDirectory, uint32_t event, int32_t entryId);

} // namespace sendlog
