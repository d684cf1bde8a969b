#include "sendlog/event_list.h"

#include "platform/endpoint.h"
#include "platform/files.h"

#include <string_view>

namespace sendlog {

namespace {

constexpr std::string_view kClassName = "CRegacyCallback";
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kSchema = 0xFFFF;
constexpr uint16_t kClassIndexTag = 0x8001; // the class given first, index 1
constexpr size_t kFieldsSize = 12;
constexpr size_t kFirstRecordSize = 2 + 2 + 2 + kClassName.size() + kFieldsSize;
constexpr size_t kLaterRecordSize = 2 + kFieldsSize;

void put16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

uint16_t get16(const std::string& data, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(data[at]) | static_cast<uint8_t>(data[at + 1]) << 8);
}

uint32_t get32(const std::string& data, size_t at)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(data[at + i])) << (8 * i);
    return v;
}

size_t archiveSize(size_t count) { return count == 0 ? 0 : kFirstRecordSize + (count - 1) * kLaterRecordSize; }

std::string eventListPath(const std::string& logDirectory)
{
    return platform::joinPath(logDirectory, kEventListFileName);
}

enum class ListState { Read, Missing, Unusable };

ListState readList(const std::string& path, std::vector<CRegacyCallback>& out)
{
    out.clear();
    std::string data;
    switch (platform::readFile(path, data, kEventListMaxBytes)) {
    case platform::ReadStatus::Ok:
        return decodeEventList(data, out) ? ListState::Read : ListState::Unusable;
    case platform::ReadStatus::NotFound:
        return ListState::Missing;
    default:
        return ListState::Unusable;
    }
}

} // namespace

std::string encodeEventList(const std::vector<CRegacyCallback>& list)
{
    std::string out;
    out.reserve(archiveSize(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        if (i == 0) {
            put16(out, kNewClassTag);
            put16(out, kSchema);
            put16(out, static_cast<uint16_t>(kClassName.size()));
            out.append(kClassName);
        } else {
            put16(out, kClassIndexTag);
        }
        put32(out, list[i].window);
        put32(out, list[i].message);
        put32(out, list[i].mask);
    }
    return out;
}

bool decodeEventList(const std::string& data, std::vector<CRegacyCallback>& out)
{
    out.clear();
    size_t at = 0;
    while (at < data.size()) {
        if (at == 0) {
            if (data.size() < kFirstRecordSize || get16(data, 0) != kNewClassTag || get16(data, 2) != kSchema ||
                get16(data, 4) != static_cast<uint16_t>(kClassName.size()) || std::string_view(data).substr(6, kClassName.size()) != kClassName)
                return false;
            at = kFirstRecordSize - kFieldsSize;
        } else {
            if (data.size() - at < kLaterRecordSize || get16(data, at) != kClassIndexTag)
                return false;
            at += 2;
        }
        out.push_back({get32(data, at), get32(data, at + 4), get32(data, at + 8)});
        at += kFieldsSize;
    }
    return true;
}

bool ReadEventList(const std::string& path, std::vector<CRegacyCallback>& out)
{
    return readList(path, out) == ListState::Read;
}

bool WriteEventList(const std::string& path, const std::vector<CRegacyCallback>& list)
{
    if (archiveSize(list.size()) > kEventListMaxBytes)
        return false;
    platform::removeStaleTemporaries(path);
    return platform::writeFileAtomic(path, encodeEventList(list));
}

bool RegisterCallback(const std::string& logDirectory, uint32_t hwnd, uint32_t message, uint32_t mask)
{
    const std::string path = eventListPath(logDirectory);
    const platform::FileLock lock(path);
    if (!lock.locked())
        return false;
    std::vector<CRegacyCallback> list;
    if (readList(path, list) == ListState::Unusable)
        return false;
    list.push_back({hwnd, message, mask});
    return WriteEventList(path, list);
}

bool UnregisterCallback(const std::string& logDirectory, uint32_t hwnd)
{
    const std::string path = eventListPath(logDirectory);
    const platform::FileLock lock(path);
    if (!lock.locked())
        return false;
    std::vector<CRegacyCallback> list;
    if (readList(path, list) != ListState::Read)
        return false;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->window == hwnd) {
            list.erase(it);
            return WriteEventList(path, list);
        }
    }
    return false;
}

void PostLogEvent(const std::string& logDirectory, uint32_t event, int32_t entryId)
{
    const std::string path = eventListPath(logDirectory);
    const platform::FileLock lock(path);
    if (!lock.locked())
        return;
    std::vector<CRegacyCallback> list;
    if (readList(path, list) != ListState::Read)
        return;
    std::vector<CRegacyCallback> kept;
    kept.reserve(list.size());
    for (const CRegacyCallback& entry : list) {
        if ((entry.mask & event) != 0 && !platform::postMessage(entry.window, entry.message, event, entryId) &&
            !platform::endpointExists(entry.window))
            continue; // the endpoint is gone: drop its registration
        kept.push_back(entry);
    }
    if (kept.size() != list.size())
        WriteEventList(path, kept); // a failed rewrite only keeps the stale registrations
}

} // namespace sendlog
