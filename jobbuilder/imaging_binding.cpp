#include "jobbuilder/imaging_binding.h"

#include <mutex>

std::shared_ptr<CImagingBinding> CImagingBinding::Acquire()
{
    static std::mutex mutex;
    static std::weak_ptr<CImagingBinding> current;
    std::lock_guard lock(mutex);
    if (auto held = current.lock())
        return held;
    auto binding = std::make_shared<CImagingBinding>();
    binding->m_comLibrary = platform::Library::load("IK6COM.DLL");
    if (binding->m_comLibrary)
        binding->m_pfnFreeMemory = binding->m_comLibrary->function<IKFreeMemoryFn>("IKFreeMemory");
    binding->m_fileLibrary = platform::Library::load("IK6FILE.DLL");
    if (binding->m_fileLibrary) {
        binding->m_pfnFileType = binding->m_fileLibrary->function<IKFileTypeFn>("IKFileType");
        binding->m_pfnTiffFileLoad = binding->m_fileLibrary->function<IKTiffFileLoadFn>("IKTiffFileLoad");
        binding->m_pfnTiffFileSave = binding->m_fileLibrary->function<IKTiffFileSaveFn>("IKTiffFileSave");
    }
    current = binding;
    return binding;
}
