#include "viewer/viewer_document.h"

#include "viewer/view_logic.h"

#include "common/resource_locale.h"
#include "imaging/page_qimage.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/state.h"
#include "viewer/page_file_access.h"

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace viewer {

const char* const kSaveAsFilter =
    "Document File (*.TQD)|*.TQD|TIFF File No Compression (*.TIF)|*.TIF|TIFF File Modified CCITT MH Compression "
    "(*.TIF)|*.TIF|TIFF File CCITT G3 MH Compression (*.TIF)|*.TIF|TIFF File CCITT G3 MR Compression (*.TIF)|*.TIF|"
    "TIFF File PackBits Compression (*.TIF)|*.TIF|TIFF File Class F(*.TIF)|*.TIF|Bitmap File (*.BMP)|*.BMP|"
    "PCX File (*.PCX)|*.PCX|FAX File (*.FAX)|*.FAX||";

const char* const kOpenFilter =
    "Document File (*.TQD, *.TQG)|*.TQD;*.TQG|FAX File (*.FAX)|*.FAX|TIFF File(*.TIF)|*.TIF|Bitmap File (*.BMP)|"
    "*.BMP|PCX File (*.PCX)|*.PCX|DCX File (*.DCX)|*.DCX|Document Link File (*.LNK, *.TQS)|*.LNK;*.TQS|"
    "All Files (*.*)|*.*|";

namespace {

constexpr CFileFormat kSaveAsFormats[10] = {
    {PF_TYPE_TIFF, PF_COMPRESSION_NONE},     {PF_TYPE_TIFF, PF_COMPRESSION_NONE},  {PF_TYPE_TIFF, PF_COMPRESSION_MH},
    {PF_TYPE_TIFF, PF_COMPRESSION_G3_MH},    {PF_TYPE_TIFF, PF_COMPRESSION_G3_MR},
    {PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS}, {PF_TYPE_TIFF, PF_COMPRESSION_CLASS_F},
    {PF_TYPE_BMP, 1},                        {PF_TYPE_PCX, 1},                     {PF_TYPE_FAX, 1},
};

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The name after the last "\" or "/".
std::string titleOf(const std::string& path)
{
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool isSinglePageType(int type) { return type == PF_TYPE_BMP || type == PF_TYPE_PCX; }

} // namespace

CFileFormat SaveAsFormatOfEntry(int index) { return kSaveAsFormats[(index >= 0 && index < 10) ? index : 0]; }

int SaveAsEntryOfFormat(int type, int compression)
{
    switch (type) {
    case PF_TYPE_TIFF:
    case PF_TYPE_DOCUMENT:
        switch (compression) {
        case PF_COMPRESSION_NONE: return 1;
        case PF_COMPRESSION_MH: return 2;
        case PF_COMPRESSION_G3_MH: return 3;
        case PF_COMPRESSION_G3_MR: return 4;
        case PF_COMPRESSION_PACKBITS: return 5;
        case PF_COMPRESSION_CLASS_F: return 6;
        default: return 0;
        }
    case PF_TYPE_BMP: return 7;
    case PF_TYPE_PCX: return 8;
    case PF_TYPE_FAX: return 9;
    default: return 0;
    }
}

bool IsOpenableExtension(const std::string& path)
{
    static const char* const kinds[] = {"TQD", "TQG", "TQS", "TIF", "FAX", "BMP", "PCX", "DCX", "LNK"};
    const std::string ext = UpperExtension(path);
    return std::any_of(std::begin(kinds), std::end(kinds), [&](const char* kind) { return ext == kind; });
}

bool CheckFileToOpen(const std::string& path, IPrompter& prompter, const std::string& caption)
{
    const int32_t file = PageFileOpen(path.c_str(), nullptr, PF_OPEN_READ);
    if (file == -1) {
        prompter.MessageBox(LoadResourceString(IDS_CANNOT_OPEN_FILE), caption, MB_ICONEXCLAMATION);
        return false;
    }
    PageFileClose(file);
    if (!IsOpenableExtension(path)) {
        prompter.MessageBox(LoadResourceString(IDS_FORMAT_NOT_SUPPORTED), caption, MB_ICONWARNING);
        return false;
    }
    return true;
}

// ---- clipboard ----

bool CQtPageClipboard::Open() { return qGuiApp != nullptr && QGuiApplication::clipboard() != nullptr; }

void CQtPageClipboard::SetImage(const QImage& image)
{
    if (!Open())
        return;
    auto* data = new QMimeData;
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
}

std::optional<QImage> CQtPageClipboard::Image()
{
    if (!Open())
        return std::nullopt;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasImage())
        return std::nullopt;
    QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull())
        return std::nullopt;
    return image;
}

