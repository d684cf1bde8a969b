#include "imaging/image_table.h"

namespace qelta::imaging {

IKHANDLE ImageTable::add(std::shared_ptr<const Page> page)
{
    const std::lock_guard lock(mutex_);
    const IKHANDLE handle = next_++;
    images_.emplace(handle, Entry{std::move(page), nullptr});
    return handle;
}

IKHANDLE ImageTable::addCoded(Page&& header, std::shared_ptr<const CodedStrip> coded)
{
    header.pixels.clear();
    auto page = std::make_shared<const Page>(std::move(header));
    const std::lock_guard lock(mutex_);
    const IKHANDLE handle = next_++;
    images_.emplace(handle, Entry{std::move(page), std::move(coded)});
    return handle;
}

std::shared_ptr<const Page> ImageTable::find(IKHANDLE handle)
{
    Entry entry;
    {
        const std::lock_guard lock(mutex_);
        const auto it = images_.find(handle);
        if (it == images_.end())
            return nullptr;
        entry = it->second;
    }
    if (!entry.coded || !entry.page->pixels.empty())
        return entry.page;
    // Decoded outside the lock; the first to finish keeps its pixels for everyone.
    auto decoded = std::make_shared<Page>();
    if (decodeCoded(*entry.page, *entry.coded, *decoded) != Status::Ok)
        return nullptr;
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    if (it == images_.end())
        return nullptr;
    if (it->second.page == entry.page)
        it->second.page = decoded;
    return it->second.page;
}

std::shared_ptr<const CodedStrip> ImageTable::findCoded(IKHANDLE handle, std::shared_ptr<const Page>& header)
{
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    if (it == images_.end())
        return nullptr;
    header = it->second.page;
    return it->second.coded;
}

void ImageTable::keepCoded(IKHANDLE handle, const std::shared_ptr<const Page>& page,
                           std::shared_ptr<const CodedStrip> coded)
{
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    if (it != images_.end() && it->second.page == page)
        it->second.coded = std::move(coded);
}

bool ImageTable::replace(IKHANDLE handle, std::shared_ptr<const Page> page)
{
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    if (it == images_.end())
        return false;
    it->second = Entry{std::move(page), nullptr}; // changed: the coded form no longer holds
    return true;
}

bool ImageTable::remove(IKHANDLE handle)
{
    const std::lock_guard lock(mutex_);
    return images_.erase(handle) == 1;
}

ImageTable& images()
{
    static ImageTable table;
    return table;
}

} // namespace qelta::imaging
