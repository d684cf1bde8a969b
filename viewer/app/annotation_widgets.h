// What the page view gives the annotation work on Qt: the in-place text editor, the clipboard of
// annotations, the style dialogs, the tilt correction dialog and the annotation context menus.
#pragma once

#include "viewer/annotation_host.h"
#include "viewer/dialogs/viewer_dialogs.h"

#include <QPlainTextEdit>
#include <QPointer>

#include <functional>

class QMenu;

namespace viewer {

/// The control id of the in-place editor.
inline constexpr int kAnnotationEditId = 59397;

/// The in-place editor of texts and patch memos: a hidden multi-line child of the page view's
/// viewport. Escape while it is shown hides it, which drops what was typed, and gives the view back
/// the focus.
class CAnnotationEdit : public QPlainTextEdit, public IAnnotationEditor {
    Q_OBJECT
public:
    /// activate gives the view the focus again after Escape.
    CAnnotationEdit(QWidget* parent, std::function<void()> activate);

    bool IsVisible() const override { return isVisible(); }
    void Open(const gdi::RECT& rect, const gdi::LOGFONTA& font, uint32_t colour, const std::string& text) override;
    std::string Text() const override;
    void Hide() override { hide(); }
    bool CanUndo() const override;
    void Undo() override { undo(); }
    bool HasSelection() const override;
    void Cut() override { cut(); }
    void Copy() override { copy(); }
    void Paste() override { paste(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void()> m_activate;
};

/// The system clipboard: one annotation's block under kAnnotationMimeType beside its picture as
/// image data; plain text for the editor's paste.
class CQtAnnotationClipboard : public IAnnotationClipboard {
public:
    bool Open() override;
    void SetAnnotation(const std::vector<uint8_t>& block, const QImage& picture) override;
    std::optional<std::vector<uint8_t>> Annotation() override;
    bool HasText() override;
};

/// A font chooser whose heights are screen pixels at the screen's dpi (as annotation fonts hold
/// them, the font dialog's character height negative) over one whose heights are page pixels.
class CScreenFontChooser : public IFontChooser {
public:
    CScreenFontChooser(IFontChooser& pageFonts, std::function<int()> screenDpi)
        : m_pageFonts(pageFonts), m_screenDpi(std::move(screenDpi)) {}
    bool Choose(gdi::LOGFONTA& font, uint32_t& colour) override;

private:
    IFontChooser& m_pageFonts;
    std::function<int()> m_screenDpi;
};

/// The annotation style dialogs as Qt runs them over the page view; the open-file dialog is the
/// frame's.
class CQtAnnotationDialogs : public IAnnotationDialogs {
public:
    CQtAnnotationDialogs(QWidget* parent, IPrompter& prompter, IViewerFrame& frame, std::function<int()> screenDpi);
    bool LineStyle(const std::string& caption, int32_t& width, uint32_t& colour) override;
    bool Colour(const std::string& caption, uint32_t& colour, bool noWhite) override;
    bool ColourFont(const std::string& caption, uint32_t& colour, gdi::LOGFONTA& font, uint32_t& textColour) override;
    bool Font(const std::string& caption, gdi::LOGFONTA& font, uint32_t& colour) override;
    bool StampList(const std::string& caption, CAnnotationDefaults& defaults) override;
    std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                        const std::string& folder) override;

private:
    QWidget* m_pParent;
    IPrompter& m_prompter;
    IViewerFrame& m_frame;
    CQtFontChooser m_pageFonts;
    CScreenFontChooser m_fonts;
    CQtStampEditor m_stampEditor;
};

/// The modeless tilt correction dialog, one at a time, over the page view.
class CQtTiltDialogHost : public ITiltDialogHost {
public:
    CQtTiltDialogHost(QWidget* parent, IPrompter& prompter) : m_pParent(parent), m_prompter(prompter) {}
    ~CQtTiltDialogHost() override;
    void OpenTiltDialog(ITiltTool& tool) override;
    /// Closes the dialog; it goes once its own handlers have returned (a button may end the tool).
    void CloseTiltDialog() override;
    QDialog* Dialog() const { return m_dialog; }

private:
    QWidget* m_pParent;
    IPrompter& m_prompter;
    QPointer<QDialog> m_dialog;
};

/// The context menu of an annotation of that kind: 156 (157 for texts and patch memos) with the
/// select tool, acting on the selection; 159 (160) with another tool, acting on the annotation the
/// right click remembered. Each item's data is its command.
QMenu* AnnotationMenu(QWidget* parent, int kind, bool selectTool);

} // namespace viewer
