// The XML writer: one line, no declaration, attributes in single quotes in name order, and every
// byte below 0x20 or above 0x7F written as a two-digit character reference.
#include "xmldoc/node_impl.h"

namespace CXMLDOCLIB_Ostrel {

namespace {

const char kHex[] = "0123456789abcdef";

void appendReference(DOMString& out, unsigned char b)
{
    const char ref[6] = {'&', '#', 'x', kHex[b >> 4], kHex[b & 15], ';'};
    out.append(ref, 6);
}

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void writeElementStart(DOMString& out, CElement& element)
{
    out.push_back('<');
    appendName(out, element.name().qualified());
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

void appendEscaped(DOMString& out, const char* text, size_t length, bool attribute)
{
    size_t run = 0;
    for (size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const char* entity = nullptr;
        size_t entityLength = 0;
        bool reference = false;
        if (b == '<') {
            entity = "&lt;";
            entityLength = 4;
        } else if (b == '&') {
            entity = "&amp;";
            entityLength = 5;
        } else if (b == '\'' && attribute) {
            entity = "&apos;";
            entityLength = 6;
        } else if (b < 0x20 || b >= 0x80) {
            reference = true;
        } else {
            continue;
        }
        out.append(text + run, i - run);
        run = i + 1;
        if (reference)
            appendReference(out, b);
        else
            out.append(entity, entityLength);
    }
    out.append(text + run, length - run);
}

void appendName(DOMString& out, const DOMString& name)
{
    size_t plainRun = 0; // the usual case: every byte is written as it is
    while (plainRun < name.size()) {
        const auto b = static_cast<unsigned char>(name[plainRun]);
        const bool plain = plainRun == 0 ? (isLetter(b) || b == ':')
                                         : (isLetter(b) || (b >= '0' && b <= '9') || b == '-' || b == '.' || b == ':' || b == '_');
        if (!plain)
            break;
        ++plainRun;
    }
    out.append(name.data(), plainRun);
    for (size_t i = plainRun; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        const bool plain = i == 0 ? (isLetter(b) || b == ':')
                                  : (isLetter(b) || (b >= '0' && b <= '9') || b == '-' || b == '.' || b == ':' || b == '_');
        if (plain) {
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
            appendName(out, elementOf(n)->name().qualified());
            out.push_back('>');
        }
        if (n == root)
            return;
        n = n->next;
    }
}

} // namespace CXMLDOCLIB_Ostrel
