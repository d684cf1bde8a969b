// The logic of the viewer's dialogs: Change File Format, File information, the colour list,
// Settings, Page jump, Tilt correction, the style dialogs and the two stamp dialogs. Plain values
// and rules; the widgets in viewer/dialogs copy them to and from their controls.
#pragma once

#include "common/prompter.h"
#include "imaging/device_context.h"
#include "viewer/page_file_access.h"
#include "viewer/page_rendering.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

struct CFileFormat;

/// Dialog ids. A dialog's texts are the strings dialog id x 10000 + control id of the viewer's
/// string table (control 0: the dialog's caption; a label takes the id of the control it names).
enum ViewerDialog : int {
    IDD_FILE_INFO = 102,
    IDD_CHANGE_FILE_FORMAT = 119,
    IDD_PAGE_JUMP = 134,
    IDD_SETTINGS = 135,
    IDD_LINE_STYLE = 152,
    IDD_COLOUR_FONT = 153,
    IDD_COLOUR = 154,
    IDD_STAMP_LIST = 155,
    IDD_TILT_CORRECTION = 158,
    IDD_EDIT_STAMP = 162,
};
/// The group box of the Settings dialog, which has no control id of its own.
inline constexpr int kSettingsGroupText = 9001;

/// Control ids of the dialogs.
enum ViewerControl : int {
    IDC_FORMAT_LIST = 1026,
    IDC_SUBFORMAT_LIST = 101,
    IDC_INFO_FORMAT = 103,
    IDC_INFO_VERSION = 104,
    IDC_INFO_COMPRESSION = 111,
    IDC_INFO_WIDTH = 1008,
    IDC_INFO_HEIGHT = 112,
    IDC_INFO_COLOURS = 113,
    IDC_INFO_PAGE = 114,
    IDC_INFO_NEXT = 115,
    IDC_INFO_PREVIOUS = 116,
    IDC_INFO_NOTE = 117,
    IDC_SETTINGS_ADJUST = 1002,
    IDC_SETTINGS_LINES = 1003,
    IDC_SETTINGS_SPIN = 1004,
    IDC_JUMP_PAGE = 1001,
    IDC_JUMP_SPIN = 1000,
    IDC_TILT_AUTO = 1021,
    IDC_TILT_MANUAL = 1022,
    IDC_LINE_WIDTH = 1007,
    IDC_LINE_SPIN = 1009,
    IDC_COLOUR_LIST = 1024,
    IDC_FONT = 1011,
    IDC_STAMP_NAME = 1019,
    IDC_STAMP_TEXT = 1020,
    IDC_STAMP_DATE = 1014,
    IDC_STAMP_TIME = 1016,
    IDC_STAMP_LIST = 1018,
    IDC_STAMP_CREATE = 1013,
    IDC_STAMP_DELETE = 1015,
    IDC_STAMP_EDIT = 1017,
    IDC_STAMP_PREVIEW = 1049,
};

/// The spin rule of the number fields: a delta of +1 lowers the value, -1 raises it, within [low, high].
int SpinValue(int value, int delta, int low, int high);

// ---- Change File Format (dialog 119) ----

class CChangeFileFormatLogic {
public:
    /// The two formats (TIFF, FAX); the first is selected.
    const std::vector<std::string>& Formats() const { return m_formats; }
    /// The sub-formats of the selected format; the first is selected whenever the format changes.
    const std::vector<std::string>& SubFormats() const { return m_subFormats; }
    int SelectedFormat() const { return m_nFormat; }
    int SelectedSubFormat() const { return m_nSubFormat; }
    void SelectFormat(int index);
    void SelectSubFormat(int index);
    /// OK: TIFF gives type 2 and the sub-format's compression; FAX type 4, compression 0.
    CFileFormat Result() const;

    CChangeFileFormatLogic();

private:
    std::vector<std::string> m_formats;
    std::vector<std::string> m_subFormats;
    int m_nFormat = 0, m_nSubFormat = 0;
};

// ---- File information (dialog 102) ----

/// The texts of a file of that record and the size of its page, as the dialog shows them.
struct CFileInfoTexts {
    std::string format, version, compression, width, height, colours, page;
};
CFileInfoTexts FileInfoTexts(const PAGEFILEDOCUMENT& record, int pageWidth, int pageHeight, int page, int pageCount);

class CFileInfoLogic {
public:
    /// Describes the document shown: the facts of its file as they were when its pages were read,
    /// and the pages as they are. Neither is read again from the disk.
    CFileInfoLogic(const CLoadedFile& file, const CPageImageArray& pages);

