// The phone book store: one phone book file (folders, fax and Internet-fax records, groups and the
// favourite list) opened, read and changed in place.
//
// Every change runs under the book's cross-process lock, first takes in what another program
// wrote to the book since it was read, checks everything before it changes anything, and replaces
// the file in one step; a change that fails leaves the book in memory and on disk as it was.
// Opening and reading never write an existing file. Operations answer 1 for success and 0 for
// failure, counts -1 and ids 0 when they fail; no exception leaves them.
#pragma once

#include "platform/files.h"
#include "platform/system_info.h"
#include "xmldoc/dom.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace phonebook {
class BookText;
}

/// A list opened by FindRecords or FindFolders. Only the list opened last of each kind is valid.
enum class PhoneBookList : int32_t { None = 0 };

/// Record types and folder types.
enum : int32_t {
    PB_RECORD_FAX = 0,
    PB_RECORD_IFAX = 1,
    PB_RECORD_GROUP = 2,
    PB_FOLDER_ROOT = 3,
    PB_FOLDER_FAVORITE = 4,
    PB_FOLDER_USER = 5,
};

/// Kind bits of FindRecords' mask.
enum : int {
    PB_MASK_FAX = 0x01,
    PB_MASK_IFAX = 0x02,
    PB_MASK_GROUP = 0x10,
};

/// Ids of the two built-in folders.
inline constexpr int32_t kRootFolderId = 1;
inline constexpr int32_t kFavoriteFolderId = 2;

class CPhoneBook {
public:
    /// codePage: the code page of the texts callers give and take (the process's, by default).
    explicit CPhoneBook(uint32_t codePage = platform::processCodePage());
    virtual ~CPhoneBook();
    CPhoneBook(const CPhoneBook&) = delete;
    CPhoneBook& operator=(const CPhoneBook&) = delete;

    // ---- files and templates (no open book needed) ----

    /// The whole text of a file, up to its first zero byte; 1, or 0 when it cannot be read.
    static int ReadTextFile(const std::string& path, std::string& text);
    /// Parses a file (whitespace kept) and appends its root to doc; 1 or 0.
    static int LoadXMLFromFile(const std::string& path, const mfpif_Halvet_R1::IDocumentPtr& doc);
    /// Replaces the file with the document's XML text in one step; 0 when the text is empty or the write fails.
    static int SaveXMLToFile(const std::string& path, const mfpif_Halvet_R1::IDocumentPtr& doc);
    /// The text of a built-in template; 0 when there is none.
    static int LoadHtmlResource(int id, std::string& text);
    /// Parses a built-in template into doc; 1 or 0.
    static int LoadXMLFromResource(int id, const mfpif_Halvet_R1::IDocumentPtr& doc);
    /// "<phone book directory>/#%08x.xml": the file a record is assembled in before its commit.
    static std::string GetRecordFilePath(int32_t id);
    /// The id counter plus one (the counter itself is not changed).
    int32_t GetNewID() const;
    /// 1 when the file is a phone book: with full 0 its first 260 bytes hold "<system>" and
    /// "<version>1.0</version>"; with full 1 it parses and has "/system/version".
    static int IsPhoneBookFile(const std::string& path, int full = 0);

    // ---- opening and listing ----

    /// Opens the book at path. A missing file is made from the empty-book template; a file that
    /// exists but does not read as a book fails the open and is left as it is. An open store
    /// answers 1 at once unless reload is 1, which opens again.
    int Initiate(const std::string& path, int reload);
    /// Closes the book (the store is not initiated afterwards); 1.
    virtual int Reset();
    /// Parses the book file into doc, which must hold "/system/version" and "/system/newid/data";
    /// the counter is taken from the latter. 1 or 0.
    int LoadPhoneBook(const std::string& path, const mfpif_Halvet_R1::IDocumentPtr& doc);
    /// One phone book file of the phone book directory.
    struct BookFile {
        std::string path;
        std::time_t lastWrite = 0;
    };
    /// The phone books of the phone book directory ("*.xml" files passing the quick test), sorted by
    /// name without regard to case; false when no file there matches "*.xml" at all.
    static bool ListPhoneBooks(std::vector<BookFile>& books);
    /// The phone books in the phone book directory ("*.xml" files passing the quick test); -1 when
    /// no file there matches "*.xml" at all.
    static int32_t CountPhoneBooks();
    /// The index-th phone book of the directory, sorted by name without regard to case, with its
    /// last-write time. 1 when there is one.
    static int GetPhoneBookPath(int32_t index, std::string& path, std::time_t& lastWrite);
    /// CountPhoneBooks, keeping the listing for GetPhoneBookInfo.
    int32_t GetPhoneBookCount();
    /// The index-th phone book of the listing GetPhoneBookCount kept (listed again when that
    /// directory changed since, or when there is none). 1 when there is one.
    int GetPhoneBookInfo(int32_t index, std::string& path, std::time_t& lastWrite);

