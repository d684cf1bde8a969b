// What the cover sheet objects and document need of the cover sheet editor: its view (page-to-device
// conversion, the in-place text editor, the font and file dialogs) and its application object (the
// no-default-objects flag and the profile strings). The editor implements both; tests fake them.
#pragma once

#include "imaging/device_context.h"

#include <string>

class CtqRect;
class CtqHeaderDoc;

/// The editing view.
class ICoverSheetView {
public:
    virtual ~ICoverSheetView() = default;

    /// Converts a point in page pixels to device units of dc in place (null dc: the view's screen).
    virtual void PageToDevice(gdi::CDeviceContext* dc, gdi::POINT& point) = 0;
    /// The same for the four edges of a rectangle.
    virtual void PageRectToDevice(gdi::CDeviceContext* dc, gdi::RECT& rect) = 0;
    /// The view's scroll position in device units.
    virtual gdi::POINT GetScrollPosition() const = 0;
    /// Pixels per inch of the screen.
    virtual int GetScreenPixelsPerInch() const = 0;

    /// Remembers the object the in-place editor edits; Enter hands the editor's text to its
    /// CtqRect::SetText, Escape drops it.
    virtual void SetEditTarget(CtqRect* object) = 0;
    /// The object being edited, null when none.
    virtual const CtqRect* GetEditTarget() const = 0;
    /// True while the in-place editor is shown.
    virtual bool IsInPlaceEditorVisible() const = 0;
    /// Places the in-place editor over rect (window coordinates) with a font of the record (its
    /// height in device units), sets its text, shows and focuses it and selects the whole text.
    virtual void ShowInPlaceEditor(const gdi::RECT& rect, const gdi::LOGFONTA& font, const std::string& text) = 0;

    /// The font dialog over font (flags as the dialog takes them). True on OK: font holds the
    /// choice and pointSizeTenths the chosen size in tenths of a point.
    virtual bool ChooseFont(gdi::LOGFONTA& font, int flags, int& pointSizeTenths) = 0;
    /// A file-open dialog ("Name (*.x)|*.x;*.y|...||" filter, default extension, flags) starting in
    /// folder. True on OK with the chosen path.
    virtual bool ChooseOpenFile(const std::string& filter, const std::string& defaultExtension, int flags,
                                const std::string& folder, std::string& path) = 0;
    /// Tells the user that an image file could not be read.
    virtual void ShowImageError(const std::string& caption, const std::string& path) = 0;
};

/// The editor's application object.
class ICoverSheetApp {
public:
    virtual ~ICoverSheetApp() = default;

    /// Takes the document as the application's current document.
    virtual void SetCurrentDocument(CtqHeaderDoc* document) = 0;
    /// 1 when the editor was started with any argument, 0 without a command line.
    virtual int GetNoDefaultObjects() const = 0;
    /// A profile string of the application, the default when it is missing.
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue) const = 0;
};
