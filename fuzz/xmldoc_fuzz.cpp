// XML text from anywhere: load it in both whitespace modes; what loads must write out to text that
// loads again with the same character data. (Names need not come back byte for byte: a name that
// does not start with a letter is written with its first byte escaped, and so grows on each pass.)
// Loading with lists kept as text must fail alike and give exactly what the whole tree writes.
#include "xmldoc/dom.h"
#include "xmldoc/tests/list_text_check.h"

#include <cstdint>
#include <cstdlib>

using namespace mfpif_Halvet_R1;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const DOMString text(reinterpret_cast<const char*>(data), size);
    if (!listcheck::mismatch(text).empty())
        std::abort();
    IDocumentPtr doc(createDocument());
    for (bool preserve : {true, false}) {
        INodePtr root;
        try {
            root = doc->loadXML(text, preserve);
        } catch (const IDOMException& e) {
            if (e.getCode() != DOM_NOT_WELL_FORMED)
                std::abort();
            continue;
        }
        if (!root)
            continue;
        const DOMString written = root->getXML();
        INodePtr again;
        try {
            again = doc->loadXML(written, true);
        } catch (const IDOMException&) {
            std::abort(); // our own output must always load
        }
        if (!again || again->getText() != root->getText())
            std::abort();
        (void)root->getText();
        (void)root->cloneNode(true);
    }
    return 0;
}
