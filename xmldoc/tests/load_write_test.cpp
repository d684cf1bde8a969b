// Loading XML text into trees and writing trees back as text.
#include "xmldoc/dom.h"
#include "xmldoc/node_impl.h"
#include "xmldoc/tests/list_text_check.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace mfpif_Halvet_R1;

namespace {

IDocumentPtr newDocument() { return IDocumentPtr(createDocument()); }

// Parses text (which must parse) and gives the root element's XML.
std::string roundTrip(const std::string& text, bool preserve = true)
{
    auto doc = newDocument();
    INodePtr root = doc->loadXML(text.c_str(), preserve);
    EXPECT_TRUE(root) << text;
    return root ? std::string(root->getXML().c_str()) : std::string();
}

int32_t loadError(const std::string& text, bool preserve = true)
{
    try {
        newDocument()->loadXML(DOMString(text.data(), text.size()), preserve);
    } catch (const IDOMException& e) {
        return e.getCode();
    }
    return 0;
}

// A structural description of a tree: names, attributes and texts in document order.
std::string shape(const INodePtr& node)
{
    std::string out;
    std::vector<INodePtr> stack{node};
    while (!stack.empty()) {
        INodePtr n = stack.back();
        stack.pop_back();
        if (!n) {
            out += ")";
            continue;
        }
        if (n->getNodeType() == TEXT_NODE) {
            const DOMString v = n->getNodeValue();
            out += "T[" + std::string(v.data(), v.size()) + "]";
            continue;
        }
        out += "E[" + std::string(n->getNodeName().c_str());
        INamedNodeMapPtr map = n->getAttributes();
        for (int32_t i = 0; i < map->getLength(); ++i) {
            const DOMString v = map->item(i)->getNodeValue();
            out += " " + std::string(map->item(i)->getNodeName().c_str()) + "=" + std::string(v.data(), v.size());
        }
        out += "](";
        stack.push_back(nullptr);
        INodeListPtr children = n->getChildNodes();
        for (int32_t i = children->getLength() - 1; i >= 0; --i)
            stack.push_back(children->item(i));
    }
    return out;
}

} // namespace

TEST(XmlWriter, BytesAsStored)
{
    auto doc = newDocument();
    IElementPtr e = doc->createElement("entry");
    e->setAttribute("zeta", "it's <b> & \"c\"\t\xE9");
    e->setAttribute("Alpha", "1");
    e->setAttribute("al", "2");
    e->appendChild(doc->createTextNode("a<b&c>d 'q' \"w\"\n\x01\xFF"));
    e->appendChild(doc->createElement("empty"));
    EXPECT_EQ(std::string(e->getXML().c_str()),
              "<entry Alpha='1' al='2' zeta='it&apos;s &lt;b> &amp; \"c\"&#x09;&#xe9;'>"
              "a&lt;b&amp;c>d 'q' \"w\"&#x0a;&#x01;&#xff;<empty/></entry>");
    std::ostringstream out;
    e->writeXML(out);
    EXPECT_EQ(out.str(), std::string(e->getXML().c_str()));

    doc->appendChild(e);
    EXPECT_EQ(doc->getXML(), e->getXML()) << "a document writes its first child";
    EXPECT_EQ(std::string(doc->createElement("1st")->getXML().c_str()), "<_31st/>");
    EXPECT_EQ(std::string(doc->createElement("a b\xC3")->getXML().c_str()), "<a_20b_c3/>");
    EXPECT_EQ(std::string(doc->createElement("ns:x-1._y")->getXML().c_str()), "<ns:x-1._y/>");
}

TEST(XmlLoad, DocumentsAndDetachedRoots)
{
    auto doc = newDocument();
    EXPECT_FALSE(doc->getDocumentElement());
    EXPECT_EQ(doc->getXML(), "");
    EXPECT_EQ(doc->getText(), "");
    EXPECT_EQ(doc->getChildNodes()->getLength(), 0);
    EXPECT_FALSE(doc->hasChildNodes());

    INodePtr root = doc->loadXML("<a x=\"1\">t</a>", true);
    ASSERT_TRUE(root);
    EXPECT_EQ(std::string(root->getXML().c_str()), "<a x='1'>t</a>");
    EXPECT_FALSE(root->getParentNode());
    EXPECT_FALSE(doc->hasChildNodes()) << "the caller appends the root";
    INodePtr again = doc->loadXML("<a x=\"1\">t</a>", true);
    EXPECT_NE(again.get(), root.get());
    doc->appendChild(root);
    doc->appendChild(again);
    EXPECT_EQ(doc->getChildNodes()->getLength(), 2);

    std::istringstream in("<?xml version='1.0'?><r><s/></r>");
    INodePtr streamed = doc->loadStream(in, false);
    ASSERT_TRUE(streamed);
    EXPECT_EQ(std::string(streamed->getXML().c_str()), "<r><s/></r>");

    EXPECT_FALSE(doc->loadXML("just text", true)) << "no element: null";
    EXPECT_FALSE(doc->loadXML("", true));

    // setDocumentElement on a document whose first child is text: the text goes, nothing comes back.
    auto other = newDocument();
    other->appendChild(other->createTextNode("lead"));
    EXPECT_FALSE(other->setDocumentElement(other->createElement("r")));
    EXPECT_EQ(std::string(other->getXML().c_str()), "<r/>");
}

