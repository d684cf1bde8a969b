// The SAX reader: the events it reports for well-formed and broken input, the items it skips,
// its bounds, its input streams and attribute lists, its handlers and the exceptions that end a
// parse. Most inputs run through all three ways into the reader (the string's own bytes, a
// StringInputStream, a standard stream), which must report the same events.
#include "xmldoc/sax_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace mfpif_Halvet_R1;
using namespace mfpif_Halvet_R1::sax;

using Log = std::vector<std::string>;

// The text, or "#" and its length when it is too long to show.
std::string str(const char* text, std::size_t length)
{
    return length > 4096 ? "#" + std::to_string(length) : std::string(text, length);
}
std::string str(const DOMString& text) { return str(text.data(), text.size()); }
DOMString dom(const std::string& text) { return DOMString(text.data(), text.size()); }

// Writes every event and error into one log: "start:uri|local|qName" followed by the attributes
// as " qName[localName,uri]=value", "end:uri|local|qName", "text:..." and "fatal".
class Recorder final : public IContentHandler, public IErrorHandler {
public:
    void characters(const char* text, int32_t start, int32_t length) override
    {
        std::string entry = "text:" + str(text + start, static_cast<std::size_t>(length));
        if (start != 0)
            entry += "@" + std::to_string(start);
        log.push_back(entry);
    }
    void endDocument() override { log.push_back("endDocument"); }
    void endElement(const DOMString& uri, const DOMString& localName, const DOMString& qName) override
    {
        log.push_back("end:" + str(uri) + "|" + str(localName) + "|" + str(qName));
    }
    void ignorableWhitespace(const char*, int32_t, int32_t) override { log.push_back("ignorableWhitespace"); }
    void processingInstruction(const DOMString&, const DOMString&) override { log.push_back("pi"); }
    void setDocumentLocator(const void*) override { log.push_back("locator"); }
    void startDocument() override { log.push_back("startDocument"); }
    void startElement(const DOMString& uri, const DOMString& localName, const DOMString& qName,
                      const std::shared_ptr<IAttributes>& attributes) override
    {
        std::string entry = "start:" + str(uri) + "|" + str(localName) + "|" + str(qName);
        for (int32_t i = 0; i < attributes->getLength(); ++i)
            entry += " " + str(attributes->getQName(i)) + "[" + str(attributes->getLocalName(i)) + "," +
                     str(attributes->getURI(i)) + "]=" + str(attributes->getValue(i));
        log.push_back(entry);
        lastAttributes = attributes;
    }

    void error(SAXParseException) override { log.push_back("error"); }
    void fatalError(SAXParseException) override
    {
        ++fatalErrors;
        log.push_back("fatal");
    }
    void warning(SAXParseException) override { log.push_back("warning"); }

    Log log;
    int fatalErrors = 0;
    std::shared_ptr<IAttributes> lastAttributes;
};

struct Recording {
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<IXMLReader> reader = makeXMLReader();
    Recording()
    {
        reader->setContentHandler(recorder);
        reader->setErrorHandler(recorder);
    }
};

enum class Path { Bytes, StringStream, Istream };

Log logVia(Path path, const std::string& xml)
{
    Recording r;
    const DOMString text = dom(xml);
    switch (path) {
    case Path::Bytes:
        r.reader->parseString(text);
        break;
    case Path::StringStream:
        r.reader->parse(std::make_shared<CXMLReader::StringInputStream>(text));
        break;
    case Path::Istream: {
        std::istringstream in(xml);
        r.reader->parseStream(in);
        break;
    }
    }
    return r.recorder->log;
}

// The events of xml, after checking that all three ways into the reader agree on them.
Log events(const std::string& xml)
{
    const Log bytes = logVia(Path::Bytes, xml);
    EXPECT_EQ(logVia(Path::StringStream, xml), bytes) << "StringInputStream differs for: " << xml;
    EXPECT_EQ(logVia(Path::Istream, xml), bytes) << "IstreamInputStream differs for: " << xml;
    return bytes;
}