// ---- temporaries ----

namespace {

constexpr std::string_view kPrivateFolderPrefix = "qelta-viewer-";

std::string temporaryRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Saves of every viewer of the user hold this lock while they write, so that a sweep taking it
// finds only the temporaries of writers that died.
platform::FileLock SaveLock() { return platform::FileLock(platform::joinPath(platform::userStateFolder(), "pageviewer-save")); }

// The private folders of viewers that ended without removing them: "qelta-viewer-<pid>-XXXXXX" of
// this user whose process is gone.
void removeDeadViewersFolders()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(temporaryRoot(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kPrivateFolderPrefix, 0) != 0 || !entry.is_directory(error) || entry.is_symlink(error))
            continue;
        const long pid = std::strtol(name.c_str() + kPrivateFolderPrefix.size(), nullptr, 10);
        struct stat st {};
        if (pid <= 0 || ::lstat(entry.path().c_str(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), error);
    }
}

} // namespace

void SweepStaleTemporaries(const std::string& document)
{
    removeDeadViewersFolders();
    if (document.empty())
        return;
    const platform::FileLock lock = SaveLock();
    if (lock.locked())
        platform::removeStaleTemporaries(document);
}

// ---- document ----

CTqlVwTLDoc::CTqlVwTLDoc(CViewerAppValues& app, IPrompter& prompter, IViewerFrame& frame, IPageClipboard& clipboard)
    : m_app(app), m_prompter(prompter), m_frame(frame), m_clipboard(clipboard), m_pLayer(&m_noLayer),
      m_pUndo(&m_noUndo)
{
    // A folder only this user can enter, so no other viewer or user can take or swap the file.
    // Named by the process, so that a later viewer can tell the folder of one that was killed.
    std::string pattern = platform::joinPath(temporaryRoot(), std::string(kPrivateFolderPrefix)
                                                                  + std::to_string(::getpid()) + "-XXXXXX");
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_strTempFolder = pattern;
        if (auto file = platform::createTempFile(m_strTempFolder, "TempVw", ".tqd"))
            m_strTempDoc = *file;
    }
}

CTqlVwTLDoc::~CTqlVwTLDoc()
{
    DeleteContents();
    if (!m_strTempFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_strTempFolder, ignored);
    }
}

void CTqlVwTLDoc::SetViews(IViewerView* thumbnailView, IPageView* pageView)
{
    m_pThumbView = thumbnailView;
    m_pPageView = pageView;
}

bool CTqlVwTLDoc::EditingAllowed() const { return m_pPageView && m_pPageView->PageState().GetEditingAllowed() != 0; }

int CTqlVwTLDoc::CurrentPage() const
{
    const int current = m_pPageView ? m_pPageView->PageState().GetCurrentPage() : 0;
    return std::clamp(current, 0, std::max(0, PageCount() - 1));
}

void CTqlVwTLDoc::ShowError(int code, const std::string& path)
{
    switch (code) {
    case kConversionCancelled: break; // the user stopped it: nothing to tell
    case kLinkFilesRepeat:
        Message(NamingFile(LoadResourceString(IDS_LINK_FILES_REPEAT), path), MB_ICONEXCLAMATION);
        break;
    case kLinkFilesTooDeep:
        Message(NamingFile(LoadResourceString(IDS_LINK_FILES_TOO_DEEP), path), MB_ICONEXCLAMATION);
        break;
    default: ShowPageFileError(code, path); break;
    }
}

