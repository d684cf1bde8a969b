// The phone book dialogs' additions to the phone book: search, folders by name, book files.
#include "phonebook/dialogs/picker_phone_book.h"

#include "common/data_folders.h"
#include "common/xml_value.h"
#include "phonebook/store/book_text.h"
#include "phonebook/store/phone_book_paths.h"
#include "phonebook/store/templates.h"
#include "platform/files.h"

using namespace mfpif_Halvet_R1;
using namespace phonebook;

namespace {

constexpr const char* kPathSearchRecords = "/system/search/records";

// An element's first child element named name, or null.
INodePtr childNamed(const INodePtr& element, const char* name)
{
    for (INodePtr n = element->getFirstChild(); n; n = n->getNextSibling())
        if (n->getNodeType() == ELEMENT_NODE && n->getNodeName() == name)
            return n;
    return nullptr;
}

} // namespace

std::string CPickerPhoneBook::GetPhoneBookPath(const std::string& bookName)
{
    // A book the phone book editor shows is handed over by its full path: that very file, wherever
    // it lies and however its extension is written, but never one made up where none is.
    if (!bookName.empty() && bookName.front() == '/') {
        const bool book = IsBookFileName(platform::fileNameOf(bookName)) && platform::pathExists(bookName) &&
                          !platform::isDirectory(bookName);
        return book ? bookName : std::string();
    }
    if (!IsBookFileName(bookName))
        return {};
    const std::string folder = GetPhoneBookDirectory();
    const std::string path = platform::joinPath(folder, bookName + ".xml");
    if (platform::pathExists(path))
        return path;
    // The listing takes "*.xml" without regard to case: the file it listed is the book's.
    for (const std::string& name : platform::listFiles(folder, "*.xml"))
        if (name.size() == bookName.size() + 4 && name.compare(0, bookName.size(), bookName) == 0)
            return platform::joinPath(folder, name);
    return path;
}

std::string CPickerPhoneBook::GetSearchPath() { return platform::joinPath(GetPhoneBookDirectory(), "#search.xml"); }

int CPickerPhoneBook::Reset()
{
    m_bSearchInitiated = 0;
    m_pResults.reset();
    m_pSearch.reset();
    return CPhoneBook::Reset();
}

// ---- search ----

int CPickerPhoneBook::InitiateSearch(int)
{
    try {
        // Each search state starts empty: results of another run are never taken for this one's.
        const IDocumentPtr doc = NewDocument();
        Check(LoadXMLFromResource(IDR_SEARCH, doc) != 0, "InitiateSearch");
        m_pSearch = doc;
        m_pResults = doc->selectNodes("/system/search/records/record");
        m_bSearchInitiated = 1;
        Check(SaveXMLToFile(GetSearchPath(), doc) != 0, "InitiateSearch");
        return 1;
    } catch (...) {
        return 0;
    }
}

INodeListPtr CPickerPhoneBook::QueryRecords(int32_t folderId, const char* text, int mask)
{
    if (!m_bInitiated)
        return nullptr;
    try {
        if (text || !m_bSearchInitiated)
            Check(InitiateSearch(text ? 1 : 0) == 1, "QueryRecords");
        const INodePtr records = m_pSearch->selectSingleNode(kPathSearchRecords);
        Check(static_cast<bool>(records), "QueryRecords");
        if (!text)
            return m_pResults;

        const INodePtr folder = FindFolder(folderId);
        Check(static_cast<bool>(folder), "QueryRecords");
        const std::vector<TextList*> lists = m_pText->folderLists(folder);
        Check(!lists.empty(), "QueryRecords");
        // Texts are compared as UTF-8, so a part never starts or ends inside a character.
        const std::string wanted = ConvertFromCodePage(text, m_nCodePage);
        auto contains = [&](const std::string& stored) {
            return ConvertFromCodePage(stored, m_nCodePage).find(wanted) != std::string::npos;
        };
        for (const TextList* list : lists)
            for (const Chunk& chunk : list->chunks) {
                if (!chunk.hasElement())
                    continue;
                const INodePtr entry = m_pSearch->loadXML(DOMString(chunk.elementXml().c_str()), true);
                if (!entry || entry->getNodeName() != "record")
                    continue;
                const INodePtr nameNode = childNamed(entry, "name");
                const INodePtr idNode = childNamed(entry, "id");
                if (!idNode)
                    continue;
                const IElementPtr idElement(dynamic_cast<IElement*>(idNode.get()));
                const std::string type = TextOf(idElement->getAttribute("type"));
                const int kind = type == "fax" ? PB_MASK_FAX : type == "ifax" ? PB_MASK_IFAX : type == "group" ? PB_MASK_GROUP : 0;
                if (!(kind & mask))
                    continue;
                bool found = nameNode && contains(Decode(nameNode));
                if (!found && kind != PB_MASK_GROUP) {
                    // The retrieval characters; a record without them (or without a profile) is no match.
                    int32_t id = 0;
                    const INodePtr kindElement = IsCanonicalId(Decode(idNode), id) ? KindElement(FindProfile(id)) : nullptr;
                    const INodePtr initial = kindElement ? ValueElement(kindElement, "initial") : nullptr;
                    found = initial && contains(Decode(initial));
                }
                if (found)
                    records->appendChild(entry);
            }
        Check(SaveXMLToFile(GetSearchPath(), m_pSearch) != 0, "QueryRecords");
        m_pResults = records->selectNodes("*");
        return m_pResults;
    } catch (...) {
        // A failed search leaves the empty state it started from: the file was written before the
        // search began and the current result list is still empty.
        return nullptr;
    }
}

