// The library's node classes behind the DOM interfaces. Private to the library, except the element
// class and its node base (xmldoc/element.h).
#pragma once

#include "xmldoc/byte_scan.h"
#include "xmldoc/element.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace CXMLDOCLIB_Ostrel {

/// Nodes allocated and not yet freed by this thread, and the pool's blocks (for tests and benchmarks).
struct NodePoolStats {
    int64_t liveNodes = 0;
    int64_t liveBytes = 0;  ///< bytes of the slots those nodes take
    int64_t blocks = 0;
    int64_t blockBytes = 0; ///< size of one block
};
NodePoolStats nodePoolStats();

/// The memory of the nodes one parse builds: large pages, each found from any node in it, filled
/// in order and given back all at once when the last of those nodes and the parse are gone, with
/// the element names the parse shares among its elements. Counted atomically, so the nodes of one
/// parse may end on different threads; a node that outlives its document keeps all of it.
class NodeArena {
public:
    /// Pages grow from the first to the last size, so that small documents take little.
    static constexpr std::size_t kFirstPageBytes = 8 * 1024;
    static constexpr std::size_t kLastPageBytes = 512 * 1024; // a node's place in 8-byte steps fits 16 bits

    NodeArena() = default;
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    static constexpr std::size_t kNodeAlign = 8; // what every node class needs

    /// Room for one node of size bytes, counted once the node is made (see adoptNode).
    void* allocate(std::size_t size)
    {
        size = (size + kNodeAlign - 1) & ~(kNodeAlign - 1);
        if (static_cast<std::size_t>(end_ - cursor_) < size)
            return allocateInNewPage(size);
        void* room = cursor_;
        cursor_ += size;
        return room;
    }
    /// Marks a node just made at room (from allocate) as this arena's: it keeps the arena.
    void adoptNode(const void* room, NodeCore& core)
    {
        if (reserved_ == 0)
            takeAhead();
        --reserved_;
        core.inArena = true;
        core.pageOffset = static_cast<uint16_t>((static_cast<const char*>(room) - reinterpret_cast<const char*>(page_)) / kNodeAlign);
    }
    /// A shared name with the bytes it was read as and what the parse saw follow it, so that the
    /// next name can be guessed and checked without a look-up.
    struct Name : NameRecord {
        Name(const DOMString& decoded, std::string_view rawBytes) : NameRecord(decoded, DOMString()), raw(rawBytes) {}
        bool is(std::string_view bytes) const { return raw.size() == bytes.size() && sameBytes(raw.data(), bytes.data(), bytes.size()); }
        std::string raw;
        const Name* nextSibling = nullptr; ///< the name of the element that last came after one of this name
        const Name* firstChild = nullptr;  ///< the name of the last first child of an element of this name
    };
    /// The shared record of a name (decoded from its raw bytes as read), made on first use.
    Name& name(std::string_view raw);

    void retain(int64_t count) { refs_.fetch_add(count, std::memory_order_relaxed); }
    /// Drops count references; the last one frees the pages and names.
    void release(int64_t count);
    /// Ends the maker's hold: references taken ahead go back with it.
    void finish() { release(std::exchange(reserved_, 0) + 1); }
    /// The arena of a node made in one of its pages.
    static NodeArena* of(const void* node, const NodeCore& core);

private:
    struct Page {
        NodeArena* arena;
        Page* next;
        std::size_t bytes;
    };
    ~NodeArena();
    void* allocateInNewPage(std::size_t size);
    static constexpr int64_t kAhead = 1024; // references taken in one atomic step
    void takeAhead();

    std::atomic<int64_t> refs_{1}; // the maker's, and one for each live node
    int64_t reserved_ = 0;         // references taken ahead for nodes not made yet
    Page* page_ = nullptr;          // the newest page, the head of the list
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    std::size_t nextPageBytes_ = kFirstPageBytes;
    std::vector<std::unique_ptr<Name>> names_;
    struct NameSlot {
        uint64_t hash = 0;
        Name* record = nullptr; // null: a free slot
    };
    std::vector<NameSlot> slots_; // open addressing by raw bytes, at most half full
};

class CDocument final : public CNodeT<IDocument>, public IDocumentTraversal {
public:
    CDocument() : CNodeT(Kind::Document) {}
    ~CDocument() override;

    // One count for both views of the document.
    int32_t addRef() override { return CNodeT::addRef(); }
    int32_t release() override { return CNodeT::release(); }
    int32_t getRefCount() const override { return CNodeT::getRefCount(); }
    /// A document is no element: fails with DOM_HIERARCHY_ERROR.
    virtual IElementPtr asElement() { fail(DOM_HIERARCHY_ERROR); }

