// Feeds arbitrary bytes to the annotation clipboard block reader: a refused block leaves the item
// alone; an accepted one holds a rectangle within the page size given, and writing it again and
// reading that back gives the same item. Every accepted block then goes where a pasted one goes:
// pasted onto a page, hit-tested at its corners and beyond, and drawn at 400 % in every rotation.
#include "viewer/tests/quiet_annotation_view.h"

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

// Pastes the block as the clipboard's item, then hit-tests and draws it in every rotation.
void pasteHitAndDraw(const std::vector<uint8_t>& block)
{
    static viewer_quiet::QuietAnnotationView host(1, kPageWidth, kPageHeight);
    static CUndoRecord undo;
    static CAnnotationLayer layer(host, undo);
    host.zoom = 4.0;
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
