#include "platform/registry.h"

#include "platform/files.h"
#include "platform/state.h"

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace platform {

namespace {

thread_local std::string tlsLastError;
// Set while this thread runs a change function under a hive's locks.
thread_local bool tlsInsideChange = false;

RegStatus failWith(RegStatus status, std::string text)
{
    tlsLastError = std::move(text);
    return status;
}

// The parsed tree of one hive file, shared by every thread of the process.
//
// The cache keeps the parsed file open: while it does, that inode cannot be reused, so a path
// whose device and inode still match holds exactly the file we parsed (writers never change a
// hive in place; they rename a new file over it). Size and times catch hand edits made in place.
struct HiveCache {
    std::mutex mutex;
    int fd = -1;
    FileStamp stamp;
    std::unique_ptr<RegNode> tree; // null until loaded; an absent file loads as an empty tree
    std::optional<std::pair<RegStatus, std::string>> failure; // why the file at fd and stamp was refused
    std::string reportedError;     // last corruption reported, so each one is reported once

    ~HiveCache()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void drop()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        stamp = {};
        tree.reset();
        failure.reset();
    }
    // Remembers that the file open as fd cannot be used, so it is not read again until it changes.
    RegStatus refuse(int file, const FileStamp& fileStamp, RegStatus status, std::string message)
    {
        drop();
        fd = file;
        stamp = fileStamp;
        failure.emplace(status, message);
        return failWith(status, std::move(message));
    }
};

std::mutex cachesMutex;
std::map<std::string, std::shared_ptr<HiveCache>> caches;

std::shared_ptr<HiveCache> cacheFor(const std::string& path)
{
    std::lock_guard lock(cachesMutex);
    auto& slot = caches[path];
    if (!slot) {
        if (caches.size() > 32) { // tests relocate the state root often; keep the table small
            for (auto it = caches.begin(); it != caches.end();)
                it = (it->second.use_count() == 1 && it->first != path) ? caches.erase(it) : std::next(it);
        }
        slot = std::make_shared<HiveCache>();
    }
    return slot;
}

// Brings cache up to date with the file; call with cache.mutex held. Ok, Corrupt or IoError.
RegStatus refresh(HiveCache& cache, const std::string& path, Hive hive)
{
    const FileStamp now = fileStamp(path);
    if (cache.fd >= 0 && now == cache.stamp) {
        if (cache.tree)
            return RegStatus::Ok;
        if (cache.failure)
            return failWith(cache.failure->first, cache.failure->second);
    }
    if (!now.exists) {
        cache.drop();
        cache.tree = std::make_unique<RegNode>(hiveRootName(hive));
        return RegStatus::Ok;
    }
    std::error_code ec;
    const int fd = openRegularFile(path, O_RDONLY, &ec);
    if (fd < 0) {
        if (ec == std::errc::no_such_file_or_directory) { // removed between the stamp and the open
            cache.drop();
            cache.tree = std::make_unique<RegNode>(hiveRootName(hive));
            return RegStatus::Ok;
        }
        cache.drop();
        return failWith(RegStatus::IoError, path + ": cannot open the hive (" + ec.message() + ")");
    }
    std::string text;
    FileStamp stamp;
    const ReadStatus rs = readOpenFile(fd, text, kMaxHiveFileBytes, &ec, &stamp);
    if (rs == ReadStatus::TooLarge)
        return cache.refuse(fd, openFileStamp(fd), RegStatus::Corrupt,
                            path + ": hive file larger than the registry accepts");
    if (rs != ReadStatus::Ok) {
        ::close(fd);
        cache.drop();
        return failWith(RegStatus::IoError, path + ": " + ec.message());
    }
    std::string why;
    auto tree = parseHiveText(text, hiveRootName(hive), &why);
    if (!tree) {
        std::string message = path + ": damaged hive, left unchanged (" + why + ")";
        if (cache.reportedError != message) {
            std::fprintf(stderr, "registry: %s\n", message.c_str());
            cache.reportedError = message;
        }
        return cache.refuse(fd, stamp, RegStatus::Corrupt, std::move(message));
    }
    cache.drop();
    cache.fd = fd;
    cache.stamp = stamp;
    cache.tree = std::move(tree);
    cache.reportedError.clear();
    return RegStatus::Ok;
}

RegStatus reentered()
{
    return failWith(RegStatus::Reentered, "the registry was called from inside an update's change function");
}

// Runs a read-only visit over the current tree.
RegStatus readHive(Hive hive, const std::function<RegStatus(const RegNode&)>& visit)
{
    if (tlsInsideChange)
        return reentered();
    const std::string path = hiveFilePath(hive);
    auto cache = cacheFor(path);
    std::lock_guard lock(cache->mutex);
    if (const RegStatus s = refresh(*cache, path, hive); s != RegStatus::Ok)
        return s;
    return visit(*cache->tree);
}

// Runs a change under the hive's lock and writes the result back. A change that answers anything
// but Ok leaves the file as it was; so does a change that made no difference (changed == false).
RegStatus changeHive(Hive hive, const std::function<RegStatus(RegNode&, bool& changed)>& change)
{
    if (tlsInsideChange)
        return reentered();
    const std::string path = hiveFilePath(hive);
    auto cache = cacheFor(path);
    std::lock_guard lock(cache->mutex);
    std::error_code ec;
    if (!createDirectories(parentPath(path), &ec))
        return failWith(RegStatus::IoError, parentPath(path) + ": " + ec.message());
    keepOthersFromWriting(parentPath(path)); // no other user may swap the hive for one of theirs
    FileLock fileLock(path);
    if (!fileLock.locked())
        return failWith(RegStatus::IoError, path + ".lock: " + fileLock.error().message());
    if (const RegStatus s = refresh(*cache, path, hive); s != RegStatus::Ok)
        return s;
    bool changed = false;
    RegStatus s;
    {
        struct InsideChange {
            InsideChange() { tlsInsideChange = true; }
            ~InsideChange() { tlsInsideChange = false; }
        } inside;
        s = change(*cache->tree, changed);
    }
    if (s != RegStatus::Ok || !changed)
        return s;
    removeStaleTemporaries(path);
    if (!writeFileAtomic(path, formatHiveText(*cache->tree, hiveRootName(hive)), &ec)) {
        cache->drop(); // the tree is ahead of the file: load again next time
        return failWith(RegStatus::IoError, path + ": " + ec.message());
    }
    // Still under the lock, so the file is the one just written: remember it without parsing it again.
    const int fd = openRegularFile(path, O_RDONLY);
    const FileStamp stamp = fd >= 0 ? openFileStamp(fd) : FileStamp{};
    if (stamp.exists) {
        if (cache->fd >= 0)
            ::close(cache->fd);
        cache->fd = fd;
        cache->stamp = stamp;
    } else {
        if (fd >= 0)
            ::close(fd);
        cache->drop();
    }
    return RegStatus::Ok;
}

// Walks to the key at path; null when any level is missing.
template <typename Node>
Node* findKey(Node& root, const std::vector<std::string_view>& parts)
{
    Node* node = &root;
    for (auto part : parts) {
        node = node->child(part);
        if (!node)
            return nullptr;
    }
    return node;
}

RegStatus splitOrFail(std::string_view path, std::vector<std::string_view>& parts)
{
    std::string why;
    if (!splitKeyPath(path, parts, &why))
        return failWith(RegStatus::InvalidName, "key path \"" + std::string(path) + "\": " + why);
    return RegStatus::Ok;
}

RegStatus valueNameOrFail(std::string_view name)
{
    if (auto problem = checkValueName(name); !problem.empty())
        return failWith(RegStatus::InvalidName, problem);
    return RegStatus::Ok;
}

} // namespace