Log wrap(Log inner)
{
    inner.insert(inner.begin(), "startDocument");
    inner.push_back("endDocument");
    return inner;
}

int countOf(const Log& log, const std::string& entry)
{
    int count = 0;
    for (const auto& e : log)
        count += e == entry;
    return count;
}

// A prefix, then count copies of one byte (for ever when count is negative), then a suffix.
class GeneratedInput final : public IInputStream {
public:
    GeneratedInput(std::string prefix, char fill, int64_t count, std::string suffix = "")
        : prefix_(std::move(prefix)), fill_(static_cast<unsigned char>(fill)), count_(count),
          suffix_(std::move(suffix))
    {
    }
    int32_t read(char* buffer, int32_t maximum) override
    {
        int32_t n = 0;
        for (int c; n < maximum && (c = read()) != -1; ++n)
            buffer[n] = static_cast<char>(c);
        return n == 0 && maximum > 0 ? -1 : n;
    }
    int32_t read() override
    {
        const int c = at(position_);
        if (c != -1)
            ++position_;
        return c;
    }
    void mark(int32_t) override { mark_ = position_; }
    void reset() override { position_ = mark_; }
    int32_t markSupported() override { return 1; }
    int64_t position() const { return position_; }

private:
    int at(int64_t i) const
    {
        const auto head = static_cast<int64_t>(prefix_.size());
        if (i < head)
            return static_cast<unsigned char>(prefix_[static_cast<std::size_t>(i)]);
        i -= head;
        if (count_ < 0 || i < count_)
            return fill_;
        i -= count_;
        return i < static_cast<int64_t>(suffix_.size()) ? static_cast<unsigned char>(suffix_[static_cast<std::size_t>(i)])
                                                        : -1;
    }

    std::string prefix_;
    int fill_;
    int64_t count_;
    std::string suffix_;
    int64_t position_ = 0;
    int64_t mark_ = 0;
};

constexpr auto kMax = static_cast<int64_t>(kMaxRunBytes);

} // namespace

// ---- what the reader reports ----

TEST(SaxEvents, DocumentWithDeclarationCommentAttributesAndText)
{
    EXPECT_EQ(events("<?xml version=\"1.0\"?>\n<!-- note -->\n<doc a=\"1\" b='2'>some text</doc>\n"),
              wrap({"text:\n", "text:\n", "start:|doc|doc a[a,TBD]=1 b[b,TBD]=2", "text:some text", "end:|doc|doc",
                    "text:\n"}));
}

TEST(SaxEvents, EmptyElementTagIsStartThenEnd)
{
    EXPECT_EQ(events("<a x='1'/><p:b/>"),
              wrap({"start:|a|a x[x,TBD]=1", "end:|a|a", "start:|b|p:b", "end:|b|p:b"}));
}

TEST(SaxEvents, WhitespaceAllowedInsideTags)
{
    EXPECT_EQ(events("< a \t x \n= \r'1'  y= \"2\" >t</ \n a >"),
              wrap({"start:|a|a x[x,TBD]=1 y[y,TBD]=2", "text:t", "end:|a|a"}));
    EXPECT_EQ(events("<a x='1' / >"), wrap({"start:|a|a x[x,TBD]=1", "end:|a|a"}));
}

TEST(SaxEvents, NamesSplitAtTheirFirstColon)
{
    EXPECT_EQ(events("<p:q:r x:y:z='v' :w='u'></p:q:r>"),
              wrap({"start:|q:r|p:q:r x:y:z[y:z,TBD]=v w[w,TBD]=u", "end:|q:r|p:q:r"}));
    // Every kind of name character; a byte above 127 ends a name, so "a" has no "=".
    EXPECT_EQ(events("<AZaz09!#$%&*+,-.:;?^_`|@ a\xC3='1'/>"),
              wrap({"fatal", "start:|;?^_`|@|AZaz09!#$%&*+,-.:;?^_`|@", "fatal"}));
}

