// coverrender's exports. Every call runs under the one exception guard and under the library's
// lock: a call never overlaps another.
#include "cover/renderer/coverrender.h"

#include "cover/renderer/cover_renderer.h"
#include "platform/com.h"
#include "platform/files.h"

#include <cstring>
#include <mutex>

namespace {

struct Library {
    std::mutex mutex;
    coverrender::Renderer renderer;
};

Library& library()
{
    static Library instance;
    return instance;
}

std::string text(const char* s) { return s ? s : ""; }

} // namespace

extern "C" HGLOBAL TqlCvrMakeBitmap(const char* coverPath, const char* recipientFields, const char* memo,
                                    const char* sender, const char* outputDirectory)
{
    return guardedExport<HGLOBAL>(nullptr, [&]() -> HGLOBAL {
        Library& lib = library();
        const std::lock_guard lock(lib.mutex);
        const std::string path =
            lib.renderer.writePageFile(text(coverPath), {recipientFields, memo, sender}, text(outputDirectory));
        if (path.empty())
            return nullptr;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, path.size() + 1);
        auto* bytes = static_cast<char*>(GlobalLock(block));
        if (!bytes) {
            GlobalFree(block);
            platform::removeFile(path);
            return nullptr;
        }
        std::memcpy(bytes, path.c_str(), path.size() + 1);
        return block; // handed over locked
    });
}

extern "C" int32_t TqlCvrMakeBitmapEx(const char* coverPath, const char* recipientFields, const char* memo,
                                      char* pathBuffer, const char* sender, const char* outputDirectory)
{
    return guardedExport<int32_t>(0, [&]() -> int32_t {
        Library& lib = library();
        const std::lock_guard lock(lib.mutex);
        const std::string path =
            lib.renderer.writePageFile(text(coverPath), {recipientFields, memo, sender}, text(outputDirectory));
        if (path.empty())
            return 0;
        if (!pathBuffer || path.size() >= COVERRENDER_PATH_MAX) {
            platform::removeFile(path);
            return 0;
        }
        std::memcpy(pathBuffer, path.c_str(), path.size() + 1);
        return 1;
    });
}

extern "C" HGLOBAL TqlCvrMakeBitmapHandle(const char* coverPath, const char* recipientFields, const char* memo,
                                          const char* sender)
{
    return guardedExport<HGLOBAL>(nullptr, [&]() -> HGLOBAL {
        Library& lib = library();
        const std::lock_guard lock(lib.mutex);
        const auto page = lib.renderer.render(text(coverPath), {recipientFields, memo, sender});
        return page ? coverrender::Renderer::packBitmap(*page) : nullptr;
    });
}

extern "C" int32_t TqlCvrGetMaxMemoLength(const char* coverPath)
{
    return guardedExport<int32_t>(0, [&]() -> int32_t {
        Library& lib = library();
        const std::lock_guard lock(lib.mutex);
        return lib.renderer.maxMemoLength(text(coverPath));
    });
}
