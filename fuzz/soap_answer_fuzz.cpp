// A device's HTTP answer as the SOAP session reads it: head, status and SOAP envelope. Whatever
// arrives, the call gives a status; on success the response holds exactly the answer element, on
// failure it is unchanged.
#include "devicelink/soap_session.h"

#include <cstdint>
#include <cstdlib>

using namespace mfpif_Halvet_R1;
using namespace CMSoapSLib_Ostrel_R1;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    for (const bool preserve : {false, true}) {
        const INodePtr response = CXMLDOCLIB_Ostrel::createEmptyDocument()->createElement("recv");
        response->appendChild(response->getOwnerDocument()->createElement("old"));
        const int32_t status = PlaceHttpAnswer(answer, response, preserve);
        if (status != SOAP_OK && status != SOAP_E_ARGUMENT && status != SOAP_E_ANSWER)
            std::abort();
        const INodePtr first = response->getFirstChild();
        if (!first || first != response->getLastChild())
            std::abort();
        if (status != SOAP_OK && (first->getNodeName() != "old" || first->hasChildNodes()))
            std::abort();
        if (status == SOAP_OK && first->getNodeType() != ELEMENT_NODE)
            std::abort();
    }
    return 0;
}
