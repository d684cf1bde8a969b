#include "sendwizard/wizard_strings.h"

#include "common/resource_locale.h"

#include <cctype>
#include <cstdio>

std::string WizardString(uint32_t id) { return LoadResourceString(id); }

std::string FormatPageText(const std::string& format, int nPage, int nTotal)
{
    const int values[2] = {nPage, nTotal};
    int used = 0;
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        const bool zero = format[j] == '0';
        if (zero)
            ++j;
        int width = 0;
        if (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
            width = format[j++] - '0';
        if (j < format.size() && format[j] == 'd' && used < 2) {
            char number[32];
            std::snprintf(number, sizeof number, zero ? "%0*d" : "%*d", width, values[used++]);
            out += number;
            i = j;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string FormatText(const std::string& format, std::initializer_list<std::string> args)
{
    auto next = args.begin();
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string ControlText(int nDialogId, int nControlId)
{
    return WizardString(ControlTextId(static_cast<uint32_t>(nDialogId), static_cast<uint32_t>(nControlId)));
}
