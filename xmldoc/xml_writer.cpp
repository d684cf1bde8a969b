// The XML writer: one line, no declaration, attributes in single quotes in name order, and every
// byte below 0x20 or above 0x7F written as a two-digit character reference.
#include "xmldoc/node_impl.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <string_view>

namespace CXMLDOCLIB_Ostrel {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// True for a byte appendEscaped writes as it is.
bool isPlain(unsigned char b, bool attribute)
{
    return b >= 0x20 && b < 0x80 && b != '<' && b != '&' && !(b == '\'' && attribute);
}

int lowerHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

namespace {
// An element's name, as appendName writes it.
void appendElementName(DOMString& out, const ElementName& name)
{
    const DOMString& qualified = name.qualified();
    if (name.plain())
        out.append(qualified.data(), qualified.size());
    else
        appendName(out, qualified);
}
} // namespace

void writeElementStart(DOMString& out, CElement& element)
{
    out.push_back('<');
    appendElementName(out, element.name());
    if (CNamedNodeMap* map = element.existingMap()) {
        for (CAttr* attr : map->items()) {
            out.push_back(' ');
            appendName(out, attr->name().qualified());
            out.append("='", 2);
            const DOMString& value = attr->valueText();
            appendEscaped(out, value.data(), value.size(), true);
            out.push_back('\'');
        }
    }
}

void appendEndTag(DOMString& out, const DOMString& name)
{
    out.append("</", 2);
    appendName(out, name);
    out.push_back('>');
}

namespace {

void writeLeaf(DOMString& out, NodeCore& node)
{
    if (node.kind == Kind::Text) {
        const DOMString& data = static_cast<CText*>(node.self())->data();
        appendEscaped(out, data.data(), data.size(), false);
    } else if (node.kind == Kind::Attribute) {
        auto* attr = static_cast<CAttr*>(node.self());
        appendName(out, attr->name().qualified());
        out.append("='", 2);
        const DOMString& value = attr->valueText();
        appendEscaped(out, value.data(), value.size(), true);
        out.push_back('\'');
    } else {
        out += node.self()->getNodeValue(); // a number: digits, sign, point, exponent
    }
}

} // namespace

namespace {

// How appendEscaped writes each byte: 0 as it is, else the length of what stands for it.
struct EscapeTable {
    uint8_t length[2][256];
    char text[2][256][6];
};

constexpr EscapeTable makeEscapeTable()
{
    EscapeTable table{};
    for (int attribute = 0; attribute < 2; ++attribute) {
        for (int b = 0; b < 256; ++b) {
            const char* entity = nullptr;
            if (b == '<')
                entity = "&lt;";
            else if (b == '&')
                entity = "&amp;";
            else if (b == '\'' && attribute)
                entity = "&apos;";
            auto& text = table.text[attribute][b];
            uint8_t length = 0;
            if (entity) {
                while (entity[length]) {
                    text[length] = entity[length];
                    ++length;
                }
            } else if (b < 0x20 || b >= 0x80) {
                const char ref[6] = {'&', '#', 'x', kHex[b >> 4], kHex[b & 15], ';'};
                for (; length < 6; ++length)
                    text[length] = ref[length];
            }
            table.length[attribute][b] = length;
        }
    }
    return table;
}

constexpr EscapeTable kEscapes = makeEscapeTable();

} // namespace

void appendEscaped(DOMString& out, const char* text, size_t length, bool attribute)
{
    const uint8_t* lengths = kEscapes.length[attribute ? 1 : 0];
    const auto& escapes = kEscapes.text[attribute ? 1 : 0];
    // Runs of plain bytes go over as they are; the rest is gathered on the stack and goes over at once.
    constexpr size_t kChunk = 256;
    char buffer[kChunk * 6];
    size_t i = 0;
    while (i < length) {
        size_t run = i;
        while (run < length && lengths[static_cast<unsigned char>(text[run])] == 0)
            ++run;
        out.append(text + i, run - i);
        i = run;
        char* at = buffer;
        const size_t stop = std::min(length, i + kChunk);
        for (; i < stop; ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            const uint8_t n = lengths[b];
            if (n == 0)
                break;
            std::memcpy(at, escapes[b], 6);
            at += n;
        }
        out.append(buffer, static_cast<size_t>(at - buffer));
    }
}

bool isEscapedForm(const char* text, size_t length, bool attribute)
{
    for (size_t i = 0; i < length;) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (isPlain(b, attribute)) {
            ++i;
            continue;
        }
        if (b != '&')
            return false;
        const std::string_view rest(text + i, length - i);
        if (rest.starts_with("&lt;")) {
            i += 4;
        } else if (rest.starts_with("&amp;")) {
            i += 5;
        } else if (attribute && rest.starts_with("&apos;")) {
            i += 6;
        } else if (rest.size() >= 6 && rest.starts_with("&#x") && rest[5] == ';') {
            // A byte reference stands for itself only for a byte that is written so.
            const int high = lowerHexValue(rest[3]);
            const int low = lowerHexValue(rest[4]);
            const int byte = high * 16 + low;
            if (high < 0 || low < 0 || (byte >= 0x20 && byte < 0x80))
                return false;
            i += 6;
        } else {
            return false;
        }
    }
    return true;
}

namespace {

// Name bytes written as they are: kNameFirst at the start of a name, kNameRest after it.
enum : uint8_t { kNameFirst = 1, kNameRest = 2 };

constexpr std::array<uint8_t, 256> makeNameBytes()
{
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (letter || c == ':')
            table[static_cast<size_t>(c)] |= kNameFirst;
        if (letter || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':' || c == '_')
            table[static_cast<size_t>(c)] |= kNameRest;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kNameBytes = makeNameBytes();

bool isPlainNameByte(unsigned char b, size_t at) { return kNameBytes[b] & (at == 0 ? kNameFirst : kNameRest); }

} // namespace

bool isPlainName(const DOMString& name)
{
    for (size_t i = 0; i < name.size(); ++i)
        if (!isPlainNameByte(static_cast<unsigned char>(name[i]), i))
            return false;
    return true;
}

void appendName(DOMString& out, const DOMString& name)
{
    size_t plainRun = 0; // the usual case: every byte is written as it is
    while (plainRun < name.size() && isPlainNameByte(static_cast<unsigned char>(name[plainRun]), plainRun))
        ++plainRun;
    out.append(name.data(), plainRun);
    for (size_t i = plainRun; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (isPlainNameByte(b, i)) {
            out.push_back(static_cast<char>(b));
        } else {
            const char escaped[3] = {'_', kHex[b >> 4], kHex[b & 15]};
            out.append(escaped, 3);
        }
    }
}

void writeNode(INode* node, DOMString& out)
{
    NodeCore* root = node->core();
    if (root->kind == Kind::Document) {
        root = root->first; // a document writes its first child only
        if (!root)
            return;
    }
    NodeCore* n = root;
    for (;;) {
        if (n->kind == Kind::Element) {
            writeElementStart(out, *elementOf(n));
            if (n->first) {
                out.push_back('>');
                n = n->first;
                continue;
            }
            out.append("/>", 2);
        } else {
            writeLeaf(out, *n);
        }
        // On to the next node in document order, closing the elements left behind.
        while (n != root && !n->next) {
            n = n->parent;
            out.append("</", 2);
            appendElementName(out, elementOf(n)->name());
            out.push_back('>');
        }
        if (n == root)
            return;
        n = n->next;
    }
}

} // namespace CXMLDOCLIB_Ostrel
