// The phone book store: files and templates, opening, listing, and every read.
#include "phonebook/store/phone_book.h"

#include "common/data_folders.h"
#include "common/xml_value.h"
#include "phonebook/store/book_text.h"
#include "phonebook/store/phone_book_paths.h"
#include "phonebook/store/templates.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14
#endif

using namespace mfpif_Halvet_R1;

namespace {

// What one phone book file may hold: far beyond any real book, small enough to parse.
constexpr size_t kMaxBookFile = 1u << 30;
// The quick test reads no more than this of a file.
constexpr size_t kQuickTestBytes = 260;

} // namespace

// ---- helpers shared with the changing operations ----

namespace phonebook {

std::string TextOf(const DOMString& text) { return std::string(text.data(), text.size()); }

std::string XmlOf(const INodePtr& node) { return TextOf(node->getXML()); }

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
    return !name.empty() && name[0] != '.' && name[0] != '#' && name.find('/') == std::string::npos
        && name.find('\\') == std::string::npos
        && std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string_view ParsedPart(const std::string& text)
{
    return std::string_view(text.data(), std::min(text.size(), std::strlen(text.c_str())));
}

INodePtr ParseInto(const IDocumentPtr& doc, const std::string& text)
{
    const std::string_view parsed = ParsedPart(text);
    INodePtr root = doc->loadXML(DOMString(parsed.data(), parsed.size()), true);
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

CPhoneBook::CPhoneBook(uint32_t codePage) : m_pText(std::make_unique<BookText>()), m_nCodePage(codePage) {}

CPhoneBook::~CPhoneBook() = default;

void CPhoneBook::Check(bool ok, const char* operation)
{
    if (!ok)
        throw Failure{operation};
}

std::string CPhoneBook::Encode(const std::string& text) const { return EncodeXmlValue(text, 1, m_nCodePage); }

std::string CPhoneBook::DecodeStored(const std::string& stored) const { return DecodeXmlValue(stored, 1, m_nCodePage); }

std::string CPhoneBook::Decode(const INodePtr& node) const
{
    return node ? DecodeXmlValue(TextOf(node->getText()), 1, m_nCodePage) : std::string();
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
    std::unique_ptr<BookText> text; ///< the lists, when they were taken as text
    int32_t counter = 0;
    platform::FileStamp stamp;
};

namespace {
// The text of a large book file in a block whose pages are brought in in one step. The C library
// maps a block this large afresh for every read and faults it in page by page; a book of tens of
// thousands of records paid more for that than for anything else of its open that grows with it.
class LargeText {
public:
    static constexpr size_t kLarge = size_t{32} << 20;

    LargeText() = default;
    LargeText(const LargeText&) = delete;
    LargeText& operator=(const LargeText&) = delete;
    ~LargeText()
    {
        std::free(data_);
    }

    /// False for a file below kLarge (left to readFile) and when it cannot be read.
    bool read(const std::string& path, platform::FileStamp& stamp)
    {
        const platform::FileDescriptor file(platform::openRegularFile(path, O_RDONLY));
        struct stat st {};
        if (!file.valid() || ::fstat(file.get(), &st) != 0 || static_cast<uint64_t>(st.st_size) < kLarge
            || static_cast<uint64_t>(st.st_size) > kMaxBookFile)
            return false;
        stamp = platform::openFileStamp(file.get()); // taken before the read, as readFile does
        mapped_ = static_cast<size_t>(st.st_size) + 1; // a zero after the text
        data_ = static_cast<char*>(std::malloc(mapped_));
        if (!data_)
            return false;
        // Hints only: without them the read faults the pages in one by one.
        auto inner = [this](uintptr_t unit, auto&& advise) {
            const uintptr_t first = (reinterpret_cast<uintptr_t>(data_) + unit - 1) & ~(unit - 1);
            const uintptr_t last = (reinterpret_cast<uintptr_t>(data_) + mapped_) & ~(unit - 1);
            if (last > first)
                advise(reinterpret_cast<void*>(first), last - first);
        };
        inner(uintptr_t{2} << 20, [](void* p, size_t n) { ::madvise(p, n, MADV_HUGEPAGE); });
        inner(static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE)), [](void* p, size_t n) { ::madvise(p, n, MADV_POPULATE_WRITE); });
        size_t done = 0;
        while (done + 1 < mapped_) {
            const ssize_t n = ::pread(file.get(), data_ + done, mapped_ - 1 - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || (n == 0 && done + 1 < mapped_)) {
                std::free(data_); // changed under us: read the ordinary way
                data_ = nullptr;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        data_[mapped_ - 1] = '\0';
        return true;
    }
    bool valid() const { return data_ != nullptr; }
    /// The text up to its first zero byte, as ParsedPart.
    std::string_view parsed() const { return std::string_view(data_, std::strlen(data_)); }

private:
    char* data_ = nullptr;
    size_t mapped_ = 0;
};
} // namespace

CPhoneBook::Loaded CPhoneBook::LoadBook(const std::string& path, bool listsAsText) const
{
    Loaded book;
    // The text read stays with the lists taken from it: their children point into it rather than
    // each holding a copy.
    const auto large = std::make_shared<LargeText>();
    const auto text = std::make_shared<std::string>();
    Check(large->read(path, book.stamp)
              || platform::readFile(path, *text, kMaxBookFile, nullptr, &book.stamp) == platform::ReadStatus::Ok,
          "LoadPhoneBook");
    book.doc = NewDocument();
    if (listsAsText) {
        book.text = std::make_unique<BookText>();
        const Decoder decode = [this](const std::string& stored) { return DecodeStored(stored); };
        std::shared_ptr<const void> source = large->valid() ? std::shared_ptr<const void>(large) : text;
        Check(static_cast<bool>(book.text->load(book.doc, large->valid() ? large->parsed() : ParsedPart(*text),
                                                std::move(source), decode)),
              "LoadXMLFromFile");
    } else {
        if (large->valid())
            text->assign(large->parsed());
        Check(static_cast<bool>(ParseInto(book.doc, *text)), "LoadXMLFromFile");
    }
    Check(static_cast<bool>(book.doc->selectSingleNode(kPathVersion)), "LoadPhoneBook");
    const std::string counter = Decode(book.doc->selectSingleNode(kPathCounter));
    Check(!counter.empty(), "LoadPhoneBook");
    book.counter = ToNumber(counter);
    return book;
}

void CPhoneBook::Adopt(Loaded&& book)
{
    m_nParsedId = 0;
    m_pParsed.reset();
    m_pText = std::move(book.text);
    m_pDoc = std::move(book.doc);
    m_pRoot = m_pDoc->getDocumentElement();
    m_nNewID = std::max(m_nNewID, book.counter);
    m_stamp = book.stamp;
}

int CPhoneBook::LoadPhoneBook(const std::string& path, const IDocumentPtr& doc)
{
    try {
        if (!doc)
            return 0;
        Loaded book = LoadBook(platform::nativePath(path), false);
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
        if (m_pDoc && file == m_strPath && platform::fileStamp(file) == m_stamp) {
            // Opened again while the file is the one read last: the book in memory is that file.
            m_bInitiated = 1;
            return 1;
        }
        Loaded book = LoadBook(file, true);
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
    m_recordIds.clear();
    m_pFolders.reset();
    m_recordHandle = m_folderHandle = PhoneBookList::None;
    return 1;
}

void CPhoneBook::Refresh()
{
    if (platform::fileStamp(m_strPath) == m_stamp)
        return;
    Adopt(LoadBook(m_strPath, true));
    m_bSwept = false; // another writer was here: what a dead one left is looked for again
}

void CPhoneBook::RestoreFromFile()
{
    try {
        const platform::FileLock lock(m_strPath);
        Adopt(LoadBook(m_strPath, true));
    } catch (...) {
        Reset();
        m_pDoc.reset(); // the book in memory may be half changed: never used again
    }
}

void CPhoneBook::SaveBook()
{
    // The text goes to the new file as it is made, through a buffer of its own: a large book's
    // whole text is never held in memory besides the book.
    constexpr size_t kBuffer = 1u << 20;
    platform::FileReplacement file = platform::FileReplacement::create(m_strPath);
    Check(file.valid(), "SaveXMLToFile");
    std::string buffer;
    buffer.reserve(kBuffer);
    size_t written = 0;
    bool ok = true;
    auto flush = [&] {
        ok = ok && platform::writeAll(file.fd(), buffer);
        written += buffer.size();
        buffer.clear();
    };
    m_pText->write(m_pRoot, [&](std::string_view piece) {
        if (buffer.size() + piece.size() > kBuffer)
            flush();
        if (piece.size() >= kBuffer) {
            ok = ok && platform::writeAll(file.fd(), piece);
            written += piece.size();
        } else {
            buffer.append(piece);
        }
    });
    flush();
    Check(written > 0, "SaveXMLToFile");
    Check(ok && file.commit(true), "SaveXMLToFile");
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

bool CPhoneBook::ListPhoneBooks(std::vector<BookFile>& books)
{
    books.clear();
    try {
        std::string folder;
        const std::vector<std::string> names = bookCandidates(folder);
        for (const std::string& name : names) {
            const std::string file = platform::joinPath(folder, name);
            if (!IsPhoneBookFile(file))
                continue;
            const platform::FileStamp stamp = platform::fileStamp(file);
            books.push_back({file, static_cast<std::time_t>(stamp.modifiedNs / 1000000000LL)});
        }
        return !names.empty();
    } catch (...) {
        books.clear();
        return false;
    }
}

int32_t CPhoneBook::CountPhoneBooks()
{
    std::vector<BookFile> books;
    return ListPhoneBooks(books) ? static_cast<int32_t>(books.size()) : -1;
}

int CPhoneBook::GetPhoneBookPath(int32_t index, std::string& path, std::time_t& lastWrite)
{
    std::vector<BookFile> books;
    if (!ListPhoneBooks(books) || index < 0 || static_cast<size_t>(index) >= books.size())
        return 0;
    path = books[static_cast<size_t>(index)].path;
    lastWrite = books[static_cast<size_t>(index)].lastWrite;
    return 1;
}

int32_t CPhoneBook::GetPhoneBookCount()
{
    // The directory's stamp is taken first: a change while listing makes the next answer list again.
    m_strBooksFolder = GetPhoneBookDirectory();
    m_booksStamp = platform::fileStamp(m_strBooksFolder);
    const bool any = ListPhoneBooks(m_books);
    m_bListed = true;
    return any ? static_cast<int32_t>(m_books.size()) : -1;
}

int CPhoneBook::GetPhoneBookInfo(int32_t index, std::string& path, std::time_t& lastWrite)
{
    if (!m_bListed || platform::fileStamp(m_strBooksFolder) != m_booksStamp)
        GetPhoneBookCount();
    if (index < 0 || static_cast<size_t>(index) >= m_books.size())
        return 0;
    path = m_books[static_cast<size_t>(index)].path;
    lastWrite = m_books[static_cast<size_t>(index)].lastWrite;
    return 1;
}

// ---- lookups ----

INodePtr CPhoneBook::FindProfile(int32_t id)
{
    if (m_pParsed && m_nParsedId == id)
        return m_pParsed->getDocumentElement();
    m_pParsed.reset();
    const Chunk* chunk = m_pText->profile(id);
    if (!chunk)
        return nullptr;
    const IDocumentPtr doc = NewDocument();
    if (!ParseInto(doc, chunk->elementXml()))
        return nullptr;
    m_pParsed = doc;
    m_nParsedId = id;
    return doc->getDocumentElement();
}

bool CPhoneBook::HasProfile(int32_t id) { return m_pText->profile(id) != nullptr; }

void CPhoneBook::StoreProfile(int32_t id, const INodePtr& profile)
{
    Chunk* chunk = m_pText->profile(id);
    Check(chunk != nullptr, "StoreProfile");
    const DOMString xml = profile->getXML();
    Touch();
    m_pParsed.reset();
    chunk->replaceElement(std::string_view(xml.data(), xml.size()));
    BookText::describeProfile(*chunk, profile);
    m_pText->changed();
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
        const std::string kind = TextOf(folder->getNodeName());
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
        // Entries whose id is of a kind in the mask; a mask of none of the kinds selects nothing.
        const int kinds = mask & (PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP);
        Check(kinds != 0, "FindRecords");
        std::vector<int32_t> ids;
        for (const TextList* list : m_pText->folderLists(folder))
            for (const Chunk& c : list->chunks)
                if (c.hasElement() && (c.kind & kinds))
                    ids.push_back(c.id);
        m_recordIds = std::move(ids);
        m_recordHandle = NextHandle();
        return m_recordHandle;
    } catch (...) {
        return PhoneBookList::None;
    }
}

int32_t CPhoneBook::GetRecordListCount(PhoneBookList list) const
{
    return m_bInitiated && list != PhoneBookList::None && list == m_recordHandle ? static_cast<int32_t>(m_recordIds.size())
                                                                                : -1;
}

int32_t CPhoneBook::GetRecordListID(PhoneBookList list, int32_t index)
{
    const int32_t count = GetRecordListCount(list);
    return index >= 0 && index < count ? m_recordIds[static_cast<size_t>(index)] : 0;
}

void CPhoneBook::CloseRecords(PhoneBookList)
{
    m_recordIds.clear();
    m_recordHandle = PhoneBookList::None;
}

int CPhoneBook::GetRecordInfo(int32_t id, int32_t& type, std::string& name, int32_t& parentId)
{
    if (!m_bInitiated)
        return 0;
    try {
        const INodePtr kind = KindElement(FindProfile(id));
        Check(static_cast<bool>(kind), "GetRecordInfo");
        const int32_t t = KindType(TextOf(kind->getNodeName()));
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
        Check(kind && TextOf(kind->getNodeName()) == "group", "GetRecordCount");
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
        Check(kind && TextOf(kind->getNodeName()) == "group", "GetRecordID");
        const INodePtr entry = kind->selectNodes("records/record")->item(index);
        const INodePtr id = entry ? entry->selectSingleNode("id") : nullptr;
        return id ? ToNumber(Decode(id)) : 0;
    } catch (...) {
        return 0;
    }
}
