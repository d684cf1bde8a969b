#include "sendwizard/printer_info.h"

#include "common/prompter.h"
#include "devicelist/devicelist.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "sendwizard/wizard_strings.h"

int FindModelType(std::string_view strTable, std::string_view strDriverName)
{
    if (strDriverName.empty())
        return kUnknownModelType;
    size_t start = 0;
    while (start < strTable.size()) {
        size_t end = strTable.find('\n', start);
        if (end == std::string_view::npos)
            end = strTable.size();
        std::string_view line = strTable.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() == strDriverName.size() + 2 && line.substr(0, strDriverName.size()) == strDriverName
            && line.back() >= '0' && line.back() <= '9')
            return line.back() - '0';
        start = end + 1;
    }
    return kUnknownModelType;
}

int ReadModelTypeFile(const std::string& strPath, const std::string& strDriverName)
{
    std::string table;
    if (platform::readFilePrefix(strPath, table, kMaxDeviceEnvBytes) != platform::ReadStatus::Ok)
        return kUnknownModelType;
    return FindModelType(table, strDriverName);
}

bool ReadPrinterInfo(const std::string& strPrinter, std::string& strPortName, std::string& strDriverName)
{
    strPortName.clear();
    strDriverName.clear();
    const auto spooler = platform::currentSpooler();
    if (strPrinter.empty() || !spooler->hasPrinter(strPrinter))
        return false;
    strPortName = spooler->deviceUri(strPrinter).value_or("");
    strDriverName = spooler->makeAndModel(strPrinter).value_or("");
    return true;
}

int ModelPictureFor(int nModelType)
{
    switch (nModelType) {
    case 0: return 154;
    case 1: return 153;
    case 2: return 149;
    case 3: return 151;
    default: return 155;
    }
}

int DestinationLimitFor(int nModelType)
{
    switch (nModelType) {
    case 0: return 300;
    case 3: return 500;
    default: return 200;
    }
}

std::string ChoosePrinter(const std::string& strCommandLinePrinter, IPrompter& prompter)
{
    if (!DEVICELISTLIB_GetIsUseUserDefinedPrinter())
        return strCommandLinePrinter;
    std::string printer;
    DEVICELISTLIB_GetUserDefinedPrinter(printer);
    if (DEVICELISTLIB_ValidPrinter(printer))
        return printer;
    prompter.MessageBox(WizardString(IDS_INVALID_PRINTER), WizardString(IDS_CAPTION), MB_ICONWARNING);
    return strCommandLinePrinter;
}
