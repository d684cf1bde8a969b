#include "phonebook/editor/bookmanager_doc.h"

#include "common/resource_locale.h"
#include "common/prompter.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/record_list_logic.h"
#include "platform/bstr.h"
#include "platform/files.h"

#include <algorithm>
#include <filesystem>
#include <thread>

using platform::com::Ptr;

using platform::com::Bstr;

namespace {

// The progress at the end of the folder phase and where the record phase runs to.
constexpr int kFoldersDone = 40;
constexpr int kStartPercent = 5;

// A value of a record: S_FALSE (the record lacks it) gives an empty text; an error fails.
bool ReadValue(IBookmanagerTool& book, int32_t nID, const char* key, std::string& value)
{
    const Bstr name(key);
    Bstr text;
    const HRESULT hr = book.GetRecordValue(nID, name.get(), text.out());
    if (FAILED(hr))
        return false;
    value = hr == S_OK ? text.ansi() : std::string();
    return true;
}

// A text of the table with each "%s" replaced by the next argument.
std::string Formatted(uint32_t id, std::initializer_list<std::string> args)
{
    std::string text = LoadResourceString(id);
    size_t from = 0;
    for (const std::string& arg : args) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

std::string ErrorText(const std::error_code& error) { return error ? error.message() : std::string("unknown error"); }

// The book file can be read as a phone book (read only; nothing is written).
bool BookLoads(const std::string& strPath)
{
    if (!platform::pathExists(strPath) || platform::isDirectory(strPath))
        return false;
    CPhoneBook book;
    const mfpif_Halvet_R1::IDocumentPtr doc(createDocument());
    return doc && book.LoadPhoneBook(strPath, doc) == 1;
}

// The backup around each run of a converter: a run starts from a fresh backup (the first one was
// taken before the dialog opened); after the run the book is kept when it loads, else put back.
// Once a backup could not be put back it is kept, and no further run may overwrite it.
class CRunBackup : public IConversionGuard {
public:
    CRunBackup(CQeltapbDoc& doc, IPrompter& prompter) : m_Doc(doc), m_Prompter(prompter) {}
    bool BeforeRun() override
    {
        if (m_bKept) {
            m_Prompter.MessageBox(Formatted(IDS_BACKUP_KEPT, {m_Doc.BackupPath()}), LoadResourceString(IDS_EDITOR_TITLE),
                                  MB_ICONWARNING);
            return false;
        }
        return platform::pathExists(platform::nativePath(m_Doc.BackupPath())) || m_Doc.TakeBackup(m_Prompter);
    }
    bool AfterRun(bool bSucceeded) override
    {
        if (bSucceeded && m_Doc.DiscardIfLoads())
            return true;
        if (!m_Doc.RestoreBackup(m_Prompter))
            m_bKept = true;
        return false;
    }
    bool Kept() const { return m_bKept; }

private:
    CQeltapbDoc& m_Doc;
    IPrompter& m_Prompter;
    bool m_bKept = false;
};

} // namespace

Ptr<IBookmanagerTool> CreateBookTool()
{
    Ptr<IBookmanagerTool> book;
    if (!platform::com::threadInitialized())
        platform::com::initializeThread();
    constexpr uint32_t kContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
    if (FAILED(platform::com::createInstance(kBookmanagerToolProgId, kContext, book)))
        book.reset();
    return book;
}

CQeltapbDoc::CQeltapbDoc(IBookDialogs& dialogs, IProgressRunner& progress, BookToolFactory factory)
    : m_Dialogs(dialogs), m_Progress(progress), m_Factory(std::move(factory))
{
}

CQeltapbDoc::~CQeltapbDoc() = default;

void CQeltapbDoc::AddObserver(IBookDocObserver* pObserver) { m_Observers.push_back(pObserver); }

void CQeltapbDoc::RemoveObserver(IBookDocObserver* pObserver) { std::erase(m_Observers, pObserver); }

template <typename F>
void CQeltapbDoc::Notify(F&& call)
{
    for (IBookDocObserver* observer : std::vector<IBookDocObserver*>(m_Observers))
        call(*observer);
}

void CQeltapbDoc::SetPathName(const std::string& strPath)
{
    // The dialogs are handed this path: it names the same file whatever the working folder.
    std::error_code error;
    const std::filesystem::path absolute = strPath.empty() ? std::filesystem::path()
                                                           : std::filesystem::absolute(platform::nativePath(strPath), error);
    m_strPathName = error || absolute.empty() ? strPath : absolute.lexically_normal().string();
}

std::string CQeltapbDoc::BookName() const
{
    std::string name = platform::fileNameOf(m_strPathName);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

void CQeltapbDoc::SelectFolder(int nFolderID)
{
    if (nFolderID == m_nCurrentFolderID)
        return;
    m_nCurrentFolderID = nFolderID;
    ReloadRecords();
}

void CQeltapbDoc::ReloadAll()
{
    m_Records.clear();
    m_Folders.clear();
    m_nCurrentFolderID = 0;
    Load(true);
}

void CQeltapbDoc::ReloadRecords()
{
    m_Records.clear();
    Load(false);
}

bool CQeltapbDoc::Load(bool bAll)
{
    const int hint = bAll ? kHintAll : kHintRecords;
    // The views let go of the deleted items before the worker fills the lists again.
    Notify([&](IBookDocObserver& o) { o.OnUpdate(hint); });
    bool read = true;
    const int result = m_Progress.Run(LoadResourceString(IDS_LOADING_ADDRESS), [&](IProgressSink& sink) {
        sink.Progress(bAll ? kStartPercent : kFoldersDone);
        if (bAll)
            read = LoadingFolders(sink);
        LoadingRecords(sink); // of the folders that were read (none without a book)
        sink.Progress(100);
        std::this_thread::sleep_for(m_Pause);
        return 0;
    });
    if (result != 0)
        return false;
    if (bAll)
        m_bBookRefused = !read;
    Notify([&](IBookDocObserver& o) { o.OnUpdate(hint); });
    // A book the phone book object cannot read (or no phone book object at all) shows what was
    // read, nothing for a book it cannot open, and the user is told why; the file is left as it is.
    if (!read && m_pPrompter)
        m_pPrompter->MessageBox(Formatted(IDS_BOOK_UNREADABLE, {m_strPathName}), LoadResourceString(IDS_EDITOR_TITLE),
                                MB_ICONWARNING);
    return read;
}

bool CQeltapbDoc::LoadingFolders(IProgressSink& sink)
{
    if (!m_pBook && m_Factory)
        m_pBook = m_Factory();
    if (!m_pBook)
        return false;
    IBookmanagerTool& book = *m_pBook.get();
    const Bstr path(m_strPathName);
    if (book.Initiate(path.get()) != S_OK)
        return false;
    int32_t handle = 0, count = 0;
    if (book.FindFolders(&handle, &count) != S_OK)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0, type = 0;
        Bstr name;
        if (book.GetFolderID(handle, i, &id) != S_OK)
            return false;
        if (i == 0)
            m_nCurrentFolderID = id;
        if (book.GetFolderInfo(id, &type, name.out()) != S_OK)
            return false;
        auto folder = std::make_unique<CFolder>();
        folder->m_nType = type;
        folder->m_nID = id;
        folder->m_strName = type == PB_FOLDER_ROOT       ? LoadResourceString(IDS_ADDRESS_LISTS)
                            : type == PB_FOLDER_FAVORITE ? LoadResourceString(IDS_FAVORITE)
                                                      : name.ansi();
        m_Folders.push_back(std::move(folder));
        sink.Progress((i * kFoldersDone + kFoldersDone) / count);
    }
    return book.CloseFolders(handle) == S_OK;
}

bool CQeltapbDoc::LoadingRecords(IProgressSink& sink)
{
    if (!m_pBook)
        return false;
    IBookmanagerTool& book = *m_pBook.get();
    int32_t handle = 0, count = 0;
    constexpr int kEveryType = 255;
    if (book.FindRecords(m_nCurrentFolderID, kEveryType, &handle, &count) != S_OK)
        return false;
    constexpr int kRecordSpan = 100 - kFoldersDone;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0, type = -1, parent = 0;
        Bstr name;
        if (book.GetRecordID(handle, i, &id) != S_OK || book.GetRecordInfo(id, &type, name.out(), &parent) != S_OK)
            return false;
        auto address = std::make_unique<CAddress>();
        address->m_nType = type;
        address->m_nID = id;
        address->m_strName = name.ansi();
        std::string fcode, confirm;
        if (type == PB_RECORD_FAX) {
            if (!ReadValue(book, id, "faxNumber", address->m_strNumber) || !ReadValue(book, id, "faxFCode", fcode) ||
                !ReadValue(book, id, "faxSubAddress", address->m_strSubAddress) ||
                !ReadValue(book, id, "faxPassCode", address->m_strPassCode))
                return false;
            address->m_bFCode = fcode == "true" ? 1 : 0;
        } else if (type == PB_RECORD_IFAX) {
            if (!ReadValue(book, id, "mailAddress", address->m_strNumber) ||
                !ReadValue(book, id, "receptionConfirm", confirm))
                return false;
        } else if (type != PB_RECORD_GROUP) {
            continue;
        }
        m_Records.push_back(std::move(address));
        sink.Progress(kFoldersDone + (i * kRecordSpan + kRecordSpan) / count);
    }
    return book.CloseRecords(handle) == S_OK;
}

