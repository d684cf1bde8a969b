#include "cover/imageservice/imagekit_binding.h"

#include <mutex>

template <typename Fn>
void CImageKit::Bind(Fn& slot, const char* name)
{
    for (const auto& library : m_libraries)
        if ((slot = library->function<Fn>(name)) != nullptr)
            return;
}

std::shared_ptr<CImageKit> CImageKit::Acquire()
{
    static std::mutex mutex;
    static std::weak_ptr<CImageKit> current;
    const std::lock_guard lock(mutex);
    if (auto held = current.lock())
        return held;
    auto kit = std::make_shared<CImageKit>();
    for (const char* name : {"IK6COM.DLL", "IK6FILE.DLL", "IK6PRINT.DLL", "IK6EFFECT.DLL"})
        if (auto library = platform::Library::load(name))
            kit->m_libraries.push_back(std::move(library));
    kit->Bind(kit->m_pfnCreateImage, "IKCreateImage");
    kit->Bind(kit->m_pfnSetDpi, "IKSetDpi");
    kit->Bind(kit->m_pfnDrawText, "IKDrawText");
    kit->Bind(kit->m_pfnRectangle, "IKRectangle");
    kit->Bind(kit->m_pfnLine, "IKLine");
    kit->Bind(kit->m_pfnFileLoad, "IKFileLoad");
    kit->Bind(kit->m_pfnResize, "IKResize");
    kit->Bind(kit->m_pfnPasteImage, "IKPasteImage");
    kit->Bind(kit->m_pfnConvertColor, "IKConvertColor");
    kit->Bind(kit->m_pfnTiffFileSave, "IKTiffFileSave");
    kit->Bind(kit->m_pfnFreeMemory, "IKFreeMemory");
    current = kit;
    return kit;
}

bool CImageKit::Complete() const
{
    return m_pfnCreateImage && m_pfnSetDpi && m_pfnDrawText && m_pfnRectangle && m_pfnLine && m_pfnFileLoad
        && m_pfnResize && m_pfnPasteImage && m_pfnConvertColor && m_pfnTiffFileSave && m_pfnFreeMemory;
}
