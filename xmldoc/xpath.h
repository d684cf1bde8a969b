// XPath for the DOM's select operations: a subset of XPath 1.0 over 32-bit integers, parsed into
// a tree of operators and evaluated against a context node. Private to the library.
#pragma once

#include "xmldoc/node_impl.h"

#include <boost/any.hpp>
#include <boost/container/small_vector.hpp>

#include <exception>
#include <memory>
#include <vector>

namespace CXMLDOCLIB_Ostrel::XPathParser2 {

// ---- values ----

/// Nodes in a list that keeps its first few in place (most steps yield one or a few nodes).
using NodeVector = boost::container::small_vector<INode*, 4>;

/// A set of nodes, each held once, kept in document order. It holds no counts: the tree it
/// comes from is neither changed nor released while a select runs.
struct NodeSet {
    NodeVector nodes;
};
using NodeSetPtr = std::shared_ptr<const NodeSet>;

/// The result of evaluating an operator: bool, int32_t, DOMString, INode* (a single node, only
/// ever an input), NodeSetPtr, or empty.
using Value = boost::any;

/// The evaluation context.
struct XPathContext {
    INode* node = nullptr;
    int32_t position = 0; ///< counted from 0
    int32_t size = 1;
};

// ---- failures during evaluation ----

class Error : public std::exception {};
class ObjectTypeError : public Error {};
/// A node set was needed and another value came.
class ExpectNodeSetError : public ObjectTypeError {};

// ---- conversions and document order ----

DOMString xpathString(const Value& value);
int32_t xpathNumber(const Value& value);
bool xpathBoolean(const Value& value);

/// True when a comes strictly before b in document order (an element before its attributes,
/// its attributes by name before its children).
bool precedesInDocument(INode* a, INode* b);

// ---- the operator tree ----

class Operator {
public:
    virtual ~Operator() = default;
    virtual Value evaluate(const XPathContext& context, const Value& input) const = 0;
};
using OperatorPtr = std::shared_ptr<Operator>;

class BinaryOperator : public Operator {
public:
    BinaryOperator(OperatorPtr l, OperatorPtr r) : lhs(std::move(l)), rhs(std::move(r)) {}
    OperatorPtr lhs, rhs;
};

#define QELTA_XPATH_BINARY(Name)                                                          \
    class Name final : public BinaryOperator {                                            \
    public:                                                                               \
        using BinaryOperator::BinaryOperator;                                             \
        Value evaluate(const XPathContext& context, const Value& input) const override;   \
    };
QELTA_XPATH_BINARY(OpOr)
QELTA_XPATH_BINARY(OpAnd)
QELTA_XPATH_BINARY(OpEqual)
QELTA_XPATH_BINARY(OpNotEqual)
QELTA_XPATH_BINARY(OpLess)
QELTA_XPATH_BINARY(OpLessEqual)
QELTA_XPATH_BINARY(OpGreater)
QELTA_XPATH_BINARY(OpGreaterEqual)
QELTA_XPATH_BINARY(OpAdd)
QELTA_XPATH_BINARY(OpSub)
QELTA_XPATH_BINARY(OpMul)
QELTA_XPATH_BINARY(OpDiv)
QELTA_XPATH_BINARY(OpMod)
QELTA_XPATH_BINARY(OpUnion)
#undef QELTA_XPATH_BINARY

class UnaryOperator : public Operator {
public:
    explicit UnaryOperator(OperatorPtr o) : operand(std::move(o)) {}
    OperatorPtr operand;
};

class OpNeg final : public UnaryOperator {
public:
    using UnaryOperator::UnaryOperator;
    Value evaluate(const XPathContext& context, const Value& input) const override;
};

class OpPredicate final : public Operator {
public:
    Value evaluate(const XPathContext& context, const Value& input) const override;
    OperatorPtr expr;
};
using OpPredicatePtr = std::shared_ptr<OpPredicate>;

class OpBaseFilter : public Operator {
public:
    std::vector<OpPredicatePtr> predicates;
};

enum Axis : int32_t {
    AxisAncestor = 1,
    AxisAncestorOrSelf = 2,
    AxisAttribute = 3,
    AxisChild = 4,
    AxisDescendant = 5,
    AxisDescendantOrSelf = 6,
    AxisFollowing = 7,
    AxisFollowingSibling = 8,
    AxisNamespace = 9,
    AxisParent = 10,
    AxisPreceding = 11,
    AxisPrecedingSibling = 12,
    AxisSelf = 13,
};

enum NodeTestKind : int32_t { TestName = 0, TestAnyName = 1, TestText = 2, TestNode = 3 };

class OpStep final : public OpBaseFilter {
public:
    OpStep(int32_t a, int32_t kind, DOMString n) : axis(a), nodeTestKind(kind), name(std::move(n)) {}
    Value evaluate(const XPathContext& context, const Value& input) const override;
    /// The nodes the step reaches from one node, filtered by its predicates, in document order.
    void collect(INode* from, NodeVector& out) const;
    int32_t axis;
    int32_t nodeTestKind;
    DOMString name;
};
using OpStepPtr = std::shared_ptr<OpStep>;

class OpLocationPath : public Operator {};

class OpRelativeLocationPath final : public OpLocationPath {
public:
    Value evaluate(const XPathContext& context, const Value& input) const override;
    std::vector<OpStepPtr> steps;
};

class OpAbsoluteLocationPath final : public OpLocationPath {
public:
    explicit OpAbsoluteLocationPath(std::shared_ptr<OpRelativeLocationPath> r) : relativePath(std::move(r)) {}
    Value evaluate(const XPathContext& context, const Value& input) const override;
    std::shared_ptr<OpRelativeLocationPath> relativePath;
};

class OpFilter final : public OpBaseFilter {
public:
    Value evaluate(const XPathContext& context, const Value& input) const override;
    OperatorPtr primary;
};

class FunctionOperator : public Operator {
public:
    std::vector<OperatorPtr> arguments;
};

#define QELTA_XPATH_FUNCTION(Name)                                                        \
    class Name final : public FunctionOperator {                                          \
    public:                                                                               \
        Value evaluate(const XPathContext& context, const Value& input) const override;   \
    };
QELTA_XPATH_FUNCTION(OpFuncPosition)
QELTA_XPATH_FUNCTION(OpFuncLast)
QELTA_XPATH_FUNCTION(OpFuncCount)
QELTA_XPATH_FUNCTION(OpFuncNumber)
QELTA_XPATH_FUNCTION(OpFuncString)
QELTA_XPATH_FUNCTION(OpFuncBoolean)
QELTA_XPATH_FUNCTION(OpFuncNot)
QELTA_XPATH_FUNCTION(OpFuncTrue)
QELTA_XPATH_FUNCTION(OpFuncFalse)
#undef QELTA_XPATH_FUNCTION

class OpLiteral final : public Operator {
public:
    explicit OpLiteral(DOMString t) : text(std::move(t)) {}
    Value evaluate(const XPathContext&, const Value&) const override { return text; }
    DOMString text;
};

class OpNumber final : public Operator {
public:
    explicit OpNumber(int32_t v) : value(v) {}
    Value evaluate(const XPathContext&, const Value&) const override { return value; }
    int32_t value;
};

// ---- the parser ----

/// Limits that keep hostile paths from exhausting the stack: how deep rules may nest while a
/// path is read, and how many operators one path may make (which bounds the tree's depth).
inline constexpr int kMaxParseDepth = 256;
inline constexpr int kMaxOperators = 2000;

/// Reads one path into an operator tree.
class Parser {
public:
    explicit Parser(const char* text) : cur(text ? text : "") {}

