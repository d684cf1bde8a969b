// The phone book as the phone book dialogs use it: the store's phone book, plus a search over one
// folder whose results live in the shared search file, finding and creating folders, and creating,
// deleting and naming book files by book name.
//
// Like the store's operations, these answer 1 or 0 (null for a result list) and let no error out.
#pragma once

#include "phonebook/store/phone_book.h"

#include <cstdint>
#include <string>

class CPickerPhoneBook : public CPhoneBook {
public:
    using CPhoneBook::CPhoneBook;
    using CPhoneBook::FindFolder;
    using CPhoneBook::GetPhoneBookPath;

    /// Closes the book and forgets this object's search; 1. Opening again with reload resets too.
    int Reset() override;

    /// "<phone book directory>/<book name>.xml"; a book whose file's extension is written in other
    /// case (such as "Work.XML", as listed) keeps its file's own name. Empty when the name is no book
    /// name (empty, a separator, "..", a leading '.' or '#', a control character). An absolute path
    /// (what the phone book editor hands over) stands for itself when it names an existing file.
    static std::string GetPhoneBookPath(const std::string& bookName);
    /// "<phone book directory>/#search.xml": the search file every program of the user shares.
    static std::string GetSearchPath();

    /// Starts an empty search state and writes it to the search file (atomically). The search file
    /// of earlier runs is never read back, whatever fresh says. 1, or 0 when the file cannot be written.
    int InitiateSearch(int fresh);
    /// With a text (empty included): a new search of the folder's entries whose kind is in mask
    /// (PB_MASK_*), by a case-sensitive part of the name or, for fax and Internet-fax records, of the
    /// retrieval characters ("initial"); groups only by name. The results are written to the search
    /// file. Without a text: the results of this object's last search (none before the first).
    /// Null when the book is not open, the folder does not exist or the search file cannot be written.
    mfpif_Halvet_R1::INodeListPtr QueryRecords(int32_t folderId, const char* text, int mask);
    /// Number of results of the current result list; -1 for any other list.
    int32_t GetSearchCount(const mfpif_Halvet_R1::INodeListPtr& list) const;
    /// Record id of the index-th result of the current result list; 0 when there is none.
    int32_t GetSearchRecordID(const mfpif_Halvet_R1::INodeListPtr& list, int32_t index) const;

    /// 1 when a user folder of exactly that name (compared as stored, decoded) exists; 0 otherwise,
    /// also when the book is not open. The root and favourite folders are not user folders.
    int FindFolder(const std::string& name);
    /// Adds a user folder (under the book's lock, after taking in other programs' changes, with an
    /// id above every id on disk and in memory) and saves the book. 1 with newId set; 0 when the
    /// book is not open or the save fails, which leaves book and file as they were.
    int CreateNewFolder(const std::string& name, int32_t& newId);

    /// Creates the book file of a new, empty book and opens it. 0 for a name that is no book name
    /// and when a file of that name exists, whether a phone book or not (it is never replaced).
    int CreatePhoneBook(const std::string& bookName);
    /// Deletes the book file when it is a phone book; 0 otherwise or for a name that is no book name.
    /// This object's open book is not touched.
    static int DeletePhoneBook(const std::string& bookName);

private:
    mfpif_Halvet_R1::IDocumentPtr m_pSearch;     ///< the search state, as the search file holds it
    mfpif_Halvet_R1::INodeListPtr m_pResults;    ///< the current result list
    int m_bSearchInitiated = 0;
};
