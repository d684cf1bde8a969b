// Profile (ini) files with the classic semantics: sections and keys match without regard to ASCII
// case, values are trimmed and one pair of surrounding quotes is stripped, reads are bounded and
// truncate, and writes replace the file atomically under a cross-process lock. A bare file name
// (no folder in it) is looked for in the installation's system folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

/// Where a profile file name points: a bare name goes to systemFolder(), '\' reads as '/'.
std::string resolveProfilePath(std::string_view fileName);

/// The value of key in section, or def (with trailing blanks removed) when either is absent.
std::string readProfileString(std::string_view section, std::string_view key, std::string_view def,
                              std::string_view fileName);

/// The classic bounded form. Copies at most size - 1 bytes and a terminating NUL into buffer and
/// returns the number of bytes copied before the NUL (size - 1 when the value was cut).
/// With a null key it lists the section's key names, with a null section the file's section names:
/// each name ends with a NUL and the list with a second NUL; when cut, size - 2 is returned.
size_t readProfileString(const char* section, const char* key, const char* def, char* buffer, size_t size,
                         std::string_view fileName);

/// The value as a number (leading decimal digits, optional sign), or def when absent or not a number.
int readProfileInt(std::string_view section, std::string_view key, int def, std::string_view fileName);

/// Every "key=value" line of a section, trimmed, in file order (empty when the section is absent).
std::vector<std::string> readProfileSection(std::string_view section, std::string_view fileName);

/// The names of the file's sections, in file order.
std::vector<std::string> readProfileSectionNames(std::string_view fileName);

/// The key names of a section, in file order.
std::vector<std::string> readProfileKeyNames(std::string_view section, std::string_view fileName);

/// Sets key in section to value, creating the file, the section or the key as needed.
/// A null key removes the whole section; a null value removes the key. Section names holding ']'
/// or a line break, key names holding '=' or a line break, and values holding a line break are
/// refused. A file that exists but cannot be read is never overwritten. True on success.
bool writeProfileString(const char* section, const char* key, const char* value, std::string_view fileName);

/// Sets several keys of one section in a single replacement of the file (the same checks and
/// guarantees as writeProfileString; other keys stay). False, with the file unchanged, when a name
/// or value is refused or the file cannot be written.
bool writeProfileSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values,
                         std::string_view fileName);

} // namespace platform
