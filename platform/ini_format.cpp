#include "platform/ini_format.h"

#include "platform/text.h"

#include <set>
#include <unordered_map>

namespace platform {

namespace {

// One line of the text: its content is [begin, end) without the "\n" or "\r\n" that ends it, and the
// following line starts at next (next == end only for a last line without a line ending).
struct Line {
    size_t begin = 0;
    size_t end = 0;
    size_t next = 0;
};

bool nextLine(std::string_view text, size_t& pos, Line& line)
{
    if (pos >= text.size())
        return false;
    const size_t nl = text.find('\n', pos);
    line.begin = pos;
    if (nl == std::string_view::npos) {
        line.end = line.next = text.size();
    } else {
        line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        line.next = nl + 1;
    }
    pos = line.next;
    return true;
}

enum class Kind { Blank, Comment, Header, Entry, Other };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;  // section name of a header, key of an entry
    std::string_view value; // trimmed value of an entry, quotes kept
};

Parsed classify(std::string_view content)
{
    const std::string_view t = trimBlanks(content);
    if (t.empty())
        return {Kind::Blank, {}, {}};
    if (t.front() == ';')
        return {Kind::Comment, {}, {}};
    if (t.front() == '[') {
        const std::string_view inner = t.substr(1);
        return {Kind::Header, trimBlanks(inner.substr(0, inner.find(']'))), {}};
    }
    const size_t eq = t.find('=');
    const std::string_view key = trimBlanks(t.substr(0, eq));
    if (key.empty())
        return {Kind::Other, {}, {}};
    return {Kind::Entry, key, eq == std::string_view::npos ? std::string_view{} : trimBlanks(t.substr(eq + 1))};
}

Parsed classify(std::string_view text, const Line& line)
{
    return classify(text.substr(line.begin, line.end - line.begin));
}

bool nameMatches(std::string_view stored, std::string_view wanted)
{
    return !stored.empty() && equalsNoCase(stored, wanted);
}

// The first section called name: its header line and where it ends (the start of the next header).
struct Section {
    Line header;
    size_t end = 0;
};

std::optional<Section> findSection(std::string_view text, std::string_view name)
{
    name = trimBlanks(name);
    std::optional<Section> found;
    size_t pos = 0;
    Line line;
    while (nextLine(text, pos, line)) {
        const Parsed p = classify(text, line);
        if (p.kind != Kind::Header)
            continue;
        if (found) {
            found->end = line.begin;
            return found;
        }
        if (nameMatches(p.name, name))
            found = Section{line, text.size()};
    }
    return found;
}

// Calls f(line, parsed) for every entry of the section, in order, until f returns false.
template <typename F>
void forEachEntry(std::string_view text, const Section& section, F f)
{
    size_t pos = section.header.next;
    Line line;
    while (pos < section.end && nextLine(text, pos, line)) {
        const Parsed p = classify(text, line);
        if (p.kind == Kind::Entry && !f(line, p))
            return;
    }
}

struct Entry {
    Line line;
    Parsed parsed;
};

std::optional<Entry> findEntry(std::string_view text, const Section& section, std::string_view key)
{
    key = trimBlanks(key);
    std::optional<Entry> found;
    forEachEntry(text, section, [&](const Line& line, const Parsed& p) {
        if (!nameMatches(p.name, key))
            return true;
        found = Entry{line, p};
        return false;
    });
    return found;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

ProfileText ProfileText::parse(std::string_view text)
{
    ProfileText profile;
    profile.text_.assign(text);
    const size_t nl = text.find('\n');
    profile.crlf_ = nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r';
    return profile;
}

std::optional<std::string> ProfileText::value(std::string_view section, std::string_view key) const
{
    const auto s = findSection(text_, section);
    if (!s)
        return std::nullopt;
    const auto e = findEntry(text_, *s, key);
    if (!e)
        return std::nullopt;
    return std::string(unquote(e->parsed.value));
}

bool ProfileText::hasSection(std::string_view section) const { return findSection(text_, section).has_value(); }

std::vector<std::string> ProfileText::sectionNames() const
{
    std::vector<std::string> names;
    std::set<std::string_view, NoCaseLess> seen;
    size_t pos = 0;
    Line line;
    while (nextLine(text_, pos, line)) {
        const Parsed p = classify(text_, line);
        if (p.kind == Kind::Header && !p.name.empty() && seen.insert(p.name).second)
            names.emplace_back(p.name);
    }
    return names;
}

std::vector<std::string> ProfileText::keyNames(std::string_view section) const
{
    std::vector<std::string> names;
    if (const auto s = findSection(text_, section)) {
        std::set<std::string_view, NoCaseLess> seen;
        forEachEntry(text_, *s, [&](const Line&, const Parsed& p) {
            if (seen.insert(p.name).second)
                names.emplace_back(p.name);
            return true;
        });
    }
    return names;
}

std::vector<std::string> ProfileText::sectionEntries(std::string_view section) const
{
    std::vector<std::string> entries;
    if (const auto s = findSection(text_, section)) {
        forEachEntry(text_, *s, [&](const Line&, const Parsed& p) {
            std::string entry;
            entry.reserve(p.name.size() + 1 + p.value.size());
            entry.append(p.name).append(1, '=').append(p.value);
            entries.push_back(std::move(entry));
            return true;
        });
    }
    return entries;
}

std::vector<std::pair<std::string, std::string>> ProfileText::sectionValues(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> values;
    if (const auto s = findSection(text_, section)) {
        forEachEntry(text_, *s, [&](const Line&, const Parsed& p) {
            values.emplace_back(std::string(p.name), std::string(unquote(p.value)));
            return true;
        });
    }
    return values;
}

bool ProfileText::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (!isValidSectionName(section) || !isValidKeyName(key) || !isValidValue(value))
        return false;
    section = trimBlanks(section);
    key = trimBlanks(key);
    const std::string_view eol = lineEnding();
    std::string entry;
    entry.reserve(key.size() + 1 + value.size() + 2);
    entry.append(key).append(1, '=').append(value);

    const auto s = findSection(text_, section);
    if (s) {
        if (const auto e = findEntry(text_, *s, key)) {
            text_.replace(e->line.begin, e->line.end - e->line.begin, entry);
            return true;
        }
        // A new key goes after the section's last non-blank line (its header when it has none).
        Line anchor = s->header;
        size_t pos = s->header.next;
        Line line;
        while (pos < s->end && nextLine(text_, pos, line))
            if (classify(text_, line).kind != Kind::Blank)
                anchor = line;
        std::string insert;
        if (anchor.next == anchor.end) // the text's last line, without a line ending of its own
            insert.append(eol);
        insert.append(entry).append(eol);
        text_.insert(anchor.next, insert);
        return true;
    }

    // A new section goes at the end, one blank line after the previous content.
    std::string add;
    if (!text_.empty()) {
        std::string_view rest(text_);
        if (rest.back() == '\n')
            rest.remove_suffix(1);
        else
            add.append(eol);
        const size_t nl = rest.rfind('\n');
        if (!trimBlanks(nl == std::string_view::npos ? rest : rest.substr(nl + 1)).empty())
            add.append(eol);
    }
    add.append(1, '[').append(section).append(1, ']').append(eol);
    add.append(entry).append(eol);
    text_.append(add);
    return true;
}

bool ProfileText::setValues(std::string_view section, const std::vector<std::pair<std::string, std::string>>& values)
{
    if (!isValidSectionName(section))
        return false;
    for (const auto& [key, value] : values)
        if (!isValidKeyName(key) || !isValidValue(value))
            return false;
    if (values.empty())
        return true;
    std::unordered_map<std::string, size_t> wanted;
    for (size_t i = 0; i < values.size(); ++i)
        if (!wanted.emplace(asciiLower(trimBlanks(values[i].first)), i).second)
            return false; // the same key twice
    section = trimBlanks(section);
    const auto s = findSection(text_, section);
    if (!s) {
        // A new section: the first key makes it, the rest follow in order.
        if (!setValue(section, values.front().first, values.front().second))
            return false;
        const auto made = findSection(text_, section);
        std::string tail;
        for (size_t i = 1; i < values.size(); ++i)
            tail.append(trimBlanks(values[i].first)).append(1, '=').append(values[i].second).append(lineEnding());
        text_.insert(made->end, tail);
        return true;
    }
    // One pass over the section: the first entry of each key is replaced, new keys go after the
    // section's last non-blank line, and the section is spliced back once.
    std::vector<bool> placed(values.size(), false);
    const std::string_view eol = lineEnding();
    std::string body;
    size_t keepFrom = s->header.next; // start of text not yet copied into body
    size_t anchorInBody = std::string::npos;
    size_t pos = s->header.next;
    Line line;
    while (pos < s->end && nextLine(text_, pos, line)) {
        const Parsed p = classify(text_, line);
        if (p.kind == Kind::Blank)
            continue;
        body.append(text_, keepFrom, line.begin - keepFrom);
        keepFrom = line.begin;
        if (p.kind == Kind::Entry && !p.name.empty()) {
            const auto it = wanted.find(asciiLower(p.name));
            if (it != wanted.end() && !placed[it->second]) {
                placed[it->second] = true;
                body.append(trimBlanks(values[it->second].first)).append(1, '=').append(values[it->second].second);
                keepFrom = line.end;
            }
        }
        body.append(text_, keepFrom, line.end - keepFrom);
        keepFrom = line.end;
        anchorInBody = body.size(); // just after the last non-blank line's content
    }
    std::string added;
    for (size_t i = 0; i < values.size(); ++i)
        if (!placed[i])
            added.append(trimBlanks(values[i].first)).append(1, '=').append(values[i].second).append(eol);
    std::string rest(text_, keepFrom, s->end - keepFrom);
    if (anchorInBody == std::string::npos) {
        // No content yet: new keys go right after the header.
        const size_t start = s->header.next;
        std::string insert;
        if (s->header.next == s->header.end)
            insert.append(eol);
        insert.append(added);
        text_.insert(start, insert);
        return true;
    }
    // Keep the anchor line's own ending, then the new keys, then whatever followed it.
    const size_t eolLen = rest.starts_with("\r\n") ? 2 : rest.starts_with("\n") ? 1 : 0;
    std::string section_text = body;
    if (!added.empty()) {
        if (eolLen == 0)
            section_text.append(eol);
        else
            section_text.append(rest, 0, eolLen);
        section_text.append(added);
        section_text.append(rest, eolLen, std::string::npos);
    } else {
        section_text.append(rest);
    }
    text_.replace(s->header.next, s->end - s->header.next, section_text);
    return true;
}

bool ProfileText::removeKey(std::string_view section, std::string_view key)
{
    const auto s = findSection(text_, section);
    if (!s)
        return false;
    const auto e = findEntry(text_, *s, key);
    if (!e)
        return false;
    text_.erase(e->line.begin, e->line.next - e->line.begin);
    return true;
}

bool ProfileText::removeSection(std::string_view section)
{
    section = trimBlanks(section);
    if (!findSection(text_, section))
        return false;
    std::string kept;
    kept.reserve(text_.size());
    bool skipping = false;
    size_t pos = 0;
    Line line;
    while (nextLine(text_, pos, line)) {
        const Parsed p = classify(text_, line);
        if (p.kind == Kind::Header)
            skipping = nameMatches(p.name, section);
        if (!skipping)
            kept.append(text_, line.begin, line.next - line.begin);
    }
    text_ = std::move(kept);
    return true;
}

bool ProfileText::isValidSectionName(std::string_view name)
{
    return !trimBlanks(name).empty() && name.find_first_of("[]\r\n") == std::string_view::npos;
}

bool ProfileText::isValidKeyName(std::string_view name)
{
    const std::string_view t = trimBlanks(name);
    return !t.empty() && t.front() != '[' && t.front() != ';' && name.find_first_of("=\r\n") == std::string_view::npos;
}

bool ProfileText::isValidValue(std::string_view value) { return value.find_first_of("\r\n") == std::string_view::npos; }

} // namespace platform
