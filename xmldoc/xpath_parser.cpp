// The XPath parser: recursive descent with backtracking over the path text, keeping only a read
// position. Every rule answers an operator, or null when it found none.
#include "xmldoc/xpath.h"

#include <cstring>

namespace CXMLDOCLIB_Ostrel::XPathParser2 {

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char* const kFunctionNames[] = {"position", "last", "count", "number", "string", "boolean", "not", "true", "false"};

// Whether the text at p opens a function call: a function name, then "(" (whitespace allowed
// before either). Only looks: the step leaves the call to the filter, which reads it once.
bool opensFunctionCall(const char* p)
{
    while (isSpace(*p))
        ++p;
    for (const char* name : kFunctionNames) {
        const size_t n = std::strlen(name);
        if (std::strncmp(p, name, n) != 0)
            continue;
        p += n;
        while (isSpace(*p))
            ++p;
        return *p == '(';
    }
    return false;
}
} // namespace

// Counts one level of rule nesting for as long as it lives.
struct DepthGuard {
    explicit DepthGuard(Parser& p) : parser(p)
    {
        if (++parser.depth_ > kMaxParseDepth)
            parser.exhausted_ = true;
    }
    ~DepthGuard() { --parser.depth_; }
    bool ok() const { return !parser.exhausted_; }
    Parser& parser;
};

template <typename T, typename... Args>
std::shared_ptr<T> Parser::make(Args&&... args)
{
    if (++operators_ > kMaxOperators) {
        exhausted_ = true;
        return nullptr;
    }
    return std::make_shared<T>(std::forward<Args>(args)...);
}

void Parser::skipSpace()
{
    while (isSpace(*cur))
        ++cur;
}

bool Parser::matchToken(const char* token)
{
    skipSpace();
    const size_t n = std::strlen(token);
    if (std::strncmp(cur, token, n) != 0)
        return false;
    cur += n;
    return true;
}

bool Parser::parseName(DOMString& out)
{
    const char* p = cur;
    if (!isLetter(*p) && *p != '_')
        return false;
    ++p;
    while (isLetter(*p) || isDigit(*p) || *p == '-' || *p == '.' || *p == ':' || *p == '_')
        ++p;
    out.assign(cur, static_cast<size_t>(p - cur));
    cur = p;
    return true;
}

OperatorPtr Parser::parseExpr()
{
    DepthGuard guard(*this);
    if (!guard.ok())
        return nullptr;
    OperatorPtr e = parseOr();
    return exhausted_ ? nullptr : e;
}

// One left-associative level: operand (token operand)*.
#define QELTA_XPATH_LEVEL(Rule, Next, ...)                                         \
    OperatorPtr Parser::Rule()                                                     \
    {                                                                              \
        OperatorPtr left = Next();                                                 \
        if (!left)                                                                 \
            return nullptr;                                                        \
        for (;;) {                                                                 \
            bool matched = false;                                                  \
            __VA_ARGS__                                                            \
            if (!matched)                                                          \
                return left;                                                       \
            if (!left)                                                             \
                return nullptr;                                                    \
        }                                                                          \
    }
#define QELTA_XPATH_TRY(Token, Op, Next)                                           \
    if (!matched && matchToken(Token)) {                                           \
        matched = true;                                                            \
        OperatorPtr right = Next();                                                \
        left = right ? make<Op>(left, right) : nullptr;                            \
    }

QELTA_XPATH_LEVEL(parseOr, parseAnd, QELTA_XPATH_TRY("or", OpOr, parseAnd))
QELTA_XPATH_LEVEL(parseAnd, parseEquality, QELTA_XPATH_TRY("and", OpAnd, parseEquality))
QELTA_XPATH_LEVEL(parseEquality, parseRelational, QELTA_XPATH_TRY("!=", OpNotEqual, parseRelational)
                                                     QELTA_XPATH_TRY("=", OpEqual, parseRelational))
QELTA_XPATH_LEVEL(parseRelational, parseAdditive, QELTA_XPATH_TRY(">=", OpGreaterEqual, parseAdditive)
                                                      QELTA_XPATH_TRY(">", OpGreater, parseAdditive)
                                                          QELTA_XPATH_TRY("<=", OpLessEqual, parseAdditive)
                                                              QELTA_XPATH_TRY("<", OpLess, parseAdditive))
QELTA_XPATH_LEVEL(parseAdditive, parseMultiplicative, QELTA_XPATH_TRY("+", OpAdd, parseMultiplicative)
                                                          QELTA_XPATH_TRY("-", OpSub, parseMultiplicative))