TEST(XmlLoad, Whitespace)
{
    EXPECT_EQ(roundTrip("<a>  x  </a>", false), "<a>x</a>");
    EXPECT_EQ(roundTrip("<a>  x  </a>", true), "<a>  x  </a>");
    EXPECT_EQ(roundTrip("<a> </a>", false), "<a/>");
    EXPECT_EQ(roundTrip("<a>\r\n\t<b/>\r\n</a>", false), "<a><b/></a>");
    EXPECT_EQ(roundTrip("<a>\r\n\t<b/>\r\n</a>", true), "<a>&#x0d;&#x0a;&#x09;<b/>&#x0d;&#x0a;</a>");
    EXPECT_EQ(roundTrip("text before <a/> text after", true), "<a/>");
    EXPECT_EQ(roundTrip("<a>&#x20;</a>", false), "<a> </a>") << "a blank written as a reference survives trimming";
}

TEST(XmlLoad, References)
{
    auto doc = newDocument();
    INodePtr root = doc->loadXML("<a v=\"&lt;&amp;&quot;\">&#x41;&#66;</a>", true);
    ASSERT_TRUE(root);
    EXPECT_EQ(static_cast<IElement*>(root.get())->getAttribute("v"), "<&\"");
    EXPECT_EQ(root->getText(), "AB");
    EXPECT_EQ(doc->loadXML("<a>&#x4142;&#xe9;&#x141;&#321;</a>", true)->getText(), "AB\xE9\x01\x41\x41");
    EXPECT_EQ(doc->loadXML("<a>a&b &foo; &#xq; &#; &#x; &</a>", true)->getText(), "a&b &foo; &#xq; &#; &#x; &");
    EXPECT_EQ(doc->loadXML("<a>&apos;&gt;&GT;</a>", true)->getText(), "'>&GT;");
    // A repeated attribute: the last value wins.
    EXPECT_EQ(static_cast<IElement*>(doc->loadXML("<a k='1' k='2'/>", true).get())->getAttribute("k"), "2");
    // An attribute named ":" has neither prefix nor local name: it could not be written back, so it is left out.
    EXPECT_EQ(std::string(doc->loadXML("<a :=\"1\" y='2'/>", true)->getXML().c_str()), "<a y='2'/>");
    // Names are decoded too.
    EXPECT_EQ(doc->loadXML("<a&#x5f;b/>", true)->getNodeName(), "a_b");
}

TEST(XmlLoad, MalformedInputFailsWithoutTouchingTheDocument)
{
    EXPECT_EQ(loadError("<a>x</b>"), DOM_NOT_WELL_FORMED);
    EXPECT_EQ(loadError("<a>"), DOM_NOT_WELL_FORMED);
    EXPECT_EQ(loadError("<a><b></a></b>"), DOM_NOT_WELL_FORMED);
    EXPECT_EQ(loadError("</#document>"), DOM_NOT_WELL_FORMED) << "a stray end tag at the top";
    EXPECT_EQ(loadError("<a/></a>"), DOM_NOT_WELL_FORMED);
    EXPECT_EQ(loadError("<a/><b/>"), 0) << "two roots: the first is the document element";

    // A syntax error that leaves no element open ends in a load of what came before it.
    EXPECT_EQ(roundTrip("<a><b/></a><!-- never closed"), "<a><b/></a>");

    auto doc = newDocument();
    doc->appendChild(doc->createElement("keep"));
    EXPECT_THROW(doc->loadXML("<a>", true), IDOMException);
    EXPECT_EQ(std::string(doc->getXML().c_str()), "<keep/>");
}

TEST(XmlLoad, CommentsSectionsAndInstructionsEndAtTheirOwnClose)
{
    EXPECT_EQ(roundTrip("<a><!-- x > y --><b/></a>"), "<a><b/></a>");
    EXPECT_EQ(roundTrip("<a><![CDATA[ <c> ]] > ]]><b/></a>"), "<a><b/></a>");
    EXPECT_EQ(roundTrip("<?xml version='1.0'?><?pi a ? b > c?><a/>"), "<a/>");
    EXPECT_EQ(roundTrip("<!DOCTYPE a [ <!ENTITY e \"x>y\"> ]><a>&e;</a>"), "<a>&amp;e;</a>") << "no entity expansion";
}

TEST(XmlLoad, NestingIsBounded)
{
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<e>";
        for (int i = 0; i < depth; ++i)
            text += "</e>";
        return text;
    };
    auto doc = newDocument();
    INodePtr deep = doc->loadXML(DOMString(nested(10000).c_str()), false);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->getXML().size(), nested(10000).size() - 3) << "the innermost <e></e> writes as <e/>";
    EXPECT_EQ(loadError(nested(10001)), DOM_NOT_WELL_FORMED);
    EXPECT_EQ(loadError(std::string(200000, '<') + "a"), 0) << "a garbage run does not nest";
}

