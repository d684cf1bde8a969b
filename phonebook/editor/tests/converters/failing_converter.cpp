// A test converter whose functions both fail, after writing into the book through the phone book
// object (an import that breaks off half way).
#include "phonebook/editor/converter.h"
#include "platform/bstr.h"

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