QELTA_XPATH_LEVEL(parseMultiplicative, parseUnary, QELTA_XPATH_TRY("*", OpMul, parseUnary)
                                                       QELTA_XPATH_TRY("div", OpDiv, parseUnary)
                                                           QELTA_XPATH_TRY("mod", OpMod, parseUnary))
QELTA_XPATH_LEVEL(parseUnion, parsePath, QELTA_XPATH_TRY("|", OpUnion, parsePath))
#undef QELTA_XPATH_TRY
#undef QELTA_XPATH_LEVEL

OperatorPtr Parser::parseUnary()
{
    DepthGuard guard(*this);
    if (!guard.ok())
        return nullptr;
    if (matchToken("-")) {
        OperatorPtr operand = parseUnary();
        return operand ? make<OpNeg>(operand) : nullptr;
    }
    return parseUnion();
}

OperatorPtr Parser::parsePath()
{
    if (OperatorPtr path = parseLocationPath())
        return path;
    return parseFilter();
}

OperatorPtr Parser::parseLocationPath()
{
    const char* start = cur;
    if (matchToken("//")) {
        auto relative = parseRelativeLocationPath();
        if (!relative) {
            cur = start;
            return nullptr;
        }
        auto descend = make<OpStep>(AxisDescendantOrSelf, TestNode, DOMString("node()"));
        if (!descend)
            return nullptr;
        relative->steps.insert(relative->steps.begin(), descend);
        return make<OpAbsoluteLocationPath>(relative);
    }
    if (matchToken("/"))
        return make<OpAbsoluteLocationPath>(parseRelativeLocationPath());
    return parseRelativeLocationPath();
}

std::shared_ptr<OpRelativeLocationPath> Parser::parseRelativeLocationPath()
{
    OpStepPtr first = parseStep();
    if (!first)
        return nullptr;
    auto path = make<OpRelativeLocationPath>();
    if (!path)
        return nullptr;
    path->steps.push_back(first);
    for (;;) {
        const char* before = cur;
        if (matchToken("//")) {
            OpStepPtr step = parseStep();
            if (!step) {
                cur = before;
                return nullptr;
            }
            auto descend = make<OpStep>(AxisDescendantOrSelf, TestNode, DOMString("node()"));
            if (!descend)
                return nullptr;
            path->steps.push_back(descend);
            path->steps.push_back(step);
        } else if (matchToken("/")) {
            OpStepPtr step = parseStep();
            if (!step) {
                cur = before;
                return nullptr;
            }
            path->steps.push_back(step);
        } else {
            return path;
        }
    }
}

OpStepPtr Parser::parseStep()
{
    static const struct {
        const char* name;
        int32_t axis;
    } axes[] = {{"ancestor-or-self", AxisAncestorOrSelf}, {"ancestor", AxisAncestor},
                {"attribute", AxisAttribute},             {"child", AxisChild},
                {"descendant-or-self", AxisDescendantOrSelf}, {"descendant", AxisDescendant},
                {"following-sibling", AxisFollowingSibling}, {"following", AxisFollowing},
                {"namespace", AxisNamespace},             {"parent", AxisParent},
                {"preceding-sibling", AxisPrecedingSibling}, {"preceding", AxisPreceding},
                {"self", AxisSelf}};
    const char* start = cur;
    int32_t axis = AxisChild;
    if (matchToken("@")) {
        axis = AxisAttribute;
    } else {
        bool named = false;
        for (const auto& a : axes) {
            if (matchToken(a.name)) {
                named = true;
                if (matchToken("::"))
                    axis = a.axis;
                else
                    cur = start; // the word is a name test, read again below
                break;
            }
        }
        if (!named)
            skipSpace();
    }
    const char* afterAxis = cur;

    OpStepPtr step;
    if (matchToken("..")) {
        step = make<OpStep>(AxisParent, TestNode, DOMString("#node()"));
    } else if (matchToken(".")) {
        step = make<OpStep>(AxisSelf, TestNode, DOMString("#node()"));
    } else {
        cur = afterAxis;
        if (matchToken("text") && matchToken("(") && matchToken(")")) {
            step = make<OpStep>(axis, TestText, DOMString("#text()"));
        } else if ((cur = afterAxis, matchToken("node") && matchToken("(") && matchToken(")"))) {
            step = make<OpStep>(axis, TestNode, DOMString("#node()"));
        } else if ((cur = afterAxis, matchToken("*"))) {
            step = make<OpStep>(axis, TestAnyName, DOMString("*"));
        } else {
            if (opensFunctionCall(afterAxis)) {
                cur = start; // a function call, not a step: the filter reads it
                return nullptr;
            }
            cur = afterAxis;
            DOMString name;
            if (!parseName(name))
                return nullptr;
            step = make<OpStep>(axis, TestName, name);
        }
    }
    if (!step)
        return nullptr;
    while (OpPredicatePtr predicate = parsePredicate())
        step->predicates.push_back(predicate);
    return step;
}

