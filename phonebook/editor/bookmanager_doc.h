// The phone book editor's document: one phone book opened through the phone book object, its
// folders and the records of the current folder, the loading on a worker behind the progress
// display, and the File menu's commands. It never reads or writes the book file itself.
#pragma once

#include "common/progress_runner.h"
#include "phonebook/editor/converter_logic.h"
#include "phonebook/store/IBookmanagerTool.h"
#include "phonebook/store/phone_book.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IBookDialogs;
class IPrompter;

/// What the import or export dialog reports when it closes: a run succeeded, a run failed.
struct ConverterOutcome {
    bool bSucceeded = false;
    bool bFailed = false;
};
/// Runs the import or export dialog over the book's path and its phone book object; guard keeps
/// the book's backup around each run.
using ConverterDialog = std::function<ConverterOutcome(ConverterKind kind, const std::string& strBookPath,
                                                       platform::com::Ptr<IBookmanagerTool> book,
                                                       IConversionGuard& guard)>;

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
    IDS_BOOK_MISSING = 5006,
    IDS_RESTORE_FAILED = 5007,
    IDS_LEFTOVER_BACKUP = 5008,
    IDS_BACKUP_KEPT = 5009,
    IDS_BOOK_UNREADABLE = 5010,
    IDS_TOOLBAR = 4009,
    IDS_OPEN_TITLE = 4010,  ///< the framework's Open (Ctrl+O): the file dialog's title
    IDS_OPEN_FILTER = 4011, ///< and its filter
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
    /// The message boxes of opening a book (the offer of a backup left behind); none without.
    void SetPrompter(IPrompter* pPrompter) { m_pPrompter = pPrompter; }

    /// The book file's full path.
    const std::string& GetPathName() const { return m_strPathName; }
    /// Makes path (made absolute) the document path; the next ReloadAll loads it.
    void SetPathName(const std::string& strPath);
    /// The book name: the path's file name without folder and extension.
    std::string BookName() const;
    /// The title: the book name followed by ".xml"; empty while the book is refused (the last
    /// full load could not read it), so that nothing names a book that is not shown.
    std::string Title() const { return m_bBookRefused ? std::string() : BookName() + ".xml"; }
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
    /// kHintAll after a load that ran to its end. A book that cannot be read shows empty, with a
    /// warning that says so (through the prompter).
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
    /// Loads the book of the document path as it is opened: a backup that a conversion left
    /// behind (the editor ended during it) is offered first, then everything loads (ReloadAll).
    void LoadBook();
    /// Opens another book at once (Ctrl+O, a recent file): the views, the phone book object, the
    /// title and the dialogs all move to it. False, with a message naming it and nothing changed,
    /// when the file does not exist; false too when the book cannot be read, after its message,
    /// with the book shown before it loaded again (see SwitchBook).
    bool OpenBookFile(const std::string& strPath);
    /// A backup left beside the book by a conversion that did not end: asks whether to put it
    /// back (Yes) or to delete it (No). False only when it was to be put back and could not be
    /// (it is kept, and the user told).
    bool OfferLeftoverBackup(IPrompter& prompter);

    /// New Address, New Group, New Folder and Open Phone Book: true when the dialog answered 1.
    bool OnFileNewAddress(void* pOwner);
    bool OnFileNewGroup(void* pOwner);
    bool OnFileNewFolder(void* pOwner);
    bool OnFileOpenPhoneBook(void* pOwner);  ///< false too when the chosen book is refused
    /// Import Phone Book and Export Phone Book: runs the dialog with the book backed up around each
    /// run. A failed run, or one after which the book no longer loads, puts that run's backup back
    /// (the phone book object reads it again); the backup goes once the book loads after the run.
    /// A backup that cannot be put back is kept, the user told and the book reloaded from disk.
    /// After a success everything reloads. When no backup can be made a warning says why and no
    /// dialog opens (false).
    bool OnFileConvert(ConverterKind kind, IPrompter& prompter, const ConverterDialog& dialog);
    /// New Address and New Group are off in the favourite folder.
    bool CanCreateRecords() const { return m_nCurrentFolderID != kFavoriteFolderId; }

    /// The pause after each loading (500 ms; tests shorten it).
    void SetLoadPause(std::chrono::milliseconds pause) { m_Pause = pause; }

    /// The loading steps (run by the workers; public for the tests). Each answers true when
    /// every call succeeded.
    bool LoadingFolders(IProgressSink& sink);
    bool LoadingRecords(IProgressSink& sink);

    /// The backup steps of a conversion (the guard of each run uses them). TakeBackup copies the
    /// book over the backup (a warning says why it could not); RestoreBackup puts the backup back
    /// and lets the phone book object read the book again, removing the backup once the book
    /// loads, else it tells the user and keeps it; DiscardIfLoads removes the backup when the book
    /// loads (false when it does not).
    bool TakeBackup(IPrompter& prompter);
    bool RestoreBackup(IPrompter& prompter);
    bool DiscardIfLoads();

private:
    bool CheckViews();
    /// Makes strPath the document path and loads it. A book that cannot be read is refused: the
    /// book shown before it (when one was) becomes the document's again and loads, and the answer
    /// is false.
    bool SwitchBook(const std::string& strPath);
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
    IPrompter* m_pPrompter = nullptr;
    bool m_bBookRefused = false;
    std::vector<IBookDocObserver*> m_Observers;
    std::chrono::milliseconds m_Pause{500};
};
