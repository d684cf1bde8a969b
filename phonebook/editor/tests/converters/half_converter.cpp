// A test converter that has an import function and no export function.
#include "phonebook/editor/converter.h"

QELTA_CONVERTER_FUNCTION(HalfImport)
{
    static_cast<void>(source);
    static_cast<void>(destination);
    static_cast<void>(book);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    return 1;
}
