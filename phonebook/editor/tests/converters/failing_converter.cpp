// A test converter whose functions both fail, after writing into the book through the phone book
// object (an import that breaks off half way); and two imports that go worse: one that leaves a
// folder where the book was, so that nothing can be put back there, and one that writes over the
// book and reports success.
#include "phonebook/editor/converter.h"
#include "platform/bstr.h"

#include <filesystem>
#include <fstream>

using platform::com::Bstr;

namespace {

int HalfDone(IBookmanagerTool* book)
{
    int32_t id = 0;
    if (book)
        book->CreateNewAddress(Bstr("Partial").get(), 1, 0, Bstr("").get(), 0, Bstr("999").get(), 0, 0,
                               Bstr("").get(), Bstr("").get(), 0, &id);
    return 0;
}

} // namespace

QELTA_CONVERTER_FUNCTION(FailImport)
{
    static_cast<void>(source);
    static_cast<void>(destination);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    return HalfDone(book);
}

QELTA_CONVERTER_FUNCTION(FailExport)
{
    static_cast<void>(source);
    static_cast<void>(destination);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    return HalfDone(book);
}

QELTA_CONVERTER_FUNCTION(BlockImport)
{
    static_cast<void>(source);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    HalfDone(book);
    std::error_code error;
    std::filesystem::remove(destination, error);
    std::filesystem::create_directories(std::filesystem::path(destination) / "in the way", error);
    return 0;
}

QELTA_CONVERTER_FUNCTION(CorruptImport)
{
    static_cast<void>(source);
    static_cast<void>(book);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    std::ofstream(destination, std::ios::trunc) << "<system><version>1.0</version><fold";
    return 1;
}