    // ---- folders ----

    /// Opens the list of all folders in book order (root, favourite, user folders).
    PhoneBookList FindFolders();
    /// Length of the open folder list; -1 for any other handle.
    int32_t GetFolderListCount(PhoneBookList list) const;
    /// Id of the index-th folder of the open folder list; 0 on failure.
    int32_t GetFolderID(PhoneBookList list, int32_t index);
    /// Releases the open folder list (whatever handle is given).
    void CloseFolders(PhoneBookList list);
    /// Type (3 root, 4 favourite, 5 folder) and name of a folder; 1 or 0.
    int GetFolderInfo(int32_t folderId, int32_t& type, std::string& name);

    // ---- records and groups ----

    /// Opens the list of a folder's entries whose kind is in mask (PB_MASK_*), in the folder's order.
    PhoneBookList FindRecords(int32_t folderId, int mask);
    /// Length of the open record list; -1 for any other handle.
    int32_t GetRecordListCount(PhoneBookList list) const;
    /// Record id of the index-th entry of the open record list; 0 on failure.
    int32_t GetRecordListID(PhoneBookList list, int32_t index);
    int32_t GetRecordID(PhoneBookList list, int32_t index) { return GetRecordListID(list, index); }
    /// Releases the open record list (whatever handle is given).
    void CloseRecords(PhoneBookList list);
    /// Type (PB_RECORD_*), full name and parent folder of a record or group; 1 or 0.
    int GetRecordInfo(int32_t id, int32_t& type, std::string& name, int32_t& parentId);
    /// One stored value of a record; 1, or 0 with an empty value when the record has no such key.
    int GetRecordValue(int32_t id, const std::string& key, std::string& value);
    /// Number of members of a group; -1 when the id names no group.
    int32_t GetRecordCount(int32_t groupId);
    /// Id of a group's index-th member; 0 on failure.
    int32_t GetRecordID(int32_t groupId, int32_t index);

    // ---- changes ----

    /// Writes the record file of a new record (replace 0: a new id, returned in id) or of a
    /// rewrite of the record id (replace 1). The book itself is not changed yet.
    int CreateNewRecord(int32_t type, const std::string& name, int32_t parentId, int32_t& id, int replace);
    /// Sets one value (a key of the kind's template) in the record file of id.
    int AddRecordValue(int32_t id, int32_t type, const std::string& key, const std::string& value);
    /// Commits the record file of id into the book and deletes it.
    int FlushRecord(int32_t id, int replace);
    /// Gives up a record in the making by this store: its record file goes. 1, or 0 when the record
    /// is in the making by another store.
    int DiscardRecord(int32_t id);
    int CreateNewGroup(const std::string& name, int32_t folderId, int32_t& id, int replace)
    {
        return CreateNewRecord(PB_RECORD_GROUP, name, folderId, id, replace);
    }
    /// Appends a committed record to the member list in a group's record file.
    int AddRecord2Group(int32_t groupId, int32_t memberId);
    int FlushGroup(int32_t groupId, int replace) { return FlushRecord(groupId, replace); }
    /// Rewrites a fax or Internet-fax record with one value changed.
    int UpdateRecordValue(int32_t id, const std::string& key, const std::string& value);
    /// Deletes a record's profile, its favourite entry and its memberships in groups and, with
    /// removeFromFolders 1, its entries in every folder list.
    int RemoveRecord(int32_t id, int removeFromFolders);
    /// Moves a record from its folder to the root or a user folder.
    int MoveRecord(int32_t id, int32_t sourceFolderId, int32_t targetFolderId);
    /// Renames a user folder.
    int RenameFolder(int32_t folderId, const std::string& name);
    /// Deletes a user folder with its records, their favourite entries and group memberships.
    int RemoveFolder(int32_t folderId);

    // ---- state ----

    bool IsInitiated() const { return m_bInitiated != 0; }
    const std::string& GetBookPath() const { return m_strPath; }

protected:
    /// A failed step of an operation: thrown inside, caught by the operation.
    struct Failure {
        const char* operation;
    };
    static void Check(bool ok, const char* operation);

    /// Runs a change: book lock, reload when the file changed (for a body that reads the book),
    /// body, and a reload from disk when the body fails after it started changing the book. 1 or 0.
    template <typename Body>
    int Change(const char* operation, Body&& body, bool readsBook = true);
    /// Marks the book in memory as changed by the running change (so a failure reloads it).
    void Touch()
    {
        m_bTouched = true;
        m_pParsed.reset();
    }
    /// Writes the book and notes the file written as the one in memory.
    void SaveBook();
    /// Takes the book in again when the file changed since it was read (throws when it cannot).
    void Refresh();
    /// After a failed change: the book in memory is read again from its unchanged file.
    void RestoreFromFile();

