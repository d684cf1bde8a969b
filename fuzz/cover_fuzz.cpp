// Cover sheet files from anywhere: read, written back and read again unchanged, every text escape
// undone exactly, and the sheet drawn by the image service.
#include "cover/imageservice/cover_sheet_image.h"
#include "cover/model/cover_file.h"
#include "cover/model/frame_line.h"
#include "fuzz/scratch_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// Fontconfig keeps a few blocks for the life of the process that it no longer points to.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzzsupport::ScratchFile sheet("cover", ".tif");
    sheet.fill(data, size);

    cover::CoverSheetFile file;
    if (cover::readCoverSheetFile(sheet.path, 0, file) != cover::CoverReadStatus::Ok)
        return 0;
    for (const std::string& line : file.lines) {
        if (cover::unescapeText(cover::escapeText(line)) != line)
            std::abort();
        (void)cover::frameRectOf(cover::splitFrameLine(line));
    }

    // Drawn as the service draws it, on a page no taller than the sheet's own page cut.
    CCoverSheetImage image;
    if (image.ReadCoverSheet(sheet.path)) {
        image.SetOutputGeometry(false, 200, 200);
        static const auto kit = CImageKit::Acquire();
        (void)image.Render(*kit, sheet.output);
    }

    // Written back (where no line would break the file) and read again: the same lines.
    const std::string copy = sheet.path + ".copy";
    if (cover::writeCoverSheetFile(copy, file.language, file.lines)) {
        cover::CoverSheetFile again;
        if (cover::readCoverSheetFile(copy, 0, again) != cover::CoverReadStatus::Ok || again.lines != file.lines
            || again.language != file.language)
            std::abort();
    }
    return 0;
}
