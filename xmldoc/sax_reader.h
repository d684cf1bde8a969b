// The library's SAX reader: start tags with attributes, empty-element tags, end tags and character
// data, read with one character of look-ahead. Declarations, comments, document type declarations,
// CDATA sections and processing instructions are skipped without a report. No entity expansion, no
// line-end normalisation, no namespace processing, no check that tags match.
#pragma once

#include "xmldoc/sax.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>

namespace mfpif_Halvet_R1::sax {

/// The longest name, attribute value or text run the reader takes; a longer one ends the parse with
/// a fatal error.
inline constexpr std::size_t kMaxRunBytes = std::size_t{64} << 20;

class CXMLReader final : public IXMLReader {
public:
    /// Bytes from a standard input stream, one at a time; one byte can be put back.
    class IstreamInputStream final : public IInputStream {
    public:
        explicit IstreamInputStream(std::istream& in) : stream(in) {}
        int32_t read(char* buffer, int32_t maximum) override;
        int32_t read() override;
        /// A limit above 1 throws SAXIOException.
        void mark(int32_t limit) override;
        /// Puts back the one byte read since mark; more than one throws SAXIOException.
        void reset() override;
        int32_t markSupported() override { return 1; }

    private:
        std::istream& stream;
        int32_t lastChar = -1;
        int32_t readSinceMark = 0;
    };

    /// The bytes of a DOMString that the caller keeps alive while the stream is used.
    class StringInputStream final : public IInputStream {
    public:
        explicit StringInputStream(const DOMString& text) : bytes(text.data()), end(text.size()) {}
        int32_t read(char* buffer, int32_t maximum) override;
        int32_t read() override;
        /// The limit is not used: reset can go back any distance.
        void mark(int32_t) override { markPosition = position; }
        void reset() override { position = markPosition; }
        int32_t markSupported() override { return -1; }

    private:
        const char* bytes;
        std::size_t position = 0;
        std::size_t markPosition = 0;
        std::size_t end;
    };

    /// Ignores every event.
    class DefaultContentHandler : public IContentHandler {
    public:
        void characters(const char*, int32_t, int32_t) override {}
        void endDocument() override {}
        void endElement(const DOMString&, const DOMString&, const DOMString&) override {}
        void ignorableWhitespace(const char*, int32_t, int32_t) override {}
        void processingInstruction(const DOMString&, const DOMString&) override {}
        void setDocumentLocator(const void*) override {}
        void startDocument() override {}
        void startElement(const DOMString&, const DOMString&, const DOMString&,
                          const std::shared_ptr<IAttributes>&) override
        {
        }
        /// Does nothing; the reader never calls it.
        virtual void endPrefixMapping(const DOMString&) {}
        /// Does nothing; the reader never calls it.
        virtual void startPrefixMapping(const DOMString&, const DOMString&) {}
    };

    /// Ignores every error.
    class DefaultErrorHandler final : public IErrorHandler {
    public:
        void error(SAXParseException) override {}
        void fatalError(SAXParseException) override {}
        void warning(SAXParseException) override {}
    };

    /// A reader with a new DefaultContentHandler and a new DefaultErrorHandler.
    CXMLReader();
    ~CXMLReader() override;

    std::shared_ptr<IContentHandler> getContentHandler() override;
    std::shared_ptr<IErrorHandler> getErrorHandler() override;
    /// Runs the same reader as parse, straight over the bytes of the text.
    void parseString(const DOMString& text) override;
    /// The same over bytes the caller keeps alive during the parse.
    void parseBytes(const char* text, std::size_t length);
    void parseStream(std::istream& in) override;
    /// Reports what the stream holds; a null stream reads as an empty input. A null handler is
    /// taken as the matching default handler for the parse.
    void parse(const std::shared_ptr<IInputStream>& input) override;
    void setContentHandler(const std::shared_ptr<IContentHandler>& handler) override;
    void setErrorHandler(const std::shared_ptr<IErrorHandler>& handler) override;

private:
    template <typename Source>
    void run(Source& source);

    // Declared in this order so that the error handler is released first.
    std::shared_ptr<IContentHandler> contentHandler;
    std::shared_ptr<IErrorHandler> errorHandler;
};

} // namespace mfpif_Halvet_R1::sax
