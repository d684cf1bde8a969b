// The imaging functions the cover sheet image service draws with, bound by name from "IK6COM.DLL",
// "IK6FILE.DLL", "IK6PRINT.DLL" and "IK6EFFECT.DLL". One binding serves every image of the process
// and stays loaded while any image in the making holds it.
#pragma once

#include "imaging/imagekit.h"
#include "platform/library.h"

#include <memory>
#include <vector>

class CImageKit {
public:
    /// The process's binding, loaded when no image holds one yet.
    static std::shared_ptr<CImageKit> Acquire();

    /// Every function below was found.
    bool Complete() const;

    IKCreateImageFn m_pfnCreateImage = nullptr;
    IKSetDpiFn m_pfnSetDpi = nullptr;
    IKDrawTextFn m_pfnDrawText = nullptr;
    IKRectangleFn m_pfnRectangle = nullptr;
    IKLineFn m_pfnLine = nullptr;
    IKFileLoadFn m_pfnFileLoad = nullptr;
    IKResizeFn m_pfnResize = nullptr;
    IKPasteImageFn m_pfnPasteImage = nullptr;
    IKConvertColorFn m_pfnConvertColor = nullptr;
    IKTiffFileSaveFn m_pfnTiffFileSave = nullptr;
    IKFreeMemoryFn m_pfnFreeMemory = nullptr;

private:
    template <typename Fn>
    void Bind(Fn& slot, const char* name);

    std::vector<std::shared_ptr<platform::Library>> m_libraries;
};
