// Global memory blocks. A handle is the address of a small record (a mark, the lock count, the size
// and the bytes' address); live records are listed so that a stale or made-up handle is refused.
#include "platform/global_memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

struct Block {
    size_t size = 0;
    int32_t locks = 0;
    void* bytes = nullptr;
};

struct Registry {
    std::mutex mutex;
    std::unordered_set<const Block*> live;
};

Registry& registry()
{
    static Registry* instance = new Registry; // outlives every static destructor that frees a block
    return *instance;
}

Block* liveBlock(HGLOBAL handle)
{
    auto* block = static_cast<Block*>(handle);
    return handle && registry().live.count(block) ? block : nullptr;
}

} // namespace

extern "C" HGLOBAL GlobalAlloc(uint32_t, size_t size)
{
    // A block of 0 bytes still has an address, as the callers expect of a successful allocation.
    void* bytes = std::calloc(size ? size : 1, 1);
    if (!bytes)
        return nullptr;
    auto* block = new (std::nothrow) Block{size, 0, bytes};
    if (!block) {
        std::free(bytes);
        return nullptr;
    }
    Registry& r = registry();
    try {
        const std::lock_guard lock(r.mutex);
        r.live.insert(block);
    } catch (...) {
        std::free(bytes);
        delete block;
        return nullptr;
    }
    return block;
}

extern "C" void* GlobalLock(HGLOBAL handle)
{
    const std::lock_guard lock(registry().mutex);
    Block* block = liveBlock(handle);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes;
}

extern "C" int32_t GlobalUnlock(HGLOBAL handle)
{
    const std::lock_guard lock(registry().mutex);
    Block* block = liveBlock(handle);
    if (!block || block->locks == 0)
        return 0;
    return --block->locks;
}

extern "C" HGLOBAL GlobalFree(HGLOBAL handle)
{
    Registry& r = registry();
    Block* block = nullptr;
    {
        const std::lock_guard lock(r.mutex);
        block = liveBlock(handle);
        if (!block)
            return handle;
        r.live.erase(block);
    }
    std::free(block->bytes);
    delete block;
    return nullptr;
}

extern "C" size_t GlobalSize(HGLOBAL handle)
{
    const std::lock_guard lock(registry().mutex);
    const Block* block = liveBlock(handle);
    return block ? block->size : 0;
}