void CTqlVwTLDoc::Message(const std::string& text, unsigned flags) { m_prompter.MessageBox(text, LoadResourceString(IDS_APP_TITLE), flags); }

bool CTqlVwTLDoc::OnNewDocument()
{
    DeleteContents();
    m_strPath.clear();
    m_strTitle.clear();
    m_frame.SetDocumentTitle(m_strTitle);
    return true;
}

void CTqlVwTLDoc::DeleteContents()
{
    m_pages.clear();
    m_loadedFile = CLoadedFile{};
    m_bModified = false;
    m_bLoaded = false;
    m_bFormatChosen = false;
}

int16_t CTqlVwTLDoc::LoadInto(const std::string& path, CPageImageArray& pages, CLoadedFile& file, int& type)
{
    // The wait cursor and the status text show before anything is read, a conversion included.
    m_frame.SetWaitCursor(true);
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_PROCESSING));
    const int16_t code = ReadInto(path, pages, file, type);
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_HELP));
    m_frame.SetWaitCursor(false);
    return code;
}

int16_t CTqlVwTLDoc::ReadInto(const std::string& path, CPageImageArray& pages, CLoadedFile& file, int& type)
{
    std::string loadedPath = path;
    if (IsLinkFileName(path)) {
        if (m_strTempDoc.empty())
            return PF_ERR_WRITE;
        CBusyScope scope(m_app.busy);
        const std::string temp = m_strTempDoc;
        const int16_t code = m_frame.RunConversion([&path, temp](const ConversionProgress& progress) {
            bool busy = false; // the conversion may run on a thread of its own
            return ConvertFiles({path}, temp, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0, busy, progress);
        });
        if (code != PF_OK)
            return code;
        loadedPath = m_strTempDoc;
    }
    // The stamp is taken before the file is read: a change while it is read shows as a change.
    file = CLoadedFile{loadedPath, {}, platform::fileStamp(loadedPath)};
    type = GetFileType(loadedPath);
    if (type < 0)
        return static_cast<int16_t>(type);
    if (type == PF_TYPE_NONE)
        return PF_ERR_OPEN;
    const int count = CountPages(loadedPath, type);
    if (const int16_t code = PageFileGetLastError(); code != PF_OK)
        return code;
    if (count <= 0)
        return PF_ERR_CORRUPT;
    // A file the library cannot describe is damaged, however many pages could be read from it.
    if (const int16_t code = DescribeFile(loadedPath, file.record); code != PF_OK)
        return code;
    const int16_t code = ReadPages(loadedPath, pages, type, 0, count, m_app.readOption, m_app.appValue, m_app.busy);
    if (code == PF_OK && static_cast<int>(pages.size()) != count)
        return PF_ERR_CORRUPT;
    return code;
}

void CTqlVwTLDoc::TakePages(CPageImageArray&& pages)
{
    m_pages = std::move(pages);
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)}) {
        if (!view)
            continue;
        view->State().SetPageCount(PageCount());
        view->State().SetCurrentPage(0);
    }
}

void CTqlVwTLDoc::InsertPageAt(int index, IKHANDLE bitmap)
{
    index = std::clamp(index, 0, PageCount());
    m_pages.insert(m_pages.begin() + index, std::make_unique<CPageImage>(bitmap));
}

void CTqlVwTLDoc::RemovePageAt(int index)
{
    if (index >= 0 && index < PageCount())
        m_pages.erase(m_pages.begin() + index);
}

void CTqlVwTLDoc::ReplacePageAt(int index, IKHANDLE bitmap)
{
    if (index >= 0 && index < PageCount())
        m_pages[static_cast<size_t>(index)]->SetBitmap(bitmap);
    else
        IKFreeMemory(bitmap);
}

