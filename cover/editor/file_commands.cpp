#include "cover/editor/file_commands.h"

#include "common/cover_notice.h"
#include "common/data_folders.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/state.h"
#include "platform/text.h"

#include <algorithm>

namespace cvr {

namespace {

std::string lowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

std::string stemOf(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

std::string FormatText(uint32_t id, const std::string& argument)
{
    std::string text = LoadResourceString(id);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

CoverFolderLists ListCoverFolderLists(const std::string& folder)
{
    CoverFolderLists lists;
    lists.entries.push_back(LoadResourceString(IDS_DO_NOT_STORE));
    lists.files.emplace_back();
    if (folder.empty())
        return lists;
    for (const std::string& name : platform::listFiles(folder, "*.fdr")) {
        const std::string stem = stemOf(name);
        lists.entries.push_back(lowerAscii(stem) == "cover" ? LoadResourceString(IDS_COVER_LIST) : stem);
        lists.files.push_back(name);
    }
    return lists;
}

bool AppendToCoverList(const std::string& listPath, const std::string& coverPath)
{
    std::string text;
    if (platform::readFile(listPath, text, kMaxListFile) != platform::ReadStatus::Ok)
        return false;
    if (!text.empty() && text.back() == '\x1A')
        text.pop_back();
    if (!text.empty() && text.back() != '\n')
        text += "\r\n";
    text += coverPath;
    text += "\r\n";
    return platform::writeFileAtomic(listPath, text);
}

bool NotifyCoverSheetSaved(uint32_t wParam)
{
    const platform::EndpointHandle wizard = platform::findEndpoint(kHostClassName, kHostTitle);
    return wizard != 0 && platform::postMessage(wizard, MID_CoverSheetSaved, wParam, kCoverSheetSavedMark);
}

CoverFolders ReadCoverFolders()
{
    CoverFolders folders;
    // The folder the send wizard lists (made on first use), so that a new sheet is offered there.
    folders.coverFolder = GetCoverFolder();
    if (folders.coverFolder.empty())
        folders.coverFolder = platform::knownFolder(platform::KnownFolder::Documents).value_or(platform::homeDirectory());
    const std::string install =
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "TQL Directory", "");
    folders.openFolder =
        platform::joinPath(install.empty() ? platform::installDirectory() : platform::nativePath(install), "CvrFiles");
    return folders;
}

CFileCommands::CFileCommands(CtqHeaderDoc& document, IPrompter& prompter, std::function<void()> commit,
                             std::function<void()> refresh, std::function<void(uint32_t)> notify)
    : m_Doc(document), m_Prompter(prompter), m_Commit(std::move(commit)), m_Refresh(std::move(refresh)),
      m_Notify(std::move(notify))
{
}

bool CFileCommands::AskToSave(bool clearOnNo)
{
    if (!m_Doc.IsModified())
        return true;
    switch (m_Prompter.MessageBox(FormatText(IDS_ASK_SAVE, m_Doc.GetTitle()), LoadResourceString(IDS_APP_CAPTION),
                                  MB_ICONWARNING | MB_YESNOCANCEL)) {
    case IDYES:
        Save();
        return !m_Doc.IsModified();
    case IDNO:
        if (clearOnNo)
            m_Doc.SetModifiedFlag(false);
        return true;
    default:
        return false;
    }
}

bool CFileCommands::New()
{
    m_Commit();
    if (!AskToSave())
        return false;
    m_Doc.OnNewDocument();
    m_Doc.SetModifiedFlag(false);
    m_Refresh();
    return true;
}

bool CFileCommands::Open()
{
    m_Commit();
    if (!AskToSave(false))
        return false;
    FileQuestion question;
    question.strTitle = LoadResourceString(IDS_OPEN_TITLE);
    question.strFilter = LoadResourceString(IDS_OPEN_FILTER);
    question.strFolder = ReadCoverFolders().openFolder;
    question.bMustExist = true;
    const std::optional<std::string> path = m_Prompter.GetOpenFileName(question);
    if (!path)
        return false;
    m_Doc.SetModifiedFlag(false);
    return OpenPath(*path);
}

bool CFileCommands::OpenPath(const std::string& path)
{
    if (!m_Doc.OnOpenDocument(path)) {
        m_Prompter.MessageBox(FormatText(IDS_NOT_A_COVER, path), LoadResourceString(IDS_APP_CAPTION), MB_ICONWARNING);
        return false;
    }
    m_Refresh();
    if (const std::vector<std::string> missing = m_Doc.MissingPictures(); !missing.empty()) {
        std::string names;
        for (const std::string& name : missing)
            names += (names.empty() ? "" : "\n") + name;
        m_Prompter.MessageBox(FormatText(IDS_PICTURES_MISSING, names), LoadResourceString(IDS_APP_CAPTION),
                              MB_ICONWARNING);
    }
    return true;
}

bool CFileCommands::saveTo(const std::string& path)
{
    if (m_Doc.OnSaveDocument(path))
        return true;
    m_Prompter.MessageBox(FormatText(IDS_SAVE_FAILED, path), LoadResourceString(IDS_APP_CAPTION), MB_ICONWARNING);
    return false;
}

bool CFileCommands::Save()
{
    m_Commit();
    if (m_Doc.GetPathName().empty())
        SaveAs();
    else if (saveTo(m_Doc.GetPathName()))
        m_Refresh();
    m_Notify(kCoverSavedBySave);
    return !m_Doc.IsModified();
}

bool CFileCommands::SaveAs()
{
    m_Commit();
    const std::string folder = ReadCoverFolders().coverFolder;
    const CoverFolderLists lists = ListCoverFolderLists(folder);
    FileQuestion question;
    question.strTitle = LoadResourceString(IDS_SAVE_TITLE);
    question.strFilter = LoadResourceString(IDS_SAVE_FILTER);
    question.strDefaultExtension = "TQC";
    question.strFolder = folder;
    question.bConfirmOverwrite = true;
    question.extraList = lists.entries;
    question.strExtraLabel = LoadResourceString(IDS_SAVE_TO_FOLDER);
    question.nExtraListId = IDC_FOLDER_LIST;
    question.nExtraIndex = 0;
    bool saved = false;
    if (const std::optional<std::string> path = m_Prompter.GetSaveFileName(question)) {
        saved = saveTo(*path);
        // The list names the sheet only once it was written.
        const size_t index = static_cast<size_t>(question.nExtraIndex);
        if (saved && index < lists.files.size() && !lists.files[index].empty())
            AppendToCoverList(platform::joinPath(folder, lists.files[index]), *path);
        if (saved)
            m_Refresh();
    }
    m_Notify(kCoverSavedBySaveAs);
    return saved;
}

StartRequest ParseStartArguments(const std::vector<std::string>& args)
{
    std::string line;
    for (const std::string& arg : args)
        line += (line.empty() ? "" : " ") + arg;
    if (line.empty())
        return {};
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
        line = line.substr(1, line.size() - 2);
    const bool switchE = line.size() >= 2 && (line[0] == '/' || line[0] == '-') && (line[1] == 'e' || line[1] == 'E');
    if (switchE && !platform::pathExists(line))
        return {StartRequest::Empty, {}};
    return {StartRequest::Path, line};
}

} // namespace cvr
