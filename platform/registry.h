// The registry: hives HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT kept in ".reg"
// text files (see registry_format.h).
//
// Key paths and value names match without regard to ASCII case. Every change is a
// read-modify-write under an exclusive lock on "<hive>.lock", written to a temporary file,
// flushed and renamed into place, so another process sees it at once and a killed writer never
// leaves a damaged hive. A hive that cannot be parsed is reported and never overwritten. Reads of
// an unchanged hive are answered from the tree parsed before; a damaged one is parsed once per
// change of its file.
#pragma once

#include "platform/registry_format.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

/// Two texts joined at compile time: the key names below are built from one spelling each.
template <size_t N, size_t M>
struct JoinedKey {
    char text[N + M - 1] = {};
    constexpr JoinedKey(const char (&head)[N], const char (&tail)[M])
    {
        for (size_t i = 0; i + 1 < N; ++i)
            text[i] = head[i];
        for (size_t i = 0; i < M; ++i)
            text[N - 1 + i] = tail[i];
    }
};

/// The suite's key prefix below HKCU and HKLM, and its settings subkey below that prefix.
inline constexpr char kProductKeyPrefix[] = "SOFTWARE\\KOVRA\\";
inline constexpr char kProductSubkey[] = "TQLSTL2";
inline constexpr JoinedKey kProductKeyText{kProductKeyPrefix, kProductSubkey};
/// The suite's settings key: the prefix and the subkey.
inline constexpr const char* kProductKey = kProductKeyText.text;

/// The outcome of a registry operation.
enum class RegStatus {
    Ok,
    NotFound,    ///< the key or the value does not exist
    InvalidName, ///< a key path or value name that the registry does not accept
    Corrupt,     ///< the hive file cannot be parsed; it is left as it is
    IoError,     ///< the hive could not be read or written
    Reentered,   ///< called from inside an update's change function on the same thread
};

/// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or "HKEY_CLASSES_ROOT".
const char* hiveRootName(Hive hive);

/// The file that holds a hive.
std::string hiveFilePath(Hive hive);

/// A text describing the last failure on this thread (hive path and reason).
std::string registryLastError();

/// A key of a hive. It names the key only: every operation reads or changes the hive as it is now,
/// so a key removed by someone else answers NotFound.
class RegistryKey {
public:
    /// Opens an existing key ("" is the hive's root).
    static RegStatus open(Hive hive, std::string_view path, RegistryKey& key);
    /// Opens a key, creating it and every missing parent.
    static RegStatus create(Hive hive, std::string_view path, RegistryKey& key);

    RegStatus query(std::string_view valueName, RegValue& value) const;
    RegStatus set(std::string_view valueName, const RegValue& value);
    RegStatus removeValue(std::string_view valueName);
    /// Reads a value and replaces it as one step under the hive's lock, so no other writer comes
    /// between: change gets the current value (null when there is none) and returns the new one,
    /// or nothing to leave the value as it is. change runs under the hive's locks: it must not use
    /// the registry itself (any registry call it makes fails with Reentered instead of deadlocking).
    RegStatus update(std::string_view valueName,
                     const std::function<std::optional<RegValue>(const RegValue* current)>& change);
    /// Names of the sub-keys in name order.
    RegStatus subKeys(std::vector<std::string>& names) const;
    /// Values in creation order.
    RegStatus values(std::vector<std::pair<std::string, RegValue>>& values) const;

    Hive hive() const { return hive_; }
    const std::string& path() const { return path_; }

private:
    Hive hive_ = Hive::CurrentUser;
    std::string path_;
};

/// Removes a key that has no sub-keys (NotFound when it is missing; InvalidName when it has sub-keys or is the root).
RegStatus deleteKey(Hive hive, std::string_view path);

/// Removes a key with everything below it.
RegStatus deleteKeyTree(Hive hive, std::string_view path);

/// True when the key exists.
bool keyExists(Hive hive, std::string_view path);

} // namespace platform
