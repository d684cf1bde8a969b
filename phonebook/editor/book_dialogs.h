// The phone book dialogs the editor opens (the exports of the phone book dialogs library), behind
// an interface that tests replace. Results as the exports give them: 1 done, anything else not.
// The book is handed over by its full path, so the dialogs change the very file the editor shows.
#pragma once

#include <string>

class IBookDialogs {
public:
    virtual ~IBookDialogs() = default;

    /// A new address record in a folder.
    struct NewAddress {
        std::string strName, strNumber, strSubAddress, strPassCode;
        int nKind = 0;  ///< 1 an Internet-fax record
        int bFCode = 0; ///< with sub-address and pass code
        int nID = 0;
    };
    virtual int CreateNewAddress(const std::string& strBook, int nFolderID, void* pOwner, NewAddress& result) = 0;
    /// A new group in a folder: its name and id.
    virtual int CreateNewGroup(const std::string& strBook, int nFolderID, void* pOwner, std::string& strName,
                               int& nID) = 0;
    /// A new folder: its name and id.
    virtual int CreateNewFolder(const std::string& strBook, void* pOwner, std::string& strName, int& nID) = 0;
    /// The book choice: the chosen book's path and name.
    virtual int SelectPhoneBook(void* pOwner, std::string& strPath, std::string& strName, int bCheckBusy,
                                int bAllowDelete) = 0;
    /// A stored address or group shown for editing; bChanged 1 when a change was stored.
    virtual int ShowAddress(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged) = 0;
    virtual int ShowGroup(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged) = 0;
};

/// The real dialogs: the exports of the phone book dialogs library.
class CBookpickerDialogs : public IBookDialogs {
public:
    int CreateNewAddress(const std::string& strBook, int nFolderID, void* pOwner, NewAddress& result) override;
    int CreateNewGroup(const std::string& strBook, int nFolderID, void* pOwner, std::string& strName,
                       int& nID) override;
    int CreateNewFolder(const std::string& strBook, void* pOwner, std::string& strName, int& nID) override;
    int SelectPhoneBook(void* pOwner, std::string& strPath, std::string& strName, int bCheckBusy,
                        int bAllowDelete) override;
    int ShowAddress(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged) override;
    int ShowGroup(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged) override;
};
