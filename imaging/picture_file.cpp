#include "imaging/picture_file.h"

#include "imaging/image_table.h"
#include "imaging/pagefilelib.h"

namespace qelta::imaging {

std::shared_ptr<const Page> readPicture(const std::string& path, uint32_t index, bool& known)
{
    const int32_t type = PageFileGetType(path.c_str());
    known = type > PF_TYPE_NONE;
    if (!known || index >= kMaxPages)
        return nullptr;
    const PFHANDLE reader = PageFileReadBitmapOpen(path.c_str(), type, static_cast<int32_t>(index) + 1, 0);
    if (reader == 0)
        return nullptr;
    while (PageFileReadStep(type, reader) != 0) {
    }
    const IKHANDLE bitmap = PageFileReadBitmapEnd(type, reader);
    if (bitmap == 0)
        return nullptr;
    std::shared_ptr<const Page> page = images().find(bitmap);
    IKFreeMemory(bitmap);
    if (!page || page->width == 0 || page->height == 0 || uint64_t{page->width} * page->height > kMaxPicturePixels)
        return nullptr;
    return page;
}

} // namespace qelta::imaging