void CTqlVwTLDoc::PagesChanged()
{
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)})
        if (view) {
            view->State().SetPageCount(PageCount());
            view->State().SetCurrentPage(std::clamp(view->State().GetCurrentPage(), 0, std::max(0, PageCount() - 1)));
        }
    UpdateViews();
}

void CTqlVwTLDoc::UpdateViews()
{
    for (IViewerView* view : {static_cast<IViewerView*>(m_pPageView), static_cast<IViewerView*>(m_pThumbView)})
        if (view)
            view->OnReinitialise();
}

bool CTqlVwTLDoc::OnOpenDocument(const std::string& path)
{
    CPageImageArray pages;
    CLoadedFile file;
    int type = 0;
    if (const int16_t code = LoadInto(path, pages, file, type); code != PF_OK) {
        ShowError(code, path);
        m_frame.SetStatusText(1, "");
        RestoreFocus();
        return false;
    }
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)})
        if (view) {
            view->State().SetPageCount(0);
            view->State().SetCurrentPage(0);
        }
    DeleteContents();
    // The annotations and the undo step belong to the pages that go: none of them may reach the new
    // document.
    m_pLayer->ClearAll();
    m_pUndo->Reset();
    TakePages(std::move(pages));
    m_nType = type;
    m_nCompression = file.record.compression;
    m_bLoaded = true;
    m_app.lastFile = path;
    m_app.lastDir = platform::parentPath(path);
    m_strPath = file.path;
    m_loadedFile = std::move(file);
    m_strTitle = titleOf(path);
    m_frame.SetDocumentTitle(m_strTitle);
    m_bModified = false;
    UpdateViews();
    return true;
}

bool CTqlVwTLDoc::SendListHas(const std::string& path)
{
    const std::string list = m_app.installDir + "send.lnk";
    if (PageFileOpen(list.c_str(), nullptr, PF_OPEN_EXIST) != 1) {
        const int32_t made = PageFileOpen(list.c_str(), nullptr, PF_OPEN_CREATE);
        if (made == -1)
            return true; // nothing can be added to a list that cannot be made
        PageFileClose(made);
    }
    std::vector<std::string> listed;
    if (ReadLinkFile(list, listed) != PF_OK)
        return true;
    const std::string wanted = upper(path);
    return std::any_of(listed.begin(), listed.end(),
                       [&](const std::string& line) { return upper(line.substr(0, 260)) == wanted; });
}

void CTqlVwTLDoc::RegisterSend(const std::string& path)
{
    const uint32_t message = platform::registerMessage(kSaveAnnounceMessage);
    if (message != 0)
        platform::broadcastMessage(message, kSaveAnnounceStart, 0);
    if (!SendListHas(path)
        && m_prompter.MessageBox(LoadResourceString(IDS_REGISTER_SAVED), LoadResourceString(IDS_APP_TITLE),
                                 MB_OKCANCEL | MB_ICONQUESTION)
               == IDOK) {
        const std::string list = m_app.installDir + "send.lnk";
        const int32_t file = PageFileOpen(list.c_str(), nullptr, PF_OPEN_READWRITE);
        if (file != -1) {
            const std::string line = path + "\n";
            PageFileSeek(file, 0, 2);
            PageFileWriteBlock(file, line.data(), static_cast<int32_t>(line.size()));
            PageFileClose(file);
        }
    }
    if (message != 0)
        platform::broadcastMessage(message, kSaveAnnounceEnd, 0);
}

