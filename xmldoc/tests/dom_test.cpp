// Unit tests of the document object model: counting and ownership, the tree operations, node
// lists, documents, elements, attributes and their map, text and value nodes, and the writer.
#include "xmldoc/dom.h"
#include "xmldoc/node_impl.h"

#include <boost/lexical_cast.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Live heap blocks, counted so that a test can see that what it dropped was really destroyed.
static std::atomic<long> liveBlocks{0};
static void* countedAlloc(std::size_t size) noexcept
{
    void* p = std::malloc(size ? size : 1);
    liveBlocks += p ? 1 : 0;
    return p;
}
static void countedFree(void* p) noexcept
{
    liveBlocks -= p ? 1 : 0;
    std::free(p);
}
// While set on a thread, that thread's allocations fail (memory has run out).
static thread_local bool outOfMemory = false;
void* operator new(std::size_t size)
{
    if (outOfMemory)
        throw std::bad_alloc();
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
        static const bool warm = [] { // the library's destruction queue takes its storage once
            auto doc = createEmptyDocument();
            doc->appendChild(doc->createElement("w"))->appendChild(doc->createTextNode("t"));
            return true;
        }();
        (void)warm;
        start_ = count();
    }
    long kept() const { return count() - start_; }

private:
    // Heap blocks outside the node pool, plus the pool's live nodes.
    static long count()
    {
        const auto stats = CXMLDOCLIB_Ostrel::nodePoolStats();
        return liveBlocks.load() - static_cast<long>(stats.blocks) + static_cast<long>(stats.liveNodes);
    }
    long start_;
};

std::string str(const DOMString& s) { return {s.data(), s.size()}; }
std::string xml(const INodePtr& n) { return str(n->getXML()); }
bool same(const INodePtr& a, const INodePtr& b) { return a.get() == b.get(); }
IAttrPtr asAttr(const INodePtr& n) { return IAttrPtr(static_cast<IAttr*>(n.get())); }

/// Name, local name, prefix, namespace URI, value and type code, joined by '|'.
std::string props(const INodePtr& n)
{
    return str(n->getNodeName()) + "|" + str(n->getLocalName()) + "|" + str(n->getPrefix()) + "|"
        + str(n->getNamespaceURI()) + "|" + str(n->getNodeValue()) + "|" + std::to_string(n->getNodeType());
}

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

/// The children's names, first to last; checks the parent links and the backward links too.
std::string childNames(const INodePtr& parent)
{
    std::string forward, backward;
    int32_t count = 0;
    for (INodePtr c = parent->getFirstChild(); c; c = c->getNextSibling(), ++count) {
        EXPECT_TRUE(same(c->getParentNode(), parent));
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
    /// A text, an integer and a float node, and an attribute without value.
    std::vector<INodePtr> leaves()
    {
        return {doc->createTextNode("t"), doc->createIntegerNode(1), doc->createFloatNode(1.5), doc->createAttribute("a")};
    }
};

// ---- counting and ownership ----

TEST_F(Dom, CountsAndDestruction)
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

    HeapProbe tree;
    {
        el("gone")->setAttribute("a", "1");
        auto d = createEmptyDocument();
        auto root = d->appendChild(d->createElement("root"));
        root->appendChild(el("kept"))->appendChild(d->createTextNode("t"));
        root->appendChild(d->createIntegerNode(3));
        root->appendChild(d->createFloatNode(0.5));
        INodePtr kept = root->getFirstChild();
        EXPECT_EQ(kept->getRefCount(), 2); // the parent holds it as well
        auto e = static_cast<IElement*>(kept.get());
        e->setAttribute("b", "2")->setAttribute("a", "1");
        auto map = e->getAttributes();
        auto list = root->getChildNodes();
        auto copy = d->cloneNode(true);
        e->setAttribute("a", "replaced");
        root->removeChild(root->getLastChild());
    }
    EXPECT_EQ(tree.kept(), 0);
}

