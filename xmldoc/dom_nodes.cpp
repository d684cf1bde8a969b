// The node classes: counting and destruction, the tree operations, elements, attributes and their
// map, text and value nodes, node lists and documents.
#include "platform/com.h"
#include "xmldoc/byte_scan.h"
#include "xmldoc/node_impl.h"
#include "xmldoc/number_text.h"


#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <cstdio>
#include <cstring>

namespace CXMLDOCLIB_Ostrel {

// ---- node memory ----

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false; // the sanitizer must see every node's own allocation
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

constexpr size_t kGranule = 16;
constexpr size_t kSizeClasses = 16; // nodes of up to 256 bytes
constexpr size_t kBlockBytes = 64 * 1024;

struct FreeSlot {
    FreeSlot* next;
};

// One thread's free lists and current blocks, one of each per size class. A node freed on another
// thread simply joins that thread's list.
struct NodePool {
    FreeSlot* free[kSizeClasses] = {};
    char* cursor[kSizeClasses] = {};
    char* end[kSizeClasses] = {};
};

thread_local NodePool pool;
thread_local int64_t liveNodes = 0;
thread_local int64_t liveBytes = 0;

// Every block stays reachable for the life of the process.
std::mutex blocksMutex;
std::vector<void*>& blocks()
{
    static auto* all = new std::vector<void*>();
    return *all;
}

} // namespace

NodePoolStats nodePoolStats()
{
    std::lock_guard lock(blocksMutex);
    return {liveNodes, liveBytes, static_cast<int64_t>(blocks().size()), static_cast<int64_t>(kBlockBytes)};
}

void* allocateNode(std::size_t size)
{
    ++liveNodes;
    const size_t cls = (size + kGranule - 1) / kGranule - 1;
    liveBytes += static_cast<int64_t>(cls < kSizeClasses ? (cls + 1) * kGranule : size);
    if (!kPooled || cls >= kSizeClasses)
        return ::operator new(size);
    NodePool& p = pool;
    if (FreeSlot* slot = p.free[cls]) {
        p.free[cls] = slot->next;
        return slot;
    }
    const size_t bytes = (cls + 1) * kGranule;
    if (!p.cursor[cls] || p.cursor[cls] + bytes > p.end[cls]) {
        char* block = static_cast<char*>(::operator new(kBlockBytes));
        {
            std::lock_guard lock(blocksMutex);
            blocks().push_back(block);
        }
        p.cursor[cls] = block;
        p.end[cls] = block + kBlockBytes;
    }
    void* result = p.cursor[cls];
    p.cursor[cls] += bytes;
    return result;
}

void freeNode(void* ptr, std::size_t size)
{
    --liveNodes;
    const size_t cls = (size + kGranule - 1) / kGranule - 1;
    liveBytes -= static_cast<int64_t>(cls < kSizeClasses ? (cls + 1) * kGranule : size);
    if (!kPooled || cls >= kSizeClasses) {
        ::operator delete(ptr);
        return;
    }
    auto* slot = static_cast<FreeSlot*>(ptr);
    slot->next = pool.free[cls];
    pool.free[cls] = slot;
}

// ---- failures and destruction ----

void fail(int32_t code) { throw CDOMException(code); }

} // namespace CXMLDOCLIB_Ostrel

// ---- the pages of a parse ----

#if defined(__SANITIZE_ADDRESS__)
#define XMLDOC_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XMLDOC_ASAN 1
#endif
#endif

#ifdef XMLDOC_ASAN
#include <sanitizer/asan_interface.h>
#define XMLDOC_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define XMLDOC_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define XMLDOC_POISON(p, n) ((void)(p), (void)(n))
#define XMLDOC_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace CXMLDOCLIB_Ostrel {

