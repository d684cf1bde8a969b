// Files of any kind handed to pagefilelib: detection and the document record, which read every
// type's header (TIFF, BMP, PCX, FAX). Whatever is described must have pages of a real size.
#include "fuzz/scratch_file.h"
#include "imaging/pagefilelib.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::ScratchFile file("pagefile-detect");
    file.fill(data, size);
    const int32_t type = PageFileGetType(file.path.c_str());
    if (type < PF_TYPE_NONE || type > PF_TYPE_FAX)
        std::abort();
    if (PAGEFILEDOCUMENT* doc = PageFileOpenDocument(file.path.c_str())) {
        if (doc->fileType != type || doc->pageCount < 1 || doc->width == 0 || doc->height == 0)
            std::abort();
        PageFileCloseDocument(doc);
    }
    return 0;
}