bool CTqlVwTLDoc::OnSaveDocument(const std::string& path)
{
    if (IsLinkFileName(path)) {
        Message(LoadResourceString(IDS_LINK_NOT_SAVED), MB_ICONINFORMATION);
        return false;
    }
    if (m_pages.empty())
        return false;
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_PROCESSING));
    const int current = CurrentPage();
    CFileFormat format{m_nType, m_nCompression};
    int first = 0, end = PageCount();
    if (m_bFormatChosen) {
        format = m_chosen;
        m_bFormatChosen = false;
        if (isSinglePageType(format.type)) {
            first = current;
            end = current + 1;
        }
    } else if (PageCount() < 2) {
        first = current;
        end = current + 1;
    } else if (isSinglePageType(format.type)) {
        if (m_prompter.MessageBox(LoadResourceString(IDS_CHANGE_TO_MULTIPAGE), LoadResourceString(IDS_APP_TITLE),
                                  MB_OKCANCEL | MB_ICONQUESTION)
            == IDOK) {
            if (const auto chosen = m_frame.ChangeFileFormat()) {
                format = *chosen;
                m_nType = chosen->type;
                m_nCompression = chosen->compression;
            } else {
                end = 1;
            }
        } else {
            Message(LoadResourceString(IDS_SAVE_CURRENT_PAGE), MB_ICONINFORMATION);
            first = current;
            end = current + 1;
        }
    }
    // Annotations are burnt into copies of their pages: the pages take them only once the file is
    // written, so a failed save leaves the pages and the annotations as they were.
    bool burnt = false;
    std::vector<std::pair<int, std::unique_ptr<CPageImage>>> burntPages;
    std::vector<IKHANDLE> bitmaps;
    for (int i = first; i < end; ++i) {
        CPageImage& page = *m_pages[static_cast<size_t>(i)];
        if (EditingAllowed()) {
            auto copy = std::make_unique<CPageImage>(PageOfBitmap(page.Bitmap()));
            if (m_pLayer->BurnIn(i, *copy)) {
                burnt = true;
                bitmaps.push_back(copy->Handle());
                burntPages.emplace_back(i, std::move(copy));
                continue;
            }
        }
        bitmaps.push_back(page.Handle());
    }
    int16_t code = PF_OK;
    {
        const platform::FileLock lock = SaveLock();
        code = WritePages(bitmaps, path, format.type, format.compression, m_app.readOption, m_app.appValue,
                          m_app.busy);
    }
    m_frame.SetStatusText(0, LoadResourceString(IDS_STATUS_HELP));
    if (code != PF_OK) {
        ShowError(code, path);
        return false;
    }
    for (auto& [index, copy] : burntPages)
        m_pages[static_cast<size_t>(index)] = std::move(copy);
    if (m_app.appValue == 0) {
        CPageImageArray pages;
        CLoadedFile file;
        int type = 0;
        if (const int16_t reread = LoadInto(path, pages, file, type); reread != PF_OK) {
            ShowError(reread, path);
            m_loadedFile = CLoadedFile{};
        } else {
            TakePages(std::move(pages));
            m_nType = type;
            m_nCompression = file.record.compression;
            m_loadedFile = std::move(file);
            UpdateViews();
        }
    } else if (DescribeLoadedFile(path, m_loadedFile) != PF_OK) {
        m_loadedFile = CLoadedFile{}; // the pages shown are the document's; its file tells nothing
    }
    if (burnt)
        m_pLayer->ClearAll();
    for (IViewerView* view : {static_cast<IViewerView*>(m_pPageView), static_cast<IViewerView*>(m_pThumbView)})
        if (view)
            view->OnRefresh();
    m_strPath = path;
    m_strTitle = titleOf(path);
    m_frame.SetDocumentTitle(m_strTitle);
    m_bModified = false;
    if (m_app.sendRegistration)
        RegisterSend(path);
    return true;
}

bool CTqlVwTLDoc::SaveModified()
{
    if (!m_bModified)
        return true;
    if (!m_strTempDoc.empty() && m_strPath == m_strTempDoc) {
        m_bModified = false;
        return true;
    }
    std::string text = LoadResourceString(IDS_SAVE_CHANGES);
    if (const size_t at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, m_strPath.empty() ? LoadResourceString(IDS_UNTITLED) : m_strPath);
    const int answer = m_prompter.MessageBox(text, LoadResourceString(IDS_APP_TITLE), MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer == IDYES) {
        const bool saved = m_strPath.empty() ? SaveAs() : OnSaveDocument(m_strPath);
        if (!saved)
            return false;
    }
    m_bModified = false;
    return true;
}