    OperatorPtr parseExpr();
    void skipSpace();
    bool matchToken(const char* token);
    bool parseName(DOMString& out);
    /// The value of the parsed path from a context node as a node set (null when it is another value).
    NodeSetPtr evaluateNodeSet(INode* context) const;

    const char* cur;
    OperatorPtr root;

private:
    OperatorPtr parseOr();
    OperatorPtr parseAnd();
    OperatorPtr parseEquality();
    OperatorPtr parseRelational();
    OperatorPtr parseAdditive();
    OperatorPtr parseMultiplicative();
    OperatorPtr parseUnary();
    OperatorPtr parseUnion();
    OperatorPtr parsePath();
    OperatorPtr parseLocationPath();
    std::shared_ptr<OpRelativeLocationPath> parseRelativeLocationPath();
    OpStepPtr parseStep();
    OpPredicatePtr parsePredicate();
    OperatorPtr parseFilter();
    OperatorPtr parsePrimary();
    OperatorPtr parseFunctionCall();
    template <typename T, typename... Args>
    std::shared_ptr<T> make(Args&&... args);
    int depth_ = 0;
    int operators_ = 0;
    bool exhausted_ = false; // a limit was hit: the parse yields nothing
    friend struct DepthGuard;
};

/// Parses a whole path as the select operations do; throws the DOM failure 0x80048106 when it
/// does not parse or leaves text over.
OperatorPtr parsePath(const DOMString& path);

} // namespace CXMLDOCLIB_Ostrel::XPathParser2
