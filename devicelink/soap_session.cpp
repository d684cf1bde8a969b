#include "devicelink/soap_session.h"

#include "devicelink/http_transport.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/text.h"

namespace CMSoapSLib_Ostrel_R1 {

using namespace mfpif_Halvet_R1;

namespace {

// A stored answer larger than this is not read.
constexpr size_t kMaxStoredAnswerBytes = kMaxAnswerBytes;

// Replaces every child of response by answer.
void placeAnswer(const INodePtr& response, const INodePtr& answer)
{
    while (response->getLastChild())
        response->removeChild(response->getFirstChild());
    response->appendChild(answer);
}

// The stored answer: the file's lines joined without their line ends.
int32_t readStoredAnswer(std::string_view path, const INodePtr& response)
{
    std::string content;
    if (platform::readFile(platform::nativePath(path), content, kMaxStoredAnswerBytes) != platform::ReadStatus::Ok)
        content.clear();
    DOMString text;
    text.reserve(content.size());
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\n' || (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n'))
            continue;
        text.push_back(content[i]);
    }
    try {
        const INodePtr root = response->getOwnerDocument()->loadXML(text, false);
        if (!root)
            return SOAP_E_ANSWER;
        placeAnswer(response, root);
        return SOAP_OK;
    } catch (const IDOMException&) {
        return SOAP_E_ANSWER;
    }
}

// The first child of node whose local name is name, or null.
INodePtr childByLocalName(const INodePtr& node, std::string_view name)
{
    for (INodePtr c = node->getFirstChild(); c; c = c->getNextSibling())
        if (LocalNameOf(c) == name)
            return c;
    return nullptr;
}

enum class Scheme { None, File, Http };

// Checks the arguments and reads the scheme; rest receives what follows "://".
Scheme schemeOf(const char* url, const char* soapAction, const INodePtr& request, const INodePtr& response,
                std::string_view& rest)
{
    if (!url || !*url || !soapAction || !*soapAction || !request || !response)
        return Scheme::None;
    const std::string_view text(url);
    const size_t separator = text.find("://");
    if (separator == std::string_view::npos)
        return Scheme::None;
    rest = text.substr(separator + 3);
    const std::string_view scheme = text.substr(0, separator);
    if (platform::equalsNoCase(scheme, "file"))
        return Scheme::File;
    if (platform::equalsNoCase(scheme, "http"))
        return Scheme::Http;
    return Scheme::None;
}

/// The session object: an element named "CMSoapSession" with the call operations; its node and
/// element operations are the element's own.
class CSoapSession final : public ISoapSession {
public:
    CSoapSession()
        : ISoapSession(CXMLDOCLIB_Ostrel::ElementName("CMSoapSession")), comStatus_(platform::com::initializeThread())
    {
    }
    ~CSoapSession() override
    {
        if (comStatus_ == S_OK)
            platform::com::uninitializeThread();
    }

    int32_t call(const char* url, const char* soapAction, const INodePtr& request, const INodePtr& response,
                 int timeoutMs, int receiveSize) override
    {
        return SessionCall(url, soapAction, request, response, timeoutMs, receiveSize,
                           getAttribute("space") == "preserve");
    }
    int32_t call(const char* url, const char* soapAction, const INodePtr& request, const INodePtr& response,
                 int, int, int32_t, int32_t, int32_t) override
    {
        std::string_view rest;
        switch (schemeOf(url, soapAction, request, response, rest)) {
        case Scheme::File:
            return readStoredAnswer(rest, response);
        default:
            return SOAP_E_ARGUMENT;
        }
    }
    int32_t getInterfaceRevision() override { return 1; }

private:
    HRESULT comStatus_;
};

} // namespace

DOMString LocalNameOf(const INodePtr& node)
{
    DOMString name = node->getNodeName();
    const size_t colon = name.find(':');
    return colon == DOMString::npos ? name : name.substr(colon + 1);
}

