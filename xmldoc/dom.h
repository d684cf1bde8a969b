// The document object model of the XML library: reference-counted interfaces over a tree of
// documents, elements, attributes, text and typed value nodes.
//
// Every node, node list and attribute map is owned by the counted references to it. Operations
// that make something new hand it out with its first count owned by the returned pointer;
// operations that return an existing node add a reference. A parent owns its children; a
// child's link to its parent is not counted. Nothing here is locked: one thread uses a document,
// its nodes and its lists at a time.
//
// Failures are thrown as CDOMException (caught as IDOMException) with one of the codes below and
// an empty message.
#pragma once

#include <boost/intrusive_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iosfwd>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace CXMLDOCLIB_Ostrel {
struct NodeCore;
}

namespace mfpif_Halvet_R1 {

// ---- strings ----

/// The allocator of every container that crosses the library's boundary. Every module of the suite
/// shares one heap here, so storage taken in one module is safely given back in another; the
/// allocator therefore needs no state and no virtual dispatch of its own.
template <typename T>
class VirtulaAllocator {
public:
    using value_type = T;
    VirtulaAllocator() noexcept = default;
    template <typename U>
    VirtulaAllocator(const VirtulaAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p); }
    template <typename U>
    bool operator==(const VirtulaAllocator<U>&) const noexcept { return true; }
};

/// The library's narrow string: the bytes as parsed or given, with no code-page conversion.
using DOMString = std::basic_string<char, std::char_traits<char>, VirtulaAllocator<char>>;

// ---- counting ----

/// The counting operations that open every counted interface.
template <typename T>
class in_intrusive_ptr {
public:
    /// Adds a reference; returns the new count.
    virtual int32_t addRef() = 0;
    /// Drops a reference; destroys the object when the count falls to 0 and returns the new count.
    virtual int32_t release() = 0;
    virtual int32_t getRefCount() const = 0;

protected:
    ~in_intrusive_ptr() = default;
};

class INode;
class IChild;
class IDocument;
class IDocumentTraversal;
class IElement;
class IAttr;
class IText;
class INodeList;
class INamedNodeMap;
template <typename T>
class IValueNode;

using INodePtr = boost::intrusive_ptr<INode>;
using IDocumentPtr = boost::intrusive_ptr<IDocument>;
using IElementPtr = boost::intrusive_ptr<IElement>;
using IAttrPtr = boost::intrusive_ptr<IAttr>;
using ITextPtr = boost::intrusive_ptr<IText>;
using INodeListPtr = boost::intrusive_ptr<INodeList>;
using INamedNodeMapPtr = boost::intrusive_ptr<INamedNodeMap>;

/// Node type codes.
enum : int32_t {
    ELEMENT_NODE = 1,
    ATTRIBUTE_NODE = 2,
    TEXT_NODE = 3, ///< also integer and float nodes
    DOCUMENT_NODE = 9,
};

/// Failure codes of CDOMException.
enum : int32_t {
    DOM_HIERARCHY_ERROR = static_cast<int32_t>(0x80048100),     ///< the tree does not allow the operation
    DOM_NOT_FOUND = static_cast<int32_t>(0x80048101),           ///< the node named is not where it must be
    DOM_NO_MODIFICATION = static_cast<int32_t>(0x80048103),     ///< the node cannot be changed that way
    DOM_ATTRIBUTE_IN_USE = static_cast<int32_t>(0x80048104),    ///< the attribute belongs to an element already
    DOM_NOT_WELL_FORMED = static_cast<int32_t>(0x80048105),     ///< the XML text does not parse
    DOM_XPATH_SYNTAX = static_cast<int32_t>(0x80048106),        ///< the XPath path does not parse
    DOM_NAMESPACE_ERROR = static_cast<int32_t>(0x80048107),     ///< a prefixed name without a namespace URI
};

/// What createEmptyDocument reports when memory runs out.
inline constexpr int32_t XMLDOC_E_OUTOFMEMORY = static_cast<int32_t>(0x8007000E);

// ---- nodes ----

/// A node of the tree.
class INode : public in_intrusive_ptr<INode> {
public:
    virtual ~INode() = default;

    /// "#document", the qualified name of an element or attribute, "#text", or "float".
    virtual DOMString getNodeName() = 0;
    /// The text of a text node, an attribute's value, a value node's number; empty otherwise.
    virtual DOMString getNodeValue() = 0;
    virtual INodePtr setNodeValue(const DOMString& value) = 0;
    virtual int32_t getNodeType() = 0;

