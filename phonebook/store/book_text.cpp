#include "phonebook/store/book_text.h"

#include "phonebook/store/phone_book.h"
#include "phonebook/store/phone_book_paths.h"
#include "xmldoc/list_text.h"

#include <unordered_set>

using namespace mfpif_Halvet_R1;

namespace phonebook {

namespace {

using CXMLDOCLIB_Ostrel::isElementNamed;

// Start and end tag of an element as the writer makes them.
void tagsOf(const INodePtr& element, std::string& start, std::string& end)
{
    const std::string shallow = XmlOf(element->cloneNode(false)); // "<name attributes/>"
    start = shallow.substr(0, shallow.size() - 2) + ">";
    const size_t nameEnd = shallow.find_first_of(" /", 1);
    end = "</" + shallow.substr(1, nameEnd - 1) + ">";
}

TextList makeList(const INodePtr& element, bool profiles, const Decoder& decode)
{
    TextList list;
    list.element = element;
    list.profiles = profiles;
    std::string pending;
    std::vector<INodePtr> children;
    for (INodePtr n = element->getFirstChild(); n; n = n->getNextSibling())
        children.push_back(n);
    list.chunks.reserve(children.size() / 2 + 1);
    for (const INodePtr& n : children) {
        if (n->getNodeType() != ELEMENT_NODE) {
            pending += XmlOf(n);
            continue;
        }
        Chunk chunk;
        chunk.element = static_cast<uint32_t>(pending.size());
        std::string xml = std::move(pending) + XmlOf(n);
        xml.shrink_to_fit();
        chunk.setXml(std::move(xml));
        pending.clear();
        if (profiles)
            BookText::describeProfile(chunk, n);
        else
            BookText::describeEntry(chunk, n, decode);
        list.chunks.push_back(std::move(chunk));
    }
    if (!pending.empty()) {
        Chunk tail;
        tail.element = static_cast<uint32_t>(pending.size());
        tail.setXml(std::move(pending));
        list.chunks.push_back(std::move(tail));
    }
    list.chunks.shrink_to_fit();
    for (const INodePtr& n : children)
        element->removeChild(n);
    return list;
}

} // namespace

void Chunk::setXml(std::string text)
{
    own_ = std::move(text);
    kept_ = nullptr;
    keptSize_ = 0;
}

void Chunk::keepXml(std::string_view text)
{
    own_ = std::string();
    kept_ = text.data();
    keptSize_ = static_cast<uint32_t>(text.size());
}

void Chunk::replaceElement(std::string_view text)
{
    std::string xml;
    xml.reserve(element + text.size());
    xml.append(this->xml().substr(0, element)).append(text);
    setXml(std::move(xml));
}

void Chunk::dropElement()
{
    if (kept_) {
        keptSize_ = element; // the nodes before it stay where they are
    } else {
        own_.resize(element);
        own_.shrink_to_fit();
    }
    id = exactId = 0;
    kind = 0;
}

Chunk& TextList::append(std::string text)
{
    Chunk chunk;
    chunk.setXml(std::move(text));
    chunks.push_back(std::move(chunk));
    return chunks.back();
}

void BookText::describeEntry(Chunk& chunk, const INodePtr& entry, const Decoder& decode)
{
    bool first = true;
    for (INodePtr n = entry->getFirstChild(); n; n = n->getNextSibling()) {
        if (!isElementNamed(n, "id"))
            continue;
        if (first)
            chunk.id = ToNumber(decode(TextOf(n->getText())));
        first = false;
        const IElementPtr idElement(dynamic_cast<IElement*>(n.get()));
        const std::string type = TextOf(idElement->getAttribute("type"));
        chunk.kind |= type == "fax" ? PB_MASK_FAX : type == "ifax" ? PB_MASK_IFAX : type == "group" ? PB_MASK_GROUP : 0;
        for (INodePtr t = n->getFirstChild(); t && chunk.exactId == 0; t = t->getNextSibling()) {
            int32_t exact = 0;
            if (t->getNodeType() == TEXT_NODE && IsCanonicalId(TextOf(t->getNodeValue()), exact))
                chunk.exactId = exact;
        }
    }
}

void BookText::describeEntry(Chunk& chunk, int32_t id, const char* kind)
{
    const std::string k = kind;
    chunk.id = chunk.exactId = id;
    chunk.kind = k == "fax" ? PB_MASK_FAX : k == "ifax" ? PB_MASK_IFAX : k == "group" ? PB_MASK_GROUP : 0;
}

void BookText::describeProfile(Chunk& chunk, const INodePtr& profile)
{
    chunk.id = chunk.exactId = 0;
    chunk.kind = 0;
    if (!isElementNamed(profile, "profile"))
        return;
    const IElementPtr element(dynamic_cast<IElement*>(profile.get()));
    int32_t id = 0;
    if (IsCanonicalId(TextOf(element->getAttribute("id")), id))
        chunk.id = chunk.exactId = id;
    const INodePtr kind = KindElement(profile);
    const int32_t type = kind ? KindType(TextOf(kind->getNodeName())) : -1;
    chunk.kind = static_cast<uint8_t>(type + 1);
}

// Takes the lists of a book from its parse: the document element's "profiles" children and the
// "records" children of every element in its "folders" children.
class BookText::Reader final : public CXMLDOCLIB_Ostrel::IListTextSink {
public:
    Reader(BookText& text, const Decoder& decode) : text_(text), decode_(decode) {}

