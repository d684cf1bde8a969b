// The SAX reader: one markup item or one run of character data per step, never recursing, with
// one character of look-ahead. The parse runs over a "source": either any IInputStream (mark, read,
// reset through the interface) or the bytes of a string, where the same look-ahead is plain pointer
// work and runs of text, names and values are found by scanning and taken as one span.
#include "platform/com.h"
#include "xmldoc/byte_scan.h"
#include "xmldoc/sax_reader.h"

#include <array>
#include <cstring>
#include <new>
#include <string_view>

namespace mfpif_Halvet_R1::sax {

namespace {

constexpr bool isWhitespace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::array<bool, 256> makeNameTable()
{
    std::array<bool, 256> table{};
    for (int c = 'A'; c <= 'Z'; ++c)
        table[static_cast<std::size_t>(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        table[static_cast<std::size_t>(c)] = true;
    for (int c = '0'; c <= '9'; ++c)
        table[static_cast<std::size_t>(c)] = true;
    for (const char c : std::string_view("!#$%&*+,-.:;?^_`|@"))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> kNameChar = makeNameTable();

/// The name table again, with the colon marked apart, so that a scan learns whether a name has one.
constexpr std::array<uint8_t, 256> makeNameMarks()
{
    std::array<uint8_t, 256> marks{};
    for (std::size_t c = 0; c < 256; ++c)
        marks[c] = kNameChar[c] ? 1 : 0;
    marks[':'] = 3;
    return marks;
}

constexpr std::array<uint8_t, 256> kNameMarks = makeNameMarks();

constexpr bool isNameChar(int c) { return c >= 0 && kNameChar[static_cast<std::size_t>(c)]; }

/// How a scan for a run of bytes ended.
enum class Scan {
    Done,    ///< the run ends at its delimiter (or, for text and names, at the end of input)
    AtEnd,   ///< the input ended before the closing quote of a value
    TooLong, ///< the run is longer than kMaxRunBytes
};

/// Any IInputStream: every byte through mark(1), read() and, when not wanted, reset().
class StreamSource {
public:
    explicit StreamSource(IInputStream& in) : in_(in) {}

    int next()
    {
        in_.mark(1);
        return in_.read();
    }
    void back() { in_.reset(); }

    void skipWhitespace()
    {
        int c;
        do
            c = next();
        while (isWhitespace(c));
        back();
    }

    /// Character data up to the next "<" or the end of input; the "<" stays unread.
    Scan text(std::string_view& run) { return collect(run, [](int c) { return c != '<'; }); }

    /// Name characters, from here on; the byte that ends the name stays unread. colon tells whether
    /// the name may hold a colon.
    Scan name(std::string_view& run, bool& colon)
    {
        colon = true;
        return collect(run, isNameChar);
    }

    /// The bytes up to the quote, which is consumed.
    Scan quoted(char quote, std::string_view& run)
    {
        scratch_.clear();
        for (;;) {
            const int c = next();
            if (c == -1)
                return Scan::AtEnd;
            if (c == static_cast<unsigned char>(quote))
                break;
            if (scratch_.size() == kMaxRunBytes)
                return Scan::TooLong;
            scratch_.push_back(static_cast<char>(c));
        }
        run = scratch_;
        return Scan::Done;
    }

private:
    template <typename Keep>
    Scan collect(std::string_view& run, Keep keep)
    {
        scratch_.clear();
        for (;;) {
            const int c = next();
            if (c == -1 || !keep(c)) {
                back();
                break;
            }
            if (scratch_.size() == kMaxRunBytes)
                return Scan::TooLong;
            scratch_.push_back(static_cast<char>(c));
        }
        run = scratch_;
        return Scan::Done;
    }

    IInputStream& in_;
    DOMString scratch_; // the current run, reused from one run to the next
};

/// The bytes of a string, with the look-ahead of StringInputStream as plain pointer work. Runs are
/// handed out as spans of the string itself; no scan looks further than kMaxRunBytes + 1 bytes.
class BytesSource {
public:
    BytesSource(const char* first, const char* last) : pos_(first), mark_(first), end_(last) {}

    int next()
    {
        mark_ = pos_;
        return pos_ == end_ ? -1 : static_cast<unsigned char>(*pos_++);
    }
    void back() { pos_ = mark_; }

    void skipWhitespace()
    {
        while (pos_ != end_ && isWhitespace(static_cast<unsigned char>(*pos_)))
            ++pos_;
    }

    Scan text(std::string_view& run)
    {
        const std::size_t window = this->window();
        const char* stop = CXMLDOCLIB_Ostrel::findByte(pos_, window, '<');
        return take(stop ? stop : pos_ + window, run);
    }

    Scan name(std::string_view& run, bool& colon)
    {
        const char* stop = pos_;
        const char* limit = pos_ + window();
        uint8_t seen = 0;
        for (uint8_t mark; stop != limit && (mark = kNameMarks[static_cast<unsigned char>(*stop)]) != 0; ++stop)
            seen |= mark;
        colon = (seen & 2) != 0;
        return take(stop, run);
    }

    Scan quoted(char quote, std::string_view& run)
    {
        const std::size_t window = this->window();
        const char* stop = CXMLDOCLIB_Ostrel::findByte(pos_, window, quote);
        if (!stop) {
            if (static_cast<std::size_t>(end_ - pos_) > kMaxRunBytes)
                return Scan::TooLong;
            pos_ = end_;
            return Scan::AtEnd;
        }
        const auto* quoteAt = static_cast<const char*>(stop);
        run = std::string_view(pos_, static_cast<std::size_t>(quoteAt - pos_));
        pos_ = quoteAt + 1;
        return Scan::Done;
    }

private:
    /// The bytes a scan may look at: one more than the longest run, or what is left.
    std::size_t window() const
    {
        const auto left = static_cast<std::size_t>(end_ - pos_);
        return left <= kMaxRunBytes ? left : kMaxRunBytes + 1;
    }

    /// The run from here to stop, which is either its delimiter or the end of its window.
    Scan take(const char* stop, std::string_view& run)
    {
        const auto length = static_cast<std::size_t>(stop - pos_);
        if (length > kMaxRunBytes)
            return Scan::TooLong;
        run = std::string_view(pos_, length);
        pos_ = stop;
        return Scan::Done;
    }

    const char* pos_;
    const char* mark_;
    const char* end_;
};

enum class Step { GoOn, Stop };

/// One parse: the driver loop and the markup reader over a source.
template <typename Source>
class Parse {
public:
    Parse(Source& source, IContentHandler& content, IErrorHandler& errors)
        : source_(source), content_(content), errors_(errors)
    {
    }

    void run()
    {
        content_.startDocument();
        for (;;) {
            std::string_view text;
            if (source_.text(text) == Scan::TooLong) {
                fatal();
                break;
            }
            if (!text.empty()) {
                content_.characters(text.data(), 0, static_cast<int32_t>(text.size()));
                continue;
            }
            if (markup() == Step::Stop)
                break;
        }
        content_.endDocument();
    }

private:
    void fatal() { errors_.fatalError(SAXParseException()); }

    /// Skips whitespace and consumes c when it comes next.
    bool expect(char c)
    {
        source_.skipWhitespace();
        if (source_.next() == static_cast<unsigned char>(c))
            return true;
        source_.back();
        return false;
    }

    /// The closing ">" of every item.
    Step close()
    {
        if (expect('>'))
            return Step::GoOn;
        fatal();
        return Step::Stop;
    }

    /// A name after optional whitespace into out; false (with a fatal error reported) when too long.
    bool readName(DOMString& out, bool* mayHaveColon = nullptr)
    {
        source_.skipWhitespace();
        std::string_view run;
        bool colon = true;
        if (source_.name(run, colon) == Scan::TooLong) {
            fatal();
            return false;
        }
        out.assign(run.data(), run.size());
        if (mayHaveColon)
            *mayHaveColon = colon;
        return true;
    }

    /// The local name of qName: the part after its first colon, or the whole name (at once when
    /// the scan of the name saw no colon).
    const DOMString& localNameOf(const DOMString& qName, bool mayHaveColon)
    {
        if (!mayHaveColon)
            return qName;
        std::size_t colon = 0; // names are short: a plain loop beats a library call
        while (colon < qName.size() && qName[colon] != ':')
            ++colon;
        if (colon == qName.size())
            return qName;
        localName_.assign(qName, colon + 1);
        return localName_;
    }

    Step markup()
    {
        source_.skipWhitespace();
        if (source_.next() != '<') {
            source_.back();
            return Step::Stop;
        }
        source_.skipWhitespace();
        switch (source_.next()) {
        case '/':
            return endTag();
        case '!':
            return declaration();
        case '?':
            return instruction();
        default:
            source_.back();
            return startTag();
        }
    }

    Step endTag()
    {
        bool colon = true;
        if (!readName(qName_, &colon))
            return Step::Stop;
        if (qName_.empty()) {
            fatal();
            return Step::Stop;
        }
        content_.endElement(noURI_, localNameOf(qName_, colon), qName_);
        return close();
    }

    Step startTag()
    {
        bool colon = true;
        if (!readName(qName_, &colon))
            return Step::Stop;
        if (qName_.empty())
            return Step::Stop;
        // One list serves every start tag unless a handler kept the last one.
        if (!attributes_ || attributes_.use_count() != 1) {
            auto list = std::make_shared<CAttributes>();
            attributeList_ = list.get();
            attributes_ = std::move(list);
        } else {
            attributeList_->clear();
        }
        CAttributes* attributes = attributeList_;
        for (;;) {
            if (!readName(attributeName_))
                return Step::Stop;
            if (attributeName_.empty())
                break;
            if (!expect('=')) {
                fatal();
                break;
            }
            std::string_view value;
            source_.skipWhitespace();
            const int quote = source_.next();
            if (quote != '"' && quote != '\'') {
                source_.back();
                fatal();
                break;
            }
            const Scan scan = source_.quoted(static_cast<char>(quote), value);
            if (scan == Scan::TooLong) {
                fatal();
                return Step::Stop;
            }
            if (scan == Scan::AtEnd) {
                fatal(); // the value is not closed
                fatal(); // and so the attribute is missing
                break;
            }
            CAttribute& attribute = attributes->emplace_back();
            const std::size_t colon = attributeName_.find(':');
            if (colon == DOMString::npos) {
                attribute.localName = attributeName_;
            } else {
                attribute.prefix.assign(attributeName_, 0, colon);
                attribute.localName.assign(attributeName_, colon + 1);
            }
            attribute.uri.assign("TBD", 3);
            attribute.value.assign(value.data(), value.size());
        }
        const DOMString& localName = localNameOf(qName_, colon);
        content_.startElement(noURI_, localName, qName_, attributes_);
        if (expect('/'))
            content_.endElement(noURI_, localName, qName_);
        return close();
    }

    /// After "<!": a comment up to "-->", a CDATA section up to "]]>", anything else up to the first
    /// ">" outside brackets and quotes.
    Step declaration()
    {
        int c = source_.next();
        if (c == '-') {
            if (source_.next() == '-')
                return skipUntilClose('-');
            source_.back();
            return skipDeclaration(0);
        }
        if (c == '[') {
            for (const char expected : std::string_view("CDATA[")) {
                if (source_.next() != static_cast<unsigned char>(expected)) {
                    source_.back();
                    return skipDeclaration(1); // the "[" opened a bracket
                }
            }
            return skipUntilClose(']');
        }
        source_.back();
        return skipDeclaration(0);
    }

    /// Skips up to two or more of twice and a ">", which is left for close().
    Step skipUntilClose(char twice)
    {
        int run = 0;
        for (;;) {
            const int c = source_.next();
            if (c == -1) {
                fatal();
                return Step::Stop;
            }
            if (c == '>' && run >= 2) {
                source_.back();
                return close();
            }
            run = c == static_cast<unsigned char>(twice) ? (run < 2 ? run + 1 : 2) : 0;
        }
    }

    /// Skips up to the first ">" that stands outside brackets and quoted strings.
    Step skipDeclaration(std::size_t depth)
    {
        int quote = 0;
        for (;;) {
            const int c = source_.next();
            if (c == -1) {
                fatal();
                return Step::Stop;
            }
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++depth;
            } else if (c == ']') {
                if (depth > 0)
                    --depth;
            } else if (c == '>' && depth == 0) {
                source_.back();
                return close();
            }
        }
    }

    /// After "<?": skips up to "?>"; the "?" that opened the item does not count.
    Step instruction()
    {
        bool question = false;
        for (;;) {
            const int c = source_.next();
            if (c == -1) {
                fatal();
                return Step::Stop;
            }
            if (c == '>' && question) {
                source_.back();
                return close();
            }
            question = c == '?';
        }
    }

    Source& source_;
    IContentHandler& content_;
    IErrorHandler& errors_;
    const DOMString noURI_;
    DOMString qName_;
    DOMString localName_;
    DOMString attributeName_;
    std::shared_ptr<IAttributes> attributes_; // the list of the last start tag
    CAttributes* attributeList_ = nullptr;    // the same list
};

} // namespace

// ---- input streams ----

int32_t CXMLReader::IstreamInputStream::read(char* buffer, int32_t maximum)
{
    using Traits = std::istream::traits_type;
    if (!stream.good() || Traits::eq_int_type(stream.peek(), Traits::eof()))
        return -1;
    if (buffer == nullptr || maximum <= 0)
        return 0;
    stream.read(buffer, maximum);
    return static_cast<int32_t>(stream.gcount());
}

int32_t CXMLReader::IstreamInputStream::read()
{
    if (stream.eof())
        return -1;
    using Traits = std::istream::traits_type;
    const Traits::int_type c = stream.get();
    lastChar = Traits::eq_int_type(c, Traits::eof()) ? -1 : static_cast<int32_t>(c);
    ++readSinceMark;
    return lastChar;
}

void CXMLReader::IstreamInputStream::mark(int32_t limit)
{
    if (limit > 1)
        throw SAXIOException();
    readSinceMark = 0;
}

void CXMLReader::IstreamInputStream::reset()
{
    if (readSinceMark == 0)
        return;
    if (readSinceMark > 1)
        throw SAXIOException();
    readSinceMark = 0;
    // The end of input cannot be put back; the stream stays at its end.
    if (lastChar != -1 && !stream.putback(static_cast<char>(lastChar)))
        throw SAXIOException();
}

int32_t CXMLReader::StringInputStream::read(char* buffer, int32_t maximum)
{
    if (position == end)
        return -1;
    if (buffer == nullptr || maximum <= 0)
        return 0;
    const std::size_t left = end - position;
    const std::size_t count = left < static_cast<std::size_t>(maximum) ? left : static_cast<std::size_t>(maximum);
    std::memcpy(buffer, bytes + position, count);
    position += count;
    return static_cast<int32_t>(count);
}

int32_t CXMLReader::StringInputStream::read()
{
    if (position == end)
        return -1;
    return static_cast<unsigned char>(bytes[position++]);
}

// ---- the reader ----

CXMLReader::CXMLReader()
    : contentHandler(std::make_shared<DefaultContentHandler>()),
      errorHandler(std::make_shared<DefaultErrorHandler>())
{
}

CXMLReader::~CXMLReader() = default;

std::shared_ptr<IContentHandler> CXMLReader::getContentHandler() { return contentHandler; }

std::shared_ptr<IErrorHandler> CXMLReader::getErrorHandler() { return errorHandler; }

void CXMLReader::setContentHandler(const std::shared_ptr<IContentHandler>& handler) { contentHandler = handler; }

void CXMLReader::setErrorHandler(const std::shared_ptr<IErrorHandler>& handler) { errorHandler = handler; }

template <typename Source>
void CXMLReader::run(Source& source)
{
    // The parse holds its own references, so a handler replaced during the parse stays alive.
    std::shared_ptr<IContentHandler> content =
        contentHandler ? contentHandler : std::make_shared<DefaultContentHandler>();
    std::shared_ptr<IErrorHandler> errors = errorHandler ? errorHandler : std::make_shared<DefaultErrorHandler>();
    Parse<Source>(source, *content, *errors).run();
}

void CXMLReader::parseString(const DOMString& text) { parseBytes(text.data(), text.size()); }

void CXMLReader::parseBytes(const char* text, std::size_t length)
{
    BytesSource source(text, text + length);
    run(source);
}

void CXMLReader::parseStream(std::istream& in) { parse(std::make_shared<IstreamInputStream>(in)); }

void CXMLReader::parse(const std::shared_ptr<IInputStream>& input)
{
    if (!input) {
        static const char none = 0;
        BytesSource nothing(&none, &none);
        run(nothing);
        return;
    }
    const std::shared_ptr<IInputStream> held = input;
    StreamSource source(*held);
    run(source);
}

std::shared_ptr<IXMLReader> makeXMLReader() { return std::make_shared<CXMLReader>(); }

} // namespace mfpif_Halvet_R1::sax

extern "C" mfpif_Halvet_R1::sax::IXMLReader* createXMLReader()
{
    return guardedExport<mfpif_Halvet_R1::sax::IXMLReader*>(nullptr,
                                                            [] { return new mfpif_Halvet_R1::sax::CXMLReader(); });
}
