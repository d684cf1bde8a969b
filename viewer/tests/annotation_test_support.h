// What the annotation tests share: a display-free page view over a real document of blank 1-bit
// pages, with a recording editor, clipboard, dialogs with scripted answers and a tilt dialog host;
// and a fixture that owns an undo record and a layer bound to that view.
#pragma once

#include "viewer/annotation_layer.h"
#include "viewer/tests/viewer_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace viewer_test {

class FakeEditor : public IAnnotationEditor {
public:
    bool IsVisible() const override { return visible; }
    void Open(const gdi::RECT& r, const gdi::LOGFONTA& f, uint32_t c, const std::string& t) override
    {
        visible = true;
        rect = r;
        font = f;
        colour = c;
        text = t;
        calls.push_back("open");
    }
    std::string Text() const override { return text; }
    void Hide() override
    {
        visible = false;
        calls.push_back("hide");
    }
    bool CanUndo() const override { return canUndo; }
    void Undo() override { calls.push_back("undo"); }
    bool HasSelection() const override { return selection; }
    void Cut() override { calls.push_back("cut"); }
    void Copy() override { calls.push_back("copy"); }
    void Paste() override { calls.push_back("paste"); }

    bool visible = false;
    bool canUndo = false;
    bool selection = false;
    gdi::RECT rect;
    gdi::LOGFONTA font;
    uint32_t colour = 0;
    std::string text;
    std::vector<std::string> calls;
};

class FakeAnnotationClipboard : public IAnnotationClipboard {
public:
    bool Open() override
    {
        ++opened;
        return openable;
    }
    void SetAnnotation(const std::vector<uint8_t>& b, const QImage& p) override
    {
        block = b;
        picture = p;
    }
    std::optional<std::vector<uint8_t>> Annotation() override { return block; }
    bool HasText() override { return text; }

    bool openable = true;
    int opened = 0;
    std::optional<std::vector<uint8_t>> block;
    QImage picture;
    bool text = false;
};

// Each dialog answers OK with the values given, or Cancel when none are given; captions are kept.
class ScriptedDialogs : public IAnnotationDialogs {
public:
    bool LineStyle(const std::string& caption, int32_t& width, uint32_t& colour) override
    {
        captions.push_back(caption);
        if (!lineStyle)
            return false;
        std::tie(width, colour) = *lineStyle;
        return true;
    }
    bool Colour(const std::string& caption, uint32_t& c, bool noWhite) override
    {
        captions.push_back(caption);
        colourWithoutWhite = noWhite;
        if (!colour)
            return false;
        c = *colour;
        return true;
    }
    bool ColourFont(const std::string& caption, uint32_t& c, gdi::LOGFONTA& f, uint32_t& textColour) override
    {
        captions.push_back(caption);
        if (!colourFont)
            return false;
        std::tie(c, f, textColour) = *colourFont;
        return true;
    }
    bool Font(const std::string& caption, gdi::LOGFONTA& f, uint32_t& c) override
    {
        captions.push_back(caption);
        if (!font)
            return false;
        std::tie(f, c) = *font;
        return true;
    }
    bool StampList(const std::string& caption, CAnnotationDefaults& defaults) override
    {
        captions.push_back(caption);
        return stampList ? stampList(defaults) : false;
    }
    std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                        const std::string& folder) override
    {
        captions.push_back(title);
        openFilter = filter;
        openFolder = folder;
        return openFile;
    }

    std::optional<std::pair<int32_t, uint32_t>> lineStyle;
    std::optional<uint32_t> colour;
    bool colourWithoutWhite = false;
    std::optional<std::tuple<uint32_t, gdi::LOGFONTA, uint32_t>> colourFont;
    std::optional<std::pair<gdi::LOGFONTA, uint32_t>> font;
    std::function<bool(CAnnotationDefaults&)> stampList;
    std::optional<std::string> openFile;
    std::string openFilter, openFolder;
    std::vector<std::string> captions;
};

class RecordingTiltHost : public ITiltDialogHost {
public:
    void OpenTiltDialog(ITiltTool& t) override
    {
        tool = &t;
        ++opened;
    }
    void CloseTiltDialog() override
    {
        tool = nullptr;
        ++closed;
    }
    ITiltTool* tool = nullptr;
    int opened = 0, closed = 0;
};