    DOMString getNodeName() override { return "#document"; }
    DOMString getNodeValue() override { return {}; }
    INodePtr setNodeValue(const DOMString&) override { fail(DOM_NO_MODIFICATION); }
    int32_t getNodeType() override { return DOCUMENT_NODE; }
    IDocumentPtr getOwnerDocument() override { return nullptr; }
    INodePtr cloneNode(bool deep) override;
    void setPrefix(const DOMString&) override {}
    DOMString getXML() override;
    void writeXML(std::ostream& out) override;
    DOMString getText() override;

    IElementPtr getDocumentElement() override;
    IElementPtr setDocumentElement(const IElementPtr& element) override;
    IElementPtr createElement(const DOMString& name) override;
    ITextPtr createTextNode(const DOMString& text) override;
    IAttrPtr createAttribute(const DOMString& name) override;
    IElementPtr createElementNS(const DOMString& namespaceURI, const DOMString& qualifiedName) override;
    IAttrPtr createAttributeNS(const DOMString& namespaceURI, const DOMString& qualifiedName) override;
    boost::intrusive_ptr<IValueNode<int32_t>> createIntegerNode(int32_t value) override;
    boost::intrusive_ptr<IValueNode<double>> createFloatNode(double value) override;
    INodePtr loadStream(std::istream& in, bool preserveWhitespace) override;
    INodePtr loadXML(const DOMString& text, bool preserveWhitespace) override;
};

class CAttr final : public CNodeT<IAttr> {
public:
    explicit CAttr(ElementName name) : CNodeT(Kind::Attribute), name_(std::move(name)) {}
    /// An attribute with its value node (a text node).
    CAttr(ElementName name, INodePtr value) : CNodeT(Kind::Attribute), name_(std::move(name)), value_(std::move(value)) {}
    ~CAttr() override = default;

    DOMString getNodeName() override { return name_.qualified(); }
    DOMString getNodeValue() override { return getValue(); }
    INodePtr setNodeValue(const DOMString& value) override
    {
        setValue(value);
        return INodePtr(this);
    }
    int32_t getNodeType() override { return ATTRIBUTE_NODE; }
    INodePtr getParentNode() override { return nullptr; }
    INodeListPtr getChildNodes() override;
    INodePtr getFirstChild() override { return value_; }
    INodePtr getLastChild() override { return value_; }
    INodePtr getPreviousSibling() override { return nullptr; }
    INodePtr getNextSibling() override { return nullptr; }
    INodePtr insertBefore(const INodePtr&, const INodePtr&) override { fail(DOM_HIERARCHY_ERROR); }
    INodePtr replaceChild(const INodePtr&, const INodePtr&) override { fail(DOM_HIERARCHY_ERROR); }
    INodePtr removeChild(const INodePtr&) override { fail(DOM_HIERARCHY_ERROR); }
    bool hasChildNodes() override { return false; }
    INodePtr cloneNode(bool deep) override;
    DOMString getLocalName() override { return name_.localName(); }
    DOMString getNamespaceURI() override { return name_.namespaceURI(); }
    DOMString getPrefix() override { return name_.prefix(); }
    void setPrefix(const DOMString&) override {}
    DOMString getText() override { return getValue(); }

    DOMString getValue() override;
    IAttrPtr setValue(const DOMString& value) override;
    INodePtr getOwnerElement() override;

    const ElementName& name() const { return name_; }
    /// The value's text without a copy (empty when there is no value node).
    const DOMString& valueText() const;
    CNamedNodeMap* ownerMap = nullptr; // uncounted; set only while the attribute is in that map

private:
    ElementName name_;
    INodePtr value_; // a text node, made when a value is first set
};

class CText final : public CNodeT<IText> {
public:
    explicit CText(DOMString data) : CNodeT(Kind::Text), data_(std::move(data)) {}
    explicit CText(std::string_view data) : CNodeT(Kind::Text), data_(data.data(), data.size()) {}

    DOMString getNodeName() override { return "#text"; }
    DOMString getNodeValue() override { return data_; }
    INodePtr setNodeValue(const DOMString& value) override;
    int32_t getNodeType() override { return TEXT_NODE; }
    INodePtr cloneNode(bool) override { return adopt<INode>(new CText(data_)); }
    DOMString getLocalName() override { return "#text"; }
    void setPrefix(const DOMString&) override { fail(DOM_NO_MODIFICATION); }
    DOMString getText() override { return data_; }
    INodePtr setText(const DOMString& text) override { return setNodeValue(text); }

    const DOMString& data() const { return data_; }

private:
    DOMString data_;
};

/// A leaf holding a number: an integer node or a float node.
template <typename T, Kind K>
class CValueNode final : public CNodeT<IValueNode<T>> {
public:
    explicit CValueNode(T value) : CNodeT<IValueNode<T>>(K), value_(value) {}

