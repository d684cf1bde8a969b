// The driver environment program without its widgets: the sheet "Qelta Environment Setting" with
// the Header Setting page (the driver header's font and sender texts in the user's settings) and
// the Printer Setting page (the printer the send wizard sends faxes to, through devicelistlib).
#pragma once

#include "common/header_font.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class IPrompter;

/// The program's code for its language modules ("resENVSETUP<LNG>.so").
inline constexpr const char* kEnvsetupModuleCode = "ENVSETUP";
/// The help file (beside the programs) and the sheet's help context.
inline constexpr const char* kEnvsetupHelpFile = "Sendwizard2.html";
inline constexpr uint32_t kEnvsetupHelpContext = 131206;

/// Dialogs, texts, icons and controls.
enum : int {
    IDD_HEADER_SETTING = 106,
    IDD_PRINTER_SETTING = 107,
    IDS_ENVSETUP_CAPTION = 1,
    IDS_COLUMN_NAME = 5,
    IDS_COLUMN_MODEL = 6,
    IDS_COLUMN_LOCATION = 7,
    IDS_CHOOSE_PRINTER = 8, ///< Apply with the check box set and no printer chosen
    IDS_APPLY = 9,          ///< the sheet's Apply button
    IDS_NO_PRINT_SERVER = 10, ///< the printer list's note while the print server cannot be reached
    IDS_UPDATE_FAILED = 11,   ///< Update List when the list cannot be had
    IDS_HEADER_PAGE = 106,  ///< the pages' titles
    IDS_PRINTER_PAGE = 107,
    IDI_ENVSETUP = 128,
    IDC_FONT_FACE = 1003,
    IDC_FONT_SIZE = 1005,
    IDC_SELECT_FONT = 1006,
    IDC_HEADER_USER_NAME = 1009,
    IDC_HEADER_TEL_NUMBER = 1011,
    IDC_USE_USER_PRINTER = 1014,
    IDC_UPDATE_LIST = 1015,
    IDC_PRINTER_LIST = 1016,
    IDC_SET_DEFAULT = 1017,
    IDC_LIST_NOTE = 1018, ///< the note under the printer list
};
/// The printer list's images 0 to 3, and the images of the rows.
inline constexpr uint32_t kPrinterListIcons[4] = {133, 134, 135, 132};
enum : int { kImagePrinter = 2, kImageUserPrinter = 3 };

/// A text of the program (its language module's, else its own English one).
std::string EnvString(uint32_t nId);

/// The three parts of a printer list entry "model:name:location", split at its first two ":" (the
/// location may hold more); a part that is missing is empty.
struct PrinterEntry {
    std::string strModel, strName, strLocation;
};
PrinterEntry SplitPrinterEntry(const std::string& strEntry);

/// The order of two texts of a column: both all decimal digits (and not empty): as numbers of any
/// length ("007" equals "7", "10" follows "9"); otherwise case-insensitively. Negative, 0 or positive.
int CompareColumnTexts(const std::string& a, const std::string& b);

class CPPHeaderLogic {
public:
    /// The face of the page's own font; empty when it is not known.
    using DefaultFace = std::function<std::string()>;
    CPPHeaderLogic(IPrompter& prompter, DefaultFace defaultFace);

    /// The stored font (an unset or unusable one replaced by the default rule) and sender texts.
    void OnInitDialog();
    bool IsInitialized() const { return m_bInitialized; }
    /// Select Font: the font choice on the page's font; a chosen font is shown and marks the page.
    void OnSelectFont();
    /// An edit of the user name (1009) or the FAX number (1011) changed.
    void OnEditChanged() { m_bModified = true; }
    /// Writes the four values; the page is no longer modified.
    void OnApply();

    std::string m_strUserName;  ///< edit 1009
    std::string m_strTelNumber; ///< edit 1011

    const std::string& FontFace() const { return m_strFace; }
    /// Tenths of a point.
    int FontSize() const { return m_nSize; }
    /// What the size edit (1005) shows: the size in whole points.
    std::string SizeText() const { return std::to_string(m_nSize / 10); }
    bool IsModified() const { return m_bModified; }

private:
    IPrompter& m_Prompter;
    DefaultFace m_DefaultFace;
    bool m_bInitialized = false;
    std::string m_strFace = kFallbackHeaderFace;
    int m_nSize = kDefaultHeaderFontSize;
    bool m_bModified = false;
};