TEST(SaxEvents, TextAndValuesAreTakenUnchanged)
{
    EXPECT_EQ(events("<a>x &amp; y &lt; &#65;\r\n</a>"), wrap({"start:|a|a", "text:x &amp; y &lt; &#65;\r\n", "end:|a|a"}));
    EXPECT_EQ(events("<a v=\"<&amp;>\r\n'\" w='\"'/>"), wrap({"start:|a|a v[v,TBD]=<&amp;>\r\n' w[w,TBD]=\"", "end:|a|a"}));
    // Text outside any element and end tags without a start tag are reported as read.
    EXPECT_EQ(events("x</b>y"), wrap({"text:x", "end:|b|b", "text:y"}));
}

TEST(SaxEvents, EveryByteValueIsData)
{
    const std::string bytes("\xFF" "a\x00" "b\xFF", 5);
    EXPECT_EQ(events("<a v='" + bytes + "'>" + bytes + "</a>" + bytes),
              wrap({"start:|a|a v[v,TBD]=" + bytes, "text:" + bytes, "end:|a|a", "text:" + bytes}));
}

TEST(SaxEvents, EmptyAndBlankInput)
{
    EXPECT_EQ(events(""), wrap({}));
    EXPECT_EQ(events(" \n"), wrap({"text: \n"}));
}

TEST(SaxEvents, RepeatedAttributesAreAllKept)
{
    Recording r;
    r.reader->parseString("<a x='1' x='2'/>");
    EXPECT_EQ(r.recorder->log, wrap({"start:|a|a x[x,TBD]=1 x[x,TBD]=2", "end:|a|a"}));
    EXPECT_EQ(r.recorder->lastAttributes->getValue(DOMString("x")), "1");
}

TEST(SaxEvents, ReaderKeepsNothingBetweenParses)
{
    Recording r;
    r.reader->parseString("<a b='open");
    r.recorder->log.clear();
    r.reader->parseString("<c>d</c>");
    EXPECT_EQ(r.recorder->log, wrap({"start:|c|c", "text:d", "end:|c|c"}));
}

TEST(SaxEvents, DeepNestingIsReportedWithoutLimit)
{
    std::string xml;
    for (int i = 0; i < 100000; ++i)
        xml += "<a>";
    for (const Path path : {Path::Bytes, Path::Istream}) {
        const Log log = logVia(path, xml);
        EXPECT_EQ(countOf(log, "start:|a|a"), 100000);
        EXPECT_EQ(countOf(log, "fatal"), 0);
        EXPECT_EQ(log.back(), "endDocument");
    }
}

// ---- syntax errors ----

TEST(SaxErrors, EndTags)
{
    EXPECT_EQ(events("</"), wrap({"fatal"}));
    EXPECT_EQ(events("</a"), wrap({"end:|a|a", "fatal"}));
    EXPECT_EQ(events("</>after"), wrap({"fatal"}));
    EXPECT_EQ(events("</a x>after"), wrap({"end:|a|a", "fatal"}));
}

TEST(SaxErrors, MissingCloseOfStartTag)
{
    EXPECT_EQ(events("<a"), wrap({"start:|a|a", "fatal"}));
    EXPECT_EQ(events("<a/x>after"), wrap({"start:|a|a", "end:|a|a", "fatal"}));
}

TEST(SaxErrors, StartTagWithoutNameStopsSilently)
{
    EXPECT_EQ(events("<=after"), wrap({}));
    EXPECT_EQ(events("<"), wrap({}));
    EXPECT_EQ(events("x< "), wrap({"text:x"}));
}

TEST(SaxErrors, AttributeWithoutValueIsDroppedAndTheParseGoesOn)
{
    EXPECT_EQ(events("<a b><c/></a>"), wrap({"fatal", "start:|a|a", "start:|c|c", "end:|c|c", "end:|a|a"}));
    EXPECT_EQ(events("<a x='1' b/>t"), wrap({"fatal", "start:|a|a x[x,TBD]=1", "end:|a|a", "text:t"}));
}

