// The cover sheet editor's file commands without widgets: the question to save, New, Open, Save and
// Save As with the cover folder lists, and the notice to the send wizard after a save.
#pragma once

#include "cover/model/cover_document.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class IPrompter;

namespace cvr {

/// Texts of the file commands.
enum : uint32_t {
    IDS_ASK_SAVE = 31701,       ///< "Do you want to save '%s'?"
    IDS_SAVE_FILTER = 31702,
    IDS_SAVE_TITLE = 31703,
    IDS_DO_NOT_STORE = 31704,
    IDS_COVER_LIST = 31705,     ///< "Cover sheet": how the list "cover.fdr" is shown
    IDS_OPEN_FILTER = 31706,
    IDS_OPEN_TITLE = 31707,
    IDS_NOT_A_COVER = 31740,    ///< "'%s' ..." a file that is no cover sheet
    IDS_SAVE_FAILED = 31741,    ///< "'%s' ..." a save that failed
    IDS_SAVE_TO_FOLDER = 31742, ///< the label of the folder list
    IDS_PRINT_FAILED = 31743,   ///< "... %s" a print job that could not start or failed
    IDS_PICTURES_MISSING = 31746, ///< "... %s ..." the pictures an opened sheet names but cannot read, a line each
    IDS_APP_CAPTION = 61210,
    IDS_COMMAND_FAILED = 61705,
};
/// The Save As dialog's folder list.
inline constexpr int IDC_FOLDER_LIST = 1073;
/// Longest list file read and extended.
inline constexpr size_t kMaxListFile = 1024 * 1024;

/// A text with its "%s" replaced.
std::string FormatText(uint32_t id, const std::string& argument);

/// The cover folder lists of a folder: the entries the Save As list shows ("Do not store" first)
/// and, for each, the file it names (empty for "Do not store").
struct CoverFolderLists {
    std::vector<std::string> entries;
    std::vector<std::string> files;
};
CoverFolderLists ListCoverFolderLists(const std::string& folder);

/// Appends a saved cover sheet's path to a list file, replacing it as one step: a final 0x1A is
/// dropped and a last line without its end gets CR LF first. A missing, unreadable or too large
/// list is left alone (false).
bool AppendToCoverList(const std::string& listPath, const std::string& coverPath);

/// Posts MID_CoverSheetSaved to the send wizard when it runs; false when it does not.
bool NotifyCoverSheetSaved(uint32_t wParam);

/// Where the commands open and save.
struct CoverFolders {
    std::string coverFolder; ///< GetCoverFolder, else the documents folder
    std::string openFolder;  ///< "TQL Directory" (else the install folder) + "/CvrFiles"
};
/// The folders as the settings name them now.
CoverFolders ReadCoverFolders();

class CFileCommands {
public:
    /// commit: ends the in-place edit; refresh: redraws the views after the sheet changed;
    /// notify: tells the send wizard (NotifyCoverSheetSaved in the program).
    CFileCommands(CtqHeaderDoc& document, IPrompter& prompter, std::function<void()> commit,
                  std::function<void()> refresh, std::function<void(uint32_t)> notify);

    /// The question before the sheet is dropped: true to go on (Yes and saved, or No), false to
    /// stop (Cancel, or a save that failed). clearOnNo: No clears the modified flag.
    bool AskToSave(bool clearOnNo = true);
    /// An empty sheet after the question. False when the user stopped it.
    bool New();
    /// The Open dialog after the question. False when nothing was opened.
    bool Open();
    /// Opens a path; a file that is no cover sheet shows a warning and leaves the sheet as it was.
    /// An opened sheet whose pictures cannot all be read says which, in one warning.
    bool OpenPath(const std::string& path);
    /// Saves to the sheet's path (Save As when it has none). False when the sheet is still modified.
    bool Save();
    /// The Save As dialog with its folder list. False when the sheet was not saved.
    bool SaveAs();

private:
    bool saveTo(const std::string& path);

    CtqHeaderDoc& m_Doc;
    IPrompter& m_Prompter;
    std::function<void()> m_Commit, m_Refresh;
    std::function<void(uint32_t)> m_Notify;
};

/// How the editor was started: no argument (the sample sheet), "/e" (an empty sheet) or a path.
struct StartRequest {
    enum Kind { Sample, Empty, Path } kind = Sample;
    std::string path;
};
/// The request of a command line (the program's arguments joined by spaces). An argument that
/// starts with "/e" or "-e" in any case and names no file is the empty sheet; surrounding quotes
/// of a path are removed.
StartRequest ParseStartArguments(const std::vector<std::string>& args);

} // namespace cvr
