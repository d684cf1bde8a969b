// The library's node classes behind the DOM interfaces. Private to the library.
#pragma once

#include "xmldoc/dom.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace CXMLDOCLIB_Ostrel {

using namespace mfpif_Halvet_R1;

enum class Kind : uint8_t { Document, Element, Attribute, Text, Integer, Float };

/// What every node holds: its count, its kind, the (uncounted) link to its parent with its place
/// among the siblings, and, for documents and elements, the list of children, each counted once.
struct NodeCore {
    NodeCore* parent = nullptr;
    NodeCore* prev = nullptr;
    NodeCore* next = nullptr;
    NodeCore* first = nullptr;
    NodeCore* last = nullptr;
    int32_t refs = 1;
    uint32_t order = 0; ///< increases along the sibling list: document order among siblings in O(1)
    Kind kind = Kind::Text;

    /// The node this core belongs to. Every node class keeps its core as the first member after
    /// the interface's table pointer (checked when the node is made), so the node sits right before it.
    INode* self() const
    {
        return reinterpret_cast<INode*>(reinterpret_cast<char*>(const_cast<NodeCore*>(this)) - sizeof(void*));
    }

    bool isChildKind() const { return kind != Kind::Document && kind != Kind::Attribute; }
    bool isParentKind() const { return kind == Kind::Document || kind == Kind::Element; }
    bool isLeaf() const { return kind == Kind::Text || kind == Kind::Integer || kind == Kind::Float; }
};

/// Memory for nodes: per-size free lists over large blocks, so building and dropping trees costs
/// little and a tree's nodes lie close together.
void* allocateNode(std::size_t size);
void freeNode(void* p, std::size_t size);

/// Nodes allocated and not yet freed by this thread, and the pool's blocks (for tests and benchmarks).
struct NodePoolStats {
    int64_t liveNodes = 0;
    int64_t liveBytes = 0;  ///< bytes of the slots those nodes take
    int64_t blocks = 0;
    int64_t blockBytes = 0; ///< size of one block
};
NodePoolStats nodePoolStats();

/// Destroys a node whose count fell to zero. Destruction never recurses: a node destroyed while
/// another is being destroyed on this thread waits in a queue, so trees of any depth go safely.
void destroyNode(INode* node);

/// Throws the DOM failure with its code.
[[noreturn]] void fail(int32_t code);

/// A qualified name split at its first ':' (the prefix keeps the colon), with its namespace URI.
class ElementName {
public:
    ElementName() = default;
    explicit ElementName(const DOMString& qualified, const DOMString& namespaceURI = {});
    const DOMString& qualified() const { return qualified_; }
    DOMString localName() const { return qualified_.substr(prefixLength_); }
    /// The prefix without its colon.
    DOMString prefix() const { return prefixLength_ ? qualified_.substr(0, prefixLength_ - 1) : DOMString(); }
    DOMString namespaceURI() const { return uri_ ? *uri_ : DOMString(); }
    void setPrefix(const DOMString& prefix);
    ElementName(const ElementName& o);
    ElementName& operator=(const ElementName& o);
    ElementName(ElementName&&) noexcept = default;
    ElementName& operator=(ElementName&&) noexcept = default;

private:
    DOMString qualified_;
    std::unique_ptr<DOMString> uri_; // only when there is one
    uint32_t prefixLength_ = 0;      // bytes of the prefix and its colon
};

/// The default bodies every node class shares, over the node's core.
template <typename I>
class CNodeT : public I {
public:
    int32_t addRef() override { return ++core_.refs; }
    int32_t release() override
    {
        const int32_t left = --core_.refs;
        if (left <= 0)
            destroyNode(this);
        return left;
    }
    int32_t getRefCount() const override { return core_.refs; }
    NodeCore* core() override { return &core_; }

    INodePtr getParentNode() override { return core_.parent ? INodePtr(core_.parent->self()) : INodePtr(); }
    INodeListPtr getChildNodes() override;
    INodePtr getFirstChild() override { return core_.first ? INodePtr(core_.first->self()) : INodePtr(); }
    INodePtr getLastChild() override { return core_.last ? INodePtr(core_.last->self()) : INodePtr(); }
    INodePtr getPreviousSibling() override { return core_.prev ? INodePtr(core_.prev->self()) : INodePtr(); }
    INodePtr getNextSibling() override { return core_.next ? INodePtr(core_.next->self()) : INodePtr(); }
    INamedNodeMapPtr getAttributes() override { return nullptr; }
    IDocumentPtr getOwnerDocument() override { return createEmptyDocument(); }

