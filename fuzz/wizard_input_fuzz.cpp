// The send wizard's outside input: the model table "device.env" (looked up for a driver name taken
// from the first line) and the command line (the arguments are the input's NUL-separated parts).
#include "sendwizard/command_line.h"
#include "sendwizard/printer_info.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string_view driver = input.substr(0, newline == std::string_view::npos ? input.size() : newline);
    const int model = FindModelType(input.substr(driver.size()), driver);
    if (model != kUnknownModelType && (model < 0 || model > 9))
        std::abort();

    std::vector<std::string> args;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\0', start);
        if (end == std::string_view::npos)
            end = input.size();
        args.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    const CWizardCommandLineInfo info = ParseWizardCommandLine(args, nullptr);
    if (info.m_strText.size() + 1 > input.size() + 1 || GetPaperIndex(info.m_strPaper) < 0)
        std::abort();
    return 0;
}