/// One row of the printer list.
struct PrinterRow {
    std::string strName, strModel, strLocation;
    int nImage = kImagePrinter;
    bool bChecked = false; ///< the check mark that marking puts on the row
    bool operator==(const PrinterRow&) const = default;
    /// The text of a column: 0 name, 1 model, 2 location.
    const std::string& Text(int nColumn) const;
};

/// One column of the printer list.
struct PrinterColumn {
    uint32_t nTitle;
    int nWidth;
};

class CPPPrinterLogic {
public:
    explicit CPPPrinterLogic(IPrompter& prompter);

    /// The check box from the stored choice, the list filled and marked.
    void OnInitDialog();
    bool IsInitialized() const { return m_bInitialized; }
    /// Update List: a new list from the print system ("FAILED" keeps the rows), marked; a list
    /// without the stored printer marks the page modified.
    void OnUpdateList();
    /// Set As Default: the selected row's printer is stored and the list refilled; nothing is
    /// stored without a selection.
    void OnSetAsDefault();
    /// The check box 1014 was clicked.
    void OnUseUserPrinter(bool bChecked);
    /// A column header was clicked: the rows are sorted on it.
    void OnColumnClick(int nColumn);
    /// The selection moved to a row (-1: none).
    void OnSelect(int nRow) { m_nSelected = nRow >= 0 && nRow < RowCount() ? nRow : -1; }
    /// False while the check box is set and no printer is chosen: none stored and no row selected.
    bool HasPrinterChoice() const;
    /// Stores the check box and, with it set and a row selected, that row's printer.
    void OnApply();

    static std::vector<PrinterColumn> Columns();
    int RowCount() const { return static_cast<int>(m_Rows.size()); }
    const std::vector<PrinterRow>& Rows() const { return m_Rows; }
    int SelectedRow() const { return m_nSelected; }
    bool IsUseUserPrinter() const { return m_bUseUserPrinter; }
    /// The list, Set As Default and Update List follow the check box.
    bool IsEnabled(int nControlId) const;
    bool IsModified() const { return m_bModified; }
    int SortColumn() const { return m_nSortColumn; }
    bool IsReverse() const { return m_bReverse; }
    /// What the page says under the list: why it is empty while the print server cannot be
    /// reached (no list was ever made), else nothing.
    std::string ListNote() const;

private:
    /// The rows of the library's list; the selection stays on the printer it was on.
    void FillList();
    /// Checks the stored printer's row, else row 0, and no row while none is stored; false when the
    /// stored printer is not listed.
    bool MarkUserPrinter();

    IPrompter& m_Prompter;
    std::vector<PrinterRow> m_Rows;
    int m_nSelected = -1;
    bool m_bInitialized = false;
    bool m_bUseUserPrinter = false;
    bool m_bModified = false;
    int m_nSortColumn = 0;
    bool m_bReverse = true;
    bool m_bNoList = false; ///< the last fill found no list at all
};

/// The sheet: its two pages and the buttons' state.
class CEnvsetupLogic {
public:
    CEnvsetupLogic(IPrompter& prompter, CPPHeaderLogic::DefaultFace defaultFace);
    CPPHeaderLogic m_Header;
    CPPPrinterLogic m_Printer;
    /// Apply is offered while a page has a change.
    bool CanApply() const;
    /// OK and Apply: every page that was shown applies its values. With the default printer in use
    /// and none chosen the user is asked to choose one, nothing is stored, and the answer is false.
    bool Apply();

private:
    IPrompter& m_Prompter;
};

/// Runs the sheet; returns when it closes.
class IEnvsetupRunner {
public:
    virtual ~IEnvsetupRunner() = default;
    virtual void Run() = 0;
};

/// The program: its language (the wizard's rule; a language of 0 ends at once, with 1), then the
/// sheet until it closes (0).
int RunEnvsetup(IEnvsetupRunner& runner);