bool CTqlVwTLDoc::SaveAs()
{
    EndAnnotationEdit();
    std::string name = titleOf(m_strPath);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos)
        name.erase(dot);
    const auto chosen = m_frame.SaveAsFile(kSaveAsFilter, SaveAsEntryOfFormat(m_nType, m_nCompression), name);
    bool saved = false;
    if (chosen) {
        m_chosen = SaveAsFormatOfEntry(chosen->second);
        m_bFormatChosen = true;
        saved = OnSaveDocument(chosen->first);
        if (saved) {
            m_nType = m_chosen.type;
            m_nCompression = m_chosen.compression;
        }
        m_bFormatChosen = false;
    }
    RestoreFocus();
    return saved;
}

bool CTqlVwTLDoc::InsertFromFile(bool insert)
{
    const auto path = m_frame.OpenFile(LoadResourceString(insert ? IDS_INSERT_TITLE : IDS_ADD_TITLE), kOpenFilter, m_app.lastDir);
    if (!path || !CheckFileToOpen(*path, m_prompter, LoadResourceString(IDS_APP_TITLE)))
        return false;
    CPageImageArray pages;
    CLoadedFile file;
    int type = 0;
    if (const int16_t code = LoadInto(*path, pages, file, type); code != PF_OK) {
        ShowError(code, *path);
        return false;
    }
    const int at = insert ? CurrentPage() : PageCount();
    const int added = static_cast<int>(pages.size());
    for (int i = 0; i < added; ++i) {
        m_pages.insert(m_pages.begin() + at + i, std::move(pages[static_cast<size_t>(i)]));
        if (insert)
            m_pLayer->InsertPage(at + i);
    }
    m_nType = type;
    m_nCompression = file.record.compression;
    m_pUndo->Reset();
    m_app.lastFile = *path;
    m_app.lastDir = platform::parentPath(*path);
    m_bModified = true;
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)})
        if (view)
            view->State().SetPageCount(PageCount());
    UpdateViews();
    return true;
}

void CTqlVwTLDoc::CopyPage()
{
    if (!m_clipboard.Open()) {
        m_prompter.MessageBox(LoadResourceString(IDS_CLIPBOARD_NOT_OPENED), LoadResourceString(IDS_APP_TITLE), MB_ICONEXCLAMATION);
        return;
    }
    m_clipboard.SetImage(m_pages[static_cast<size_t>(CurrentPage())]->Bitmap());
}

void CTqlVwTLDoc::DeletePage()
{
    const int current = CurrentPage();
    CopyPage();
    m_pUndo->RecordDelete(current, m_pages[static_cast<size_t>(current)]->Bitmap());
    m_bModified = true;
    m_pages.erase(m_pages.begin() + current);
    m_pLayer->RemovePage(current);
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)})
        if (view) {
            view->State().SetPageCount(PageCount());
            view->State().SetCurrentPage(std::min(current, PageCount() - 1));
        }
    UpdateViews();
}

void CTqlVwTLDoc::PastePage(bool atEnd)
{
    if (!m_clipboard.Open()) {
        m_prompter.MessageBox(LoadResourceString(IDS_CLIPBOARD_NOT_OPENED), LoadResourceString(IDS_APP_TITLE), MB_ICONEXCLAMATION);
        return;
    }
    const std::optional<QImage> image = m_clipboard.Image();
    const IKHANDLE page = image ? qelta::imaging::pageOfImage(*image) : 0;
    if (page == 0) {
        m_prompter.MessageBox(LoadResourceString(IDS_CLIPBOARD_EMPTY), LoadResourceString(IDS_APP_TITLE), MB_ICONEXCLAMATION);
        return;
    }
    const int at = atEnd ? PageCount() : CurrentPage();
    m_pUndo->RecordInsert(at);
    m_bModified = true;
    m_pages.insert(m_pages.begin() + at, std::make_unique<CPageImage>(page));
    if (!atEnd)
        m_pLayer->InsertPage(at);
    for (IViewerView* view : {static_cast<IViewerView*>(m_pThumbView), static_cast<IViewerView*>(m_pPageView)})
        if (view)
            view->State().SetPageCount(PageCount());
    UpdateViews();
}

