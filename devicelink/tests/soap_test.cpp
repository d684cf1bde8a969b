// The SOAP session: envelope, answer checks and statuses, stored answers, and the session object
// that mfplink hands out.
#include "devicelink/http_transport.h"
#include "devicelink/soap_session.h"
#include "devicelink/tests/support/test_device.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace CMSoapSLib_Ostrel_R1;
using namespace mfpif_Halvet_R1;
using qelta::test::closedPort;
using qelta::test::TestDevice;

namespace {

const std::string kEnvelopeHead = "<env:Envelope env:encodingStyle='http://www.w3.org/2001/12/soap-encoding' "
                                  "xmlns:enc='http://www.w3.org/2001/12/soap-encoding' "
                                  "xmlns:env='http://www.w3.org/2001/12/soap-envelope'><env:Body>";

INodePtr element(const char* xml)
{
    return CXMLDOCLIB_Ostrel::createEmptyDocument()->loadXML(xml, false);
}

// A response element that holds two children before the call.
INodePtr filledResponse() { return element("<recv><old/><older/></recv>"); }

TEST(SoapSession, MapsTransportCodes)
{
    const std::pair<int32_t, uint32_t> cases[] = {{0, 0},          {1, 0x80004006}, {2, 0x80004005}, {3, 0x80004007},
                                                  {4, 0x80004008}, {5, 0x80004009}, {6, 0x8000400A}, {7, 0x8000400B},
                                                  {42, 0x80004005}};
    for (const auto& [code, status] : cases)
        EXPECT_EQ(static_cast<uint32_t>(StatusOfTransport(code)), status) << code;
}

TEST(SoapSession, ChecksTheHttpAnswer)
{
    const std::string ok = TestDevice::envelope("<r:answer xmlns:r='urn:r'><x/></r:answer>");
    struct Case {
        const char* name;
        std::string answer;
        int32_t status;
    } cases[] = {
        {"200", TestDevice::answer(200, ok), SOAP_OK},
        {"302 with an envelope", TestDevice::answer(302, ok), SOAP_OK},
        {"HTTP/1.0, no reason", "HTTP/1.0 200\r\n\r\n" + ok, SOAP_OK},
        {"other prefixes", TestDevice::answer(200, "<s:Envelope xmlns:s='u'><s:Body><answer/></s:Body></s:Envelope>"), SOAP_OK},
        {"no prefixes", TestDevice::answer(200, "<Envelope><Header/>text<Body> <!-- c --><answer/></Body></Envelope>"), SOAP_OK},
        {"404", TestDevice::answer(404, ok), SOAP_E_ARGUMENT},
        {"500 with a fault", TestDevice::answer(500, TestDevice::envelope("<env:Fault/>")), SOAP_E_ANSWER},
        {"no head end", "HTTP/1.1 200 OK\r\n" + ok, SOAP_E_ANSWER},
        // Without a valid status line first, nothing says the device answered at all.
        {"no status line", "X: y\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"garbage status line", "XTTP/9 2OO\r\nContent-Length: 1\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"status line after a field", "X: y\r\nHTTP/1.1 200 OK\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"two-digit status", "HTTP/1.1 20 OK\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"status glued to its reason", "HTTP/1.1 200OK\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"status out of range", "HTTP/1.1 600 X\r\n\r\n" + ok, SOAP_E_ANSWER},
        {"empty", "", SOAP_E_ANSWER},
        {"not well formed", TestDevice::answer(200, "<env:Envelope><env:Body><a></env:Body>"), SOAP_E_ANSWER},
        {"not an envelope", TestDevice::answer(200, "<Letter><Body><a/></Body></Letter>"), SOAP_E_ANSWER},
        {"no body", TestDevice::answer(200, "<Envelope><Head><a/></Head></Envelope>"), SOAP_E_ANSWER},
        {"body with text only", TestDevice::answer(200, TestDevice::envelope("just text")), SOAP_E_ANSWER},
    };
    for (const auto& c : cases) {
        const INodePtr response = filledResponse();
        EXPECT_EQ(PlaceHttpAnswer(c.answer, response, false), c.status) << c.name;
        if (c.status == SOAP_OK) {
            ASSERT_EQ(response->getChildNodes()->getLength(), 1) << c.name;
            EXPECT_EQ(LocalNameOf(response->getFirstChild()), "answer") << c.name;
        } else {
            EXPECT_EQ(response->getXML(), "<recv><old/><older/></recv>") << c.name; // unchanged
        }
    }
    // Whitespace-only text is kept only when asked for.
    const std::string spaced = TestDevice::answer(200, TestDevice::envelope("<a> <b/> </a>"));
    for (const bool preserve : {false, true}) {
        const INodePtr response = filledResponse();
        ASSERT_EQ(PlaceHttpAnswer(spaced, response, preserve), SOAP_OK);
        EXPECT_EQ(response->getFirstChild()->getChildNodes()->getLength(), preserve ? 3 : 1);
    }
}

TEST(SoapSession, CallsThroughHttpAndStoredAnswers)
{
    qelta::test::ScopedStateRoot root;
    const INodePtr request = element("<q:ask xmlns:q='urn:q'>1</q:ask>");
    // Arguments and schemes.
    EXPECT_EQ(SessionCall(nullptr, "A", request, filledResponse(), 100, 10, false), SOAP_E_ARGUMENT);
    EXPECT_EQ(SessionCall("http://h/", "", request, filledResponse(), 100, 10, false), SOAP_E_ARGUMENT);
    EXPECT_EQ(SessionCall("http://h/", "A", nullptr, filledResponse(), 100, 10, false), SOAP_E_ARGUMENT);
    EXPECT_EQ(SessionCall("http://h/", "A", request, nullptr, 100, 10, false), SOAP_E_ARGUMENT);
    EXPECT_EQ(SessionCall("ftp://127.0.0.1/x", "A", request, filledResponse(), 100, 10, false), SOAP_E_ARGUMENT);
    EXPECT_EQ(SessionCall("no-scheme", "A", request, filledResponse(), 100, 10, false), SOAP_E_ARGUMENT);

    // A stored answer: its lines joined without their line ends.
    const std::string stored = root.path() + "/answer.xml";
    qelta::test::writeTextFile(stored, "<stored>\r\n<a>x</a>\n<b/>\n</stored>\n");
    INodePtr response = filledResponse();
    EXPECT_EQ(SessionCall(("FILE://" + stored).c_str(), "A", request, response, 100, 10, false), SOAP_OK);
    EXPECT_EQ(response->getXML(), "<recv><stored><a>x</a><b/></stored></recv>");
    EXPECT_EQ(SessionCall(("file://" + root.path() + "/missing.xml").c_str(), "A", request, response, 100, 10, false),
              SOAP_E_ANSWER);
    EXPECT_EQ(response->getXML(), "<recv><stored><a>x</a><b/></stored></recv>");

    // Over HTTP: the request travels in the envelope, the answer element comes back.
    {
        TestDevice device({{{TestDevice::answer(200, TestDevice::envelope("<done/>"))}}});
        response = filledResponse();
        const std::string url = "http://" + device.address() + "/svc";
        EXPECT_EQ(SessionCall(url.c_str(), "Act", request, response, 5000, 10, false), SOAP_OK);
        EXPECT_EQ(response->getXML(), "<recv><done/></recv>");
        const std::string sent = device.request();
        EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4),
                  kEnvelopeHead + "<q:ask xmlns:q='urn:q'>1</q:ask></env:Body></env:Envelope>");
        EXPECT_FALSE(request->getParentNode()); // taken out of the envelope again
    }
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    EXPECT_EQ(SessionCall(refused.c_str(), "A", request, filledResponse(), 2000, 10, false), SOAP_E_FAIL);
    {
        TestDevice device({{{"HTTP/1.1 200 OK\r\n\r\n" + std::string(kMaxAnswerBytes + 1, ' ')}}});
        const std::string url = "http://" + device.address() + "/";
        EXPECT_EQ(SessionCall(url.c_str(), "A", request, filledResponse(), 5000, 10, false), SOAP_E_ANSWER);
    }
}