void CQeltapbDoc::RemoveRecord(const CAddress* pAddress)
{
    const int index = IndexOf(pAddress);
    if (index < 0)
        return;
    CAddress* item = m_Records[static_cast<size_t>(index)].get();
    Notify([&](IBookDocObserver& o) { o.OnRecordRemoving(item); });
    m_Records.erase(m_Records.begin() + index);
}

int CQeltapbDoc::IndexOf(const CAddress* pAddress) const
{
    for (size_t i = 0; i < m_Records.size(); ++i)
        if (m_Records[i].get() == pAddress)
            return static_cast<int>(i);
    return -1;
}

void CQeltapbDoc::UpdateRecord(CAddress* pAddress, const CAddress& values)
{
    *pAddress = values;
    Notify([&](IBookDocObserver& o) { o.OnRecordChanged(pAddress); });
}

bool CQeltapbDoc::MoveRecord(int nRecordID, int nTargetFolderID)
{
    if (!m_pBook)
        return false;
    IBookmanagerTool& book = *m_pBook.get();
    int32_t type = 0, parent = 0, folderType = 0;
    Bstr name, folderName;
    return book.GetRecordInfo(nRecordID, &type, name.out(), &parent) == S_OK &&
           book.GetFolderInfo(nTargetFolderID, &folderType, folderName.out()) == S_OK &&
           book.MoveRecord(nRecordID, parent, nTargetFolderID) == S_OK;
}

