// Checks a parse with lists kept as text against the whole tree the plain parse builds: the same
// failures, the same tree outside the lists, and for every list the same children, written and
// split as the writer makes them, with each child's tree cut at the levels asked for. Lists are
// picked by name and depth, so any text exercises them. Shared by the tests and the fuzz target.
#pragma once

#include "xmldoc/list_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace listcheck {

using namespace mfpif_Halvet_R1;

inline std::string textOf(const DOMString& s) { return std::string(s.data(), s.size()); }

// Depth below the document element (0 for itself); -1 outside a document element's tree.
inline int depthOf(const INodePtr& element)
{
    int depth = -1;
    for (INodePtr n = element; n; n = n->getParentNode()) {
        if (n->getNodeType() == DOCUMENT_NODE)
            return depth;
        ++depth;
    }
    return -1;
}

// The lists: the document element's children, and elements named "r..." or "p..." anywhere.
inline bool picked(const INodePtr& element, int32_t& levels)
{
    const std::string name = textOf(element->getNodeName());
    if (depthOf(element) != 1 && name.front() != 'r' && name.front() != 'p')
        return false;
    levels = 1 + static_cast<int32_t>(name.size() % 3);
    return true;
}

// A tree cut below the given number of levels (1: the element alone).
inline void cut(const INodePtr& node, int32_t levels)
{
    if (levels <= 1) {
        while (INodePtr last = node->getLastChild())
            node->removeChild(last);
        return;
    }
    for (INodePtr c = node->getFirstChild(); c; c = c->getNextSibling())
        if (c->getNodeType() == ELEMENT_NODE)
            cut(c, levels - 1);
}

struct Piece {
    std::string xml;
    size_t elementStart = 0;
    std::string tree; // the child's tree as handed over, written; empty for a tail
    bool operator==(const Piece&) const = default;
};

struct Sink final : CXMLDOCLIB_Ostrel::IListTextSink {
    std::vector<std::vector<Piece>> lists;
    bool isList(const INodePtr& element, int32_t& levels) override
    {
        if (!picked(element, levels))
            return false;
        lists.emplace_back();
        return true;
    }
    void child(const INodePtr&, std::string_view xml, size_t start, const INodePtr& element) override
    {
        lists.back().push_back({std::string(xml), start, textOf(element->getXML())});
    }
    void tail(const INodePtr&, std::string_view xml) override { lists.back().push_back({std::string(xml), xml.size(), {}}); }
};

// The lists of a whole tree, found in the order the builder asks, their children taken out of it.
inline void takeLists(const INodePtr& element, std::vector<std::vector<Piece>>& lists)
{
    int32_t levels = INT32_MAX;
    if (!picked(element, levels)) {
        for (INodePtr n = element->getFirstChild(); n; n = n->getNextSibling())
            if (n->getNodeType() == ELEMENT_NODE)
                takeLists(n, lists);
        return;
    }
    std::vector<Piece>& pieces = lists.emplace_back();
    std::string pending;
    while (INodePtr c = element->getFirstChild()) {
        element->removeChild(c);
        if (c->getNodeType() != ELEMENT_NODE) {
            pending += textOf(c->getXML());
            continue;
        }
        const size_t start = pending.size();
        pending += textOf(c->getXML());
        cut(c, levels);
        pieces.push_back({std::move(pending), start, textOf(c->getXML())});
        pending.clear();
    }
    if (!pending.empty())
        pieces.push_back({pending, pending.size(), {}});
}

// Empty when both parses of text agree; else what differs.
inline std::string mismatch(const DOMString& text)
{
    IDocumentPtr doc(createDocument());
    INodePtr whole;
    int32_t wholeError = 0;
    try {
        whole = doc->loadXML(text, true);
    } catch (const IDOMException& e) {
        wholeError = e.getCode();
    }
    Sink sink;
    INodePtr split;
    int32_t splitError = 0;
    try {
        split = CXMLDOCLIB_Ostrel::loadWithListText(std::string_view(text.data(), text.size()), sink);
    } catch (const IDOMException& e) {
        splitError = e.getCode();
    }
    if (wholeError != splitError)
        return "failures differ: " + std::to_string(wholeError) + " / " + std::to_string(splitError);
    if (!whole || !split)
        return whole || split ? "one parse found no root" : "";
    doc->appendChild(whole); // the lists are found from the document element down
    std::vector<std::vector<Piece>> lists;
    takeLists(whole, lists);
    if (textOf(whole->getXML()) != textOf(split->getXML()))
        return "trees differ: " + textOf(whole->getXML()) + " / " + textOf(split->getXML());
    if (lists != sink.lists)
        return "lists differ";
    return "";
}

} // namespace listcheck
