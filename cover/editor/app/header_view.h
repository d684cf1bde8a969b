// The editing view: the cover sheet page drawn at the view's zoom with its grid, objects selected,
// moved and resized with the mouse, and free texts edited in place.
#pragma once

#include "cover/editor/edit_commands.h"
#include "cover/editor/view_logic.h"
#include "cover/model/cover_editor.h"

#include <QAbstractScrollArea>
#include <QPlainTextEdit>

#include <functional>
#include <memory>

class IPrompter;
class QMenu;

namespace cvr {

/// The in-place editor (id 4766): Enter stores its text, Escape drops it.
class CtqHeaderEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CtqHeaderEdit(QWidget* parent);
signals:
    void committed();
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// The screen as Qt tells it.
class CQtScreenMetrics : public IScreenMetricsProvider {
public:
    ScreenMetrics Metrics() const override;
};

class CtqHeaderView : public QAbstractScrollArea, public ICoverSheetView {
    Q_OBJECT
public:
    static constexpr int kEditorId = 4766;

    /// profile: where the sender fields come from (may be null).
    CtqHeaderView(CtqHeaderDoc& document, const IScreenMetricsProvider& metrics, IPrompter& prompter,
                  QWidget* parent = nullptr, const ICoverSheetApp* profile = nullptr);
    ~CtqHeaderView() override;

    CHeaderViewLogic& Logic() { return m_Logic; }
    CtqHeaderEdit* Editor() const { return m_pEdit; }
    CEditCommands& Commands() { return *m_pCommands; }
    /// Enabled and checked state of an editing command now.
    CommandState State(int command) const;
    /// Runs the commands the context menu offers (the frame's OnCommand in the program).
    void SetCommandHandler(std::function<void(int)> handler) { m_Command = std::move(handler); }
    /// The context menu at a client point ((-1, -1): from the keyboard); the menu shown, null when none.
    QMenu* ContextMenuAt(const QPoint& client);

    /// The view's commands (zoom, grid and the editing commands); false for another command.
    bool OnCommand(int command);
    /// Whether a command of the view is checked now.
    bool IsChecked(int command) const;
    /// Stores the in-place editor's text in its object and hides it (nothing when it is hidden).
    void CommitEdit();
    /// After a new or opened sheet: no selection, the scroll sizes of the page, all redrawn.
    void OnInitialUpdate();
    /// Scrolls so that an object is centred unless it is wholly visible.
    void ScrollIntoView(const CtqRect* object);
    /// Redraws an object's rectangle (enlarged by 6 pixels).
    void InvalidateObject(const CtqRect* object);
    /// Called when the sheet's modified flag may have changed.
    void SetModifiedHandler(std::function<void()> handler) { m_Modified = std::move(handler); }

    // ICoverSheetView
    void PageToDevice(gdi::CDeviceContext* dc, gdi::POINT& point) override;
    void PageRectToDevice(gdi::CDeviceContext* dc, gdi::RECT& rect) override;
    gdi::POINT GetScrollPosition() const override;
    int GetScreenPixelsPerInch() const override;
    void SetEditTarget(CtqRect* object) override { m_pEditTarget = object; }
    const CtqRect* GetEditTarget() const override { return m_pEditTarget; }
    bool IsInPlaceEditorVisible() const override;
    void ShowInPlaceEditor(const gdi::RECT& rect, const gdi::LOGFONTA& font, const std::string& text) override;
    bool ChooseFont(gdi::LOGFONTA& font, int flags, int& pointSizeTenths) override;
    bool ChooseOpenFile(const std::string& filter, const std::string& defaultExtension, int flags,
                        const std::string& folder, std::string& path) override;
    void ShowImageError(const std::string& caption, const std::string& path) override;

    /// Draws the sheet for printing onto image at the image's resolution: every page coordinate
    /// times its dots per inch / 200; no page colour, grid, outlines or selection marks.
    void PrintPage(QImage& image);
    /// Draws the visible part of the sheet as the screen shows it (tests read it from grab()).
    void DrawSheet(QImage& image, const QRect& visible);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    gdi::POINT devicePoint(const QPoint& client) const;
    void updateScrollSizes();
    void updateCursor(const QPoint& client);
    void cancelEdit();
    void limitEditText();
    void changed();
    bool editorCommand(int command);
    bool editCommand(int command);

    CtqHeaderDoc& m_Doc;
    CHeaderViewLogic m_Logic;
    IPrompter& m_Prompter;
    CtqHeaderEdit* m_pEdit;
    CtqRect* m_pEditTarget = nullptr;
    int m_nEditStartLength = 0;
    bool m_bLimiting = false;
    gdi::CDeviceContext* m_pScreenDC = nullptr;
    std::function<void()> m_Modified;
    std::function<void(int)> m_Command;
    std::unique_ptr<IEditClipboard> m_pClipboard;
    std::unique_ptr<CEditCommands> m_pCommands;
};

} // namespace cvr
