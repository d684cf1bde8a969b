// Feeds arbitrary bytes to the profile text editor: parsing must give the bytes back unchanged, every
// listed name must be found again, and an edit must read back while leaving the other sections alone.
#include "platform/ini_format.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

using platform::ProfileText;

namespace {

constexpr size_t kChecked = 8; // names per level whose lookups are verified

void check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string_view piece(std::string_view in, size_t at, size_t length)
{
    return at < in.size() ? in.substr(at, length) : std::string_view{};
}

// What reading back a written value gives.
std::string readBack(std::string_view written)
{
    std::string_view t = platform::trimBlanks(written);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        t = t.substr(1, t.size() - 2);
    return std::string(t);
}

// Every section and key of before other than the edited one still reads the same in after.
void checkOthersUnchanged(const ProfileText& before, const ProfileText& after, std::string_view section,
                          std::string_view key, bool wholeSection)
{
    const auto sections = before.sectionNames();
    for (size_t i = 0; i < sections.size() && i < kChecked; ++i) {
        const bool edited = platform::equalsNoCase(sections[i], platform::trimBlanks(section));
        if (edited && wholeSection)
            continue;
        check(after.hasSection(sections[i]));
        const auto keys = before.keyNames(sections[i]);
        for (size_t k = 0; k < keys.size() && k < kChecked; ++k)
            if (!edited || !platform::equalsNoCase(keys[k], platform::trimBlanks(key)))
                check(after.value(sections[i], keys[k]) == before.value(sections[i], keys[k]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > platform::kMaxProfileBytes)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ProfileText profile = ProfileText::parse(input);
    check(profile.serialize() == input);

    const auto sections = profile.sectionNames();
    for (size_t i = 0; i < sections.size() && i < kChecked; ++i) {
        check(profile.hasSection(sections[i]));
        const auto keys = profile.keyNames(sections[i]);
        check(profile.sectionEntries(sections[i]).size() >= keys.size());
        for (size_t k = 0; k < keys.size() && k < kChecked; ++k)
            check(profile.value(sections[i], keys[k]).has_value());
    }

    // The edit's names come from the file itself or from raw input bytes, which may well be refused.
    const uint8_t selector = size > 0 ? data[0] : 0;
    std::string section(piece(input, 1, (selector >> 2) & 7));
    if ((selector & 1) && !sections.empty())
        section = sections[selector % sections.size()];
    std::string key(piece(input, 9, (selector >> 5) + 1));
    if (selector & 2) {
        const auto keys = profile.keyNames(section);
        if (!keys.empty())
            key = keys[selector % keys.size()];
    }
    std::string_view valueBytes = piece(input, 17, 16);
    valueBytes = valueBytes.substr(0, valueBytes.find_first_of("\r\n"));
    const std::string value(valueBytes);
    const bool accepted = ProfileText::isValidSectionName(section) && ProfileText::isValidKeyName(key) &&
                          ProfileText::isValidValue(value);

    ProfileText edited = profile;
    check(edited.setValue(section, key, value) == accepted);
    if (!accepted) {
        check(edited.serialize() == input);
        return 0;
    }
    // Several keys at once give what setting them one by one gives.
    const std::string other = key + "_";
    ProfileText oneByOne = edited;
    check(oneByOne.setValue(section, other, value));
    ProfileText atOnce = profile;
    check(atOnce.setValues(section, {{key, value}, {other, value}}));
    check(atOnce.serialize() == oneByOne.serialize());

    const std::string text = edited.serialize();
    const ProfileText reread = ProfileText::parse(text);
    check(reread.serialize() == text);
    check(reread.value(section, key) == readBack(value));
    checkOthersUnchanged(profile, reread, section, key, false);

    ProfileText withoutKey = reread;
    check(withoutKey.removeKey(section, key));
    if (!profile.value(section, key))
        check(!ProfileText::parse(withoutKey.serialize()).value(section, key));

    ProfileText withoutSection = reread;
    check(withoutSection.removeSection(section));
    const ProfileText rest = ProfileText::parse(withoutSection.serialize());
    check(!rest.hasSection(section));
    checkOthersUnchanged(profile, rest, section, key, true);
    return 0;
}