TEST(SoapSession, SessionObjectFromTheLibrary)
{
    qelta::test::ScopedStateRoot root;
    const auto library = platform::Library::load("mfplink.dll");
    ASSERT_TRUE(library) << platform::Library::lastError();
    using CreateNodeFn = int32_t (*)(INodePtr, INodePtr*);
    const auto createNode = library->function<CreateNodeFn>("createNode");
    ASSERT_TRUE(createNode);
    EXPECT_EQ(library->function<int (*)()>("getInterfaceRevision")(), 1);
    EXPECT_EQ(library->function<int (*)()>("initialize")(), 0);
    EXPECT_EQ(library->function<int (*)()>("uninitialize")(), 0);
    EXPECT_TRUE(library->symbol("createXMLReader"));
    EXPECT_FALSE(library->symbol("createDocument"));

    INodePtr node = element("<previous/>");
    ASSERT_EQ(createNode(element("<ignored/>"), &node), 0);
    auto* session = dynamic_cast<ISoapSession*>(node.get());
    ASSERT_TRUE(session);
    EXPECT_EQ(node->getNodeName(), "CMSoapSession");
    EXPECT_EQ(session->getInterfaceRevision(), 1);
    EXPECT_EQ(session->setAttribute("space", "preserve").get(), static_cast<IElement*>(session));
    EXPECT_EQ(node->getXML(), "<CMSoapSession space='preserve'/>");

    // The "space" setting chooses whitespace preservation.
    const INodePtr request = element("<ask/>");
    for (const char* space : {"preserve", "default"}) {
        session->setAttribute("space", space);
        TestDevice device({{{TestDevice::answer(200, TestDevice::envelope("<a> <b/> </a>"))}}});
        const INodePtr response = element("<recv/>");
        const std::string url = "http://" + device.address() + "/";
        ASSERT_EQ(session->call(url.c_str(), "A", request, response, 5000, 10240), 0) << space;
        EXPECT_EQ(response->getFirstChild()->getChildNodes()->getLength(), std::string(space) == "preserve" ? 3 : 1);
    }
    // The stored-answer form serves files and refuses HTTP.
    const std::string stored = root.path() + "/stored.xml";
    qelta::test::writeTextFile(stored, "<s/>");
    const INodePtr response = element("<recv/>");
    EXPECT_EQ(session->call(("file://" + stored).c_str(), "A", request, response, 100, 10, 1, 2, 3), 0);
    EXPECT_EQ(response->getXML(), "<recv><s/></recv>");
    EXPECT_EQ(session->call("http://127.0.0.1/", "A", request, response, 100, 10, 1, 2, 3), SOAP_E_ARGUMENT);
    // The session itself sits in a tree: the tree holds and finds the session, not a copy, and a
    // setting made through the tree is the session's own. The session goes with the tree.
    {
        const IDocumentPtr document = CXMLDOCLIB_Ostrel::createEmptyDocument();
        const INodePtr root = document->loadXML("<p><q/></p>", false);
        root->getFirstChild()->appendChild(node);
        node.reset();
        EXPECT_EQ(session->getRefCount(), 1);
        EXPECT_EQ(session->getParentNode()->getNodeName(), "q");
        const INodePtr found = root->selectSingleNode("q/CMSoapSession[@space='default']");
        EXPECT_EQ(found.get(), static_cast<INode*>(session));
        EXPECT_EQ(dynamic_cast<ISoapSession*>(found.get()), session);
        dynamic_cast<IElement*>(found.get())->setAttribute("space", "preserve");
        EXPECT_EQ(session->getAttribute("space"), "preserve");
        EXPECT_EQ(root->getXML(), "<p><q><CMSoapSession space='preserve'/></q></p>");
        EXPECT_TRUE(platform::com::threadInitialized());
    }
    EXPECT_FALSE(platform::com::threadInitialized());
}

} // namespace