    /// False (after the library's message) when no file was read: the dialog closes.
    bool Open();
    const CFileInfoTexts& Texts() const { return m_texts; }
    /// Empty, or the note that the file on disk is no longer the one the pages were read from.
    const std::string& Note() const { return m_strNote; }
    bool NextEnabled() const { return m_bNext; }
    bool PreviousEnabled() const { return m_bPrevious; }
    /// The control that has the focus after a change (IDC_INFO_NEXT, IDC_INFO_PREVIOUS or 0 for OK).
    int Focus() const { return m_nFocus; }
    void Next();
    void Previous();
    int Page() const { return m_nPage; }

private:
    void Fill();
    const CLoadedFile& m_file;
    const CPageImageArray& m_pages;
    bool m_bOpen = false;
    std::string m_strNote;
    CFileInfoTexts m_texts;
    int m_nPage = 1;
    bool m_bNext = false, m_bPrevious = false;
    int m_nFocus = 0;
};

// ---- the colour list ----

struct CColourItem {
    const char* name;
    uint32_t colour; ///< COLORREF
};
/// The 16 named colours in list order.
const std::array<CColourItem, 16>& ColourItems();

class CColourListLogic {
public:
    /// withoutWhite: the 15-colour form.
    explicit CColourListLogic(bool withoutWhite = false) : m_bWithoutWhite(withoutWhite) {}
    int Count() const { return m_bWithoutWhite ? 15 : 16; }
    /// Selects the item of that colour, the first (BLACK) when none has it; the index.
    int Select(uint32_t colour);
    void SelectIndex(int index);
    int Selected() const { return m_nSelected; }
    uint32_t SelectedColour() const;

private:
    bool m_bWithoutWhite;
    int m_nSelected = 0;
};

// ---- Settings (dialog 135) ----

class CSettingsLogic {
public:
    /// The caller's values: the adjust flag, the line number (taken when 1 to 4, else 2) and two
    /// values passed through.
    CSettingsLogic(int adjust, int lines, int readOption, intptr_t appValue);
    int Adjust() const { return m_nAdjust; }
    void SetAdjust(int adjust) { m_nAdjust = adjust; }
    /// The line number's edit and spin are enabled only while the box is checked.
    bool LinesEnabled() const { return m_nAdjust != 0; }
    int Lines() const { return m_nLines; }
    void SetLines(int lines) { m_nLines = lines; }
    void Spin(int delta) { m_nLines = SpinValue(m_nLines, delta, 1, 4); }
    /// OK: false (after "Line numbers exceed range.") keeps the dialog open.
    bool Accept(IPrompter& prompter) const;
    int ReadOption() const { return m_nReadOption; }
    intptr_t AppValue() const { return m_nAppValue; }

private:
    int m_nAdjust, m_nLines = 2;
    int m_nReadOption;
    intptr_t m_nAppValue;
};

// ---- Page jump (dialog 134) ----

class CPageJumpLogic {
public:
    /// The edit shows current + 1.
    CPageJumpLogic(int pageCount, int current) : m_nCount(pageCount), m_nValue(current + 1) {}
    int Value() const { return m_nValue; }
    void SetValue(int value) { m_nValue = value; }
    void Spin(int delta) { m_nValue = SpinValue(m_nValue, delta, 1, std::max(1, m_nCount)); }
    /// OK: false (after "Page settings exceed range") keeps the dialog open.
    bool Accept(IPrompter& prompter) const;
    /// The page chosen, 0-based.
    int Current() const { return m_nValue - 1; }

private:
    int m_nCount;
    int m_nValue;
};

// ---- Tilt correction (dialog 158) ----

/// A point turned between orientations (quarter turns): the difference from - to gives 90
/// ((x, y) to (W - y, x)), 180 ((W - x, H - y)) or 270 ((y, H - x)); W x H is the page's size in the
/// target orientation.
gdi::POINT TurnPoint(gdi::POINT point, int from, int to, int width, int height);

/// The tilt tool of the annotation layer, as the dialog uses it.
class ITiltTool {
public:
    virtual ~ITiltTool() = default;
    /// The reference line's two ends in its orientation, nothing when none was dragged.
    virtual std::optional<std::pair<gdi::POINT, gdi::POINT>> ReferenceLine() = 0;
    /// The orientation the line was drawn in (0 to 3).
    virtual int LineOrientation() = 0;
    /// The page image's size (orientation 0).
    virtual std::pair<int, int> PageSize() = 0;
    /// Corrects the page by the direction (x, y); no direction: detects the tilt itself.
    virtual void Correct(std::optional<std::pair<int, int>> direction) = 0;
    /// Ends the tilt tool (the dialog is destroyed with it).
    virtual void End() = 0;
};

