// Frame lines from anywhere through the cover sheet document's object factory: every object it
// makes writes a line that reads back as the same line, and draws on a small page at its own size
// and scaled, without a view and through one.
#include "cover/model/cover_document.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// Fontconfig keeps a few blocks for the life of the process that it no longer points to.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// A view at half the page size.
class HalfView : public ICoverSheetView {
public:
    void PageToDevice(gdi::CDeviceContext*, gdi::POINT& point) override { point = {point.x / 2, point.y / 2}; }
    void PageRectToDevice(gdi::CDeviceContext*, gdi::RECT& r) override { r = {r.left / 2, r.top / 2, r.right / 2, r.bottom / 2}; }
    gdi::POINT GetScrollPosition() const override { return {}; }
    int GetScreenPixelsPerInch() const override { return 96; }
    void SetEditTarget(CtqRect*) override {}
    const CtqRect* GetEditTarget() const override { return nullptr; }
    bool IsInPlaceEditorVisible() const override { return false; }
    void ShowInPlaceEditor(const gdi::RECT&, const gdi::LOGFONTA&, const std::string&) override {}
    bool ChooseFont(gdi::LOGFONTA&, int, int&) override { return false; }
    bool ChooseOpenFile(const std::string&, const std::string&, int, const std::string&, std::string&) override { return false; }
    void ShowImageError(const std::string&, const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4096));
    CtqHeaderDoc doc;
    CtqRect* object = doc.CreateFrame(line);
    if (!object)
        return 0;
    const std::string written = object->GetFrameLine();
    CtqHeaderDoc again;
    CtqRect* reread = again.CreateFrame(written);
    if (!reread || reread->GetFrameLine() != written || std::string(reread->GetRuntimeClass()) != object->GetRuntimeClass())
        std::abort();

    QImage page(64, 64, QImage::Format_RGB32);
    page.fill(Qt::white);
    gdi::CDeviceContext dc(page);
    HalfView view;
    object->Draw(dc, object->m_rect, nullptr);
    const gdi::RECT& r = object->m_rect;
    object->Draw(dc, {r.left / 3, r.top / 3, r.right / 3, r.bottom / 3}, nullptr);
    object->Draw(dc, {r.left / 2, r.top / 2, r.right / 2, r.bottom / 2}, &view);
    return 0;
}
