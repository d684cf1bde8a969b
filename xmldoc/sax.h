// The SAX side of the XML library: a small reader that turns 8-bit text into events for a content
// handler, with its attribute list, handlers, input streams and exceptions.
#pragma once

#include "xmldoc/dom.h"

#include <exception>
#include <iosfwd>
#include <memory>
#include <vector>

namespace mfpif_Halvet_R1::sax {

// ---- exceptions ----

class SAXException : public std::exception {};
/// A syntax error: handed to the error handler, never thrown by the reader itself.
class SAXParseException : public SAXException {};
/// An input stream used beyond its one character of look-ahead.
class SAXIOException : public SAXException {};

// ---- interfaces ----

class IAttributes {
public:
    virtual int32_t getIndex(const DOMString& uri, const DOMString& localName) const = 0;
    virtual int32_t getIndex(const DOMString& qName) const = 0;
    virtual int32_t getLength() const = 0;
    virtual DOMString getLocalName(int32_t index) const = 0;
    virtual DOMString getQName(int32_t index) const = 0;
    virtual DOMString getType(const DOMString& uri, const DOMString& localName) const = 0;
    virtual DOMString getType(const DOMString& qName) const = 0;
    virtual DOMString getType(int32_t index) const = 0;
    virtual DOMString getURI(int32_t index) const = 0;
    virtual DOMString getValue(const DOMString& uri, const DOMString& localName) const = 0;
    virtual DOMString getValue(const DOMString& qName) const = 0;
    virtual DOMString getValue(int32_t index) const = 0;

protected:
    ~IAttributes() = default;
};

class IContentHandler {
public:
    virtual ~IContentHandler() = default;
    virtual void characters(const char* text, int32_t start, int32_t length) = 0;
    virtual void endDocument() = 0;
    virtual void endElement(const DOMString& uri, const DOMString& localName, const DOMString& qName) = 0;
    virtual void ignorableWhitespace(const char* text, int32_t start, int32_t length) = 0;
    virtual void processingInstruction(const DOMString& target, const DOMString& data) = 0;
    virtual void setDocumentLocator(const void* locator) = 0;
    virtual void startDocument() = 0;
    virtual void startElement(const DOMString& uri, const DOMString& localName, const DOMString& qName,
                              const std::shared_ptr<IAttributes>& attributes) = 0;
};

class IErrorHandler {
public:
    virtual void error(SAXParseException exception) = 0;
    virtual void fatalError(SAXParseException exception) = 0;
    virtual void warning(SAXParseException exception) = 0;

protected:
    ~IErrorHandler() = default;
};

/// Bytes with one character of look-ahead (mark, read, reset).
class IInputStream {
public:
    /// Up to maximum bytes into buffer; the count read, or -1 at the end.
    virtual int32_t read(char* buffer, int32_t maximum) = 0;
    /// The next byte 0-255, or -1 at the end.
    virtual int32_t read() = 0;
    virtual void mark(int32_t limit) = 0;
    virtual void reset() = 0;
    virtual int32_t markSupported() = 0;

protected:
    ~IInputStream() = default;
};

class IXMLReader {
public:
    /// Readers can be destroyed through this interface.
    virtual ~IXMLReader() = default;
    virtual std::shared_ptr<IContentHandler> getContentHandler() = 0;
    virtual std::shared_ptr<IErrorHandler> getErrorHandler() = 0;
    virtual void parseString(const DOMString& text) = 0;
    virtual void parseStream(std::istream& in) = 0;
    virtual void parse(const std::shared_ptr<IInputStream>& input) = 0;
    virtual void setContentHandler(const std::shared_ptr<IContentHandler>& handler) = 0;
    virtual void setErrorHandler(const std::shared_ptr<IErrorHandler>& handler) = 0;
};

// ---- the attribute list ----

/// One attribute of a start tag.
struct CAttribute {
    DOMString prefix;    ///< the part before the first colon, or empty
    DOMString uri;       ///< the namespace URI slot ("TBD" for every parsed attribute)
    DOMString localName; ///< the part after the first colon, or the whole name
    DOMString value;     ///< the value between the quotes, unchanged

    /// localName, or prefix ":" localName.
    DOMString qName() const;
};

/// The attributes of one start tag, in document order.
class CAttributes final : public std::vector<CAttribute>, public IAttributes {
public:
    int32_t getIndex(const DOMString& uri, const DOMString& localName) const override;
    int32_t getIndex(const DOMString& qName) const override;
    int32_t getLength() const override;
    DOMString getLocalName(int32_t index) const override;
    DOMString getQName(int32_t index) const override;
    DOMString getType(const DOMString& uri, const DOMString& localName) const override;
    DOMString getType(const DOMString& qName) const override;
    DOMString getType(int32_t index) const override;
    DOMString getURI(int32_t index) const override;
    DOMString getValue(const DOMString& uri, const DOMString& localName) const override;
    DOMString getValue(const DOMString& qName) const override;
    DOMString getValue(int32_t index) const override;
};

/// Elements nested deeper than this end a parse with an error.
inline constexpr int32_t kMaxNestingDepth = 10000;

/// A new reader with the default handlers, inside a shared reference.
std::shared_ptr<IXMLReader> makeXMLReader();

} // namespace mfpif_Halvet_R1::sax

/// A new reader with the default handlers; the caller owns it and deletes it. Null when memory runs out.
extern "C" mfpif_Halvet_R1::sax::IXMLReader* createXMLReader();