void CQeltapbDoc::ReopenBook()
{
    if (!m_pBook)
        return;
    const Bstr path(m_strPathName);
    m_pBook->Initiate(path.get());
}

void CQeltapbDoc::LoadBook()
{
    if (m_pPrompter)
        OfferLeftoverBackup(*m_pPrompter);
    ReloadAll();
}

bool CQeltapbDoc::OpenBookFile(const std::string& strPath)
{
    if (!platform::pathExists(platform::nativePath(strPath)) || platform::isDirectory(platform::nativePath(strPath))) {
        if (m_pPrompter)
            m_pPrompter->MessageBox(Formatted(IDS_BOOK_MISSING, {strPath}), LoadResourceString(IDS_EDITOR_TITLE),
                                    MB_ICONWARNING);
        return false;
    }
    return SwitchBook(strPath);
}

bool CQeltapbDoc::SwitchBook(const std::string& strPath)
{
    const std::string shown = m_bBookRefused ? std::string() : m_strPathName;
    SetPathName(strPath);
    LoadBook();
    if (!m_bBookRefused)
        return true;
    // As an open that failed: the book shown before stays the one shown.
    if (!shown.empty() && shown != m_strPathName) {
        SetPathName(shown);
        ReloadAll();
    }
    return false;
}

bool CQeltapbDoc::OfferLeftoverBackup(IPrompter& prompter)
{
    const std::string backup = platform::nativePath(BackupPath());
    if (!platform::pathExists(backup) || platform::isDirectory(backup))
        return true;
    if (prompter.MessageBox(Formatted(IDS_LEFTOVER_BACKUP, {m_strPathName, BackupPath()}),
                            LoadResourceString(IDS_EDITOR_TITLE), MB_YESNO | MB_ICONWARNING) != IDYES) {
        platform::removeFile(backup);
        return true;
    }
    return RestoreBackup(prompter);
}

bool CQeltapbDoc::TakeBackup(IPrompter& prompter)
{
    std::error_code error;
    if (platform::copyFileAtomic(platform::nativePath(m_strPathName), platform::nativePath(BackupPath()), &error))
        return true;
    prompter.MessageBox(Formatted(IDS_BACKUP_FAILED, {ErrorText(error)}), LoadResourceString(IDS_EDITOR_TITLE),
                        MB_ICONWARNING);
    return false;
}