    DOMString getNodeName() override { return K == Kind::Float ? "float" : "#text"; }
    DOMString getNodeValue() override;
    INodePtr setNodeValue(const DOMString& text) override;
    int32_t getNodeType() override { return TEXT_NODE; }
    INamedNodeMapPtr getAttributes() override;
    INodePtr cloneNode(bool) override { return adopt<INode>(new CValueNode(value_)); }
    DOMString getLocalName() override { return getNodeName(); }
    void setPrefix(const DOMString&) override { fail(DOM_NO_MODIFICATION); }
    DOMString getText() override { return getNodeValue(); }
    INodePtr setText(const DOMString& text) override { return setNodeValue(text); }

    T getValue() override { return value_; }
    T setValue(T value) override { return std::exchange(value_, value); }

private:
    T value_;
};
using CIntegerNode = CValueNode<int32_t, Kind::Integer>;
using CFloatNode = CValueNode<double, Kind::Float>;

class CNodeList final : public INodeList {
public:
    int32_t addRef() override { return ++refs_; }
    int32_t release() override;
    int32_t getRefCount() const override { return refs_; }
    int32_t getLength() override { return static_cast<int32_t>(nodes.size()); }
    INodePtr item(int32_t index) override;
    std::pair<INodeList*, int32_t> begin() override { return {this, 0}; }
    std::pair<INodeList*, int32_t> end() override { return {this, getLength()}; }
    int32_t size() override { return getLength(); }

    std::vector<INodePtr> nodes;

private:
    int32_t refs_ = 1;
};

/// An element's attributes, sorted by qualified name (byte order); each held by one count.
class CNamedNodeMap final : public INamedNodeMap {
public:
    explicit CNamedNodeMap(CElement* owner) : owner_(owner) {}
    ~CNamedNodeMap() override;

    int32_t addRef() override { return ++refs_; }
    int32_t release() override;
    int32_t getRefCount() const override { return refs_; }
    INodePtr getNamedItem(const DOMString& name) override;
    INodePtr setNamedItem(const INodePtr& node) override;
    INodePtr removeNamedItem(const DOMString& name) override;
    INodePtr item(int32_t index) override;
    int32_t getLength() override { return static_cast<int32_t>(items_.size()); }
    std::pair<INamedNodeMap*, int32_t> begin() override { return {this, 0}; }
    std::pair<INamedNodeMap*, int32_t> end() override { return {this, getLength()}; }
    int32_t size() override { return getLength(); }

    CElement* owner() const { return owner_; }
    void clearOwner() { owner_ = nullptr; }
    const std::vector<CAttr*>& items() const { return items_; }
    /// Takes attribute out of the map (it must be in it); the caller gets the map's count.
    CAttr* take(size_t index);

private:
    size_t lowerBound(const DOMString& name) const;
    CElement* owner_;
    std::vector<CAttr*> items_;
    int32_t refs_ = 1;
};

/// Siblings' order numbers leave this gap between them, so a node can be placed between two others.
inline constexpr uint32_t kSiblingOrderGap = 1u << 8;

/// appendNewChild where the order numbers run out: all siblings are numbered afresh.
void appendAtRenumber(NodeCore& parent, NodeCore& child);

/// Links a detached child at the end of parent's list, which takes over the count the caller holds.
/// No checks: for the library's own builders, which append nodes they just made.
inline void appendNewChild(NodeCore& parent, NodeCore& child)
{
    NodeCore* last = parent.last;
    if (last && last->order > UINT32_MAX - kSiblingOrderGap) {
        appendAtRenumber(parent, child);
        return;
    }
    child.order = (last ? last->order : 0) + kSiblingOrderGap;
    child.parent = &parent;
    child.prev = last;
    child.next = nullptr;
    (last ? last->next : parent.first) = &child;
    parent.last = &child;
}

/// A counted pointer to the node whose core this is.
inline INodePtr nodeOf(NodeCore* core) { return core ? INodePtr(core->self()) : INodePtr(); }

/// The concrete element behind a core of kind Element.
inline CElement* elementOf(NodeCore* core) { return static_cast<CElement*>(core->self()); }

/// Escaping and the writer.
void writeNode(INode* node, DOMString& out);
/// "<name attributes" of an element, without the ">" or "/>" that follows.
void writeElementStart(DOMString& out, CElement& element);
/// "</name>".
void appendEndTag(DOMString& out, const DOMString& name);
void appendEscaped(DOMString& out, const char* text, size_t length, bool attribute);
/// True when text is already what appendEscaped writes for the bytes decodeReferences makes of it.
bool isEscapedForm(const char* text, size_t length, bool attribute);
void appendName(DOMString& out, const DOMString& name);
/// True when appendName writes every byte of name as it is.
bool isPlainName(const DOMString& name);

/// Turns character and entity references back into bytes.
DOMString decodeReferences(const char* text, size_t length);

/// XPath selection from a context node.
INodeListPtr selectFrom(INode* context, const DOMString& path);

} // namespace CXMLDOCLIB_Ostrel
