// A small read-only view of a registry key for the port lookup: keys are opened on first use
// (never created), sub-keys are found by name without regard to case, and failures are thrown.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace WinReg_Ostrel_R1 {

/// The access mask of a key opened for reading.
inline constexpr uint32_t KEY_READ = 0x20019;

class RegKey {
public:
    class CException : public std::exception {};
    class CExRegAPIError : public CException {};
    class CExRegOpenKey : public CExRegAPIError {};
    class CExRegCreateKey : public CExRegAPIError {};
    class CExRegQueryInfoKey : public CExRegAPIError {};
    class CExRegEnumKey : public CExRegAPIError {};

    /// The root of a hive.
    RegKey(platform::Hive root, uint32_t access) : hive_(root), access_(access) {}

    /// The sub-key name of this key (opened when first used).
    RegKey Child(std::string_view name) const;
    /// True when this key has a sub-key of that name (compared without regard to case).
    bool HasChild(std::string_view name) const;
    /// The text of a string value, or defaultValue when it is missing or not text.
    std::string QueryString(std::string_view valueName, const std::string& defaultValue) const;
    /// Lets the key go; the next use opens it again.
    void Close() { key_.reset(); }

    const std::string& Path() const { return path_; }

private:
    RegKey(platform::Hive hive, uint32_t access, std::string path)
        : hive_(hive), access_(access), path_(std::move(path))
    {
    }
    const platform::RegistryKey& opened() const;

    platform::Hive hive_;
    uint32_t access_;
    std::string path_; // from the hive's root
    mutable std::optional<platform::RegistryKey> key_;
};

} // namespace WinReg_Ostrel_R1
