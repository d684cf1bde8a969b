#include "devicelist/devicelist.h"

#include "common/registry_helper.h"
#include "platform/spooler.h"

namespace {

CRegistryHelper UserSettings() { return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix); }

} // namespace

int DEVICELISTLIB_GetIsUseUserDefinedPrinter()
{
    return UserSettings().ReadDword(kProductSubkey, kUseUserDefinedPrinterValue, 0) != 0 ? 1 : 0;
}

int DEVICELISTLIB_GetUserDefinedPrinter(std::string& strPrinter)
{
    std::string name = UserSettings().ReadString(kProductSubkey, kUserDefinedPrinterValue, "");
    if (name.empty())
        return 0;
    strPrinter = std::move(name);
    return 1;
}

int DEVICELISTLIB_ValidPrinter(const std::string& strPrinter)
{
    return !strPrinter.empty() && platform::currentSpooler()->hasPrinter(strPrinter) ? 1 : 0;
}
