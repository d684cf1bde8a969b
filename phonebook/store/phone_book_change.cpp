// The phone book store: making, committing, rewriting, moving and removing records, groups and
// folders.
#include "common/data_folders.h"
#include "common/xml_value.h"
#include "phonebook/store/book_text.h"
#include "phonebook/store/phone_book.h"
#include "phonebook/store/phone_book_paths.h"
#include "phonebook/store/templates.h"

#include <algorithm>
#include <climits>
#include <set>
#include <unordered_set>
#include <vector>

using namespace mfpif_Halvet_R1;
using namespace phonebook;

namespace {

constexpr size_t kMaxRecordFile = 16u << 20;

// The values UpdateRecordValue carries over, by record type.
const char* const kFaxKeys[] = {"initial",       "frequentlyUsed", "faxNumber",       "faxSubAddress",
                                "faxPassCode",   "faxFCode",       "receptionConfirm"};
const char* const kIfaxKeys[] = {"initial", "frequentlyUsed", "mailAddress", "receptionConfirm"};

// The ids a membership entry's id elements hold, exactly as a path's [id/text()='N'] finds them.
bool EntryHasId(const INodePtr& entry, const std::unordered_set<int32_t>& ids)
{
    for (INodePtr n = entry->getFirstChild(); n; n = n->getNextSibling()) {
        if (n->getNodeType() != ELEMENT_NODE || n->getNodeName() != "id")
            continue;
        for (INodePtr t = n->getFirstChild(); t; t = t->getNextSibling()) {
            int32_t id = 0;
            if (t->getNodeType() == TEXT_NODE && IsCanonicalId(TextOf(t->getNodeValue()), id) && ids.count(id))
                return true;
        }
    }
    return false;
}

// Removes the record entries under every list element of `lists` whose id is in ids; the number removed.
size_t RemoveEntries(const INodeListPtr& lists, const std::unordered_set<int32_t>& ids)
{
    size_t removed = 0;
    for (int32_t i = 0; i < lists->getLength(); ++i) {
        const INodePtr list = lists->item(i);
        std::vector<INodePtr> doomed;
        for (INodePtr n = list->getFirstChild(); n; n = n->getNextSibling())
            if (n->getNodeType() == ELEMENT_NODE && n->getNodeName() == "record" && EntryHasId(n, ids))
                doomed.push_back(n);
        for (const INodePtr& n : doomed)
            list->removeChild(n);
        removed += doomed.size();
    }
    return removed;
}

// The id of a record file's name "#%08x.xml", or 0 for any other name.
int32_t RecordFileId(const std::string& name)
{
    if (name.size() != 13 || name[0] != '#' || name.compare(9, 4, ".xml") != 0)
        return 0;
    int32_t id = 0;
    for (size_t i = 1; i < 9; ++i) {
        const char c = name[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return 0;
        id = static_cast<int32_t>((static_cast<uint32_t>(id) << 4) | static_cast<uint32_t>(digit));
    }
    return id > kFavoriteFolderId ? id : 0;
}

} // namespace

// ---- record files ----

platform::FileLock CPhoneBook::LockRecordFiles()
{
    return platform::FileLock(platform::joinPath(GetPhoneBookDirectory(), "#records"));
}

bool CPhoneBook::ClaimRecord(int32_t id)
{
    if (!m_pClaims)
        m_pClaims = std::make_unique<platform::Claims>(platform::joinPath(GetPhoneBookDirectory(), "#records.claims"));
    if (!m_pClaims->claim(static_cast<unsigned long>(id)))
        return false;
    m_making.insert(id);
    return true;
}

// A claim taken for one call: given up when the call fails, unless the store held it before.
class CPhoneBook::CallClaim {
public:
    CallClaim(CPhoneBook& book, int32_t id) : m_book(book), m_id(id), m_bHeld(book.m_making.count(id) != 0) {}
    CallClaim(const CallClaim&) = delete;
    CallClaim& operator=(const CallClaim&) = delete;
    ~CallClaim()
    {
        if (m_bHeld || m_bKept || !m_book.m_making.count(m_id))
            return;
        if (m_book.m_pClaims)
            m_book.m_pClaims->release(static_cast<unsigned long>(m_id));
        m_book.m_making.erase(m_id);
    }
    /// Claims the record (see ClaimRecord).
    bool Take() { return m_book.ClaimRecord(m_id); }
    /// The call succeeded: the claim stays (or its commit gave it up).
    void Keep() { m_bKept = true; }

private:
    CPhoneBook& m_book;
    int32_t m_id;
    bool m_bHeld;
    bool m_bKept = false;
};

void CPhoneBook::DropRecordFile(int32_t id)
{
    platform::removeFile(GetRecordFilePath(id));
    if (m_pClaims)
        m_pClaims->release(static_cast<unsigned long>(id));
    m_making.erase(id);
}

void CPhoneBook::SweepLeftovers()
{
    m_bSwept = true;
    try { // never a reason for the change that runs it to fail
        platform::removeStaleTemporaries(m_strPath);
        const platform::FileLock records = LockRecordFiles();
        if (!records.locked())
            return;
        // Record files, and the temporaries of record files, whose record no live store has in the making.
        const std::string folder = GetPhoneBookDirectory();
        std::set<int32_t> ids;
        for (const std::string& name : platform::listFiles(folder, "#*.xml"))
            if (const int32_t id = RecordFileId(name))
                ids.insert(id);
        for (const std::string& name : platform::listFiles(folder, ".#*.xml.tmp-*"))
            if (const int32_t id = RecordFileId(name.substr(1, 13)))
                ids.insert(id);
        for (const int32_t id : ids) {
            if (m_making.count(id) || !ClaimRecord(id))
                continue;
            platform::removeStaleTemporaries(GetRecordFilePath(id));
            DropRecordFile(id);
        }
    } catch (...) {
    }
}

int CPhoneBook::DiscardRecord(int32_t id)
{
    try {
        const platform::FileLock records = LockRecordFiles();
        if (!records.locked() || !ClaimRecord(id))
            return 0;
        DropRecordFile(id);
        return 1;
    } catch (...) {
        return 0;
    }
}

INodePtr CPhoneBook::MakeEntry(const IDocumentPtr& doc, const char* type, int32_t id, const std::string& encodedName) const
{
    const IElementPtr record = doc->createElement("record");
    const IElementPtr idElement = doc->createElement("id");
    idElement->setAttribute("type", type);
    idElement->setText(DOMString(Encode(IdText(id)).c_str()));
    const IElementPtr name = doc->createElement("name");
    name->setText(DOMString(encodedName.data(), encodedName.size()));
    record->appendChild(idElement);
    record->appendChild(name);
    return record;
}

IDocumentPtr CPhoneBook::LoadRecordFile(int32_t id) const
{
    std::string text;
    Check(platform::readFile(GetRecordFilePath(id), text, kMaxRecordFile) == platform::ReadStatus::Ok, "ERROR - FlushRecord");
    const IDocumentPtr doc = NewDocument();
    Check(static_cast<bool>(ParseInto(doc, text)), "ERROR - FlushRecord");
    return doc;
}

IDocumentPtr CPhoneBook::MakeProfile(int32_t type, const std::string& name, int32_t parentId, int32_t id) const
{
    const char* kind = KindName(type);
    Check(kind != nullptr, "CreateNewRecord");
    const IDocumentPtr doc = NewDocument();
    Check(LoadXMLFromResource(type == PB_RECORD_FAX ? IDR_FAX : type == PB_RECORD_IFAX ? IDR_IFAX : IDR_GROUP, doc) != 0,
          "CreateNewRecord");
    doc->getDocumentElement()->setAttribute("id", DOMString(IdText(id).c_str()));
    SetProfileValue(doc, type, "id", IdText(id));
    SetProfileValue(doc, type, "parentID", IdText(parentId));
    SetProfileValue(doc, type, "fullName", name);
    return doc;
}

void CPhoneBook::SetProfileValue(const IDocumentPtr& profile, int32_t type, const std::string& key,
                                 const std::string& value) const
{
    const char* kind = KindName(type);
    Check(kind != nullptr, "ERROR - Invalid Params");
    Check(IsStoredKeyName(key), "ERROR - Invalid Params");
    const INodePtr node = profile->selectSingleNode(("/profile/" + std::string(kind) + "/" + key + "/data/value").c_str());
    Check(static_cast<bool>(node), "ERROR - selectSingleNode");
    const std::string encoded = Encode(value);
    node->setText(DOMString(encoded.data(), encoded.size()));
}

int32_t CPhoneBook::ChooseNewId()
{
    const INodePtr counter = m_pRoot->selectSingleNode(kPathCounter);
    int32_t id = std::max(m_nNewID, counter ? ToNumber(Decode(counter)) : 0);
    // Ids in use by a record, a folder or a record in the making are never handed out again; a
    // record file that no live store has in the making is a leftover and its id free.
    for (;;) {
        Check(id < INT32_MAX, "CreateNewRecord");
        ++id;
        if (id <= kFavoriteFolderId || m_making.count(id) || HasProfile(id) || FindFolder(id) || !ClaimRecord(id))
            continue;
        platform::removeStaleTemporaries(GetRecordFilePath(id));
        return id;
    }
}

int CPhoneBook::CreateNewRecord(int32_t type, const std::string& name, int32_t parentId, int32_t& id, int replace)
{
    return Change("CreateNewRecord", [&] {
        Check(KindName(type) != nullptr, "CreateNewRecord");
        // Record files of every book share the directory: the choice of a free id and the file
        // that claims it happen under the directory's lock.
        const platform::FileLock records = LockRecordFiles();
        Check(records.locked(), "CreateNewRecord");
        if (replace == 1)
            Check(id > kFavoriteFolderId && ClaimRecord(id), "CreateNewRecord"); // never a record file for id 0
        const int32_t recordId = replace == 1 ? id : ChooseNewId();
        const IDocumentPtr doc = MakeProfile(type, name, parentId, recordId);
        if (SaveXMLToFile(GetRecordFilePath(recordId), doc) == 0) {
            DropRecordFile(recordId);
            Check(false, "CreateNewRecord");
        }
        id = recordId;
    });
}

int CPhoneBook::AddRecordValue(int32_t id, int32_t type, const std::string& key, const std::string& value)
{
    return Change("AddRecordValue", [&] {
        Check(KindName(type) != nullptr, "ERROR - Invalid Params");
        const platform::FileLock records = LockRecordFiles();
        CallClaim claim(*this, id);
        Check(records.locked() && claim.Take(), "ERROR - AddRecordValue");
        const IDocumentPtr doc = LoadRecordFile(id);
        SetProfileValue(doc, type, key, value);
        Check(SaveXMLToFile(GetRecordFilePath(id), doc) != 0, "ERROR - AddRecordValue");
        claim.Keep();
    }, false);
}

int CPhoneBook::AddRecord2Group(int32_t groupId, int32_t memberId)
{
    return Change("AddRecord2Group", [&] {
        const platform::FileLock records = LockRecordFiles();
        CallClaim claim(*this, groupId);
        Check(records.locked() && claim.Take(), "AddRecord2Group");
        const IDocumentPtr doc = LoadRecordFile(groupId);
        const INodePtr members = doc->selectSingleNode("/profile/group/records");
        Check(static_cast<bool>(members), "AddRecord2Group");
        int32_t type = 0, parent = 0;
        std::string name;
        Check(GetRecordInfo(memberId, type, name, parent) != 0, "AddRecord2Group");
        const char* kind = type == PB_RECORD_FAX ? "fax" : type == PB_RECORD_IFAX ? "ifax" : "record";
        members->appendChild(MakeEntry(doc, kind, memberId, Encode(name)));
        Check(SaveXMLToFile(GetRecordFilePath(groupId), doc) != 0, "AddRecord2Group");
        claim.Keep();
    });
}

// ---- commits ----

void CPhoneBook::CommitProfile(const IDocumentPtr& record, int32_t id, bool replace)
{
    const IElementPtr profile = record->getDocumentElement();
    Check(profile && profile->getNodeName() == "profile", "ERROR - FlushRecord");
    const INodePtr fullNameNode = record->selectSingleNode("/profile/*/fullName/data/value");
    const INodePtr idNode = record->selectSingleNode("/profile/*/id/data/value");
    const INodePtr parentNode = record->selectSingleNode("/profile/*/parentID/data/value");
    const INodePtr favoriteNode = record->selectSingleNode("/profile/*/frequentlyUsed/data/value");
    Check(fullNameNode && idNode && parentNode && favoriteNode, "ERROR - FlushRecord");
    Check(ToNumber(Decode(idNode)) == id && id > kFavoriteFolderId, "ERROR - FlushRecord");
    const std::string encodedName = Encode(Decode(fullNameNode));
    const int32_t parent = ToNumber(Decode(parentNode));
    const bool favorite = Decode(favoriteNode) == "true";
    const INodePtr kindElement = KindElement(profile);
    Check(kindElement && KindType(TextOf(kindElement->getNodeName())) >= 0, "ERROR - FlushRecord");
    const std::string kind = TextOf(kindElement->getNodeName());
    // The profile element and its file's attribute must agree with the id.
    Check(TextOf(profile->getAttribute("id")) == IdText(id), "ERROR - FlushRecord");

    // Everything the commit needs is found before anything changes.
    const INodePtr favorites = m_pRoot->selectSingleNode(kPathFavoriteRecords);
    TextList* favoriteList = favorites ? m_pText->list(favorites) : nullptr;
    Check(!favorite || favoriteList, "FlushRecord");
    TextList* profileList = nullptr;
    TextList* folderList = nullptr;
    INodePtr counter;
    if (replace) {
        Check(HasProfile(id), "FlushRecord");
    } else {
        Check(!HasProfile(id) && !FindFolder(id), "FlushRecord"); // an id already in use is refused
        profileList = m_pText->profileList();
        const INodePtr listElement = parent == kRootFolderId
            ? m_pRoot->selectSingleNode(kPathRootRecords)
            : m_pRoot->selectSingleNode((std::string(kPathUserFolders) + "[@id='" + IdText(parent) + "']/records").c_str());
        folderList = listElement ? m_pText->list(listElement) : nullptr;
        counter = m_pRoot->selectSingleNode(kPathCounter);
        Check(profileList && folderList && counter, "FlushRecord");
    }
    const std::string element = XmlOf(profile);
    const std::string entry = XmlOf(MakeEntry(m_pDoc, kind.c_str(), id, encodedName));

    Touch();
    if (replace) {
        Chunk* existing = m_pText->profile(id);
        existing->replaceElement(element);
        BookText::describeProfile(*existing, profile);
        if (favoriteList)
            BookText::dropEntries(std::vector<TextList*>{favoriteList}, std::unordered_set<int32_t>{id});
    } else {
        BookText::describeProfile(profileList->append(element), profile);
        BookText::describeEntry(folderList->append(entry), id, kind.c_str());
    }
    m_pText->changed();
    if (favorite)
        BookText::describeEntry(favoriteList->append(entry), id, kind.c_str());
    if (!replace) {
        // The counter holds the last id handed out: new ids are chosen above it, so it never
        // falls behind one committed by another program meanwhile.
        const int32_t next = std::max(ToNumber(Decode(counter)), id);
        counter->setText(DOMString(Encode(IdText(next)).c_str()));
        m_nNewID = std::max(m_nNewID, next);
    }
}

int CPhoneBook::FlushRecord(int32_t id, int replace)
{
    return Change("FlushRecord", [&] {
        const platform::FileLock records = LockRecordFiles();
        CallClaim claim(*this, id);
        Check(records.locked() && claim.Take(), "ERROR - FlushRecord");
        const IDocumentPtr record = LoadRecordFile(id);
        CommitProfile(record, id, replace == 1);
        SaveBook();
        DropRecordFile(id);
        claim.Keep();
    });
}

int CPhoneBook::UpdateRecordValue(int32_t id, const std::string& key, const std::string& value)
{
    return Change("UpdateRecordValue", [&] {
        int32_t type = 0, parent = 0;
        std::string name;
        Check(IsStoredKeyName(key), "UpdateRecordValue");
        Check(GetRecordInfo(id, type, name, parent) != 0, "UpdateRecordValue");
        Check(type == PB_RECORD_FAX || type == PB_RECORD_IFAX, "UpdateRecordValue");
        // The record is made afresh with the same id, parent and name, and its values carried
        // over whole (however long), the one named taking the new value.
        const IDocumentPtr record = MakeProfile(type, name, parent, id);
        auto carry = [&](const char* k) {
            std::string current;
            Check(GetRecordValue(id, k, current) != 0, "UpdateRecordValue");
            SetProfileValue(record, type, k, key == k ? value : current);
        };
        if (type == PB_RECORD_FAX)
            std::for_each(std::begin(kFaxKeys), std::end(kFaxKeys), carry);
        else
            std::for_each(std::begin(kIfaxKeys), std::end(kIfaxKeys), carry);
        CommitProfile(record, id, true);
        SaveBook();
    });
}

// ---- removal and moves ----

int CPhoneBook::RemoveRecord(int32_t id, int removeFromFolders)
{
    return Change("RemoveRecord", [&] {
        Check(HasProfile(id), "ERROR - RemoveRecord");
        const std::unordered_set<int32_t> ids{id};
        const INodePtr favorites = m_pRoot->selectSingleNode(kPathFavoriteRecords);
        TextList* favoriteList = favorites ? m_pText->list(favorites) : nullptr;
        Touch();
        m_pText->profile(id)->dropElement();
        m_pText->changed(); // another profile may carry the same id
        if (removeFromFolders == 1)
            BookText::dropEntries(m_pText->allFolderLists(m_pRoot), ids);
        else if (favoriteList)
            BookText::dropEntries(std::vector<TextList*>{favoriteList}, ids);
        DropMemberships(ids);
        SaveBook();
    });
}

void CPhoneBook::DropMemberships(const std::unordered_set<int32_t>& ids)
{
    // A group whose text holds none of the ids as digits has none of them as a member (checked
    // for a few ids; a folder's many ids are looked for in every group's tree).
    auto mayHold = [&](std::string_view xml) {
        return ids.size() > 16
            || std::any_of(ids.begin(), ids.end(), [&](int32_t id) { return xml.find(IdText(id)) != std::string::npos; });
    };
    for (Chunk* chunk : m_pText->profiles()) {
        if (chunk->kind != PB_RECORD_GROUP + 1 || !mayHold(chunk->xml()))
            continue;
        const IDocumentPtr group = NewDocument();
        Check(static_cast<bool>(ParseInto(group, chunk->elementXml())), "DropMemberships");
        if (RemoveEntries(group->selectNodes("/profile/group/records"), ids) > 0) {
            chunk->replaceElement(XmlOf(group->getDocumentElement()));
            m_pParsed.reset(); // the group's profile may be the one parsed last
        }
    }
}

int CPhoneBook::MoveRecord(int32_t id, int32_t sourceFolderId, int32_t targetFolderId)
{
    return Change("MoveRecord", [&] {
        int32_t type = 0, parent = 0, sourceType = 0, targetType = 0;
        std::string name, folderName;
        Check(GetRecordInfo(id, type, name, parent) != 0, "MoveRecord");
        Check(sourceFolderId == parent && KindName(type) != nullptr, "MoveRecord");
        Check(GetFolderInfo(sourceFolderId, sourceType, folderName) != 0, "MoveRecord");
        Check(GetFolderInfo(targetFolderId, targetType, folderName) != 0, "MoveRecord");
        Check(targetType == PB_FOLDER_ROOT || targetType == PB_FOLDER_USER, "MoveRecord");
        const INodePtr profile = FindProfile(id);
        const INodePtr parentValue = profile ? ValueElement(KindElement(profile), "parentID") : nullptr;
        Chunk* sourceEntry = nullptr;
        for (TextList* list : m_pText->folderLists(FindFolder(sourceFolderId)))
            for (Chunk& c : list->chunks)
                if (!sourceEntry && c.hasElement() && c.exactId == id)
                    sourceEntry = &c;
        const INodePtr targetElement = targetFolderId == kRootFolderId
            ? m_pRoot->selectSingleNode(kPathRootRecords)
            : m_pRoot->selectSingleNode(
                  (std::string(kPathUserFolders) + "[@id='" + IdText(targetFolderId) + "']/records").c_str());
        TextList* targetList = targetElement ? m_pText->list(targetElement) : nullptr;
        Check(parentValue && sourceEntry && targetList, "MoveRecord");
        const std::string entry = XmlOf(MakeEntry(m_pDoc, KindName(type), id, Encode(name)));
        parentValue->setText(DOMString(Encode(IdText(targetFolderId)).c_str()));
        StoreProfile(id, profile);
        sourceEntry->dropElement(); // before the append, which may move the list's chunks
        BookText::describeEntry(targetList->append(entry), id, KindName(type));
        SaveBook();
    });
}

int CPhoneBook::RenameFolder(int32_t folderId, const std::string& name)
{
    return Change("RenameFolder", [&] {
        int32_t type = 0;
        std::string current;
        Check(GetFolderInfo(folderId, type, current) != 0 && type == PB_FOLDER_USER, "RenameFolder");
        const INodePtr value = FindFolder(folderId)->selectSingleNode(kPathFolderName);
        Check(static_cast<bool>(value), "RenameFolder");
        Touch();
        const std::string encoded = Encode(name);
        value->setText(DOMString(encoded.data(), encoded.size()));
        SaveBook();
    });
}

int CPhoneBook::RemoveFolder(int32_t folderId)
{
    return Change("RemoveFolder", [&] {
        int32_t type = 0;
        std::string name;
        Check(folderId != kRootFolderId && folderId != kFavoriteFolderId, "ERROR - RemoveFolder");
        Check(GetFolderInfo(folderId, type, name) != 0 && type == PB_FOLDER_USER, "ERROR - RemoveFolder");
        const INodePtr folder =
            m_pRoot->selectSingleNode((std::string(kPathUserFolders) + "[@id='" + IdText(folderId) + "']").c_str());
        Check(static_cast<bool>(folder), "ERROR - RemoveFolder");
        // The folder's records of every kind, as its list names them.
        std::unordered_set<int32_t> ids;
        for (const TextList* list : m_pText->folderLists(folder))
            for (const Chunk& c : list->chunks)
                if (c.hasElement() && (c.kind & (PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP)))
                    ids.insert(c.id);
        Touch();
        for (const int32_t id : ids)
            if (Chunk* profile = m_pText->profile(id))
                profile->dropElement();
        m_pText->changed();
        // Their favourite entries and their memberships in the groups that remain go with them.
        const INodePtr favorites = m_pRoot->selectSingleNode(kPathFavoriteRecords);
        if (TextList* favoriteList = favorites ? m_pText->list(favorites) : nullptr)
            BookText::dropEntries(std::vector<TextList*>{favoriteList}, ids);
        DropMemberships(ids);
        m_pText->forget(folder);
        folder->getParentNode()->removeChild(folder);
        SaveBook();
    });
}