    virtual INodePtr getParentNode() = 0;
    /// A snapshot of the children.
    virtual INodeListPtr getChildNodes() = 0;
    virtual INodePtr getFirstChild() = 0;
    virtual INodePtr getLastChild() = 0;
    virtual INodePtr getPreviousSibling() = 0;
    virtual INodePtr getNextSibling() = 0;
    /// An element's attribute map; a new empty map for value nodes; null otherwise.
    virtual INamedNodeMapPtr getAttributes() = 0;
    /// A new empty document to make nodes with (null for a document).
    virtual IDocumentPtr getOwnerDocument() = 0;

    virtual INodePtr insertBefore(const INodePtr& newChild, const INodePtr& refChild) = 0;
    virtual INodePtr replaceChild(const INodePtr& newChild, const INodePtr& oldChild) = 0;
    virtual INodePtr removeChild(const INodePtr& oldChild) = 0;
    virtual INodePtr appendChild(const INodePtr& newChild) = 0;
    virtual bool hasChildNodes() = 0;
    virtual INodePtr cloneNode(bool deep) = 0;

    virtual DOMString getLocalName() = 0;
    virtual DOMString getNamespaceURI() = 0;
    virtual DOMString getPrefix() = 0;
    virtual void setPrefix(const DOMString& prefix) = 0;
    /// Always false: attributes are reached through getAttributes.
    virtual bool hasAttributes() = 0;

    /// The node as XML text on one line.
    virtual DOMString getXML() = 0;
    virtual void writeXML(std::ostream& out) = 0;
    /// The text of the node and everything below it.
    virtual DOMString getText() = 0;
    /// Replaces the children by one text node (none for an empty text).
    virtual INodePtr setText(const DOMString& text) = 0;
    virtual int32_t getInteger() = 0;
    virtual INodePtr setInteger(int32_t value) = 0;

    /// The nodes an XPath path selects from this node, in document order.
    virtual INodeListPtr selectNodes(const DOMString& path) = 0;
    /// The first node an XPath path selects, or null.
    virtual INodePtr selectSingleNode(const DOMString& path) = 0;
    INodeListPtr selectNodes(const char* path) { return selectNodes(DOMString(path ? path : "")); }
    INodePtr selectSingleNode(const char* path) { return selectSingleNode(DOMString(path ? path : "")); }

    /// The library's own view of the node.
    virtual CXMLDOCLIB_Ostrel::NodeCore* core() = 0;
};

/// A node that can be a child: an element, a text node or a value node.
class IChild : public INode {};

/// The traversal view of a document: a document is one; it shares the document's count.
class IDocumentTraversal : public in_intrusive_ptr<IDocumentTraversal> {
protected:
    ~IDocumentTraversal() = default;
};

/// The root of a tree and the factory of its nodes.
class IDocument : public INode {
public:
    /// The first child when it is an element, else null.
    virtual IElementPtr getDocumentElement() = 0;
    /// Removes the first child (given back when it was an element) and appends element (when not null).
    virtual IElementPtr setDocumentElement(const IElementPtr& element) = 0;
    virtual IElementPtr createElement(const DOMString& name) = 0;
    virtual ITextPtr createTextNode(const DOMString& text) = 0;
    virtual IAttrPtr createAttribute(const DOMString& name) = 0;
    virtual IElementPtr createElementNS(const DOMString& namespaceURI, const DOMString& qualifiedName) = 0;
    virtual IAttrPtr createAttributeNS(const DOMString& namespaceURI, const DOMString& qualifiedName) = 0;
    virtual boost::intrusive_ptr<IValueNode<int32_t>> createIntegerNode(int32_t value) = 0;
    virtual boost::intrusive_ptr<IValueNode<double>> createFloatNode(double value) = 0;
    /// Parses XML from a stream; returns the root element of what was read, detached (null when there was none).
    virtual INodePtr loadStream(std::istream& in, bool preserveWhitespace) = 0;
    /// Parses XML text; returns the root element of what was read, detached (null when there was none).
    virtual INodePtr loadXML(const DOMString& text, bool preserveWhitespace) = 0;
    INodePtr loadXML(const char* text, bool preserveWhitespace)
    {
        return loadXML(DOMString(text ? text : ""), preserveWhitespace);
    }
};

