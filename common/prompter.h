// The one way a program's logic asks the user something: message boxes, folder and file choices.
// Programs pass the Qt implementation; tests pass a scripted one.
#pragma once

#include <optional>
#include <string>
#include <vector>

/// Message box buttons, icons and answers, with their classic values.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

/// A font as the font choice takes and gives it.
struct FontChoice {
    std::string strFace;
    int nSize = 0;      ///< tenths of a point
    int nWeight = 400;  ///< 100 (thin) to 900 (black); 400 regular
    bool operator==(const FontChoice&) const = default;
};

/// A file-open or file-save question.
struct FileQuestion {
    std::string strTitle;
    /// "Name (*.a)|*.a;*.b|...||", as the programs' string tables hold it.
    std::string strFilter;
    /// Appended to a typed name without an extension ("TQC"; empty: none).
    std::string strDefaultExtension;
    /// The folder the dialog opens at (when it exists).
    std::string strFolder;
    /// Open: the file must exist. Save: an existing file is replaced only after a question.
    bool bMustExist = false;
    bool bConfirmOverwrite = false;
    /// Save: an extra drop-down list under the file name (empty: none), its label and control id;
    /// nExtraIndex is the entry selected at the start and, after OK, the one the user chose.
    std::vector<std::string> extraList;
    std::string strExtraLabel;
    int nExtraListId = 0;
    int nExtraIndex = 0;
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    /// Shows a message box; the id of the button pressed (IDOK, IDYES, IDNO, IDCANCEL).
    virtual int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) = 0;
    /// Asks for a folder under a title, opening at strStart (when it exists); the folder chosen, or
    /// nothing when cancelled (and where a program never asks for one).
    virtual std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart)
    {
        static_cast<void>(strTitle);
        static_cast<void>(strStart);
        return std::nullopt;
    }
    /// Asks for a font, starting at initial; the font chosen, or nothing when cancelled (and where
    /// a program never asks for one).
    virtual std::optional<FontChoice> ChooseFont(const FontChoice& initial)
    {
        static_cast<void>(initial);
        return std::nullopt;
    }
    /// Asks for an existing file to open; the path chosen, or nothing when cancelled.
    virtual std::optional<std::string> GetOpenFileName(FileQuestion& question)
    {
        static_cast<void>(question);
        return std::nullopt;
    }
    /// Asks for a file to save to; the path chosen (with the default extension added to a name
    /// without one), or nothing when cancelled.
    virtual std::optional<std::string> GetSaveFileName(FileQuestion& question)
    {
        static_cast<void>(question);
        return std::nullopt;
    }
};
