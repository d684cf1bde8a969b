// Stored-value text conversion: the stores keep their XML files in UTF-8 while the programs work
// with text in a Windows code page, and they escape XML's special characters themselves. Every
// value a store puts into or takes out of a document goes through EncodeXmlValue/DecodeXmlValue.
// No operation reports an error: unmappable characters become "?", a failed conversion an empty
// string.
#pragma once

#include <cstdint>
#include <string>

/// Text in codePage to stored form: escaped (when escape is not 0), then converted to UTF-8.
std::string EncodeXmlValue(const std::string& text, int escape, uint32_t codePage);

/// Stored text to codePage: converted from UTF-8, then unescaped (when unescape is not 0).
std::string DecodeXmlValue(const std::string& stored, int unescape, uint32_t codePage);

/// Text in a Windows code page to UTF-8. 932, 936, 950 and 1250 use Shift_JIS, GB 2312, Big5 and
/// ISO-8859-2; 65001 passes valid UTF-8 through and turns each malformed sequence into "?";
/// every other code page (1252 included) is read as ISO-8859-1.
std::string ConvertFromCodePage(const std::string& text, uint32_t codePage);

/// UTF-8 text to a Windows code page; the inverse of ConvertFromCodePage.
std::string ConvertToCodePage(const std::string& utf8, uint32_t codePage);

/// Escapes < > & ' " as the stores write them: "&gt;" for a less-than sign and "&lt;" for a
/// greater-than sign (files already written depend on this pairing), "&amp;", "&apos;", "&quot;".
std::string EscapeXml(const std::string& text);

/// The exact inverse of EscapeXml, in one pass; an ampersand that starts no entity stays.
std::string UnescapeXml(const std::string& text);

/// Names the stores make elements of and put into their paths: a letter or '_' first, then
/// letters, digits, '_', '-' and '.'; at most 255 bytes. Anything else could not be a name in the
/// file or in the path that finds it again.
bool IsStoredKeyName(const std::string& name);