class CTiltCorrectionLogic {
public:
    CTiltCorrectionLogic(ITiltTool& tool, IPrompter& prompter) : m_tool(tool), m_prompter(prompter) {}
    /// Automatic correction; the tool and the dialog keep running.
    void AutoCorrection();
    /// Correction along the dragged line (or "Please drag and correct tilt."); both keep running.
    void ManualCorrection();
    /// Command id 3: ends the tilt tool.
    void Close();
    /// The direction of a line given in page image coordinates: its top leaning right, or its right
    /// end lower, gives a positive first component.
    static std::pair<int, int> Direction(gdi::POINT a, gdi::POINT b);

private:
    ITiltTool& m_tool;
    IPrompter& m_prompter;
};

// ---- style dialogs (152, 154, 153) ----

class CLineStyleLogic {
public:
    /// The width is taken when 1 to 32, else 1.
    CLineStyleLogic(int width, uint32_t colour);
    int Width() const { return m_nWidth; }
    void SetWidth(int width) { m_nWidth = width; }
    void Spin(int delta) { m_nWidth = SpinValue(m_nWidth, delta, 1, 32); }
    CColourListLogic& Colours() { return m_colours; }
    /// OK: the range check 1 to 32; false (after its message) keeps the dialog open.
    bool Accept(IPrompter& prompter) const;

private:
    int m_nWidth = 1;
    CColourListLogic m_colours;
};

/// The font chooser of the colour-and-font and stamp dialogs (the shared font dialog).
class IFontChooser {
public:
    virtual ~IFontChooser() = default;
    /// Shows the font dialog over font and colour; true on OK with both replaced.
    virtual bool Choose(gdi::LOGFONTA& font, uint32_t& colour) = 0;
};

// ---- stamps (162, 155) ----

#pragma pack(push, 1)
/// One text stamp, as the application keeps it.
struct CStampRecord {
    char name[256] = {};
    uint8_t reserved[8] = {};
    char text[520] = {}; ///< "%x" the date, "%X" the time when placed
    gdi::LOGFONTA font;
    uint32_t colour = 0;
};
#pragma pack(pop)
static_assert(sizeof(gdi::LOGFONTA) == 60, "LOGFONTA is 60 bytes");
static_assert(sizeof(CStampRecord) == 848, "stamp record layout");

inline constexpr int kMaxStamps = 20;
/// The dialog keeps at most this many characters of a stamp's text.
inline constexpr int kMaxStampText = 255;

/// Text with [selectionStart, selectionEnd) replaced by insert.
std::string ReplaceSelection(const std::string& text, int selectionStart, int selectionEnd, const std::string& insert);

class CEditStampLogic {
public:
    explicit CEditStampLogic(const CStampRecord& record);
    std::string Name() const;
    std::string Text() const;
    /// OK: the name (up to 256 bytes, the 4 bytes after it cleared), the text (at most 255 bytes),
    /// each cut on a UTF-8 character boundary, and the font and colour as last accepted.
    void Accept(const std::string& name, const std::string& text);
    /// The font dialog over the record's font and colour.
    void ChooseFont(IFontChooser& chooser) { chooser.Choose(m_record.font, m_record.colour); }
    const CStampRecord& Record() const { return m_record; }

private:
    CStampRecord m_record;
};

/// Runs Edit Stamp under a caption over a record; true on OK with the record replaced.
class IStampEditor {
public:
    virtual ~IStampEditor() = default;
    virtual bool Edit(const std::string& caption, CStampRecord& record) = 0;
};

class CStampListLogic {
public:
    /// count records of stamps (at most 20), the current index; new records take defaultFont and
    /// defaultColour.
    CStampListLogic(const std::array<CStampRecord, kMaxStamps>& stamps, int count, int current,
                    const gdi::LOGFONTA& defaultFont, uint32_t defaultColour);
    int Count() const { return m_nCount; }
    const std::array<CStampRecord, kMaxStamps>& Stamps() const { return m_stamps; }
    std::vector<std::string> Names() const;
    /// The list's selection, -1 none.
    int Selection() const { return m_nSelection; }
    void Select(int index);
    /// The previewed stamp text.
    std::string Preview() const;
    bool DeleteEnabled() const { return m_nCount > 0; }
    bool EditEnabled() const { return m_nCount > 0; }
    /// Create text: nothing with 20 records; else a new record through the editor, appended and selected.
    void Create(IStampEditor& editor);
    /// Removes the selected record without asking.
    void Delete();
    /// Edits a copy of the selected record; on OK it replaces it and the list has no selection.
    void Edit(IStampEditor& editor);
    /// OK: the current index (-1 when none is selected).
    int Accept() const { return m_nSelection; }

private:
    std::array<CStampRecord, kMaxStamps> m_stamps;
    int m_nCount;
    int m_nSelection;
    std::string m_strPreview;
    gdi::LOGFONTA m_defaultFont;
    uint32_t m_defaultColour;
};

} // namespace viewer
