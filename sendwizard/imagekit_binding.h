// The imaging functions the send wizard calls, bound by name for the whole run from "IK6COM.DLL",
// "IK6FILE.DLL", "IK6PRINT.DLL" and "IK6EFFECT.DLL" (the last may be missing).
#pragma once

#include "imaging/imagekit.h"
#include "platform/library.h"

#include <memory>

/// The bound entry points; null until bound, and null where a library did not load.
struct CImageKitTable {
    IKGetImageTypeFn pfnGetImageType = nullptr; ///< IK6COM.DLL
    IKFreeMemoryFn pfnFreeMemory = nullptr;     ///< IK6COM.DLL
    IKGetImageBitsFn pfnGetImageBits = nullptr; ///< IK6COM.DLL (the page display)
    IKFileTypeFn pfnFileType = nullptr;         ///< IK6FILE.DLL
    IKTiffFileLoadFn pfnTiffFileLoad = nullptr; ///< IK6FILE.DLL
    IKTiffFileSaveFn pfnTiffFileSave = nullptr; ///< IK6FILE.DLL
    IKDrawTextFn pfnDrawText = nullptr;         ///< IK6PRINT.DLL
};

/// True when "IK6COM.DLL", "IK6FILE.DLL" and "IK6PRINT.DLL" load (each is freed again).
bool ImageKitPresent();
/// Clears the table, then loads the four libraries in order and binds what each exports.
void BindImageKit();
/// Frees the libraries that were loaded; the table is cleared.
void UnbindImageKit();
/// The table of the run.
const CImageKitTable& ImageKit();

/// What IKFileType says about an image file: 1 and the facts when it is a readable image, else 0.
int ImageKitFileType(const std::string& path, IKFILEINFO& info);

/// The text attributes of IKDrawText, as the header stamping passes them. The library draws the
/// record's point size at 96 pixels per inch.
int ImageKitDrawText(const IKRECT& rect, IKHANDLE image, const IKRECT& clip, const IKFONT& font, const char* text,
                     int32_t background, int32_t wrap, int32_t align);