    bool isList(const INodePtr& element, int32_t& levels) override
    {
        const bool profiles = isElementNamed(element, "profiles");
        if (!profiles && !isElementNamed(element, "records"))
            return false;
        // The profiles themselves, or the "folders" element above a folder's records, must be a
        // child of the document element.
        INodePtr top = element;
        if (!profiles) {
            const INodePtr folder = element->getParentNode();
            top = folder ? folder->getParentNode() : nullptr;
            if (!top || !isElementNamed(top, "folders"))
                return false;
        }
        for (int up = 0; up < 2 && top; ++up)
            top = top->getParentNode();
        if (!top || top->getNodeType() != DOCUMENT_NODE)
            return false;
        list_ = &text_.lists_[element.get()];
        listStart_ = true;
        list_->element = element;
        list_->profiles = profiles;
        if (profiles) {
            text_.profileLists_.push_back(list_);
            levels = 2; // a profile is described by its attributes and its children's names
        }
        return true;
    }

    void child(const INodePtr&, std::string_view xml, size_t elementStart, const INodePtr& element) override
    {
        Chunk chunk;
        keep(chunk, xml);
        chunk.element = static_cast<uint32_t>(elementStart);
        if (list_->profiles)
            BookText::describeProfile(chunk, element);
        else
            BookText::describeEntry(chunk, element, decode_);
        list_->chunks.push_back(std::move(chunk));
    }

    void tail(const INodePtr&, std::string_view xml) override
    {
        Chunk chunk;
        keep(chunk, xml);
        chunk.element = static_cast<uint32_t>(xml.size());
        list_->chunks.push_back(std::move(chunk));
    }

private:
    // The text as it stands in the book read, or a copy where it does not stand there as written.
    void keep(Chunk& chunk, std::string_view xml)
    {
        std::string_view found;
        if (text_.inSource(xml, listStart_, found))
            chunk.keepXml(found);
        else
            chunk.setXml(std::string(xml));
        listStart_ = false;
    }

