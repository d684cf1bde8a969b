// Link files from anywhere: every path read is a whole, non-empty line without its line end, and
// expanding a link file (which may name itself, other files or nothing) ends with a code.
#include "fuzz/scratch_file.h"
#include "viewer/page_file_access.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzzsupport::ScratchFile scratch("viewerlink", ".lnk");
    scratch.fill(data, size);
    std::vector<std::string> paths;
    const int16_t code = viewer::ReadLinkFile(scratch.path, paths);
    if (size > static_cast<size_t>(viewer::kMaxLinkFileBytes) ? code == 0 : code != 0)
        std::abort();
    for (const std::string& path : paths)
        if (path.empty() || path.find('\n') != std::string::npos || path.back() == '\r')
            std::abort();
    // The same bytes as a link file that may list itself.
    std::string text(reinterpret_cast<const char*>(data), size);
    text += "\n" + scratch.output + "\n";
    FILE* file = std::fopen(scratch.output.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    std::vector<std::string> files;
    // A file that lists itself never expands, unless its bytes make it a page file.
    if (viewer::ExpandSources({scratch.output}, files) == 0 && viewer::GetFileType(scratch.output) <= 0)
        std::abort();
    return 0;
}
