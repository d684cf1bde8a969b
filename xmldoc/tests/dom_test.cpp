// Unit tests of the document object model: counting and ownership, the tree operations, node
// lists, documents, elements, attributes and their map, text and value nodes, and the writer.
#include "xmldoc/dom.h"

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>

// ---- live heap blocks: lets a test see that what it dropped was really destroyed ----

namespace {
std::atomic<long> liveBlocks{0};

void* countedAlloc(std::size_t size) noexcept
{
    void* p = std::malloc(size ? size : 1);
    if (p)
        ++liveBlocks;
    return p;
}

void countedFree(void* p) noexcept
{
    if (p) {
        --liveBlocks;
        std::free(p);
    }
}
} // namespace

void* operator new(std::size_t size)
{
    if (void* p = countedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {

using namespace mfpif_Halvet_R1;
using CXMLDOCLIB_Ostrel::createEmptyDocument;

/// The heap blocks made and not given back since the probe was built.
class HeapProbe {
public:
    HeapProbe()
    {
        static const bool warm = [] {
            // The library keeps a queue for node destruction; let it take its storage once.
            auto doc = createEmptyDocument();
            doc->appendChild(doc->createElement("w"))->appendChild(doc->createTextNode("t"));
            return true;
        }();
        (void)warm;
        start_ = liveBlocks.load();
    }
    long kept() const { return liveBlocks.load() - start_; }

private:
    long start_;
};

std::string str(const DOMString& s) { return {s.data(), s.size()}; }

/// The code of the DOM failure the call throws, 0 when it throws none.
template <typename F>
int32_t domError(F&& call)
{
    try {
        call();
    } catch (const CXMLDOCLIB_Ostrel::CDOMException& e) {
        return e.getCode();
    }
    return 0;
}

IAttrPtr asAttr(const INodePtr& n)
{
    EXPECT_TRUE(n && n->getNodeType() == ATTRIBUTE_NODE);
    return IAttrPtr(static_cast<IAttr*>(n.get()));
}

/// The children's names, first to last; checks the parent links and the backward links too.
std::string childNames(const INodePtr& parent)
{
    std::string forward, backward;
    int32_t count = 0;
    for (INodePtr c = parent->getFirstChild(); c; c = c->getNextSibling(), ++count) {
        EXPECT_EQ(c->getParentNode().get(), parent.get());
        forward += (forward.empty() ? "" : " ") + str(c->getNodeName());
    }
    for (INodePtr c = parent->getLastChild(); c; c = c->getPreviousSibling())
        backward = str(c->getNodeName()) + (backward.empty() ? "" : " ") + backward;
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(parent->getChildNodes()->getLength(), count);
    return forward;
}

class Dom : public ::testing::Test {
protected:
    IDocumentPtr doc = createEmptyDocument();
    IElementPtr el(const char* name) { return doc->createElement(name); }
    /// An element with element children of the given names.
    IElementPtr parentOf(const char* name, std::initializer_list<const char*> children)
    {
        auto p = el(name);
        for (const char* c : children)
            p->appendChild(el(c));
        return p;
    }
};

// ---- counting and ownership ----

TEST_F(Dom, CountsFollowReferencesAndParents)
{
    auto parent = el("p");
    auto child = el("c");
    EXPECT_EQ(child->getRefCount(), 1);
    parent->appendChild(child);
    EXPECT_EQ(child->getRefCount(), 2);
    parent->removeChild(child);
    EXPECT_EQ(child->getRefCount(), 1);

    IElement* raw = el("r").detach();
    EXPECT_EQ(raw->addRef(), 2);
    EXPECT_EQ(raw->release(), 1);
    HeapProbe probe;
    EXPECT_EQ(raw->release(), 0);
    EXPECT_LT(probe.kept(), 0); // the element went away
}

TEST_F(Dom, DroppedNodesAreDestroyedAndAppendedOnesLive)
{
    HeapProbe probe;
    {
        auto dropped = el("gone");
        dropped->setAttribute("a", "1");
        auto parent = el("p");
        parent->appendChild(el("kept"))->appendChild(doc->createTextNode("t"));
        INodePtr kept = parent->getFirstChild();
        EXPECT_EQ(str(kept->getNodeName()), "kept");
        EXPECT_EQ(kept->getRefCount(), 2);
        EXPECT_EQ(str(kept->getText()), "t");
    }
    EXPECT_EQ(probe.kept(), 0);
}

TEST_F(Dom, OwnerDocumentIsANewEmptyDocumentEachTime)
{
    auto e = el("e");
    auto d1 = e->getOwnerDocument();
    auto d2 = e->getOwnerDocument();
    ASSERT_TRUE(d1 && d2);
    EXPECT_NE(d1.get(), d2.get());
    EXPECT_FALSE(d1->hasChildNodes());
    EXPECT_FALSE(doc->getOwnerDocument());
    EXPECT_TRUE(doc->createTextNode("t")->getOwnerDocument());
    EXPECT_TRUE(doc->createAttribute("a")->getOwnerDocument());
}

TEST_F(Dom, ExportedDocumentStartsUnreferenced)
{
    HeapProbe probe;
    IElementPtr root;
    {
        IDocument* raw = createDocument();
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(raw->getRefCount(), 0);
        IDocumentPtr held(raw);
        EXPECT_EQ(held->getRefCount(), 1);
        root = held->createElement("root");
        held->appendChild(root);
        EXPECT_EQ(root->getParentNode().get(), static_cast<INode*>(raw));
    }
    // The document is gone; the element it held survives, detached.
    EXPECT_FALSE(root->getParentNode());
    EXPECT_EQ(root->getRefCount(), 1);
    root = nullptr;
    EXPECT_EQ(probe.kept(), 0);
}

TEST_F(Dom, WholeTreeWithMapsListsAndValuesIsFreed)
{
    HeapProbe probe;
    {
        auto d = createEmptyDocument();
        auto root = d->createElement("root");
        d->appendChild(root);
        root->setAttribute("b", "2")->setAttribute("a", "1");
        root->appendChild(d->createIntegerNode(3));
        root->appendChild(d->createFloatNode(0.5));
        root->appendChild(d->createElement("x"))->setText("y");
        auto map = root->getAttributes();
        auto list = root->getChildNodes();
        auto copy = d->cloneNode(true);
        root->setAttribute("a", "replaced");
        root->removeChild(root->getFirstChild());
    }
    EXPECT_EQ(probe.kept(), 0);
}

// ---- navigation and the four child operations ----

TEST_F(Dom, Navigation)
{
    auto p = parentOf("p", {"a", "b", "c"});
    EXPECT_EQ(childNames(p), "a b c");
    EXPECT_FALSE(p->getFirstChild()->getPreviousSibling());
    EXPECT_FALSE(p->getLastChild()->getNextSibling());
    EXPECT_FALSE(p->getParentNode());
    EXPECT_FALSE(p->getNextSibling());
    EXPECT_FALSE(p->getPreviousSibling());
    auto text = doc->createTextNode("t");
    EXPECT_FALSE(text->getFirstChild());
    EXPECT_FALSE(text->getLastChild());
    EXPECT_FALSE(text->hasChildNodes());
    EXPECT_FALSE(doc->hasChildNodes());
    doc->appendChild(p);
    EXPECT_TRUE(doc->hasChildNodes());
    EXPECT_EQ(p->getParentNode().get(), static_cast<INode*>(doc.get()));
}

TEST_F(Dom, AppendAndInsertPlaceAndMoveNodes)
{
    auto p = parentOf("p", {"a", "b"});
    INodePtr last = p->getLastChild();
    EXPECT_EQ(p->appendChild(last).get(), last.get()); // re-appending the last child changes nothing
    EXPECT_EQ(childNames(p), "a b");
    EXPECT_EQ(last->getRefCount(), 2);

    auto first = el("first");
    EXPECT_EQ(p->insertBefore(first, p->getFirstChild()).get(), static_cast<INode*>(first.get()));
    p->insertBefore(el("mid"), last);
    p->insertBefore(el("end"), nullptr);
    EXPECT_EQ(childNames(p), "first a mid b end");

    auto other = parentOf("o", {"x"});
    other->appendChild(p->getFirstChild()->getNextSibling()); // a moves over
    EXPECT_EQ(childNames(p), "first mid b end");
    EXPECT_EQ(childNames(other), "x a");
    p->insertBefore(other->getFirstChild(), last); // and x comes into the middle
    EXPECT_EQ(childNames(p), "first mid x b end");
    EXPECT_EQ(childNames(other), "a");
}

TEST_F(Dom, FailedInsertLeavesEverythingInPlace)
{
    auto p = parentOf("p", {"a", "b"});
    auto other = parentOf("o", {"x", "y"});
    INodePtr x = other->getFirstChild();
    INodePtr y = other->getLastChild();
    // The reference node is not a child of p: x stays with its old parent.
    EXPECT_EQ(domError([&] { p->insertBefore(x, y); }), DOM_NOT_FOUND);
    EXPECT_EQ(x->getParentNode().get(), static_cast<INode*>(other.get()));
    EXPECT_EQ(childNames(other), "x y");
    EXPECT_EQ(childNames(p), "a b");
    EXPECT_EQ(domError([&] { p->insertBefore(el("n"), el("free")); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { p->replaceChild(x, y); }), DOM_NOT_FOUND);
    EXPECT_EQ(childNames(other), "x y");
    EXPECT_EQ(childNames(p), "a b");
    EXPECT_EQ(x->getRefCount(), 2);
}

TEST_F(Dom, InsertingOrReplacingANodeByItselfChangesNothing)
{
    auto p = parentOf("p", {"a", "b", "c"});
    INodePtr b = p->getFirstChild()->getNextSibling();
    EXPECT_EQ(domError([&] { EXPECT_EQ(p->insertBefore(b, b).get(), b.get()); }), 0);
    EXPECT_EQ(childNames(p), "a b c");
    EXPECT_EQ(domError([&] { EXPECT_EQ(p->replaceChild(b, b).get(), b.get()); }), 0);
    EXPECT_EQ(childNames(p), "a b c");
    EXPECT_EQ(b->getRefCount(), 2);
}

TEST_F(Dom, HierarchyErrorsChangeNothing)
{
    auto root = parentOf("root", {"mid"});
    auto mid = root->getFirstChild();
    mid->appendChild(el("leaf"));
    auto attr = doc->createAttribute("at");
    auto bad = {INodePtr(), INodePtr(attr), INodePtr(createEmptyDocument())};
    for (const INodePtr& n : bad) {
        EXPECT_EQ(domError([&] { mid->appendChild(n); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { mid->insertBefore(n, nullptr); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { mid->replaceChild(n, mid->getFirstChild()); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { mid->removeChild(n); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { mid->replaceChild(el("n"), n); }), DOM_HIERARCHY_ERROR);
        if (n) { // a null reference means "at the end"
            EXPECT_EQ(domError([&] { mid->insertBefore(el("n"), n); }), DOM_HIERARCHY_ERROR);
        }
    }
    // Under itself or under its own descendant.
    EXPECT_EQ(domError([&] { mid->appendChild(mid); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { mid->appendChild(root); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { mid->getFirstChild()->appendChild(root); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { mid->replaceChild(root, mid->getFirstChild()); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(childNames(root), "mid");
    EXPECT_EQ(childNames(mid), "leaf");
    EXPECT_FALSE(root->getParentNode());
    // Leaves and attributes take no children at all.
    std::initializer_list<INodePtr> leaves = {doc->createTextNode("t"), doc->createIntegerNode(1),
                                              doc->createFloatNode(1.5), attr};
    for (const INodePtr& leaf : leaves) {
        auto n = el("n");
        EXPECT_EQ(domError([&] { leaf->appendChild(n); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { leaf->insertBefore(n, nullptr); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { leaf->replaceChild(n, mid); }), DOM_HIERARCHY_ERROR);
        EXPECT_EQ(domError([&] { leaf->removeChild(mid); }), DOM_HIERARCHY_ERROR);
        EXPECT_FALSE(n->getParentNode());
    }
}

TEST_F(Dom, RemoveAndReplace)
{
    auto p = parentOf("p", {"a", "b", "c"});
    INodePtr a = p->getFirstChild();
    EXPECT_EQ(p->removeChild(a).get(), a.get());
    EXPECT_FALSE(a->getParentNode());
    EXPECT_FALSE(a->getNextSibling());
    EXPECT_EQ(a->getRefCount(), 1);
    EXPECT_EQ(domError([&] { p->removeChild(a); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { doc->removeChild(p->getFirstChild()); }), DOM_NOT_FOUND);
    EXPECT_EQ(childNames(p), "b c");

    INodePtr b = p->getFirstChild();
    EXPECT_EQ(p->replaceChild(a, b).get(), b.get());
    EXPECT_FALSE(b->getParentNode());
    EXPECT_EQ(b->getRefCount(), 1);
    EXPECT_EQ(childNames(p), "a c");
    // A sibling takes the place of the replaced node.
    EXPECT_EQ(p->replaceChild(p->getLastChild(), a).get(), a.get());
    EXPECT_EQ(childNames(p), "c");
    // A node from another parent moves over.
    auto other = parentOf("o", {"x", "y"});
    p->replaceChild(other->getLastChild(), p->getFirstChild());
    EXPECT_EQ(childNames(p), "y");
    EXPECT_EQ(childNames(other), "x");
    EXPECT_EQ(domError([&] { p->replaceChild(el("n"), a); }), DOM_NOT_FOUND);
}

// ---- node lists ----

TEST_F(Dom, NodeListsAreSnapshots)
{
    auto p = parentOf("p", {"a", "b"});
    auto before = p->getChildNodes();
    p->appendChild(el("c"));
    EXPECT_EQ(before->getLength(), 2);
    auto all = p->getChildNodes();
    p->setText("");
    ASSERT_EQ(all->getLength(), 3);
    EXPECT_EQ(all->size(), 3);
    EXPECT_EQ(str(all->item(2)->getNodeName()), "c");
    EXPECT_FALSE(all->item(0)->getParentNode());
    EXPECT_EQ(all->item(0)->getRefCount(), 3); // both lists and this call
    EXPECT_FALSE(all->item(-1));
    EXPECT_FALSE(all->item(3));
    EXPECT_FALSE(all->item(INT32_MAX));
    EXPECT_EQ(all->begin(), std::make_pair(all.get(), 0));
    EXPECT_EQ(all->end(), std::make_pair(all.get(), 3));
    std::initializer_list<INodePtr> leaves = {doc->createTextNode("t"), doc->createIntegerNode(1),
                                              doc->createFloatNode(1.5), doc->createAttribute("a")};
    for (const INodePtr& leaf : leaves) {
        auto list = leaf->getChildNodes();
        ASSERT_TRUE(list);
        EXPECT_EQ(list->getLength(), 0);
        EXPECT_FALSE(list->item(0));
        EXPECT_EQ(list->end(), std::make_pair(list.get(), 0));
    }
}

TEST_F(Dom, ElementsByTagNameLooksAtDirectChildrenOnly)
{
    auto a = parentOf("a", {"b", "d", "ns:b"});
    a->getFirstChild()->appendChild(el("c"));
    a->insertBefore(doc->createTextNode("t"), a->getLastChild());
    auto all = a->getElementsByTagName("*");
    ASSERT_EQ(all->getLength(), 3);
    EXPECT_EQ(str(all->item(0)->getNodeName()), "b");
    EXPECT_EQ(str(all->item(1)->getNodeName()), "d");
    EXPECT_EQ(a->getElementsByTagName("b")->getLength(), 1);
    EXPECT_EQ(a->getElementsByTagName("ns:b")->getLength(), 1);
    EXPECT_EQ(a->getElementsByTagName("c")->getLength(), 0);
    EXPECT_EQ(a->getElementsByTagName("#text")->getLength(), 0);
}

// ---- documents ----

TEST_F(Dom, NewDocument)
{
    EXPECT_FALSE(doc->getDocumentElement());
    EXPECT_EQ(str(doc->getXML()), "");
    EXPECT_EQ(str(doc->getText()), "");
    EXPECT_EQ(doc->getChildNodes()->getLength(), 0);
    EXPECT_EQ(str(doc->getNodeName()), "#document");
    EXPECT_EQ(doc->getNodeType(), DOCUMENT_NODE);
    EXPECT_FALSE(doc->getAttributes());
    EXPECT_FALSE(doc->getParentNode());
    EXPECT_EQ(domError([&] { doc->setNodeValue("x"); }), DOM_NO_MODIFICATION);
    doc->setPrefix("p");
    EXPECT_EQ(str(doc->getPrefix()) + str(doc->getLocalName()) + str(doc->getNamespaceURI()), "");
}

TEST_F(Dom, DocumentElement)
{
    auto a = el("a");
    EXPECT_FALSE(doc->setDocumentElement(a));
    EXPECT_EQ(doc->getDocumentElement().get(), a.get());
    auto b = el("b");
    EXPECT_EQ(doc->setDocumentElement(b).get(), a.get());
    EXPECT_FALSE(a->getParentNode());
    EXPECT_EQ(childNames(doc), "b");
    EXPECT_EQ(str(doc->getXML()), "<b/>");
    EXPECT_EQ(doc->setDocumentElement(nullptr).get(), b.get());
    EXPECT_FALSE(doc->hasChildNodes());
    // A text first child: no document element, and setDocumentElement gives back nothing.
    doc->appendChild(doc->createTextNode("t"));
    doc->appendChild(a);
    EXPECT_FALSE(doc->getDocumentElement());
    EXPECT_EQ(str(doc->getText()), "t");
    EXPECT_FALSE(doc->setDocumentElement(b));
    EXPECT_EQ(childNames(doc), "a b");
}

TEST_F(Dom, NamespacedCreation)
{
    EXPECT_EQ(domError([&] { doc->createElementNS("", "p:x"); }), DOM_NAMESPACE_ERROR);
    EXPECT_EQ(domError([&] { doc->createAttributeNS("", "p:x"); }), DOM_NAMESPACE_ERROR);
    auto plain = doc->createElementNS("", "x");
    EXPECT_EQ(str(plain->getNodeName()), "x");
    for (INodePtr n : {INodePtr(doc->createElementNS("urn:x", "p:x")), INodePtr(doc->createAttributeNS("urn:x", "p:x"))}) {
        EXPECT_EQ(str(n->getNodeName()), "p:x");
        EXPECT_EQ(str(n->getPrefix()), "p");
        EXPECT_EQ(str(n->getLocalName()), "x");
        EXPECT_EQ(str(n->getNamespaceURI()), "urn:x");
    }
    auto e = el("ns:item");
    EXPECT_EQ(str(e->getPrefix()) + "|" + str(e->getLocalName()) + "|" + str(e->getNamespaceURI()), "ns|item|");
}

TEST_F(Dom, CloningADocument)
{
    auto root = parentOf("root", {"a"});
    root->setAttribute("k", "v");
    doc->appendChild(root);
    auto deep = doc->cloneNode(true);
    ASSERT_EQ(deep->getNodeType(), DOCUMENT_NODE);
    EXPECT_EQ(str(deep->getXML()), "<root k='v'><a/></root>");
    EXPECT_NE(deep->getFirstChild().get(), static_cast<INode*>(root.get()));
    EXPECT_EQ(deep->getFirstChild()->getParentNode().get(), deep.get());
    EXPECT_EQ(root->getParentNode().get(), static_cast<INode*>(doc.get()));
    deep->removeChild(deep->getFirstChild());
    EXPECT_EQ(childNames(doc), "root");
    EXPECT_EQ(childNames(root), "a");
    auto shallow = doc->cloneNode(false);
    EXPECT_FALSE(shallow->hasChildNodes());
    EXPECT_EQ(root->getParentNode().get(), static_cast<INode*>(doc.get()));
}

// ---- elements ----

TEST_F(Dom, ElementBasics)
{
    auto e = el("e");
    EXPECT_EQ(e->getNodeType(), ELEMENT_NODE);
    EXPECT_EQ(str(e->getNodeValue()), "");
    EXPECT_EQ(domError([&] { e->setNodeValue("x"); }), DOM_NO_MODIFICATION);
    EXPECT_EQ(str(e->getAttribute("none")), "");
    EXPECT_FALSE(e->getAttributeNode("none"));
    auto map = e->getAttributes();
    EXPECT_EQ(map->getLength(), 0);
    EXPECT_EQ(e->getAttributes().get(), map.get());
    e->setAttribute("a", "1");
    EXPECT_FALSE(e->hasAttributes());
    EXPECT_EQ(map->getLength(), 1);
    EXPECT_EQ(e->normalize().get(), e.get());
    EXPECT_EQ(str(e->getXML()), "<e a='1'/>");

    auto n = el("ns:item");
    n->setPrefix("x");
    EXPECT_EQ(str(n->getNodeName()), "x:item");
    EXPECT_EQ(str(n->getPrefix()), "x");
    n->setPrefix("");
    EXPECT_EQ(str(n->getNodeName()), "item");
    EXPECT_EQ(str(n->getPrefix()), "");
    n->setPrefix("y");
    EXPECT_EQ(str(n->getNodeName()) + "|" + str(n->getLocalName()), "y:item|item");
}

TEST_F(Dom, SettingAndRemovingAttributes)
{
    auto e = el("e");
    e->setAttribute("a", "first");
    auto firstAttr = e->getAttributeNode("a");
    EXPECT_EQ(firstAttr->getOwnerElement().get(), static_cast<INode*>(e.get()));
    EXPECT_EQ(e->setAttribute("a", "second").get(), e.get());
    EXPECT_EQ(e->getAttributes()->getLength(), 1);
    EXPECT_EQ(str(e->getAttribute("a")), "second");
    EXPECT_FALSE(firstAttr->getOwnerElement()); // free again
    EXPECT_EQ(firstAttr->getRefCount(), 1);
    EXPECT_EQ(str(firstAttr->getValue()), "first");

    auto f = el("f");
    EXPECT_EQ(domError([&] { f->removeAttribute("a"); }), DOM_NOT_FOUND); // no map yet
    EXPECT_EQ(f->setAttributeNode(firstAttr).get(), firstAttr.get());
    EXPECT_EQ(domError([&] { f->removeAttribute("b"); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { f->removeAttributeNode(e->getAttributeNode("a")); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { e->removeAttributeNode(firstAttr); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { el("g")->removeAttributeNode(firstAttr); }), DOM_NOT_FOUND);
    EXPECT_EQ(f->removeAttribute("a").get(), f.get());
    EXPECT_EQ(f->getAttributes()->getLength(), 0);
    EXPECT_FALSE(firstAttr->getOwnerElement());
}

TEST_F(Dom, CloningAnElementCopiesAttributesAndNamespace)
{
    auto src = doc->createElementNS("urn:s", "s:e");
    src->setAttribute("k", "v");
    src->appendChild(doc->createTextNode("one"));
    src->appendChild(el("inner"))->appendChild(doc->createTextNode("two"));
    src->appendChild(doc->createIntegerNode(3));
    doc->appendChild(src);

    auto deep = src->cloneNode(true);
    EXPECT_FALSE(deep->getParentNode());
    EXPECT_EQ(str(deep->getNamespaceURI()), "urn:s");
    EXPECT_EQ(str(deep->getXML()), "<s:e k='v'>one<inner>two</inner>3</s:e>");
    auto copyAttr = deep->getAttributes()->getNamedItem("k");
    auto srcAttr = src->getAttributeNode("k");
    EXPECT_NE(copyAttr.get(), static_cast<INode*>(srcAttr.get()));
    EXPECT_EQ(asAttr(copyAttr)->getOwnerElement().get(), deep.get());
    copyAttr->setNodeValue("changed");
    EXPECT_EQ(str(srcAttr->getValue()), "v");
    EXPECT_NE(deep->getFirstChild().get(), src->getFirstChild().get());
    deep->getFirstChild()->setNodeValue("x");
    EXPECT_EQ(str(src->getText()), "onetwo3");

    auto shallow = src->cloneNode(false);
    EXPECT_FALSE(shallow->hasChildNodes());
    EXPECT_EQ(str(shallow->getXML()), "<s:e k='v'/>");
    EXPECT_EQ(str(shallow->getNamespaceURI()), "urn:s");
}

// ---- attributes and the attribute map ----

TEST_F(Dom, AttributeNodes)
{
    auto a = doc->createAttribute("p:a");
    EXPECT_EQ(a->getNodeType(), ATTRIBUTE_NODE);
    EXPECT_EQ(str(a->getValue()) + str(a->getText()) + str(a->getNodeValue()), "");
    EXPECT_FALSE(a->getFirstChild());
    EXPECT_EQ(a->setText("").get(), a.get()); // nothing to remove, nothing to add
    EXPECT_EQ(domError([&] { a->setText("x"); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(a->setNodeValue("it's").get(), a.get());
    EXPECT_EQ(str(a->getValue()), "it's");
    EXPECT_FALSE(a->hasChildNodes());
    ASSERT_EQ(a->getChildNodes()->getLength(), 1);
    EXPECT_EQ(str(a->getFirstChild()->getNodeValue()), "it's");
    EXPECT_FALSE(a->getParentNode());
    EXPECT_FALSE(a->getNextSibling());
    EXPECT_FALSE(a->getAttributes());
    a->setPrefix("q"); // ignored
    EXPECT_EQ(str(a->getNodeName()), "p:a");
    EXPECT_EQ(str(a->getXML()), "p:a='it&apos;s'");

    auto clone = asAttr(a->cloneNode(true));
    EXPECT_EQ(str(clone->getValue()), "it's");
    clone->setValue("other");
    EXPECT_EQ(str(a->getValue()), "it's");
    EXPECT_EQ(str(asAttr(a->cloneNode(false))->getValue()), "");
    auto e = el("e");
    e->setAttributeNode(a);
    EXPECT_FALSE(asAttr(a->cloneNode(true))->getOwnerElement());
}

TEST_F(Dom, MapKeepsByteOrderOfNames)
{
    auto e = el("e");
    for (const char* name : {"ab", "\xe9", "a", "z", "B"})
        e->setAttribute(name, name);
    auto map = e->getAttributes();
    std::string order;
    for (int32_t i = 0; i < map->size(); ++i)
        order += str(map->item(i)->getNodeName()) + " ";
    EXPECT_EQ(order, "B a ab z \xe9 ");
    EXPECT_FALSE(map->item(-1));
    EXPECT_FALSE(map->item(5));
    EXPECT_EQ(map->begin(), std::make_pair(map.get(), 0));
    EXPECT_EQ(map->end(), std::make_pair(map.get(), 5));
    EXPECT_EQ(str(e->getXML()), "<e B='B' a='a' ab='ab' z='z' _e9='&#xe9;'/>");
}

TEST_F(Dom, MapItemsBelongToOneElementAtATime)
{
    auto e1 = el("e1");
    auto e2 = el("e2");
    e1->setAttribute("a", "1");
    auto attr = e1->getAttributeNode("a");
    auto map2 = e2->getAttributes();
    EXPECT_EQ(domError([&] { map2->setNamedItem(attr); }), DOM_ATTRIBUTE_IN_USE);
    EXPECT_EQ(domError([&] { e1->setAttributeNode(attr); }), DOM_ATTRIBUTE_IN_USE);
    EXPECT_EQ(map2->getLength(), 0);
    EXPECT_EQ(e1->getAttributes()->getLength(), 1);
    EXPECT_EQ(e1->removeAttributeNode(attr).get(), attr.get());
    EXPECT_FALSE(map2->setNamedItem(attr));
    EXPECT_EQ(attr->getOwnerElement().get(), static_cast<INode*>(e2.get()));
    EXPECT_EQ(domError([&] { map2->setNamedItem(doc->createTextNode("t")); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { map2->setNamedItem(nullptr); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { map2->removeNamedItem("zz"); }), DOM_NOT_FOUND);

    auto newer = doc->createAttribute("a");
    auto replaced = map2->setNamedItem(newer);
    EXPECT_EQ(replaced.get(), static_cast<INode*>(attr.get()));
    EXPECT_FALSE(attr->getOwnerElement());
    EXPECT_EQ(map2->getNamedItem("a").get(), static_cast<INode*>(newer.get()));
    EXPECT_EQ(map2->removeNamedItem("a").get(), static_cast<INode*>(newer.get()));
    EXPECT_FALSE(newer->getOwnerElement());
    EXPECT_EQ(newer->getRefCount(), 1);
    EXPECT_FALSE(map2->getNamedItem("a"));
}

TEST_F(Dom, MapAndAttributesOutliveTheirElementSafely)
{
    HeapProbe probe;
    {
        IAttrPtr held;
        {
            auto e = el("e");
            e->setAttribute("a", "1");
            held = e->getAttributeNode("a");
        }
        EXPECT_FALSE(held->getOwnerElement());
        EXPECT_EQ(str(held->getValue()), "1");
        auto other = el("other");
        other->setAttributeNode(held); // free again, so it can move
        EXPECT_EQ(held->getOwnerElement().get(), static_cast<INode*>(other.get()));

        INamedNodeMapPtr map;
        IAttrPtr inMap;
        {
            auto e = el("e");
            e->setAttribute("b", "2");
            map = e->getAttributes();
            inMap = e->getAttributeNode("b");
        }
        EXPECT_EQ(map->getLength(), 1);
        EXPECT_FALSE(inMap->getOwnerElement());
        EXPECT_EQ(domError([&] { other->setAttributeNode(inMap); }), DOM_ATTRIBUTE_IN_USE);
        map->removeNamedItem("b");
        other->setAttributeNode(inMap);
        EXPECT_EQ(str(other->getXML()), "<other a='1' b='2'/>");
    }
    EXPECT_EQ(probe.kept(), 0);
}

// ---- text nodes ----

TEST_F(Dom, TextNodes)
{
    auto t = doc->createTextNode("a<b&c>d 'q'");
    EXPECT_EQ(str(t->getNodeName()) + str(t->getLocalName()), "#text#text");
    EXPECT_EQ(str(t->getNamespaceURI()) + str(t->getPrefix()), "");
    EXPECT_EQ(t->getNodeType(), TEXT_NODE);
    EXPECT_FALSE(t->getAttributes());
    EXPECT_EQ(domError([&] { t->setPrefix("p"); }), DOM_NO_MODIFICATION);
    EXPECT_EQ(domError([&] { t->setInteger(1); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(str(t->getNodeValue()), "a<b&c>d 'q'");
    EXPECT_EQ(str(t->getXML()), "a&lt;b&amp;c>d 'q'");
    auto clone = t->cloneNode(false);
    EXPECT_EQ(str(clone->getNodeValue()), "a<b&c>d 'q'");

    auto p = parentOf("p", {"a"});
    p->appendChild(t);
    p->appendChild(el("z"));
    EXPECT_EQ(t->setText("new").get(), t.get());
    EXPECT_EQ(childNames(p), "a #text z");
    EXPECT_EQ(p->getFirstChild()->getNextSibling().get(), t.get());
    EXPECT_EQ(str(p->getText()), "new");
    t->setNodeValue(DOMString("ab\0cd", 5));
    EXPECT_EQ(str(t->getNodeValue()), "ab");
    EXPECT_FALSE(clone->getParentNode());
}

// ---- value nodes ----

TEST_F(Dom, IntegerNodes)
{
    auto n = doc->createIntegerNode(42);
    EXPECT_EQ(str(n->getNodeName()) + str(n->getLocalName()), "#text#text");
    EXPECT_EQ(n->getNodeType(), TEXT_NODE);
    EXPECT_EQ(str(n->getNodeValue()) + str(n->getText()), "4242");
    EXPECT_EQ(n->getInteger(), 42);
    n->setNodeValue("17");
    EXPECT_EQ(n->getValue(), 17);
    for (const char* bad : {"x", "1.5", "2147483648", ""}) {
        EXPECT_THROW(n->setNodeValue(bad), boost::bad_lexical_cast) << bad;
        EXPECT_THROW(n->setText(bad), boost::bad_lexical_cast) << bad;
        EXPECT_EQ(n->getValue(), 17) << bad;
    }
    n->setNodeValue("-2147483648");
    EXPECT_EQ(n->getValue(), INT32_MIN);
    n->setValue(3);
    EXPECT_EQ(n->setValue(5), 3);
    EXPECT_EQ(n->getValue(), 5);

    auto p = el("p");
    p->appendChild(el("a"));
    p->appendChild(n);
    auto clone = n->cloneNode(true);
    EXPECT_FALSE(clone->getParentNode());
    EXPECT_EQ(str(clone->getNodeValue()), "5");
    EXPECT_EQ(str(p->getXML()), "<p><a/>5</p>");
    EXPECT_EQ(n->getChildNodes()->getLength(), 0);
}

TEST_F(Dom, FloatNodes)
{
    auto f = doc->createFloatNode(0.5);
    EXPECT_EQ(str(f->getNodeName()) + str(f->getLocalName()), "floatfloat");
    EXPECT_EQ(f->getNodeType(), TEXT_NODE);
    EXPECT_EQ(str(f->getNodeValue()), "0.5");
    EXPECT_THROW(f->getInteger(), ExIllegalConversion);
    f->setValue(1.0 / 3);
    EXPECT_EQ(str(f->getText()), "0.3333333333333333");
    EXPECT_EQ(str(f->getXML()), "0.3333333333333333");
    EXPECT_THROW(f->setNodeValue("abc"), boost::bad_lexical_cast);
    EXPECT_EQ(f->getValue(), 1.0 / 3);
    f->setText("2.25");
    EXPECT_EQ(f->getValue(), 2.25);
    f->setValue(2.0);
    EXPECT_EQ(str(f->getNodeValue()), "2");
    EXPECT_EQ(f->getInteger(), 2);
}

TEST_F(Dom, ValueNodesAreLeaves)
{
    std::initializer_list<INodePtr> values = {doc->createIntegerNode(1), doc->createFloatNode(1.5)};
    for (const INodePtr& v : values) {
        EXPECT_EQ(domError([&] { v->setPrefix("p"); }), DOM_NO_MODIFICATION);
        EXPECT_EQ(domError([&] { v->setInteger(2); }), DOM_HIERARCHY_ERROR);
        EXPECT_FALSE(v->hasChildNodes());
        auto m1 = v->getAttributes();
        auto m2 = v->getAttributes();
        ASSERT_TRUE(m1 && m2);
        EXPECT_NE(m1.get(), m2.get());
        EXPECT_EQ(m1->getLength(), 0);
    }
}

// ---- text access ----

TEST_F(Dom, TextIntegerAccess)
{
    auto p = el("p");
    p->appendChild(doc->createTextNode("a"));
    p->appendChild(el("x"))->appendChild(el("y"))->appendChild(doc->createTextNode("b"));
    p->appendChild(doc->createIntegerNode(7));
    p->appendChild(el("z"));
    EXPECT_EQ(str(p->getText()), "ab7");
    INodePtr x = p->getFirstChild()->getNextSibling();
    EXPECT_EQ(p->setText("").get(), p.get());
    EXPECT_FALSE(p->hasChildNodes());
    EXPECT_FALSE(x->getParentNode());
    p->appendChild(el("a"));
    p->setText("x");
    EXPECT_EQ(childNames(p), "#text");
    EXPECT_EQ(str(p->getFirstChild()->getNodeValue()), "x");
    EXPECT_THROW(p->getInteger(), ExIllegalConversion);

    EXPECT_EQ(p->setInteger(-5).get(), p.get());
    EXPECT_EQ(p->getInteger(), -5);
    EXPECT_EQ(childNames(p), "#text");
    EXPECT_EQ(str(p->getXML()), "<p>-5</p>");
    for (const char* bad : {"abc", "2147483648", "1.5", ""}) {
        p->setText(bad);
        EXPECT_THROW(p->getInteger(), ExIllegalConversion) << bad;
    }
    p->setText("2147483647");
    EXPECT_EQ(p->getInteger(), INT32_MAX);
}

// ---- the writer ----

TEST_F(Dom, WriterNamesAndEscaping)
{
    EXPECT_EQ(str(el("1st")->getXML()), "<_31st/>");
    auto odd = el("_a b\xe9:c-1.2");
    odd->setText("t");
    EXPECT_EQ(str(odd->getXML()), "<_5fa_20b_e9:c-1.2>t</_5fa_20b_e9:c-1.2>");

    const DOMString mixed("it's \"<&>\"\t\n\r\x01\x7f\xe9", 16);
    auto e = el("e");
    e->setAttribute("v", mixed);
    e->setText(mixed);
    EXPECT_EQ(str(e->getXML()), "<e v='it&apos;s \"&lt;&amp;>\"&#x09;&#x0a;&#x0d;&#x01;\x7f&#xe9;'>"
                                "it's \"&lt;&amp;>\"&#x09;&#x0a;&#x0d;&#x01;\x7f&#xe9;</e>");
    auto nested = parentOf("r", {"a", "b"});
    nested->setAttribute("y", "2")->setAttribute("x", "1");
    nested->getFirstChild()->appendChild(doc->createTextNode("t"));
    std::ostringstream out;
    nested->writeXML(out);
    EXPECT_EQ(out.str(), "<r x='1' y='2'><a>t</a><b/></r>");
    doc->appendChild(nested);
    doc->appendChild(el("second"));
    std::ostringstream docOut;
    doc->writeXML(docOut);
    EXPECT_EQ(docOut.str(), out.str());
    EXPECT_EQ(str(doc->getXML()), out.str());
}

// ---- trees of any depth ----

TEST_F(Dom, DeepChainsNeedNoRecursion)
{
    constexpr int depth = 200000;
    HeapProbe probe;
    {
        INodePtr top = doc->createTextNode("x");
        for (int i = 0; i < depth; ++i) {
            INodePtr parent = el("e");
            parent->appendChild(top);
            top = parent;
        }
        EXPECT_EQ(str(top->getText()), "x");
        const std::string xml = str(top->getXML());
        ASSERT_EQ(xml.size(), static_cast<size_t>(depth) * 7 + 1);
        EXPECT_EQ(xml.substr(0, 6), "<e><e>");
        EXPECT_EQ(xml.substr(depth * 3 - 3, 8), "<e>x</e>");
        INodePtr copy = top->cloneNode(true);
        EXPECT_EQ(str(copy->getXML()), xml);
        int copied = 0;
        for (INodePtr n = copy; n->hasChildNodes(); n = n->getFirstChild())
            ++copied;
        EXPECT_EQ(copied, depth);
        auto owner = createEmptyDocument();
        owner->appendChild(top);
    }
    EXPECT_EQ(probe.kept(), 0);
}

} // namespace