TEST_F(Dom, OwnerDocumentIsANewEmptyDocumentEachTime)
{
    auto e = el("e");
    auto d1 = e->getOwnerDocument();
    ASSERT_TRUE(d1);
    EXPECT_FALSE(same(d1, e->getOwnerDocument()));
    EXPECT_FALSE(d1->hasChildNodes());
    EXPECT_FALSE(doc->getOwnerDocument());
    for (const INodePtr& leaf : leaves())
        EXPECT_TRUE(leaf->getOwnerDocument());
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
    }
    // The document is gone; the element it held survives, detached.
    EXPECT_FALSE(root->getParentNode());
    EXPECT_EQ(root->getRefCount(), 1);
    root = nullptr;
    EXPECT_EQ(probe.kept(), 0);
}

// ---- navigation and the four child operations ----

TEST_F(Dom, Navigation)
{
    auto p = parentOf("p", {"a", "b", "c"});
    EXPECT_EQ(childNames(p), "a b c");
    EXPECT_FALSE(p->getFirstChild()->getPreviousSibling() || p->getLastChild()->getNextSibling());
    EXPECT_FALSE(p->getParentNode() || p->getNextSibling() || p->getPreviousSibling());
    for (const INodePtr& leaf : leaves()) {
        EXPECT_FALSE(leaf->getParentNode() || leaf->hasChildNodes() || leaf->getFirstChild() || leaf->getLastChild()
                     || leaf->getNextSibling());
    }
    EXPECT_FALSE(doc->hasChildNodes());
    doc->appendChild(p);
    EXPECT_TRUE(doc->hasChildNodes());
    EXPECT_TRUE(same(p->getParentNode(), doc));
}