TEST(SaxErrors, AttributeValueWithoutQuotes)
{
    // The value is put back, so it is what the missing ">" stumbles over.
    EXPECT_EQ(events("<a b=c>after"), wrap({"fatal", "start:|a|a", "fatal"}));
    EXPECT_EQ(events("<a b="), wrap({"fatal", "start:|a|a", "fatal"}));
}

TEST(SaxErrors, UnclosedAttributeValueIsReportedTwice)
{
    Recording r;
    r.reader->parseString("<a x='1' b=\"x>y");
    EXPECT_EQ(r.recorder->log, wrap({"fatal", "fatal", "start:|a|a x[x,TBD]=1", "fatal"}));
    EXPECT_EQ(r.recorder->fatalErrors, 3);
}

// ---- skipped items ----

TEST(SaxSkipped, CommentsEndAtDoubleDashAndClose)
{
    EXPECT_EQ(events("<!-- a > b -- c ->-->x"), wrap({"text:x"}));
    EXPECT_EQ(events("<!---->x<!--->-->y"), wrap({"text:x", "text:y"}));
    EXPECT_EQ(events("<!-->-->x"), wrap({"text:x"}));
    EXPECT_EQ(events("< !-- c -->x"), wrap({"text:x"}));
    EXPECT_EQ(events("<!-- c --\n>x"), wrap({"fatal"}));
    EXPECT_EQ(events("<!-- open"), wrap({"fatal"}));
    EXPECT_EQ(events("<!--->"), wrap({"fatal"}));
    EXPECT_EQ(events("<!-->"), wrap({"fatal"}));
    // A single dash does not open a comment.
    EXPECT_EQ(events("<!-x>y"), wrap({"text:y"}));
}

TEST(SaxSkipped, CDataSectionsEndAtDoubleBracketAndClose)
{
    EXPECT_EQ(events("<a><![CDATA[ <b> ]] ] > ]]></a>"), wrap({"start:|a|a", "end:|a|a"}));
    EXPECT_EQ(events("<![CDATA[x]]]>y"), wrap({"text:y"}));
    EXPECT_EQ(events("<![CDATA[]]>y"), wrap({"text:y"}));
    EXPECT_EQ(events("<![CDATA[ never ]]"), wrap({"fatal"}));
    // Not quite a CDATA section: the "[" opens a bracket like any other.
    EXPECT_EQ(events("<![CDAT x>y"), wrap({"fatal"}));
    EXPECT_EQ(events("<![INCLUDE[ <x> ]]>y"), wrap({"text:y"}));
}

TEST(SaxSkipped, DocumentTypeEndsOutsideSubsetAndQuotes)
{
    EXPECT_EQ(events("<!DOCTYPE a [<!ELEMENT a (#PCDATA)> <!ENTITY e \"x>y\">]>\n<a/>"),
              wrap({"text:\n", "start:|a|a", "end:|a|a"}));
    EXPECT_EQ(events("<!DOCTYPE a SYSTEM 'x>y'>z"), wrap({"text:z"}));
    EXPECT_EQ(events("<!DOCTYPE a \"x]>'\" [ ']' ]>z"), wrap({"text:z"}));
    EXPECT_EQ(events("<!DOCTYPE a ]>z"), wrap({"text:z"}));
    EXPECT_EQ(events("<!>z"), wrap({"text:z"}));
    EXPECT_EQ(events("<!DOCTYPE a [ <!ENTITY e 'v'>"), wrap({"fatal"}));
    EXPECT_EQ(events("<!DOCTYPE a SYSTEM 'x>"), wrap({"fatal"}));
}

