// Clipboard blocks from any program through the cover sheet editor's Paste: a block pastes at most
// one object, moved 10 right and down, and empties the clipboard only when it pasted; a sheet never
// gets a second page cut.
#include "common/prompter.h"
#include "cover/editor/edit_commands.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct Screen : cvr::IScreenMetricsProvider {
    cvr::ScreenMetrics Metrics() const override { return {}; }
};

struct Clipboard : cvr::IEditClipboard {
    std::optional<std::string> block;
    std::optional<std::string> Block() const override { return block; }
    bool Put(const std::string& b, const std::string&) override
    {
        block = b;
        return true;
    }
    void Clear() override { block.reset(); }
};

struct Silent : IPrompter {
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CtqHeaderDoc doc;
    doc.m_nPageWidth = 1728;
    doc.m_nPageHeight = 2290;
    doc.CreateFrame("PageCut,0,900,1728,0");
    Screen screen;
    cvr::CHeaderViewLogic view(doc, screen);
    Clipboard clipboard;
    clipboard.block = std::string(reinterpret_cast<const char*>(data), size);
    Silent prompter;
    cvr::CEditCommands commands(view, clipboard, prompter, nullptr);
    const CtqRect* pasted = commands.Paste();
    if (doc.m_objects.GetSize() != (pasted ? 2u : 1u) || clipboard.block.has_value() == (pasted != nullptr))
        std::abort();
    if (pasted && dynamic_cast<const CtqDrawingCutterRect*>(pasted))
        std::abort();
    return 0;
}