class IElement : public IChild {
public:
    /// The value of the named attribute, or "".
    virtual DOMString getAttribute(const DOMString& name) = 0;
    /// Creates or replaces the attribute; returns this element.
    virtual IElementPtr setAttribute(const DOMString& name, const DOMString& value) = 0;
    virtual IElementPtr removeAttribute(const DOMString& name) = 0;
    virtual IAttrPtr getAttributeNode(const DOMString& name) = 0;
    virtual IAttrPtr setAttributeNode(const IAttrPtr& attribute) = 0;
    virtual IAttrPtr removeAttributeNode(const IAttrPtr& attribute) = 0;
    /// The direct children that are elements of that name ("*" for all).
    virtual INodeListPtr getElementsByTagName(const DOMString& name) = 0;
    virtual IElementPtr normalize() = 0;
};

class IAttr : public INode {
public:
    virtual DOMString getValue() = 0;
    virtual IAttrPtr setValue(const DOMString& value) = 0;
    /// The element whose map holds the attribute, or null.
    virtual INodePtr getOwnerElement() = 0;
};

class IText : public IChild {};

/// A leaf holding a number.
template <typename T>
class IValueNode : public IChild {
public:
    virtual T getValue() = 0;
    /// Stores a new value; returns the old one.
    virtual T setValue(T value) = 0;
};
using IIntegerNode = IValueNode<int32_t>;
using IFloatNode = IValueNode<double>;

/// A snapshot list of nodes.
class INodeList : public in_intrusive_ptr<INodeList> {
public:
    virtual ~INodeList() = default;
    virtual int32_t getLength() = 0;
    /// The node at index, or null when the index is out of range.
    virtual INodePtr item(int32_t index) = 0;
    virtual std::pair<INodeList*, int32_t> begin() = 0;
    virtual std::pair<INodeList*, int32_t> end() = 0;
    virtual int32_t size() = 0;
};

/// An element's attributes by qualified name, in byte order of the names.
class INamedNodeMap : public in_intrusive_ptr<INamedNodeMap> {
public:
    virtual INodePtr getNamedItem(const DOMString& name) = 0;
    /// Puts an attribute in; returns the one it replaced, or null.
    virtual INodePtr setNamedItem(const INodePtr& node) = 0;
    virtual INodePtr removeNamedItem(const DOMString& name) = 0;
    virtual INodePtr item(int32_t index) = 0;
    virtual int32_t getLength() = 0;
    virtual std::pair<INamedNodeMap*, int32_t> begin() = 0;
    virtual std::pair<INamedNodeMap*, int32_t> end() = 0;
    virtual int32_t size() = 0;

protected:
    virtual ~INamedNodeMap() = default;
};

// ---- exceptions ----

class IDOMException : public std::exception {
public:
    ~IDOMException() override = default;
    const char* what() const noexcept override { return std::exception::what(); }
    virtual int32_t getCode() const = 0;
};

/// A DOM failure with its code.
class DOMException : public IDOMException {
public:
    explicit DOMException(int32_t code) : code_(code) {}
    int32_t getCode() const override { return code_; }

private:
    int32_t code_;
};

/// A text that does not read as the number asked for.
class ExIllegalConversion : public IDOMException {
public:
    int32_t getCode() const override { return 0; }
};

// ---- counting for boost::intrusive_ptr ----

inline void intrusive_ptr_add_ref(INode* p) { p->addRef(); }
inline void intrusive_ptr_release(INode* p) { p->release(); }
inline void intrusive_ptr_add_ref(INodeList* p) { p->addRef(); }
inline void intrusive_ptr_release(INodeList* p) { p->release(); }
inline void intrusive_ptr_add_ref(INamedNodeMap* p) { p->addRef(); }
inline void intrusive_ptr_release(INamedNodeMap* p) { p->release(); }
inline void intrusive_ptr_add_ref(IDocumentTraversal* p) { p->addRef(); }
inline void intrusive_ptr_release(IDocumentTraversal* p) { p->release(); }

/// A counted pointer that takes over the count a factory already gave.
template <typename T>
boost::intrusive_ptr<T> adopt(T* p)
{
    return boost::intrusive_ptr<T>(p, false);
}

} // namespace mfpif_Halvet_R1

namespace CXMLDOCLIB_Ostrel {
/// The DOM failure thrown by the library.
using CDOMException = mfpif_Halvet_R1::DOMException;

/// A new empty document with one reference owned by the result. When memory runs out the result is
/// null and status (when given) receives XMLDOC_E_OUTOFMEMORY; otherwise it receives 0.
mfpif_Halvet_R1::IDocumentPtr createEmptyDocument(int32_t* status = nullptr);
} // namespace CXMLDOCLIB_Ostrel

/// A new empty document that nobody references yet: the caller takes the first reference.
extern "C" mfpif_Halvet_R1::IDocument* createDocument();
