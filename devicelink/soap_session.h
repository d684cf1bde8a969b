// The SOAP session: one request element sent to a service in a SOAP 1.2 envelope over HTTP (or a
// stored answer read from a file), and the first element of the answer's body placed under a
// caller's response element. The session object handed out by createNode is itself a DOM
// element, so its settings are its attributes ("space" = "preserve" keeps whitespace-only text).
#pragma once

#include "xmldoc/dom.h"
#include "xmldoc/element.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace CMSoapSLib_Ostrel_R1 {

/// Statuses of a session call.
enum : int32_t {
    SOAP_OK = 0,
    SOAP_E_FAIL = static_cast<int32_t>(0x80004005),     ///< transport failed (no connection, send failed)
    SOAP_E_ARGUMENT = static_cast<int32_t>(0x80004006), ///< bad arguments, unknown scheme, HTTP 4xx
    SOAP_E_ANSWER = static_cast<int32_t>(0x80004007),   ///< unusable answer, HTTP 5xx, unreadable stored answer
    SOAP_E_TRANSPORT4 = static_cast<int32_t>(0x80004008),
    SOAP_E_TRANSPORT5 = static_cast<int32_t>(0x80004009),
    SOAP_E_STARTUP = static_cast<int32_t>(0x8000400A),  ///< the socket layer could not be started
    SOAP_E_TRANSPORT7 = static_cast<int32_t>(0x8000400B),
};

/// The envelope and encoding namespaces of the SOAP 1.2 draft the devices speak.
inline constexpr const char* kEnvelopeNamespace = "http://www.w3.org/2001/12/soap-envelope";
inline constexpr const char* kEncodingNamespace = "http://www.w3.org/2001/12/soap-encoding";

/// The session interface: an element with the call operations. It is built on the XML library's
/// own element, so a session is one node: placed in a tree, found by a path, counted and pooled
/// like every other element.
class ISoapSession : public CXMLDOCLIB_Ostrel::CElement {
public:
    /// Sends request to url and places the answer element under response; the "space" attribute
    /// chooses whitespace preservation. receiveSize is not used.
    virtual int32_t call(const char* url, const char* soapAction, const mfpif_Halvet_R1::INodePtr& request,
                         const mfpif_Halvet_R1::INodePtr& response, int timeoutMs, int receiveSize) = 0;
    /// The stored-answer form: "file" URLs as call does; "http" fails with SOAP_E_ARGUMENT. The
    /// three further values are not used.
    virtual int32_t call(const char* url, const char* soapAction, const mfpif_Halvet_R1::INodePtr& request,
                         const mfpif_Halvet_R1::INodePtr& response, int timeoutMs, int receiveSize, int32_t,
                         int32_t, int32_t) = 0;
    /// The interface revision: 1.
    virtual int32_t getInterfaceRevision() = 0;

protected:
    explicit ISoapSession(CXMLDOCLIB_Ostrel::ElementName name) : CElement(std::move(name)) {}
};

/// The status of a transport code.
int32_t StatusOfTransport(int32_t transportCode);

/// The session call: "file://path" reads a stored answer, "http://..." posts the request in an
/// envelope. The response element is changed only on success.
int32_t SessionCall(const char* url, const char* soapAction, const mfpif_Halvet_R1::INodePtr& request,
                    const mfpif_Halvet_R1::INodePtr& response, int timeoutMs, int receiveSize, bool preserve);

/// The envelope text that carries request (the request is moved into the envelope's body while
/// the text is made, and taken out again afterwards).
mfpif_Halvet_R1::DOMString EnvelopeText(const mfpif_Halvet_R1::INodePtr& request);

/// The status of an answer's head from its status line ("HTTP/1.1 200 OK"; HTTP/1.0 too); 0 when
/// the head does not begin with a valid one.
int StatusOf(std::string_view head);

/// Checks an HTTP answer (head, empty line, body) and places the element in its SOAP body under
/// response. SOAP_OK, SOAP_E_ARGUMENT for 4xx, SOAP_E_ANSWER for 5xx, for a head without a valid
/// status line and for a body that is no SOAP envelope with an element in its body.
int32_t PlaceHttpAnswer(std::string_view answer, const mfpif_Halvet_R1::INodePtr& response, bool preserve);

/// The node name after its first ':' (the whole name without one).
mfpif_Halvet_R1::DOMString LocalNameOf(const mfpif_Halvet_R1::INodePtr& node);

/// A new session object, counted once for the caller.
mfpif_Halvet_R1::INodePtr CreateSession();

} // namespace CMSoapSLib_Ostrel_R1
