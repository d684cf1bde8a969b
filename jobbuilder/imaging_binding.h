// The imaging libraries the job builder binds by name: "IK6COM.DLL" and "IK6FILE.DLL". One binding
// serves every job object of the process and stays loaded while any object holds it.
#pragma once

#include "imaging/imagekit.h"
#include "platform/library.h"

#include <memory>

class CImagingBinding {
public:
    /// The process's binding, loaded when no object holds one yet.
    static std::shared_ptr<CImagingBinding> Acquire();

    /// The file library loaded (some of its functions may still be missing).
    bool FileLibraryLoaded() const { return m_fileLibrary != nullptr; }

    IKFreeMemoryFn m_pfnFreeMemory = nullptr;     ///< from IK6COM.DLL
    IKFileTypeFn m_pfnFileType = nullptr;         ///< from IK6FILE.DLL
    IKTiffFileLoadFn m_pfnTiffFileLoad = nullptr; ///< from IK6FILE.DLL
    IKTiffFileSaveFn m_pfnTiffFileSave = nullptr; ///< from IK6FILE.DLL

private:
    std::shared_ptr<platform::Library> m_comLibrary;
    std::shared_ptr<platform::Library> m_fileLibrary;
};