int StatusOf(std::string_view head)
{
    // "HTTP/1." and a digit, a blank, three digits, then a blank or the end of the line.
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const auto digit = [&](size_t at) { return at < line.size() && line[at] >= '0' && line[at] <= '9'; };
    if (!line.starts_with("HTTP/1.") || !digit(7) || line.size() < 12 || line[8] != ' ' || !digit(9) || !digit(10)
        || !digit(11) || (line.size() > 12 && line[12] != ' '))
        return 0;
    const int status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    return status >= 100 && status <= 599 ? status : 0;
}

int32_t StatusOfTransport(int32_t transportCode)
{
    switch (transportCode) {
    case TRANSPORT_OK:
        return SOAP_OK;
    case TRANSPORT_EMPTY_INPUT:
        return SOAP_E_ARGUMENT;
    case TRANSPORT_UNREADABLE:
        return SOAP_E_ANSWER;
    case 4:
        return SOAP_E_TRANSPORT4;
    case 5:
        return SOAP_E_TRANSPORT5;
    case TRANSPORT_STARTUP:
        return SOAP_E_STARTUP;
    case 7:
        return SOAP_E_TRANSPORT7;
    default:
        return SOAP_E_FAIL;
    }
}

DOMString EnvelopeText(const INodePtr& request)
{
    const IDocumentPtr document = request->getOwnerDocument();
    const IElementPtr envelope = document->createElement("env:Envelope");
    envelope->setAttribute("xmlns:env", kEnvelopeNamespace);
    envelope->setAttribute("env:encodingStyle", kEncodingNamespace);
    envelope->setAttribute("xmlns:enc", kEncodingNamespace);
    const IElementPtr body = document->createElement("env:Body");
    envelope->appendChild(body);
    body->appendChild(request);
    DOMString text = envelope->getXML();
    body->removeChild(request);
    return text;
}

int32_t PlaceHttpAnswer(std::string_view answer, const INodePtr& response, bool preserve)
{
    const size_t headEnd = answer.find("\r\n\r\n");
    if (headEnd == std::string_view::npos)
        return SOAP_E_ANSWER;
    const std::string_view body = answer.substr(headEnd + 4);
    const int status = StatusOf(answer.substr(0, headEnd));
    if (status / 100 == 4)
        return SOAP_E_ARGUMENT;
    if (status == 0 || status / 100 == 5)
        return SOAP_E_ANSWER;
    try {
        const INodePtr root = response->getOwnerDocument()->loadXML(DOMString(body), preserve);
        if (!root || LocalNameOf(root) != "Envelope")
            return SOAP_E_ANSWER;
        const INodePtr soapBody = childByLocalName(root, "Body");
        if (!soapBody)
            return SOAP_E_ANSWER;
        INodePtr element = soapBody->getFirstChild();
        while (element && element->getNodeType() != ELEMENT_NODE)
            element = element->getNextSibling();
        if (!element)
            return SOAP_E_ANSWER;
        soapBody->removeChild(element);
        placeAnswer(response, element);
        return SOAP_OK;
    } catch (const IDOMException&) {
        return SOAP_E_ANSWER;
    }
}

int32_t SessionCall(const char* url, const char* soapAction, const INodePtr& request, const INodePtr& response,
                    int timeoutMs, int, bool preserve)
{
    std::string_view rest;
    switch (schemeOf(url, soapAction, request, response, rest)) {
    case Scheme::File:
        return readStoredAnswer(rest, response);
    case Scheme::Http:
        break;
    default:
        return SOAP_E_ARGUMENT;
    }
    DOMString message;
    try {
        message = EnvelopeText(request);
    } catch (const IDOMException&) {
        return SOAP_E_ARGUMENT;
    }
    std::string answer;
    const int32_t code = HttpExchange(url, soapAction, std::string_view(message.data(), message.size()), answer,
                                      timeoutMs, kReceiveBlockBytes);
    if (code != TRANSPORT_OK)
        return StatusOfTransport(code);
    return PlaceHttpAnswer(answer, response, preserve);
}

INodePtr CreateSession() { return adopt<INode>(new CSoapSession()); }

} // namespace CMSoapSLib_Ostrel_R1
