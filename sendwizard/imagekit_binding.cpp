#include "sendwizard/imagekit_binding.h"

#include <mutex>
#include <vector>

namespace {

std::mutex g_mutex;
CImageKitTable g_table;
std::vector<std::shared_ptr<platform::Library>> g_libraries;

constexpr const char* kLibraryNames[] = {"IK6COM.DLL", "IK6FILE.DLL", "IK6PRINT.DLL", "IK6EFFECT.DLL"};

template <typename Fn>
void Bind(const platform::Library& library, Fn& slot, const char* name)
{
    if (!slot)
        slot = library.function<Fn>(name);
}

} // namespace

bool ImageKitPresent()
{
    for (int i = 0; i < 3; ++i)
        if (!platform::Library::load(kLibraryNames[i]))
            return false;
    return true;
}

void BindImageKit()
{
    std::lock_guard lock(g_mutex);
    g_table = {};
    g_libraries.clear();
    for (int i = 0; i < 4; ++i) {
        auto library = platform::Library::load(kLibraryNames[i]);
        if (!library)
            continue;
        switch (i) {
        case 0:
            Bind(*library, g_table.pfnGetImageType, "IKGetImageType");
            Bind(*library, g_table.pfnFreeMemory, "IKFreeMemory");
            Bind(*library, g_table.pfnGetImageBits, "IKGetImageBits");
            break;
        case 1:
            Bind(*library, g_table.pfnFileType, "IKFileType");
            Bind(*library, g_table.pfnTiffFileLoad, "IKTiffFileLoad");
            Bind(*library, g_table.pfnTiffFileSave, "IKTiffFileSave");
            break;
        case 2:
            Bind(*library, g_table.pfnDrawText, "IKDrawText");
            break;
        default:
            break; // effects: none used
        }
        g_libraries.push_back(std::move(library));
    }
}

void UnbindImageKit()
{
    std::lock_guard lock(g_mutex);
    g_table = {};
    g_libraries.clear();
}

const CImageKitTable& ImageKit() { return g_table; }

int ImageKitFileType(const std::string& path, IKFILEINFO& info)
{
    info = {};
    return g_table.pfnFileType && g_table.pfnFileType(path.c_str(), 0, &info) == 1 ? 1 : 0;
}

int ImageKitDrawText(const IKRECT&, IKHANDLE image, const IKRECT& clip, const IKFONT& font, const char* text,
                     int32_t background, int32_t wrap, int32_t align)
{
    // The library takes one rectangle: the wizard passes the same one twice.
    return g_table.pfnDrawText ? g_table.pfnDrawText(image, &clip, &font, text, background, wrap, align) : 0;
}