static_assert((NodeArena::kLastPageBytes - 1) / NodeArena::kNodeAlign <= UINT16_MAX);
static_assert(alignof(CElement) <= NodeArena::kNodeAlign && alignof(CText) <= NodeArena::kNodeAlign
              && alignof(CAttr) <= NodeArena::kNodeAlign);

namespace {

uint64_t load64(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A hash of a name's bytes: names are short, so their first and last eight bytes say enough.
uint64_t hashName(std::string_view raw)
{
    const std::size_t n = raw.size();
    uint64_t a = 0, b = 0;
    if (n >= 8) {
        a = load64(raw.data());
        b = load64(raw.data() + n - 8);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            a = a << 8 | static_cast<unsigned char>(raw[i]);
    }
    uint64_t h = (n * 0x9E3779B97F4A7C15ull) ^ (a * 0xC2B2AE3D27D4EB4Full) ^ (b * 0x165667B19E3779F9ull);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

} // namespace

void* NodeArena::allocateInNewPage(std::size_t size)
{
    if (size > kFirstPageBytes - sizeof(Page))
        throw std::bad_alloc(); // no node is that large
    const std::size_t bytes = nextPageBytes_;
    void* block = ::operator new(bytes);
    auto* page = static_cast<Page*>(block);
    page->arena = this;
    page->next = page_;
    page->bytes = bytes;
    page_ = page;
    nextPageBytes_ = std::min(bytes * 2, kLastPageBytes);
    cursor_ = static_cast<char*>(block) + sizeof(Page);
    end_ = static_cast<char*>(block) + bytes;
    void* room = cursor_;
    cursor_ += size;
    return room;
}

void NodeArena::takeAhead()
{
    retain(kAhead);
    reserved_ = kAhead;
}

NodeArena::Name& NodeArena::name(std::string_view raw)
{
    const uint64_t hash = hashName(raw);
    if (slots_.empty())
        slots_.resize(64);
    size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (; slots_[at].record; at = (at + 1) & mask)
        if (slots_[at].hash == hash && slots_[at].record->is(raw))
            return *slots_[at].record;
    names_.push_back(std::make_unique<Name>(decodeReferences(raw.data(), raw.size()), raw));
    Name& result = *names_.back();
    if (names_.size() * 2 > slots_.size()) {
        std::vector<NameSlot> old(slots_.size() * 2);
        old.swap(slots_);
        mask = slots_.size() - 1;
        for (const NameSlot& slot : old) {
            if (!slot.record)
                continue;
            size_t to = slot.hash & mask;
            while (slots_[to].record)
                to = (to + 1) & mask;
            slots_[to] = slot;
        }
        at = hash & mask;
        while (slots_[at].record)
            at = (at + 1) & mask;
    }
    slots_[at] = NameSlot{hash, &result};
    return result;
}

void NodeArena::release(int64_t count)
{
    if (refs_.fetch_sub(count, std::memory_order_acq_rel) == count)
        delete this;
}

NodeArena* NodeArena::of(const void* node, const NodeCore& core)
{
    return reinterpret_cast<const Page*>(static_cast<const char*>(node) - std::size_t{core.pageOffset} * NodeArena::kNodeAlign)->arena;
}

NodeArena::~NodeArena()
{
    for (Page* page = page_; page;) {
        Page* next = page->next;
        XMLDOC_UNPOISON(page, page->bytes);
        ::operator delete(page);
        page = next;
    }
}

// ---- destruction ----

namespace {

// Node references given back to arenas, gathered so that a tree's nodes cost one atomic step.
class ArenaReleases {
public:
    ~ArenaReleases() { flush(); }
    void add(NodeArena* arena)
    {
        if (arena != arena_) {
            flush();
            arena_ = arena;
        }
        ++count_;
    }

private:
    void flush()
    {
        if (arena_)
            arena_->release(count_);
        arena_ = nullptr;
        count_ = 0;
    }
    NodeArena* arena_ = nullptr;
    int64_t count_ = 0;
};

// Runs a node's destructor and gives back its memory. A parse makes nodes of exactly these
// classes in its pages, so their destructors are called directly.
void dispose(INode* node, NodeCore& core, ArenaReleases& releases)
{
    if (!core.inArena) {
        delete node;
        return;
    }
    NodeArena* arena = NodeArena::of(node, core);
    std::size_t size = 0;
    switch (core.kind) {
    case Kind::Element:
        static_cast<CElement*>(node)->CElement::~CElement();
        size = sizeof(CElement);
        break;
    case Kind::Text:
        static_cast<CText*>(node)->CText::~CText();
        size = sizeof(CText);
        break;
    case Kind::Attribute:
        static_cast<CAttr*>(node)->CAttr::~CAttr();
        size = sizeof(CAttr);
        break;
    default:
        node->~INode();
        break;
    }
    XMLDOC_POISON(node, size); // for the sanitizer: a use after the end is caught
    releases.add(arena);
}

} // namespace

void destroyNode(INode* node)
{
    // Without recursion and without memory of its own (it runs in destructors, where running out
    // of memory cannot be reported): the walk takes each node's first child off in turn and goes
    // down into it when no one else holds it, so the nodes go in the order a parse made them, each
    // after its children; the link to its parent leads back up.
    ArenaReleases releases;
    NodeCore* n = coreOf(node); // its count is 0, so no parent holds it
    for (;;) {
        if (NodeCore* child = n->first) {
            n->first = child->next;
            (child->next ? child->next->prev : n->last) = nullptr;
            child->prev = child->next = nullptr;
            if (--child->refs > 0)
                child->parent = nullptr; // held elsewhere: it stays, on its own
            else
                n = child; // its parent link is the way back
            continue;
        }
        NodeCore* up = n->parent;
        dispose(n->self(), *n, releases);
        if (!up)
            return;
        n = up;
    }
}

namespace {

// Unlinks every child of a parent that is going away: links cleared first, then the counts given back.
void releaseChildren(NodeCore& parent)
{
    NodeCore* child = parent.first;
    parent.first = parent.last = nullptr;
    while (child) {
        NodeCore* next = child->next;
        child->parent = child->prev = child->next = nullptr;
        child->self()->release();
        child = next;
    }
}

void unlink(NodeCore& parent, NodeCore& child)
{
    (child.prev ? child.prev->next : parent.first) = child.next;
    (child.next ? child.next->prev : parent.last) = child.prev;
    child.parent = child.prev = child.next = nullptr;
}

// Links child (detached) before ref (a child of parent) or at the end; the list takes one count.
// Siblings carry increasing order numbers with gaps, so a node can be placed between two others;
// when a gap runs out the parent's children are numbered afresh.
void link(NodeCore& parent, NodeCore& child, NodeCore* ref)
{
    constexpr uint32_t kGap = kSiblingOrderGap;
    bool renumber = false;
    if (!ref) {
        const uint32_t last = parent.last ? parent.last->order : 0;
        if (last > UINT32_MAX - kGap)
            renumber = true; // numbers run out at the end: start again from the front
        else
            child.order = last + kGap;
    } else {
        const uint32_t low = ref->prev ? ref->prev->order : 0;
        if (ref->order - low >= 2)
            child.order = low + (ref->order - low) / 2;
        else
            renumber = true;
    }
    child.self()->addRef();
    child.parent = &parent;
    child.next = ref;
    child.prev = ref ? ref->prev : parent.last;
    (child.prev ? child.prev->next : parent.first) = &child;
    (ref ? ref->prev : parent.last) = &child;
    if (renumber) {
        // Spread the numbers over the whole range, so long lists keep room to grow.
        uint64_t count = 0;
        for (NodeCore* c = parent.first; c; c = c->next)
            ++count;
        const uint64_t step = std::max<uint64_t>(1, std::min<uint64_t>(kGap, UINT32_MAX / (count + 1)));
        uint64_t order = 0;
        for (NodeCore* c = parent.first; c; c = c->next)
            c->order = static_cast<uint32_t>(order += step);
    }
}

// True when candidate is node itself or one of its ancestors.
bool isSelfOrAncestor(const NodeCore* candidate, const NodeCore* node)
{
    for (const NodeCore* n = node; n; n = n->parent)
        if (n == candidate)
            return true;
    return false;
}

// Clones one node without its children (an element keeps its name, namespace and attributes).
INodePtr shallowCopy(NodeCore& source)
{
    if (source.kind == Kind::Element) {
        auto* from = elementOf(&source);
        auto copy = adopt<IElement>(new CElement(from->name()));
        if (CNamedNodeMap* map = from->existingMap()) {
            auto* to = static_cast<CElement*>(copy.get());
            for (CAttr* attr : map->items())
                to->setAttributeNode(adopt<IAttr>(static_cast<IAttr*>(attr->cloneNode(true).detach())));
        }
        return copy;
    }
    if (source.kind == Kind::Document)
        return createEmptyDocument();
    return source.self()->cloneNode(false);
}

// Copies a subtree without recursion: each copied parent gets copies of the source's children.
INodePtr deepCopy(NodeCore& source)
{
    INodePtr root = shallowCopy(source);
    std::vector<std::pair<NodeCore*, NodeCore*>> work{{&source, root->core()}};
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        for (NodeCore* child = from->first; child; child = child->next) {
            INodePtr copy = shallowCopy(*child);
            link(*to, *copy->core(), nullptr);
            if (child->first)
                work.emplace_back(child, copy->core());
        }
    }
    return root;
}

} // namespace

void appendAtRenumber(NodeCore& parent, NodeCore& child)
{
    link(parent, child, nullptr);
    --child.refs; // link took a count of its own
}

// ---- names ----

NameRecord::NameRecord(const DOMString& qualifiedName, const DOMString& namespaceURI)
    : qualified(qualifiedName), plain(isPlainName(qualifiedName))
{
    const auto colon = qualified.find(':');
    prefixLength = colon == DOMString::npos ? 0 : static_cast<uint32_t>(colon + 1);
    if (!namespaceURI.empty())
        uri = std::make_unique<DOMString>(namespaceURI);
}

ElementName::ElementName(const DOMString& qualified, const DOMString& namespaceURI)
    : record_(new NameRecord(qualified, namespaceURI)), owned_(true)
{
}

ElementName ElementName::shared(const NameRecord& record)
{
    ElementName name;
    name.record_ = &record;
    return name;
}

ElementName ElementName::split(const DOMString& qualified, const DOMString& namespaceURI, uint32_t prefixLength)
{
    auto* record = new NameRecord(qualified, namespaceURI);
    record->prefixLength = prefixLength;
    ElementName name;
    name.record_ = record;
    name.owned_ = true;
    return name;
}

ElementName::ElementName(const ElementName& o)
{
    if (o.record_)
        *this = split(o.qualified(), o.namespaceURI(), o.prefixLength());
}

ElementName& ElementName::operator=(const ElementName& o)
{
    if (this != &o)
        *this = ElementName(o);
    return *this;
}

ElementName& ElementName::operator=(ElementName&& o) noexcept
{
    if (this != &o) {
        if (owned_)
            delete record_;
        record_ = std::exchange(o.record_, nullptr);
        owned_ = o.owned_;
    }
    return *this;
}

ElementName::~ElementName()
{
    if (owned_)
        delete record_;
}

void ElementName::setPrefix(const DOMString& prefix)
{
    DOMString local = localName();
    if (prefix.empty())
        *this = split(local, namespaceURI(), 0);
    else
        *this = split(prefix + ":" + local, namespaceURI(), static_cast<uint32_t>(prefix.size() + 1));
}

// ---- shared node bodies ----

template <typename I>
INodeListPtr CNodeT<I>::getChildNodes()
{
    auto list = adopt<INodeList>(new CNodeList());
    auto& nodes = static_cast<CNodeList*>(list.get())->nodes;
    for (NodeCore* c = core_.first; c; c = c->next)
        nodes.emplace_back(c->self());
    return list;
}

template <typename I>
INodePtr CNodeT<I>::insertBefore(const INodePtr& newChild, const INodePtr& refChild)
{
    if (!core_.isParentKind() || !newChild || !newChild->core()->isChildKind())
        fail(DOM_HIERARCHY_ERROR);
    NodeCore& child = *newChild->core();
    NodeCore* ref = refChild ? refChild->core() : nullptr;
    if (ref && !ref->isChildKind())
        fail(DOM_HIERARCHY_ERROR);
    if (isSelfOrAncestor(&child, &core_))
        fail(DOM_HIERARCHY_ERROR);
    // Every check comes before the tree changes.
    if (ref && ref->parent != &core_)
        fail(DOM_NOT_FOUND);
    if (ref == &child)
        return newChild; // already in that place
    INodePtr keep = newChild;
    if (child.parent) {
        NodeCore& oldParent = *child.parent;
        unlink(oldParent, child);
        child.self()->release(); // the old list's count; keep holds the node
    }
    link(core_, child, ref);
    return newChild;
}

template <typename I>
INodePtr CNodeT<I>::replaceChild(const INodePtr& newChild, const INodePtr& oldChild)
{
    if (!core_.isParentKind() || !newChild || !newChild->core()->isChildKind() || !oldChild
        || !oldChild->core()->isChildKind())
        fail(DOM_HIERARCHY_ERROR);
    if (isSelfOrAncestor(newChild->core(), &core_))
        fail(DOM_HIERARCHY_ERROR);
    if (oldChild->core()->parent != &core_)
        fail(DOM_NOT_FOUND);
    if (newChild.get() == oldChild.get())
        return oldChild; // replacing a node by itself changes nothing
    insertBefore(newChild, oldChild);
    return removeChild(oldChild);
}

template <typename I>
INodePtr CNodeT<I>::removeChild(const INodePtr& oldChild)
{
    if (!core_.isParentKind() || !oldChild || !oldChild->core()->isChildKind())
        fail(DOM_HIERARCHY_ERROR);
    NodeCore& child = *oldChild->core();
    if (child.parent != &core_)
        fail(DOM_NOT_FOUND);
    INodePtr keep = oldChild;
    unlink(core_, child);
    child.self()->release();
    return keep;
}

template <typename I>
DOMString CNodeT<I>::getXML()
{
    DOMString out;
    writeNode(this, out);
    return out;
}

template <typename I>
void CNodeT<I>::writeXML(std::ostream& out)
{
    const DOMString text = getXML();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

template <typename I>
DOMString CNodeT<I>::getText()
{
    // The text of every leaf below this node, in document order, gathered without recursion.
    DOMString out;
    NodeCore* n = core_.first;
    while (n) {
        if (n->isLeaf())
            out += n->self()->getText();
        if (n->first) {
            n = n->first;
            continue;
        }
        while (n && !n->next) {
            n = n->parent;
            if (n == &core_)
                return out;
        }
        if (n)
            n = n->next;
    }
    return out;
}

template <typename I>
INodePtr CNodeT<I>::setText(const DOMString& text)
{
    while (INodePtr last = this->getLastChild())
        this->removeChild(last);
    if (!text.empty())
        this->appendChild(adopt<INode>(new CText(text)));
    return INodePtr(this);
}

template <typename I>
int32_t CNodeT<I>::getInteger()
{
    try {
        const DOMString text = this->getText();
        return parseNumberText<int32_t>(std::string_view(text.data(), text.size()));
    } catch (const boost::bad_lexical_cast&) {
        throw ExIllegalConversion();
    }
}

template <typename I>
INodePtr CNodeT<I>::setInteger(int32_t value)
{
    while (INodePtr last = this->getLastChild())
        this->removeChild(last);
    this->appendChild(adopt<INode>(new CIntegerNode(value)));
    return INodePtr(this);
}

template <typename I>
INodeListPtr CNodeT<I>::selectNodes(const DOMString& path)
{
    return selectFrom(this, path);
}

template <typename I>
INodePtr CNodeT<I>::selectSingleNode(const DOMString& path)
{
    INodeListPtr list = selectFrom(this, path);
    return list->getLength() > 0 ? list->item(0) : INodePtr();
}

template class CNodeT<IDocument>;
template class CNodeT<IElement>;
template class CNodeT<IAttr>;
template class CNodeT<IText>;
template class CNodeT<IValueNode<int32_t>>;
template class CNodeT<IValueNode<double>>;

// ---- documents ----

IDocumentPtr createEmptyDocument(int32_t* status)
{
    if (status)
        *status = 0;
    try {
        return adopt<IDocument>(new CDocument());
    } catch (const std::bad_alloc&) {
        if (status)
            *status = XMLDOC_E_OUTOFMEMORY;
        return nullptr;
    }
}

CDocument::~CDocument() { releaseChildren(core_); }

INodePtr CDocument::cloneNode(bool deep) { return deep ? deepCopy(core_) : INodePtr(createEmptyDocument()); }

DOMString CDocument::getXML()
{
    DOMString out;
    if (core_.first)
        writeNode(core_.first->self(), out);
    return out;
}

void CDocument::writeXML(std::ostream& out)
{
    if (core_.first)
        core_.first->self()->writeXML(out);
}

DOMString CDocument::getText() { return core_.first ? core_.first->self()->getText() : DOMString(); }

IElementPtr CDocument::getDocumentElement()
{
    return core_.first && core_.first->kind == Kind::Element ? IElementPtr(elementOf(core_.first)) : IElementPtr();
}

IElementPtr CDocument::setDocumentElement(const IElementPtr& element)
{
    IElementPtr removed;
    if (core_.first) {
        INodePtr first = removeChild(nodeOf(core_.first));
        if (first->core()->kind == Kind::Element)
            removed = IElementPtr(elementOf(first->core()));
    }
    if (element)
        appendChild(element);
    return removed;
}

IElementPtr CDocument::createElement(const DOMString& name) { return adopt<IElement>(new CElement(ElementName(name))); }

ITextPtr CDocument::createTextNode(const DOMString& text) { return adopt<IText>(new CText(text)); }

IAttrPtr CDocument::createAttribute(const DOMString& name) { return adopt<IAttr>(new CAttr(ElementName(name))); }

namespace {
bool hasPrefix(const DOMString& qualified)
{
    const auto colon = qualified.find(':');
    return colon != DOMString::npos && colon > 0;
}
} // namespace

IElementPtr CDocument::createElementNS(const DOMString& namespaceURI, const DOMString& qualifiedName)
{
    if (namespaceURI.empty() && hasPrefix(qualifiedName))
        fail(DOM_NAMESPACE_ERROR);
    return adopt<IElement>(new CElement(ElementName(qualifiedName, namespaceURI)));
}

IAttrPtr CDocument::createAttributeNS(const DOMString& namespaceURI, const DOMString& qualifiedName)
{
    if (namespaceURI.empty() && hasPrefix(qualifiedName))
        fail(DOM_NAMESPACE_ERROR);
    return adopt<IAttr>(new CAttr(ElementName(qualifiedName, namespaceURI)));
}

boost::intrusive_ptr<IValueNode<int32_t>> CDocument::createIntegerNode(int32_t value)
{
    return adopt<IValueNode<int32_t>>(new CIntegerNode(value));
}

boost::intrusive_ptr<IValueNode<double>> CDocument::createFloatNode(double value)
{
    return adopt<IValueNode<double>>(new CFloatNode(value));
}

// ---- elements ----

CElement::~CElement()
{
    if (map_) {
        map_->clearOwner();
        map_->release();
    }
    releaseChildren(core_);
}

CNamedNodeMap& CElement::attributeMap()
{
    if (!map_)
        map_ = new CNamedNodeMap(this);
    return *map_;
}

INamedNodeMapPtr CElement::getAttributes() { return INamedNodeMapPtr(&attributeMap()); }

INodePtr CElement::cloneNode(bool deep) { return deep ? deepCopy(core_) : shallowCopy(core_); }

DOMString CElement::getAttribute(const DOMString& name)
{
    if (!map_)
        return {};
    INodePtr found = map_->getNamedItem(name);
    return found ? found->getNodeValue() : DOMString();
}

IElementPtr CElement::setAttribute(const DOMString& name, const DOMString& value)
{
    auto attr = adopt<IAttr>(new CAttr(ElementName(name)));
    attr->setValue(value);
    attributeMap().setNamedItem(attr); // the replaced attribute, if any, is released here
    return IElementPtr(this);
}

IElementPtr CElement::removeAttribute(const DOMString& name)
{
    if (!map_)
        fail(DOM_NOT_FOUND);
    map_->removeNamedItem(name);
    return IElementPtr(this);
}

IAttrPtr CElement::getAttributeNode(const DOMString& name)
{
    if (!map_)
        return nullptr;
    INodePtr found = map_->getNamedItem(name);
    return found ? IAttrPtr(static_cast<CAttr*>(found.get())) : IAttrPtr();
}

IAttrPtr CElement::setAttributeNode(const IAttrPtr& attribute)
{
    attributeMap().setNamedItem(attribute);
    return attribute;
}

IAttrPtr CElement::removeAttributeNode(const IAttrPtr& attribute)
{
    if (map_ && attribute) {
        const auto& items = map_->items();
        for (size_t i = 0; i < items.size(); ++i) {
            if (static_cast<INode*>(items[i]) == static_cast<INode*>(attribute.get())) {
                CAttr* taken = map_->take(i);
                taken->release(); // the map's count; the caller holds the attribute
                return attribute;
            }
        }
    }
    fail(DOM_NOT_FOUND);
}

INodeListPtr CElement::getElementsByTagName(const DOMString& name)
{
    auto list = adopt<INodeList>(new CNodeList());
    auto& nodes = static_cast<CNodeList*>(list.get())->nodes;
    for (NodeCore* c = core_.first; c; c = c->next)
        if (c->kind == Kind::Element && (name == "*" || elementOf(c)->name().qualified() == name))
            nodes.emplace_back(c->self());
    return list;
}

// ---- attributes and their map ----

INodeListPtr CAttr::getChildNodes()
{
    auto list = adopt<INodeList>(new CNodeList());
    if (value_)
        static_cast<CNodeList*>(list.get())->nodes.push_back(value_);
    return list;
}

INodePtr CAttr::cloneNode(bool deep)
{
    auto copy = adopt<IAttr>(new CAttr(name_));
    if (deep)
        copy->setValue(getValue());
    return copy;
}

DOMString CAttr::getValue() { return value_ ? value_->getNodeValue() : DOMString(); }

const DOMString& CAttr::valueText() const
{
    static const DOMString empty;
    // The value node is always a text node made by setValue.
    return value_ ? static_cast<CText*>(value_.get())->data() : empty;
}

IAttrPtr CAttr::setValue(const DOMString& value)
{
    if (value_)
        value_->setNodeValue(value);
    else
        value_ = adopt<INode>(new CText(value));
    return IAttrPtr(this);
}

INodePtr CAttr::getOwnerElement()
{
    return ownerMap && ownerMap->owner() ? INodePtr(ownerMap->owner()) : INodePtr();
}

CNamedNodeMap::~CNamedNodeMap()
{
    for (CAttr* attr : items_) {
        attr->ownerMap = nullptr;
        attr->release();
    }
}

int32_t CNamedNodeMap::release()
{
    const int32_t left = --refs_;
    if (left <= 0)
        delete this;
    return left;
}

size_t CNamedNodeMap::lowerBound(const DOMString& name) const
{
    return static_cast<size_t>(
        std::lower_bound(items_.begin(), items_.end(), name,
                         [](const CAttr* a, const DOMString& key) { return a->name().qualified() < key; })
        - items_.begin());
}

INodePtr CNamedNodeMap::getNamedItem(const DOMString& name)
{
    const size_t i = lowerBound(name);
    return i < items_.size() && items_[i]->name().qualified() == name ? INodePtr(items_[i]) : INodePtr();
}

INodePtr CNamedNodeMap::setNamedItem(const INodePtr& node)
{
    if (!node || node->core()->kind != Kind::Attribute)
        fail(DOM_HIERARCHY_ERROR);
    auto* attr = static_cast<CAttr*>(node.get());
    if (attr->ownerMap)
        fail(DOM_ATTRIBUTE_IN_USE);
    const DOMString& key = attr->name().qualified();
    size_t i = lowerBound(key);
    INodePtr replaced;
    if (i < items_.size() && items_[i]->name().qualified() == key)
        replaced = adopt<INode>(take(i)); // the map's count passes to the result
    attr->addRef();
    attr->ownerMap = this;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), attr);
    return replaced;
}

