// Access to the product's settings in the registry: string and number values below one key prefix.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <string>
#include <string_view>

using HKEY = platform::Hive;
inline constexpr HKEY HKEY_CURRENT_USER = platform::Hive::CurrentUser;
inline constexpr HKEY HKEY_LOCAL_MACHINE = platform::Hive::LocalMachine;
inline constexpr HKEY HKEY_CLASSES_ROOT = platform::Hive::ClassesRoot;

/// The product's key prefix as the data-folder helpers use it.
inline constexpr const char* kProductKeyPrefix = platform::kProductKeyPrefix;
/// The product's settings subkey below the prefix.
inline constexpr const char* kProductSubkey = platform::kProductSubkey;

/// Reads and writes values of root\prefix+subkey. No key stays open between calls.
class CRegistryHelper {
public:
    CRegistryHelper(HKEY rootKey, std::string keyPrefix);

    /// The value's data as text (up to its first NUL, whatever its type), read whole however long it
    /// is, or the default when the key or value is missing.
    std::string ReadString(std::string_view subkey, std::string_view valueName, std::string_view defaultValue) const;

    /// Stores text as a string value with its terminating NUL, creating the key when missing. 1 or 0.
    int WriteString(std::string_view subkey, std::string_view valueName, std::string_view value) const;

    /// The 32-bit number value, or the default when it is missing or of another type.
    uint32_t ReadDword(std::string_view subkey, std::string_view valueName, uint32_t defaultValue) const;

    /// Stores a 32-bit number value, creating the key when missing. 1 or 0.
    int WriteDword(std::string_view subkey, std::string_view valueName, uint32_t value) const;

    /// Longest value name passed to the registry.
    static constexpr size_t kMaxValueName = 255;

private:
    HKEY m_hRootKey;
    std::string m_strKeyPrefix;
};