TEST(SaxSkipped, InstructionsEndAtQuestionClose)
{
    EXPECT_EQ(events("<?pi a ? b > c?>x"), wrap({"text:x"}));
    EXPECT_EQ(events("<?xml version='1.0'?" "?>x"), wrap({"text:x"}));
    // The "?" that opens the item is not the one that closes it.
    EXPECT_EQ(events("<?>x?>y"), wrap({"text:y"}));
    EXPECT_EQ(events("<?>"), wrap({"fatal"}));
    EXPECT_EQ(events("<?pi ? >x"), wrap({"fatal"}));
    EXPECT_EQ(events("<?pi ?"), wrap({"fatal"}));
    EXPECT_EQ(events("<?"), wrap({"fatal"}));
}

// ---- bounds ----

TEST(SaxBounds, TextRunUpToTheLimit)
{
    Recording r;
    DOMString xml(kMaxRunBytes, 't');
    r.reader->parseString(xml);
    EXPECT_EQ(r.recorder->log, wrap({"text:#" + std::to_string(kMax)}));

    xml += "t<a/>";
    r.recorder->log.clear();
    r.reader->parseString(xml);
    EXPECT_EQ(r.recorder->log, wrap({"fatal"}));
}

TEST(SaxBounds, EndlessStreamInputEndsAtTheLimit)
{
    // Text and names share one scan; values have their own.
    for (const std::string prefix : {"", "<a v='"}) {
        Recording r;
        auto input = std::make_shared<GeneratedInput>(prefix, 'n', -1);
        r.reader->parse(input);
        EXPECT_EQ(r.recorder->log, wrap({"fatal"})) << prefix;
        EXPECT_LE(input->position(), static_cast<int64_t>(prefix.size()) + kMax + 1) << prefix;
    }
}

TEST(SaxBounds, RunsOfTheLimitAreTakenFromAStream)
{
    Recording r;
    r.reader->parse(std::make_shared<GeneratedInput>("<a v='", 'v', kMax, "'>"));
    EXPECT_EQ(r.recorder->log, wrap({"start:|a|a v[v,TBD]=#" + std::to_string(kMax)}));
    r.recorder->log.clear();
    r.reader->parse(std::make_shared<GeneratedInput>("", 't', kMax, "<a>"));
    EXPECT_EQ(r.recorder->log, wrap({"text:#" + std::to_string(kMax), "start:|a|a"}));
}

TEST(SaxBounds, NamesAndValuesOfTheLimitAreTakenFromAString)
{
    const DOMString run(kMaxRunBytes, 'n');
    const std::string shown = "#" + std::to_string(kMax);
    Recording r;
    r.reader->parseString("<" + run + " " + run + "='" + run + "'></" + run + ">");
    EXPECT_EQ(r.recorder->log, wrap({"start:|" + shown + "|" + shown + " " + shown + "[" + shown + ",TBD]=" + shown,
                                     "end:|" + shown + "|" + shown}));
}

TEST(SaxBounds, OverlongNamesAndValuesInAString)
{
    const std::pair<const char*, const char*> around[] = {
        {"<", "/>"}, {"</", ">"}, {"<a ", "='1'/>"}, {"<a b='", "'/>"}, {"<a b='", ""}};
    for (const auto& [before, after] : around) {
        Recording r;
        r.reader->parseString(before + DOMString(kMaxRunBytes + 1, 'n') + after);
        EXPECT_EQ(r.recorder->log, wrap({"fatal"})) << before << "..." << after;
    }
}

// ---- the same events through every source ----

TEST(SaxPaths, SameEventsForTrickyInputs)
{
    const std::string rich = "<?xml version='1.0'?>\n<!DOCTYPE d [<!ENTITY e \"]>\">]><!-- c > -->"
                             "<d:r a = \"1\" b:c='x\"y'>t&amp;<![CDATA[ ]]> ]]><e/><f g=h/></d:r ><?pi ?" "?>\xFF";
    // Every prefix of a rich document: the end of input in every state.
    for (std::size_t n = 0; n <= rich.size(); ++n)
        events(rich.substr(0, n));

    std::mt19937 random(20240611);
    const std::string alphabet = "<<<>>//!!?-?-[[]]==\"\"'' \t\nab:CDAT";
    for (int i = 0; i < 3000; ++i) {
        std::string xml(random() % 48, ' ');
        for (char& c : xml)
            c = random() % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        events(xml);
    }
}

