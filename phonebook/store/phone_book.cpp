// The phone book store: files and templates, opening, listing, and every read.
#include "phonebook/store/phone_book.h"

#include "common/data_folders.h"
#include "common/xml_value.h"
#include "phonebook/store/phone_book_paths.h"
#include "phonebook/store/templates.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace mfpif_Halvet_R1;

namespace {

// What one phone book file may hold: far beyond any real book, small enough to parse.
constexpr size_t kMaxBookFile = 1u << 30;
// The quick test reads no more than this of a file.
constexpr size_t kQuickTestBytes = 260;

std::string textOf(const DOMString& s) { return std::string(s.data(), s.size()); }

} // namespace

// ---- helpers shared with the changing operations ----

namespace phonebook {

int32_t ToNumber(const std::string& text)
{
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

std::string IdText(int32_t id) { return std::to_string(id); }

bool IsCanonicalId(const std::string& text, int32_t& id)
{
    if (text.empty() || text.size() > 11)
        return false;
    id = ToNumber(text);
    return IdText(id) == text;
}

INodePtr KindElement(const INodePtr& profile)
{
    for (INodePtr n = profile ? profile->getFirstChild() : nullptr; n; n = n->getNextSibling())
        if (n->getNodeType() == ELEMENT_NODE)
            return n;
    return nullptr;
}

namespace {

// The first element child named name at or after n, or null.
INodePtr nextNamed(INodePtr n, const char* name, size_t length)
{
    for (; n; n = n->getNextSibling())
        if (n->getNodeType() == ELEMENT_NODE) {
            const DOMString nodeName = n->getNodeName();
            if (nodeName.size() == length && nodeName.compare(0, length, name) == 0)
                return n;
        }
    return nullptr;
}

} // namespace

INodePtr ValueElement(const INodePtr& kind, const std::string& key)
{
    for (INodePtr k = nextNamed(kind->getFirstChild(), key.data(), key.size()); k;
         k = nextNamed(k->getNextSibling(), key.data(), key.size()))
        for (INodePtr d = nextNamed(k->getFirstChild(), "data", 4); d; d = nextNamed(d->getNextSibling(), "data", 4))
            if (INodePtr v = nextNamed(d->getFirstChild(), "value", 5))
                return v;
    return nullptr;
}

int32_t KindType(const std::string& kind)
{
    if (kind == "fax")
        return PB_RECORD_FAX;
    if (kind == "ifax")
        return PB_RECORD_IFAX;
    if (kind == "group")
        return PB_RECORD_GROUP;
    return -1;
}

const char* KindName(int32_t type)
{
    switch (type) {
    case PB_RECORD_FAX:
        return "fax";
    case PB_RECORD_IFAX:
        return "ifax";
    case PB_RECORD_GROUP:
        return "group";
    default:
        return nullptr;
    }
}

bool IsBookFileName(const std::string& name)
{
    return !name.empty() && name != ".." && name[0] != '.' && name[0] != '#' && name.find('/') == std::string::npos
        && name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

INodePtr ParseInto(const IDocumentPtr& doc, const std::string& text)
{
    // The parser stops at the first zero byte, as a text read from a file does.
    const size_t end = std::min(text.size(), std::strlen(text.c_str()));
    INodePtr root = doc->loadXML(DOMString(text.data(), end), true);
    if (root)
        doc->appendChild(root);
    return root;
}

IDocumentPtr NewDocument()
{
    IDocumentPtr doc(createDocument());
    if (!doc)
        throw std::bad_alloc();
    return doc;
}

} // namespace phonebook

using namespace phonebook;

// ---- construction ----

CPhoneBook::CPhoneBook(uint32_t codePage) : m_nCodePage(codePage) {}

CPhoneBook::~CPhoneBook() = default;

void CPhoneBook::Check(bool ok, const char* operation)
{
    if (!ok)
        throw Failure{operation};
}

std::string CPhoneBook::Encode(const std::string& text) const { return EncodeXmlValue(text, 1, m_nCodePage); }

std::string CPhoneBook::Decode(const INodePtr& node) const
{
    return node ? DecodeXmlValue(textOf(node->getText()), 1, m_nCodePage) : std::string();
}

// ---- files and templates ----

int CPhoneBook::ReadTextFile(const std::string& path, std::string& text)
{
    try {
        if (platform::readFile(platform::nativePath(path), text, kMaxBookFile) != platform::ReadStatus::Ok)
            return 0;
        text.resize(std::strlen(text.c_str()));
        return 1;
    } catch (...) {
        text.clear();
        return 0;
    }
}

int CPhoneBook::LoadXMLFromFile(const std::string& path, const IDocumentPtr& doc)
{
    try {
        std::string text;
        return doc && ReadTextFile(path, text) && ParseInto(doc, text) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int CPhoneBook::SaveXMLToFile(const std::string& path, const IDocumentPtr& doc)
{
    try {
        if (!doc)
            return 0;
        const DOMString text = doc->getXML();
        return !text.empty() && platform::writeFileAtomic(platform::nativePath(path), std::string_view(text.data(), text.size()))
            ? 1
            : 0;
    } catch (...) {
        return 0;
    }
}

int CPhoneBook::LoadHtmlResource(int id, std::string& text)
{
    const char* t = PhoneBookTemplate(id);
    text = t ? t : "";
    return text.empty() ? 0 : 1;
}

int CPhoneBook::LoadXMLFromResource(int id, const IDocumentPtr& doc)
{
    try {
        std::string text;
        return doc && LoadHtmlResource(id, text) && ParseInto(doc, text) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

std::string CPhoneBook::GetRecordFilePath(int32_t id)
{
    char name[16];
    std::snprintf(name, sizeof name, "#%08x.xml", static_cast<unsigned>(id));
    return platform::joinPath(GetPhoneBookDirectory(), name);
}

int32_t CPhoneBook::GetNewID() const { return m_nNewID < INT32_MAX ? m_nNewID + 1 : 0; }

int CPhoneBook::IsPhoneBookFile(const std::string& path, int full)
{
    try {
        const std::string file = platform::nativePath(path);
        if (full) {
            const IDocumentPtr doc = NewDocument();
            return LoadXMLFromFile(file, doc) && doc->selectSingleNode(kPathVersion) ? 1 : 0;
        }
        std::string head;
        if (platform::readFilePrefix(file, head, kQuickTestBytes) != platform::ReadStatus::Ok)
            return 0;
        return head.find("<system>") != std::string::npos && head.find("<version>1.0</version>") != std::string::npos ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// ---- opening ----

struct CPhoneBook::Loaded {
    IDocumentPtr doc;
    int32_t counter = 0;
    platform::FileStamp stamp;
};

CPhoneBook::Loaded CPhoneBook::LoadBook(const std::string& path) const
{
    Loaded book;
    std::string text;
    Check(platform::readFile(path, text, kMaxBookFile, nullptr, &book.stamp) == platform::ReadStatus::Ok, "LoadPhoneBook");
    book.doc = NewDocument();
    Check(static_cast<bool>(ParseInto(book.doc, text)), "LoadXMLFromFile");
    Check(static_cast<bool>(book.doc->selectSingleNode(kPathVersion)), "LoadPhoneBook");
    const std::string counter = Decode(book.doc->selectSingleNode(kPathCounter));
    Check(!counter.empty(), "LoadPhoneBook");
    book.counter = ToNumber(counter);
    return book;
}

void CPhoneBook::Adopt(Loaded&& book)
{
    m_pDoc = std::move(book.doc);
    m_pRoot = m_pDoc->getDocumentElement();
    m_nNewID = std::max(m_nNewID, book.counter);
    m_stamp = book.stamp;
    m_profileIndex.clear();
    m_bIndexValid = false;
}

int CPhoneBook::LoadPhoneBook(const std::string& path, const IDocumentPtr& doc)
{
    try {
        if (!doc)
            return 0;
        Loaded book = LoadBook(platform::nativePath(path));
        INodePtr root = book.doc->getDocumentElement();
        book.doc->removeChild(root);
        doc->appendChild(root);
        m_nNewID = book.counter;
        return 1;
    } catch (...) {
        return 0;
    }
}

int CPhoneBook::Initiate(const std::string& path, int reload)
{
    if (m_bInitiated) {
        if (reload != 1)
            return 1;
        Reset();
    }
    try {
        const std::string file = platform::nativePath(path);
        Check(IsBookFileName(platform::fileNameOf(file)), "Initiate");
        Check(platform::isDirectory(platform::parentPath(file)), "Initiate");
        m_nNewID = 10;
        if (!platform::pathExists(file)) {
            // A new book: made from the template under the book's lock, unless another program
            // made it meanwhile.
            const platform::FileLock lock(file);
            Check(lock.locked(), "Initiate");
            if (!platform::pathExists(file)) {
                const IDocumentPtr doc = NewDocument();
                Check(LoadXMLFromResource(IDR_PHONEBOOK, doc) != 0, "LoadXMLFromResource");
                Check(SaveXMLToFile(file, doc) != 0, "SaveXMLToFile");
            }
        }
        Loaded book = LoadBook(file);
        m_nNewID = 10;
        Adopt(std::move(book));
        m_strPath = file;
        m_bInitiated = 1;
        return 1;
    } catch (...) {
        Reset();
        return 0;
    }
}

int CPhoneBook::Reset()
{
    m_bInitiated = 0;
    m_pRecords.reset();
    m_pFolders.reset();
    m_recordHandle = m_folderHandle = PhoneBookList::None;
    return 1;
}

void CPhoneBook::Refresh()
{
    if (platform::fileStamp(m_strPath) == m_stamp)
        return;
    Adopt(LoadBook(m_strPath));
}

void CPhoneBook::RestoreFromFile()
{
    try {
        const platform::FileLock lock(m_strPath);
        Adopt(LoadBook(m_strPath));
    } catch (...) {
        Reset();
    }
}

void CPhoneBook::SaveBook()
{
    const DOMString text = m_pDoc->getXML();
    Check(!text.empty(), "SaveXMLToFile");
    Check(platform::writeFileAtomic(m_strPath, std::string_view(text.data(), text.size())), "SaveXMLToFile");
    m_stamp = platform::fileStamp(m_strPath);
}

// ---- listing the books ----

namespace {

// The "*.xml" files of the phone book directory, sorted by name without regard to case.
std::vector<std::string> bookCandidates(std::string& folder)
{
    folder = GetPhoneBookDirectory();
    std::vector<std::string> names = platform::listFiles(folder, "*.xml");
    std::stable_sort(names.begin(), names.end(), platform::NoCaseLess());
    return names;
}

} // namespace

int32_t CPhoneBook::CountPhoneBooks()
{
    try {
        std::string folder;
        const std::vector<std::string> names = bookCandidates(folder);
        if (names.empty())
            return -1;
        int32_t count = 0;
        for (const std::string& name : names)
            count += IsPhoneBookFile(platform::joinPath(folder, name));
        return count;
    } catch (...) {
        return -1;
    }
}

int CPhoneBook::GetPhoneBookPath(int32_t index, std::string& path, std::time_t& lastWrite)
{
    try {
        std::string folder;
        int32_t seen = 0;
        for (const std::string& name : bookCandidates(folder)) {
            const std::string file = platform::joinPath(folder, name);
            if (!IsPhoneBookFile(file))
                continue;
            if (seen++ == index) {
                const platform::FileStamp stamp = platform::fileStamp(file);
                path = file;
                lastWrite = static_cast<std::time_t>(stamp.modifiedNs / 1000000000LL);
                return 1;
            }
        }
    } catch (...) {
    }
    return 0;
}

// ---- lookups ----

INodePtr CPhoneBook::ProfilesElement() const { return m_pRoot->selectSingleNode(kPathProfiles); }

void CPhoneBook::RebuildIndex()
{
    m_profileIndex.clear();
    m_bIndexValid = false;
    const INodeListPtr profiles = m_pRoot->selectNodes(kPathAllProfiles);
    const int32_t n = profiles->getLength();
    m_profileIndex.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        const INodePtr p = profiles->item(i);
        const IElementPtr e(dynamic_cast<IElement*>(p.get()));
        int32_t id = 0;
        if (e && IsCanonicalId(textOf(e->getAttribute("id")), id))
            m_profileIndex.emplace(id, p.get()); // the first profile of an id is the one found
    }
    m_bIndexValid = true;
}

INodePtr CPhoneBook::FindProfile(int32_t id)
{
    if (!m_bIndexValid)
        RebuildIndex();
    const auto it = m_profileIndex.find(id);
    return it == m_profileIndex.end() ? nullptr : INodePtr(it->second);
}

INodePtr CPhoneBook::FindFolder(int32_t id) const
{
    return m_pRoot->selectSingleNode((std::string(kPathFolders) + "[@id='" + IdText(id) + "']").c_str());
}

PhoneBookList CPhoneBook::NextHandle()
{
    m_nLastHandle = m_nLastHandle == INT32_MAX ? 1 : m_nLastHandle + 1;
    return static_cast<PhoneBookList>(m_nLastHandle);
}

// ---- folders ----

PhoneBookList CPhoneBook::FindFolders()
{
    if (!m_bInitiated)
        return PhoneBookList::None;
    try {
        INodeListPtr list = m_pRoot->selectNodes(kPathFolders);
        Check(static_cast<bool>(list), "FAILED - selectNodes");
        m_pFolders = std::move(list);
        m_folderHandle = NextHandle();
        return m_folderHandle;
    } catch (...) {
        return PhoneBookList::None;
    }
}

int32_t CPhoneBook::GetFolderListCount(PhoneBookList list) const
{
    return m_bInitiated && m_pFolders && list != PhoneBookList::None && list == m_folderHandle ? m_pFolders->getLength()
                                                                                            : -1;
}

int32_t CPhoneBook::GetFolderID(PhoneBookList list, int32_t index)
{
    try {
        if (GetFolderListCount(list) < 0)
            return 0;
        const INodePtr folder = m_pFolders->item(index);
        return folder ? ToNumber(Decode(folder->selectSingleNode(kPathFolderId))) : 0;
    } catch (...) {
        return 0;
    }
}

void CPhoneBook::CloseFolders(PhoneBookList)
{
    m_pFolders.reset();
    m_folderHandle = PhoneBookList::None;
}

int CPhoneBook::GetFolderInfo(int32_t folderId, int32_t& type, std::string& name)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodePtr folder = FindFolder(folderId);
        Check(static_cast<bool>(folder), "GetFolderInfo");
        const std::string kind = textOf(folder->getNodeName());
        const int32_t t = kind == "root" ? PB_FOLDER_ROOT : kind == "favorite" ? PB_FOLDER_FAVORITE
                                                           : kind == "folder" ? PB_FOLDER_USER
                                                                              : -1;
        Check(t > 0, "GetFolderInfo");
        const INodePtr n = folder->selectSingleNode(kPathFolderName);
        Check(static_cast<bool>(n), "GetFolderInfo");
        name = Decode(n);
        type = t;
        return 1;
    } catch (...) {
        return 0;
    }
}

// ---- records ----

PhoneBookList CPhoneBook::FindRecords(int32_t folderId, int mask)
{
    if (!m_bInitiated)
        return PhoneBookList::None;
    try {
        const INodePtr folder = FindFolder(folderId);
        Check(static_cast<bool>(folder), "FindRecords");
        std::string predicate;
        const std::pair<int, const char*> kinds[] = {{PB_MASK_FAX, "fax"}, {PB_MASK_IFAX, "ifax"}, {PB_MASK_GROUP, "group"}};
        for (const auto& [bit, kind] : kinds)
            if (mask & bit)
                predicate += std::string(predicate.empty() ? "" : " or ") + "id/@type='" + kind + "'";
        Check(!predicate.empty(), "FindRecords");
        INodeListPtr list = folder->selectNodes(("records/record[" + predicate + "]").c_str());
        Check(static_cast<bool>(list), "FindRecords");
        m_pRecords = std::move(list);
        m_recordHandle = NextHandle();
        return m_recordHandle;
    } catch (...) {
        return PhoneBookList::None;
    }
}

int32_t CPhoneBook::GetRecordListCount(PhoneBookList list) const
{
    return m_bInitiated && m_pRecords && list != PhoneBookList::None && list == m_recordHandle ? m_pRecords->getLength()
                                                                                            : -1;
}

int32_t CPhoneBook::GetRecordListID(PhoneBookList list, int32_t index)
{
    try {
        if (GetRecordListCount(list) < 0)
            return 0;
        const INodePtr entry = m_pRecords->item(index);
        const INodePtr id = entry ? entry->selectSingleNode("id") : nullptr;
        return id ? ToNumber(Decode(id)) : 0;
    } catch (...) {
        return 0;
    }
}

void CPhoneBook::CloseRecords(PhoneBookList)
{
    m_pRecords.reset();
    m_recordHandle = PhoneBookList::None;
}

int CPhoneBook::GetRecordInfo(int32_t id, int32_t& type, std::string& name, int32_t& parentId)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodePtr kind = KindElement(FindProfile(id));
        Check(static_cast<bool>(kind), "GetRecordInfo");
        const int32_t t = KindType(textOf(kind->getNodeName()));
        Check(t >= 0, "GetRecordInfo");
        const INodePtr fullName = ValueElement(kind, "fullName");
        const INodePtr parent = ValueElement(kind, "parentID");
        Check(fullName && parent, "GetRecordInfo");
        name = Decode(fullName);
        parentId = ToNumber(Decode(parent));
        type = t;
        return 1;
    } catch (...) {
        return 0;
    }
}

int CPhoneBook::GetRecordValue(int32_t id, const std::string& key, std::string& value)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodePtr kind = KindElement(FindProfile(id));
        Check(static_cast<bool>(kind), "GetRecordValue");
        const INodePtr node = IsStoredKeyName(key) ? ValueElement(kind, key) : nullptr;
        if (!node) {
            value.clear();
            return 0;
        }
        value = Decode(node);
        return 1;
    } catch (...) {
        return 0;
    }
}

int32_t CPhoneBook::GetRecordCount(int32_t groupId)
{
    if (!m_bInitiated)
        return -1;
    try {
        const INodePtr kind = KindElement(FindProfile(groupId));
        Check(kind && textOf(kind->getNodeName()) == "group", "GetRecordCount");
        return kind->selectNodes("records/record")->getLength();
    } catch (...) {
        return -1;
    }
}

int32_t CPhoneBook::GetRecordID(int32_t groupId, int32_t index)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodePtr kind = KindElement(FindProfile(groupId));
        Check(kind && textOf(kind->getNodeName()) == "group", "GetRecordID");
        const INodePtr entry = kind->selectNodes("records/record")->item(index);
        const INodePtr id = entry ? entry->selectSingleNode("id") : nullptr;
        return id ? ToNumber(Decode(id)) : 0;
    } catch (...) {
        return 0;
    }
}
