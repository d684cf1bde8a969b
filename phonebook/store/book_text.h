// The long lists of an open book kept as XML text. A book's profiles and its folders' member lists
// hold nearly all of its nodes; as a tree they would cost several KB per record, so the store
// keeps the rest of the book as a tree and the children of those list elements as the text the
// writer makes of them, with what the store looks them up by. A profile is parsed when it is read.
// Private to the store.
#pragma once

#include "xmldoc/dom.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace phonebook {

/// Children of a list element as text: the nodes before an element (white space), then the element.
/// The text of a chunk read with its book is, where it stands there as written, the book's text
/// read; a chunk the store made or changed holds its own.
struct Chunk {
    uint32_t element = 0; ///< where the element starts in xml(); xml().size() when there is none
    int32_t id = 0;       ///< a profile's id attribute; an entry's id child as a number
    int32_t exactId = 0;  ///< the id an entry's id text names exactly ("%d"), as [id/text()='N'] finds it; else 0
    uint8_t kind = 0;     ///< an entry's PB_MASK_* kinds; a profile's record type + 1 (0: none)

    std::string_view xml() const { return kept_ ? std::string_view(kept_, keptSize_) : std::string_view(own_); }
    /// Text held by the chunk itself.
    void setXml(std::string text);
    /// Text that lives as long as the chunk's book (its text block).
    void keepXml(std::string_view text);
    /// Puts element text in place of the element, keeping the nodes before it.
    void replaceElement(std::string_view text);

    bool hasElement() const { return element < xml().size(); }
    std::string elementXml() const { return std::string(xml().substr(element)); }
    /// Drops the element and keeps the nodes before it.
    void dropElement();

private:
    std::string own_;
    const char* kept_ = nullptr;
    uint32_t keptSize_ = 0;
};

/// The children of one list element, in order.
struct TextList {
    mfpif_Halvet_R1::INodePtr element;
    bool profiles = false;
    std::vector<Chunk> chunks;

    /// Appends an element (no white space before it, as the tree's appendChild does).
    Chunk& append(std::string xml);
};

/// Decodes a stored text (the store's code page).
using Decoder = std::function<std::string(const std::string&)>;

/// The lists of one book.
class BookText {
public:
    /// Parses a book's text into doc (its root appended to it), the children of the book's list
    /// elements ("/system/profiles" and the records of every folder) taken as text into this empty
    /// list set instead of into the tree. The root, or null; throws what the parse throws.
    /// source holds text: the chunks of text that stand in it as written point into it and keep it.
    mfpif_Halvet_R1::INodePtr load(const mfpif_Halvet_R1::IDocumentPtr& doc, std::string_view text,
                                   std::shared_ptr<const void> source, const Decoder& decode);
    /// Hands out the book's XML text piece by piece, in order: the tree, with the lists' text in
    /// place of their children.
    void write(const mfpif_Halvet_R1::IElementPtr& root, const std::function<void(std::string_view)>& out) const;
    /// The list held for a list element, or null.
    TextList* list(const mfpif_Halvet_R1::INodePtr& element);
    /// The lists of a folder element, in order.
    std::vector<TextList*> folderLists(const mfpif_Halvet_R1::INodePtr& folder);
    /// Every folder's lists, in book order.
    std::vector<TextList*> allFolderLists(const mfpif_Halvet_R1::IElementPtr& root);
    /// Takes the record lists of a folder element that joined the book.
    void addFolder(const mfpif_Halvet_R1::INodePtr& folder, const Decoder& decode);
    /// Forgets the list of an element that left the book.
    void forget(const mfpif_Halvet_R1::INodePtr& element);

    /// The profile chunk of a record (the first with that id), or null.
    Chunk* profile(int32_t id);
    /// Every profile chunk, in book order.
    std::vector<Chunk*> profiles();
    /// The profile list new profiles are appended to, or null.
    TextList* profileList();
    /// Call after chunks were added or dropped.
    void changed() { indexed_ = false; }

    /// Metadata of an entry the store made itself: id, and its kind name ("fax", "ifax", "group").
    static void describeEntry(Chunk& chunk, int32_t id, const char* kind);
    /// Drops the entries whose id text names one of ids exactly; the number dropped.
    template <typename Ids>
    static size_t dropEntries(const std::vector<TextList*>& lists, const Ids& ids)
    {
        size_t dropped = 0;
        for (TextList* list : lists)
            for (Chunk& c : list->chunks)
                if (c.hasElement() && c.exactId != 0 && ids.count(c.exactId)) {
                    c.dropElement();
                    ++dropped;
                }
        return dropped;
    }
    /// Metadata of an entry element (record) and of a profile element.
    static void describeEntry(Chunk& chunk, const mfpif_Halvet_R1::INodePtr& entry, const Decoder& decode);
    static void describeProfile(Chunk& chunk, const mfpif_Halvet_R1::INodePtr& profile);

private:
    class Reader;
    void index();
    /// Where xml stands in the book's text read (at its place, or where a list begins), if it does.
    bool inSource(std::string_view xml, bool listStart, std::string_view& found);
    std::shared_ptr<const void> source_; // the book's text read, which chunks may point into
    std::string_view sourceText_;
    size_t cursor_ = 0; // where the chunk read last ends in sourceText_
    std::unordered_map<mfpif_Halvet_R1::INode*, TextList> lists_;
    std::vector<TextList*> profileLists_; // in book order
    struct Where {
        TextList* list;
        uint32_t chunk;
    };
    std::unordered_map<int32_t, Where> index_;
    bool indexed_ = false;
};

} // namespace phonebook
