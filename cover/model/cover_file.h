// The cover sheet file: a profile (ini) text file with one section, "TQLCVR", that holds the object
// count "Frames", the language flag "Lang" and one frame line per object, "Frame.1" to "Frame.N",
// in drawing order (the first lowest).
#pragma once

#include <string>
#include <vector>

namespace cover {

inline constexpr const char* kCoverSection = "TQLCVR";

/// What a cover sheet file holds.
struct CoverSheetFile {
    /// The "Frames" value as read: the default given to the reader when the key is missing or no
    /// number. Writing uses lines.size() instead.
    int frames = 0;
    /// The "Lang" value: true for "1" (written as "1" or "0").
    bool language = false;
    /// The frame lines of the keys "Frame.1" to "Frame.<frames>" that the section holds, each whole,
    /// in the order of their numbers; a missing key gives no line.
    std::vector<std::string> lines;
};

enum class CoverReadStatus {
    Ok,
    NotFound, ///< no file at the path
    Failed,   ///< the file cannot be read or is larger than a profile file may be
};

/// Reads a cover sheet file. framesDefault is what a missing or unreadable "Frames" gives (the
/// editor asks for -1, the image service for 0); a negative count gives no lines.
CoverReadStatus readCoverSheetFile(const std::string& path, int framesDefault, CoverSheetFile& file);

/// Writes a cover sheet file anew: "Frames" (lines.size()), "Lang" and one key per line, as a new
/// file renamed over the old one under a lock on its folder (no lock file stays there), so no key
/// of earlier content survives and a failed write leaves the old file as it was. The temporaries
/// that killed saves of the same sheet left are removed first. A line with leading or trailing blanks, or inside a
/// pair of quotes, is stored in double quotes so that it reads back as it was. Refuses (false) a
/// line that holds a line break.
bool writeCoverSheetFile(const std::string& path, bool language, const std::vector<std::string>& lines);

} // namespace cover