CAttr* CNamedNodeMap::take(size_t index)
{
    CAttr* attr = items_[index];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    attr->ownerMap = nullptr;
    return attr;
}

INodePtr CNamedNodeMap::removeNamedItem(const DOMString& name)
{
    const size_t i = lowerBound(name);
    if (i >= items_.size() || items_[i]->name().qualified() != name)
        fail(DOM_NOT_FOUND);
    return adopt<INode>(take(i));
}

INodePtr CNamedNodeMap::item(int32_t index)
{
    return index >= 0 && index < getLength() ? INodePtr(items_[static_cast<size_t>(index)]) : INodePtr();
}

// ---- text and value nodes ----

INodePtr CText::setNodeValue(const DOMString& value)
{
    const auto nul = value.find('\0');
    data_ = nul == DOMString::npos ? value : value.substr(0, nul);
    return INodePtr(this);
}

template <typename T, Kind K>
DOMString CValueNode<T, K>::getNodeValue()
{
    const std::string text = numberText(value_);
    return DOMString(text.data(), text.size());
}

template <typename T, Kind K>
INodePtr CValueNode<T, K>::setNodeValue(const DOMString& text)
{
    value_ = parseNumberText<T>(std::string_view(text.data(), text.size())); // the value stays on failure
    return INodePtr(this);
}

template <typename T, Kind K>
INamedNodeMapPtr CValueNode<T, K>::getAttributes()
{
    return adopt<INamedNodeMap>(new CNamedNodeMap(nullptr));
}

template class CValueNode<int32_t, Kind::Integer>;
template class CValueNode<double, Kind::Float>;

// ---- node lists ----

int32_t CNodeList::release()
{
    const int32_t left = --refs_;
    if (left <= 0)
        delete this;
    return left;
}

INodePtr CNodeList::item(int32_t index)
{
    return index >= 0 && index < getLength() ? nodes[static_cast<size_t>(index)] : INodePtr();
}

} // namespace CXMLDOCLIB_Ostrel

extern "C" mfpif_Halvet_R1::IDocument* createDocument()
{
    return guardedExport<mfpif_Halvet_R1::IDocument*>(nullptr, [] {
        auto* doc = new CXMLDOCLIB_Ostrel::CDocument();
        --doc->core()->refs; // handed over unreferenced: the caller takes the first count
        return doc;
    });
}
