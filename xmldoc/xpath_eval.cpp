// XPath evaluation: values and their conversions, document order, steps and axes, operators,
// functions, and the select operations of every node.
#include "xmldoc/number_text.h"
#include "xmldoc/sha1.h"
#include "xmldoc/xpath.h"

#include <algorithm>
#include <cstdio>

namespace CXMLDOCLIB_Ostrel {

using namespace XPathParser2;

namespace XPathParser2 {

namespace {

const NodeSetPtr* asSet(const Value& v) { return boost::any_cast<NodeSetPtr>(&v); }
INode* const* asNode(const Value& v) { return boost::any_cast<INode*>(&v); }

NodeSetPtr emptySet()
{
    static const NodeSetPtr empty = std::make_shared<NodeSet>();
    return empty;
}

NodeSetPtr makeSet(NodeVector&& nodes)
{
    auto set = std::make_shared<NodeSet>();
    set->nodes = std::move(nodes);
    return set;
}

// The element that holds an attribute, or null.
NodeCore* ownerOf(NodeCore* attribute)
{
    auto* attr = static_cast<CAttr*>(attribute->self());
    return attr->ownerMap && attr->ownerMap->owner() ? attr->ownerMap->owner()->core() : nullptr;
}

int depthOf(NodeCore* n)
{
    int depth = 0;
    for (; n->parent; n = n->parent)
        ++depth;
    return depth;
}

// Document order of two nodes that are not attributes.
bool treePrecedes(NodeCore* a, NodeCore* b)
{
    if (a == b)
        return false;
    int da = depthOf(a), db = depthOf(b);
    NodeCore* x = a;
    NodeCore* y = b;
    while (da > db) {
        x = x->parent;
        --da;
    }
    while (db > da) {
        y = y->parent;
        --db;
    }
    if (x == y) // one is an ancestor of the other: the ancestor comes first
        return x == a;
    while (x->parent != y->parent) {
        x = x->parent;
        y = y->parent;
    }
    if (!x->parent) // two separate trees: a fixed order for the call
        return x < y;
    return x->order < y->order;
}

// Sorts nodes into document order and drops repeats.
void canonicalize(NodeVector& nodes)
{
    std::sort(nodes.begin(), nodes.end(), [](INode* a, INode* b) { return precedesInDocument(a, b); });
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
}

// Joins node lists that are each in document order.
NodeVector joinPieces(std::vector<NodeVector>& pieces)
{
    NodeVector out;
    bool ordered = true;
    for (auto& piece : pieces) {
        if (piece.empty())
            continue;
        if (!out.empty() && !precedesInDocument(out.back(), piece.front()))
            ordered = false;
        out.insert(out.end(), piece.begin(), piece.end());
    }
    if (!ordered)
        canonicalize(out);
    return out;
}

bool passesTest(NodeCore* m, int32_t axis, int32_t kind, const DOMString& name)
{
    switch (kind) {
    case TestNode:
        return true;
    case TestText:
        return m->isLeaf();
    case TestAnyName:
        return m->kind == Kind::Element || (axis == AxisAttribute && m->kind == Kind::Attribute);
    default:
        if (m->kind == Kind::Element)
            return elementOf(m)->name().qualified() == name;
        if (axis == AxisAttribute && m->kind == Kind::Attribute)
            return static_cast<CAttr*>(m->self())->name().qualified() == name;
        return false;
    }
}

// Pre-order walk of the descendants of n.
template <typename Visit>
void forDescendants(NodeCore* n, Visit visit)
{
    NodeCore* c = n->first;
    while (c) {
        visit(c);
        if (c->first) {
            c = c->first;
            continue;
        }
        while (c && c != n && !c->next)
            c = c->parent;
        if (!c || c == n)
            return;
        c = c->next;
    }
}

// The descendants of n in reverse document order.
template <typename Visit>
void forDescendantsReversed(NodeCore* n, Visit visit)
{
    NodeCore* c = n->last;
    while (c) {
        if (c->last) { // children before their parent, last child first
            c = c->last;
            continue;
        }
        for (;;) {
            visit(c);
            if (c->prev) {
                c = c->prev;
                break;
            }
            c = c->parent;
            if (c == n)
                return;
        }
    }
}

// Walks an axis from n and appends the nodes that pass the test, in axis order.
void walkAxis(NodeCore* n, int32_t axis, int32_t kind, const DOMString& name, NodeVector& out)
{
    auto take = [&](NodeCore* m) {
        if (passesTest(m, axis, kind, name))
            out.push_back(m->self());
    };
    // An attribute's only child is its value's text node.
    auto takeAttributeValue = [&] {
        if (n->kind == Kind::Attribute)
            if (INodePtr value = n->self()->getFirstChild())
                take(value->core());
    };
    switch (axis) {
    case AxisAncestorOrSelf:
        take(n);
        [[fallthrough]];
    case AxisAncestor: // an attribute's parent is the element that holds it
        for (NodeCore* p = n->kind == Kind::Attribute ? ownerOf(n) : n->parent; p; p = p->parent)
            take(p);
        break;
    case AxisAttribute:
        if (n->kind == Kind::Element) {
            // The existing map only: walking attributes never makes a map for an element that has none.
            if (CNamedNodeMap* map = elementOf(n)->existingMap()) {
                if (kind == TestName) {
                    if (INodePtr a = map->getNamedItem(name))
                        out.push_back(a.get());
                } else {
                    for (CAttr* a : map->items())
                        take(a->core());
                }
            }
        }
        break;
    case AxisChild:
        takeAttributeValue();
        for (NodeCore* c = n->first; c; c = c->next)
            take(c);
        break;
    case AxisDescendantOrSelf:
        take(n);
        [[fallthrough]];
    case AxisDescendant:
        takeAttributeValue();
        forDescendants(n, take);
        break;
    case AxisFollowing:
        for (NodeCore* x = n; x; x = x->parent) {
            for (NodeCore* s = x->next; s; s = s->next) {
                take(s);
                forDescendants(s, take);
            }
        }
        break;
    case AxisFollowingSibling:
        for (NodeCore* s = n->next; s; s = s->next)
            take(s);
        break;
    case AxisParent:
        if (NodeCore* p = n->kind == Kind::Attribute ? ownerOf(n) : n->parent)
            take(p);
        break;
    case AxisPreceding:
        for (NodeCore* x = n; x; x = x->parent) {
            for (NodeCore* s = x->prev; s; s = s->prev) {
                forDescendantsReversed(s, take);
                take(s);
            }
        }
        break;
    case AxisPrecedingSibling:
        for (NodeCore* s = n->prev; s; s = s->prev)
            take(s);
        break;
    case AxisSelf:
        take(n);
        break;
    default: // namespace: nothing
        break;
    }
}

bool isReverseAxis(int32_t axis)
{
    return axis == AxisAncestor || axis == AxisAncestorOrSelf || axis == AxisPreceding || axis == AxisPrecedingSibling;
}

// Keeps the candidates that every predicate keeps; positions are those of the candidate list.
void applyPredicates(const std::vector<OpPredicatePtr>& predicates, NodeVector& candidates)
{
    if (predicates.empty())
        return;
    const auto size = static_cast<int32_t>(candidates.size());
    NodeVector kept;
    for (int32_t i = 0; i < size; ++i) {
        INode* node = candidates[static_cast<size_t>(i)];
        const XPathContext context{node, i, size};
        const Value input(node);
        bool keep = true;
        for (const auto& predicate : predicates) {
            const Value v = predicate->evaluate(context, input);
            if (const int32_t* n = boost::any_cast<int32_t>(&v))
                keep = *n == i + 1;
            else if (v.type() == typeid(NodeSetPtr) || v.type() == typeid(bool) || v.type() == typeid(DOMString))
                keep = xpathBoolean(v);
            else
                keep = false;
            if (!keep)
                break;
        }
        if (keep)
            kept.push_back(node);
    }
    candidates.swap(kept);
}

int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

int32_t toInteger(const DOMString& text) { return parseNumberText<int32_t>(std::string_view(text.data(), text.size())); }

// The key of a string value in a node-set comparison: "#" and the text when it is at most 20
// bytes, else "$" and its SHA-1 digest.
std::string stringKey(const DOMString& text)
{
    std::string key;
    if (text.size() <= 20) {
        key.reserve(text.size() + 1);
        key.push_back('#');
        key.append(text.data(), text.size());
    } else {
        Sha1Context c;
        sha1Init(c);
        sha1Update(c, text.data(), text.size());
        uint8_t digest[20];
        sha1Final(digest, c);
        key.push_back('$');
        key.append(reinterpret_cast<const char*>(digest), 20);
    }
    return key;
}

enum class Cmp { Eq, Ne, Lt, Le, Gt, Ge };

template <typename T>
bool holds(Cmp op, const T& l, const T& r)
{
    switch (op) {
    case Cmp::Eq:
        return l == r;
    case Cmp::Ne:
        return !(l == r);
    case Cmp::Lt:
        return l < r;
    case Cmp::Le:
        return !(r < l);
    case Cmp::Gt:
        return r < l;
    default:
        return !(l < r);
    }
}

Cmp mirror(Cmp op)
{
    switch (op) {
    case Cmp::Lt:
        return Cmp::Gt;
    case Cmp::Le:
        return Cmp::Ge;
    case Cmp::Gt:
        return Cmp::Lt;
    case Cmp::Ge:
        return Cmp::Le;
    default:
        return op;
    }
}

bool compareUnsignedBytes(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

struct Key {
    std::string bytes;
    bool operator==(const Key& o) const { return bytes == o.bytes; }
    bool operator<(const Key& o) const { return compareUnsignedBytes(bytes, o.bytes); }
};

// A node set (left) against another value (right), keeping the sides.
bool compareSet(Cmp op, const NodeSet& set, const Value& other)
{
    if (const NodeSetPtr* right = asSet(other)) {
        if (op == Cmp::Eq || op == Cmp::Ne) {
            std::vector<Key> left;
            for (INode* m : set.nodes)
                left.push_back({stringKey(m->getText())});
            std::sort(left.begin(), left.end());
            left.erase(std::unique(left.begin(), left.end()), left.end());
            for (INode* m : (*right)->nodes) {
                const Key kr{stringKey(m->getText())};
                for (const Key& kl : left)
                    if (holds(op, kl, kr))
                        return true;
            }
            return false;
        }
        // Order comparisons read both sides as numbers.
        std::vector<int32_t> left;
        for (INode* m : set.nodes)
            left.push_back(toInteger(m->getText()));
        for (INode* m : (*right)->nodes) {
            const int32_t r = toInteger(m->getText());
            for (int32_t l : left)
                if (holds(op, l, r))
                    return true;
        }
        return false;
    }
    if (const DOMString* s = boost::any_cast<DOMString>(&other)) {
        for (INode* m : set.nodes) {
            const int c = m->getText().compare(*s);
            if (holds(op, c, 0))
                return true;
        }
        return false;
    }
    if (const int32_t* v = boost::any_cast<int32_t>(&other)) {
        for (INode* m : set.nodes)
            if (holds(op, toInteger(m->getText()), *v))
                return true;
        return false;
    }
    if (const bool* b = boost::any_cast<bool>(&other))
        return holds(op, static_cast<int>(!set.nodes.empty()), static_cast<int>(*b));
    return false;
}

bool compareValues(Cmp op, const Value& l, const Value& r)
{
    if (const NodeSetPtr* set = asSet(l))
        return compareSet(op, **set, r);
    if (const NodeSetPtr* set = asSet(r))
        return compareSet(mirror(op), **set, l);
    if (op != Cmp::Eq && op != Cmp::Ne)
        return holds(op, xpathNumber(l), xpathNumber(r));
    if (l.type() == typeid(bool) || r.type() == typeid(bool))
        return holds(op, boost::any_cast<bool>(l), boost::any_cast<bool>(r));
    if (l.type() == typeid(int32_t) || r.type() == typeid(int32_t))
        return holds(op, boost::any_cast<int32_t>(l), boost::any_cast<int32_t>(r));
    if (l.type() == typeid(DOMString) || r.type() == typeid(DOMString))
        return holds(op, boost::any_cast<DOMString>(l).compare(boost::any_cast<DOMString>(r)), 0);
    return false;
}

// The value of a function's first argument, or of the input when it has none.
Value argumentOr(const FunctionOperator& f, const XPathContext& context, const Value& input)
{
    return f.arguments.empty() ? input : f.arguments.front()->evaluate(context, input);
}

} // namespace

// ---- conversions ----

DOMString xpathString(const Value& v)
{
    if (const NodeSetPtr* set = asSet(v))
        return (*set)->nodes.empty() ? DOMString() : (*set)->nodes.front()->getText();
    if (INode* const* node = asNode(v))
        return (*node)->getText();
    if (const bool* b = boost::any_cast<bool>(&v))
        return *b ? "true" : "false";
    if (const DOMString* s = boost::any_cast<DOMString>(&v))
        return *s;
    if (const int32_t* n = boost::any_cast<int32_t>(&v)) {
        const std::string text = numberText(*n);
        return DOMString(text.data(), text.size());
    }
    return {};
}

int32_t xpathNumber(const Value& v)
{
    if (v.type() == typeid(NodeSetPtr) || v.type() == typeid(INode*))
        return toInteger(xpathString(v));
    if (const DOMString* s = boost::any_cast<DOMString>(&v))
        return toInteger(*s);
    if (const bool* b = boost::any_cast<bool>(&v))
        return *b ? 1 : 0;
    if (const int32_t* n = boost::any_cast<int32_t>(&v))
        return *n;
    return 0;
}

bool xpathBoolean(const Value& v)
{
    if (const NodeSetPtr* set = asSet(v))
        return !(*set)->nodes.empty();
    if (const bool* b = boost::any_cast<bool>(&v))
        return *b;
    if (const DOMString* s = boost::any_cast<DOMString>(&v))
        return !s->empty();
    if (const int32_t* n = boost::any_cast<int32_t>(&v))
        return *n != 0;
    return false;
}

bool precedesInDocument(INode* a, INode* b)
{
    NodeCore* ca = a->core();
    NodeCore* cb = b->core();
    if (ca == cb)
        return false;
    const bool attrA = ca->kind == Kind::Attribute, attrB = cb->kind == Kind::Attribute;
    if (attrA || attrB) {
        NodeCore* oa = attrA ? ownerOf(ca) : ca;
        NodeCore* ob = attrB ? ownerOf(cb) : cb;
        if (!oa || !ob) // an attribute of no element: ordered by address for the call
            return (oa ? oa : ca) < (ob ? ob : cb);
        if (attrA && attrB && oa == ob)
            return static_cast<CAttr*>(ca->self())->name().qualified() < static_cast<CAttr*>(cb->self())->name().qualified();
        if (attrA && !attrB && oa == cb)
            return false; // an element comes before its own attributes
        if (attrB && !attrA && ob == ca)
            return true;
        if (oa == ob) // not reached: both attributes handled above
            return false;
        return treePrecedes(oa, ob);
    }
    return treePrecedes(ca, cb);
}

// ---- structural operators ----

void OpStep::collect(INode* from, NodeVector& out) const
{
    if (predicates.empty() && !isReverseAxis(axis)) {
        walkAxis(from->core(), axis, nodeTestKind, name, out); // already in document order
        return;
    }
    NodeVector candidates;
    walkAxis(from->core(), axis, nodeTestKind, name, candidates);
    applyPredicates(predicates, candidates);
    if (isReverseAxis(axis))
        std::reverse(candidates.begin(), candidates.end());
    out.insert(out.end(), candidates.begin(), candidates.end());
}

Value OpStep::evaluate(const XPathContext&, const Value& input) const
{
    const NodeSetPtr* set = asSet(input);
    if (!set)
        return emptySet();
    std::vector<NodeVector> pieces((*set)->nodes.size());
    for (size_t i = 0; i < pieces.size(); ++i)
        collect((*set)->nodes[i], pieces[i]);
    if (pieces.size() == 1)
        return makeSet(std::move(pieces.front()));
    return makeSet(joinPieces(pieces));
}

Value OpRelativeLocationPath::evaluate(const XPathContext& context, const Value& input) const
{
    INode* const* node = asNode(input);
    if (!node)
        return emptySet();
    NodeVector current{*node};
    for (size_t s = 0; s < steps.size(); ++s) {
        const OpStep* step = steps[s].get();
        // "//name" without predicates: one walk of the descendants instead of visiting every node's children.
        std::shared_ptr<OpStep> fused;
        if (step->axis == AxisDescendantOrSelf && step->nodeTestKind == TestNode && step->predicates.empty()
            && s + 1 < steps.size() && steps[s + 1]->axis == AxisChild && steps[s + 1]->predicates.empty()) {
            fused = std::make_shared<OpStep>(AxisDescendant, steps[s + 1]->nodeTestKind, steps[s + 1]->name);
            step = fused.get();
            ++s;
        }
        if (current.size() == 1) {
            NodeVector next;
            step->collect(current.front(), next);
            current.swap(next);
            continue;
        }
        std::vector<NodeVector> pieces(current.size());
        for (size_t i = 0; i < current.size(); ++i)
            step->collect(current[i], pieces[i]);
        current = joinPieces(pieces);
    }
    (void)context;
    return makeSet(std::move(current));
}

Value OpAbsoluteLocationPath::evaluate(const XPathContext& context, const Value& input) const
{
    INode* const* node = asNode(input);
    if (!node)
        return emptySet();
    NodeCore* top = (*node)->core();
    while (top->parent)
        top = top->parent;
    if (!relativePath)
        return makeSet({top->self()});
    return relativePath->evaluate(context, Value(top->self()));
}

Value OpFilter::evaluate(const XPathContext& context, const Value& input) const
{
    const Value value = primary->evaluate(context, input);
    const NodeSetPtr* set = asSet(value);
    if (!set)
        throw ExpectNodeSetError();
    NodeVector candidates = (*set)->nodes; // in document order
    applyPredicates(predicates, candidates);
    return makeSet(std::move(candidates));
}

Value OpPredicate::evaluate(const XPathContext& context, const Value& input) const
{
    if (!asNode(input))
        return false;
    return expr->evaluate(context, input);
}

Value OpUnion::evaluate(const XPathContext& context, const Value& input) const
{
    const Value l = lhs->evaluate(context, input);
    const Value r = rhs->evaluate(context, input);
    const NodeSetPtr* a = asSet(l);
    const NodeSetPtr* b = asSet(r);
    if (!a || !b)
        return emptySet();
    NodeVector merged;
    merged.reserve((*a)->nodes.size() + (*b)->nodes.size());
    std::merge((*a)->nodes.begin(), (*a)->nodes.end(), (*b)->nodes.begin(), (*b)->nodes.end(),
               std::back_inserter(merged), [](INode* x, INode* y) { return precedesInDocument(x, y); });
    merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    return makeSet(std::move(merged));
}

// ---- logic, comparison and arithmetic ----

Value OpOr::evaluate(const XPathContext& c, const Value& in) const
{
    return xpathBoolean(lhs->evaluate(c, in)) || xpathBoolean(rhs->evaluate(c, in));
}

Value OpAnd::evaluate(const XPathContext& c, const Value& in) const
{
    return xpathBoolean(lhs->evaluate(c, in)) && xpathBoolean(rhs->evaluate(c, in));
}

#define QELTA_XPATH_COMPARE(Name, Op)                                          \
    Value Name::evaluate(const XPathContext& c, const Value& in) const         \
    {                                                                          \
        const Value l = lhs->evaluate(c, in);                                  \
        const Value r = rhs->evaluate(c, in);                                  \
        return compareValues(Op, l, r);                                        \
    }
QELTA_XPATH_COMPARE(OpEqual, Cmp::Eq)
QELTA_XPATH_COMPARE(OpNotEqual, Cmp::Ne)
QELTA_XPATH_COMPARE(OpLess, Cmp::Lt)
QELTA_XPATH_COMPARE(OpLessEqual, Cmp::Le)
QELTA_XPATH_COMPARE(OpGreater, Cmp::Gt)
QELTA_XPATH_COMPARE(OpGreaterEqual, Cmp::Ge)
#undef QELTA_XPATH_COMPARE

Value OpAdd::evaluate(const XPathContext& c, const Value& in) const
{
    const int32_t l = xpathNumber(lhs->evaluate(c, in));
    return wrap(int64_t(l) + xpathNumber(rhs->evaluate(c, in)));
}

Value OpSub::evaluate(const XPathContext& c, const Value& in) const
{
    const int32_t l = xpathNumber(lhs->evaluate(c, in));
    return wrap(int64_t(l) - xpathNumber(rhs->evaluate(c, in)));
}

Value OpMul::evaluate(const XPathContext& c, const Value& in) const
{
    const int32_t l = xpathNumber(lhs->evaluate(c, in));
    return wrap(int64_t(l) * xpathNumber(rhs->evaluate(c, in)));
}

Value OpDiv::evaluate(const XPathContext& c, const Value& in) const
{
    const int32_t l = xpathNumber(lhs->evaluate(c, in));
    const int32_t r = xpathNumber(rhs->evaluate(c, in));
    if (r == 0 || (l == INT32_MIN && r == -1))
        throw Error(); // no integer result
    return l / r;
}

Value OpMod::evaluate(const XPathContext& c, const Value& in) const
{
    const int32_t l = xpathNumber(lhs->evaluate(c, in));
    const int32_t r = xpathNumber(rhs->evaluate(c, in));
    if (r == 0 || (l == INT32_MIN && r == -1))
        throw Error();
    return l % r;
}

Value OpNeg::evaluate(const XPathContext& c, const Value& in) const
{
    return wrap(-int64_t(xpathNumber(operand->evaluate(c, in))));
}

// ---- functions ----

Value OpFuncPosition::evaluate(const XPathContext& c, const Value&) const { return wrap(int64_t(c.position) + 1); }

Value OpFuncLast::evaluate(const XPathContext& c, const Value&) const { return c.size; }

Value OpFuncCount::evaluate(const XPathContext& c, const Value& in) const
{
    if (arguments.empty())
        throw ExpectNodeSetError();
    const Value v = arguments.front()->evaluate(c, in);
    const NodeSetPtr* set = asSet(v);
    if (!set)
        throw ExpectNodeSetError();
    return static_cast<int32_t>((*set)->nodes.size());
}

Value OpFuncNumber::evaluate(const XPathContext& c, const Value& in) const
{
    return xpathNumber(argumentOr(*this, c, in));
}

Value OpFuncString::evaluate(const XPathContext& c, const Value& in) const
{
    return xpathString(argumentOr(*this, c, in));
}

Value OpFuncBoolean::evaluate(const XPathContext& c, const Value& in) const
{
    return xpathBoolean(argumentOr(*this, c, in));
}

Value OpFuncNot::evaluate(const XPathContext& c, const Value& in) const
{
    return !xpathBoolean(argumentOr(*this, c, in));
}

Value OpFuncTrue::evaluate(const XPathContext&, const Value&) const { return true; }

Value OpFuncFalse::evaluate(const XPathContext&, const Value&) const { return false; }

NodeSetPtr Parser::evaluateNodeSet(INode* context) const
{
    if (!root)
        return nullptr;
    const Value v = root->evaluate(XPathContext{context, 0, 1}, Value(context));
    const NodeSetPtr* set = asSet(v);
    return set ? *set : nullptr;
}

} // namespace XPathParser2

INodeListPtr selectFrom(INode* context, const DOMString& path)
{
    Parser parser(path.c_str());
    parser.root = parsePath(path);
    auto list = adopt<INodeList>(new CNodeList());
    if (NodeSetPtr set = parser.evaluateNodeSet(context)) {
        auto& nodes = static_cast<CNodeList*>(list.get())->nodes;
        nodes.reserve(set->nodes.size());
        for (INode* n : set->nodes)
            nodes.emplace_back(n);
    }
    return list;
}

} // namespace CXMLDOCLIB_Ostrel