namespace {

// Visits the key at path of the hive as it is now; NotFound when it does not exist.
RegStatus readKey(Hive hive, const std::string& path, const std::function<RegStatus(const RegNode&)>& visit)
{
    std::vector<std::string_view> parts;
    if (const RegStatus s = splitOrFail(path, parts); s != RegStatus::Ok)
        return s;
    return readHive(hive, [&](const RegNode& root) {
        const RegNode* node = findKey(root, parts);
        return node ? visit(*node) : failWith(RegStatus::NotFound, "no key " + path);
    });
}

// Changes the key at path under the hive's lock; NotFound when it does not exist.
RegStatus changeKey(Hive hive, const std::string& path, const std::function<RegStatus(RegNode&, bool&)>& change)
{
    std::vector<std::string_view> parts;
    if (const RegStatus s = splitOrFail(path, parts); s != RegStatus::Ok)
        return s;
    return changeHive(hive, [&](RegNode& root, bool& changed) {
        RegNode* node = findKey(root, parts);
        return node ? change(*node, changed) : failWith(RegStatus::NotFound, "no key " + path);
    });
}

} // namespace

const char* hiveRootName(Hive hive)
{
    switch (hive) {
    case Hive::CurrentUser:
        return "HKEY_CURRENT_USER";
    case Hive::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case Hive::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_CURRENT_USER";
}

std::string hiveFilePath(Hive hive)
{
    switch (hive) {
    case Hive::CurrentUser:
        return userStateFolder() + "/HKCU.reg";
    case Hive::LocalMachine:
        return machineStateFolder() + "/HKLM.reg";
    case Hive::ClassesRoot:
        return machineStateFolder() + "/HKCR.reg";
    }
    return userStateFolder() + "/HKCU.reg";
}

std::string registryLastError() { return tlsLastError; }

RegStatus RegistryKey::open(Hive hive, std::string_view path, RegistryKey& key)
{
    const RegStatus s = readKey(hive, std::string(path), [](const RegNode&) { return RegStatus::Ok; });
    if (s == RegStatus::Ok) {
        key.hive_ = hive;
        key.path_ = std::string(path);
    }
    return s;
}

RegStatus RegistryKey::create(Hive hive, std::string_view path, RegistryKey& key)
{
    std::vector<std::string_view> parts;
    if (const RegStatus s = splitOrFail(path, parts); s != RegStatus::Ok)
        return s;
    const RegStatus s = changeHive(hive, [&](RegNode& root, bool& changed) {
        RegNode* node = &root;
        for (auto part : parts) {
            RegNode* next = node->child(part);
            if (!next) {
                next = &node->ensureChild(part);
                changed = true;
            }
            node = next;
        }
        return RegStatus::Ok;
    });
    if (s == RegStatus::Ok) {
        key.hive_ = hive;
        key.path_ = std::string(path);
    }
    return s;
}

RegStatus RegistryKey::query(std::string_view valueName, RegValue& value) const
{
    return readKey(hive_, path_, [&](const RegNode& node) {
        const RegValue* v = node.value(valueName);
        if (!v)
            return failWith(RegStatus::NotFound, "no value " + std::string(valueName));
        value = *v;
        return RegStatus::Ok;
    });
}

RegStatus RegistryKey::set(std::string_view valueName, const RegValue& value)
{
    return update(valueName, [&](const RegValue*) { return std::optional<RegValue>(value); });
}

RegStatus RegistryKey::removeValue(std::string_view valueName)
{
    return changeKey(hive_, path_, [&](RegNode& node, bool& changed) {
        if (!node.removeValue(valueName))
            return failWith(RegStatus::NotFound, "no value " + std::string(valueName));
        changed = true;
        return RegStatus::Ok;
    });
}

RegStatus RegistryKey::update(std::string_view valueName,
                              const std::function<std::optional<RegValue>(const RegValue* current)>& change)
{
    if (const RegStatus s = valueNameOrFail(valueName); s != RegStatus::Ok)
        return s;
    return changeKey(hive_, path_, [&](RegNode& node, bool& changed) {
        std::optional<RegValue> next = change(node.value(valueName));
        if (!next)
            return RegStatus::Ok;
        if (next->data.size() > kMaxValueDataBytes)
            return failWith(RegStatus::InvalidName, "value data larger than the registry accepts");
        const RegValue* old = node.value(valueName);
        if (!old || !(*old == *next)) {
            node.setValue(valueName, std::move(*next));
            changed = true;
        }
        return RegStatus::Ok;
    });
}

RegStatus RegistryKey::subKeys(std::vector<std::string>& names) const
{
    names.clear();
    return readKey(hive_, path_, [&](const RegNode& node) {
        for (const auto& [k, child] : node.children())
            names.push_back(child->name());
        return RegStatus::Ok;
    });
}

RegStatus RegistryKey::values(std::vector<std::pair<std::string, RegValue>>& values) const
{
    values.clear();
    return readKey(hive_, path_, [&](const RegNode& node) {
        values = node.values();
        return RegStatus::Ok;
    });
}

namespace {
RegStatus removeKey(Hive hive, std::string_view path, bool wholeTree)
{
    std::vector<std::string_view> parts;
    if (const RegStatus s = splitOrFail(path, parts); s != RegStatus::Ok)
        return s;
    if (parts.empty())
        return failWith(RegStatus::InvalidName, "the root of a hive cannot be removed");
    const std::string_view last = parts.back();
    parts.pop_back();
    return changeHive(hive, [&](RegNode& root, bool& changed) {
        RegNode* parent = findKey(root, parts);
        RegNode* node = parent ? parent->child(last) : nullptr;
        if (!node)
            return failWith(RegStatus::NotFound, "no key " + std::string(path));
        if (!wholeTree && !node->children().empty())
            return failWith(RegStatus::InvalidName, "key " + std::string(path) + " has sub-keys");
        parent->removeChild(last);
        changed = true;
        return RegStatus::Ok;
    });
}
} // namespace

RegStatus deleteKey(Hive hive, std::string_view path) { return removeKey(hive, path, false); }

RegStatus deleteKeyTree(Hive hive, std::string_view path) { return removeKey(hive, path, true); }

bool keyExists(Hive hive, std::string_view path)
{
    RegistryKey key;
    return RegistryKey::open(hive, path, key) == RegStatus::Ok;
}

} // namespace platform