// The page view and the application without a display. The document holds `pages` blank (white)
// 1-bit pages of width x height and knows this view as its page view, so its page edits reach the
// display state here. Editing is allowed; zoom 1, no scroll, an 800 x 600 client area.
class FakeAnnotationView : public IAnnotationView, public IPageView {
public:
    explicit FakeAnnotationView(int pages = 5, int width = 64, int height = 40);
    ~FakeAnnotationView() override;

    /// Appends blank pages of the size and tells the views.
    void AddPages(int count, int width, int height);
    /// The page's bitmap (Format_Mono, colour 1 black).
    QImage PageBitmap(int index) const;
    /// The status texts of a pane, in order.
    std::vector<std::string> StatusTexts(int pane) const;

    // IAnnotationView and IPageView.
    CPageDisplayState& PageState() override { return state; }
    CThumbDisplayState& State() override { return state; }
    double ZoomScale() const override { return zoom; }
    gdi::POINT ScrollPosition() const override { return scroll; }
    std::pair<int, int> ClientSize() const override { return client; }
    CDisplayImage* DisplayImage() override { return displayImage; }
    void Invalidate(const gdi::RECT& rect) override { invalidated.push_back(rect); }
    void UpdateWindow() override { ++updates; }
    void Activate() override { ++activations; }
    void SetStatusText(int pane, const std::string& text) override { status.emplace_back(pane, text); }
    void SetWaitCursor(bool wait) override { waitCursor.push_back(wait); }
    void OnReinitialise() override { calls.push_back("reinit"); }
    void OnRefresh() override { calls.push_back("refresh"); }
    void OnCommand(int id) override { calls.push_back(std::to_string(id)); }
    void GoToPage(int page) override { calls.push_back("page " + std::to_string(page)); }

    CTqlVwTLDoc& Document() override { return document; }
    CAnnotationDefaults& Defaults() override { return defaults; }
    std::string LastDirectory() override { return lastDirectory; }
    IPrompter& Prompter() override { return prompter; }
    IAnnotationClipboard& Clipboard() override { return clipboard; }
    IAnnotationEditor& Editor() override { return editor; }
    IAnnotationDialogs& Dialogs() override { return dialogs; }
    ITiltDialogHost& TiltDialogs() override { return tiltHost; }

    uint32_t TickCount() override { return tick; }
    int DoubleClickTime() override { return 500; }
    std::pair<int, int> DoubleClickSize() override { return {4, 4}; }
    int ScreenDpi() override { return screenDpi; }
    int screenDpi = 96; ///< the screen's pixels an inch, in which font heights are taken

    // What the document needs.
    qelta::test::ScopedStateRoot root;
    CViewerAppValues app;
    ScriptedPrompter prompter;
    ScriptedFrame frame;
    FakeClipboard pageClipboard;
    RecordingView thumbs;
    CTqlVwTLDoc document;

    // The view.
    CPageDisplayState state;
    double zoom = 1.0;
    gdi::POINT scroll;
    std::pair<int, int> client{800, 600};
    CDisplayImage* displayImage = nullptr;
    std::vector<gdi::RECT> invalidated;
    int updates = 0;
    int activations = 0;
    std::vector<std::pair<int, std::string>> status;
    std::vector<bool> waitCursor;
    std::vector<std::string> calls;

    // The application and the system.
    CAnnotationDefaults defaults;
    std::string lastDirectory;
    FakeAnnotationClipboard clipboard;
    FakeEditor editor;
    ScriptedDialogs dialogs;
    RecordingTiltHost tiltHost;
    uint32_t tick = 100000;
};

/// An item of a kind on a page, written at orientation 0 with the page's size.
CAnnotationItem makeItem(int page, int kind, gdi::RECT rect, int pageWidth = 64, int pageHeight = 40);

// A view over five 64 x 40 pages, an undo record and a layer bound to it, and the document told
// of both. Tables make one per case; AnnotationTest is the same as a test fixture.
struct AnnotationSetup {
    explicit AnnotationSetup(int pages = 5, int width = 64, int height = 40);
    ~AnnotationSetup();
    AnnotationSetup(const AnnotationSetup&) = delete;
    AnnotationSetup& operator=(const AnnotationSetup&) = delete;

    /// Appends a copy of the item to the layer; its index.
    int Add(const CAnnotationItem& item);

    FakeAnnotationView view;
    CUndoRecord undo;
    CAnnotationLayer layer;
};

class AnnotationTest : public ::testing::Test, public AnnotationSetup {
protected:
    explicit AnnotationTest(int pages = 5, int width = 64, int height = 40) : AnnotationSetup(pages, width, height) {}
};

} // namespace viewer_test