    std::string Encode(const std::string& text) const;
    std::string Decode(const mfpif_Halvet_R1::INodePtr& node) const;
    /// A stored text as callers take it (the store's code page).
    std::string DecodeStored(const std::string& stored) const;
    /// The profile element of a record, parsed from the book's text (null when none). It stays
    /// valid until the next lookup of another record or change of the book.
    mfpif_Halvet_R1::INodePtr FindProfile(int32_t id);
    /// True when the book holds a profile with that id.
    bool HasProfile(int32_t id);
    /// Puts a profile element back into the book's text in place of the record's profile.
    void StoreProfile(int32_t id, const mfpif_Halvet_R1::INodePtr& profile);
    /// The folder element with that id under "/system/folders" (null when none).
    mfpif_Halvet_R1::INodePtr FindFolder(int32_t id) const;
    /// A membership entry: record holding id (type attribute, encoded id) and name (encoded name).
    mfpif_Halvet_R1::INodePtr MakeEntry(const mfpif_Halvet_R1::IDocumentPtr& doc, const char* type, int32_t id,
                                        const std::string& encodedName) const;
    /// A free id above the counter on disk and in memory, used by no record, folder or record in
    /// the making (throws when none is left).
    int32_t ChooseNewId();
    /// Removes the given records from the member lists of every group.
    void DropMemberships(const std::unordered_set<int32_t>& ids);

    /// The lock every store takes to write, read for a commit or remove record files: they are
    /// shared by the books of the directory.
    static platform::FileLock LockRecordFiles();
    /// Makes the record id this store's (under LockRecordFiles); false while another store or
    /// program has that record in the making.
    bool ClaimRecord(int32_t id);
    /// Gives a record's claim up and removes its record file (under LockRecordFiles).
    void DropRecordFile(int32_t id);
    /// The claim on a record that one change takes (as ClaimRecord): given up again when the
    /// change fails, unless the store held it before.
    class CallClaim;
    /// Removes what writers that died left: the book's temporary files (under the book's lock),
    /// and record files, with their temporaries, that no live store has in the making. Once per
    /// store, and again after another writer changed the book.
    void SweepLeftovers();

    mfpif_Halvet_R1::IDocumentPtr m_pDoc;  ///< the open book, its long lists held as text (m_pText)
    mfpif_Halvet_R1::IElementPtr m_pRoot;  ///< its document element: the query root
    std::unique_ptr<phonebook::BookText> m_pText;
    std::vector<int32_t> m_recordIds;      ///< the open record list
    mfpif_Halvet_R1::INodeListPtr m_pFolders; ///< the open folder list
    std::string m_strPath;
    int m_bInitiated = 0;
    int32_t m_nNewID = 10;
    uint32_t m_nCodePage;

private:
    struct Loaded;
    /// Reads and checks a book; listsAsText: its lists taken as text (for Adopt), else all a tree.
    Loaded LoadBook(const std::string& path, bool listsAsText) const;
    void Adopt(Loaded&& book);
    mfpif_Halvet_R1::IDocumentPtr LoadRecordFile(int32_t id) const;
    mfpif_Halvet_R1::IDocumentPtr MakeProfile(int32_t type, const std::string& name, int32_t parentId, int32_t id) const;
    void SetProfileValue(const mfpif_Halvet_R1::IDocumentPtr& profile, int32_t type, const std::string& key,
                         const std::string& value) const;
    void CommitProfile(const mfpif_Halvet_R1::IDocumentPtr& record, int32_t id, bool replace);
    PhoneBookList NextHandle();

    std::unique_ptr<platform::Claims> m_pClaims;    ///< the records this store has in the making
    std::set<int32_t> m_making;
    bool m_bSwept = false;
    std::vector<BookFile> m_books;                  ///< the listing GetPhoneBookCount kept
    platform::FileStamp m_booksStamp;               ///< the directory as it was when listed
    std::string m_strBooksFolder;
    bool m_bListed = false;
    platform::FileStamp m_stamp;                    ///< identity of the file the book was read from
    int32_t m_nParsedId = 0;                  ///< the record whose profile was parsed last
    mfpif_Halvet_R1::IDocumentPtr m_pParsed;  ///< that profile
    bool m_bTouched = false;
    PhoneBookList m_recordHandle = PhoneBookList::None;
    PhoneBookList m_folderHandle = PhoneBookList::None;
    int32_t m_nLastHandle = 0;
};

template <typename Body>
int CPhoneBook::Change(const char* operation, Body&& body, bool readsBook)
{
    if (!m_bInitiated)
        return 0;
    m_bTouched = false;
    const int32_t counter = m_nNewID;
    try {
        const platform::FileLock lock(m_strPath);
        Check(lock.locked(), operation);
        if (readsBook)
            Refresh();
        if (!m_bSwept)
            SweepLeftovers();
        body();
        return 1;
    } catch (...) {
    }
    if (m_bTouched) {
        m_nNewID = counter; // ids of a change that did not happen are handed out again
        RestoreFromFile();
    }
    return 0;
}
