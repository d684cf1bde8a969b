// Parsing into a tree: the SAX content handler that builds nodes from the reader's events, the
// decoding of character and entity references, and the document's load operations.
#include "xmldoc/byte_scan.h"
#include "xmldoc/list_text.h"
#include "xmldoc/node_impl.h"
#include "xmldoc/sax_reader.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <istream>
#include <vector>

namespace CXMLDOCLIB_Ostrel {

using namespace mfpif_Halvet_R1::sax;

namespace {

// Appends to a buffer known to be large enough: a decoded text is never longer than its source.
struct ByteWriter {
    char* at;
    void push_back(char c) { *at++ = c; }
    void append(const char* bytes, size_t count)
    {
        if (count > 16) {
            std::memcpy(at, bytes, count);
            at += count;
            return;
        }
        for (size_t i = 0; i < count; ++i) // the usual few bytes between references
            *at++ = bytes[i];
    }
};

// Each byte's value as a hexadecimal digit, -1 for others: looked up without a branch.
constexpr std::array<int8_t, 256> makeHexValues()
{
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[static_cast<size_t>(c)] = static_cast<int8_t>(platform::hexDigitValue(static_cast<char>(c)));
    return values;
}

constexpr std::array<int8_t, 256> kHexValue = makeHexValues();

// Decodes one reference at text[i] == '&'; appends its result and returns the bytes consumed.
template <typename Out>
size_t decodeOne(const char* text, size_t i, size_t length, Out& out)
{
    static const struct {
        const char* name;
        size_t length;
        char value;
    } named[] = {{"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};
    const char* rest = text + i + 1;
    const size_t left = length - i - 1;
    // The form the writer makes of every byte outside plain ASCII: "&#xhh;".
    if (left >= 5 && rest[0] == '#' && rest[1] == 'x' && rest[4] == ';') {
        const int high = kHexValue[static_cast<unsigned char>(rest[2])];
        const int low = kHexValue[static_cast<unsigned char>(rest[3])];
        if ((high | low) >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            return 6;
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
    for (const auto& n : named) {
        if (left >= n.length && std::memcmp(rest, n.name, n.length) == 0) {
            out.push_back(n.value);
            return 1 + n.length;
        }
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

// True when raw, a name as read, decodes to name.
bool decodesTo(const DOMString& raw, const DOMString& name)
{
    if (!findByte(raw.data(), raw.size(), '&'))
        return raw.size() == name.size() && sameBytes(raw.data(), name.data(), raw.size());
    return decodeReferences(raw.data(), raw.size()) == name;
}

template <typename Out>
void decodeInto(const char* text, size_t i, size_t length, Out& out)
{
    while (i < length) {
        if (text[i] != '&') {
            const char* next = findByte(text + i, length - i, '&');
            const size_t stop = next ? static_cast<size_t>(next - text) : length;
            out.append(text + i, stop - i);
            i = stop;
            continue;
        }
        i += decodeOne(text, i, length, out);
    }
}

constexpr size_t kShortText = 256;

// Calls use with the bytes of text once its references are decoded: short texts are decoded on
// the stack, so that what is made of them copies them once.
template <typename Use>
auto withDecoded(const char* text, size_t length, Use use)
{
    const char* amp = findByte(text, length, '&');
    if (!amp)
        return use(std::string_view(text, length));
    if (length > kShortText) {
        const DOMString decoded = decodeReferences(text, length);
        return use(std::string_view(decoded.data(), decoded.size()));
    }
    char buffer[kShortText];
    ByteWriter out{buffer};
    const auto first = static_cast<size_t>(amp - text);
    out.append(text, first);
    decodeInto(text, first, length, out);
    return use(std::string_view(buffer, static_cast<size_t>(out.at - buffer)));
}

// Builds a fresh document from the reader's events. With a list sink, the children of the lists it
// picks are written as they are read and handed over one at a time; only their first levels are
// built, and dropped once handed over.
class CContentHandler final : public IContentHandler {
public:
    explicit CContentHandler(bool preserveWhitespace, IListTextSink* sink = nullptr)
        : document_(createEmptyDocument()), preserveWhitespace_(preserveWhitespace), sink_(sink)
    {
        if (!document_)
            throw std::bad_alloc();
        // A list's children are dropped while the parse goes on, so their memory must go back at
        // once: those parses make every node on its own.
        if (!sink_)
            arena_ = new NodeArena();
    }
    ~CContentHandler() override
    {
        if (arena_)
            arena_->finish();
    }
    CContentHandler(const CContentHandler&) = delete;
    CContentHandler& operator=(const CContentHandler&) = delete;

    IDocumentPtr document() const { return document_; }

    void startDocument() override
    {
        if (IElementPtr root = document_->getDocumentElement())
            document_->removeChild(root);
        current_ = document_->core();
        depth_ = 0;
        list_ = nullptr;
        inChild_ = streamed_ = 0;
        tagOpen_ = false;
        listText_.clear();
    }

    void startElement(const DOMString&, const DOMString&, const DOMString& qName,
                      const std::shared_ptr<IAttributes>& attributes) override
    {
        if (!current_)
            throw SAXParseException();
        if (depth_ >= kMaxNestingDepth)
            throw SAXParseException(); // hostile nesting ends the parse
        if (list_ && inChild_ >= levels_) {
            writeUnbuiltStart(qName, attributes);
            ++depth_;
            return;
        }
        // The parent's list takes the count the new element comes with.
        INode* element = makeElement(qName, attributes, arena_ ? &guessName(qName) : nullptr).detach();
        if (depth_ == 0)
            asking_ = sink_ && !document_->core()->first; // only the document element's tree is asked about
        appendNewChild(*current_, *coreOf(element));
        if (list_) {
            closeTag();
            if (inChild_ == 0)
                childStart_ = listText_.size();
            writeElementStart(listText_, *static_cast<CElement*>(element));
            tagOpen_ = true;
            ++inChild_;
        } else if (asking_) {
            levels_ = INT32_MAX;
            if (sink_->isList(INodePtr(element), levels_)) {
                list_ = coreOf(element);
                levels_ = std::max<int32_t>(levels_, 1);
                listText_.clear();
            }
        }
        current_ = coreOf(element);
        ++depth_;
    }

    void endElement(const DOMString&, const DOMString&, const DOMString& qName) override
    {
        if (list_ && inChild_ > levels_) {
            if (!decodesTo(qName, names_[streamed_ - 1]))
                throw SAXParseException();
            writeEnd(names_[--streamed_]);
            --inChild_;
            --depth_;
            return;
        }
        // An end tag with no element open (at the top level) is as wrong as one that does not match.
        if (!current_ || current_->kind != Kind::Element)
            throw SAXParseException();
        // In a parse with pages every element took its name through guessName: the same bytes
        // as its start tag's end it at once.
        const bool sameAsRead = arena_ && depth_ > 0 && openNames_[static_cast<size_t>(depth_ - 1)]->is(std::string_view(qName.data(), qName.size()));
        if (!sameAsRead && !decodesTo(qName, elementOf(current_)->name().qualified()))
            throw SAXParseException();
        NodeCore* ended = current_;
        current_ = current_->parent;
        --depth_;
        if (list_ && inChild_ > 0) {
            writeEnd(elementOf(ended)->name().qualified());
            if (--inChild_ == 0) {
                INodePtr element = nodeOf(ended);
                current_->self()->removeChild(element);
                sink_->child(nodeOf(list_), std::string_view(listText_.data(), listText_.size()), childStart_, element);
                listText_.clear();
            }
        } else if (ended == list_) {
            if (!listText_.empty())
                sink_->tail(nodeOf(list_), std::string_view(listText_.data(), listText_.size()));
            listText_.clear();
            list_ = nullptr;
        }
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
        if (list_) {
            closeTag();
            writeText(begin, static_cast<size_t>(end - begin));
            if (inChild_ == 0 || inChild_ >= levels_)
                return; // directly in the list, or below the levels built
        }
        appendNewChild(*current_, *coreOf(makeText(begin, static_cast<size_t>(end - begin)).detach()));
    }

    void endDocument() override
    {
        if (current_ != document_->core() || streamed_ != 0)
            throw SAXParseException(); // an element is still open
    }

    void ignorableWhitespace(const char*, int32_t, int32_t) override {}
    void processingInstruction(const DOMString&, const DOMString&) override {}
    void setDocumentLocator(const void*) override {}

    // The builder's own two further operations, kept for the interface's order: both do nothing.
    virtual void startPrefixMapping(const DOMString&, const DOMString&) {}
    virtual void endPrefixMapping(const DOMString&) {}

private:
    // A new node of the parse, in its pages when it has them.
    template <typename Node, typename... Args>
    INodePtr make(Args&&... args)
    {
        if (!arena_)
            return adopt<INode>(new Node(std::forward<Args>(args)...));
        void* room = arena_->allocate(sizeof(Node));
        auto* node = ::new (room) Node(std::forward<Args>(args)...);
        arena_->adoptNode(room, *node->core());
        return adopt<INode>(node);
    }

    // A text node of text as read. The same few runs of references (the line breaks and tabs
    // between elements) come again and again: short ones are decoded once and kept by length.
    INodePtr makeText(const char* text, size_t length)
    {
        constexpr size_t kKept = 64;
        if (length > kKept || !findByte(text, length, '&'))
            return withDecoded(text, length, [&](std::string_view decoded) { return make<CText>(decoded); });
        KeptText& kept = keptTexts_[length % keptTexts_.size()];
        if (kept.raw.size() != length || !sameBytes(kept.raw.data(), text, length)) {
            withDecoded(text, length, [&](std::string_view decoded) { kept.decoded.assign(decoded); });
            kept.raw.assign(text, length);
        }
        return make<CText>(std::string_view(kept.decoded));
    }

    INodePtr makeElement(const DOMString& qName, const std::shared_ptr<IAttributes>& attributes,
                         const NameRecord* known = nullptr)
    {
        INodePtr element = !arena_ ? make<CElement>(ElementName(decodeReferences(qName.data(), qName.size())))
                           : known ? make<CElement>(ElementName::shared(*known))
                                   : make<CElement>(ElementName::shared(arena_->name(std::string_view(qName.data(), qName.size()))));
        auto* target = static_cast<CElement*>(element.get());
        if (attributes && attributes->getLength() > 0) {
            if (const auto* list = dynamic_cast<const CAttributes*>(attributes.get())) {
                for (const CAttribute& a : *list)
                    addAttribute(*target, a.qName(), a.value);
            } else {
                for (int32_t i = 0; i < attributes->getLength(); ++i)
                    addAttribute(*target, attributes->getQName(i), attributes->getValue(i));
            }
        }
        return element;
    }

    // The shared name of the element that starts at depth_: most often the one that followed the
    // previous sibling's name, or began the parent's children, last time; checked, then looked up.
    const NodeArena::Name& guessName(const DOMString& qName)
    {
        const auto depth = static_cast<size_t>(depth_);
        if (openNames_.size() < depth + 2) {
            openNames_.resize(depth + 2, nullptr);
            lastNames_.resize(depth + 2, nullptr);
        }
        NodeArena::Name* previous = lastNames_[depth];
        NodeArena::Name* parent = depth > 0 ? openNames_[depth - 1] : nullptr;
        const NodeArena::Name* guess = previous ? previous->nextSibling : parent ? parent->firstChild : nullptr;
        const std::string_view raw(qName.data(), qName.size());
        NodeArena::Name* name = guess && guess->is(raw) ? const_cast<NodeArena::Name*>(guess) : &arena_->name(raw);
        if (previous)
            previous->nextSibling = name;
        else if (parent)
            parent->firstChild = name;
        openNames_[depth] = lastNames_[depth] = name;
        lastNames_[depth + 1] = nullptr; // its children begin
        return *name;
    }

    // Sets an attribute from its name and value as read; in the parse's pages when it has them.
    void addAttribute(CElement& element, const DOMString& name, const DOMString& value)
    {
        if (!arena_) {
            setDecodedAttribute(element, name, value);
            return;
        }
        const NameRecord& record = arena_->name(std::string_view(name.data(), name.size()));
        if (record.qualified.empty())
            return; // as setDecodedAttribute: a name that could never be written back
        INodePtr text = makeText(value.data(), value.size());
        element.attributeMap().setNamedItem(make<CAttr>(ElementName::shared(record), std::move(text)));
    }

    // ---- writing a list's nodes as they are read, as writeNode writes them ----

    // The start tag written last gets its ">" once the element turns out to have a child.
    void closeTag()
    {
        if (tagOpen_)
            listText_.push_back('>');
        tagOpen_ = false;
    }

    void writeEnd(const DOMString& name)
    {
        if (tagOpen_)
            listText_.append("/>", 2);
        else
            appendEndTag(listText_, name);
        tagOpen_ = false;
    }

    void writeText(const char* text, size_t length)
    {
        if (isEscapedForm(text, length, false)) {
            listText_.append(text, length); // the bytes stand for themselves as written
            return;
        }
        const DOMString data = decodeReferences(text, length);
        appendEscaped(listText_, data.data(), data.size(), false);
    }

    // An element below the levels built: its start tag written, its name kept for its end tag.
    void writeUnbuiltStart(const DOMString& qName, const std::shared_ptr<IAttributes>& attributes)
    {
        closeTag();
        if (streamed_ == names_.size())
            names_.emplace_back();
        DOMString& name = names_[streamed_++];
        if (attributes && attributes->getLength() > 0) {
            INodePtr element = makeElement(qName, attributes);
            auto* written = static_cast<CElement*>(element.get());
            writeElementStart(listText_, *written);
            name = written->name().qualified();
        } else {
            if (findByte(qName.data(), qName.size(), '&'))
                name = decodeReferences(qName.data(), qName.size());
            else
                name.assign(qName);
            listText_.push_back('<');
            appendName(listText_, name);
        }
        tagOpen_ = true;
        ++inChild_;
    }

    IDocumentPtr document_;
    NodeArena* arena_ = nullptr; // the maker's hold on the pages of this parse's nodes
    std::vector<NodeArena::Name*> openNames_; // by depth: the open element's name
    std::vector<NodeArena::Name*> lastNames_; // by depth: the name of the last element begun there
    struct KeptText {
        std::string raw, decoded;
    };
    std::array<KeptText, 16> keptTexts_; // short texts with references, by length
    NodeCore* current_ = nullptr; // inside document_, which keeps it alive
    bool preserveWhitespace_;
    int32_t depth_ = 0;

    IListTextSink* sink_;
    bool asking_ = false;        // the sink is asked about the elements of this top-level tree
    NodeCore* list_ = nullptr;   // the list being read, whose children go to the sink
    int32_t levels_ = INT32_MAX; // the levels of the list's children that are built
    int32_t inChild_ = 0;        // elements open inside the list (its child is the first)
    size_t streamed_ = 0;        // of those, the ones not built: their names are names_[0, streamed_)
    std::vector<DOMString> names_;
    bool tagOpen_ = false;
    size_t childStart_ = 0; // where the child's start tag begins in listText_
    DOMString listText_;    // the written text of the list's nodes not yet handed over
};

// Runs a parse with a fresh builder; returns the root element, detached from the builder's document.
template <typename Run>
INodePtr load(bool preserveWhitespace, Run run, IListTextSink* sink = nullptr)
{
    INodePtr root;
    try {
        auto handler = std::make_shared<CContentHandler>(preserveWhitespace, sink);
        auto reader = std::make_shared<CXMLReader>();
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
    if (length <= kShortText) // the result takes only what it needs
        return withDecoded(text, length, [](std::string_view bytes) { return DOMString(bytes.data(), bytes.size()); });
    const char* amp = findByte(text, length, '&');
    if (!amp)
        return DOMString(text, length);
    const auto first = static_cast<size_t>(amp - text);
    DOMString out;
    out.reserve(length);
    out.append(text, first);
    decodeInto(text, first, length, out);
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

INodePtr loadWithListText(std::string_view text, IListTextSink& sink)
{
    return load(
        true, [&](CXMLReader& reader) { reader.parseBytes(text.data(), text.size()); }, &sink);
}

} // namespace CXMLDOCLIB_Ostrel