void CTqlVwTLDoc::EndAnnotationEdit()
{
    m_pLayer->EndEdit(1);
    m_pLayer->EndEdit(2);
}

void CTqlVwTLDoc::ActivatePane(int pane)
{
    IViewerView* view = pane == 1 ? static_cast<IViewerView*>(m_pThumbView) : static_cast<IViewerView*>(m_pPageView);
    if (view)
        view->Activate();
    m_nFocusedPane = pane;
    m_frame.SetStatusText(6, ActivePaneText(pane));
}

void CTqlVwTLDoc::RestoreFocus() { ActivatePane(m_nFocusedPane == 2 ? 2 : 1); }

void CTqlVwTLDoc::ForwardToViews(int id, bool both)
{
    if (m_pPageView)
        m_pPageView->OnCommand(id);
    if (both && m_pThumbView)
        m_pThumbView->OnCommand(id);
}

namespace {

bool isAnnotationEditing(int id)
{
    return id == ID_EDIT_UNDO || id == ID_EDIT_CUT || id == ID_EDIT_COPY || id == ID_EDIT_PASTE
           || (id >= ID_ANNOTATION_FIRST && id <= ID_ANNOTATION_LAST) || (id >= ID_CONTEXT_FIRST && id <= ID_CONTEXT_LAST)
           || (id >= ID_STAMP_FIRST && id <= ID_STAMP_LAST);
}

bool isTool(int id)
{
    return id == ID_TOOL_HAND || id == ID_TOOL_SELECT || (id >= ID_TOOL_FIRST_ANNOTATION && id <= ID_TOOL_LAST_ANNOTATION)
           || id == ID_TOOL_STAMP_CHOICE || id == ID_TOOL_TILT || id == ID_TOOL_HIDE_ANNOTATIONS;
}

bool isPageViewOperation(int id)
{
    switch (id) {
    case ID_PAGE_NEXT:
    case ID_PAGE_PREVIOUS:
    case ID_VIEW_FIT:
    case ID_VIEW_ENLARGE:
    case ID_VIEW_RESTORE:
    case ID_VIEW_REDUCE:
    case ID_VIEW_ROTATE_LEFT:
    case ID_VIEW_ROTATE_RIGHT:
    case ID_VIEW_ROTATE_180:
    case ID_VIEW_INVERT:
    case ID_VIEW_GREY:
        return true;
    default:
        return false;
    }
}

} // namespace

