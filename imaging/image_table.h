// The page images the imaging libraries hand out as IKHANDLE numbers. One table per process, kept
// in the base library and shared with the drawing library. Internal to the imaging libraries.
#pragma once

#include "imaging/imagekit.h"
#include "imaging/tiff_pages.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace qelta::imaging {

// Live images by handle. Handles count up and are never given out twice, so a freed or made-up
// number finds nothing. Images are shared and never changed in place: a save or a drawing in
// progress keeps the page it started with, and a change replaces the table's page.
class IK_EXPORT ImageTable {
public:
    IKHANDLE add(std::shared_ptr<const Page> page);
    std::shared_ptr<const Page> find(IKHANDLE handle);
    // Puts page in the place of a live image; false when the handle is not live.
    bool replace(IKHANDLE handle, std::shared_ptr<const Page> page);
    bool remove(IKHANDLE handle);

private:
    std::mutex mutex_;
    IKHANDLE next_ = 1;
    std::unordered_map<IKHANDLE, std::shared_ptr<const Page>> images_;
};

// The process's table.
IK_EXPORT ImageTable& images();

// A new handle for page, 0 when page is empty.
inline IKHANDLE addImage(Page&& page)
{
    return images().add(std::make_shared<const Page>(std::move(page)));
}

} // namespace qelta::imaging
