#include "imaging/image_table.h"

namespace qelta::imaging {

IKHANDLE ImageTable::add(std::shared_ptr<const Page> page)
{
    const std::lock_guard lock(mutex_);
    const IKHANDLE handle = next_++;
    images_.emplace(handle, std::move(page));
    return handle;
}

std::shared_ptr<const Page> ImageTable::find(IKHANDLE handle)
{
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    return it == images_.end() ? nullptr : it->second;
}

bool ImageTable::replace(IKHANDLE handle, std::shared_ptr<const Page> page)
{
    const std::lock_guard lock(mutex_);
    const auto it = images_.find(handle);
    if (it == images_.end())
        return false;
    it->second = std::move(page);
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
