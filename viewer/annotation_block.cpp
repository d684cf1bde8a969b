#include "viewer/annotation_item.h"

namespace viewer {

std::vector<uint8_t> ToClipboardBlock(const CAnnotationItem&) { return {}; }

bool FromClipboardBlock(CAnnotationItem&, std::span<const uint8_t>, std::optional<std::pair<int, int>>) { return false; }

} // namespace viewer
