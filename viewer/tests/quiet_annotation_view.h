// A page view without a display for the benchmarks and fuzz targets: a document of blank 1-bit
// pages at 200 dpi, editing allowed, and a host that asks nothing (every dialog cancelled, every
// message box answered Cancel, the page clipboard closed). The annotation clipboard holds whatever
// block the caller puts in it. Header only: no test framework behind it.
#pragma once

#include "imaging/page_qimage.h"
#include "viewer/annotation_layer.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace viewer_quiet {

using namespace viewer;

struct NoPrompts : IPrompter {
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDCANCEL; }
};
struct NoPageClipboard : IPageClipboard {
    bool Open() override { return false; }
    void SetImage(const QImage&) override {}
    std::optional<QImage> Image() override { return std::nullopt; }
};
struct NoEditor : IAnnotationEditor {
    bool IsVisible() const override { return false; }
    void Open(const gdi::RECT&, const gdi::LOGFONTA&, uint32_t, const std::string&) override {}
    std::string Text() const override { return {}; }
    void Hide() override {}
    bool CanUndo() const override { return false; }
    void Undo() override {}
    bool HasSelection() const override { return false; }
    void Cut() override {}
    void Copy() override {}
    void Paste() override {}
};
struct BlockClipboard : IAnnotationClipboard {
    bool Open() override { return true; }
    void SetAnnotation(const std::vector<uint8_t>& b, const QImage&) override { block = b; }
    std::optional<std::vector<uint8_t>> Annotation() override { return block; }
    bool HasText() override { return false; }
    std::optional<std::vector<uint8_t>> block;
};
struct NoDialogs : IAnnotationDialogs {
    bool LineStyle(const std::string&, int32_t&, uint32_t&) override { return false; }
    bool Colour(const std::string&, uint32_t&, bool) override { return false; }
    bool ColourFont(const std::string&, uint32_t&, gdi::LOGFONTA&, uint32_t&) override { return false; }
    bool Font(const std::string&, gdi::LOGFONTA&, uint32_t&) override { return false; }
    bool StampList(const std::string&, CAnnotationDefaults&) override { return false; }
    std::optional<std::string> OpenFile(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};
struct NoTiltDialogs : ITiltDialogHost {
    void OpenTiltDialog(ITiltTool&) override {}
    void CloseTiltDialog() override {}
};

class QuietAnnotationView : public IAnnotationView {
public:
    QuietAnnotationView(int pages, int width, int height) : document(app, prompter, frame, pageClipboard)
    {
        QImage blank(width, height, QImage::Format_Mono);
        blank.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        blank.fill(0);
        for (int i = 0; i < pages; ++i)
            document.InsertPageAt(i, qelta::imaging::pageOfImage(blank, kPageDpi));
        state.SetPageCount(pages);
        state.SetEditingAllowed(1);
    }
    CPageDisplayState& PageState() override { return state; }
    double ZoomScale() const override { return zoom; }
    gdi::POINT ScrollPosition() const override { return {0, 0}; }
    std::pair<int, int> ClientSize() const override { return client; }
    CDisplayImage* DisplayImage() override { return nullptr; }
    void Invalidate(const gdi::RECT&) override {}
    void UpdateWindow() override {}
    void Activate() override {}
    void SetStatusText(int, const std::string&) override {}
    void SetWaitCursor(bool) override {}
    CTqlVwTLDoc& Document() override { return document; }
    CAnnotationDefaults& Defaults() override { return defaults; }
    std::string LastDirectory() override { return {}; }
    IPrompter& Prompter() override { return prompter; }
    IAnnotationClipboard& Clipboard() override { return clipboard; }
    IAnnotationEditor& Editor() override { return editor; }
    IAnnotationDialogs& Dialogs() override { return dialogs; }
    ITiltDialogHost& TiltDialogs() override { return tilt; }
    uint32_t TickCount() override { return 0; }
    int DoubleClickTime() override { return 500; }
    std::pair<int, int> DoubleClickSize() override { return {4, 4}; }
    int ScreenDpi() override { return 96; }

    CViewerAppValues app;
    NoPrompts prompter;
    IViewerFrame frame;
    NoPageClipboard pageClipboard;
    CTqlVwTLDoc document;
    CPageDisplayState state;
    double zoom = 1.0;
    std::pair<int, int> client{1000, 800};
    CAnnotationDefaults defaults;
    BlockClipboard clipboard;
    NoEditor editor;
    NoDialogs dialogs;
    NoTiltDialogs tilt;
};

} // namespace viewer_quiet