bool CTqlVwTLDoc::OnCommand(int id)
{
    CCmdUI ui;
    if (!OnUpdateCommand(id, ui))
        return false;
    if (!ui.enabled)
        return true; // a disabled command does nothing
    if (isAnnotationEditing(id)) {
        ForwardToViews(id, false);
        return true;
    }
    if (isTool(id)) {
        if (id != ID_TOOL_TILT)
            m_pLayer->CancelToolWork(1);
        ForwardToViews(id, false);
        return true;
    }
    EndAnnotationEdit();
    if (isPageViewOperation(id)) {
        // The thumbnails follow the pages' turn, inversion and paging.
        const bool both = id == ID_PAGE_NEXT || id == ID_PAGE_PREVIOUS || id == ID_VIEW_INVERT
                          || id == ID_VIEW_ROTATE_LEFT || id == ID_VIEW_ROTATE_RIGHT || id == ID_VIEW_ROTATE_180
                          || id == ID_VIEW_RESTORE;
        ForwardToViews(id, both);
        return true;
    }
    switch (id) {
    case ID_FILE_SAVE:
        // A document never saved (pages pasted into an empty one) asks for a name first.
        if (m_strPath.empty())
            SaveAs();
        else
            OnSaveDocument(m_strPath);
        return true;
    case ID_FILE_SAVE_AS:
        SaveAs();
        return true;
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
        return true; // the page view prints
    case ID_FILE_PROPERTIES:
        m_frame.FileInformation(m_loadedFile, m_pages);
        return true;
    case ID_PAGE_COPY:
        CopyPage();
        return true;
    case ID_PAGE_DELETE:
        DeletePage();
        return true;
    case ID_PAGE_PASTE_BEFORE:
    case ID_PAGE_PASTE_END:
        PastePage(id == ID_PAGE_PASTE_END);
        return true;
    case ID_PAGE_INSERT_FILES:
    case ID_PAGE_ADD_FILES:
        InsertFromFile(id == ID_PAGE_INSERT_FILES);
        return true;
    case ID_PAGE_JUMP:
        if (const auto page = m_frame.PageJump(PageCount(), CurrentPage()))
            for (IViewerView* view : {static_cast<IViewerView*>(m_pPageView), static_cast<IViewerView*>(m_pThumbView)})
                if (view)
                    view->GoToPage(*page);
        return true;
    case ID_PAGE_FIRST:
    case ID_PAGE_LAST:
        for (IViewerView* view : {static_cast<IViewerView*>(m_pPageView), static_cast<IViewerView*>(m_pThumbView)})
            if (view)
                view->GoToPage(id == ID_PAGE_FIRST ? 0 : -1);
        return true;
    case ID_TOOL_SETTINGS: {
        CSettingsValues values{m_app.cmplJustify, m_app.cmplRow, m_app.readOption, m_app.appValue};
        if (m_frame.Settings(values)) {
            m_app.cmplJustify = values.adjust;
            m_app.cmplRow = values.lines;
            m_app.readOption = values.readOption;
            m_app.appValue = values.appValue;
            if (m_app.storeReducedView)
                m_app.storeReducedView(values.adjust, values.lines);
            if (m_pThumbView) {
                m_pThumbView->State().SetFit(values.adjust);
                if (!m_pages.empty())
                    m_pThumbView->OnRefresh();
            }
        }
        return true;
    }
    default:
        return true;
    }
}

bool CTqlVwTLDoc::OnUpdateCommand(int id, CCmdUI& ui)
{
    const bool pages = !m_pages.empty();
    ui = CCmdUI{};
    if (isAnnotationEditing(id) || isTool(id) || isPageViewOperation(id)) {
        if (!m_pPageView || !m_pPageView->OnUpdateCommand(id, ui))
            ui.enabled = pages;
        return true;
    }
    switch (id) {
    case ID_FILE_SAVE:
        ui.enabled = pages && m_bModified;
        return true;
    case ID_FILE_SAVE_AS:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
    case ID_FILE_PROPERTIES:
    case ID_PAGE_COPY:
    case ID_PAGE_JUMP:
        ui.enabled = pages;
        return true;
    case ID_PAGE_DELETE:
        ui.enabled = PageCount() > 1 && EditingAllowed();
        return true;
    case ID_PAGE_PASTE_BEFORE:
    case ID_PAGE_PASTE_END:
        ui.enabled = pages && EditingAllowed() && m_clipboard.Open() && m_clipboard.Image().has_value();
        return true;
    case ID_PAGE_INSERT_FILES:
    case ID_PAGE_ADD_FILES:
        ui.enabled = pages && EditingAllowed();
        return true;
    case ID_PAGE_FIRST:
    case ID_PAGE_LAST:
        ui.enabled = PageCount() > 1;
        return true;
    case ID_TOOL_SETTINGS:
        ui.enabled = true;
        return true;
    default:
        return false;
    }
}

} // namespace viewer
