// Parsing into a tree: the SAX content handler that builds nodes from the reader's events, the
// decoding of character and entity references, and the document's load operations.
#include "xmldoc/node_impl.h"
#include "xmldoc/sax.h"
#include "platform/text.h"

#include <cstring>
#include <istream>

namespace CXMLDOCLIB_Ostrel {

using namespace mfpif_Halvet_R1::sax;

namespace {

// Decodes one reference at text[i] == '&'; appends its result and returns the bytes consumed.
size_t decodeOne(const char* text, size_t i, size_t length, DOMString& out)
{
    static const struct {
        const char* name;
        size_t length;
        char value;
    } named[] = {{"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};
    const char* rest = text + i + 1;
    const size_t left = length - i - 1;
    for (const auto& n : named) {
        if (left >= n.length && std::memcmp(rest, n.name, n.length) == 0) {
            out.push_back(n.value);
            return 1 + n.length;
        }
    }
    if (left >= 1 && rest[0] == '#') {
        if (left >= 2 && rest[1] == 'x') {
            size_t end = 2;
            while (end < left && platform::hexDigitValue(rest[end]) >= 0)
                ++end;
            if (end > 2 && end < left && rest[end] == ';') {
                size_t d = 2;
                if ((end - 2) % 2 == 1) // an odd count: the first digit alone is the first byte
                    out.push_back(static_cast<char>(platform::hexDigitValue(rest[d++])));
                for (; d < end; d += 2)
                    out.push_back(static_cast<char>(platform::hexDigitValue(rest[d]) * 16 + platform::hexDigitValue(rest[d + 1])));
                return 1 + end + 1;
            }
            out.append("&#x", 3);
            return 3;
        }
        size_t end = 1;
        unsigned low = 0;
        while (end < left && rest[end] >= '0' && rest[end] <= '9')
            low = (low * 10 + static_cast<unsigned>(rest[end++] - '0')) & 0xFF; // only the low byte counts
        if (end > 1 && end < left && rest[end] == ';') {
            out.push_back(static_cast<char>(low));
            return 1 + end + 1;
        }
        out.append("&#", 2);
        return 2;
    }
    // Anything else: the ampersand and the byte after it stay as they are.
    out.push_back('&');
    if (left >= 1) {
        out.push_back(rest[0]);
        return 2;
    }
    return 1;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Sets an attribute from its name and value as read. A name that comes out empty (":" alone has
// neither prefix nor local name) could never be written back, so that attribute is left out.
void setDecodedAttribute(CElement& element, const DOMString& name, const DOMString& value)
{
    DOMString decoded = decodeReferences(name.data(), name.size());
    if (decoded.empty())
        return;
    element.setAttribute(decoded, decodeReferences(value.data(), value.size()));
}

// Builds a fresh document from the reader's events.
class CContentHandler final : public IContentHandler {
public:
    explicit CContentHandler(bool preserveWhitespace)
        : document_(createEmptyDocument()), preserveWhitespace_(preserveWhitespace)
    {
        if (!document_)
            throw std::bad_alloc();
    }

    IDocumentPtr document() const { return document_; }

    void startDocument() override
    {
        if (IElementPtr root = document_->getDocumentElement())
            document_->removeChild(root);
        current_ = document_->core();
        depth_ = 0;
    }

    void startElement(const DOMString&, const DOMString&, const DOMString& qName,
                      const std::shared_ptr<IAttributes>& attributes) override
    {
        if (!current_)
            throw SAXParseException();
        if (depth_ >= kMaxNestingDepth)
            throw SAXParseException(); // hostile nesting ends the parse
        auto element = adopt<INode>(new CElement(ElementName(decodeReferences(qName.data(), qName.size()))));
        auto* target = static_cast<CElement*>(element.get());
        if (attributes) {
            if (const auto* list = dynamic_cast<const CAttributes*>(attributes.get())) {
                for (const CAttribute& a : *list)
                    setDecodedAttribute(*target, a.qName(), a.value);
            } else {
                for (int32_t i = 0; i < attributes->getLength(); ++i)
                    setDecodedAttribute(*target, attributes->getQName(i), attributes->getValue(i));
            }
        }
        appendNewChild(*current_, *element->core());
        current_ = element->core();
        ++depth_;
    }

    void endElement(const DOMString&, const DOMString&, const DOMString& qName) override
    {
        // An end tag with no element open (at the top level) is as wrong as one that does not match.
        if (!current_ || current_->kind != Kind::Element
            || decodeReferences(qName.data(), qName.size()) != elementOf(current_)->name().qualified())
            throw SAXParseException();
        current_ = current_->parent;
        --depth_;
    }

    void characters(const char* text, int32_t start, int32_t length) override
    {
        if (!current_ || current_->kind == Kind::Document || length <= 0)
            return; // text outside the root element is dropped
        const char* begin = text + start;
        const char* end = begin + length;
        if (!preserveWhitespace_) {
            while (begin < end && isBlank(*begin))
                ++begin;
            while (end > begin && isBlank(end[-1]))
                --end;
        }
        if (begin == end)
            return;
        auto node = adopt<INode>(new CText(decodeReferences(begin, static_cast<size_t>(end - begin))));
        appendNewChild(*current_, *node->core());
    }

    void endDocument() override
    {
        if (current_ != document_->core())
            throw SAXParseException(); // an element is still open
    }

    void ignorableWhitespace(const char*, int32_t, int32_t) override {}
    void processingInstruction(const DOMString&, const DOMString&) override {}
    void setDocumentLocator(const void*) override {}

    // The builder's own two further operations, kept for the interface's order: both do nothing.
    virtual void startPrefixMapping(const DOMString&, const DOMString&) {}
    virtual void endPrefixMapping(const DOMString&) {}

private:
    IDocumentPtr document_;
    NodeCore* current_ = nullptr; // inside document_, which keeps it alive
    bool preserveWhitespace_;
    int32_t depth_ = 0;
};

// Runs a parse with a fresh builder; returns the root element, detached from the builder's document.
template <typename Run>
INodePtr load(bool preserveWhitespace, Run run)
{
    INodePtr root;
    try {
        auto handler = std::make_shared<CContentHandler>(preserveWhitespace);
        std::shared_ptr<IXMLReader> reader = makeXMLReader();
        reader->setContentHandler(handler);
        run(*reader);
        root = handler->document()->getDocumentElement();
    } catch (const SAXException&) {
        throw CDOMException(DOM_NOT_WELL_FORMED);
    }
    return root; // the builder's document is gone, so the root has no parent
}

} // namespace

DOMString decodeReferences(const char* text, size_t length)
{
    const void* amp = std::memchr(text, '&', length);
    if (!amp)
        return DOMString(text, length);
    DOMString out;
    out.reserve(length);
    size_t i = static_cast<size_t>(static_cast<const char*>(amp) - text);
    out.append(text, i);
    while (i < length) {
        if (text[i] != '&') {
            const void* next = std::memchr(text + i, '&', length - i);
            const size_t stop = next ? static_cast<size_t>(static_cast<const char*>(next) - text) : length;
            out.append(text + i, stop - i);
            i = stop;
            continue;
        }
        i += decodeOne(text, i, length, out);
    }
    return out;
}

INodePtr CDocument::loadXML(const DOMString& text, bool preserveWhitespace)
{
    return load(preserveWhitespace, [&](IXMLReader& reader) { reader.parseString(text); });
}

INodePtr CDocument::loadStream(std::istream& in, bool preserveWhitespace)
{
    return load(preserveWhitespace, [&](IXMLReader& reader) { reader.parseStream(in); });
}

} // namespace CXMLDOCLIB_Ostrel
