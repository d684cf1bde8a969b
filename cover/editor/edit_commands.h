// The editing commands without widgets: inserting each kind of object, removing, reordering and
// copying objects through the cover sheet clipboard, fonts, line types, shadings, the sender fields
// and the kind name the status bar shows.
#pragma once

#include "cover/editor/view_logic.h"
#include "cover/model/cover_document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IPrompter;

namespace cvr {

/// Editing commands.
enum : int {
    ID_EDIT_DELETE = 6000, ID_EDIT_IMAGE = 6001, ID_EDIT_STRING = 6002, ID_EDIT_COPY = 57634, ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637, ID_BRING_TO_FRONT = 32830, ID_SEND_TO_BACK = 32831, ID_FONT_DIALOG = 32769,
    ID_SENDER_LANG1 = 32826, ID_SENDER_LANG0 = 32824, ID_SET_PAGE_CUT = 32807,
    ID_FONT_FACE = 15000, ID_FONT_POINTS = 15001, ID_FONT_BOLD = 15002, ID_FONT_ITALIC = 15003, ID_FONT_UNDERLINE = 15004,
};
/// Texts of the commands.
enum : uint32_t {
    IDS_KIND_FRAME = 31731, IDS_NEW_TEXT = 31732, IDS_DEFAULT_FACE = 31712, IDS_DEFAULT_CHARSET = 31734,
    IDS_PASTE_CAPTION = 61211, IDS_SECOND_PAGE_CUT = 61212,
    IDS_TEXT_TOO_LONG = 31744, ///< "... %s characters ..." a text cut to the longest a frame holds
    IDS_PICTURE_UNUSABLE = 31745, ///< "'%s' ..." a picture file the sheet cannot hold, and why
};
/// The MIME types of the cover sheet clipboard: the block, and the frame line as plain text.
inline constexpr const char* kCoverClipboardType = "application/x-qelta-cf-tqlcvr";
/// Largest block paste reads.
inline constexpr size_t kMaxClipboardBlock = 64 * 1024;
/// Longest text (UTF-16 code units) the editor takes for a text frame: stored escaped in UTF-8 (at
/// most 4 bytes each) its frame line still fits a clipboard block.
inline constexpr int kMaxFreeText = 16000;

/// The 27 insert commands in menu order.
extern const std::vector<int> kInsertCommands;
bool IsInsertCommand(int command);

/// The string id of an object's kind name (0 for none).
uint32_t KindNameId(const CtqRect* object);
/// Status pane 1: the kind name and "frame", the page cut's name alone; empty without an object.
std::string KindStatusText(const CtqRect* object);

/// The view's scroll position and total scroll size, device units.
struct ScrollState {
    int x = 0, y = 0, totalWidth = 1, totalHeight = 1;
};
/// Where a new box goes (page pixels): 20 from the visible top-left, 314 x 78.
gdi::RECT DefaultRect(const CtqHeaderDoc& document, const ScrollState& scroll);

/// The pen of a line-type command (style, width in page pixels).
struct PenEntry {
    int style = gdi::PS_INSIDEFRAME, width = 1;
    bool operator==(const PenEntry&) const = default;
};
PenEntry LineTypePen(int command);
bool IsLineTypeCommand(int command);
/// The fill of a shading command (percent); -1 for another command.
int ShadingFill(int command);

/// Font arithmetic: weight after Bold; page-pixel height of points and back; the font dialog's
/// height for a page height; the page height of a size in tenths of a point.
int ToggledWeight(int weight);
int HeightOfPoints(int points);
int PointsOfHeight(int height);
int DialogHeight(int height, int logPixelsY);
int HeightOfTenths(int tenths);

/// The clipboard block of an object: its frame line, NUL, zeros up to line length + 16 bytes.
std::string ClipboardBlock(const CtqRect& object);
/// The frame line of a block from outside: the text up to its first NUL; none for a block without
/// one, an empty text or a block over kMaxClipboardBlock.
std::optional<std::string> ClipboardLine(std::string_view block);

/// The clipboard as the commands use it.
class IEditClipboard {
public:
    virtual ~IEditClipboard() = default;
    /// The cover sheet block, none when the clipboard holds none.
    virtual std::optional<std::string> Block() const = 0;
    /// Puts the block and the frame line as plain text; false when the clipboard cannot take them.
    virtual bool Put(const std::string& block, const std::string& text) = 0;
    virtual void Clear() = 0;
};

/// Enabled and checked state of a command.
struct CommandState {
    bool enabled = false, checked = false;
};

class CEditCommands {
public:
    /// profile: where the sender's name and number come from (may be null: empty).
    CEditCommands(CHeaderViewLogic& view, IEditClipboard& clipboard, IPrompter& prompter,
                  const ICoverSheetApp* profile);

    /// An insert command: the new object, appended, selected, modified. Null when it makes none.
    CtqRect* Insert(int command, const ScrollState& scroll);
    /// Removes the selection; false when nothing was removed.
    bool Remove();
    /// The selection onto the clipboard; false when nothing was put.
    bool Copy();
    /// Copy, then Remove.
    bool Cut();
    /// The clipboard's object added +10 right and down, not selected; null when nothing was pasted.
    CtqRect* Paste();
    bool BringToFront();
    bool SendToBack();
    /// A line-type or shading command; true when an object changed.
    bool LineType(int command);
    bool Shading(int command);
    /// Sets "Lang" and refreshes the sender fields; the objects changed.
    std::vector<const CtqRect*> SetSenderLanguage(int lang);

    /// The font commands read and write: the selected text object's, or the default font.
    gdi::LOGFONTA CurrentFont() const;
    /// Sets the font of the selected text object (modified) or the default font; false when the
    /// selection is no text object.
    bool SetFont(const gdi::LOGFONTA& font);
    /// 15001 with a size in points, 15002 to 15004; false when nothing changed.
    bool FontCommand(int command, int points = 0);
    /// 15000: the face and its family fields of another font.
    bool ApplyFace(const gdi::LOGFONTA& face);
    /// The font dialog (32769) through the view; true when a font was taken.
    bool FontDialog(ICoverSheetView& view);

    /// Enabled and checked state of every command here, for the view's state.
    CommandState State(int command, bool editorVisible, bool clipboardHasData) const;
    /// The "Line type" and "Paint" popups: enabled only for a selection with a pen, with a fill.
    bool LineTypePopupEnabled() const;
    bool ShadingPopupEnabled() const;

    const gdi::LOGFONTA& DefaultFont() const { return m_DefaultFont; }
    /// Puts a face in the default face's place (where that one is not installed).
    void SetDefaultFace(const std::string& face);
    int CurrentLineType() const { return m_nLineType; }
    int CurrentShading() const { return m_nShading; }

private:
    CtqTextRect* selectedText() const;

    CHeaderViewLogic& m_View;
    CtqHeaderDoc& m_Doc;
    IEditClipboard& m_Clipboard;
    IPrompter& m_Prompter;
    const ICoverSheetApp* m_pProfile;
    gdi::LOGFONTA m_DefaultFont;
    int m_nLineType = 6003;
    int m_nShading = 32788;
};

} // namespace cvr