    BookText& text_;
    const Decoder& decode_;
    TextList* list_ = nullptr; // the list being read
    bool listStart_ = false;   // no child of list_ read yet
};

INodePtr BookText::load(const IDocumentPtr& doc, std::string_view text, std::shared_ptr<const void> source,
                       const Decoder& decode)
{
    source_ = std::move(source);
    sourceText_ = source_ ? text : std::string_view();
    cursor_ = 0;
    Reader reader(*this, decode);
    INodePtr root = CXMLDOCLIB_Ostrel::loadWithListText(text, reader);
    for (auto& [element, list] : lists_)
        list.chunks.shrink_to_fit();
    if (root)
        doc->appendChild(root);
    return root;
}

bool BookText::inSource(std::string_view xml, bool listStart, std::string_view& found)
{
    // A list's children stand one after the other: each is looked for where the last one ended,
    // the first of a list a little further on, past the tags between two lists.
    constexpr size_t kListGap = size_t{64} << 10;
    if (cursor_ > sourceText_.size() || xml.empty())
        return false;
    const std::string_view rest = sourceText_.substr(cursor_);
    size_t at = rest.substr(0, xml.size()) == xml ? 0 : std::string_view::npos;
    if (at == std::string_view::npos && listStart)
        at = rest.substr(0, kListGap + xml.size()).find(xml);
    if (at == std::string_view::npos)
        return false;
    found = rest.substr(at, xml.size());
    cursor_ += at + xml.size();
    return true;
}

void BookText::addFolder(const INodePtr& folder, const Decoder& decode)
{
    for (INodePtr r = folder->getFirstChild(); r; r = r->getNextSibling())
        if (isElementNamed(r, "records"))
            lists_[r.get()] = makeList(r, false, decode);
}

void BookText::write(const IElementPtr& root, const std::function<void(std::string_view)>& out) const
{
    // The elements on the way from the root to a list are written tag by tag; everything else
    // whole by the document writer.
    std::unordered_set<INode*> ancestors;
    for (const auto& [element, list] : lists_)
        for (INodePtr p = list.element->getParentNode(); p; p = p->getParentNode())
            if (!ancestors.insert(p.get()).second)
                break;
    std::string start, end;
    auto writeNode = [&](auto& self, const INodePtr& n) -> void {
        const auto it = lists_.find(n.get());
        if (it != lists_.end()) {
            size_t bytes = 0;
            for (const Chunk& c : it->second.chunks)
                bytes += c.xml().size();
            if (bytes == 0) {
                out(XmlOf(n));
                return;
            }
            tagsOf(n, start, end);
            out(start);
            for (const Chunk& c : it->second.chunks)
                out(c.xml());
            out(end);
        } else if (ancestors.count(n.get()) && n->getFirstChild()) {
            std::string closing;
            tagsOf(n, start, closing);
            out(start);
            for (INodePtr c = n->getFirstChild(); c; c = c->getNextSibling())
                self(self, c);
            out(closing);
        } else {
            out(XmlOf(n));
        }
    };
    writeNode(writeNode, root);
}

TextList* BookText::list(const INodePtr& element)
{
    const auto it = lists_.find(element.get());
    return it == lists_.end() ? nullptr : &it->second;
}

std::vector<TextList*> BookText::folderLists(const INodePtr& folder)
{
    std::vector<TextList*> out;
    for (INodePtr r = folder ? folder->getFirstChild() : nullptr; r; r = r->getNextSibling())
        if (TextList* l = list(r))
            out.push_back(l);
    return out;
}

std::vector<TextList*> BookText::allFolderLists(const IElementPtr& root)
{
    std::vector<TextList*> out;
    const INodeListPtr folders = root->selectNodes(kPathFolders);
    for (int32_t i = 0; i < folders->getLength(); ++i)
        for (TextList* l : folderLists(folders->item(i)))
            out.push_back(l);
    return out;
}

void BookText::forget(const INodePtr& element)
{
    for (INodePtr r = element->getFirstChild(); r; r = r->getNextSibling())
        lists_.erase(r.get());
    lists_.erase(element.get());
}

void BookText::index()
{
    index_.clear();
    for (TextList* list : profileLists_)
        for (uint32_t i = 0; i < list->chunks.size(); ++i) {
            const Chunk& c = list->chunks[i];
            if (c.hasElement() && c.exactId != 0)
                index_.emplace(c.exactId, Where{list, i}); // the first profile of an id is the one found
        }
    indexed_ = true;
}

Chunk* BookText::profile(int32_t id)
{
    if (!indexed_)
        index();
    const auto it = index_.find(id);
    return it == index_.end() ? nullptr : &it->second.list->chunks[it->second.chunk];
}

std::vector<Chunk*> BookText::profiles()
{
    std::vector<Chunk*> out;
    for (TextList* list : profileLists_)
        for (Chunk& c : list->chunks)
            if (c.hasElement())
                out.push_back(&c);
    return out;
}

TextList* BookText::profileList() { return profileLists_.empty() ? nullptr : profileLists_.front(); }

} // namespace phonebook