    INodePtr insertBefore(const INodePtr& newChild, const INodePtr& refChild) override;
    INodePtr replaceChild(const INodePtr& newChild, const INodePtr& oldChild) override;
    INodePtr removeChild(const INodePtr& oldChild) override;
    INodePtr appendChild(const INodePtr& newChild) override { return insertBefore(newChild, nullptr); }
    bool hasChildNodes() override { return core_.first != nullptr; }

    DOMString getLocalName() override { return {}; }
    DOMString getNamespaceURI() override { return {}; }
    DOMString getPrefix() override { return {}; }
    bool hasAttributes() override { return false; }

    DOMString getXML() override;
    void writeXML(std::ostream& out) override;
    DOMString getText() override;
    INodePtr setText(const DOMString& text) override;
    int32_t getInteger() override;
    INodePtr setInteger(int32_t value) override;
    INodeListPtr selectNodes(const DOMString& path) override;
    INodePtr selectSingleNode(const DOMString& path) override;

protected:
    explicit CNodeT(Kind kind)
    {
        core_.kind = kind;
        if (core_.self() != static_cast<INode*>(this))
            std::abort(); // the layout NodeCore::self relies on
    }
    NodeCore core_;

public:
    /// Nodes come from the library's node pool.
    static void* operator new(std::size_t size) { return allocateNode(size); }
    static void operator delete(void* p, std::size_t size) { freeNode(p, size); }
};

class CNamedNodeMap;

class CDocument final : public CNodeT<IDocument> {
public:
    CDocument() : CNodeT(Kind::Document) {}
    ~CDocument() override;

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

class CElement final : public CNodeT<IElement> {
public:
    explicit CElement(ElementName name) : CNodeT(Kind::Element), name_(std::move(name)) {}
    ~CElement() override;

    DOMString getNodeName() override { return name_.qualified(); }
    DOMString getNodeValue() override { return {}; }
    INodePtr setNodeValue(const DOMString&) override { fail(DOM_NO_MODIFICATION); }
    int32_t getNodeType() override { return ELEMENT_NODE; }
    INamedNodeMapPtr getAttributes() override;
    INodePtr cloneNode(bool deep) override;
    DOMString getLocalName() override { return name_.localName(); }
    DOMString getNamespaceURI() override { return name_.namespaceURI(); }
    DOMString getPrefix() override { return name_.prefix(); }
    void setPrefix(const DOMString& prefix) override { name_.setPrefix(prefix); }

    DOMString getAttribute(const DOMString& name) override;
    IElementPtr setAttribute(const DOMString& name, const DOMString& value) override;
    IElementPtr removeAttribute(const DOMString& name) override;
    IAttrPtr getAttributeNode(const DOMString& name) override;
    IAttrPtr setAttributeNode(const IAttrPtr& attribute) override;
    IAttrPtr removeAttributeNode(const IAttrPtr& attribute) override;
    INodeListPtr getElementsByTagName(const DOMString& name) override;
    IElementPtr normalize() override { return IElementPtr(this); }

    const ElementName& name() const { return name_; }
    /// The map, made on first use.
    CNamedNodeMap& attributeMap();
    /// The map when there is one.
    CNamedNodeMap* existingMap() const { return map_; }

private:
    ElementName name_;
    CNamedNodeMap* map_ = nullptr; // counted once while held
};

class CAttr final : public CNodeT<IAttr> {
public:
    explicit CAttr(ElementName name) : CNodeT(Kind::Attribute), name_(std::move(name)) {}
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

/// Links a detached child at the end of parent's list (the list takes one count). No checks: for
/// the library's own builders, which append nodes they just made.
void appendNewChild(NodeCore& parent, NodeCore& child);

/// A counted pointer to the node whose core this is.
inline INodePtr nodeOf(NodeCore* core) { return core ? INodePtr(core->self()) : INodePtr(); }

/// The concrete element behind a core of kind Element.
inline CElement* elementOf(NodeCore* core) { return static_cast<CElement*>(core->self()); }

/// Escaping and the writer.
void writeNode(INode* node, DOMString& out);
void appendEscaped(DOMString& out, const char* text, size_t length, bool attribute);
void appendName(DOMString& out, const DOMString& name);

/// Turns character and entity references back into bytes.
DOMString decodeReferences(const char* text, size_t length);

/// XPath selection from a context node.
INodeListPtr selectFrom(INode* context, const DOMString& path);

} // namespace CXMLDOCLIB_Ostrel
