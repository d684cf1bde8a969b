// Feeds arbitrary bytes to the annotation clipboard block reader: a refused block leaves the item
// alone; an accepted one holds a rectangle within the page size given, and writing it again and
// reading that back gives the same item. Every accepted block then goes where a pasted one goes:
// pasted onto a page, hit-tested at its corners and beyond, and drawn at 400 % in every rotation.
#include "imaging/page_qimage.h"
#include "viewer/annotation_layer.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace viewer;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

constexpr int kPageWidth = 400, kPageHeight = 300;

struct Silent : IPrompter {
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
};
struct NoPageClipboard : IPageClipboard {
    bool Open() override { return false; }
    void SetImage(const QImage&) override {}
    std::optional<QImage> Image() override { return std::nullopt; }
};
struct BlockClipboard : IAnnotationClipboard {
    bool Open() override { return true; }
    void SetAnnotation(const std::vector<uint8_t>& b, const QImage&) override { block = b; }
    std::optional<std::vector<uint8_t>> Annotation() override { return block; }
    bool HasText() override { return false; }
    std::optional<std::vector<uint8_t>> block;
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

// A page view without a display over one blank page, editing allowed.
class Host : public IAnnotationView {
public:
    Host() : document(app, prompter, frame, pages)
    {
        QImage blank(kPageWidth, kPageHeight, QImage::Format_Mono);
        blank.fill(0);
        document.InsertPageAt(0, qelta::imaging::pageOfImage(blank, kPageDpi));
        state.SetPageCount(1);
        state.SetEditingAllowed(1);
    }
    CPageDisplayState& PageState() override { return state; }
    double ZoomScale() const override { return zoom; }
    gdi::POINT ScrollPosition() const override { return {}; }
    std::pair<int, int> ClientSize() const override { return {800, 600}; }
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
    Silent prompter;
    IViewerFrame frame;
    NoPageClipboard pages;
    CTqlVwTLDoc document;
    CPageDisplayState state;
    double zoom = 4.0;
    CAnnotationDefaults defaults;
    BlockClipboard clipboard;
    NoEditor editor;
    NoDialogs dialogs;
    NoTiltDialogs tilt;
};

// Pastes the block as the clipboard's item, then hit-tests and draws it in every rotation.
void pasteHitAndDraw(const std::vector<uint8_t>& block)
{
    static Host host;
    static CUndoRecord undo;
    static CAnnotationLayer layer(host, undo);
    layer.ClearAll();
    host.state.SetRotation(0);
    host.clipboard.block = block;
    if (!layer.Paste())
        return;
    QImage screen(64, 64, QImage::Format_RGB32);
    for (int rotation = 0; rotation < 4; ++rotation) {
        host.state.SetRotation(rotation);
        for (const auto& [x, y] : {std::pair{0, 0}, {kPageWidth * 4, kPageHeight * 4}, {-70000, 70000}, {5, 2000}})
            static_cast<void>(layer.HitItem(x, y));
        screen.fill(Qt::white);
        QPainter painter(&screen);
        layer.Draw(painter, screen.rect());
    }
}

} // namespace

// Drawing text loads fontconfig, which keeps blocks it no longer points to for the life of the
// process (as scripts/lsan.supp says for the sanitizer test runs).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input, so that the sanitizer sees any read past it.
    std::vector<uint8_t> block(data, data + size);
    CAnnotationItem item;
    item.kind = -7;
    const CAnnotationItem before = item;
    const bool limited = size > 0 && (data[0] & 1) != 0;
    const std::optional<std::pair<int, int>> page =
        limited ? std::optional<std::pair<int, int>>({1728, 2290}) : std::nullopt;
    if (!FromClipboardBlock(item, block, page)) {
        check(item == before);
        return 0;
    }
    check(item.rect.left <= item.rect.right && item.rect.top <= item.rect.bottom);
    if (limited)
        check(int64_t{item.rect.right} - item.rect.left <= 1728 && int64_t{item.rect.bottom} - item.rect.top <= 2290);
    check(std::memchr(item.font.lfFaceName, 0, sizeof item.font.lfFaceName) != nullptr);
    check(item.text.find('\0') == std::string::npos);
    const std::vector<uint8_t> again = ToClipboardBlock(item);
    CAnnotationItem reread;
    check(FromClipboardBlock(reread, again, std::nullopt));
    check(reread == item);
    pasteHitAndDraw(block);
    return 0;
}