// ---- input streams ----

TEST(SaxStreams, IstreamLookAheadOfOneCharacter)
{
    std::istringstream in(std::string("a\xFF", 2));
    CXMLReader::IstreamInputStream stream(in);
    EXPECT_EQ(stream.markSupported(), 1);
    stream.reset(); // nothing read since mark: nothing happens
    stream.mark(1);
    EXPECT_EQ(stream.read(), 'a');
    stream.reset();
    EXPECT_EQ(stream.read(), 'a');
    stream.mark(1);
    EXPECT_EQ(stream.read(), 255);
    EXPECT_EQ(stream.read(), -1);
    EXPECT_THROW(stream.reset(), SAXIOException);
    stream.mark(1);
    EXPECT_EQ(stream.read(), -1);
    stream.reset(); // the end stays the end
    EXPECT_EQ(stream.read(), -1);
    EXPECT_THROW(stream.mark(2), SAXIOException);
}

TEST(SaxStreams, IstreamBlockRead)
{
    std::istringstream in("abcde");
    CXMLReader::IstreamInputStream stream(in);
    char buffer[8] = {};
    EXPECT_EQ(stream.read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(stream.read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "de");
    EXPECT_EQ(stream.read(buffer, 8), -1);
    EXPECT_EQ(stream.read(), -1);
}

TEST(SaxStreams, StringInputGoesBackAnyDistance)
{
    const DOMString text("ab\xFF" "cd");
    CXMLReader::StringInputStream stream(text);
    EXPECT_NE(stream.markSupported(), 0);
    stream.mark(1);
    EXPECT_EQ(stream.read(), 'a');
    EXPECT_EQ(stream.read(), 'b');
    EXPECT_EQ(stream.read(), 255);
    stream.reset();
    char buffer[8] = {};
    EXPECT_EQ(stream.read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "ab\xFF" "c");
    EXPECT_EQ(stream.read(buffer, 4), 1);
    EXPECT_EQ(stream.read(buffer, 4), -1);
    EXPECT_EQ(stream.read(), -1);

    const DOMString empty;
    CXMLReader::StringInputStream none(empty);
    EXPECT_EQ(none.read(), -1);
    EXPECT_EQ(none.read(buffer, 4), -1);
}

namespace {

// Hands every call on to an IstreamInputStream but asks it for more look-ahead than it has:
// a wider mark, or two bytes per read.
class GreedyInput final : public IInputStream {
public:
    GreedyInput(std::istream& in, bool widerMark) : inner_(in), widerMark_(widerMark) {}
    int32_t read(char* buffer, int32_t maximum) override { return inner_.read(buffer, maximum); }
    int32_t read() override
    {
        const int32_t c = inner_.read();
        if (!widerMark_)
            inner_.read();
        return c;
    }
    void mark(int32_t limit) override { inner_.mark(widerMark_ ? limit + 1 : limit); }
    void reset() override { inner_.reset(); }
    int32_t markSupported() override { return 1; }

private:
    CXMLReader::IstreamInputStream inner_;
    bool widerMark_;
};

} // namespace

TEST(SaxStreams, LookAheadBeyondOneCharacterThrowsOutOfParse)
{
    for (const bool widerMark : {true, false}) {
        std::istringstream in("<a/>");
        Recording r;
        auto input = std::make_shared<GreedyInput>(in, widerMark);
        EXPECT_THROW(r.reader->parse(input), SAXIOException);
        EXPECT_EQ(r.recorder->log, Log{"startDocument"});
        EXPECT_EQ(input.use_count(), 1);
    }
}

TEST(SaxStreams, NullStreamReadsAsEmptyInput)
{
    Recording r;
    r.reader->parse(nullptr);
    EXPECT_EQ(r.recorder->log, wrap({}));
}

// ---- handlers that throw ----

namespace {

struct Thrown : std::exception {};

class ThrowingErrors final : public IErrorHandler {
public:
    void error(SAXParseException) override {}
    void fatalError(SAXParseException) override { throw Thrown(); }
    void warning(SAXParseException) override {}
};

class ThrowOnSecondElement final : public CXMLReader::DefaultContentHandler {
public:
    void startElement(const DOMString&, const DOMString&, const DOMString&,
                      const std::shared_ptr<IAttributes>&) override
    {
        if (++elements == 2)
            throw Thrown();
    }
    void endDocument() override { ended = true; }
    int elements = 0;
    bool ended = false;
};

} // namespace

TEST(SaxThrowing, ErrorHandlerEndsTheParseWithItsException)
{
    Recording r;
    r.reader->setErrorHandler(std::make_shared<ThrowingErrors>());
    EXPECT_THROW(r.reader->parseString("<a b>text</a>"), Thrown);
    std::istringstream in("<a b>text</a>");
    EXPECT_THROW(r.reader->parseStream(in), Thrown);
    EXPECT_EQ(r.recorder->log, (Log{"startDocument", "startDocument"}));
}

TEST(SaxThrowing, ContentHandlerEndsTheParseWithItsException)
{
    const DOMString text("<a/><b/><c/>");
    auto handler = std::make_shared<ThrowOnSecondElement>();
    auto reader = makeXMLReader();
    reader->setContentHandler(handler);
    EXPECT_THROW(reader->parseString(text), Thrown);
    EXPECT_EQ(handler->elements, 2);

    handler->elements = 0;
    auto input = std::make_shared<CXMLReader::StringInputStream>(text);
    EXPECT_THROW(reader->parse(input), Thrown);
    EXPECT_EQ(handler->elements, 2);
    EXPECT_FALSE(handler->ended);
    EXPECT_EQ(input.use_count(), 1);
    EXPECT_EQ(handler.use_count(), 2); // the test's and the reader's
}

// ---- attribute lists ----

TEST(SaxAttributes, ListOfAParsedStartTag)
{
    Recording r;
    r.reader->parseString("<e a:b=\"1\" c='2'/>");
    const std::shared_ptr<IAttributes> list = r.recorder->lastAttributes;
    ASSERT_TRUE(list);
    ASSERT_EQ(list->getLength(), 2);
    EXPECT_EQ(list->getQName(0), "a:b");
    EXPECT_EQ(list->getLocalName(0), "b");
    EXPECT_EQ(list->getURI(0), "TBD");
    EXPECT_EQ(list->getIndex(DOMString("a:b")), 0);
    EXPECT_EQ(list->getIndex(DOMString("c")), 1);
    EXPECT_EQ(list->getIndex(DOMString("b")), -1);
    EXPECT_EQ(list->getIndex(DOMString("a")), -1);
    EXPECT_EQ(list->getValue(DOMString("TBD"), DOMString("b")), "1");
    EXPECT_EQ(list->getIndex(DOMString("TBD"), DOMString("c")), 1);
    EXPECT_EQ(list->getIndex(DOMString(""), DOMString("c")), -1);
    EXPECT_EQ(list->getValue(DOMString(""), DOMString("b")), "");
    EXPECT_EQ(list->getValue(DOMString("c")), "2");
    EXPECT_EQ(list->getValue(DOMString("a")), "");
}

TEST(SaxAttributes, OutOfRangeGivesEmptyOrMinusOne)
{
    Recording r;
    r.reader->parseString("<e x='1'/>");
    const std::shared_ptr<IAttributes> list = r.recorder->lastAttributes;
    for (const int32_t index : {-1, 1, 1000}) {
        EXPECT_EQ(list->getQName(index), "");
        EXPECT_EQ(list->getLocalName(index), "");
        EXPECT_EQ(list->getURI(index), "");
        EXPECT_EQ(list->getValue(index), "");
    }
    r.reader->parseString("<e>");
    EXPECT_EQ(r.recorder->lastAttributes->getLength(), 0);
    EXPECT_EQ(r.recorder->lastAttributes->getValue(0), "");
    EXPECT_EQ(r.recorder->lastAttributes->getIndex(DOMString("x")), -1);
}

TEST(SaxAttributes, TypeIsNeverKnown)
{
    CAttributes list;
    list.push_back({"", "TBD", "x", "1"});
    for (const int32_t index : {0, -1, 5})
        EXPECT_EQ(list.getType(index), "not supported");
    EXPECT_EQ(list.getType(DOMString("x")), "not supported");
    EXPECT_EQ(list.getType(DOMString("nothing")), "not supported");
    EXPECT_EQ(list.getType(DOMString("TBD"), DOMString("x")), "not supported");
}

TEST(SaxAttributes, QualifiedNamesCompareWhole)
{
    CAttributes list;
    list.push_back({"a", "TBD", "b", "1"});
    list.push_back({"", "u", "a:b", "2"});
    list.push_back({"a", "TBD", "b", "3"});
    EXPECT_EQ(list[0].qName(), "a:b");
    EXPECT_EQ(list[1].qName(), "a:b");
    EXPECT_EQ(list.getIndex(DOMString("a:b")), 0);
    EXPECT_EQ(list.getValue(DOMString("a:b")), "1");
    for (const char* other : {"ab", "a:", ":b", "a:bc", "xa:b", "a-b", "b"})
        EXPECT_EQ(list.getIndex(DOMString(other)), -1) << other;
    EXPECT_EQ(list.getIndex(DOMString("u"), DOMString("a:b")), 1);
    EXPECT_EQ(list.getValue(DOMString("TBD"), DOMString("b")), "1");
}

// ---- readers and their handlers ----

TEST(SaxReaderHandlers, NullHandlersParseQuietly)
{
    auto reader = makeXMLReader();
    reader->setContentHandler(nullptr);
    reader->setErrorHandler(nullptr);
    EXPECT_EQ(reader->getContentHandler(), nullptr);
    EXPECT_NO_THROW(reader->parseString("<a b><c>"));
}

TEST(SaxReaderHandlers, DefaultReaderParsesGarbageWithoutException)
{
    auto reader = makeXMLReader();
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        std::string garbage(random() % 200, ' ');
        for (char& c : garbage)
            c = static_cast<char>(random() % 256);
        EXPECT_NO_THROW(reader->parseString(dom(garbage)));
        std::istringstream in(garbage);
        EXPECT_NO_THROW(reader->parseStream(in));
    }
    EXPECT_NO_THROW(reader->parseString("</><a b=c d='<!--<?"));
}

namespace {

class NotedContent final : public CXMLReader::DefaultContentHandler {
public:
    explicit NotedContent(Log& log) : log_(log) {}
    ~NotedContent() override { log_.push_back("content"); }

private:
    Log& log_;
};

class NotedErrors final : public IErrorHandler {
public:
    explicit NotedErrors(Log& log) : log_(log) {}
    ~NotedErrors() { log_.push_back("errors"); }
    void error(SAXParseException) override {}
    void fatalError(SAXParseException) override {}
    void warning(SAXParseException) override {}

private:
    Log& log_;
};

} // namespace

TEST(SaxReaderHandlers, CreatedReaderIsDeletedThroughItsInterface)
{
    Log destroyed;
    IXMLReader* reader = createXMLReader();
    ASSERT_NE(reader, nullptr);
    reader->setContentHandler(std::make_shared<NotedContent>(destroyed));
    reader->setErrorHandler(std::make_shared<NotedErrors>(destroyed));
    reader->parseString("<a>b</a>");
    delete reader;
    EXPECT_EQ(destroyed, (Log{"errors", "content"}));
}
