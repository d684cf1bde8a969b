// Converter folders for the tests: converter.xml and converter.tmx written from a few values beside a
// copy of a converter module built in the test tree.
#pragma once

#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace qelta::test {

// One converter folder: converter.xml from these values, converter.tmx when tmx is set, the module
// copied in from module (a built file) under the name moduleName.
struct ConverterFixture {
    std::string folder, module, moduleName = "conv.so", version = "1.1", name = "Lines", nameId = "N1";
    std::string importFn = "LinesImport", exportFn = "LinesExport";
    bool exportNode = true;
    std::string tmx = "<tmx><body><tu tid=\"N1\"><tuv lang=\"0011\"><seg>\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9"
                      "</seg></tuv></tu><tu tid=\"D1\"><tuv lang=\"0011\"><seg>Lines (JP)</seg></tuv></tu></body></tmx>";
};

inline void WriteConverter(const std::string& dir, const ConverterFixture& f)
{
    const std::string folder = f.folder.empty() ? dir : platform::joinPath(dir, f.folder);
    std::string functions = "<function type='generic_import'><name>" + f.importFn + "</name></function>";
    if (f.exportNode)
        functions += "<function type='generic_export'><name>" + f.exportFn + "</name></function>";
    writeTextFile(platform::joinPath(folder, "converter.xml"),
                  "<address_book_converter><version>" + f.version + "</version><converter><module-name><value>" +
                      f.moduleName + "</value></module-name><support-extension><extension>txt</extension>"
                      "<value>Line files</value><id>D1</id></support-extension><name><value>" + f.name +
                      "</value><id>" + f.nameId + "</id></name><functions>" + functions +
                      "</functions></converter></address_book_converter>");
    if (!f.tmx.empty())
        writeTextFile(platform::joinPath(folder, "converter.tmx"), f.tmx);
    ASSERT_TRUE(platform::copyFileAtomic(f.module, platform::joinPath(folder, "conv.so")));
}

} // namespace qelta::test
