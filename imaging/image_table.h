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
//
// An image may be held in the coded form its file gave (a header without pixels and the strip):
// it is decoded on the first find, and saved as it is while nothing changed it.
class IK_EXPORT ImageTable {
public:
    IKHANDLE add(std::shared_ptr<const Page> page);
    // An image held coded: header gives its kind, size and resolution.
    IKHANDLE addCoded(Page&& header, std::shared_ptr<const CodedStrip> coded);
    // The image's pixels (decoded now when it was held coded); null for a dead handle or pixels
    // that do not decode.
    std::shared_ptr<const Page> find(IKHANDLE handle);
    // The image's coded form while it is as it was loaded (null otherwise), with its page (in
    // header; pixels only when decoded already).
    std::shared_ptr<const CodedStrip> findCoded(IKHANDLE handle, std::shared_ptr<const Page>& header);
    // Keeps coded as the coded form of the image while it still holds page (coding it once serves
    // every later save in that coding).
    void keepCoded(IKHANDLE handle, const std::shared_ptr<const Page>& page, std::shared_ptr<const CodedStrip> coded);
    // Puts page in the place of a live image; false when the handle is not live.
    bool replace(IKHANDLE handle, std::shared_ptr<const Page> page);
    bool remove(IKHANDLE handle);

private:
    struct Entry {
        std::shared_ptr<const Page> page; // without pixels while coded and not yet decoded
        std::shared_ptr<const CodedStrip> coded;
    };
    std::mutex mutex_;
    IKHANDLE next_ = 1;
    std::unordered_map<IKHANDLE, Entry> images_;
};

// The process's table.
IK_EXPORT ImageTable& images();

// A new handle for page, 0 when page is empty.
inline IKHANDLE addImage(Page&& page)
{
    return images().add(std::make_shared<const Page>(std::move(page)));
}

} // namespace qelta::imaging
