#include "platform/registry_format.h"

#include <cstdio>

namespace platform {

// ---- values ----

RegValue RegValue::string(std::string_view text)
{
    RegValue v{RegType::String, std::string(text)};
    v.data.push_back('\0');
    return v;
}

RegValue RegValue::dword(uint32_t value)
{
    RegValue v{RegType::Dword, std::string(4, '\0')};
    for (int i = 0; i < 4; ++i)
        v.data[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return v;
}

RegValue RegValue::binary(std::string_view bytes) { return RegValue{RegType::Binary, std::string(bytes)}; }

RegValue RegValue::multiString(const std::vector<std::string>& texts)
{
    RegValue v{RegType::MultiString, {}};
    for (const auto& t : texts) {
        v.data += t;
        v.data.push_back('\0');
    }
    v.data.push_back('\0');
    return v;
}

std::string RegValue::text() const
{
    const auto nul = data.find('\0');
    return nul == std::string::npos ? data : data.substr(0, nul);
}

std::vector<std::string> RegValue::texts() const
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < data.size()) {
        const auto nul = data.find('\0', pos);
        const size_t end = nul == std::string::npos ? data.size() : nul;
        if (end == pos) // the empty string ends the list
            break;
        out.push_back(data.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

uint32_t RegValue::number() const
{
    if (data.size() != 4)
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
    return v;
}

// ---- the tree ----

RegNode* RegNode::child(std::string_view name)
{
    const auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second.get();
}

const RegNode* RegNode::child(std::string_view name) const
{
    const auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second.get();
}

RegNode& RegNode::ensureChild(std::string_view name)
{
    auto it = children_.find(name);
    if (it == children_.end())
        it = children_.emplace(std::string(name), std::make_unique<RegNode>(std::string(name))).first;
    return *it->second;
}

bool RegNode::removeChild(std::string_view name)
{
    const auto it = children_.find(name);
    if (it == children_.end())
        return false;
    children_.erase(it);
    return true;
}

const RegValue* RegNode::value(std::string_view name) const
{
    const auto it = valueIndex_.find(name);
    return it == valueIndex_.end() ? nullptr : &values_[it->second].second;
}

void RegNode::setValue(std::string_view name, RegValue value)
{
    const auto it = valueIndex_.find(name);
    if (it != valueIndex_.end()) {
        values_[it->second].second = std::move(value);
        return;
    }
    valueIndex_.emplace(std::string(name), values_.size());
    values_.emplace_back(std::string(name), std::move(value));
}

bool RegNode::removeValue(std::string_view name)
{
    const auto it = valueIndex_.find(name);
    if (it == valueIndex_.end())
        return false;
    const size_t pos = it->second;
    valueIndex_.erase(it);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(pos));
    for (auto& entry : valueIndex_)
        if (entry.second > pos)
            --entry.second;
    return true;
}

std::unique_ptr<RegNode> RegNode::clone() const
{
    auto copy = std::make_unique<RegNode>(name_);
    for (const auto& [key, node] : children_)
        copy->children_.emplace(key, node->clone());
    copy->values_ = values_;
    copy->valueIndex_ = valueIndex_;
    return copy;
}

// ---- names ----

namespace {
bool hasControl(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}
} // namespace

std::string checkKeyName(std::string_view component)
{
    if (component.empty())
        return "empty key name";
    if (component.size() > kMaxKeyNameBytes)
        return "key name longer than 255 bytes";
    if (component.find('\\') != std::string_view::npos)
        return "key name holds a backslash";
    if (hasControl(component))
        return "key name holds a control character";
    return {};
}

std::string checkValueName(std::string_view name)
{
    if (name.size() > kMaxValueNameBytes)
        return "value name too long";
    if (hasControl(name))
        return "value name holds a control character";
    return {};
}

bool splitKeyPath(std::string_view path, std::vector<std::string_view>& parts, std::string* why)
{
    parts.clear();
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        const size_t sep = path.find('\\', pos);
        const std::string_view part = path.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos);
        if (auto problem = checkKeyName(part); !problem.empty()) {
            if (why)
                *why = problem;
            return false;
        }
        parts.push_back(part);
        if (parts.size() > kMaxKeyDepth) {
            if (why)
                *why = "key path too deep";
            return false;
        }
        if (sep == std::string_view::npos)
            return true;
        pos = sep + 1;
    }
}

// ---- parsing ----

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

