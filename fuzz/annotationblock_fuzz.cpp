// Feeds arbitrary bytes to the annotation clipboard block reader: a refused block leaves the item
// alone; an accepted one holds a rectangle within the page size given, and writing it again and
// reading that back gives the same item.
#include "viewer/annotation_item.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace viewer;
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
    return 0;
}
