// Profile (ini) text in memory: lookups and in-place edits, no file access.
//
// The text is kept exactly as it was read. Lookups walk its lines; an edit splices only the lines it
// touches, so comments, blank lines, unknown lines and line endings elsewhere survive byte for byte.
// Every walk is a single forward pass over the text (no recursion), so the cost is linear in its size.
//
// Line rules:
//   - a line whose first non-blank byte is ';' is a comment;
//   - a line whose first non-blank byte is '[' starts a section, named by the blank-trimmed text up to
//     the first ']' (or the end of the line); the rest of the line is ignored; an empty name starts a
//     section that no name matches;
//   - any other non-blank line is "key=value" (both sides blank-trimmed) or, without '=', a key with an
//     empty value; a line whose key is empty is no entry at all;
//   - lines before the first section belong to no section and are never matched.
// Names match without regard to ASCII case and the first occurrence wins, for sections and for keys.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

/// The largest profile file that is read or written.
inline constexpr size_t kMaxProfileBytes = size_t(16) << 20;

class ProfileText {
public:
    /// Takes a copy of text; any bytes are accepted.
    static ProfileText parse(std::string_view text);

    /// The value of key in section: blank-trimmed, and one pair of matching surrounding quotes
    /// (' or ") stripped when at least two bytes remain.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    bool hasSection(std::string_view section) const;

    /// Section names in file order, each name once (first spelling).
    std::vector<std::string> sectionNames() const;

    /// Key names of a section in file order, each name once (first spelling).
    std::vector<std::string> keyNames(std::string_view section) const;

    /// The entries of a section in file order as "key=value" with key and value blank-trimmed but the
    /// value's quotes kept; a key without '=' reads "key=".
    std::vector<std::string> sectionEntries(std::string_view section) const;

    /// The entries of a section in file order as (key, value), each value as value() gives it: one
    /// pass over the text for readers that look up many keys.
    std::vector<std::pair<std::string, std::string>> sectionValues(std::string_view section) const;

    /// Sets key in section to value: replaces the first matching entry's line with "key=value", or adds
    /// that line after the last non-blank line of the section, or adds the section at the end of the text.
    /// False (and nothing changed) when a name or the value is refused by the checks below.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    /// Sets several keys of one section as setValue would one by one, in a single pass over the text.
    /// False (and nothing changed) when a name or a value is refused or a key comes twice.
    bool setValues(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values);

    /// Removes the line of the first matching entry. False when there was none.
    bool removeKey(std::string_view section, std::string_view key);

    /// Removes every section of that name: header and lines up to the next section. False when there was none.
    bool removeSection(std::string_view section);

    /// The text with the edits applied; exactly the parsed bytes when nothing was edited.
    std::string serialize() const { return text_; }

    /// The line ending used for lines the edits add: that of the text's first line, "\n" when it has none.
    std::string_view lineEnding() const { return crlf_ ? "\r\n" : "\n"; }

    /// A section name that can be written: not blank, no '[', ']', CR or LF.
    static bool isValidSectionName(std::string_view name);

    /// A key name that can be written: not blank, no '=', CR or LF, not starting with '[' or ';'.
    static bool isValidKeyName(std::string_view name);

    /// A value that can be written: no CR or LF.
    static bool isValidValue(std::string_view value);

private:
    std::string text_;
    bool crlf_ = false;
};

} // namespace platform
