// What the annotation layer, its undo record and its tilt tool need of the page view and of the
// application: the view's display state, zoom and scroll, repainting, the document's pages, the
// in-place editor, the clipboard, the dialogs and the system's click metrics. The page view
// implements it over its widgets; tests implement it without a display.
#pragma once

#include "common/prompter.h"
#include "imaging/device_context.h"
#include "viewer/annotation_item.h"
#include "viewer/display_state.h"

#include <QtGui/QImage>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

class CDisplayImage;
class CTqlVwTLDoc;

/// The in-place text editor, a child of the page view (control id 59397).
class IAnnotationEditor {
public:
    virtual ~IAnnotationEditor() = default;
    virtual bool IsVisible() const = 0;
    /// Places the editor over rect (window pixels), sets its font (lfHeight already in window
    /// pixels) and text, shows it, focuses it and puts the caret at the end.
    virtual void Open(const gdi::RECT& rect, const gdi::LOGFONTA& font, uint32_t colour, const std::string& text) = 0;
    virtual std::string Text() const = 0;
    virtual void Hide() = 0;
    virtual bool CanUndo() const = 0;
    virtual void Undo() = 0;
    virtual bool HasSelection() const = 0;
    virtual void Cut() = 0;
    virtual void Copy() = 0;
    virtual void Paste() = 0;
};

/// The clipboard as the annotation commands use it.
class IAnnotationClipboard {
public:
    virtual ~IAnnotationClipboard() = default;
    /// False when the clipboard cannot be used now.
    virtual bool Open() = 0;
    /// Empties the clipboard and puts the block (under kAnnotationMimeType) and the picture on it.
    virtual void SetAnnotation(const std::vector<uint8_t>& block, const QImage& picture) = 0;
    /// The block held under kAnnotationMimeType, if any.
    virtual std::optional<std::vector<uint8_t>> Annotation() = 0;
    /// Whether plain text is held (the editor's paste).
    virtual bool HasText() = 0;
};

/// The style dialogs the annotation commands open; each answers true on OK with its values replaced.
class IAnnotationDialogs {
public:
    virtual ~IAnnotationDialogs() = default;
    /// Line width and colour (16 colours).
    virtual bool LineStyle(const std::string& caption, int32_t& width, uint32_t& colour) = 0;
    /// A colour; without white when noWhite.
    virtual bool Colour(const std::string& caption, uint32_t& colour, bool noWhite) = 0;
    /// Colour and font of a patch memo: the box colour, the font and the text colour.
    virtual bool ColourFont(const std::string& caption, uint32_t& colour, gdi::LOGFONTA& font, uint32_t& textColour) = 0;
    /// The font dialog over a font and its colour.
    virtual bool Font(const std::string& caption, gdi::LOGFONTA& font, uint32_t& colour) = 0;
    /// The stamp list over the defaults' stamps, count and current index.
    virtual bool StampList(const std::string& caption, CAnnotationDefaults& defaults) = 0;
    /// An open-file dialog: the path chosen, nothing on Cancel.
    virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                                const std::string& folder) = 0;
};

/// The tilt correction dialog, modeless, one at a time.
class ITiltTool;
class ITiltDialogHost {
public:
    virtual ~ITiltDialogHost() = default;
    /// Opens the dialog over the tool, or activates the open one.
    virtual void OpenTiltDialog(ITiltTool& tool) = 0;
    virtual void CloseTiltDialog() = 0;
};

/// The page view and the application, as the annotation work sees them.
class IAnnotationView {
public:
    virtual ~IAnnotationView() = default;

    // The view.
    virtual CPageDisplayState& PageState() = 0;
    /// Window pixels per page pixel.
    virtual double ZoomScale() const = 0;
    /// The scroll position (window pixels).
    virtual gdi::POINT ScrollPosition() const = 0;
    /// The client area's size (window pixels).
    virtual std::pair<int, int> ClientSize() const = 0;
    /// The display image of the current page (for drawing the page under markers and texts); may be null.
    virtual CDisplayImage* DisplayImage() = 0;
    /// Repaints a rectangle of window pixels without erasing.
    virtual void Invalidate(const gdi::RECT& rect) = 0;
    /// Draws what was invalidated now.
    virtual void UpdateWindow() = 0;
    /// Gives the view's window the focus again.
    virtual void Activate() = 0;
    /// The status bar's pane text.
    virtual void SetStatusText(int pane, const std::string& text) = 0;
    virtual void SetWaitCursor(bool wait) = 0;

    // The document and the application.
    virtual CTqlVwTLDoc& Document() = 0;
    virtual CAnnotationDefaults& Defaults() = 0;
    /// The application's last directory (the copy-text tool's open dialog starts there).
    virtual std::string LastDirectory() = 0;
    virtual IPrompter& Prompter() = 0;
    virtual IAnnotationClipboard& Clipboard() = 0;
    virtual IAnnotationEditor& Editor() = 0;
    virtual IAnnotationDialogs& Dialogs() = 0;
    virtual ITiltDialogHost& TiltDialogs() = 0;

    // The system.
    /// Milliseconds since some start (wraps).
    virtual uint32_t TickCount() = 0;
    /// The double-click time in milliseconds and the double-click rectangle's size.
    virtual int DoubleClickTime() = 0;
    virtual std::pair<int, int> DoubleClickSize() = 0;
    /// The screen's pixels per inch (font heights are given at it).
    virtual int ScreenDpi() = 0;
};

/// The page the view shows, kept within the document's pages (0 without pages).
int ShownPage(IAnnotationView& view);

} // namespace viewer