// Reads a quoted string starting at s[pos] == '"'; sets pos past the closing quote.
bool readQuoted(std::string_view s, size_t& pos, std::string& out)
{
    out.clear();
    if (pos >= s.size() || s[pos] != '"')
        return false;
    ++pos;
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (pos >= s.size())
                return false;
            const char e = s[pos++];
            if (e != '\\' && e != '"')
                return false;
            out.push_back(e);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

// True when line (trimmed) is a value line whose data is hex: only such a line goes on over a
// backslash at its end.
bool isHexValueLine(std::string_view line)
{
    size_t pos = 0;
    std::string name;
    if (!line.empty() && line.front() == '@')
        pos = 1;
    else if (!readQuoted(line, pos, name))
        return false;
    std::string_view rest = trimBlanks(line.substr(pos));
    if (rest.empty() || rest.front() != '=')
        return false;
    rest = trimBlanks(rest.substr(1));
    return rest.starts_with("hex:") || rest.starts_with("hex(");
}

bool parseHexBytes(std::string_view s, std::string& out)
{
    out.clear();
    size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
    };
    skipBlanks();
    if (pos == s.size())
        return true;
    for (;;) {
        skipBlanks();
        if (pos + 2 > s.size())
            return false;
        const int hi = hexDigitValue(s[pos]), lo = hexDigitValue(s[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        if (out.size() > kMaxValueDataBytes)
            return false;
        pos += 2;
        skipBlanks();
        if (pos == s.size())
            return true;
        if (s[pos] != ',')
            return false;
        ++pos;
    }
}

bool parseData(std::string_view s, RegValue& value, std::string& why)
{
    if (!s.empty() && s.front() == '"') {
        size_t pos = 0;
        std::string text;
        if (!readQuoted(s, pos, text) || !trimBlanks(s.substr(pos)).empty()) {
            why = "malformed string data";
            return false;
        }
        if (text.size() >= kMaxValueDataBytes) {
            why = "value data too large";
            return false;
        }
        value = RegValue::string(text);
        return true;
    }
    if (s.starts_with("dword:")) {
        const std::string_view digits = trimBlanks(s.substr(6));
        if (digits.size() != 8) {
            why = "dword data needs eight hexadecimal digits";
            return false;
        }
        uint32_t n = 0;
        for (char c : digits) {
            const int d = hexDigitValue(c);
            if (d < 0) {
                why = "malformed dword data";
                return false;
            }
            n = (n << 4) | static_cast<uint32_t>(d);
        }
        value = RegValue::dword(n);
        return true;
    }
    uint32_t type = static_cast<uint32_t>(RegType::Binary);
    std::string_view rest;
    if (s.starts_with("hex:")) {
        rest = s.substr(4);
    } else if (s.starts_with("hex(")) {
        const size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) {
            why = "malformed hex type";
            return false;
        }
        type = 0;
        for (char c : s.substr(4, close - 4)) {
            const int d = hexDigitValue(c);
            if (d < 0) {
                why = "malformed hex type";
                return false;
            }
            type = (type << 4) | static_cast<uint32_t>(d);
        }
        rest = s.substr(close + 2);
    } else {
        why = "unknown data form";
        return false;
    }
    value.type = static_cast<RegType>(type);
    if (!parseHexBytes(rest, value.data)) {
        why = value.data.size() > kMaxValueDataBytes ? "value data too large" : "malformed hex data";
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<RegNode> parseHiveText(std::string_view text, std::string_view rootName, std::string* error)
{
    auto fail = [&](size_t line, const std::string& why) -> std::unique_ptr<RegNode> {
        if (error)
            *error = "line " + std::to_string(line) + ": " + why;
        return nullptr;
    };
    if (text.size() > kMaxHiveFileBytes)
        return fail(0, "hive file too large");
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);

    auto root = std::make_unique<RegNode>(std::string(rootName));
    RegNode* current = nullptr;
    bool sawHeader = false;
    size_t pos = 0, lineNo = 0;
    std::string logical;
    std::vector<std::string_view> parts;
    std::string name;
    while (pos < text.size()) {
        // One logical line: physical lines joined while they end in a backslash (hex continuation).
        logical.clear();
        const size_t firstLine = lineNo + 1;
        for (;;) {
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(pos, end - pos);
            pos = end + 1;
            ++lineNo;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            // Only hex data goes on over a trailing backslash; a comment, key or other value line ends here.
            const bool continues = !line.empty() && line.back() == '\\'
                                   && (!logical.empty() || isHexValueLine(trimBlanks(line)));
            if (continues)
                line.remove_suffix(1);
            logical.append(logical.empty() ? line : trimBlanks(line));
            if (logical.size() > 4 * kMaxValueDataBytes + kMaxValueNameBytes + 64)
                return fail(firstLine, "line too long");
            if (!continues || pos >= text.size())
                break;
        }
        const std::string_view line = trimBlanks(logical);
        if (line.empty() || line.front() == ';')
            continue;
        if (!sawHeader) {
            if (line != kHeader5 && line != kHeader4)
                return fail(firstLine, "not a registry file (missing header)");
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail(firstLine, "malformed key line");
            std::string_view path = line.substr(1, line.size() - 2);
            if (path.starts_with("-"))
                return fail(firstLine, "key deletion is not allowed in a hive file");
            if (!equalsNoCase(path.substr(0, rootName.size()), rootName)
                || (path.size() > rootName.size() && path[rootName.size()] != '\\'))
                return fail(firstLine, "key outside " + std::string(rootName));
            path.remove_prefix(rootName.size());
            if (!path.empty())
                path.remove_prefix(1);
            std::string why;
            if (!path.empty() && path.back() == '\\')
                return fail(firstLine, "malformed key path");
            if (!splitKeyPath(path, parts, &why))
                return fail(firstLine, why);
            current = root.get();
            for (auto part : parts)
                current = &current->ensureChild(part);
            continue;
        }
        if (!current)
            return fail(firstLine, "value before any key");
        size_t p = 0;
        if (line.front() == '@') {
            name.clear();
            p = 1;
        } else if (!readQuoted(line, p, name)) {
            return fail(firstLine, "malformed value name");
        }
        if (auto problem = checkValueName(name); !problem.empty())
            return fail(firstLine, problem);
        std::string_view rest = trimBlanks(line.substr(p));
        if (rest.empty() || rest.front() != '=')
            return fail(firstLine, "missing '=' after the value name");
        rest = trimBlanks(rest.substr(1));
        RegValue value;
        std::string why;
        if (!parseData(rest, value, why))
            return fail(firstLine, why);
        current->setValue(name, std::move(value));
    }
    if (!sawHeader && !trimBlanks(text).empty())
        return fail(1, "not a registry file (missing header)");
    return root;
}

// ---- writing ----

namespace {

void appendQuoted(std::string& out, std::string_view s)
{
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

bool quotable(const RegValue& v)
{
    if (v.type != RegType::String || v.data.empty() || v.data.back() != '\0')
        return false;
    const std::string_view text(v.data.data(), v.data.size() - 1);
    if (text.find('\0') != std::string_view::npos || hasControl(text))
        return false;
    return isValidUtf8(text);
}

void appendHex(std::string& out, std::string_view prefix, std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    out += prefix;
    size_t column = out.size() - out.rfind('\n') - 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
        column += 2;
        if (i + 1 < bytes.size()) {
            out.push_back(',');
            ++column;
            if (column >= 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

void appendValue(std::string& out, const std::string& name, const RegValue& v)
{
    if (name.empty())
        out.push_back('@');
    else
        appendQuoted(out, name);
    out.push_back('=');
    if (quotable(v)) {
        appendQuoted(out, std::string_view(v.data.data(), v.data.size() - 1));
    } else if (v.type == RegType::Dword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v.number());
        out += buf;
    } else if (v.type == RegType::Binary) {
        appendHex(out, "hex:", v.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
        appendHex(out, buf, v.data);
    }
    out.push_back('\n');
}

void appendKey(std::string& out, const RegNode& node, std::string& path, bool isRoot)
{
    if (!isRoot || !node.values().empty()) {
        out += "\n[";
        out += path;
        out += "]\n";
        for (const auto& [name, value] : node.values())
            appendValue(out, name, value);
    }
    for (const auto& [key, child] : node.children()) {
        const size_t mark = path.size();
        path.push_back('\\');
        path += child->name();
        appendKey(out, *child, path, false);
        path.resize(mark);
    }
}

} // namespace

std::string formatHiveText(const RegNode& root, std::string_view rootName)
{
    std::string out(kHeader5);
    out.push_back('\n');
    std::string path(rootName);
    appendKey(out, root, path, true);
    return out;
}

} // namespace platform
