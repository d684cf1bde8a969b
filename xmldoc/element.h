// The element class of the XML library and the node base it is built on, for libraries that
// derive elements of their own. Everything else of the node classes stays inside the library.
#pragma once

#include "xmldoc/dom.h"

#include <cstdlib>
#include <memory>
#include <utility>

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
    bool inArena = false; ///< made by a parse in its pages (see NodeArena), not by new
    uint16_t pageOffset = 0; ///< where the node lies in its page (in 8-byte steps), when it lies in one

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

/// The core of a node, found without a call (the layout NodeCore::self relies on).
inline NodeCore* coreOf(INode* node)
{
    return reinterpret_cast<NodeCore*>(reinterpret_cast<char*>(node) + sizeof(void*));
}

/// Memory for nodes made by hand (a parse puts its nodes in pages of their own): per-size free
/// lists over large blocks, so building and dropping trees costs little and a tree's nodes lie
/// close together.
void* allocateNode(std::size_t size);
void freeNode(void* p, std::size_t size);

/// Destroys a node whose count fell to zero. Destruction never recurses: a node destroyed while
/// another is being destroyed on this thread waits in a queue, so trees of any depth go safely.
void destroyNode(INode* node);

/// Throws the DOM failure with its code.
[[noreturn]] void fail(int32_t code);

/// A qualified name with its parts: an element's or attribute's own, or one a parse shares among
/// all its nodes of that name.
struct NameRecord {
    DOMString qualified;
    std::unique_ptr<DOMString> uri; // only when there is one
    uint32_t prefixLength = 0;      // bytes of the prefix and its colon
    bool plain = false;             // every byte is written as it is
    NameRecord(const DOMString& qualifiedName, const DOMString& namespaceURI);

    /// Names come from the node pool, as the nodes that own them do.
    static void* operator new(std::size_t size) { return allocateNode(size); }
    static void operator delete(void* p, std::size_t size) { freeNode(p, size); }
};

/// A qualified name split at its first ':' (the prefix keeps the colon), with its namespace URI.
/// A prefix set later is the whole prefix, colons and all: the name keeps the local name it had.
/// The name is either its own or one a parse shares among its elements (kept by their pages).
class ElementName {
public:
    ElementName() = default;
    explicit ElementName(const DOMString& qualified, const DOMString& namespaceURI = {});
    /// A name that refers to record, which outlives it.
    static ElementName shared(const NameRecord& record);
    const DOMString& qualified() const
    {
        static const DOMString empty;
        return record_ ? record_->qualified : empty;
    }
    DOMString localName() const { return qualified().substr(prefixLength()); }
    /// The prefix without its colon.
    DOMString prefix() const { return prefixLength() ? qualified().substr(0, prefixLength() - 1) : DOMString(); }
    DOMString namespaceURI() const { return record_ && record_->uri ? *record_->uri : DOMString(); }
    void setPrefix(const DOMString& prefix);
    /// True when every byte of the name is written as it is.
    bool plain() const { return record_ && record_->plain; }
    ElementName(const ElementName& o);
    ElementName& operator=(const ElementName& o);
    ElementName(ElementName&& o) noexcept : record_(std::exchange(o.record_, nullptr)), owned_(o.owned_) {}
    ElementName& operator=(ElementName&& o) noexcept;
    ~ElementName();

private:
    /// A name of its own whose prefix (with its colon) is the first prefixLength bytes.
    static ElementName split(const DOMString& qualified, const DOMString& namespaceURI, uint32_t prefixLength);
    uint32_t prefixLength() const { return record_ ? record_->prefixLength : 0; }
    const NameRecord* record_ = nullptr;
    bool owned_ = false;
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

/// An element. Other libraries may derive their own elements from it (a class that adds
/// operations of its own and keeps the element's); such an object is made with new, counted like
/// every node, and destroyed through its virtual destructor when its last reference goes.
class CElement : public CNodeT<IElement> {
public:
    explicit CElement(ElementName name) : CNodeT(Kind::Element), name_(std::move(name)) {}
    ~CElement() override;

    /// The node as an element: itself.
    virtual IElementPtr asElement() { return IElementPtr(this); }

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

} // namespace CXMLDOCLIB_Ostrel
