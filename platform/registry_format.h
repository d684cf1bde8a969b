// The registry's in-memory tree and its text form: the familiar ".reg" export format.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\SOFTWARE\Kovra\TqlStl2]
//   @="default value"
//   "Name"="text with \"quotes\" and \\ backslashes"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "List"=hex(7):61,00,62,00,00
//
// Narrow strings are UTF-8: quoted strings carry their text, hex(1), hex(2) and hex(7) data carry
// the value's bytes as stored (text and terminating NULs). A string value whose bytes cannot be
// written as a quoted line (not UTF-8, control characters, no single trailing NUL) is written as
// hex(1) so that every value survives a save and a load byte for byte.
#pragma once

#include "platform/text.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Value types with their registry numbers.
enum class RegType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    Qword = 11,
};

/// A value: its type and its raw data bytes.
struct RegValue {
    RegType type = RegType::None;
    std::string data;

    /// A string value: the text and its terminating NUL.
    static RegValue string(std::string_view text);
    /// A 32-bit number, little-endian.
    static RegValue dword(uint32_t value);
    /// Raw bytes.
    static RegValue binary(std::string_view bytes);
    /// A multi-string: each text followed by a NUL, then one more NUL.
    static RegValue multiString(const std::vector<std::string>& texts);

    /// The data up to its first NUL.
    std::string text() const;
    /// The texts of a multi-string value.
    std::vector<std::string> texts() const;
    /// The number of a 4-byte value (0 when the data is not 4 bytes).
    uint32_t number() const;

    bool operator==(const RegValue&) const = default;
};

/// Limits on names, depth and data that every hive enforces, on load and on change.
inline constexpr size_t kMaxKeyNameBytes = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameBytes = 16383;
inline constexpr size_t kMaxValueDataBytes = 1u << 20;
inline constexpr size_t kMaxHiveFileBytes = 64u << 20;

/// One key of a hive: its name as first spelt, its sub-keys by name without regard to case,
/// and its values in the order they were created.
class RegNode {
public:
    explicit RegNode(std::string name = {}) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }

    RegNode* child(std::string_view name);
    const RegNode* child(std::string_view name) const;
    /// The sub-key of that name, created when missing.
    RegNode& ensureChild(std::string_view name);
    bool removeChild(std::string_view name);
    const std::map<std::string, std::unique_ptr<RegNode>, NoCaseLess>& children() const { return children_; }

    const RegValue* value(std::string_view name) const;
    void setValue(std::string_view name, RegValue value);
    bool removeValue(std::string_view name);
    /// Values in creation order, with their names as first spelt.
    const std::vector<std::pair<std::string, RegValue>>& values() const { return values_; }

    std::unique_ptr<RegNode> clone() const;

private:
    std::string name_;
    std::map<std::string, std::unique_ptr<RegNode>, NoCaseLess> children_;
    std::vector<std::pair<std::string, RegValue>> values_;
    std::map<std::string, size_t, NoCaseLess> valueIndex_;
};

/// Why a key path or a name is not acceptable ("" when it is).
std::string checkKeyName(std::string_view component);
std::string checkValueName(std::string_view name);

/// Splits "A\B\C" into its components; a single trailing '\' is allowed. Empty path: no components.
/// Returns false (with a reason) for empty components, over-long names or too deep a path.
bool splitKeyPath(std::string_view path, std::vector<std::string_view>& parts, std::string* why = nullptr);

/// Parses hive text whose keys all lie below rootName ("HKEY_CURRENT_USER"). On failure returns
/// null and sets error to a message naming the line.
std::unique_ptr<RegNode> parseHiveText(std::string_view text, std::string_view rootName, std::string* error);

/// The text form of a hive: the header, then every key depth first in name order.
std::string formatHiveText(const RegNode& root, std::string_view rootName);

} // namespace platform
