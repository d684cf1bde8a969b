#include "devicelist/devicelist.h"

#include "common/registry_helper.h"
#include "platform/spooler.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace {

CRegistryHelper UserSettings() { return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix); }

// The list of the last successful update; none before the first.
std::mutex listMutex;
std::optional<std::vector<std::string>> listed;

// The entries of a destination list: "model:name:location".
std::vector<std::string> EntriesOf(const std::vector<platform::Destination>& destinations)
{
    std::vector<std::string> entries;
    for (const platform::Destination& destination : destinations) {
        if (destination.name.empty() || destination.name.find(':') != std::string::npos)
            continue; // its entry could not be split again
        std::string model = destination.makeAndModel;
        std::replace(model.begin(), model.end(), ':', ' ');
        entries.push_back(model + ":" + destination.name + ":" + destination.location);
    }
    return entries;
}

// Updates the list; with listMutex held.
bool Update()
{
    auto destinations = platform::currentSpooler()->listDestinations(kPrinterListTimeLimit);
    if (!destinations)
        return false;
    listed = EntriesOf(*destinations);
    return true;
}

} // namespace

int DEVICELISTLIB_GetIsUseUserDefinedPrinter()
{
    return UserSettings().ReadDword(kProductSubkey, kUseUserDefinedPrinterValue, 0) != 0 ? 1 : 0;
}

int DEVICELISTLIB_SetIsUseUserDefinedPrinter(int bUse)
{
    return UserSettings().WriteDword(kProductSubkey, kUseUserDefinedPrinterValue, bUse != 0 ? 1 : 0);
}

int DEVICELISTLIB_GetUserDefinedPrinter(std::string& strPrinter)
{
    std::string name = UserSettings().ReadString(kProductSubkey, kUserDefinedPrinterValue, "");
    if (name.empty())
        return 0;
    strPrinter = std::move(name);
    return 1;
}

int DEVICELISTLIB_SetUserDefinedPrinter(const std::string& strPrinter)
{
    return UserSettings().WriteString(kProductSubkey, kUserDefinedPrinterValue, strPrinter);
}

int DEVICELISTLIB_ValidPrinter(const std::string& strPrinter)
{
    return !strPrinter.empty() && platform::currentSpooler()->hasPrinter(strPrinter) ? 1 : 0;
}

int DEVICELISTLIB_UpdatePrinterList(void* /*pOwner*/)
{
    std::lock_guard lock(listMutex);
    return Update() ? 1 : 0;
}

int DEVICELISTLIB_GetNumberOfListedPrinter()
{
    std::lock_guard lock(listMutex);
    if (!listed && !Update())
        return -1;
    return static_cast<int>(listed->size());
}

int DEVICELISTLIB_GetPrinterList(int nIndex, std::string& strEntry)
{
    std::lock_guard lock(listMutex);
    if (!listed && !Update())
        return 0;
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= listed->size())
        return 0;
    strEntry = (*listed)[static_cast<size_t>(nIndex)];
    return 1;
}