int32_t CPickerPhoneBook::GetSearchCount(const INodeListPtr& list) const
{
    return list && list == m_pResults ? list->getLength() : -1;
}

int32_t CPickerPhoneBook::GetSearchRecordID(const INodeListPtr& list, int32_t index) const
{
    try {
        if (index < 0 || index >= GetSearchCount(list))
            return 0;
        const INodePtr id = childNamed(list->item(index), "id");
        return id ? ToNumber(Decode(id)) : 0;
    } catch (...) {
        return 0;
    }
}

// ---- folders ----

int CPickerPhoneBook::FindFolder(const std::string& name)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodeListPtr folders = m_pRoot->selectNodes(kPathUserFolders);
        for (int32_t i = 0; i < folders->getLength(); ++i) {
            const INodePtr value = folders->item(i)->selectSingleNode(kPathFolderName);
            if (value && Decode(value) == name)
                return 1;
        }
    } catch (...) {
    }
    return 0;
}

int CPickerPhoneBook::CreateNewFolder(const std::string& name, int32_t& newId)
{
    int32_t id = 0;
    const int done = Change("CreateNewFolder", [&] {
        const INodePtr folders = m_pRoot->selectSingleNode("/system/folders");
        const INodePtr counter = m_pRoot->selectSingleNode(kPathCounter);
        Check(folders && counter, "CreateNewFolder");
        std::string text;
        Check(LoadHtmlResource(IDR_FOLDER, text) != 0, "CreateNewFolder");
        const INodePtr folder = m_pDoc->loadXML(DOMString(text.c_str()), true);
        Check(static_cast<bool>(folder), "CreateNewFolder");
        id = ChooseNewId();
        const IElementPtr element(dynamic_cast<IElement*>(folder.get()));
        const INodePtr idValue = folder->selectSingleNode(kPathFolderId);
        const INodePtr nameValue = folder->selectSingleNode(kPathFolderName);
        Check(element && idValue && nameValue, "CreateNewFolder");
        element->setAttribute("id", DOMString(IdText(id).c_str()));
        idValue->setText(DOMString(Encode(IdText(id)).c_str()));
        const std::string encodedName = Encode(name);
        nameValue->setText(DOMString(encodedName.data(), encodedName.size()));

        Touch();
        folders->appendChild(folder);
        m_pText->addFolder(folder, [this](const std::string& stored) { return DecodeStored(stored); });
        counter->setText(DOMString(Encode(IdText(id)).c_str()));
        SaveBook();
        m_nNewID = std::max(m_nNewID, id); // only once saved: a failed save leaves the counter too
    });
    if (done)
        newId = id;
    return done;
}

// ---- book files ----

int CPickerPhoneBook::CreatePhoneBook(const std::string& bookName)
{
    try {
        const std::string path = GetPhoneBookPath(bookName);
        // An existing file is never replaced, whether it is a phone book or not.
        if (path.empty() || platform::pathExists(path))
            return 0;
        return Initiate(path, 1);
    } catch (...) {
        return 0;
    }
}

int CPickerPhoneBook::DeletePhoneBook(const std::string& bookName)
{
    try {
        const std::string path = GetPhoneBookPath(bookName);
        if (path.empty())
            return 0;
        const platform::FileLock lock(path);
        return lock.locked() && IsPhoneBookFile(path) && platform::removeFile(path) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
