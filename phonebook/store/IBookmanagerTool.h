// The phone book's interface: one phone book opened by Initiate, its folders, records and groups
// read and changed by id. Methods answer S_OK when the store did the work and S_FALSE otherwise;
// every method but Initiate, GetPhoneBookCount, GetPhoneBookInfo and GetPhonebookDirectory
// answers S_FALSE until a book is open.
#pragma once

#include "platform/com.h"

/// An OLE Automation date: days since 1899-12-30, the fraction the time of day.
using DATE = double;

struct IBookmanagerTool : IDispatch {
    static constexpr IID iid = platform::com::guid("{4140E8AF-F7A5-4E7A-922D-BFC1621DA124}");
    using parent = IDispatch;

    virtual HRESULT Initiate(BSTR bszPhoneBookPath) = 0;
    virtual HRESULT GetRecordInfo(int32_t lRecordID, int32_t* pRecordType, BSTR* pbszRecordName, int32_t* pParentID) = 0;
    virtual HRESULT GetRecordValue(int32_t lRecordID, BSTR bszPropkeyName, BSTR* pbszValue) = 0;
    virtual HRESULT FindRecords(int32_t lFolderID, int nMask, int32_t* pHandle, int32_t* pCount) = 0;
    virtual HRESULT GetRecordID(int32_t lHandle, int nIndex, int32_t* pRecordID) = 0;
    virtual HRESULT CloseRecords(int32_t lHandle) = 0;
    virtual HRESULT FindFolders(int32_t* pHandle, int32_t* pCount) = 0;
    virtual HRESULT GetFolderID(int32_t lHandle, int nIndex, int32_t* pFolderID) = 0;
    virtual HRESULT CloseFolders(int32_t lHandle) = 0;
    virtual HRESULT GetFolderInfo(int32_t lFolderID, int32_t* pFolderType, BSTR* pbszFolderName) = 0;
    virtual HRESULT DeleteRecord(int32_t lRecordID, int32_t bUpdateFolder) = 0;
    /// The first argument is the record's id.
    virtual HRESULT UpdateRecordValue(int32_t lFolderID, BSTR bszPropkeyName, BSTR bszNewValue) = 0;
    virtual HRESULT RemoveFolder(int32_t lFolderID) = 0;
    virtual HRESULT MoveRecord(int32_t lRecordID, int32_t lSourceFolderID, int32_t lTargetFolderID) = 0;
    virtual HRESULT RenameFolder(int32_t lFolderID, BSTR bszNewFolderName) = 0;
    virtual HRESULT CreateNewRecord(int32_t lRecordType, BSTR bszRecordName, int32_t lParentFolderID, int32_t* pNewID,
                                    int32_t bUpdate) = 0;
    virtual HRESULT FlushRecord(int32_t lRecordID, int32_t bUpdate) = 0;
    virtual HRESULT AddRecordValue(int32_t lRecordID, int32_t lRecordType, BSTR bszPropkeyName, BSTR bszValue) = 0;
    virtual HRESULT CreateNewAddress(BSTR bszName, int32_t lParentFolderID, int32_t lRecordType,
                                     BSTR bszRetrivalCharacter, int32_t bAddFavoriteList, BSTR bszNumber,
                                     int32_t bReceptionConfirm, int32_t bFcode, BSTR bszSubAddress, BSTR bszPassCode,
                                     int32_t lReserved, int32_t* pNewRecordID) = 0;
    virtual HRESULT GetAddressInfo(int32_t lRecordID, BSTR* pbszName, int32_t* pParentFolderID, int32_t* pRecordType,
                                   BSTR* pbszRetrivalCharacter, int32_t* pAddFavoriteList, BSTR* pbszNumber,
                                   int32_t* pReceptionConfirm, int32_t* pFcode, BSTR* pbszSubAddress,
                                   BSTR* pbszPassCode, int32_t* pReserved) = 0;
    virtual HRESULT GetPhoneBookCount(int32_t* pCount) = 0;
    virtual HRESULT GetPhoneBookInfo(int nIndex, BSTR* pbszPhoneBookPath, DATE* pLastWrite) = 0;
    virtual HRESULT GetPhonebookDirectory(BSTR* pbszPhonebookDirectory) = 0;
    virtual HRESULT CreateNewGroup(BSTR bszGroupName, int32_t lFolderID, int32_t* pNewID, int32_t bUpdate) = 0;
    virtual HRESULT AddRecord2Group(int32_t lGroupID, int32_t lRecordID) = 0;
    virtual HRESULT FlushGroup(int32_t lGroupID, int32_t bUpdate) = 0;
    virtual HRESULT GetRecordCountInGroup(int32_t lGroupID, int32_t* pCount) = 0;
    virtual HRESULT GetRecordIDInGroup(int32_t lGroupID, int nIndex, int32_t* pRecordID) = 0;
    virtual HRESULT GetRecordInfo2(int32_t lRecordID, int32_t* pAddFavoriteList, int32_t* pReserved) = 0;

protected:
    ~IBookmanagerTool() = default;
};

inline constexpr CLSID CLSID_BookmanagerTool = platform::com::guid("{F3CC91CC-879E-4D64-B269-2794695E51C6}");
inline constexpr const char* kBookmanagerToolProgId = "booktool.BookmanagerTool";
