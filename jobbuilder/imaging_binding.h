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

    /// The file library loaded (the file-type query may still be missing).
    bool FileLibraryLoaded() const { return m_fileLibrary != nullptr; }

    IKFileTypeFn m_pfnFileType = nullptr;

private:
    std::shared_ptr<platform::Library> m_comLibrary;
    std::shared_ptr<platform::Library> m_fileLibrary;
};