TEST(XmlRoundTrip, RandomTreesOverEveryByte)
{
    std::mt19937 random(20261209);
    auto doc = newDocument();
    for (int round = 0; round < 200; ++round) {
        IElementPtr root = doc->createElement("root");
        std::vector<IElementPtr> open{root};
        for (int step = 0; step < 60; ++step) {
            IElementPtr parent = open[random() % open.size()];
            std::string value;
            for (int n = 1 + random() % 12; n > 0; --n)
                value.push_back(static_cast<char>(1 + random() % 255));
            switch (random() % 3) {
            case 0: {
                IElementPtr child = doc->createElement(DOMString("n") + static_cast<char>('0' + random() % 5));
                parent->appendChild(child);
                open.push_back(child);
                break;
            }
            case 1:
                parent->setAttribute(DOMString("k") + static_cast<char>('a' + random() % 4), DOMString(value.data(), value.size()));
                break;
            default: {
                INodePtr last = parent->getLastChild();
                if (!last || last->getNodeType() != TEXT_NODE) // adjacent texts would merge when read back
                    parent->appendChild(doc->createTextNode(DOMString(value.data(), value.size())));
            }
            }
        }
        const DOMString text = root->getXML();
        INodePtr back = doc->loadXML(text, true);
        ASSERT_TRUE(back) << round;
        ASSERT_EQ(shape(back), shape(root)) << round;
        ASSERT_EQ(back->getXML(), text);
    }
}

TEST(XmlWriter, TextAlreadyInWrittenFormIsCopiedOnlyWhenTheWriterWouldWriteIt)
{
    // Pieces next to the boundary: references the writer makes and ones it never makes.
    const char* const pieces[] = {"&#x0a;", "&#xe9;", "&#x41;", "&#x3c;", "&#x27;", "&#x1f;", "&#x20;", "&#x7f;", "&#x80;",
                                  "&#X0a;", "&#x0A;", "&#x0a1;",
                                  "&#10;", "&lt;", "&gt;", "&amp;", "&apos;", "&quot;", "&", "&#x", "'", "\"", "<",
                                  ">", "a", " ", "\x01", "\x7f", "\xe9", ";", "x"};
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int n = random() % 5; n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        for (const bool attribute : {false, true}) {
            const DOMString decoded = CXMLDOCLIB_Ostrel::decodeReferences(text.data(), text.size());
            DOMString written;
            CXMLDOCLIB_Ostrel::appendEscaped(written, decoded.data(), decoded.size(), attribute);
            ASSERT_EQ(CXMLDOCLIB_Ostrel::isEscapedForm(text.data(), text.size(), attribute),
                      std::string(written.data(), written.size()) == text)
                << text << (attribute ? " (attribute)" : "");
        }
    }
}

TEST(XmlLoad, ListsKeptAsTextAreWhatTheWholeTreeWrites)
{
    // Lists are the document element's children and elements named r... or p...; their children
    // are built down to 1 + (name length % 3) levels.
    const char* const texts[] = {
        "<s><p>\n<q y='2'><z>deep<w/>er</z></q>\t<q/><!-- c --><?pi?><![CDATA[d]]>&#x0A;&#10;&#xe9;&amp;&lt;'\"</p></s>",
        "<r> <a/> <b x=\"1\" a='&apos;&#x41;' a='2'>t&gt;<c></c></b> x</r>",
        "<s><pq><a>&#x3c;&#x27;&#X0a;&#x0a1;&apos;&quot;&bogus;&</a><b:c d:e='&lt;&#x09;' :f='g' h=\"'<\"/></pq></s>",
        "<s><pqr><a><b>1</b><c k='v'><d>2</d></c></a>  <a/>tail</pqr><t><p><p/></p></t></s>",
        "<s><p>< a  b = 'c' >x</ a ></p></s>",
        "<s><p><1a/><a%b/><a&#x41;/></p></s>",
        "<s><p><a><b></a></b></p></s>", // end tags that do not match: both fail
        "<s><p><a>",                    // unclosed
        "<s><p><a></a></p>",
        "<s><p></p><p> </p><p/></s><p>second root</p>",
        "<p>only text</p>",
        "<p/>",
    };
    for (const char* text : texts)
        EXPECT_EQ(listcheck::mismatch(text), "") << text;

    const char* const pieces[] = {"<p>", "</p>", "<rs k='v' a=\"&amp;\">", "</rs>", "<a>", "</a>", "<b/>", "<p x='1'/>",
                                  "&#x0a;", "&#x09;", "&amp;", "&#x41;", "&gt;", "<!--x-->", "\n", "t", "'", "&", "<",
                                  "<q>", "</q>", "<pqr>", "</pqr>"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 5000; ++round) {
        std::string text = "<s>";
        for (int n = 1 + random() % 24; n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        text += "</s>";
        ASSERT_EQ(listcheck::mismatch(DOMString(text.data(), text.size())), "") << text;
    }
}
