// XPath paths against XML documents from anywhere. The input is a path, a 0x00 byte, then the XML
// text. Refused paths, evaluation failures and conversions that do not read are expected; a crash,
// any other exception, or selectSingleNode disagreeing with selectNodes is not.
#include "xmldoc/dom.h"
#include "xmldoc/xpath.h"

#include <boost/any.hpp>
#include <boost/lexical_cast.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace mfpif_Halvet_R1;
namespace X = CXMLDOCLIB_Ostrel::XPathParser2;

namespace {

void select(const INodePtr& context, const DOMString& path)
{
    INodeListPtr all;
    try {
        all = context->selectNodes(path);
    } catch (const IDOMException&) {
        return;
    } catch (const X::Error&) {
        return;
    } catch (const boost::bad_any_cast&) {
        return;
    } catch (const boost::bad_lexical_cast&) {
        return;
    }
    INodePtr first;
    try {
        first = context->selectSingleNode(path);
    } catch (...) {
        std::abort(); // the same path on the same tree just succeeded
    }
    if (!all || first != all->item(0))
        std::abort();
    for (int32_t i = 0; i < all->getLength(); ++i)
        if (!all->item(i))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, 0, size);
    const size_t pathLength = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
    const DOMString path(text, pathLength);
    const DOMString xml = nul ? DOMString(text + pathLength + 1, size - pathLength - 1) : DOMString();

    IDocumentPtr doc(createDocument());
    if (!doc)
        return 0;
    try {
        if (INodePtr root = doc->loadXML(xml, true))
            doc->appendChild(root);
    } catch (const IDOMException&) {
        // not well formed: the path still runs against the empty document
    }
    select(doc, path);
    if (INodePtr element = doc->getDocumentElement())
        select(element, path);
    return 0;
}