bool CQeltapbDoc::RestoreBackup(IPrompter& prompter)
{
    const std::string book = platform::nativePath(m_strPathName), backup = platform::nativePath(BackupPath());
    std::error_code error;
    const bool restored = platform::copyFileAtomic(backup, book, &error);
    // The phone book object reads the book as it is now on disk: it must not keep a partial
    // conversion to write over the book with its next change.
    ReopenBook();
    if (restored && BookLoads(book)) {
        platform::removeFile(backup);
        return true;
    }
    prompter.MessageBox(Formatted(IDS_RESTORE_FAILED, {m_strPathName, restored ? "the restored book does not load"
                                                                               : ErrorText(error), BackupPath()}),
                        LoadResourceString(IDS_EDITOR_TITLE), MB_ICONWARNING);
    return false;
}

bool CQeltapbDoc::DiscardIfLoads()
{
    const std::string book = platform::nativePath(m_strPathName);
    if (!BookLoads(book))
        return false;
    ReopenBook();
    platform::removeFile(platform::nativePath(BackupPath()));
    return true;
}

bool CQeltapbDoc::OnFileConvert(ConverterKind kind, IPrompter& prompter, const ConverterDialog& dialog)
{
    // A backup left by a conversion that did not end is never overwritten unasked.
    if (!OfferLeftoverBackup(prompter) || !TakeBackup(prompter))
        return false;
    CRunBackup guard(*this, prompter);
    const ConverterOutcome outcome = dialog(kind, m_strPathName, m_pBook, guard);
    if (!guard.Kept())
        platform::removeFile(platform::nativePath(BackupPath())); // taken for a run that never came
    // After a backup that could not be put back the views show the book as it is on disk.
    if (outcome.bSucceeded || guard.Kept())
        ReloadAll();
    return true;
}

bool CQeltapbDoc::CheckViews()
{
    if (!m_bViewsPresent && m_SystemError)
        m_SystemError();
    return m_bViewsPresent;
}

bool CQeltapbDoc::OnFileNewAddress(void* pOwner)
{
    IBookDialogs::NewAddress created;
    if (m_Dialogs.CreateNewAddress(m_strPathName, m_nCurrentFolderID, pOwner, created) != 1)
        return false;
    const bool views = CheckViews();
    auto address = std::make_unique<CAddress>(CAddress{created.nKind == 1 ? PB_RECORD_IFAX : PB_RECORD_FAX, created.nID,
                                                        created.strName, created.strNumber, created.bFCode,
                                                        created.strSubAddress, created.strPassCode});
    CAddress* item = address.get();
    m_Records.push_back(std::move(address));
    if (views)
        Notify([&](IBookDocObserver& o) { o.OnRecordAdded(item); });
    ReopenBook();
    return true;
}

bool CQeltapbDoc::OnFileNewGroup(void* pOwner)
{
    std::string name;
    int id = 0;
    if (m_Dialogs.CreateNewGroup(m_strPathName, m_nCurrentFolderID, pOwner, name, id) != 1)
        return false;
    const bool views = CheckViews();
    auto group = std::make_unique<CAddress>(CAddress{PB_RECORD_GROUP, id, name, {}, 0, {}, {}});
    CAddress* item = group.get();
    m_Records.push_back(std::move(group));
    if (views)
        Notify([&](IBookDocObserver& o) { o.OnRecordAdded(item); });
    ReopenBook();
    ReloadRecords();
    return true;
}

bool CQeltapbDoc::OnFileNewFolder(void* pOwner)
{
    std::string name;
    int id = 0;
    if (m_Dialogs.CreateNewFolder(m_strPathName, pOwner, name, id) != 1)
        return false;
    const bool views = CheckViews();
    m_Folders.push_back(std::make_unique<CFolder>(CFolder{PB_FOLDER_USER, id, name}));
    CFolder* item = m_Folders.back().get();
    // The tree selects the new folder, which makes it current and loads its (empty) records.
    if (views)
        Notify([&](IBookDocObserver& o) { o.OnFolderAdded(item); });
    ReopenBook();
    return true;
}

bool CQeltapbDoc::OnFileOpenPhoneBook(void* pOwner)
{
    std::string path, name;
    if (m_Dialogs.SelectPhoneBook(pOwner, path, name, 0, 0) != 1)
        return false;
    return SwitchBook(path);
}
