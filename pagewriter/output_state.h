// What the page writer keeps between calls: the name of the output file last created.
#pragma once

#include <string>

namespace pagewriter {

/// Longest output path accepted (longer paths are refused, never cut).
inline constexpr size_t kMaxOutputPath = 259;

/// The path given to the last tiffCreateFile: the file deleted after a failed page and the base
/// name of bitmap files.
std::string& outputFileName();

} // namespace pagewriter
