// Helpers the job builder's tests share: registering the component servers a job object creates,
// and writing and reading fax page images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jobtest {

/// Loads a component server library from the library folder and registers it (fails the test otherwise).
void registerServer(const char* name);

/// Writes a G4 fax TIFF at 200 dpi with one page per width, each `height` rows; every page carries
/// a pattern of its own, so pages can be told apart.
void writeFaxTiff(const std::string& path, const std::vector<uint32_t>& widths, uint32_t height = 120);

/// The same with `pages` pages 1728 pixels wide.
void writeFaxTiff(const std::string& path, int pages, uint32_t height = 120);

/// A page as libtiff decodes it, row by row.
struct Page {
    uint32_t width = 0, height = 0;
    uint16_t compression = 0, photometric = 0;
    uint32_t group3 = 0;
    float xres = 0, yres = 0;
    std::string rows;
    /// The same pixels.
    bool operator==(const Page& o) const { return width == o.width && height == o.height && rows == o.rows; }
};

/// Every page of a TIFF file (none when it cannot be opened).
std::vector<Page> readPages(const std::string& path);

} // namespace jobtest
