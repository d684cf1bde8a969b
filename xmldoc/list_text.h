// Parsing a document whose long lists are kept as text. The children of the elements a caller
// picks are not left in the tree: each child element, with the text nodes before it, is handed to
// the caller as the text the writer makes of them, so a list of thousands of elements never stands
// as nodes all at once.
#pragma once

#include "xmldoc/dom.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace CXMLDOCLIB_Ostrel {

/// What a parse with lists kept as text asks of its caller.
class IListTextSink {
public:
    /// Whether the children of element are kept as text. Asked once for each element of the
    /// document element's tree (the document element included) that is not inside a list, when it
    /// starts: it has its attributes and its parent, but no children yet. levels (all, unless
    /// set) is how many levels of each child are built for child(): 1 the child element alone with
    /// its attributes, 2 also its children, and so on.
    virtual bool isList(const mfpif_Halvet_R1::INodePtr& element, int32_t& levels) = 0;
    /// One child element of a list, with the text nodes before it: xml is their text as the writer
    /// writes them, then the element's, which starts at elementStart. element is the child as a
    /// tree of its own (no parent) down to the levels asked for; xml is valid only during the call.
    virtual void child(const mfpif_Halvet_R1::INodePtr& list, std::string_view xml, std::size_t elementStart,
                       const mfpif_Halvet_R1::INodePtr& element) = 0;
    /// The text nodes after a list's last child element, as the writer writes them; called only
    /// when there are some. xml is valid only during the call.
    virtual void tail(const mfpif_Halvet_R1::INodePtr& list, std::string_view xml) = 0;

protected:
    ~IListTextSink() = default;
};

/// Whether n is an element of that name, as a sink asks of what it is handed (null is none).
inline bool isElementNamed(const mfpif_Halvet_R1::INodePtr& n, const char* name)
{
    return n && n->getNodeType() == mfpif_Halvet_R1::ELEMENT_NODE && n->getNodeName() == name;
}

/// Parses text as IDocument::loadXML does with whitespace kept (same bounds, same failures), but
/// leaves the lists sink picks childless, their children handed to sink in document order. A
/// failure can come after some children were handed over. Returns the root element, detached
/// (null when there was none).
mfpif_Halvet_R1::INodePtr loadWithListText(std::string_view text, IListTextSink& sink);

} // namespace CXMLDOCLIB_Ostrel