TEST_F(Dom, AppendAndInsertPlaceAndMoveNodes)
{
    auto p = parentOf("p", {"a", "b"});
    INodePtr last = p->getLastChild();
    EXPECT_TRUE(same(p->appendChild(last), last)); // re-appending the last child changes nothing
    EXPECT_EQ(childNames(p), "a b");
    EXPECT_EQ(last->getRefCount(), 2);

    auto first = el("first");
    EXPECT_TRUE(same(p->insertBefore(first, p->getFirstChild()), first));
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

TEST_F(Dom, FailedOrEmptyMovesLeaveEverythingInPlace)
{
    auto p = parentOf("p", {"a", "b"});
    auto other = parentOf("o", {"x", "y"});
    INodePtr x = other->getFirstChild(), y = other->getLastChild();
    // The reference node is not a child of p: x stays with its old parent.
    EXPECT_EQ(domError([&] { p->insertBefore(x, y); }), DOM_NOT_FOUND);
    EXPECT_TRUE(same(x->getParentNode(), other));
    EXPECT_EQ(domError([&] { p->insertBefore(el("n"), el("free")); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { p->replaceChild(x, y); }), DOM_NOT_FOUND);
    EXPECT_EQ(childNames(other), "x y");
    EXPECT_EQ(childNames(p), "a b");
    EXPECT_EQ(x->getRefCount(), 2);
    // Inserting or replacing a node by itself.
    EXPECT_EQ(domError([&] { EXPECT_TRUE(same(other->insertBefore(y, y), y)); }), 0);
    EXPECT_EQ(domError([&] { EXPECT_TRUE(same(other->replaceChild(x, x), x)); }), 0);
    EXPECT_EQ(childNames(other), "x y");
    EXPECT_EQ(x->getRefCount() + y->getRefCount(), 4);
}

TEST_F(Dom, HierarchyErrorsChangeNothing)
{
    auto root = parentOf("root", {"mid"});
    auto mid = root->getFirstChild();
    mid->appendChild(el("leaf"));
    for (const INodePtr& n : {INodePtr(), INodePtr(doc->createAttribute("at")), INodePtr(createEmptyDocument())}) {
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
    EXPECT_EQ(childNames(root) + "/" + childNames(mid), "mid/leaf");
    EXPECT_FALSE(root->getParentNode());
    // Leaves and attributes take no children at all.
    for (const INodePtr& leaf : leaves()) {
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
    EXPECT_TRUE(same(p->removeChild(a), a));
    EXPECT_FALSE(a->getParentNode() || a->getNextSibling());
    EXPECT_EQ(a->getRefCount(), 1);
    EXPECT_EQ(domError([&] { p->removeChild(a); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { doc->removeChild(p->getFirstChild()); }), DOM_NOT_FOUND);
    EXPECT_EQ(childNames(p), "b c");

    INodePtr b = p->getFirstChild();
    EXPECT_TRUE(same(p->replaceChild(a, b), b));
    EXPECT_FALSE(b->getParentNode());
    EXPECT_EQ(b->getRefCount(), 1);
    EXPECT_EQ(childNames(p), "a c");
    EXPECT_TRUE(same(p->replaceChild(p->getLastChild(), a), a)); // a sibling takes the place
    EXPECT_EQ(childNames(p), "c");
    auto other = parentOf("o", {"x", "y"});
    p->replaceChild(other->getLastChild(), p->getFirstChild()); // a node of another parent moves over
    EXPECT_EQ(childNames(p) + "/" + childNames(other), "y/x");
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
    EXPECT_FALSE(all->item(-1) || all->item(3) || all->item(INT32_MAX));
    EXPECT_EQ(all->begin(), std::make_pair(all.get(), 0));
    EXPECT_EQ(all->end(), std::make_pair(all.get(), 3));
    for (const INodePtr& leaf : leaves()) {
        auto list = leaf->getChildNodes();
        ASSERT_TRUE(list);
        EXPECT_EQ(list->getLength(), 0);
        EXPECT_FALSE(list->item(0));
    }
}

TEST_F(Dom, ElementsByTagNameLooksAtDirectChildrenOnly)
{
    auto a = parentOf("a", {"b", "d", "ns:b"});
    a->getFirstChild()->appendChild(el("c"));
    a->insertBefore(doc->createTextNode("t"), a->getLastChild());
    auto all = a->getElementsByTagName("*");
    ASSERT_EQ(all->getLength(), 3);
    EXPECT_EQ(str(all->item(0)->getNodeName()) + str(all->item(1)->getNodeName()), "bd");
    EXPECT_EQ(a->getElementsByTagName("b")->getLength(), 1);
    EXPECT_EQ(a->getElementsByTagName("ns:b")->getLength(), 1);
    EXPECT_EQ(a->getElementsByTagName("c")->getLength() + a->getElementsByTagName("#text")->getLength(), 0);
}

// ---- documents ----

TEST_F(Dom, NewDocument)
{
    EXPECT_FALSE(doc->getDocumentElement() || doc->getAttributes() || doc->getParentNode());
    EXPECT_EQ(xml(doc) + str(doc->getText()), "");
    EXPECT_EQ(doc->getChildNodes()->getLength(), 0);
    doc->setPrefix("p");
    EXPECT_EQ(props(doc), "#document|||||9");
    EXPECT_EQ(domError([&] { doc->setNodeValue("x"); }), DOM_NO_MODIFICATION);
}

TEST_F(Dom, DocumentElement)
{
    auto a = el("a");
    auto b = el("b");
    EXPECT_FALSE(doc->setDocumentElement(a));
    EXPECT_TRUE(same(doc->getDocumentElement(), a));
    EXPECT_TRUE(same(doc->setDocumentElement(b), a));
    EXPECT_FALSE(a->getParentNode());
    EXPECT_EQ(xml(doc), "<b/>");
    EXPECT_TRUE(same(doc->setDocumentElement(nullptr), b));
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
    EXPECT_EQ(props(doc->createElementNS("", "x")), "x|x||||1");
    EXPECT_EQ(props(doc->createElementNS("urn:x", "p:x")), "p:x|x|p|urn:x||1");
    EXPECT_EQ(props(doc->createAttributeNS("urn:x", "p:x")), "p:x|x|p|urn:x||2");
    EXPECT_EQ(props(el("ns:item")), "ns:item|item|ns|||1");
}

TEST_F(Dom, CloningADocument)
{
    auto root = parentOf("root", {"a"});
    root->setAttribute("k", "v");
    doc->appendChild(root);
    auto deep = doc->cloneNode(true);
    ASSERT_EQ(deep->getNodeType(), DOCUMENT_NODE);
    EXPECT_EQ(xml(deep), "<root k='v'><a/></root>");
    EXPECT_FALSE(same(deep->getFirstChild(), root));
    deep->removeChild(deep->getFirstChild());
    EXPECT_EQ(childNames(doc) + "/" + childNames(root), "root/a");
    EXPECT_FALSE(doc->cloneNode(false)->hasChildNodes());
    EXPECT_TRUE(same(root->getParentNode(), doc));
}

// ---- elements ----

TEST_F(Dom, ElementBasics)
{
    auto e = el("e");
    EXPECT_EQ(domError([&] { e->setNodeValue("x"); }), DOM_NO_MODIFICATION);
    EXPECT_EQ(str(e->getAttribute("none")), "");
    EXPECT_FALSE(e->getAttributeNode("none"));
    auto map = e->getAttributes();
    EXPECT_EQ(map->getLength(), 0);
    EXPECT_TRUE(e->getAttributes().get() == map.get());
    e->setAttribute("a", "1");
    EXPECT_FALSE(e->hasAttributes());
    EXPECT_EQ(map->getLength(), 1);
    EXPECT_TRUE(same(e->normalize(), e));
    EXPECT_EQ(xml(e), "<e a='1'/>");

    auto n = doc->createElementNS("urn:n", "ns:item");
    n->setPrefix("x");
    EXPECT_EQ(props(n), "x:item|item|x|urn:n||1");
    n->setPrefix("");
    EXPECT_EQ(props(n), "item|item||urn:n||1");
    n->setPrefix("y");
    EXPECT_EQ(props(n), "y:item|item|y|urn:n||1");
}

// A prefix set is the whole prefix, colons and all: each change keeps the local name the element
// had, through copies too, whether its name was made by hand or shared by a parse.
TEST_F(Dom, PrefixChangesKeepTheLocalName)
{
    struct Case {
        const char* name;
        std::vector<const char*> steps; // a prefix to set, or "*" for a deep copy of the element so far
        const char* expected;           // its name, local name and prefix, then as written
    };
    const Case cases[] = {
        // a prefix outside ASCII is written escaped, as any such name is
        {"Z7sXtE", {"a:b", "\xC3\xA9"}, "\xC3\xA9:Z7sXtE|Z7sXtE|\xC3\xA9 <_c3_a9:Z7sXtE/>"},
        {"Z7sXtE", {"a:b"}, "a:b:Z7sXtE|Z7sXtE|a:b <a:b:Z7sXtE/>"},
        {"Z7sXtE", {"a:b", "*"}, "a:b:Z7sXtE|Z7sXtE|a:b <a:b:Z7sXtE/>"},
        {"Z7sXtE", {"a:b", "*", "c", "*", ""}, "Z7sXtE|Z7sXtE| <Z7sXtE/>"},
        {"ns:item", {"x:y:z", "", "w"}, "w:item|item|w <w:item/>"},
        {"p:q:loc", {"x"}, "x:q:loc|q:loc|x <x:q:loc/>"}, // a name as read splits at its first colon
        {"loc", {":", "*", "::"}, ":::loc|loc|:: <:::loc/>"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("<") + c.name + "/>";
        auto parsed = createEmptyDocument();
        for (INodePtr e : {INodePtr(el(c.name)), parsed->loadXML(text.c_str(), false)}) {
            for (const char* step : c.steps)
                if (std::string(step) == "*")
                    e = e->cloneNode(true);
                else
                    e->setPrefix(step);
            EXPECT_EQ(str(e->getNodeName()) + "|" + str(e->getLocalName()) + "|" + str(e->getPrefix()) + " " + xml(e),
                      c.expected)
                << c.name;
        }
    }
}

TEST_F(Dom, SettingAndRemovingAttributes)
{
    auto e = el("e");
    e->setAttribute("a", "first");
    auto firstAttr = e->getAttributeNode("a");
    EXPECT_TRUE(same(firstAttr->getOwnerElement(), e));
    EXPECT_TRUE(same(e->setAttribute("a", "second"), e));
    EXPECT_EQ(e->getAttributes()->getLength(), 1);
    EXPECT_EQ(str(e->getAttribute("a")), "second");
    EXPECT_FALSE(firstAttr->getOwnerElement()); // free again
    EXPECT_EQ(firstAttr->getRefCount(), 1);

    auto f = el("f");
    EXPECT_EQ(domError([&] { f->removeAttribute("a"); }), DOM_NOT_FOUND); // no map yet
    EXPECT_TRUE(same(f->setAttributeNode(firstAttr), firstAttr));
    EXPECT_EQ(str(f->getAttribute("a")), "first");
    EXPECT_EQ(domError([&] { f->removeAttribute("b"); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { f->removeAttributeNode(e->getAttributeNode("a")); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { e->removeAttributeNode(firstAttr); }), DOM_NOT_FOUND);
    EXPECT_EQ(domError([&] { el("g")->removeAttributeNode(firstAttr); }), DOM_NOT_FOUND);
    EXPECT_TRUE(same(f->removeAttribute("a"), f));
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
    EXPECT_EQ(xml(deep), "<s:e k='v'>one<inner>two</inner>3</s:e>");
    auto copyAttr = asAttr(deep->getAttributes()->getNamedItem("k"));
    ASSERT_TRUE(copyAttr);
    EXPECT_FALSE(same(copyAttr, src->getAttributeNode("k")));
    EXPECT_TRUE(same(copyAttr->getOwnerElement(), deep));
    copyAttr->setValue("changed");
    deep->getFirstChild()->setNodeValue("x");
    EXPECT_EQ(xml(src), "<s:e k='v'>one<inner>two</inner>3</s:e>");

    auto shallow = src->cloneNode(false);
    EXPECT_EQ(xml(shallow), "<s:e k='v'/>");
    EXPECT_EQ(str(shallow->getNamespaceURI()), "urn:s");
}

// ---- attributes and the attribute map ----

TEST_F(Dom, AttributeNodes)
{
    auto a = doc->createAttribute("p:a");
    EXPECT_EQ(props(a) + str(a->getValue()) + str(a->getText()), "p:a|a|p|||2");
    EXPECT_TRUE(same(a->setText(""), a)); // nothing to remove, nothing to add
    EXPECT_EQ(domError([&] { a->setText("x"); }), DOM_HIERARCHY_ERROR);
    EXPECT_TRUE(same(a->setNodeValue("it's"), a));
    EXPECT_EQ(str(a->getValue()) + "|" + str(a->getText()), "it's|it's");
    EXPECT_FALSE(a->hasChildNodes());
    ASSERT_EQ(a->getChildNodes()->getLength(), 1);
    EXPECT_EQ(str(a->getFirstChild()->getNodeValue()), "it's");
    EXPECT_FALSE(a->getAttributes() || a->getPreviousSibling());
    a->setPrefix("q"); // ignored
    EXPECT_EQ(xml(a), "p:a='it&apos;s'");

    auto clone = asAttr(a->cloneNode(true));
    EXPECT_EQ(str(clone->getValue()), "it's");
    clone->setValue("other");
    EXPECT_EQ(str(a->getValue()), "it's");
    EXPECT_EQ(str(asAttr(a->cloneNode(false))->getValue()), "");
    el("e")->setAttributeNode(a);
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
    EXPECT_FALSE(map->item(-1) || map->item(5));
    EXPECT_EQ(map->begin(), std::make_pair(map.get(), 0));
    EXPECT_EQ(map->end(), std::make_pair(map.get(), 5));
    EXPECT_EQ(xml(e), "<e B='B' a='a' ab='ab' z='z' _e9='&#xe9;'/>");
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
    EXPECT_TRUE(same(e1->removeAttributeNode(attr), attr));
    EXPECT_FALSE(map2->setNamedItem(attr));
    EXPECT_TRUE(same(attr->getOwnerElement(), e2));
    EXPECT_EQ(domError([&] { map2->setNamedItem(doc->createTextNode("t")); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { map2->setNamedItem(nullptr); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(domError([&] { map2->removeNamedItem("zz"); }), DOM_NOT_FOUND);

    auto newer = doc->createAttribute("a");
    EXPECT_TRUE(same(map2->setNamedItem(newer), attr));
    EXPECT_FALSE(attr->getOwnerElement());
    EXPECT_TRUE(same(map2->getNamedItem("a"), newer));
    EXPECT_TRUE(same(map2->removeNamedItem("a"), newer));
    EXPECT_FALSE(newer->getOwnerElement() || map2->getNamedItem("a"));
    EXPECT_EQ(newer->getRefCount(), 1);
}

TEST_F(Dom, MapAndAttributesOutliveTheirElementSafely)
{
    HeapProbe probe;
    {
        IAttrPtr held, inMap;
        INamedNodeMapPtr map;
        {
            auto e = el("e");
            e->setAttribute("a", "1");
            held = e->getAttributeNode("a");
            auto f = el("f");
            f->setAttribute("b", "2");
            map = f->getAttributes();
            inMap = f->getAttributeNode("b");
        }
        EXPECT_FALSE(held->getOwnerElement()); // its map died with the element
        auto other = el("other");
        other->setAttributeNode(held); // free again, so it can move
        EXPECT_TRUE(same(held->getOwnerElement(), other));

        EXPECT_EQ(map->getLength(), 1); // the map outlived its element
        EXPECT_FALSE(inMap->getOwnerElement());
        EXPECT_EQ(domError([&] { other->setAttributeNode(inMap); }), DOM_ATTRIBUTE_IN_USE);
        map->removeNamedItem("b");
        other->setAttributeNode(inMap);
        EXPECT_EQ(xml(other), "<other a='1' b='2'/>");
    }
    EXPECT_EQ(probe.kept(), 0);
}

TEST_F(Dom, ParsedNodesOutliveTheirDocumentAndTree)
{
    HeapProbe probe;
    {
        INodePtr name, number, moved;
        {
            auto d = createEmptyDocument();
            INodePtr root = d->loadXML("<book><rec id='1'><name>Ann</name><tel>12</tel></rec>"
                                       "<rec id='2'><name>Bo&#x09;b</name></rec></book>",
                                       false);
            d->appendChild(root);
            INodePtr first = root->getFirstChild();
            name = first->getFirstChild();
            number = name->getNextSibling()->getFirstChild();
            moved = root->getLastChild();
        } // the document, the root and every node no one holds are gone
        EXPECT_FALSE(name->getParentNode());
        EXPECT_EQ(xml(name), "<name>Ann</name>");
        EXPECT_FALSE(number->getParentNode());
        EXPECT_EQ(number->getInteger(), 12);

        auto other = createEmptyDocument();
        auto list = other->appendChild(other->createElement("list"));
        list->appendChild(moved);
        list->appendChild(name);
        moved->setPrefix("p"); // a parsed name changed on one element only
        EXPECT_EQ(xml(list), "<list><p:rec id='2'><name>Bo&#x09;b</name></p:rec><name>Ann</name></list>");
        INodePtr copy = list->cloneNode(true);
        list->removeChild(moved);
        moved = nullptr;
        name = nullptr;
        EXPECT_EQ(xml(copy), "<list><p:rec id='2'><name>Bo&#x09;b</name></p:rec><name>Ann</name></list>");
        EXPECT_EQ(str(number->getNodeValue()), "12");
    }
    EXPECT_EQ(probe.kept(), 0); // the last node of the parse took its pages along
}

// ---- text and value nodes ----

TEST_F(Dom, TextNodes)
{
    auto t = doc->createTextNode("a<b&c>d 'q'");
    EXPECT_EQ(props(t), "#text|#text|||a<b&c>d 'q'|3");
    EXPECT_FALSE(t->getAttributes());
    EXPECT_EQ(domError([&] { t->setPrefix("p"); }), DOM_NO_MODIFICATION);
    EXPECT_EQ(domError([&] { t->setInteger(1); }), DOM_HIERARCHY_ERROR);
    EXPECT_EQ(xml(t), "a&lt;b&amp;c>d 'q'");
    auto clone = t->cloneNode(false);
    EXPECT_EQ(str(clone->getNodeValue()), "a<b&c>d 'q'");

    auto p = parentOf("p", {"a"});
    p->appendChild(t);
    p->appendChild(el("z"));
    EXPECT_TRUE(same(t->setText("new"), t));
    EXPECT_EQ(childNames(p), "a #text z");
    EXPECT_TRUE(same(p->getFirstChild()->getNextSibling(), t));
    EXPECT_EQ(str(p->getText()), "new");
    t->setNodeValue(DOMString("ab\0cd", 5));
    EXPECT_EQ(str(t->getNodeValue()), "ab");
    EXPECT_FALSE(clone->getParentNode());
}

TEST_F(Dom, IntegerNodes)
{
    auto n = doc->createIntegerNode(42);
    EXPECT_EQ(props(n) + "|" + str(n->getText()), "#text|#text|||42|3|42");
    EXPECT_EQ(n->getInteger(), 42);
    n->setNodeValue("17");
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

    auto p = parentOf("p", {"a"});
    p->appendChild(n);
    auto clone = n->cloneNode(true);
    EXPECT_FALSE(clone->getParentNode());
    EXPECT_EQ(str(clone->getNodeValue()), "5");
    EXPECT_EQ(xml(p), "<p><a/>5</p>");
}

TEST_F(Dom, FloatNodes)
{
    auto f = doc->createFloatNode(0.5);
    EXPECT_EQ(props(f), "float|float|||0.5|3");
    EXPECT_THROW(f->getInteger(), ExIllegalConversion);
    f->setValue(1.0 / 3);
    EXPECT_EQ(str(f->getText()) + "|" + xml(f), "0.3333333333333333|0.3333333333333333");
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
    for (const INodePtr& v : {INodePtr(doc->createIntegerNode(1)), INodePtr(doc->createFloatNode(1.5))}) {
        EXPECT_EQ(domError([&] { v->setPrefix("p"); }), DOM_NO_MODIFICATION);
        EXPECT_EQ(domError([&] { v->setInteger(2); }), DOM_HIERARCHY_ERROR);
        auto m1 = v->getAttributes();
        auto m2 = v->getAttributes();
        ASSERT_TRUE(m1 && m2);
        EXPECT_NE(m1.get(), m2.get());
        EXPECT_EQ(m1->getLength(), 0);
    }
}

// ---- text access ----

TEST_F(Dom, TextAndIntegerAccess)
{
    auto p = el("p");
    p->appendChild(doc->createTextNode("a"));
    p->appendChild(el("x"))->appendChild(el("y"))->appendChild(doc->createTextNode("b"));
    p->appendChild(doc->createIntegerNode(7));
    p->appendChild(el("z"));
    EXPECT_EQ(str(p->getText()), "ab7");
    INodePtr x = p->getFirstChild()->getNextSibling();
    EXPECT_TRUE(same(p->setText(""), p));
    EXPECT_FALSE(p->hasChildNodes() || x->getParentNode());
    p->appendChild(el("a"));
    p->setText("x");
    EXPECT_EQ(childNames(p), "#text");
    EXPECT_EQ(str(p->getFirstChild()->getNodeValue()), "x");
    EXPECT_THROW(p->getInteger(), ExIllegalConversion);

    EXPECT_TRUE(same(p->setInteger(-5), p));
    EXPECT_EQ(p->getInteger(), -5);
    EXPECT_EQ(childNames(p), "#text");
    EXPECT_EQ(xml(p), "<p>-5</p>");
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
    EXPECT_EQ(xml(el("1st")), "<_31st/>");
    auto odd = el("_a b\xe9:c-1.2");
    odd->setText("t");
    EXPECT_EQ(xml(odd), "<_5fa_20b_e9:c-1.2>t</_5fa_20b_e9:c-1.2>");

    const DOMString mixed("it's \"<&>\"\t\n\r\x01\x7f\xe9", 16);
    auto e = el("e");
    e->setAttribute("v", mixed);
    e->setText(mixed);
    EXPECT_EQ(xml(e), "<e v='it&apos;s \"&lt;&amp;>\"&#x09;&#x0a;&#x0d;&#x01;\x7f&#xe9;'>"
                      "it's \"&lt;&amp;>\"&#x09;&#x0a;&#x0d;&#x01;\x7f&#xe9;</e>");
    auto nested = parentOf("r", {"a", "b"});
    nested->setAttribute("y", "2")->setAttribute("x", "1");
    nested->getFirstChild()->appendChild(doc->createTextNode("t"));
    std::ostringstream out, docOut;
    nested->writeXML(out);
    EXPECT_EQ(out.str(), "<r x='1' y='2'><a>t</a><b/></r>");
    doc->appendChild(nested);
    doc->appendChild(el("second")); // a document writes its first child only
    doc->writeXML(docOut);
    EXPECT_EQ(docOut.str(), out.str());
    EXPECT_EQ(xml(doc), out.str());
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
        const std::string text = xml(top);
        ASSERT_EQ(text.size(), static_cast<size_t>(depth) * 7 + 1);
        EXPECT_EQ(text.substr(0, 6) + text.substr(depth * 3 - 3, 8), "<e><e><e>x</e>");
        INodePtr copy = top->cloneNode(true);
        EXPECT_EQ(xml(copy), text);
        int copied = 0;
        for (INodePtr n = copy; n->hasChildNodes(); n = n->getFirstChild())
            ++copied;
        EXPECT_EQ(copied, depth);
    }
    EXPECT_EQ(probe.kept(), 0);
}

} // namespace

// ---- the interfaces that mark what a node is, and elements of other libraries ----

namespace {
// An element of another library: the library's element with an operation of its own.
class CSessionElement : public CXMLDOCLIB_Ostrel::CElement {
public:
    CSessionElement() : CElement(CXMLDOCLIB_Ostrel::ElementName("CMSession")) {}
    ~CSessionElement() override { ++destroyed; }
    int revision() const { return 1; }
    static inline int destroyed = 0;
};
} // namespace

TEST_F(Dom, MarkersAsElementAndDerivedElements)
{
    auto e = el("e");
    const INodePtr children[] = {e, doc->createTextNode("t"), doc->createIntegerNode(1), doc->createFloatNode(1.5)};
    for (const INodePtr& child : children)
        EXPECT_TRUE(dynamic_cast<IChild*>(child.get())) << str(child->getNodeName());
    EXPECT_FALSE(dynamic_cast<IChild*>(static_cast<INode*>(doc.get())));
    EXPECT_FALSE(dynamic_cast<IChild*>(static_cast<INode*>(doc->createAttribute("a").get())));

    // A document is its own traversal view, with one count for both.
    auto* traversal = dynamic_cast<IDocumentTraversal*>(doc.get());
    ASSERT_TRUE(traversal);
    const int32_t count = doc->getRefCount();
    boost::intrusive_ptr<IDocumentTraversal> held(traversal);
    EXPECT_EQ(doc->getRefCount(), count + 1);
    EXPECT_EQ(traversal->getRefCount(), count + 1);

    auto* element = static_cast<CXMLDOCLIB_Ostrel::CElement*>(static_cast<IElement*>(e.get()));
    EXPECT_TRUE(same(element->asElement(), e));
    auto* document = static_cast<CXMLDOCLIB_Ostrel::CDocument*>(doc.get());
    EXPECT_EQ(domError([&] { document->asElement(); }), DOM_HIERARCHY_ERROR);

    // A derived element is a node like any other: it takes children and attributes, writes and
    // reads, and goes with its last reference.
    {
        boost::intrusive_ptr<CSessionElement> session(new CSessionElement(), false);
        session->setAttribute("space", "preserve");
        session->appendChild(doc->createTextNode("x"));
        e->appendChild(INodePtr(session.get()));
        EXPECT_EQ(xml(e), "<e><CMSession space='preserve'>x</CMSession></e>");
        EXPECT_EQ(session->revision(), 1);
        EXPECT_TRUE(same(e->selectSingleNode("CMSession[@space='preserve']"), INodePtr(session.get())));
        e->removeChild(INodePtr(session.get()));
    }
    EXPECT_EQ(CSessionElement::destroyed, 1);
}

TEST(DomMemory, EmptyDocumentReportsOutOfMemory)
{
    int32_t status = 1;
    ASSERT_TRUE(createEmptyDocument(&status));
    EXPECT_EQ(status, 0);
    // On a fresh thread the node pool has no block yet, so the document needs new memory.
    std::thread([&] {
        outOfMemory = true;
        IDocumentPtr doc = createEmptyDocument(&status);
        outOfMemory = false;
        EXPECT_FALSE(doc);
    }).join();
    EXPECT_EQ(status, static_cast<int32_t>(0x8007000E));
}
