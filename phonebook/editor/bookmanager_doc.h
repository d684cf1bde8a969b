// The phone book editor's document: one phone book opened through the phone book object, its
// folders and the records of the current folder, the loading on a worker behind the progress
// display, and the File menu's commands. It never reads or writes the book file itself.
#pragma once

#include "common/progress_runner.h"
#include "phonebook/store/IBookmanagerTool.h"
#include "phonebook/store/phone_book.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IBookDialogs;

/// The document's commands (menu ids).
enum : int {
    ID_FILE_NEWADDRESS = 32775,
    ID_FILE_NEWGROUP = 32776,
    ID_FILE_NEWFOLDER = 32777,
    ID_FILE_OPENPHONEBOOK = 32785,
    ID_VIEW_REFRESH = 32786,
    ID_FILE_IMPORT = 32789,
    ID_FILE_EXPORT = 32790,
};

/// Texts of the document.
enum : uint32_t {
    IDS_ADDRESS_LISTS = 2001,
    IDS_FAVORITE = 2002,
    IDS_LOADING_ADDRESS = 4006,
    IDS_SYSTEM_ERROR = 5000,
};

/// The editor's device class for the phone book dialogs (no device).
inline constexpr int kEditorDeviceClass = 99;
/// Text buffers handed to the phone book dialogs.
inline constexpr int kBookTextSize = 260;

/// A folder item.
struct CFolder {
    int m_nType = 0; ///< PB_FOLDER_ROOT, PB_FOLDER_FAVORITE or PB_FOLDER_USER
    int m_nID = 0;
    std::string m_strName;
};

/// A record item of the current folder.
struct CAddress {
    int m_nType = 0; ///< PB_RECORD_FAX, PB_RECORD_IFAX or PB_RECORD_GROUP
    int m_nID = 0;
    std::string m_strName;
    std::string m_strNumber;  ///< faxNumber or mailAddress; empty for a group
    int m_bFCode = 0;         ///< faxFCode is "true" (fax records only)
    std::string m_strSubAddress;
    std::string m_strPassCode;
};

/// Update hints: 1 the folders and the records were loaded, 2 the records only.
enum : int { kHintAll = 1, kHintRecords = 2 };

/// What the views hear from the document.
class IBookDocObserver {
public:
    virtual ~IBookDocObserver() = default;
    /// The items were reloaded (kHintAll or kHintRecords).
    virtual void OnUpdate(int nHint) { static_cast<void>(nHint); }
    /// A record item was appended (a new address or group): its row goes last.
    virtual void OnRecordAdded(CAddress* pAddress) { static_cast<void>(pAddress); }
    /// A record item is about to be removed and deleted.
    virtual void OnRecordRemoving(CAddress* pAddress) { static_cast<void>(pAddress); }
    /// A record item was overwritten.
    virtual void OnRecordChanged(CAddress* pAddress) { static_cast<void>(pAddress); }
    /// A folder item was appended (a new folder): it goes last under the root and is selected.
    virtual void OnFolderAdded(CFolder* pFolder) { static_cast<void>(pFolder); }
};

/// Makes the phone book object (on the thread that first loads).
using BookToolFactory = std::function<platform::com::Ptr<IBookmanagerTool>()>;
/// The real one: "booktool.BookmanagerTool" by its program id.
platform::com::Ptr<IBookmanagerTool> CreateBookTool();

class CQeltapbDoc {
public:
    /// dialogs: the phone book dialogs; progress: the display the loading runs behind.
    CQeltapbDoc(IBookDialogs& dialogs, IProgressRunner& progress, BookToolFactory factory = CreateBookTool);
    ~CQeltapbDoc();
    CQeltapbDoc(const CQeltapbDoc&) = delete;
    CQeltapbDoc& operator=(const CQeltapbDoc&) = delete;

    void AddObserver(IBookDocObserver* pObserver);
    void RemoveObserver(IBookDocObserver* pObserver);
    /// The views both exist (checked before view updates that need them).
    void SetViewsPresent(bool bPresent) { m_bViewsPresent = bPresent; }
    /// Shows the "System error 5000." box when the views are missing (through this callback).
    void SetSystemErrorHandler(std::function<void()> handler) { m_SystemError = std::move(handler); }

    /// The book file's full path.
    const std::string& GetPathName() const { return m_strPathName; }
    /// Makes path the document path (the next ReloadAll loads it).
    void SetPathName(const std::string& strPath) { m_strPathName = strPath; }
    /// The book name: the path's file name without folder and extension.
    std::string BookName() const;
    /// The title: the book name followed by ".xml".
    std::string Title() const { return BookName() + ".xml"; }
    /// The backup file: the path followed by ".backup".
    std::string BackupPath() const { return m_strPathName + ".backup"; }

    int CurrentFolderID() const { return m_nCurrentFolderID; }
    const std::vector<std::unique_ptr<CFolder>>& Folders() const { return m_Folders; }
    const std::vector<std::unique_ptr<CAddress>>& Records() const { return m_Records; }
    /// The phone book object; null before the first load.
    IBookmanagerTool* BookTool() const { return m_pBook.get(); }

    /// Makes a folder the current one and reloads its records; the same id does nothing.
    void SelectFolder(int nFolderID);
    /// Clears everything and loads the folders and the root's records (Refresh); observers get
    /// kHintAll after a load that ran to its end.
    void ReloadAll();
    /// Clears the records and loads those of the current folder; kHintRecords.
    void ReloadRecords();
    /// Removes a record item (observers first hear of it); a pointer not in the list is ignored.
    void RemoveRecord(const CAddress* pAddress);
    /// The index of a record item in the list, -1 when it is not there.
    int IndexOf(const CAddress* pAddress) const;
    /// Overwrites a record item and tells the observers.
    void UpdateRecord(CAddress* pAddress, const CAddress& values);
    /// Moves a record to a folder: its record info, the target folder's info, the move. True only
    /// when every call answered S_OK.
    bool MoveRecord(int nRecordID, int nTargetFolderID);
    /// Lets the phone book object read the file again after a dialog changed it.
    void ReopenBook();

    /// New Address, New Group, New Folder and Open Phone Book: true when the dialog answered 1.
    bool OnFileNewAddress(void* pOwner);
    bool OnFileNewGroup(void* pOwner);
    bool OnFileNewFolder(void* pOwner);
    bool OnFileOpenPhoneBook(void* pOwner);
    /// New Address and New Group are off in the favourite folder.
    bool CanCreateRecords() const { return m_nCurrentFolderID != kFavoriteFolderId; }

    /// The pause after each loading (500 ms; tests shorten it).
    void SetLoadPause(std::chrono::milliseconds pause) { m_Pause = pause; }

    /// The loading steps (run by the workers; public for the tests). Each answers true when
    /// every call succeeded.
    bool LoadingFolders(IProgressSink& sink);
    bool LoadingRecords(IProgressSink& sink);

private:
    bool CheckViews();
    bool Load(bool bAll);
    template <typename F>
    void Notify(F&& call);

    IBookDialogs& m_Dialogs;
    IProgressRunner& m_Progress;
    BookToolFactory m_Factory;
    std::string m_strPathName;
    std::vector<std::unique_ptr<CAddress>> m_Records;
    std::vector<std::unique_ptr<CFolder>> m_Folders;
    platform::com::Ptr<IBookmanagerTool> m_pBook;
    int m_nCurrentFolderID = 0;
    bool m_bViewsPresent = true;
    std::function<void()> m_SystemError;
    std::vector<IBookDocObserver*> m_Observers;
    std::chrono::milliseconds m_Pause{500};
};
