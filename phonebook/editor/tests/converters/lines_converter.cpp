// A test converter: imports one fax address per line "name,number" of its source through the phone
// book object, moving the bar to 50 half way; exports by copying the book. Both fail on a file
// they cannot read or write.
#include "phonebook/editor/converter.h"
#include "platform/bstr.h"
#include "platform/endpoint.h"

#include <fstream>
#include <string>
#include <vector>

using platform::com::Bstr;

QELTA_CONVERTER_FUNCTION(LinesImport)
{
    static_cast<void>(destination);
    static_cast<void>(converterDirectory);
    std::ifstream in(source);
    if (!in || !book)
        return 0;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    const uint32_t message = platform::registerMessage(QELTA_CONVERTER_PROGRESS_MESSAGE);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == lines.size() / 2)
            platform::postMessage(progressWindow, message, 1, 50);
        const size_t comma = lines[i].find(',');
        if (comma == std::string::npos)
            return 0;
        int32_t id = 0;
        if (book->CreateNewAddress(Bstr(lines[i].substr(0, comma)).get(), 1, 0, Bstr("").get(), 0,
                                   Bstr(lines[i].substr(comma + 1)).get(), 0, 0, Bstr("").get(), Bstr("").get(), 0,
                                   &id) != S_OK)
            return 0;
    }
    return 1;
}

QELTA_CONVERTER_FUNCTION(LinesExport)
{
    static_cast<void>(book);
    static_cast<void>(progressWindow);
    static_cast<void>(converterDirectory);
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(destination, std::ios::binary);
    if (!in || !out)
        return 0;
    out << in.rdbuf();
    return out ? 1 : 0;
}
