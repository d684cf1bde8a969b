#include "cover/model/cover_file.h"

#include "platform/files.h"
#include "platform/ini_format.h"
#include "platform/text.h"

#include "cover/model/frame_line.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace cover {

namespace {

std::string frameKey(size_t number) { return "Frame." + std::to_string(number); }

// N of a key "Frame.N" (any case, N written as frameKey writes it, from 1); none for other keys.
std::optional<size_t> frameNumberOf(std::string_view key)
{
    constexpr std::string_view kPrefix = "frame.";
    if (key.size() <= kPrefix.size() || key.size() > kPrefix.size() + 10 || !platform::equalsNoCase(key.substr(0, kPrefix.size()), kPrefix))
        return std::nullopt;
    const std::string_view digits = key.substr(kPrefix.size());
    if (digits.front() == '0' || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    size_t number = 0;
    for (const char c : digits)
        number = number * 10 + static_cast<size_t>(c - '0');
    return number;
}

// A line as the file stores it: every profile read trims blanks and strips one pair of matching
// quotes, so a line that would lose either is put in double quotes.
std::string storedLine(const std::string& line)
{
    const bool quoted = line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front();
    if (quoted || platform::trimBlanks(line).size() != line.size())
        return '"' + line + '"';
    return line;
}

} // namespace

CoverReadStatus readCoverSheetFile(const std::string& path, int framesDefault, CoverSheetFile& file)
{
    file = CoverSheetFile{};
    std::string text;
    switch (platform::readFile(path, text, platform::kMaxProfileBytes)) {
    case platform::ReadStatus::Ok:
        break;
    case platform::ReadStatus::NotFound:
        return CoverReadStatus::NotFound;
    default:
        return CoverReadStatus::Failed;
    }

    // One pass over the section; the first entry of a name wins, as in every profile lookup.
    const auto entries = platform::ProfileText::parse(text).sectionValues(kCoverSection);
    std::unordered_map<std::string, std::string_view> values;
    values.reserve(entries.size());
    for (const auto& [key, value] : entries)
        values.emplace(platform::asciiLower(key), value);
    const auto lookup = [&](std::string_view key) -> const std::string_view* {
        const auto it = values.find(platform::asciiLower(key));
        return it == values.end() ? nullptr : &it->second;
    };

    file.frames = framesDefault;
    if (const auto* frames = lookup("Frames"))
        file.frames = platform::leadingInt(*frames).value_or(framesDefault);
    if (const auto* lang = lookup("Lang"))
        file.language = fieldNumber(*lang) == 1;

    // Every "Frame.N" key the section has for N = 1 ... count, in the order of N: a gap in the
    // numbers loses nothing after it, and a huge count in a small file reads only the keys there are.
    if (file.frames > 0) {
        std::vector<std::pair<size_t, std::string_view>> numbered;
        for (const auto& [key, value] : entries) {
            const std::optional<size_t> number = frameNumberOf(key);
            if (number && *number <= static_cast<size_t>(file.frames))
                numbered.emplace_back(*number, value);
        }
        // The first entry of a name wins; stable, so the first of equal numbers comes first.
        std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        file.lines.reserve(numbered.size());
        for (size_t i = 0; i < numbered.size(); ++i)
            if (i == 0 || numbered[i].first != numbered[i - 1].first)
                file.lines.emplace_back(numbered[i].second);
    }
    return CoverReadStatus::Ok;
}

bool writeCoverSheetFile(const std::string& path, bool language, const std::vector<std::string>& lines)
{
    std::string text;
    text.append("[").append(kCoverSection).append("]\n");
    text.append("Frames=").append(std::to_string(lines.size())).append("\n");
    text.append("Lang=").append(language ? "1" : "0").append("\n");
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!platform::ProfileText::isValidValue(lines[i]))
            return false;
        text.append(frameKey(i + 1)).append("=").append(storedLine(lines[i])).append("\n");
    }
    if (text.size() > platform::kMaxProfileBytes)
        return false;
    // Sheets live in the user's own folders: the lock is on the folder, so none stays beside them.
    // Under it no other save is writing there, and what a killed save left is swept first.
    const platform::FileLock lock = platform::FileLock::onFolder(platform::parentPath(path));
    if (!lock.locked())
        return false;
    platform::removeStaleTemporaries(path);
    return platform::writeFileAtomic(path, text);
}

} // namespace cover
