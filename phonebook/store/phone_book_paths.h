// Paths into the phone book file and the small helpers the store's operations share. Private to
// the store.
#pragma once

#include "xmldoc/dom.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace phonebook {

inline constexpr const char* kPathVersion = "/system/version";
inline constexpr const char* kPathCounter = "/system/newid/data";
inline constexpr const char* kPathFolders = "/system/folders/*";
inline constexpr const char* kPathUserFolders = "/system/folders/folder";
inline constexpr const char* kPathRootRecords = "/system/folders/root/records";
inline constexpr const char* kPathFavoriteRecords = "/system/folders/favorite/records";
inline constexpr const char* kPathProfiles = "/system/profiles";
inline constexpr const char* kPathAllProfiles = "/system/profiles/profile";
inline constexpr const char* kPathFolderName = "name/data/value";
inline constexpr const char* kPathFolderId = "id/data/value";

/// A library string as a plain one.
std::string TextOf(const mfpif_Halvet_R1::DOMString& text);
/// A node as the document writer writes it.
std::string XmlOf(const mfpif_Halvet_R1::INodePtr& node);
/// A decimal text read as a number, stopping at the first non-digit (0 for none), clamped to 32 bits.
int32_t ToNumber(const std::string& text);
/// An id as the file writes it ("%d").
std::string IdText(int32_t id);
/// True (and the id) when text is exactly an id's "%d" form, as a path's [text()='N'] compares it.
bool IsCanonicalId(const std::string& text, int32_t& id);
/// The first element child of a profile (its kind element), or null.
mfpif_Halvet_R1::INodePtr KindElement(const mfpif_Halvet_R1::INodePtr& profile);
/// The first KEY/data/value element below a kind element, in document order: what the path
/// "KEY/data/value" selects first, found without parsing a path (reads run once per value).
mfpif_Halvet_R1::INodePtr ValueElement(const mfpif_Halvet_R1::INodePtr& kind, const std::string& key);
/// The record type of a kind element's name, or -1.
int32_t KindType(const std::string& kind);
/// The kind element's name of a record type, or null.
const char* KindName(int32_t type);
/// A book's file name: not empty, no separators, not "..", no leading '.' or '#', no control characters.
bool IsBookFileName(const std::string& name);
/// The part of a text the parser reads: up to its first zero byte, as a text read from a file.
std::string_view ParsedPart(const std::string& text);
/// Parses text (up to its first zero byte, whitespace kept) and appends its root to doc; the root or null.
mfpif_Halvet_R1::INodePtr ParseInto(const mfpif_Halvet_R1::IDocumentPtr& doc, const std::string& text);
/// A new empty document (throws std::bad_alloc when there is no memory).
mfpif_Halvet_R1::IDocumentPtr NewDocument();

} // namespace phonebook
