// The attribute list of one start tag: records in document order, looked up by position,
// by qualified name, or by namespace URI slot and local name.
#include "xmldoc/sax.h"

#include <cstdint>
#include <limits>

namespace mfpif_Halvet_R1::sax {

namespace {

const DOMString kNotSupported = "not supported";

/// True when text is the record's qualified name, compared byte for byte without building it.
bool hasQName(const CAttribute& attribute, const DOMString& text)
{
    if (attribute.prefix.empty())
        return text == attribute.localName;
    const std::size_t prefixLength = attribute.prefix.size();
    return text.size() == prefixLength + 1 + attribute.localName.size() &&
           text.compare(0, prefixLength, attribute.prefix) == 0 && text[prefixLength] == ':' &&
           text.compare(prefixLength + 1, DOMString::npos, attribute.localName) == 0;
}

} // namespace

DOMString CAttribute::qName() const
{
    if (prefix.empty())
        return localName;
    DOMString name;
    name.reserve(prefix.size() + 1 + localName.size());
    name.append(prefix).append(1, ':').append(localName);
    return name;
}

int32_t CAttributes::getIndex(const DOMString& uri, const DOMString& localName) const
{
    const int32_t count = getLength();
    for (int32_t index = 0; index < count; ++index) {
        const CAttribute& attribute = (*this)[static_cast<std::size_t>(index)];
        if (attribute.localName == localName && attribute.uri == uri)
            return index;
    }
    return -1;
}

int32_t CAttributes::getIndex(const DOMString& qName) const
{
    const int32_t count = getLength();
    for (int32_t index = 0; index < count; ++index) {
        if (hasQName((*this)[static_cast<std::size_t>(index)], qName))
            return index;
    }
    return -1;
}

int32_t CAttributes::getLength() const
{
    constexpr auto most = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(size() < most ? size() : most);
}

DOMString CAttributes::getLocalName(int32_t index) const
{
    return index >= 0 && index < getLength() ? (*this)[static_cast<std::size_t>(index)].localName : DOMString();
}

DOMString CAttributes::getQName(int32_t index) const
{
    return index >= 0 && index < getLength() ? (*this)[static_cast<std::size_t>(index)].qName() : DOMString();
}

DOMString CAttributes::getType(const DOMString&, const DOMString&) const { return kNotSupported; }

DOMString CAttributes::getType(const DOMString&) const { return kNotSupported; }

DOMString CAttributes::getType(int32_t) const { return kNotSupported; }

DOMString CAttributes::getURI(int32_t index) const
{
    return index >= 0 && index < getLength() ? (*this)[static_cast<std::size_t>(index)].uri : DOMString();
}

DOMString CAttributes::getValue(const DOMString& uri, const DOMString& localName) const
{
    return getValue(getIndex(uri, localName));
}

DOMString CAttributes::getValue(const DOMString& qName) const { return getValue(getIndex(qName)); }

DOMString CAttributes::getValue(int32_t index) const
{
    return index >= 0 && index < getLength() ? (*this)[static_cast<std::size_t>(index)].value : DOMString();
}

} // namespace mfpif_Halvet_R1::sax