OpPredicatePtr Parser::parsePredicate()
{
    const char* start = cur;
    if (!matchToken("["))
        return nullptr;
    OperatorPtr expr = parseExpr();
    if (!expr || !matchToken("]")) {
        // An opened predicate that is not completed leaves its text behind, so the path is refused.
        cur = start;
        return nullptr;
    }
    auto predicate = make<OpPredicate>();
    if (predicate)
        predicate->expr = expr;
    return predicate;
}

OperatorPtr Parser::parseFilter()
{
    OperatorPtr primary = parsePrimary();
    if (!primary)
        return nullptr;
    std::shared_ptr<OpFilter> filter;
    while (OpPredicatePtr predicate = parsePredicate()) {
        if (!filter && !(filter = make<OpFilter>()))
            return nullptr;
        filter->predicates.push_back(predicate);
    }
    if (!filter)
        return primary;
    filter->primary = primary;
    return filter;
}

OperatorPtr Parser::parsePrimary()
{
    skipSpace();
    const char c = *cur;
    if (c == '\'' || c == '"') {
        const char* close = std::strchr(cur + 1, c);
        if (!close)
            return nullptr;
        auto literal = make<OpLiteral>(DOMString(cur + 1, static_cast<size_t>(close - cur - 1)));
        cur = close + 1;
        return literal;
    }
    if (isDigit(c)) {
        // Digits of a decimal integer; a value beyond 32 bits is refused rather than wrapped.
        int64_t value = 0;
        const char* p = cur;
        while (isDigit(*p)) {
            value = value * 10 + (*p++ - '0');
            if (value > INT32_MAX)
                return nullptr;
        }
        cur = p;
        return make<OpNumber>(static_cast<int32_t>(value));
    }
    if (OperatorPtr call = parseFunctionCall())
        return call;
    const char* start = cur;
    if (matchToken("(")) {
        OperatorPtr inner = parseExpr();
        if (inner && matchToken(")"))
            return inner;
        cur = start;
    }
    return nullptr;
}

OperatorPtr Parser::parseFunctionCall()
{
    DepthGuard guard(*this);
    if (!guard.ok())
        return nullptr;
    const char* start = cur;
    std::shared_ptr<FunctionOperator> function;
    if (matchToken("position"))
        function = make<OpFuncPosition>();
    else if (matchToken("last"))
        function = make<OpFuncLast>();
    else if (matchToken("count"))
        function = make<OpFuncCount>();
    else if (matchToken("number"))
        function = make<OpFuncNumber>();
    else if (matchToken("string"))
        function = make<OpFuncString>();
    else if (matchToken("boolean"))
        function = make<OpFuncBoolean>();
    else if (matchToken("not"))
        function = make<OpFuncNot>();
    else if (matchToken("true"))
        function = make<OpFuncTrue>();
    else if (matchToken("false"))
        function = make<OpFuncFalse>();
    else
        return nullptr;
    if (!function || !matchToken("(")) {
        cur = start;
        return nullptr;
    }
    const char* before = cur;
    while (OperatorPtr argument = parseExpr()) {
        function->arguments.push_back(argument);
        matchToken(",");
        before = cur;
    }
    cur = before; // an argument that did not parse leaves its text, so the call is not closed
    if (exhausted_ || !matchToken(")")) {
        cur = start;
        return nullptr;
    }
    return function;
}

OperatorPtr parsePath(const DOMString& path)
{
    Parser parser(path.c_str());
    parser.root = parser.parseExpr();
    parser.skipSpace();
    // A path with a NUL inside is read up to it, as a plain string would be; what follows is left over.
    if (!parser.root || *parser.cur != '\0' || static_cast<size_t>(parser.cur - path.c_str()) != path.size())
        fail(DOM_XPATH_SYNTAX);
    return parser.root;
}

} // namespace CXMLDOCLIB_Ostrel::XPathParser2
