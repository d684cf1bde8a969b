// Helpers the job builder's tests share: registering the component servers a job object creates,
// and writing and reading fax page images.
#pragma once

#include "imaging/tests/tiff_pages_support.h"

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

/// Every page of a TIFF file as libtiff decodes it (none when it cannot be opened).
using imaging_test::readTiff;

} // namespace jobtest
